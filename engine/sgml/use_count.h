// Use counts of the document model. A 16-bit count that reaches its top
// stays there: the object then lives until the process ends instead of
// being freed while some of its users still hold it.
#pragma once
#include <cstdint>

namespace qs {

class UseCount16 {
 public:
  static constexpr std::uint16_t kStuck = 0xFFFF;
  std::uint16_t Get() const { return n_; }
  void Add() {
    if (n_ != kStuck) ++n_;
  }
  // True when the last use went: the caller deletes the object.
  bool Drop() {
    if (n_ == kStuck || n_ == 0) return false;
    return --n_ == 0;
  }

 private:
  std::uint16_t n_ = 1;
};

// Takes a use of a counted object for a new holder; null stays null.
template <typename T>
T* TakeUse(T* object) {
  if (object) object->AddRef();
  return object;
}

class UseCount32 {
 public:
  std::uint32_t Get() const { return n_; }
  void Add() {
    if (n_ != 0xFFFFFFFFu) ++n_;
  }
  bool Drop() {
    if (n_ == 0xFFFFFFFFu || n_ == 0) return false;
    return --n_ == 0;
  }

 private:
  std::uint32_t n_ = 1;
};

}  // namespace qs
