// Opening and creating style sheets and navigators through the library as
// a host does, with the engine's own catalog and DTDs.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "api/parse_report.h"
#include "engine_dll.h"

namespace qs::test {
namespace {

const char kSheetHead[] = "<!DOCTYPE STYLESHEET PUBLIC \"-//Quenda//DTD Stylesheet v2.00//EN\">\n";

struct Event {
  std::int32_t event;
  QsWord a;
};

QsWord RecordEvent(QsWindow, std::int32_t event, QsWord a, QsWord, QsWord data) {
  reinterpret_cast<std::vector<Event>*>(data)->push_back({event, a});
  return 1;
}

class SheetsThroughDll : public EngineDll {
 protected:
  void SetUp() override {
    EngineDll::SetUp();
    if (HasFatalFailure()) return;
    dir_ = MakeTempFolder("qssheets");
    std::string home = SourceHome();
    std::string catalog = home + "catalog\\catalog";
    ASSERT_NE(QS_BIND(QsInitialize)(reinterpret_cast<QsWord>(GetModuleHandleA(nullptr)), "Sheets",
                                    catalog.c_str(), nullptr, nullptr, dir_.c_str(), home.c_str()),
              0);
  }
  void TearDown() override {
    QS_BIND(QsTerminate)();
    EngineDll::TearDown();
  }
};

TEST_F(SheetsThroughDll, AFileOpenedTwiceIsOneHandle) {
  std::string sheet = Write("a.ssh", std::string(kSheetHead) + "<STYLESHEET></STYLESHEET>\n");
  auto open = QS_BIND(QsOpenStyleSheet);
  QsHandle h = open(sheet.c_str(), nullptr, nullptr, 0);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(open(sheet.c_str(), nullptr, nullptr, 0), h);
  EXPECT_EQ(QS_BIND(QsGetHandleRefCount)(h), 2u);
  EXPECT_EQ(QS_BIND(QsGetHandleType)(h), 3u);  // HSSH
  std::string nav = Write("a.nav", "<!DOCTYPE TOC-DEF PUBLIC \"-//Quenda//DTD Navigator v2.00//EN\">"
                                   "<TOC-DEF><TOC BODY=P></TOC-DEF>");
  QsHandle n = QS_BIND(QsOpenNavigator)(nav.c_str(), nullptr, nullptr, 0);
  ASSERT_NE(n, 0u);
  EXPECT_EQ(QS_BIND(QsGetHandleType)(n), 4u);  // HNAV
  QS_BIND(QsReleaseHandle)(h);
  QS_BIND(QsReleaseHandle)(h);
  QS_BIND(QsReleaseHandle)(n);
}

TEST_F(SheetsThroughDll, ABadQualifierIsEvent16Code28) {
  std::vector<Event> events;
  QS_BIND(QsSetCallback)(0, 16, RecordEvent, reinterpret_cast<QsWord>(&events));
  QsHandle h = QS_BIND(QsOpenStyleSheetText)(
      (std::string(kSheetHead) +
       "<STYLESHEET><STYLE TAG=P><QUAL-STYLE QUAL=\"(\"><FONT-SIZE V=9></QUAL-STYLE>"
       "</STYLE></STYLESHEET>").c_str(),
      "bad.ssh", nullptr, nullptr, 0);
  ASSERT_NE(h, 0u);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].event, 16);
  EXPECT_EQ(events[0].a, 28);
  QS_BIND(QsReleaseHandle)(h);
}

std::int32_t Refuse(const void* record, QsWord data) {
  const auto* r = static_cast<const QsParseReport*>(record);
  if (!(r->kind & QS_REPORT_MESSAGE)) return 1;
  reinterpret_cast<std::vector<std::pair<int, int>>*>(data)->push_back({r->severity, r->number});
  return 0;
}

TEST_F(SheetsThroughDll, AWarningAnsweredWithZeroStopsTheOpen) {
  std::vector<std::pair<int, int>> reports;
  QsHandle h = QS_BIND(QsOpenStyleSheetText)(
      "<!DOCTYPE STYLESHEET PUBLIC \"-//Nobody//DTD None//EN\"><STYLESHEET></STYLESHEET>",
      "unknown.ssh", nullptr, Refuse, reinterpret_cast<QsWord>(&reports));
  EXPECT_EQ(h, 0u);
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports[0], std::make_pair(0, 1));
}

TEST_F(SheetsThroughDll, CreatedFilesAndDocumentResources) {
  std::string path = Path("new.ssh");
  QsHandle h = QS_BIND(QsCreateStyleSheet)(path.c_str(), nullptr, "Parts & Tools");
  ASSERT_NE(h, 0u);
  EXPECT_EQ(Read(path),
            "<!DOCTYPE STYLESHEET PUBLIC \"-//Quenda//DTD Stylesheet v2.00//EN\">\r\n"
            "<STYLESHEET NAME='Parts &amp; Tools'>\r\n</STYLESHEET>\r\n");
  std::string nav = Path("new.nav");
  QsHandle n = QS_BIND(QsCreateNavigator)(nav.c_str(), nullptr, "It's");
  ASSERT_NE(n, 0u);
  EXPECT_EQ(Read(nav),
            "<!DOCTYPE TOC-DEF PUBLIC \"-//Quenda//DTD Navigator v2.00//EN\">\r\n"
            "<TOC-DEF NAME='It&q;s'>\r\n</TOC-DEF>\r\n");
  std::string missing = dir_ + "\\missing\\x.ssh";
  EXPECT_EQ(QS_BIND(QsCreateStyleSheet)(missing.c_str(), nullptr, nullptr), 0u);
  EXPECT_EQ(QS_BIND(QsCreateNavigator)(missing.c_str(), nullptr, nullptr), 0u);

  Write("d.dtd", "<!ELEMENT doc - - (#PCDATA)>");
  std::string doc = Write("d.sgm",
                          "<!DOCTYPE doc SYSTEM \"d.dtd\">\n<?STYLESPEC \"Sheet\" \"new.ssh\">\n"
                          "<?NAVIGATOR \"Nav\" \"new.nav\">\n<doc>x</doc>\n");
  QsHandle d = QS_BIND(QsParseDocument)(doc.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(d, 0u);
  EXPECT_EQ(QS_BIND(QsLoadStyleSheet)(d, 0, nullptr, 0), h);  // the same loaded sheet
  EXPECT_EQ(QS_BIND(QsLoadStyleSheet)(d, 1, nullptr, 0), 0u);
  EXPECT_EQ(QS_BIND(QsLoadNavigator)(d, 0, nullptr, 0), n);
  EXPECT_EQ(QS_BIND(QsLoadNavigator)(d, 1, nullptr, 0), 0u);
  QS_BIND(QsReleaseHandle)(h);
  QS_BIND(QsReleaseHandle)(h);
  QS_BIND(QsReleaseHandle)(n);
  QS_BIND(QsReleaseHandle)(n);
  QS_BIND(QsReleaseHandle)(d);
}

}  // namespace
}  // namespace qs::test
