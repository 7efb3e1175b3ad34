#include "foundation/platform.h"

#include <pthread.h>
#include <cstdio>

namespace qs::platform {

int DefaultMessageSink(void*, std::intptr_t, const char* text, const char* caption,
                       unsigned flags) {
  std::fprintf(stderr, "[%s] %s\n", caption, text);
  if (flags & kMbYesNo) return kIdNo;
  if (flags & kMbOkCancel) return kIdCancel;
  return kIdOk;
}

namespace {
// Windows-1252 at 0x80-0x9F; every other byte is its own code point. The five
// holes map to themselves, as Windows does for MultiByteToWideChar.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
}  // namespace

unsigned AnsiCodePage() { return 1252; }

int AnsiToWide(const char* text, int length, char16_t* out, int capacity) {
  int n = 0;
  for (int i = 0; i < length && n < capacity; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    out[n++] = (c >= 0x80 && c < 0xA0) ? kCp1252High[c - 0x80] : c;
  }
  return n;
}

int WideToAnsi(const char16_t* text, int length, char* out, int capacity) {
  int n = 0;
  for (int i = 0; i < length && n < capacity; ++i) {
    char16_t u = text[i];
    unsigned char c = '?';
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
      c = static_cast<unsigned char>(u);
    } else {
      for (int k = 0; k < 32; ++k)
        if (kCp1252High[k] == u) { c = static_cast<unsigned char>(0x80 + k); break; }
    }
    out[n++] = static_cast<char>(c);
  }
  return n;
}

void ExitCurrentThread(unsigned code) {
  pthread_exit(reinterpret_cast<void*>(static_cast<std::uintptr_t>(code)));
}

}  // namespace qs::platform
