#include "layout/paged_view.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <typeinfo>

#include "foundation/engine_services.h"
#include "foundation/errors.h"
#include "layout/display_box.h"
#include "layout/layout_item.h"
#include "layout/print_frame.h"
#include "layout/print_items.h"
#include "layout/print_state.h"
#include "style/style_rules.h"
#include "view/current_view.h"
#include "view/view_line.h"

namespace qs {

namespace {

// "Unable to print": a page leaves no room for its body.
constexpr int kErrUnableToPrint = 42;
// Engine error 0's number for a re-break that found no boxes.
constexpr int kFaultEmptyRebreak = 3;

// Breaks and the print run's markers draw nothing on the page.
bool PrintsNothing(LayoutItem* item) {
  if (!item) return true;
  const std::type_info& type = typeid(*item);
  return type == typeid(BreakItem) || type == typeid(PageBreakItem) ||
         type == typeid(PageTextItem) || type == typeid(PageFieldItem) ||
         type == typeid(PageAnchorItem);
}

LayoutItem* LastItemOf(ViewLine* line) {
  DisplayBox* box = line ? line->GetLastBox() : nullptr;
  return box ? box->Item() : nullptr;
}

// Raises the pagination depth and publishes the page numbers while a page
// is laid out.
class PageScope {
 public:
  PageScope(int page, int count) : state_(GetPrintState()) {
    savedPage_ = state_.currentPageNumber;
    savedCount_ = state_.pageCount;
    ++state_.nesting;
    state_.currentPageNumber = page;
    state_.pageCount = count;
  }
  ~PageScope() {
    state_.currentPageNumber = savedPage_;
    state_.pageCount = savedCount_;
    --state_.nesting;
  }
  PageScope(const PageScope&) = delete;
  PageScope& operator=(const PageScope&) = delete;

