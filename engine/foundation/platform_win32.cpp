#include "foundation/platform.h"

#include <windows.h>

#include "foundation/codepage.h"
#include "foundation/memory.h"

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

std::size_t ModuleFileName(std::intptr_t module, char* out, std::size_t capacity) {
  if (capacity == 0) return 0;
  DWORD n = GetModuleFileNameA(reinterpret_cast<HMODULE>(module), out,
                               static_cast<DWORD>(capacity));
  if (n >= capacity) n = 0;  // cut: not a usable name
  out[n] = '\0';
  return n;
}

std::size_t ReadProfileString(const char* section, const char* key, const char* fallback,
                              char* out, std::size_t capacity) {
  if (capacity == 0) return 0;
  return GetProfileStringA(section, key, fallback ? fallback : "", out,
                           static_cast<DWORD>(capacity));
}

// Read from the string table with the kernel's resource calls, as LoadStringA
// would read it: LoadStringA lives in user32, and the first call into user32
// makes the process set up its windowing and fonts (a tenth of a second
// under Wine), which a program that only parses never needs.
bool LoadResourceString(std::intptr_t module, unsigned id, char* out, std::size_t capacity) {
  if (capacity == 0) return false;
  out[0] = '\0';
  HMODULE instance = reinterpret_cast<HMODULE>(module);
  // Strings come in blocks of 16, block n + 1 holding ids 16n to 16n + 15,
  // each a length in UTF-16 units followed by that many units.
  HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(((id & 0xFFFF) >> 4) + 1),
                              MAKEINTRESOURCEW(6));  // RT_STRING
  HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
  const auto* units = loaded ? static_cast<const WCHAR*>(LockResource(loaded)) : nullptr;
  if (!units) return false;
  const std::size_t total = SizeofResource(instance, found) / sizeof(WCHAR);
  std::size_t at = 0;
  for (unsigned skip = id & 0xF; skip > 0 && at < total; --skip) at += 1 + units[at];
  if (at >= total) return false;
  std::size_t length = units[at];
  if (length == 0) return false;
  length = length < total - at - 1 ? length : total - at - 1;
  const WCHAR* text = units + at + 1;
  // Cut to what fits, as LoadStringA cuts.
  int need = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr,
                                 nullptr);
  if (need <= 0) return false;
  std::vector<char> ansi(static_cast<std::size_t>(need));
  need = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), ansi.data(), need, nullptr,
                             nullptr);
  std::size_t n = need > 0 ? static_cast<std::size_t>(need) : 0;
  if (n > capacity - 1) n = capacity - 1;
  std::memcpy(out, ansi.data(), n);
  out[n] = '\0';
  return n > 0;
}

unsigned StartProgram(const char* commandLine, int showState) {
  return WinExec(commandLine, static_cast<UINT>(showState));
}

unsigned SystemTimeMilliseconds() {
  SYSTEMTIME t;
  GetSystemTime(&t);
  return t.wMilliseconds;
}

void BringWindowToFront(std::intptr_t window) {
  BringWindowToTop(reinterpret_cast<HWND>(window));
}

std::intptr_t ParentOfChildWindow(std::intptr_t window) {
  HWND hwnd = reinterpret_cast<HWND>(window);
  if (!hwnd || !(GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_CHILD)) return 0;
  return reinterpret_cast<std::intptr_t>(GetParent(hwnd));
}

void ExitCurrentThread(unsigned code) {
  ExitThread(code);
}

// ---- Files ----------------------------------------------------------------

namespace {
// The ANSI form of a UTF-8 name for the A calls; frees a converted copy.
class AnsiName {
 public:
  explicit AnsiName(const char* utf8) : utf8_(utf8), ansi_(Utf8ToAnsi(utf8)) {}
  ~AnsiName() {
    if (ansi_ != utf8_) MemFree(ansi_);
  }
  AnsiName(const AnsiName&) = delete;
  AnsiName& operator=(const AnsiName&) = delete;
  const char* get() const { return ansi_; }

