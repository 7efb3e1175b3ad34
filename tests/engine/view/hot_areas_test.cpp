#include "view/hot_areas.h"

#include <gtest/gtest.h>

#include <string>

#include "doc_builder.h"
#include "foundation/engine_lists.h"
#include "sgml/attributes.h"

namespace qs {
namespace {

// One hotspot element (and, after it, any shape elements) in a document.
struct AreaDoc {
  test::DocBuilder b;
  DocumentNode* hotspot = nullptr;
  explicit AreaDoc(const std::string& markup) {
    b.Declare("SHAPE", "ID", kDeclaredId, kDefaultImplied);
    b.Build(("<DOC>" + markup + "</DOC>").c_str());
    hotspot = b.Doc()->Root()->First();
  }
};

std::string Geometry(const Region& r) {
  return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
         std::to_string(r.height) + " zoom " + std::to_string(r.zoom) + " points " +
         std::to_string(r.pointCount);
}

TEST(HotArea, AttributesAreReadAndClamped) {
  struct {
    const char* element;
    const char* geometry;
  } cases[] = {
      {"<HS/>", "0,0 2048x2048 zoom 0 points 4"},
      {"<HS RX=3000 RY=-5/>", "2047,0 1x2048 zoom 0 points 4"},
      {"<HS RW=0 RH=-3/>", "0,0 1x1 zoom 0 points 4"},
      {"<HS RX=1500 RW=1000/>", "1500,0 548x2048 zoom 0 points 4"},
      {"<HS RX=99999999999999999999 RW=99999999999999999999/>", "2047,0 1x2048 zoom 0 points 4"},
      {"<HS ZOOM='150%'/>", "0,0 2048x2048 zoom 385 points 4"},
      {"<HS ZOOM=' 100 %'/>", "0,0 2048x2048 zoom 257 points 4"},
      {"<HS ZOOM='99999999%'/>", "0,0 2048x2048 zoom 32767 points 4"},
      {"<HS ZOOM=3/>", "0,0 2048x2048 zoom 1024 points 4"},
      {"<HS ZOOM=9/>", "0,0 2048x2048 zoom 2048 points 4"},
      {"<HS ZOOM=0/>", "0,0 2048x2048 zoom 0 points 4"},
      {"<HS ZOOM=big/>", "0,0 2048x2048 zoom 0 points 4"},
      {"<HS SHAPE='#ellipse'/>", "0,0 2048x2048 zoom 0 points 32"},
      {"<HS SHAPE='#Polygon'>10 10 20</HS>", "0,0 2048x2048 zoom 0 points 4"},
      {"<HS SHAPE='#polygon'>10 10 20 10 20</HS>", "0,0 2048x2048 zoom 0 points 3"},
      {"<HS SHAPE='#star'>10 10 20 10 20</HS>", "0,0 2048x2048 zoom 0 points 4"},
      {"<HS SHAPE=s1/><SHAPE ID=S1 QUENDA-AF='Shape.Polygon'>1,2;3,4;5,6;7 8</SHAPE>",
       "0,0 2048x2048 zoom 0 points 4"},
      {"<HS SHAPE=nothere/>", "0,0 2048x2048 zoom 0 points 4"},
      {"<HS SHAPE=s2/><SHAPE ID=S2 QUENDA-AF='link.x'>1 2 3 4 5 6</SHAPE>",
       "0,0 2048x2048 zoom 0 points 4"},
  };
  for (const auto& c : cases) {
    AreaDoc d(c.element);
    HotArea area(d.b.Doc(), d.hotspot, nullptr);
    if (std::string(c.element).find("Shape.Polygon") != std::string::npos) {
      // The shape element's own content gives the points.
      EXPECT_EQ(area.pointCount, 4) << c.element;
      EXPECT_EQ(area.points[3].x, 7);
      EXPECT_EQ(area.points[3].y, 8);
      continue;
    }
    EXPECT_EQ(Geometry(area), c.geometry) << c.element;
  }
}

TEST(HotArea, PolygonText) {
  PolygonReader r;
  r.Feed("10 10 20 10 20", 14);
  ASSERT_EQ(r.Finish(), 3);
  EXPECT_EQ(r.Points()[2].x, 20);
  EXPECT_EQ(r.Points()[2].y, 0);
  // 150 pairs keep the first 100 points; numbers are clamped to 2047.
  PolygonReader many;
  std::string text;
  for (int i = 0; i < 150; ++i) text += std::to_string(i) + " 5000 ";
  many.Feed(text.data(), text.size());
  ASSERT_EQ(many.Finish(), 100);
  EXPECT_EQ(many.Points()[99].x, 99);
  EXPECT_EQ(many.Points()[99].y, 2047);
  // A run of more than 32 digits: 32 make a number, the 33rd is dropped,
  // the rest start the next; pieces may split a number.
  PolygonReader runs;
  std::string digits = std::string(32, '0') + "9" + "12";
  runs.Feed(digits.data(), 20);
  runs.Feed(digits.data() + 20, digits.size() - 20);
  runs.Feed(" 7 8", 4);
  ASSERT_EQ(runs.Finish(), 2);
  EXPECT_EQ(runs.Points()[0].x, 0);
  EXPECT_EQ(runs.Points()[0].y, 12);
  EXPECT_EQ(runs.Points()[1].x, 7);
}

TEST(HotArea, HitTests) {
  Region rectangle;
  Placement placed{100, 50, 200, 100};
  EXPECT_EQ(HitTestAreas(&rectangle, placed, nullptr, 100, 51), &rectangle);
  EXPECT_EQ(HitTestAreas(&rectangle, placed, nullptr, 299, 149), &rectangle);
  EXPECT_EQ(HitTestAreas(&rectangle, placed, nullptr, 300, 149), nullptr);
  EXPECT_EQ(HitTestAreas(&rectangle, placed, nullptr, 99, 60), nullptr);
  EXPECT_EQ(HitTestAreas(&rectangle, Placement{100, 50, 0, 100}, nullptr, 100, 51), nullptr);

  Region ellipse;
  ellipse.UseEllipse();
  EXPECT_EQ(ellipse.points[0].x, 1024);
  EXPECT_EQ(ellipse.points[0].y, 2048);
  EXPECT_EQ(ellipse.points[8].x, 2048);
  EXPECT_EQ(ellipse.points[8].y, 1024);
  EXPECT_FALSE(ellipse.Contains(5, 5));
  EXPECT_FALSE(ellipse.Contains(2040, 2040));
  EXPECT_TRUE(ellipse.Contains(1024, 1024));
  EXPECT_TRUE(ellipse.Contains(20, 1024));

  // A triangle (0,0) (2048,0) (0,2048) over the left half of the picture.
  Region triangle;
  triangle.width = 1024;
  AreaPoint corners[] = {{0, 0}, {2048, 0}, {0, 2048}};
  triangle.SetPoints(corners, 3);
  EXPECT_TRUE(triangle.Contains(100, 100));
  EXPECT_FALSE(triangle.Contains(1000, 2000));
  EXPECT_FALSE(triangle.Contains(1500, 100));  // outside its rectangle

  // Overlapping areas: the earlier wins; a zero-sized area is never hit.
  Region empty, second;
  empty.width = 0;
  empty.next = &triangle;
  triangle.next = &second;
  EXPECT_EQ(HitTestAreas(&empty, Placement{0, 0, 2048, 2048}, nullptr, 100, 100), &triangle);
  EXPECT_EQ(HitTestAreas(&empty, Placement{0, 0, 2048, 2048}, nullptr, 1000, 2000), &second);
  triangle.next = nullptr;
  // A copy shares the ellipse table and owns a copy of owned points.
  Region* copy = triangle.Clone();
  EXPECT_TRUE(copy->ownsPoints);
  EXPECT_NE(copy->points, triangle.points);
  EXPECT_TRUE(copy->Contains(100, 100));
  delete copy;
  copy = ellipse.Clone();
  EXPECT_EQ(copy->points, EllipseOutline());
  delete copy;
}

TEST(HotArea, LimitedToOneDocument) {
  AreaDoc a("<HS RW=1024/>"), b("<HS/>");
  HotArea first(a.b.Doc(), a.hotspot, nullptr), second(b.b.Doc(), b.hotspot, nullptr);
  Region web;  // no document: always counts
  first.next = &second;
  second.next = &web;
  Placement placed{0, 0, 2048, 2048};
  EXPECT_EQ(HitTestAreas(&first, placed, nullptr, 10, 10), &first);
  EXPECT_EQ(HitTestAreas(&first, placed, b.b.Doc(), 10, 10), &second);
  EXPECT_EQ(HitTestAreas(&first, placed, a.b.Doc(), 1500, 10), &web);
  ColorTable colors;
  AreaDoc lined("<HS LINE=red/>");
  HotArea red(lined.b.Doc(), lined.hotspot, &colors);
  ASSERT_NE(red.color, nullptr);
  EXPECT_EQ(red.color->Rgb(), 0xFF0000u);
}

}  // namespace
}  // namespace qs
