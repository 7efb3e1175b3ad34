#include "view/host_document_view.h"

#include "foundation/engine.h"
#include "view/window_device.h"
#include "view/window_map.h"

namespace qs {

HostDocumentView::HostDocumentView(WindowHandle window, std::uint32_t options,
                                   FrameTreeNode* frame)
    : DocumentView(frame, AttachWindowDevice(window, 0x2A, 1), 0) {
  if (auto* device = static_cast<HostWindowDevice*>(GetDevice())) device->SetScrollBarFlags(options);
  SetMode(options);
}

std::uint32_t HostDocumentView::FlagsForOptions(std::uint32_t options) {
  static const struct {
    std::uint32_t option, flag;
  } kMap[] = {
      {kOptOverviewStrip, kOverviewStrip}, {kOptSecondFormat, kSecondFormat},
      {kOptDisplay, kDisplayOption},       {kOptHistory, kRecordHistory},
      {kOptMouseSelection, kMouseSelection}, {kOptClickClears, kClickClearsHighlight},
      {kOptShareMarks, kShareMarks},
  };
  std::uint32_t flags = 0;
  for (const auto& m : kMap)
    if (options & m.option) flags |= m.flag;
  return flags;
}

void HostDocumentView::SetMode(std::uint32_t options) {
  hostOptions_ = options;
  // The bars and the shared-marks state stay as they are; the rest follows
  // the options.
  constexpr std::uint32_t kKept = kHorzBar | kVertBar | kMarksShared;
  flags_ = (flags_ & kKept) | (FlagsForOptions(options) & ~kKept);
  if (GetFrame()) {
    std::uint32_t bars = 0;
    if (options & kOptHorzBar) bars |= kHorzBar;
    if (options & kOptVertBar) bars |= kVertBar;
    flags_ = (flags_ & ~(kHorzBar | kVertBar)) | bars;
  }
}

void HostDocumentView::OnExtentChanged(int width, int height) {
  if (!(hostOptions_ & kOptReportExtent)) return;
  if (EngineBase* engine = GetEngine())
    engine->RaiseEvent(window(), kEventViewExtent, static_cast<std::int16_t>(width),
                       static_cast<std::int16_t>(height));
}

WindowHandle HostDocumentView::window() const {
  auto* device = static_cast<WindowDevice*>(GetDevice());
  return device ? device->window() : 0;
}

WindowHandle HostDocumentView::HostQuery(int what) const {
  if (what == 28) return window();
  if (what == 29) return linkedWindow;
  return 0;
}

}  // namespace qs
