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

// ---- Radicals ---------------------------------------------------------------------------------

void LayoutKind2Item::MakeBoxes(ListHead& boxes) {
  if (auto* box = new LayoutKind2Box(this)) boxes.Append(box);
}

namespace {

// The radix and the content in document order: the one whose first item
// starts earlier comes first.
SubLayout* FirstOf(SubLayout* radix, SubLayout* content) {
  if (!radix) return content;
  return radix->GetStart() <= content->GetStart() ? radix : content;
}

}  // namespace

std::int32_t LayoutKind2Item::GetTextLength(std::int32_t from, std::int32_t to) {
  return content.GetTextLength(from, to) + (radix ? radix->GetTextLength(from, to) : 0);
}

std::int32_t LayoutKind2Item::CopyText(std::int32_t from, std::int32_t to, char* output,
                                       std::size_t room) {
  SubLayout* first = FirstOf(radix, &content);
  SubLayout* second = first == &content ? radix : &content;
  const std::int32_t n = first->CopyText(from, to, output, room);
  if (!second) return n;
  return n + second->CopyText(from, to, output + n, room - static_cast<std::size_t>(n));
}

LayoutKind2Box::LayoutKind2Box(LayoutKind2Item* item) : DisplayBox(item), contentRow(item->content) {
  if (item->radix) radixRow = new BoxRow(*item->radix);
}

int LayoutKind2Box::RadixShift() {
  if (!radixRow) return 0;
  return std::max(0, radixRow->width - SignWidth() / 2);
}

int LayoutKind2Box::GetAscent() {
  const int h = SignHeight();
  return radixRow ? std::max(radixRow->Height() + SignWidth(), h) : h;
}

int LayoutKind2Box::GetDescent() { return contentRow.descent; }

int LayoutKind2Box::GetWidth() { return contentRow.width + SignWidth() + RadixShift(); }

void LayoutKind2Box::Draw(int x, int y) {
  const int h = SignHeight(), s = SignWidth();
  if (radixRow) radixRow->Draw(x, y - s - radixRow->descent);
  const int sign = x + RadixShift();
  contentRow.Draw(sign + s, y);
  if (OutputDevice* device = CurrentDevice()) {
    const int t = y - contentRow.ascent - 2;
    device->SetColor(device->GetInkColor());
    device->DrawLine(sign, t + s, sign + s / 2, t + h);
    device->DrawLine(sign + s / 2, t + h, sign + s, t);
    device->DrawLine(sign + s, t, sign + s + contentRow.width, t);
  }
}

void LayoutKind2Box::HighlightRanges(MarkRecord& record) {
  const int x0 = record.x, base0 = record.baseline;
  if (radixRow) {
    record.baseline = base0 - SignWidth() - radixRow->descent;
    radixRow->HighlightRanges(record);
  }
  record.x = x0 + RadixShift() + SignWidth();
  record.baseline = base0;
  contentRow.HighlightRanges(record);
  record.x = x0;
}

std::intptr_t LayoutKind2Box::Visit(BoxQuery& query, int x, int y) {
  if (radixRow)
    if (std::intptr_t found = radixRow->Visit(query, x, y - SignWidth() - radixRow->descent))
      return found;
  return contentRow.Visit(query, x + RadixShift() + SignWidth(), y);
}

DisplayBox* LayoutKind2Box::ChildAt(int x, int y, int* outX, int* outY) {
  // y from the box's top; each row answers from its own top.
  const int ascent = GetAscent();
  DisplayBox* child = nullptr;
  if (radixRow && x >= 0 && x < radixRow->width) {
    const int radixTop = ascent - SignWidth() - radixRow->Height();
    child = radixRow->ChildAt(x, y - radixTop, outX, outY);
  } else {
    child = contentRow.ChildAt(x - RadixShift() - SignWidth(), y - (ascent - contentRow.ascent),
                               outX, outY);
  }
  if (child) return child;
  *outX = x, *outY = y;
  return this;
}

// ---- Script groups ----------------------------------------------------------------------------

LayoutPartsItem::~LayoutPartsItem() {
  delete above;
  delete superior;
  delete inferior;
  delete below;
}

SubLayout** LayoutPartsItem::Slot(int kind) {
  switch (kind) {
    case kSuperior: return &superior;
    case kInferior: return &inferior;
    case kAbove: return &above;
    case kBelow: return &below;
    default: return nullptr;
  }
}

