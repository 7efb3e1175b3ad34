#include "layout/print_items.h"

#include <cstdio>
#include <cstring>

#include "layout/print_state.h"
#include "sgml/document.h"
#include "style/text_format.h"
#include "view/current_view.h"
#include "view/document_view.h"

namespace qs {

namespace {

void DrawLabel(TextFormat* format, int x, int y, const char* text) {
  OutputDevice* device = CurrentDevice();
  if (!device || !format) return;
  device->UseTextStyle(format);
  if (DeviceColor* color = format->ResolveColor()) device->SetColor(color);
  device->DrawText(x, y, text, std::strlen(text));
}

int LabelWidth(Font* font, const char* text) {
  return font ? font->Measure(text, std::strlen(text)) : 0;
}

}  // namespace

std::intptr_t PageBreakItem::HandleMessage(int, int, int message, std::intptr_t) {
  return message == kMsgPageBreak ? kind_ : 0;
}

void PageTextItem::Draw(int, int) {
  if (DocumentView* view = CurrentDocumentView()) view->SetHeaderText(slot_ + 9, text_ ? text_ : "");
}

PageFieldItem::PageFieldItem(DocumentNode* element, TextFormat* format, std::uint8_t slot)
    : LayoutItem(static_cast<std::int32_t>(element->start), format), element_(element),
      slot_(slot) {}

void PageFieldItem::FieldText(DocumentNode* element, char (&out)[61]) {
  out[0] = '\0';
  DocumentView* view = CurrentDocumentView();
  Document* document = view ? view->GetDocument() : nullptr;
  if (!document || !element || element->end <= element->start) return;
  // Room for the whole copy: ExtractText writes to - from + 1 bytes.
  std::uint32_t to = element->end;
  if (to - element->start > 60) to = element->start + 60;
  char buffer[61];
  const std::size_t n = document->ExtractText(buffer, element->start, to);
  std::size_t length = n < 60 ? n : 60;
  buffer[length] = '\0';
  // Never a cut character: a lead byte whose sequence was cut goes.
  if (length > 0 && to < element->end) {
    std::size_t start = length;
    while (start > 0 && (static_cast<unsigned char>(buffer[start - 1]) & 0xC0) == 0x80) --start;
    if (start > 0) {
      const auto lead = static_cast<unsigned char>(buffer[start - 1]);
      const std::size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
      if (lead >= 0xC0 && length - (start - 1) < need) length = start - 1;
    }
  }
  for (std::size_t i = 0; i < length; ++i)
    out[i] = static_cast<unsigned char>(buffer[i]) < 0x20 ? ' ' : buffer[i];
  out[length] = '\0';
}

void PageFieldItem::Draw(int, int) {
  DocumentView* view = CurrentDocumentView();
  if (!view) return;
  char text[61];
  FieldText(element_, text);
  view->SetHeaderText(slot_ + 9, text);
}

void PageAnchorItem::MakeBoxes(ListHead& boxes) {
  if (anchor_) *anchor_ = static_cast<std::int16_t>(GetPrintState().currentPageNumber);
  LayoutItem::MakeBoxes(boxes);
}

void TocPageNumberItem::Label(char (&out)[16]) const {
  if (anchor_ && *anchor_ != 0)
    std::snprintf(out, sizeof out, " %d", *anchor_);
  else
    std::snprintf(out, sizeof out, " xx");
}

int TocPageNumberItem::GetAscent() {
  Font* font = GetFont();
  return font ? font->ascent : 0;
}
int TocPageNumberItem::GetDescent() {
  Font* font = GetFont();
  return font ? font->descent : 0;
}
int TocPageNumberItem::GetWidth() {
  char label[16];
  Label(label);
  return LabelWidth(GetFont(), label);
}
void TocPageNumberItem::Draw(int x, int y) {
  char label[16];
  Label(label);
  DrawLabel(Format(), x, y, label);
}

int NoteMarkItem::GetAscent() {
  Font* font = GetFont();
  return font ? font->ascent + font->Height() / 2 : 0;
}
int NoteMarkItem::GetDescent() {
  Font* font = GetFont();
  return font ? font->descent : 0;
}
int NoteMarkItem::GetWidth() {
  char label[16];
  std::snprintf(label, sizeof label, "%d", number_);
  return LabelWidth(GetFont(), label);
}
void NoteMarkItem::Draw(int x, int y) {
  Font* font = GetFont();
  char label[16];
  std::snprintf(label, sizeof label, "%d", number_);
  DrawLabel(Format(), x, y - (font ? font->Height() / 2 : 0), label);
}

int TocEntryItem::GetWidth() { return ScaleByDpi(level_ * 12); }
int TocEntryItem::LeftIndent() { return ScaleByDpi(3); }
int TocEntryItem::RightIndent() { return ScaleByDpi(3); }

void TocEntryItem::MakeBoxes(ListHead& boxes) {
  OutputDevice* device = CurrentDevice();
  if (auto* box = new TocParagraphBox(this, device ? device->width : 0)) boxes.Append(box);
}

TocParagraphBox::TocParagraphBox(TocEntryItem* item, int deviceWidth)
    : ParagraphBox(item, &item->items, deviceWidth - ScaleByDpi(item->Level() * 12 + 10),
                   kLinesLeft | kNoIndents | kNoSpaceAbove),
      indent_(ScaleByDpi(item->Level() * 12 + 4)) {}

int TocParagraphBox::LeftIndent() { return ScaleByDpi(3); }
int TocParagraphBox::RightIndent() { return ScaleByDpi(3); }

}  // namespace qs
