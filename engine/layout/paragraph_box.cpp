#include "layout/paragraph_box.h"

#include "view/current_view.h"
#include "view/output_device.h"

namespace qs {

namespace {

DisplayBox* Pop(ListHead& list) { return static_cast<DisplayBox*>(list.PopFirst()); }
DisplayBox* Peek(const ListHead& list) { return static_cast<DisplayBox*>(list.First()); }

int BottomEdge() {
  OutputDevice* device = CurrentDevice();
  return device ? device->height : 0x7FFF;
}

int RightEdge() {
  OutputDevice* device = CurrentDevice();
  return device ? device->width : 0x7FFF;
}

}  // namespace

ParagraphBox::ParagraphBox(LayoutItem* item, const ListHead* items, int width, std::uint8_t flags)
    : DisplayBox(item), flags_(flags) {
  BreakLines(width, items);
}

ParagraphBox::~ParagraphBox() = default;

ViewLine* ParagraphBox::NewLine(DisplayBox* first, int available) {
  switch (flags_ & kLineKindMask) {
    case kLinesLeft: return new LineBox(first, available, 0);
    case kLinesCentred: return new LineBox(first, available, 0x10);
    case kLinesRight: return new LineBox(first, available, 0x20);
    default: return new ViewLine(first, available);
  }
}

int ParagraphBox::LineCount() const {
  int n = 0;
  for (ViewLine* l = GetFirstLine(); l; l = l->GetNextLine()) ++n;
  return n;
}

void ParagraphBox::BreakLines(int width, const ListHead* items) {
  widest_ = 0;
  height_ = 0;
  ListHead pending;
  if (items) {
    for (auto* item = static_cast<LayoutItem*>(items->First()); item; item = item->NextItem())
      item->MakeBoxes(pending);
  } else {
    for (ViewLine* l = GetFirstLine(); l; l = l->GetNextLine()) l->TakeBoxes(pending);
  }
  lines_.DeleteAll();

  const bool noIndents = flags_ & kNoIndents;
  auto availableFor = [&](DisplayBox* box) {
    return noIndents ? width : width - (box->RightIndent() + box->LeftIndent());
  };
  auto measure = [&](ViewLine* line) {
    const int w = noIndents ? line->used : line->used + line->LeftIndent() + line->RightIndent();
    if (w > widest_) widest_ = w;
  };

  DisplayBox* first = Pop(pending);
  if (first) {
    int available = availableFor(first);
    int gap = static_cast<std::int8_t>(first->Leading());
    ViewLine* line = NewLine(first, available);
    if (!line) {
      delete first;
      pending.DeleteAll();
      return;
    }
    lines_.Append(line);
    auto open = [&](DisplayBox* box) {
      ViewLine* opened = NewLine(box, available);
      if (!opened) {
        delete box;
        return false;
      }
      lines_.Append(opened);
      line = opened;
      return true;
    };
    auto close = [&]() {
      measure(line);
      line->descent += gap;
    };

    if (!first->CanBreakAfter()) {
      while (DisplayBox* box = Peek(pending)) {
        if (box->BreaksBefore()) break;
        line->AddBox(Pop(pending));
        if (box->CanBreakAfter()) break;
      }
    }

    while (DisplayBox* box = Pop(pending)) {
      int w = box->GetWidth();
      if (w > available) {
        box->SplitAt(available);
        w = box->GetWidth();
      }
      if (!box->CanBreakAfter()) {
        DisplayBox* last = box;
        for (DisplayBox* n = Peek(pending); n; n = n->GetNext()) {
          if (n->BreaksBefore()) break;
          if (n->GetWidth() > available) n->SplitAt(available);
          w += n->GetWidth();
          last = n;
          if (n->CanBreakAfter()) break;
        }
        if (line->used + w > available) {
          close();
          if (!open(box)) break;
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
        continue;
      }
      const bool forced = box->BreaksBefore() != 0;
      if (!forced && line->used + w <= available) {
        line->AddBox(box);
        continue;
      }
      close();
      if (forced) {
        if (!noIndents) available = availableFor(box);
        gap = static_cast<std::int8_t>(box->Leading());
      }
      if (!open(box)) break;
    }
    // Only when memory ran out are boxes left over.
    pending.DeleteAll();
    measure(line);
  }

  for (ViewLine* l = GetFirstLine(); l; l = l->GetNextLine()) {
    if (!(flags_ & kNoSpaceAbove)) {
      DisplayBox* opener = l->GetFirstBox();
      if (opener->BreaksBefore()) l->ascent += opener->GetSpaceAbove();
    }
    height_ += l->GetHeight();
  }
}

std::int32_t ParagraphBox::GetStart() {
  ViewLine* line = GetFirstLine();
  return line ? line->GetStart() : Item()->Position();
}

std::int32_t ParagraphBox::GetLength() {
  ViewLine* first = GetFirstLine();
  return first ? GetLastLine()->GetEnd() - first->GetStart() : 0;
}

void ParagraphBox::DrawLines(int x, int y) {
  int top = y - GetAscent();
  const int bottom = BottomEdge();
  if (x + GetWidth() < 0 || x > RightEdge() || y + GetDescent() < 0 || top > bottom) return;
  for (ViewLine* line = GetFirstLine(); line; line = line->GetNextLine()) {
    line->Draw(x + LineX(line), top, LineRoom(line));
    top += line->GetHeight();
    if (top > bottom) break;
  }
}

void ParagraphBox::HighlightRanges(MarkRecord& record) {
  int top = record.baseline - GetAscent();
  const int bottom = BottomEdge();
  RangeEntry* entry = record.entry;
  for (ViewLine* line = GetFirstLine(); line && entry; line = line->GetNextLine()) {
    entry = line->DrawMarks(record.x + LineX(line), top, LineRoom(line), entry);
    top += line->GetHeight();
    if (top > bottom) break;
  }
  record.entry = entry;
}

DisplayBox* ParagraphBox::ChildAt(int x, int y, int* outX, int* outY) {
  int lineTop = 0;
  for (ViewLine* line = GetFirstLine(); line; line = line->GetNextLine()) {
    const int h = line->GetHeight();
    if (lineTop <= y && y < lineTop + h) {
      DisplayBox* box = line->BoxAtX(x - LineX(line), y - lineTop, LineRoom(line), outX, outY, true);
      if (box) return box;
      break;
    }
    lineTop += h;
  }
  *outX = x, *outY = y;
  return this;
}

std::int32_t ParagraphBox::PositionAt(int x, int y) {
  int rx = 0, ry = 0;
  DisplayBox* box = ChildAt(x, y, &rx, &ry);
  if (!box || box == this) return GetStart();
  return box->PositionAt(rx, ry);
}

void ParagraphBox::PointOf(std::int32_t position, int* outX, int* outY) {
  *outX = 0, *outY = 0;
  for (ViewLine* line = GetFirstLine(); line && line->GetStart() <= position;
       line = line->GetNextLine()) {
    if (position > line->GetEnd()) {
      *outY += line->GetHeight();
      continue;
    }
    // Placed as the line draws itself: by the line's own alignment.
    *outX = LineX(line) + line->AlignmentOffset(LineRoom(line));
    for (DisplayBox* box = line->GetFirstBox(); box; box = box->GetNext()) {
      if (position <= box->GetEnd()) {
        if (position < box->GetStart()) return;
        int bx = 0, by = 0;
        box->PointOf(position, &bx, &by);
        *outX += bx;
        *outY += by;
        return;
      }
      *outX += box->GetWidth();
    }
    return;
  }
}

}  // namespace qs
