#include "view/extent_cache.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace qs {
namespace {

std::vector<std::uint16_t> Units(const char* text) {
  return std::vector<std::uint16_t>(text, text + std::strlen(text));
}

// Every text in one bucket: only the comparison of the texts tells them apart.
std::uint32_t SameHash(ExtentCache::Kind, const std::uint16_t*, std::size_t) { return 7; }

int FindUnits(const ExtentCache& cache, const char* text) {
  const std::vector<std::uint16_t> units = Units(text);
  int width = -1;
  return cache.Find(units.data(), units.size(), &width) ? width : -1;
}

TEST(ExtentCache, KeepsEachTextsOwnWidthWhenTextsCollide) {
  for (ExtentCache::HashFunction hash : {ExtentCache::HashFunction{nullptr}, &SameHash}) {
    ExtentCache cache(hash);
    // Same length, same units in another order, a prefix, 8-bit and UTF-16
    // of the same values; texts kept in their slot and texts kept apart
    // (longer than the slot holds), differing only in their last unit.
    const struct {
      const char* text;
      int width;
    } kTexts[] = {{"word", 40},      {"drow", 41},      {"wor", 30},       {"worde", 50},
                  {"Word", 44},      {"eightchr", 80},  {"eightchs", 81},  {"eightchr9", 90},
                  {"eightchr8", 91}, {"a longer run", 120}};
    for (const auto& t : kTexts) {
      const std::vector<std::uint16_t> units = Units(t.text);
      cache.Store(units.data(), units.size(), t.width);
    }
    cache.Store("word", 4, 99);
    for (const auto& t : kTexts) EXPECT_EQ(FindUnits(cache, t.text), t.width) << t.text;
    int width = 0;
    ASSERT_TRUE(cache.Find("word", 4, &width));
    EXPECT_EQ(width, 99);
    EXPECT_FALSE(cache.Find("drow", 4, &width));
    EXPECT_EQ(FindUnits(cache, "wo"), -1);
    EXPECT_EQ(FindUnits(cache, "words"), -1);
    EXPECT_EQ(FindUnits(cache, "eightch"), -1);
    EXPECT_EQ(FindUnits(cache, "eightchr7"), -1);
    EXPECT_EQ(FindUnits(cache, "a longer rum"), -1);
    EXPECT_EQ(cache.Size(), 11u);

    cache.Clear();
    EXPECT_EQ(cache.Size(), 0u);
    for (const auto& t : kTexts) EXPECT_EQ(FindUnits(cache, t.text), -1) << t.text;
    EXPECT_FALSE(cache.Find("word", 4, &width));
    // Stored again after clearing: the new width, not a stale one.
    const std::vector<std::uint16_t> word = Units("word");
    cache.Store(word.data(), word.size(), 12);
    EXPECT_EQ(FindUnits(cache, "word"), 12);
    EXPECT_EQ(FindUnits(cache, "drow"), -1);
    const std::vector<std::uint16_t> run = Units("a longer run");
    cache.Store(run.data(), run.size(), 121);
    EXPECT_EQ(FindUnits(cache, "a longer run"), 121);
    EXPECT_EQ(FindUnits(cache, "eightchr9"), -1);
  }
}

TEST(ExtentCache, KeepsNoLongOrEmptyTextAndStaysBounded) {
  ExtentCache cache;
  const std::string longest(ExtentCache::kMaxUnits, 'x');
  const std::string tooLong(ExtentCache::kMaxUnits + 1, 'x');
  cache.Store(longest.data(), longest.size(), 320);
  cache.Store(tooLong.data(), tooLong.size(), 330);
  cache.Store("", 0, 5);
  int width = 0;
  ASSERT_TRUE(cache.Find(longest.data(), longest.size(), &width));
  EXPECT_EQ(width, 320);
  EXPECT_FALSE(cache.Find(tooLong.data(), tooLong.size(), &width));
  EXPECT_FALSE(cache.Find("", 0, &width));
  EXPECT_EQ(cache.Size(), 1u);

  // Past the bound the table starts again: never more entries, and every
  // width found is the one stored for that text.
  char text[16];
  const std::size_t total = ExtentCache::kMaxEntries + 100;
  for (std::size_t i = 0; i < total; ++i) {
    const int n = std::snprintf(text, sizeof text, "t%zu", i);
    cache.Store(text, static_cast<std::size_t>(n), static_cast<int>(i));
    ASSERT_LE(cache.Size(), ExtentCache::kMaxEntries);
  }
  std::size_t found = 0;
  for (std::size_t i = 0; i < total; ++i) {
    const int n = std::snprintf(text, sizeof text, "t%zu", i);
    if (cache.Find(text, static_cast<std::size_t>(n), &width)) {
      ++found;
      EXPECT_EQ(width, static_cast<int>(i));
    }
  }
  EXPECT_EQ(found, cache.Size());
  EXPECT_GE(found, 100u);
}

}  // namespace
}  // namespace qs
