#include "foundation/win_utils.h"

#include <cstdlib>

#include "foundation/memory.h"
#include "foundation/utf8.h"

namespace qs {

namespace {

// (value - origin) * scale / whole, to the nearest whole number, in 64 bits
// so that large coordinates do not overflow.
std::int32_t Scale(std::int64_t value, std::int64_t scale, std::int64_t whole) {
  return static_cast<std::int32_t>((value * scale + whole / 2) / whole);
}

}  // namespace

int IntersectRects(const Rect32& frame, const Rect32& rect, Rect32* outRect, Rect32* outScaled,
                   std::int32_t width, std::int32_t height) {
  std::int64_t frameWidth = std::int64_t{frame.right} - frame.left;
  std::int64_t frameHeight = std::int64_t{frame.bottom} - frame.top;
  if (frameWidth < 1 || frameHeight < 1) return 0;
  Rect32 cut{rect.left > frame.left ? rect.left : frame.left,
             rect.top > frame.top ? rect.top : frame.top,
             rect.right < frame.right ? rect.right : frame.right,
             rect.bottom < frame.bottom ? rect.bottom : frame.bottom};
  if (outRect) *outRect = cut;
  if (cut.left >= cut.right || cut.top >= cut.bottom) return 0;
  if (outScaled) {
    outScaled->left = Scale(std::int64_t{cut.left} - frame.left, width, frameWidth);
    outScaled->right = outScaled->left + Scale(std::int64_t{cut.right} - cut.left, width, frameWidth);
    outScaled->top = Scale(std::int64_t{cut.top} - frame.top, height, frameHeight);
    outScaled->bottom = outScaled->top + Scale(std::int64_t{cut.bottom} - cut.top, height, frameHeight);
  }
  return 1;
}

bool TextOutUtf8(TextOutput& output, int x, int y, const char* text, int length) {
  if (!text || length <= 0) return output.TextOutAnsi(x, y, "", 0);
  bool ascii = true;
  for (int i = 0; i < length && ascii; ++i) ascii = static_cast<unsigned char>(text[i]) < 0x80;
  if (ascii) return output.TextOutAnsi(x, y, text, length);
  // Every character takes at least as many bytes as UTF-16 units: `length`
  // units always suffice.
  auto* units = static_cast<char16_t*>(MemAlloc(static_cast<std::size_t>(length) * sizeof(char16_t)));
  if (!units) return false;
  int n = 0;
  const char* p = text;
  const char* end = text + length;
  while (p < end) {
    unsigned char b = static_cast<unsigned char>(*p);
    char32_t c;
    if (b < 0xC0) {
      c = b;  // ASCII and stray continuation bytes stand for themselves
      ++p;
    } else {
      c = DecodeUtf8(p, end);
    }
    if (c <= 0xFFFF) {
      units[n++] = static_cast<char16_t>(c);
    } else if (c <= 0x10FFFF) {
      c -= 0x10000;
      units[n++] = static_cast<char16_t>(0xD800 + (c >> 10));
      units[n++] = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      units[n++] = static_cast<char16_t>(kReplacementChar);
    }
  }
  bool drawn = output.TextOutWide(x, y, units, n);
  MemFree(units);
  return drawn;
}

const char* GetEnvVar(const char* name) {
  if (!name || !*name) return nullptr;
  return std::getenv(name);
}

}  // namespace qs
