#include "foundation/strings.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "foundation/memory.h"
#include "foundation/platform.h"

namespace qs {

namespace {

constexpr bool IsLatin1Letter(int c) {
  return (c >= 192 && c <= 214) || (c >= 216 && c <= 222) || (c >= 224 && c <= 246) ||
         (c >= 248 && c <= 254);
}

constexpr CharTable MakeCharTable() {
  CharTable t{};
  for (int c = 0; c < 256; ++c) {
    std::uint8_t cls = 0;
    bool ascii_letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    bool digit = c >= '0' && c <= '9';
    if (c <= 32) cls |= CharTable::kBlank;
    if (ascii_letter || IsLatin1Letter(c)) cls |= CharTable::kLetter;
    if (ascii_letter || digit || c == '.' || c == '-' || c == '_' || c == ':' || c == '\\')
      cls |= CharTable::kNameChar;
    if (digit) cls |= CharTable::kDigit;
    t.classes[c] = cls;
    t.identity[c] = static_cast<std::uint8_t>(c == 1 ? ' ' : c);
    int up = c;
    if (c >= 'a' && c <= 'z') up = c - 32;
    else if ((c >= 224 && c <= 246) || (c >= 248 && c <= 254)) up = c - 32;
    else if (c == 1) up = ' ';
    t.upper[c] = static_cast<std::uint8_t>(up);
  }
  return t;
}

constexpr HexClassTable MakeHexTable() {
  HexClassTable t{};
  for (int c = 0; c < 256; ++c) {
    std::uint8_t cls = 0;
    if (c >= '0' && c <= '9') cls = 0xC0 | (c - '0');
    else if (c >= 'a' && c <= 'f') cls = 0xC0 | (c - 'a' + 10);
    else if (c >= 'A' && c <= 'F') cls = 0xC0 | (c - 'A' + 10);
    bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if ((c >= '0' && c <= '9') || letter || c == '%' || c == '#' || c == '_' || c == '-' ||
        c == '.')
      cls |= 0x20;
    if (c == '\t' || c == '\n' || c == '\r' || c == ' ') cls |= 0x10;
    t.v[c] = cls;
  }
  return t;
}


// Output with a hard capacity; cuts at a UTF-8 character boundary.
struct Out {
  char* dest;
  std::size_t capacity;  // including the NUL
  std::size_t len = 0;
  bool full = false;

