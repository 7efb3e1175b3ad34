// Pictures on GDI: DIBs with masks, metafiles, the imaging library's
// raster images with their page animation, and the CGM import filter.
#include <windows.h>

#include <cstring>

#include "foundation/engine.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "foundation/win_utils.h"
#include "sgml/entities.h"
#include "sgml/external_id.h"
#include "view/image_readers.h"
#include "view/metafile_head.h"
#include "view/outside_libraries.h"
#include "view/pictures.h"

#include "view/picture_view.h"
#include "view/window_device.h"
#include "view/window_gdi.h"

namespace qs {

namespace {

HDC DeviceDc(OutputDevice* device) {
  return device ? reinterpret_cast<HDC>(device->NativeContext()) : nullptr;
}

// The visible part of a renderer drawn at (x, y): the destination clipped
// to the owner and the matching part of the picture (pictureW x pictureH).
bool VisiblePart(ImageRenderer& r, OutputDevice* device, int x, int y, int w, int h, int pictureW,
                 int pictureH, Rect32* dest, Rect32* source) {
  const Rect32 frame{x, y, x + w, y + h};
  const Rect32 area{0, 0, device->width, device->height};
  return IntersectRects(frame, area, dest, source, pictureW, pictureH) != 0;
}

const BITMAPINFO* Info(const std::uint8_t* block) {
  return reinterpret_cast<const BITMAPINFO*>(block);
}

}  // namespace

void* MakeDibPalette(const std::uint8_t* dib) {
  DibView v = ViewDib(const_cast<std::uint8_t*>(dib));
  if (!dib || v.colorsUsed == 0 || v.colorsUsed > 256) return nullptr;
  struct {
    WORD version, count;
    PALETTEENTRY entries[256];
  } palette{};
  palette.version = 0x300;
  palette.count = static_cast<WORD>(v.colorsUsed);
  for (std::uint32_t i = 0; i < v.colorsUsed; ++i)
    palette.entries[i] = {v.colors[4 * i + 2], v.colors[4 * i + 1], v.colors[4 * i], 0};
  return CreatePalette(reinterpret_cast<LOGPALETTE*>(&palette));
}

void DeletePlatformPalette(void* palette) {
  if (palette) DeleteObject(static_cast<HPALETTE>(palette));
}

void* MakePlatformMetafile(const std::uint8_t* bytes, std::size_t size) {
  if (!bytes || size < kMetaHeaderSize || size > 0x7FFFFFFF) return nullptr;
  return SetMetaFileBitsEx(static_cast<UINT>(size), bytes);
}

void DeletePlatformMetafile(void* metafile) {
  if (metafile) DeleteMetaFile(static_cast<HMETAFILE>(metafile));
}

std::intptr_t ShowWaitCursor() {
  return reinterpret_cast<std::intptr_t>(SetCursor(LoadCursor(nullptr, IDC_WAIT)));
}

void RestoreCursor(std::intptr_t previous) { SetCursor(reinterpret_cast<HCURSOR>(previous)); }

// ---- DIB pictures ----------------------------------------------------------------------

DibImage::~DibImage() {
  if (deviceBitmap) DeleteObject(static_cast<HBITMAP>(deviceBitmap));
}

void DibImage::UsePalette(void*) {
  if (deviceBitmap) DeleteObject(static_cast<HBITMAP>(deviceBitmap));
  deviceBitmap = nullptr;
}

void DibImage::Draw(OutputDevice* device, int x, int y, int highlight) {
  HDC dc = DeviceDc(device);
  auto* image = static_cast<MaskImage*>(graphic);
  if (!dc || !image) return;
  Rect32 dest, src;
  if (!VisiblePart(*this, device, x, y, width, height, image->width, image->height, &dest, &src))
    return;
  const DibView pic = ViewDib(image->picture);
  const int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
  const int dw = dest.right - dest.left, dh = dest.bottom - dest.top;
  const int sw = src.right - src.left, sh = src.bottom - src.top;
  // Rows count from the bottom of the DIB; a button's upper half is its
  // normal look, the lower half the pressed one.
  int srcY = image->height - src.bottom;
  if (image->button && !highlight) srcY += image->height;
  if (image->mask) {
    const DibView m = ViewDib(image->mask);
    StretchDIBits(dc, dest.left, dest.top, dw, dh, src.left, srcY, sw, sh, m.bits,
                  Info(image->mask), DIB_RGB_COLORS, SRCPAINT);
    StretchDIBits(dc, dest.left, dest.top, dw, dh, src.left, srcY, sw, sh, pic.bits,
                  Info(image->picture), DIB_RGB_COLORS, SRCAND);
  } else if (image->strip) {
    StretchDIBits(dc, dest.left, dest.top, dw, dh, src.left + image->width, srcY, sw, sh, pic.bits,
                  Info(image->picture), DIB_RGB_COLORS, SRCPAINT);
    StretchDIBits(dc, dest.left, dest.top, dw, dh, src.left, srcY, sw, sh, pic.bits,
                  Info(image->picture), DIB_RGB_COLORS, SRCAND);
  } else {
    StretchDIBits(dc, dest.left, dest.top, dw, dh, src.left, srcY, sw, sh, pic.bits,
                  Info(image->picture), DIB_RGB_COLORS, SRCCOPY);
  }
  SetStretchBltMode(dc, oldMode);
  if (highlight && !image->button) {
    RECT rc{dest.left, dest.top, dest.right, dest.bottom};
    InvertRect(dc, &rc);
  }
}

void DibImage::DrawStretched(OutputDevice* device, int x, int y, int w, int h) {
  HDC dc = DeviceDc(device);
  auto* image = static_cast<MaskImage*>(graphic);
  if (!dc || !image) return;
  Rect32 dest, src;
  if (!VisiblePart(*this, device, x, y, w, h, image->width, image->height, &dest, &src)) return;
  const int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
  StretchDIBits(dc, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, src.left,
                image->height - src.bottom, src.right - src.left, src.bottom - src.top,
                ViewDib(image->picture).bits, Info(image->picture), DIB_RGB_COLORS, SRCCOPY);
  SetStretchBltMode(dc, oldMode);
}

void DibImage::Print(OutputDevice* device, int x, int y) {
  if (!device) return;
  const int ox = device->GetOriginX(), oy = device->GetOriginY();
  (void)ox, (void)oy;
  DrawStretched(device, x, y, width, height);
}

// ---- Metafiles ------------------------------------------------------------------------------

namespace {

void PlayInto(HDC dc, HMETAFILE metafile, int x, int y, int w, int h) {
  if (!dc || !metafile) return;
  const int saved = SaveDC(dc);
  POINT size{w, h}, zero{0, 0}, at{x, y};
  LPtoDP(dc, &size, 1);
  LPtoDP(dc, &zero, 1);
  LPtoDP(dc, &at, 1);
  SetMapMode(dc, MM_ANISOTROPIC);
  SetViewportExtEx(dc, size.x - zero.x, size.y - zero.y, nullptr);
  SetViewportOrgEx(dc, at.x, at.y, nullptr);
  PlayMetaFile(dc, metafile);
  RestoreDC(dc, saved);
}

}  // namespace

void MetafileImage::Draw(OutputDevice* device, int x, int y, int highlight) {
  HDC dc = DeviceDc(device);
  auto* picture = static_cast<CgmPicture*>(graphic);
  if (!dc || !picture) return;
  PlayInto(dc, static_cast<HMETAFILE>(picture->metafile), x, y, width, height);
  if (highlight) device->InvertRect(x, y, x + width, y + height);
}

void MetafileImage::DrawStretched(OutputDevice* device, int x, int y, int w, int h) {
  HDC dc = DeviceDc(device);
  auto* picture = static_cast<CgmPicture*>(graphic);
  if (!dc || !picture) return;
  Rect32 dest;
  const Rect32 frame{x, y, x + w, y + h}, area{0, 0, device->width, device->height};
  if (IntersectRects(frame, area, &dest, nullptr, 1, 1))
    PatBlt(dc, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, WHITENESS);
  PlayInto(dc, static_cast<HMETAFILE>(picture->metafile), x, y, w, h);
}

void MetafileImage::Print(OutputDevice* device, int x, int y) {
  auto* picture = static_cast<CgmPicture*>(graphic);
  if (picture) PlayInto(DeviceDc(device), static_cast<HMETAFILE>(picture->metafile), x, y, width, height);
}

// ---- The imaging library -------------------------------------------------------------------

namespace {

struct ImagingLibrary {
  HMODULE module = nullptr;
  int state = 0;  // 0 not tried, 1 bound, -1 failed (never retried)
  FARPROC entries[15] = {};
  template <class F>
  F At(int i) const {
    return reinterpret_cast<F>(reinterpret_cast<void*>(entries[i]));
  }
} g_imaging;

enum {
  kDecompress = 0, kDecompressFd = 1, kBitmapInfo = 2, kGetPalette = 4, kGetPages = 5,
  kDelete = 6, kSetCrop = 8, kDisplay = 9, kPrint = 10, kSetRop = 12
};

int ImgDecompressFile(const char* path) {
  return g_imaging.state == 1 ? g_imaging.At<ImgDecompress>(kDecompress)(path) : -1;
}
int ImgDecompressPage(int file, int page) {
  return g_imaging.state == 1 ? g_imaging.At<ImgDecompressFd>(kDecompressFd)(file, 0, page) : -1;
}
void* ImgInfo(int bitmap, int* w, int* h) {
  int bits = 0;
  *w = *h = 0;
  return g_imaging.state == 1 ? g_imaging.At<ImgBitmapInfo>(kBitmapInfo)(bitmap, w, h, &bits)
                              : nullptr;
}
void* ImgPalette(int bitmap) {
  return g_imaging.state == 1 ? g_imaging.At<ImgGetPalette>(kGetPalette)(bitmap) : nullptr;
}
int ImgPages(const char* path) {
  return g_imaging.state == 1 ? g_imaging.At<ImgGetPages>(kGetPages)(path) : 0;
}
int ImgDeleteBitmap(int bitmap) {
  return g_imaging.state == 1 ? g_imaging.At<ImgDelete>(kDelete)(bitmap) : 0;
}
int ImgCrop(int bitmap, int x, int y, int w, int h) {
  return g_imaging.state == 1 ? g_imaging.At<ImgSetCrop>(kSetCrop)(bitmap, x, y, w, h) : 0;
}
int ImgShow(int bitmap, HDC dc, int x, int y, int w, int h) {
  return g_imaging.state == 1 ? g_imaging.At<ImgDisplay>(kDisplay)(bitmap, dc, x, y, w, h) : 0;
}
int ImgPrintBitmap(int bitmap, HDC dc, int x, int y, int w, int h) {
  return g_imaging.state == 1 ? g_imaging.At<ImgDisplay>(kPrint)(bitmap, dc, x, y, w, h) : 0;
}
int ImgRop(int bitmap, std::uint32_t rop) {
  return g_imaging.state == 1 ? g_imaging.At<ImgSetRop>(kSetRop)(bitmap, rop) : 0;
}

// The entity's local file (the host's data copied to a temporary file).
bool LocalFile(EntityDecl* entity, char* out) {
  EngineBase* base = GetEngine();
  HostedEngine* engine = base ? base->AsHosted() : nullptr;
  ExternalId* id = entity ? entity->GetExternalId() : nullptr;
  if (!engine || !id) return false;
  return engine->GetLocalFile(id, out, nullptr) != 0;
}

}  // namespace

bool LoadImagingLibrary() {
  if (g_imaging.state == 0) {
    const UINT oldMode = SetErrorMode(0x8000);
    g_imaging.module = LoadLibraryA(kImagingLibraryName);
    SetErrorMode(oldMode);
    g_imaging.state = -1;
    if (g_imaging.module) {
      g_imaging.state = 1;
      for (int i = 0; i < 15; ++i) {
        g_imaging.entries[i] = GetProcAddress(g_imaging.module, kImagingNames[i]);
        if (!g_imaging.entries[i]) {
          FreeLibrary(g_imaging.module);
          g_imaging.module = nullptr;
          g_imaging.state = -1;
          break;
        }
      }
    }
  }
  return g_imaging.state == 1;
}

void UnloadImagingLibrary() {
  if (g_imaging.module) FreeLibrary(g_imaging.module);
  g_imaging.module = nullptr;
  // A library freed at teardown is not loaded again in this run.
  if (g_imaging.state == 1) g_imaging.state = -1;
}

class RasterImage;

class RasterRenderer : public ImageRenderer {
 public:
  RasterRenderer(RasterImage* image, OutputDevice* owner);
  ~RasterRenderer() override {
    if (deviceBitmap) DeleteObject(deviceBitmap);
  }
  void Draw(OutputDevice* device, int x, int y, int highlight) override;
  void DrawStretched(OutputDevice* device, int x, int y, int w, int h) override;
  void Print(OutputDevice* device, int x, int y) override;
  void UsePalette(void* handle) override {
    if (deviceBitmap) DeleteObject(deviceBitmap);
    deviceBitmap = nullptr;
    palette = static_cast<HPALETTE>(handle);
  }
  void* GetPalette() override;