void LayoutPartsItem::MakeBoxes(ListHead& boxes) {
  // The box before the group is its base, unless it starts a line of its
  // own; the group's box owns it from here on, so breaking lines never
  // holds it twice.
  auto* base = static_cast<DisplayBox*>(boxes.Last());
  if (base && base->BreaksBefore()) base = nullptr;
  if (base) boxes.Unlink(base);
  if (auto* box = new LayoutPartsBox(this, base)) boxes.Append(box);
}

std::int32_t LayoutPartsItem::GetTextLength(std::int32_t from, std::int32_t to) {
  std::int32_t total = 0;
  for (SubLayout* part : {above, superior, inferior, below})
    if (part) total += part->GetTextLength(from, to);
  return total;
}

std::int32_t LayoutPartsItem::CopyText(std::int32_t from, std::int32_t to, char* output,
                                       std::size_t room) {
  std::int32_t written = 0;
  for (SubLayout* part : {above, superior, inferior, below}) {
    if (!part || room == 0) continue;
    const std::int32_t n = part->CopyText(from, to, output + written, room);
    written += n;
    room -= static_cast<std::size_t>(n);
  }
  return written;
}

LayoutPartsBox::LayoutPartsBox(LayoutPartsItem* item, DisplayBox* base)
    : DisplayBox(item), base(base) {
  if (item->above) aboveRow = new BoxRow(*item->above);
  if (item->superior) superiorRow = new BoxRow(*item->superior);
  if (item->inferior) inferiorRow = new BoxRow(*item->inferior);
  if (item->below) belowRow = new BoxRow(*item->below);
}

LayoutPartsBox::~LayoutPartsBox() {
  delete base;
  delete aboveRow;
  delete superiorRow;
  delete inferiorRow;
  delete belowRow;
}

std::int32_t LayoutPartsBox::GetStart() { return base ? base->GetStart() : Item()->Position(); }

std::int32_t LayoutPartsBox::GetLength() {
  const std::int32_t own = Item()->GetLength();
  return base ? own + (Item()->Position() - base->GetStart()) : own;
}

int LayoutPartsBox::AboveTop() { return BaseAscent() + (aboveRow ? aboveRow->Height() : 0); }

int LayoutPartsBox::SuperiorTop() {
  if (!superiorRow) return BaseAscent();
  if (!base) return superiorRow->Height();
  const int m = (BaseAscent() - BaseDescent()) / 2;
  return std::max(BaseAscent(), superiorRow->Height() + m);
}

int LayoutPartsBox::InferiorBottom() {
  if (!inferiorRow) return BaseDescent();
  if (!base) return inferiorRow->Height();
  const int m = (BaseAscent() - BaseDescent()) / 2;
  return std::max(BaseDescent(), inferiorRow->Height() - m);
}

int LayoutPartsBox::BelowBottom() { return BaseDescent() + (belowRow ? belowRow->Height() : 0); }

int LayoutPartsBox::ColumnWidth() {
  return std::max({BaseWidth(), aboveRow ? aboveRow->width : 0, belowRow ? belowRow->width : 0});
}

int LayoutPartsBox::GetAscent() { return std::max(AboveTop(), SuperiorTop()); }

int LayoutPartsBox::GetDescent() { return std::max(InferiorBottom(), BelowBottom()); }

int LayoutPartsBox::GetWidth() {
  return ColumnWidth() + std::max(superiorRow ? superiorRow->width : 0,
                                  inferiorRow ? inferiorRow->width : 0);
}

namespace {

// Where each piece of a group sits: x of its left end and y of its
// baseline, from the group's origin.
struct PartsPlaces {
  int baseX = 0;
  int aboveX = 0, aboveY = 0;
  int belowX = 0, belowY = 0;
  int scriptX = 0, superiorY = 0, inferiorY = 0;
};

PartsPlaces Place(LayoutPartsBox& box) {
  PartsPlaces p;
  const int bw = box.base ? box.base->GetWidth() : 0;
  const int aw = box.aboveRow ? box.aboveRow->width : 0;
  const int lw = box.belowRow ? box.belowRow->width : 0;
  const int widest = std::max(aw, lw);
  // A base narrower than a limit moves right so that the limit, centred
  // on it, starts at the group's left end.
  p.baseX = bw < widest ? (widest - bw) / 2 : 0;
  if (box.aboveRow) {
    p.aboveX = p.baseX + (bw - aw) / 2;
    p.aboveY = -box.AboveTop() + box.aboveRow->ascent;
  }
  if (box.belowRow) {
    p.belowX = p.baseX + (bw - lw) / 2;
    p.belowY = box.BelowBottom() - box.belowRow->descent;
  }
  p.scriptX = box.ColumnWidth();
  if (box.superiorRow) p.superiorY = -box.SuperiorTop() + box.superiorRow->ascent;
  if (box.inferiorRow) p.inferiorY = box.InferiorBottom() - box.inferiorRow->descent;
  return p;
}

}  // namespace

