// Documents shown in the host's windows: attaching a formatted document to
// a window, moving in it, and the window, document and sheet exports that
// reach the views.
#include <algorithm>
#include <string>

#include "api/anchor_dialogs.h"
#include "api/exports.h"
#include "api/interface.h"
#include "addressing/query.h"
#include "addressing/web.h"
#include "api/node_ref.h"
#include "api/records.h"
#include "api/wrappers.h"
#include "foundation/callbacks.h"
#include "foundation/history.h"
#include "layout/display_box.h"
#include "layout/entity_items.h"
#include "sgml/document_cache.h"
#include "sgml/document.h"
#include "sgml/entities.h"
#include "style/frame.h"
#include "style/navigator.h"
#include "style/navigator_node.h"
#include "style/navigator_view.h"
#include "style/style_sheet.h"
#include "view/current_view.h"
#include "view/document_view.h"
#include "view/graphic_object.h"
#include "view/host_document_view.h"
#include "view/hot_areas.h"
#include "view/picture_view.h"
#include "view/tree_view.h"
#include "view/window_device.h"
#include "view/window_map.h"

using namespace qs;

namespace {

// Messages to the frame's items (their meanings are the items'): the
// current position, revealing a position, collapsing and expanding a
// node; value queries are 21-25. The line boxes count hits by 17.
constexpr int kItemCurrentPosition = 1;
constexpr int kItemReveal = 18;
constexpr int kItemCollapse = 26;
constexpr int kItemExpand = 27;
constexpr int kBoxCountHits = 17;

// The host's view flags that ask for the located range to be reported.
constexpr std::int32_t kLocateAndReport = 0x4000;

// The document view of a window that shows a document, or null.
HostDocumentView* ShownView(QsWindow window) {
  if (!GetEngine()) return nullptr;
  DocumentView* view = FindDocumentView(static_cast<WindowHandle>(window));
  return view && view->GetDocument() ? static_cast<HostDocumentView*>(view) : nullptr;
}

// The element a node handle stands on, when it lies in the document.
DocumentNode* NodeIn(HandleTable* table, QsHandle node, Document* document) {
  auto* ref = table && node ? static_cast<NodeRef*>(table->LookupNode(node)) : nullptr;
  if (!ref || ref->GetDocument() != document) return nullptr;
  return ref->Current() ? ref->Current() : ref->Parent();
}

// The start of an anchor's range when its location lies in `document`.
bool AnchorStartIn(Anchor* anchor, Document* document, std::int32_t* start) {
  Location* location = anchor->GetLocation();
  if (!location || !location->IsDocumentLocation() || !location->Entity()) return false;
  DocumentCache* documents = EngineDocuments();
  if (!documents || documents->Find(location->Entity()->GetExternalId()) != document) return false;
  std::uint32_t s = 0, n = 0;
  if (!location->GetRange(document, &s, &n)) return false;
  *start = static_cast<std::int32_t>(s);
  return true;
}

// The window the view exports are working for, for requests that name one.
WindowHandle g_displayWindow = 0;

class DisplayWindowScope {
 public:
  explicit DisplayWindowScope(WindowHandle window) : saved_(g_displayWindow) {
    g_displayWindow = window;
  }
  ~DisplayWindowScope() { g_displayWindow = saved_; }
  DisplayWindowScope(const DisplayWindowScope&) = delete;
  DisplayWindowScope& operator=(const DisplayWindowScope&) = delete;

 private:
  WindowHandle saved_;
};

// A handle's object, through a loading export that gives a handle, with
// the handle's use given back (the object stays in its engine list).
template <class T>
T* LoadedResource(HandleTable* table, QsHandle (*load)(QsHandle, std::int32_t, QsMessageProc, QsWord),
                  QsHandle document, bool sheet) {
  QsHandle handle = load(document, 0, nullptr, 0);
  if (!handle) return nullptr;
  auto* object = static_cast<T*>(sheet ? table->LookupStyleSheet(handle) : table->LookupNavigator(handle));
  table->Release(handle);
  return object;
}

// Raises host event 0 for a window that shows a document view.
void TellViewChanged(WindowHandle window) {
  if (EngineBase* engine = GetEngine(); engine && window)
    engine->RaiseEvent(window, kEventDocViewChanged, 0, 0);
}

// A range of the document: start and length not negative, the start not
// before the root's and the range not past its end (no overflow).
bool ValidRange(Document* document, std::int32_t start, std::int32_t length) {
  DocumentNode* root = document ? document->Root() : nullptr;
  if (!root || start < 0 || length < 0) return false;
  const auto first = static_cast<std::int32_t>(root->start), end = static_cast<std::int32_t>(root->end);
  return start >= first && start <= end && length <= end - start;
}

// A new node handle for an element of the document; 0 without one.
QsHandle NewNodeHandle(Document* document, DocumentNode* element) {
  HandleTable* table = Handles();
  if (!table || !document || !element) return 0;
  auto* ref = new NodeRef(document, element);
  QsHandle handle = table->RegisterNode(ref);
  if (!handle) delete ref;
  return handle;
}

// Walks the view's line boxes with node query `code` (21 to 25) for the
// element: a box answering 1 fills the pointers from the answer's flags,
// level and hit count, -1 ends the walk without. The record is the one the
// navigator's nodes fill, whole: a smaller one would be overrun.
std::int32_t BoxValue(HostDocumentView* view, DocumentNode* element, int code, std::int32_t* a,
                      std::int32_t* b, std::int32_t* c, DocumentNode** answered = nullptr) {
  NodeQuery query;
  query.element = element;
  if (view->SendToItems(code, reinterpret_cast<std::intptr_t>(&query)) != 1) return 0;
  if (a) *a = static_cast<std::int8_t>(query.flags);
  if (b) *b = static_cast<std::int8_t>(query.level);
  if (c) *c = query.hitCount;
  if (answered) *answered = query.element;
  return 1;
}

bool InDocument(Document* document, std::int32_t position) {
  DocumentNode* root = document ? document->Root() : nullptr;
  if (!root || position < 0) return false;
  return position >= static_cast<std::int32_t>(root->start) &&
         position <= static_cast<std::int32_t>(root->end);
}

// A picture view of a host window, whose view flags are its options.
HostPictureView* HostPictureOf(QsWindow window) {
  if (!qs::GetEngine()) return nullptr;
  return dynamic_cast<HostPictureView*>(FindPictureView(static_cast<WindowHandle>(window)));
}

}  // namespace

