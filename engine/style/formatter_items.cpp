// The formatter's emitting operations for tables, rulers, link markers and
// element icons: each makes its item and appends it.
#include "layout/formula_items.h"
#include "layout/icon_items.h"
#include "layout/table_items.h"
#include "sgml/document.h"
#include "style/cals_table.h"
#include "style/formatter.h"
#include "style/grid_table_formatter.h"
#include "style/style_rules.h"

namespace qs {

namespace {

constexpr int kCalsTable = 3;
constexpr int kPlainTable = 2;  // TBL-NL: no lines
constexpr int kFraction = 1;
constexpr int kRadical = 2;
constexpr int kRadix = 3;

// Each part of a formula recurses into a fresh formatter: past this many
// nested runs a crafted document would exhaust the stack, so formulas
// deeper down are formatted as text.
constexpr int kFormulaDepth = 32;
int g_formulaDepth = 0;

bool HasTwoChildren(DocumentNode* element) {
  DocumentNode* first = element->First();
  return first && first->Next() && !first->Next()->Next();
}

}  // namespace

int DocumentFormatter::StartTable(DocumentNode* element, ElementStyle* style) {
  if (!TableNestingAllowed()) return 0;
  const int kind = style ? style->table : 0;
  if (kind == kCalsTable && element->First()) {
    CalsTableNew(*this, element);
    return 1;
  }
  auto* table = new (ItemPool()) TableItem(element, GetCurrentFormat(), kind == kPlainTable ? 0 : 0x0F);
  if (!table) return 0;
  ++TableNestingDepth();
  if (auto* grid = new GridTableFormatter(view, items, document, GetCurrentFormat(), element, table)) {
    grid->Run(false);
    delete grid;
  }
  --TableNestingDepth();
  AppendItem(table);
  return 1;
}

DocumentFormatter* DocumentFormatter::MakePartFormatter(DocumentNode* element) {
  if (g_formulaDepth >= kFormulaDepth || !view) return nullptr;
  Formatter* made = view->MakeFormatter(view, items, document, GetCurrentFormat(), element);
  auto* nested = dynamic_cast<DocumentFormatter*>(made);
  if (!nested) delete made;
  return nested;
}

void DocumentFormatter::RunPart(DocumentFormatter* nested, ListHead* list) {
  nested->SetOutputTarget(list);
  ++g_formulaDepth;
  nested->Run(false);
  --g_formulaDepth;
  delete nested;
}

bool DocumentFormatter::FormatPart(ListHead* list, DocumentNode* element) {
  DocumentFormatter* nested = MakePartFormatter(element);
  if (!nested) return false;
  RunPart(nested, list);
  return true;
}

LayoutItem* DocumentFormatter::LastItem() const {
  return target_ ? static_cast<LayoutItem*>(target_->Last()) : nullptr;
}

namespace {

// Formats a radical's content and takes the first Radix element inside it
// out as the radix; a second one stays in the content.
class LayoutKind2Formatter : public DocumentFormatter {
 public:
  LayoutKind2Formatter(FrameTreeNode* view, FrameTreeNode* items, Document* document,
                       TextFormat* baseFormat, DocumentNode* root, LayoutKind2Item* radical)
      : DocumentFormatter(view, items, document, baseFormat, root), radical_(radical) {}

  int StartElement(DocumentNode* element) override {
    ElementStyle* style = GetCurrentStyle();
    if (style && style->math == kRadix && !radical_->radix && element != root &&
        IsContentShown()) {
      if (DocumentFormatter* nested = MakePartFormatter(element)) {
        radical_->radix = new SubLayout;
        RunPart(nested, radical_->radix);
        radixTaken_ = true;
        return 1;
      }
    }
    return DocumentFormatter::StartElement(element);
  }

  int EndElement(DocumentNode* element) override {
    if (radixTaken_) {
      radixTaken_ = false;
      return 0;
    }
    return DocumentFormatter::EndElement(element);
  }

