// Documents as the host sees them: their names, text and ranges, the parts
// merged into them, the style sheets and navigators their document type
// offers, closing them, and what a DTD or a document declares, element type
// by element type, handed to a host's procedure as element type records.
#include <cstring>

#include "api/exports.h"
#include "api/interface.h"
#include "api/node_ref.h"
#include "api/records.h"
#include "api/sets.h"
#include "api/value_codes.h"
#include "api/wrappers.h"
#include "foundation/memory.h"
#include "foundation/names.h"
#include "foundation/strings.h"
#include "sgml/attributes.h"
#include "sgml/catalog.h"
#include "sgml/document.h"
#include "sgml/document_cache.h"
#include "sgml/dtd.h"
#include "sgml/entityrc.h"
#include "sgml/external_id.h"
#include "sgml/text_store.h"
#include "view/picture_services.h"
#include "view/pictures.h"

using namespace qs;

namespace {

// The three arrays of the record, taken once per enumeration.
struct RecordArrays {
  const char** names;
  std::int32_t* types;
  std::intptr_t* defaults;
};

std::intptr_t DefaultEntry(const AttributeDecl* decl) {
  switch (decl->DefaultKind()) {
    case kDefaultImplied: return QS_DEFAULT_IMPLIED;
    case kDefaultRequired: return QS_DEFAULT_REQUIRED;
    case kDefaultConref: return QS_DEFAULT_CONREF;
    case kDefaultCurrent: return QS_DEFAULT_CURRENT;
    default: break;
  }
  const char* text = decl->DefaultValue() ? decl->DefaultText() : nullptr;
  return reinterpret_cast<std::intptr_t>(text);
}

// Calls the procedure once per element type of the list, stopping at its
// first nonzero answer. The list holds a use of every element type, so a
// procedure that enumerates again, or lets go of the DTD, pulls nothing
// from under the walk.
std::intptr_t EnumElementTypes(ElementTypeDecl** list, std::size_t count, QsRecordProc procedure,
                               QsWord data) {
  RecordArrays arrays{
      static_cast<const char**>(MemAlloc(QS_RECORD_ATTRIBUTES * sizeof(const char*))),
      static_cast<std::int32_t*>(MemAlloc(QS_RECORD_ATTRIBUTES * sizeof(std::int32_t))),
      static_cast<std::intptr_t*>(MemAlloc(QS_RECORD_ATTRIBUTES * sizeof(std::intptr_t)))};
  std::intptr_t result = 0;
  if (arrays.names && arrays.types && arrays.defaults) {
    for (std::size_t i = 0; i < count && !result; ++i) {
      const AttributeDeclSet& attributes = list[i]->Attributes();
      std::size_t n = 0;
      // The arrays have room for so many; the rest are not reported.
      for (std::size_t a = 0; a < attributes.Count() && n < QS_RECORD_ATTRIBUTES; ++a) {
        const AttributeDecl* decl = attributes.At(a);
        if (!decl) continue;
        arrays.names[n] = decl->NameText();
        arrays.types[n] = DeclaredValueCode(decl);
        arrays.defaults[n] = DefaultEntry(decl);
        ++n;
      }
      QsElementTypeRecord record{list[i]->NameText(), arrays.names, arrays.types,
                                 arrays.defaults, static_cast<std::int32_t>(n)};
      result = procedure(&record, data);
    }
  }
  MemFree(arrays.names);
  MemFree(arrays.types);
  MemFree(arrays.defaults);
  for (std::size_t i = 0; i < count; ++i) list[i]->Release();
  MemFree(list);
  return result;
}

// A list of the element types First/Next give, each with a use taken; null
// when there are none or no room for the list.
template <class First, class Next>
ElementTypeDecl** ListElementTypes(First first, Next next, std::size_t* count) {
  std::size_t n = 0;
  for (ElementTypeDecl* e = first(); e; e = next()) ++n;
  *count = 0;
  if (!n) return nullptr;
  auto** list = static_cast<ElementTypeDecl**>(MemAlloc(n * sizeof(ElementTypeDecl*)));
  if (!list) return nullptr;
  for (ElementTypeDecl* e = first(); e && *count < n; e = next()) list[(*count)++] = e->AddRef();
  return list;
}

Document* DocumentOf(QsHandle document) {
  HandleTable* table = Handles();
  return table ? static_cast<Document*>(table->LookupDocument(document)) : nullptr;
}

// [start, start + length) as a range of the root element's text: neither
// negative, the start inside the root's range and the length no more than
// what is left of it after the start (so the end cannot wrap round).
bool DocumentRange(const Document* document, std::int32_t start, std::int32_t length,
                   std::uint32_t* from, std::uint32_t* to) {
  const DocumentNode* root = document ? document->Root() : nullptr;
  if (!root || !document->Text() || start < 0 || length < 0) return false;
  auto first = static_cast<std::uint32_t>(start);
  if (first < root->start || first > root->end) return false;
  if (static_cast<std::uint32_t>(length) > root->end - first) return false;
  *from = first;
  *to = first + static_cast<std::uint32_t>(length);
  return true;
}

// The n-th resource of a kind (0 style sheets, 1 navigators) in the
// document's list.
ResourceRef* NthResource(QsHandle document, std::int32_t n, std::uint8_t kind) {
  Document* doc = DocumentOf(document);
  if (!doc || n < 0) return nullptr;
  for (ListNode* node = doc->Resources().First(); node; node = node->Next()) {
    auto* resource = static_cast<ResourceRef*>(node);
    if (resource->Kind() == kind && n-- == 0) return resource;
  }
  return nullptr;
}

std::int32_t CountResources(QsHandle document, std::uint8_t kind) {
  Document* doc = DocumentOf(document);
  if (!doc) return 0;
  std::int32_t count = 0;
  for (ListNode* node = doc->Resources().First(); node; node = node->Next())
    if (static_cast<ResourceRef*>(node)->Kind() == kind) ++count;
  return count;
}

char* ResourceFile(ResourceRef* resource, char* buffer, std::int32_t size) {
  if (!resource || !buffer || size <= 0 || !resource->Id()) return nullptr;
  char* path = resource->Id()->GetFilePath();
  if (!path) return nullptr;
  CopyStringMax(buffer, path, static_cast<std::size_t>(size));
  MemFree(path);
  return buffer;
}

// The public identifier as the ENTITYRC file keys it; false when it does not
// fit a key.
bool NormalizedKey(const char* publicId, char (&key)[kConfigKeyCapacity]) {
  if (!publicId || GetStringLength(publicId) >= sizeof key) return false;
  CopyStringMax(key, publicId, sizeof key);
  NormalizePublicId(key);
  return true;
}

// Every open document whose document type has exactly this public
// identifier.
template <class Fn>
void ForDocumentsOfType(const char* key, Fn fn) {
  DocumentCache* open = OpenDocuments();
  if (!open) return;
  for (std::size_t i = 0; i < open->Count(); ++i) {
    Document* doc = open->At(i);
    ExternalId* type = doc ? doc->DoctypeId() : nullptr;
    if (type && type->PublicId() && std::strcmp(type->PublicId(), key) == 0) fn(doc);
  }
}

std::int32_t AddResource(const char* publicId, const char* title, const char* file,
                         std::int32_t defaultFlag, std::uint8_t kind) {
  EngineBase* engine = GetEngine();
  EntityrcFile* entityrc = engine ? engine->GetEntityRc() : nullptr;
  char key[kConfigKeyCapacity];
  if (!entityrc || !file || !NormalizedKey(publicId, key)) return 0;
  char* path = engine->MakeAbsolute(file, engine->home());
  if (!path) return 0;
  // The default one goes first, where a host that takes the first finds it.
  EntityrcResource* resource = entityrc->AddResource(key, title, path, kind, defaultFlag == 0);
  MemFree(path);
  if (!resource) return 0;
  ForDocumentsOfType(key, [&](Document* doc) {
    if (ResourceRef* copy = NewResourceRef(resource)) doc->Resources().Append(copy);
  });
  return 1;
}

// The file of the ENTITYRC file's own entry that names the same file as
// `path` save for case (Windows paths are one file whatever their case), so
// that the entry is found by its exact path; null when there is none.
char* StoredResourcePath(EntityrcFile* entityrc, const char* key, const char* title,
                         const char* path, std::uint8_t kind) {
  auto* atom = static_cast<InternedName*>(g_nameTable->Find(key, GetStringLength(key)));
  EntityrcEntry* entry = atom ? entityrc->Find(atom) : nullptr;
  for (ListNode* n = entry ? entry->resources.First() : nullptr; n; n = n->Next()) {
    EntityrcResource* resource = ResourceOf(n);
    if (resource->Kind() != kind ||
        CompareStringNoCase(resource->Title() ? resource->Title() : "", title ? title : ""))
      continue;
    char* stored = resource->GetFilePath();
    if (stored && CompareStringNoCase(stored, path) == 0) return stored;
    MemFree(stored);
  }
  return nullptr;
}

std::int32_t RemoveResource(const char* publicId, const char* title, const char* file,
                            std::uint8_t kind) {
  EngineBase* engine = GetEngine();
  EntityrcFile* entityrc = engine ? engine->GetEntityRc() : nullptr;
  char key[kConfigKeyCapacity];
  if (!entityrc || !file || !NormalizedKey(publicId, key)) return 0;
  char* path = engine->MakeAbsolute(file, engine->home());
  if (!path) return 0;
  char* stored = StoredResourcePath(entityrc, key, title, path, kind);
  std::int32_t removed = entityrc->RemoveResource(key, title, stored ? stored : path, kind);
  MemFree(stored);
  ForDocumentsOfType(key, [&](Document* doc) {
    for (ListNode* node = doc->Resources().First(); node;) {
      auto* resource = static_cast<ResourceRef*>(node);
      node = node->Next();
      if (resource->Kind() != kind) continue;
      if (CompareStringNoCase(resource->Title() ? resource->Title() : "", title ? title : ""))
        continue;
      char* resolved = resource->Id() ? resource->Id()->GetFilePath() : nullptr;
      bool same = resolved && CompareStringNoCase(resolved, path) == 0;
      MemFree(resolved);
      if (!same) continue;
      doc->Resources().Unlink(resource);
      delete resource;
      removed = 1;
    }
  });
  MemFree(path);
  return removed;
}

// Whether a handle record stands for the document or for something in it.
bool BelongsToDocument(HandleType type, void* object, const void* document) {
  switch (type) {
    case HandleType::kDocument: return object == document;
    case HandleType::kNode: return static_cast<NodeRef*>(object)->GetDocument() == document;
    case HandleType::kEntity: return static_cast<EntityRef*>(object)->Owner() == document;
    case HandleType::kTagSet: return static_cast<TagSet*>(object)->GetDocument() == document;
    case HandleType::kSelSet: return static_cast<SelectionSet*>(object)->GetDocument() == document;
    default: return false;
  }
}

}  // namespace

