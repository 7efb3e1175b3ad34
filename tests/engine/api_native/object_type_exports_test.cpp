// Host object types: a notation the host registers, pictures and views made
// through a recording type record, and reloading them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../foundation/temp_folder.h"
#include "api/exports.h"
#include "api/records.h"
#include "foundation/engine.h"
#include "layout/entity_items.h"
#include "layout/display_box.h"
#include "style/frame.h"
#include "view/current_view.h"
#include "view/document_view.h"
#include "recording_sink.h"
#include "sgml/document.h"
#include "sgml/document_cache.h"
#include "test_device.h"
#include "view/graphic_object.h"
#include "view/host_objects.h"
#include "view/picture_services.h"
#include "view/pictures.h"

namespace qs {
namespace {

const char kDocument[] =
    "<!DOCTYPE doc [\n"
    "<!ELEMENT doc - - (#PCDATA)>\n"
    "<!NOTATION TBX SYSTEM \"tbx\">\n"
    "<!ATTLIST #NOTATION TBX mask CDATA #IMPLIED>\n"
    "<!ENTITY msk SYSTEM \"msk.tbx\" NDATA TBX>\n"
    "<!ENTITY pic SYSTEM \"pic.tbx\" NDATA TBX [mask=\"msk\"]>\n"
    "]>\n"
    "<doc>Text</doc>\n";

std::vector<std::string> g_calls;
QsObjectSize g_size{30, 8, 20, 2};
std::intptr_t g_picture = 0x100;

void Log(const std::string& text) { g_calls.push_back(text); }

std::intptr_t CreateFirst(std::intptr_t, std::intptr_t value, std::intptr_t size, std::intptr_t) {
  auto* s = reinterpret_cast<QsObjectSize*>(size);
  Log("first " + std::to_string(value) + " " + std::to_string(s->width) + "," +
      std::to_string(s->widthStep) + "," + std::to_string(s->height) + "," + std::to_string(s->descent));
  return 0;
}
std::intptr_t CreateSecond(std::intptr_t entity, std::intptr_t value, std::intptr_t size,
                           std::intptr_t mask) {
  const std::string file = mask ? reinterpret_cast<const char*>(mask) : "";
  Log("second " + std::to_string(value) + (entity ? " entity" : " none") +
      (file.size() > 7 && file.substr(file.size() - 7) == "msk.tbx" ? " mask" : ""));
  *reinterpret_cast<QsObjectSize*>(size) = g_size;
  return g_picture;
}
std::intptr_t DestroyPicture(std::intptr_t picture) {
  Log("destroy " + std::to_string(picture));
  return 0;
}
std::intptr_t ScreenView(std::intptr_t picture, std::intptr_t window, std::intptr_t size) {
  auto* s = reinterpret_cast<QsObjectSize*>(size);
  Log("screen " + std::to_string(picture) + " " + std::to_string(window) + " " + std::to_string(s->width));
  return 0x200;
}
std::intptr_t OverviewView(std::intptr_t, std::intptr_t, std::intptr_t size) {
  Log("overview " + std::to_string(reinterpret_cast<QsObjectSize*>(size)->width));
  return 0x380;
}
std::intptr_t PrintView(std::intptr_t, std::intptr_t, std::intptr_t size) {
  auto* s = reinterpret_cast<QsObjectSize*>(size);
  Log("print " + std::to_string(s->width) + "," + std::to_string(s->widthStep) + "," +
      std::to_string(s->height));
  return 0x300;
}
std::intptr_t DestroyView(std::intptr_t view) {
  Log("view gone " + std::to_string(view));
  return 0;
}
std::intptr_t Draw(std::intptr_t device, std::intptr_t rect, std::intptr_t highlight) {
  auto* d = reinterpret_cast<QsObjectDevice*>(device);
  auto* r = reinterpret_cast<QsObjectRect*>(rect);
  Log("draw " + std::to_string(d->view) + " " + std::to_string(r->x) + "," + std::to_string(r->y) +
      "," + std::to_string(r->width) + "," + std::to_string(r->height) + " " + std::to_string(highlight));
  return 0;
}
std::intptr_t SetWidth(std::intptr_t, std::intptr_t request) {
  auto* r = reinterpret_cast<std::int32_t*>(request);
  r[1] = r[0];
  r[2] = r[0] / 2;
  return 0;
}

std::intptr_t CreateForElement(std::intptr_t node, std::intptr_t value, std::intptr_t size) {
  auto* s = reinterpret_cast<QsObjectSize*>(size);
  Log("element " + std::to_string(value) + " " + QsGetElementName(static_cast<QsHandle>(node)) + " " +
      std::to_string(s->width));
  s->width = 12, s->height = 10;
  return 0x400;
}

// The host's own objects for elements (events 31 to 37).
std::intptr_t OnObjectEvent(QsWindow, std::int32_t event, QsWord a, QsWord b, QsWord) {
  switch (event) {
    case 31:
      Log("31 " + std::string(QsGetElementName(static_cast<QsHandle>(a))) + " " +
          reinterpret_cast<const char*>(b));
      return 0x600;
    case 32: {
      auto* size = reinterpret_cast<QsHostViewSize*>(b);
      Log("32 " + std::to_string(a));
      size->width = 40, size->widthStep = 8, size->height = 30, size->descent = 5;
      return 0x700;
    }
    case 33: {
      auto* record = reinterpret_cast<std::int32_t*>(b);
      Log("33 " + std::to_string(record[0]) + " " + std::to_string(record[1]));
      record[1] = record[0];
      return 0;
    }
    case 34: {
      auto* device = reinterpret_cast<QsObjectDevice*>(a);
      Log("34 " + std::to_string(device->view) + " " + std::to_string(b >> 16) + "," +
          std::to_string(static_cast<std::int16_t>(b & 0xFFFF)));
      return 0;
    }
    default:
      Log(std::to_string(event) + " " + std::to_string(a));
      return 0;
  }
}

class ObjectTypes : public testing::Test {
 protected:
  void SetUp() override {
    g_calls.clear();
    g_size = {30, 8, 20, 2};
    ASSERT_NE(QsInitialize(0, "Types", nullptr, nullptr, nullptr, temp_.dir().c_str(), nullptr), 0);
    test::TempFolder::Write(temp_.File("pic.tbx"), "x");
    test::TempFolder::Write(temp_.File("msk.tbx"), "m");
    test::TempFolder::Write(temp_.File("doc.sgm"), kDocument);
  }
  void TearDown() override { QsTerminate(); }
  Document* Parse() {
    doc_ = QsParseDocument(temp_.File("doc.sgm").c_str(), nullptr, 0, nullptr, 0);
    return doc_ ? GetEngine()->documentCache->At(0) : nullptr;
  }
  std::vector<QsWord> Record(const char* key) {
    std::vector<QsWord> words(QS_OBJECT_TYPE_WORDS, 0);
    words[0] = reinterpret_cast<QsWord>(key);
    return words;
  }

