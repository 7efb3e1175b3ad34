#include "foundation/strings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/memory.h"

namespace qs {
namespace {

std::string Fmt(const char* format, ...) {
  char buf[256];
  std::memset(buf, 'Z', sizeof buf);
  va_list args;
  va_start(args, format);
  std::size_t n = FormatStringV(buf, sizeof buf, format, args);
  va_end(args);
  EXPECT_EQ(n, std::strlen(buf));
  return std::string(buf, n);
}

TEST(FormatString, Conversions) {
  struct Case {
    std::string got, want;
  } cases[] = {
      {Fmt("%05d", -12), "-0012"},
      {Fmt("%5d", -12), "  -12"},
      {Fmt("%08lx", 255L), "000000ff"},
      {Fmt("%8x", 255), "      ff"},
      {Fmt("%X", 0xBEEFu), "BEEF"},
      {Fmt("%b", 5), "101"},
      {Fmt("%o", 8), "10"},
      {Fmt("%u", 4294967295u), "4294967295"},
      {Fmt("%d", INT32_MIN), "-2147483648"},
      {Fmt("%d", 0), "0"},
      {Fmt("%ld|%d", 7L, 7), "7|7"},
      {Fmt("100%%"), "100%"},
      {Fmt("[%s]", ""), "[]"},
      {Fmt("[%s]", static_cast<const char*>(nullptr)), "[]"},
      {Fmt("%c%c", 'o', 'k'), "ok"},
      // Two-digit widths are not supported: the directive is copied as text
      // and no argument is taken.
      {Fmt("%12d|%d", 5), "%12d|5"},
      {Fmt("%q%d", 3), "%q3"},
      {Fmt("end%"), "end%"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(FormatString, CharacterZeroEndsTheText) {
  char buf[16];
  FormatString(buf, sizeof buf, "a%cb", 0);
  EXPECT_STREQ(buf, "a");
}

TEST(FormatString, RespectsCapacity) {
  std::string longText(1000, 'x');
  char buf[256];
  std::size_t n = FormatString(buf, sizeof buf, "%s", longText.c_str());
  EXPECT_EQ(n, 255u);
  EXPECT_EQ(buf[255], '\0');

  char tiny[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(FormatString(tiny, 0, "abc"), 0u);
  EXPECT_EQ(tiny[0], '#');
  EXPECT_EQ(FormatString(tiny, 1, "abc"), 0u);
  EXPECT_EQ(tiny[0], '\0');
  FormatString(tiny, 4, "%05d", 42);
  EXPECT_STREQ(tiny, "000");
}

TEST(FormatString, CutsAtCharacterBoundary) {
  // "é" is two bytes and "€" three: neither may be split by the cut.
  char buf[5];
  FormatString(buf, sizeof buf, "ab%s", "\xC3\xA9\xC3\xA9");
  EXPECT_STREQ(buf, "ab\xC3\xA9");
  FormatString(buf, sizeof buf, "ab%s", "\xE2\x82\xAC");
  EXPECT_STREQ(buf, "ab");
  char four[4];
  FormatString(four, sizeof four, "%s", "\xE2\x82\xAC");
  EXPECT_STREQ(four, "\xE2\x82\xAC");
}

TEST(Strings, CopyAndLength) {
  char buf[8];
  std::memset(buf, 'Z', sizeof buf);
  EXPECT_EQ(CopyStringMax(buf, "abcdef", 1), buf);
  EXPECT_EQ(buf[0], '\0');
  EXPECT_EQ(buf[1], 'Z');
  CopyStringMax(buf, "abcdefghijk", sizeof buf);
  EXPECT_STREQ(buf, "abcdefg");
  CopyStringMax(buf, "ab", sizeof buf);
  EXPECT_STREQ(buf, "ab");
  EXPECT_STREQ(CopyString(buf, "xyz"), "xyz");
  EXPECT_EQ(GetStringLength(""), 0u);
  EXPECT_EQ(GetStringLength("abc"), 3u);
}

TEST(Strings, Compare) {
  EXPECT_LT(CompareStrings("abc", "abd"), 0);
  EXPECT_GT(CompareStrings("abd", "abc"), 0);
  EXPECT_EQ(CompareStrings("abc", "abc"), 0);
  EXPECT_LT(CompareStrings("ab", "abc"), 0);
  // Bytes are signed: 0xE9 sorts before ASCII.
  EXPECT_LT(CompareStrings("\xE9", "a"), 0);
  EXPECT_EQ(CompareStringsMax("abcX", "abcY", 3), 0);
  EXPECT_NE(CompareStringsMax("abcX", "abcY", 4), 0);
  EXPECT_EQ(CompareStringNoCase("Hello", "hELLO"), 0);
  EXPECT_EQ(CompareStringNoCase("\xE9", "\xC9"), 0);
  EXPECT_EQ(CompareStringNoCase("a\x01" "b", "A B"), 0);
  EXPECT_NE(CompareStringNoCase("\xD7", "\xF7"), 0);  // x and / signs have no case
  EXPECT_EQ(CompareStringNoCaseMax("abcX", "ABCY", 3), 0);
  EXPECT_LT(CompareStringNoCaseMax("abc", "ABD", 3), 0);
}

TEST(Strings, CaseMapping) {
  char s[] = "ab\xE9\xFF\xF7z1";
  UppercaseString(s);
  EXPECT_STREQ(s, "AB\xC9\xFF\xF7Z1");
  char t[] = "AB\xC9Z";
  LowercaseString(t);
  EXPECT_STREQ(t, "ab\xC9z");  // Latin-1 letters are left as they are
  EXPECT_EQ(ToLowerAscii('Q'), 'q');
  EXPECT_EQ(ToLowerAscii('['), '[');
}

TEST(Strings, CharTableRows) {
  EXPECT_TRUE(HasCharClass(' ', CharTable::kBlank));
  EXPECT_TRUE(HasCharClass('\t', CharTable::kBlank));
  EXPECT_FALSE(HasCharClass('!', CharTable::kBlank));
  EXPECT_TRUE(HasCharClass(0xE9, CharTable::kLetter));
  EXPECT_FALSE(HasCharClass(0xE9, CharTable::kNameChar));
  EXPECT_FALSE(HasCharClass(0xD7, CharTable::kLetter));
  for (char c : std::string("aZ09.-_:\\"))
    EXPECT_TRUE(HasCharClass(static_cast<unsigned char>(c), CharTable::kNameChar)) << c;
  EXPECT_TRUE(HasCharClass('7', CharTable::kDigit));
  EXPECT_EQ(g_charTable.identity[1], ' ');
  EXPECT_EQ(g_charTable.identity[200], 200);
  EXPECT_EQ(FoldCase(0xFE), 0xDE);
  EXPECT_EQ(FoldCase(0xFF), 0xFF);
}

TEST(Strings, DuplicateAndFind) {
  char* d = DuplicateString("hello");
  ASSERT_NE(d, nullptr);
  EXPECT_STREQ(d, "hello");
  MemFree(d);
  EXPECT_EQ(DuplicateString(nullptr), nullptr);
  const char* s = "a.b.c";
  EXPECT_EQ(FindChar(s, '.'), s + 1);
  EXPECT_EQ(FindChar(s, 'z'), nullptr);
  EXPECT_EQ(FindChar(s, '\0'), nullptr);
}

TEST(Strings, Numbers) {
  EXPECT_EQ(ParseLong("  -42abc"), -42);
  EXPECT_EQ(ParseLong("+7"), 7);
  EXPECT_EQ(ParseLong("x"), 0);
  EXPECT_EQ(ParseLong("99999999999"), INT32_MAX);
  EXPECT_EQ(ParseLong("-99999999999"), INT32_MIN);
  EXPECT_DOUBLE_EQ(ParseDouble("2.5e1"), 25.0);
  EXPECT_EQ(ParseHex("  -1F"), -31);
  EXPECT_EQ(ParseHex("x1"), 0);
  EXPECT_EQ(ParseHex("\t+ff zz"), 255);
  EXPECT_EQ(ParseHex("100000000"), 0);  // wraps in 32 bits
  EXPECT_TRUE(IsHexNumber(""));
  EXPECT_TRUE(IsHexNumber("09afAF"));
  EXPECT_FALSE(IsHexNumber("0x1"));
  EXPECT_TRUE(IsHexString("DEADbeef"));
  EXPECT_FALSE(IsHexString("g"));
  EXPECT_TRUE(g_hexClass.v['#'] & 0x20);
}

}  // namespace
}  // namespace qs
