#include "sgml/derived_document.h"

#include "sgml/dtd.h"

namespace qs {

DerivedDocument::DerivedDocument(ExternalId* source, DocumentType& type)
    : Document(source), type_(type.AddRef()) {
  SetDoctypeId(type.DoctypeId());
  for (ListNode* n = type.Resources().First(); n; n = n->Next())
    Resources().Append(static_cast<ResourceRef*>(n)->Copy());
  Links().CopyFrom(type.Links());
}

DerivedDocument::~DerivedDocument() { type_->Release(); }

EntityDecl* DerivedDocument::FindEntityOrDefault(const char* name) {
  if (EntityDecl* own = OwnEntities().Find(name)) return own;
  if (EntityDecl* inherited = type_->FindEntity2(name)) return inherited;
  return OwnEntities().FindOrDefault(name);
}

EntityDecl* DerivedDocument::FirstEntity() {
  inType_ = false;
  if (EntityDecl* e = OwnEntities().First()) return e;
  inType_ = true;
  return type_->DocumentEntities().First();
}

EntityDecl* DerivedDocument::NextEntity() {
  if (inType_) return type_->DocumentEntities().Next();
  if (EntityDecl* e = OwnEntities().Next()) return e;
  inType_ = true;
  return type_->DocumentEntities().First();
}

}  // namespace qs
