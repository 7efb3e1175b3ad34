#include "style/style_sheet.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "foundation/engine.h"
#include "foundation/engine_services.h"
#include "foundation/names.h"
#include "foundation/strings.h"
#include "foundation/text_writer.h"
#include "sgml/attributes.h"
#include "sgml/catalog.h"
#include "sgml/document.h"
#include "sgml/document_cache.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/external_id.h"
#include "sgml/model_names.h"

namespace qs {

const char kStyleSheetPublicId[] = "-//Quenda//DTD Stylesheet v2.00//EN";
const char kNavigatorPublicId[] = "-//Quenda//DTD Navigator v2.00//EN";

// ---- Text buffer -------------------------------------------------------------

TextBuffer::~TextBuffer() { MemFree(data_); }

void TextBuffer::Put(const char* text, std::size_t n) {
  if (failed_ || n == 0) return;
  if (length_ + n + 1 > capacity_) {
    std::size_t capacity = capacity_ ? capacity_ : 256;
    while (capacity < length_ + n + 1) capacity *= 2;
    char* grown = static_cast<char*>(MemAlloc(capacity));
    if (!grown) {
      failed_ = true;
      return;
    }
    if (length_) std::memcpy(grown, data_, length_);
    MemFree(data_);
    data_ = grown;
    capacity_ = capacity;
  }
  std::memcpy(data_ + length_, text, n);
  length_ += n;
  data_[length_] = 0;
}

void TextBuffer::Put(const char* text) {
  if (text) Put(text, std::strlen(text));
}

void TextBuffer::Printf(const char* format, ...) {
  char line[600];
  std::va_list args;
  va_start(args, format);
  std::size_t n = FormatStringV(line, sizeof line, format, args);
  va_end(args);
  Put(line, n);
}

void TextBuffer::PutQuoted(const char* value) {
  if (!value) value = "";
  if (!std::strchr(value, '"')) {
    PutChar('"');
    Put(value);
    PutChar('"');
  } else if (!std::strchr(value, '\'')) {
    PutChar('\'');
    Put(value);
    PutChar('\'');
  } else {
    PutChar('"');
    for (const char* p = value; *p; ++p) {
      if (*p == '"') Put("&#34;");
      else PutChar(*p);
    }
    PutChar('"');
  }
}

bool TextBuffer::WriteFile(const char* path) const {
  if (failed_ || !path) return false;
  TextWriter writer(path, true);
  if (!writer.ok()) return false;
  for (std::size_t i = 0; i < length_; ++i) writer.PutChar(static_cast<std::uint8_t>(data_[i]));
  return writer.Close();
}

namespace {

}  // namespace

void PutAttributeValue(TextBuffer& out, const char* text, bool escapeApostrophe) {
  out.PutChar('"');
  for (const char* p = text ? text : ""; *p; ++p) {
    switch (*p) {
      case '\t': out.Put("&T;"); break;
      case '"': out.Put("&Q;"); break;
      case '&': out.Put("&A;"); break;
      case '\'':
        if (escapeApostrophe) out.Put("&q;");
        else out.PutChar(*p);
        break;
      default: out.PutChar(*p);
    }
  }
  out.PutChar('"');
}

namespace {

void PutValue(TextBuffer& out, const char* text, bool escapeApostrophe = false) {
  PutAttributeValue(out, text, escapeApostrophe);
}

// ---- Value names -------------------------------------------------------------

const char* const kSlants[] = {"Roman", "Italic", "Emphas"};
const char* const kWeights[] = {"Medium", "Bold"};
const char* const kJustify[] = {"Left", "Center", "Right"};
const char* const kVisible[] = {"Hide", "Show", "Query"};
const char* const kLinkModes[] = {"Show", "Suppress"};
const char* const kLines[] = {"Over", "Through", "Below"};
const char* const kPrnTypes[] = {"LHEAD", "MHEAD", "RHEAD", "LFOOT", "MFOOT",
                                 "RFOOT", "HEAD",  "FOOT",  "HEAD-1", "FOOT-1"};
const char* const kTables[] = {"TBL",    "TBL-NL", "TBL-CALS", "ROW",    "CELL",
                               "CELL-1", "CELL-2", "CELL-3",   "CELL-4", "CELL-5",
                               "CELL-6", "CELL-7", "SQ-TBLCELL"};
const char* const kMaths[] = {"Fraction", "Radical", "Radix", "Superior",
                              "Inferior", "Above",   "Below"};
const char* const kAutoNumb[] = {"Linear", "HZero", "HBlock", "HItem"};
const char* const kAnumbTypes[] = {"ARABIC",   "ALPHA-UP", "ALPHA-LW", "ROMAN-UP",
                                   "ROMAN-LW", "MISC1",    "MISC2",    "MISC3"};

template <std::size_t N>
int NameIndex(const char* const (&names)[N], const char* text) {
  if (!text) return 0;
  for (std::size_t i = 0; i < N; ++i)
    if (CompareStringNoCase(text, names[i]) == 0) return static_cast<int>(i + 1);
  return 0;
}

template <std::size_t N>
const char* NameOf(const char* const (&names)[N], int value) {
  return value >= 1 && static_cast<std::size_t>(value) <= N ? names[value - 1] : nullptr;
}

// ---- Keywords ------------------------------------------------------------------

enum Keyword {
  kNoKeyword,
  kAttrStyle, kQualStyle, kBefore, kAfter,
  kFontFamily, kFontSize, kFontSlant, kFontWeight, kFontColor, kShadowColor, kFontScale,
  kFontShadow, kPageColor, kFontOffs, kJustifyKw, kLeading, kAutoNumbKw, kAnumbType,
  kSpcAbove, kSpcLeft, kSpcIndent, kSpcRight, kSpcBelow, kBreakBeforeKw, kBreakAfterKw,
  kVisibleKw, kIcon, kWidget, kTable, kMath, kLinkSrc, kLinkDst, kLine, kChangeBarKw,
  kPrnFF, kPrnType,
  kAFontFamily, kAFontSize, kAFontSlant, kAFontWeight, kAFontColor, kAFontScale,
  kAFontOffs, kAIcon, kAText, kARuler,
  kZFontFamily, kZFontSize, kZFontSlant, kZFontWeight, kZFontColor, kZFontScale,
  kZFontOffs, kZIcon, kZText, kZRuler,
};

const char* const kKeywordNames[] = {
    nullptr,
    "ATTR-STYLE", "QUAL-STYLE", "BEFORE", "AFTER",
    "FONT-FAMILY", "FONT-SIZE", "FONT-SLANT", "FONT-WEIGHT", "FONT-COLOR", "SHADOW-COLOR",
    "FONT-SCALE", "FONT-SHADOW", "PAGE-COLOR", "FONT-OFFS", "JUSTIFY", "LEADING", "AUTO-NUMB",
    "ANUMB-TYPE", "SPC-ABOVE", "SPC-LEFT", "SPC-INDENT", "SPC-RIGHT", "SPC-BELOW",
    "BREAK-BEFORE", "BREAK-AFTER", "VISIBLE", "ICON", "WIDGET", "TABLE", "MATH", "LINKSRC",
    "LINKDST", "LINE", "CHANGEBAR", "PRN-FF", "PRN-TYPE",
    "A-FONT-FAMILY", "A-FONT-SIZE", "A-FONT-SLANT", "A-FONT-WEIGHT", "A-FONT-COLOR",
    "A-FONT-SCALE", "A-FONT-OFFS", "A-ICON", "A-TEXT", "A-RULER",
    "Z-FONT-FAMILY", "Z-FONT-SIZE", "Z-FONT-SLANT", "Z-FONT-WEIGHT", "Z-FONT-COLOR",
    "Z-FONT-SCALE", "Z-FONT-OFFS", "Z-ICON", "Z-TEXT", "Z-RULER",
};

Keyword FindKeyword(const char* name) {
  if (!name) return kNoKeyword;
  for (int i = 1; i <= kZRuler; ++i)
    if (std::strcmp(name, kKeywordNames[i]) == 0) return static_cast<Keyword>(i);
  return kNoKeyword;
}

std::int32_t Clamp(std::int32_t v, std::int32_t lo, std::int32_t hi) {
  return v < lo ? lo : v > hi ? hi : v;
}

// A decimal number with leading blanks and a sign, saturating.
std::int32_t ReadNumber(const char* text) {
  if (!text) return 0;
  const char* p = text;
  while ((*p && HasCharClass(static_cast<unsigned char>(*p), CharTable::kBlank))) ++p;
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  std::int64_t v = 0;
  while (*p >= '0' && *p <= '9') {
    if (v < 100000000000LL) v = v * 10 + (*p - '0');
    ++p;
  }
  if (negative) v = -v;
  if (v > 0x7FFFFFFF) v = 0x7FFFFFFF;
  if (v < -0x7FFFFFFF) v = -0x7FFFFFFF;
  return static_cast<std::int32_t>(v);
}

// "h v", each -7..+7 with an optional sign; else 0.
std::uint8_t ReadShadow(const char* text) {
  int values[2];
  const char* p = text ? text : "";
  for (int& value : values) {
    while ((*p && HasCharClass(static_cast<unsigned char>(*p), CharTable::kBlank))) ++p;
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    if (*p < '0' || *p > '9') return 0;
    int v = 0;
    while (*p >= '0' && *p <= '9') {
      v = v * 10 + (*p++ - '0');
      if (v > 7) return 0;
    }
    value = negative ? -v : v;
  }
  while ((*p && HasCharClass(static_cast<unsigned char>(*p), CharTable::kBlank))) ++p;
  if (*p) return 0;
  return static_cast<std::uint8_t>(((values[0] + 8) << 4) | (values[1] + 8));
}

std::uint16_t ReadLength(const char* text) {
  const char* p = text ? text : "";
  while ((*p && HasCharClass(static_cast<unsigned char>(*p), CharTable::kBlank))) ++p;
  if (!*p) return 0;
  if (p[0] == '+' && p[1] == '=') return StyleProps::MakeLength(ReadNumber(p + 2), StyleProps::kRelative);
  if (p[0] == '-' && p[1] == '=') {
    std::int32_t v = ReadNumber(p + 2);
    return StyleProps::MakeLength(v == -0x7FFFFFFF ? 0x7FFFFFFF : -v, StyleProps::kRelative);
  }
  return StyleProps::MakeLength(ReadNumber(p), StyleProps::kAbsolute);
}

// A property of the StyleProps family; false for other keywords.
bool SetProperty(StyleProps& s, Keyword k, const char* v) {
  switch (k) {
    case kFontFamily: s.SetFontFamily(v); break;
    case kFontColor: s.SetFontColor(v); break;
    case kShadowColor: s.SetShadowColor(v); break;
    case kIcon: s.SetIcon(v); break;
    case kWidget: s.SetWidget(v); break;
    case kFontSize: {
      std::int32_t n = ReadNumber(v);
      if (n >= 4 && n <= 255) s.fontSize = static_cast<std::uint8_t>(n);
      break;
    }
    case kFontSlant: StyleProps::SetBits(&s.fontByte, StyleProps::kSlantMask, NameIndex(kSlants, v)); break;
    case kFontWeight:
      StyleProps::SetBits(&s.fontByte, StyleProps::kWeightMask, NameIndex(kWeights, v) << 2);
      break;
    case kJustifyKw:
      StyleProps::SetBits(&s.layout, StyleProps::kJustifyMask, NameIndex(kJustify, v) << 4);
      break;
    case kVisibleKw:
      StyleProps::SetBits(&s.layout, StyleProps::kVisibleMask, NameIndex(kVisible, v) << 6);
      break;
    case kLinkSrc: StyleProps::SetBits(&s.linkByte, StyleProps::kLinkSrcMask, NameIndex(kLinkModes, v)); break;
    case kLinkDst:
      StyleProps::SetBits(&s.linkByte, StyleProps::kLinkDstMask, NameIndex(kLinkModes, v) << 2);
      break;
    case kLine: StyleProps::SetBits(&s.linkByte, StyleProps::kLineMask, NameIndex(kLines, v) << 4); break;
    case kPrnType: StyleProps::SetBits(&s.printByte, StyleProps::kPrnTypeMask, NameIndex(kPrnTypes, v)); break;
    case kFontScale: s.fontScale = static_cast<std::uint16_t>(Clamp(ReadNumber(v), 0, 65535)); break;
    case kSpcAbove: s.spaceAbove = static_cast<std::int16_t>(Clamp(ReadNumber(v), -32768, 32767)); break;
    case kSpcBelow: s.spaceBelow = static_cast<std::int16_t>(Clamp(ReadNumber(v), -32768, 32767)); break;
    case kLeading: s.leading = static_cast<std::uint8_t>(Clamp(ReadNumber(v), 0, 127)); break;
    case kFontOffs:
      StyleProps::SetBits(&s.layout, StyleProps::kOffsetMask,
                          static_cast<std::uint8_t>(Clamp(ReadNumber(v), -7, 8) + 7));
      break;
    case kFontShadow: s.fontShadow = ReadShadow(v); break;
    case kSpcLeft: s.spaceLeft = ReadLength(v); break;
    case kSpcIndent: s.spaceIndent = ReadLength(v); break;
    case kSpcRight: s.spaceRight = ReadLength(v); break;
    case kBreakBeforeKw: s.fontByte |= StyleProps::kBreakBefore; break;
    case kBreakAfterKw: s.fontByte |= StyleProps::kBreakAfter; break;
    case kChangeBarKw: s.fontByte |= StyleProps::kChangeBar; break;
    case kPrnFF:
      if (ReadNumber(v) == 1) s.printByte |= StyleProps::kPrnFormFeed;
      break;
    default: return false;
  }
  return true;
}

void ClearBreaks(StyleProps* s) {
  if (s) s->fontByte &= ~(StyleProps::kBreakBefore | StyleProps::kBreakAfter);
}

// A property of a rule or qualified style, the A- and Z- families included.
void SetElementProperty(ElementStyle& s, Keyword k, const char* v) {
  if (SetProperty(s, k, v)) return;
  bool hadBefore = s.before != nullptr, hadAfter = s.after != nullptr;
  switch (k) {
    case kPageColor: s.SetPageColor(v); break;
    case kTable: s.table = static_cast<std::uint8_t>(NameIndex(kTables, v)); break;
    case kMath: s.math = static_cast<std::uint8_t>(NameIndex(kMaths, v)); break;
    case kAutoNumbKw:
      s.numbering = static_cast<std::uint8_t>((s.numbering & 0xF0) | NameIndex(kAutoNumb, v));
      break;
    case kAnumbType: {
      int index = NameIndex(kAnumbTypes, v);
      s.numbering = static_cast<std::uint8_t>((s.numbering & 0x0F) | ((index ? index - 1 : 0) << 4));
      break;
    }
    case kAText:
    case kZText:
      s.SetBlockText(k == kZText, v && *v ? InternName(v) : nullptr, ElementStyle::kText);
      break;
    case kAFontFamily:
    case kZFontFamily:
      s.SetBlockText(k == kZFontFamily, v ? InternName(v) : nullptr, ElementStyle::kFamily);
      break;
    case kAFontColor:
    case kZFontColor:
      s.SetBlockText(k == kZFontColor, v ? InternName(v) : nullptr, ElementStyle::kColor);
      break;
    case kAFontSize:
    case kZFontSize: {
      std::int32_t n = ReadNumber(v);
      s.SetBlockNumber(k == kZFontSize, n ? Clamp(n, 4, 255) : 0, ElementStyle::kSize);
      break;
    }
    case kAFontScale:
    case kZFontScale:
      s.SetBlockNumber(k == kZFontScale, Clamp(ReadNumber(v), 0, 65535), ElementStyle::kScale);
      break;
    case kAFontSlant:
    case kZFontSlant:
      s.SetBlockNumber(k == kZFontSlant, NameIndex(kSlants, v), ElementStyle::kSlant);
      break;
    case kAFontWeight:
    case kZFontWeight:
      s.SetBlockNumber(k == kZFontWeight, NameIndex(kWeights, v) << 2, ElementStyle::kWeight);
      break;
    case kAFontOffs:
    case kZFontOffs:
      s.SetBlockNumber(k == kZFontOffs, Clamp(ReadNumber(v), -7, 8) + 7, ElementStyle::kOffset);
      break;
    case kARuler:
    case kZRuler:
      s.SetBlockNumber(k == kZRuler, Clamp(ReadNumber(v), -1, 254) + 1, ElementStyle::kRuler);
      break;
    default: break;
  }
  // A block the file makes starts without breaks, as a rule does.
  if (!hadBefore && s.before) ClearBreaks(s.before);
  if (!hadAfter && s.after) ClearBreaks(s.after);
}

// Blocks the file makes start without breaks: such a block says nothing
// of its own when every property is unset and neither break is set.
bool BlockPropsEmpty(const TextBlockStyle& b) {
  return !b.icon && !b.fontFamily && !b.fontColor && !b.shadowColor && !b.widget &&
         !b.fontScale && !b.fontSize && !b.fontShadow && !b.leading && !b.printByte &&
         !b.linkByte && !b.spaceAbove && !b.spaceBelow && !b.spaceLeft && !b.spaceIndent &&
         !b.spaceRight && b.layout == StyleProps::kOffsetUnset && b.fontByte == 0;
}

void WriteLength(TextBuffer& out, const char* name, std::uint16_t code) {
  std::int32_t value = StyleProps::LengthValue(code);
  switch (code & StyleProps::kLengthKindMask) {
    case StyleProps::kAbsolute: out.Printf("\n<%s V=\"%d\">", name, value); break;
    case StyleProps::kRelative:
      if (value >= 0) out.Printf("\n<%s V=\"+=%d\">", name, value);
      else out.Printf("\n<%s V=\"-=%d\">", name, -value);
      break;
    default: break;
  }
}

void WriteTextProp(TextBuffer& out, const char* name, const InternedName* value) {
  if (!value) return;
  out.Printf("\n<%s V=", name);
  PutValue(out, NameText(value));
  out.PutChar('>');
}

void WriteProps(TextBuffer& out, const StyleProps& p, bool breaks) {
  WriteTextProp(out, "FONT-FAMILY", p.fontFamily);
  if (p.fontSize) out.Printf("\n<FONT-SIZE V=%d>", p.fontSize);
  if (const char* n = NameOf(kSlants, p.fontByte & StyleProps::kSlantMask))
    out.Printf("\n<FONT-SLANT V=%s>", n);
  if (const char* n = NameOf(kWeights, (p.fontByte & StyleProps::kWeightMask) >> 2))
    out.Printf("\n<FONT-WEIGHT V=%s>", n);
  WriteTextProp(out, "FONT-COLOR", p.fontColor);
  WriteTextProp(out, "SHADOW-COLOR", p.shadowColor);
  if (p.fontScale) out.Printf("\n<FONT-SCALE V=\"%d\">", p.fontScale);
  if (p.fontShadow)
    out.Printf("\n<FONT-SHADOW V=\"%d %d\">", (p.fontShadow >> 4) - 8, (p.fontShadow & 15) - 8);
  if ((p.layout & StyleProps::kOffsetMask) != StyleProps::kOffsetUnset)
    out.Printf("\n<FONT-OFFS V=\"%d\">", (p.layout & StyleProps::kOffsetMask) - 7);
  if (const char* n = NameOf(kJustify, (p.layout & StyleProps::kJustifyMask) >> 4))
    out.Printf("\n<JUSTIFY V=%s>", n);
  if (p.leading) out.Printf("\n<LEADING V=%d>", p.leading);
  if (p.spaceAbove) out.Printf("\n<SPC-ABOVE V=\"%d\">", p.spaceAbove);
  WriteLength(out, "SPC-LEFT", p.spaceLeft);
  WriteLength(out, "SPC-INDENT", p.spaceIndent);
  WriteLength(out, "SPC-RIGHT", p.spaceRight);
  if (p.spaceBelow) out.Printf("\n<SPC-BELOW V=\"%d\">", p.spaceBelow);
  if (breaks && (p.fontByte & StyleProps::kBreakBefore)) out.Put("\n<BREAK-BEFORE>");
  if (breaks && (p.fontByte & StyleProps::kBreakAfter)) out.Put("\n<BREAK-AFTER>");
  if (const char* n = NameOf(kVisible, (p.layout & StyleProps::kVisibleMask) >> 6))
    out.Printf("\n<VISIBLE V=%s>", n);
  WriteTextProp(out, "ICON", p.icon);
  WriteTextProp(out, "WIDGET", p.widget);
  if (const char* n = NameOf(kLinkModes, p.linkByte & StyleProps::kLinkSrcMask))
    out.Printf("\n<LINKSRC V=%s>", n);
  if (const char* n = NameOf(kLinkModes, (p.linkByte & StyleProps::kLinkDstMask) >> 2))
    out.Printf("\n<LINKDST V=%s>", n);
  if (const char* n = NameOf(kLines, (p.linkByte & StyleProps::kLineMask) >> 4))
    out.Printf("\n<LINE V=%s>", n);
  if (p.fontByte & StyleProps::kChangeBar) out.Put("\n<CHANGEBAR>");
  if (const char* n = NameOf(kPrnTypes, p.printByte & StyleProps::kPrnTypeMask))
    out.Printf("\n<PRN-TYPE V=%s>", n);
  if (p.printByte & StyleProps::kPrnFormFeed) out.Put("\n<PRN-FF V=\"1\">");
}

void WriteTextBlock(TextBuffer& out, const TextBlockStyle& block, char letter) {
  if (char* text = block.GetText()) {
    out.Printf("\n<%c-TEXT V='", letter);
    for (const char* p = text; *p; ++p) {
      if (*p == '\'') out.Put("&q;");
      else if (*p == '&') out.Put("&A;");
      else if (*p == '\t') out.Put("&T;");
      else out.PutChar(*p);
    }
    out.Put("'>");
    MemFree(text);
  }
  if (block.ruler) out.Printf("\n<%c-RULER V=\"%d\">", letter, block.ruler - 1);
  if (BlockPropsEmpty(block)) return;
  const char* name = letter == 'A' ? "BEFORE" : "AFTER";
  out.Printf("\n<%s>", name);
  WriteProps(out, block, true);
  out.Printf("\n</%s>", name);
}

int CompareEntries(const void* a, const void* b) {
  return std::strcmp((*static_cast<StyleTagEntry* const*>(a))->GetKey(),
                     (*static_cast<StyleTagEntry* const*>(b))->GetKey());
}

}  // namespace

const char* OwnPublicText(const char* publicId, const char* own) {
  // Identifiers are kept normalised to upper case; the engine's own is
  // written as it is spelt.
  return publicId && CompareStringNoCase(publicId, own) == 0 ? own : publicId;
}

void WriteExternalId(TextBuffer& out, const char* publicId, const char* systemId) {
  if (publicId) {
    out.Put("PUBLIC ");
    out.PutQuoted(publicId);
  } else {
    out.Put("SYSTEM");
  }
  if (systemId) {
    out.PutChar(' ');
    out.PutQuoted(systemId);
  }
}

void WriteStyleProps(TextBuffer& out, const StyleProps& props) { WriteProps(out, props, true); }

Document* ParseLoadedSource(ExternalId* id) {
  EngineBase* engine = GetEngine();
  if (!engine || !id) return nullptr;
  if (DocumentCache* cache = engine->documentCache.get()) return cache->ParseDocument(id);
  DocumentCache parser;
  parser.SetResolvers(engine->GetCatalog(), nullptr);
  Document* document = parser.ParseDocument(id);
  return document;
}

const char* NodeAttribute(const DocumentNode* node, const char* name) {
  return node ? node->GetAttributeValue(name) : nullptr;
}

// ---- Icons -----------------------------------------------------------------------

DeclaredEntity::DeclaredEntity(const EntityDecl& entity)
    : name(DuplicateString(entity.GetName() ? entity.GetName() : "")) {
  if (ExternalId* id = entity.GetExternalId()) {
    if (id->PublicId()) publicId = DuplicateString(id->PublicId());
    if (id->SystemId()) systemId = DuplicateString(id->SystemId());
  }
  if (NotationDecl* n = entity.GetNotation()) {
    notation = DuplicateString(n->Name());
    if (n->PublicId()) notationPublicId = DuplicateString(n->PublicId());
    if (n->SystemId()) notationSystemId = DuplicateString(n->SystemId());
  }
}

DeclaredEntity::~DeclaredEntity() {
  for (char* text : {name, publicId, systemId, notation, notationPublicId, notationSystemId})
    MemFree(text);
}

StyleIcon::StyleIcon(EntityDecl& entity, EntityDecl* mask)
    : icon_(entity),
      mask_(mask ? new DeclaredEntity(*mask) : nullptr),
      iconDecl_(entity.AddRef()),
      maskDecl_(mask ? mask->AddRef() : nullptr) {}

StyleIcon::~StyleIcon() {
  delete mask_;
  iconDecl_->Release();
  if (maskDecl_) maskDecl_->Release();
}

// ---- The sheet ------------------------------------------------------------------

StyleSheet::StyleSheet(ExternalId* id) : LoadedObject(id) {}

StyleSheet::StyleSheet(Document* document) : LoadedObject(document ? document->Source() : nullptr) {
  Read(document);
}

StyleSheet::~StyleSheet() {
  Reset();
  tags_.Clear();
  icons_.DeleteAll();
}

void StyleSheet::DropUse() {
  if (uses_ > 0) --uses_;
  if (uses_ == 0 && !Owner()) delete this;
}

void StyleSheet::Reset() {
  MemFree(dtd_);
  MemFree(name_);
  MemFree(background_);
  dtd_ = name_ = background_ = nullptr;
  if (publicId_) publicId_->Release();
  publicId_ = nullptr;
}

void StyleSheet::SetName(const char* name) {
  MemFree(name_);
  name_ = name ? DuplicateString(name) : nullptr;
}

void StyleSheet::SetDtd(const char* dtd) {
  MemFree(dtd_);
  dtd_ = dtd ? DuplicateString(dtd) : nullptr;
}

void StyleSheet::SetBackgroundLabel(const char* label) {
  MemFree(background_);
  background_ = label ? DuplicateString(label) : nullptr;
}

StyleTagEntry* StyleSheet::FindTag(const char* tag) const {
  if (!tag) return nullptr;
  return static_cast<StyleTagEntry*>(tags_.Find(tag, std::strlen(tag)));
}

StyleRule* StyleSheet::AddRule(StyleRule* rule) {
  if (!rule || !rule->Tag()) {
    delete rule;
    return nullptr;
  }
  StyleTagEntry* entry = FindTag(rule->Tag());
  if (entry) return entry->AddRule(rule);
  entry = new StyleTagEntry(rule);
  if (!entry || !entry->GetKey()) {
    delete entry;  // takes the rule with it
    return nullptr;
  }
  tags_.Insert(entry, true);
  return rule;
}

StyleRule* StyleSheet::FindElementRule(const DocumentNode* element) const {
  if (!element) return nullptr;
  StyleTagEntry* entry = FindTag(element->GetNameText());
  return entry ? entry->FindForElement(element) : nullptr;
}

StyleRule* StyleSheet::FindRule(const DocumentNode* element, const char* attribute) const {
  if (!attribute) return FindElementRule(element);
  if (!element) return nullptr;
  std::size_t n = std::strlen(attribute) + 2;
  char* key = static_cast<char*>(MemAlloc(n));
  if (!key) return nullptr;
  FormatString(key, n, "#%s", attribute);
  StyleTagEntry* entry = FindTag(key);
  MemFree(key);
  return entry ? entry->FindForAttributeElement(element) : nullptr;
}

StyleRule* StyleSheet::FindRuleByTag(const char* tagList, int occurrence) const {
  if (!tagList) return nullptr;
  std::size_t n = std::strlen(tagList);
  char* reversed = static_cast<char*>(MemAlloc(n + 1));
  if (!reversed) return nullptr;
  ReverseCommaList(tagList, reversed);
  const char* context = nullptr;
  if (char* comma = std::strchr(reversed, ',')) {
    *comma = 0;
    context = comma + 1;
  }
  StyleRule* found = nullptr;
  if (StyleTagEntry* entry = FindTag(reversed)) {
    for (StyleRule* r = entry->First(); r && !found; r = StyleTagEntry::Next(r)) {
      if (r->Occurrence() != occurrence) continue;
      // "A," has an empty context, which a rule keeps as none.
      const char* own = r->Context() ? r->Context() : "";
      if (std::strcmp(own, context ? context : "") == 0) found = r;
    }
  }
  MemFree(reversed);
  return found;
}

StyleIcon* StyleSheet::FindIcon(const char* name) const {
  for (StyleIcon* i = FirstIcon(); i; i = static_cast<StyleIcon*>(i->Next()))
    if (name && CompareStringNoCase(i->Name(), name) == 0) return i;
  return nullptr;
}

std::int32_t StyleSheet::ParseMargin(const char* text) {
  if (!text) return kMarginUnset;
  const char* p = text;
  while ((*p && HasCharClass(static_cast<unsigned char>(*p), CharTable::kBlank))) ++p;
  if (*p < '0' || *p > '9') return 0;
  std::int64_t whole = 0;
  while (*p >= '0' && *p <= '9') {
    if (whole < 20000000) whole = whole * 10 + (*p - '0');
    ++p;
  }
  std::int64_t value = whole * 100;
  if (*p == '.') {
    ++p;
    if (*p >= '0' && *p <= '9') value += (*p++ - '0') * 10;
    if (*p >= '0' && *p <= '9') value += *p++ - '0';
    while (*p >= '0' && *p <= '9') ++p;
  }
  if (value > 2000000000) value = 2000000000;
  while ((*p && HasCharClass(static_cast<unsigned char>(*p), CharTable::kBlank))) ++p;
  if (*p == '%') value = -value;
  return static_cast<std::int32_t>(value);
}

bool StyleSheet::Load() {
  tags_.Clear();
  icons_.DeleteAll();
  if (!Id()) return false;
  Document* document = ParseLoadedSource(Id());
  if (!document) return false;
  if (document->Root()) Read(document);
  document->Release();
  return true;
}

void StyleSheet::Read(Document* document) {
  Reset();
  tags_.Clear();
  icons_.DeleteAll();
  for (std::int32_t& m : margins) m = kMarginUnset;
  formatLevel = 0;
  if (!document) return;
  DocumentNode* root = document->Root();
  if (root) {
    SetDtd(NodeAttribute(root, "DTD"));
    SetName(NodeAttribute(root, "NAME"));
    const char* version = NodeAttribute(root, "VERSION");
    formatLevel = version && std::strcmp(version, "2.00") >= 0 ? 2 : 0;
  }
  if (EntityDecl* label = document->FindEntity("PrnBG"))
    if (label->GetText()) SetBackgroundLabel(label->GetText());
  // The writer puts quotes, ampersands and percent signs into the literal
  // as character references; a parser that keeps them as written leaves
  // them to be read here.
  if (background_) {
    char* out = background_;
    for (const char* p = background_; *p;) {
      unsigned value = 0;
      const char* q = p;
      if (q[0] == '&' && q[1] == '#' && q[2] >= '0' && q[2] <= '9') {
        q += 2;
        while (*q >= '0' && *q <= '9' && value < 256) value = value * 10 + unsigned(*q++ - '0');
        if (*q == ';' && value > 0 && value < 128) {
          *out++ = static_cast<char>(value);
          p = q + 1;
          continue;
        }
      }
      *out++ = *p++;
    }
    *out = 0;
  }
  if (ExternalId* id = document->DoctypeId()) publicId_ = id->AddRef();
  if (root) ReadElement(root);
  for (EntityDecl* e = document->FirstEntity(); e; e = document->NextEntity()) {
    if (!e->IsExternal() || !e->GetNotation()) continue;
    const AttributeDeclSet* decls = &e->GetNotation()->Attributes();
    const char* type = GetAttributeValue("SSHTYPE", e->GetDataAttributes(), decls);
    if (!type || CompareStringNoCase(type, "ICON") != 0) continue;
    const char* maskName = GetAttributeValue("MASK", e->GetDataAttributes(), decls);
    EntityDecl* mask = maskName ? document->FindEntity(maskName) : nullptr;
    if (mask && !mask->IsExternal()) mask = nullptr;
    if (auto* icon = new StyleIcon(*e, mask)) icons_.Prepend(icon);
  }
}

void StyleSheet::ReadElement(DocumentNode* root) {
  if (std::strcmp(root->GetNameText() ? root->GetNameText() : "", "STYLESHEET") != 0) return;
  static const char* const kMarginNames[] = {"TOP", "LEFT", "RIGHT", "BOTTOM"};
  for (DocumentNode* child = root->First(); child; child = child->Next()) {
    const char* name = child->GetNameText();
    if (!name) continue;
    if (std::strcmp(name, "STYLE") == 0) {
      ReadStyle(child);
    } else if (std::strcmp(name, "SHEET") == 0) {
      for (DocumentNode* m = child->First(); m; m = m->Next()) {
        if (!m->GetNameText() || std::strcmp(m->GetNameText(), "MARGINS") != 0) continue;
        for (int i = 0; i < 4; ++i) margins[i] = ParseMargin(NodeAttribute(m, kMarginNames[i]));
      }
    }
  }
}

void StyleSheet::ReadStyle(DocumentNode* element) {
  const char* tag = NodeAttribute(element, "TAG");
  if (!tag) return;
  int occurrence = OccurrenceFromName(NodeAttribute(element, "OCCUR"));
  StyleRule* rule = FindRuleByTag(tag, occurrence);
  if (!rule) {
    rule = new StyleRule(tag, static_cast<std::uint8_t>(occurrence));
    if (!rule) return;
    ClearBreaks(rule);
    rule = AddRule(rule);
    if (!rule) return;
  }
  for (DocumentNode* child = element->First(); child; child = child->Next()) {
    Keyword k = FindKeyword(child->GetNameText());
    if (k == kNoKeyword) continue;
    if (k == kQualStyle) {
      const char* qual = NodeAttribute(child, "QUAL");
      if (!qual) continue;
      if (QualStyle* q = rule->AddQualStyle(qual)) ReadQualContent(child, q);
    } else if (k == kAttrStyle) {
      const char* attr = NodeAttribute(child, "ATTR");
      const char* val = NodeAttribute(child, "VAL");
      if (!attr || !val) continue;
      TextBuffer text;
      if (CompareStringNoCase(val, "IMPLIED") == 0) text.Printf("NOT [%s]", attr);
      else if (CompareStringNoCase(val, "NOT IMPLIED") == 0) text.Printf("[%s]", attr);
      else if (!std::strchr(val, '"')) {
        text.Printf("[%s]=\"", attr);
        text.Put(val);
        text.PutChar('"');
      } else if (!std::strchr(val, '\'')) {
        text.Printf("[%s]='", attr);
        text.Put(val);
        text.PutChar('\'');
      } else {
        continue;
      }
      if (text.Failed()) continue;
      if (QualStyle* q = rule->AddQualStyle(text.Text())) ReadQualContent(child, q);
    } else {
      if (k == kBefore || k == kAfter) {
        TextBlockStyle* block = k == kBefore ? rule->before : rule->after;
        if (!block) {
          block = k == kBefore ? rule->EnsureBefore() : rule->EnsureAfter();
          ClearBreaks(block);
        }
        if (block)
          for (DocumentNode* p = child->First(); p; p = p->Next())
            SetProperty(*block, FindKeyword(p->GetNameText()), NodeAttribute(p, "V"));
      } else {
        SetElementProperty(*rule, k, NodeAttribute(child, "V"));
      }
    }
  }
}

void StyleSheet::ReadQualContent(DocumentNode* element, ElementStyle* style) {
  if (!element) return;
  for (DocumentNode* child = element->First(); child; child = child->Next()) {
    Keyword k = FindKeyword(child->GetNameText());
    if (k == kNoKeyword || k == kQualStyle || k == kAttrStyle) continue;
    if (k == kBefore || k == kAfter) {
      TextBlockStyle* block = k == kBefore ? style->before : style->after;
      if (!block) {
        block = k == kBefore ? style->EnsureBefore() : style->EnsureAfter();
        ClearBreaks(block);
      }
      if (block)
        for (DocumentNode* p = child->First(); p; p = p->Next())
          SetProperty(*block, FindKeyword(p->GetNameText()), NodeAttribute(p, "V"));
    } else {
      SetElementProperty(*style, k, NodeAttribute(child, "V"));
    }
  }
}

void StyleSheet::WriteInternalSubset(TextBuffer& out) {
  if (formatLevel >= 2 && !background_ && icons_.IsEmpty()) return;
  out.Put("[\n");
  if (formatLevel < 2)
    out.Put(
        "<!ELEMENT sheet (margins?)>\n<!ELEMENT margins EMPTY>\n<!ATTLIST margins\n"
        "\tleft CDATA #IMPLIED\n\tright CDATA #IMPLIED\n\ttop CDATA #IMPLIED\n"
        "\tbottom CDATA #IMPLIED>\n\n<!ELEMENT font-shadow EMPTY>\n<!ATTLIST font-shadow\n"
        "\tv NUMBER #REQUIRED>\n\n<!ELEMENT shadow-color EMPTY>\n<!ATTLIST shadow-color\n"
        "\tv CDATA #REQUIRED>\n");
  if (background_) {
    // An entity literal expands character references but not &Q;.
    out.Put("\n<!-- Background Label for Hardcopy -->\n<!ENTITY PrnBG \"");
    for (const char* p = background_; *p; ++p) {
      if (*p == '"') out.Put("&#34;");
      else if (*p == '&') out.Put("&#38;");
      else if (*p == '%') out.Put("&#37;");
      else out.PutChar(*p);
    }
    out.Put("\">");
  }
  // Icons: their notations, the masks, then the icons, so that a save
  // keeps them.
  const DeclaredEntity* written[64];
  int notations = 0;
  auto declareNotation = [&](const DeclaredEntity* e) {
    if (!e || !e->notation) return;
    for (int k = 0; k < notations; ++k)
      if (std::strcmp(written[k]->notation, e->notation) == 0) return;
    if (notations < 64) written[notations++] = e;
    out.Printf("\n<!NOTATION %s ", e->notation);
    WriteExternalId(out, e->notationPublicId, e->notationSystemId);
    out.Printf(">\n<!ATTLIST #NOTATION %s SSHTYPE CDATA #IMPLIED MASK CDATA #IMPLIED>",
               e->notation);
  };
  auto declareEntity = [&](const DeclaredEntity& e, const char* data) {
    out.Printf("\n<!ENTITY %s ", e.name);
    WriteExternalId(out, e.publicId, e.systemId);
    if (e.notation) out.Printf(" NDATA %s", e.notation);
    if (data) out.Printf(" [%s]", data);
    out.PutChar('>');
  };
  for (StyleIcon* i = FirstIcon(); i; i = static_cast<StyleIcon*>(i->Next())) {
    declareNotation(&i->Icon());
    declareNotation(i->MaskEntity());
  }
  for (StyleIcon* i = FirstIcon(); i; i = static_cast<StyleIcon*>(i->Next())) {
    const DeclaredEntity* mask = i->MaskEntity();
    if (!mask || FindIcon(mask->name)) continue;
    bool seen = false;
    for (StyleIcon* j = FirstIcon(); j != i; j = static_cast<StyleIcon*>(j->Next()))
      seen = seen || (j->Mask() && std::strcmp(j->Mask(), mask->name) == 0);
    if (!seen) declareEntity(*mask, nullptr);
  }
  for (StyleIcon* i = FirstIcon(); i; i = static_cast<StyleIcon*>(i->Next())) {
    if (!i->Icon().notation) continue;
    TextBuffer data;
    data.Put("SSHTYPE=ICON");
    if (i->Mask()) data.Printf(" MASK=%s", i->Mask());
    declareEntity(i->Icon(), data.Text());
  }
  out.Put("\n]");
}

void StyleSheet::WriteRuleProps(TextBuffer& out, const ElementStyle& s, bool breaks) {
  WriteProps(out, s, breaks);
  if (s.pageColor) WriteTextProp(out, "PAGE-COLOR", s.pageColor);
  if (const char* n = NameOf(kTables, s.table)) out.Printf("\n<TABLE V=%s>", n);
  if (const char* n = NameOf(kMaths, s.math)) out.Printf("\n<MATH V=%s>", n);
  if (s.before) WriteTextBlock(out, *s.before, 'A');
  if (s.after) WriteTextBlock(out, *s.after, 'Z');
  if (s.numbering) {
    if (const char* n = NameOf(kAutoNumb, s.numbering & 15)) out.Printf("\n<AUTO-NUMB V=%s>", n);
    if (s.numbering >> 4) out.Printf("\n<ANUMB-TYPE V=\"%s\">", kAnumbTypes[(s.numbering >> 4) & 7]);
  }
}

void StyleSheet::WriteText(TextBuffer& out) {
  out.Put("<!DOCTYPE STYLESHEET ");
  if (publicId_ && (publicId_->PublicId() || publicId_->SystemId()))
    WriteExternalId(out, OwnPublicText(publicId_->PublicId(), kStyleSheetPublicId),
                    publicId_->SystemId());
  else
    WriteExternalId(out, kStyleSheetPublicId, nullptr);
  WriteInternalSubset(out);
  out.Put(">\n\n<STYLESHEET");
  if (name_) {
    out.Put(" NAME=");
    PutValue(out, name_);
  }
  if (dtd_) {
    out.Put(" DTD=");
    PutValue(out, dtd_);
  }
  if (formatLevel >= 2) out.Put(" VERSION=\"2.00\"");
  out.PutChar('>');
  bool anyMargin = false;
  for (std::int32_t m : margins) anyMargin = anyMargin || m != kMarginUnset;
  if (anyMargin) {
    static const int kOrder[] = {kTop, kLeft, kRight, kBottom};
    static const char* const kNames[] = {"TOP", "LEFT", "RIGHT", "BOTTOM"};
    out.Put("\n\n<SHEET>\n<MARGINS");
    for (int i : kOrder) {
      std::int32_t m = margins[i];
      if (m == kMarginUnset) continue;
      std::int64_t v = m < 0 ? -static_cast<std::int64_t>(m) : m;
      out.Printf("\n  %s=\"%ld", kNames[i], static_cast<long>(v / 100));
      if (v % 100) out.Printf(".%02d", static_cast<int>(v % 100));
      if (m < 0) out.PutChar('%');
      out.PutChar('"');
    }
    out.Put(">\n</SHEET>");
  }
  // Tag entries in the order of their keys, so a text read and written
  // again comes out the same.
  std::size_t count = 0;
  for (StyleTagEntry* e = FirstTag(); e; e = NextTag()) ++count;
  auto** entries = static_cast<StyleTagEntry**>(MemAlloc(sizeof(StyleTagEntry*) * (count + 1)));
  if (!entries) {
    out.Put("\n");  // the buffer cannot be trusted without its rules
    return;
  }
  std::size_t k = 0;
  for (StyleTagEntry* e = FirstTag(); e && k < count; e = NextTag()) entries[k++] = e;
  std::qsort(entries, k, sizeof(StyleTagEntry*), CompareEntries);
  for (std::size_t i = 0; i < k; ++i) {
    for (StyleRule* r = entries[i]->First(); r; r = StyleTagEntry::Next(r)) {
      char* tags = JoinTagList(r->Tag(), r->Context());
      out.Put("\n\n<STYLE TAG=");
      PutValue(out, tags);
      MemFree(tags);
      if (const char* occur = OccurrenceName(r->Occurrence())) out.Printf(" OCCUR=%s", occur);
      out.PutChar('>');
      WriteRuleProps(out, *r, true);
      for (QualStyle* q = r->FirstQual(); q; q = StyleRule::NextQual(q)) {
        out.Put("\n\n<QUAL-STYLE QUAL=");
        PutValue(out, q->Text(), true);
        out.PutChar('>');
        // A qualified style keeps both breaks set from its start (a merge
        // only clears breaks), so they are not its own to write.
        WriteRuleProps(out, *q, false);
        out.Put("\n</QUAL-STYLE>");
      }
      out.Put("\n</STYLE>");
    }
  }
  MemFree(entries);
  out.Put("\n\n</STYLESHEET>\n");
}

bool WriteObjectText(const LoadedObject& object, const char* path, const TextBuffer& text,
                     int error) {
  char* own = nullptr;
  if (!path && object.Id()) path = own = object.Id()->GetFilePath();
  bool ok = text.WriteFile(path);
  MemFree(own);
  if (!ok) ReportEngineError(error);
  return ok;
}

bool StyleSheet::Write(const char* path) {
  TextBuffer text;
  WriteText(text);
  return WriteObjectText(*this, path, text, kErrCantSaveStyleSheet);
}

}  // namespace qs
