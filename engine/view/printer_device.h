// The device of a printed or previewed page: a window device without a
// window over a printer's (or a preview's) drawing context. While a
// context is selected the device's size is the page body; the margins and
// the header and footer bands around it are the device's, and every
// drawing operation is moved by the body's origin. What the context does
// lies behind `PrintSurface`, so the page geometry runs without a system.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "view/window_device.h"

namespace qs {

class ViewWindow;

// The drawing context a printer device draws on, in the context's own
// coordinates (the margins already added). One surface serves a device for
// its life; the context under it changes with each selection.
class PrintSurface {
 public:
  virtual ~PrintSurface() = default;
  // Takes the context for drawing (transparent text background), and lets
  // go of it again.
  virtual void Attach(std::intptr_t context) { (void)context; }
  virtual void Detach() {}
  virtual std::intptr_t Context() const { return 0; }
  // A font of `size` hundredths of a point at `dpiY` dots per inch, or null
  // when none can be made.
  virtual Font* MakeFont(const char* face, std::uint16_t size, bool italic, bool bold, int dpiY) = 0;
  virtual void SelectFont(Font* font) { (void)font; }
  // The colour of lines and text.
  virtual void SelectColor(DeviceColor* color) { (void)color; }
  virtual void TextColor(DeviceColor* color) { (void)color; }
  virtual void DrawLine(int x1, int y1, int x2, int y2) { (void)x1, (void)y1, (void)x2, (void)y2; }
  virtual void FrameRect(int l, int t, int r, int b) { (void)l, (void)t, (void)r, (void)b; }
  virtual void InvertRect(int l, int t, int r, int b) { (void)l, (void)t, (void)r, (void)b; }
  virtual void XorFrameRect(int l, int t, int r, int b) { (void)l, (void)t, (void)r, (void)b; }
  virtual void DrawFocusRect(int l, int t, int r, int b) { (void)l, (void)t, (void)r, (void)b; }
  virtual void FillRect(int l, int t, int r, int b, DeviceColor* color) {
    (void)l, (void)t, (void)r, (void)b, (void)color;
  }
  // Text with its top at `top`.
  virtual void Text8(int x, int top, const char* text, std::size_t length) {
    (void)x, (void)top, (void)text, (void)length;
  }
  virtual void Text16(int x, int top, const std::uint16_t* text, std::size_t count) {
    (void)x, (void)top, (void)text, (void)count;
  }
  // The engine's icon `index` stretched to width x height at (x, y); a
  // context that can stretch no bitmap gets the icon's outline and both
  // diagonals instead.
  virtual void Icon(int index, int x, int y, int width, int height) {
    (void)index, (void)x, (void)y, (void)width, (void)height;
  }
  // An icon's stored size (0 x 0 for none).
  virtual void IconSize(int index, int* width, int* height) {
    (void)index;
    *width = *height = 0;
  }
  // A logical point of the context in device units.
  virtual void LogicalToDevice(int* x, int* y) { (void)x, (void)y; }
  // A rectangular clip region in device units, selected; the token is
  // handed back to select it again and to delete it.
  virtual std::intptr_t MakeClip(int l, int t, int r, int b) { (void)l, (void)t, (void)r, (void)b; return 1; }
  virtual void SelectClip(std::intptr_t clip) { (void)clip; }
  virtual void DeleteClip(std::intptr_t clip) { (void)clip; }
  // The whole page becomes the clip again.
  virtual void ClipToPage(int width, int height) { (void)width, (void)height; }
};

class PrinterDevice : public WindowDevice {
 public:
  static constexpr int kClipSlots = 7;

  // A page of `width` x `height` pixels at (dpiX, dpiY); the device owns
  // `surface`.
  PrinterDevice(PrintSurface* surface, int width, int height, int dpiX, int dpiY);

  // Selects `context` for `view`: the margins (from the sheet's four, or
  // the defaults for null), the header and footer bands, the size reduced
  // to the body; `view` becomes the current view.
  void PreparePage(ViewWindow* view, std::intptr_t context, const std::int32_t* sheetMargins);
  // Undoes PreparePage: the previous view, the whole page, no context.
  void EndPage();
  bool Selected() const { return selected_; }
  PrintSurface* surface() const { return surface_.get(); }
  // Destroys the device (its fonts and any clip regions left).
  void Destroy() { delete this; }

