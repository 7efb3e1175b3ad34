#include "sgml/sdata_table.h"

#include <cstring>

#include "foundation/strings.h"
#include "foundation/stream.h"

namespace qs {

SdataEntry::SdataEntry(const char* name, const char* replacement)
    : name_(DuplicateString(name ? name : "")),
      nameLength_(name_ ? std::strlen(name_) : 0),
      replacement_(DuplicateString(replacement)) {}

SdataEntry::~SdataEntry() {
  MemFree(name_);
  MemFree(replacement_);
}

unsigned SdataBucket(const char* name) {
  std::uint32_t h = 17;
  std::size_t n = std::strlen(name);
  for (std::size_t i = 0; i < n; ++i)
    h += (static_cast<std::uint32_t>(static_cast<unsigned char>(name[i])) + 17) *
         static_cast<std::uint32_t>(n - i + 18);
  return h % 256;
}

SdataTable::SdataTable(const char* path) {
  if (!path) return;
  auto* in = new FileInStream(path, nullptr);
  char magic[7];
  if (in->Read(magic, 7) == 7 && std::memcmp(magic, kSdataMagic, 7) == 0) {
    path_ = DuplicateString(path);
    for (auto& offset : buckets_) offset = in->ReadU24();
  }
  in->Release();
}

SdataTable::~SdataTable() { MemFree(path_); }

SdataTable* CreateSdataTable(const char* sdataHome) {
  if (!sdataHome || !*sdataHome) return new SdataTable(nullptr);
  std::size_t len = std::strlen(sdataHome);
  char last = sdataHome[len - 1];
  bool addSeparator = last != '\\' && last != '/' && last != ':';
  std::size_t nameLength = std::strlen(kSdataFileName);
  char* path = static_cast<char*>(MemAlloc(len + addSeparator + nameLength + 1));
  if (!path) return new SdataTable(nullptr);
  std::memcpy(path, sdataHome, len);
  if (addSeparator) path[len++] = '\\';
  std::memcpy(path + len, kSdataFileName, nameLength + 1);
  auto* table = new SdataTable(path);
  MemFree(path);
  return table;
}

SdataEntry* SdataTable::Lookup(const char* name) const {
  char* found = nullptr;
  std::uint32_t offset = path_ && name ? buckets_[SdataBucket(name)] : 0;
  if (offset) {
    auto* in = new FileInStream(path_, nullptr);
    // Both strings of a record, each at most 1026 bytes and a NUL.
    char* key = static_cast<char*>(MemAlloc(2 * Stream::kStringCapacity));
    if (key && in->Seek(static_cast<std::int32_t>(offset))) {
      char* value = key + Stream::kStringCapacity;
      // The bucket ends with an empty name; the end of the file ends it too.
      while (in->ReadString(key) > 0) {
        in->ReadString(value);
        if (std::strcmp(key, name) == 0) {
          found = DuplicateString(value);
          break;
        }
      }
    }
    MemFree(key);
    in->Release();
  }
  auto* entry = new SdataEntry(name, found);
  MemFree(found);
  return entry;
}

}  // namespace qs
