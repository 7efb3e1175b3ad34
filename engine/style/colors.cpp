#include "style/colors.h"
#include "style/color_names.h"

#include <cstring>

namespace qs {

namespace {

using BuiltinColor = NamedColor;
constexpr const auto& kBuiltins = kNamedColors;

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

std::uint8_t HexByte(char high, char low) {
  return static_cast<std::uint8_t>((HexDigitValue(high) << 4) | HexDigitValue(low));
}

}  // namespace

std::size_t NormalizeColorName(const char* text, char* out) {
  std::size_t n = 0;
  if (text) {
    for (std::size_t i = 0; i < kColorNameMax && text[i]; ++i) {
      char c = text[i];
      if (c == '\t' || c == '\n' || c == '\r' || c == ' ') continue;
      out[n++] = Upper(c);
    }
  }
  out[n] = 0;
  // GREY becomes GRAY wherever it stands; the letters are upper case by now.
  for (char* p = out; (p = std::strstr(p, "GREY")) != nullptr; p += 4) p[2] = 'A';
  return n;
}

std::uint8_t HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
  return 0xC0;
}

bool ParseHexColor(const char* text, std::size_t length, std::uint8_t rgb[3]) {
  if (length < 4 || text[0] != '#') return false;
  const std::size_t k = length / 3;
  if (k < 2) {
    for (int i = 0; i < 3; ++i) rgb[i] = HexByte(text[1 + i], text[1 + i]);
  } else {
    // Three groups of k characters after the "#": the last byte read is at
    // 3k <= length, so nothing past the terminating NUL is read.
    for (int i = 0; i < 3; ++i) {
      const char* group = text + 1 + static_cast<std::size_t>(i) * k;
      rgb[i] = HexByte(group[0], group[1]);
    }
  }
  return true;
}

bool FindBuiltinColor(const char* name, std::uint8_t rgb[3]) {
  for (const BuiltinColor& b : kBuiltins) {
    if (std::strcmp(b.name, name) != 0) continue;
    rgb[0] = static_cast<std::uint8_t>(b.rgb >> 16);
    rgb[1] = static_cast<std::uint8_t>(b.rgb >> 8);
    rgb[2] = static_cast<std::uint8_t>(b.rgb);
    return true;
  }
  return false;
}

std::size_t BuiltinColorCount() { return sizeof kBuiltins / sizeof kBuiltins[0]; }

const char* BuiltinColorName(std::size_t index) {
  return index < BuiltinColorCount() ? kBuiltins[index].name : nullptr;
}

}  // namespace qs
