// The memory manager: pools, pages, small, medium, large and fixed-size
// blocks, and the error dispatch. Walking and checking are in
// memory_inspect.cpp.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "foundation/memory_pool.h"
#include "foundation/memory_pool_internal.h"
#include "foundation/platform.h"

namespace qs::mem {

using namespace detail;

namespace {

constexpr std::size_t RoundUp(std::size_t n, std::size_t to) { return (n + to - 1) & ~(to - 1); }

// ---- Page records ---------------------------------------------------------
// One bit per 64 KB unit of the address space (47 bits: 2^31 units), in
// leaves of 2^16 bits made on demand and never freed, so lookups need no lock.
constexpr unsigned kLeafBits = 16;
constexpr unsigned kTopBits = 15;
constexpr std::size_t kLeafWords = (std::size_t{1} << kLeafBits) / 64;
std::atomic<std::atomic<std::uint64_t>*> g_page_records[std::size_t{1} << kTopBits];

bool SplitUnit(const void* page, std::size_t& top, std::size_t& bit) {
  std::uintptr_t unit = reinterpret_cast<std::uintptr_t>(page) >> 16;
  if (unit >> (kTopBits + kLeafBits)) return false;
  top = unit >> kLeafBits;
  bit = unit & ((std::size_t{1} << kLeafBits) - 1);
  return true;
}

bool RecordPage(const void* page) {
  std::size_t top, bit;
  if (!SplitUnit(page, top, bit)) return false;
  std::atomic<std::uint64_t>* leaf = g_page_records[top].load(std::memory_order_acquire);
  if (!leaf) {
    void* raw = platform::ReserveRegion(65536);
    if (!raw || !platform::CommitRange(raw, kLeafWords * 8)) {
      if (raw) platform::ReleaseRegion(raw, 65536);
      return false;
    }
    auto* fresh = new (raw) std::atomic<std::uint64_t>[kLeafWords]();
    std::atomic<std::uint64_t>* expected = nullptr;
    if (g_page_records[top].compare_exchange_strong(expected, fresh, std::memory_order_acq_rel)) {
      leaf = fresh;
    } else {
      platform::ReleaseRegion(raw, 65536);
      leaf = expected;
    }
  }
  leaf[bit / 64].fetch_or(std::uint64_t{1} << (bit % 64), std::memory_order_release);
  return true;
}

void ForgetPage(const void* page) {
  std::size_t top, bit;
  if (!SplitUnit(page, top, bit)) return;
  if (auto* leaf = g_page_records[top].load(std::memory_order_acquire))
    leaf[bit / 64].fetch_and(~(std::uint64_t{1} << (bit % 64)), std::memory_order_release);
}

// ---- Process-wide state ---------------------------------------------------
// Never destroyed: blocks may still be freed by destructors run at exit.
platform::ThreadLock& ProcessLock() {
  alignas(platform::ThreadLock) static unsigned char storage[sizeof(platform::ThreadLock)];
  static platform::ThreadLock* lock = new (storage) platform::ThreadLock();
  return *lock;
}

struct ProcessGuard {
  ProcessGuard() { ProcessLock().Enter(); }
  ~ProcessGuard() { ProcessLock().Leave(); }
};

Pool* g_pools = nullptr;                   // under ProcessLock
std::atomic<Pool*> g_default_pool{nullptr};
ErrorHandler g_error_handler = nullptr;    // null: the default; under ProcessLock
std::atomic<NewHandler> g_new_handler{nullptr};

constexpr int kMaxErrorThreads = 25;
struct ThreadRecord {
  std::uintptr_t thread;
  int depth;
};
ThreadRecord g_error_threads[kMaxErrorThreads];  // under ProcessLock
int g_error_thread_count = 0;

// This process's record of a shared pool it created or attached.
struct SharedRecord {
  Pool* pool;
  platform::SharedHandle mapping;
  PoolLock lock;
  bool created;
  char region_name[64];
  SharedRecord* next;
};
SharedRecord* g_shared = nullptr;  // under ProcessLock

SharedRecord* FindRecordLocked(const Pool* pool) {
  for (SharedRecord* r = g_shared; r; r = r->next)
    if (r->pool == pool) return r;
  return nullptr;
}

constexpr const char* kCaption = "PoolHeap Library";
constexpr const char* kRetryText = "Out of memory.  Please free some memory, then choose retry.";
constexpr const char* kReentryText = "\n\rPoolHeap error handler recursively re-entered.\n\r";
constexpr const char* kTooManyThreadsText = "\n\rMemory errors in too many threads concurrently.\n\r";
constexpr const char* kErrorNames[] = {
    "MEM_INTERNAL_ERROR", "MEM_INTERNAL_ERROR", nullptr, "MEM_BLOCK_TOO_BIG", "MEM_ALLOC_ZERO",
    "MEM_RESIZE_FAILED", "MEM_LOCK_ERROR", "MEM_EXCEEDED_CEILING", "MEM_TOO_MANY_PAGES",
    "MEM_TOO_MANY_TASKS", "MEM_BAD_MEM_POOL", "MEM_BAD_BLOCK", "MEM_BAD_FREE_BLOCK",
    "MEM_BAD_HANDLE", "MEM_BAD_POINTER"};

// Win32 box flags and answers beyond those platform.h names.
constexpr unsigned kMbAbortRetryIgnore = 0x2;
constexpr unsigned kMbSystemModal = 0x1000;
constexpr unsigned kMbTaskModal = 0x2000;
constexpr int kIdAbort = 3, kIdRetry = 4;

void ShowDiagnostic(const char* text) {
  platform::ShowMessage(0, text, kCaption, platform::kMbOk | platform::kMbIconHand | kMbTaskModal);
}

// ---- Pages ----------------------------------------------------------------
void LinkPage(Pool* pool, Page* page, unsigned type) {
  Page*& ring = pool->rings[type];
  if (!ring) {
    page->next = page->prev = page;
    ring = page;
  } else {
    page->next = ring;
    page->prev = ring->prev;
    ring->prev->next = page;
    ring->prev = page;
  }
}

void UnlinkPage(Pool* pool, Page* page) {
  unsigned type = PageType(page);
  Page*& ring = pool->rings[type];
  if (page->next == page) {
    ring = nullptr;
  } else {
    page->prev->next = page->next;
    page->next->prev = page->prev;
    if (ring == page) ring = page->next;
  }
  if (pool->last_medium == page) pool->last_medium = pool->rings[kPageMedium];
  if (pool->last_fixed == page) pool->last_fixed = pool->rings[kPageFixed];
  if (pool->small_page == page) pool->small_page = nullptr;
}

void GiveBackShared(Pool* pool, std::uint64_t start, std::size_t bytes);

void ReleasePage(Pool* pool, Page* page) {
  UnlinkPage(pool, page);
  pool->in_use_bytes -= page->bytes;
  page->word = 0;
  if (pool->flags & kPoolShared) {
    GiveBackShared(pool, reinterpret_cast<std::uintptr_t>(page), page->bytes);
    return;
  }
  ForgetPage(page);
  platform::ReleaseRegion(page, page->reserved);
}

// Gives an empty page back unless the pool would fall below its floor.
bool ReleaseIfAboveFloor(Pool* pool, Page* page) {
  if (pool->in_use_bytes - page->bytes < pool->floor) return false;
  ReleasePage(pool, page);
  return true;
}

std::size_t ShrinkLocked(Pool* pool) {
  std::size_t freed = 0;
  for (unsigned type : {kPageMedium, kPageFixed, kPageHandle}) {
    for (;;) {
      Page* victim = nullptr;
      if (Page* ring = pool->rings[type]) {
        Page* page = ring;
        do {
          if (page->in_use == 0 && pool->in_use_bytes - page->bytes >= pool->floor) {
            victim = page;
            break;
          }
          page = page->next;
        } while (page != ring);
      }
      if (!victim) break;
      freed += victim->bytes;
      ReleasePage(pool, victim);
    }
  }
  return freed;
}

// Platform memory for a page: `bytes` committed at the start of a fresh
// 64 KB-aligned reservation of `reserve` bytes.
void* TakePageMemory(Pool* pool, std::size_t bytes, std::size_t reserve) {
  void* base = platform::ReserveRegion(reserve);
  if (!base) return nullptr;
  if (!platform::CommitRange(base, bytes)) {
    platform::ReleaseRegion(base, reserve);
    return nullptr;
  }
  if ((pool->flags & kPoolLocked) && !platform::LockRange(base, bytes)) {
    platform::ReleaseRegion(base, reserve);
    return nullptr;
  }
  return base;
}

// ---- Pages of a shared pool -----------------------------------------------
// Pages come from the pool's region: first fit from the ring of free
// extents, else from the untouched part above the high-water mark. Pages of
// the region are on the process's page records from attaching on.
void* TakeShared(Pool* pool, std::size_t bytes) {
  const auto units = static_cast<std::uint32_t>(bytes / kSharedUnit);
  Extent* ext = pool->extents;
  for (std::uint16_t i = ext[0].next; i != 0; i = ext[i].next) {
    if (ext[i].units < units) continue;
    std::uint64_t start = ext[i].start;
    if (ext[i].units == units) {
      ext[ext[i].prev].next = ext[i].next;
      ext[ext[i].next].prev = ext[i].prev;
      ext[i].next = pool->extent_spare;
      pool->extent_spare = i;
    } else {
      ext[i].start += bytes;
      ext[i].units -= units;
    }
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(start));
  }
  if (pool->region_bytes - pool->high_water < bytes) return nullptr;
  void* page = reinterpret_cast<void*>(static_cast<std::uintptr_t>(pool->region_address + pool->high_water));
  pool->high_water += bytes;
  return page;
}

void GiveBackShared(Pool* pool, std::uint64_t start, std::size_t bytes) {
  const auto units = static_cast<std::uint32_t>(bytes / kSharedUnit);
  const std::uint64_t end = start + bytes;
  Extent* ext = pool->extents;
  std::uint16_t above = 0, below = 0;  // the extents that start at the end, end at the start
  for (std::uint16_t i = ext[0].next; i != 0; i = ext[i].next) {
    if (ext[i].start == end) above = i;
    if (ext[i].start + ext[i].units * std::uint64_t{kSharedUnit} == start) below = i;
  }
  if (below && above) {
    ext[below].units += units + ext[above].units;
    ext[ext[above].prev].next = ext[above].next;
    ext[ext[above].next].prev = ext[above].prev;
    ext[above].next = pool->extent_spare;
    pool->extent_spare = above;
  } else if (below) {
    ext[below].units += units;
  } else if (above) {
    ext[above].start = start;
    ext[above].units += units;
  } else {
    std::uint16_t i = pool->extent_spare;
    if (!i) {
      RaiseError(kOutOfMemory, pool);  // the range stays out of use
      return;
    }
    pool->extent_spare = ext[i].next;
    ext[i] = Extent{start, units, ext[0].next, 0};
    ext[ext[0].next].prev = i;
    ext[0].next = i;
  }
}

// A new page of `type` with at least `size` bytes committed. `quiet` pages
// (small-block pages, which fall back to medium blocks) raise no error.
Page* NewPage(Pool* pool, unsigned type, std::size_t size, bool quiet = false) {
  if (size > (std::size_t{1} << 46)) {
    if (!quiet) RaiseError(kOutOfMemory, pool);
    return nullptr;
  }
  const bool shared = pool->flags & kPoolShared;
  const std::size_t bytes = RoundUp(size, shared ? kSharedUnit : 4096);
  const std::size_t reserve = RoundUp(size, kPageAlign);
  for (;;) {
    if (pool->in_use_bytes + bytes > pool->ceiling || pool->in_use_bytes + bytes < bytes) {
      if (quiet || !RaiseError(kExceededCeiling, pool)) return nullptr;
      continue;
    }
    if (void* base = shared ? TakeShared(pool, bytes) : TakePageMemory(pool, bytes, reserve)) {
      if (!shared && !RecordPage(base)) {
        platform::ReleaseRegion(base, reserve);
      } else {
        auto* page = static_cast<Page*>(base);
        std::memset(page, 0, sizeof(Page));
        page->word = static_cast<std::uint16_t>(kPageMagic | type);
        page->pool = pool;
        page->bytes = bytes;
        page->reserved = reserve;
        LinkPage(pool, page, type);
        pool->in_use_bytes += bytes;
        return page;
      }
    }
    if (quiet) return nullptr;
    if (ShrinkLocked(pool) > 0) continue;
    if (!RaiseError(kOutOfMemory, pool)) return nullptr;
  }
}

// ---- Medium blocks --------------------------------------------------------
std::uint16_t& LinkNext(Page* page, std::uint16_t at) { return Word16(page, at + 2u); }
std::uint16_t& LinkPrev(Page* page, std::uint16_t at) { return Word16(page, at + 4u); }
std::uint16_t ChunkSize(Page* page, std::uint16_t at) { return Word16(page, at) & kSizeMask; }

void ListInsertAfterHead(Page* page, std::uint16_t at) {
  std::uint16_t first = LinkNext(page, kMediumHead);
  LinkNext(page, at) = first;
  LinkPrev(page, at) = kMediumHead;
  LinkPrev(page, first) = at;
  LinkNext(page, kMediumHead) = at;
}

void ListRemove(Page* page, std::uint16_t at) {
  std::uint16_t next = LinkNext(page, at), prev = LinkPrev(page, at);
  LinkNext(page, prev) = next;
  LinkPrev(page, next) = prev;
  if (page->medium.rover == at) page->medium.rover = next;
}

// Writes a free chunk's word (its predecessor is always in use: two free
// chunks never lie side by side) and its closing copy of the size.
void MarkFree(Page* page, std::uint16_t at, std::uint32_t size) {
  Word16(page, at) = static_cast<std::uint16_t>(size | kPrevInUse);
  Word16(page, at + size - 2) = static_cast<std::uint16_t>(size);
  if (size > page->medium.largest) page->medium.largest = static_cast<std::uint16_t>(size);
}

std::uint16_t SmallestChunk(const Pool* pool, unsigned type) {
  std::size_t smallest = 2 * kUnit;
  if (type == kPageMedium) smallest = std::max(smallest, RoundUp(pool->small_limit / 4u, kUnit));
  return static_cast<std::uint16_t>(smallest);
}

void PrepareMediumPage(Pool* pool, Page* page) {
  const std::uint16_t end = static_cast<std::uint16_t>(page->bytes - kUnit);
  page->medium.head[0] = kInUse;
  page->medium.head[1] = page->medium.head[2] = kMediumHead;
  page->medium.end = end;
  page->medium.smallest = SmallestChunk(pool, PageType(page));
  page->medium.largest = 0;
  page->medium.rover = kMediumHead;
  Word16(page, end) = kInUse;  // closing word: in use, size 0, chunk before free
  MarkFree(page, kMediumFirst, end - kMediumFirst);
  ListInsertAfterHead(page, kMediumFirst);
}

std::size_t MediumNeed(const Pool* pool, std::size_t size) {
  return std::max<std::size_t>(RoundUp(size + kUnit, kUnit), SmallestChunk(pool, kPageMedium));
}

void* AllocInMediumPage(Page* page, std::size_t need) {
  if (need > page->medium.largest) return nullptr;
  const std::uint16_t start = page->medium.rover;
  std::uint16_t at = start;
  std::uint32_t largest = 0;
  do {
    if (at != kMediumHead) {
      std::uint32_t size = ChunkSize(page, at);
      if (size >= need) {
        std::uint16_t block;
        if (size - need >= page->medium.smallest) {
          // Split: the allocated part comes from the end, the rest stays free
          // where it is in the list.
          std::uint32_t rest = size - static_cast<std::uint32_t>(need);
          Word16(page, at) = static_cast<std::uint16_t>(rest | kPrevInUse);
          Word16(page, at + rest - 2) = static_cast<std::uint16_t>(rest);
          block = static_cast<std::uint16_t>(at + rest);
          Word16(page, block) = static_cast<std::uint16_t>(need | kInUse);
          page->medium.rover = at;
        } else {
          ListRemove(page, at);
          block = at;
          Word16(page, block) |= kInUse;
          need = size;
        }
        Word16(page, block + need) |= kPrevInUse;
        ++page->in_use;
        return Base(page) + block + kUnit;
      }
      largest = std::max(largest, size);
    }
    at = LinkNext(page, at);
  } while (at != start);
  page->medium.largest = static_cast<std::uint16_t>(largest);
  return nullptr;
}

void* AllocMedium(Pool* pool, std::size_t size) {
  const std::size_t need = MediumNeed(pool, size);
  if (Page* start = pool->last_medium ? pool->last_medium : pool->rings[kPageMedium]) {
    Page* page = start;
    do {
      if (void* block = AllocInMediumPage(page, need)) {
        pool->last_medium = page;
        return block;
      }
      page = page->next;
    } while (page != start);
  }
  Page* page = NewPage(pool, kPageMedium, pool->page_size);
  if (!page) return nullptr;
  PrepareMediumPage(pool, page);
  pool->last_medium = page;
  return AllocInMediumPage(page, need);
}

// The offset of a medium block in use, or 0 when `block` is none.
std::uint16_t MediumOffset(Page* page, const void* block) {
  std::uintptr_t off = static_cast<const unsigned char*>(block) - Base(page);
  if (off < kMediumFirst + kUnit || off % kUnit || off - kUnit >= page->medium.end) return 0;
  auto at = static_cast<std::uint16_t>(off - kUnit);
  std::uint16_t word = Word16(page, at);
  if (!(word & kInUse) || (word & kSizeMask) < 2 * kUnit) return 0;
  const std::uint32_t after = at + (word & kSizeMask);
  if (after > page->medium.end || !(Word16(page, after) & kPrevInUse)) return 0;
  return at;
}

void FreeMedium(Pool* pool, Page* page, std::uint16_t at) {
  std::uint32_t size = ChunkSize(page, at);
  bool joined_before = false;
  if (!(Word16(page, at) & kPrevInUse)) {
    std::uint16_t before_size = Word16(page, at - 2u) & kSizeMask;
    Word16(page, at) = 0;  // no longer a chunk: a second free must not find one
    at = static_cast<std::uint16_t>(at - before_size);
    size += before_size;
    joined_before = true;
  }
  std::uint16_t after = static_cast<std::uint16_t>(at + size);
  if (!(Word16(page, after) & kInUse)) {
    size += ChunkSize(page, after);
    ListRemove(page, after);
  }
  MarkFree(page, at, size);
  Word16(page, at + size) &= static_cast<std::uint16_t>(~kPrevInUse);
  if (!joined_before) ListInsertAfterHead(page, at);
  if (--page->in_use == 0) ReleaseIfAboveFloor(pool, page);
}

enum class InPlace { kDone, kMove, kBad };

InPlace ResizeMedium(Pool* pool, Page* page, std::uint16_t at, std::size_t size,
                     unsigned flags) {
  const std::uint32_t old_size = ChunkSize(page, at);
  const std::uint16_t keep = Word16(page, at) & static_cast<std::uint16_t>(~kSizeMask);
  const std::size_t old_usable = old_size - kUnit;
  std::size_t need = std::max<std::size_t>(RoundUp(size + kUnit, kUnit), 2 * kUnit);
  if (need > old_size) {
    if (size > pool->large_limit) return InPlace::kMove;
    std::uint16_t after = static_cast<std::uint16_t>(at + old_size);
    if (Word16(page, after) & kInUse) return InPlace::kMove;
    std::uint32_t after_size = ChunkSize(page, after);
    if (old_size + after_size < need) return InPlace::kMove;
    ListRemove(page, after);
    std::uint32_t rest = old_size + after_size - static_cast<std::uint32_t>(need);
    std::uint32_t new_size;
    if (rest < page->medium.smallest) {
      new_size = old_size + after_size;
      Word16(page, at + new_size) |= kPrevInUse;
    } else {
      new_size = static_cast<std::uint32_t>(need);
      auto tail = static_cast<std::uint16_t>(at + new_size);
      MarkFree(page, tail, rest);
      ListInsertAfterHead(page, tail);
    }
    Word16(page, at) = static_cast<std::uint16_t>(new_size | keep);
    if (flags & kZeroFill)
      std::memset(Base(page) + at + kUnit + old_usable, 0, new_size - old_size);
    return InPlace::kDone;
  }
  const std::uint32_t new_size =
      static_cast<std::uint32_t>(std::max<std::size_t>(need, page->medium.smallest));
  if (new_size < old_size && old_size - new_size >= page->medium.smallest) {
    auto tail = static_cast<std::uint16_t>(at + new_size);
    std::uint16_t after = static_cast<std::uint16_t>(at + old_size);
    std::uint32_t free_size = old_size - new_size;
    if (!(Word16(page, after) & kInUse)) {
      free_size += ChunkSize(page, after);
      ListRemove(page, after);
    }
    Word16(page, at) = static_cast<std::uint16_t>(new_size | keep);
    MarkFree(page, tail, free_size);
    ListInsertAfterHead(page, tail);
    Word16(page, tail + free_size) &= static_cast<std::uint16_t>(~kPrevInUse);
  }
  if (flags & kZeroFill) {
    std::size_t usable = ChunkSize(page, at) - kUnit;
    if (size < usable) std::memset(Base(page) + at + kUnit + size, 0, usable - size);
  }
  return InPlace::kDone;
}

// ---- Small blocks ---------------------------------------------------------
unsigned char& SizeByte(void* block) { return static_cast<unsigned char*>(block)[-1]; }
unsigned char& MarkByte(void* block) { return static_cast<unsigned char*>(block)[-2]; }
void*& FreeLink(void* block) { return *static_cast<void**>(block); }

void PushSmallFree(Pool* pool, void* block, unsigned units) {
  MarkByte(block) = kSmallFreeMark;
  FreeLink(block) = pool->small_free[units];
  pool->small_free[units] = block;
}

void* AllocSmall(Pool* pool, std::size_t size, unsigned flags) {
  const unsigned units = static_cast<unsigned>(std::max<std::size_t>(1, RoundUp(size, kUnit) / kUnit));
  void* block = pool->small_free[units];
  if (block) {
    pool->small_free[units] = FreeLink(block);
  } else {
    const std::uint32_t slot = kUnit + units * kUnit;
    Page* page = pool->small_page;
    if (!page || page->small.carve + slot > page->small.end) {
      Page* fresh = NewPage(pool, kPageSmall, kSmallPageBytes, true);
      if (!fresh) {
        void* medium = AllocMedium(pool, size);
        if (medium && (flags & kZeroFill)) std::memset(medium, 0, size);
        return medium;
      }
      if (page) {
        // The old page's remainder becomes a free block of its own class.
        std::uint32_t rest = page->small.end - page->small.carve;
        if (rest >= 2 * kUnit) {
          void* tail = Base(page) + page->small.carve + kUnit;
          unsigned tail_units = std::min<unsigned>((rest - kUnit) / kUnit, pool->small_limit / kUnit);
          SizeByte(tail) = static_cast<unsigned char>(tail_units);
          PushSmallFree(pool, tail, tail_units);
          page->small.carve += kUnit + tail_units * kUnit;
        }
      }
      page = fresh;
      page->small.carve = kPageHeader;
      page->small.end = static_cast<std::uint32_t>(page->bytes);
      pool->small_page = page;
    }
    block = Base(page) + page->small.carve + kUnit;
    SizeByte(block) = static_cast<unsigned char>(units);
    page->small.carve += slot;
  }
  MarkByte(block) = kSmallInUseMark;
  ++PageOfAddress(block)->in_use;
  if (flags & kZeroFill) std::memset(block, 0, units * kUnit);
  return block;
}

// The size class of a small block in use, or 0 when `block` is none.
unsigned SmallUnits(Pool* pool, Page* page, const void* block) {
  std::uintptr_t off = static_cast<const unsigned char*>(block) - Base(page);
  if (off < kPageHeader + kUnit || off % kUnit || off >= page->small.carve) return 0;
  unsigned units = SizeByte(const_cast<void*>(block));
  if (units == 0 || units > pool->small_limit / kUnit) return 0;
  if (off + units * kUnit > page->small.carve) return 0;
  if (MarkByte(const_cast<void*>(block)) != kSmallInUseMark) return 0;
  return units;
}

// ---- Fixed-size blocks ----------------------------------------------------
std::uint32_t& FixedLink(Page* page, std::uint32_t at) {
  return *reinterpret_cast<std::uint32_t*>(Base(page) + at);
}

void PrepareFixedPage(Pool* pool, Page* page) {
  const std::uint32_t stride = pool->fixed_size;
  const std::uint32_t count = static_cast<std::uint32_t>((page->bytes - kPageHeader) / stride);
  page->fixed.stride = stride;
  page->fixed.end = static_cast<std::uint32_t>(kPageHeader + count * stride);
  page->fixed.free = count ? static_cast<std::uint32_t>(kPageHeader) : 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t at = static_cast<std::uint32_t>(kPageHeader + i * stride);
    FixedLink(page, at) = i + 1 < count ? at + stride : 0;
  }
}

