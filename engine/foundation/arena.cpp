#include "foundation/arena.h"

#include "foundation/memory_pool_internal.h"

namespace qs {

namespace {
// `to` is a power of two.
constexpr std::size_t RoundUp(std::size_t n, std::size_t to) { return (n + to - 1) & ~(to - 1); }
}  // namespace

static_assert(GlobalArena::kChunkBytes + mem::detail::kPageHeader == 32768,
              "a chunk and the heap's page header fill eight 4 KB pages");

// The chunk's header sits before the first aligned byte.
std::size_t GlobalArena::FirstOffset() { return RoundUp(sizeof(Chunk), kAlignment); }

void* GlobalArena::AllocateInNewChunk(std::size_t n) {
  void* block = MemAlloc(kChunkBytes);
  if (!block) return nullptr;
  auto* chunk = static_cast<Chunk*>(block);
  chunk->previous = current_;
  current_ = chunk;
  used_ = FirstOffset() + n;
  limit_ = kChunkBytes;
  return reinterpret_cast<char*>(chunk) + FirstOffset();
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
