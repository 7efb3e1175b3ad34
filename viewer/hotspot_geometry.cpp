#include "hotspot_geometry.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace qs::viewer {
namespace {

int Clamp(int value, int low, int high) { return std::min(std::max(value, low), high); }

// Integer division that rounds toward minus infinity, so positions left of
// the picture do not round up onto it.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

}  // namespace

int PictureToWindow(int picture, int size, int scroll) {
  if (size <= 0) return -scroll;
  return static_cast<int>(FloorDiv(std::int64_t{picture} * size + kPictureUnits / 2, kPictureUnits)) -
         scroll;
}

int WindowToPicture(int window, int size, int scroll) {
  if (size <= 0) return 0;
  return static_cast<int>(
      FloorDiv((std::int64_t{window} + scroll) * kPictureUnits + size / 2, size));
}

HsPoint PictureToWindow(const PictureTransform& t, HsPoint picture) {
  return {PictureToWindow(picture.x, t.width, t.scrollX),
          PictureToWindow(picture.y, t.height, t.scrollY)};
}

HsPoint WindowToPicture(const PictureTransform& t, HsPoint window) {
  return {WindowToPicture(window.x, t.width, t.scrollX),
          WindowToPicture(window.y, t.height, t.scrollY)};
}

HsPoint WindowToPictureClamped(const PictureTransform& t, HsPoint window) {
  const HsPoint p = WindowToPicture(t, window);
  return {Clamp(p.x, 0, kPictureUnits), Clamp(p.y, 0, kPictureUnits)};
}

HsPoint AbsolutePoint(const HsBox& box, HsPoint relative) {
  auto axis = [](int origin, int side, int value) {
    return origin + static_cast<int>(FloorDiv(std::int64_t{value} * side + kPictureUnits / 2,
                                              kPictureUnits));
  };
  return {axis(box.x, box.width, relative.x), axis(box.y, box.height, relative.y)};
}

HsPoint RelativePoint(const HsBox& box, HsPoint absolute) {
  auto axis = [](int origin, int side, int value) {
    const int s = std::max(side, 1);
    return static_cast<int>(
        FloorDiv((std::int64_t{value} - origin) * kPictureUnits + s / 2, s));
  };
  return {axis(box.x, box.width, absolute.x), axis(box.y, box.height, absolute.y)};
}

std::array<HsPoint, 8> HandlePositions(const PictureTransform& t, const HsBox& box) {
  const HsPoint topLeft = PictureToWindow(t, {box.x, box.y});
  const HsPoint bottomRight = PictureToWindow(t, {box.Right(), box.Bottom()});
  const int left = topLeft.x - kHandleOffset, right = bottomRight.x + kHandleOffset;
  const int top = topLeft.y - kHandleOffset, bottom = bottomRight.y + kHandleOffset;
  const int midX = (topLeft.x + bottomRight.x) / 2, midY = (topLeft.y + bottomRight.y) / 2;
  return {{{left, top}, {midX, top}, {right, top}, {left, midY}, {right, midY},
           {left, bottom}, {midX, bottom}, {right, bottom}}};
}

int PointHit(const HsPoint* points, int count, HsPoint at) {
  for (int i = 0; i < count; ++i) {
    if (std::abs(points[i].x - at.x) <= kHandleReach && std::abs(points[i].y - at.y) <= kHandleReach)
      return i;
  }
  return -1;
}

HsBox MoveBox(const HsBox& start, HsPoint from, HsPoint to) {
  HsBox box = start;
  box.x = Clamp(start.x + to.x - from.x, 0, std::max(kPictureUnits - start.width, 0));
  box.y = Clamp(start.y + to.y - from.y, 0, std::max(kPictureUnits - start.height, 0));
  return box;
}

HsBox ResizeBox(const HsBox& start, int handle, HsPoint from, HsPoint to) {
  if (handle < 0 || handle > 7) return start;
  // Which edges follow the mouse, per handle: left, top, right, bottom.
  static constexpr bool kMoves[8][4] = {
      {true, true, false, false},  {false, true, false, false}, {false, true, true, false},
      {true, false, false, false}, {false, false, true, false}, {true, false, false, true},
      {false, false, false, true}, {false, false, true, true}};
  const bool* moves = kMoves[handle];
  const int dx = Clamp(to.x, 0, kPictureUnits) - from.x;
  const int dy = Clamp(to.y, 0, kPictureUnits) - from.y;
  int left = Clamp(start.x, 0, kPictureUnits), top = Clamp(start.y, 0, kPictureUnits);
  int right = Clamp(start.Right(), 0, kPictureUnits), bottom = Clamp(start.Bottom(), 0, kPictureUnits);
  if (moves[0]) left = Clamp(start.x + dx, 0, std::max(right - 1, 0));
  if (moves[2]) right = Clamp(start.Right() + dx, std::min(left + 1, kPictureUnits), kPictureUnits);
  if (moves[1]) top = Clamp(start.y + dy, 0, std::max(bottom - 1, 0));
  if (moves[3]) bottom = Clamp(start.Bottom() + dy, std::min(top + 1, kPictureUnits), kPictureUnits);
  return {left, top, std::max(right - left, 1), std::max(bottom - top, 1)};
}