namespace qs {

int DetachDocumentViews(Document* document) {
  if (!document) return 0;
  int count = 0;
  for (;;) {
    DocumentView* view = ViewList::FindViewOfDocument(document, -1);
    if (!view) break;
    ++count;
    view->AddRef();
    view->SetFrame(nullptr, 0, true);
    WindowHandle window = 0;
    if (auto* device = static_cast<WindowDevice*>(view->GetDevice());
        device && device->view == view && WindowMap::Find(device->window()) == device)
      window = device->window();
    view->Release();
    TellViewChanged(window);
  }
  return count;
}

WindowHandle CurrentDisplayWindow() { return g_displayWindow; }

namespace {

// Step 4 of the search: scrolls a found view to the place unless it shows
// it already, and brings its window forward when asked.
int ShowInView(DocumentView* view, std::int32_t position, int forceScroll, bool forward) {
  if (!view) return 0;
  if (view->GetFirstShownPosition() != position &&
      (forceScroll || position < view->GetFirstShownPosition() ||
       position > view->GetLastShownPosition()))
    view->ShowPosition(position);
  if (forward)
    if (auto* device = static_cast<WindowDevice*>(view->GetDevice()); device && GetEngine())
      GetEngine()->AsHosted()->ShowWindow(device->window());
  return 1;
}

// Event 7: the host names a window for (document, element) or answers 0.
WindowHandle AskHostForWindow(HostedEngine* engine, WindowHandle window, Document* document,
                              DocumentNode* element, ViewRequestRecord& request) {
  HandleTable* table = engine->handles.get();
  auto* ref = new NodeRef(document, element);
  QsHandle node = table ? table->RegisterNode(ref) : 0;
  if (!node) delete ref;
  const std::intptr_t answer = engine->RaiseEvent(window, kEventShowInView, node,
                                                  reinterpret_cast<std::intptr_t>(&request));
  if (node) table->Release(node);
  return static_cast<WindowHandle>(answer);
}

void ReleaseExtraHandle(HostedEngine* engine, const ViewRequestRecord& request) {
  if (request.extraHandle && engine->handles)
    engine->handles->Release(static_cast<Handle>(request.extraHandle));
}

}  // namespace

Document* HostedHistory::FindDocument(ExternalId* externalId) {
  DocumentCache* open = externalId ? OpenDocuments() : nullptr;
  return open ? open->Find(externalId) : nullptr;
}

int HostedEngine::FindCoveringObject(WindowHandle window, View*, void*, Document* document,
                                     std::int32_t position, std::int32_t length,
                                     int forceScroll, std::intptr_t context) {
  DocumentNode* root = document ? document->Root() : nullptr;
  if (!root) return 0;
  ViewRequestRecord request{context, position, length, forceScroll, 0, 0, 0};
  // A frame that covers the range: a view of it, else a window for it.
  if (FrameTreeNode* covering = FrameNode::FindDocumentRange(document, position, length)) {
    FrameNode* frame = covering->GetFrame();
    DocumentView* found = nullptr;
    for (DocumentView* v = ViewList::First(); v; v = ViewList::Next(v))
      if (!found && v->GetFrame() && v->GetFrame()->GetFrame() == frame && v->GetDevice()) found = v;
    if (found) return ShowInView(found, position, forceScroll, true);
  }
  // The host names a window for the place, where it is then shown.
  request.length = length;
  if (WindowHandle target = AskHostForWindow(this, window, document, root, request)) {
    HostDocumentView* view = ShowDocumentInWindow(target, document, nullptr, false, nullptr,
                                                  nullptr, position,
                                                  static_cast<std::int32_t>(request.viewFlags), 0);
    ReleaseExtraHandle(this, request);
    if (view) return 1;
  } else {
    ReleaseExtraHandle(this, request);
  }
  // The narrowest existing view that shows the range, the later of equals.
  DocumentView* best = nullptr;
  std::int32_t narrowest = 0;
  for (DocumentView* v = ViewList::First(); v; v = ViewList::Next(v)) {
    if (v->GetDocument() != document || !v->GetDevice()) continue;
    const std::int32_t first = v->GetFirstShownPosition(), last = v->GetLastShownPosition();
    if (first > position || last <= position + length) continue;
    if (!best || last - first <= narrowest) {
      best = v;
      narrowest = last - first;
    }
  }
  return ShowInView(best, position, forceScroll, true);
}

HostDocumentView* ShowDocumentInWindow(WindowHandle win, Document* doc, StyleSheet* sheet,
                                       bool firstNavigator, NavigatorDef* navigator,
                                       DocumentNode* start, std::int32_t place,
                                       std::int32_t flags, WindowHandle linkedWindow) {
  HandleTable* table = Handles();
  if (!table || !win || !doc) return nullptr;
  auto* view = new HostDocumentView(win, static_cast<std::uint32_t>(flags));
  view->linkedWindow = linkedWindow;

  // The sheet and navigator the document names come through a handle of
  // the document, given back at once.
  if (!sheet || firstNavigator) {
    QsHandle own = table->RegisterDocument(doc);
    if (!sheet) sheet = LoadedResource<StyleSheet>(table, QsLoadStyleSheet, own, true);
    if (firstNavigator) navigator = LoadedResource<NavigatorDef>(table, QsLoadNavigator, own, false);
    table->Release(own);
  }
  DisplayWindowScope scope(win);
  const std::uint32_t level = ((flags & 8) ? 2 : 0) + ((flags & 4) ? 1 : 0);
  FrameNode* frame = navigator ? new NavigatorView(doc, sheet, navigator, start)
                               : new FrameNode(doc, sheet, level, start);
  if (auto* device = static_cast<HostWindowDevice*>(view->GetDevice()))
    device->SetScrollBarFlags(static_cast<std::uint32_t>(flags));
  view->AddRef();
  PushCurrentView(view, false);
  frame->Rebuild();
  PopCurrentView();
  view->SetFrame(frame, place, false);
  if (flags & kLocateAndReport) {
    int width = view->GetWidth(), height = view->GetHeight();
    std::int32_t first = 0, last = 0;
    if (view->LocatePosition(place, &width, &height) == 1) {
      first = view->GetFirstShownPosition();
      last = view->GetLastShownPosition();
    }
    if (EngineBase* engine = GetEngine()) engine->RaiseEvent(win, kEventViewExtent, first, last);
    view->Refresh();
  } else {
    PushCurrentView(view, false);
    view->LayoutFrom(place, true);
    PopCurrentView();
    view->UpdateWindow();
  }
  view->SetMode(static_cast<std::uint32_t>(flags));
  view->syncPosition = -1;
  const bool attached = view->GetDevice() != nullptr;
  view->Release();
  if (!attached) return nullptr;
  TellViewChanged(win);
  return view;
}

}  // namespace qs

