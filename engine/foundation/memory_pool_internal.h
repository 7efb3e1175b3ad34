// Layout of pools and pages, shared by the allocator and its inspection.
//
// Page (64 KB aligned): a 64-byte header, then blocks.
//   medium (types 0, 2): chunks of multiples of 16 bytes. A chunk starts with
//     a 16-bit size word (bit 0 in use, bit 1 chunk before in use, bits 2-15
//     size), the caller's data 16 bytes in. A free chunk keeps its list links
//     (16-bit page offsets) at +2 and +4 and repeats its size in its last 16
//     bits. The free list is circular through a head inside the page header;
//     a last in-use word of size 0 ends the page.
//   fixed (type 1): blocks of the pool's fixed size (rounded up to 16) after
//     the header; free ones chained by 32-bit page offsets.
//   large (type 3): one block after the header.
//   small (type 4): 64 KB carved upwards into slots of 16 header bytes and a
//     block of 16 x the size byte; the size byte sits just before the block,
//     with the in-use mark before it. Free blocks are chained per size class.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "foundation/memory_pool.h"
#include "foundation/platform.h"

namespace qs::mem::detail {

constexpr std::uint16_t kPoolMagic = 0xBEAD;
constexpr std::uint16_t kPageMagic = 0xCAD0;
constexpr std::uint16_t kPageMagicMask = 0xFFF8;
constexpr std::uintptr_t kPageAlign = 65536;
constexpr std::size_t kUnit = 16;
constexpr std::size_t kPageHeader = 64;
constexpr std::size_t kPoolHeaderBytes = 4096;
constexpr std::size_t kSmallPageBytes = 65536;
constexpr unsigned kDefaultSmallLimit = 256;
constexpr unsigned kMaxSmallLimit = 1024;
constexpr unsigned kSmallClasses = kMaxSmallLimit / kUnit + 1;  // index = size / 16
constexpr unsigned kDefaultPageSize = 16384;
constexpr unsigned kMaxPageSize = 65535;
constexpr std::uint64_t kRetentionFloor = 0x40000;
constexpr std::uint64_t kNoCeiling = ~std::uint64_t{0};

// The in-use size of a medium chunk must fit bits 2-14 of its word and a free
// one bits 2-15: pages are at most 64 KB and in-use chunks stay under the
// large-block limit (a quarter page) plus the page's smallest chunk.
constexpr std::uint16_t kSizeMask = 0xFFFC;
constexpr std::uint16_t kInUse = 1;
constexpr std::uint16_t kPrevInUse = 2;
constexpr std::uint16_t kMediumHead = 48;   // offset of the free-list head
constexpr std::uint16_t kMediumFirst = 64;  // offset of the first chunk
static_assert(kMaxPageSize + 1 <= 65536, "page offsets must fit 16 bits");
static_assert(kMaxPageSize / 4 + kMaxSmallLimit / 4 + 2 * kUnit < 0x8000,
              "in-use chunks must fit bits 2-14 of the size word");

constexpr std::uint8_t kSmallInUseMark = 0xA1;
constexpr std::uint8_t kSmallFreeMark = 0xF0;

enum PageType : std::uint16_t {
  kPageMedium = 0, kPageFixed = 1, kPageHandle = 2, kPageLarge = 3, kPageSmall = 4, kPageTypes = 5,
};

struct Page {
  std::uint16_t word;    // kPageMagic | type
  std::uint16_t in_use;  // blocks handed out
  std::uint16_t mark;    // large pages: 0 plain
  std::uint16_t pad0;
  Pool* pool;
  Page* next;  // ring of the pool's pages of this type
  Page* prev;
  std::size_t bytes;     // committed
  std::size_t reserved;  // address space held (multiple of 64 KB)
  union {
    struct {
      std::uint16_t head[3];  // pseudo chunk: size word 1, next, prev
      std::uint16_t rover;
      std::uint16_t end;       // offset of the closing word
      std::uint16_t smallest;  // smallest chunk a split may leave
      std::uint16_t largest;   // no free chunk is larger (a hint)
      std::uint16_t pad1;
    } medium;
    struct {
      std::uint32_t carve;  // next free slot offset
      std::uint32_t end;
    } small;
    struct {
      std::uint32_t free;  // offset of the first free block, 0 none
      std::uint32_t end;   // end of the block area
      std::uint32_t stride;
    } fixed;
  };
};
static_assert(sizeof(Page) == kPageHeader, "page header layout");
static_assert(offsetof(Page, medium) == kMediumHead, "medium head offset");

inline unsigned PageType(const Page* page) { return page->word & 7u; }
inline Page* PageOfAddress(const void* p) {
  return reinterpret_cast<Page*>(reinterpret_cast<std::uintptr_t>(p) & ~(kPageAlign - 1));
}
inline unsigned char* Base(Page* page) { return reinterpret_cast<unsigned char*>(page); }
inline std::uint16_t& Word16(Page* page, std::uint32_t offset) {
  return *reinterpret_cast<std::uint16_t*>(Base(page) + offset);
}

// A pool's serialisation: a platform lock with an owner and nesting count,
// so the error dispatch can release it completely and take it back.
// For a shared pool the lock is its named mutex, one handle per process.
struct PoolLock {
  platform::ThreadLock lock;
  platform::SharedHandle mutex = 0;
  std::atomic<std::uintptr_t> owner{0};
  unsigned depth = 0;
  bool Take() {
    if (mutex) return platform::WaitNamedMutex(mutex);
    lock.Enter();
    return true;
  }
  void Give() {
    if (mutex)
      platform::ReleaseNamedMutex(mutex);
    else
      lock.Leave();
  }
};

// A free range of a shared pool's region, in 64 KB units; descriptors live
// in the pool header and form a ring through their indices, which always
// holds the sentinel (index 0, start ~0, no units).
constexpr unsigned kMaxExtents = 128;
constexpr std::size_t kSharedUnit = 65536;
constexpr std::size_t kMinSharedRegion = 0x40000;
struct Extent {
  std::uint64_t start;
  std::uint32_t units;
  std::uint16_t next;
  std::uint16_t prev;
};

}  // namespace qs::mem::detail

