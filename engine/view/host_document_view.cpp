#include "view/host_document_view.h"

#include "foundation/engine.h"
#include "style/frame.h"
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
  // The frame level goes to the shown document's frame.
  if (FrameTreeNode* frame = GetFrame()) {
    std::uint32_t level = 0;
    if (options & kOptHorzBar) level |= 1;
    if (options & kOptVertBar) level |= 2;
    if (FrameNode* top = frame->GetFrame(); top && (top->GetFlags() & 3) != level)
      top->SetFlags((top->GetFlags() & ~3u) | level);
  }
}

void HostDocumentView::OnDeviceClosed() {
  AddRef();
  ViewWindow::OnDeviceClosed();
  SetFrame(nullptr, 0, false);
  Close();
  Release();
}

void HostDocumentView::OnPaint() {
  const WindowHandle own = window();
  if (Document* document = GetDocument(); document && own) {
    // Views that follow this one take its top; this one follows its own
    // linked window.
    for (DocumentView* v = ViewList::First(); v; v = ViewList::Next(v)) {
      if (v == this || v->GetDocument() != document) continue;
      auto* device = static_cast<WindowDevice*>(v->GetDevice());
      if (!device || device->view != v || !WindowMap::Find(device->window())) continue;
      auto* host = static_cast<HostDocumentView*>(v);
      if (host->linkedWindow == own && host->GetFirstShownPosition() != GetFirstShownPosition())
        host->ShowPosition(GetFirstShownPosition());
    }
    if (linkedWindow)
      if (DocumentView* leader = FindDocumentView(linkedWindow);
          leader && leader != this && leader->GetDocument() == document &&
          leader->GetFirstShownPosition() != GetFirstShownPosition())
        ShowPosition(leader->GetFirstShownPosition());
  }
  DocumentView::OnPaint();
  ReportPlace();
}

void HostDocumentView::ReportPlace() {
  const std::int32_t top = GetFirstShownPosition();
  const std::int32_t second = GetLastShownPosition();
  if (top == lastTop && second == lastSecond) return;
  lastTop = top;
  lastSecond = second;
  if (EngineBase* engine = GetEngine()) engine->RaiseEvent(window(), kEventDocViewChanged, 0, 0);
}

void HostDocumentView::OnScroll(int horizontal, int code, int position) {
  if (code == 4 && GetFrame())
    if (auto* device = static_cast<WindowDevice*>(GetDevice())) device->MoveThumb(horizontal != 0, position);
  DocumentView::OnScroll(horizontal, code, position);
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
