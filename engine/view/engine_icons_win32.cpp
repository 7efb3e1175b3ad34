#include <windows.h>

#include "foundation/engine.h"
#include "foundation/module.h"
#include "view/engine_icons.h"

namespace qs {

void LoadEngineIcons(Engine& engine) {
  const auto host = reinterpret_cast<HINSTANCE>(engine.hostInstance());
  for (int i = 0; i < kIconCount && i < kSharedBitmapCount; ++i) {
    HBITMAP bitmap = host ? LoadBitmapA(host, kSharedBitmapNames[i]) : nullptr;
    if (!bitmap) bitmap = reinterpret_cast<HBITMAP>(Module().sharedBitmaps[i]);
    engine.icons[i] = reinterpret_cast<BitmapHandle>(bitmap);
    BITMAP info{};
    if (bitmap && GetObject(bitmap, sizeof info, &info)) {
      // Two states side by side, two layers one above the other.
      engine.iconHalfWidth[i] = static_cast<std::uint8_t>(info.bmWidth / 2);
      engine.iconHalfHeight[i] = static_cast<std::uint8_t>(info.bmHeight / 2);
      engine.iconEighthHeight[i] = static_cast<std::uint8_t>(info.bmHeight / 8);
    }
  }
  const auto own = reinterpret_cast<HINSTANCE>(GetResourceInstance());
  for (int i = 0; i < kCursorCount; ++i) {
    HCURSOR cursor = host ? LoadCursorA(host, kHitCursorNames[i]) : nullptr;
    if (!cursor && own) cursor = LoadCursorA(own, kHitCursorNames[i]);
    engine.cursors[i] = reinterpret_cast<CursorHandle>(cursor);
  }
}

void FreeEngineIcons(Engine& engine) {
  for (int i = 0; i < kIconCount && i < kSharedBitmapCount; ++i) {
    // The shared bitmaps belong to the library, the host's copies to us.
    if (engine.icons[i] && engine.icons[i] != Module().sharedBitmaps[i])
      DeleteObject(reinterpret_cast<HBITMAP>(engine.icons[i]));
    engine.icons[i] = 0;
  }
  // Cursors from resources are shared by the system and never destroyed.
  for (auto& cursor : engine.cursors) cursor = 0;
}

}  // namespace qs