namespace qs::mem {

struct Pool {
  std::uint16_t magic;
  std::uint16_t flags;
  std::uint16_t fixed_size;
  std::uint16_t small_limit;
  std::uint16_t page_size;
  std::uint16_t large_limit;
  std::uint64_t in_use_bytes;
  std::uint64_t floor;
  std::uint64_t ceiling;
  detail::PoolLock* lock;  // null for an unserialised pool
  detail::Page* rings[detail::kPageTypes];
  detail::Page* last_medium;
  detail::Page* last_fixed;
  detail::Page* small_page;
  void* small_free[detail::kSmallClasses];
  Pool* next_pool;  // unshared pools: the process's pool list
  alignas(16) unsigned char lock_storage[sizeof(detail::PoolLock)];
  // Shared pools, readable by every process that maps the region:
  std::uint64_t region_address;  // where every process maps it
  std::uint64_t region_bytes;
  std::uint64_t high_water;  // bytes from the start handed to pages or extents
  std::uint16_t extent_spare;  // first unused descriptor (0: none)
  char mutex_name[30];
  detail::Extent extents[detail::kMaxExtents];
};
static_assert(sizeof(Pool) <= detail::kPoolHeaderBytes, "pool header fits its page");

}  // namespace qs::mem

namespace qs::mem::detail {


// Whether the 64 KB unit at `page` starts a page of this manager; asks only
// the manager's own records, so any address may be looked up.
bool IsManagedPage(const void* page);
// The lock of a serialised pool in this process, or null.
PoolLock* LockOf(Pool* pool);
// Whether `pool` is a live pool of this process.
bool IsLivePool(const Pool* pool);

void EnterPool(Pool* pool);
void LeavePool(Pool* pool);
struct PoolGuard {
  explicit PoolGuard(Pool* p) : pool(p) { EnterPool(pool); }
  ~PoolGuard() { LeavePool(pool); }
  PoolGuard(const PoolGuard&) = delete;
  PoolGuard& operator=(const PoolGuard&) = delete;
  Pool* pool;
};

// The page that holds `block` when it lies in a page of ours, else null.
Page* ManagedPageOf(const void* block);

// ---- Placing a shared region ----------------------------------------------
// The address spaces a region must fit into, asked run by run.
class AddressSpaces {
 public:
  virtual std::size_t Count() const = 0;
  virtual bool Query(std::size_t process, std::uintptr_t address,
                     platform::AddressRegion* region) = 0;

 protected:
  ~AddressSpaces() = default;
};

enum class Placement { kFound, kNone, kFailed };

// The first 64 KB boundary at or above `from` where the process has `bytes`
// free below `end`; `*run` gets the bytes free from there. kFailed when the
// process cannot be asked or answers nonsense.
Placement FindFreeRange(AddressSpaces& spaces, std::size_t process, std::uintptr_t from,
                        std::size_t bytes, std::uintptr_t end, std::uintptr_t* at,
                        std::uintptr_t* run = nullptr);
// The first 64 KB boundary at or above `from` with `bytes` free in every
// one of the address spaces: each process moves the candidate up to its
// first free range, and the others are asked again until all agree.
Placement FindCommonRange(AddressSpaces& spaces, std::uintptr_t from, std::size_t bytes,
                          std::uintptr_t end, std::uintptr_t* at);
// The same for this process and the processes with those ids, over the
// whole user address space.
Placement FindCommonAddress(const std::uint32_t* process_ids, std::size_t count,
                            std::size_t bytes, std::uintptr_t* at);

}  // namespace qs::mem::detail
