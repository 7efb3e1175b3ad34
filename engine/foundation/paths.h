// Path operations, temporary names and the registry of temporary local
// copies. Paths are UTF-8; backslash, slash and colon separate their steps.
// Joined paths and temporary names live in buffers of kPathCapacity bytes:
// a path that does not fit is refused, never cut.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qs {

inline constexpr std::size_t kPathCapacity = 256;

inline bool IsPathSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

// A fresh name "<temporary folder>\<stamp>-<counter>.tmp" (the format
// "%s%c%02x-%04x.tmp") that names no existing file, in `out` of
// kPathCapacity bytes; null when the folder's name is too long.
char* MakeTempName(char* out);

}  // namespace qs
