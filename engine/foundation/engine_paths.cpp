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

char* EngineBase::NormalizePath(char* path) {
  if (!path) return path;
  char* out = path;
  const char* in = path;
  while (*in) {
    if (IsSeparator(*in) && in[1] == '.' && in[2] && IsSeparator(in[2])) {
      in += 2;  // "\." : the next separator is looked at next
      continue;
    }
    if (IsSeparator(*in) && in[1] == '.' && in[2] == '.' && in[3] && IsSeparator(in[3])) {
      in += 3;
      // Back to the last separator written; it stays and the separator
      // after ".." is copied in its place.
      while (out > path && !IsSeparator(out[-1])) --out;
      if (out > path) --out;
      continue;
    }
    *out++ = *in++;
  }
  *out = '\0';
  return path;
}

char* EngineBase::JoinPath(char* out, const char* dir, const char* name) {
  if (dir && IsRelativePath(name))
    FormatString(out, kPathBufferSize, "%s%s", dir, name);
  else
    CopyStringMax(out, name ? name : "", kPathBufferSize);
  return NormalizePath(out);
}

char* EngineBase::MakeAbsolute(const char* name, const char* dir) {
  char joined[kPathBufferSize];
  return DuplicateString(JoinPath(joined, dir, name));
}

int EngineBase::ComparePaths(const char* dir1, const char* dir2, const char* name1,
                             const char* name2) {
  char a[kPathBufferSize], b[kPathBufferSize];
  JoinPath(a, dir1, name1);
  JoinPath(b, dir2, name2);
  return CompareStringNoCase(a, b);
}

int EngineBase::FileExistsIn(const char* name, const char* dir) {
  char joined[kPathBufferSize];
  if (dir && IsRelativePath(name))
    FormatString(joined, sizeof joined, "%s%s", dir, name);
  else
    CopyStringMax(joined, name ? name : "", sizeof joined);
  return FileExists(joined);
}

int EngineBase::FileExists(const char* path) { return File::Exists(path); }

char* EngineBase::JoinHomePath(const char* dir, const char* name, char* out) {
  if (IsRelativePath(name)) {
    FormatString(out, kPathBufferSize, "%s%s", dir ? dir : "", name);
    return NormalizePath(out);
  }
  return CopyStringMax(out, name ? name : "", kPathBufferSize);
}

char* EngineBase::MakeTempName(char* out) { return ::qs::MakeTempName(out); }

}  // namespace qs
