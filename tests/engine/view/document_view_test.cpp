#include "view/document_view.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "api/exports.h"
#include "doc_builder.h"
#include "recording_sink.h"
#include "style/style_sheet.h"
#include "test_device.h"
#include "view/current_view.h"
#include "view/graphic_object.h"
#include "view/graphic_services.h"
#include "view/view_line.h"

namespace qs {
namespace {

using test::BoxSpec;

// A device that also records what the view asks of its scroll bars.
class BarDevice : public test::TestDevice {
 public:
  using TestDevice::TestDevice;
  void ShowVertScrollBar() override { bars += "V+"; }
  void HideVertScrollBar() override { bars += "V-"; }
  void ShowHorzScrollBar() override { bars += "H+"; }
  void HideHorzScrollBar() override { bars += "H-"; }
  void SetVertScroll(int thumb, int page, int range) override {
    vert[0] = thumb, vert[1] = page, vert[2] = range;
  }
  void DrawTextW(int, int, const std::uint16_t*, std::size_t count) override {
    log += "TEXTW " + std::to_string(count) + "\n";
  }
  std::string bars;
  int vert[3] = {-1, -1, -1};
};

// Keeps its width on a narrower line.
class WideBox : public test::SpecBox {
 public:
  using SpecBox::SpecBox;
  void SplitAt(int) override {}
};
class WideItem : public test::SpecItem {
 public:
  using SpecItem::SpecItem;
  void MakeBoxes(ListHead& boxes) override { boxes.Append(new WideBox(this)); }
};

class View : public DocumentView {
 public:
  View(OutputDevice* device) : DocumentView(nullptr, device, 0) {}
  void OnExtentChanged(int width, int height) override {
    extents.push_back(width);
    extents.push_back(height);
  }
  std::vector<int> extents;
};

// A bare frame of items made from rows: every row is a paragraph of its own
// unless it says otherwise. The frame is not counted: the test owns it.
class SpecFrame : public FrameTreeNode {
 public:
  explicit SpecFrame(const std::vector<BoxSpec>& rows, int kind = 1)
      : FrameTreeNode(nullptr, nullptr, 0), kind_(kind) {
    std::int32_t position = 0;
    for (const BoxSpec& row : rows) {
      if (row.width > 600)
        items.Append(new (pool) WideItem(position, row));
      else
        items.Append(new (pool) test::SpecItem(position, row));
      position += row.length;
    }
  }
  ~SpecFrame() override { items.DeleteAll(); }
  int GetKind() const override { return kind_; }
  Pool pool;

