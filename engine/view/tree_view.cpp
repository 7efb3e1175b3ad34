#include "view/tree_view.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "foundation/engine.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/node_flags.h"
#include "style/frame.h"
#include "view/current_view.h"
#include "view/document_view.h"
#include "view/window_device.h"
#include "view/window_map.h"

namespace qs {

namespace {

constexpr int kVkPageUp = 0x21, kVkPageDown = 0x22, kVkUp = 0x26, kVkDown = 0x28;
constexpr int kLine = 10;
constexpr int kScrollRange = 8192;
constexpr int kDragSlop = 3;
constexpr int kGap = 8;
constexpr int kMargin = 5;

bool Expanded(const DocumentNode* node) { return !(node->flags & kNodeCollapsed); }

const char* Label(const DocumentNode* node) {
  const char* name = node->GetNameText();
  return name ? name : "";
}

int Clip(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, -1000000000, 1000000000));
}

}  // namespace

TreeView::TreeView(Document* document, OutputDevice* device)
    : ViewWindow(device), document_(document ? document->AddRef() : nullptr) {
  if (!device) return;
  DeviceScope scope(device);
  font_ = device->GetDefaultFont(false, false);
  boxHeight_ = font_ ? font_->ascent + font_->descent + 2 : 12;
  int widest = 0;
  if (font_ && document_) {
    if (Dtd* dtd = document_->GetDtd()) {
      for (ElementTypeDecl* type = dtd->FirstElement(); type; type = dtd->NextElement())
        if (const char* name = type->NameText())
          widest = std::max(widest, font_->Measure(name, std::strlen(name)));
    } else if (DocumentNode* root = document_->Root()) {
      widest = font_->Measure(Label(root), std::strlen(Label(root)));
    }
  }
  boxWidth_ = widest + boxHeight_ + 4;
  Layout();
}

TreeView::~TreeView() {
  if (document_) document_->Release();
}

void TreeView::OnDeviceClosed() {
  AddRef();
  ViewWindow::OnDeviceClosed();
  Release();
  Release();
}

void TreeView::Repaint() {
  if (OutputDevice* d = GetDevice()) d->Invalidate();
}

// Visits the shown nodes in document order at their places from the origin
// (the root's box top-left): visit (node, x, y, firstChild) returns true to
// stop; leave (node, x, y, firstChildY, lastChildY, more) follows each
// expanded node's children, `more` when the walk stopped among them.
template <class Visit>
bool TreeView::Walk(int originX, int originY, bool stopBelowView, Visit&& visit) {
  DocumentNode* node = document_ ? document_->Root() : nullptr;
  if (!node) return false;
  struct Frame {
    DocumentNode* node;
    std::int64_t x, y, firstY, lastY;
  };
  std::vector<Frame> stack;
  const std::int64_t column = boxWidth_ + kGap, row = boxHeight_ + kGap;
  std::int64_t x = originX, y = originY;
  // The walk stops at `child` (`below`: a row under the view): each open
  // node is left, with `more` when children of it follow unseen.
  auto leaveAll = [&](DocumentNode* child, bool below) {
    bool more = below || child->Next();
    while (!stack.empty()) {
      const Frame f = stack.back();
      stack.pop_back();
      visit.Leave(f.node, f.x, f.y, f.firstY, f.lastY, more);
      more = f.node->Next() != nullptr;
    }
  };
  if (stopBelowView && y > viewHeight_) return false;
  if (visit(node, x, y, true)) return true;
  for (;;) {
    if (Expanded(node) && node->First()) {
      stack.push_back({node, x, y, y, y});
      node = node->First();
      x += column;
      if (visit(node, x, y, true)) {
        leaveAll(node, false);
        return true;
      }
      continue;
    }
    for (;;) {
      if (stack.empty()) return false;
      if (DocumentNode* next = node->Next()) {
        node = next;
        y += row;
        if (stopBelowView && y > viewHeight_) {
          leaveAll(node, true);
          return false;
        }
        stack.back().lastY = y;
        if (visit(node, x, y, false)) {
          leaveAll(node, false);
          return true;
        }
        break;
      }
      const Frame f = stack.back();
      stack.pop_back();
      visit.Leave(f.node, f.x, f.y, f.firstY, f.lastY, false);
      node = f.node;
      x = f.x;
    }
  }
}

