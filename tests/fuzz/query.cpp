// A query text and a flags byte run over a fixed document; then the rest of
// the input is compiled as a pattern and searched for in itself.
//   input: flags byte, query text, optional NUL, pattern text
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "addressing/pattern_automaton.h"
#include "addressing/query.h"
#include "foundation/engine.h"
#include "foundation/names.h"
#include "foundation/entity_storage.h"
#include "sgml/document.h"
#include "sgml/parser.h"
#include "view/ranges.h"

namespace {

const char kDocument[] =
    "<!DOCTYPE DOC [<!ELEMENT DOC - - (PARA|LIST)*>"
    "<!ELEMENT PARA - - (#PCDATA|E)*><!ATTLIST PARA X CDATA #IMPLIED ID ID #IMPLIED>"
    "<!ELEMENT LIST - - (ITEM+)><!ELEMENT ITEM - O (#PCDATA)>"
    "<!ATTLIST ITEM N NUMBER \"1\">"
    "<!ELEMENT E - - (#PCDATA)>]>"
    "<DOC><PARA X=1 ID=p1>fuel pump &#160;colour color</PARA><PARA>pump<E>ump</E> "
    "caf&#233; \xC3\xA9t\xC3\xA9</PARA><LIST><ITEM>one<ITEM N=2>two<ITEM>x</LIST>"
    "<PARA></PARA></DOC>";

struct Fixture {
  Fixture() {
    if (!qs::g_nameTable) qs::g_nameTable = new qs::NameTable();
    engine = new qs::HostedEngine(0, "C:\\Home\\", "fuzz", nullptr);
    qs::SetEngine(engine);
    parser = new qs::Parser(nullptr, nullptr, nullptr, nullptr);
    parser->ParseDocumentInput(
        new qs::MemoryInStream(kDocument, sizeof kDocument - 1, "doc"), false, 0);
    document = parser->GetDocument();
    if (!document || !document->Root()) __builtin_trap();
  }
  qs::HostedEngine* engine;
  qs::Parser* parser;
  qs::Document* document;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Fixture fixture;
  if (size < 1) return 0;
  int flags = data[0];
  std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::size_t nul = rest.find('\0');
  std::string query = rest.substr(0, nul);
  qs::RangeList list;
  int n = qs::RunQuery(query.c_str(), fixture.document, nullptr, list, flags);
  if (static_cast<std::size_t>(n) != list.Count()) __builtin_trap();
  std::uint32_t length = fixture.document->TextLength();
  for (qs::Range* r = list.FirstRange(); r; r = r->NextRange())
    if (r->GetStart() > r->GetEnd() || r->GetEnd() > length) __builtin_trap();

  if (nul != std::string::npos) {
    std::string pattern = rest.substr(nul + 1);
    qs::PatternAutomaton automaton;
    const char* begin = pattern.data();
    const char* stop = automaton.Compile(begin, begin + pattern.size(), (flags & 1) == 0);
    if (stop && (stop < begin || stop > begin + pattern.size())) __builtin_trap();
    std::size_t s = 0, e = 0;
    if (automaton.Find(pattern.c_str(), pattern.size(), &s, &e) &&
        (s >= e || e > pattern.size()))
      __builtin_trap();
  }
  return 0;
}
