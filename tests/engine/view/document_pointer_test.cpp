// The document view's pointer: presses that boxes take, text selected by
// dragging, shift-clicks and double clicks, and the hit list with its
// overview strip and the commands that walk it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "api/exports.h"
#include "doc_builder.h"
#include "foundation/engine.h"
#include "foundation/engine_lists.h"
#include "layout/display_box.h"
#include "recording_sink.h"
#include "sgml/unicode_tables.h"
#include "style/frame.h"
#include "test_device.h"
#include "view/current_view.h"
#include "view/document_view.h"
#include "view/view_line.h"

namespace qs {
namespace {

using test::BoxSpec;

// A box that takes presses and logs every press operation.
class PressBox : public test::SpecBox {
 public:
  using SpecBox::SpecBox;
  int PressRange(int x, int y, HitContext& c) override {
    Log("PRESS " + std::to_string(x) + " " + std::to_string(y));
    ViewRange::Init(c, this);
    return 1;
  }
  void PressFeedbackOn(HitContext&) override { Log("ENTER"); }
  void PressTrack(HitContext&) override { Log("ENTERED"); }
  int PressContinue(HitContext&) override {
    Log("DRAG");
    return dragAnswer;
  }
  void PressFeedbackIfInside(HitContext&) override { Log("REDRAW"); }
  int PressRelease(HitContext&) override {
    Log("LEFT");
    return 1;
  }
  void PressFeedbackOff(HitContext&) override { Log("LEAVE"); }
  void Activate(DocumentView*, HitContext*) override { Log("ACTIVATE"); }
  static inline int dragAnswer = 1;

 private:
  void Log(const std::string& line) {
    if (auto* device = static_cast<test::TestDevice*>(CurrentDevice())) device->log += line + "\n";
  }
};
class PressItem : public test::SpecItem {
 public:
  using SpecItem::SpecItem;
  void MakeBoxes(ListHead& boxes) override { boxes.Append(new PressBox(this)); }
};

// Rows of boxes 60 wide for 10 positions (6 pixels a position), each row
// a line 10 high; the rows named in `pressable` take presses.
class RowFrame : public FrameTreeNode {
 public:
  RowFrame(int rows, std::set<int> pressable = {}, int length = 10)
      : FrameTreeNode(nullptr, nullptr, 0) {
    BoxSpec spec{.width = 60, .forced = true, .ascent = 8, .descent = 2, .length = length};
    for (int i = 0; i < rows; ++i) {
      if (pressable.count(i))
        items.Append(new (pool) PressItem(i * length, spec));
      else
        items.Append(new (pool) test::SpecItem(i * length, spec));
    }
  }
  ~RowFrame() override { items.DeleteAll(); }
  int GetKind() const override { return 1; }
  Pool pool;
};

class View : public DocumentView {
 public:
  explicit View(OutputDevice* device) : DocumentView(nullptr, device, 0) {}
  void OnHighlightChanged() override { ++highlightChanges; }
  int highlightChanges = 0;
};

// A device that also records the timer.
class PointerDevice : public test::TestDevice {
 public:
  using TestDevice::TestDevice;
  void EnableTimer(bool on) override { timer = on; }
  void SetCursorForHit(int, int, std::intptr_t kind, int code, std::intptr_t) override {
    cursorKind = static_cast<int>(kind);
    cursorCode = code;
  }
  bool timer = false;
  int cursorKind = -1, cursorCode = -1;
};

struct Shown {
  explicit Shown(int rows, std::set<int> pressable = {}, int w = 300, int h = 200, int length = 10)
      : device(72, w, h), frame(rows, std::move(pressable), length) {
    view = new View(&device);
    view->AddRef();
    view->SetFrame(&frame, 0, true);
    view->SetFlags(DocumentView::kMouseSelection);
  }
  ~Shown() {
    view->SetFrame(nullptr, 0, false);
    view->Release();
    view->Close();
  }
  std::vector<std::pair<std::uint32_t, std::uint32_t>> Ranges() const {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> out;
    for (Range* r = view->ranges.FirstRange(); r; r = r->NextRange())
      out.emplace_back(r->GetStart(), r->GetEnd());
    return out;
  }
  PointerDevice device;
  RowFrame frame;
  View* view;
};

using Pairs = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

TEST(DocumentPointer, BoxesAndPositionsUnderPoints) {
  Shown s(5);
  int bx = -1, by = -1;
  DisplayBox* box = s.view->BoxAtPoint(13, 24, &bx, &by, false);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->GetStart(), 20);
  EXPECT_EQ(bx, 13);
  EXPECT_EQ(by, 4);
  EXPECT_EQ(s.view->PositionAtPoint(13, 24), 22);
  // Past the line's end: the last box, clamped to its end.
  EXPECT_EQ(s.view->PositionAtPoint(250, 24), 30);
  // Below the last line, and above the window: nothing.
  EXPECT_EQ(s.view->BoxAtPoint(10, 55, &bx, &by, false), nullptr);
  EXPECT_EQ(s.view->PositionAtPoint(10, 55), -1);
  EXPECT_EQ(s.view->PositionAtPoint(10, -1), -1);
  // Clamped: above the window the first line, below it the last.
  box = s.view->BoxAtPointClamped(10, -30, &bx, &by, false);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->GetStart(), 0);
  box = s.view->BoxAtPointClamped(10, 500, &bx, &by, false);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->GetStart(), 40);
}

