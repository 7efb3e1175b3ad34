#include "foundation/block_cache.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine_services_fake.h"
#include "temp_folder.h"

namespace qs {
namespace {

using test::FakeEngine;
using test::Pattern;
using test::TempFolder;

struct StreamDeleter {
  void operator()(CachedStream* s) const { s->Release(); }
};
using StreamPtr = std::unique_ptr<CachedStream, StreamDeleter>;

StreamPtr Written(const std::string& data) {
  StreamPtr s(new CachedStream);
  s->StartWriting();
  s->Write(data.data(), data.size());
  s->FinishWriting();
  return s;
}

std::string ReadAllChars(CachedStream& s) {
  std::string out;
  s.SetPosition(0);
  for (std::int32_t i = 0, n = s.Size(); i < n; ++i) out.push_back(static_cast<char>(s.GetChar()));
  return out;
}

class BlockCacheTest : public testing::Test {
 protected:
  TempFolder tmp;
  FakeEngine engine{tmp.dir()};
};

TEST_F(BlockCacheTest, LongTextComesBackInOrderAndByRanges) {
  const std::string data = Pattern(300000);  // 74 blocks
  StreamPtr s = Written(data);
  ASSERT_EQ(s->Size(), 300000);
  ASSERT_NE(s->CacheFileName(), nullptr);
  const std::string cacheFile = s->CacheFileName();
  EXPECT_EQ(File::Exists(cacheFile.c_str()), 4);
  EXPECT_EQ(ReadAllChars(*s), data);

  std::mt19937 random(12345);
  std::vector<char> buf(300001);
  for (int i = 0; i < 1000; ++i) {
    std::int32_t a = static_cast<std::int32_t>(random() % 300001);
    std::int32_t b = static_cast<std::int32_t>(random() % 300001);
    if (a > b) std::swap(a, b);
    char* end = s->CopyRange(buf.data(), a, b, false);
    ASSERT_EQ(end, buf.data() + (b - a));
    ASSERT_EQ(*end, '\0');
    ASSERT_EQ(std::string(buf.data(), static_cast<std::size_t>(b - a)),
              data.substr(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a)))
        << a << ".." << b;
  }
  EXPECT_TRUE(engine.errors.empty());
  s.reset();
  EXPECT_EQ(File::Exists(cacheFile.c_str()), 0);
  EXPECT_EQ(engine.cache.OpenFileCount(), 0);
}

// Past the cache's room, whole blocks of a long write go straight to the
// cache file; shorter writes, writes ending mid-block and writes starting
// mid-block take the way through the cache. Every mix reads back whole.
TEST_F(BlockCacheTest, WritesOfAnySizeComeBackWhole) {
  const std::size_t kBlock = CacheBlock::kSize;
  const std::vector<std::vector<std::size_t>> runs = {
      {1, kBlock - 1, kBlock, kBlock + 1, 3 * kBlock + 5, 1, 40 * kBlock, 7, 65536, 13},
      {40 * kBlock, 40 * kBlock, 1, 2 * kBlock - 1, kBlock, 65536 + 3, 300000},
      {33 * kBlock - 1, 1, kBlock, 1, kBlock - 1, 5 * kBlock, 100 * kBlock + 77},
      {1000000},
  };
  for (bool told : {false, true}) {
  for (const std::vector<std::size_t>& sizes : runs) {
    std::size_t total = 0;
    for (std::size_t n : sizes) total += n;
    const std::string data = Pattern(total);
    StreamPtr s(new CachedStream);
    s->StartWriting();
    // Told the size, the stream stores whole blocks in its file from the start.
    if (told) s->ExpectSize(static_cast<std::int32_t>(total));
    std::size_t at = 0;
    for (std::size_t n : sizes) {
      s->Write(data.data() + at, n);
      at += n;
      ASSERT_EQ(s->Size(), static_cast<std::int32_t>(at));
    }
    s->FinishWriting();
    ASSERT_FALSE(s->Failed());
    std::vector<char> buf(total + 1);
    s->CopyRange(buf.data(), 0, static_cast<std::int32_t>(total), false);
    EXPECT_TRUE(std::string(buf.data(), total) == data) << sizes.size() << " writes, " << total;
    // Single bytes at the edges of every write, read one at a time.
    at = 0;
    for (std::size_t n : sizes) {
      for (std::size_t pos : {at, at + n - 1}) {
        s->SetPosition(static_cast<std::int32_t>(pos));
        ASSERT_EQ(s->GetChar(), static_cast<unsigned char>(data[pos])) << pos;
      }
      at += n;
    }
  }
  }
  EXPECT_TRUE(engine.errors.empty());
}

// A text the cache can hold stays in memory, told its size or not.
TEST_F(BlockCacheTest, TextsTheCacheHoldsMakeNoFile) {
  const std::string data = Pattern(100000);
  for (bool told : {false, true}) {
    StreamPtr s(new CachedStream);
    s->StartWriting();
    if (told) s->ExpectSize(100000);
    s->Write(data.data(), data.size());
    s->FinishWriting();
    EXPECT_EQ(s->CacheFileName(), nullptr) << told;
    EXPECT_EQ(ReadAllChars(*s), data);
  }
  EXPECT_TRUE(engine.errors.empty());
}

TEST_F(BlockCacheTest, InterleavedStreamsShareEightFiles) {
  constexpr int kStreams = 12;
  constexpr std::size_t kBytes = 40000;
  std::vector<StreamPtr> streams;
  std::vector<std::string> data;
  for (int i = 0; i < kStreams; ++i) {
    streams.emplace_back(new CachedStream);
    streams.back()->StartWriting();
    data.push_back(Pattern(kBytes, static_cast<unsigned>(i * 7)));
  }
  for (std::size_t off = 0; off < kBytes; off += 1000) {
    for (int i = 0; i < kStreams; ++i) {
      streams[i]->Write(data[i].data() + off, 1000);
      ASSERT_LE(engine.cache.OpenFileCount(), 8);
    }
  }
  for (auto& s : streams) s->FinishWriting();
  std::mt19937 random(7);
  char buf[3001];
  for (int round = 0; round < 300; ++round) {
    int i = static_cast<int>(random() % kStreams);
    std::int32_t from = static_cast<std::int32_t>(random() % (kBytes - 3000));
    streams[i]->CopyRange(buf, from, from + 3000, false);
    ASSERT_EQ(std::string(buf, 3000), data[i].substr(static_cast<std::size_t>(from), 3000));
    ASSERT_LE(engine.cache.OpenFileCount(), 8);
  }
  for (int i = 0; i < kStreams; ++i) EXPECT_EQ(ReadAllChars(*streams[i]), data[i]);
  EXPECT_TRUE(engine.errors.empty());
  streams.clear();
  EXPECT_EQ(TempFolder::FilesIn(tmp.dir()), 0);
}

TEST_F(BlockCacheTest, GiveBackUnusedKeepsTheText) {
  const std::string data = Pattern(50000);
  StreamPtr s = Written(data);
  engine.cache.GiveBackUnused();
  for (CacheBlock* b = engine.cache.Head(); b; b = b->next) EXPECT_EQ(b->owner, nullptr);
  EXPECT_EQ(ReadAllChars(*s), data);
}

TEST_F(BlockCacheTest, CopyRange) {
  std::string data = Pattern(3 * 4096 + 100);
  data[5000] = '\x01';
  StreamPtr s = Written(data);
  struct Case {
    std::int32_t from, to;
    bool fold;
  } cases[] = {{4000, 8300, false}, {100, 100, false}, {4090, 12300, true}, {12000, 12388, false},
               {12300, 99999, false}};  // past the end: the missing bytes are zero
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from << ".." << c.to);
    char* copy = s->CopyRangeAlloc(c.from, c.to, c.fold);
    std::int32_t stop = std::min<std::int32_t>(c.to, static_cast<std::int32_t>(data.size()));
    std::string expect = data.substr(static_cast<std::size_t>(c.from), static_cast<std::size_t>(stop - c.from));
    if (c.fold)
      for (char& ch : expect)
        if (ch == '\x01') ch = ' ';
    EXPECT_EQ(std::string(copy), expect);
    MemFree(copy);
  }
}

