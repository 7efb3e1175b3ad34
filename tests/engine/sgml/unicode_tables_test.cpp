#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "chars_support.h"
#include "foundation/engine.h"
#include "recording_sink.h"
#include "foundation/memory.h"

namespace qs::test {
namespace {

std::uint32_t U32(const std::string& s, std::size_t at) {
  auto b = [&](std::size_t i) { return std::uint32_t{static_cast<unsigned char>(s[at + i])}; };
  return b(0) | (b(1) << 8) | (b(2) << 16) | (b(3) << 24);
}

void PutU32(std::string& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}


TEST(UnicodeTablesFile, ShippedFileHasTheExactLayout) {
  std::string f;
  ASSERT_TRUE(ReadBytes(ShippedTables(), &f));
  ASSERT_GE(f.size(), 68u);
  EXPECT_EQ(U32(f, 0), 0x01020304u);
  ASSERT_EQ(U32(f, 4), 5u);
  const std::uint32_t ids[5] = {0x11, 0x21, 0x32, 0x42, 0x52};
  const std::uint32_t sizes[5] = {0x101, 0xE00, 0x4680, 0x4680, 0x75C0};
  std::uint32_t next = 8 + 12 * 5;
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(U32(f, 8 + 12 * i), ids[i]);
    EXPECT_EQ(U32(f, 12 + 12 * i), next);
    EXPECT_EQ(U32(f, 16 + 12 * i), sizes[i]);
    next += sizes[i];
  }
  EXPECT_EQ(f.size(), next);
  // The class index: 28 pages, every high byte served by one of them.
  std::uint32_t index = U32(f, 12);
  EXPECT_EQ(static_cast<unsigned char>(f[index]), 28);
  for (int h = 0; h < 256; ++h) EXPECT_LT(static_cast<unsigned char>(f[index + 1 + h]), 28) << h;
}

TEST(UnicodeTablesFile, ShippedTablesGiveTheExpectedClassesAndCharacters) {
  ShippedTablesScope tables;
  const std::pair<char32_t, int> classes[] = {
      {'a', 1},    {'Z', 1},    {'7', 1},     {'.', 1},    {0x0001, 1}, {' ', 2},
      {'\t', 2},   {'-', 2},    {0x200B, 2},  {'(', 3},    {'[', 3},    {0x00A0, 4},
      {0x2060, 4}, {0x4E00, 5}, {0xAC00, 5},  {0x3042, 5}, {0x3005, 6}, {'\n', 7},
      {0xE000, 0}, {0xD800, 0}, {0x1F600, 0},
  };
  for (const auto& [cp, cls] : classes) EXPECT_EQ(LineBreakClass(cp), cls) << std::hex << static_cast<std::uint32_t>(cp);
  // Classed in turn for a text: the same classes, for every code point.
  const LineBreakClasses inTurn;
  for (const auto& [cp, cls] : classes)
    EXPECT_EQ(inTurn.Of(cp), cls) << std::hex << static_cast<std::uint32_t>(cp);
  int differing = 0;
  for (char32_t cp = 0; cp < 0x20000; ++cp) differing += inTurn.Of(cp) != LineBreakClass(cp);
  EXPECT_EQ(differing, 0);
  EXPECT_EQ(ShiftJisTable()[0x5F * 48 + 1], 0x3042);  // 82 A0
  EXPECT_EQ(Gb2312Table()[0], 0x3000);                // A1 A1
  EXPECT_EQ(Big5Table()[(0x40 - 0x40) * 96 + (0xA4 - 0xA1)], 0x4E00);  // A4 40
}

TEST(UnicodeTablesFile, MissingFileIsReportedOnceAndSingleByteDecodingWorks) {
  RecordingServices reported;
  const std::string path = "no-such-folder/qsunicde.dat";
  LoadUnicodeTables(path.c_str());
  LoadUnicodeTables(path.c_str());
  ASSERT_EQ(reported.errors.size(), 1u);
  EXPECT_EQ(reported.errors[0].first, 3);  // "Fatal: Can't open file '%s'"
  EXPECT_EQ(reported.errors[0].second, path);
  EXPECT_EQ(LineBreakClass('a'), 0);
  EXPECT_EQ(DecodeAll("\xE9", 4, 0).text, "\xC3\xA9");
  EXPECT_EQ(DecodeAll(std::string("A\0", 2), 2, 0).text, "A");
  // The double-byte tables are empty: every pair has no character.
  EXPECT_EQ(DecodeAll("\x82\xA0", 13, 0).text, "\xEF\xBF\xBD");
  EXPECT_EQ(DecodeAll("\xA1\xA1", 14, 0).text, "\xEF\xBF\xBD");
  FreeUnicodeTables();
  FreeUnicodeTables();
  EXPECT_EQ(reported.errors.size(), 1u);
}

TEST(UnicodeTablesFile, MissingFileShowsTheEngineErrorText) {
  RecordingSink sink;
  HostedEngine engine(0, "C:\\Home\\", "Corvina", nullptr);
  EngineBase* previous = SetEngine(&engine);
  LoadUnicodeTables("no-such-folder/qsunicde.dat");
  FreeUnicodeTables();
  SetEngine(previous);
  ASSERT_EQ(sink.messages().size(), 1u);
  EXPECT_EQ(sink.messages()[0].text, "Fatal: Can't open file 'no-such-folder/qsunicde.dat'");
}

// Builds a tables file from the shipped one with one change.
class BadTablesFile : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(ReadBytes(ShippedTables(), &good_)); }
  void TearDown() override { std::remove(path_.c_str()); }
  void Load(const std::string& bytes) {
    WriteBytes(path_, bytes);
    LoadUnicodeTables(path_.c_str());
  }
  std::string good_;
  // One file per test: the native build runs the cases in parallel.
  std::string path_ = std::string("chars-tables-") +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".dat";
  RecordingServices reported_;
};