extern "C" {

// ---- Attaching and detaching

std::int32_t QsDisplay(QsWindow window, QsHandle document, QsHandle sheet, QsHandle navigator,
                       QsWindow linkedWindow, QsHandle startNode, QsHandle rangeNode,
                       std::int32_t flags) {
  HandleTable* table = Handles();
  if (!table || !window) return 0;
  const auto win = static_cast<WindowHandle>(window);
  auto* doc = static_cast<Document*>(table->LookupDocument(document));
  if (!doc) {
    // The window gets its view even so, empty.
    auto* view = new HostDocumentView(win, static_cast<std::uint32_t>(flags));
    view->linkedWindow = static_cast<WindowHandle>(linkedWindow);
    return 0;
  }
  DocumentNode* start = NodeIn(table, startNode, doc);
  std::int32_t place = 0;
  if (DocumentNode* range = NodeIn(table, rangeNode, doc))
    place = static_cast<std::int32_t>(range->start);
  auto* styleSheet = static_cast<StyleSheet*>(table->LookupStyleSheet(sheet));
  NavigatorDef* nav = navigator > 1 ? static_cast<NavigatorDef*>(table->LookupNavigator(navigator)) : nullptr;
  ShowDocumentInWindow(win, doc, styleSheet, navigator == 1, nav, start, place, flags,
                       static_cast<WindowHandle>(linkedWindow));
  return 1;
}

QsWord QsAttachWindow(QsWindow window) {
  if (!GetEngine() || !window) return 0;
  const auto win = static_cast<WindowHandle>(window);
  if (WindowDevice* device = WindowMap::Find(win)) return reinterpret_cast<QsWord>(device);
  return reinterpret_cast<QsWord>(AttachWindowDevice(win, 0x2A, 1));
}

std::int32_t QsDetachWindowView(QsWindow window) {
  if (!GetEngine()) return 0;
  const auto win = static_cast<WindowHandle>(window);
  WindowDevice* device = WindowMap::Find(win);
  if (!device) return 0;
  const int kind = device->GetViewKind();
  device->DetachView();
  if (EngineBase* engine = GetEngine()) {
    if (kind == 1) engine->RaiseEvent(win, kEventDocViewChanged, 0, 0);
    if (kind == 2) engine->RaiseEvent(win, kEventPictureViewChanged, 0, 0);
  }
  return 1;
}

std::int32_t QsGetWindowKind(QsWindow window) {
  if (!GetEngine()) return 0;
  WindowDevice* device = WindowMap::Find(static_cast<WindowHandle>(window));
  if (!device || !device->view) return 0;
  switch (device->view->GetKind()) {
    case 1: {
      FrameTreeNode* frame = static_cast<DocumentView*>(device->view)->GetFrame();
      const int kind = frame ? frame->GetKind() : 0;
      return kind == 1 || kind == 2 ? 1 : kind == 3 ? 2 : 0;
    }
    case 2: return 3;
    case 3: return 4;
    case 4: return 5;
    default: return 0;
  }
}

std::int32_t QsGetViewFlags(QsWindow window) {
  if (!GetEngine()) return 0;
  DocumentView* view = FindDocumentView(static_cast<WindowHandle>(window));
  if (!view) {
    HostPictureView* picture = HostPictureOf(window);
    return picture ? static_cast<std::int32_t>(picture->Options()) : 0;
  }
  return static_cast<std::int32_t>(static_cast<HostDocumentView*>(view)->GetOptions());
}

std::int32_t QsSetViewFlags(QsWindow window, std::int32_t flags) {
  if (!GetEngine()) return 0;
  DocumentView* view = FindDocumentView(static_cast<WindowHandle>(window));
  if (!view) {
    // A picture view takes the flags as its options: the hot areas'
    // outlines come and go with them at once.
    HostPictureView* picture = HostPictureOf(window);
    if (!picture) return 0;
    if (auto* device = dynamic_cast<HostWindowDevice*>(picture->GetDevice()))
      device->SetScrollBarFlags(static_cast<std::uint32_t>(flags));
    picture->SetOptions(static_cast<std::uint32_t>(flags));
    return static_cast<std::int32_t>(picture->Options());
  }
  auto* host = static_cast<HostDocumentView*>(view);
  if (auto* device = static_cast<HostWindowDevice*>(view->GetDevice()))
    device->SetScrollBarFlags(static_cast<std::uint32_t>(flags));
  const std::uint32_t before = host->GetFlags();
  host->SetMode(static_cast<std::uint32_t>(flags));
  if (host->GetFlags() != before) host->Refresh();
  return static_cast<std::int32_t>(host->GetOptions());
}

// ---- Moving in a document view

std::int32_t QsShowPosition(QsWindow window, std::int32_t position) {
  HostDocumentView* view = ShownView(window);
  if (!view || !InDocument(view->GetDocument(), position)) return 0;
  DisplayWindowScope scope(static_cast<WindowHandle>(window));
  view->ShowPosition(position);
  return 1;
}

std::int32_t QsViewCommand(QsWindow window, std::int32_t command) {
  if (!GetEngine()) return 0;
  const auto win = static_cast<WindowHandle>(window);
  DisplayWindowScope scope(win);
  if (command == 10 || command == 11) {
    HostedEngine* engine = GetEngine()->AsHosted();
    auto* history = engine ? static_cast<HostedHistory*>(engine->history()) : nullptr;
    if (!history) return 0;
    if (command == 11) return history->ForwardFrom(win) ? 1 : 0;
    HostDocumentView* view = ShownView(window);
    ExternalId* id = view ? view->GetDocument()->Source() : nullptr;
    return history->BackFrom(win, id, view ? view->GetFirstShownPosition() : 0) ? 1 : 0;
  }
  HostDocumentView* view = ShownView(window);
  if (!view) return 0;
  view->AddRef();
  PushCurrentView(view, false);
  int result = 1;
  switch (command) {
    case 0: view->ShowPosition(0); break;
    case 1: view->PageUp(); break;
    case 2: view->LineUp(); break;
    case 3: view->LineDown(); break;
    case 4: view->PageDown(); break;
    case 5: {
      DocumentNode* root = view->GetDocument()->Root();
      view->ShowPosition(root ? static_cast<std::int32_t>(root->end) : 0);
      break;
    }
    case 6: result = view->ShowFirstHit() ? 1 : 0; break;
    case 7: result = view->ShowPreviousHit() ? 1 : 0; break;
    case 8: result = view->ShowNextHit() ? 1 : 0; break;
    case 9: result = view->ShowLastHit() ? 1 : 0; break;
    default: result = 0; break;
  }
  PopCurrentView();
  view->Release();
  return result;
}

std::int32_t QsGetViewRange(QsWindow window, std::int32_t* start, std::int32_t* length) {
  HostDocumentView* view = ShownView(window);
  if (!view) return 0;
  const std::int32_t first = view->GetFirstShownPosition();
  if (start) *start = first;
  if (length) *length = view->GetLastShownPosition() - first;
  return 1;
}


// ---- Asking a document view

QsHandle QsGetViewCurrentNode(QsWindow window) {
  HostDocumentView* view = ShownView(window);
  FrameTreeNode* frame = view ? view->GetFrame() : nullptr;
  return frame ? NewNodeHandle(view->GetDocument(), frame->GetCurrentElement()) : 0;
}

QsHandle QsGetViewFirstNode(QsWindow window) {
  HostDocumentView* view = ShownView(window);
  if (!view) return 0;
  Document* document = view->GetDocument();
  return NewNodeHandle(document, document->ElementAtPosition(
                                     static_cast<std::uint32_t>(view->GetFirstShownPosition())));
}

QsHandle QsGetViewLastNode(QsWindow window) {
  HostDocumentView* view = ShownView(window);
  if (!view) return 0;
  Document* document = view->GetDocument();
  return NewNodeHandle(document, document->ElementAtPosition(
                                     static_cast<std::uint32_t>(view->GetLastShownPosition())));
}

QsHandle QsGetViewSelectedNode(QsWindow window) {
  HostDocumentView* view = ShownView(window);
  if (!view || view->selectedPosition < 0) return 0;
  Document* document = view->GetDocument();
  return NewNodeHandle(document, document->ElementAtPosition(
                                     static_cast<std::uint32_t>(view->selectedPosition)));
}

QsHandle QsGetViewNodeAt(QsWindow window, std::int32_t* a, std::int32_t* b, std::int32_t* c) {
  HostDocumentView* view = ShownView(window);
  if (!view) return 0;
  DocumentNode* element = nullptr;
  if (!BoxValue(view, nullptr, 21, a, b, c, &element)) return 0;
  return NewNodeHandle(view->GetDocument(), element);
}

#define QS_BOX_VALUE(code)                                                                   \
  std::int32_t QsGetNodeBoxValue##code(QsWindow window, QsHandle node, std::int32_t* a,      \
                                       std::int32_t* b, std::int32_t* c) {                   \
    HostDocumentView* view = ShownView(window);                                              \
    DocumentNode* element = view ? NodeIn(Handles(), node, view->GetDocument()) : nullptr;   \
    return element ? BoxValue(view, element, code, a, b, c) : 0;                             \
  }
