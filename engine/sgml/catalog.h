// Entity resolution: the resolver interface, the CATALOG files with their
// includes, and the tokenizer shared by the CATALOG, ENTITYRC and setup
// readers.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/containers.h"
#include "foundation/memory.h"

namespace qs {

class InternedName;
class KeywordTable;
class Stream;
class SystemPath;

// Resolves public identifiers, entity names and document type names to
// locations. The base behaviour is the engine's fallback chain: the
// engine's current resolver, then the host.
class EntityResolver {
 public:
  EntityResolver() = default;
  EntityResolver(const EntityResolver&) = delete;
  EntityResolver& operator=(const EntityResolver&) = delete;
  virtual ~EntityResolver() = default;

  // A new SystemPath (one reference for the caller) or null. With
  // `fallback` 0 only the resolver's own entries answer.
  virtual SystemPath* ResolvePublicId(const char* publicId, int fallback);
  virtual SystemPath* ResolveEntityName(const char* name, int parameter, int fallback);
  virtual SystemPath* ResolveDoctype(const char* name, int fallback);
  // The resolver's own file path into `buffer` (kPathCapacity bytes): 1, or 0.
  virtual int GetFilePath(char* buffer) { return 0; }
  // 1 adds a use, 2 drops one.
  virtual int AdjustUse(int operation, std::intptr_t) { return 0; }
};

// The engine's current resolver (pushed by the host around a load); null
// when none.
EntityResolver* GetCurrentResolver();
void SetCurrentResolver(EntityResolver* resolver);

// A readable stream over the configuration file at `path` (the engine's
// open-entity operation, else the file itself); null when it cannot be read.
Stream* OpenConfigStream(const char* path);

// ---- Configuration-file tokenizer ------------------------------------------

class ConfigTokenizer {
 public:
  enum : int { kEnd = 0, kString = 1, kWord = 2 };
  static constexpr std::size_t kMaxToken = 2000;

  // `keepCase` reads words as written, else upper-cased. `keywords` maps
  // words (as mapped) to codes; may be null.
  ConfigTokenizer(Stream* stream, const KeywordTable* keywords, bool keepCase);

  // kEnd at the end of input or on an error (then Failed()), kString,
  // kWord, or a keyword's code. The text is in Text().
  int Next();
  void PushBack(int code) { pushed_ = code; }
  const char* Text() const { return text_; }
  std::size_t Length() const { return length_; }
  bool Failed() const { return error_; }
  void SetError() { error_ = true; }
  int Line() const { return line_; }

 private:
  int Get();
  void Unget(int c) { unget_ = c; }

  Stream* stream_;
  const KeywordTable* keywords_;
  const std::uint8_t* map_;
  int pushed_ = 0;
  int unget_ = -1;
  int line_ = 1;
  bool error_ = false;
  std::size_t length_ = 0;
  char text_[kMaxToken + 1];
};

// ---- Catalogs ----------------------------------------------------------------

class Catalog;

class CatalogEntry : public EngineObject {
 public:
  enum Kind : std::int32_t { kPublic = 1, kEntity = 2, kParameterEntity = 3, kDoctype = 4 };
  CatalogEntry(Kind kind, InternedName* key, InternedName* directory, const char* systemId);
  ~CatalogEntry();
  CatalogEntry(const CatalogEntry&) = delete;
  CatalogEntry& operator=(const CatalogEntry&) = delete;

  Kind kind;
  InternedName* key;        // one use
  InternedName* directory;  // one use, may be null
  char* systemId;
};

class Catalog : public EntityResolver, public ListNode {
 public:
  // Reads the file at `path` (UTF-8); null or an unreadable file gives a
  // catalog without entries.
  explicit Catalog(const char* path);
  ~Catalog() override;

  SystemPath* ResolvePublicId(const char* publicId, int fallback) override;
  SystemPath* ResolveEntityName(const char* name, int parameter, int fallback) override;
  SystemPath* ResolveDoctype(const char* name, int fallback) override;
  int GetFilePath(char* buffer) override;
  int AdjustUse(int operation, std::intptr_t) override;

  const CatalogEntry* FindPublic(const char* key);
  const CatalogEntry* FindEntity(const char* name, bool parameter);
  const CatalogEntry* FindDoctype(const char* name);
  // False when an entry of that kind and key is here already (the first wins).
  bool AddPublic(InternedName* key, const char* systemId);
  bool AddEntity(InternedName* key, const char* systemId);
  bool AddParameterEntity(InternedName* key, const char* systemId);
  bool AddDoctype(InternedName* key, const char* systemId);
  // True when the catalog's file is `path` (compared as the engine does).
  bool PathEquals(const char* path);
  // This catalog, or one included at any depth, whose path equals `path`.
  Catalog* FindIncluded(const char* path);

  // Rereads the file.
  void Reload();
  // Reads catalog syntax from `stream` into this catalog.
  void ReadCatalogFile(Stream* stream);
  // Drops every entry and include (their uses).
  void ClearContents();

  std::uint32_t UseCount() const { return useCount_; }
  const char* DirectoryText() const;
  const char* FileName() const { return fileName_; }
  bool reloadFlag = true;

 private:
  class EntryTree;
  class Include;
  Catalog(InternedName* directory);  // file-less part of another catalog
  bool Add(CatalogEntry::Kind kind, InternedName* key, const char* systemId);
  const CatalogEntry* Find(CatalogEntry::Kind kind, const char* key);
  SystemPath* Resolve(CatalogEntry::Kind kind, const char* key, int fallback);

  EntryTree* entries_;
  ListHead includes_;
  InternedName* directory_ = nullptr;
  char* fileName_ = nullptr;
  std::uint32_t useCount_ = 0;
  bool visiting_ = false;
};

// The engine library's loaded catalogs, least recently used first.
class CatalogList {
 public:
  ~CatalogList();
  // The shared catalog for the file at `path`.
  Catalog* CreateCatalog(const char* path);
  void Append(Catalog* catalog) { list_.Append(catalog); }
  // Rereads every catalog from its file.
  void Update();
  // Deletes every catalog.
  void Clear();
  std::size_t Count() const;
  Catalog* First() const { return static_cast<Catalog*>(list_.First()); }

 private:
  ListHead list_;
};
CatalogList& GetCatalogList();
inline Catalog* CreateCatalog(const char* path) { return GetCatalogList().CreateCatalog(path); }

// Engine error codes of the configuration readers.
enum : int {
  kErrRecursiveCatalog = 11,   // "Recursive CATALOG inclusion: '%s'"
  kErrCatalogSyntax = 12,      // "Error in CATALOG"
  kErrRecursiveEntityrc = 13,  // "Recursive ENTITYRC inclusion: '%s'"
  kErrEntityrcSyntax = 14,     // "Error in ENTITYRC"
  kErrSetupSyntax = 16,        // "Error in SETUP"
};
// Public identifiers, titles and names the readers accept (bytes with NUL).
inline constexpr std::size_t kConfigKeyCapacity = 256;

}  // namespace qs
