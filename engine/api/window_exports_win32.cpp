#include <windows.h>

#include "api/exports.h"

// A host hands every message of its engine windows here; what the engine
// does not take, the system's default procedure answers, so a window whose
// procedure is this one behaves as an ordinary window.
extern "C" QsWord QsDefWindowProc(QsWindow window, std::uint32_t message, QsWord wparam,
                                  QsWord lparam) {
  QsWord result = 0;
  if (QsHandleMessage(window, message, wparam, lparam, &result)) return result;
  return DefWindowProcA(reinterpret_cast<HWND>(window), message, static_cast<WPARAM>(wparam),
                        static_cast<LPARAM>(lparam));
}
