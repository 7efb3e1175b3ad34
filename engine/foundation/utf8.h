// UTF-8 reading and writing shared by the conversions, the cached stream and
// text output.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qs {

constexpr char32_t kReplacementChar = 0xFFFD;

// Number of bytes a sequence with this lead byte claims (1 for ASCII and for
// stray continuation bytes, 2 for 0xC0-0xDF ... 6 for 0xFC-0xFF).
inline int Utf8SequenceLength(unsigned char lead) {
  if (lead < 0xC0) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  if (lead < 0xF8) return 4;
  if (lead < 0xFC) return 5;
  return 6;
}

// Decodes one character from [p, end) and advances p past it. Never reads at
// or past `end`, nor past a NUL inside the sequence. A stray continuation
// byte, or a lead byte whose continuation bytes are missing, gives U+FFFD and
// consumes only that one byte, so what follows is read again on its own.
// Code points above U+10FFFF give U+FFFD.
char32_t DecodeUtf8(const char*& p, const char* end);

// Encodes a code point (below 0x200000; larger values as U+FFFD) into out,
// which needs 4 bytes; returns the bytes written.
int EncodeUtf8(char32_t cp, char* out);

}  // namespace qs
