// Stands in for the external editor: writes its command line to
// "recorded.txt" beside itself and ends.
#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string file(path, n);
  file = file.substr(0, file.find_last_of('\\') + 1) + "recorded.txt";
  if (FILE* out = std::fopen(file.c_str(), "wb")) {
    std::fputs(GetCommandLineA(), out);
    std::fclose(out);
  }
  return 0;
}
