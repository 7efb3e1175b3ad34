// The document instance: the tree, positions and text a document gives,
// white space, references, marked sections, declared content, XML mode and
// the messages of the instance.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "chars_support.h"
#include "foundation/names.h"
#include "instance_support.h"
#include "sgml/entityrc.h"
#include "sgml/mark_kinds.h"
#include "sgml/sdata_table.h"

namespace qs::test {
namespace {

struct TreeCase {
  const char* source;
  const char* tree;
  const char* text;
  const char* messages;
};

class InstanceTree : public ::testing::TestWithParam<TreeCase> {};

TEST_P(InstanceTree, GivesTreeTextAndMessages) {
  EngineScope scope;
  const TreeCase& c = GetParam();
  ParsedText parsed(c.source);
  EXPECT_EQ(Tree(*parsed.document), c.tree) << c.source;
  EXPECT_EQ(DocumentText(*parsed.document), c.text) << c.source;
  EXPECT_EQ(parsed.Messages(), c.messages) << c.source;
}

const char kDtd[] =
    "<!DOCTYPE d [<!ELEMENT d - - (#PCDATA|e|br|pre)*><!ELEMENT e - O (#PCDATA)>"
    "<!ELEMENT br - O EMPTY><!ELEMENT pre - - CDATA><!ELEMENT (r|k) - - RCDATA>"
    "<!ENTITY ent \"[text]\"><!ENTITY c CDATA \"<b>\">]>";

std::string WithDtd(const char* instance) { return std::string(kDtd) + instance; }

INSTANTIATE_TEST_SUITE_P(
    Documents, InstanceTree,
    ::testing::Values(
        TreeCase{"<!DOCTYPE d [<!ELEMENT d - - (#PCDATA)>]><d>one\n   two</d>", "D[0,7]",
                 "one two", ""},
        // An end tag of an ancestor closes what is open inside it.
        TreeCase{"<a><b><c>t</a>", "A[0,1](B[0,1](C[0,1]))", "t",
                 "W16(A) W16(B) W16(C) "},
        TreeCase{"<!DOCTYPE d [<!ELEMENT d - - ANY>]><d><![CDATA[<x>&y;]]></d>", "D[0,6]",
                 "<x>&y;", ""},
        // An empty element covers one space; a line feed before an end tag
        // adds nothing.
        TreeCase{"<!DOCTYPE d [<!ELEMENT d - - ANY>]><d><d></d>a\n</d>",
                 "D[0,2](D[0,1])", " a", ""},
        // A record end before a start tag in mixed content is a blank.
        TreeCase{"<!DOCTYPE d [<!ELEMENT d - - ANY>]><d>a\n<d>b</d></d>",
                 "D[0,3](D[2,3])", "a b", ""},
        // Empty end tag, and "</" followed by a blank is data.
        TreeCase{"<!DOCTYPE d [<!ELEMENT d - - ANY>]><d>x</ y</>", "D[0,5]", "x</ y", ""}));

struct RefCase {
  const char* instance;
  const char* text;
  const char* messages;
};
class InstanceReferences : public ::testing::TestWithParam<RefCase> {};

TEST_P(InstanceReferences, ExpandAsDeclared) {
  EngineScope scope;
  const RefCase& c = GetParam();
  ParsedText parsed(WithDtd(c.instance));
  EXPECT_EQ(DocumentText(*parsed.document), c.text) << c.instance;
  EXPECT_EQ(parsed.Messages(), c.messages) << c.instance;
}

INSTANTIATE_TEST_SUITE_P(
    Documents, InstanceReferences,
    ::testing::Values(RefCase{"<d>a&#RS;b&#RE;c</d>", "a bc", ""},
                      RefCase{"<d>&#x41;&#66;&#SPACE;C</d>", "AB C", ""},
                      RefCase{"<d>&#0;&#xD800;&#BAD;.</d>", "\xEF\xBF\xBD\xEF\xBF\xBD.",
                              "W7(0) W7(xD800) W7(BAD) "},
                      RefCase{"<d>&ent; &c;</d>", "[text] <b>", ""},
                      RefCase{"<d>&nope; &nope2</d>", "&nope; &nope2", "W3(nope) W3(nope2) "},
                      RefCase{"<d>a & b</d>", "a & b", ""},
                      // Declared content: CDATA keeps markup, RCDATA expands
                      // references; the end tag is found in any case.
                      RefCase{"<d><pre><e>&ent;</PRE></d>", "<e>&ent;", ""},
                      RefCase{"<d><r>&ent;<e></r ></d>", "[text]<e>", ""},
                      // Malformed UTF-8: each broken byte becomes U+FFFD and
                      // the byte after it is read again.
                      RefCase{"<d>\x85<e>x\xC3<e>y\xE2\x82</d>",
                              "\xEF\xBF\xBDx\xEF\xBF\xBDy\xEF\xBF\xBD", ""},
                      RefCase{"<d>\xC3\xA9t\xC3\xA9</d>", "\xC3\xA9t\xC3\xA9", ""}));

// &#RS; is a line break: a record-end mark on its one byte of text, where
// &#RE; leaves nothing and &#SPACE; is a plain blank without a mark.
TEST(Instance, RecordStartReferenceIsALineBreakMark) {
  EngineScope scope;
  ParsedText parsed(WithDtd("<d>a&#RS;b&#RE;c&#SPACE;d</d>"));
  ASSERT_EQ(parsed.Messages(), "");
  ASSERT_EQ(DocumentText(*parsed.document), "a bc d");
  std::vector<std::pair<int, std::uint32_t>> marks;
  for (Mark* m = parsed.document->FirstMark(); m; m = m->next) marks.push_back({m->Kind(), m->Start()});
  EXPECT_EQ(marks, (std::vector<std::pair<int, std::uint32_t>>{{kMarkRecordEnd, 1}}));
}

TEST(Instance, UndeclaredEntityAttributeAndDuplicateIdWarnInOrder) {
  EngineScope scope;
  ParsedText parsed(
      "<!DOCTYPE d [<!ELEMENT d - - ANY><!ELEMENT e - - ANY>"
      "<!ATTLIST e id ID #IMPLIED>]>"
      "<d>&undefined;<e id=x bogus=1></e><e id=x></e></d>");
  EXPECT_EQ(parsed.Messages(), "W3(undefined) W15(BOGUS) W19(X) ");
  EXPECT_FALSE(parsed.parser->Stopped());
  ASSERT_NE(parsed.document->FindElementById("X"), nullptr);
}

TEST(Instance, FortyNineNestedElementsAreTooDeep) {
  EngineScope scope;
  std::string source = "<!DOCTYPE d [<!ELEMENT d - - ANY>]>";
  for (int i = 0; i < 48; ++i) source += "<d>";
  std::string ok = source + "x";
  for (int i = 0; i < 48; ++i) ok += "</d>";
  ParsedText fine(ok);
  EXPECT_EQ(fine.Messages(), "");
  ParsedText deep(source + "<d>x</d>");
  EXPECT_EQ(deep.Messages(), "E13() ");
  EXPECT_TRUE(deep.parser->Stopped());
}

TEST(Instance, XmlKeepsCaseAndPredefinedEntitiesAreData) {
  EngineScope scope;
  const char kDoc[] = "<?xml version=\"1.0\"?><Doc>a &lt;b&gt; &amp; c&apos;&quot;</Doc>";
  for (std::string source : {std::string(kDoc), std::string("\xEF\xBB\xBF") + kDoc}) {
    ParsedText parsed(source);
    EXPECT_EQ(Tree(*parsed.document), "Doc[0,11]");
    // The XML declaration is kept after the instance, under its own mark.
    EXPECT_EQ(DocumentText(*parsed.document), "a <b> & c'\"xml version=\"1.0\"");
    EXPECT_TRUE(parsed.parser->XmlMode());
    EXPECT_FALSE(parsed.parser->Stopped()) << parsed.Messages();
  }
  // Upper-case XML stays SGML: names are folded.
  ParsedText sgml("<?XML version=\"1.0\"><Doc>a</Doc>");
  EXPECT_FALSE(sgml.parser->XmlMode());
  EXPECT_EQ(Tree(*sgml.document), "DOC[0,1]");
}

TEST(Instance, XmlSpacePreserveKeepsBlanksAndLineEnds) {
  EngineScope scope;
  ParsedText parsed("<?xml version=\"1.0\"?><t><p xml:space=\"preserve\">a  b\nc</p></t>");
  EXPECT_EQ(DocumentText(*parsed.document).substr(0, 6), "a__b c");
  Mark* mark = parsed.document->FirstMark();
  ASSERT_NE(mark, nullptr);
  EXPECT_EQ(mark->Kind(), kMarkRecordEnd);
  EXPECT_EQ(mark->Start(), 4u);
  char extracted[16];
  parsed.document->ExtractText(extracted, 0, 6);
  EXPECT_EQ(extracted[4], '\n');
}

TEST(Instance, EmptyElementTagsAndAttributes) {
  EngineScope scope;
  ParsedText parsed(
      "<?xml version='1.0'?><r a='1'><e/><f x=\"a&amp;b\"></f><g\n/></r>");
  EXPECT_EQ(Tree(*parsed.document), "r{a=1}[0,3](e[0,1] f{x=a&b}[1,2] g[2,3])");
  EXPECT_EQ(parsed.Messages(), "");
}

TEST(Instance, DefaultsAndSpecifiedValuesEqualToTheDefault) {
  EngineScope scope;
  ParsedText parsed(
      "<!DOCTYPE d [<!ELEMENT d - - ANY><!ELEMENT e - O EMPTY>"
      "<!ATTLIST e ref IDREF \"a\" kind (x|y) x need CDATA #REQUIRED id ID #IMPLIED>]>"
      "<d><e id=a need=1><e ref=a kind=x need=2><e y></d>");
  // A specified value equal to its default is recorded; IDREF defaults are
  // supplied as values; a lone token names its attribute.
  EXPECT_EQ(Tree(*parsed.document),
            "D[0,3](E{ID=A}{NEED=1}{REF=A}[0,1] E{REF=A}{KIND=X}{NEED=2}[1,2] "
            "E{KIND=Y}{REF=A}[2,3])");
  EXPECT_EQ(parsed.Messages(), "W18(NEED) ");
  ASSERT_NE(parsed.document->FindElementById("A"), nullptr);
  EXPECT_TRUE(parsed.document->FindElementById("A")->flags & kNodeLinkTarget);
}

// Values seen once (link targets, IDs) and values met again give the same
// tree; a list of values all met before is shared by the elements that
// carry it; every value's uses go with the document, however its record
// was made.
TEST(Instance, DistinctAndRepeatedValuesKeepTextsAndGiveBackUses) {
  EngineScope scope;
  auto* parsed = new ParsedText(
      "<?xml version='1.0'?><!DOCTYPE r [<!ATTLIST a id ID #IMPLIED>]>"
      "<r><a href='u1' c='k'/><a href='u2' c='k'/><a href='u1' c='k'/>"
      "<a href='u1' c='k'/><a href='u1' c='k'/><a id='i1' href='i1'/>"
      "<a c='u3' href='u3'/><a c='k'/><a c='k'/></r>");
  Document& doc = *parsed->document;
  EXPECT_EQ(Tree(doc),
            "r[0,9](a{href=u1}{c=k}[0,1] a{href=u2}{c=k}[1,2] a{href=u1}{c=k}[2,3] "
            "a{href=u1}{c=k}[3,4] a{href=u1}{c=k}[4,5] a{id=i1}{href=i1}[5,6] "
            "a{c=u3}{href=u3}[6,7] a{c=k}[7,8] a{c=k}[8,9])");
  EXPECT_EQ(parsed->Messages(), "");
  std::vector<DocumentNode*> a;
  for (DocumentNode* n = doc.Root()->First(); n; n = n->Next()) a.push_back(n);
  ASSERT_EQ(a.size(), 9u);
  // Lists of values all met before are one array from their second
  // occurrence on.
  EXPECT_EQ(a[3]->GetAttributeValues(), a[2]->GetAttributeValues());
  EXPECT_EQ(a[4]->GetAttributeValues(), a[2]->GetAttributeValues());
  EXPECT_EQ(a[8]->GetAttributeValues(), a[7]->GetAttributeValues());
  EXPECT_NE(a[1]->GetAttributeValues(), a[2]->GetAttributeValues());
  EXPECT_EQ(doc.FindElementById("i1"), a[5]);
  // Each value is held by the document while it lives, and only then.
  HeldNames held{"u1", "u2", "u3", "k", "i1"};
  delete parsed;
  held.ReleaseExpectingNoOtherUse();
}

// Values met again and again that differ only inside (same length, same
// first, middle and last byte), in length or in case each keep their own
// text, in any order.
TEST(Instance, RepeatedValuesThatLookAlikeKeepTheirOwnTexts) {
  EngineScope scope;
  const char* values[] = {"abcde", "aXcde", "abcXe", "aXcXe", "abcd", "abcdee",
                          "ABCDE", "a",     "b",     "aa",    "ab"};
  std::string body;
  std::string expected;
  std::size_t at = 0;
  for (int round = 0; round < 4; ++round) {
    for (std::size_t i = 0; i < std::size(values); ++i) {
      const char* v = values[(i * (round + 1) + round) % std::size(values)];
      body += std::string("<e v='") + v + "'/>";
      if (at) expected += " ";
      expected += std::string("e{v=") + v + "}[" + std::to_string(at) + "," +
                  std::to_string(at + 1) + "]";
      ++at;
    }
  }
  ParsedText parsed("<?xml version='1.0'?><r>" + body + "</r>");
  EXPECT_EQ(Tree(*parsed.document), "r[0," + std::to_string(at) + "](" + expected + ")");
}

// Start tags find their element types by name however many types a
// document has and in whatever order they come, names that differ in one
// byte, a length or case among them (XML), also after an undeclared type
// is declared by its first start tag.
TEST(Instance, StartTagsFindTheirTypesAmongManyNames) {
  EngineScope scope;
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i) names.push_back("t" + std::to_string(i));
  for (const char* extra : {"a", "ab", "ba", "aab", "aba", "A", "Ab", "x.y", "x-y"}) {
    names.push_back(extra);
  }
  std::string dtd = "<!DOCTYPE r [<!ELEMENT r ANY>";
  for (const std::string& n : names) dtd += "<!ELEMENT " + n + " EMPTY>";
  dtd += "]>";
  std::string body;
  std::string expected;
  std::size_t at = 0;
  auto add = [&](const std::string& name) {
    body += "<" + name + "/>";
    if (at) expected += " ";
    expected += name + "[" + std::to_string(at) + "," + std::to_string(at + 1) + "]";
    ++at;
  };
  // Forwards, backwards and by a stride, so that every name meets others
  // before it is seen again.
  for (std::size_t i = 0; i < names.size(); ++i) add(names[i]);
  for (std::size_t i = names.size(); i-- > 0;) add(names[i]);
  for (std::size_t i = 0; i < names.size(); ++i) add(names[(i * 37) % names.size()]);
  add("new1");  // undeclared: declared by this tag
  add("a");
  add("new1");
  expected = "r[0," + std::to_string(at) + "](" + expected + ")";
  ParsedText parsed("<?xml version='1.0'?>" + dtd + "<r>" + body + "</r>");
  EXPECT_EQ(Tree(*parsed.document), expected);
  EXPECT_EQ(parsed.Messages(), "");
}

TEST(Instance, MarkedSectionsInContent) {
  EngineScope scope;
  ParsedText parsed(
      "<!DOCTYPE d [<!ELEMENT d - - ANY><!ENTITY % draft \"IGNORE\">]>"
      "<d>a<![ IGNORE [ x <![ INCLUDE [ y ]]> z ]]>b<![%draft;[q]]><![INCLUDE[<d>c</d>]]>"
      "<![RCDATA[&lt;]]><![ BOGUS [x]]></d>");
  EXPECT_EQ(DocumentText(*parsed.document), "abc&lt;");
  EXPECT_EQ(parsed.Messages(), "W3(lt) E32(BOGUS) ");
}

TEST(Instance, IncludedSectionsInContentNestBoundedly) {
  EngineScope scope;
  std::string source = "<!DOCTYPE d [<!ELEMENT d - - ANY>]><d>";
  for (int i = 0; i < 100000; ++i) source += "<![INCLUDE[";
  ParsedText parsed(source);
  EXPECT_EQ(parsed.Messages(), "E44() ");
}

TEST(Instance, ProcessingInstructionsAndResources) {
  EngineScope scope;
  ParsedText parsed(
      "<?STYLESPEC \"Print\" \"print.ssh\"><?NAVIGATOR 'Contents' 'toc.nav'>"
      "<?DOCTITLE \"D,T\"><?DOCTITLE \"X\">"
      "<!DOCTYPE d [<!ELEMENT d - - ANY><!ELEMENT t - - ANY>]><d><t>Title</t><?hello there>x</d>");
  ASSERT_FALSE(parsed.parser->Stopped()) << parsed.Messages();
  EXPECT_EQ(DocumentText(*parsed.document).substr(0, 17), "Titlehello therex");
  int count = 0;
  for (ListNode* n = parsed.document->Resources().First(); n; n = n->Next(), ++count) {
    EntityrcResource* r = ResourceOf(n);
    EXPECT_EQ(r->Kind(), count == 0 ? 0 : 1);
    EXPECT_STREQ(r->Title(), count == 0 ? "Print" : "Contents");
  }
  EXPECT_EQ(count, 2);
  EXPECT_STREQ(parsed.parser->DocTitle(), "D,T");
  EXPECT_STREQ(parsed.document->TitleExcerpt(), "Title");
  // The instance's instruction is in the text under a mark of kind 6, the
  // prolog's instructions are kept after the instance.
  Mark* mark = parsed.document->FirstMark();
  ASSERT_NE(mark, nullptr);
  EXPECT_EQ(mark->Kind(), kMarkProcessingInstruction);
  EXPECT_EQ(mark->Start(), 5u);
  EXPECT_EQ(mark->GetEnd(), 16u);
  ASSERT_NE(parsed.document->firstKeptMarkup, nullptr);
  EXPECT_EQ(parsed.document->firstKeptMarkup->Kind(), 7);
}

// Each link web is named once, whichever way it is written again.
TEST(Instance, DocwebNamesEachLinkWebOnce) {
  EngineScope scope;
  ParsedText parsed(
      "<?DOCWEB \"parts.web\"><?docweb 'parts.web'><?DOCWEB><?DOCWEB \"notes.web\">"
      "<!DOCTYPE d [<!ELEMENT d - - ANY>]><d><?DOCWEB \"late.web\"></d>");
  ASSERT_FALSE(parsed.parser->Stopped()) << parsed.Messages();
  std::vector<std::string> named;
  for (ListNode* n = parsed.document->WebReferences().First(); n; n = n->Next())
    named.push_back(static_cast<WebReference*>(n)->Id()->SystemId());
  EXPECT_EQ(named, (std::vector<std::string>{"parts.web", "notes.web", "late.web"}));
}

TEST(Instance, KeptPrologMarkupKeepsNonAsciiBytes) {
  EngineScope scope;
  ParsedText parsed("<?note caf\xC3\xA9\tx><!DOCTYPE d [<!ELEMENT d - - ANY>]><d>y</d>");
  EXPECT_EQ(DocumentText(*parsed.document), "ynote caf\xC3\xA9 x");
}

TEST(Instance, ErrorsStopTheParse) {
  EngineScope scope;
  struct {
    const char* source;
    const char* messages;
  } cases[] = {
      {"text<d>", "E8() "},
      {"<!DOCTYPE d [<!ELEMENT d - - ANY>]><!DOCTYPE e><d>", "E2() "},
      {"<!DOCTYPE d [<!ELEMENT d - - ANY>]><d>x</d junk>", "E28() "},
      {"<!DOCTYPE d [<!ELEMENT d - - ANY>]><d a=x !>", "W15(A) E27() "},
      {"<!DOCTYPE d [<!ELEMENT d - - ANY>]><d>unclosed", "E51() "},
      // The values read before the error give back what they hold.
      {"<!DOCTYPE d [<!ELEMENT d - - ANY>]><d a=x 1>", "W15(A) W15(1) E47() "},
      {"<!SGMX x><d>", "E35() "},
      {"<! x><d>", "E48() "},
  };
  for (const auto& c : cases) {
    ParsedText parsed(c.source);
    EXPECT_EQ(parsed.Messages(), c.messages) << c.source;
    EXPECT_TRUE(parsed.parser->Stopped()) << c.source;
  }
}

TEST(Instance, OmittedEndTagsMayBeMissingAtTheEnd) {
  EngineScope scope;
  ParsedText parsed(WithDtd("<d>x<e>y"));
  EXPECT_EQ(parsed.Messages(), "E51() ");
  ParsedText omissible(
      "<!DOCTYPE d [<!ELEMENT d - O ANY><!ELEMENT e - O ANY>]><d>x<e>y");
  EXPECT_EQ(omissible.Messages(), "");
  EXPECT_EQ(Tree(*omissible.document), "D[0,2](E[1,2])");
}

TEST(Instance, DataEntitiesBecomeNodesAndMarks) {
  EngineScope scope;
  ParsedText parsed(
      "<!DOCTYPE d [<!ELEMENT d - - ANY><!NOTATION gif SYSTEM \"gif\">"
      "<!ENTITY pic SYSTEM \"pic.gif\" NDATA gif>]><d>a&pic;b</d>");
  EXPECT_EQ(Tree(*parsed.document), "D[0,3](#GIF[1,2])");
  Mark* mark = parsed.document->FirstMark();
  ASSERT_NE(mark, nullptr);
  EXPECT_EQ(mark->Kind(), kMarkEntityRef);
  EXPECT_EQ(mark->Start(), 1u);
}

// A document element without a document type declaration is looked up in
// a file of its name beside the document; a broken one stops the parse.
TEST(Instance, UndeclaredDocumentElementReadsAFileOfItsName) {
  EngineScope scope;
  auto dir = std::filesystem::temp_directory_path() / "qs-instance-doctype";
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "MANUAL") << "<!ELEMENT manual - - (#PCDATA)>";
  std::ofstream(dir / "BROKEN") << "<!ELEMENT broken - - BOGUS>";
  std::ofstream(dir / "m.sgm") << "<manual>text</manual>";
  std::ofstream(dir / "b.sgm") << "<broken>text</broken>";
  std::ofstream(dir / "n.sgm") << "<nofile>text</nofile>";
  struct {
    const char* file;
    const char* messages;
    bool stopped;
  } cases[] = {
      {"m.sgm", "", false},
      {"b.sgm", "E1(BROKEN) ", true},
      {"n.sgm", "W16(NOFILE) ", false},
  };
  for (const auto& c : cases) {
    RecordingParser parser;
    std::string path = (dir / c.file).string();
    auto* id = new ExternalId(nullptr, nullptr, nullptr, path.c_str(), nullptr,
                              ExternalId::kGeneralEntity);
    parser.ParseSource(id, false);
    id->Release();
    EXPECT_EQ(Describe(parser.messages), c.messages) << c.file;
    EXPECT_EQ(parser.Stopped(), c.stopped) << c.file;
    if (!c.stopped) EXPECT_EQ(DocumentText(*parser.GetDocument()), "text") << c.file;
    // After error 1 nothing of the instance is read.
    if (c.stopped) EXPECT_EQ(parser.GetDocument()->Root(), nullptr);
  }
  std::filesystem::remove_all(dir);
}