QS_BOX_VALUE(21)
QS_BOX_VALUE(22)
QS_BOX_VALUE(23)
QS_BOX_VALUE(24)
QS_BOX_VALUE(25)
#undef QS_BOX_VALUE

std::int32_t QsScrollToNode(QsWindow window, QsHandle node, std::int32_t mode, std::int32_t refresh) {
  HostDocumentView* view = ShownView(window);
  DocumentNode* element = view ? NodeIn(Handles(), node, view->GetDocument()) : nullptr;
  if (!element) return 0;
  const std::intptr_t answer =
      view->SendToItems(mode ? kItemExpand : kItemCollapse, reinterpret_cast<std::intptr_t>(element));
  if (refresh) view->Refresh();
  return answer ? 1 : 0;
}

std::int32_t QsShowNode(QsWindow window, QsHandle node, std::int32_t select, std::int32_t visible,
                        std::int32_t mark) {
  HostDocumentView* view = ShownView(window);
  if (!view) return 0;
  if (!node) {
    if (!select) return 0;
    view->selectedPosition = -1;
    view->SendToItems(kItemCurrentPosition, -1);
    view->UpdateWindow();
    return 1;
  }
  DocumentNode* element = NodeIn(Handles(), node, view->GetDocument());
  if (!element) return 0;
  DisplayWindowScope scope(static_cast<WindowHandle>(window));
  const auto position = static_cast<std::int32_t>(element->start);
  const bool outside =
      position < view->GetFirstShownPosition() || position > view->GetLastShownPosition();
  if (visible && outside) view->ShowPosition(position);
  if (mark) {
    view->SendToItems(kItemReveal, position);
    view->Refresh();
    if (visible && outside) view->ShowPosition(position);
  }
  if (select) {
    view->selectedPosition = position;
    view->SendToItems(kItemCurrentPosition, position);
  }
  view->UpdateWindow();
  return 1;
}

std::int32_t QsShowHandleTarget(QsWindow window, QsHandle handle) {
  HostDocumentView* view = ShownView(window);
  HandleTable* handles = Handles();
  if (!view || !handles || !handle) return 0;
  Document* document = view->GetDocument();
  DisplayWindowScope scope(static_cast<WindowHandle>(window));
  if (DocumentNode* element = NodeIn(handles, handle, document)) {
    view->ShowPosition(static_cast<std::int32_t>(element->start));
    return 1;
  }
  if (auto* anchor = static_cast<Anchor*>(handles->LookupAnchor(handle))) {
    std::int32_t start = -1;
    if (!AnchorStartIn(anchor, document, &start)) return 0;
    view->ShowPosition(start);
    return 1;
  }
  // A placed picture: found (laid out where it is referenced when not on
  // the lines now), then its line shown at the window top.
  auto* ref = static_cast<EntityRef*>(handles->LookupEntity(handle));
  if (!ref || !view->ShowPictureArea(ref->Entity(), 0, 0)) return 0;
  view->ShowPosition(view->FindPlacedPicture(ref->Entity()));
  return 1;
}

