// The engine's few calls into the operating system. The DLL implements them
// with the Win32 API (platform_win32.cpp); the native build of the
// platform-free code uses a small POSIX implementation (platform_posix.cpp).
#pragma once
#include <cstddef>
#include <cstdint>

namespace qs::platform {

// ---- Message boxes --------------------------------------------------------
// Flags and answers use the Win32 values (MB_OK = 0, MB_ICONHAND = 0x10,
// IDOK = 1, ...), so the Win32 sink passes them straight through.
enum : unsigned {
  kMbOk = 0x0, kMbOkCancel = 0x1, kMbYesNo = 0x4, kMbIconHand = 0x10,
  kMbIconQuestion = 0x20, kMbIconExclamation = 0x30, kMbIconAsterisk = 0x40,
};
enum : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

// Every message box of the engine goes through the current sink. The
// default sink shows a real box in the DLL and writes to stderr natively;
// tests install a recording sink.
using MessageSink = int (*)(void* context, std::intptr_t owner, const char* text,
                            const char* caption, unsigned flags);
struct MessageSinkEntry {
  MessageSink sink;
  void* context;
};
// Installs a sink (null restores the default); returns the previous one.
MessageSinkEntry SetMessageSink(MessageSink sink, void* context);
// Text and caption are UTF-8.
int ShowMessage(std::intptr_t owner, const char* text, const char* caption, unsigned flags);

// ---- ANSI code page -------------------------------------------------------
// The process's ANSI code page (GetACP); the native build works in 1252.
unsigned AnsiCodePage();
// Converts `length` bytes of ANSI text to UTF-16; returns the units written
// (at most `capacity`), 0 on failure.
int AnsiToWide(const char* text, int length, char16_t* out, int capacity);
// Converts `length` UTF-16 units to ANSI bytes; characters the code page
// lacks get its default replacement. Returns the bytes written.
int WideToAnsi(const char16_t* text, int length, char* out, int capacity);

// ---- Files ----------------------------------------------------------------
// Names are UTF-8; the Win32 side converts them to the ANSI code page for
// CreateFileA and its family; the POSIX side reads a backslash as a slash,
// so the engine's own names work on both. A handle is -1 when nothing is open.
using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;
// Open mode bits: 1 read (takes precedence), 2 write, 4 read and write;
// 8 create when missing, 8|16 always create (truncate). Without 8 the file
// must exist and is shared for reading and writing; with 8 for reading only.
enum : unsigned {
  kFileRead = 1, kFileWrite = 2, kFileReadWrite = 4, kFileCreate = 8, kFileTruncate = 16,
};
FileHandle FileOpen(const char* name, unsigned mode);
// Bytes transferred; 0 on failure.
std::size_t FileRead(FileHandle file, void* buffer, std::size_t n);
std::size_t FileWrite(FileHandle file, const void* buffer, std::size_t n);
// Origin 0 start, 1 current, 2 end. The new position, -1 on failure.
std::int64_t FileSeek(FileHandle file, std::int64_t offset, int origin);
void FileClose(FileHandle file);
// 0 missing, 1 present and read-only, 4 present and writable (folders too).
int FileAttributes(const char* name);
bool FileDelete(const char* name);
// Replaces `to` when it exists.
bool FileRename(const char* from, const char* to);
// The system's folder for temporary files, UTF-8, without a trailing
// separator; returns its length (0 when it does not fit).
std::size_t SystemTempDir(char* out, std::size_t capacity);

// ---- Modules, profile, resources, programs --------------------------------
// Texts here are in the process code page, as the system calls take them.
// Full file name of a module (0: the program) into `out`; the length, 0 on
// failure.
std::size_t ModuleFileName(std::intptr_t module, char* out, std::size_t capacity);
// A key of a section of the Windows profile (win.ini), `fallback` when it
// is not there. Returns the length written.
std::size_t ReadProfileString(const char* section, const char* key, const char* fallback,
                              char* out, std::size_t capacity);
// String resource `id` of a module; false when the module has none.
bool LoadResourceString(std::intptr_t module, unsigned id, char* out, std::size_t capacity);
// Starts a command line with the given show state; the WinExec result
// (32 and above: started; 2: the program was not found; ...).
unsigned StartProgram(const char* commandLine, int showState);
// Milliseconds part of the current system time (0-999).
unsigned SystemTimeMilliseconds();

// ---- Virtual memory and locks of the memory manager ------------------------
// Reserves `bytes` of address space (a multiple of 65,536) starting on a
// 65,536-byte boundary, nothing committed; null on failure.
void* ReserveRegion(std::size_t bytes);
// Commits [at, at + bytes) read-write (zero-filled when fresh); false on failure.
bool CommitRange(void* at, std::size_t bytes);
// Decommits [at, at + bytes); committing it again yields zeros.
void DecommitRange(void* at, std::size_t bytes);
// Releases a whole reservation made by ReserveRegion.
void ReleaseRegion(void* base, std::size_t bytes);
// Locks committed pages in physical memory; false when refused.
bool LockRange(void* at, std::size_t bytes);
// True when every byte of [address, address + length) is committed with the
// access asked for (1 read, 2 read-write); asks the system, never touches it.
bool QueryRangeAccess(const void* address, std::size_t length, int access);
// The beep that precedes a memory error box.
void MemoryErrorBeep();
// An identifier of the calling thread, never 0.
std::uintptr_t CurrentThreadId();

// A process-local lock (a critical section). Callers keep their own nesting
// count: the lock itself may not be entered twice by one thread.
class ThreadLock {
 public:
  ThreadLock();
  ~ThreadLock();
  ThreadLock(const ThreadLock&) = delete;
  ThreadLock& operator=(const ThreadLock&) = delete;
  void Enter();
  void Leave();

