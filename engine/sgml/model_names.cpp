#include "sgml/model_names.h"

#include <cstring>

#include "foundation/containers.h"
#include "foundation/strings.h"
#include "sgml/use_count.h"

namespace qs {

// Until the engine's shared name table serves the model, its names live in a
// table of their own: one record per exact text, counted, removed with its
// last use. Callers only ever see the opaque InternedName pointer.
namespace {

class ModelName : public HashItem {
 public:
  static ModelName* New(const char* text, std::size_t length) {
    void* block = MemAlloc(sizeof(ModelName) + length + 1);
    return new (block) ModelName(text, length);
  }
  const char* GetKey() const override { return text_; }
  std::size_t GetKeyLength() const override { return length_; }
  static void operator delete(void* block) noexcept { MemFree(block); }
  static void* operator new(std::size_t, void* where) noexcept { return where; }
  UseCount16 uses;

 private:
  ModelName(const char* text, std::size_t length) : length_(length) {
    std::memcpy(text_, text, length);
    text_[length] = '\0';
  }
  std::size_t length_;
  char text_[1];
};

HashTable& Names() {
  static HashTable* table = new HashTable(512, false);
  return *table;
}

ModelName* Of(const InternedName* name) {
  return reinterpret_cast<ModelName*>(const_cast<InternedName*>(name));
}
InternedName* As(ModelName* name) { return reinterpret_cast<InternedName*>(name); }

}  // namespace

InternedName* InternName(const char* text) {
  if (!text) return nullptr;
  std::size_t length = GetStringLength(text);
  if (auto* found = static_cast<ModelName*>(Names().Find(text, length))) {
    found->uses.Add();
    return As(found);
  }
  ModelName* name = ModelName::New(text, length);
  Names().Insert(name, false);
  return As(name);
}

InternedName* AddNameUse(InternedName* name) {
  if (name) Of(name)->uses.Add();
  return name;
}

void ReleaseName(InternedName* name) {
  if (!name) return;
  ModelName* record = Of(name);
  if (!record->uses.Drop()) return;
  Names().RemoveItem(record);
  delete record;
}

const char* NameText(const InternedName* name) { return name ? Of(name)->GetKey() : nullptr; }
std::size_t NameLength(const InternedName* name) { return name ? Of(name)->GetKeyLength() : 0; }

}  // namespace qs
