// A host that binds QSENGINE.DLL by name and shows a document in two of
// its windows, whose procedures hand every message to QsDefWindowProc.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>
#include <vector>

#include "../engine_dll.h"
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
  // Rows (or columns) holding a dark run of at least `length` pixels: the
  // lines a view draws, which text never makes.
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
  // For people: a bitmap file in the build folder.
  void Save(const char* name) const {
    const char* dir = std::getenv("QS_BINARY_DIR");
    if (!dir) return;
    std::string path = std::string("Z:") + dir + "/" + name;
    for (auto& c : path)
      if (c == '/') c = '\\';
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    ih.biSize = sizeof ih;
    ih.biWidth = width;
    ih.biHeight = -height;
    ih.biPlanes = 1;
    ih.biBitCount = 32;
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + width * height * 4;
    std::fwrite(&fh, sizeof fh, 1, f);
    std::fwrite(&ih, sizeof ih, 1, f);
    std::fwrite(pixels.data(), 4, pixels.size(), f);
    std::fclose(f);
  }
};

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
    for (int event : {0, 7, 24, 27}) QS_BIND(QsSetCallback)(0, event, RecordEvent, 0);
    Write("view.ssh",
          "<!DOCTYPE STYLESHEET PUBLIC \"-//Quenda//DTD Stylesheet v2.00//EN\">\n"
          "<STYLESHEET VERSION=\"2.00\">\n"
          "<STYLE TAG=TITLE><FONT-SIZE V=20><FONT-COLOR V=\"red\"><JUSTIFY V=center>"
          "<BREAK-BEFORE V=Line><BREAK-AFTER V=Line><SPC-BELOW V=6></STYLE>\n"
          "<STYLE TAG=PARA><FONT-SIZE V=11><SPC-LEFT V=\"10\"><SPC-BELOW V=4>"
          "<BREAK-BEFORE V=Line><BREAK-AFTER V=Line></STYLE>\n"
          "</STYLESHEET>\n");
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
    QS_BIND(QsTerminate)();
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
  std::string docPath_, otherPath_;
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
  // Marking for print needs the print dialog: 0 until there is one.
  EXPECT_EQ(QS_BIND(QsMarkTagSetInView)(0, w1, 0), 0);
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

}  // namespace
}  // namespace qs::test
