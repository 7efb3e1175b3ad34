#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../sgml/instance_support.h"
#include "sgml/entities.h"
#include "view/graphic_object.h"
#include "view/image_readers.h"
#include "view/notation_rules.h"
#include "view/pictures.h"

namespace qs {
namespace {

// Makes a 40 x 40 picture of any entity or element and counts the loads.
class CountingHandler : public NotationHandler {
 public:
  GraphicObject* LoadEntity(EntityDecl* entity, const char* key, EntityDecl* mask) override {
    ++loads;
    return new GraphicObject(entity, mask, nullptr, nullptr, key, 40, height);
  }
  GraphicObject* LoadElement(Document* context, DocumentNode* element, const char* key) override {
    ++loads;
    return new GraphicObject(nullptr, nullptr, element, context, key, 40, height);
  }
  int loads = 0;
  int height = 40;
};

const char kProlog[] =
    "<!DOCTYPE d [<!ELEMENT d - - ANY><!ELEMENT g - O EMPTY>"
    "<!ATTLIST g descent CDATA #IMPLIED valign CDATA #IMPLIED>"
    "<!NOTATION BMP SYSTEM><!ATTLIST #NOTATION BMP ISBTN CDATA #IMPLIED>"
    "<!NOTATION XBM SYSTEM><!ATTLIST #NOTATION XBM DESCENT CDATA \"5\" VALIGN CDATA #IMPLIED>";

EntityDecl* Entity(test::ParsedText& p, const char* name) { return p.document->FindEntity(name); }

TEST(GraphicCache, EntitiesMatchByIdentifierAndDataAttributes) {
  test::EngineScope scope;
  test::ParsedText p(std::string(kProlog) +
                     "<!ENTITY b1 SYSTEM \"/pics/a.bmp\" NDATA BMP [ISBTN=ISBTN]>"
                     "<!ENTITY b2 SYSTEM \"/pics/a.bmp\" NDATA BMP>"
                     "<!ENTITY b3 SYSTEM \"/pics/a.bmp\" NDATA BMP [ISBTN=ISBTN]>"
                     "<!ENTITY x1 SYSTEM \"/pics/a.xbm\" NDATA XBM [DESCENT=5]>"
                     "<!ENTITY x2 SYSTEM \"/pics/a.xbm\" NDATA XBM>"
                     "<!ENTITY x3 SYSTEM \"/pics/a.xbm\" NDATA XBM [DESCENT=6]>"
                     "]><d></d>");
  ASSERT_EQ(p.Messages(), "");
  CountingHandler handler;
  GraphicCache cache(&handler);
  NotationNameSet names;
  auto get = [&](const char* name) {
    EntityDecl* e = Entity(p, name);
    return cache.Get(p.document, nullptr, e, names.FindKey(e), nullptr, true);
  };
  GraphicObject* b1 = get("b1");
  GraphicObject* b2 = get("b2");
  GraphicObject* b3 = get("b3");
  ASSERT_NE(b1, nullptr);
  EXPECT_NE(b1, b2);  // ISBTN differs: two entries
  EXPECT_EQ(b1, b3);  // the same values: one
  GraphicObject* x1 = get("x1");
  GraphicObject* x2 = get("x2");
  GraphicObject* x3 = get("x3");
  EXPECT_EQ(x1, x2);  // specified and defaulted alike
  EXPECT_NE(x1, x3);
  EXPECT_EQ(handler.loads, 4);
  EXPECT_EQ(b1->useCount, 2);
  EXPECT_EQ(cache.First(), x3);
  // Without create a miss stays a miss.
  EntityDecl* e = Entity(p, "b1");
  EXPECT_EQ(cache.Get(p.document, nullptr, e, names.Intern("WMF"), nullptr, false), nullptr);
  for (GraphicObject* g : {b1, b2, b3, x1, x2, x3}) g->Release();
}

TEST(GraphicCache, UnusedGraphicsBeyondSixGoFirst) {
  test::EngineScope scope;
  std::string prolog = kProlog;
  for (int i = 0; i < 9; ++i)
    prolog += "<!ENTITY e" + std::to_string(i) + " SYSTEM \"/pics/" + std::to_string(i) +
              ".bmp\" NDATA BMP>";
  test::ParsedText p(prolog + "]><d></d>");
  CountingHandler handler;
  GraphicCache cache(&handler);
  NotationNameSet names;
  const char* key = names.Intern("BMP");
  GraphicObject* kept = cache.Get(p.document, nullptr, Entity(p, "e0"), key, nullptr, true);
  for (int i = 1; i < 7; ++i)
    cache.Get(p.document, nullptr, Entity(p, ("e" + std::to_string(i)).c_str()), key, nullptr, true)
        ->Release();
  EXPECT_EQ(cache.Count(), 7u);
  // A miss with seven cached: the least recently used unused one goes.
  cache.Get(p.document, nullptr, Entity(p, "e7"), key, nullptr, true)->Release();
  EXPECT_EQ(cache.Count(), 7u);
  EXPECT_EQ(cache.Get(p.document, nullptr, Entity(p, "e1"), key, nullptr, false), nullptr);
  // The one in use is never dropped, however old.
  cache.Get(p.document, nullptr, Entity(p, "e8"), key, nullptr, true)->Release();
  GraphicObject* again = cache.Get(p.document, nullptr, Entity(p, "e0"), key, nullptr, false);
  EXPECT_EQ(again, kept);
  again->Release();
  kept->Release();
  cache.Remove();
  EXPECT_EQ(cache.Count(), 0u);
}

TEST(GraphicCache, ClosedDocumentsAndOrphans) {
  test::EngineScope scope;
  test::ParsedText p(std::string(kProlog) + "]><d><g><g></d>");
  CountingHandler handler;
  NotationNameSet names;
  const char* key = names.Intern("XPM");
  DocumentNode* first = p.document->Root()->First();
  DocumentNode* second = first->Next();
  GraphicObject* held;
  {
    GraphicCache cache(&handler);
    held = cache.Get(p.document, first, nullptr, key, nullptr, true);
    cache.Get(p.document, second, nullptr, key, nullptr, true)->Release();
    EXPECT_EQ(cache.Get(p.document, first, nullptr, key, nullptr, false), held);
    held->Release();
    EXPECT_EQ(cache.Count(), 2u);
    cache.DocumentClosed(p.document);
    EXPECT_EQ(cache.Count(), 0u);  // the unused one deleted, the held one orphaned
    EXPECT_TRUE(held->orphaned);
  }
  held->Release();  // the orphan goes with its last use (ASan would see a leak)
}

TEST(GraphicCache, DescentFromAttributes) {
  test::EngineScope scope;
  test::ParsedText p(std::string(kProlog) +
                     "<!ENTITY big SYSTEM \"/p/1.xbm\" NDATA XBM [DESCENT=500]>"
                     "<!ENTITY neg SYSTEM \"/p/2.xbm\" NDATA XBM [DESCENT=\"-3\"]>"
                     "<!ENTITY plain SYSTEM \"/p/3.bmp\" NDATA BMP>"
                     "]><d><g valign=center><g valign=Top descent=7><g valign=bottom></d>");
  ASSERT_EQ(p.Messages(), "");
  CountingHandler handler;
  GraphicCache cache(&handler);
  NotationNameSet names;
  struct {
    EntityDecl* entity;
    DocumentNode* element;
    int descent;
  } cases[] = {
      {Entity(p, "big"), nullptr, 40},
      {Entity(p, "neg"), nullptr, 0},
      {Entity(p, "plain"), nullptr, 0},
      {nullptr, p.document->Root()->First(), 20},
      {nullptr, p.document->Root()->First()->Next(), 7},
      {nullptr, p.document->Root()->Last(), 0},
  };
  for (const auto& c : cases) {
    const char* key = c.entity ? names.FindKey(c.entity) : names.Intern("XBM");
    GraphicObject* g = cache.Get(p.document, c.element, c.entity, key, nullptr, true);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->descent, c.descent);
    g->Release();
  }
  // A picture without extent is refused at load.
  handler.height = 0;
  test::ParsedText q(std::string(kProlog) + "<!ENTITY flat SYSTEM \"/p/4.bmp\" NDATA BMP>]><d></d>");
  EXPECT_EQ(cache.Get(q.document, nullptr, Entity(q, "flat"), names.Intern("BMP"), nullptr, true),
            nullptr);
}

TEST(GraphicCache, RenderersShrinkAndFollowTheAspect) {
  GraphicObject graphic(nullptr, nullptr, nullptr, nullptr, "BMP", 400, 200);
  graphic.descent = 50;
  {
    ImageRenderer r(&graphic, nullptr);
    EXPECT_EQ(graphic.useCount, 2);
    EXPECT_EQ(r.minWidth, 8);
    r.ShrinkToWidth(100);
    EXPECT_EQ(r.width, 100);
    EXPECT_EQ(r.height, 50);
    EXPECT_EQ(r.descent, 12);
    r.ShrinkToWidth(500);  // never grows
    EXPECT_EQ(r.width, 100);
    r.ShrinkToWidth(2);  // at least 16
    EXPECT_EQ(r.width, 16);
    r.ResetSize();
    EXPECT_EQ(r.width, 400);
    r.ShrinkToHeight(1);
    EXPECT_EQ(r.height, 16);
    // Not placed: never hit.
    EXPECT_EQ(r.HitTest(1, 1), nullptr);
  }
  EXPECT_EQ(graphic.useCount, 1);
  EXPECT_EQ(graphic.renderers, nullptr);
}

TEST(Pictures, PageCountdown) {
  struct {
    int pageTime;
    std::vector<int> changes;
  } cases[] = {{500, {10, 20, 30}}, {120, {3, 5, 8, 10}}};
  for (const auto& c : cases) {
    int left = c.pageTime;
    std::vector<int> changes;
    for (int tick = 1; tick <= 30 && changes.size() < c.changes.size(); ++tick)
      if (AdvancePageCountdown(left, c.pageTime)) changes.push_back(tick);
    EXPECT_EQ(changes, c.changes) << c.pageTime;
  }
  EXPECT_EQ(ReadPageTime("120"), 120);
  EXPECT_EQ(ReadPageTime("99999999999999999999"), 3600000);
  EXPECT_EQ(ReadPageTime("x"), 1);
}

// ---- The built-in loaders on real files ------------------------------------------------------

struct TempFolder {
  std::filesystem::path path;
  explicit TempFolder(const char* name) {
    path = std::filesystem::temp_directory_path() /
           (std::string("pictures_") + name + "_" + std::to_string(getpid()));
    std::filesystem::create_directories(path);
  }
  ~TempFolder() { std::filesystem::remove_all(path); }
  std::string Write(const char* name, const std::string& bytes) {
    std::string file = (path / name).string();
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
  }
};

std::string Bmp(int width, int height) {
  std::string s(54, '\0');
  auto put = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
  };
  s[0] = 'B', s[1] = 'M';
  const std::uint32_t row = (width + 3) / 4 * 4;
  put(10, 54 + 8);
  put(14, 40);
  put(18, width);
  put(22, height);
  s[26] = 1, s[28] = 8;
  put(46, 2);
  s += std::string("\0\0\0\0\xff\xff\xff\0", 8);
  // Bottom rows (the pressed look) index 1, the top rows index 0.
  for (int y = 0; y < height; ++y) s += std::string(row, y < height / 2 ? '\1' : '\0');
  put(2, static_cast<std::uint32_t>(s.size()));
  return s;
}

