// Times the viewer's Copy on a whole large document: the document shown
// with a sheet in a window of this process, all of it selected, and the
// selection put on the clipboard as text and as "Rich Text Format"; prints
// the time, the rich text's size and the memory the copy took at its peak.
//   rtf_bench [-c CATALOG] [-s SHEET] FILE
// A benchmark tool (scripts/bench_rtf), not a test; Windows only.
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine.h"
#include "viewer.h"

namespace eng = qs::viewer::engine;
using qs::viewer::W;

namespace {

LRESULT CALLBACK ViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return eng::QsDefWindowProc(W(window), std::uint32_t{message}, QsWord(wParam), QsWord(lParam));
}

std::size_t ClipboardSize(UINT format) {
  std::size_t size = 0;
  if (!OpenClipboard(nullptr)) return 0;
  if (HANDLE data = GetClipboardData(format))
    if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
      size = strnlen(bytes, GlobalSize(data));
      GlobalUnlock(data);
    }
  CloseClipboard();
  return size;
}

// Under Wine the program is a Linux process: its resident memory now and at
// its peak, in bytes, from the kernel's status file (0 where there is none).
std::size_t LinuxMemory(const char* key) {
  FILE* f = std::fopen("Z:\\proc\\self\\status", "r");
  if (!f) return 0;
  char line[256];
  std::size_t kb = 0;
  const std::size_t n = std::strlen(key);
  while (std::fgets(line, sizeof line, f))
    if (std::strncmp(line, key, n) == 0 && line[n] == ':') kb = std::strtoull(line + n + 1, nullptr, 10);
  std::fclose(f);
  return kb * 1024;
}

std::size_t PeakCommitted() {
  PROCESS_MEMORY_COUNTERS counters{};
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.PeakPagefileUsage;
}

}  // namespace

int main(int argc, char** argv) {
  const char* catalog = nullptr;
  const char* sheetFile = nullptr;
  const char* file = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-c") == 0 && i + 1 < argc) catalog = argv[++i];
    else if (std::strcmp(argv[i], "-s") == 0 && i + 1 < argc) sheetFile = argv[++i];
    else file = argv[i];
  }
  if (!file) {
    std::fprintf(stderr, "usage: rtf_bench [-c CATALOG] [-s SHEET] FILE\n");
    return 2;
  }
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  if (!eng::QsInitialize(reinterpret_cast<QsWord>(GetModuleHandleA(nullptr)), "rtf_bench", catalog,
                         nullptr, nullptr, temp, nullptr)) {
    std::fprintf(stderr, "rtf_bench: no engine\n");
    return 1;
  }
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ViewProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "RtfBenchView";
  RegisterClassA(&wc);
  HWND window = CreateWindowA("RtfBenchView", "rtf", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr,
                              nullptr, wc.hInstance, nullptr);
  QsHandle document = eng::QsParseDocument(file, nullptr, QsHandle{0}, nullptr, QsWord{0});
  QsHandle sheet = sheetFile ? eng::QsOpenStyleSheet(sheetFile, nullptr, nullptr, QsWord{0}) : 0;
  int result = 1;
  if (!document || !window ||
      !eng::QsDisplay(W(window), document, sheet, QsHandle{0}, QsWindow{0}, QsHandle{0},
                      QsHandle{0}, std::int32_t{0})) {
    std::fprintf(stderr, "rtf_bench: %s not shown (document %u, window %p)\n", file,
                 static_cast<unsigned>(document), static_cast<void*>(window));
  } else {
    QsHandle root = eng::QsGetDocumentRoot(document);
    std::int32_t start = 0, length = 0;
    eng::QsGetNodeRange(root, &start, &length);
    eng::QsReleaseHandle(root);
    eng::QsAddSelectionRange(W(window), start, length);
    // Wine counts no private usage: the resident memory of the process, now
    // and at its peak after the copy, says what the copy took at most.
    const std::size_t before = PeakCommitted();
    const std::size_t residentBefore = LinuxMemory("VmRSS");
    const auto began = std::chrono::steady_clock::now();
    qs::viewer::CopySelectionAsRtf(window);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    const std::size_t peak = PeakCommitted();
    const std::size_t rtf = ClipboardSize(RegisterClipboardFormatA("Rich Text Format"));
    const std::size_t text = ClipboardSize(CF_TEXT);
    const double taken = peak > before ? static_cast<double>(peak - before) : 0.0;
    const std::size_t residentPeak = LinuxMemory("VmHWM");
    const double resident = residentPeak > residentBefore ? static_cast<double>(residentPeak - residentBefore) : 0.0;
    std::printf("copy=%.3f s rtf=%zu bytes text=%zu bytes peak-commit-rise=%.1f MB "
                "resident-peak-over-start=%.1f MB (%.2f x the rtf)\n",
                seconds, rtf, text, taken / 1e6, resident / 1e6,
                rtf ? resident / static_cast<double>(rtf) : 0.0);
    result = rtf && text ? 0 : 1;
  }
  if (window) {
    eng::QsDetachWindowView(W(window));
    DestroyWindow(window);
  }
  if (sheet) eng::QsReleaseHandle(sheet);
  if (document) eng::QsReleaseHandle(document);
  eng::QsTerminate();
  return result;
}
