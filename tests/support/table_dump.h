// Tables as text, one line per group, cell and band: what format_dump
// prints and what the table tests compare.
//   CALS @pos groups=N wide=W [id=ID]
//    GROUP cols=C rows=R fixed=F share=S
//     CELL g p r+more c+extra f=XX @pos [filler] items=N
//   GRID @pos frame=F
//    CELL r+extra c+extra f=XX items=N
//   BAND head=a-b body=c-d foot=e-f h=H   (CALS; -1 for none)
//   BAND rows=a-b h=H                      (grid)
#pragma once
#include <cstdio>
#include <string>

#include "layout/table_items.h"
#include "sgml/document.h"
#include "style/cals_table.h"

namespace qs::test {

inline std::string DumpTableItem(LayoutItem* item) {
  char line[200];
  std::string out;
  if (auto* cals = dynamic_cast<CalsTableItem*>(item)) {
    std::snprintf(line, sizeof line, "CALS @%d groups=%d wide=%d", static_cast<int>(cals->Position()),
                  static_cast<int>(cals->groupCount), static_cast<int>(cals->pageWide));
    out += line;
    const char* id = cals->element ? cals->element->GetId() : nullptr;
    if (!id && cals->element) id = cals->element->GetAttributeValue("id");
    if (id) out += std::string(" id=") + id;
    out += "\n";
    for (CalsGroup* g = cals->FirstGroup(); g; g = g->NextGroup()) {
      std::snprintf(line, sizeof line, " GROUP cols=%d rows=%d fixed=%d share=%d\n", g->columnCount,
                    g->rowCount, static_cast<int>(g->fixedTotal), static_cast<int>(g->shareTotal));
      out += line;
      for (CalsCell* c = g->FirstCell(); c; c = c->NextCell()) {
        int n = 0;
        for (auto* i = c->content.First(); i; i = i->Next()) ++n;
        std::snprintf(line, sizeof line, "  CELL g%d p%d r%d+%d c%d+%d f=%02X @%d%s items=%d\n",
                      c->groupIndex, c->part, c->row, c->moreRows, c->column, c->extraColumns,
                      c->flags, static_cast<int>(c->GetTextOffset()), c->IsFiller() ? " filler" : "", n);
        out += line;
      }
    }
  } else if (auto* grid = dynamic_cast<TableItem*>(item)) {
    std::snprintf(line, sizeof line, "GRID @%d frame=%X\n", static_cast<int>(grid->Position()), grid->frame);
    out += line;
    for (TableCell* c = grid->FirstCell(); c; c = c->NextCell()) {
      int n = 0;
      for (auto* i = c->items.First(); i; i = i->Next()) ++n;
      std::snprintf(line, sizeof line, " CELL r%d+%d c%d+%d f=%02X items=%d\n", c->row, c->extraRows,
                    c->column, c->extraColumns, c->flags, n);
      out += line;
    }
  }
  return out;
}

inline std::string DumpBands(ListHead& bands) {
  char line[160];
  std::string out;
  for (auto* n = bands.First(); n; n = n->Next()) {
    if (auto* b = dynamic_cast<CalsBandBox*>(n)) {
      std::snprintf(line, sizeof line, "BAND head=%d-%d body=%d-%d foot=%d-%d h=%d\n", b->rows[0][0],
                    b->rows[0][1], b->rows[1][0], b->rows[1][1], b->rows[2][0], b->rows[2][1],
                    b->GetAscent());
    } else if (auto* t = dynamic_cast<TableBandBox*>(n)) {
      std::snprintf(line, sizeof line, "BAND rows=%d-%d h=%d\n", t->first, t->last,
                    t->GetAscent() + t->GetDescent());
    } else {
      std::snprintf(line, sizeof line, "BOX\n");
    }
    out += line;
  }
  return out;
}

}  // namespace qs::test
