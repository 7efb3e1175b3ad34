// Hotspot outlines on a Windows device context.
#include <windows.h>

#include "addressing/hotspot_outline.h"

namespace qs {

namespace {

class GdiDashSink : public DashSink {
 public:
  GdiDashSink(HDC dc, HPEN pen0, HPEN pen1) : dc_(dc), pens_{pen0, pen1} {}
  void MoveTo(int x, int y) override { MoveToEx(dc_, x, y, nullptr); }
  void LineTo(int x, int y, int pen) override {
    SelectObject(dc_, pens_[pen & 1]);
    ::LineTo(dc_, x, y);
  }

 private:
  HDC dc_;
  HPEN pens_[2];
};

void Polyline(HDC dc, const OutlinePoint* points, int count) {
  if (count < 2) return;
  MoveToEx(dc, points[0].x, points[0].y, nullptr);
  for (int i = 1; i < count; ++i) ::LineTo(dc, points[i].x, points[i].y);
}

}  // namespace

void DrawEditingOutline(std::intptr_t handle, const OutlinePoint* points, int count) {
  HDC dc = reinterpret_cast<HDC>(handle);
  HPEN pen = CreatePen(PS_DOT, 2, RGB(0, 0, 0));
  HGDIOBJ old = SelectObject(dc, pen);
  int mode = SetROP2(dc, R2_NOT);
  Polyline(dc, points, count);
  SetROP2(dc, mode);
  SelectObject(dc, old);
  DeleteObject(pen);
}

void DrawRestingOutline(std::intptr_t handle, const OutlinePoint* points, int count,
                        std::uint32_t rgb) {
  HDC dc = reinterpret_cast<HDC>(handle);
  HPEN pen = CreatePen(PS_DOT, 1, rgb);
  HGDIOBJ old = SelectObject(dc, pen);
  Polyline(dc, points, count);
  SelectObject(dc, old);
  DeleteObject(pen);
}

int DrawMarchingOutline(std::intptr_t handle, const OutlinePoint* points, int count,
                        std::uint32_t rgb, DashState& state) {
  HDC dc = reinterpret_cast<HDC>(handle);
  HPEN pen0 = CreatePen(PS_SOLID, 2, rgb);
  HPEN pen1 = CreatePen(PS_SOLID, 2, rgb ^ 0xFFFFFF);
  HGDIOBJ old = SelectObject(dc, pen0);
  GdiDashSink sink(dc, pen0, pen1);
  int drawn = DashOutline(points, count, state, sink);
  SelectObject(dc, old);
  DeleteObject(pen0);
  DeleteObject(pen1);
  return drawn;
}

}  // namespace qs
