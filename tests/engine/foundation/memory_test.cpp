#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "foundation/memory.h"
#include "foundation/memory_pool.h"
#include "foundation/memory_pool_internal.h"
#include "foundation/platform.h"
#include "byte_pattern.h"
#include "recording_sink.h"

namespace qs::mem {
namespace {

constexpr int kIdIgnore = 5;

using test::Aligned;
using test::Fill;
using test::Holds;

unsigned TypeOf(const void* block) { return detail::PageType(detail::PageOfAddress(block)); }

std::vector<std::string> Texts(const test::RecordingSink& sink) {
  std::vector<std::string> out;
  for (const auto& m : sink.messages()) out.push_back(m.text);
  return out;
}

class PoolTest : public testing::Test {
 protected:
  void SetUp() override { pool_ = CreatePool(0, 0, kPoolSerialized); ASSERT_NE(pool_, nullptr); }
  void TearDown() override {
    if (pool_) {
      EXPECT_EQ(CheckPool(pool_), 1);
      EXPECT_TRUE(DestroyPool(pool_));
    }
  }
  // Every block of the pool as the walk reports it: address to (in use, size).
  std::map<void*, std::pair<int, std::size_t>> Walk() {
    std::map<void*, std::pair<int, std::size_t>> blocks;
    WalkEntry entry;
    int step;
    while ((step = WalkStep(pool_, &entry)) == 1) {
      EXPECT_TRUE(blocks.emplace(entry.block, std::make_pair(entry.in_use, entry.size)).second)
          << "block reported twice";
    }
    EXPECT_EQ(step, 0);
    return blocks;
  }
  Pool* pool_ = nullptr;
};

TEST_F(PoolTest, PageSizeIsNormalisedAndSetsTheLargeBlockLimit) {
  struct Case {
    unsigned asked, page;
  } cases[] = {{20000, 32768}, {3000, 4096}, {70000, 65535}, {16384, 16384},
               {65535, 65535}, {4097, 8192},  {1, 4096},      {40000, 65535}};
  for (const Case& c : cases) {
    unsigned before = PageSize(pool_);
    EXPECT_EQ(SetPageSize(pool_, c.asked), before);
    EXPECT_EQ(PageSize(pool_), c.page) << c.asked;
    EXPECT_EQ(LargeBlockLimit(pool_), c.page / 4) << c.asked;
  }
}

TEST_F(PoolTest, BlocksOfEverySizeKeepTheirContents) {
  struct Case {
    std::size_t size;
    unsigned type;
  } cases[] = {{1, 4},    {15, 4},    {16, 4},     {17, 4},      {255, 4},     {256, 4},
               {257, 0},  {1000, 0},  {4096, 0},   {4097, 3},    {20000, 3},   {70000, 3},
               {1 << 20, 3}};
  std::vector<std::pair<void*, std::size_t>> blocks;
  unsigned seed = 0;
  for (int round = 0; round < 3; ++round) {
    for (const Case& c : cases) {
      void* p = Alloc(pool_, c.size);
      ASSERT_NE(p, nullptr) << c.size;
      EXPECT_TRUE(Aligned(p)) << c.size;
      EXPECT_EQ(TypeOf(p), c.type) << c.size;
      EXPECT_GE(BlockSize(p), static_cast<std::int64_t>(c.size));
      EXPECT_EQ(CheckPointer(pool_, p), 1);
      Fill(p, c.size, seed++);
      blocks.emplace_back(p, c.size);
    }
  }
  EXPECT_EQ(CheckPool(pool_), 1);
  seed = 0;
  for (auto [p, size] : blocks) EXPECT_TRUE(Holds(p, size, seed++)) << size;
  for (auto [p, size] : blocks) EXPECT_TRUE(Free(p));
  EXPECT_EQ(CheckPool(pool_), 1);
}

TEST_F(PoolTest, FreedBlocksAreReused) {
  for (std::size_t size : {24, 200, 700, 3000}) {
    void* a = Alloc(pool_, size);
    ASSERT_TRUE(Free(a));
    void* b = Alloc(pool_, size);
    EXPECT_EQ(a, b) << size;
    Free(b);
  }
}

// Large blocks too: their pages are new from the system, which clears
// them, and are not cleared again.
TEST_F(PoolTest, ZeroFlagClearsReusedMemory) {
  for (std::size_t size : {40, 600, 9000, 70000, 1 << 20}) {
    void* dirty = Alloc(pool_, size);
    std::memset(dirty, 0xCC, size);
    Free(dirty);
    auto* p = static_cast<unsigned char*>(Alloc(pool_, size, kZeroFill));
    EXPECT_TRUE(std::all_of(p, p + size, [](unsigned char c) { return c == 0; })) << size;
    Free(p);
  }
}

TEST_F(PoolTest, SmallBlockResizing) {
  test::RecordingSink sink;
  void* p = Alloc(pool_, 40);
  ASSERT_EQ(BlockSize(p), 48);
  Fill(p, 40, 7);
  // A move to the smaller size class copies the smaller size.
  void* q = Resize(p, 8);
  ASSERT_NE(q, nullptr);
  EXPECT_NE(q, p);
  EXPECT_EQ(BlockSize(q), 16);
  EXPECT_TRUE(Holds(q, 8, 7));
  // Same class: stays.
  EXPECT_EQ(Resize(q, 12), q);
  // In place only: up to the usable size succeeds, beyond fails.
  EXPECT_EQ(Resize(q, 16, kInPlace), q);
  EXPECT_EQ(Resize(q, 17, kInPlace), nullptr);
  EXPECT_EQ(Texts(sink), std::vector<std::string>{"MEM_RESIZE_FAILED"});
  EXPECT_EQ(CheckPointer(pool_, q), 1);
  EXPECT_TRUE(Holds(q, 8, 7));
  Free(q);
}

TEST_F(PoolTest, MediumBlockResizing) {
  void* a = Alloc(pool_, 1000);
  void* fence = Alloc(pool_, 1000);  // lies before `a`: blocks come from the end of free space
  ASSERT_LT(fence, a);
  const std::int64_t size = BlockSize(a);
  Fill(a, 1000, 3);
  // Cutting off less than the smallest chunk changes nothing.
  EXPECT_EQ(Resize(a, 1000 - 16, kInPlace), a);
  EXPECT_EQ(BlockSize(a), size);
  // Cutting off more leaves a free chunk behind it that can be grown into again.
  EXPECT_EQ(Resize(a, 500, kInPlace), a);
  EXPECT_EQ(BlockSize(a), 512);
  EXPECT_EQ(CheckPool(pool_), 1);
  EXPECT_EQ(Resize(a, 1000, kInPlace), a);
  EXPECT_TRUE(Holds(a, 500, 3));
  // Growing past the large-block limit moves it.
  void* big = Resize(a, 10000);
  ASSERT_NE(big, nullptr);
  EXPECT_NE(big, a);
  EXPECT_EQ(TypeOf(big), 3u);
  EXPECT_TRUE(Holds(big, 500, 3));
  Free(big);
  Free(fence);
}

TEST_F(PoolTest, LargeBlockResizing) {
  void* p = Alloc(pool_, 70000);
  Fill(p, 70000, 9);
  // Inside its reservation a large page grows where it is.
  void* grown = Resize(p, 100000, kInPlace | kZeroFill);
  ASSERT_EQ(grown, p);
  auto* bytes = static_cast<unsigned char*>(p);
  EXPECT_TRUE(std::all_of(bytes + 70000 + 8192, bytes + 100000, [](unsigned char c) { return c == 0; }));
  EXPECT_TRUE(Holds(p, 70000, 9));
  // Down to a size the pool serves itself: moves into a medium block.
  void* small = Resize(p, 3000);
  ASSERT_NE(small, nullptr);
  EXPECT_EQ(TypeOf(small), 0u);
  EXPECT_TRUE(Holds(small, 3000, 9));
  Free(small);
}

TEST_F(PoolTest, FreeingTheMiddleOfThreeJoinsThemIntoOneFreeChunk) {
  void* x[5];
  for (void*& p : x) p = Alloc(pool_, 1000);
  // Each block lies before the one taken before it.
  for (int i = 1; i < 5; ++i) ASSERT_LT(x[i], x[i - 1]);
  const std::size_t chunk = static_cast<std::size_t>(BlockSize(x[1])) + 16;
  Free(x[1]);
  Free(x[3]);
  Free(x[2]);
  auto blocks = Walk();
  auto it = blocks.find(x[3]);
  ASSERT_NE(it, blocks.end());
  EXPECT_EQ(it->second.first, 0);
  EXPECT_EQ(it->second.second, 3 * chunk - 16);
  EXPECT_EQ(blocks.count(x[2]), 0u);
  EXPECT_EQ(blocks.count(x[1]), 0u);
  // Its size is repeated in its last 16 bits.
  auto* end = static_cast<unsigned char*>(x[3]) - 16 + 3 * chunk;
  std::uint16_t trailer;
  std::memcpy(&trailer, end - 2, 2);
  EXPECT_EQ(trailer, 3 * chunk);
  Free(x[0]);
  Free(x[4]);
}

TEST_F(PoolTest, WalkReportsEachBlockOnce) {
  EXPECT_TRUE(Walk().empty());
  std::map<void*, std::size_t> live;
  std::mt19937 rng(5);
  for (int i = 0; i < 400; ++i) {
    std::size_t size = 1 + rng() % (i % 10 == 0 ? 9000 : 900);
    void* p = Alloc(pool_, size);
    live[p] = static_cast<std::size_t>(BlockSize(p));
  }
  for (auto it = live.begin(); it != live.end();) it = (rng() % 3 == 0) ? (Free(it->first), live.erase(it)) : std::next(it);
  std::map<void*, std::size_t> in_use;
  for (auto& [p, info] : Walk())
    if (info.first) in_use[p] = info.second;
  EXPECT_EQ(in_use, live);
  for (auto& [p, size] : live) Free(p);
}

TEST_F(PoolTest, BadPointersAreReportedWithoutFaulting) {
  test::RecordingSink sink;
  int local = 0;
  void* released = platform::ReserveRegion(65536);
  platform::ReleaseRegion(released, 65536);
  void* medium = Alloc(pool_, 1000);
  void* small = Alloc(pool_, 40);
  void* large = Alloc(pool_, 50000);
  void* gone = Alloc(pool_, 40);
  Free(gone);
  struct Case {
    const char* what;
    void* pointer;
  } cases[] = {
      {"stack", &local},
      {"unmapped", static_cast<char*>(released) + 4096},
      {"inside medium", static_cast<char*>(medium) + 16},
      {"misaligned medium", static_cast<char*>(medium) + 3},
      {"inside small", static_cast<char*>(small) + 16},
      {"inside large", static_cast<char*>(large) + 4096},
      {"freed small", gone},
      {"pool header", pool_},
  };
  for (const Case& c : cases) {
    sink.Clear();
    EXPECT_FALSE(Free(c.pointer)) << c.what;
    EXPECT_EQ(BlockSize(c.pointer), -1) << c.what;
    EXPECT_EQ(Resize(c.pointer, 10), nullptr) << c.what;
    EXPECT_EQ(Texts(sink), std::vector<std::string>(3, "MEM_BAD_POINTER")) << c.what;
    EXPECT_EQ(sink.messages()[0].caption, "PoolHeap Library");
    EXPECT_LE(CheckPointer(nullptr, c.pointer), 0) << c.what;
  }
  EXPECT_EQ(CheckPointer(pool_, gone), -1);
  // A second free, of a chunk that stays on its own and of one that joined
  // the free chunk before it.
  void* inner = Alloc(pool_, 1000);
  void* outer = Alloc(pool_, 1000);
  ASSERT_LT(inner, medium);
  ASSERT_LT(outer, inner);
  Free(inner);
  EXPECT_EQ(CheckPointer(pool_, inner), -1);
  Free(outer);
  EXPECT_EQ(CheckPointer(pool_, outer), 0);
  sink.Clear();
  EXPECT_FALSE(Free(inner));
  EXPECT_FALSE(Free(outer));
  EXPECT_EQ(Texts(sink), std::vector<std::string>(2, "MEM_BAD_POINTER"));
  Free(medium);
  Free(small);
  Free(large);
}

TEST_F(PoolTest, SmallFreeListCycleIsDetected) {
  test::RecordingSink sink;
  void* a = Alloc(pool_, 40);
  void* b = Alloc(pool_, 40);
  Free(a);
  Free(b);  // list: b -> a
  void* saved = *static_cast<void**>(a);
  *static_cast<void**>(a) = b;
  EXPECT_EQ(CheckPool(pool_), 0);
  EXPECT_EQ(Texts(sink), std::vector<std::string>{"MEM_BAD_FREE_BLOCK"});
  *static_cast<void**>(a) = saved;
}

TEST_F(PoolTest, MediumFreeListCycleAvoidingTheHeadIsDetected) {
  test::RecordingSink sink;
  void* x[5];
  for (void*& p : x) p = Alloc(pool_, 1000);
  Free(x[1]);
  Free(x[3]);  // list: head -> x3 -> x1 -> rest of the page -> head
  auto* link = static_cast<unsigned char*>(x[1]) - 16 + 2;
  std::uint16_t saved;
  std::memcpy(&saved, link, 2);
  std::uint16_t to_x3 = static_cast<std::uint16_t>(
      static_cast<unsigned char*>(x[3]) - 16 - reinterpret_cast<unsigned char*>(detail::PageOfAddress(x[3])));
  std::memcpy(link, &to_x3, 2);
  EXPECT_EQ(CheckPool(pool_), 0);
  EXPECT_EQ(Texts(sink), std::vector<std::string>{"MEM_BAD_FREE_BLOCK"});
  std::memcpy(link, &saved, 2);
  EXPECT_EQ(CheckPool(pool_), 1);
  for (void* p : {x[0], x[2], x[4]}) Free(p);
}

TEST_F(PoolTest, DamagedBlockStopsTheWalk) {
  test::RecordingSink sink;
  void* p = Alloc(pool_, 40);
  auto* size_byte = static_cast<unsigned char*>(p) - 1;
  unsigned char saved = *size_byte;
  *size_byte = 250;
  WalkEntry entry;
  EXPECT_EQ(WalkStep(pool_, &entry), -2);
  EXPECT_EQ(CheckPool(pool_), 0);
  EXPECT_EQ(Texts(sink), (std::vector<std::string>{"MEM_BAD_BLOCK", "MEM_BAD_BLOCK"}));
  *size_byte = saved;
  Free(p);
}

TEST_F(PoolTest, EmptyPagesGoBackDownToTheRetentionFloor) {
  std::vector<void*> blocks;
  for (int i = 0; i < 400; ++i) blocks.push_back(Alloc(pool_, 3000));
  EXPECT_GT(MemoryInUse(pool_), 1000000);
  for (void* p : blocks) Free(p);
  std::int64_t left = MemoryInUse(pool_);
  EXPECT_GE(left, 262144);
  EXPECT_LT(left, 262144 + 16384);
  // With a lower floor, shrinking gives the rest back.
  pool_->floor = 0;
  EXPECT_GT(Shrink(pool_), 0u);
  EXPECT_EQ(MemoryInUse(pool_), 4096);
}

TEST_F(PoolTest, CeilingAndOutOfMemoryFailAfterTheBox) {
  test::RecordingSink sink;
  SetCeiling(pool_, 64 * 1024);
  EXPECT_EQ(Alloc(pool_, 100000), nullptr);
  EXPECT_EQ(Texts(sink), std::vector<std::string>{"MEM_EXCEEDED_CEILING"});
  EXPECT_EQ(sink.messages()[0].flags, 0x2011u);  // OK/Cancel, stop icon, task-modal
  SetCeiling(pool_, ~std::uint64_t{0});
  sink.Clear();
  sink.set_answer(kIdIgnore);
  EXPECT_EQ(Alloc(pool_, std::size_t{1} << 60), nullptr);
  ASSERT_EQ(sink.messages().size(), 1u);
  EXPECT_EQ(sink.messages()[0].text, "Out of memory.  Please free some memory, then choose retry.");
  EXPECT_EQ(sink.messages()[0].flags, 0x2012u);  // Abort/Retry/Ignore
}

Pool* g_handler_pool = nullptr;
int g_handler_calls = 0;

int RaiseCeilingAndRetry(ErrorInfo* info) {
  ++g_handler_calls;
  EXPECT_EQ(info->code, kExceededCeiling);
  EXPECT_EQ(info->pool, g_handler_pool);
  // The pool is unlocked while the handler runs: another thread could use it.
  std::thread([] { Free(Alloc(g_handler_pool, 100)); }).join();
  SetCeiling(info->pool, ~std::uint64_t{0});
  return 1;
}

int AllocateInsideTheHandler(ErrorInfo* info) {
  ++g_handler_calls;
  EXPECT_EQ(Alloc(info->pool, 1 << 20), nullptr);
  return 0;
}

TEST_F(PoolTest, HandlerRetriesWithThePoolUnlocked) {
  g_handler_pool = pool_;
  g_handler_calls = 0;
  ErrorHandler previous = SetErrorHandler(&RaiseCeilingAndRetry);
  SetCeiling(pool_, 64 * 1024);
  void* p = Alloc(pool_, 100000);
  EXPECT_NE(p, nullptr);
  EXPECT_EQ(g_handler_calls, 1);
  Free(p);
  SetErrorHandler(previous);
}

TEST_F(PoolTest, ErrorInsideTheHandlerShowsTheReentryTextOnce) {
  test::RecordingSink sink;
  g_handler_calls = 0;
  ErrorHandler previous = SetErrorHandler(&AllocateInsideTheHandler);
  SetCeiling(pool_, 64 * 1024);
  EXPECT_EQ(Alloc(pool_, 100000), nullptr);
  EXPECT_EQ(g_handler_calls, 1);
  EXPECT_EQ(Texts(sink),
            std::vector<std::string>{"\n\rPoolHeap error handler recursively re-entered.\n\r"});
  // The thread's record is gone: the next error reaches the handler again.
  EXPECT_EQ(Alloc(pool_, 100000), nullptr);
  EXPECT_EQ(g_handler_calls, 2);
  SetErrorHandler(previous);
}

int g_new_handler_calls = 0;
int GiveUpAfterTwo(std::size_t) { return ++g_new_handler_calls < 3; }

TEST(MemoryRuntime, NewHandlerIsCalledUntilItGivesUp) {
  test::RecordingSink sink;
  sink.set_answer(kIdIgnore);
  NewHandler previous = SetNewHandler(&GiveUpAfterTwo);
  g_new_handler_calls = 0;
  EXPECT_EQ(RtMalloc(std::size_t{1} << 60), nullptr);
  EXPECT_EQ(g_new_handler_calls, 3);
  EXPECT_EQ(sink.messages().size(), 3u);
  SetNewHandler(previous);
}

TEST(MemoryRuntime, FamilyOverTheDefaultPool) {
  void* p = RtMalloc(0);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(RtMsize(p), 16);
  auto* z = static_cast<unsigned char*>(RtCalloc(100, 30));
  ASSERT_NE(z, nullptr);
  EXPECT_TRUE(std::all_of(z, z + 3000, [](unsigned char c) { return c == 0; }));
  // The engine's zero-filled blocks of every size, after a block of the
  // same size was written and given back.
  for (std::size_t size : {1, 40, 3000, 70000, 1 << 20}) {
    void* dirty = MemAlloc(size);
    ASSERT_NE(dirty, nullptr);
    std::memset(dirty, 0xCC, size);
    MemFree(dirty);
    auto* zeroed = static_cast<unsigned char*>(MemAllocZeroed(size));
    ASSERT_NE(zeroed, nullptr);
    EXPECT_TRUE(std::all_of(zeroed, zeroed + size, [](unsigned char c) { return c == 0; })) << size;
    MemFree(zeroed);
  }
  EXPECT_EQ(RtCalloc(SIZE_MAX / 2, 4), nullptr);
  void* r = RtRealloc(nullptr, 100);
  ASSERT_NE(r, nullptr);
  r = RtRealloc(r, 5000);
  EXPECT_GE(RtMsize(r), 5000);
  EXPECT_EQ(RtRealloc(r, 0), nullptr);
  EXPECT_EQ(RtHeapCheck(), kHeapOk);
  // The walk reports the block handed out, in use and with its usable size.
  HeapInfo info{};
  int seen = 0, status;
  while ((status = RtHeapWalk(&info)) == kHeapOk)
    if (info.entry == z) {
      ++seen;
      EXPECT_EQ(info.in_use, 1);
      EXPECT_EQ(static_cast<std::int64_t>(info.size), RtMsize(z));
    }
  EXPECT_EQ(status, kHeapEnd);
  EXPECT_EQ(seen, 1);
  int local;
  HeapInfo wild{&local, 0, 0, nullptr};
  EXPECT_EQ(RtHeapWalk(&wild), kHeapBadPtr);
  RtFree(p);
  RtFree(z);
  RtFree(nullptr);
  EXPECT_EQ(RtHeapMin(), 0);
}

TEST(MemoryPool, FixedSizeBlocks) {
  test::RecordingSink sink;
  Pool* pool = CreatePool(24, 100, 0);
  ASSERT_NE(pool, nullptr);
  EXPECT_EQ(SetFixedSize(pool, 64), 32u);  // pool already has pages
  std::set<void*> blocks;
  for (int i = 0; i < 1000; ++i) {
    void* p = AllocFixed(pool, kZeroFill);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(Aligned(p));
    EXPECT_EQ(BlockSize(p), 32);
    EXPECT_TRUE(blocks.insert(p).second);
  }
  void* first = *blocks.begin();
  EXPECT_TRUE(Free(first));
  EXPECT_EQ(CheckPointer(pool, first), -1);
  EXPECT_FALSE(Free(first));
  EXPECT_EQ(Texts(sink), std::vector<std::string>{"MEM_BAD_POINTER"});
  int fixed_entries = 0;
  WalkEntry entry;
  while (WalkStep(pool, &entry) == 1) fixed_entries += entry.kind == kWalkFixed && entry.in_use;
  EXPECT_EQ(fixed_entries, 999);
  EXPECT_EQ(CheckPool(pool), 1);
  EXPECT_TRUE(DestroyPool(pool));
  sink.Clear();
  Pool* no_size = CreatePool(0, 0, 0);
  EXPECT_EQ(AllocFixed(no_size), nullptr);
  EXPECT_EQ(SetFixedSize(no_size, 20000), 0u);
  EXPECT_EQ(Texts(sink), (std::vector<std::string>{"MEM_ALLOC_ZERO", "MEM_BLOCK_TOO_BIG"}));
  DestroyPool(no_size);
}

TEST(MemoryPool, DestroyedPoolIsRefused) {
  test::RecordingSink sink;
  Pool* pool = CreatePool(0, 0, 0);
  void* block = Alloc(pool, 5000);
  for (int i = 0; i < 100; ++i) Alloc(pool, 100 + i * 50);
  EXPECT_TRUE(DestroyPool(pool));
  EXPECT_EQ(MemoryInUse(pool), -1);
  EXPECT_FALSE(DestroyPool(pool));
  EXPECT_FALSE(LockPool(pool));
  EXPECT_EQ(CheckPointer(nullptr, block), 0);
  EXPECT_EQ(Texts(sink), (std::vector<std::string>{"MEM_BAD_MEM_POOL", "MEM_BAD_MEM_POOL",
                                                   "MEM_BAD_POINTER"}));
}

TEST(MemoryPool, ProbeRange) {
  int local = 0;
  void* released = platform::ReserveRegion(65536);
  platform::ReleaseRegion(released, 65536);
  EXPECT_TRUE(ProbeRange(&local, sizeof local, 2));
  EXPECT_FALSE(ProbeRange(released, 16, 1));
  EXPECT_FALSE(ProbeRange(reinterpret_cast<void*>(4096), 4, 1));
}

// Random allocate, resize and free; every block keeps its pattern and
// alignment, and the pool checks clean throughout.
TEST_F(PoolTest, SoakKeepsThePoolSound) {
  test::RecordingSink sink;  // resizing in place may fail
  struct Live {
    void* p;
    std::size_t size;
    unsigned seed;
  };
  std::vector<Live> live;
  std::mt19937 rng(1234);
  auto random_size = [&rng]() -> std::size_t {
    unsigned r = rng() % 100;
    if (r < 60) return 1 + rng() % 256;
    if (r < 97) return 257 + rng() % 3800;
    return 4097 + rng() % 60000;
  };
  unsigned next_seed = 1;
  for (int op = 0; op < 200000; ++op) {
    unsigned r = rng() % 10;
    if (live.size() < 50 || (r < 4 && live.size() < 3000)) {
      std::size_t size = random_size();
      void* p = Alloc(pool_, size);
      ASSERT_NE(p, nullptr);
      ASSERT_TRUE(Aligned(p));
      Fill(p, std::min<std::size_t>(size, 64), next_seed);
      live.push_back({p, size, next_seed++});
    } else if (r < 7) {
      Live& b = live[rng() % live.size()];
      ASSERT_TRUE(Holds(b.p, std::min<std::size_t>(b.size, 64), b.seed));
      std::size_t size = random_size();
      void* q = Resize(b.p, size, rng() % 4 == 0 ? unsigned{kInPlace} : 0u);
      if (q) {
        ASSERT_TRUE(Aligned(q));
        ASSERT_TRUE(Holds(q, std::min<std::size_t>({b.size, size, 64}), b.seed));
        b.p = q;
        b.size = size;
        Fill(q, std::min<std::size_t>(size, 64), b.seed);
      }
    } else {
      std::size_t i = rng() % live.size();
      ASSERT_TRUE(Holds(live[i].p, std::min<std::size_t>(live[i].size, 64), live[i].seed));
      ASSERT_TRUE(Free(live[i].p));
      live[i] = live.back();
      live.pop_back();
    }
    if (op % 20000 == 0) {
      ASSERT_EQ(CheckPool(pool_), 1) << op;
    }
  }
  ASSERT_EQ(CheckPool(pool_), 1);
  for (const Live& b : live) ASSERT_TRUE(Free(b.p));
}

// Several threads on one serialised pool, and on the engine's own heap.
TEST(MemoryThreads, SerialisedPoolStaysSound) {
  Pool* pool = CreatePool(0, 0, kPoolSerialized);
  auto work = [](Pool* target, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::pair<void*, unsigned>> mine;
    for (int op = 0; op < 20000; ++op) {
      if (mine.size() < 10 || rng() % 2) {
        std::size_t size = 1 + rng() % (rng() % 20 ? 600 : 9000);
        void* p = target ? Alloc(target, size) : MemAlloc(size);
        ASSERT_NE(p, nullptr);
        static_cast<unsigned char*>(p)[0] = static_cast<unsigned char>(seed);
        mine.emplace_back(p, seed);
      } else {
        std::size_t i = rng() % mine.size();
        ASSERT_EQ(static_cast<unsigned char*>(mine[i].first)[0], static_cast<unsigned char>(seed));
        if (target)
          Free(mine[i].first);
        else
          MemFree(mine[i].first);
        mine[i] = mine.back();
        mine.pop_back();
      }
    }
    for (auto& [p, s] : mine) target ? (void)Free(p) : MemFree(p);
  };
  for (Pool* target : {pool, static_cast<Pool*>(nullptr)}) {
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < 4; ++t) threads.emplace_back(work, target, t + 1);
    for (auto& th : threads) th.join();
  }
  EXPECT_EQ(CheckPool(pool), 1);
  EXPECT_TRUE(DestroyPool(pool));
}

TEST(MemoryEngineHeap, MemAllocGivesAlignedBlocks) {
  void* zero = MemAlloc(0);
  ASSERT_NE(zero, nullptr);
  EXPECT_TRUE(Aligned(zero));
  MemFree(zero);
  MemFree(nullptr);
  struct Object : EngineObject {
    long double value = 1.5L;
  };
  auto* o = new Object;
  EXPECT_TRUE(Aligned(o));
  delete o;
  auto* many = new Object[7];
  EXPECT_TRUE(Aligned(many));
  delete[] many;
}

}  // namespace
}  // namespace qs::mem

