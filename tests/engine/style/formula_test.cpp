// Formulas made by the formatter and laid out on the test device (ascent 8,
// descent 2 and 6 units a character at 10 pt).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "api/exports.h"
#include "doc_builder.h"
#include "layout/formula_items.h"
#include "layout/text_item.h"
#include "recording_sink.h"
#include "style/formatter.h"
#include "style/style_sheet.h"
#include "test_device.h"
#include "view/current_view.h"

namespace qs {
namespace {

class Formulas : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(QsInitialize(0, "test", nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    sheet.AddUse();
    view = new test::TestView(&device);
    PushCurrentView(view, false);
    // Inline elements: a rule without breaks.
    for (const char* tag : {"F", "R", "N", "D", "E"}) {
      StyleRule* rule = sheet.AddRule(new StyleRule(tag, 0));
      rule->fontByte &= ~(StyleProps::kBreakBefore | StyleProps::kBreakAfter);
      if (tag[0] == 'F') rule->math = 1;  // Fraction
    }
  }
  void TearDown() override {
    boxes.DeleteAll();
    view->SetFrameNode(nullptr);
    if (frame) frame->Release();
    docHolder.reset();
    PopCurrentView();
    view->Release();
    sheet.ClearRules();
    QsTerminate();
  }
  void Format(const char* markup) {
    boxes.DeleteAll();
    view->SetFrameNode(nullptr);
    if (frame) frame->Release();
    frame = nullptr;
    docHolder = std::make_unique<test::DocBuilder>();
    docHolder->Build(markup);
    frame = new FrameNode(docHolder->Doc(), &sheet, 0, nullptr);
    frame->Rebuild();
    EXPECT_EQ(FormatterGlobalsDepth(), 0);
    // Boxes, drawing and copies read the frame's document text.
    view->SetFrameNode(frame);
  }
  // The run's items without its breaks: "T" text, "F" fraction.
  std::string Kinds() {
    std::string out;
    for (auto* n = frame->items.First(); n; n = n->Next()) {
      if (dynamic_cast<LayoutKind1Item*>(n)) out += "F";
      else if (dynamic_cast<TextItem*>(n)) out += "T";
    }
    return out;
  }
  LayoutKind1Item* FirstFraction() {
    for (auto* n = frame->items.First(); n; n = n->Next())
      if (auto* f = dynamic_cast<LayoutKind1Item*>(n)) return f;
    return nullptr;
  }
  // Boxes of every item but the breaks, as a line holds them.
  void MakeBoxes() {
    for (auto* n = frame->items.First(); n; n = n->Next()) {
      auto* item = static_cast<LayoutItem*>(n);
      if (!item->BreaksBefore()) item->MakeBoxes(boxes);
    }
  }
  LayoutKind1Box* FractionBox() {
    for (auto* n = boxes.First(); n; n = n->Next())
      if (auto* b = dynamic_cast<LayoutKind1Box*>(n)) return b;
    return nullptr;
  }
  std::string Copy() {
    std::string out;
    for (auto* n = frame->items.First(); n; n = n->Next()) {
      auto* item = static_cast<LayoutItem*>(n);
      const std::int32_t length = item->GetTextLength(0, 1 << 30);
      std::string part(static_cast<std::size_t>(length) + 1, '\0');
      const std::int32_t written = item->CopyText(0, 1 << 30, part.data(), part.size());
      EXPECT_EQ(written, length);
      part.resize(static_cast<std::size_t>(written));
      out += part;
    }
    return out;
  }

  test::RecordingSink sink_;
  test::TestDevice device;
  test::TestView* view = nullptr;
  StyleSheet sheet{static_cast<ExternalId*>(nullptr)};
  std::unique_ptr<test::DocBuilder> docHolder;
  FrameNode* frame = nullptr;
  ListHead boxes;
};

TEST_F(Formulas, AFractionNeedsExactlyTwoChildren) {
  struct Case {
    const char* markup;
    bool fraction;
    const char* copy;
  } cases[] = {
      {"<R>a<F><N>1</N></F>b</R>", false, "a1b"},
      {"<R>a<F><N>1</N><D>2</D></F>b</R>", true, "a12b"},
      {"<R>a<F><N>1</N><D>2</D><E>3</E></F>b</R>", false, "a123b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.markup);
    Format(c.markup);
    const std::string kinds = Kinds();
    EXPECT_EQ(kinds.find('F') != std::string::npos, c.fraction) << kinds;
    // Inside the run's opening and closing breaks.
    EXPECT_EQ(Copy(), std::string("\r\n") + c.copy + "\r\n");
  }
}

TEST_F(Formulas, TheBarSitsHalfThePrecedingBoxsHeightAboveTheBaseline) {
  // First in its list: the bar on the baseline.
  Format("<R><F><N>1</N><D>2</D></F></R>");
  MakeBoxes();
  LayoutKind1Box* box = FractionBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->BarRaise(), 0);
  EXPECT_EQ(box->GetAscent(), 10 + 2);
  EXPECT_EQ(box->GetDescent(), 10 + 2);
  EXPECT_EQ(box->GetWidth(), 6);
  // After text of ascent 8 and descent 2: d = 6, the bar 3 up.
  Format("<R>a<F><N>12</N><D>3</D></F>b</R>");
  MakeBoxes();
  box = FractionBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->BarRaise(), 3);
  EXPECT_EQ(box->GetAscent(), 10 + 2 + 3);
  EXPECT_EQ(box->GetDescent(), 10 - 3 + 2);
  EXPECT_EQ(box->GetWidth(), 12);

