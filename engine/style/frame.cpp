#include "style/frame.h"

#include "foundation/engine.h"
#include "foundation/engine_services.h"
#include "foundation/errors.h"
#include "foundation/names.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/model_names.h"
#include "style/formatter.h"
#include "style/navigator.h"
#include "style/style_sheet.h"

namespace qs {

// ---- Pool ------------------------------------------------------------------------

void* Pool::AllocAligned(std::size_t size) {
  std::size_t rounded = RoundedSize(size);
  void* block = arena_.Allocate(rounded);
  if (block) taken_ += rounded;
  return block;
}

void Pool::FreeAll() {
  arena_.FreeAll();
  taken_ = 0;
}




// ---- Views -----------------------------------------------------------------------

OwnedList& FrameViews() {
  static OwnedList* views = new OwnedList(false);
  return *views;
}

namespace {

void TellViews(const void* object, bool after) {
  for (OwnedNode* n = FrameViews().First(); n; n = n->Next())
    static_cast<FrameView*>(n)->Rebind(object, after);
}

// ---- Frame-building context --------------------------------------------------------

struct FramePair {
  FrameTreeNode* current = nullptr;
  FrameTreeNode* lastBuilt = nullptr;
};

struct FrameContext {
  FrameTreeNode* current = nullptr;
  FrameTreeNode* lastBuilt = nullptr;
  FramePair saved[kFrameContextDepth];
  int depth = 0;
  // Pushes refused past the limit; their pops restore nothing.
  int refused = 0;
};

FrameContext& Context() {
  static FrameContext context;
  return context;
}

// The engine's frame root, made when missing.
TreeNode* FrameRoot() {
  EngineBase* engine = GetEngine();
  if (!engine) return nullptr;
  if (!engine->frames) engine->frames.Set(new TreeNode);
  return engine->frames.get();
}

}  // namespace

void PushFrameContext(FrameTreeNode* frame) {
  FrameContext& c = Context();
  if (c.depth >= kFrameContextDepth) {
    ++c.refused;
    ReportEngineError(kErrInternal, 18);
    return;
  }
  c.saved[c.depth].current = c.current;
  c.saved[c.depth].lastBuilt = c.lastBuilt;
  ++c.depth;
  c.current = frame;
  c.lastBuilt = nullptr;
}

void PopFrameContext() {
  FrameContext& c = Context();
  if (c.refused > 0) {
    --c.refused;
    return;
  }
  if (c.depth == 0) return;
  --c.depth;
  c.current = c.saved[c.depth].current;
  c.lastBuilt = c.saved[c.depth].lastBuilt;
}

FrameTreeNode* CurrentBuildFrame() { return Context().current; }
FrameTreeNode* LastBuiltFrame() { return Context().lastBuilt; }
int FrameContextDepth() { return Context().depth; }

// ---- FrameTreeNode -----------------------------------------------------------------

FrameTreeNode::FrameTreeNode(FrameTreeNode* parent, DocumentNode* rootElement,
                             std::intptr_t argument)
    : root(rootElement) {
  if (!parent) return;
  FrameContext& c = Context();
  if (c.lastBuilt) {
    c.lastBuilt->InsertAfter(this);
    c.lastBuilt = nullptr;
  } else {
    FrameTreeNode* at = c.current ? c.current : parent;
    at->AppendChild(this);
  }
  c.current = this;
  Document* document = parent->GetDocument(argument, rootElement);
  if (Formatter* f = parent->MakeFormatter(this, this, document, nullptr, rootElement)) {
    f->Run(true);
    delete f;
  }
  c.lastBuilt = c.current;
  c.current = static_cast<FrameTreeNode*>(c.current->GetParent());
}

void FrameTreeNode::DropViews() {
  // A view still showing the frame is told and dropped from the list.
  for (OwnedNode* n = FrameViews().First(); n;) {
    auto* view = static_cast<FrameView*>(n);
    n = n->Next();
    if (view->ShownFrame() != this) continue;
    ReportEngineError(kErrUnclosedPage);
    view->Remove();
    view->DetachFrame();
  }
}

FrameTreeNode::~FrameTreeNode() {
  DropViews();
  FrameContext& c = Context();
  if (c.current == this) c.current = nullptr;
  if (c.lastBuilt == this) c.lastBuilt = nullptr;
  DeleteChildFrames();
  ReleaseName(pageColor);
  items.DeleteAll();
  Unlink();  // the siblings stay
}

void FrameTreeNode::DeleteChildFrames() {
  while (TreeNode* child = FirstChild()) {
    child->Unlink();
    delete child;
  }
}

void FrameTreeNode::AddRef() {
  if (Parent()) Parent()->AddRef();
}
void FrameTreeNode::Release() {
  if (Parent()) Parent()->Release();
}
Document* FrameTreeNode::GetDocument(std::intptr_t argument, DocumentNode* rootElement) {
  return Parent() ? Parent()->GetDocument(argument, rootElement) : nullptr;
}
StyleSheet* FrameTreeNode::GetStyleSheet() { return Parent() ? Parent()->GetStyleSheet() : nullptr; }
NavigatorDef* FrameTreeNode::GetNavigator() { return Parent() ? Parent()->GetNavigator() : nullptr; }
Palette* FrameTreeNode::GetPalette() { return Parent() ? Parent()->GetPalette() : nullptr; }
FrameNode* FrameTreeNode::GetFrame() { return Parent() ? Parent()->GetFrame() : nullptr; }
std::uint32_t FrameTreeNode::GetFlags() { return Parent() ? Parent()->GetFlags() : 0; }
void FrameTreeNode::SetFlags(std::uint32_t flags) {
  if (Parent()) Parent()->SetFlags(flags);
}
Formatter* FrameTreeNode::MakeFormatter(FrameTreeNode* view, FrameTreeNode* list,
                                        Document* document, const void* baseFormat,
                                        DocumentNode* rootElement) {
  return Parent() ? Parent()->MakeFormatter(view, list, document, baseFormat, rootElement)
                  : nullptr;
}

FrameTreeNode* FrameTreeNode::FindByPosition(const DocumentNode* element) {
  if (!root || !element || element->start < root->start || root->end < element->end)
    return nullptr;
  for (FrameTreeNode* child = FirstChildFrame(); child; child = child->NextFrame())
    if (FrameTreeNode* found = child->FindByPosition(element)) return found;
  return this;
}

FrameTreeNode* FrameTreeNode::FindByRange(std::int32_t start, std::int32_t end) {
  if (!root) return nullptr;
  if (start < 0) start = 0;
  Document* document = GetDocument(0, root);
  if (document && document->Root() && end > static_cast<std::int32_t>(document->Root()->end))
    end = static_cast<std::int32_t>(document->Root()->end);
  auto rootStart = static_cast<std::int32_t>(root->start);
  auto rootEnd = static_cast<std::int32_t>(root->end);
  if (start < rootStart || start >= rootEnd || rootEnd < end) return nullptr;
  if (rootStart == start && rootEnd == end) return this;
  for (FrameTreeNode* child = FirstChildFrame(); child; child = child->NextFrame())
    if (FrameTreeNode* found = child->FindByRange(start, end)) return found;
  return this;
}

void FrameTreeNode::RefreshViews() {
  for (OwnedNode* n = FrameViews().First(); n; n = n->Next())
    if (static_cast<FrameView*>(n)->ShownFrame() == this) static_cast<FrameView*>(n)->Refresh();
  for (FrameTreeNode* child = FirstChildFrame(); child; child = child->NextFrame())
    child->RefreshViews();
}

// ---- FrameNode ------------------------------------------------------------------------

FrameNode::FrameNode(Document* document, StyleSheet* sheet, std::uint32_t flags,
                     DocumentNode* rootElement)
    : FrameTreeNode(nullptr, rootElement ? rootElement : (document ? document->Root() : nullptr),
                    0),
      document_(document ? document->AddRef() : nullptr),
      sheet_(sheet),
      flags_(flags) {
  if (sheet_) sheet_->AddUse();
  if (TreeNode* frames = FrameRoot()) frames->AppendChild(this);
}

FrameNode::~FrameNode() {
  DropViews();
  // The frames go before the document and sheet they show.
  DeleteChildFrames();
  items.DeleteAll();
  pool_.FreeAll();
  MemFree(palette_);
  palette_ = nullptr;
  if (document_) document_->Release();
  document_ = nullptr;
  if (StyleSheet* sheet = sheet_) {
    sheet_ = nullptr;
    sheet->DropUse();
  }
}

void FrameNode::Release() {
  if (--count_ == 0) delete this;
}

void FrameNode::SetFlags(std::uint32_t flags) {
  bool display = ((flags ^ flags_) & 3) != 0;
  flags_ = flags;
  if (display) {
    TellViews(this, false);
    TellViews(this, true);
  }
}

void FrameNode::SetPalette(Palette* palette) {
  MemFree(palette_);
  palette_ = palette;
}

void FrameNode::Clear(bool) {
  DeleteChildFrames();
  items.DeleteAll();
  pool_.FreeAll();
}

Formatter* FrameNode::MakeFormatter(FrameTreeNode* view, FrameTreeNode* list, Document* document,
                                    const void* baseFormat, DocumentNode* rootElement) {
  return new DocumentFormatter(view, list, document,
                               static_cast<TextFormat*>(const_cast<void*>(baseFormat)), rootElement);
}

void FrameNode::Rebuild() {
  Clear(true);
  Formatter* formatter = MakeFormatter(this, this, document_, nullptr, root);
  if (!formatter) return;
  Format(formatter);
  delete formatter;
}

void FrameNode::Format(Formatter* formatter) {
  PushFrameContext(this);
  if (root && document_) {
    for (std::size_t i = 0; i < document_->UsedTypeCount(); ++i) {
      ElementTypeDecl* decl = document_->UsedType(i);
      decl->styleEntry = reinterpret_cast<std::intptr_t>(
          sheet_ ? sheet_->FindTag(decl->NameText()) : nullptr);
    }
    if (sheet_)
      for (StyleTagEntry* e = sheet_->FirstTag(); e; e = sheet_->NextTag()) e->ResetCounters();
    // Notation handlers come with the graphics; until then there are none.
    if (Dtd* dtd = document_->GetDtd())
      for (NotationDecl* n = dtd->FirstNotation(); n; n = dtd->NextNotation()) n->handler = 0;
  }
  pool_.FreeAll();
  AcquireFormatterGlobals();
  if (formatter) formatter->Run(true);
  ReleaseFormatterGlobals(this);
  PopFrameContext();
}

FrameNode* FrameNode::FirstFrame() {
  TreeNode* frames = FrameRoot();
  return frames ? static_cast<FrameNode*>(frames->FirstChild()) : nullptr;
}

template <class Test>
void FrameNode::Reapply(const void* object, Test test) {
  TellViews(object, false);
  for (auto* f = FirstFrame(); f; f = static_cast<FrameNode*>(f->NextSibling()))
    if (f->GetKind() != 4 && test(f)) f->Clear(true);
  for (auto* f = FirstFrame(); f; f = static_cast<FrameNode*>(f->NextSibling()))
    if (f->GetKind() != 4 && test(f)) f->Rebuild();
  TellViews(object, true);
}

void FrameNode::ReapplyStyleSheet(StyleSheet* sheet) {
  Reapply(sheet, [sheet](FrameNode* f) { return !sheet || f->GetStyleSheet() == sheet; });
}

void FrameNode::ReapplyNavigator(NavigatorDef* navigator) {
  Reapply(navigator,
          [navigator](FrameNode* f) { return !navigator || f->GetNavigator() == navigator; });
}

void FrameNode::ReapplyDocumentType(const void* definition) {
  Reapply(definition, [definition](FrameNode* f) {
    return !definition || (f->GetDocument() && f->GetDocument()->GetDtd() == definition);
  });
}

void FrameNode::CloseDocumentViews(Document* document) {
  for (auto* f = FirstFrame(); f; f = static_cast<FrameNode*>(f->NextSibling()))
    if (!document || f->GetDocument() == document) f->RefreshViews();
}

FrameTreeNode* FrameNode::FindDocumentRange(Document* document, std::int32_t start,
                                            std::int32_t length) {
  for (auto* f = FirstFrame(); f; f = static_cast<FrameNode*>(f->NextSibling()))
    if (f->GetDocument() == document) return f->FindByRange(start, start + length);
  return nullptr;
}

}  // namespace qs