bool OnFixedChain(Page* page, std::uint32_t at) {
  std::uint32_t limit = (page->fixed.end - kPageHeader) / page->fixed.stride;
  for (std::uint32_t link = page->fixed.free; link && limit; link = FixedLink(page, link), --limit)
    if (link == at) return true;
  return false;
}

std::uint32_t FixedOffset(Page* page, const void* block) {
  std::uintptr_t off = static_cast<const unsigned char*>(block) - Base(page);
  if (off < kPageHeader || off >= page->fixed.end || (off - kPageHeader) % page->fixed.stride)
    return 0;
  return static_cast<std::uint32_t>(off);
}

// ---- Large blocks ---------------------------------------------------------
void* AllocLarge(Pool* pool, std::size_t size) {
  if (size > (std::size_t{1} << 46)) {
    RaiseError(kOutOfMemory, pool);
    return nullptr;
  }
  Page* page = NewPage(pool, kPageLarge, size + kPageHeader);
  if (!page) return nullptr;
  page->in_use = 1;
  return Base(page) + kPageHeader;
}

InPlace ResizeLarge(Pool* pool, Page* page, std::size_t size, unsigned flags) {
  if (!(flags & kInPlace) && size <= pool->large_limit) return InPlace::kMove;
  if (size > (std::size_t{1} << 46)) return InPlace::kMove;
  const std::size_t old_bytes = page->bytes;
  const std::size_t bytes = RoundUp(size + kPageHeader, 4096);
  if (bytes > old_bytes) {
    if (bytes > page->reserved || (pool->flags & kPoolShared)) return InPlace::kMove;
    if (pool->in_use_bytes + (bytes - old_bytes) > pool->ceiling) return InPlace::kMove;
    if (!platform::CommitRange(Base(page) + old_bytes, bytes - old_bytes)) return InPlace::kMove;
    if (pool->flags & kPoolLocked) platform::LockRange(Base(page) + old_bytes, bytes - old_bytes);
    pool->in_use_bytes += bytes - old_bytes;
    page->bytes = bytes;
    // Fresh commits read as zero already.
  } else if (bytes < old_bytes && !(pool->flags & kPoolShared)) {
    platform::DecommitRange(Base(page) + bytes, old_bytes - bytes);
    pool->in_use_bytes -= old_bytes - bytes;
    page->bytes = bytes;
  }
  if ((flags & kZeroFill) && size + kPageHeader < page->bytes && bytes <= old_bytes)
    std::memset(Base(page) + kPageHeader + size, 0, page->bytes - kPageHeader - size);
  return InPlace::kDone;
}

