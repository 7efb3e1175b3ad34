#include "foundation/memory.h"

#include <cstdlib>
#include <new>

#include "foundation/memory_pool.h"

namespace qs {

#if QS_MEM_PASSTHROUGH
// Sanitizer builds: every block straight from malloc, so that AddressSanitizer
// watches each one. The manager itself is still built and tested directly.
void* MemAlloc(std::size_t size) {
  if (size == 0) size = 1;
  for (;;) {
    if (void* p = std::malloc(size)) return p;
    std::new_handler handler = std::get_new_handler();
    if (!handler) return nullptr;
    handler();
  }
}

void* MemAllocZeroed(std::size_t size) {
  if (size == 0) size = 1;
  for (;;) {
    if (void* p = std::calloc(1, size)) return p;
    std::new_handler handler = std::get_new_handler();
    if (!handler) return nullptr;
    handler();
  }
}

void MemFree(void* block) { std::free(block); }
#else
void* MemAlloc(std::size_t size) { return mem::RtMalloc(size); }

void* MemAllocZeroed(std::size_t size) { return mem::RtCalloc(1, size); }

void MemFree(void* block) {
  if (block) mem::Free(block);
}
#endif

void* EngineObject::operator new(std::size_t size) {
  if (void* p = MemAlloc(size)) return p;
  throw std::bad_alloc();
}

void* EngineObject::operator new[](std::size_t size) {
  if (void* p = MemAlloc(size)) return p;
  throw std::bad_alloc();
}

}  // namespace qs
