// The declaration parser on arbitrary bytes: whatever the input, the parse
// ends (by the end of input or the first error) without reading or writing
// outside its buffers. External entities are not opened.
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/engine.h"
#include "foundation/entity_storage.h"
#include "foundation/names.h"
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
  void Warning(int number, const char*, const char*, const char*) override {
    if (number < 0 || number >= qs::kReportMessageCount) __builtin_trap();
  }
};

qs::HostedEngine* Engine() {
  static qs::HostedEngine* engine = [] {
    if (!qs::g_nameTable) qs::g_nameTable = new qs::NameTable();
    auto* e = new qs::HostedEngine(0, "/tmp/", "Fuzz", nullptr);
    qs::SetEngine(e);
    return e;
  }();
  return engine;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Engine();
  std::string text(reinterpret_cast<const char*>(data), size);
  FuzzParser parser;
  parser.ParseDeclarationInput(new qs::MemoryInStream(text.data(), text.size(), "fuzz"), 1);
  qs::CountDeclarations(*parser.GetDtd());
  return 0;
}
