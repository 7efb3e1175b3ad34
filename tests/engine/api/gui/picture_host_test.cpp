// A host that binds QSENGINE.DLL by name and shows a picture in a window of
// its own with an overview pane, and a document's element tree in another;
// their procedures hand every message to QsDefWindowProc.
#include <cstdio>
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
  QsWord a;
  std::intptr_t hit;  // event 43: the hit code
};
std::vector<Event> g_events;
QsWindow g_pictureWindow = 0, g_overviewWindow = 0, g_documentWindow = 0;
QsPictureRequest g_request{};

std::intptr_t RecordEvent(QsWindow window, std::int32_t event, QsWord a, QsWord b, QsWord) {
  Event e{window, event, a, 0};
  if (event == 43) e.hit = reinterpret_cast<const QsCursorRequest*>(a)->hitKind;
  if (event == 8) {
    auto* request = reinterpret_cast<QsPictureRequest*>(b);
    g_request = *request;
    request->pictureFlags = 0x200;
    request->overviewWindow = g_overviewWindow;
  }
  g_events.push_back(e);
  if (event == 8) return static_cast<std::intptr_t>(g_pictureWindow);
  if (event == 7) return static_cast<std::intptr_t>(g_documentWindow);
  // 38: the host takes clicked elements; 49: no box for handles still held.
  return event == 38 || event == 49 ? 1 : 0;
}

decltype(&::QsDefWindowProc) g_defWindowProc = nullptr;

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (g_defWindowProc)
    return static_cast<LRESULT>(g_defWindowProc(reinterpret_cast<QsWindow>(window), message,
                                                 static_cast<QsWord>(wparam),
                                                 static_cast<QsWord>(lparam)));
  return DefWindowProcA(window, message, wparam, lparam);
}

// A popup window whose client area is w x h.
HWND MakeWindow(int x, int y, int w, int h, const char* caption) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = "QsPictureHost";
    RegisterClassA(&wc);
    registered = true;
  }
  RECT r{0, 0, w, h};
  AdjustWindowRect(&r, WS_POPUP | WS_BORDER, FALSE);
  return CreateWindowA("QsPictureHost", caption, WS_POPUP | WS_BORDER | WS_VISIBLE, x, y,
                       r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                       GetModuleHandleA(nullptr), nullptr);
}

struct Capture : WindowPixels {
  using WindowPixels::WindowPixels;
  bool Dark(int x, int y) const {
    const std::uint32_t p = At(x, y);
    return ((p >> 16) & 0xFF) < 100 && ((p >> 8) & 0xFF) < 100 && (p & 0xFF) < 100;
  }
  int DarkPixels() const {
    int n = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) n += Dark(x, y);
    return n;
  }
};

LPARAM Point(int x, int y) { return MAKELPARAM(x, y); }

