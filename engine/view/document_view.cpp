#include "view/document_view.h"

#include <algorithm>
#include <cstring>

#include "foundation/engine.h"
#include "foundation/engine_lists.h"
#include "foundation/history.h"
#include "foundation/names.h"
#include "layout/display_box.h"
#include "layout/entity_items.h"
#include "layout/layout_item.h"
#include "sgml/document.h"
#include "sgml/entities.h"
#include "sgml/mark_kinds.h"
#include "style/frame.h"
#include "style/style_sheet.h"
#include "view/current_view.h"
#include "view/graphic_object.h"
#include "view/graphic_services.h"
#include "view/view_line.h"

namespace qs {

namespace {

// Lines step by this many pixels within a line taller than the window.
constexpr int kLineStep = 25;
// A line whose visible rest is at most this is passed over whole.
constexpr int kLineRest = 40;
constexpr int kColumnStep = 12;

// The layout item of a line's first and last box.
LayoutItem* FirstItem(ViewLine* line) {
  DisplayBox* box = line ? line->GetFirstBox() : nullptr;
  return box ? box->Item() : nullptr;
}
LayoutItem* LastItem(ViewLine* line) {
  DisplayBox* box = line ? line->GetLastBox() : nullptr;
  return box ? box->Item() : nullptr;
}
ViewLine* PrevLine(ViewLine* line) { return static_cast<ViewLine*>(line->Prev()); }
LayoutItem* PrevItem(LayoutItem* item) { return static_cast<LayoutItem*>(item->Prev()); }

}  // namespace

// ---- Life -------------------------------------------------------------------------------

DocumentView::DocumentView(FrameTreeNode* frame, OutputDevice* device, std::uint32_t flags)
    : ViewWindow(device), flags_(flags & ~std::uint32_t{kHorzBar | kVertBar | kMarksShared}),
      frame_(frame) {
  TakeFrameRange();
  FrameViews().Prepend(&link_);
  ViewList::Entries().Prepend(&entry_);
}

DocumentView::~DocumentView() {
  DropPointer();
  DeleteLines();
  if (backgroundPattern_) GetGraphicServices().Release(backgroundPattern_);
  if (regionEntity_) regionEntity_->Release();
  link_.Remove();
  entry_.Remove();
}

void DocumentView::TakeFrameRange() {
  rangeStart_ = rangeEnd_ = 0;
  const char* background = nullptr;
  if (frame_) {
    if (frame_->root) {
      rangeStart_ = static_cast<std::int32_t>(frame_->root->start);
      rangeEnd_ = static_cast<std::int32_t>(frame_->root->end);
    }
    if (frame_->pageColor)
      background = frame_->pageColor->Text();
    else if (StyleSheet* sheet = frame_->GetStyleSheet())
      background = sheet->BackgroundLabel();
  }
  ApplyBackground(background);
}

void DocumentView::DeleteLines() {
  firstShown = nullptr;
  lines.DeleteAll();
}

void DocumentView::SetFrame(FrameTreeNode* frame, std::int32_t position, bool redraw) {
  Document* oldDocument = GetDocument();
  const bool hadHits = hitList != nullptr || !ranges.IsEmpty();
  PushCurrentView(this, false);
  DropPointer();
  DeleteLines();
  hitList = nullptr;
  ranges.DeleteAll();
  highlights.DeleteAll();
  if (regionEntity_) regionEntity_->Release();
  regionEntity_ = nullptr;
  selectedPosition = -1;
  unbound_ = false;
  if (FrameTreeNode* old = frame_) {
    if ((flags_ & kRecordHistory) && oldDocument)
      if (EngineBase* engine = GetEngine(); engine && engine->history())
        engine->history()->Add(oldDocument->Source(), firstShownPosition_);
    frame_ = nullptr;
    old->Release();
  }
  leftExtent_ = rightExtent_ = 0;
  verticalOffset = horizontalOffset = 0;
  firstShownPosition_ = position;
  frame_ = frame;
  OutputDevice* device = GetDevice();
  if (!frame_) {
    rangeStart_ = rangeEnd_ = 0;
    ApplyBackground(nullptr);
    if (device) {
      if (flags_ & kVertBar) device->HideVertScrollBar();
      if (flags_ & kHorzBar) device->HideHorzScrollBar();
      flags_ &= ~std::uint32_t{kVertBar | kHorzBar};
      UpdateWindow();
    }
  } else {
    TakeFrameRange();
    if (redraw) Refresh();
  }
  FrameViews().Prepend(&link_);
  ViewList::Entries().Prepend(&entry_);
  if (Document* document = GetDocument(); document && document != oldDocument)
    NoteRecentDocument(document);
  if (hadHits) OnHighlightChanged();
  PopCurrentView();
  OnFrameChanged();
}

void DocumentView::NoteRecentDocument(Document* document) {
  EngineBase* engine = GetEngine();
  if (!engine || !engine->recentList || engine->recentLimit <= 0) return;
  for (DocumentView* view = ViewList::First(); view; view = ViewList::Next(view))
    if (view != this && view->GetDocument() == document) return;
  engine->recentList->Add(document);
}

int DocumentView::SetFlags(std::uint32_t flags) {
  const std::uint32_t changed = flags ^ flags_;
  int result = 0;
  if (changed & kSecondFormat)
    result = 2;
  else if (changed & kShareMarks) {
    if (!(flags & kShareMarks)) flags_ &= ~std::uint32_t{kMarksShared};
    result = 2;
  } else if (changed & (kOverviewStrip | kDisplayOption))
    result = 1;
  constexpr std::uint32_t kKept = kHorzBar | kVertBar | kMarksShared;
  flags_ = (flags_ & kKept) | (flags & ~kKept);
  if (result == 2)
    Refresh();
  else if (result == 1)
    UpdateWindow();
  return result;
}

void DocumentView::Close() {
  AddRef();
  DropPointer();
  SetFrame(nullptr, 0, true);
  link_.Remove();
  entry_.Remove();
  if (OutputDevice* device = GetDevice()) {
    if (device->view == this) device->view = nullptr;
    ViewWindow::OnDeviceClosed();
  }
  Release();
  Release();
}

void DocumentView::Refresh() {
  OutputDevice* device = GetDevice();
  if (!device || device->width < 1 || device->height < 1 || !frame_) return;
  PushCurrentView(this, false);
  LayoutFrom(firstShownPosition_, false);
  PopCurrentView();
  UpdateWindow();
}

void DocumentView::SetHighlight(void* object, void* region) {
  auto* entity = static_cast<EntityDecl*>(object);
  auto* area = static_cast<const PictureHotArea*>(region);
  if (!entity || !area) {
    ClearRegionHighlight();
    return;
  }
  entity->AddRef();
  if (regionEntity_) regionEntity_->Release();
  regionEntity_ = entity;
  region_[0] = area->x, region_[1] = area->y, region_[2] = area->width, region_[3] = area->height;
  // A marked region replaces the hits and the selection, as a new search does.
  hitList = nullptr;
  ranges.DeleteAll();
  UpdateWindow();
  OnHighlightChanged();
}

void DocumentView::ClearRegionHighlight() {
  if (!regionEntity_) return;
  regionEntity_->Release();
  regionEntity_ = nullptr;
  UpdateWindow();
}

void DocumentView::UpdateWindow() {
  if (OutputDevice* device = GetDevice()) device->Invalidate();
}

// ---- Background -------------------------------------------------------------------------

void DocumentView::ApplyBackground(const char* text) {
  background = nullptr;
  if (backgroundPattern_) GetGraphicServices().Release(backgroundPattern_);
  backgroundPattern_ = nullptr;
  OutputDevice* device = GetDevice();
  if (device) device->inverse = 0;
  if (!text || !*text) return;
  char name[256];
  if (PatternName(text, name)) {
    StyleSheet* sheet = frame_ ? frame_->GetStyleSheet() : nullptr;
    if (name[0]) backgroundPattern_ = GetGraphicServices().GetIconGraphic(sheet, name);
    return;
  }
  if (!device) return;
  background = device->GetColor(text);
  if (!background) return;
  const long r = background->red, g = background->green, b = background->blue;
  const long fromWhite = (255 - r) * (255 - r) + (255 - g) * (255 - g) + (255 - b) * (255 - b);
  device->inverse = fromWhite > r * r + g * g + b * b ? 1 : 0;
}

bool DocumentView::PatternName(const char* text, char (&name)[256]) {
  static const char kPattern[] = "\\pattern(";
  name[0] = '\0';
  if (!text || std::strncmp(text, kPattern, sizeof kPattern - 1) != 0) return false;
  const char* p = text + sizeof kPattern - 1;
  while (*p == ' ' || *p == '\t') ++p;
  std::size_t n = 0;
  while (p[n] && p[n] != ' ' && p[n] != '\t' && p[n] != ')' && n < sizeof name - 1) {
    name[n] = p[n];
    ++n;
  }
  name[n] = '\0';
  return true;
}

// ---- Layout -------------------------------------------------------------------------------

bool DocumentView::BuildBehind(LayoutItem* item) {
  OutputDevice* device = GetDevice();
  const int width = device ? device->width : 0;
  while (item) {
    ListNode* before = lines.Last();
    LayoutItem* next = BuildParagraphLines(item, width, lines, true);
    if (lines.Last() != before) return true;
    item = next;
  }
  return false;
}

bool DocumentView::BuildInFront(LayoutItem* before) {
  OutputDevice* device = GetDevice();
  const int width = device ? device->width : 0;
  while (before) {
    LayoutItem* start = before;
    while (start->Prev() && !start->BreaksBefore()) start = PrevItem(start);
    ListNode* first = lines.First();
    BuildParagraphLines(start, width, lines, false);
    if (lines.First() != first) return true;
    before = PrevItem(start);
  }
  return false;
}

bool DocumentView::HasContentBefore(ViewLine* line) const {
  if (line->Prev()) return true;
  LayoutItem* item = FirstItem(line);
  for (LayoutItem* i = item ? PrevItem(item) : nullptr; i; i = PrevItem(i))
    if (!i->SkipForPosition()) return true;
  return false;
}

bool DocumentView::SingleItemLine(ViewLine* line) const {
  LayoutItem* first = FirstItem(line);
  LayoutItem* last = LastItem(line);
  return first && last && !last->Prev() && !first->Next();
}

int DocumentView::LayoutFrom(std::int32_t position, bool exact) {
  DeleteLines();
  leftExtent_ = rightExtent_ = 0;
  LayoutItem* item = FirstFrameItem();
  if (!item) {
    verticalOffset = horizontalOffset = 0;
    firstShownPosition_ = 0;
    return 0;
  }
  LayoutItem* start = item;
  if (position != 0) {
    for (LayoutItem* i = item; i; i = i->NextItem()) {
      if (i->BreaksBefore()) start = i;
      if (i->SkipForPosition()) continue;
      const std::int32_t length = i->GetLength();
      if (length == 0 ? position <= i->Position() : position < i->Position() + length) break;
    }
  }
  BuildBehind(start);
  ViewLine* first = nullptr;
  for (auto* line = static_cast<ViewLine*>(lines.First()); line; line = line->GetNextLine()) {
    if (line->GetStart() >= position) {
      first = line;
      if (line->GetStart() > position && line->Prev()) first = PrevLine(line);
      break;
    }
  }
  if (!first) first = static_cast<ViewLine*>(lines.Last());
  while (first && (first->GetHeight() == 0 || first->used == 0) && first->GetNextLine() &&
         first->GetNextLine()->GetStart() == position)
    first = first->GetNextLine();
  firstShown = first;
  firstShownPosition_ = first ? first->GetStart() : 0;
  if (!first) return 0;
  if (!exact) {
    if (first->GetHeight() - verticalOffset < 0)
      verticalOffset = 0;
    else if (verticalOffset == 0 && HasContentBefore(first))
      verticalOffset = -first->GetFirstBox()->GetSpaceAbove();
    return FillWindow(1);
  }
  verticalOffset = 0;
  int x = 0, y = 0;
  for (DisplayBox* box = first->GetFirstBox(); box; box = box->GetNext()) {
    if (box->GetStart() <= position && position < box->GetEnd()) {
      box->PointOf(position, &x, &y);
      break;
    }
  }
  verticalOffset = -y;
  if (HasContentBefore(first)) verticalOffset -= first->GetFirstBox()->GetSpaceAbove();
  const int covered = FillWindow(1);
  SetHorizontalOffset(leftExtent_ + x, false);
  return covered;
}

int DocumentView::FillWindow(int direction) {
  OutputDevice* device = GetDevice();
  const int height = device ? device->height : 0;
  ViewLine* first = firstShown;
  if (!first) {
    firstShownPosition_ = 0;
    verticalOffset = horizontalOffset = 0;
    leftExtent_ = rightExtent_ = 0;
    return 0;
  }
  int covered = first->GetHeight();
  ViewLine* last = first;
  while (verticalOffset + covered <= height || first == last) {
    if (direction == 0) {
      if (ViewLine* prev = PrevLine(first)) {
        covered += prev->GetHeight();
        first = prev;
        continue;
      }
      LayoutItem* item = FirstItem(static_cast<ViewLine*>(lines.First()));
      LayoutItem* before = item ? PrevItem(item) : nullptr;
      if (!before || !BuildInFront(before)) direction = 1;
    } else if (direction == 1) {
      if (ViewLine* next = last->GetNextLine()) {
        covered += next->GetHeight();
        last = next;
        continue;
      }
      LayoutItem* item = LastItem(static_cast<ViewLine*>(lines.Last()));
      LayoutItem* after = item ? item->NextItem() : nullptr;
      if (!after || !BuildBehind(after)) break;
    } else {
      break;
    }
  }
  while (last->GetNextLine() && last->GetNextLine()->GetHeight() == 0) last = last->GetNextLine();
  firstShown = first;

  // Only the paragraphs that touch the window stay.
  ViewLine* keepFrom = first;
  while (keepFrom->Prev() && !keepFrom->BreaksBefore()) keepFrom = PrevLine(keepFrom);
  while (ListNode* dead = lines.First()) {
    if (dead == keepFrom) break;
    lines.Unlink(dead);
    delete dead;
  }
  ViewLine* cut = last->GetNextLine();
  while (cut && !cut->BreaksBefore()) cut = cut->GetNextLine();
  while (cut) {
    ViewLine* next = cut->GetNextLine();
    lines.Unlink(cut);
    delete cut;
    cut = next;
  }
  firstShownPosition_ = first->GetStart();
  UpdateExtents(last);
  return covered;
}

void DocumentView::UpdateExtents(ViewLine* lastLine) {
  OutputDevice* device = GetDevice();
  if (!device) return;
  const int width = device->width, height = device->height;
  leftExtent_ = rightExtent_ = 0;
  int y = verticalOffset;
  bool first = true;
  for (ViewLine* line = firstShown; line; line = line->GetNextLine()) {
    int right = line->LeftIndent() + line->RightIndent() + line->used;
    int left = 0;
    if (right > width) {
      const int align = line->Alignment();
      int shift = align == 0x10 ? (width - right) / 2 : align == 0x20 ? width - right : 0;
      shift = std::min(shift, 0);
      right += shift;
      left = shift;
    }
    leftExtent_ = first ? left : std::min(leftExtent_, left);
    rightExtent_ = first ? right : std::max(rightExtent_, right);
    first = false;
    y += line->GetHeight();
    if (y > height) break;
  }
  horizontalOffset = std::max(std::min(horizontalOffset, rightExtent_ - width), leftExtent_);

  bool outside = y > height || verticalOffset != 0;
  if (!outside && firstShown && firstShown->Prev()) outside = true;
  if (!outside && lastLine)
    for (ViewLine* l = lastLine->GetNextLine(); l && !outside; l = l->GetNextLine())
      if (l->GetHeight() > 0) outside = true;
  if (!outside && !lines.IsEmpty()) {
    LayoutItem* firstItem = FirstItem(static_cast<ViewLine*>(lines.First()));
    for (LayoutItem* i = firstItem ? PrevItem(firstItem) : nullptr; i && !outside; i = PrevItem(i))
      if (i->GetLength() > 0) outside = true;
    LayoutItem* lastItem = LastItem(static_cast<ViewLine*>(lines.Last()));
    for (LayoutItem* i = lastItem ? lastItem->NextItem() : nullptr; i && !outside; i = i->NextItem())
      if (i->GetLength() > 0) outside = true;
  }
  if (outside) {
    if (!(flags_ & kVertBar)) {
      flags_ |= kVertBar;
      device->ShowVertScrollBar();
    }
  } else {
    if ((flags_ & kVertBar) && !resizing_) {
      flags_ &= ~std::uint32_t{kVertBar};
      device->HideVertScrollBar();
    }
    OnExtentChanged(std::min(width, rightExtent_ - leftExtent_), y);
  }

  if (horizontalOffset == 0 && leftExtent_ >= 0 && rightExtent_ <= width) {
    if ((flags_ & kHorzBar) && !resizing_) {
      flags_ &= ~std::uint32_t{kHorzBar};
      device->HideHorzScrollBar();
    }
  } else if (!(flags_ & kHorzBar)) {
    flags_ |= kHorzBar;
    device->ShowHorzScrollBar();
  }
}

std::int32_t DocumentView::GetLastShownPosition() const {
  ViewLine* first = firstShown;
  if (!first) return 0;
  OutputDevice* device = GetDevice();
  const int height = device ? device->height : 0;
  std::int32_t last = first->GetEnd();
  int y = verticalOffset;
  for (ViewLine* line = first; line; line = line->GetNextLine()) {
    y += line->GetHeight();
    if (y > height) break;
    last = std::max(last, line->GetEnd());
  }
  return last;
}

std::int32_t DocumentView::GetLastLaidPosition() const {
  auto* last = static_cast<ViewLine*>(lines.Last());
  return last ? last->GetEnd() : 0;
}

ViewLine* DocumentView::LastLineInWindow() const {
  OutputDevice* device = GetDevice();
  const int height = device ? device->height : 0;
  int y = verticalOffset;
  for (ViewLine* line = firstShown; line; line = line->GetNextLine()) {
    y += line->GetHeight();
    if (y >= height) return line;
  }
  return static_cast<ViewLine*>(lines.Last());
}

int DocumentView::ContentWidth() const {
  int width = 0;
  for (ViewLine* line = firstShown; line; line = line->GetNextLine())
    width = std::max(width, line->LeftIndent() + line->RightIndent() + line->used);
  return width;
}

std::size_t DocumentView::LineCount() const {
  std::size_t n = 0;
  for (ListNode* l = lines.First(); l; l = l->Next()) ++n;
  return n;
}

int DocumentView::LocatePosition(std::int32_t position, int* width, int* height) {
  if (!FirstFrameItem()) {
    if (width) *width = 0;
    if (height) *height = 0;
    return 1;
  }
  PushCurrentView(this, false);
  const int covered = LayoutFrom(position, true);
  int result = 0;
  if (height && covered < verticalOffset + *height) {
    *height = covered;
    if (width) *width = ContentWidth();
    result = 1;
  }
  PopCurrentView();
  return result;
}

// ---- Vertical scrolling ---------------------------------------------------------------------

void DocumentView::SkipHiddenFirstLines() {
  while (firstShown && firstShown->GetHeight() == 0 && firstShown->GetNextLine())
    firstShown = firstShown->GetNextLine();
}

void DocumentView::PinTallLine() {
  OutputDevice* device = GetDevice();
  if (!device || !firstShown) return;
  if (verticalOffset == 0 && firstShown == LastLineInWindow() && SingleItemLine(firstShown))
    verticalOffset = device->height - firstShown->GetHeight();
}

void DocumentView::PageDown() {
  OutputDevice* device = GetDevice();
  if (!firstShown || !device) return;
  PushCurrentView(this, false);
  SkipHiddenFirstLines();
  ViewLine* last = LastLineInWindow();
  if (firstShown != last) {
    firstShown = last;
    verticalOffset = 0;
    firstShownPosition_ = last->GetStart();
    FillWindow(1);
  } else {
    verticalOffset -= device->height * 4 / 5;
    FillWindow(1);
    PinTallLine();
  }
  PopCurrentView();
  UpdateWindow();
}

void DocumentView::PageUp() {
  OutputDevice* device = GetDevice();
  if (!firstShown || !device) return;
  const int height = device->height;
  if (verticalOffset < -height) {
    verticalOffset += height * 9 / 10;
    UpdateWindow();
    return;
  }
  PushCurrentView(this, false);
  verticalOffset = 0;
  FillWindow(0);
  if (firstShown && firstShown->GetHeight() >= height) {
    verticalOffset = height * 4 / 5 - firstShown->GetHeight();
    UpdateExtents(LastLineInWindow());
    while (firstShown->GetHeight() + verticalOffset <= 0 && firstShown->GetNextLine()) {
      verticalOffset += firstShown->GetHeight();
      firstShown = firstShown->GetNextLine();
    }
    firstShownPosition_ = firstShown->GetStart();
  }
  PopCurrentView();
  UpdateWindow();
}

void DocumentView::LineDown() {
  OutputDevice* device = GetDevice();
  if (!firstShown || !device) return;
  PushCurrentView(this, false);
  SkipHiddenFirstLines();
  const int rest = std::min<int>(device->height, kLineRest);
  if (firstShown != LastLineInWindow() && verticalOffset + firstShown->GetHeight() <= rest) {
    if (ViewLine* next = firstShown->GetNextLine()) {
      firstShown = next;
      verticalOffset = 0;
      firstShownPosition_ = next->GetStart();
      FillWindow(1);
    }
  } else {
    verticalOffset = std::max(verticalOffset - kLineStep, -firstShown->GetHeight());
    FillWindow(1);
    PinTallLine();
  }
  PopCurrentView();
  UpdateWindow();
}

void DocumentView::LineUp() {
  OutputDevice* device = GetDevice();
  if (!firstShown || !device) return;
  if (verticalOffset != 0) {
    verticalOffset = std::min(verticalOffset + kLineStep, 0);
    UpdateWindow();
    return;
  }
  PushCurrentView(this, false);
  ViewLine* prev = PrevLine(firstShown);
  while (prev && prev->GetHeight() == 0) prev = PrevLine(prev);
  if (!prev) {
    LayoutItem* item = FirstItem(static_cast<ViewLine*>(lines.First()));
    LayoutItem* before = item ? PrevItem(item) : nullptr;
    ViewLine* oldFirst = static_cast<ViewLine*>(lines.First());
    if (before && BuildInFront(before)) {
      prev = PrevLine(oldFirst);
      while (prev && prev->GetHeight() == 0) prev = PrevLine(prev);
    }
  }
  if (prev) {
    firstShown = prev;
    firstShownPosition_ = prev->GetStart();
    const int rest = std::min<int>(device->height, kLineRest);
    if (prev->GetHeight() < rest) {
      verticalOffset = 0;
      FillWindow(1);
    } else {
      verticalOffset = rest - prev->GetHeight();
      UpdateExtents(LastLineInWindow());
      while (firstShown->GetHeight() + verticalOffset <= 0 && firstShown->GetNextLine()) {
        verticalOffset += firstShown->GetHeight();
        firstShown = firstShown->GetNextLine();
      }
      firstShownPosition_ = firstShown->GetStart();
    }
  }
  PopCurrentView();
  UpdateWindow();
}

void DocumentView::ShowPosition(std::int32_t position) {
  if (!frame_) return;
  if ((flags_ & kRecordHistory))
    if (Document* document = GetDocument())
      if (EngineBase* engine = GetEngine(); engine && engine->history())
        engine->history()->Add(document->Source(), firstShownPosition_);
  PushCurrentView(this, false);
  if (!firstShown || position < firstShownPosition_ || position >= GetLastLaidPosition()) {
    LayoutFrom(position, true);
  } else {
    ViewLine* found = nullptr;
    DisplayBox* at = nullptr;
    for (auto* line = static_cast<ViewLine*>(lines.First()); line && !found;
         line = line->GetNextLine()) {
      if (line->GetEnd() < position) continue;
      for (DisplayBox* box = line->GetFirstBox(); box; box = box->GetNext()) {
        if (box->SkipForPosition()) continue;
        const std::int32_t start = box->GetStart(), end = box->GetEnd();
        if ((start <= position && end > position) || (end == position && box->GetLength() == 0)) {
          found = line;
          at = box;
          break;
        }
      }
    }
    if (!found) found = static_cast<ViewLine*>(lines.Last());
    firstShown = found;
    int x = 0, y = 0;
    if (at) at->PointOf(position, &x, &y);
    verticalOffset = -y;
    if (HasContentBefore(found)) verticalOffset -= found->GetFirstBox()->GetSpaceAbove();
    const int before = found->GetHeight();
    FillWindow(1);
    if (firstShown && firstShown->GetHeight() != before)
      verticalOffset -= firstShown->GetHeight() - before;
    SetHorizontalOffset(leftExtent_ + x, false);
  }
  PopCurrentView();
  UpdateWindow();
}

// ---- Horizontal scrolling ------------------------------------------------------------------

void DocumentView::ClampHorizontal(bool right) {
  const int width = GetWidth();
  if (right) horizontalOffset = std::min(horizontalOffset, rightExtent_ - width);
  horizontalOffset = std::max(horizontalOffset, leftExtent_);
}

void DocumentView::LineLeft() {
  horizontalOffset -= kColumnStep;
  ClampHorizontal(false);
  UpdateWindow();
}
void DocumentView::LineRight() {
  horizontalOffset += kColumnStep;
  ClampHorizontal(true);
  UpdateWindow();
}
void DocumentView::PageLeft() {
  horizontalOffset -= GetWidth() * 4 / 5;
  ClampHorizontal(false);
  UpdateWindow();
}
void DocumentView::PageRight() {
  horizontalOffset += GetWidth() * 4 / 5;
  ClampHorizontal(true);
  UpdateWindow();
}
void DocumentView::SetHorizontalOffset(int x, bool redraw) {
  horizontalOffset = static_cast<std::int16_t>(x);
  ClampHorizontal(true);
  if (redraw) UpdateWindow();
}

// ---- Window events -------------------------------------------------------------------------

void DocumentView::OnKeyDown(int key) {
  if (!frame_) return;
  const bool vertical = flags_ & kVertBar;
  switch (key) {
    case 33: if (vertical) PageUp(); break;
    case 34: if (vertical) PageDown(); break;
    case 35: if (vertical) ShowPosition(rangeEnd_); break;
    case 36: if (vertical) ShowPosition(rangeStart_); break;
    case 37: LineLeft(); break;
    case 38: if (vertical) LineUp(); break;
    case 39: LineRight(); break;
    case 40: if (vertical) LineDown(); break;
    default: break;
  }
}

void DocumentView::OnScroll(int horizontal, int code, int position) {
  if (!frame_) return;
  if (horizontal) {
    switch (code) {
      case 0: PageLeft(); break;
      case 1: LineLeft(); break;
      case 2: LineRight(); break;
      case 3: PageRight(); break;
      case 4: SetHorizontalOffset(leftExtent_ + position, true); break;
      default: break;
    }
    return;
  }
  switch (code) {
    case 0: PageUp(); break;
    case 1: LineUp(); break;
    case 2: LineDown(); break;
    case 3: PageDown(); break;
    case 4:
      ShowPosition(static_cast<std::int32_t>(
          rangeStart_ + static_cast<double>(rangeEnd_ - rangeStart_) * position / 8192.0));
      break;
    default: break;
  }
}

void DocumentView::OnMouseWheel(int lines, int, int, int) {
  if (!(flags_ & kVertBar)) return;
  const auto count = static_cast<std::int16_t>(lines);
  for (int i = 0; i < -count; ++i) LineDown();
  for (int i = 0; i < count; ++i) LineUp();
  UpdateWindow();
}

void DocumentView::OnPan(int dx, int dy) {
  if (flags_ & kHorzBar) {
    for (int i = 0; i < (-dx + kLineStep - 1) / kLineStep; ++i) LineLeft();
    for (int i = 0; i < (dx + kLineStep - 1) / kLineStep; ++i) LineRight();
  }
  if (flags_ & kVertBar) {
    for (int i = 0; i < (-dy + kLineStep - 1) / kLineStep; ++i) LineUp();
    for (int i = 0; i < (dy + kLineStep - 1) / kLineStep; ++i) LineDown();
  }
  UpdateWindow();
}

void DocumentView::OnSize() {
  OutputDevice* device = GetDevice();
  if (!device || device->width < 1 || device->height < 1) return;
  const int bottom = firstShown ? verticalOffset + firstShown->GetHeight() : 0;
  PushCurrentView(this, false);
  resizing_ = true;
  LayoutFrom(firstShownPosition_, false);
  if (firstShown && verticalOffset != 0) {
    if (verticalOffset + firstShown->GetHeight() < 0) {
      ViewLine* line = firstShown->GetNextLine();
      while (line && line->GetHeight() + verticalOffset < 0) line = line->GetNextLine();
      if (line) {
        firstShown = line;
        FillWindow(1);
      }
    }
    verticalOffset = bottom - firstShown->GetHeight();
    if (verticalOffset + firstShown->GetHeight() <= 0)
      verticalOffset = std::min(device->height - firstShown->GetHeight(), 0);
  }
  resizing_ = false;
  DropKeptPictures();
  PopCurrentView();
  UpdateWindow();
}

void DocumentView::VerticalBarValues(int* thumb, int* page, int* range) const {
  *thumb = *page = *range = 0;
  LayoutItem* firstItem = FirstFrameItem();
  if (!firstItem || !firstShown) return;
  auto* lastItem = static_cast<LayoutItem*>(frame_->items.Last());
  const std::int32_t docStart = firstItem->Position();
  const std::int32_t docLength = lastItem->Position() + lastItem->GetLength() - docStart;
  const std::int32_t shown = GetLastShownPosition() - firstShownPosition_;
  if (shown < docLength) {
    *thumb = firstShownPosition_ - docStart;
    *page = shown;
    *range = docLength;
    if (verticalOffset < 0) {
      for (DisplayBox* box = firstShown->GetFirstBox(); box; box = box->GetNext()) {
        const int h = box->GetAscent() + box->GetDescent();
        if (h >= -verticalOffset && h > 0) {
          *thumb = static_cast<int>(box->GetStart() +
                                    static_cast<double>(box->GetLength()) * -verticalOffset / h) -
                   docStart;
          break;
        }
      }
    }
    return;
  }
  int before = 0, all = 0;
  for (auto* line = static_cast<ViewLine*>(lines.First()); line; line = line->GetNextLine()) {
    if (line == firstShown) before = all;
    all += line->GetHeight();
  }
  *thumb = -verticalOffset + before;
  *range = all;
  *page = GetHeight();
}

void DocumentView::ReportScrollBars() {
  OutputDevice* device = GetDevice();
  if (!device) return;
  if (flags_ & kVertBar) {
    int thumb, page, range;
    VerticalBarValues(&thumb, &page, &range);
    device->SetVertScroll(thumb, page, range);
  }
  if (flags_ & kHorzBar)
    device->SetHorzScroll(horizontalOffset - leftExtent_, device->width, rightExtent_ - leftExtent_);
}

void DocumentView::OnPaint() {
  OutputDevice* device = GetDevice();
  if (!device) return;
  if (!frame_) {
    FillBackground(0, 0, device->width, device->height);
    return;
  }
  PushCurrentView(this, false);
  if (background)
    device->FillRect(0, 0, device->width, device->height, background);
  else if (backgroundPattern_)
    device->TileImage(backgroundPattern_);
  else
    device->FillBackground(0, 0, device->width, device->height);
  int y = verticalOffset;
  for (ViewLine* line = firstShown; line && y < device->height; line = line->GetNextLine()) {
    line->Draw(line->LeftIndent() - horizontalOffset, y,
               device->width - line->LeftIndent() - line->RightIndent());
    y += line->GetHeight();
  }
  DrawPaintMarks();
  ReportScrollBars();
  PopCurrentView();
}

// ---- Binding ------------------------------------------------------------------------------------

bool DocumentView::FrameUses(const void* object) {
  if (!frame_) return false;
  if (!object) return true;
  if (object == frame_ || object == frame_->GetFrame()) return true;
  if (object == frame_->GetStyleSheet() || object == frame_->GetNavigator()) return true;
  Document* document = GetDocument();
  return document && (object == document || object == document->GetDtd());
}

void DocumentView::Unbind() {
  if (!frame_ || unbound_) return;
  PushCurrentView(this, false);
  DeleteLines();
  leftExtent_ = rightExtent_ = 0;
  verticalOffset = horizontalOffset = 0;
  unbound_ = true;
  PopCurrentView();
}

void DocumentView::Rebind() {
  if (unbound_ && frame_) {
    unbound_ = false;
    TakeFrameRange();
    Refresh();
  }
  OnFrameChanged();
}

FrameTreeNode* DocumentView::Link::ShownFrame() const { return view_->frame_; }
void DocumentView::Link::Refresh() { view_->Refresh(); }
void DocumentView::Link::Rebind(const void* object, bool after) {
  if (view_->frame_ && view_->frame_->GetKind() == 4) return;
  if (!after) {
    if (view_->FrameUses(object)) view_->Unbind();
  } else if (view_->unbound_) {
    view_->Rebind();
  }
}
void DocumentView::Link::DetachFrame() {
  // The frame goes while shown (its own error is reported by the frame).
  view_->DeleteLines();
  view_->frame_ = nullptr;
  view_->rangeStart_ = view_->rangeEnd_ = 0;
}

// ---- Asked by layout objects -------------------------------------------------------------------

Document* DocumentView::GetDocument() {
  FrameNode* top = frame_ ? frame_->GetFrame() : nullptr;
  return top ? top->GetDocument() : nullptr;
}

StyleSheet* DocumentView::GetStyleSheet() { return frame_ ? frame_->GetStyleSheet() : nullptr; }

LayoutItem* DocumentView::FirstFrameItem() const {
  return frame_ ? static_cast<LayoutItem*>(frame_->items.First()) : nullptr;
}

ViewLine* DocumentView::FirstLine() const {
  return firstShown ? firstShown : static_cast<ViewLine*>(lines.First());
}

void DocumentView::InvertRange(std::int32_t start, std::int32_t end) {
  OutputDevice* device = GetDevice();
  if (!device || start >= end) return;
  // Outside a paint the device takes its drawing context for the pass.
  PushCurrentView(this, true);
  RangeEntry entry;
  entry.start = start;
  entry.end = end;
  int y = verticalOffset;
  for (ViewLine* line = FirstLine(); line && y < device->height; line = line->GetNextLine()) {
    if (line->GetEnd() > start && line->GetStart() < end)
      line->DrawMarks(line->LeftIndent() - horizontalOffset, y,
                      device->width - line->LeftIndent() - line->RightIndent(), &entry);
    y += line->GetHeight();
  }
  PopCurrentView();
}

void DocumentView::FillBackground(int x1, int y1, int x2, int y2) {
  OutputDevice* device = GetDevice();
  if (!device) return;
  if (background)
    device->FillRect(x1, y1, x2, y2, background);
  else
    device->FillBackground(x1, y1, x2, y2);
}

void DocumentView::RunProgram(const char* commandLine, EntityDecl*) {
  if (EngineBase* engine = GetEngine(); engine && commandLine) engine->RunProgram(commandLine);
}

std::intptr_t DocumentView::SendToItems(int message, std::intptr_t argument) {
  PushCurrentView(this, false);
  std::intptr_t answer = 0;
  for (LayoutItem* item = FirstFrameItem(); item && !answer; item = item->NextItem())
    answer = item->HandleMessage(0, 0, message, argument);
  PopCurrentView();
  return answer;
}

void DocumentView::ReplaceObject(void* oldObject, void* newObject) {
  ObjectReplacement change{oldObject, newObject};
  const auto argument = reinterpret_cast<std::intptr_t>(&change);
  // Every item, not only those before the first that answers: several may
  // hold the object. Boxes reach the items nested in tables.
  PushCurrentView(this, false);
  for (LayoutItem* item = FirstFrameItem(); item; item = item->NextItem())
    item->HandleMessage(0, 0, kMsgReplaceObject, argument);
  PopCurrentView();
  Broadcast(kMsgReplaceObject, argument);
  Refresh();
}

std::intptr_t DocumentView::AskBoxes(int message, std::intptr_t argument) {
  OutputDevice* device = GetDevice();
  if (!device) return 0;
  PushCurrentView(this, false);
  std::intptr_t answer = 0;
  int y = verticalOffset;
  for (ViewLine* line = FirstLine(); line && !answer; line = line->GetNextLine()) {
    DisplayBox* first = line->GetFirstBox();
    if (first) {
      const int available = device->width - line->LeftIndent() - line->RightIndent();
      const int above = line->ascent - first->GetSpaceAbove();
      int x = line->LeftIndent() - horizontalOffset + line->AlignmentOffset(available);
      for (DisplayBox* box = first; box && !answer; box = box->GetNext()) {
        answer = box->HandleMessage(x, y + line->ascent + box->BaselineOffset(), above,
                                    line->descent, message, argument);
        x += box->GetWidth();
      }
    }
    y += line->GetHeight();
  }
  PopCurrentView();
  return answer;
}

std::intptr_t DocumentView::VisitLines(BoxQuery& query) {
  OutputDevice* device = GetDevice();
  if (!device) return 0;
  PushCurrentView(this, false);
  std::intptr_t answer = 0;
  int y = verticalOffset;
  for (ViewLine* line = FirstLine(); line && !answer; line = line->GetNextLine()) {
    const int available = device->width - line->LeftIndent() - line->RightIndent();
    answer = line->Visit(query, line->LeftIndent() - horizontalOffset, y, available);
    y += line->GetHeight();
  }
  PopCurrentView();
  return answer;
}

namespace {
// Answers the first box that stands for the entity: a picture placed in
// the text (icons and launch boxes do not answer for their entity).
class PicturePlace : public BoxQuery {
 public:
  explicit PicturePlace(const EntityDecl* entity) : BoxQuery(2, 0, 0, entity) {}
  std::intptr_t Found(int, std::int32_t begin, std::int32_t, int, int boxTop, int,
                      int boxHeight) override {
    start = begin;
    top = boxTop;
    height = boxHeight;
    return 1;
  }
  std::int32_t start = -1;
  int top = 0, height = 0;
};
}  // namespace

std::int32_t DocumentView::FindPlacedPicture(const EntityDecl* entity) {
  if (!entity) return -1;
  PicturePlace place(entity);
  return VisitLines(place) ? place.start : -1;
}

bool DocumentView::ShowPictureArea(const EntityDecl* entity, int y, int height) {
  OutputDevice* device = GetDevice();
  if (!entity || !device || !frame_) return false;
  PicturePlace place(entity);
  if (!VisitLines(place)) {
    // Not laid out now: the entity's references in the frame's range,
    // each brought in to see whether it shows as a picture.
    Document* document = GetDocument();
    const std::int32_t before = firstShownPosition_;
    bool found = false;
    for (Mark* mark = document ? document->FirstMark() : nullptr; mark && !found; mark = mark->next) {
      const auto start = static_cast<std::int32_t>(mark->Start());
      if (start < rangeStart_ || start >= rangeEnd_ || mark->Kind() != kMarkEntityRef ||
          !EntityDecl::Equals(mark->GetEntity(), entity))
        continue;
      ShowPosition(start);
      found = VisitLines(place) != 0;
    }
    if (!found) {
      if (firstShownPosition_ != before) ShowPosition(before);
      return false;
    }
  }
  auto part = [&](int units) { return static_cast<int>(std::int64_t{place.height} * units / 2048); };
  const int windowHeight = device->height;
  if (place.top + part(y) < 0 || place.top + part(y + height) > windowHeight) {
    // The picture's line to the window top, then down until the area's
    // bottom shows, but no further than its top.
    ShowPosition(place.start);
    if (!VisitLines(place)) return false;
    const int areaTop = place.top + part(y), areaBottom = place.top + part(y + height);
    const int down = std::min(areaBottom - windowHeight, areaTop);
    if (down > 0 && firstShown) {
      PushCurrentView(this, false);
      verticalOffset -= down;
      while (firstShown->GetNextLine() && verticalOffset + firstShown->GetHeight() <= 0) {
        verticalOffset += firstShown->GetHeight();
        firstShown = firstShown->GetNextLine();
      }
      firstShownPosition_ = firstShown->GetStart();
      FillWindow(1);
      PopCurrentView();
    }
  }
  UpdateWindow();
  return true;
}

std::int32_t DocumentView::TextLength(std::int32_t start, std::int32_t end) {
  std::int32_t total = 0;
  PushCurrentView(this, false);
  for (LayoutItem* item = FirstFrameItem(); item; item = item->NextItem()) {
    const std::int32_t at = item->Position(), length = item->GetLength();
    if (at >= end) break;
    if (length == 0) {
      if (at > start) total += item->GetTextLength(at, at);
      continue;
    }
    const std::int32_t from = std::max(start, at), to = std::min(end, at + length);
    if (from < to) total += item->GetTextLength(from, to);
  }
  PopCurrentView();
  return total;
}

std::int32_t DocumentView::CopyText(std::int32_t start, std::int32_t end, char* out,
                                    std::size_t room) {
  std::int32_t written = 0;
  PushCurrentView(this, false);
  for (LayoutItem* item = FirstFrameItem(); item && room > 0; item = item->NextItem()) {
    const std::int32_t at = item->Position(), length = item->GetLength();
    if (at >= end) break;
    std::int32_t from = std::max(start, at), to = std::min(end, at + length);
    if (length == 0) {
      if (at <= start) continue;
      from = to = at;
    } else if (from >= to) {
      continue;
    }
    const std::int32_t n = item->CopyText(from, to, out + written, room);
    if (n <= 0) continue;
    written += n;
    room -= static_cast<std::size_t>(n) < room ? static_cast<std::size_t>(n) : room;
  }
  PopCurrentView();
  return written;
}

void DocumentView::Broadcast(int message, std::intptr_t argument) {
  OutputDevice* device = GetDevice();
  if (!device) return;
  PushCurrentView(this, false);
  int y = verticalOffset;
  for (ViewLine* line = FirstLine(); line; line = line->GetNextLine()) {
    line->SendToBoxes(line->LeftIndent() - horizontalOffset, y + line->ascent,
                      device->width - line->LeftIndent() - line->RightIndent(), message, argument);
    y += line->GetHeight();
  }
  PopCurrentView();
}

// ---- The view list ---------------------------------------------------------------------------------

OwnedList& ViewList::Entries() {
  static OwnedList* views = new OwnedList(false);
  return *views;
}

DocumentView* ViewList::First() {
  OwnedNode* n = Entries().First();
  return n ? static_cast<DocumentView::Entry*>(n)->view : nullptr;
}

DocumentView* ViewList::Next(DocumentView* view) {
  OwnedNode* n = view ? view->entry_.Next() : nullptr;
  return n ? static_cast<DocumentView::Entry*>(n)->view : nullptr;
}

DocumentView* ViewList::FindViewShowing(FrameTreeNode* frame, std::int32_t position) {
  for (DocumentView* v = First(); v; v = Next(v)) {
    if (v->GetFrame() != frame) continue;
    if (position == -1 ||
        (v->GetFirstShownPosition() <= position && position <= v->GetLastShownPosition()))
      return v;
  }
  return nullptr;
}

DocumentView* ViewList::FindViewOfDocument(Document* document, std::int32_t position) {
  for (DocumentView* v = First(); v; v = Next(v)) {
    if (!document || v->GetDocument() != document) continue;
    if (position == -1 ||
        (v->GetFirstShownPosition() <= position && position <= v->GetLastShownPosition()))
      return v;
  }
  return nullptr;
}

void ViewList::UnbindViewsForObject(const void* object) {
  for (DocumentView* v = First(); v;) {
    DocumentView* next = Next(v);
    if (!(v->GetFrame() && v->GetFrame()->GetKind() == 4) && v->FrameUses(object)) v->Unbind();
    v = next;
  }
}

void ViewList::RebindViewsForObject(const void*) {
  for (DocumentView* v = First(); v;) {
    DocumentView* next = Next(v);
    if (v->Unbound()) v->Rebind();
    v = next;
  }
}

void ViewList::UnbindViewsOfDocument(Document* document) { UnbindViewsForObject(document); }
void ViewList::RebindViewsOfDocument(Document* document) { RebindViewsForObject(document); }

int ScaleByDpi(const OutputDevice* device, int value) {
  return device ? value * device->dpiX / 72 : value;
}

void* DocumentView::TakePicture(void* graphic, TextFormat* format) {
  OutputDevice* device = GetDevice();
  if (!graphic || !device) return nullptr;
  // A box rebuilt by a resize takes back the renderer its picture had, so
  // an animation's page and a selected area survive; it is fitted anew.
  for (auto kept = resizeKept_.begin(); kept != resizeKept_.end(); ++kept) {
    auto* renderer = static_cast<ImageRenderer*>(static_cast<GraphicRenderer*>(kept->picture));
    if (renderer->graphic != graphic || kept->format != format) continue;
    resizeKept_.erase(kept);
    renderer->ResetSize();
    return static_cast<GraphicRenderer*>(renderer);
  }
  return static_cast<GraphicObject*>(graphic)->MakeScreenRenderer(device);
}

void DocumentView::ReturnPicture(void* picture, TextFormat* format) {
  auto* renderer = static_cast<ImageRenderer*>(static_cast<GraphicRenderer*>(picture));
  if (!renderer) return;
  if (resizing_) {
    renderer->TakeOff();
    resizeKept_.push_back({picture, format});
    return;
  }
  delete renderer;
}

void DocumentView::DropKeptPictures() {
  std::vector<KeptPicture> left;
  left.swap(resizeKept_);
  for (const KeptPicture& kept : left)
    delete static_cast<ImageRenderer*>(static_cast<GraphicRenderer*>(kept.picture));
}

}  // namespace qs
