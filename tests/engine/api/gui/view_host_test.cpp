// A host that binds QSENGINE.DLL by name and shows a document in two of
// its windows, whose procedures hand every message to QsDefWindowProc.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>
#include <vector>

#include "../engine_dll.h"
#include "api/parse_report.h"
#include "api/records.h"
#include "window_pixels.h"

namespace qs::test {
namespace {

struct Event {
  QsWindow window;
  std::int32_t event;
  QsWord a, b;
};
std::vector<Event> g_events;

// The window the host names for event 7 (0: none).
QsWindow g_showIn = 0;
QsHandle (*g_viewDocument)(QsWindow) = nullptr;
// Links: the host's answer to event 11, the forms it was offered (the
// record lives only during the call) and the ranges of event 39.
std::intptr_t g_takeLinks = 0;
// The host's answer to event 6 (a chosen navigator entry).
std::intptr_t g_takeGoto = 0;
std::vector<std::string> g_linkForms;
std::vector<QsGotoRangeRequest> g_linkRanges;
std::intptr_t RecordEvent(QsWindow window, std::int32_t event, QsWord a, QsWord b, QsWord) {
  g_events.push_back({window, event, a, b});
  if (event == QS_EVENT_FOLLOW_LINK) {
    const auto* rule = reinterpret_cast<const QsLinkRuleRecord*>(b);
    g_linkForms.push_back(rule ? (rule->description ? rule->description : "?") : "-");
    return g_takeLinks;
  }
  if (event == QS_EVENT_GOTO_RANGE) g_linkRanges.push_back(*reinterpret_cast<QsGotoRangeRequest*>(b));
  // Handles still held at the end: the host answers, so no box waits for a
  // click; TearDown reports it.
  if (event == 49) return 1;
  if (event == 6) return g_takeGoto;
  if (event == 7) {
    auto* request = reinterpret_cast<QsViewRequest*>(b);
    request->viewFlags = 0x80;  // the new view records its places too
    return static_cast<std::intptr_t>(g_showIn);
  }
  return 0;
}

decltype(&::QsDefWindowProc) g_defWindowProc = nullptr;

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (g_defWindowProc)
    return static_cast<LRESULT>(g_defWindowProc(reinterpret_cast<QsWindow>(window), message,
                                                 static_cast<QsWord>(wparam),
                                                 static_cast<QsWord>(lparam)));
  return DefWindowProcA(window, message, wparam, lparam);
}

HWND MakeWindow(int x, const char* caption) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = "QsDocumentHost";
    RegisterClassA(&wc);
    registered = true;
  }
  return CreateWindowA("QsDocumentHost", caption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, 10, 460,
                       400, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

struct Capture : WindowPixels {
  using WindowPixels::WindowPixels;
  // Rows with dark ink, and of those the rows with pure red.
  int InkRows(std::uint32_t colour = 0) const {
    int rows = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const std::uint32_t p = At(x, y);
        const bool hit = colour ? p == colour
                                : ((p >> 16) & 0xFF) < 100 && ((p >> 8) & 0xFF) < 100 && (p & 0xFF) < 100;
        if (hit) {
          ++rows;
          break;
        }
      }
    return rows;
  }
  // Rows with anything on the white background.
  int PaintedRows() const {
    int rows = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (At(x, y) != 0xFFFFFF) {
          ++rows;
          break;
        }
    return rows;
  }
  // The heights of the runs of rows with dark ink, top to bottom: the
  // bands of text lines.
  std::vector<int> Bands() const {
    std::vector<int> bands;
    int run = 0;
    for (int y = 0; y <= height; ++y) {
      bool ink = false;
      for (int x = 0; y < height && x < width && !ink; ++x) {
        const std::uint32_t p = At(x, y);
        ink = ((p >> 16) & 0xFF) < 100 && ((p >> 8) & 0xFF) < 100 && (p & 0xFF) < 100;
      }
      if (ink) {
        ++run;
      } else if (run) {
        bands.push_back(run);
        run = 0;
      }
    }
    return bands;
  }
  // Rows (or columns) holding a dark run of at least `length` pixels: the
  // lines a view draws, which text never makes.
  // The longest dark run down pixel column x.
  int DarkColumn(int x) const {
    int run = 0, longest = 0;
    for (int y = 0; y < height; ++y) {
      const std::uint32_t p = At(x, y);
      run = (((p >> 16) & 0xFF) < 100 && ((p >> 8) & 0xFF) < 100 && (p & 0xFF) < 100) ? run + 1 : 0;
      if (run > longest) longest = run;
    }
    return longest;
  }
  int DarkRuns(int length, bool columns = false) const {
    int found = 0;
    const int outer = columns ? width : height, inner = columns ? height : width;
    for (int i = 0; i < outer; ++i) {
      int run = 0, longest = 0;
      for (int j = 0; j < inner; ++j) {
        const std::uint32_t p = columns ? At(i, j) : At(j, i);
        const bool dark = ((p >> 16) & 0xFF) < 100 && ((p >> 8) & 0xFF) < 100 && (p & 0xFF) < 100;
        run = dark ? run + 1 : 0;
        if (run > longest) longest = run;
      }
      if (longest >= length) ++found;
    }
    return found;
  }
};

// Reads the page-number places of an open "Print Document" and cancels it.
int g_printDialogLines = -1;
void CALLBACK CancelPrintDialog(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = FindWindowA("#32770", "Print Document");
  if (!dialog) return;
  g_printDialogLines = static_cast<int>(SendDlgItemMessageA(dialog, 109, CB_GETCOUNT, 0, 0));
  PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

class ViewHost : public EngineDll {
 protected:
  void SetUp() override {
    EngineDll::SetUp();
    if (HasFatalFailure()) return;
    dir_ = MakeTempFolder("qsviewhost");
    std::string home = SourceHome();
    std::string catalog = home + "catalog\\catalog";
    ASSERT_NE(QS_BIND(QsInitialize)(reinterpret_cast<QsWord>(GetModuleHandleA(nullptr)), "Views",
                                    catalog.c_str(), nullptr, nullptr, dir_.c_str(), home.c_str()),
              0);
    g_defWindowProc = QS_BIND(QsDefWindowProc);
    for (int event : {0, 7, 24, 27, 49}) QS_BIND(QsSetCallback)(0, event, RecordEvent, 0);
    sheetText_ =
          "<!DOCTYPE STYLESHEET PUBLIC \"-//Quenda//DTD Stylesheet v2.00//EN\">\n"
          "<STYLESHEET VERSION=\"2.00\">\n"
          "<STYLE TAG=TITLE><FONT-SIZE V=20><FONT-COLOR V=\"red\"><JUSTIFY V=center>"
          "<BREAK-BEFORE V=Line><BREAK-AFTER V=Line><SPC-BELOW V=6></STYLE>\n"
          "<STYLE TAG=PARA><FONT-SIZE V=11><SPC-LEFT V=\"10\"><SPC-BELOW V=4>"
          "<BREAK-BEFORE V=Line><BREAK-AFTER V=Line></STYLE>\n"
          "</STYLESHEET>\n";
    sheetPath_ = Write("view.ssh", sheetText_);
    std::string doc =
        "<?xml version=\"1.0\"?>\n"
        "<!DOCTYPE MANUAL [\n<!ELEMENT MANUAL (TITLE, PARA+)>\n<!ELEMENT TITLE (#PCDATA)>\n"
        "<!ELEMENT PARA (#PCDATA)>\n]>\n"
        "<?STYLESPEC \"Views\" \"view.ssh\"?>\n"
        "<MANUAL><TITLE>Pump overhaul</TITLE>";
    for (int i = 0; i < 300; ++i)
      doc += "<PARA>Step " + std::to_string(i) +
             ": loosen the bolts of the cover, lift it and check the seal for wear.</PARA>";
    doc += "</MANUAL>\n";
    docPath_ = Write("view.xml", doc);
    doc.replace(doc.find("Pump overhaul"), 13, "Seal exchange");
    otherPath_ = Write("other.xml", doc);
    g_events.clear();
  }
  void TearDown() override {
    for (HWND w : windows_) DestroyWindow(w);
    Pump();
    g_events.clear();
    QS_BIND(QsTerminate)();
    EXPECT_EQ(Count(0, 49), 0) << "handles left held";
    g_defWindowProc = nullptr;
    EngineDll::TearDown();
  }
  HWND Window(int x, const char* caption) {
    HWND w = MakeWindow(x, caption);
    windows_.push_back(w);
    Pump();
    return w;
  }
  static int Count(QsWindow window, std::int32_t event) {
    int n = 0;
    for (const Event& e : g_events)
      if (e.window == window && e.event == event) ++n;
    return n;
  }
  std::string docPath_, otherPath_, sheetPath_, sheetText_;
  std::vector<HWND> windows_;
};

TEST_F(ViewHost, DisplayScrollAndDetach) {
  HWND one = Window(10, "first view");
  HWND two = Window(480, "second view");
  ASSERT_TRUE(one && two);
  const auto w1 = reinterpret_cast<QsWindow>(one), w2 = reinterpret_cast<QsWindow>(two);
  QsHandle doc = QS_BIND(QsParseDocument)(docPath_.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u);

  auto display = QS_BIND(QsDisplay);
  EXPECT_EQ(display(w1, 0x7777, 0, 0, 0, 0, 0, 0), 0);  // no such document
  EXPECT_EQ(display(w1, doc, 0, 0, 0, 0, 0, 0), 1);
  ASSERT_FALSE(g_events.empty());
  EXPECT_EQ(g_events.back().event, 0);
  EXPECT_EQ(g_events.back().window, w1);
  // Flag 0x4000: the located range (event 27) before event 0; navigator 1
  // on a document that names none shows the document alone.
  g_events.clear();
  EXPECT_EQ(display(w2, doc, 0, 1, 0, 0, 0, 0x4000), 1);
  ASSERT_EQ(g_events.size(), 2u);
  EXPECT_EQ(g_events[0].event, 27);
  EXPECT_EQ(g_events[1].event, 0);
  EXPECT_EQ(QS_BIND(QsGetViewNavigator)(w2), 0u);
  Pump();
  // A given navigator makes the window a navigator view over the same
  // document, its one title as its one node.
  QsHandle nav = QS_BIND(QsOpenNavigatorText)(
      "<!DOCTYPE TOC-DEF PUBLIC \"-//Quenda//DTD Navigator v2.00//EN\">\n"
      "<TOC-DEF NAME=\"Contents\"><TOC BODY=MANUAL TITLE=TITLE></TOC-DEF>\n",
      "view.nav", nullptr, nullptr, 0);
  ASSERT_NE(nav, 0u);
  EXPECT_EQ(display(w2, doc, 0, nav, w1, 0, 0, 0), 1);
  EXPECT_EQ(QS_BIND(QsGetWindowKind)(w2), 2);
  QsHandle shownNav = QS_BIND(QsGetViewNavigator)(w2);
  EXPECT_NE(shownNav, 0u);
  if (shownNav) QS_BIND(QsReleaseHandle)(shownNav);
  std::int32_t navStart = -1, navLength = -1;
  ASSERT_EQ(QS_BIND(QsGetViewRange)(w2, &navStart, &navLength), 1);
  QS_BIND(QsReleaseHandle)(nav);
  EXPECT_EQ(display(w2, doc, 0, 1, 0, 0, 0, 0), 1);
  EXPECT_EQ(QS_BIND(QsGetWindowKind)(w2), 1);
  Pump();

  // The sheet the document names is the one in use.
  QsHandle sheet = QS_BIND(QsGetViewStyleSheet)(w1);
  EXPECT_NE(sheet, 0u);
  if (sheet) QS_BIND(QsReleaseHandle)(sheet);

  // Both windows show text bands, the first the red title.
  Capture first(one), second(two);
  first.Save("view_host_first.bmp");
  second.Save("view_host_second.bmp");
  EXPECT_GT(first.InkRows(), 40);
  EXPECT_GT(second.InkRows(), 40);
  // Red only in the title's band at the top.
  const int redRows = first.InkRows(0xFF0000);
  EXPECT_GT(redRows, 5);
  EXPECT_LT(redRows, 40);

  auto range = QS_BIND(QsGetViewRange);
  auto command = QS_BIND(QsViewCommand);
  std::int32_t start = -1, length = -1;
  ASSERT_EQ(range(w1, &start, &length), 1);
  EXPECT_EQ(start, 0);
  EXPECT_GT(length, 0);
  EXPECT_EQ(command(w1, 4), 1);
  std::int32_t paged = 0;
  range(w1, &paged, &length);
  EXPECT_GT(paged, 0);
  EXPECT_EQ(command(w1, 5), 1);
  std::int32_t end = 0;
  range(w1, &end, &length);
  EXPECT_GT(end, paged);
  const std::int32_t last = end + length;
  EXPECT_EQ(last, QS_BIND(QsGetDocumentCount)(doc));  // the end reached
  EXPECT_EQ(command(w1, 4), 1);  // at the end nothing moves on
  range(w1, &start, &length);
  EXPECT_EQ(start + length, last);
  EXPECT_EQ(command(w1, 12), 0);
  EXPECT_EQ(command(w1, 6), 0);  // no hits
  EXPECT_EQ(command(w1, 0), 1);
  range(w1, &start, &length);
  EXPECT_EQ(start, 0);
  auto show = QS_BIND(QsShowPosition);
  EXPECT_EQ(show(w1, last + 1), 0);
  EXPECT_EQ(show(w1, -1), 0);
  EXPECT_EQ(show(w1, last / 2), 1);
  range(w1, &start, &length);
  EXPECT_LE(start, last / 2);
  EXPECT_GE(start + length, last / 2);
  Pump();

  // One line down by the scroll bar: one event 0 after the paint.
  g_events.clear();
  SendMessageA(one, WM_VSCROLL, SB_LINEDOWN, 0);
  UpdateWindow(one);
  Pump();
  EXPECT_EQ(Count(w1, 0), 1);
  std::int32_t before = 0;
  range(w1, &before, &length);
  // Keys and the wheel move the view too.
  SendMessageA(one, WM_KEYDOWN, VK_NEXT, 0);
  range(w1, &start, &length);
  EXPECT_GT(start, before);
  before = start;
  SendMessageA(one, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(50, 50));
  range(w1, &start, &length);
  EXPECT_LT(start, before);
  SendMessageA(one, WM_KEYDOWN, VK_HOME, 0);
  range(w1, &start, &length);
  EXPECT_EQ(start, 0);
  // QsHandleMessage reports what the engine took.
  QsWord answer = 7;
  EXPECT_EQ(QS_BIND(QsHandleMessage)(w1, WM_ERASEBKGND, 0, 0, &answer), 1);
  EXPECT_EQ(answer, 1u);
  EXPECT_EQ(QS_BIND(QsHandleMessage)(w1, WM_NCHITTEST, 0, 0, &answer), 0);
  EXPECT_EQ(QS_BIND(QsGetWindowKind)(w1), 1);

  // A selection of the host's: ranges are refused past the document's end
  // (with no overflow), and overlapping ones; the text needs room for its
  // NUL.
  auto add = QS_BIND(QsAddSelectionRange);
  EXPECT_EQ(add(w1, 1, 0x7FFFFFFF), 0);
  EXPECT_EQ(QS_BIND(QsHighlightQueryResult)(w1, 1, 0x7FFFFFFF), 0);
  EXPECT_EQ(QS_BIND(QsHighlightQueryResult)(w1, 1, 4), 1);
  g_events.clear();
  EXPECT_EQ(add(w1, 0, 13), 1);
  EXPECT_EQ(Count(w1, 24), 1);
  EXPECT_EQ(add(w1, 5, 3), 0);
  const std::int32_t n = QS_BIND(QsGetSelectionLength)(w1);
  EXPECT_EQ(n, 13);
  std::vector<char> text(n + 2, 'x');
  EXPECT_EQ(QS_BIND(QsGetSelectionText)(w1, text.data(), n), 0);
  EXPECT_EQ(text[0], 'x');
  EXPECT_EQ(QS_BIND(QsGetSelectionText)(w1, text.data(), 0), 0);
  EXPECT_EQ(QS_BIND(QsGetSelectionText)(w1, text.data(), n + 1), n);
  EXPECT_STREQ(text.data(), "Pump overhaul");
  std::vector<QsRangeRecord> items;
  EXPECT_EQ(QS_BIND(QsEnumViewItems)(w1, [](const void* r, QsWord data) -> std::intptr_t {
    reinterpret_cast<std::vector<QsRangeRecord>*>(data)->push_back(*static_cast<const QsRangeRecord*>(r));
    return 0;
  }, reinterpret_cast<QsWord>(&items)), 0);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].length, 13);
  EXPECT_EQ(QS_BIND(QsClearHighlight)(w1), 1);
  EXPECT_EQ(QS_BIND(QsGetSelectionLength)(w1), 0);
  // Nodes of the view: the first shown element, shown again.
  QsHandle firstNode = QS_BIND(QsGetViewFirstNode)(w1);
  EXPECT_NE(firstNode, 0u);
  EXPECT_EQ(QS_BIND(QsShowNode)(w1, firstNode, 1, 1, 0), 1);
  QsHandle selected = QS_BIND(QsGetViewSelectedNode)(w1);
  EXPECT_NE(selected, 0u);
  EXPECT_EQ(QS_BIND(QsShowHandleTarget)(w1, firstNode), 1);
  EXPECT_EQ(QS_BIND(QsShowNode)(w1, 0, 1, 0, 0), 1);
  EXPECT_EQ(QS_BIND(QsGetViewSelectedNode)(w1), 0u);
  QS_BIND(QsReleaseHandle)(firstNode);
  QS_BIND(QsReleaseHandle)(selected);

  // The shown document's one handle, with one more use each time.
  auto viewDocument = QS_BIND(QsGetViewDocument);
  EXPECT_EQ(viewDocument(w1), doc);
  EXPECT_EQ(viewDocument(w2), doc);
  EXPECT_EQ(QS_BIND(QsReleaseHandle)(doc), 2u);
  EXPECT_EQ(QS_BIND(QsReleaseHandle)(doc), 1u);

  // Detaching: both views, an event 0 for each window.
  g_events.clear();
  EXPECT_EQ(QS_BIND(QsDetachDocumentViews)(doc), 2);
  EXPECT_EQ(Count(w1, 0), 1);
  EXPECT_EQ(Count(w2, 0), 1);
  EXPECT_EQ(viewDocument(w1), 0u);
  EXPECT_EQ(range(w1, &start, &length), 0);
  EXPECT_EQ(QS_BIND(QsDetachDocumentViews)(doc), 0);
  Pump();
  EXPECT_EQ(QS_BIND(QsReleaseHandle)(doc), 0u);
}

