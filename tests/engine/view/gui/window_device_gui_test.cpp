// The GDI window device on real windows and device contexts.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/engine.h"
#include "sgml/setup_file.h"
#include "view/engine_icons.h"
#include "view/window_device.h"
#include "view/window_gdi.h"
#include "view/window_map.h"

namespace qs {
namespace {

// A 32-bit top-down DIB selected into a memory DC.
struct Canvas {
  Canvas(int w, int h) : width(w), height(h) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
    old = SelectObject(dc, bitmap);
    Fill(0x00FFFFFF);
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  void Fill(std::uint32_t value) {
    GdiFlush();
    for (int i = 0; i < width * height; ++i) bits[i] = value;
  }
  std::vector<std::uint32_t> Pixels() {
    GdiFlush();
    return std::vector<std::uint32_t>(bits, bits + width * height);
  }
  std::uint32_t At(int x, int y) {
    GdiFlush();
    return bits[y * width + x] & 0xFFFFFF;
  }
  int Ink() {
    int n = 0;
    for (auto p : Pixels())
      if ((p & 0xFFFFFF) != 0xFFFFFF) ++n;
    return n;
  }
  int width, height;
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
  std::uint32_t* bits = nullptr;
};

class PaintingView : public ViewWindow {
 public:
  explicit PaintingView(OutputDevice* d) : ViewWindow(d) {}
  int GetKind() const override { return 1; }
  int paints = 0;
  std::vector<std::string> log;
  void OnPaint() override {
    ++paints;
    OutputDevice* d = GetDevice();
    d->FillRect(0, 0, d->width, d->height, d->GetColor("white"));
    d->UseFont(d->GetFont("DejaVu Sans", 1400, false, false));
    d->SetColor(d->GetColor("red"));
    d->DrawText(20, 40, "Red title \xC3\xA9", 12);
    d->SetColor(d->GetColor("blue"));
    d->DrawLine(20, 60, 220, 60);
    d->DrawIcon(0, 20, 80, 1);
  }
  void OnLButtonDown(int x, int y, int shift) override {
    log.push_back("ldown " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(shift));
  }
  void OnScroll(int h, int code, int pos) override {
    log.push_back("scroll " + std::to_string(h) + " " + std::to_string(code) + " " + std::to_string(pos));
  }
};

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  std::intptr_t result = 0;
  if (DispatchWindowMessage(reinterpret_cast<WindowHandle>(window), message, wParam, lParam, &result) == 0)
    return result;
  return DefWindowProcA(window, message, wParam, lParam);
}

// Colours come from the engine's table.
class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine_.CreateMembers();
    previous_ = SetEngine(&engine_);
  }
  void TearDown() override {
    WindowMap::DestroyAll();
    SetEngine(previous_);
  }
  HostedEngine engine_{0, "C:\\Home\\", "T", nullptr};
  EngineBase* previous_ = nullptr;
};

