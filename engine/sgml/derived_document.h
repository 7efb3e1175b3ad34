// The document of an instance parsed against a registered document type:
// its entity lookups fall back to the document type's copy of the declaring
// document's entities.
#pragma once
#include <cstdint>

#include "sgml/document.h"

namespace qs {

class DocumentType;

class DerivedDocument : public Document {
 public:
  // Takes a use of the document type and of its document type identifier;
  // copies its resource references and link rules.
  DerivedDocument(ExternalId* source, DocumentType& type);

  DocumentType& Type() const { return *type_; }

  // Own entities, else the type's second table, else the #DEFAULT rule on
  // the own table.
  EntityDecl* FindEntityOrDefault(const char* name) override;
  // Own entities, then the type's second table (a name in both comes twice).
  EntityDecl* FirstEntity() override;
  EntityDecl* NextEntity() override;

 protected:
  ~DerivedDocument() override;

 private:
  DocumentType* type_;
  bool inType_ = false;
};

}  // namespace qs
