#include "layout/generated_text.h"

#include <cstdio>
#include <cstring>

#include "foundation/memory.h"
#include "foundation/names.h"
#include "layout/char_boxes.h"
#include "layout/icon_items.h"
#include "layout/print_state.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "style/style_rules.h"
#include "style/text_format.h"
#include "style/text_template.h"
#include "view/current_view.h"
#include "view/document_view.h"

namespace qs {

namespace {

// Walks an expanded text: words (a word takes one blank that ends it),
// tabs and fields. With `fields` off ESC is an ordinary character.
struct TextWalk {
  virtual ~TextWalk() = default;
  virtual void Word(const char* text, std::size_t length) = 0;
  virtual void Tab() = 0;
  virtual void Field(char code, const char* text, std::size_t length) = 0;

  void Run(const char* text, std::size_t length, bool fields) {
    std::size_t i = 0;
    while (i < length) {
      std::size_t j = i;
      while (j < length && text[j] != ' ' && text[j] != '\t' && !(fields && text[j] == kFieldMark))
        ++j;
      if (j < length && text[j] == ' ') ++j;
      if (j > i) {
        Word(text + i, j - i);
        i = j;
      } else if (text[i] == '\t') {
        Tab();
        ++i;
      } else {
        // ESC, its code and the text up to the closing ESC; an unclosed
        // field ends the text.
        if (i + 1 >= length) return;
        const char code = text[i + 1];
        const char* start = text + i + 2;
        const void* close =
            i + 2 <= length ? std::memchr(start, kFieldMark, length - (i + 2)) : nullptr;
        if (!close) return;
        const auto fieldLength = static_cast<std::size_t>(static_cast<const char*>(close) - start);
        Field(code, start, fieldLength);
        i += 2 + fieldLength + 1;
      }
    }
  }
};

// The width character of a numeric style: '0' to 'I' give 0 to 25; any
// other counts as 0.
int StyleWidth(const char* field, std::size_t length) {
  if (length < 2) return 0;
  const char w = field[1];
  return w >= '0' && w <= 'I' ? w - '0' : 0;
}

bool IsLetterStyle(char c) { return c == 'A' || c == 'a' || c == 'I' || c == 'i'; }

}  // namespace

// ---- Items --------------------------------------------------------------------------

GeneratedTextItem::GeneratedTextItem(std::int32_t position, TextLine* line, TextFormat* format)
    : LayoutItem(position, format), text_(line && line->text ? line->text->AddRef() : nullptr) {
  PrintState& print = GetPrintState();
  if (!line || !print.formattingForPrint || print.pageCountNeeded || line->pageCountScan == 2)
    return;
  if (line->pageCountScan == 1) {
    print.pageCountNeeded = true;
    return;
  }
  line->pageCountScan = 2;
  const char* t = TemplateText();
  for (const char* hit = std::strchr(t, '\\'); hit; hit = std::strchr(hit + 1, '\\'))
    if (std::strncmp(hit + 1, "pagecount", 9) == 0) {
      print.pageCountNeeded = true;
      line->pageCountScan = 1;
      break;
    }
}

GeneratedTextItem::~GeneratedTextItem() {
  if (text_) text_->Release();
}

const char* GeneratedTextItem::TemplateText() const { return text_ ? text_->Text() : ""; }

int GeneratedTextItem::Expand(char* buffer) {
  return ExpandTemplate(TemplateText(), GetElement(), GetParentNode(), GetAttributeValues(),
                        GetDeclaration(), buffer, nullptr);
}

char* GeneratedTextItem::HostText(const char* name) {
  DocumentView* view = CurrentDocumentView();
  if (!view) return nullptr;
  const auto argument = reinterpret_cast<std::intptr_t>(name);
  if (DocumentNode* element = GetElement()) return view->GetHostTextForElement(element, argument);
  if (Mark* owner = GetPieceOwner()) return view->GetHostTextForObject(owner, argument);
  return nullptr;
}

void GeneratedTextItem::AddPageNumberBox(ListHead& boxes, const char* field, std::int32_t number) {
  std::uint8_t style;
  switch (field[0]) {
    case 'A': style = PageNumberBox::kAlphaUp; break;
    case 'a': style = PageNumberBox::kAlphaLow; break;
    case 'I': style = PageNumberBox::kRomanUp; break;
    case 'i': style = PageNumberBox::kRomanLow; break;
    case 'N': style = static_cast<std::uint8_t>(StyleWidth(field, std::strlen(field))); break;
    default: return;
  }
  boxes.Append(new PageNumberBox(this, style, number));
}

void GeneratedTextItem::MakeBoxes(ListHead& boxes) {
  struct Maker : TextWalk {
    GeneratedTextItem* item;
    ListHead* boxes;
    Font* font;
    bool made = false;
    void Word(const char* text, std::size_t length) override {
      const int width = font ? font->MeasureA(text, length) : 0;
      if (item->IsLinkText())
        boxes->Append(new LinkWordBox(item, text, length, width));
      else
        boxes->Append(new WordBox(item, text, length, width));
      made = true;
    }
    void Tab() override {
      boxes->Append(new TabBox(item));
      made = true;
    }
    void Field(char code, const char* text, std::size_t length) override {
      char field[kTemplateBuffer];
      std::memcpy(field, text, length);
      field[length] = 0;
      switch (code) {
        case 'G': {
          char* host = item->HostText(field);
          if (!host) return;
          Run(host, std::strlen(host), false);
          MemFree(host);
          return;
        }
        case 'I':
          if (item->IsLinkText())
            boxes->Append(new LinkIconBox(item, field));
          else
            boxes->Append(new IconBox(item, field));
          break;
        case 'M': item->AddPageNumberBox(*boxes, field, GetPrintState().pageCount); break;
        case 'N': item->AddPageNumberBox(*boxes, field, GetPrintState().currentPageNumber); break;
        default: Word(text, length); break;
      }
      made = true;
    }
  } maker;
  maker.item = this;
  maker.boxes = &boxes;
  maker.font = GetFont();
  char buffer[kTemplateBuffer];
  const int length = Expand(buffer);
  if (length > 0) maker.Run(buffer, static_cast<std::size_t>(length), true);
  if (!maker.made) boxes.Append(new DisplayBox(this));
}

namespace {
// Counts or copies what an item gives to a copy.
struct Copier : TextWalk {
  GeneratedTextItem* item;
  char* output = nullptr;  // null: count only
  std::size_t room = 0;
  std::int32_t count = 0;

