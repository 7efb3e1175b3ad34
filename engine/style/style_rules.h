// The in-memory model of a style sheet: property sets, computed styles,
// generated-text blocks, rules with their occurrence and context, qualified
// styles, the rules of one tag, and the loaded objects the engine keeps by
// identifier. The sheet itself and its file form are in style_sheet.h.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/containers.h"

namespace qs {

class Document;
class DocumentNode;
class ExternalId;
class InternedName;
class QualifierNode;
class ElementStyle;

// ---- Property sets ---------------------------------------------------------------

// Every property has an unset state; a fresh set has all of them unset.
// Texts are interned names (one use held each), compared by identity.
class StyleProps : public OwnedNode {
 public:
  // Bits of the packed bytes, already shifted.
  enum : std::uint8_t {
    kOffsetMask = 0x0F, kOffsetUnset = 7,
    kJustifyMask = 0x30, kJustifyLeft = 0x10, kJustifyCenter = 0x20, kJustifyRight = 0x30,
    kVisibleMask = 0xC0, kVisibleHide = 0x40, kVisibleShow = 0x80, kVisibleQuery = 0xC0,
  };
  enum : std::uint8_t {
    kSlantMask = 0x03, kSlantRoman = 1, kSlantItalic = 2, kSlantEmphas = 3,
    kWeightMask = 0x0C, kWeightMedium = 0x04, kWeightBold = 0x08,
    kBreakBefore = 0x10, kBreakAfter = 0x20, kChangeBar = 0x40,
  };
  enum : std::uint8_t { kPrnTypeMask = 0x0F, kPrnFormFeed = 0x80 };
  enum : std::uint8_t { kLinkSrcMask = 0x03, kLinkDstMask = 0x0C, kLineMask = 0x30 };
  // Length codes of SPC-LEFT, SPC-INDENT and SPC-RIGHT.
  enum : std::uint16_t { kLengthKindMask = 0xC000, kAbsolute = 0x4000, kRelative = 0x8000 };
  static constexpr int kLengthMin = -8192, kLengthMax = 8191;

  StyleProps() = default;
  ~StyleProps() override;
  virtual bool IsEmpty() const;

  // Text setters intern the text (null stays null) and release the old value.
  void SetIcon(const char* text) { SetName(&icon, text); }
  void SetFontFamily(const char* text) { SetName(&fontFamily, text); }
  void SetFontColor(const char* text) { SetName(&fontColor, text); }
  void SetShadowColor(const char* text) { SetName(&shadowColor, text); }
  void SetWidget(const char* text) { SetName(&widget, text); }
  // Replaces the bits of `mask` in a packed byte with `value` (shifted).
  static void SetBits(std::uint8_t* field, std::uint8_t mask, std::uint8_t value) {
    *field = static_cast<std::uint8_t>((*field & ~mask) | (value & mask));
  }
  // Readers of the packed fields: the masked bits, unshifted (JUSTIFY
  // answers 0x10, 0x20 or 0x30).
  std::uint8_t FontSlant() const { return fontByte & kSlantMask; }
  std::uint8_t FontWeight() const { return fontByte & kWeightMask; }
  std::uint8_t FontOffset() const { return layout & kOffsetMask; }
  std::uint8_t Justify() const { return layout & kJustifyMask; }
  std::uint8_t Visible() const { return layout & kVisibleMask; }
  std::uint8_t ChangeBar() const { return fontByte & kChangeBar; }
  std::uint8_t LinkSourceMode() const { return linkByte & kLinkSrcMask; }
  std::uint8_t LinkTargetMode() const { return linkByte & kLinkDstMask; }
  std::uint8_t LineMode() const { return linkByte & kLineMask; }
  std::uint16_t IndentMode() const { return spaceIndent & kLengthKindMask; }
  std::int32_t IndentValue() const { return LengthValue(spaceIndent); }

  // Each property set in the source replaces this one's (see the file).
  void MergeFrom(const StyleProps& source);

  // The style record form (style_record.h). Row `row` from this set; slots
  // of unset properties are left as they are (callers pass a cleared row).
  void PropsToText(char** record, int row) const;
  // Every property from row `row`: unset slots clear their property.
  void FromText(char* const* record, int row);
  // Row 1 from the style, rows 0 and 2 from its blocks.
  static void ToText(const ElementStyle& style, char** record);

