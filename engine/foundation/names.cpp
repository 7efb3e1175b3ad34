#include "foundation/names.h"

#include <cstring>
#include <new>

#include "foundation/memory.h"
#include "foundation/strings.h"

namespace qs {

NameTable* g_nameTable = nullptr;

InternedName* InternedName::NewNameRecord(NameTable* table, const char* text,
                                          std::size_t length, std::uint32_t hash) {
  if (length > static_cast<std::size_t>(-1) - sizeof(InternedName) - 1) return nullptr;
  void* block = MemAlloc(sizeof(InternedName) + length + 1);
  if (!block) return nullptr;
  InternedName* name = new (block) InternedName(table, length, hash);
  char* bytes = reinterpret_cast<char*>(name + 1);
  if (length) std::memcpy(bytes, text, length);
  bytes[length] = '\0';
  return name;
}

InternedName::~InternedName() {
  if (table_) table_->RemoveItem(this);
}

void InternedName::Release() {
  if (useCount_ == kSaturated) return;
  if (useCount_ > 0) --useCount_;
  if (useCount_ == 0) delete this;
}

NameTable::~NameTable() {
  for (HashItem* item = First(); item; item = Next()) {
    auto* name = static_cast<InternedName*>(item);
    RemoveItem(name);
    name->table_ = nullptr;
    if (name->useCount_ == InternedName::kSaturated) delete name;
  }
}

InternedName* NameTable::Intern(const char* text, std::size_t length) {
  return text ? Intern(text, length, HashBytes(text, length)) : nullptr;
}

InternedName* NameTable::Intern(const char* text, std::size_t length, std::uint32_t hash) {
  if (!text) return nullptr;
  auto* name = static_cast<InternedName*>(Find(text, length, hash));
  if (!name) {
    name = InternedName::NewNameRecord(this, text, length, hash);
    if (!name) return nullptr;
    InsertAbsent(name, hash);
  }
  return name->AddRef();
}

std::uint32_t NameTable::ItemHash(const HashItem* item) const {
  return static_cast<const InternedName*>(item)->hash_;
}

bool NameTable::ItemIs(const HashItem* item, const void* key, std::size_t length,
                       std::uint32_t hash) const {
  auto* name = static_cast<const InternedName*>(item);
  return name->hash_ == hash && name->length_ == length &&
         MemEqual(name->Text(), key, length);
}

InternedName* NameTable::Intern(const char* text) {
  return text ? Intern(text, std::strlen(text)) : nullptr;
}

std::intptr_t KeywordTable::FindValue(const char* text, std::size_t length) const {
  auto* record = static_cast<KeywordRecord*>(Find(text, length));
  return record ? record->Value() : 0;
}

std::intptr_t KeywordTable::FindValueSz(const char* text) const {
  return text ? FindValue(text, std::strlen(text)) : 0;
}

KeywordRecord* KeywordTable::AddKeyword(const char* text, std::intptr_t value) {
  return text ? AddKeyword(text, std::strlen(text), value) : nullptr;
}

KeywordRecord* KeywordTable::AddKeyword(const char* text, std::size_t length,
                                        std::intptr_t value) {
  if (auto* found = static_cast<KeywordRecord*>(Find(text, length))) return found;
  if (length > static_cast<std::size_t>(-1) - sizeof(KeywordRecord) - 1) return nullptr;
  void* block = MemAlloc(sizeof(KeywordRecord) + length + 1);
  if (!block) return nullptr;
  KeywordRecord* record = new (block) KeywordRecord(length, value);
  char* bytes = reinterpret_cast<char*>(record + 1);
  if (length) std::memcpy(bytes, text, length);
  bytes[length] = '\0';
  Insert(record, true);
  return record;
}

char* DefaultName(char* buffer, std::size_t capacity) {
  return CopyStringMax(buffer, "<default>", capacity);
}

}  // namespace qs
