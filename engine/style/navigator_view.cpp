#include "style/navigator_view.h"

#include <new>
#include <utility>

#include "foundation/engine.h"
#include "foundation/engine_lists.h"
#include "layout/layout_item.h"
#include "sgml/document.h"
#include "sgml/external_id.h"
#include "style/navigator.h"
#include "style/style_rules.h"
#include "style/style_sheet.h"
#include "style/text_format.h"

namespace qs {

namespace {

template <class T, class... Args>
T* MakeItem(GlobalArena& pool, Args&&... args) {
  static_assert(alignof(T) <= GlobalArena::kAlignment);
  void* block = pool.Allocate(sizeof(T), alignof(T));
  return block ? ::new (block) T(std::forward<Args>(args)...) : nullptr;
}

// The sheet the definition's StyleSpec names, from the engine's loaded
// sheets or loaded now; the given sheet when there is none or it cannot be
// read.
StyleSheet* SheetFor(NavigatorDef* definition, StyleSheet* given) {
  ExternalId* spec = definition ? definition->StyleSpec() : nullptr;
  EngineBase* engine = GetEngine();
  if (!spec || !engine) return given;
  if (!engine->styleSheets) engine->styleSheets.Set(new StyleSheetList);
  StyleSheetList* sheets = engine->styleSheets.get();
  if (!sheets) return given;
  for (OwnedNode* n = sheets->First(); n; n = n->Next()) {
    auto* sheet = static_cast<StyleSheet*>(n);
    if (ExternalId::Equals(sheet->Id(), spec)) return sheet;
  }
  auto* sheet = new StyleSheet(spec);
  if (!sheet) return given;
  if (!sheet->Load() || !sheets->AddLimited(sheet)) {
    delete sheet;
    return given;
  }
  return sheet;
}

}  // namespace

// ---- NavigatorView ---------------------------------------------------------------------------

NavigatorView::NavigatorView(Document* document, StyleSheet* sheet, NavigatorDef* definition,
                             DocumentNode* root)
    : FrameNode(document, SheetFor(definition, sheet), 0, root), navigator_(definition) {
  if (navigator_) navigator_->AddUse();
}

NavigatorView::~NavigatorView() {
  // The nodes go before the definition that made them.
  DeleteChildFrames();
  items.DeleteAll();
  savedExpansion.DeleteAll();
  if (NavigatorDef* definition = navigator_) {
    navigator_ = nullptr;
    definition->DropUse();
  }
}

DocumentNode* NavigatorView::GetCurrentElement() {
  for (auto* item = static_cast<LayoutItem*>(items.First()); item; item = item->NextItem())
    if (std::intptr_t element = item->HandleMessage(0, 0, kNavCurrentElement, 0))
      return reinterpret_cast<DocumentNode*>(element);
  return nullptr;
}

void NavigatorView::Clear(bool discard) {
  // Only a formatted view has nodes whose state is worth keeping.
  if (discard && !items.IsEmpty()) {
    savedExpansion.DeleteAll();
    for (auto* item = static_cast<LayoutItem*>(items.First()); item; item = item->NextItem())
      if (std::intptr_t element = item->HandleMessage(0, 0, kNavExpandedElement, 0))
        if (auto* record = new SavedExpansion(reinterpret_cast<DocumentNode*>(element)))
          savedExpansion.Append(record);
  }
  FrameNode::Clear(discard);
}

Formatter* NavigatorView::MakeFormatter(FrameTreeNode* view, FrameTreeNode* list,
                                        Document* document, const void* baseFormat,
                                        DocumentNode* rootElement) {
  // Only a whole-document run builds the tree; a part formats plainly.
  if (view && view->GetKind() == 3 &&
      (!rootElement || (document && rootElement == document->Root())))
    return new NavigatorBuilder(static_cast<NavigatorView*>(view), navigator_, rootElement);
  return FrameNode::MakeFormatter(view, list, document, baseFormat, rootElement);
}

// ---- NavigatorBuilder ------------------------------------------------------------------------

NavigatorBuilder::NavigatorBuilder(NavigatorView* view, NavigatorDef* definition,
                                   DocumentNode* root)
    : DocumentFormatter(view, nullptr, view->GetDocument(), nullptr, root),
      navView_(view),
      definition_(definition) {}

void NavigatorBuilder::Run(bool withBreaks) {
  (void)withBreaks;
  const std::uint16_t savedMin = MinFontSize(), savedMax = MaxFontSize();
  auto limit = [](std::uint16_t points, std::uint32_t otherwise) {
    std::uint32_t size = points ? points * 100u : otherwise;
    return static_cast<std::uint16_t>(size > 0xFFFF ? 0xFFFF : size);
  };
  if (definition_) {
    SetFontSizeLimits(limit(definition_->min, 600), limit(definition_->max, 19200));
    PushScale(definition_->scale);
  }
  // Only titles make items: everything else has no output target.
  if (definition_) DocumentFormatter::Run(false);
  if (definition_) PopScale(definition_->scale);
  SetFontSizeLimits(savedMin, savedMax);

  Document* doc = document;
  DocumentNode* top = doc ? doc->Root() : root;
  if (top)
    if (auto* end = MakeItem<BreakItem>(ItemPool(), static_cast<std::int32_t>(top->end),
                                        GetCurrentFormat(), std::int16_t{0}))
      navView_->items.Append(end);

  if (navView_->savedExpansion.IsEmpty()) {
    if (rootNode_ && singleRoot_) rootNode_->Expand();
    return;
  }
  // Expanding splices the children in right after their parent, so the
  // walk reaches them and restores nested expansion in the same pass.
  auto* cursor = static_cast<SavedExpansion*>(navView_->savedExpansion.First());
  for (auto* item = static_cast<LayoutItem*>(navView_->items.First()); item && cursor;
       item = item->NextItem())
    cursor = reinterpret_cast<SavedExpansion*>(
        item->HandleMessage(0, 0, kNavRestore, reinterpret_cast<std::intptr_t>(cursor)));
  navView_->savedExpansion.DeleteAll();
}

void NavigatorBuilder::AddProcInstrItem(Mark* mark, TextFormat* format, bool) {
  DocumentFormatter::AddProcInstrItem(mark, format, false);
}

int NavigatorBuilder::StartElement(DocumentNode* element) {
  // Past the stacks elements are followed only by their count: they are
  // never entries, and a title they lie in goes on.
  auto push = [this](DocumentNode* entry) {
    if (elementDepth_ + 1 >= kStackDepth) {
      ++overflow_;
      return false;
    }
    titleStack_[++elementDepth_] = entry;
    return true;
  };
  if (titleStack_[elementDepth_] == element)
    SetOutputTarget(currentNode_ ? &currentNode_->titleItems : nullptr);
  if (OutputTarget()) {
    push(titleStack_[elementDepth_]);
    return DocumentFormatter::StartElement(element);
  }
  // The element's entry is the inherited one unless it makes a node.
  if (!push(titleStack_[elementDepth_])) return 0;
  NavigatorTag* tag = LevelShown() && definition_ ? definition_->FindEntry(element) : nullptr;
  if (!tag) return 0;
  std::uint8_t flags = 0;
  DocumentNode* title = definition_->MatchEntry(tag, document, element, &flags, view);
  // A node the pool cannot supply is not linked: the entries inside it
  // belong to the enclosing node.
  NavigatorNode* node =
      title && nodeDepth_ + 1 < kStackDepth
          ? MakeItem<NavigatorNode>(ItemPool(), element, title, GetCurrentFormat(),
                                    static_cast<std::int8_t>(nodeDepth_), flags, &navView_->items)
          : nullptr;
  if (!node) return 0;
  titleStack_[elementDepth_] = title;
  nodeStack_[nodeDepth_++] = currentNode_;
  if (!currentNode_) {
    if (!rootNode_)
      rootNode_ = node;
    else
      singleRoot_ = false;
    navView_->items.Append(node);
  } else {
    currentNode_->AppendChild(node);
  }
  currentNode_ = node;
  if (title != element) return 0;  // the title starts later
  SetOutputTarget(&node->titleItems);
  // The entry's own icon does not belong in its title.
  ElementStyle* style = GetCurrentStyle();
  InternedName* icon = style ? style->icon : nullptr;
  if (style) style->icon = nullptr;
  const int result = DocumentFormatter::StartElement(element);
  if (style) style->icon = icon;
  return result;
}

int NavigatorBuilder::EndElement(DocumentNode* element) {
  const int result = OutputTarget() ? DocumentFormatter::EndElement(element) : 0;
  if (titleStack_[elementDepth_] == element) SetOutputTarget(nullptr);
  if (overflow_ > 0)
    --overflow_;
  else if (elementDepth_ > 0)
    --elementDepth_;
  if (currentNode_ && currentNode_->Element() == element && nodeDepth_ > 0)
    currentNode_ = nodeStack_[--nodeDepth_];
  return result;
}

}  // namespace qs
