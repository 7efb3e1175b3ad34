#include "foundation/engine_lists.h"

#include <gtest/gtest.h>

#include <vector>

#include "foundation/callbacks.h"
#include "foundation/engine.h"

namespace qs {
namespace {

int g_recentChanges = 0;
std::intptr_t CountRecentChanges(WindowHandle, int, std::intptr_t, std::intptr_t,
                                 std::intptr_t) {
  ++g_recentChanges;
  return 0;
}

class EngineListsTest : public testing::Test {
 protected:
  void SetUp() override {
    g_recentChanges = 0;
    ASSERT_TRUE(RegisterCallback(0, kEventRecentListChanged, CountRecentChanges, 0));
    engine.Initialize(nullptr, nullptr, nullptr, nullptr, nullptr);
  }
  void TearDown() override { FreeAllCallbacks(); }
  HostedEngine engine{0, "C:\\Home\\", "T", DispatchEvent};
};

TEST_F(EngineListsTest, NewEngineHasEmptyLists) {
  ASSERT_TRUE(engine.webs && engine.styleSheets && engine.navigators && engine.recentList &&
              engine.colours && engine.notationHandlers && engine.frames && engine.lists2 &&
              engine.lists3 && engine.noteDialogs && engine.linkDialogs);
  EXPECT_TRUE(engine.webs->IsEmpty());
  EXPECT_TRUE(engine.styleSheets->IsEmpty());
  EXPECT_TRUE(engine.navigators->IsEmpty());
  EXPECT_EQ(engine.styleSheets->Limit(), 5);
  EXPECT_EQ(engine.navigators->Limit(), 5);
  EXPECT_EQ(engine.styleSheets->useCount, 0);
  EXPECT_EQ(engine.recentList->count, 0);
  EXPECT_EQ(engine.frames->FirstChild(), nullptr);
  EXPECT_EQ(engine.webs->Make("x.web"), nullptr);  // nothing to make webs from yet
}

TEST_F(EngineListsTest, RecentListKeepsTheMostRecentWithinTheLimit) {
  RecentList& recent = *engine.recentList;
  int objects[6];
  for (int i = 0; i < 5; ++i) recent.Add(&objects[i]);
  EXPECT_EQ(recent.count, 4);  // the default limit
  EXPECT_EQ(recent.At(0), &objects[4]);
  EXPECT_EQ(recent.At(3), &objects[1]);
  EXPECT_FALSE(recent.Contains(&objects[0]));
  EXPECT_EQ(g_recentChanges, 5);

  recent.Add(&objects[2]);  // moves to the front
  EXPECT_EQ(recent.At(0), &objects[2]);
  EXPECT_EQ(recent.At(1), &objects[4]);
  EXPECT_EQ(recent.count, 4);
  EXPECT_EQ(g_recentChanges, 6);
  recent.Add(&objects[2]);  // already first: no change
  EXPECT_EQ(g_recentChanges, 6);

  EXPECT_TRUE(recent.Remove(&objects[4]));
  EXPECT_FALSE(recent.Remove(&objects[4]));
  EXPECT_EQ(recent.count, 3);

  engine.recentLimit = 0;  // no recent list at all
  recent.Add(&objects[5]);
  EXPECT_FALSE(recent.Contains(&objects[5]));
  engine.recentLimit = 2;  // a lower limit drops the oldest first
  recent.Add(&objects[5]);
  EXPECT_EQ(recent.count, 2);
  EXPECT_EQ(recent.At(0), &objects[5]);
  EXPECT_EQ(recent.At(1), &objects[2]);
}

TEST_F(EngineListsTest, ColourTable) {
  ColorTable& colours = *engine.colours;
  ColorEntry* red = colours.LookupOrAdd("red");
  ASSERT_NE(red, nullptr);
  EXPECT_EQ(colours.LookupOrAdd(" Red\t"), red);  // the same normalised name
  EXPECT_EQ(red->Rgb(), 0xFF0000u);
  EXPECT_EQ(colours.Find("red"), nullptr);  // keys are normalised names
  EXPECT_EQ(colours.Find("RED"), red);
  EXPECT_EQ(red->GetKeyLength(), 3u);
  EXPECT_EQ(colours.BucketCount(), 64);
}

}  // namespace
}  // namespace qs
