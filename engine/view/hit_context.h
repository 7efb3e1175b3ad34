// Records that the view's pointer and highlight code hands to lines,
// boxes and items: the press context, the highlighted ranges and the mark
// record a box inverts its marked part by.
#pragma once
#include <cstdint>

namespace qs {

class DisplayBox;
class LayoutItem;

// A highlighted range [start, end) in a chain in document order.
struct RangeEntry {
  std::int32_t start = 0;
  std::int32_t end = 0;
  RangeEntry* next = nullptr;
};

// What a box inverts its marked part by: its x in the window, the marked
// band's top and height, the line's baseline and the current range.
struct MarkRecord {
  std::int32_t x = 0;
  std::int32_t top = 0;
  std::int32_t height = 0;
  std::int32_t baseline = 0;
  RangeEntry* entry = nullptr;
};

// A pointer press on a box: the box origin (x, baseline), the bounds
// relative to the box's top-left corner, the press point and the current
// point (window coordinates) and the selection kind.
struct HitContext {
  std::int32_t x0 = 0, y0 = 0;
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  std::int32_t pressX = 0, pressY = 0;
  std::int32_t currentX = 0, currentY = 0;
  // -2 hot area, -1 whole picture, else a point index.
  std::int32_t selection = 0;
  // The box's ascent, which puts its top-left corner at (x0, y0 - ascent).
  std::int32_t ascent = 0;
  // Set when the pressed box was drawn during a paint.
  bool drawn = false;

  bool Contains(std::int32_t x, std::int32_t y) const {
    const std::int32_t boxTop = y0 - ascent;
    return x >= x0 + left && x < x0 + right && y >= boxTop + top && y < boxTop + bottom;
  }
  bool ContainsFirstPoint() const { return Contains(pressX, pressY); }
  bool ContainsSecondPoint() const { return Contains(currentX, currentY); }
};

namespace ViewRange {
// The bounds become the whole box: (0, 0, width, ascent + descent).
void Init(HitContext& context, DisplayBox* box);
void InitFromItem(HitContext& context, LayoutItem* item);
}  // namespace ViewRange

}  // namespace qs