 private:
  int kind_;
};

BoxSpec Line(int height, int width = 100) {
  return {.width = width, .forced = true, .ascent = height - 2, .descent = 2};
}

std::vector<BoxSpec> Lines(int count, int height = 10, int width = 100) {
  return std::vector<BoxSpec>(count, Line(height, width));
}

// A view on its device showing a frame, closed before the frame goes.
struct Shown {
  explicit Shown(const std::vector<BoxSpec>& rows, int w = 600, int h = 400)
      : device(72, w, h), frame(rows) {
    view = new View(&device);
    view->AddRef();
    view->SetFrame(&frame, 0, true);
  }
  ~Shown() {
    view->SetFrame(nullptr, 0, false);
    view->Release();
    view->Close();
  }
  BarDevice device;
  SpecFrame frame;
  View* view;
};

TEST(DocumentView, LineDownPassesALineWhoseRestIsAtMostFortyPixels) {
  struct {
    int offset;
    std::int32_t first;  // the first shown position after one LineDown
    int after;           // the offset after it
  } cases[] = {
      {-60, 1, 0},     // rest 40: the next line
      {-59, 0, -84},   // rest 41: 25 pixels further into the line
      {-90, 1, 0},     // rest 10
      {0, 0, -25},
  };
  for (const auto& c : cases) {
    std::vector<BoxSpec> rows = {Line(100)};
    for (const BoxSpec& r : Lines(60)) rows.push_back(r);
    Shown s(rows);
    s.view->verticalOffset = c.offset;
    s.view->LineDown();
    EXPECT_EQ(s.view->GetFirstShownPosition(), c.first) << c.offset;
    EXPECT_EQ(s.view->verticalOffset, c.after) << c.offset;
  }
}

TEST(DocumentView, PageUpStepsNineTenthsOnlyBelowOneWindowHeight) {
  std::vector<BoxSpec> rows = {Line(1000)};
  for (const BoxSpec& r : Lines(10)) rows.push_back(r);
  Shown s(rows);
  s.view->verticalOffset = -401;
  s.view->PageUp();
  EXPECT_EQ(s.view->verticalOffset, -401 + 360);
  s.view->verticalOffset = -400;  // exactly the height: laid out again
  s.view->PageUp();
  EXPECT_EQ(s.view->verticalOffset, 400 * 4 / 5 - 1000);
  EXPECT_EQ(s.view->GetFirstShownPosition(), 0);
}

TEST(DocumentView, PageDownAndLineUpMoveByLinesAndBack) {
  Shown s(Lines(100));  // 10-pixel lines, 40 to a window
  s.view->PageDown();
  EXPECT_EQ(s.view->GetFirstShownPosition(), 39);  // the last line in the window
  s.view->LineUp();
  EXPECT_EQ(s.view->GetFirstShownPosition(), 38);
  EXPECT_EQ(s.view->verticalOffset, 0);
  s.view->PageUp();
  EXPECT_EQ(s.view->GetFirstShownPosition(), 0);
  s.view->LineUp();  // nothing above
  EXPECT_EQ(s.view->GetFirstShownPosition(), 0);
}

TEST(DocumentView, AResizeInsideATallLineKeepsItsBottom) {
  std::vector<BoxSpec> rows = Lines(3);
  rows.push_back(Line(1000));
  for (const BoxSpec& r : Lines(5)) rows.push_back(r);
  Shown s(rows);
  s.view->ShowPosition(3);
  s.view->verticalOffset = -500;  // the line's bottom at 500
  s.device.width = 500;
  s.device.height = 300;
  s.view->OnSize();
  ASSERT_NE(s.view->firstShown, nullptr);
  EXPECT_EQ(s.view->firstShown->GetStart(), 3);
  EXPECT_EQ(s.view->verticalOffset + s.view->firstShown->GetHeight(), 500);
}

// A graphic whose renderers are plain ones of its own size.
class SizedGraphic : public GraphicObject {
 public:
  SizedGraphic(int w, int h) : GraphicObject(nullptr, nullptr, nullptr, nullptr, "T", w, h) {}
  ImageRenderer* MakeRenderer(OutputDevice* owner) override { return new ImageRenderer(this, owner); }
};

// A box showing a picture the view gave its item, given back when it goes.
class PictureBox : public test::SpecBox {
 public:
  PictureBox(test::SpecItem* item, void* picture) : SpecBox(item), picture(picture) {}
  ~PictureBox() override {
    if (DocumentView* view = CurrentDocumentView()) view->ReturnPicture(picture, nullptr);
  }
  void* picture;
};
class PictureItem : public test::SpecItem {
 public:
  PictureItem(std::int32_t position, const BoxSpec& spec, GraphicObject* graphic,
              std::vector<ImageRenderer*>* taken)
      : SpecItem(position, spec), graphic(graphic), taken(taken) {}
  void MakeBoxes(ListHead& boxes) override {
    void* picture = CurrentDocumentView()->TakePicture(graphic, nullptr);
    taken->push_back(static_cast<ImageRenderer*>(static_cast<GraphicRenderer*>(picture)));
    boxes.Append(new PictureBox(this, picture));
  }
  GraphicObject* graphic;
  std::vector<ImageRenderer*>* taken;
};

TEST(DocumentView, AResizeGivesABoxBackItsPictureAndDropsTheRest) {
  auto* graphic = new SizedGraphic(50, 40);
  std::vector<ImageRenderer*> taken;
  {
    // Ten 10-pixel lines, the picture's line, ten more.
    SpecFrame frame(Lines(10));
    frame.items.Append(new (frame.pool) PictureItem(10, Line(40, 50), graphic, &taken));
    for (int i = 0; i < 10; ++i) frame.items.Append(new (frame.pool) test::SpecItem(11 + i, Line(10)));
    BarDevice device(72, 600, 400);
    auto* view = new View(&device);
    view->AddRef();
    view->SetFrame(&frame, 0, true);
    ASSERT_EQ(taken.size(), 1u);
    ImageRenderer* renderer = taken[0];
    renderer->SetWidth(25);  // as a box fitting it to a narrow window would

    // The same renderer comes back to the rebuilt box, at its own size again.
    device.width = 300;
    view->OnSize();
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(taken[1], renderer);
    EXPECT_EQ(renderer->width, 50);
    EXPECT_EQ(device.renderers.Count(), 1u);
    EXPECT_EQ(graphic->useCount, 2);

    // Outside a resize a box's picture goes with it.
    view->Refresh();
    ASSERT_EQ(taken.size(), 3u);
    EXPECT_EQ(device.renderers.Count(), 1u);
    EXPECT_EQ(graphic->useCount, 2);

    // A resize that leaves the picture's line out of the window deletes it.
    device.height = 50;
    view->OnSize();
    EXPECT_EQ(taken.size(), 3u);
    EXPECT_EQ(device.renderers.Count(), 0u);
    EXPECT_EQ(graphic->useCount, 1);

    view->SetFrame(nullptr, 0, false);
    view->Release();
    view->Close();
  }
  graphic->orphaned = true;
  graphic->Release();
}

// A tile whose renderers write where they are drawn into the device's log.
class TileRenderer : public ImageRenderer {
 public:
  using ImageRenderer::ImageRenderer;
  void Draw(OutputDevice* device, int x, int y, int) override {
    if (auto* d = dynamic_cast<test::TestDevice*>(device))
      d->log += "TILE " + std::to_string(x) + " " + std::to_string(y) + "\n";
  }
};
class TileGraphic : public GraphicObject {
 public:
  TileGraphic(int w, int h) : GraphicObject(nullptr, nullptr, nullptr, nullptr, "T", w, h) {}
  ImageRenderer* MakeRenderer(OutputDevice* owner) override { return new TileRenderer(this, owner); }
};
// Icon images by name; uses counted on the graphics themselves.
class IconServices : public GraphicServices {
 public:
  IconServices() { previous_ = SetGraphicServices(this); }
  ~IconServices() override { SetGraphicServices(previous_); }
  GraphicObject* GetIconGraphic(StyleSheet*, const char* name) override {
    for (auto& [key, graphic] : icons)
      if (key == name) {
        graphic->AddRef();
        return graphic;
      }
    return nullptr;
  }
  void Release(GraphicObject* graphic) override { graphic->Release(); }
  std::vector<std::pair<std::string, GraphicObject*>> icons;

