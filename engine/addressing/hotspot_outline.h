// The geometry of hotspot outlines drawn as feedback over a picture: an
// outline in 1/2048 of its area placed in a picture frame's pixels, and the
// marching dashes that run along it. The drawing itself goes through a
// small sink, so the same stepping serves any device.
#pragma once
#include <cstdint>

#include "addressing/web.h"

namespace qs {

struct OutlinePoint {
  std::int16_t x, y;
};

// The picture frame a hot area is drawn in, in pixels.
struct OutlineFrame {
  int x, y, width, height;
};

// The area's outline (HotspotLocation::GetOutline) placed in the frame,
// closed by repeating the first point, into `out` (room for
// kMaxOutlinePoints + 1). Every division truncates toward zero and every
// value is cut to 16 bits. The number of points written, 0 when the outline
// has fewer than 3 points.
int PlaceOutline(const HotspotArea& area, const std::int16_t* points, int count,
                 const OutlineFrame& frame, OutlinePoint* out);

// The square root of dx² + dy² by Newton's iteration from 250.0, stopped
// when two successive estimates differ by at most 0.9.
double NewtonLength(double dx, double dy);

inline constexpr int kDashLength = 16;

// Receives the dashes: a move to the dash's start, then a line to its end
// with pen 0 or 1.
class DashSink {
 public:
  virtual ~DashSink() = default;
  virtual void MoveTo(int x, int y) = 0;
  virtual void LineTo(int x, int y, int pen) = 0;
};

// The state that runs on from one segment to the next.
struct DashState {
  double phase = 0;  // what is left of the current dash
  int pen = 0;       // the pen of the current dash
};

// One segment as alternating dashes of kDashLength pixels. A segment
// shorter than 2 pixels along both axes is skipped. The first dash is what
// the previous segment left, or a whole dash with the other pen when less
// than a pixel was left; the overshoot of the last dash is left in `state`.
// The number of dashes drawn.
int DashSegment(int x0, int y0, int x1, int y1, DashState& state, DashSink& sink);

// A closed outline, segment by segment, the phase running on; the dashes
// drawn.
int DashOutline(const OutlinePoint* points, int count, DashState& state, DashSink& sink);

// One animation step of an area: its phase grows by 4; past 16 it drops by
// 16 and the starting pen swaps.
void AdvanceMarch(double& phase, int& startPen);

}  // namespace qs

namespace qs {

// Drawing on a Windows device context (Windows builds only). The editing
// polygon: a dotted black pen of width 2 that inverts the screen, so that
// drawing it twice removes it.
void DrawEditingOutline(std::intptr_t dc, const OutlinePoint* points, int count);
// A hot area's resting outline: a dotted pen of width 1 in `rgb`.
void DrawRestingOutline(std::intptr_t dc, const OutlinePoint* points, int count, std::uint32_t rgb);
// One marching step: solid pens of width 2 in `rgb` and in its inverse,
// alternating along the closed outline from `state`.
int DrawMarchingOutline(std::intptr_t dc, const OutlinePoint* points, int count, std::uint32_t rgb,
                        DashState& state);

}  // namespace qs
