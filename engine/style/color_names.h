// The colour names the engine knows, as a plain table the viewer shares:
// looked up in this order, the first exact match of a normalised name wins.
#pragma once
#include <cstdint>

namespace qs {

struct NamedColor {
  const char* name;
  std::uint32_t rgb;
};

inline constexpr NamedColor kNamedColors[] = {
    {"BLACK", 0x000000},      {"DARKRED", 0x800000},   {"DARKGREEN", 0x008000},
    {"DARKYELLOW", 0x808000}, {"DARKBLUE", 0x000080},  {"DARKMAGENTA", 0x800080},
    {"DARKCYAN", 0x008080},   {"LIGHTGRAY", 0xC0C0C0}, {"MONEYGREEN", 0xC0DCC0},
    {"SKYBLUE", 0xA6CAF0},    {"CREAM", 0xFFFBF0},     {"MEDIUMGRAY", 0x808080},
    {"RED", 0xFF0000},        {"LIME", 0x00FF00},      {"YELLOW", 0xFFFF00},
    {"BLUE", 0x0000FF},       {"MAGENTA", 0xFF00FF},   {"CYAN", 0x00FFFF},
    {"WHITE", 0xFFFFFF},      {"MAROON", 0x800000},    {"GREEN", 0x008000},
    {"OLIVE", 0x808000},      {"NAVY", 0x000080},      {"PURPLE", 0x800080},
    {"TEAL", 0x008080},       {"GRAY", 0x808080},      {"SILVER", 0xC0C0C0},
    {"DARKGRAY", 0x404040},   {"FUCHSIA", 0xFF00FF},   {"AQUA", 0x00FFFF},
};

}  // namespace qs
