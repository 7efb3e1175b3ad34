#include "web_list.h"

#include <gtest/gtest.h>

#include <map>

namespace qs::viewer {
namespace {

TEST(WebList, SixteenWebsAtMostEachOnce) {
  WebList webs;
  for (std::uint32_t h = 1; h <= 16; ++h) EXPECT_TRUE(webs.Append(h, "w" + std::to_string(h)));
  EXPECT_TRUE(webs.Full());
  EXPECT_FALSE(webs.Append(17, "w17"));
  EXPECT_EQ(webs.Count(), 16);
  EXPECT_EQ(webs.IndexOf(5), 4);
  EXPECT_EQ(webs.IndexOf(17), -1);
  webs.Remove(0);
  EXPECT_FALSE(webs.Full());
  EXPECT_EQ(webs.At(0).path, "w2");
  EXPECT_EQ(webs.Remove(99).handle, 0u);  // no such web: nothing goes
  EXPECT_EQ(webs.Count(), 15);
}

// The current web: choosing it again ends editing; closing a web before it
// moves it down, closing it leaves none.
TEST(WebList, TheCurrentWebFollowsChoicesAndClosing) {
  WebList webs;
  for (std::uint32_t h : {10u, 20u, 30u}) webs.Append(h, "p");
  const struct {
    const char* step;
    int argument, current;
    std::uint32_t handle;
  } steps[] = {
      {"choose", 2, 2, 30}, {"choose", 2, -1, 0}, {"choose", 1, 1, 20}, {"choose", 0, 0, 10},
      {"choose", 7, -1, 0}, {"choose", 2, 2, 30}, {"remove", 0, 1, 30}, {"remove", 1, -1, 0},
  };
  for (const auto& s : steps) {
    if (std::string(s.step) == "choose")
      webs.Choose(s.argument);
    else
      webs.Remove(s.argument);
    EXPECT_EQ(webs.Current(), s.current) << s.step << " " << s.argument;
    EXPECT_EQ(webs.CurrentHandle(), s.handle) << s.step << " " << s.argument;
  }
}

// A web edited once stays marked as edited, whatever is edited later.
TEST(WebList, WebsEditedInTheRunAreMarked) {
  WebList webs;
  for (std::uint32_t h : {1u, 2u, 3u}) webs.Append(h, "p");
  webs.MarkCurrentEdited();  // none current: nothing marked
  webs.Choose(1);
  webs.MarkCurrentEdited();
  webs.Choose(1);
  EXPECT_FALSE(webs.At(0).edited);
  EXPECT_TRUE(webs.At(1).edited);
  EXPECT_FALSE(webs.At(2).edited);
  webs.Remove(0);
  EXPECT_TRUE(webs.At(0).edited);
}

TEST(WebList, TheStoredListEndsAtItsFirstGap) {
  std::map<std::string, std::string> profile = {{"WEB00", "a.web"}, {"WEB02", "c.web"}};
  auto read = [&](const std::string& key) {
    auto it = profile.find(key);
    return it == profile.end() ? std::string(".") : it->second;
  };
  EXPECT_EQ(StoredWebs(read), std::vector<std::string>{"a.web"});
  profile["WEB01"] = "b.web";
  EXPECT_EQ(StoredWebs(read), (std::vector<std::string>{"a.web", "b.web", "c.web"}));
  profile.clear();
  EXPECT_TRUE(StoredWebs(read).empty());
  const struct {
    const char* text;
    int index;
  } currents[] = {{"-1", -1}, {"0", 0}, {"15", 15}, {"16", -1}, {"x", -1}, {"", -1}, {"-5", -1}};
  for (const auto& c : currents) EXPECT_EQ(StoredCurrentWeb(c.text), c.index) << c.text;
}

TEST(WebList, ExitWritesTheListAndDeletesWhatLiesPastIt) {
  WebList webs;
  webs.Append(1, "C:\\a.web");
  webs.Append(2, "C:\\b.web");
  std::vector<ProfileWrite> writes = WebListWrites(webs);
  ASSERT_EQ(writes.size(), 17u);
  EXPECT_EQ(writes[0], (ProfileWrite{"WEB00", "C:\\a.web"}));
  EXPECT_EQ(writes[1], (ProfileWrite{"WEB01", "C:\\b.web"}));
  EXPECT_EQ(writes[2], (ProfileWrite{"WEB02", std::nullopt}));
  EXPECT_EQ(writes[15], (ProfileWrite{"WEB15", std::nullopt}));
  EXPECT_EQ(writes[16], (ProfileWrite{"WRWEB", std::nullopt}));
  webs.Choose(1);
  EXPECT_EQ(WebListWrites(webs).back(), (ProfileWrite{"WRWEB", "1"}));
  EXPECT_EQ(WebKey(7), "WEB07");
}

TEST(WebList, AnchorNamesAreCutToThirtyCharacters) {
  EXPECT_EQ(AnchorItemText("Valve"), "Valve");
  EXPECT_EQ(AnchorItemText(nullptr), "");
  EXPECT_EQ(AnchorItemText(std::string(30, 'x').c_str()), std::string(30, 'x'));
  EXPECT_EQ(AnchorItemText(std::string(31, 'y').c_str()), std::string(30, 'y'));
}

}  // namespace
}  // namespace qs::viewer