  // A length code from a value (clamped to -8192..8191) and its kind.
  static std::uint16_t MakeLength(std::int32_t value, std::uint16_t kind);
  static std::int32_t LengthValue(std::uint16_t code) { return (code & 0x3FFF) - 8192; }

  InternedName* icon = nullptr;
  InternedName* fontFamily = nullptr;
  InternedName* fontColor = nullptr;
  InternedName* shadowColor = nullptr;
  InternedName* widget = nullptr;
  std::uint16_t fontScale = 0;
  std::uint8_t layout = kOffsetUnset;
  std::uint8_t fontSize = 0;
  std::uint8_t fontByte = kBreakBefore | kBreakAfter;
  std::uint8_t fontShadow = 0;
  std::uint8_t leading = 0;
  std::uint8_t printByte = 0;
  std::uint8_t linkByte = 0;
  std::int16_t spaceAbove = 0;
  std::int16_t spaceBelow = 0;
  std::uint16_t spaceLeft = 0;
  std::uint16_t spaceIndent = 0;
  std::uint16_t spaceRight = 0;

 protected:
  static void SetName(InternedName** field, const char* text);
  static void ShareName(InternedName** field, InternedName* value);
};

// One line of generated text: an interned text, or none for an empty line.
class TextLine : public SListNode {
 public:
  explicit TextLine(InternedName* text) : text(text) {}  // takes the use
  ~TextLine() override;
  InternedName* text;
  // Whether the text shows the page count: 0 not looked at yet, 1 it does,
  // 2 it does not (generated-text items look once).
  std::uint8_t pageCountScan = 0;
};

// Generated text before or after an element, with its own font.
class TextBlockStyle : public StyleProps {
 public:
  explicit TextBlockStyle(const char* text = nullptr) { SetText(text); }
  ~TextBlockStyle() override;
  bool IsEmpty() const override;

  // Replaces all lines: "\n" (a backslash not after a backslash, "n", and
  // then no lower-case letter) breaks a line; one ";" after it is dropped.
  void SetText(const char* text);
  // The lines joined with "\n;" (owned, MemFree), or none when empty.
  char* GetText() const;
  void MergeFrom(const TextBlockStyle& source);
  // The block's TEXT and RULER slots and then its properties, in `row`.
  void ToText(char** record, int row) const;
  void FromText(char* const* record, int row);
  TextLine* FirstLine() const { return static_cast<TextLine*>(lines_.First()); }
  bool HasLines() const { return !lines_.IsEmpty(); }
  void ClearLines();
  // Ruler number + 1; 0 for no ruler.
  std::uint8_t ruler = 0;

 private:
  void AppendLine(InternedName* text);
  SList lines_;
  TextLine* last_ = nullptr;
};

// A computed style, and the base of rules and qualified styles.
class ElementStyle : public StyleProps {
 public:
  ElementStyle() = default;
  ~ElementStyle() override;
  void MergeFrom(const ElementStyle& source);
  // Every property, the roles and the blocks from a style record: a row
  // without text removes its block.
  void FromText(char* const* record);
  void SetPageColor(const char* text) { SetName(&pageColor, text); }
  TextBlockStyle* EnsureBefore();
  TextBlockStyle* EnsureAfter();
  void DropEmptyBefore();
  void DropEmptyAfter();

  // The generated-text setters of one block (0 before, "A-"; 1 after, "Z-"):
  // the block is made when a value is set and dropped when it ends empty.
  // A text or name passed in is interned already; its use passes over.
  enum BlockField { kText, kFamily, kSize, kSlant, kWeight, kColor, kScale, kOffset, kRuler };
  void SetBlockText(int which, InternedName* value, BlockField field);
  void SetBlockNumber(int which, int value, BlockField field);
  TextBlockStyle* Block(int which) const { return which ? after : before; }

  InternedName* pageColor = nullptr;
  std::uint8_t table = 0;
  std::uint8_t numbering = 0;  // low nibble AUTO-NUMB, high nibble ANUMB-TYPE
  std::uint8_t math = 0;
  std::uint16_t counter = 0;   // low 13 bits the count, top 3 the style
  TextBlockStyle* before = nullptr;
  TextBlockStyle* after = nullptr;

