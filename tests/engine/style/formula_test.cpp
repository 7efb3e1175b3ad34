// Formulas made by the formatter and laid out on the test device (ascent 8,
// descent 2 and 6 units a character at 10 pt).
#include <gtest/gtest.h>

#include <algorithm>
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
    // F Fraction, Q Radical, X Radix, U Superior, L Inferior, A Above,
    // B Below.
    const struct {
      const char* tag;
      int math;
    } roles[] = {{"F", 1}, {"Q", 2}, {"X", 3}, {"U", 4}, {"L", 5}, {"A", 6}, {"B", 7},
                 {"R", 0}, {"N", 0}, {"D", 0}, {"E", 0}};
    for (const auto& role : roles) {
      StyleRule* rule = sheet.AddRule(new StyleRule(role.tag, 0));
      rule->fontByte &= ~(StyleProps::kBreakBefore | StyleProps::kBreakAfter);
      rule->math = static_cast<std::uint8_t>(role.math);
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
  void Format(const char* markup, bool nestedRuns = true) {
    boxes.DeleteAll();
    view->SetFrameNode(nullptr);
    if (frame) frame->Release();
    frame = nullptr;
    docHolder = std::make_unique<test::DocBuilder>();
    docHolder->Build(markup);
    frame = nestedRuns ? new FrameNode(docHolder->Doc(), &sheet, 0, nullptr)
                       : new TopRunOnlyFrame(docHolder->Doc(), &sheet);
    frame->Rebuild();
    EXPECT_EQ(FormatterGlobalsDepth(), 0);
    // Boxes, drawing and copies read the frame's document text.
    view->SetFrameNode(frame);
  }
  // A frame that makes a formatter for its own run only, as a frame kind
  // without nested runs would.
  struct TopRunOnlyFrame : FrameNode {
    TopRunOnlyFrame(Document* document, StyleSheet* sheet) : FrameNode(document, sheet, 0, nullptr) {}
    Formatter* MakeFormatter(FrameTreeNode* v, FrameTreeNode* list, Document* document,
                             const void* baseFormat, DocumentNode* root) override {
      if (baseFormat) return nullptr;
      return FrameNode::MakeFormatter(v, list, document, baseFormat, root);
    }
  };
  // Items without breaks: "T" text, "F" fraction, "Q" radical, "P" script
  // group.
  static std::string KindsOf(ListHead& list) {
    std::string out;
    for (auto* n = list.First(); n; n = n->Next()) {
      if (dynamic_cast<LayoutKind1Item*>(n)) out += "F";
      else if (dynamic_cast<LayoutKind2Item*>(n)) out += "Q";
      else if (dynamic_cast<LayoutPartsItem*>(n)) out += "P";
      else if (dynamic_cast<TextItem*>(n)) out += "T";
    }
    return out;
  }
  std::string Kinds() { return KindsOf(frame->items); }
  template <typename T>
  T* FirstItemOf() {
    for (auto* n = frame->items.First(); n; n = n->Next())
      if (auto* item = dynamic_cast<T*>(n)) return item;
    return nullptr;
  }
  template <typename T>
  T* FirstBoxOf() {
    for (auto* n = boxes.First(); n; n = n->Next())
      if (auto* box = dynamic_cast<T*>(n)) return box;
    return nullptr;
  }
  static std::string CopyOf(LayoutItem* item) {
    const std::int32_t length = item->GetTextLength(0, 1 << 30);
    std::string part(static_cast<std::size_t>(length) + 1, '\0');
    const std::int32_t written = item->CopyText(0, 1 << 30, part.data(), part.size());
    EXPECT_EQ(written, length);
    part.resize(static_cast<std::size_t>(written > 0 ? written : 0));
    return part;
  }
  static std::string CopyOf(SubLayout* list) {
    std::string out;
    for (LayoutItem* item = list ? list->FirstItem() : nullptr; item; item = item->NextItem())
      out += CopyOf(item);
    return out;
  }
  LayoutKind1Item* FirstFraction() {
    for (auto* n = frame->items.First(); n; n = n->Next())
      if (auto* f = dynamic_cast<LayoutKind1Item*>(n)) return f;
    return nullptr;
  }
  // Boxes of every item but the breaks, as a line holds them; with the
  // breaks, as a paragraph's pending list holds them.
  void MakeBoxes(bool withBreaks = false) {
    for (auto* n = frame->items.First(); n; n = n->Next()) {
      auto* item = static_cast<LayoutItem*>(n);
      if (withBreaks || !item->BreaksBefore()) item->MakeBoxes(boxes);
    }
  }
  LayoutKind1Box* FractionBox() {
    for (auto* n = boxes.First(); n; n = n->Next())
      if (auto* b = dynamic_cast<LayoutKind1Box*>(n)) return b;
    return nullptr;
  }
  std::string Copy() {
    std::string out;
    for (auto* n = frame->items.First(); n; n = n->Next()) out += CopyOf(static_cast<LayoutItem*>(n));
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

TEST_F(Formulas, TheDispatchMakesRadicalsAndScriptGroupsOrText) {
  struct Case {
    const char* markup;
    const char* kinds;
    const char* copy;
  } cases[] = {
      // Superior then Inferior: one group with both; text between: two.
      {"<R>a<U>2</U><L>3</L>b</R>", "TPT", "a23b"},
      {"<R>a<U>2</U>c<L>3</L>b</R>", "TPTPT", "a2c3b"},
      // The second Superior reads as text after the group.
      {"<R>a<U>2</U><U>3</U>b</R>", "TPTT", "a23b"},
      // A radical; the first Radix is its radix, the second its content.
      {"<R>a<Q><X>3</X><X>4</X>x</Q>b</R>", "TQT", "a34xb"},
      // A Radix outside a radical is text.
      {"<R>a<X>3</X>b</R>", "TTT", "a3b"},
      // Limits: above and below join the group; text in the order above,
      // superior, inferior, below.
      {"<R>a<B>4</B><L>3</L><A>1</A><U>2</U>b</R>", "TPT", "a1234b"},
      // A radical as the formatting root is text; its parts are still
      // formulas.
      {"<Q>x<U>2</U></Q>", "TP", "x2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.markup);
    Format(c.markup);
    EXPECT_EQ(Kinds(), c.kinds);
    EXPECT_EQ(Copy(), std::string("\r\n") + c.copy + "\r\n");
  }
  Format("<R>a<Q><X>3</X><X>4</X>x</Q>b</R>");
  auto* radical = FirstItemOf<LayoutKind2Item>();
  ASSERT_NE(radical, nullptr);
  EXPECT_EQ(CopyOf(radical->radix), "3");
  EXPECT_EQ(CopyOf(&radical->content), "4x");
  Format("<R>a<U>2</U><L>3</L>b</R>");
  auto* group = FirstItemOf<LayoutPartsItem>();
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(CopyOf(group->superior), "2");
  EXPECT_EQ(CopyOf(group->inferior), "3");
  EXPECT_EQ(group->above, nullptr);
  EXPECT_EQ(group->GetLength(), 2);
}

TEST_F(Formulas, WithoutNestedFormattersFormulasAreText) {
  Format("<R>a<F><N>1</N><D>2</D></F><Q>x</Q><U>2</U>b</R>", false);
  EXPECT_EQ(Kinds().find_first_of("FQP"), std::string::npos) << Kinds();
  EXPECT_EQ(Copy(), "\r\na12x2b\r\n");
}

TEST_F(Formulas, TheRootSignIsDrawnOverItsContent) {
  // Content of ascent 8 and descent 2: h 12, s 6.
  Format("<R><Q>ab</Q></R>");
  MakeBoxes();
  auto* box = FirstBoxOf<LayoutKind2Box>();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->GetAscent(), 12);
  EXPECT_EQ(box->GetDescent(), 2);
  EXPECT_EQ(box->GetWidth(), 12 + 6);
  device.log.clear();
  box->Draw(100, 50);
  // Top line t = 50 - 8 - 2.
  EXPECT_NE(device.log.find("LINE 100 46 103 52\nLINE 103 52 106 40\nLINE 106 40 118 40\n"),
            std::string::npos)
      << device.log;
  int x = -1, y = -1;
  DisplayBox* hit = box->ChildAt(6 + 7, 5, &x, &y);
  ASSERT_NE(hit, nullptr);
  EXPECT_NE(hit, box);
  EXPECT_EQ(hit->GetStart() + x / 6, 1);  // on "b"

  // An empty radix, narrower than half the sign: k = 0, the ascent from
  // the sign.
  Format("<R><Q><X></X>ab</Q></R>");
  MakeBoxes();
  box = FirstBoxOf<LayoutKind2Box>();
  ASSERT_NE(box, nullptr);
  ASSERT_NE(box->radixRow, nullptr);
  EXPECT_EQ(box->RadixShift(), 0);
  EXPECT_EQ(box->GetWidth(), 18);
  EXPECT_EQ(box->GetAscent(), 12);
  // A radix of 6 widens by k = 6 - 3 and raises the ascent to 10 + 6.
  Format("<R><Q><X>3</X>ab</Q></R>");
  MakeBoxes();
  box = FirstBoxOf<LayoutKind2Box>();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->RadixShift(), 3);
  EXPECT_EQ(box->GetWidth(), 12 + 6 + 3);
  EXPECT_EQ(box->GetAscent(), 16);
  device.log.clear();
  box->Draw(100, 50);
  EXPECT_NE(device.log.find("LINE 103 46 106 52\nLINE 106 52 109 40\nLINE 109 40 121 40\n"),
            std::string::npos)
      << device.log;
  // The radix at the upper left, the content right of the sign.
  hit = box->ChildAt(2, 3, &x, &y);
  ASSERT_NE(hit, nullptr);
  EXPECT_EQ(hit->GetStart(), box->Item()->Position());  // "3", the radix
  hit = box->ChildAt(3 + 6 + 1, 8, &x, &y);
  ASSERT_NE(hit, nullptr);
  EXPECT_EQ(CopyOf(hit->Item()).substr(0, 1), "a");
}

TEST_F(Formulas, ScriptsHangFromATallBaseOrRestAboveAShortOne) {
  // A short base "a" (8/2): m = 3; the superscript (10 high) sits with its
  // bottom 3 above the baseline.
  Format("<R>a<U>2</U></R>");
  MakeBoxes();
  auto* group = FirstBoxOf<LayoutPartsBox>();
  ASSERT_NE(group, nullptr);
  ASSERT_NE(group->base, nullptr);
  EXPECT_EQ(boxes.First(), group);  // the base left the list
  EXPECT_EQ(group->SuperiorTop(), 13);
  EXPECT_EQ(group->GetAscent(), 13);
  EXPECT_EQ(group->GetDescent(), 2);
  EXPECT_EQ(group->GetWidth(), 12);
  EXPECT_EQ(group->CanBreakAfter(), 0);
  EXPECT_EQ(group->GetStart(), group->base->GetStart());
  EXPECT_EQ(group->GetLength(), 2);  // "a" and "2"
  // Placed at (100, 50): the base on the baseline, the script's top at
  // 50 - 13.
  struct Where : BoxQuery {
    Where() : BoxQuery(0, 0, 0, nullptr) {}
    std::intptr_t Found(int, std::int32_t start, std::int32_t, int x, int top, int,
                        int) override {
      seen += std::to_string(start) + "@" + std::to_string(x) + "," + std::to_string(top) + ";";
      return 0;
    }
    std::string seen;
  } where;
  EXPECT_EQ(group->Visit(where, 100, 50), 0);
  EXPECT_EQ(where.seen, "0@100,42;1@106,37;");

  // A tall base (a fraction, 12/12 first in its list): m = 0, the script
  // hangs from the base's top.
  Format("<R><F><N>1</N><D>2</D></F><U>2</U></R>");
  MakeBoxes();
  group = FirstBoxOf<LayoutPartsBox>();
  ASSERT_NE(group, nullptr);
  ASSERT_NE(dynamic_cast<LayoutKind1Box*>(group->base), nullptr);
  EXPECT_EQ(group->SuperiorTop(), 12);
  EXPECT_EQ(group->GetAscent(), 12);

  // After a box that breaks before itself: no base, the parts placed as
  // over an empty one.
  Format("<R><U>2</U><L>3</L></R>");
  MakeBoxes(true);
  group = FirstBoxOf<LayoutPartsBox>();
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->base, nullptr);
  EXPECT_EQ(group->GetAscent(), 10);
  EXPECT_EQ(group->GetDescent(), 10);
  EXPECT_EQ(group->GetWidth(), 6);
  EXPECT_EQ(group->GetStart(), group->Item()->Position());
}

