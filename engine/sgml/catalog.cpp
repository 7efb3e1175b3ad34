#include "sgml/catalog.h"

#include "foundation/engine.h"
#include "foundation/file.h"
#include "foundation/names.h"
#include "foundation/paths.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "sgml/config_paths.h"
#include "sgml/external_id.h"

namespace qs {

// ---- The engine's fallbacks ----------------------------------------------------

namespace {
EntityResolver* g_currentResolver = nullptr;

// A host answer is a path relative to the engine's default base directory.
SystemPath* FromHostAnswer(char* answer) {
  if (!answer) return nullptr;
  SystemPath* path = SystemPath::Make(answer, static_cast<const char*>(nullptr));
  MemFree(answer);
  return path;
}
}  // namespace

EntityResolver* GetCurrentResolver() { return g_currentResolver; }
void SetCurrentResolver(EntityResolver* resolver) { g_currentResolver = resolver; }

Stream* OpenConfigStream(const char* path) {
  if (!path || !*path) return nullptr;
  if (EngineBase* engine = GetEngine()) {
    if (Stream* stream = engine->OpenEntity(nullptr, path, nullptr)) return stream;
  }
  if (!File::Exists(path)) return nullptr;
  return new FileInStream(path, path);
}

SystemPath* EntityResolver::ResolvePublicId(const char* publicId, int fallback) {
  if (!fallback) return nullptr;
  EntityResolver* current = g_currentResolver;
  if (current) {
    if (SystemPath* path = current->ResolvePublicId(publicId, 0)) return path;
  }
  EngineBase* engine = GetEngine();
  if (engine) {
    if (SystemPath* path = FromHostAnswer(engine->ResolvePublicId(publicId))) return path;
  }
  // The host may have pushed a resolver of its own while it was asked.
  if (g_currentResolver && g_currentResolver != current)
    return g_currentResolver->ResolvePublicId(publicId, 0);
  return nullptr;
}

SystemPath* EntityResolver::ResolveEntityName(const char* name, int parameter, int fallback) {
  if (!fallback) return nullptr;
  EntityResolver* current = g_currentResolver;
  if (current) {
    if (SystemPath* path = current->ResolveEntityName(name, parameter, 0)) return path;
  }
  EngineBase* engine = GetEngine();
  if (engine) {
    if (SystemPath* path = FromHostAnswer(engine->ResolveEntityName(name))) return path;
  }
  if (g_currentResolver && g_currentResolver != current)
    return g_currentResolver->ResolveEntityName(name, parameter, 0);
  return nullptr;
}

SystemPath* EntityResolver::ResolveDoctype(const char* name, int fallback) {
  if (!fallback || !g_currentResolver) return nullptr;
  return g_currentResolver->ResolveDoctype(name, 0);
}

// ---- Tokenizer --------------------------------------------------------------------

ConfigTokenizer::ConfigTokenizer(Stream* stream, const KeywordTable* keywords, bool keepCase)
    : stream_(stream),
      keywords_(keywords),
      map_(keepCase ? g_charTable.identity : g_charTable.upper) {
  text_[0] = '\0';
}

int ConfigTokenizer::Get() {
  int c;
  if (unget_ >= 0) {
    c = unget_;
    unget_ = -1;
  } else {
    c = stream_ ? stream_->GetChar() : 0;
    if (c == '\n') ++line_;
  }
  return c;
}

int ConfigTokenizer::Next() {
  if (pushed_) {
    int code = pushed_;
    pushed_ = 0;
    return code;
  }
  length_ = 0;
  text_[0] = '\0';
  if (error_) return kEnd;
  for (;;) {
    int c = Get();
    while (c != 0 && c <= 0x20) c = Get();
    if (c == 0) return kEnd;
    if (c == '"' || c == '\'') {
      const int quote = c;
      for (;;) {
        c = Get();
        if (c == 0) {
          error_ = true;
          return kEnd;
        }
        if (c == quote) break;
        // Past the bound the rest of the literal is dropped, never stored.
        if (length_ < kMaxToken) text_[length_++] = static_cast<char>(c);
      }
      text_[length_] = '\0';
      return kString;
    }
    if (c == '-') {
      if (Get() != '-') {
        error_ = true;
        return kEnd;
      }
      // A comment runs to the next "--".
      int previous = 0;
      for (;;) {
        c = Get();
        if (c == 0) {
          error_ = true;
          return kEnd;
        }
        if (previous == '-' && c == '-') break;
        previous = c;
      }
      continue;
    }
    while (c > 0x20 && length_ < kMaxToken) {
      text_[length_++] = static_cast<char>(map_[static_cast<unsigned char>(c)]);
      c = Get();
    }
    if (c != 0) Unget(c);
    text_[length_] = '\0';
    if (keywords_) {
      if (std::intptr_t code = keywords_->FindValue(text_, length_)) return static_cast<int>(code);
    }
    return kWord;
  }
}

// ---- Catalog entries ----------------------------------------------------------------

CatalogEntry::CatalogEntry(Kind k, InternedName* keyName, InternedName* dir, const char* system)
    : kind(k), key(keyName), directory(dir), systemId(DuplicateString(system)) {
  if (key) key->AddRef();
  if (directory) directory->AddRef();
}

CatalogEntry::~CatalogEntry() {
  if (key) key->Release();
  if (directory) directory->Release();
  MemFree(systemId);
}

// Entries ordered by (kind, key record); the tree owns them.
class Catalog::EntryTree : public BTree {
 public:
  ~EntryTree() override { DeleteEntries(); }
  int Compare(std::intptr_t a, std::intptr_t b) const override {
    auto* x = reinterpret_cast<const CatalogEntry*>(a);
    auto* y = reinterpret_cast<const CatalogEntry*>(b);
    if (x->kind != y->kind) return x->kind < y->kind ? -1 : 1;
    if (x->key == y->key) return 0;
    return reinterpret_cast<std::uintptr_t>(x->key) < reinterpret_cast<std::uintptr_t>(y->key) ? -1
                                                                                               : 1;
  }
  void DeleteEntries() {
    for (std::intptr_t v = First(); v; v = Next()) delete reinterpret_cast<CatalogEntry*>(v);
    Clear();
  }
};

// One use of an included catalog.
class Catalog::Include : public ListNode {
 public:
  explicit Include(Catalog* c) : catalog(c) { catalog->AdjustUse(1, 0); }
  ~Include() override { catalog->AdjustUse(2, 0); }
  Catalog* catalog;
};

// ---- Catalog ------------------------------------------------------------------------------

Catalog::Catalog(const char* path) : entries_(new EntryTree()) {
  std::size_t dirLength = path ? EngineDirLength(path) : 0;
  if (dirLength > 0) {
    directory_ = g_nameTable->Intern(path, dirLength);
  } else {
    directory_ = g_nameTable->Intern("\\");
  }
  if (path) fileName_ = DuplicateString(path + dirLength);
}

Catalog::Catalog(InternedName* directory) : entries_(new EntryTree()), directory_(directory) {
  if (directory_) directory_->AddRef();
  reloadFlag = false;
}

Catalog::~Catalog() {
  includes_.DeleteAll();
  delete entries_;
  if (directory_) directory_->Release();
  MemFree(fileName_);
}

const char* Catalog::DirectoryText() const { return directory_ ? directory_->Text() : ""; }

int Catalog::AdjustUse(int operation, std::intptr_t) {
  if (operation == 1) ++useCount_;
  else if (operation == 2 && useCount_ > 0) --useCount_;
  return 0;
}

int Catalog::GetFilePath(char* buffer) {
  if (!fileName_) return 0;
  FormatString(buffer, kPathCapacity, "%s%s", DirectoryText(), fileName_);
  return 1;
}

const CatalogEntry* Catalog::Find(CatalogEntry::Kind kind, const char* key) {
  if (!key || !g_nameTable) return nullptr;
  // A text that was never interned is in no catalog.
  auto* name = static_cast<InternedName*>(g_nameTable->Find(key, GetStringLength(key)));
  if (!name) return nullptr;
  CatalogEntry probe(kind, nullptr, nullptr, nullptr);
  probe.key = name;
  std::intptr_t v = entries_->Find(reinterpret_cast<std::intptr_t>(&probe));
  probe.key = nullptr;
  return reinterpret_cast<const CatalogEntry*>(v);
}

const CatalogEntry* Catalog::FindPublic(const char* key) { return Find(CatalogEntry::kPublic, key); }
const CatalogEntry* Catalog::FindEntity(const char* name, bool parameter) {
  return Find(parameter ? CatalogEntry::kParameterEntity : CatalogEntry::kEntity, name);
}
const CatalogEntry* Catalog::FindDoctype(const char* name) {
  return Find(CatalogEntry::kDoctype, name);
}

bool Catalog::Add(CatalogEntry::Kind kind, InternedName* key, const char* systemId) {
  auto* entry = new CatalogEntry(kind, key, directory_, systemId);
  if (!entries_->Insert(reinterpret_cast<std::intptr_t>(entry), reinterpret_cast<std::intptr_t>(entry))) {
    delete entry;
    return false;
  }
  return true;
}

bool Catalog::AddPublic(InternedName* key, const char* s) { return Add(CatalogEntry::kPublic, key, s); }
bool Catalog::AddEntity(InternedName* key, const char* s) { return Add(CatalogEntry::kEntity, key, s); }
bool Catalog::AddParameterEntity(InternedName* key, const char* s) {
  return Add(CatalogEntry::kParameterEntity, key, s);
}
bool Catalog::AddDoctype(InternedName* key, const char* s) { return Add(CatalogEntry::kDoctype, key, s); }

SystemPath* Catalog::Resolve(CatalogEntry::Kind kind, const char* key, int fallback) {
  if (const CatalogEntry* entry = Find(kind, key))
    return SystemPath::Make(entry->systemId, entry->directory);
  if (visiting_) return nullptr;  // an include cycle built by hand ends here
  visiting_ = true;
  SystemPath* found = nullptr;
  for (ListNode* n = includes_.First(); n && !found; n = n->Next()) {
    Catalog* included = static_cast<Include*>(n)->catalog;
    switch (kind) {
      case CatalogEntry::kPublic: found = included->ResolvePublicId(key, 0); break;
      case CatalogEntry::kEntity: found = included->ResolveEntityName(key, 0, 0); break;
      case CatalogEntry::kParameterEntity: found = included->ResolveEntityName(key, 1, 0); break;
      case CatalogEntry::kDoctype: found = included->ResolveDoctype(key, 0); break;
    }
  }
  visiting_ = false;
  return found;
}

SystemPath* Catalog::ResolvePublicId(const char* publicId, int fallback) {
  if (SystemPath* path = Resolve(CatalogEntry::kPublic, publicId, fallback)) return path;
  return EntityResolver::ResolvePublicId(publicId, fallback);
}

SystemPath* Catalog::ResolveEntityName(const char* name, int parameter, int fallback) {
  auto kind = parameter ? CatalogEntry::kParameterEntity : CatalogEntry::kEntity;
  if (SystemPath* path = Resolve(kind, name, fallback)) return path;
  return EntityResolver::ResolveEntityName(name, parameter, fallback);
}

SystemPath* Catalog::ResolveDoctype(const char* name, int fallback) {
  if (SystemPath* path = Resolve(CatalogEntry::kDoctype, name, fallback)) return path;
  return EntityResolver::ResolveDoctype(name, fallback);
}

bool Catalog::PathEquals(const char* path) {
  char mine[kPathCapacity];
  return GetFilePath(mine) && SamePath(mine, path);
}

Catalog* Catalog::FindIncluded(const char* path) {
  if (PathEquals(path)) return this;
  if (visiting_) return nullptr;
  visiting_ = true;
  Catalog* found = nullptr;
  for (ListNode* n = includes_.First(); n && !found; n = n->Next())
    found = static_cast<Include*>(n)->catalog->FindIncluded(path);
  visiting_ = false;
  return found;
}

void Catalog::ClearContents() {
  entries_->DeleteEntries();
  includes_.DeleteAll();
}

void Catalog::Reload() {
  reloadFlag = false;
  char path[kPathCapacity];
  if (!GetFilePath(path)) return;
  Stream* stream = OpenConfigStream(path);
  if (!stream) return;
  ReadCatalogFile(stream);
  stream->Release();
}

namespace {
ReadingStack g_reading;
}  // namespace

void Catalog::ReadCatalogFile(Stream* stream) {
  AdjustUse(1, 0);
  reloadFlag = false;
  if (!g_reading.Push(this)) {
    ReportError(kErrCatalogSyntax);
    AdjustUse(2, 0);
    return;
  }

  ConfigTokenizer tokens(stream, nullptr, true);
  Catalog* target = this;
  for (;;) {
    int code = tokens.Next();
    if (code == ConfigTokenizer::kEnd) break;
    if (code != ConfigTokenizer::kWord) continue;
    CatalogEntry::Kind kind;
    const char* word = tokens.Text();
    if (CompareStringNoCase(word, "PUBLIC") == 0) kind = CatalogEntry::kPublic;
    else if (CompareStringNoCase(word, "ENTITY") == 0) kind = CatalogEntry::kEntity;
    else if (CompareStringNoCase(word, "DOCTYPE") == 0) kind = CatalogEntry::kDoctype;
    else if (CompareStringNoCase(word, "CATALOG") == 0) {
      // The file name may be quoted or not: the system's catalogs name
      // their parts unquoted ("CATALOG /etc/sgml/docbook-xml.cat").
      int code = tokens.Next();
      if (code != ConfigTokenizer::kString && code != ConfigTokenizer::kWord) break;
      char* path = EngineMakeAbsolute(tokens.Text(), DirectoryText());
      if (!path) continue;
      if (FindIncluded(path) || g_reading.Contains(path)) {
        ReportError(kErrRecursiveCatalog, reinterpret_cast<std::intptr_t>(path));
      } else {
        Catalog* included = CreateCatalog(path);
        includes_.Append(new Include(included));
        target = nullptr;
      }
      MemFree(path);
      continue;
    } else {
      continue;  // OVERRIDE, SGMLDECL, DTDDECL and the like are not used here
    }

    int keyCode = tokens.Next();
    if (keyCode != ConfigTokenizer::kString && keyCode != ConfigTokenizer::kWord) {
      tokens.SetError();
      break;
    }
    char key[ConfigTokenizer::kMaxToken + 1];
    CopyStringMax(key, tokens.Text(), sizeof key);
    if (kind == CatalogEntry::kPublic && !NormalizePublicIdBuffered(key, kConfigKeyCapacity)) {
      tokens.SetError();
      break;
    }
    const char* keyText = key;
    if (kind == CatalogEntry::kEntity && key[0] == '%') {
      kind = CatalogEntry::kParameterEntity;
      ++keyText;
    }
    int sysCode = tokens.Next();
    if (sysCode != ConfigTokenizer::kString && sysCode != ConfigTokenizer::kWord) {
      tokens.SetError();
      break;
    }
    if (!target) {
      // Entries after an include line go into a part of their own, placed
      // after the included catalog so lookups honour the file's order.
      target = new Catalog(directory_);
      GetCatalogList().Append(target);
      includes_.Append(new Include(target));
    }
    InternedName* name = g_nameTable->Intern(keyText);
    if (name) {
      target->Add(kind, name, tokens.Text());
      name->Release();
    }
  }
  if (tokens.Failed()) ReportError(kErrCatalogSyntax);
  g_reading.Pop();
  AdjustUse(2, 0);
}

// ---- Catalog list ---------------------------------------------------------------------

namespace {
CatalogList* g_catalogList = nullptr;
}

CatalogList& GetCatalogList() {
  if (!g_catalogList) g_catalogList = new CatalogList();
  return *g_catalogList;
}

CatalogList::~CatalogList() { Clear(); }

void CatalogList::Clear() { DeleteFiles<Catalog>(list_); }

std::size_t CatalogList::Count() const {
  std::size_t n = 0;
  for (ListNode* node = list_.First(); node; node = node->Next()) ++n;
  return n;
}

Catalog* CatalogList::CreateCatalog(const char* path) {
  return SharedFileFor<Catalog>(list_, path, [path] { return new Catalog(path); });
}

void CatalogList::Update() { UpdateFiles<Catalog>(list_); }

}  // namespace qs
