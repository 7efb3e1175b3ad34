// The views' small utilities: clipping and scaling rectangles, UTF-8 text
// through the ANSI or wide text output, global blocks, the current folder
// and the environment.
#include "foundation/win_utils.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace qs {
namespace {

std::string Show(const Rect32& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
         "," + std::to_string(r.bottom);
}

TEST(WinUtils, IntersectRectsClipsAndScales) {
  const struct {
    Rect32 frame, rect;
    std::int32_t width, height;
    int result;
    const char* cut;
    const char* scaled;
  } cases[] = {
      // Half of a 200 x 100 frame, mapped onto 2048 x 2048.
      {{100, 100, 300, 200}, {0, 0, 200, 150}, 2048, 2048, 1, "100,100,200,150", "0,0,1024,1024"},
      // Rounded to the nearest: 1/3 of 2048 is 682.67.
      {{0, 0, 3, 3}, {1, 1, 2, 2}, 2048, 2048, 1, "1,1,2,2", "683,683,1366,1366"},
      // Wholly inside: the rectangle itself.
      {{0, 0, 10, 10}, {2, 3, 4, 5}, 10, 10, 1, "2,3,4,5", "2,3,4,5"},
      // Touching edges do not meet; nor do rectangles apart.
      {{0, 0, 10, 10}, {10, 0, 20, 10}, 10, 10, 0, "", ""},
      {{0, 0, 10, 10}, {20, 20, 30, 30}, 10, 10, 0, "", ""},
      // A frame narrower or lower than 1.
      {{5, 5, 5, 10}, {0, 0, 10, 10}, 10, 10, 0, "", ""},
      {{5, 5, 10, 4}, {0, 0, 10, 10}, 10, 10, 0, "", ""},
      // Large coordinates do not overflow.
      {{0, 0, 2000000000, 2000000000}, {0, 0, 1000000000, 2000000000}, 2048, 2048, 1,
       "0,0,1000000000,2000000000", "0,0,1024,2048"},
  };
  for (const auto& c : cases) {
    Rect32 cut{}, scaled{};
    EXPECT_EQ(IntersectRects(c.frame, c.rect, &cut, &scaled, c.width, c.height), c.result)
        << Show(c.frame) << " / " << Show(c.rect);
    if (!c.result) continue;
    EXPECT_EQ(Show(cut), c.cut);
    EXPECT_EQ(Show(scaled), c.scaled);
  }
}

struct RecordingOutput : TextOutput {
  struct Call {
    bool wide;
    const void* pointer;
    std::u16string units;
    std::string bytes;
  };
  std::vector<Call> calls;
  bool TextOutAnsi(int, int, const char* text, int length) override {
    calls.push_back({false, text, {}, std::string(text, static_cast<std::size_t>(length))});
    return true;
  }
  bool TextOutWide(int, int, const char16_t* text, int length) override {
    calls.push_back({true, text, std::u16string(text, static_cast<std::size_t>(length)), {}});
    return true;
  }
};

TEST(WinUtils, TextOutUtf8GoesAnsiOrWide) {
  // Plain ASCII: one ANSI call with the caller's own text, no copy.
  RecordingOutput ascii;
  const char* text = "Bolt M6x20";
  EXPECT_TRUE(TextOutUtf8(ascii, 1, 2, text, 4));
  ASSERT_EQ(ascii.calls.size(), 1u);
  EXPECT_FALSE(ascii.calls[0].wide);
  EXPECT_EQ(ascii.calls[0].pointer, text);
  EXPECT_EQ(ascii.calls[0].bytes, "Bolt");

  const struct {
    std::string utf8;
    std::u16string units;
  } cases[] = {
      {"K\xC3\xA4" "fer", u"K\u00E4fer"},
      {"\xE2\x82\xAC", u"\u20AC"},
      {"a\xF0\x9F\x94\xA7z", u"a\U0001F527z"},  // past U+FFFF: a surrogate pair
      {"\x80" "b", u"\u0080b"},                   // a stray continuation byte stands for itself
      {"x\xE2\x82", u"x\uFFFD\u0082"},            // cut short at the end: no overrun
      {"\xC3" "A", u"\uFFFDA"},                   // a lead byte without its continuation
      {"\xF8\x88\x80\x80\x80", u"\uFFFD"},        // beyond U+10FFFF
  };
  for (const auto& c : cases) {
    RecordingOutput out;
    // A copy of exactly the length, so a read past it shows under ASan.
    std::vector<char> bytes(c.utf8.begin(), c.utf8.end());
    EXPECT_TRUE(TextOutUtf8(out, 0, 0, bytes.data(), static_cast<int>(bytes.size())));
    ASSERT_EQ(out.calls.size(), 1u);
    EXPECT_TRUE(out.calls[0].wide);
    EXPECT_EQ(out.calls[0].units, c.units) << c.utf8;
  }
}

TEST(WinUtils, GlobalBlocksCurrentDirAndEnvironment) {
  auto* block = static_cast<char*>(AllocGlobalBlock(64));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 64; ++i) block[i] = static_cast<char>(i);
  EXPECT_EQ(block[63], 63);
  FreeGlobalBlock(block);
  FreeGlobalBlock(nullptr);

  char dir[4096];
  ASSERT_EQ(GetCurrentDir(dir, sizeof dir), dir);
  std::string current(dir);
  EXPECT_FALSE(current.empty());
  // A buffer one byte short of the terminator is refused.
  std::vector<char> tight(current.size());
  EXPECT_EQ(GetCurrentDir(tight.data(), tight.size()), nullptr);
  std::vector<char> exact(current.size() + 1);
  EXPECT_EQ(GetCurrentDir(exact.data(), exact.size()), exact.data());
  EXPECT_EQ(GetCurrentDir(nullptr, 10), nullptr);
  EXPECT_EQ(GetCurrentDir(dir, 0), nullptr);

  const char* path = GetEnvVar("PATH");
  ASSERT_NE(path, nullptr);
  EXPECT_STREQ(path, std::getenv("PATH"));
  EXPECT_EQ(GetEnvVar("QS_SURELY_NOT_SET_ANYWHERE"), nullptr);
  EXPECT_EQ(GetEnvVar(""), nullptr);
  EXPECT_EQ(GetEnvVar(nullptr), nullptr);
}

}  // namespace
}  // namespace qs
