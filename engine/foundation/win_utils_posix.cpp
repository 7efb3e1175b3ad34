#include <unistd.h>

#include <cstdlib>

#include "foundation/win_utils.h"

namespace qs {

bool TextOutUtf8(std::intptr_t, int, int, const char*, int) { return false; }

void* AllocGlobalBlock(std::size_t size) { return std::malloc(size ? size : 1); }

void FreeGlobalBlock(void* pointer) { std::free(pointer); }

char* GetCurrentDir(char* buffer, std::size_t size) {
  if (!buffer || size == 0) return nullptr;
  return getcwd(buffer, size);
}

}  // namespace qs