namespace qs::test {
int RunThisProgram(const char* arguments);
void SetEnvironment(const char* name, const char* value);
#ifdef _WIN32
bool StartThisProgram(const char* arguments, std::intptr_t* process, std::uint32_t* id);
int FinishThisProgram(std::intptr_t process);
#endif
}  // namespace qs::test

namespace qs::mem {
namespace {

std::string UniqueName(const char* what) {
  static int counter = 0;
  char name[64];
  std::snprintf(name, sizeof name, "QsTest%s%llX_%d", what,
                static_cast<unsigned long long>(platform::CurrentThreadId() & 0xFFFFFFFFFFull), ++counter);
  return name;
}

// The free extents of a shared pool's region: (start, 64 KB units).
std::vector<std::pair<std::uint64_t, unsigned>> Extents(Pool* pool) {
  std::vector<std::pair<std::uint64_t, unsigned>> out;
  for (std::uint16_t i = pool->extents[0].next; i != 0 && out.size() < 200; i = pool->extents[i].next)
    out.emplace_back(pool->extents[i].start, pool->extents[i].units);
  return out;
}

std::uint64_t PageStart(const void* block) { return reinterpret_cast<std::uintptr_t>(detail::PageOfAddress(block)); }

TEST(SharedPool, AttachingAgainGivesTheSamePool) {
  std::string name = UniqueName("Attach");
  Pool* pool = CreateSharedPool(name.c_str(), 1 << 20);
  ASSERT_NE(pool, nullptr);
  bool already = false;
  EXPECT_EQ(AttachSharedPool(pool, nullptr, &already), pool);
  EXPECT_TRUE(already);
  already = false;
  EXPECT_EQ(AttachSharedPool(nullptr, name.c_str(), &already), pool);
  EXPECT_TRUE(already);
  EXPECT_EQ(CreateSharedPool(name.c_str(), 1 << 20), pool);
  EXPECT_EQ(AttachSharedPool(nullptr, "QsTestNoSuchPool", &already), nullptr);
  EXPECT_EQ(MemoryInUse(pool), 65536);
  EXPECT_TRUE(Extents(pool).empty());  // only the sentinel
  EXPECT_EQ(std::string(pool->mutex_name).rfind("PHS", 0), 0u);
  EXPECT_TRUE(DestroyPool(pool));
  EXPECT_EQ(AttachSharedPool(nullptr, name.c_str(), &already), nullptr);
}

TEST(SharedPool, PagesComeFromTheRegionAndJoinWhenGivenBack) {
  test::RecordingSink sink;
  sink.set_answer(kIdIgnore);
  Pool* pool = CreateSharedPool(UniqueName("Pages").c_str(), 2 << 20);
  ASSERT_NE(pool, nullptr);
  // Large blocks of two 64 KB units each, one after another above the mark.
  void* p[5];
  for (void*& b : p) {
    b = Alloc(pool, 70000);
    ASSERT_NE(b, nullptr);
    Fill(b, 70000, 1);
  }
  for (int i = 1; i < 5; ++i) ASSERT_EQ(PageStart(p[i]), PageStart(p[i - 1]) + 2 * 65536);
  // Two adjacent pages, in either order, become one extent.
  Free(p[1]);
  Free(p[0]);
  EXPECT_EQ(Extents(pool), (std::vector<std::pair<std::uint64_t, unsigned>>{{PageStart(p[0]), 4}}));
  // A range between two extents joins both.
  Free(p[3]);
  EXPECT_EQ(Extents(pool).size(), 2u);
  Free(p[2]);
  EXPECT_EQ(Extents(pool), (std::vector<std::pair<std::uint64_t, unsigned>>{{PageStart(p[0]), 8}}));
  // First fit takes the start of the extent; the blocks given back there
  // were written, so a zero-filled block is cleared here.
  auto* again = static_cast<unsigned char*>(Alloc(pool, 3 * 65536, kZeroFill));
  EXPECT_EQ(PageStart(again), PageStart(p[0]));
  EXPECT_TRUE(std::all_of(again, again + 3 * 65536, [](unsigned char c) { return c == 0; }));
  EXPECT_EQ(Extents(pool), (std::vector<std::pair<std::uint64_t, unsigned>>{{PageStart(p[0]) + 4 * 65536, 4}}));
  // Small and medium blocks live in the region too.
  void* small = Alloc(pool, 40);
  void* medium = Alloc(pool, 2000);
  EXPECT_EQ(PoolOf(small), pool);
  EXPECT_EQ(PoolOf(medium), pool);
  EXPECT_EQ(CheckPool(pool), 1);
  // Beyond the region: out of memory.
  EXPECT_EQ(Alloc(pool, 4 << 20), nullptr);
  EXPECT_EQ(Texts(sink), std::vector<std::string>{"Out of memory.  Please free some memory, then choose retry."});
  Free(small);
  Free(medium);
  Free(again);
  Free(p[4]);
  EXPECT_EQ(CheckPool(pool), 1);
  EXPECT_TRUE(DestroyPool(pool));
}

// Run by TwoProcessesShareBlocks as a second process; skipped otherwise.
TEST(SharedPoolChild, AnswersThroughTheSharedPool) {
  const char* name = std::getenv("QS_SHARED_POOL");
  const char* mailbox = std::getenv("QS_SHARED_MAILBOX");
  if (!name || !*name || !mailbox || !*mailbox) GTEST_SKIP() << "runs as a child process only";
  bool already = true;
  Pool* pool = AttachSharedPool(nullptr, name, &already);
  ASSERT_NE(pool, nullptr);
  EXPECT_FALSE(already);
  auto** box = reinterpret_cast<char**>(static_cast<std::uintptr_t>(std::strtoull(mailbox, nullptr, 16)));
  EXPECT_EQ(CheckPointer(pool, box), 1);
  EXPECT_STREQ(box[0], "question");
  EXPECT_TRUE(Free(box[0]));
  box[0] = nullptr;
  auto* reply = static_cast<char*>(Alloc(pool, 6000));
  ASSERT_NE(reply, nullptr);
  std::strcpy(reply, "answer");
  box[1] = reply;
  EXPECT_EQ(CheckPool(pool), 1);
  EXPECT_TRUE(DetachSharedPool(pool));
}

TEST(SharedPool, TwoProcessesShareBlocks) {
  std::string name = UniqueName("Two");
  Pool* pool = CreateSharedPool(name.c_str(), 1 << 20);
  ASSERT_NE(pool, nullptr);
  auto** box = static_cast<char**>(Alloc(pool, 2 * sizeof(char*), kZeroFill));
  box[0] = std::strcpy(static_cast<char*>(Alloc(pool, 100)), "question");
  char address[32];
  std::snprintf(address, sizeof address, "%llx",
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(box)));
  test::SetEnvironment("QS_SHARED_POOL", name.c_str());
  test::SetEnvironment("QS_SHARED_MAILBOX", address);
  EXPECT_EQ(test::RunThisProgram("--gtest_filter=SharedPoolChild.*"), 0);
  test::SetEnvironment("QS_SHARED_POOL", nullptr);
  test::SetEnvironment("QS_SHARED_MAILBOX", nullptr);
  EXPECT_EQ(box[0], nullptr);
  ASSERT_NE(box[1], nullptr);
  EXPECT_STREQ(box[1], "answer");
  EXPECT_EQ(CheckPointer(pool, box[1]), 1);
  EXPECT_EQ(CheckPool(pool), 1);
  Free(box[1]);
  Free(box);
  EXPECT_TRUE(DestroyPool(pool));
}


// ---- Placing a shared region ----------------------------------------------
using detail::Placement;
constexpr std::uintptr_t K64 = 0x10000;

// Address spaces described by the runs each process holds, [start, end);
// a process may instead refuse every question or answer nonsense.
struct FakeSpace {
  enum Mode { kAnswers, kRefuses, kZeroRuns, kRunsElsewhere } mode = kAnswers;
  std::vector<std::pair<std::uintptr_t, std::uintptr_t>> taken;  // ascending
};
class FakeSpaces final : public detail::AddressSpaces {
 public:
  FakeSpaces(std::vector<FakeSpace> spaces, std::uintptr_t end) : spaces_(std::move(spaces)), end_(end) {}
  std::size_t Count() const override { return spaces_.size(); }
  bool Query(std::size_t process, std::uintptr_t address, platform::AddressRegion* region) override {
    ++queries;
    const FakeSpace& space = spaces_.at(process);
    switch (space.mode) {
      case FakeSpace::kRefuses: return false;
      case FakeSpace::kZeroRuns: *region = {address, 0, true}; return true;
      case FakeSpace::kRunsElsewhere: *region = {address + K64, K64, true}; return true;
      case FakeSpace::kAnswers: break;
    }
    std::uintptr_t free_end = end_ + 0x100000;  // the fake reaches past the search's end
    for (const auto& [lo, hi] : space.taken) {
      if (hi <= address) continue;
      if (lo <= address) {
        *region = {address, hi - address, false};
        return true;
      }
      free_end = lo;
      break;
    }
    *region = {address, free_end - address, true};
    return true;
  }
  int queries = 0;

