#include "foundation/arena.h"

#include "foundation/memory_pool_internal.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

#include <cstdint>

namespace qs {

#ifdef _WIN32

void* AllocBulkRegion() {
  void* region = VirtualAlloc(nullptr, kBulkRegionBytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  // Locking brings every page in at once (and unlocking leaves them there);
  // where the working-set quota refuses it the pages simply come in on
  // first use.
  if (region && VirtualLock(region, kBulkRegionBytes)) VirtualUnlock(region, kBulkRegionBytes);
  return region;
}

void FreeBulkRegion(void* region) {
  if (region) VirtualFree(region, 0, MEM_RELEASE);
}

// A lock, as for a bulk region, is held to the working-set quota, and under
// Wine it left the process larger by megabytes without a faster load: the
// pages come in on first use.
void BringInPages(void*, std::size_t) {}

#else

namespace {
#ifndef MADV_POPULATE_WRITE
constexpr int MADV_POPULATE_WRITE = 23;  // Linux 5.14; older kernels refuse it harmlessly
#endif
}  // namespace

void* AllocBulkRegion() {
  // Over-map and trim, so that the region lies on a large-page boundary and
  // can be backed by one large page.
  const std::size_t span = 2 * kBulkRegionBytes;
  void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (start + kBulkRegionBytes - 1) & ~(kBulkRegionBytes - 1);
  if (aligned > start) munmap(raw, aligned - start);
  const std::uintptr_t tail = start + span - (aligned + kBulkRegionBytes);
  if (tail) munmap(reinterpret_cast<void*>(aligned + kBulkRegionBytes), tail);
  void* region = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
  madvise(region, kBulkRegionBytes, MADV_HUGEPAGE);
#endif
  madvise(region, kBulkRegionBytes, MADV_POPULATE_WRITE);
  return region;
}

void FreeBulkRegion(void* region) {
  if (region) munmap(region, kBulkRegionBytes);
}

void BringInPages(void* at, std::size_t bytes) {
  constexpr std::uintptr_t kPage = 4096;
  const auto start = reinterpret_cast<std::uintptr_t>(at);
  const std::uintptr_t first = (start + kPage - 1) & ~(kPage - 1);
  const std::uintptr_t end = (start + bytes) & ~(kPage - 1);
  if (!at || end <= first) return;
  madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
}

#endif

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
