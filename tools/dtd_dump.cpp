// dtd_dump: parses a file of markup declarations and prints what the parser
// declared and reported, sorted so that runs can be compared.
//   dtd_dump [-s] [-c CATALOG] FILE
// -s prints only the reports and the counts.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "api/parse_report.h"
#include "foundation/engine.h"
#include "foundation/names.h"
#include "sgml/catalog.h"
#include "sgml/content_model.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/external_id.h"
#include "sgml/parser.h"
#include "sgml/model_names.h"
#include "sgml/parser_report.h"

namespace {

std::int32_t PrintReport(const void* record, std::intptr_t) {
  const auto* r = static_cast<const QsParseReport*>(record);
  char text[512];
  const char* argument = reinterpret_cast<const char*>(r->argument1);
  qs::FormatParserMessage(r->number, argument, text, sizeof text);
  std::printf("REPORT kind=%d severity=%d number=%d line=%d offset=%d entity=%s: %s\n",
              static_cast<int>(r->kind), static_cast<int>(r->severity),
              static_cast<int>(r->number), static_cast<int>(r->line),
              static_cast<int>(r->offset), r->entity ? r->entity : "", text);
  return 1;
}

std::string Attributes(const qs::AttributeDeclSet& set) {
  std::string out;
  for (std::size_t i = 0; i < set.Count(); ++i) {
    qs::AttributeDecl* a = set.At(i);
    char line[160];
    std::snprintf(line, sizeof line, "  ATTRIBUTE %s declared=%d default=%d flags=%d", a->NameText(),
                  a->DeclaredValue(), a->DefaultKind(), a->Flags() & 7);
    out += line;
    if (a->Tokens()) {
      out += " (";
      for (std::uint16_t t = 0; t < a->Tokens()->Count(); ++t) {
        if (t) out += "|";
        out += qs::NameText(a->Tokens()->At(t));
      }
      out += ")";
    }
    if (a->DefaultValue()) out += std::string(" \"") + a->DefaultText() + "\"";
    out += "\n";
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  bool summary = false;
  const char* catalogPath = nullptr;
  const char* file = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-s") == 0) {
      summary = true;
    } else if (std::strcmp(argv[i], "-c") == 0 && i + 1 < argc) {
      catalogPath = argv[++i];
    } else {
      file = argv[i];
    }
  }
  if (!file) {
    std::fprintf(stderr, "usage: dtd_dump [-s] [-c CATALOG] FILE\n");
    return 2;
  }
  if (!qs::g_nameTable) qs::g_nameTable = new qs::NameTable();
  qs::HostedEngine engine(0, "C:\\Home\\", "dtd_dump", nullptr);
  qs::SetEngine(&engine);
  qs::Catalog* catalog = nullptr;
  if (catalogPath) {
    catalog = new qs::Catalog(catalogPath);
    catalog->Reload();
  }
  int result = 0;
  {
    qs::ReportingParser parser(&PrintReport, 0, catalog, nullptr, nullptr, nullptr);
    auto* id = new qs::ExternalId(catalog, nullptr, nullptr, file, nullptr, qs::ExternalId::kDoctype);
    parser.ParseDeclarations(id, true);
    id->Release();
    qs::Dtd& dtd = *parser.GetDtd();
    std::vector<std::string> lines;
    std::size_t entities = 0;
    if (!summary) {
      for (qs::ElementTypeDecl* e = dtd.FirstElement(); e; e = dtd.NextElement()) {
        char line[200];
        const qs::ContentModel* model = e->Model();
        std::snprintf(line, sizeof line, "ELEMENT %s flags=0x%02X model=%s\n", e->NameText(),
                      e->flags, !model ? "none" : model->IsModelGroup() ? "group" : model->NameText());
        lines.push_back(line + Attributes(e->Attributes()));
      }
      for (qs::NotationDecl* n = dtd.FirstNotation(); n; n = dtd.NextNotation()) {
        lines.push_back(std::string("NOTATION ") + n->Name() + "\n" + Attributes(n->Attributes()));
      }
      for (qs::EntityDecl* e = dtd.FirstEntity(); e; e = dtd.NextEntity()) {
        lines.push_back(std::string("ENTITY % ") + e->GetName() + " type=" +
                        std::to_string(e->GetType()) + (e->IsExternal() ? " external\n" : "\n"));
      }
    }
    qs::Document& doc = *parser.GetDocument();
    for (qs::EntityDecl* e = doc.FirstEntity(); e; e = doc.NextEntity()) {
      ++entities;
      if (!summary) {
        lines.push_back(std::string("ENTITY ") + e->GetName() + " type=" +
                        std::to_string(e->GetType()) + (e->IsExternal() ? " external\n" : "\n"));
      }
    }
    std::sort(lines.begin(), lines.end());
    for (const std::string& l : lines) std::fputs(l.c_str(), stdout);
    qs::DtdCounts counts = qs::CountDeclarations(dtd);
    std::printf("COUNTS elements=%zu attributes=%zu parameter-entities=%zu notations=%zu entities=%zu\n",
                counts.elements, counts.attributes, counts.parameterEntities, counts.notations,
                entities);
    result = parser.Stopped() ? 1 : 0;
  }
  delete catalog;
  qs::SetEngine(nullptr);
  return result;
}
