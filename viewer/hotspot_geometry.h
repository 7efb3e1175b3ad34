// The geometry of the hotspot editor: picture units (2048ths of the shown
// picture's width or height) and window pixels, the handles round the
// hotspot being edited, and how drags move, resize and reshape it. No
// system calls, so every rule can be checked on its own.
#pragma once
#include <array>
#include <optional>
#include <vector>

namespace qs::viewer {

inline constexpr int kPictureUnits = 2048;
// The engine keeps fewer than 100 polygon points.
inline constexpr int kMaxHotspotPoints = 99;
// A polygon keeps at least this many points.
inline constexpr int kMinHotspotPoints = 3;
// How far round a handle or a polygon point a press still hits it.
inline constexpr int kHandleReach = 3;
// How far outside the box the handles sit.
inline constexpr int kHandleOffset = 6;

enum class HotspotShape { kRectangle = 1, kEllipse = 2, kPolygon = 3 };

struct HsPoint {
  int x = 0, y = 0;
  bool operator==(const HsPoint&) const = default;
};

struct HsBox {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const HsBox&) const = default;
  int Right() const { return x + width; }
  int Bottom() const { return y + height; }
};

// How the figure window shows the picture: its scroll offsets and its
// displayed size in pixels.
struct PictureTransform {
  int scrollX = 0, scrollY = 0, width = 0, height = 0;
};

// One axis: a picture position to the window and back. A displayed size of
// 0 (no picture yet) maps everything to 0 instead of dividing by it.
int PictureToWindow(int picture, int size, int scroll);
int WindowToPicture(int window, int size, int scroll);
HsPoint PictureToWindow(const PictureTransform& t, HsPoint picture);
HsPoint WindowToPicture(const PictureTransform& t, HsPoint window);
// A window position as a picture position inside the picture (0..2048).
HsPoint WindowToPictureClamped(const PictureTransform& t, HsPoint window);

// A polygon point, stored relative to the box in 2048ths of its sides, as a
// picture position, and back (a side of 0 counts as 1).
HsPoint AbsolutePoint(const HsBox& box, HsPoint relative);
HsPoint RelativePoint(const HsBox& box, HsPoint absolute);

// The eight handles in window positions: 0 top-left, 1 top-middle,
// 2 top-right, 3 middle-left, 4 middle-right, 5 bottom-left,
// 6 bottom-middle, 7 bottom-right.
std::array<HsPoint, 8> HandlePositions(const PictureTransform& t, const HsBox& box);
// The first of `points` within kHandleReach of `at` in both axes, or -1.
int PointHit(const HsPoint* points, int count, HsPoint at);

// A moved box: the press-to-mouse distance in picture units added, the box
// kept inside the picture.
HsBox MoveBox(const HsBox& start, HsPoint from, HsPoint to);
// A box resized by `handle`: the edges the handle does not keep follow the
// mouse (picture units, clamped) less the press offset, each between the
// opposite edge (a side of at least 1) and the picture's border.
HsBox ResizeBox(const HsBox& start, int handle, HsPoint from, HsPoint to);
// The box spanned by a press and the mouse (picture units); none while the
// mouse has not left the press in both axes, so a click makes no hotspot.
std::optional<HsBox> SpannedBox(HsPoint press, HsPoint mouse);

// A polygon point dragged to `to` (a picture position) stays in the box;
// answers it relative to the box.
HsPoint DragPolygonPoint(const HsBox& box, HsPoint to);

// Inserting a point on an edge: the edge (from point i to point i + 1, the
// last to the first) with the foot of the perpendicular from `at` between
// its ends and within kHandleReach (squared distance 9), in window
// positions. Answers the index the new point takes and the foot.
struct EdgeHit {
  int index = 0;
  HsPoint foot;
};
std::optional<EdgeHit> EdgeAt(const std::vector<HsPoint>& window, HsPoint at);
bool CanAddPoint(int count);
// A press within 1 pixel of the first point of a polygon being drawn, with
// more than 2 points, closes it.
bool ClosesPolygon(const std::vector<HsPoint>& window, HsPoint at);
bool CanRemovePoint(int count);

// Closing a drawn polygon, and trimming one: the bounds of the points
// (picture positions) as the box, each side at least 1 (collinear points),
// and the points relative to it.
struct PolygonGeometry {
  HsBox box;
  std::vector<HsPoint> points;
};
PolygonGeometry PolygonFromPicturePoints(const std::vector<HsPoint>& picture);
PolygonGeometry TrimPolygon(const HsBox& box, const std::vector<HsPoint>& relative);

// The four points a shape change gives a hotspot.
std::vector<HsPoint> UnitSquarePoints();

}  // namespace qs::viewer
