#include "view/host_document_view.h"

#include <gtest/gtest.h>

#include <vector>

#include "api/records.h"
#include "doc_builder.h"
#include "foundation/engine.h"
#include "foundation/handle_table.h"
#include "foundation/memory.h"
#include "view/window_device.h"
#include "view/window_map.h"

namespace qs {
namespace {

std::vector<std::intptr_t> g_extent;
std::intptr_t RecordExtent(WindowHandle, int event, std::intptr_t a, std::intptr_t b) {
  if (event == kEventViewExtent) g_extent = {a, b};
  return 0;
}

TEST(HostDocumentView, OptionsMapToViewFlags) {
  const struct {
    std::uint32_t option, flag;
  } cases[] = {{0x0001, 0x20}, {0x0002, 0x80}, {0x0010, 0x40}, {0x0080, 0x04},
               {0x0100, 0x08}, {0x0200, 0x10}, {0x2000, 0x100}, {0x0004, 0},
               {0x0008, 0},    {0x0400, 0},    {0x4000, 0},     {0x8000, 0}};
  for (const auto& c : cases) EXPECT_EQ(HostDocumentView::FlagsForOptions(c.option), c.flag) << c.option;
  EXPECT_EQ(HostDocumentView::FlagsForOptions(0xFFFF), 0x1FCu);
}

TEST(HostDocumentView, AttachesTheWindowAndAsksTheHost) {
  g_extent.clear();
  HostedEngine engine(0, "C:\\Home\\", "T", &RecordExtent);
  EngineBase* previous = SetEngine(&engine);
  const WindowHandle window = 0x4242;
  auto* view = new HostDocumentView(window, 0x0100 | 0x0008);
  EXPECT_EQ(FindView(window, 1), view);
  EXPECT_EQ(static_cast<WindowDevice*>(view->GetDevice())->mode, 0x2A);
  EXPECT_EQ(view->GetFlags(), 0x08u);  // no document: no bars
  EXPECT_TRUE(view->HostHooksAllowed());
  EXPECT_EQ(view->HostQuery(28), window);
  view->linkedWindow = 77;
  EXPECT_EQ(view->HostQuery(29), 77);
  view->OnExtentChanged(300, -2);
  EXPECT_TRUE(g_extent.empty());
  view->SetMode(0x4000 | 0x8000);
  EXPECT_FALSE(view->HostHooksAllowed());
  EXPECT_EQ(view->GetFlags(), 0u);
  view->OnExtentChanged(300, -2);
  EXPECT_EQ(g_extent, (std::vector<std::intptr_t>{300, -2}));
  // A second view takes the device over; the first is told and goes with
  // the device's use (the test holds one more).
  view->AddRef();
  auto* second = new HostDocumentView(window, 0);
  EXPECT_EQ(view->GetDevice(), nullptr);
  EXPECT_EQ(view->UseCount(), 1);
  EXPECT_EQ(second->GetDevice(), WindowMap::Find(window));
  view->Release();
  WindowMap::DestroyAll();
  SetEngine(previous);
}

// Host hooks: each event carries registered handles that are gone after
// it; an answer of 0 leaves the engine's default.
struct HookRecord {
  int event;
  std::uint32_t typeOfA;
  std::intptr_t b;
};
std::vector<HookRecord> g_hooks;
std::intptr_t g_answer = 0;
int g_frees = 0;
const char g_text[] = "from the host";
std::intptr_t AnswerHooks(WindowHandle, int event, std::intptr_t a, std::intptr_t b) {
  if (event == kEventFreeHostBlock) {
    ++g_frees;
    return 0;
  }
  HostedEngine* engine = GetEngine()->AsHosted();
  const Handle h = static_cast<Handle>(a);
  std::uint32_t type = 0;
  if (h && engine->handles->Lookup(h, HandleType::kNode)) type = 1;
  if (h && engine->handles->Lookup(h, HandleType::kEntity)) type = 2;
  g_hooks.push_back({event, type, b});
  if ((event == kEventElementText || event == kEventObjectText) && g_answer) {
    reinterpret_cast<QsHostTextRequest*>(b)->freeAnswer = 1;
    return reinterpret_cast<std::intptr_t>(g_text);
  }
  return g_answer;
}

TEST(HostDocumentView, HostHooksCarryHandlesForTheSpanOfTheEvent) {
  HostedEngine engine(0, "C:\\Home\\", "T", &AnswerHooks);
  EngineBase* previous = SetEngine(&engine);
  {
    test::DocBuilder doc;
    DocumentNode* root = doc.Build("<R><P>a</P><P>b</P></R>");
    DocumentNode* p = root ? static_cast<DocumentNode*>(root->FirstChild()) : nullptr;
    ASSERT_NE(p, nullptr);
    auto* view = new HostDocumentView(0x4343, 0);
    auto* frame = new FrameNode(doc.Doc(), nullptr, 0, nullptr);
    view->SetFrame(frame, 0, false);
    for (std::intptr_t answer : {0, 1}) {
      g_answer = answer;
      g_hooks.clear();
      g_frees = 0;
      EXPECT_EQ(view->AskHostForLocation(doc.Doc(), p), answer);
      char* text = view->GetHostTextForElement(p, 77);
      EXPECT_EQ(text != nullptr, answer != 0);
      if (text) EXPECT_STREQ(text, g_text);
      MemFree(text);
      EXPECT_EQ(g_frees, answer ? 1 : 0);  // the host's block handed back
      EXPECT_EQ(view->AskHostAboutElement(p, 5), answer);
      ASSERT_EQ(g_hooks.size(), 3u);
      EXPECT_EQ(g_hooks[0].event, kEventElementLocation);
      EXPECT_EQ(g_hooks[1].event, kEventElementText);
      EXPECT_EQ(g_hooks[2].event, kEventElementQuestion);
      EXPECT_EQ(g_hooks[2].b, 5);
      for (const HookRecord& h : g_hooks) EXPECT_EQ(h.typeOfA, 1u) << h.event;
      EXPECT_EQ(engine.handles->Count(), 0u);  // every handle released
    }
    view->Close();
  }
  WindowMap::DestroyAll();
  SetEngine(previous);
}

}  // namespace
}  // namespace qs
