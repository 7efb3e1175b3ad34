#include "foundation/memory.h"

#include <cstdlib>
#include <new>

namespace qs {

void* MemAlloc(std::size_t size) {
  if (size == 0) size = 1;
  for (;;) {
    if (void* p = std::malloc(size)) return p;
    std::new_handler handler = std::get_new_handler();
    if (!handler) return nullptr;
    handler();
  }
}

void MemFree(void* block) { std::free(block); }

void* EngineObject::operator new(std::size_t size) {
  if (void* p = MemAlloc(size)) return p;
  throw std::bad_alloc();
}

void* EngineObject::operator new[](std::size_t size) {
  if (void* p = MemAlloc(size)) return p;
  throw std::bad_alloc();
}

}  // namespace qs
