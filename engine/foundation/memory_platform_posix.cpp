// Virtual memory, range queries and locks of the memory manager on POSIX.
#include <pthread.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "foundation/platform.h"

namespace qs::platform {

static_assert(sizeof(pthread_mutex_t) <= 64, "ThreadLock storage too small");

namespace {
constexpr std::uintptr_t kAlign = 65536;
}

void* ReserveRegion(std::size_t bytes) {
  // mmap aligns only to the system page: over-reserve and trim to 64 KB.
  std::size_t span = bytes + kAlign;
  void* raw = mmap(nullptr, span, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  auto start = reinterpret_cast<std::uintptr_t>(raw);
  std::uintptr_t aligned = (start + kAlign - 1) & ~(kAlign - 1);
  if (aligned > start) munmap(raw, aligned - start);
  std::uintptr_t tail = start + span - (aligned + bytes);
  if (tail) munmap(reinterpret_cast<void*>(aligned + bytes), tail);
  return reinterpret_cast<void*>(aligned);
}

bool CommitRange(void* at, std::size_t bytes) {
  return mprotect(at, bytes, PROT_READ | PROT_WRITE) == 0;
}

void DecommitRange(void* at, std::size_t bytes) {
  if (!bytes) return;
  madvise(at, bytes, MADV_DONTNEED);
  mprotect(at, bytes, PROT_NONE);
}

void ReleaseRegion(void* base, std::size_t bytes) { munmap(base, bytes); }

bool LockRange(void* at, std::size_t bytes) { return mlock(at, bytes) == 0; }

bool QueryRangeAccess(const void* address, std::size_t length, int access) {
  auto at = reinterpret_cast<std::uintptr_t>(address);
  if (at < 65536 || at + length < at) return false;
  const std::uintptr_t end = at + (length ? length : 1);
  std::FILE* maps = std::fopen("/proc/self/maps", "r");
  if (!maps) return false;
  char line[512];
  bool ok = false;
  while (std::fgets(line, sizeof line, maps)) {
    unsigned long lo = 0, hi = 0;
    char perms[8] = {};
    if (std::sscanf(line, "%lx-%lx %7s", &lo, &hi, perms) != 3) continue;
    if (hi <= at) continue;
    if (lo > at) break;  // a hole before the range is covered
    if (perms[0] != 'r' || (access == 2 && perms[1] != 'w')) break;
    at = hi;
    if (at >= end) { ok = true; break; }
  }
  std::fclose(maps);
  return ok;
}

void MemoryErrorBeep() {}

std::uintptr_t CurrentThreadId() {
  return reinterpret_cast<std::uintptr_t>(pthread_self());
}

ThreadLock::ThreadLock() { new (storage_) pthread_mutex_t(PTHREAD_MUTEX_INITIALIZER); }
ThreadLock::~ThreadLock() { pthread_mutex_destroy(reinterpret_cast<pthread_mutex_t*>(storage_)); }
void ThreadLock::Enter() { pthread_mutex_lock(reinterpret_cast<pthread_mutex_t*>(storage_)); }
void ThreadLock::Leave() { pthread_mutex_unlock(reinterpret_cast<pthread_mutex_t*>(storage_)); }

}  // namespace qs::platform

#include <errno.h>
#include <fcntl.h>
#include <semaphore.h>
#include <unistd.h>

#include <string>

namespace qs::platform {

namespace {
std::string PosixName(const char* name) { return std::string("/") + name; }
}  // namespace

SharedHandle CreateSharedMemory(const char* name, std::size_t bytes) {
  int fd = shm_open(PosixName(name).c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return 0;
  if (ftruncate(fd, static_cast<off_t>(bytes)) != 0) {
    close(fd);
    shm_unlink(PosixName(name).c_str());
    return 0;
  }
  return fd + 1;
}

SharedHandle OpenSharedMemory(const char* name) {
  int fd = shm_open(PosixName(name).c_str(), O_RDWR, 0600);
  return fd < 0 ? 0 : fd + 1;
}

void* MapSharedMemory(SharedHandle region, std::size_t bytes, void* at) {
  const int fd = static_cast<int>(region - 1);
  if (!at) {
    // Anywhere, but on a 64 KB boundary as Windows places its views.
    void* spot = ReserveRegion((bytes + kAlign - 1) & ~(kAlign - 1));
    if (!spot) return nullptr;
    void* p = mmap(spot, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, fd, 0);
    if (p == MAP_FAILED) {
      munmap(spot, (bytes + kAlign - 1) & ~(kAlign - 1));
      return nullptr;
    }
    return p;
  }
  void* p = mmap(at, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED_NOREPLACE, fd, 0);
  if (p == MAP_FAILED) return nullptr;
  if (p != at) {
    munmap(p, bytes);
    return nullptr;
  }
  return p;
}

void UnmapSharedMemory(void* at, std::size_t bytes) { munmap(at, bytes); }

void CloseSharedMemory(SharedHandle region) {
  if (region) close(static_cast<int>(region - 1));
}

SharedHandle CreateNamedMutex(const char* name, bool* exists) {
  *exists = false;
  sem_t* s = sem_open(PosixName(name).c_str(), O_CREAT | O_EXCL, 0600, 1);
  if (s == SEM_FAILED) {
    *exists = errno == EEXIST;
    return 0;
  }
  return reinterpret_cast<SharedHandle>(s);
}

SharedHandle OpenNamedMutex(const char* name) {
  sem_t* s = sem_open(PosixName(name).c_str(), 0);
  return s == SEM_FAILED ? 0 : reinterpret_cast<SharedHandle>(s);
}

bool WaitNamedMutex(SharedHandle mutex) {
  while (sem_wait(reinterpret_cast<sem_t*>(mutex)) != 0)
    if (errno != EINTR) return false;
  return true;
}

void ReleaseNamedMutex(SharedHandle mutex) { sem_post(reinterpret_cast<sem_t*>(mutex)); }

void CloseNamedMutex(SharedHandle mutex) {
  if (mutex) sem_close(reinterpret_cast<sem_t*>(mutex));
}

void RemoveSharedNames(const char* region, const char* mutex) {
  if (region) shm_unlink(PosixName(region).c_str());
  if (mutex) sem_unlink(PosixName(mutex).c_str());
}

}  // namespace qs::platform

namespace qs::platform {

// A process is known by its id; its address space is read from /proc.
std::uint32_t CurrentProcessId() { return static_cast<std::uint32_t>(getpid()); }

namespace {
std::FILE* OpenMaps(std::uint32_t id) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%u/maps", static_cast<unsigned>(id));
  return std::fopen(path, "r");
}
}  // namespace

ProcessHandle OpenProcessForQuery(std::uint32_t id) {
  if (id == 0) return 0;
  std::FILE* maps = OpenMaps(id);
  if (!maps) return 0;
  std::fclose(maps);
  return static_cast<ProcessHandle>(id);
}

void CloseProcessForQuery(ProcessHandle) {}

bool QueryProcessRegion(ProcessHandle process, std::uintptr_t address, AddressRegion* region) {
  if (process <= 0) return false;
  std::FILE* maps = OpenMaps(static_cast<std::uint32_t>(process));
  if (!maps) return false;
  const std::uintptr_t page = address & ~std::uintptr_t{4095};
  // Mappings are listed in ascending order; the gap before the first one
  // above the address is free.
  *region = AddressRegion{page, UserAddressEnd() > page ? UserAddressEnd() - page : 4096, true};
  char line[512];
  bool line_start = true;
  while (std::fgets(line, sizeof line, maps)) {
    // A long path arrives in pieces; only a line's first piece has a range.
    const bool first = line_start;
    line_start = std::strchr(line, '\n') != nullptr;
    unsigned long lo = 0, hi = 0;
    if (!first || std::sscanf(line, "%lx-%lx", &lo, &hi) != 2 || hi <= lo) continue;
    if (hi <= page) continue;
    if (lo <= page)
      *region = AddressRegion{page, hi - page, false};
    else
      region->bytes = lo - page;
    break;
  }
  std::fclose(maps);
  return true;
}

// Clear of a non-relocated program image and its data segment.
std::uintptr_t LowestRegionAddress() { return 0x10000000; }

std::uintptr_t UserAddressEnd() {
  return sizeof(void*) == 8 ? static_cast<std::uintptr_t>(0x7FFFFFFFF000ull) : 0xBFFFF000u;
}

}  // namespace qs::platform