 private:
  PrintState& state_;
  std::int32_t savedPage_, savedCount_;
};

class ViewScope {
 public:
  ViewScope(ViewWindow* view, bool select) { PushCurrentView(view, select); }
  ~ViewScope() { PopCurrentView(); }
  ViewScope(const ViewScope&) = delete;
  ViewScope& operator=(const ViewScope&) = delete;
};

void CopyCut(char* out, const char* text, std::size_t room) {
  std::size_t n = text ? std::strlen(text) : 0;
  if (n > room) {
    n = room;
    // Never half a character.
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  }
  if (n) std::memcpy(out, text, n);
  out[n] = '\0';
}

}  // namespace

PagedView::PagedView(FrameTreeNode* frame, OutputDevice* device)
    : DocumentView(frame, device, kPagedViewFlags) {
  PrintFrame* print = GetPrintFrame();
  roman_ = print && !print->Navigators().empty();
}

PagedView::~PagedView() {
  headerLines_.DeleteAll();
  footerLines_.DeleteAll();
}

PrintFrame* PagedView::GetPrintFrame() const {
  FrameTreeNode* frame = GetFrame();
  return frame && frame->GetKind() == 4 ? static_cast<PrintFrame*>(frame) : nullptr;
}

bool PagedView::CountFirst() const {
  PrintFrame* print = GetPrintFrame();
  return roman_ || (print && (print->needsPageCount || !print->Navigators().empty()));
}

bool PagedView::CountPasses(const std::function<void()>& first,
                            const std::function<bool()>& next) {
  for (int pass = 1;; ++pass) {
    PrintFrame* print = GetPrintFrame();
    const std::vector<std::int16_t> before = print ? print->AnchorPages() : std::vector<std::int16_t>();
    while (next()) {
    }
    print = GetPrintFrame();
    const bool settled = (print ? print->AnchorPages() : std::vector<std::int16_t>()) == before;
    if (settled || pass == kCountPasses) return settled;
    first();
  }
}

ViewLine* PagedView::FirstHeaderLine() const { return static_cast<ViewLine*>(headerLines_.First()); }
ViewLine* PagedView::FirstFooterLine() const { return static_cast<ViewLine*>(footerLines_.First()); }

const char* PagedView::PageText(int id) const {
  return id >= 9 && id <= 14 ? pageTexts_[id - 9] : "";
}

int PagedView::BodyHeight() const { return GetHeight() - headerHeight_ - footerHeight_; }

void PagedView::SetHeaderText(int id, const char* text) {
  DocumentView::SetHeaderText(id, text);
  if (id >= 9 && id <= 14) CopyCut(pageTexts_[id - 9], text, 60);
}

void PagedView::OnFrameChanged() {
  DocumentView::OnFrameChanged();
  // Another frame (or none, when its document closed under a preview):
  // nothing of the pages made from the old one may be stepped from or
  // drawn, the furniture least, whose boxes are the old frame's items.
  DropFurniture();
  nextPageLine_ = nullptr;
  firstShown = nullptr;
  carried_ = 0;
  pageShown_ = false;
  for (auto& text : pageTexts_) text[0] = '\0';
}

void PagedView::Fail(int code, std::intptr_t argument) {
  ReportEngineError(code, argument);
  failed_ = true;
  nextPageLine_ = nullptr;
}

void PagedView::FirstPage() {
  ViewScope scope(this, false);
  firstShown = nullptr;
  verticalOffset = horizontalOffset = 0;
  carried_ = 0;
  lines.DeleteAll();
  nextPageLine_ = nullptr;
  pageNumber_ = 0;
  PrintFrame* print = GetPrintFrame();
  roman_ = print && !print->Navigators().empty();
  std::snprintf(pageNumberText_, sizeof pageNumberText_, "0");
  pageShown_ = false;
  failed_ = false;
  {
    PageScope page(pageNumber_, highest_);
    if (LayoutItem* first = FirstFrameItem()) LayOutBehind(first);
  }
  nextPageLine_ = firstShown = static_cast<ViewLine*>(lines.First());
  NextPage();
}

void PagedView::FormatLineAt(LayoutItem* first, ListHead& out, int* height) {
  out.DeleteAll();
  *height = 0;
  OutputDevice* device = GetDevice();
  if (!device) return;
  const int width = device->width;
  for (LayoutItem* item = first; item;) item = BuildParagraphLines(item, width, out, true);
  for (auto* line = static_cast<ViewLine*>(out.First()); line; line = line->GetNextLine())
    *height += line->GetHeight();
  *height += device->PointsToDeviceY(10);
}

void PagedView::Furniture(ListHead* items, ListHead& out, int* height) {
  if (!items || items->IsEmpty()) {
    out.DeleteAll();
    *height = 0;
    return;
  }
  FormatLineAt(static_cast<LayoutItem*>(items->First()), out, height);
}

void PagedView::DropFurniture() {
  headerLines_.DeleteAll();
  footerLines_.DeleteAll();
  headerHeight_ = footerHeight_ = 0;
}

int PagedView::NextPage() {
  OutputDevice* device = GetDevice();
  if (failed_ || !device) return 0;
  // A line taller than the body goes on from where the last page cut it,
  // also when it is the document's last.
  const int previousBody = BodyHeight();
  const bool continues =
      pageShown_ && firstShown && firstShown->GetHeight() - carried_ > previousBody;
  if (!nextPageLine_ && !continues) return 0;
  // What is left is the blank space of closing breaks: no page for it.
  if (pageShown_ && BlankFrom(continues ? firstShown : nextPageLine_)) {
    nextPageLine_ = nullptr;
    return 0;
  }
  ++pageNumber_;
  SetNumberText();
  ViewScope scope(this, false);
  const int minimum = device->PointsToDeviceY(5);

  if (continues) {
    carried_ += std::max(1, previousBody - minimum);
    nextPageLine_ = firstShown;
  } else {
    carried_ = 0;
    while (lines.First() && lines.First() != nextPageLine_) delete lines.PopFirst();
  }

  PageScope page(pageNumber_, highest_);
  PrintFrame* print = GetPrintFrame();
  const bool firstPage = pageNumber_ == 1;
  ListHead* header = nullptr;
  ListHead* footer = nullptr;
  if (print) {
    header = firstPage && print->hasFirstHeader ? &print->firstHeaderItems : &print->headerItems;
    footer = firstPage && print->hasFirstFooter ? &print->firstFooterItems : &print->footerItems;
  }
  Furniture(header, headerLines_, &headerHeight_);
  Furniture(footer, footerLines_, &footerHeight_);
  // Furniture that leaves the body no room is left off this page; a page
  // that has no room even then cannot be printed.
  if (BodyHeight() <= minimum) DropFurniture();
  if (BodyHeight() <= minimum) {
    Fail(kErrUnableToPrint, 0);
    return 0;
  }
  const int body = BodyHeight();

  firstShown = nextPageLine_;
  int used = firstShown->GetHeight() - carried_;
  if (used > body) {
    RebreakForBody(body);
    if (failed_) return 0;
    used = firstShown->GetHeight() - carried_;
  }

  bool pageBreak = false;
  for (;;) {
    if (used >= body && nextPageLine_ != firstShown) break;
    if (ViewLine* following = nextPageLine_->GetNextLine()) {
      nextPageLine_ = following;
      if (pageBreak) break;
      int h = following->GetHeight();
      if (used + h > body) {
        DisplayBox* box = following->GetFirstBox();
        const int above = box ? box->GetSpaceAbove() : 0;
        // Less than about 60 percent full: the rest is broken for the room
        // left (a table then ends the page with the rows that fit).
        if (used < (3 * (body - above) - 3) * 2 / 10) {
          RebreakForBody(body - used - above - 1);
          if (failed_) return 0;
          h = nextPageLine_->GetHeight();
        }
      }
      used += h;
      continue;
    }
    LayoutItem* last = LastItemOf(nextPageLine_);
    LayoutItem* after = last ? last->NextItem() : nullptr;
    if (!after) {
      nextPageLine_ = nullptr;
      break;
    }
    if (const std::intptr_t kind = after->HandleMessage(0, 0, kMsgPageBreak, 0)) {
      if (carried_ == 0 && NothingShownFrom(firstShown, nextPageLine_)) {
        // A break at the top of a page that shows nothing yet would leave
        // it blank: the page itself takes the break's numbering.
        if (kind == 2) {
          pageNumber_ = 1;
          roman_ = false;
          SetNumberText();
        } else if (kind == 3 && !roman_) {
          roman_ = true;
          SetNumberText();
        }
      } else {
        if (kind == 2) {
          pageNumber_ = 0;
          roman_ = false;
        } else if (kind == 3) {
          roman_ = true;
        }
        pageBreak = true;
      }
    }
    const std::int16_t height = device->height;
    device->height = static_cast<std::int16_t>(height - headerHeight_ - footerHeight_);
    const bool built = LayOutBehind(after);
    device->height = height;
    if (!built) {
      nextPageLine_ = nullptr;
      break;
    }
  }
  SetFirstShownPosition(firstShown->GetStart());
  RecordAnchors(shownNumber_);
  pageShown_ = true;
  ++pagesLaidOut_;
  return 1;
}

bool PagedView::BlankFrom(ViewLine* from) {
  auto blank = [](LayoutItem* item) { return item && typeid(*item) == typeid(BreakItem); };
  ViewLine* last = from;
  for (ViewLine* line = from; line; line = line->GetNextLine()) {
    last = line;
    for (DisplayBox* box = line->GetFirstBox(); box; box = box->GetNext())
      if (!blank(box->Item())) return false;
  }
  LayoutItem* item = LastItemOf(last);
  for (item = item ? item->NextItem() : nullptr; item; item = item->NextItem())
    if (!blank(item)) return false;
  return true;
}

void PagedView::RecordAnchors(int page) {
  // The lines laid out while a page is filled include the first line of
  // the next page: an anchor learns its page only once its line is placed.
  for (ViewLine* line = firstShown; line && line != nextPageLine_; line = line->GetNextLine()) {
    if (line == firstShown && carried_ > 0) continue;
    for (DisplayBox* box = line->GetFirstBox(); box; box = box->GetNext())
      if (LayoutItem* item = box->Item()) item->RecordPage(page);
  }
}

void PagedView::SetNumberText() {
  shownNumber_ = pageNumber_;
  if (!roman_) {
    std::snprintf(pageNumberText_, sizeof pageNumberText_, "%d", pageNumber_);
    highest_ = std::max(highest_, pageNumber_);
    return;
  }
  char roman[32];
  if (!FormatRoman(pageNumber_, roman)) {
    std::snprintf(pageNumberText_, sizeof pageNumberText_, "%d", pageNumber_);
    return;
  }
  for (char* c = roman; *c; ++c) *c = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
  CopyCut(pageNumberText_, roman, sizeof pageNumberText_ - 1);
}

bool PagedView::NothingShownFrom(ViewLine* from, ViewLine* to) {
  for (ViewLine* line = from; line; line = line->GetNextLine()) {
    for (DisplayBox* box = line->GetFirstBox(); box; box = box->GetNext())
      if (!PrintsNothing(box->Item())) return false;
    if (line == to) break;
  }
  return true;
}

void PagedView::RebreakForBody(int limit) {
  OutputDevice* device = GetDevice();
  PrintFrame* print = GetPrintFrame();
  int lower = headerHeight_ + footerHeight_;
  if (pageNumber_ == 1 && print && (print->hasFirstHeader || print->hasFirstFooter)) {
    // The pages after the first are broken for the ordinary furniture.
    ListHead scratch;
    int h = 0, f = 0;
    Furniture(&print->headerItems, scratch, &h);
    Furniture(&print->footerItems, scratch, &f);
    scratch.DeleteAll();
    lower = h + f;
  }
  const std::int16_t height = device->height;
  device->height = static_cast<std::int16_t>(std::max(1, height - lower));
  RebreakFrom(limit);
  device->height = height;
}

void PagedView::RebreakFrom(int limit) {
  if (!nextPageLine_) return;
  OutputDevice* device = GetDevice();
  auto* back = static_cast<ViewLine*>(nextPageLine_->Prev());
  const bool firstWasNext = firstShown == nextPageLine_;
  ListHead boxes;
  for (ViewLine* line = nextPageLine_; line;) {
    ViewLine* next = line->GetNextLine();
    lines.Unlink(line);
    while (auto* box = static_cast<DisplayBox*>(line->boxes.PopFirst()))
      box->AppendTo(limit, device->height, boxes);
    delete line;
    line = next;
  }
  nextPageLine_ = nullptr;
  if (firstWasNext) firstShown = back;
  if (boxes.IsEmpty()) {
    if (!back) firstShown = static_cast<ViewLine*>(lines.First());
    Fail(kErrInternal, kFaultEmptyRebreak);
    return;
  }
  ListHead built;
  BreakBoxesIntoLines(boxes, device->width, built);
  auto* first = static_cast<ViewLine*>(built.First());
  lines.AppendList(built);
  nextPageLine_ = first;
  if (firstWasNext || !firstShown) firstShown = first;
}

void PagedView::RenderPage() {
  OutputDevice* device = GetDevice();
  if (!device) return;
  ViewScope scope(this, true);
  const int width = device->width, height = device->height;
  auto drawLine = [&](ViewLine* line, int y) {
    line->Draw(line->LeftIndent(), y, width - line->LeftIndent() - line->RightIndent());
  };
  int y = 0;
  for (auto* line = FirstHeaderLine(); line; line = line->GetNextLine()) {
    drawLine(line, y);
    y += line->GetHeight();
  }
  y = height - footerHeight_ + device->PointsToDeviceY(10);
  for (auto* line = FirstFooterLine(); line; line = line->GetNextLine()) {
    drawLine(line, y);
    y += line->GetHeight();
  }
  device->PushClip(0, headerHeight_, width, height - footerHeight_);
  y = headerHeight_ - carried_;
  if (firstShown) {
    if (firstShown->GetHeight() - carried_ > BodyHeight()) {
      drawLine(firstShown, y);
    } else {
      for (ViewLine* line = firstShown; line && line != nextPageLine_; line = line->GetNextLine()) {
        drawLine(line, y);
        y += line->GetHeight();
      }
    }
  }
  device->PopClip();

  const PrintState& print = GetPrintState();
  if (print.options & 0x80) device->DrawLine(0, -1, width, -1);
  if (print.options & 0x100) device->DrawLine(0, height + 1, width, height + 1);
  const unsigned datePosition = (print.options >> 3) & 7;
  const unsigned numberPosition = print.options & 7;
  // The number after the date: it wins a shared position.
  if (datePosition >= 1 && datePosition <= 6) CopyCut(pageTexts_[datePosition - 1], print.date, 60);
  if (numberPosition >= 1 && numberPosition <= 6)
    CopyCut(pageTexts_[numberPosition - 1], pageNumberText_, 60);
  for (int i = 0; i < 6; ++i)
    if (pageTexts_[i][0]) device->DrawPageText(i + 9, pageTexts_[i]);
}

}  // namespace qs
