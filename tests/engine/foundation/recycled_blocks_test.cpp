#include "foundation/recycled_blocks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

#include "foundation/arena.h"

#include "byte_pattern.h"

namespace qs {
namespace {

using test::Aligned;
using test::Fill;
using test::Holds;

struct Taken {
  void* block;
  std::size_t size;
};

TEST(RecycledBlocksTest, BlocksOfEverySizeAreAlignedApartAndKeepTheirContents) {
  RecycledBlocks blocks;
  std::vector<Taken> taken;
  for (std::size_t size : {0u, 1u, 15u, 16u, 17u, 40u, 48u, 64u, 255u, 256u, 257u, 4000u})
    for (int i = 0; i < 3; ++i) taken.push_back({blocks.Take(size), size});
  for (std::size_t i = 0; i < taken.size(); ++i) {
    ASSERT_NE(taken[i].block, nullptr);
    EXPECT_TRUE(Aligned(taken[i].block)) << taken[i].size;
    Fill(taken[i].block, taken[i].size, static_cast<unsigned>(i));
  }
  for (std::size_t i = 0; i < taken.size(); ++i)
    EXPECT_TRUE(Holds(taken[i].block, taken[i].size, static_cast<unsigned>(i))) << taken[i].size;
  for (const Taken& t : taken) blocks.Give(t.block, t.size);
}

TEST(RecycledBlocksTest, AGivenBackBlockServesTheNextRequestOfItsSizeClassOnly) {
  struct Case {
    std::size_t given, asked;
    bool same;
  } cases[] = {
      {40, 40, true},  {33, 48, true},   {48, 33, true},   {1, 16, true},   {0, 1, true},
      {40, 56, false}, {16, 17, false},  {256, 240, false}, {64, 48, false},
  };
  for (const Case& c : cases) {
    RecycledBlocks blocks;
    void* keep = blocks.Take(64);  // a neighbour, so the region is not empty
    void* block = blocks.Take(c.given);
    blocks.Give(block, c.given);
    void* again = blocks.Take(c.asked);
    EXPECT_EQ(again == block, c.same) << c.given << " then " << c.asked;
    blocks.Give(again, c.asked);
    blocks.Give(keep, 64);
  }
}

TEST(RecycledBlocksTest, FreedBlocksComeBackLastInFirstOutWithoutNewRegions) {
  RecycledBlocks blocks;
  std::vector<void*> first;
  for (int i = 0; i < 1000; ++i) first.push_back(blocks.Take(48));
  const std::size_t regions = blocks.RegionCount();
  EXPECT_EQ(regions, 1u);
  for (void* b : first) blocks.Give(b, 48);
  // Made and dropped again and again, as a page's boxes are: the same
  // blocks, no more memory.
  for (int round = 0; round < 50; ++round) {
    std::set<void*> again;
    for (int i = 0; i < 1000; ++i) again.insert(blocks.Take(48));
    EXPECT_EQ(again, std::set<void*>(first.begin(), first.end()));
    for (void* b : again) blocks.Give(b, 48);
  }
  EXPECT_EQ(blocks.RegionCount(), regions);
}

TEST(RecycledBlocksTest, BlocksGoOnIntoFurtherRegionsWhenOneIsFull) {
  RecycledBlocks blocks;
  const std::size_t count = kBulkRegionBytes / RecycledBlocks::kLargest * 2 + 10;
  std::vector<void*> taken;
  for (std::size_t i = 0; i < count; ++i) {
    void* b = blocks.Take(RecycledBlocks::kLargest);
    ASSERT_NE(b, nullptr);
    std::memcpy(b, &i, sizeof i);
    taken.push_back(b);
  }
  EXPECT_EQ(blocks.RegionCount(), 3u);
  EXPECT_EQ(std::set<void*>(taken.begin(), taken.end()).size(), count);
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t held;
    std::memcpy(&held, taken[i], sizeof held);
    ASSERT_EQ(held, i);
  }
  for (void* b : taken) blocks.Give(b, RecycledBlocks::kLargest);
}

TEST(RecycledBlocksTest, LargeBlocksAndNullTakeNoRegionSpace) {
  RecycledBlocks blocks;
  void* large = blocks.Take(RecycledBlocks::kLargest + 1);
  ASSERT_NE(large, nullptr);
  Fill(large, RecycledBlocks::kLargest + 1, 3);
  EXPECT_TRUE(Holds(large, RecycledBlocks::kLargest + 1, 3));
  EXPECT_EQ(blocks.RegionCount(), 0u);
  blocks.Give(large, RecycledBlocks::kLargest + 1);
  blocks.Give(nullptr, 40);
  // A large block given back is never handed out as a small one.
  void* small = blocks.Take(RecycledBlocks::kLargest);
  EXPECT_NE(small, large);
  EXPECT_EQ(blocks.RegionCount(), 1u);
  blocks.Give(small, RecycledBlocks::kLargest);
}

TEST(RecycledBlocksTest, RegionsGoBackOnlyWhenNoBlockIsOutAndComeAgainAfter) {
  RecycledBlocks blocks;
  void* a = blocks.Take(48);
  void* b = blocks.Take(200);
  void* large = blocks.Take(RecycledBlocks::kLargest + 1);
  ASSERT_TRUE(a && b && large);
  EXPECT_EQ(blocks.BlocksOut(), 2u);
  blocks.Give(large, RecycledBlocks::kLargest + 1);
  blocks.Give(a, 48);
  // One box still alive keeps its region.
  EXPECT_FALSE(blocks.ReleaseIfUnused());
  EXPECT_EQ(blocks.RegionCount(), 1u);
  Fill(b, 200, 9);
  EXPECT_TRUE(Holds(b, 200, 9));
  blocks.Give(b, 200);
  EXPECT_EQ(blocks.BlocksOut(), 0u);
  EXPECT_TRUE(blocks.ReleaseIfUnused());
  EXPECT_EQ(blocks.RegionCount(), 0u);
  // No free list still points into a region given back.
  void* again = blocks.Take(48);
  ASSERT_NE(again, nullptr);
  Fill(again, 48, 5);
  EXPECT_TRUE(Holds(again, 48, 5));
  EXPECT_EQ(blocks.RegionCount(), 1u);
  blocks.Give(again, 48);
}

}  // namespace
}  // namespace qs