  HBITMAP deviceBitmap = nullptr;
  HPALETTE palette = nullptr;
  int mode = 0;  // 0 not drawn, 1 at a point, 2 into a rectangle
  int lastHighlight = 0;
};

class RasterImage : public GraphicObject {
 public:
  RasterImage(int picture, int mask, EntityDecl* entity, EntityDecl* maskEntity, const char* key,
              int w, int h, int pages)
      : GraphicObject(entity, maskEntity, nullptr, nullptr, key, w, h),
        bitmap(picture),
        maskBitmap(mask),
        pageCount(pages) {
    palette = static_cast<HPALETTE>(ImgPalette(picture));
    auto data = [&](const char* name) {
      return entity && entity->IsExternal()
                 ? static_cast<ExternalEntityDecl*>(entity)->GetDataAttribute(name)
                 : nullptr;
    };
    if (pageCount > 1) {
      if (const char* speed = data("SPEED")) {
        if (std::strcmp(speed, "0") == 0) {
          pageCount = 0;
          pageTime = 0;
        } else {
          pageTime = ReadPageTime(speed);
        }
      }
    }
    timeLeft = pageTime;
    if (const char* v = data("ISBTN"); v && CompareStringNoCase(v, "ISBTN") == 0) {
      button = true;
      height = static_cast<std::int16_t>(height / 2);
    }
    if (const char* v = data("ISMASK"); v && CompareStringNoCase(v, "ISMASK") == 0) {
      strip = true;
      width = static_cast<std::int16_t>(width / 2);
    }
  }
  ~RasterImage() override {
    ImgDeleteBitmap(bitmap);
    if (maskBitmap >= 0) ImgDeleteBitmap(maskBitmap);
    if (palette) DeleteObject(palette);
  }
  ImageRenderer* MakeRenderer(OutputDevice* owner) override {
    return new RasterRenderer(this, owner);
  }
  int Kind() const override { return 1131; }
  bool Advance();

