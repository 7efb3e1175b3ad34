// Small documents that once lost or changed text, or gave plainly wrong
// results: each must give exactly this tree, text and reports.
#include <gtest/gtest.h>

#include <string>

#include "instance_support.h"
#include "sgml/attributes.h"

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
                     "\xEF\xBF\xBD\xEF\xBF\xBD.", ""},
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

}  // namespace
}  // namespace qs::test