 private:
  alignas(16) unsigned char storage_[64];
};

// ---- Shared memory and named mutexes (shared memory pools) -----------------
// Handles are 0 when nothing is open.
using SharedHandle = std::intptr_t;
// A new named region of `bytes` backed by the paging file; 0 when it cannot
// be made or a region of that name exists already.
SharedHandle CreateSharedMemory(const char* name, std::size_t bytes);
SharedHandle OpenSharedMemory(const char* name);
// Maps the first `bytes` of a region at `at` exactly (null: anywhere on a
// 64 KB boundary); null on failure.
void* MapSharedMemory(SharedHandle region, std::size_t bytes, void* at);
void UnmapSharedMemory(void* at, std::size_t bytes);
void CloseSharedMemory(SharedHandle region);
// A new mutex of that name; 0 with `*exists` set when the name is taken.
SharedHandle CreateNamedMutex(const char* name, bool* exists);
SharedHandle OpenNamedMutex(const char* name);
// Waits without time-out; false when the wait fails outright.
bool WaitNamedMutex(SharedHandle mutex);
void ReleaseNamedMutex(SharedHandle mutex);
void CloseNamedMutex(SharedHandle mutex);
// Drops the names of a region and a mutex where the system keeps names after
// the last handle is closed (POSIX); nothing on Windows.
void RemoveSharedNames(const char* region, const char* mutex);

// ---- Address spaces of processes (placing shared regions) -------------------
// Handles are 0 when nothing is open.
using ProcessHandle = std::intptr_t;
std::uint32_t CurrentProcessId();
// A handle through which the address space of the process with that id may
// be queried; 0 when the process cannot be opened for that.
ProcessHandle OpenProcessForQuery(std::uint32_t id);
void CloseProcessForQuery(ProcessHandle process);
// One run of like pages in a process's address space: free, or taken
// (reserved, committed or mapped).
struct AddressRegion {
  std::uintptr_t base;
  std::uintptr_t bytes;
  bool free;
};
// The run that holds `address` (its base at or below it); false when the
// process cannot be asked.
bool QueryProcessRegion(ProcessHandle process, std::uintptr_t address, AddressRegion* region);
// The lowest address a shared region may be placed at and the end of the
// address space of user programs.
std::uintptr_t LowestRegionAddress();
std::uintptr_t UserAddressEnd();

// ---- Windows --------------------------------------------------------------
// Brings a window to the top of its siblings.
void BringWindowToFront(std::intptr_t window);
// The parent of a child window; 0 for a top-level window (or none).
std::intptr_t ParentOfChildWindow(std::intptr_t window);

// ---- Threads --------------------------------------------------------------
[[noreturn]] void ExitCurrentThread(unsigned code);

}  // namespace qs::platform
