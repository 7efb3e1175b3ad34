#include "layout/entity_items.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "doc_builder.h"
#include "foundation/engine.h"
#include "foundation/entity_storage.h"
#include "foundation/paths.h"
#include "foundation/stream.h"
#include "foundation/names.h"
#include "layout/print_state.h"
#include "sgml/external_id.h"
#include "sgml/model_names.h"
#include "sgml/setup_file.h"
#include "test_device.h"
#include "../foundation/temp_folder.h"
#include "view/graphic_services.h"

#ifdef _WIN32
#include <windows.h>  // after the engine's headers: its macros rename their members
#endif

namespace qs {
namespace {

// A picture of a fixed size that fits as the pictures do: the other side
// follows the aspect ratio, the descent keeps its share of the height.
class FixedPicture : public GraphicRenderer {
 public:
  FixedPicture(int w, int h, int d) : width(w), height(h), descent(d) {}
  int width, height, descent;
  int minWidth = 16;
};

// Graphics by a table: entities and widgets named in it have a graphic
// (the picture the view makes of it); everything counts its calls.
class TableGraphics : public GraphicServices {
 public:
  TableGraphics() { previous_ = SetGraphicServices(this); }
  ~TableGraphics() override { SetGraphicServices(previous_); }
  GraphicObject* GetEntityGraphic(Document*, EntityDecl* entity) override {
    ++entityLookups;
    if (!withGraphic || std::string(entity->GetName()) != withGraphic) return nullptr;
    ++uses;
    return Token();
  }
  GraphicObject* GetWidgetGraphic(Document*, DocumentNode*, const char* widget) override {
    widgetLookups.push_back(widget);
    return nullptr;
  }
  void AddRef(GraphicObject*) override { ++uses; }
  void Release(GraphicObject*) override { --uses; }
  PictureGeometry Geometry(GraphicRenderer* picture) override {
    auto* p = static_cast<FixedPicture*>(picture);
    PictureGeometry g;
    if (!p) return g;
    g.width = p->width, g.height = p->height, g.descent = p->descent, g.minWidth = p->minWidth;
    return g;
  }
  void FitWidth(GraphicRenderer* picture, int width) override {
    auto* p = static_cast<FixedPicture*>(picture);
    p->height = p->height * width / p->width;
    p->width = width;
  }
  void FitHeight(GraphicRenderer* picture, int height) override {
    auto* p = static_cast<FixedPicture*>(picture);
    p->descent = p->descent * height / p->height;
    p->width = p->width * height / p->height;
    p->height = height;
  }
  void Draw(GraphicRenderer*, int x, int top, int pressed) override {
    drawn.push_back(std::to_string(x) + "," + std::to_string(top) + "," + std::to_string(pressed));
  }
  GraphicObject* Token() { return reinterpret_cast<GraphicObject*>(&token_); }

  const char* withGraphic = nullptr;
  int entityLookups = 0;
  std::vector<std::string> widgetLookups;
  std::vector<std::string> drawn;
  int uses = 0;

 private:
  GraphicServices* previous_;
  int token_ = 0;
};

// What the view was asked to do with entities and pictures.
class EntityView : public test::TestView {
 public:
  using TestView::TestView;
  void* TakePicture(void*, TextFormat*) override {
    pictures.push_back(std::make_unique<FixedPicture>(pictureWidth, 120, 20));
    return pictures.back().get();
  }
  void ReturnPicture(void* picture, TextFormat*) override { returned.push_back(picture); }
  void RunProgram(const char* line, EntityDecl* entity) override {
    ran.push_back(line);
    if (reallyRun) DocumentView::RunProgram(line, entity);
  }
  int ShowEntity(EntityDecl* entity, int) override {
    shown.push_back(entity->GetName());
    return 1;
  }
  int OfferEntity(EntityDecl*) override { return takes; }