  int bitmap, maskBitmap;
  int pageCount;
  int page = 0;
  int pageTime = kDefaultPageTime;
  int timeLeft = 0;
  bool button = false, strip = false;
  HPALETTE palette = nullptr;
};

RasterRenderer::RasterRenderer(RasterImage* image, OutputDevice* owner)
    : ImageRenderer(image, owner), palette(image->palette) {}

void* RasterRenderer::GetPalette() { return static_cast<RasterImage*>(graphic)->palette; }

namespace {

void StartAnimation();

}  // namespace

void RasterRenderer::Draw(OutputDevice* device, int x, int y, int highlight) {
  auto* image = static_cast<RasterImage*>(graphic);
  HDC dc = DeviceDc(device);
  lastHighlight = highlight;
  if (!dc || !image) return;
  Rect32 dest, src;
  if (!VisiblePart(*this, device, x, y, width, height, image->width, image->height, &dest, &src))
    return;
  const int dw = dest.right - dest.left, dh = dest.bottom - dest.top;
  const int sw = src.right - src.left, sh = src.bottom - src.top;
  int sy = src.top;
  if (image->button && highlight) sy += image->height;
  if (image->strip) {
    ImgRop(image->bitmap, SRCPAINT);
    ImgCrop(image->bitmap, src.left + image->width + 1, sy, sw, sh);
    ImgShow(image->bitmap, dc, dest.left, dest.top, dw, dh);
    ImgRop(image->bitmap, SRCAND);
    ImgCrop(image->bitmap, src.left, sy, sw, sh);
    ImgShow(image->bitmap, dc, dest.left, dest.top, dw, dh);
  } else if (image->maskBitmap >= 0) {
    ImgRop(image->maskBitmap, SRCPAINT);
    ImgCrop(image->maskBitmap, src.left, sy, sw, sh);
    ImgShow(image->maskBitmap, dc, dest.left, dest.top, dw, dh);
    ImgRop(image->bitmap, SRCAND);
    ImgCrop(image->bitmap, src.left, sy, sw, sh);
    ImgShow(image->bitmap, dc, dest.left, dest.top, dw, dh);
  } else {
    ImgRop(image->bitmap, SRCCOPY);
    ImgCrop(image->bitmap, src.left, sy, sw, sh);
    ImgShow(image->bitmap, dc, dest.left, dest.top, dw, dh);
  }
  if (highlight && !image->button) {
    RECT rc{dest.left, dest.top, dest.right, dest.bottom};
    InvertRect(dc, &rc);
  }
  if (image->pageCount > 1) {
    mode = 1;
    StartAnimation();
  }
}

void RasterRenderer::DrawStretched(OutputDevice* device, int x, int y, int w, int h) {
  auto* image = static_cast<RasterImage*>(graphic);
  HDC dc = DeviceDc(device);
  if (!dc || !image) return;
  Rect32 dest, src;
  if (!VisiblePart(*this, device, x, y, w, h, image->width, image->height, &dest, &src)) return;
  ImgRop(image->bitmap, SRCCOPY);
  ImgCrop(image->bitmap, src.left, src.top, src.right - src.left, src.bottom - src.top);
  ImgShow(image->bitmap, dc, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top);
  if (image->pageCount > 1) {
    mode = 2;
    StartAnimation();
  }
}

void RasterRenderer::Print(OutputDevice* device, int x, int y) {
  auto* image = static_cast<RasterImage*>(graphic);
  HDC dc = DeviceDc(device);
  char path[MAX_PATH * 4];
  if (!dc || !image || !LocalFile(image->entity, path)) return;
  const int ox = device->GetOriginX(), oy = device->GetOriginY();
  const Rect32 frame{x, y, x + width, y + height}, area{ox, oy, ox + device->width, oy + device->height};
  Rect32 dest, src;
  if (!IntersectRects(frame, area, &dest, &src, image->width, image->height)) return;
  int fresh = ImgDecompressFile(path);
  if (fresh < 0) return;
  ImgCrop(fresh, src.left, src.top, src.right - src.left, src.bottom - src.top);
  ImgPrintBitmap(fresh, dc, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top);
  ImgDeleteBitmap(fresh);
}

bool RasterImage::Advance() {
  if (pageCount <= 1 || !renderers) return false;
  if (!AdvancePageCountdown(timeLeft, pageTime)) return true;
  char path[MAX_PATH * 4];
  if (!LocalFile(entity, path)) return true;
  const int file = _lopen(path, 0x40);
  if (file == HFILE_ERROR) return true;
  const int next = (page + 1) % pageCount;
  const int fresh = ImgDecompressPage(file, next);
  _lclose(file);
  if (fresh < 0) return true;  // the page on screen stays
  ImgDeleteBitmap(bitmap);
  bitmap = fresh;
  page = next;
  bool redrew = false;
  for (ImageRenderer* r = renderers; r; r = r->nextOfGraphic) {
    auto* raster = static_cast<RasterRenderer*>(r);
    OutputDevice* device = raster->owner;
    if (!device || !(raster->flags & ImageRenderer::kPlaced) || !raster->mode) continue;
    device->BeginDraw();
    HDC dc = DeviceDc(device);
    HPALETTE old = nullptr;
    if (dc && raster->palette) {
      old = SelectPalette(dc, raster->palette, TRUE);
      RealizePalette(dc);
    }
    if (raster->mode == 1)
      raster->Draw(device, raster->placedX, raster->placedY, raster->lastHighlight);
    else
      raster->DrawStretched(device, raster->placedX, raster->placedY, raster->placedWidth,
                            raster->placedHeight);
    if (dc && old) SelectPalette(dc, old, TRUE);
    device->EndDraw();
    redrew = true;
  }
  return redrew;
}

namespace {

Engine* g_animating = nullptr;

Engine* CurrentEngine() {
  EngineBase* base = GetEngine();
  return base ? base->AsHosted() : nullptr;
}

void StopAnimation(Engine* engine) {
  if (!engine || !engine->timerId) return;
  KillTimer(nullptr, engine->timerId);
  engine->timerId = 0;
  if (g_animating == engine) g_animating = nullptr;
}

void CALLBACK AnimationTick(HWND, UINT, UINT_PTR id, DWORD) {
  Engine* engine = g_animating;
  if (!engine || engine != CurrentEngine()) {
    // A tick without its engine only stops its timer.
    KillTimer(nullptr, id);
    if (engine && engine->timerId == id) engine->timerId = 0;
    return;
  }
  bool animating = false;
  for (GraphicObject* g = GetGraphicCache().First(); g;
       g = static_cast<GraphicObject*>(g->Next()))
    if (g->Kind() == 1131) animating |= static_cast<RasterImage*>(g)->Advance();
  animating |= StepPictureOutlines();
  if (!animating) StopAnimation(engine);
}

void StartAnimation() {
  Engine* engine = CurrentEngine();
  if (!engine || engine->timerId) return;
  g_animating = engine;
  engine->timerId = SetTimer(nullptr, 0, 50, AnimationTick);
}

}  // namespace

void StopPictureTimer() { StopAnimation(CurrentEngine()); }
void StartPictureTimer() { StartAnimation(); }

GraphicObject* LoadRasterImage(EntityDecl* entity, EntityDecl* maskEntity, const char* key) {
  char path[MAX_PATH * 4];
  if (!LoadImagingLibrary() || !LocalFile(entity, path)) return nullptr;
  const int picture = ImgDecompressFile(path);
  if (picture < 0) return nullptr;
  const int pages = ImgPages(path);
  int w = 0, h = 0;
  if (void* dib = ImgInfo(picture, &w, &h)) GlobalFree(dib);  // the packed DIB is ours to free
  if (w <= 0 || h <= 0 || w > 32767 || h > 32767) {
    ImgDeleteBitmap(picture);
    return nullptr;
  }
  int mask = -1;
  char maskPath[MAX_PATH * 4];
  if (maskEntity && LocalFile(maskEntity, maskPath)) mask = ImgDecompressFile(maskPath);
  return new RasterImage(picture, mask, entity, maskEntity, key, w, h, pages);
}

// ---- The CGM import filter ------------------------------------------------------------------

namespace {

struct CgmFilter {
  int iface = -1;  // -1 not tried, 0 unusable, 1 or 2
  HMODULE module = nullptr;
  CgmGetFilterInfo getInfo = nullptr;
  CgmImportGr import = nullptr;
  int dpiX = 96, dpiY = 96;
} g_cgm;

int VersionInterface(HMODULE module) {
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));
  if (!found) return 0;
  HGLOBAL loaded = LoadResource(module, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  const DWORD size = SizeofResource(module, found);
  int iface = data ? CgmInterfaceFromVersion(static_cast<const std::uint8_t*>(data), size) : 0;
  if (loaded) FreeResource(loaded);
  return iface;
}

}  // namespace

