// Blocks for small objects that are made and dropped by the hundred
// thousand and never handed to another thread: a page's display boxes.
// A dropped block goes on a free list of its size, and the next object of
// that size takes it back, so that neither pays the engine heap's lock and
// bookkeeping (under Wine the lock alone cost a tenth of laying out a
// page). Blocks come from regions straight from the system, carved front
// to back; what was taken stays with the lists for reuse, so the memory
// held is what the most objects alive at once needed. Not thread-safe, as
// the layout that uses it is not re-entrant.
#pragma once
#include <cstddef>

namespace qs {

class RecycledBlocks {
 public:
  static constexpr std::size_t kUnit = 16;
  // Larger blocks come from the engine heap and go back to it.
  static constexpr std::size_t kLargest = 256;

  RecycledBlocks() = default;
  RecycledBlocks(const RecycledBlocks&) = delete;
  RecycledBlocks& operator=(const RecycledBlocks&) = delete;
  // Gives the regions back: every block taken must have been given back.
  ~RecycledBlocks();

  // A block of at least `size` bytes (0 is taken as 1), 16-byte aligned;
  // null when memory is exhausted.
  void* Take(std::size_t size);
  // A block from Take with the same `size`; null is ignored.
  void Give(void* block, std::size_t size);

  // Regions taken from the system so far.
  std::size_t RegionCount() const { return regionCount_; }
  // Blocks from the regions taken and not given back.
  std::size_t BlocksOut() const { return out_; }
  // Gives the regions back to the system when no block of them is out (a
  // library unloaded by its host must not leave them behind); true if so.
  bool ReleaseIfUnused();

 private:
  struct FreeBlock {
    FreeBlock* next;
  };
  struct Region {
    Region* previous;
  };
  static std::size_t ClassOf(std::size_t size) { return (size + kUnit - 1) / kUnit; }
  void* Carve(std::size_t bytes);

  FreeBlock* free_[kLargest / kUnit + 1] = {};
  Region* region_ = nullptr;
  char* next_ = nullptr;
  char* end_ = nullptr;
  std::size_t regionCount_ = 0;
  std::size_t out_ = 0;
};

// The display boxes' blocks.
RecycledBlocks& BoxBlocks();

}  // namespace qs
