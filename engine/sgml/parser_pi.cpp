// Processing instructions: reading them (the first may switch the parser
// into XML mode) and the engine's own instructions, which attach style
// sheets, navigators, link rules and settings to the document.
#include <cstring>

#include "foundation/strings.h"
#include "foundation/utf8.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/entityrc.h"
#include "sgml/external_id.h"
#include "sgml/model_names.h"
#include "sgml/parser.h"
#include "sgml/parser_instance.h"
#include "sgml/pi_tokens.h"

namespace qs {

namespace {

const char* MatchKeyword(const char* text, const char* keyword) {
  return MatchPiKeyword(text, keyword);
}

constexpr std::size_t kItem = 1024;

}  // namespace

void Parser::ReadProcessingInstruction(int kind, bool checkXml) {
  const std::uint32_t start = TextOffset();
  std::size_t n = 0;
  if (checkXml) {
    static const char kXml[] = "xml";
    std::size_t i = 0;
    for (; i < 3; ++i) {
      int c = NextRawChar();
      if (stop_ || endOfInput_) return;
      if (c != kXml[i]) {
        UngetChar();
        break;
      }
      token_[n++] = static_cast<char>(c);
    }
    if (i == 3) {
      int c = NextRawChar();
      if (stop_ || endOfInput_) return;
      if (IsSeparator(c) || c == '?') {
        SetXmlMode(true);
        // The five predefined entities stand for characters, never markup:
        // they are character data.
        static const char* const kPredefined[][2] = {
            {"lt", "<"}, {"gt", ">"}, {"amp", "&"}, {"apos", "'"}, {"quot", "\""}};
        for (const auto& entity : kPredefined) {
          document_->AddEntity(new TextEntityDecl(entity[0], kEntityCdata, entity[1]));
        }
      }
      UngetChar();
    }
  }
  for (;;) {
    int c = NextRawChar();
    if (stop_ || endOfInput_) return;
    if (c == '>' && !xml_) break;
    if (c == '?' && xml_) {
      int d = NextRawChar();
      if (stop_ || endOfInput_) return;
      if (d == '>') break;
      UngetChar();
    }
    if (n >= kPiLimit) {
      Error(kMsgPiTooLong);
      return;
    }
    token_[n++] = static_cast<char>(c);
  }
  token_[n] = 0;
  tokenLength_ = n;
  if (n == 0 || stop_) return;
  char* text = DuplicateString(token_);
  if (!text) return;
  if (kind == 6) {
    for (const char* p = text; *p && !stop_;) {
      std::uint8_t b = static_cast<std::uint8_t>(*p);
      if (b < 0x21) {
        PutDataBytes(" ", 1);
        ++p;
      } else if (b < 0x80) {
        PutDataBytes(p, 1);
        ++p;
      } else if (b < 0xC0) {
        PutDataBytes("\xEF\xBF\xBD", 3);
        ++p;
      } else {
        std::size_t length = static_cast<std::size_t>(Utf8SequenceLength(b));
        std::size_t got = 1;
        while (got < length && (static_cast<std::uint8_t>(p[got]) & 0xC0) == 0x80) ++got;
        if (got == length && length <= 4) {
          PutDataBytes(p, length);
        } else {
          PutDataBytes("\xEF\xBF\xBD", 3);
        }
        p += got;
      }
    }
    if (!stop_) {
      auto* mark = new (document_->Pool()) MarkupMark(kMarkProcessingInstruction, start, TextOffset());
      document_->AppendMark(mark);
    }
  } else if (kind >= 7 && kind <= 9) {
    auto* record = static_cast<PiRecord*>(MemAlloc(sizeof(PiRecord)));
    if (record) {
      record->next = nullptr;
      record->kind = static_cast<std::uint8_t>(kind);
      record->text = DuplicateString(text);
      if (lists_.lastPi) {
        lists_.lastPi->next = record;
      } else {
        lists_.pis = record;
      }
      lists_.lastPi = record;
    }
  }
  if (!stop_) HandleProcessingInstruction(text);
  MemFree(text);
}

void Parser::HandleProcessingInstruction(const char* text) {
  if (!text) return;
  char a[kItem], b[kItem], c[kItem], d[kItem], e[kItem];
  const char* args;
  ExternalId* base = InnermostBase();
  const InternedName* baseDir =
      base && base->Location() ? base->Location()->Directory() : nullptr;

  auto addResource = [&](const char* rest, std::uint8_t kind) {
    PiTokens t(rest);
    if (!t.Next(a, kItem) || !t.Next(b, kItem)) return;
    auto* resource = new EntityrcResource(nullptr, a, b, kind);
    resource->SetLocation(b, baseDir);
    document_->Resources().Append(NewResourceRef(resource));
    resource->Release();
  };

  if ((args = MatchKeyword(text, "STYLESPEC"))) {
    addResource(args, EntityrcResource::kStyleSheet);
  } else if ((args = MatchKeyword(text, "NAVIGATOR"))) {
    addResource(args, EntityrcResource::kNavigator);
  } else if ((args = MatchKeyword(text, "VERBATIM"))) {
    PiTokens t(args);
    if (t.Next(a, kItem)) MarkVerbatim(a);
  } else if ((args = MatchKeyword(text, "DOCTITLE"))) {
    PiTokens t(args);
    if (t.Next(a, kItem) && !lists_.docTitle) lists_.docTitle = DuplicateString(a);
  } else if ((args = MatchKeyword(text, "TAGLINK"))) {
    PiTokens t(args);
    if (!t.Next(a, kItem)) return;
    const char* condition = nullptr;
    if (CompareStringNoCase(a, "#ARCHFORM") == 0) {
      if (!t.Next(d, kItem) || !t.Next(a, kItem)) return;
      FoldInPlace(d);
      condition = d;
    }
    if (!t.Next(b, kItem)) return;
    bool further = t.Next(c, kItem);
    FoldInPlace(a);
    document_->Links().AddElementRule(a, condition, b, further ? c : nullptr);
  } else if ((args = MatchKeyword(text, "ATTLINK"))) {
    PiTokens t(args);
    if (!t.Next(a, kItem)) return;
    const char* condition = nullptr;
    if (CompareStringNoCase(a, "#ARCHFORM") == 0) {
      if (!t.Next(e, kItem) || !t.Next(a, kItem)) return;
      FoldInPlace(e);
      condition = e;
    }
    if (!t.Next(b, kItem) || !t.Next(c, kItem)) return;
    bool further = t.Next(d, kItem);
    FoldInPlace(a);
    FoldInPlace(b);
    document_->Links().AddAttributeRule(b, a, condition, c, further ? d : nullptr);
  } else if ((args = MatchKeyword(text, "DOCPARAM"))) {
    PiTokens t(args);
    while (t.Next(a, kItem) && t.Next(b, kItem)) {
      if (CompareStringNoCase(a, "TITLE") == 0) {
        if (!lists_.docTitle) lists_.docTitle = DuplicateString(b);
      } else if (CompareStringNoCase(a, "SYSTEM") == 0) {
        ExternalId* old = document_->Source();
        auto* id = new ExternalId(resolver_, baseDir, old ? old->Name() : nullptr, b,
                                  old ? old->PublicId() : nullptr, ExternalId::kGeneralEntity);
        document_->SetSource(id);
        id->Release();
        DocumentSystemIdChanged(b);
      } else if (CompareStringNoCase(a, "PUBLIC") == 0) {
        if (ExternalId* source = document_->Source()) source->SetPublicId(b);
        DocumentPublicIdChanged(b);
      }
      if (stop_) return;
    }
  } else if ((args = MatchKeyword(text, "DOCWEB"))) {
    PiTokens t(args);
    if (!t.Next(a, kItem)) return;
    auto* id = new ExternalId(resolver_, baseDir, nullptr, a, nullptr, ExternalId::kGeneralEntity);
    document_->AddWebReference(id);
    id->Release();
  } else if ((args = MatchKeyword(text, "NIDREF"))) {
    PiTokens t(args);
    if (!t.Next(a, kItem) || !t.Next(b, kItem)) return;
    auto* record = new Nidref;
    if (std::strcmp(a, "*") != 0) {
      FoldInPlace(a);
      record->element = InternName(a);
    }
    if (std::strcmp(b, "*") != 0) {
      FoldInPlace(b);
      record->attribute = InternName(b);
    }
    record->next = lists_.nidrefs;
    lists_.nidrefs = record;
  }
}

}  // namespace qs
