// Webs read from and written to their files, edited, and followed: against
// checked-in web files and a recording engine.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "addressing/hotspot_outline.h"
#include "addressing/web.h"
#include "foundation/strings.h"
#include "foundation/text_writer.h"
#include "sgml/entities.h"
#include "web_support.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

namespace qs {
namespace {

using test::ErrorRecord;

const char kDocument[] =
    "<!DOCTYPE doc [\n"
    "<!ELEMENT doc - - (sec*)>\n"
    "<!ELEMENT sec - - (#PCDATA)>\n"
    "<!ATTLIST sec id ID #IMPLIED>\n"
    "<!NOTATION GIF SYSTEM \"gif\">\n"
    "<!ENTITY pic SYSTEM \"pic.gif\" NDATA GIF>\n"
    "]>\n"
    "<doc><sec id=sec1>One two three</sec><sec id=sec2>Four five six seven</sec></doc>\n";

std::string DataFile(const std::string& name) {
  return test::SourceDir() + "/tests/engine/addressing/data/" + name;
}

// Text with every line end in LF, so that files compare on any platform.
std::string Lf(std::string text) {
  std::string out;
  for (char c : text)
    if (c != '\r') out += c;
  return out;
}

void Replace(std::string& text, const std::string& from, const std::string& to) {
  if (from.empty()) return;
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
}

class WebTest : public testing::Test {
 protected:
  WebTest() : engine_(temp_.dir()) {}
  std::string Write(const std::string& name, const std::string& text) {
    std::string path = temp_.File(name);
    test::TempFolder::Write(path, text);
    return path;
  }
  // A web of the given body in the folder, read back.
  Web* ReadWebText(const std::string& text) { return test::ReadWebFile(Write("t.web", text)); }
  // The file as written, with the folder's path as the engine names it
  // replaced by @DIR@.
  std::string Written(const std::string& path, Document* document) {
    std::string text = Lf(test::Slurp(path));
    char* docPath = document->Source()->GetFilePath();
    std::string dir = docPath;
    MemFree(docPath);
    dir.resize(dir.size() - std::strlen("doc.sgm"));
    Replace(text, dir, "@DIR@");
    return text;
  }
  void ExpectGolden(const std::string& actual, const std::string& golden) {
    std::string expected = test::Slurp(DataFile(golden));
    EXPECT_EQ(actual, expected);
    // What was written, beside the test, for a look.
    if (actual != expected) test::TempFolder::Write(golden + ".actual", actual);
  }

