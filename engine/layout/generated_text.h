// Generated text before and after elements and entity references. An item
// keeps its template, not the result: whenever it makes boxes, counts its
// characters or copies them it expands the template again, so page
// numbers, attribute values and host text are current each time. The
// expanded text is cut into word, tab, icon and page-number boxes.
#pragma once
#include <cstddef>
#include <cstdint>

#include "layout/display_box.h"

namespace qs {

class AttributeDeclSet;
class InternedName;
class Mark;
class TextLine;
struct Attribute;

class GeneratedTextItem : public LayoutItem {
 public:
  // Holds a use of the line's text. During a print run a line that shows
  // the page count asks for a counting pass (PrintState::pageCountNeeded).
  GeneratedTextItem(std::int32_t position, TextLine* line, TextFormat* format);
  ~GeneratedTextItem() override;

  void MakeBoxes(ListHead& boxes) override;
  // The whole text, whatever the range: placeholders stand for fields
  // ("1" padded to the width for page numbers, the style letter for a
  // letter style, a blank for an icon), so a copy is as long as the count.
  std::int32_t GetTextLength(std::int32_t from, std::int32_t to) override;
  std::int32_t CopyText(std::int32_t from, std::int32_t to, char* output, std::size_t room) override;

  virtual const AttributeDeclSet* GetDeclaration() { return nullptr; }
  virtual Attribute* const* GetAttributeValues() { return nullptr; }
  virtual bool IsLinkText() { return false; }
  virtual DocumentNode* GetParentNode() { return nullptr; }
  virtual Mark* GetPieceOwner() { return nullptr; }

  const char* TemplateText() const;
  // The expansion into `buffer` (256 bytes); returns its length.
  int Expand(char* buffer);
  // The host's text for a 'G' field (free with MemFree), or null.
  char* HostText(const char* name);

 private:
  void AddPageNumberBox(ListHead& boxes, const char* field, std::int32_t number);
  InternedName* text_;
};

// Text of an element's style.
class StyleTextItem : public GeneratedTextItem {
 public:
  StyleTextItem(std::int32_t position, TextLine* line, TextFormat* format, DocumentNode* element)
      : GeneratedTextItem(position, line, format), element_(element) {}
  DocumentNode* GetElement() override { return element_; }
  int SkipForPosition() override;
  const AttributeDeclSet* GetDeclaration() override;
  Attribute* const* GetAttributeValues() override;
  DocumentNode* GetParentNode() override;

 private:
  DocumentNode* element_;
};

// The same made inside a link: its boxes are link boxes.
class LinkItem : public StyleTextItem {
 public:
  using StyleTextItem::StyleTextItem;
  bool IsLinkText() override { return true; }
};

// Text before or after a reference mark (an entity or graphic reference)
// of an attribute style; `context` is the element the mark stands in.
class TextPieceItem : public GeneratedTextItem {
 public:
  TextPieceItem(std::int32_t position, TextLine* line, TextFormat* format, Mark* owner,
                DocumentNode* context)
      : GeneratedTextItem(position, line, format), owner_(owner), context_(context) {}
  int SkipForPosition() override;
  const AttributeDeclSet* GetDeclaration() override;
  Attribute* const* GetAttributeValues() override;
  DocumentNode* GetParentNode() override { return context_; }
  Mark* GetPieceOwner() override { return owner_; }

 private:
  Mark* owner_;
  DocumentNode* context_;
};

// ---- Boxes ----------------------------------------------------------------------------

class WordBox : public DisplayBox {
 public:
  WordBox(LayoutItem* item, const char* characters, std::size_t length, int width);
  ~WordBox() override;
  int GetAscent() override;
  int GetDescent() override;
  int GetWidth() override { return width_; }
  int CanBreakAfter() override { return length_ && text_[length_ - 1] == ' '; }
  void Draw(int x, int y) override;
  const char* Text() const { return text_ ? text_ : ""; }

 protected:
  char* text_;
  std::size_t length_;
  std::int16_t width_;
};

class LinkWordBox : public WordBox {
 public:
  using WordBox::WordBox;
  void Draw(int x, int y) override;
  int GetPointerKind() override { return 1; }
  int PressRange(int x, int y, HitContext& context) override;
  void PressFeedbackOn(HitContext& context) override { PressFeedbackIfInside(context); }
  int PressContinue(HitContext&) override { return 0; }
  void PressFeedbackIfInside(HitContext& context) override;
  int PressRelease(HitContext&) override { return 0; }
  void PressFeedbackOff(HitContext& context) override { PressFeedbackIfInside(context); }
  // Follows the links of the box's element and its ancestors.
  void Activate(DocumentView* view, HitContext* context) override;
  // Message 8 with this box's element inverts the box over the line's
  // whole height.
  std::intptr_t HandleMessage(int x, int y, int ascent, int descent, int message,
                              std::intptr_t argument) override;
};

// Told the distance to the next tab stop by the line it is put on.
class TabBox : public DisplayBox {
 public:
  explicit TabBox(LayoutItem* item) : DisplayBox(item) {}
  int GetWidth() override { return width_; }
  void SetTabGap(int gap) override { width_ = gap; }

 private:
  std::int32_t width_ = 10;
};

// An icon of the view's style sheet by name; stock icon 12 where the sheet
// has no picture for it.
class IconBox : public DisplayBox {
 public:
  IconBox(LayoutItem* item, const char* name);
  int GetAscent() override;
  int GetDescent() override;
  int GetWidth() override;
  void Draw(int x, int y) override;
};

class LinkIconBox : public IconBox {
 public:
  using IconBox::IconBox;
  int GetPointerKind() override { return 1; }
  int PressRange(int x, int y, HitContext& context) override;
  void PressFeedbackOn(HitContext& context) override { PressFeedbackIfInside(context); }
  int PressContinue(HitContext&) override { return 0; }
  void PressFeedbackIfInside(HitContext& context) override;
  int PressRelease(HitContext&) override { return 0; }
  void PressFeedbackOff(HitContext& context) override { PressFeedbackIfInside(context); }
  void Activate(DocumentView* view, HitContext* context) override;
  std::intptr_t HandleMessage(int x, int y, int ascent, int descent, int message,
                              std::intptr_t argument) override;
};

// The current page number or the page count, fixed when the box is made.
class PageNumberBox : public DisplayBox {
 public:
  // Styles: 0 to 25 decimal with at least that many digits (0: no leading
  // zeros); 255 letters, 254 lower-case letters, 253 roman, 252 lower-case
  // roman.
  enum : std::uint8_t { kAlphaUp = 255, kAlphaLow = 254, kRomanUp = 253, kRomanLow = 252 };
  PageNumberBox(LayoutItem* item, std::uint8_t style, std::int32_t number)
      : DisplayBox(item), number_(number), style_(style) {}
  // Writes the text of the number into `buffer` (128 bytes); returns its
  // length.
  int FormatText(char* buffer);
  int GetAscent() override;
  int GetDescent() override;
  int GetWidth() override;
  void Draw(int x, int y) override;

 private:
  std::int32_t number_;
  std::uint8_t style_;
};

}  // namespace qs