// ---- Searching and highlighting

std::int32_t QsSearch(QsWindow window, const char* query, std::int32_t flags) {
  HostDocumentView* view = ShownView(window);
  if (!view) return 0;
  DisplayWindowScope scope(static_cast<WindowHandle>(window));
  view->ranges.DeleteAll();
  view->highlights.DeleteAll();
  view->rangesAreHits = true;
  if (!query) {
    view->Refresh();
    view->OnHighlightChanged();
    return 0;
  }
  FrameTreeNode* frame = view->GetFrame();
  DocumentNode* from = frame->GetCurrentElement() ? frame->GetCurrentElement() : frame->root;
  const int hits = RunQuery(query, view->GetDocument(), from, view->ranges, flags);
  if (!(flags & 16) && hits > 0) {
    const std::int32_t top = view->GetFirstShownPosition();
    Range* hit = view->ranges.FirstRange();
    while (hit && static_cast<std::int32_t>(hit->GetStart()) <= top) hit = hit->NextRange();
    if (!hit) {
      view->ShowPosition(static_cast<std::int32_t>(view->ranges.LastRange()->GetStart()));
    } else if (!(static_cast<std::int32_t>(hit->GetEnd()) <= view->GetLastShownPosition())) {
      Range* previous = hit->PrevRange();
      if (previous) {
        const std::int32_t p = static_cast<std::int32_t>(previous->GetStart());
        if ((static_cast<std::int32_t>(hit->GetStart()) - p) / 2 < top - p) hit = previous;
      }
      view->ShowPosition(static_cast<std::int32_t>(hit->GetStart()));
    }
  }
  view->UpdateWindow();
  view->OnHighlightChanged();
  return hits;
}

std::int32_t QsHighlightQuery(QsWindow window, const char* query, std::int32_t flags) {
  HostDocumentView* view = ShownView(window);
  if (!view) return 0;
  RangeList hits;
  FrameTreeNode* frame = view->GetFrame();
  DocumentNode* from = frame->GetCurrentElement() ? frame->GetCurrentElement() : frame->root;
  const int count = query ? RunQuery(query, view->GetDocument(), from, hits, flags) : 0;
  const std::uint8_t before = view->viewFlags;
  int result = 0;
  if (count < 2) {
    view->viewFlags &= static_cast<std::uint8_t>(~DocumentView::kShowHitCounts);
  } else {
    view->Broadcast(kBoxCountHits, reinterpret_cast<std::intptr_t>(&hits));
    view->viewFlags |= DocumentView::kShowHitCounts;
    result = count;
  }
  if (view->viewFlags != before) view->Refresh();
  view->UpdateWindow();
  return result;
}

std::int32_t QsHighlightQueryResult(QsWindow window, std::int32_t start, std::int32_t length) {
  HostDocumentView* view = ShownView(window);
  if (!view || !ValidRange(view->GetDocument(), start, length)) return 0;
  view->highlights.DeleteAll();
  view->highlights.Append(static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(start + length));
  view->UpdateWindow();
  return 1;
}

std::int32_t QsClearHighlight(QsWindow window) {
  if (auto* picture = GetEngine() ? static_cast<PictureView*>(FindPictureView(static_cast<WindowHandle>(window))) : nullptr) {
    picture->SelectHotArea(nullptr, true);
    return 1;
  }
  HostDocumentView* view = ShownView(window);
  if (!view) return 0;
  view->highlights.DeleteAll();
  view->ranges.DeleteAll();
  view->ClearRegionHighlight();
  view->OnHighlightChanged();
  view->Refresh();
  return 1;
}

std::int32_t QsAddSelectionRange(QsWindow window, std::int32_t start, std::int32_t length) {
  HostDocumentView* view = ShownView(window);
  if (!view || !ValidRange(view->GetDocument(), start, length)) return 0;
  if (view->rangesAreHits) {
    view->ranges.DeleteAll();
    view->rangesAreHits = false;
  }
  const std::size_t before = view->ranges.Count();
  if (!view->ranges.InsertOrdered(static_cast<std::uint32_t>(start),
                                  static_cast<std::uint32_t>(start + length)))
    return 0;
  if (before <= 1) view->OnHighlightChanged();
  return 1;
}

std::int32_t QsGetSelectionLength(QsWindow window) {
  HostDocumentView* view = ShownView(window);
  if (!view || view->ranges.Count() != 1) return 0;
  Range* range = view->ranges.FirstRange();
  return view->TextLength(static_cast<std::int32_t>(range->GetStart()),
                          static_cast<std::int32_t>(range->GetEnd()));
}

std::int32_t QsGetSelectionText(QsWindow window, char* buffer, std::int32_t size) {
  HostDocumentView* view = ShownView(window);
  if (!view || view->ranges.Count() != 1) return 0;
  Range* range = view->ranges.FirstRange();
  const auto start = static_cast<std::int32_t>(range->GetStart());
  const auto end = static_cast<std::int32_t>(range->GetEnd());
  const std::int32_t length = view->TextLength(start, end);
  // Room for the text and its NUL, or nothing is written.
  if (!buffer || size <= 0 || size <= length) return 0;
  const std::int32_t written = view->CopyText(start, end, buffer, static_cast<std::size_t>(length));
  buffer[written < length ? written : length] = '\0';
  return length;
}

std::intptr_t QsEnumViewItems(QsWindow window, QsRecordProc procedure, QsWord data) {
  HostDocumentView* view = ShownView(window);
  if (!view || !procedure) return 0;
  for (Range* r = view->ranges.FirstRange(); r; r = r->NextRange()) {
    QsRangeRecord record{static_cast<std::int32_t>(r->GetStart()),
                         static_cast<std::int32_t>(r->GetEnd() - r->GetStart())};
    if (std::intptr_t answer = procedure(&record, data)) return answer;
  }
  return 0;
}

// ---- Documents, sheets and navigators of views

QsHandle QsGetViewDocument(QsWindow window) {
  HandleTable* table = Handles();
  HostDocumentView* view = ShownView(window);
  return table && view ? table->RegisterDocument(view->GetDocument()) : 0;
}

std::int32_t QsDetachDocumentViews(QsHandle document) {
  HandleTable* table = Handles();
  auto* doc = table ? static_cast<Document*>(table->LookupDocument(document)) : nullptr;
  return doc ? DetachDocumentViews(doc) : 0;
}