class PictureHost : public EngineDll {
 protected:
  void SetUp() override {
    EngineDll::SetUp();
    if (HasFatalFailure()) return;
    dir_ = MakeTempFolder("qspicturehost");
    std::string home = SourceHome();
    std::string catalog = home + "catalog\\catalog";
    ASSERT_NE(QS_BIND(QsInitialize)(reinterpret_cast<QsWord>(GetModuleHandleA(nullptr)), "Pictures",
                                    catalog.c_str(), nullptr, nullptr, dir_.c_str(), home.c_str()),
              0);
    g_defWindowProc = QS_BIND(QsDefWindowProc);
    for (int event : {0, 1, 7, 8, 10, 25, 38, 43, 49}) QS_BIND(QsSetCallback)(0, event, RecordEvent, 0);
    // A 216 x 208 picture: black on its left half, white on its right.
    std::string xbm = "#define k_width 216\n#define k_height 208\nstatic char k_bits[] = {\n";
    for (int y = 0; y < 208; ++y)
      for (int x = 0; x < 27; ++x) xbm += x < 13 ? "0xff," : x == 13 ? "0x0f," : "0x00,";
    xbm += "};\n";
    Write("knot.xbm", xbm);
    docPath_ = Write("fig.sgm",
                     "<!DOCTYPE doc [\n"
                     "<!ELEMENT doc - - (fig, sec+)>\n<!ELEMENT fig - - (hs*)>\n"
                     "<!ELEMENT hs - O EMPTY>\n"
                     "<!ATTLIST hs quenda-af NAME #FIXED \"HOTSPOT\" graphic ENTITY #REQUIRED\n"
                     "             linkend IDREF #REQUIRED rx NUMBER #IMPLIED ry NUMBER #IMPLIED\n"
                     "             rw NUMBER #IMPLIED rh NUMBER #IMPLIED>\n"
                     "<!ELEMENT sec - - (para*)>\n<!ATTLIST sec id ID #IMPLIED>\n"
                     "<!ELEMENT para - - (#PCDATA)>\n"
                     "<!NOTATION XBM SYSTEM \"xbm\">\n"
                     "<!ENTITY knot SYSTEM \"knot.xbm\" NDATA XBM>\n]>\n"
                     "<doc><fig><hs graphic=knot linkend=s1 rx=0 ry=0 rw=512 rh=512>"
                     "<hs graphic=knot linkend=s2 rx=1536 ry=1536 rw=512 rh=512></fig>"
                     "<sec id=s1><para>One</para><para>Two</para></sec>"
                     "<sec id=s2><para>Three</para></sec></doc>\n");
    g_events.clear();
    g_pictureWindow = g_overviewWindow = g_documentWindow = 0;
  }
  void TearDown() override {
    for (HWND w : windows_) DestroyWindow(w);
    Pump();
    QS_BIND(QsTerminate)();
    g_defWindowProc = nullptr;
    EngineDll::TearDown();
  }
  HWND Window(int x, int y, int w, int h, const char* caption) {
    HWND window = MakeWindow(x, y, w, h, caption);
    windows_.push_back(window);
    Pump();
    return window;
  }
  static int Count(std::int32_t event) {
    int n = 0;
    for (const Event& e : g_events) n += e.event == event;
    return n;
  }
  std::string docPath_;
  std::vector<HWND> windows_;
};

