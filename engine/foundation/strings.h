// The engine's string toolkit: NUL-terminated byte strings (UTF-8 inside the
// engine), compared and case-mapped through the engine's character table.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>

namespace qs {

// Three rows of 256 bytes indexed by an unsigned byte.
struct CharTable {
  // Row 0 class flags.
  enum : std::uint8_t { kBlank = 0x01, kLetter = 0x02, kNameChar = 0x04, kDigit = 0x08 };
  std::uint8_t classes[256];
  std::uint8_t identity[256];  // byte 1 reads as a blank
  std::uint8_t upper[256];     // ASCII and Latin-1 letters upper-cased; byte 1 a blank
};
extern const CharTable g_charTable;

inline std::uint8_t FoldCase(unsigned char c) { return g_charTable.upper[c]; }
inline bool HasCharClass(unsigned char c, std::uint8_t bits) {
  return (g_charTable.classes[c] & bits) != 0;
}

// Hexadecimal class table: 0x80 and 0x40 mark a hex digit whose value is in
// the low four bits; 0x20 a name character of the image readers; 0x10 tab,
// line feed, carriage return and blank.
struct HexClassTable {
  std::uint8_t v[256];
};
extern const HexClassTable g_hexClass;

// Formats into `dest` of `capacity` bytes (nothing is written when it is 0):
// %%, %c, %s (null prints as ""), and after an optional '0' flag, one width
// digit and an optional 'l': d, u, x, X, o, b. The text is cut at a UTF-8
// character boundary so that it and its NUL fit. Returns the length written.
std::size_t FormatString(char* dest, std::size_t capacity, const char* format, ...);
std::size_t FormatStringV(char* dest, std::size_t capacity, const char* format, std::va_list args);

char* CopyString(char* dest, const char* src);
// At most n-1 bytes and always a NUL (nothing when n is 0).
char* CopyStringMax(char* dest, const char* src, std::size_t n);
std::size_t GetStringLength(const char* s);
// Difference of the first differing bytes taken as signed 8-bit values.
int CompareStrings(const char* a, const char* b);
int CompareStringsMax(const char* a, const char* b, std::size_t n);
int CompareStringNoCase(const char* a, const char* b);
int CompareStringNoCaseMax(const char* a, const char* b, std::size_t n);
// A copy on the engine heap, freed with MemFree; null for null.
char* DuplicateString(const char* s);
char* UppercaseString(char* s);
char* LowercaseString(char* s);
inline char ToLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }
inline char ToUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }
// First occurrence of `c`; searching for 0 gives null.
const char* FindChar(const char* s, char c);
inline char* FindChar(char* s, char c) {
  return const_cast<char*>(FindChar(static_cast<const char*>(s), c));
}
// Decimal text to a signed 32-bit number (leading blanks, one sign, digits);
// out of range saturates, no digits gives 0.
std::int32_t ParseLong(const char* s);
double ParseDouble(const char* s);
bool IsHexNumber(const char* s);
bool IsHexString(const char* s);
// Skips blanks, takes an optional sign, then hex digits; unsigned 32-bit
// arithmetic that wraps.
std::int32_t ParseHex(const char* s);
[[noreturn]] void ExitCurrentThread(unsigned code);

}  // namespace qs
