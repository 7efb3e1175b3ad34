// The Unicode tables file and the SDATA file from arbitrary bytes: loading,
// class lookups, double-byte decoding and SDATA lookups must stay inside
// what the file gives. The first byte says which reader gets the rest.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "foundation/stream.h"
#include "sgml/decoders.h"
#include "sgml/sdata_table.h"
#include "sgml/unicode_tables.h"

namespace {

class BytesStream : public qs::Stream {
 public:
  explicit BytesStream(const char* text) : text_(text) {}
  void Refill() override {
    start_ = reinterpret_cast<std::uint8_t*>(text_.data());
    end_ = start_ + text_.size();
    state_ = kLastBuffer;
  }

 private:
  std::string text_;
};

void DecodeSample(int explicitNumber) {
  qs::Stream* in = qs::OpenDecoder(new BytesStream("\x82\xA0\xA1\xA1\xA4\x40\xFE\xFE\xF9\xFE"),
                                   explicitNumber, 0, nullptr);
  while (!(in->GetChar() == 0 && in->State() == qs::Stream::kAtEnd)) {
  }
  in->Release();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const std::string path = "fuzz-chartables-" + std::to_string(std::rand()) + ".dat";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data + 1, 1, size - 1, f);
  std::fclose(f);
  if (data[0] & 1) {
    qs::LoadUnicodeTables(path.c_str());
    for (char32_t cp : {0x20u, 0x41u, 0x4E00u, 0xFFFFu}) qs::LineBreakClass(cp);
    for (int number : {13, 14, 15}) DecodeSample(number);
    qs::FreeUnicodeTables();
  } else {
    qs::SdataTable table(path.c_str());
    for (const char* name : {"[mdash ]", "a", "", "[amp   ]"}) table.Lookup(name)->Release();
  }
  std::remove(path.c_str());
  return 0;
}
