// A bump allocator over large chunks, freed only as a whole: the item pool
// of a formatted frame and similar short-lived heaps.
#pragma once
#include <cstddef>

#include "foundation/memory.h"

namespace qs {

class GlobalArena : public EngineObject {
 public:
  // Bytes a chunk hands out; a larger request is refused.
  static constexpr std::size_t kChunkRoom = 32768;
  static constexpr std::size_t kAlignment = 16;

  GlobalArena() = default;
  GlobalArena(const GlobalArena&) = delete;
  GlobalArena& operator=(const GlobalArena&) = delete;
  virtual ~GlobalArena() { FreeAll(); }

  // `n` bytes (0 is taken as 1) aligned to 16 bytes, valid until FreeAll;
  // null when n exceeds a chunk's room or memory is exhausted.
  void* Allocate(std::size_t n);
  // Frees every chunk, newest first.
  void FreeAll();
  std::size_t ChunkCount() const;

 private:
  struct Chunk {
    Chunk* previous;
  };
  static std::size_t FirstOffset();

  Chunk* current_ = nullptr;
  std::size_t used_ = 0;   // offset of the next free byte in the chunk
  std::size_t limit_ = 0;  // offset after the chunk's last usable byte
};

}  // namespace qs
