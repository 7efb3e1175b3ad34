// Character decoders on arbitrary bytes: the first byte picks the encoding
// number (or detection) and how many bytes the source hands out a refill;
// every decoder must stop at the end of its source, with Tell inside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "sgml/byte_source.h"
#include "sgml/decoders.h"
#include "sgml/unicode_tables.h"

namespace {

struct Quiet : qs::DecodeReporter {
  void Warning(int, const char*) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static bool loaded = [] {
    // The tables file of the sample home, when the fuzzer runs in the tree.
    const char* top = std::getenv("QS_SOURCE_DIR");
    static char path[1024];
    if (top) {
      std::size_t n = 0;
      for (const char* p = top; *p && n < 900; ++p) path[n++] = *p;
      const char* rest = "/samples/home/qsunicde.dat";
      for (const char* p = rest; *p; ++p) path[n++] = *p;
      path[n] = '\0';
      qs::LoadUnicodeTables(path, nullptr, nullptr);
    }
    return true;
  }();
  (void)loaded;
  if (size == 0) return 0;
  int choice = data[0] % 18;  // 0 detect, 1-16 explicit, 17 out of range
  std::size_t chunk = (data[0] >> 5) & 7;
  auto* src = new qs::MemoryByteSource(data + 1, size - 1, chunk);
  Quiet quiet;
  qs::ByteSource* in = qs::OpenDecoder(src, choice == 17 ? 99 : choice, data[0] % 16, &quiet);
  std::uint32_t last = 0;
  for (;;) {
    std::uint32_t at = in->Tell();
    if (at < last || at > size - 1) std::abort();
    last = at;
    if (in->GetByte() < 0) break;
  }
  in->Release();
  src->Release();
  return 0;
}
