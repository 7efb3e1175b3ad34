// Character decoders on arbitrary bytes: the first byte picks the encoding
// number (or detection) and how many bytes the source hands out a refill;
// every decoder must stop at the end of its source, with Tell inside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/stream.h"
#include "sgml/decoders.h"
#include "sgml/unicode_tables.h"

namespace {

struct Quiet : qs::DecodeReporter {
  void Warning(int, const char*) override {}
};

class ChunkStream : public qs::Stream {
 public:
  ChunkStream(const std::uint8_t* data, std::size_t size, std::size_t chunk)
      : data_(data), size_(size), chunk_(chunk) {}
  bool IsReadable() override { return true; }
  void Refill() override {
    std::size_t take = size_ - next_;
    if (chunk_ && take > chunk_) take = chunk_;
    // The fuzzer's bytes are read only; the stream never writes through
    // its buffer pointers.
    start_ = const_cast<std::uint8_t*>(data_) + next_;
    end_ = start_ + take;
    next_ += take;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t chunk_;
  std::size_t next_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool loaded = [] {
    // The sample home's tables, when the source folder is known.
    if (const char* top = std::getenv("QS_SOURCE_DIR"))
      qs::LoadUnicodeTables((std::string(top) + "/samples/home/qsunicde.dat").c_str());
    return true;
  }();
  (void)loaded;
  if (size == 0) return 0;
  int choice = data[0] % 18;  // 0 detect, 1-16 explicit, 17 out of range
  std::size_t chunk = (data[0] >> 5) & 7;
  Quiet quiet;
  qs::Stream* in = qs::OpenDecoder(new ChunkStream(data + 1, size - 1, chunk),
                                   choice == 17 ? 99 : choice, data[0] % 16, &quiet);
  std::int32_t last = 0;
  for (;;) {
    std::int32_t at = in->Tell();
    if (at < last || at > static_cast<std::int32_t>(size - 1)) std::abort();
    last = at;
    if (in->GetChar() == 0 && in->State() == qs::Stream::kAtEnd) break;
  }
  in->Release();
  return 0;
}
