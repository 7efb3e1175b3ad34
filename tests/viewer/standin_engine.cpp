// A stand-in for QSENGINE.DLL, built from export_table.h: every export
// exists (unless the build leaves one out) and answers 0; the ones the
// viewer's start and end call write a line each to "calls.log" beside the
// DLL, with the arguments that matter. The compatibility text is the
// build's STANDIN_COMPATIBILITY.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

HMODULE g_module = nullptr;
std::string g_catalog;

void Log(const std::string& line) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(g_module, path, MAX_PATH);
  std::string file(path, n);
  file = file.substr(0, file.find_last_of('\\') + 1) + "calls.log";
  if (FILE* out = std::fopen(file.c_str(), "ab")) {
    std::fprintf(out, "%s\n", line.c_str());
    std::fclose(out);
  }
}

std::string Text(std::intptr_t value) {
  if (value == 0) return "0";
  if (value == 1) return "1";
  return reinterpret_cast<const char*>(value);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

#ifndef STANDIN_NO_COMPATIBILITY
extern "C" const char* QsGetCmptlNo() { return STANDIN_COMPATIBILITY; }
#endif
extern "C" const char* QsGetTextVersion() { return "stand-in"; }

using W = std::intptr_t;

extern "C" W QsInitialize(W, W title, W catalog, W entityrc, W setup, W temp, W home) {
  g_catalog = Text(catalog);
  Log("QsInitialize|" + Text(title) + "|" + Text(catalog) + "|" + Text(entityrc) + "|" +
      Text(setup) + "|" + Text(temp) + "|" + Text(home));
  return 1;
}
extern "C" W QsTerminate() {
  Log("QsTerminate");
  return 0;
}
extern "C" W QsSetCharset(W charset) {
  Log("QsSetCharset|" + std::to_string(static_cast<int>(charset)));
  return 0;
}
extern "C" W QsRegisterNotation(W key, W notation, W system, W publicId) {
  Log("QsRegisterNotation|" + Text(key) + "|" + Text(notation) + "|" + Text(system) + "|" +
      Text(publicId));
  return 0;
}
extern "C" W QsSetCallback(W window, W event, W, W data) {
  Log("QsSetCallback|" + std::string(window ? "window" : "0") + "|" +
      std::to_string(static_cast<int>(event)) + "|" + std::to_string(data));
  return 0;
}
extern "C" W QsSetMainWindow(W window) {
  Log(std::string("QsSetMainWindow|") + (window ? "window" : "0"));
  return 0;
}
extern "C" W QsOpenFileDialog(W, W, W, W) {
  Log("QsOpenFileDialog");
  return 0;
}
extern "C" W QsGetCatalogFile(W buffer, W size) {
  Log("QsGetCatalogFile");
  if (!buffer || size <= 0 || g_catalog.size() >= static_cast<std::size_t>(size)) return 0;
  std::strcpy(reinterpret_cast<char*>(buffer), g_catalog.c_str());
  return buffer;
}
extern "C" W QsDefWindowProc(W window, W message, W wparam, W lparam) {
  return DefWindowProcA(reinterpret_cast<HWND>(window), static_cast<UINT>(message),
                        static_cast<WPARAM>(wparam), static_cast<LPARAM>(lparam));
}

// Every other export answers 0.
#define QS_SPECIAL_QsInitialize
#define QS_EXPORT(number, bytes, function, group, failure) \
  extern "C" W Standin_##function() { return 0; }
#include "api/export_table.h"
