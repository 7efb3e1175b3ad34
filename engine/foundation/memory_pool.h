// The engine's memory manager ("PoolHeap Library" 3.1 in its messages).
//
// Memory lives in pools of pages taken from the platform's virtual memory.
// Every page starts on a 64 KB boundary, so the page of a block is found by
// masking its address. Small requests come from per-size free lists, medium
// ones from variable-size blocks inside pages, large ones from pages of
// their own. Every block is 16-byte aligned.
//
// Misuse and exhaustion are reported through one error dispatch; its default
// handler shows a message box (through the engine's message sink) that may
// offer a retry.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qs::mem {

enum ErrorCode : int {
  kInternalError = 1,
  kOutOfMemory = 2,
  kBlockTooBig = 3,
  kAllocZero = 4,
  kResizeFailed = 5,
  kLockError = 6,
  kExceededCeiling = 7,
  kTooManyPages = 8,
  kTooManyTasks = 9,
  kBadMemPool = 10,
  kBadBlock = 11,
  kBadFreeBlock = 12,
  kBadHandle = 13,
  kBadPointer = 14,
};

struct Pool;

// ---- Error dispatch -------------------------------------------------------
struct ErrorInfo {
  int code;
  Pool* pool;  // null when no pool is concerned
};
// Answers nonzero to have the failed operation tried again, 0 to let it fail.
using ErrorHandler = int (*)(ErrorInfo* info);
// Installs a handler (null: the default one); returns the previous handler.
ErrorHandler SetErrorHandler(ErrorHandler handler);
// The box: caption "PoolHeap Library"; Abort/Retry/Ignore for out of memory,
// OK/Cancel for the others. Cancel and Abort end the process.
int DefaultErrorHandler(ErrorInfo* info);
// Raises an error through the dispatch; returns the handler's answer.
int RaiseError(int code, Pool* pool);

// Called when MemAlloc or RtMalloc fails; allocation is tried again for as
// long as it answers nonzero. Returns the previous one.
using NewHandler = int (*)(std::size_t size);
NewHandler SetNewHandler(NewHandler handler);

// ---- Pools ----------------------------------------------------------------
enum PoolFlags : unsigned {
  kPoolShared = 1,      // between processes (implies serialised)
  kPoolSerialized = 2,  // safe for several threads
  kPoolLocked = 4,      // pages locked in physical memory
};
enum AllocFlags : unsigned {
  kZeroFill = 1,  // clear the block (and, on resizing in place, the new tail)
  kInPlace = 2,   // resizing: in place only
};

// A new pool; for fixed-size pools `fixed_size` is the block size and
// `prealloc_count` blocks are made ready. Null on failure.
Pool* CreatePool(std::size_t fixed_size, unsigned prealloc_count, unsigned flags);
// Gives every page of the pool back; its blocks become invalid.
bool DestroyPool(Pool* pool);
// Pools shared between processes: a named region (at least 262,144 bytes)
// mapped at the same address in each process, serialised by a named mutex.
// Creating returns the pool of that name when one exists already; null when
// the region cannot be had. The region is placed at an address that is free
// in this process and in each of the processes named by their ids (at most
// 1,024), so that they can attach it; null when one of them cannot be asked
// or no such address is left.
Pool* CreateSharedPool(const char* name, std::size_t bytes, unsigned flags = 0,
                       const std::uint32_t* process_ids = nullptr, std::size_t process_count = 0);
// This process's view of a shared pool: the pool given, when this process
// has it already, else the pool of that name, mapped at its address.
// `already` tells whether this process had attached it before.
Pool* AttachSharedPool(Pool* pool, const char* name, bool* already);
// Closes this process's view of a shared pool (DestroyPool does the same).
bool DetachSharedPool(Pool* pool);
// The process's default pool (serialised), created on first use.
Pool* DefaultPool();
// Null when the default pool has not been made yet.
Pool* ExistingDefaultPool();