  Font* GetFont(const char* face, std::uint16_t size, bool italic, bool bold) override;
  void SelectFont(Font* font) override;
  void SelectColor(DeviceColor* color) override;
  void BeginDraw() override { OutputDevice::BeginDraw(); }
  void EndDraw() override { OutputDevice::EndDraw(); }
  // Paper has no scroll bars.
  void ShowVertScrollBar() override {}
  void SetVertScroll(int, int, int) override {}
  void HideVertScrollBar() override {}
  void ShowHorzScrollBar() override {}
  void SetHorzScroll(int, int, int) override {}
  void HideHorzScrollBar() override {}
  void DrawLine(int x1, int y1, int x2, int y2) override;
  void FrameRect(int l, int t, int r, int b) override;
  void InvertRect(int l, int t, int r, int b) override;
  void XorFrameRect(int l, int t, int r, int b) override;
  void DrawFocusRect(int x1, int y1, int x2, int y2) override;
  void FillRect(int l, int t, int r, int b, DeviceColor* color) override;
  void FillBackground(int l, int t, int r, int b) override;
  void DrawText(int x, int y, const char* text, std::size_t length) override;
  void DrawTextW(int x, int y, const std::uint16_t* text, std::size_t count) override;
  void DrawIcon(int index, int x, int y, int look) override;
  void DrawRenderer(GraphicRenderer* renderer, int x, int y, int highlight) override;
  void PushClip(int l, int t, int r, int b) override;
  void PopClip() override;
  int GetOriginX() override { return left_; }
  int GetOriginY() override { return topBand_; }
  int DrawPageText(int id, const char* text) override;
  std::intptr_t NativeContext() override { return surface_->Context(); }

  int LeftMargin() const { return left_; }
  int RightMargin() const { return right_; }
  int TopBand() const { return topBand_; }
  int BottomBand() const { return bottomBand_; }
  int TopMargin() const { return topMargin_; }
  int BottomMargin() const { return bottomMargin_; }
  int ClipDepth() const { return clipDepth_; }
  Font* HeaderFont() const { return headerFont_; }
  Font* FooterFont() const { return footerFont_; }

 protected:
  ~PrinterDevice() override;

 private:
  template <class Draw>
  void WithShadow(int x, int y, Draw draw);
  void DropFonts();

  class Fonts : public FontTable {
   public:
    explicit Fonts(PrinterDevice* owner) : owner_(owner) {}
    FontEntry* MakeEntry(const char* face, std::uint16_t size, bool italic, bool bold) override;

   private:
    PrinterDevice* owner_;
  };

  // Before the fonts, so it outlives them.
  std::unique_ptr<PrintSurface> surface_;
  Fonts fonts_;
  // The whole page, in pixels.
  int pageWidth_, pageHeight_;
  std::int16_t savedWidth_ = 0, savedHeight_ = 0;
  Font* headerFont_ = nullptr;
  Font* footerFont_ = nullptr;
  int left_ = 0, topBand_ = 0, right_ = 0, bottomBand_ = 0;
  int topMargin_ = 0, bottomMargin_ = 0;
  int clipDepth_ = 0;
  // Pushes past the last slot: not recorded, and their pops not acted on,
  // so every pop still matches its push.
  int clipOverflow_ = 0;
  std::intptr_t clips_[kClipSlots + 1] = {};
  bool selected_ = false;
};

// A font with the fallback metrics of a printer font that could not be
// made: ascent 12, descent 4, and no face to draw with.
class MissingPrinterFont : public Font {
 public:
  MissingPrinterFont(const char* face, std::uint16_t size, bool italic, bool bold)
      : Font(face, size, italic, bold) {
    ascent = 12;
    descent = 4;
  }

 protected:
  int Extent8(const char*, std::size_t length) override { return static_cast<int>(length) * 8; }
  int Extent16(const std::uint16_t*, std::size_t count) override { return static_cast<int>(count) * 8; }
};

// The system's surface (natively one that draws nothing).
PrintSurface* NewPlatformPrintSurface();

}  // namespace qs
