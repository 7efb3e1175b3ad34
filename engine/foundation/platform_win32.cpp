#include "foundation/platform.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace qs::platform {

namespace {
// UTF-8 text to a wide string for the W calls.
std::vector<wchar_t> Widen(const char* text) {
  int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::vector<wchar_t> w(n > 0 ? n : 1, L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text, -1, w.data(), n);
  return w;
}
}  // namespace

int DefaultMessageSink(void*, std::intptr_t owner, const char* text, const char* caption,
                       unsigned flags) {
  std::vector<wchar_t> t = Widen(text), c = Widen(caption);
  return MessageBoxW(reinterpret_cast<HWND>(owner), t.data(), c.data(), flags);
}

unsigned AnsiCodePage() { return GetACP(); }

int AnsiToWide(const char* text, int length, char16_t* out, int capacity) {
  if (length <= 0) return 0;
  return MultiByteToWideChar(CP_ACP, 0, text, length, reinterpret_cast<wchar_t*>(out), capacity);
}

int WideToAnsi(const char16_t* text, int length, char* out, int capacity) {
  if (length <= 0) return 0;
  return WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(text), length, out,
                             capacity, nullptr, nullptr);
}

void ExitCurrentThread(unsigned code) {
  ExitThread(code);
}

}  // namespace qs::platform