  test::TempFolder temp_;
  test::RecordingSink sink_;
  test::RecordingEngine engine_;
};

const char kWebHead[] =
    "<!DOCTYPE WEB PUBLIC \"-//Quenda//DTD Web v2.00//EN\" [\n"
    "<!NOTATION SGML PUBLIC \"+//ISO 8879:1986//NOTATION STANDARD GENERALIZED MARKUP "
    "LANGUAGE//EN\">\n"
    "<!NOTATION GIF SYSTEM \"gif\">\n"
    "<!ENTITY DOC3 SYSTEM \"doc.sgm\" NDATA SGML>\n"
    "<!ENTITY pic SYSTEM \"pic.gif\" NDATA GIF>\n"
    "]>\n<web><webname>W</webname>\n<doc><title>t</title>\n";

std::string NameAnchor(const std::string& id) {
  return "<anchor id=" + id + " linkend=" + id + ".NAME><loc><nameloc id=" + id +
         ".NAME><nmlist nametype=ENTITY>DOC3</nmlist></nameloc></loc></anchor>\n";
}

TEST_F(WebTest, ANewWebIsWrittenAsTheCheckedInFile) {
  Write("doc.sgm", kDocument);
  Document* document = test::OpenDocumentFile(temp_.File("doc.sgm"));
  ASSERT_NE(document, nullptr);
  std::string path = temp_.File("new.web");
  ExternalId* id = test::FileId(path);
  auto* web = new Web(static_cast<Document*>(nullptr), id);
  id->Release();
  AddOpenWeb(web);
  web->SetName("Notes & <links>");
  ASSERT_EQ(web->BeginEdit(), 1);
  EntityDecl* pic = document->FindEntity("pic");
  ASSERT_NE(pic, nullptr);

  Anchor* whole = web->AddDocumentAnchor(document, document->Root()->start,
                                         document->Root()->end - document->Root()->start);
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(whole->Number(), 1);
  EXPECT_TRUE(whole->SetHead("Whole document"));
  EXPECT_TRUE(whole->SetNote("Read it all.\r\nTwice & more < less"));
  EXPECT_TRUE(whole->SetBookmark(true));
  Anchor* rect = web->AddHotspotAnchor(pic, 100, 200, 300, 400, 384);
  Anchor* poly = web->AddHotspotAnchor(pic, 0, 0, 2048, 2048, 0);
  Anchor* ellipse = web->AddHotspotAnchor(pic, 10, 20, 30, 40, 1);
  ASSERT_TRUE(rect && poly && ellipse);
  const std::int16_t points[] = {0, 0, 2048, 0, 1024, 2048};
  EXPECT_EQ(poly->GetLocation()->SetShape(kShapePolygon, 3, points), 1);
  EXPECT_EQ(ellipse->GetLocation()->SetShape(kShapeEllipse, 0, nullptr), 0);
  EXPECT_EQ(rect->GetLocation()->SetLine("dash"), 1);
  ellipse->flags |= Anchor::kHighlight;
  ASSERT_NE(web->AddLink(whole, rect, true), nullptr);
  EXPECT_EQ(whole->GetLinkCount(), 1);

  ASSERT_TRUE(web->Write(nullptr));
  EXPECT_FALSE(web->IsChanged());
  std::string written = Written(path, document);
  ExpectGolden(written, "new.web");
  // The file is in text mode.
  std::string raw = test::Slurp(path);
  EXPECT_NE(raw.find("\r\n<web><webname>"), std::string::npos);

  // It reads back as it was written, the fixed declarations now left out.
  Web* again = test::ReadWebFile(path);
  EXPECT_EQ(again->AnchorCount(), 4u);
  ASSERT_NE(again->FirstLink(), nullptr);
  char name[kAnchorHeadLength + 1];
  EXPECT_STREQ(again->FirstLink()->A()->GetName(name), "Whole document");
  char note[kAnchorNoteLength + 1];
  EXPECT_TRUE(again->FirstLink()->A()->GetNote(note));
  // The carriage return went; the line end stays.
  EXPECT_STREQ(note, "Read it all.\nTwice & more < less");
  EXPECT_STREQ(again->Name(), "Notes & <links>");
  EXPECT_EQ(again->FormatLevel(), 2);
  HotspotArea area;
  Anchor* readRect = again->FirstLink()->B();
  ASSERT_EQ(readRect->GetLocation()->GetArea(&area), 1);
  EXPECT_EQ(area.zoom, 384);
  EXPECT_EQ(area.x, 100);
  EXPECT_EQ(area.height, 400);
  EXPECT_EQ(again->Bookmarks().FirstRef()->anchor, again->FirstLink()->A());
  EXPECT_TRUE(engine_.errors.empty());
  delete again;
  document->Release();
}

TEST_F(WebTest, AVersionTwoFileIsWrittenBackRenumberedWithItsLocators) {
  Write("doc.sgm", kDocument);
  Document* document = test::OpenDocumentFile(temp_.File("doc.sgm"));
  ASSERT_NE(document, nullptr);
  std::string in = test::Slurp(DataFile("version2.web"));
  std::string path = Write("v2.web", in);
  Web* web = test::ReadWebFile(path);
  EXPECT_TRUE(engine_.errors.empty()) << engine_.errors[0].code;
  EXPECT_EQ(web->FormatLevel(), 2);
  EXPECT_STREQ(web->Name(), "a<b&c");
  ASSERT_EQ(web->AnchorCount(), 2u);
  // Carriage returns of an edited note are not written.
  web->BeginEdit();
  Anchor* second = web->FirstEntry()->FirstAnchor();
  second = static_cast<Anchor*>(second->Next());
  EXPECT_TRUE(second->SetHead("Line\r\none"));
  ASSERT_TRUE(web->Write(nullptr));
  ExpectGolden(Written(path, document), "version2_out.web");
  // The anchor counted from an ID with only the ID is found in the
  // document; the one with a tree path waits for the path reader.
  MarkOpenWebAnchors(document);
  AddOpenWeb(web);
  Mark* mark = document->Anchors().FindAtLeast(0);
  ASSERT_NE(mark, nullptr);
  EXPECT_EQ(static_cast<AnchorMark*>(mark)->GetAnchor(), second);
  EXPECT_EQ(mark->Start(), document->Root()->start);
  document->Release();
}

TEST_F(WebTest, ReaderErrorsKeepTheRestOfTheWeb) {
  struct Case {
    const char* name;
    std::string body;
    std::vector<ErrorRecord> errors;
    std::size_t anchors, links;
  } cases[] = {
      {"one link end", NameAnchor("ID1") + "</doc><link linkends=\"ID1\"></web>",
       {{34, "ID1", "", 0}}, 1, 0},
      {"unknown link end",
       NameAnchor("ID1") + "</doc><link linkends=\"ID1 ID99\"></web>",
       {{33, "ID1", "ID99", 0}}, 1, 0},
      {"three link ends",
       NameAnchor("ID1") + NameAnchor("ID2") + "</doc><link linkends=\"ID1 ID2 ID1\"></web>",
       {}, 2, 1},
      {"hotspot without graphic",
       "<anchor id=ID1 linkend=S><loc><hotspot id=S graphic=nothere></loc></anchor>\n" +
           NameAnchor("ID2") + "</doc></web>",
       {{38, "ID1", "", 0}}, 1, 0},
      {"tree locator as origin",
       "<anchor id=ID1 linkend=T><loc><treeloc id=T><marklist>1</marklist></treeloc></loc>"
       "</anchor>\n</doc></web>",
       {{39, "ID1", "", 0}}, 0, 0},
      {"locator its own source",
       "<anchor id=ID1 linkend=T><loc><treeloc id=T locsrc=T><marklist>1</marklist></treeloc>"
       "</loc></anchor>\n</doc></web>",
       {{36, "TREELOC", "", 0}}, 0, 0},
      {"a data locator after a tree locator",
       "<anchor id=ID1 linkend=X><loc><nameloc id=N><nmlist nametype=ENTITY>DOC3</nmlist>"
       "</nameloc><treeloc id=T locsrc=N><marklist>1</marklist></treeloc>"
       "<treeloc id=X locsrc=T><marklist>2</marklist></treeloc></loc></anchor>\n</doc></web>",
       {{36, "TREELOC", "", 0}}, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    engine_.errors.clear();
    Web* web = ReadWebText(kWebHead + c.body);
    EXPECT_EQ(engine_.errors, c.errors);
    EXPECT_EQ(web->AnchorCount(), c.anchors);
    std::size_t links = 0;
    for (Link* l = web->FirstLink(); l; l = static_cast<Link*>(l->Next())) ++links;
    EXPECT_EQ(links, c.links);
    delete web;
  }
}

TEST_F(WebTest, HotspotAreasAreClampedWhenRead) {
  Web* web = ReadWebText(std::string(kWebHead) +
                         "<anchor id=ID1 linkend=S><loc><hotspot id=S graphic=pic RY=\"3000\" "
                         "RX=\"-5\" RW=\"0\"></loc></anchor>\n"
                         "<anchor id=ID2 linkend=P><loc><hotpoly id=P graphic=pic shape=\"#Polygon\""
                         " ZOOM=\"150%\">0 0 3000 -2 100 100</hotpoly></loc></anchor>\n</doc></web>");
  ASSERT_EQ(web->AnchorCount(), 2u);
  HotspotArea area;
  Anchor* a = web->FirstEntry()->FirstAnchor();
  ASSERT_EQ(a->GetLocation()->GetArea(&area), 1);
  EXPECT_EQ(area.y, 2047);
  EXPECT_EQ(area.height, 1);
  EXPECT_EQ(area.x, 0);
  EXPECT_EQ(area.width, 1);
  Anchor* p = static_cast<Anchor*>(a->Next());
  ASSERT_EQ(p->GetLocation()->GetArea(&area), 1);
  EXPECT_EQ(area.shape, kShapePolygon);
  EXPECT_EQ(area.zoom, 384);
  std::int16_t points[2 * kMaxOutlinePoints];
  ASSERT_EQ(p->GetLocation()->GetOutline(points), 3);
  EXPECT_EQ(points[2], 2048);
  EXPECT_EQ(points[3], 0);
  delete web;
}

TEST_F(WebTest, EditingAnchorsOfANewWeb) {
  Write("doc.sgm", kDocument);
  Document* document = test::OpenDocumentFile(temp_.File("doc.sgm"));
  ASSERT_NE(document, nullptr);
  std::uint32_t all = document->Root()->end - document->Root()->start;
  ExternalId* id = test::FileId(temp_.File("e.web"));
  auto* web = new Web(static_cast<Document*>(nullptr), id);
  id->Release();

  // Read-only: nothing is made, and stored texts have no store yet.
  EXPECT_EQ(web->AddDocumentAnchor(document, document->Root()->start, all), nullptr);
  char text[8];
  EXPECT_EQ(web->GetText(text, -1, 4), 0u);
  EXPECT_EQ(engine_.errors, (std::vector<ErrorRecord>{{0, "", "", 11}}));
  engine_.errors.clear();

  web->BeginEdit();
  Anchor* first = web->AddDocumentAnchor(document, document->Root()->start, all);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Number(), 1);
  EXPECT_STREQ(web->FirstEntry()->Entity()->GetName(), "DOC0");
  // The same document again: the same entry; an element with an ID.
  DocumentNode* sec2 = document->FindElementById("SEC2");
  Anchor* second = web->AddDocumentAnchor(document, sec2->start, sec2->end - sec2->start);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->Number(), 2);
  EXPECT_EQ(web->FirstEntry()->Next(), nullptr);
  // A range inside an element is counted in words, narrowed by
  // characters, and found again.
  Anchor* inside = web->AddDocumentAnchor(document, sec2->start + 1, 3);
  ASSERT_NE(inside, nullptr);
  std::uint32_t from = 0, length = 0;
  ASSERT_EQ(inside->GetLocation()->GetRange(document, &from, &length), 1);
  EXPECT_EQ(from, sec2->start + 1);
  EXPECT_EQ(length, 3u);
  EXPECT_TRUE(inside->Delete());

