#include "hotspot_geometry.h"

#include <gtest/gtest.h>

#include <vector>

namespace qs::viewer {
namespace {

TEST(HotspotGeometry, WindowAndPicturePositions) {
  // 256 by 128 pixels shown, not scrolled: a drag from (32, 16) to (96, 80).
  const PictureTransform shown{0, 0, 256, 128};
  const HsPoint press = WindowToPictureClamped(shown, {32, 16});
  const HsPoint release = WindowToPictureClamped(shown, {96, 80});
  const std::optional<HsBox> box = SpannedBox(press, release);
  ASSERT_TRUE(box);
  EXPECT_EQ(*box, (HsBox{256, 256, 512, 1024}));

  struct {
    int window, size, scroll, picture;
  } cases[] = {
      {0, 256, 0, 0},        {256, 256, 0, 2048},   {1, 3, 0, 683},  // (2048 + 1) / 3
      {10, 512, 20, 120},    // scrolled: (30 * 2048 + 256) / 512
      {-5, 256, 0, -40},     // left of the picture, rounded down
      {7, 0, 0, 0},          // nothing shown yet: no division
      {7, -4, 3, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(WindowToPicture(c.window, c.size, c.scroll), c.picture)
        << c.window << " " << c.size << " " << c.scroll;
  // Every pixel of a picture shown up to 2048 pixels wide comes back to itself.
  for (int size : {1, 3, 100, 256, 1000, 2048})
    for (int scroll : {0, 17})
      for (int s = -3; s <= 40; ++s)
        EXPECT_EQ(PictureToWindow(WindowToPicture(s, size, scroll), size, scroll), s)
            << size << " " << scroll << " " << s;
  EXPECT_EQ(PictureToWindow(1024, 0, 5), -5);
  // Clamped to the picture's extent.
  EXPECT_EQ(WindowToPictureClamped(shown, {-20, 500}), (HsPoint{0, 2048}));
}

TEST(HotspotGeometry, PolygonPointsRelativeToTheBox) {
  const HsBox box{100, 200, 300, 0};
  EXPECT_EQ(AbsolutePoint(box, {0, 0}), (HsPoint{100, 200}));
  EXPECT_EQ(AbsolutePoint(box, {2048, 2048}), (HsPoint{400, 200}));
  EXPECT_EQ(AbsolutePoint(box, {1024, 1024}), (HsPoint{250, 200}));
  // A side of 0 divides by 1.
  EXPECT_EQ(RelativePoint(box, {250, 201}), (HsPoint{1024, 2048}));
  EXPECT_EQ(RelativePoint({0, 0, 2048, 2048}, {512, 2048}), (HsPoint{512, 2048}));
}

TEST(HotspotGeometry, HandlesSitOutsideTheBoxAndAreHitWithinThreePixels) {
  const PictureTransform shown{0, 0, 256, 256};
  const auto handles = HandlePositions(shown, {256, 256, 512, 1024});  // pixels 32..96, 32..160
  const std::array<HsPoint, 8> expected{{{26, 26}, {64, 26}, {102, 26}, {26, 96}, {102, 96},
                                         {26, 166}, {64, 166}, {102, 166}}};
  EXPECT_EQ(handles, expected);
  struct {
    HsPoint at;
    int handle;
  } cases[] = {{{26, 26}, 0}, {{29, 23}, 0}, {{30, 26}, -1}, {{64, 29}, 1}, {{105, 99}, 4},
               {{102, 170}, -1}, {{100, 168}, 7}, {{64, 96}, -1}};
  for (const auto& c : cases)
    EXPECT_EQ(PointHit(handles.data(), 8, c.at), c.handle) << c.at.x << "," << c.at.y;
  EXPECT_EQ(PointHit(handles.data(), 0, {26, 26}), -1);
}

TEST(HotspotGeometry, AMovedBoxStaysInsideThePicture) {
  const HsBox start{256, 256, 512, 1024};
  struct {
    HsPoint to;
    HsBox box;
  } cases[] = {
      {{1100, 1100}, {356, 356, 512, 1024}},
      {{-5000, -5000}, {0, 0, 512, 1024}},
      {{9000, 9000}, {1536, 1024, 512, 1024}},  // right and bottom edges at 2048
      {{1000, -100}, {256, 0, 512, 1024}},
  };
  for (const auto& c : cases) {
    const HsBox moved = MoveBox(start, {1000, 1000}, c.to);
    EXPECT_EQ(moved, c.box) << c.to.x << "," << c.to.y;
    EXPECT_GE(moved.x, 0);
    EXPECT_LE(moved.Right(), 2048);
    EXPECT_GE(moved.y, 0);
    EXPECT_LE(moved.Bottom(), 2048);
  }
  // A box as large as the picture cannot move.
  EXPECT_EQ(MoveBox({0, 0, 2048, 2048}, {0, 0}, {300, 300}), (HsBox{0, 0, 2048, 2048}));
}

TEST(HotspotGeometry, AResizeMovesOnlyTheEdgesItsHandleDoesNotKeep) {
  const HsBox start{400, 400, 800, 800};  // edges 400, 400, 1200, 1200
  const HsPoint from{1000, 1000};
  struct {
    int handle;
    HsPoint to;
    HsBox box;
  } cases[] = {
      {0, {900, 950}, {300, 350, 900, 850}},
      {1, {900, 950}, {400, 350, 800, 850}},     // the middle keeps its other axis
      {2, {1100, 900}, {400, 300, 900, 900}},
      {3, {900, 5000}, {300, 400, 900, 800}},
      {4, {1100, 0}, {400, 400, 900, 800}},
      {5, {1100, 1100}, {500, 400, 700, 900}},
      {6, {0, 1100}, {400, 400, 800, 900}},
      {7, {1100, 1100}, {400, 400, 900, 900}},
      // Past the picture's border: the edge stops at it.
      {0, {-3000, -3000}, {0, 0, 1200, 1200}},
      {7, {9000, 9000}, {400, 400, 1648, 1648}},
      // Past the opposite edge: a side of 1 is left.
      {0, {3000, 3000}, {1199, 1199, 1, 1}},
      {7, {-3000, -3000}, {400, 400, 1, 1}},
      {8, {0, 0}, {400, 400, 800, 800}},  // no such handle
  };
  for (const auto& c : cases) {
    const HsBox box = ResizeBox(start, c.handle, from, c.to);
    EXPECT_EQ(box, c.box) << "handle " << c.handle << " to " << c.to.x << "," << c.to.y;
    EXPECT_GE(box.x, 0);
    EXPECT_GE(box.y, 0);
    EXPECT_LE(box.Right(), 2048);
    EXPECT_LE(box.Bottom(), 2048);
    EXPECT_GE(box.width, 1);
    EXPECT_GE(box.height, 1);
  }
}

TEST(HotspotGeometry, ANewBoxIsSpannedByTheDrag) {
  EXPECT_EQ(SpannedBox({900, 800}, {100, 1200}), (HsBox{100, 800, 800, 400}));
  // A click, or a drag along one axis, makes no hotspot.
  EXPECT_FALSE(SpannedBox({500, 500}, {500, 500}));
  EXPECT_FALSE(SpannedBox({500, 500}, {900, 500}));
  EXPECT_FALSE(SpannedBox({500, 500}, {500, 900}));
}

TEST(HotspotGeometry, PolygonPointsAreAddedOnEdgesAndKeptBetweenThreeAnd99) {
  const std::vector<HsPoint> square{{10, 10}, {110, 10}, {110, 110}, {10, 110}};
  struct {
    HsPoint at;
    std::optional<int> index;
    HsPoint foot;
  } cases[] = {
      {{60, 12}, 1, {60, 10}},    // on the top edge, 2 pixels off
      {{112, 60}, 2, {110, 60}},  // the right edge
      {{60, 108}, 3, {60, 110}},
      {{8, 50}, 4, {10, 50}},     // the closing edge, last to first
      {{60, 14}, std::nullopt, {}},  // 4 pixels off
      {{60, 60}, std::nullopt, {}},
      {{120, 10}, std::nullopt, {}},  // past the edge's end
  };
  for (const auto& c : cases) {
    const auto hit = EdgeAt(square, c.at);
    ASSERT_EQ(hit.has_value(), c.index.has_value()) << c.at.x << "," << c.at.y;
    if (hit) {
      EXPECT_EQ(hit->index, *c.index);
      EXPECT_EQ(hit->foot, c.foot);
    }
  }
  // A diagonal edge: the foot of the perpendicular.
  const auto diagonal = EdgeAt({{0, 0}, {100, 100}, {0, 100}}, {52, 48});
  ASSERT_TRUE(diagonal);
  EXPECT_EQ(diagonal->index, 1);
  EXPECT_EQ(diagonal->foot, (HsPoint{50, 50}));
  // Points on one pixel have no edge between them; too few points none at all.
  EXPECT_FALSE(EdgeAt({{5, 5}, {5, 5}, {5, 5}}, {5, 5}));
  EXPECT_FALSE(EdgeAt({{5, 5}}, {5, 5}));

  EXPECT_TRUE(CanAddPoint(98));
  EXPECT_FALSE(CanAddPoint(99));
  EXPECT_TRUE(CanRemovePoint(4));
  EXPECT_FALSE(CanRemovePoint(3));

  EXPECT_TRUE(ClosesPolygon({{10, 10}, {50, 10}, {50, 50}}, {11, 9}));
  EXPECT_FALSE(ClosesPolygon({{10, 10}, {50, 10}, {50, 50}}, {12, 10}));
  EXPECT_FALSE(ClosesPolygon({{10, 10}, {50, 10}}, {10, 10}));
}

TEST(HotspotGeometry, ADraggedPolygonPointStaysInTheBox) {
  const HsBox box{1000, 1000, 512, 256};
  EXPECT_EQ(DragPolygonPoint(box, {1256, 1128}), (HsPoint{1024, 1024}));
  EXPECT_EQ(DragPolygonPoint(box, {0, 5000}), (HsPoint{0, 2048}));
  EXPECT_EQ(DragPolygonPoint({5, 5, 0, 0}, {100, 100}), (HsPoint{0, 0}));
}

TEST(HotspotGeometry, PolygonsGetTheBoundsOfTheirPoints) {
  const PolygonGeometry drawn = PolygonFromPicturePoints({{512, 256}, {1536, 256}, {1024, 1280}});
  EXPECT_EQ(drawn.box, (HsBox{512, 256, 1024, 1024}));
  EXPECT_EQ(drawn.points, (std::vector<HsPoint>{{0, 0}, {2048, 0}, {1024, 2048}}));
  // Collinear points keep a side of 1, at the picture's far edge too.
  const PolygonGeometry line = PolygonFromPicturePoints({{100, 700}, {300, 700}, {200, 700}});
  EXPECT_EQ(line.box, (HsBox{100, 700, 200, 1}));
  EXPECT_EQ(line.points[2], (HsPoint{1024, 0}));
  const PolygonGeometry edge = PolygonFromPicturePoints({{2048, 0}, {2048, 10}, {2048, 20}});
  EXPECT_EQ(edge.box, (HsBox{2047, 0, 1, 20}));
  EXPECT_TRUE(PolygonFromPicturePoints({}).points.empty());

  // Trimming: points using only the middle of their box get a box of their own.
  const PolygonGeometry trimmed =
      TrimPolygon({0, 0, 2048, 2048}, {{512, 512}, {1536, 512}, {1536, 1536}, {512, 1536}});
  EXPECT_EQ(trimmed.box, (HsBox{512, 512, 1024, 1024}));
  EXPECT_EQ(trimmed.points, (std::vector<HsPoint>{{0, 0}, {2048, 0}, {2048, 2048}, {0, 2048}}));
  // A trimmed polygon trims to itself.
  const PolygonGeometry again = TrimPolygon(trimmed.box, trimmed.points);
  EXPECT_EQ(again.box, trimmed.box);
  EXPECT_EQ(again.points, trimmed.points);
  EXPECT_EQ(UnitSquarePoints().size(), 4u);
}

}  // namespace
}  // namespace qs::viewer
