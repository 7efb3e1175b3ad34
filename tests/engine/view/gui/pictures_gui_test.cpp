// Pictures drawn through the GDI window device: each kind on a grey page,
// checked by its pixels.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "api/exports.h"
#include "foundation/engine.h"
#include "sgml/entities.h"
#include "sgml/external_id.h"
#include "view/graphic_object.h"
#include "view/pictures.h"
#include "view/shared_palette.h"
#include "view/window_device.h"
#include "view/window_gdi.h"
#include "view/window_map.h"

namespace qs {
namespace {

constexpr std::uint32_t kGrey = 0x808080;

struct Page {
  Page(int w, int h) : width(w), height(h) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
    old = SelectObject(dc, bitmap);
    Fill();
  }
  ~Page() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  void Fill() {
    GdiFlush();
    for (int i = 0; i < width * height; ++i) bits[i] = kGrey;
  }
  std::uint32_t At(int x, int y) {
    GdiFlush();
    return bits[y * width + x] & 0xFFFFFF;
  }
  int Count(int x0, int y0, int x1, int y1, std::uint32_t colour) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += At(x, y) == colour;
    return n;
  }
  int width, height;
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
  std::uint32_t* bits = nullptr;
};

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  std::intptr_t result = 0;
  if (DispatchWindowMessage(reinterpret_cast<WindowHandle>(window), message, wParam, lParam, &result) == 0)
    return result;
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeWindow() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QsPictureHost";
    RegisterClassA(&wc);
    registered = true;
  }
  return CreateWindowA("QsPictureHost", "pictures", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 420,
                       320, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

class PictureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine_.CreateMembers();
    previous_ = SetEngine(&engine_);
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    folder_ = std::string(temp) + "pictures_gui_" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder_.c_str(), nullptr);
    notation_ = new NotationDecl("N");
    window_ = MakeWindow();
    device_ = AttachWindowDevice(reinterpret_cast<WindowHandle>(window_), 0x2A, 1);
    device_->width = page_.width;
    device_->height = page_.height;
    SetWindowDeviceDc(device_, page_.dc);
  }
  void TearDown() override {
    for (EntityDecl* e : entities_) e->Release();
    notation_->Release();
    SetWindowDeviceDc(device_, nullptr);
    DestroyWindow(window_);
    WindowMap::DestroyAll();
    for (const std::string& f : files_) DeleteFileA(f.c_str());
    RemoveDirectoryA(folder_.c_str());
    SetEngine(previous_);
  }
  // An entity of the bytes, written to a file of its own.
  EntityDecl* Entity(const char* name, const std::string& bytes) {
    std::string path = folder_ + name;
    std::ofstream(path, std::ios::binary) << bytes;
    files_.push_back(path);
    auto* e = new ExternalEntityDecl(name, new ExternalId(name, path.c_str(), nullptr), kEntityNdata,
                                     notation_);
    entities_.push_back(e);
    return e;
  }
  // A file of the Linux side, through Wine's drive Z:.
  static std::string Slurp(const char* path) {
    std::ifstream in(std::string("Z:") + path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Draws the graphic at (x, y) and gives it back.
  void Show(GraphicObject* g, int x, int y, int highlight = 0) {
    ASSERT_NE(g, nullptr);
    ImageRenderer* r = g->MakeScreenRenderer(device_);
    ASSERT_NE(r, nullptr);
    device_->BeginDraw();
    device_->DrawRenderer(r, x, y, highlight);
    device_->EndDraw();
    delete r;
  }

  HostedEngine engine_{0, "C:\\Home\\", "T", nullptr};
  EngineBase* previous_ = nullptr;
  std::string folder_;
  std::vector<std::string> files_;
  std::vector<EntityDecl*> entities_;
  NotationDecl* notation_ = nullptr;
  HWND window_ = nullptr;
  WindowDevice* device_ = nullptr;
  Page page_{400, 300};
};

TEST_F(PictureTest, XpmMaskLetsTheGreyThrough) {
  GraphicObject* g = LoadXpm(Entity("hammer.xpm", Slurp("/usr/share/pixmaps/fvwm/mini.hammer.xpm")),
                             nullptr, "XPM");
  ASSERT_NE(g, nullptr) << "fvwm-icons missing?";
  Show(g, 10, 10);
  EXPECT_EQ(page_.At(10, 10), kGrey);           // " " is None
  EXPECT_EQ(page_.At(10 + 3, 10 + 1), 0u);      // "." black
  EXPECT_EQ(page_.At(10 + 3, 10 + 2), 0xFFFFFFu);  // "o" white
  EXPECT_EQ(page_.At(10 + 4, 10 + 4), kGrey + 0);  // "O" #808080 on grey
  EXPECT_EQ(page_.At(9, 10), kGrey);            // nothing outside
  g->Release();
}

TEST_F(PictureTest, XbmSetBitsAreBlack) {
  GraphicObject* g = LoadXbm(Entity("calculator", Slurp("/usr/include/X11/bitmaps/calculator")),
                             nullptr, "XBM");
  ASSERT_NE(g, nullptr) << "xbitmaps missing?";
  Show(g, 50, 20);
  const int black = page_.Count(50, 20, 50 + 28, 20 + 48, 0);
  const int white = page_.Count(50, 20, 50 + 28, 20 + 48, 0xFFFFFF);
  EXPECT_GT(black, 100);
  EXPECT_EQ(black + white, 28 * 48);  // an XBM has no mask: white covers
  EXPECT_EQ(page_.At(49, 20), kGrey);
  g->Release();
}

TEST_F(PictureTest, BmpColoursButtonAndHighlight) {
  std::string sample = Slurp("/usr/libexec/installed-tests/SDL2/icon.bmp");
  GraphicObject* g = LoadBmp(Entity("icon.bmp", sample), nullptr, "BMP");
  ASSERT_NE(g, nullptr) << "libsdl2-tests missing?";
  Show(g, 100, 100);
  // The file's own colours: its three table entries only.
  std::vector<std::uint32_t> table;
  for (int i = 0; i < 3; ++i) {
    const unsigned char* c = reinterpret_cast<const unsigned char*>(sample.data()) + 54 + 4 * i;
    table.push_back(std::uint32_t{c[2]} << 16 | std::uint32_t{c[1]} << 8 | c[0]);
  }
  int matched = 0;
  for (int y = 100; y < 132; ++y)
    for (int x = 100; x < 132; ++x)
      for (std::uint32_t c : table) matched += page_.At(x, y) == c;
  EXPECT_EQ(matched, 32 * 32);
  // Highlighted: inverted.
  const std::uint32_t before = page_.At(110, 110);
  page_.Fill();
  Show(g, 100, 100, 1);
  EXPECT_EQ(page_.At(110, 110), ~before & 0xFFFFFF);
  g->Release();

  // A button 40 x 80: the upper half normal, the lower half pressed.
  std::string button(54, '\0');
  auto put = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) button[at + i] = static_cast<char>(v >> (8 * i));
  };
  button[0] = 'B', button[1] = 'M';
  put(10, 62), put(14, 40), put(18, 40), put(22, 80);
  button[26] = 1, button[28] = 8;
  put(46, 2);
  button += std::string("\0\0\xff\0\xff\0\0\0", 8);  // 0 red, 1 blue
  for (int y = 0; y < 80; ++y) button += std::string(40, y < 40 ? '\1' : '\0');
  put(2, static_cast<std::uint32_t>(button.size()));
  EntityDecl* e = Entity("button.bmp", button);
  auto* image = static_cast<MaskImage*>(LoadBmp(e, nullptr, "BMP"));
  ASSERT_NE(image, nullptr);
  image->button = true;
  image->height = 40;
  page_.Fill();
  Show(image, 0, 0, 0);
  EXPECT_EQ(page_.At(5, 5), 0xFF0000u);  // upper rows: red
  EXPECT_EQ(page_.At(5, 45), kGrey);
  page_.Fill();
  Show(image, 0, 0, 1);
  EXPECT_EQ(page_.At(5, 5), 0x0000FFu);  // pressed: the lower rows, not inverted
  image->Release();
}