TEST_F(BlockCacheTest, Utf8Characters) {
  struct Case {
    std::string bytes;
    std::vector<std::uint32_t> chars;
  } cases[] = {
      {"\xE2\x82\xAC", {0x20AC}},
      {"A\xC3\xA9\x80", {0x41, 0xE9, 0x80}},
      {"\xF0\x9F\x98\x80", {0x1F600}},
      {"a\xE2\x82", {0x61, 0xFFFD}},  // cut short by the end of the data
      {"\xFC", {0xFFFD}},
  };
  for (const Case& c : cases) {
    StreamPtr s = Written(c.bytes);
    std::vector<std::uint32_t> got;
    while (s->Position() < s->Size()) got.push_back(s->GetUtf8Char());
    EXPECT_EQ(got, c.chars);
    EXPECT_EQ(s->Position(), s->Size());
    EXPECT_EQ(s->GetUtf8Char(), 0u);
    EXPECT_EQ(s->GetChar(), 0);
  }
  // The same across a block boundary.
  std::string data(4095, 'x');
  data += "\xE2\x82\xAC";
  StreamPtr s = Written(data);
  s->SetPosition(4095);
  EXPECT_EQ(s->GetUtf8Char(), 0x20ACu);
  // And read on from the first block, whose last byte starts it.
  s->SetPosition(4093);
  EXPECT_EQ(s->GetUtf8Char(), 'x');
  EXPECT_EQ(s->GetChar(), 'x');
  EXPECT_EQ(s->GetUtf8Char(), 0x20ACu);
  EXPECT_EQ(s->Position(), 4098);
  s->SetPosition(4094);
  EXPECT_EQ(s->GetChar(), 'x');
  EXPECT_EQ(s->GetChar(), 0xE2);
  EXPECT_EQ(s->GetChar(), 0x82);
}