  void Put(char c) {
    if (full) return;
    if (len + 1 >= capacity) {
      full = true;
      return;
    }
    dest[len++] = c;
  }
  void Finish() {
    if (capacity == 0) return;
    if (full) {
      // Drop a trailing partial character: back up over continuation bytes to
      // the lead byte and see whether the whole sequence made it.
      std::size_t i = len;
      while (i > 0 && (static_cast<unsigned char>(dest[i - 1]) & 0xC0) == 0x80) --i;
      if (i > 0) {
        unsigned char lead = static_cast<unsigned char>(dest[i - 1]);
        std::size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (lead >= 0xC0 && len - (i - 1) < need) len = i - 1;
      }
    }
    dest[len] = '\0';
  }
};

}  // namespace

constinit const CharTable g_charTable = MakeCharTable();
constinit const HexClassTable g_hexClass = MakeHexTable();

std::size_t FormatStringV(char* dest, std::size_t capacity, const char* format,
                          std::va_list args) {
  Out out{dest, capacity};
  if (!format) format = "";
  for (const char* p = format; *p && !out.full; ++p) {
    if (*p != '%') {
      out.Put(*p);
      continue;
    }
    const char* directive = p;
    ++p;
    if (*p == '%') {
      out.Put('%');
      continue;
    }
    if (*p == 'c') {
      out.Put(static_cast<char>(va_arg(args, int)));
      continue;
    }
    if (*p == 's') {
      const char* s = va_arg(args, const char*);
      if (s)
        while (*s) out.Put(*s++);
      continue;
    }
    bool zero = false, is_long = false;
    int width = 1;
    if (*p == '0') { zero = true; ++p; }
    if (*p >= '1' && *p <= '9') { width = *p - '0'; ++p; }
    if (*p == 'l') { is_long = true; ++p; }
    unsigned base = 0;
    const char* digits = "0123456789abcdef";
    switch (*p) {
      case 'd': case 'u': base = 10; break;
      case 'x': base = 16; break;
      case 'X': base = 16; digits = "0123456789ABCDEF"; break;
      case 'o': base = 8; break;
      case 'b': base = 2; break;
      default: break;
    }
    if (base == 0) {
      // Not a conversion: the '%' is written and what follows is copied as text.
      out.Put('%');
      p = directive;
      continue;
    }
    // The values are 32-bit; a long argument is read as long and cut to 32 bits.
    std::uint32_t value = is_long ? static_cast<std::uint32_t>(va_arg(args, unsigned long))
                                  : va_arg(args, unsigned);
    bool negative = false;
    if (*p == 'd' && static_cast<std::int32_t>(value) < 0) {
      negative = true;
      value = 0u - value;
    }
    char buf[40];
    int n = 0;
    do {
      buf[n++] = digits[value % base];
      value /= base;
    } while (value);
    int used = n + (negative ? 1 : 0);
    int pad = width > used ? width - used : 0;
    if (zero) {
      if (negative) out.Put('-');
      while (pad-- > 0) out.Put('0');
    } else {
      while (pad-- > 0) out.Put(' ');
      if (negative) out.Put('-');
    }
    while (n > 0) out.Put(buf[--n]);
  }
  out.Finish();
  return out.len;
}

std::size_t FormatString(char* dest, std::size_t capacity, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::size_t n = FormatStringV(dest, capacity, format, args);
  va_end(args);
  return n;
}

char* CopyString(char* dest, const char* src) {
  char* d = dest;
  while ((*d++ = *src++) != '\0') {
  }
  return dest;
}

char* CopyStringMax(char* dest, const char* src, std::size_t n) {
  if (n == 0) return dest;
  std::size_t i = 0;
  for (; i + 1 < n && src[i]; ++i) dest[i] = src[i];
  dest[i] = '\0';
  return dest;
}

std::size_t GetStringLength(const char* s) {
  std::size_t n = 0;
  while (s[n]) ++n;
  return n;
}

namespace {
template <typename Map>
int CompareImpl(const char* a, const char* b, std::size_t n, Map map) {
  for (std::size_t i = 0; i < n; ++i) {
    signed char ca = static_cast<signed char>(map(static_cast<unsigned char>(a[i])));
    signed char cb = static_cast<signed char>(map(static_cast<unsigned char>(b[i])));
    if (ca != cb) return ca - cb;
    if (ca == 0) return 0;
  }
  return 0;
}
const auto kSame = [](unsigned char c) { return c; };
const auto kFold = [](unsigned char c) { return FoldCase(c); };
}  // namespace

int CompareStrings(const char* a, const char* b) { return CompareImpl(a, b, SIZE_MAX, kSame); }
int CompareStringsMax(const char* a, const char* b, std::size_t n) {
  return CompareImpl(a, b, n, kSame);
}
int CompareStringNoCase(const char* a, const char* b) {
  return CompareImpl(a, b, SIZE_MAX, kFold);
}
int CompareStringNoCaseMax(const char* a, const char* b, std::size_t n) {
  return CompareImpl(a, b, n, kFold);
}

char* DuplicateString(const char* s) {
  if (!s) return nullptr;
  std::size_t n = GetStringLength(s) + 1;
  char* d = static_cast<char*>(MemAlloc(n));
  if (d) std::memcpy(d, s, n);
  return d;
}

char* UppercaseString(char* s) {
  for (char* p = s; *p; ++p) *p = static_cast<char>(FoldCase(static_cast<unsigned char>(*p)));
  return s;
}

char* LowercaseString(char* s) {
  for (char* p = s; *p; ++p) *p = ToLowerAscii(*p);
  return s;
}

const char* FindChar(const char* s, char c) {
  if (c == '\0') return nullptr;
  for (; *s; ++s)
    if (*s == c) return s;
  return nullptr;
}

std::int32_t ParseLong(const char* s) {
  errno = 0;
  long long v = std::strtoll(s, nullptr, 10);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(v);
}

double ParseDouble(const char* s) { return std::strtod(s, nullptr); }

bool IsHexNumber(const char* s) {
  for (; *s; ++s)
    if (!(g_hexClass.v[static_cast<unsigned char>(*s)] & 0x80)) return false;
  return true;
}

bool IsHexString(const char* s) {
  for (; *s; ++s)
    if (!(g_hexClass.v[static_cast<unsigned char>(*s)] & 0x40)) return false;
  return true;
}

std::int32_t ParseHex(const char* s) {
  while (g_hexClass.v[static_cast<unsigned char>(*s)] & 0x10) ++s;
  bool negative = false;
  if (*s == '+' || *s == '-') negative = *s++ == '-';
  std::uint32_t value = 0;
  for (;; ++s) {
    std::uint8_t cls = g_hexClass.v[static_cast<unsigned char>(*s)];
    if (!(cls & 0x80)) break;
    value = value * 16 + (cls & 0x0F);
  }
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

void ExitCurrentThread(unsigned code) { platform::ExitCurrentThread(code); }

}  // namespace qs