QsHandle QsGetViewStyleSheet(QsWindow window) {
  HandleTable* table = Handles();
  HostDocumentView* view = ShownView(window);
  StyleSheet* sheet = view ? view->GetStyleSheet() : nullptr;
  return table && sheet ? table->RegisterStyleSheet(sheet) : 0;
}

QsHandle QsGetViewNavigator(QsWindow window) {
  HandleTable* table = Handles();
  HostDocumentView* view = ShownView(window);
  FrameTreeNode* frame = view ? view->GetFrame() : nullptr;
  NavigatorDef* navigator = frame ? frame->GetNavigator() : nullptr;
  return table && navigator ? table->RegisterNavigator(navigator) : 0;
}

// ---- Windows

std::int32_t QsHandleMessage(QsWindow window, std::uint32_t message, QsWord wparam, QsWord lparam,
                             QsWord* result) {
  Engine* engine = CurrentEngine();
  std::intptr_t answer = 0;
  const int handled = engine ? engine->HandleMessage(static_cast<WindowHandle>(window), message,
                                                     static_cast<std::intptr_t>(wparam),
                                                     static_cast<std::intptr_t>(lparam), &answer)
                             : 0;
  if (result) *result = handled ? static_cast<QsWord>(answer) : 0;
  return handled;
}

void QsRedrawView(QsWindow window) {
  if (!GetEngine()) return;
  if (DocumentView* view = FindDocumentView(static_cast<WindowHandle>(window))) view->Refresh();
}

void QsCloseDocumentViews(QsHandle document) {
  HandleTable* table = Handles();
  if (auto* doc = table ? static_cast<Document*>(table->LookupDocument(document)) : nullptr)
    DetachDocumentViews(doc);
}

void QsApplyStyleSheet(QsHandle sheet) {
  HandleTable* table = Handles();
  if (auto* s = table ? static_cast<StyleSheet*>(table->LookupStyleSheet(sheet)) : nullptr)
    FrameNode::ReapplyStyleSheet(s);
}

void QsApplyNavigator(QsHandle navigator) {
  HandleTable* table = Handles();
  if (auto* n = table ? static_cast<NavigatorDef*>(table->LookupNavigator(navigator)) : nullptr)
    FrameNode::ReapplyNavigator(n);
}

}  // extern "C"

// ---- Picture and tree views ---------------------------------------------------------

namespace {

PictureView* PictureViewOf(QsWindow window) {
  return GetEngine() ? static_cast<PictureView*>(FindPictureView(static_cast<WindowHandle>(window))) : nullptr;
}

// The region a document view marks on a placed picture, with a new
// handle of its entity.
QsHandle DocumentRegion(QsWindow window, std::int32_t* x, std::int32_t* y, std::int32_t* width,
                        std::int32_t* height) {
  HostDocumentView* view = ShownView(window);
  HandleTable* handles = Handles();
  EntityDecl* entity = view ? view->RegionEntity() : nullptr;
  if (!entity || !handles) return 0;
  EntityRef* ref = EntityRef::OfDocument(view->GetDocument(), entity);
  if (!ref) return 0;
  QsHandle handle = handles->RegisterEntity(ref);
  if (!handle) {
    delete ref;
    return 0;
  }
  // The values are 16-bit in the region, handed out sign-extended.
  const int* r = view->RegionBounds();
  if (x) *x = static_cast<std::int16_t>(r[0]);
  if (y) *y = static_cast<std::int16_t>(r[1]);
  if (width) *width = static_cast<std::int16_t>(r[2]);
  if (height) *height = static_cast<std::int16_t>(r[3]);
  return handle;
}

// Marks the region on the entity's picture when the view places it.
std::int32_t MarkDocumentRegion(QsWindow window, EntityRef* ref, std::int32_t x, std::int32_t y,
                                std::int32_t width, std::int32_t height) {
  HostDocumentView* view = ShownView(window);
  EntityDecl* entity = ref ? ref->Entity() : nullptr;
  if (!view || !entity) return 0;
  DisplayWindowScope scope(static_cast<WindowHandle>(window));
  if (view->FindPlacedPicture(entity) < 0) return 0;
  PictureHotArea region;
  region.x = x, region.y = y, region.width = width, region.height = height;
  view->SetHighlight(entity, &region);
  return 1;
}

// A new handle of the graphic's entity, as a document's entity when the
// graphic was asked for in one.
QsHandle GraphicEntityHandle(GraphicObject* graphic) {
  HandleTable* handles = Handles();
  if (!handles || !graphic || !graphic->entity) return 0;
  EntityRef* ref = graphic->context ? EntityRef::OfDocument(graphic->context, graphic->entity)
                                    : EntityRef::OfEntity(graphic->entity);
  if (!ref) return 0;
  QsHandle handle = handles->RegisterEntity(ref);
  if (!handle) delete ref;
  return handle;
}

}  // namespace

