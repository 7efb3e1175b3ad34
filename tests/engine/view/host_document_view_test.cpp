#include "view/host_document_view.h"

#include <gtest/gtest.h>

#include <vector>

#include "foundation/engine.h"
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

}  // namespace
}  // namespace qs
