#include "sgml/entityrc.h"

#include "foundation/engine.h"
#include "foundation/names.h"
#include "foundation/paths.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "foundation/text_writer.h"
#include "sgml/config_paths.h"

namespace qs {

namespace {
enum : int {
  kPublic = 4, kStylespec = 8, kNavigator = 9, kDoctitle = 10, kVerbatim = 11, kEntityrc = 12
};

const KeywordTable& EntityrcKeywords() {
  static KeywordTable* table = [] {
    auto* t = new KeywordTable(16);
    t->AddKeyword("PUBLIC", kPublic);
    t->AddKeyword("STYLESPEC", kStylespec);
    t->AddKeyword("NAVIGATOR", kNavigator);
    t->AddKeyword("DOCTITLE", kDoctitle);
    t->AddKeyword("VERBATIM", kVerbatim);
    t->AddKeyword("ENTITYRC", kEntityrc);
    return t;
  }();
  return *table;
}

}  // namespace

// ---- Resources and entries ------------------------------------------------------

EntityrcResource::EntityrcResource(EntityrcFile* file, const char* title, const char* fileName,
                                   std::uint8_t kind)
    : ExternalId(file, file ? file->Directory() : nullptr, title, fileName, nullptr,
                 kGeneralEntity),
      kind_(kind) {}

ResourceRef* NewResourceRef(EntityrcResource* resource) {
  return new ResourceRef(resource, resource->Title(), resource->Kind());
}

EntityrcEntry::EntityrcEntry(InternedName* id) : publicId(id) { publicId->AddRef(); }

EntityrcEntry::~EntityrcEntry() {
  resources.DeleteAll();
  publicId->Release();
  MemFree(docTitle);
  MemFree(verbatim);
}

// Entries ordered by their identifier's text, so a rewritten file lists
// them in the same order on every run.
class EntityrcFile::EntryTree : public BTree {
 public:
  ~EntryTree() override { DeleteEntries(); }
  int Compare(std::intptr_t a, std::intptr_t b) const override {
    return CompareStrings(reinterpret_cast<const InternedName*>(a)->Text(),
                          reinterpret_cast<const InternedName*>(b)->Text());
  }
  void DeleteEntries() {
    for (std::intptr_t v = First(); v; v = Next()) delete reinterpret_cast<EntityrcEntry*>(v);
    Clear();
  }
};

class EntityrcFile::Include : public ListNode {
 public:
  Include(const char* name, EntityrcFile* f) : name(DuplicateString(name)), file(f) {
    file->AdjustUse(1, 0);
  }
  ~Include() override {
    file->AdjustUse(2, 0);
    MemFree(name);
  }
  char* name;  // as written; null for the file-less part after an include
  EntityrcFile* file;
  bool visiting = false;
};

// ---- The file ------------------------------------------------------------------------

EntityrcFile::EntityrcFile(Catalog* catalog, const char* path)
    : entries_(new EntryTree()), catalog_(catalog) {
  if (catalog_) catalog_->AdjustUse(1, 0);
  if (path) {
    std::size_t dirLength = EngineDirLength(path);
    if (dirLength) directory_ = g_nameTable->Intern(path, dirLength);
    fileName_ = DuplicateString(path + dirLength);
  }
}

EntityrcFile::~EntityrcFile() {
  includes_.DeleteAll();
  delete entries_;
  if (catalog_) catalog_->AdjustUse(2, 0);
  if (directory_) directory_->Release();
  MemFree(fileName_);
}

const char* EntityrcFile::DirectoryText() const { return directory_ ? directory_->Text() : ""; }

SystemPath* EntityrcFile::ResolvePublicId(const char* publicId, int fallback) {
  return catalog_ ? catalog_->ResolvePublicId(publicId, fallback) : nullptr;
}

SystemPath* EntityrcFile::ResolveEntityName(const char* name, int parameter, int fallback) {
  return catalog_ ? catalog_->ResolveEntityName(name, parameter, fallback) : nullptr;
}

int EntityrcFile::GetFilePath(char* buffer) {
  if (!directory_ || !fileName_) return 0;
  FormatString(buffer, kPathCapacity, "%s%s", directory_->Text(), fileName_);
  return 1;
}

int EntityrcFile::AdjustUse(int operation, std::intptr_t) {
  if (operation == 1) ++useCount_;
  else if (operation == 2 && useCount_ > 0) --useCount_;
  return 0;
}

EntityrcEntry* EntityrcFile::Find(const InternedName* publicId) const {
  if (!publicId) return nullptr;
  return reinterpret_cast<EntityrcEntry*>(entries_->Find(reinterpret_cast<std::intptr_t>(publicId)));
}

EntityrcEntry* EntityrcFile::FindOrMake(InternedName* publicId) {
  if (EntityrcEntry* entry = Find(publicId)) return entry;
  auto* entry = new EntityrcEntry(publicId);
  if (!entries_->Insert(reinterpret_cast<std::intptr_t>(entry->publicId),
                        reinterpret_cast<std::intptr_t>(entry))) {
    delete entry;
    return nullptr;
  }
  return entry;
}

template <class Fn>
const char* EntityrcFile::SearchText(const InternedName* publicId, Fn field) {
  if (EntityrcEntry* entry = Find(publicId))
    if (const char* text = field(entry)) return text;
  for (ListNode* n = includes_.First(); n; n = n->Next()) {
    auto* include = static_cast<Include*>(n);
    if (include->visiting) continue;
    include->visiting = true;
    const char* text = include->file->SearchText(publicId, field);
    include->visiting = false;
    if (text) return text;
  }
  return nullptr;
}

const char* EntityrcFile::GetDocTitle(const InternedName* publicId) {
  return SearchText(publicId, [](EntityrcEntry* e) { return static_cast<const char*>(e->docTitle); });
}

const char* EntityrcFile::GetVerbatim(const InternedName* publicId) {
  return SearchText(publicId, [](EntityrcEntry* e) { return static_cast<const char*>(e->verbatim); });
}

void EntityrcFile::GetResources(const ExternalId* document, ListHead& out, bool addDefaults) {
  if (!document) return;
  if (const char* publicId = document->PublicId()) {
    auto* atom = static_cast<InternedName*>(g_nameTable->Find(publicId, GetStringLength(publicId)));
    if (EntityrcEntry* entry = Find(atom)) {
      for (ListNode* n = entry->resources.First(); n; n = n->Next())
        out.Append(NewResourceRef(ResourceOf(n)));
    }
    for (ListNode* n = includes_.First(); n; n = n->Next()) {
      auto* include = static_cast<Include*>(n);
      if (include->visiting) continue;
      include->visiting = true;
      include->file->GetResources(document, out, false);
      include->visiting = false;
    }
  }
  if (!addDefaults || !out.IsEmpty() || !document->Location()) return;

  const SystemPath* location = document->Location();
  char base[kPathCapacity];
  CopyStringMax(base, location->FileName(), sizeof base);
  // Cut at the last '.', unless that is the first character.
  char* dot = nullptr;
  for (char* p = base + 1; *p; ++p)
    if (*p == '.') dot = p;
  if (dot) *dot = '\0';
  static const struct {
    const char* extension;
    const char* title;
    std::uint8_t kind;
  } kDefaults[] = {{".ssh", "Default Style Sheet", EntityrcResource::kStyleSheet},
                   {".nav", "Default Navigator", EntityrcResource::kNavigator}};
  EngineBase* engine = GetEngine();
  for (const auto& d : kDefaults) {
    char name[kPathCapacity];
    if (FormatString(name, sizeof name, "%s%s", base, d.extension) !=
        GetStringLength(base) + GetStringLength(d.extension))
      continue;
    const char* dir = location->DirectoryText();
    if (!engine || !engine->FileExistsIn(name, dir)) continue;
    char full[kPathCapacity];
    FormatString(full, sizeof full, "%s%s", dir ? dir : "", name);
    auto* resource = new EntityrcResource(nullptr, d.title, full, d.kind);
    out.Append(NewResourceRef(resource));
    resource->Release();
  }
}

void EntityrcFile::ClearContents() {
  entries_->DeleteEntries();
  includes_.DeleteAll();
}

bool EntityrcFile::PathEquals(const char* path) {
  char mine[kPathCapacity];
  return GetFilePath(mine) && SamePath(mine, path);
}

EntityrcFile* EntityrcFile::FindIncluded(const EntityrcFile* target) {
  if (this == target) return this;
  for (ListNode* n = includes_.First(); n; n = n->Next()) {
    auto* include = static_cast<Include*>(n);
    if (include->visiting) continue;
    include->visiting = true;
    EntityrcFile* found = include->file->FindIncluded(target);
    include->visiting = false;
    if (found) return found;
  }
  return nullptr;
}

void EntityrcFile::AppendInclude(const char* name, EntityrcFile* file) {
  includes_.Append(new Include(name, file));
}

bool EntityrcFile::RemoveIncludeOf(const EntityrcFile* file) {
  for (ListNode* n = includes_.First(); n; n = n->Next()) {
    if (static_cast<Include*>(n)->file == file) {
      includes_.Unlink(n);
      delete n;
      return true;
    }
  }
  return false;
}

EntityrcFile* EntityrcFile::FindIncludedPath(const char* path) {
  if (PathEquals(path)) return this;
  for (ListNode* n = includes_.First(); n; n = n->Next()) {
    auto* include = static_cast<Include*>(n);
    if (include->visiting) continue;
    include->visiting = true;
    EntityrcFile* found = include->file->FindIncludedPath(path);
    include->visiting = false;
    if (found) return found;
  }
  return nullptr;
}

void EntityrcFile::Reload() {
  reloadFlag = false;
  char path[kPathCapacity];
  if (!GetFilePath(path)) return;
  Stream* stream = OpenConfigStream(path);
  if (!stream) return;
  ReadEntityrcFile(stream);
  stream->Release();
}

namespace {
ReadingStack g_reading;
}  // namespace

void EntityrcFile::ReadEntityrcFile(Stream* stream) {
  AdjustUse(1, 0);
  reloadFlag = false;
  if (!g_reading.Push(this)) {
    ReportError(kErrEntityrcSyntax);
    AdjustUse(2, 0);
    return;
  }

  ConfigTokenizer tokens(stream, &EntityrcKeywords(), false);
  EntityrcEntry* current = nullptr;
  EntityrcFile* target = this;
  for (;;) {
    int code = tokens.Next();
    if (code == ConfigTokenizer::kEnd) break;
    if (code < kPublic) continue;  // strings and words outside a keyword's place
    int arg = tokens.Next();
    if (arg != ConfigTokenizer::kString && arg != ConfigTokenizer::kWord) {
      tokens.SetError();
      break;
    }
    switch (code) {
      case kPublic: {
        char key[ConfigTokenizer::kMaxToken + 1];
        CopyStringMax(key, tokens.Text(), sizeof key);
        if (!NormalizePublicIdBuffered(key, kConfigKeyCapacity)) {
          tokens.SetError();
          break;
        }
        if (!target) {
          target = new EntityrcFile(catalog_, nullptr);
          if (directory_) target->directory_ = directory_->AddRef();
          target->reloadFlag = false;
          GetEntityrcList().Append(target);
          includes_.Append(new Include(nullptr, target));
        }
        InternedName* atom = g_nameTable->Intern(key);
        current = atom ? target->FindOrMake(atom) : nullptr;
        if (atom) atom->Release();
        break;
      }
      case kStylespec:
      case kNavigator: {
        char title[kConfigKeyCapacity];
        if (tokens.Length() >= sizeof title) {
          tokens.SetError();
          break;
        }
        CopyStringMax(title, tokens.Text(), sizeof title);
        int fileCode = tokens.Next();
        if (fileCode != ConfigTokenizer::kString && fileCode != ConfigTokenizer::kWord) {
          tokens.SetError();
          break;
        }
        if (current) {
          auto* resource = new EntityrcResource(
              this, title, tokens.Text(),
              code == kStylespec ? EntityrcResource::kStyleSheet : EntityrcResource::kNavigator);
          current->resources.Append(NewResourceRef(resource));
          resource->Release();
        }
        break;
      }
      case kDoctitle:
        if (current && !current->docTitle) current->docTitle = DuplicateString(tokens.Text());
        break;
      case kVerbatim:
        if (current && !current->verbatim) current->verbatim = DuplicateString(tokens.Text());
        break;
      case kEntityrc: {
        char* path = EngineMakeAbsolute(tokens.Text(), DirectoryText());
        if (!path) break;
        if (FindIncludedPath(path) || g_reading.Contains(path)) {
          ReportError(kErrRecursiveEntityrc, reinterpret_cast<std::intptr_t>(path));
        } else {
          EntityrcFile* included = CreateEntityrc(catalog_, path);
          includes_.Append(new Include(tokens.Text(), included));
          target = nullptr;
          current = nullptr;
        }
        MemFree(path);
        break;
      }
      default:
        break;
    }
    if (tokens.Failed()) break;
  }
  if (tokens.Failed()) ReportError(kErrEntityrcSyntax);
  g_reading.Pop();
  AdjustUse(2, 0);
}

// ---- Writing -----------------------------------------------------------------------------

void EntityrcFile::WriteEntries(TextWriter& w) {
  for (std::intptr_t v = entries_->First(); v; v = entries_->Next()) {
    auto* entry = reinterpret_cast<EntityrcEntry*>(v);
    w.PutString("\nPUBLIC ");
    w.PutQuoted(entry->publicId->Text());
    if (entry->docTitle) {
      w.PutString("\n\tDOCTITLE ");
      w.PutQuoted(entry->docTitle);
    }
    if (entry->verbatim) {
      w.PutString("\n\tVERBATIM ");
      w.PutQuoted(entry->verbatim);
    }
    for (ListNode* n = entry->resources.First(); n; n = n->Next()) {
      EntityrcResource* r = ResourceOf(n);
      if (r->Kind() > EntityrcResource::kNavigator) continue;
      w.PutString(r->Kind() == EntityrcResource::kStyleSheet ? "\n\tSTYLESPEC " : "\n\tNAVIGATOR ");
      w.PutQuoted(r->Title());
      w.PutChar(' ');
      const SystemPath* location = r->Location();
      char* relative = location ? MakeRelativePathFrom(location->DirectoryText(),
                                                       location->FileName(), DirectoryText(),
                                                       fileName_ ? fileName_ : "")
                                : nullptr;
      w.PutQuoted(relative ? relative : (r->SystemId() ? r->SystemId() : ""));
      MemFree(relative);
    }
  }
}

int EntityrcFile::WriteEntityrcFile(TextWriter* writer) {
  TextWriter* own = nullptr;
  if (!writer) {
    char path[kPathCapacity];
    if (!GetFilePath(path)) return 0;
    own = writer = new TextWriter(path, true);
    if (!writer->ok()) {
      delete own;
      return 0;
    }
  }
  writer->PutString("--*************  ENTITYRC DEFINITIONS AND MAPPING  *************--\n");
  WriteEntries(*writer);
  for (ListNode* n = includes_.First(); n; n = n->Next()) {
    auto* include = static_cast<Include*>(n);
    if (!include->name) {
      include->file->WriteEntries(*writer);
    } else {
      writer->PutString("\nENTITYRC ");
      writer->PutQuoted(include->name);
    }
  }
  writer->PutChar('\n');
  bool ok = writer->Close();
  delete writer;
  return ok ? 1 : 0;
}

EntityrcResource* EntityrcFile::AddResource(const char* publicId, const char* title,
                                            const char* file, std::uint8_t kind, bool append) {
  char path[kPathCapacity];
  if (!publicId || !GetFilePath(path)) return nullptr;
  char key[kConfigKeyCapacity];
  if (GetStringLength(publicId) >= sizeof key) return nullptr;
  CopyStringMax(key, publicId, sizeof key);
  NormalizePublicId(key);

  auto* writer = new TextWriter(path, true);
  if (!writer->ok()) {
    delete writer;
    return nullptr;
  }
  InternedName* atom = g_nameTable->Intern(key);
  EntityrcEntry* entry = Find(atom);
  for (ListNode* n = includes_.First(); n && !entry; n = n->Next()) {
    auto* include = static_cast<Include*>(n);
    if (!include->name) entry = include->file->Find(atom);
  }
  if (!entry) entry = FindOrMake(atom);
  atom->Release();
  if (!entry) {
    writer->Discard();
    delete writer;
    return nullptr;
  }
  auto* resource = new EntityrcResource(this, title, file, kind);
  auto* ref = NewResourceRef(resource);
  resource->Release();
  if (append) entry->resources.Append(ref);
  else entry->resources.Prepend(ref);
  if (!WriteEntityrcFile(writer)) {
    // The file still holds what it held: so do the entries.
    entry->resources.Unlink(ref);
    delete ref;
    return nullptr;
  }
  return resource;
}

bool EntityrcFile::RemoveHere(const char* publicId, EntityrcResource& probe) {
  auto* atom = static_cast<InternedName*>(g_nameTable->Find(publicId, GetStringLength(publicId)));
  EntityrcEntry* entry = Find(atom);
  if (!entry) return false;
  for (ListNode* n = entry->resources.First(); n; n = n->Next()) {
    EntityrcResource* r = ResourceOf(n);
    if (r->Kind() == probe.Kind() && r->Equals(probe) &&
        CompareStringNoCase(r->Title() ? r->Title() : "", probe.Title() ? probe.Title() : "") == 0) {
      entry->resources.Unlink(n);
      delete n;
      return true;
    }
  }
  return false;
}

int EntityrcFile::RemoveResource(const char* publicId, const char* title, const char* file,
                                 std::uint8_t kind) {
  if (!publicId) return 0;
  char key[kConfigKeyCapacity];
  if (GetStringLength(publicId) >= sizeof key) return 0;
  CopyStringMax(key, publicId, sizeof key);
  NormalizePublicId(key);
  auto* probe = new EntityrcResource(this, title, file, kind);
  int result = 0;
  if (RemoveHere(key, *probe)) {
    result = WriteEntityrcFile(nullptr);
  } else {
    for (ListNode* n = includes_.First(); n; n = n->Next()) {
      auto* include = static_cast<Include*>(n);
      if (include->name) continue;
      if (include->file->RemoveHere(key, *probe)) {
        result = WriteEntityrcFile(nullptr);
        probe->Release();
        return result;
      }
    }
    for (ListNode* n = includes_.First(); n; n = n->Next()) {
      auto* include = static_cast<Include*>(n);
      if (!include->name || include->visiting) continue;
      include->visiting = true;
      result = include->file->RemoveResource(key, title, file, kind);
      include->visiting = false;
      if (result) break;
    }
  }
  probe->Release();
  return result;
}

// ---- Relative paths -------------------------------------------------------------------------

char* MakeRelativePath(const char* path, const char* baseFile) {
  std::size_t baseDirLength = PathDirLength(baseFile);
  std::size_t i = 0, afterSeparator = 0;
  while (i < baseDirLength && path[i] && path[i] == baseFile[i]) {
    if (IsPathSeparator(path[i])) afterSeparator = i + 1;
    ++i;
  }
  if (i == baseDirLength) return DuplicateString(path + afterSeparator);
  return DuplicateString(path);
}

char* MakeRelativePathFrom(const char* dir1, const char* name1, const char* dir2,
                           const char* name2) {
  char* a = EngineMakeAbsolute(name1, dir1);
  char* b = EngineMakeAbsolute(name2, dir2);
  char* result = (a && b) ? MakeRelativePath(a, b) : nullptr;
  MemFree(a);
  MemFree(b);
  return result;
}

// ---- The list ---------------------------------------------------------------------------------

namespace {
EntityrcList* g_entityrcList = nullptr;
}

EntityrcList& GetEntityrcList() {
  if (!g_entityrcList) g_entityrcList = new EntityrcList();
  return *g_entityrcList;
}

EntityrcList::~EntityrcList() { Clear(); }

void EntityrcList::Clear() { DeleteFiles<EntityrcFile>(list_); }

EntityrcFile* EntityrcList::CreateEntityrc(Catalog* catalog, const char* path) {
  return SharedFileFor<EntityrcFile>(list_, path,
                                     [catalog, path] { return new EntityrcFile(catalog, path); });
}

void EntityrcList::Update() { UpdateFiles<EntityrcFile>(list_); }

}  // namespace qs
