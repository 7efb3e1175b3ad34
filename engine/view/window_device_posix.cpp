#include "view/window_device.h"
#include "view/window_map.h"

namespace qs {

namespace {
std::intptr_t g_cursor = 0;
}  // namespace

// Natively there is no system cursor: the current one is only remembered.
std::intptr_t SetPlatformCursor(std::intptr_t cursor) {
  const std::intptr_t previous = g_cursor;
  g_cursor = cursor;
  return previous;
}

// Natively a host window draws nothing: the device keeps the bookkeeping.
HostWindowDevice* CreateHostWindowDevice(WindowHandle window, int paletteMode) {
  return new HostWindowDevice(window, paletteMode);
}

}  // namespace qs
