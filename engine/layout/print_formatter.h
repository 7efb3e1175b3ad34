// The formatter of a print run: the body of the document within the print
// ranges, tables of contents from navigator definitions ahead of it,
// header and footer material from elements styled with a PRN-TYPE, forced
// page breaks (PRN-FF), page texts and numbered notes gathered after the
// body. Made by the print frame for every formatting run of the frame.
#pragma once
#include <cstdint>
#include <vector>

#include "layout/print_frame.h"
#include "style/formatter.h"

namespace qs {

class NavigatorDef;
class NoteItem;
class TocEntryItem;

class PrintPageFormatter : public DocumentFormatter {
 public:
  // The whole run of the frame (`view`'s frame is the print frame).
  PrintPageFormatter(FrameTreeNode* view, PrintFrame* frame);
  // A nested run (formula parts, notes): no ranges and no navigators.
  PrintPageFormatter(FrameTreeNode* view, FrameTreeNode* items, Document* document,
                     TextFormat* baseFormat, DocumentNode* root, PrintFrame* frame);

  void Run(bool withBreaks) override;
  int StartElement(DocumentNode* element) override;
  int EndElement(DocumentNode* element) override;
  void AddRulerBefore(std::int32_t position, int ruler) override;
  void AddRulerAfter(std::int32_t position, int ruler) override;
  void AddElementIcon(DocumentNode* element, FrameTreeNode* view, const char* icon) override;
  void AddLinkTargetMarker(DocumentNode*) override {}
  void AddEmptyLinkSourceMarker(DocumentNode*) override {}

 private:
  // The next range whose start element begins after `element` ends.
  void PassRange(DocumentNode* element);
  void StartNavigatorElement(DocumentNode* element, int* result);
  void EndNavigatorElement(DocumentNode* element);
  void FindPageFields(DocumentNode* element);
  void CaptureStart(DocumentNode* element, int kind);
  void ResetForPass();
  void Append(ListHead* list, LayoutItem* item);

  PrintFrame* frame_;
  bool nested_;
  std::size_t range_ = 0;  // the current range; past the end: none left
  NavigatorDef* navigator_ = nullptr;
  bool inRange_ = false;
  DocumentNode* entryElement_ = nullptr;
  TocEntryItem* entryItem_ = nullptr;
  int level_ = 0;
  bool indentEntries_ = false;
  std::vector<std::uint8_t> entryStack_;
  std::vector<NoteItem*> notes_;
  int noteCounter_ = 0;
  // Per kind (HEAD, FOOT, HEAD-1, FOOT-1): the element being captured and
  // the output before it.
  DocumentNode* captured_[4] = {};
  ListHead* savedOutput_[4] = {};
  int captureDepth_ = 0;
};

}  // namespace qs
