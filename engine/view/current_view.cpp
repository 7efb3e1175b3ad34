#include "view/current_view.h"

#include "view/document_view.h"
#include "view/output_device.h"

namespace qs {

namespace {

struct Saved {
  ViewWindow* view;
  OutputDevice* device;
  bool selected;
};

struct Bracket {
  ViewWindow* view = nullptr;
  OutputDevice* device = nullptr;
  bool selected = false;
  Saved saved[kCurrentViewDepth] = {};
  int depth = 0;
  int dropped = 0;
};

Bracket& State() {
  static Bracket bracket;
  return bracket;
}

void PushPair(ViewWindow* view, OutputDevice* device, bool select) {
  Bracket& b = State();
  if (b.depth >= kCurrentViewDepth) {
    ++b.dropped;
    return;
  }
  b.saved[b.depth++] = {b.view, b.device, b.selected};
  if (view) view->AddRef();
  b.view = view;
  b.device = device;
  b.selected = select && device;
  if (b.selected) device->BeginDraw();
}

}  // namespace

void PushCurrentView(ViewWindow* view, bool select) {
  PushPair(view, view ? view->GetDevice() : nullptr, select);
}

void PopCurrentView() {
  Bracket& b = State();
  if (b.dropped > 0) {
    --b.dropped;
    return;
  }
  if (b.depth == 0) return;
  ViewWindow* popped = b.view;
  // The device may have gone with its window while the bracket was open.
  if (b.selected && b.device && (!popped || popped->GetDevice() == b.device)) b.device->EndDraw();
  const Saved& s = b.saved[--b.depth];
  b.view = s.view;
  b.device = s.device;
  b.selected = s.selected;
  if (popped) popped->Release();
}

ViewWindow* CurrentView() { return State().view; }

DocumentView* CurrentDocumentView() {
  ViewWindow* view = State().view;
  return view && view->GetKind() == 1 ? static_cast<DocumentView*>(view) : nullptr;
}

OutputDevice* CurrentDevice() { return State().device; }
int CurrentViewDepth() { return State().depth; }
int DroppedViewPushes() { return State().dropped; }

int ScaleByDpi(int points) {
  const OutputDevice* device = State().device;
  return device ? device->ScaleByDpi(points) : points;
}

int PointsToDeviceY(int points) {
  const OutputDevice* device = State().device;
  return device ? device->PointsToDeviceY(points) : points;
}

DeviceScope::DeviceScope(OutputDevice* device) { PushPair(nullptr, device, false); }
DeviceScope::~DeviceScope() { PopCurrentView(); }

}  // namespace qs
