#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "layout/display_box.h"
#include "layout/layout_item.h"
#include "layout/paragraph_box.h"
#include "style/style_rules.h"
#include "style/text_format.h"
#include "test_device.h"

namespace qs {
namespace {

using test::BoxSpec;
using test::SpecItems;

TEST(LayoutItems, TextCopiesAndMetricsInDeviceUnits) {
  Pool pool;
  StyleProps style;
  style.spaceLeft = StyleProps::MakeLength(10, StyleProps::kAbsolute);
  style.spaceIndent = StyleProps::MakeLength(4, StyleProps::kAbsolute);
  style.leading = 3;
  style.layout = StyleProps::kOffsetUnset + 2;  // 2 points at 10 pt
  auto* format = new TextFormat(&style, nullptr);
  ListHead items;
  auto* plain = new (pool) LayoutItem(5, format);
  auto* brk = new (pool) BreakItem(6, format, 12);
  items.Append(plain);
  items.Append(brk);
  format->Release();  // the items hold it now
  EXPECT_EQ(format->UseCount(), 2);

  char out[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(plain->GetTextLength(0, 10), 0);
  EXPECT_EQ(plain->CopyText(0, 10, out, 4), 0);
  EXPECT_EQ(brk->GetTextLength(0, 10), 2);
  EXPECT_EQ(brk->CopyText(0, 10, out, 4), 2);
  EXPECT_EQ(std::string(out, 3), "\r\nx");
  EXPECT_EQ(brk->CopyText(0, 10, out + 2, 1), 1);  // never past the room
  EXPECT_EQ(std::string(out, 4), "\r\n\rx");

  struct {
    int dpi, left, first, leading, space;
  } devices[] = {{72, 10, 4, 3, 12}, {96, 13, 5, 4, 16}, {600, 83, 33, 25, 100}};
  for (const auto& d : devices) {
    test::TestDevice device(d.dpi);
    DeviceScope scope(&device);
    EXPECT_EQ(plain->LeftIndent(), d.left) << d.dpi;
    EXPECT_EQ(brk->GetWidth(), d.first) << d.dpi;
    EXPECT_EQ(plain->Leading(), d.leading) << d.dpi;
    EXPECT_EQ(brk->GetSpaceAbove(), d.space) << d.dpi;
    EXPECT_EQ(plain->BaselineOffset(), 2) << d.dpi;  // never scaled
  }
  // Without a device, 72 dpi.
  EXPECT_EQ(plain->LeftIndent(), 10);
  EXPECT_TRUE(brk->BreaksBefore());
  EXPECT_TRUE(brk->SkipForPosition());
  // The format goes with the last item that uses it.
  format->AddRef();
  items.DeleteAll();
  EXPECT_EQ(format->UseCount(), 1);
  format->Release();
}

TEST(DisplayBoxes, PressedBoxQueriesAndColours) {
  SpecItems items({{.width = 10}, {.width = 0, .length = 0}, {.width = 5, .length = 3}});
  ListHead boxes;
  for (auto* i = items.First(); i; i = static_cast<test::SpecItem*>(i->NextItem()))
    i->MakeBoxes(boxes);
  auto* first = static_cast<DisplayBox*>(boxes.First());
  auto* empty = first->GetNext();
  auto* last = empty->GetNext();

  // Kind 1 passes over boxes without text even inside the range.
  struct Collect : BoxQuery {
    using BoxQuery::BoxQuery;
    std::intptr_t Found(int, std::int32_t start, std::int32_t, int x, int top, int w, int h) override {
      seen += std::to_string(start) + "@" + std::to_string(x) + "," + std::to_string(top) + " " +
              std::to_string(w) + "x" + std::to_string(h) + ";";
      return 0;
    }
    std::string seen;
  };
  Collect inRange(1, 0, 4, nullptr), all(0, 0, 0, nullptr), none(7, 0, 100, nullptr);
  for (auto* b = first; b; b = b->GetNext()) {
    b->Visit(inRange, 0, 20);
    b->Visit(all, 0, 20);
    b->Visit(none, 0, 20);
  }
  EXPECT_EQ(inRange.seen, "0@0,12 10x10;1@0,12 5x10;");
  EXPECT_EQ(all.seen, "0@0,12 10x10;1@0,12 0x10;1@0,12 5x10;");
  EXPECT_EQ(none.seen, "");
  EXPECT_EQ(last->GetEnd(), 4);

  SetPressedBox(empty);
  boxes.Unlink(first);
  delete first;  // another box: unchanged
  EXPECT_EQ(PressedBox(), empty);
  boxes.Unlink(empty);
  delete empty;
  EXPECT_EQ(PressedBox(), nullptr);

  test::TestDevice device;
  device.SetColor(device.GetStockColor(1));
  device.SetColor(device.GetStockColor(1));
  EXPECT_EQ(device.colorSelects, 1);
  DeviceColor* ink = device.GetInkColor();
  EXPECT_EQ(ink->Rgb(), 0x000000u);
  device.inverse = 1;
  EXPECT_EQ(device.GetInkColor()->Rgb(), 0xFFFFFFu);
  EXPECT_EQ(device.GetStockColor(2), ink);  // made once
  EXPECT_EQ(device.GetStockColor(3), nullptr);
}

std::string Lines(ParagraphBox& p) {
  std::string out;
  for (ViewLine* l = p.GetFirstLine(); l; l = l->GetNextLine()) {
    if (!out.empty()) out += "|";
    for (DisplayBox* b = l->GetFirstBox(); b; b = b->GetNext()) {
      if (b != l->GetFirstBox()) out += " ";
      out += std::to_string(b->GetStart());
      if (b->GetWidth() != static_cast<test::SpecBox*>(b)->Spec()->spec.width)
        out += "/" + std::to_string(b->GetWidth());
    }
    out += " h" + std::to_string(l->GetHeight());
  }
  return out;
}

TEST(Paragraphs, BreakLines) {
  struct Case {
    const char* what;
    std::vector<BoxSpec> rows;
    int width;
    std::uint8_t flags;
    const char* lines;
    int widest, height;
  } cases[] = {
      {"60+40 on 100", {{.width = 60}, {.width = 40}}, 100, 0, "0 1 h10", 100, 10},
      {"61+40 on 100", {{.width = 61}, {.width = 40}}, 100, 0, "0 h10|1 h10", 61, 20},
      {"a wide first box is split", {{.width = 150}, {.width = 20}}, 100, 0, "0/100 h10|1 h10", 100, 20},
      {"a wide later box is split", {{.width = 50}, {.width = 150}}, 100, 0, "0 h10|1/100 h10", 100, 20},
      {"a run moves whole", {{.width = 50}, {.width = 30, .breakAfter = false}, {.width = 30}}, 100, 0,
       "0 h10|1 2 h10", 60, 20},
      {"an opening run stays whole",
       {{.width = 60, .breakAfter = false}, {.width = 60}, {.width = 10}}, 100, 0, "0 1 h10|2 h10", 120, 20},
      {"indents narrow the lines", {{.width = 40, .left = 20, .right = 30}, {.width = 20}}, 100, 0,
       "0 h10|1 h10", 90, 20},
      {"indents narrow the first box", {{.width = 60, .left = 20, .right = 30}}, 100, 0,
       "0/50 h10", 100, 10},
      {"no indents with flag 8", {{.width = 40, .left = 20, .right = 30}, {.width = 20}}, 100, 8,
       "0 1 h10", 60, 10},
      {"gaps of closed lines and space above per break",
       {{.width = 60, .leading = 2}, {.width = 60}, {.width = 10, .forced = true, .leading = 3, .spaceAbove = 5},
        {.width = 95}},
       100, 0, "0 h12|1 h12|2 h18|3 h10", 95, 52},
      {"no space above with 0x10",
       {{.width = 60, .leading = 2}, {.width = 60}, {.width = 10, .forced = true, .leading = 3, .spaceAbove = 5},
        {.width = 95}},
       100, 0x10, "0 h12|1 h12|2 h13|3 h10", 95, 47},
      {"negative leading", {{.width = 60, .leading = -2}, {.width = 60}}, 100, 0, "0 h8|1 h10", 60, 18},
      {"a forced break opens a line even with room", {{.width = 10}, {.width = 10, .forced = true}}, 100, 0,
       "0 h10|1 h10", 10, 20},
  };
  for (const Case& c : cases) {
    SpecItems items(c.rows);
    ParagraphBox p(items.First(), &items.list, c.width, c.flags);
    EXPECT_EQ(Lines(p), c.lines) << c.what;
    EXPECT_EQ(p.GetWidth(), c.widest) << c.what;
    EXPECT_EQ(p.GetAscent(), c.height) << c.what;
  }
}

TEST(Paragraphs, EmptyParagraph) {
  SpecItems items(std::vector<BoxSpec>{BoxSpec{}});
  ListHead nothing;
  ParagraphBox p(items.First(), &nothing, 100, 0);
  EXPECT_EQ(p.GetFirstLine(), nullptr);
  EXPECT_EQ(p.GetWidth(), 0);
  EXPECT_EQ(p.GetAscent(), 0);
  EXPECT_EQ(p.GetStart(), 0);
  EXPECT_EQ(p.GetLength(), 0);
  int x = 5, y = 5;
  EXPECT_EQ(p.ChildAt(3, 4, &x, &y), &p);
  EXPECT_EQ(p.PositionAt(3, 4), 0);
}

TEST(Paragraphs, LineKindsAndAlignment) {
  SpecItems items({{.width = 100, .justify = 0x10}, {.width = 70, .justify = 0x10, .length = 4}});
  for (std::uint8_t kind : {0, 1, 2, 4}) {
    ParagraphBox p(items.First(), &items.list, 100, kind);
    ViewLine* second = p.GetFirstLine()->GetNextLine();
    ASSERT_NE(second, nullptr);
    const int expected = kind == 1 ? 0 : kind == 4 ? 0x20 : 0x10;
    EXPECT_EQ(second->Alignment(), expected) << int(kind);
    // 30 units free: a centred line starts 15 in; PointOf agrees (the
    // position lies a quarter into the 70-wide box: 17 more).
    int x = 0, y = 0;
    p.PointOf(2, &x, &y);
    EXPECT_EQ(x, (expected == 0x10 ? 15 : expected == 0x20 ? 30 : 0) + 17) << int(kind);
    EXPECT_EQ(y, 10);
  }
  SpecItems odd({{.width = 100, .justify = 0x10}, {.width = 69, .justify = 0x10, .length = 4}});
  ParagraphBox p(odd.First(), &odd.list, 100, 0);
  int x = 0, y = 0;
  p.PointOf(2, &x, &y);
  EXPECT_EQ(x, 15 + 17);  // 31 free: still 15
  // The end of the first line is its own, not the second line's start.
  p.PointOf(1, &x, &y);
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 0);
  // A point on the second line finds its box and position back.
  int rx = 0, ry = 0;
  EXPECT_EQ(p.ChildAt(20, 12, &rx, &ry), p.GetLastLine()->GetFirstBox());
  EXPECT_EQ(rx, 5);
  EXPECT_EQ(p.PositionAt(20, 12), 1);
}

TEST(Paragraphs, RebreakingKeepsTheBoxes) {
  std::vector<BoxSpec> rows;
  for (int i = 0; i < 40; ++i) rows.push_back({.width = 10 + i % 7, .breakAfter = i % 3 != 0});
  SpecItems items(rows);
  ParagraphBox p(items.First(), &items.list, 80, 0);
  auto collect = [&p] {
    std::vector<DisplayBox*> boxes;
    for (ViewLine* l = p.GetFirstLine(); l; l = l->GetNextLine())
      for (DisplayBox* b = l->GetFirstBox(); b; b = b->GetNext()) boxes.push_back(b);
    return boxes;
  };
  const std::vector<DisplayBox*> before = collect();
  ASSERT_EQ(before.size(), 40u);
  const int lines80 = p.LineCount();
  p.SplitAt(200);
  EXPECT_EQ(collect(), before);
  EXPECT_LT(p.LineCount(), lines80);
  p.SplitAt(80);
  EXPECT_EQ(collect(), before);
  EXPECT_EQ(p.LineCount(), lines80);
}

TEST(Paragraphs, DrawsLinesInsideTheDrawingArea) {
  test::TestDevice device(72, 100, 15);
  DeviceScope scope(&device);
  SpecItems items({{.width = 60}, {.width = 60}, {.width = 60}});
  ParagraphBox p(items.First(), &items.list, 100, 0);
  p.Draw(5, 30);  // top 0: the second line ends below 15, the third is not drawn
  EXPECT_EQ(device.log, "BOX 0 5 8\nBOX 1 5 18\n");
  device.log.clear();
  p.Draw(200, 30);  // right of the area
  p.Draw(5, -1);    // above it
  EXPECT_EQ(device.log, "");
}

}  // namespace
}  // namespace qs
