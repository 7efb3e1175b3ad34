#include "view/document_view.h"

#include "foundation/engine.h"
#include "layout/layout_item.h"
#include "style/frame.h"
#include "view/current_view.h"
#include "view/view_line.h"

namespace qs {

DocumentView::DocumentView(FrameTreeNode* frame, OutputDevice* device, std::uint32_t flags)
    : ViewWindow(device), flags_(flags), frame_(frame) {}

DocumentView::~DocumentView() = default;

Document* DocumentView::GetDocument() {
  FrameNode* top = frame_ ? frame_->GetFrame() : nullptr;
  return top ? top->GetDocument() : nullptr;
}

StyleSheet* DocumentView::GetStyleSheet() { return frame_ ? frame_->GetStyleSheet() : nullptr; }

LayoutItem* DocumentView::FirstFrameItem() const {
  return frame_ ? static_cast<LayoutItem*>(frame_->items.First()) : nullptr;
}

ViewLine* DocumentView::FirstLine() const {
  return firstShown ? firstShown : static_cast<ViewLine*>(lines.First());
}

void DocumentView::InvertRange(std::int32_t start, std::int32_t end) {
  OutputDevice* device = GetDevice();
  if (!device || start >= end) return;
  PushCurrentView(this, false);
  RangeEntry entry;
  entry.start = start;
  entry.end = end;
  int y = verticalOffset;
  for (ViewLine* line = FirstLine(); line && y < device->height; line = line->GetNextLine()) {
    if (line->GetEnd() > start && line->GetStart() < end)
      line->DrawMarks(line->LeftIndent() - horizontalOffset, y,
                      device->width - line->LeftIndent() - line->RightIndent(), &entry);
    y += line->GetHeight();
  }
  PopCurrentView();
}

void DocumentView::FillBackground(int x1, int y1, int x2, int y2) {
  OutputDevice* device = GetDevice();
  if (!device) return;
  if (background)
    device->FillRect(x1, y1, x2, y2, background);
  else
    device->FillBackground(x1, y1, x2, y2);
}

void DocumentView::RunProgram(const char* commandLine, EntityDecl*) {
  if (EngineBase* engine = GetEngine(); engine && commandLine) engine->RunProgram(commandLine);
}

void DocumentView::Broadcast(int message, std::intptr_t argument) {
  OutputDevice* device = GetDevice();
  if (!device) return;
  PushCurrentView(this, false);
  int y = verticalOffset;
  for (ViewLine* line = FirstLine(); line; line = line->GetNextLine()) {
    line->SendToBoxes(line->LeftIndent() - horizontalOffset, y + line->ascent,
                      device->width - line->LeftIndent() - line->RightIndent(), message, argument);
    y += line->GetHeight();
  }
  PopCurrentView();
}

}  // namespace qs