void LayoutPartsBox::Draw(int x, int y) {
  const PartsPlaces p = Place(*this);
  if (base) base->Draw(x + p.baseX, y + base->BaselineOffset());
  if (aboveRow) aboveRow->Draw(x + p.aboveX, y + p.aboveY);
  if (belowRow) belowRow->Draw(x + p.belowX, y + p.belowY);
  if (superiorRow) superiorRow->Draw(x + p.scriptX, y + p.superiorY);
  if (inferiorRow) inferiorRow->Draw(x + p.scriptX, y + p.inferiorY);
}

void LayoutPartsBox::HighlightRanges(MarkRecord& record) {
  const PartsPlaces p = Place(*this);
  const int x0 = record.x, top0 = record.top, height0 = record.height, base0 = record.baseline;
  if (base && record.entry) {
    record.x = x0 + p.baseX;
    record.baseline = base0 + base->BaselineOffset();
    record.top = record.baseline - base->GetAscent();
    record.height = base->GetAscent() + base->GetDescent();
    base->HighlightRanges(record);
    record.top = top0, record.height = height0;
  }
  const struct {
    BoxRow* row;
    int x, y;
  } rows[] = {{aboveRow, p.aboveX, p.aboveY},
              {superiorRow, p.scriptX, p.superiorY},
              {inferiorRow, p.scriptX, p.inferiorY},
              {belowRow, p.belowX, p.belowY}};
  for (const auto& r : rows) {
    if (!r.row || !record.entry) continue;
    record.x = x0 + r.x;
    record.baseline = base0 + r.y;
    r.row->HighlightRanges(record);
  }
  record.x = x0, record.top = top0, record.height = height0, record.baseline = base0;
}

std::intptr_t LayoutPartsBox::Visit(BoxQuery& query, int x, int y) {
  const PartsPlaces p = Place(*this);
  // Without a base, queries reach neither limit.
  if (base) {
    if (std::intptr_t found = base->Visit(query, x + p.baseX, y + base->BaselineOffset()))
      return found;
    if (aboveRow)
      if (std::intptr_t found = aboveRow->Visit(query, x + p.aboveX, y + p.aboveY)) return found;
    if (belowRow)
      if (std::intptr_t found = belowRow->Visit(query, x + p.belowX, y + p.belowY)) return found;
  }
  if (superiorRow)
    if (std::intptr_t found = superiorRow->Visit(query, x + p.scriptX, y + p.superiorY))
      return found;
  if (inferiorRow)
    if (std::intptr_t found = inferiorRow->Visit(query, x + p.scriptX, y + p.inferiorY))
      return found;
  return 0;
}

DisplayBox* LayoutPartsBox::ChildAt(int x, int y, int* outX, int* outY) {
  const PartsPlaces p = Place(*this);
  const int ascent = GetAscent();
  const int fromBaseline = y - ascent;  // negative above the baseline
  DisplayBox* child = nullptr;
  if (x < p.scriptX) {
    if (aboveRow && fromBaseline < -BaseAscent()) {
      child = aboveRow->ChildAt(x - p.aboveX, fromBaseline + AboveTop(), outX, outY);
    } else if (belowRow && fromBaseline >= BaseDescent()) {
      child = belowRow->ChildAt(x - p.belowX, fromBaseline - BaseDescent(), outX, outY);
    } else if (base) {
      child = base->ChildAt(x - p.baseX, fromBaseline + BaseAscent(), outX, outY);
    }
  } else if (superiorRow && (!inferiorRow || fromBaseline < -SuperiorTop() + superiorRow->Height())) {
    child = superiorRow->ChildAt(x - p.scriptX, fromBaseline + SuperiorTop(), outX, outY);
  } else if (inferiorRow) {
    child = inferiorRow->ChildAt(x - p.scriptX,
                                 fromBaseline - (InferiorBottom() - inferiorRow->Height()), outX,
                                 outY);
  }
  if (child) return child;
  *outX = x, *outY = y;
  return this;
}

}  // namespace qs
