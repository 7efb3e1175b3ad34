// The text-bitmap reader on any text: a bitmap, or a refusal.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "tbm_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qs::viewer::TextBitmap b;
  if (qs::viewer::ParseTextBitmap(reinterpret_cast<const char*>(data), size, &b)) {
    if (b.size != 40 + 4u * b.colours + b.RowLength() * b.height) std::abort();
    for (std::size_t i = 0; i < b.RowLength() * b.height; ++i)
      if (b.Pixels()[i] >= b.colours && b.Pixels()[i] != 0) std::abort();
    qs::viewer::FreeTextBitmap(&b);
  }
  return 0;
}
