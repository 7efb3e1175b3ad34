// Stands in for CvAccel.exe in the download module's test: records the
// command line it was started with and the parameter file it names (then
// deletes the file, as the accelerator does) in "started.txt" beside itself.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::string line = GetCommandLineA();
  // The parameter file: the first token, or the second after a quoted program.
  std::string rest = line;
  if (!rest.empty() && rest[0] == '"') rest = rest.substr(rest.find('"', 1) + 2);
  std::string file;
  if (!rest.empty() && rest[0] == '"') {
    file = rest.substr(1, rest.find('"', 1) - 1);
  } else {
    file = rest.substr(0, rest.find(' '));
  }
  std::string text;
  HANDLE h = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    char buffer[8192];
    DWORD n = 0;
    if (ReadFile(h, buffer, sizeof buffer, &n, nullptr)) text.assign(buffer, n);
    CloseHandle(h);
    DeleteFileA(file.c_str());
  }
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string record(self);
  record = record.substr(0, record.rfind('\\') + 1) + "started.txt";
  std::string out = line + "\n--\n" + text;
  std::string temporary = record + ".part";
  h = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(h, out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
  CloseHandle(h);
  MoveFileExA(temporary.c_str(), record.c_str(), MOVEFILE_REPLACE_EXISTING);
  return 0;
}
