// Pictures in the host's windows through the exports: a graphic entity
// opened as a picture view, zoomed and panned, an overview pane, and the
// engine's request for a window (event 8).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../foundation/temp_folder.h"
#include "api/exports.h"
#include "api/records.h"
#include "recording_sink.h"
#include "view/hot_areas.h"
#include "view/picture_view.h"
#include "view/tree_view.h"
#include "view/window_device.h"
#include "view/window_map.h"

namespace qs {
namespace {

const char kDocument[] =
    "<!DOCTYPE doc [\n"
    "<!ELEMENT doc - - (hs?, sec*)>\n"
    "<!ELEMENT hs - O EMPTY>\n"
    "<!ATTLIST hs quenda-af NAME #FIXED \"HOTSPOT\" graphic ENTITY #REQUIRED\n"
    "             linkend IDREF #REQUIRED rx NUMBER #IMPLIED rw NUMBER #IMPLIED>\n"
    "<!ELEMENT sec - - (#PCDATA)>\n"
    "<!ATTLIST sec id ID #IMPLIED>\n"
    "<!NOTATION XBM SYSTEM \"xbm\">\n"
    "<!ENTITY pic SYSTEM \"pic.xbm\" NDATA XBM>\n"
    "<!ENTITY txt SYSTEM \"doc.sgm\">\n"
    "]>\n"
    "<doc><hs graphic=pic linkend=s1 rw=1024><sec id=s1>Text</sec></doc>\n";

// An XBM picture of 216 x 208 pixels.
std::string Xbm() {
  std::string text = "#define p_width 216\n#define p_height 208\nstatic char p_bits[] = {\n";
  for (int i = 0; i < 27 * 208; ++i) text += i ? ",0x55" : "0x55";
  return text + "};\n";
}

struct Event {
  QsWindow window;
  int event;
  QsPictureRequest request;
};
std::vector<Event> g_events;
QsWindow g_answer = 0, g_overview = 0;

std::string g_element;
std::intptr_t g_hit = -1;
std::intptr_t g_answer38 = 0;

std::intptr_t OnEvent(QsWindow window, std::int32_t event, QsWord a, QsWord b, QsWord) {
  Event e{window, event, {}};
  if (event == 43) {
    g_hit = reinterpret_cast<const QsCursorRequest*>(a)->hitKind;
    return 1;
  }
  if (event == 19) {
    g_events.push_back(e);
    return 1;
  }
  if (event == 38) {
    const char* name = QsGetElementName(static_cast<QsHandle>(a));
    g_element = name ? name : "";
    g_events.push_back(e);
    return g_answer38;
  }
  if (event == QS_EVENT_PICTURE_WINDOW) {
    auto* request = reinterpret_cast<QsPictureRequest*>(b);
    e.request = *request;
    request->overviewWindow = g_overview;
    request->pictureFlags = 0x200;
  }
  g_events.push_back(e);
  return event == QS_EVENT_PICTURE_WINDOW ? g_answer : 0;
}

class PictureExports : public testing::Test {
 protected:
  void SetUp() override {
    g_events.clear();
    g_answer = g_overview = 0;
    ASSERT_NE(QsInitialize(0, "Pictures", nullptr, nullptr, nullptr, temp_.dir().c_str(), nullptr), 0);
    test::TempFolder::Write(temp_.File("pic.xbm"), Xbm());
    test::TempFolder::Write(temp_.File("doc.sgm"), kDocument);
    doc_ = QsParseDocument(temp_.File("doc.sgm").c_str(), nullptr, 0, nullptr, 0);
    ASSERT_NE(doc_, 0u);
    pic_ = QsGetDocEntity(doc_, "pic");
    ASSERT_NE(pic_, 0u);
    for (int event : {1, 7, 8, 9, 10, 19, 25, 38, 43}) QsSetCallback(0, event, &OnEvent, 0);
    g_element.clear();
    g_answer38 = 0;
  }
  void TearDown() override {
    QsReleaseHandle(pic_);
    QsTerminate();
  }
  int Count(int event) const {
    int n = 0;
    for (const Event& e : g_events) n += e.event == event;
    return n;
  }

