// The engine's settings from the "VUROD" section of win.ini and the host's
// string table. This program runs in a Wine prefix of its own: the keys it
// writes reach no other program.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "foundation/engine.h"

namespace qs {
namespace {

class ProfileTest : public testing::Test {
 protected:
  void SetUp() override { Clear(); }
  void TearDown() override { Clear(); }
  static void Clear() { WriteProfileStringA("VUROD", nullptr, nullptr); }
  static void Set(const char* key, const char* value) {
    ASSERT_TRUE(WriteProfileStringA("VUROD", key, value));
  }
  // The test program is the host.
  static ModuleHandle Host() { return reinterpret_cast<ModuleHandle>(GetModuleHandleA(nullptr)); }
  static std::string HostFolder() {
    char name[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, name, sizeof name);
    std::string path(name, n);
    return path.substr(0, path.rfind('\\') + 1);
  }
};

TEST_F(ProfileTest, HomeIsTheHostsFolderWithoutMainHome) {
  HostedEngine engine(Host(), nullptr, "T", nullptr);
  engine.Initialize(nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(std::string(engine.home()), HostFolder());
  EXPECT_EQ(std::string(engine.GetTempDir()), HostFolder() + "tmp");
  EXPECT_EQ(std::string(engine.catalogFile()), HostFolder() + "catalog\\catalog");
  EXPECT_EQ(std::string(engine.entityRcFile()), HostFolder() + "entityrc\\entityrc");
  EXPECT_EQ(std::string(engine.setupFile()), HostFolder() + "setup");
  EXPECT_EQ(std::string(engine.sdataHome()), HostFolder());
}

TEST_F(ProfileTest, MainHomeGetsABackslash) {
  Set("MAINHOME", "D:\\Data");
  HostedEngine engine(Host(), nullptr, "T", nullptr);
  engine.Initialize(nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_STREQ(engine.home(), "D:\\Data\\");
  EXPECT_STREQ(engine.GetTempDir(), "D:\\Data\\tmp");
  EXPECT_STREQ(engine.catalogFile(), "D:\\Data\\catalog\\catalog");
}

TEST_F(ProfileTest, ProfileValuesAreUsedAsGivenAndArgumentsWin) {
  Set("MAINHOME", "D:\\Data\\");
  Set("CATALOG", "cat\\mine");
  Set("ENTITYRC", "E:\\rc\\entityrc");
  Set("TEMPHOME", "T:\\scratch");
  Set("SETUP", "setup.txt");
  Set("SDATAHOME", "S:\\sdata");
  HostedEngine engine(Host(), nullptr, "T", nullptr);
  engine.Initialize(nullptr, "local\\entityrc", nullptr, nullptr, nullptr);
  EXPECT_STREQ(engine.home(), "D:\\Data\\");
  EXPECT_STREQ(engine.catalogFile(), "cat\\mine");  // not joined to home
  EXPECT_STREQ(engine.entityRcFile(), "D:\\Data\\local\\entityrc");
  EXPECT_STREQ(engine.GetTempDir(), "T:\\scratch");
  EXPECT_STREQ(engine.setupFile(), "setup.txt");
  EXPECT_STREQ(engine.sdataHome(), "S:\\sdata");
}

TEST_F(ProfileTest, HomeGivenByTheHostIgnoresMainHome) {
  Set("MAINHOME", "D:\\Data");
  HostedEngine engine(Host(), "C:\\Given\\", "T", nullptr);
  engine.Initialize(nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_STREQ(engine.home(), "C:\\Given\\");
  EXPECT_STREQ(engine.GetTempDir(), "C:\\Given\\tmp");
}

TEST_F(ProfileTest, HostStringsReplaceTheEnginesTexts) {
  HostedEngine engine(Host(), "C:\\Home\\", "T", nullptr);
  engine.Initialize(nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_TRUE(engine.hostStrings());
  char buffer[512];
  EXPECT_STREQ(engine.GetString(1, buffer), "Hundred");
  EXPECT_STREQ(engine.GetString(2, buffer), "200%");  // the host has no 7002
  EXPECT_STREQ(engine.hotspotTitle, "Hot area");
  EXPECT_STREQ(engine.untitledText, "<untitled>");
  EXPECT_STREQ(engine.attributesTitle, "Attributes of <%s>");
}

TEST_F(ProfileTest, NoHostStringsWithoutTheMark) {
  // A module without string 6999.
  auto kernel = reinterpret_cast<ModuleHandle>(GetModuleHandleA("kernel32.dll"));
  HostedEngine engine(kernel, "C:\\Home\\", "T", nullptr);
  engine.Initialize(nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_FALSE(engine.hostStrings());
  char buffer[512];
  EXPECT_STREQ(engine.GetString(1, buffer), "100%");
  EXPECT_STREQ(engine.hotspotTitle, "HOTSPOT");
}

}  // namespace
}  // namespace qs
