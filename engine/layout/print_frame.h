// The frame of one print run: what is printed (the document ranges), with
// which style sheet, the tables of contents printed ahead of the body, and
// the header and footer material the print-page formatter takes from the
// document. The paged view (paged_view.h) cuts its items into pages.
#pragma once
#include <cstdint>
#include <map>
#include <vector>

#include "style/frame.h"

namespace qs {

class NavigatorDef;

// One range of the document to print: from the start element to the end
// element (the same element for a whole element).
struct PrintRange {
  DocumentNode* start = nullptr;
  DocumentNode* end = nullptr;
  std::uint8_t flag = 1;
};

class PrintFrame : public FrameNode {
 public:
  // The frame holds a use of the document, the sheet and each navigator.
  // `flags` are the display flags (bit 0 tags, bit 1 instructions). An
  // empty range list prints the whole document.
  PrintFrame(Document* document, StyleSheet* sheet, std::uint32_t flags,
             std::vector<NavigatorDef*> navigators, std::vector<PrintRange> ranges);
  ~PrintFrame() override;

  int GetKind() const override { return 4; }
  void Clear(bool) override;
  Formatter* MakeFormatter(FrameTreeNode* view, FrameTreeNode* items, Document* document,
                           const void* baseFormat, DocumentNode* root) override;

  // The page anchor of an element (a table of contents entry's target),
  // made with page 0 when missing; null for no element.
  std::int16_t* AddAnchor(const DocumentNode* element);
  std::int16_t* FindAnchor(const DocumentNode* element);
  void ResetAnchors();
  // The pages the anchors hold, in a fixed order: two passes that end with
  // the same ones laid the entries out alike.
  std::vector<std::int16_t> AnchorPages() const;
  const std::vector<PrintRange>& Ranges() const { return ranges_; }
  const std::vector<NavigatorDef*>& Navigators() const { return navigators_; }

  // Set at the end of a formatting run when generated text asked for the
  // page count: the pages are then counted before they are printed.
  bool needsPageCount = false;
  // Header (HEAD), first-page header (HEAD-1), footer (FOOT) and first-page
  // footer (FOOT-1): whether the element of each kind was taken, and its
  // items (from the frame's pool; emptied with the frame's items).
  bool hasHeader = false, hasFirstHeader = false, hasFooter = false, hasFirstFooter = false;
  ListHead headerItems, firstHeaderItems, footerItems, firstFooterItems;

 private:
  void EmptyFurniture();
  std::map<const DocumentNode*, std::int16_t> anchors_;
  std::vector<PrintRange> ranges_;
  std::vector<NavigatorDef*> navigators_;
};

}  // namespace qs