TEST_F(BadTablesFile, RejectedHeadersLeaveNoSections) {
  struct Mutation {
    const char* name;
    std::size_t at;
    std::uint32_t value;
    std::size_t keep;  // bytes kept (0 = all)
  };
  const Mutation mutations[] = {
      {"wrong magic", 0, 0x04030201, 0},  {"no sections", 4, 0, 0},
      {"33 sections", 4, 33, 0},          {"short header", 0, 0x01020304, 30},
      {"empty file", 0, 0x01020304, 1},
  };
  for (const Mutation& m : mutations) {
    SCOPED_TRACE(m.name);
    std::string bytes = good_;
    PutU32(bytes, m.at, m.value);
    if (m.keep) bytes.resize(m.keep == 1 ? 0 : m.keep);
    WriteBytes(path_, bytes);
    UnicodeFile file;
    file.Open(path_.c_str());
    EXPECT_EQ(file.SectionCount(), 0);
    EXPECT_EQ(file.ReadSection(0x11, 0x101, nullptr), nullptr);
    Load(bytes);
    EXPECT_EQ(LineBreakClass('a'), 0);
    EXPECT_EQ(DecodeAll("\x82\xA0", 13, 0).text, "\xEF\xBF\xBD");
    FreeUnicodeTables();
  }
  EXPECT_TRUE(reported_.errors.empty());
}

TEST_F(BadTablesFile, WronglySizedDoubleByteSectionLeavesAZeroTable) {
  std::string bytes = good_;
  PutU32(bytes, 8 + 12 * 2 + 8, 0x4681);  // Shift_JIS size
  Load(bytes);
  EXPECT_EQ(DecodeAll("\x82\xA0", 13, 0).text, "\xEF\xBF\xBD");
  for (int i = 0; i < 188 * 48; ++i) ASSERT_EQ(ShiftJisTable()[i], 0) << i;
  EXPECT_EQ(DecodeAll("\xA1\xA1", 14, 0).text, "\xE3\x80\x80");  // the others still load
  EXPECT_EQ(LineBreakClass('a'), 1);
  FreeUnicodeTables();
}

TEST_F(BadTablesFile, SectionPastTheEndOfTheFileIsNotRead) {
  std::string bytes = good_;
  bytes.resize(bytes.size() - 1);  // the Big5 section loses its last byte
  Load(bytes);
  EXPECT_EQ(DecodeAll("\xA4\x40", 15, 0).text, "\xEF\xBF\xBD");
  EXPECT_EQ(DecodeAll("\x82\xA0", 13, 0).text, "\xE3\x81\x82");
  FreeUnicodeTables();
  std::string offsetPast = good_;
  PutU32(offsetPast, 8 + 12 * 3 + 4, 0xFFFFFF00);  // GB2312 offset
  Load(offsetPast);
  EXPECT_EQ(DecodeAll("\xA1\xA1", 14, 0).text, "\xEF\xBF\xBD");
  FreeUnicodeTables();
}

