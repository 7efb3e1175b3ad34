// UTF-8 and UTF-16 conversions and FormatString on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "foundation/codepage.h"
#include "foundation/memory.h"
#include "foundation/strings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<char> text(data, data + size);
  text.push_back('\0');
  std::vector<char16_t> wide(size + 1);
  qs::Utf8ToWide(text.data(), wide.data(), wide.size());
  std::vector<char> back(size * 2 + 8);
  qs::WideToUtf8(wide.data(), back.data(), back.size());
  char* ansi = qs::Utf8ToAnsi(text.data());
  if (ansi && ansi != text.data()) qs::MemFree(ansi);
  // The format takes only integers here: every 's' becomes 'd', and it ends
  // before it could ask for more values than are passed.
  int directives = 0;
  for (char& c : text) {
    if (c == 's') c = 'd';
    if (c == '%' && ++directives > 16) c = '\0';
  }
  char out[64];
  qs::FormatString(out, sizeof out, text.data(), 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14,
                   15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32);
  return 0;
}
