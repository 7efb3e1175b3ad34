#include "view/view_line.h"

#include "layout/display_box.h"
#include "layout/layout_item.h"
#include "view/current_view.h"
#include "view/document_view.h"
#include "view/output_device.h"

namespace qs {

namespace {

void Measure(ViewLine& line, DisplayBox* box) {
  line.ascent = box->GetAscent();
  line.descent = box->GetDescent();
  line.used = box->GetWidth();
}

}  // namespace

ViewLine::ViewLine(DisplayBox* first, int available) {
  boxes.Append(first);
  Measure(*this, first);
  if (used > available) {
    first->SplitAt(available);
    Measure(*this, first);
  }
}

int ViewLine::LeftIndent() { return GetFirstBox()->LeftIndent(); }
int ViewLine::RightIndent() { return GetFirstBox()->RightIndent(); }
int ViewLine::Alignment() { return GetFirstBox()->Justify(); }

DisplayBox* ViewLine::GetFirstBox() const { return static_cast<DisplayBox*>(boxes.First()); }
DisplayBox* ViewLine::GetLastBox() const { return static_cast<DisplayBox*>(boxes.Last()); }
std::int32_t ViewLine::GetStart() const { return GetFirstBox()->GetStart(); }
std::int32_t ViewLine::GetEnd() const { return GetLastBox()->GetEnd(); }
bool ViewLine::BreaksBefore() { return GetFirstBox()->BreaksBefore() != 0; }

int ViewLine::AlignmentOffset(int available) {
  switch (Alignment()) {
    case 0x10: return (available - used) / 2;
    case 0x20: return available - used;
    default: return 0;
  }
}

void ViewLine::AddBox(DisplayBox* box) {
  const int tab = ScaleByDpi(25);
  boxes.Append(box);
  // A tab never gets width 0: at an exact multiple it takes a whole stop.
  if (tab > 0) box->SetTabGap(tab - used % tab);
  used += box->GetWidth();
  const int offset = box->BaselineOffset();
  const int a = box->GetAscent() - offset;
  const int d = offset + box->GetDescent();
  if (a > ascent) ascent = a;
  if (d > descent) descent = d;
}

void ViewLine::Draw(int x, int y, int available) {
  const int baseline = y + ascent;
  x += AlignmentOffset(available);
  DocumentView* view = CurrentDocumentView();
  HitContext* pressed = view ? view->pressContext : nullptr;
  int largestAscent = 0, largestDescent = 0;
  bool changeBar = false;
  for (DisplayBox* box = GetFirstBox(); box; box = box->GetNext()) {
    const int offset = box->BaselineOffset();
    box->Draw(x, baseline + offset);
    if (pressed && box == PressedBox()) {
      pressed->x0 = x;
      pressed->y0 = baseline + offset;
      pressed->drawn = true;
    }
    const int a = box->GetAscent(), d = box->GetDescent(), w = box->GetWidth();
    if (a > largestAscent) largestAscent = a;
    if (d > largestDescent) largestDescent = d;
    if (box->ChangeBar()) changeBar = true;
    if (const int style = box->LineStyle()) DrawLineStyle(style, x, x + w, baseline, a - offset, offset + d);
    x += w;
  }
  if (changeBar)
    if (OutputDevice* device = CurrentDevice())
      device->DrawChangeBar(baseline - largestAscent, baseline + largestDescent);
}

void DrawLineStyle(int style, int x1, int x2, int y, int a, int d) {
  switch (style & 0xFF) {
    case 4: y -= a - d / 2; break;
    case 8: y -= (a - d) / 2; break;
    case 12: y += d / 2; break;
    default: break;
  }
  if (OutputDevice* device = CurrentDevice()) device->DrawLine(x1, y, x2, y);
}

RangeEntry* ViewLine::DrawMarks(int x, int y, int available, RangeEntry* entry) {
  DisplayBox* box = GetFirstBox();
  if (!box) return entry;
  const int above = box->GetSpaceAbove();
  MarkRecord record;
  record.top = y + above;
  record.height = GetHeight() - above;
  record.baseline = y + ascent;
  x += AlignmentOffset(available);
  for (; box; box = box->GetNext()) {
    const std::int32_t start = box->GetStart(), end = box->GetEnd();
    while (entry && entry->end <= start) entry = entry->next;
    if (!entry) return nullptr;
    // Only a range that reaches into the box marks it.
    if (entry->start < end) {
      record.x = x;
      record.entry = entry;
      box->HighlightRanges(record);
      if (record.entry) entry = record.entry;
    }
    x += box->GetWidth();
  }
  return entry;
}

std::intptr_t ViewLine::Visit(BoxQuery& query, int x, int y, int available) {
  x += AlignmentOffset(available);
  for (DisplayBox* box = GetFirstBox(); box; box = box->GetNext()) {
    if (std::intptr_t answer = box->Visit(query, x, y + ascent + box->BaselineOffset()))
      return answer;
    x += box->GetWidth();
  }
  return 0;
}

DisplayBox* ViewLine::BoxAtX(int x, int y, int available, int* outX, int* outY, bool child) {
  int offset = AlignmentOffset(available);
  DisplayBox* box = GetFirstBox();
  if (!box) return nullptr;
  for (;;) {
    offset += box->GetWidth();
    if (x <= offset || !box->GetNext()) break;
    box = box->GetNext();
  }
  const int px = x - (offset - box->GetWidth());
  const int py = y + box->GetAscent() - ascent - box->BaselineOffset();
  if (child) return box->ChildAt(px, py, outX, outY);
  *outX = px, *outY = py;
  return box;
}

void ViewLine::SendToBoxes(int x, int y, int available, int message, std::intptr_t argument) {
  DisplayBox* first = GetFirstBox();
  if (!first) return;
  const int above = ascent - first->GetSpaceAbove();
  x += AlignmentOffset(available);
  for (DisplayBox* box = first; box; box = box->GetNext()) {
    box->HandleMessage(x, y + box->BaselineOffset(), above, descent, message, argument);
    x += box->GetWidth();
  }
}

// ---- One paragraph into lines ------------------------------------------------------------

namespace {

DisplayBox* Pop(ListHead& list) { return static_cast<DisplayBox*>(list.PopFirst()); }

int Available(int width, DisplayBox* box) {
  return width - (box->LeftIndent() + box->RightIndent());
}

// Breaks the boxes of one paragraph (all of `pending`) into lines `width`
// wide at the end of `built`.
void BreakParagraph(ListHead& pending, int width, ListHead& built) {
  DisplayBox* first = Pop(pending);
  if (!first) return;
  int available = Available(width, first);
  const auto gap = static_cast<std::int8_t>(first->Leading());
  auto* line = new ViewLine(first, available);
  if (!line) {
    delete first;
    return;
  }
  ListNode* before = built.Last();
  built.Append(line);

  if (!first->CanBreakAfter()) {
    while (auto* box = static_cast<DisplayBox*>(pending.First())) {
      if (box->BreaksBefore()) break;
      line->AddBox(Pop(pending));
      if (box->CanBreakAfter()) break;
    }
  }

  while (DisplayBox* box = Pop(pending)) {
    if (box->CanBreakAfter()) {
      if (available < line->used + box->GetWidth()) {
        available = Available(width, box);
        line = new ViewLine(box, available);
        if (!line) {
          delete box;
          break;
        }
        built.Append(line);
      } else {
        line->AddBox(box);
      }
      continue;
    }
    // A run: this box and the following ones up to one that allows a
    // break after it, stopping before one that forces a break.
    int runWidth = box->GetWidth();
    DisplayBox* last = box;
    for (DisplayBox* n = static_cast<DisplayBox*>(pending.First()); n && !n->BreaksBefore();
         n = n->GetNext()) {
      runWidth += n->GetWidth();
      last = n;
      if (n->CanBreakAfter()) break;
    }
    if (available < line->used + runWidth) {
      available = Available(width, box);
      line = new ViewLine(box, available);
      if (!line) {
        delete box;
        break;
      }
      built.Append(line);
    } else {
      line->AddBox(box);
    }
    if (last != box) {
      for (;;) {
        DisplayBox* n = Pop(pending);
        line->AddBox(n);
        if (n == last) break;
      }
    }
  }
  // Boxes left when memory ran out go with the list.
  pending.DeleteAll();

  auto* opened = static_cast<ViewLine*>(before ? before->Next() : built.First());
  for (auto* l = opened; l; l = l->GetNextLine()) {
    if (gap != 0) l->descent += gap;
  }
  if (opened) opened->ascent += opened->GetFirstBox()->GetSpaceAbove();
}

}  // namespace

LayoutItem* BuildParagraphLines(LayoutItem* item, int width, ListHead& lines, bool append) {
  if (!item) return nullptr;
  ListHead pending;
  item->MakeBoxes(pending);
  LayoutItem* next = item->NextItem();
  while (next && !next->BreaksBefore()) {
    next->MakeBoxes(pending);
    next = next->NextItem();
  }
  ListHead built;
  BreakParagraph(pending, width, built);
  if (append)
    lines.AppendList(built);
  else
    lines.PrependList(built);
  return next;
}

void BreakBoxesIntoLines(ListHead& boxes, int width, ListHead& lines) {
  while (!boxes.IsEmpty()) {
    // A paragraph runs to the next box that forces a break, unless that box
    // is another of the same item's boxes.
    ListHead paragraph;
    auto* box = Pop(boxes);
    paragraph.Append(box);
    while (auto* next = static_cast<DisplayBox*>(boxes.First())) {
      if (next->BreaksBefore() && next->Item() != box->Item()) break;
      box = Pop(boxes);
      paragraph.Append(box);
    }
    BreakParagraph(paragraph, width, lines);
  }
}

}  // namespace qs
