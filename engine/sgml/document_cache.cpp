// The document cache.
#include "sgml/document_cache.h"

#include "sgml/catalog.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/entityrc.h"
#include "sgml/external_id.h"
#include "sgml/parser.h"

namespace qs {

struct DocumentCache::Item : public ObjectListItem {
  explicit Item(Document* d) : document(d->AddRef()) {}
  ~Item() override { document->Release(); }
  bool MayRelease() const override { return document->UseCount() <= 1; }
  Document* document;
};

DocumentCache::DocumentCache() = default;

Document* DocumentCache::At(std::size_t index) const {
  for (OwnedNode* node = First(); node; node = node->Next(), --index)
    if (index == 0) return static_cast<Item*>(node)->document;
  return nullptr;
}

DocumentCache::~DocumentCache() {
  // Every document goes with the list's use; those still used elsewhere
  // live on with their other uses.
  while (OwnedNode* node = PopFirst()) delete node;
  SetResolvers(nullptr, nullptr);
}

DocumentCache::Item* DocumentCache::FindItem(const ExternalId* id) const {
  for (OwnedNode* n = First(); n; n = n->Next()) {
    auto* item = static_cast<Item*>(n);
    if (ExternalId::Equals(item->document->Source(), id)) return item;
  }
  return nullptr;
}

DocumentCache::Item* DocumentCache::FindItem(const Document* document) const {
  for (OwnedNode* n = First(); n; n = n->Next()) {
    auto* item = static_cast<Item*>(n);
    if (item->document == document) return item;
  }
  return nullptr;
}

Document* DocumentCache::Find(const ExternalId* id) const {
  Item* item = id ? FindItem(id) : nullptr;
  return item ? item->document : nullptr;
}

void DocumentCache::Put(Document* document) {
  if (!document) return;
  if (Item* item = FindItem(document)) {
    item->Remove();
    Prepend(item);
    return;
  }
  PrependLimited(new Item(document));
}

bool DocumentCache::Remove(Document* document) {
  Item* item = FindItem(document);
  if (!item) return false;
  item->Remove();
  delete item;
  return true;
}

Document* DocumentCache::Get(ExternalId* id) {
  if (Item* item = id ? FindItem(id) : nullptr) {
    item->Remove();
    Prepend(item);
    return item->document->AddRef();
  }
  Document* document = Create(id);
  if (!document) document = ParseDocument(id);
  if (!document) return nullptr;
  Put(document);
  return document;
}

Document* DocumentCache::ParseDocument(ExternalId* id) {
  auto* parser = new Parser(resolver_, entityrc_, nullptr, nullptr);
  parser->ParseSource(id, false);
  Document* document = parser->Stopped() ? nullptr : parser->GetDocument()->AddRef();
  delete parser;
  return document;
}

void DocumentCache::SetResolvers(EntityResolver* catalog, EntityrcFile* entityrc) {
  EntityResolver* oldCatalog = resolver_;
  if (catalog) catalog->AdjustUse(1, 0);
  resolver_ = catalog;
  entityrc_ = entityrc;
  if (oldCatalog) oldCatalog->AdjustUse(2, 0);
}

}  // namespace qs
