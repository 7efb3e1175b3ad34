// Entities and notations of DTDs and documents as handles: lookups, what
// they declare, and entities and notations a host makes of its own.
#include <cstring>

#include "api/exports.h"
#include "api/interface.h"
#include "api/value_codes.h"
#include "api/wrappers.h"
#include "foundation/engine.h"
#include "foundation/strings.h"
#include "sgml/attributes.h"
#include "sgml/catalog.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/external_id.h"
#include "sgml/model_names.h"

using namespace qs;

namespace {

// An entity the host made: nothing but the entity keeps it alive.
class CreatedEntityRef : public EntityRef {
 public:
  explicit CreatedEntityRef(EntityDecl* entity) : EntityRef(entity) {}
};

constexpr std::size_t kMaxNotationAttributes = 100;
constexpr std::size_t kMaxAttributeNameLength = 99;
// Default codes of QsCreateNotation; any other value is a literal's text.
constexpr QsWord kDefaultCodes = 4;
// No text lies in the lowest 64 KB of an address space: a value there that
// is not a default code is no literal either, and is never read.
constexpr std::uintptr_t kLowestText = 0x10000;

EntityDecl* LookupEntityDecl(QsHandle handle) {
  HandleTable* table = Handles();
  auto* ref = table ? static_cast<EntityRef*>(table->LookupEntity(handle)) : nullptr;
  return ref ? ref->Entity() : nullptr;
}

NotationDecl* LookupNotationDecl(QsHandle handle) {
  HandleTable* table = Handles();
  return table ? static_cast<NotationDecl*>(table->LookupNotation(handle)) : nullptr;
}

NotationDecl* NotationOf(QsHandle entity) {
  EntityDecl* e = LookupEntityDecl(entity);
  return e ? e->GetNotation() : nullptr;
}

// Registers the wrapper; the record owns it. 0, with the wrapper gone, when
// it could not be registered.
QsHandle RegisterEntityRef(EntityRef* ref) {
  HandleTable* table = Handles();
  if (!ref) return 0;
  QsHandle handle = table ? table->RegisterEntity(ref) : 0;
  if (!handle) delete ref;
  return handle;
}

QsHandle RegisterNotationDecl(NotationDecl* notation) {
  HandleTable* table = Handles();
  return table && notation ? table->RegisterNotation(notation) : 0;
}

std::int32_t EntityTypeCode(const EntityDecl* entity) {
  std::uint8_t type = entity->GetType();
  if (entity->IsExternal()) {
    switch (type) {
      case kEntityText: return 9;
      case kEntitySubdoc: return 10;
      case kEntityCdata: return 11;
      case kEntitySdata: return 12;
      case kEntityNdata: return 13;
      default: return 0;
    }
  }
  switch (type) {
    case kEntityText: return 1;
    case kEntityPi: return 2;
    case kEntityStartTag: return 3;
    case kEntityEndTag: return 4;
    case kEntityMs: return 5;
    case kEntityMd: return 6;
    case kEntitySdata: return 7;
    case kEntityCdata: return 8;
    default: return 0;
  }
}

const char* AttributeNameAt(const NotationDecl* notation, std::int32_t index) {
  if (!notation || index < 0) return nullptr;
  AttributeDecl* decl = notation->Attributes().At(static_cast<std::size_t>(index));
  return decl ? decl->NameText() : nullptr;
}

AttributeDecl* FindDecl(const NotationDecl* notation, const char* name) {
  return notation && name ? notation->FindAttributeDecl(name) : nullptr;
}

// One declaration of QsCreateNotation; null when out of memory.
AttributeDecl* NewNotationAttribute(const char* name, std::int32_t code, QsWord def) {
  char cut[kMaxAttributeNameLength + 1];
  CopyStringMax(cut, name, sizeof cut);
  std::uint8_t declared = 0xFF, flags = 0;  // 0xFF: left unset (no code)
  DeclaredValueOfCode(code, &declared, &flags);
  std::uint8_t kind = kDefaultValue;
  InternedName* literal = nullptr;
  switch (def) {
    case 0: kind = kDefaultImplied; break;
    case 1: kind = kDefaultRequired; break;
    case 2: kind = kDefaultConref; break;
    case 3: kind = kDefaultCurrent; break;
    default:
      if (static_cast<std::uintptr_t>(def) >= kLowestText)
        literal = InternName(reinterpret_cast<const char*>(def));
      break;
  }
  return new AttributeDecl(InternName(cut), declared, kind, flags, nullptr, literal);
}

}  // namespace

