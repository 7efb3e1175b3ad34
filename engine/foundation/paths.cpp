#include "foundation/paths.h"

#include "foundation/containers.h"
#include "foundation/engine_services.h"
#include "foundation/file.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "foundation/text_writer.h"

namespace qs {

namespace {

bool IsSlash(char c) { return c == '\\' || c == '/'; }

std::uint32_t g_tempNameCounter = 0;
std::uint32_t g_tempCopyCounter = 0;

bool IsDotStep(const char* begin, const char* end) {
  std::ptrdiff_t n = end - begin;
  return (n == 1 && begin[0] == '.') || (n == 2 && begin[0] == '.' && begin[1] == '.');
}

}  // namespace

std::size_t PathDirLength(const char* path) {
  std::size_t length = 0;
  for (std::size_t i = 0; path && path[i]; ++i)
    if (IsPathSeparator(path[i])) length = i + 1;
  return length;
}

bool PathIsRelative(const char* path) {
  if (!path) return false;
  if (path[0] == ':') return true;
  if (IsSlash(path[0])) return false;
  const char* p = path;
  while (*p && !IsPathSeparator(*p)) ++p;
  return *p != ':';
}

char* PathNormalize(char* path) {
  if (!path) return path;
  char* out = path;
  const char* in = path;
  while (*in) {
    // A colon ends a drive or a scheme: what follows it is never folded
    // into it.
    if (IsSlash(*in) && in[1] == '.' && IsPathSeparator(in[2])) {
      in += 2;  // "\." : the next separator is looked at next
      continue;
    }
    if (IsSlash(*in) && in[1] == '.' && in[2] == '.' && IsPathSeparator(in[3])) {
      char* step = out;
      while (step > path && !IsPathSeparator(step[-1])) --step;
      if (step == out) {
        // Nothing to climb: at a root or a drive's root, ".." stays there.
        in += 3;
        continue;
      }
      bool server = step - path >= 2 && IsSlash(step[-1]) && IsSlash(step[-2]);
      bool drive = step > path && step[-1] == ':';
      if (!IsDotStep(step, out) && !server && !drive) {
        if (step == path) {
          // The first step of a relative path: the rest starts afresh.
          out = path;
          in += 4;
        } else {
          out = step - 1;  // the separator after ".." takes its place
          in += 3;
        }
        continue;
      }
    }
    *out++ = *in++;
  }
  *out = '\0';
  return path;
}

char* PathJoin(char* out, const char* dir, const char* name) {
  if (!name) name = "";
  std::size_t dirLength = dir && PathIsRelative(name) ? GetStringLength(dir) : 0;
  std::size_t nameLength = GetStringLength(name);
  if (dirLength + nameLength >= kPathCapacity) {
    out[0] = '\0';
    return nullptr;
  }
  if (dirLength) CopyString(out, dir);
  CopyString(out + dirLength, name);
  return PathNormalize(out);
}

char* MakeTempName(char* out) {
  EngineServices& engine = GetEngineServices();
  const char* dir = engine.GetTempDir();
  unsigned stamp = engine.GetTempStamp();
  // No folder: no temporary files (never in the root). The longest name:
  // the folder, a separator, two + eight hex digits, "-", ".tmp".
  if (!dir || !*dir || GetStringLength(dir) + 16 >= kPathCapacity) return nullptr;
  do {
    FormatString(out, kPathCapacity, "%s%c%02x-%04lx.tmp", dir, '\\', stamp,
                 static_cast<unsigned long>(g_tempNameCounter++));
  } while (File::Exists(out));
  return out;
}

// ---- Registry of temporary copies -----------------------------------------

namespace {

class TempFileEntry : public ListNode {
 public:
  TempFileEntry(const char* key, const char* fileName, std::int32_t number)
      : key(DuplicateString(key)), fileName(DuplicateString(fileName)), number(number) {}
  ~TempFileEntry() override {
    if (fileName && deleteFile) File::Delete(fileName);
    MemFree(key);
    MemFree(fileName);
  }
  char* key;
  char* fileName;
  std::int32_t number;
  bool deleteFile = true;
};

// Lives as long as the library: unloading it deletes every registered file.
ListHead& Registry() {
  static ListHead registry;
  return registry;
}

TempFileEntry* Entry(ListNode* node) { return static_cast<TempFileEntry*>(node); }

}  // namespace

const char* LookupTempFile(const char* key, std::int32_t* outNumber) {
  if (!key) return nullptr;
  ListHead& registry = Registry();
  for (ListNode* node = registry.First(); node; node = node->Next()) {
    TempFileEntry* e = Entry(node);
    if (CompareStrings(e->key, key) == 0) {
      registry.Unlink(node);
      registry.Prepend(node);
      if (outNumber) *outNumber = e->number;
      return e->fileName;
    }
  }
  return nullptr;
}

bool RegisterTempFile(const char* key, const char* fileName, std::int32_t number) {
  if (!key || !fileName || !*fileName) return false;
  char full[kPathCapacity];
  if (PathIsRelative(fileName)) {
    const char* home = GetEngineServices().GetHomeDir();
    std::size_t homeLength = GetStringLength(home);
    // A home folder that already ends in a separator gets no second one.
    bool slash = homeLength > 0 && IsSlash(home[homeLength - 1]);
    if (homeLength + 1 + GetStringLength(fileName) >= kPathCapacity) return false;
    FormatString(full, sizeof full, slash ? "%s%s" : "%s\\%s", home, fileName);
    fileName = full;
  }
  ListHead& registry = Registry();
  int count = 0;
  for (ListNode* node = registry.First(); node; node = node->Next()) {
    ++count;
    TempFileEntry* e = Entry(node);
    if (CompareStrings(e->key, key) == 0) {
      registry.Unlink(node);
      // The same file registered again stays on the disk.
      if (CompareStringNoCase(e->fileName, fileName) == 0) e->deleteFile = false;
      delete e;
      registry.Prepend(new TempFileEntry(key, fileName, number));
      return true;
    }
  }
  if (count >= kMaxTempFiles) delete registry.PopLast();
  registry.Prepend(new TempFileEntry(key, fileName, number));
  return true;
}

void DeleteTempFiles(const char* key) {
  ListHead& registry = Registry();
  if (!key) {
    registry.DeleteAll();
    return;
  }
  for (ListNode* node = registry.First(); node; node = node->Next()) {
    if (CompareStrings(Entry(node)->key, key) == 0) {
      registry.Unlink(node);
      delete node;
      return;
    }
  }
}

int TempFileCount() {
  int n = 0;
  for (ListNode* node = Registry().First(); node; node = node->Next()) ++n;
  return n;
}

int CopyToTempFile(Stream* stream, const char* key, char* out, std::int32_t number) {
  if (!stream) return 0;
  // The extension: letters and digits after the last "." of the key's last
  // step, at most 8 of them; anything else makes it "tmp".
  char extension[9] = "tmp";
  if (key) {
    const char* step = key + PathDirLength(key);
    const char* dot = nullptr;
    for (const char* p = step; *p; ++p)
      if (*p == '.') dot = p;
    if (dot && dot > step) {
      std::size_t n = GetStringLength(dot + 1);
      bool plain = n > 0 && n <= 8;
      for (const char* p = dot + 1; plain && *p; ++p)
        plain = (*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9');
      if (plain) CopyString(extension, dot + 1);
    }
  }
  const char* dir = GetEngineServices().GetTempDir();
  char name[kPathCapacity];
  // The folder, a separator, up to ten digits, ".", the extension.
  if (!dir || !*dir || GetStringLength(dir) + 1 + 10 + 1 + 8 >= kPathCapacity) {
    stream->Release();
    return 0;
  }
  do {
    FormatString(name, sizeof name, "%s%c%lu.%s", dir, '\\',
                 static_cast<unsigned long>(g_tempCopyCounter++), extension);
  } while (File::Exists(name));

  bool ok;
  {
    TextWriter writer(name, false);
    std::size_t n;
    while (const std::uint8_t* p = stream->ReadBlock(&n, 65536))
      for (std::size_t i = 0; i < n; ++i) writer.PutChar(p[i]);
    ok = writer.Close();
  }
  stream->Release();
  if (!ok || !RegisterTempFile(key ? key : "", name, number)) {
    File::Delete(name);
    return 0;
  }
  CopyString(out, name);
  return 1;
}

}  // namespace qs
