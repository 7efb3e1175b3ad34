// The ENTITYRC file: for the public identifier of a document type, a title,
// a verbatim text and the style sheets and navigators to present documents
// of that type with. It is also a resolver that forwards to its catalog.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/containers.h"
#include "sgml/catalog.h"
#include "sgml/dtd.h"
#include "sgml/external_id.h"

namespace qs {

class EntityrcFile;
class TextWriter;

// A style sheet (kind 0) or navigator (kind 1): its title is the
// identifier's name, its file the system identifier, resolved against the
// directory of the file that declared it.
class EntityrcResource : public ExternalId {
 public:
  enum : std::uint8_t { kStyleSheet = 0, kNavigator = 1 };
  EntityrcResource(EntityrcFile* file, const char* title, const char* fileName,
                   std::uint8_t kind);
  std::uint8_t Kind() const { return kind_; }
  const char* Title() const { return Name(); }

 private:
  std::uint8_t kind_;
};

// A document type's reference to one of its resources; the references an
// ENTITYRC file makes always hold an EntityrcResource.
ResourceRef* NewResourceRef(EntityrcResource* resource);
inline EntityrcResource* ResourceOf(const ListNode* ref) {
  return static_cast<EntityrcResource*>(static_cast<const ResourceRef*>(ref)->Id());
}

class EntityrcEntry : public EngineObject {
 public:
  explicit EntityrcEntry(InternedName* publicId);
  ~EntityrcEntry();
  EntityrcEntry(const EntityrcEntry&) = delete;
  EntityrcEntry& operator=(const EntityrcEntry&) = delete;

  InternedName* publicId;  // one use
  char* docTitle = nullptr;
  char* verbatim = nullptr;
  ListHead resources;  // ResourceRef, in file order
};

class EntityrcFile : public EntityResolver, public ListNode {
 public:
  // `catalog` (may be null) is held with one use; `path` null makes a
  // file-less part. The file is read by Reload.
  EntityrcFile(Catalog* catalog, const char* path);
  ~EntityrcFile() override;

  SystemPath* ResolvePublicId(const char* publicId, int fallback) override;
  SystemPath* ResolveEntityName(const char* name, int parameter, int fallback) override;
  int GetFilePath(char* buffer) override;
  int AdjustUse(int operation, std::intptr_t) override;

  EntityrcEntry* Find(const InternedName* publicId) const;
  const char* GetDocTitle(const InternedName* publicId);
  const char* GetVerbatim(const InternedName* publicId);
  // Appends a ResourceRef for each resource of the document's type to
  // `out`; with `addDefaults` and nothing found, the sibling ".ssh" and
  // ".nav" files of the document.
  void GetResources(const ExternalId* document, ListHead& out, bool addDefaults);
  // Adds a resource and rewrites the file: the new resource, or null when
  // the file could not be written (the entries are then unchanged).
  EntityrcResource* AddResource(const char* publicId, const char* title, const char* file,
                                std::uint8_t kind, bool append);
  // Removes the first matching resource and rewrites the file: the result
  // of the rewrite, 0 when nothing matched.
  int RemoveResource(const char* publicId, const char* title, const char* file,
                     std::uint8_t kind);
  EntityrcFile* FindIncluded(const EntityrcFile* target);
  // An include of `file` (named `name` as written) at the end of the list.
  void AppendInclude(const char* name, EntityrcFile* file);
  // Removes the first include of `file`; false when there is none.
  bool RemoveIncludeOf(const EntityrcFile* file);
  EntityrcFile* FindIncludedPath(const char* path);

  void Reload();
  void ReadEntityrcFile(Stream* stream);
  // Rewrites the whole file through `writer`, or through a writer of its own
  // when null; 1 when the file was written whole.
  int WriteEntityrcFile(TextWriter* writer);
  void ClearContents();

  std::uint32_t UseCount() const { return useCount_; }
  Catalog* GetCatalog() const { return catalog_; }
  const char* DirectoryText() const;
  const InternedName* Directory() const { return directory_; }
  const char* FileName() const { return fileName_; }
  bool reloadFlag = true;

 private:
  class EntryTree;
  class Include;
  EntityrcEntry* FindOrMake(InternedName* publicId);
  void WriteEntries(TextWriter& writer);
  template <class Fn>
  const char* SearchText(const InternedName* publicId, Fn field);
  bool PathEquals(const char* path);
  bool RemoveHere(const char* publicId, EntityrcResource& probe);

  EntryTree* entries_;
  ListHead includes_;
  Catalog* catalog_ = nullptr;
  InternedName* directory_ = nullptr;
  char* fileName_ = nullptr;
  std::uint32_t useCount_ = 0;
};

class EntityrcList {
 public:
  ~EntityrcList();
  EntityrcFile* CreateEntityrc(Catalog* catalog, const char* path);
  void Append(EntityrcFile* file) { list_.Append(file); }
  void Update();
  void Clear();

 private:
  ListHead list_;
};
EntityrcList& GetEntityrcList();
inline EntityrcFile* CreateEntityrc(Catalog* catalog, const char* path) {
  return GetEntityrcList().CreateEntityrc(catalog, path);
}

// `path` relative to the directory of `baseFile` when it lies below it,
// else a copy of `path` (MemFree).
char* MakeRelativePath(const char* path, const char* baseFile);
char* MakeRelativePathFrom(const char* dir1, const char* name1, const char* dir2,
                           const char* name2);

}  // namespace qs
