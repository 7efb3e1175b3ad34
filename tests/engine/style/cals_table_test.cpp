#include "style/cals_table.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "api/exports.h"
#include "api/interface.h"
#include "doc_builder.h"
#include "foundation/engine.h"
#include "foundation/handle_table.h"
#include "layout/entity_items.h"
#include "layout/icon_items.h"
#include "layout/table_items.h"
#include "recording_sink.h"
#include "style/formatter.h"
#include "style/style_sheet.h"
#include "style/text_format.h"
#include "table_dump.h"
#include "test_device.h"
#include "view/current_view.h"
#include "view/graphic_object.h"
#include "view/graphic_services.h"

namespace qs {
namespace {

// ---- Cells ------------------------------------------------------------------------------

struct CellCase {
  std::uint8_t format;
  int column, span, count;
  std::uint8_t frame;
  std::uint8_t flags;
};

TEST(CalsCell, FlagsFromFormatPlaceAndFrame) {
  const CellCase cases[] = {
      {0x00, 0, 0, 1, 0xF0, 0x30},  // FRAME ALL, one column: both sides
      {0x60, 0, 0, 1, 0x00, 0x80},  // FRAME NONE: no sides whatever COLSEP says
      {0x40, 1, 0, 4, 0xF0, 0x20},  // COLSEP 1 ROWSEP 0: right rule, none below
      {0x40, 1, 0, 4, 0x30, 0x20},  // SIDES: not column 0, so no left rule
      {0x00, 1, 2, 4, 0x30, 0x20},  // a span to the last column takes the frame's right
      {0x40, 1, 2, 4, 0x00, 0x00},  // ... and not COLSEP
      {0x04, 1, 0, 4, 0x00, 0x01},  // JUSTIFY
      {0x05, 1, 0, 4, 0x00, 0x01},  // CHAR
      {0x02, 1, 0, 4, 0x00, 0x02},  // RIGHT
      {0x03, 1, 0, 4, 0x00, 0x03},  // CENTER
      {0x08, 1, 0, 4, 0x00, 0x04},  // MIDDLE
      {0x10, 1, 0, 4, 0x00, 0x08},  // BOTTOM
      {0x18, 1, 0, 4, 0x00, 0x00},  // both VALIGN bits: top
  };
  for (const CellCase& c : cases) {
    CalsCell cell(0, static_cast<std::int16_t>(c.column), static_cast<std::int16_t>(c.span), 0, 0,
                  c.format, 0, 1, static_cast<std::int16_t>(c.count), c.frame);
    EXPECT_EQ(cell.flags, c.flags) << "format " << int(c.format) << " column " << c.column;
  }
}

TEST(CalsCell, OffsetIsThreeBytes) {
  CalsCell cell(70000, 0, 0, 0, 0, 0, 0, 1, 1, 0);
  EXPECT_EQ(cell.position[0], 1);
  EXPECT_EQ(cell.position[1], 17);
  EXPECT_EQ(cell.position[2], 112);
  EXPECT_EQ(cell.GetTextOffset(), 70000);
  CalsCell wide(0x1234567, 0, 0, 0, 0, 0, 0, 1, 1, 0);
  EXPECT_EQ(wide.GetTextOffset(), 0x234567);  // the low 24 bits
}

int g_deleted = 0;
class CountedItem : public LayoutItem {
 public:
  CountedItem() : LayoutItem(0, nullptr) {}
  ~CountedItem() override { ++g_deleted; }
};

TEST(CalsCell, DeletesItsContent) {
  Pool pool;
  g_deleted = 0;
  auto* cell = new CalsCell(0, 0, 0, 0, 0, 0, 0, 1, 1, 0);
  for (int i = 0; i < 3; ++i) cell->content.Append(new (pool.Arena()) CountedItem);
  delete cell;
  EXPECT_EQ(g_deleted, 3);
}

// One format is held by every item of every cell of a large document.
TEST(CalsCell, AFormatHeldByMoreThan65535ItemsStaysUntilTheLast) {
  g_deleted = 0;
  class Counted : public RefObject {
   public:
    ~Counted() override { ++g_deleted; }
  };
  auto* shared = new Counted;
  for (int i = 0; i < 70000; ++i) shared->AddRef();
  for (int i = 0; i < 70000; ++i) shared->Release();
  EXPECT_EQ(g_deleted, 0);
  EXPECT_EQ(shared->UseCount(), 1u);
  shared->Release();
  EXPECT_EQ(g_deleted, 1);
}

// ---- Widths -----------------------------------------------------------------------------

TEST(CalsWidths, ColWidthTexts) {
  struct Case {
    const char* text;
    std::int32_t fixed, share;
  } const cases[] = {
      {nullptr, 0, 10}, {"", 0, 0}, {"1in+2*", 720, 20}, {"2 * + 3pt", 30, 20}, {"2+3", 3600, 0},
      {"1.25in", 900, 0}, {"1.999in", 1432, 0}, {"2.in", 1440, 0}, {"1cm", 283, 0}, {"1mm", 28, 0},
      {"0.5*", 0, 5}, {"12px", 0, 10}, {"-1in", 0, 10}, {"1xin", 0, 10}, {"1 in2x", 0, 10},
      {"1.25*", 0, 12}, {"1.1*", 0, 11}, {"3PI", 360, 0}, {"*", 0, 10}, {"1IN", 720, 0},
      // Absurd values saturate instead of wrapping.
      {"999999999999999999999999cm", 2147483647, 0},
      {"99999999999999999999*+99999999999999999999*", 2147483647 - 2147483647, 2147483647},
  };
  for (const Case& c : cases) {
    ColWidth w = ParseColWidth(c.text);
    EXPECT_EQ(w.fixed, c.fixed) << (c.text ? c.text : "(absent)");
    EXPECT_EQ(w.share, c.share) << (c.text ? c.text : "(absent)");
  }
}

// ---- Tables through the formatter -------------------------------------------------------

// Pictures it is asked for are tokens it counts.
class TableView : public test::TestView {
 public:
  using TestView::TestView;
  void* TakePicture(void*, TextFormat*) override {
    ++taken;
    return &picture;
  }
  void ReturnPicture(void* p, TextFormat*) override { returned += p == &picture; }
  int taken = 0, returned = 0, picture = 0;
};

class Tables : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(QsInitialize(0, "test", nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    sheet.AddUse();
    view = new TableView(&device);
    PushCurrentView(view, false);
  }
  void TearDown() override {
    bands.DeleteAll();
    boxes.DeleteAll();
    view->SetFrameNode(nullptr);
    if (frame) frame->Release();
    docHolder.reset();
    PopCurrentView();
    view->Release();
    sheet.ClearRules();
    QsTerminate();
  }
  StyleRule* Rule(const char* tag) { return sheet.AddRule(new StyleRule(tag, 0)); }
  // The CALS roles on the usual names.
  void CalsSheet() { Rule("TABLE")->table = 3; }
  // Formats the markup; returns the tables as text.
  std::string Format(const char* markup) {
    doc.Build(markup);
    frame = new FrameNode(doc.Doc(), &sheet, 0, nullptr);
    frame->Rebuild();
    view->SetFrameNode(frame);
    std::string out;
    for (auto* n = frame->items.First(); n; n = n->Next())
      out += test::DumpTableItem(static_cast<LayoutItem*>(n));
    return out;
  }
  LayoutItem* FirstTable() {
    for (auto* n = frame->items.First(); n; n = n->Next())
      if (dynamic_cast<CalsTableItem*>(n) || dynamic_cast<TableItem*>(n)) return static_cast<LayoutItem*>(n);
    return nullptr;
  }
  // The table's box (kept in `boxes`).
  DisplayBox* Box() {
    LayoutItem* item = FirstTable();
    if (!item) return nullptr;
    item->MakeBoxes(boxes);
    return static_cast<DisplayBox*>(boxes.Last());
  }

  test::RecordingSink sink_;
  test::TestDevice device{96, 1000, 2000};
  TableView* view = nullptr;
  StyleSheet sheet{static_cast<ExternalId*>(nullptr)};
  std::unique_ptr<test::DocBuilder> docHolder = std::make_unique<test::DocBuilder>();
  test::DocBuilder& doc = *docHolder;
  FrameNode* frame = nullptr;
  ListHead boxes, bands;
};

TEST_F(Tables, ColumnSpecsBeyondColsAreIgnoredAndMissingOnesTakeAShare) {
  CalsSheet();
  std::string out = Format(
      "<R><TABLE><TGROUP COLS=3><COLSPEC COLWIDTH=1in/><COLSPEC/>"
      "<TBODY><ROW><ENTRY>a</ENTRY></ROW></TBODY></TGROUP>"
      "<TGROUP COLS=3><COLSPEC/><COLSPEC/><COLSPEC/><COLSPEC COLWIDTH=5in/>"
      "<TBODY><ROW><ENTRY>b</ENTRY></ROW></TBODY></TGROUP></TABLE></R>");
  EXPECT_NE(out.find("GROUP cols=3 rows=1 fixed=720 share=20\n"), std::string::npos) << out;
  EXPECT_NE(out.find("GROUP cols=3 rows=1 fixed=0 share=30\n"), std::string::npos) << out;
}

TEST_F(Tables, NamedSpansTakeTheirSpecsRulesAndFillersFillTheRow) {
  CalsSheet();
  std::string out = Format(
      "<R><TABLE FRAME=NONE><TGROUP COLS=5 COLSEP=0 ROWSEP=0>"
      "<COLSPEC COLNAME=c1/><COLSPEC COLNAME=c2 ROWSEP=1 ALIGN=center/><COLSPEC COLNAME=c3/>"
      "<COLSPEC COLNAME=c4 COLSEP=1 ALIGN=right/><COLSPEC COLNAME=c5 COLSEP=1/>"
      "<TBODY><ROW><ENTRY NAMEST=c2 NAMEEND=c4>span</ENTRY></ROW>"
      "<ROW><ENTRY>x</ENTRY><ENTRY COLNAME=c4>y</ENTRY></ROW>"
      "<ROW><ENTRY NAMEST=c3 NAMEEND=c1>left</ENTRY><ENTRY COLNAME=nosuch>auto</ENTRY></ROW>"
      "</TBODY></TGROUP></TABLE></R>");
  // Row 0: a filler in column 0 at the span's start, the span over 1-3
  // with COLSEP of c4 and ROWSEP and ALIGN of c2, a filler in 4 at the
  // row's end.
  EXPECT_NE(out.find("CELL g0 p1 r0+0 c0+0 f=00 @0 filler items=0\n"
                     "  CELL g0 p1 r0+0 c1+2 f=A3 @0 items=3\n"
                     "  CELL g0 p1 r0+0 c4+0 f=00 @4 filler items=0\n"),
            std::string::npos)
      << out;
  // Row 1: x in 0, fillers for 1 and 2 at y's start, y in 3, 4 at the end.
  EXPECT_NE(out.find("CELL g0 p1 r1+0 c0+0 f=00 @4 items=3\n"
                     "  CELL g0 p1 r1+0 c1+0 f=83 @5 filler items=0\n"
                     "  CELL g0 p1 r1+0 c2+0 f=00 @5 filler items=0\n"
                     "  CELL g0 p1 r1+0 c3+0 f=22 @5 items=3\n"
                     "  CELL g0 p1 r1+0 c4+0 f=00 @6 filler items=0\n"),
            std::string::npos)
      << out;
  // Row 2: an end left of the start is one column; an unknown name is
  // placed automatically after it. The last row takes FRAME NONE's bottom.
  EXPECT_NE(out.find("CELL g0 p1 r2+0 c2+0 f=00 @6 items=3\n"), std::string::npos) << out;
  // Placed automatically, it takes column 3's COLSEP and ALIGN.
  EXPECT_NE(out.find("CELL g0 p1 r2+0 c3+0 f=22 @10 items=3\n"), std::string::npos) << out;
}

TEST_F(Tables, MoreRowsHoldTheirColumnAndAreCutAtTheSectionEnd) {
  CalsSheet();
  std::string out = Format(
      "<R><TABLE><TGROUP COLS=2><TBODY>"
      "<ROW><ENTRY MOREROWS=1>a</ENTRY><ENTRY>b</ENTRY></ROW>"
      "<ROW><ENTRY>c</ENTRY></ROW>"
      "<ROW><ENTRY MOREROWS=99>d</ENTRY><ENTRY MOREROWS=-1>e</ENTRY></ROW>"
      "</TBODY></TGROUP></TABLE></R>");
  EXPECT_NE(out.find("CELL g0 p1 r0+1 c0+0 f=F0 @0 items=3\n"), std::string::npos) << out;
  // Row 1's entry goes to column 1; no filler stands under a.
  EXPECT_NE(out.find("  CELL g0 p1 r0+0 c1+0 f=E0 @1 items=3\n  CELL g0 p1 r1+0 c1+0 f=A0 @2 items=3\n"
                     "  CELL g0 p1 r2+0"),
            std::string::npos)
      << out;
  // 99 more rows are cut to the last row; -1 counts as 0.
  EXPECT_NE(out.find("CELL g0 p1 r2+0 c0+0 f=B0 @3 items=3\n  CELL g0 p1 r2+0 c1+0 f=A0 @4 items=3\n"),
            std::string::npos)
      << out;
}

TEST_F(Tables, FootBeforeBodyAndAHeadWithItsOwnColumns) {
  CalsSheet();
  std::string out = Format(
      "<R><TABLE><TGROUP COLS=1>"
      "<THEAD><COLSPEC COLWIDTH=2in/><ROW><ENTRY>h</ENTRY></ROW></THEAD>"
      "<TFOOT><ROW><ENTRY>f</ENTRY></ROW></TFOOT>"
      "<TBODY><ROW><ENTRY>b</ENTRY></ROW></TBODY></TGROUP></TABLE></R>");
  EXPECT_EQ(out,
            "CALS @0 groups=2 wide=0\n"
            " GROUP cols=1 rows=1 fixed=1440 share=0\n"
            "  CELL g0 p0 r0+0 c0+0 f=F0 @0 items=3\n"  // the head's own group comes first
            " GROUP cols=1 rows=2 fixed=0 share=10\n"
            "  CELL g0 p1 r0+0 c0+0 f=B0 @2 items=3\n"  // body rows are numbered first
            "  CELL g0 p2 r1+0 c0+0 f=B0 @1 items=3\n");  // the frame's top only in the first group
}

TEST_F(Tables, FrameKeywordsAndBadColumnCounts) {
  CalsSheet();
  std::string out = Format(
      "<R><TABLE FRAME=sides><TGROUP COLS=2 ROWSEP=1><TBODY><ROW><ENTRY>a</ENTRY><ENTRY>b</ENTRY></ROW>"
      "<ROW><ENTRY>c</ENTRY><ENTRY>d</ENTRY></ROW></TBODY></TGROUP></TABLE>"
      "<TABLE FRAME=bogus><TGROUP COLS=-3><COLSPEC/><TBODY><ROW><ENTRY>e</ENTRY></ROW></TBODY></TGROUP></TABLE>"
      "<TABLE><TGROUP COLS=0><TBODY><ROW><ENTRY>f</ENTRY></ROW></TBODY></TGROUP>"
      "<TGROUP COLS=70000><TBODY><ROW><ENTRY>g</ENTRY></ROW></TBODY></TGROUP></TABLE></R>");
  // SIDES: left on column 0, right on the last, no top, none under the
  // last row; ROWSEP keeps the rule under the first row.
  EXPECT_NE(out.find("CELL g0 p1 r0+0 c0+0 f=B0 @0 items=3\n  CELL g0 p1 r0+0 c1+0 f=A0"), std::string::npos) << out;
  EXPECT_NE(out.find("CELL g0 p1 r1+0 c0+0 f=30 @2 items=3\n  CELL g0 p1 r1+0 c1+0 f=20"), std::string::npos) << out;
  // An unknown FRAME is ALL; COLS -3 is absent: the COLSPECs count.
  EXPECT_NE(out.find("GROUP cols=1 rows=1 fixed=0 share=10\n  CELL g0 p1 r0+0 c0+0 f=F0 @4"), std::string::npos) << out;
  // COLS 0 without COLSPECs makes no group; 70000 is 1000 columns, each
  // with a filler.
  EXPECT_NE(out.find("CALS @5 groups=1 wide=0\n GROUP cols=1000 rows=1"), std::string::npos) << out;
  EXPECT_NE(out.find("CELL g1 p1 r0+0 c999+0 f=E0 @7 filler"), std::string::npos) << out;
}

TEST_F(Tables, XmlNamesInLowerCase) {
  Rule("table")->table = 3;
  std::string out = Format(
      "<r><table><title>T</title><tgroup cols=2><colspec colname=a colwidth=1*/><colspec colname=b/>"
      "<tbody><row><entry namest=a nameend=b morerows=0>x</entry></row></tbody></tgroup></table></r>");
  EXPECT_NE(out.find("CALS @1 groups=1 wide=0\n GROUP cols=2 rows=1 fixed=0 share=20\n"
                     "  CELL g0 p1 r0+0 c0+1 f=F0 @1 items=3\n"),
            std::string::npos)
      << out;
}

// ---- Boxes ------------------------------------------------------------------------------

TEST_F(Tables, ProportionalAndFixedColumnsShareTheWidth) {
  CalsSheet();
  Format("<R><TABLE><TGROUP COLS=3><COLSPEC COLWIDTH=1*/><COLSPEC COLWIDTH=2*/><COLSPEC COLWIDTH=1in/>"
         "<TBODY><ROW><ENTRY>a</ENTRY><ENTRY>b</ENTRY><ENTRY>c</ENTRY></ROW></TBODY></TGROUP></TABLE></R>");
  auto* box = dynamic_cast<CalsTableBox*>(Box());
  ASSERT_NE(box, nullptr);
  box->groups[0].DistributeWidth(1000);
  EXPECT_EQ(box->groups[0].columnEdges[0], 301);
  EXPECT_EQ(box->groups[0].columnEdges[1], 904);
  EXPECT_EQ(box->groups[0].columnEdges[2], 1000);
}

TEST_F(Tables, FixedColumnsHaveEqualMinimumAndMaximumUnlessPageWide) {
  CalsSheet();
  Format("<R><TABLE><TGROUP COLS=2><COLSPEC COLWIDTH=1in/><COLSPEC COLWIDTH=2in/>"
         "<TBODY><ROW><ENTRY>a</ENTRY><ENTRY>b</ENTRY></ROW></TBODY></TGROUP></TABLE>"
         "<TABLE PGWIDE=1><TGROUP COLS=1><COLSPEC COLWIDTH=1in/>"
         "<TBODY><ROW><ENTRY>a</ENTRY></ROW></TBODY></TGROUP></TABLE></R>");
  LayoutItem* first = FirstTable();
  first->MakeBoxes(boxes);
  auto* box = static_cast<CalsTableBox*>(boxes.Last());
  EXPECT_EQ(box->GetMinWidth(), 288);
  EXPECT_EQ(box->maxWidth, 288);
  box->SplitAt(900);
  EXPECT_EQ(box->GetWidth(), 288);
  box->SplitAt(10);  // below the minimum: the minimum
  EXPECT_EQ(box->GetWidth(), 288);
  LayoutItem* second = first->NextItem();
  while (second && !dynamic_cast<CalsTableItem*>(second)) second = second->NextItem();
  ASSERT_NE(second, nullptr);
  second->MakeBoxes(boxes);
  auto* wide = static_cast<CalsTableBox*>(boxes.Last());
  wide->SplitAt(900);
  EXPECT_EQ(wide->GetWidth(), 96);  // the fixed edge: nothing proportional to stretch
}

TEST_F(Tables, CellHeightsSpansAlignmentAndRulesDrawnOnce) {
  CalsSheet();
  Format("<R><TABLE FRAME=NONE><TGROUP COLS=3 COLSEP=1 ROWSEP=0>"
         "<COLSPEC COLWIDTH=1in/><COLSPEC COLWIDTH=1in/><COLSPEC COLWIDTH=1in/><TBODY>"
         "<ROW><ENTRY MOREROWS=2>tall</ENTRY><ENTRY ALIGN=CENTER>ab</ENTRY><ENTRY VALIGN=MIDDLE></ENTRY></ROW>"
         "<ROW><ENTRY></ENTRY><ENTRY></ENTRY></ROW><ROW><ENTRY></ENTRY><ENTRY></ENTRY></ROW>"
         "</TBODY></TGROUP></TABLE></R>");
  auto* box = dynamic_cast<CalsTableBox*>(Box());
  ASSERT_NE(box, nullptr);
  CalsGroupLayout& g = box->groups[0];
  // Empty cells are 12 points: 16 pixels at 96 dpi.
  EXPECT_EQ(g.rowEdges[0], 16);
  EXPECT_EQ(g.rowEdges[2], 48);
  EXPECT_EQ(box->GetAscent(), 48);
  device.log.clear();
  box->Draw(0, 48);
  // The rule between column 0 and 1 is drawn once, by the left cell.
  int at96 = 0;
  for (std::size_t p = 0; (p = device.log.find("LINE 96 ", p)) != std::string::npos; ++p) ++at96;
  EXPECT_EQ(at96, 1) << device.log;
  // "ab" (16 wide) centred in 96 starts at 96 + 40.
  int x = 0, y = 0;
  box->PointOf(5, &x, &y);
  EXPECT_EQ(x, 136);
}

// The x of the rightmost vertical line in a device log.
static int RightmostVertical(const std::string& log) {
  int most = -1;
  for (std::size_t p = 0; (p = log.find("LINE ", p)) != std::string::npos; ++p) {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    if (std::sscanf(log.c_str() + p, "LINE %d %d %d %d", &x1, &y1, &x2, &y2) == 4 && x1 == x2 && x1 > most)
      most = x1;
  }
  return most;
}

// A table as wide as the view keeps its right rule on the view: the frame
// is drawn on the table's last pixel column, not one past it.
TEST_F(Tables, TheRightRuleOfAFullWidthTableIsDrawnInsideIt) {
  CalsSheet();
  Format("<R><TABLE PGWIDE=1 FRAME=ALL><TGROUP COLS=2 COLSEP=1 ROWSEP=1><COLSPEC COLWIDTH=1*/><COLSPEC COLWIDTH=1*/>"
         "<TBODY><ROW><ENTRY>a</ENTRY><ENTRY>b</ENTRY></ROW></TBODY></TGROUP></TABLE></R>");
  auto* cals = dynamic_cast<CalsTableBox*>(Box());
  ASSERT_NE(cals, nullptr);
  cals->SplitAt(1000);
  ASSERT_EQ(cals->GetWidth(), 1000);
  device.log.clear();
  cals->Draw(0, cals->GetAscent());
  EXPECT_EQ(RightmostVertical(device.log), 999) << device.log;
  EXPECT_NE(device.log.find("LINE 500 "), std::string::npos) << "the rule between the columns stays";
}

TEST_F(Tables, TheRightFrameOfAGridTableIsDrawnInsideIt) {
  Rule("T")->table = 1;
  Rule("TR")->table = 4;
  Rule("TD")->table = 13;
  Format("<R><T><TR><TD>aa</TD><TD>bb</TD></TR></T></R>");
  auto* grid = dynamic_cast<TableBox*>(Box());
  ASSERT_NE(grid, nullptr);
  grid->SplitAt(100000);
  device.log.clear();
  grid->Draw(0, grid->GetAscent());
  EXPECT_EQ(RightmostVertical(device.log), grid->GetWidth() - 1) << device.log;
}

// The lines a paint drew, as (x1, y1, x2, y2).
static std::vector<std::array<int, 4>> DrawnLines(const std::string& log) {
  std::vector<std::array<int, 4>> lines;
  for (std::size_t p = 0; (p = log.find("LINE ", p)) != std::string::npos; ++p) {
    std::array<int, 4> l{};
    if (std::sscanf(log.c_str() + p, "LINE %d %d %d %d", &l[0], &l[1], &l[2], &l[3]) == 4) lines.push_back(l);
  }
  return lines;
}

// Shown by a view that fills the device, a table keeps every rule inside its
// box and the window: the right frame on its last pixel column (the view's
// last for a table as wide as the view), the horizontal rules ending there
// (a line's last point is not drawn), nothing beyond. Indents narrow the
// table, and its right rule moves in with them.
TEST_F(Tables, AViewShowsAFullWidthTablesRightRuleOnItsLastPixelColumn) {
  // Words short enough to fit the narrowest room on any platform's default
  // font, enough of them that a grid table wraps to the room it is given.
  const std::string word(20, 'w');
  std::string words = word;
  for (int i = 1; i < 10; ++i) words += " " + word;
  struct {
    const char* name;
    bool grid;
    int left, right;  // the table's SPC-LEFT and SPC-RIGHT in points
  } cases[] = {
      {"CALS", false, 0, 0}, {"CALS indented", false, 15, 30},
      {"grid", true, 0, 0},  {"grid indented", true, 15, 30},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sheet.ClearRules();
    StyleRule* rule = Rule(c.grid ? "T" : "TABLE");
    rule->table = c.grid ? 1 : 3;
    if (c.grid) {
      Rule("TR")->table = 4;
      Rule("TD")->table = 13;
    }
    if (c.left) rule->spaceLeft = StyleProps::MakeLength(c.left, StyleProps::kAbsolute);
    if (c.right) rule->spaceRight = StyleProps::MakeLength(c.right, StyleProps::kAbsolute);
    const std::string markup =
        c.grid ? "<R><T><TR><TD>" + word + "</TD><TD>" + words + "</TD></TR>"
                     "<TR><TD>c</TD><TD>d</TD></TR></T></R>"
               : "<R><TABLE PGWIDE=1 FRAME=ALL><TGROUP COLS=3 COLSEP=1 ROWSEP=1>"
                 "<COLSPEC COLNAME=c1 COLWIDTH=1*/><COLSPEC COLNAME=c2 COLWIDTH=2*/>"
                 "<COLSPEC COLNAME=c3 COLWIDTH=1*/><TBODY><ROW><ENTRY>a</ENTRY><ENTRY>b</ENTRY>"
                 "<ENTRY>c</ENTRY></ROW><ROW><ENTRY>d</ENTRY><ENTRY NAMEST=c2 NAMEEND=c3>ef</ENTRY>"
                 "</ROW></TBODY></TGROUP></TABLE></R>";
    test::DocBuilder built;
    built.Build(markup.c_str());
    auto* shown = new FrameNode(built.Doc(), &sheet, 0, nullptr);
    shown->Rebuild();
    // The view owns the frame's use from here and drops it when emptied.
    view->SetFrame(shown, 0, true);
    device.log.clear();
    view->OnPaint();
    const auto lines = DrawnLines(device.log);
    std::string dump;
    for (auto* n = shown->items.First(); n; n = n->Next()) dump += test::DumpTableItem(static_cast<LayoutItem*>(n));
    view->SetFrame(nullptr, 0, false);
    ASSERT_FALSE(lines.empty()) << device.log << "|" << dump;
    int leftmost = device.width, rightmost = -1, rightEnd = -1;
    for (const auto& l : lines) {
      if (l[0] == l[2]) {
        leftmost = std::min(leftmost, l[0]);
        rightmost = std::max(rightmost, l[0]);
      } else {
        rightEnd = std::max(rightEnd, std::max(l[0], l[2]));
      }
      EXPECT_GE(std::min(l[0], l[2]), 0) << device.log;
      EXPECT_LE(std::max(l[0], l[2]), device.width) << device.log;
      if (l[0] == l[2]) {
        EXPECT_LT(l[0], device.width) << device.log;
      }
    }
    // The horizontal rules end just past the right rule: it stands inside
    // the table, on the pixel column where they stop.
    EXPECT_EQ(rightEnd, rightmost + 1) << device.log;
    const int table = rightmost + 1 - leftmost;
    if (!c.left && !c.right) {
      EXPECT_EQ(leftmost, 0) << device.log;
      // The page-wide CALS table is the view's width; the grid table, whose
      // text asks for more than the view, is as wide as its broken lines.
      if (!c.grid) EXPECT_EQ(rightmost, device.width - 1) << device.log;
    } else {
      EXPECT_GT(leftmost, 0) << device.log;
      EXPECT_LT(rightmost, device.width - 1) << device.log;
      EXPECT_GT(table, device.width / 2) << device.log;
    }
  }
}

TEST_F(Tables, MiddleAlignmentInASlightlyTallerCell) {
  CalsSheet();
  Format("<R><TABLE><TGROUP COLS=1><TBODY><ROW><ENTRY VALIGN=MIDDLE>x</ENTRY></ROW></TBODY></TGROUP></TABLE></R>");
  auto* box = dynamic_cast<CalsTableBox*>(Box());
  ASSERT_NE(box, nullptr);
  CalsCellBox* cell = box->groups[0].FirstCellBox();
  ASSERT_NE(cell, nullptr);
  EXPECT_EQ(cell->VerticalOffset(0, cell->contentHeight + 3), 1);
  EXPECT_EQ(cell->VerticalOffset(10, cell->contentHeight + 14), 12);
}

TEST_F(Tables, BandsRepeatTheHeadAndTheFoot) {
  CalsSheet();
  std::string markup = "<R><TABLE><TGROUP COLS=1><THEAD><ROW><ENTRY>H</ENTRY></ROW></THEAD>"
                       "<TFOOT><ROW><ENTRY>F</ENTRY></ROW></TFOOT><TBODY>";
  for (int i = 0; i < 40; ++i) markup += "<ROW><ENTRY>b</ENTRY></ROW>";
  markup += "</TBODY></TGROUP><TGROUP COLS=1><THEAD><ROW><ENTRY>H2</ENTRY></ROW></THEAD><TBODY>";
  for (int i = 0; i < 10; ++i) markup += "<ROW><ENTRY>c</ENTRY></ROW>";
  markup += "</TBODY></TGROUP></TABLE></R>";
  Format(markup.c_str());
  DisplayBox* box = Box();
  ASSERT_NE(box, nullptr);
  boxes.Unlink(box);
  // Rows are 16 high: a 300-pixel page holds 18 rows.
  box->AppendTo(300, 300, bands);
  std::string out = test::DumpBands(bands);
  EXPECT_EQ(out,
            // First band: the head as an ordinary row, the body, the foot
            // repeated: 18 rows of 16 on a 300-pixel page.
            "BAND head=-1--1 body=0-16 foot=41-41 h=288\n"
            // Later bands repeat the head row 0 on top.
            "BAND head=0-0 body=17-32 foot=41-41 h=288\n"
            // The band that reaches the foot shows it once, and the second
            // group's head and first rows follow on the same page.
            "BAND head=0-0 body=33-49 foot=-1--1 h=288\n"
            // The second group repeats its own head, not the first one's.
            "BAND head=42-42 body=50-52 foot=-1--1 h=64\n")
      << out;
}

TEST_F(Tables, ARunTallerThanAPageStaysOneBand) {
  CalsSheet();
  Format("<R><TABLE><TGROUP COLS=2><TBODY>"
         "<ROW><ENTRY>a</ENTRY><ENTRY>b</ENTRY></ROW>"
         "<ROW><ENTRY MOREROWS=5>long</ENTRY><ENTRY>1</ENTRY></ROW>"
         "<ROW><ENTRY>2</ENTRY></ROW><ROW><ENTRY>3</ENTRY></ROW><ROW><ENTRY>4</ENTRY></ROW>"
         "<ROW><ENTRY>5</ENTRY></ROW><ROW><ENTRY>6</ENTRY></ROW><ROW><ENTRY>z</ENTRY></ROW>"
         "</TBODY></TGROUP></TABLE></R>");
  DisplayBox* box = Box();
  boxes.Unlink(box);
  box->AppendTo(40, 40, bands);
  EXPECT_EQ(test::DumpBands(bands),
            "BAND head=-1--1 body=0-0 foot=-1--1 h=16\n"
            "BAND head=-1--1 body=1-6 foot=-1--1 h=96\n"
            "BAND head=-1--1 body=7-7 foot=-1--1 h=16\n");
}

TEST_F(Tables, ATableWithoutRowsMakesNoBand) {
  CalsSheet();
  Format("<R><TABLE><TITLE>t</TITLE></TABLE></R>");
  DisplayBox* box = Box();
  ASSERT_NE(box, nullptr);
  boxes.Unlink(box);
  box->AppendTo(100, 100, bands);  // goes, under ASan without a leak
  EXPECT_TRUE(bands.IsEmpty());
}

TEST_F(Tables, CopyAndHighlightWalkTheCells) {
  CalsSheet();
  Format("<R>ab<TABLE><TGROUP COLS=2><TBODY><ROW><ENTRY>cd</ENTRY><ENTRY>ef</ENTRY></ROW>"
         "</TBODY></TGROUP></TABLE>gh</R>");
  LayoutItem* item = FirstTable();
  ASSERT_NE(item, nullptr);
  char text[32] = {};
  const std::int32_t n = item->CopyText(0, 100, text, sizeof text);
  EXPECT_NE(std::string(text, n).find("cd"), std::string::npos);
  EXPECT_NE(std::string(text, n).find("ef"), std::string::npos);
  char small[3] = {};
  EXPECT_LE(item->CopyText(0, 100, small, sizeof small), 3);  // never past the room
  DisplayBox* box = Box();
  RangeEntry range{3, 5, nullptr};
  MarkRecord record;
  record.baseline = box->GetAscent();
  record.entry = &range;
  device.log.clear();
  box->HighlightRanges(record);
  EXPECT_NE(device.log.find("INVERT"), std::string::npos);
  EXPECT_EQ(record.entry, nullptr);  // the range ended inside the table
  EXPECT_EQ(box->PositionAt(1, -1), box->GetStart());
}


// ---- Grid tables ------------------------------------------------------------------------

TEST_F(Tables, GridRowsAndCellsFromRoles) {
  Rule("T")->table = 1;
  Rule("TN")->table = 2;
  Rule("TR")->table = 4;
  Rule("TD")->table = 13;
  Rule("W")->table = 5;
  std::string out = Format(
      "<R><T>\n  <TR>\n    <TD>a</TD>\n    <TD>b</TD>\n  </TR>\n"
      "  <TR><TD COLSTART=3 COLSPAN=2>c</TD><TD>d</TD></TR>"
      "  <TR><TD COLSTART=-5 ROWSPAN=0>e</TD><TD COLSPAN=40000>f</TD></TR>"
      "  <TR><W>g</W><TD>h</TD></TR><TR><TD>i</TD><W>j</W></TR></T>"
      "<TN><TR><TD>k</TD></TR></TN></R>");
  EXPECT_EQ(out,
            "GRID @0 frame=F\n"
            // Indented rows make no cells between their cells.
            " CELL r1+0 c0+0 f=0F items=3\n"
            " CELL r1+0 c1+0 f=0F items=3\n"
            // COLSTART 3 COLSPAN 2: columns 2 and 3; the next cell in 4.
            " CELL r2+0 c2+1 f=0F items=3\n"
            " CELL r2+0 c4+0 f=0F items=3\n"
            // Starts and spans below 1 are 1; a span stops at the grid's end.
            " CELL r3+0 c0+0 f=0F items=3\n"
            " CELL r3+0 c1+32765 f=0F items=3\n"
            // A stretching cell that is not its row's rightmost is one column;
            // the rightmost reaches the last column.
            " CELL r4+0 c0+0 f=0F items=3\n"
            " CELL r4+0 c1+0 f=0F items=3\n"
            " CELL r5+0 c0+0 f=0F items=3\n"
            " CELL r5+0 c1+32765 f=0F items=3\n"
            // TBL-NL: no lines.
            "GRID @" + std::to_string(doc.Doc()->Root()->Last()->start) + " frame=0\n"
            " CELL r1+0 c0+0 f=00 items=3\n")
      << out;
}

TEST_F(Tables, GridFitsBetweenMinimumAndNaturalWidthsAndBandsKeepSpannedRows) {
  Rule("T")->table = 1;
  Rule("TR")->table = 4;
  Rule("TD")->table = 13;
  Format("<R><T><TR><TD>aaaa bbbb</TD><TD ROWSPAN=2>cc</TD></TR><TR><TD>dd</TD></TR>"
         "<TR><TD>e</TD></TR></T></R>");
  auto* box = dynamic_cast<TableBox*>(Box());
  ASSERT_NE(box, nullptr);
  // 8 px a character at 96 dpi: "bbbb" is the widest box (32) with its blank.
  EXPECT_EQ(box->GetMinWidth(), box->minTableWidth);
  EXPECT_GT(box->naturalTableWidth, box->minTableWidth);
  box->SplitAt(1);
  EXPECT_EQ(box->GetWidth(), box->minTableWidth);
  box->SplitAt(100000);
  EXPECT_EQ(box->GetWidth(), box->naturalTableWidth);
  device.log.clear();
  box->Draw(0, box->GetAscent());
  EXPECT_NE(device.log.find("LINE 0 0 " + std::to_string(box->GetWidth()) + " 0"), std::string::npos);
  // Rows 1 and 2 (the spanning cell's) never part; a first row taller
  // than the first limit gives one empty band first.
  boxes.Unlink(box);
  box->AppendTo(5, 30, bands);
  std::string out = test::DumpBands(bands);
  // A run taller than a page goes whole, without a blank page before it.
  EXPECT_EQ(out, "BAND rows=0--1 h=8\nBAND rows=0-0 h=8\nBAND rows=1-2 h=40\nBAND rows=3-3 h=20\n");
}

// ---- Rulers, markers, icons -------------------------------------------------------------

TEST_F(Tables, RulersSpanTheRoomAndNeverWidenACell) {
  Pool pool;
  RulerBeforeItem before(0, 3, nullptr);
  RulerAfterItem after(0, 3, nullptr);
  EXPECT_EQ(before.GetAscent(), 4);
  EXPECT_EQ(before.GetDescent(), 1);
  EXPECT_EQ(after.GetAscent(), 1);
  EXPECT_EQ(after.GetDescent(), 4);
  ListHead items;
  items.Append(new (pool.Arena()) RulerBeforeItem(0, 3, nullptr));
  ParagraphBox paragraph(nullptr, &items, 400, 0);
  EXPECT_EQ(paragraph.GetWidth(), 400);
  device.log.clear();
  paragraph.Draw(0, paragraph.GetAscent());
  EXPECT_NE(device.log.find("LINE 0 4 400 4\nLINE 0 5 400 5\n"), std::string::npos) << device.log;
  char text[8] = {};
  EXPECT_EQ(static_cast<LayoutItem*>(items.First())->CopyText(0, 10, text, sizeof text), 0);
  ListHead boxesOfRuler;
  static_cast<LayoutItem*>(items.First())->MakeBoxes(boxesOfRuler);
  EXPECT_EQ(static_cast<DisplayBox*>(boxesOfRuler.First())->GetMinWidth(), 1);
  boxesOfRuler.DeleteAll();
  items.DeleteAll();
}

TEST_F(Tables, MarkersAndElementIcons) {
  EngineBase* engine = GetEngine();
  ASSERT_NE(engine, nullptr);
  for (int i : {0, 1, 2, 12}) {
    engine->iconHalfHeight[i] = 16;
    engine->iconHalfWidth[i] = 12;
    engine->iconEighthHeight[i] = 4;
  }
  SetScreenDpi(96, 96);
  doc.Build("<R><A>x</A></R>");
  DocumentNode* a = doc.Doc()->Root()->First();
  LinkTargetMarkerItem target(a, nullptr);
  EmptyLinkSourceItem source(a, nullptr);
  EXPECT_EQ(target.GetPointerKind(), 12);
  EXPECT_EQ(source.GetPointerKind(), 1);
  EXPECT_EQ(target.GetAscent(), 12);
  EXPECT_EQ(target.GetWidth(), 12);
  HitContext context;
  EXPECT_EQ(target.PressRange(0, 0, context), 1);
  EXPECT_EQ(context.right, 12);
  EXPECT_EQ(context.bottom, 16);
  // A marker covering no position is never highlighted.
  RangeEntry range{0, 100, nullptr};
  MarkRecord record;
  record.entry = &range;
  record.height = 10;
  device.log.clear();
  target.HighlightRanges(record);
  EXPECT_EQ(device.log.find("INVERT"), std::string::npos);
  device.log.clear();
  target.Draw(5, 20);
  EXPECT_EQ(device.log, "ICON 0 5 8 1\n");
}

class ShowingView : public FrameView {
 public:
  explicit ShowingView(FrameTreeNode* frame) : frame_(frame) {}
  FrameTreeNode* ShownFrame() const override { return frame_; }
  void DetachFrame() override { frame_ = nullptr; }
  void BringToFront() override { ++raised; }
  int raised = 0;