  void Put(const char* text, std::size_t length) {
    if (output) {
      const std::size_t left = room > static_cast<std::size_t>(count) ? room - count : 0;
      std::memcpy(output + count, text, length < left ? length : left);
      count += static_cast<std::int32_t>(length < left ? length : left);
    } else {
      count += static_cast<std::int32_t>(length);
    }
  }
  void Word(const char* text, std::size_t length) override { Put(text, length); }
  void Tab() override { Put("\t", 1); }
  void Field(char code, const char* text, std::size_t length) override {
    char field[kTemplateBuffer];
    std::memcpy(field, text, length);
    field[length] = 0;
    switch (code) {
      case 'G':
        if (char* host = item->HostText(field)) {
          // Only as much as there is room for, however long this answer.
          Put(host, std::strlen(host));
          MemFree(host);
        }
        break;
      case 'I': Put(" ", 1); break;
      case 'M':
      case 'N':
        if (length && IsLetterStyle(field[0])) {
          Put(field, 1);
        } else if (length && field[0] == 'N') {
          const int w = StyleWidth(field, length);
          for (int i = 1; i < w; ++i) Put("0", 1);
          Put("1", 1);
        }
        break;
      default: Put(text, length); break;
    }
  }
};
}  // namespace

std::int32_t GeneratedTextItem::GetTextLength(std::int32_t, std::int32_t) {
  char buffer[kTemplateBuffer];
  const int length = Expand(buffer);
  if (length == 0) return static_cast<std::int32_t>(std::strlen(TemplateText()));
  Copier counter;
  counter.item = this;
  counter.Run(buffer, static_cast<std::size_t>(length), true);
  return counter.count;
}

std::int32_t GeneratedTextItem::CopyText(std::int32_t, std::int32_t, char* output,
                                         std::size_t room) {
  char buffer[kTemplateBuffer];
  const int length = Expand(buffer);
  Copier copier;
  copier.item = this;
  copier.output = output;
  copier.room = room;
  if (length == 0)
    copier.Put(TemplateText(), std::strlen(TemplateText()));
  else
    copier.Run(buffer, static_cast<std::size_t>(length), true);
  return copier.count;
}

int StyleTextItem::SkipForPosition() {
  return element_ && static_cast<std::uint32_t>(Position()) == element_->end;
}

const AttributeDeclSet* StyleTextItem::GetDeclaration() {
  return element_ && element_->Decl() ? &element_->Decl()->Attributes() : nullptr;
}

Attribute* const* StyleTextItem::GetAttributeValues() {
  return element_ ? element_->GetAttributeValues() : nullptr;
}

DocumentNode* StyleTextItem::GetParentNode() { return element_ ? element_->Parent() : nullptr; }

int TextPieceItem::SkipForPosition() {
  return owner_ && owner_->Start() == static_cast<std::uint32_t>(Position());
}

const AttributeDeclSet* TextPieceItem::GetDeclaration() {
  EntityDecl* entity = owner_ ? owner_->GetEntity() : nullptr;
  NotationDecl* notation = entity ? entity->GetNotation() : nullptr;
  return notation ? &notation->Attributes() : nullptr;
}

Attribute* const* TextPieceItem::GetAttributeValues() {
  EntityDecl* entity = owner_ ? owner_->GetEntity() : nullptr;
  return entity ? entity->GetDataAttributes() : nullptr;
}

// ---- Boxes ----------------------------------------------------------------------------

WordBox::WordBox(LayoutItem* item, const char* characters, std::size_t length, int width)
    : DisplayBox(item), text_(static_cast<char*>(MemAlloc(length + 1))), length_(0),
      width_(static_cast<std::int16_t>(width)) {
  if (!text_) return;
  std::memcpy(text_, characters, length);
  text_[length] = 0;
  length_ = length;
}

WordBox::~WordBox() { MemFree(text_); }

int WordBox::GetAscent() {
  Font* font = GetFont();
  return font ? font->ascent : 0;
}

int WordBox::GetDescent() {
  Font* font = GetFont();
  return font ? font->descent : 0;
}

void WordBox::Draw(int x, int y) {
  OutputDevice* device = CurrentDevice();
  if (!device || !text_) return;
  device->UseTextStyle(Item()->Format());
  device->SetColor(TextColor());
  device->DrawText(x, y, text_, length_);
}

void LinkWordBox::Draw(int x, int y) {
  WordBox::Draw(x, y);
  OutputDevice* device = CurrentDevice();
  if (!device || LinkSourceHidden()) return;
  const int half = GetDescent() / 2;
  device->DrawLine(x, y + half, x + width_, y + half);
}

namespace {
// Every box of the same link inverts itself: once to show, once more to
// take it away.
void ShowLinkPressed(DisplayBox* box, HitContext& context, bool placeElement) {
  DocumentNode* element = box->GetElement();
  if (!context.ContainsSecondPoint() || !element) return;
  DocumentView* view = CurrentDocumentView();
  if (!view) return;
  if (placeElement)
    view->InvertRange(static_cast<std::int32_t>(element->start),
                      static_cast<std::int32_t>(element->end));
  view->Broadcast(8, reinterpret_cast<std::intptr_t>(element));
}

std::intptr_t InvertForLink(DisplayBox* box, int x, int y, int ascent, int descent, int message,
                            std::intptr_t argument) {
  if (message != 8 || argument != reinterpret_cast<std::intptr_t>(box->GetElement()) || !argument)
    return 0;
  if (OutputDevice* device = CurrentDevice())
    device->InvertRect(x, y - ascent, x + box->GetWidth(), y + descent);
  return 0;
}
}  // namespace

void LinkWordBox::Activate(DocumentView* view, HitContext*) {
  if (view && GetElement()) FollowLinkFromLayout(view, GetElement(), kFollowWithAncestors);
}

int LinkWordBox::PressRange(int, int, HitContext& context) {
  ViewRange::Init(context, this);
  return 1;
}

void LinkWordBox::PressFeedbackIfInside(HitContext& context) { ShowLinkPressed(this, context, true); }

std::intptr_t LinkWordBox::HandleMessage(int x, int y, int ascent, int descent, int message,
                                         std::intptr_t argument) {
  return InvertForLink(this, x, y, ascent, descent, message, argument);
}

// Icons of a style sheet have no pictures until graphics are read; every
// icon box shows stock icon 12 meanwhile.
IconBox::IconBox(LayoutItem* item, const char* name) : DisplayBox(item) { (void)name; }
int IconBox::GetAscent() { return StockIconMetrics(12).ascent; }
int IconBox::GetDescent() { return StockIconMetrics(12).descent; }
int IconBox::GetWidth() { return StockIconMetrics(12).width; }

void IconBox::Draw(int x, int y) {
  if (OutputDevice* device = CurrentDevice()) device->DrawIcon(12, x, y - GetAscent(), 1);
}

void LinkIconBox::Activate(DocumentView* view, HitContext*) {
  if (view && GetElement()) FollowLinkFromLayout(view, GetElement(), kFollowWithAncestors);
}

int LinkIconBox::PressRange(int, int, HitContext& context) {
  ViewRange::Init(context, this);
  return 1;
}

void LinkIconBox::PressFeedbackIfInside(HitContext& context) { ShowLinkPressed(this, context, false); }

std::intptr_t LinkIconBox::HandleMessage(int x, int y, int ascent, int descent, int message,
                                         std::intptr_t argument) {
  return InvertForLink(this, x, y, ascent, descent, message, argument);
}

int PageNumberBox::FormatText(char* buffer) {
  if (style_ >= kRomanLow) {
    // Letter styles hold the number in 13 bits; larger ones show in decimal.
    if (number_ <= 0 || number_ >= 0x2000)
      return std::snprintf(buffer, 128, "%d", static_cast<int>(number_));
    static const std::uint16_t kFold[4] = {0x8000, 0x6000, 0x4000, 0x2000};
    char label[256];
    FormatNumber(static_cast<std::uint16_t>(number_ | kFold[style_ - kRomanLow]), label);
    std::size_t n = std::strlen(label);
    if (n > 127) n = 127;
    std::memcpy(buffer, label, n);
    buffer[n] = 0;
    return static_cast<int>(n);
  }
  // Widths of two digits too: the width goes to the format as an argument.
  return std::snprintf(buffer, 128, "%0*d", static_cast<int>(style_ > 25 ? 25 : style_),
                       static_cast<int>(number_));
}

int PageNumberBox::GetAscent() {
  Font* font = GetFont();
  return font ? font->ascent : 0;
}

int PageNumberBox::GetDescent() {
  Font* font = GetFont();
  return font ? font->descent : 0;
}

int PageNumberBox::GetWidth() {
  char text[128];
  const int n = FormatText(text);
  Font* font = GetFont();
  return font ? static_cast<std::int16_t>(font->MeasureA(text, static_cast<std::size_t>(n))) : 0;
}

void PageNumberBox::Draw(int x, int y) {
  OutputDevice* device = CurrentDevice();
  if (!device) return;
  char text[128];
  const int n = FormatText(text);
  device->UseTextStyle(Item()->Format());
  device->SetColor(TextColor());
  device->DrawText(x, y, text, static_cast<std::size_t>(n));
}

}  // namespace qs
