// Picture files of any bytes through the BMP, XBM and XPM readers: a
// block comes back or null, and every pixel and mask bit of a block that
// came back can be read within it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>

#include "foundation/engine_lists.h"
#include "foundation/entity_storage.h"
#include "foundation/win_utils.h"
#include "view/image_readers.h"

namespace {

void Walk(std::uint8_t* block, bool mask) {
  if (!block) return;
  qs::DibView v = qs::ViewDib(block, mask);
  if (v.width < 1 || v.height < 1 || v.width > qs::kBmpMaxSide || v.height > qs::kBmpMaxSide)
    std::abort();
  if (mask && !v.maskBits) std::abort();
  // Touch the corners and the last byte: ASan catches a block too small.
  unsigned sum = 0;
  for (int y : {0, v.height - 1})
    for (int x : {0, v.width - 1}) sum += qs::DibPixelIndex(v, x, y) + qs::DibMaskBit(v, x, y);
  volatile std::uint8_t last = block[qs::DibBlockSize(block, mask) - 1];
  (void)last, (void)sum;
  qs::FreeGlobalBlock(block);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  {
    qs::MemoryInStream s(bytes, size, "fuzz");
    Walk(qs::ReadBmp(s), false);
  }
  {
    qs::MemoryInStream s(bytes, size, "fuzz");
    Walk(qs::ReadXbm(s), false);
  }
  for (bool wanted : {true, false}) {
    qs::MemoryInStream s(bytes, size, "fuzz");
    qs::ColorTable colors;
    bool mask = false;
    std::uint8_t* block = qs::ReadXpm(s, colors, wanted, &mask);
    if (mask && !wanted) std::abort();
    Walk(block, mask);
  }
  return 0;
}
