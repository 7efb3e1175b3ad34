// External identifiers: what the engine reads or writes by reference,
// resolved to a location once, when the identifier is made.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/containers.h"
#include "foundation/memory.h"
#include "sgml/use_count.h"

namespace qs {

class EntityResolver;
class InternedName;
class Stream;
class TextWriter;

// Normalises a public identifier in place: upper case through the engine's
// character table, leading and trailing white space dropped, inner runs of
// white space one blank. Works in place, so any length is safe. Returns
// `text` (null stays null).
char* NormalizePublicId(char* text);
// The configuration readers' form: refuses (false, text unchanged) an
// identifier that does not fit `capacity` bytes with its NUL, so a file's
// identifier is held to the same bound wherever it is read.
bool NormalizePublicIdBuffered(char* text, std::size_t capacity);

// A resolved location: an interned directory (ending in a separator after
// normalisation) and a file name. Shared by count.
class SystemPath : public EngineObject {
 public:
  // `baseDir` null: the engine's default base directory.
  static SystemPath* Make(const char* fileName, const InternedName* baseDir);
  static SystemPath* Make(const char* fileName, const char* baseDirText);
  SystemPath(const SystemPath&) = delete;
  SystemPath& operator=(const SystemPath&) = delete;

  void AddRef() { ++refCount_; }
  void Release() {
    if (--refCount_ == 0) delete this;
  }
  bool Equals(const SystemPath& other) const;
  // "%s%s" of directory and file name on the engine heap (MemFree).
  char* GetFullPath() const;
  const char* DirectoryText() const;
  const InternedName* Directory() const { return directory_; }
  const char* FileName() const { return fileName_; }

 private:
  SystemPath() = default;
  ~SystemPath();
  std::uint32_t refCount_ = 1;
  InternedName* directory_ = nullptr;
  char* fileName_ = nullptr;
};

class ExternalId : public EngineObject {
 public:
  // What a lone name names when it has to be resolved.
  enum Kind { kGeneralEntity = 0, kParameterEntity = 1, kDoctype = 2 };

  ExternalId(EntityResolver* resolver, const InternedName* baseDir, const char* name,
             const char* systemId, const char* publicId, int kind);
  // Without a resolver: the system identifier, else the name, relative to
  // the engine's default base directory.
  ExternalId(const char* name, const char* systemId, const char* publicId)
      : ExternalId(nullptr, nullptr, name, systemId, publicId, kGeneralEntity) {}
  virtual ~ExternalId();
  ExternalId(const ExternalId&) = delete;
  ExternalId& operator=(const ExternalId&) = delete;

  // Shared by count; the last Release deletes.
  ExternalId* AddRef() {
    uses_.Add();
    return this;
  }
  void Release() {
    if (uses_.Drop()) delete this;
  }
  std::uint32_t UseCount() const { return uses_.Get(); }

  const char* Name() const { return name_; }
  const char* SystemId() const { return systemId_; }
  const char* PublicId() const { return publicId_; }
  SystemPath* Location() const { return location_; }

  void SetLocation(const char* fileName, const InternedName* baseDir);
  void SetPublicId(const char* text);
  // Two identifiers are the same resource: by public identifier when both
  // have one, else by location when both have one; an identifier with only
  // one of them never equals one without it; else by name.
  bool Equals(const ExternalId& other) const;
  // The same for pointers: two nulls are equal, null and an identifier not.
  static bool Equals(const ExternalId* a, const ExternalId* b) {
    if (a == b) return true;
    return a && b && a->Equals(*b);
  }
  // PUBLIC "...", else SYSTEM "...", else the name, else the engine's
  // untitled text; cut to `capacity` bytes. Returns `buffer`.
  char* Format(char* buffer, std::size_t capacity) const;
  // The full path of the location (MemFree), or null when unresolved.
  char* GetFilePath() const;
  // A readable stream of the data (its encoding into `encoding`), or null.
  Stream* OpenRead(std::int32_t* encoding);
  // A writer of the identifier's file (deleted by the caller; its Close puts
  // the whole text in place), or null when the identifier is unresolved or
  // the file cannot be made. `crlf` as the writer's.
  TextWriter* OpenWrite(bool crlf);

 private:
  void Resolve(EntityResolver* resolver, const InternedName* baseDir, int kind);

  UseCount32 uses_;
  SystemPath* location_ = nullptr;
  char* name_ = nullptr;
  char* systemId_ = nullptr;
  char* publicId_ = nullptr;
};

// The most-recently-used list of loaded resources keyed by identifier, from
// which the document, style sheet, navigator and web caches derive.
class ResourceCacheItem : public ListNode {
 public:
  explicit ResourceCacheItem(ExternalId* id);
  ~ResourceCacheItem() override;
  ExternalId* Id() const { return id_; }

 private:
  ExternalId* id_;  // one use, or null
};

class ResourceCache : public EngineObject {
 public:
  virtual ~ResourceCache() = default;
  ResourceCacheItem* First() const { return static_cast<ResourceCacheItem*>(items_.First()); }
  ResourceCacheItem* Next(ResourceCacheItem* item) const {
    return static_cast<ResourceCacheItem*>(item->Next());
  }
  ResourceCacheItem* Find(const ExternalId* id) const;
  ResourceCacheItem* FindOrAdd(ExternalId* id);

 protected:
  // Makes a new item for `id`, or null.
  virtual ResourceCacheItem* Create(ExternalId* id) = 0;
  ListHead items_;
};

}  // namespace qs
