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

// ---- Threads --------------------------------------------------------------
[[noreturn]] void ExitCurrentThread(unsigned code);

}  // namespace qs::platform
