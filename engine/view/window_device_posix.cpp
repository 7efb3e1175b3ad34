#include "view/window_device.h"
#include "view/window_map.h"

namespace qs {

// Natively a host window draws nothing: the device keeps the bookkeeping.
HostWindowDevice* CreateHostWindowDevice(WindowHandle window, int paletteMode) {
  return new HostWindowDevice(window, paletteMode);
}

}  // namespace qs