// A placeable metafile recorded by GDI: a black filled rectangle over the
// left half of a 1440 x 720 box at 1440 units per inch.
std::string RecordedMetafile() {
  HDC meta = CreateMetaFileA(nullptr);
  SetWindowOrgEx(meta, 0, 0, nullptr);
  SetWindowExtEx(meta, 1440, 720, nullptr);
  HGDIOBJ brush = SelectObject(meta, GetStockObject(BLACK_BRUSH));
  Rectangle(meta, 0, 0, 720, 720);
  SelectObject(meta, brush);
  HMETAFILE handle = CloseMetaFile(meta);
  UINT size = GetMetaFileBitsEx(handle, 0, nullptr);
  std::string records(size, '\0');
  GetMetaFileBitsEx(handle, size, records.data());
  DeleteMetaFile(handle);
  std::string head(22, '\0');
  const unsigned short words[] = {0xCDD7, 0x9AC6, 0, 0, 0, 1440, 720, 1440, 0, 0, 0};
  std::memcpy(head.data(), words, 22);
  return head + records;
}

TEST_F(PictureTest, MetafileInkAlongItsShapes) {
  std::string wmf = RecordedMetafile();
  char out[MAX_PATH * 2];
  std::snprintf(out, sizeof out, "%s", "recorded.wmf");
  std::ofstream(out, std::ios::binary) << wmf;  // left beside the test for wmf2svg
  GraphicObject* g = LoadWmf(Entity("m.wmf", wmf), "WMF");
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->width, GetScreenDpiX());  // 1 inch wide
  Show(g, 20, 20);
  const int w = g->width, h = g->height;
  EXPECT_EQ(page_.At(20 + w / 4, 20 + h / 2), 0u);      // inside the rectangle
  EXPECT_EQ(page_.At(20 + 3 * w / 4, 20 + h / 2), kGrey);  // right half untouched
  EXPECT_EQ(page_.At(20 + w + 2, 20 + 2), kGrey);
  g->Release();
  // A bad head: no picture.
  std::string bad = wmf;
  bad[0] = 'X';
  EXPECT_EQ(LoadWmf(Entity("bad.wmf", bad), "WMF"), nullptr);
}

