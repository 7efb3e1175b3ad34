// The tree walker over trees of any shape (ranges that overlap, run
// backwards or leave their parent, entity-reference nodes): every walk in
// document order ends, and element text stays inside the caller's buffer
// for every buffer size.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "addressing/tree_walker.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"

namespace {

struct Reader {
  const std::uint8_t* p;
  const std::uint8_t* end;
  std::uint8_t Byte() { return p < end ? *p++ : 0; }
  bool More() const { return p < end; }
};

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// Text of every size into a buffer with a guard behind it.
void ReadText(const qs::TreeWalker& w, std::uint8_t size) {
  std::vector<char> buffer(size + 16u, '\x7f');
  for (bool raw : {false, true}) {
    w.GetText(buffer.data(), size, raw);
    for (std::size_t i = size; i < buffer.size(); ++i) Check(buffer[i] == '\x7f');
    if (size) Check(std::memchr(buffer.data(), 0, size) != nullptr);
    std::uint32_t length = w.GetTextLength(raw);
    if (size && length < size) Check(std::strlen(buffer.data()) <= length);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in{data, data + size};
  auto* dtd = new qs::Dtd;
  auto* doc = new qs::Document;
  auto* entity = new qs::TextEntityDecl("ent", qs::kEntityText, "x");
  std::uint8_t textLength = in.Byte();
  std::vector<char> text(textLength);
  for (char& c : text) c = char(in.Byte());
  doc->AppendText(text.data(), text.size());
  qs::ElementTypeDecl* hidden = dtd->FindOrDeclareElementType("HIDDEN");
  hidden->flags |= 0x01;
  qs::DocumentNode* current = nullptr;
  int nodes = 0;
  while (in.More() && nodes < 120) {
    std::uint8_t op = in.Byte();
    if (op == 0xFF) break;  // the rest drives the walker
    std::uint32_t a = in.Byte();
    std::uint32_t b = in.Byte();
    switch (op % 4) {
      case 0:
      case 1: {
        qs::ElementTypeDecl* decl = op & 0x10 ? hidden : dtd->FindOrDeclareElementType("E");
        qs::DocumentNode* node;
        if (op & 0x20 && current)
          node = new (doc->Pool()) qs::EntityNode(decl, a, b, entity);
        else
          node = new (doc->Pool()) qs::ElementNode(decl, a, b, nullptr, nullptr);
        if (!current)
          doc->SetRoot(node);
        else
          current->AppendChild(node);
        if (op % 4 == 0 || !current) current = node;
        ++nodes;
        break;
      }
      default:
        if (current && current->Parent()) current = current->Parent();
        break;
    }
  }

  const int limit = 4 * nodes + 8;
  qs::TreeWalker w(doc, nullptr);
  int forward = 0;
  do {
    ReadText(w, std::uint8_t(forward * 7 % 23));
    Check(++forward <= limit);
  } while (w.MoveForward());
  int backward = 0;
  do {
    Check(++backward <= limit);
  } while (w.MoveBackward());

  // Any sequence of single steps.
  qs::TreeWalker copy(w);
  while (in.More()) {
    std::uint8_t op = in.Byte();
    switch (op % 10) {
      case 0: w.MoveToParent(); break;
      case 1: w.MoveToFirstChild(); break;
      case 2: w.MoveNext(); break;
      case 3: w.MovePrevious(); break;
      case 4: w.MoveToFirst(); break;
      case 5: w.MoveToLast(); break;
      case 6: w.MoveToLastDescendant(); break;
      case 7: w.MoveForward(); break;
      case 8: w.MoveBackward(); break;
      case 9: w.MoveToRoot(); break;
    }
    ReadText(w, op);
    copy.Assign(w);
    Check(copy.SamePlace(w));
  }

  entity->Release();
  doc->Release();
  dtd->Release();
  return 0;
}