  // Heads and notes are cut on a character boundary.
  std::string head = "\xC3\xA9" + std::string(39, 'h');  // 41 bytes
  EXPECT_TRUE(first->SetHead(head.c_str()));
  char name[kAnchorHeadLength + 1];
  EXPECT_EQ(std::string(first->GetName(name)), head.substr(0, 30));
  std::string cut = std::string(29, 'h') + "\xC3\xA9";  // the 30th byte starts a character
  EXPECT_TRUE(first->SetHead(cut.c_str()));
  EXPECT_EQ(std::string(first->GetName(name)), std::string(29, 'h'));
  EXPECT_TRUE(first->SetHead("ab"));
  std::string longNote = std::string(2047, 'n') + "\xC3\xA9" + std::string(950, 'x');
  EXPECT_TRUE(first->SetNote(longNote.c_str()));
  char note[kAnchorNoteLength + 1];
  EXPECT_TRUE(first->GetNote(note));
  EXPECT_EQ(std::string(note), std::string(2047, 'n'));
  // A head longer than the one stored does not run into the note stored
  // after it.
  EXPECT_TRUE(first->SetHead(std::string(30, 'H').c_str()));
  EXPECT_TRUE(first->GetNote(note));
  EXPECT_EQ(std::string(note), std::string(2047, 'n'));
  EXPECT_STREQ(first->GetName(name), std::string(30, 'H').c_str());
  // Without head and note an anchor is named by its number.
  EXPECT_TRUE(first->SetHead(nullptr));
  EXPECT_TRUE(first->SetNote(""));
  EXPECT_STREQ(first->GetName(name), "ANCHOR1");
  EXPECT_FALSE(first->GetNote(note));

