// The compiled-document writer's object tables: objects in the order first
// added, each found again in constant time, by identity or, for names, by
// their text.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "foundation/containers.h"
#include "foundation/memory.h"

namespace qs {

class PointerIndex {
 public:
  // kText: the objects are C strings, equal when their texts are.
  enum class Identity { kPointer, kText };
  PointerIndex() = default;
  explicit PointerIndex(Identity identity) : byText_(identity == Identity::kText) {}
  ~PointerIndex() {
    MemFree(items_);
    MemFree(slots_);
  }
  PointerIndex(const PointerIndex&) = delete;
  PointerIndex& operator=(const PointerIndex&) = delete;

  std::size_t Count() const { return count_; }
  const void* At(std::size_t i) const { return i < count_ ? items_[i] : nullptr; }
  // False once memory ran out (the table is then incomplete).
  bool Ok() const { return ok_; }

  // The position of the object, -1 when absent.
  int Find(const void* object) const {
    if (!slots_ || !object) return -1;
    for (std::size_t i = Hash(object) & mask_;; i = (i + 1) & mask_) {
      std::uint32_t slot = slots_[i];
      if (slot == 0) return -1;
      if (Same(items_[slot - 1], object)) return int(slot - 1);
    }
  }
  // True when the object was new (null is never added).
  bool Add(const void* object) {
    if (!object || !ok_ || Find(object) >= 0) return false;
    if ((count_ + 1) * 2 > capacity_ && !Grow()) return false;
    items_[count_] = object;
    for (std::size_t i = Hash(object) & mask_;; i = (i + 1) & mask_) {
      if (slots_[i] == 0) {
        slots_[i] = std::uint32_t(count_ + 1);
        break;
      }
    }
    ++count_;
    return true;
  }

 private:
  bool Same(const void* a, const void* b) const {
    if (a == b) return true;
    return byText_ && std::strcmp(static_cast<const char*>(a), static_cast<const char*>(b)) == 0;
  }
  std::size_t Hash(const void* p) const {
    if (byText_) {
      const char* text = static_cast<const char*>(p);
      return HashBytes(text, std::strlen(text));
    }
    auto v = reinterpret_cast<std::uintptr_t>(p);
    v ^= v >> 17;
    v *= 0x9E3779B1u;
    return std::size_t(v ^ (v >> 13));
  }
  bool Grow() {
    std::size_t capacity = capacity_ ? capacity_ * 2 : 64;
    auto** items = static_cast<const void**>(MemAlloc(capacity * sizeof(void*)));
    auto* slots = static_cast<std::uint32_t*>(MemAlloc(capacity * sizeof(std::uint32_t)));
    if (!items || !slots) {
      MemFree(items);
      MemFree(slots);
      ok_ = false;
      return false;
    }
    if (count_) std::memcpy(items, items_, count_ * sizeof(void*));
    std::memset(slots, 0, capacity * sizeof(std::uint32_t));
    MemFree(items_);
    MemFree(slots_);
    items_ = items;
    slots_ = slots;
    capacity_ = capacity;
    mask_ = capacity - 1;
    for (std::size_t k = 0; k < count_; ++k) {
      for (std::size_t i = Hash(items_[k]) & mask_;; i = (i + 1) & mask_) {
        if (slots_[i] == 0) {
          slots_[i] = std::uint32_t(k + 1);
          break;
        }
      }
    }
    return true;
  }

  const void** items_ = nullptr;
  std::uint32_t* slots_ = nullptr;
  std::size_t count_ = 0;
  std::size_t capacity_ = 0;
  std::size_t mask_ = 0;
  bool ok_ = true;
  bool byText_ = false;
};

}  // namespace qs
