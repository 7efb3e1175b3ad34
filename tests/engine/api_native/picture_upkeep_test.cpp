// The cached pictures' hot areas follow the documents and webs the host
// opens, changes and closes through the exports.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "../foundation/temp_folder.h"
#include "api/exports.h"
#include "foundation/engine.h"
#include "recording_sink.h"
#include "sgml/document.h"
#include "sgml/document_cache.h"
#include "view/graphic_object.h"
#include "view/hot_areas.h"
#include "view/picture_services.h"

namespace qs {
namespace {

const char kDocument[] =
    "<!DOCTYPE doc [\n"
    "<!ELEMENT doc - - (fig, sec*)>\n"
    "<!ELEMENT fig - - (hs*)>\n"
    "<!ELEMENT hs - O EMPTY>\n"
    "<!ATTLIST hs quenda-af NAME #FIXED \"HOTSPOT\" graphic ENTITY #REQUIRED\n"
    "             linkend IDREF #REQUIRED rx NUMBER #IMPLIED rw NUMBER #IMPLIED\n"
    "             shape CDATA #IMPLIED>\n"
    "<!ELEMENT sec - - (#PCDATA)>\n"
    "<!ATTLIST sec id ID #IMPLIED>\n"
    "<!NOTATION XBM SYSTEM \"xbm\">\n"
    "<!ENTITY pic SYSTEM \"pic.xbm\" NDATA XBM>\n"
    "]>\n"
    "<doc><fig><hs graphic=pic linkend=s1 rw=1024><hs graphic=pic linkend=s1 rx=1024 "
    "shape=\"#ellipse\"></fig><sec id=s1>Text</sec></doc>\n";

class PictureUpkeep : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(QsInitialize(0, "Pictures", nullptr, nullptr, nullptr, temp_.dir().c_str(), nullptr),
              0);
    test::TempFolder::Write(temp_.File("pic.xbm"),
                            "#define p_width 8\n#define p_height 8\nstatic char p_bits[] = {\n"
                            "0x01,0x02,0x04,0x08,0x10,0x20,0x40,0x80};\n");
  }
  void TearDown() override { QsTerminate(); }
  void Parse() {
    test::TempFolder::Write(temp_.File("doc.sgm"), kDocument);
    doc_ = QsParseDocument(temp_.File("doc.sgm").c_str(), nullptr, 0, nullptr, 0);
    ASSERT_NE(doc_, 0u);
    document_ = GetEngine()->documentCache->At(0);
    ASSERT_NE(document_, nullptr);
    pic_ = document_->FindEntity("pic");
    ASSERT_NE(pic_, nullptr);
  }
  // What the formatter's services answer at (x, y) of a 100 x 100 placing.
  int KindAt(ImageRenderer* r, int x, int y) {
    PictureHotArea found;
    return GetGraphicServices().HotAreaAt(r, x, y, &found) ? found.pointerKind : 0;
  }

  test::TempFolder temp_;
  test::RecordingSink sink_;
  QsHandle doc_ = 0;
  Document* document_ = nullptr;
  EntityDecl* pic_ = nullptr;
};

