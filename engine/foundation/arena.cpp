#include "foundation/arena.h"

#include <cstdint>

namespace qs {

namespace {
constexpr std::size_t RoundUp(std::size_t n, std::size_t to) { return (n + to - 1) / to * to; }
}  // namespace

// The chunk's header sits before the first aligned byte.
std::size_t GlobalArena::FirstOffset() { return RoundUp(sizeof(Chunk), kAlignment); }

void* GlobalArena::Allocate(std::size_t n) {
  if (n == 0) n = 1;
  if (n > kChunkRoom) return nullptr;
  n = RoundUp(n, kAlignment);
  if (!current_ || used_ + n > limit_) {
    // One spare alignment step lets the start be aligned whatever the heap
    // gives.
    void* block = MemAlloc(FirstOffset() + kChunkRoom + kAlignment);
    if (!block) return nullptr;
    auto address = reinterpret_cast<std::uintptr_t>(block);
    auto* chunk = static_cast<Chunk*>(block);
    chunk->previous = current_;
    current_ = chunk;
    used_ = FirstOffset() + (RoundUp(address, kAlignment) - address);
    limit_ = used_ + kChunkRoom;
  }
  char* result = reinterpret_cast<char*>(current_) + used_;
  used_ += n;
  return result;
}

void GlobalArena::FreeAll() {
  while (current_) {
    Chunk* previous = current_->previous;
    MemFree(current_);
    current_ = previous;
  }
  used_ = 0;
  limit_ = 0;
}

std::size_t GlobalArena::ChunkCount() const {
  std::size_t count = 0;
  for (Chunk* c = current_; c; c = c->previous) ++count;
  return count;
}

}  // namespace qs
