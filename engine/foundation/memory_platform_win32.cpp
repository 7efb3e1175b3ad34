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
