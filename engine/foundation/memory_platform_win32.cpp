// Virtual memory, range queries and locks of the memory manager on Win32.
#include <windows.h>

#include <new>

#include "foundation/platform.h"

namespace qs::platform {

static_assert(sizeof(CRITICAL_SECTION) <= 64, "ThreadLock storage too small");

void* ReserveRegion(std::size_t bytes) {
  // Reservations start on the allocation granularity, 64 KB on every Windows.
  return VirtualAlloc(nullptr, bytes, MEM_RESERVE, PAGE_NOACCESS);
}

bool CommitRange(void* at, std::size_t bytes) {
  return VirtualAlloc(at, bytes, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

void DecommitRange(void* at, std::size_t bytes) {
  if (bytes) VirtualFree(at, bytes, MEM_DECOMMIT);
}

void ReleaseRegion(void* base, std::size_t) { VirtualFree(base, 0, MEM_RELEASE); }

bool LockRange(void* at, std::size_t bytes) { return VirtualLock(at, bytes) != 0; }

bool QueryRangeAccess(const void* address, std::size_t length, int access) {
  auto at = reinterpret_cast<std::uintptr_t>(address);
  if (at < 65536 || at + length < at) return false;
  const std::uintptr_t end = at + length;
  const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_EXECUTE_READ |
                         PAGE_EXECUTE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_WRITECOPY;
  const DWORD writable = PAGE_READWRITE | PAGE_EXECUTE_READWRITE;
  do {
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info) == 0) return false;
    if (info.State != MEM_COMMIT) return false;
    if (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) return false;
    if (!(info.Protect & (access == 2 ? writable : readable))) return false;
    at = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
  } while (at < end);
  return true;
}

void MemoryErrorBeep() { MessageBeep(MB_ICONHAND); }

std::uintptr_t CurrentThreadId() { return GetCurrentThreadId(); }

ThreadLock::ThreadLock() {
  InitializeCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}
ThreadLock::~ThreadLock() { DeleteCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_)); }
void ThreadLock::Enter() { EnterCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_)); }
void ThreadLock::Leave() { LeaveCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_)); }

}  // namespace qs::platform

namespace qs::platform {

SharedHandle CreateSharedMemory(const char* name, std::size_t bytes) {
  HANDLE h = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                static_cast<DWORD>(static_cast<std::uint64_t>(bytes) >> 32),
                                static_cast<DWORD>(bytes), name);
  if (h && GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(h);
    return 0;
  }
  return reinterpret_cast<SharedHandle>(h);
}

SharedHandle OpenSharedMemory(const char* name) {
  return reinterpret_cast<SharedHandle>(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name));
}

void* MapSharedMemory(SharedHandle region, std::size_t bytes, void* at) {
  return MapViewOfFileEx(reinterpret_cast<HANDLE>(region), FILE_MAP_ALL_ACCESS, 0, 0, bytes, at);
}

void UnmapSharedMemory(void* at, std::size_t) { UnmapViewOfFile(at); }

void CloseSharedMemory(SharedHandle region) {
  if (region) CloseHandle(reinterpret_cast<HANDLE>(region));
}

SharedHandle CreateNamedMutex(const char* name, bool* exists) {
  *exists = false;
  HANDLE h = CreateMutexA(nullptr, FALSE, name);
  if (h && GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(h);
    *exists = true;
    return 0;
  }
  return reinterpret_cast<SharedHandle>(h);
}

SharedHandle OpenNamedMutex(const char* name) {
  return reinterpret_cast<SharedHandle>(OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name));
}

bool WaitNamedMutex(SharedHandle mutex) {
  return WaitForSingleObject(reinterpret_cast<HANDLE>(mutex), INFINITE) != WAIT_FAILED;
}

void ReleaseNamedMutex(SharedHandle mutex) { ReleaseMutex(reinterpret_cast<HANDLE>(mutex)); }

void CloseNamedMutex(SharedHandle mutex) {
  if (mutex) CloseHandle(reinterpret_cast<HANDLE>(mutex));
}

void RemoveSharedNames(const char*, const char*) {}

}  // namespace qs::platform

namespace qs::platform {

std::uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

ProcessHandle OpenProcessForQuery(std::uint32_t id) {
  // This process through its pseudo handle: opening it by id may be refused.
  if (id == GetCurrentProcessId()) return reinterpret_cast<ProcessHandle>(GetCurrentProcess());
  if (id == 0) return 0;
  return reinterpret_cast<ProcessHandle>(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id));
}

void CloseProcessForQuery(ProcessHandle process) {
  HANDLE h = reinterpret_cast<HANDLE>(process);
  if (h && h != GetCurrentProcess()) CloseHandle(h);
}

bool QueryProcessRegion(ProcessHandle process, std::uintptr_t address, AddressRegion* region) {
  MEMORY_BASIC_INFORMATION info;
  if (!process || VirtualQueryEx(reinterpret_cast<HANDLE>(process),
                                 reinterpret_cast<const void*>(address), &info,
                                 sizeof info) != sizeof info)
    return false;
  region->base = reinterpret_cast<std::uintptr_t>(info.BaseAddress);
  region->bytes = info.RegionSize;
  region->free = info.State == MEM_FREE;
  return true;
}

std::uintptr_t LowestRegionAddress() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return reinterpret_cast<std::uintptr_t>(info.lpMinimumApplicationAddress);
}

std::uintptr_t UserAddressEnd() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return reinterpret_cast<std::uintptr_t>(info.lpMaximumApplicationAddress) + 1;
}

}  // namespace qs::platform