TEST(DocumentPointer, APressedBoxStaysPressedForTwoPixelsAndDragsAtThree) {
  struct {
    int dx, dy;
    int state;          // the button state after the move
    const char* after;  // what the box was told by the move
  } cases[] = {
      {2, 0, 1, ""}, {0, 2, 1, ""}, {-2, -2, 1, ""},
      {3, 0, 2, "DRAG\n"}, {0, -3, 2, "DRAG\n"},
      // Off the box (the next line): leaves it, and the press goes on.
      {0, 12, 2, "LEAVE\nLEFT\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.dx) + "," + std::to_string(c.dy));
    Shown s(3, {0});
    s.view->OnLButtonDown(20, 4, 0);
    EXPECT_EQ(s.device.log, "PRESS 20 4\nENTER\n");
    EXPECT_EQ(DocumentView::PointerButtonState(), 1);
    s.device.log.clear();
    s.view->OnMouseMove(20 + c.dx, 4 + c.dy);
    EXPECT_EQ(DocumentView::PointerButtonState(), c.state);
    EXPECT_EQ(s.device.log, c.after);
    s.view->OnLButtonUp(20 + c.dx, 4 + c.dy);
    EXPECT_EQ(DocumentView::PointerButtonState(), 0);
    // A press is never a selection.
    EXPECT_TRUE(s.view->ranges.IsEmpty());
  }
}

TEST(DocumentPointer, ReleaseOnThePressedBoxActivatesIt) {
  Shown s(3, {1});
  s.view->OnLButtonDown(30, 15, 0);
  s.view->OnMouseMove(40, 15);
  s.device.log.clear();
  s.view->OnLButtonUp(40, 15);
  EXPECT_EQ(s.device.log, "LEAVE\nACTIVATE\n");
  // Released off the box: nothing is activated.
  s.view->OnLButtonDown(30, 15, 0);
  s.view->OnMouseMove(30, 35);
  s.device.log.clear();
  s.view->OnLButtonUp(30, 35);
  EXPECT_EQ(s.device.log, "");
  // A box that answers 0 to a drag ends its press: the drag selects text.
  PressBox::dragAnswer = 0;
  s.view->OnLButtonDown(30, 15, 0);
  s.view->OnMouseMove(36, 15);
  s.view->OnMouseMove(42, 25);
  s.view->OnLButtonUp(42, 25);
  PressBox::dragAnswer = 1;
  EXPECT_EQ(s.Ranges(), (Pairs{{15, 27}}));
}

TEST(DocumentPointer, DraggingSelectsAndAClickInPlaceSelectsNothing) {
  Shown s(5);
  // Press at position 1, drag to the middle of the third line.
  s.view->OnLButtonDown(6, 4, 0);
  EXPECT_EQ(DocumentView::PointerAnchor(), 1);
  s.device.log.clear();
  s.view->OnMouseMove(30, 24);
  EXPECT_EQ(DocumentView::PointerCurrent(), 25);
  // The lines from the anchor to the pointer are inverted at once.
  EXPECT_EQ(s.device.log, "INVERT 0 0 60 10\nINVERT 0 10 60 20\nINVERT 0 20 60 30\n");
  s.view->OnLButtonUp(30, 24);
  EXPECT_EQ(s.Ranges(), (Pairs{{1, 25}}));
  EXPECT_FALSE(s.view->rangesAreHits);
  EXPECT_EQ(s.view->highlightChanges, 1);
  // A paint draws the selection.
  s.device.log.clear();
  s.view->OnPaint();
  EXPECT_NE(s.device.log.find("INVERT 0 20 60 30"), std::string::npos);
  // A click without shift clears it, and its release selects nothing.
  s.view->OnLButtonDown(40, 34, 0);
  EXPECT_TRUE(s.view->ranges.IsEmpty());
  s.view->OnLButtonUp(40, 34);
  EXPECT_TRUE(s.view->ranges.IsEmpty());
  EXPECT_EQ(s.view->highlightChanges, 2);
  // A press below every line selects nothing however far it drags.
  s.view->OnLButtonDown(10, 150, 0);
  EXPECT_EQ(DocumentView::PointerAnchor(), -1);
  s.view->OnMouseMove(30, 4);
  s.view->OnLButtonUp(30, 4);
  EXPECT_TRUE(s.view->ranges.IsEmpty());
}

TEST(DocumentPointer, WithoutMouseSelectionNothingIsSelected) {
  Shown s(3);
  s.view->SetFlags(0);
  s.view->OnLButtonDown(6, 4, 0);
  s.view->OnMouseMove(30, 24);
  s.view->OnLButtonUp(30, 24);
  EXPECT_TRUE(s.view->ranges.IsEmpty());
  s.view->OnLButtonDblClk(6, 4);
  EXPECT_TRUE(s.view->ranges.IsEmpty());
}

TEST(DocumentPointer, ShiftClickExtendsOrShrinksTheOneSelectedRange) {
  struct {
    int x, y;        // the shift-click
    Pairs after;     // the selection after its release
    const char* inverted;
  } cases[] = {
      // Selected [12, 28): before it, after it, inside nearer the end,
      // inside nearer the start.
      {12, 4, {{2, 28}}, "INVERT 0 0 60 10\nINVERT 0 10 60 20\n"},
      {42, 34, {{12, 37}}, "INVERT 0 20 60 30\nINVERT 0 30 60 40\n"},
      {48, 24, {{12, 28}}, ""},
      {30, 24, {{12, 25}}, "INVERT 0 20 60 30\n"},
      {18, 14, {{13, 28}}, "INVERT 0 10 60 20\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
    Shown s(5);
    s.view->SelectRange(12, 28);
    s.device.log.clear();
    s.view->OnLButtonDown(c.x, c.y, 4);
    EXPECT_EQ(s.device.log, c.inverted);
    s.view->OnLButtonUp(c.x, c.y);
    EXPECT_EQ(s.Ranges(), c.after);
  }
  // On an empty selection's place the release clears the marks.
  Shown s(3);
  s.view->SelectRange(5, 5);
  s.view->OnLButtonDown(30, 4, 4);
  s.view->OnLButtonUp(30, 4);
  EXPECT_TRUE(s.view->ranges.IsEmpty());
}

TEST(DocumentPointer, AShiftDragRepaintsTheWholeSelectionOnce) {
  Shown s(5);
  s.view->SelectRange(12, 28);
  // Shift-click before the range: the paint while pressed shows [2, 28)
  // once, not the old range on top of it.
  s.view->OnLButtonDown(12, 4, 4);
  s.device.log.clear();
  s.view->OnPaint();
  const std::string& log = s.device.log;
  EXPECT_NE(log.find("INVERT 0 0 60 10"), std::string::npos);
  EXPECT_EQ(log.find("INVERT 0 10 60 20"), log.rfind("INVERT 0 10 60 20"));
  s.view->OnLButtonUp(12, 4);
}

TEST(DocumentPointer, AutoScrollFollowsThePointerBelowTheWindow) {
  Shown s(60, {}, 300, 100);
  s.view->OnLButtonDown(6, 4, 0);
  s.view->OnMouseMove(20, 150);
  EXPECT_TRUE(s.device.timer);
  ASSERT_TRUE(s.view->GetFlags() & DocumentView::kVertBar);
  s.view->OnTimer();
  // A line down, and the selection grows to the last line in the window.
  EXPECT_EQ(s.view->GetFirstShownPosition(), 10);
  EXPECT_EQ(DocumentView::PointerButtonState(), 2);
  EXPECT_EQ(DocumentView::PointerCurrent(), 103);
  s.view->OnMouseMove(20, 50);
  EXPECT_FALSE(s.device.timer);
  s.view->OnLButtonUp(20, 50);
  EXPECT_EQ(s.Ranges(), (Pairs{{1, 63}}));
}

TEST(DocumentPointer, ClosingAViewDuringAPressForgetsIt) {
  auto s = std::make_unique<Shown>(3, std::set<int>{0});
  s->view->OnLButtonDown(20, 4, 0);
  EXPECT_EQ(DocumentView::PointerButtonState(), 1);
  s.reset();
  EXPECT_EQ(DocumentView::PointerButtonState(), 0);
  EXPECT_EQ(PressedBox(), nullptr);
}

// ---- Hits ---------------------------------------------------------------------------

TEST(DocumentPointer, NearestHitStartTakesTheEarlierAtHalfWay) {
  Shown s(3);
  struct {
    std::int32_t position, expected;
  } cases[] = {{0, 10}, {10, 10}, {14, 10}, {15, 10}, {16, 20}, {20, 20}, {29, 20}, {30, 20}};
  EXPECT_EQ(s.view->NearestHitStart(7), 7);  // no hits
  s.view->ranges.Append(10, 12);
  s.view->ranges.Append(20, 22);
  for (const auto& c : cases) EXPECT_EQ(s.view->NearestHitStart(c.position), c.expected) << c.position;
}

TEST(DocumentPointer, TheOverviewStripTicksEveryHitAtItsRow) {
  // 40 lines of 10 positions: 400 positions over 200 rows.
  Shown s(40, {}, 300, 200);
  s.view->SetFlags(DocumentView::kMouseSelection | DocumentView::kOverviewStrip);
  for (std::uint32_t at : {0u, 100u, 101u, 199u}) s.view->ranges.Append(at, at + 1);
  s.device.log.clear();
  s.view->OnPaint();
  const std::string& log = s.device.log;
  EXPECT_NE(log.find("LINE 284 0 284 200\n"), std::string::npos);
  EXPECT_NE(log.find("LINE 285 0 300 0\n"), std::string::npos);
  // 100 and 101 share row 50: one tick.
  EXPECT_NE(log.find("LINE 285 50 300 50\n"), std::string::npos);
  EXPECT_EQ(log.find("LINE 285 50 300 50\n"), log.rfind("LINE 285 50 300 50\n"));
  EXPECT_NE(log.find("LINE 285 99 300 99\n"), std::string::npos);
  // The shown part, from the first to the last shown position.
  EXPECT_NE(log.find("INVERT 285 0 300 100\n"), std::string::npos);

  // A click in the strip at y 0 shows the first hit; half-way between two
  // hits the earlier one.
  s.view->ShowPosition(300);
  s.view->OnLButtonDown(290, 0, 0);
  EXPECT_EQ(s.view->GetFirstShownPosition(), 0);
  EXPECT_EQ(DocumentView::PointerButtonState(), 0);
  s.view->OnLButtonDown(290, 150, 0);  // position 300: past the last hit
  EXPECT_EQ(s.view->GetFirstShownPosition(), 190);
  s.view->OnLButtonDown(290, 75, 0);  // position 150: half-way from 101 to 199
  EXPECT_EQ(s.view->GetFirstShownPosition(), 100);
  s.view->OnLButtonDown(290, 76, 0);  // position 152
  EXPECT_EQ(s.view->GetFirstShownPosition(), 190);
  // Over the strip the pointer is the strip's.
  s.view->OnMouseMove(290, 10);
  EXPECT_EQ(s.device.cursorKind, 1);
  EXPECT_EQ(s.device.cursorCode, 15);
  s.view->OnMouseMove(100, 10);
  EXPECT_EQ(s.device.cursorCode, 0);
}

TEST(DocumentPointer, TheStripOfAnEmptyFrameDrawsNoTicks) {
  Shown s(3, {}, 300, 200, 0);
  s.view->SetFlags(DocumentView::kOverviewStrip);
  s.view->ranges.Append(0, 0);
  s.view->ranges.Append(0, 0);
  EXPECT_EQ(s.view->StripRow(0), -1);
  s.device.log.clear();
  s.view->OnPaint();
  EXPECT_NE(s.device.log.find("LINE 284 0 284 200\n"), std::string::npos);
  EXPECT_EQ(s.device.log.find("LINE 285"), std::string::npos);
  // A click there shows position 0 and divides by nothing.
  s.view->OnLButtonDown(290, 100, 0);
  EXPECT_EQ(s.view->GetFirstShownPosition(), 0);
}

TEST(DocumentPointer, StripRowsOfALongDocumentDoNotOverflow) {
  // 20 lines of 100,000,000 positions: (position - start) * height passes
  // 32 bits long before the end.
  Shown s(20, {}, 300, 200, 100000000);
  EXPECT_EQ(s.view->StripRow(1000000000), 100);
  EXPECT_EQ(s.view->StripRow(1999999999), 199);
}

TEST(DocumentPointer, HitCommandsWalkTheList) {
  Shown s(60, {}, 300, 100);  // ten lines in the window
  EXPECT_FALSE(s.view->ShowFirstHit());
  EXPECT_FALSE(s.view->ShowNextHit());
  for (std::uint32_t at : {55u, 205u, 405u, 555u}) s.view->ranges.Append(at, at + 2);
  EXPECT_TRUE(s.view->ShowNextHit());  // the first after the window
  EXPECT_EQ(s.view->GetFirstShownPosition(), 200);
  EXPECT_TRUE(s.view->ShowNextHit());
  EXPECT_EQ(s.view->GetFirstShownPosition(), 400);
  EXPECT_TRUE(s.view->ShowPreviousHit());
  EXPECT_EQ(s.view->GetFirstShownPosition(), 200);
  EXPECT_TRUE(s.view->ShowLastHit());
  EXPECT_EQ(s.view->GetFirstShownPosition(), 550);
  // Nothing after the window: false, and the view stays.
  EXPECT_FALSE(s.view->ShowNextHit());
  EXPECT_EQ(s.view->GetFirstShownPosition(), 550);
  EXPECT_TRUE(s.view->ShowFirstHit());
  EXPECT_EQ(s.view->GetFirstShownPosition(), 50);
  EXPECT_FALSE(s.view->ShowPreviousHit());
  EXPECT_EQ(s.view->GetFirstShownPosition(), 50);
}

// ---- Real text ----------------------------------------------------------------------

class TextPointer : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(QsInitialize(0, "test", nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    // The line-break classes make words of the text.
    const char* source = std::getenv("QS_SOURCE_DIR");
    LoadUnicodeTables((std::string(source ? source : ".") + "/samples/home/qsunicde.dat").c_str());
    doc->Build("<R><P>hello world</P><P>     </P></R>");
    view = new View(&device);
    frame = new FrameNode(doc->Doc(), nullptr, 0, nullptr);
    PushCurrentView(view, false);
    frame->Rebuild();
    PopCurrentView();
    view->SetFrame(frame, 0, true);
    view->SetFlags(DocumentView::kMouseSelection);
  }
  void TearDown() override {
    view->Close();
    doc.reset();
    FreeUnicodeTables();
    QsTerminate();
  }
  std::string Selected() {
    if (view->ranges.Count() != 1) return "<" + std::to_string(view->ranges.Count()) + ">";
    Range* r = view->ranges.FirstRange();
    char text[64] = {};
    view->CopyText(static_cast<std::int32_t>(r->GetStart()), static_cast<std::int32_t>(r->GetEnd()),
                   text, sizeof text - 1);
    return text;
  }
  // The window point of a box: the lines and boxes that take room counted.
  void PointOf(int lineIndex, int boxIndex, int* x, int* y) {
    int top = view->verticalOffset;
    ViewLine* line = view->FirstLine();
    for (;; line = line->GetNextLine()) {
      ASSERT_NE(line, nullptr);
      if (line->GetHeight() > 0 && lineIndex-- == 0) break;
      top += line->GetHeight();
    }
    int left = line->LeftIndent() - view->horizontalOffset;
    DisplayBox* box = line->GetFirstBox();
    for (;; box = box->GetNext()) {
      ASSERT_NE(box, nullptr);
      if (box->GetWidth() > 0 && boxIndex-- == 0) break;
      left += box->GetWidth();
    }
    *x = left + 2;
    *y = top + line->GetHeight() - 3;
  }
  test::RecordingSink sink_;
  test::TestDevice device{72, 400, 300};
  std::unique_ptr<test::DocBuilder> doc = std::make_unique<test::DocBuilder>();
  View* view = nullptr;
  FrameNode* frame = nullptr;
};

TEST_F(TextPointer, ADoubleClickSelectsTheWordAndBlanksNothing) {
  int x, y;
  PointOf(0, 0, &x, &y);
  view->OnLButtonDblClk(x, y);
  EXPECT_EQ(Selected(), "hello");
  PointOf(0, 1, &x, &y);
  view->OnLButtonDblClk(x, y);
  EXPECT_EQ(Selected(), "world");
  // The blanks' line: the skip stops at the box's end, nothing is taken.
  view->ClearMarks();
  PointOf(1, 0, &x, &y);
  view->OnLButtonDblClk(x, y);
  EXPECT_TRUE(view->ranges.IsEmpty());
}

TEST_F(TextPointer, ADragOverTextSelectsItsCharacters) {
  int x, y, x2, y2;
  PointOf(0, 0, &x, &y);
  PointOf(0, 1, &x2, &y2);
  view->OnLButtonDown(x - 2, y, 0);
  view->OnMouseMove(x2 + 12, y2);
  view->OnLButtonUp(x2 + 12, y2);
  EXPECT_EQ(Selected(), "hello wo");
}

// ---- Recent documents ------------------------------------------------------------------

TEST(RecentDocuments, AViewListsTheDocumentsItShowsNewestFirst) {
  test::RecordingSink sink;
  ASSERT_NE(QsInitialize(0, "test", nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  GetEngine()->recentLimit = 3;
  std::vector<std::unique_ptr<test::DocBuilder>> docs;
  for (int i = 0; i < 4; ++i) {
    docs.push_back(std::make_unique<test::DocBuilder>());
    docs.back()->Build("<R><P>text</P></R>");
  }
  {
    test::TestDevice device{72, 400, 300};
    View* view = new View(&device);
    auto show = [&](int i) {
      auto* frame = new FrameNode(docs[i]->Doc(), nullptr, 0, nullptr);
      PushCurrentView(view, false);
      frame->Rebuild();
      PopCurrentView();
      view->SetFrame(frame, 0, true);
    };
    RecentList& recent = *GetEngine()->recentList;
    for (int i = 0; i < 4; ++i) show(i);
    // Capacity 3: the least recently added went.
    EXPECT_EQ(recent.count, 3);
    EXPECT_EQ(recent.At(0), docs[3]->Doc());
    EXPECT_FALSE(recent.Contains(docs[0]->Doc()));
    // A listed document shown again moves to the front.
    show(1);
    EXPECT_EQ(recent.count, 3);
    EXPECT_EQ(recent.At(0), docs[1]->Doc());
    EXPECT_EQ(recent.At(1), docs[3]->Doc());
    view->Close();
  }
  // Capacity 0: nothing is listed.
  GetEngine()->recentLimit = 0;
  GetEngine()->recentList->Remove(docs[1]->Doc());
  EXPECT_EQ(GetEngine()->recentList->count, 2);
  docs.clear();
  QsTerminate();
}

}  // namespace
}  // namespace qs
