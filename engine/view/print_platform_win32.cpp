// GDI under the printer device and the page loop: drawing on a printer's
// or a preview's device context, the document calls, and the modeless
// "DlgPrnAbort" dialog with its abort procedure.
#include <windows.h>

#include <cstring>

#include "foundation/engine.h"
#include "foundation/module.h"
#include "view/print_job.h"
#include "view/printer_device.h"
#include "view/window_gdi.h"

namespace qs {

namespace {

COLORREF Rgb(const DeviceColor* c) { return c ? RGB(c->red, c->green, c->blue) : RGB(0, 0, 0); }

class GdiPrintSurface : public PrintSurface {
 public:
  ~GdiPrintSurface() override { Detach(); }

  void Attach(std::intptr_t context) override {
    Detach();
    // Another context, or this one as the host may have set it up anew:
    // the fonts' kept widths no longer hold.
    ++contextChanges_;
    dc_ = reinterpret_cast<HDC>(context);
    if (!dc_) return;
    // The host's context goes back as it came: font, pen, clip, modes.
    saved_ = SaveDC(dc_);
    SetBkMode(dc_, TRANSPARENT);
    drawFont_ = selected_ = GetCurrentObject(dc_, OBJ_FONT);
  }
  void Detach() override {
    if (!dc_) return;
    if (saved_) RestoreDC(dc_, saved_);
    saved_ = 0;
    if (pen_) DeleteObject(pen_);
    pen_ = nullptr;
    dc_ = nullptr;
    drawFont_ = selected_ = nullptr;
    ++contextChanges_;
  }
  // Pictures draw through the context: with the drawing font, as text.
  // What they do to it is theirs, so measurements start again after.
  std::intptr_t Context() const override {
    ++contextChanges_;
    PutBackDrawFont();
    selected_ = nullptr;
    return reinterpret_cast<std::intptr_t>(dc_);
  }

  Font* MakeFont(const char* face, std::uint16_t size, bool italic, bool bold, int dpiY) override {
    // The face as the sheet names it: the printer's driver maps what it
    // lacks itself.
    LOGFONTA lf{};
    lf.lfHeight = FontHeightForSize(size, dpiY);
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = italic ? 1 : 0;
    lf.lfCharSet = DEFAULT_CHARSET;
    const bool named = face && *face && std::strcmp(face, "*") != 0;
    lstrcpynA(lf.lfFaceName, named ? face : "Arial", LF_FACESIZE);
    HFONT handle = CreateFontIndirectA(&lf);
    if (!handle) return nullptr;
    // Measured on the context and left selected there: the page's layout
    // measures word after word, mostly in one font. The context is the
    // host's only between Attach and Detach, which restores its font.
    return new GdiFont(face ? face : "", size, italic, bold, handle, [this] { return dc_; }, true,
                       &contextChanges_, &selected_);
  }
  void SelectFont(Font* f) override {
    if (!dc_ || !f) return;
    drawFont_ = static_cast<GdiFont*>(f)->Handle();
    SelectObject(dc_, drawFont_);
    selected_ = drawFont_;
  }
  void SelectColor(DeviceColor* c) override {
    if (!dc_) return;
    HPEN pen = CreatePen(PS_SOLID, 0, Rgb(c));
    if (!pen) return;
    HGDIOBJ old = SelectObject(dc_, pen);
    if (pen_ && old == pen_) DeleteObject(pen_);
    pen_ = pen;
    SetTextColor(dc_, Rgb(c));
  }
  void TextColor(DeviceColor* c) override {
    if (dc_) SetTextColor(dc_, Rgb(c));
  }
  void DrawLine(int x1, int y1, int x2, int y2) override { GdiLine(dc_, x1, y1, x2, y2); }
  void FrameRect(int l, int t, int r, int b) override { GdiFrameRect(dc_, l, t, r, b); }
  void InvertRect(int l, int t, int r, int b) override { GdiInvertRect(dc_, l, t, r, b); }
  void XorFrameRect(int l, int t, int r, int b) override { GdiXorFrameRect(dc_, l, t, r, b); }
  void DrawFocusRect(int l, int t, int r, int b) override {
    if (!dc_) return;
    RECT rc{l, t, r, b};
    ::DrawFocusRect(dc_, &rc);
  }
  void FillRect(int l, int t, int r, int b, DeviceColor* c) override {
    GdiFillRect(dc_, l, t, r, b, Rgb(c));
  }
  void Text8(int x, int top, const char* text, std::size_t length) override {
    if (!dc_) return;
    PutBackDrawFont();
    TextOutA(dc_, x, top, text, static_cast<int>(length));
  }
  void Text16(int x, int top, const std::uint16_t* text, std::size_t count) override {
    if (!dc_) return;
    PutBackDrawFont();
    TextOutW(dc_, x, top, reinterpret_cast<const wchar_t*>(text), static_cast<int>(count));
  }
  void IconSize(int index, int* width, int* height) override {
    *width = *height = 0;
    BITMAP info{};
    HBITMAP bitmap = EngineIconBitmap(index);
    if (bitmap && GetObject(bitmap, sizeof info, &info)) {
      // Two states side by side, two layers one above the other.
      *width = info.bmWidth / 2;
      *height = info.bmHeight / 2;
    }
  }
  void Icon(int index, int x, int y, int w, int h) override {
    if (!dc_) return;
    HBITMAP bitmap = EngineIconBitmap(index);
    BITMAP info{};
    if (!bitmap || !GetObject(bitmap, sizeof info, &info)) return;
    const int sw = info.bmWidth / 2, sh = info.bmHeight / 2;
    const int oldMode = SetStretchBltMode(dc_, COLORONCOLOR);
    const int caps = GetDeviceCaps(dc_, RASTERCAPS);
    if (caps & RC_STRETCHBLT) {
      HDC memory = CreateCompatibleDC(dc_);
      if (memory) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        StretchBlt(dc_, x, y, w, h, memory, 0, sh, sw, sh, SRCPAINT);
        StretchBlt(dc_, x, y, w, h, memory, 0, 0, sw, sh, SRCAND);
        SelectObject(memory, old);
        DeleteDC(memory);
      }
    } else if ((caps & RC_STRETCHDIB) && (caps & RC_DIBTODEV)) {
      StretchAsDib(bitmap, info, x, y, w, h);
    } else {
      Placeholder(x, y, w, h);
    }
    SetStretchBltMode(dc_, oldMode);
  }
  void LogicalToDevice(int* x, int* y) override {
    if (!dc_) return;
    POINT p{*x, *y};
    LPtoDP(dc_, &p, 1);
    *x = p.x, *y = p.y;
  }
  std::intptr_t MakeClip(int l, int t, int r, int b) override {
    return reinterpret_cast<std::intptr_t>(CreateRectRgn(l, t, r, b));
  }
  void SelectClip(std::intptr_t clip) override {
    if (dc_ && clip) SelectClipRgn(dc_, reinterpret_cast<HRGN>(clip));
  }
  void DeleteClip(std::intptr_t clip) override {
    if (clip) DeleteObject(reinterpret_cast<HRGN>(clip));
  }
  void ClipToPage(int width, int height) override {
    if (!dc_) return;
    HRGN whole = CreateRectRgn(0, 0, width, height);
    if (!whole) return;
    SelectClipRgn(dc_, whole);
    DeleteObject(whole);
  }