extern "C" {

char* QsGetDocumentName(QsHandle document, char* buffer, std::int32_t size) {
  Document* doc = DocumentOf(document);
  if (!doc || !buffer || size <= 0) return nullptr;
  const char* name = doc->TitleExcerpt();
  if (ExternalId* source = doc->Source(); !name && source)
    name = source->Name() ? source->Name() : source->SystemId();
  if (!name) return nullptr;
  return CopyStringMax(buffer, name, static_cast<std::size_t>(size));
}

const char* QsGetDocumentPublicId(QsHandle document) {
  Document* doc = DocumentOf(document);
  ExternalId* type = doc ? doc->DoctypeId() : nullptr;
  return type ? type->PublicId() : nullptr;
}

std::int32_t QsGetDocumentCount(QsHandle document) {
  Document* doc = DocumentOf(document);
  return doc && doc->Root() ? static_cast<std::int32_t>(doc->Root()->end) : 0;
}

char* QsGetDocumentBytes(QsHandle document, std::int32_t start, std::int32_t length,
                         char* buffer) {
  Document* doc = DocumentOf(document);
  std::uint32_t from, to;
  if (!buffer || !DocumentRange(doc, start, length, &from, &to)) return nullptr;
  doc->Text()->CopyRange(buffer, from, to, true);
  return buffer;
}

std::int32_t QsCopyDocumentText(QsHandle document, std::int32_t start, std::int32_t length,
                                char* buffer) {
  Document* doc = DocumentOf(document);
  std::uint32_t from, to;
  if (!buffer || !DocumentRange(doc, start, length, &from, &to)) return 0;
  return static_cast<std::int32_t>(doc->ExtractText(buffer, from, to));
}

std::int32_t QsMergeDocument(QsHandle node, QsHandle document, QsWord) {
  HandleTable* table = Handles();
  auto* place = table ? static_cast<NodeRef*>(table->LookupNode(node)) : nullptr;
  Document* part = DocumentOf(document);
  if (!place || !part || !place->Current()) return 0;
  return place->GetDocument()->MergePart(place->Current(), *part) ? 1 : 0;
}

std::int32_t QsCountDocStyleSheets(QsHandle document) {
  return CountResources(document, ResourceRef::kStyleSheet);
}

std::int32_t QsCountDocNavigators(QsHandle document) {
  return CountResources(document, ResourceRef::kNavigator);
}

const char* QsGetDocStyleSheetTitle(QsHandle document, std::int32_t n) {
  ResourceRef* resource = NthResource(document, n, ResourceRef::kStyleSheet);
  return resource ? resource->Title() : nullptr;
}

char* QsGetDocStyleSheetFile(QsHandle document, std::int32_t n, char* buffer, std::int32_t size) {
  return ResourceFile(NthResource(document, n, ResourceRef::kStyleSheet), buffer, size);
}

const char* QsGetDocNavigatorTitle(QsHandle document, std::int32_t n) {
  ResourceRef* resource = NthResource(document, n, ResourceRef::kNavigator);
  return resource ? resource->Title() : nullptr;
}

char* QsGetDocNavigatorFile(QsHandle document, std::int32_t n, char* buffer, std::int32_t size) {
  return ResourceFile(NthResource(document, n, ResourceRef::kNavigator), buffer, size);
}

std::int32_t QsAddStyleSheetResource(const char* publicId, const char* title, const char* file,
                                     std::int32_t defaultFlag) {
  return AddResource(publicId, title, file, defaultFlag, ResourceRef::kStyleSheet);
}

std::int32_t QsRemoveStyleSheetResource(const char* publicId, const char* title,
                                        const char* file) {
  return RemoveResource(publicId, title, file, ResourceRef::kStyleSheet);
}

std::int32_t QsAddNavigatorResource(const char* publicId, const char* title, const char* file,
                                    std::int32_t defaultFlag) {
  return AddResource(publicId, title, file, defaultFlag, ResourceRef::kNavigator);
}

std::int32_t QsRemoveNavigatorResource(const char* publicId, const char* title,
                                       const char* file) {
  return RemoveResource(publicId, title, file, ResourceRef::kNavigator);
}

std::int32_t QsCloseDocument(QsHandle document) {
  EngineBase* engine = GetEngine();
  HandleTable* table = Handles();
  Document* doc = DocumentOf(document);
  if (!doc) return 0;
  // The document outlives the removal of its handles, whose uses may be
  // the last ones.
  doc->AddRef();
  // Its views first, while its handles still stand: they are told they lose
  // it, and give back what they held of it.
  QsDetachDocumentViews(document);
  // Its pictures' hot areas go, and the pictures it asked for leave the
  // graphic cache.
  GetGraphicCache().DocumentClosed(doc);
  table->ForgetMatching(BelongsToDocument, doc);
  if (engine->recentList) engine->recentList->Remove(doc);
  // Closed: opening it again reads it afresh.
  if (DocumentCache* open = engine->documentCache.get()) open->Remove(doc);
  doc->Release();
  return 1;
}

}  // extern "C"

std::intptr_t QsEnumDtdElements(QsHandle dtd, QsRecordProc procedure, QsWord data) {
  HandleTable* table = Handles();
  auto* type = table ? static_cast<DocumentType*>(table->LookupDtd(dtd)) : nullptr;
  if (!type || !procedure) return 0;
  ElementTable& elements = type->Elements();
  std::size_t count;
  ElementTypeDecl** list = ListElementTypes([&] { return elements.First(); },
                                            [&] { return elements.Next(); }, &count);
  return list ? EnumElementTypes(list, count, procedure, data) : 0;
}

std::intptr_t QsEnumDocElements(QsHandle document, QsRecordProc procedure, QsWord data) {
  HandleTable* table = Handles();
  auto* doc = table ? static_cast<Document*>(table->LookupDocument(document)) : nullptr;
  Dtd* dtd = doc ? doc->GetDtd() : nullptr;
  if (!dtd || !procedure) return 0;
  std::size_t count;
  ElementTypeDecl** list = ListElementTypes([&] { return dtd->FirstElement(); },
                                            [&] { return dtd->NextElement(); }, &count);
  return list ? EnumElementTypes(list, count, procedure, data) : 0;
}