int LoadCgmFilter() {
  if (g_cgm.iface >= 0) return g_cgm.iface;
  g_cgm.iface = 0;
  const UINT oldMode = SetErrorMode(0x8000);
  g_cgm.module = LoadLibraryA(kCgmFilterName);
  SetErrorMode(oldMode);
  if (!g_cgm.module) return 0;
  const int iface = VersionInterface(g_cgm.module);
  if (iface == 1 || iface == 2) {
    g_cgm.getInfo = reinterpret_cast<CgmGetFilterInfo>(
        reinterpret_cast<void*>(GetProcAddress(g_cgm.module, "GetFilterInfo")));
    g_cgm.import = reinterpret_cast<CgmImportGr>(
        reinterpret_cast<void*>(GetProcAddress(g_cgm.module, "ImportGR")));
    if (g_cgm.getInfo && g_cgm.import) {
      HDC screen = GetDC(nullptr);
      g_cgm.dpiX = GetDeviceCaps(screen, LOGPIXELSX);
      g_cgm.dpiY = GetDeviceCaps(screen, LOGPIXELSY);
      ReleaseDC(nullptr, screen);
      g_cgm.iface = iface;
      return iface;
    }
  }
  FreeLibrary(g_cgm.module);
  g_cgm.module = nullptr;
  return 0;
}