 private:
  TextBlockStyle** BlockSlot(int which) { return which ? &after : &before; }
};

class StyleRule;

// A style that applies where its qualifier holds for the element.
class QualStyle : public ElementStyle {
 public:
  // Takes over the compiled qualifier; copies the text.
  QualStyle(const char* text, QualifierNode* qualifier);
  ~QualStyle() override;
  const char* Text() const { return text_; }
  QualifierNode* Qualifier() const { return qualifier_; }

 private:
  char* text_;
  QualifierNode* qualifier_;
};

// Occurrence values; 0 is every occurrence.
enum : std::uint8_t {
  kOccurAll = 0, kOccurFirst, kOccurMiddle, kOccurLast, kOccurNonFirst, kOccurNonMiddle,
  kOccurNonLast,
};
// "First" ... "Non-Last" for 1-6, null otherwise.
const char* OccurrenceName(int occurrence);
// 1-6 for those names (ignoring case), else 0.
int OccurrenceFromName(const char* name);

class StyleRule : public ElementStyle {
 public:
  // `tagList`: the element type last, its ancestors before it, outermost
  // first ("CHAPTER,SECTION,TITLE"), or "#" and an attribute name last.
  StyleRule(const char* tagList, std::uint8_t occurrence);
  ~StyleRule() override;
  const char* Tag() const { return tag_; }
  const char* Context() const { return context_; }  // innermost first, or none
  std::uint8_t Occurrence() const { return occurrence_; }

  bool MatchesOccurrence(const DocumentNode* element) const;
  // The qualified style of that text (ignoring case), else a new one at the
  // end of the list; none when the text does not compile (error 28).
  QualStyle* AddQualStyle(const char* text);
  QualStyle* FindQualStyle(const char* text) const;
  void RemoveQualStyle(const char* text);
  QualStyle* FirstQual() const { return static_cast<QualStyle*>(quals_.First()); }
  static QualStyle* NextQual(const QualStyle* q) { return static_cast<QualStyle*>(q->Next()); }

 private:
  char* tag_ = nullptr;
  char* context_ = nullptr;
  std::uint8_t occurrence_;
  OwnedList quals_{true};
};

// The rules of one tag, in lookup order.
class StyleTagEntry : public HashItem {
 public:
  explicit StyleTagEntry(StyleRule* first);
  ~StyleTagEntry() override;
  const char* GetKey() const override { return key_; }
  std::size_t GetKeyLength() const override { return length_; }

  // Ordered insertion; a rule of the same context and occurrence as one
  // present is destroyed and the present one returned.
  StyleRule* AddRule(StyleRule* rule);
  // The first rule whose occurrence and context hold.
  StyleRule* FindForElement(const DocumentNode* element) const;
  // The first rule whose context holds counted from the element itself.
  StyleRule* FindForAttributeElement(const DocumentNode* element) const;
  void ResetCounters();
  StyleRule* First() const { return static_cast<StyleRule*>(rules_.First()); }
  static StyleRule* Next(const StyleRule* r) { return static_cast<StyleRule*>(r->Next()); }

 private:
  char* key_;
  std::size_t length_;
  OwnedList rules_{true};
};

// ---- Numbers and tag lists --------------------------------------------------------

// The label of a numbering value (low 13 bits the count, top 3 the style)
// into `buffer` (at least 256 bytes); returns the position of its NUL.
char* FormatNumber(std::uint16_t value, char* buffer);
// Roman numerals of 1-3999 (0 gives ""); false, with nothing written, past.
bool FormatRoman(int number, char* buffer);
// A, B, ... Z, AA, AB ... for 0, 1, ...
void FormatAlpha(int number, char* buffer);
// The comma-separated items of the list in reverse order.
void ReverseCommaList(const char* list, char* buffer);
// Tag and context back to the outermost-first list (owned, MemFree).
char* JoinTagList(const char* tag, const char* context);

// ---- Loaded objects ---------------------------------------------------------------

// An object loaded from an external identifier and kept in one of the
// engine's lists: style sheets and navigator definitions.
class LoadedObject : public ObjectListItem {
 public:
  explicit LoadedObject(ExternalId* id);  // takes a use of the identifier
  ~LoadedObject() override;
  ExternalId* Id() const { return id_; }
  void SetId(ExternalId* id);
  bool MayRelease() const override { return IsUnused(); }
  virtual bool IsUnused() const { return true; }

 private:
  ExternalId* id_;
};

}  // namespace qs
