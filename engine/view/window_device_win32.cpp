#include "view/window_device.h"
#include "view/window_map.h"

namespace qs {

// Until the GDI device stands, host windows get the bookkeeping device.
HostWindowDevice* CreateHostWindowDevice(WindowHandle window, int paletteMode) {
  return new HostWindowDevice(window, paletteMode);
}

}  // namespace qs
