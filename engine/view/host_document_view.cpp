#include "view/host_document_view.h"

#include "api/node_ref.h"
#include "api/records.h"
#include "api/wrappers.h"
#include "foundation/engine.h"
#include "foundation/handle_table.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "sgml/document.h"
#include "sgml/link_rules.h"
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
    // linked window. A follower takes each top of its leader once: one
    // that cannot show that very position (a navigator starts at an entry,
    // a short view at its last line) would otherwise scroll again, and so
    // paint again, for ever; and between the leader's moves it stays where
    // its reader scrolled it.
    const std::int32_t top = GetFirstShownPosition();
    for (DocumentView* v = ViewList::First(); v; v = ViewList::Next(v)) {
      if (v == this || v->GetDocument() != document) continue;
      auto* device = static_cast<WindowDevice*>(v->GetDevice());
      if (!device || device->view != v || !WindowMap::Find(device->window())) continue;
      auto* host = static_cast<HostDocumentView*>(v);
      if (host->linkedWindow == own) host->Follow(top);
    }
    if (linkedWindow)
      if (DocumentView* leader = FindDocumentView(linkedWindow);
          leader && leader != this && leader->GetDocument() == document)
        Follow(leader->GetFirstShownPosition());
  }
  DocumentView::OnPaint();
  ReportPlace();
}

void HostDocumentView::Follow(std::int32_t top) {
  if (top == syncPosition) return;
  syncPosition = top;
  if (top != GetFirstShownPosition()) ShowPosition(top);
}