  test::TempFolder temp_;
  test::RecordingSink sink_;
  QsHandle doc_ = 0, pic_ = 0;
};

// A picture window's view flags are its picture view's options: read back
// as set, and hot areas live (512) only while their bit is on.
TEST_F(PictureExports, ViewFlagsOfAPictureWindowAreItsOptions) {
  const QsWindow window = 0x3180;
  EXPECT_EQ(QsGetViewFlags(window), 0);  // no view yet
  EXPECT_EQ(QsSetViewFlags(window, 0x10), 0);
  ASSERT_EQ(QsOpenPictureView(window, pic_, 0x200, 0, 0, 0), 1);
  EXPECT_EQ(QsGetViewFlags(window), 0x200);
  auto* view = static_cast<PictureView*>(FindPictureView(static_cast<WindowHandle>(window)));
  ASSERT_NE(view, nullptr);
  EXPECT_NE(view->ModeFlags() & PictureView::kHotAreasLive, 0u);
  EXPECT_EQ(QsSetViewFlags(window, 0x210), 0x210);
  EXPECT_EQ(QsGetViewFlags(window), 0x210);
  EXPECT_EQ(QsSetViewFlags(window, 0x10), 0x10);
  EXPECT_EQ(QsGetViewFlags(window), 0x10);
  EXPECT_EQ(view->ModeFlags() & PictureView::kHotAreasLive, 0u);
  QsDetachWindowView(window);
}

TEST_F(PictureExports, OpenZoomAndPan) {
  const QsWindow window = 0x3100;
  EXPECT_EQ(QsOpenPictureView(window, pic_, 0x200, 0, 0, 0), 1);
  EXPECT_EQ(QsGetWindowKind(window), 3);
  EXPECT_EQ(Count(1), 1);
  EXPECT_EQ(QsGetPictureExtent(window), 256);
  EXPECT_EQ(QsGetPictureZoomX(window), 216);
  EXPECT_EQ(QsGetPictureZoomY(window), 208);
  EXPECT_EQ(QsZoomPictureSteps(window, 0, 0, 1), 1);
  EXPECT_EQ(QsGetPictureZoomX(window), 324);
  EXPECT_EQ(QsZoomPictureSteps(window, 0, 0, -1), 1);
  EXPECT_EQ(QsGetPictureExtent(window), 256);
  EXPECT_EQ(QsZoomPictureSteps(window, 0, 0, 0), 1);
  EXPECT_EQ(QsGetPictureExtent(window), 256);
  // Down to the smallest step, then five more change nothing.
  EXPECT_EQ(QsZoomPictureSteps(window, 0, 0, -40), 1);
  const int smallest = QsGetPictureExtent(window);
  EXPECT_GE(QsGetPictureZoomX(window), 8);
  EXPECT_EQ(QsZoomPictureSteps(window, 0, 0, -5), 1);
  EXPECT_EQ(QsGetPictureExtent(window), smallest);
  EXPECT_EQ(QsSetPictureZoom(window, 0, 0, 1024), 1024);
  EXPECT_EQ(QsGetPictureZoomX(window), 864);
  EXPECT_EQ(QsPanPicture(window, 0, 0), 1);
  EXPECT_EQ(QsGetPictureScrollX(window), 0);
  EXPECT_EQ(QsPanPicture(window, 100, 50), 1);
  EXPECT_EQ(QsGetPictureScrollX(window), 100);
  EXPECT_EQ(QsGetPictureScrollY(window), 50);
  QsHandle entity = QsGetPictureEntity(window);
  EXPECT_NE(entity, 0u);
  QsReleaseHandle(entity);
  // An overview pane follows the picture.
  EXPECT_EQ(QsCreateOverviewView(window, 0x3101), 1);
  EXPECT_EQ(QsGetWindowKind(0x3101), 5);

  // No picture view, no entity, no graphic: 0.
  EXPECT_EQ(QsGetPictureExtent(0x3102), 0);
  EXPECT_EQ(QsPanPicture(0x3102, 1, 1), 0);
  EXPECT_EQ(QsZoomPictureSteps(0x3102, 0, 0, 1), 0);
  EXPECT_EQ(QsCreateOverviewView(0x3102, 0x3103), 0);
  EXPECT_EQ(QsOpenPictureView(0x3102, 0, 0, 0, 0, 0), 0);
  QsHandle text = QsGetDocEntity(doc_, "txt");
  EXPECT_EQ(QsOpenPictureView(0x3102, text, 0, 0, 0, 0), 0);
  QsReleaseHandle(text);
  EXPECT_EQ(QsGetWindowKind(0x3102), 0);
}

TEST_F(PictureExports, AClosedDocumentsPictureLeavesItsViews) {
  const QsWindow window = 0x3500;
  ASSERT_EQ(QsOpenPictureView(window, pic_, 0, 0, 0, 0), 1);
  EXPECT_EQ(QsCreateOverviewView(window, 0x3501), 1);
  QsReleaseHandle(pic_);
  pic_ = 0;
  EXPECT_EQ(QsCloseDocument(doc_), 1);
  // The view stays, empty: no entity, no picture to draw or measure.
  EXPECT_EQ(QsGetWindowKind(window), 3);
  EXPECT_EQ(QsGetPictureEntity(window), 0u);
  EXPECT_EQ(QsGetPictureZoomX(window), 0);
  auto* view = static_cast<PictureView*>(FindPictureView(window));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->Graphic(), nullptr);
  view->OnPaint();
  EXPECT_EQ(QsZoomPictureSteps(window, 0, 0, 2), 1);
  FindView(0x3501, 4)->OnPaint();
}

TEST_F(PictureExports, ShowHotAreaAsksForAWindow) {
  // No answer: nothing opens.
  EXPECT_EQ(QsShowHotArea(0, pic_), 1);
  ASSERT_EQ(Count(8), 1);
  EXPECT_EQ(g_events.back().request.width, 216);
  EXPECT_EQ(g_events.back().request.height, 208);
  EXPECT_EQ(g_events.back().request.zoom, 0);
  // A window and an overview window: both open.
  g_answer = 0x3200, g_overview = 0x3201;
  EXPECT_EQ(QsShowHotArea(0, pic_), 1);
  EXPECT_EQ(QsGetWindowKind(0x3200), 3);
  EXPECT_EQ(QsGetWindowKind(0x3201), 5);
  auto* view = static_cast<PictureView*>(FindPictureView(0x3200));
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->ModeFlags() & PictureView::kHotAreasLive);
  // Shown already: the window is brought forward, no new request.
  const int asked = Count(8);
  EXPECT_EQ(QsShowHotArea(0, pic_), 1);
  EXPECT_EQ(Count(8), asked);
  EXPECT_EQ(g_events.back().event, 9);
  EXPECT_EQ(g_events.back().window, 0x3200);
  EXPECT_EQ(QsShowHotArea(0, 0), 0);
  // The window going takes the view; the overview follows nothing.
  std::intptr_t result = 0;
  WindowMap::Find(0x3200)->HandleMessage(wm::kDestroy, 0, 0, &result);
  EXPECT_EQ(QsGetWindowKind(0x3200), 0);
  EXPECT_EQ(QsGetWindowKind(0x3201), 5);
}