 private:
  // The icon's upper state fetched as a device-independent bitmap through
  // the screen, stretched onto the page.
  void StretchAsDib(HBITMAP bitmap, const BITMAP& info, int x, int y, int w, int h) {
    struct {
      BITMAPINFOHEADER header;
      RGBQUAD colours[256];
    } dib{};
    dib.header.biSize = sizeof dib.header;
    dib.header.biWidth = info.bmWidth;
    dib.header.biHeight = info.bmHeight;
    dib.header.biPlanes = 1;
    dib.header.biBitCount = static_cast<WORD>(info.bmPlanes * info.bmBitsPixel);
    dib.header.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    if (!screen) return;
    GetDIBits(screen, bitmap, 0, info.bmHeight, nullptr, reinterpret_cast<BITMAPINFO*>(&dib),
              DIB_RGB_COLORS);
    const DWORD size = dib.header.biSizeImage ? dib.header.biSizeImage
                                              : ((info.bmWidth * dib.header.biBitCount + 31) / 32) * 4 *
                                                    info.bmHeight;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    void* bits = block ? GlobalLock(block) : nullptr;
    if (bits && GetDIBits(screen, bitmap, 0, info.bmHeight, bits, reinterpret_cast<BITMAPINFO*>(&dib),
                          DIB_RGB_COLORS)) {
      // Rows run bottom up: the upper layer's left state is the top half.
      StretchDIBits(dc_, x, y, w, h, 0, info.bmHeight / 2, info.bmWidth / 2, info.bmHeight / 2, bits,
                    reinterpret_cast<BITMAPINFO*>(&dib), DIB_RGB_COLORS, SRCCOPY);
    }
    if (bits) GlobalUnlock(block);
    if (block) GlobalFree(block);
    ReleaseDC(nullptr, screen);
  }
  void Placeholder(int x, int y, int w, int h) {
    FrameRect(x, y, x + w, y + h);
    DrawLine(x, y, x + w, y + h);
    DrawLine(x + w, y, x, y + h);
  }
  // A measurement may have left another font selected.
  void PutBackDrawFont() const {
    if (!dc_ || !drawFont_ || selected_ == drawFont_) return;
    if (GetCurrentObject(dc_, OBJ_FONT) != drawFont_) SelectObject(dc_, drawFont_);
    selected_ = drawFont_;
  }

