// Helpers shared by the decoder, Unicode table and SDATA tests: file bytes,
// the shipped data files, a memory stream, decoding a byte string, and a
// recorder of engine errors.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "foundation/engine_services.h"
#include "foundation/stream.h"
#include "sgml/decoders.h"
#include "sgml/unicode_tables.h"

namespace qs::test {

inline std::string SourceDir() {
  const char* dir = std::getenv("QS_SOURCE_DIR");
  return dir ? dir : ".";
}
inline std::string ShippedTables() { return SourceDir() + "/samples/home/qsunicde.dat"; }
inline std::string ShippedSdata() { return SourceDir() + "/samples/home/sdata.dat"; }
inline std::string TestData(const std::string& name) {
  return SourceDir() + "/tests/engine/sgml/data/" + name;
}

inline bool ReadBytes(const std::string& path, std::string* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Bytes in memory handed out `chunk` bytes a refill (0 = all at once), so
// readers are tried across buffer boundaries.
class MemoryStream : public Stream {
 public:
  MemoryStream(std::string bytes, std::size_t chunk) : bytes_(std::move(bytes)), chunk_(chunk) {}
  bool IsReadable() override { return true; }
  void Refill() override {
    std::size_t take = bytes_.size() - next_;
    if (chunk_ && take > chunk_) take = chunk_;
    start_ = reinterpret_cast<std::uint8_t*>(bytes_.data()) + next_;
    end_ = start_ + take;
    next_ += take;
  }

 private:
  std::string bytes_;
  std::size_t chunk_;
  std::size_t next_ = 0;
};

struct Decoded {
  std::string text;
  int encoding = -1;
};

// Decodes all of `bytes` through OpenDecoder.
inline Decoded DecodeAll(const std::string& bytes, int explicitNumber, int defaultNumber,
                         DecodeReporter* reporter = nullptr, std::size_t chunk = 0) {
  Stream* in = OpenDecoder(new MemoryStream(bytes, chunk), explicitNumber, defaultNumber, reporter);
  Decoded d;
  d.encoding = in->GetEncoding();
  for (;;) {
    int c = in->GetChar();
    if (c == 0 && in->State() == Stream::kAtEnd) break;
    d.text.push_back(static_cast<char>(c));
  }
  in->Release();
  return d;
}

// Stands in for the engine object while it lives: records engine errors and
// answers the load encoding setting with `loadEncoding`.
class RecordingServices : public EngineServices {
 public:
  explicit RecordingServices(int loadEncoding = 0)
      : loadEncoding_(loadEncoding), previous_(SetEngineServices(this)) {}
  ~RecordingServices() override { SetEngineServices(previous_); }
  void ReportError(int code, std::intptr_t a, std::intptr_t, std::intptr_t,
                   std::intptr_t) override {
    errors.emplace_back(code, a ? reinterpret_cast<const char*>(a) : "");
  }
  int GetLoadEncoding() override { return loadEncoding_; }
  std::vector<std::pair<int, std::string>> errors;

 private:
  int loadEncoding_;
  EngineServices* previous_;
};

// Loads the shipped tables for the duration of a test.
class ShippedTablesScope {
 public:
  ShippedTablesScope() { LoadUnicodeTables(ShippedTables().c_str()); }
  ~ShippedTablesScope() { FreeUnicodeTables(); }
};

}  // namespace qs::test