TEST_F(PictureHost, ZoomScrollSelectAndOverview) {
  HWND picture = Window(10, 10, 400, 300, "picture");
  HWND overview = Window(430, 10, 192, 192, "overview");
  ASSERT_TRUE(picture && overview);
  const auto pw = reinterpret_cast<QsWindow>(picture), ow = reinterpret_cast<QsWindow>(overview);
  QsHandle doc = QS_BIND(QsParseDocument)(docPath_.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u);
  QsHandle knot = QS_BIND(QsGetDocEntity)(doc, "knot");
  ASSERT_NE(knot, 0u);

  EXPECT_EQ(QS_BIND(QsOpenPictureView)(pw, knot, 0x200, 0, 0, 0), 1);
  EXPECT_EQ(QS_BIND(QsGetWindowKind)(pw), 3);
  EXPECT_GE(Count(1), 1);
  auto zoomX = QS_BIND(QsGetPictureZoomX);
  EXPECT_EQ(QS_BIND(QsGetPictureExtent)(pw), 256);
  EXPECT_EQ(zoomX(pw), 216);
  InvalidateRect(picture, nullptr, FALSE);
  Pump();
  {
    // The picture's black half, its white half, the background strips.
    Capture c(picture);
    EXPECT_TRUE(c.Dark(20, 100));
    EXPECT_FALSE(c.Dark(200, 100));
    EXPECT_FALSE(c.Dark(300, 100));
    EXPECT_FALSE(c.Dark(20, 250));
  }

  // Still clicks between the hot areas zoom in and out.
  PostMessageA(picture, WM_LBUTTONDOWN, MK_LBUTTON, Point(108, 104));
  PostMessageA(picture, WM_LBUTTONUP, 0, Point(108, 104));
  Pump();
  EXPECT_EQ(zoomX(pw), 324);
  PostMessageA(picture, WM_RBUTTONDOWN, MK_RBUTTON, Point(108, 104));
  PostMessageA(picture, WM_RBUTTONUP, 0, Point(108, 104));
  Pump();
  EXPECT_EQ(zoomX(pw), 216);
  // Ctrl+wheel alike (the wheel's point is on the screen).
  POINT screen{108, 104};
  ClientToScreen(picture, &screen);
  PostMessageA(picture, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, WHEEL_DELTA), MAKELPARAM(screen.x, screen.y));
  Pump();
  EXPECT_EQ(zoomX(pw), 324);
  PostMessageA(picture, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, -WHEEL_DELTA), MAKELPARAM(screen.x, screen.y));
  Pump();
  EXPECT_EQ(zoomX(pw), 216);

  // Over a hot area the host hears hit code 4; a click offers its element.
  g_events.clear();
  PostMessageA(picture, WM_MOUSEMOVE, 0, Point(10, 10));
  Pump();
  ASSERT_GE(Count(43), 1);
  EXPECT_EQ(g_events.back().hit, 4);
  PostMessageA(picture, WM_LBUTTONDOWN, MK_LBUTTON, Point(10, 10));
  PostMessageA(picture, WM_LBUTTONUP, 0, Point(10, 10));
  Pump();
  EXPECT_EQ(Count(38), 1);
  EXPECT_EQ(zoomX(pw), 216);

  // A drag selects an area (event 25 with 1).
  g_events.clear();
  PostMessageA(picture, WM_LBUTTONDOWN, MK_LBUTTON, Point(80, 60));
  PostMessageA(picture, WM_MOUSEMOVE, MK_LBUTTON, Point(120, 100));
  PostMessageA(picture, WM_MOUSEMOVE, MK_LBUTTON, Point(150, 130));
  PostMessageA(picture, WM_LBUTTONUP, 0, Point(150, 130));
  Pump();
  ASSERT_EQ(Count(25), 1);
  std::int32_t x = 0, y = 0, w = 0, h = 0;
  QsHandle entity = QS_BIND(QsGetViewEntity)(pw, &x, &y, &w, &h);
  EXPECT_NE(entity, 0u);
  EXPECT_EQ(x, 80 * 2048 / 216);
  EXPECT_EQ(w, 70 * 2048 / 216);
  QS_BIND(QsReleaseHandle)(entity);
  // Its outline marches on the engine's timer: two ticks apart it differs.
  Pump();
  Capture tick1(picture);
  Pump();
  Capture tick2(picture);
  EXPECT_NE(tick1.pixels, tick2.pixels);
  EXPECT_EQ(QS_BIND(QsZoomPictureSteps)(pw, 0, 0, 0), 1);
  EXPECT_EQ(QS_BIND(QsPanPicture)(pw, 0, 0), 1);

  // The overview: the picture scaled into the pane with an inverted frame;
  // a drag of the frame scrolls the picture by the scale.
  EXPECT_EQ(QS_BIND(QsSetPictureZoom)(pw, 0, 0, 512), 512);
  EXPECT_EQ(QS_BIND(QsCreateOverviewView)(pw, ow), 1);
  EXPECT_EQ(QS_BIND(QsGetWindowKind)(ow), 5);
  InvalidateRect(overview, nullptr, FALSE);
  InvalidateRect(picture, nullptr, FALSE);
  Pump();
  {
    Capture c(overview);
    EXPECT_TRUE(c.Dark(40, 150));    // the black half, scaled
    EXPECT_FALSE(c.Dark(150, 150));  // the white half
    EXPECT_GT(c.DarkPixels(), 1000);
  }
  // At 512 the picture is 432 x 416, drawn 192 x 184: the frame moves in
  // 184ths of 416 pixels, and only down here (it is nearly as wide as the pane).
  QS_BIND(QsPanPicture)(pw, 0, -1000);
  const int before = QS_BIND(QsGetPictureScrollY)(pw);
  EXPECT_EQ(before, 0);
  PostMessageA(overview, WM_LBUTTONDOWN, MK_LBUTTON, Point(40, 40));
  PostMessageA(overview, WM_MOUSEMOVE, MK_LBUTTON, Point(40, 50));
  PostMessageA(overview, WM_MOUSEMOVE, MK_LBUTTON, Point(40, 60));
  PostMessageA(overview, WM_LBUTTONUP, 0, Point(40, 60));
  Pump();
  EXPECT_EQ(QS_BIND(QsGetPictureScrollY)(pw) - before, 20 * 416 / 184);
  QS_BIND(QsReleaseHandle)(knot);
  QS_BIND(QsReleaseHandle)(doc);
}