extern "C" {

QsHandle QsNodeAtPoint(QsWindow window, std::int32_t x, std::int32_t y) {
  if (!GetEngine()) return 0;
  PointQueryScope scope;
  if (HostDocumentView* view = ShownView(window)) {
    // The element the box stands for, else the innermost one at the
    // position under the point.
    int bx, by;
    DisplayBox* box = view->BoxAtPoint(x, y, &bx, &by, true);
    if (!box) return 0;
    PushCurrentView(view, false);
    DocumentNode* element = box->GetElement();
    PopCurrentView();
    Document* document = view->GetDocument();
    if (!element) {
      const std::int32_t position = view->PositionAtPoint(x, y);
      if (position < 0) return 0;
      element = document->ElementAtPosition(static_cast<std::uint32_t>(position));
    }
    return NewNodeHandle(document, element);
  }
  if (PictureView* picture = PictureViewOf(window)) {
    Region* area = picture->HitTest(x, y, true);
    return area && area->GetElement() ? NewNodeHandle(area->GetDocument(), area->GetElement()) : 0;
  }
  if (auto* tree = static_cast<TreeView*>(FindTreeView(static_cast<WindowHandle>(window)))) {
    DocumentNode* node = tree->HitTest(x, y);
    return node ? NewNodeHandle(tree->GetDocument(), node) : 0;
  }
  return 0;
}

std::int32_t QsPositionAtPoint(QsWindow window, std::int32_t x, std::int32_t y) {
  HostDocumentView* view = ShownView(window);
  if (!view) return -1;
  PointQueryScope scope;
  return view->PositionAtPoint(x, y);
}

QsHandle QsEntityAtPoint(QsWindow window, std::int32_t x, std::int32_t y) {
  HostDocumentView* view = ShownView(window);
  HandleTable* handles = Handles();
  if (!view || !handles) return 0;
  PointQueryScope scope;
  int bx, by;
  DisplayBox* box = view->BoxAtPoint(x, y, &bx, &by, true);
  auto* item = box ? dynamic_cast<EntityRefItem*>(box->Item()) : nullptr;
  if (!item || !item->Entity() || bx < 0 || bx > box->GetWidth()) return 0;
  EntityRef* ref = EntityRef::OfDocument(view->GetDocument(), item->Entity());
  if (!ref) return 0;
  QsHandle handle = handles->RegisterEntity(ref);
  if (!handle) delete ref;
  return handle;
}

QsHandle QsGetViewEntity(QsWindow window, std::int32_t* x, std::int32_t* y, std::int32_t* width,
                         std::int32_t* height) {
  PictureView* picture = PictureViewOf(window);
  if (!picture) return DocumentRegion(window, x, y, width, height);
  const Region* area = picture->SelectedArea();
  if (!area) return 0;
  QsHandle entity = GraphicEntityHandle(picture->Graphic());
  if (!entity) return 0;
  if (x) *x = area->x;
  if (y) *y = area->y;
  if (width) *width = area->width;
  if (height) *height = area->height;
  return entity;
}

std::int32_t QsSetHighlight(QsWindow window, QsHandle entity, std::int32_t x, std::int32_t y,
                            std::int32_t width, std::int32_t height) {
  if (x < 0 || y < 0 || x >= 2047 || y >= 2047 || width <= 0 || height <= 0 ||
      x + width > 2048 || y + height > 2048)
    return 0;
  PictureView* picture = PictureViewOf(window);
  HandleTable* handles = Handles();
  auto* ref = handles ? static_cast<EntityRef*>(handles->LookupEntity(entity)) : nullptr;
  if (!picture) return MarkDocumentRegion(window, ref, x, y, width, height);
  GraphicObject* graphic = picture->Graphic();
  if (!graphic || !graphic->entity || !ref || !ref->Entity() ||
      !SamePictureEntity(graphic->entity, ref->Entity()))
    return 0;
  Region area;
  area.x = static_cast<std::int16_t>(x), area.y = static_cast<std::int16_t>(y);
  area.width = static_cast<std::int16_t>(width), area.height = static_cast<std::int16_t>(height);
  picture->SelectHotArea(&area, true);
  return 1;
}

// ---- Anchors on a view's selection -------------------------------------------------

}  // extern "C"

namespace {

Web* EditableWeb(QsHandle web) {
  HandleTable* handles = Handles();
  auto* w = handles ? static_cast<Web*>(handles->LookupWeb(web)) : nullptr;
  return w && w->IsEditable() ? w : nullptr;
}

// The one range a document view has selected, false for none or several.
bool SingleSelection(HostDocumentView* view, std::uint32_t* start, std::uint32_t* length) {
  if (view->ranges.Count() != 1) return false;
  Range* range = view->ranges.FirstRange();
  *start = range->GetStart();
  *length = range->GetEnd() - range->GetStart();
  return true;
}

// The note dialog for a new anchor on the view's selection, its region, or
// the picture's current area; the host's flag checks the bookmark box.
std::int32_t AnnotateSelection(QsWindow window, QsHandle webHandle, bool bookmark) {
  EngineBase* engine = GetEngine();
  Web* web = EditableWeb(webHandle);
  if (!engine || !web) return 0;
  const auto owner = static_cast<WindowHandle>(window);
  if (HostDocumentView* view = ShownView(window)) {
    std::uint32_t start = 0, length = 0;
    Dialog* dialog = nullptr;
    if (SingleSelection(view, &start, &length)) {
      Document* document = view->GetDocument();
      dialog = new NoteDialog(web, document, start, length,
                              AnchorTitle(document, start, length).c_str(), bookmark);
    } else if (EntityDecl* entity = view->RegionEntity()) {
      const int* r = view->RegionBounds();
      dialog = new NoteDialog(web, entity, r[0], r[1], r[2], r[3], bookmark);
    }
    if (dialog) engine->DoModalDialog(engine->GetParentWindow(owner), dialog);
    return 1;
  }
  if (PictureView* picture = PictureViewOf(window)) {
    const Region* area = picture->SelectedArea();
    GraphicObject* graphic = picture->Graphic();
    if (!area || !graphic || !graphic->entity) return 1;
    if (Anchor* anchor = area->GetAnchor()) {
      engine->ShowNoteDialog(owner, anchor, 0);
      return 1;
    }
    engine->DoModalDialog(engine->GetParentWindow(owner),
                          new NoteDialog(web, graphic->entity, area->x, area->y, area->width,
                                         area->height, bookmark));
    return 1;
  }
  return 0;
}

}  // namespace

