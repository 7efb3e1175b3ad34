// Grid tables: a table item holds cells, each with its grid place, spans,
// borders and the items of its content; the table box lays the cells out
// on column and row offsets from the cells' own sizes, fits itself to a
// width between its minimum and natural widths, and cuts itself into bands
// of rows for pages, never inside a row that a cell spans across.
#pragma once
#include <cstdint>

#include "layout/display_box.h"
#include "layout/layout_item.h"
#include "layout/paragraph_box.h"

namespace qs {

class DocumentNode;

class TableCell : public ListNode {
 public:
  enum : std::uint16_t {
    kLeft = 0x01, kTop = 0x02, kRight = 0x04, kBottom = 0x08, kMiddle = 0x10, kBottomAlign = 0x20,
  };
  TableCell(DocumentNode* element, int row, int extraRows, int column, int extraColumns,
            std::uint16_t flags);
  // Deletes the content items.
  ~TableCell() override = default;
  TableCell* NextCell() const { return static_cast<TableCell*>(Next()); }
  int LastColumn() const { return column + (extraColumns > 0 ? extraColumns : 0); }
  int LastRow() const { return row + (extraRows > 0 ? extraRows : 0); }

  ListHead items;
  DocumentNode* element;
  std::int16_t row;
  std::int16_t extraRows;
  std::int16_t column;
  std::int16_t extraColumns;  // negative while a cell still stretches to its row's end
  std::uint16_t flags;
};

class TableItem : public LayoutItem {
 public:
  // frame: 0x01 left, 0x02 top, 0x04 right, 0x08 bottom.
  TableItem(DocumentNode* element, TextFormat* format, std::uint8_t frame);
  ~TableItem() override;
  std::int32_t GetLength() override;
  LayoutItem* FindKeyItem(const void* key) override;
  void MakeBoxes(ListHead& boxes) override;
  std::int32_t GetTextLength(std::int32_t from, std::int32_t to) override;
  std::int32_t CopyText(std::int32_t from, std::int32_t to, char* output, std::size_t room) override;
  std::intptr_t HandleMessage(int x, int y, int message, std::intptr_t argument) override;
  DocumentNode* GetElement() override { return element; }
  TableCell* FirstCell() const { return static_cast<TableCell*>(cells.First()); }

  ListHead cells;
  DocumentNode* element;
  std::uint8_t frame;
};

class CellBox : public ParagraphBox {
 public:
  CellBox(TableItem* item, TableCell* cell);
  int GetAscent() override { return assignedHeight; }
  int GetDescent() override { return 0; }
  int GetWidth() override { return assignedWidth; }
  DocumentNode* GetElement() override { return cell->element; }
  int ParagraphHeight() { return ParagraphBox::GetAscent(); }
  int Widest() { return ParagraphBox::GetWidth(); }
  void SetSpanWidth(int width) { SetWidest(width); }
  int VerticalOffset(int height);
  // (x, y): the cell's top-left corner.
  // A cell on the table's right edge draws its right rule inside it.
  void DrawCell(int x, int y, int w, int h, bool rightmost);
  CellBox* NextCellBox() const { return static_cast<CellBox*>(GetNext()); }

  TableCell* cell;
  std::int32_t minWidth = 0;
  std::int32_t naturalWidth = 0;
  std::int32_t assignedWidth = 0;
  std::int32_t assignedHeight = 0;
};

class TableBox : public DisplayBox {
 public:
  explicit TableBox(TableItem* item);
  ~TableBox() override;
  std::int32_t PositionAt(int x, int y) override;
  void PointOf(std::int32_t position, int* x, int* y) override;
  int GetAscent() override { return height; }
  int GetDescent() override { return 0; }
  int GetWidth() override { return width; }
  void HighlightRanges(MarkRecord& record) override;
  void Draw(int x, int y) override;
  int GetMinWidth() override { return minTableWidth; }
  void SplitAt(int width) override;
  void AppendTo(int firstLimit, int nextLimit, ListHead& list) override;
  std::intptr_t Visit(BoxQuery& query, int x, int y) override;
  DisplayBox* ChildAt(int x, int y, int* outX, int* outY) override;
  DisplayBox* FindItemBox(LayoutItem* item, int* outX, int* outY) override;
  std::intptr_t HandleMessage(int x, int y, int ascent, int descent, int message,
                              std::intptr_t argument) override;

  void LayoutGrid();
  CellBox* FirstCellBox() const { return static_cast<CellBox*>(cells.First()); }
  int SpanWidth(const TableCell* c) const { return columnOffsets[c->LastColumn() + 1] - columnOffsets[c->column]; }
  int SpanHeight(const TableCell* c) const { return rowOffsets[c->LastRow() + 1] - rowOffsets[c->row]; }
  // Draws the frame lines; bands draw only some.
  void DrawFrame(int x, int top, int bottom, bool topLine, bool bottomLine);
  void DrawCellsOfRows(int x, int top, int first, int last);

  ListHead cells;
  std::int16_t columns = 0, rows = 0;
  std::int32_t minTableWidth = 0, naturalTableWidth = 0;
  std::int32_t width = 0, height = 0;
  std::uint8_t frame;
  std::int32_t* minWidths = nullptr;
  std::int32_t* naturalWidths = nullptr;
  std::int32_t* columnOffsets = nullptr;
  std::int32_t* rowOffsets = nullptr;
  // Bands made for pages keep the box: the last to go deletes it.
  std::int32_t useCount = 0;
};

class TableBandBox : public DisplayBox {
 public:
  TableBandBox(TableBox* table, int first, int last, bool lastBand);
  ~TableBandBox() override;
  int BreaksBefore() override { return 1; }
  int GetAscent() override;
  int GetDescent() override;
  int GetWidth() override { return table->GetWidth(); }
  void Draw(int x, int y) override;
  std::intptr_t HandleMessage(int x, int y, int ascent, int descent, int message,
                              std::intptr_t argument) override;

  TableBox* table;
  std::int16_t first;
  std::int16_t last;
  std::uint8_t lastBand;
};

}  // namespace qs
