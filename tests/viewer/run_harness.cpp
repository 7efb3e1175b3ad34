// scripts/run without a display: starts corvina.exe on a document, waits
// (bounded) for its main window and for its main view to show the document,
// leaves a screenshot, closes the viewer.
//   run_harness CORVINA.EXE DOCUMENT PNG-PATH
// Exit code 0 when the main window came up and the viewer ended; a main view
// that shows no text within the bound is reported, not failed (an engine
// without its document views draws nothing).
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
  // The main view is the first document window; it shows the document
  // once the engine has formatted and painted it.
  HWND view = FindWindowExA(main, nullptr, "Qs:DocWndCls", nullptr);
  std::size_t bands = 0;
  DWORD start = GetTickCount();
  bool shown = view && WaitUntil([&] {
    bands = IsWindowVisible(view) ? DarkBands(view).size() : 0;
    return bands >= 2;
  }, 15000);
  std::printf("run: main view %s after %lu ms (%zu text bands)\n",
              shown ? "shows the document" : "shows no text", GetTickCount() - start, bands);
  Sleep(500);  // let the other panes paint
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