 private:
  FrameTreeNode* frame_;
};

class CountingView : public test::TestView {
 public:
  using TestView::TestView;
  void ShowElement(DocumentNode*, DocumentNode*, std::int32_t) override { ++shown; }
  int shown = 0;
};

// Icon images by name: "photo" has one, its pictures 20 wide and 14 high
// with 4 below the baseline; uses and drawing are counted.
class IconPictures : public GraphicServices {
 public:
  IconPictures() { previous_ = SetGraphicServices(this); }
  ~IconPictures() override { SetGraphicServices(previous_); }
  GraphicObject* GetIconGraphic(StyleSheet*, const char* name) override {
    if (std::string(name) != "photo") return nullptr;
    ++uses;
    return Token(0);
  }
  void AddRef(GraphicObject*) override { ++uses; }
  void Release(GraphicObject*) override { --uses; }
  PictureGeometry Geometry(GraphicRenderer*) override {
    PictureGeometry g;
    g.width = 20, g.height = 14, g.descent = 4;
    return g;
  }
  void Draw(GraphicRenderer*, int x, int top, int pressed) override {
    drawn += std::to_string(x) + "," + std::to_string(top) + "," + std::to_string(pressed) + ";";
  }
  GraphicObject* Token(int i) { return reinterpret_cast<GraphicObject*>(&tokens_[i]); }
  int uses = 0;
  std::string drawn;