// The first row below the title whose position lies past `after`, at x.
int RowAfter(decltype(&::QsPositionAtPoint) at, QsWindow window, int x, std::int32_t after,
             int height) {
  for (int y = 0; y < height; ++y)
    if (at(window, x, y) > after) return y;
  return -1;
}

// Dispatches what comes, at most `limit` messages, until the queue stays
// empty; the number of paints `window` had.
int PaintsOf(HWND window, int limit) {
  int paints = 0, idle = 0;
  MSG msg;
  for (int n = 0; n < limit && idle < 3;) {
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ++idle;
      Sleep(20);
      continue;
    }
    idle = 0;
    ++n;
    if (msg.message == WM_PAINT && msg.hwnd == window) ++paints;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return paints;
}

// Views linked to a document view follow its top: a second document view
// to the same place, a navigator to the entry nearest it. Neither can keep
// painting: one that did would starve every window behind it of paints.
TEST_F(ViewHost, LinkedViewsFollowTheirLeaderAndComeToRest) {
  HWND one = Window(10, "leader");
  HWND two = Window(480, "navigator");
  HWND three = Window(240, "follower");
  ASSERT_TRUE(one && two && three);
  const auto w1 = reinterpret_cast<QsWindow>(one), w2 = reinterpret_cast<QsWindow>(two),
             w3 = reinterpret_cast<QsWindow>(three);
  QsHandle doc = QS_BIND(QsParseDocument)(docPath_.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u);
  QsHandle nav = QS_BIND(QsOpenNavigatorText)(
      "<!DOCTYPE TOC-DEF PUBLIC \"-//Quenda//DTD Navigator v2.00//EN\">\n"
      "<TOC-DEF NAME=\"Contents\"><TOC BODY=MANUAL TITLE=TITLE></TOC-DEF>\n",
      "view.nav", nullptr, nullptr, 0);
  ASSERT_NE(nav, 0u);
  auto display = QS_BIND(QsDisplay);
  ASSERT_EQ(display(w1, doc, 0, 0, 0, 0, 0, 0), 1);
  ASSERT_EQ(display(w2, doc, 0, nav, w1, 0, 0, 0), 1);
  ASSERT_EQ(display(w3, doc, 0, 0, w1, 0, 0, 0), 1);
  QS_BIND(QsReleaseHandle)(nav);
  EXPECT_LE(PaintsOf(two, 400), 3);
  // Two pages down the leader's top lies inside a paragraph no navigator
  // entry starts at.
  auto command = QS_BIND(QsViewCommand);
  ASSERT_EQ(command(w1, 4), 1);
  ASSERT_EQ(command(w1, 4), 1);
  UpdateWindow(one);
  EXPECT_LE(PaintsOf(two, 400), 3);
  EXPECT_LE(PaintsOf(three, 400), 3);
  EXPECT_FALSE(GetUpdateRect(two, nullptr, FALSE));
  std::int32_t leader = -1, follower = -2, length = 0;
  QS_BIND(QsGetViewRange)(w1, &leader, &length);
  QS_BIND(QsGetViewRange)(w3, &follower, &length);
  EXPECT_GT(leader, 0);
  EXPECT_EQ(follower, leader);
  QS_BIND(QsReleaseHandle)(doc);
}