TEST(Instance, NidrefStopsIdReferenceCollection) {
  EngineScope scope;
  ParsedText parsed(
      "<?NIDREF * *><!DOCTYPE d [<!ELEMENT d - - ANY><!ATTLIST d id ID #IMPLIED "
      "ref IDREF #IMPLIED>]><d id=a ref=a></d>");
  ASSERT_NE(parsed.document->Root(), nullptr);
  EXPECT_FALSE(parsed.document->Root()->flags & kNodeLinkTarget);
}

// SDATA texts through the engine's table: each looked up once per parse,
// so a text without a replacement is reported once however often it is used.
TEST(Instance, SdataTextsAreLookedUpOncePerParse) {
  EngineScope scope;
  scope.engine().sdata.Set(new SdataTable(ShippedSdata().c_str()));
  ASSERT_TRUE(scope.engine().sdata->IsLoaded());
  const char kDoc[] =
      "<!DOCTYPE d [<!ELEMENT d - - (#PCDATA)><!ENTITY m SDATA \"[mdash ]\">"
      "<!ENTITY q SDATA \"[qqq ]\">]><d>a&m;b&q;&q;&m;</d>";
  for (int parse = 0; parse < 2; ++parse) {
    ParsedText parsed(kDoc);
    EXPECT_EQ(DocumentText(*parsed.document), "a\xE2\x80\x94" "b[qqq ][qqq ]\xE2\x80\x94");
    EXPECT_EQ(parsed.Messages(), "W5([qqq ]) ");
  }
  // Without a table every text stands for itself, reported once.
  scope.engine().sdata.Reset();
  ParsedText bare(kDoc);
  EXPECT_EQ(DocumentText(*bare.document), "a[mdash ]b[qqq ][qqq ][mdash ]");
  EXPECT_EQ(bare.Messages(), "W5([mdash ]) W5([qqq ]) ");
}

}  // namespace
}  // namespace qs::test
