// The layout items of printed pages: forced page breaks, texts for the six
// page positions (header and footer, left, centre and right), page anchors
// and the page numbers of table-of-contents entries, numbered notes, and the
// entries of printed tables of contents with their paragraph box.
#pragma once
#include <cstdint>

#include "layout/layout_item.h"
#include "layout/paragraph_box.h"

namespace qs {

class NavigatorTag;

// The item message that asks for a forced page break before the item.
inline constexpr int kMsgPageBreak = 7;

class PageBreakItem : public LayoutItem {
 public:
  // 1 a plain break, 2 a break that restarts numbering at 1 in arabic
  // numerals, 3 a break into roman numerals.
  PageBreakItem(std::int32_t position, TextFormat* format, std::uint8_t kind)
      : LayoutItem(position, format), kind_(kind) {}
  int BreaksBefore() override { return 1; }
  int SkipForPosition() override { return 1; }
  std::intptr_t HandleMessage(int x, int y, int message, std::intptr_t argument) override;
  std::uint8_t Kind() const { return kind_; }

 private:
  std::uint8_t kind_;
};

// Sets a page text (position 0-5: header left, centre, right, footer left,
// centre, right) when drawn. The text is not copied: it lives as long as
// the item.
class PageTextItem : public LayoutItem {
 public:
  PageTextItem(std::int32_t position, TextFormat* format, const char* text, std::uint8_t slot)
      : LayoutItem(position, format), text_(text), slot_(slot) {}
  int SkipForPosition() override { return 1; }
  void Draw(int x, int y) override;
  const char* Text() const { return text_; }
  std::uint8_t Slot() const { return slot_; }

 private:
  const char* text_;
  std::uint8_t slot_;
};

// The text of an element (at most 60 bytes of it) as a page text.
class PageFieldItem : public LayoutItem {
 public:
  PageFieldItem(DocumentNode* element, TextFormat* format, std::uint8_t slot);
  int SkipForPosition() override { return 1; }
  void Draw(int x, int y) override;
  DocumentNode* GetElement() override { return element_; }
  std::uint8_t Slot() const { return slot_; }
  // The page text: the element's first 60 bytes, cut on a character, with
  // control bytes as blanks.
  static void FieldText(DocumentNode* element, char (&out)[61]);

 private:
  DocumentNode* element_;
  std::uint8_t slot_;
};

// Where an element a table of contents points to begins: records the page
// being laid out when its boxes are made.
class PageAnchorItem : public LayoutItem {
 public:
  PageAnchorItem(std::int32_t position, TextFormat* format, DocumentNode* element,
                 std::int16_t* anchor)
      : LayoutItem(position, format), element_(element), anchor_(anchor) {}
  int SkipForPosition() override { return 1; }
  void MakeBoxes(ListHead& boxes) override;
  DocumentNode* GetElement() override { return element_; }
  void RecordPage(int page) override {
    if (anchor_) *anchor_ = static_cast<std::int16_t>(page);
  }

 private:
  DocumentNode* element_;
  std::int16_t* anchor_;
};

// " n": the page an entry's element was laid out on, " xx" without one.
class TocPageNumberItem : public LayoutItem {
 public:
  TocPageNumberItem(std::int32_t position, TextFormat* format, const std::int16_t* anchor)
      : LayoutItem(position, format), anchor_(anchor) {}
  int GetAscent() override;
  int GetDescent() override;
  int GetWidth() override;
  void Draw(int x, int y) override;
  // The text drawn.
  void Label(char (&out)[16]) const;

 private:
  const std::int16_t* anchor_;
};

// A note's number raised in the text, and again before the note itself.
class NoteMarkItem : public LayoutItem {
 public:
  NoteMarkItem(std::int32_t position, TextFormat* format, int number)
      : LayoutItem(position, format), number_(number) {}
  int GetAscent() override;
  int GetDescent() override;
  int GetWidth() override;
  void Draw(int x, int y) override;
  int Number() const { return number_; }

 private:
  int number_;
};

class NoteItem : public LayoutItem {
 public:
  NoteItem(std::int32_t position, TextFormat* format, NoteMarkItem* mark)
      : LayoutItem(position, format), mark_(mark) {}
  ~NoteItem() override { items.DeleteAll(); }
  int GetAscent() override { return mark_->GetAscent(); }
  int GetDescent() override { return mark_->GetDescent(); }
  int GetWidth() override { return mark_->GetWidth(); }
  void Draw(int x, int y) override { mark_->Draw(x, y); }
  NoteMarkItem* Mark() const { return mark_; }
  // The note's material until the run moves it after the body.
  ListHead items;

 private:
  NoteMarkItem* mark_;
};

// One line of a printed table of contents: its title's items, indented by
// its level.
class TocEntryItem : public LayoutItem {
 public:
  TocEntryItem(std::int32_t position, TextFormat* format, DocumentNode* element,
               NavigatorTag* entry, std::uint8_t level)
      : LayoutItem(position, format), element_(element), entry_(entry), level_(level) {}
  ~TocEntryItem() override { items.DeleteAll(); }
  int BreaksBefore() override { return 1; }
  int GetAscent() override { return 0; }
  int GetDescent() override { return 0; }
  int BaselineOffset() override { return 0; }
  int GetWidth() override;
  int LeftIndent() override;
  int RightIndent() override;
  void MakeBoxes(ListHead& boxes) override;
  DocumentNode* GetElement() override { return element_; }
  NavigatorTag* Entry() const { return entry_; }
  std::uint8_t Level() const { return level_; }
  ListHead items;

 private:
  DocumentNode* element_;
  NavigatorTag* entry_;
  std::uint8_t level_;
};

class TocParagraphBox : public ParagraphBox {
 public:
  // Broken at the device width less (level x 12 + 10) points, drawn
  // indented by (level x 12 + 4) points.
  TocParagraphBox(TocEntryItem* item, int deviceWidth);
  int GetWidth() override { return indent_ + ParagraphBox::GetWidth(); }
  int LeftIndent() override;
  int RightIndent() override;
  int Justify() override { return 0; }
  void SplitAt(int) override {}
  void Draw(int x, int y) override { DrawLines(x + indent_, y); }

 private:
  int indent_;
};

}  // namespace qs
