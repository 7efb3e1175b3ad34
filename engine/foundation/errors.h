// The engine's numbered errors and its user-visible built-in texts. The
// error codes are part of the interface with the host, which keeps its own
// copy of the texts.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qs {

enum : int {
  kErrInternal = 0,
  kErrNoTempHome = 1,
  kErrTempHomeNotDir = 2,
  kErrCacheCantOpen = 3,
  kErrCacheSetLru = 4,
  kErrCacheAllLocked = 5,
  kErrCacheBadBlock = 6,
  kErrCantOpen = 10,
  kErrDocumentErrors = 46,
  kErrExecNotFound = 49,
  kErrWinExec = 64,
  kEngineErrorCount = 65,
};

// The format text of an engine error; null outside 0-64.
const char* EngineErrorText(int code);

// Formats error `code` with its arguments into `out` (`capacity` bytes, cut
// at a character boundary). Each placeholder takes the next argument in
// the type the placeholder names (a text pointer for %s, a number
// otherwise), so pointer-sized arguments are read back safely. A code
// outside the table is formatted as error 0 with the code as its number.
std::size_t FormatEngineError(char* out, std::size_t capacity, int code,
                              const std::intptr_t args[4]);

// The built-in texts of string ids 0-19; null outside.
enum : int {
  kStrHotspotTitle = 16,
  kStrUntitled = 17,
  kStrSelectTarget = 18,
  kStrAttributesTitle = 19,
  kBuiltinStringCount = 20,
};
const char* BuiltinString(int id);

// The engine error for a WinExec result below 32; `argument` receives the
// number to report with it (the result itself for the catch-all error).
int WinExecResultToError(unsigned result, std::intptr_t* argument);

}  // namespace qs
