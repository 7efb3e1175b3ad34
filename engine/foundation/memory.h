// The engine's heap: every engine allocation comes from MemAlloc and goes
// back through MemFree. Classes of the engine derive from EngineObject so
// that their new and delete use the same heap.
#pragma once
#include <cstddef>

namespace qs {

// A block of at least `size` bytes (0 is taken as 1), 16-byte aligned;
// null when memory stays exhausted.
void* MemAlloc(std::size_t size);
// The same, zero-filled. A large block comes fresh from the system, which
// clears it already, and is not written over again: a large document's
// pool takes its chunks so and fills them item after item.
void* MemAllocZeroed(std::size_t size);
// Gives a block back; null is ignored.
void MemFree(void* block);

struct EngineObject {
  static void* operator new(std::size_t size);
  static void* operator new[](std::size_t size);
  static void operator delete(void* block) noexcept { MemFree(block); }
  static void operator delete[](void* block) noexcept { MemFree(block); }
  // Placement form, for objects laid into memory their owner manages.
  static void* operator new(std::size_t, void* where) noexcept { return where; }
  static void operator delete(void*, void*) noexcept {}
};

}  // namespace qs