extern "C" {

QsHandle QsGetDocEntity(QsHandle document, const char* name) {
  HandleTable* table = Handles();
  auto* doc = table ? static_cast<Document*>(table->LookupDocument(document)) : nullptr;
  if (!doc || !name) return 0;
  EntityDecl* entity = doc->FindEntityOrDefault(name);
  return entity ? RegisterEntityRef(EntityRef::OfDocument(doc, entity)) : 0;
}

QsHandle QsGetDtdEntity(QsHandle dtd, const char* name) {
  HandleTable* table = Handles();
  auto* type = table ? static_cast<DocumentType*>(table->LookupDtd(dtd)) : nullptr;
  if (!type || !name) return 0;
  // Only a declared name: the #DEFAULT rule is a parse's, and applying it
  // here would add a copy to the type's table.
  EntityDecl* entity = type->FindEntity(name);
  return entity ? RegisterEntityRef(EntityRef::OfDocumentType(type, entity)) : 0;
}

QsHandle QsGetDtdEntity2(QsHandle dtd, const char* name) {
  HandleTable* table = Handles();
  auto* type = table ? static_cast<DocumentType*>(table->LookupDtd(dtd)) : nullptr;
  if (!type || !name) return 0;
  EntityDecl* entity = type->FindEntity2(name);
  return entity ? RegisterEntityRef(EntityRef::OfDocumentType(type, entity)) : 0;
}

QsHandle QsCreateEntity(const char* name, const char* systemId, const char* publicId,
                        QsHandle notation, const char* const* attributeNames,
                        const char* const* attributeValues) {
  if (!name || !Handles()) return 0;
  NotationDecl* n = nullptr;
  if (notation && !(n = LookupNotationDecl(notation))) return 0;
  std::size_t count = 0;
  if (n && attributeNames)
    for (; attributeNames[count]; ++count)
      if (!n->FindAttributeDecl(attributeNames[count])) return 0;

  // Resolved as the parser resolves a declared entity: public identifier
  // and name through the engine's catalog.
  EngineBase* engine = GetEngine();
  auto* id = new ExternalId(engine ? engine->GetCatalog() : nullptr, nullptr, name, systemId,
                            publicId, ExternalId::kGeneralEntity);
  auto* entity = new ExternalEntityDecl(name, id, n ? kEntityNdata : kEntityText, n);
  if (count) {
    auto** values = static_cast<Attribute**>(MemAlloc((count + 1) * sizeof(Attribute*)));
    if (values) {
      for (std::size_t i = 0; i < count; ++i) {
        const char* text = attributeValues && attributeValues[i] ? attributeValues[i] : "";
        InternedName* value = InternName(text);
        values[i] = NewAttributeValue(n->FindAttributeDecl(attributeNames[i]), value);
        ReleaseName(value);
      }
      values[count] = nullptr;
      entity->SetDataAttributes(values);
    }
  }
  // The handle's wrapper holds the entity; the creator's own use goes.
  QsHandle handle = RegisterEntityRef(new CreatedEntityRef(entity));
  entity->Release();
  return handle;
}

QsHandle QsGetDtdNotation(QsHandle dtd, const char* name) {
  HandleTable* table = Handles();
  auto* type = table ? static_cast<DocumentType*>(table->LookupDtd(dtd)) : nullptr;
  if (!type || !name) return 0;
  return RegisterNotationDecl(type->Notations().Find(name));
}

const char* QsGetEntityValueA(QsHandle entity) {
  EntityDecl* e = LookupEntityDecl(entity);
  return e ? e->GetName() : nullptr;
}

std::int32_t QsGetEntityValueB(QsHandle entity) {
  EntityDecl* e = LookupEntityDecl(entity);
  return e ? EntityTypeCode(e) : 0;
}

const char* QsGetEntityValueC(QsHandle entity) {
  EntityDecl* e = LookupEntityDecl(entity);
  return e && !e->IsExternal() ? e->GetText() : nullptr;
}

QsHandle QsGetEntityNotation(QsHandle entity) { return RegisterNotationDecl(NotationOf(entity)); }

const char* QsGetNotationName(QsHandle notation) {
  NotationDecl* n = LookupNotationDecl(notation);
  return n ? n->Name() : nullptr;
}

QsHandle QsCreateNotation(const char* name, const char* systemId, const char* publicId,
                          const char* const* attributeNames, const std::int32_t* declaredValues,
                          const QsWord* defaults) {
  if (!name || !Handles()) return 0;
  auto* notation = new NotationDecl(name);
  if (systemId) notation->SetSystemId(systemId);
  if (publicId) notation->SetPublicId(publicId);
  std::size_t count = 0;
  if (attributeNames)
    while (count < kMaxNotationAttributes && attributeNames[count]) ++count;
  if (count) {
    AttributeDecl* decls[kMaxNotationAttributes];
    std::size_t made = 0;
    for (std::size_t i = 0; i < count; ++i) {
      AttributeDecl* decl = NewNotationAttribute(attributeNames[i],
                                                 declaredValues ? declaredValues[i] : 0,
                                                 defaults ? defaults[i] : 0);
      if (decl) decls[made++] = decl;
    }
    if (NameGroup* group = NameGroup::New(decls, static_cast<std::uint16_t>(made))) {
      DtdNameGroupMerge(notation->Attributes(), group);
      group->Release();
    }
    for (std::size_t i = 0; i < made; ++i) decls[i]->Release();
  }
  QsHandle handle = RegisterNotationDecl(notation);
  notation->Release();
  return handle;
}

std::int32_t QsGetEntityAttrCount(QsHandle entity) {
  NotationDecl* n = NotationOf(entity);
  return n ? static_cast<std::int32_t>(n->Attributes().Count()) : 0;
}

const char* QsGetEntityAttrName(QsHandle entity, std::int32_t index) {
  return AttributeNameAt(NotationOf(entity), index);
}

std::int32_t QsGetEntityAttrDeclaredValue(QsHandle entity, const char* name) {
  AttributeDecl* decl = FindDecl(NotationOf(entity), name);
  return decl ? DeclaredValueCode(decl) : 0;
}

const char* QsGetEntityAttrDefaultText(QsHandle entity, const char* name) {
  AttributeDecl* decl = FindDecl(NotationOf(entity), name);
  return decl ? DefaultText(decl) : nullptr;
}

const char* QsGetEntityAttrValue(QsHandle entity, const char* name) {
  EntityDecl* e = LookupEntityDecl(entity);
  NotationDecl* n = e ? e->GetNotation() : nullptr;
  if (!n || !name) return nullptr;
  if (Attribute* const* values = e->GetDataAttributes())
    for (Attribute* const* v = values; *v; ++v)
      if ((*v)->GetName() && CompareStringNoCase((*v)->GetName(), name) == 0) return (*v)->Value();
  AttributeDecl* decl = n->FindAttributeDecl(name);
  return decl && decl->DefaultValue() ? decl->DefaultText() : nullptr;
}

std::int32_t QsGetNotationAttrCount(QsHandle notation) {
  NotationDecl* n = LookupNotationDecl(notation);
  return n ? static_cast<std::int32_t>(n->Attributes().Count()) : 0;
}

const char* QsGetNotationAttrName(QsHandle notation, std::int32_t index) {
  return AttributeNameAt(LookupNotationDecl(notation), index);
}

std::int32_t QsGetNotationAttrDeclaredValue(QsHandle notation, const char* name) {
  AttributeDecl* decl = FindDecl(LookupNotationDecl(notation), name);
  return decl ? DeclaredValueCode(decl) : 0;
}

const char* QsGetNotationAttrDefaultText(QsHandle notation, const char* name) {
  AttributeDecl* decl = FindDecl(LookupNotationDecl(notation), name);
  return decl ? DefaultText(decl) : nullptr;
}

std::intptr_t QsEnumDocEntityHandles(QsHandle document, QsHandleProc procedure, QsWord data) {
  HandleTable* table = Handles();
  auto* doc = table ? static_cast<Document*>(table->LookupDocument(document)) : nullptr;
  if (!doc || !procedure) return 0;
  // The procedure may look entities up (and so add defaulted ones to the
  // table being walked): walk a list taken before the first call.
  std::size_t count = 0;
  for (EntityDecl* e = doc->FirstEntity(); e; e = doc->NextEntity()) ++count;
  if (!count) return 0;
  auto** list = static_cast<EntityDecl**>(MemAlloc(count * sizeof(EntityDecl*)));
  if (!list) return 0;
  std::size_t n = 0;
  for (EntityDecl* e = doc->FirstEntity(); e && n < count; e = doc->NextEntity())
    list[n++] = e->AddRef();
  std::intptr_t result = 0;
  for (std::size_t i = 0; i < n && !result; ++i) {
    QsHandle handle = RegisterEntityRef(EntityRef::OfDocument(doc, list[i]));
    if (!handle) continue;
    result = procedure(handle, data);
    table->Release(handle);
  }
  for (std::size_t i = 0; i < n; ++i) list[i]->Release();
  MemFree(list);
  return result;
}

}  // extern "C"
