#include "foundation/platform.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>

#include <spawn.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace qs::platform {

int DefaultMessageSink(void*, std::intptr_t, const char* text, const char* caption,
                       unsigned flags) {
  std::fprintf(stderr, "[%s] %s\n", caption, text);
  if (flags & kMbYesNo) return kIdNo;
  if (flags & kMbOkCancel) return kIdCancel;
  return kIdOk;
}

namespace {
// Windows-1252 at 0x80-0x9F; every other byte is its own code point. The five
// holes map to themselves, as Windows does for MultiByteToWideChar.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
}  // namespace

unsigned AnsiCodePage() { return 1252; }

int AnsiToWide(const char* text, int length, char16_t* out, int capacity) {
  int n = 0;
  for (int i = 0; i < length && n < capacity; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    out[n++] = (c >= 0x80 && c < 0xA0) ? kCp1252High[c - 0x80] : c;
  }
  return n;
}

int WideToAnsi(const char16_t* text, int length, char* out, int capacity) {
  int n = 0;
  for (int i = 0; i < length && n < capacity; ++i) {
    char16_t u = text[i];
    unsigned char c = '?';
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
      c = static_cast<unsigned char>(u);
    } else {
      for (int k = 0; k < 32; ++k)
        if (kCp1252High[k] == u) { c = static_cast<unsigned char>(0x80 + k); break; }
    }
    out[n++] = static_cast<char>(c);
  }
  return n;
}

std::size_t ModuleFileName(std::intptr_t, char* out, std::size_t capacity) {
  if (capacity == 0) return 0;
  ssize_t n = readlink("/proc/self/exe", out, capacity - 1);
  if (n < 0) n = 0;
  out[n] = '\0';
  return static_cast<std::size_t>(n);
}

// There is no Windows profile here: every key takes its default.
std::size_t ReadProfileString(const char*, const char*, const char* fallback, char* out,
                              std::size_t capacity) {
  if (capacity == 0) return 0;
  std::size_t n = fallback ? std::strlen(fallback) : 0;
  if (n >= capacity) n = capacity - 1;
  if (n) std::memcpy(out, fallback, n);
  out[n] = '\0';
  return n;
}

bool LoadResourceString(std::intptr_t, unsigned, char* out, std::size_t capacity) {
  if (capacity) out[0] = '\0';
  return false;
}

// The command line is split at blanks (no quoting); the program is looked up
// in PATH. The answers follow WinExec: 2 not found, 0 other failures.
unsigned StartProgram(const char* commandLine, int) {
  std::vector<std::string> words;
  std::string word;
  for (const char* p = commandLine ? commandLine : "";; ++p) {
    if (*p == ' ' || *p == '\t' || *p == '\0') {
      if (!word.empty()) words.push_back(word);
      word.clear();
      if (!*p) break;
    } else {
      word += *p;
    }
  }
  if (words.empty()) return 2;
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  pid_t pid;
  int rc = posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
  if (rc == ENOENT) return 2;
  if (rc != 0) return 0;
  return 33;
}

unsigned SystemTimeMilliseconds() {
  timeval tv;
  gettimeofday(&tv, nullptr);
  return static_cast<unsigned>(tv.tv_usec / 1000);
}

// There are no windows here.
void BringWindowToFront(std::intptr_t) {}
std::intptr_t ParentOfChildWindow(std::intptr_t) { return 0; }

void ExitCurrentThread(unsigned code) {
  pthread_exit(reinterpret_cast<void*>(static_cast<std::uintptr_t>(code)));
}

// ---- Files ----------------------------------------------------------------

namespace {
// The engine joins paths with backslashes; here they are slashes.
std::string NativeName(const char* name) {
  std::string s(name);
  for (char& c : s)
    if (c == '\\') c = '/';
  return s;
}
}  // namespace

FileHandle FileOpen(const char* name, unsigned mode) {
  if (!name || !*name) return kNoFile;
  int flags = O_RDONLY;
  if (mode & kFileRead) flags = O_RDONLY;
  else if (mode & kFileWrite) flags = O_WRONLY;
  else if (mode & kFileReadWrite) flags = O_RDWR;
  if (mode & kFileCreate) flags |= (mode & kFileTruncate) ? (O_CREAT | O_TRUNC) : O_CREAT;
  int fd = ::open(NativeName(name).c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) return kNoFile;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {  // Win32 refuses to open a folder
    ::close(fd);
    return kNoFile;
  }
  return fd;
}

std::size_t FileRead(FileHandle file, void* buffer, std::size_t n) {
  if (file == kNoFile) return 0;
  std::size_t total = 0;
  auto* p = static_cast<char*>(buffer);
  while (total < n) {
    ssize_t got = ::read(static_cast<int>(file), p + total, n - total);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    total += static_cast<std::size_t>(got);
  }
  return total;
}

std::size_t FileWrite(FileHandle file, const void* buffer, std::size_t n) {
  if (file == kNoFile) return 0;
  std::size_t total = 0;
  auto* p = static_cast<const char*>(buffer);
  while (total < n) {
    ssize_t put = ::write(static_cast<int>(file), p + total, n - total);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    total += static_cast<std::size_t>(put);
  }
  return total;
}

std::int64_t FileSeek(FileHandle file, std::int64_t offset, int origin) {
  if (file == kNoFile || origin < 0 || origin > 2) return -1;
  static const int kWhence[3] = {SEEK_SET, SEEK_CUR, SEEK_END};
  off_t r = ::lseek(static_cast<int>(file), static_cast<off_t>(offset), kWhence[origin]);
  return r < 0 ? -1 : static_cast<std::int64_t>(r);
}

void FileClose(FileHandle file) {
  if (file != kNoFile) ::close(static_cast<int>(file));
}

int FileAttributes(const char* name) {
  if (!name || !*name) return 0;
  struct stat st;
  if (::stat(NativeName(name).c_str(), &st) != 0) return 0;
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) ? 4 : 1;
}

bool FileDelete(const char* name) {
  return name && *name && ::unlink(NativeName(name).c_str()) == 0;
}

bool FileRename(const char* from, const char* to) {
  return from && *from && to && *to &&
         ::rename(NativeName(from).c_str(), NativeName(to).c_str()) == 0;
}

std::size_t SystemTempDir(char* out, std::size_t capacity) {
  const char* dir = std::getenv("TMPDIR");
  if (!dir || !*dir) dir = "/tmp";
  std::size_t len = std::strlen(dir);
  while (len > 1 && dir[len - 1] == '/') --len;
  if (len >= capacity) return 0;
  std::memcpy(out, dir, len);
  out[len] = '\0';
  return len;
}

}  // namespace qs::platform
