// Pagination and the printed page: a test device as a 72-dpi printer logs
// the body band and the page texts of every page; each case lays out a
// document (or rows of boxes) page by page and compares what each page
// shows.
#include "layout/paged_view.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "api/exports.h"
#include "api/interface.h"
#include "../foundation/temp_folder.h"
#include "doc_builder.h"
#include "error_recorder.h"
#include "foundation/handle_table.h"
#include "layout/print_formatter.h"
#include "layout/print_frame.h"
#include "layout/print_items.h"
#include "layout/print_state.h"
#include "recording_sink.h"
#include "sgml/unicode_tables.h"
#include "style/navigator.h"
#include "style/style_sheet.h"
#include "style/text_format.h"
#include "test_device.h"
#include "view/print_margins.h"
#include "view/view_line.h"

namespace qs {
namespace {

using test::BoxSpec;

class PrinterLog : public test::TestDevice {
 public:
  using TestDevice::TestDevice;
  void PushClip(int l, int t, int r, int b) override {
    log += "CLIP " + std::to_string(l) + " " + std::to_string(t) + " " + std::to_string(r) + " " +
           std::to_string(b) + "\n";
  }
  void PopClip() override { log += "UNCLIP\n"; }
  void DrawTextW(int x, int y, const std::uint16_t* text, std::size_t count) override {
    std::string narrow;
    for (std::size_t i = 0; i < count; ++i) narrow += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    DrawText(x, y, narrow.data(), narrow.size());
  }
  int DrawPageText(int id, const char* text) override {
    log += "PT " + std::to_string(id) + " " + text + "\n";
    return 0;
  }
};

// A box that leaves nothing when it is broken again for a page.
class VanishingBox : public test::SpecBox {
 public:
  using SpecBox::SpecBox;
  void AppendTo(int, int, ListHead&) override { delete this; }
};
class VanishingItem : public test::SpecItem {
 public:
  using SpecItem::SpecItem;
  void MakeBoxes(ListHead& boxes) override { boxes.Append(new VanishingBox(this)); }
};

// A frame of rows (a plain frame, not a print frame): a row whose width is
// -1 to -3 is a page break of that kind, -100 a box that vanishes when it
// is broken again.
class RowFrame : public FrameTreeNode {
 public:
  explicit RowFrame(const std::vector<BoxSpec>& rows) : FrameTreeNode(nullptr, nullptr, 0) {
    std::int32_t position = 0;
    for (const BoxSpec& row : rows) {
      if (row.width == -100)
        items.Append(new (pool) VanishingItem(position, BoxSpec{.width = 10, .forced = true,
                                                                 .ascent = row.ascent,
                                                                 .descent = row.descent}));
      else if (row.width < 0)
        items.Append(new (pool) PageBreakItem(position, nullptr, static_cast<std::uint8_t>(-row.width)));
      else
        items.Append(new (pool) test::SpecItem(position, row));
      position += row.length;
    }
  }
  ~RowFrame() override { items.DeleteAll(); }
  Pool pool;
};

BoxSpec Row(int height, int width = 100) {
  return {.width = width, .forced = true, .ascent = height - 2, .descent = 2};
}
BoxSpec Break(int kind) { return {.width = -kind, .forced = true, .ascent = 0, .descent = 0}; }

// One page as a line: "<number> off=<carried> H[<header texts>] F[<footer
// texts>] B[<body texts and boxes>] <page texts and rules>". Texts are the
// drawn strings; a box is "#<position>@<y>".
std::string Page(PagedView* view, PrinterLog& device) {
  device.log.clear();
  view->RenderPage();
  std::istringstream in(device.log);
  std::string line, head, foot, body, after;
  int phase = 0;
  int lastY = -1 << 30;
  std::string* lastTo = nullptr;
  auto add = [](std::string& to, const std::string& what) {
    if (!to.empty()) to += " ";
    to += what;
  };
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string kind;
    words >> kind;
    if (kind == "CLIP") {
      phase = 1;
    } else if (kind == "UNCLIP") {
      phase = 2;
    } else if (kind == "TEXT") {
      int x, y;
      std::string text;
      words >> x >> y;
      std::getline(words, text);
      text = text.substr(1);
      std::string& to = phase == 1 ? body : y < view->HeaderHeight() ? head : foot;
      // Glyphs on one baseline make one word.
      if (y == lastY && &to == lastTo)
        to += text;
      else
        add(to, text);
      lastY = y;
      lastTo = &to;
    } else if (kind == "BOX") {
      int position, x, y;
      words >> position >> x >> y;
      add(phase == 1 ? body : head, "#" + std::to_string(position) + "@" + std::to_string(y));
    } else if (kind == "PT") {
      std::string id, text;
      words >> id;
      std::getline(words, text);
      add(after, id + "=" + (text.empty() ? "" : text.substr(1)));
    } else if (kind == "LINE" && phase == 2) {
      add(after, line);
    }
  }
  std::string out = std::string(view->PageNumberText()) + " off=" +
                    std::to_string(view->CarriedOffset());
  if (!head.empty()) out += " H[" + head + "]";
  if (!foot.empty()) out += " F[" + foot + "]";
  out += " B[" + body + "]";
  if (!after.empty()) out += " " + after;
  return out;
}

std::vector<std::string> AllPages(PagedView* view, PrinterLog& device) {
  std::vector<std::string> pages;
  view->FirstPage();
  if (!view->NextPageLine() && view->Failed()) return pages;
  int guard = 0;
  do {
    pages.push_back(Page(view, device));
  } while (view->NextPage() && ++guard < 200);
  return pages;
}

struct Fixture;

struct Case {
  const char* name;
  // Rows of boxes, or markup with the sheet's rules (set by `setup`).
  std::vector<BoxSpec> rows;
  const char* markup = nullptr;
  std::function<void(Fixture&)> setup;
  int width = 600, height = 700;
  std::uint32_t options = 0;
  // Counts the pages first (the print job's counting pass) and prints
  // them again.
  bool countFirst = false;
  std::vector<std::string> pages;
  std::vector<int> errors = {};
};

struct Fixture {
  Fixture() {
    const std::string temp = folder.dir() + "/";
    const char* source = std::getenv("QS_SOURCE_DIR");
    const std::string home = std::string(source ? source : ".") + "/samples/home/";
    const std::string catalog = home + "catalog/catalog";
    EXPECT_NE(QsInitialize(0, "test", catalog.c_str(), nullptr, nullptr, temp.c_str(), home.c_str()), 0u);
    LoadUnicodeTables((home + "qsunicde.dat").c_str());
    sheet.AddUse();
  }
  ~Fixture() {
    docHolder.reset();
    sheet.ClearRules();
    for (QsHandle h : handles) QsReleaseHandle(h);
    QsTerminate();
    FreeUnicodeTables();
    GetPrintState().options = 0;
    GetPrintState().date[0] = '\0';
  }
  StyleRule* Rule(const char* tag) { return sheet.AddRule(new StyleRule(tag, 0)); }
  void Prn(const char* tag, int type) { Rule(tag)->printByte = static_cast<std::uint8_t>(type); }
  NavigatorDef* Navigator(const char* entries) {
    std::string text =
        std::string("<!DOCTYPE TOC-DEF PUBLIC \"-//Quenda//DTD Navigator v2.00//EN\">\n<TOC-DEF>") +
        entries + "</TOC-DEF>";
    QsHandle h = QsOpenNavigatorText(text.c_str(), ("n" + std::to_string(handles.size())).c_str(),
                                     nullptr, nullptr, 0);
    EXPECT_NE(h, 0u);
    handles.push_back(h);
    return static_cast<NavigatorDef*>(Handles()->LookupNavigator(h));
  }

