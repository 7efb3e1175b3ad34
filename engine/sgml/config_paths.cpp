#include "sgml/config_paths.h"

#include "foundation/engine.h"
#include "foundation/strings.h"
#include "sgml/catalog.h"

namespace qs {

std::size_t EngineDirLength(const char* path) {
  if (EngineBase* engine = GetEngine()) return engine->GetDirLength(path);
  return PathDirLength(path);
}

bool EngineIsRelative(const char* path) {
  if (EngineBase* engine = GetEngine()) return engine->IsRelativePath(path);
  return PathIsRelative(path);
}

char* EngineMakeAbsolute(const char* name, const char* dir) {
  if (EngineBase* engine = GetEngine()) return engine->MakeAbsolute(name, dir);
  char joined[kPathCapacity];
  return PathJoin(joined, dir, name) ? DuplicateString(joined) : nullptr;
}

bool SamePath(const char* a, const char* b) {
  if (EngineBase* engine = GetEngine()) return engine->ComparePaths(nullptr, nullptr, a, b) == 0;
  return CompareStringNoCase(a, b) == 0;
}

bool ReadingStack::Push(EntityResolver* file) {
  if (depth_ >= kMaxDepth) return false;
  files_[depth_++] = file;
  return true;
}

bool ReadingStack::Contains(const char* path) const {
  for (int i = 0; i < depth_; ++i) {
    char mine[kPathCapacity];
    if (files_[i]->GetFilePath(mine) && SamePath(mine, path)) return true;
  }
  return false;
}

}  // namespace qs
