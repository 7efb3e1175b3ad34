#include "file_io.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace qs::order {

namespace {
bool g_waiting = false;
HCURSOR g_previousCursor = nullptr;
}  // namespace

void WaitCursor(HWND window, bool on) {
  if (on) {
    if (g_waiting) return;
    g_waiting = true;
    g_previousCursor = SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
    if (window) SetCapture(window);
  } else {
    if (!g_waiting) return;
    g_waiting = false;
    if (GetCapture() && GetCapture() == window) ReleaseCapture();
    SetCursor(g_previousCursor);
  }
}

char* LoadFileText(HWND window, const char* path, std::size_t* length) {
  if (length) *length = 0;
  if (!path || !*path) return nullptr;
  WaitCursor(window, true);
  char* text = nullptr;
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    LARGE_INTEGER size;
    if (GetFileSizeEx(file, &size) && size.QuadPart >= 0 &&
        static_cast<unsigned long long>(size.QuadPart) <= kMaxFileSize) {
      std::size_t total = static_cast<std::size_t>(size.QuadPart);
      text = static_cast<char*>(std::malloc(total + 1));
      std::size_t got = 0;
      while (text && got < total) {
        DWORD read = 0;
        if (!ReadFile(file, text + got, static_cast<DWORD>(total - got), &read, nullptr) ||
            read == 0)
          break;
        got += read;
      }
      if (text && got == total) {
        text[total] = '\0';
        if (length) *length = total;
      } else {
        std::free(text);
        text = nullptr;
      }
    }
    CloseHandle(file);
  }
  WaitCursor(window, false);
  return text;
}

HANDLE CreateFileForWrite(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

bool WriteFileWhole(const char* path, const std::string& contents) {
  if (!path || !*path || std::strlen(path) >= MAX_PATH) return false;
  char folder[MAX_PATH];
  std::strcpy(folder, path);
  char* slash = std::strrchr(folder, '\\');
  char* other = std::strrchr(folder, '/');
  if (other && (!slash || other > slash)) slash = other;
  if (slash) {
    slash[1] = '\0';
  } else if (folder[0] && folder[1] == ':') {
    folder[2] = '\0';
  } else {
    std::strcpy(folder, ".");
  }
  char temp[MAX_PATH];
  if (!GetTempFileNameA(folder, "cvo", 0, temp)) return false;
  HANDLE file = CreateFileForWrite(temp);
  if (!file) {
    DeleteFileA(temp);
    return false;
  }
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < contents.size()) {
    DWORD piece = static_cast<DWORD>(std::min<std::size_t>(contents.size() - done, 1u << 20));
    DWORD written = 0;
    ok = WriteFile(file, contents.data() + done, piece, &written, nullptr) && written == piece;
    done += written;
  }
  ok = FlushFileBuffers(file) && ok;
  ok = CloseHandle(file) && ok;
  if (ok) ok = MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) DeleteFileA(temp);
  return ok;
}

std::string IniPath(HINSTANCE instance) {
  char module[MAX_PATH];
  DWORD n = GetModuleFileNameA(instance, module, sizeof module);
  if (n == 0 || n >= sizeof module) return std::string();
  std::string path(module, n);
  std::size_t slash = path.find_last_of("\\/");
  std::size_t dot = path.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) path.resize(dot);
  return path + ".ini";
}

void IniGet(HINSTANCE instance, const char* section, const char* key, char* buffer,
            std::size_t size) {
  if (!buffer || size == 0) return;
  std::string ini = IniPath(instance);
  if (ini.empty()) return;
  std::string fallback(buffer, strnlen(buffer, size));
  GetPrivateProfileStringA(section, key, fallback.c_str(), buffer, static_cast<DWORD>(size),
                           ini.c_str());
}

void IniSet(HINSTANCE instance, const char* section, const char* key, const char* value) {
  std::string ini = IniPath(instance);
  if (ini.empty()) return;
  WritePrivateProfileStringA(section, key, value, ini.c_str());
}

}  // namespace qs::order
