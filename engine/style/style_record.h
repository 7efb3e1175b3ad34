// A style as text: the style record of 3 rows by 33 slots that a style sheet
// editor shows and edits, the descriptors that say what each slot holds,
// the check of one slot's text, and the conversions between records and
// the property sets of style_rules.h.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qs {

// A record is 99 text pointers, slot = row * 33 + column; each is a copy
// on the engine heap (MemFree) or null for unset. Row 0 is the block
// before the element, row 1 the element's own properties, row 2 the block
// after it.
inline constexpr int kStyleRecordRows = 3;
inline constexpr int kStyleRecordColumns = 33;
inline constexpr int kStyleRecordSlots = kStyleRecordRows * kStyleRecordColumns;

// The columns, in the order of the descriptor table.
enum StyleColumn : int {
  kColVisible, kColIcon, kColText, kColFontOffs, kColJustify, kColBreak, kColFontFamily,
  kColFontSize, kColFontSlant, kColFontWeight, kColFontColor, kColFontScale, kColFontShadow,
  kColShadowColor, kColPageColor, kColAutoNumb, kColAnumbType, kColSpcAbove, kColSpcLeft,
  kColSpcIndent, kColSpcRight, kColSpcBelow, kColLeading, kColTable, kColMath, kColPrnFF,
  kColPrnType, kColRuler, kColLinkSrc, kColLinkDst, kColLine, kColChangeBar, kColWidget,
};

// What kind of text a slot holds.
enum PropertyKind : std::uint32_t {
  kKindEnumeration = 0,  // one of the value names, ignoring case
  kKindIconName = 1,     // name characters only
  kKindText = 2,         // anything
  kKindNumber = 3,       // decimal digits
  kKindLength = 5,       // digits after "+", "-", "+=" or "-="
  kKindShadow = 6,       // two offsets
};

struct PropertyDescriptor {
  std::uint32_t kind;
  const char* const* names;  // the value names (the first has value 1), or null
  std::uint8_t count;
  const char* emptyText;     // the text that means unset
  // The values a number or length may take: its field's range.
  std::int32_t min, max;
};

// The descriptor of column 0-32; null outside.
const PropertyDescriptor* GetPropertyDescriptor(int column);

// Whether `*text` may stand in the column: true for null and for the
// column's empty text (then `*text` becomes null), else by the column's
// kind. A number or length outside its field's range is not valid.
bool IsValidPropertyText(int column, const char** text);
// Two offsets -7 to +7, each after optional blanks and an optional sign,
// with nothing but blanks after the second.
bool IsValidShadowText(const char* text);

// The 1-based position of the text among the names ignoring case; 0 for
// null or a text that is none of them.
int FindValueName(const char* text, const char* const* names, int count);
// None gives 0; "+=n" and "-=n" relative, "+n", "-n" and "n" absolute,
// the value clamped to the field.
std::uint16_t ParseLengthCode(const char* text);
// "%d" of an absolute code, "+=%d" or "-=%d" of a relative one; false,
// with "" written, for any other code. `buffer` holds 16 bytes.
bool FormatLengthCode(std::uint16_t code, char* buffer);
// Case-insensitive equality, null counting as "".
bool EqualsNoCase(const char* a, const char* b);

// All 33 slots of the row null.
bool IsStyleRecordRowEmpty(char* const* record, int row);
// Replaces a slot's text with a copy of `text` (null: unset), freeing the
// old one. False, with the slot unset, when memory is exhausted.
bool SetStyleRecordSlot(char** record, int row, int column, const char* text);
// Frees every text and sets its slot to null.
void FreeStyleRecord(char** record);

}  // namespace qs