 private:
  GraphicServices* previous_;
  int tokens_[2] = {};
};

// A sheet's icon is the picture of the file its entity names, read where
// the sheet is; a name the sheet does not declare has none.
TEST_F(Tables, ASheetsIconIsThePictureOfItsFile) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("sheet_icon_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  // An 8-bit BMP, 6 x 4, two colours.
  std::string bmp(54, '\0');
  auto put = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<char>(v >> (8 * i));
  };
  bmp[0] = 'B', bmp[1] = 'M';
  put(10, 54 + 8), put(14, 40), put(18, 6), put(22, 4);
  bmp[26] = 1, bmp[28] = 8;
  put(46, 2);
  bmp += std::string("\0\0\0\0\xff\xff\xff\0", 8);
  bmp += std::string(4 * 8, '\1');
  put(2, static_cast<std::uint32_t>(bmp.size()));
  std::ofstream(dir / "photo.bmp", std::ios::binary) << bmp;
  std::ofstream(dir / "icons.ssh")
      << "<!DOCTYPE STYLESHEET [\n<!NOTATION BMP SYSTEM>\n"
         "<!ATTLIST #NOTATION BMP SSHTYPE CDATA #IMPLIED>\n"
         "<!ENTITY photo SYSTEM \"photo.bmp\" NDATA BMP [SSHTYPE=ICON]>\n]>\n"
         "<STYLESHEET VERSION=\"2.00\"><STYLE TAG=E><ICON V=photo></STYLE></STYLESHEET>\n";
  const std::string path = (dir / "icons.ssh").string();
  QsHandle handle = QsOpenStyleSheet(path.c_str(), nullptr, nullptr, 0);
  ASSERT_NE(handle, 0u);
  auto* icons = static_cast<StyleSheet*>(Handles()->LookupStyleSheet(handle));
  ASSERT_NE(icons, nullptr);
  ASSERT_NE(icons->FindIcon("photo"), nullptr);
  GraphicServices& graphics = GetGraphicServices();
  GraphicObject* picture = graphics.GetIconGraphic(icons, "PHOTO");
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->width, 6);
  EXPECT_EQ(picture->height, 4);
  EXPECT_EQ(graphics.GetIconGraphic(icons, "nosuch"), nullptr);
  graphics.Release(picture);
  QsReleaseHandle(handle);
  std::filesystem::remove_all(dir);
}

