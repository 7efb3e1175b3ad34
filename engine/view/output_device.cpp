#include "view/output_device.h"

#include "view/graphic_object.h"

#include "foundation/engine.h"
#include "foundation/utf8.h"
#include "style/text_format.h"

namespace qs {

namespace {

struct ScreenDpi {
  int x = 72, y = 72;
};
ScreenDpi& Screen() {
  static ScreenDpi dpi;
  return dpi;
}

}  // namespace

bool IsPlainAscii(const char* text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i)
    if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
  return true;
}

std::size_t Utf8ToUtf16(const char* text, std::size_t length, std::uint16_t* out,
                        std::size_t room) {
  const char* p = text;
  const char* end = text + length;
  std::size_t n = 0;
  while (p < end) {
    char32_t c = DecodeUtf8(p, end);
    if (c >= 0x10000 && c <= 0x10FFFF) {
      if (n + 2 > room) break;
      c -= 0x10000;
      out[n++] = static_cast<std::uint16_t>(0xD800 + (c >> 10));
      out[n++] = static_cast<std::uint16_t>(0xDC00 + (c & 0x3FF));
    } else {
      if (n + 1 > room) break;
      out[n++] = static_cast<std::uint16_t>(c > 0xFFFF ? 0xFFFD : c);
    }
  }
  return n;
}

int Font::MeasureA(const char* text, std::size_t length) {
  if (!text || length == 0) return 0;
  if (IsPlainAscii(text, length)) return Extent8(text, length);
  // Never more UTF-16 units than bytes.
  auto* wide = static_cast<std::uint16_t*>(MemAlloc(length * sizeof(std::uint16_t)));
  if (!wide) return 0;
  const int width = Extent16(wide, Utf8ToUtf16(text, length, wide, length));
  MemFree(wide);
  return width;
}

int GetScreenDpiX() { return Screen().x; }
int GetScreenDpiY() { return Screen().y; }
void SetScreenDpi(int x, int y) {
  if (x > 0) Screen().x = x;
  if (y > 0) Screen().y = y;
}

// ---- OutputDevice ----------------------------------------------------------------------

OutputDevice::OutputDevice() = default;

OutputDevice::~OutputDevice() {
  if (view) view->OnDeviceClosed();
  view = nullptr;
  for (OwnedNode* n = renderers.First(); n; n = n->Next()) static_cast<GraphicRenderer*>(n)->OwnerGone();
  renderers.Clear();
}

void OutputDevice::BeginDraw() {
  font = nullptr;
  color = nullptr;
  shadowOffset = 0;
  shadowColor = nullptr;
  pendingWidth = width;
  pendingHeight = height;
}

void OutputDevice::EndDraw() {
  if (pendingWidth != width || pendingHeight != height) {
    width = pendingWidth;
    height = pendingHeight;
    if (view) view->OnSize();
  }
}

void OutputDevice::OnDestroy() {
  if (view) view->OnDeviceClosed();
  view = nullptr;
  delete this;
}

Font* OutputDevice::GetFont(const char*, std::uint16_t, bool, bool) { return nullptr; }

DeviceColor* OutputDevice::GetColor(const char* name) {
  EngineBase* engine = GetEngine();
  if (!engine || !engine->colours) return nullptr;
  return engine->colours->LookupOrAdd(name);
}

void OutputDevice::DrawChangeBar(int top, int bottom) {
  SetColor(GetInkColor());
  DrawLine(3, top, 3, bottom);
}

void OutputDevice::DrawRenderer(GraphicRenderer* renderer, int x, int y, int highlight) {
  if (renderer) renderer->Draw(this, x, y, highlight);
}

void OutputDevice::TileImage(void* image) {
  auto* graphic = static_cast<GraphicObject*>(image);
  // Masked parts of the tile show the window's own background.
  FillBackground(0, 0, width, height);
  if (!graphic || graphic->width <= 0 || graphic->height <= 0) return;
  ImageRenderer* tile = graphic->MakeScreenRenderer(this);
  if (!tile) return;
  for (int y = 0; y < height; y += graphic->height)
    for (int x = 0; x < width; x += graphic->width) DrawRenderer(tile, x, y, 0);
  delete tile;
}

void OutputDevice::MoveRenderer(GraphicRenderer* renderer, int x, int y) {
  if (renderer) renderer->Move(x, y);
}

void OutputDevice::DrawRendererStretched(GraphicRenderer* renderer, int x, int y, int w, int h) {
  if (renderer) renderer->DrawStretched(this, x, y, w, h);
}

void OutputDevice::UseFont(Font* f) {
  if (f != font) {
    font = f;
    SelectFont(f);
  }
  shadowOffset = 0;
  shadowColor = nullptr;
}

void OutputDevice::UseTextStyle(TextFormat* format) {
  if (!format) return;
  UseFont(format->GetFont());
  shadowOffset = format->shadow;
  if (shadowOffset) shadowColor = format->ResolveShadowColor();
}

void OutputDevice::SetColor(DeviceColor* c) {
  if (c != color) {
    color = c;
    SelectColor(c);
  }
}

DeviceColor* OutputDevice::GetStockColor(int index) {
  static const char* const kNames[3] = {"white", "lightgray", "black"};
  if (index < 0 || index > 2) return nullptr;
  if (!stockColors[index]) stockColors[index] = GetColor(kNames[index]);
  return stockColors[index];
}

int OutputDevice::ScaleToScreenX(int value) const { return value * dpiX / GetScreenDpiX(); }
int OutputDevice::ScaleToScreenY(int value) const { return value * dpiY / GetScreenDpiY(); }

void OutputDevice::AttachRenderer(GraphicRenderer* renderer) {
  if (!renderer) return;
  renderers.Append(renderer);
  AddPalette(renderer);
  if (view) view->OnRendererAttached(renderer);
}

void OutputDevice::DetachRenderer(GraphicRenderer* renderer) {
  if (!renderer) return;
  if (renderer->Owner() == &renderers) renderer->Remove();
  RemovePalette(renderer);
  if (view) view->OnRendererDetached(renderer);
}

void OutputDevice::DetachView() {
  if (!view) return;
  view->OnDeviceClosed();
  view = nullptr;
  HideVertScrollBar();
  HideHorzScrollBar();
  Invalidate();
}

// ---- ViewWindow ------------------------------------------------------------------------

ViewWindow::ViewWindow(OutputDevice* device) : device_(device) {
  if (device_) device_->view = this;
}

ViewWindow::~ViewWindow() {
  if (device_ && device_->view == this) device_->view = nullptr;
}

}  // namespace qs
