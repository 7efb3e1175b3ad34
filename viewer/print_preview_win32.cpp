// The print preview window: a column of buttons (First, Prev, Next, Close)
// and a zoom list beside a scrolling page window in which the engine paints
// the current page of a preview job. The job lives as long as the window.
#include <cstdint>

#include "engine.h"
#include "preview_geometry.h"
#include "viewer.h"

namespace qs::viewer {
namespace {

namespace eng = engine;

constexpr int kFirstButton = 1001, kPrevButton = 1002, kNextButton = 1003, kCloseButton = 1004;
constexpr int kZoomList = 1005;
constexpr char kManagerClass[] = "Qs:PrnPrvwMgrWndCls";
constexpr char kPageClass[] = "Qs:PrnPrvwWndCls";

HFONT g_font = nullptr;

struct PreviewManager {
  QsWord job = 0;
  HWND manager = nullptr, page = nullptr;
  HWND buttons[4] = {};
  HWND zoomList = nullptr;
  int buttonWidth = 0, buttonHeight = 0;
  int originX = 0, originY = 5;
  int zoom = 0;
  PreviewSize extent, visible;
  int scrollX = 0, scrollY = 0;
  int pageNumber = 0;
  bool layingOut = false;
};

PreviewManager* ManagerOf(HWND window) {
  return reinterpret_cast<PreviewManager*>(GetWindowLongPtrA(window, 0));
}

SIZE TextSize(HDC dc, const char* text) {
  SIZE size{};
  GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
  return size;
}

HWND Child(HWND parent, const char* cls, const char* text, DWORD style, int id, int x, int y, int w,
           int h) {
  HWND child = CreateWindowA(cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)),
                             nullptr);
  if (child && g_font) SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(g_font), FALSE);
  return child;
}

// One direction's bar: gone when the whole page shows, else over the page
// with the visible part as its page.
void SetBar(HWND window, int bar, int visible, int extent, int position) {
  if (visible >= extent) {
    ShowScrollBar(window, bar, FALSE);
    return;
  }
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
  info.nMin = 0;
  info.nMax = extent;
  info.nPage = static_cast<UINT>(visible);
  info.nPos = position;
  ShowScrollBar(window, bar, TRUE);
  SetScrollInfo(window, bar, &info, TRUE);
}

void Layout(PreviewManager* m) {
  RECT client{};
  GetClientRect(m->manager, &client);
  HDC screen = GetDC(nullptr);
  const int dpiX = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
  const int dpiY = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  m->layingOut = true;
  m->extent = PreviewPageExtent(m->zoom, dpiX, dpiY, client.right, client.bottom, m->buttonWidth);
  m->visible = PreviewVisibleExtent(m->extent, client.right, client.bottom, m->originX);
  m->scrollX = m->scrollY = 0;
  SetBar(m->page, SB_HORZ, m->visible.width, m->extent.width, 0);
  SetBar(m->page, SB_VERT, m->visible.height, m->extent.height, 0);
  MoveWindow(m->page, m->originX - 1, 4, m->visible.width + 2, m->visible.height + 2, TRUE);
  m->layingOut = false;
}

void UpdateButtons(PreviewManager* m, bool next) {
  EnableWindow(m->buttons[0], m->pageNumber >= 1);
  EnableWindow(m->buttons[1], m->pageNumber >= 1);
  EnableWindow(m->buttons[2], next);
}

void Step(PreviewManager* m, int code) {
  HDC dc = GetDC(m->page);
  const std::int32_t moved = eng::QsStepPreviewPage(m->job, reinterpret_cast<QsWord>(dc), std::int32_t{code});
  ReleaseDC(m->page, dc);
  if (code == 0) m->pageNumber = 0;
  else if (code == 1 && moved) --m->pageNumber;
  else if (code == 4 && moved) ++m->pageNumber;
  // Next stays on unless a step forward found no page.
  UpdateButtons(m, code != 4 || moved != 0);
  if (moved) InvalidateRect(m->page, nullptr, TRUE);
}

void CreateManager(HWND window, QsWord job) {
  auto* m = new PreviewManager;
  m->job = job;
  m->manager = window;
  SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(m));
  HDC dc = GetDC(window);
  HGDIOBJ old = dc && g_font ? SelectObject(dc, g_font) : nullptr;
  const char* names[4] = {"First", "Prev", "Next", "Close"};
  int widest = 0, tallest = 0;
  for (const char* name : names) {
    const SIZE s = dc ? TextSize(dc, name) : SIZE{40, 13};
    widest = s.cx > widest ? s.cx : widest;
    tallest = s.cy > tallest ? s.cy : tallest;
  }
  const SIZE label = dc ? TextSize(dc, "Zoom:") : SIZE{30, 13};
  if (old) SelectObject(dc, old);
  if (dc) ReleaseDC(window, dc);
  m->buttonWidth = widest + 2 * tallest;
  m->buttonHeight = tallest * 3 / 2;
  m->originX = m->buttonWidth + 10;
  for (int i = 0; i < 4; ++i)
    m->buttons[i] = Child(window, "BUTTON", names[i], BS_PUSHBUTTON, kFirstButton + i, 5,
                          i * (m->buttonHeight + 5) + 5, m->buttonWidth, m->buttonHeight);
  UpdateButtons(m, true);
  Child(window, "STATIC", "Zoom:", SS_LEFT, -1, 7, 4 * m->buttonHeight + 27, label.cx, label.cy);
  m->zoomList = Child(window, "COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, kZoomList, 5,
                      label.cy + 4 * m->buttonHeight + 27, m->buttonWidth, 8 * m->buttonHeight);
  for (const char* name : kPreviewZoomNames)
    SendMessageA(m->zoomList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  SendMessageA(m->zoomList, CB_SETCURSEL, 0, 0);
  m->page = CreateWindowA(kPageClass, "", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0, 0, 0, window,
                          nullptr, reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE)),
                          m);
}

