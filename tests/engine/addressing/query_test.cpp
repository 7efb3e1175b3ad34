#include "addressing/query.h"

#include <gtest/gtest.h>

#include <string>

#include "../sgml/instance_support.h"
#include "query_support.h"
#include "sgml/text_store.h"

namespace qs {
namespace {

using test::CountingEngine;
using test::ParsedText;
using test::Ranges;

const char kSgml[] =
    "<!DOCTYPE DOC [<!ELEMENT DOC - - (PARA)*>"
    "<!ELEMENT PARA - - (#PCDATA|E)*><!ATTLIST PARA X CDATA #IMPLIED>"
    "<!ELEMENT E - - (#PCDATA)>]>"
    "<DOC><PARA X=1>fuel pump</PARA><PARA>pump<E>ump</E></PARA></DOC>";

std::string Tree(Document* doc, const char* text, int flags = 0) {
  Query q(doc, QuerySettings::FromFlags(flags));
  q.Parse(text, (flags & kQueryLiteral) != 0);
  char buffer[512];
  return q.Dump(buffer, sizeof buffer);
}

TEST(QueryParse, TreesAsDumped) {
  CountingEngine engine;
  ParsedText sgml(kSgml);
  std::string run(9, 'w');  // words of nine: nine of them and their blanks make 89
  std::string words;
  for (int i = 0; i < 12; ++i) words += (i ? " " : "") + run;
  std::string kept;
  for (int i = 0; i < 9; ++i) kept += (i ? " " : "") + run;
  struct {
    std::string query;
    std::string tree;
  } cases[] = {
      {"a and b or c", "and(\"a\", or(\"b\", \"c\"))"},
      {"a or b and c", "or(\"a\", and(\"b\", \"c\"))"},
      {"a in b and c", "in(\"a\", and(\"b\", \"c\"))"},
      {"(a or b) cont c", "cont((or(\"a\", \"b\")), \"c\")"},
      {"Fuel  pump", "\"Fuel pump\""},
      {"fuel\"pump\"", "\"fuelpump\""},
      {"x IN y", "in(\"x\", \"y\")"},
      {"x In y", "in(\"x\", \"y\")"},
      {"x \"in\" y", "\"x in y\""},
      {"'a b' AND c", "and(\"a b\", \"c\")"},
      {"<para>", "<PARA>"},
      {"<*>", "<*>"},
      {"<\"*\" id=*>", "<* id=*>"},
      {"<para x=1>", "<PARA x=1>"},
      {"<(p.*) (x.*)=(1.*)>", "<(p.*) (x.*)=(1.*)>"},
      {"<para a=1 b=(x|y)>", "<PARA b=(x|y) a=1>"},
      {"pump ignored)", "\"pump ignored\""},
      {"pump) rest", "\"pump\""},  // what follows a whole expression is ignored
      {words, "\"" + kept + "\""},
      {std::string(120, 'q') + " short", "\"\""},  // a first word that cannot fit
      {"\"\"", "\"\""},
  };
  for (const auto& c : cases) EXPECT_EQ(Tree(sgml.document, c.query.c_str()), c.tree) << c.query;
  EXPECT_TRUE(engine.codes.empty());
}

TEST(QueryParse, PatternsOnlyInPatternMode) {
  CountingEngine engine;
  ParsedText sgml(kSgml);
  EXPECT_EQ(Tree(sgml.document, "colou?r", kQueryPatterns), "/colou?r/");
  EXPECT_EQ(Tree(sgml.document, "colou?r"), "\"colou?r\"");
  EXPECT_EQ(Tree(sgml.document, "^ab", kQueryPatterns), "/^ab/");
  EXPECT_EQ(Tree(sgml.document, "plain", kQueryPatterns), "\"plain\"");
  EXPECT_EQ(Tree(sgml.document, "a and b", kQueryLiteral), "\"a and b\"");
  EXPECT_EQ(Tree(sgml.document, "(fuel", kQueryLiteral), "\"(fuel\"");
  EXPECT_TRUE(engine.codes.empty());
}

TEST(QueryParse, SyntaxErrors) {
  struct {
    const char* query;
    int reports;
  } cases[] = {
      {"(fuel", 1}, {"<para x>", 1}, {"<para =a>", 0}, {"and", 1},  {"a or", 1},
      {"<para", 0}, {"<(p.*>", 1},   {"<(>", 1},        {"a in (b", 1},
  };
  for (const auto& c : cases) {
    CountingEngine engine;
    ParsedText sgml(kSgml);
    EXPECT_EQ(Tree(sgml.document, c.query), "(none)") << c.query;
    EXPECT_EQ(engine.codes, std::vector<int>(static_cast<std::size_t>(c.reports), 27)) << c.query;
  }
}

// Operators and parentheses nest 256 levels deep at most: a deeper query is
// one syntax error, not a stack overflow.
TEST(QueryParse, NestingIsBounded) {
  struct {
    std::string query;
    bool parses;
  } cases[] = {
      {std::string(255, '(') + "a" + std::string(255, ')'), true},
      {std::string(256, '(') + "a" + std::string(256, ')'), false},
      {std::string(100000, '(') + "a", false},
  };
  std::string chain;
  for (int i = 0; i < 255; ++i) chain += "a or ";
  for (const auto& c : cases) {
    CountingEngine engine;
    ParsedText sgml(kSgml);
    EXPECT_EQ(Tree(sgml.document, c.query.c_str()) != "(none)", c.parses) << c.query.size();
    EXPECT_EQ(engine.codes.size(), c.parses ? 0u : 1u);
  }
  CountingEngine engine;
  ParsedText sgml(kSgml);
  RangeList list;
  EXPECT_EQ(RunQuery((chain + "pump").c_str(), sgml.document, nullptr, list, 0), 2);
  EXPECT_EQ(RunQuery((chain + "a or pump").c_str(), sgml.document, nullptr, list, 0), 2);
  EXPECT_EQ(engine.codes, std::vector<int>{27});
}

// A word or quoted string longer than the token text is cut on a
// character boundary.
TEST(QueryParse, LongWordsAreCutOnCharacters) {
  CountingEngine engine;
  ParsedText sgml(kSgml);
  std::string word = "a";
  for (int i = 0; i < 300; ++i) word += "\xC3\xA9";  // 601 bytes
  Query q(sgml.document, QuerySettings{});
  q.Parse((word + " in <x>").c_str(), false);
  char buffer[1024];
  // Too long for a search text: the run finds nothing, but parses.
  EXPECT_EQ(std::string(q.Dump(buffer, sizeof buffer)), "in(\"\", <X>)");
}

std::string Hits(Document* doc, const char* query, int flags = 0) {
  RangeList list;
  int n = RunQuery(query, doc, nullptr, list, flags);
  EXPECT_EQ(static_cast<std::size_t>(n), list.Count());
  return Ranges(list);
}

TEST(QueryRun, OperatorsOverElementsAndText) {
  CountingEngine engine;
  ParsedText sgml(kSgml);
  ASSERT_EQ(sgml.Messages(), "");
  Document* doc = sgml.document;
  struct {
    const char* query;
    int flags;
    const char* hits;
  } cases[] = {
      {"pump", 0, "(5,9) (9,13)"},
      {"pump in <para>", 0, "(5,9) (9,13)"},
      {"pump in <para x=1>", 0, "(5,9)"},
      {"ump in <e>", 0, "(13,16)"},
      {"<para> cont pump", 0, "<PARA>(0,9) <PARA>(9,16)"},
      {"<para> cont fuel", 0, "<PARA>(0,9)"},
      {"<para> and <para x=1>", 0, "<PARA>(0,9)"},
      {"<*>", 0, "<DOC>(0,16) <PARA>(0,9) <PARA>(9,16) <E>(13,16)"},
      {"<* x=*>", 0, "<PARA>(0,9)"},
      {"<(p.*)>", 0, "<PARA>(0,9) <PARA>(9,16)"},
      {"<(.) (x)=(1)>", 0, ""},
      {"<(pa.*) (.*)=(.*)>", 0, "<PARA>(0,9)"},
      {"<para x=(2|1)>", 0, "<PARA>(0,9)"},
      {"<e> in <para x=1>", 0, ""},
      {"\"fuel pump\" or \"el p\"", 0, "(0,9)"},
      {"fuel or ump", 0, "(0,4) (6,9) (10,13) (13,16)"},
      {"ump or fuel", 0, "(0,4) (6,9) (10,13) (13,16)"},
      {"(fuel or pump) in <para x=1>", 0, "(0,4) (5,9)"},
      {"ump", 0x20, "(13,16)"},
      {"pum", 0x40, ""},
      {"fuel", 0x60, "(0,4)"},
      {"FUEL", 0, "(0,4)"},
      {"FUEL", 1, ""},
      {"fuel", 1, "(0,4)"},
      {"pu.p", 2, "(5,9) (9,13)"},
      {"PU.P", 2, "(5,9) (9,13)"},
      {"PU.P", 3, ""},
      {"pu.p", 3, "(5,9) (9,13)"},
      {"pum+", 2, "(5,8) (9,12)"},  // never across a tag
      {"u\\a+", 0x22, "(13,16)"},  // a gap starts a word
      {"p\\a+", 0x22, "(5,9) (9,13)"},
      {"ump", 0x22 | 0x08, "(13,16)"},
  };
  for (const auto& c : cases) EXPECT_EQ(Hits(doc, c.query, c.flags), c.hits) << c.query << " " << c.flags;
  EXPECT_TRUE(engine.codes.empty());
}

// Elements that share their span nest by ancestry; hits out of order (an
// "or" of a later word first) are merged into order before they are
// filtered.
TEST(QueryRun, NestingAndOrderInTheFilters) {
  CountingEngine engine;
  ParsedText sgml(
      "<!DOCTYPE D [<!ELEMENT D - - (S|P)*><!ELEMENT S - - (S|P)*>"
      "<!ELEMENT P - - (#PCDATA)>]><D><S><S><P>ab cd</P></S></S><P>cd ab</P><S><P>ef</P></S></D>");
  ASSERT_EQ(sgml.Messages(), "");
  struct {
    const char* query;
    const char* hits;
  } cases[] = {
      {"<s> in <s>", "<S>(0,5)"},
      {"<s> cont <s>", "<S>(0,5)"},
      {"<s> cont <p>", "<S>(0,5) <S>(0,5) <S>(10,12)"},
      {"<p> in <s>", "<P>(0,5) <P>(10,12)"},
      {"<s> and <s>", "<S>(0,5) <S>(0,5) <S>(10,12)"},
      {"(ab or cd) in <s>", "(0,2) (3,5)"},
      {"(cd or ab) in <d>", "(0,2) (3,5) (5,7) (8,10)"},
      {"<p> cont (cd or ab)", "<P>(0,5) <P>(5,10)"},
      {"<p> and (<p> cont ef)", "<P>(10,12)"},
      {"ab and (ab in <s>)", "(0,2)"},
  };
  for (const auto& c : cases) EXPECT_EQ(Hits(sgml.document, c.query), c.hits) << c.query;
  EXPECT_TRUE(engine.codes.empty());
}

TEST(QueryRun, FlagsThatStopOrChangeTheParse) {
  CountingEngine engine;
  ParsedText sgml(kSgml);
  // Pattern mode refuses text beyond 7 bits before parsing: no report.
  EXPECT_EQ(Hits(sgml.document, "(\xC3\xA9", 2), "");
  EXPECT_TRUE(engine.codes.empty());
  EXPECT_EQ(Hits(sgml.document, "fuel or", 0), "");
  EXPECT_EQ(engine.codes, std::vector<int>{27});
  engine.codes.clear();
  ParsedText literal("<!DOCTYPE D [<!ELEMENT D - - (#PCDATA)>]><D>a and b or (c</D>");
  EXPECT_EQ(Hits(literal.document, "a and b", 8), "(0,7)");
  EXPECT_EQ(Hits(literal.document, "b or (c", 8), "(6,13)");
  EXPECT_EQ(Hits(literal.document, "", 8), "");
  EXPECT_TRUE(engine.codes.empty());
}

// Blanks of every kind, characters beyond U+FFFF and case through the
// Unicode pages.
TEST(QueryRun, CharactersOfTheText) {
  CountingEngine engine;
  ParsedText xml("<?xml version=\"1.0\"?><d>a&#160;b x&#x1D11E;y \xC3\xA9t\xC3\xA9 caf\xC3\xA9</d>");
  ASSERT_EQ(xml.Messages(), "");
  Document* doc = xml.document;
  EXPECT_EQ(Hits(doc, "\"a b\""), "(0,4)");
  EXPECT_EQ(Hits(doc, "\"a\xC2\xA0" "b\""), "(0,4)");
  EXPECT_EQ(Hits(doc, "x\xF0\x9D\x84\x9E"), "(5,10)");
  EXPECT_EQ(Hits(doc, "\xF0\x9D\x84\x9Ey"), "(6,11)");
  EXPECT_EQ(Hits(doc, "\xC3\x89T\xC3\x89"), "(12,17)");  // ÉTÉ finds été
  EXPECT_EQ(Hits(doc, "\xC3\x89T\xC3\x89", 1), "");
  EXPECT_EQ(Hits(doc, "CAF\xC3\x89"), "(18,23)");
  EXPECT_EQ(Hits(doc, "\"\""), "");  // an empty quoted string finds nothing
  EXPECT_TRUE(engine.codes.empty());
}

TEST(QueryRun, CountIncludesEntriesAlreadyThere) {
  CountingEngine engine;
  ParsedText sgml(kSgml);
  RangeList list;
  list.Append(100, 200);
  list.Append(0, 16);
  EXPECT_EQ(RunQuery("pump", sgml.document, nullptr, list, 0), 4);
  // An "and" that filters its own hits leaves the caller's entries alone.
  EXPECT_EQ(RunQuery("pump and fuel", sgml.document, nullptr, list, 0), 4);
  EXPECT_EQ(RunQuery("<para> cont <e>", sgml.document, nullptr, list, 0), 5);
  EXPECT_EQ(Ranges(list), "(100,200) (0,16) (5,9) (9,13) <PARA>(9,16)");
  EXPECT_EQ(RunQuery("", sgml.document, nullptr, list, 0), 5);
}

TEST(QueryRun, StartElementBoundsTheSearch) {
  CountingEngine engine;
  ParsedText sgml(kSgml);
  DocumentNode* second = sgml.document->Root()->Last();
  RangeList list;
  EXPECT_EQ(RunQuery("pump", sgml.document, second, list, 0), 1);
  EXPECT_EQ(Ranges(list), "(9,13)");
}

// A tag separates words: a whole-word hit never runs from one cell on into
// the next, where it would swallow the start of the word that cell holds.
TEST(QueryRun, WordHitsStopAtTagsBetweenWords) {
  CountingEngine engine;
  ParsedText xml("<?xml version=\"1.0\"?><t><c>1</c><c n=\"2\">11</c><c>ab</c><c>c d</c></t>");
  ASSERT_EQ(xml.Messages(), "");
  struct {
    const char* query;
    int flags;
    const char* hits;
  } cases[] = {
      {"\"11\" in <c n=2>", 0x20, "(1,3)"},
      {"\"11\"", 0x20, "(1,3)"},
      {"\"11\"", 0x60, "(1,3)"},
      {"\"abc\"", 0x20, ""},
      {"\"abc\"", 0, "(3,6)"},  // anywhere: text runs on across tags
      {"\"bc\"", 0x40, ""},
      {"\"b\"", 0x40, "(4,5)"},
      {"\"ab c\"", 0x20, ""},
      {"\"c d\"", 0x20, "(5,8)"},
  };
  for (const auto& c : cases) EXPECT_EQ(Hits(xml.document, c.query, c.flags), c.hits) << c.query << " " << c.flags;
  EXPECT_TRUE(engine.codes.empty());
}

// Pattern search reads at most 16,384 bytes of a gap, into a buffer that
// holds them and the NUL.
TEST(QueryRun, PatternSearchOfALongGap) {
  CountingEngine engine;
  std::string text(20000, 'x');
  text[100] = 'q';
  text[16390] = 'q';
  text[16383] = 'q';
  ParsedText xml("<?xml version=\"1.0\"?><d>" + text + "</d>");
  EXPECT_EQ(Hits(xml.document, "q+", 2), "(100,101) (16383,16384)");
  EXPECT_EQ(Hits(xml.document, "q", 0), "(100,101) (16383,16384) (16390,16391)");
}

// No hit may end after the end of the range searched, whatever the length
// of its characters in bytes.
TEST(FindTextSimple, HitsEndWithinTheRange) {
  CountingEngine engine;
  ParsedText xml("<?xml version=\"1.0\"?><d>\xC3\xA9\xC3\xA9\xC3\xA9 abcabc</d>");
  CachedStream& stream = xml.document->Text()->Stream();
  struct {
    const char* text;
    std::uint32_t from, to;
    const char* hits;
  } cases[] = {
      {"\xC3\xA9", 0, 3, "(0,2)"},
      {"\xC3\xA9", 0, 4, "(0,2) (2,4)"},
      {"\xC3\xA9\xC3\xA9", 2, 5, ""},
      {"bc", 7, 12, "(8,10)"},
      {"bc", 7, 13, "(8,10) (11,13)"},
      {"abc", 13, 7, ""},
      {"", 0, 13, ""},
  };
  for (const auto& c : cases) {
    RangeList list;
    int n = FindTextSimple(c.text, stream, list, c.from, c.to, true);
    EXPECT_EQ(Ranges(list), c.hits) << c.text << " " << c.to;
    EXPECT_EQ(static_cast<std::size_t>(n), list.Count());
  }
}

}  // namespace
}  // namespace qs
