#include "sheet_text.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace qs::viewer {
namespace {

// Every cell of the record is reached by exactly one property, and the
// groups cover the list in order.
TEST(SheetText, PropertiesCoverTheRecordAndTheGroupsTheList) {
  std::set<int> cells;
  for (int p = 0; p < kSheetProperties; ++p) {
    const SheetProperty& property = PropertyAt(p);
    EXPECT_TRUE(cells.insert(property.row * kSheetColumns + property.column).second) << property.name;
  }
  EXPECT_EQ(cells.size(), 53u);
  const std::vector<PropertyGroup>& groups = PropertyGroups();
  ASSERT_EQ(groups.size(), 7u);
  int next = 0;
  for (std::size_t g = 0; g + 1 < groups.size(); ++g) {
    EXPECT_EQ(groups[g].first, next) << groups[g].name;
    next += groups[g].count;
  }
  EXPECT_EQ(next, kSheetProperties);
  EXPECT_STREQ(groups[2].name, "Before");
  EXPECT_EQ(groups[2].count, 11);
  for (int p = groups[2].first; p < groups[2].first + groups[2].count; ++p)
    EXPECT_EQ(PropertyAt(p).row, 0) << PropertyAt(p).name;
  EXPECT_STREQ(PropertyAt(groups[2].first).name, "Text Before");
  EXPECT_STREQ(PropertyAt(39).name, "Rule After");
  EXPECT_STREQ(groups[6].name, "All");
  EXPECT_EQ(groups[6].count, 53);
}

// Popup ids never give 0 (a cancelled menu), and map back.
TEST(SheetText, MenuIdsStartAtOneAndMapBack) {
  EXPECT_EQ(ChoiceMenuId(0, 0), 1);
  EXPECT_EQ(ChoiceMenuId(9, 0), 451);
  for (int p = 0; p < kSheetProperties; ++p) {
    const int choices = static_cast<int>(ValuesOf(PropertyAt(p).column).choices.size());
    EXPECT_LT(choices, kMenuIdsPerProperty);
    for (int i = 0; i < choices; ++i) {
      int property = -1, choice = -1;
      ASSERT_TRUE(SplitChoiceMenuId(ChoiceMenuId(p, i), &property, &choice));
      EXPECT_EQ(property, p);
      EXPECT_EQ(choice, i);
    }
  }
  int property = 0, choice = 0;
  EXPECT_FALSE(SplitChoiceMenuId(0, &property, &choice));
  EXPECT_FALSE(SplitChoiceMenuId(ChoiceMenuId(3, 3), &property, &choice));  // Font Weight has 3
  EXPECT_FALSE(SplitChoiceMenuId(ChoiceMenuId(kSheetProperties, 0), &property, &choice));
}

TEST(SheetText, CellsShowTheirLabels) {
  struct {
    int column;
    const char* cell;
    const char* label;
    bool bold;
  } cases[] = {
      {9, nullptr, "Inherit", false},
      {9, "", "Inherit", false},
      {9, "Bold", "Bold", true},
      {9, "bold", "Bold", true},
      {9, "Heavy", "<unknown>", true},
      {5, nullptr, "Block", false},
      {5, "Inline", "Inline", true},
      {3, nullptr, "Baseline", false},
      {3, "-3", "-30%", true},
      {3, "7", "70%", true},
      {25, nullptr, "No", false},
      {25, "Yes", "Yes", true},
      {16, "ALPHA-UP", "A, B, C", true},
      {16, "alpha-lw", "a, b, c", true},
      {16, "ROMAN-UP", "I, II, III", true},
      {16, "ROMAN-LW", "i, ii, iii", true},
      {15, "HZero", "Hierarchical Begin", true},
      {23, "TBL-CALS", "CALS Table", true},
      {26, "HEAD-1", "1st Header", true},
      {1, "BOARDNO", "BOARDNO", true},
      {18, "+=5", "+=5", true},
      {17, nullptr, "0", false},
      {27, nullptr, "No", false},
      {6, "Times New Roman", "Times New Roman", true},
  };
  for (const auto& c : cases) {
    bool bold = !c.bold;
    EXPECT_EQ(CellLabel(c.column, c.cell, &bold), c.label) << c.column << " " << (c.cell ? c.cell : "(none)");
    EXPECT_EQ(bold, c.bold) << c.column;
  }
}

TEST(SheetText, ContextsGrowOutwardAndShortenToTheParents) {
  EXPECT_EQ(TagContexts({"E", "P", "G"}), (std::vector<std::string>{"E", "P,E", "G,P,E"}));
  EXPECT_EQ(TagContexts({"GRAPHIC", "FIGURE"}, "BMP"),
            (std::vector<std::string>{"#BMP", "GRAPHIC,#BMP", "FIGURE,GRAPHIC,#BMP"}));
  EXPECT_EQ(TagContexts({"#PI"}, "BMP"), (std::vector<std::string>{"#PI"}));
  EXPECT_TRUE(TagContexts({}).empty());

  int selected = 2;
  std::vector<std::string> parents = ParentContexts({"E", "P,E", "G,P,E"}, &selected);
  EXPECT_EQ(parents, (std::vector<std::string>{"P", "G,P"}));
  EXPECT_EQ(selected, 1);
  parents = ParentContexts(parents, &selected);
  EXPECT_EQ(parents, (std::vector<std::string>{"G"}));
  EXPECT_EQ(selected, 0);
  parents = ParentContexts(parents, &selected);
  EXPECT_TRUE(parents.empty());
  EXPECT_EQ(selected, 0);
}

TEST(SheetText, RulesReadAsTheReaderPicksThem) {
  EXPECT_EQ(RuleListText("A:SECTION,TTL"), "SECTION,TTL");
  EXPECT_EQ(RuleListText("F:PARA"), "First PARA");
  EXPECT_EQ(RuleListText("l:PARA"), "Non-Last PARA");
  EXPECT_EQ(RuleListText("PARA"), "PARA");
  struct {
    const char* text;
    const char* context;
    int occurrence;
  } cases[] = {{"SECTION,TTL", "SECTION,TTL", 0}, {"First PARA", "PARA", 1},
               {"Non-Middle A,B", "A,B", 5}, {"Firstly", "Firstly", 0}};
  for (const auto& c : cases) {
    std::string context;
    int occurrence = -1;
    SplitRuleText(c.text, &context, &occurrence);
    EXPECT_EQ(context, c.context);
    EXPECT_EQ(occurrence, c.occurrence) << c.text;
  }
}

TEST(SheetText, NumberPromptsTakeDigitsAndASignWhereSigned) {
  struct {
    const char* text;
    bool isSigned;
    bool valid;
  } cases[] = {
      {"12", false, true},   {" 12 ", false, true}, {"", false, true},    {"  ", false, true},
      {"+5", false, false},  {"12a", false, false}, {"5px", true, false}, {"+=5", true, true},
      {"-3", true, true},    {"-=4", true, true},   {"+4", true, true},   {"=4", true, false},
      {"+", true, false},    {"--4", true, false},  {"4 4", false, false}, {"1.5", true, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsNumberPromptText(c.text, c.isSigned), c.valid) << '"' << c.text << '"';
}

TEST(SheetText, ColoursReadFromHexOrNameElseBlack) {
  struct {
    const char* text;
    int r, g, b;
  } cases[] = {
      {"NAVY", 0, 0, 128},       {"navy", 0, 0, 128},     {"Dark Gray", 64, 64, 64},
      {"dark grey", 64, 64, 64}, {"#ff8000", 255, 128, 0}, {"#FF8000", 255, 128, 0},
      {"#ff80", 0, 0, 0},        {"#ff80zz", 0, 0, 0},     {"chartreuse", 0, 0, 0},
      {nullptr, 0, 0, 0},        {"GREEN", 0, 128, 0},     {"LIGHTGRAY", 192, 192, 192},
  };
  for (const auto& c : cases) {
    std::uint8_t rgb[3] = {1, 1, 1};
    ColourOfText(c.text, rgb);
    EXPECT_EQ(rgb[0], c.r) << (c.text ? c.text : "(none)");
    EXPECT_EQ(rgb[1], c.g) << (c.text ? c.text : "(none)");
    EXPECT_EQ(rgb[2], c.b) << (c.text ? c.text : "(none)");
  }
  EXPECT_EQ(ColourText(0, 0, 128), "#000080");
}

TEST(SheetText, ShadowOffsetsBetweenTextAndEntries) {
  struct {
    const char* text;
    int h, v;
  } cases[] = {{"0 0", 7, 7},   {"2 -3", 9, 4},   {"+7 -7", 14, 0}, {"9 -12", 14, 0},
               {"3", 7, 7},     {"", 7, 7},       {nullptr, 7, 7},  {"a b", 7, 7},
               {"  1   1 ", 8, 8}};
  for (const auto& c : cases) {
    int h = -1, v = -1;
    ShadowEntries(c.text, &h, &v);
    EXPECT_EQ(h, c.h) << (c.text ? c.text : "(none)");
    EXPECT_EQ(v, c.v) << (c.text ? c.text : "(none)");
  }
  EXPECT_EQ(ShadowText(9, 4), "2 -3");
  EXPECT_EQ(ShadowEntryLabel(0), "-7");
  EXPECT_EQ(ShadowEntryLabel(7), "None");
  EXPECT_EQ(ShadowEntryLabel(14), "+7");
}

}  // namespace
}  // namespace qs::viewer
