// The formatter of a grid table: row and cell elements (TABLE roles ROW,
// CELL, CELL-n, SQ-TBLCELL) open table cells with their grid places and
// spans, and every item their content makes goes into the current cell.
#pragma once
#include <cstdint>

#include "style/formatter.h"

namespace qs {

class TableCell;
class TableItem;

class GridTableFormatter : public DocumentFormatter {
 public:
  GridTableFormatter(FrameTreeNode* view, FrameTreeNode* items, Document* document,
                     TextFormat* baseFormat, DocumentNode* root, TableItem* table);
  void Run(bool withBreaks) override;
  int StartElement(DocumentNode* element) override;
  int EndElement(DocumentNode* element) override;
  int DataRange(DocumentNode* element, std::uint32_t from, std::uint32_t to) override;
  void AppendItem(LayoutItem* item) override;

 private:
  void FixAutomaticSpans();
  TableCell* NewCell(int row, int extraRows, int column, int extraColumns);

  TableItem* table_;
  TableCell* cell_ = nullptr;
  int row_ = 0;
  int column_ = 0;
  bool cellOpen_ = false;
  bool automaticSpan_ = false;
  DocumentNode* current_ = nullptr;
};

// Grid places are 16-bit: starts and spans of 1 and more, start + span at
// most 32767.
inline constexpr int kGridLimit = 32767;

}  // namespace qs
