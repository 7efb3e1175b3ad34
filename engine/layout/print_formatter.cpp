#include "layout/print_formatter.h"

#include "layout/layout_item.h"
#include "layout/print_items.h"
#include "layout/print_state.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/external_id.h"
#include "style/navigator.h"
#include "style/style_rules.h"
#include "style/style_sheet.h"
#include "style/text_format.h"

namespace qs {

namespace {

enum : int { kHead = 7, kFoot = 8, kFirstHead = 9, kFirstFoot = 10 };

int PrnType(const StyleProps* style) {
  return style ? (style->printByte & StyleProps::kPrnTypeMask) : 0;
}

// The element's own rule, without qualified styles (for elements the walk
// does not reach).
StyleRule* OwnRule(DocumentNode* element) {
  ElementTypeDecl* decl = element->Decl();
  if (!decl || !decl->styleEntry) return nullptr;
  return reinterpret_cast<StyleTagEntry*>(decl->styleEntry)->FindForElement(element);
}

const char* NavigatorName(NavigatorDef* navigator) {
  ExternalId* id = navigator->Id();
  if (!id) return nullptr;
  if (id->Name() && *id->Name()) return id->Name();
  if (id->Location() && id->Location()->FileName() && *id->Location()->FileName())
    return id->Location()->FileName();
  return nullptr;
}

}  // namespace

PrintPageFormatter::PrintPageFormatter(FrameTreeNode* view, PrintFrame* frame)
    : DocumentFormatter(view, frame, frame->GetDocument(), nullptr, nullptr), frame_(frame),
      nested_(false) {
  // Output begins with the first range.
  SetOutputTarget(nullptr);
  indentEntries_ = GetPrintState().options & 0x40;
}

PrintPageFormatter::PrintPageFormatter(FrameTreeNode* view, FrameTreeNode* items,
                                       Document* document, TextFormat* baseFormat,
                                       DocumentNode* root, PrintFrame* frame)
    : DocumentFormatter(view, items, document, baseFormat, root), frame_(frame), nested_(true) {
  indentEntries_ = GetPrintState().options & 0x40;
}

void PrintPageFormatter::Append(ListHead* list, LayoutItem* item) {
  if (!item || !list) return;
  ListHead* saved = OutputTarget();
  SetOutputTarget(list);
  AppendItem(item);
  SetOutputTarget(saved);
}

void PrintPageFormatter::ResetForPass() {
  if (StyleSheet* sheet = view ? view->GetStyleSheet() : nullptr)
    for (StyleTagEntry* e = sheet->FirstTag(); e; e = sheet->NextTag()) e->ResetCounters();
  ResetNumbers();
  ClearPendingBreak();
  range_ = 0;
  inRange_ = false;
  entryElement_ = nullptr;
  entryItem_ = nullptr;
  entryStack_.clear();
  level_ = 0;
  RestartMarks();
}

void PrintPageFormatter::Run(bool withBreaks) {
  if (nested_ || !frame_ || !root) {
    DocumentFormatter::Run(withBreaks);
    return;
  }
  PrintState& print = GetPrintState();
  noteCounter_ = 0;
  print.formattingForPrint = true;
  ListHead* body = &items->items;
  TextFormat* format = GetCurrentFormat();
  const std::vector<NavigatorDef*>& navigators = frame_->Navigators();
  for (std::size_t n = 0; n < navigators.size(); ++n) {
    NavigatorDef* nav = navigators[n];
    navigator_ = nav;
    const auto position = static_cast<std::int32_t>(root->start);
    if (const char* title = document->TitleExcerpt(); title && *title)
      Append(body, new (ItemPool()) PageTextItem(position, format, title, 0));
    if (const char* name = NavigatorName(nav))
      Append(body, new (ItemPool()) PageTextItem(position, format, name, 2));
    const std::uint16_t savedMin = MinFontSize(), savedMax = MaxFontSize();
    SetFontSizeLimits(static_cast<std::uint16_t>((nav->min ? nav->min : 6) * 100),
                      static_cast<std::uint16_t>((nav->max ? nav->max : 192) * 100));
    PushScale(nav->scale);
    SetOutputTarget(nullptr);
    DocumentFormatter::Run(false);
    PopScale(nav->scale);
    SetFontSizeLimits(savedMin, savedMax);
    SetOutputTarget(nullptr);
    Append(body, new (ItemPool()) PageBreakItem(static_cast<std::int32_t>(root->end), format,
                                                n + 1 < navigators.size() ? 3 : 2));
    ResetForPass();
  }
  navigator_ = nullptr;
  if (withBreaks && !navigators.empty()) {
    // The tables' titles leave the header.
    const auto position = static_cast<std::int32_t>(root->start);
    Append(body, new (ItemPool()) PageTextItem(position, format, "", 0));
    Append(body, new (ItemPool()) PageTextItem(position, format, "", 2));
  }
  SetOutputTarget(nullptr);
  DocumentFormatter::Run(false);

  SetOutputTarget(body);
  AddPendingBreak(15);
  for (NoteItem* note : notes_) {
    if (withBreaks) AddPendingBreak(5);
    body->Append(new (ItemPool()) BreakItem(note->Position(), GetCurrentFormat(),
                                            static_cast<std::int16_t>(PendingSpace())));
    ClearPendingBreak();
    ListNode* before = body->Last();
    body->AppendList(note->items);
    auto* at = static_cast<LayoutItem*>(before ? before->Next() : body->First());
    while (at && at->BreaksBefore()) at = at->NextItem();
    body->InsertBefore(at, note);
  }
  notes_.clear();
  if (withBreaks)
    body->Append(new (ItemPool()) BreakItem(static_cast<std::int32_t>(root->end), GetCurrentFormat(),
                                            static_cast<std::int16_t>(PendingSpace())));
  ClearPendingBreak();
  print.formattingForPrint = false;
  if (print.pageCountNeeded) frame_->needsPageCount = true;
  print.pageCountNeeded = false;
}

void PrintPageFormatter::CaptureStart(DocumentNode* element, int kind) {
  bool* flags[4] = {&frame_->hasHeader, &frame_->hasFooter, &frame_->hasFirstHeader,
                    &frame_->hasFirstFooter};
  ListHead* lists[4] = {&frame_->headerItems, &frame_->footerItems, &frame_->firstHeaderItems,
                        &frame_->firstFooterItems};
  const int k = kind - kHead;
  if (*flags[k]) return;
  *flags[k] = true;
  captured_[k] = element;
  savedOutput_[k] = OutputTarget();
  SetOutputTarget(lists[k]);
  ++captureDepth_;
}

void PrintPageFormatter::PassRange(DocumentNode* element) {
  const std::vector<PrintRange>& ranges = frame_->Ranges();
  ++range_;
  while (range_ < ranges.size() &&
         (!ranges[range_].start || ranges[range_].start->start < element->end))
    ++range_;
}

int PrintPageFormatter::StartElement(DocumentNode* element) {
  if (!frame_) return DocumentFormatter::StartElement(element);
  if (navigator_) {
    int result = 0;
    StartNavigatorElement(element, &result);
    return result;
  }
  ElementStyle* style = GetCurrentStyle();
  const int kind = PrnType(style);
  if (kind >= kHead && kind <= kFirstFoot) CaptureStart(element, kind);
  const std::vector<PrintRange>& ranges = frame_->Ranges();
  if (!nested_ && range_ < ranges.size() && element == ranges[range_].start && captureDepth_ == 0)
    SetOutputTarget(&items->items);
  ListHead* output = OutputTarget();
  if (!output) {
    if (style && (style->fontByte & StyleProps::kBreakBefore) && LevelShown()) AddPendingBreak(0);
    return 0;
  }
  const auto position = static_cast<std::int32_t>(element->start);
  if (style && (style->printByte & StyleProps::kPrnFormFeed))
    AppendItem(new (ItemPool()) PageBreakItem(position, GetCurrentFormat(), 1));
  if (kind >= 1 && kind <= 6)
    AppendItem(new (ItemPool()) PageFieldItem(element, GetCurrentFormat(),
                                              static_cast<std::uint8_t>(kind - 1)));
  ListNode* last = output->Last();
  const int result = DocumentFormatter::StartElement(element);
  if (std::int16_t* anchor = frame_->FindAnchor(element)) {
    if (auto* item = new (ItemPool()) PageAnchorItem(position, GetCurrentFormat(), element, anchor)) {
      auto* first = static_cast<LayoutItem*>(last ? last->Next() : output->First());
      if (!first)
        output->Append(item);
      else if (first->BreaksBefore())
        output->InsertAfter(first, item);
      else
        output->InsertBefore(first, item);
    }
  }
  if (result == 1) FindPageFields(element);
  return result;
}

void PrintPageFormatter::FindPageFields(DocumentNode* element) {
  for (DocumentNode* child = element->First(); child; child = child->Next()) {
    if (child->flags & 0x08) continue;
    const int kind = PrnType(OwnRule(child));
    if (kind >= 1 && kind <= 6)
      AppendItem(new (ItemPool()) PageFieldItem(child, GetCurrentFormat(),
                                                static_cast<std::uint8_t>(kind - 1)));
    FindPageFields(child);
  }
}

int PrintPageFormatter::EndElement(DocumentNode* element) {
  if (!frame_) return DocumentFormatter::EndElement(element);
  if (navigator_) {
    EndNavigatorElement(element);
    return 0;
  }
  int result = 0;
  ElementStyle* style = GetCurrentStyle();
  if (OutputTarget())
    result = DocumentFormatter::EndElement(element);
  else if (style && (style->fontByte & StyleProps::kBreakAfter) && LevelShown())
    AddPendingBreak(0);
  for (int k = 0; k < 4; ++k) {
    if (captured_[k] != element) continue;
    captured_[k] = nullptr;
    SetOutputTarget(savedOutput_[k]);
    if (captureDepth_ > 0) --captureDepth_;
  }
  const std::vector<PrintRange>& ranges = frame_->Ranges();
  if (!nested_ && range_ < ranges.size() && element == ranges[range_].start) {
    SetOutputTarget(nullptr);
    PassRange(element);
  }
  return result;
}

void PrintPageFormatter::StartNavigatorElement(DocumentNode* element, int* result) {
  const std::vector<PrintRange>& ranges = frame_->Ranges();
  if (!inRange_) {
    if (range_ < ranges.size() && element == ranges[range_].start) {
      inRange_ = true;
    } else {
      ElementStyle* style = GetCurrentStyle();
      if (style && (style->fontByte & StyleProps::kBreakBefore) && LevelShown()) AddPendingBreak(0);
      entryStack_.push_back(0);
      return;
    }
  }
  if (entryElement_ && element == entryElement_ && entryItem_) SetOutputTarget(&entryItem_->items);
  if (!OutputTarget() && LevelShown()) {
    NavigatorTag* tag = navigator_->FindEntry(element);
    std::uint8_t flags = 0;
    DocumentNode* title = tag ? navigator_->MatchEntry(tag, document, element, &flags, view) : nullptr;
    auto* entry = title ? new (ItemPool()) TocEntryItem(static_cast<std::int32_t>(element->start),
                                                        GetCurrentFormat(), element, tag,
                                                        static_cast<std::uint8_t>(level_))
                        : nullptr;
    if (entry) {
      Append(&items->items, entry);
      entryElement_ = title;
      entryItem_ = entry;
      if (indentEntries_) ++level_;
      entryStack_.push_back(1);
      if (title != element) return;
      SetOutputTarget(&entry->items);
      // The entry's title is the element's content: its before text stays out.
      ElementStyle* style = GetCurrentStyle();
      TextBlockStyle* before = style ? style->before : nullptr;
      if (style) style->before = nullptr;
      *result = DocumentFormatter::StartElement(element);
      if (style) style->before = before;
      return;
    }
  }
  entryStack_.push_back(0);
  *result = DocumentFormatter::StartElement(element);
}

void PrintPageFormatter::EndNavigatorElement(DocumentNode* element) {
  if (OutputTarget()) DocumentFormatter::EndElement(element);
  if (entryElement_ && element == entryElement_ && entryItem_) {
    ListHead& list = entryItem_->items;
    std::int16_t* anchor = frame_->AddAnchor(entryItem_->GetElement());
    if (auto* number = new (ItemPool()) TocPageNumberItem(
            static_cast<std::int32_t>(element->end), GetCurrentFormat(), anchor)) {
      auto* at = static_cast<LayoutItem*>(list.Last());
      while (at && at->BreaksBefore()) at = static_cast<LayoutItem*>(at->Prev());
      if (at)
        list.InsertAfter(at, number);
      else
        list.Append(number);
    }
    SetOutputTarget(nullptr);
    entryElement_ = nullptr;
    entryItem_ = nullptr;
  }
  if (!entryStack_.empty()) {
    if (entryStack_.back() == 1 && indentEntries_ && level_ > 0) --level_;
    entryStack_.pop_back();
  }
  const std::vector<PrintRange>& ranges = frame_->Ranges();
  if (inRange_ && range_ < ranges.size() && element == ranges[range_].start) {
    inRange_ = false;
    PassRange(element);
  }
}

void PrintPageFormatter::AddRulerBefore(std::int32_t position, int ruler) {
  if (!navigator_) DocumentFormatter::AddRulerBefore(position, ruler);
}

void PrintPageFormatter::AddRulerAfter(std::int32_t position, int ruler) {
  if (!navigator_) DocumentFormatter::AddRulerAfter(position, ruler);
}

void PrintPageFormatter::AddElementIcon(DocumentNode* element, FrameTreeNode*, const char*) {
  // Inside a note or a formula part the material is printed in place.
  if (nested_) {
    FormatPart(OutputTarget(), element);
    return;
  }
  const auto position = static_cast<std::int32_t>(element->start);
  auto* mark = new (ItemPool()) NoteMarkItem(position, GetCurrentFormat(), noteCounter_ + 1);
  if (!mark) return;
  ++noteCounter_;
  AppendItem(mark);
  auto* note = new (ItemPool()) NoteItem(position, GetCurrentFormat(), mark);
  if (!note) return;
  FormatPart(&note->items, element);
  notes_.push_back(note);
}

}  // namespace qs
