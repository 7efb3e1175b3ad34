// The engine's settings from the "VUROD" section of win.ini and the host's
// string table. This program runs in a Wine prefix of its own: the keys it
// writes reach no other program.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/engine.h"
#include "foundation/platform.h"

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

// The engine reads string tables without user32: what it reads must be what
// LoadStringA reads, whole or cut to the buffer, for present and absent ids.
TEST(ResourceStringTest, ReadsAsLoadStringA) {
  const auto host = reinterpret_cast<std::intptr_t>(GetModuleHandleA(nullptr));
  const unsigned ids[] = {6999,  7001,  7016,  7019,  7002,  40000, 40001,
                          40007, 40014, 40015, 40016, 40017, 40100, 65535};
  const std::size_t capacities[] = {1, 2, 5, 16, 128, 512};
  for (unsigned id : ids) {
    for (std::size_t capacity : capacities) {
      SCOPED_TRACE("id " + std::to_string(id) + ", capacity " + std::to_string(capacity));
      char expected[513], got[513];
      std::memset(expected, 'x', sizeof expected);
      std::memset(got, 'y', sizeof got);
      int n = LoadStringA(GetModuleHandleA(nullptr), id, expected, static_cast<int>(capacity));
      bool found = platform::LoadResourceString(host, id, got, capacity);
      EXPECT_EQ(found, n > 0);
      EXPECT_STREQ(got, n > 0 ? expected : "");
      EXPECT_EQ(got[capacity], 'y');  // nothing written past the buffer
    }
  }
  char got[64];
  EXPECT_TRUE(platform::LoadResourceString(host, 40007, got, sizeof got));
  EXPECT_STREQ(got, "caf\xe9 cr\xe8me");  // Wine's prefixes use Windows-1252
  EXPECT_FALSE(platform::LoadResourceString(
      reinterpret_cast<std::intptr_t>(GetModuleHandleA("kernel32.dll")), 6999, got, sizeof got));
}

}  // namespace
}  // namespace qs
