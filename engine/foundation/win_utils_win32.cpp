#include <windows.h>

#include "foundation/codepage.h"
#include "foundation/memory.h"
#include "foundation/win_utils.h"

namespace qs {

namespace {

class DeviceTextOutput : public TextOutput {
 public:
  explicit DeviceTextOutput(HDC dc) : dc_(dc) {}
  bool TextOutAnsi(int x, int y, const char* text, int length) override {
    return TextOutA(dc_, x, y, text, length) != 0;
  }
  bool TextOutWide(int x, int y, const char16_t* text, int length) override {
    return TextOutW(dc_, x, y, reinterpret_cast<const wchar_t*>(text), length) != 0;
  }

 private:
  HDC dc_;
};

}  // namespace

bool TextOutUtf8(std::intptr_t dc, int x, int y, const char* text, int length) {
  DeviceTextOutput output(reinterpret_cast<HDC>(dc));
  return TextOutUtf8(output, x, y, text, length);
}

void* AllocGlobalBlock(std::size_t size) {
  HGLOBAL block = GlobalAlloc(GMEM_FIXED, size ? size : 1);
  if (!block) return nullptr;
  void* pointer = GlobalLock(block);
  if (!pointer) GlobalFree(block);
  return pointer;
}

void FreeGlobalBlock(void* pointer) {
  if (!pointer) return;
  HGLOBAL block = GlobalHandle(pointer);
  if (!block) return;
  GlobalUnlock(block);
  GlobalFree(block);
}

char* GetCurrentDir(char* buffer, std::size_t size) {
  if (!buffer || size == 0) return nullptr;
  DWORD need = GetCurrentDirectoryW(0, nullptr);
  if (need == 0) return nullptr;
  auto* wide = static_cast<char16_t*>(MemAlloc(need * sizeof(char16_t)));
  char* utf8 = static_cast<char*>(MemAlloc(need * 3 + 1));
  char* result = nullptr;
  DWORD n = wide && utf8 ? GetCurrentDirectoryW(need, reinterpret_cast<wchar_t*>(wide)) : 0;
  if (n != 0 && n < need) {
    // The folder in UTF-8, as every path inside the engine; refused whole
    // when it does not fit.
    std::size_t written = WideToUtf8(wide, utf8, need * 3 + 1);
    if (written != 0 && written <= size) {
      for (std::size_t i = 0; i < written; ++i) buffer[i] = utf8[i];
      result = buffer;
    }
  }
  MemFree(wide);
  MemFree(utf8);
  return result;
}

}  // namespace qs