  int pictureWidth = 200;
  int takes = 0;
  bool reallyRun = false;
  std::vector<std::unique_ptr<FixedPicture>> pictures;
  std::vector<void*> returned;
  std::vector<std::string> ran;
  std::vector<std::string> shown;
};

const char* g_memoryData = nullptr;
std::intptr_t Host(WindowHandle, int event, std::intptr_t, std::intptr_t b) {
  if (event != kEventResolveSystemId || !g_memoryData) return 0;
  *reinterpret_cast<std::int32_t*>(b) = 0;  // a text held in memory
  return reinterpret_cast<std::intptr_t>(g_memoryData);
}

class EntityBoxes : public testing::Test {
 protected:
  EntityBoxes() : engine(0, (tmp.dir() + "\\").c_str(), "T", &Host) {
    previous = SetEngine(&engine);
    DeleteTempFiles(nullptr);
    // A temporary folder, where data held in memory is copied for programs.
    engine.Initialize(nullptr, nullptr, nullptr, tmp.dir().c_str(), nullptr);
    engine.setup.Set(new SetupFile(nullptr));
    engine.iconHalfHeight[12] = 20;  // the external-entity icon: 16 wide, 4 below
    engine.iconHalfWidth[12] = 16;
    engine.iconEighthHeight[12] = 4;
    view = new EntityView(&device);
    PushCurrentView(view, false);
    g_memoryData = nullptr;
  }
  ~EntityBoxes() override {
    boxes.DeleteAll();
    for (LayoutItem* item : items) item->~LayoutItem();
    PopCurrentView();
    view->Release();
    docHolder.reset();
    DeleteTempFiles(nullptr);
    SetEngine(previous);
  }
  NotationDecl* Notation(const char* name, const char* publicId, const char* systemId) {
    auto* n = new NotationDecl(name);
    if (publicId) n->SetPublicId(publicId);
    if (systemId) n->SetSystemId(systemId);
    doc.GetDtd().AddNotation(n);
    return n;
  }
  EntityDecl* Entity(const char* name, NotationDecl* notation, const char* systemId = "fig.dat",
                     const char* publicId = nullptr) {
    auto* e = new ExternalEntityDecl(name, new ExternalId(name, systemId, publicId), kEntityNdata,
                                     notation);
    doc.Doc()->AddEntity(e);
    return e;
  }
  void Launch(bool byPublic, const char* key, const char* command) {
    SetupEntry* entry = byPublic ? engine.setup->AddPublic(InternName(key))
                                 : engine.setup->AddEntity(InternName(key));
    ASSERT_NE(entry, nullptr);
    entry->SetAction(SetupEntry::kLaunch, command);
  }
  EntityRefItem* Item(EntityDecl* entity, GraphicObject* icon = nullptr) {
    if (!doc.Doc()->Root()) doc.Build("<R> </R>");
    auto* mark = new (doc.Doc()->Pool()) EntityRefMark(0, entity);
    doc.Doc()->AppendMark(mark);  // the document's marks go with it
    auto* item = new (pool) EntityRefItem(doc.Doc()->Root(), mark, nullptr, icon, false);
    items.push_back(item);
    return item;
  }
  DisplayBox* Box(LayoutItem* item) {
    DisplayBox* last = static_cast<DisplayBox*>(boxes.Last());
    item->MakeBoxes(boxes);
    DisplayBox* made = static_cast<DisplayBox*>(boxes.Last());
    return made != last ? made : nullptr;
  }
  std::string Describe(DisplayBox* box) {
    if (auto* e = dynamic_cast<ExternalEntityBox*>(box))
      return "external " + std::to_string(e->ActionKind()) + (e->Picture() ? " picture" : "");
    if (dynamic_cast<GraphicBox*>(box)) return "graphic";
    if (dynamic_cast<NotationBox*>(box)) return "notation";
    return "?";
  }

