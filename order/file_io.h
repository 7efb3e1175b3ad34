// Reading and writing the program's files with the Win32 API: whole-file
// reads, whole-or-nothing writes, and the ini file beside the program.
#pragma once
#include <windows.h>

#include <cstddef>
#include <string>

namespace qs::order {

// Files larger than this are not order files and are not read.
inline constexpr std::size_t kMaxFileSize = 64u << 20;

// Shows the wait cursor and captures the mouse for `window` (nesting is not
// counted: a second "on" does nothing).
void WaitCursor(HWND window, bool on);

// The whole file as malloc'ed zero-terminated bytes (length without the
// terminator), or null when it cannot be read. Free with free().
char* LoadFileText(HWND window, const char* path, std::size_t* length);

// GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, CREATE_ALWAYS; null on failure.
HANDLE CreateFileForWrite(const char* path);

// Writes `contents` to a temporary file beside `path` and renames it over
// `path`: the file is written whole or left as it was. False on failure.
bool WriteFileWhole(const char* path, const std::string& contents);

// The program's ini file: its own path with the extension replaced by ".ini".
std::string IniPath(HINSTANCE instance);
// Reads a value into `buffer`, whose text on entry is the default.
void IniGet(HINSTANCE instance, const char* section, const char* key, char* buffer,
            std::size_t size);
void IniSet(HINSTANCE instance, const char* section, const char* key, const char* value);

}  // namespace qs::order