extern "C" {

std::int32_t QsAnnotateSelection(QsWindow window, QsHandle web) {
  return AnnotateSelection(window, web, false);
}

std::int32_t QsAnnotateSelection2(QsWindow window, QsHandle web) {
  return AnnotateSelection(window, web, true);
}

std::int32_t QsBeginLink(QsWindow window) {
  HostedEngine* engine = GetEngine() ? GetEngine()->AsHosted() : nullptr;
  if (!engine) return 0;
  if (HostDocumentView* view = ShownView(window)) {
    std::uint32_t start = 0, length = 0;
    if (SingleSelection(view, &start, &length)) {
      engine->SetPendingLocation(view->GetDocument(), start, start + length);
      return 1;
    }
    if (EntityDecl* entity = view->RegionEntity()) {
      const int* r = view->RegionBounds();
      engine->SetPendingObject(entity, r[0], r[1], r[2], r[3]);
      return 1;
    }
    return 0;
  }
  if (PictureView* picture = PictureViewOf(window)) {
    const Region* area = picture->SelectedArea();
    GraphicObject* graphic = picture->Graphic();
    if (!area || !graphic || !graphic->entity) return 0;
    engine->SetPendingObject(graphic->entity, area->x, area->y, area->width, area->height);
    return 1;
  }
  return 0;
}

std::int32_t QsCompleteLink(QsWindow window, QsHandle webHandle) {
  HostedEngine* engine = GetEngine() ? GetEngine()->AsHosted() : nullptr;
  Web* web = EditableWeb(webHandle);
  if (!engine || !web || !engine->HasPendingLink()) return 0;
  if (HostDocumentView* view = ShownView(window)) {
    std::uint32_t start = 0, length = 0;
    if (SingleSelection(view, &start, &length))
      return engine->LinkPendingToRange(web, view->GetDocument(), start, start + length) ? 1 : 0;
    if (EntityDecl* entity = view->RegionEntity()) {
      const int* r = view->RegionBounds();
      return engine->LinkPendingToRegion(web, entity, r[0], r[1], r[2], r[3]) ? 1 : 0;
    }
    return 0;
  }
  if (PictureView* picture = PictureViewOf(window)) {
    const Region* area = picture->SelectedArea();
    GraphicObject* graphic = picture->Graphic();
    if (!area || !graphic || !graphic->entity) return 0;
    return engine->LinkPendingToRegion(web, graphic->entity, area->x, area->y, area->width,
                                       area->height) ? 1 : 0;
  }
  return 0;
}

}  // extern "C"

namespace {

// Each box that shows the target goes to the host's procedure as seven
// 32-bit values: pointer kind, start, length, x, top, width, height.
class TargetBoxes : public BoxQuery {
 public:
  TargetBoxes(int kind, std::int32_t from, std::int32_t to, const void* key, QsRecordProc procedure,
              QsWord data)
      : BoxQuery(kind, from, to, key), procedure_(procedure), data_(data) {}
  std::intptr_t Found(int pointerKind, std::int32_t start, std::int32_t length, int x, int top,
                      int width, int height) override {
    const std::int32_t record[7] = {pointerKind, start, length, x, top, width, height};
    return procedure_(record, data_);
  }

 private:
  QsRecordProc procedure_;
  QsWord data_;
};

}  // namespace

extern "C" {

std::intptr_t QsGetLinkTarget(QsWindow window, QsHandle handle, QsRecordProc procedure,
                              QsWord data) {
  HostDocumentView* view = ShownView(window);
  HandleTable* handles = Handles();
  if (!view || !handles || !procedure) return 0;
  DisplayWindowScope scope(static_cast<WindowHandle>(window));
  if (!handle) {
    TargetBoxes every(0, 0, 0, nullptr, procedure, data);
    return view->VisitLines(every);
  }
  if (auto* anchor = static_cast<Anchor*>(handles->LookupAnchor(handle))) {
    TargetBoxes markers(3, 0, 0, anchor, procedure, data);
    return view->VisitLines(markers);
  }
  if (DocumentNode* element = NodeIn(handles, handle, view->GetDocument())) {
    TargetBoxes text(1, static_cast<std::int32_t>(element->start),
                     static_cast<std::int32_t>(element->end), nullptr, procedure, data);
    return view->VisitLines(text);
  }
  if (auto* ref = static_cast<EntityRef*>(handles->LookupEntity(handle))) {
    TargetBoxes pictures(2, 0, 0, ref->Entity(), procedure, data);
    return view->VisitLines(pictures);
  }
  return 0;
}

QsHandle QsCreateDocAnchor(QsWindow window, QsHandle webHandle, const char* head) {
  HostDocumentView* view = ShownView(window);
  Web* web = EditableWeb(webHandle);
  HandleTable* handles = Handles();
  if (!view || !web || !handles) return 0;
  Anchor* anchor = nullptr;
  std::uint32_t start = 0, length = 0;
  if (SingleSelection(view, &start, &length)) {
    Document* document = view->GetDocument();
    anchor = web->AddDocumentAnchor(document, start, length);
    if (anchor) anchor->SetHead(head && *head ? head : AnchorTitle(document, start, length).c_str());
  } else if (EntityDecl* entity = view->RegionEntity()) {
    const int* r = view->RegionBounds();
    anchor = web->AddHotspotAnchor(entity, r[0], r[1], r[2], r[3], 0);
    char buffer[512];
    EngineBase* engine = GetEngine();
    const char* fallback = engine ? engine->GetString(16, buffer) : nullptr;
    if (anchor) anchor->SetHead(head && *head ? head : fallback ? fallback : "HOTSPOT");
  }
  return anchor ? handles->RegisterAnchor(anchor) : 0;
}

QsHandle QsAnchorAtPoint(QsWindow window, std::int32_t x, std::int32_t y) {
  PictureView* picture = PictureViewOf(window);
  Region* area = picture ? picture->HitTest(x, y, true) : nullptr;
  Anchor* anchor = area ? area->GetAnchor() : nullptr;
  HandleTable* handles = Handles();
  return anchor && handles ? handles->RegisterAnchor(anchor) : 0;
}

QsHandle QsCreatePictureAnchor(QsWindow window, QsHandle web, const char* head, std::int32_t x,
                               std::int32_t y, std::int32_t width, std::int32_t height,
                               std::int32_t zoom) {
  PictureView* picture = PictureViewOf(window);
  if (!picture) return 0;
  // The values the picture exports answer, 16-bit.
  const std::int32_t zoomX = static_cast<std::int16_t>(picture->ZoomedWidth());
  const std::int32_t zoomY = static_cast<std::int16_t>(picture->ZoomedHeight());
  if (zoomX <= 0 || zoomY <= 0) return 0;
  auto cut = [](std::int64_t v) { return static_cast<std::int16_t>(v); };
  const std::int32_t ax = cut((std::int64_t{static_cast<std::int16_t>(picture->ScrollX())} + x) * 2048 / zoomX);
  const std::int32_t ay = cut((std::int64_t{static_cast<std::int16_t>(picture->ScrollY())} + y) * 2048 / zoomY);
  const std::int32_t aw = cut(std::int64_t{width} * 2048 / zoomX);
  const std::int32_t ah = cut(std::int64_t{height} * 2048 / zoomY);
  QsHandle entity = GraphicEntityHandle(picture->Graphic());
  if (!entity) return 0;
  QsHandle anchor = QsCreateHotspot(web, entity, head, ax, ay, aw, ah, zoom);
  QsReleaseHandle(entity);
  return anchor;
}

}  // extern "C"
