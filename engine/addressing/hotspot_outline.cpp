#include "addressing/hotspot_outline.h"

#include <cmath>

namespace qs {

namespace {

std::int16_t Cut16(long value) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(value)); }

}  // namespace

int PlaceOutline(const HotspotArea& area, const std::int16_t* points, int count,
                 const OutlineFrame& frame, OutlinePoint* out) {
  if (count < 3) return 0;
  if (count > kMaxOutlinePoints) count = kMaxOutlinePoints;
  long x0 = Cut16(frame.x + long(area.x) * frame.width / kHotspotUnits);
  long y0 = Cut16(frame.y + long(area.y) * frame.height / kHotspotUnits);
  long w = Cut16(long(area.width) * frame.width / kHotspotUnits);
  long h = Cut16(long(area.height) * frame.height / kHotspotUnits);
  for (int i = 0; i < count; ++i) {
    out[i].x = Cut16(x0 + long(points[2 * i]) * w / kHotspotUnits);
    out[i].y = Cut16(y0 + long(points[2 * i + 1]) * h / kHotspotUnits);
  }
  out[count] = out[0];
  return count + 1;
}

double NewtonLength(double dx, double dy) {
  double square = dx * dx + dy * dy;
  if (square <= 0) return 0;
  double estimate = 250.0;
  // Each step at least halves the error once past the root, so a few dozen
  // steps reach any length a 16-bit outline has.
  for (int i = 0; i < 200; ++i) {
    double next = (estimate + square / estimate) / 2;
    bool close = std::fabs(next - estimate) <= 0.9;
    estimate = next;
    if (close) break;
  }
  return estimate;
}

int DashSegment(int x0, int y0, int x1, int y1, DashState& state, DashSink& sink) {
  int dx = x1 - x0, dy = y1 - y0;
  if (std::abs(dx) < 2 && std::abs(dy) < 2) return 0;
  double length = NewtonLength(dx, dy);
  if (length <= 0) return 0;
  double dash = state.phase;
  if (dash < 1) {
    dash = kDashLength;
    state.pen ^= 1;
  }
  // Stepped along the longer axis; the other follows in proportion.
  bool alongX = std::abs(dx) >= std::abs(dy);
  double major = alongX ? dx : dy;
  double minor = alongX ? dy : dx;
  double travelled = 0;  // along the major axis
  double total = std::fabs(major);
  double sign = major < 0 ? -1 : 1;
  int drawn = 0;
  for (;;) {
    double step = std::fabs(dash * major / length);
    double from = travelled;
    double to = travelled + step;
    bool last = to >= total;
    double end = last ? total : to;
    auto point = [&](double along, int* x, int* y) {
      double a = sign * along;
      double b = minor * (along / total);
      *x = x0 + static_cast<int>(std::lround(alongX ? a : b));
      *y = y0 + static_cast<int>(std::lround(alongX ? b : a));
    };
    int ax, ay, bx, by;
    point(from, &ax, &ay);
    point(end, &bx, &by);
    sink.MoveTo(ax, ay);
    sink.LineTo(bx, by, state.pen);
    ++drawn;
    if (last) {
      // What overshoots the end runs on into the next segment.
      state.phase = (to - total) * length / total;
      return drawn;
    }
    travelled = to;
    dash = kDashLength;
    state.pen ^= 1;
  }
}

int DashOutline(const OutlinePoint* points, int count, DashState& state, DashSink& sink) {
  int drawn = 0;
  for (int i = 0; i + 1 < count; ++i)
    drawn += DashSegment(points[i].x, points[i].y, points[i + 1].x, points[i + 1].y, state, sink);
  return drawn;
}

void AdvanceMarch(double& phase, int& startPen) {
  phase += 4;
  if (phase > kDashLength) {
    phase -= kDashLength;
    startPen ^= 1;
  }
}

}  // namespace qs
