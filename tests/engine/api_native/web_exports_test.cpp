// Webs and anchors through the exports, in-process: creating, opening and
// saving webs, hotspots and their geometry, notes, kinds and filters, the
// events activating and deleting anchors raise, and webs that documents name.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../foundation/temp_folder.h"
#include "addressing/web.h"
#include "api/exports.h"
#include "foundation/engine.h"
#include "recording_sink.h"

namespace qs {
namespace {

std::string SourceDir() {
  const char* dir = std::getenv("QS_SOURCE_DIR");
  return dir ? dir : ".";
}

std::string Slurp(const std::string& path) {
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Event {
  int event;
  QsWord a, b;
};
std::vector<Event> g_events;

QsWord RecordEvent(QsWindow, std::int32_t event, QsWord a, QsWord b, QsWord) {
  g_events.push_back({event, a, b});
  // What the host reads of the anchor while it is told: its handle lives.
  if (event == 21) EXPECT_EQ(QsGetHandleType(static_cast<QsHandle>(a)), 6u);
  return 0;
}

std::intptr_t Collect(QsHandle handle, QsWord data) {
  reinterpret_cast<std::vector<QsHandle>*>(data)->push_back(handle);
  return 0;
}

// The same, keeping a use of each handle beyond the walk.
std::intptr_t Keep(QsHandle handle, QsWord data) {
  QsAddRefHandle(handle);
  return Collect(handle, data);
}

const char kDocument[] =
    "<!DOCTYPE doc [\n"
    "<!ELEMENT doc - - (sec*)>\n"
    "<!ELEMENT sec - - (#PCDATA)>\n"
    "<!ATTLIST sec id ID #IMPLIED>\n"
    "<!NOTATION GIF SYSTEM \"gif\">\n"
    "<!ENTITY pic SYSTEM \"pic.gif\" NDATA GIF>\n"
    "]>\n"
    "<doc><sec id=sec1>One two three</sec><sec id=sec2>Four five six seven</sec></doc>\n";

class WebExports : public testing::Test {
 protected:
  void SetUp() override {
    g_events.clear();
    std::string catalog = SourceDir() + "/samples/home/catalog/catalog";
    for (int event : {12, 13, 14, 15, 19, 20, 21, 22, 40}) QsSetCallback(0, event, RecordEvent, 0);
    ASSERT_NE(QsInitialize(0, "Webs", catalog.c_str(), nullptr, nullptr, temp_.dir().c_str(),
                           nullptr),
              0);
  }
  void TearDown() override { QsTerminate(); }
  std::string Write(const std::string& name, const std::string& text) {
    std::string path = temp_.File(name);
    test::TempFolder::Write(path, text);
    return path;
  }
  // A new editable web and a document with its graphic entity.
  void NewWebAndDocument() {
    web_ = QsCreateWeb(temp_.File("w.web").c_str(), nullptr, "W");
    ASSERT_NE(web_, 0u);
    ASSERT_EQ(QsBeginWebEdit(web_), 1);
    doc_ = QsParseDocument(Write("doc.sgm", kDocument).c_str(), nullptr, 0, nullptr, 0);
    ASSERT_NE(doc_, 0u);
    pic_ = QsGetDocEntity(doc_, "pic");
    ASSERT_NE(pic_, 0u);
  }
  std::vector<int> Events() const {
    std::vector<int> events;
    for (const Event& e : g_events) events.push_back(e.event);
    return events;
  }

  test::TempFolder temp_;
  test::RecordingSink sink_;
  QsHandle web_ = 0, doc_ = 0, pic_ = 0;
};

TEST_F(WebExports, ANewWebFileAndOpeningItAgain) {
  std::string path = temp_.File("new.web");
  QsHandle web = QsCreateWeb(path.c_str(), nullptr, "A&B<C");
  ASSERT_NE(web, 0u);
  EXPECT_EQ(Slurp(path),
            "<!DOCTYPE WEB PUBLIC \"-//Quenda//DTD Web v2.00//EN\">\r\n<WEB><WEBNAME>A&amp;B&lt;C"
            "\r\n</WEBNAME>\r\n</WEB>");
  char name[64];
  EXPECT_STREQ(QsGetWebName(web, name, sizeof name), "A&B<C");
  EXPECT_EQ(QsOpenWeb(path.c_str(), nullptr, nullptr, 0), web);
  EXPECT_EQ(QsGetHandleRefCount(web), 2u);
  EXPECT_EQ(QsGetHandleType(web), 5u);
  // Unchanged: nothing to save.
  QsBeginWebEdit(web);
  EXPECT_EQ(QsSaveWebIfChanged(web), 0);
  // A folder that does not exist cannot take a web.
  EXPECT_EQ(QsCreateWeb(temp_.File("no/such/dir.web").c_str(), nullptr, "X"), 0u);
}

TEST_F(WebExports, MemoryWebsAreNamedApartAndNamelessOnesTakeTheEnginesName) {
  const char kText[] = "<!DOCTYPE WEB PUBLIC \"-//Quenda//DTD Web v2.00//EN\"><WEB></WEB>";
  QsHandle a = QsOpenWebText(kText, nullptr, nullptr, nullptr, 0);
  QsHandle b = QsOpenWebText(kText, nullptr, nullptr, nullptr, 0);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_NE(a, b);
  char name[64];
  EXPECT_STREQ(QsGetWebName(a, name, sizeof name), "Webs");
  EXPECT_EQ(QsSetWebName(a, "Mine"), 1);
  EXPECT_STREQ(QsGetWebName(a, name, 3), "Mi");
  std::vector<QsHandle> webs;
  EXPECT_EQ(QsEnumWebs(Collect, reinterpret_cast<QsWord>(&webs)), 0);
  EXPECT_EQ(webs, (std::vector<QsHandle>{a, b}));
  // Text that is no web gives none.
  EXPECT_EQ(QsOpenWebText("<!DOCTYPE WEB PUBLIC \"-//Quenda//DTD Web v2.00//EN\"><WEB><bad>",
                          nullptr, nullptr, nullptr, 0),
            0u);
}

TEST_F(WebExports, HotspotsAreClampedAndReadBack) {
  NewWebAndDocument();
  QsHandle spot = QsCreateHotspot(web_, pic_, nullptr, 3000, 1500, 100, 1000, 0);
  ASSERT_NE(spot, 0u);
  std::int32_t x, y, w, h, zoom;
  ASSERT_EQ(QsGetHotspotRect(spot, &x, &y, &w, &h, &zoom), 1);
  EXPECT_EQ(x, 2047);
  EXPECT_EQ(y, 1500);
  EXPECT_EQ(w, 1);
  EXPECT_EQ(h, 548);
  EXPECT_EQ(QsGetHotspotRect(spot, nullptr, nullptr, nullptr, nullptr, nullptr), 1);
  char name[64];
  EXPECT_STREQ(QsGetAnchorName(spot, name, sizeof name), "HOTSPOT");
  EXPECT_STREQ(QsGetHotspotColor(spot, name, sizeof name), "RED");
  EXPECT_EQ(QsSetHotspotColor(spot, "blue"), 1);
  EXPECT_STREQ(QsGetHotspotColor(spot, name, sizeof name), "BLUE");  // by its normalised name

  // A rectangle's outline; the shape code alone.
  std::int32_t count = 0;
  std::int16_t points[2 * 100];
  EXPECT_EQ(QsGetHotspotPoints(spot, nullptr, nullptr), 1);
  EXPECT_EQ(QsGetHotspotPoints(spot, &count, points), 1);
  EXPECT_EQ(count, 4);
  EXPECT_EQ(points[2], 2048);
  // Polygons need 3 to 99 points.
  const std::int16_t tri[] = {0, 0, 3000, -5, 100, 100};
  std::int16_t many[2 * 100] = {};
  EXPECT_EQ(QsSetHotspotPoints(spot, 3, 2, tri), 0);
  EXPECT_EQ(QsSetHotspotPoints(spot, 3, 100, many), 0);
  EXPECT_EQ(QsSetHotspotPoints(spot, 3, 3, tri), 1);
  count = 0;
  EXPECT_EQ(QsGetHotspotPoints(spot, &count, nullptr), 3);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(QsGetHotspotPoints(spot, nullptr, points), 3);
  EXPECT_EQ(points[2], 2048);
  EXPECT_EQ(points[3], 0);
  EXPECT_EQ(QsSetHotspotPoints(spot, 2, 0, nullptr), 0);
  EXPECT_EQ(QsGetHotspotPoints(spot, &count, points), 2);
  EXPECT_EQ(count, 32);
  // The region again, clamped as when read.
  EXPECT_EQ(QsSetHotspotRect(spot, -4, 5000, 0, 10, 256), 1);
  ASSERT_EQ(QsGetHotspotRect(spot, &x, &y, &w, &h, &zoom), 1);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 2048);
  EXPECT_EQ(w, 1);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(zoom, 256);
  // An entity of no document is no graphic for a hotspot.
  EXPECT_EQ(QsCreateHotspot(web_, 0, nullptr, 0, 0, 10, 10, 0), 0u);
}

TEST_F(WebExports, KindsFiltersAndNotes) {
  NewWebAndDocument();
  QsHandle plain = QsCreateHotspot(web_, pic_, "plain", 0, 0, 10, 10, 0);
  QsHandle marked = QsCreateHotspot(web_, pic_, "marked", 10, 10, 10, 10, 0);
  QsHandle noted = QsCreateHotspot(web_, pic_, "noted", 20, 20, 10, 10, 0);
  ASSERT_TRUE(plain && marked && noted);
  EXPECT_EQ(QsGetAnchorKind(plain), 1);
  EXPECT_EQ(QsSetAnchorBookmark(marked, 1), 1);
  std::string note(2048, 'n');
  EXPECT_EQ(QsSetAnchorNote(marked, note.c_str()), 1);
  EXPECT_EQ(QsAddLink(marked, plain), 1);
  EXPECT_EQ(QsGetAnchorKind(marked), 23);
  EXPECT_EQ(QsSetAnchorNote(noted, "a note"), 1);
  std::vector<char> buffer(2049);
  ASSERT_NE(QsGetAnchorNote(marked, buffer.data(), 2049), nullptr);
  EXPECT_EQ(std::string(buffer.data()), note);
  EXPECT_EQ(QsGetAnchorNote(plain, buffer.data(), 2049), nullptr);

  std::vector<QsHandle> seen;
  QsEnumWebAnchors(web_, 0x002 | 0x040, Collect, reinterpret_cast<QsWord>(&seen));
  EXPECT_EQ(seen, (std::vector<QsHandle>{plain, marked}));
  seen.clear();
  QsEnumWebAnchors(web_, 0, Collect, reinterpret_cast<QsWord>(&seen));
  EXPECT_TRUE(seen.empty());
  QsEnumLinkedAnchors(plain, Collect, reinterpret_cast<QsWord>(&seen));
  EXPECT_EQ(seen, std::vector<QsHandle>{marked});
  seen.clear();
  QsEnumEntityHotspots(pic_, 0x004, Collect, reinterpret_cast<QsWord>(&seen));
  EXPECT_EQ(seen, (std::vector<QsHandle>{marked, noted}));

  // A read-only web takes no edits.
  QsEndWebEdit(web_);
  EXPECT_EQ(QsSetAnchorHead(plain, "x"), 0);
  EXPECT_EQ(QsCreateHotspot(web_, pic_, nullptr, 0, 0, 1, 1, 0), 0u);
  EXPECT_EQ(QsRemoveLinks(marked, 0), 0);
  QsBeginWebEdit(web_);
  EXPECT_EQ(QsRemoveLinks(0, plain), 1);
  EXPECT_EQ(QsGetAnchorKind(marked), 7);
}

TEST_F(WebExports, ActivatingAndDeletingAnchorsTellTheHost) {
  NewWebAndDocument();
  QsHandle a = QsCreateHotspot(web_, pic_, "a", 0, 0, 10, 10, 0);
  QsHandle b = QsCreateHotspot(web_, pic_, "b", 10, 10, 10, 10, 0);
  QsHandle c = QsCreateHotspot(web_, pic_, "c", 20, 20, 10, 10, 0);
  ASSERT_TRUE(a && b && c);
  g_events.clear();
  EXPECT_EQ(QsActivateAnchor(a), 1);  // no note, no links: the note
  QsAddLink(a, b);
  EXPECT_EQ(QsActivateAnchor(a), 1);  // one link: followed
  QsAddLink(a, c);
  EXPECT_EQ(QsActivateAnchor(a), 1);  // two: the choice
  QsSetAnchorNote(a, "n");
  EXPECT_EQ(QsActivateAnchor(a), 1);  // a note wins
  EXPECT_EQ(Events(), (std::vector<int>{19, 40, 20, 19}));
  EXPECT_EQ(g_events[1].b, QsHandle(b));

  g_events.clear();
  QsAddRefHandle(b);
  EXPECT_EQ(QsDeleteAnchor(b), 1);
  ASSERT_EQ(Events(), (std::vector<int>{22, 21}));
  EXPECT_EQ(g_events[1].a, QsWord(b));
  EXPECT_EQ(g_events[1].b, QsWord(b));
  EXPECT_EQ(QsGetHandleType(b), 0u);
  // Deleting an anchor the host holds no handle of announces it all the
  // same; in a read-only web nothing is deleted.
  std::vector<QsHandle> all;
  QsEnumWebAnchors(web_, 1, Collect, reinterpret_cast<QsWord>(&all));
  ASSERT_EQ(all.size(), 2u);
  QsEndWebEdit(web_);
  EXPECT_EQ(QsDeleteAnchor(c), 0);
}

TEST_F(WebExports, SavingAWebClosesItAndItsAnchorsHandles) {
  NewWebAndDocument();
  std::string path = temp_.File("w.web");
  QsHandle whole = QsCreateNodeAnchor(web_, QsGetDocumentRoot(doc_), "All of it");
  ASSERT_NE(whole, 0u);
  std::int32_t start = -1, length = -1;
  ASSERT_EQ(QsGetAnchorRange(whole, &start, &length), 1);
  EXPECT_EQ(start, 0);
  EXPECT_GT(length, 0);
  QsHandle spot = QsCreateHotspot(web_, pic_, nullptr, 1, 2, 3, 4, 384);
  ASSERT_NE(spot, 0u);
  ASSERT_EQ(QsSetHotspotColor(spot, "navy"), 1);
  EXPECT_EQ(QsGetAnchorWeb(spot), web_);
  QsReleaseHandle(web_);
  QsHandle entity = QsGetAnchorEntity(spot);
  ASSERT_NE(entity, 0u);
  QsReleaseHandle(entity);
  g_events.clear();
  EXPECT_EQ(QsSaveWeb(web_), 1);
  EXPECT_EQ(QsGetHandleType(web_), 0u);
  EXPECT_EQ(QsGetHandleType(whole), 0u);
  EXPECT_EQ(QsGetHandleType(spot), 0u);
  EXPECT_EQ(Events(), (std::vector<int>{13, 14}));
  std::string saved = Slurp(path);
  EXPECT_NE(saved.find("<head>All of it\r\n</head>"), std::string::npos);
  EXPECT_NE(saved.find(" ZOOM=\"150%\""), std::string::npos);
  // The hotspot's colour is kept as its LINE.
  EXPECT_NE(saved.find(" LINE=\"NAVY\""), std::string::npos) << saved;

  // Opened again, the anchor on the whole document is found there, and the
  // hotspot has its colour.
  QsHandle again = QsOpenWeb(path.c_str(), nullptr, nullptr, 0);
  ASSERT_NE(again, 0u);
  std::vector<QsHandle> anchors;
  QsEnumDocAnchors(doc_, 1, Keep, reinterpret_cast<QsWord>(&anchors));
  ASSERT_EQ(anchors.size(), 1u);
  char name[64];
  EXPECT_STREQ(QsGetAnchorName(anchors[0], name, sizeof name), "All of it");
  std::vector<QsHandle> spots;
  QsEnumWebAnchors(again, 0x008, Keep, reinterpret_cast<QsWord>(&spots));
  ASSERT_EQ(spots.size(), 1u);
  EXPECT_STREQ(QsGetHotspotColor(spots[0], name, sizeof name), "NAVY");
}

TEST_F(WebExports, WebsDocumentsNameOpenOnceAndMarkTheirAnchors) {
  // A web with an anchor on each of two documents, both of which name it.
  const std::string doc = "<?DOCWEB \"notes.web\">\n" + std::string(kDocument);
  std::string a = Write("a.sgm", doc);
  std::string b = Write("b.sgm", doc);
  Write("notes.web",
        "<!DOCTYPE WEB PUBLIC \"-//Quenda//DTD Web v2.00//EN\" [\n"
        "<!ENTITY A SYSTEM \"a.sgm\" NDATA SGML>\n<!ENTITY B SYSTEM \"b.sgm\" NDATA SGML>]>\n"
        "<web><webname>Notes</webname>\n"
        "<doc><title>a</title><anchor id=X linkend=XN><loc><nameloc id=XN><nmlist "
        "docorsub=A>sec2</nmlist></nameloc></loc><note>On a</note></anchor></doc>\n"
        "<doc><title>b</title><anchor id=Y linkend=YN><loc><nameloc id=YN><nmlist "
        "nametype=entity>B</nmlist></nameloc></loc><head>On b</head></anchor></doc>\n"
        "</web>");
  QsHandle first = QsParseDocument(a.c_str(), nullptr, 0, nullptr, 0);
  QsHandle second = QsParseDocument(b.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(first, 0u);
  ASSERT_NE(second, 0u);
  std::vector<QsHandle> webs;
  QsEnumWebs(Collect, reinterpret_cast<QsWord>(&webs));
  ASSERT_EQ(webs.size(), 1u);
  EXPECT_EQ(QsGetHandleType(webs[0]), 0u);  // the walk's handle went
  auto* notes = static_cast<Web*>(static_cast<ObjectListItem*>(GetEngine()->webs->First()));
  EXPECT_EQ(notes->useCount, 2);
  EXPECT_STREQ(notes->Name(), "Notes");
  std::vector<QsHandle> onA, onB;
  QsEnumDocAnchors(first, 1, Keep, reinterpret_cast<QsWord>(&onA));
  QsEnumDocAnchors(second, 1, Keep, reinterpret_cast<QsWord>(&onB));
  ASSERT_EQ(onA.size(), 1u);
  ASSERT_EQ(onB.size(), 1u);
  char name[64];
  EXPECT_STREQ(QsGetAnchorName(onA[0], name, sizeof name), "On a");
  EXPECT_STREQ(QsGetAnchorName(onB[0], name, sizeof name), "On b");
  // The anchor on sec2 covers that element.
  QsHandle sec2 = QsGetElementById(first, "sec2");
  ASSERT_NE(sec2, 0u);
  std::int32_t start = 0, length = 0, elementStart = 0, elementLength = 0;
  ASSERT_EQ(QsGetAnchorRange(onA[0], &start, &length), 1);
  ASSERT_EQ(QsGetNodeRange(sec2, &elementStart, &elementLength), 1);
  EXPECT_EQ(start, elementStart);
  EXPECT_EQ(length, elementLength);
  QsReleaseHandle(sec2);
}

TEST_F(WebExports, ACompiledDocumentOpensTheWebsItNames) {
  const std::string doc = "<?DOCWEB \"notes.web\">\n" + std::string(kDocument);
  std::string a = Write("a.sgm", doc);
  Write("notes.web",
        "<!DOCTYPE WEB PUBLIC \"-//Quenda//DTD Web v2.00//EN\" [\n"
        "<!ENTITY A SYSTEM \"a.sgm\" NDATA SGML>]>\n<web><webname>Notes</webname>\n"
        "<doc><title>a</title><anchor id=X linkend=XN><loc><nameloc id=XN><nmlist "
        "nametype=entity>A</nmlist></nameloc></loc><head>On a</head></anchor></doc>\n</web>");
  QsHandle parsed = QsParseDocument(a.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(parsed, 0u);
  std::string qsb = temp_.File("a.qsb");
  ASSERT_EQ(QsSaveDocumentBinary(parsed, qsb.c_str()), 1);
  QsReleaseHandle(parsed);
  // A fresh engine: no web is open until the compiled document names it.
  TearDown();
  SetUp();
  QsHandle loaded = QsOpenBinaryDocument(qsb.c_str(), 0, a.c_str(), nullptr);
  ASSERT_NE(loaded, 0u);
  std::vector<QsHandle> webs;
  QsEnumWebs(Collect, reinterpret_cast<QsWord>(&webs));
  EXPECT_EQ(webs.size(), 1u);
  std::vector<QsHandle> anchors;
  QsEnumDocAnchors(loaded, 1, Keep, reinterpret_cast<QsWord>(&anchors));
  ASSERT_EQ(anchors.size(), 1u);
  char name[32];
  EXPECT_STREQ(QsGetAnchorName(anchors[0], name, sizeof name), "On a");
  QsReleaseHandle(anchors[0]);
  QsReleaseHandle(loaded);
}

TEST_F(WebExports, ABrokenWebADocumentNamesIsNeverWrittenOver) {
  const std::string broken =
      "<!DOCTYPE WEB PUBLIC \"-//Quenda//DTD Web v2.00//EN\"><WEB><webname a=1 !></WEB>";
  std::string webPath = Write("broken.web", broken);
  std::string doc = Write("d.sgm", "<?DOCWEB \"broken.web\">\n" + std::string(kDocument));
  QsHandle d = QsParseDocument(doc.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(d, 0u);
  ASSERT_FALSE(sink_.messages().empty());
  EXPECT_EQ(sink_.messages().back().text, "Web file contained errors...");
  std::vector<QsHandle> webs;
  QsEnumWebs(Keep, reinterpret_cast<QsWord>(&webs));
  ASSERT_EQ(webs.size(), 1u);
  QsHandle web = webs[0];
  QsBeginWebEdit(web);
  QsSetWebName(web, "changed");
  EXPECT_EQ(QsSaveWebIfChanged(web), 0);
  // A save that fails does not close the web: its changes are still there.
  EXPECT_EQ(QsSaveWeb(web), 0);
  EXPECT_EQ(QsGetHandleType(web), 5u);
  EXPECT_EQ(Slurp(webPath), broken);
  // Saved under another name it is written whole.
  std::string copy = temp_.File("copy.web");
  EXPECT_EQ(QsSaveWebAs(web, copy.c_str()), 1);
  EXPECT_NE(Slurp(copy).find("<webname>changed</webname>"), std::string::npos);
}

}  // namespace
}  // namespace qs
