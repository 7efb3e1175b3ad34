#include "style/grid_table_formatter.h"

#include "foundation/strings.h"
#include "foundation/block_cache.h"
#include "layout/table_items.h"
#include "sgml/document.h"
#include "sgml/text_store.h"
#include "style/style_rules.h"

namespace qs {

GridTableFormatter::GridTableFormatter(FrameTreeNode* view, FrameTreeNode* items,
                                       Document* document, TextFormat* baseFormat,
                                       DocumentNode* root, TableItem* table)
    : DocumentFormatter(view, items, document, baseFormat, root), table_(table) {}

TableCell* GridTableFormatter::NewCell(int row, int extraRows, int column, int extraColumns) {
  auto* cell = new TableCell(current_, row, extraRows, column, extraColumns, table_->frame);
  if (cell) table_->cells.Append(cell);
  return cell;
}

void GridTableFormatter::Run(bool) {
  if (!root) return;
  current_ = root;
  class Walk : public TreeVisitor {
   public:
    explicit Walk(GridTableFormatter& f) : f_(f) {}
    int VisitElement(DocumentNode* e) override { return f_.EnterElement(e); }
    int VisitData(DocumentNode* e, std::uint32_t from, std::uint32_t to) override {
      return f_.DataRange(e, from, to);
    }
    void LeaveElement(DocumentNode* e) override { f_.LeaveElement(e); }

   private:
    GridTableFormatter& f_;
  } walk(*this);
  DocumentNode* child = root->First();
  if (!child) {
    if (root->start < root->end) DataRange(root, root->start, root->end);
  } else {
    if (root->start < child->start) DataRange(root, root->start, child->start);
    for (; child; child = child->Next()) {
      walk.Run(child);
      DocumentNode* next = child->Next();
      const std::uint32_t to = next ? next->start : root->end;
      if (child->end < to) DataRange(root, child->end, to);
    }
  }
  current_ = nullptr;
  if (automaticSpan_) FixAutomaticSpans();
}

void GridTableFormatter::FixAutomaticSpans() {
  int lastColumn = 0, lastRow = 0;
  for (TableCell* c = table_->FirstCell(); c; c = c->NextCell()) {
    if (c->LastColumn() > lastColumn) lastColumn = c->LastColumn();
    if (c->LastRow() > lastRow) lastRow = c->LastRow();
  }
  // Per row, the rightmost cell that still stretches reaches the last
  // column; every other stretching cell of the row is one column wide.
  // Rows are taken from the cells themselves, so a sparse grid costs only
  // its cells.
  for (TableCell* c = table_->FirstCell(); c; c = c->NextCell()) {
    if (c->extraColumns >= 0) continue;
    TableCell* rightmost = c;
    for (TableCell* o = table_->FirstCell(); o; o = o->NextCell())
      if (o->row == c->row && o->column > rightmost->column) rightmost = o;
    if (rightmost != c) c->extraColumns = 0;
  }
  for (TableCell* c = table_->FirstCell(); c; c = c->NextCell())
    if (c->extraColumns < 0)
      c->extraColumns = static_cast<std::int16_t>(lastColumn > c->column ? lastColumn - c->column : 0);
  (void)lastRow;
}

int GridTableFormatter::StartElement(DocumentNode* element) {
  current_ = element;
  ElementStyle* style = GetCurrentStyle();
  const int kind = style ? style->table : 0;
  int span = 0, rows = 1;
  if (kind == 4) {
    cell_ = nullptr;
    if (row_ < kGridLimit) ++row_;
    column_ = 0;
  } else if (kind == 5) {
    span = -1;
    automaticSpan_ = true;
  } else if (kind >= 6 && kind <= 12) {
    span = kind - 5;
  } else if (kind == 13) {
    // Places and spans come from outside: below 1 count as 1, and a start
    // plus its span stays within the grid.
    auto number = [&](const char* name, bool* given) {
      const char* text = element->GetAttributeValue(name);
      *given = text != nullptr;
      std::int32_t v = text ? ParseLong(text) : 1;
      if (v < 1) v = 1;
      if (v > kGridLimit) v = kGridLimit;
      return static_cast<int>(v);
    };
    bool given = false;
    int start = number("COLSTART", &given);
    if (given) column_ = start - 1;
    span = number("COLSPAN", &given);
    start = number("ROWSTART", &given);
    if (given) row_ = start - 1;
    rows = number("ROWSPAN", &given);
    if (column_ > kGridLimit - 1) column_ = kGridLimit - 1;
    if (row_ > kGridLimit - 1) row_ = kGridLimit - 1;
    if (column_ + span > kGridLimit) span = kGridLimit - column_;
    if (row_ + rows > kGridLimit) rows = kGridLimit - row_;
  }
  if (span != 0) {
    ClearPendingSpace();
    if (!cell_ || cellOpen_) {
      cell_ = NewCell(row_, rows - 1, column_, span - 1);
    } else {
      cell_->row = static_cast<std::int16_t>(row_);
      cell_->extraRows = static_cast<std::int16_t>(rows - 1);
      cell_->column = static_cast<std::int16_t>(column_);
      cell_->extraColumns = static_cast<std::int16_t>(span - 1);
    }
    cellOpen_ = true;
    column_ += span < 1 ? 1 : span;
    if (column_ > kGridLimit - 1) column_ = kGridLimit - 1;
  }
  return DocumentFormatter::StartElement(element);
}

int GridTableFormatter::EndElement(DocumentNode* element) {
  const int result = DocumentFormatter::EndElement(element);
  current_ = element->Parent();
  ElementStyle* style = GetCurrentStyle();
  const int kind = style ? style->table : 0;
  if (kind >= 4 && kind <= 13) {
    if (cell_ && PendingBreak()) {
      const int space = PendingSpace();
      ClearPendingBreak();
      if (IsContentShown())
        if (auto* b = new (ItemPool()) BreakItem(static_cast<std::int32_t>(element->end),
                                                 GetCurrentFormat(), static_cast<std::int16_t>(space)))
          AppendItem(b);
    }
    ClearPendingSpace();
    cell_ = nullptr;
    cellOpen_ = false;
  }
  return result;
}

int GridTableFormatter::DataRange(DocumentNode* element, std::uint32_t from, std::uint32_t to) {
  if (!cell_ && document && document->Text()) {
    // White space between rows and cells (indented XML) makes no cell.
    CachedStream& text = document->Text()->Stream();
    const std::int32_t saved = text.Position();
    text.SetPosition(static_cast<std::int32_t>(from));
    bool blank = true;
    for (std::uint32_t p = from; p < to && blank; ++p) {
      const int c = text.GetChar();
      blank = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == 1;
    }
    text.SetPosition(saved);
    if (blank) return 0;
  }
  return DocumentFormatter::DataRange(element, from, to);
}

void GridTableFormatter::AppendItem(LayoutItem* item) {
  if (!item) return;
  if (!cell_) {
    cell_ = NewCell(row_, 0, column_, 0);
    if (column_ < kGridLimit - 1) ++column_;
    if (!cell_) {
      delete item;
      return;
    }
  }
  if (PendingBreak()) {
    if (auto* b = new (ItemPool()) BreakItem(item->Position(), GetCurrentFormat(),
                                             static_cast<std::int16_t>(PendingSpace())))
      cell_->items.Append(b);
    ClearPendingBreak();
  }
  cell_->items.Append(item);
}

}  // namespace qs
