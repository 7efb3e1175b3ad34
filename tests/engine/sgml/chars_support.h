// Helpers shared by the decoder, Unicode table and SDATA tests: file bytes,
// the shipped data files, decoding a byte string to a std::string.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sgml/byte_source.h"
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

struct Decoded {
  std::string text;
  int encoding = -1;
};

// Decodes all of `bytes` through OpenDecoder; the source hands out `chunk`
// bytes a refill (0 = all at once).
inline Decoded DecodeAll(const std::string& bytes, int explicitNumber, int defaultNumber,
                         DecodeReporter* reporter = nullptr, std::size_t chunk = 0) {
  auto* src = new MemoryByteSource(bytes.data(), bytes.size(), chunk);
  ByteSource* in = OpenDecoder(src, explicitNumber, defaultNumber, reporter);
  Decoded d;
  d.encoding = in->GetEncoding();
  for (int c; (c = in->GetByte()) >= 0;) d.text.push_back(static_cast<char>(c));
  in->Release();
  src->Release();
  return d;
}

// Loads the shipped tables for the duration of a test.
class ShippedTablesScope {
 public:
  ShippedTablesScope() { LoadUnicodeTables(ShippedTables().c_str(), nullptr, nullptr); }
  ~ShippedTablesScope() { FreeUnicodeTables(); }
};

}  // namespace qs::test
