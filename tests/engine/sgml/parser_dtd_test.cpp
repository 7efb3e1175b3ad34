// Real DTDs from the system's packages parse without errors into the
// declarations other tools see in them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "parser_support.h"
#include "sgml/catalog.h"
#include "sgml/content_model.h"
#include "sgml/entities.h"
#include "sgml/external_id.h"

namespace qs::test {
namespace {

const char kDocbookXml[] = "/usr/share/xml/docbook/schema/dtd/4.5/docbookx.dtd";
const char kHtmlStrict[] = "/usr/share/sgml/html/dtd/4.01/strict.dtd";
const char kDocbookSgml[] = "/usr/share/sgml/docbook/dtd/4.5/docbook.dtd";
const char kIsoCatalog[] = "/usr/share/sgml/entities/sgml-iso-entities-8879.1986/catalog";

std::size_t CountEntities(Document& doc) {
  std::size_t n = 0;
  for (EntityDecl* e = doc.FirstEntity(); e; e = doc.NextEntity()) ++n;
  return n;
}

// Parses a DTD file; errors fail the test, warnings are returned.
std::vector<Message> ParseDtdFile(RecordingParser& parser, const char* path) {
  ExternalId* id = new ExternalId(nullptr, nullptr, nullptr, path, nullptr, ExternalId::kDoctype);
  parser.ParseDeclarations(id, true);
  id->Release();
  std::vector<Message> warnings;
  for (const Message& m : parser.messages) {
    EXPECT_FALSE(m.error) << path << ": " << Describe(parser.messages);
    warnings.push_back(m);
  }
  return warnings;
}

TEST(ParserDtd, DocbookXml45) {
  if (!std::filesystem::exists(kDocbookXml)) GTEST_SKIP() << "docbook-xml is not installed";
  EngineScope scope;
  RecordingParser parser;
  std::vector<Message> warnings = ParseDtdFile(parser, kDocbookXml);
  EXPECT_TRUE(warnings.empty()) << Describe(warnings);
  ASSERT_FALSE(parser.Stopped());
  // What xmllint lists for the same DTD read as an internal subset.
  DtdCounts counts = CountDeclarations(*parser.GetDtd());
  EXPECT_EQ(counts.elements, 406u);
  EXPECT_EQ(counts.attributes, 7567u);
  // xmllint's 2245 hold the one entity its wrapper declares.
  EXPECT_EQ(counts.parameterEntities, 2244u);
  EXPECT_EQ(CountEntities(*parser.GetDocument()), 975u);

  ElementTypeDecl* para = parser.GetDtd()->FindElement("PARA");
  ASSERT_NE(para, nullptr);
  EXPECT_EQ(para->flags, 0x08);  // mixed, from a parameter-entity-built model
  ASSERT_NE(para->Attributes().Find("ROLE"), nullptr);
  EXPECT_EQ(para->Attributes().Find("ID")->DeclaredValue(), 9);
  ElementTypeDecl* anchor = parser.GetDtd()->FindElement("ANCHOR");
  ASSERT_NE(anchor, nullptr);
  EXPECT_STREQ(anchor->Model()->NameText(), "#EMPTY");
  EntityDecl* eacute = parser.GetDocument()->FindEntity("eacute");
  ASSERT_NE(eacute, nullptr);
  EXPECT_STREQ(eacute->GetText(), "&#x00E9;");
}

TEST(ParserDtd, DocbookSgml45ThroughTheEntityCatalog) {
  if (!std::filesystem::exists(kDocbookSgml) || !std::filesystem::exists(kIsoCatalog)) {
    GTEST_SKIP() << "docbook or sgml-data is not installed";
  }
  EngineScope scope;
  Catalog* catalog = new Catalog(kIsoCatalog);
  catalog->Reload();
  {
    RecordingParser parser(nullptr, nullptr, catalog);
    std::vector<Message> warnings = ParseDtdFile(parser, kDocbookSgml);
    EXPECT_TRUE(warnings.empty()) << Describe(warnings);
    DtdCounts counts = CountDeclarations(*parser.GetDtd());
    EXPECT_EQ(counts.elements, 406u);
    EXPECT_EQ(counts.attributes, 7142u);
    EXPECT_EQ(counts.parameterEntities, 2245u);
    // The ISO sets' entities, read through the catalog's public identifiers.
    EXPECT_EQ(CountEntities(*parser.GetDocument()), 978u);
    ElementTypeDecl* para = parser.GetDtd()->FindElement("PARA");
    ASSERT_NE(para, nullptr);
    EXPECT_EQ(para->flags, 0x48);
    EntityDecl* eacute = parser.GetDocument()->FindEntity("eacute");
    ASSERT_NE(eacute, nullptr);
    EXPECT_EQ(eacute->GetType(), 30);  // SDATA
  }
  delete catalog;
}

TEST(ParserDtd, Html401Strict) {
  if (!std::filesystem::exists(kHtmlStrict)) GTEST_SKIP() << "sgml-data is not installed";
  EngineScope scope;
  RecordingParser parser;
  std::vector<Message> warnings = ParseDtdFile(parser, kHtmlStrict);
  // The entity sets are named by public identifier only within reach of a
  // catalog; without one each set gives warning 4 and nothing else.
  for (const Message& m : warnings) EXPECT_EQ(m.number, 4) << Describe(warnings);
  ASSERT_FALSE(parser.Stopped());
  Dtd& dtd = *parser.GetDtd();
  DtdCounts counts = CountDeclarations(dtd);
  EXPECT_EQ(counts.elements, 77u);
  ElementTypeDecl* p = dtd.FindElement("P");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->flags, 0x48);  // end tag omissible; mixed through %inline;
  ASSERT_NE(p->Attributes().Find("ONCLICK"), nullptr);
  ElementTypeDecl* br = dtd.FindElement("BR");
  ASSERT_NE(br, nullptr);
  EXPECT_EQ(br->flags, 0x41);
  ElementTypeDecl* body = dtd.FindElement("BODY");
  ASSERT_NE(body, nullptr);
  EXPECT_EQ(body->flags, 0x60);
  // Exceptions of a model group are read and dropped.
  ElementTypeDecl* a = dtd.FindElement("A");
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(a->Model()->IsModelGroup());
  // %HTML.Reserved; is IGNORE: the reserved attributes are not declared.
  EXPECT_EQ(dtd.FindElement("INPUT")->Attributes().Find("DATASRC"), nullptr);
  EXPECT_NE(dtd.FindElement("TABLE")->Attributes().Find("DATAPAGESIZE"), nullptr);
  AttributeDecl* align = dtd.FindElement("TD")->Attributes().Find("ALIGN");
  ASSERT_NE(align, nullptr);
  EXPECT_EQ(align->DeclaredValue(), 0);
  EXPECT_EQ(align->Tokens()->Count(), 5);
}

}  // namespace
}  // namespace qs::test