  // Links: both removed by a removal that names neither end.
  web->AddLink(first, second, true);
  web->AddLink(second, first, true);
  EXPECT_EQ(first->GetLinkCount(), 2);
  web->RemoveLinks(nullptr, nullptr);
  EXPECT_EQ(web->FirstLink(), nullptr);
  EXPECT_EQ(first->GetLinkCount(), 0);

  // Removing an anchor takes its mark out of the document first.
  ASSERT_NE(document->Anchors().FindAtLeast(0), nullptr);
  EXPECT_TRUE(first->Delete());
  Mark* left = document->Anchors().FindAtLeast(0);
  ASSERT_NE(left, nullptr);
  EXPECT_EQ(static_cast<AnchorMark*>(left)->GetAnchor(), second);
  delete web;
  EXPECT_EQ(document->Anchors().FindAtLeast(0), nullptr);
  EXPECT_TRUE(engine_.errors.empty());
  document->Release();
}

TEST_F(WebTest, NewEntityNamesSkipNamesTheWebHolds) {
  Write("doc.sgm", kDocument);
  Write("other.sgm", kDocument);
  Document* document = test::OpenDocumentFile(temp_.File("doc.sgm"));
  Document* other = test::OpenDocumentFile(temp_.File("other.sgm"));
  ASSERT_TRUE(document && other);
  // A file whose one anchor (number 1) lies in an entity named DOC1: the
  // next new entity would be DOC1 and is DOC2.
  Web* web = ReadWebText(
      "<!DOCTYPE WEB PUBLIC \"-//Quenda//DTD Web v2.00//EN\" [\n"
      "<!ENTITY DOC1 SYSTEM \"doc.sgm\" NDATA SGML>]>\n<web><webname>W</webname>\n"
      "<doc><title>t</title>\n<anchor id=A linkend=N><loc><nameloc id=N><nmlist "
      "nametype=ENTITY>DOC1</nmlist></nameloc></loc></anchor></doc></web>");
  web->BeginEdit();
  EXPECT_STREQ(web->FirstEntry()->Entity()->GetName(), "DOC1");
  Anchor* a = web->AddDocumentAnchor(other, other->Root()->start,
                                     other->Root()->end - other->Root()->start);
  ASSERT_NE(a, nullptr);
  EXPECT_STREQ(static_cast<WebEntry*>(web->FirstEntry()->Next())->Entity()->GetName(), "DOC2");
  EXPECT_EQ(a->Number(), 3);
  // The document the web already holds goes to its entry.
  Anchor* b = web->AddDocumentAnchor(document, document->Root()->start,
                                     document->Root()->end - document->Root()->start);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->GetLocation()->Entity(), web->FirstEntry()->Entity());
  delete web;
  document->Release();
  other->Release();
}

