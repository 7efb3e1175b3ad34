#include "view/view_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "layout/display_box.h"
#include "test_device.h"
#include "view/current_view.h"

namespace qs {
namespace {

using test::BoxSpec;
using test::SpecBox;
using test::SpecItems;

// The boxes of the items, for lines to take.
std::vector<SpecBox*> Boxes(SpecItems& items) {
  ListHead list;
  for (auto* i = items.First(); i; i = static_cast<test::SpecItem*>(i->NextItem())) i->MakeBoxes(list);
  std::vector<SpecBox*> out;
  while (auto* b = static_cast<SpecBox*>(list.PopFirst())) out.push_back(b);
  return out;
}

TEST(ViewLines, TabStopsEvery25Points) {
  struct {
    int dpi, firstWidth, gap;
  } cases[] = {{96, 10, 23}, {96, 0, 33}, {96, 33, 33}, {96, 40, 26}, {72, 25, 25}, {300, 1, 103}};
  for (const auto& c : cases) {
    test::TestDevice device(c.dpi);
    DeviceScope scope(&device);
    SpecItems items({{.width = c.firstWidth}, {.width = 0}});
    auto boxes = Boxes(items);
    ViewLine line(boxes[0], 1000);
    line.AddBox(boxes[1]);
    EXPECT_EQ(boxes[1]->tabGap, c.gap) << c.dpi << " " << c.firstWidth;
    EXPECT_EQ(boxes[0]->tabGap, -1);  // the first box gets none
  }
}

TEST(ViewLines, MeasuresWithBaselineOffsets) {
  SpecItems items({{.width = 10}, {.width = 10, .ascent = 6, .descent = 1, .offset = 4},
                   {.width = 10, .ascent = 12, .descent = 1, .offset = -2}});
  auto boxes = Boxes(items);
  ViewLine line(boxes[0], 100);
  line.AddBox(boxes[1]);  // lowered by 4: descent 5
  EXPECT_EQ(line.ascent, 8);
  EXPECT_EQ(line.descent, 5);
  line.AddBox(boxes[2]);  // raised by 2: ascent 14
  EXPECT_EQ(line.ascent, 14);
  EXPECT_EQ(line.used, 30);
  EXPECT_EQ(line.GetStart(), 0);
  EXPECT_EQ(line.GetEnd(), 3);
}

TEST(ViewLines, DrawsAlignedWithLineStylesAndChangeBar) {
  test::TestDevice device;
  DeviceScope scope(&device);
  SpecItems centred({{.width = 101, .justify = 0x10}});
  ViewLine c(Boxes(centred)[0], 1000);
  c.Draw(0, 0, 200);
  EXPECT_EQ(device.log, "BOX 0 49 8\n");

  device.log.clear();
  SpecItems items({{.width = 10, .lineStyle = 4}, {.width = 10, .lineStyle = 8, .changeBar = true},
                   {.width = 10, .lineStyle = 12}, {.width = 10, .ascent = 10, .descent = 4}});
  auto boxes = Boxes(items);
  ViewLine line(boxes[0], 100);
  for (std::size_t i = 1; i < boxes.size(); ++i) line.AddBox(boxes[i]);
  line.Draw(5, 100, 100);  // baseline 110
  EXPECT_EQ(device.log,
            "BOX 0 5 110\nLINE 5 103 15 103\n"   // over: 110 - (8 - 1)
            "BOX 1 15 110\nLINE 15 107 25 107\n" // through: 110 - (8 - 2) / 2
            "BOX 2 25 110\nLINE 25 111 35 111\n" // under: 110 + 2 / 2
            "BOX 3 35 110\n"
            "LINE 3 100 3 114\n");               // the change bar over the tallest box
  EXPECT_EQ(device.colorSelects, 1);             // in ink
}

TEST(ViewLines, MarksInvertOnlyOverlaps) {
  test::TestDevice device;
  DeviceScope scope(&device);
  SpecItems items({{.width = 10, .spaceAbove = 3}, {.width = 10}, {.width = 10}, {.width = 10}, {.width = 10}});
  auto boxes = Boxes(items);
  ViewLine line(boxes[0], 100);
  for (std::size_t i = 1; i < boxes.size(); ++i) line.AddBox(boxes[i]);
  RangeEntry later{6, 9, nullptr};
  RangeEntry second{3, 4, &later};
  RangeEntry first{1, 3, &second};
  EXPECT_EQ(line.DrawMarks(0, 50, 100, &first), &later);
  EXPECT_EQ(device.log, "INVERT 10 53 20 60\nINVERT 20 53 30 60\nINVERT 30 53 40 60\n");
  device.log.clear();
  RangeEntry before{0, 0, nullptr};
  EXPECT_EQ(line.DrawMarks(0, 50, 100, &before), nullptr);
  EXPECT_EQ(device.log, "");
}

TEST(ViewLines, BoxAtXAndVisit) {
  SpecItems items({{.width = 10}, {.width = 20, .ascent = 4}, {.width = 10}});
  auto boxes = Boxes(items);
  ViewLine line(boxes[0], 100);
  line.AddBox(boxes[1]);
  line.AddBox(boxes[2]);
  int x = 0, y = 0;
  EXPECT_EQ(line.BoxAtX(15, 5, 40, &x, &y, false), boxes[1]);
  EXPECT_EQ(x, 5);
  EXPECT_EQ(y, 1);  // 5 + 4 - 8
  EXPECT_EQ(line.BoxAtX(10, 0, 40, &x, &y, true), boxes[0]);  // an edge is the box's own
  EXPECT_EQ(line.BoxAtX(500, 0, 40, &x, &y, false), boxes[2]);  // past the end: the last
  EXPECT_EQ(x, 470);

  struct Third : BoxQuery {
    Third() : BoxQuery(1, 2, 3, nullptr) {}
    std::intptr_t Found(int, std::int32_t start, std::int32_t, int x, int top, int, int) override {
      return 1000 * start + 10 * x + top;
    }
  } query;
  EXPECT_EQ(line.Visit(query, 100, 0, 40), 2000 + 1300 + 0);
}

TEST(ViewLines, ParagraphLinesForAView) {
  SpecItems items({{.width = 60, .forced = true, .leading = -2, .spaceAbove = 4},
                   {.width = 60}, {.width = 60}, {.width = 10, .forced = true}, {.width = 10}});
  ListHead lines;
  LayoutItem* next = BuildParagraphLines(items.First(), 100, lines, true);
  EXPECT_EQ(next, items.First()->NextItem()->NextItem()->NextItem());
  std::vector<int> heights;
  for (auto* l = static_cast<ViewLine*>(lines.First()); l; l = l->GetNextLine()) heights.push_back(l->GetHeight());
  EXPECT_EQ(heights, (std::vector<int>{12, 8, 8}));  // -2 on every line, 4 above the first
  EXPECT_EQ(BuildParagraphLines(next, 100, lines, false), nullptr);
  EXPECT_EQ(static_cast<ViewLine*>(lines.First())->GetStart(), 3);  // put in front
  EXPECT_EQ(BuildParagraphLines(nullptr, 100, lines, true), nullptr);
}

TEST(CurrentView, BracketsNestAndOverflowSafely) {
  test::TestDevice a(96), b(300);
  EXPECT_EQ(CurrentDevice(), nullptr);
  EXPECT_EQ(ScaleByDpi(25), 25);  // 72 dpi without a device
  EXPECT_EQ(PointsToDeviceY(10), 10);
  auto* view = new test::TestView(&a);
  PushCurrentView(view, true);
  EXPECT_EQ(view->UseCount(), 2);
  EXPECT_EQ(CurrentDocumentView(), view);
  EXPECT_EQ(ScaleByDpi(25), 33);
  {
    DeviceScope printer(&b);
    EXPECT_EQ(ScaleByDpi(25), 104);
    EXPECT_EQ(CurrentView(), nullptr);
  }
  EXPECT_EQ(CurrentDevice(), &a);
  for (int i = 0; i < 20; ++i) PushCurrentView(view, false);
  EXPECT_EQ(CurrentViewDepth(), kCurrentViewDepth);
  EXPECT_EQ(DroppedViewPushes(), 6);
  for (int i = 0; i < 20; ++i) PopCurrentView();
  EXPECT_EQ(CurrentViewDepth(), 1);
  EXPECT_EQ(CurrentDevice(), &a);
  // A resize while drawing reaches the view when the bracket ends.
  a.pendingWidth = 300;
  PopCurrentView();
  EXPECT_EQ(a.width, 300);
  EXPECT_EQ(CurrentDevice(), nullptr);
  EXPECT_EQ(view->UseCount(), 1);
  PopCurrentView();  // an extra pop is harmless
  view->Release();
  EXPECT_EQ(a.view, nullptr);
}

}  // namespace
}  // namespace qs