namespace {

// A visitor from a lambda, with nothing to do on leaving.
template <class F>
struct Visitor {
  F f;
  bool operator()(DocumentNode* n, std::int64_t x, std::int64_t y, bool first) { return f(n, x, y, first); }
  void Leave(DocumentNode*, std::int64_t, std::int64_t, std::int64_t, std::int64_t, bool) {}
};
template <class F>
Visitor<F> MakeVisitor(F f) {
  return Visitor<F>{f};
}

}  // namespace

void TreeView::Layout() {
  contentHeight_ = boxHeight_ + kGap;
  contentWidth_ = boxWidth_ + kGap;
  Walk(boxWidth_ + kGap, 0, false,
       MakeVisitor([&](DocumentNode* node, std::int64_t x, std::int64_t, bool first) {
         contentWidth_ = std::max(contentWidth_, x);
         if (!first && node->Parent()) contentHeight_ += boxHeight_ + kGap;
         return false;
       }));
  contentHeight_ += 10;
  contentWidth_ += 10;
}

void TreeView::DrawNode(DocumentNode* node, int x, int y) {
  OutputDevice* d = GetDevice();
  const int h = boxHeight_, w = boxWidth_;
  if (y + h < 0 || y > viewHeight_ || x + w < 0 || x > viewWidth_) return;
  d->FrameRect(x, y, x + w, y + h);
  d->DrawLine(x + 1, y + h + 1, x + w + 1, y + h + 1);
  d->DrawLine(x + w + 1, y + 1, x + w + 1, y + h + 1);
  if (IsCurrent(node)) d->FrameRect(x - 2, y - 2, x + w + 2, y + h + 2);
  const char* name = Label(node);
  d->DrawText(x + h + 1, y + (font_ ? font_->ascent : 0) + 1, name, std::strlen(name));
  if (node->First() && !Expanded(node)) {
    d->DrawLine(x + 2, y + 2, x + h - 2, y + h - 2);
    d->DrawLine(x + h - 2, y + 2, x + 2, y + h - 2);
  }
  if (node->Parent()) {
    const bool first = node->Parent()->First() == node;
    d->DrawLine(x - (first ? kGap : 4), y + h / 2, x, y + h / 2);
  }
  if (node == selected_) d->InvertRect(x + 1, y + 1, x + w - 1, y + h - 1);
}

bool TreeView::IsCurrent(const DocumentNode* node) const {
  return std::find(current_.begin(), current_.end(), node) != current_.end();
}

void TreeView::OnPaint() {
  OutputDevice* d = GetDevice();
  if (!d) return;
  AddRef();
  PushCurrentView(this, false);
  viewWidth_ = d->width, viewHeight_ = d->height;
  scrollX_ = std::max<std::int64_t>(0, std::min<std::int64_t>(scrollX_, contentWidth_ - viewWidth_));
  scrollY_ = std::max<std::int64_t>(0, std::min<std::int64_t>(scrollY_, contentHeight_ - viewHeight_));
  d->font = nullptr;
  if (font_) d->UseFont(font_);
  d->SetColor(d->GetInkColor());
  // The elements the document's views show as current (a navigator's entry
  // holding its place), asked once for the whole pass.
  current_.clear();
  for (DocumentView* v = ViewList::First(); v; v = ViewList::Next(v))
    if (FrameTreeNode* frame = v->GetFrame(); frame && v->GetDocument() == document_)
      if (DocumentNode* element = frame->GetCurrentElement()) current_.push_back(element);
  struct PaintVisitor {
    TreeView* view;
    bool operator()(DocumentNode* node, std::int64_t x, std::int64_t y, bool) {
      if (y <= view->viewHeight_ && y + view->boxHeight_ >= 0 && x <= view->viewWidth_ &&
          x + view->boxWidth_ >= 0)
        view->DrawNode(node, static_cast<int>(x), static_cast<int>(y));
      return false;
    }
    void Leave(DocumentNode*, std::int64_t x, std::int64_t, std::int64_t firstY,
               std::int64_t lastY, bool more) {
      const int h = view->boxHeight_;
      if (lastY == firstY && !more) return;
      const std::int64_t cx = x + view->boxWidth_ + 4;
      if (cx < 0 || cx > view->viewWidth_) return;
      const std::int64_t top = std::max<std::int64_t>(firstY + h / 2, -h);
      const std::int64_t bottom = more ? view->viewHeight_
                                       : std::min<std::int64_t>(lastY + h / 2, view->viewHeight_);
      if (top > bottom) return;
      view->GetDevice()->DrawLine(static_cast<int>(cx), static_cast<int>(top), static_cast<int>(cx),
                                  static_cast<int>(bottom));
    }
  } visitor{this};
  Walk(Clip(kMargin - scrollX_), Clip(kMargin - scrollY_), true, visitor);
  if (viewHeight_ < contentHeight_) {
    if (!(barsShown_ & 0x02)) {
      barsShown_ |= 0x02;
      d->ShowVertScrollBar();
    }
    d->SetVertScroll(Clip(scrollY_), viewHeight_, Clip(contentHeight_));
  } else if (barsShown_ & 0x02) {
    barsShown_ &= ~0x02;
    d->HideVertScrollBar();
  }
  if (viewWidth_ < contentWidth_) {
    if (!(barsShown_ & 0x01)) {
      barsShown_ |= 0x01;
      d->ShowHorzScrollBar();
    }
    d->SetHorzScroll(Clip(scrollX_), viewWidth_, Clip(contentWidth_));
  } else if (barsShown_ & 0x01) {
    barsShown_ &= ~0x01;
    d->HideHorzScrollBar();
  }
  PopCurrentView();
  ViewWindow::Release();
}