void HostDocumentView::OnHighlightChanged() {
  const std::uint8_t word = ranges.IsEmpty() ? 0 : rangesAreHits ? 2 : 1;
  if (word == selectionState || !GetDevice()) return;
  selectionState = word;
  if (EngineBase* engine = GetEngine()) engine->RaiseEvent(window(), kEventSelectionChanged, word, 0);
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

namespace {

// A handle the host holds for the span of one event.
class EventHandle {
 public:
  EventHandle(void* object, HandleType type) {
    HostedEngine* engine = GetEngine() ? GetEngine()->AsHosted() : nullptr;
    table_ = engine ? engine->handles.get() : nullptr;
    if (table_ && object) handle_ = table_->Register(object, type);
    if (!handle_) owned_ = object;
  }
  ~EventHandle() {
    if (handle_) table_->Release(handle_);
  }
  EventHandle(const EventHandle&) = delete;
  EventHandle& operator=(const EventHandle&) = delete;
  Handle get() const { return handle_; }
  // An object made for the event that could not be registered.
  void* Unregistered() const { return owned_; }

 private:
  HandleTable* table_ = nullptr;
  Handle handle_ = 0;
  void* owned_ = nullptr;
};

// A new node wrapper for an element of the document; its handle record
// owns it.
struct NodeHandle {
  NodeHandle(Document* document, DocumentNode* element)
      : ref(document && element ? new NodeRef(document, element) : nullptr),
        handle(ref, HandleType::kNode) {
    if (handle.Unregistered()) delete ref;
  }
  NodeRef* ref;
  EventHandle handle;
};

}  // namespace

int HostDocumentView::AskHostForLocation(Document* document, DocumentNode* element) {
  EngineBase* engine = GetEngine();
  if (!engine || !element) return 0;
  NodeHandle node(document ? document : GetDocument(), element);
  const WindowHandle target = CurrentDisplayWindow() ? CurrentDisplayWindow() : window();
  return static_cast<int>(engine->RaiseEvent(target, kEventElementLocation, node.handle.get(), 0));
}

namespace {

char* AskHostText(WindowHandle window, int event, Handle handle, std::intptr_t argument) {
  EngineBase* engine = GetEngine();
  if (!engine) return nullptr;
  QsHostTextRequest request{argument, 0};
  const std::intptr_t answer =
      engine->RaiseEvent(window, event, handle, reinterpret_cast<std::intptr_t>(&request));
  if (!answer) return nullptr;
  char* copy = DuplicateString(reinterpret_cast<const char*>(answer));
  if (request.freeAnswer) engine->RaiseEvent(window, kEventFreeHostBlock, answer, 0);
  return copy;
}

}  // namespace

char* AskHostElementText(WindowHandle window, Document* document, DocumentNode* element,
                         std::intptr_t argument) {
  if (!element) return nullptr;
  NodeHandle node(document, element);
  return AskHostText(window, kEventElementText, node.handle.get(), argument);
}

char* AskHostObjectText(WindowHandle window, std::intptr_t argument) {
  // The object is a mark of the document with no handle of its own: the
  // host learns the field's value only.
  return AskHostText(window, kEventObjectText, 0, argument);
}

char* HostDocumentView::GetHostTextForElement(DocumentNode* element, std::intptr_t argument) {
  return AskHostElementText(window(), GetDocument(), element, argument);
}

char* HostDocumentView::GetHostTextForObject(void*, std::intptr_t argument) {
  return AskHostObjectText(window(), argument);
}

int HostDocumentView::OfferEntity(EntityDecl* entity) {
  EngineBase* engine = GetEngine();
  if (!engine || !entity) return 0;
  EntityRef* ref = EntityRef::OfDocument(GetDocument(), entity);
  EventHandle handle(ref, HandleType::kEntity);
  if (handle.Unregistered()) delete ref;
  return engine->RaiseEvent(window(), kEventOfferEntity, handle.get(), 0) != 0 ? 1 : 0;
}

std::intptr_t HostDocumentView::AskHostAboutElement(DocumentNode* element, std::intptr_t key) {
  EngineBase* engine = GetEngine();
  if (!engine || !element) return 0;
  NodeHandle node(GetDocument(), element);
  return engine->RaiseEvent(window(), kEventElementQuestion, node.handle.get(), key);
}

int HostDocumentView::GotoDocumentPosition(DocumentNode* a, DocumentNode* b, std::int32_t position) {
  Document* document = GetDocument();
  EngineBase* engine = GetEngine();
  if (!document || !engine) return 0;
  {
    NodeHandle first(document, a), second(document, b);
    if (engine->RaiseEvent(window(), kEventGotoDocumentPosition, first.handle.get(),
                           second.handle.get()))
      return 1;
  }
  if (DocumentView* linked = linkedWindow ? FindDocumentView(linkedWindow) : nullptr;
      linked && linked->GetDocument() == document) {
    linked->ShowPosition(position);
    return 1;
  }
  return engine->GotoPosition(window(), nullptr, document, position, 0, 2);
}

int HostDocumentView::FollowLink(DocumentNode* context, const LinkRule* rule) {
  EngineBase* engine = GetEngine();
  if (engine && context) {
    NodeHandle node(GetDocument(), context);
    QsLinkRuleRecord record{rule ? rule->Text1() : nullptr, rule ? rule->Text2() : nullptr};
    if (engine->RaiseEvent(window(), kEventFollowLink, node.handle.get(),
                           rule ? reinterpret_cast<std::intptr_t>(&record) : 0))
      return 1;
  }
  return DocumentView::FollowLink(context, rule);
}

int HostDocumentView::GotoRange(Document* fromDocument, DocumentNode* context, Document* document,
                                std::int32_t start, std::int32_t length) {
  EngineBase* engine = GetEngine();
  if (!engine || !document) return 0;
  {
    NodeHandle node(fromDocument ? fromDocument : GetDocument(), context);
    EventHandle target(document, HandleType::kDocument);
    QsGotoRangeRequest request{target.get(), start, length};
    if (engine->RaiseEvent(window(), kEventGotoRange, node.handle.get(),
                           reinterpret_cast<std::intptr_t>(&request)))
      return 1;
  }
  HostedEngine* hosted = engine->AsHosted();
  if (!hosted) return DocumentView::GotoRange(fromDocument, context, document, start, length);
  return hosted->FindCoveringObject(window(), reinterpret_cast<View*>(static_cast<ViewWindow*>(this)),
                                    nullptr, document, start, length, 0, kGotoRangeMode);
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
