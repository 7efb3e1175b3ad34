// Webs and anchors through the library as a host uses them: a new web file,
// hotspots and their geometry, the events that activating and deleting
// anchors raise, saving and closing, and a web that documents name.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "api/records.h"
#include "engine_dll.h"

namespace qs::test {
namespace {

struct Event {
  int event;
  QsWord a, b;
};
std::vector<Event> g_events;

QsWord RecordEvent(QsWindow, std::int32_t event, QsWord a, QsWord b, QsWord) {
  g_events.push_back({event, a, b});
  // The host takes the note and link dialogs: the engine's own would wait
  // for a reader.
  return event == 19 || event == 20 ? 1 : 0;
}

decltype(&::QsAddRefHandle) g_addRef = nullptr;

// Collects the handles a walk gives, keeping a use of each beyond the walk.
std::intptr_t Keep(QsHandle handle, QsWord data) {
  reinterpret_cast<std::vector<QsHandle>*>(data)->push_back(handle);
  g_addRef(handle);
  return 0;
}

// Handles a test leaves are the test's business, not a box at shut-down.
QsWord Locked(QsWindow, std::int32_t, QsWord, QsWord, QsWord) { return 1; }

const char kDocument[] =
    "<?DOCWEB \"notes.web\">\n"
    "<!DOCTYPE doc [\n"
    "<!ELEMENT doc - - (sec*)>\n"
    "<!ELEMENT sec - - (#PCDATA)>\n"
    "<!ATTLIST sec id ID #IMPLIED>\n"
    "<!NOTATION GIF SYSTEM \"gif\">\n"
    "<!ENTITY pic SYSTEM \"pic.gif\" NDATA GIF>\n"
    "]>\n"
    "<doc><sec id=sec1>One two three</sec><sec id=sec2>Four five six seven</sec></doc>\n";

class WebsThroughDll : public EngineDll {
 protected:
  void SetUp() override {
    EngineDll::SetUp();
    if (HasFatalFailure()) return;
    dir_ = MakeTempFolder("qswebs");
    const char* source = std::getenv("QS_SOURCE_DIR");
    std::string catalog = std::string(source ? source : ".") + "/samples/home/catalog/catalog";
    g_events.clear();
    for (int event : {19, 20, 21, 40}) QS_BIND(QsSetCallback)(0, event, RecordEvent, 0);
    QS_BIND(QsSetCallback)(0, 49, Locked, 0);
    g_addRef = QS_BIND(QsAddRefHandle);
    ASSERT_NE(QS_BIND(QsInitialize)(reinterpret_cast<QsWord>(GetModuleHandleA(nullptr)), "Webs",
                                    catalog.c_str(), nullptr, nullptr, dir_.c_str(), nullptr),
              0);
  }
  void TearDown() override {
    QS_BIND(QsTerminate)();
    EngineDll::TearDown();
  }
  std::vector<int> Events() const {
    std::vector<int> events;
    for (const Event& e : g_events) events.push_back(e.event);
    return events;
  }
};

TEST_F(WebsThroughDll, ANewWebItsHotspotsAndItsEvents) {
  std::string path = Path("new.web");
  QsHandle web = QS_BIND(QsCreateWeb)(path.c_str(), nullptr, "A&B<C");
  ASSERT_NE(web, 0u);
  EXPECT_EQ(Read(path),
            "<!DOCTYPE WEB PUBLIC \"-//Quenda//DTD Web v2.00//EN\">\r\n<WEB><WEBNAME>A&amp;B&lt;C"
            "\r\n</WEBNAME>\r\n</WEB>");
  EXPECT_EQ(QS_BIND(QsOpenWeb)(path.c_str(), nullptr, nullptr, 0), web);
  EXPECT_EQ(QS_BIND(QsGetHandleRefCount)(web), 2u);
  ASSERT_EQ(QS_BIND(QsBeginWebEdit)(web), 1);
  EXPECT_EQ(QS_BIND(QsSaveWebIfChanged)(web), 0);

  std::string docPath = Write("doc.sgm", kDocument + std::strlen("<?DOCWEB \"notes.web\">\n"));
  QsHandle doc = QS_BIND(QsParseDocument)(docPath.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u);
  QsHandle pic = QS_BIND(QsGetDocEntity)(doc, "pic");
  ASSERT_NE(pic, 0u);
  QsHandle a = QS_BIND(QsCreateHotspot)(web, pic, nullptr, 3000, 1500, 100, 1000, 384);
  QsHandle b = QS_BIND(QsCreateHotspot)(web, pic, "b", 0, 0, 10, 10, 0);
  QsHandle c = QS_BIND(QsCreateHotspot)(web, pic, "c", 0, 0, 20, 20, 0);
  ASSERT_TRUE(a && b && c);
  std::int32_t x = 0, y = 0, w = 0, h = 0, zoom = 0;
  ASSERT_EQ(QS_BIND(QsGetHotspotRect)(a, &x, &y, &w, &h, &zoom), 1);
  EXPECT_EQ(x, 2047);
  EXPECT_EQ(h, 548);
  EXPECT_EQ(zoom, 384);
  char text[64];
  EXPECT_STREQ(QS_BIND(QsGetHotspotColor)(a, text, sizeof text), "RED");
  EXPECT_STREQ(QS_BIND(QsGetAnchorName)(a, text, sizeof text), "HOTSPOT");
  EXPECT_EQ(QS_BIND(QsSetHotspotPoints)(a, 3, 2, nullptr), 0);
  EXPECT_EQ(QS_BIND(QsGetAnchorKind)(a), 1);

  QS_BIND(QsActivateAnchor)(a);
  QS_BIND(QsAddLink)(a, b);
  QS_BIND(QsActivateAnchor)(a);
  QS_BIND(QsAddLink)(a, c);
  QS_BIND(QsActivateAnchor)(a);
  QS_BIND(QsSetAnchorBookmark)(a, 1);
  QS_BIND(QsSetAnchorNote)(a, std::string(2048, 'n').c_str());
  EXPECT_EQ(QS_BIND(QsGetAnchorKind)(a), 23);
  std::vector<char> note(2049);
  ASSERT_NE(QS_BIND(QsGetAnchorNote)(a, note.data(), 2049), nullptr);
  EXPECT_EQ(std::strlen(note.data()), 2048u);
  QS_BIND(QsActivateAnchor)(a);
  EXPECT_EQ(Events(), (std::vector<int>{19, 40, 20, 19}));
  g_events.clear();
  EXPECT_EQ(QS_BIND(QsDeleteAnchor)(c), 1);
  ASSERT_EQ(Events(), (std::vector<int>{21}));
  EXPECT_EQ(g_events[0].b, g_events[0].a);

  EXPECT_EQ(QS_BIND(QsSaveWeb)(web), 1);
  EXPECT_EQ(QS_BIND(QsGetHandleType)(web), 0u);
  EXPECT_EQ(QS_BIND(QsGetHandleType)(a), 0u);
  std::string saved = Read(path);
  EXPECT_NE(saved.find("ZOOM=\"150%\""), std::string::npos);
  EXPECT_NE(saved.find("<link linkends=\"ID1 ID2\">"), std::string::npos);
  QS_BIND(QsReleaseHandle)(pic);
  QS_BIND(QsReleaseHandle)(doc);
}

TEST_F(WebsThroughDll, AWebTwoDocumentsNameOpensOnce) {
  Write("notes.web",
        "<!DOCTYPE WEB PUBLIC \"-//Quenda//DTD Web v2.00//EN\" [\n"
        "<!ENTITY A SYSTEM \"a.sgm\" NDATA SGML>]>\n<web><webname>Notes</webname>\n"
        "<doc><title>a</title><anchor id=X linkend=XN><loc><nameloc id=XN><nmlist "
        "nametype=entity>A</nmlist></nameloc></loc><head>On a</head></anchor></doc>\n</web>");
  std::string a = Write("a.sgm", kDocument);
  std::string b = Write("b.sgm", kDocument);
  QsHandle first = QS_BIND(QsParseDocument)(a.c_str(), nullptr, 0, nullptr, 0);
  QsHandle second = QS_BIND(QsParseDocument)(b.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_TRUE(first && second);
  std::vector<QsHandle> webs;
  QS_BIND(QsEnumWebs)(Keep, reinterpret_cast<QsWord>(&webs));
  ASSERT_EQ(webs.size(), 1u);
  char name[32];
  EXPECT_STREQ(QS_BIND(QsGetWebName)(webs[0], name, sizeof name), "Notes");
  std::vector<QsHandle> anchors;
  QS_BIND(QsEnumDocAnchors)(first, 1, Keep, reinterpret_cast<QsWord>(&anchors));
  ASSERT_EQ(anchors.size(), 1u);
  EXPECT_STREQ(QS_BIND(QsGetAnchorName)(anchors[0], name, sizeof name), "On a");
  anchors.clear();
  QS_BIND(QsEnumDocAnchors)(second, 1, Keep, reinterpret_cast<QsWord>(&anchors));
  EXPECT_TRUE(anchors.empty());
}

// A web whose file cannot be replaced stays open with its change, and is
// written by the next save.
TEST_F(WebsThroughDll, AFailedSaveKeepsTheWebForTheNextOne) {
  std::string path = Path("held.web");
  QsHandle web = QS_BIND(QsCreateWeb)(path.c_str(), nullptr, "Held");
  ASSERT_NE(web, 0u);
  ASSERT_EQ(QS_BIND(QsBeginWebEdit)(web), 1);
  std::string docPath = Write("doc.sgm", kDocument + std::strlen("<?DOCWEB \"notes.web\">\n"));
  QsHandle doc = QS_BIND(QsParseDocument)(docPath.c_str(), nullptr, 0, nullptr, 0);
  QsHandle pic = QS_BIND(QsGetDocEntity)(doc, "pic");
  ASSERT_NE(QS_BIND(QsCreateHotspot)(web, pic, "kept", 0, 0, 10, 10, 0), 0u);
  HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(QS_BIND(QsSaveWeb)(web), 0);
  CloseHandle(held);
  EXPECT_EQ(QS_BIND(QsGetHandleType)(web), 5u);  // still an open web
  EXPECT_EQ(QS_BIND(QsSaveWeb)(web), 1);
  EXPECT_NE(Read(path).find("kept"), std::string::npos) << Read(path);
  QS_BIND(QsReleaseHandle)(pic);
  QS_BIND(QsReleaseHandle)(doc);
}

// Event 7's request during the call: where the engine would show a place.
std::vector<std::intptr_t> g_shownAt;
QsWord RecordShow(QsWindow, std::int32_t, QsWord, QsWord b, QsWord) {
  g_shownAt.push_back(reinterpret_cast<const QsViewRequest*>(b)->position);
  return 0;
}

// A host's bookmark list locates an anchor with QsShowElement: the anchor's
// place is asked for in a view (no view shows its document yet).
TEST_F(WebsThroughDll, ShowElementShowsAnAnchorsPlace) {
  Write("notes.web",
        "<!DOCTYPE WEB PUBLIC \"-//Quenda//DTD Web v2.00//EN\" [\n"
        "<!ENTITY A SYSTEM \"a.sgm\" NDATA SGML>]>\n<web><webname>Notes</webname>\n"
        "<doc><title>a</title><anchor id=X linkend=XN bookmark=1><loc><nameloc id=XN><nmlist "
        "docorsub=A>sec2</nmlist></nameloc></loc><head>Second</head></anchor></doc>\n</web>");
  std::string a = Write("a.sgm", kDocument);
  QsHandle doc = QS_BIND(QsParseDocument)(a.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u);
  std::vector<QsHandle> anchors;
  QS_BIND(QsEnumDocAnchors)(doc, 2, Keep, reinterpret_cast<QsWord>(&anchors));
  ASSERT_EQ(anchors.size(), 1u);
  std::int32_t start = -1, length = -1;
  ASSERT_EQ(QS_BIND(QsGetAnchorRange)(anchors[0], &start, &length), 1);
  EXPECT_GT(start, 0);
  g_shownAt.clear();
  QS_BIND(QsSetCallback)(0, 7, RecordShow, 0);
  QS_BIND(QsShowElement)(anchors[0]);
  EXPECT_EQ(g_shownAt, std::vector<std::intptr_t>{start});
}

}  // namespace
}  // namespace qs::test