  // Drawn at (100, 50): the bar at 47, full width, in ink.
  device.log.clear();
  box->Draw(100, 50);
  EXPECT_EQ(device.log, "LINE 100 47 112 47\n");
  // The parts where drawing puts them: the numerator's bottom 2 above the
  // bar, the denominator centred under it with its top 2 below the bar.
  // Text runs come in one box or a box a character by platform: the first
  // box of each part tells where the part is.
  struct Where : BoxQuery {
    Where() : BoxQuery(0, 0, 0, nullptr) {}
    std::intptr_t Found(int, std::int32_t start, std::int32_t, int x, int top, int,
                        int height) override {
      if (start == 1 || start == 3)
        seen += std::to_string(start) + "@" + std::to_string(x) + "," + std::to_string(top) + " " +
                std::to_string(height) + ";";
      return 0;
    }
    std::string seen;
  } where;
  EXPECT_EQ(box->Visit(where, 100, 50), 0);
  EXPECT_EQ(where.seen, "1@100,35 10;3@103,49 10;");
}

TEST_F(Formulas, PointsFindTheNumeratorOrTheDenominator) {
  Format("<R><F><N>12</N><D>3</D></F></R>");
  MakeBoxes();
  LayoutKind1Box* box = FractionBox();
  ASSERT_NE(box, nullptr);
  int x = -1, y = -1;
  DisplayBox* hit = box->ChildAt(7, 5, &x, &y);
  ASSERT_NE(hit, nullptr);
  // In the numerator, on its second character.
  EXPECT_GE(hit->GetStart(), 0);
  EXPECT_LT(hit->GetStart(), 2);
  EXPECT_EQ(x, 7 - 6 * hit->GetStart());
  EXPECT_EQ(y, 5);
  hit = box->ChildAt(7, 18, &x, &y);
  ASSERT_NE(hit, nullptr);
  EXPECT_EQ(hit->GetStart(), 2);  // the denominator, centred 3 in
  EXPECT_EQ(x, 4);
  EXPECT_EQ(y, 18 - 14);
}

TEST_F(Formulas, AnEmptyPartMakesARowWithoutBoxes) {
  Format("<R><F><N></N><D>2</D></F></R>");
  MakeBoxes();
  LayoutKind1Box* box = FractionBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->numeratorRow.FirstBox(), nullptr);
  EXPECT_EQ(box->numeratorRow.Height(), 0);
  EXPECT_EQ(box->numeratorRow.width, 0);
  int x = -1, y = -1;
  EXPECT_EQ(box->ChildAt(0, 0, &x, &y), box);
  device.log.clear();
  box->Draw(0, 20);
  EXPECT_NE(device.log.find("LINE"), std::string::npos);
}

TEST_F(Formulas, DeepNestingStopsMakingFormulasPastTheLimit) {
  std::string markup = "<R>";
  const int depth = 500;
  for (int i = 0; i < depth; ++i) markup += "<F><N>";
  markup += "x";
  for (int i = 0; i < depth; ++i) markup += "</N><D>y</D></F>";
  markup += "</R>";
  Format(markup.c_str());
  int levels = 0;
  for (LayoutKind1Item* f = FirstFraction(); f;) {
    ++levels;
    LayoutKind1Item* inner = nullptr;
    for (auto* n = f->numerator.First(); n && !inner; n = n->Next())
      inner = dynamic_cast<LayoutKind1Item*>(n);
    f = inner;
  }
  EXPECT_EQ(levels, 32);
  std::string text;
  for (char ch : Copy())
    if (ch != '\r' && ch != '\n') text += ch;
  EXPECT_EQ(text, "x" + std::string(depth, 'y'));
  MakeBoxes();
  EXPECT_NE(FractionBox(), nullptr);
}

}  // namespace
}  // namespace qs