// ---- Pools ----------------------------------------------------------------
bool PoolHasPages(const Pool* pool) {
  for (Page* ring : pool->rings)
    if (ring) return true;
  return false;
}

bool HasMagic(const Pool* pool) { return pool && pool->magic == kPoolMagic; }

void UnlinkPoolLocked(Pool* pool) {
  for (Pool** link = &g_pools; *link; link = &(*link)->next_pool) {
    if (*link == pool) {
      *link = pool->next_pool;
      return;
    }
  }
}

unsigned NormalisePageSize(unsigned size) {
  if (size == kDefaultPageSize) return size;
  if (size >= kMaxPageSize) return kMaxPageSize;
  if (size <= 4096) return 4096;
  unsigned p = 4096;
  while (p < size) p <<= 1;
  return std::min(p, kMaxPageSize);
}

void* AllocLocked(Pool* pool, std::size_t size, unsigned flags) {
  void* block;
  if (size <= pool->small_limit) return AllocSmall(pool, size, flags);
  if (size > pool->large_limit) {
    block = AllocLarge(pool, size);
    // A large block's page is newly committed, so the system has cleared
    // it; a shared pool's pages are reused extents of its region.
    if (block && (flags & kZeroFill) && (pool->flags & kPoolShared)) std::memset(block, 0, size);
    return block;
  }
  block = AllocMedium(pool, size);
  if (block && (flags & kZeroFill)) std::memset(block, 0, size);
  return block;
}

}  // namespace

