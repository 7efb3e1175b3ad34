// The document view's pointer: which box lies under a point, presses that
// boxes take, text selected by dragging, double clicks and shift-clicks,
// and the hit list (the view's ranges) drawn inverted, with its overview
// strip and the commands that walk it.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "foundation/block_cache.h"
#include "layout/display_box.h"
#include "layout/layout_item.h"
#include "sgml/document.h"
#include "sgml/text_store.h"
#include "style/frame.h"
#include "view/current_view.h"
#include "view/document_view.h"
#include "view/view_line.h"

namespace qs {

namespace {

// The overview strip's width at the window's right edge.
constexpr int kStripWidth = 16;
// A point off the pressed box: outside any box's bounds.
constexpr int kOffBox = -32768;

// One press at a time in the whole engine.
struct PointerState {
  int button = 0;  // 0 up, 1 pressed, 2 dragging
  bool extension = false;
  DocumentView* capture = nullptr;
  HitContext context;
  bool contextInUse = false;
  std::int32_t anchor = -1, current = -1, lastDrawn = -1;
};

PointerState& Pointer() {
  static PointerState state;
  return state;
}

// Draws through the device outside a paint as well.
class Bracket {
 public:
  explicit Bracket(DocumentView* view) { PushCurrentView(view, true); }
  ~Bracket() { PopCurrentView(); }
  Bracket(const Bracket&) = delete;
  Bracket& operator=(const Bracket&) = delete;
};

bool ContextActive() { return Pointer().contextInUse && PressedBox(); }

int Clamp(int v, int low, int high) { return v < low ? low : v > high ? high : v; }

}  // namespace

int DocumentView::PointerButtonState() { return Pointer().button; }
std::int32_t DocumentView::PointerAnchor() { return Pointer().anchor; }
std::int32_t DocumentView::PointerCurrent() { return Pointer().current; }

void DocumentView::DropPointer() {
  PointerState& p = Pointer();
  if (p.capture != this) return;
  p = PointerState{};
  SetPressedBox(nullptr);
  pressContext = nullptr;
}

// ---- Geometry ---------------------------------------------------------------------------

int DocumentView::LineAvailable(ViewLine* line) const {
  return GetWidth() - line->LeftIndent() - line->RightIndent();
}

int DocumentView::LineX(ViewLine* line) const { return line->LeftIndent() - horizontalOffset; }

DisplayBox* DocumentView::BoxAtPoint(int x, int y, int* bx, int* by, bool child) {
  *bx = *by = 0;
  if (!frame_) return nullptr;
  int top = verticalOffset;
  for (ViewLine* line = firstShown; line; line = line->GetNextLine()) {
    const int height = line->GetHeight();
    if (y >= top && y < top + height) {
      PushCurrentView(this, false);
      DisplayBox* box = line->BoxAtX(x - LineX(line), y - top, LineAvailable(line), bx, by, child);
      PopCurrentView();
      return box;
    }
    top += height;
  }
  return nullptr;
}

DisplayBox* DocumentView::BoxAtPointClamped(int x, int y, int* bx, int* by, bool child) {
  *bx = *by = 0;
  if (!frame_ || !firstShown) return nullptr;
  ViewLine* line = nullptr;
  int top = verticalOffset;
  if (y < 0) {
    // The first line with a part in the window.
    for (line = firstShown; line->GetNextLine() && top + line->GetHeight() <= 0;
         line = line->GetNextLine())
      top += line->GetHeight();
  } else if (y >= GetHeight()) {
    ViewLine* last = LastLineInWindow();
    for (line = firstShown; line != last && line->GetNextLine(); line = line->GetNextLine())
      top += line->GetHeight();
  } else {
    return BoxAtPoint(x, y, bx, by, child);
  }
  PushCurrentView(this, false);
  DisplayBox* box = line->BoxAtX(x - LineX(line), y - top, LineAvailable(line), bx, by, child);
  PopCurrentView();
  return box;
}

namespace {

// The box's position for a point relative to it, the point clamped into
// the box first.
std::int32_t ClampedPosition(DisplayBox* box, int bx, int by) {
  bx = Clamp(bx, 0, box->GetWidth());
  by = Clamp(by, 0, box->GetAscent() + box->GetDescent());
  return box->PositionAt(bx, by);
}

bool Inside(DisplayBox* box, int bx, int by) {
  return bx >= 0 && bx <= box->GetWidth() && by >= 0 && by <= box->GetAscent() + box->GetDescent();
}

}  // namespace

std::int32_t DocumentView::PositionAtPoint(int x, int y) {
  int bx, by;
  DisplayBox* box = BoxAtPoint(x, y, &bx, &by, true);
  if (!box) return -1;
  PushCurrentView(this, false);
  const std::int32_t position = ClampedPosition(box, bx, by);
  PopCurrentView();
  return position;
}

void DocumentView::FrameExtent(std::int32_t* start, std::int32_t* length) const {
  *start = *length = 0;
  LayoutItem* first = FirstFrameItem();
  if (!first) return;
  auto* last = static_cast<LayoutItem*>(frame_->items.Last());
  *start = first->Position();
  const std::int64_t end = std::int64_t{last->Position()} + last->GetLength();
  *length = static_cast<std::int32_t>(std::max<std::int64_t>(0, end - *start));
}

bool DocumentView::InOverviewStrip(int x) const {
  return (flags_ & kOverviewStrip) && ranges.Count() > 1 && x > GetWidth() - kStripWidth;
}

int DocumentView::StripRow(std::int32_t position) const {
  std::int32_t start, length;
  FrameExtent(&start, &length);
  if (length <= 0) return -1;
  return static_cast<int>((std::int64_t{position} - start) * GetHeight() / length);
}

// ---- Marks -------------------------------------------------------------------------------

void DocumentView::InvertRanges() {
  OutputDevice* device = GetDevice();
  if (!device || !firstShown || ranges.IsEmpty()) return;
  // A chain of the ranges that reach the window: the lines walk it.
  const std::int32_t from = firstShown->GetStart();
  std::vector<RangeEntry> chain;
  for (Range* r = ranges.FirstRange(); r; r = r->NextRange()) {
    const auto start = static_cast<std::int32_t>(r->GetStart());
    const auto end = static_cast<std::int32_t>(r->GetEnd());
    if (end < from) continue;
    if (start > GetLastLaidPosition()) break;
    RangeEntry entry;
    entry.start = start;
    entry.end = end;
    chain.push_back(entry);
  }
  if (chain.empty()) return;
  for (std::size_t i = 0; i + 1 < chain.size(); ++i) chain[i].next = &chain[i + 1];
  Bracket bracket(this);
  RangeEntry* entry = &chain[0];
  int y = verticalOffset;
  for (ViewLine* line = firstShown; line && entry && y < device->height;
       line = line->GetNextLine()) {
    while (entry && entry->end < line->GetStart()) entry = entry->next;
    if (!entry) break;
    if (entry->start <= line->GetEnd())
      entry = line->DrawMarks(LineX(line), y, LineAvailable(line), entry);
    y += line->GetHeight();
  }
}

void DocumentView::DrawOverviewStrip() {
  OutputDevice* device = GetDevice();
  if (!device || !(flags_ & kOverviewStrip) || ranges.Count() < 2) return;
  const int width = device->width, height = device->height;
  Bracket bracket(this);
  device->FillRect(width - kStripWidth + 1, 0, width, height, device->GetStockColor(1));
  device->SetColor(device->GetStockColor(2));
  device->DrawLine(width - kStripWidth, 0, width - kStripWidth, height);
  std::int32_t start, length;
  FrameExtent(&start, &length);
  if (length <= 0) return;
  int drawn = -1;
  for (Range* r = ranges.FirstRange(); r; r = r->NextRange()) {
    const int y = StripRow(static_cast<std::int32_t>(r->GetStart()));
    // Hits on one row make one tick.
    if (y == drawn) continue;
    device->DrawLine(width - kStripWidth + 1, y, width, y);
    drawn = y;
  }
  device->InvertRect(width - kStripWidth + 1, StripRow(firstShownPosition_), width,
                     StripRow(GetLastShownPosition()));
}

void DocumentView::DrawPaintMarks() {
  PointerState& p = Pointer();
  const bool pressing = p.capture == this && p.button != 0;
  // A shift-click's range stands for the whole selection being made: the
  // list's range under it would cancel part of it.
  if (!(pressing && p.extension)) DrawMarks();
  if (!pressing) return;
  if (ContextActive()) {
    if (p.context.drawn) {
      p.context.drawn = false;
      Bracket bracket(this);
      PressedBox()->PressFeedbackIfInside(p.context);
    }
  } else if (flags_ & kMouseSelection) {
    DrawPressSelection();
    p.lastDrawn = p.current;
  }
}

void DocumentView::DrawMarks() {
  InvertRanges();
  DrawOverviewStrip();
}

void DocumentView::SelectRange(std::int32_t start, std::int32_t end) {
  if (start > end) std::swap(start, end);
  if (ranges.Count() <= 1 || !(flags_ & kOverviewStrip)) {
    Bracket bracket(this);
    DrawMarks();
    ranges.DeleteAll();
    ranges.Append(static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(end));
    rangesAreHits = false;
    DrawMarks();
  } else {
    ranges.DeleteAll();
    ranges.Append(static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(end));
    rangesAreHits = false;
    UpdateWindow();
  }
  OnHighlightChanged();
}

void DocumentView::ClearMarks() {
  if (ranges.Count() <= 1 || !(flags_ & kOverviewStrip)) {
    Bracket bracket(this);
    DrawMarks();
    ranges.DeleteAll();
  } else {
    ranges.DeleteAll();
    UpdateWindow();
  }
  OnHighlightChanged();
}

void DocumentView::DrawPressSelection() {
  PointerState& p = Pointer();
  if (p.anchor < 0 || p.current < 0 || p.anchor == p.current) return;
  InvertRange(std::min(p.anchor, p.current), std::max(p.anchor, p.current));
}

// ---- Hits ----------------------------------------------------------------------------------

std::int32_t DocumentView::NearestHitStart(std::int32_t position) const {
  Range* previous = nullptr;
  for (Range* r = ranges.FirstRange(); r; r = r->NextRange()) {
    const auto start = static_cast<std::int32_t>(r->GetStart());
    if (start >= position) {
      if (!previous) return start;
      const auto before = static_cast<std::int64_t>(previous->GetStart());
      if (position <= before + (start - before) / 2) return static_cast<std::int32_t>(before);
      return start;
    }
    previous = r;
  }
  return previous ? static_cast<std::int32_t>(previous->GetStart()) : position;
}

bool DocumentView::ShowFirstHit() {
  Range* first = ranges.FirstRange();
  if (!first || !frame_) return false;
  ShowPosition(static_cast<std::int32_t>(first->GetStart()));
  UpdateWindow();
  return true;
}

bool DocumentView::ShowLastHit() {
  Range* last = ranges.LastRange();
  if (!last || !frame_) return false;
  ShowPosition(static_cast<std::int32_t>(last->GetStart()));
  UpdateWindow();
  return true;
}

bool DocumentView::ShowPreviousHit() {
  if (!frame_ || ranges.IsEmpty()) return false;
  std::int32_t reference = firstShownPosition_;
  if (verticalOffset != 0) {
    // The position at the window top, inside a line the window cuts.
    int top = verticalOffset;
    for (ViewLine* line = firstShown; line; line = line->GetNextLine()) {
      if (top + line->GetHeight() > 0) {
        if (DisplayBox* box = line->GetFirstBox()) {
          Bracket bracket(this);
          reference = box->PositionAt(2, 2 - top);
        }
        break;
      }
      top += line->GetHeight();
    }
  }
  Range* found = nullptr;
  for (Range* r = ranges.FirstRange(); r; r = r->NextRange())
    if (static_cast<std::int32_t>(r->GetStart()) < reference) found = r;
  if (!found) return false;
  ShowPosition(static_cast<std::int32_t>(found->GetStart()));
  UpdateWindow();
  return true;
}

bool DocumentView::ShowNextHit() {
  if (!frame_ || ranges.IsEmpty()) return false;
  int bx, by;
  std::int32_t reference;
  if (DisplayBox* box = BoxAtPoint(GetWidth() / 2, GetHeight(), &bx, &by, true)) {
    Bracket bracket(this);
    reference = box->PositionAt(bx, by);
  } else {
    reference = GetLastShownPosition();
  }
  const std::int32_t first = firstShownPosition_;
  const int vertical = verticalOffset, horizontal = horizontalOffset;
  Range* r = ranges.FirstRange();
  while (r && static_cast<std::int32_t>(r->GetStart()) <= reference) r = r->NextRange();
  for (; r; r = r->NextRange()) {
    ShowPosition(static_cast<std::int32_t>(r->GetStart()));
    if (firstShownPosition_ != first || verticalOffset != vertical ||
        horizontalOffset != horizontal) {
      UpdateWindow();
      return true;
    }
  }
  return false;
}

// ---- Pointer events ---------------------------------------------------------------------------

void DocumentView::OnLButtonDown(int x, int y, int modifiers) {
  PointerState& p = Pointer();
  if (p.capture && p.capture != this) p.capture->DropPointer();
  p.contextInUse = false;
  pressContext = nullptr;
  SetPressedBox(nullptr);
  if (!frame_) return;
  if (InOverviewStrip(x)) {
    std::int32_t start, length;
    FrameExtent(&start, &length);
    const int height = GetHeight() > 0 ? GetHeight() : 1;
    const auto position =
        static_cast<std::int32_t>(start + std::int64_t{Clamp(y, 0, height)} * length / height);
    ShowPosition(NearestHitStart(position));
    UpdateWindow();
    return;
  }
  AddRef();
  int bx, by;
  DisplayBox* box = BoxAtPoint(x, y, &bx, &by, true);
  p.button = 1;
  p.extension = false;
  p.capture = this;
  DisplayBox* current = box && Inside(box, bx, by) ? box : nullptr;
  SetPressedBox(current);
  HitContext& c = p.context;
  c = HitContext{};
  bool taken = false;
  if (current) {
    PushCurrentView(this, false);
    c.x0 = x - bx;
    c.y0 = y - by + current->GetAscent() + current->BaselineOffset();
    if (!modifiers && current->PressRange(bx, by, c)) {
      taken = true;
      p.contextInUse = true;
      pressContext = &c;
      c.pressX = c.pressY = kOffBox;
      c.currentX = x, c.currentY = y;
      if (c.ContainsSecondPoint()) {
        Bracket bracket(this);
        current->PressFeedbackOn(c);
      }
    }
    PopCurrentView();
  }
  if (!box) {
    p.anchor = p.current = -1;
  } else {
    PushCurrentView(this, false);
    p.anchor = p.current = ClampedPosition(box, bx, by);
    PopCurrentView();
  }
  if (!taken) {
    Range* only = ranges.Count() == 1 ? ranges.FirstRange() : nullptr;
    if (modifiers && only && p.current >= 0) {
      const auto s = static_cast<std::int32_t>(only->GetStart());
      const auto e = static_cast<std::int32_t>(only->GetEnd());
      const std::int32_t at = p.current;
      p.anchor = e;
      if (at < s) {
        InvertRange(at, s);
      } else if (e < at) {
        p.anchor = s;
        InvertRange(e, at);
      } else if (e - at < at - s) {
        p.anchor = s;
        InvertRange(at, e);
      } else {
        InvertRange(s, at);
      }
      p.extension = true;
    } else if (!ranges.IsEmpty() && (flags_ & kMouseSelection)) {
      ClearMarks();
    }
  }
  p.lastDrawn = p.current;
  Release();
}

void DocumentView::OnMouseMove(int x, int y) {
  pointX_ = x, pointY_ = y;
  MouseTrack(x, y, false);
  if (OutputDevice* device = GetDevice())
    device->EnableTimer(x < 0 || y < 0 || x > device->width || y > device->height);
}

void DocumentView::MouseTrack(int x, int y, bool fromTimer) {
  OutputDevice* device = GetDevice();
  if (!device) return;
  PointerState& p = Pointer();
  const bool down = p.capture == this && p.button != 0;
  if (!frame_) {
    device->SetCursorForHit(x, y, 0, 0, 0);
    return;
  }
  if (!down && InOverviewStrip(x)) {
    device->SetCursorForHit(x, y, 1, 15, 0);
    return;
  }
  if (fromTimer) {
    if (!down || ContextActive() || !(flags_ & kMouseSelection) || p.anchor < 0) return;
    p.button = 2;
    int bx, by;
    if (DisplayBox* box = BoxAtPointClamped(x, y, &bx, &by, true)) {
      PushCurrentView(this, false);
      p.current = ClampedPosition(box, bx, by);
      PopCurrentView();
    }
    return;
  }
  AddRef();
  int bx, by;
  DisplayBox* raw = BoxAtPoint(x, y, &bx, &by, true);
  DisplayBox* box = raw && Inside(raw, bx, by) ? raw : nullptr;
  {
    PushCurrentView(this, false);
    const int kind = frame_->GetKind() == 3 ? 2 : 1;
    device->SetCursorForHit(x, y, kind, box ? box->GetPointerKindAt(bx, by) : 0, 0);
    PopCurrentView();
  }
  HitContext& c = p.context;
  DisplayBox* pressed = PressedBox();
  if (down && ContextActive()) {
    if (p.button != 1 || box != pressed || std::abs(x - c.currentX) > 2 ||
        std::abs(y - c.currentY) > 2) {
      c.pressX = c.currentX, c.pressY = c.currentY;
      if (box && box == pressed)
        c.currentX = x, c.currentY = y;
      else
        c.currentX = c.currentY = kOffBox;
      if (p.button == 1) p.button = 2;
    }
  }
  if (down && (!ContextActive() || p.button == 2)) {
    if (raw && p.anchor >= 0) {
      PushCurrentView(this, false);
      if (bx < 0)
        p.current = raw->GetStart();
      else if (bx > raw->GetWidth())
        p.current = raw->GetEnd();
      else
        p.current = ClampedPosition(raw, bx, by);
      PopCurrentView();
    }
    if (ContextActive()) {
      Bracket bracket(this);
      const bool now = c.ContainsSecondPoint(), before = c.ContainsFirstPoint();
      auto end = [&] {
        p.contextInUse = false;
        pressContext = nullptr;
      };
      if (!now && before) {
        pressed->PressFeedbackOff(c);
        if (!pressed->PressRelease(c)) end();
      } else if (now && !before) {
        pressed->PressFeedbackOn(c);
        pressed->PressTrack(c);
      } else if (now && before) {
        if (!pressed->PressContinue(c)) {
          pressed->PressFeedbackOff(c);
          end();
        }
      }
    }
    if (!ContextActive() && (flags_ & kMouseSelection) && p.anchor >= 0 &&
        p.current != p.lastDrawn) {
      InvertRange(std::min(p.lastDrawn, p.current), std::max(p.lastDrawn, p.current));
      p.lastDrawn = p.current;
    }
  }
  Release();
}

void DocumentView::OnTimer() {
  OutputDevice* device = GetDevice();
  if (!device) return;
  if (pointX_ < 0) LineLeft();
  if (pointX_ > device->width) LineRight();
  if (flags_ & kVertBar) {
    if (pointY_ < 0) LineUp();
    if (pointY_ > device->height) LineDown();
  }
  MouseTrack(pointX_, pointY_, true);
  UpdateWindow();
}

void DocumentView::OnLButtonUp(int x, int y) {
  (void)x, (void)y;
  PointerState& p = Pointer();
  if (p.capture != this || p.button == 0) return;
  if (!frame_) {
    DropPointer();
    return;
  }
  AddRef();
  HitContext& c = p.context;
  DisplayBox* activate = nullptr;
  if (ContextActive()) {
    DisplayBox* pressed = PressedBox();
    if (c.ContainsSecondPoint()) {
      c.pressX = c.currentX, c.pressY = c.currentY;
      Bracket bracket(this);
      pressed->PressFeedbackOff(c);
      activate = pressed;
    }
  } else if (flags_ & kMouseSelection) {
    if (p.anchor == p.current || p.anchor < 0 || p.current < 0) {
      if (p.extension) {
        p.extension = false;
        ClearMarks();
      }
    } else {
      const std::int32_t start = std::min(p.anchor, p.current);
      const std::int32_t end = std::max(p.anchor, p.current);
      if (ranges.IsEmpty()) {
        // Its inversion is on the screen already.
        ranges.Append(static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(end));
      } else {
        ranges.DeleteAll();
        ranges.Append(static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(end));
        if (!p.extension) UpdateWindow();
      }
      rangesAreHits = false;
      OnHighlightChanged();
    }
  }
  p.button = 0;
  p.capture = nullptr;
  p.extension = false;
  if (activate && PressedBox() == activate) {
    PushCurrentView(this, false);
    activate->Activate(this, &c);
    PopCurrentView();
  }
  p.contextInUse = false;
  pressContext = nullptr;
  SetPressedBox(nullptr);
  Release();
}

void DocumentView::OnLButtonDblClk(int x, int y) {
  if (!frame_ || !(flags_ & kMouseSelection)) return;
  int bx, by;
  DisplayBox* box = BoxAtPoint(x, y, &bx, &by, true);
  if (!box || box->GetLength() <= 0 || !Inside(box, bx, by)) return;
  Document* document = GetDocument();
  TextStore* text = document ? document->Text() : nullptr;
  if (!text) return;
  PushCurrentView(this, false);
  const std::int32_t boxEnd = box->GetEnd();
  std::int32_t at = box->GetStart();
  PopCurrentView();
  CachedStream& stream = text->Stream();
  stream.SetPosition(at);
  // Blanks first, never past the box's end.
  while (at < boxEnd && stream.ReadByte() == ' ') ++at;
  std::int32_t end = at;
  stream.SetPosition(at);
  while (end < boxEnd) {
    const int c = stream.ReadByte();
    if (c == ' ' || c == 0) break;
    ++end;
  }
  if (end > at) SelectRange(at, end);
}

}  // namespace qs
