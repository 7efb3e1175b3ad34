// The outside picture libraries through test stand-ins: each run of this
// program finds the stand-in of QS_PICTURE_LIBS (a folder) first, as a
// process loads a library once and never tries again.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "../../sgml/instance_support.h"
#include "sgml/entities.h"
#include "view/graphic_object.h"
#include "view/pictures.h"
#include "view/window_device.h"
#include "view/window_gdi.h"
#include "view/window_map.h"

namespace qs {
namespace {

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
  }
  ~Page() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  std::uint32_t At(int x, int y) {
    GdiFlush();
    return bits[y * width + x] & 0xFFFFFF;
  }
  int width, height;
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
  std::uint32_t* bits = nullptr;
};

const char* LibraryFolder() { return std::getenv("QS_PICTURE_LIBS"); }

class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* folder = LibraryFolder()) SetDllDirectoryA(folder);
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    folder_ = std::string(temp) + "picture_libs_" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder_.c_str(), nullptr);
  }
  void TearDown() override {
    for (const std::string& f : files_) DeleteFileA(f.c_str());
    RemoveDirectoryA(folder_.c_str());
  }
  std::string Write(const char* name, const std::string& bytes) {
    std::string path = folder_ + name;
    std::ofstream(path, std::ios::binary) << bytes;
    files_.push_back(path);
    for (char& c : path)
      if (c == '\\') c = '/';
    return path;
  }
  std::string folder_;
  std::vector<std::string> files_;
};

// Three 4 x 2 grey pages: 10, 20, 30.
std::string ThreePages() {
  std::string s;
  for (int v : {10, 20, 30}) s += "P5\n4 2\n255\n" + std::string(8, static_cast<char>(v));
  return s;
}

void PumpUntil(const std::function<bool()>& done, int milliseconds) {
  const DWORD end = GetTickCount() + milliseconds;
  while (!done() && GetTickCount() < end) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(5);
  }
}

TEST_F(LibraryTest, StandInTurnsPagesOnTicks) {
  test::EngineScope scope;
  std::string pgm = Write("pages.pgm", ThreePages());
  test::ParsedText p("<!DOCTYPE d [<!NOTATION TIF SYSTEM>"
                     "<!ATTLIST #NOTATION TIF SPEED CDATA #IMPLIED>"
                     "<!ENTITY run SYSTEM \"" + pgm + "\" NDATA TIF>"
                     "<!ENTITY still SYSTEM \"" + pgm + "\" NDATA TIF [SPEED=\"0\"]>"
                     "<!ENTITY gif SYSTEM \"" + Write("x.gif", "GIF89a") + "\" NDATA TIF>"
                     "]><d></d>");
  ASSERT_NE(p.document->FindEntity("run"), nullptr) << p.Messages();
  ASSERT_TRUE(LoadImagingLibrary());
  GraphicObject* still = LoadBmpGraphic(p.document->FindEntity("still"), nullptr, "RGR");
  ASSERT_NE(still, nullptr);
  EXPECT_EQ(still->Kind(), 1131);
  EXPECT_EQ(still->width, 4);
  EXPECT_EQ(LoadBmpGraphic(p.document->FindEntity("gif"), nullptr, "RGR"), nullptr);

  GraphicObject* run = GetGraphicCache().Get(p.document, nullptr, p.document->FindEntity("run"),
                                             "RGR", nullptr, true);
  ASSERT_NE(run, nullptr);
  Page page(40, 20);
  WindowDevice* device = AttachWindowDevice(0, 0x2A, 1);
  ASSERT_NE(device, nullptr);
  device->width = 40, device->height = 20;
  SetWindowDeviceDc(device, page.dc);
  ImageRenderer* moving = run->MakeScreenRenderer(device);
  ImageRenderer* resting = still->MakeScreenRenderer(device);
  moving->Place(0, 0, 4, 2);
  resting->Place(10, 0, 4, 2);
  device->DrawRenderer(moving, 0, 0, 0);
  device->DrawRenderer(resting, 10, 0, 0);
  EXPECT_EQ(page.At(1, 1), 0x0A0A0Au);
  EXPECT_EQ(page.At(11, 1), 0x0A0A0Au);
  EXPECT_NE(scope.engine().timerId, 0u);
  // Ten ticks of 50 ms: the next page.
  PumpUntil([&] { return page.At(1, 1) != 0x0A0A0Au; }, 3000);
  EXPECT_EQ(page.At(1, 1), 0x141414u);
  PumpUntil([&] { return page.At(1, 1) != 0x141414u; }, 3000);
  EXPECT_EQ(page.At(1, 1), 0x1E1E1Eu);
  EXPECT_EQ(page.At(11, 1), 0x0A0A0Au);  // SPEED "0": the first page stays
  delete moving;
  delete resting;
  // No renderer left: the next tick stops the timer.
  PumpUntil([&] { return scope.engine().timerId == 0; }, 3000);
  EXPECT_EQ(scope.engine().timerId, 0u);
  run->Release();
  still->Release();
  SetWindowDeviceDc(device, nullptr);
  WindowMap::DestroyAll();
  DestroyGraphicCache();
}