// A graphic entity's handle shows its picture: with no document view that
// places it, the host is asked for a window (event 8) as QsShowHotArea
// asks, and a picture view that shows it already is brought forward. A
// figure location with no document view shows its area the same way.
TEST_F(PictureExports, ShowElementAndFigureLocationsOpenThePicture) {
  QsShowElement(pic_);
  ASSERT_EQ(Count(8), 1);
  EXPECT_EQ(g_events.back().request.width, 216);
  EXPECT_EQ(g_events.back().request.height, 208);
  EXPECT_EQ(g_events.back().request.zoom, 0);
  // An entity that is no picture, and one of no document: nothing asked.
  QsHandle text = QsGetDocEntity(doc_, "txt");
  ASSERT_NE(text, 0u);
  QsShowElement(text);
  QsReleaseHandle(text);
  QsHandle notation = QsCreateNotation("GIF", nullptr, nullptr, nullptr, nullptr, nullptr);
  QsShowElement(notation);
  QsReleaseHandle(notation);
  EXPECT_EQ(Count(8), 1);
  // A window given: the picture opens there; shown, it is brought forward.
  g_answer = 0x3600;
  QsShowElement(pic_);
  EXPECT_EQ(Count(8), 2);
  EXPECT_EQ(QsGetWindowKind(0x3600), 3);
  EXPECT_EQ(QsGetPictureZoomX(0x3600), 216);
  QsShowElement(pic_);
  EXPECT_EQ(Count(8), 2);
  EXPECT_EQ(g_events.back().event, 9);
  EXPECT_EQ(g_events.back().window, 0x3600);
  std::intptr_t result = 0;
  WindowMap::Find(0x3600)->HandleMessage(wm::kDestroy, 0, 0, &result);

  // A figure location: the request, then a picture view in the window
  // given, zoomed in on the area's quarter of the picture.
  QsHandle root = QsGetDocumentRoot(doc_);
  ASSERT_NE(root, 0u);
  g_answer = 0;
  EXPECT_EQ(QsParseLocation(root, "FIG pic 0 0 1024 1024 0"), 1u);
  EXPECT_EQ(Count(8), 3);
  g_answer = 0x3601;
  EXPECT_EQ(QsParseLocation(root, "FIG pic 0 0 1024 1024 0"), 1u);
  EXPECT_EQ(Count(8), 4);
  EXPECT_EQ(QsGetWindowKind(0x3601), 3);
  // Shown already: no request, the window is brought forward (event 9)
  // and the view selects the area (event 25).
  const int shown = Count(9);
  EXPECT_EQ(QsParseLocation(root, "FIG pic 1024 1024 1024 1024 0"), 1u);
  EXPECT_EQ(Count(8), 4);
  EXPECT_EQ(Count(9), shown + 1);
  QsWindow forward = 0;
  for (const Event& e : g_events)
    if (e.event == 9) forward = e.window;
  EXPECT_EQ(forward, 0x3601);
  QsReleaseHandle(root);
  WindowMap::Find(0x3601)->HandleMessage(wm::kDestroy, 0, 0, &result);
}