TEST_F(PictureHost, ShowHotAreaAsksForWindowsAndTreeViewsCollapse) {
  HWND picture = Window(10, 10, 400, 300, "picture");
  HWND overview = Window(430, 10, 192, 192, "overview");
  HWND tree = Window(10, 330, 400, 300, "tree");
  QsHandle doc = QS_BIND(QsParseDocument)(docPath_.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u);
  QsHandle knot = QS_BIND(QsGetDocEntity)(doc, "knot");
  g_pictureWindow = reinterpret_cast<QsWindow>(picture);
  g_overviewWindow = reinterpret_cast<QsWindow>(overview);
  EXPECT_EQ(QS_BIND(QsShowHotArea)(0, knot), 1);
  ASSERT_EQ(Count(8), 1);
  EXPECT_EQ(g_request.width, 216);
  EXPECT_EQ(g_request.height, 208);
  EXPECT_EQ(QS_BIND(QsGetWindowKind)(g_pictureWindow), 3);
  EXPECT_EQ(QS_BIND(QsGetWindowKind)(g_overviewWindow), 5);
  QS_BIND(QsReleaseHandle)(knot);

  const auto tw = reinterpret_cast<QsWindow>(tree);
  EXPECT_EQ(QS_BIND(QsCreateTreeView)(tw, doc, 0, 0, 0), 1);
  EXPECT_EQ(QS_BIND(QsGetWindowKind)(tw), 4);
  InvalidateRect(tree, nullptr, FALSE);
  Pump();
  Capture open(tree);
  EXPECT_TRUE(open.Dark(5, 5));   // the root's frame
  EXPECT_TRUE(open.Dark(5, 10));
  // A click on the root's square collapses everything below it.
  PostMessageA(tree, WM_LBUTTONDOWN, MK_LBUTTON, Point(8, 8));
  PostMessageA(tree, WM_LBUTTONUP, 0, Point(8, 8));
  Pump();
  Capture closed(tree);
  EXPECT_LT(closed.DarkPixels() * 3, open.DarkPixels());
  EXPECT_TRUE(closed.Dark(5, 5));
  // A click on the root's label shows it in the document window the host
  // names (event 7), whose view then reports (event 0).
  HWND document = Window(430, 330, 400, 300, "document");
  g_documentWindow = reinterpret_cast<QsWindow>(document);
  g_events.clear();
  PostMessageA(tree, WM_LBUTTONDOWN, MK_LBUTTON, Point(30, 10));
  PostMessageA(tree, WM_LBUTTONUP, 0, Point(30, 10));
  Pump();
  EXPECT_EQ(Count(7), 1);
  EXPECT_GE(Count(0), 1);
  EXPECT_EQ(QS_BIND(QsGetWindowKind)(g_documentWindow), 1);
  QS_BIND(QsReleaseHandle)(doc);
}

