#include <gtest/gtest.h>

#include <string>

#include "foundation/engine_lists.h"

namespace qs {
namespace {

class CountingFonts : public FontTable {
 public:
  FontEntry* MakeEntry(const char* face, std::uint16_t size, bool italic, bool bold) override {
    ++made;
    return new FontEntry(face, size, italic, bold);
  }
  int made = 0;
};

std::string Key(const FontEntry* e) { return std::string(e->GetKey(), e->GetKeyLength()); }

TEST(FontKeys, FaceSizeAndStyleBytes) {
  CountingFonts fonts;
  FontEntry* arial = fonts.LookupOrAdd("Arial", 1000, false, true);
  EXPECT_EQ(Key(arial), std::string("Arial\0\x03\xE8\x02", 9));
  EXPECT_EQ(Key(fonts.LookupOrAdd("", 1000, true, false)), std::string("\0\x03\xE8\x01", 4));
  EXPECT_NE(Key(fonts.LookupOrAdd("Arial", 256, false, false)),
            Key(fonts.LookupOrAdd("Arial", 1, false, false)));
  EXPECT_EQ(fonts.LookupOrAdd("Arial", 1000, false, true), arial);  // one entry, two uses
  EXPECT_EQ(arial->Uses(), 2);
  EXPECT_EQ(fonts.made, 4);
  EXPECT_EQ(arial->Number(), 1000);
  EXPECT_EQ(arial->Flags(), 2);
}

TEST(FontKeys, LongFacesAreCutAtACharacterBoundary) {
  CountingFonts fonts;
  // 251 bytes of ASCII fit whole; one more is cut.
  std::string plain(260, 'a');
  FontEntry* e = fonts.LookupOrAdd(plain.c_str(), 1000, false, false);
  EXPECT_EQ(e->GetKeyLength(), 251u + 4);
  EXPECT_EQ(std::string(e->Face()), plain.substr(0, 251));
  // Two-byte characters: byte 251 would split one, so 250 bytes are kept.
  std::string accented;
  for (int i = 0; i < 200; ++i) accented += "\xC3\xA9";
  e = fonts.LookupOrAdd(accented.c_str(), 1000, false, false);
  EXPECT_EQ(e->GetKeyLength(), 250u + 4);
  EXPECT_EQ(std::string(e->Face()), accented.substr(0, 250));
  // The cut name finds the same entry again.
  EXPECT_EQ(fonts.LookupOrAdd(accented.c_str(), 1000, false, false), e);
  EXPECT_EQ(fonts.LookupOrAdd(accented.substr(0, 250).c_str(), 1000, false, false), e);
}

}  // namespace
}  // namespace qs