DocumentNode* TreeView::HitTest(int px, int py, int* relX, int* relY) {
  if (OutputDevice* d = GetDevice()) viewWidth_ = d->width, viewHeight_ = d->height;
  DocumentNode* found = nullptr;
  Walk(Clip(kMargin - scrollX_), Clip(kMargin - scrollY_), true,
       MakeVisitor([&](DocumentNode* node, std::int64_t x, std::int64_t y, bool) {
         if (px < x || px > x + boxWidth_ || py < y || py > y + boxHeight_) return false;
         found = node;
         if (relX) *relX = static_cast<int>(px - x);
         if (relY) *relY = static_cast<int>(py - y);
         return true;
       }));
  return found;
}

void TreeView::ShowNode(DocumentNode* node) {
  if (!node || !document_) return;
  // Only a node of this document's tree.
  DocumentNode* top = node;
  while (top->Parent()) top = top->Parent();
  if (top != document_->Root()) return;
  bool changed = false;
  if (!Expanded(node)) node->flags &= ~kNodeCollapsed, changed = true;
  for (DocumentNode* a = node->Parent(); a; a = a->Parent())
    if (!Expanded(a)) a->flags &= ~kNodeCollapsed, changed = true;
  if (changed) Layout();
  std::int64_t nx = 0, ny = 0;
  bool found = false;
  Walk(0, 0, false, MakeVisitor([&](DocumentNode* n, std::int64_t x, std::int64_t y, bool) {
         if (n != node) return false;
         nx = x, ny = y, found = true;
         return true;
       }));
  if (!found) return;
  selected_ = node;
  if (OutputDevice* d = GetDevice()) viewWidth_ = d->width, viewHeight_ = d->height;
  const std::int64_t sx = nx - scrollX_, sy = ny - scrollY_;
  if (sx < 0 || sy < 0 || sx + boxWidth_ > viewWidth_ || sy + boxHeight_ > viewHeight_) {
    scrollX_ = nx - (viewWidth_ - boxWidth_) / 2;
    scrollY_ = ny - (viewHeight_ - boxHeight_) / 2;
  }
  Repaint();
}

void TreeView::ActivateNode(DocumentNode* node) {
  EngineBase* engine = GetEngine();
  if (!engine || !node || !document_) return;
  engine->GotoPosition(0, nullptr, document_, static_cast<std::int32_t>(node->start),
                       static_cast<std::int32_t>(node->end - node->start), 0);
}

void TreeView::OnMouseMove(int x, int y) {
  OutputDevice* d = GetDevice();
  if (!d) return;
  if (!dragging_) {
    int rx = 0;
    DocumentNode* node = HitTest(x, y, &rx);
    int code = 0;
    if (node) code = rx >= boxHeight_ ? 7 : !node->First() ? 10 : Expanded(node) ? 8 : 9;
    d->SetCursorForHit(x, y, 4, code, 0);
    return;
  }
  if (!dragMoved_ && std::abs(x - dragX_) <= kDragSlop && std::abs(y - dragY_) <= kDragSlop) return;
  dragMoved_ = true;
  scrollX_ += dragX_ - x;
  scrollY_ += dragY_ - y;
  dragX_ = x, dragY_ = y;
  Repaint();
  d->SetCursorForHit(x, y, 4, 0, 1);
}