  HDC dc_ = nullptr;
  // Counts the times the context may have changed under the fonts.
  mutable std::uint32_t contextChanges_ = 0;
  // The font dc_ has selected as far as this surface knows (it and the
  // fonts it made are the only ones that select fonts there between
  // Attach and Detach); null when it does not.
  mutable HGDIOBJ selected_ = nullptr;
  int saved_ = 0;
  HPEN pen_ = nullptr;
  // The font text is drawn with: the last one selected for drawing, else
  // the host's.
  HGDIOBJ drawFont_ = nullptr;
};

// ---- The print run's dialog: one run at a time ------------------------------------

int g_running = 0;
HWND g_abortDialog = nullptr;

BOOL CALLBACK AbortProc(HDC, int) {
  MSG msg;
  while (g_running && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Not ours to take: the host's loop gets it back.
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (!g_abortDialog || !IsDialogMessageA(g_abortDialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  return g_running;
}

INT_PTR CALLBACK AbortDialogProc(HWND, UINT message, WPARAM, LPARAM) {
  if (message == WM_COMMAND) {
    g_running = 0;
    return TRUE;
  }
  return FALSE;
}

class GdiSpooler : public PrintSpooler {
 public:
  explicit GdiSpooler(HDC dc) : dc_(dc) {}

  void ShowAbortDialog(WindowHandle owner) override {
    g_running = 1;
    SetAbortProc(dc_, AbortProc);
    const auto parent = reinterpret_cast<HWND>(owner);
    HINSTANCE host = nullptr;
    if (EngineBase* engine = GetEngine())
      if (Engine* e = engine->AsHosted()) host = reinterpret_cast<HINSTANCE>(e->hostInstance());
    auto library = reinterpret_cast<HINSTANCE>(GetResourceInstance());
    g_abortDialog = host ? CreateDialogParamA(host, "DlgPrnAbort", parent, AbortDialogProc, 0) : nullptr;
    if (!g_abortDialog && library && library != host)
      g_abortDialog = CreateDialogParamA(library, "DlgPrnAbort", parent, AbortDialogProc, 0);
    if (parent) EnableWindow(parent, FALSE);
  }
  std::string ItemText(int id) override {
    char text[100] = "";
    if (g_abortDialog) GetDlgItemTextA(g_abortDialog, id, text, sizeof text);
    return text;
  }
  void SetItemText(int id, const char* text) override {
    if (g_abortDialog) SetDlgItemTextA(g_abortDialog, id, text ? text : "");
  }
  int StartDocument(const char* name, const char* output) override {
    DOCINFOA info{};
    info.cbSize = sizeof info;
    info.lpszDocName = name;
    info.lpszOutput = output && *output ? output : nullptr;
    info.lpszDatatype = "SGML Document";
    return StartDocA(dc_, &info);
  }
  int StartPage() override { return ::StartPage(dc_); }
  int EndPage() override { return ::EndPage(dc_); }
  void AbortDocument() override { AbortDoc(dc_); }
  int EndDocument() override { return EndDoc(dc_); }
  bool Running() override { return AbortProc(dc_, 0) != 0; }
  bool Cancelled() const override { return g_running == 0; }
  void CloseAbortDialog(WindowHandle owner) override {
    if (owner) EnableWindow(reinterpret_cast<HWND>(owner), TRUE);
    if (g_abortDialog) DestroyWindow(g_abortDialog);
    g_abortDialog = nullptr;
  }

 private:
  HDC dc_;
};

}  // namespace

PrintSurface* NewPlatformPrintSurface() { return new GdiPrintSurface; }

PrintSpooler* NewPlatformSpooler(std::intptr_t context) {
  return new GdiSpooler(reinterpret_cast<HDC>(context));
}

bool PrinterContextSize(std::intptr_t context, int* width, int* height, int* dpiX, int* dpiY) {
  HDC dc = reinterpret_cast<HDC>(context);
  if (!dc) return false;
  *width = GetDeviceCaps(dc, HORZRES);
  *height = GetDeviceCaps(dc, VERTRES);
  *dpiX = GetDeviceCaps(dc, LOGPIXELSX);
  *dpiY = GetDeviceCaps(dc, LOGPIXELSY);
  return *width > 0 && *height > 0 && *dpiX > 0 && *dpiY > 0;
}

void DeletePrinterContext(std::intptr_t context) {
  if (context) DeleteDC(reinterpret_cast<HDC>(context));
}

}  // namespace qs
