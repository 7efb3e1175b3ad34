// Starts this test program again as a child process (for tests that need a
// second process), and waits for it or lets it run alongside.
#include <windows.h>

#include <cstdint>
#include <string>

namespace qs::test {

bool StartThisProgram(const char* arguments, std::intptr_t* process, std::uint32_t* id) {
  char exe[MAX_PATH];
  if (!GetModuleFileNameA(nullptr, exe, MAX_PATH)) return false;
  std::string command = std::string("\"") + exe + "\" " + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(exe, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info))
    return false;
  CloseHandle(info.hThread);
  *process = reinterpret_cast<std::intptr_t>(info.hProcess);
  *id = info.dwProcessId;
  return true;
}

int FinishThisProgram(std::intptr_t process) {
  HANDLE h = reinterpret_cast<HANDLE>(process);
  WaitForSingleObject(h, INFINITE);
  DWORD code = 0;
  if (!GetExitCodeProcess(h, &code)) code = static_cast<DWORD>(-1);
  CloseHandle(h);
  return static_cast<int>(code);
}

int RunThisProgram(const char* arguments) {
  std::intptr_t process = 0;
  std::uint32_t id = 0;
  return StartThisProgram(arguments, &process, &id) ? FinishThisProgram(process) : -1;
}

void SetEnvironment(const char* name, const char* value) {
  SetEnvironmentVariableA(name, value);
  _putenv_s(name, value ? value : "");
}

}  // namespace qs::test