TEST_F(PictureUpkeep, HotspotElementsAndWebAnchorsBecomeAreas) {
  Parse();
  GraphicObject* picture = GetEntityPicture(document_, pic_, true);
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->width, 8);
  EXPECT_EQ(picture->AreaCount(), 2u);  // the document's two hotspot elements
  ImageRenderer* r = picture->MakeRenderer(nullptr);
  r->Place(0, 0, 100, 100);
  EXPECT_EQ(KindAt(r, 10, 50), 4);  // the left rectangle: an element
  EXPECT_EQ(KindAt(r, 75, 50), 4);  // the ellipse's middle
  EXPECT_EQ(KindAt(r, 51, 1), 0);   // the ellipse's corner
  EXPECT_EQ(picture->FirstArea()->GetElement()->GetAttributeValue("LINKEND"), std::string("S1"));

  // A web's hotspot anchor on the same picture: an area too, while it lives.
  QsHandle web = QsCreateWeb(temp_.File("w.web").c_str(), nullptr, "W");
  ASSERT_EQ(QsBeginWebEdit(web), 1);
  QsHandle entity = QsGetDocEntity(doc_, "pic");
  QsHandle spot = QsCreateHotspot(web, entity, "corner", 1024, 0, 1024, 100, 0);
  ASSERT_NE(spot, 0u);
  EXPECT_EQ(picture->AreaCount(), 3u);
  EXPECT_EQ(KindAt(r, 99, 2), 5);  // the anchor (past the ellipse): its note
  EXPECT_EQ(QsSetHotspotRect(spot, 1024, 1900, 1024, 148, 0), 1);
  EXPECT_EQ(picture->AreaCount(), 3u);
  EXPECT_EQ(QsDeleteAnchor(spot), 1);
  EXPECT_EQ(picture->AreaCount(), 2u);
  EXPECT_EQ(KindAt(r, 99, 2), 0);
  // Closing the web (saved and closed) takes its anchors' areas.
  QsHandle again = QsCreateHotspot(web, entity, "again", 0, 0, 100, 100, 0);
  ASSERT_NE(again, 0u);
  EXPECT_EQ(picture->AreaCount(), 3u);
  QsReleaseHandle(again);
  EXPECT_EQ(QsSaveWeb(web), 1);
  EXPECT_EQ(picture->AreaCount(), 2u);
  QsReleaseHandle(entity);

  // Closing the document: its areas go, and the picture it asked for is
  // orphaned while the renderer holds it.
  EXPECT_EQ(QsCloseDocument(doc_), 1);
  EXPECT_EQ(picture->AreaCount(), 0u);
  EXPECT_TRUE(picture->orphaned);
  EXPECT_EQ(KindAt(r, 10, 50), 0);
  delete r;
  picture->Release();  // the last use: gone (ASan sees any leak)
}

// The sample manual's figure: the left wheel's ellipse links to changing a
// wheel, the switch's rectangle to the overview.
TEST(SampleManual, FigureHasTwoHotspots) {
  test::TempFolder temp;
  test::RecordingSink sink;
  const char* source = std::getenv("QS_SOURCE_DIR");
  const std::string root = source ? source : ".";
  const std::string catalog = root + "/samples/home/catalog/catalog";
  ASSERT_NE(QsInitialize(0, "Manual", catalog.c_str(), nullptr, nullptr, temp.dir().c_str(), nullptr), 0);
  QsHandle doc = QsParseDocument((root + "/samples/manual/manuale.sgm").c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u);
  Document* document = GetEngine()->documentCache->At(0);
  GraphicObject* figure = GetEntityPicture(document, document->FindEntity("fig1"), true);
  ASSERT_NE(figure, nullptr);
  EXPECT_EQ(figure->width, 96);
  EXPECT_EQ(figure->height, 64);
  ASSERT_EQ(figure->AreaCount(), 2u);
  EXPECT_EQ(figure->FirstArea()->pointCount, 32);
  ImageRenderer* r = figure->MakeRenderer(nullptr);
  r->Place(0, 0, 96, 64);
  // The left wheel's centre, the switch, and the housing between them.
  struct {
    int x, y;
    const char* target;
  } cases[] = {{30, 34, "S2-1"}, {48, 16, "S2"}, {48, 34, nullptr}};
  for (const auto& c : cases) {
    Region* hit = r->HitTest(c.x, c.y);
    if (!c.target) {
      EXPECT_EQ(hit, nullptr);
      continue;
    }
    ASSERT_NE(hit, nullptr) << c.target;
    EXPECT_STREQ(hit->GetElement()->GetAttributeValue("LINKEND"), c.target);
  }
  delete r;
  figure->Release();
  QsReleaseHandle(doc);
  QsTerminate();
}

}  // namespace
}  // namespace qs
