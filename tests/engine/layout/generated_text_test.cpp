#include <gtest/gtest.h>

#include <string>

#include "foundation/names.h"
#include "layout/counters.h"
#include "layout/generated_text.h"
#include "layout/print_state.h"
#include "style/style_rules.h"
#include "text_runs_support.h"

namespace qs {
namespace {

using test::TextScene;

// A line of generated text as a style holds it.
struct Line {
  explicit Line(const std::string& text) : line(g_nameTable->Intern(text.c_str())) {}
  TextLine line;
};

std::string Words(ListHead& boxes) {
  std::string out;
  for (auto* b = static_cast<DisplayBox*>(boxes.First()); b; b = b->GetNext()) {
    if (auto* w = dynamic_cast<WordBox*>(b))
      out += std::string(dynamic_cast<LinkWordBox*>(b) ? "link" : "word") + "[" + w->Text() + "]";
    else if (dynamic_cast<TabBox*>(b))
      out += "tab";
    else if (dynamic_cast<IconBox*>(b))
      out += "icon";
    else if (auto* p = dynamic_cast<PageNumberBox*>(b)) {
      char text[128];
      p->FormatText(text);
      out += std::string("page[") + text + "]";
    } else
      out += "box";
    out += " ";
  }
  return out;
}

std::string Copy(LayoutItem* item, std::size_t room = 64) {
  char out[256];
  std::memset(out, '#', sizeof out);
  const std::int32_t n = item->CopyText(0, 0, out, room);
  EXPECT_LE(static_cast<std::size_t>(n), room);
  return std::string(out, static_cast<std::size_t>(n));
}

TEST(GeneratedText, WordsTabsFieldsAndCopies) {
  TextScene s("<doc><p TYPE=x>t</p></doc>");
  DocumentNode* p = s.root->First();
  s.Engine().iconHalfHeight[12] = 10;
  s.Engine().iconHalfWidth[12] = 7;
  s.Engine().iconEighthHeight[12] = 1;
  GetPrintState().currentPageNumber = 7;
  GetPrintState().pageCount = 1;
  const struct {
    const char* text;
    std::string boxes;
    std::string copy;
  } cases[] = {
      {"a \\32;b", "word[a ] word[ ] word[b] ", "a  b"},
      {"x\\t;y", "word[x] tab word[y] ", "x\ty"},
      {"x \\t;y", "word[x ] tab word[y] ", "x \ty"},
      {"\\ifatt(NOPE)gone\\endif", "box ", "\\ifatt(NOPE)gone\\endif"},
      {"see \\icon(nosuch)", "word[see ] icon ", "see  "},
      {"a b\\27;Nx", "word[a ] word[b] ", "a b"},
      {"\\pageno(3)", "page[007] ", "001"},
      {"\\pageno", "page[7] ", "1"},
      {"\\pagecount(roman-up)", "page[I] ", "I"},
      {"\\27;X field \\27;", "word[ field ] ", " field "},
      // A forged width character outside '0'..'I' counts as 0.
      {"\\27;NN\\127;\\27;", "page[7] ", "1"},
  };
  for (const auto& c : cases) {
    Line line(c.text);
    auto* item = new (s.pool) StyleTextItem(0, &line.line, s.format, p);
    s.items.Append(item);
    s.boxes.DeleteAll();
    item->MakeBoxes(s.boxes);
    EXPECT_EQ(Words(s.boxes), c.boxes) << c.text;
    EXPECT_EQ(Copy(item), c.copy) << c.text;
    EXPECT_EQ(item->GetTextLength(0, 0), static_cast<std::int32_t>(c.copy.size())) << c.text;
  }
  s.boxes.DeleteAll();
  // Unknown icons take icon 12's metrics.
  Line icon("\\icon(nosuch)");
  auto* iconItem = new (s.pool) StyleTextItem(0, &icon.line, s.format, p);
  s.items.Append(iconItem);
  iconItem->MakeBoxes(s.boxes);
  auto* box = static_cast<DisplayBox*>(s.boxes.First());
  EXPECT_EQ(box->GetAscent(), 9);
  EXPECT_EQ(box->GetDescent(), 1);
  EXPECT_EQ(box->GetWidth(), 7);
  GetPrintState() = PrintState();
}

TEST(GeneratedText, HostTextLinksAndPrintRuns) {
  TextScene s("<doc><p>t</p></doc>");
  DocumentNode* p = s.root->First();
  Line gen("\\gen(part)");
  auto* item = new (s.pool) StyleTextItem(0, &gen.line, s.format, p);
  s.items.Append(item);
  s.view->answers = {"x\x1by z"};
  item->MakeBoxes(s.boxes);
  EXPECT_EQ(Words(s.boxes), "word[x\x1by ] word[z] ");
  ASSERT_FALSE(s.view->asked.empty());
  EXPECT_EQ(s.view->asked[0], "part");
  // A second, longer answer is copied only within the room given.
  s.view->answers = {"short", std::string(200, 'L')};
  EXPECT_EQ(item->GetTextLength(0, 0), 5);
  EXPECT_EQ(Copy(item, 5), "LLLLL");
  s.view->answers.clear();
  EXPECT_EQ(item->GetTextLength(0, 0), 0);

  // Message 8 with the box's element inverts the line's whole height.
  s.boxes.DeleteAll();
  Line word("go");
  auto* link = new (s.pool) LinkItem(0, &word.line, s.format, p);
  s.items.Append(link);
  link->MakeBoxes(s.boxes);
  auto* box = static_cast<DisplayBox*>(s.boxes.First());
  ASSERT_NE(dynamic_cast<LinkWordBox*>(box), nullptr);
  EXPECT_EQ(box->GetPointerKind(), 1);
  s.device.log.clear();
  box->HandleMessage(5, 30, 14, 6, 8, reinterpret_cast<std::intptr_t>(p));
  box->HandleMessage(5, 30, 14, 6, 8, reinterpret_cast<std::intptr_t>(s.root));
  box->HandleMessage(5, 30, 14, 6, 7, reinterpret_cast<std::intptr_t>(p));
  EXPECT_EQ(s.device.log, "INVERT 5 16 17 36\n");

  // A template with the page count asks for a counting pass in every print
  // run, not only in the first.
  Line count("of \\pagecount pages");
  Line plain("page \\pageno");
  for (int run = 0; run < 3; ++run) {
    GetPrintState().formattingForPrint = true;
    GetPrintState().pageCountNeeded = false;
    s.items.Append(new (s.pool) StyleTextItem(0, &plain.line, s.format, p));
    EXPECT_FALSE(GetPrintState().pageCountNeeded) << run;
    s.items.Append(new (s.pool) StyleTextItem(0, &count.line, s.format, p));
    EXPECT_TRUE(GetPrintState().pageCountNeeded) << run;
  }
  EXPECT_EQ(count.line.pageCountScan, 1);
  EXPECT_EQ(plain.line.pageCountScan, 2);
  GetPrintState() = PrintState();
}

TEST(PageNumbers, Styles) {
  TextScene s("<doc>t</doc>");
  auto* item = new (s.pool) LayoutItem(0, s.format);
  s.items.Append(item);
  const struct {
    std::int32_t number;
    std::uint8_t style;
    const char* text;
  } cases[] = {{7, 3, "007"},      {7, 0, "7"},      {7, 1, "7"},        {4, 253, "IV"},
               {4, 252, "iv"},     {28, 255, "AB"},  {28, 254, "ab"},    {1234, 2, "1234"},
               {5, 12, "000000000005"}, {5, 25, "0000000000000000000000005"},
               {8192, 253, "8192"}, {9000, 255, "9000"}};
  for (const auto& c : cases) {
    PageNumberBox box(item, c.style, c.number);
    char text[128];
    EXPECT_EQ(box.FormatText(text), static_cast<int>(std::strlen(c.text)));
    EXPECT_STREQ(text, c.text) << c.number << " " << int(c.style);
    EXPECT_EQ(box.GetWidth(), 6 * static_cast<int>(std::strlen(c.text)));
  }
}

TEST(Counters, LabelsAndDeepLists) {
  TextScene s("<doc>t</doc>");
  const struct {
    std::uint16_t value;
    const char* label;
  } counters[] = {{3, "3. "}, {3 | (3 << 13), "III. "}, {3 | (2 << 13), "c. "}};
  for (const auto& c : counters) {
    auto* item = new (s.pool) CounterItem(0, c.value, s.format);
    s.items.Append(item);
    ListHead boxes;
    item->MakeBoxes(boxes);
    auto* box = static_cast<NumberBox*>(boxes.First());
    EXPECT_STREQ(box->Label(), c.label);
    EXPECT_EQ(box->GetWidth(), 6 * static_cast<int>(std::strlen(c.label)));
    EXPECT_EQ(item->GetTextLength(0, 100), 0);
    boxes.DeleteAll();
  }
  const std::uint16_t mixed[] = {1, 2 | (2 << 13), 3 | (3 << 13)};
  const struct {
    const std::uint16_t* levels;
    std::uint8_t count;
    const char* label;
  } lists[] = {{mixed, 3, "1.b.III. "}, {mixed, 0, " "}};
  for (const auto& l : lists) {
    auto* item = new (s.pool) ListNumberItem(s.pool, 0, l.levels, l.count, s.format);
    s.items.Append(item);
    char label[256];
    item->Label(label);
    EXPECT_STREQ(label, l.label);
  }
  // 255 levels of long roman numerals: cut before the level that does not fit.
  std::uint16_t deep[255];
  for (auto& v : deep) v = 3888 | (3 << 13);  // MMMDCCCLXXXVIII
  auto* item = new (s.pool) ListNumberItem(s.pool, 0, deep, 255, s.format);
  s.items.Append(item);
  char label[256];
  const int n = item->Label(label);
  EXPECT_LT(n, 256);
  EXPECT_EQ(static_cast<std::size_t>(n), std::strlen(label));
  EXPECT_EQ(label[n - 1], ' ');
  EXPECT_EQ(n, 16 * 15 + 1);  // fifteen levels of 15 letters and a stop
  ListHead boxes;
  item->MakeBoxes(boxes);
  boxes.DeleteAll();
}

}  // namespace
}  // namespace qs