TEST_F(Formulas, PointsAndQueriesFindEachPartOfAGroup) {
  // Base "a" 8/2; above, below, superior, inferior each one character of
  // 10: above top 18, superscript top 13, subscript bottom 7, below bottom
  // 12; column 6 wide.
  Format("<R>a<A>1</A><B>2</B><U>3</U><L>4</L></R>");
  MakeBoxes();
  auto* group = FirstBoxOf<LayoutPartsBox>();
  ASSERT_NE(group, nullptr);
  auto* item = static_cast<LayoutPartsItem*>(group->Item());
  EXPECT_EQ(group->GetAscent(), 18);
  EXPECT_EQ(group->GetDescent(), 12);
  EXPECT_EQ(group->GetWidth(), 12);
  EXPECT_EQ(CopyOf(item), "1342");
  struct Case {
    int x, y;
    SubLayout* part;  // null: the base
  } cases[] = {
      {2, 2, item->above},   {2, 14, nullptr},        {2, 25, item->below},
      {8, 10, item->superior}, {8, 22, item->inferior},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    int x = -1, y = -1;
    DisplayBox* hit = group->ChildAt(c.x, c.y, &x, &y);
    ASSERT_NE(hit, nullptr);
    ASSERT_NE(hit, group);
    if (c.part)
      EXPECT_EQ(hit->GetStart(), c.part->GetStart());
    else
      EXPECT_EQ(hit, group->base);
  }
  // Every part is visited with a base.
  struct Count : BoxQuery {
    Count() : BoxQuery(0, 0, 0, nullptr) {}
    std::intptr_t Found(int, std::int32_t, std::int32_t length, int, int, int, int) override {
      seen += length;
      return 0;
    }
    int seen = 0;
  } all;
  group->Visit(all, 0, 20);
  EXPECT_EQ(all.seen, 5);
  // Without a base the limits are drawn but not visited.
  Format("<R><A>1</A><B>2</B><U>3</U></R>");
  MakeBoxes(true);
  group = FirstBoxOf<LayoutPartsBox>();
  ASSERT_NE(group, nullptr);
  ASSERT_EQ(group->base, nullptr);
  Count some;
  group->Visit(some, 0, 20);
  EXPECT_EQ(some.seen, 1);
  // Drawn over an empty base: the limits centred on nothing, at x 0.
  EXPECT_EQ(group->GetWidth(), 12);
  EXPECT_EQ(group->GetAscent(), 10);
  EXPECT_EQ(group->GetDescent(), 10);
}