  test::TempFolder temp_;
  test::RecordingSink sink_;
  QsHandle doc_ = 0;
};

TEST_F(ObjectTypes, TypesOnAKeyAreAskedInOrder) {
  QsRegisterNotation("tbx", "tbx", reinterpret_cast<const char*>(1), nullptr);
  auto first = Record("tbx");
  first[1] = 11;
  first[2] = reinterpret_cast<QsWord>(&CreateFirst);
  auto second = Record("TBX");
  second[1] = 22;
  second[2] = reinterpret_cast<QsWord>(&CreateSecond);
  second[4] = reinterpret_cast<QsWord>(&DestroyPicture);
  second[5] = reinterpret_cast<QsWord>(&ScreenView);
  second[6] = reinterpret_cast<QsWord>(&PrintView);
  second[7] = reinterpret_cast<QsWord>(&OverviewView);
  second[8] = reinterpret_cast<QsWord>(&DestroyView);
  second[9] = reinterpret_cast<QsWord>(&Draw);
  second[14] = reinterpret_cast<QsWord>(&SetWidth);
  QsRegisterObjectType(first.data());
  QsRegisterObjectType(second.data());
  // Neither has word 3: elements are not theirs.
  EXPECT_FALSE(EngineNotationHandler().CanLoadElement(FirstHostObjectType()->Key()));

  Document* document = Parse();
  ASSERT_NE(document, nullptr);
  g_size = {64, 8, 40, 2};
  GraphicObject* graphic = GetEntityPicture(document, document->FindEntity("pic"), true);
  ASSERT_NE(graphic, nullptr);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"first 11 64,8,64,0", "second 22 entity mask"}));
  EXPECT_EQ(graphic->width, 64);
  EXPECT_EQ(graphic->height, 40);
  EXPECT_EQ(graphic->descent, 2);

  // A print view gets the sizes in the printer's pixels (600 dpi over 96).
  SetScreenDpi(96, 96);
  g_calls.clear();
  {
    test::TestDevice printer(600, 4000, 4000);
    ImageRenderer* r = graphic->MakeRenderer(&printer);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(g_calls.back(), "print 400,50,250");  // 64, 8, 40 at 600/96
    r->Draw(&printer, 10, 20, 1);
    EXPECT_EQ(g_calls.back(), "draw 768 10,20,400,250 1");
    r->Draw(&printer, -500, 20, 0);  // not on the device: not drawn
    EXPECT_EQ(g_calls.back(), "draw 768 10,20,400,250 1");
    r->SetWidth(100);
    EXPECT_EQ(r->width, 100);
    EXPECT_EQ(r->height, 50);
    delete r;
    EXPECT_EQ(g_calls.back(), "view gone 768");
  }
  SetScreenDpi(72, 72);
  // Overview panes take the second screen form.
  {
    test::TestDevice pane(72, 100, 100);
    ImageRenderer* r = graphic->MakeOverviewRenderer(&pane);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(g_calls.back(), "overview 64");
    delete r;
    EXPECT_EQ(g_calls.back(), "view gone 896");
  }
  graphic->Release();

  // Refreshing a graphic nobody uses deletes it; no view is asked for.
  g_calls.clear();
  EXPECT_EQ(QsRefreshDocumentObjects(reinterpret_cast<QsWord>(graphic)), 1);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"destroy 256"}));
  // A value that is not in the cache is not touched.
  EXPECT_EQ(QsRefreshDocumentObjects(reinterpret_cast<QsWord>(graphic)), 0);
  EXPECT_EQ(QsRefreshDocumentObjects(0), 0);

  // Refreshing one in use loads a replacement.
  graphic = GetEntityPicture(document, document->FindEntity("pic"), true);
  ASSERT_NE(graphic, nullptr);
  g_calls.clear();
  QsHandle entity = QsGetDocEntity(doc_, "pic");
  EXPECT_EQ(QsRefreshEntityObjects(entity), 1);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"first 11 64,8,64,0", "second 22 entity mask"}));
  EXPECT_TRUE(graphic->orphaned);
  graphic->Release();  // the orphan goes with its last use
  EXPECT_EQ(g_calls.back(), "destroy 256");
  EXPECT_EQ(QsRefreshEntityObjects(0), 0);
  QsReleaseHandle(entity);
}

