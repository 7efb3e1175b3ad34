#include "foundation/codepage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/memory.h"
#include "foundation/platform.h"
#include "foundation/utf8.h"

namespace qs {
namespace {

std::u16string ToWide(const char* utf8, std::size_t capacity = 64) {
  char16_t buf[64];
  std::size_t n = Utf8ToWide(utf8, buf, capacity);
  EXPECT_GE(n, 1u);
  EXPECT_EQ(buf[n - 1], 0);
  return std::u16string(buf, n - 1);
}

std::string ToUtf8(const std::u16string& wide, std::size_t capacity = 64) {
  char buf[64];
  std::size_t n = WideToUtf8(wide.c_str(), buf, capacity);
  EXPECT_GE(n, 1u);
  EXPECT_EQ(buf[n - 1], '\0');
  return std::string(buf, n - 1);
}

TEST(CodePage, Utf8ToWide) {
  struct Case {
    const char* utf8;
    std::u16string wide;
  } cases[] = {
      {"", u""},
      {"abc", u"abc"},
      {"\xC3\xA9", u"\u00E9"},
      {"\xE2\x82\xAC", u"\u20AC"},
      {"\xF0\x9F\x98\x80", std::u16string{0xD83D, 0xDE00}},
      // Invalid sequences give U+FFFD and the next byte is read again.
      {"\x80" "a", u"\uFFFDa"},
      {"\xC3" "a", u"\uFFFDa"},
      {"\xE2\x82" "a", u"\uFFFD\uFFFDa"},
      {"\xF4\x90\x80\x80", u"\uFFFD"},  // above U+10FFFF
      {"\xC3", u"\uFFFD"},               // sequence cut by the NUL
      {"\xED\xA0\x80", std::u16string{0xD800}},  // an encoded lone surrogate stays one
  };
  for (const Case& c : cases) EXPECT_EQ(ToWide(c.utf8), c.wide) << c.utf8;
}

TEST(CodePage, WideToUtf8) {
  struct Case {
    std::u16string wide;
    std::string utf8;
  } cases[] = {
      {u"", ""},
      {u"x\u00E9", "x\xC3\xA9"},
      {std::u16string{0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},
      {std::u16string{0xD83D, 'A'}, "\xEF\xBF\xBD" "A"},
      {std::u16string{0xDC00}, "\xED\xB0\x80"},
  };
  for (const Case& c : cases) EXPECT_EQ(ToUtf8(c.wide), c.utf8);
}

TEST(CodePage, RoundTrips) {
  for (std::u16string w : {std::u16string(u"plain"), std::u16string(u"\u00E9t\u00E9 \u20AC"),
                           std::u16string{0xD83D, 0xDE00, 'z'}, std::u16string{'a', 0xDC00, 'b'}}) {
    std::string u = ToUtf8(w);
    EXPECT_EQ(ToWide(u.c_str()), w);
  }
}

TEST(CodePage, RespectsCapacity) {
  char16_t wbuf[3] = {1, 1, 1};
  // A pair does not fit after one unit: it is left out whole.
  EXPECT_EQ(Utf8ToWide("a\xF0\x9F\x98\x80", wbuf, 3), 2u);
  EXPECT_EQ(wbuf[0], u'a');
  EXPECT_EQ(wbuf[1], 0);
  EXPECT_EQ(Utf8ToWide("abc", wbuf, 0), 0u);

  char buf[4] = {1, 1, 1, 1};
  EXPECT_EQ(WideToUtf8(u"a\u20AC", buf, 4), 2u);
  EXPECT_STREQ(buf, "a");
  EXPECT_EQ(WideToUtf8(u"\u20AC", buf, 4), 4u);
  EXPECT_STREQ(buf, "\xE2\x82\xAC");
}

TEST(CodePage, DecodeNeverReadsPastEnd) {
  const char bytes[] = {'\xE2', '\x82', '\xAC'};
  const char* p = bytes;
  EXPECT_EQ(DecodeUtf8(p, bytes + 2), kReplacementChar);
  EXPECT_EQ(p, bytes + 1);
  p = bytes;
  EXPECT_EQ(DecodeUtf8(p, bytes + 3), 0x20ACu);
  EXPECT_EQ(p, bytes + 3);
}

TEST(CodePage, AsciiComesBackAsTheSamePointer) {
  const char* ascii = "plain text";
  EXPECT_EQ(Utf8ToAnsi(ascii), ascii);
  EXPECT_EQ(AnsiToUtf8(ascii), ascii);
  EXPECT_EQ(Utf8ToAnsi(nullptr), nullptr);
  EXPECT_EQ(AnsiToUtf8(nullptr), nullptr);
  char* copy = AnsiToUtf8Copy(ascii);
  EXPECT_NE(copy, ascii);
  EXPECT_STREQ(copy, ascii);
  MemFree(copy);
  char dest[16] = "untouched";
  EXPECT_EQ(AnsiToUtf8Into(dest, sizeof dest, ascii), ascii);
  EXPECT_STREQ(dest, "untouched");
  EXPECT_EQ(Utf8ToAnsiBuffer(dest, sizeof dest, ascii), dest);
  EXPECT_STREQ(dest, "plain text");
}

// Both platforms convert in code page 1252 here (the Wine prefix's default).
TEST(CodePage, AnsiConversions) {
  ASSERT_EQ(platform::AnsiCodePage(), 1252u);
  const char* utf8 = "caf\xC3\xA9 \xE2\x82\xAC";
  char* ansi = Utf8ToAnsi(utf8);
  ASSERT_NE(ansi, utf8);
  EXPECT_STREQ(ansi, "caf\xE9 \x80");
  char* back = AnsiToUtf8(ansi);
  ASSERT_NE(back, ansi);
  EXPECT_STREQ(back, utf8);
  MemFree(back);
  MemFree(ansi);

  char dest[8];
  EXPECT_EQ(Utf8ToAnsiInto(dest, sizeof dest, "\xC3\xA9"), dest);
  EXPECT_STREQ(dest, "\xE9");
  EXPECT_STREQ(AnsiToUtf8Buffer(dest, sizeof dest, "\xE9"), "\xC3\xA9");
  // Cut to the destination's size.
  char small[3];
  EXPECT_STREQ(AnsiToUtf8Buffer(small, sizeof small, "\xE9\xE9"), "\xC3\xA9");
  char* copy = Utf8ToAnsiCopy("\xC3\xA9");
  EXPECT_STREQ(copy, "\xE9");
  MemFree(copy);
}

}  // namespace
}  // namespace qs
