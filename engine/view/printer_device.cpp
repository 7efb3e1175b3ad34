#include "view/printer_device.h"

#include <algorithm>
#include <cstring>

#include "foundation/engine.h"
#include "foundation/engine_services.h"
#include "view/current_view.h"
#include "view/graphic_object.h"
#include "view/print_margins.h"

namespace qs {

namespace {

constexpr int kErrCantLoadFont = 43;

// A logical coordinate of the page clamped into the device's pixels.
int Clamp(int value, int limit) { return std::clamp(value, 0, limit); }

std::int16_t Short(int value) { return static_cast<std::int16_t>(std::clamp(value, 0, 32767)); }

}  // namespace

PrinterDevice::PrinterDevice(PrintSurface* surface, int width, int height, int dpiX, int dpiY)
    : WindowDevice(0, 0), surface_(surface), fonts_(this), pageWidth_(width), pageHeight_(height) {
  this->width = pendingWidth = Short(width);
  this->height = pendingHeight = Short(height);
  this->dpiX = static_cast<std::int16_t>(std::clamp(dpiX, 1, 32767));
  this->dpiY = static_cast<std::int16_t>(std::clamp(dpiY, 1, 32767));
}

PrinterDevice::~PrinterDevice() {
  DropFonts();
  for (int i = 1; i <= clipDepth_; ++i) surface_->DeleteClip(clips_[i]);
  clipDepth_ = 0;
}

void PrinterDevice::DropFonts() {
  if (headerFont_) headerFont_->DropUse();
  if (footerFont_) footerFont_->DropUse();
  headerFont_ = footerFont_ = nullptr;
}

FontEntry* PrinterDevice::Fonts::MakeEntry(const char* face, std::uint16_t size, bool italic,
                                           bool bold) {
  if (Font* made = owner_->surface_->MakeFont(face, size, italic, bold, owner_->dpiY)) return made;
  ReportEngineError(kErrCantLoadFont);
  return new MissingPrinterFont(face ? face : "", size, italic, bold);
}

Font* PrinterDevice::GetFont(const char* face, std::uint16_t size, bool italic, bool bold) {
  return static_cast<Font*>(fonts_.LookupOrAdd(face, size, italic, bold));
}

void PrinterDevice::SelectFont(Font* f) {
  if (f && !dynamic_cast<MissingPrinterFont*>(f)) surface_->SelectFont(f);
}

void PrinterDevice::SelectColor(DeviceColor* c) { surface_->SelectColor(c); }

void PrinterDevice::PreparePage(ViewWindow* attached, std::intptr_t context,
                                const std::int32_t* sheetMargins) {
  surface_->Attach(context);
  selected_ = true;
  ++paintDepth;
  OutputDevice::BeginDraw();
  PushCurrentView(attached, false);
  savedWidth_ = width;
  savedHeight_ = height;

  EngineBase* engine = GetEngine();
  const auto size = static_cast<std::uint16_t>(
      std::clamp<std::int32_t>(engine ? engine->defaultFontSize : 900, 1, 65535));
  DropFonts();
  headerFont_ = GetFont("Times New Roman", size, true, false);
  footerFont_ = GetFont("Times New Roman", size, false, false);

  const PageMargins m = ComputePageMargins(pageWidth_, pageHeight_, dpiX, dpiY, sheetMargins);
  left_ = m.left;
  right_ = m.right;
  topMargin_ = m.top;
  bottomMargin_ = m.bottom;
  topBand_ = 3 * (headerFont_ ? headerFont_->Height() : 0) + topMargin_;
  bottomBand_ = 3 * (footerFont_ ? footerFont_->Height() : 0) + bottomMargin_;
  // A body the bands leave no room for is an empty one: the paged view
  // then ends the run, it is never a negative size.
  width = Short(pageWidth_ - left_ - right_);
  height = Short(pageHeight_ - topBand_ - bottomBand_);
  pendingWidth = width;
  pendingHeight = height;
}

void PrinterDevice::EndPage() {
  if (!selected_) return;
  PopCurrentView();
  // The page's own size back, whatever the body came to.
  width = pendingWidth = savedWidth_;
  height = pendingHeight = savedHeight_;
  surface_->Detach();
  selected_ = false;
  --paintDepth;
  OutputDevice::EndDraw();
}

void PrinterDevice::DrawLine(int x1, int y1, int x2, int y2) {
  surface_->DrawLine(x1 + left_, y1 + topBand_, x2 + left_, y2 + topBand_);
}
void PrinterDevice::FrameRect(int l, int t, int r, int b) {
  surface_->FrameRect(l + left_, t + topBand_, r + left_, b + topBand_);
}
void PrinterDevice::InvertRect(int l, int t, int r, int b) {
  surface_->InvertRect(l + left_, t + topBand_, r + left_, b + topBand_);
}
void PrinterDevice::XorFrameRect(int l, int t, int r, int b) {
  surface_->XorFrameRect(l + left_, t + topBand_, r + left_, b + topBand_);
}
void PrinterDevice::DrawFocusRect(int x1, int y1, int x2, int y2) {
  if (x1 == x2 || y1 == y2) return;
  surface_->DrawFocusRect(std::min(x1, x2) + left_, std::min(y1, y2) + topBand_,
                          std::max(x1, x2) + left_, std::max(y1, y2) + topBand_);
}
void PrinterDevice::FillRect(int l, int t, int r, int b, DeviceColor* c) {
  surface_->FillRect(l + left_, t + topBand_, r + left_, b + topBand_, c);
}
void PrinterDevice::FillBackground(int l, int t, int r, int b) {
  FillRect(l, t, r, b, GetStockColor(inverse ? 2 : 0));
}

template <class Draw>
void PrinterDevice::WithShadow(int x, int y, Draw draw) {
  const int ascent = font ? font->ascent : 0;
  x += left_;
  y += topBand_;
  if (shadowOffset && font) {
    const int h = font->Height();
    const int dx = ((shadowOffset >> 4) - 8) * h / 56;
    const int dy = ((shadowOffset & 15) - 8) * h / 56;
    surface_->TextColor(shadowColor);
    draw(x + dx, y - ascent + dy);
    surface_->TextColor(color);
  }
  draw(x, y - ascent);
}

void PrinterDevice::DrawText(int x, int y, const char* text, std::size_t length) {
  if (!text || length == 0) return;
  if (IsPlainAscii(text, length)) {
    WithShadow(x, y, [&](int px, int py) { surface_->Text8(px, py, text, length); });
    return;
  }
  // Never more UTF-16 units than bytes.
  std::uint16_t small[256];
  std::uint16_t* wide = length <= 256 ? small : new std::uint16_t[length];
  const std::size_t count = Utf8ToUtf16(text, length, wide, length);
  DrawTextW(x, y, wide, count);
  if (wide != small) delete[] wide;
}

void PrinterDevice::DrawTextW(int x, int y, const std::uint16_t* text, std::size_t count) {
  if (!text || count == 0) return;
  WithShadow(x, y, [&](int px, int py) { surface_->Text16(px, py, text, count); });
}

void PrinterDevice::DrawIcon(int index, int x, int y, int) {
  if (index < 0 || index >= kIconCount) return;
  int w = 0, h = 0;
  surface_->IconSize(index, &w, &h);
  if (w <= 0 || h <= 0) return;
  surface_->Icon(index, x + left_, y + topBand_, w * dpiX / GetScreenDpiX(), h * dpiY / GetScreenDpiY());
}

void PrinterDevice::DrawRenderer(GraphicRenderer* renderer, int x, int y, int highlight) {
  if (!renderer) return;
  // A picture prints itself at the page's point; anything else draws
  // through this device, which moves it.
  if (auto* image = dynamic_cast<ImageRenderer*>(renderer))
    image->Print(this, x + left_, y + topBand_);
  else
    renderer->Draw(this, x, y, highlight);
}

void PrinterDevice::PushClip(int l, int t, int r, int b) {
  if (clipDepth_ >= kClipSlots) {
    ++clipOverflow_;
    return;
  }
  int x1 = l + left_, y1 = t + topBand_, x2 = r + left_, y2 = b + topBand_;
  surface_->LogicalToDevice(&x1, &y1);
  surface_->LogicalToDevice(&x2, &y2);
  x1 = Clamp(x1, pageWidth_), x2 = Clamp(x2, pageWidth_);
  y1 = Clamp(y1, pageHeight_), y2 = Clamp(y2, pageHeight_);
  clips_[++clipDepth_] = surface_->MakeClip(x1 - 1, y1 - 1, x2 + 2, y2 + 2);
  surface_->SelectClip(clips_[clipDepth_]);
}

void PrinterDevice::PopClip() {
  if (clipOverflow_ > 0) {
    --clipOverflow_;
    return;
  }
  if (clipDepth_ == 0) return;
  surface_->DeleteClip(clips_[clipDepth_]);
  clips_[clipDepth_--] = 0;
  if (clipDepth_ == 0)
    surface_->ClipToPage(pageWidth_, pageHeight_);
  else
    surface_->SelectClip(clips_[clipDepth_]);
}

int PrinterDevice::DrawPageText(int id, const char* text) {
  OutputDevice::DrawPageText(id, text);
  if (!headerFont_ || !footerFont_ || id < 9 || id > 14 || !text) return 0;
  const bool header = id <= 11;
  Font* f = header ? headerFont_ : footerFont_;
  UseFont(f);
  SetColor(GetInkColor());
  const std::size_t length = std::strlen(text);
  const int textWidth = f->Measure(text, length);
  int x = 0;
  switch ((id - 9) % 3) {
    case 1: x = (width - textWidth) / 2; break;
    case 2: x = width - textWidth; break;
    default: break;
  }
  const int y = header ? f->ascent + topMargin_ - topBand_
                       : bottomBand_ + height - f->descent - bottomMargin_;
  DrawText(x, y, text, length);
  return 0;
}

}  // namespace qs
