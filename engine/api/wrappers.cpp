#include "api/wrappers.h"

#include "sgml/dtd.h"
#include "sgml/document.h"
#include "sgml/entities.h"

namespace qs {

namespace {

class DocumentEntityRef : public EntityRef {
 public:
  DocumentEntityRef(Document* document, EntityDecl* entity)
      : EntityRef(entity), document_(document->AddRef()) {}
  ~DocumentEntityRef() override { document_->Release(); }
  Document* Owner() const override { return document_; }

 private:
  Document* document_;
};

class TypeEntityRef : public EntityRef {
 public:
  TypeEntityRef(DocumentType* type, EntityDecl* entity)
      : EntityRef(entity), type_(type->AddRef()) {}
  ~TypeEntityRef() override { type_->Release(); }

 private:
  DocumentType* type_;
};

}  // namespace

EntityRef::EntityRef(EntityDecl* entity) : entity_(entity->AddRef()) {}
EntityRef::~EntityRef() { entity_->Release(); }

ExternalId* EntityRef::Identity() const { return entity_->GetExternalId(); }

EntityRef* EntityRef::OfDocument(Document* document, EntityDecl* entity) {
  if (!document || !entity) return nullptr;
  return new DocumentEntityRef(document, entity);
}

EntityRef* EntityRef::OfEntity(EntityDecl* entity) {
  return entity ? new EntityRef(entity) : nullptr;
}

EntityRef* EntityRef::OfDocumentType(DocumentType* type, EntityDecl* entity) {
  if (!type || !entity) return nullptr;
  return new TypeEntityRef(type, entity);
}

}  // namespace qs
