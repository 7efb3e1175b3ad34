// The document parser on arbitrary bytes: whatever the input, the parse
// ends without reading or writing outside its buffers, and the tree it
// leaves has every node inside its parent and inside the text. External
// entities and DTDs named by element are not opened.
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/engine.h"
#include "foundation/entity_storage.h"
#include "foundation/names.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/parser.h"

namespace {

class FuzzParser : public qs::Parser {
 public:
  FuzzParser() : Parser(nullptr, nullptr, nullptr, nullptr) {}
  bool EnterEntity(qs::EntityDecl* entity) override {
    if (entity && entity->IsExternal()) return false;
    return Parser::EnterEntity(entity);
  }
  qs::ElementTypeDecl* FindOrDeclareElement(const char* name) override {
    qs::ElementTypeDecl* type = GetDtd()->FindOrDeclareElementType(name);
    if (type) type->flags |= 0x08;
    return type;
  }
  void Warning(int number, const char*, const char*, const char*) override {
    if (number < 0 || number >= qs::kReportMessageCount) __builtin_trap();
  }
};

qs::HostedEngine* Engine() {
  static qs::HostedEngine* engine = [] {
    if (!qs::g_nameTable) qs::g_nameTable = new qs::NameTable();
    auto* e = new qs::HostedEngine(0, "/nonexistent-fuzz-home/", "Fuzz", nullptr);
    qs::SetEngine(e);
    return e;
  }();
  return engine;
}

void Check(const qs::DocumentNode* node, std::uint32_t from, std::uint32_t to) {
  for (const qs::DocumentNode* n = node; n; n = n->Next()) {
    if (n->start > n->end || n->start < from || n->end > to) __builtin_trap();
    Check(n->First(), n->start, n->end);
    from = n->end;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Engine();
  std::string text(reinterpret_cast<const char*>(data), size);
  FuzzParser parser;
  parser.ParseDocumentInput(new qs::MemoryInStream(text.data(), text.size(), "fuzz"), false, 0);
  qs::Document* document = parser.GetDocument();
  if (!parser.Stopped()) Check(document->Root(), 0, document->TextLength());
  if (document->Root() && document->TextLength() > 0) {
    std::string out(document->TextLength() + 1, '\0');
    out.resize(document->ExtractText(out.data(), 0, document->TextLength()));
    // Control characters of the input never reach the text: the store's
    // own byte 1 (a kept space) is the only one below a blank it holds.
    for (char c : out) {
      auto b = static_cast<unsigned char>(c);
      if (b > 1 && b < 0x20 && b != '\t' && b != '\n' && b != '\r') __builtin_trap();
    }
  }
  return 0;
}