TEST_F(ViewHost, ADragSelectsTextAndPointsFindTheirPlaces) {
  HWND one = Window(10, "selecting view");
  ASSERT_TRUE(one);
  const auto w1 = reinterpret_cast<QsWindow>(one);
  QsHandle doc = QS_BIND(QsParseDocument)(docPath_.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u);
  ASSERT_EQ(QS_BIND(QsDisplay)(w1, doc, 0, 0, 0, 0, 0, 0x0100), 1);  // mouse selection
  Pump();
  RECT client;
  GetClientRect(one, &client);
  auto at = QS_BIND(QsPositionAtPoint);
  auto range = QS_BIND(QsGetNodeRange);

  // The title's row: its node is the title ("Pump overhaul", 0 to 13).
  const int titleRow = RowAfter(at, w1, client.right / 2, -1, client.bottom);
  ASSERT_GE(titleRow, 0);
  QsHandle title = QS_BIND(QsNodeAtPoint)(w1, client.right / 2, titleRow + 4);
  ASSERT_NE(title, 0u);
  EXPECT_STREQ(QS_BIND(QsGetElementName)(title), "TITLE");
  QS_BIND(QsReleaseHandle)(title);

  // A point inside a word of the first paragraph, and one further right.
  // The middle of the first paragraph line: inside its text boxes.
  const int first = RowAfter(at, w1, 60, 13, client.bottom);
  int last = first;
  while (last + 1 < client.bottom && at(w1, 60, last + 1) == at(w1, 60, first)) ++last;
  const int row = (first + last) / 2;
  ASSERT_GT(row, titleRow);
  QsHandle para = QS_BIND(QsNodeAtPoint)(w1, 60, row);
  ASSERT_NE(para, 0u);
  EXPECT_STREQ(QS_BIND(QsGetElementName)(para), "PARA");
  std::int32_t paraStart = -1, paraLength = -1;
  ASSERT_EQ(range(para, &paraStart, &paraLength), 1);
  std::string text(static_cast<std::size_t>(paraLength) + 1, '\0');
  ASSERT_EQ(QS_BIND(QsGetText)(para, 1, text.data(), paraLength + 1), 1);
  text.resize(std::strlen(text.c_str()));
  auto letter = [&](std::int32_t p) {
    const std::int32_t i = p - paraStart;
    return i >= 0 && i < static_cast<std::int32_t>(text.size()) && std::isalpha(static_cast<unsigned char>(text[i]));
  };
  int x1 = 40;
  while (x1 < 200 && !(letter(at(w1, x1, row)) && letter(at(w1, x1, row) - 1))) ++x1;
  ASSERT_LT(x1, 200);
  const int x2 = x1 + 150;
  const std::int32_t p1 = at(w1, x1, row), p2 = at(w1, x2, row);
  ASSERT_GT(p2, p1);

  // A posted drag: event 24 with 1, and the selected text is the
  // paragraph's own between the two places.
  g_events.clear();
  PostMessageA(one, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x1, row));
  PostMessageA(one, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x1 + 70, row));
  PostMessageA(one, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x2, row));
  PostMessageA(one, WM_LBUTTONUP, 0, MAKELPARAM(x2, row));
  Pump();
  ASSERT_EQ(Count(w1, 24), 1);
  for (const Event& e : g_events)
    if (e.event == 24) {
      EXPECT_EQ(e.a, 1u);
    }
  char selected[512] = {};
  EXPECT_EQ(QS_BIND(QsGetSelectionText)(w1, selected, sizeof selected), p2 - p1);
  EXPECT_EQ(std::string(selected), text.substr(static_cast<std::size_t>(p1 - paraStart),
                                               static_cast<std::size_t>(p2 - p1)));
  UpdateWindow(one);
  Pump();
  Capture(one).Save("view_host_selection.bmp");

  // A double click selects the word under the point.
  std::size_t from = static_cast<std::size_t>(p1 - paraStart), to = from;
  while (from > 0 && text[from - 1] != ' ') --from;
  while (to < text.size() && text[to] != ' ') ++to;
  PostMessageA(one, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x1, row));
  PostMessageA(one, WM_LBUTTONUP, 0, MAKELPARAM(x1, row));
  PostMessageA(one, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(x1, row));
  PostMessageA(one, WM_LBUTTONUP, 0, MAKELPARAM(x1, row));
  Pump();
  EXPECT_GT(QS_BIND(QsGetSelectionText)(w1, selected, sizeof selected), 0);
  EXPECT_EQ(std::string(selected), text.substr(from, to - from));
  // A click in place selects nothing: the selection goes (event 24 with 0).
  g_events.clear();
  PostMessageA(one, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x2, row));
  PostMessageA(one, WM_LBUTTONUP, 0, MAKELPARAM(x2, row));
  Pump();
  EXPECT_EQ(QS_BIND(QsGetSelectionLength)(w1), 0);
  ASSERT_EQ(Count(w1, 24), 1);
  for (const Event& e : g_events)
    if (e.event == 24) {
      EXPECT_EQ(e.a, 0u);
    }
  QS_BIND(QsReleaseHandle)(para);

  // Not a document view: -1 and 0.
  EXPECT_EQ(at(0, 10, 10), -1);
  EXPECT_EQ(QS_BIND(QsNodeAtPoint)(0, 10, 10), 0u);
  EXPECT_EQ(QS_BIND(QsEntityAtPoint)(w1, x1, row), 0u);  // text, no entity

  // Below the last line of a short document: -1 and no node.
  std::string shortDoc = "<?xml version=\"1.0\"?>\n<!DOCTYPE MANUAL [\n<!ELEMENT MANUAL (TITLE, PARA+)>\n"
                         "<!ELEMENT TITLE (#PCDATA)>\n<!ELEMENT PARA (#PCDATA)>\n]>\n"
                         "<?STYLESPEC \"Views\" \"view.ssh\"?>\n"
                         "<MANUAL><TITLE>Short</TITLE><PARA>One line.</PARA></MANUAL>\n";
  QsHandle small = QS_BIND(QsParseDocument)(Write("short.xml", shortDoc).c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(small, 0u);
  ASSERT_EQ(QS_BIND(QsDisplay)(w1, small, 0, 0, 0, 0, 0, 0x0100), 1);
  Pump();
  EXPECT_EQ(at(w1, 40, client.bottom - 5), -1);
  EXPECT_EQ(QS_BIND(QsNodeAtPoint)(w1, 40, client.bottom - 5), 0u);
  EXPECT_EQ(QS_BIND(QsDetachDocumentViews)(small), 1);
  QS_BIND(QsReleaseHandle)(small);
  QS_BIND(QsReleaseHandle)(doc);
}

// Event 43: the host's answer, and the requests it saw.
std::intptr_t g_cursorAnswer = 0;
std::vector<QsCursorRequest> g_cursorRequests;
std::intptr_t AnswerCursor(QsWindow, std::int32_t event, QsWord a, QsWord b, QsWord) {
  if (event != 43 || b != 0) return 0;
  g_cursorRequests.push_back(*reinterpret_cast<const QsCursorRequest*>(a));
  return g_cursorAnswer;
}

TEST_F(ViewHost, TheHostIsOfferedTheCursorBeforeTheEngineSetsIt) {
  HWND one = Window(10, "cursor view");
  ASSERT_TRUE(one);
  const auto w1 = reinterpret_cast<QsWindow>(one);
  QsHandle doc = QS_BIND(QsParseDocument)(docPath_.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u);
  ASSERT_EQ(QS_BIND(QsDisplay)(w1, doc, 0, 0, 0, 0, 0, 0), 1);
  Pump();
  QS_BIND(QsSetCallback)(w1, 43, AnswerCursor, 0);
  const HCURSOR own = LoadCursor(nullptr, IDC_CROSS), arrow = LoadCursor(nullptr, IDC_ARROW);
  ASSERT_NE(own, arrow);

  // Plain text lies under the point, whose cursor is the arrow.
  const struct {
    std::intptr_t answer;
    HCURSOR after;
  } cases[] = {{1, own}, {0, arrow}, {-5, own}};
  for (const auto& c : cases) {
    SetCursor(own);
    g_cursorAnswer = c.answer;
    g_cursorRequests.clear();
    SendMessageA(one, WM_MOUSEMOVE, 0, MAKELPARAM(200, 120));
    ASSERT_EQ(g_cursorRequests.size(), 1u) << c.answer;
    const QsCursorRequest& r = g_cursorRequests[0];
    EXPECT_EQ(r.x, 200);
    EXPECT_EQ(r.y, 120);
    EXPECT_EQ(r.area, 1);  // the document area
    EXPECT_EQ(r.hitKind, 0);
    EXPECT_EQ(r.dragging, 0);
    EXPECT_EQ(GetCursor(), c.after) << c.answer;
  }
  Pump();
  EXPECT_EQ(QS_BIND(QsDetachDocumentViews)(doc), 1);
  QS_BIND(QsReleaseHandle)(doc);
}

