// Document, style sheet, navigator and setting exports, in-process: names,
// text ranges, merged parts, resource lists with the ENTITYRC file, closing,
// saving and reloading sheets and navigators, and the file dialogs' filter.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "api/exports.h"
#include "api/file_dialog.h"
#include "api/interface.h"
#include "api/records.h"
#include "foundation/engine.h"
#include "foundation/memory.h"
#include "recording_sink.h"
#include "sgml/document.h"
#include "sgml/document_cache.h"
#include "style/navigator.h"
#include "style/style_sheet.h"
#include "view/graphic_object.h"
#include "view/picture_services.h"
#include "view/pictures.h"

namespace qs {
namespace {

constexpr char kPublicId[] = "-//TEST//DTD PARTS MANUAL//EN";

class DocumentExports : public testing::Test {
 protected:
  void SetUp() override {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           (std::string("qs-docexp-") + info->name() + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    Write("doc.dtd",
          "<!ELEMENT doc - - (sec+)>\n<!ELEMENT sec - - (#PCDATA|pic)*>\n"
          "<!ELEMENT pic - O EMPTY>\n<!ATTLIST pic f ENTITY #REQUIRED>\n"
          "<!NOTATION bmp SYSTEM>\n<!ENTITY fig SYSTEM \"fig.bmp\" NDATA bmp>\n"
          "<!NOTATION XBM SYSTEM>\n<!ENTITY xfig SYSTEM \"fig.xbm\" NDATA XBM>\n"
          "<!ENTITY sym SDATA \"[sym]\">\n");
    entityrc_ = Write("entityrc", std::string("PUBLIC \"") + kPublicId +
                                      "\"\n\tSTYLESPEC \"Base\" \"base.ssh\"\n");
    std::string home = dir_.string() + "/";
    ASSERT_NE(QsInitialize(0, "test", nullptr, entityrc_.c_str(), nullptr, home.c_str(),
                           home.c_str()),
              0);
  }
  void TearDown() override {
    QsTerminate();
    std::filesystem::remove_all(dir_);
  }
  std::string Write(const char* name, const std::string& text) {
    std::filesystem::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }
  std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  // A document of the test DTD with its public document type.
  QsHandle Open(const char* name, const std::string& body) {
    std::string path = Write(name, std::string("<!DOCTYPE doc PUBLIC \"") + kPublicId +
                                       "\" \"doc.dtd\">\n" + body);
    return QsParseDocument(path.c_str(), nullptr, 0, nullptr, 0);
  }
  Document* DocumentOf(QsHandle h) {
    return static_cast<Document*>(Handles()->LookupDocument(h));
  }

  std::filesystem::path dir_;
  std::string entityrc_;
  test::RecordingSink sink_;
};

TEST_F(DocumentExports, NamePublicIdAndCount) {
  QsHandle doc = Open("name.sgm", "<doc><sec>Hello</sec><sec>world</sec></doc>\n");
  ASSERT_NE(doc, 0u);
  EXPECT_STREQ(QsGetDocumentPublicId(doc), kPublicId);
  EXPECT_EQ(QsGetDocumentCount(doc), 10);
  // Without a title the name is its source identifier's.
  char name[64];
  std::memset(name, 'x', sizeof name);
  ASSERT_EQ(QsGetDocumentName(doc, name, sizeof name), name);
  EXPECT_NE(std::string(name).find("name.sgm"), std::string::npos) << name;
  // A buffer of no size is never written.
  std::memset(name, 'x', sizeof name);
  EXPECT_EQ(QsGetDocumentName(doc, name, 0), nullptr);
  EXPECT_EQ(QsGetDocumentName(doc, name, -5), nullptr);
  EXPECT_EQ(name[0], 'x');
  // Cut to the buffer with its terminator.
  EXPECT_EQ(QsGetDocumentName(doc, name, 3), name);
  EXPECT_EQ(std::strlen(name), 2u);
  // Not a document handle.
  QsHandle root = QsGetDocumentRoot(doc);
  EXPECT_EQ(QsGetDocumentCount(root), 0);
  EXPECT_EQ(QsGetDocumentPublicId(root), nullptr);
  EXPECT_EQ(QsGetDocumentName(root, name, sizeof name), nullptr);
}

TEST_F(DocumentExports, BytesAndCopiesOnlyOfValidRanges) {
  QsHandle doc = Open("range.sgm", "<doc><sec>Hello</sec><sec>world</sec></doc>\n");
  ASSERT_NE(doc, 0u);
  std::int32_t count = QsGetDocumentCount(doc);
  ASSERT_EQ(count, 10);
  struct Case {
    std::int32_t start, length;
    const char* bytes;  // null: refused
  } cases[] = {
      {0, 10, "Helloworld"},
      {5, 5, "world"},
      {10, 0, ""},
      {0, 0, ""},
      {3, 7, "loworld"},
      {0, 11, nullptr},
      {10, 1, nullptr},
      {11, 0, nullptr},
      {-1, 2, nullptr},
      {2, -1, nullptr},
      // start + length would wrap round past the end.
      {1, 0x7FFFFFFF, nullptr},
      {0x7FFFFFFF, 1, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << "," << c.length);
    // Guard bytes around the buffer show any write past what is asked.
    char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    char* result = QsGetDocumentBytes(doc, c.start, c.length, buffer + 8);
    std::int32_t copied = QsCopyDocumentText(doc, c.start, c.length, buffer + 8);
    if (!c.bytes) {
      EXPECT_EQ(result, nullptr);
      EXPECT_EQ(copied, 0);
      for (char b : buffer) EXPECT_EQ(b, '#');
      continue;
    }
    EXPECT_EQ(result, buffer + 8);
    EXPECT_EQ(copied, static_cast<std::int32_t>(std::strlen(c.bytes)));
    EXPECT_STREQ(buffer + 8, c.bytes);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(buffer[i], '#');
    for (std::size_t i = 8 + std::strlen(c.bytes) + 1; i < sizeof buffer; ++i)
      EXPECT_EQ(buffer[i], '#');
  }
  EXPECT_EQ(QsGetDocumentBytes(doc, 0, 1, nullptr), nullptr);
  EXPECT_EQ(QsCopyDocumentText(doc, 0, 1, nullptr), 0);
  EXPECT_EQ(QsGetDocumentBytes(QsGetDocumentRoot(doc), 0, 1, nullptr), nullptr);
}

TEST_F(DocumentExports, TheCopyLeavesOutEntityReferences) {
  QsHandle doc = Open("refs.sgm", "<doc><sec>a&fig;b</sec></doc>\n");
  ASSERT_NE(doc, 0u);
  Document* d = DocumentOf(doc);
  bool hasReference = false;
  for (Mark* m = d->FirstMark(); m; m = m->next) hasReference |= m->Kind() == kMarkEntityRef;
  ASSERT_TRUE(hasReference) << "the fixture must hold an entity reference mark";
  std::int32_t count = QsGetDocumentCount(doc);
  ASSERT_GT(count, 2);
  std::vector<char> bytes(count + 1), copy(count + 1);
  ASSERT_NE(QsGetDocumentBytes(doc, 0, count, bytes.data()), nullptr);
  // The bytes hold the reference's span; the copy skips it.
  EXPECT_EQ(std::strlen(bytes.data()), static_cast<std::size_t>(count));
  EXPECT_EQ(QsCopyDocumentText(doc, 0, count, copy.data()), 2);
  EXPECT_STREQ(copy.data(), "ab");
}

TEST_F(DocumentExports, ResourcesNamedByTheDocument) {
  QsHandle doc = Open("pis.sgm",
                      "<?STYLESPEC \"Print\" \"print.ssh\">\n<?NAVIGATOR \"Contents\" \"toc.nav\">\n"
                      "<doc><sec>x</sec></doc>\n");
  ASSERT_NE(doc, 0u);
  // The ENTITYRC file's sheet for the type, and the document's own.
  ASSERT_EQ(QsCountDocStyleSheets(doc), 2);
  ASSERT_EQ(QsCountDocNavigators(doc), 1);
  std::vector<std::string> titles;
  for (int i = 0; i < QsCountDocStyleSheets(doc); ++i)
    titles.push_back(QsGetDocStyleSheetTitle(doc, i) ? QsGetDocStyleSheetTitle(doc, i) : "");
  EXPECT_NE(std::find(titles.begin(), titles.end(), "Print"), titles.end());
  EXPECT_STREQ(QsGetDocNavigatorTitle(doc, 0), "Contents");
  // One past the last, and negative: none.
  EXPECT_EQ(QsGetDocStyleSheetTitle(doc, 2), nullptr);
  EXPECT_EQ(QsGetDocStyleSheetTitle(doc, -1), nullptr);
  EXPECT_EQ(QsGetDocNavigatorTitle(doc, 1), nullptr);
  char path[512];
  ASSERT_EQ(QsGetDocNavigatorFile(doc, 0, path, sizeof path), path);
  EXPECT_EQ(std::filesystem::path(path).filename(), "toc.nav");
  EXPECT_EQ(std::filesystem::path(path).parent_path(), dir_);
  EXPECT_EQ(QsGetDocNavigatorFile(doc, 1, path, sizeof path), nullptr);
  EXPECT_EQ(QsGetDocNavigatorFile(doc, 0, path, 0), nullptr);
  EXPECT_EQ(QsGetDocStyleSheetFile(doc, 0, nullptr, 10), nullptr);
}

TEST_F(DocumentExports, AddedAndRemovedResourcesReachOpenDocumentsAndTheFile) {
  QsHandle doc = Open("a.sgm", "<doc><sec>x</sec></doc>\n");
  ASSERT_NE(doc, 0u);
  ASSERT_EQ(QsCountDocStyleSheets(doc), 1);
  EXPECT_STREQ(QsGetDocStyleSheetTitle(doc, 0), "Base");
  // The public identifier as a host may write it: normalised before use.
  std::string spaced = std::string("  ") + kPublicId;
  std::string wiring = (dir_ / "wiring.ssh").string();
  ASSERT_EQ(QsAddStyleSheetResource(spaced.c_str(), "Wiring", wiring.c_str(), 0), 1);
  ASSERT_EQ(QsAddNavigatorResource(kPublicId, "Parts", "parts.nav", 1), 1);
  EXPECT_EQ(QsCountDocStyleSheets(doc), 2);
  EXPECT_STREQ(QsGetDocStyleSheetTitle(doc, 1), "Wiring");
  EXPECT_EQ(QsCountDocNavigators(doc), 1);
  char path[512];
  ASSERT_NE(QsGetDocStyleSheetFile(doc, 1, path, sizeof path), nullptr);
  EXPECT_EQ(std::string(path), wiring);
  std::string file = Read(entityrc_);
  EXPECT_NE(file.find("STYLESPEC \"Wiring\""), std::string::npos) << file;
  EXPECT_NE(file.find("NAVIGATOR \"Parts\""), std::string::npos) << file;
  // A document opened now gets them from the ENTITYRC list itself.
  QsHandle later = Open("b.sgm", "<doc><sec>y</sec></doc>\n");
  EXPECT_EQ(QsCountDocStyleSheets(later), 2);

  // Titles and files compare without regard to case, in the ENTITYRC file
  // as in the documents.
  std::string upper = (dir_ / "WIRING.SSH").string();
  EXPECT_NE(QsRemoveStyleSheetResource(kPublicId, "WIRING", upper.c_str()), 0);
  EXPECT_EQ(QsCountDocStyleSheets(doc), 1);
  EXPECT_EQ(QsCountDocStyleSheets(later), 1);
  EXPECT_STREQ(QsGetDocStyleSheetTitle(doc, 0), "Base");
  EXPECT_EQ(Read(entityrc_).find("Wiring"), std::string::npos);
  EXPECT_EQ(QsRemoveStyleSheetResource(kPublicId, "Wiring", wiring.c_str()), 0);
  EXPECT_NE(QsRemoveNavigatorResource(kPublicId, "parts", "parts.nav"), 0);
  EXPECT_EQ(QsCountDocNavigators(doc), 0);
  // A relative name is taken against the engine's home.
  ASSERT_EQ(QsAddNavigatorResource(kPublicId, "Rel", "rel.nav", 0), 1);
  ASSERT_NE(QsGetDocNavigatorFile(doc, 0, path, sizeof path), nullptr);
  EXPECT_EQ(std::string(path), std::string(GetEngine()->home()) + "rel.nav");
  // What cannot be an entry is refused.
  EXPECT_EQ(QsAddStyleSheetResource(nullptr, "t", "f.ssh", 0), 0);
  EXPECT_EQ(QsAddStyleSheetResource(kPublicId, "t", nullptr, 0), 0);
  EXPECT_EQ(QsAddStyleSheetResource(std::string(300, 'P').c_str(), "t", "f.ssh", 0), 0);
}

TEST_F(DocumentExports, ResourcesNeedAnEntityrcFileThatCanBeWritten) {
  std::filesystem::remove(entityrc_);
  std::filesystem::create_directory(entityrc_);  // a folder where the file was
  QsHandle doc = Open("c.sgm", "<doc><sec>x</sec></doc>\n");
  ASSERT_NE(doc, 0u);
  std::int32_t before = QsCountDocStyleSheets(doc);
  EXPECT_EQ(QsAddStyleSheetResource(kPublicId, "Lost", "lost.ssh", 0), 0);
  EXPECT_EQ(QsCountDocStyleSheets(doc), before);
}

TEST_F(DocumentExports, CloseEndsEveryHandleOfTheDocumentAndNoOther) {
  QsHandle doc = Open("close.sgm", "<doc><sec>one<pic f=fig></sec></doc>\n");
  QsHandle other = Open("keep.sgm", "<doc><sec>two</sec></doc>\n");
  ASSERT_NE(doc, 0u);
  ASSERT_NE(other, 0u);
  Document* d = DocumentOf(doc);
  EXPECT_EQ(QsParseDocument((dir_ / "close.sgm").string().c_str(), nullptr, 0, nullptr, 0), doc);
  QsHandle node = QsGetDocumentRoot(doc);
  QsHandle node2 = QsDupNode(node);
  QsHandle entity = QsGetDocEntity(doc, "fig");
  QsHandle tags = QsCreateTagSet(doc);
  QsHandle ranges = QsCreateSelSet(doc);
  QsHandle otherNode = QsGetDocumentRoot(other);
  QsHandle otherTags = QsCreateTagSet(other);
  for (QsHandle h : {node, node2, entity, tags, ranges, otherNode, otherTags}) ASSERT_NE(h, 0u);
  EngineBase* engine = GetEngine();
  engine->recentList->Add(d);
  engine->recentList->Add(DocumentOf(other));

  EXPECT_EQ(QsCloseDocument(doc), 1);
  // Whatever their use counts, the document's handles are gone.
  for (QsHandle h : {doc, node, node2, entity, tags, ranges}) EXPECT_EQ(QsGetHandleType(h), 0u);
  for (QsHandle h : {other, otherNode, otherTags}) EXPECT_NE(QsGetHandleType(h), 0u);
  EXPECT_FALSE(engine->recentList->Contains(d));
  EXPECT_TRUE(engine->recentList->Contains(DocumentOf(other)));
  EXPECT_EQ(QsCloseDocument(doc), 0);
  EXPECT_EQ(QsCloseDocument(otherNode), 0);
  // Opened again, it is read afresh.
  std::string path = Write("close.sgm", "<!DOCTYPE doc SYSTEM \"doc.dtd\">\n<doc><sec>new</sec></doc>\n");
  QsHandle again = QsParseDocument(path.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(again, 0u);
  EXPECT_EQ(QsGetDocumentCount(again), 3);
  EXPECT_EQ(QsCountDocStyleSheets(other), 1);
}

// What a host sees while a link leads into another document: the loads
// offered to it (event 5) and the places it is asked to show (event 7).
struct LoadHost {
  std::intptr_t answer = 0;  // -2: the host opens the document itself
  std::vector<std::string> paths;
  std::vector<bool> publicIds;  // whether a public identifier came with it
  QsHandle loaded = 0;          // the host's own use of the document it opened
  std::vector<QsHandle> shown;  // the document of each place to show
  std::vector<std::intptr_t> positions;
};
std::intptr_t OfferedLoad(QsWindow, std::int32_t event, QsWord a, QsWord b, QsWord data) {
  auto* host = reinterpret_cast<LoadHost*>(data);
  EXPECT_EQ(event, QS_EVENT_LOAD_DOCUMENT);
  const char* path = reinterpret_cast<const char*>(a);
  host->paths.push_back(path ? path : "(null)");
  host->publicIds.push_back(b != 0);
  if (host->answer != -2) return host->answer;
  QsHandle document = QsParseDocument(path, nullptr, 0, nullptr, 0);
  if (document) {
    QsAddRefHandle(document);  // the engine gives back the handle it is answered
    host->loaded = document;
  }
  return document ? static_cast<std::intptr_t>(document) : -1;
}
std::intptr_t AskedToShow(QsWindow, std::int32_t, QsWord a, QsWord b, QsWord data) {
  auto* host = reinterpret_cast<LoadHost*>(data);
  host->shown.push_back(QsGetNodeDocument(static_cast<QsHandle>(a)));
  host->positions.push_back(reinterpret_cast<const QsViewRequest*>(b)->position);
  return 0;
}

// A document that is no longer loaded is offered to the host when a link
// names it again; while it is loaded nobody is asked.
TEST_F(DocumentExports, ALinkIntoAClosedDocumentOffersItsLoadToTheHost) {
  const std::string dtd =
      "<!ELEMENT doc - - (sec*)>\n<!ELEMENT sec - - (#PCDATA)>\n<!ATTLIST sec id ID #IMPLIED>\n";
  Write("main.sgm", "<!DOCTYPE doc [\n" + dtd +
                        "<!NOTATION SGML PUBLIC \"+//ISO 8879:1986//NOTATION STANDARD GENERALIZED "
                        "MARKUP LANGUAGE//EN\">\n"
                        "<!ENTITY e SYSTEM \"target.sgm\" NDATA SGML>\n]>\n"
                        "<doc><sec>One</sec></doc>\n");
  const std::string target =
      Write("target.sgm", "<!DOCTYPE doc [\n" + dtd + "]>\n<doc><sec>x</sec><sec id=x>Second</sec></doc>\n");
  LoadHost host;
  QsSetCallback(0, QS_EVENT_LOAD_DOCUMENT, OfferedLoad, reinterpret_cast<QsWord>(&host));
  QsSetCallback(0, QS_EVENT_SHOW_IN_VIEW, AskedToShow, reinterpret_cast<QsWord>(&host));
  QsHandle main = QsParseDocument((dir_ / "main.sgm").string().c_str(), nullptr, 0, nullptr, 0);
  QsHandle open = QsParseDocument(target.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(main, 0u);
  ASSERT_NE(open, 0u);
  QsHandle root = QsGetDocumentRoot(main);
  const char kLink[] = "DOC e ID x";

  // Loaded: the link is shown in that document, and no load is offered.
  ASSERT_EQ(QsParseLocation(root, kLink), 1);
  EXPECT_TRUE(host.paths.empty());
  ASSERT_EQ(host.shown.size(), 1u);
  EXPECT_EQ(QsIsSameObject(host.shown[0], open), 1);
  const std::intptr_t second = host.positions[0];
  EXPECT_GT(second, 0);

  // Closed, then refused by the host: the link fails, and the engine does
  // not read the file behind the host's back.
  ASSERT_EQ(QsCloseDocument(open), 1);
  host.answer = -1;
  host.shown.clear();
  EXPECT_EQ(QsParseLocation(root, kLink), 0);
  ASSERT_EQ(host.paths.size(), 1u);
  EXPECT_NE(host.paths[0].find("target.sgm"), std::string::npos) << host.paths[0];
  EXPECT_FALSE(host.publicIds[0]);  // a system identifier alone
  EXPECT_TRUE(host.shown.empty());

  // The host leaves it to the engine, which reads it again: the link is
  // shown in the fresh document, kept loaded from then on.
  host.answer = 0;
  EXPECT_EQ(QsParseLocation(root, kLink), 1);
  EXPECT_EQ(host.paths.size(), 2u);
  ASSERT_EQ(host.shown.size(), 1u);
  EXPECT_EQ(host.positions[0], second);
  EXPECT_EQ(QsParseLocation(root, kLink), 1);
  EXPECT_EQ(host.paths.size(), 2u) << "loaded again, not offered again";

  // Closed once more, and this time the host opens it itself: its document
  // is the one the link shows, and the engine keeps it.
  QsHandle again = QsParseDocument(target.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(again, 0u);
  EXPECT_EQ(QsIsSameObject(again, host.shown[0]), 1);
  ASSERT_EQ(QsCloseDocument(again), 1);
  host.answer = -2;
  host.shown.clear();
  host.positions.clear();
  EXPECT_EQ(QsParseLocation(root, kLink), 1);
  ASSERT_EQ(host.paths.size(), 3u);
  EXPECT_EQ(host.paths[2], host.paths[0]);
  ASSERT_NE(host.loaded, 0u);
  ASSERT_EQ(host.shown.size(), 1u);
  EXPECT_EQ(QsIsSameObject(host.shown[0], host.loaded), 1);
  EXPECT_EQ(host.positions[0], second);
  EXPECT_EQ(QsParseLocation(root, kLink), 1);
  EXPECT_EQ(host.paths.size(), 3u);
  // The engine gave back the handle the host answered: with the handles
  // this test was given dropped, the host's own use is the one left, and
  // the document stays loaded without it.
  for (QsHandle h : host.shown) QsReleaseHandle(h);
  EXPECT_EQ(QsGetHandleRefCount(host.loaded), 1u);
  EXPECT_EQ(QsReleaseHandle(host.loaded), 0u);
  EXPECT_EQ(QsParseLocation(root, kLink), 1);
  EXPECT_EQ(host.paths.size(), 3u);
}

TEST_F(DocumentExports, ClosingLetsThePicturesOfTheDocumentGo) {
  Write("fig.xbm",
        "#define fig_width 2\n#define fig_height 2\nstatic char fig_bits[] = { 0x01, 0x02 };\n");
  QsHandle doc = Open("pics.sgm", "<doc><sec>one<pic f=xfig></sec></doc>\n");
  ASSERT_NE(doc, 0u);
  Document* d = DocumentOf(doc);
  GraphicObject* picture = GetEntityPicture(d, d->FindEntity("xfig"), true);
  ASSERT_NE(picture, nullptr) << "the fixture's picture must load";
  EXPECT_EQ(picture->context, d);
  ASSERT_EQ(GetGraphicCache().First(), picture);
  EXPECT_EQ(QsCloseDocument(doc), 1);
  // Still held: out of the cache, and deleted by its last release.
  EXPECT_TRUE(picture->orphaned);
  for (GraphicObject* g = GetGraphicCache().First(); g; g = static_cast<GraphicObject*>(g->Next()))
    EXPECT_NE(g, picture);
  picture->Release();
}

TEST_F(DocumentExports, MergeAtTheNodesElement) {
  QsHandle doc = Open("whole.sgm", "<doc><sec>one</sec></doc>\n");
  QsHandle part = Open("part.sgm", "<doc><sec>two<pic f=fig></sec></doc>\n");
  ASSERT_NE(doc, 0u);
  ASSERT_NE(part, 0u);
  QsHandle root = QsGetDocumentRoot(doc);
  ASSERT_EQ(QsMergeDocument(root, part, 7), 1);
  // The part's text and its picture's place follow the document's.
  EXPECT_EQ(QsGetDocumentCount(doc), 7);
  char text[16];
  ASSERT_NE(QsGetDocumentBytes(doc, 0, 6, text), nullptr);
  EXPECT_STREQ(text, "onetwo");
  // A document into itself, a gap for a place, and wrong handles: nothing.
  EXPECT_EQ(QsMergeDocument(root, doc, 0), 0);
  EXPECT_EQ(QsMergeDocument(doc, part, 0), 0);
  EXPECT_EQ(QsMergeDocument(root, root, 0), 0);
  QsHandle gap = QsGetDocumentRoot(part);
  ASSERT_EQ(QsGotoFirstChild(gap), 1);
  ASSERT_EQ(QsGotoFirstChild(gap), 1);  // the text before the picture
  EXPECT_EQ(QsMergeDocument(gap, doc, 0), 0);
  EXPECT_EQ(QsGetDocumentCount(doc), 7);
}

// ---- Style sheets and navigators

class SheetExports : public DocumentExports {
 protected:
  NavigatorDef* NavigatorOf(QsHandle h) {
    return static_cast<NavigatorDef*>(Handles()->LookupNavigator(h));
  }
  StyleSheet* SheetOf(QsHandle h) {
    return static_cast<StyleSheet*>(Handles()->LookupStyleSheet(h));
  }
};

TEST_F(SheetExports, NavigatorScaleBounds) {
  std::string path = (dir_ / "scale.nav").string();
  QsHandle nav = QsCreateNavigator(path.c_str(), nullptr, "Scale");
  ASSERT_NE(nav, 0u);
  struct Case {
    std::int32_t scale, min, max;
    std::int32_t wantScale, wantMin, wantMax;
  } cases[] = {
      {100, 3, 200, 100, 6, 128},
      {100, 20, 10, 100, 10, 20},
      {0, 0, 0, 0, 0, 0},
      {90, 6, 128, 90, 6, 128},
      {90, 0, 50, 90, 0, 50},
      {90, 40, 0, 90, 40, 0},
      {90, -4, -9, 90, 6, 0},
      {90, 200, 300, 90, 128, 200},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.scale << " " << c.min << "/" << c.max);
    ASSERT_EQ(QsSetNavigatorScale(nav, c.scale, c.min, c.max), 1);
    std::int32_t scale = -1, min = -1, max = -1;
    ASSERT_EQ(QsGetNavigatorScale(nav, &scale, &min, &max), 1);
    EXPECT_EQ(scale, c.wantScale);
    EXPECT_EQ(min, c.wantMin);
    EXPECT_EQ(max, c.wantMax);
  }
  EXPECT_EQ(QsGetNavigatorScale(nav, nullptr, nullptr, nullptr), 1);
  std::int32_t min = -1;
  EXPECT_EQ(QsGetNavigatorScale(nav, nullptr, &min, nullptr), 1);
  EXPECT_EQ(min, 128);
  EXPECT_EQ(QsGetNavigatorScale(0, &min, nullptr, nullptr), 0);
  EXPECT_EQ(QsSetNavigatorScale(0, 1, 2, 3), 0);
  // Saved and read back.
  ASSERT_EQ(QsSetNavigatorScale(nav, 110, 8, 60), 1);
  ASSERT_EQ(QsSaveNavigator(nav), 1);
  ASSERT_EQ(QsSetNavigatorScale(nav, 0, 0, 0), 1);
  ASSERT_EQ(QsReloadNavigator(nav), 1);
  std::int32_t scale, max;
  ASSERT_EQ(QsGetNavigatorScale(nav, &scale, &min, &max), 1);
  EXPECT_EQ(scale, 110);
  EXPECT_EQ(min, 8);
  EXPECT_EQ(max, 60);
}

struct Listed {
  std::string body, qualifier, title;
  std::int32_t flags;
  bool operator==(const Listed& o) const {
    return body == o.body && qualifier == o.qualifier && title == o.title && flags == o.flags;
  }
};

std::ostream& operator<<(std::ostream& out, const Listed& l) {
  return out << l.body << "[" << l.qualifier << "] " << l.title << " " << l.flags;
}

std::intptr_t ListEntry(const void* record, QsWord data) {
  const auto* r = static_cast<const QsNavigatorEntryRecord*>(record);
  reinterpret_cast<std::vector<Listed>*>(data)->push_back(
      {r->body, r->qualifier ? r->qualifier : "(none)", r->title ? r->title : "(self)", r->flags});
  return 0;
}

TEST_F(SheetExports, NavigatorEntriesAreTrimmedListedAndRemoved) {
  std::string path = (dir_ / "entries.nav").string();
  QsHandle nav = QsCreateNavigator(path.c_str(), nullptr, "Entries");
  ASSERT_NE(nav, 0u);
  EXPECT_EQ(QsSetNavigatorEntry(nav, "SEC", nullptr, "  TITLE \t", 0), 1);
  EXPECT_EQ(QsSetNavigatorEntry(nav, "SEC", nullptr, "HEAD", 1), 1);
  EXPECT_EQ(QsSetNavigatorEntry(nav, "SEC", "[TYPE] = x", "TITLE", 0), 1);
  EXPECT_EQ(QsSetNavigatorEntry(nav, "CHAP", nullptr, nullptr, 1), 1);
  // The same title again only changes its flags.
  EXPECT_EQ(QsSetNavigatorEntry(nav, "SEC", nullptr, "HEAD", 0), 0);
  EXPECT_EQ(QsSetNavigatorEntry(nav, nullptr, nullptr, "HEAD", 0), 0);

  std::vector<Listed> listed;
  EXPECT_EQ(QsEnumNavigatorEntries(nav, ListEntry, reinterpret_cast<QsWord>(&listed)), 0);
  std::vector<Listed> want = {{"CHAP", "(none)", "(self)", 1},
                              {"SEC", "(none)", "TITLE", 0},
                              {"SEC", "(none)", "HEAD", 0},
                              {"SEC", "[TYPE] = x", "TITLE", 0}};
  EXPECT_EQ(listed, want);

  // A procedure that edits the navigator while it is listed.
  static QsHandle editing;
  editing = nav;
  auto removeAndStop = [](const void* record, QsWord) -> std::intptr_t {
    const auto* r = static_cast<const QsNavigatorEntryRecord*>(record);
    QsRemoveNavigatorEntry(editing, r->body, r->qualifier, r->title);
    return std::strcmp(r->body, "SEC") == 0 ? 42 : 0;
  };
  EXPECT_EQ(QsEnumNavigatorEntries(nav, removeAndStop, 0), 42);
  listed.clear();
  QsEnumNavigatorEntries(nav, ListEntry, reinterpret_cast<QsWord>(&listed));
  want = {{"SEC", "(none)", "HEAD", 0}, {"SEC", "[TYPE] = x", "TITLE", 0}};
  EXPECT_EQ(listed, want);

  EXPECT_EQ(QsRemoveNavigatorEntry(nav, "SEC", "[TYPE] = x", " TITLE "), 1);
  EXPECT_EQ(QsRemoveNavigatorEntry(nav, "SEC", "[TYPE] = x", "TITLE"), 0);
  EXPECT_EQ(QsRemoveNavigatorEntry(nav, "NONE", nullptr, "HEAD"), 0);
  EXPECT_EQ(QsRemoveNavigatorEntry(nav, "SEC", nullptr, "OTHER"), 0);
  // Its last title gone, the qualifier group goes too.
  int groups = 0;
  for (NavigatorTag* t = NavigatorOf(nav)->FirstTag(); t; t = NavigatorOf(nav)->NextTag())
    for (NavigatorToc* toc = t->FirstToc(); toc; toc = static_cast<NavigatorToc*>(toc->Next()))
      ++groups;
  EXPECT_EQ(groups, 1);
  EXPECT_EQ(QsEnumNavigatorEntries(nav, nullptr, 0), 0);
  EXPECT_EQ(QsEnumNavigatorEntries(0, ListEntry, 0), 0);
}

TEST_F(SheetExports, SavedAndReloadedFromTheirFiles) {
  const char head[] = "<!DOCTYPE STYLESHEET PUBLIC \"-//Quenda//DTD Stylesheet v2.00//EN\">\n";
  std::string path = (dir_ / "s.ssh").string();
  QsHandle sheet = QsCreateStyleSheet(path.c_str(), nullptr, "Sheet");
  ASSERT_NE(sheet, 0u);
  EXPECT_EQ(SheetOf(sheet)->FindTag("PARA"), nullptr);
  // Edited on disk, read again.
  Write("s.ssh", std::string(head) + "<STYLESHEET NAME='Edited'>\n" +
                     "<STYLE TAG=PARA><FONT-SIZE V=14></STYLE>\n</STYLESHEET>\n");
  ASSERT_EQ(QsReloadStyleSheet(sheet), 1);
  EXPECT_STREQ(SheetOf(sheet)->Name(), "Edited");
  EXPECT_NE(SheetOf(sheet)->FindTag("PARA"), nullptr);
  // A file that no longer parses leaves the sheet as it was.
  Write("s.ssh", "<STYLESHEET><RULE");
  EXPECT_EQ(QsReloadStyleSheet(sheet), 0);
  EXPECT_STREQ(SheetOf(sheet)->Name(), "Edited");
  EXPECT_NE(SheetOf(sheet)->FindTag("PARA"), nullptr);
  // Saved as another file, and to its own.
  std::string copy = (dir_ / "copy.ssh").string();
  ASSERT_EQ(QsSaveStyleSheetAs(sheet, copy.c_str()), 1);
  EXPECT_NE(Read(copy).find("PARA"), std::string::npos);
  ASSERT_EQ(QsSaveStyleSheet(sheet), 1);
  EXPECT_NE(Read(path).find("Edited"), std::string::npos);
  EXPECT_EQ(QsSaveStyleSheetAs(sheet, nullptr), 0);
  EXPECT_EQ(QsSaveStyleSheetAs(sheet, ""), 0);
  // A path that cannot be written: the writer's error, and 0.
  sink_.Clear();
  std::string blocked = (dir_ / "missing" / "x.ssh").string();
  EXPECT_EQ(QsSaveStyleSheetAs(sheet, blocked.c_str()), 0);
  EXPECT_EQ(sink_.messages().size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(blocked));
  for (QsHandle wrong : {QsHandle{0}, sheet + 1000})
    EXPECT_EQ(QsReloadStyleSheet(wrong) + QsSaveStyleSheet(wrong) + QsSaveStyleSheetAs(wrong, copy.c_str()), 0);

  // A navigator likewise.
  std::string navPath = (dir_ / "n.nav").string();
  QsHandle nav = QsCreateNavigator(navPath.c_str(), nullptr, "Nav");
  ASSERT_NE(nav, 0u);
  ASSERT_EQ(QsSetNavigatorEntry(nav, "SEC", nullptr, "TITLE", 0), 1);
  std::string navCopy = (dir_ / "n2.nav").string();
  ASSERT_EQ(QsSaveNavigatorAs(nav, navCopy.c_str()), 1);
  EXPECT_NE(Read(navCopy).find("TITLE"), std::string::npos);
  ASSERT_EQ(QsReloadNavigator(nav), 1);  // its own file still has no entries
  std::vector<Listed> listed;
  QsEnumNavigatorEntries(nav, ListEntry, reinterpret_cast<QsWord>(&listed));
  EXPECT_TRUE(listed.empty());
  EXPECT_EQ(QsSaveNavigatorAs(nav, nullptr), 0);
  EXPECT_EQ(QsSaveNavigator(sheet), 0);  // a sheet is not a navigator
  EXPECT_EQ(QsReloadNavigator(sheet), 0);
}

// ---- Settings and dialogs

TEST(DialogFilter, BarsBecomeTheSystemsPairList) {
  struct Case {
    const char* text;
    std::string list;
  } cases[] = {
      {"Text|*.txt|All|*.*|", std::string("Text\0*.txt\0All\0*.*\0\0", 20)},
      {"Text|*.txt|All|*.*", std::string("Text\0*.txt\0All\0*.*\0\0", 20)},
      // No "|": one description with no pattern.
      {"Only", std::string("Only\0\0", 6)},
      {"", std::string("\0\0", 2)},
      {"|", std::string("\0\0", 2)},
      // Each part in the ANSI code page (here 1252).
      {"Fiché|*.é", std::string("Fich\xE9\0*.\xE9\0\0", 11)},
      {"€|x", std::string("\x80\0x\0\0", 5)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::size_t length = 0;
    char* list = MakeDialogFilter(c.text, &length);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(std::string(list, length), c.list);
    MemFree(list);
  }
  EXPECT_EQ(MakeDialogFilter(nullptr), nullptr);
  EXPECT_EQ(FileDialogOptions(false), 0x1000u);  // the file must exist
  EXPECT_EQ(FileDialogOptions(true), 0x800u);    // a new file may be named
  EXPECT_EQ(kDialogPathUtf8Bytes, 301u);
}

TEST_F(DocumentExports, DefaultFontFaceAndSize) {
  EngineBase* engine = GetEngine();
  EXPECT_STREQ(engine->defaultFontFace, "Times New Roman");
  EXPECT_EQ(engine->defaultFontSize, 900);
  QsSetDefaultFont("Arial", 12);
  EXPECT_STREQ(engine->defaultFontFace, "Arial");
  EXPECT_EQ(engine->defaultFontSize, 1200);
  // Size 0 (or no size) leaves the size; no face leaves the face.
  QsSetDefaultFont(nullptr, 0);
  QsSetDefaultFont("Courier", -3);
  EXPECT_STREQ(engine->defaultFontFace, "Courier");
  EXPECT_EQ(engine->defaultFontSize, 1200);
  QsSetDefaultFont(nullptr, 0x7FFFFFFF);
  EXPECT_EQ(engine->defaultFontSize, 1200);
  // Thirty characters kept, never half of one.
  QsSetDefaultFont(std::string(40, 'F').c_str(), 0);
  EXPECT_EQ(std::string(engine->defaultFontFace), std::string(30, 'F'));
  std::string accents;
  for (int i = 0; i < 40; ++i) accents += "é";
  QsSetDefaultFont(accents.c_str(), 0);
  EXPECT_EQ(std::string(engine->defaultFontFace), accents.substr(0, 60));
  std::string wide;
  for (int i = 0; i < 40; ++i) wide += "\xF0\x9F\x98\x80";  // four bytes each
  QsSetDefaultFont(wide.c_str(), 0);
  EXPECT_EQ(std::string(engine->defaultFontFace), wide.substr(0, 120));
}

}  // namespace
}  // namespace qs
