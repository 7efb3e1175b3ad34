// The current-view bracket: while a view lays out, draws or is hit-tested,
// it and its output device are current, and layout objects measure and
// scale through that device. Brackets nest; each push is undone by its pop.
#pragma once
#include <cstdint>

namespace qs {

class DocumentView;
class OutputDevice;
class ViewWindow;

inline constexpr int kCurrentViewDepth = 15;

// Saves the current pair, takes a reference to `view` and makes it and its
// device current; with `select` the device's drawing state is begun (and
// ended again by the pop). Either may be null. Past 15 saved views the
// push is counted and changes nothing, and its pop is ignored.
void PushCurrentView(ViewWindow* view, bool select);
void PopCurrentView();
ViewWindow* CurrentView();
// The current view when it is a document view (kind 1), else null.
DocumentView* CurrentDocumentView();
OutputDevice* CurrentDevice();
int CurrentViewDepth();
int DroppedViewPushes();

// Points to the current device's units, truncating; 72 dpi without one.
int ScaleByDpi(int points);
int PointsToDeviceY(int points);

// A device made current for a span without a view (measuring outside any
// view, tests, tools): pushes a pair of (no view, device).
class DeviceScope {
 public:
  explicit DeviceScope(OutputDevice* device);
  ~DeviceScope();
  DeviceScope(const DeviceScope&) = delete;
  DeviceScope& operator=(const DeviceScope&) = delete;
};

}  // namespace qs
