// The searches' platform-free part: the queries both dialogs send (and how
// the engine's query parser reads them), the histories, the hit count and
// the overview's size.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../engine/addressing/query_support.h"
#include "../engine/sgml/instance_support.h"
#include "addressing/query.h"
#include "search_text.h"

namespace qs::viewer {
namespace {

// The tree the engine's parser makes of a query, "(none)" after an error,
// and the errors it reported.
struct Parsed {
  std::string tree;
  std::vector<int> errors;
};
Parsed ParseQuery(const SearchQuery& query) {
  if (query.text.empty()) return {"(none)", {}};  // nothing is sent
  test::CountingEngine engine;
  test::ParsedText sgml("<!DOCTYPE D [<!ELEMENT D - - (#PCDATA)>]><D>x</D>");
  Query q(sgml.document, QuerySettings::FromFlags(static_cast<int>(query.flags)));
  q.Parse(query.text.c_str(), (query.flags & kSearchLiteral) != 0);
  char buffer[2048];
  return {q.Dump(buffer, sizeof buffer), engine.codes};
}

TEST(StringQuery, TextAndFlagsForEachSetting) {
  const std::uint32_t kCasePattern = kSearchCaseSensitive | kSearchPatterns;
  struct Case {
    const char* text;
    std::uint32_t flags;  // case, pattern and match bits as the dialog set them
    bool markup;
    int searchIn;
    const char* query;
    std::uint32_t sent;
    const char* tree;
  } cases[] = {
      {"valve", 0, false, 6, "\"valve\" in <TABLE TYPE = \"PARTS\">", 0,
       "in(\"valve\", <TABLE TYPE=PARTS>)"},
      {"valve", 0, false, 0, "valve", kSearchLiteral, "\"valve\""},
      {"a \"b\" c", 0, false, 5, "\"a\" '\"b\"' \"c\" in <NOTE>", 0, "in(\"a \"b\" c\", <NOTE>)"},
      {"it's \"x'", 0, false, 5, "\"it's\" '\"x'\"'\" in <NOTE>", 0, "in(\"it's \"x'\", <NOTE>)"},
      {"Bolt and nut", 0x60, false, 1, "\"Bolt\" \"and\" \"nut\" in <CAP>", 0x60,
       "in(\"Bolt and nut\", <CAP>)"},
      {"(a or <b", kCasePattern, false, 7, "\"(a\" \"or\" \"<b\" in <TABLE>", kCasePattern,
       "in(\"(a or <b\", <TABLE>)"},
      {"  spaced \t out  ", 0x20, false, 2, "\"spaced\" \"out\" in <TTL>", 0x20,
       "in(\"spaced out\", <TTL>)"},
      {"a and b", 0x40, false, 0, "a and b", 0x40 | kSearchLiteral, "\"a and b\""},
      {"<NOTE> cont pump", 0, true, 6, "<NOTE> cont pump", 0, "cont(<NOTE>, \"pump\")"},
      {"valve", 0x20, true, 0, "valve", 0x20, "\"valve\""},
      {"   ", 0, false, 3, "", 0, "(none)"},  // no word: nothing to search
      {"", 0, true, 0, "", 0, "(none)"},
  };
  for (const Case& c : cases) {
    SearchQuery q = BuildStringQuery(c.text, c.flags | kSearchLiteral, c.markup, c.searchIn);
    EXPECT_EQ(q.text, c.query) << c.text;
    EXPECT_EQ(q.flags, c.sent) << c.text;
    Parsed parsed = ParseQuery(q);
    EXPECT_EQ(parsed.tree, c.tree) << q.text;
    EXPECT_TRUE(parsed.errors.empty()) << q.text;
  }
}

TEST(PartsQuery, TextAndFlagsForEachSetting) {
  struct Case {
    const char* text;
    int mode;
    int column;
    const char* query;
    std::uint32_t flags;
    const char* tree;
  } cases[] = {
      {"1234", 1, 2, "\"1234\" in <ENTRY TYPE = \"PNO\">", 0x20, "in(\"1234\", <ENTRY TYPE=PNO>)"},
      {"Bolt and nut", 3, 3, "\"Bolt\" \"and\" \"nut\" in <ENTRY TYPE = \"PNM\">", 0x60,
       "in(\"Bolt and nut\", <ENTRY TYPE=PNM>)"},
      {"12 in <X>", 0, 0, "\"12\" \"in\" \"<X>\" in <TABLE TYPE = \"PARTS\">", 0,
       "in(\"12 in <X>\", <TABLE TYPE=PARTS>)"},
      {"A-7", 2, 1, "\"A-7\" in <ENTRY TYPE = \"RNO\">", 0x40, "in(\"A-7\", <ENTRY TYPE=RNO>)"},
      {"5\"", 0, 3, "'5\"' in <ENTRY TYPE = \"PNM\">", 0, "in(\"5\"\", <ENTRY TYPE=PNM>)"},
  };
  for (const Case& c : cases) {
    SearchQuery q = BuildPartsQuery(c.text, c.mode, c.column);
    EXPECT_EQ(q.text, c.query) << c.text;
    EXPECT_EQ(q.flags, c.flags) << c.text;
    Parsed parsed = ParseQuery(q);
    EXPECT_EQ(parsed.tree, c.tree) << q.text;
    EXPECT_TRUE(parsed.errors.empty()) << q.text;
  }
}

// The dialogs read 255 characters; with the longest scope the query is
// longer than the 256 and 260 bytes a fixed buffer would have held.
TEST(StringQuery, LongestTextKeepsItsScope) {
  std::string text(255, 'w');
  SearchQuery q = BuildStringQuery(text, 0, false, 6);
  EXPECT_EQ(q.text, "\"" + text + "\" in <TABLE TYPE = \"PARTS\">");
  std::string words;
  for (int i = 0; i < 128; ++i) words += i ? " x" : "x";  // 255 characters
  q = BuildStringQuery(words, 0, false, 6);
  EXPECT_EQ(q.text.size(), 128 * 4 - 1 + std::string(kSearchInSuffixes[6]).size());
  EXPECT_TRUE(ParseQuery(q).errors.empty());
  SearchQuery parts = BuildPartsQuery(words, 0, 0);
  EXPECT_EQ(parts.text.substr(parts.text.size() - 25), "in <TABLE TYPE = \"PARTS\">");
  EXPECT_TRUE(ParseQuery(parts).errors.empty());
}

TEST(SearchNames, FoundWithCaseIgnored) {
  EXPECT_EQ(FindSearchName(kSearchInNames, kSearchInCount, "parts list"), 6);
  EXPECT_EQ(FindSearchName(kSearchInNames, kSearchInCount, "ENTIRE DOCUMENT"), 0);
  EXPECT_EQ(FindSearchName(kSearchInNames, kSearchInCount, "Parts"), -1);
  EXPECT_EQ(FindSearchName(kPartsColumnNames, kPartsColumnCount, "parts no."), 2);
  EXPECT_EQ(FindSearchName(kMatchModeNames, kMatchModeCount, "word"), 3);
  EXPECT_EQ(FindSearchName(kMatchModeNames, kMatchModeCount, ""), -1);
}

TEST(SearchHistory, SixteenKeptRepeatMovesFirst) {
  SearchHistory history;
  for (int i = 1; i <= 16; ++i) history.Add("t" + std::to_string(i));
  ASSERT_EQ(history.Entries().size(), 16u);
  EXPECT_EQ(history.Entries().front(), "t16");
  EXPECT_EQ(history.Entries().back(), "t1");
  history.Add("t5");  // a repeat moves first, nothing drops
  ASSERT_EQ(history.Entries().size(), 16u);
  EXPECT_EQ(history.Entries()[0], "t5");
  EXPECT_EQ(history.Entries()[1], "t16");
  EXPECT_EQ(history.Entries().back(), "t1");
  history.Add("t17");  // the 17th drops the oldest
  ASSERT_EQ(history.Entries().size(), 16u);
  EXPECT_EQ(history.Entries()[0], "t17");
  EXPECT_EQ(history.Entries().back(), "t2");
  history.Add("T17");  // case counts
  EXPECT_EQ(history.Entries()[0], "T17");
  EXPECT_EQ(history.Entries()[1], "t17");
}

TEST(SearchHistory, LoadKeepsNumberZeroFirstAndSkipsEmptyValues) {
  SearchHistory history;
  history.Load({"zero", "", "two", "zero"});
  EXPECT_EQ(history.Entries(), (std::vector<std::string>{"zero", "two"}));
}

TEST(SearchPrefill, FirstLineOfTheSelection) {
  struct {
    const char* selection;
    const char* text;
  } cases[] = {{"valve", "valve"},        {"\r\n\r\nFuel pump\r\nnext", "Fuel pump"},
               {"one\ntwo", "one"},      {"\r\n", ""},
               {"", ""},                  {"  spaced  \r\n", "  spaced  "}};
  for (auto& c : cases) EXPECT_EQ(PrefillText(c.selection), c.text) << c.selection;
}

TEST(HitCount, Texts) {
  struct {
    int hits;
    const char* text;
  } cases[] = {{0, ""}, {-3, ""}, {1, "1 hit"}, {2, "2 hits"}, {12, "12 hits"}};
  for (auto& c : cases) EXPECT_EQ(HitCountText(c.hits), c.text) << c.hits;
}

TEST(Overview, LongerSideIs192) {
  OverviewSize previous{77, 55};
  struct {
    std::int32_t a, b;
    int width, height;
  } cases[] = {
      {100, 400, 192, 48},  // 400 wide, 100 high
      {400, 100, 48, 192},
      {300, 300, 192, 192},
      {0, 400, 77, 55},     // a zero size keeps the previous overview
      {400, 0, 77, 55},
      {-5, 10, 77, 55},
      {2147483647, 1, 0, 192},
      {1, 2147483647, 192, 0},
  };
  for (auto& c : cases) {
    OverviewSize s = OverviewSizeFor(c.a, c.b, previous);
    EXPECT_EQ(s.width, c.width) << c.a << "x" << c.b;
    EXPECT_EQ(s.height, c.height) << c.a << "x" << c.b;
  }
}

}  // namespace
}  // namespace qs::viewer
