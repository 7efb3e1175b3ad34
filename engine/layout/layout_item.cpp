#include "layout/layout_item.h"

#include "layout/display_box.h"
#include "style/text_format.h"
#include "view/current_view.h"

namespace qs {

LayoutItem::LayoutItem(std::int32_t position, TextFormat* format)
    : format_(format), position_(position) {
  if (format_) format_->AddRef();
}

LayoutItem::~LayoutItem() {
  if (format_) format_->Release();
}

Font* LayoutItem::GetFont() { return format_ ? format_->GetFont() : nullptr; }
DeviceColor* LayoutItem::TextColor() { return format_ ? format_->ResolveColor() : nullptr; }
int LayoutItem::LeftIndent() { return format_ ? ScaleByDpi(format_->leftIndent) : 0; }
int LayoutItem::FirstIndent() { return format_ ? ScaleByDpi(format_->firstIndent) : 0; }
int LayoutItem::RightIndent() { return format_ ? ScaleByDpi(format_->rightIndent) : 0; }
int LayoutItem::Leading() { return format_ ? PointsToDeviceY(format_->leading) : 0; }
int LayoutItem::BaselineOffset() { return format_ ? format_->baselineOffset : 0; }
int LayoutItem::Justify() { return format_ ? format_->JustifyBits() : 0; }
int LayoutItem::LinkSourceHidden() { return format_ && format_->LinkSourceHidden(); }
int LayoutItem::LinkTargetHidden() { return format_ && format_->LinkTargetHidden(); }
int LayoutItem::LineStyle() { return format_ ? format_->LineBits() : 0; }
int LayoutItem::ChangeBar() { return format_ && format_->ChangeBar(); }

void LayoutItem::MakeBoxes(ListHead& boxes) {
  if (auto* box = new DisplayBox(this)) boxes.Append(box);
}

void LayoutItem::InvertItemRect(HitContext& c) {
  OutputDevice* device = CurrentDevice();
  if (!device) return;
  const int top = c.y0 - GetAscent() - BaselineOffset();
  device->InvertRect(c.x0 + c.left, top + c.top, c.x0 + c.right, top + c.bottom);
}

int BreakItem::GetSpaceAbove() { return PointsToDeviceY(spaceAbove_); }

std::int32_t BreakItem::CopyText(std::int32_t, std::int32_t, char* output, std::size_t room) {
  static const char kLineEnd[2] = {13, 10};
  std::int32_t n = 0;
  for (; n < 2 && static_cast<std::size_t>(n) < room; ++n) output[n] = kLineEnd[n];
  return n;
}

}  // namespace qs
