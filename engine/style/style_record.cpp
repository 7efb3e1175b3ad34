#include "style/style_record.h"

#include <cstring>

#include "foundation/memory.h"
#include "foundation/strings.h"
#include "sgml/model_names.h"
#include "style/style_rules.h"

namespace qs {

namespace {

const char* const kVisibleNames[] = {"Hide", "Show", "Query"};
const char* const kOffsetNames[] = {"-7", "-6", "-5", "-4", "-3", "-2", "-1", "0",
                                    "1",  "2",  "3",  "4",  "5",  "6",  "7"};
const char* const kJustifyNames[] = {"Left", "Center", "Right"};
const char* const kBreakNames[] = {"Block", "Before", "After", "Inline"};
const char* const kSlantNames[] = {"Roman", "Italic", "Emphas"};
const char* const kWeightNames[] = {"Medium", "Bold"};
const char* const kAutoNumbNames[] = {"Linear", "HZero", "HBlock", "HItem"};
const char* const kAnumbTypeNames[] = {"ARABIC",   "ALPHA-UP", "ALPHA-LW", "ROMAN-UP",
                                       "ROMAN-LW", "MISC1",    "MISC2",    "MISC3"};
const char* const kTableNames[] = {"TBL",    "TBL-NL", "TBL-CALS", "ROW",    "CELL",
                                   "CELL-1", "CELL-2", "CELL-3",   "CELL-4", "CELL-5",
                                   "CELL-6", "CELL-7", "SQ-TBLCELL"};
const char* const kMathNames[] = {"Fraction", "Radical", "Radix", "Superior",
                                  "Inferior", "Above",   "Below"};
const char* const kYesNoNames[] = {"Yes", "No"};
const char* const kPrnTypeNames[] = {"LHEAD", "MHEAD", "RHEAD", "LFOOT",  "MFOOT",
                                     "RFOOT", "HEAD",  "FOOT",  "HEAD-1", "FOOT-1"};
const char* const kLinkNames[] = {"Show", "Suppress"};
const char* const kLineNames[] = {"Over", "Through", "Below"};

template <std::size_t N>
constexpr std::uint8_t Count(const char* const (&)[N]) {
  return static_cast<std::uint8_t>(N);
}

#define QS_NAMES(table) table, Count(table)
constexpr std::int32_t kNoRange = 0;

// The ranges are those of the fields the numbers are stored in, so that a
// valid text never changes on its way into a rule.
const PropertyDescriptor kDescriptors[kStyleRecordColumns] = {
    {kKindEnumeration, QS_NAMES(kVisibleNames), "Inherit", kNoRange, kNoRange},
    {kKindIconName, nullptr, 0, "None", kNoRange, kNoRange},
    {kKindText, nullptr, 0, "None", kNoRange, kNoRange},
    {kKindEnumeration, QS_NAMES(kOffsetNames), "0", kNoRange, kNoRange},
    {kKindEnumeration, QS_NAMES(kJustifyNames), "Inherit", kNoRange, kNoRange},
    {kKindEnumeration, QS_NAMES(kBreakNames), "Block", kNoRange, kNoRange},
    {kKindText, nullptr, 0, "Inherit", kNoRange, kNoRange},
    {kKindNumber, nullptr, 0, "Inherit", 4, 255},                 // FONT-SIZE, 8 bits
    {kKindEnumeration, QS_NAMES(kSlantNames), "Inherit", kNoRange, kNoRange},
    {kKindEnumeration, QS_NAMES(kWeightNames), "Inherit", kNoRange, kNoRange},
    {kKindText, nullptr, 0, "Inherit", kNoRange, kNoRange},
    {kKindNumber, nullptr, 0, "Inherit", 0, 65535},               // FONT-SCALE, 16 bits
    {kKindShadow, nullptr, 0, "Inherit", -7, 7},
    {kKindText, nullptr, 0, "Inherit", kNoRange, kNoRange},
    {kKindText, nullptr, 0, "Inherit", kNoRange, kNoRange},
    {kKindEnumeration, QS_NAMES(kAutoNumbNames), "None", kNoRange, kNoRange},
    {kKindEnumeration, QS_NAMES(kAnumbTypeNames), "None", kNoRange, kNoRange},
    {kKindNumber, nullptr, 0, "0", -32768, 32767},                // SPC-ABOVE, signed 16 bits
    {kKindLength, nullptr, 0, "Inherit", StyleProps::kLengthMin, StyleProps::kLengthMax},
    {kKindLength, nullptr, 0, "Inherit", StyleProps::kLengthMin, StyleProps::kLengthMax},
    {kKindLength, nullptr, 0, "Inherit", StyleProps::kLengthMin, StyleProps::kLengthMax},
    {kKindNumber, nullptr, 0, "0", -32768, 32767},                // SPC-BELOW
    {kKindNumber, nullptr, 0, "Inherit", 0, 127},                 // LEADING
    {kKindEnumeration, QS_NAMES(kTableNames), "None", kNoRange, kNoRange},
    {kKindEnumeration, QS_NAMES(kMathNames), "None", kNoRange, kNoRange},
    {kKindEnumeration, QS_NAMES(kYesNoNames), "No", kNoRange, kNoRange},
    {kKindEnumeration, QS_NAMES(kPrnTypeNames), "None", kNoRange, kNoRange},
    {kKindNumber, nullptr, 0, "No", 0, 254},                      // RULER, stored + 1 in 8 bits
    {kKindEnumeration, QS_NAMES(kLinkNames), "Inherit", kNoRange, kNoRange},
    {kKindEnumeration, QS_NAMES(kLinkNames), "Inherit", kNoRange, kNoRange},
    {kKindEnumeration, QS_NAMES(kLineNames), "Inherit", kNoRange, kNoRange},
    {kKindEnumeration, QS_NAMES(kYesNoNames), "No", kNoRange, kNoRange},
    {kKindText, nullptr, 0, "None", kNoRange, kNoRange},
};
#undef QS_NAMES

bool IsBlank(char c) { return HasCharClass(static_cast<unsigned char>(c), CharTable::kBlank); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

const char* SkipBlanks(const char* p) {
  while (*p && IsBlank(*p)) ++p;
  return p;
}

// Digits at `*p`, saturating far past any field; moves `*p` past them.
std::int64_t ReadDigits(const char** p) {
  std::int64_t v = 0;
  while (IsDigit(**p)) {
    if (v < 1000000000) v = v * 10 + (**p - '0');
    ++*p;
  }
  return v;
}

// A decimal number after blanks and one optional sign; 0 for none or no
// digits.
std::int64_t ReadNumber(const char* text) {
  if (!text) return 0;
  const char* p = SkipBlanks(text);
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  std::int64_t v = ReadDigits(&p);
  return negative ? -v : v;
}

std::int32_t Clamp(std::int64_t v, std::int32_t lo, std::int32_t hi) {
  return static_cast<std::int32_t>(v < lo ? lo : v > hi ? hi : v);
}

// The shadow byte of "h v" (each -7..+7; high nibble h + 8, low v + 8);
// false when the text is not two such offsets.
bool ParseShadow(const char* text, std::uint8_t* code) {
  if (!text) return false;
  const char* p = text;
  int values[2];
  for (int& value : values) {
    p = SkipBlanks(p);
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    if (!IsDigit(*p)) return false;
    std::int64_t v = ReadDigits(&p);
    if (v > 7) return false;
    value = static_cast<int>(negative ? -v : v);
  }
  if (*SkipBlanks(p)) return false;
  *code = static_cast<std::uint8_t>(((values[0] + 8) << 4) | (values[1] + 8));
  return true;
}

// Kinds 3 and 5: digits after blanks (and, for a length or a signed
// field, a sign), then only blanks; the value within the field.
bool IsValidNumberText(const char* text, const PropertyDescriptor& d) {
  const char* p = SkipBlanks(text);
  bool negative = false;
  if (d.kind == kKindLength || d.min < 0) {
    if (*p == '+' || *p == '-') {
      negative = *p++ == '-';
      if (d.kind == kKindLength && *p == '=') ++p;
    }
  }
  if (!IsDigit(*p)) return false;
  std::int64_t v = ReadDigits(&p);
  if (*SkipBlanks(p)) return false;
  if (negative) v = -v;
  return v >= d.min && v <= d.max;
}

const char* NameAt(const char* const* names, int count, int value) {
  return value >= 1 && value <= count ? names[value - 1] : nullptr;
}

const char* ColumnName(int column, int value) {
  const PropertyDescriptor& d = kDescriptors[column];
  return NameAt(d.names, d.count, value);
}

int ColumnValue(char* const* record, int row, int column) {
  const PropertyDescriptor& d = kDescriptors[column];
  return FindValueName(record[row * kStyleRecordColumns + column], d.names, d.count);
}

const char* Slot(char* const* record, int row, int column) {
  return record[row * kStyleRecordColumns + column];
}

void PutName(char** record, int row, int column, int value) {
  if (const char* name = ColumnName(column, value)) SetStyleRecordSlot(record, row, column, name);
}

void PutNumber(char** record, int row, int column, std::int32_t value) {
  char text[16];
  FormatString(text, sizeof text, "%d", value);
  SetStyleRecordSlot(record, row, column, text);
}

void PutText(char** record, int row, int column, const InternedName* name) {
  if (name) SetStyleRecordSlot(record, row, column, NameText(name));
}

void SetInterned(InternedName** field, const char* text) {
  InternedName* value = text ? InternName(text) : nullptr;
  ReleaseName(*field);
  *field = value;
}

}  // namespace

const PropertyDescriptor* GetPropertyDescriptor(int column) {
  return column >= 0 && column < kStyleRecordColumns ? &kDescriptors[column] : nullptr;
}

bool EqualsNoCase(const char* a, const char* b) {
  return CompareStringNoCase(a ? a : "", b ? b : "") == 0;
}

int FindValueName(const char* text, const char* const* names, int count) {
  if (!text || !names) return 0;
  for (int i = 0; i < count; ++i)
    if (CompareStringNoCase(text, names[i]) == 0) return i + 1;
  return 0;
}

bool IsValidShadowText(const char* text) {
  std::uint8_t code;
  return ParseShadow(text, &code);
}

bool IsValidPropertyText(int column, const char** text) {
  const PropertyDescriptor* d = GetPropertyDescriptor(column);
  if (!d || !text) return false;
  if (!*text) return true;
  if (EqualsNoCase(*text, d->emptyText)) {
    *text = nullptr;
    return true;
  }
  const char* t = *text;
  switch (d->kind) {
    case kKindEnumeration: return FindValueName(t, d->names, d->count) != 0;
    case kKindIconName:
      if (!*t) return false;
      for (const char* p = t; *p; ++p)
        if (!HasCharClass(static_cast<unsigned char>(*p), CharTable::kNameChar)) return false;
      return true;
    case kKindText: return true;
    case kKindNumber:
    case kKindLength: return IsValidNumberText(t, *d);
    case kKindShadow: return IsValidShadowText(t);
    default: return false;
  }
}

std::uint16_t ParseLengthCode(const char* text) {
  if (!text) return 0;
  const char* p = SkipBlanks(text);
  std::uint16_t kind = StyleProps::kAbsolute;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p++ == '-';
    if (*p == '=') {
      kind = StyleProps::kRelative;
      ++p;
    }
  }
  std::int64_t v = ReadDigits(&p);
  return StyleProps::MakeLength(
      Clamp(negative ? -v : v, StyleProps::kLengthMin, StyleProps::kLengthMax), kind);
}

bool FormatLengthCode(std::uint16_t code, char* buffer) {
  std::int32_t value = StyleProps::LengthValue(code);
  switch (code & StyleProps::kLengthKindMask) {
    case StyleProps::kAbsolute: FormatString(buffer, 16, "%d", value); return true;
    case StyleProps::kRelative:
      if (value < 0) FormatString(buffer, 16, "-=%d", -value);
      else FormatString(buffer, 16, "+=%d", value);
      return true;
    default: buffer[0] = 0; return false;
  }
}

bool IsStyleRecordRowEmpty(char* const* record, int row) {
  if (!record || row < 0 || row >= kStyleRecordRows) return true;
  for (int c = 0; c < kStyleRecordColumns; ++c)
    if (Slot(record, row, c)) return false;
  return true;
}

bool SetStyleRecordSlot(char** record, int row, int column, const char* text) {
  if (!record || row < 0 || row >= kStyleRecordRows || column < 0 ||
      column >= kStyleRecordColumns)
    return false;
  char** slot = &record[row * kStyleRecordColumns + column];
  char* copy = text ? DuplicateString(text) : nullptr;
  MemFree(*slot);
  *slot = copy;
  return copy || !text;
}

void FreeStyleRecord(char** record) {
  if (!record) return;
  for (int i = 0; i < kStyleRecordSlots; ++i) {
    MemFree(record[i]);
    record[i] = nullptr;
  }
}

// ---- To text ---------------------------------------------------------------------

void StyleProps::PropsToText(char** record, int row) const {
  PutName(record, row, kColVisible, (layout & kVisibleMask) >> 6);
  PutName(record, row, kColJustify, (layout & kJustifyMask) >> 4);
  PutName(record, row, kColFontSlant, fontByte & kSlantMask);
  PutName(record, row, kColFontWeight, (fontByte & kWeightMask) >> 2);
  PutName(record, row, kColLinkSrc, linkByte & kLinkSrcMask);
  PutName(record, row, kColLinkDst, (linkByte & kLinkDstMask) >> 2);
  PutName(record, row, kColLine, (linkByte & kLineMask) >> 4);
  PutName(record, row, kColPrnType, printByte & kPrnTypeMask);
  PutText(record, row, kColIcon, icon);
  PutText(record, row, kColFontFamily, fontFamily);
  PutText(record, row, kColFontColor, fontColor);
  PutText(record, row, kColShadowColor, shadowColor);
  PutText(record, row, kColWidget, widget);
  int offset = layout & kOffsetMask;
  if (offset != kOffsetUnset && offset != 15) PutNumber(record, row, kColFontOffs, offset - 7);
  switch (fontByte & (kBreakBefore | kBreakAfter)) {
    case kBreakBefore: PutName(record, row, kColBreak, 2); break;
    case kBreakAfter: PutName(record, row, kColBreak, 3); break;
    case 0: PutName(record, row, kColBreak, 4); break;
    default: break;  // both: a block, the empty text
  }
  if (fontSize) PutNumber(record, row, kColFontSize, fontSize);
  if (fontScale) PutNumber(record, row, kColFontScale, fontScale);
  if (leading) PutNumber(record, row, kColLeading, leading);
  if (fontShadow) {
    char text[16];
    FormatString(text, sizeof text, "%d %d", (fontShadow >> 4) - 8, (fontShadow & 15) - 8);
    SetStyleRecordSlot(record, row, kColFontShadow, text);
  }
  if (spaceAbove) PutNumber(record, row, kColSpcAbove, spaceAbove);
  if (spaceBelow) PutNumber(record, row, kColSpcBelow, spaceBelow);
  const std::uint16_t lengths[] = {spaceLeft, spaceIndent, spaceRight};
  for (int i = 0; i < 3; ++i) {
    char text[16];
    if (FormatLengthCode(lengths[i], text)) SetStyleRecordSlot(record, row, kColSpcLeft + i, text);
  }
  if (printByte & kPrnFormFeed) PutName(record, row, kColPrnFF, 1);
  if (fontByte & kChangeBar) PutName(record, row, kColChangeBar, 1);
}

void TextBlockStyle::ToText(char** record, int row) const {
  if (char* text = GetText()) {
    SetStyleRecordSlot(record, row, kColText, text);
    MemFree(text);
  }
  if (ruler) PutNumber(record, row, kColRuler, ruler - 1);
  PropsToText(record, row);
}

void StyleProps::ToText(const ElementStyle& style, char** record) {
  if (!record) return;
  style.PropsToText(record, 1);
  PutText(record, 1, kColPageColor, style.pageColor);
  PutName(record, 1, kColTable, style.table);
  PutName(record, 1, kColMath, style.math);
  PutName(record, 1, kColAutoNumb, style.numbering & 0x0F);
  if (int type = style.numbering >> 4; type != 0 && type < 8)
    SetStyleRecordSlot(record, 1, kColAnumbType, kAnumbTypeNames[type]);
  if (style.before) style.before->ToText(record, 0);
  if (style.after) style.after->ToText(record, 2);
}

// ---- From text -------------------------------------------------------------------

void StyleProps::FromText(char* const* record, int row) {
  if (!record) return;
  std::uint8_t breaks = kBreakBefore | kBreakAfter;
  switch (ColumnValue(record, row, kColBreak)) {
    case 2: breaks = kBreakBefore; break;
    case 3: breaks = kBreakAfter; break;
    case 4: breaks = 0; break;
    default: break;
  }
  SetInterned(&icon, Slot(record, row, kColIcon));
  SetInterned(&fontFamily, Slot(record, row, kColFontFamily));
  SetInterned(&fontColor, Slot(record, row, kColFontColor));
  SetInterned(&shadowColor, Slot(record, row, kColShadowColor));
  SetInterned(&widget, Slot(record, row, kColWidget));

  // Numbers past their fields are clamped to them: a record another host
  // filled is not checked slot by slot.
  std::int64_t size = ReadNumber(Slot(record, row, kColFontSize));
  fontSize = static_cast<std::uint8_t>(size ? Clamp(size, 4, 255) : 0);
  fontScale = static_cast<std::uint16_t>(Clamp(ReadNumber(Slot(record, row, kColFontScale)), 0, 65535));
  spaceAbove = static_cast<std::int16_t>(Clamp(ReadNumber(Slot(record, row, kColSpcAbove)), -32768, 32767));
  spaceBelow = static_cast<std::int16_t>(Clamp(ReadNumber(Slot(record, row, kColSpcBelow)), -32768, 32767));
  leading = static_cast<std::uint8_t>(Clamp(ReadNumber(Slot(record, row, kColLeading)), 0, 127));

  int offset = ColumnValue(record, row, kColFontOffs);
  layout = static_cast<std::uint8_t>((offset ? offset - 1 : kOffsetUnset) |
                                     (ColumnValue(record, row, kColJustify) << 4) |
                                     (ColumnValue(record, row, kColVisible) << 6));
  fontByte = static_cast<std::uint8_t>(ColumnValue(record, row, kColFontSlant) |
                                       (ColumnValue(record, row, kColFontWeight) << 2) | breaks);
  if (EqualsNoCase(Slot(record, row, kColChangeBar), "Yes")) fontByte |= kChangeBar;
  printByte = static_cast<std::uint8_t>(ColumnValue(record, row, kColPrnType));
  if (EqualsNoCase(Slot(record, row, kColPrnFF), "Yes")) printByte |= kPrnFormFeed;
  linkByte = static_cast<std::uint8_t>(ColumnValue(record, row, kColLinkSrc) |
                                       (ColumnValue(record, row, kColLinkDst) << 2) |
                                       (ColumnValue(record, row, kColLine) << 4));
  std::uint8_t shadow = 0;
  fontShadow = ParseShadow(Slot(record, row, kColFontShadow), &shadow) ? shadow : 0;
  spaceLeft = ParseLengthCode(Slot(record, row, kColSpcLeft));
  spaceIndent = ParseLengthCode(Slot(record, row, kColSpcIndent));
  spaceRight = ParseLengthCode(Slot(record, row, kColSpcRight));
}

void TextBlockStyle::FromText(char* const* record, int row) {
  if (!record) return;
  SetText(Slot(record, row, kColText));
  const char* rulerText = Slot(record, row, kColRuler);
  ruler = static_cast<std::uint8_t>(rulerText ? Clamp(ReadNumber(rulerText), 0, 254) + 1 : 0);
  StyleProps::FromText(record, row);
}

void ElementStyle::FromText(char* const* record) {
  if (!record) return;
  int type = ColumnValue(record, 1, kColAnumbType);
  StyleProps::FromText(record, 1);
  SetInterned(&pageColor, Slot(record, 1, kColPageColor));
  table = static_cast<std::uint8_t>(ColumnValue(record, 1, kColTable));
  math = static_cast<std::uint8_t>(ColumnValue(record, 1, kColMath));
  numbering = static_cast<std::uint8_t>(ColumnValue(record, 1, kColAutoNumb) |
                                        ((type ? type - 1 : 0) << 4));
  TextBlockStyle** blocks[2] = {&before, &after};
  for (int i = 0; i < 2; ++i) {
    int row = i ? 2 : 0;
    TextBlockStyle*& block = *blocks[i];
    if (IsStyleRecordRowEmpty(record, row)) {
      delete block;
      block = nullptr;
      continue;
    }
    if (!block) block = new TextBlockStyle;
    if (block) block->FromText(record, row);
  }
}

}  // namespace qs
