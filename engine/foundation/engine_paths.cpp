// The engine object's path operations and temporary names. Every part of
// the engine names files through these, so a host-specific layer can change
// how paths are joined and compared.
#include "foundation/engine.h"
#include "foundation/file.h"
#include "foundation/paths.h"
#include "foundation/strings.h"

namespace qs {

namespace {
bool IsSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }
bool IsSlash(char c) { return c == '\\' || c == '/'; }
}  // namespace

std::size_t EngineBase::GetDirLength(const char* path) {
  std::size_t length = 0;
  for (std::size_t i = 0; path && path[i]; ++i)
    if (IsSeparator(path[i])) length = i + 1;
  return length;
}

bool EngineBase::IsRelativePath(const char* path) {
  if (!path) return false;
  if (path[0] == ':') return true;
  if (IsSlash(path[0])) return false;
  const char* p = path;
  while (*p && !IsSeparator(*p)) ++p;
  return *p != ':';
}

char* EngineBase::NormalizePath(char* path) { return PathNormalize(path); }

char* EngineBase::JoinPath(char* out, const char* dir, const char* name) {
  // A path that does not fit is refused (null, `out` empty), never cut.
  return PathJoin(out, dir && IsRelativePath(name) ? dir : nullptr, name);
}

char* EngineBase::MakeAbsolute(const char* name, const char* dir) {
  char joined[kPathBufferSize];
  return JoinPath(joined, dir, name) ? DuplicateString(joined) : nullptr;
}

int EngineBase::ComparePaths(const char* dir1, const char* dir2, const char* name1,
                             const char* name2) {
  char a[kPathBufferSize], b[kPathBufferSize];
  if (!JoinPath(a, dir1, name1) || !JoinPath(b, dir2, name2)) return 1;  // a refused path equals nothing
  return CompareStringNoCase(a, b);
}

int EngineBase::FileExistsIn(const char* name, const char* dir) {
  char joined[kPathBufferSize];
  if (!PathJoin(joined, dir && IsRelativePath(name) ? dir : nullptr, name)) return 0;
  return FileExists(joined);
}

int EngineBase::FileExists(const char* path) { return File::Exists(path); }

char* EngineBase::JoinHomePath(const char* dir, const char* name, char* out) {
  // A path that does not fit leaves `out` empty (null comes back).
  if (!name) name = "";
  if (IsRelativePath(name)) return PathJoin(out, dir ? dir : "", name);
  if (GetStringLength(name) >= kPathBufferSize) {
    out[0] = '\0';
    return nullptr;
  }
  return CopyString(out, name);
}

char* EngineBase::MakeTempName(char* out) { return ::qs::MakeTempName(out); }

}  // namespace qs