std::optional<HsBox> SpannedBox(HsPoint press, HsPoint mouse) {
  const int left = std::min(press.x, mouse.x), right = std::max(press.x, mouse.x);
  const int top = std::min(press.y, mouse.y), bottom = std::max(press.y, mouse.y);
  if (right == left || bottom == top) return std::nullopt;
  return HsBox{left, top, right - left, bottom - top};
}

HsPoint DragPolygonPoint(const HsBox& box, HsPoint to) {
  const HsPoint inside{Clamp(to.x, box.x, box.Right()), Clamp(to.y, box.y, box.Bottom())};
  const HsPoint relative = RelativePoint(box, inside);
  return {Clamp(relative.x, 0, kPictureUnits), Clamp(relative.y, 0, kPictureUnits)};
}

std::optional<EdgeHit> EdgeAt(const std::vector<HsPoint>& window, HsPoint at) {
  const int count = static_cast<int>(window.size());
  if (count < 2) return std::nullopt;
  for (int i = 0; i < count; ++i) {
    const HsPoint a = window[static_cast<std::size_t>(i)];
    const HsPoint b = window[static_cast<std::size_t>((i + 1) % count)];
    const std::int64_t ex = b.x - a.x, ey = b.y - a.y;
    const std::int64_t length2 = ex * ex + ey * ey;
    if (length2 == 0) continue;  // two points on one pixel: no edge between them
    const std::int64_t along = (std::int64_t{at.x} - a.x) * ex + (std::int64_t{at.y} - a.y) * ey;
    if (along < 0 || along > length2) continue;
    const HsPoint foot{a.x + static_cast<int>(FloorDiv(along * ex + length2 / 2, length2)),
                       a.y + static_cast<int>(FloorDiv(along * ey + length2 / 2, length2))};
    const std::int64_t fx = at.x - foot.x, fy = at.y - foot.y;
    if (fx * fx + fy * fy <= kHandleReach * kHandleReach) return EdgeHit{i + 1, foot};
  }
  return std::nullopt;
}

bool CanAddPoint(int count) { return count < kMaxHotspotPoints; }
bool CanRemovePoint(int count) { return count > kMinHotspotPoints; }

bool ClosesPolygon(const std::vector<HsPoint>& window, HsPoint at) {
  return window.size() > 2 && std::abs(window.front().x - at.x) <= 1 &&
         std::abs(window.front().y - at.y) <= 1;
}

PolygonGeometry PolygonFromPicturePoints(const std::vector<HsPoint>& picture) {
  PolygonGeometry result;
  if (picture.empty()) return result;
  int left = picture.front().x, right = left, top = picture.front().y, bottom = top;
  for (const HsPoint& p : picture) {
    left = std::min(left, p.x);
    right = std::max(right, p.x);
    top = std::min(top, p.y);
    bottom = std::max(bottom, p.y);
  }
  left = Clamp(left, 0, kPictureUnits - 1);
  top = Clamp(top, 0, kPictureUnits - 1);
  right = Clamp(right, left + 1, kPictureUnits);
  bottom = Clamp(bottom, top + 1, kPictureUnits);
  result.box = {left, top, right - left, bottom - top};
  for (const HsPoint& p : picture) {
    const HsPoint r = RelativePoint(result.box, p);
    result.points.push_back({Clamp(r.x, 0, kPictureUnits), Clamp(r.y, 0, kPictureUnits)});
  }
  return result;
}

PolygonGeometry TrimPolygon(const HsBox& box, const std::vector<HsPoint>& relative) {
  std::vector<HsPoint> picture;
  picture.reserve(relative.size());
  for (const HsPoint& r : relative) picture.push_back(AbsolutePoint(box, r));
  return PolygonFromPicturePoints(picture);
}

std::vector<HsPoint> UnitSquarePoints() { return {{0, 0}, {2047, 0}, {2047, 2047}, {0, 2047}}; }

}  // namespace qs::viewer