// The gtk-doc manual's element tree (DocBook XML 4.3, its DTD from
// docbook-xml through a pushed catalog), beside the book in a document
// window: the root's framed box at (5, 5); a click on the label of an
// element far down the book shows it in the document window (event 0
// there); a click on the root's square leaves the root's box alone.
TEST_F(PictureHost, TheGtkDocManualsElementTree) {
  const std::string manual = "Z:\\usr\\share\\help\\C\\gtk-doc-manual\\index.docbook";
  if (GetFileAttributesA(manual.c_str()) == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "gtk-doc-tools is not installed";
  QS_BIND(QsPushCatalog)("Z:\\usr\\share\\xml\\docbook\\schema\\dtd\\4.3\\catalog", 0);
  QsHandle doc = QS_BIND(QsParseDocument)(manual.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u);
  std::string docbook = SourceHome();
  docbook.replace(docbook.size() - 5, 5, "docbook\\docbook.ssh");
  QsHandle sheet = QS_BIND(QsOpenStyleSheet)(docbook.c_str(), nullptr, nullptr, 0);
  EXPECT_NE(sheet, 0u);
  HWND tree = Window(10, 10, 500, 400, "gtk-doc tree");
  HWND book = Window(520, 10, 400, 400, "gtk-doc book");
  const auto tw = reinterpret_cast<QsWindow>(tree), bw = reinterpret_cast<QsWindow>(book);
  ASSERT_EQ(QS_BIND(QsDisplay)(bw, doc, sheet, 0, 0, 0, 0, 0), 1);
  ASSERT_EQ(QS_BIND(QsCreateTreeView)(tw, doc, 0, 0, 0), 1);
  EXPECT_EQ(QS_BIND(QsGetWindowKind)(tw), 4);
  InvalidateRect(tree, nullptr, FALSE);
  Pump();
  const Capture open(tree);
  open.Save("picture_host_gtkdoc_tree.bmp");
  EXPECT_TRUE(open.Dark(5, 5));  // the root's frame
  EXPECT_TRUE(open.Dark(5, 10));
  auto nodeAt = QS_BIND(QsNodeAtPoint);
  auto name = [&](int x, int y) {
    QsHandle node = nodeAt(tw, x, y);
    std::string text = node ? QS_BIND(QsGetElementName)(node) : "";
    if (node) QS_BIND(QsReleaseHandle)(node);
    return text;
  };
  EXPECT_EQ(name(8, 8), "book");
  // The root's children stand in the next column, the first on its row.
  int column = -1;
  for (int x = 8; x < open.width && column < 0; ++x)
    if (name(x, 8) != "book" && !name(x, 8).empty()) column = x;
  ASSERT_GT(column, 0);
  // The first child's square folds its subtree (the third column's boxes
  // go), and its siblings come up: the book's parts.
  const std::string first = name(column + 40, 8);
  EXPECT_EQ(first, "bookinfo");
  int third = -1;
  for (int x = column + 40; x < open.width && third < 0; ++x)
    if (name(x, 8) != first && !name(x, 8).empty()) third = x;
  ASSERT_GT(third, 0);
  PostMessageA(tree, WM_LBUTTONDOWN, MK_LBUTTON, Point(column + 4, 8));
  PostMessageA(tree, WM_LBUTTONUP, 0, Point(column + 4, 8));
  Pump();
  const Capture folded(tree);
  folded.Save("picture_host_gtkdoc_tree_folded.bmp");
  EXPECT_TRUE(name(third + 10, 8).empty());
  int frameRows = 0;
  for (int y = 0; y < 24; ++y) {  // the first row of boxes
    EXPECT_FALSE(folded.Dark(third + 10, y)) << y;
    frameRows += open.Dark(third + 10, y);
  }
  EXPECT_GE(frameRows, 2);  // the box's frame was there
  // The last of them in sight, below the others: a part of the book past
  // its first page.
  int row = -1;
  std::string last;
  for (int y = 8; y < folded.height - 10; ++y) {
    const std::string here = name(column + 40, y);
    if (!here.empty()) row = y, last = here;
  }
  ASSERT_GT(row, 8);
  QsHandle node = nodeAt(tw, column + 40, row);
  ASSERT_NE(node, 0u);
  std::int32_t start = -1, length = -1;
  ASSERT_EQ(QS_BIND(QsGetNodeRange)(node, &start, &length), 1);
  QS_BIND(QsReleaseHandle)(node);
  std::int32_t shown = -1, shownLength = -1;
  ASSERT_EQ(QS_BIND(QsGetViewRange)(bw, &shown, &shownLength), 1);
  ASSERT_GT(start, shown + shownLength) << last;
  g_documentWindow = bw;
  g_events.clear();
  PostMessageA(tree, WM_LBUTTONDOWN, MK_LBUTTON, Point(column + 40, row));
  PostMessageA(tree, WM_LBUTTONUP, 0, Point(column + 40, row));
  Pump();
  ASSERT_EQ(QS_BIND(QsGetViewRange)(bw, &shown, &shownLength), 1);
  EXPECT_LE(shown, start) << last;
  EXPECT_GT(shown + shownLength, start) << last;
  int moved = 0;
  for (const Event& e : g_events) moved += e.event == 0 && e.window == bw;
  EXPECT_GE(moved, 1);
  // The root's square: the whole book folds into the root's box.
  PostMessageA(tree, WM_LBUTTONDOWN, MK_LBUTTON, Point(8, 8));
  PostMessageA(tree, WM_LBUTTONUP, 0, Point(8, 8));
  Pump();
  const Capture closed(tree);
  closed.Save("picture_host_gtkdoc_tree_closed.bmp");
  EXPECT_TRUE(closed.Dark(5, 5));
  EXPECT_LT(closed.DarkPixels() * 3, folded.DarkPixels());
  EXPECT_TRUE(name(column + 40, row).empty());
  EXPECT_EQ(QS_BIND(QsDetachDocumentViews)(doc), 1);
  if (sheet) QS_BIND(QsReleaseHandle)(sheet);
  QS_BIND(QsReleaseHandle)(doc);
  QS_BIND(QsPopCatalog)();
}

}  // namespace
}  // namespace qs::test
