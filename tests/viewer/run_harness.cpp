// scripts/run without a display: starts corvina.exe on a document, waits
// (bounded) for its main window, leaves a screenshot, closes the viewer.
//   run_harness CORVINA.EXE DOCUMENT PNG-PATH
// Exit code 0 when the main window came up and the viewer ended.
#include <cstdio>
#include <string>

#include "gui_harness.h"

using namespace qs::test::gui;

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: run_harness CORVINA.EXE DOCUMENT PNG-PATH\n");
    return 2;
  }
  std::string program = argv[1];
  std::string folder = program.substr(0, program.find_last_of("\\/") + 1);
  Process viewer;
  if (!viewer.Start(program, "\"" + program + "\" " + argv[2], SW_SHOWNORMAL, folder)) {
    std::fprintf(stderr, "run: %s could not be started\n", argv[1]);
    return 1;
  }
  HWND main = WaitForWindow(viewer.id(), "Qs:MainAppWndCls", "Corvina+ 3.0 for Windows", true,
                            60000);
  if (!main) {
    std::fprintf(stderr, "run: the main window never came up\n%s",
                 DescribeWindows(viewer.id()).c_str());
    viewer.Kill();
    return 1;
  }
  Sleep(1000);  // let it paint
  if (!Screenshot(argv[3])) std::fprintf(stderr, "run: no screenshot\n");
  PostMessageA(main, WM_CLOSE, 0, 0);
  DWORD code = 0;
  if (!viewer.WaitForExit(&code)) {
    std::fprintf(stderr, "run: the viewer did not end\n");
    viewer.Kill();
    return 1;
  }
  std::printf("run: main window came up; screenshot %s; exit code %lu\n", argv[3],
              static_cast<unsigned long>(code));
  return code == 0 ? 0 : 1;
}
