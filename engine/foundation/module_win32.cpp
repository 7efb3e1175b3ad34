#include <windows.h>

#include <cstring>

#include "foundation/codepage.h"
#include "foundation/memory.h"
#include "foundation/module.h"
#include "foundation/names.h"
#include "sgml/catalog.h"
#include "sgml/entityrc.h"
#include "foundation/platform.h"
#include "foundation/recycled_blocks.h"

namespace qs {

namespace {
ModuleState g_module;

HINSTANCE Instance() { return reinterpret_cast<HINSTANCE>(g_module.engineModule); }

// A value of the version resource's US English / Windows-1252 block.
const char* VersionString(void* block, const char* name) {
  char path[96];
  std::strcpy(path, "\\StringFileInfo\\040904E4\\");
  std::strcat(path, name);
  char* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block, path, reinterpret_cast<void**>(&value), &length) || !value ||
      length == 0) {
    return nullptr;
  }
  return value;
}
}  // namespace

const ModuleState& Module() { return g_module; }
std::intptr_t GetResourceInstance() { return g_module.engineModule; }

void ModuleAttached(std::intptr_t instance) {
  g_module.engineModule = instance;
  // Every engine of the process interns its names in one table.
  if (!g_nameTable) g_nameTable = new NameTable();
  // The platform identifier comes from the kernel, which is safe here.
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (GetVersionExA(&version)) g_module.platformId = static_cast<int>(version.dwPlatformId);
#pragma GCC diagnostic pop
}

void LoadModuleResources() {
  if (g_module.resourcesLoaded) return;
  g_module.resourcesLoaded = true;
  // A missing bitmap or cursor leaves its slot empty; engines fall back.
  if (HINSTANCE instance = Instance()) {
    for (int i = 0; i < kSharedBitmapCount; ++i) {
      g_module.sharedBitmaps[i] =
          reinterpret_cast<std::intptr_t>(LoadBitmapA(instance, kSharedBitmapNames[i]));
    }
    for (int i = 0; i < kWheelCursorCount; ++i) {
      g_module.wheelCursors[i] =
          reinterpret_cast<std::intptr_t>(LoadCursorA(instance, kWheelCursorNames[i]));
    }
    g_module.originBitmap =
        reinterpret_cast<std::intptr_t>(LoadBitmapA(instance, kOriginBitmapName));
  }
  // A wheel driver of the old kind answers how far a notch scrolls.
  if (HWND wheel = FindWindowA("MouseZ", "Magellan MSWHEEL")) {
    UINT query = RegisterWindowMessageA("MSH_SCROLL_LINES_MSG");
    DWORD_PTR lines = 0;
    if (query && SendMessageTimeoutA(wheel, query, 0, 0, SMTO_ABORTIFHUNG, 1000, &lines) &&
        lines != 0) {
      g_module.wheelScrollLines = static_cast<int>(lines);
    }
  }
  g_module.wheelRollMessage = RegisterWindowMessageA("MSWHEEL_ROLLMSG");
  if (HDC screen = GetDC(nullptr)) {
    g_module.screenDpiX = GetDeviceCaps(screen, LOGPIXELSX);
    g_module.screenDpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
}

void ModuleDetached(bool processEnding) {
  if (!processEnding && g_module.resourcesLoaded) {
    for (std::intptr_t& bitmap : g_module.sharedBitmaps) {
      if (bitmap) DeleteObject(reinterpret_cast<HGDIOBJ>(bitmap));
    }
    if (g_module.originBitmap) DeleteObject(reinterpret_cast<HGDIOBJ>(g_module.originBitmap));
    // Cursors loaded from a module are shared and go with it.
  }
  if (!processEnding) {
    // Catalogs and ENTITYRC files hold names: they go before the table.
    GetEntityrcList().Clear();
    GetCatalogList().Clear();
    delete g_nameTable;
    g_nameTable = nullptr;
    // The display boxes' regions, unless a box outlives the library.
    BoxBlocks().ReleaseIfUnused();
  }
  g_module = ModuleState();
}

std::size_t AboutCaptionForFile(const char* path, char* out, std::size_t capacity) {
  DWORD ignored = 0;
  DWORD size = path ? GetFileVersionInfoSizeA(path, &ignored) : 0;
  void* block = size ? MemAlloc(size) : nullptr;
  std::size_t length;
  if (block && GetFileVersionInfoA(path, 0, size, block)) {
    length = ComposeAboutCaption(out, capacity, true, VersionString(block, "ProductName"),
                                 VersionString(block, "FileVersion"));
  } else {
    length = ComposeAboutCaption(out, capacity, false, nullptr, nullptr);
  }
  MemFree(block);
  return length;
}

void ShowAboutBox(std::intptr_t owner) {
  char path[257] = {};
  GetModuleFileNameA(Instance(), path, 256);
  char caption[132];
  AboutCaptionForFile(path, caption, sizeof caption);
  // The sink takes UTF-8; the file name and the version texts are ANSI.
  char text[1024], captionUtf8[512];
  AnsiToUtf8Buffer(text, sizeof text, path);
  AnsiToUtf8Buffer(captionUtf8, sizeof captionUtf8, caption);
  platform::ShowMessage(owner, text, captionUtf8, platform::kMbOk);
}

}  // namespace qs