TEST_F(ViewHost, HitCommandsWalkASearchsHitsAndTheStripMarksThem) {
  HWND one = Window(10, "hits view");
  ASSERT_TRUE(one);
  const auto w1 = reinterpret_cast<QsWindow>(one);
  std::string markup =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE MANUAL [\n<!ELEMENT MANUAL (TITLE, PARA+)>\n"
      "<!ELEMENT TITLE (#PCDATA)>\n<!ELEMENT PARA (#PCDATA)>\n]>\n"
      "<?STYLESPEC \"Views\" \"view.ssh\"?>\n<MANUAL><TITLE>Seals</TITLE>";
  for (int i = 0; i < 300; ++i)
    markup += "<PARA>Step " + std::to_string(i) + (i == 40 || i == 150 || i == 260 ? ": fit the gasket" : ": turn the bolt") +
              " and check the cover.</PARA>";
  markup += "</MANUAL>\n";
  QsHandle doc = QS_BIND(QsParseDocument)(Write("hits.xml", markup).c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u);
  ASSERT_EQ(QS_BIND(QsDisplay)(w1, doc, 0, 0, 0, 0, 0, 0x0101), 1);  // strip, mouse selection
  Pump();
  auto command = QS_BIND(QsViewCommand);
  EXPECT_EQ(command(w1, 6), 0);  // no hits yet
  ASSERT_EQ(QS_BIND(QsSearch)(w1, "gasket", 16), 3);  // 16: not scrolled
  std::vector<QsRangeRecord> hits;
  QS_BIND(QsEnumViewItems)(w1, [](const void* r, QsWord data) -> std::intptr_t {
    reinterpret_cast<std::vector<QsRangeRecord>*>(data)->push_back(*static_cast<const QsRangeRecord*>(r));
    return 0;
  }, reinterpret_cast<QsWord>(&hits));
  ASSERT_EQ(hits.size(), 3u);
  auto shows = [&](int hit) {
    std::int32_t start = -1, length = -1;
    QS_BIND(QsGetViewRange)(w1, &start, &length);
    return start <= hits[hit].start && hits[hit].start < start + length;
  };
  // command, result, the hit shown after it (-1: none checked)
  const struct {
    int command, result, shown;
  } steps[] = {
      {8, 1, 0}, {8, 1, 1}, {8, 1, 2}, {8, 0, 2}, {7, 1, 1}, {9, 1, 2}, {7, 1, 1},
      {7, 1, 0}, {7, 0, 0}, {6, 1, 0},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(std::to_string(step.command) + " -> " + std::to_string(step.shown));
    EXPECT_EQ(command(w1, step.command), step.result);
    EXPECT_TRUE(shows(step.shown));
  }
  // The strip: a tick at each hit's row, (start - first) * height / length.
  UpdateWindow(one);
  Pump();
  RECT client;
  GetClientRect(one, &client);
  QsHandle root = QS_BIND(QsGetDocumentRoot)(doc);
  std::int32_t rootStart = 0, rootLength = 0;
  ASSERT_EQ(QS_BIND(QsGetNodeRange)(root, &rootStart, &rootLength), 1);
  QS_BIND(QsReleaseHandle)(root);
  Capture shot(one);
  shot.Save("view_host_strip.bmp");
  const int x = shot.width - 8;
  for (const QsRangeRecord& hit : hits) {
    const int y = static_cast<int>(std::int64_t{hit.start - rootStart} * client.bottom / rootLength);
    bool tick = false;
    for (int dy = -2; dy <= 2; ++dy) {
      const int r = y + dy;
      if (r >= 0 && r + 4 < shot.height && shot.At(x, r) != shot.At(x, r + 4) &&
          shot.At(x, r) != shot.At(x, r - 4 >= 0 ? r - 4 : r + 8))
        tick = true;
    }
    EXPECT_TRUE(tick) << "hit at " << hit.start << ", row " << y;
  }
  // The strip's separator runs the full height at width - 16.
  EXPECT_GE(shot.DarkRuns(shot.height - 2, true), 1);
  // A click in the strip's top shows the first hit.
  EXPECT_EQ(command(w1, 9), 1);
  PostMessageA(one, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(client.right - 5, 0));
  PostMessageA(one, WM_LBUTTONUP, 0, MAKELPARAM(client.right - 5, 0));
  Pump();
  EXPECT_TRUE(shows(0));
  EXPECT_EQ(QS_BIND(QsDetachDocumentViews)(doc), 1);
  QS_BIND(QsReleaseHandle)(doc);
}

TEST_F(ViewHost, NavigatorEntriesMarkedUnderThePointMakeATagSet) {
  HWND one = Window(10, "marked navigator");
  ASSERT_TRUE(one);
  const auto w1 = reinterpret_cast<QsWindow>(one);
  QsHandle doc = QS_BIND(QsParseDocument)(docPath_.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u);
  QsHandle nav = QS_BIND(QsOpenNavigatorText)(
      "<!DOCTYPE TOC-DEF PUBLIC \"-//Quenda//DTD Navigator v2.00//EN\">\n"
      "<TOC-DEF NAME=\"Contents\"><TOC BODY=MANUAL TITLE=TITLE></TOC-DEF>\n",
      "marks.nav", nullptr, nullptr, 0);
  ASSERT_NE(nav, 0u);
  ASSERT_EQ(QS_BIND(QsDisplay)(w1, doc, 0, nav, 0, 0, 0, 0), 1);
  Pump();
  auto query = QS_BIND(QsQueryBoxAtPoint);
  auto mark = QS_BIND(QsMarkBoxAtPoint);
  // The one entry's row: the first that answers.
  int row = -1;
  for (int y = 0; y < 100 && row < 0; ++y)
    if (query(w1, 60, y) != 0) row = y;
  ASSERT_GE(row, 0);
  EXPECT_EQ(query(w1, 60, row), 1);  // not marked
  EXPECT_EQ(QS_BIND(QsGetViewTagSet)(w1), 0u);
  // Its title under the point is the title element.
  QsHandle title = QS_BIND(QsNodeAtPoint)(w1, 60, row + 2);
  ASSERT_NE(title, 0u);
  EXPECT_STREQ(QS_BIND(QsGetElementName)(title), "TITLE");
  QS_BIND(QsReleaseHandle)(title);

  EXPECT_EQ(mark(w1, 60, row, 2), 1);
  EXPECT_EQ(query(w1, 60, row), 2);
  QsHandle marked = QS_BIND(QsGetViewTagSet)(w1);
  ASSERT_NE(marked, 0u);
  EXPECT_EQ(QS_BIND(QsCountTagSet)(marked), 1);
  QsHandle root = QS_BIND(QsGetDocumentRoot)(doc);
  EXPECT_EQ(QS_BIND(QsIsInTagSet)(marked, root), 1);
  QS_BIND(QsReleaseHandle)(root);
  QS_BIND(QsReleaseHandle)(marked);
  // Marking for print runs "Print Document" over the part the view shows;
  // a timer of the test reads it and cancels it.
  g_printDialogLines = -1;
  const UINT_PTR timer = SetTimer(nullptr, 0, 200, CancelPrintDialog);
  EXPECT_EQ(QS_BIND(QsMarkTagSetInView)(0, w1, 0), 1);
  KillTimer(nullptr, timer);
  EXPECT_EQ(g_printDialogLines, 7);
  EXPECT_EQ(QS_BIND(QsMarkTagSetInView)(0, 0, 0), 0);
  // Mode 1 unmarks the entry, mode 0 every entry.
  EXPECT_EQ(mark(w1, 60, row, 1), 1);
  EXPECT_EQ(query(w1, 60, row), 1);
  EXPECT_EQ(mark(w1, 60, row, 2), 1);
  EXPECT_EQ(mark(w1, 0, 0, 0), 1);
  EXPECT_EQ(query(w1, 60, row), 1);
  EXPECT_EQ(QS_BIND(QsGetViewTagSet)(w1), 0u);
  // No line under the point: nothing to ask or mark.
  RECT client;
  GetClientRect(one, &client);
  EXPECT_EQ(query(w1, 60, client.bottom - 2), 0);
  EXPECT_EQ(mark(w1, 60, client.bottom - 2, 2), 0);

  // A selection set shows as the entries' hit counts; ranges outside the
  // document are passed over; set 0 takes the counts away.
  QsHandle hits = QS_BIND(QsCreateSelSet)(doc);
  ASSERT_NE(hits, 0u);
  EXPECT_EQ(QS_BIND(QsAddSelSetRange)(hits, 20, 4), 1);
  EXPECT_EQ(QS_BIND(QsAddSelSetRange)(hits, 60, 4), 1);
  EXPECT_EQ(QS_BIND(QsAddSelSetRange)(hits, 0x7FFFFFF0, 4), 1);
  auto show = QS_BIND(QsShowSelSet);
  EXPECT_EQ(show(w1, hits), 1);
  Pump();
  Capture(one).Save("view_host_marked.bmp");
  // The entry answers the node queries for its element: itself at level 0
  // with its two hits; a top-level entry without children has neither a
  // parent nor a first child.
  QsHandle top = QS_BIND(QsGetDocumentRoot)(doc);
  std::int32_t flags = -9, level = -9, count = -9;
  EXPECT_EQ(QS_BIND(QsGetNodeBoxValue21)(w1, top, &flags, &level, &count), 1);
  EXPECT_EQ(level, 0);
  EXPECT_EQ(count, 2);
  EXPECT_NE(flags, -9);
  EXPECT_EQ(QS_BIND(QsGetNodeBoxValue22)(w1, top, &flags, &level, &count), 0);
  EXPECT_EQ(QS_BIND(QsGetNodeBoxValue23)(w1, top, nullptr, nullptr, nullptr), 0);
  level = count = -9;
  QsHandle first = QS_BIND(QsGetViewNodeAt)(w1, nullptr, &level, &count);
  ASSERT_NE(first, 0u);
  EXPECT_EQ(QS_BIND(QsIsSameObject)(first, top), 1);
  EXPECT_EQ(level, 0);
  EXPECT_EQ(count, 2);
  QS_BIND(QsReleaseHandle)(first);
  EXPECT_EQ(show(w1, 0), 1);
  // A query's hits count in the entries from two hits on; one hit is none.
  auto highlight = QS_BIND(QsHighlightQuery);
  EXPECT_EQ(highlight(w1, "overhaul", 0), 0);
  EXPECT_EQ(highlight(w1, "seal", 0), 300);
  EXPECT_EQ(QS_BIND(QsGetNodeBoxValue21)(w1, top, nullptr, nullptr, &count), 1);
  EXPECT_EQ(count, 300);
  EXPECT_EQ(highlight(w1, nullptr, 0), 0);
  EXPECT_EQ(highlight(0, "seal", 0), 0);
  // Opening or closing answers for the entry's own element only.
  auto scrollTo = QS_BIND(QsScrollToNode);
  EXPECT_EQ(scrollTo(w1, top, 1, 1), 1);
  EXPECT_EQ(scrollTo(w1, top, 0, 0), 1);
  QsHandle heading = QS_BIND(QsDupNode)(top);
  ASSERT_NE(heading, 0u);
  ASSERT_EQ(QS_BIND(QsGotoFirstChild)(heading), 1);
  EXPECT_STREQ(QS_BIND(QsGetElementName)(heading), "TITLE");
  EXPECT_EQ(scrollTo(w1, heading, 1, 1), 0);
  QS_BIND(QsReleaseHandle)(heading);
  QS_BIND(QsReleaseHandle)(top);
  EXPECT_EQ(show(w1, 0), 1);
  EXPECT_EQ(show(0, hits), 0);
  QS_BIND(QsReleaseHandle)(hits);
  QS_BIND(QsReleaseHandle)(nav);
  EXPECT_EQ(QS_BIND(QsDetachDocumentViews)(doc), 1);
  QS_BIND(QsReleaseHandle)(doc);
}

TEST_F(ViewHost, ARestyledSheetRelaysTheViews) {
  HWND one = Window(10, "restyled view");
  const auto w1 = reinterpret_cast<QsWindow>(one);
  QsHandle doc = QS_BIND(QsParseDocument)(docPath_.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u);
  ASSERT_EQ(QS_BIND(QsDisplay)(w1, doc, 0, 0, 0, 0, 0, 0), 1);
  Pump();
  QS_BIND(QsShowPosition)(w1, 2000);
  std::int32_t start = 0, length = 0;
  QS_BIND(QsGetViewRange)(w1, &start, &length);
  QsHandle sheet = QS_BIND(QsGetViewStyleSheet)(w1);
  ASSERT_NE(sheet, 0u);
  QS_BIND(QsApplyStyleSheet)(sheet);
  QS_BIND(QsRedrawView)(w1);
  std::int32_t again = 0;
  QS_BIND(QsGetViewRange)(w1, &again, &length);
  EXPECT_EQ(again, start);  // laid out again where it was
  Pump();
  EXPECT_GT(Capture(one).InkRows(), 40);
  QS_BIND(QsReleaseHandle)(sheet);
  // A window going takes its view with it.
  DestroyWindow(one);
  windows_.clear();
  Pump();
  EXPECT_EQ(QS_BIND(QsGetViewDocument)(w1), 0u);
  EXPECT_EQ(QS_BIND(QsDetachDocumentViews)(doc), 0);
  QS_BIND(QsReleaseHandle)(doc);
}

// The sheet a document names, edited on disk: read again it changes no
// view; applied, both views over it are laid out anew (the title turns
// from red to blue, the paragraphs double their size, so less fits) and
// each window hears event 0. A file that no longer reads leaves the sheet,
// and the views, as they were. A navigator goes the same way.
TEST_F(ViewHost, ASheetEditedOnDiskReloadedAndAppliedRelaysItsViews) {
  HWND one = Window(10, "edited sheet"), two = Window(480, "edited sheet further on");
  ASSERT_TRUE(one && two);
  const auto w1 = reinterpret_cast<QsWindow>(one), w2 = reinterpret_cast<QsWindow>(two);
  QsHandle doc = QS_BIND(QsParseDocument)(docPath_.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u);
  auto display = QS_BIND(QsDisplay);
  auto range = QS_BIND(QsGetViewRange);
  ASSERT_EQ(display(w1, doc, 0, 0, 0, 0, 0, 0), 1);
  ASSERT_EQ(display(w2, doc, 0, 0, 0, 0, 0, 0), 1);
  ASSERT_EQ(QS_BIND(QsShowPosition)(w2, 4000), 1);
  Pump();
  std::int32_t start1 = -1, length1 = -1, start2 = -1, length2 = -1;
  ASSERT_EQ(range(w1, &start1, &length1), 1);
  ASSERT_EQ(range(w2, &start2, &length2), 1);
  EXPECT_EQ(start1, 0);
  const std::uint32_t red = 0xFF0000, blue = 0x0000FF;
  {
    const Capture before(one);
    EXPECT_GT(before.InkRows(red), 5);
    EXPECT_EQ(before.InkRows(blue), 0);
  }
  QsHandle sheet = QS_BIND(QsGetViewStyleSheet)(w1);
  ASSERT_NE(sheet, 0u);
  QsHandle other = QS_BIND(QsGetViewStyleSheet)(w2);
  EXPECT_EQ(QS_BIND(QsIsSameObject)(sheet, other), 1);
  QS_BIND(QsReleaseHandle)(other);

  std::string edited = sheetText_;
  edited.replace(edited.find("\"red\""), 5, "\"blue\"");
  edited.replace(edited.find("FONT-SIZE V=11"), 14, "FONT-SIZE V=22");
  Write("view.ssh", edited);
  // Read again, not yet applied: the views keep what they show, and paint
  // it again from the frames they hold.
  g_events.clear();
  ASSERT_EQ(QS_BIND(QsReloadStyleSheet)(sheet), 1);
  InvalidateRect(one, nullptr, TRUE);
  UpdateWindow(one);
  Pump();
  std::int32_t start = -1, length = -1;
  range(w1, &start, &length);
  EXPECT_EQ(start, start1);
  EXPECT_EQ(length, length1);
  EXPECT_GT(Capture(one).InkRows(red), 5);

  // Applied: both windows laid out anew from where they were, less text in
  // each, an event 0 for each.
  g_events.clear();
  QS_BIND(QsApplyStyleSheet)(sheet);
  Pump();
  EXPECT_GE(Count(w1, 0), 1);
  EXPECT_GE(Count(w2, 0), 1);
  ASSERT_EQ(range(w1, &start, &length), 1);
  EXPECT_EQ(start, 0);
  EXPECT_GT(length, 0);
  EXPECT_LT(length, length1 * 3 / 4);
  ASSERT_EQ(range(w2, &start, &length), 1);
  EXPECT_LE(start, 4000);
  EXPECT_GT(start + length, 4000);
  EXPECT_LT(length, length2 * 3 / 4);
  const std::int32_t editedLength = length;
  {
    const Capture after(one);
    after.Save("view_host_edited_sheet.bmp");
    EXPECT_EQ(after.InkRows(red), 0);
    EXPECT_GT(after.InkRows(blue), 5);
    EXPECT_GT(after.InkRows(), 40);
  }

  // A sheet file that no longer reads: 0, and applying the sheet keeps the
  // edited rules.
  Write("view.ssh", "<STYLESHEET");
  EXPECT_EQ(QS_BIND(QsReloadStyleSheet)(sheet), 0);
  QS_BIND(QsApplyStyleSheet)(sheet);
  Pump();
  ASSERT_EQ(range(w2, &start, &length), 1);
  EXPECT_EQ(length, editedLength);
  EXPECT_GT(Capture(one).InkRows(blue), 5);
  QS_BIND(QsReleaseHandle)(sheet);

  // The navigator of a file: its one entry, then none once the file has
  // lost its rule and been read again and applied.
  const char navHead[] =
      "<!DOCTYPE TOC-DEF PUBLIC \"-//Quenda//DTD Navigator v2.00//EN\">\n<TOC-DEF NAME=\"Contents\">";
  const std::string navPath =
      Write("edited.nav", std::string(navHead) + "<TOC BODY=MANUAL TITLE=TITLE></TOC-DEF>\n");
  QsHandle nav = QS_BIND(QsOpenNavigator)(navPath.c_str(), nullptr, nullptr, 0);
  ASSERT_NE(nav, 0u);
  ASSERT_EQ(display(w2, doc, 0, nav, w1, 0, 0, 0), 1);
  Pump();
  EXPECT_GT(Capture(two).PaintedRows(), 5);  // in the edited sheet's blue
  Write("edited.nav", std::string(navHead) + "</TOC-DEF>\n");
  ASSERT_EQ(QS_BIND(QsReloadNavigator)(nav), 1);
  g_events.clear();
  QS_BIND(QsApplyNavigator)(nav);
  // The empty navigator cannot show the book's top it follows: one paint,
  // and nothing is left to paint (not a paint for ever).
  UpdateWindow(two);
  ASSERT_FALSE(GetUpdateRect(two, nullptr, FALSE));
  Pump();
  EXPECT_GE(Count(w2, 0), 1);
  EXPECT_EQ(Capture(two).PaintedRows(), 0);
  QS_BIND(QsReleaseHandle)(nav);

  EXPECT_EQ(QS_BIND(QsDetachDocumentViews)(doc), 2);
  QS_BIND(QsReleaseHandle)(doc);
}

TEST_F(ViewHost, BackAndForwardAskTheHostForAWindow) {
  HWND one = Window(10, "history view");
  const auto w1 = reinterpret_cast<QsWindow>(one);
  auto parse = QS_BIND(QsParseDocument);
  QsHandle a = parse(docPath_.c_str(), nullptr, 0, nullptr, 0);
  QsHandle b = parse(otherPath_.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_TRUE(a && b);
  auto display = QS_BIND(QsDisplay);
  auto viewDocument = QS_BIND(QsGetViewDocument);
  auto release = QS_BIND(QsReleaseHandle);
  // Flag 0x80: the views record the places they leave.
  ASSERT_EQ(display(w1, a, 0, 0, 0, 0, 0, 0x80), 1);
  QS_BIND(QsShowPosition)(w1, 3000);
  ASSERT_EQ(display(w1, b, 0, 0, 0, 0, 0, 0x80), 1);
  QsHandle shown = viewDocument(w1);
  EXPECT_EQ(shown, b);
  release(shown);
  Pump();

  auto command = QS_BIND(QsViewCommand);
  g_events.clear();
  g_showIn = w1;
  EXPECT_EQ(command(w1, 10), 1);
  int asked = 0;
  for (const Event& e : g_events)
    if (e.event == 7) {
      ++asked;
      EXPECT_EQ(e.window, w1);
      EXPECT_NE(e.a, 0u);  // a node of the document to show
    }
  EXPECT_EQ(asked, 1);
  shown = viewDocument(w1);
  EXPECT_EQ(shown, a);  // A again, where the host said
  release(shown);
  std::int32_t start = 0, length = 0;
  QS_BIND(QsGetViewRange)(w1, &start, &length);
  EXPECT_LE(start, 3000);
  EXPECT_GE(start + length, 3000);
  EXPECT_EQ(command(w1, 11), 1);
  shown = viewDocument(w1);
  EXPECT_EQ(shown, b);
  release(shown);
  g_showIn = 0;
  Pump();
  release(a);
  release(b);
}

// A link in the shown text, clicked: the host is offered it (event 11),
// then again with its rule's form; left to the view, the range its FROM
// pointer names goes to the host (event 39) and the view scrolls there.
TEST_F(ViewHost, AClickedLinkIsFollowedToItsTarget) {
  HWND one = Window(10, "link view");
  ASSERT_TRUE(one);
  const auto w1 = reinterpret_cast<QsWindow>(one);
  for (int event : {int(QS_EVENT_FOLLOW_LINK), int(QS_EVENT_GOTO_RANGE), 16})
    QS_BIND(QsSetCallback)(0, event, RecordEvent, 0);
  std::string doc =
      "<?xml version=\"1.0\"?>\n"
      "<!DOCTYPE MANUAL [\n<!ELEMENT MANUAL (TITLE, PARA+)>\n<!ELEMENT TITLE (#PCDATA)>\n"
      "<!ELEMENT PARA (#PCDATA|XREF)*>\n<!ATTLIST PARA ID ID #IMPLIED>\n"
      "<!ELEMENT XREF (#PCDATA)>\n<!ATTLIST XREF FROM CDATA #IMPLIED>\n]>\n"
      "<?STYLESPEC \"Views\" \"view.ssh\"?>\n<?TAGLINK XREF TEI-P3?>\n"
      "<MANUAL><TITLE>Pump overhaul</TITLE>"
      "<PARA>Before the cover comes off, <XREF FROM=\"ID(seals)\">see the seal table</XREF> before you start.</PARA>";
  for (int i = 0; i < 300; ++i)
    doc += std::string(i == 250 ? "<PARA ID=\"seals\">" : "<PARA>") + "Step " + std::to_string(i) +
           ": loosen the bolts of the cover, lift it and check the seal for wear.</PARA>";
  doc += "</MANUAL>\n";
  QsHandle document = QS_BIND(QsParseDocument)(Write("link.xml", doc).c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(document, 0u);
  QsHandle seals = QS_BIND(QsGetElementById)(document, "seals");
  ASSERT_NE(seals, 0u);
  std::int32_t target = -1, targetLength = -1;
  ASSERT_EQ(QS_BIND(QsGetNodeRange)(seals, &target, &targetLength), 1);
  QS_BIND(QsReleaseHandle)(seals);
  ASSERT_EQ(QS_BIND(QsDisplay)(w1, document, 0, 0, 0, 0, 0, 0), 1);
  Pump();

  RECT client;
  GetClientRect(one, &client);
  auto isLink = [&](int x, int y) {
    QsHandle node = QS_BIND(QsNodeAtPoint)(w1, x, y);
    if (!node) return false;
    const char* name = QS_BIND(QsGetElementName)(node);
    const bool link = name && std::strcmp(name, "XREF") == 0;
    QS_BIND(QsReleaseHandle)(node);
    return link;
  };
  // The link breaks into a line of its own ("see the seal table"): a
  // column a little in from the left margin crosses its text. (Right of a
  // line's end the next place, the link's start, is under the point.)
  const int linkX = 30;
  int linkY = -1;
  for (int y = 2; y < client.bottom / 3 && linkY < 0; ++y)
    if (isLink(linkX, y)) linkY = y;
  ASSERT_GE(linkY, 0);
  int bottom = linkY;
  while (bottom + 1 < client.bottom && isLink(linkX, bottom + 1)) ++bottom;
  linkY = (linkY + bottom) / 2;
  auto click = [&] {
    PostMessageA(one, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(linkX, linkY));
    PostMessageA(one, WM_LBUTTONUP, 0, MAKELPARAM(linkX, linkY));
    Pump();
  };
  std::int32_t start = -1, length = -1;
  QS_BIND(QsGetViewRange)(w1, &start, &length);
  ASSERT_LT(start + length, target);  // the target is out of sight

  // The host takes the link: the view stays.
  g_events.clear();
  g_linkForms.clear();
  g_linkRanges.clear();
  g_takeLinks = 1;
  click();
  EXPECT_EQ(g_linkForms, (std::vector<std::string>{"-"}));
  EXPECT_TRUE(g_linkRanges.empty());
  std::int32_t now = -1, nowLength = -1;
  QS_BIND(QsGetViewRange)(w1, &now, &nowLength);
  EXPECT_EQ(now, start);

  // Left to the view: the rule's form, the range, and the view moves.
  g_events.clear();
  g_linkForms.clear();
  g_takeLinks = 0;
  click();
  EXPECT_EQ(g_linkForms, (std::vector<std::string>{"-", "TEI-P3"}));
  EXPECT_EQ(g_linkRanges.size(), 1u);
  for (const QsGotoRangeRequest& r : g_linkRanges) {
    EXPECT_NE(r.document, 0u);
    EXPECT_EQ(r.start, target);
    EXPECT_EQ(r.length, targetLength);
  }
  EXPECT_EQ(Count(w1, QS_EVENT_FOLLOW_LINK), 2);
  EXPECT_EQ(Count(w1, QS_EVENT_GOTO_RANGE), 1);
  EXPECT_EQ(Count(w1, 16), 0);  // no error
  for (const Event& e : g_events)
    if (e.event == QS_EVENT_GOTO_RANGE) {
      EXPECT_NE(e.a, 0u);  // the link element
    }
  QS_BIND(QsGetViewRange)(w1, &now, &nowLength);
  EXPECT_LE(now, target);
  EXPECT_GT(now + nowLength, target);
  UpdateWindow(one);
  Pump();
  Capture(one).Save("view_host_link.bmp");
  EXPECT_EQ(QS_BIND(QsDetachDocumentViews)(document), 1);
  QS_BIND(QsReleaseHandle)(document);
}

// A fraction's bar and a radical's top line are long horizontal lines of
// ink; the same text without the formula rules draws none.
TEST_F(ViewHost, AFractionAndARadicalDrawTheirLines) {
  const char* head =
      "<!DOCTYPE STYLESHEET PUBLIC \"-//Quenda//DTD Stylesheet v2.00//EN\">\n"
      "<STYLESHEET VERSION=\"2.00\">\n"
      "<STYLE TAG=FORMULA><FONT-SIZE V=16><BREAK-BEFORE V=Line><BREAK-AFTER V=Line></STYLE>\n";
  Write("formula.ssh", std::string(head) +
                           "<STYLE TAG=FRAC><MATH V=Fraction></STYLE>\n"
                           "<STYLE TAG=N></STYLE>\n<STYLE TAG=D></STYLE>\n"
                           "<STYLE TAG=ROOT><MATH V=Radical></STYLE>\n</STYLESHEET>\n");
  Write("plain.ssh", std::string(head) +
                         "<STYLE TAG=FRAC></STYLE>\n<STYLE TAG=N></STYLE>\n"
                         "<STYLE TAG=D></STYLE>\n<STYLE TAG=ROOT></STYLE>\n</STYLESHEET>\n");
  const std::string body =
      "<!DOCTYPE FORMULA [\n<!ELEMENT FORMULA (#PCDATA | FRAC | ROOT)*>\n"
      "<!ELEMENT FRAC (N, D)>\n<!ELEMENT N (#PCDATA)>\n<!ELEMENT D (#PCDATA)>\n"
      "<!ELEMENT ROOT (#PCDATA)>\n]>\n";
  const std::string formula =
      "<FORMULA>x = <FRAC><N>1234567890</N><D>4567890123</D></FRAC> + "
      "<ROOT>8901234567</ROOT></FORMULA>\n";
  const std::string withMath = Write(
      "formula.xml", "<?xml version=\"1.0\"?>\n" + body +
                         "<?STYLESPEC \"Formulas\" \"formula.ssh\"?>\n" + formula);
  const std::string withoutMath = Write(
      "plain.xml", "<?xml version=\"1.0\"?>\n" + body +
                       "<?STYLESPEC \"Plain\" \"plain.ssh\"?>\n" + formula);
  HWND one = Window(10, "formula view");
  const auto w1 = reinterpret_cast<QsWindow>(one);
  auto parse = QS_BIND(QsParseDocument);
  QsHandle plain = parse(withoutMath.c_str(), nullptr, 0, nullptr, 0);
  QsHandle math = parse(withMath.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_TRUE(plain && math);
  ASSERT_EQ(QS_BIND(QsDisplay)(w1, plain, 0, 0, 0, 0, 0, 0), 1);
  Pump();
  const Capture text(one);
  EXPECT_GT(text.InkRows(), 8);
  EXPECT_EQ(text.DarkRuns(40), 0);
  ASSERT_EQ(QS_BIND(QsDisplay)(w1, math, 0, 0, 0, 0, 0, 0), 1);
  Pump();
  const Capture drawn(one);
  drawn.Save("formula_view.bmp");
  // The bar and the sign's top line, each a line or two thick.
  EXPECT_GE(drawn.DarkRuns(40), 2);
  EXPECT_LE(drawn.DarkRuns(40), 6);
  QS_BIND(QsReleaseHandle)(plain);
  QS_BIND(QsReleaseHandle)(math);
}

// The sample manual's parts list: rules along its rows and columns, and its
// head row's text above the second rule.
TEST_F(ViewHost, APictureInTheTextIsFoundMarkedAndNamed) {
  // An XBM picture of 96 x 64 pixels, every other pixel set, far down the
  // document inside paragraph P; paragraph Q further on.
  std::string xbm = "#define p_width 96\n#define p_height 64\nstatic char p_bits[] = {\n";
  for (int i = 0; i < 12 * 64; ++i) xbm += i ? ",0x55" : "0x55";
  Write("pic.xbm", xbm + "};\n");
  std::string text =
      "<!DOCTYPE MANUAL [\n<!ELEMENT MANUAL - - (TITLE, PARA+)>\n<!ELEMENT TITLE - - (#PCDATA)>\n"
      "<!ELEMENT PARA - - (#PCDATA)>\n<!ATTLIST PARA ID ID #IMPLIED>\n"
      "<!NOTATION XBM SYSTEM \"xbm\">\n<!ENTITY pic SYSTEM \"pic.xbm\" NDATA XBM>\n]>\n"
      "<?STYLESPEC \"Views\" \"view.ssh\">\n<MANUAL><TITLE>Pictures</TITLE>\n";
  for (int i = 0; i < 120; ++i) {
    const char* id = i == 60 ? " ID=P" : i == 110 ? " ID=Q" : "";
    text += "<PARA" + std::string(id) + ">Step " + std::to_string(i) +
            (i == 60 ? ": the cover &pic; seen from above.</PARA>\n"
                     : ": loosen the bolts of the cover and check the seal.</PARA>\n");
  }
  text += "</MANUAL>\n";
  HWND one = Window(10, "picture in the text");
  const auto w1 = reinterpret_cast<QsWindow>(one);
  QsHandle doc = QS_BIND(QsParseDocument)(Write("pictures.sgm", text).c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u);
  ASSERT_EQ(QS_BIND(QsDisplay)(w1, doc, 0, 0, 0, 0, 0, 0), 1);
  Pump();
  QsHandle pic = QS_BIND(QsGetDocEntity)(doc, "pic");
  ASSERT_NE(pic, 0u);
  // Whether some of the node's text is in the window.
  auto shows = [&](QsHandle node) {
    std::int32_t start = 0, length = 0, first = 0, shown = 0;
    if (!QS_BIND(QsGetNodeRange)(node, &start, &length)) return false;
    QS_BIND(QsGetViewRange)(w1, &first, &shown);
    return start <= first + shown && start + length >= first;
  };
  QsHandle p = QS_BIND(QsGetElementById)(doc, "P");
  QsHandle q = QS_BIND(QsGetElementById)(doc, "Q");
  ASSERT_NE(p, 0u);
  ASSERT_NE(q, 0u);
  ASSERT_FALSE(shows(p));

  // Off the window the picture cannot be marked; the entity brings it in.
  EXPECT_EQ(QS_BIND(QsSetHighlight)(w1, pic, 512, 512, 1024, 1024), 0);
  ASSERT_EQ(QS_BIND(QsShowHandleTarget)(w1, pic), 1);
  Pump();
  EXPECT_TRUE(shows(p));

  // Where the picture stands: the points that name its entity.
  RECT client;
  GetClientRect(one, &client);
  int left = client.right, top = client.bottom, right = -1, bottom = -1;
  for (int y = 0; y < client.bottom; y += 2)
    for (int x = 0; x < client.right; x += 2) {
      QsHandle at = QS_BIND(QsEntityAtPoint)(w1, x, y);
      if (!at) continue;
      QS_BIND(QsReleaseHandle)(at);
      left = std::min(left, x), top = std::min(top, y);
      right = std::max(right, x), bottom = std::max(bottom, y);
    }
  ASSERT_GT(right - left, 80) << "picture not found in the window";
  ASSERT_GT(bottom - top, 50);
  auto redInPicture = [&] {
    UpdateWindow(one);
    Pump();
    const Capture shot(one);
    int n = 0;
    for (int y = top; y <= bottom + 1 && y < shot.height; ++y)
      for (int x = left; x <= right + 1 && x < shot.width; ++x) n += shot.At(x, y) == 0xFF0000;
    return n;
  };
  EXPECT_EQ(redInPicture(), 0);

  // The boxes that show a target: the picture's one box where it stands;
  // paragraph P's boxes, every one within P; nothing for another kind.
  static std::vector<std::vector<std::int32_t>> found;
  auto collect = [](const void* record, QsWord) -> std::intptr_t {
    const auto* r = static_cast<const std::int32_t*>(record);
    found.emplace_back(r, r + 7);
    return 0;
  };
  found.clear();
  EXPECT_EQ(QS_BIND(QsGetLinkTarget)(w1, pic, collect, 0), 0);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_GE(found[0][3], left - 2);
  EXPECT_LE(found[0][3], left + 2);
  EXPECT_GT(found[0][5], 80);  // 96 wide
  found.clear();
  QS_BIND(QsGetLinkTarget)(w1, p, collect, 0);
  std::int32_t pStart = 0, pLength = 0;
  ASSERT_EQ(QS_BIND(QsGetNodeRange)(p, &pStart, &pLength), 1);
  ASSERT_FALSE(found.empty());
  for (const auto& box : found) {
    EXPECT_GE(box[1], pStart);
    EXPECT_LE(box[1] + box[2], pStart + pLength);
  }
  EXPECT_EQ(QS_BIND(QsGetLinkTarget)(w1, doc, collect, 0), 0);  // a document is no target
  EXPECT_EQ(QS_BIND(QsGetLinkTarget)(0, pic, collect, 0), 0);
  // Painting with the shared palette outside a paint: a registered window
  // answers 0 (a true-colour display has no palette to select), others -1.
  EXPECT_EQ(QS_BIND(QsBeginWindowDraw)(w1, 1), 0);
  EXPECT_EQ(QS_BIND(QsBeginWindowDraw)(0x12345, 1), -1);

  // The middle half of the picture, outlined in red and reported back.
  ASSERT_EQ(QS_BIND(QsSetHighlight)(w1, pic, 512, 512, 1024, 1024), 1);
  const int outlined = redInPicture();
  EXPECT_GT(outlined, 2 * (40 + 24));  // the frame of a 48 x 32 rectangle
  EXPECT_LT(outlined, 2 * (56 + 40));
  Capture(one).Save("view_host_picture_region.bmp");
  std::int32_t x = -1, y = -1, w = -1, h = -1;
  QsHandle marked = QS_BIND(QsGetViewEntity)(w1, &x, &y, &w, &h);
  ASSERT_NE(marked, 0u);
  EXPECT_EQ(QS_BIND(QsIsSameObject)(marked, pic), 1);
  EXPECT_EQ(x, 512);
  EXPECT_EQ(y, 512);
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 1024);
  QS_BIND(QsReleaseHandle)(marked);
  // A node is not an entity.
  EXPECT_EQ(QS_BIND(QsSetHighlight)(w1, p, 0, 0, 10, 10), 0);

  EXPECT_EQ(QS_BIND(QsClearHighlight)(w1), 1);
  EXPECT_EQ(redInPicture(), 0);
  EXPECT_EQ(QS_BIND(QsGetViewEntity)(w1, &x, &y, &w, &h), 0u);

  // An anchor on paragraph Q is shown at its start; one in another
  // document is not this view's to show.
  QsHandle web = QS_BIND(QsCreateWeb)(Path("marks.web").c_str(), nullptr, "Marks");
  ASSERT_NE(web, 0u);
  ASSERT_EQ(QS_BIND(QsBeginWebEdit)(web), 1);
  std::int32_t qStart = 0, qLength = 0;
  ASSERT_EQ(QS_BIND(QsGetNodeRange)(q, &qStart, &qLength), 1);
  QsHandle anchor = QS_BIND(QsCreateRangeAnchor)(web, doc, qStart, 5, "Q");
  ASSERT_NE(anchor, 0u);
  ASSERT_FALSE(shows(q));
  EXPECT_EQ(QS_BIND(QsShowHandleTarget)(w1, anchor), 1);
  EXPECT_TRUE(shows(q));
  QsHandle other = QS_BIND(QsParseDocument)(otherPath_.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(other, 0u);
  QsHandle elsewhere = QS_BIND(QsCreateRangeAnchor)(web, other, 0, 5, "elsewhere");
  ASSERT_NE(elsewhere, 0u);
  EXPECT_EQ(QS_BIND(QsShowHandleTarget)(w1, elsewhere), 0);
  EXPECT_TRUE(shows(q));
  EXPECT_EQ(QS_BIND(QsShowHandleTarget)(w1, web), 0);  // a web has no place

  for (QsHandle h2 : {elsewhere, other, anchor, web, q, p, pic}) QS_BIND(QsReleaseHandle)(h2);
  QS_BIND(QsReleaseHandle)(doc);
}

TEST_F(ViewHost, AFigureLocationScrollsToItsAreaElseAsksForAPictureWindow) {
  // A picture taller than the window, in paragraph 30 of 60: its top 64
  // rows solid black, the rest striped.
  std::string xbm = "#define p_width 96\n#define p_height 800\nstatic char p_bits[] = {\n";
  for (int i = 0; i < 12 * 800; ++i) xbm += std::string(i ? "," : "") + (i < 12 * 64 ? "0xFF" : "0x55");
  Write("tall.xbm", xbm + "};\n");
  std::string text =
      "<!DOCTYPE MANUAL [\n<!ELEMENT MANUAL - - (TITLE, PARA+)>\n<!ELEMENT TITLE - - (#PCDATA)>\n"
      "<!ELEMENT PARA - - (#PCDATA)>\n<!NOTATION XBM SYSTEM \"xbm\">\n"
      "<!ENTITY tall SYSTEM \"tall.xbm\" NDATA XBM>\n]>\n"
      "<?STYLESPEC \"Views\" \"view.ssh\">\n<MANUAL><TITLE>Figures</TITLE>\n";
  for (int i = 0; i < 60; ++i)
    text += "<PARA>Step " + std::to_string(i) +
            (i == 30 ? ": &tall;</PARA>\n" : ": loosen the bolts of the cover.</PARA>\n");
  text += "</MANUAL>\n";
  QS_BIND(QsSetCallback)(0, 8, RecordEvent, 0);
  HWND one = Window(10, "figure location");
  const auto w1 = reinterpret_cast<QsWindow>(one);
  QsHandle doc = QS_BIND(QsParseDocument)(Write("figures.sgm", text).c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u);
  ASSERT_EQ(QS_BIND(QsDisplay)(w1, doc, 0, 0, 0, 0, 0, 0), 1);
  Pump();
  QsHandle root = QS_BIND(QsGetDocumentRoot)(doc);
  ASSERT_NE(root, 0u);
  RECT client;
  GetClientRect(one, &client);
  // The rows where the picture is, looked for on a few columns.
  auto pictureRows = [&](int* first, int* last) {
    *first = -1, *last = -1;
    for (int y = 0; y < client.bottom; ++y)
      for (int x = 20; x < 300; x += 8)
        if (QsHandle at = QS_BIND(QsEntityAtPoint)(w1, x, y)) {
          QS_BIND(QsReleaseHandle)(at);
          if (*first < 0) *first = y;
          *last = y;
          break;
        }
  };
  int first = 0, last = 0;
  pictureRows(&first, &last);
  ASSERT_EQ(first, -1);  // far down at the start

  // The lowest eighth of the picture: its bottom shows at the window's
  // bottom, so the picture runs on above the window top.
  g_events.clear();
  EXPECT_EQ(QS_BIND(QsParseLocation)(root, "FIG tall 0 1792 2048 256 0"), 1u);
  Pump();
  pictureRows(&first, &last);
  EXPECT_EQ(first, 0);
  EXPECT_GE(last, client.bottom - 4);
  EXPECT_EQ(Count(0, 8), 0);  // no picture window asked for
  auto blackRows = [&] {
    UpdateWindow(one);
    Pump();
    return Capture(one).DarkRuns(90);
  };
  EXPECT_EQ(blackRows(), 0);
  Capture(one).Save("view_host_figure_area.bmp");
  // The top eighth: back up to the picture's top, its black rows showing.
  EXPECT_EQ(QS_BIND(QsParseLocation)(root, "FIG tall 0 0 2048 256 0"), 1u);
  Pump();
  pictureRows(&first, &last);
  EXPECT_LT(first, 60);
  EXPECT_EQ(last, client.bottom - 1);
  EXPECT_GE(blackRows(), 60);

  // Without a view that places it, the host is asked for a picture window.
  EXPECT_EQ(QS_BIND(QsDetachDocumentViews)(doc), 1);
  g_events.clear();
  QS_BIND(QsParseLocation)(root, "FIG tall 0 1792 2048 256 0");
  EXPECT_EQ(Count(0, 8), 1);
  QS_BIND(QsReleaseHandle)(root);
  QS_BIND(QsReleaseHandle)(doc);
}

TEST_F(ViewHost, ASheetsPatternIsTiledBehindTheText) {
  // An 8 x 8 icon whose top row is set: tiled, a black rule every 8 rows.
  Write("rule.xbm",
        "#define r_width 8\n#define r_height 8\nstatic char r_bits[] = {\n"
        "0xFF,0x00,0x00,0x00,0x00,0x00,0x00,0x00};\n");
  Write("tiled.ssh",
        "<!DOCTYPE STYLESHEET PUBLIC \"-//Quenda//DTD Stylesheet v2.00//EN\" [\n"
        "<!NOTATION XBM SYSTEM \"xbm\">\n"
        "<!ATTLIST #NOTATION XBM SSHTYPE CDATA #IMPLIED>\n"
        "<!ENTITY rule SYSTEM \"rule.xbm\" NDATA XBM [SSHTYPE=ICON]>\n"
        "<!ENTITY PrnBG \"\\pattern(rule)\">\n]>\n"
        "<STYLESHEET VERSION=\"2.00\">\n"
        "<STYLE TAG=PARA><FONT-SIZE V=11><BREAK-BEFORE V=Line><BREAK-AFTER V=Line></STYLE>\n"
        "</STYLESHEET>\n");
  std::string text = "<?xml version=\"1.0\"?>\n<!DOCTYPE MANUAL [\n<!ELEMENT MANUAL (PARA+)>\n"
                     "<!ELEMENT PARA (#PCDATA)>\n]>\n<?STYLESPEC \"Tiled\" \"tiled.ssh\"?>\n"
                     "<MANUAL><PARA>One line on the pattern.</PARA></MANUAL>\n";
  HWND one = Window(10, "tiled background");
  const auto w1 = reinterpret_cast<QsWindow>(one);
  QsHandle doc = QS_BIND(QsParseDocument)(Write("tiled.xml", text).c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u);
  ASSERT_EQ(QS_BIND(QsDisplay)(w1, doc, 0, 0, 0, 0, 0, 0), 1);
  Pump();
  UpdateWindow(one);
  Pump();
  const Capture shot(one);
  shot.Save("view_host_tiled.bmp");
  // Rules across the whole width, one in eight rows, down to the bottom.
  const int rules = shot.DarkRuns(shot.width - 4);
  EXPECT_GE(rules, shot.height / 8 - 2);
  EXPECT_LE(rules, shot.height / 8 + 2);
  int last = -1;
  for (int y = 0; y < shot.height; ++y)
    if (((shot.At(shot.width / 2, y) >> 8) & 0xFF) < 100) last = y;
  EXPECT_GE(last, shot.height - 8);
  EXPECT_EQ(QS_BIND(QsDetachDocumentViews)(doc), 1);
  QS_BIND(QsReleaseHandle)(doc);
}

TEST_F(ViewHost, TheSampleManualsPartsListDrawsItsRules) {
  std::string manual = SourceHome();
  manual.replace(manual.size() - 5, 5, "manual\\manuale.sgm");
  HWND one = Window(10, "parts list");
  const auto w1 = reinterpret_cast<QsWindow>(one);
  QsHandle doc = QS_BIND(QsParseDocument)(manual.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u) << manual;
  ASSERT_EQ(QS_BIND(QsDisplay)(w1, doc, 0, 0, 0, 0, 0, 0), 1);
  QsHandle table = QS_BIND(QsGetElementById)(doc, "T1");
  ASSERT_NE(table, 0u);
  std::int32_t start = 0, length = 0;
  ASSERT_EQ(QS_BIND(QsGetNodeRange)(table, &start, &length), 1);
  QS_BIND(QsShowPosition)(w1, start);
  Pump();
  const Capture shot(one);
  shot.Save("parts_list.bmp");
  // Ten row edges, some below the window, and five column edges (frame and
  // column rules): the table fills the window and its right frame rule
  // stands on the window's last pixel column.
  const int rows = shot.DarkRuns(300);
  EXPECT_GE(rows, 6);
  EXPECT_GE(shot.DarkRuns(100, true), 5);
  // Both frame rules are seen: the left on the first pixel column, the right
  // on the last, not one past it where the window would clip it away.
  EXPECT_GE(shot.DarkColumn(0), 100);
  EXPECT_GE(shot.DarkColumn(shot.width - 1), 100);
  // The head row: ink between the first two row edges.
  int first = -1, second = -1;
  for (int y = 0; y < shot.height && second < 0; ++y) {
    int run = 0, longest = 0;
    for (int x = 0; x < shot.width; ++x) {
      const std::uint32_t p = shot.At(x, y);
      run = (((p >> 16) & 0xFF) < 100 && ((p >> 8) & 0xFF) < 100 && (p & 0xFF) < 100) ? run + 1 : 0;
      longest = run > longest ? run : longest;
    }
    if (longest < 300) continue;
    if (first < 0) first = y;
    else if (y > first + 4) second = y;
  }
  ASSERT_GT(second, first);
  int ink = 0;
  for (int y = first + 2; y < second - 1; ++y)
    for (int x = 0; x < shot.width; ++x) {
      const std::uint32_t p = shot.At(x, y);
      if (((p >> 16) & 0xFF) < 100 && ((p >> 8) & 0xFF) < 100 && (p & 0xFF) < 100) ++ink;
    }
  EXPECT_GT(ink, 100);  // "Ref.", "Part number", "Name", "Qty" in bold
  QS_BIND(QsReleaseHandle)(table);
  QS_BIND(QsReleaseHandle)(doc);
}

// Errors of a parse, with the first one's number and line for the failure
// message.
struct ParseErrors {
  int count = 0;
  std::string first;
};
std::int32_t CountErrors(const void* record, QsWord data) {
  const auto* r = static_cast<const QsParseReport*>(record);
  auto* errors = reinterpret_cast<ParseErrors*>(data);
  if ((r->kind & QS_REPORT_MESSAGE) && r->severity == 1 && errors->count++ == 0)
    errors->first = "message " + std::to_string(r->number) + " line " + std::to_string(r->line) +
                    " in " + (r->entity ? r->entity : "?");
  return 1;
}

// A real manual: gtk-doc's (DocBook XML 4.3, its DTD from docbook-xml
// through a pushed catalog) with the DocBook sheet and navigator, the book
// in one window and its contents in the other. The book's title, set large,
// is the first band; keys, the scroll bar and the wheel move the book; a
// click on a contents entry shows its part of the book.
TEST_F(ViewHost, TheGtkDocManualWithTheDocBookSheetShowsInTwoWindows) {
  const std::string manual = "Z:\\usr\\share\\help\\C\\gtk-doc-manual\\index.docbook";
  if (GetFileAttributesA(manual.c_str()) == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "gtk-doc-tools is not installed";
  QS_BIND(QsPushCatalog)("Z:\\usr\\share\\xml\\docbook\\schema\\dtd\\4.3\\catalog", 0);
  ParseErrors errors;
  QsHandle doc = QS_BIND(QsParseDocument)(manual.c_str(), nullptr, 0, CountErrors,
                                          reinterpret_cast<QsWord>(&errors));
  ASSERT_NE(doc, 0u);
  EXPECT_EQ(errors.count, 0) << errors.first;
  std::string docbook = SourceHome();
  docbook.replace(docbook.size() - 5, 5, "docbook\\");
  ParseErrors sheetErrors, navErrors;
  QsHandle sheet = QS_BIND(QsOpenStyleSheet)((docbook + "docbook.ssh").c_str(), nullptr, CountErrors,
                                             reinterpret_cast<QsWord>(&sheetErrors));
  QsHandle nav = QS_BIND(QsOpenNavigator)((docbook + "docbook.nav").c_str(), nullptr, CountErrors,
                                          reinterpret_cast<QsWord>(&navErrors));
  ASSERT_TRUE(sheet && nav) << docbook;
  EXPECT_EQ(sheetErrors.count, 0) << sheetErrors.first;
  EXPECT_EQ(navErrors.count, 0) << navErrors.first;

  HWND one = Window(10, "GTK-Doc Manual"), two = Window(480, "GTK-Doc Manual contents");
  ASSERT_TRUE(one && two);
  const auto w1 = reinterpret_cast<QsWindow>(one), w2 = reinterpret_cast<QsWindow>(two);
  auto display = QS_BIND(QsDisplay);
  auto range = QS_BIND(QsGetViewRange);
  g_events.clear();
  ASSERT_EQ(display(w1, doc, sheet, 0, 0, 0, 0, 0), 1);
  ASSERT_EQ(display(w2, doc, sheet, nav, w1, 0, 0, 0), 1);
  EXPECT_GE(Count(w1, 0), 1);
  EXPECT_GE(Count(w2, 0), 1);
  EXPECT_EQ(QS_BIND(QsGetWindowKind)(w1), 1);
  EXPECT_EQ(QS_BIND(QsGetWindowKind)(w2), 2);
  QsHandle shown = QS_BIND(QsGetViewStyleSheet)(w1);
  EXPECT_EQ(QS_BIND(QsIsSameObject)(shown, sheet), 1);
  QS_BIND(QsReleaseHandle)(shown);
  Pump();

  const Capture book(one), contents(two);
  book.Save("view_host_gtkdoc.bmp");
  contents.Save("view_host_gtkdoc_contents.bmp");
  const std::vector<int> bands = book.Bands();
  ASSERT_GE(bands.size(), 5u);
  std::vector<int> sorted = bands;
  std::sort(sorted.begin(), sorted.end());
  // 24 points bold against the body's 11.
  EXPECT_GT(bands[0], sorted[sorted.size() / 2] * 3 / 2)
      << bands[0] << " against " << sorted[sorted.size() / 2];
  EXPECT_GE(contents.Bands().size(), 5u);  // the book, its chapters and appendix

  // Keys, the bar and the wheel move the book; each paint ends in event 0.
  const std::int32_t count = QS_BIND(QsGetDocumentCount)(doc);
  std::int32_t start = -1, length = -1, before = 0;
  ASSERT_EQ(range(w1, &start, &length), 1);
  EXPECT_EQ(start, 0);
  EXPECT_LT(length, count / 4);
  g_events.clear();
  SendMessageA(one, WM_KEYDOWN, VK_NEXT, 0);
  UpdateWindow(one);
  Pump();
  EXPECT_GE(Count(w1, 0), 1);
  range(w1, &before, &length);
  EXPECT_GT(before, 0);
  {
    const Capture paged(one);
    paged.Save("view_host_gtkdoc_paged.bmp");
    EXPECT_GT(paged.InkRows(), 40);
    EXPECT_NE(paged.pixels, book.pixels);
  }
  SendMessageA(one, WM_VSCROLL, SB_LINEDOWN, 0);
  range(w1, &start, &length);
  EXPECT_GT(start, before);
  before = start;
  SendMessageA(one, WM_KEYDOWN, VK_DOWN, 0);
  SendMessageA(one, WM_KEYDOWN, VK_DOWN, 0);
  range(w1, &start, &length);
  EXPECT_GT(start, before);
  before = start;
  SendMessageA(one, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(50, 50));
  range(w1, &start, &length);
  EXPECT_LT(start, before);
  SendMessageA(one, WM_KEYDOWN, VK_END, 0);
  range(w1, &start, &length);
  EXPECT_EQ(start + length, count);
  SendMessageA(one, WM_KEYDOWN, VK_HOME, 0);
  range(w1, &start, &length);
  EXPECT_EQ(start, 0);
  // The contents follow the book's top once per move, and settle.
  UpdateWindow(one);
  UpdateWindow(two);
  EXPECT_FALSE(GetUpdateRect(two, nullptr, FALSE));
  Pump();

  // A click on an entry far down the book: offered to the host (event 6
  // with the entry's element); a host that takes it leaves the book where
  // it is, else the linked window shows the entry's part of the book.
  QS_BIND(QsSetCallback)(0, 6, RecordEvent, 0);
  auto query = QS_BIND(QsQueryBoxAtPoint);
  int lastRow = -1;
  for (int y = 0; y < contents.height; ++y)
    if (query(w2, 40, y) != 0) lastRow = y;
  ASSERT_GT(lastRow, 0);
  int firstRow = lastRow;
  while (firstRow > 0 && query(w2, 40, firstRow - 1) != 0) --firstRow;
  const int entryRow = (firstRow + lastRow) / 2;
  QsHandle entry = QS_BIND(QsNodeAtPoint)(w2, 40, entryRow);
  ASSERT_NE(entry, 0u);
  std::int32_t entryStart = -1, entryLength = -1;
  ASSERT_EQ(QS_BIND(QsGetNodeRange)(entry, &entryStart, &entryLength), 1);
  QS_BIND(QsReleaseHandle)(entry);
  ASSERT_GT(entryStart, length);  // out of the book window's sight
  auto click = [&] {
    g_events.clear();
    PostMessageA(two, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, entryRow));
    PostMessageA(two, WM_LBUTTONUP, 0, MAKELPARAM(40, entryRow));
    Pump();
  };
  g_takeGoto = 1;
  click();
  EXPECT_EQ(Count(w2, 6), 1);
  for (const Event& e : g_events)
    if (e.event == 6) {
      EXPECT_NE(e.a, 0u);
    }
  range(w1, &start, &length);
  EXPECT_EQ(start, 0);
  g_takeGoto = 0;
  click();
  EXPECT_EQ(Count(w2, 6), 1);
  range(w1, &start, &length);
  EXPECT_LE(start, entryStart + entryLength);
  EXPECT_GT(start + length, entryStart) << start << "+" << length << " for " << entryStart;
  EXPECT_GE(Count(w1, 0), 1);
  Capture(one).Save("view_host_gtkdoc_entry.bmp");

  QS_BIND(QsReleaseHandle)(nav);
  QS_BIND(QsReleaseHandle)(sheet);
  EXPECT_EQ(QS_BIND(QsDetachDocumentViews)(doc), 2);
  QS_BIND(QsReleaseHandle)(doc);
  QS_BIND(QsPopCatalog)();
}

// A page of the preview at 600 dpi, one bit a pixel (0 ink, 1 paper).
class PreviewPage {
 public:
  PreviewPage(int width, int height) : width_(width), height_(height) {
    struct {
      BITMAPINFOHEADER header;
      RGBQUAD colours[2];
    } info{};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = width;
    info.header.biHeight = -height;
    info.header.biPlanes = 1;
    info.header.biBitCount = 1;
    info.colours[1] = {255, 255, 255, 0};
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits_,
                               nullptr, 0);
    if (bitmap_) old_ = SelectObject(dc_, bitmap_);
    stride_ = ((width + 31) / 32) * 4;
  }
  ~PreviewPage() {
    if (old_) SelectObject(dc_, old_);
    if (bitmap_) DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  bool Ok() const { return bits_ != nullptr; }
  QsWord Dc() const { return reinterpret_cast<QsWord>(dc_); }
  void Clear() { PatBlt(dc_, 0, 0, width_, height_, WHITENESS); }
  std::string Bytes() const {
    GdiFlush();
    return std::string(static_cast<const char*>(bits_), static_cast<std::size_t>(stride_) * height_);
  }
  // Rows holding ink.
  int InkRows() const {
    GdiFlush();
    int rows = 0;
    for (int y = 0; y < height_; ++y) {
      const auto* row = static_cast<const unsigned char*>(bits_) + static_cast<std::size_t>(y) * stride_;
      for (int x = 0; x < width_; ++x)
        if (!(row[x / 8] & (0x80 >> (x % 8)))) {
          ++rows;
          break;
        }
    }
    return rows;
  }

 private:
  int width_, height_, stride_ = 0;
  HDC dc_;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  void* bits_ = nullptr;
};

// The page-number text records of a metafile: each text drawn with the font
// last selected, as (text, font height, italic, face).
struct MetafileText {
  std::string text;
  LONG height;
  bool italic;
  std::string face;
};

int CALLBACK CollectText(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM data) {
  struct State {
    std::vector<MetafileText>* out;
    std::vector<LOGFONTW> fonts;
    std::vector<DWORD> handles;
    LOGFONTW current;
  };
  auto* state = reinterpret_cast<State*>(data);
  if (record->iType == EMR_EXTCREATEFONTINDIRECTW) {
    const auto* font = reinterpret_cast<const EMREXTCREATEFONTINDIRECTW*>(record);
    state->fonts.push_back(font->elfw.elfLogFont);
    state->handles.push_back(font->ihFont);
  } else if (record->iType == EMR_SELECTOBJECT) {
    const auto* select = reinterpret_cast<const EMRSELECTOBJECT*>(record);
    for (std::size_t i = state->handles.size(); i-- > 0;)
      if (state->handles[i] == select->ihObject) {
        state->current = state->fonts[i];
        break;
      }
  } else if (record->iType == EMR_EXTTEXTOUTW) {
    const auto* text = reinterpret_cast<const EMREXTTEXTOUTW*>(record);
    const auto* chars = reinterpret_cast<const wchar_t*>(reinterpret_cast<const char*>(record) +
                                                         text->emrtext.offString);
    std::string narrow;
    for (DWORD i = 0; i < text->emrtext.nChars; ++i) narrow += static_cast<char>(chars[i]);
    char face[LF_FACESIZE] = "";
    WideCharToMultiByte(CP_ACP, 0, state->current.lfFaceName, -1, face, sizeof face, nullptr, nullptr);
    state->out->push_back({narrow, state->current.lfHeight, state->current.lfItalic != 0, face});
  }
  return 1;
}

std::vector<MetafileText> TextsOf(HENHMETAFILE metafile) {
  std::vector<MetafileText> out;
  struct {
    std::vector<MetafileText>* out;
    std::vector<LOGFONTW> fonts;
    std::vector<DWORD> handles;
    LOGFONTW current;
  } state{&out, {}, {}, {}};
  EnumEnhMetaFile(nullptr, metafile, CollectText, &state, nullptr);
  return out;
}

std::vector<std::int32_t> g_errors;
std::intptr_t RecordError(QsWindow, std::int32_t, QsWord code, QsWord, QsWord) {
  g_errors.push_back(static_cast<std::int32_t>(code));
  return 1;  // told: no message box
}

TEST_F(ViewHost, TheSampleManualPreviewsPageByPage) {
  std::string manual = SourceHome();
  manual.replace(manual.size() - 5, 5, "manual\\manuale.sgm");
  QsHandle doc = QS_BIND(QsParseDocument)(manual.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u) << manual;
  constexpr int kWidth = 4942, kHeight = 6989;
  PreviewPage page(kWidth, kHeight);
  ASSERT_TRUE(page.Ok());
  page.Clear();
  auto preview = QS_BIND(QsPrintPreviewPage);
  auto paint = QS_BIND(QsPaintPreviewPage);
  auto step = QS_BIND(QsStepPreviewPage);
  auto end = QS_BIND(QsEndPreview);

  // No document: no job, and the count is left alone.
  std::int32_t count = -7;
  EXPECT_EQ(preview(0x7777, 0, 0, 0, 3, page.Dc(), 600, 600, kWidth, kHeight, &count), 0u);
  EXPECT_EQ(count, -7);

  // The page number in the right of the header; the sheet starts each
  // top-level section on a page of its own.
  const QsWord job = preview(doc, 0, 0, 0, 3, page.Dc(), 600, 600, kWidth, kHeight, &count);
  ASSERT_NE(job, 0u);
  EXPECT_GE(count, 5);
  EXPECT_LT(count, 20);
  // Nothing before the first page.
  EXPECT_EQ(step(job, page.Dc(), 1), 0);
  paint(job, page.Dc());
  const std::string first = page.Bytes();
  EXPECT_GT(page.InkRows(), 100);
  // Forward until there is no next page: the count.
  int pages = 1;
  while (step(job, page.Dc(), 4) == 1 && pages < 100) ++pages;
  EXPECT_EQ(pages, count);
  // Page 5, one back: page 4, laid out again from the first.
  ASSERT_EQ(step(job, page.Dc(), 0), 1);
  for (int i = 0; i < 4; ++i) ASSERT_EQ(step(job, page.Dc(), 4), 1) << i;
  ASSERT_EQ(step(job, page.Dc(), 1), 1);
  page.Clear();
  paint(job, page.Dc());
  const std::string back = page.Bytes();
  EXPECT_GT(page.InkRows(), 20);
  // Page 4 reached in order.
  ASSERT_EQ(step(job, page.Dc(), 0), 1);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(step(job, page.Dc(), 4), 1) << i;
  page.Clear();
  paint(job, page.Dc());
  const std::string inOrder = page.Bytes();
  EXPECT_TRUE(back == inOrder);
  EXPECT_FALSE(back == first);
  // Other steps do nothing.
  EXPECT_EQ(step(job, page.Dc(), 2), 0);
  end(job);
  // An ended job, or a value that never was one, is no job.
  end(job);
  paint(job, page.Dc());
  EXPECT_EQ(step(job, page.Dc(), 4), 0);

  // In a metafile the header's text is the page number, right of the body,
  // in 9-point italic "Times New Roman" at 600 dpi. Page `n`'s texts:
  auto textsOfPage = [&](int n) {
    HDC reference = GetDC(nullptr);
    const int mmWidth = kWidth * 2540 / 600, mmHeight = kHeight * 2540 / 600;
    RECT frame{0, 0, mmWidth, mmHeight};
    HDC emf = CreateEnhMetaFileA(reference, nullptr, &frame, nullptr);
    ReleaseDC(nullptr, reference);
    std::vector<MetafileText> found;
    EXPECT_NE(emf, nullptr);
    if (!emf) return found;
    const QsWord shown = preview(doc, 0, 0, 0, 3, reinterpret_cast<QsWord>(emf), 600, 600, kWidth,
                                 kHeight, nullptr);
    EXPECT_NE(shown, 0u);
    for (int i = 1; i < n; ++i) EXPECT_EQ(step(shown, reinterpret_cast<QsWord>(emf), 4), 1) << i;
    paint(shown, reinterpret_cast<QsWord>(emf));
    end(shown);
    HENHMETAFILE metafile = CloseEnhMetaFile(emf);
    EXPECT_NE(metafile, nullptr);
    if (metafile) {
      found = TextsOf(metafile);
      DeleteEnhMetaFile(metafile);
    }
    return found;
  };
  auto holds = [](const std::vector<MetafileText>& texts, const char* word) {
    for (const MetafileText& t : texts)
      if (t.text.find(word) != std::string::npos) return true;
    return false;
  };
  // The sheet's first-page header (the title, "... Sample ...") on page 1
  // only; the running head ("CV-3000 Bench Grinder ...") on the pages after
  // it. (The body says "bench" and "sample" in lower case only.)
  const std::vector<MetafileText> firstTexts = textsOfPage(1);
  EXPECT_TRUE(holds(firstTexts, "Sample")) << firstTexts.size() << " texts";
  EXPECT_FALSE(holds(firstTexts, "Bench"));
  const std::vector<MetafileText> texts = textsOfPage(2);
  EXPECT_TRUE(holds(texts, "Bench")) << texts.size() << " texts";
  EXPECT_FALSE(holds(texts, "Sample"));
  EXPECT_TRUE(holds(textsOfPage(count), "Bench"));
  bool number = false;
  for (const MetafileText& t : texts)
    if (t.text == "2") {
      number = true;
      EXPECT_EQ(t.height, -75);
      EXPECT_TRUE(t.italic);
      EXPECT_EQ(t.face, "Times New Roman");
    }
  EXPECT_TRUE(number) << texts.size() << " texts";

  // Printing without a printer: error 41, and the call still ran.
  g_errors.clear();
  QS_BIND(QsSetCallback)(0, 16, RecordError, 0);
  EXPECT_EQ(QS_BIND(QsPrintDocument)(doc, 0, 0, 0, 3), 1);
  EXPECT_EQ(g_errors, std::vector<std::int32_t>{41});
  EXPECT_EQ(QS_BIND(QsPrintDocument)(0x7777, 0, 0, 0, 3), 0);
  QS_BIND(QsReleaseHandle)(doc);
}

}  // namespace
}  // namespace qs::test
