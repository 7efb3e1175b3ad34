// The setup file's LAUNCH scanner and rewriter and the "<url>" scan on any
// input: no overrun, and a rewrite reads back as the new command.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "setup_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  // The first line names the program; the rest is the setup text.
  std::size_t cut = input.find('\n');
  std::string program = cut == std::string::npos ? "C:\\x\\a.exe" : input.substr(0, cut);
  std::string text = cut == std::string::npos ? input : input.substr(cut + 1);
  using namespace qs::viewer;
  ReadLaunchCommand(text, "PDF");
  FindUrlArgument(text);
  auto rewritten = RewriteLaunchCommand(text, "PDF", program);
  if (rewritten && program.find(" \\file") == std::string::npos) {
    if (ReadLaunchCommand(*rewritten, "PDF") != program) std::abort();
  }
  return 0;
}
