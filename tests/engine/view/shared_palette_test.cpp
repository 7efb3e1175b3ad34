#include "view/shared_palette.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

namespace qs {
namespace {

// Palettes as plain colour lists, numbered from 1.
class FakePlatform : public PalettePlatform {
 public:
  void* Add(std::vector<PaletteRgb> colors) {
    palettes_[++next_] = std::move(colors);
    return reinterpret_cast<void*>(next_);
  }
  int ReadEntries(void* handle, PaletteRgb* out, int room) override {
    auto it = palettes_.find(reinterpret_cast<std::intptr_t>(handle));
    if (it == palettes_.end()) return 0;
    int n = 0;
    for (const PaletteRgb& c : it->second)
      if (n < room) out[n++] = c;
    return n;
  }
  void* Create(const PaletteRgb* colors, int count) override {
    ++created;
    return Add(std::vector<PaletteRgb>(colors, colors + count));
  }
  void Delete(void* handle) override {
    ++deleted;
    palettes_.erase(reinterpret_cast<std::intptr_t>(handle));
  }
  const std::vector<PaletteRgb>& Colors(void* handle) {
    return palettes_[reinterpret_cast<std::intptr_t>(handle)];
  }
  int created = 0, deleted = 0;

 private:
  std::map<std::intptr_t, std::vector<PaletteRgb>> palettes_;
  std::intptr_t next_ = 0;
};

std::vector<PaletteRgb> Ramp(int count, std::uint8_t blue) {
  std::vector<PaletteRgb> v;
  for (int i = 0; i < count; ++i)
    v.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i * 7), blue});
  return v;
}

std::uint32_t Pack(const PaletteRgb& c) { return c.r << 16 | c.g << 8 | c.b; }

struct User : PaletteUser {
  void UsePalette(void* handle) override { used = handle; }
  void* used = nullptr;
};

TEST(SharedPalette, OneImageIsUsedAsItIs) {
  FakePlatform platform;
  ViewPalette palette(platform, false);
  EXPECT_EQ(palette.Realize(), nullptr);
  void* image = platform.Add(Ramp(10, 1));
  User renderer;
  palette.AddRenderer(&renderer, image);
  palette.AddRenderer(&renderer, nullptr);  // no palette: nothing added
  EXPECT_EQ(palette.count, 1);
  EXPECT_EQ(palette.Realize(), image);
  EXPECT_EQ(renderer.used, image);
  EXPECT_EQ(platform.created, 0);
}

TEST(SharedPalette, SharedColoursOnceAfterTheStatic20) {
  FakePlatform platform;
  ViewPalette palette(platform, false);
  std::vector<PaletteRgb> a{{1, 2, 3}, {4, 5, 6}, {0, 0, 0}}, b{{4, 5, 6}, {7, 8, 9}, {1, 2, 3}};
  palette.AddHandle(platform.Add(a));
  palette.AddHandle(platform.Add(b));
  void* merged = palette.Realize();
  const auto& colors = platform.Colors(merged);
  ASSERT_EQ(colors.size(), 23u);
  for (int i = 0; i < kStaticColors; ++i) EXPECT_EQ(Pack(colors[i]), Pack(StaticColors()[i]));
  std::set<std::uint32_t> rest;
  for (std::size_t i = 20; i < colors.size(); ++i) rest.insert(Pack(colors[i]));
  EXPECT_EQ(rest, (std::set<std::uint32_t>{0x010203, 0x040506, 0x070809}));
  // Realized again without a change: the same palette, no rebuild.
  EXPECT_EQ(palette.Realize(), merged);
  EXPECT_EQ(platform.created, 1);
  // A change rebuilds and deletes the old merged palette.
  palette.RemoveHandle(nullptr);
  palette.AddHandle(platform.Add({{9, 9, 9}}));
  palette.Realize();
  EXPECT_EQ(platform.deleted, 1);
}

TEST(SharedPalette, PrincipalAloneOrFirst) {
  FakePlatform platform;
  void* host = platform.Add({{10, 20, 30}, {40, 50, 60}});
  void* image = platform.Add({{70, 80, 90}});
  {
    ViewPalette alone(platform, false);
    alone.AddHandle(image);
    alone.SetPrincipal(host, true);
    EXPECT_EQ(alone.Realize(), host);
  }
  ViewPalette merged(platform, false);
  merged.AddHandle(image);
  merged.SetPrincipal(host, false);
  const auto& colors = platform.Colors(merged.Realize());
  ASSERT_EQ(colors.size(), 23u);
  EXPECT_EQ(Pack(colors[20]), 0x0A141Eu);
  EXPECT_EQ(Pack(colors[21]), 0x28323Cu);
  EXPECT_EQ(Pack(colors[22]), 0x46505Au);
  // Replacing the principal drops the old one.
  merged.SetPrincipal(nullptr, false);
  EXPECT_EQ(merged.count, 1);
  EXPECT_EQ(merged.Realize(), image);
  // Registered for all windows: devices made later take it.
  GetRegisteredPalette() = {host, true};
  ViewPalette later(platform, true);
  later.AddHandle(image);
  EXPECT_EQ(later.Realize(), host);
  GetRegisteredPalette() = {};
}

TEST(SharedPalette, FortyImagesOnlyThirtyTwoTakePart) {
  FakePlatform platform;
  ViewPalette palette(platform, false);
  for (int i = 0; i < 40; ++i)
    palette.AddHandle(platform.Add({{static_cast<std::uint8_t>(i), 1, 1}}));
  const auto& colors = platform.Colors(palette.Realize());
  ASSERT_EQ(colors.size(), 20u + 32u);
  EXPECT_EQ(Pack(colors.back()), 0x1F0101u);
}

TEST(SharedPalette, FullTablesMergeWithIndex255) {
  // A full table whose last entry is alone in its bucket.
  std::vector<PaletteRgb> full = Ramp(255, 3);
  full.push_back({250, 250, 130});
  ImagePalette image(nullptr, full.data(), 256);
  EXPECT_NE(image.fill, 255);
  EXPECT_EQ(image.heads[PaletteBucket(250, 250, 130)], 255);
  PaletteRgb out[256];
  const ImagePalette* others[] = {&image};
  int n = MergePalettes(nullptr, others, 1, out);
  EXPECT_EQ(n, 256);
  bool found = false;
  for (int i = 0; i < n; ++i) found |= Pack(out[i]) == 0xFAFA82u;
  EXPECT_TRUE(found);
  // 32 full palettes of different colours fill 256 and stop.
  std::vector<std::vector<PaletteRgb>> tables;
  std::vector<ImagePalette*> images;
  for (int k = 0; k < 32; ++k) {
    tables.push_back(Ramp(256, static_cast<std::uint8_t>(k * 8)));
    images.push_back(new ImagePalette(nullptr, tables.back().data(), 256));
  }
  n = MergePalettes(nullptr, images.data(), 32, out);
  EXPECT_EQ(n, 256);
  std::set<std::uint32_t> distinct;
  for (int i = 0; i < n; ++i) distinct.insert(Pack(out[i]));
  EXPECT_EQ(distinct.size(), 256u);
  // Spread over the images: each gave some of its colours.
  std::set<std::uint8_t> blues;
  for (int i = 20; i < n; ++i) blues.insert(out[i].b);
  EXPECT_GT(blues.size(), 8u);
  for (ImagePalette* p : images) delete p;
}

}  // namespace
}  // namespace qs