 private:
  LayoutKind2Item* radical_;
  bool radixTaken_ = false;
};

}  // namespace

int DocumentFormatter::MakeDisplayObject(DocumentNode* element, ElementStyle* style) {
  if (!style || !element || !IsContentShown() || g_formulaDepth >= kFormulaDepth || !view)
    return 0;
  const int kind = style->math;
  if (kind == kFraction) {
    if (!HasTwoChildren(element)) return 0;
    DocumentNode* top = element->First();
    DocumentNode* bottom = top->Next();
    // A frame that makes no nested formatter of ours shows the fraction as
    // text rather than as a bar between two empty parts.
    DocumentFormatter* first = MakePartFormatter(top);
    if (!first) return 0;
    auto* fraction = new (ItemPool()) LayoutKind1Item(
        static_cast<std::int32_t>(top->start), GetCurrentFormat(),
        static_cast<std::int32_t>(bottom->end) - static_cast<std::int32_t>(top->start));
    if (!fraction) {
      delete first;
      return 0;
    }
    RunPart(first, &fraction->numerator);
    FormatPart(&fraction->denominator, bottom);
    AppendItem(fraction);
    return 1;
  }
  if (element == root) return 0;
  if (kind == kRadical) {
    // The content's own run takes out the radix; a frame that makes no
    // nested runs shows the radical as text.
    DocumentFormatter* probe = MakePartFormatter(element);
    if (!probe) return 0;
    delete probe;
    auto* radical = new (ItemPool()) LayoutKind2Item(
        static_cast<std::int32_t>(element->start), GetCurrentFormat(),
        static_cast<std::int32_t>(element->end) - static_cast<std::int32_t>(element->start));
    if (!radical) return 0;
    auto* nested = new LayoutKind2Formatter(view, items, document, GetCurrentFormat(), element,
                                            radical);
    RunPart(nested, &radical->content);
    AppendItem(radical);
    return 1;
  }
  if (kind >= LayoutPartsItem::kSuperior && kind <= LayoutPartsItem::kBelow) {
    DocumentFormatter* nested = MakePartFormatter(element);
    if (!nested) return 0;
    if (!partsItem || partsItem != LastItem()) {
      auto* group = new (ItemPool())
          LayoutPartsItem(static_cast<std::int32_t>(element->start), GetCurrentFormat());
      if (!group) {
        delete nested;
        return 0;
      }
      AppendItem(group);
      partsItem = group;
    }
    SubLayout** slot = partsItem->Slot(kind);
    if (!slot || *slot) {
      // Already filled: the element reads as text after the group.
      delete nested;
      return 0;
    }
    *slot = new SubLayout;
    RunPart(nested, *slot);
    partsItem->length +=
        static_cast<std::int32_t>(element->end) - static_cast<std::int32_t>(element->start);
    return 1;
  }
  return 0;
}

void DocumentFormatter::AddRulerBefore(std::int32_t position, int ruler) {
  AppendItem(new (ItemPool()) RulerBeforeItem(position, ruler, GetCurrentFormat()));
}

void DocumentFormatter::AddRulerAfter(std::int32_t position, int ruler) {
  AppendItem(new (ItemPool()) RulerAfterItem(position, ruler, GetCurrentFormat()));
}

void DocumentFormatter::AddElementIcon(DocumentNode* element, FrameTreeNode* frameView,
                                       const char* icon) {
  AppendItem(new (ItemPool()) ElementIconItem(element, GetCurrentFormat(), frameView, icon));
}

void DocumentFormatter::AddLinkTargetMarker(DocumentNode* element) {
  AppendItem(new (ItemPool()) LinkTargetMarkerItem(element, GetCurrentFormat()));
}

void DocumentFormatter::AddEmptyLinkSourceMarker(DocumentNode* element) {
  AppendItem(new (ItemPool()) EmptyLinkSourceItem(element, GetCurrentFormat()));
}

void DocumentFormatter::AddLinkSourceEndMarker(DocumentNode* element) {
  AppendItem(new (ItemPool()) MarkerIconItem(static_cast<std::int32_t>(element->end), 2,
                                             GetCurrentFormat()));
}

}  // namespace qs
