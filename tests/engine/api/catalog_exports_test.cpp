// The engine's catalog setting and pushed catalogs, through the DLL.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include <vector>

#include "api/parse_report.h"
#include "engine_dll.h"

namespace qs::test {
namespace {

// Counts the error and warning records of a parse.
std::int32_t CountMessages(const void* record, QsWord data) {
  const auto* r = static_cast<const QsParseReport*>(record);
  if (r->kind & QS_REPORT_MESSAGE) ++*reinterpret_cast<int*>(data);
  return 1;
}

class CatalogExports : public EngineDll {
 protected:
  void SetUp() override {
    EngineDll::SetUp();
    if (HasFatalFailure()) return;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    home_ = std::string(temp) + "qscatalog\\";
    CreateDirectoryA(home_.c_str(), nullptr);
    CreateDirectoryA((home_ + "catalog").c_str(), nullptr);
    Write("catalog\\catalog", "PUBLIC \"-//A//DTD A//EN\" a.dtd\n");
    Write("pushed", "PUBLIC \"-//B//DTD B//EN\" b.dtd\n");
    Write("b.dtd", "<!ELEMENT doc - - (#PCDATA)>\n");
    for (const char* doc : {"d1.sgm", "d2.sgm", "d3.sgm"})
      Write(doc, "<!DOCTYPE doc PUBLIC \"-//B//DTD B//EN\">\n<doc>text</doc>\n");
  }
  void TearDown() override {
    if (started_) QS_BIND(QsTerminate)();
    for (const char* f : {"catalog\\catalog", "pushed", "b.dtd", "d1.sgm", "d2.sgm", "d3.sgm"})
      DeleteFileA((home_ + f).c_str());
    RemoveDirectoryA((home_ + "catalog").c_str());
    RemoveDirectoryA(home_.c_str());
    EngineDll::TearDown();
  }
  void Write(const char* name, const char* text) {
    HANDLE f = CreateFileA((home_ + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(f, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(f);
  }
  std::string home_;
  bool started_ = false;
};

// The document type's public identifier is known only to the pushed
// catalog: each document parses cleanly only while it is pushed.
TEST_F(CatalogExports, PublicIdentifierResolvesOnlyWhilePushed) {
  ASSERT_NE(QS_BIND(QsInitialize)(reinterpret_cast<QsWord>(GetModuleHandleA(nullptr)), "T",
                                  (home_ + "catalog\\catalog").c_str(), nullptr, nullptr,
                                  home_.c_str(), nullptr),
            0);
  started_ = true;
  auto parse = [this](const char* name) {
    int messages = 0;
    QsHandle h = QS_BIND(QsParseDocument)((home_ + name).c_str(), nullptr, 0, CountMessages,
                                          reinterpret_cast<QsWord>(&messages));
    if (h) QS_BIND(QsReleaseHandle)(h);
    return h != 0 && messages == 0;
  };
  EXPECT_FALSE(parse("d1.sgm"));
  QS_BIND(QsPushCatalog)((home_ + "pushed").c_str(), 0);
  EXPECT_TRUE(parse("d2.sgm"));
  QS_BIND(QsPopCatalog)();
  EXPECT_FALSE(parse("d3.sgm"));
}

TEST_F(CatalogExports, ConfiguredPathAndBalancedPushes) {
  QsWord engine = QS_BIND(QsInitialize)(reinterpret_cast<QsWord>(GetModuleHandleA(nullptr)), "T",
                                        (home_ + "catalog\\catalog").c_str(), nullptr, nullptr,
                                        home_.c_str(), nullptr);
  ASSERT_NE(engine, 0);
  started_ = true;
  char buffer[MAX_PATH];
  ASSERT_NE(QS_BIND(QsGetCatalogFile)(buffer, sizeof buffer), nullptr);
  EXPECT_EQ(std::string(buffer), home_ + "catalog\\catalog");

  // Pushes and pops pair up; extra pops and updates are harmless.
  QS_BIND(QsPushCatalog)((home_ + "pushed").c_str(), 0);
  QS_BIND(QsPushEntityrc)((home_ + "missing-entityrc").c_str(), 0);
  QS_BIND(QsUpdateCatalogs)();
  QS_BIND(QsUpdateEntityrcs)();
  QS_BIND(QsPopEntityrc)();
  QS_BIND(QsPopCatalog)();
  QS_BIND(QsPopCatalog)();
  QS_BIND(QsPopEntityrc)();
  QS_BIND(QsPushCatalog)(nullptr, 0);
}

}  // namespace
}  // namespace qs::test
