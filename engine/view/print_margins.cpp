#include "view/print_margins.h"

#include <algorithm>

namespace qs {

namespace {

constexpr std::int32_t kUnset = -31000;

// In 64 bits: a sheet's value times a page size overflows 32.
int Convert(std::int32_t value, int dimension, int dpi, int fallback) {
  if (value == kUnset) return fallback;
  std::int64_t margin = value <= 0 ? -(std::int64_t{dimension} * value / 10000)
                                   : std::int64_t{dpi} * value / 7200;
  margin = std::clamp<std::int64_t>(margin, 0, 1 << 30);
  return static_cast<int>(margin);
}

}  // namespace

PageMargins DefaultPageMargins(int width, int height) {
  return PageMargins{width / 10, height / 20, width / 22, height / 20};
}

PageMargins ComputePageMargins(int width, int height, int dpiX, int dpiY,
                               const std::int32_t* sheet) {
  const PageMargins defaults = DefaultPageMargins(width, height);
  if (!sheet) return defaults;
  PageMargins m;
  m.left = Convert(sheet[0], width, dpiX, defaults.left);
  m.top = Convert(sheet[1], height, dpiY, defaults.top);
  m.right = Convert(sheet[2], width, dpiX, defaults.right);
  m.bottom = Convert(sheet[3], height, dpiY, defaults.bottom);
  if (std::int64_t{width} - m.left - m.right <= std::int64_t{dpiX} * 5 / 72) {
    m.left = defaults.left;
    m.right = defaults.right;
  }
  if (std::int64_t{height} - m.top - m.bottom <= std::int64_t{dpiY} * 5 / 72) {
    m.top = defaults.top;
    m.bottom = defaults.bottom;
  }
  return m;
}

}  // namespace qs