// An item holding a graphic object as its icon, as icon and widget items
// do: message 15 replaces it, and its box shows it through the view.
class IconHolder : public LayoutItem {
 public:
  explicit IconHolder(GraphicObject* icon) : LayoutItem(0, nullptr), icon(icon) { icon->AddRef(); }
  ~IconHolder() override {
    if (icon) icon->Release();
  }
  std::int32_t GetLength() override { return 1; }
  int BreaksBefore() override { return 1; }
  int GetAscent() override { return 20; }
  int GetWidth() override { return 30; }
  void MakeBoxes(ListHead& boxes) override;
  std::intptr_t HandleMessage(int, int, int message, std::intptr_t argument) override {
    auto* change = reinterpret_cast<ObjectReplacement*>(argument);
    if (message != kMsgReplaceObject || !change || change->oldObject != icon) return 0;
    icon->Release();
    icon = static_cast<GraphicObject*>(change->newObject);
    if (icon) icon->AddRef();
    ++replaced;
    return 1;
  }
  GraphicObject* icon;
  ImageRenderer* shown = nullptr;
  int replaced = 0;
};
class IconBox : public DisplayBox {
 public:
  IconBox(IconHolder* item, void* picture) : DisplayBox(item), picture(picture) {}
  ~IconBox() override {
    if (DocumentView* view = CurrentDocumentView()) view->ReturnPicture(picture, nullptr);
  }
  void* picture;
};
void IconHolder::MakeBoxes(ListHead& boxes) {
  void* picture = icon ? CurrentDocumentView()->TakePicture(icon, nullptr) : nullptr;
  shown = static_cast<ImageRenderer*>(static_cast<GraphicRenderer*>(picture));
  boxes.Append(new IconBox(this, picture));
}
class HolderFrame : public FrameTreeNode {
 public:
  HolderFrame() : FrameTreeNode(nullptr, nullptr, 0) {}
  ~HolderFrame() override { items.DeleteAll(); }
  int GetKind() const override { return 1; }
  Pool pool;
};