TEST_F(BlockCacheTest, AllBlocksLockedFailsTheStreamOnly) {
  std::vector<StreamPtr> writers;
  for (int i = 0; i < BlockCache::kBlocks; ++i) {
    writers.emplace_back(new CachedStream);
    writers.back()->StartWriting();
    writers.back()->Write("abc", 3);
  }
  EXPECT_TRUE(engine.errors.empty());
  StreamPtr extra(new CachedStream);
  extra->StartWriting();
  ASSERT_EQ(engine.errors.size(), 1u);
  EXPECT_EQ(engine.errors[0].code, 5);
  EXPECT_TRUE(extra->Failed());
  extra->Write("dropped", 7);
  extra->FinishWriting();
  EXPECT_EQ(extra->Size(), 0);
  EXPECT_EQ(extra->GetChar(), 0);
  char buf[8];
  EXPECT_EQ(extra->CopyRange(buf, 0, 5, false), buf);
  // The others go on.
  writers[0]->FinishWriting();
  EXPECT_EQ(ReadAllChars(*writers[0]), "abc");
}

TEST_F(BlockCacheTest, UnopenableCacheFileFailsTheStream) {
  FakeEngine broken(tmp.File("no-such-folder"));
  StreamPtr s(new CachedStream);
  s->StartWriting();
  s->Write(Pattern(200000).data(), 200000);  // more than the cache holds
  s->FinishWriting();
  ASSERT_FALSE(broken.errors.empty());
  EXPECT_EQ(broken.errors[0].code, 3);
  EXPECT_NE(broken.errors[0].arg.find("no-such-folder"), std::string::npos);
  EXPECT_TRUE(s->Failed());
  s->SetPosition(0);
  EXPECT_EQ(s->GetChar(), 0);
}

TEST_F(BlockCacheTest, LostCacheFileIsABadBlock) {
  const std::string data = Pattern(200000);
  StreamPtr s = Written(data);
  const std::string cacheFile = s->CacheFileName();
  engine.cache.GiveBackUnused();
  engine.cache.CloseFile(cacheFile.c_str());
  ASSERT_TRUE(File::Delete(cacheFile.c_str()));
  s->SetPosition(0);
  EXPECT_EQ(s->GetChar(), 0);
  ASSERT_EQ(engine.errors.size(), 1u);
  EXPECT_EQ(engine.errors[0].code, 6);
  EXPECT_TRUE(s->Failed());
  char buf[101];
  s->CopyRange(buf, 0, 100, false);
  EXPECT_EQ(buf[0], '\0');
}

TEST_F(BlockCacheTest, AppendingPastThePageMapIsRefused) {
  const std::int32_t limit = CachedStream::kMaxBlocks * CacheBlock::kSize;
  StreamPtr s(new CachedStream);
  s->StartWriting();
  std::string chunk = Pattern(65536);
  for (std::int32_t done = 0; done < limit + 10000; done += 65536) s->Write(chunk.data(), chunk.size());
  s->FinishWriting();
  EXPECT_EQ(s->Size(), limit);
  ASSERT_EQ(engine.errors.size(), 1u);
  EXPECT_EQ(engine.errors[0].code, 0);
  EXPECT_FALSE(s->Failed());  // what was stored stays readable
  s->SetPosition(limit - 1);
  EXPECT_EQ(s->GetChar(), static_cast<unsigned char>(chunk[(limit - 1) % 65536]));
  s->SetPosition(70000);
  EXPECT_EQ(s->GetChar(), static_cast<unsigned char>(chunk[70000 % 65536]));
}

}  // namespace
}  // namespace qs