 private:
  GraphicServices* previous_;
};

TEST(DocumentView, APatternBackgroundIsTiledFromTheWindowCorner) {
  IconServices services;
  auto* tile = new TileGraphic(250, 150);
  auto* flat = new TileGraphic(0, 150);
  services.icons = {{"bricks", tile}, {"flat", flat}};
  {
    Shown s(Lines(3), 600, 400);
    s.view->ApplyBackground("\\pattern( bricks)");
    EXPECT_EQ(s.view->BackgroundPattern(), tile);
    EXPECT_EQ(tile->useCount, 2);
    s.device.log.clear();
    s.view->OnPaint();
    // Three columns and three rows of tiles cover 600 x 400, under the lines.
    std::string tiles;
    for (int y : {0, 150, 300})
      for (int x : {0, 250, 500}) tiles += "TILE " + std::to_string(x) + " " + std::to_string(y) + "\n";
    EXPECT_EQ(s.device.log.substr(0, tiles.size()), tiles);
    EXPECT_NE(s.device.log.find("BOX 0"), std::string::npos);
    EXPECT_EQ(s.device.renderers.Count(), 0u);  // the tile's renderer lives for the paint

    // A picture without a width tiles nothing (and ends).
    s.view->ApplyBackground("\\pattern(flat)");
    EXPECT_EQ(tile->useCount, 1);
    s.device.log.clear();
    s.view->OnPaint();
    EXPECT_EQ(s.device.log.find("TILE"), std::string::npos);
    // An unknown name and a colour take the pattern away.
    s.view->ApplyBackground("\\pattern(nosuch)");
    EXPECT_EQ(s.view->BackgroundPattern(), nullptr);
    EXPECT_EQ(flat->useCount, 1);
  }
  for (GraphicObject* g : {static_cast<GraphicObject*>(tile), static_cast<GraphicObject*>(flat)}) {
    g->orphaned = true;
    g->Release();
  }
}

TEST(DocumentView, AShortDocumentHidesTheBarAndIgnoresVerticalMoves) {
  Shown s(Lines(100));
  EXPECT_EQ(s.device.bars, "V+");
  EXPECT_TRUE(s.view->GetFlags() & DocumentView::kVertBar);
  // Five lines, one wider than the window.
  SpecFrame shortFrame({Line(10), Line(10, 700), Line(10), Line(10), Line(10)});
  s.view->SetFrame(&shortFrame, 0, true);
  EXPECT_EQ(s.device.bars, "V+V-H+");
  EXPECT_FALSE(s.view->GetFlags() & DocumentView::kVertBar);
  ASSERT_GE(s.view->extents.size(), 2u);
  EXPECT_EQ(s.view->extents[s.view->extents.size() - 2], 600);  // the window's width at most
  EXPECT_EQ(s.view->extents.back(), 50);
  for (int key : {33, 34, 35, 36, 38, 40}) {
    s.view->OnKeyDown(key);
    EXPECT_EQ(s.view->GetFirstShownPosition(), 0) << key;
    EXPECT_EQ(s.view->verticalOffset, 0) << key;
  }
  s.view->OnMouseWheel(-3, 0, 0, 0);
  EXPECT_EQ(s.view->verticalOffset, 0);
  // Sideways only within the extents: 0 .. 700 - 600.
  s.view->OnKeyDown(37);
  EXPECT_EQ(s.view->horizontalOffset, 0);
  for (int i = 0; i < 8; ++i) s.view->OnKeyDown(39);
  EXPECT_EQ(s.view->horizontalOffset, 96);
  s.view->OnKeyDown(39);
  EXPECT_EQ(s.view->horizontalOffset, 100);
  s.view->SetFrame(&s.frame, 0, false);
}

TEST(DocumentView, OnlyTheParagraphsTouchingTheWindowHaveLines) {
  // 300 paragraphs of three lines each (a paragraph breaks before its first
  // box only).
  std::vector<BoxSpec> rows;
  for (int p = 0; p < 300; ++p) {
    rows.push_back(Line(10, 500));
    BoxSpec more = Line(10, 500);
    more.forced = false;
    rows.push_back(more);
    rows.push_back(more);
  }
  Shown s(rows);
  for (int i = 0; i < 200; ++i) s.view->LineDown();
  EXPECT_EQ(s.view->GetFirstShownPosition(), 200);
  // Every paragraph held has a line that touches the window [0, 400].
  int y = s.view->verticalOffset;
  for (ViewLine* l = s.view->firstShown; l->Prev(); l = static_cast<ViewLine*>(l->Prev()))
    y -= static_cast<ViewLine*>(l->Prev())->GetHeight();
  bool touches = false;
  int paragraphs = 0;
  for (ViewLine* l = static_cast<ViewLine*>(s.view->lines.First()); l; l = l->GetNextLine()) {
    if (l->BreaksBefore()) {
      if (paragraphs++) EXPECT_TRUE(touches) << "paragraph ending at " << l->GetStart();
      touches = false;
    }
    if (y <= 400 && y + l->GetHeight() >= 0) touches = true;
    y += l->GetHeight();
  }
  EXPECT_TRUE(touches);
  EXPECT_EQ(paragraphs, 15);  // 40 lines from the middle of one paragraph: 14 touched, 1 more begun
}

TEST(DocumentView, BackgroundColoursSetInkByNearness) {
  struct {
    const char* colour;
    int inverse;
  } cases[] = {{"#FFFFFF", 0}, {"#000000", 1}, {"#808080", 0}, {"#7F7F7F", 1}};
  test::TestDevice device;
  View* view = new View(&device);
  for (const auto& c : cases) {
    view->ApplyBackground(c.colour);
    EXPECT_EQ(device.inverse, c.inverse) << c.colour;
    EXPECT_NE(view->background, nullptr);
  }
  view->ApplyBackground(nullptr);
  EXPECT_EQ(device.inverse, 0);
  EXPECT_EQ(view->background, nullptr);
  char name[256];
  EXPECT_TRUE(DocumentView::PatternName("\\pattern(  name", name));
  EXPECT_STREQ(name, "name");
  EXPECT_TRUE(DocumentView::PatternName("\\pattern(tile) x", name));
  EXPECT_STREQ(name, "tile");
  EXPECT_FALSE(DocumentView::PatternName("\\patter(tile)", name));
  view->Close();
}

TEST(ViewList, FindsTheLatestViewAndRebindsEachWhereItWas) {
  BarDevice d1(72, 600, 400), d2(72, 600, 400), d3(72, 600, 400);
  SpecFrame frame(Lines(200));
  SpecFrame print(Lines(200), 4);
  View* a = new View(&d1);
  View* b = new View(&d2);
  View* p = new View(&d3);
  a->SetFrame(&frame, 0, true);
  b->SetFrame(&frame, 0, true);
  p->SetFrame(&print, 0, true);
  EXPECT_EQ(ViewList::FindViewShowing(&frame, -1), b);
  a->ShowPosition(120);
  EXPECT_EQ(ViewList::FindViewShowing(&frame, 150), a);
  EXPECT_EQ(ViewList::FindViewShowing(&frame, 159), a);  // the last shown position counts
  EXPECT_EQ(ViewList::FindViewShowing(&frame, 10), b);
  EXPECT_EQ(ViewList::FindViewShowing(&frame, 170), nullptr);
  b->ShowPosition(50);

  ViewList::UnbindViewsForObject(nullptr);
  EXPECT_TRUE(a->lines.IsEmpty());
  EXPECT_TRUE(b->lines.IsEmpty());
  EXPECT_FALSE(p->lines.IsEmpty());  // print frames take no part
  ViewList::RebindViewsForObject(nullptr);
  EXPECT_EQ(a->GetFirstShownPosition(), 120);
  EXPECT_EQ(b->GetFirstShownPosition(), 50);
  for (View* v : {a, b, p}) v->Close();
}

TEST(ViewList, ScaleByDpi) {
  test::TestDevice printer(300);
  EXPECT_EQ(ScaleByDpi(&printer, 25), 104);
  test::TestDevice screen(96);
  EXPECT_EQ(ScaleByDpi(&screen, 72), 96);
}

// A formatted document: 300 paragraphs of a sentence each.
class FormattedView : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(QsInitialize(0, "test", nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    std::string markup = "<R>";
    for (int i = 0; i < 300; ++i)
      markup += "<P>Paragraph " + std::to_string(i) + " of the fixture, long enough to wrap "
                "once or twice in a window of four hundred pixels at seventy-two dots.</P>";
    markup += "</R>";
    doc->Build(markup.c_str());
    view = new View(&device);
    frame = new FrameNode(doc->Doc(), nullptr, 0, nullptr);
    PushCurrentView(view, false);
    frame->Rebuild();
    PopCurrentView();
    view->SetFrame(frame, 0, true);
  }
  void TearDown() override {
    view->Close();
    doc.reset();
    QsTerminate();
  }
  test::RecordingSink sink_;
  BarDevice device{72, 400, 300};
  std::unique_ptr<test::DocBuilder> doc = std::make_unique<test::DocBuilder>();
  View* view = nullptr;
  FrameNode* frame = nullptr;
};

TEST_F(FormattedView, TheThumbRunsOverTheFramesRange) {
  EXPECT_EQ(view->GetFirstShownPosition(), view->RangeStart());
  view->OnScroll(0, 4, 8192);
  EXPECT_EQ(view->GetLastShownPosition(), view->RangeEnd());
  view->OnScroll(0, 4, 4096);
  const std::int32_t middle = view->RangeEnd() / 2;
  EXPECT_LE(view->GetFirstShownPosition(), middle);
  EXPECT_GE(view->GetLastShownPosition(), middle);
  view->OnScroll(0, 4, 0);
  EXPECT_EQ(view->GetFirstShownPosition(), view->RangeStart());
  // The bar's values on a paint: the shown part of the whole length.
  view->OnPaint();
  EXPECT_EQ(device.vert[0], 0);
  EXPECT_EQ(device.vert[1], view->GetLastShownPosition() - view->GetFirstShownPosition());
  EXPECT_EQ(device.vert[2], view->RangeEnd());
}

TEST_F(FormattedView, KeysWalkTheWholeDocumentAndBack) {
  for (int i = 0; i < 2000 && view->GetLastShownPosition() < view->RangeEnd(); ++i)
    view->OnKeyDown(34);
  EXPECT_EQ(view->GetLastShownPosition(), view->RangeEnd());
  EXPECT_LT(view->LineCount(), 60u);
  view->OnKeyDown(36);
  EXPECT_EQ(view->GetFirstShownPosition(), 0);
  view->OnKeyDown(35);
  EXPECT_EQ(view->GetLastShownPosition(), view->RangeEnd());
  const std::int32_t end = view->GetFirstShownPosition();
  view->OnMouseWheel(3, 0, 0, 0);
  EXPECT_LT(view->GetFirstShownPosition(), end);
  // Painting draws the text of the lines in the window.
  device.log.clear();
  view->OnPaint();
  EXPECT_NE(device.log.find("TEXTW"), std::string::npos);
}

}  // namespace
}  // namespace qs
