// The engine names its input-decoding tables file when it starts and the
// file is read when text first needs it.
#include <gtest/gtest.h>

#include <string>

#include "../foundation/temp_folder.h"
#include "chars_support.h"
#include "foundation/engine.h"
#include "recording_sink.h"
#include "sgml/unicode_tables.h"

namespace qs {
namespace {

std::string FolderOf(const std::string& path) {
  return path.substr(0, path.find_last_of("/\\") + 1);
}

TEST(EngineTables, ReadFromTheSetupFolderWhenFirstNeeded) {
  test::RecordingSink sink;
  test::TempFolder home;
  {
    HostedEngine engine(0, (home.dir() + "/").c_str(), "T", nullptr);
    std::string setup = FolderOf(test::ShippedTables()) + "setup";
    engine.Initialize(nullptr, nullptr, setup.c_str(), nullptr, nullptr);
    // GB2312 B0A1 is U+554A.
    EXPECT_EQ(Gb2312Table()[0 * 96 + (0xB0 - 0xA1)], 0x554A);
  }
  EXPECT_TRUE(sink.messages().empty());
}

TEST(EngineTables, AMissingFileIsReportedWhenTextNeedsIt) {
  test::RecordingSink sink;
  test::TempFolder home;
  {
    HostedEngine engine(0, (home.dir() + "/").c_str(), "T", nullptr);
    engine.Initialize(nullptr, nullptr, home.File("setup").c_str(), nullptr, nullptr);
    EXPECT_TRUE(sink.messages().empty());  // starting needs no tables
    EXPECT_EQ(Big5Table()[0], 0);
    Big5Table();
    ASSERT_EQ(sink.messages().size(), 1u);  // once
    EXPECT_EQ(sink.messages()[0].text.rfind("Fatal: Can't open file '", 0), 0u);
  }
}

}  // namespace
}  // namespace qs
