#include "foundation/names.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "foundation/arena.h"

namespace qs {
namespace {

TEST(NameTable, InternTwiceReleaseTwice) {
  NameTable table;
  InternedName* a = table.Intern("chapter");
  InternedName* b = table.Intern("chapter", 7);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a->UseCount(), 2);
  EXPECT_STREQ(a->Text(), "chapter");
  EXPECT_EQ(a->Length(), 7u);
  a->Release();
  EXPECT_EQ(table.Find("chapter", 7), a);
  EXPECT_EQ(b->UseCount(), 1);
  b->Release();  // deleted, and gone from the table
  EXPECT_EQ(table.Find("chapter", 7), nullptr);
  EXPECT_EQ(table.First(), nullptr);

  InternedName* fresh = table.Intern("chapter");
  EXPECT_EQ(fresh->UseCount(), 1);
  EXPECT_EQ(table.Find("chapter", 7), fresh);
  fresh->Release();
}

TEST(NameTable, TextIsKeptByteForByte) {
  NameTable table;
  InternedName* lower = table.Intern("abc");
  InternedName* upper = table.Intern("ABC");
  InternedName* prefix = table.Intern("abc", 2);
  InternedName* withNul = table.Intern("a\0c", 3);
  InternedName* empty = table.Intern("");
  std::set<InternedName*> distinct = {lower, upper, prefix, withNul, empty};
  EXPECT_EQ(distinct.size(), 5u);
  EXPECT_STREQ(prefix->Text(), "ab");  // NUL-terminated copy
  EXPECT_EQ(withNul->Length(), 3u);
  EXPECT_EQ(std::memcmp(withNul->Text(), "a\0c", 4), 0);
  EXPECT_EQ(empty->Length(), 0u);
  EXPECT_EQ(table.Intern(nullptr), nullptr);
  for (InternedName* n : distinct) n->Release();
}

TEST(NameTable, UseCountSaturatesInsteadOfWrapping) {
  NameTable table;
  InternedName* keep = nullptr;
  for (int i = 0; i < 70000; ++i) keep = table.Intern("busy");
  EXPECT_EQ(keep->UseCount(), InternedName::kSaturated);
  // Releases no longer count: the name stays for the table's life.
  for (int i = 0; i < 70000; ++i) keep->Release();
  EXPECT_EQ(table.Find("busy", 4), keep);
  EXPECT_STREQ(keep->Text(), "busy");
  EXPECT_EQ(table.Intern("busy"), keep);
  // The table's end takes it.
}

TEST(NameTable, NamesOutlivingTheTableReleaseCleanly) {
  InternedName* name;
  {
    NameTable table;
    name = table.Intern("late");
  }
  EXPECT_STREQ(name->Text(), "late");
  name->Release();
}

TEST(NameTable, ManyNamesShareTheBuckets) {
  NameTable table;
  std::vector<InternedName*> names;
  for (int i = 0; i < 3000; ++i) names.push_back(table.Intern(("n" + std::to_string(i)).c_str()));
  for (int i = 0; i < 3000; ++i) {
    std::string text = "n" + std::to_string(i);
    EXPECT_EQ(table.Find(text.data(), text.size()), names[i]);
  }
  for (InternedName* n : names) n->Release();
  EXPECT_EQ(table.First(), nullptr);
}

TEST(NameTable, NamesLeaveFromTheirBucketsAfterTheTableGrew) {
  // Names made before, between and after several growths; every other one
  // goes while the rest must still be found, and names made again after
  // that are new records found under their own text.
  NameTable table;
  std::vector<InternedName*> names;
  for (int i = 0; i < 5000; ++i) names.push_back(table.Intern(("id" + std::to_string(i)).c_str()));
  EXPECT_GT(table.BucketCount(), NameTable::kBuckets);
  for (int i = 0; i < 5000; i += 2) names[i]->Release();
  EXPECT_EQ(table.Count(), 2500u);
  for (int i = 0; i < 5000; ++i) {
    std::string text = "id" + std::to_string(i);
    EXPECT_EQ(table.Find(text.data(), text.size()), i % 2 ? names[i] : nullptr) << text;
  }
  for (int i = 0; i < 5000; i += 2) {
    names[i] = table.Intern(("id" + std::to_string(i)).c_str());
    EXPECT_EQ(names[i]->UseCount(), 1);
  }
  for (int i = 0; i < 5000; ++i) {
    std::string text = "id" + std::to_string(i);
    EXPECT_EQ(table.Intern(text.c_str()), names[i]) << text;
    names[i]->Release();
    names[i]->Release();
  }
  EXPECT_EQ(table.Count(), 0u);
  EXPECT_EQ(table.First(), nullptr);
}

TEST(KeywordTable, FindsValuesAndKeepsTheFirst) {
  KeywordTable table(31);
  KeywordRecord* element = table.AddKeyword("ELEMENT", 7);
  ASSERT_NE(element, nullptr);
  EXPECT_EQ(table.AddKeyword("ELEMENT", 99), element);
  EXPECT_EQ(element->Value(), 7);
  table.AddKeyword("ATTLIST", 8);
  struct Case {
    std::string key;
    std::intptr_t want;
  } cases[] = {{"ELEMENT", 7}, {"ATTLIST", 8}, {"element", 0}, {"ELEMENTS", 0}, {"ELEMEN", 0}, {"", 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(table.FindValueSz(c.key.c_str()), c.want) << c.key;
    EXPECT_EQ(table.FindValue(c.key.data(), c.key.size()), c.want) << c.key;
  }
  EXPECT_EQ(table.FindValue("ELEMENTS", 7), 7);
  EXPECT_EQ(table.FindValueSz(nullptr), 0);
}

TEST(DefaultName, WritesTheNameWithinTheBuffer) {
  char buffer[32];
  EXPECT_EQ(DefaultName(buffer, sizeof buffer), buffer);
  EXPECT_STREQ(buffer, "<default>");
  char small[5];
  DefaultName(small, sizeof small);
  EXPECT_STREQ(small, "<def");
}

TEST(GlobalArena, BlocksAreAlignedAndDoNotOverlap) {
  GlobalArena arena;
  struct Block {
    unsigned char* p;
    std::size_t n;
  };
  std::vector<Block> blocks;
  const std::size_t sizes[] = {1, 3, 16, 17, 100, 4095, 0, 7, 32000, 5, GlobalArena::kChunkRoom, 2, 40};
  // Each size asked with each alignment in turn, the default among them.
  const std::size_t alignments[] = {GlobalArena::kAlignment, 8, 1, 4, 0};
  for (int round = 0; round < 4; ++round) {
    for (std::size_t n : sizes) {
      const std::size_t alignment = alignments[blocks.size() % std::size(alignments)];
      auto* p = static_cast<unsigned char*>(alignment ? arena.Allocate(n, alignment) : arena.Allocate(n));
      ASSERT_NE(p, nullptr) << n;
      const std::size_t expected = alignment ? alignment : GlobalArena::kAlignment;
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % expected, 0u) << n << " at " << alignment;
      std::memset(p, static_cast<int>(blocks.size() & 0xFF), n);
      blocks.push_back({p, n});
    }
  }
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    for (std::size_t k = 0; k < blocks[i].n; ++k) {
      ASSERT_EQ(blocks[i].p[k], i & 0xFF) << "block " << i;
    }
  }
  EXPECT_GT(arena.ChunkCount(), 4u);
}