TEST_F(LibraryTest, LibraryLackingANameIsAbsentForGood) {
  test::EngineScope scope;
  EXPECT_FALSE(LoadImagingLibrary());
  EXPECT_EQ(GetModuleHandleA("SNBD6W9S.DLL"), nullptr);  // freed again
  EXPECT_FALSE(LoadImagingLibrary());
  // BMP pictures still read with the engine's reader.
  std::string bmp = Write("one.bmp", std::string("BM\x42\0\0\0\0\0\0\0\x3e\0\0\0", 14) +
                                         std::string("\x28\0\0\0\1\0\0\0\1\0\0\0\1\0\x08\0", 16) +
                                         std::string(16, '\0') + std::string("\2\0\0\0", 4) +
                                         std::string(4, '\0') + std::string(8, '\0') +
                                         std::string(4, '\1'));
  test::ParsedText p("<!DOCTYPE d [<!NOTATION BMP SYSTEM><!ENTITY b SYSTEM \"" + bmp +
                     "\" NDATA BMP>]><d></d>");
  GraphicObject* g = LoadBmpGraphic(p.document->FindEntity("b"), nullptr, "BMP");
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->Kind(), 0);
  g->Release();
}

TEST_F(LibraryTest, CgmFilterVersions) {
  test::EngineScope scope;
  const char* expect = std::getenv("QS_CGM_EXPECT");
  ASSERT_NE(expect, nullptr);
  const int wanted = std::atoi(expect);
  DeleteFileA("cgm_calls.log");
  EXPECT_EQ(LoadCgmFilter(), wanted);
  EXPECT_EQ(LoadCgmFilter(), wanted);
  std::string plain = Write("pic.cgm", "BEGMF"), reversed = Write("reversed.cgm", "BEGMF");
  test::ParsedText p("<!DOCTYPE d [<!NOTATION CGM SYSTEM><!ENTITY c SYSTEM \"" + plain +
                     "\" NDATA CGM><!ENTITY r SYSTEM \"" + reversed + "\" NDATA CGM>]><d></d>");
  GraphicObject* c = ImportCgmPicture(p.document->FindEntity("c"), "CGM");
  GraphicObject* r = ImportCgmPicture(p.document->FindEntity("r"), "CGM");
  if (wanted == 0) {
    EXPECT_EQ(c, nullptr);
    EXPECT_EQ(r, nullptr);
    EXPECT_EQ(GetFileAttributesA("cgm_calls.log"), INVALID_FILE_ATTRIBUTES);
    return;
  }
  ASSERT_NE(c, nullptr);
  ASSERT_NE(r, nullptr);
  HDC screen = GetDC(nullptr);
  const int dpiX = GetDeviceCaps(screen, LOGPIXELSX), dpiY = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(c->width, 2 * dpiX);
  EXPECT_EQ(c->height, dpiY);
  EXPECT_EQ(r->width, c->width);
  EXPECT_EQ(r->height, c->height);
  c->Release();
  r->Release();
  std::ifstream in("cgm_calls.log");
  std::string log((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(log.find("GetFilterInfo 1 NTQVIEW"), std::string::npos) << log;
  EXPECT_NE(log.find("|font=C:\\Home\\ntq_font.cfg|folder=C:\\Home|"), std::string::npos) << log;
  EXPECT_NE(log.find("ntq_logg.txt|value=2|size=1546"), std::string::npos) << log;
  EXPECT_NE(log.find("pic.cgm|"), std::string::npos) << log;
}

}  // namespace
}  // namespace qs
