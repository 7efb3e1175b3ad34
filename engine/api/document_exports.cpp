// What a DTD or a document declares, element type by element type, handed
// to a host's procedure as element type records.
#include "api/exports.h"
#include "api/interface.h"
#include "api/records.h"
#include "api/value_codes.h"
#include "foundation/memory.h"
#include "sgml/attributes.h"
#include "sgml/document.h"
#include "sgml/dtd.h"

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

}  // namespace

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
