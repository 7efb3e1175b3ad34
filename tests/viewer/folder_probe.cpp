// A library with nothing in it: loaded from a folder of a test's own, its
// module handle names that folder as the program's folder.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
