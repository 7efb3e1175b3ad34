#include "style/navigator_node.h"

#include <cstdio>
#include <cstring>

#include "foundation/engine.h"
#include "sgml/document.h"
#include "view/current_view.h"
#include "view/document_view.h"
#include "view/output_device.h"
#include "view/ranges.h"

namespace qs {

namespace {

NavigatorMetrics g_metrics;
int g_pointQueryDepth = 0;

// A hit count stops growing a little past what it can show (">999").
constexpr int kHitCountCap = 1000;

void ComputeMetrics() {
  NavigatorMetrics m;
  if (EngineBase* engine = GetEngine()) {
    for (int i = NavigatorNode::kIconCollapsed; i <= NavigatorNode::kIconExpandedCurrent; ++i) {
      if (engine->iconHalfWidth[i] > m.iconWidth) m.iconWidth = engine->iconHalfWidth[i];
      if (engine->iconHalfHeight[i] > m.lineHeight) m.lineHeight = engine->iconHalfHeight[i];
    }
  }
  OutputDevice* device = CurrentDevice();
  if (Font* font = device ? device->GetDefaultFont(false, false) : nullptr) {
    m.fontAscent = font->ascent;
    m.fontDescent = font->descent;
    m.textHeight = static_cast<std::int16_t>(font->ascent + font->descent);
    for (char digit = '0'; digit <= '9'; ++digit) {
      const char text[3] = {digit, digit, digit};
      const int w = font->MeasureA(text, 3);
      if (w > m.countColumnWidth) m.countColumnWidth = static_cast<std::int16_t>(w);
    }
    font->DropUse();
  }
  if (m.textHeight > m.lineHeight) m.lineHeight = m.textHeight;
  g_metrics = m;
}

bool ViewShowsCounts() {
  DocumentView* view = CurrentDocumentView();
  return view && (view->viewFlags & DocumentView::kShowHitCounts);
}

void IconSize(int icon, int* width, int* height) {
  EngineBase* engine = GetEngine();
  *width = engine ? engine->iconHalfWidth[icon] : 0;
  *height = engine ? engine->iconHalfHeight[icon] : 0;
}

bool Inside(const DocumentNode* inner, const DocumentNode* outer) {
  return outer->start <= inner->start && inner->end <= outer->end;
}

}  // namespace

const NavigatorMetrics& GetNavigatorMetrics() { return g_metrics; }
void ResetNavigatorMetrics() { g_metrics = NavigatorMetrics(); }

int PointQueryDepth() { return g_pointQueryDepth; }
PointQueryScope::PointQueryScope() { ++g_pointQueryDepth; }
PointQueryScope::~PointQueryScope() { --g_pointQueryDepth; }

std::intptr_t NavigatorRangeRecord::Extent() const {
  return element ? static_cast<std::intptr_t>(element->end) : 0;
}

// ---- NavigatorNode ----------------------------------------------------------------------

NavigatorNode::NavigatorNode(DocumentNode* element, DocumentNode* titleElement, TextFormat* format,
                             std::int8_t level, std::uint8_t flags, ListHead* list)
    : LayoutItem(static_cast<std::int32_t>(titleElement->start), format),
      flags(flags),
      level(level),
      titleElement_(titleElement),
      element_(element),
      list_(list) {}

NavigatorNode::~NavigatorNode() {
  // An expanded node's children are items of the view's list and go with
  // it; a collapsed node's are nobody's but this node's.
  if (!IsExpanded()) {
    NavigatorNode* child = firstChild_;
    while (child) {
      NavigatorNode* next = child->nextSibling_;
      delete child;
      child = next;
    }
  }
  firstChild_ = lastChild_ = nullptr;
}

std::int32_t NavigatorNode::GetLength() {
  return static_cast<std::int32_t>(titleElement_->end - titleElement_->start);
}

int NavigatorNode::GetDescent() { return g_metrics.lineHeight; }

int NavigatorNode::Indent() const {
  return (ViewShowsCounts() ? g_metrics.countColumnWidth : 0) + 12 * level;
}

int NavigatorNode::MarkerRight() const { return Indent() + g_metrics.iconWidth; }

int NavigatorNode::MarkerIcon() const {
  const bool current = flags & kCurrent;
  if (!firstChild_) return current ? kIconLeafCurrent : kIconLeaf;
  if (IsExpanded()) return current ? kIconExpandedCurrent : kIconExpanded;
  return current ? kIconCollapsedCurrent : kIconCollapsed;
}

void NavigatorNode::HitCountText(int count, char out[8]) {
  if (count <= 0)
    out[0] = 0;
  else if (count < 1000)
    std::snprintf(out, 8, "%d", count);
  else
    std::memcpy(out, ">999", 5);
}

void NavigatorNode::AppendChild(NavigatorNode* child) {
  child->parent_ = this;
  child->prevSibling_ = lastChild_;
  child->nextSibling_ = nullptr;
  if (lastChild_)
    lastChild_->nextSibling_ = child;
  else
    firstChild_ = child;
  lastChild_ = child;
}

void NavigatorNode::Expand() {
  if (!firstChild_ || IsExpanded() || !list_) return;
  // Only a node in the view's list can show its children there.
  if (!Prev() && list_->First() != this) return;
  ListNode* after = this;
  for (NavigatorNode* c = firstChild_; c; c = c->nextSibling_) {
    list_->InsertAfter(after, c);
    after = c;
  }
  flags |= kExpanded;
}

void NavigatorNode::Collapse() {
  if (!firstChild_ || !IsExpanded()) return;
  for (NavigatorNode* c = firstChild_; c; c = c->nextSibling_) c->Collapse();
  for (NavigatorNode* c = firstChild_; c; c = c->nextSibling_) list_->Unlink(c);
  flags &= static_cast<std::uint8_t>(~kExpanded);
}

void NavigatorNode::MakeBoxes(ListHead& boxes) {
  markerTop = 0;
  if (g_metrics.iconWidth == 0) ComputeMetrics();
  if (titleItems.IsEmpty()) {
    boxes.Append(new NavigatorEmptyBox(this));
    return;
  }
  OutputDevice* device = CurrentDevice();
  auto* box = new NavigatorNodeBox(this, device ? device->width : 0, MarkerRight());
  if (!box) return;
  for (ViewLine* line = box->GetFirstLine(); line; line = line->GetNextLine()) {
    const int height = line->GetHeight();
    if (height == 0) continue;
    if (height > g_metrics.lineHeight) markerTop = (height - g_metrics.lineHeight) / 2;
    break;
  }
  boxes.Append(box);
}

void NavigatorNode::DrawMarker(int x, int y, int look) {
  OutputDevice* device = CurrentDevice();
  if (!device) return;
  const int right = x + Indent() + g_metrics.iconWidth;
  const int icon = MarkerIcon();
  int w, h;
  IconSize(icon, &w, &h);
  device->DrawIcon(icon, right - w, y + markerTop + (g_metrics.lineHeight - h) / 2, look);
  if (flags & kMarked) {
    IconSize(kIconMarked, &w, &h);
    device->DrawIcon(kIconMarked, right - w, y + markerTop + (g_metrics.lineHeight - h) / 2, look);
  }
}

void NavigatorNode::DrawHitCount(int x, int y) {
  OutputDevice* device = CurrentDevice();
  if (!device || hitCount == 0 || !ViewShowsCounts()) return;
  char text[8];
  HitCountText(hitCount, text);
  const std::size_t length = std::strlen(text);
  Font* font = device->GetDefaultFont(false, false);
  if (!font) return;
  device->UseFont(font);
  const int width = font->MeasureA(text, length);
  font->DropUse();
  device->SetColor(device->GetInkColor());
  device->DrawText(x + Indent() - width - 2,
                   y + markerTop + (g_metrics.lineHeight + g_metrics.textHeight) / 2 -
                       g_metrics.fontDescent,
                   text, length);
}

bool NavigatorNode::Holds(std::uint32_t position) const {
  return element_->start <= position && position < element_->end;
}

void NavigatorNode::CurrentTest(int x, int y, std::uint32_t position, bool repaint) {
  bool candidate = Holds(position);
  // The deepest visible node holding the position is the current one.
  if (candidate && IsExpanded())
    for (NavigatorNode* c = firstChild_; c; c = c->nextSibling_)
      if (c->Holds(position)) {
        candidate = false;
        break;
      }
  if (candidate == static_cast<bool>(flags & kCurrent)) return;
  flags ^= kCurrent;
  if (!repaint) return;
  OutputDevice* device = CurrentDevice();
  if (!device || device->width < 1 || device->height < 1) return;
  const int left = x + Indent();
  const int top = y + markerTop;
  const int right = left + g_metrics.iconWidth;
  const int bottom = top + g_metrics.lineHeight;
  if (DocumentView* view = CurrentDocumentView())
    view->FillBackground(left, top, right, bottom);
  else
    device->FillBackground(left, top, right, bottom);
  Draw(x, y);
}

void NavigatorNode::Fill(NodeQuery* query) {
  query->element = element_;
  query->titleElement = titleElement_;
  query->hitCount = hitCount;
  query->flags = flags;
  query->level = static_cast<std::uint8_t>(level);
}

NavigatorNode* NavigatorNode::QueryTarget(int message, NavigatorNode* parent) {
  switch (message) {
    case kNavQuerySelf: return this;
    case kNavQueryParent: return parent;
    case kNavQueryFirstChild: return firstChild_;
    case kNavQueryPrevious:
    case kNavQueryNext: {
      const bool forward = message == kNavQueryNext;
      if (parent) {
        for (NavigatorNode* s = forward ? nextSibling_ : prevSibling_; s;
             s = forward ? s->nextSibling_ : s->prevSibling_)
          if (s->level == level) return s;
        return nullptr;
      }
      if (level != 0) return nullptr;
      for (ListNode* n = forward ? Next() : Prev(); n; n = forward ? n->Next() : n->Prev()) {
        auto* item = static_cast<LayoutItem*>(n);
        if (item->HandleMessage(0, 0, kNavIdentify, 0) == 0) continue;
        auto* node = static_cast<NavigatorNode*>(item);
        if (node->level == 0) return node;
      }
      return nullptr;
    }
    default: return nullptr;
  }
}

std::intptr_t NavigatorNode::Query(int message, NodeQuery* query) {
  if (!query) return 0;
  if (!query->element) {
    Fill(query);
    return 1;
  }
  if (!Inside(query->element, element_)) return 0;
  if (query->element != element_) {
    for (NavigatorNode* c = firstChild_; c; c = c->nextSibling_)
      if (Inside(query->element, c->element_)) {
        query->node = this;
        return c->Query(message, query);
      }
  }
  NavigatorNode* found = QueryTarget(message, static_cast<NavigatorNode*>(query->node));
  if (!found) return -1;
  found->Fill(query);
  return 1;
}

std::intptr_t NavigatorNode::HandleMessage(int x, int y, int message, std::intptr_t argument) {
  switch (message) {
    case kNavCurrentRepaint:
    case kNavCurrent:
      CurrentTest(x, y, static_cast<std::uint32_t>(argument), message == kNavCurrentRepaint);
      return 0;
    case kNavCurrentElement:
      return (flags & kCurrent) ? reinterpret_cast<std::intptr_t>(element_) : 0;
    case kNavIdentify:
      return (flags & kMarked) ? 2 : 1;
    case kNavMark:
    case kNavUnmark:
      if (message == kNavMark)
        flags |= kMarked;
      else
        flags &= static_cast<std::uint8_t>(~kMarked);
      for (NavigatorNode* c = firstChild_; c; c = c->nextSibling_)
        c->HandleMessage(x, y, message, argument);
      return 0;
    case kNavCollect:
      if (auto* list = reinterpret_cast<ListHead*>(argument))
        if (auto* record = new NavigatorRangeRecord(titleElement_, element_, flags & kMarked))
          list->Append(record);
      return 0;
    case kNavCountHits: {
      int count = 0;
      if (const auto* hits = reinterpret_cast<const PairList*>(argument)) {
        for (Range* r = hits->FirstRange(); r && r->GetStart() < element_->end; r = r->NextRange()) {
          if (r->GetEnd() <= element_->start) continue;
          const bool above = count > kHitCountCap;
          ++count;
          if (above) break;
        }
      }
      hitCount = static_cast<std::int16_t>(count);
      if (firstChild_ && !IsExpanded())
        for (NavigatorNode* c = firstChild_; c; c = c->nextSibling_)
          c->HandleMessage(x, y, message, argument);
      return 0;
    }
    case kNavReveal:
      if (Holds(static_cast<std::uint32_t>(argument)) && firstChild_ && !IsExpanded()) {
        Expand();
        for (NavigatorNode* c = firstChild_; c; c = c->nextSibling_)
          c->HandleMessage(x, y, message, argument);
      }
      return 0;
    case kNavExpandedElement:
      return IsExpanded() ? reinterpret_cast<std::intptr_t>(element_) : 0;
    case kNavRestore: {
      auto* cursor = reinterpret_cast<SavedExpansion*>(argument);
      while (cursor && cursor->element->start < element_->start) cursor = cursor->NextRecord();
      while (cursor && cursor->element->start == element_->start) {
        if (cursor->element == element_) {
          Expand();
          return reinterpret_cast<std::intptr_t>(cursor);
        }
        cursor = cursor->NextRecord();
      }
      return reinterpret_cast<std::intptr_t>(cursor);
    }
    case kNavQuerySelf:
    case kNavQueryParent:
    case kNavQueryFirstChild:
    case kNavQueryPrevious:
    case kNavQueryNext:
      return Query(message, reinterpret_cast<NodeQuery*>(argument));
    case kNavClose:
      if (reinterpret_cast<DocumentNode*>(argument) != element_) return 0;
      if (!IsExpanded()) return 1;
      Collapse();
      return 2;
    case kNavOpen:
      if (reinterpret_cast<DocumentNode*>(argument) != element_) return 0;
      if (IsExpanded() || !firstChild_) return 1;
      Expand();
      return IsExpanded() ? 2 : 1;
    default:
      return LayoutItem::HandleMessage(x, y, message, argument);
  }
}

void NavigatorNode::Activate(DocumentView* view, HitContext* context) {
  if (!view || !context) return;
  PushCurrentView(view, false);
  if (context->selection == 0) {
    if (IsExpanded())
      Collapse();
    else
      Expand();
    view->Refresh();
  } else if (context->selection == 1) {
    const DocumentNode* at = (flags & kLocateBody) ? element_ : titleElement_;
    view->ShowElement(element_, titleElement_, static_cast<std::int32_t>(at->start));
  }
  PopCurrentView();
}

// ---- Boxes ---------------------------------------------------------------------------------

void NavigatorEmptyBox::Draw(int x, int y) {
  auto* node = static_cast<NavigatorNode*>(Item());
  node->DrawMarker(x, y);
  node->DrawHitCount(x, y);
}

NavigatorNodeBox::NavigatorNodeBox(NavigatorNode* node, int deviceWidth, int markerRight)
    : ParagraphBox(node, &node->titleItems, deviceWidth - (markerRight + 10),
                   kLinesLeft | kNoIndents | kNoSpaceAbove),
      titleOffset(markerRight + 4) {}

int NavigatorNodeBox::GetDescent() {
  const int title = TitleHeight();
  return title > g_metrics.lineHeight ? title : g_metrics.lineHeight;
}

void NavigatorNodeBox::Draw(int x, int y) {
  Node()->DrawMarker(x, y);
  DrawLines(x + titleOffset, y);
  Node()->DrawHitCount(x, y);
}

void NavigatorNodeBox::IconRect(int* left, int* top, int* width, int* height) {
  NavigatorNode* node = Node();
  IconSize(node->MarkerIcon(), width, height);
  *left = node->MarkerRight() - *width;
  *top = node->markerTop + (g_metrics.lineHeight - *height) / 2;
}

int NavigatorNodeBox::GetPointerKindAt(int x, int y) {
  int left, top, width, height;
  IconRect(&left, &top, &width, &height);
  NavigatorNode* node = Node();
  if (x >= left && x < left + width && y >= top && y < top + height) {
    if (!node->HasChildren()) return 10;
    return node->IsExpanded() ? 8 : 9;
  }
  if (x >= node->MarkerRight()) return 7;
  return 0;
}

std::intptr_t NavigatorNodeBox::Visit(BoxQuery& query, int x, int y) {
  if (Matches(query)) {
    NavigatorNode* node = Node();
    int left, top, width, height;
    IconRect(&left, &top, &width, &height);
    const int code = !node->HasChildren() ? 10 : (node->IsExpanded() ? 8 : 9);
    if (std::intptr_t answer =
            query.Found(code, GetStart(), GetLength(), x + left, y + top, width, height))
      return answer;
    if (std::intptr_t answer = query.Found(7, GetStart(), GetLength(), x + titleOffset, y,
                                           GetWidth() - titleOffset, GetDescent()))
      return answer;
  }
  OutputDevice* device = CurrentDevice();
  const int bottom = device ? device->height : 0x7FFF;
  int top = y;
  for (ViewLine* line = GetFirstLine(); line && top < bottom; line = line->GetNextLine()) {
    if (std::intptr_t answer = line->Visit(query, x + titleOffset + LineX(line), top, LineRoom(line)))
      return answer;
    top += line->GetHeight();
  }
  return 0;
}

int NavigatorNodeBox::PressRange(int x, int y, HitContext& context) {
  NavigatorNode* node = Node();
  if (x > node->MarkerRight()) {
    context.left = titleOffset;
    context.top = 0;
    context.right = GetWidth();
    context.bottom = GetAscent() + GetDescent();
    context.ascent = 0;
    context.selection = 1;
    return 1;
  }
  if (!node->HasChildren()) return 0;
  int left, top, width, height;
  IconRect(&left, &top, &width, &height);
  if (x < left || x >= left + width || y < top || y >= top + height) return 0;
  context.left = left;
  context.top = top;
  context.right = left + width;
  context.bottom = top + height;
  context.ascent = 0;
  context.selection = 0;
  return 1;
}

void NavigatorNodeBox::DrawFeedback(HitContext& context, int look) {
  OutputDevice* device = CurrentDevice();
  if (!device) return;
  NavigatorNode* node = Node();
  const int x = context.x0, y = context.y0 - context.ascent;
  if (context.selection == 0) {
    const int left = x + node->Indent();
    const int top = y + node->markerTop;
    const int right = left + g_metrics.iconWidth, bottom = top + g_metrics.lineHeight;
    if (DocumentView* view = CurrentDocumentView())
      view->FillBackground(left, top, right, bottom);
    else
      device->FillBackground(left, top, right, bottom);
    node->DrawMarker(x, y, look);
  } else {
    device->DrawFocusRect(x + context.left, y + context.top, x + context.right, y + context.bottom);
  }
}

void NavigatorNodeBox::PressFeedbackIfInside(HitContext& context) {
  DrawFeedback(context, context.ContainsSecondPoint() ? 0 : 1);
}

void NavigatorNodeBox::PressFeedbackOff(HitContext& context) { DrawFeedback(context, 1); }

DisplayBox* NavigatorNodeBox::ChildAt(int x, int y, int* outX, int* outY) {
  if (PointQueryDepth() > 0) return ParagraphBox::ChildAt(x - titleOffset, y, outX, outY);
  *outX = x, *outY = y;
  return this;
}

}  // namespace qs
