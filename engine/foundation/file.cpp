#include "foundation/file.h"

namespace qs {

std::size_t RawFile::Read(void*, std::size_t) { return 0; }
std::size_t RawFile::Write(const void*, std::size_t) { return 0; }
std::int64_t RawFile::Seek(std::int64_t, int) { return -1; }

File* File::Open(const char* name, unsigned mode) {
  platform::FileHandle handle = platform::FileOpen(name, mode);
  if (handle == platform::kNoFile) return nullptr;
  return new File(handle);
}

int File::Exists(const char* name) { return platform::FileAttributes(name); }
bool File::Delete(const char* name) { return platform::FileDelete(name); }
bool File::Rename(const char* from, const char* to) { return platform::FileRename(from, to); }

File::~File() { platform::FileClose(handle_); }

std::size_t File::Read(void* buffer, std::size_t n) {
  return platform::FileRead(handle_, buffer, n);
}

std::size_t File::Write(const void* buffer, std::size_t n) {
  return platform::FileWrite(handle_, buffer, n);
}

std::int64_t File::Seek(std::int64_t offset, int origin) {
  return platform::FileSeek(handle_, offset, origin);
}

}  // namespace qs