TEST_F(WebTest, FollowingTheOneLinkShowsTheOtherEnd) {
  Write("doc.sgm", kDocument);
  Document* document = test::OpenDocumentFile(temp_.File("doc.sgm"));
  ASSERT_NE(document, nullptr);
  ExternalId* id = test::FileId(temp_.File("f.web"));
  auto* web = new Web(static_cast<Document*>(nullptr), id);
  id->Release();
  web->BeginEdit();
  std::uint32_t all = document->Root()->end - document->Root()->start;
  Anchor* from = web->AddHotspotAnchor(document->FindEntity("pic"), 0, 0, 10, 10, 0);
  Anchor* to = web->AddDocumentAnchor(document, document->Root()->start, all);
  web->AddLink(from, to, true);
  from->Activate(nullptr);
  // The host was asked first (event 40), then the engine went there.
  ASSERT_EQ(engine_.gotos.size(), 1u);
  EXPECT_EQ(engine_.gotos[0].document, document);
  EXPECT_EQ(engine_.gotos[0].position, static_cast<std::int32_t>(document->Root()->start));
  EXPECT_EQ(engine_.gotos[0].length, static_cast<std::int32_t>(all));
  bool asked = false;
  for (const test::EventRecord& e : engine_.events) asked |= e.event == 40;
  EXPECT_TRUE(asked);
  delete web;
  document->Release();
}

