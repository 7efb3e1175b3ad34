// CALS tables: an element whose style has TABLE "TBL-CALS" becomes one
// layout item holding its column groups (TGROUP), their cells and the
// items of every entry's content. The builder reads the whole table when
// the formatter meets it; the boxes lay the cells out on column and row
// edges, draw their rules and cut the table into bands of whole rows,
// repeating a group's head and foot rows on every band.
//
// Units: fixed column widths in 1/720 inch, proportional shares in tenths
// of a "*" (1* = 10); boxes measure in device units of the current device.
#pragma once
#include <cstdint>

#include "foundation/containers.h"
#include "layout/display_box.h"
#include "layout/layout_item.h"
#include "layout/paragraph_box.h"

namespace qs {

class DocumentFormatter;
class DocumentNode;
class TextFormat;

// ---- Column widths ------------------------------------------------------------------

struct ColWidth {
  std::int32_t fixed;  // 1/720 inch
  std::int32_t share;  // tenths of a "*"
};
// COLWIDTH: absent is one "*"; "1in+2*", "2.5cm", "0.5*"; parts in 64 bits
// saturating at the 32-bit range; a rest that cannot be read makes the
// whole value one "*".
ColWidth ParseColWidth(const char* text);
// The reference width cells are first laid out at, 1/720 inch.
inline constexpr std::int32_t kCalsReferenceWidth = 37330;
// The most columns a group takes: wider COLS count as this.
inline constexpr int kCalsMaxColumns = 1000;

// ---- Cells -------------------------------------------------------------------------

// One grid place of a group: an entry's cell or a filler for a place no
// entry covers. Owns the items of the entry's content.
class CalsCell : public ListNode {
 public:
  enum : std::uint8_t {
    kAlignMask = 0x03, kAlignLeft = 1, kAlignRight = 2, kAlignCenter = 3,
    kMiddle = 0x04, kBottom = 0x08,
    kRuleLeft = 0x10, kRuleRight = 0x20, kRuleTop = 0x40, kRuleBottom = 0x80,
  };
  // Cell-format byte: 0x07 ALIGN (0 none, LEFT, RIGHT, CENTER, JUSTIFY,
  // CHAR), 0x18 VALIGN (0 top, 8 middle, 16 bottom), 0x20 ROWSEP, 0x40
  // COLSEP. Frame byte: 0x10 left, 0x20 right, 0x40 top, 0x80 bottom.
  CalsCell(std::uint32_t textOffset, std::int16_t column, std::int16_t extraColumns,
           std::int16_t row, std::int16_t moreRows, std::uint8_t format, std::int16_t group,
           std::uint8_t part, std::int16_t columnCount, std::uint8_t frame);
  // Deletes the content items.
  ~CalsCell() override = default;

  std::int32_t GetTextOffset() const { return position[0] * 65536 + position[1] * 256 + position[2]; }
  int LastColumn() const { return column + extraColumns; }
  int LastRow() const { return row + moreRows; }
  bool IsFiller() const { return filler; }
  CalsCell* NextCell() const { return static_cast<CalsCell*>(Next()); }

  ListHead content;
  std::int16_t column;
  std::int16_t extraColumns;
  std::int16_t row;
  std::int16_t moreRows;
  std::uint8_t flags = 0;
  std::uint8_t position[3];
  std::int16_t groupIndex;
  std::uint8_t part;  // 0 head, 1 body, 2 foot
  bool filler = false;
};

// A TGROUP's columns and cells (or a THEAD's or TFOOT's with COLSPECs of
// its own).
class CalsGroup : public ListNode {
 public:
  explicit CalsGroup(int columns);
  ~CalsGroup() override;
  bool Valid() const { return edges_ != nullptr; }
  // FE, SE, RE of column i; 0 for i < 0.
  std::int32_t FixedEdge(int i) const { return i < 0 ? 0 : edges_[i]; }
  std::int32_t ShareEdge(int i) const { return i < 0 ? 0 : edges_[columnCount + i]; }
  std::int32_t ReferenceEdge(int i) const { return i < 0 ? 0 : edges_[2 * columnCount + i]; }
  void SetEdges(int i, std::int32_t fixed, std::int32_t share, std::int32_t reference);
  // Adds a column's width to the sums and stores its edges.
  void AddColumn(int i, ColWidth width);
  // The reference edges widened by the shares of the room left.
  void WidenReferenceEdges();
  CalsCell* FirstCell() const { return static_cast<CalsCell*>(cells.First()); }
  CalsGroup* NextGroup() const { return static_cast<CalsGroup*>(Next()); }

  ListHead cells;
  std::int16_t columnCount;
  std::int16_t rowCount = 0;
  std::int32_t fixedTotal = 0;
  std::int32_t shareTotal = 0;

 private:
  std::int32_t* edges_;
};

class CalsTableItem : public LayoutItem {
 public:
  CalsTableItem(DocumentNode* element, TextFormat* format);
  ~CalsTableItem() override;
  std::int32_t GetLength() override;
  LayoutItem* FindKeyItem(const void* key) override;
  void MakeBoxes(ListHead& boxes) override;
  std::int32_t GetTextLength(std::int32_t from, std::int32_t to) override;
  std::int32_t CopyText(std::int32_t from, std::int32_t to, char* output, std::size_t room) override;
  std::intptr_t HandleMessage(int x, int y, int message, std::intptr_t argument) override;
  DocumentNode* GetElement() override { return element; }

  void SetPosition(std::int32_t position) { SetItemPosition(position); }
  CalsGroup* FirstGroup() const { return static_cast<CalsGroup*>(groups.First()); }
  void AppendGroup(CalsGroup* group) {
    groups.Append(group);
    ++groupCount;
  }

