// Colour texts: the names the engine knows, "#RGB" and "#RRGGBB" forms, and
// the normalised form under which the engine's colour table keys them.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qs {

// Longest normalised colour name, without its NUL.
inline constexpr std::size_t kColorNameMax = 127;

// Tab, line feed, carriage return and blank removed, GREY written GRAY,
// letters upper case; at most 127 characters of `text` are looked at.
// `out` holds kColorNameMax + 1 bytes; returns the length written.
std::size_t NormalizeColorName(const char* text, char* out);

// "0"-"9" give 0-9, "A"-"F" 10-15; anything else 0xC0.
std::uint8_t HexDigitValue(char c);

// A normalised "#" text as red, green, blue. False, with nothing written,
// for a text that is not one: no "#", or fewer than three digits after it
// (a shorter text would have the digits read past its end).
bool ParseHexColor(const char* normalised, std::size_t length, std::uint8_t rgb[3]);

// One of the built-in names (normalised, exact); false when not built in.
bool FindBuiltinColor(const char* normalised, std::uint8_t rgb[3]);

// How many names are built in, and the name at an index (for listings).
std::size_t BuiltinColorCount();
const char* BuiltinColorName(std::size_t index);

// The colour of a text that is neither a hex form, nor the host's, nor built in.
inline constexpr std::uint8_t kUnknownColor = 0xC0;

}  // namespace qs
