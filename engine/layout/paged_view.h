// A document view that cuts the formatted lines of a frame into pages:
// first page, next page and drawing the current page with its header and
// footer lines, the body band and the six page texts. The print job and
// print preview drive it; the frame is normally a print frame, whose
// header, footer and table-of-contents material it uses.
#pragma once
#include <cstdint>
#include <functional>

#include "view/document_view.h"

namespace qs {

class PrintFrame;
class ViewLine;

class PagedView : public DocumentView {
 public:
  // Takes over the caller's use of the frame.
  PagedView(FrameTreeNode* frame, OutputDevice* device);

  // Lays out the first page (after FirstPage the view is on page 1 unless
  // the document is empty or the run failed).
  void FirstPage();
  // 1 when a page was made, 0 when the document is exhausted or the run
  // ended (an error was reported then).
  int NextPage();
  // Draws the current page on the view's device.
  void RenderPage();
  // Formats the items from `first` to the end of its list into lines of
  // their own (the view's lines are not touched); `height` gets their
  // height plus a 10-point gap.
  void FormatLineAt(LayoutItem* first, ListHead& lines, int* height);
  void SetHeaderText(int id, const char* text) override;
  // The pages pointed into the lines of the frame shown before.
  void OnFrameChanged() override;

  ViewLine* FirstHeaderLine() const;
  ViewLine* FirstFooterLine() const;
  ViewLine* NextPageLine() const { return nextPageLine_; }
  // Whether the pages must be counted before they are printed: roman
  // numbering ahead of the body, or a template that shows the page count.
  bool CountFirst() const;
  // Counts the pages from the first one, already laid out by the caller,
  // with the caller's `next` (false at the end, or to stop), and again from
  // `first` while a pass moved the pages the navigators' entries show: an
  // entry lays its number out as a placeholder until a pass has placed its
  // target, and the real number can break the entry's lines otherwise, so
  // that a count of that pass would not be the pages printed. Numbers that
  // move their own entries may never settle: at most kCountPasses passes.
  // True when the last pass moved none.
  static constexpr int kCountPasses = 3;
  bool CountPasses(const std::function<void()>& first, const std::function<bool()>& next);
  bool Roman() const { return roman_; }
  int PageNumber() const { return pageNumber_; }
  int HighestPageNumber() const { return highest_; }
  const char* PageNumberText() const { return pageNumberText_; }
  // Page text of id 9 to 14 (empty outside).
  const char* PageText(int id) const;
  int CarriedOffset() const { return carried_; }
  int HeaderHeight() const { return headerHeight_; }
  int FooterHeight() const { return footerHeight_; }
  // The body's height on the current page.
  int BodyHeight() const;
  // The run ended on an error (reported): no further page.
  bool Failed() const { return failed_; }
  // Pages laid out since the view was made, each count and each page laid
  // out again (a step back starts from the first page) included: what the
  // steps so far have cost.
  long long PagesLaidOut() const { return pagesLaidOut_; }

 protected:
  ~PagedView() override;
  PrintFrame* GetPrintFrame() const;

 private:
  void Furniture(ListHead* items, ListHead& lines, int* height);
  void DropFurniture();
  void RebreakForBody(int limit);
  void RebreakFrom(int limit);
  void Fail(int code, std::intptr_t argument);
  void RecordAnchors(int page);
  // The page number's text in the current numbering.
  void SetNumberText();
  // No line from `from` to `to` shows anything.
  static bool NothingShownFrom(ViewLine* from, ViewLine* to);
  // The lines from `from` on, and the items after them, are only breaks.
  bool BlankFrom(ViewLine* from);

  ListHead headerLines_, footerLines_;
  int headerHeight_ = 0, footerHeight_ = 0;
  int carried_ = 0;
  bool roman_ = false;
  int pageNumber_ = 0, highest_ = 0;
  // The number of the page being made (the numbering may restart after it).
  int shownNumber_ = 0;
  char pageNumberText_[32] = "0";
  ViewLine* nextPageLine_ = nullptr;
  char pageTexts_[6][61] = {};
  // A page was made since the first page began: a line taller than the
  // body carries over only then.
  bool pageShown_ = false;
  bool failed_ = false;
  long long pagesLaidOut_ = 0;
};

// The document view flags of a paged view.
inline constexpr std::uint32_t kPagedViewFlags = 0x80;

}  // namespace qs
