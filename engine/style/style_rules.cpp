#include "style/style_rules.h"

#include <cstring>

#include "addressing/qualifier.h"
#include "foundation/engine_services.h"
#include "foundation/names.h"
#include "foundation/strings.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/external_id.h"
#include "sgml/model_names.h"

namespace qs {

// ---- StyleProps ----------------------------------------------------------------

StyleProps::~StyleProps() {
  ReleaseName(icon);
  ReleaseName(fontFamily);
  ReleaseName(fontColor);
  ReleaseName(shadowColor);
  ReleaseName(widget);
}

void StyleProps::SetName(InternedName** field, const char* text) {
  InternedName* name = text ? InternName(text) : nullptr;
  ReleaseName(*field);
  *field = name;
}

void StyleProps::ShareName(InternedName** field, InternedName* value) {
  AddNameUse(value);
  ReleaseName(*field);
  *field = value;
}

bool StyleProps::IsEmpty() const {
  return !icon && !fontFamily && !fontColor && !shadowColor && !widget && !fontScale &&
         !fontSize && !fontShadow && !leading && !printByte && !linkByte && !spaceAbove &&
         !spaceBelow && !spaceLeft && !spaceIndent && !spaceRight && layout == kOffsetUnset &&
         fontByte == (kBreakBefore | kBreakAfter);
}

std::uint16_t StyleProps::MakeLength(std::int32_t value, std::uint16_t kind) {
  if (value < kLengthMin) value = kLengthMin;
  if (value > kLengthMax) value = kLengthMax;
  return static_cast<std::uint16_t>((value + 8192) | kind);
}

void StyleProps::MergeFrom(const StyleProps& s) {
  if (s.icon) ShareName(&icon, s.icon);
  if (s.fontFamily) ShareName(&fontFamily, s.fontFamily);
  if (s.fontColor) ShareName(&fontColor, s.fontColor);
  if (s.shadowColor) ShareName(&shadowColor, s.shadowColor);
  if (s.widget) ShareName(&widget, s.widget);
  if (s.fontScale) fontScale = s.fontScale;
  if ((s.layout & kOffsetMask) != kOffsetUnset) SetBits(&layout, kOffsetMask, s.layout);
  if (s.layout & kJustifyMask) SetBits(&layout, kJustifyMask, s.layout);
  if (s.layout & kVisibleMask) SetBits(&layout, kVisibleMask, s.layout);
  if (s.fontSize) fontSize = s.fontSize;
  if (s.fontByte & kSlantMask) SetBits(&fontByte, kSlantMask, s.fontByte);
  if (s.fontByte & kWeightMask) SetBits(&fontByte, kWeightMask, s.fontByte);
  // A computed style breaks only where every merged source breaks.
  if (!(s.fontByte & kBreakBefore)) fontByte &= ~kBreakBefore;
  if (!(s.fontByte & kBreakAfter)) fontByte &= ~kBreakAfter;
  fontByte |= s.fontByte & kChangeBar;
  if (s.fontShadow) fontShadow = s.fontShadow;
  if (s.leading) leading = s.leading;
  if (s.printByte & kPrnTypeMask) SetBits(&printByte, kPrnTypeMask, s.printByte);
  printByte |= s.printByte & kPrnFormFeed;
  if (s.linkByte & kLinkSrcMask) SetBits(&linkByte, kLinkSrcMask, s.linkByte);
  if (s.linkByte & kLinkDstMask) SetBits(&linkByte, kLinkDstMask, s.linkByte);
  if (s.linkByte & kLineMask) SetBits(&linkByte, kLineMask, s.linkByte);
  if (s.spaceAbove) spaceAbove = s.spaceAbove;
  if (s.spaceBelow) spaceBelow = s.spaceBelow;
  if (s.spaceLeft) spaceLeft = s.spaceLeft;
  if (s.spaceIndent) spaceIndent = s.spaceIndent;
  if (s.spaceRight) spaceRight = s.spaceRight;
}

// ---- Generated text ------------------------------------------------------------

TextLine::~TextLine() { ReleaseName(text); }

TextBlockStyle::~TextBlockStyle() { ClearLines(); }

void TextBlockStyle::ClearLines() {
  lines_.DeleteAll();
  last_ = nullptr;
}

void TextBlockStyle::AppendLine(InternedName* text) {
  auto* line = new TextLine(text);
  if (!line) {
    ReleaseName(text);
    return;
  }
  if (last_) last_->SetNext(line);
  else lines_.Prepend(line);
  last_ = line;
}

bool TextBlockStyle::IsEmpty() const {
  return lines_.IsEmpty() && ruler == 0 && StyleProps::IsEmpty();
}

void TextBlockStyle::SetText(const char* text) {
  ClearLines();
  if (!text || !*text) return;
  std::size_t n = std::strlen(text);
  char* piece = static_cast<char*>(MemAlloc(n + 1));
  if (!piece) return;
  std::size_t start = 0;
  for (std::size_t i = 0; i < n; ++i) {
    bool escaped = i > 0 && text[i - 1] == '\\';
    if (text[i] != '\\' || escaped || text[i + 1] != 'n') continue;
    if (text[i + 2] >= 'a' && text[i + 2] <= 'z') continue;
    std::memcpy(piece, text + start, i - start);
    piece[i - start] = 0;
    AppendLine(i > start ? InternName(piece) : nullptr);
    i += 1;  // past the 'n'
    if (text[i + 1] == ';') ++i;
    start = i + 1;
  }
  std::memcpy(piece, text + start, n - start);
  piece[n - start] = 0;
  AppendLine(n > start ? InternName(piece) : nullptr);
  MemFree(piece);
}

char* TextBlockStyle::GetText() const {
  std::size_t total = 0;
  for (TextLine* l = FirstLine(); l; l = static_cast<TextLine*>(l->Next())) {
    if (l != FirstLine()) total += 3;
    total += NameLength(l->text);
  }
  if (total == 0) return nullptr;
  char* text = static_cast<char*>(MemAlloc(total + 1));
  if (!text) return nullptr;
  char* p = text;
  for (TextLine* l = FirstLine(); l; l = static_cast<TextLine*>(l->Next())) {
    if (l != FirstLine()) {
      std::memcpy(p, "\\n;", 3);
      p += 3;
    }
    std::size_t len = NameLength(l->text);
    if (len) std::memcpy(p, NameText(l->text), len);
    p += len;
  }
  *p = 0;
  return text;
}

void TextBlockStyle::MergeFrom(const TextBlockStyle& source) {
  if (source.HasLines()) {
    ClearLines();
    for (TextLine* l = source.FirstLine(); l; l = static_cast<TextLine*>(l->Next()))
      AppendLine(AddNameUse(l->text));
  }
  if (source.ruler) ruler = source.ruler;
  StyleProps::MergeFrom(source);
}

// ---- ElementStyle ----------------------------------------------------------------

ElementStyle::~ElementStyle() {
  ReleaseName(pageColor);
  delete before;
  delete after;
}

TextBlockStyle* ElementStyle::EnsureBefore() {
  if (!before) before = new TextBlockStyle;
  return before;
}

TextBlockStyle* ElementStyle::EnsureAfter() {
  if (!after) after = new TextBlockStyle;
  return after;
}

void ElementStyle::DropEmptyBefore() {
  if (before && before->IsEmpty()) {
    delete before;
    before = nullptr;
  }
}

void ElementStyle::DropEmptyAfter() {
  if (after && after->IsEmpty()) {
    delete after;
    after = nullptr;
  }
}

void ElementStyle::MergeFrom(const ElementStyle& s) {
  if (s.pageColor) ShareName(&pageColor, s.pageColor);
  if (s.table) table = s.table;
  if (s.numbering) numbering = s.numbering;
  if (s.math) math = s.math;
  if (s.before)
    if (TextBlockStyle* b = EnsureBefore()) b->MergeFrom(*s.before);
  if (s.after)
    if (TextBlockStyle* a = EnsureAfter()) a->MergeFrom(*s.after);
  StyleProps::MergeFrom(s);
}

void ElementStyle::SetBlockText(int which, InternedName* value, BlockField field) {
  TextBlockStyle** slot = BlockSlot(which);
  if (!value && !*slot) return;
  TextBlockStyle* block = which ? EnsureAfter() : EnsureBefore();
  if (!block) {
    ReleaseName(value);
    return;
  }
  InternedName** target = nullptr;
  switch (field) {
    case kText:
      block->ClearLines();
      if (value) block->SetText(NameText(value));
      ReleaseName(value);
      break;
    case kFamily: target = &block->fontFamily; break;
    case kColor: target = &block->fontColor; break;
    default: ReleaseName(value); break;
  }
  if (target) {
    ReleaseName(*target);
    *target = value;
  }
  if (which) DropEmptyAfter();
  else DropEmptyBefore();
}

void ElementStyle::SetBlockNumber(int which, int value, BlockField field) {
  TextBlockStyle** slot = BlockSlot(which);
  bool unset = field == kOffset ? (value & kOffsetMask) == kOffsetUnset : value == 0;
  if (unset && !*slot) return;
  TextBlockStyle* block = which ? EnsureAfter() : EnsureBefore();
  if (!block) return;
  switch (field) {
    case kSize: block->fontSize = static_cast<std::uint8_t>(value); break;
    case kSlant: SetBits(&block->fontByte, kSlantMask, static_cast<std::uint8_t>(value)); break;
    case kWeight: SetBits(&block->fontByte, kWeightMask, static_cast<std::uint8_t>(value)); break;
    case kScale: block->fontScale = static_cast<std::uint16_t>(value); break;
    case kOffset: SetBits(&block->layout, kOffsetMask, static_cast<std::uint8_t>(value)); break;
    case kRuler: block->ruler = static_cast<std::uint8_t>(value); break;
    default: break;
  }
  if (which) DropEmptyAfter();
  else DropEmptyBefore();
}

// ---- Rules -------------------------------------------------------------------------

namespace {
const char* const kOccurrenceNames[] = {"First",     "Middle",     "Last",
                                        "Non-First", "Non-Middle", "Non-Last"};
}

const char* OccurrenceName(int occurrence) {
  return occurrence >= 1 && occurrence <= 6 ? kOccurrenceNames[occurrence - 1] : nullptr;
}

int OccurrenceFromName(const char* name) {
  if (!name) return 0;
  for (int i = 0; i < 6; ++i)
    if (CompareStringNoCase(name, kOccurrenceNames[i]) == 0) return i + 1;
  return 0;
}

QualStyle::QualStyle(const char* text, QualifierNode* qualifier)
    : text_(DuplicateString(text ? text : "")), qualifier_(qualifier) {}

QualStyle::~QualStyle() {
  MemFree(text_);
  delete qualifier_;
}

StyleRule::StyleRule(const char* tagList, std::uint8_t occurrence) : occurrence_(occurrence) {
  const char* list = tagList ? tagList : "";
  std::size_t n = std::strlen(list);
  char* reversed = static_cast<char*>(MemAlloc(n + 1));
  if (!reversed) return;
  ReverseCommaList(list, reversed);
  char* comma = std::strchr(reversed, ',');
  if (comma) {
    *comma = 0;
    if (comma[1]) context_ = DuplicateString(comma + 1);
  }
  tag_ = DuplicateString(reversed);
  MemFree(reversed);
}

StyleRule::~StyleRule() {
  quals_.Clear();
  MemFree(tag_);
  MemFree(context_);
}

bool StyleRule::MatchesOccurrence(const DocumentNode* element) const {
  const DocumentNode* prev = element->Prev();
  const DocumentNode* next = element->Next();
  auto same = [element](const DocumentNode* sibling) {
    return sibling && sibling->Decl() && element->Decl() &&
           sibling->Decl()->Name() == element->Decl()->Name();
  };
  bool p = same(prev);
  bool n = same(next);
  switch (occurrence_) {
    case kOccurFirst: if (p) return false; break;
    case kOccurMiddle: if (!(p && n)) return false; break;
    case kOccurLast: if (n) return false; break;
    case kOccurNonFirst: if (!p) return false; break;
    case kOccurNonMiddle: if (p && n) return false; break;
    case kOccurNonLast: if (!n) return false; break;
    default: break;
  }
  return element->MatchesContext(context_);
}

QualStyle* StyleRule::FindQualStyle(const char* text) const {
  for (QualStyle* q = FirstQual(); q; q = NextQual(q))
    if (CompareStringNoCase(q->Text(), text ? text : "") == 0) return q;
  return nullptr;
}

QualStyle* StyleRule::AddQualStyle(const char* text) {
  if (QualStyle* found = FindQualStyle(text)) return found;
  QualifierNode* qualifier = ParseQualifierExpression(text);
  if (!qualifier) return nullptr;
  auto* q = new QualStyle(text, qualifier);
  if (!q) {
    delete qualifier;
    return nullptr;
  }
  quals_.Append(q);
  return q;
}

void StyleRule::RemoveQualStyle(const char* text) { delete FindQualStyle(text); }

// ---- Tag entries ----------------------------------------------------------------------

StyleTagEntry::StyleTagEntry(StyleRule* first)
    : key_(DuplicateString(first->Tag() ? first->Tag() : "")),
      length_(key_ ? std::strlen(key_) : 0) {
  rules_.Append(first);
}

StyleTagEntry::~StyleTagEntry() {
  rules_.Clear();
  MemFree(key_);
}

namespace {
int CompareContexts(const char* a, const char* b) {
  return CompareStrings(a ? a : "", b ? b : "");
}
}  // namespace

StyleRule* StyleTagEntry::AddRule(StyleRule* rule) {
  for (StyleRule* r = static_cast<StyleRule*>(rules_.Last()); r;
       r = static_cast<StyleRule*>(r->Prev())) {
    int c = CompareContexts(r->Context(), rule->Context());
    if (c == 0 && r->Occurrence() == rule->Occurrence()) {
      delete rule;
      return r;
    }
    if (c > 0 || (c == 0 && r->Occurrence() > rule->Occurrence())) {
      r->InsertAfter(rule);
      return rule;
    }
  }
  rules_.Prepend(rule);
  return rule;
}

StyleRule* StyleTagEntry::FindForElement(const DocumentNode* element) const {
  for (StyleRule* r = First(); r; r = Next(r))
    if (r->MatchesOccurrence(element)) return r;
  return nullptr;
}

StyleRule* StyleTagEntry::FindForAttributeElement(const DocumentNode* element) const {
  for (StyleRule* r = First(); r; r = Next(r))
    if (element->MatchesContextFromSelf(r->Context())) return r;
  return nullptr;
}

void StyleTagEntry::ResetCounters() {
  for (StyleRule* r = First(); r; r = Next(r)) r->counter = 0;
}

// ---- Numbers -------------------------------------------------------------------------------

bool FormatRoman(int n, char* buffer) {
  static const char* const kThousands[] = {"", "M", "MM", "MMM"};
  static const char* const kHundreds[] = {"", "C", "CC", "CCC", "CD", "D", "DC", "DCC", "DCCC", "CM"};
  static const char* const kTens[] = {"", "X", "XX", "XXX", "XL", "L", "LX", "LXX", "LXXX", "XC"};
  static const char* const kUnits[] = {"", "I", "II", "III", "IV", "V", "VI", "VII", "VIII", "IX"};
  if (n < 0 || n > 3999) return false;
  buffer[0] = 0;
  std::strcat(buffer, kThousands[n / 1000]);
  std::strcat(buffer, kHundreds[n / 100 % 10]);
  std::strcat(buffer, kTens[n / 10 % 10]);
  std::strcat(buffer, kUnits[n % 10]);
  return true;
}

void FormatAlpha(int n, char* buffer) {
  char reversed[16];
  int count = 0;
  // n / 26 - 1 first, then the letter of n mod 26: a bijective base 26.
  for (;;) {
    reversed[count++] = static_cast<char>('A' + n % 26);
    if (n < 26) break;
    n = n / 26 - 1;
  }
  for (int i = 0; i < count; ++i) buffer[i] = reversed[count - 1 - i];
  buffer[count] = 0;
}

char* FormatNumber(std::uint16_t value, char* buffer) {
  int count = value & 0x1FFF;
  int style = value >> 13;
  bool done = false;
  switch (style) {
    case 1:
    case 2:
      if (count >= 1) {
        FormatAlpha(count - 1, buffer);
        if (style == 2) LowercaseString(buffer);
        done = true;
      }
      break;
    case 3:
    case 4:
      if (count >= 1 && FormatRoman(count, buffer)) {
        if (style == 4) LowercaseString(buffer);
        done = true;
      }
      break;
    case 5:
    case 6:
    case 7: {
      // The host's radix: 1 binary, 2 octal, 3 hexadecimal.
      buffer[0] = 0;
      std::intptr_t request = count + (static_cast<std::intptr_t>(style - 4) << 28);
      if (GetEngineServices().HostEvent(0, 44, request, reinterpret_cast<std::intptr_t>(buffer)) &&
          buffer[0]) {
        buffer[255] = 0;
        done = true;
      }
      break;
    }
    default: break;
  }
  if (!done) FormatString(buffer, 256, "%d", count);
  return buffer + std::strlen(buffer);
}

void ReverseCommaList(const char* list, char* buffer) {
  std::size_t n = std::strlen(list);
  char* out = buffer;
  std::size_t end = n;
  for (std::size_t i = n; i-- > 0;) {
    if (list[i] == ',') {
      std::memcpy(out, list + i + 1, end - i - 1);
      out += end - i - 1;
      *out++ = ',';
      end = i;
    }
  }
  std::memcpy(out, list, end);
  out[end] = 0;
}

char* JoinTagList(const char* tag, const char* context) {
  if (!context || !*context) return DuplicateString(tag ? tag : "");
  std::size_t n = std::strlen(tag) + std::strlen(context) + 2;
  char* joined = static_cast<char*>(MemAlloc(n));
  char* reversed = static_cast<char*>(MemAlloc(n));
  if (!joined || !reversed) {
    MemFree(joined);
    MemFree(reversed);
    return nullptr;
  }
  FormatString(joined, n, "%s,%s", tag, context);
  ReverseCommaList(joined, reversed);
  MemFree(joined);
  return reversed;
}

// ---- Loaded objects ------------------------------------------------------------------------

LoadedObject::LoadedObject(ExternalId* id) : id_(id ? id->AddRef() : nullptr) {}

LoadedObject::~LoadedObject() {
  if (id_) id_->Release();
}

void LoadedObject::SetId(ExternalId* id) {
  if (id) id->AddRef();
  if (id_) id_->Release();
  id_ = id;
}

}  // namespace qs
