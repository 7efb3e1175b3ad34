#include "foundation/recycled_blocks.h"

#include "foundation/arena.h"
#include "foundation/memory.h"

namespace qs {

namespace {
constexpr std::size_t RegionHeader() {
  return (sizeof(void*) + RecycledBlocks::kUnit - 1) / RecycledBlocks::kUnit * RecycledBlocks::kUnit;
}
}  // namespace

RecycledBlocks::~RecycledBlocks() { ReleaseIfUnused(); }

bool RecycledBlocks::ReleaseIfUnused() {
  if (out_ != 0) return false;
  while (region_) {
    Region* previous = region_->previous;
    FreeBulkRegion(region_);
    region_ = previous;
  }
  for (FreeBlock*& list : free_) list = nullptr;
  next_ = end_ = nullptr;
  regionCount_ = 0;
  return true;
}

void* RecycledBlocks::Carve(std::size_t bytes) {
  if (static_cast<std::size_t>(end_ - next_) < bytes) {
    // The rest of the old region is too small for this size: a few bytes
    // lost once per region.
    void* fresh = AllocBulkRegion();
    if (!fresh) return nullptr;
    auto* region = static_cast<Region*>(fresh);
    region->previous = region_;
    region_ = region;
    ++regionCount_;
    next_ = static_cast<char*>(fresh) + RegionHeader();
    end_ = static_cast<char*>(fresh) + kBulkRegionBytes;
  }
  void* block = next_;
  next_ += bytes;
  return block;
}

void* RecycledBlocks::Take(std::size_t size) {
  if (size == 0) size = 1;
  if (size > kLargest) return MemAlloc(size);
  const std::size_t c = ClassOf(size);
  if (FreeBlock* block = free_[c]) {
    free_[c] = block->next;
    ++out_;
    return block;
  }
  void* block = Carve(c * kUnit);
  if (block) ++out_;
  return block;
}

void RecycledBlocks::Give(void* block, std::size_t size) {
  if (!block) return;
  if (size == 0) size = 1;
  if (size > kLargest) {
    MemFree(block);
    return;
  }
  const std::size_t c = ClassOf(size);
  --out_;
  auto* entry = static_cast<FreeBlock*>(block);
  entry->next = free_[c];
  free_[c] = entry;
}

RecycledBlocks& BoxBlocks() {
  // Never destroyed: a box dropped while the process ends (a view a static
  // holds) still finds its list.
  static RecycledBlocks* blocks = new RecycledBlocks;
  return *blocks;
}

}  // namespace qs
