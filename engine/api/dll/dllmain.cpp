#include <windows.h>

#include "foundation/callbacks.h"
#include "foundation/module.h"

// Only what is safe under the loader lock happens here; the bitmaps,
// cursors, wheel messages and screen resolution wait for the first
// QsInitialize.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      DisableThreadLibraryCalls(instance);
      qs::ModuleAttached(reinterpret_cast<std::intptr_t>(instance));
      break;
    case DLL_PROCESS_DETACH:
      // Registrations a host left behind go with the library.
      qs::FreeAllCallbacks();
      qs::ModuleDetached(reserved != nullptr);
      break;
    default:
      break;
  }
  return TRUE;
}