TEST_F(Tables, ANamedElementIconDrawsTheSheetsPicture) {
  IconPictures pictures;
  Format("<R>a<E>inside</E>b</R>");
  DocumentNode* e = doc.Doc()->Root()->First();
  PushFrameContext(frame);
  auto* icon = new (frame->ItemPool().Arena()) ElementIconItem(e, nullptr, frame, "photo");
  PopFrameContext();
  EXPECT_EQ(icon->IconImage(), pictures.Token(0));
  EXPECT_EQ(pictures.uses, 1);  // held by the item
  ListHead list;
  icon->MakeBoxes(list);
  auto* box = dynamic_cast<ElementIconBox*>(list.First());
  ASSERT_NE(box, nullptr);
  TableView* tableView = view;
  EXPECT_EQ(tableView->taken, 1);
  EXPECT_EQ(box->GetAscent(), 10);
  EXPECT_EQ(box->GetDescent(), 4);
  EXPECT_EQ(box->GetWidth(), 20);
  box->Draw(5, 30);
  EXPECT_EQ(pictures.drawn, "5,20,0;");
  // Marked whole when a range covers any of its positions.
  RangeEntry range{};
  range.start = static_cast<std::int32_t>(e->start), range.end = range.start + 1;
  MarkRecord record;
  record.x = 5, record.top = 20, record.height = 14, record.entry = &range;
  device.log.clear();
  box->HighlightRanges(record);
  EXPECT_EQ(device.log, "INVERT 5 20 25 34\n");
  // A replaced image: the new one is held instead of the old.
  ObjectReplacement change{pictures.Token(0), pictures.Token(1)};
  EXPECT_EQ(icon->HandleMessage(0, 0, kMsgReplaceObject, reinterpret_cast<std::intptr_t>(&change)), 1);
  EXPECT_EQ(icon->IconImage(), pictures.Token(1));
  EXPECT_EQ(pictures.uses, 1);
  EXPECT_EQ(icon->HandleMessage(0, 0, kMsgReplaceObject, reinterpret_cast<std::intptr_t>(&change)), 0);
  list.DeleteAll();
  EXPECT_EQ(tableView->returned, 1);  // the box handed its picture back
  icon->~ElementIconItem();
  EXPECT_EQ(pictures.uses, 0);
}

