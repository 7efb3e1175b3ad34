#include "tbm_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace qs::viewer {
namespace {

std::uint32_t Get32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The index rows, top row first, as the text would write them.
std::vector<std::string> Rows(const TextBitmap& b) {
  std::vector<std::string> rows;
  for (int y = b.height - 1; y >= 0; --y) {
    std::string row;
    for (std::size_t x = 0; x < b.RowLength(); ++x)
      row += static_cast<char>('0' + b.Pixels()[b.RowLength() * y + x]);
    rows.push_back(row);
  }
  return rows;
}

TEST(TextBitmap, ParsesTheTable) {
  const struct Case {
    const char* text;
    bool ok;
    std::vector<std::string> rows;  // padded rows of indexes, top first
  } cases[] = {
      // Width 5 gives rows of 8 bytes, the padding 0.
      {"5 2 2 a FF0000 b 00ff00 abbba\nbaaab", true, {"01110000", "10001000"}},
      // A repeated key takes the later index; any pixel that is no key is 0.
      {"4 1 3 x 000000\ny 111111 x 222222 xyz?", true, {"2100"}},
      // Short pixel text: the rest stays 0.
      {"4 2 2 a 000000 b ffffff\r\n\tbb", true, {"1100", "0000"}},
      {"4\t2\n1 a 123456 aaaa aaaa", true, {"0000", "0000"}},
      // Numbers missing, 0, of 16 digits, too many colours or too large.
      {"", false, {}},
      {"4 2", false, {}},
      {"0 2 1 a 000000", false, {}},
      {"4 0 1 a 000000", false, {}},
      {"4 2 0", false, {}},
      {"1234567890123456 1 1 a 000000", false, {}},
      {"2 2 257 a 000000", false, {}},
      {"16385 1 1 a 000000", false, {}},
      {"x 2 1", false, {}},
  };
  for (const Case& c : cases) {
    TextBitmap b;
    ASSERT_EQ(ParseTextBitmap(c.text, std::strlen(c.text), &b), c.ok) << c.text;
    if (!c.ok) {
      EXPECT_EQ(b.dib, nullptr);
      continue;
    }
    EXPECT_EQ(Rows(b), c.rows) << c.text;
    EXPECT_EQ(b.size, 40 + 4u * b.colours + b.RowLength() * b.height);
    FreeTextBitmap(&b);
  }
}

TEST(TextBitmap, HeaderAndColours) {
  const char text[] = "5 2 3 a FF8000 b 00fF7f c abcdef abcab cbaac";
  TextBitmap b;
  ASSERT_TRUE(ParseTextBitmap(text, sizeof text - 1, &b));
  EXPECT_EQ(Get32(b.dib), 40u);
  EXPECT_EQ(Get32(b.dib + 4), 5u);
  EXPECT_EQ(Get32(b.dib + 8), 2u);
  EXPECT_EQ(b.dib[12], 1);
  EXPECT_EQ(b.dib[14], 8);
  EXPECT_EQ(Get32(b.dib + 16), 0u);
  EXPECT_EQ(Get32(b.dib + 32), 3u);
  // Blue, green, red, 0; lower-case hex reads as upper case.
  const std::uint8_t colours[] = {0x00, 0x80, 0xFF, 0, 0x7F, 0xFF, 0x00, 0, 0xEF, 0xCD, 0xAB, 0};
  EXPECT_EQ(std::memcmp(b.dib + 40, colours, sizeof colours), 0);
  FreeTextBitmap(&b);
  EXPECT_EQ(b.dib, nullptr);
}

TEST(TextBitmap, FitsAndReadsSizes) {
  std::int32_t w = 10, h = 20;
  // A 10 x 20 picture fitted to 50 wide: (20 * 50 + 10) / 10 = 101 high.
  EXPECT_EQ(FitToWidth(10, 20, 50, &w, &h), 50);
  EXPECT_EQ(w, 50);
  EXPECT_EQ(h, 101);
  // A result below 8 is only answered.
  w = 10, h = 20;
  EXPECT_EQ(FitToWidth(100, 2, 30, &w, &h), 1);
  EXPECT_EQ(w, 10);
  EXPECT_EQ(h, 20);
  EXPECT_EQ(FitToHeight(10, 20, 40, &w, &h), 40);
  EXPECT_EQ(h, 40);
  EXPECT_EQ(w, 21);
  EXPECT_EQ(FitToWidth(0, 20, 40, &w, &h), 0);
  EXPECT_EQ(ReadSizeAttribute("200"), 200);
  EXPECT_EQ(ReadSizeAttribute("0"), 0);
  EXPECT_EQ(ReadSizeAttribute("-5"), 0);
  EXPECT_EQ(ReadSizeAttribute("12px"), 0);
  EXPECT_EQ(ReadSizeAttribute(nullptr), 0);
  EXPECT_EQ(ReadSizeAttribute("99999999999999999999"), 0);
}

}  // namespace
}  // namespace qs::viewer