TEST_F(PictureTest, OutsideLibrariesAbsent) {
  // Neither library is installed here: the raster and CGM notations give
  // nothing, while BMP still reads with the engine's reader.
  EXPECT_FALSE(LoadImagingLibrary());
  EXPECT_EQ(LoadCgmFilter(), 0);
  EntityDecl* gif = Entity("a.gif", "GIF89a");
  EXPECT_EQ(LoadBmpGraphic(gif, nullptr, "RGR"), nullptr);
  EXPECT_EQ(ImportCgmPicture(gif, "CGM"), nullptr);
  GraphicObject* bmp = LoadBmpGraphic(
      Entity("i.bmp", Slurp("/usr/libexec/installed-tests/SDL2/icon.bmp")), nullptr, "BMP");
  ASSERT_NE(bmp, nullptr);
  bmp->Release();
}

TEST_F(PictureTest, RegisteredPaletteIsReadBack) {
  struct {
    WORD version, count;
    PALETTEENTRY entries[3];
  } logical{0x300, 3, {{10, 20, 30, 0}, {40, 50, 60, 0}, {70, 80, 90, 0}}};
  HPALETTE host = CreatePalette(reinterpret_cast<LOGPALETTE*>(&logical));
  ASSERT_NE(host, nullptr);
  // Alone for this window: its own palette is the one realized.
  ASSERT_EQ(RegisterPaletteImages(reinterpret_cast<std::intptr_t>(window_),
                                  reinterpret_cast<std::intptr_t>(host), 0), 1);
  ViewPalette* palette = WindowDevicePalette(device_);
  ASSERT_NE(palette, nullptr);
  EXPECT_EQ(palette->Realize(), host);
  // Merged with a picture's colours: the static 20, the host's, the picture's.
  ASSERT_EQ(RegisterPaletteImages(reinterpret_cast<std::intptr_t>(window_),
                                  reinterpret_cast<std::intptr_t>(host), 1), 1);
  GraphicObject* g = LoadXpm(Entity("two.xpm", "/* XPM */\nstatic char * t[] = {\"2 1 2 1\",\"a c #0A141E\",\"b c #C86432\",\"ab\"};"),
                             nullptr, "XPM");
  ASSERT_NE(g, nullptr);
  ImageRenderer* r = g->MakeScreenRenderer(device_);
  auto* merged = static_cast<HPALETTE>(palette->Realize());
  ASSERT_NE(merged, nullptr);
  EXPECT_NE(merged, host);
  PALETTEENTRY entries[256];
  const UINT n = GetPaletteEntries(merged, 0, 256, entries);
  ASSERT_EQ(n, 20u + 3u + 1u);  // #0A141E is the host's first colour already
  EXPECT_EQ(entries[19].peRed, 255);
  EXPECT_EQ(entries[20].peRed, 10);
  EXPECT_EQ(entries[22].peBlue, 90);
  EXPECT_EQ(entries[23].peRed, 200);
  EXPECT_EQ(entries[23].peGreen, 100);
  delete r;
  g->Release();
  // Registered for all windows: every device now, and those made later.
  ASSERT_EQ(RegisterPaletteImages(0, reinterpret_cast<std::intptr_t>(host), 0), 1);
  EXPECT_EQ(palette->Realize(), host);
  RegisterPaletteImages(0, 0, 0);
  RegisterPaletteImages(reinterpret_cast<std::intptr_t>(window_), 0, 0);
  DeleteObject(host);
}

TEST_F(PictureTest, SetColorChangesShownPixels) {
  DeviceColor* named = device_->GetColor("tomato red");
  device_->BeginDraw();
  device_->FillRect(0, 0, 10, 10, named);
  const std::uint32_t before = page_.At(5, 5);
  ASSERT_EQ(QsSetColor("tomato red", 0, 0, 255), 1);
  device_->FillRect(0, 0, 10, 10, device_->GetColor("tomato red"));
  device_->EndDraw();
  EXPECT_NE(before, 0x0000FFu);
  EXPECT_EQ(page_.At(5, 5), 0x0000FFu);
  EXPECT_EQ(device_->GetColor("tomato red"), named);  // the same entry, redefined
}

}  // namespace
}  // namespace qs
