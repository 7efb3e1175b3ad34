#include "sgml/external_id.h"

#include <cstring>

#include "foundation/engine.h"
#include "foundation/names.h"
#include "foundation/strings.h"
#include "foundation/text_writer.h"
#include "sgml/catalog.h"
#include "sgml/config_paths.h"

namespace qs {

namespace {
inline bool IsSpaceChar(unsigned char c) { return c <= 0x20; }

// The engine's default base directory: its home folder, else none.
const char* DefaultBaseDir() {
  EngineBase* engine = GetEngine();
  return engine && engine->home() ? engine->home() : "";
}

}  // namespace

char* NormalizePublicId(char* text) {
  if (!text) return text;
  UppercaseString(text);
  const char* in = text;
  while (*in && IsSpaceChar(static_cast<unsigned char>(*in))) ++in;
  char* out = text;
  bool pendingBlank = false;
  for (; *in; ++in) {
    if (IsSpaceChar(static_cast<unsigned char>(*in))) {
      pendingBlank = true;
      continue;
    }
    if (pendingBlank) *out++ = ' ';
    pendingBlank = false;
    *out++ = *in;
  }
  *out = '\0';
  return text;
}

bool NormalizePublicIdBuffered(char* text, std::size_t capacity) {
  if (GetStringLength(text) >= capacity) return false;
  NormalizePublicId(text);
  return true;
}

// ---- SystemPath -------------------------------------------------------------

SystemPath* SystemPath::Make(const char* fileName, const InternedName* baseDir) {
  return Make(fileName, baseDir ? baseDir->Text() : nullptr);
}

SystemPath* SystemPath::Make(const char* fileName, const char* baseDirText) {
  if (!fileName || !g_nameTable) return nullptr;
  std::size_t dirLength = EngineDirLength(fileName);
  const char* base = "";
  if (EngineIsRelative(fileName)) base = baseDirText ? baseDirText : DefaultBaseDir();
  std::size_t baseLength = GetStringLength(base);
  char* work = static_cast<char*>(MemAlloc(baseLength + dirLength + 4));
  if (!work) return nullptr;
  std::memcpy(work, base, baseLength);
  std::memcpy(work + baseLength, fileName, dirLength);
  work[baseLength + dirLength] = '\0';
  if (EngineBase* engine = GetEngine()) engine->NormalizePath(work);

  auto* path = new SystemPath();
  path->directory_ = g_nameTable->Intern(work);
  path->fileName_ = DuplicateString(fileName + dirLength);
  MemFree(work);
  if (!path->fileName_) {
    delete path;
    return nullptr;
  }
  return path;
}

SystemPath::~SystemPath() {
  if (directory_) directory_->Release();
  MemFree(fileName_);
}

const char* SystemPath::DirectoryText() const { return directory_ ? directory_->Text() : nullptr; }

bool SystemPath::Equals(const SystemPath& other) const {
  if (CompareStrings(fileName_, other.fileName_) != 0) return false;
  if (!directory_ || !other.directory_) return !directory_ && !other.directory_;
  return CompareStrings(directory_->Text(), other.directory_->Text()) == 0;
}

char* SystemPath::GetFullPath() const {
  if (!fileName_) return nullptr;
  if (!directory_) return DuplicateString(fileName_);
  std::size_t n = directory_->Length() + GetStringLength(fileName_) + 1;
  char* full = static_cast<char*>(MemAlloc(n));
  if (full) FormatString(full, n, "%s%s", directory_->Text(), fileName_);
  return full;
}

// ---- ExternalId ---------------------------------------------------------------

ExternalId::ExternalId(EntityResolver* resolver, const InternedName* baseDir, const char* name,
                       const char* systemId, const char* publicId, int kind)
    : name_(DuplicateString(name)),
      systemId_(DuplicateString(systemId)),
      publicId_(DuplicateString(publicId)) {
  if (publicId_) NormalizePublicId(publicId_);
  Resolve(resolver, baseDir, kind);
}

ExternalId::~ExternalId() {
  if (location_) location_->Release();
  MemFree(name_);
  MemFree(systemId_);
  MemFree(publicId_);
}

void ExternalId::Resolve(EntityResolver* resolver, const InternedName* baseDir, int kind) {
  if (!resolver) {
    if (systemId_) location_ = SystemPath::Make(systemId_, baseDir);
    else if (name_) location_ = SystemPath::Make(name_, baseDir);
    return;
  }
  if (publicId_) {
    location_ = resolver->ResolvePublicId(publicId_, 1);
    if (location_) return;
  }
  if (systemId_) {
    location_ = SystemPath::Make(systemId_, baseDir);
    return;
  }
  if (publicId_ || !name_) return;
  switch (kind) {
    case kGeneralEntity: location_ = resolver->ResolveEntityName(name_, 0, 1); break;
    case kParameterEntity: location_ = resolver->ResolveEntityName(name_, 1, 1); break;
    case kDoctype: location_ = resolver->ResolveDoctype(name_, 1); break;
    default: break;
  }
  if (!location_) location_ = SystemPath::Make(name_, baseDir);
}

void ExternalId::SetLocation(const char* fileName, const InternedName* baseDir) {
  if (location_) location_->Release();
  location_ = fileName ? SystemPath::Make(fileName, baseDir) : nullptr;
}

void ExternalId::SetPublicId(const char* text) {
  MemFree(publicId_);
  publicId_ = DuplicateString(text);
  if (publicId_) NormalizePublicId(publicId_);
}

bool ExternalId::Equals(const ExternalId& other) const {
  if (publicId_ || other.publicId_) {
    if (!publicId_ || !other.publicId_) return false;
    return CompareStrings(publicId_, other.publicId_) == 0;
  }
  if (location_ || other.location_) {
    if (!location_ || !other.location_) return false;
    return location_->Equals(*other.location_);
  }
  if (!name_ || !other.name_) return !name_ && !other.name_;
  return CompareStrings(name_, other.name_) == 0;
}

char* ExternalId::Format(char* buffer, std::size_t capacity) const {
  if (publicId_) {
    FormatString(buffer, capacity, "PUBLIC \"%s\"", publicId_);
  } else if (systemId_) {
    FormatString(buffer, capacity, "SYSTEM \"%s\"", systemId_);
  } else if (name_) {
    CopyStringMax(buffer, name_, capacity);
  } else {
    char text[512];
    EngineBase* engine = GetEngine();
    const char* untitled = engine ? engine->GetString(17, text) : nullptr;
    CopyStringMax(buffer, untitled ? untitled : "<untitled>", capacity);
  }
  return buffer;
}

char* ExternalId::GetFilePath() const { return location_ ? location_->GetFullPath() : nullptr; }

Stream* ExternalId::OpenRead(std::int32_t* encoding) {
  if (!location_) return nullptr;
  EngineBase* engine = GetEngine();
  if (!engine) return nullptr;
  return engine->OpenEntity(this, nullptr, encoding);
}

TextWriter* ExternalId::OpenWrite(bool crlf) {
  char* path = GetFilePath();
  if (!path) return nullptr;
  auto* writer = new TextWriter(path, crlf);
  MemFree(path);
  if (!writer->ok()) {
    delete writer;
    return nullptr;
  }
  return writer;
}

// ---- ResourceCache --------------------------------------------------------------

ResourceCacheItem::ResourceCacheItem(ExternalId* id) : id_(id) {
  if (id_) id_->AddRef();
}

ResourceCacheItem::~ResourceCacheItem() {
  if (id_) id_->Release();
}

ResourceCacheItem* ResourceCache::Find(const ExternalId* id) const {
  for (ResourceCacheItem* item = First(); item; item = Next(item)) {
    if (!id) {
      if (!item->Id()) return item;
    } else if (item->Id() && item->Id()->Equals(*id)) {
      return item;
    }
  }
  return nullptr;
}

ResourceCacheItem* ResourceCache::FindOrAdd(ExternalId* id) {
  ResourceCacheItem* item = Find(id);
  if (item) {
    items_.Unlink(item);
  } else {
    item = Create(id);
    if (!item) return nullptr;
  }
  items_.Prepend(item);
  return item;
}

}  // namespace qs