// ---- Internal services ----------------------------------------------------
namespace detail {

bool IsManagedPage(const void* page) {
  std::size_t top, bit;
  if (reinterpret_cast<std::uintptr_t>(page) & (kPageAlign - 1)) return false;
  if (!SplitUnit(page, top, bit)) return false;
  auto* leaf = g_page_records[top].load(std::memory_order_acquire);
  return leaf && (leaf[bit / 64].load(std::memory_order_acquire) >> (bit % 64)) & 1;
}

Page* ManagedPageOf(const void* block) {
  if (!block) return nullptr;
  Page* page = PageOfAddress(block);
  if (!IsManagedPage(page)) return nullptr;
  if ((page->word & kPageMagicMask) != kPageMagic || PageType(page) >= kPageTypes) return nullptr;
  return page;
}

bool IsLivePool(const Pool* pool) {
  if (!pool) return false;
  ProcessGuard guard;
  for (Pool* p = g_pools; p; p = p->next_pool)
    if (p == pool) return pool->magic == kPoolMagic;
  return FindRecordLocked(pool) && pool->magic == kPoolMagic;
}

PoolLock* LockOf(Pool* pool) {
  if (!(pool->flags & kPoolShared)) return pool->lock;
  ProcessGuard guard;
  SharedRecord* record = FindRecordLocked(pool);
  return record ? &record->lock : nullptr;
}

void EnterPool(Pool* pool) {
  PoolLock* lock = LockOf(pool);
  if (!lock) return;
  std::uintptr_t me = platform::CurrentThreadId();
  if (lock->owner.load(std::memory_order_relaxed) == me) {
    ++lock->depth;
    return;
  }
  lock->Take();
  lock->owner.store(me, std::memory_order_relaxed);
  lock->depth = 1;
}

void LeavePool(Pool* pool) {
  PoolLock* lock = LockOf(pool);
  if (!lock || lock->depth == 0) return;
  if (--lock->depth == 0) {
    lock->owner.store(0, std::memory_order_relaxed);
    lock->Give();
  }
}

}  // namespace detail

// ---- Error dispatch -------------------------------------------------------
ErrorHandler SetErrorHandler(ErrorHandler handler) {
  ProcessGuard guard;
  ErrorHandler previous = g_error_handler ? g_error_handler : &DefaultErrorHandler;
  g_error_handler = handler;
  return previous;
}

