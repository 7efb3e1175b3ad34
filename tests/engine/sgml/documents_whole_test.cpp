// Small documents that once lost or changed text, or gave plainly wrong
// results: each must give exactly this tree, text and reports.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "instance_support.h"
#include "sgml/attributes.h"
#include "sgml/catalog.h"
#include "sgml/external_id.h"

namespace qs::test {
namespace {

struct DocumentCase {
  const char* name;
  std::string source;
  const char* tree;
  const char* text;
  const char* messages;
};

std::string Xml(const std::string& body) { return "<?xml version=\"1.0\"?>" + body; }

class WholeDocuments : public ::testing::TestWithParam<DocumentCase> {};

TEST_P(WholeDocuments, GiveTreeTextAndReports) {
  EngineScope scope;
  const DocumentCase& c = GetParam();
  ParsedText parsed(c.source);
  EXPECT_EQ(Tree(*parsed.document), c.tree);
  // The text of the document element: markup kept from the prolog follows.
  std::string text = DocumentText(*parsed.document);
  if (const DocumentNode* root = parsed.document->Root()) {
    text = text.substr(root->start, root->end - root->start);
  }
  EXPECT_EQ(text, c.text);
  EXPECT_EQ(parsed.Messages(), c.messages);
}

const char kSgml[] =
    "<!DOCTYPE d [<!ELEMENT d - - (#PCDATA|e)*><!ELEMENT e - - (#PCDATA)>"
    "<!ELEMENT pre - - CDATA>]>";

INSTANTIATE_TEST_SUITE_P(
    Cases, WholeDocuments,
    ::testing::Values(
        // Content after the document element is reported, not dropped.
        DocumentCase{"AfterRootXml", Xml("<a>one</a><b>two</b>"), "a[0,3]", "one", "E8() "},
        DocumentCase{"AfterRootSgml", std::string(kSgml) + "<d>x</d>\ny", "D[0,1]", "x", "E8() "},
        DocumentCase{"AfterRootOnlyMisc", Xml("<a>one</a>\n<!-- c -->\n<?pi x?>  \n"), "a[0,3]",
                     "one", ""},
        // XML has no omitted end tags: a mismatch is reported.
        DocumentCase{"MismatchedEndTag", Xml("<a><b>x</a></b>"), "a[0,1](b[0,1])", "x",
                     "W28(a) W20(b) "},
        // A run of ']' before the closing delimiter.
        DocumentCase{"CdataBracketRun", Xml("<a><![CDATA[x]]]></a>"), "a[0,2]", "x]", ""},
        DocumentCase{"CdataBracketRun2", Xml("<a><![CDATA[x]]]]>y</a>"), "a[0,4]", "x]]y", ""},
        DocumentCase{"IncludedSectionBracketRun",
                     std::string(kSgml) + "<d><![ INCLUDE [a]]]>b</d>", "D[0,3]", "a]b", ""},
        DocumentCase{"CdataElementNearEnd", std::string(kSgml) + "<d><pre>a<</</pre></d>",
                     "D[0,4](PRE[0,4])", "a<</", ""},
        DocumentCase{"CdataElementNearEnd2", std::string(kSgml) + "<d><pre>x</pr</pre></d>",
                     "D[0,5](PRE[0,5])", "x</pr", ""},
        // Character references count by value, not by digits.
        DocumentCase{"LeadingZeros",
                     Xml("<a>&#0000000000000000000000000000000000065;&#x0000000000000000042;</a>"),
                     "a[0,2]", "AB", ""},
        // One attribute given twice: the first stands, the second is reported.
        DocumentCase{"RepeatedAttribute", Xml("<doc x=\"1\" y=\"2\" x=\"3\"/>"),
                     "doc{x=1}{y=2}[0,1]", " ", "W62(x) "},
        // A line end before a comment: XML data; in SGML a blank between data.
        DocumentCase{"LineEndBeforeCommentXml", Xml("<a>one\n<!-- c -->two</a>"), "a[0,7]",
                     "one two", ""},
        DocumentCase{"LineEndBeforeCommentSgml",
                     std::string(kSgml) + "<d>one\n<!-- c -->two\n<!-- c -->\n<e>x</e></d>",
                     "D[0,9](E[8,9])", "one two x", ""},
        DocumentCase{"LineEndBeforeCommentSgmlNoDataBefore",
                     std::string(kSgml) + "<d>\n<!-- c -->two<e>x\n<!-- c --></e></d>",
                     "D[0,4](E[3,4])", "twox", ""},
        // Control characters are never the text store's own bytes.
        DocumentCase{"ControlCharacterXml", Xml("<a>x\x01y\x02</a>"), "a[0,8]",
                     "x\xEF\xBF\xBDy\xEF\xBF\xBD", "W7(#x1) "},
        DocumentCase{"ControlCharacterSgml", std::string(kSgml) + "<d>x\x01y</d>", "D[0,5]",
                     "x\xEF\xBF\xBDy", "W7(#x1) "},
        DocumentCase{"ControlCharacterInValue", Xml("<a v=\"p\x02q\">&#1;</a>"),
                     "a{v=p\xEF\xBF\xBDq}[0,3]", "\xEF\xBF\xBD", "W7(#x2) W7(1) "},
        DocumentCase{"NonCharacterXml", Xml("<a>\xEF\xBF\xBF\xEF\xBF\xBE.</a>"), "a[0,7]",
                     "\xEF\xBF\xBD\xEF\xBF\xBD.", "W7(#xFFFF) "},
        DocumentCase{"NonCharacterInValueXml", Xml("<a v=\"\xEF\xBF\xBE\"/>"),
                     "a{v=\xEF\xBF\xBD}[0,1]", " ", "W7(#xFFFE) "},
        // SGML has no such rule: U+FFFF is kept.
        DocumentCase{"NonCharacterSgml", std::string(kSgml) + "<d>\xEF\xBF\xBF</d>", "D[0,3]",
                     "\xEF\xBF\xBF", ""},
        // XML names take letters beyond ASCII.
        DocumentCase{"NonAsciiNames",
                     Xml("<caf\xC3\xA9 \xE5\x90\x8D=\"1\">x<\xE9\x83\xA8/></caf\xC3\xA9>"),
                     "caf\xC3\xA9{\xE5\x90\x8D=1}[0,2](\xE9\x83\xA8[1,2])", "x ", ""},
        // Character references in an entity's value are replaced when it is
        // declared; entity references wait until it is used.
        DocumentCase{"CharacterReferencesInEntityValue",
                     Xml("<!DOCTYPE a [<!ENTITY i \"&#60;i>x&#60;/i>\"><!ENTITY j \"&#38;#38;\">"
                         "<!ENTITY k \"[&l;]\"><!ENTITY l \"L\">]><a>&i;&j;&k;</a>"),
                     "a[0,5](i[0,1])", "x&[L]", ""},
        // Entity references in attribute values are expanded all the way.
        DocumentCase{"NestedEntitiesInValue",
                     Xml("<!DOCTYPE doc [<!ENTITY a \"Snow\"><!ENTITY b \"&a; Man\">]>"
                         "<doc v=\"&b;\" w='&lt;&b;&#38;'/>"),
                     "doc{v=Snow Man}{w=<Snow Man&}[0,1]", " ", ""},
        DocumentCase{"EntityLoopInValue",
                     Xml("<!DOCTYPE doc [<!ENTITY l1 \"&l2;\"><!ENTITY l2 \"x&l1;\">]>"
                         "<doc v=\"&l1;\"/>"),
                     "", "", "E9(l1) "},
        // Values are normalised: blanks for line ends and tabs, and tokens
        // trimmed and single-spaced.
        DocumentCase{"ValueNormalisation",
                     Xml("<!DOCTYPE a [<!ATTLIST a t NMTOKENS #IMPLIED i ID #IMPLIED>]>"
                         "<a t=\"  x \n  y  \" c=\"p\tq\nr&#10;s\" i=\" k \"/>"),
                     "a{t=x y}{c=p q r\ns}{i=k}[0,1]", " ", ""}),
    [](const ::testing::TestParamInfo<DocumentCase>& info) { return info.param.name; });

TEST(WholeDocuments, ParameterReferenceInADefaultValueIsText) {
  EngineScope scope;
  for (const char* doc :
       {"<?xml version=\"1.0\"?><!DOCTYPE doc [<!ENTITY % e \"zz\">"
        "<!ATTLIST doc a CDATA \"%e;\">]><doc/>",
        "<!DOCTYPE doc [<!ENTITY % e \"zz\"><!ELEMENT doc - - EMPTY>"
        "<!ATTLIST doc a CDATA \"%e;\">]><doc>"}) {
    ParsedText parsed(doc);
    EXPECT_EQ(parsed.Messages(), "") << doc;
    ElementTypeDecl* type = parsed.parser->GetDtd()->FindElement(
        parsed.parser->XmlMode() ? "doc" : "DOC");
    ASSERT_NE(type, nullptr) << doc;
    AttributeDecl* a = type->Attributes().Find(parsed.parser->XmlMode() ? "a" : "A");
    ASSERT_NE(a, nullptr) << doc;
    EXPECT_STREQ(a->DefaultText(), "%e;") << doc;
  }
}

// Documents in files, with their DTDs and entities beside them.
class DocumentFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("qs-whole-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_ / "dtd");
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return (dir_ / name).string();
  }
  // Parses the file; its tree and messages, and its text in `text`.
  std::string Parse(const std::string& path, std::string* text,
                    EntityResolver* resolver = nullptr) {
    RecordingParser parser(nullptr, nullptr, resolver);
    auto* id = new ExternalId(resolver, nullptr, nullptr, path.c_str(), nullptr,
                              ExternalId::kGeneralEntity);
    parser.ParseSource(id, false);
    id->Release();
    Document& document = *parser.GetDocument();
    *text = DocumentText(document);
    if (document.Root()) *text = text->substr(document.Root()->start, document.Root()->end);
    return Tree(document) + " |" + Describe(parser.messages);
  }
  std::filesystem::path dir_;
};

std::string Utf16Le(const std::string& ascii) {
  std::string out = "\xFF\xFE";
  for (char c : ascii) {
    out += c;
    out += '\0';
  }
  return out;
}

TEST_F(DocumentFiles, EveryEntityFindsItsOwnEncoding) {
  EngineScope scope;
  // A UTF-16 document whose DTD is ASCII, and an entity in Latin-1 that
  // says so in its text declaration (which is no part of its text).
  Write("a.dtd", "<!ELEMENT a (#PCDATA)><!ENTITY e \"text\">"
                 "<!ENTITY lat SYSTEM \"lat.ent\">");
  Write("lat.ent", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>caf\xE9");
  std::string doc = Write("doc.xml", Utf16Le("<?xml version=\"1.0\" encoding=\"UTF-16\"?>"
                                             "<!DOCTYPE a SYSTEM \"a.dtd\"><a>&e; &lat;</a>"));
  std::string text;
  EXPECT_EQ(Parse(doc, &text), "a[0,10] |");
  EXPECT_EQ(text, "text caf\xC3\xA9");
}

TEST_F(DocumentFiles, DoctypeSystemWithoutLiteralReadsTheCatalogsDtd) {
  EngineScope scope;
  Write("dtd/manual.dtd", "<!ELEMENT manual - - (title, p+)><!ELEMENT (title|p) - - (#PCDATA)>"
                          "<!ENTITY product \"Corvina\">");
  std::string catalogPath = Write("catalog", "DOCTYPE \"MANUAL\" \"dtd/manual.dtd\"\n");
  std::string doc =
      Write("m.sgm", "<!doctype manual system>\n<manual><title>&product;</title><p>x</p></manual>");
  Catalog* catalog = CreateCatalog(catalogPath.c_str());
  ASSERT_NE(catalog, nullptr);
  std::string text;
  // Without the DTD: undeclared elements and an undefined entity.
  EXPECT_EQ(Parse(doc, &text, catalog), "MANUAL[0,8](TITLE[0,7] P[7,8]) |");
  EXPECT_EQ(text, "Corvinax");
}

TEST_F(DocumentFiles, EntityExpansionIsBoundedByTheInput) {
  EngineScope scope;
  // Each entity refers to the one before it ten times and the first is a
  // start tag: followed through, millions of elements from a few hundred
  // bytes. The parse stops with the out-of-memory report instead.
  std::string dtd = "<!DOCTYPE d [<!ELEMENT d - - ANY><!ELEMENT e - O EMPTY>"
                    "<!ENTITY e0 \"<e>\">";
  for (int i = 1; i <= 7; ++i) {
    dtd += "<!ENTITY e" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) dtd += "&e" + std::to_string(i - 1) + ";";
    dtd += "\">";
  }
  std::string doc = Write("bomb.sgm", dtd + "]><d>&e7;</d>");
  ASSERT_LT(doc.size(), 1000u);
  std::string text;
  std::string result = Parse(doc, &text);
  EXPECT_EQ(result.substr(result.find('|')), "|E102(e0) ");
  EXPECT_LT(result.size(), 200000u);
  // The same entities used a few times stay within the bound.
  std::string fine = Write("fine.sgm", dtd + "]><d>&e2;&e2;</d>");
  result = Parse(fine, &text);
  EXPECT_EQ(result.substr(result.find('|')), "|");
  EXPECT_EQ(text.size(), 200u);
}

}  // namespace
}  // namespace qs::test
