#include "view/metafile_head.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace qs {
namespace {

void Put16(std::vector<std::uint8_t>& v, std::size_t at, unsigned x) {
  v[at] = static_cast<std::uint8_t>(x), v[at + 1] = static_cast<std::uint8_t>(x >> 8);
}
void Put32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<std::uint8_t>(x >> (8 * i));
}

struct Wmf {
  std::uint32_t key = kPlaceableKey;
  int left = 0, top = 0, right = 1440, bottom = 720;
  unsigned units = 1440;
  unsigned type = 1, headerWords = 9;
  std::uint32_t sizeWords = 12;  // header and a 3-word end record
  std::size_t fileBytes = 22 + 24;
};

std::vector<std::uint8_t> Make(const Wmf& w) {
  std::vector<std::uint8_t> v(w.fileBytes < 40 ? 40 : w.fileBytes, 0);
  Put32(v, 0, w.key);
  Put16(v, 6, static_cast<unsigned>(w.left));
  Put16(v, 8, static_cast<unsigned>(w.top));
  Put16(v, 10, static_cast<unsigned>(w.right));
  Put16(v, 12, static_cast<unsigned>(w.bottom));
  Put16(v, 14, w.units);
  Put16(v, 22, w.type);
  Put16(v, 24, w.headerWords);
  Put32(v, 28, w.sizeWords);
  v.resize(w.fileBytes);
  return v;
}

TEST(MetafileHead, PlaceableHeads) {
  struct {
    const char* what;
    Wmf wmf;
    bool read;
    int width, height;
  } cases[] = {
      {"1440 at 1440 per inch before measuring", Wmf{}, true, 72, 36},
      {"reversed box", Wmf{kPlaceableKey, 1440, 720, 0, 0}, true, 72, 36},
      {"another key", Wmf{0x12345678}, false, 0, 0},
      {"8 header words", Wmf{kPlaceableKey, 0, 0, 1440, 720, 1440, 1, 8}, false, 0, 0},
      {"type 3", Wmf{kPlaceableKey, 0, 0, 1440, 720, 1440, 3}, false, 0, 0},
      {"units 0", Wmf{kPlaceableKey, 0, 0, 1440, 720, 0}, false, 0, 0},
      {"size under 9 words", Wmf{kPlaceableKey, 0, 0, 1440, 720, 1440, 2, 9, 8}, false, 0, 0},
      {"size past the end", Wmf{kPlaceableKey, 0, 0, 1440, 720, 1440, 2, 9, 13}, false, 0, 0},
      {"huge size", Wmf{kPlaceableKey, 0, 0, 1440, 720, 1440, 2, 9, 0xFFFFFFFFu}, false, 0, 0},
      {"no width", Wmf{kPlaceableKey, 5, 0, 5, 720}, false, 0, 0},
      {"short file", Wmf{kPlaceableKey, 0, 0, 1440, 720, 1440, 1, 9, 12, 30}, false, 0, 0},
      {"widest box", Wmf{kPlaceableKey, -32768, 0, 32767, 720, 1}, true, 32767, 32767},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> bytes = Make(c.wmf);
    MetafileHead head{};
    ASSERT_EQ(ReadPlaceableHead(bytes.data(), bytes.size(), 72, 72, &head), c.read) << c.what;
    if (!c.read) continue;
    EXPECT_EQ(head.width, c.width) << c.what;
    EXPECT_EQ(head.height, c.height) << c.what;
    EXPECT_EQ(head.metafileBytes, c.wmf.sizeWords * 2);
  }
  std::vector<std::uint8_t> bytes = Make(Wmf{});
  MetafileHead head{};
  ASSERT_TRUE(ReadPlaceableHead(bytes.data(), bytes.size(), 96, 120, &head));
  EXPECT_EQ(head.width, 96);
  EXPECT_EQ(head.height, 60);
}

std::vector<std::uint8_t> VersionBlock(std::uint32_t ls, bool goodKey = true) {
  std::vector<std::uint8_t> v(92, 0);
  const char* key = goodKey ? "VS_VERSION_INFO" : "VS_VERSION_INFX";
  for (int i = 0; i < 15; ++i) v[6 + 2 * i] = static_cast<std::uint8_t>(key[i]);
  Put32(v, 40, 0xFEEF04BDu);
  Put32(v, 48, 0x00010000u);
  Put32(v, 52, ls);
  return v;
}

