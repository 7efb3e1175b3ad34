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

bool DocumentFormatter::FormatPart(ListHead* list, DocumentNode* element) {
  if (g_formulaDepth >= kFormulaDepth || !view) return false;
  Formatter* made = view->MakeFormatter(view, items, document, GetCurrentFormat(), element);
  auto* nested = dynamic_cast<DocumentFormatter*>(made);
  if (!nested) {
    delete made;
    return false;
  }
  nested->SetOutputTarget(list);
  ++g_formulaDepth;
  nested->Run(false);
  --g_formulaDepth;
  delete nested;
  return true;
}

int DocumentFormatter::MakeDisplayObject(DocumentNode* element, ElementStyle* style) {
  if (!style || !element || !IsContentShown() || g_formulaDepth >= kFormulaDepth) return 0;
  if (style->math == kFraction && HasTwoChildren(element)) {
    DocumentNode* top = element->First();
    DocumentNode* bottom = top->Next();
    auto* fraction = new (ItemPool()) LayoutKind1Item(
        static_cast<std::int32_t>(top->start), GetCurrentFormat(),
        static_cast<std::int32_t>(bottom->end) - static_cast<std::int32_t>(top->start));
    if (!fraction) return 0;
    FormatPart(&fraction->numerator, top);
    FormatPart(&fraction->denominator, bottom);
    AppendItem(fraction);
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
