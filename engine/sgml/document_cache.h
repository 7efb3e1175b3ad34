// Parsed documents kept by identifier, so that a document is parsed once
// however often it is asked for, and the base of compiled-document sources.
#pragma once
#include <cstdint>

#include "foundation/containers.h"
#include "sgml/derived_document.h"
#include "sgml/document.h"

namespace qs {

class EntityResolver;
class EntityrcFile;
class ExternalId;

// The documents an engine has loaded, most recently used first. The list
// holds one use of each document; a document nobody else uses may be
// dropped when the list is over its limit.
class DocumentCache : public ObjectList {
 public:
  DocumentCache();
  ~DocumentCache() override;

  // The cached document of an equal identifier, moved to the front, with a
  // use for the caller; else one made by Create or ParseDocument and put at
  // the front. Null when all fail.
  Document* Get(ExternalId* id);
  // The cached document of an equal identifier (no use taken), or null.
  Document* Find(const ExternalId* id) const;
  // Puts the document at the front (the list takes its own use); a document
  // already in the list only moves.
  void Put(Document* document);
  // Takes the document out of the list, dropping the list's use; false when
  // it is not there.
  bool Remove(Document* document);
  std::size_t Count() const { return OwnedList::Count(); }
  // The document at `index` in the list's order (no use taken), or null.
  Document* At(std::size_t index) const;

  // A document made some other way than by parsing (none here).
  virtual Document* Create(ExternalId*) { return nullptr; }
  // Parses the source with a fresh parser: its document with a use for the
  // caller, or null when the parse stopped on an error.
  virtual Document* ParseDocument(ExternalId* id);

  // The catalog and ENTITYRC file identifiers are resolved through; the
  // catalog is told when it is attached (1) and detached (2).
  void SetResolvers(EntityResolver* catalog, EntityrcFile* entityrc);
  EntityResolver* Resolver() const { return resolver_; }
  EntityrcFile* Entityrc() const { return entityrc_; }

 private:
  struct Item;
  Item* FindItem(const ExternalId* id) const;
  Item* FindItem(const Document* document) const;
  EntityResolver* resolver_ = nullptr;
  EntityrcFile* entityrc_ = nullptr;
};

// The base of the sources the compiled-document reader pulls data from: it
// owns one inner object, deleted with it.
class DataSource : public EngineObject {
 public:
  explicit DataSource(EngineObject* inner = nullptr) : inner_(inner) {}
  DataSource(const DataSource&) = delete;
  DataSource& operator=(const DataSource&) = delete;
  virtual int Query1() { return 0; }
  virtual int Query2() { return 0; }
  virtual void Touch() {}
  virtual ~DataSource() { delete inner_; }

 private:
  EngineObject* inner_;
};

}  // namespace qs