int DefaultErrorHandler(ErrorInfo* info) {
  int code = info ? info->code : kInternalError;
  if (code < 1 || code > kBadPointer) code = kInternalError;
  const char* text = code == kOutOfMemory ? kRetryText : kErrorNames[code];
  const unsigned buttons = code == kOutOfMemory ? kMbAbortRetryIgnore : platform::kMbOkCancel;
  platform::MemoryErrorBeep();
  int answer = platform::ShowMessage(0, text, kCaption, buttons | platform::kMbIconHand | kMbTaskModal);
  if (answer == 0)
    answer = platform::ShowMessage(0, text, kCaption, buttons | platform::kMbIconHand | kMbSystemModal);
  if (answer == kIdRetry) return 1;
  if (answer == kIdAbort || answer == platform::kIdCancel) std::abort();
  return 0;
}

int RaiseError(int code, Pool* pool) {
  ErrorInfo info{code, pool};
  const std::uintptr_t me = platform::CurrentThreadId();
  ErrorHandler handler;
  bool crowded = false;
  int depth_found = 0;
  {
    ProcessGuard guard;
    // A handler below 64 KB cannot be code: fall back to the default.
    if (reinterpret_cast<std::uintptr_t>(g_error_handler) < 65536) g_error_handler = nullptr;
    handler = g_error_handler ? g_error_handler : &DefaultErrorHandler;
    int i = 0;
    while (i < g_error_thread_count && g_error_threads[i].thread != me) ++i;
    if (i == g_error_thread_count) {
      if (g_error_thread_count == kMaxErrorThreads)
        crowded = true;
      else
        g_error_threads[g_error_thread_count++] = ThreadRecord{me, 0};
    }
    if (!crowded) depth_found = g_error_threads[i].depth++;
  }

  // The handler runs with the pool unlocked, so that it may free memory of it.
  unsigned held = 0;
  PoolLock* lock = pool && IsLivePool(pool) ? LockOf(pool) : nullptr;
  if (lock && lock->owner.load(std::memory_order_relaxed) == me) {
    held = lock->depth;
    lock->depth = 0;
    lock->owner.store(0, std::memory_order_relaxed);
    lock->Give();
  }

  int answer = 0;
  if (crowded)
    ShowDiagnostic(kTooManyThreadsText);
  else if (depth_found == 0)
    answer = handler(&info);
  else if (depth_found == 1)
    ShowDiagnostic(kReentryText);

  if (!crowded) {
    ProcessGuard guard;
    for (int i = 0; i < g_error_thread_count; ++i) {
      if (g_error_threads[i].thread != me) continue;
      if (--g_error_threads[i].depth == 0) g_error_threads[i] = g_error_threads[--g_error_thread_count];
      break;
    }
  }
  if (held && IsLivePool(pool) && (lock = LockOf(pool)) && lock->Take()) {
    lock->owner.store(me, std::memory_order_relaxed);
    lock->depth = held;
  }
  return answer;
}

NewHandler SetNewHandler(NewHandler handler) { return g_new_handler.exchange(handler); }

// ---- Pools ----------------------------------------------------------------
Pool* CreatePool(std::size_t fixed_size, unsigned prealloc_count, unsigned flags) {
  if (flags & kPoolShared) return nullptr;  // pools are private to the process here
  void* base = nullptr;
  for (;;) {
    base = platform::ReserveRegion(kPageAlign);
    if (base && platform::CommitRange(base, kPoolHeaderBytes)) break;
    if (base) platform::ReleaseRegion(base, kPageAlign);
    if (!RaiseError(kOutOfMemory, nullptr)) return nullptr;
  }
  auto* pool = static_cast<Pool*>(base);
  std::memset(pool, 0, sizeof(Pool));
  pool->magic = kPoolMagic;
  pool->flags = static_cast<std::uint16_t>(flags);
  pool->small_limit = kDefaultSmallLimit;
  pool->page_size = kDefaultPageSize;
  pool->large_limit = kDefaultPageSize / 4;
  pool->in_use_bytes = kPoolHeaderBytes;
  pool->floor = kRetentionFloor;
  pool->ceiling = kNoCeiling;
  if (flags & kPoolSerialized) pool->lock = new (pool->lock_storage) PoolLock();
  {
    ProcessGuard guard;
    pool->next_pool = g_pools;
    g_pools = pool;
  }
  if (fixed_size) {
    if (SetFixedSize(pool, static_cast<unsigned>(std::min<std::size_t>(fixed_size, 0xFFFF))) == 0 ||
        (prealloc_count && !Preallocate(pool, prealloc_count * std::size_t{pool->fixed_size}, 1))) {
      DestroyPool(pool);
      return nullptr;
    }
  }
  return pool;
}

bool DestroyPool(Pool* pool) {
  bool shared;
  {
    ProcessGuard guard;
    shared = FindRecordLocked(pool) != nullptr;
  }
  if (shared) return DetachSharedPool(pool);
  {
    ProcessGuard guard;
    bool live = false;
    for (Pool* p = g_pools; p; p = p->next_pool) live |= p == pool;
    if (live && HasMagic(pool)) {
      UnlinkPoolLocked(pool);
    } else {
      live = false;
    }
    if (!live) pool = nullptr;
    if (pool && g_default_pool.load() == pool) g_default_pool.store(nullptr);
  }
  if (!pool) {
    RaiseError(kBadMemPool, nullptr);
    return false;
  }
  for (Page*& ring : pool->rings)
    while (ring) ReleasePage(pool, ring);
  if (pool->lock) pool->lock->~PoolLock();
  pool->magic = 0;
  platform::ReleaseRegion(pool, kPageAlign);
  return true;
}

