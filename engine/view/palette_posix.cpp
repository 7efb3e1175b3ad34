// Without the platform's palettes: nothing to read or make; a palette
// registered for all windows is still remembered and applied.
#include "view/shared_palette.h"

namespace qs {

namespace {
class NoPalettes : public PalettePlatform {
 public:
  int ReadEntries(void*, PaletteRgb*, int) override { return 0; }
  void* Create(const PaletteRgb*, int) override { return nullptr; }
  void Delete(void*) override {}
};
}  // namespace

PalettePlatform& GetPalettePlatform() {
  static NoPalettes platform;
  return platform;
}

std::int32_t RegisterPaletteImages(std::intptr_t window, std::intptr_t palette, std::intptr_t merge) {
  if (window) return 0;
  GetRegisteredPalette() = {reinterpret_cast<void*>(palette), merge == 0};
  for (ViewPalette* p = FirstViewPalette(); p; p = p->nextPalette)
    p->SetPrincipal(reinterpret_cast<void*>(palette), merge == 0);
  return 1;
}

}  // namespace qs
