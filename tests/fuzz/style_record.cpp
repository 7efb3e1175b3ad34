// Style records of arbitrary slot texts: the check of each text, and the
// style a record gives. Every stored value stays within its field, a text
// the check accepts is stored as it reads, and a record made from a style
// gives that style again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/strings.h"
#include "style/style_record.h"
#include "style/style_rules.h"

namespace {

using qs::StyleProps;

struct Record {
  Record() { std::memset(slots, 0, sizeof slots); }
  ~Record() { qs::FreeStyleRecord(slots); }
  const char* At(int row, int column) const { return slots[row * qs::kStyleRecordColumns + column]; }
  char* slots[qs::kStyleRecordSlots];
};

void Require(bool condition) {
  if (!condition) std::abort();
}

void CheckFields(const StyleProps& s) {
  Require(s.fontSize == 0 || s.fontSize >= 4);
  Require(s.leading <= 127);
  Require((s.layout & StyleProps::kOffsetMask) != 15);
  for (std::uint16_t code : {s.spaceLeft, s.spaceIndent, s.spaceRight}) {
    const std::uint16_t kind = code & StyleProps::kLengthKindMask;
    Require(code == 0 || kind == StyleProps::kAbsolute || kind == StyleProps::kRelative);
  }
  Require((s.printByte & 0x70) == 0 && (s.printByte & 0x0F) <= 10);
  Require((s.linkByte & 0xC0) == 0 && (s.linkByte & 3) != 3 && (s.linkByte & 0x0C) != 0x0C);
  Require((s.fontByte & 0x80) == 0 && (s.fontByte & StyleProps::kWeightMask) != 0x0C);
  if (s.fontShadow) {
    Require((s.fontShadow >> 4) >= 1 && (s.fontShadow >> 4) <= 15);
    Require((s.fontShadow & 15) >= 1 && (s.fontShadow & 15) <= 15);
  }
}

void CheckStyle(const qs::ElementStyle& s) {
  CheckFields(s);
  Require(s.table <= 13 && s.math <= 7);
  Require((s.numbering & 0x0F) <= 4 && (s.numbering >> 4) <= 7);
  if (s.before) CheckFields(*s.before);
  if (s.after) CheckFields(*s.after);
}

bool SameRecords(const Record& a, const Record& b) {
  for (int i = 0; i < qs::kStyleRecordSlots; ++i) {
    const char* x = a.slots[i];
    const char* y = b.slots[i];
    if ((x == nullptr) != (y == nullptr)) return false;
    if (x && std::strcmp(x, y) != 0) return false;
  }
  return true;
}

// The signed number of a number or length text, its sign and "=" skipped;
// `end` gets the place after its digits.
long long RawNumber(const char* text, const char** end = nullptr) {
  const char* p = text;
  while (*p && qs::HasCharClass(static_cast<unsigned char>(*p), qs::CharTable::kBlank)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p++ == '-';
    if (*p == '=') ++p;
  }
  long long v = 0;
  while (*p >= '0' && *p <= '9' && v < 1000000000) v = v * 10 + (*p++ - '0');
  if (end) *end = p;
  return negative ? -v : v;
}

bool SameShadow(const char* a, const char* b) {
  const char* restA;
  const char* restB;
  long long h1 = RawNumber(a, &restA), h2 = RawNumber(b, &restB);
  return h1 == h2 && RawNumber(restA) == RawNumber(restB);
}

// A text the check accepts, alone in its slot, is stored as it reads.
void CheckAcceptedText(int column, const char* text) {
  const char* checked = text;
  if (!qs::IsValidPropertyText(column, &checked) || !checked) return;
  const qs::PropertyDescriptor* d = qs::GetPropertyDescriptor(column);
  if (d->kind != qs::kKindNumber && d->kind != qs::kKindLength && d->kind != qs::kKindShadow) return;
  const int row = column == qs::kColRuler ? 0 : 1;
  Record record;
  Require(qs::SetStyleRecordSlot(record.slots, row, column, checked));
  qs::ElementStyle style;
  style.FromText(record.slots);
  Record back;
  StyleProps::ToText(style, back.slots);
  const char* out = back.At(row, column);
  if (d->kind == qs::kKindShadow) {
    Require(out && SameShadow(checked, out));
    return;
  }
  const long long value = RawNumber(checked);
  if (d->kind == qs::kKindLength) {
    Require(out != nullptr);
    Require(RawNumber(out) == value);
    const bool relative = std::strchr(checked, '=') != nullptr;
    Require((std::strchr(out, '=') != nullptr) == relative);
    return;
  }
  // 0 is the unset value of these fields.
  if (value == 0 && column != qs::kColRuler) return;
  Require(out != nullptr && RawNumber(out) == value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Slot texts separated by a zero byte, slot by slot from slot 0; a text
  // of the one byte 0x01 is none.
  Record record;
  std::size_t start = 0;
  int slot = 0;
  for (std::size_t i = 0; i <= size && slot < qs::kStyleRecordSlots; ++i) {
    if (i < size && data[i] != 0) continue;
    std::string text(reinterpret_cast<const char*>(data) + start, i - start);
    start = i + 1;
    const int row = slot / qs::kStyleRecordColumns, column = slot % qs::kStyleRecordColumns;
    ++slot;
    if (text == "\x01") continue;
    CheckAcceptedText(column, text.c_str());
    Require(qs::SetStyleRecordSlot(record.slots, row, column, text.c_str()));
  }

  qs::ElementStyle first;
  first.FromText(record.slots);
  CheckStyle(first);
  Record once;
  StyleProps::ToText(first, once.slots);
  // Slots the first record held nonsense in are gone now; from here on the
  // record and the style give each other back.
  qs::ElementStyle second;
  second.FromText(once.slots);
  CheckStyle(second);
  Record twice;
  StyleProps::ToText(second, twice.slots);
  Require(SameRecords(once, twice));
  // Icon names are not checked on their way in: any text may come back.
  for (int column = 0; column < qs::kStyleRecordColumns; ++column) {
    if (column == qs::kColIcon) continue;
    for (int row = 0; row < qs::kStyleRecordRows; ++row) {
      const char* text = twice.At(row, column);
      Require(qs::IsValidPropertyText(column, &text));
    }
  }
  return 0;
}
