// Document, style sheet and navigator exports through the library as a host
// binds them: text ranges, resource lists written to the ENTITYRC file,
// closing, navigator scale and entries, sheets edited on disk and read again.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "api/records.h"
#include "engine_dll.h"

namespace qs::test {
namespace {

constexpr char kPublicId[] = "-//TEST//DTD PARTS MANUAL//EN";

class DocumentsThroughDll : public EngineDll {
 protected:
  void SetUp() override {
    EngineDll::SetUp();
    if (HasFatalFailure()) return;
    dir_ = MakeTempFolder(
        (std::string("qsdocs-") + testing::UnitTest::GetInstance()->current_test_info()->name())
            .c_str());
    Write("doc.dtd",
          "<!ELEMENT doc - - (sec+)>\n<!ELEMENT sec - - (#PCDATA|pic)*>\n"
          "<!ELEMENT pic - O EMPTY>\n<!ATTLIST pic f ENTITY #REQUIRED>\n"
          "<!NOTATION bmp SYSTEM>\n<!ENTITY fig SYSTEM \"fig.bmp\" NDATA bmp>\n");
    entityrc_ = Write("entityrc", std::string("PUBLIC \"") + kPublicId +
                                      "\"\n\tSTYLESPEC \"Base\" \"base.ssh\"\n");
    std::string home = SourceHome();
    std::string catalog = home + "catalog\\catalog";
    ASSERT_NE(QS_BIND(QsInitialize)(reinterpret_cast<QsWord>(GetModuleHandleA(nullptr)), "Docs",
                                    catalog.c_str(), entityrc_.c_str(), nullptr, dir_.c_str(),
                                    home.c_str()),
              0);
  }
  void TearDown() override {
    QS_BIND(QsTerminate)();
    EngineDll::TearDown();
  }
  QsHandle Open(const char* name, const std::string& body) {
    std::string path = Write(name, std::string("<!DOCTYPE doc PUBLIC \"") + kPublicId +
                                       "\" \"doc.dtd\">\n" + body);
    return QS_BIND(QsParseDocument)(path.c_str(), nullptr, 0, nullptr, 0);
  }
  std::string entityrc_;
};

TEST_F(DocumentsThroughDll, RangesAreCheckedAndTheCopySkipsReferences) {
  QsHandle doc = Open("range.sgm", "<doc><sec>Hello<pic f=fig></sec><sec>world</sec></doc>\n");
  ASSERT_NE(doc, 0u);
  std::int32_t count = QS_BIND(QsGetDocumentCount)(doc);
  ASSERT_EQ(count, 11);  // the picture holds one place
  EXPECT_STREQ(QS_BIND(QsGetDocumentPublicId)(doc), kPublicId);
  auto bytes = QS_BIND(QsGetDocumentBytes);
  auto copy = QS_BIND(QsCopyDocumentText);
  char buffer[48];
  std::memset(buffer, '#', sizeof buffer);
  // A start and length whose end would wrap round, and one past the end.
  EXPECT_EQ(bytes(doc, 1, 0x7FFFFFFF, buffer + 8), nullptr);
  EXPECT_EQ(copy(doc, 1, 0x7FFFFFFF, buffer + 8), 0);
  EXPECT_EQ(bytes(doc, 0, count + 1, buffer + 8), nullptr);
  EXPECT_EQ(copy(doc, -1, 3, buffer + 8), 0);
  for (char b : buffer) ASSERT_EQ(b, '#');
  ASSERT_EQ(bytes(doc, 0, count, buffer + 8), buffer + 8);
  EXPECT_EQ(std::strlen(buffer + 8), 11u);
  EXPECT_EQ(std::string(buffer + 8, 5), "Hello");
  EXPECT_EQ(buffer[8 + 12], '#');
  EXPECT_EQ(copy(doc, 0, count, buffer + 8), 10);
  EXPECT_STREQ(buffer + 8, "Helloworld");
}

TEST_F(DocumentsThroughDll, ResourcesReachOpenDocumentsAndTheEntityrcFile) {
  QsHandle doc = Open("res.sgm", "<?NAVIGATOR \"Contents\" \"toc.nav\">\n<doc><sec>x</sec></doc>\n");
  ASSERT_NE(doc, 0u);
  auto count = QS_BIND(QsCountDocStyleSheets);
  auto title = QS_BIND(QsGetDocStyleSheetTitle);
  ASSERT_EQ(count(doc), 1);
  EXPECT_STREQ(title(doc, 0), "Base");
  EXPECT_EQ(title(doc, count(doc)), nullptr);
  EXPECT_EQ(QS_BIND(QsCountDocNavigators)(doc), 1);
  EXPECT_EQ(QS_BIND(QsGetDocNavigatorTitle)(doc, 1), nullptr);

  std::string file = dir_ + "\\Wiring.ssh";
  ASSERT_EQ(QS_BIND(QsAddStyleSheetResource)(kPublicId, "Wiring", file.c_str(), 0), 1);
  ASSERT_EQ(count(doc), 2);
  EXPECT_STREQ(title(doc, 1), "Wiring");
  char path[MAX_PATH];
  ASSERT_EQ(QS_BIND(QsGetDocStyleSheetFile)(doc, 1, path, sizeof path), path);
  EXPECT_EQ(lstrcmpiA(path, file.c_str()), 0) << path;
  std::string written = Read(entityrc_);
  EXPECT_NE(written.find("STYLESPEC \"Wiring\""), std::string::npos) << written;
  // Removal ignores the case of title and file.
  std::string upper = file;
  CharUpperA(upper.data());
  EXPECT_NE(QS_BIND(QsRemoveStyleSheetResource)(kPublicId, "WIRING", upper.c_str()), 0);
  EXPECT_EQ(count(doc), 1);
  EXPECT_EQ(Read(entityrc_).find("Wiring"), std::string::npos);
  QsHandle later = Open("later.sgm", "<doc><sec>y</sec></doc>\n");
  EXPECT_EQ(count(later), 1);
}

TEST_F(DocumentsThroughDll, ClosingEndsTheDocumentsHandles) {
  QsHandle doc = Open("close.sgm", "<doc><sec>one<pic f=fig></sec></doc>\n");
  QsHandle other = Open("other.sgm", "<doc><sec>two</sec></doc>\n");
  ASSERT_NE(doc, 0u);
  QsHandle node = QS_BIND(QsGetDocumentRoot)(doc);
  QsHandle entity = QS_BIND(QsGetDocEntity)(doc, "fig");
  QsHandle otherNode = QS_BIND(QsGetDocumentRoot)(other);
  auto type = QS_BIND(QsGetHandleType);
  ASSERT_EQ(type(node), 7u);
  ASSERT_EQ(type(entity), 8u);
  QS_BIND(QsAddRefHandle)(node);
  EXPECT_EQ(QS_BIND(QsCloseDocument)(doc), 1);
  EXPECT_EQ(type(doc), 0u);
  EXPECT_EQ(type(node), 0u);
  EXPECT_EQ(type(entity), 0u);
  EXPECT_EQ(type(otherNode), 7u);
  EXPECT_EQ(QS_BIND(QsCloseDocument)(doc), 0);
  EXPECT_EQ(QS_BIND(QsReleaseHandle)(node), 65535u);
}

struct Entry {
  std::string body, qualifier, title;
  std::int32_t flags;
};

std::intptr_t CollectEntry(const void* record, QsWord data) {
  const auto* r = static_cast<const QsNavigatorEntryRecord*>(record);
  reinterpret_cast<std::vector<Entry>*>(data)->push_back(
      {r->body, r->qualifier ? r->qualifier : "", r->title ? r->title : "", r->flags});
  return 0;
}

TEST_F(DocumentsThroughDll, NavigatorScaleAndEntries) {
  std::string path = Path("n.nav");
  QsHandle nav = QS_BIND(QsCreateNavigator)(path.c_str(), nullptr, "Parts");
  ASSERT_NE(nav, 0u);
  auto set = QS_BIND(QsSetNavigatorScale);
  auto get = QS_BIND(QsGetNavigatorScale);
  const std::int32_t cases[][4] = {{3, 200, 6, 128}, {20, 10, 10, 20}, {0, 0, 0, 0}};
  for (const auto& c : cases) {
    ASSERT_EQ(set(nav, 100, c[0], c[1]), 1);
    std::int32_t scale = 0, min = -1, max = -1;
    ASSERT_EQ(get(nav, &scale, &min, &max), 1);
    EXPECT_EQ(scale, 100);
    EXPECT_EQ(min, c[2]) << c[0] << "/" << c[1];
    EXPECT_EQ(max, c[3]) << c[0] << "/" << c[1];
  }
  EXPECT_EQ(get(nav, nullptr, nullptr, nullptr), 1);

  auto setEntry = QS_BIND(QsSetNavigatorEntry);
  EXPECT_EQ(setEntry(nav, "SEC", nullptr, "  TITLE  ", 1), 1);
  EXPECT_EQ(setEntry(nav, "SEC", "[TYPE] = x", "HEAD", 0), 1);
  std::vector<Entry> entries;
  EXPECT_EQ(QS_BIND(QsEnumNavigatorEntries)(nav, CollectEntry, reinterpret_cast<QsWord>(&entries)),
            0);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].title, "TITLE");
  EXPECT_EQ(entries[0].flags, 1);
  EXPECT_EQ(entries[1].qualifier, "[TYPE] = x");
  EXPECT_EQ(QS_BIND(QsRemoveNavigatorEntry)(nav, "SEC", nullptr, "TITLE"), 1);
  EXPECT_EQ(QS_BIND(QsRemoveNavigatorEntry)(nav, "SEC", nullptr, "TITLE"), 0);
  // Written, and read back from the file.
  ASSERT_EQ(QS_BIND(QsSaveNavigator)(nav), 1);
  EXPECT_NE(Read(path).find("HEAD"), std::string::npos);
  EXPECT_EQ(QS_BIND(QsReloadNavigator)(nav), 1);
  entries.clear();
  QS_BIND(QsEnumNavigatorEntries)(nav, CollectEntry, reinterpret_cast<QsWord>(&entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].title, "HEAD");
}

