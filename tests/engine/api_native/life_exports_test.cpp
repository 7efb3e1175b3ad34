// The engine-wide settings a host makes through the exports, in-process, so
// that what each one changes can be seen.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "api/exports.h"
#include "api/interface.h"
#include "foundation/block_cache.h"
#include "foundation/engine.h"
#include "foundation/paths.h"
#include "recording_sink.h"

namespace qs {
namespace {

class EngineLife : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("qs-life-" + std::to_string(std::random_device{}()));  // apart from parallel runs
    std::filesystem::create_directories(dir_);
    ASSERT_NE(QsInitialize(0, "Life", nullptr, nullptr, nullptr, dir_.string().c_str(), nullptr),
              0);
  }
  void TearDown() override {
    QsTerminate();
    std::filesystem::remove_all(dir_);
  }
  std::string File(const char* name) {
    std::string path = (dir_ / name).string();
    std::ofstream(path) << name;
    return path;
  }
  std::filesystem::path dir_;
  test::RecordingSink sink_;
};

TEST_F(EngineLife, SettingsTakeEffectQuietly) {
  Engine* engine = CurrentEngine();
  ASSERT_NE(engine, nullptr);

  // The capacity of the recently shown documents; 0 turns the list off.
  QsSetEngineParam(2);
  EXPECT_EQ(engine->recentLimit, 2);
  QsSetEngineParam(0);
  EXPECT_EQ(engine->recentLimit, 0);
  QsSetEngineParam(-5);
  EXPECT_EQ(engine->recentLimit, 0);

  // The main window owns the engine's message boxes.
  QsSetMainWindow(0x1234);
  EXPECT_EQ(engine->mainWindow, 0x1234);
  engine->ReportError(10, reinterpret_cast<std::intptr_t>("x.sgm"));
  ASSERT_EQ(sink_.messages().size(), 1u);
  EXPECT_EQ(sink_.messages()[0].owner, 0x1234);
  sink_.Clear();

  // Temporary copies go by entity name, or all of them, with their files.
  std::string a = File("a.tmp"), b = File("b.tmp");
  ASSERT_TRUE(RegisterTempFile("fig-a", a.c_str(), 1));
  ASSERT_TRUE(RegisterTempFile("fig-b", b.c_str(), 2));
  QsDeleteTempFiles("no such entity");
  EXPECT_EQ(TempFileCount(), 2);
  QsDeleteTempFiles("fig-a");
  EXPECT_EQ(TempFileCount(), 1);
  EXPECT_FALSE(std::filesystem::exists(a));
  EXPECT_TRUE(std::filesystem::exists(b));
  EXPECT_EQ(LookupTempFile("fig-a", nullptr), nullptr);
  QsDeleteTempFiles(nullptr);
  EXPECT_EQ(TempFileCount(), 0);
  EXPECT_FALSE(std::filesystem::exists(b));

  // Flushing the block cache gives back the unlocked blocks; what they held
  // is read back when needed.
  std::string doc = (dir_ / "doc.sgm").string();
  std::ofstream(doc) << "<!DOCTYPE d [<!ELEMENT d - - (#PCDATA)>]><d>" << std::string(20000, 'x')
                     << "</d>";
  QsHandle h = QsParseDocument(doc.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(h, 0u);
  QsFlushBlockCache(0, 0, 0);
  int owned = 0;
  for (CacheBlock* block = engine->GetBlockCache().Head(); block; block = block->next) {
    if (!block->owner) continue;
    ++owned;
    EXPECT_NE(block->locked, 0) << "an unlocked block was kept";
  }
  EXPECT_LE(owned, 1);  // at most the one still being written
  char text[16];
  QsHandle root = QsGetDocumentRoot(h);
  QsGetText(root, 0, text, sizeof text);
  EXPECT_STREQ(text, std::string(15, 'x').c_str());
  QsReleaseHandle(root);
  QsReleaseHandle(h);

  EXPECT_TRUE(sink_.messages().empty());
}

}  // namespace
}  // namespace qs
