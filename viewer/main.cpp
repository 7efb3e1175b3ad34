// corvina.exe: the viewer. It links no engine code: QSENGINE.DLL is loaded
// and bound by name when the engine starts.
#include <windows.h>

#include "viewer.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  return qs::viewer::RunViewer(instance, previous, commandLine, show);
}
