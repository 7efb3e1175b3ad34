// Hot areas: the clickable regions of a picture. They come from hotspot
// elements of open documents and from hotspot anchors of open webs, and are
// resolution-free: positions and sizes in 1/2048 of the picture's width and
// height, outline points in 1/2048 of the area's own rectangle.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qs {

class Anchor;
class ColorEntry;
class ColorTable;
class Document;
class DocumentNode;
class View;

inline constexpr int kAreaUnits = 2048;
inline constexpr int kAreaMaxPoints = 100;
inline constexpr int kAreaEllipsePoints = 32;

struct AreaPoint {
  std::int16_t x, y;
};

// The shared outlines: the rectangle's 4 corners and the ellipse's 32
// points starting at (1024, 2048).
const AreaPoint* RectangleOutline();
const AreaPoint* EllipseOutline();

// A decimal attribute value: blanks, an optional sign, digits (none: 0),
// saturated to the int range.
int ReadAreaNumber(const char* text);
// A "ZOOM" value as a scale in 1/256: "150%" 385 (at most 32767), "1".."4"
// and above 256 shifted by n - 1 (cut to 4), 0 or no digits none.
std::int16_t ReadAreaZoom(const char* text);

// Reads polygon points from text given piece by piece: each run of digits
// one number (a run of more than 32 digits ends after its 32nd, the next
// digit is dropped), clamped to 0..2047, paired as x, y; at most 100
// points. An unpaired last x gets y = 0.
class PolygonReader {
 public:
  void Feed(const char* text, std::size_t length);
  // Ends the text; the number of points.
  int Finish();
  const AreaPoint* Points() const { return points_; }
  bool Full() const { return count_ >= kAreaMaxPoints; }

 private:
  void EndNumber();
  AreaPoint points_[kAreaMaxPoints] = {};
  int count_ = 0;
  bool haveX_ = false;
  std::int16_t x_ = 0;
  bool inNumber_ = false;
  int digits_ = 0;
  bool dropNext_ = false;
  std::int64_t value_ = 0;
};

class Region {
 public:
  // The whole picture, the shared rectangle outline.
  Region() = default;
  virtual ~Region();
  Region(const Region&) = delete;
  Region& operator=(const Region&) = delete;

  // Clicked in a picture view.
  virtual void Activate(View* view) { (void)view; }
  // Reloads the geometry from its source.
  virtual void Refresh() {}
  virtual Anchor* GetAnchor() const { return nullptr; }
  virtual Document* GetDocument() const { return nullptr; }
  virtual DocumentNode* GetElement() const { return nullptr; }
  // A plain region with the same geometry (points copied when owned).
  virtual Region* Clone() const;

  // Takes `count` points as an owned copy; fewer than 3 keep the rectangle.
  void SetPoints(const AreaPoint* points, int count);
  void UseEllipse();
  void UseRectangle();
  // Whether the picture point (px, py), in 1/2048, lies in the area.
  bool Contains(int px, int py) const;

  std::int16_t x = 0, y = 0, width = kAreaUnits, height = kAreaUnits;
  std::int16_t zoom = 0;
  std::uint8_t pointCount = 4;
  bool ownsPoints = false;
  const AreaPoint* points = RectangleOutline();
  ColorEntry* color = nullptr;
  Region* next = nullptr;  // the graphic's list

 protected:
  void CopyGeometry(const Region& from);
};

// A hotspot element of a document.
class HotArea : public Region {
 public:
  // Reads RX, RY, RW, RH, ZOOM, LINE and SHAPE of the element (colours
  // from `colors`, which may be null).
  HotArea(Document* document, DocumentNode* element, ColorTable* colors);
  Document* GetDocument() const override { return document_; }
  DocumentNode* GetElement() const override { return element_; }
  Region* Clone() const override;
  void Activate(View* view) override;

 private:
  HotArea(Document* document, DocumentNode* element) : document_(document), element_(element) {}
  Document* document_;
  DocumentNode* element_;
};

// A hotspot anchor of a web.
class WholeRegion : public Region {
 public:
  explicit WholeRegion(Anchor* anchor);
  void Refresh() override;
  Anchor* GetAnchor() const override { return anchor_; }
  Region* Clone() const override;
  void Activate(View* view) override;

 private:
  Anchor* anchor_;
};

// Where a renderer shows its picture, in view pixels.
struct Placement {
  int x = 0, y = 0, width = 0, height = 0;
};

// The first area of the list hit at view point (x, y), or null: only a
// placement with a size takes part; with `limit` only areas of that
// document and those of no document (web anchors) count.
Region* HitTestAreas(Region* first, const Placement& placed, const Document* limit, int x, int y);

}  // namespace qs
