// A bump allocator over large chunks, freed only as a whole: the item pool
// of a formatted frame and similar short-lived heaps.
#pragma once
#include <cstddef>

#include "foundation/memory.h"

namespace qs {

// Regions of kBulkRegionBytes straight from the system, for pools that fill
// many megabytes with small items and give them back only as a whole (a
// large document's nodes). A pool that touched its items page by page took
// a page fault per 4 KB, and on a virtual machine those faults cost more
// than building the items: a region asks for large pages where the system
// offers them and has every page present before the first item is made.
// Regions are zero-filled and 16-byte aligned.
constexpr std::size_t kBulkRegionBytes = std::size_t(2) << 20;
// Null when the system refuses the region.
void* AllocBulkRegion();
// Gives back a region from AllocBulkRegion (null is ignored).
void FreeBulkRegion(void* region);
// Has the whole pages inside [at, at + bytes) present at once, contents
// unchanged, for a block of the engine heap that is about to be filled
// from front to back: one system call instead of a page fault per 4 KB.
// Where the system offers no such call (or refuses), the pages come in on
// first use as before.
void BringInPages(void* at, std::size_t bytes);

class GlobalArena : public EngineObject {
 public:
  // A chunk with its header, sized so that the engine heap, which gives a
  // block this large a page of its own behind a 64-byte page header, commits
  // exactly eight 4 KB pages for it: at 32 KB of room, every chunk committed
  // a ninth page nearly empty.
  static constexpr std::size_t kChunkBytes = 32768 - 64;
  static constexpr std::size_t kAlignment = 16;
  // Bytes a chunk hands out; a larger request is refused.
  static constexpr std::size_t kChunkRoom = kChunkBytes - kAlignment;

  GlobalArena() = default;
  GlobalArena(const GlobalArena&) = delete;
  GlobalArena& operator=(const GlobalArena&) = delete;
  virtual ~GlobalArena() { FreeAll(); }

  // `n` bytes (0 is taken as 1) aligned to `alignment` (a power of two up to
  // 16), valid until FreeAll; null when n exceeds a chunk's room or memory is
  // exhausted. Objects that need no more than pointer alignment pass theirs:
  // a 40-byte layout item then takes 40 bytes, not 48.
  // Inline: a formatted manual asks for hundreds of thousands of items, and
  // with constant sizes the checks fold away.
  void* Allocate(std::size_t n, std::size_t alignment = kAlignment) {
    if (alignment - 1 >= kAlignment || (alignment & (alignment - 1))) alignment = kAlignment;
    if (n - 1 >= kChunkRoom) {
      if (n != 0) return nullptr;
      n = 1;
    }
    // Chunks start 16-byte aligned (MemAlloc's blocks are), so an offset
    // aligned within the chunk is an aligned address. Without a chunk the
    // limit is 0.
    const std::size_t at = (used_ + alignment - 1) & ~(alignment - 1);
    if (at + n > limit_) return AllocateInNewChunk(n);
    used_ = at + n;
    return reinterpret_cast<char*>(current_) + at;
  }
  // Frees every chunk, newest first.
  void FreeAll();
  std::size_t ChunkCount() const;

 private:
  struct Chunk {
    Chunk* previous;
  };
  static std::size_t FirstOffset();
  void* AllocateInNewChunk(std::size_t n);

  Chunk* current_ = nullptr;
  std::size_t used_ = 0;   // offset of the next free byte in the chunk
  std::size_t limit_ = 0;  // offset after the chunk's last usable byte
};

}  // namespace qs