  test::TempFolder folder;
  test::RecordingSink sink;
  StyleSheet sheet{static_cast<ExternalId*>(nullptr)};
  std::unique_ptr<test::DocBuilder> docHolder = std::make_unique<test::DocBuilder>();
  test::DocBuilder& doc = *docHolder;
  std::vector<QsHandle> handles;
  std::vector<NavigatorDef*> navigators;
  std::vector<PrintRange> ranges;
  std::vector<const char*> rangeNames;
};

DocumentNode* FindNamed(DocumentNode* node, const char* name) {
  if (!node) return nullptr;
  if (node->GetNameText() && std::string(node->GetNameText()) == name) return node;
  for (DocumentNode* c = node->First(); c; c = c->Next())
    if (DocumentNode* found = FindNamed(c, name)) return found;
  return nullptr;
}

std::vector<std::string> RunCase(const Case& c, std::vector<int>* errors) {
  // The device outlives the engine's cached formats, which hold its fonts.
  PrinterLog device(72, c.width, c.height);
  Fixture f;
  test::ErrorRecorder recorder;
  GetPrintState().options = c.options;
  std::snprintf(GetPrintState().date, sizeof GetPrintState().date, "2026-12-11");
  std::vector<std::string> pages;
  if (!c.rows.empty()) {
    RowFrame frame(c.rows);
    auto* view = new PagedView(nullptr, &device);
    view->SetFrameNode(&frame);
    pages = AllPages(view, device);
    view->SetFrameNode(nullptr);
    view->Release();
  } else {
    if (c.setup) c.setup(f);
    f.doc.Build(c.markup);
    for (const char* name : f.rangeNames) {
      DocumentNode* e = FindNamed(f.doc.Doc()->Root(), name);
      f.ranges.push_back(PrintRange{e, e, 1});
    }
    auto* frame = new PrintFrame(f.doc.Doc(), &f.sheet, 0, f.navigators, f.ranges);
    {
      DeviceScope scope(&device);
      frame->Rebuild();
    }
    auto* view = new PagedView(frame, &device);
    if (c.countFirst) {
      EXPECT_TRUE(view->CountFirst()) << c.name;
      view->FirstPage();
      int guard = 0;
      while (view->NextPage() && ++guard < 200) {
      }
    }
    pages = AllPages(view, device);
    view->Release();
    EXPECT_EQ(ScaleDepth(), 0) << c.name;
    EXPECT_EQ(FormatterSkipCount(), 0) << c.name;
    EXPECT_FALSE(GetPrintState().formattingForPrint) << c.name;
    EXPECT_EQ(GetPrintState().nesting, 0) << c.name;
  }
  *errors = recorder.errors;
  return pages;
}

std::string Join(const std::vector<std::string>& pages) {
  std::string out;
  for (const std::string& p : pages) out += p + "\n";
  return out;
}

void Headed(Fixture& f) {
  f.Prn("H", 7);   // HEAD
  f.Prn("H1", 9);  // HEAD-1
  f.Prn("F", 8);   // FOOT
  f.Rule("P");
}

const Case kCases[] = {
    {.name = "a line taller than the body shows on pages moved up by the body less 5 points",
     .rows = {Row(1500), Row(10)},
     .pages = {"1 off=0 B[#0@1498]", "2 off=695 B[#0@803]", "3 off=1390 B[#0@108 #1@118]"}},
    {.name = "a tall first line is shown from its top, a tall last line to its end",
     .rows = {Row(800)},
     .pages = {"1 off=0 B[#0@798]", "2 off=695 B[#0@103]"}},
    {.name = "lines fill the page and the next page starts with the line that did not fit",
     .rows = {Row(300), Row(300), Row(300), Row(50)},
     .pages = {"1 off=0 B[#0@298 #1@598]", "2 off=0 B[#2@298 #3@348]"}},
    {.name = "break kind 2 restarts arabic numbering at 1, kind 3 turns to roman",
     .rows = {Row(10), Break(3), Row(10), Row(10), Break(1), Row(10), Break(2), Row(10), Break(1),
              Row(10)},
     .pages = {"1 off=0 B[#0@8]", "ii off=0 B[#2@8 #3@18]", "iii off=0 B[#5@8]",
               "1 off=0 B[#7@8]", "2 off=0 B[#9@8]"}},
    {.name = "a re-break that finds no boxes is internal error 3 and ends the run",
     .rows = {{.width = -100, .forced = true, .ascent = 798, .descent = 2}, Row(10)},
     .pages = {},
     .errors = {0}},
    {.name = "a page under 5 points ends the run with error 42",
     .rows = {Row(10)},
     .height = 5,
     .pages = {},
     .errors = {42}},
    {.name = "page 1 takes the first-page header, later pages the header; the footer on all",
     .markup = "<D><H1>First</H1><H>Every</H><F>Foot</F><P>aa</P><P>bb</P></D>",
     .setup = Headed,
     .height = 52,
     .pages = {"1 off=0 H[First] F[Foot] B[aa]", "2 off=0 H[Every] F[Foot] B[bb]"}},
    {.name = "only the first of two HEAD elements feeds the header",
     .markup = "<D><H>One</H><H>Two</H><P>aa</P></D>",
     .setup = Headed,
     .pages = {"1 off=0 H[One] B[Two aa]"}},
    {.name = "furniture taller than the page is left off",
     .markup = "<D><H>Head</H><F>Foot</F><P>aa</P><P>bb</P></D>",
     .setup = Headed,
     .height = 30,
     .pages = {"1 off=0 B[aa bb]"}},
    {.name = "the page number wins a position it shares with the date",
     .markup = "<D><P>aa</P></D>",
     .setup = Headed,
     .options = 3 | 3 << 3,
     .pages = {"1 off=0 B[aa] 11=1"}},
    {.name = "number, date and rules",
     .markup = "<D><P>aa</P></D>",
     .setup = Headed,
     .options = 3 | 4 << 3 | 0x80 | 0x100,
     .pages = {"1 off=0 B[aa] LINE 0 -1 600 -1 LINE 0 701 600 701 11=1 12=2026-12-11"}},
    {.name = "PRN-FF starts a page",
     .markup = "<D><P>aa</P><C>bb</C><C>cc</C></D>",
     .setup = [](Fixture& f) { f.Rule("P"), f.Rule("C")->printByte = StyleProps::kPrnFormFeed; },
     .pages = {"1 off=0 B[aa]", "2 off=0 B[bb]", "3 off=0 B[cc]"}},
    {.name = "a LHEAD field sets the header's left text, also under a skipped element",
     .markup = "<D><P>aa<L>Lead</L></P><N>note<R>Right</R></N><P>bb</P></D>",
     .setup = [](Fixture& f) {
       f.Rule("P");
       f.Prn("L", 1);
       f.Prn("R", 3);
       f.Rule("N")->SetIcon("note");
     },
     .pages = {"1 off=0 B[aa Lead 1 bb 1 note Right] 9=Lead 11=Right"}},
    {.name = "printed ranges: nothing outside them, a nested range once",
     .markup = "<D><A>aa</A><B>bb<C>cc</C></B><E>ee</E></D>",
     .setup = [](Fixture& f) {
       f.Rule("A"), f.Rule("B"), f.Rule("C"), f.Rule("E");
       f.rangeNames = {"B", "C"};
     },
     .pages = {"1 off=0 B[bb cc]"}},
    {.name = "two tables of contents in roman numerals, then the body from 1",
     .markup = "<D><S><T>One</T><P>x</P></S><S><T>Two</T><P>y</P></S></D>",
     .setup = [](Fixture& f) {
       f.Rule("S")->printByte = StyleProps::kPrnFormFeed;
       f.Rule("T"), f.Rule("P");
       NavigatorDef* n = f.Navigator("<TOC BODY=S TITLE=T>");
       f.navigators = {n, n};
     },
     .options = 1,
     .pages = {"i off=0 B[One xx Two xx] 9=i 11=n0", "ii off=0 B[One xx Two xx] 9=ii 11=n0",
               "1 off=0 B[One x] 9=1", "2 off=0 B[Two y] 9=2"}},
    {.name = "after the counting pass the entries show their pages",
     .markup = "<D><S><T>One</T><P>x</P></S><S><T>Two</T><P>y</P></S></D>",
     .setup = [](Fixture& f) {
       f.Rule("S")->printByte = StyleProps::kPrnFormFeed;
       f.Rule("T"), f.Rule("P");
       f.navigators = {f.Navigator("<TOC BODY=S TITLE=T>")};
     },
     .countFirst = true,
     .pages = {"i off=0 B[One 1 Two 2] 11=n0", "1 off=0 B[One x]", "2 off=0 B[Two y]"}},
};

TEST(PagedView, CasesPageByPage) {
  for (const Case& c : kCases) {
    std::vector<int> errors;
    const std::vector<std::string> pages = RunCase(c, &errors);
    EXPECT_EQ(Join(pages), Join(c.pages)) << c.name;
    EXPECT_EQ(errors, c.errors) << c.name;
  }
}

TEST(PrintMargins, SheetMarginsInPixels) {
  constexpr std::int32_t kUnset = -31000;
  struct {
    int width, height, dpi;
    std::int32_t sheet[4];
    PageMargins expected;
  } cases[] = {
      // -500: 5 % of the width.
      {4800, 6000, 600, {-500, kUnset, kUnset, kUnset}, {240, 300, 218, 300}},
      // 7200 hundredths of a point: an inch.
      {4800, 6000, 600, {7200, 7200, 7200, 7200}, {600, 600, 600, 600}},
      // Unset: a tenth of the width on the left, a twenty-second on the right,
      // a twentieth of the height.
      {4800, 6000, 600, {kUnset, kUnset, kUnset, kUnset}, {480, 300, 218, 300}},
      // 90 % on both sides leaves no body: the defaults of that direction.
      {4800, 6000, 600, {-9000, -9000, -9000, -9000}, {480, 300, 218, 300}},
      // Far more than the page, in 64 bits: the defaults again.
      {4800, 6000, 600, {2000000000, 0, 2000000000, 0}, {480, 0, 218, 0}},
      {4800, 6000, 600, {-2000000000, 0, 0, 0}, {480, 0, 218, 0}},
      // Just over 5 points of body is kept.
      {144, 144, 72, {7200 * 69 / 72 + 0, 0, 0, 0}, {69, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    const PageMargins m = ComputePageMargins(c.width, c.height, c.dpi, c.dpi, c.sheet);
    EXPECT_EQ(m.left, c.expected.left) << c.sheet[0];
    EXPECT_EQ(m.top, c.expected.top) << c.sheet[1];
    EXPECT_EQ(m.right, c.expected.right) << c.sheet[2];
    EXPECT_EQ(m.bottom, c.expected.bottom) << c.sheet[3];
  }
  const PageMargins none = ComputePageMargins(4800, 6000, 600, 600, nullptr);
  EXPECT_EQ(none.left, 480);
  EXPECT_EQ(none.right, 218);
  EXPECT_EQ(none.top, 300);
}

}  // namespace
}  // namespace qs
