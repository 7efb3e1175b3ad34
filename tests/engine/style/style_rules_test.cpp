#include "style/style_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "doc_builder.h"
#include "error_recorder.h"
#include "foundation/memory.h"
#include "sgml/model_names.h"
#include "style/style_sheet.h"

namespace qs {
namespace {

std::string Label(std::uint16_t value) {
  char buffer[256];
  char* end = FormatNumber(value, buffer);
  EXPECT_EQ(end, buffer + std::strlen(buffer));
  return buffer;
}

TEST(StyleNumbers, Labels) {
  struct {
    int count, style;
    const char* label;
  } cases[] = {
      {28, 2, "ab"},  {1994, 3, "MCMXCIV"}, {27, 1, "AA"}, {53, 1, "BA"},    {1, 1, "A"},
      {26, 1, "Z"},   {52, 1, "AZ"},        {4, 4, "iv"},  {3999, 3, "MMMCMXCIX"},
      {0, 1, "0"},    {0, 3, "0"},          {4000, 3, "4000"}, {8191, 4, "8191"},
      {12, 0, "12"},  {0, 0, "0"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Label(static_cast<std::uint16_t>(c.count | (c.style << 13))), c.label)
        << c.count << " " << c.style;
}

// MISC styles ask the host for the label in the radix it chooses.
TEST(StyleNumbers, MiscAsksTheHost) {
  test::ErrorRecorder host;
  std::intptr_t asked = 0;
  host.onEvent = [&](int event, std::intptr_t a, std::intptr_t b) -> std::intptr_t {
    if (event != 44) return 0;
    asked = a;
    std::strcpy(reinterpret_cast<char*>(b), "0x1f");
    return 1;
  };
  EXPECT_EQ(Label(static_cast<std::uint16_t>(31 | (6 << 13))), "0x1f");
  EXPECT_EQ(asked, 31 + (std::intptr_t{2} << 28));
  host.onEvent = nullptr;  // unanswered: decimal
  EXPECT_EQ(Label(static_cast<std::uint16_t>(31 | (5 << 13))), "31");
}

TEST(StyleRules, TagListsAndLookupOrder) {
  StyleRule rule("CHAPTER,SECTION,TITLE", 0);
  EXPECT_STREQ(rule.Tag(), "TITLE");
  EXPECT_STREQ(rule.Context(), "SECTION,CHAPTER");
  char* joined = JoinTagList(rule.Tag(), rule.Context());
  EXPECT_STREQ(joined, "CHAPTER,SECTION,TITLE");
  MemFree(joined);

  test::DocBuilder b;
  b.Build("<BOOK><SECTION><TITLE>a</TITLE><TITLE>b</TITLE><TITLE>c</TITLE><NOTE>n</NOTE>"
          "</SECTION><CHAPTER><SECTION><TITLE>d</TITLE></SECTION></CHAPTER></BOOK>");
  DocumentNode* section = b.Doc()->Root()->First();
  DocumentNode* t1 = section->First();
  DocumentNode* t2 = t1->Next();
  DocumentNode* t3 = t2->Next();
  DocumentNode* note = t3->Next();
  DocumentNode* deep = section->Next()->First()->First();
  // Occurrence table: three TITLEs in a run and a NOTE alone.
  const char* expected[7] = {"1111", "1001", "0100", "0011", "0110", "1011", "1100"};
  for (int occur = 0; occur <= 6; ++occur) {
    StyleRule r("TITLE", static_cast<std::uint8_t>(occur));
    StyleRule n("NOTE", static_cast<std::uint8_t>(occur));
    std::string got;
    for (DocumentNode* e : {t1, t2, t3}) got += r.MatchesOccurrence(e) ? '1' : '0';
    got += n.MatchesOccurrence(note) ? '1' : '0';
    EXPECT_EQ(got, expected[occur]) << "occurrence " << occur;
  }

  StyleSheet sheet(static_cast<ExternalId*>(nullptr));
  StyleRule* plain = sheet.AddRule(new StyleRule("TITLE", 0));
  StyleRule* first = sheet.AddRule(new StyleRule("TITLE", kOccurFirst));
  StyleRule* nonLast = sheet.AddRule(new StyleRule("TITLE", kOccurNonLast));
  StyleRule* inSection = sheet.AddRule(new StyleRule("SECTION,TITLE", 0));
  StyleRule* inChapter = sheet.AddRule(new StyleRule("CHAPTER,SECTION,TITLE", 0));
  // Longer contexts first, then descending occurrence.
  std::string order;
  for (StyleRule* r = sheet.FindTag("TITLE")->First(); r; r = StyleTagEntry::Next(r))
    order += std::string(r->Context() ? r->Context() : "-") + "/" + std::to_string(r->Occurrence()) + " ";
  EXPECT_EQ(order, "SECTION,CHAPTER/0 SECTION/0 -/6 -/1 -/0 ");
  EXPECT_EQ(sheet.FindElementRule(deep), inChapter);
  EXPECT_EQ(sheet.FindElementRule(t1), inSection);
  sheet.FindTag("TITLE");
  // A duplicate gives back the first.
  EXPECT_EQ(sheet.AddRule(new StyleRule("TITLE", kOccurFirst)), first);
  EXPECT_EQ(sheet.FindRuleByTag("TITLE", kOccurNonLast), nonLast);
  EXPECT_EQ(sheet.FindRuleByTag("SECTION,TITLE", 0), inSection);
  EXPECT_EQ(sheet.FindRuleByTag("TITLE", 0), plain);
  EXPECT_EQ(sheet.FindRuleByTag("TITLE", kOccurLast), nullptr);
  // Attribute rules count their context from the bearer.
  test::DocBuilder parts;
  parts.Build("<LIST><PART REF=x>p</PART></LIST>");
  StyleRule* ref = sheet.AddRule(new StyleRule("PART,#REF", 0));
  EXPECT_EQ(sheet.FindRule(parts.Doc()->Root()->First(), "REF"), ref);
  EXPECT_EQ(sheet.FindRule(parts.Doc()->Root(), "REF"), nullptr);
}

TEST(StyleRules, Merging) {
  StyleRule rule("P", 0);
  rule.fontSize = 12;
  rule.SetFontColor("red");
  rule.layout = static_cast<std::uint8_t>((rule.layout & ~StyleProps::kOffsetMask) | 9);
  rule.fontByte = 0;  // a rule read from a file: no breaks
  QualStyle empty("x", nullptr);
  ElementStyle computed;
  computed.MergeFrom(rule);
  computed.MergeFrom(empty);  // sets nothing
  EXPECT_EQ(computed.fontSize, 12);
  EXPECT_STREQ(NameText(computed.fontColor), "red");
  EXPECT_EQ(computed.layout & StyleProps::kOffsetMask, 9);
  EXPECT_EQ(computed.fontByte & (StyleProps::kBreakBefore | StyleProps::kBreakAfter), 0);
  QualStyle bold("y", nullptr);
  bold.fontByte |= StyleProps::kWeightBold | StyleProps::kChangeBar;
  bold.EnsureAfter()->SetText("End");
  computed.MergeFrom(bold);
  EXPECT_EQ(computed.fontByte & StyleProps::kWeightMask, StyleProps::kWeightBold);
  EXPECT_TRUE(computed.fontByte & StyleProps::kChangeBar);
  ASSERT_NE(computed.after, nullptr);
  char* text = computed.after->GetText();
  EXPECT_STREQ(text, "End");
  MemFree(text);
  // A block of only a LINE is not empty; the A- setters drop an emptied one.
  TextBlockStyle line;
  line.linkByte = 0x30;
  EXPECT_FALSE(line.IsEmpty());
  computed.SetBlockNumber(0, 9, ElementStyle::kSize);
  ASSERT_NE(computed.before, nullptr);
  computed.SetBlockNumber(0, 0, ElementStyle::kSize);
  EXPECT_EQ(computed.before, nullptr);
}

TEST(StyleRules, GeneratedTextLines) {
  struct {
    const char* text;
    int lines;
    const char* back;
  } cases[] = {
      {"Note\\n;Caution", 2, "Note\\n;Caution"},
      {"\\next", 1, "\\next"},
      {"a\\\\nb", 1, "a\\\\nb"},
      {"\\n;x", 2, "\\n;x"},
      {"x\\n", 2, "x\\n;"},
      {"", 0, nullptr},
  };
  for (const auto& c : cases) {
    TextBlockStyle block;
    block.SetText(c.text);
    int lines = 0;
    for (TextLine* l = block.FirstLine(); l; l = static_cast<TextLine*>(l->Next())) ++lines;
    EXPECT_EQ(lines, c.lines) << c.text;
    char* back = block.GetText();
    if (c.back) EXPECT_STREQ(back, c.back) << c.text;
    else EXPECT_EQ(back, nullptr);
    MemFree(back);
  }
}

}  // namespace
}  // namespace qs

#include "style/navigator.h"

namespace qs {
namespace {

TEST(Navigators, EntriesAndTitles) {
  test::DocBuilder b;
  b.Declare("SECTION", "TYPE", kDeclaredCdata, kDefaultImplied);
  b.Build("<DOC><SECTION><TITLE>a</TITLE></SECTION><SECTION><P>x</P></SECTION>"
          "<CHAP><HEAD><P>y</P></HEAD><HEAD><TITLE>b</TITLE></HEAD></CHAP>"
          "<SECTION TYPE=skip><TITLE>c</TITLE></SECTION><APP>z</APP></DOC>");
  DocumentNode* s1 = b.Doc()->Root()->First();
  DocumentNode* s2 = s1->Next();
  DocumentNode* chap = s2->Next();
  DocumentNode* s3 = chap->Next();
  DocumentNode* app = s3->Next();
  NavigatorDef nav(static_cast<ExternalId*>(nullptr));
  EXPECT_EQ(nav.AddEntry("SECTION", "NOT [TYPE] = skip", "TITLE", 0), 1);
  EXPECT_EQ(nav.AddEntry("SECTION", "NOT [TYPE] = skip", " TITLE ", 1), 0);  // LOCATE replaced
  EXPECT_EQ(nav.AddEntry("CHAP", nullptr, "HEAD,TITLE", 0), 1);
  EXPECT_EQ(nav.AddEntry("APP", nullptr, nullptr, 0), 1);
  EXPECT_EQ(nav.AddEntry("APP", nullptr, "  ", 0), 0);  // blank is no title: the same
  std::uint8_t flags = 0xFF;
  Document* d = b.Doc();
  EXPECT_EQ(nav.MatchEntry(nav.FindEntry(s1), d, s1, &flags, nullptr), s1->First());
  EXPECT_EQ(flags, 4);
  EXPECT_EQ(nav.MatchEntry(nav.FindEntry(s2), d, s2, &flags, nullptr), nullptr);  // no TITLE
  EXPECT_EQ(flags, 0);
  // The path follows the first HEAD only.
  EXPECT_EQ(nav.MatchEntry(nav.FindEntry(chap), d, chap, &flags, nullptr), nullptr);
  EXPECT_EQ(nav.MatchEntry(nav.FindEntry(s3), d, s3, &flags, nullptr), nullptr);  // qualified out
  EXPECT_EQ(nav.MatchEntry(nav.FindEntry(app), d, app, &flags, nullptr), app);
  EXPECT_EQ(nav.FindEntry(b.Doc()->Root()), nullptr);
  nav.SetScale(-1, 40000, 12);
  EXPECT_EQ(nav.scale, 0);
  EXPECT_EQ(nav.min, 32767);
  EXPECT_EQ(nav.max, 12);
}

}  // namespace
}  // namespace qs
