// A picture view with an overview pane, and a tree view over a fixed
// document, driven by the input: graphic and window sizes, zooms, clicks,
// drags, keys, bars, the wheel and panning. The zoom stays 1..32767, the
// scroll inside the picture, and the overview's frame inside its pane.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "doc_builder.h"
#include "test_device.h"
#include "view/graphic_object.h"
#include "view/hot_areas.h"
#include "view/picture_view.h"
#include "view/tree_view.h"

namespace {

#define Check(ok)                                                         \
  do {                                                                    \
    if (!(ok)) {                                                          \
      std::fprintf(stderr, "figure_views.cpp:%d: %s\n", __LINE__, #ok);   \
      std::abort();                                                       \
    }                                                                     \
  } while (0)

class Graphic : public qs::GraphicObject {
 public:
  Graphic(int w, int h) : GraphicObject(nullptr, nullptr, nullptr, nullptr, "T", w, h) {}
  qs::ImageRenderer* MakeRenderer(qs::OutputDevice* owner) override {
    return new qs::ImageRenderer(this, owner);
  }
};

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  int Byte() { return at < size ? data[at++] : 0; }
  int Signed() { return static_cast<std::int16_t>(Byte() << 8 | Byte()); }
  bool More() const { return at < size; }
};

void Drive(qs::ViewWindow* view, Input& in, int op) {
  const int x = in.Signed() % 2000, y = in.Signed() % 2000;
  switch (op % 14) {
    case 0: view->OnPaint(); break;
    case 1: view->OnMouseMove(x, y); break;
    case 2: view->OnLButtonDown(x, y, 0); break;
    case 3: view->OnLButtonUp(x, y); break;
    case 4: view->OnRButtonDown(x, y); break;
    case 5: view->OnRButtonUp(x, y); break;
    case 6: view->OnKeyDown(0x21 + (x & 7)); break;
    case 7: view->OnScroll(x & 1, (y & 0xFF) % 5, in.Signed()); break;
    case 8: view->OnMouseWheel(x % 10, y & 1, x, y); break;
    case 9: view->OnPan(x, y); break;
    case 10: view->OnTimer(); break;
    case 11: view->OnSize(); break;
    default: break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in{data, size};
  // The picture: sides 1..4096 (a host picture below 1 is never made).
  auto* graphic = new Graphic(1 + (in.Byte() << 4 | in.Byte() >> 4), 1 + (in.Byte() << 4 | in.Byte() >> 4));
  auto* area = new qs::Region;
  area->x = static_cast<std::int16_t>(in.Byte() * 8), area->width = 512;
  area->zoom = static_cast<std::int16_t>(in.Signed());
  graphic->AddArea(area);
  {
    qs::test::TestDevice device(72, in.Byte() * 4, in.Byte() * 4);
    qs::test::TestDevice pane(72, in.Byte(), in.Byte());
    auto* view = new qs::PictureView(&device, graphic->MakeScreenRenderer(&device));
    auto* overview = new qs::OverviewView(&pane);
    view->AddOverview(overview);
    view->SetModeFlags(static_cast<std::uint32_t>(in.Byte()) & 0x3C);
    for (int steps = 0; in.More() && steps < 400; ++steps) {
      const int op = in.Byte();
      if (op >= 0xF0) {
        view->SetZoom(in.Signed(), in.Signed(), in.Signed());
      } else if (op >= 0xE0) {
        view->ShowArea(graphic->FirstArea());
      } else if (op >= 0xC0) {
        Drive(overview, in, op);
      } else if (op >= 0xB0) {
        device.width = static_cast<std::int16_t>(in.Byte() * 4);
        device.height = static_cast<std::int16_t>(in.Byte() * 4);
      } else {
        Drive(view, in, op);
      }
      Check(view->Zoom() >= 1 && view->Zoom() <= 32767);
      Check(view->ScrollX() >= 0 && view->ScrollY() >= 0);
      Check(view->ScrollX() <= std::max(0, view->ZoomedWidth() - view->ViewWidth()));
      Check(view->ScrollY() <= std::max(0, view->ZoomedHeight() - view->ViewHeight()));
      if (overview->FrameLeft() >= 0) Check(overview->FrameLeft() <= overview->DrawWidth());
    }
    pane.DetachView();
    device.DetachView();
  }
  graphic->orphaned = true;
  graphic->Release();

  // The tree: a fixed document, a window of the input's size.
  static const std::string markup = [] {
    std::string m = "<doc>";
    for (int i = 0; i < 30; ++i) m += "<sect><title>t</title><para><list><item/><item/></list></para></sect>";
    return m + "</doc>";
  }();
  qs::test::DocBuilder builder;
  builder.Build(markup.c_str());
  {
    qs::test::TestDevice device(72, in.Byte() * 2, in.Byte() * 2);
    auto* tree = new qs::TreeView(builder.Doc(), &device);
    in.at = 12;
    for (int steps = 0; in.More() && steps < 400; ++steps) {
      const int op = in.Byte();
      if (op >= 0xF0) {
        qs::DocumentNode* node = builder.Doc()->Root();
        for (int n = in.Byte(); n > 0 && node; --n) node = n & 1 ? node->First() : node->Next();
        tree->ShowNode(node);
        if (node) Check(tree->Selected() == node);
      } else {
        Drive(tree, in, op);
      }
      Check(tree->ContentWidth() > 0 && tree->ContentHeight() > 0);
    }
    tree->OnPaint();
    Check(tree->ScrollX() >= 0 && tree->ScrollY() >= 0);
    device.DetachView();
  }
  return 0;
}