TEST_F(WebTest, IconEntitiesAreWrittenBackWithTheirMasksAndDataAttributes) {
  std::string path = Write(
      "icons.web",
      "<!DOCTYPE WEB PUBLIC \"-//Quenda//DTD Web v2.00//EN\" [\n"
      "<!NOTATION BMP SYSTEM \"bmp\">\n"
      "<!ATTLIST #NOTATION BMP mask ENTITY #IMPLIED title CDATA #IMPLIED>\n"
      "<!ENTITY NoteMask SYSTEM \"notemask.bmp\" NDATA BMP>\n"
      "<!ENTITY NoteIcon SYSTEM \"note.bmp\" NDATA BMP [mask=NoteMask title='say \"hi\"']>\n"
      "]>\n<web><webname>I</webname></web>");
  Web* web = test::ReadWebFile(path);
  ASSERT_TRUE(web->Write(nullptr));
  std::string first = Lf(test::Slurp(path));
  EXPECT_NE(first.find("\n<!NOTATION BMP SYSTEM \"bmp\">\n<!ATTLIST #NOTATION BMP"),
            std::string::npos)
      << first;
  // The mask before its icon; a double quote of a value as a character
  // reference, which reads back while the internal subset is read.
  EXPECT_NE(first.find("\n<!ENTITY NoteMask SYSTEM \"notemask.bmp\" NDATA BMP>\n<!ENTITY NoteIcon "
                       "SYSTEM \"note.bmp\" NDATA BMP [MASK=\"NoteMask\" TITLE=\"say &#34;hi&#34;\"]>"),
            std::string::npos)
      << first;
  delete web;
  web = test::ReadWebFile(path);
  ASSERT_TRUE(web->Write(nullptr));
  EXPECT_EQ(Lf(test::Slurp(path)), first);
  EXPECT_TRUE(engine_.errors.empty());
  delete web;
}

#ifndef _WIN32
TEST_F(WebTest, AFullDiskKeepsTheOldFileAndTheChange) {
  Write("doc.sgm", kDocument);
  Document* document = test::OpenDocumentFile(temp_.File("doc.sgm"));
  ASSERT_NE(document, nullptr);
  std::string path = Write("full.web", "old contents\n");
  ExternalId* id = test::FileId(path);
  auto* web = new Web(static_cast<Document*>(nullptr), id);
  id->Release();
  web->BeginEdit();
  Anchor* a = web->AddDocumentAnchor(document, document->Root()->start,
                                     document->Root()->end - document->Root()->start);
  ASSERT_NE(a, nullptr);
  ASSERT_TRUE(a->SetNote(std::string(2000, 'n').c_str()));
  // The scratch store is open already; files may now grow to 64 bytes.
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool written = web->Write(nullptr);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);
  EXPECT_FALSE(written);
  EXPECT_EQ(engine_.Codes(), std::vector<int>{40});
  EXPECT_TRUE(web->IsChanged());
  EXPECT_EQ(test::Slurp(path), "old contents\n");
  delete web;
  document->Release();
}
#endif

