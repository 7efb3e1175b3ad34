// Which external identifier stands behind a handle of any type, and
// whether two handles stand for the same thing.
#include <cstring>

#include "api/exports.h"
#include "api/interface.h"
#include "api/node_ref.h"
#include "api/wrappers.h"
#include "foundation/paths.h"
#include "foundation/strings.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/external_id.h"
#include "style/navigator.h"
#include "style/style_sheet.h"

using namespace qs;

namespace {

// The identifier of the object of a handle, by its type; null for the
// types that have none (and for kinds whose objects are still to come).
ExternalId* IdentityOf(HandleType type, void* object) {
  switch (type) {
    case HandleType::kDtd: return static_cast<DocumentType*>(object)->Source();
    case HandleType::kDocument: return static_cast<Document*>(object)->Source();
    case HandleType::kEntity: return static_cast<EntityRef*>(object)->Identity();
    case HandleType::kStyleSheet: return static_cast<StyleSheet*>(object)->Id();
    case HandleType::kNavigator: return static_cast<NavigatorDef*>(object)->Id();
    default: return nullptr;
  }
}

bool FindHandle(QsHandle handle, HandleType* type, void** object) {
  HandleTable* table = Handles();
  return table && table->Find(handle, type, object);
}

bool SameNotation(const NotationDecl* a, const NotationDecl* b) {
  if (a->Name() && b->Name()) return std::strcmp(a->Name(), b->Name()) == 0;
  if (a->SystemId() && b->SystemId()) return CompareStringNoCase(a->SystemId(), b->SystemId()) == 0;
  if (a->PublicId() && b->PublicId()) return CompareStringNoCase(a->PublicId(), b->PublicId()) == 0;
  return false;
}

}  // namespace

extern "C" {

const char* QsGetPublicId(QsHandle handle) {
  HandleType type;
  void* object;
  if (!FindHandle(handle, &type, &object)) return nullptr;
  // A notation has no identifier object: it answers from its declaration.
  if (type == HandleType::kNotation) return static_cast<NotationDecl*>(object)->PublicId();
  ExternalId* id = IdentityOf(type, object);
  return id ? id->PublicId() : nullptr;
}

const char* QsGetSystemId(QsHandle handle) {
  HandleType type;
  void* object;
  if (!FindHandle(handle, &type, &object)) return nullptr;
  if (type == HandleType::kNotation) return static_cast<NotationDecl*>(object)->SystemId();
  ExternalId* id = IdentityOf(type, object);
  return id ? id->SystemId() : nullptr;
}

std::int32_t QsIsSameObject(QsHandle a, QsHandle b) {
  HandleType typeA, typeB;
  void *objectA, *objectB;
  if (!FindHandle(a, &typeA, &objectA) || !FindHandle(b, &typeB, &objectB)) return 0;
  if (typeA != typeB) return 0;
  if (objectA == objectB) return 1;
  switch (typeA) {
    case HandleType::kNode: {
      // Two handles walked to the same place of the same document.
      auto* x = static_cast<NodeRef*>(objectA);
      auto* y = static_cast<NodeRef*>(objectB);
      return x->GetDocument() == y->GetDocument() && x->SamePlace(*y) ? 1 : 0;
    }
    case HandleType::kEntity: {
      // Two wrappers of the same declaration, or of equal ones.
      EntityDecl* x = static_cast<EntityRef*>(objectA)->Entity();
      EntityDecl* y = static_cast<EntityRef*>(objectB)->Entity();
      return x == y || EntityDecl::Equals(x, y) ? 1 : 0;
    }
    case HandleType::kNotation:
      return SameNotation(static_cast<NotationDecl*>(objectA),
                          static_cast<NotationDecl*>(objectB)) ? 1 : 0;
    default:
      return 0;
  }
}

char* QsGetFileName(QsHandle handle, char* buffer, std::int32_t size) {
  HandleType type;
  void* object;
  if (!buffer || size <= 0 || !FindHandle(handle, &type, &object)) return nullptr;
  ExternalId* id = IdentityOf(type, object);
  char* path = id ? id->GetFilePath() : nullptr;
  if (!path) return nullptr;
  CopyStringMax(buffer, path, static_cast<std::size_t>(size));
  MemFree(path);
  return buffer;
}

void QsDeleteTempFiles(const char* name) {
  if (!GetEngine()) return;
  DeleteTempFiles(name);
}

}  // extern "C"
