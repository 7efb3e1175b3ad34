#include "style/text_format.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "error_recorder.h"
#include "foundation/engine.h"
#include "foundation/names.h"
#include "style/frame.h"
#include "style/style_rules.h"
#include "test_device.h"

namespace qs {
namespace {

class TextFormats : public testing::Test {
 protected:
  void SetUp() override { ResetFontScale(); }
  void TearDown() override { ResetFontScale(); }
};

struct Released {
  void operator()(TextFormat* f) const { f->Release(); }
};
using FormatPtr = std::unique_ptr<TextFormat, Released>;

TEST_F(TextFormats, DefaultFormat) {
  FormatPtr f(new TextFormat(nullptr, nullptr));
  EXPECT_EQ(f->requestedSize, 1000);
  EXPECT_EQ(f->displayedSize, 1000);
  EXPECT_EQ(f->flags, 0);
  EXPECT_STREQ(f->FamilyText(), "*");
  EXPECT_STREQ(f->ColorText(), "black");
  EXPECT_STREQ(f->ShadowColorText(), "silver");
  EXPECT_EQ(f->shadow, 0);
  EXPECT_EQ(f->UseCount(), 1);
}

// Each row: an enclosing style, the scales pushed before the inner
// format is made, an inner style, and what the inner format holds.
TEST_F(TextFormats, StylesMergeIntoTheEnclosingFormat) {
  using Set = std::function<void(StyleProps&)>;
  const Set none = [](StyleProps&) {};
  struct Row {
    const char* what;
    Set outer;
    std::vector<int> scales;
    Set inner;
    int requested, displayed, left, first, flags, offset;
  } rows[] = {
      {"250 pt", none, {}, [](StyleProps& s) { s.fontSize = 250; }, 25000, 19200, 0, 0, 0, 0},
      {"4 pt", none, {}, [](StyleProps& s) { s.fontSize = 4; }, 400, 600, 0, 0, 0, 0},
      {"50 % of 20 pt", none, {50}, [](StyleProps& s) { s.fontSize = 20; }, 2000, 1000, 0, 0, 0, 0},
      {"50 % under 200 %", [](StyleProps& s) { s.fontSize = 12; }, {200, 50},
       [](StyleProps& s) { s.fontScale = 50; }, 1200, 1200, 0, 0, 0, 0},
      {"scale alone at 100 %", [](StyleProps& s) { s.fontSize = 14; }, {},
       [](StyleProps& s) { s.fontScale = 300; }, 1400, 1400, 0, 0, 0, 0},
      {"scale 150 % of 12 pt", [](StyleProps& s) { s.fontSize = 12; }, {150},
       [](StyleProps& s) { s.fontScale = 150; }, 1200, 1800, 0, 0, 0, 0},
      {"SPC-LEFT -5 relative", [](StyleProps& s) { s.spaceLeft = 0x4000 + 8212; }, {},
       [](StyleProps& s) { s.spaceLeft = 0x8000 + 8187; }, 1000, 1000, 15, 0, 0, 0},
      {"SPC-LEFT 10 absolute", [](StyleProps& s) { s.spaceLeft = 0x4000 + 8212; }, {},
       [](StyleProps& s) { s.spaceLeft = 0x4000 + 8202; }, 1000, 1000, 10, 0, 0, 0},
      {"SPC-INDENT unset code", [](StyleProps& s) { s.spaceIndent = 0x4000 + 8195; }, {},
       [](StyleProps& s) { s.spaceIndent = 8195; }, 1000, 1000, 0, 3, 0, 0},
      {"Emphas twice", [](StyleProps& s) { s.fontByte = StyleProps::kSlantEmphas; }, {},
       [](StyleProps& s) { s.fontByte = StyleProps::kSlantEmphas; }, 1000, 1000, 0, 0, 0, 0},
      {"Italic Bold", none, {},
       [](StyleProps& s) { s.fontByte = StyleProps::kSlantItalic | StyleProps::kWeightBold; }, 1000,
       1000, 0, 0, TextFormat::kItalic | TextFormat::kBold, 0},
      {"Center, Below, link sources suppressed, change bar", none, {},
       [](StyleProps& s) {
         s.layout = StyleProps::kJustifyCenter | StyleProps::kOffsetUnset;
         s.linkByte = 0x30 | 0x02;
         s.fontByte = StyleProps::kChangeBar;
       },
       1000, 1000, 0, 0, 0x10 | 0x0C | 0x40 | 0x100, 0},
      {"FONT-OFFS +3 at 12 pt", [](StyleProps& s) { s.fontSize = 12; }, {},
       [](StyleProps& s) { s.layout = 7 + 3; }, 1200, 1200, 0, 0, 0, 3},
      {"FONT-OFFS +8 at 192 pt saturates", [](StyleProps& s) { s.fontSize = 192; }, {},
       [](StyleProps& s) { s.layout = 7 + 8; }, 19200, 19200, 0, 0, 0, 127},
      {"FONT-OFFS -7 at 192 pt saturates", [](StyleProps& s) { s.fontSize = 192; }, {},
       [](StyleProps& s) { s.layout = 0; }, 19200, 19200, 0, 0, 0, -128},
  };
  for (const Row& r : rows) {
    StyleProps outer, inner;
    r.outer(outer);
    r.inner(inner);
    FormatPtr base(new TextFormat(&outer, nullptr));
    for (int s : r.scales) PushScale(s);
    FormatPtr f(new TextFormat(&inner, base.get()));
    for (auto it = r.scales.rbegin(); it != r.scales.rend(); ++it) PopScale(*it);
    EXPECT_EQ(CurrentScale(), 100) << r.what;
    EXPECT_EQ(f->requestedSize, r.requested) << r.what;
    EXPECT_EQ(f->displayedSize, r.displayed) << r.what;
    EXPECT_EQ(f->leftIndent, r.left) << r.what;
    EXPECT_EQ(f->firstIndent, r.first) << r.what;
    EXPECT_EQ(f->flags, r.flags) << r.what;
    EXPECT_EQ(f->baselineOffset, r.offset) << r.what;
  }
}

TEST_F(TextFormats, ScaleStackDropsPushesPastItsDepth) {
  for (int i = 0; i < kScaleStackDepth; ++i) PushScale(100);
  PushScale(200);  // the 65th
  EXPECT_EQ(DroppedScalePushes(), 1);
  EXPECT_EQ(CurrentScale(), 100);
  PopScale(200);  // its pop changes nothing
  EXPECT_EQ(ScaleDepth(), kScaleStackDepth);
  for (int i = 0; i < kScaleStackDepth; ++i) PopScale(100);
  EXPECT_EQ(ScaleDepth(), 0);
  PopScale(100);  // an extra pop is harmless
  EXPECT_EQ(CurrentScale(), 100);
  // Deep products stay in 32 bits.
  for (int i = 0; i < 4; ++i) PushScale(1000);
  EXPECT_EQ(CurrentScale(), 1000000);
  EXPECT_EQ(ScaleFontSize(1000), 19200);
}

TEST_F(TextFormats, StringsAreSharedAndReleased) {
  StyleProps style;
  style.SetFontFamily("Times");
  style.SetFontColor("navy");
  InternedName* family = style.fontFamily;
  const int uses = family->UseCount();
  {
    FormatPtr a(new TextFormat(&style, nullptr));
    FormatPtr b(new TextFormat(nullptr, a.get()));
    EXPECT_EQ(b->family, family);
    EXPECT_STREQ(b->ColorText(), "navy");
    EXPECT_EQ(family->UseCount(), uses + 2);
  }
  EXPECT_EQ(family->UseCount(), uses);
}

TEST_F(TextFormats, CacheSharesOneFormatPerPair) {
  StyleProps red, plain;
  red.SetFontColor("red");
  red.SetShadowColor("grey");
  StyleProps darkRed;
  darkRed.SetFontColor("Dark Red");
  StyleProps maroon;
  maroon.SetFontColor("maroon");  // the same 800000 as dark red
  FormatCache cache;
  TextFormat* base = cache.Get(&plain, nullptr);
  TextFormat* a = cache.Get(&red, base);
  EXPECT_EQ(cache.Get(&red, base), a);
  EXPECT_EQ(a->UseCount(), 3);  // the cache's and two callers'
  TextFormat* other = cache.Get(&red, nullptr);
  EXPECT_NE(other, a);
  TextFormat* d = cache.Get(&darkRed, base);
  TextFormat* m = cache.Get(&maroon, d);
  EXPECT_EQ(cache.Count(), 5);
  EXPECT_EQ(cache.ColourCount(), 4);
  EXPECT_EQ(FormatCache::Bucket(&red, base),
            static_cast<int>(((reinterpret_cast<std::uintptr_t>(&red) % 19937) +
                              (reinterpret_cast<std::uintptr_t>(base) % 13717)) % 511));

  test::ErrorRecorder host;
  ColorTable colours;
  PaletteSet palette(&colours);
  palette.AddCache(cache);
  // red, grey (808080, also the shadow of two), 800000 once for both names.
  EXPECT_EQ(palette.Count(), 3u);
  for (TextFormat* f : {base, a, a, other, d, m}) f->Release();
}

// The running cache's colours and the frames' page colours, each once.
TEST_F(TextFormats, BuildPaletteListsEachColourOnce) {
  test::ErrorRecorder host;
  EXPECT_EQ(BuildPalette(nullptr), nullptr);  // no cache, no frame: no colour
  ElementStyle cream, red, plain;
  cream.SetPageColor("cream");
  red.SetPageColor("RED");
  red.SetFontColor("red");
  FrameTreeNode frame(nullptr, nullptr, 0), child(nullptr, nullptr, 0), grandchild(nullptr, nullptr, 0);
  frame.pageColor = cream.pageColor->AddRef();
  grandchild.pageColor = red.pageColor->AddRef();
  child.AppendChild(&grandchild);
  frame.AppendChild(&child);
  EXPECT_EQ(BuildPalette(&child), nullptr);  // needs the engine's colour table
  {
    ColorTable colours;
    PaletteSet set(&colours);
    FormatCache cache;
    TextFormat* f = cache.Get(&red, nullptr);
    TextFormat* g = cache.Get(&plain, f);
    set.AddCache(cache);
    set.AddFrame(&frame);
    Palette* palette = set.MakePalette();
    ASSERT_NE(palette, nullptr);
    ASSERT_EQ(palette->count, 2u);  // red once, then cream
    EXPECT_EQ(palette->rgb[0][0], 0xFF);
    EXPECT_EQ(palette->rgb[1][0], 0xFF);
    EXPECT_EQ(palette->rgb[1][1], 0xFB);
    EXPECT_EQ(palette->rgb[1][2], 0xF0);
    MemFree(palette);
    f->Release();
    g->Release();
  }
  child.Unlink();
  grandchild.Unlink();
}

TEST_F(TextFormats, FontsAndColoursComeFromTheCurrentDevice) {
  test::ErrorRecorder host;
  test::TestDevice device(96);
  StyleProps style;
  style.fontSize = 20;
  style.fontByte = StyleProps::kWeightBold;
  style.fontShadow = 0x99;
  FormatPtr f(new TextFormat(&style, nullptr));
  EXPECT_EQ(f->GetFont(), nullptr);  // no device yet
  DeviceScope scope(&device);
  Font* font = f->GetFont();
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(f->GetFont(), font);
  EXPECT_EQ(font->Size(), 2000);
  EXPECT_TRUE(font->Bold());
  EXPECT_EQ(font->ascent, 8 * 2 * 96 / 72);
  EXPECT_EQ(font->MeasureA("abc", 3), 3 * (6 * 2 * 96 / 72));
  EXPECT_EQ(font->Uses(), 1);
  device.UseTextStyle(f.get());
  EXPECT_EQ(device.font, font);
  EXPECT_EQ(device.shadowOffset, 0x99);
  EXPECT_EQ(device.fontSelects, 1);
  device.UseFont(font);  // the same font: not selected again, shadow off
  EXPECT_EQ(device.fontSelects, 1);
  EXPECT_EQ(device.shadowOffset, 0);
  EXPECT_EQ(device.shadowColor, nullptr);
}

}  // namespace
}  // namespace qs
