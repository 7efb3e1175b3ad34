// The SDATA table file "sdata.dat": replacements for the texts of SDATA
// entities (such as "[mdash ]"). Only the path and the bucket index stay in
// memory; each lookup reads one bucket from the file.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/memory.h"

namespace qs {

constexpr const char* kSdataFileName = "sdata.dat";
constexpr char kSdataMagic[] = "SDATA01";  // the first 7 bytes, no NUL

// The result of a lookup: the name and, when the file has a record for it,
// its replacement. Reference-counted; Release deletes it at zero.
class SdataEntry : public EngineObject {
 public:
  SdataEntry(const char* name, const char* replacement);
  SdataEntry(const SdataEntry&) = delete;
  SdataEntry& operator=(const SdataEntry&) = delete;

  const char* Name() const { return name_; }
  std::size_t NameLength() const { return nameLength_; }
  // Null when the name has no replacement.
  const char* Replacement() const { return replacement_; }
  void AddRef() { ++uses_; }
  void Release() {
    if (--uses_ == 0) delete this;
  }

 private:
  ~SdataEntry();
  char* name_;
  std::size_t nameLength_;
  char* replacement_;
  unsigned uses_ = 1;
};

class SdataTable : public EngineObject {
 public:
  // Reads the magic and the bucket index of the file at `path` (UTF-8). A
  // null path, a missing file or another magic leave the table empty,
  // silently.
  explicit SdataTable(const char* path);
  ~SdataTable();
  SdataTable(const SdataTable&) = delete;
  SdataTable& operator=(const SdataTable&) = delete;

  // A new entry for the name, always; its replacement is set when the file
  // has a record of exactly that name (the first one in its bucket).
  SdataEntry* Lookup(const char* name) const;
  bool IsLoaded() const { return path_ != nullptr; }

 private:
  char* path_ = nullptr;
  std::uint32_t buckets_[256] = {};
};

// The engine's table for its SDATAHOME folder: the file "sdata.dat" in that
// folder (a separator is added when the folder lacks one); null or an empty
// folder gives a table without a file.
SdataTable* CreateSdataTable(const char* sdataHome);

// The bucket of a name: the engine's name hash (h = 17; each byte b at index
// i of n adds (b + 17) * (n - i + 18), unsigned 32-bit) modulo 256.
unsigned SdataBucket(const char* name);

}  // namespace qs