 private:
  const char* utf8_;
  char* ansi_;
};

HANDLE ToHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }
}  // namespace

FileHandle FileOpen(const char* name, unsigned mode) {
  if (!name || !*name) return kNoFile;
  AnsiName ansi(name);
  if (!ansi.get()) return kNoFile;
  DWORD access = 0;
  if (mode & kFileRead) access = GENERIC_READ;
  else if (mode & kFileWrite) access = GENERIC_WRITE;
  else if (mode & kFileReadWrite) access = GENERIC_READ | GENERIC_WRITE;
  DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  DWORD disposition = OPEN_EXISTING;
  if (mode & kFileCreate) {
    share = FILE_SHARE_READ;
    disposition = (mode & kFileTruncate) ? CREATE_ALWAYS : OPEN_ALWAYS;
  }
  HANDLE h = CreateFileA(ansi.get(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return kNoFile;
  return reinterpret_cast<FileHandle>(h);
}

std::size_t FileRead(FileHandle file, void* buffer, std::size_t n) {
  if (file == kNoFile) return 0;
  std::size_t total = 0;
  auto* p = static_cast<char*>(buffer);
  while (total < n) {
    DWORD want = static_cast<DWORD>(n - total > 0x40000000 ? 0x40000000 : n - total);
    DWORD got = 0;
    if (!ReadFile(ToHandle(file), p + total, want, &got, nullptr)) break;
    total += got;
    if (got < want) break;
  }
  return total;
}

std::size_t FileWrite(FileHandle file, const void* buffer, std::size_t n) {
  if (file == kNoFile) return 0;
  std::size_t total = 0;
  auto* p = static_cast<const char*>(buffer);
  while (total < n) {
    DWORD want = static_cast<DWORD>(n - total > 0x40000000 ? 0x40000000 : n - total);
    DWORD put = 0;
    if (!WriteFile(ToHandle(file), p + total, want, &put, nullptr)) break;
    total += put;
    if (put < want) break;
  }
  return total;
}

std::int64_t FileSeek(FileHandle file, std::int64_t offset, int origin) {
  if (file == kNoFile || origin < 0 || origin > 2) return -1;
  static const DWORD kMethod[3] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
  LARGE_INTEGER distance, result;
  distance.QuadPart = offset;
  if (!SetFilePointerEx(ToHandle(file), distance, &result, kMethod[origin])) return -1;
  return result.QuadPart;
}

void FileClose(FileHandle file) {
  if (file != kNoFile) CloseHandle(ToHandle(file));
}

int FileAttributes(const char* name) {
  if (!name || !*name) return 0;
  AnsiName ansi(name);
  if (!ansi.get()) return 0;
  DWORD attributes = GetFileAttributesA(ansi.get());
  if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
  return (attributes & FILE_ATTRIBUTE_READONLY) ? 1 : 4;
}

bool FileDelete(const char* name) {
  if (!name || !*name) return false;
  AnsiName ansi(name);
  return ansi.get() && DeleteFileA(ansi.get()) != 0;
}

bool FileRename(const char* from, const char* to) {
  if (!from || !*from || !to || !*to) return false;
  AnsiName a(from), b(to);
  return a.get() && b.get() &&
         MoveFileExA(a.get(), b.get(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
}

std::size_t SystemTempDir(char* out, std::size_t capacity) {
  char ansi[MAX_PATH + 1];
  DWORD n = GetTempPathA(sizeof ansi, ansi);
  if (n == 0 || n > MAX_PATH) return 0;
  while (n > 3 && (ansi[n - 1] == '\\' || ansi[n - 1] == '/')) ansi[--n] = '\0';
  const char* utf8 = AnsiToUtf8(ansi);
  if (!utf8) return 0;
  std::size_t len = std::strlen(utf8);
  std::size_t result = 0;
  if (len < capacity) {
    std::memcpy(out, utf8, len + 1);
    result = len;
  }
  if (utf8 != ansi) MemFree(const_cast<char*>(utf8));
  return result;
}

}  // namespace qs::platform