HWND MakeWindow() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = "QsViewHost";
    RegisterClassA(&wc);
    registered = true;
  }
  HWND w = CreateWindowA("QsViewHost", "view host", WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL | WS_VISIBLE,
                         10, 10, 400, 300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  return w;
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

TEST_F(GuiTest, FontsSizesFacesAndMeasures) {
  EXPECT_EQ(FontHeightForSize(1000, 96), -13);
  EXPECT_EQ(FontHeightForSize(1200, 72), -12);
  char face[LF_FACESIZE] = {};
  ASSERT_TRUE(FindInstalledFace("dejavu sans", face));
  EXPECT_STREQ(face, "DejaVu Sans");
  EXPECT_FALSE(FindInstalledFace("No Such Face Anywhere", face));

  HWND window = MakeWindow();
  ASSERT_NE(window, nullptr);
  WindowDevice* device = AttachWindowDevice(reinterpret_cast<WindowHandle>(window), 0x2A, 1);
  ASSERT_NE(device, nullptr);
  auto* font = static_cast<GdiFont*>(device->GetFont("dejavu sans", 1000, false, false));
  ASSERT_NE(font, nullptr);
  LOGFONTA lf{};
  GetObjectA(font->Handle(), sizeof lf, &lf);
  EXPECT_EQ(lf.lfHeight, FontHeightForSize(1000, device->dpiY));
  EXPECT_STREQ(lf.lfFaceName, "DejaVu Sans");
  EXPECT_GT(font->ascent, 0);
  EXPECT_GT(font->descent, 0);
  EXPECT_EQ(device->GetFont("dejavu sans", 1000, false, false), font);  // one font per key
  // Non-ASCII text measures as drawn, never as "?".
  const int e = font->Measure("\xC3\xA9", 2), q = font->Measure("?", 1);
  EXPECT_GT(e, 0);
  const std::uint16_t wide[] = {0xE9};
  EXPECT_EQ(e, font->MeasureW(wide, 1));
  (void)q;
  DestroyWindow(window);
  EXPECT_EQ(WindowMap::Find(reinterpret_cast<WindowHandle>(window)), nullptr);
}

TEST_F(GuiTest, DrawingTextIconsAndFramesOnAMemoryDc) {
  WindowDevice* device = AttachWindowDevice(reinterpret_cast<WindowHandle>(MakeWindow()), 0x2A, 1);
  ASSERT_NE(device, nullptr);
  Canvas canvas(120, 40);
  SetWindowDeviceDc(device, canvas.dc);
  device->BeginDraw();
  SetBkMode(canvas.dc, TRANSPARENT);
  device->UseFont(device->GetFont("DejaVu Sans", 1200, false, false));
  device->SetColor(device->GetColor("black"));
  device->DrawText(5, 25, "\xC3\xA9t\xC3\xA9", 5);
  const auto utf8 = canvas.Pixels();
  EXPECT_GT(canvas.Ink(), 10);
  canvas.Fill(0x00FFFFFF);
  const std::uint16_t wide[] = {0xE9, 't', 0xE9};
  device->DrawTextW(5, 25, wide, 3);
  EXPECT_EQ(canvas.Pixels(), utf8);
  // A truncated sequence is decoded within its length.
  canvas.Fill(0x00FFFFFF);
  device->DrawText(5, 25, "\xC3\xA9\xC3", 3);
  EXPECT_GT(canvas.Ink(), 0);

  canvas.Fill(0x00FFFFFF);
  const auto white = canvas.Pixels();
  device->DrawFocusRect(50, 30, 10, 5);
  EXPECT_GT(canvas.Ink(), 0);
  device->DrawFocusRect(10, 5, 50, 30);
  EXPECT_EQ(canvas.Pixels(), white);
  device->DrawFocusRect(10, 5, 10, 30);  // no width: nothing
  EXPECT_EQ(canvas.Pixels(), white);
  device->InvertRect(0, 0, 30, 30);
  EXPECT_EQ(canvas.At(3, 3), 0u);
  device->InvertRect(0, 0, 30, 30);
  EXPECT_EQ(canvas.Pixels(), white);
  device->EndDraw();

  // Two states side by side, two layers one above the other: the lower
  // layer is or-ed, the upper and-ed.
  Canvas icon(8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool left = x < 4, lower = y >= 4;
      icon.bits[y * 8 + x] = lower ? (left ? 0xFF0000 : 0x0000FF) : (left ? 0xFF00FF : 0x00FFFF);
    }
  GdiFlush();
  SelectObject(icon.dc, icon.old);
  canvas.Fill(0);
  DrawTwoLayerBitmap(canvas.dc, icon.bitmap, 0, 0, 1);
  DrawTwoLayerBitmap(canvas.dc, icon.bitmap, 10, 0, 0);
  EXPECT_EQ(canvas.At(1, 1), 0xFF0000u);   // left: red or-ed, and-ed with magenta
  EXPECT_EQ(canvas.At(11, 1), 0x0000FFu);  // right: blue or-ed, and-ed with cyan
  EXPECT_EQ(canvas.At(5, 1), 0u);          // 4 wide only
  SelectObject(icon.dc, icon.bitmap);
  SetWindowDeviceDc(device, nullptr);
  DestroyWindow(reinterpret_cast<HWND>(device->window()));
}

TEST_F(GuiTest, WindowPaintsScrollsAndTakesMessages) {
  HWND window = MakeWindow();
  ASSERT_NE(window, nullptr);
  const auto handle = reinterpret_cast<WindowHandle>(window);
  WindowDevice* device = AttachWindowDevice(handle, 0x0A, 1);
  static_cast<HostWindowDevice*>(device)->SetScrollBarFlags(0);
  auto* view = new PaintingView(device);
  EXPECT_GT(device->width, 100);
  device->ShowVertScrollBar();
  device->SetVertScroll(500, 100, 1000);
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(window, SB_VERT, &si));
  EXPECT_EQ(si.nPos, 4096);
  EXPECT_EQ(si.nPage, 819u);
  EXPECT_EQ(si.nMax, 8192);

  SendMessageA(window, WM_LBUTTONDOWN, MK_SHIFT, MAKELPARAM(7, 9));
  SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(7, 9));
  SendMessageA(window, WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(SendMessageA(window, WM_ERASEBKGND, 0, 0), 1);
  EXPECT_EQ(view->log, (std::vector<std::string>{"ldown 7 9 4", "scroll 0 2 0"}));

  InvalidateRect(window, nullptr, FALSE);
  UpdateWindow(window);
  Pump();
  EXPECT_GE(view->paints, 1);

  // Read the client area back.
  Canvas capture(device->width, device->height);
  HDC windowDc = GetDC(window);
  BitBlt(capture.dc, 0, 0, device->width, device->height, windowDc, 0, 0, SRCCOPY);
  ReleaseDC(window, windowDc);
  int red = 0, blue = 0, redBelow = 0;
  for (int y = 0; y < capture.height; ++y)
    for (int x = 0; x < capture.width; ++x) {
      const std::uint32_t p = capture.At(x, y);
      if (p == 0xFF0000) {
        ++red;
        if (y > 50) ++redBelow;
      }
      if (p == 0x0000FF && y == 60) ++blue;
    }
  EXPECT_GT(red, 20);
  EXPECT_EQ(redBelow, 0);
  EXPECT_EQ(blue, 200);
  // For people: the capture as a bitmap file in the build folder.
  if (const char* dir = std::getenv("QS_BINARY_DIR")) {
    std::string path = std::string(dir) + "/window_device_capture.bmp";
    for (auto& c : path)
      if (c == '/') c = '\\';
    if (FILE* f = std::fopen(("Z:" + path).c_str(), "wb")) {
      BITMAPFILEHEADER fh{};
      BITMAPINFOHEADER ih{};
      ih.biSize = sizeof ih;
      ih.biWidth = capture.width;
      ih.biHeight = -capture.height;
      ih.biPlanes = 1;
      ih.biBitCount = 32;
      fh.bfType = 0x4D42;
      fh.bfOffBits = sizeof fh + sizeof ih;
      fh.bfSize = fh.bfOffBits + capture.width * capture.height * 4;
      std::fwrite(&fh, sizeof fh, 1, f);
      std::fwrite(&ih, sizeof ih, 1, f);
      std::fwrite(capture.bits, 4, capture.width * capture.height, f);
      std::fclose(f);
    }
  }

  DestroyWindow(window);
  EXPECT_EQ(WindowMap::Find(handle), nullptr);
  view->Release();
}

