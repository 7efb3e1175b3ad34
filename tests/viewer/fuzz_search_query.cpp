// The queries of the viewer's two search dialogs in the engine's query
// parser: whatever the reader types, the text search with "Markup Based"
// off and the parts search send a query that parses without a syntax error
// (engine error 27). A text of single-blank-separated printable words under
// 99 characters is found in a document that holds it in the scope chosen.
//   input: options byte (bit 0 case, bits 5-6 match mode), scope byte, text
#include <cstddef>
#include <cstdint>
#include <string>

#include "addressing/query.h"
#include "foundation/engine.h"
#include "foundation/entity_storage.h"
#include "foundation/names.h"
#include "search_text.h"
#include "sgml/document.h"
#include "sgml/parser.h"
#include "view/ranges.h"

namespace {

class ErrorCountingEngine : public qs::HostedEngine {
 public:
  ErrorCountingEngine() : qs::HostedEngine(0, "C:\\Home\\", "fuzz", nullptr) {}
  void ReportError(int, std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t) override {
    ++errors;
  }
  int errors = 0;
};

ErrorCountingEngine* Engine() {
  static ErrorCountingEngine* engine = [] {
    if (!qs::g_nameTable) qs::g_nameTable = new qs::NameTable();
    auto* e = new ErrorCountingEngine;
    qs::SetEngine(e);
    return e;
  }();
  return engine;
}

// A service manual holding the text in a note and in a parts table's
// description cell, with other text around.
// The source must live while the document does.
qs::Document* ParseManual(const std::string& text, std::string& source) {
  std::string escaped;
  for (char c : text) {
    if (c == '&')
      escaped += "&#38;";
    else if (c == '<')
      escaped += "&#60;";
    else
      escaped += c;
  }
  source =
      "<!DOCTYPE SVCDOC [<!ELEMENT SVCDOC - - (PARA|NOTE|TABLE)*>"
      "<!ELEMENT (PARA|NOTE) - - (#PCDATA)><!ELEMENT TABLE - - (ENTRY)*>"
      "<!ELEMENT ENTRY - - (#PCDATA)><!ATTLIST (TABLE|ENTRY) TYPE CDATA #IMPLIED>]>"
      "<SVCDOC><PARA>before</PARA><NOTE>" + escaped + "</NOTE><TABLE TYPE=\"PARTS\">"
      "<ENTRY TYPE=\"PNO\">1</ENTRY><ENTRY TYPE=\"PNM\">" + escaped + "</ENTRY></TABLE>"
      "<PARA>after</PARA></SVCDOC>";
  auto* parser = new qs::Parser(nullptr, nullptr, nullptr, nullptr);
  parser->ParseDocumentInput(new qs::MemoryInStream(source.data(), source.size(), "doc"), false, 0);
  qs::Document* document = parser->GetDocument();
  if (document) document->AddRef();
  delete parser;
  return document;
}

bool PlainWords(const std::string& text) {
  if (text.empty() || text.size() >= 99 || text.front() == ' ' || text.back() == ' ') return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c == ' ' ? text[i + 1] == ' ' : (c < 0x21 || c > 0x7e)) return false;
  }
  return true;
}

// An empty query is never sent.
void CheckParses(const qs::viewer::SearchQuery& query) {
  if (query.text.empty()) return;
  ErrorCountingEngine* engine = Engine();
  engine->errors = 0;
  qs::Query q(nullptr, qs::QuerySettings::FromFlags(static_cast<int>(query.flags)));
  q.Parse(query.text.c_str(), (query.flags & qs::viewer::kSearchLiteral) != 0);
  if (engine->errors) __builtin_trap();
  if (!q.Tree()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qs::viewer;
  ErrorCountingEngine* engine = Engine();
  if (size < 2) return 0;
  // No pattern bit: a pattern the reader writes may be wrong on its own.
  std::uint32_t flags = (data[0] & kSearchCaseSensitive) | (data[0] & kSearchMatchBits);
  int scope = data[1];
  std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

  SearchQuery scoped = BuildStringQuery(text, flags, false, 1 + scope % (kSearchInCount - 1));
  SearchQuery whole = BuildStringQuery(text, flags, false, kSearchInEntireDocument);
  SearchQuery parts = BuildPartsQuery(text, static_cast<int>(flags >> 5), scope % kPartsColumnCount);
  for (const SearchQuery* q : {&scoped, &whole, &parts}) CheckParses(*q);
  if ((parts.flags & ~kSearchMatchBits) != 0 || (scoped.flags & kSearchLiteral) != 0 ||
      (!text.empty() && !(whole.flags & kSearchLiteral)))
    __builtin_trap();

  if (!PlainWords(text)) return 0;
  std::string source;
  qs::Document* document = ParseManual(text, source);
  if (!document || !document->Root()) __builtin_trap();
  SearchQuery inNotes = BuildStringQuery(text, flags, false, 5);
  SearchQuery inTable = BuildStringQuery(text, flags, false, 6);
  SearchQuery inColumn = BuildPartsQuery(text, static_cast<int>(flags >> 5), scope % 2 ? 3 : 0);
  for (const SearchQuery* q : {&inNotes, &inTable, &whole, &inColumn}) {
    qs::RangeList hits;
    engine->errors = 0;
    int n = qs::RunQuery(q->text.c_str(), document, nullptr, hits, static_cast<int>(q->flags));
    if (n < 1 || engine->errors) __builtin_trap();
  }
  document->Release();
  return 0;
}