// ---- Shared pools ---------------------------------------------------------
namespace {

// Puts the region's page units on (or off) this process's page records.
bool RecordRegion(Pool* pool, bool on) {
  for (std::uint64_t at = kSharedUnit; at < pool->region_bytes; at += kSharedUnit) {
    void* unit = reinterpret_cast<void*>(static_cast<std::uintptr_t>(pool->region_address + at));
    if (on && !RecordPage(unit)) return false;
    if (!on) ForgetPage(unit);
  }
  return true;
}

SharedRecord* AddRecord(Pool* pool, platform::SharedHandle mapping, platform::SharedHandle mutex,
                        bool created, const char* name) {
  auto* record = new (std::nothrow) SharedRecord{};
  if (!record) {
    RaiseError(kOutOfMemory, nullptr);
    return nullptr;
  }
  record->pool = pool;
  record->mapping = mapping;
  record->lock.mutex = mutex;
  record->created = created;
  std::snprintf(record->region_name, sizeof record->region_name, "%s", name);
  if (!RecordRegion(pool, true)) {
    RecordRegion(pool, false);
    delete record;
    return nullptr;
  }
  ProcessGuard guard;
  record->next = g_shared;
  g_shared = record;
  return record;
}

// A mutex of a fresh name for the pool: names drawn from a generator seeded
// by the thread and the pool's address until one is free.
platform::SharedHandle CreatePoolMutex(Pool* pool) {
  std::uint64_t state = platform::CurrentThreadId() ^ reinterpret_cast<std::uintptr_t>(pool);
  auto next = [&state] {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>(state >> 33);
  };
  for (int attempt = 0; attempt < 64; ++attempt) {
    std::uint64_t product = std::uint64_t{next()} * next();
    std::snprintf(pool->mutex_name, sizeof pool->mutex_name, "PHS%llX",
                  static_cast<unsigned long long>(product));
    bool exists = false;
    if (platform::SharedHandle mutex = platform::CreateNamedMutex(pool->mutex_name, &exists))
      return mutex;
    if (!exists) return 0;
  }
  return 0;
}

// ---- Placing a shared region ----------------------------------------------
// Views start on the allocation granularity.
constexpr std::uintptr_t kRegionAlign = kSharedUnit;
// A region is placed only where the page records reach.
constexpr std::uintptr_t kRecordedEnd = std::uintptr_t{1} << (16 + kTopBits + kLeafBits);
// Each query may cross into another process: a search that needs more than
// this many answers is given up.
constexpr unsigned long kMaxRegionQueries = 1ul << 20;
// Processes a creator may name.
constexpr std::size_t kMaxSharingProcesses = 1024;
// Addresses tried when a view cannot be mapped where the search found room.
constexpr int kMapAttempts = 32;

std::uintptr_t AlignRegion(std::uintptr_t at) { return (at + kRegionAlign - 1) & ~(kRegionAlign - 1); }

Placement FreeRangeWithin(AddressSpaces& spaces, std::size_t process, std::uintptr_t from,
                          std::size_t bytes, std::uintptr_t end, std::uintptr_t* at,
                          std::uintptr_t* run, unsigned long& budget) {
  if (bytes == 0) bytes = 1;
  if (from >= end || end - from < bytes) return Placement::kNone;
  std::uintptr_t candidate = AlignRegion(from);
  while (candidate < end && end - candidate >= bytes) {
    if (budget == 0) return Placement::kFailed;
    --budget;
    platform::AddressRegion region{};
    if (!spaces.Query(process, candidate, &region)) return Placement::kFailed;
    // An answer that does not hold the address asked about would stall the walk.
    if (region.base > candidate || region.bytes == 0 || candidate - region.base >= region.bytes)
      return Placement::kFailed;
    const std::uintptr_t run_end = region.bytes >= end - region.base ? end : region.base + region.bytes;
    if (region.free && run_end - candidate >= bytes) {
      *at = candidate;
      if (run) *run = run_end - candidate;
      return Placement::kFound;
    }
    if (run_end >= end) break;
    candidate = AlignRegion(run_end);
  }
  return Placement::kNone;
}

Placement CommonRangeWithin(AddressSpaces& spaces, std::uintptr_t from, std::size_t bytes,
                            std::uintptr_t end, std::uintptr_t* at, unsigned long& budget) {
  const std::size_t count = spaces.Count();
  if (count == 0) return Placement::kFailed;
  // The candidate only moves up. It is taken once every process in turn has
  // found it free without moving it: a range that suits a later process may
  // lie where an earlier one has something.
  std::uintptr_t candidate = from;
  std::size_t agreed = 0;
  for (std::size_t process = 0;; process = (process + 1) % count) {
    std::uintptr_t found = 0;
    const Placement result = FreeRangeWithin(spaces, process, candidate, bytes, end, &found, nullptr, budget);
    if (result != Placement::kFound) return result;
    agreed = found == candidate ? agreed + 1 : 1;
    candidate = found;
    if (agreed == count) {
      *at = candidate;
      return Placement::kFound;
    }
  }
}

std::uintptr_t SearchEnd() { return std::min(platform::UserAddressEnd(), kRecordedEnd); }

// This process (first) and the named ones, open for queries for as long as
// the search lasts.
class ProcessSpaces final : public AddressSpaces {
 public:
  ProcessSpaces() = default;
  ProcessSpaces(const ProcessSpaces&) = delete;
  ProcessSpaces& operator=(const ProcessSpaces&) = delete;
  ~ProcessSpaces() {
    for (std::size_t i = 0; i < opened_; ++i) platform::CloseProcessForQuery(handles_[i]);
    delete[] handles_;
  }
  bool Open(const std::uint32_t* ids, std::size_t count) {
    if ((count && !ids) || count > kMaxSharingProcesses) return false;
    handles_ = new (std::nothrow) platform::ProcessHandle[count + 1]();
    if (!handles_) return false;
    for (std::size_t i = 0; i <= count; ++i) {
      handles_[i] = platform::OpenProcessForQuery(i == 0 ? platform::CurrentProcessId() : ids[i - 1]);
      if (!handles_[i]) return false;
      opened_ = i + 1;
    }
    return true;
  }
  std::size_t Count() const override { return opened_; }
  bool Query(std::size_t process, std::uintptr_t address, platform::AddressRegion* region) override {
    return process < opened_ && platform::QueryProcessRegion(handles_[process], address, region);
  }

 private:
  platform::ProcessHandle* handles_ = nullptr;
  std::size_t opened_ = 0;
};

// Maps the whole region at an address free in every one of the processes.
void* MapAtCommonAddress(ProcessSpaces& spaces, platform::SharedHandle mapping, std::size_t bytes) {
  std::uintptr_t from = platform::LowestRegionAddress();
  const std::uintptr_t end = SearchEnd();
  unsigned long budget = kMaxRegionQueries;
  for (int attempt = 0; attempt < kMapAttempts; ++attempt) {
    std::uintptr_t at = 0;
    if (CommonRangeWithin(spaces, from, bytes, end, &at, budget) != Placement::kFound) return nullptr;
    if (void* base = platform::MapSharedMemory(mapping, bytes, reinterpret_cast<void*>(at))) return base;
    // Taken by another thread since it was seen free, or refused by the
    // system: the search goes on above it.
    from = at + kRegionAlign;
  }
  return nullptr;
}

}  // namespace

namespace detail {

Placement FindFreeRange(AddressSpaces& spaces, std::size_t process, std::uintptr_t from,
                        std::size_t bytes, std::uintptr_t end, std::uintptr_t* at, std::uintptr_t* run) {
  unsigned long budget = kMaxRegionQueries;
  return FreeRangeWithin(spaces, process, from, bytes, end, at, run, budget);
}

Placement FindCommonRange(AddressSpaces& spaces, std::uintptr_t from, std::size_t bytes,
                          std::uintptr_t end, std::uintptr_t* at) {
  unsigned long budget = kMaxRegionQueries;
  return CommonRangeWithin(spaces, from, bytes, end, at, budget);
}

Placement FindCommonAddress(const std::uint32_t* process_ids, std::size_t count, std::size_t bytes,
                            std::uintptr_t* at) {
  ProcessSpaces spaces;
  if (!spaces.Open(process_ids, count)) return Placement::kFailed;
  return FindCommonRange(spaces, platform::LowestRegionAddress(), bytes, SearchEnd(), at);
}

}  // namespace detail

Pool* CreateSharedPool(const char* name, std::size_t bytes, unsigned flags,
                       const std::uint32_t* process_ids, std::size_t process_count) {
  if (!name || !*name || std::strlen(name) >= sizeof(SharedRecord::region_name)) return nullptr;
  bool already = false;
  if (Pool* found = AttachSharedPool(nullptr, name, &already)) return found;
  if (bytes > SearchEnd()) return nullptr;
  bytes = std::max(RoundUp(bytes, kSharedUnit), kMinSharedRegion);
  // Every process that is to attach must be open to queries before anything
  // is made: one that is not makes creation fail with nothing to undo.
  ProcessSpaces spaces;
  if (!spaces.Open(process_ids, process_count)) return nullptr;
  platform::SharedHandle mapping = platform::CreateSharedMemory(name, bytes);
  if (!mapping) return nullptr;
  void* base = MapAtCommonAddress(spaces, mapping, bytes);
  if (!base) {
    platform::CloseSharedMemory(mapping);
    platform::RemoveSharedNames(name, nullptr);
    return nullptr;
  }
  auto* pool = static_cast<Pool*>(base);
  std::memset(pool, 0, sizeof(Pool));
  pool->magic = kPoolMagic;
  pool->flags = static_cast<std::uint16_t>((flags & kPoolLocked) | kPoolShared | kPoolSerialized);
  pool->small_limit = kDefaultSmallLimit;
  pool->page_size = kDefaultPageSize;
  pool->large_limit = kDefaultPageSize / 4;
  pool->in_use_bytes = kSharedUnit;
  pool->floor = kRetentionFloor;
  pool->ceiling = kNoCeiling;
  pool->region_address = reinterpret_cast<std::uintptr_t>(base);
  pool->region_bytes = bytes;
  pool->high_water = kSharedUnit;
  pool->extents[0] = Extent{~std::uint64_t{0}, 0, 0, 0};
  for (unsigned i = 1; i < kMaxExtents; ++i)
    pool->extents[i].next = static_cast<std::uint16_t>(i + 1 < kMaxExtents ? i + 1 : 0);
  pool->extent_spare = 1;
  platform::SharedHandle mutex = CreatePoolMutex(pool);
  if (!mutex || !AddRecord(pool, mapping, mutex, true, name)) {
    platform::CloseNamedMutex(mutex);
    platform::RemoveSharedNames(name, mutex ? pool->mutex_name : nullptr);
    platform::UnmapSharedMemory(base, bytes);
    platform::CloseSharedMemory(mapping);
    return nullptr;
  }
  return pool;
}