std::intptr_t g_cursorAnswer = 0;
std::intptr_t AnswerCursor(WindowHandle, int event, std::intptr_t, std::intptr_t) {
  return event == kEventHitCursor ? g_cursorAnswer : 0;
}

TEST_F(GuiTest, HostIconsAndHitCursorsComeFirst) {
  HostedEngine host(reinterpret_cast<ModuleHandle>(GetModuleHandleA(nullptr)), "C:\\Home\\", "T",
                    &AnswerCursor);
  host.CreateMembers();
  SetEngine(&host);
  LoadEngineIcons(host);
  const int note = 10;  // "iconNote", which this program carries
  ASSERT_NE(host.icons[note], 0);
  BITMAP info{};
  ASSERT_TRUE(GetObject(reinterpret_cast<HBITMAP>(host.icons[note]), sizeof info, &info));
  EXPECT_EQ(host.iconHalfWidth[note], info.bmWidth / 2);
  EXPECT_EQ(host.iconHalfHeight[note], info.bmHeight / 2);
  EXPECT_EQ(host.iconEighthHeight[note], info.bmHeight / 8);
  EXPECT_EQ(host.icons[0], 0);  // neither the host's nor, without the library, shared

  WindowDevice* device = AttachWindowDevice(reinterpret_cast<WindowHandle>(MakeWindow()), 0x2A, 1);
  ASSERT_NE(device, nullptr);
  Canvas drawn(40, 40), expected(40, 40);
  drawn.Fill(0);
  expected.Fill(0);
  SetWindowDeviceDc(device, drawn.dc);
  device->DrawIcon(note, 2, 3, 0);
  SetWindowDeviceDc(device, nullptr);
  DrawTwoLayerBitmap(expected.dc, reinterpret_cast<HBITMAP>(host.icons[note]), 2, 3, 0);
  EXPECT_EQ(drawn.Pixels(), expected.Pixels());
  EXPECT_NE(drawn.Ink(), 40 * 40);  // something was drawn

  HCURSOR zoom = LoadCursorA(GetModuleHandleA(nullptr), "cursZoom");
  ASSERT_NE(zoom, nullptr);
  SetCursor(LoadCursor(nullptr, IDC_ARROW));
  g_cursorAnswer = 1;  // the host sets its own
  device->SetCursorForHit(1, 2, 0, 15, 0);
  EXPECT_NE(GetCursor(), zoom);
  g_cursorAnswer = 0;
  device->SetCursorForHit(1, 2, 0, 15, 0);
  EXPECT_EQ(GetCursor(), zoom);
  device->SetCursorForHit(1, 2, 0, 0, 0);
  EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_ARROW));

  DestroyWindow(reinterpret_cast<HWND>(device->window()));
  FreeEngineIcons(host);
  EXPECT_EQ(host.icons[note], 0);
  SetEngine(&engine_);
}

