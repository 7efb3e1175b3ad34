// The compiled-document writer: one pass over the document's declarations,
// tree, marks, kept instructions and text. Objects are written once, in the
// tables of sections 1-3 and 6, and referred to by their index there.
#include <cstring>

#include "foundation/engine.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/external_id.h"
#include "sgml/model_names.h"
#include "sgml/pi_tokens.h"
#include "sgml/qsb.h"
#include "sgml/qsb_tables.h"
#include "sgml/text_store.h"
#include "style/style_rules.h"

namespace qs {

namespace {

// Codes of "Internal Error %d": an object the tables do not hold.
enum : int {
  kMissAttributeList = 4,   // attribute lists of entities and nodes
  kMissDeclaration = 5,     // notation and element attribute lists, element types
  kMissEntityNotation = 7,
  kMissMarkObject = 8,      // notations and style records of marks
  kTooLong = 9,             // a string longer than kQsbStringMax
};

// A PI span this long or longer stays a mark but gives no record.
constexpr std::uint32_t kPiRecordLimit = 2040;

class Writer {
 public:
  Writer(Document& document, Stream& out, QsbIndexRecord* index)
      : doc_(document), out_(out), index_(index) {}

  bool Run();

 private:
  void Fail(int code) {
    if (!error_) {
      error_ = code;
      if (EngineBase* engine = GetEngine()) engine->ReportError(0, code);
    }
  }
  void Byte(std::uint8_t b) { out_.PutChar(b); }
  void U16(unsigned v) {
    Byte(std::uint8_t(v >> 8));
    Byte(std::uint8_t(v));
  }
  void U24(std::uint32_t v) {
    Byte(std::uint8_t(v >> 16));
    U16(v & 0xFFFF);
  }
  void String(const char* s) {
    if (s) {
      std::size_t n = std::strlen(s);
      if (n > kQsbStringMax) {
        Fail(kTooLong);
        n = 0;
      }
      for (std::size_t i = 0; i < n; ++i) Byte(std::uint8_t(s[i]));
    }
    Byte(0);
  }
  void Index(const PointerIndex& map, const void* object, int missCode) {
    int i = map.Find(object);
    if (i < 0) {
      Fail(missCode);
      return;
    }
    U16(unsigned(i));
  }
  void Position(int section) {
    if (index_) index_->positions[section] = out_.Tell();
  }

  void CollectAttributes(const AttributeDeclSet& set);
  void CollectTree();
  bool BuildMaps();
  void WriteAttributeDefinitions();
  void WriteAttributeSetIndexes(const AttributeDeclSet& set);
  void WriteAttributeList(Attribute* const* values);
  void WriteEntities();
  void WriteNode(DocumentNode* node);
  void WriteTree();
  void WriteStyles();
  void WriteMarks();
  void WriteInstructions();
  void WriteText();