TEST_F(DocumentsThroughDll, ASheetEditedOnDiskIsReadAgain) {
  const char head[] = "<!DOCTYPE STYLESHEET PUBLIC \"-//Quenda//DTD Stylesheet v2.00//EN\">\n";
  std::string path = Write("s.ssh", std::string(head) + "<STYLESHEET NAME='Before'>\n</STYLESHEET>\n");
  QsHandle sheet = QS_BIND(QsOpenStyleSheet)(path.c_str(), nullptr, nullptr, 0);
  ASSERT_NE(sheet, 0u);
  Write("s.ssh", std::string(head) +
                     "<STYLESHEET NAME='After'>\n<STYLE TAG=PARA><FONT-SIZE V=14></STYLE>\n"
                     "</STYLESHEET>\n");
  ASSERT_EQ(QS_BIND(QsReloadStyleSheet)(sheet), 1);
  std::string copy = Path("copy.ssh");
  ASSERT_EQ(QS_BIND(QsSaveStyleSheetAs)(sheet, copy.c_str()), 1);
  std::string text = Read(copy);
  EXPECT_NE(text.find("After"), std::string::npos) << text;
  EXPECT_NE(text.find("PARA"), std::string::npos) << text;
  // Garbage on disk: the sheet stays what it was.
  Write("s.ssh", "<STYLESHEET");
  EXPECT_EQ(QS_BIND(QsReloadStyleSheet)(sheet), 0);
  ASSERT_EQ(QS_BIND(QsSaveStyleSheetAs)(sheet, copy.c_str()), 1);
  EXPECT_NE(Read(copy).find("PARA"), std::string::npos);
}

}  // namespace
}  // namespace qs::test