TEST_F(PictureExports, TreeViewOfADocument) {
  EXPECT_EQ(QsCreateTreeView(0x3300, 0, 0, 0, 0), 0);
  EXPECT_EQ(QsCreateTreeView(0x3300, doc_, 0, 7, 0), 1);
  EXPECT_EQ(QsGetWindowKind(0x3300), 4);
  auto* tree = static_cast<HostTreeView*>(FindTreeView(0x3300));
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(tree->Value(), 7);
  EXPECT_EQ(tree->Selected(), nullptr);
  // A click on the root's label asks the host where to show it (event 7).
  tree->GetDevice()->width = 300, tree->GetDevice()->height = 200;
  tree->OnPaint();
  const int label = 5 + tree->BoxHeight() + 1;
  tree->OnLButtonDown(label, 8, 0);
  tree->OnLButtonUp(label, 8);
  EXPECT_EQ(Count(7), 1);
  EXPECT_NE(tree->Selected(), nullptr);
  // A node of another document is ignored: nothing is selected.
  test::TempFolder::Write(temp_.File("two.sgm"), kDocument);
  QsHandle two = QsParseDocument(temp_.File("two.sgm").c_str(), nullptr, 0, nullptr, 0);
  QsHandle root = QsGetDocumentRoot(two);
  ASSERT_NE(root, 0u);
  EXPECT_EQ(QsCreateTreeView(0x3301, doc_, root, 0, 0), 1);
  EXPECT_EQ(static_cast<TreeView*>(FindTreeView(0x3301))->Selected(), nullptr);
  EXPECT_EQ(QsCreateTreeView(0x3302, two, root, 0, 0), 1);
  EXPECT_NE(static_cast<TreeView*>(FindTreeView(0x3302))->Selected(), nullptr);
  QsReleaseHandle(root);
}

