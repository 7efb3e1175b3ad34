#include "view/image_readers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "foundation/engine_lists.h"
#include "foundation/entity_storage.h"
#include "foundation/win_utils.h"

namespace qs {
namespace {

const char kSdl[] = "/usr/libexec/installed-tests/SDL2/";
const char kBitmaps[] = "/usr/include/X11/bitmaps/";
const char kFvwm[] = "/usr/share/pixmaps/fvwm/";

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Owns a block a reader answered.
struct Dib {
  std::uint8_t* block = nullptr;
  bool mask = false;
  ~Dib() { FreeGlobalBlock(block); }
  DibView View() const { return ViewDib(block, mask); }
  // The colour of (x, y) from the top as 0xRRGGBB.
  std::uint32_t Rgb(int x, int y) const {
    DibView v = View();
    int i = DibPixelIndex(v, x, y);
    if (i < 0 || static_cast<std::uint32_t>(i) >= v.colorsUsed) return 0xFFFFFFFFu;
    const std::uint8_t* c = v.colors + 4 * i;
    return std::uint32_t{c[2]} << 16 | std::uint32_t{c[1]} << 8 | c[0];
  }
};

enum Kind { kBmp, kXbm, kXpm };

void Read(Kind kind, const std::string& bytes, Dib* dib, bool maskWanted = true) {
  MemoryInStream stream(bytes.data(), bytes.size(), "test");
  ColorTable colors;
  switch (kind) {
    case kBmp: dib->block = ReadBmp(stream); break;
    case kXbm: dib->block = ReadXbm(stream); break;
    case kXpm: dib->block = ReadXpm(stream, colors, maskWanted, &dib->mask); break;
  }
}

// ---- Small BMP files made to order ------------------------------------------------

void Put32(std::string& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

struct BmpSpec {
  std::int32_t width = 2, height = 2;
  int bits = 8;
  std::uint32_t compression = 0;
  std::uint32_t headerSize = 40;
  std::uint32_t colorsUsed = 2;
  std::int64_t imageSize = -1;  // -1: the real size
  std::size_t gap = 0;          // bytes between table and bits
  std::string pixels;           // bottom row first
};

std::string MakeBmp(const BmpSpec& b) {
  std::size_t colors = b.colorsUsed ? b.colorsUsed : (b.bits <= 8 ? 1u << b.bits : 0);
  std::string s(14 + 40, '\0');
  s[0] = 'B', s[1] = 'M';
  std::uint32_t offset = static_cast<std::uint32_t>(54 + 4 * colors + b.gap);
  Put32(s, 10, offset);
  Put32(s, 14, b.headerSize);
  Put32(s, 18, static_cast<std::uint32_t>(b.width));
  Put32(s, 22, static_cast<std::uint32_t>(b.height));
  s[26] = 1;
  s[28] = static_cast<char>(b.bits);
  Put32(s, 30, b.compression);
  Put32(s, 34, b.imageSize < 0 ? static_cast<std::uint32_t>(b.pixels.size())
                               : static_cast<std::uint32_t>(b.imageSize));
  Put32(s, 46, b.colorsUsed);
  for (std::size_t i = 0; i < colors; ++i) {
    std::uint8_t c = static_cast<std::uint8_t>(i * 40);
    s += std::string{static_cast<char>(c), static_cast<char>(c + 1), static_cast<char>(c + 2), 0};
  }
  s += std::string(b.gap, '\x77');
  s += b.pixels;
  Put32(s, 2, static_cast<std::uint32_t>(s.size()));
  return s;
}

TEST(ReadBmp, HeadsAcceptedAndRefused) {
  std::string four(8, '\x01');
  struct Case {
    const char* what;
    BmpSpec spec;
    bool read;
  } cases[] = {
      {"8 bits, two colours", {2, 2, 8, 0, 40, 2, -1, 0, std::string(8, '\x01')}, true},
      {"colours used 0 means all 16", {2, 2, 4, 0, 40, 0, -1, 0, four}, true},
      {"too many colours for 1 bit", {2, 2, 1, 0, 40, 3, -1, 0, four}, false},
      {"24 bits", {2, 2, 24, 0, 40, 0, -1, 0, std::string(16, 'x')}, false},
      {"header of 108 bytes", {2, 2, 8, 0, 108, 2, -1, 0, four}, false},
      {"top-down height -1", {2, -1, 8, 0, 40, 2, -1, 0, four}, false},
      {"width 70000", {70000, 1, 8, 0, 40, 2, -1, 0, four}, false},
      {"width 0", {0, 1, 8, 0, 40, 2, -1, 0, four}, false},
      {"height 16385", {1, 16385, 1, 0, 40, 2, -1, 0, four}, false},
      {"RLE8 with image size 0", {2, 2, 8, 1, 40, 2, 0, 0, "\x02\x01\x00\x01"}, false},
      {"RLE8 at 8 bits", {2, 2, 8, 1, 40, 2, -1, 0, std::string("\x02\x01\x00\x00\x02\x01\x00\x01", 8)}, true},
      {"RLE8 at 4 bits", {2, 2, 4, 1, 40, 2, -1, 0, four}, false},
      {"RLE4 at 4 bits", {2, 2, 4, 2, 40, 2, -1, 0, four}, true},
      {"bit fields", {2, 2, 8, 3, 40, 2, -1, 0, four}, false},
  };
  for (const Case& c : cases) {
    Dib dib;
    Read(kBmp, MakeBmp(c.spec), &dib);
    EXPECT_EQ(dib.block != nullptr, c.read) << c.what;
  }
  Dib dib;
  Read(kBmp, "BM", &dib);
  EXPECT_EQ(dib.block, nullptr);
  std::string cut = MakeBmp({2, 2, 8, 0, 40, 16, -1, 0, std::string(8, '\x01')});
  Read(kBmp, cut.substr(0, 54 + 30), &dib);  // inside the colour table
  EXPECT_EQ(dib.block, nullptr);
}

TEST(ReadBmp, ShortBitsAreClearedAndGapSkipped) {
  // A 3 x 2 picture: rows of 4 bytes, only 5 of 8 there.
  BmpSpec spec{3, 2, 8, 0, 40, 4, -1, 6, std::string("\x01\x02\x03\x00\x03", 5)};
  spec.imageSize = 8;
  Dib dib;
  Read(kBmp, MakeBmp(spec), &dib);
  ASSERT_NE(dib.block, nullptr);
  DibView v = dib.View();
  EXPECT_EQ(v.colorsUsed, 4u);
  // Bottom row from the file (the six gap bytes were not taken as pixels),
  // the top row's first pixel too, the rest cleared.
  EXPECT_EQ(DibPixelIndex(v, 0, 1), 1);
  EXPECT_EQ(DibPixelIndex(v, 2, 1), 3);
  EXPECT_EQ(DibPixelIndex(v, 0, 0), 3);
  EXPECT_EQ(DibPixelIndex(v, 1, 0), 0);
  EXPECT_EQ(DibPixelIndex(v, 2, 0), 0);
  // A compressed picture keeps the size of the runs that were there.
  BmpSpec rle{4, 4, 8, 1, 40, 2, 400, 0, std::string("\x04\x01\x00\x01", 4)};
  Dib packed;
  Read(kBmp, MakeBmp(rle), &packed);
  ASSERT_NE(packed.block, nullptr);
  EXPECT_EQ(packed.View().imageSize, 4u);
  EXPECT_EQ(packed.View().compression, 1u);
}

// The file's pixels as ImageMagick reads them, 0xRRGGBB from the top.
std::vector<std::uint32_t> MagickPixels(const std::string& path, int* width, int* height) {
#ifdef _WIN32
  (void)path, (void)width, (void)height;
  return {};
#else
  std::string command = "convert '" + path + "' -depth 8 ppm:- 2>/dev/null";
  std::vector<std::uint32_t> out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  int maxval = 0;
  if (std::fscanf(pipe, "P6 %d %d %d", width, height, &maxval) == 3 && maxval == 255) {
    std::fgetc(pipe);
    std::vector<unsigned char> rgb(static_cast<std::size_t>(*width) * *height * 3);
    if (std::fread(rgb.data(), 1, rgb.size(), pipe) == rgb.size())
      for (std::size_t i = 0; i < rgb.size(); i += 3)
        out.push_back(std::uint32_t{rgb[i]} << 16 | std::uint32_t{rgb[i + 1]} << 8 | rgb[i + 2]);
  }
  pclose(pipe);
  return out;
#endif
}

TEST(ReadBmp, SdlPicturesMatchImageMagick) {
  struct {
    const char* file;
    int bits;
    std::uint32_t colors;
  } cases[] = {{"icon.bmp", 4, 3}, {"sample.bmp", 8, 253}};
  for (const auto& c : cases) {
    std::string path = std::string(kSdl) + c.file;
    std::string bytes = Slurp(path);
    if (bytes.empty()) GTEST_SKIP() << "libsdl2-tests is not installed";
    Dib dib;
    Read(kBmp, bytes, &dib);
    ASSERT_NE(dib.block, nullptr) << c.file;
    DibView v = dib.View();
    EXPECT_EQ(v.bitCount, c.bits);
    EXPECT_EQ(v.colorsUsed, c.colors);
#ifdef _WIN32
    continue;  // ImageMagick runs on the native side only
#endif
    int w = 0, h = 0;
    std::vector<std::uint32_t> magick = MagickPixels(path, &w, &h);
    ASSERT_EQ(magick.size(), static_cast<std::size_t>(v.width) * v.height) << c.file;
    ASSERT_EQ(w, v.width);
    int wrong = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (dib.Rgb(x, y) != magick[static_cast<std::size_t>(y) * w + x] && ++wrong < 5)
          ADD_FAILURE() << c.file << " at " << x << "," << y;
    EXPECT_EQ(wrong, 0) << c.file;
  }
  for (const char* refused : {"button.bmp", "axis.bmp"}) {
    std::string bytes = Slurp(std::string(kSdl) + refused);
    Dib dib;
    Read(kBmp, bytes, &dib);
    EXPECT_EQ(dib.block, nullptr) << refused;
  }
}

// ---- XBM ---------------------------------------------------------------------------------

TEST(ReadXbm, HeadsAndBits) {
  const char* good =
      "#define t_width 9\n#define t_height 2\n"
      "static char t_bits[] = {\n 0x01, 0x80, 0xff, 0x01 };\n";
  Dib dib;
  Read(kXbm, good, &dib);
  ASSERT_NE(dib.block, nullptr);
  DibView v = dib.View();
  EXPECT_EQ(v.width, 9);
  EXPECT_EQ(v.height, 2);
  EXPECT_EQ(dib.Rgb(0, 0), 0u);         // byte 0x01: the leftmost pixel black
  EXPECT_EQ(dib.Rgb(1, 0), 0xFFFFFFu);  // the rest white
  EXPECT_EQ(dib.Rgb(7, 0), 0xFFFFFFu);
  EXPECT_EQ(dib.Rgb(8, 0), 0xFFFFFFu);  // 0x80: only a pixel past the width is set
  EXPECT_EQ(dib.Rgb(3, 1), 0u);
  EXPECT_EQ(dib.Rgb(8, 1), 0u);

  struct {
    const char* what;
    const char* text;
  } refused[] = {
      {"width 1025", "#define a 1025\n#define b 1\nstatic char c[] = { 0x00 };"},
      {"height 0", "#define a 1\n#define b 0\nstatic char c[] = { 0x00 };"},
      {"unsigned char", "#define a 1\n#define b 1\nstatic unsigned char c[] = { 0x00 };"},
      {"no brackets", "#define a 1\n#define b 1\nstatic char c = { 0x00 };"},
      {"five-digit number", "#define a 00001\n#define b 1\nchar c[] = { 0x00 };"},
      {"other keyword", "#defin a 1\n#define b 1\nchar c[] = { 0x00 };"},
  };
  for (const auto& c : refused) {
    Dib bad;
    Read(kXbm, c.text, &bad);
    EXPECT_EQ(bad.block, nullptr) << c.what;
  }
  // Damage in the bits ends reading: what came stays, the rest is white.
  Dib cut;
  Read(kXbm, "#define a 8\n#define b 2\nchar c[] = { 0xff, 1x00 };", &cut);
  ASSERT_NE(cut.block, nullptr);
  EXPECT_EQ(cut.Rgb(4, 0), 0u);
  EXPECT_EQ(cut.Rgb(4, 1), 0xFFFFFFu);
}

TEST(ReadXbm, DebianBitmaps) {
  std::string calculator = Slurp(std::string(kBitmaps) + "calculator");
  if (calculator.empty()) GTEST_SKIP() << "xbitmaps is not installed";
  Dib dib;
  Read(kXbm, calculator, &dib);
  ASSERT_NE(dib.block, nullptr);
  EXPECT_EQ(dib.View().width, 28);
  EXPECT_EQ(dib.View().height, 48);
  Dib pointer;  // the hot spot's definitions come before the array
  Read(kXbm, Slurp(std::string(kBitmaps) + "left_ptr"), &pointer);
  ASSERT_NE(pointer.block, nullptr);
  EXPECT_EQ(pointer.View().width, 16);
  EXPECT_EQ(pointer.Rgb(3, 1), 0u);  // 0x08 in row 1: pixel 3
  EXPECT_EQ(pointer.Rgb(2, 1), 0xFFFFFFu);
  Dib mail;
  Read(kXbm, Slurp(std::string(kBitmaps) + "mailfull"), &mail);
  EXPECT_EQ(mail.block, nullptr);
}

// ---- XPM ---------------------------------------------------------------------------------

std::string Xpm(const std::string& values, const std::vector<std::string>& lines,
                const std::vector<std::string>& rows) {
  std::string s = "/* XPM */\nstatic char * t_xpm[] = {\n\"" + values + "\",\n";
  for (const auto& l : lines) s += "\"" + l + "\",\n";
  for (std::size_t i = 0; i < rows.size(); ++i)
    s += "\"" + rows[i] + "\"" + (i + 1 < rows.size() ? ",\n" : "};\n");
  return s;
}

TEST(ReadXpm, ColoursMaskAndDepth) {
  Dib dib;
  Read(kXpm, Xpm("3 2 3 1", {"  c None", ". c #FF0000", "x m white c #0000ff"}, {" .x", "x.q"}), &dib);
  ASSERT_NE(dib.block, nullptr);
  ASSERT_TRUE(dib.mask);
  DibView v = dib.View();
  EXPECT_EQ(v.bitCount, 4);
  ASSERT_EQ(v.colorsUsed, 4u);  // red, blue, then white and black added
  EXPECT_EQ(dib.Rgb(0, 0), 0xFFFFFFu);  // transparent: white under a 0 bit
  EXPECT_EQ(DibMaskBit(v, 0, 0), 0);
  EXPECT_EQ(dib.Rgb(1, 0), 0xFF0000u);
  EXPECT_EQ(DibMaskBit(v, 1, 0), 1);
  EXPECT_EQ(dib.Rgb(2, 0), 0x0000FFu);  // "c" wins over "m", whichever comes first
  EXPECT_EQ(dib.Rgb(2, 1), 0xFF0000u);  // undefined "q": entry 0
  // Without a mask wanted "None" is a colour like any other.
  Dib plain;
  Read(kXpm, Xpm("1 1 1 1", {"a c None"}, {"a"}), &plain, false);
  ASSERT_NE(plain.block, nullptr);
  EXPECT_FALSE(plain.mask);
  EXPECT_EQ(plain.View().colorsUsed, 1u);
}

TEST(ReadXpm, PaletteSizeDecidesDepth) {
  struct {
    int lines;
    std::uint32_t entries;
    int bits;
  } cases[] = {{16, 17, 8}, {15, 16, 4}};
  for (const auto& c : cases) {
    std::vector<std::string> lines{"  c none"};
    std::string row = " ";
    for (int i = 1; i < c.lines; ++i) {
      char line[32];
      std::snprintf(line, sizeof line, "%c c #%02X1020", 'A' + i, i * 8);
      lines.push_back(line);
      row += static_cast<char>('A' + i);
    }
    Dib dib;
    Read(kXpm, Xpm(std::to_string(row.size()) + " 1 " + std::to_string(c.lines) + " 1", lines, {row}), &dib);
    ASSERT_NE(dib.block, nullptr) << c.lines;
    EXPECT_EQ(dib.View().colorsUsed, c.entries) << c.lines;
    EXPECT_EQ(dib.View().bitCount, c.bits) << c.lines;
  }
  // 255 colours and "None" (every byte value is a pixel character, NUL
  // too): white fills the table to 256, black finds no room.
  std::vector<std::string> lines{std::string(1, '\0') + " c none"};
  std::string row(1, '\0');
  for (int i = 1; i < 256; ++i) {
    char value[16];
    std::snprintf(value, sizeof value, " c #%02X0001", i);
    lines.push_back(std::string(1, static_cast<char>(i)) + value);
    row += static_cast<char>(i);
  }
  Dib full;
  Read(kXpm, Xpm("256 1 256 1", lines, {row}), &full);
  ASSERT_NE(full.block, nullptr);
  EXPECT_EQ(full.View().colorsUsed, 256u);
  EXPECT_EQ(full.View().bitCount, 8);
  EXPECT_EQ(full.Rgb(0, 0), 0xFFFFFFu);
  EXPECT_EQ(full.Rgb(255, 0), 0xFF0001u);
}

TEST(ReadXpm, RefusedHeads) {
  std::string longValue(121, 'a');
  struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"two characters a pixel", Xpm("1 1 1 2", {"aa c red"}, {"aa"})},
      {"width 1025", Xpm("1025 1 1 1", {"a c red"}, {"a"})},
      {"257 colours", Xpm("1 1 257 1", {"a c red"}, {"a"})},
      {"unknown key", Xpm("1 1 1 1", {"a q red"}, {"a"})},
      {"value of 121 bytes", Xpm("1 1 1 1", {"a c " + longValue}, {"a"})},
      {"words past 120 bytes", Xpm("1 1 1 1", {"a c " + std::string(100, 'b') + " " + std::string(30, 'c')}, {"a"})},
      {"no header", "static char * t[] = {\"1 1 1 1\",\"a c red\",\"a\"};"},
      {"bad comment", "/* XPM */ / static char * t[] = {\"1 1 1 1\",\"a c red\",\"a\"};"},
  };
  for (const auto& c : cases) {
    Dib dib;
    Read(kXpm, c.text, &dib);
    EXPECT_EQ(dib.block, nullptr) << c.what;
  }
  // Several words join: "light grey" is one colour name.
  Dib words;
  Read(kXpm, Xpm("1 1 1 1", {"a c light grey"}, {"a"}), &words);
  EXPECT_NE(words.block, nullptr);
}

TEST(ReadXpm, FvwmIcons) {
  std::string hammer = Slurp(std::string(kFvwm) + "mini.hammer.xpm");
  if (hammer.empty()) GTEST_SKIP() << "fvwm-icons is not installed";
  Dib dib;
  Read(kXpm, hammer, &dib);
  ASSERT_NE(dib.block, nullptr);
  ASSERT_TRUE(dib.mask);
  DibView v = dib.View();
  EXPECT_EQ(DibMaskBit(v, 0, 0), 0);  // " " is None
  EXPECT_EQ(DibMaskBit(v, 3, 1), 1);  // "."
  EXPECT_EQ(dib.Rgb(3, 1), 0u);
  EXPECT_EQ(dib.Rgb(3, 2), 0xFFFFFFu);  // "o" white
  EXPECT_EQ(DibMaskBit(v, 3, 2), 1);
  // Every icon either reads or is refused; two-character icons are refused.
  int read = 0, refused = 0;  // both kinds are among them
  for (const char* name : {"mini.hammer.xpm", "mini.xterm.xpm", "mini.term.xpm", "xterm.xpm",
                           "mini.calc.xpm", "mini.bball.xpm", "Mosaic.xpm"}) {
    std::string bytes = Slurp(std::string(kFvwm) + name);
    if (bytes.empty()) continue;
    Dib icon;
    Read(kXpm, bytes, &icon);
    bool twoChars = bytes.find(" 2\"") != std::string::npos;
    if (icon.block) {
      ++read;
    } else {
      ++refused;
    }
    if (twoChars) {
      EXPECT_EQ(icon.block, nullptr) << name;
    }
  }
  EXPECT_GT(read, 0);
  EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace qs
