// Inside the document instance: start tags with their attribute lists, the
// element tree, declared content, entity and character references, and the
// character data with the engine's white-space rules.
#include <cstring>

#include "foundation/names.h"
#include "foundation/strings.h"
#include "foundation/utf8.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/model_names.h"
#include "sgml/parser.h"
#include "sgml/parser_instance.h"

namespace qs {

namespace {

bool EqualsNoCase(const char* a, const char* b) {
  return a && b && CompareStringNoCase(a, b) == 0;
}

}  // namespace

// ---- Character data --------------------------------------------------------------

void Parser::FlushSpace() {
  if (!pendingSpace_) return;
  pendingSpace_ = false;
  PutDataBytes(" ", 1);
}

void Parser::PutDataChar(int c) {
  std::uint8_t b = static_cast<std::uint8_t>(c);
  if (!IsSeparator(b)) {
    if (parent_) parent_->flags &= static_cast<std::uint8_t>(~kNodeData);
    FlushSpace();
    char byte = static_cast<char>(b);
    PutDataBytes(&byte, 1);
    return;
  }
  if (b == 0) return;
  pendingSpace_ = false;
  if (!mixed_) return;
  if (b == '\n' || b == '\t') {
    auto* mark = new (document_->Pool())
        SimpleMark(b == '\n' ? kMarkRecordEnd : kMarkTab, TextOffset());
    document_->AppendMark(mark);
  }
  PutDataBytes(" ", 1);
}

void Parser::PutCodePoint(std::uint32_t cp) {
  if (cp < 0x20 && cp != '\t' && cp != '\n' && cp != '\r') cp = 0xFFFD;
  if (cp < 0x80) {
    PutDataChar(static_cast<int>(cp));
    return;
  }
  char bytes[8];
  int n = EncodeUtf8(cp, bytes);
  if (parent_) parent_->flags &= static_cast<std::uint8_t>(~kNodeData);
  FlushSpace();
  PutDataBytes(bytes, static_cast<std::size_t>(n));
}

void Parser::CopyDataCharacter(int lead) {
  char seq[8];
  std::size_t length = static_cast<std::size_t>(Utf8SequenceLength(static_cast<std::uint8_t>(lead)));
  seq[0] = static_cast<char>(lead);
  std::size_t got = 1;
  bool broken = length > 4;
  while (!broken && got < length) {
    int c = NextChar();
    if (stop_) return;
    if ((c & 0xC0) != 0x80) {
      // Not a continuation byte: it is markup or data of its own and is
      // read again.
      if (!endOfInput_) UngetChar();
      broken = true;
      break;
    }
    seq[got++] = static_cast<char>(c);
  }
  if (!broken && got == length && xml_ && IsNonCharacter(seq, got)) {
    ReportControlCharacter(static_cast<std::uint8_t>(seq[2]) == 0xBE ? 0xFFFE : 0xFFFF);
    PutDataBytes("\xEF\xBF\xBD", 3);
  } else if (broken || got != length) {
    PutDataBytes("\xEF\xBF\xBD", 3);
  } else {
    PutDataBytes(seq, got);
  }
}

bool Parser::MatchDelimiterRest(const char* delimiter, std::size_t length, int first) {
  auto matches = [&](int b, std::size_t k) {
    return b == static_cast<std::uint8_t>(delimiter[k]) ||
           fold_[b & 0xFF] == static_cast<std::uint8_t>(delimiter[k]);
  };
  // The bytes read so far that match the delimiter's start. When the next
  // one does not, the match is retried from each later byte, so that
  // "]]]>" still ends at its last three bytes: the bytes that can no longer
  // start a match are data.
  char matched[kTokenCapacity + 8];
  if (length > sizeof matched) length = sizeof matched;
  std::size_t i = 0;
  matched[i++] = static_cast<char>(first);
  while (i < length) {
    int d = NextChar();
    if (stop_) return false;
    if (endOfInput_) {
      for (std::size_t k = 0; k < i; ++k) PutDataChar(static_cast<std::uint8_t>(matched[k]));
      return false;
    }
    if (matches(d, i)) {
      matched[i++] = static_cast<char>(d);
      continue;
    }
    // Shift until what is left (with d) is again a start of the delimiter.
    matched[i++] = static_cast<char>(d);
    std::size_t from = 1;
    for (; from < i; ++from) {
      bool prefix = true;
      for (std::size_t k = from; k < i && prefix; ++k) {
        prefix = matches(static_cast<std::uint8_t>(matched[k]), k - from);
      }
      if (prefix) break;
    }
    for (std::size_t k = 0; k < from && k < i - 1; ++k) {
      PutDataChar(static_cast<std::uint8_t>(matched[k]));
    }
    if (from == i) {
      // Nothing left starts a match: the byte that broke it is read again
      // as whatever it is.
      UngetChar();
      return false;
    }
    std::memmove(matched, matched + from, i - from);
    i -= from;
  }
  return true;
}

void Parser::ParseDataUntil(const char* delimiter, bool expand) {
  const std::size_t length = std::strlen(delimiter);
  for (;;) {
    int c = NextChar();
    if (stop_ || endOfInput_) return;
    if (c == '\n') {
      if (preserve_ > 0) PutDataChar('\n');
      int d = NextChar();
      if (stop_ || endOfInput_) return;
      if (d == delimiter[0]) {
        c = d;
      } else {
        UngetChar();
        if (preserve_ == 0) pendingSpace_ = true;
        continue;
      }
    } else if (c == ' ' || c == '\t') {
      if (preserve_ > 0) {
        PutDataChar(c == ' ' ? 0x01 : '\t');
      } else {
        pendingSpace_ = true;
      }
      continue;
    } else if (c == '&' && expand) {
      ParseReference();
      continue;
    }
    if (c == delimiter[0]) {
      if (MatchDelimiterRest(delimiter, length, c)) return;
      if (stop_ || endOfInput_) return;
      continue;
    }
    if (c >= 0xC0) {
      if (parent_) parent_->flags &= static_cast<std::uint8_t>(~kNodeData);
      FlushSpace();
      CopyDataCharacter(c);
    } else if (c >= 0x80) {
      PutCodePoint(0xFFFD);
    } else if (c >= 0x20 || c == '\t' || c == 0x1A) {
      PutDataChar(c);
    } else if (c != 0) {
      ReportControlCharacter(c);
      PutCodePoint(0xFFFD);
    }
  }
}

// ---- Start tags --------------------------------------------------------------------

void Parser::LinkNode(DocumentNode* node) {
  if (prevSibling_) {
    prevSibling_->InsertAfter(node);
    prevSibling_ = nullptr;
  } else if (parent_) {
    parent_->AppendChild(node);
  } else {
    document_->SetRoot(node);
  }
}

namespace {
// Two places for each value of a hash of a name's length and three bytes.
std::size_t RecentPlace(const unsigned char* t, std::size_t n, std::size_t places) {
  std::uint32_t h = static_cast<std::uint32_t>(n) * 0x9E3779B1u ^ t[0] * 0x85EBCA6Bu ^
                    t[n / 2] * 0xC2B2AE35u ^ t[n - 1] * 0x27D4EB2Fu;
  h *= 0x9E3779B1u;
  return (h >> 24) & (places - 2);
}
}  // namespace

ElementTypeDecl* Parser::FindTokenElement() {
  const std::size_t n = tokenLength_;
  if (n == 0) return dtd_->FindElement(token_);
  const auto* t = reinterpret_cast<const unsigned char*>(token_);
  ElementTypeDecl** set = recentTypes_ + RecentPlace(t, n, kRecentTypes);
  for (int k = 0; k < 2; ++k) {
    const InternedName* name = set[k] ? set[k]->Name() : nullptr;
    if (name && name->Length() == n && MemEqual(name->Text(), t, n)) return set[k];
  }
  ElementTypeDecl* type = dtd_->FindElement(token_);
  if (type) {
    set[1] = set[0];
    set[0] = type;
  }
  return type;
}

ElementTypeDecl* Parser::DeclareElementType(const char* name) {
  std::memset(recentTypes_, 0, sizeof recentTypes_);
  return dtd_->FindOrDeclareElementType(name);
}

void Parser::ParseStartTag(ElementTypeDecl* type) {
  FlushSpace();
  if (!type) {
    ReadFoldedName();
    if (stop_) return;
    type = FindTokenElement();
    if (!type) {
      if (!xml_) Warning(kMsgUndeclaredElement, token_);
      if (stop_) return;
      type = DeclareElementType(token_);
      if (!type) {
        Error(kMsgOutOfMemory);
        return;
      }
      type->flags |= 0x08;
      if (NameGroup* implicit = specialSets_[kImplicitElements].List(0)) {
        DtdNameGroupMerge(type->Attributes(), implicit);
      }
      if (NameGroup* all = specialSets_[kAllElements].List(0)) {
        DtdNameGroupSetSecond(type->Attributes(), all);
      }
    }
  }
  mixed_ = (type->flags & 0x08) != 0;

  std::uint8_t flags = 0;
  const char* id = nullptr;
  Attribute** values = ParseAttributeSpecs(type->Attributes(), &flags, &id, true);
  if (stop_) return;
  if (parent_) parent_->flags &= static_cast<std::uint8_t>(~kNodeData);

  const std::uint32_t offset = TextOffset();
  DocumentNode* node = nullptr;
  DocumentPool& pool = document_->Pool();
  if ((flags & 0x04) && (flags & 0x0A)) {
    auto* graphic = new (pool) GraphicElementNode(type, offset, offset, values, id ? id : "%");
    node = graphic;
    if (graphic) {
      if (id && !document_->RegisterId(graphic)) Warning(kMsgDuplicateId, id);
      const char* name = graphic->GetAttributeValue("GRAPHIC");
      EntityDecl* entity = name ? document_->FindEntityOrDefault(name) : nullptr;
      if (entity && entity->IsExternal()) document_->AddGraphicReference(graphic, entity);
    }
  } else if (id) {
    auto* element = new (pool) ElementNode(type, offset, offset, values, id);
    node = element;
    if (element && !document_->RegisterId(element)) Warning(kMsgDuplicateId, id);
  } else if (values) {
    node = new (pool) AttributedNode(type, offset, offset, values);
  } else {
    node = new (pool) DocumentNode(type, offset, offset);
  }
  if (!node) {
    Error(kMsgOutOfMemory);
    return;
  }
  document_->NoteTypeUse(type);
  LinkNode(node);
  NoteEntityNode();
  if (stop_) return;
  parent_ = node;
  lastStarted_ = node;
  ++elementDepth_;
  // The per-depth table ends at the limit: the check comes before anything
  // is stored at the new depth.
  if (elementDepth_ > kMaxElementDepth) {
    Error(kMsgNestingTooDeep);
    return;
  }
  if (stop_) return;

  std::uint8_t depthFlags = 0;
  bool empty = false;
  if (flags & 0x20) {
    depthFlags |= 0x02;
    ++preserve_;
  }
  if (flags & 0x01) empty = true;
  if (flags & 0x10) node->flags |= kNodeNotation;
  if (((flags & 0x02) || (type->flags & kElementLinkRule)) && document_->FindLinkRule(node)) {
    node->flags |= kNodeLinkSource;
  }

  int c = SkipSeparators();
  if (stop_) return;
  if (c == '/') {
    int d = NextChar();
    if (stop_) return;
    if (d == '>') {
      empty = true;
    } else {
      if (!endOfInput_) UngetChar();
      depthFlags |= 0x01;
    }
  } else if (c == '<') {
    UngetChar();
  } else if (c != '>') {
    if (!endOfInput_ || c != 0) Error(kMsgBadTagOpen);
    depthFlags_[elementDepth_] = depthFlags;
    return;
  }
  depthFlags_[elementDepth_] = depthFlags;

  if (values) {
    for (Attribute** v = values; *v && !stop_; ++v) {
      AttributeDecl* decl = (*v)->decl;
      std::uint8_t kind = decl->DeclaredValue();
      if (kind == kDeclaredEntity || kind == kDeclaredEntities) {
        AttachEntityAttribute((*v)->Value());
      } else if (decl->IsIdRefKind() && !(decl->Flags() & kAttrNoIdRef)) {
        auto* record = new IdRefRecord;
        record->node = node;
        record->value = AddNameUse((*v)->value);
        record->list = kind == kDeclaredIdrefs;
        if (lists_.lastIdref) {
          lists_.lastIdref->next = record;
        } else {
          lists_.idrefs = record;
        }
        lists_.lastIdref = record;
      }
    }
  }
  if (stop_) return;

  if ((type->flags & 0x10) && !(depthFlags & 0x02)) {
    depthFlags |= 0x02;
    ++preserve_;
    depthFlags_[elementDepth_] = depthFlags;
  }
  if (!empty) {
    std::uint8_t content = type->flags & 0x0F;
    if (content == 0x01) {
      empty = true;
    } else if (content == 0x0A || content == 0x0B) {
      char delimiter[kTokenCapacity + 4];
      if (depthFlags & 0x01) {
        CopyString(delimiter, "/");
      } else {
        FormatString(delimiter, sizeof delimiter, "</%s", type->NameText());
      }
      ParseDataUntil(delimiter, content == 0x0B);
      if (stop_) return;
      if (!(depthFlags & 0x01)) {
        if (SkipSeparators() != '>') {
          if (!stop_) Error(kMsgExpectedClose);
          return;
        }
      }
      EndElement();
      return;
    }
  }
  if (empty) {
    EndElement();
  }
  if (!(depthFlags & 0x01) && !stop_) {
    int d = NextChar();
    if (!stop_ && !endOfInput_ && d != '\n') UngetChar();
  }
}

// ---- Attributes --------------------------------------------------------------------

Attribute** Parser::ParseAttributeSpecs(AttributeDeclSet& sets, std::uint8_t* flags,
                                        const char** id, bool inPool) {
  Attribute* values[kMaxAttributeDefinitions + 1];
  AttributeDecl* specified[kMaxAttributeDefinitions + 1];
  std::size_t count = 0;
  std::size_t specifiedCount = 0;
  // A value whose only use is the caller's was never given to a record:
  // its record and the list holding it are new, so they are made without
  // looking among the document's shared ones (most values of a document of
  // distinct link targets or IDs are seen once).
  bool unshared = false;
  auto add = [&](AttributeDecl* decl, InternedName* value) {
    if (count >= static_cast<std::size_t>(kMaxAttributeDefinitions)) return;
    Attribute* v = nullptr;
    if (!inPool) {
      v = NewAttributeValue(decl, value);
    } else if (value && value->UseCount() == 1) {
      v = document_->NewUnsharedAttribute(decl, value);
      unshared = unshared || v;
    } else {
      v = document_->NewAttribute(decl, value);
    }
    if (v) values[count++] = v;
  };
  auto testSpecial = [&](AttributeDecl* decl, const char* value) {
    // Most names differ at the first letter already.
    const char* name = decl->NameText();
    std::uint8_t first = name ? FoldCase(static_cast<unsigned char>(name[0])) : 0;
    if (first == 'Q' && EqualsNoCase(name, "QUENDA-AF") && EqualsNoCase(value, "HOTSPOT")) {
      *flags |= 0x04;
    }
    if (first == 'X' && EqualsNoCase(name, "XML:SPACE") && EqualsNoCase(value, "PRESERVE")) {
      *flags |= 0x20;
    }
  };

  for (;;) {
    int c = SkipSeparators();
    if (stop_ || endOfInput_) break;
    UngetChar();
    if (!IsNameChar(c)) break;
    InternedName* value = nullptr;
    AttributeDecl* decl = ReadAttributeSpec(sets, &value);
    if (stop_) {
      ReleaseName(value);
      break;
    }
    if (!decl || !value) {
      ReleaseName(value);
      continue;
    }
    bool repeated = false;
    for (std::size_t i = 0; i < specifiedCount && !repeated; ++i) repeated = specified[i] == decl;
    if (repeated) {
      // One name, one value: the first stands.
      Warning(kMsgBadAttributeSpec, decl->NameText());
      ReleaseName(value);
      if (stop_) break;
      continue;
    }
    // A value equal to the default is still a specified value: its ENTITY,
    // ID-reference and NOTATION effects depend on it.
    add(decl, value);
    if (specifiedCount < static_cast<std::size_t>(kMaxAttributeDefinitions)) {
      specified[specifiedCount++] = decl;
    }
    switch (decl->DeclaredValue()) {
      case kDeclaredId:
        *id = NameText(count ? values[count - 1]->value : value);
        break;
      case kDeclaredIdref:
      case kDeclaredIdrefs:
        if (!(decl->Flags() & kAttrNoIdRef)) *flags |= 0x08;
        break;
      case kDeclaredNotation:
        *flags |= 0x10;
        break;
      default:
        break;
    }
    testSpecial(decl, NameText(value));
    ReleaseName(value);
  }
  // Values that no entity takes give back their uses; the document's
  // records stay with the document, which may share them.
  auto discard = [&]() {
    if (inPool) return;
    for (std::size_t i = 0; i < count; ++i) FreeAttributeValue(values[i]);
  };
  if (stop_) {
    discard();
    return nullptr;
  }

  auto isSpecified = [&](AttributeDecl* decl) {
    for (std::size_t i = 0; i < specifiedCount; ++i) {
      if (specified[i] == decl) return true;
    }
    return false;
  };
  for (int list = 0; list < 3; ++list) {
    NameGroup* group = sets.List(list);
    if (!group) continue;
    for (std::uint16_t i = group->Count(); i-- > 0;) {
      AttributeDecl* decl = group->At(i);
      if (!decl) continue;
      if (decl->Flags() & kAttrLinkRule) *flags |= 0x02;
      bool given = isSpecified(decl);
      if (!given && decl->DefaultKind() == kDefaultValue && decl->DefaultValue()) {
        std::uint8_t kind = decl->DeclaredValue();
        if (decl->IsIdRefKind() && !(decl->Flags() & kAttrNoIdRef)) *flags |= 0x08;
        if (kind == kDeclaredEntity || kind == kDeclaredEntities || kind == kDeclaredId ||
            kind == kDeclaredIdref || kind == kDeclaredIdrefs || kind == kDeclaredNotation) {
          add(decl, decl->DefaultValue());
          if (kind == kDeclaredNotation) *flags |= 0x10;
        }
        testSpecial(decl, decl->DefaultText());
      } else if (!given && decl->DefaultKind() == kDefaultRequired) {
        Warning(kMsgMissingRequired, decl->NameText());
      } else if (given && decl->DefaultKind() == kDefaultConref) {
        *flags |= 0x01;
      }
    }
  }
  if (stop_) {
    discard();
    return nullptr;
  }
  if (count == 0) return nullptr;
  if (inPool) {
    return unshared ? document_->NewUnsharedAttributeArray(values, count)
                    : document_->ShareAttributeArray(values, count);
  }
  auto** array = static_cast<Attribute**>(MemAlloc((count + 1) * sizeof(Attribute*)));
  if (!array) {
    discard();
    return nullptr;
  }
  for (std::size_t i = 0; i < count; ++i) array[i] = values[i];
  array[count] = nullptr;
  return array;
}

AttributeDecl* Parser::ReadAttributeSpec(AttributeDeclSet& sets, InternedName** value) {
  *value = nullptr;
  ReadFoldedName();
  if (stop_) return nullptr;
  if (tokenLength_ == 0) {
    // Not a name after all: the byte is no part of a specification.
    NextChar();
    Error(kMsgBadTagOpen);
    return nullptr;
  }
  // A copy: the token buffer is read into again before the name's last use.
  char name[kTokenCapacity + 1];
  std::memcpy(name, token_, tokenLength_ + 1);
  AttributeDecl* decl = sets.Find(name);
  if (!decl) {
    if (AttributeDecl* byToken = sets.FindByToken(name)) {
      *value = InternName(name);
      return byToken;
    }
    if (!xml_) Warning(kMsgUndeclaredAttribute, name);
    if (stop_) return nullptr;
    decl = DtdAddUndeclaredAttribute(dtd_->AttributeDefs(), sets, name);
  }
  int c = SkipSeparators();
  if (stop_) return nullptr;
  if (c != '=') {
    if (!endOfInput_) UngetChar();
    AttributeDecl* byToken = sets.FindByToken(name);
    if (byToken) {
      *value = InternName(name);
      return byToken;
    }
    Error(kMsgExpectedEquals);
    return nullptr;
  }
  c = SkipSeparators();
  if (stop_) return nullptr;
  if (TokenClassOf(c) == kTcLiteral) {
    ReadLiteral(c, kLiteralAttribute);
  } else {
    if (!endOfInput_) UngetChar();
    ReadName();
  }
  if (stop_) return nullptr;
  if (!decl) return nullptr;
  std::uint8_t kind = decl->DeclaredValue();
  if (kind != kDeclaredEntity && kind != kDeclaredEntities && kind != kDeclaredCdata) {
    FoldInPlace(token_);
  }
  // Every value but CDATA is tokens: no blanks around them, one between.
  if (kind != kDeclaredCdata || (decl->Flags() & kAttrTokenList)) NormalizeList(token_);
  *value = InternValueToken();
  return decl;
}

InternedName* Parser::InternValueToken() {
  const std::size_t n = std::strlen(token_);
  if (n == 0) return InternName(token_);
  const auto* t = reinterpret_cast<const unsigned char*>(token_);
  InternedName** set = recentValues_ + RecentPlace(t, n, kRecentValues);
  for (int k = 0; k < 2; ++k) {
    InternedName* name = set[k];
    if (name && name->Length() == n && MemEqual(name->Text(), t, n)) return name->AddRef();
  }
  InternedName* name = InternName(token_);
  // Only the caller's use: the value is new, and is left so (a document
  // whose values are all distinct keeps no record of them beyond its own).
  if (name && name->UseCount() != 1) {
    ReleaseName(set[1]);
    set[1] = set[0];
    set[0] = AddNameUse(name);
  }
  return name;
}

// ---- References --------------------------------------------------------------------

void Parser::ParseReference() {
  int c = NextChar();
  if (stop_) return;
  if (c == '#') {
    ReadName();
    if (stop_) return;
    if (tokenLength_ == 0) {
      PutDataChar('&');
      PutDataChar('#');
      return;
    }
    char name[32];
    CopyStringMax(name, token_, sizeof name);
    int t = NextChar();
    if (!stop_ && !endOfInput_ && t != ';' && t != '\n') UngetChar();
    if (stop_) return;
    if (std::strcmp(name, "RE") == 0) return;
    if (std::strcmp(name, "RS") == 0) {
      PutDataChar('\n');
      return;
    }
    if (std::strcmp(name, "SPACE") == 0) {
      PutDataChar(' ');
      return;
    }
    if (std::strcmp(name, "TAB") == 0) {
      PutDataChar('\t');
      return;
    }
    // The whole reference, not the shown copy: leading zeros may make it
    // long, its value is what counts.
    const char* digits = token_;
    int base = 10;
    if (token_[0] == 'x' && token_[1]) {
      digits = token_ + 1;
      base = 16;
    }
    std::uint32_t value = 0;
    bool ok = *digits;
    for (const char* p = digits; ok && *p; ++p) {
      int d;
      if (*p >= '0' && *p <= '9') {
        d = *p - '0';
      } else if (base == 16 && *p >= 'a' && *p <= 'f') {
        d = *p - 'a' + 10;
      } else if (base == 16 && *p >= 'A' && *p <= 'F') {
        d = *p - 'A' + 10;
      } else {
        ok = false;
        break;
      }
      value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(d);
      if (value > 0x10FFFF) ok = false;
    }
    if (!ok || !IsAllowedCodePoint(value)) {
      Warning(kMsgBadCharEntity, name);
      if (!stop_ && ok) PutCodePoint(0xFFFD);
      return;
    }
    PutCodePoint(value);
    return;
  }
  if (!IsNameChar(c)) {
    PutDataChar('&');
    if (!endOfInput_) UngetChar();
    return;
  }
  UngetChar();
  ReadName();
  if (stop_) return;
  char* name = DuplicateString(token_);
  int t = NextChar();
  bool semicolon = t == ';';
  if (!stop_ && !endOfInput_ && t != ';' && t != '\n') UngetChar();
  if (stop_) {
    MemFree(name);
    return;
  }
  EntityDecl* entity = document_->FindEntityOrDefault(name);
  if (!entity) {
    Warning(kMsgUndefinedEntity, name);
    if (!stop_) {
      PutDataChar('&');
      for (const char* p = name; *p; ++p) PutDataChar(*p);
      if (semicolon) PutDataChar(';');
    }
  } else if (const char* text = entity->GetText()) {
    if (entity->GetType() == kEntityCdata) {
      for (const char* p = text; *p; ++p) {
        std::uint8_t b = static_cast<std::uint8_t>(*p);
        if (b >= 0x80) {
          if (parent_) parent_->flags &= static_cast<std::uint8_t>(~kNodeData);
          FlushSpace();
          PutDataBytes(p, 1);
        } else {
          PutDataChar(b);
        }
      }
    } else if (entity->GetType() == kEntitySdata) {
      PutSdata(text);
    } else {
      EnterEntity(entity);
    }
  } else if (entity->GetNotation()) {
    PutEntityNode(entity);
  } else {
    EnterEntity(entity);
  }
  MemFree(name);
}

void Parser::PutSdata(const char* text) {
  bool first = false;
  const char* replacement = SdataReplacement(text, &first);
  if (!replacement) {
    // Once per text and parse: the table's answer is kept.
    if (first) Warning(kMsgCantResolveSdata, text);
    if (stop_) return;
    replacement = text;
  }
  if (parent_) parent_->flags &= static_cast<std::uint8_t>(~kNodeData);
  FlushSpace();
  PutDataBytes(replacement, std::strlen(replacement));
}

void Parser::PutEntityNode(EntityDecl* entity) {
  NotationDecl* notation = entity->GetNotation();
  char name[kTokenCapacity + 2];
  FormatString(name, sizeof name, "#%s", notation->Name());
  ElementTypeDecl* type = DeclareElementType(name);
  if (!type) return;
  if (!type->used) {
    if (NameGroup* data = notation->Attributes().List(0)) DtdNameGroupMerge(type->Attributes(), data);
    document_->NoteTypeUse(type);
  }
  FlushSpace();
  auto* node = new (document_->Pool()) EntityNode(type, TextOffset(), TextOffset(), entity);
  if (!node) return;
  LinkNode(node);
  NoteEntityNode();
  AttachDataEntity(entity);
  node->end = TextOffset();
  prevSibling_ = node;
}

void Parser::AttachDataEntity(EntityDecl* entity) {
  if (!entity->GetNotation()) {
    Warning(kMsgExpectedNotationEntity);
    return;
  }
  if (parent_) parent_->flags &= static_cast<std::uint8_t>(~kNodeData);
  FlushSpace();
  auto* mark = new (document_->Pool()) EntityRefMark(TextOffset(), entity);
  document_->AppendMark(mark);
  PutDataBytes(" ", 1);
}

void Parser::AttachEntityAttribute(const char* value) {
  if (!value) return;
  char name[kTokenCapacity + 1];
  const char* p = value;
  while (*p && !stop_) {
    while (*p == ' ') ++p;
    std::size_t n = 0;
    while (p[n] && p[n] != ' ') ++n;
    if (n == 0) break;
    if (n <= kTokenCapacity) {
      std::memcpy(name, p, n);
      name[n] = 0;
      EntityDecl* entity = document_->FindEntityOrDefault(name);
      if (!entity) {
        Warning(kMsgUndefinedEntity, name);
      } else if (entity->IsExternal()) {
        AttachDataEntity(entity);
      }
    }
    p += n;
  }
}

void Parser::EndElement() {
  DocumentNode* node = parent_;
  if (!node) return;
  FlushSpace();
  if ((depthFlags_[elementDepth_] & 0x02) && preserve_ > 0) --preserve_;
  node->end = TextOffset();
  if (node->end == node->start) {
    // Every element covers at least one character.
    PutDataBytes(" ", 1);
    node->end = TextOffset();
  }
  prevSibling_ = node;
  parent_ = node->Parent();
  mixed_ = parent_ ? (parent_->Decl()->flags & 0x08) != 0 : false;
  lastEnded_ = node->Decl();
  if (elementDepth_ >= 0 && elementDepth_ <= kMaxElementDepth + 1) depthFlags_[elementDepth_] = 0;
  --elementDepth_;
}

}  // namespace qs