TEST_F(PictureExports, HighlightsAnchorsAndHotAreas) {
  const QsWindow window = 0x3400;
  ASSERT_EQ(QsOpenPictureView(window, pic_, 0x200, 0, 0, 0), 1);
  auto* view = static_cast<PictureView*>(FindPictureView(window));
  view->GetDevice()->width = 400, view->GetDevice()->height = 300;
  view->OnSize();
  // Regions outside 0..2048, empty or negative are refused.
  const std::int32_t bad[][4] = {{2047, 0, 1, 1}, {0, 2047, 1, 1}, {0, 0, 0, 5}, {0, 0, 5, 0},
                                 {1000, 0, 1049, 5}, {0, 1000, 5, 1049}, {-1, 0, 5, 5}, {0, 0, -5, 5}};
  for (const auto& r : bad) EXPECT_EQ(QsSetHighlight(window, pic_, r[0], r[1], r[2], r[3]), 0) << r[0];
  EXPECT_EQ(QsSetHighlight(0x3499, pic_, 0, 0, 5, 5), 0);
  EXPECT_EQ(QsSetHighlight(window, 0, 0, 0, 5, 5), 0);
  EXPECT_EQ(Count(25), 0);
  EXPECT_EQ(QsSetHighlight(window, pic_, 100, 200, 1948, 300), 1);
  EXPECT_EQ(Count(25), 1);
  std::int32_t x = 0, y = 0, w = 0, h = 0;
  QsHandle entity = QsGetViewEntity(window, &x, &y, &w, &h);
  ASSERT_NE(entity, 0u);
  EXPECT_EQ((std::vector<int>{x, y, w, h}), (std::vector<int>{100, 200, 1948, 300}));
  QsReleaseHandle(entity);
  EXPECT_EQ(QsClearHighlight(window), 1);
  EXPECT_EQ(QsGetViewEntity(window, &x, &y, &w, &h), 0u);

  // A hotspot anchor from window pixels at zoom 256: x * 2048 / 216.
  QsHandle web = QsCreateWeb(temp_.File("w.web").c_str(), nullptr, "W");
  ASSERT_EQ(QsBeginWebEdit(web), 1);
  QsHandle anchor = QsCreatePictureAnchor(window, web, "spot", 108, 52, 54, 104, 0);
  ASSERT_NE(anchor, 0u);
  std::int32_t zoom = 0;
  ASSERT_EQ(QsGetHotspotRect(anchor, &x, &y, &w, &h, &zoom), 1);
  EXPECT_EQ((std::vector<int>{x, y, w, h}), (std::vector<int>{108 * 2048 / 216, 52 * 2048 / 208,
                                                                54 * 2048 / 216, 104 * 2048 / 208}));
  // The anchor is under its middle; the hotspot element's area is at the left.
  QsHandle found = QsAnchorAtPoint(window, 140, 100);
  EXPECT_EQ(found, anchor);
  QsReleaseHandle(found);
  // Pointing at it gives the note's cursor (5); a click shows its note
  // (event 19).
  view->OnMouseMove(140, 100);
  EXPECT_EQ(g_hit, 5);
  view->OnLButtonDown(140, 100, 0);
  view->OnLButtonUp(140, 100);
  EXPECT_EQ(Count(19), 1);
  EXPECT_EQ(QsAnchorAtPoint(window, 10, 10), 0u);
  QsHandle node = QsNodeAtPoint(window, 10, 10);
  ASSERT_NE(node, 0u);
  EXPECT_STREQ(QsGetElementName(node), "HS");
  QsReleaseHandle(node);
  EXPECT_EQ(QsNodeAtPoint(window, 300, 10), 0u);
  // The right button selects the anchor's area; deleting the anchor drops
  // the selection, and the host hears it (event 25).
  view->OnRButtonDown(140, 100);
  view->OnRButtonUp(140, 100);
  ASSERT_NE(view->SelectedArea(), nullptr);
  EXPECT_NE(view->SelectedArea()->GetAnchor(), nullptr);
  const int told = Count(25);
  EXPECT_EQ(QsDeleteAnchor(anchor), 1);
  EXPECT_EQ(view->SelectedArea(), nullptr);
  EXPECT_EQ(Count(25), told + 1);
  QsReleaseHandle(anchor);

  // A click on the hotspot element's area offers it to the host (event 38)
  // and, when the host leaves it, shows the element it links to (event 7).
  view->OnMouseMove(10, 10);
  EXPECT_EQ(g_hit, 4);
  view->OnLButtonDown(10, 10, 0);
  view->OnLButtonUp(10, 10);
  EXPECT_EQ(g_element, "HS");
  EXPECT_EQ(Count(38), 1);
  EXPECT_EQ(Count(7), 1);
  g_answer38 = 1;
  view->OnLButtonDown(10, 10, 0);
  view->OnLButtonUp(10, 10);
  EXPECT_EQ(Count(38), 2);
  EXPECT_EQ(Count(7), 1);
  EXPECT_EQ(view->Zoom(), 256);
  QsSaveWeb(web);
  QsReleaseHandle(web);

  // A tree view answers the element of the box under the point.
  EXPECT_EQ(QsCreateTreeView(0x3401, doc_, 0, 0, 0), 1);
  auto* tree = static_cast<TreeView*>(FindTreeView(0x3401));
  tree->GetDevice()->width = 300, tree->GetDevice()->height = 200;
  node = QsNodeAtPoint(0x3401, 6, 8);
  ASSERT_NE(node, 0u);
  EXPECT_STREQ(QsGetElementName(node), "DOC");
  QsReleaseHandle(node);
  // The document closed under it: the tree still draws and hit-tests it.
  EXPECT_EQ(QsCloseDocument(doc_), 1);
  doc_ = 0;
  tree->OnPaint();
  EXPECT_NE(tree->HitTest(6, 8), nullptr);
  tree->OnLButtonDown(6, 8, 0);
  tree->OnLButtonUp(6, 8);
}

}  // namespace
}  // namespace qs