GraphicObject* ImportCgmPicture(EntityDecl* entity, const char* key) {
  if (LoadCgmFilter() == 0) return nullptr;
  char path[MAX_PATH * 4];
  if (!LocalFile(entity, path)) return nullptr;
  void* settings = nullptr;
  std::uint32_t unused = 0;
  g_cgm.getInfo(1, "NTQVIEW", &settings, &unused);
  if (!settings) return nullptr;
  // The folder: the engine's home, else the folder of the host's module,
  // without its final separator.
  char folder[MAX_PATH * 4] = {};
  EngineBase* base = GetEngine();
  if (base && base->home() && *base->home()) {
    CopyStringMax(folder, base->home(), sizeof folder);
  } else if (Engine* engine = CurrentEngine()) {
    GetModuleFileNameA(reinterpret_cast<HMODULE>(engine->hostInstance()), folder, sizeof folder);
    if (char* slash = std::strrchr(folder, '\\')) *slash = 0;
  }
  std::size_t n = std::strlen(folder);
  while (n && (folder[n - 1] == '\\' || folder[n - 1] == '/')) folder[--n] = 0;
  const char* temp = base ? base->GetTempDir() : "";
  char tempDir[MAX_PATH * 4];
  CopyStringMax(tempDir, temp ? temp : "", sizeof tempDir);
  n = std::strlen(tempDir);
  while (n && (tempDir[n - 1] == '\\' || tempDir[n - 1] == '/')) tempDir[--n] = 0;
  auto* block = static_cast<std::uint8_t*>(GlobalLock(static_cast<HGLOBAL>(settings)));
  const SIZE_T size = GlobalSize(static_cast<HGLOBAL>(settings));
  const bool filled = block && FillCgmSettings(block, size, folder, tempDir);
  if (block) GlobalUnlock(static_cast<HGLOBAL>(settings));
  if (!filled) return nullptr;
  std::uint8_t spec[kCgmFileSpecSize];
  if (!MakeCgmFileSpec(spec, path)) return nullptr;
  CgmPictureInfo info{};
  if (g_cgm.import(nullptr, spec, &info, settings) != 0 || !info.metafile) return nullptr;
  auto metafile = reinterpret_cast<HMETAFILE>(static_cast<std::uintptr_t>(info.metafile));
  std::int16_t w = 0, h = 0;
  if (!CgmPictureSize(info.left, info.top, info.right, info.bottom, info.unitsPerInch, g_cgm.iface,
                      g_cgm.dpiX, g_cgm.dpiY, &w, &h)) {
    DeleteMetaFile(metafile);
    return nullptr;
  }
  return new CgmPicture(metafile, entity, key, w, h);
}

}  // namespace qs
