// Objects made for the host when it is handed something that is not a
// shared engine object of its own: each belongs to its handle record and
// goes with it, and keeps alive what it points into.
#pragma once
#include "foundation/memory.h"

namespace qs {

class Document;
class DocumentType;
class EntityDecl;
class ExternalId;

// An entity handed to the host (HENT): the entity with one use of it, and
// one use of the document or document type it was found in.
class EntityRef : public EngineObject {
 public:
  // Null when either is null or memory is exhausted.
  static EntityRef* OfDocument(Document* document, EntityDecl* entity);
  static EntityRef* OfDocumentType(DocumentType* type, EntityDecl* entity);
  // An entity that belongs to no document the host holds (a web's).
  static EntityRef* OfEntity(EntityDecl* entity);
  virtual ~EntityRef();
  EntityRef(const EntityRef&) = delete;
  EntityRef& operator=(const EntityRef&) = delete;

  // The document the entity belongs to; only entities of a document have one.
  virtual Document* Owner() const { return nullptr; }
  EntityDecl* Entity() const { return entity_; }
  // The identifier the entity gives, null for an internal entity.
  ExternalId* Identity() const;

 protected:
  explicit EntityRef(EntityDecl* entity);

 private:
  EntityDecl* entity_;
};

}  // namespace qs
