// The formatter's emitting operations for tables, rulers, link markers and
// element icons: each makes its item and appends it.
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