void TreeView::OnLButtonDown(int x, int y, int) {
  dragging_ = true;
  dragMoved_ = false;
  dragX_ = x, dragY_ = y;
}

void TreeView::OnLButtonUp(int x, int y) {
  AddRef();  // showing the node may close the view
  const bool moved = dragMoved_;
  dragging_ = false;
  dragMoved_ = false;
  if (!moved) {
    selected_ = nullptr;
    int rx = 0;
    if (DocumentNode* node = HitTest(x, y, &rx)) {
      if (rx < boxHeight_) {
        if (node->First()) {
          if (!Expanded(node)) {
            node->flags &= ~kNodeCollapsed;
          } else {
            // The node and its whole subtree, without recursion.
            for (DocumentNode* n = node; n;) {
              n->flags |= kNodeCollapsed;
              if (n->First()) {
                n = n->First();
                continue;
              }
              while (n != node && !n->Next()) n = n->Parent();
              n = n == node ? nullptr : n->Next();
            }
          }
          Layout();
        }
      } else {
        selected_ = node;
        ActivateNode(node);
      }
    }
  }
  Repaint();
  ViewWindow::Release();
}

void TreeView::ScrollBy(int dx, int dy) {
  scrollX_ += dx;
  scrollY_ += dy;
  Repaint();
}

void TreeView::OnKeyDown(int key) {
  const int page = viewHeight_ * 4 / 5;
  switch (key) {
    case kVkPageUp: ScrollBy(0, -page); break;
    case kVkPageDown: ScrollBy(0, page); break;
    case kVkUp: ScrollBy(0, -kLine); break;
    case kVkDown: ScrollBy(0, kLine); break;
    default: break;
  }
}

void TreeView::OnScroll(int horizontal, int code, int position) {
  const int page = (horizontal ? viewWidth_ : viewHeight_) * 4 / 5;
  std::int64_t& value = horizontal ? scrollX_ : scrollY_;
  switch (code) {
    case 0: value -= page; break;
    case 1: value -= kLine; break;
    case 2: value += kLine; break;
    case 3: value += page; break;
    case 4: value = horizontal ? position : std::int64_t{position} * contentHeight_ / kScrollRange; break;
    default: return;
  }
  Repaint();
}

void TreeView::OnMouseWheel(int lines, int, int, int) { ScrollBy(0, -lines * kLine); }

void TreeView::OnPan(int dx, int dy) {
  const std::int64_t maxX = std::max<std::int64_t>(0, contentWidth_ - viewWidth_);
  const std::int64_t maxY = std::max<std::int64_t>(0, contentHeight_ - viewHeight_);
  const std::int64_t x = std::clamp<std::int64_t>(scrollX_ + dx, 0, maxX);
  const std::int64_t y = std::clamp<std::int64_t>(scrollY_ + dy, 0, maxY);
  if (x == scrollX_ && y == scrollY_) return;
  scrollX_ = x, scrollY_ = y;
  Repaint();
}

// ---- HostTreeView ---------------------------------------------------------------------

HostTreeView::HostTreeView(WindowHandle window, Document* document, DocumentNode* node,
                           std::intptr_t value, std::uint32_t options)
    : TreeView(document, AttachWindowDevice(window, 0x1A, 1)), value_(value), options_(options) {
  if (auto* device = dynamic_cast<HostWindowDevice*>(GetDevice())) device->SetScrollBarFlags(options);
  if (node) ShowNode(node);
}

void HostTreeView::ActivateNode(DocumentNode* node) {
  EngineBase* engine = GetEngine();
  HostedEngine* hosted = engine ? engine->AsHosted() : nullptr;
  if (!hosted || !node || !GetDocument()) return;
  hosted->FindCoveringObject(0, nullptr, nullptr, GetDocument(), static_cast<std::int32_t>(node->start),
                             static_cast<std::int32_t>(node->end - node->start), 0, 0);
}

}  // namespace qs
