// A block filled with a pattern that depends on a seed and each byte's
// place, so that blocks handed out twice, overlapping or moved show as a
// pattern that no longer holds.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qs::test {

inline bool Aligned(const void* p) { return reinterpret_cast<std::uintptr_t>(p) % 16 == 0; }

inline void Fill(void* block, std::size_t size, unsigned seed) {
  auto* bytes = static_cast<unsigned char*>(block);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(seed * 31 + i * 7);
}

inline bool Holds(const void* block, std::size_t size, unsigned seed) {
  auto* bytes = static_cast<const unsigned char*>(block);
  for (std::size_t i = 0; i < size; ++i)
    if (bytes[i] != static_cast<unsigned char>(seed * 31 + i * 7)) return false;
  return true;
}

}  // namespace qs::test