 private:
  std::vector<FakeSpace> spaces_;
  std::uintptr_t end_;
};

TEST(SharedPlacement, CommonRangeOfSeveralProcesses) {
  constexpr std::uintptr_t kEnd = 0x100000000;
  constexpr std::size_t kBytes = 4 * K64;
  const FakeSpace empty;
  const FakeSpace refuses{FakeSpace::kRefuses, {}};
  struct Case {
    const char* what;
    std::vector<FakeSpace> spaces;
    std::uintptr_t from;
    std::uintptr_t end;
    Placement result;
    std::uintptr_t at;
  };
  const Case cases[] = {
      {"nothing taken", {empty}, K64, kEnd, Placement::kFound, K64},
      {"an unaligned start goes to the next 64 KB", {empty}, K64 + 0x2345, kEnd, Placement::kFound, 2 * K64},
      {"a run taken at the candidate is stepped over", {{FakeSpace::kAnswers, {{K64, 2 * K64}}}}, K64, kEnd,
       Placement::kFound, 2 * K64},
      {"a run ending inside a unit steps to the next unit",
       {{FakeSpace::kAnswers, {{K64, 2 * K64 + 0x1000}}}}, K64, kEnd, Placement::kFound, 3 * K64},
      {"a gap too small is passed",
       {{FakeSpace::kAnswers, {{K64, 2 * K64}, {5 * K64, 6 * K64}}}}, K64, kEnd, Placement::kFound, 6 * K64},
      {"a gap of exactly the size is taken",
       {{FakeSpace::kAnswers, {{K64, 2 * K64}, {6 * K64, 7 * K64}}}}, K64, kEnd, Placement::kFound, 2 * K64},
      {"another process moves the candidate up",
       {empty, {FakeSpace::kAnswers, {{0, 8 * K64}}}}, K64, kEnd, Placement::kFound, 8 * K64},
      // Where the second process has room, the first holds something: it is
      // asked again rather than taken at its word from before.
      {"an earlier process is asked again",
       {{FakeSpace::kAnswers, {{8 * K64, 9 * K64}}}, {FakeSpace::kAnswers, {{0, 8 * K64}}}}, K64, kEnd,
       Placement::kFound, 9 * K64},
      {"three processes in turn",
       {{FakeSpace::kAnswers, {{5 * K64, 6 * K64}}},
        {FakeSpace::kAnswers, {{0, 5 * K64}}},
        {FakeSpace::kAnswers, {{6 * K64 - 0x1000, 10 * K64}}}},
       K64, kEnd, Placement::kFound, 10 * K64},
      {"room only at the very end", {{FakeSpace::kAnswers, {{0, 12 * K64}}}}, K64, 16 * K64,
       Placement::kFound, 12 * K64},
      {"no room below the end", {{FakeSpace::kAnswers, {{0, 13 * K64}}}}, K64, 16 * K64, Placement::kNone, 0},
      {"room in each process but never in all",
       {{FakeSpace::kAnswers, {{0, K64}, {5 * K64, 6 * K64}, {11 * K64, 12 * K64}}},
        {FakeSpace::kAnswers, {{0, 3 * K64}, {8 * K64, 9 * K64}, {14 * K64, 15 * K64}}}},
       K64, 16 * K64, Placement::kNone, 0},
      {"a start at the end", {empty}, kEnd, kEnd, Placement::kNone, 0},
      {"a process that cannot be asked", {empty, refuses}, K64, kEnd, Placement::kFailed, 0},
      {"a run of no bytes", {{FakeSpace::kZeroRuns, {}}}, K64, kEnd, Placement::kFailed, 0},
      {"a run that does not hold the address", {{FakeSpace::kRunsElsewhere, {}}}, K64, kEnd,
       Placement::kFailed, 0},
      {"no process at all", {}, K64, kEnd, Placement::kFailed, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeSpaces spaces(c.spaces, c.end);
    std::uintptr_t at = 0;
    EXPECT_EQ(detail::FindCommonRange(spaces, c.from, kBytes, c.end, &at), c.result);
    if (c.result == Placement::kFound) {
      EXPECT_EQ(at, c.at);
    }
    EXPECT_LT(spaces.queries, 100);
  }
}

TEST(SharedPlacement, FreeRangeOfOneProcessReportsItsRun) {
  FakeSpaces spaces({{FakeSpace::kAnswers, {{K64, 3 * K64 + 0x800}, {9 * K64, 10 * K64}}}}, 0x100000000);
  std::uintptr_t at = 0, run = 0;
  ASSERT_EQ(detail::FindFreeRange(spaces, 0, 0, 2 * K64, 0x100000000, &at, &run), Placement::kFound);
  // The rest of the unit after the taken run is no place for a view.
  EXPECT_EQ(at, 4 * K64);
  EXPECT_EQ(run, 5 * K64);
  ASSERT_EQ(detail::FindFreeRange(spaces, 0, 0, 6 * K64, 0x100000000, &at, &run), Placement::kFound);
  EXPECT_EQ(at, 10 * K64);
}

// This process's own holdings: a second region goes around the first.
TEST(SharedPool, RegionIsPlacedWhereThisProcessHasRoom) {
  constexpr std::size_t kBytes = 1 << 20;
  std::uintptr_t first = 0;
  ASSERT_EQ(detail::FindCommonAddress(nullptr, 0, kBytes, &first), Placement::kFound);
  EXPECT_EQ(first % K64, 0u);
  // The process's own heap may grow into that room meanwhile: the region
  // then goes higher, never lower.
  Pool* a = CreateSharedPool(UniqueName("PlaceA").c_str(), kBytes);
  ASSERT_NE(a, nullptr);
  const auto a_at = reinterpret_cast<std::uintptr_t>(a);
  EXPECT_GE(a_at, first);
  EXPECT_EQ(a_at % K64, 0u);
  std::uintptr_t second = 0;
  ASSERT_EQ(detail::FindCommonAddress(nullptr, 0, kBytes, &second), Placement::kFound);
  EXPECT_TRUE(second + kBytes <= a_at || second >= a_at + kBytes);
  const std::uint32_t self = platform::CurrentProcessId();
  Pool* b = CreateSharedPool(UniqueName("PlaceB").c_str(), kBytes, 0, &self, 1);
  ASSERT_NE(b, nullptr);
  void* block = Alloc(b, 3000);
  EXPECT_EQ(PoolOf(block), b);
  Free(block);
  EXPECT_TRUE(DestroyPool(b));
  EXPECT_TRUE(DestroyPool(a));
}

// A process that cannot be asked makes creation fail with nothing left
// behind: the name is free again and no box is shown.
TEST(SharedPool, UnknownProcessFailsCreationCleanly) {
  test::RecordingSink sink;
  const std::string name = UniqueName("Unknown");
  const std::uint32_t self = platform::CurrentProcessId();
  const std::uint32_t no_such[] = {self, 0xFFFFFFF8u};
  std::vector<std::uint32_t> too_many(1025, self);
  EXPECT_EQ(CreateSharedPool(name.c_str(), 1 << 20, 0, no_such, 2), nullptr);
  EXPECT_EQ(CreateSharedPool(name.c_str(), 1 << 20, 0, &no_such[1], 1), nullptr);
  const std::uint32_t zero = 0;
  EXPECT_EQ(CreateSharedPool(name.c_str(), 1 << 20, 0, &zero, 1), nullptr);
  EXPECT_EQ(CreateSharedPool(name.c_str(), 1 << 20, 0, nullptr, 1), nullptr);
  EXPECT_EQ(CreateSharedPool(name.c_str(), 1 << 20, 0, too_many.data(), too_many.size()), nullptr);
  EXPECT_EQ(CreateSharedPool(name.c_str(), ~std::size_t{0}, 0), nullptr);
  bool already = false;
  EXPECT_EQ(AttachSharedPool(nullptr, name.c_str(), &already), nullptr);
  Pool* pool = CreateSharedPool(name.c_str(), 1 << 20, 0, too_many.data(), 1024);
  ASSERT_NE(pool, nullptr);
  EXPECT_TRUE(DestroyPool(pool));
  EXPECT_TRUE(sink.messages().empty());
}

#ifdef _WIN32
// Run by PlacedWhereTheNamedProcessHasRoom as a second process; skipped
// otherwise. It holds the address where the parent alone would put the
// region, then attaches the region the parent made naming it.
TEST(SharedPoolPlacedChild, AttachesWhereItHadRoom) {
  const char* name = std::getenv("QS_PLACE_POOL");
  const char* at_text = std::getenv("QS_PLACE_AT");
  const char* parent_text = std::getenv("QS_PLACE_PARENT");
  if (!name || !*name || !at_text || !parent_text) GTEST_SKIP() << "runs as a child process only";
  const std::string signal = name;
  const auto at = static_cast<std::uintptr_t>(std::strtoull(at_text, nullptr, 16));
  const auto parent_id = static_cast<DWORD>(std::strtoul(parent_text, nullptr, 10));
  void* held = VirtualAlloc(reinterpret_cast<void*>(at), 1 << 20, MEM_RESERVE, PAGE_NOACCESS);
  MEMORY_BASIC_INFORMATION info{};
  ASSERT_NE(VirtualQuery(reinterpret_cast<void*>(at), &info, sizeof info), 0u);
  EXPECT_NE(info.State, static_cast<DWORD>(MEM_FREE));
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, (signal + "Ready").c_str());
  HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, (signal + "Go").c_str());
  HANDLE parent = OpenProcess(SYNCHRONIZE, FALSE, parent_id);
  ASSERT_TRUE(ready && go && parent);
  SetEvent(ready);
  HANDLE waits[2] = {go, parent};
  ASSERT_EQ(WaitForMultipleObjects(2, waits, FALSE, INFINITE), WAIT_OBJECT_0);
  bool already = true;
  Pool* pool = AttachSharedPool(nullptr, name, &already);
  ASSERT_NE(pool, nullptr);
  EXPECT_FALSE(already);
  const auto base = reinterpret_cast<std::uintptr_t>(pool);
  EXPECT_TRUE(base + pool->region_bytes <= at || base >= at + (1 << 20));
  // The parent's mailbox is the block that starts with its tag.
  char** box = nullptr;
  WalkEntry entry;
  while (!box && WalkStep(pool, &entry) == 1)
    if (entry.in_use && entry.size >= 3 * sizeof(char*) &&
        std::memcmp(entry.block, "mailbox", 8) == 0)
      box = static_cast<char**>(entry.block);
  ASSERT_NE(box, nullptr);
  EXPECT_STREQ(box[1], "question");
  EXPECT_TRUE(Free(box[1]));
  box[1] = nullptr;
  box[2] = std::strcpy(static_cast<char*>(Alloc(pool, 5000)), "answer");
  EXPECT_EQ(CheckPool(pool), 1);
  EXPECT_TRUE(DetachSharedPool(pool));
  if (held) VirtualFree(held, 0, MEM_RELEASE);
  CloseHandle(parent);
  CloseHandle(go);
  CloseHandle(ready);
}

