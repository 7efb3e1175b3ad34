// What the engine library keeps for the whole process, before any engine
// object exists and after the last one is gone: its own module, the shared
// bitmaps and cursors every engine falls back to, the mouse-wheel messages,
// the screen resolution and the platform identifier. Also the About box.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qs {

inline constexpr int kSharedBitmapCount = 13;
inline constexpr int kWheelCursorCount = 9;
// Resource names, in slot order.
extern const char* const kSharedBitmapNames[kSharedBitmapCount];
extern const char* const kOriginBitmapName;
extern const char* const kWheelCursorNames[kWheelCursorCount];  // 3 x 3, row by row

struct ModuleState {
  std::intptr_t engineModule = 0;  // the library's own module; 0 outside the DLL
  std::intptr_t sharedBitmaps[kSharedBitmapCount] = {};
  std::intptr_t originBitmap = 0;
  std::intptr_t wheelCursors[kWheelCursorCount] = {};
  int wheelScrollLines = 3;        // lines for one notch of the wheel
  unsigned wheelRollMessage = 0;   // the registered "MSWHEEL_ROLLMSG"
  int screenDpiX = 72;
  int screenDpiY = 72;
  int platformId = 0;              // 0 Win32 subset, 1 Windows 95/98, 2 NT
  bool resourcesLoaded = false;
};
const ModuleState& Module();

// The module that holds the library's own resources (dialog templates,
// bitmaps, cursors): the library once it is known, else 0.
std::intptr_t GetResourceInstance();

// The library's entry point, on process attach: remembers the module and
// asks the platform identifier. Nothing here may wait on another thread,
// window or device: the loader lock is held.
void ModuleAttached(std::intptr_t instance);
// The rest of the start-up: the shared bitmaps and cursors, the wheel
// messages and the screen resolution. Done once, by the first engine start
// (QsInitialize), outside the loader lock.
void LoadModuleResources();
// Unloading: gives the shared bitmaps and cursors back. `processEnding`:
// the process is going, and the system takes everything back itself.
void ModuleDetached(bool processEnding);

// The About box caption of a file: its version resource's ProductName
// followed by " ver " and FileVersion (the latter two only when the file
// version is there), or "Quenda Scrivox" when the file has no version
// resource. Null texts are missing values. Cut to `capacity` - 1 bytes.
std::size_t ComposeAboutCaption(char* out, std::size_t capacity, bool hasVersionResource,
                                const char* productName, const char* fileVersion);
// The same read from the file at `path` (ANSI).
std::size_t AboutCaptionForFile(const char* path, char* out, std::size_t capacity);
// The About box: the library's full file name, captioned as above, owned
// by `owner`, through the message sink.
void ShowAboutBox(std::intptr_t owner);

}  // namespace qs