TEST_F(ObjectTypes, AReloadedPictureReachesTheViewsShowingIt) {
  QsRegisterNotation("TBX", "TBX", reinterpret_cast<const char*>(1), nullptr);
  auto type = Record("TBX");
  type[1] = 22;
  type[2] = reinterpret_cast<QsWord>(&CreateSecond);
  type[4] = reinterpret_cast<QsWord>(&DestroyPicture);
  type[5] = reinterpret_cast<QsWord>(&ScreenView);
  type[6] = reinterpret_cast<QsWord>(&PrintView);  // the test device is no window
  type[8] = reinterpret_cast<QsWord>(&DestroyView);
  QsRegisterObjectType(type.data());
  Document* document = Parse();
  ASSERT_NE(document, nullptr);
  GraphicObject* graphic = GetEntityPicture(document, document->FindEntity("pic"), true);
  ASSERT_NE(graphic, nullptr);
  {
    HolderFrame frame;
    auto* first = new (frame.pool) IconHolder(graphic);
    auto* second = new (frame.pool) IconHolder(graphic);
    frame.items.Append(first);
    frame.items.Append(second);
    test::TestDevice device(72, 400, 300);
    auto* view = new test::TestView(&device);
    view->AddRef();
    view->SetFrame(&frame, 0, true);
    ASSERT_NE(first->shown, nullptr);
    ASSERT_EQ(first->shown->graphic, graphic);

    g_picture = 0x180;
    EXPECT_EQ(QsRefreshDocumentObjects(reinterpret_cast<QsWord>(graphic)), 1);
    // Both items hold the replacement, and the view shows it anew.
    EXPECT_TRUE(graphic->orphaned);
    ASSERT_NE(first->icon, graphic);
    ASSERT_NE(first->icon, nullptr);
    EXPECT_EQ(second->icon, first->icon);
    EXPECT_EQ(first->replaced, 1);
    EXPECT_EQ(second->replaced, 1);
    ASSERT_NE(first->shown, nullptr);
    EXPECT_EQ(first->shown->graphic, first->icon);
    EXPECT_EQ(second->shown->graphic, first->icon);

    view->SetFrame(nullptr, 0, false);
    view->Release();
    view->Close();
  }
  g_picture = 0x100;
  graphic->Release();  // the orphan goes with the test's use
}

