// The engine's window registry: one device per host window, keyed by the
// whole window handle (64-bit handles are never cut short), and the lookups
// of a window's view.
#pragma once
#include <cstdint>

#include "foundation/callbacks.h"

namespace qs {

class DocumentView;
class HostWindowDevice;
class ViewWindow;
class WindowDevice;

class WindowMap {
 public:
  static WindowDevice* Find(WindowHandle window);
  // Adds a device; a window already registered keeps its device (false).
  static bool Add(WindowDevice* device);
  static void Remove(WindowDevice* device);
  static std::size_t Count();
  // Engine close: destroys every device (each tells its view).
  static void DestroyAll();
};

// The window's device, made (a HostWindowDevice) and registered when the
// window has none; its current view is detached, `mode` set and the
// scroll state cleared. The caller then makes the view on it.
WindowDevice* AttachWindowDevice(WindowHandle window, std::uint8_t mode, int paletteMode);
// A new host device of the platform's kind (GDI on Windows).
HostWindowDevice* CreateHostWindowDevice(WindowHandle window, int paletteMode);

// The view of that kind shown in the window, or null.
ViewWindow* FindView(WindowHandle window, int kind);
DocumentView* FindDocumentView(WindowHandle window);
ViewWindow* FindPictureView(WindowHandle window);
ViewWindow* FindTreeView(WindowHandle window);

// A registered window's message, for the engine's message hook: 0 when
// handled with `*result` set, 1 when not (also for unregistered windows).
int DispatchWindowMessage(WindowHandle window, unsigned message, std::uintptr_t wParam,
                          std::intptr_t lParam, std::intptr_t* result);

}  // namespace qs
