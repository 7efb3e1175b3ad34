#include "layout/formula_items.h"

#include <algorithm>

#include "view/current_view.h"

namespace qs {

// ---- Parts ------------------------------------------------------------------------------------

std::int32_t SubLayout::GetTextLength(std::int32_t from, std::int32_t to) {
  std::int32_t total = 0;
  for (LayoutItem* item = FirstItem(); item; item = item->NextItem())
    total += item->GetTextLength(from, to);
  return total;
}

std::int32_t SubLayout::CopyText(std::int32_t from, std::int32_t to, char* output,
                                 std::size_t room) {
  std::int32_t written = 0;
  for (LayoutItem* item = FirstItem(); item && room > 0; item = item->NextItem()) {
    const std::int32_t n = item->CopyText(from, to, output + written, room);
    written += n;
    room -= static_cast<std::size_t>(n);
  }
  return written;
}

BoxRow::BoxRow(SubLayout& items) {
  for (LayoutItem* item = items.FirstItem(); item; item = item->NextItem()) item->MakeBoxes(*this);
  for (DisplayBox* box = FirstBox(); box; box = box->GetNext()) {
    ascent = std::max(ascent, box->GetAscent() - box->BaselineOffset());
    descent = std::max(descent, box->GetDescent() + box->BaselineOffset());
    width += box->GetWidth();
  }
}

void BoxRow::Draw(int x, int y) {
  OutputDevice* device = CurrentDevice();
  const int limit = device ? device->width : 0;
  for (DisplayBox* box = FirstBox(); box && x < limit; box = box->GetNext()) {
    box->Draw(x, y + box->BaselineOffset());
    x += box->GetWidth();
  }
}

void BoxRow::HighlightRanges(MarkRecord& record) {
  const int x0 = record.x, top0 = record.top, height0 = record.height, base0 = record.baseline;
  int x = x0;
  for (DisplayBox* box = FirstBox(); box && record.entry; box = box->GetNext()) {
    const int baseline = base0 + box->BaselineOffset();
    record.x = x;
    record.baseline = baseline;
    record.top = baseline - box->GetAscent();
    record.height = box->GetAscent() + box->GetDescent();
    box->HighlightRanges(record);
    x += box->GetWidth();
  }
  record.x = x0, record.top = top0, record.height = height0, record.baseline = base0;
}

std::intptr_t BoxRow::Visit(BoxQuery& query, int x, int y) {
  OutputDevice* device = CurrentDevice();
  const int limit = device ? device->width : 0;
  for (DisplayBox* box = FirstBox(); box && x < limit; box = box->GetNext()) {
    if (std::intptr_t found = box->Visit(query, x, y + box->BaselineOffset())) return found;
    x += box->GetWidth();
  }
  return 0;
}

DisplayBox* BoxRow::ChildAt(int x, int y, int* outX, int* outY) {
  DisplayBox* box = FirstBox();
  if (!box) return nullptr;
  // A point past the last box goes to the last box.
  while (box->GetNext() && x >= box->GetWidth()) {
    x -= box->GetWidth();
    box = box->GetNext();
  }
  // y from the row's top; the box answers from its own top.
  return box->ChildAt(x, y - (ascent - (box->GetAscent() - box->BaselineOffset())), outX, outY);
}

// ---- Fractions --------------------------------------------------------------------------------

void LayoutKind1Item::MakeBoxes(ListHead& boxes) {
  if (auto* box = new LayoutKind1Box(this)) boxes.Append(box);
}

std::int32_t LayoutKind1Item::GetTextLength(std::int32_t from, std::int32_t to) {
  return numerator.GetTextLength(from, to) + denominator.GetTextLength(from, to);
}

std::int32_t LayoutKind1Item::CopyText(std::int32_t from, std::int32_t to, char* output,
                                       std::size_t room) {
  const std::int32_t n = numerator.CopyText(from, to, output, room);
  return n + denominator.CopyText(from, to, output + n, room - static_cast<std::size_t>(n));
}

LayoutKind1Box::LayoutKind1Box(LayoutKind1Item* item)
    : DisplayBox(item), numeratorRow(item->numerator), denominatorRow(item->denominator) {}

int LayoutKind1Box::BarRaise() {
  auto* before = static_cast<DisplayBox*>(Prev());
  const int d = before ? before->GetAscent() - before->GetDescent() : 0;
  return d / 2;
}

int LayoutKind1Box::GetAscent() { return numeratorRow.Height() + 2 + BarRaise(); }

int LayoutKind1Box::GetDescent() {
  auto* before = static_cast<DisplayBox*>(Prev());
  const int d = before ? before->GetAscent() - before->GetDescent() : 0;
  return denominatorRow.Height() - (d - d / 2) + 2;
}

int LayoutKind1Box::GetWidth() { return std::max(numeratorRow.width, denominatorRow.width); }

void LayoutKind1Box::Draw(int x, int y) {
  const int w = GetWidth();
  const int numeratorBase = y + numeratorRow.ascent - GetAscent();
  numeratorRow.Draw(x + (w - numeratorRow.width) / 2, numeratorBase);
  const int bar = numeratorBase + numeratorRow.descent + 2;
  if (OutputDevice* device = CurrentDevice()) {
    device->SetColor(device->GetInkColor());
    device->DrawLine(x, bar, x + w, bar);
  }
  denominatorRow.Draw(x + (w - denominatorRow.width) / 2, bar + denominatorRow.ascent + 2);
}

void LayoutKind1Box::HighlightRanges(MarkRecord& record) {
  const int w = GetWidth(), x0 = record.x, base0 = record.baseline;
  const int numeratorBase = base0 + numeratorRow.ascent - GetAscent();
  const int bar = numeratorBase + numeratorRow.descent + 2;
  record.x = x0 + (w - numeratorRow.width) / 2;
  record.baseline = numeratorBase;
  numeratorRow.HighlightRanges(record);
  record.x = x0 + (w - denominatorRow.width) / 2;
  record.baseline = bar + denominatorRow.ascent + 2;
  denominatorRow.HighlightRanges(record);
  record.x = x0, record.baseline = base0;
}

std::intptr_t LayoutKind1Box::Visit(BoxQuery& query, int x, int y) {
  const int w = GetWidth();
  const int numeratorBase = y + numeratorRow.ascent - GetAscent();
  const int bar = numeratorBase + numeratorRow.descent + 2;
  if (std::intptr_t found = numeratorRow.Visit(query, x + (w - numeratorRow.width) / 2, numeratorBase))
    return found;
  return denominatorRow.Visit(query, x + (w - denominatorRow.width) / 2,
                              bar + denominatorRow.ascent + 2);
}

DisplayBox* LayoutKind1Box::ChildAt(int x, int y, int* outX, int* outY) {
  const int w = GetWidth();
  DisplayBox* child;
  if (y >= 0 && y <= numeratorRow.Height())
    child = numeratorRow.ChildAt(x - (w - numeratorRow.width) / 2, y, outX, outY);
  else
    child = denominatorRow.ChildAt(x - (w - denominatorRow.width) / 2,
                                   y - (numeratorRow.Height() + 4), outX, outY);
  if (child) return child;
  *outX = x, *outY = y;
  return this;
}

}  // namespace qs