TEST(CgmFilter, VersionsSettingsAndSizes) {
  auto v29 = VersionBlock(0x001D0000u), v30 = VersionBlock(0x001E0000u),
       v31 = VersionBlock(0x001F0000u), bad = VersionBlock(0x001D0000u, false);
  EXPECT_EQ(CgmInterfaceFromVersion(v29.data(), v29.size()), 2);
  EXPECT_EQ(CgmInterfaceFromVersion(v30.data(), v30.size()), 1);
  EXPECT_EQ(CgmInterfaceFromVersion(v31.data(), v31.size()), 0);
  EXPECT_EQ(CgmInterfaceFromVersion(bad.data(), bad.size()), 0);
  EXPECT_EQ(CgmInterfaceFromVersion(v29.data(), 50), 0);

  std::vector<std::uint8_t> block(kCgmSettingsSize, 0xAA);
  ASSERT_TRUE(FillCgmSettings(block.data(), block.size(), "C:\\home", "C:\\tmp"));
  EXPECT_STREQ(reinterpret_cast<char*>(&block[261]), "C:\\home\\ntq_font.cfg");
  EXPECT_STREQ(reinterpret_cast<char*>(&block[617]), "C:\\home");
  EXPECT_STREQ(reinterpret_cast<char*>(&block[1230]), "C:\\tmp\\ntq_logg.txt");
  EXPECT_EQ(block[1542], 2);
  EXPECT_EQ(block[1545], 0);
  EXPECT_EQ(block[260], 0xAA);
  std::vector<std::uint8_t> small(kCgmSettingsSize - 1, 0xAA);
  EXPECT_FALSE(FillCgmSettings(small.data(), small.size(), "C:\\home", "C:\\tmp"));
  // A folder whose font path would run into the folder's slot: refused,
  // the block untouched.
  std::string longFolder(617 - 261 - 13, 'f');
  std::vector<std::uint8_t> fresh(kCgmSettingsSize, 0xAA);
  EXPECT_FALSE(FillCgmSettings(fresh.data(), fresh.size(), longFolder.c_str(), "C:\\tmp"));
  EXPECT_EQ(fresh[261], 0xAA);
  longFolder.pop_back();
  EXPECT_TRUE(FillCgmSettings(fresh.data(), fresh.size(), longFolder.c_str(), "C:\\tmp"));
  std::string longTemp(1542 - 1230 - 13, 't');
  EXPECT_FALSE(FillCgmSettings(fresh.data(), fresh.size(), "C:\\home", longTemp.c_str()));

  std::uint8_t spec[kCgmFileSpecSize];
  ASSERT_TRUE(MakeCgmFileSpec(spec, "C:\\pic.cgm"));
  EXPECT_STREQ(reinterpret_cast<char*>(spec + 8), "C:\\pic.cgm");
  EXPECT_EQ(spec[0], 0);
  EXPECT_FALSE(MakeCgmFileSpec(spec, std::string(268, 'p').c_str()));
  EXPECT_TRUE(MakeCgmFileSpec(spec, std::string(267, 'p').c_str()));

  std::int16_t w = 0, h = 0;
  ASSERT_TRUE(CgmPictureSize(0, 0, 2000, 1000, 1000, 2, 96, 96, &w, &h));
  EXPECT_EQ(w, 192);
  EXPECT_EQ(h, 96);
  ASSERT_TRUE(CgmPictureSize(2000, 1000, 0, 0, 1000, 1, 96, 96, &w, &h));
  EXPECT_EQ(w, 192);
  EXPECT_EQ(h, 96);
  EXPECT_FALSE(CgmPictureSize(0, 0, 2000, 1000, 0, 2, 96, 96, &w, &h));
  // 40000 units: unsigned for interface 2, negative (refused) for 1.
  EXPECT_TRUE(CgmPictureSize(0, 0, 40000, 40000, 40000, 2, 96, 96, &w, &h));
  EXPECT_EQ(w, 96);
  EXPECT_FALSE(CgmPictureSize(0, 0, 40000, 40000, 40000, 1, 96, 96, &w, &h));
  ASSERT_TRUE(CgmPictureSize(-2000000000, 0, 2000000000, 1, 1, 2, 96, 96, &w, &h));
  EXPECT_EQ(w, 32767);
}

}  // namespace
}  // namespace qs