TEST(HotspotOutline, EllipseRectangleAndPlacement) {
  HotspotArea area;
  area.shape = kShapeEllipse;
  HotspotLocation ellipse(nullptr, area);
  std::int16_t points[2 * kMaxOutlinePoints];
  ASSERT_EQ(ellipse.GetOutline(points), 32);
  EXPECT_EQ(points[0], 1024);
  EXPECT_EQ(points[1], 2048);
  EXPECT_EQ(points[16], 2048);  // k = 8
  EXPECT_EQ(points[17], 1024);
  EXPECT_EQ(points[32], 1024);  // k = 16
  EXPECT_EQ(points[33], 0);
  EXPECT_EQ(points[2], 1224);  // k = 1: 1024 + 1024 sin(pi/16) = 1223.77
  EXPECT_EQ(points[3], 2028);  // 1024 + 1024 cos(pi/16) = 2028.32

  // Placed in a 400 x 300 frame at (10, 20): the area (512, 1024, 1024,
  // 512) spans 200 x 75 pixels from (110, 170).
  HotspotArea rect{512, 1024, 1024, 512, 0, kShapeRectangle};
  HotspotLocation box(nullptr, rect);
  int n = box.GetOutline(points);
  ASSERT_EQ(n, 4);
  OutlinePoint placed[kMaxOutlinePoints + 1];
  ASSERT_EQ(PlaceOutline(rect, points, n, {10, 20, 400, 300}, placed), 5);
  EXPECT_EQ(placed[0].x, 110);
  EXPECT_EQ(placed[0].y, 170);
  EXPECT_EQ(placed[2].x, 310);
  EXPECT_EQ(placed[2].y, 245);
  EXPECT_EQ(placed[4].x, placed[0].x);
  EXPECT_EQ(PlaceOutline(rect, points, 2, {0, 0, 100, 100}, placed), 0);
}

TEST(HotspotOutline, NewtonRootStopsWithinAPixel) {
  struct Case {
    double dx, dy, root;
  } cases[] = {{3, 4, 5}, {0, 100, 100}, {300, 400, 500}, {1, 1, 1.41}, {1000, 0, 1000}};
  for (const Case& c : cases) {
    double root = NewtonLength(c.dx, c.dy);
    EXPECT_NEAR(root, c.root, 0.5) << c.dx << " " << c.dy;
  }
  EXPECT_EQ(NewtonLength(0, 0), 0);
}

class RecordingDashes : public DashSink {
 public:
  void MoveTo(int x, int y) override { moves.push_back({x, y}); }
  void LineTo(int x, int y, int pen) override { lines.push_back({x, y, pen}); }
  std::vector<std::vector<int>> moves, lines;
};

TEST(HotspotOutline, DashesRunOnFromSegmentToSegment) {
  struct Case {
    int x1, y1;
    double phase;
    int pen;
    std::vector<std::vector<int>> lines;
    double phaseAfter;
    int penAfter;
  } cases[] = {
      // 40 pixels: 16, 16 and 8 of a third dash; 8 run on.
      {40, 0, 0, 1, {{16, 0, 0}, {32, 0, 1}, {40, 0, 0}}, 8, 0},
      // The rest of a dash first, in the same pen.
      {0, 20, 6, 1, {{0, 6, 1}, {0, 20, 0}}, 2, 0},
      // Less than a pixel left: a whole dash in the other pen.
      {-20, 0, 0.5, 0, {{-16, 0, 1}, {-20, 0, 0}}, 12, 0},
      // Too short along both axes: nothing, the state as it was.
      {1, 1, 5, 1, {}, 5, 1},
  };
  for (const Case& c : cases) {
    RecordingDashes sink;
    DashState state{c.phase, c.pen};
    DashSegment(0, 0, c.x1, c.y1, state, sink);
    EXPECT_EQ(sink.lines, c.lines) << c.x1 << "," << c.y1;
    EXPECT_NEAR(state.phase, c.phaseAfter, 0.01);
    EXPECT_EQ(state.pen, c.penAfter);
  }
  double phase = 14;
  int pen = 0;
  AdvanceMarch(phase, pen);
  EXPECT_EQ(phase, 2);
  EXPECT_EQ(pen, 1);
  AdvanceMarch(phase, pen);
  EXPECT_EQ(phase, 6);
  EXPECT_EQ(pen, 1);
}

}  // namespace
}  // namespace qs
