// What the engine's file dialogs hand the platform, made without it: the
// filter list, the buffers and the options.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qs {

// The chosen file's buffer (bytes, in the ANSI code page), its title's, and
// the longest current folder that is offered as the initial one.
inline constexpr std::size_t kDialogFileBytes = 101;
inline constexpr std::size_t kDialogTitleBytes = 80;
inline constexpr std::size_t kDialogFolderBytes = 80;
// The chosen path as the caller gets it: the file buffer in UTF-8 (at most
// three bytes for each ANSI byte) with its terminator.
inline constexpr std::size_t kDialogPathUtf8Bytes = (kDialogFileBytes - 1) * 3 + 1;

// The platform's list of (description, pattern) pairs from a UTF-8 text in
// which "|" separates the parts: each part converted to the ANSI code page,
// each "|" a NUL, and the list ended by two NULs whether or not the text
// ends in "|". Split before converting, so that a "|" byte inside a
// double-byte character is never taken for a separator. Owned (MemFree);
// null for null or when memory is exhausted.
char* MakeDialogFilter(const char* text, std::size_t* length = nullptr);

// The option bits: the open dialog wants a file that exists; the save
// dialog only a folder that exists, since saving makes a new file.
std::uint32_t FileDialogOptions(bool save);

}  // namespace qs
