// Documents shown in the host's windows: attaching a formatted document to
// a window, moving in it, and the window, document and sheet exports that
// reach the views.
#include "api/exports.h"
#include "api/interface.h"
#include "api/node_ref.h"
#include "foundation/history.h"
#include "sgml/document.h"
#include "style/frame.h"
#include "style/navigator.h"
#include "style/style_sheet.h"
#include "view/current_view.h"
#include "view/document_view.h"
#include "view/host_document_view.h"
#include "view/window_device.h"
#include "view/window_map.h"

using namespace qs;

namespace {

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

bool InDocument(Document* document, std::int32_t position) {
  DocumentNode* root = document ? document->Root() : nullptr;
  if (!root || position < 0) return false;
  return position >= static_cast<std::int32_t>(root->start) &&
         position <= static_cast<std::int32_t>(root->end);
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
  DocumentNode* start = doc ? NodeIn(table, startNode, doc) : nullptr;

  auto* view = new HostDocumentView(win, static_cast<std::uint32_t>(flags));
  view->linkedWindow = static_cast<WindowHandle>(linkedWindow);
  if (!doc) return 0;

  std::int32_t place = 0;
  if (DocumentNode* range = NodeIn(table, rangeNode, doc))
    place = static_cast<std::int32_t>(range->start);

  auto* styleSheet = static_cast<StyleSheet*>(table->LookupStyleSheet(sheet));
  if (!styleSheet) styleSheet = LoadedResource<StyleSheet>(table, QsLoadStyleSheet, document, true);
  NavigatorDef* nav = nullptr;
  if (navigator == 1)
    nav = LoadedResource<NavigatorDef>(table, QsLoadNavigator, document, false);
  else if (navigator)
    nav = static_cast<NavigatorDef*>(table->LookupNavigator(navigator));
  // Navigators are shown by their own frame once it exists; until then
  // the document shows without one.
  (void)nav;

  DisplayWindowScope scope(win);
  std::uint32_t level = ((flags & 8) ? 2 : 0) + ((flags & 4) ? 1 : 0);
  auto* frame = new FrameNode(doc, styleSheet, level, start);
  frame->Rebuild();
  if (auto* device = static_cast<HostWindowDevice*>(view->GetDevice()))
    device->SetScrollBarFlags(static_cast<std::uint32_t>(flags));

  view->AddRef();
  if (flags & kLocateAndReport) {
    view->SetFrame(frame, place, false);
    int width = view->GetWidth(), height = view->GetHeight();
    std::int32_t first = 0, last = 0;
    if (view->LocatePosition(place, &width, &height) == 1) {
      first = view->GetFirstShownPosition();
      last = view->GetLastShownPosition();
    }
    if (EngineBase* engine = GetEngine())
      engine->RaiseEvent(win, kEventViewExtent, first, last);
    view->Refresh();
  } else {
    view->SetFrame(frame, place, false);
    PushCurrentView(view, false);
    view->LayoutFrom(place, true);
    PopCurrentView();
    view->UpdateWindow();
  }
  view->SetMode(static_cast<std::uint32_t>(flags));
  view->syncPosition = -1;
  const bool attached = view->GetDevice() != nullptr;
  view->Release();
  if (attached) TellViewChanged(win);
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
  return view ? static_cast<std::int32_t>(static_cast<HostDocumentView*>(view)->GetOptions()) : 0;
}

std::int32_t QsSetViewFlags(QsWindow window, std::int32_t flags) {
  if (!GetEngine()) return 0;
  DocumentView* view = FindDocumentView(static_cast<WindowHandle>(window));
  if (!view) return 0;
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
    // The hit list's commands come with searching; there is no hit yet.
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