TEST(SharedPool, PlacedWhereTheNamedProcessHasRoom) {
  constexpr std::size_t kBytes = 1 << 20;
  const std::string name = UniqueName("Placed");
  std::uintptr_t alone = 0;
  ASSERT_EQ(detail::FindCommonAddress(nullptr, 0, kBytes, &alone), Placement::kFound);
  // Held until the region is made, so that this process's own heap does not
  // grow into it meanwhile.
  void* pin = VirtualAlloc(reinterpret_cast<void*>(alone), kBytes, MEM_RESERVE, PAGE_NOACCESS);
  ASSERT_NE(pin, nullptr);
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, (name + "Ready").c_str());
  HANDLE go = CreateEventA(nullptr, TRUE, FALSE, (name + "Go").c_str());
  ASSERT_TRUE(ready && go);
  char text[32];
  test::SetEnvironment("QS_PLACE_POOL", name.c_str());
  std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(alone));
  test::SetEnvironment("QS_PLACE_AT", text);
  std::snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(GetCurrentProcessId()));
  test::SetEnvironment("QS_PLACE_PARENT", text);
  std::intptr_t child = 0;
  std::uint32_t child_id = 0;
  const bool started = test::StartThisProgram("--gtest_filter=SharedPoolPlacedChild.*", &child, &child_id);
  test::SetEnvironment("QS_PLACE_POOL", nullptr);
  test::SetEnvironment("QS_PLACE_AT", nullptr);
  test::SetEnvironment("QS_PLACE_PARENT", nullptr);
  if (!started) VirtualFree(pin, 0, MEM_RELEASE);
  ASSERT_TRUE(started);
  // Whatever happens here, the child is let go and waited for.
  int child_code = -1;
  struct Release {
    HANDLE go;
    std::intptr_t child;
    int* code;
    ~Release() {
      SetEvent(go);
      *code = test::FinishThisProgram(child);
    }
  };
  Pool* pool = nullptr;
  char** box = nullptr;
  {
    Release release{go, child, &child_code};
    HANDLE waits[2] = {ready, reinterpret_cast<HANDLE>(child)};
    const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    VirtualFree(pin, 0, MEM_RELEASE);
    ASSERT_EQ(woken, WAIT_OBJECT_0) << "the child ended early";
    // On its own this process would put the region where the child now
    // holds memory.
    std::uintptr_t again = 0;
    ASSERT_EQ(detail::FindCommonAddress(nullptr, 0, kBytes, &again), Placement::kFound);
    EXPECT_EQ(again, alone);
    std::uintptr_t both = 0;
    ASSERT_EQ(detail::FindCommonAddress(&child_id, 1, kBytes, &both), Placement::kFound);
    EXPECT_TRUE(both + kBytes <= alone || both >= alone + kBytes);
    pool = CreateSharedPool(name.c_str(), kBytes, 0, &child_id, 1);
    ASSERT_NE(pool, nullptr);
    const auto at = reinterpret_cast<std::uintptr_t>(pool);
    EXPECT_TRUE(at + kBytes <= alone || at >= alone + kBytes);
    box = static_cast<char**>(Alloc(pool, 3 * sizeof(char*), kZeroFill));
    ASSERT_NE(box, nullptr);
    std::memcpy(box, "mailbox", 8);
    box[1] = std::strcpy(static_cast<char*>(Alloc(pool, 100)), "question");
  }
  EXPECT_EQ(child_code, 0);
  ASSERT_NE(pool, nullptr);
  EXPECT_EQ(box[1], nullptr);
  ASSERT_NE(box[2], nullptr);
  EXPECT_STREQ(box[2], "answer");
  EXPECT_EQ(CheckPointer(pool, box[2]), 1);
  Free(box[2]);
  Free(box);
  EXPECT_EQ(CheckPool(pool), 1);
  EXPECT_TRUE(DestroyPool(pool));
  CloseHandle(go);
  CloseHandle(ready);
}

// A process that has ended can no longer be asked, though its id is open.
TEST(SharedPool, EndedProcessFailsCreationCleanly) {
  test::RecordingSink sink;
  std::intptr_t child = 0;
  std::uint32_t child_id = 0;
  ASSERT_TRUE(test::StartThisProgram("--gtest_filter=NoSuchSuite.NoSuchTest", &child, &child_id));
  WaitForSingleObject(reinterpret_cast<HANDLE>(child), INFINITE);
  const std::string name = UniqueName("Ended");
  EXPECT_EQ(CreateSharedPool(name.c_str(), 1 << 20, 0, &child_id, 1), nullptr);
  bool already = false;
  EXPECT_EQ(AttachSharedPool(nullptr, name.c_str(), &already), nullptr);
  EXPECT_EQ(test::FinishThisProgram(child), 0);
  EXPECT_TRUE(sink.messages().empty());
}
#endif

}  // namespace
}  // namespace qs::mem