// Page size normalised (16,384 kept; up to 4,096 gives 4,096; 65,535 or more
// gives 65,535; else the next power of two); returns the previous size.
unsigned SetPageSize(Pool* pool, unsigned size);
unsigned PageSize(Pool* pool);
unsigned LargeBlockLimit(Pool* pool);
// Rounded up to 16; refused (error 3) when larger than a page can carry,
// ignored once the pool has pages. Returns the size in force.
unsigned SetFixedSize(Pool* pool, unsigned size);
// Adds pages until `bytes` are reached: kind 1 fixed-size pages (needs a
// fixed size, else error 4), 2 medium pages, 4 small-block pages.
bool Preallocate(Pool* pool, std::size_t bytes, int kind);
// Upper bound on the bytes of pages the pool may hold.
void SetCeiling(Pool* pool, std::uint64_t bytes);
// Gives back every empty medium and fixed-size page above the retention
// floor; returns the bytes given back.
std::size_t Shrink(Pool* pool);

// ---- Blocks ---------------------------------------------------------------
// A block of at least `size` bytes (0 taken as 1) from the pool; null on
// failure (after the error dispatch). No new-handler.
void* Alloc(Pool* pool, std::size_t size, unsigned flags = 0);
// A block of the pool's fixed size.
void* AllocFixed(Pool* pool, unsigned flags = 0);
// Gives a block back to its pool; false (error 14) when it is no block in use.
bool Free(void* block);
// Resizes in place, or with kInPlace clear by moving within the same
// pool; null on failure, the old block then still valid.
void* Resize(void* block, std::size_t size, unsigned flags = 0);
// Usable bytes of the block; -1 (error 14) for a pointer of no page of ours.
std::int64_t BlockSize(const void* block);
// The pool that owns the block, or null.
Pool* PoolOf(const void* block);

// ---- The runtime family over the default pool ------------------------------
void* RtMalloc(std::size_t size);
void* RtCalloc(std::size_t count, std::size_t size);
void* RtRealloc(void* block, std::size_t size);
void* RtExpand(void* block, std::size_t size);
void RtFree(void* block);
std::int64_t RtMsize(const void* block);

enum HeapResult : int {
  kHeapEmpty = -1, kHeapOk = -2, kHeapBadBegin = -3, kHeapBadNode = -4,
  kHeapEnd = -5, kHeapBadPtr = -6,
};
struct HeapInfo {
  void* entry;  // null to start
  std::size_t size;
  int in_use;
  void* position;  // walk state
};
int RtHeapCheck();
int RtHeapSet(unsigned fill);
int RtHeapWalk(HeapInfo* info);
int RtHeapMin();

// ---- Inspection -----------------------------------------------------------
// True with the pool's serialisation taken once more; false, holding
// nothing, for a pool that is not one of ours.
bool LockPool(Pool* pool);
void UnlockPool(Pool* pool);
// Bytes of pages held; -1 (error 10) for a bad pool.
std::int64_t MemoryInUse(Pool* pool);

enum WalkKind : int { kWalkFixed = 1, kWalkHandle = 2, kWalkVariable = 4 };
struct WalkEntry {
  void* block = nullptr;  // null to start a walk
  Pool* pool = nullptr;
  int kind = 0;
  int in_use = 0;
  std::size_t size = 0;
  void* handle = nullptr;
  unsigned lock_count = 0;
  void* position = nullptr;
};
// 1 with the entry filled for the next block, 0 at the end, -2 for a
// damaged (error 11) or bad (error 10) pool.
int WalkStep(Pool* pool, WalkEntry* entry);
// 1 when every block and free structure of the pool is sound, else 0.
int CheckPool(Pool* pool);
// 1 for a block in use, -1 for a free block, 0 when the pointer is no block
// (of that pool, when one is given).
int CheckPointer(Pool* pool, const void* block);
// True when the range may be accessed (1 read, 2 read-write).
bool ProbeRange(const void* address, std::size_t length, int access);

}  // namespace qs::mem