  Document& doc_;
  Stream& out_;
  QsbIndexRecord* index_;
  int error_ = 0;
  PointerIndex attributes_;
  PointerIndex notations_;
  PointerIndex elements_;
  PointerIndex styles_;
};

void Writer::CollectAttributes(const AttributeDeclSet& set) {
  for (std::size_t i = 0, n = set.Count(); i < n; ++i) attributes_.Add(set.At(i));
}

// Nodes may use declarations the declaration set no longer lists (a name
// shadowed in a layered set): they are entered too, so that every node's
// type and attributes have an index.
void Writer::CollectTree() {
  DocumentNode* node = doc_.Root();
  while (node) {
    if (elements_.Find(node->Decl()) < 0) {
      elements_.Add(node->Decl());
      CollectAttributes(node->Decl()->Attributes());
    }
    if (!node->GetEntity()) {
      if (Attribute* const* values = node->GetAttributeValues()) {
        for (; *values; ++values) attributes_.Add((*values)->decl);
      }
    }
    if (node->First()) {
      node = node->First();
      continue;
    }
    while (node && !node->Next()) node = node->Parent();
    if (node) node = node->Next();
  }
}

bool Writer::BuildMaps() {
  for (EntityDecl* e = doc_.FirstEntity(); e; e = doc_.NextEntity()) {
    if (NotationDecl* notation = e->GetNotation()) {
      if (notations_.Add(notation)) CollectAttributes(notation->Attributes());
    }
    if (Attribute* const* values = e->GetDataAttributes()) {
      for (; *values; ++values) attributes_.Add((*values)->decl);
    }
  }
  if (Dtd* dtd = doc_.GetDtd()) {
    for (ElementTypeDecl* type = dtd->FirstElement(); type; type = dtd->NextElement()) {
      if (elements_.Add(type)) CollectAttributes(type->Attributes());
    }
  }
  CollectTree();
  for (Mark* m = doc_.FirstMark(); m; m = m->next) {
    if (m->Kind() == kMarkNotation) {
      auto* notation = reinterpret_cast<NotationDecl*>(static_cast<NotationMark*>(m)->object);
      if (notation && notations_.Add(notation)) CollectAttributes(notation->Attributes());
    } else if (m->Kind() == kMarkEntityRef) {
      NotationDecl* notation = static_cast<EntityRefMark*>(m)->Notation();
      if (notation && notations_.Add(notation)) CollectAttributes(notation->Attributes());
    } else if (m->Kind() == kMarkRecord) {
      styles_.Add(reinterpret_cast<void*>(static_cast<RecordMark*>(m)->record));
    }
  }
  return attributes_.Ok() && notations_.Ok() && elements_.Ok() && styles_.Ok() &&
         attributes_.Count() <= 0xFFFF && notations_.Count() <= 0xFFFF &&
         elements_.Count() <= 0xFFFF && styles_.Count() <= 0xFFFF;
}

void Writer::WriteAttributeDefinitions() {
  U16(unsigned(attributes_.Count()));
  for (std::size_t i = 0; i < attributes_.Count(); ++i) {
    auto* decl = static_cast<const AttributeDecl*>(attributes_.At(i));
    String(decl->NameText());
    Byte(decl->Flags());
    Byte(decl->DeclaredValue());
    Byte(decl->DefaultKind());
    if (decl->DeclaredValue() == kDeclaredTokenGroup) {
      if (const TokenGroup* tokens = decl->Tokens()) {
        for (std::uint16_t t = 0; t < tokens->Count(); ++t) {
          const char* text = tokens->At(t) ? NameText(tokens->At(t)) : "";
          // An empty token would end the group early.
          if (*text) String(text);
        }
      }
      Byte(0);
    }
    if (decl->DefaultKind() == kDefaultValue) String(decl->DefaultText());
  }
}

void Writer::WriteAttributeSetIndexes(const AttributeDeclSet& set) {
  std::size_t n = set.Count();
  U16(unsigned(n));
  for (std::size_t i = 0; i < n; ++i) Index(attributes_, set.At(i), kMissDeclaration);
}

void Writer::WriteAttributeList(Attribute* const* values) {
  std::size_t n = 0;
  if (values) {
    while (values[n]) ++n;
  }
  if (n > 255) {
    Fail(kMissAttributeList);
    n = 255;
  }
  Byte(std::uint8_t(n));
  for (std::size_t i = 0; i < n; ++i) {
    Index(attributes_, values[i]->decl, kMissAttributeList);
    String(values[i]->Value());
  }
}

void Writer::WriteEntities() {
  // A name listed twice (a layered table) is written once: the first wins,
  // as it does for lookups. Found by hashing: a document may declare
  // hundreds of thousands of entities.
  PointerIndex seen(PointerIndex::Identity::kText);
  for (EntityDecl* e = doc_.FirstEntity(); e; e = doc_.NextEntity()) {
    if (!*e->GetName()) continue;
    if (!seen.Add(e->GetName())) {
      // Out of memory would otherwise drop the entity unnoticed.
      if (!seen.Ok()) Fail(kMissDeclaration);
      continue;
    }
    String(e->GetName());
    ExternalId* id = e->GetExternalId();
    if (!id) {
      Byte(e->GetType() & 0x7F);
      String(e->GetText());
      continue;
    }
    Byte(std::uint8_t(0x80 | (e->GetType() & 0x7F)));
    const char* publicId = id->PublicId();
    const char* systemId = id->SystemId();
    if (index_) {
      FormatString(index_->publicId, sizeof index_->publicId, "%s", publicId ? publicId : "");
      FormatString(index_->systemId, sizeof index_->systemId, "%s", systemId ? systemId : "");
      if (index_->SupplyIdentifiers(e)) {
        index_->publicId[sizeof index_->publicId - 1] = 0;
        index_->systemId[sizeof index_->systemId - 1] = 0;
        publicId = index_->publicId;
        systemId = index_->systemId;
      }
    }
    String(publicId);
    String(systemId);
    NotationDecl* notation = e->GetNotation();
    if (!notation) {
      U16(0xFFFF);
      continue;
    }
    Index(notations_, notation, kMissEntityNotation);
    WriteAttributeList(e->GetDataAttributes());
  }
  Byte(0);
}

void Writer::WriteNode(DocumentNode* node) {
  EntityDecl* entity = node->GetEntity();
  Attribute* const* values = entity ? nullptr : node->GetAttributeValues();
  std::uint8_t flags = 0;
  if (entity) {
    flags = 0x08;
  } else {
    if (values && *values) flags |= 0x01;
    if (node->IsGraphic()) flags |= 0x02;
    if (node->First()) flags |= 0x04;
  }
  Byte(flags);
  Index(elements_, node->Decl(), kMissDeclaration);
  U24(node->start);
  U24(node->end);
  Byte(node->flags);
  if (entity) {
    String(entity->GetName());
    return;
  }
  if (flags & 0x01) WriteAttributeList(values);
}

// Depth first without recursion; a child list ends with 0x80.
void Writer::WriteTree() {
  DocumentNode* node = doc_.Root();
  if (!node) {
    Fail(kMissDeclaration);
    return;
  }
  DocumentNode* top = node;
  for (;;) {
    WriteNode(node);
    if (!node->GetEntity() && node->First()) {
      node = node->First();
      continue;
    }
    while (node != top && !node->Next()) {
      node = node->Parent();
      Byte(0x80);
    }
    if (node == top) break;
    node = node->Next();
  }
}

void Writer::WriteStyles() {
  U16(unsigned(styles_.Count()));
  for (std::size_t i = 0; i < styles_.Count(); ++i) {
    auto* style = static_cast<const StyleProps*>(styles_.At(i));
    String(NameText(style->fontColor));
    String(NameText(style->shadowColor));
    std::uint8_t flags = 0;
    switch (style->fontByte & StyleProps::kSlantMask) {
      case StyleProps::kSlantRoman: flags |= 0x01; break;
      case StyleProps::kSlantItalic: flags |= 0x02; break;
      case StyleProps::kSlantEmphas: flags |= 0x04; break;
      default: break;
    }
    switch (style->fontByte & StyleProps::kWeightMask) {
      case StyleProps::kWeightMedium: flags |= 0x08; break;
      case StyleProps::kWeightBold: flags |= 0x10; break;
      default: break;
    }
    Byte(flags);
    Byte(style->fontSize);
    U16(style->fontScale);
  }
}

void Writer::WriteMarks() {
  for (Mark* m = doc_.FirstMark(); m; m = m->next) {
    U24(m->Start());
    Byte(m->Kind());
    switch (m->Kind()) {
      case kMarkNotation: {
        auto* mark = static_cast<NotationMark*>(m);
        Index(notations_, reinterpret_cast<const void*>(mark->object), kMissMarkObject);
        U24(mark->GetEnd());
        break;
      }
      case kMarkEntityRef:
        String(m->GetEntity() ? m->GetEntity()->GetName() : nullptr);
        break;
      case kMarkRecord: {
        auto* mark = static_cast<RecordMark*>(m);
        U24(mark->GetEnd());
        Index(styles_, reinterpret_cast<const void*>(mark->record), kMissMarkObject);
        break;
      }
      case 6:
      case 7:
      case 8:
      case 9:
        U24(m->GetEnd());
        break;
      default:
        break;
    }
  }
  U24(0xFFFFFF);
}

void Writer::WriteInstructions() {
  char span[kPiRecordLimit + 1];
  // Arguments are cut as the parser cuts them.
  constexpr std::size_t kItem = 1024;
  char a[kItem], b[kItem], c[kItem], d[kItem], e[kItem];
  TextStore* text = doc_.Text();
  auto fold = [&](char* s) {
    if (doc_.foldsNames) UppercaseString(s);
  };
  // Kept markup (kinds 7-9, listed after the instance) came first in the
  // source: its instructions go first, so that the reader adds resources
  // and link rules in the order the parser did.
  for (int pass = 0; pass < 2; ++pass)
  for (Mark* m = doc_.FirstMark(); m && text; m = m->next) {
    if (m->Kind() < 6 || m->Kind() > 9 || (m->Kind() == 6) != (pass == 1)) continue;
    std::uint32_t start = m->Start(), end = m->GetEnd();
    if (end < start || end - start >= kPiRecordLimit) continue;
    text->CopyRange(span, start, end, false);
    const char* args;
    if ((args = MatchPiKeyword(span, "STYLESPEC")) || (args = MatchPiKeyword(span, "NAVIGATOR"))) {
      std::uint8_t type = CompareStringNoCaseMax(span, "STYLESPEC", 9) == 0 ? 1 : 2;
      PiTokens t(args);
      if (!t.Next(a, kItem) || !t.Next(b, kItem)) continue;
      Byte(type);
      String(a);
      String(b);
    } else if ((args = MatchPiKeyword(span, "TAGLINK"))) {
      PiTokens t(args);
      bool arch = false;
      if (!t.Next(a, kItem)) continue;
      if (CompareStringNoCase(a, "#ARCHFORM") == 0) {
        if (!t.Next(e, kItem) || !t.Next(a, kItem)) continue;
        arch = true;
      }
      if (!t.Next(c, kItem)) continue;
      bool further = t.Next(d, kItem);
      fold(a);
      Byte(arch ? 4 : 3);
      if (arch) {
        fold(e);
        String(e);
      }
      String(a);
      String(nullptr);
      String(c);
      String(further ? d : nullptr);
    } else if ((args = MatchPiKeyword(span, "ATTLINK"))) {
      PiTokens t(args);
      bool arch = false;
      if (!t.Next(a, kItem)) continue;
      if (CompareStringNoCase(a, "#ARCHFORM") == 0) {
        if (!t.Next(e, kItem) || !t.Next(a, kItem)) continue;
        arch = true;
      }
      if (!t.Next(b, kItem) || !t.Next(c, kItem)) continue;
      bool further = t.Next(d, kItem);
      fold(a);
      fold(b);
      Byte(arch ? 4 : 3);
      if (arch) {
        fold(e);
        String(e);
      }
      String(a);
      String(b);
      String(c);
      String(further ? d : nullptr);
    }
  }
  Byte(0);
}

void Writer::WriteText() {
  TextStore* text = doc_.Text();
  if (!text) return;
  CachedStream& stream = text->Stream();
  std::uint32_t length = doc_.TextLength();
  for (std::uint32_t at = 0; at < length;) {
    const std::uint8_t* end = nullptr;
    const std::uint8_t* p = stream.GetBlockAt(std::int32_t(at), &end);
    if (!p || !end || end <= p) {
      Fail(kMissDeclaration);
      return;
    }
    std::uint32_t n = std::uint32_t(end - p);
    if (n > length - at) n = length - at;
    for (std::uint32_t i = 0; i < n; ++i) out_.PutChar(p[i]);
    at += n;
  }
}

bool Writer::Run() {
  if (!BuildMaps()) {
    Fail(kMissDeclaration);
    return false;
  }
  String("QSB01");
  {
    const char* base = "";
    char* path = doc_.Source() ? doc_.Source()->GetFilePath() : nullptr;
    if (path) {
      std::size_t n = std::strlen(path);
      while (n > 0 && path[n - 1] != '\\' && path[n - 1] != '/' && path[n - 1] != ':') --n;
      base = path + n;
    }
    String(base);
    MemFree(path);
  }
  ExternalId* doctype = doc_.DoctypeId();
  String(doctype ? doctype->PublicId() : nullptr);
  String(doc_.TitleExcerpt());

  Position(0);
  WriteAttributeDefinitions();
  Position(1);
  U16(unsigned(notations_.Count()));
  for (std::size_t i = 0; i < notations_.Count(); ++i) {
    auto* notation = static_cast<const NotationDecl*>(notations_.At(i));
    String(notation->Name());
    String(notation->SystemId());
    String(notation->PublicId());
    WriteAttributeSetIndexes(notation->Attributes());
  }
  Position(2);
  U16(unsigned(elements_.Count()));
  for (std::size_t i = 0; i < elements_.Count(); ++i) {
    auto* type = static_cast<const ElementTypeDecl*>(elements_.At(i));
    String(type->NameText());
    Byte(type->flags);
    WriteAttributeSetIndexes(type->Attributes());
  }
  Position(3);
  WriteEntities();
  Position(4);
  WriteTree();
  Position(5);
  WriteStyles();
  Position(6);
  WriteMarks();
  Position(7);
  WriteInstructions();
  Position(8);
  WriteText();
  return error_ == 0;
}

}  // namespace

bool WriteQsb(Document& document, Stream& out, QsbIndexRecord* index) {
  Writer writer(document, out, index);
  return writer.Run();
}

}  // namespace qs
