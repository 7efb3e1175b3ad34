#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "chars_support.h"
#include "recording_sink.h"
#include "sgml/sdata_table.h"

namespace qs::test {
namespace {

using Records = std::vector<std::pair<std::string, std::string>>;

// An SDATA file with the records in their hash buckets, in the given order.
std::string MakeSdataFile(const Records& records) {
  std::vector<Records> buckets(256);
  for (const auto& r : records) buckets[SdataBucket(r.first.c_str())].push_back(r);
  std::string head = "SDATA01", body;
  const std::size_t base = 7 + 3 * 256;
  for (const Records& b : buckets) {
    std::size_t offset = b.empty() ? 0 : base + body.size();
    head += static_cast<char>(offset >> 16);
    head += static_cast<char>(offset >> 8);
    head += static_cast<char>(offset);
    for (const auto& [name, text] : b) body += name + '\0' + text + '\0';
    if (!b.empty()) body += '\0';
  }
  return head + body;
}

// The replacement of a name, or "(none)".
std::string Find(const SdataTable& table, const char* name) {
  SdataEntry* e = table.Lookup(name);
  EXPECT_STREQ(e->Name(), name);
  EXPECT_EQ(e->NameLength(), std::string(name).size());
  std::string r = e->Replacement() ? e->Replacement() : "(none)";
  e->Release();
  return r;
}

class SdataFile : public ::testing::Test {
 protected:
  void TearDown() override { std::remove(path_.c_str()); }
  // One file per test: the native build runs the cases in parallel.
  std::string path_ = std::string("chars-sdata-") +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".dat";
};

TEST(SdataBucket, FollowsTheNameHash) {
  EXPECT_EQ(SdataBucket("a"), 135u);  // 17 + (97 + 17) * 19 = 2183
  EXPECT_EQ(SdataBucket(""), 17u);
  EXPECT_EQ(SdataBucket("[mdash ]"), 208u);
  EXPECT_EQ(SdataBucket("[MDASH ]"), 112u);
}

TEST(SdataShipped, ResolvesIsoEntityTexts) {
  SdataTable table(ShippedSdata().c_str());
  ASSERT_TRUE(table.IsLoaded());
  const std::pair<const char*, const char*> cases[] = {
      {"[mdash ]", "\xE2\x80\x94"}, {"[amp   ]", "&"},          {"[lt    ]", "<"},
      {"[eacute]", "\xC3\xA9"},     {"[alpha ]", "\xCE\xB1"},   {"[bull  ]", "\xE2\x80\xA2"},
      {"[MDASH ]", "(none)"},       {"[mdash]", "(none)"},      {"", "(none)"},
  };
  for (const auto& [name, replacement] : cases) EXPECT_EQ(Find(table, name), replacement) << name;
}

TEST(SdataShipped, EngineTableIsTheFileInTheSdataHomeFolder) {
  const std::string home = SourceDir() + "/samples/home";
  for (const std::string& folder : {home, home + "/"}) {
    SdataTable* table = CreateSdataTable(folder.c_str());
    EXPECT_TRUE(table->IsLoaded()) << folder;
    EXPECT_EQ(Find(*table, "[mdash ]"), "\xE2\x80\x94");
    delete table;
  }
  SdataTable* none = CreateSdataTable(nullptr);
  EXPECT_FALSE(none->IsLoaded());
  delete none;
}

TEST_F(SdataFile, OtherMagicOrMissingFileIsIgnoredSilently) {
  RecordingSink sink;
  std::string good = MakeSdataFile({{"[x]", "y"}});
  for (const char* magic : {"SDATA02", "sdata01", "SDATA0", "XDATA01"}) {
    std::string bytes = good;
    bytes.replace(0, 7, std::string(magic).substr(0, 7));
    if (std::string(magic).size() < 7) bytes.resize(6);
    WriteBytes(path_, bytes);
    SdataTable table(path_.c_str());
    EXPECT_FALSE(table.IsLoaded()) << magic;
    EXPECT_EQ(Find(table, "[x]"), "(none)") << magic;
  }
  SdataTable missing("no-such-folder/sdata.dat");
  EXPECT_FALSE(missing.IsLoaded());
  EXPECT_EQ(Find(missing, "[x]"), "(none)");
  SdataTable none(nullptr);
  EXPECT_EQ(Find(none, "[x]"), "(none)");
  EXPECT_TRUE(sink.messages().empty());
}

TEST_F(SdataFile, FirstRecordOfANameWinsAndLookupIsCaseSensitive) {
  // The two "a" records share a bucket; "b" has its own.
  WriteBytes(path_, MakeSdataFile({{"a", "first"}, {"a", "second"}, {"b", "bee"}}));
  SdataTable table(path_.c_str());
  EXPECT_EQ(Find(table, "a"), "first");
  EXPECT_EQ(Find(table, "b"), "bee");
  EXPECT_EQ(Find(table, "A"), "(none)");
  EXPECT_EQ(Find(table, "c"), "(none)");
}

// An offset of 0 means an empty bucket, never a bucket at the start of the
// file. Read from there, the header "SDATA01" (ended by the zero first byte
// of bucket 0's offset) would be found as a record named "SDATA01".
TEST_F(SdataFile, EmptyBucketIsNotSearched) {
  ASSERT_NE(SdataBucket("SDATA01"), SdataBucket("a"));
  std::string bytes = MakeSdataFile({{"a", "x"}});
  ASSERT_EQ(bytes[7], '\0');
  ASSERT_EQ(bytes.substr(7 + 3 * SdataBucket("SDATA01"), 3), std::string(3, '\0'));
  WriteBytes(path_, bytes);
  SdataTable table(path_.c_str());
  EXPECT_TRUE(table.IsLoaded());
  EXPECT_EQ(Find(table, "a"), "x");
  EXPECT_EQ(Find(table, "SDATA01"), "(none)");
}

TEST_F(SdataFile, DamagedBucketsEndAtTheEndOfTheFile) {
  std::string bytes = MakeSdataFile({{"a", "x"}, {"b", "y"}});
  // Bucket "b" points past the end, and the file loses its last byte (the
  // empty name that closes the last bucket).
  const std::size_t slotB = 7 + 3 * SdataBucket("b");
  bytes[slotB] = '\x7F';
  std::string cut = bytes.substr(0, bytes.size() - 1);
  WriteBytes(path_, cut);
  SdataTable table(path_.c_str());
  EXPECT_EQ(Find(table, "b"), "(none)");
  EXPECT_EQ(Find(table, "zz"), "(none)");
  // A name longer than the string reader takes is cut, never overrun.
  std::string longName(3000, 'n');
  WriteBytes(path_, MakeSdataFile({{longName, "v"}}));
  SdataTable longTable(path_.c_str());
  EXPECT_EQ(Find(longTable, longName.c_str()), "(none)");
}

}  // namespace
}  // namespace qs::test