TEST_F(ObjectTypes, PicturesWithoutASideAreNotMade) {
  const char* any = reinterpret_cast<const char*>(1);
  QsRegisterNotation("TBX", "TBX", any, nullptr);
  auto type = Record("TBX");
  type[2] = reinterpret_cast<QsWord>(&CreateSecond);
  type[4] = reinterpret_cast<QsWord>(&DestroyPicture);
  QsRegisterObjectType(type.data());
  g_size = {0, 8, 20, 0};
  Document* document = Parse();
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(GetEntityPicture(document, document->FindEntity("pic"), true), nullptr);
  EXPECT_EQ(g_calls.back(), "destroy 256");
  // A type with only its key and creation: every other word is skipped.
  g_size = {16, 8, 16, 0};
  GraphicObject* graphic = GetEntityPicture(document, document->FindEntity("pic"), true);
  ASSERT_NE(graphic, nullptr);
  EXPECT_EQ(graphic->MakeRenderer(nullptr), nullptr);
  graphic->Release();
  // A key given as "any" removes the rule: the entity has no picture then.
  QsRegisterNotation(any, "TBX", any, nullptr);
  g_calls.clear();
  EXPECT_EQ(GetEntityPicture(document, document->FindEntity("pic"), true), nullptr);
  EXPECT_TRUE(g_calls.empty());
  QsCloseDocument(doc_);
}

TEST_F(ObjectTypes, WidgetsOfATypeWithElementsComeFromTheElement) {
  auto type = Record("tbx");
  type[1] = 5;
  type[3] = reinterpret_cast<QsWord>(&CreateForElement);
  type[4] = reinterpret_cast<QsWord>(&DestroyPicture);
  QsRegisterObjectType(type.data());
  EXPECT_TRUE(EngineNotationHandler().CanLoadElement(FirstHostObjectType()->Key()));
  Document* document = Parse();
  ASSERT_NE(document, nullptr);
  GraphicObject* graphic = GetGraphicServices().GetWidgetGraphic(document, document->Root(), "Tbx");
  ASSERT_NE(graphic, nullptr);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"element 5 DOC 64"}));
  EXPECT_EQ(graphic->width, 12);
  // Cached: the same element asks nothing again.
  EXPECT_EQ(GetGraphicServices().GetWidgetGraphic(document, document->Root(), "TBX"), graphic);
  EXPECT_EQ(g_calls.size(), 1u);
  graphic->Release();
  graphic->Release();
  // A widget no handler draws from an element has no graphic.
  EXPECT_EQ(GetGraphicServices().GetWidgetGraphic(document, document->Root(), "PNG"), nullptr);
}

TEST_F(ObjectTypes, ElementsNothingCanShowAskTheHost) {
  for (int event = 31; event <= 37; ++event) QsSetCallback(0, event, &OnObjectEvent, 0);
  Document* document = Parse();
  ASSERT_NE(document, nullptr);
  GraphicObject* graphic = GetGraphicServices().GetWidgetGraphic(document, document->Root(), "dial");
  ASSERT_NE(graphic, nullptr);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"31 DOC DIAL"}));
  EXPECT_EQ(graphic->width, 64);
  EXPECT_EQ(graphic->height, 64);
  {
    test::TestDevice device(72, 300, 200);
    ImageRenderer* r = graphic->MakeRenderer(&device);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->width, 40);
    EXPECT_EQ(r->height, 35);
    EXPECT_EQ(r->descent, 5);
    r->Draw(&device, 10, -3, 0);
    EXPECT_EQ(g_calls.back(), "34 1792 10,-3");
    r->Draw(&device, 400, 0, 0);  // off the device: not drawn
    EXPECT_EQ(g_calls.back(), "34 1792 10,-3");
    r->SetWidth(25);
    EXPECT_EQ(g_calls.back(), "33 25 40");
    EXPECT_EQ(r->width, 25);
    delete r;
    EXPECT_EQ(g_calls.back(), "36 1792");
  }
  graphic->Release();
  GetGraphicCache().Remove();
  EXPECT_EQ(g_calls.back(), "37 1536");
}

}  // namespace
}  // namespace qs
