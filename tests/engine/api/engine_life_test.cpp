// Starting and ending the engine through the library, its paths and its
// engine-wide settings, as a host drives them.
#include <cstring>
#include <string>

#include "engine_dll.h"

namespace qs::test {
namespace {

std::string ExeFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

struct Calls {
  int count = 0;
  int lastEvent = -1;
};
std::intptr_t Count(QsWindow, std::int32_t event, QsWord, QsWord, QsWord data) {
  auto* calls = reinterpret_cast<Calls*>(data);
  ++calls->count;
  calls->lastEvent = event;
  return 1;
}

class EngineLife : public EngineDll {
 protected:
  void SetUp() override {
    EngineDll::SetUp();
    if (HasFatalFailure()) return;
    tempDir_ = MakeTempFolder("qsapi");
  }
  void TearDown() override {
    if (started_) QS_BIND(QsTerminate)();
    RemoveDirectoryA(tempDir_.c_str());
    EngineDll::TearDown();
  }
  QsWord Start() {
    QsWord engine = QS_BIND(QsInitialize)(reinterpret_cast<QsWord>(GetModuleHandleA(nullptr)),
                                          "Api Test", "catalog\\catalog", "entityrc\\entityrc",
                                          "setup", tempDir_.c_str(), nullptr);
    started_ = engine != 0;
    return engine;
  }
  void Stop() {
    QS_BIND(QsTerminate)();
    started_ = false;
  }
  std::string tempDir_;
  bool started_ = false;
};

TEST_F(EngineLife, OneEngineAtATime) {
  EXPECT_EQ(QS_BIND(QsReleaseHandle)(0), 65535u);
  ASSERT_NE(Start(), 0);
  // A second start is refused; the first engine stays.
  EXPECT_EQ(QS_BIND(QsInitialize)(0, "again", nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(QS_BIND(QsSetCharset)(0), 1);
  Stop();
  // Ended: exports give their failure results again, and it can start anew.
  EXPECT_EQ(QS_BIND(QsSetCharset)(0), 0);
  EXPECT_EQ(QS_BIND(QsGetTempDir)(nullptr, 0), nullptr);
  ASSERT_NE(Start(), 0);
}

TEST_F(EngineLife, HandleExportsOnAnEmptyTable) {
  ASSERT_NE(Start(), 0);
  for (QsHandle h : {0u, 1u, 2u, 12345u}) {
    EXPECT_EQ(QS_BIND(QsReleaseHandle)(h), 65535u) << h;
    EXPECT_EQ(QS_BIND(QsAddRefHandle)(h), 0u) << h;
    EXPECT_EQ(QS_BIND(QsGetHandleRefCount)(h), 0u) << h;
    EXPECT_EQ(QS_BIND(QsGetHandleType)(h), 0u) << h;
  }
}

TEST_F(EngineLife, CharacterSet) {
  ASSERT_NE(Start(), 0);
  auto setCharset = QS_BIND(QsSetCharset);
  const struct {
    std::int32_t argument;
    std::int32_t result;
  } steps[] = {
      {5, 1},    // the previous number: the first set, 1
      {0, 5},    // 0 only reads
      {0, 5},
      {17, 0},   // out of range: refused, nothing changes
      {-1, 0},
      {0, 5},
      {16, 5},
      {1, 16},
      {0, 1},
  };
  for (const auto& step : steps) {
    EXPECT_EQ(setCharset(step.argument), step.result) << step.argument;
  }
}

TEST_F(EngineLife, Paths) {
  ASSERT_NE(Start(), 0);
  char buffer[300];
  // The temporary folder is taken as given (absolute).
  ASSERT_EQ(QS_BIND(QsGetTempDir)(buffer, sizeof buffer), buffer);
  EXPECT_EQ(std::string(buffer), tempDir_);
  // Relative files are taken in the home folder: the host program's folder.
  ASSERT_EQ(QS_BIND(QsGetCatalogFile)(buffer, sizeof buffer), buffer);
  EXPECT_EQ(std::string(buffer), ExeFolder() + "catalog\\catalog");
  ASSERT_EQ(QS_BIND(QsGetEntityrcFile)(buffer, sizeof buffer), buffer);
  EXPECT_EQ(std::string(buffer), ExeFolder() + "entityrc\\entityrc");
  ASSERT_EQ(QS_BIND(QsGetSetupFile)(buffer, sizeof buffer), buffer);
  EXPECT_EQ(std::string(buffer), ExeFolder() + "setup");

  // Size 1 writes only the terminator; size 0 writes nothing.
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(QS_BIND(QsGetTempDir)(buffer, 1), buffer);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(buffer[1], 'x');
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(QS_BIND(QsGetTempDir)(buffer, 0), buffer);
  EXPECT_EQ(buffer[0], 'x');
  // Cut to size - 1 bytes.
  EXPECT_EQ(QS_BIND(QsGetSetupFile)(buffer, 4), buffer);
  EXPECT_EQ(std::string(buffer), ExeFolder().substr(0, 3));
}

// Through the library: the setting exports are bound and answer without a box;
// what each one changes is seen in-process (api_native).
TEST_F(EngineLife, SettingExportsAreBoundAndShowNothing) {
  ASSERT_NE(Start(), 0);
  QS_BIND(QsSetEngineParam)(0);
  QS_BIND(QsSetEngineParam)(2);
  QS_BIND(QsSetMainWindow)(0);
  QS_BIND(QsFlushBlockCache)(0, 0, 0);
  QS_BIND(QsDeleteTempFiles)(nullptr);
  QS_BIND(QsDeleteTempFiles)("no such entity");
  EXPECT_EQ(QS_BIND(QsGetVersion)(), 131082);
}

TEST_F(EngineLife, SetColor) {
  EXPECT_EQ(QS_BIND(QsSetColor)("corporate blue", 1, 2, 3), 0);  // no engine yet
  ASSERT_NE(Start(), 0);
  EXPECT_NE(QS_BIND(QsSetColor)("corporate blue", 1, 2, 3), 0);
  EXPECT_NE(QS_BIND(QsSetColor)("Red", 0x110, 0x20, 0x30), 0);
  EXPECT_EQ(QS_BIND(QsSetColor)(nullptr, 1, 2, 3), 0);
}

TEST_F(EngineLife, CallbacksRegisteredBeforeTheEngineAndTerminationWithNoHandles) {
  std::string log = ExeFolder() + "qvres.log";
  DeleteFileA(log.c_str());
  Calls locked;
  // The viewer registers before it starts the engine.
  QS_BIND(QsSetCallback)(0, 49, &Count, reinterpret_cast<QsWord>(&locked));
  // Numbers outside 0-49 and null procedures are refused, not stored.
  QS_BIND(QsSetCallback)(0, 50, &Count, 0);
  QS_BIND(QsSetCallback)(0, -1, &Count, 0);
  QS_BIND(QsSetCallback)(0, 3, nullptr, 0);
  ASSERT_NE(Start(), 0);
  Stop();
  // Nothing was held: no event 49, no leak log.
  EXPECT_EQ(locked.count, 0);
  EXPECT_EQ(GetFileAttributesA(log.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace qs::test
