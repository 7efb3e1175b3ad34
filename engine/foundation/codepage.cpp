#include "foundation/codepage.h"

#include <cstring>

#include "foundation/memory.h"
#include "foundation/platform.h"
#include "foundation/strings.h"
#include "foundation/utf8.h"

namespace qs {

std::size_t Utf8ToWide(const char* text, char16_t* out, std::size_t capacity) {
  if (capacity == 0) return 0;
  std::size_t n = 0;
  const char* p = text;
  const char* end = text + std::strlen(text);
  while (p < end) {
    char32_t cp = DecodeUtf8(p, end);
    if (cp < 0x10000) {
      if (n + 1 >= capacity) break;
      out[n++] = static_cast<char16_t>(cp);
    } else {
      if (n + 2 >= capacity) break;
      cp -= 0x10000;
      out[n++] = static_cast<char16_t>(0xD800 + (cp >> 10));
      out[n++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
  }
  out[n++] = 0;
  return n;
}

std::size_t WideToUtf8(const char16_t* text, char* out, std::size_t capacity) {
  if (capacity == 0) return 0;
  std::size_t n = 0;
  for (const char16_t* p = text; *p;) {
    char32_t cp = *p++;
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      if (*p >= 0xDC00 && *p <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (*p++ - 0xDC00);
      } else {
        cp = kReplacementChar;  // the next unit is read again on its own
      }
    }
    char buf[4];
    int len = EncodeUtf8(cp, buf);
    if (n + len >= capacity) break;
    std::memcpy(out + n, buf, len);
    n += len;
  }
  out[n++] = '\0';
  return n;
}

bool IsPlainAscii(const char* text) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
    if (*p >= 0x80) return false;
  return true;
}

namespace {

// Converts non-ASCII UTF-8 to a new ANSI string.
char* ConvertUtf8ToAnsi(const char* text) {
  std::size_t len = std::strlen(text);
  std::size_t units = len + 1;
  auto* wide = static_cast<char16_t*>(MemAlloc(units * sizeof(char16_t)));
  if (!wide) return nullptr;
  std::size_t wn = Utf8ToWide(text, wide, units);
  std::size_t cap = wn * 4;
  char* out = static_cast<char*>(MemAlloc(cap));
  if (out) {
    int n = platform::WideToAnsi(wide, static_cast<int>(wn), out, static_cast<int>(cap));
    if (n <= 0) n = 1;
    out[n - 1] = '\0';
  }
  MemFree(wide);
  return out;
}

char* ConvertAnsiToUtf8(const char* text) {
  std::size_t len = std::strlen(text);
  auto* wide = static_cast<char16_t*>(MemAlloc((len * 2 + 1) * sizeof(char16_t)));
  if (!wide) return nullptr;
  int wn = platform::AnsiToWide(text, static_cast<int>(len), wide, static_cast<int>(len * 2));
  if (wn < 0) wn = 0;
  wide[wn] = 0;
  std::size_t cap = static_cast<std::size_t>(wn) * 4 + 1;
  char* out = static_cast<char*>(MemAlloc(cap));
  if (out) WideToUtf8(wide, out, cap);
  MemFree(wide);
  return out;
}

}  // namespace

char* Utf8ToAnsi(const char* text) {
  if (!text) return nullptr;
  if (IsPlainAscii(text)) return const_cast<char*>(text);
  return ConvertUtf8ToAnsi(text);
}

char* AnsiToUtf8(const char* text) {
  if (!text) return nullptr;
  if (IsPlainAscii(text)) return const_cast<char*>(text);
  return ConvertAnsiToUtf8(text);
}

char* AnsiToUtf8Copy(const char* text) {
  if (!text) return nullptr;
  return IsPlainAscii(text) ? DuplicateString(text) : ConvertAnsiToUtf8(text);
}

char* Utf8ToAnsiCopy(const char* text) {
  if (!text) return nullptr;
  return IsPlainAscii(text) ? DuplicateString(text) : ConvertUtf8ToAnsi(text);
}

namespace {
template <char* (*Convert)(const char*)>
const char* ConvertInto(char* dest, std::size_t capacity, const char* src, bool always_copy) {
  if (!src) return nullptr;
  if (IsPlainAscii(src)) {
    if (!always_copy) return src;
    return CopyStringMax(dest, src, capacity);
  }
  char* converted = Convert(src);
  if (!converted) return nullptr;
  CopyStringMax(dest, converted, capacity);
  MemFree(converted);
  return dest;
}
}  // namespace

const char* AnsiToUtf8Into(char* dest, std::size_t capacity, const char* src) {
  return ConvertInto<ConvertAnsiToUtf8>(dest, capacity, src, false);
}
const char* Utf8ToAnsiInto(char* dest, std::size_t capacity, const char* src) {
  return ConvertInto<ConvertUtf8ToAnsi>(dest, capacity, src, false);
}
char* AnsiToUtf8Buffer(char* dest, std::size_t capacity, const char* src) {
  return const_cast<char*>(ConvertInto<ConvertAnsiToUtf8>(dest, capacity, src, true));
}
char* Utf8ToAnsiBuffer(char* dest, std::size_t capacity, const char* src) {
  return const_cast<char*>(ConvertInto<ConvertUtf8ToAnsi>(dest, capacity, src, true));
}

}  // namespace qs