  DocumentNode* element;
  std::int32_t pageWide = 0;
  std::int32_t groupIndexCount = 0;
  ListHead groups;
  std::int32_t groupCount = 0;
};

// Builds the CALS table of `element` and appends its item; children before
// the first TGROUP are formatted as ordinary content before it.
void CalsTableNew(DocumentFormatter& formatter, DocumentNode* element);
// What the builder keeps over a formatter's run (declared defaults by
// element type); the formatter deletes it.
struct CalsRunCache;
void DeleteCalsRunCache(CalsRunCache* cache);

// Tables nest through cells; past a fixed depth a table element formats
// as plain content.
int& TableNestingDepth();
bool TableNestingAllowed();

// Whether an element's type name is `name` (the fixed CALS names; XML keeps
// case, so "tgroup" is TGROUP).
bool IsCalsName(const DocumentNode* element, const char* name);

// ---- Boxes --------------------------------------------------------------------------

class CalsTableBox;

// A cell's content broken into lines at the cell's width.
class CalsCellBox : public ParagraphBox {
 public:
  // Filled at the cell's reference width: its content widths are found.
  CalsCellBox(CalsTableItem* item, CalsCell* cell, int referenceWidth);
  // Breaks the lines again at `width`.
  void Fill(int width);
  // Top of the lines in a cell running from top to bottom.
  int VerticalOffset(int top, int bottom) const;
  // Rules and lines in the rectangle. A cell on the table's right edge
  // draws its right rule on the last pixel inside, not on x1 past it.
  void DrawCell(int x0, int y0, int x1, int y1, bool rightmost);
  CalsCellBox* NextCellBox() const { return static_cast<CalsCellBox*>(GetNext()); }

  CalsCell* cell;
  std::int32_t minWidth = 0;
  std::int32_t maxWidth = 0;
  std::int32_t width = 0;
  std::int32_t contentHeight = 0;
};

struct CalsGroupLayout : EngineObject {
  CalsGroup* group = nullptr;
  ListHead cells;  // CalsCellBox
  std::int32_t minWidth = 0, maxWidth = 0, height = 0, width = 0;
  std::int32_t* columnEdges = nullptr;  // right edge of each column
  std::int32_t* rowEdges = nullptr;     // bottom edge of each row
  int columns = 0, rows = 0;

  ~CalsGroupLayout();
  // Edges past the grid are its last.
  std::int32_t ColumnEdge(int i) const {
    return i < 0 || columns == 0 ? 0 : columnEdges[i < columns ? i : columns - 1];
  }
  std::int32_t RowEdge(int i) const { return i < 0 || rows == 0 ? 0 : rowEdges[i < rows ? i : rows - 1]; }
  void Build(CalsTableItem* item, CalsGroup* g);
  void DistributeWidth(int available);
  void Layout(int available);
  CalsCellBox* FirstCellBox() const { return static_cast<CalsCellBox*>(cells.First()); }
};

// One band of whole rows of a CALS table: its head, body and foot row
// ranges over the table's rows (numbered across the groups).
class CalsBandBox : public DisplayBox {
 public:
  CalsBandBox(CalsTableBox* table, const int head[2], const int body[2], const int foot[2]);
  // The last band to go takes the table box with it.
  ~CalsBandBox() override;
  int GetAscent() override;
  int GetDescent() override { return 0; }
  int GetWidth() override;
  int BreaksBefore() override { return 1; }
  void Draw(int x, int y) override;

  CalsTableBox* table;
  std::int32_t y[6] = {};  // head top/bottom, body top/bottom, foot top/bottom
  std::int16_t rows[3][2] = {{-1, -1}, {-1, -1}, {-1, -1}};
};

class CalsTableBox : public DisplayBox {
 public:
  explicit CalsTableBox(CalsTableItem* item);
  ~CalsTableBox() override;

  std::int32_t GetLength() override { return Item()->GetLength(); }
  std::int32_t PositionAt(int x, int y) override;
  void PointOf(std::int32_t position, int* x, int* y) override;
  int GetAscent() override { return height; }
  int GetDescent() override { return 0; }
  int GetWidth() override { return width; }
  void HighlightRanges(MarkRecord& record) override;
  void Draw(int x, int y) override;
  int GetMinWidth() override { return minWidth; }
  void SplitAt(int width) override;
  void AppendTo(int firstRoom, int pageRoom, ListHead& list) override;
  std::intptr_t Visit(BoxQuery& query, int x, int y) override;
  DisplayBox* ChildAt(int x, int y, int* outX, int* outY) override;
  DisplayBox* FindItemBox(LayoutItem* item, int* outX, int* outY) override;
  std::intptr_t HandleMessage(int x, int y, int ascent, int descent, int message,
                              std::intptr_t argument) override;

  // Lays every group out at the width (no clamping).
  void LayoutAt(int width);
  // Rows over all groups.
  int RowCount() const;
  // The group layout holding table row r, and r's first row there.
  CalsGroupLayout* GroupOfRow(int r, int* firstRow, int* top);
  // Draws the cells starting in table rows [first, last] with row `first`
  // at `top`.
  void DrawRows(int x, int top, int first, int last);
  // The y of table row r's top from the table top.
  int RowTop(int r);

  std::int32_t width = 0, height = 0, minWidth = 0, maxWidth = 0;
  std::int32_t pageWide = 0;
  std::int32_t groupCount = 0;
  std::int32_t useCount = 0;
  CalsGroupLayout* groups = nullptr;
  CalsTableItem* table;
};

}  // namespace qs
