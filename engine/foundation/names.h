// Interned names and keyword tables. Every markup name, keyword and many
// other strings are stored once in the engine's name table and compared by
// identity; keyword tables map words to a value.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/containers.h"

namespace qs {

class NameTable;

// One interned text: its bytes and a NUL follow the record in the same
// block. The use count is 16-bit; a name used 65,535 times stops counting
// and stays for the life of its table rather than going while still in use.
class InternedName : public HashItem {
 public:
  static constexpr std::uint16_t kSaturated = 0xFFFF;

  const char* GetKey() const override { return Text(); }
  std::size_t GetKeyLength() const override { return length_; }
  ~InternedName() override;

  const char* Text() const { return reinterpret_cast<const char*>(this + 1); }
  std::size_t Length() const { return length_; }
  std::uint16_t UseCount() const { return useCount_; }

  InternedName* AddRef() {
    if (useCount_ != kSaturated) ++useCount_;
    return this;
  }
  // At zero the record is deleted and leaves its table.
  void Release();

 private:
  friend class NameTable;
  InternedName(NameTable* table, std::size_t length, std::uint32_t hash)
      : table_(table), hash_(hash), length_(length) {}
  // A record of `length` bytes copied from `text` (whose HashBytes is
  // `hash`), use count 0; null when memory is exhausted.
  static InternedName* NewNameRecord(NameTable* table, const char* text, std::size_t length,
                                     std::uint32_t hash);

  NameTable* table_;
  std::uint16_t useCount_ = 0;
  // The key's HashBytes, kept so that the table grows and lets a name go
  // without reading its text again.
  std::uint32_t hash_;
  std::size_t length_;
};

// The table of interned names, growing from 512 buckets, not owning its
// records (each record removes itself when its last use goes).
class NameTable : public HashTable {
 public:
  static constexpr int kBuckets = 512;
  NameTable() : HashTable(kBuckets, false, Layout::kGrowing) {}
  // Names still used are cut loose from the table; names that stopped
  // counting go with it.
  ~NameTable() override;

  // The record for exactly these bytes (case kept), made when new, with one
  // more use for the caller; null when memory is exhausted.
  InternedName* Intern(const char* text, std::size_t length);
  InternedName* Intern(const char* text);
  // With `hash` = HashBytes(text, length), computed by the caller.
  InternedName* Intern(const char* text, std::size_t length, std::uint32_t hash);

 protected:
  std::uint32_t ItemHash(const HashItem* item) const override;
  bool ItemIs(const HashItem* item, const void* key, std::size_t length,
              std::uint32_t hash) const override;
};

// The engine's one name table, made and deleted with the engine object.
extern NameTable* g_nameTable;

// A keyword with one value word; its text follows the record.
class KeywordRecord : public HashItem {
 public:
  const char* GetKey() const override { return Text(); }
  std::size_t GetKeyLength() const override { return length_; }

  const char* Text() const { return reinterpret_cast<const char*>(this + 1); }
  std::intptr_t Value() const { return value_; }
  void SetValue(std::intptr_t value) { value_ = value; }

 private:
  friend class KeywordTable;
  KeywordRecord(std::size_t length, std::intptr_t value) : length_(length), value_(value) {}

  std::size_t length_;
  std::intptr_t value_;
};

// A table of keyword records that owns them (the FindValue, FindValueSz and
// AddKeyword of the engine's keyword-holding name tables). Keys match byte
// for byte; callers fold case first where they need it.
class KeywordTable : public HashTable {
 public:
  explicit KeywordTable(int bucketCount) : HashTable(bucketCount, true) {}

  // The value of the keyword, 0 when absent.
  std::intptr_t FindValue(const char* text, std::size_t length) const;
  std::intptr_t FindValueSz(const char* text) const;
  // The record for the text, made with `value` when absent (an existing
  // record keeps its value); null when memory is exhausted.
  KeywordRecord* AddKeyword(const char* text, std::intptr_t value);
  KeywordRecord* AddKeyword(const char* text, std::size_t length, std::intptr_t value);
};

// Writes "<default>", the name shown for an object without one, into the
// buffer (cut to `capacity`) and returns it.
char* DefaultName(char* buffer, std::size_t capacity);

}  // namespace qs
