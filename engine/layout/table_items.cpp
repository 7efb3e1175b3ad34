#include "layout/table_items.h"

#include <climits>
#include <cstring>

#include "foundation/memory.h"
#include "sgml/document.h"
#include "view/current_view.h"
#include "view/output_device.h"
#include "view/view_line.h"

namespace qs {

namespace {

std::int32_t Clamp32(std::int64_t v) {
  if (v > 0x3FFFFFFF) return 0x3FFFFFFF;
  if (v < -0x3FFFFFFF) return -0x3FFFFFFF;
  return static_cast<std::int32_t>(v);
}

template <class F>
void ForEachCellItem(TableItem* table, F f) {
  for (TableCell* c = table->FirstCell(); c; c = c->NextCell())
    for (auto* n = c->items.First(); n; n = n->Next())
      if (!f(static_cast<LayoutItem*>(n))) return;
}

// The offset rule: off[i + 1] is the largest of off[i] and, for every cell
// that ends in i, off[start] + its size. Cells are taken by their end in
// one pass, so a wide grid costs its size plus its cells.
void OffsetRule(int count, int cellCount, const int* starts, const int* ends,
                const std::int64_t* sizes, std::int32_t* off) {
  off[0] = 0;
  auto* byEnd = static_cast<int*>(MemAlloc(sizeof(int) * (count + 1 + cellCount)));
  if (!byEnd) {
    for (int i = 0; i < count; ++i) off[i + 1] = off[i];
    return;
  }
  int* first = byEnd;  // count + 1 bucket starts
  int* order = byEnd + count + 1;
  std::memset(first, 0, sizeof(int) * (count + 1));
  for (int k = 0; k < cellCount; ++k) ++first[ends[k] + 1];
  for (int i = 0; i < count; ++i) first[i + 1] += first[i];
  {
    auto* fill = static_cast<int*>(MemAlloc(sizeof(int) * (count + 1)));
    if (!fill) {
      MemFree(byEnd);
      for (int i = 0; i < count; ++i) off[i + 1] = off[i];
      return;
    }
    std::memcpy(fill, first, sizeof(int) * (count + 1));
    for (int k = 0; k < cellCount; ++k) order[fill[ends[k]]++] = k;
    MemFree(fill);
  }
  for (int i = 0; i < count; ++i) {
    std::int64_t v = off[i];
    const int stop = i + 1 < count ? first[i + 1] : cellCount;
    for (int j = first[i]; j < stop; ++j) {
      const int k = order[j];
      const std::int64_t candidate = std::int64_t{off[starts[k]]} + sizes[k];
      if (candidate > v) v = candidate;
    }
    off[i + 1] = Clamp32(v);
  }
  MemFree(byEnd);
}

}  // namespace

// ---- Cells and the item --------------------------------------------------------------------

TableCell::TableCell(DocumentNode* element, int row, int extraRows, int column, int extraColumns,
                     std::uint16_t flags)
    : element(element), row(static_cast<std::int16_t>(row)),
      extraRows(static_cast<std::int16_t>(extraRows)), column(static_cast<std::int16_t>(column)),
      extraColumns(static_cast<std::int16_t>(extraColumns)), flags(flags) {}

TableItem::TableItem(DocumentNode* element, TextFormat* format, std::uint8_t frame)
    : LayoutItem(static_cast<std::int32_t>(element->start), format), element(element), frame(frame) {}

TableItem::~TableItem() { cells.DeleteAll(); }

std::int32_t TableItem::GetLength() { return static_cast<std::int32_t>(element->end) - Position(); }

LayoutItem* TableItem::FindKeyItem(const void* key) {
  LayoutItem* found = nullptr;
  ForEachCellItem(this, [&](LayoutItem* item) {
    found = item->FindKeyItem(key);
    return found == nullptr;
  });
  return found;
}

void TableItem::MakeBoxes(ListHead& boxes) {
  if (auto* box = new TableBox(this)) boxes.Append(box);
}

std::int32_t TableItem::GetTextLength(std::int32_t from, std::int32_t to) {
  std::int64_t sum = 0;
  ForEachCellItem(this, [&](LayoutItem* item) {
    if (item->Position() <= to && item->Position() + item->GetLength() >= from)
      sum += item->GetTextLength(from, to);
    return true;
  });
  return Clamp32(sum);
}

std::int32_t TableItem::CopyText(std::int32_t from, std::int32_t to, char* output, std::size_t room) {
  std::size_t written = 0;
  ForEachCellItem(this, [&](LayoutItem* item) {
    if (item->Position() > to || item->Position() + item->GetLength() < from) return true;
    const std::int32_t n = item->CopyText(from, to, output + written, room - written);
    if (n > 0) written += static_cast<std::size_t>(n) <= room - written ? n : room - written;
    return written < room;
  });
  return static_cast<std::int32_t>(written);
}

std::intptr_t TableItem::HandleMessage(int, int, int message, std::intptr_t argument) {
  if (message != 15) return 0;
  std::intptr_t sum = 0;
  ForEachCellItem(this, [&](LayoutItem* item) {
    sum += item->HandleMessage(0, 0, 15, argument);
    return true;
  });
  return sum;
}

// ---- Cell boxes ------------------------------------------------------------------------------

CellBox::CellBox(TableItem* item, TableCell* cell)
    : ParagraphBox(item, &cell->items, 31000, 0), cell(cell) {
  for (ViewLine* line = GetFirstLine(); line; line = line->GetNextLine()) {
    DisplayBox* first = line->GetFirstBox();
    const int indents = first ? first->LeftIndent() + first->RightIndent() : 0;
    for (DisplayBox* box = first; box; box = box->GetNext())
      if (box->GetMinWidth() + indents > minWidth) minWidth = box->GetMinWidth() + indents;
  }
  naturalWidth = Widest();
}

int CellBox::VerticalOffset(int h) {
  if (cell->flags & TableCell::kMiddle) return (h - ParagraphHeight()) / 2;
  if (cell->flags & TableCell::kBottomAlign) return h - ParagraphHeight();
  return 0;
}

void CellBox::DrawCell(int x, int y, int w, int h, bool rightmost) {
  assignedWidth = w;
  assignedHeight = h;
  OutputDevice* device = CurrentDevice();
  if (!device) return;
  if (x + w < 0 || x > device->width || y + h < 0 || y > device->height) return;
  DrawLines(x, y + h + VerticalOffset(h));
  device->SetColor(device->GetInkColor());
  if (cell->flags & TableCell::kTop) device->DrawLine(x, y, x + w, y);
  if (cell->flags & TableCell::kBottom) device->DrawLine(x, y + h, x + w, y + h);
  if (cell->flags & TableCell::kLeft) device->DrawLine(x, y, x, y + h);
  if (cell->flags & TableCell::kRight) {
    const int at = rightmost && w > 0 ? x + w - 1 : x + w;
    device->DrawLine(at, y, at, y + h);
  }
}

// ---- The table box ---------------------------------------------------------------------------

TableBox::TableBox(TableItem* item) : DisplayBox(item), frame(item->frame) {
  int lastColumn = -1, lastRow = -1, count = 0;
  for (TableCell* c = item->FirstCell(); c; c = c->NextCell()) {
    // The formatter keeps places inside the grid; a cell made elsewhere is
    // kept there too.
    if (c->column < 0) c->column = 0;
    if (c->row < 0) c->row = 0;
    if (c->extraColumns < 0) c->extraColumns = 0;
    if (c->extraRows < 0) c->extraRows = 0;
    auto* box = new CellBox(item, c);
    if (!box) continue;
    cells.Append(box);
    ++count;
    if (c->LastColumn() > lastColumn) lastColumn = c->LastColumn();
    if (c->LastRow() > lastRow) lastRow = c->LastRow();
  }
  if (count == 0) return;
  columns = static_cast<std::int16_t>(lastColumn + 1);
  rows = static_cast<std::int16_t>(lastRow + 1);
  const std::size_t n = static_cast<std::size_t>(columns) * 2 + (columns + 1) + (rows + 1);
  minWidths = static_cast<std::int32_t*>(MemAlloc(sizeof(std::int32_t) * n));
  auto* starts = static_cast<int*>(MemAlloc(sizeof(int) * count * 2));
  auto* sizes = static_cast<std::int64_t*>(MemAlloc(sizeof(std::int64_t) * count));
  auto* m = static_cast<std::int32_t*>(MemAlloc(sizeof(std::int32_t) * (columns + 1) * 2));
  if (!minWidths || !starts || !sizes || !m) {
    MemFree(minWidths);
    minWidths = nullptr;
    columns = rows = 0;
  } else {
    std::memset(minWidths, 0, sizeof(std::int32_t) * n);
    naturalWidths = minWidths + columns;
    columnOffsets = naturalWidths + columns;
    rowOffsets = columnOffsets + columns + 1;
    int* ends = starts + count;
    int k = 0;
    for (CellBox* b = FirstCellBox(); b; b = b->NextCellBox(), ++k) {
      starts[k] = b->cell->column;
      ends[k] = b->cell->LastColumn();
      sizes[k] = b->minWidth;
    }
    std::int32_t* nat = m + columns + 1;
    OffsetRule(columns, count, starts, ends, sizes, m);
    k = 0;
    for (CellBox* b = FirstCellBox(); b; b = b->NextCellBox(), ++k) sizes[k] = b->naturalWidth;
    OffsetRule(columns, count, starts, ends, sizes, nat);
    for (int i = 0; i < columns; ++i) {
      minWidths[i] = m[i + 1] - m[i];
      naturalWidths[i] = nat[i + 1] - nat[i];
    }
    minTableWidth = m[columns];
    naturalTableWidth = nat[columns];
  }
  MemFree(starts);
  MemFree(sizes);
  MemFree(m);
  LayoutGrid();
}

TableBox::~TableBox() {
  cells.DeleteAll();
  MemFree(minWidths);
}

void TableBox::LayoutGrid() {
  width = height = 0;
  if (columns == 0 || rows == 0) return;
  int count = 0;
  for (CellBox* b = FirstCellBox(); b; b = b->NextCellBox()) ++count;
  auto* starts = static_cast<int*>(MemAlloc(sizeof(int) * count * 2));
  auto* sizes = static_cast<std::int64_t*>(MemAlloc(sizeof(std::int64_t) * count));
  if (!starts || !sizes) {
    MemFree(starts);
    MemFree(sizes);
    return;
  }
  int* ends = starts + count;
  int k = 0;
  for (CellBox* b = FirstCellBox(); b; b = b->NextCellBox(), ++k) {
    starts[k] = b->cell->column;
    ends[k] = b->cell->LastColumn();
    sizes[k] = b->Widest();
  }
  OffsetRule(columns, count, starts, ends, sizes, columnOffsets);
  k = 0;
  for (CellBox* b = FirstCellBox(); b; b = b->NextCellBox(), ++k) {
    starts[k] = b->cell->row;
    ends[k] = b->cell->LastRow();
    sizes[k] = b->ParagraphHeight();
  }
  OffsetRule(rows, count, starts, ends, sizes, rowOffsets);
  MemFree(starts);
  MemFree(sizes);
  for (CellBox* b = FirstCellBox(); b; b = b->NextCellBox()) {
    b->SetSpanWidth(SpanWidth(b->cell));
    b->assignedWidth = SpanWidth(b->cell);
    b->assignedHeight = SpanHeight(b->cell);
  }
  width = columnOffsets[columns];
  height = rowOffsets[rows];
}

void TableBox::SplitAt(int w) {
  if (columns == 0 || rows == 0) return;
  const std::int64_t spread = std::int64_t{naturalTableWidth} - minTableWidth;
  if (w < minTableWidth) w = minTableWidth;
  if (w > naturalTableWidth) w = naturalTableWidth;
  if (w == width) return;
  const std::int64_t extra = std::int64_t{w} - minTableWidth;
  columnOffsets[0] = 0;
  for (int i = 0; i < columns; ++i) {
    const std::int64_t d = std::int64_t{naturalWidths[i]} - minWidths[i];
    const std::int64_t share = d > 0 && spread > 0 ? d * extra / spread : 0;
    columnOffsets[i + 1] = Clamp32(columnOffsets[i] + minWidths[i] + share);
  }
  for (CellBox* b = FirstCellBox(); b; b = b->NextCellBox()) b->BreakLines(SpanWidth(b->cell), nullptr);
  LayoutGrid();
}

void TableBox::DrawFrame(int x, int top, int bottom, bool topLine, bool bottomLine) {
  OutputDevice* device = CurrentDevice();
  if (!device) return;
  device->SetColor(device->GetInkColor());
  if ((frame & 0x02) && topLine) device->DrawLine(x, top, x + width, top);
  if ((frame & 0x08) && bottomLine) device->DrawLine(x, bottom, x + width, bottom);
  if (frame & 0x01) device->DrawLine(x, top, x, bottom);
  // On the last pixel inside: a table as wide as the view keeps its rule.
  const int right = width > 0 ? x + width - 1 : x;
  if (frame & 0x04) device->DrawLine(right, top, right, bottom);
}

void TableBox::Draw(int x, int y) {
  const int top = y - height;
  if (columns > 0 && rows > 0)
    for (CellBox* b = FirstCellBox(); b; b = b->NextCellBox())
      b->DrawCell(x + columnOffsets[b->cell->column], top + rowOffsets[b->cell->row],
                  SpanWidth(b->cell), SpanHeight(b->cell), b->cell->LastColumn() >= columns - 1);
  DrawFrame(x, top, top + height, true, true);
}

void TableBox::DrawCellsOfRows(int x, int top, int first, int last) {
  if (columns == 0 || rows == 0 || first > last) return;
  for (CellBox* b = FirstCellBox(); b; b = b->NextCellBox()) {
    const TableCell* c = b->cell;
    if (c->row >= first && c->row <= last) {
      b->DrawCell(x + columnOffsets[c->column], top + rowOffsets[c->row] - rowOffsets[first],
                  SpanWidth(c), SpanHeight(c), c->LastColumn() >= columns - 1);
    } else if (c->LastRow() == first - 1 && (c->flags & TableCell::kBottom)) {
      // The rule under the row above the band is drawn again on its top.
      OutputDevice* device = CurrentDevice();
      if (!device) continue;
      device->SetColor(device->GetInkColor());
      device->DrawLine(x + columnOffsets[c->column], top, x + columnOffsets[c->LastColumn() + 1], top);
    }
  }
}

namespace {

// The first cell whose span holds (x, y), relative to the table's top-left.
CellBox* CellAt(TableBox& t, int x, int y, bool strict) {
  if (t.columns == 0 || t.rows == 0) return nullptr;
  for (CellBox* b = t.FirstCellBox(); b; b = b->NextCellBox()) {
    const TableCell* c = b->cell;
    const int x0 = t.columnOffsets[c->column], x1 = t.columnOffsets[c->LastColumn() + 1];
    const int y0 = t.rowOffsets[c->row], y1 = t.rowOffsets[c->LastRow() + 1];
    if (strict ? (x0 < x && x < x1 && y0 < y && y < y1) : (x0 <= x && x < x1 && y0 <= y && y < y1))
      return b;
  }
  return nullptr;
}

}  // namespace

DisplayBox* TableBox::ChildAt(int x, int y, int* outX, int* outY) {
  CellBox* b = CellAt(*this, x, y, true);
  if (!b) {
    *outX = x, *outY = y;
    return this;
  }
  const TableCell* c = b->cell;
  const int rx = x - columnOffsets[c->column];
  const int ry = y - rowOffsets[c->row] - b->VerticalOffset(SpanHeight(c));
  int cx = 0, cy = 0;
  DisplayBox* child = b->ParagraphBox::ChildAt(rx, ry, &cx, &cy);
  if (child && child != b && cx >= 0 && cx <= child->GetWidth() && cy >= 0 &&
      cy <= child->GetAscent() + child->GetDescent()) {
    *outX = cx, *outY = cy;
    return child;
  }
  *outX = rx, *outY = ry;
  return b;
}

std::int32_t TableBox::PositionAt(int x, int y) {
  if (y < 0) return GetStart();
  CellBox* b = CellAt(*this, x, y, false);
  if (!b) return GetEnd();
  const TableCell* c = b->cell;
  const int ry = y - rowOffsets[c->row] - b->VerticalOffset(SpanHeight(c));
  return b->ParagraphBox::PositionAt(x - columnOffsets[c->column], ry);
}

void TableBox::PointOf(std::int32_t position, int* x, int* y) {
  *x = 0, *y = 0;
  CellBox* best = nullptr;
  for (CellBox* b = FirstCellBox(); b; b = b->NextCellBox()) {
    if (!b->GetFirstLine()) continue;
    const std::int32_t start = b->GetStart();
    if (position < start || position > start + b->GetLength()) continue;
    if (!best || b->cell->column < best->cell->column ||
        (b->cell->column == best->cell->column && b->cell->row < best->cell->row))
      best = b;
  }
  if (!best || columns == 0) return;
  best->ParagraphBox::PointOf(position, x, y);
  *x += columnOffsets[best->cell->column];
  *y += rowOffsets[best->cell->row] + best->VerticalOffset(SpanHeight(best->cell));
}

DisplayBox* TableBox::FindItemBox(LayoutItem* item, int* outX, int* outY) {
  if (columns == 0) return nullptr;
  for (CellBox* b = FirstCellBox(); b; b = b->NextCellBox()) {
    const TableCell* c = b->cell;
    const int span = SpanWidth(c);
    ViewLine* line = b->GetFirstLine();
    int lineTop = line && line->GetFirstBox() ? line->GetFirstBox()->GetSpaceAbove() : 0;
    for (; line; line = line->GetNextLine()) {
      int free, xo;
      if (b->Flags() & ParagraphBox::kNoIndents) {
        free = span - line->used;
        xo = 0;
      } else {
        free = span - line->used - line->LeftIndent() - line->RightIndent();
        xo = line->LeftIndent();
      }
      if (line->Alignment() == 0x10) xo += free / 2;
      if (line->Alignment() == 0x20) xo += free;
      for (DisplayBox* box = line->GetFirstBox(); box; box = box->GetNext()) {
        int bx = 0, by = 0;
        if (DisplayBox* hit = box->FindItemBox(item, &bx, &by)) {
          *outX = bx + columnOffsets[c->column] + xo;
          *outY = by + rowOffsets[c->row] + lineTop;
          return hit;
        }
        xo += box->GetWidth();
      }
      lineTop += line->GetHeight();
    }
  }
  return nullptr;
}

std::intptr_t TableBox::Visit(BoxQuery& query, int x, int y) {
  if (std::intptr_t answer = DisplayBox::Visit(query, x, y)) return answer;
  if (columns == 0) return 0;
  for (CellBox* b = FirstCellBox(); b; b = b->NextCellBox()) {
    const TableCell* c = b->cell;
    int lineTop = y - height + rowOffsets[c->row];
    for (ViewLine* line = b->GetFirstLine(); line; line = line->GetNextLine()) {
      const int indent = line->LeftIndent();
      if (std::intptr_t answer = line->Visit(query, x + columnOffsets[c->column] + indent, lineTop,
                                             SpanWidth(c) - indent - line->RightIndent()))
        return answer;
      lineTop += line->GetHeight();
    }
  }
  return 0;
}

void TableBox::HighlightRanges(MarkRecord& record) {
  if (columns == 0) return;
  const MarkRecord saved = record;
  const int top = record.baseline - height;
  for (CellBox* b = FirstCellBox(); b && record.entry; b = b->NextCellBox()) {
    ViewLine* first = b->GetFirstLine();
    if (!first) continue;
    while (record.entry && record.entry->end <= first->GetStart()) record.entry = record.entry->next;
    if (!record.entry || record.entry->start > b->GetLastLine()->GetEnd()) continue;
    const TableCell* c = b->cell;
    MarkRecord cell = record;
    cell.x = saved.x + columnOffsets[c->column];
    cell.height = SpanHeight(c);
    // The paragraph measures its lines from the baseline up by the cell's
    // height: they start at the cell's top plus its offset.
    cell.baseline = top + rowOffsets[c->row] + b->assignedHeight + b->VerticalOffset(SpanHeight(c));
    b->ParagraphBox::HighlightRanges(cell);
  }
  record.x = saved.x;
  record.top = saved.top;
  record.height = saved.height;
  record.baseline = saved.baseline;
}

std::intptr_t TableBox::HandleMessage(int x, int y, int, int, int message, std::intptr_t argument) {
  if (columns == 0) return 0;
  for (CellBox* b = FirstCellBox(); b; b = b->NextCellBox()) {
    const TableCell* c = b->cell;
    int lineTop = y - height + rowOffsets[c->row];
    for (ViewLine* line = b->GetFirstLine(); line; line = line->GetNextLine()) {
      const int indent = line->LeftIndent();
      line->SendToBoxes(x + columnOffsets[c->column] + indent, lineTop + line->ascent,
                        SpanWidth(c) - indent - line->RightIndent(), message, argument);
      lineTop += line->GetHeight();
    }
  }
  return 0;
}

void TableBox::AppendTo(int firstLimit, int nextLimit, ListHead& list) {
  if (columns == 0 || rows == 0) {
    list.Append(this);
    return;
  }
  auto* keep = static_cast<std::uint8_t*>(MemAlloc(rows + 1));
  if (!keep) {
    list.Append(this);
    return;
  }
  std::memset(keep, 1, rows + 1);
  for (CellBox* b = FirstCellBox(); b; b = b->NextCellBox())
    for (int k = 0; k < b->cell->extraRows; ++k) keep[b->cell->row + k] = 0;
  int last = -1;
  std::int64_t base = -8;
  std::int64_t limit = firstLimit;
  bool emptyBefore = false;
  auto append = [&](int first, int end, bool lastBand) {
    if (auto* band = new TableBandBox(this, first, end, lastBand)) list.Append(band);
  };
  for (int r = 1; r <= rows;) {
    if (rowOffsets[r] - base <= limit) {
      ++r;
      continue;
    }
    int e = r - 2;
    while (e > last && !keep[e]) --e;
    if (e <= last) {
      // Nothing fits after the previous band. One empty band moves the rows
      // to the next page when a page holds them; a run taller than a page
      // goes whole into one band (a blank page would not help it).
      int run = r - 1;
      while (run < rows - 1 && !keep[run]) ++run;
      const std::int64_t tall = std::int64_t{rowOffsets[run + 1]} - rowOffsets[last + 1] + 16;
      if (!emptyBefore && tall <= nextLimit) {
        append(last + 1, last, false);
        emptyBefore = true;
        base = std::int64_t{rowOffsets[last + 1]} - 16;
        limit = nextLimit;
        continue;
      }
      e = run;
    }
    append(last + 1, e, e == rows - 1);
    emptyBefore = false;
    last = e;
    base = std::int64_t{rowOffsets[e + 1]} - 16;
    limit = nextLimit;
    r = e + 2;
  }
  if (last < rows - 1) append(last + 1, rows - 1, true);
  MemFree(keep);
  if (useCount == 0) delete this;
}

// ---- Bands -----------------------------------------------------------------------------------

TableBandBox::TableBandBox(TableBox* table, int first, int last, bool lastBand)
    : DisplayBox(table->Item()), table(table), first(static_cast<std::int16_t>(first)),
      last(static_cast<std::int16_t>(last)), lastBand(lastBand) {
  ++table->useCount;
}

TableBandBox::~TableBandBox() {
  if (--table->useCount == 0) delete table;
}

int TableBandBox::GetAscent() {
  const int h = first <= last ? table->rowOffsets[last + 1] - table->rowOffsets[first] : 0;
  return h + (first != 0 ? 8 : 0);
}

int TableBandBox::GetDescent() { return last == table->rows - 1 ? 0 : 8; }

void TableBandBox::Draw(int x, int y) {
  const int ascent = GetAscent();
  const int top = y - ascent + (first != 0 ? 8 : 0);
  table->DrawCellsOfRows(x, top, first, last);
  table->DrawFrame(x, y - ascent, y + GetDescent(), first == 0, last == table->rows - 1);
}

std::intptr_t TableBandBox::HandleMessage(int x, int y, int, int, int message, std::intptr_t argument) {
  const int top = y - GetAscent() + (first != 0 ? 8 : 0);
  for (CellBox* b = table->FirstCellBox(); b; b = b->NextCellBox()) {
    const TableCell* c = b->cell;
    if (c->row < first || c->row > last) continue;
    int lineTop = top + table->rowOffsets[c->row] - table->rowOffsets[first];
    for (ViewLine* line = b->GetFirstLine(); line; line = line->GetNextLine()) {
      const int indent = line->LeftIndent();
      line->SendToBoxes(x + table->columnOffsets[c->column] + indent, lineTop + line->ascent,
                        table->SpanWidth(c) - indent - line->RightIndent(), message, argument);
      lineTop += line->GetHeight();
    }
  }
  return 0;
}

}  // namespace qs
