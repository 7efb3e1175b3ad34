#include "style/colors.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "error_recorder.h"
#include "foundation/engine_lists.h"

namespace qs {
namespace {

std::string Hex(const ColorEntry* e) {
  char text[8];
  std::snprintf(text, sizeof text, "%06X", e ? e->Rgb() : 0xFFFFFFFFu);
  return text;
}

TEST(Colours, TextsGiveTheirEntries) {
  test::ErrorRecorder host;  // no host answers event 45
  ColorTable table;
  struct {
    const char* text;
    const char* rgb;
  } cases[] = {
      {"dark red", "800000"}, {"grey", "808080"},     {"GRAY", "808080"},
      {"lightgrey", "C0C0C0"}, {"#F00", "FF0000"},    {"#1A2B3C", "1A2B3C"},
      {"#1a2b3c", "1A2B3C"},  {"GREEN", "008000"},    {"LIME", "00FF00"},
      {"chartreuse", "C0C0C0"}, {"#1", "C0C0C0"},     {"#12", "C0C0C0"},
      {"#", "C0C0C0"},        {"#12345", "1234D0"},   {"Sky Blue", "A6CAF0"},
      {"", "C0C0C0"},         {"dark\ngrey", "404040"},
  };
  for (const auto& c : cases) EXPECT_EQ(Hex(table.LookupOrAdd(c.text)), c.rgb) << c.text;
  // One entry per normalised name.
  ColorEntry* dark = table.LookupOrAdd("dark red");
  EXPECT_EQ(table.LookupOrAdd("DarkRed"), dark);
  EXPECT_EQ(table.LookupOrAdd("DARKRED"), dark);
  EXPECT_STREQ(dark->Name(), "DARKRED");
  EXPECT_EQ(table.LookupOrAdd("grey"), table.LookupOrAdd("gray"));
  EXPECT_EQ(table.LookupOrAdd(nullptr), nullptr);
}

TEST(Colours, TheThirtyBuiltInNames) {
  ASSERT_EQ(BuiltinColorCount(), 30u);
  test::ErrorRecorder host;
  ColorTable table;
  for (std::size_t i = 0; i < BuiltinColorCount(); ++i) {
    std::uint8_t rgb[3];
    ASSERT_TRUE(FindBuiltinColor(BuiltinColorName(i), rgb));
    ColorEntry* e = table.LookupOrAdd(BuiltinColorName(i));
    EXPECT_EQ(e->red, rgb[0]);
    EXPECT_EQ(e->green, rgb[1]);
    EXPECT_EQ(e->blue, rgb[2]);
  }
  // First match in order: MAROON and DARKRED are both 800000, and the
  // earlier name of a pair never hides the later one.
  EXPECT_EQ(Hex(table.LookupOrAdd("maroon")), "800000");
  EXPECT_EQ(Hex(table.LookupOrAdd("aqua")), "00FFFF");
  EXPECT_EQ(Hex(table.LookupOrAdd("dark gray")), "404040");
}

TEST(Colours, TheHostNamesUnknownColours) {
  test::ErrorRecorder host;
  std::string asked;
  host.onEvent = [&](int event, std::intptr_t a, std::intptr_t b) -> std::intptr_t {
    if (event != 45) return 0;
    asked = reinterpret_cast<const char*>(a);
    auto* rgb = reinterpret_cast<std::uint8_t*>(b);
    rgb[0] = 0x7F, rgb[1] = 0xFF, rgb[2] = 0x00;
    return 1;
  };
  ColorTable table;
  EXPECT_EQ(Hex(table.LookupOrAdd("chartreuse")), "7FFF00");
  EXPECT_EQ(asked, "CHARTREUSE");
  // Its answer comes before the built-in names; hex forms never ask.
  EXPECT_EQ(Hex(table.LookupOrAdd("red")), "7FFF00");
  asked.clear();
  EXPECT_EQ(Hex(table.LookupOrAdd("#00F")), "0000FF");
  EXPECT_EQ(asked, "");
}

class RecordingEntry : public ColorEntry {
 public:
  using ColorEntry::ColorEntry;
  void Redefine(std::uint8_t r, std::uint8_t g, std::uint8_t b) override {
    told = std::uint32_t{r} << 16 | std::uint32_t{g} << 8 | b;
    before = Rgb();
  }
  std::uint32_t told = 0, before = 0;
};

class RecordingTable : public ColorTable {
 public:
  ColorEntry* MakeEntry(const char* name, std::uint8_t r, std::uint8_t g, std::uint8_t b) override {
    return new RecordingEntry(name, r, g, b);
  }
};

TEST(Colours, DefineChangesTheEntryInPlace) {
  test::ErrorRecorder host;
  RecordingTable table;
  auto* blue = static_cast<RecordingEntry*>(table.LookupOrAdd("blue"));
  EXPECT_EQ(table.Define("Blue", 1, 2, 3), blue);
  EXPECT_EQ(blue->Rgb(), 0x010203u);
  EXPECT_EQ(blue->told, 0x010203u);
  EXPECT_EQ(blue->before, 0x0000FFu);  // told before the bytes change
  ColorEntry* made = table.Define("corporate teal", 0, 0x55, 0x66);
  EXPECT_EQ(table.LookupOrAdd("CORPORATETEAL"), made);
  EXPECT_EQ(made->Rgb(), 0x005566u);
}

TEST(Colours, NamesAreCutAndNormalised) {
  char out[kColorNameMax + 1];
  std::string long_text(300, 'a');
  EXPECT_EQ(NormalizeColorName(long_text.c_str(), out), kColorNameMax);
  EXPECT_EQ(NormalizeColorName(" grey\r\nGREY ", out), 8u);
  EXPECT_STREQ(out, "GRAYGRAY");
  EXPECT_EQ(HexDigitValue('a'), 0xC0);  // lower case is upper-cased first
  EXPECT_EQ(HexDigitValue('F'), 15);
}

class CountingFont : public FontEntry {
 public:
  using FontEntry::FontEntry;
};

class CountingTable : public FontTable {
 public:
  FontEntry* MakeEntry(const char* face, std::uint16_t n, bool a, bool b) override {
    ++made;
    return new CountingFont(face, n, a, b);
  }
  int made = 0;
};

TEST(Fonts, KeyedByFaceSizeAndFlags) {
  CountingTable table;
  FontEntry* a = table.LookupOrAdd("Arial", 1000, false, true);
  EXPECT_EQ(table.LookupOrAdd("Arial", 1000, false, true), a);
  EXPECT_EQ(a->Uses(), 2);
  EXPECT_EQ(table.made, 1);
  EXPECT_NE(table.LookupOrAdd("Arial", 1000, true, false), a);
  EXPECT_NE(table.LookupOrAdd("Arial", 0x03E9, false, true), a);
  EXPECT_EQ(a->GetKeyLength(), 5u + 4u);
  EXPECT_EQ(a->Number(), 1000);
  EXPECT_EQ(a->Flags(), 2);
  const char* key = a->GetKey();
  EXPECT_EQ(key[5], 0);
  EXPECT_EQ(static_cast<unsigned char>(key[6]), 0x03);  // high byte first
  EXPECT_EQ(static_cast<unsigned char>(key[7]), 0xE8);
}

}  // namespace
}  // namespace qs
