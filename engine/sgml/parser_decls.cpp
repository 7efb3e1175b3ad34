// Markup declarations: the declaration loop, marked sections among
// declarations, ENTITY, NOTATION, SHORTREF, USEMAP, EOR, ELEMENT, ATTLIST
// and the document type declaration with its two subsets.
#include <cstring>

#include "foundation/strings.h"
#include "sgml/content_model.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/external_id.h"
#include "sgml/model_names.h"
#include "sgml/parser.h"

namespace qs {

namespace {

// Model groups nest at most this deep; deeper input is refused rather than
// followed into the stack's end.
constexpr int kMaxGroupDepth = 64;

// A growing array of interned names that releases what it still holds.
struct NameArray {
  InternedName** items = nullptr;
  std::size_t count = 0;
  std::size_t capacity = 0;
  NameArray() = default;
  NameArray(const NameArray&) = delete;
  NameArray& operator=(const NameArray&) = delete;
  ~NameArray() { Clear(); }
  void Clear() {
    for (std::size_t i = 0; i < count; ++i) ReleaseName(items[i]);
    MemFree(items);
    items = nullptr;
    count = capacity = 0;
  }
};

const InternedName* BaseDirectory(ExternalId* base) {
  return base && base->Location() ? base->Location()->Directory() : nullptr;
}

}  // namespace

// ---- Declaration loop ------------------------------------------------------------

void Parser::ParseMarkupDecl(int terminator) {
  const std::uint8_t* upper = GetParserTables().upperNames;
  for (;;) {
    bool wasExpected = endExpected_;
    endExpected_ = true;
    int c = SkipSeparators();
    endExpected_ = wasExpected;
    if (stop_) return;
    if (endOfInput_) {
      // Only a file of declarations may end here; a subset or a marked
      // section still waits for its closing delimiter.
      if (terminator != 0) Error(kMsgUnexpectedEof);
      return;
    }
    if (c == terminator) return;
    if (c != '<') {
      Error(kMsgDtdSyntax);
      return;
    }
    tokenLength_ = 0;
    token_[0] = 0;
    int d = NextChar();
    if (stop_) return;
    if (d == '?') {
      ParseProcessingInstruction(8);
      continue;
    }
    if (d != '!') {
      Error(kMsgDtdSyntax);
      return;
    }
    int e = NextChar();
    if (stop_) return;
    if (e == '[') {
      ParseDeclMarkedSection();
    } else if (e == '>') {
      // An empty declaration, or a comment declaration whose comment the
      // scanner has removed.
    } else if (IsSeparator(e)) {
      if (SkipSeparators() != '>') {
        if (!stop_) Error(kMsgDtdSyntax);
        return;
      }
    } else if (IsNameChar(e)) {
      std::size_t n = 0;
      while (upper[e & 0xFF]) {
        if (n < kTokenCapacity) token_[n++] = static_cast<char>(upper[e & 0xFF]);
        e = NextRawChar();
      }
      token_[n] = 0;
      tokenLength_ = n;
      if (stop_) return;
      if (!endOfInput_) UngetChar();
      switch (FindDeclarationKeyword(token_, n)) {
        case kDeclEntity: ParseEntityDecl(); break;
        case kDeclElement: ParseElementDecl(); break;
        case kDeclAttlist: ParseAttlistDecl(); break;
        case kDeclNotation: ParseNotationDecl(); break;
        case kDeclShortref: ParseShortrefDecl(); break;
        case kDeclUsemap: ParseUsemapDecl(); break;
        case kDeclEor:
          if (SkipSeparators() != '>' && !stop_) Error(kMsgExpectedClose);
          break;
        default: Error(kMsgDtdSyntax); break;
      }
    } else {
      Error(kMsgDtdSyntax);
    }
    if (stop_) return;
  }
}

void Parser::ParseProcessingInstruction(int kind) { ReadProcessingInstruction(kind, false); }

void Parser::ParseDeclMarkedSection() {
  int status = kRnInclude;
  for (;;) {
    int c = SkipSeparators();
    if (stop_) return;
    if (c == '[' || c == 0 || endOfInput_) break;
    UngetChar();
    int k = ReadKeyword();
    if (stop_) return;
    if (!(GetReservedName(k).flags & kRnfMarkedSection)) {
      Error(kMsgBadMarkedSection, token_);
      return;
    }
    status = k;
  }
  if (status == kRnIgnore) {
    SkipIgnoredDeclSection();
    return;
  }
  // Included sections are read by recursion: their nesting is bounded so
  // that no input can exhaust the stack.
  if (sectionDepth_ >= kMaxSectionDepth) {
    Error(kMsgExpectedCloseBracket);
    return;
  }
  ++sectionDepth_;
  ParseMarkupDecl(']');
  --sectionDepth_;
  if (stop_) return;
  if (SkipSeparators() != ']') {
    if (!stop_) Error(kMsgExpectedCloseBracket);
    return;
  }
  if (SkipSeparators() != '>' && !stop_) Error(kMsgExpectedClose);
}

void Parser::SkipIgnoredDeclSection() {
  bool commentsWere = comments_, refsWere = parameterRefs_;
  comments_ = parameterRefs_ = false;
  int depth = 1;
  int a = 0, b = 0;  // the two bytes before the current one
  while (depth > 0) {
    int c = NextRawChar();
    if (stop_ || endOfInput_) break;
    if (a == '<' && b == '!' && c == '[') {
      ++depth;
      c = 0;
    } else if (a == ']' && b == ']' && c == '>') {
      --depth;
      c = 0;
    }
    a = b;
    b = c;
    if (c == 0) a = b = 0;
  }
  comments_ = commentsWere;
  parameterRefs_ = refsWere;
}

// ---- ENTITY, NOTATION, SHORTREF, USEMAP ----------------------------------------------

void Parser::ReadExternalIdLiterals(int kind, char* systemId, char* publicId) {
  systemId[0] = publicId[0] = 0;
  bool commentsWere = comments_;
  auto readInto = [&](int delimiter, char* out) {
    comments_ = false;
    std::size_t n = 0;
    for (;;) {
      int c = NextRawChar();
      if (stop_ || endOfInput_ || c == delimiter) break;
      if (c != 0 && n < kIdLiteralLimit) out[n++] = static_cast<char>(c);
    }
    out[n] = 0;
    comments_ = commentsWere;
  };
  if (kind == kRnPublic) {
    int c = SkipSeparators();
    if (stop_) return;
    if (TokenClassOf(c) != kTcLiteral) {
      Error(kMsgBadPublicId);
      return;
    }
    readInto(c, publicId);
    if (stop_) return;
  }
  int c = SkipSeparators();
  if (stop_) return;
  if (TokenClassOf(c) == kTcLiteral) {
    readInto(c, systemId);
  } else if (!endOfInput_) {
    UngetChar();
  }
}

NotationDecl* Parser::FindOrDeclareNotation(const char* name) {
  NotationDecl* notation = dtd_->FindNotation(name);
  if (notation) return notation;
  dtd_->AddNotation(new NotationDecl(name));
  return dtd_->FindNotation(name);
}

void Parser::ParseEntityDecl() {
  bool parameter = false;
  int c = SkipSeparators();
  if (stop_) return;
  if (c == '%') {
    parameter = true;
    c = SkipSeparators();
    if (stop_) return;
  }
  char* name = nullptr;
  if (c == '#') {
    if (ReadKeyword() != kRnDefault) {
      if (!stop_) Error(kMsgExpectedDefault);
      return;
    }
    name = DuplicateString("#DEFAULT");
  } else {
    UngetChar();
    ReadName();
    if (stop_) return;
    name = DuplicateString(token_);
  }
  EntityDecl* entity = nullptr;
  std::uint8_t type = 0;
  c = SkipSeparators();
  if (stop_) goto done;
  if (TokenClassOf(c) != kTcLiteral) {
    UngetChar();
    int k = ReadKeyword();
    if (stop_) goto done;
    if (k == kRnSystem || k == kRnPublic) {
      char systemId[kIdLiteralLimit + 1], publicId[kIdLiteralLimit + 1];
      ReadExternalIdLiterals(k, systemId, publicId);
      if (stop_) goto done;
      auto* id = new ExternalId(resolver_, BaseDirectory(InnermostBase()), name,
                                systemId[0] ? systemId : nullptr,
                                publicId[0] ? publicId : nullptr,
                                parameter ? ExternalId::kParameterEntity
                                          : ExternalId::kGeneralEntity);
      auto* external = new ExternalEntityDecl(name, id, 0, nullptr);
      entity = external;
      c = SkipSeparators();
      if (stop_) goto done;
      if (c != '>') {
        UngetChar();
        int t = ReadKeyword();
        if (stop_) goto done;
        if (!(GetReservedName(t).flags & kRnfExternalEntity)) {
          Error(kMsgBadEntityType, token_);
          goto done;
        }
        external->SetType(static_cast<std::uint8_t>(t));
        if (t != kRnSubdoc) {
          SkipSeparatorsAndUnget();
          ReadFoldedName();
          if (stop_) goto done;
          // A nameless notation would be declared and written back as one
          // no parser reads again.
          if (tokenLength_ == 0) {
            Error(kMsgExpectedNotation);
            goto done;
          }
          NotationDecl* notation = FindOrDeclareNotation(token_);
          external->SetNotation(notation);
          c = SkipSeparators();
          if (stop_) goto done;
          if (c == '[') {
            ReadDataAttributes(external, notation);
            if (stop_) goto done;
            if (SkipSeparators() != ']') {
              if (!stop_) Error(kMsgExpectedCloseBracket);
              goto done;
            }
          } else if (!endOfInput_) {
            UngetChar();
          }
        } else {
          c = 0;
        }
        if (SkipSeparators() != '>') {
          if (!stop_) Error(kMsgExpectedClose);
          goto done;
        }
      }
      goto add;
    }
    if (!(GetReservedName(k).flags & kRnfInternalEntity)) {
      Error(kMsgBadEntitySpecifier, token_);
      goto done;
    }
    type = static_cast<std::uint8_t>(k);
    c = SkipSeparators();
    if (stop_) goto done;
  }
  if (TokenClassOf(c) != kTcLiteral) {
    Error(kMsgExpectedQuote);
    goto done;
  }
  // XML replaces character references when the entity is declared; its
  // entity references wait until it is used.
  ReadLiteral(c, type == kRnCdata ? kLiteralExpand : xml_ ? kLiteralCharRefs : kLiteralPlain);
  if (stop_) goto done;
  entity = new TextEntityDecl(name, type, token_);
  // A declaration once accepted stays, even when its '>' is missing.
  if (parameter) {
    dtd_->AddEntity(entity);
  } else {
    document_->AddEntity(entity);
  }
  entity = nullptr;
  if (SkipSeparators() != '>' && !stop_) Error(kMsgExpectedClose);
  goto done;
add:
  if (parameter) {
    dtd_->AddEntity(entity);
  } else {
    document_->AddEntity(entity);
  }
  entity = nullptr;
done:
  if (entity) entity->Release();
  MemFree(name);
}

void Parser::ReadDataAttributes(ExternalEntityDecl* entity, NotationDecl* notation) {
  // name = value pairs up to ']'; values of names the notation does not
  // declare are not kept.
  Attribute* values[kMaxAttributeDefinitions + 1];
  std::size_t count = 0;
  for (;;) {
    int c = SkipSeparators();
    if (stop_ || endOfInput_) break;
    if (c == ']') {
      UngetChar();
      break;
    }
    UngetChar();
    ReadFoldedName();
    if (stop_) break;
    if (tokenLength_ == 0) {
      Error(kMsgExpectedCloseBracket);
      break;
    }
    AttributeDecl* decl = notation ? notation->FindAttributeDecl(token_) : nullptr;
    if (SkipSeparators() != '=') {
      if (!stop_) Error(kMsgExpectedEquals);
      break;
    }
    c = SkipSeparators();
    if (stop_) break;
    if (TokenClassOf(c) == kTcLiteral) {
      ReadLiteral(c, kLiteralAttribute);
    } else {
      UngetChar();
      ReadName();
    }
    if (stop_) break;
    if (decl && count < kMaxAttributeDefinitions) {
      InternedName* value = InternName(token_);
      values[count++] = NewAttributeValue(decl, value);
      ReleaseName(value);
    }
  }
  if (stop_ || count == 0) {
    for (std::size_t i = 0; i < count; ++i) FreeAttributeValue(values[i]);
    return;
  }
  auto** array = static_cast<Attribute**>(MemAlloc((count + 1) * sizeof(Attribute*)));
  if (!array) {
    for (std::size_t i = 0; i < count; ++i) FreeAttributeValue(values[i]);
    return;
  }
  for (std::size_t i = 0; i < count; ++i) array[i] = values[i];
  array[count] = nullptr;
  entity->SetDataAttributes(array);
}

void Parser::ParseNotationDecl() {
  SkipSeparatorsAndUnget();
  ReadFoldedName();
  if (stop_) return;
  if (tokenLength_ == 0) {
    Error(kMsgExpectedNotation);
    return;
  }
  NotationDecl* notation = FindOrDeclareNotation(token_);
  notation->SetSystemId(nullptr);
  SkipSeparatorsAndUnget();
  int k = ReadKeyword();
  if (stop_) return;
  if (k != kRnSystem && k != kRnPublic) {
    Error(kMsgBadPublicId);
    return;
  }
  char systemId[kIdLiteralLimit + 1], publicId[kIdLiteralLimit + 1];
  ReadExternalIdLiterals(k, systemId, publicId);
  if (stop_) return;
  if (systemId[0]) notation->SetSystemId(systemId);
  if (publicId[0]) notation->SetPublicId(publicId);
  if (SkipSeparators() != '>' && !stop_) Error(kMsgExpectedClose);
}

void Parser::ParseShortrefDecl() {
  SkipSeparatorsAndUnget();
  ReadFoldedName();
  for (;;) {
    int c = SkipSeparators();
    if (stop_ || endOfInput_ || c == '>') return;
    if (TokenClassOf(c) != kTcLiteral) {
      Warning(kMsgBadShortref);
      continue;
    }
    ReadLiteral(c, false);
    SkipSeparatorsAndUnget();
    ReadName();
    if (stop_) return;
  }
}

void Parser::ParseUsemapDecl() {
  int c = SkipSeparators();
  if (stop_) return;
  if (c == '#') {
    if (ReadKeyword() != kRnEmpty) {
      if (!stop_) Error(kMsgExpectedEmpty);
      return;
    }
  } else {
    UngetChar();
    ReadFoldedName();
  }
  NameArray names;
  if (!ReadNameOrGroup(names.items, names.count, names.capacity)) return;
  if (SkipSeparators() != '>' && !stop_) Error(kMsgExpectedClose);
}

// ---- Document type declaration ---------------------------------------------------

int Parser::ParseDoctypeExternalId(const char* name) {
  char systemId[kIdLiteralLimit + 1] = "", publicId[kIdLiteralLimit + 1] = "";
  int c = SkipSeparators();
  if (stop_) return 0;
  if (IsNameChar(c)) {
    UngetChar();
    int k = ReadKeyword();
    if (stop_) return 0;
    if (k != kRnSystem && k != kRnPublic) {
      Error(kMsgBadDoctype);
      return 0;
    }
    ReadExternalIdLiterals(k, systemId, publicId);
    if (stop_) return 0;
    doctypeExternal_ = true;
    c = -1;
  }
  auto* id = new ExternalId(resolver_, BaseDirectory(InnermostBase()), name,
                            systemId[0] ? systemId : nullptr, publicId[0] ? publicId : nullptr,
                            ExternalId::kDoctype);
  dtd_->SetDoctypeId(id);
  id->Release();
  return c >= 0 ? c : SkipSeparators();
}

void Parser::ParseDoctype() {
  parameterRefs_ = comments_ = true;
  SkipSeparatorsAndUnget();
  ReadFoldedName();
  if (stop_) return;
  if (CompareStringNoCase(token_, "DOCTYPE") != 0) {
    Error(kMsgExpectedDoctype);
    return;
  }
  int c = SkipSeparators();
  if (stop_) return;
  if (c == '#') {
    if (ReadKeyword() != kRnImplied) {
      if (!stop_) Error(kMsgBadDoctype);
      return;
    }
  } else {
    UngetChar();
    ReadFoldedName();
    if (stop_) return;
  }
  // The name is kept whole: a copy of any length, not a fixed buffer.
  char* name = DuplicateString(token_);
  doctypeExternal_ = false;
  c = ParseDoctypeExternalId(name);
  MemFree(name);
  if (stop_) return;
  if (c == '[') {
    ParseMarkupDecl(']');
    if (stop_) return;
  } else if (!endOfInput_) {
    UngetChar();
  }
  ExternalId* id = dtd_->DoctypeId();
  // "SYSTEM" without a literal still names an external subset: the one the
  // catalog gives for the document type's name.
  if (!id->SystemId() && !id->PublicId() && !doctypeExternal_) {
    if (SkipSeparators() != '>' && !stop_) Error(kMsgExpectedClose);
  } else {
    std::int32_t encoding = 0;
    Stream* stream = OpenIdentifier(id, &encoding);
    if (!stream) {
      if (!xml_) {
        Warning(kMsgCantResolveDtd, id->PublicId() ? id->PublicId()
                                    : id->SystemId() ? id->SystemId()
                                                     : id->Name());
      }
    } else {
      PushInput(stream, encoding, false, id, nullptr);
      DtdOpened();
    }
    if (stop_) return;
    ParseMarkupDecl('>');
  }
  if (stop_) return;
  ApplyNidrefRecords();
  CompleteDeclarations();
}

void Parser::CompleteDeclarations() {
  if (NameGroup* all = specialSets_[kAllElements].List(0)) {
    for (ElementTypeDecl* e = dtd_->FirstElement(); e; e = dtd_->NextElement()) {
      DtdNameGroupSetSecond(e->Attributes(), all);
    }
  }
  NameGroup* implicitNotations = specialSets_[kImplicitNotations].List(0);
  NameGroup* allNotations = specialSets_[kAllNotations].List(0);
  if (implicitNotations || allNotations) {
    for (NotationDecl* n = dtd_->FirstNotation(); n; n = dtd_->NextNotation()) {
      if (implicitNotations && !n->SystemIdGiven()) {
        DtdNameGroupMerge(n->Attributes(), implicitNotations);
      }
      if (allNotations) DtdNameGroupSetSecond(n->Attributes(), allNotations);
    }
  }
}

// ---- ELEMENT ---------------------------------------------------------------------

bool Parser::ReadNameOrGroup(InternedName**& items, std::size_t& count, std::size_t& capacity) {
  auto append = [&]() {
    if (tokenLength_ == 0) return true;
    if (count == capacity) {
      std::size_t grown = capacity ? capacity * 2 : 8;
      auto* bigger = static_cast<InternedName**>(MemAlloc(grown * sizeof(InternedName*)));
      if (!bigger) return false;
      if (count) std::memcpy(bigger, items, count * sizeof(InternedName*));
      MemFree(items);
      items = bigger;
      capacity = grown;
    }
    InternedName* name = InternName(token_);
    if (!name) return false;
    items[count++] = name;
    return true;
  };
  int c = SkipSeparators();
  if (stop_) return false;
  if (c != '(') {
    if (!endOfInput_) UngetChar();
    ReadFoldedName();
    return !stop_ && append();
  }
  for (;;) {
    SkipSeparatorsAndUnget();
    ReadFoldedName();
    if (stop_ || !append()) return false;
    c = SkipSeparators();
    if (stop_) return false;
    if (c == ')') return true;
    if (TokenClassOf(c) != kTcConnector) {
      Error(kMsgExpectedCloseParen);
      return false;
    }
  }
}

bool Parser::ParseModelGroup() {
  if (++groupDepth_ > kMaxGroupDepth) {
    Error(kMsgExpectedCloseParen);
    return false;
  }
  for (;;) {
    SkipSeparatorsAndUnget();
    if (!ParseModelToken()) return false;
    int c = SkipSeparators();
    if (stop_) return false;
    if (TokenClassOf(c) == kTcConnector) continue;
    if (c == ')') {
      int d = NextChar();
      if (TokenClassOf(d) != kTcOccurrence && !stop_ && !endOfInput_) UngetChar();
      --groupDepth_;
      return !stop_;
    }
    Error(kMsgExpectedCloseParen);
    return false;
  }
}

bool Parser::ParseModelToken() {
  int c = NextChar();
  if (stop_) return false;
  if (c == '#') {
    if (ReadKeyword() != kRnPcdata) {
      if (!stop_) Error(kMsgExpectedPcdata);
      return false;
    }
    currentFlags_ |= 0x08;
    return true;
  }
  if (c == '(') return ParseModelGroup();
  if (c == '[') {
    SkipSeparatorsAndUnget();
    ReadFoldedName();
    if (SkipSeparators() != ',') {
      if (!stop_) Error(kMsgExpectedComma);
      return false;
    }
    if (!ParseDataTagTemplate()) return false;
    if (SkipSeparators() != ']') {
      if (!stop_) Error(kMsgExpectedCloseBracket);
      return false;
    }
    int d = NextChar();
    if (TokenClassOf(d) != kTcOccurrence && !stop_ && !endOfInput_) UngetChar();
    currentFlags_ |= 0x08;
    return !stop_;
  }
  if (!endOfInput_) UngetChar();
  ReadFoldedName();
  if (stop_) return false;
  int d = NextChar();
  if (TokenClassOf(d) != kTcOccurrence && !stop_ && !endOfInput_) UngetChar();
  return !stop_;
}

bool Parser::ParseDataTagTemplate() {
  auto literal = [&]() {
    int c = SkipSeparators();
    if (stop_) return false;
    if (TokenClassOf(c) != kTcLiteral) {
      Error(kMsgBadDataTag);
      return false;
    }
    ReadLiteral(c, false);
    return !stop_;
  };
  int c = SkipSeparators();
  if (stop_) return false;
  if (c == '(') {
    for (;;) {
      if (!literal()) return false;
      c = SkipSeparators();
      if (stop_) return false;
      if (c == ')') break;
      if (c != '|') {
        Error(kMsgExpectedCloseParen);
        return false;
      }
    }
  } else {
    if (!endOfInput_) UngetChar();
    if (!literal()) return false;
  }
  c = SkipSeparators();
  if (stop_) return false;
  if (c == ',') return literal();
  if (!endOfInput_) UngetChar();
  return true;
}

bool Parser::ParseExceptions(ContentModel* model) {
  NameArray exclusions, inclusions;
  int c = SkipSeparators();
  if (stop_) return false;
  if (c == '-') {
    if (!ReadNameOrGroup(exclusions.items, exclusions.count, exclusions.capacity)) return false;
    c = SkipSeparators();
    if (stop_) return false;
  }
  if (c == '+') {
    if (!ReadNameOrGroup(inclusions.items, inclusions.count, inclusions.capacity)) return false;
  } else if (!endOfInput_) {
    UngetChar();
  }
  if (!model) return true;
  auto take = [](NameArray& names) -> NameList* {
    if (names.count == 0 || names.count > 0xFFFF) return nullptr;
    NameList* list = NameList::New(names.items, static_cast<std::uint16_t>(names.count));
    names.count = 0;  // the list holds the uses now (or released them)
    return list;
  };
  model->SetFirstList(take(exclusions));
  model->SetSecondList(take(inclusions));
  return true;
}

void Parser::ParseElementDecl() {
  currentFlags_ = 0;
  groupDepth_ = 0;
  NameArray names;
  if (!ReadNameOrGroup(names.items, names.count, names.capacity)) return;
  int c = SkipSeparators();
  if (stop_) return;
  if (TokenClassOf(c) == kTcDigit) {
    UngetChar();
    ReadFoldedName();
    if (stop_) return;
    // Ranked elements: the rank completes every name of the declaration.
    char rank[kTokenCapacity + 1];
    std::memcpy(rank, token_, tokenLength_ + 1);
    for (std::size_t i = 0; i < names.count; ++i) {
      char full[2 * kTokenCapacity + 1];
      FormatString(full, sizeof full, "%s%s", NameText(names.items[i]), rank);
      InternedName* ranked = InternName(full);
      if (!ranked) return;
      ReleaseName(names.items[i]);
      names.items[i] = ranked;
    }
    c = SkipSeparators();
    if (stop_) return;
  }
  if (c == '-' || c == 'O' || c == 'o') {
    if (c != '-') currentFlags_ |= 0x20;
    int d = SkipSeparators();
    if (stop_) return;
    if (d == 'O' || d == 'o') {
      currentFlags_ |= 0x40;
    } else if (d != '-') {
      Error(kMsgBadOmission);
      return;
    }
    c = SkipSeparators();
    if (stop_) return;
  }
  ContentModel* model = nullptr;
  if (c == '(') {
    if (!ParseModelGroup()) return;
    model = new ContentModel(nullptr);
    if (!ParseExceptions(nullptr)) {
      model->Release();
      return;
    }
  } else {
    if (!endOfInput_) UngetChar();
    int k = ReadKeyword();
    if (stop_) return;
    if (!(GetReservedName(k).flags & kRnfDeclaredContent)) {
      Error(kMsgBadContent, token_);
      return;
    }
    const char* modelName = "#ANY";
    switch (k) {
      case kRnAny: currentFlags_ |= 0x08; break;
      case kRnEmpty: currentFlags_ |= 0x01; modelName = "#EMPTY"; break;
      case kRnCdata: currentFlags_ |= 0x0A; modelName = "#CDATA"; break;
      default: currentFlags_ |= 0x0B; modelName = "#RCDATA"; break;
    }
    model = new ContentModel(new ContentModelName(modelName));
    if (k == kRnAny && !ParseExceptions(model)) {
      model->Release();
      return;
    }
  }
  for (std::size_t i = 0; i < names.count; ++i) {
    ElementTypeDecl* decl = DeclareElementType(NameText(names.items[i]));
    if (decl && !decl->Model()) {
      decl->SetModel(model);
      decl->flags = currentFlags_;
    }
  }
  model->Release();
  if (SkipSeparators() != '>' && !stop_) Error(kMsgExpectedClose);
}

// ---- ATTLIST ---------------------------------------------------------------------

void Parser::NormalizeList(char* text) {
  const std::uint8_t* separators = GetParserTables().separators;
  char* out = text;
  const char* in = text;
  while (*in && separators[static_cast<std::uint8_t>(*in)]) ++in;
  while (*in) {
    if (separators[static_cast<std::uint8_t>(*in)]) {
      while (*in && separators[static_cast<std::uint8_t>(*in)]) ++in;
      if (*in) *out++ = ' ';
    } else {
      *out++ = *in++;
    }
  }
  *out = 0;
}

TokenGroup* Parser::ReadDeclaredValue(std::uint8_t* code, std::uint8_t* tokenKind, bool* ok) {
  *ok = false;
  *code = 0;
  *tokenKind = 0;
  NameArray names;
  int c = SkipSeparators();
  if (stop_) return nullptr;
  if (c != '(') {
    if (!endOfInput_) UngetChar();
    int k = ReadKeyword();
    if (stop_) return nullptr;
    std::uint32_t flags = GetReservedName(k).flags;
    if (k == kRnNotation) {
      *code = kRnNotation;
      c = SkipSeparators();
      if (stop_) return nullptr;
      if (c != '(') {
        Error(kMsgExpectedOpenParen);
        return nullptr;
      }
    } else if (k != 0 && (flags & (kRnfSingleToken | kRnfList | kRnfCdataValue))) {
      *code = static_cast<std::uint8_t>(k);
      *tokenKind = static_cast<std::uint8_t>(flags & kRnfTokenKindMask);
      *ok = true;
      return nullptr;
    } else {
      Error(kMsgBadAttributeType, token_);
      return nullptr;
    }
  }
  UngetChar();
  if (!ReadNameOrGroup(names.items, names.count, names.capacity)) return nullptr;
  if (names.count > 0xFFFF) {
    Error(kMsgExpectedCloseParen);
    return nullptr;
  }
  TokenGroup* group = names.count
                          ? TokenGroup::New(names.items, static_cast<std::uint16_t>(names.count))
                          : nullptr;
  names.count = 0;  // the group took over the uses
  *ok = true;
  return group;
}

InternedName* Parser::ReadDefaultValue(std::uint8_t* kind, bool fold, std::uint8_t tokenKind,
                                       bool* ok, bool tokenized) {
  *ok = false;
  *kind = 0;
  int c = SkipSeparators();
  if (stop_) return nullptr;
  if (c == '#') {
    int k = ReadKeyword();
    if (stop_) return nullptr;
    if (!(GetReservedName(k).flags & kRnfDefaultKeyword)) {
      Error(kMsgBadAttributeDefault, token_);
      return nullptr;
    }
    if (k != kRnFixed) {
      *kind = static_cast<std::uint8_t>(k);
      *ok = true;
      return nullptr;
    }
    c = SkipSeparators();
    if (stop_) return nullptr;
  }
  bool literal = TokenClassOf(c) == kTcLiteral;
  if (literal) {
    // An attribute value literal knows no parameter-entity references.
    bool refsWere = parameterRefs_;
    parameterRefs_ = false;
    ReadLiteral(c, kLiteralAttribute);
    parameterRefs_ = refsWere;
    if (fold) FoldInPlace(token_);
  } else {
    if (!endOfInput_) UngetChar();
    if (fold) {
      ReadFoldedName();
    } else {
      ReadName();
    }
  }
  if (stop_) return nullptr;
  *ok = true;
  if (!literal && tokenLength_ == 0) return nullptr;
  if (((tokenKind & kRnfList) || tokenized) && token_[0]) NormalizeList(token_);
  return InternName(token_);
}

void Parser::ParseAttlistDecl() {
  enum Target { kElements, kNotations, kSpecial } target = kElements;
  AttributeDeclSet* special = nullptr;
  NameArray names;
  int c = SkipSeparators();
  if (stop_) return;
  if (c == '#') {
    int k = ReadKeyword();
    if (stop_) return;
    if (k == kRnNotation) {
      target = kNotations;
      c = SkipSeparators();
      if (stop_) return;
      if (c == '#') {
        int which = ReadKeyword();
        if (stop_) return;
        if (which != kRnAll && which != kRnImplicit) {
          Error(kMsgExpectedAllOrImplicit);
          return;
        }
        target = kSpecial;
        special = &specialSets_[which == kRnAll ? kAllNotations : kImplicitNotations];
      } else {
        if (!endOfInput_) UngetChar();
        if (!ReadNameOrGroup(names.items, names.count, names.capacity)) return;
      }
    } else if (k == kRnAll || k == kRnImplicit) {
      target = kSpecial;
      special = &specialSets_[k == kRnAll ? kAllElements : kImplicitElements];
    } else {
      Error(kMsgExpectedNotation);
      return;
    }
  } else {
    if (!endOfInput_) UngetChar();
    if (!ReadNameOrGroup(names.items, names.count, names.capacity)) return;
  }

  AttributeDecl* defs[kMaxAttributeDefinitions];
  int count = 0;  // definitions read
  int kept = 0;
  for (;;) {
    c = SkipSeparators();
    if (stop_) return;
    if (c == '>') break;
    if (endOfInput_) return;
    UngetChar();
    ReadFoldedName();
    if (stop_) return;
    if (tokenLength_ == 0) {
      Error(kMsgExpectedClose);
      return;
    }
    if (count == kMaxAttributeDefinitions) {
      Error(kMsgTooManyAttributes);
      return;
    }
    InternedName* name = InternName(token_);
    std::uint8_t code = 0, tokenKind = 0, kind = 0;
    bool ok = false;
    TokenGroup* tokens = ReadDeclaredValue(&code, &tokenKind, &ok);
    if (!ok) {
      delete tokens;
      ReleaseName(name);
      return;
    }
    bool fold = code != kRnEntity && code != kRnEntities && code != kRnCdata;
    InternedName* value = ReadDefaultValue(&kind, fold, tokenKind, &ok, code != kRnCdata);
    if (!ok) {
      delete tokens;
      ReleaseName(name);
      return;
    }
    // A name defined twice in one declaration: the first definition binds,
    // the later one is read and dropped.
    bool repeated = false;
    for (int i = 0; i < kept && !repeated; ++i) repeated = defs[i]->Name() == name;
    ++count;
    if (repeated) {
      delete tokens;
      ReleaseName(name);
      ReleaseName(value);
      continue;
    }
    AttributeDecl* decl =
        dtd_->AttributeDefs().Intern(name, code, kind, tokenKind, tokens, value);
    if (decl) defs[kept++] = decl;
  }
  count = kept;
  if (count == 0) return;
  NameGroup* group = NameGroup::New(defs, static_cast<std::uint16_t>(count));
  if (!group) return;
  if (target == kSpecial) {
    DtdNameGroupMerge(*special, group);
  } else {
    for (std::size_t i = 0; i < names.count; ++i) {
      const char* text = NameText(names.items[i]);
      if (target == kElements) {
        if (ElementTypeDecl* e = DeclareElementType(text)) {
          DtdNameGroupMerge(e->Attributes(), group);
        }
      } else if (NotationDecl* n = FindOrDeclareNotation(text)) {
        DtdNameGroupMerge(n->Attributes(), group);
      }
    }
  }
  group->Release();
}

}  // namespace qs
