// Inspection of pools: walking block by block, checking a whole pool and
// checking one pointer. Every address is validated against the pool's own
// records before it is read, so damaged pools are reported, never followed
// into a fault or an endless loop.
#include <cstring>

#include "foundation/memory_pool.h"
#include "foundation/memory_pool_internal.h"

namespace qs::mem {

using namespace detail;

namespace {

constexpr std::uint32_t kPageEnd = 0xFFFFFFFFu;

enum class Step { kBlock, kEnd, kDamage };

bool OwnPage(Pool* pool, const void* page) {
  if (!IsManagedPage(page)) return false;
  auto* p = static_cast<const Page*>(page);
  return (p->word & kPageMagicMask) == kPageMagic && PageType(p) < kPageTypes && p->pool == pool;
}

std::uint32_t FirstOffset(Page* page) {
  switch (PageType(page)) {
    case kPageMedium:
    case kPageHandle:
      return kMediumFirst;
    default:
      return kPageHeader;
  }
}

bool FixedChainHolds(Page* page, std::uint32_t at, bool* damaged) {
  const std::uint32_t blocks = (page->fixed.end - kPageHeader) / page->fixed.stride;
  std::uint32_t seen = 0;
  for (std::uint32_t link = page->fixed.free; link; ++seen) {
    if (seen >= blocks || link < kPageHeader || link >= page->fixed.end ||
        (link - kPageHeader) % page->fixed.stride) {
      *damaged = true;
      return false;
    }
    if (link == at) return true;
    link = *reinterpret_cast<std::uint32_t*>(Base(page) + link);
  }
  return false;
}

// Fills `entry` with the block at offset `at` of `page`.
Step BlockAt(Pool* pool, Page* page, std::uint32_t at, WalkEntry* entry) {
  entry->pool = pool;
  entry->position = page;
  entry->handle = nullptr;
  entry->lock_count = 0;
  switch (PageType(page)) {
    case kPageMedium:
    case kPageHandle: {
      const std::uint32_t end = page->medium.end;
      if (end >= page->bytes || end < kMediumFirst) return Step::kDamage;
      if (at == end) return Step::kEnd;
      if (at > end) return Step::kDamage;
      const std::uint16_t word = Word16(page, at);
      const std::uint32_t size = word & kSizeMask;
      if (size < kUnit || size % kUnit || at + size > end) return Step::kDamage;
      entry->block = Base(page) + at + kUnit;
      entry->kind = PageType(page) == kPageHandle ? kWalkHandle : kWalkVariable;
      entry->in_use = word & kInUse;
      entry->size = size - kUnit;
      return Step::kBlock;
    }
    case kPageSmall: {
      const std::uint32_t carve = page->small.carve, end = page->small.end;
      if (carve > end || end > page->bytes || carve < kPageHeader) return Step::kDamage;
      if (at > carve) return Step::kDamage;
      if (at == carve) {
        if (end - carve < 2 * kUnit) return Step::kEnd;
        entry->block = Base(page) + carve + kUnit;
        entry->kind = kWalkVariable;
        entry->in_use = 0;
        entry->size = end - carve - kUnit;
        return Step::kBlock;
      }
      unsigned char* block = Base(page) + at + kUnit;
      const unsigned units = block[-1];
      const unsigned char mark = block[-2];
      if (units == 0 || units > pool->small_limit / kUnit || at + kUnit + units * kUnit > carve)
        return Step::kDamage;
      if (mark != kSmallInUseMark && mark != kSmallFreeMark) return Step::kDamage;
      entry->block = block;
      entry->kind = kWalkVariable;
      entry->in_use = mark == kSmallInUseMark;
      entry->size = units * kUnit;
      return Step::kBlock;
    }
    case kPageFixed: {
      if (!page->fixed.stride || page->fixed.end > page->bytes) return Step::kDamage;
      if (at >= page->fixed.end) return Step::kEnd;
      bool damaged = false;
      bool free = FixedChainHolds(page, at, &damaged);
      if (damaged) return Step::kDamage;
      entry->block = Base(page) + at;
      entry->kind = kWalkFixed;
      entry->in_use = !free;
      entry->size = page->fixed.stride;
      return Step::kBlock;
    }
    case kPageLarge: {
      if (at != kPageHeader) return Step::kEnd;
      if (page->mark != 0 || page->bytes <= kPageHeader) return Step::kDamage;
      entry->block = Base(page) + kPageHeader;
      entry->kind = kWalkVariable;
      entry->in_use = 1;
      entry->size = page->bytes - kPageHeader;
      return Step::kBlock;
    }
  }
  return Step::kDamage;
}

// The offset of the block after the one at `block` in `page`.
std::uint32_t OffsetAfter(Page* page, const void* block) {
  const auto off = static_cast<std::uint32_t>(static_cast<const unsigned char*>(block) - Base(page));
  switch (PageType(page)) {
    case kPageMedium:
    case kPageHandle:
      return off - kUnit + (Word16(page, off - kUnit) & kSizeMask);
    case kPageSmall:
      if (off - kUnit >= page->small.carve) return kPageEnd;
      return off + static_cast<const unsigned char*>(block)[-1] * kUnit;
    case kPageFixed:
      return off + page->fixed.stride;
    default:
      return kPageEnd;
  }
}

Page* NextPage(Pool* pool, Page* page) {
  unsigned type = PageType(page);
  if (page->next != pool->rings[type]) return page->next;
  for (++type; type < kPageTypes; ++type)
    if (pool->rings[type]) return pool->rings[type];
  return nullptr;
}

Page* FirstPage(Pool* pool) {
  for (Page* ring : pool->rings)
    if (ring) return ring;
  return nullptr;
}

int WalkLocked(Pool* pool, WalkEntry* entry) {
  Page* page;
  std::uint32_t at;
  if (!entry->block) {
    page = FirstPage(pool);
    if (!page) return 0;
    at = FirstOffset(page);
  } else {
    page = static_cast<Page*>(entry->position);
    if (!OwnPage(pool, page) || PageOfAddress(entry->block) != page) {
      RaiseError(kBadBlock, pool);
      return -2;
    }
    at = OffsetAfter(page, entry->block);
  }
  // A ring longer than the pool's memory could hold is damaged.
  std::uint64_t pages_left = pool->in_use_bytes / 4096 + 1;
  while (page) {
    Step step = at == kPageEnd ? Step::kEnd : BlockAt(pool, page, at, entry);
    if (step == Step::kBlock) return 1;
    if (step == Step::kDamage) {
      RaiseError(kBadBlock, pool);
      return -2;
    }
    page = NextPage(pool, page);
    if (page && (!OwnPage(pool, page) || --pages_left == 0)) {
      RaiseError(kBadBlock, pool);
      return -2;
    }
    if (page) at = FirstOffset(page);
  }
  return 0;
}

bool Damaged(Pool* pool) {
  RaiseError(kBadFreeBlock, pool);
  return false;
}

// The medium page's free list: linked both ways, only free chunks that
// follow a chunk in use, the rover among them, and exactly the free chunks
// that the page holds.
bool CheckMediumList(Pool* pool, Page* page) {
  const std::uint32_t end = page->medium.end;
  std::uint32_t free_chunks = 0;
  for (std::uint32_t at = kMediumFirst; at < end;) {
    std::uint16_t word = Word16(page, at);
    if (!(word & kInUse)) ++free_chunks;
    at += word & kSizeMask;
  }
  if (Word16(page, kMediumHead) >= 4 || !(Word16(page, kMediumHead) & kInUse)) return Damaged(pool);
  bool rover_seen = page->medium.rover == kMediumHead;
  std::uint32_t members = 0;
  std::uint16_t prev = kMediumHead;
  std::uint16_t at = Word16(page, kMediumHead + 2u);
  while (at != kMediumHead) {
    // More members than free chunks means a cycle that avoids the head.
    if (++members > free_chunks) return Damaged(pool);
    if (at < kMediumFirst || at >= end || at % kUnit) return Damaged(pool);
    if (Word16(page, at + 4u) != prev) return Damaged(pool);
    const std::uint16_t word = Word16(page, at);
    const std::uint32_t size = word & kSizeMask;
    if ((word & kInUse) || !(word & kPrevInUse) || size < kUnit || at + size > end)
      return Damaged(pool);
    if (Word16(page, at + size - 2) != size) return Damaged(pool);
    if (page->medium.rover == at) rover_seen = true;
    prev = at;
    at = Word16(page, at + 2u);
  }
  if (Word16(page, kMediumHead + 4u) != prev || members != free_chunks || !rover_seen)
    return Damaged(pool);
  return true;
}

// A small free-list member: a free block of that size class in one of the
// pool's small-block pages.
bool SmallMemberSound(Pool* pool, void* block, unsigned units) {
  if (reinterpret_cast<std::uintptr_t>(block) % kUnit) return false;
  Page* page = PageOfAddress(block);
  if (!OwnPage(pool, page) || PageType(page) != kPageSmall) return false;
  auto off = static_cast<std::uintptr_t>(static_cast<unsigned char*>(block) - Base(page));
  if (off < kPageHeader + kUnit || off >= page->small.carve) return false;
  auto* bytes = static_cast<unsigned char*>(block);
  return bytes[-1] == units && bytes[-2] == kSmallFreeMark;
}

// Follows a size class's free list with a second cursor two links ahead;
// -1 when the list is damaged or holds a cycle, else its length.
std::int64_t SmallListLength(Pool* pool, unsigned units) {
  void* slow = pool->small_free[units];
  void* fast = slow;
  std::int64_t length = 0;
  while (fast) {
    if (!SmallMemberSound(pool, fast, units)) return -1;
    fast = *static_cast<void**>(fast);
    ++length;
    if (!fast) break;
    if (!SmallMemberSound(pool, fast, units)) return -1;
    fast = *static_cast<void**>(fast);
    ++length;
    slow = *static_cast<void**>(slow);
    if (fast && fast == slow) return -1;
  }
  return length;
}

}  // namespace

int WalkStep(Pool* pool, WalkEntry* entry) {
  if (!entry || !IsLivePool(pool)) {
    RaiseError(kBadMemPool, pool);
    return -2;
  }
  PoolGuard guard(pool);
  return WalkLocked(pool, entry);
}

int CheckPool(Pool* pool) {
  if (!IsLivePool(pool)) {
    RaiseError(kBadMemPool, pool);
    return 0;
  }
  PoolGuard guard(pool);
  std::int64_t small_free = 0;
  WalkEntry entry;
  for (;;) {
    int step = WalkLocked(pool, &entry);
    if (step < 0) return 0;
    if (step == 0) break;
    Page* page = static_cast<Page*>(entry.position);
    if (PageType(page) == kPageSmall && !entry.in_use &&
        static_cast<unsigned char*>(entry.block) != Base(page) + page->small.carve + kUnit)
      ++small_free;
  }
  for (unsigned type : {kPageMedium, kPageFixed, kPageHandle, kPageSmall}) {
    Page* ring = pool->rings[type];
    if (!ring || type == kPageSmall) continue;
    Page* page = ring;
    do {
      if (type == kPageFixed) {
        bool damaged = false;
        FixedChainHolds(page, 0, &damaged);
        if (damaged) return Damaged(pool);
      } else if (!CheckMediumList(pool, page)) {
        return 0;
      }
      page = page->next;
    } while (page != ring);
  }
  std::int64_t listed = 0;
  for (unsigned units = 0; units < kSmallClasses; ++units) {
    if (units == 0 || units > pool->small_limit / kUnit) {
      if (pool->small_free[units]) return Damaged(pool);
      continue;
    }
    std::int64_t length = SmallListLength(pool, units);
    if (length < 0) return Damaged(pool);
    listed += length;
  }
  if (listed != small_free) return Damaged(pool);
  return 1;
}

int CheckPointer(Pool* pool, const void* block) {
  Page* page = ManagedPageOf(block);
  if (!page) {
    RaiseError(kBadPointer, pool);
    return 0;
  }
  if (pool && page->pool != pool) return 0;
  Pool* owner = page->pool;
  PoolGuard guard(owner);
  // Find the block among the page's own blocks, so that a pointer into the
  // middle of one is told apart from a block.
  WalkEntry entry;
  std::uint32_t at = FirstOffset(page);
  for (std::uint64_t guard_steps = page->bytes / kUnit + 2; guard_steps; --guard_steps) {
    if (at == kPageEnd || BlockAt(owner, page, at, &entry) != Step::kBlock) return 0;
    if (entry.block == block) return entry.in_use ? 1 : -1;
    if (entry.block > block) return 0;
    at = OffsetAfter(page, entry.block);
  }
  return 0;
}

}  // namespace qs::mem
