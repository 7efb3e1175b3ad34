// A program an entity's LAUNCH line may start: it writes the command line it
// was given, and the first bytes of the file named last on it, to the file
// named by QS_LAUNCH_LOG, so a test sees what really ran.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

int main() {
  char log[MAX_PATH];
  if (!GetEnvironmentVariableA("QS_LAUNCH_LOG", log, sizeof log)) return 1;
  std::string line = GetCommandLineA();
  std::string record = line + "\n";
  std::size_t blank = line.find_last_of(' ');
  if (blank != std::string::npos) {
    if (FILE* data = std::fopen(line.substr(blank + 1).c_str(), "rb")) {
      char text[256];
      std::size_t n = std::fread(text, 1, sizeof text, data);
      std::fclose(data);
      record.append(text, n);
    }
  }
  // Written beside, then renamed, so the test never reads half a record.
  std::string part = std::string(log) + ".part";
  FILE* out = std::fopen(part.c_str(), "wb");
  if (!out) return 1;
  std::fwrite(record.data(), 1, record.size(), out);
  std::fclose(out);
  return MoveFileA(part.c_str(), log) ? 0 : 1;
}