TEST_F(GuiTest, AbsentFacesGoThroughTheFontMapElseArial) {
  auto* setup = new SetupFile(nullptr);
  setup->AddFontMap("No Such Face", "tahoma");
  engine_.setup.Set(setup);
  WindowDevice* device = AttachWindowDevice(reinterpret_cast<WindowHandle>(MakeWindow()), 0x2A, 1);
  ASSERT_NE(device, nullptr);
  auto faceOf = [](Font* font, char* logical) {
    LOGFONTA lf{};
    GetObjectA(static_cast<GdiFont*>(font)->Handle(), sizeof lf, &lf);
    lstrcpynA(logical, lf.lfFaceName, LF_FACESIZE);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, static_cast<GdiFont*>(font)->Handle());
    char face[LF_FACESIZE] = {};
    GetTextFaceA(dc, sizeof face, face);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return std::string(face);
  };
  char logical[LF_FACESIZE];
  Font* mapped = device->GetFont("No Such Face", 1000, false, false);
  ASSERT_NE(mapped, nullptr);
  EXPECT_EQ(faceOf(mapped, logical), "Tahoma");
  EXPECT_STREQ(mapped->Face(), "No Such Face");  // keyed by the face asked for
  Font* unmapped = device->GetFont("Another Absent Face", 1000, false, false);
  ASSERT_NE(unmapped, nullptr);
  faceOf(unmapped, logical);
  EXPECT_STREQ(logical, "Arial");
  DestroyWindow(reinterpret_cast<HWND>(device->window()));
}

TEST_F(GuiTest, ShadowOffsetsScaleWithTheFont) {
  WindowDevice* device = AttachWindowDevice(reinterpret_cast<WindowHandle>(MakeWindow()), 0x2A, 1);
  ASSERT_NE(device, nullptr);
  Canvas canvas(160, 60);
  SetWindowDeviceDc(device, canvas.dc);
  device->BeginDraw();
  SetBkMode(canvas.dc, TRANSPARENT);
  device->UseFont(device->GetFont("DejaVu Sans", 2400, false, false));
  device->SetColor(device->GetColor("black"));
  device->DrawText(5, 40, "Shade", 5);
  const auto plain = canvas.Pixels();
  auto shadowed = [&](std::uint8_t offset) {
    canvas.Fill(0x00FFFFFF);
    device->shadowOffset = offset;
    device->shadowColor = device->GetColor("red");
    device->DrawText(5, 40, "Shade", 5);
    device->shadowOffset = 0;
    int red = 0;
    for (auto p : canvas.Pixels())
      if ((p & 0xFFFFFF) == 0xFF0000) ++red;
    return red;
  };
  // 0x88 puts the shadow exactly under the text: only the text shows.
  EXPECT_EQ(shadowed(0x88), 0);
  auto inked = [](const std::vector<std::uint32_t>& pixels) {
    std::vector<bool> ink;
    for (auto p : pixels) ink.push_back((p & 0xFFFFFF) != 0xFFFFFF);
    return ink;
  };
  EXPECT_EQ(inked(canvas.Pixels()), inked(plain));
  // 0xFF: 7/56 of the font's height right and down.
  EXPECT_GT(shadowed(0xFF), 10);
  EXPECT_EQ(shadowed(0x00), 0);
  device->EndDraw();
  SetWindowDeviceDc(device, nullptr);
  DestroyWindow(reinterpret_cast<HWND>(device->window()));
}

}  // namespace
}  // namespace qs
