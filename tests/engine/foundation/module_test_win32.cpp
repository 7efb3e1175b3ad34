// The library's own resources, read from the built QSENGINE.DLL.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "foundation/module.h"

namespace qs {
namespace {

std::string BesideThisProgram(const char* name) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\') + 1) + name;
}

TEST(Module, AboutCaptionOfTheLibraryAndOfAFileWithoutVersion) {
  char caption[132];
  AboutCaptionForFile(BesideThisProgram("QSENGINE.dll").c_str(), caption, sizeof caption);
  EXPECT_STREQ(caption, "Corvina Document Engine ver 3.0");
  AboutCaptionForFile(BesideThisProgram("foundation_tests.exe").c_str(), caption, sizeof caption);
  EXPECT_STREQ(caption, "Quenda Scrivox");
}

TEST(Module, EveryBitmapAndCursorIsInTheLibrary) {
  HMODULE library = LoadLibraryA(BesideThisProgram("QSENGINE.dll").c_str());
  ASSERT_NE(library, nullptr);
  ModuleAttached(reinterpret_cast<std::intptr_t>(library));
  LoadModuleResources();
  const ModuleState& module = Module();
  EXPECT_EQ(module.engineModule, reinterpret_cast<std::intptr_t>(library));
  for (int i = 0; i < kSharedBitmapCount; ++i) {
    EXPECT_NE(module.sharedBitmaps[i], 0) << kSharedBitmapNames[i];
    BITMAP info = {};
    GetObjectA(reinterpret_cast<HGDIOBJ>(module.sharedBitmaps[i]), sizeof info, &info);
    EXPECT_EQ(info.bmWidth, 16) << kSharedBitmapNames[i];
  }
  EXPECT_NE(module.originBitmap, 0);
  for (int i = 0; i < kWheelCursorCount; ++i) {
    EXPECT_NE(module.wheelCursors[i], 0) << kWheelCursorNames[i];
  }
  // The hit cursors an engine loads when its host has none of its own.
  for (const char* name : {"cursHand", "cursLink", "cursPopup", "cursToggle", "cursZoom"}) {
    EXPECT_NE(LoadCursorA(library, name), nullptr) << name;
  }
  EXPECT_NE(module.wheelRollMessage, 0u);
  EXPECT_EQ(module.wheelScrollLines, 3);  // no wheel driver window here
  EXPECT_GT(module.screenDpiX, 0);
  EXPECT_EQ(module.platformId, 2);  // Windows NT
  ModuleDetached(false);
  EXPECT_EQ(Module().engineModule, 0);
  FreeLibrary(library);
}

}  // namespace
}  // namespace qs
