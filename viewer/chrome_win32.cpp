// The toolbar and status bar the main window draws itself, the frame lines
// around the panes, and the borderless picture window of the splash and
// about pictures.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "viewer.h"

namespace qs::viewer {
namespace {

struct Button {
  int id;
  int x;
  bool enabled;
};

struct Chrome {
  HFONT statusFont = nullptr, messageFont = nullptr;
  HPEN black = nullptr, white = nullptr, light = nullptr, dark = nullptr;
  HBITMAP toolbar = nullptr;
  int statusHeight = 20;
  int rightWidth = 60, rightMargin = 4;
  std::vector<Button> buttons;
  int pressed = -1;
  bool pressedLook = false;
  std::string left, right;
} c;

constexpr int kButtonW = 25, kButtonH = 22;

void DrawButton(HDC dc, const Button& b, int row, int x, int y) {
  if (!c.toolbar) return;
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, c.toolbar);
  int index = static_cast<int>(&b - c.buttons.data());
  BitBlt(dc, x, y, kButtonW, kButtonH, memory, index * kButtonW, row, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
}

void RedrawButton(int index) {
  HWND main = MainWindow();
  if (!main || index < 0) return;
  const Button& b = c.buttons[index];
  HDC dc = GetDC(main);
  int row = index == c.pressed && c.pressedLook ? 22 : b.enabled ? 0 : 44;
  DrawButton(dc, b, row, b.x + 1, 4);
  ReleaseDC(main, dc);
}

int ButtonAt(int x, int y) {
  if (y < 3 || y > 25) return -1;
  for (std::size_t i = 0; i < c.buttons.size(); ++i) {
    if (x >= c.buttons[i].x && x <= c.buttons[i].x + kButtonW) return static_cast<int>(i);
  }
  return -1;
}

void ClientSize(int* w, int* h) {
  RECT r = {};
  GetClientRect(MainWindow(), &r);
  *w = r.right;
  *h = r.bottom;
}

void DrawToolbar(HDC dc, int w) {
  if (w <= 3) return;
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, w - 3, kToolbarHeight - 4);
  HGDIOBJ old = SelectObject(memory, bitmap);
  RECT r = {0, 0, w - 3, kToolbarHeight - 4};
  FillRect(memory, &r, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
  for (const Button& b : c.buttons) DrawButton(memory, b, b.enabled ? 0 : 44, b.x, 3);
  BitBlt(dc, 1, 1, w - 3, kToolbarHeight - 4, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
}

void Line(HDC dc, HPEN pen, int x1, int y1, int x2, int y2) {
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
  SelectObject(dc, old);
}

void Sunken(HDC dc, int l, int t, int r, int b) {
  Line(dc, c.dark, l, b, l, t);
  Line(dc, c.dark, l, t, r, t);
  Line(dc, c.white, r, t, r, b);
  Line(dc, c.white, r, b, l, b);
}

void DrawStatus(HDC dc, int w, int h) {
  int bw = w - 3, bh = c.statusHeight - 4;
  if (bw <= 0 || bh <= 0) return;
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, bw, bh);
  HGDIOBJ old = SelectObject(memory, bitmap);
  RECT r = {0, 0, bw, bh};
  FillRect(memory, &r, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
  Sunken(memory, 1, 0, bw - c.rightWidth - 2, bh - 1);
  Sunken(memory, bw - c.rightWidth + 3, 0, bw - 6, bh - 1);
  SetBkMode(memory, TRANSPARENT);
  HGDIOBJ oldFont = SelectObject(memory, c.statusFont);
  RECT clip = {3, 0, bw - c.rightWidth - 3, bh};
  ExtTextOutA(memory, 3, 2, ETO_CLIPPED, &clip, c.left.c_str(), static_cast<UINT>(c.left.size()),
              nullptr);
  SetTextAlign(memory, TA_RIGHT | TA_TOP);
  TextOutA(memory, bw - 6 - c.rightMargin, 2, c.right.c_str(), static_cast<int>(c.right.size()));
  SetTextAlign(memory, TA_LEFT | TA_TOP);
  SelectObject(memory, oldFont);
  BitBlt(dc, 1, h - c.statusHeight + 2, bw, bh, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
}

void RedrawStatus() {
  HWND main = MainWindow();
  if (!main) return;
  int w, h;
  ClientSize(&w, &h);
  HDC dc = GetDC(main);
  DrawStatus(dc, w, h);
  ReleaseDC(main, dc);
}

// ---- Picture window ----------------------------------------------------------

struct Picture {
  HBITMAP bitmap = nullptr;
  HPALETTE palette = nullptr;
  int width = 0, height = 0;
  HWND window = nullptr, owner = nullptr;
} g_picture;

constexpr UINT kSplashTimer = 187;

void ClosePicture() {
  Picture& p = g_picture;
  if (!p.window) return;
  HWND window = p.window;
  p.window = nullptr;
  ReleaseCapture();
  KillTimer(window, kSplashTimer);
  if (p.owner) ShowWindow(p.owner, SW_SHOW);
  DestroyWindow(window);
  if (p.bitmap) DeleteObject(p.bitmap);
  if (p.palette) DeleteObject(p.palette);
  p.bitmap = nullptr;
  p.palette = nullptr;
}

HWND ShowPicture(HWND owner, const char* name, bool timed) {
  ClosePicture();
  HINSTANCE instance = Instance();
  HRSRC found = FindResourceA(instance, name, reinterpret_cast<LPCSTR>(RT_BITMAP));
  HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
  auto* info = loaded ? static_cast<const BITMAPINFO*>(LockResource(loaded)) : nullptr;
  DWORD size = found ? SizeofResource(instance, found) : 0;
  if (!info || size < sizeof(BITMAPINFOHEADER)) return nullptr;
  const BITMAPINFOHEADER& header = info->bmiHeader;
  if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biWidth <= 0 || header.biHeight == 0 ||
      header.biWidth > 4096 || std::abs(header.biHeight) > 4096) {
    return nullptr;
  }
  DWORD colours = header.biClrUsed;
  if (!colours && header.biBitCount <= 8) colours = 1u << header.biBitCount;
  if (colours > 256) colours = 256;
  DWORD bits = header.biSize + colours * sizeof(RGBQUAD);
  if (bits >= size) return nullptr;
  Picture& p = g_picture;
  if (colours) {
    std::vector<BYTE> memory(sizeof(LOGPALETTE) + colours * sizeof(PALETTEENTRY));
    auto* log = reinterpret_cast<LOGPALETTE*>(memory.data());
    log->palVersion = 0x300;
    log->palNumEntries = static_cast<WORD>(colours);
    const RGBQUAD* table = reinterpret_cast<const RGBQUAD*>(
        reinterpret_cast<const BYTE*>(info) + header.biSize);
    for (DWORD i = 0; i < colours; ++i) {
      log->palPalEntry[i] = {table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
    }
    p.palette = CreatePalette(log);
  }
  HDC screen = GetDC(nullptr);
  HPALETTE oldPalette = nullptr;
  if (p.palette) {
    oldPalette = SelectPalette(screen, p.palette, FALSE);
    RealizePalette(screen);
  }
  p.bitmap = CreateDIBitmap(screen, &header, CBM_INIT, reinterpret_cast<const BYTE*>(info) + bits,
                            info, DIB_RGB_COLORS);
  if (oldPalette) SelectPalette(screen, oldPalette, FALSE);
  ReleaseDC(nullptr, screen);
  p.width = header.biWidth;
  p.height = std::abs(header.biHeight);
  RECT r = {0, 0, p.width, p.height};
  DWORD style = WS_POPUP | WS_VISIBLE | WS_DLGFRAME;
  AdjustWindowRect(&r, style, FALSE);
  int w = r.right - r.left, h = r.bottom - r.top;
  int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  p.owner = owner;
  p.window = CreateWindowA("Qs:SplashWndCls", "", style, x, y, w, h, owner, nullptr, instance,
                           nullptr);
  if (!p.window) {
    ClosePicture();
    if (p.bitmap) DeleteObject(p.bitmap);
    if (p.palette) DeleteObject(p.palette);
    p.bitmap = nullptr;
    p.palette = nullptr;
    return nullptr;
  }
  UpdateWindow(p.window);
  if (timed) SetTimer(p.window, kSplashTimer, 500, nullptr);
  SetCapture(p.window);
  return p.window;
}

}  // namespace

HFONT MessageFont() { return c.messageFont; }
int StatusHeight() { return c.statusHeight; }

void CreateChromeObjects(HINSTANCE instance) {
  LOGFONTA font = {};
  font.lfHeight = -11;
  font.lfWeight = 500;
  font.lfOutPrecision = OUT_TT_PRECIS;
  lstrcpyA(font.lfFaceName, "MS Song");
  c.statusFont = CreateFontIndirectA(&font);
  c.messageFont = CreateFontIndirectA(&font);
  c.black = CreatePen(PS_SOLID, 0, RGB(0, 0, 0));
  c.white = CreatePen(PS_SOLID, 0, RGB(255, 255, 255));
  c.light = CreatePen(PS_SOLID, 0, RGB(0xC0, 0xC0, 0xC0));
  c.dark = CreatePen(PS_SOLID, 0, RGB(0x80, 0x80, 0x80));
  c.toolbar = LoadBitmapA(instance, "bmpToolbar");
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, c.statusFont);
  TEXTMETRICA metrics = {};
  GetTextMetricsA(dc, &metrics);
  c.statusHeight = metrics.tmAscent + metrics.tmDescent + 8;
  SIZE extent = {};
  GetTextExtentPoint32A(dc, "88888 hits", 10, &extent);
  c.rightWidth = extent.cx + extent.cy;
  c.rightMargin = extent.cy / 2;
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  static const int layout[][2] = {
      {IDM_OPEN_FILE, 2},   {IDM_OPEN_URL, 2},    {IDM_RELOAD, 2},          {IDM_CLEAR_LOWER, 8},
      {IDM_BACK, 2},        {IDM_FORWARD, 8},     {IDM_TEXT_SEARCH, 2},     {IDM_HIT_FIRST, 2},
      {IDM_HIT_PREVIOUS, 2}, {IDM_HIT_NEXT, 2},   {IDM_HIT_LAST, 2},        {IDM_PARTS_SEARCH, 8},
      {IDM_WEB_ANNOTATE, 2}, {IDM_WEB_BEGIN_LINK, 2}, {IDM_WEB_CONNECT_LINK, 8}, {IDM_COPY, 2},
      {IDM_PRINT, 8},       {IDM_SEND_ORDER, 16}, {IDM_STOP_DOWNLOAD, 0}};
  c.buttons.clear();
  int x = 3;
  for (auto& entry : layout) {
    c.buttons.push_back({entry[0], x, true});
    x += kButtonW + entry[1];
  }
}

void DeleteChromeObjects() {
  for (HGDIOBJ object : {static_cast<HGDIOBJ>(c.statusFont), static_cast<HGDIOBJ>(c.messageFont),
                         static_cast<HGDIOBJ>(c.black), static_cast<HGDIOBJ>(c.white),
                         static_cast<HGDIOBJ>(c.light), static_cast<HGDIOBJ>(c.dark),
                         static_cast<HGDIOBJ>(c.toolbar)}) {
    if (object) DeleteObject(object);
  }
  c = Chrome();
}

bool SetToolbarButton(int id, bool enabled) {
  for (std::size_t i = 0; i < c.buttons.size(); ++i) {
    if (c.buttons[i].id != id) continue;
    if (c.buttons[i].enabled != enabled) {
      c.buttons[i].enabled = enabled;
      RedrawButton(static_cast<int>(i));
    }
    return true;
  }
  return false;
}

bool ToolbarMouseDown(int x, int y) {
  int index = ButtonAt(x, y);
  if (index < 0) return false;
  // A greyed button takes the press without doing anything.
  if (!c.buttons[index].enabled) return true;
  c.pressed = index;
  c.pressedLook = true;
  RedrawButton(index);
  SetCapture(MainWindow());
  return true;
}

bool ToolbarMouseMove(int x, int y) {
  if (c.pressed < 0) return false;
  const Button& b = c.buttons[c.pressed];
  bool inside = x >= b.x && x <= b.x + kButtonW && y >= 3 && y < 26;
  if (inside != c.pressedLook) {
    c.pressedLook = inside;
    RedrawButton(c.pressed);
  }
  return true;
}

bool ToolbarMouseUp(int, int) {
  if (c.pressed < 0) return false;
  int index = c.pressed;
  bool send = c.pressedLook;
  c.pressed = -1;
  c.pressedLook = false;
  ReleaseCapture();
  RedrawButton(index);
  if (send) SendMessageA(MainWindow(), WM_COMMAND, c.buttons[index].id, 0);
  return true;
}

void SetStatusFileName(const char* text) {
  c.left = text ? text : "";
  RedrawStatus();
}

void SetStatusHits(const char* text) {
  c.right = text ? text : "";
  RedrawStatus();
}

void SetStatusDownloading(const char* url) {
  std::string kept = c.left;
  c.left = std::string("Downloading: ") + (url ? url : "");
  RedrawStatus();
  c.left = kept;
}

void PaintFrame(HDC dc) {
  HWND main = MainWindow();
  if (!main) return;
  int w, h;
  ClientSize(&w, &h);
  if (w <= 0 || h <= 0) return;
  int s = c.statusHeight;
  // The pane area behind the children. The main window does not clip its
  // children, so they are cut out here: a pane nothing else invalidates
  // (the navigator after a layout) would stay grey.
  RECT area = {0, kToolbarHeight - 3, w, h - s + 1};
  const int saved = SaveDC(dc);
  for (HWND child = GetWindow(main, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
    ExcludeClipRect(dc, r.left, r.top, r.right, r.bottom);
  }
  FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
  RestoreDC(dc, saved);
  DrawToolbar(dc, w);
  DrawStatus(dc, w, h);
  Line(dc, c.white, 0, h - 1, 0, 0);
  Line(dc, c.white, 0, 0, w - 1, 0);
  Line(dc, c.black, w - 1, 0, w - 1, h - 1);
  Line(dc, c.black, w - 1, h - 1, 0, h - 1);
  Line(dc, c.dark, 1, kToolbarHeight - 3, w - 2, kToolbarHeight - 3);
  Line(dc, c.white, 1, kToolbarHeight - 2, w - 2, kToolbarHeight - 2);
  // Sunken borders round the child windows shown.
  for (HWND child = GetWindow(main, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
    Sunken(dc, r.left - 1, r.top - 1, r.right, r.bottom);
  }
}

LRESULT CALLBACK SplashWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      Picture& p = g_picture;
      if (p.bitmap) {
        HPALETTE oldPalette = nullptr;
        if (p.palette) {
          oldPalette = SelectPalette(dc, p.palette, FALSE);
          RealizePalette(dc);
        }
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, p.bitmap);
        BitBlt(dc, 0, 0, p.width, p.height, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
        if (oldPalette) SelectPalette(dc, oldPalette, FALSE);
      }
      EndPaint(window, &ps);
      return 0;
    }
    case WM_TIMER:
    case WM_LBUTTONDOWN:
    case WM_CHAR:
      if (window == g_picture.window) ClosePicture();
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND ShowSplash(HWND owner, bool timed) { return ShowPicture(owner, "bmpSplash", timed); }
HWND ShowAbout(HWND owner, bool timed) { return ShowPicture(owner, "bmp_about", timed); }

}  // namespace qs::viewer