TEST_F(Formulas, AnEmptyScriptIsHitWithoutACrash) {
  Format("<R>a<U></U></R>");
  MakeBoxes();
  auto* group = FirstBoxOf<LayoutPartsBox>();
  ASSERT_NE(group, nullptr);
  ASSERT_NE(group->superiorRow, nullptr);
  EXPECT_EQ(group->superiorRow->FirstBox(), nullptr);
  EXPECT_EQ(group->superiorRow->width, 0);
  int x = -1, y = -1;
  for (int px = 0; px < 12; px += 3)
    for (int py = 0; py < 14; py += 3) EXPECT_NE(group->ChildAt(px, py, &x, &y), nullptr);
  EXPECT_EQ(group->GetWidth(), 6);
}

TEST_F(Formulas, ARowStopsAtTheDevicesWidth) {
  Format("<R><Q>ab</Q></R>");
  MakeBoxes();
  auto* box = FirstBoxOf<LayoutKind2Box>();
  ASSERT_NE(box, nullptr);
  device.log.clear();
  box->Draw(device.width - 2, 50);  // the content would start past the edge
  EXPECT_EQ(device.log.find("TEXT"), std::string::npos) << device.log;
  EXPECT_NE(device.log.find("LINE"), std::string::npos);
}

TEST_F(Formulas, DeepRadicalsAndScriptsStopPastTheLimit) {
  const int depth = 500;
  std::string markup = "<R>";
  for (int i = 0; i < depth; ++i) markup += "a<Q><U>";
  markup += "x";
  for (int i = 0; i < depth; ++i) markup += "</U></Q>";
  markup += "</R>";
  Format(markup.c_str());
  std::string text;
  for (char ch : Copy())
    if (ch != '\r' && ch != '\n') text += ch;
  EXPECT_EQ(text, std::string(depth, 'a') + "x");
  MakeBoxes();
  EXPECT_NE(FirstBoxOf<LayoutKind2Box>(), nullptr);
}

}  // namespace
}  // namespace qs
