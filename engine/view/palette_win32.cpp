// The shared palette on GDI: palette entries read and made with the
// system's calls, and the registration of a host's principal palette.
#include <windows.h>

#include "view/shared_palette.h"
#include "view/window_device.h"
#include "view/window_gdi.h"
#include "view/window_map.h"

namespace qs {

namespace {

class GdiPalettes : public PalettePlatform {
 public:
  int ReadEntries(void* handle, PaletteRgb* out, int room) override {
    if (!handle) return 0;
    PALETTEENTRY entries[256];
    UINT n = GetPaletteEntries(static_cast<HPALETTE>(handle), 0, room < 256 ? room : 256, entries);
    for (UINT i = 0; i < n; ++i) out[i] = {entries[i].peRed, entries[i].peGreen, entries[i].peBlue};
    return static_cast<int>(n);
  }
  void* Create(const PaletteRgb* colors, int count) override {
    struct {
      WORD version, count;
      PALETTEENTRY entries[256];
    } palette{};
    palette.version = 0x300;
    palette.count = static_cast<WORD>(count);
    for (int i = 0; i < count; ++i) palette.entries[i] = {colors[i].r, colors[i].g, colors[i].b, 0};
    return CreatePalette(reinterpret_cast<LOGPALETTE*>(&palette));
  }
  void Delete(void* handle) override {
    if (handle) DeleteObject(static_cast<HPALETTE>(handle));
  }
};

}  // namespace

PalettePlatform& GetPalettePlatform() {
  static GdiPalettes platform;
  return platform;
}

std::int32_t RegisterPaletteImages(std::intptr_t window, std::intptr_t palette, std::intptr_t merge) {
  const bool alone = merge == 0;
  void* handle = reinterpret_cast<void*>(palette);
  if (!window) {
    GetRegisteredPalette() = {handle, alone};
    for (ViewPalette* p = FirstViewPalette(); p; p = p->nextPalette) p->SetPrincipal(handle, alone);
    return 1;
  }
  WindowDevice* device = WindowMap::Find(static_cast<WindowHandle>(window));
  if (!device) device = AttachWindowDevice(static_cast<WindowHandle>(window), 0, 1);
  ViewPalette* p = device ? WindowDevicePalette(device) : nullptr;
  if (!p) return 0;
  p->SetPrincipal(handle, alone);
  return 1;
}

}  // namespace qs