LRESULT CALLBACK PreviewMgrWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  PreviewManager* m = ManagerOf(window);
  switch (message) {
    case WM_CREATE:
      CreateManager(window, reinterpret_cast<QsWord>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
      return 0;
    case WM_SIZE:
      if (m && m->page) Layout(m);
      return 0;
    case WM_COMMAND:
      if (!m) break;
      switch (LOWORD(wParam)) {
        case kFirstButton: Step(m, 0); return 0;
        case kPrevButton: Step(m, 1); return 0;
        case kNextButton: Step(m, 4); return 0;
        case kCloseButton: PostMessageA(window, WM_CLOSE, 0, 0); return 0;
        case kZoomList:
          if (HIWORD(wParam) == CBN_SELCHANGE) {
            const LRESULT selected = SendMessageA(m->zoomList, CB_GETCURSEL, 0, 0);
            if (selected >= 0 && selected < kPreviewZoomCount) m->zoom = static_cast<int>(selected);
            Layout(m);
            InvalidateRect(m->page, nullptr, TRUE);
          }
          return 0;
        default: break;
      }
      break;
    case WM_DESTROY:
      if (m) {
        eng::QsEndPreview(m->job);
        SetWindowLongPtrA(window, 0, 0);
        delete m;
      }
      return 0;
    default: break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void Scroll(PreviewManager* m, HWND window, bool horizontal, WPARAM wParam) {
  int& position = horizontal ? m->scrollX : m->scrollY;
  const int visible = horizontal ? m->visible.width : m->visible.height;
  const int extent = horizontal ? m->extent.width : m->extent.height;
  const int next = ScrollPreview(LOWORD(wParam), static_cast<short>(HIWORD(wParam)), position, visible, extent);
  if (next == position) return;
  position = next;
  SetScrollPos(window, horizontal ? SB_HORZ : SB_VERT, position, TRUE);
  InvalidateRect(window, nullptr, TRUE);
}

LRESULT CALLBACK PreviewPageWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  PreviewManager* m = ManagerOf(window);
  switch (message) {
    case WM_CREATE:
      SetWindowLongPtrA(window, 0,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      if (dc && m) {
        const int saved = SaveDC(dc);
        SetMapMode(dc, MM_ANISOTROPIC);
        SetWindowExtEx(dc, kPreviewPageWidth, kPreviewPageHeight, nullptr);
        SetViewportExtEx(dc, m->extent.width, m->extent.height, nullptr);
        SetViewportOrgEx(dc, -m->scrollX, -m->scrollY, nullptr);
        eng::QsPaintPreviewPage(m->job, reinterpret_cast<QsWord>(dc));
        RestoreDC(dc, saved);
      }
      EndPaint(window, &ps);
      return 0;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (m) Scroll(m, window, message == WM_HSCROLL, wParam);
      return 0;
    case WM_SIZE:
      if (m && !m->layingOut && LOWORD(lParam) && HIWORD(lParam)) {
        m->visible = {LOWORD(lParam), HIWORD(lParam)};
        SetBar(window, SB_HORZ, m->visible.width, m->extent.width, m->scrollX);
        SetBar(window, SB_VERT, m->visible.height, m->extent.height, m->scrollY);
      }
      return 0;
    default: break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

void RegisterPrintPreviewClasses(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = PreviewMgrWndProc;
  wc.cbWndExtra = sizeof(void*);
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
  wc.lpszClassName = kManagerClass;
  RegisterClassA(&wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = PreviewPageWndProc;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = kPageClass;
  RegisterClassA(&wc);
  if (!g_font)
    g_font = CreateFontA(10, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "MS Sans Serif");
}

void DeletePrintPreviewObjects() {
  if (g_font) DeleteObject(g_font);
  g_font = nullptr;
}

HWND CreatePrintPreview(HWND owner, QsHandle document, QsHandle tagSet, QsHandle sheet,
                        QsHandle navigator, std::int32_t options) {
  HDC screen = GetDC(nullptr);
  const QsWord job = eng::QsPrintPreviewPage(document, tagSet, sheet, navigator, options,
                                             reinterpret_cast<QsWord>(screen), std::int32_t{kPreviewDpi},
                                             std::int32_t{kPreviewDpi}, std::int32_t{kPreviewPageWidth},
                                             std::int32_t{kPreviewPageHeight}, nullptr);
  if (screen) ReleaseDC(nullptr, screen);
  if (!job) return nullptr;
  HWND window = CreateWindowA(kManagerClass, "Print Preview", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                              reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE)),
                              reinterpret_cast<void*>(job));
  if (!window) {
    // No window to end it with.
    eng::QsEndPreview(job);
    return nullptr;
  }
  ShowWindow(window, SW_SHOWMAXIMIZED);
  return window;
}

}  // namespace qs::viewer