TEST_F(BadTablesFile, BadClassSectionsGiveClassZero) {
  std::uint32_t index = U32(good_, 12);
  std::string wrongCount = good_;
  wrongCount[index] = 27;
  Load(wrongCount);
  EXPECT_EQ(LineBreakClass('a'), 0);
  EXPECT_EQ(LineBreakClass(0x4E00), 0);
  FreeUnicodeTables();
  // A page number past the 28 pages: only that row loses its classes.
  std::string badPage = good_;
  badPage[index + 1 + 0x4E] = static_cast<char>(200);
  Load(badPage);
  EXPECT_EQ(LineBreakClass(0x4E00), 0);
  EXPECT_EQ(LineBreakClass('a'), 1);
  FreeUnicodeTables();
}

TEST(UnicodeTablesFile, PathIsInTheSetupFolderElseTheHome) {
  struct PathCase {
    const char* setup;
    const char* home;
    const char* path;
  };
  const PathCase cases[] = {
      {"C:\\corvina\\setup", "C:\\home\\", "C:\\corvina\\qsunicde.dat"},
      {nullptr, "C:\\home\\", "C:\\home\\qsunicde.dat"},
      {"", "C:\\home", "C:\\home\\qsunicde.dat"},
      {"setup", "C:\\home\\", "qsunicde.dat"},
      {"D:setup", nullptr, "D:qsunicde.dat"},
      {nullptr, nullptr, "qsunicde.dat"},
  };
  for (const PathCase& c : cases) {
    char out[64];
    EXPECT_STREQ(UnicodeTablesPath(c.setup, c.home, out, sizeof out), c.path);
  }
  char small[16];
  EXPECT_STREQ(UnicodeTablesPath(nullptr, "C:\\a\\long\\home\\", small, sizeof small), "");
}

TEST(UnicodeData, CaseFoldingAndWordCharacters) {
  const std::pair<char16_t, char16_t> folds[] = {
      {u'A', u'a'},      {u'a', u'a'},      {0x00C4, 0x00E4}, {0x03A3, 0x03C3},
      {0x03C2, 0x03C3},  {0x017F, u's'},    {0x212A, u'k'},   {0xFF21, 0xFF41},
      {0x0410, 0x0430},  {0x1E9E, 0x00DF},  {0x4E00, 0x4E00}, {0xD83D, 0xD83D},
  };
  for (const auto& [unit, folded] : folds) EXPECT_EQ(FoldCaseUnit(unit), folded) << static_cast<int>(unit);
  const std::pair<char32_t, bool> words[] = {
      {'a', true},     {'_', true},     {'9', true},      {0x00E9, true}, {0x0301, true},
      {' ', false},    {'-', false},    {'.', false},     {0x2014, false}, {0x00A0, false},
      {0x4E00, true},  {0xFB01, true},  {0xFF21, true},   {0xFF0C, false}, {0x1F600, false},
  };
  for (const auto& [cp, word] : words) EXPECT_EQ(IsWordChar(cp), word) << std::hex << static_cast<std::uint32_t>(cp);
}

TEST(UnicodeData, Utf8ToUtf16FoldsOnRequest) {
  std::size_t n = 0;
  char16_t* plain = Utf8ToUtf16("A\xC3\x84\xCE\xA3\xF0\x9F\x98\x80", &n, false);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(std::u16string(plain, n), std::u16string({u'A', 0x00C4, 0x03A3, 0xD83D, 0xDE00}));
  EXPECT_EQ(plain[n], 0);
  MemFree(plain);
  char16_t* folded = Utf8ToUtf16("A\xC3\x84\xCE\xA3\xF0\x9F\x98\x80\xFF", &n, true);
  EXPECT_EQ(std::u16string(folded, n),
            std::u16string({u'a', 0x00E4, 0x03C3, 0xD83D, 0xDE00, 0xFFFD}));
  MemFree(folded);
}

TEST(UnicodeData, PutUtf8WritesOneToSixBytes) {
  const std::pair<std::uint32_t, std::string> cases[] = {
      {0x41, "\x41"},
      {0xE9, "\xC3\xA9"},
      {0x20AC, "\xE2\x82\xAC"},
      {0x1F600, "\xF0\x9F\x98\x80"},
      {0x200000, "\xF8\x88\x80\x80\x80"},
      {0x3FFFFFF, "\xFB\xBF\xBF\xBF\xBF"},
      {0x4000000, "\xFC\x84\x80\x80\x80\x80"},
      {0x7FFFFFFF, "\xFD\xBF\xBF\xBF\xBF\xBF"},
      {0x80000000, "\xEF\xBF\xBD"},
  };
  for (const auto& [cp, bytes] : cases) {
    char out[6];
    int n = PutUtf8(cp, out);
    EXPECT_EQ(std::string(out, n), bytes) << std::hex << static_cast<std::uint32_t>(cp);
  }
}

}  // namespace
}  // namespace qs::test