Pool* AttachSharedPool(Pool* pool, const char* name, bool* already) {
  bool dummy;
  if (!already) already = &dummy;
  *already = false;
  if (pool) {
    ProcessGuard guard;
    if (FindRecordLocked(pool)) {
      *already = true;
      return pool;
    }
  }
  if (!name) return nullptr;
  platform::SharedHandle mapping = platform::OpenSharedMemory(name);
  if (!mapping) return nullptr;
  // The header tells where the region lives and how large it is.
  std::uint64_t address = 0, bytes = 0;
  if (void* peek = platform::MapSharedMemory(mapping, kSharedUnit, nullptr)) {
    auto* header = static_cast<Pool*>(peek);
    if (header->magic == kPoolMagic && (header->flags & kPoolShared)) {
      address = header->region_address;
      bytes = header->region_bytes;
    }
    platform::UnmapSharedMemory(peek, kSharedUnit);
  }
  auto* found = reinterpret_cast<Pool*>(static_cast<std::uintptr_t>(address));
  {
    ProcessGuard guard;
    if (address && FindRecordLocked(found)) {
      platform::CloseSharedMemory(mapping);
      *already = true;
      return found;
    }
  }
  void* base = address ? platform::MapSharedMemory(mapping, bytes, found) : nullptr;
  if (!base) {
    platform::CloseSharedMemory(mapping);
    return nullptr;
  }
  platform::SharedHandle mutex = platform::OpenNamedMutex(found->mutex_name);
  if (!mutex || !AddRecord(found, mapping, mutex, false, name)) {
    platform::CloseNamedMutex(mutex);
    platform::UnmapSharedMemory(base, bytes);
    platform::CloseSharedMemory(mapping);
    return nullptr;
  }
  return found;
}

bool DetachSharedPool(Pool* pool) {
  SharedRecord* record = nullptr;
  {
    ProcessGuard guard;
    for (SharedRecord** link = &g_shared; *link; link = &(*link)->next) {
      if ((*link)->pool == pool) {
        record = *link;
        *link = record->next;
        break;
      }
    }
    if (record && g_default_pool.load() == pool) g_default_pool.store(nullptr);
  }
  if (!record) {
    RaiseError(kBadMemPool, pool);
    return false;
  }
  if (record->lock.depth) platform::ReleaseNamedMutex(record->lock.mutex);
  const std::uint64_t bytes = pool->region_bytes;
  char mutex_name[sizeof pool->mutex_name];
  std::memcpy(mutex_name, pool->mutex_name, sizeof mutex_name);
  RecordRegion(pool, false);
  platform::CloseNamedMutex(record->lock.mutex);
  platform::UnmapSharedMemory(pool, bytes);
  platform::CloseSharedMemory(record->mapping);
  if (record->created) platform::RemoveSharedNames(record->region_name, mutex_name);
  delete record;
  return true;
}

Pool* ExistingDefaultPool() { return g_default_pool.load(std::memory_order_acquire); }

Pool* DefaultPool() {
  if (Pool* pool = g_default_pool.load(std::memory_order_acquire)) return pool;
  Pool* fresh = CreatePool(0, 0, kPoolSerialized);
  if (!fresh) return nullptr;
  Pool* expected = nullptr;
  if (!g_default_pool.compare_exchange_strong(expected, fresh)) {
    DestroyPool(fresh);
    return expected;
  }
  return fresh;
}

unsigned PageSize(Pool* pool) { return HasMagic(pool) ? pool->page_size : 0; }
unsigned LargeBlockLimit(Pool* pool) { return HasMagic(pool) ? pool->large_limit : 0; }

unsigned SetPageSize(Pool* pool, unsigned size) {
  if (!HasMagic(pool)) {
    RaiseError(kBadMemPool, pool);
    return 0;
  }
  PoolGuard guard(pool);
  const unsigned previous = pool->page_size;
  const unsigned normal = NormalisePageSize(size);
  if (pool->fixed_size + kPageHeader + kUnit <= normal) {
    pool->page_size = static_cast<std::uint16_t>(normal);
    pool->large_limit = static_cast<std::uint16_t>(normal / 4);
  }
  return previous;
}

unsigned SetFixedSize(Pool* pool, unsigned size) {
  if (!HasMagic(pool)) {
    RaiseError(kBadMemPool, pool);
    return 0;
  }
  PoolGuard guard(pool);
  std::size_t rounded = RoundUp(std::max(size, 1u), kUnit);
  if (rounded + kPageHeader + kUnit > pool->page_size) {
    RaiseError(kBlockTooBig, pool);
    return pool->fixed_size;
  }
  if (!PoolHasPages(pool)) pool->fixed_size = static_cast<std::uint16_t>(rounded);
  return pool->fixed_size;
}

bool Preallocate(Pool* pool, std::size_t bytes, int kind) {
  if (!HasMagic(pool)) {
    RaiseError(kBadMemPool, pool);
    return false;
  }
  PoolGuard guard(pool);
  if (kind == 1 && !pool->fixed_size) {
    RaiseError(kAllocZero, pool);
    return false;
  }
  std::size_t added = 0;
  while (added < bytes) {
    Page* page;
    if (kind == 1) {
      if (!(page = NewPage(pool, kPageFixed, pool->page_size))) return false;
      PrepareFixedPage(pool, page);
      if (!pool->last_fixed) pool->last_fixed = page;
    } else if (kind == 4) {
      if (!(page = NewPage(pool, kPageSmall, kSmallPageBytes))) return false;
      page->small.carve = kPageHeader;
      page->small.end = static_cast<std::uint32_t>(page->bytes);
      if (!pool->small_page) pool->small_page = page;
    } else {
      if (!(page = NewPage(pool, kPageMedium, pool->page_size))) return false;
      PrepareMediumPage(pool, page);
    }
    added += page->bytes;
  }
  return true;
}

void SetCeiling(Pool* pool, std::uint64_t bytes) {
  if (!HasMagic(pool)) return;
  PoolGuard guard(pool);
  pool->ceiling = bytes;
}

std::size_t Shrink(Pool* pool) {
  if (!HasMagic(pool)) {
    RaiseError(kBadMemPool, pool);
    return 0;
  }
  PoolGuard guard(pool);
  return ShrinkLocked(pool);
}

// ---- Blocks ---------------------------------------------------------------
void* Alloc(Pool* pool, std::size_t size, unsigned flags) {
  if (!HasMagic(pool)) {
    RaiseError(kBadMemPool, pool);
    return nullptr;
  }
  if (size == 0) size = 1;
  PoolGuard guard(pool);
  return AllocLocked(pool, size, flags);
}