TEST(Pictures, LoadersMakeMaskImagesAndMetafiles) {
  test::EngineScope scope;
  TempFolder dir("loaders");
  std::string bmp = dir.Write("b.bmp", Bmp(40, 80));
  std::string xpm = dir.Write("p.xpm",
                              "/* XPM */\nstatic char * p[] = {\"2 1 2 1\",\"a c None\",\"b c red\",\"ab\"};");
  std::string wmf;
  {
    std::vector<std::uint8_t> w(22 + 18 + 6, 0);
    w[0] = 0xD7, w[1] = 0xCD, w[2] = 0xC6, w[3] = 0x9A;
    w[10] = 0xA0, w[11] = 0x05;  // right 1440
    w[12] = 0xD0, w[13] = 0x02;  // bottom 720
    w[14] = 0xA0, w[15] = 0x05;  // 1440 per inch
    w[22] = 1, w[24] = 9, w[27] = 3, w[28] = 12;  // memory metafile, version 0x300
    w[40] = 3;  // the end record
    wmf = dir.Write("m.wmf", std::string(w.begin(), w.end()));
  }
  test::ParsedText p(std::string(kProlog) + "<!NOTATION XPM SYSTEM><!NOTATION WMF SYSTEM>" +
                     "<!ENTITY btn SYSTEM \"" + bmp + "\" NDATA BMP [ISBTN=isbtn]>" +
                     "<!ENTITY pix SYSTEM \"" + xpm + "\" NDATA XPM>" +
                     "<!ENTITY meta SYSTEM \"" + wmf + "\" NDATA WMF>" +
                     "<!ENTITY gone SYSTEM \"" + (dir.path / "none.bmp").string() +
                     "\" NDATA BMP>]><d>/* XPM */ static char * q[] = {\"1 1 1 1\",\"x c blue\",\"x\"};</d>");
  ASSERT_EQ(p.Messages(), "");
  BuiltinNotationHandler handler;
  GraphicCache cache(&handler);
  NotationNameSet names;
  auto get = [&](const char* name) {
    EntityDecl* e = Entity(p, name);
    return cache.Get(p.document, nullptr, e, names.FindKey(e), nullptr, true);
  };
  GraphicObject* button = get("btn");
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->width, 40);
  EXPECT_EQ(button->height, 40);
  EXPECT_TRUE(static_cast<MaskImage*>(button)->button);
  GraphicObject* pixmap = get("pix");
  ASSERT_NE(pixmap, nullptr);
  auto* masked = static_cast<MaskImage*>(pixmap);
  ASSERT_NE(masked->mask, nullptr);
  EXPECT_TRUE(masked->maskInside);
  GraphicObject* metafile = get("meta");
  ASSERT_NE(metafile, nullptr);
  EXPECT_EQ(metafile->width, 72);  // before the screen is measured
  EXPECT_EQ(metafile->height, 36);
  EXPECT_EQ(get("gone"), nullptr);
  // An XPM given as element content.
  GraphicObject* inline_ =
      cache.Get(p.document, p.document->Root(), nullptr, names.Intern("XPM"), nullptr, true);
  ASSERT_NE(inline_, nullptr);
  EXPECT_EQ(inline_->width, 1);
  EXPECT_EQ(ViewDib(static_cast<MaskImage*>(inline_)->picture).colors[0], 255);  // blue
  for (GraphicObject* g : {button, pixmap, metafile, inline_}) g->Release();
  // The raster notations need the imaging library, absent here.
  EXPECT_EQ(handler.LoadEntity(Entity(p, "btn"), "RGR", nullptr), nullptr);
}

}  // namespace
}  // namespace qs
