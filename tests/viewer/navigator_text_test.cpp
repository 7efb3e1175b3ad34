#include "navigator_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qs::viewer {
namespace {

TEST(NavigatorText, EntryTextsSplitAtTheFirstColon) {
  EXPECT_EQ(EntryText("CHAP", "TTL"), "CHAP: TTL");
  EXPECT_EQ(EntryText("SECTION", ""), "SECTION");
  EXPECT_EQ(EntryText("SECTION", "TTL", "[TYPE]=x"), "SECTION: TTL [[TYPE]=x]");
  struct {
    const char* typed;
    const char* body;
    const char* title;
  } cases[] = {
      {"CHAP: TTL", "CHAP", "TTL"},
      {"CHAP:   HEAD,TITLE", "CHAP", "HEAD,TITLE"},
      {"CHAP:", "CHAP", ""},        // an empty path is none
      {"CHAP", "CHAP", ""},
      {"A: B: C", "A", "B: C"},     // only the first colon splits
      {": TTL", "", "TTL"},
      // Blanks around either part go, as the engine trims a path: "TTL "
      // is the entry "TTL" already is.
      {"SECTION: TTL ", "SECTION", "TTL"},
      {" CHAP \t:\tHEAD,TITLE\t ", "CHAP", "HEAD,TITLE"},
      {"  : TTL", "", "TTL"},
      {"CHAP:   ", "CHAP", ""},
  };
  for (const auto& c : cases) {
    std::string body = "x", title = "x";
    SplitEntryText(c.typed, &body, &title);
    EXPECT_EQ(body, c.body) << c.typed;
    EXPECT_EQ(title, c.title) << c.typed;
  }
  // A typed text counts only its first 511 characters.
  std::string body, title;
  SplitEntryText(std::string(600, 'E') + ": T", &body, &title);
  EXPECT_EQ(body.size(), kMaxEntryText);
  EXPECT_EQ(title, "");
}

TEST(NavigatorText, CandidatesClimbTheAncestors) {
  EXPECT_TRUE(EntryCandidates({}).empty());
  EXPECT_EQ(EntryCandidates({"E"}), std::vector<std::string>{"E"});
  EXPECT_EQ(EntryCandidates({"E", "P", "G"}),
            (std::vector<std::string>{"E", "P: E", "G: P,E"}));
  // At most 47 ancestors are offered.
  std::vector<std::string> deep(60, "X");
  deep[0] = "E";
  const std::vector<std::string> candidates = EntryCandidates(deep);
  ASSERT_EQ(candidates.size(), 48u);
  EXPECT_EQ(candidates.back().substr(0, 3), "X: ");
  EXPECT_EQ(candidates.back().size(), 3 + 46 * 2 + 1u);
}

TEST(NavigatorText, ScaleFields) {
  EXPECT_EQ(ScaleFieldText(0), "");
  EXPECT_EQ(ScaleFieldText(128), "128");
  EXPECT_EQ(ScaleFieldText(-3), "-3");
  EXPECT_EQ(ScaleFieldValue(""), 0);
  EXPECT_EQ(ScaleFieldValue("200"), 200);
  EXPECT_EQ(ScaleFieldValue("x"), 0);
  EXPECT_EQ(ScaleFieldValue("12 "), 12);
  // Only the first 14 characters are read.
  EXPECT_EQ(ScaleFieldValue("00000000000000123"), 0);
}

}  // namespace
}  // namespace qs::viewer
