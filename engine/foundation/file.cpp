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

// A transfer cut short (the end of a file read, or an error) leaves the
// place to the system.
std::size_t File::Read(void* buffer, std::size_t n) {
  std::size_t done = platform::FileRead(handle_, buffer, n);
  position_ = position_ >= 0 && done == n ? position_ + static_cast<std::int64_t>(n) : -1;
  return done;
}

std::size_t File::Write(const void* buffer, std::size_t n) {
  std::size_t done = platform::FileWrite(handle_, buffer, n);
  position_ = position_ >= 0 && done == n ? position_ + static_cast<std::int64_t>(n) : -1;
  return done;
}

std::int64_t File::Seek(std::int64_t offset, int origin) {
  if (position_ >= 0 && ((origin == 0 && offset == position_) || (origin == 1 && offset == 0))) {
    return position_;
  }
  position_ = platform::FileSeek(handle_, offset, origin);
  if (position_ < 0) position_ = -1;
  return position_;
}

}  // namespace qs
