// QsSetColor called in-process: it defines names in the engine's colour
// table and redefines existing entries in place.
#include <gtest/gtest.h>

#include "api/exports.h"
#include "foundation/engine.h"

namespace qs {
namespace {

TEST(SetColor, DefinesAndRedefinesInPlace) {
  EXPECT_EQ(QsSetColor("teal", 1, 2, 3), 0);  // no engine
  ASSERT_NE(QsInitialize(0, "test", nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  ColorTable& colours = *GetEngine()->colours;
  ColorEntry* red = colours.LookupOrAdd("red");
  ASSERT_NE(red, nullptr);
  EXPECT_NE(QsSetColor(" R e d ", 0x110, 0x20, 0x30), 0);
  EXPECT_EQ(colours.LookupOrAdd("RED"), red);
  EXPECT_EQ(red->Rgb(), 0x102030u);  // each component a byte
  EXPECT_NE(QsSetColor("corporate grey", 9, 8, 7), 0);
  EXPECT_EQ(colours.LookupOrAdd("Corporate Gray")->Rgb(), 0x090807u);
  EXPECT_EQ(QsSetColor(nullptr, 1, 2, 3), 0);
  QsTerminate();
}

}  // namespace
}  // namespace qs
