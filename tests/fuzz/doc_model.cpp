// The document model over trees, marks and texts of any shape: position
// lookups, text extraction, walks, title excerpts, cloning and part merges
// must stay inside their buffers whatever the node ranges and marks say.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/text_store.h"

namespace {

struct Reader {
  const std::uint8_t* p;
  const std::uint8_t* end;
  std::uint8_t Byte() { return p < end ? *p++ : 0; }
  bool More() const { return p < end; }
};

qs::Document* Build(Reader& in, qs::Dtd& dtd) {
  static const char* const kTypes[] = {"A", "B", "TITLE", "BOOK"};
  auto* doc = new qs::Document;
  std::uint8_t textLength = in.Byte();
  std::vector<char> text(textLength);
  for (char& c : text) c = char(in.Byte());
  doc->AppendText(text.data(), text.size());
  qs::DocumentNode* current = nullptr;
  int nodes = 0;
  while (in.More() && nodes < 200) {
    std::uint8_t op = in.Byte();
    std::uint32_t a = in.Byte();
    std::uint32_t b = in.Byte();
    switch (op % 5) {
      case 0:
      case 1: {
        qs::ElementTypeDecl* decl = dtd.FindOrDeclareElementType(kTypes[op / 5 % 4]);
        auto* node = new (doc->Pool()) qs::ElementNode(decl, a, b, nullptr, nullptr);
        doc->NoteTypeUse(decl);
        if (!current) {
          doc->SetRoot(node);
        } else {
          current->AppendChild(node);
        }
        if (op % 5 == 0 || !current) current = node;
        ++nodes;
        break;
      }
      case 2:
        if (current && current->Parent()) current = current->Parent();
        break;
      case 3:
        doc->AppendMark(new (doc->Pool()) qs::SimpleMark(std::uint8_t(1 + b % 2), a));
        break;
      case 4:
        doc->AppendMark(new (doc->Pool()) qs::MarkupMark(std::uint8_t(6 + b % 4), a, a + b % 16));
        break;
    }
  }
  return doc;
}

struct Walker : qs::TreeVisitor {
  int VisitElement(qs::DocumentNode* e) override { return e->start % 3 == 0; }
  int VisitData(qs::DocumentNode*, std::uint32_t from, std::uint32_t to) override {
    return to - from > 50;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in{data, data + size};
  qs::Dtd* dtd = new qs::Dtd;
  qs::Document* doc = Build(in, *dtd);
  qs::Document* part = Build(in, *dtd);
  for (std::uint32_t pos = 0; pos < 300; pos += 7) {
    doc->ElementAtPosition(pos);
    doc->ElementAtRange(pos, pos + 5);
    doc->MarkAt(pos);
  }
  std::vector<char> buf(300);
  for (std::uint32_t from = 0; from < 260; from += 13) doc->ExtractText(buf.data(), from, from + 40);
  doc->SetTitleExcerpt("book,title");
  doc->SetTitleExcerpt(",A,");
  Walker walker;
  walker.Run(doc->Root());
  if (doc->Root()) {
    qs::Document* copy = new qs::Document;
    copy->SetRoot(doc->Root()->CloneInto(*copy, 3));
    copy->Release();
    doc->MergePart(doc->Root(), *part);
  }
  part->Release();
  doc->Release();
  dtd->Release();
  return 0;
}
