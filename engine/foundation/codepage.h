// UTF-8 to and from UTF-16, and through UTF-16 to and from the ANSI code
// page. Plain ASCII is never copied by the converting calls: they return the
// input pointer itself, so callers free a result only when it differs from
// what they passed (with MemFree).
#pragma once
#include <cstddef>

namespace qs {

// Writes UTF-16 units and a terminating 0 into `out` of `capacity` units;
// returns the units written including the 0 (0 when capacity is 0). Text
// that does not fit is cut, never between the two halves of a pair.
std::size_t Utf8ToWide(const char* text, char16_t* out, std::size_t capacity);
// Writes UTF-8 bytes and a NUL into `out` of `capacity` bytes; returns the
// bytes written including the NUL. Cut text ends on a character boundary.
std::size_t WideToUtf8(const char16_t* text, char* out, std::size_t capacity);

// Null for null; the input when it is plain ASCII; else a new string.
char* Utf8ToAnsi(const char* text);
char* AnsiToUtf8(const char* text);
// Always a new string (a converted copy or a duplicate); null for null.
char* AnsiToUtf8Copy(const char* text);
char* Utf8ToAnsiCopy(const char* text);
// When a conversion happens, the result goes into `dest` (cut to `capacity`)
// and `dest` is returned; when none is needed `src` is returned and `dest`
// is left untouched.
const char* AnsiToUtf8Into(char* dest, std::size_t capacity, const char* src);
const char* Utf8ToAnsiInto(char* dest, std::size_t capacity, const char* src);
// Always copies the converted or unchanged text into `dest` (cut to
// `capacity`) and returns it.
char* AnsiToUtf8Buffer(char* dest, std::size_t capacity, const char* src);
char* Utf8ToAnsiBuffer(char* dest, std::size_t capacity, const char* src);

// True when no byte has its top bit set.
bool IsPlainAscii(const char* text);

}  // namespace qs