  test::TempFolder tmp;
  HostedEngine engine;
  EngineBase* previous;
  test::TestDevice device;
  EntityView* view;
  TableGraphics graphics;
  std::unique_ptr<test::DocBuilder> docHolder = std::make_unique<test::DocBuilder>();
  test::DocBuilder& doc = *docHolder;
  GlobalArena pool;
  std::vector<LayoutItem*> items;
  ListHead boxes;
};

TEST_F(EntityBoxes, TheBoxIsChosenByLaunchEntryIconAndPicture) {
  const char* kPublic = "-//TEST//NOTATION VIEWER DATA//EN";  // as normalised
  Launch(true, kPublic, "viewer \\file");
  Launch(false, "CAD", "cad.exe");
  graphics.withGraphic = "photo";
  int token = 0;
  auto* icon = reinterpret_cast<GraphicObject*>(&token);
  struct Row {
    const char* entity;
    NotationDecl* notation;
    GraphicObject* icon;
    const char* expected;
  } rows[] = {
      {"byPublic", Notation("VIEWDATA", kPublic, nullptr), nullptr, "external 2"},
      {"byName", Notation("CAD", nullptr, "cad"), nullptr, "external 2"},
      {"iconOnly", Notation("PLAIN", nullptr, nullptr), icon, "external 3 picture"},
      {"photo", Notation("GIF", nullptr, nullptr), nullptr, "graphic"},
      {"nothing", Notation("TIFF", nullptr, nullptr), nullptr, "notation"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(Describe(Box(Item(Entity(row.entity, row.notation), row.icon))), row.expected)
        << row.entity;
  // The cache's use of the graphic went when the view made its picture;
  // the icon's use is the item's.
  EXPECT_EQ(graphics.uses, 1);
  EXPECT_EQ(graphics.entityLookups, 2);
  boxes.DeleteAll();
  EXPECT_EQ(view->returned.size(), 2u);  // the icon's picture and the graphic's
}

TEST_F(EntityBoxes, ActivationRunsTheLaunchProgramOrTheViewsDefault) {
  NotationDecl* data = Notation("DATA", nullptr, nullptr);
  Launch(false, "DATA", "view \\file");
  g_memoryData = "held in memory";
  EntityDecl* entity = Entity("memo", data, "memo.dat");

  DisplayBox* box = Box(Item(entity));
  view->takes = 1;  // the host takes the entity (event 47): nothing runs
  box->Activate(view, nullptr);
  EXPECT_TRUE(view->ran.empty());
  EXPECT_TRUE(view->shown.empty());

  view->takes = 0;
  box->Activate(view, nullptr);
  ASSERT_EQ(view->ran.size(), 1u);
  const std::string& line = view->ran[0];
  ASSERT_EQ(line.rfind("view ", 0), 0u) << line;
  FileInStream copy(line.substr(5).c_str(), nullptr);
  std::string text(100, '\0');
  text.resize(copy.Read(text.data(), text.size()));
  EXPECT_EQ(text, "held in memory") << line;  // a temporary copy of the data

  // An icon without an entry takes the view's default.
  int token = 0;
  Box(Item(Entity("pic", Notation("PIC", nullptr, nullptr)),
           reinterpret_cast<GraphicObject*>(&token)))
      ->Activate(view, nullptr);
  EXPECT_EQ(view->shown, std::vector<std::string>{"pic"});
}

#ifdef _WIN32
// The system starts the program: a recorder beside this test writes the
// command line it got and the data file's text it names.
TEST_F(EntityBoxes, ALaunchLineStartsARealProgramOnACopyOfTheData) {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string folder(self);
  folder.resize(folder.find_last_of('\\') + 1);
  const std::string log = tmp.dir() + "\\launch.log";
  SetEnvironmentVariableA("QS_LAUNCH_LOG", log.c_str());
  Launch(false, "DATA", (folder + "launch_recorder.exe \\file").c_str());
  g_memoryData = "held in memory";
  DisplayBox* box = Box(Item(Entity("memo", Notation("DATA", nullptr, nullptr), "memo.dat")));
  view->reallyRun = true;
  box->Activate(view, nullptr);
  ASSERT_EQ(view->ran.size(), 1u);

  std::string record;
  for (int tries = 0; tries < 200 && record.empty(); ++tries) {
    Sleep(50);
    if (FILE* f = std::fopen(log.c_str(), "rb")) {
      char text[1024];
      record.assign(text, std::fread(text, 1, sizeof text, f));
      std::fclose(f);
    }
  }
  DeleteFileA(log.c_str());
  SetEnvironmentVariableA("QS_LAUNCH_LOG", nullptr);
  ASSERT_FALSE(record.empty()) << "the recorder did not run: " << view->ran[0];
  const std::string copy = view->ran[0].substr(view->ran[0].find(' ') + 1);
  EXPECT_NE(record.find(copy + "\n"), std::string::npos) << record;
  EXPECT_EQ(record.substr(record.find('\n') + 1), "held in memory") << record;
}
#endif

TEST_F(EntityBoxes, LaunchCommandLines) {
  EntityDecl* entity = Entity("e", Notation("DATA", nullptr, nullptr), "e.dat");
  char* path = entity->GetExternalId()->GetFilePath();
  ASSERT_NE(path, nullptr);
  const std::string system = path;
  MemFree(path);
  const std::string longProgram(300, 'p'), longRest(" " + std::string(240, 'x'));
  struct Row {
    std::string command;
    EntityDecl* entity;
    std::string expected;
  } rows[] = {
      {"plain.exe", entity, "plain.exe"},                // no blank: unchanged
      {"tool\t-x \\system", entity, "tool\t-x " + system},  // split at a tab
      {"tool \\system", nullptr, "tool ?"},              // no entity path: "?"
      {"app --open=\\file now", nullptr, "app --open=? now"},
      // A long program part is kept whole before the whole expansion.
      {longProgram + longRest, nullptr, longProgram + longRest},
  };
  for (const Row& row : rows) {
    char* line = MakeLaunchCommand(row.command.c_str(), row.entity, nullptr);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(std::string(line), row.expected) << std::strlen(line) << " " << row.expected.size();
    MemFree(line);
  }
}

TEST_F(EntityBoxes, TheNotationLabelNamesNotationAndEntity) {
  auto label = [&](NotationDecl* n, const char* systemId, const char* publicId) {
    auto* box = static_cast<NotationBox*>(
        Box(Item(Entity(("e" + std::to_string(items.size())).c_str(), n, systemId, publicId))));
    return std::string(box->NotationLine()) + "|" + box->EntityLine() + "|" +
           std::to_string(box->GetAscent()) + "," + std::to_string(box->GetDescent()) + "," +
           std::to_string(box->GetWidth());
  };
  // Courier at 10 points on the test device: 6 wide, ascent 8, descent 2;
  // height 2 x 10 + 10, width the longer line + 6 + 4.
  EXPECT_EQ(label(Notation("TIFF", "-//T//NOTATION TIFF//EN", "tiff.exe"), "a.tif", nullptr),
            "NOTATION PUBLIC \"-//T//NOTATION TIFF//EN\"|ENTITY SYSTEM \"a.tif\"|30,2," +
                std::to_string(41 * 6 + 10));
  EXPECT_EQ(label(Notation("SYS", nullptr, "sys.exe"), nullptr, "-//T//DOC X//EN"),
            "NOTATION SYSTEM \"sys.exe\"|ENTITY PUBLIC \"-//T//DOC X//EN\"|30,2," +
                std::to_string(31 * 6 + 10));
  EXPECT_EQ(label(Notation("BARE", nullptr, nullptr), "b", nullptr),
            "NOTATION BARE|ENTITY SYSTEM \"b\"|30,2," + std::to_string(17 * 6 + 10));
}

TEST_F(EntityBoxes, PicturesFitTheWindowWidthAndThePage) {
  EXPECT_EQ(FittedPictureSize(200, 10), 16);
  EXPECT_EQ(FittedPictureSize(1000, 20), 40);
  EXPECT_EQ(FittedPictureSize(100, 150), 100);  // never grown
  graphics.withGraphic = "fig";
  NotationDecl* gif = Notation("GIF", nullptr, nullptr);
  auto* box = static_cast<GraphicBox*>(Box(Item(Entity("fig", gif))));
  ASSERT_NE(box, nullptr);
  auto* picture = static_cast<FixedPicture*>(box->Picture());
  EXPECT_EQ(box->GetAscent(), 100);
  EXPECT_EQ(box->GetDescent(), 20);
  box->SplitAt(10);  // not fitted without the view's option
  EXPECT_EQ(box->GetWidth(), 200);
  view->options |= DocumentView::kFitGraphics;
  box->SplitAt(10);
  EXPECT_EQ(box->GetWidth(), 16);

  // On pages: more than three quarters of a page left is the room, else a
  // whole page; without the print option nothing changes.
  struct Row {
    bool fit;
    int first, next, height;
  } rows[] = {{true, 80, 100, 80}, {true, 75, 100, 100}, {false, 80, 100, 120},
              {true, 80, 0, 120},  {true, 0, -5, 120},   {true, 200, 300, 120}};
  for (const Row& row : rows) {
    picture->width = 200, picture->height = 120, picture->descent = 20;
    GetPrintState().fitGraphicsToPage = row.fit;
    ListHead page;
    boxes.Unlink(box);
    box->AppendTo(row.first, row.next, page);
    EXPECT_EQ(page.First(), box);
    page.Unlink(box);
    boxes.Append(box);
    EXPECT_EQ(picture->height, row.height) << row.first << "/" << row.next;
  }
  GetPrintState().fitGraphicsToPage = false;
  picture->height = 0;  // an empty picture is left as it is
  GetPrintState().fitGraphicsToPage = true;
  ListHead page;
  boxes.Unlink(box);
  box->AppendTo(10, 100, page);
  page.Unlink(box);
  boxes.Append(box);
  GetPrintState().fitGraphicsToPage = false;
  EXPECT_EQ(picture->height, 0);
}

TEST_F(EntityBoxes, AWidgetWithoutGraphicIsALabelLookedUpOnce) {
  doc.Build("<R><W>x</W></R>");
  InternedName* name = InternName("X");
  auto* item = new (pool) WidgetItem(doc.Doc()->Root()->First(), name, nullptr);
  items.push_back(item);
  DisplayBox* first = Box(item);
  Box(item);  // a second layout
  EXPECT_EQ(graphics.widgetLookups, std::vector<std::string>{"X"});
  EXPECT_EQ(item->Graphic(), WidgetItem::kNoGraphic);
  // "Widget: X" in the default font: A + 2, D + 3, the label + 6.
  EXPECT_EQ(first->GetAscent(), 10);
  EXPECT_EQ(first->GetDescent(), 5);
  EXPECT_EQ(first->GetWidth(), 9 * 6 + 6);
  first->Draw(0, 20);
  EXPECT_NE(device.log.find("TEXT 2 20 Widget: X"), std::string::npos) << device.log;
}

TEST_F(EntityBoxes, ReplacingTheIconTakesOnlyTheItemsOwn) {
  int a = 0, b = 0, other = 0;
  auto* icon = reinterpret_cast<GraphicObject*>(&a);
  EntityRefItem* item = Item(Entity("e", Notation("N", nullptr, nullptr)), icon);
  EXPECT_EQ(graphics.uses, 1);
  ObjectReplacement wrong{&other, &b};
  EXPECT_EQ(item->HandleMessage(0, 0, kMsgReplaceObject, reinterpret_cast<std::intptr_t>(&wrong)), 0);
  EXPECT_EQ(item->Icon(), icon);
  ObjectReplacement right{&a, &b};
  EXPECT_EQ(item->HandleMessage(0, 0, 14, reinterpret_cast<std::intptr_t>(&right)), 0);
  EXPECT_EQ(item->HandleMessage(0, 0, kMsgReplaceObject, reinterpret_cast<std::intptr_t>(&right)), 1);
  EXPECT_EQ(item->Icon(), reinterpret_cast<GraphicObject*>(&b));
  EXPECT_EQ(graphics.uses, 1);  // the old one released, the new one held
}

// A view that records the highlight a rubber band asks for.
class RegionView : public EntityView {
 public:
  using EntityView::EntityView;
  void SetHighlight(void* object, void* region) override {
    auto* r = static_cast<PictureHotArea*>(region);
    highlights.push_back(static_cast<EntityDecl*>(object)->GetName() + std::string(" ") +
                         std::to_string(r->x) + "," + std::to_string(r->y) + "," +
                         std::to_string(r->width) + "," + std::to_string(r->height));
  }
  void Reformat() override { ++reformats; }
  std::vector<std::string> highlights;
  int reformats = 0;
};

TEST_F(EntityBoxes, ARubberBandOnAPictureHighlightsItsRegion) {
  PopCurrentView();
  auto* regions = new RegionView(&device);
  PushCurrentView(regions, false);
  graphics.withGraphic = "fig";
  auto* box = static_cast<GraphicBox*>(Box(Item(Entity("fig", Notation("GIF", nullptr, nullptr)))));
  ASSERT_NE(box, nullptr);
  HitContext context;
  // Without hot areas, links or region selection the press is not taken.
  EXPECT_EQ(box->PressRange(10, 10, context), 0);
  regions->options |= DocumentView::kRegionSelection;
  context.x0 = 100, context.y0 = 200, context.ascent = box->GetAscent();
  ASSERT_EQ(box->PressRange(50, 25, context), 1);
  EXPECT_EQ(regions->reformats, 1);  // asked; the view defers it
  // Released at (150, 75) of the 200 x 120 picture: 2048ths of its size.
  context.currentX = 100 + 150, context.currentY = 200 - 100 + 75;
  box->Activate(regions, &context);
  // A band that is a line (same x) makes no region.
  context.currentX = 100 + 50;
  box->Activate(regions, &context);
  EXPECT_EQ(regions->highlights,
            std::vector<std::string>{"fig 512,427,1024,853"});
  boxes.DeleteAll();
  PopCurrentView();
  regions->Release();
  PushCurrentView(view, false);
}

// A device that records the frames drawn and the colour they are drawn in.
class FramingDevice : public test::TestDevice {
 public:
  void SelectColor(DeviceColor* colour) override { current = colour; }
  void FrameRect(int l, int t, int r, int b) override {
    frames.push_back((current == GetColor("red") ? "red " : "other ") + std::to_string(l) + "," +
                     std::to_string(t) + "," + std::to_string(r) + "," + std::to_string(b));
  }
  DeviceColor* current = nullptr;
  std::vector<std::string> frames;
};

TEST_F(EntityBoxes, AMarkedRegionIsOutlinedWhereverItsPictureIsPlaced) {
  FramingDevice framing;
  auto* marking = new EntityView(&framing);
  PopCurrentView();
  PushCurrentView(marking, false);
  graphics.withGraphic = "fig";
  NotationDecl* gif = Notation("GIF", nullptr, nullptr);
  EntityDecl* fig = Entity("fig", gif);
  auto* box = static_cast<GraphicBox*>(Box(Item(fig)));
  auto* again = static_cast<GraphicBox*>(Box(Item(fig)));
  ASSERT_NE(box, nullptr);
  ASSERT_NE(again, nullptr);
  graphics.withGraphic = "other";
  auto* other = static_cast<GraphicBox*>(Box(Item(Entity("other", gif, "other.dat"))));
  ASSERT_NE(other, nullptr);
  const int ascent = box->GetAscent();  // the 200 x 120 picture, 20 below the baseline

  // Nothing marked: pictures draw without a frame.
  box->Draw(100, 300);
  EXPECT_TRUE(framing.frames.empty());

  PictureHotArea region;
  region.x = 512, region.y = 427, region.width = 1024, region.height = 853;
  marking->SetHighlight(fig, &region);
  EXPECT_EQ(marking->RegionEntity(), fig);
  box->Draw(100, 300);
  again->Draw(0, ascent);
  other->Draw(100, 300);
  // 512/2048 of 200 is 50, 427/2048 of 120 is 25; the frame's far edges are
  // exclusive, one past the region's.
  const int top = 300 - ascent;
  EXPECT_EQ(framing.frames,
            (std::vector<std::string>{
                "red 150," + std::to_string(top + 25) + ",251," + std::to_string(top + 75 + 1),
                "red 50,25,151,76"}));

  // A region too thin to cover a pixel still shows as one.
  region.x = 0, region.y = 0, region.width = 1, region.height = 1;
  marking->SetHighlight(fig, &region);
  framing.frames.clear();
  again->Draw(0, ascent);
  EXPECT_EQ(framing.frames, (std::vector<std::string>{"red 0,0,2,2"}));

  // The view holds the entity: it outlives the document's own use.
  const int held = fig->UseCount();
  EXPECT_GT(held, 1);
  marking->ClearRegionHighlight();
  EXPECT_EQ(marking->RegionEntity(), nullptr);
  EXPECT_EQ(fig->UseCount(), held - 1);
  framing.frames.clear();
  box->Draw(100, 300);
  EXPECT_TRUE(framing.frames.empty());

  // A null region drops the mark as well.
  marking->SetHighlight(fig, &region);
  marking->SetHighlight(fig, nullptr);
  EXPECT_EQ(marking->RegionEntity(), nullptr);

  boxes.DeleteAll();
  PopCurrentView();
  marking->Release();
  PushCurrentView(view, false);
}

}  // namespace
}  // namespace qs