// Layout items need only pointer alignment: a large document makes
// hundreds of thousands of 40-byte ones, each 48 bytes at 16-byte steps.
TEST(GlobalArena, PointerAlignedBlocksPackWithoutGaps) {
  GlobalArena arena;
  auto* first = static_cast<unsigned char*>(arena.Allocate(40, 8));
  ASSERT_NE(first, nullptr);
  const std::size_t fit = GlobalArena::kChunkRoom / 40;
  for (std::size_t i = 1; i < fit; ++i)
    ASSERT_EQ(static_cast<unsigned char*>(arena.Allocate(40, 8)), first + 40 * i) << i;
  EXPECT_EQ(arena.ChunkCount(), 1u);
  EXPECT_NE(arena.Allocate(40, 8), nullptr);
  EXPECT_EQ(arena.ChunkCount(), 2u);
  // A default request after an odd-sized one still starts on 16 bytes.
  arena.Allocate(3, 1);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(arena.Allocate(16)) % GlobalArena::kAlignment, 0u);
}

TEST(GlobalArena, RefusesMoreThanAChunkHolds) {
  GlobalArena arena;
  EXPECT_EQ(arena.Allocate(GlobalArena::kChunkRoom + 1), nullptr);
  EXPECT_EQ(arena.Allocate(static_cast<std::size_t>(-1)), nullptr);
  EXPECT_EQ(arena.ChunkCount(), 0u);
  void* whole = arena.Allocate(GlobalArena::kChunkRoom);
  ASSERT_NE(whole, nullptr);
  std::memset(whole, 0xAB, GlobalArena::kChunkRoom);
  EXPECT_EQ(arena.ChunkCount(), 1u);
  EXPECT_NE(arena.Allocate(1), nullptr);
  EXPECT_EQ(arena.ChunkCount(), 2u);
}

TEST(GlobalArena, FreeAllEmptiesTheArenaForReuse) {
  GlobalArena arena;
  for (int i = 0; i < 10; ++i) arena.Allocate(10000);
  EXPECT_EQ(arena.ChunkCount(), 4u);  // three 10,000-byte blocks a chunk
  arena.FreeAll();
  EXPECT_EQ(arena.ChunkCount(), 0u);
  EXPECT_NE(arena.Allocate(8), nullptr);
  EXPECT_EQ(arena.ChunkCount(), 1u);
}

}  // namespace
}  // namespace qs
