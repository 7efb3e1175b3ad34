// Path operations, temporary names and the registry of temporary local
// copies. Paths are UTF-8; backslash, slash and colon separate their steps.
// Joined paths and temporary names live in buffers of kPathCapacity bytes:
// a path that does not fit is refused, never cut.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qs {

class Stream;

inline constexpr std::size_t kPathCapacity = 256;
// Temporary copies kept at once.
inline constexpr int kMaxTempFiles = 16;

inline bool IsPathSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

// Bytes up to and including the last separator; 0 when there is none.
std::size_t PathDirLength(const char* path);
// A path beginning with a colon is relative, one beginning with a slash or
// backslash is not; otherwise it is relative unless its first separator is
// a colon (a drive or a scheme).
bool PathIsRelative(const char* path);
// Drops "." steps and climbs ".." steps in place; returns `path`. A drive,
// a root, a server name and a leading ".." are never climbed over.
char* PathNormalize(char* path);
// `dir` + `name` when `dir` is given and `name` is relative, else `name`,
// normalised, into `out` (kPathCapacity bytes). Null, with `out` empty,
// when the result does not fit.
char* PathJoin(char* out, const char* dir, const char* name);

// A fresh name "<temporary folder>\<stamp>-<counter>.tmp" (the format
// "%s%c%02x-%04x.tmp") that names no existing file, in `out` of
// kPathCapacity bytes; null when the folder's name is too long.
char* MakeTempName(char* out);

// The registry of temporary local copies, most recently used first; each
// entry owns its file, which goes with it.
// The file registered under `key` (made most recently used), with its
// number in `outNumber` when given; null when there is none.
const char* LookupTempFile(const char* key, std::int32_t* outNumber);
// Registers `fileName` (relative: taken in the home folder) as the copy
// for `key`; an older entry of the key goes, the least recently used one
// too when the registry is full. False when the name does not fit.
bool RegisterTempFile(const char* key, const char* fileName, std::int32_t number);
// Deletes the entry of `key`, or every entry when `key` is null, with their files.
void DeleteTempFiles(const char* key);
int TempFileCount();

// Copies the stream's bytes to a new temporary file named after the
// extension of `key`'s last step, registers it under `key` and puts its
// name into `out` (kPathCapacity bytes). The stream is released either
// way. 1, or 0 when no complete copy could be made.
int CopyToTempFile(Stream* stream, const char* key, char* out, std::int32_t number);

}  // namespace qs
