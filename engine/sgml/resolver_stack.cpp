#include "sgml/resolver_stack.h"

#include "foundation/containers.h"
#include "foundation/engine.h"
#include "sgml/catalog.h"
#include "sgml/entityrc.h"
#include "sgml/external_id.h"

namespace qs {

namespace {

// A head of the resolver chain: the previous head's entries win over the
// pushed catalog's, so catalogs pushed earlier take precedence.
class ChainMember : public EntityResolver, public EngineObject {
 public:
  ChainMember(EntityResolver* previous, Catalog* catalog) : previous_(previous), catalog_(catalog) {
    if (previous_) previous_->AdjustUse(1, 0);
    catalog_->AdjustUse(1, 0);
  }
  SystemPath* ResolvePublicId(const char* id, int fallback) override {
    if (previous_)
      if (SystemPath* p = previous_->ResolvePublicId(id, 0)) return p;
    return catalog_->ResolvePublicId(id, fallback);
  }
  SystemPath* ResolveEntityName(const char* name, int parameter, int fallback) override {
    if (previous_)
      if (SystemPath* p = previous_->ResolveEntityName(name, parameter, 0)) return p;
    return catalog_->ResolveEntityName(name, parameter, fallback);
  }
  SystemPath* ResolveDoctype(const char* name, int fallback) override {
    if (previous_)
      if (SystemPath* p = previous_->ResolveDoctype(name, 0)) return p;
    return catalog_->ResolveDoctype(name, fallback);
  }
  int GetFilePath(char* buffer) override {
    return previous_ ? previous_->GetFilePath(buffer) : catalog_->GetFilePath(buffer);
  }
  int AdjustUse(int operation, std::intptr_t) override {
    if (operation == 1) {
      ++uses_;
    } else if (operation == 2 && --uses_ == 0) {
      delete this;
    }
    return 0;
  }
  EntityResolver* Previous() const { return previous_; }

 private:
  ~ChainMember() {
    if (previous_) previous_->AdjustUse(2, 0);
    catalog_->AdjustUse(2, 0);
  }
  EntityResolver* previous_;
  Catalog* catalog_;
  int uses_ = 1;
};

class CatalogStackEntry : public SListNode {
 public:
  explicit CatalogStackEntry(ChainMember* m) : member(m) {}
  ~CatalogStackEntry() override { member->AdjustUse(2, 0); }
  ChainMember* member;
};

class EntityrcStackEntry : public SListNode {
 public:
  EntityrcStackEntry(EntityrcFile* f, bool a) : file(f), added(a) { file->AdjustUse(1, 0); }
  ~EntityrcStackEntry() override { file->AdjustUse(2, 0); }
  EntityrcFile* file;
  bool added;
};

void PopCatalogFrom(SList& stack) {
  auto* entry = static_cast<CatalogStackEntry*>(stack.PopFirst());
  if (!entry) return;
  SetCurrentResolver(entry->member->Previous());
  delete entry;
}

void PopEntityrcFrom(SList& stack, EntityrcFile* root) {
  auto* entry = static_cast<EntityrcStackEntry*>(stack.PopFirst());
  if (!entry) return;
  if (entry->added && root) root->RemoveIncludeOf(entry->file);
  delete entry;
}

}  // namespace

// Kept by the engine object, which pops what is left before its own catalog
// and ENTITYRC file go.
class ResolverStacks : public EngineObject {
 public:
  explicit ResolverStacks(EngineBase* engine) : engine_(engine) {}
  ResolverStacks(const ResolverStacks&) = delete;
  ResolverStacks& operator=(const ResolverStacks&) = delete;
  ~ResolverStacks() {
    EntityrcFile* root = engine_->GetEntityRc();
    while (!entityrcs.IsEmpty()) PopEntityrcFrom(entityrcs, root);
    while (!catalogs.IsEmpty()) PopCatalogFrom(catalogs);
  }
  SList catalogs;
  SList entityrcs;

 private:
  EngineBase* engine_;
};

namespace {

// The current engine's stacks, made at its first push; null without an
// engine, or without stacks when `make` is false.
ResolverStacks* CurrentStacks(bool make) {
  EngineBase* engine = GetEngine();
  if (!engine) return nullptr;
  if (!engine->resolverStacks && make) engine->resolverStacks.Set(new ResolverStacks(engine));
  return engine->resolverStacks.get();
}

}  // namespace

void PushCatalog(const char* path) {
  ResolverStacks* stacks = CurrentStacks(true);
  if (!stacks) return;
  Catalog* catalog = CreateCatalog(path);
  auto* member = new ChainMember(GetCurrentResolver(), catalog);
  SetCurrentResolver(member);
  stacks->catalogs.Prepend(new CatalogStackEntry(member));
}

void PopCatalog() {
  if (ResolverStacks* stacks = CurrentStacks(false)) PopCatalogFrom(stacks->catalogs);
}

void PushEntityrc(EntityrcFile* root, const char* path) {
  ResolverStacks* stacks = CurrentStacks(true);
  if (!stacks) return;
  Catalog* catalog = root ? root->GetCatalog() : nullptr;
  EntityrcFile* file = CreateEntityrc(catalog, path);
  bool added = false;
  if (root && !root->FindIncluded(file)) {
    root->AppendInclude(path, file);
    added = true;
  }
  stacks->entityrcs.Prepend(new EntityrcStackEntry(file, added));
}

void PopEntityrc(EntityrcFile* root) {
  if (ResolverStacks* stacks = CurrentStacks(false)) PopEntityrcFrom(stacks->entityrcs, root);
}

}  // namespace qs