void* AllocFixed(Pool* pool, unsigned flags) {
  if (!HasMagic(pool)) {
    RaiseError(kBadMemPool, pool);
    return nullptr;
  }
  PoolGuard guard(pool);
  if (!pool->fixed_size) {
    RaiseError(kAllocZero, pool);
    return nullptr;
  }
  Page* page = nullptr;
  if (Page* start = pool->last_fixed ? pool->last_fixed : pool->rings[kPageFixed]) {
    Page* p = start;
    do {
      if (p->fixed.free) {
        page = p;
        break;
      }
      p = p->next;
    } while (p != start);
  }
  if (!page) {
    if (!(page = NewPage(pool, kPageFixed, pool->page_size))) return nullptr;
    PrepareFixedPage(pool, page);
    if (!page->fixed.free) return nullptr;
  }
  pool->last_fixed = page;
  std::uint32_t at = page->fixed.free;
  page->fixed.free = FixedLink(page, at);
  ++page->in_use;
  void* block = Base(page) + at;
  if (flags & kZeroFill) std::memset(block, 0, page->fixed.stride);
  return block;
}

bool Free(void* block) {
  Page* page = ManagedPageOf(block);
  if (!page) {
    RaiseError(kBadPointer, nullptr);
    return false;
  }
  Pool* pool = page->pool;
  PoolGuard guard(pool);
  switch (PageType(page)) {
    case kPageSmall:
      if (unsigned units = SmallUnits(pool, page, block)) {
        PushSmallFree(pool, block, units);
        --page->in_use;
        return true;
      }
      break;
    case kPageMedium:
    case kPageHandle:
      if (std::uint16_t at = MediumOffset(page, block)) {
        FreeMedium(pool, page, at);
        return true;
      }
      break;
    case kPageLarge:
      if (block == Base(page) + kPageHeader) {
        ReleasePage(pool, page);
        return true;
      }
      break;
    case kPageFixed:
      if (std::uint32_t at = FixedOffset(page, block); at && !OnFixedChain(page, at)) {
        FixedLink(page, at) = page->fixed.free;
        page->fixed.free = at;
        if (--page->in_use == 0) ReleaseIfAboveFloor(pool, page);
        return true;
      }
      break;
  }
  RaiseError(kBadPointer, pool);
  return false;
}

namespace {
// Usable size of a block in use of `page`, or -1 when it is none.
std::int64_t UsableLocked(Pool* pool, Page* page, const void* block) {
  switch (PageType(page)) {
    case kPageSmall:
      if (unsigned units = SmallUnits(pool, page, block)) return units * kUnit;
      break;
    case kPageMedium:
    case kPageHandle:
      if (std::uint16_t at = MediumOffset(page, block)) return ChunkSize(page, at) - kUnit;
      break;
    case kPageLarge:
      if (block == Base(page) + kPageHeader) return page->bytes - kPageHeader;
      break;
    case kPageFixed:
      if (FixedOffset(page, block)) return page->fixed.stride;
      break;
  }
  return -1;
}
}  // namespace

std::int64_t BlockSize(const void* block) {
  Page* page = ManagedPageOf(block);
  std::int64_t size = -1;
  if (page) {
    PoolGuard guard(page->pool);
    size = UsableLocked(page->pool, page, block);
  }
  if (size < 0) RaiseError(kBadPointer, page ? page->pool : nullptr);
  return size;
}

Pool* PoolOf(const void* block) {
  Page* page = ManagedPageOf(block);
  return page ? page->pool : nullptr;
}

void* Resize(void* block, std::size_t size, unsigned flags) {
  Page* page = ManagedPageOf(block);
  if (!page) {
    RaiseError(kBadPointer, nullptr);
    return nullptr;
  }
  Pool* pool = page->pool;
  if (size == 0) size = 1;
  std::int64_t usable;
  {
    PoolGuard guard(pool);
    usable = UsableLocked(pool, page, block);
    InPlace result = InPlace::kBad;
    if (usable >= 0) {
      switch (PageType(page)) {
        case kPageSmall:
          if (flags & kInPlace) {
            result = size <= static_cast<std::size_t>(usable) ? InPlace::kDone : InPlace::kMove;
          } else {
            result = size <= pool->small_limit && RoundUp(size, kUnit) == static_cast<std::size_t>(usable)
                         ? InPlace::kDone
                         : InPlace::kMove;
          }
          if (result == InPlace::kDone && (flags & kZeroFill))
            std::memset(static_cast<char*>(block) + size, 0, usable - size);
          break;
        case kPageMedium:
        case kPageHandle:
          result = ResizeMedium(pool, page, MediumOffset(page, block), size, flags);
          break;
        case kPageFixed:
          result = size <= static_cast<std::size_t>(usable) ? InPlace::kDone : InPlace::kMove;
          break;
        case kPageLarge:
          result = ResizeLarge(pool, page, size, flags);
          break;
      }
    }
    if (result == InPlace::kDone) return block;
    if (result == InPlace::kBad) {
      RaiseError(kBadPointer, pool);
      return nullptr;
    }
    if (flags & kInPlace) {
      RaiseError(kResizeFailed, pool);
      return nullptr;
    }
  }
  void* moved = Alloc(pool, size, flags & kZeroFill);
  if (!moved) return nullptr;
  std::memcpy(moved, block, std::min<std::size_t>(static_cast<std::size_t>(usable), size));
  Free(block);
  return moved;
}

// ---- The runtime family ---------------------------------------------------
namespace {
void* AllocWithNewHandler(std::size_t size, unsigned flags) {
  for (;;) {
    Pool* pool = DefaultPool();
    if (pool)
      if (void* block = Alloc(pool, size, flags)) return block;
    NewHandler handler = g_new_handler.load();
    if (!handler || !handler(size)) return nullptr;
  }
}
}  // namespace

void* RtMalloc(std::size_t size) { return AllocWithNewHandler(size ? size : 1, 0); }

void* RtCalloc(std::size_t count, std::size_t size) {
  if (size && count > SIZE_MAX / size) return nullptr;
  std::size_t bytes = count * size;
  return AllocWithNewHandler(bytes ? bytes : 1, kZeroFill);
}

void* RtRealloc(void* block, std::size_t size) {
  if (!block) return RtMalloc(size);
  if (size == 0) {
    Free(block);
    return nullptr;
  }
  return Resize(block, size, 0);
}

void* RtExpand(void* block, std::size_t size) {
  if (!block) return nullptr;
  return Resize(block, size, kInPlace);
}

void RtFree(void* block) {
  if (block) Free(block);
}

std::int64_t RtMsize(const void* block) { return BlockSize(block); }

int RtHeapCheck() {
  Pool* pool = ExistingDefaultPool();
  if (!pool) return kHeapEmpty;
  return CheckPool(pool) == 1 ? kHeapOk : kHeapBadNode;
}

int RtHeapSet(unsigned) { return RtHeapCheck(); }

int RtHeapWalk(HeapInfo* info) {
  Pool* pool = ExistingDefaultPool();
  if (!pool) return kHeapEmpty;
  WalkEntry entry;
  entry.pool = pool;
  entry.block = info->entry;
  entry.position = info->position;
  if (info->entry) {
    Page* page = ManagedPageOf(info->entry);
    if (!page || page->pool != pool || info->position != page) return kHeapBadPtr;
  }
  int step = WalkStep(pool, &entry);
  if (step == 0) return kHeapEnd;
  if (step < 0) return kHeapBadNode;
  info->entry = entry.block;
  info->size = entry.size;
  info->in_use = entry.in_use;
  info->position = entry.position;
  return kHeapOk;
}

int RtHeapMin() {
  if (Pool* pool = ExistingDefaultPool()) Shrink(pool);
  return 0;
}

// ---- Inspection: locking and counting -------------------------------------
bool LockPool(Pool* pool) {
  if (!IsLivePool(pool)) return false;
  EnterPool(pool);
  return true;
}

void UnlockPool(Pool* pool) {
  if (HasMagic(pool)) LeavePool(pool);
}

std::int64_t MemoryInUse(Pool* pool) {
  if (!IsLivePool(pool)) {
    RaiseError(kBadMemPool, pool);
    return -1;
  }
  PoolGuard guard(pool);
  return static_cast<std::int64_t>(pool->in_use_bytes);
}

bool ProbeRange(const void* address, std::size_t length, int access) {
  return platform::QueryRangeAccess(address, length, access);
}

}  // namespace qs::mem