TEST_F(Tables, AnElementIconOpensItsFrameOnce) {
  Format("<R>a<E>inside</E>b</R>");
  DocumentNode* e = doc.Doc()->Root()->First();
  PushFrameContext(frame);
  auto* icon = new (frame->ItemPool().Arena()) ElementIconItem(e, nullptr, frame, "nosuch");
  PopFrameContext();
  ASSERT_NE(icon->GetOwnFrame(), nullptr);
  EXPECT_EQ(icon->IconImage(), nullptr);  // unknown: the stock icon
  EXPECT_EQ(icon->GetElement(), e);
  EXPECT_EQ(icon->GetPointerKind(), 11);
  char text[16] = {};
  const std::int32_t n = icon->CopyText(0, 100, text, sizeof text);
  EXPECT_NE(std::string(text, n).find("inside"), std::string::npos);
  auto* counting = new CountingView(&device);
  icon->Activate(counting, nullptr);
  EXPECT_EQ(counting->shown, 1);
  auto* showing = new ShowingView(icon->GetOwnFrame());
  FrameViews().Append(showing);
  icon->Activate(counting, nullptr);
  EXPECT_EQ(showing->raised, 1);
  EXPECT_EQ(counting->shown, 1);  // no second view
  showing->Remove();
  delete showing;
  counting->Release();
  icon->~ElementIconItem();
}

}  // namespace
}  // namespace qs
