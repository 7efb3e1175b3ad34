#include "view/notation_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace qs {
namespace {

std::string Key(const NotationNameSet& set, const char* name, const char* system,
                const char* publicId) {
  const char* key = set.FindKey(name, system, publicId);
  return key ? key : "-";
}

TEST(NotationRules, BuiltInTable) {
  NotationNameSet set;
  EXPECT_EQ(set.RuleCount(), 43u);
  struct {
    const char* name;
    const char* system;
    const char* publicId;
    const char* key;
  } cases[] = {
      {"XYZ", nullptr, "-//ALDUS//NOTATION TAGGED IMAGE FILE FORMAT//EN", "RGR"},
      // The public identifier's rule comes before the name's.
      {"BMP", "x.bmp", "-//ALDUS//NOTATION TAGGED IMAGE FILE FORMAT//EN", "RGR"},
      {"BMP", nullptr, nullptr, "BMP"},
      {"BMP", "pic.bmp", nullptr, "BMP"},
      {"bmp", nullptr, nullptr, "-"},
      {"TIFF", nullptr, nullptr, "RGR"},
      {"XYZ", nullptr, "-//USA-DOD//NOTATION CCITT GROUP 4 FASCIMILE//EN", "RGR"},
      {"XYZ", nullptr, "-//USA-DOD//NOTATION CCITT GROUP 4 FACSIMILE//EN", "RGR"},
      {"XYZ", nullptr,
       "+//ISBN 0-7923-9432-1::GRAPHIC NOTATION//NOTATION MIT X CONSORTIUM COLOR BITMAP//EN", "XPM"},
      {"XYZ", nullptr, "-//OTHER//NOTATION X//EN", "-"},
      // A rule with an absent public identifier needs one absent.
      {"BMP", nullptr, "-//OTHER//NOTATION X//EN", "-"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Key(set, c.name, c.system, c.publicId), c.key) << c.name << " " << (c.publicId ? c.publicId : "");
}

TEST(NotationRules, AddingReplacingRemoving) {
  NotationNameSet set;
  const char* any = NotationNameSet::kAny;
  // Same identifiers: the key is replaced; a null key removes the rule.
  set.AddRule("HOST", "BMP", any, nullptr);
  EXPECT_EQ(Key(set, "BMP", nullptr, nullptr), "HOST");
  EXPECT_EQ(set.RuleCount(), 43u);
  set.AddRule(nullptr, "BMP", any, nullptr);
  EXPECT_EQ(Key(set, "BMP", nullptr, nullptr), "-");
  EXPECT_EQ(set.RuleCount(), 42u);
  set.AddRule(nullptr, "NONE", any, nullptr);  // nothing to remove
  EXPECT_EQ(set.RuleCount(), 42u);
  // Equal specificity: the older rule stays first.
  set.AddRule("FIRST", "TBM", any, any);
  set.AddRule("SECOND", any, any, any);
  set.AddRule("THIRD", "TBM", any, nullptr);
  EXPECT_EQ(Key(set, "TBM", nullptr, nullptr), "FIRST");
  // More specific rules come first; a fully specific one at the head.
  set.AddRule("SYSTEM", "TBM", "a.tbm", any);
  EXPECT_EQ(Key(set, "TBM", "a.tbm", nullptr), "SYSTEM");
  EXPECT_EQ(Key(set, "TBM", "b.tbm", nullptr), "FIRST");
  set.AddRule("EXACT", "TBM", "a.tbm", "-//P//EN");
  EXPECT_EQ(Key(set, "TBM", "a.tbm", "-//P//EN"), "EXACT");
  EXPECT_EQ(Key(set, "OTHER", nullptr, nullptr), "SECOND");
  // Keys are interned: equal names give one pointer.
  EXPECT_EQ(set.Intern("FIRST"), set.FindKey("TBM", nullptr, nullptr));
  // The element variant loads "XPM" and "XBM" only, in any case.
  EXPECT_TRUE(LoadsFromElement("xpm"));
  EXPECT_TRUE(LoadsFromElement("XBM"));
  EXPECT_FALSE(LoadsFromElement("BMP"));
  EXPECT_FALSE(LoadsFromElement(nullptr));
}

}  // namespace
}  // namespace qs
