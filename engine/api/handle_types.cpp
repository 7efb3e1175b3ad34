// What a handle record does to the object behind it, for each kind of
// object the engine hands out. Kinds whose classes are still to come map a
// number to a pointer and nothing more.
#include "api/node_ref.h"
#include "api/sets.h"
#include "api/wrappers.h"
#include "foundation/handle_table.h"
#include "foundation/strings.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/external_id.h"
#include "style/navigator.h"
#include "style/style_sheet.h"

namespace qs {

namespace {

bool IdentifyBy(const ExternalId* id, HandleIdentity* out) {
  if (!id) return false;
  out->publicId = id->PublicId();
  char* path = id->GetFilePath();
  out->hasPath = path != nullptr;
  if (path) {
    CopyStringMax(out->path, path, sizeof out->path);
    MemFree(path);
  }
  return true;
}

template <class T>
void AddUse(void* object) {
  static_cast<T*>(object)->AddRef();
}
template <class T>
void DropUse(void* object) {
  static_cast<T*>(object)->Release();
}
template <class T>
void Delete(void* object) {
  delete static_cast<T*>(object);
}

template <class T>
void AddObjectUse(void* object) {
  static_cast<T*>(object)->AddUse();
}
template <class T>
void DropObjectUse(void* object) {
  static_cast<T*>(object)->DropUse();
}
template <class T>
bool IdentifyLoaded(void* object, HandleIdentity* out) {
  return IdentifyBy(static_cast<T*>(object)->Id(), out);
}

bool IdentifyType(void* object, HandleIdentity* out) {
  return IdentifyBy(static_cast<DocumentType*>(object)->Source(), out);
}
bool IdentifyDocument(void* object, HandleIdentity* out) {
  return IdentifyBy(static_cast<Document*>(object)->Source(), out);
}
bool IdentifyEntity(void* object, HandleIdentity* out) {
  return IdentifyBy(static_cast<EntityRef*>(object)->Identity(), out);
}

const HandleTypeOps kOps[kHandleTypeCount] = {
    /* HDTD */ {AddUse<DocumentType>, DropUse<DocumentType>, IdentifyType},
    /* HDOC */ {AddUse<Document>, DropUse<Document>, IdentifyDocument},
    /* HSSH */ {AddObjectUse<StyleSheet>, DropObjectUse<StyleSheet>, IdentifyLoaded<StyleSheet>},
    /* HNAV */ {AddObjectUse<NavigatorDef>, DropObjectUse<NavigatorDef>, IdentifyLoaded<NavigatorDef>},
    /* HWEB: owned by the open webs */ {},
    /* HANCHOR: owned by its web */ {},
    /* HTAG */ {nullptr, Delete<NodeRef>, nullptr},
    /* HENT */ {nullptr, Delete<EntityRef>, IdentifyEntity},
    /* HNOT */ {AddUse<NotationDecl>, DropUse<NotationDecl>, nullptr},
    /* HTAGSET */ {nullptr, Delete<TagSet>, nullptr},
    /* HSELSET */ {nullptr, Delete<SelectionSet>, nullptr},
};

}  // namespace

const HandleTypeOps* EngineHandleTypeOps() { return kOps; }

}  // namespace qs
