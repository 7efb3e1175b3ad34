#include "view/tree_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "api/exports.h"
#include "doc_builder.h"
#include "foundation/engine.h"
#include "style/frame.h"
#include "view/current_view.h"
#include "view/document_view.h"
#include "sgml/node_flags.h"
#include "test_device.h"
#include "view/window_device.h"
#include "view/window_map.h"

namespace qs {
namespace {

class TreeDevice : public test::TestDevice {
 public:
  TreeDevice(int w, int h) : TestDevice(72, w, h) {}
  void FrameRect(int l, int t, int r, int b) override { Add("FRAME", l, t, r, b); }
  void ShowVertScrollBar() override { ++vertShows; }
  void ShowHorzScrollBar() override { ++horzShows; }
  void SetCursorForHit(int, int, std::intptr_t a, int code, std::intptr_t b) override {
    cursor = {static_cast<int>(a), code, static_cast<int>(b)};
  }
  void Add(const char* what, int a, int b, int c, int d) {
    log += std::string(what) + " " + std::to_string(a) + " " + std::to_string(b) + " " +
           std::to_string(c) + " " + std::to_string(d) + "\n";
  }
  int Frames() const {
    int n = 0;
    for (std::size_t at = log.find("FRAME"); at != std::string::npos; at = log.find("FRAME", at + 1)) ++n;
    return n;
  }
  int vertShows = 0, horzShows = 0;
  std::vector<int> cursor;
};

// A view that counts the nodes it is asked to show.
class CountingTree : public TreeView {
 public:
  using TreeView::TreeView;
  void ActivateNode(DocumentNode* node) override { activated.push_back(node); }
  std::vector<DocumentNode*> activated;
};

struct TreeFixture {
  TreeFixture(const char* markup, int w = 400, int h = 300) : device(w, h) {
    root = builder.Build(markup);
    view = new CountingTree(builder.Doc(), &device);
  }
  ~TreeFixture() { device.DetachView(); }
  std::string Paint() {
    device.log.clear();
    view->OnPaint();
    return device.log;
  }
  void Click(int x, int y) {
    view->OnLButtonDown(x, y, 0);
    view->OnLButtonUp(x, y);
  }
  test::DocBuilder builder;
  DocumentNode* root;
  TreeDevice device;
  CountingTree* view;
};

// Test metrics: 10 pt courier is 6 pixels a character, ascent 8, descent 2.
TEST(TreeView, BoxesAreAsHighAsTheFontAndAsWideAsTheLongestName) {
  TreeFixture f("<doc>text</doc>");
  EXPECT_EQ(f.view->BoxHeight(), 8 + 2 + 2);
  EXPECT_EQ(f.view->BoxWidth(), 3 * 6 + 12 + 4);
  {
    // Every declared type counts, used or not.
    test::DocBuilder builder;
    builder.GetDtd().FindOrDeclareElementType("longname");
    builder.Build("<doc/>");
    TreeDevice device(100, 100);
    auto* view = new TreeView(builder.Doc(), &device);
    EXPECT_EQ(view->BoxWidth(), 8 * 6 + 12 + 4);
    device.DetachView();
  }
  // A childless root: one framed box with its shadow and label, no X, no
  // connector, no bars.
  EXPECT_EQ(f.Paint(),
            "FRAME 5 5 39 17\nLINE 6 18 40 18\nLINE 40 6 40 18\nTEXT 18 14 doc\n");
  EXPECT_EQ(f.view->ContentWidth(), 34 + 8 + 10);
  EXPECT_EQ(f.view->ContentHeight(), 12 + 8 + 10);
  EXPECT_EQ(f.device.vertShows + f.device.horzShows, 0);
  // Panning a tree smaller than the window does nothing.
  f.view->OnPan(20, 20);
  EXPECT_EQ(f.view->ScrollX(), 0);
  EXPECT_EQ(f.view->ScrollY(), 0);
}

TEST(TreeView, ChildrenGoRightAndDownWithConnectors) {
  TreeFixture f("<doc><a><b/><c/></a><d/></doc>");
  const int h = 12, w = f.view->BoxWidth();
  const std::string log = f.Paint();
  EXPECT_EQ(f.device.Frames(), 5);
  // a beside doc, b beside a, c below b, d below c.
  const int col1 = 5 + w + 8, col2 = col1 + w + 8, row = h + 8;
  auto frame = [&](int x, int y) {
    return "FRAME " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(x + w) +
           " " + std::to_string(y + h) + "\n";
  };
  EXPECT_NE(log.find(frame(col1, 5)), std::string::npos);
  EXPECT_NE(log.find(frame(col2, 5)), std::string::npos);
  EXPECT_NE(log.find(frame(col2, 5 + row)), std::string::npos);
  EXPECT_NE(log.find(frame(col1, 5 + 2 * row)), std::string::npos);
  // A first child's connector comes from 8 to its left, a later one's from 4.
  EXPECT_NE(log.find("LINE " + std::to_string(col2 - 8) + " 11 " + std::to_string(col2) + " 11\n"),
            std::string::npos);
  EXPECT_NE(log.find("LINE " + std::to_string(col2 - 4) + " 31 " + std::to_string(col2) + " 31\n"),
            std::string::npos);
  // The vertical connector of doc's children runs between their middles.
  EXPECT_NE(log.find("LINE " + std::to_string(col1 - 4) + " 11 " + std::to_string(col1 - 4) + " 51\n"),
            std::string::npos);
  EXPECT_EQ(f.view->ContentHeight(), 12 + 8 + 2 * row + 10);
  EXPECT_EQ(f.view->ContentWidth(), 3 * (w + 8) + 10);
}

// A frame that shows a chosen element as current, as a navigator shows the
// entry holding its place.
class CurrentFrame : public FrameNode {
 public:
  using FrameNode::FrameNode;
  DocumentNode* GetCurrentElement() override { return current; }
  DocumentNode* current = nullptr;
};

// The element a view of the document shows as current gets a second frame
// two pixels outside its box; a view of another document counts for
// nothing.
TEST(TreeView, TheNodeAViewShowsAsCurrentIsFramedTwice) {
  ASSERT_NE(QsInitialize(0, "test", nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  {
    test::DocBuilder builder, other;
    DocumentNode* root = builder.Build("<doc><a><b/><c/></a><d/></doc>");
    DocumentNode* otherRoot = other.Build("<doc><a/></doc>");
    TreeDevice device(400, 300), viewDevice(200, 100), otherDevice(200, 100);
    auto* tree = new TreeView(builder.Doc(), &device);
    auto show = [](test::DocBuilder& b, OutputDevice* on) {
      auto* view = new test::TestView(on);
      auto* frame = new CurrentFrame(b.Doc(), nullptr, 0, nullptr);
      PushCurrentView(view, false);
      frame->Rebuild();
      PopCurrentView();
      view->SetFrame(frame, 0, true);
      return std::make_pair(view, frame);
    };
    auto [view, frame] = show(builder, &viewDevice);
    auto [otherView, otherFrame] = show(other, &otherDevice);
    const int h = tree->BoxHeight(), w = tree->BoxWidth(), col1 = 5 + w + 8;
    auto paint = [&] {
      device.log.clear();
      tree->OnPaint();
      return device.log;
    };
    paint();
    EXPECT_EQ(device.Frames(), 5);
    otherFrame->current = otherRoot;
    paint();
    EXPECT_EQ(device.Frames(), 5);
    frame->current = root->First();  // a, beside the root
    const std::string log = paint();
    EXPECT_EQ(device.Frames(), 6);
    EXPECT_NE(log.find("FRAME " + std::to_string(col1 - 2) + " 3 " + std::to_string(col1 + w + 2) +
                       " " + std::to_string(5 + h + 2) + "\n"),
              std::string::npos)
        << log;
    frame->current = nullptr;
    paint();
    EXPECT_EQ(device.Frames(), 5);
    view->Close();
    otherView->Close();
    device.DetachView();
  }
  QsTerminate();
}

TEST(TreeView, SquaresCollapseAndExpandLabelsSelect) {
  TreeFixture f("<doc><a><b><c/></b></a><d/></doc>");
  const int w = f.view->BoxWidth();
  f.Paint();
  // The cursor: label 7, an expanded square 8, a childless one 10.
  f.view->OnMouseMove(5 + 20, 8);
  EXPECT_EQ(f.device.cursor, (std::vector<int>{4, 7, 0}));
  f.view->OnMouseMove(6, 8);
  EXPECT_EQ(f.device.cursor, (std::vector<int>{4, 8, 0}));
  f.view->OnMouseMove(5 + w + 8 + 1, 5 + 20 + 1);  // d
  EXPECT_EQ(f.device.cursor, (std::vector<int>{4, 10, 0}));
  f.view->OnMouseMove(5 + w + 8 + 1, 5 + 40 + 1);  // below d: nothing
  EXPECT_EQ(f.device.cursor, (std::vector<int>{4, 0, 0}));
  // Collapsing a: its subtree goes, with an X in its square.
  DocumentNode* a = f.root->First();
  f.Click(5 + w + 8 + 2, 8);
  EXPECT_TRUE(a->flags & kNodeCollapsed);
  EXPECT_TRUE(a->First()->flags & kNodeCollapsed);
  EXPECT_EQ(f.Paint().find("TEXT") != std::string::npos, true);
  EXPECT_EQ(f.device.Frames(), 3);
  f.view->OnMouseMove(5 + w + 8 + 2, 8);
  EXPECT_EQ(f.device.cursor, (std::vector<int>{4, 9, 0}));
  // Expanding again shows its children collapsed.
  f.Click(5 + w + 8 + 2, 8);
  EXPECT_FALSE(a->flags & kNodeCollapsed);
  f.Paint();
  EXPECT_EQ(f.device.Frames(), 4);
  // A drag of 3 pixels is a click on the label: selected and activated.
  f.view->OnLButtonDown(5 + 20, 8, 0);
  f.view->OnMouseMove(5 + 23, 11);
  f.view->OnLButtonUp(5 + 23, 11);
  EXPECT_EQ(f.view->Selected(), f.root);
  EXPECT_EQ(f.view->activated, std::vector<DocumentNode*>{f.root});
  EXPECT_NE(f.Paint().find("INVERT 6 6"), std::string::npos);
  // Dragging further scrolls instead (the content is not taller here, so
  // the paint clamps it back).
  f.view->OnLButtonDown(50, 50, 0);
  f.view->OnMouseMove(50, 46);
  f.view->OnLButtonUp(50, 46);
  EXPECT_EQ(f.view->activated.size(), 1u);
  EXPECT_EQ(f.view->Selected(), f.root);
}

TEST(TreeView, ShowNodeExpandsTheCollapsedAncestorsAndCentres) {
  std::string markup = "<doc>";
  for (int i = 0; i < 40; ++i) markup += "<s><t/><u><v/></u></s>";
  markup += "</doc>";
  TreeFixture f(markup.c_str(), 300, 100);
  DocumentNode* last = f.root->Last();
  DocumentNode* u = last->Last();
  DocumentNode* other = f.root->First();
  // Collapse the root (and so everything).
  f.Click(6, 8);
  EXPECT_TRUE(other->flags & kNodeCollapsed);
  f.view->ShowNode(u->First());
  EXPECT_FALSE(f.root->flags & kNodeCollapsed);
  EXPECT_FALSE(last->flags & kNodeCollapsed);
  EXPECT_FALSE(u->flags & kNodeCollapsed);
  EXPECT_TRUE(other->flags & kNodeCollapsed);  // not an ancestor: left alone
  EXPECT_EQ(f.view->Selected(), u->First());
  // Centred: the row of v is 39 rows down and one more (t above u).
  const int row = 20, w = f.view->BoxWidth();
  EXPECT_EQ(f.view->ScrollY(), 40 * row - (100 - 12) / 2);
  EXPECT_EQ(f.view->ScrollX(), 3 * (w + 8) - (300 - w) / 2);
  const std::string log = f.Paint();
  EXPECT_NE(log.find("INVERT"), std::string::npos);
  EXPECT_EQ(f.device.vertShows, 1);
  // A node of another document changes nothing.
  test::DocBuilder other_doc;
  DocumentNode* foreign = other_doc.Build("<x><y/></x>");
  f.view->ShowNode(foreign->First());
  EXPECT_EQ(f.view->Selected(), u->First());
}

TEST(TreeView, ScrollsByKeysBarsAndWheel) {
  std::string markup = "<doc>";
  for (int i = 0; i < 100; ++i) markup += "<p/>";
  markup += "</doc>";
  TreeFixture f(markup.c_str(), 200, 100);
  f.Paint();
  const int content = f.view->ContentHeight();
  EXPECT_EQ(content, 20 + 99 * 20 + 10);
  f.view->OnKeyDown(0x22);
  EXPECT_EQ(f.view->ScrollY(), 80);
  f.view->OnKeyDown(0x28);
  EXPECT_EQ(f.view->ScrollY(), 90);
  f.view->OnMouseWheel(1, 0, 0, 0);
  EXPECT_EQ(f.view->ScrollY(), 80);
  f.view->OnScroll(0, 4, 4096);
  EXPECT_EQ(f.view->ScrollY(), content / 2);
  f.view->OnPan(0, 100000);
  EXPECT_EQ(f.view->ScrollY(), content - 100);
  f.view->OnScroll(0, 4, 8192 * 2);
  f.Paint();
  EXPECT_EQ(f.view->ScrollY(), content - 100);
}

TEST(TreeView, TenThousandLevelsDrawAndHitTest) {
  std::string markup;
  const int depth = 10000;
  for (int i = 0; i < depth; ++i) markup += "<e>";
  for (int i = 0; i < depth; ++i) markup += "</e>";
  TreeFixture f(markup.c_str());
  const int w = f.view->BoxWidth();
  EXPECT_EQ(f.view->ContentWidth(), std::int64_t{depth} * (w + 8) + 10);
  DocumentNode* deepest = f.root;
  while (deepest->First()) deepest = deepest->First();
  f.view->ShowNode(deepest);
  EXPECT_EQ(f.view->Selected(), deepest);
  f.Paint();
  EXPECT_GE(f.device.Frames(), 1);
  // Scrolled to the right end (the paint keeps the scroll in the content):
  // the deepest box ends 8 + 10 pixels before the window's right edge.
  EXPECT_EQ(f.view->ScrollX(), f.view->ContentWidth() - 400);
  EXPECT_EQ(f.view->ScrollY(), 0);
  const int left = 400 - 18 - w + 5;
  int rx = -1;
  EXPECT_EQ(f.view->HitTest(left + 3, 5 + 6, &rx), deepest);
  EXPECT_EQ(rx, 3);
  EXPECT_EQ(f.view->HitTest(left - 10, 5 + 6), deepest->Parent());
  EXPECT_EQ(f.view->HitTest(left + 3, 5 + 14), nullptr);
}

std::vector<int> g_events;
std::intptr_t RecordEvent(WindowHandle, int event, std::intptr_t, std::intptr_t) {
  g_events.push_back(event);
  return 0;
}

TEST(HostTreeView, AttachesTheWindowAndShowsTheNode) {
  g_events.clear();
  HostedEngine engine(0, "C:\\Home\\", "T", &RecordEvent);
  EngineBase* previous = SetEngine(&engine);
  test::DocBuilder builder;
  DocumentNode* root = builder.Build("<doc><a><b/></a></doc>");
  root->First()->flags |= kNodeCollapsed;
  const WindowHandle window = 0x6161;
  auto* view = new HostTreeView(window, builder.Doc(), root->First()->First(), 42, 0x400);
  EXPECT_EQ(FindTreeView(window), view);
  EXPECT_EQ(static_cast<WindowDevice*>(view->GetDevice())->mode, 0x1A);
  EXPECT_EQ(view->Value(), 42);
  EXPECT_EQ(view->Selected(), root->First()->First());
  EXPECT_FALSE(root->First()->flags & kNodeCollapsed);
  view->OnPaint();
  std::intptr_t result = 0;
  WindowMap::Find(window)->HandleMessage(wm::kDestroy, 0, 0, &result);
  EXPECT_EQ(FindTreeView(window), nullptr);
  SetEngine(previous);
}

}  // namespace
}  // namespace qs
