#include "layout/print_frame.h"

#include "layout/layout_item.h"
#include "layout/print_formatter.h"
#include "sgml/document.h"
#include "style/navigator.h"

namespace qs {

PrintFrame::PrintFrame(Document* document, StyleSheet* sheet, std::uint32_t flags,
                       std::vector<NavigatorDef*> navigators, std::vector<PrintRange> ranges)
    : FrameNode(document, sheet, flags, nullptr), ranges_(std::move(ranges)),
      navigators_(std::move(navigators)) {
  for (NavigatorDef* n : navigators_)
    if (n) n->AddUse();
  std::erase(navigators_, nullptr);
  if (ranges_.empty() && root) ranges_.push_back(PrintRange{root, root, 1});
}

PrintFrame::~PrintFrame() {
  EmptyFurniture();
  // The items go before the navigators their entries point to.
  items.DeleteAll();
  for (NavigatorDef* n : navigators_) n->DropUse();
}

void PrintFrame::EmptyFurniture() {
  headerItems.DeleteAll();
  firstHeaderItems.DeleteAll();
  footerItems.DeleteAll();
  firstFooterItems.DeleteAll();
  hasHeader = hasFirstHeader = hasFooter = hasFirstFooter = false;
}

void PrintFrame::Clear(bool all) {
  // The furniture's items come from the pool the base frees.
  EmptyFurniture();
  needsPageCount = false;
  FrameNode::Clear(all);
}

Formatter* PrintFrame::MakeFormatter(FrameTreeNode* view, FrameTreeNode* list, Document* document,
                                     const void* baseFormat, DocumentNode* start) {
  Document* own = GetDocument();
  if (!start || (own && start == own->Root()))
    return new PrintPageFormatter(view, this);
  return new PrintPageFormatter(view, list, document,
                                static_cast<TextFormat*>(const_cast<void*>(baseFormat)), start,
                                this);
}

std::int16_t* PrintFrame::AddAnchor(const DocumentNode* element) {
  if (!element) return nullptr;
  return &anchors_.try_emplace(element, std::int16_t{0}).first->second;
}

std::int16_t* PrintFrame::FindAnchor(const DocumentNode* element) {
  auto it = anchors_.find(element);
  return it == anchors_.end() ? nullptr : &it->second;
}

void PrintFrame::ResetAnchors() {
  for (auto& entry : anchors_) entry.second = 0;
}

std::vector<std::int16_t> PrintFrame::AnchorPages() const {
  std::vector<std::int16_t> pages;
  pages.reserve(anchors_.size());
  for (const auto& entry : anchors_) pages.push_back(entry.second);
  return pages;
}

}  // namespace qs
