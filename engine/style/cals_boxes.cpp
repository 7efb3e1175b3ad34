// The display side of CALS tables: cell boxes broken at their cells'
// widths, group layouts with column and row edges, the table box and the
// bands of whole rows it cuts itself into for pages.
#include <climits>
#include <cstring>

#include "foundation/memory.h"
#include "style/cals_table.h"
#include "view/current_view.h"
#include "view/output_device.h"
#include "view/view_line.h"

namespace qs {

namespace {

// Points to device units in 64 bits, kept within what boxes can hold.
std::int32_t ScalePoints(std::int64_t points) {
  OutputDevice* device = CurrentDevice();
  const std::int64_t dpi = device ? device->dpiX : 72;
  std::int64_t v = points * dpi / 72;
  if (v > 0x3FFFFFFF) v = 0x3FFFFFFF;
  if (v < -0x3FFFFFFF) v = -0x3FFFFFFF;
  return static_cast<std::int32_t>(v);
}

// An empty cell is 12 points high.
int MinimumCellHeight() {
  OutputDevice* device = CurrentDevice();
  const int dpi = device ? device->dpiY : 72;
  return dpi * 12 / 72;
}

std::uint8_t LineKind(const CalsCell* cell) {
  switch (cell->flags & CalsCell::kAlignMask) {
    case CalsCell::kAlignLeft: return ParagraphBox::kLinesLeft;
    case CalsCell::kAlignRight: return ParagraphBox::kLinesRight;
    case CalsCell::kAlignCenter: return ParagraphBox::kLinesCentred;
    default: return 0;
  }
}

void KeepLargerRatio(double value, double share, double& n, double& d) {
  if (n * share < d * value) {
    n = value;
    d = share;
  }
}

std::int64_t RaiseToRatio(std::int64_t value, std::int64_t total, double n, double d) {
  const double x = (n * static_cast<double>(total) + d - 1) / d;
  if (x > 1e12) return value > 0x3FFFFFFF ? value : 0x3FFFFFFF;
  const auto raised = static_cast<std::int64_t>(x);
  return raised > value ? raised : value;
}

std::int32_t Clamp32(std::int64_t v) {
  if (v > 0x3FFFFFFF) return 0x3FFFFFFF;
  if (v < -0x3FFFFFFF) return -0x3FFFFFFF;
  return static_cast<std::int32_t>(v);
}

}  // namespace

// ---- Cell boxes --------------------------------------------------------------------------

CalsCellBox::CalsCellBox(CalsTableItem* item, CalsCell* cell, int referenceWidth)
    : ParagraphBox(item, &cell->content, referenceWidth, LineKind(cell)), cell(cell) {
  for (ViewLine* line = GetFirstLine(); line; line = line->GetNextLine()) {
    DisplayBox* first = line->GetFirstBox();
    const int indents = first ? first->LeftIndent() + first->RightIndent() : 0;
    if (line->used + indents > maxWidth) maxWidth = line->used + indents;
    // Boxes joined because one allows no break after it are one piece.
    std::int64_t run = 0;
    for (DisplayBox* box = first; box; box = box->GetNext()) {
      run += box->GetMinWidth();
      if (box->CanBreakAfter() || !box->GetNext()) {
        if (run + indents > minWidth) minWidth = Clamp32(run + indents);
        run = 0;
      }
    }
  }
  width = referenceWidth;
  contentHeight = GetAscent();
  if (contentHeight < MinimumCellHeight()) contentHeight = MinimumCellHeight();
  SetWidest(referenceWidth);
}

void CalsCellBox::Fill(int w) {
  if (w < 0) w = 0;
  BreakLines(w, nullptr);
  width = w;
  contentHeight = GetAscent();
  if (contentHeight < MinimumCellHeight()) contentHeight = MinimumCellHeight();
  SetWidest(w);
}

int CalsCellBox::VerticalOffset(int top, int bottom) const {
  if (cell->flags & CalsCell::kMiddle) return (top + bottom - contentHeight) / 2;
  if (cell->flags & CalsCell::kBottom) return bottom - contentHeight;
  return top;
}

void CalsCellBox::DrawCell(int x0, int y0, int x1, int y1, bool rightmost) {
  OutputDevice* device = CurrentDevice();
  if (!device) return;
  if (x1 < 0 || x0 > device->width || y1 < 0 || y0 > device->height) return;
  device->SetColor(device->GetInkColor());
  const std::uint8_t f = cell->flags;
  if (f & CalsCell::kRuleLeft) device->DrawLine(x0, y0, x0, y1);
  // A table as wide as the view would otherwise lose its right frame
  // rule one pixel past the window's edge.
  if (f & CalsCell::kRuleRight) {
    const int at = rightmost && x1 > x0 ? x1 - 1 : x1;
    device->DrawLine(at, y0, at, y1);
  }
  if (f & CalsCell::kRuleTop) device->DrawLine(x0, y0, x1, y0);
  if (f & CalsCell::kRuleBottom) device->DrawLine(x0, y1, x1, y1);
  DrawLines(x0, VerticalOffset(y0, y1) + GetAscent());
}

// ---- Group layouts -----------------------------------------------------------------------

CalsGroupLayout::~CalsGroupLayout() {
  cells.DeleteAll();
  MemFree(columnEdges);
}

void CalsGroupLayout::Build(CalsTableItem* item, CalsGroup* g) {
  group = g;
  columns = g->columnCount > 0 && g->Valid() ? g->columnCount : 0;
  rows = g->rowCount > 0 ? g->rowCount : 0;
  if (columns == 0 || rows == 0) return;
  columnEdges = static_cast<std::int32_t*>(MemAlloc(sizeof(std::int32_t) * (columns + rows)));
  if (!columnEdges) {
    columns = rows = 0;
    return;
  }
  std::memset(columnEdges, 0, sizeof(std::int32_t) * (columns + rows));
  rowEdges = columnEdges + columns;
  auto* mn = static_cast<std::int64_t*>(MemAlloc(sizeof(std::int64_t) * columns * 2));
  if (mn) std::memset(mn, 0, sizeof(std::int64_t) * columns * 2);
  std::int64_t* mx = mn ? mn + columns : nullptr;
  double minN = 0, minD = 1, maxN = 0, maxD = 1;
  int e = -1;
  for (CalsCell* cell = g->FirstCell(); cell; cell = cell->NextCell()) {
    // Cells come from the builder within the grid; kept there whatever made them.
    int c0 = cell->column, c1 = cell->LastColumn();
    if (c0 < 0) c0 = 0;
    if (c0 >= columns) c0 = columns - 1;
    if (c1 < c0) c1 = c0;
    if (c1 >= columns) c1 = columns - 1;
    const int reference = ScalePoints(std::int64_t{g->ReferenceEdge(c1)} - g->ReferenceEdge(c0 - 1));
    auto* box = new CalsCellBox(item, cell, reference);
    if (!box) continue;
    cells.Append(box);
    if (!mn) continue;
    std::int64_t cmin = box->minWidth, cmax = box->maxWidth;
    const std::int64_t share = std::int64_t{g->ShareEdge(c1)} - g->ShareEdge(c0 - 1);
    if (share == 0) {
      cmin = cmax = reference;
    } else {
      const std::int64_t fixed = std::int64_t{g->FixedEdge(c1)} - g->FixedEdge(c0 - 1);
      const std::int64_t f = fixed ? ScalePoints(fixed / 10) : 0;
      KeepLargerRatio(static_cast<double>(cmin - f), static_cast<double>(share), minN, minD);
      KeepLargerRatio(static_cast<double>(cmax - f), static_cast<double>(share), maxN, maxD);
    }
    const std::int64_t before0 = c0 > 0 ? mn[c0 - 1] : 0, before1 = c0 > 0 ? mx[c0 - 1] : 0;
    if (before0 + cmin > mn[c1]) mn[c1] = before0 + cmin;
    if (before1 + cmax > mx[c1]) mx[c1] = before1 + cmax;
    if (c1 > e) e = c1;
  }
  std::int64_t lo = e >= 0 && mn ? mn[e] : 0, hi = e >= 0 && mx ? mx[e] : 0;
  MemFree(mn);
  const std::int64_t fixedPixels = ScalePoints(g->fixedTotal / 10);
  lo = RaiseToRatio(lo - fixedPixels, g->shareTotal, minN, minD) + fixedPixels;
  hi = RaiseToRatio(hi - fixedPixels, g->shareTotal, maxN, maxD) + fixedPixels;
  minWidth = Clamp32(lo);
  maxWidth = Clamp32(hi);
}

void CalsGroupLayout::DistributeWidth(int available) {
  if (columns == 0 || rows == 0) {
    height = width = 0;
    return;
  }
  for (int i = 0; i < columns; ++i) columnEdges[i] = ScalePoints(group->FixedEdge(i) / 10);
  const std::int64_t spare = std::int64_t{available} - columnEdges[columns - 1];
  if (group->shareTotal != 0 && spare > 0)
    for (int i = 0; i < columns; ++i)
      columnEdges[i] = Clamp32(columnEdges[i] + std::int64_t{group->ShareEdge(i)} * spare /
                                                    group->shareTotal);
  width = columnEdges[columns - 1];
}

void CalsGroupLayout::Layout(int available) {
  if (columns == 0 || rows == 0) {
    height = width = 0;
    return;
  }
  DistributeWidth(available);
  for (int r = 0; r < rows; ++r) rowEdges[r] = 0;
  int settled = 0;  // rows below this have final edges
  auto settle = [&](int upTo) {
    for (; settled < upTo && settled < rows; ++settled)
      if (settled > 0 && rowEdges[settled] < rowEdges[settled - 1])
        rowEdges[settled] = rowEdges[settled - 1];
  };
  for (CalsCellBox* box = FirstCellBox(); box; box = box->NextCellBox()) {
    const CalsCell* cell = box->cell;
    const int c0 = cell->column < columns ? cell->column : columns - 1;
    int c1 = cell->LastColumn() < columns ? cell->LastColumn() : columns - 1;
    if (c1 < c0) c1 = c0;
    int r0 = cell->row < rows ? cell->row : rows - 1;
    if (r0 < 0) r0 = 0;
    int r1 = cell->LastRow() < rows ? cell->LastRow() : rows - 1;
    if (r1 < r0) r1 = r0;
    settle(r0);
    box->Fill(ColumnEdge(c1) - ColumnEdge(c0 - 1));
    const std::int64_t bottom = std::int64_t{RowEdge(r0 - 1)} + box->contentHeight;
    if (bottom > rowEdges[r1]) rowEdges[r1] = Clamp32(bottom);
  }
  settle(rows);
  height = rowEdges[rows - 1];
}

// ---- The table box -------------------------------------------------------------------------

CalsTableBox::CalsTableBox(CalsTableItem* item) : DisplayBox(item), table(item) {
  pageWide = item->pageWide;
  int count = 0;
  for (CalsGroup* g = item->FirstGroup(); g; g = g->NextGroup()) ++count;
  groups = count ? new CalsGroupLayout[count] : nullptr;
  groupCount = groups ? count : 0;
  int i = 0;
  for (CalsGroup* g = item->FirstGroup(); g && i < groupCount; g = g->NextGroup(), ++i) {
    groups[i].Build(item, g);
    if (groups[i].minWidth > minWidth) minWidth = groups[i].minWidth;
    if (groups[i].maxWidth > maxWidth) maxWidth = groups[i].maxWidth;
  }
  OutputDevice* device = CurrentDevice();
  LayoutAt(device ? device->width : 0);
}

CalsTableBox::~CalsTableBox() { delete[] groups; }

void CalsTableBox::LayoutAt(int w) {
  width = 0;
  std::int64_t total = 0;
  for (int i = 0; i < groupCount; ++i) {
    groups[i].Layout(w);
    if (groups[i].width > width) width = groups[i].width;
    total += groups[i].height;
  }
  height = Clamp32(total);
}

void CalsTableBox::SplitAt(int w) {
  if (w < minWidth) w = minWidth;
  if (w > maxWidth && !pageWide) w = maxWidth;
  if (w != width) LayoutAt(w);
}

int CalsTableBox::RowCount() const {
  int n = 0;
  for (int i = 0; i < groupCount; ++i) n += groups[i].rows;
  return n;
}

CalsGroupLayout* CalsTableBox::GroupOfRow(int r, int* firstRow, int* top) {
  int first = 0, y = 0;
  for (int i = 0; i < groupCount; ++i) {
    if (r < first + groups[i].rows) {
      *firstRow = first;
      *top = y;
      return &groups[i];
    }
    first += groups[i].rows;
    y += groups[i].height;
  }
  *firstRow = first;
  *top = y;
  return nullptr;
}

int CalsTableBox::RowTop(int r) {
  int first = 0, top = 0;
  CalsGroupLayout* g = GroupOfRow(r, &first, &top);
  return g ? top + g->RowEdge(r - first - 1) : top;
}

void CalsTableBox::Draw(int x, int y) {
  int top = y - height;
  OutputDevice* device = CurrentDevice();
  const int bottom = device ? device->height : INT_MAX;
  for (int i = 0; i < groupCount && top <= bottom; ++i) {
    CalsGroupLayout& g = groups[i];
    for (CalsCellBox* box = g.FirstCellBox(); box; box = box->NextCellBox()) {
      const CalsCell* c = box->cell;
      box->DrawCell(x + g.ColumnEdge(c->column - 1), top + g.RowEdge(c->row - 1),
                    x + g.ColumnEdge(c->LastColumn()), top + g.RowEdge(c->LastRow()),
                    c->LastColumn() >= g.columns - 1);
    }
    top += g.height;
  }
}

void CalsTableBox::DrawRows(int x, int top, int first, int last) {
  if (first < 0 || last < first) return;
  const int origin = RowTop(first);
  int base = 0, groupTop = 0;
  for (int i = 0; i < groupCount; ++i) {
    CalsGroupLayout& g = groups[i];
    const int rows = g.rows;
    if (base + rows > first && base <= last) {
      for (CalsCellBox* box = g.FirstCellBox(); box; box = box->NextCellBox()) {
        const CalsCell* c = box->cell;
        const int r = base + c->row;
        if (r < first || r > last) continue;
        box->DrawCell(x + g.ColumnEdge(c->column - 1), top + groupTop + g.RowEdge(c->row - 1) - origin,
                      x + g.ColumnEdge(c->LastColumn()), top + groupTop + g.RowEdge(c->LastRow()) - origin,
                      c->LastColumn() >= g.columns - 1);
      }
    }
    base += rows;
    groupTop += g.height;
  }
}

namespace {

// The cell of a group layout under (x, y) relative to the group's top-left.
CalsCellBox* CellAt(CalsGroupLayout& g, int x, int y) {
  for (CalsCellBox* box = g.FirstCellBox(); box; box = box->NextCellBox()) {
    const CalsCell* c = box->cell;
    if (x >= g.ColumnEdge(c->column - 1) && x < g.ColumnEdge(c->LastColumn()) &&
        y >= g.RowEdge(c->row - 1) && y < g.RowEdge(c->LastRow()))
      return box;
  }
  return nullptr;
}

}  // namespace

std::int32_t CalsTableBox::PositionAt(int x, int y) {
  if (y < 0) return GetStart();
  int top = 0;
  for (int i = 0; i < groupCount; ++i) {
    CalsGroupLayout& g = groups[i];
    if (y < top + g.height) {
      CalsCellBox* box = CellAt(g, x, y - top);
      if (!box) return GetEnd();
      const CalsCell* c = box->cell;
      if (!box->GetFirstLine()) return c->GetTextOffset();
      const int lineTop = box->VerticalOffset(g.RowEdge(c->row - 1), g.RowEdge(c->LastRow()));
      const int ry = y - top - lineTop;
      if (ry >= box->GetAscent()) return box->GetLastLine()->GetEnd();
      return box->PositionAt(x - g.ColumnEdge(c->column - 1), ry < 0 ? 0 : ry);
    }
    top += g.height;
  }
  return GetEnd();
}

void CalsTableBox::PointOf(std::int32_t position, int* x, int* y) {
  *x = 0, *y = 0;
  int top = 0;
  for (int i = 0; i < groupCount; ++i) {
    CalsGroupLayout& g = groups[i];
    for (CalsCellBox* box = g.FirstCellBox(); box; box = box->NextCellBox()) {
      if (!box->GetFirstLine()) continue;
      const std::int32_t start = box->GetStart();
      if (position < start || position > start + box->GetLength()) continue;
      const CalsCell* c = box->cell;
      int bx = 0, by = 0;
      box->PointOf(position, &bx, &by);
      *x = g.ColumnEdge(c->column - 1) + bx;
      *y = top + box->VerticalOffset(g.RowEdge(c->row - 1), g.RowEdge(c->LastRow())) + by;
      return;
    }
    top += g.height;
  }
}

void CalsTableBox::HighlightRanges(MarkRecord& record) {
  RangeEntry* entry = record.entry;
  if (!entry || entry->start >= GetEnd()) return;
  const int tableTop = record.baseline - height;
  int top = tableTop;
  for (int i = 0; i < groupCount; ++i) {
    CalsGroupLayout& g = groups[i];
    for (CalsCellBox* box = g.FirstCellBox(); box; box = box->NextCellBox()) {
      if (!box->GetFirstLine()) continue;
      const CalsCell* c = box->cell;
      MarkRecord cellRecord = record;
      cellRecord.entry = entry;
      while (cellRecord.entry && cellRecord.entry->end <= box->GetStart())
        cellRecord.entry = cellRecord.entry->next;
      if (!cellRecord.entry) continue;
      cellRecord.x = record.x + g.ColumnEdge(c->column - 1);
      cellRecord.baseline =
          top + box->VerticalOffset(g.RowEdge(c->row - 1), g.RowEdge(c->LastRow())) + box->GetAscent();
      box->ParagraphBox::HighlightRanges(cellRecord);
    }
    top += g.height;
  }
  // Ranges inside the table are done with.
  const std::int32_t end = GetEnd();
  while (entry && entry->end <= end) entry = entry->next;
  record.entry = entry;
}

std::intptr_t CalsTableBox::Visit(BoxQuery& query, int x, int y) {
  if (std::intptr_t answer = DisplayBox::Visit(query, x, y)) return answer;
  int top = y - height;
  for (int i = 0; i < groupCount; ++i) {
    CalsGroupLayout& g = groups[i];
    for (CalsCellBox* box = g.FirstCellBox(); box; box = box->NextCellBox()) {
      const CalsCell* c = box->cell;
      const int left = x + g.ColumnEdge(c->column - 1);
      int lineTop = top + box->VerticalOffset(g.RowEdge(c->row - 1), g.RowEdge(c->LastRow()));
      for (ViewLine* line = box->GetFirstLine(); line; line = line->GetNextLine()) {
        const int indent = line->LeftIndent();
        if (std::intptr_t answer =
                line->Visit(query, left + indent, lineTop, box->width - indent - line->RightIndent()))
          return answer;
        lineTop += line->GetHeight();
      }
    }
    top += g.height;
  }
  return 0;
}

DisplayBox* CalsTableBox::ChildAt(int x, int y, int* outX, int* outY) {
  int top = 0;
  for (int i = 0; i < groupCount; ++i) {
    CalsGroupLayout& g = groups[i];
    if (y >= top && y < top + g.height) {
      if (CalsCellBox* box = CellAt(g, x, y - top)) {
        const CalsCell* c = box->cell;
        const int lineTop = box->VerticalOffset(g.RowEdge(c->row - 1), g.RowEdge(c->LastRow()));
        DisplayBox* child =
            box->ChildAt(x - g.ColumnEdge(c->column - 1), y - top - lineTop, outX, outY);
        if (child && child != box) return child;
      }
      break;
    }
    top += g.height;
  }
  *outX = x, *outY = y;
  return this;
}

DisplayBox* CalsTableBox::FindItemBox(LayoutItem* item, int* outX, int* outY) {
  int top = 0;
  for (int i = 0; i < groupCount; ++i) {
    CalsGroupLayout& g = groups[i];
    for (CalsCellBox* box = g.FirstCellBox(); box; box = box->NextCellBox()) {
      const CalsCell* c = box->cell;
      int lineTop = box->VerticalOffset(g.RowEdge(c->row - 1), g.RowEdge(c->LastRow()));
      for (ViewLine* line = box->GetFirstLine(); line; line = line->GetNextLine()) {
        const int room = box->width - line->LeftIndent() - line->RightIndent();
        int lx = line->LeftIndent() + line->AlignmentOffset(room);
        for (DisplayBox* b = line->GetFirstBox(); b; b = b->GetNext()) {
          int bx = 0, by = 0;
          if (DisplayBox* hit = b->FindItemBox(item, &bx, &by)) {
            *outX = g.ColumnEdge(c->column - 1) + lx + bx;
            *outY = top + lineTop + by;
            return hit;
          }
          lx += b->GetWidth();
        }
        lineTop += line->GetHeight();
      }
    }
    top += g.height;
  }
  return nullptr;
}

std::intptr_t CalsTableBox::HandleMessage(int x, int y, int, int, int message,
                                          std::intptr_t argument) {
  int top = y - height;
  for (int i = 0; i < groupCount; ++i) {
    CalsGroupLayout& g = groups[i];
    for (CalsCellBox* box = g.FirstCellBox(); box; box = box->NextCellBox()) {
      const CalsCell* c = box->cell;
      const int left = x + g.ColumnEdge(c->column - 1);
      int lineTop = top + box->VerticalOffset(g.RowEdge(c->row - 1), g.RowEdge(c->LastRow()));
      for (ViewLine* line = box->GetFirstLine(); line; line = line->GetNextLine()) {
        const int indent = line->LeftIndent();
        line->SendToBoxes(left + indent, lineTop + line->ascent,
                          box->width - indent - line->RightIndent(), message, argument);
        lineTop += line->GetHeight();
      }
    }
    top += g.height;
  }
  return 0;
}

// ---- Bands ---------------------------------------------------------------------------------

namespace {

struct RowRecord {
  std::int32_t height;
  std::int16_t breakable;
  std::int16_t part;
  std::int16_t group;
};

struct GroupRecord {
  std::int64_t head = 0, body = 0, foot = 0;
  int first = -1, last = -1, firstHead = -1, firstBody = -1, firstFoot = -1;
};

}  // namespace

CalsBandBox::CalsBandBox(CalsTableBox* t, const int head[2], const int body[2], const int foot[2])
    : DisplayBox(t->Item()), table(t) {
  ++table->useCount;
  const int* ranges[3] = {head, body, foot};
  for (int k = 0; k < 3; ++k) {
    rows[k][0] = static_cast<std::int16_t>(ranges[k][0]);
    rows[k][1] = static_cast<std::int16_t>(ranges[k][1]);
    if (ranges[k][0] >= 0 && ranges[k][1] >= ranges[k][0]) {
      y[2 * k] = table->RowTop(ranges[k][0]);
      y[2 * k + 1] = table->RowTop(ranges[k][1] + 1);
    }
  }
}

CalsBandBox::~CalsBandBox() {
  if (--table->useCount == 0) delete table;
}

int CalsBandBox::GetAscent() { return (y[1] - y[0]) + (y[3] - y[2]) + (y[5] - y[4]); }

int CalsBandBox::GetWidth() { return table->GetWidth(); }

void CalsBandBox::Draw(int x, int baseline) {
  int top = baseline - GetAscent();
  for (int k = 0; k < 3; ++k) {
    if (rows[k][0] < 0 || rows[k][1] < rows[k][0]) continue;
    table->DrawRows(x, top, rows[k][0], rows[k][1]);
    top += y[2 * k + 1] - y[2 * k];
  }
}

void CalsTableBox::AppendTo(int firstRoom, int pageRoom, ListHead& list) {
  const int n = RowCount();
  if (n == 0) {
    // A table without rows shows nothing on a page.
    delete this;
    return;
  }
  auto* rows = static_cast<RowRecord*>(MemAlloc(sizeof(RowRecord) * n));
  auto* records = static_cast<GroupRecord*>(MemAlloc(sizeof(GroupRecord) * n));
  if (!rows || !records) {
    MemFree(rows);
    MemFree(records);
    list.Append(this);
    return;
  }
  {
    int base = 0;
    for (int i = 0; i < groupCount; ++i) {
      CalsGroupLayout& g = groups[i];
      const CalsCell* firstCell = g.group ? g.group->FirstCell() : nullptr;
      const std::int16_t index = firstCell ? firstCell->groupIndex : static_cast<std::int16_t>(-1 - i);
      for (int r = 0; r < g.rows; ++r)
        rows[base + r] = {g.RowEdge(r) - g.RowEdge(r - 1), 1, 1, index};
      for (CalsCellBox* box = g.FirstCellBox(); box; box = box->NextCellBox()) {
        const CalsCell* c = box->cell;
        const int r0 = c->row, r1 = c->LastRow() < g.rows ? c->LastRow() : g.rows - 1;
        for (int r = r0; r <= r1 && r >= 0; ++r) {
          if (r < r1) rows[base + r].breakable = 0;
          rows[base + r].part = c->part;
          rows[base + r].group = c->groupIndex;
        }
      }
      base += g.rows;
    }
  }
  int recordCount = 0;
  for (int r = 0; r < n;) {
    GroupRecord& g = records[recordCount++];
    g = GroupRecord{};
    const int index = rows[r].group;
    g.first = r;
    auto run = [&](int part, int* firstOf, std::int64_t* h) {
      if (r < n && rows[r].group == index && rows[r].part == part) *firstOf = r;
      while (r < n && rows[r].group == index && rows[r].part == part) *h += rows[r++].height;
    };
    run(0, &g.firstHead, &g.head);
    run(1, &g.firstBody, &g.body);
    run(2, &g.firstFoot, &g.foot);
    if (r == g.first) g.body += rows[r++].height;  // a part outside 0-2 never holds a row up
    g.last = r - 1;
  }
  auto height = [&](int a, int b) {
    std::int64_t h = 0;
    for (int r = a; r <= b; ++r) h += rows[r].height;
    return h;
  };
  int next = 0;
  std::int64_t used = 0, room = firstRoom;
  int head[2] = {-1, -1};
  const int none[2] = {-1, -1};
  auto makeBand = [&](int end, const int* repeatHead, const int* foot) {
    int body[2] = {next, end};
    int ownFoot[2] = {-1, -1};
    if (foot[0] >= 0) {
      if (end < foot[0] && end + 1 == foot[0]) body[1] = foot[1];
      else if (end + 1 < foot[0]) ownFoot[0] = foot[0], ownFoot[1] = foot[1];
    }
    if (auto* band = new CalsBandBox(this, repeatHead, body, ownFoot)) list.Append(band);
    next = body[1] + 1;
  };
  for (int i = 0; i < recordCount; ++i) {
    const GroupRecord& g = records[i];
    const int previousLast = g.first - 1;
    if (g.head + g.body + g.foot <= room - used) {
      used += g.head + g.body + g.foot;
      continue;
    }
    if (g.firstBody < 0) {
      if (g.first == next) {
        makeBand(g.last, head, none);
      } else {
        // The rows before this group end the band, with the head that the
        // group they belong to repeats.
        makeBand(previousLast, head, none);
        --i;  // this group again, on a fresh page
      }
      head[0] = head[1] = -1;
      used = 0;
      room = pageRoom;
      continue;
    }
    const int bodyEnd = g.firstFoot > 0 ? g.firstFoot - 1 : g.last;
    auto runEnd = [&](int from) {
      int e = from;
      while (e < bodyEnd && rows[e].breakable == 0) ++e;
      return e;
    };
    const int firstRunEnd = runEnd(g.firstBody);
    if (g.head + g.foot + used + height(g.firstBody, firstRunEnd) > room && g.first != next) {
      makeBand(previousLast, head, none);
      head[0] = head[1] = -1;
      used = 0;
      room = pageRoom;
      --i;
      continue;
    }
    const int foot[2] = {g.firstFoot, g.firstFoot >= 0 ? g.last : -1};
    std::int64_t taken = 0;
    bool takenAny = false;
    for (int r = g.firstBody; r <= bodyEnd;) {
      const int e = runEnd(r);
      const std::int64_t h = height(r, e);
      // On a full page with nothing of the body on it yet, a run taller
      // than the page is taken whole: a fresh page would not hold it either.
      if (g.head + g.foot + used + taken + h <= room || (!takenAny && room >= pageRoom && used == 0)) {
        taken += h;
        takenAny = true;
      } else {
        makeBand(r - 1, head, foot);
        head[0] = g.firstHead;
        head[1] = g.firstHead >= 0 ? g.firstBody - 1 : -1;
        room = pageRoom;
        used = 0;
        taken = h;
        takenAny = true;
        next = r;
      }
      r = e + 1;
    }
    if (next > bodyEnd) {
      head[0] = head[1] = -1;
    } else {
      used += g.head + g.foot + taken;
    }
  }
  if (recordCount > 0 && next <= records[recordCount - 1].last) {
    const GroupRecord& g = records[recordCount - 1];
    const int foot[2] = {g.firstFoot, g.firstFoot >= 0 ? g.last : -1};
    makeBand(g.last, head, foot);
  }
  MemFree(rows);
  MemFree(records);
  // The bands hold the table box now; without any it goes.
  if (useCount == 0) delete this;
}

}  // namespace qs
