// Holds a Wine prefix's default desktop open for a whole test run.
//   desktop_keeper READY_FILE
// Wine closes a desktop a second after its last program ends and opens it
// again, with a new explorer, for the next program. A program that first
// looks at the desktop while that explorer is still making its windows sees
// the desktop window but not yet the parent of message-only windows, keeps
// that view for good, and cannot make a message-only window. Test programs
// start and end all through a run, so this happens now and then; with the
// desktop held from the start, it is made once, before any test runs.
// Writes READY_FILE once a message-only window could be made, then sleeps
// until the wineserver is stopped.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: desktop_keeper READY_FILE\n");
    return 2;
  }
  // Bounded: 100 tries, 200 ms apart.
  for (int attempt = 0; attempt < 100; ++attempt) {
    HWND probe = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    if (probe) {
      DestroyWindow(probe);
      FILE* ready = std::fopen(argv[1], "wb");
      if (!ready) return 1;
      std::fclose(ready);
      for (;;) Sleep(INFINITE);
    }
    // Setting the thread's desktop again makes the next window look the
    // desktop up afresh.
    SetThreadDesktop(GetThreadDesktop(GetCurrentThreadId()));
    Sleep(200);
  }
  std::fprintf(stderr, "desktop_keeper: no message-only window could be made\n");
  return 1;
}
