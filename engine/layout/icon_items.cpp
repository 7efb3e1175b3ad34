#include "layout/icon_items.h"

#include "layout/char_boxes.h"
#include "sgml/document.h"
#include "style/frame.h"
#include "style/style_sheet.h"
#include "view/current_view.h"
#include "view/document_view.h"
#include "view/graphic_services.h"
#include "layout/entity_items.h"

namespace qs {

namespace {
FollowLinkHook g_followLink = nullptr;
}  // namespace

void SetFollowLinkHook(FollowLinkHook hook) { g_followLink = hook; }

void FollowLinkFromLayout(DocumentView* view, DocumentNode* element, int how) {
  if (g_followLink) g_followLink(view, element, how);
}

// ---- Rulers ----------------------------------------------------------------------------

void RulerItem::MakeBoxes(ListHead& boxes) {
  // So wide that the line breaker always cuts it to the room it has.
  width_ = 30000;
  if (auto* box = new RuleBox(this)) boxes.Append(box);
}

void RulerItem::Draw(int x, int y) {
  OutputDevice* device = CurrentDevice();
  if (!device) return;
  device->SetColor(TextColor());
  device->DrawLine(x, y, x + width_, y);
  device->DrawLine(x, y + 1, x + width_, y + 1);
}

// ---- Marker icons ----------------------------------------------------------------------

int MarkerIconItem::GetAscent() { return StockIconMetrics(icon_).ascent; }
int MarkerIconItem::GetDescent() { return StockIconMetrics(icon_).descent; }
int MarkerIconItem::GetWidth() { return StockIconMetrics(icon_).width; }

void MarkerIconItem::Draw(int x, int y) {
  if (OutputDevice* device = CurrentDevice()) device->DrawIcon(icon_, x, y - GetAscent(), 1);
}

namespace {

// Icons invert their whole rectangle when a range covers any of their
// positions; one that covers none is never marked.
void HighlightIcon(LayoutItem* item, MarkRecord& record, int width) {
  const std::int32_t length = item->GetLength();
  RangeEntry* range = record.entry;
  if (length == 0 || !range) return;
  if (range->end > item->Position() && range->start < item->Position() + length)
    if (OutputDevice* device = CurrentDevice())
      device->InvertRect(record.x, record.top, record.x + width, record.top + record.height);
}

}  // namespace

void MarkerIconItem::HighlightRanges(MarkRecord& record) { HighlightIcon(this, record, GetWidth()); }

void MarkerIconItem::ShowIcon(HitContext& c, int look) {
  const int b = c.y0 - GetAscent() - BaselineOffset();
  if (DocumentView* view = CurrentDocumentView())
    view->FillBackground(c.x0 + c.left, b + c.top, c.x0 + c.right, b + c.bottom);
  if (OutputDevice* device = CurrentDevice()) device->DrawIcon(icon_, c.x0 + c.left, b + c.top, look);
}

void MarkerIconItem::PressFeedbackIfInside(HitContext& context) {
  if (context.ContainsSecondPoint()) ShowIcon(context, 0);
}

void MarkerIconItem::PressFeedbackOff(HitContext& context) { ShowIcon(context, 1); }

LinkTargetMarkerItem::LinkTargetMarkerItem(DocumentNode* element, TextFormat* format)
    : MarkerIconItem(static_cast<std::int32_t>(element->start), 0, format), element_(element) {}

int LinkTargetMarkerItem::PressRange(int, int, HitContext& context) {
  ViewRange::InitFromItem(context, this);
  return 1;
}

void LinkTargetMarkerItem::Activate(DocumentView* view, HitContext*) {
  FollowLinkFromLayout(view, element_, kFollowLinkSources);
}

EmptyLinkSourceItem::EmptyLinkSourceItem(DocumentNode* element, TextFormat* format)
    : MarkerIconItem(static_cast<std::int32_t>(element->end), 1, format), element_(element) {}

int EmptyLinkSourceItem::PressRange(int, int, HitContext& context) {
  ViewRange::InitFromItem(context, this);
  return 1;
}

void EmptyLinkSourceItem::Activate(DocumentView* view, HitContext*) {
  FollowLinkFromLayout(view, element_, kFollowOwnLinks);
}

// ---- Element icons -----------------------------------------------------------------------

ElementIconItem::ElementIconItem(DocumentNode* element, TextFormat* format, FrameTreeNode* view,
                                 const char* icon)
    : LayoutItem(static_cast<std::int32_t>(element->start), format),
      end_(static_cast<std::int32_t>(element->end)) {
  if (view) frame_ = new FrameTreeNode(view, element, 0);
  StyleSheet* sheet = frame_ ? frame_->GetStyleSheet() : nullptr;
  // The answer carries the use the item holds.
  if (sheet && icon) image_ = GetGraphicServices().GetIconGraphic(sheet, icon);
}

ElementIconItem::~ElementIconItem() {
  if (image_) GetGraphicServices().Release(image_);
}

int ElementIconItem::GetAscent() { return StockIconMetrics(kElementIcon).ascent; }
int ElementIconItem::GetDescent() { return StockIconMetrics(kElementIcon).descent; }
int ElementIconItem::GetWidth() { return StockIconMetrics(kElementIcon).width; }

DocumentNode* ElementIconItem::GetElement() { return frame_ ? frame_->root : nullptr; }

void ElementIconItem::MakeBoxes(ListHead& boxes) {
  DocumentView* view = CurrentDocumentView();
  if (image_ && view)
    if (auto* picture = static_cast<GraphicRenderer*>(view->TakePicture(image_, Format()))) {
      boxes.Append(new ElementIconBox(this, picture));
      return;
    }
  if (auto* box = new DisplayBox(this)) boxes.Append(box);
}

void ElementIconItem::Draw(int x, int y) {
  if (OutputDevice* device = CurrentDevice()) device->DrawIcon(kElementIcon, x, y - GetAscent(), 1);
}

void ElementIconItem::HighlightRanges(MarkRecord& record) { HighlightIcon(this, record, GetWidth()); }

std::int32_t ElementIconItem::GetTextLength(std::int32_t from, std::int32_t to) {
  if (!frame_) return 0;
  std::int64_t sum = 0;
  for (auto* n = frame_->items.First(); n; n = n->Next())
    sum += static_cast<LayoutItem*>(n)->GetTextLength(from, to);
  return sum > 0x3FFFFFFF ? 0x3FFFFFFF : static_cast<std::int32_t>(sum);
}

std::int32_t ElementIconItem::CopyText(std::int32_t from, std::int32_t to, char* output,
                                       std::size_t room) {
  if (!frame_) return 0;
  std::size_t written = 0;
  for (auto* n = frame_->items.First(); n && written < room; n = n->Next()) {
    const std::int32_t w = static_cast<LayoutItem*>(n)->CopyText(from, to, output + written, room - written);
    if (w > 0) written += static_cast<std::size_t>(w) <= room - written ? w : room - written;
  }
  return static_cast<std::int32_t>(written);
}

int ElementIconItem::PressRange(int, int, HitContext& context) {
  ViewRange::InitFromItem(context, this);
  return 1;
}

void ElementIconItem::Activate(DocumentView* view, HitContext*) {
  if (!frame_) return;
  for (OwnedNode* n = FrameViews().First(); n; n = n->Next()) {
    auto* shown = static_cast<FrameView*>(n);
    if (shown->ShownFrame() == frame_) {
      shown->BringToFront();
      return;
    }
  }
  if (view && frame_->root)
    view->ShowElement(frame_->root, nullptr, static_cast<std::int32_t>(frame_->root->start));
}

std::intptr_t ElementIconItem::HandleMessage(int, int, int message, std::intptr_t argument) {
  auto* change = reinterpret_cast<ObjectReplacement*>(argument);
  if (message != kMsgReplaceObject || !change || !image_ || change->oldObject != image_) return 0;
  GraphicServices& graphics = GetGraphicServices();
  graphics.Release(image_);
  image_ = static_cast<GraphicObject*>(change->newObject);
  if (image_) graphics.AddRef(image_);
  return 1;
}

// ---- Element icon pictures ---------------------------------------------------------------

ElementIconBox::~ElementIconBox() {
  if (DocumentView* view = CurrentDocumentView()) view->ReturnPicture(picture_, Item()->Format());
}

int ElementIconBox::GetAscent() {
  const PictureGeometry g = GetGraphicServices().Geometry(picture_);
  return g.height - g.descent;
}

int ElementIconBox::GetDescent() { return GetGraphicServices().Geometry(picture_).descent; }

int ElementIconBox::GetWidth() { return GetGraphicServices().Geometry(picture_).width; }

void ElementIconBox::HighlightRanges(MarkRecord& record) { HighlightIcon(Item(), record, GetWidth()); }

void ElementIconBox::Draw(int x, int y) { GetGraphicServices().Draw(picture_, x, y - GetAscent(), 0); }

int ElementIconBox::PressRange(int, int, HitContext& context) {
  ViewRange::Init(context, this);
  return 1;
}

void ElementIconBox::Show(HitContext& context, int pressed) {
  const int top = context.y0 - GetAscent() - BaselineOffset();
  if (DocumentView* view = CurrentDocumentView())
    view->FillBackground(context.x0 + context.left, top + context.top, context.x0 + context.right,
                         top + context.bottom);
  GetGraphicServices().Draw(picture_, context.x0 + context.left, top + context.top, pressed);
}

void ElementIconBox::PressFeedbackIfInside(HitContext& context) {
  if (context.ContainsSecondPoint()) Show(context, 1);
}

void ElementIconBox::PressFeedbackOff(HitContext& context) { Show(context, 0); }

}  // namespace qs
