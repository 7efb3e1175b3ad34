// A test stand-in for the CGM import filter: its version resource says
// which interface it offers; "ImportGR" writes what it was given to
// "cgm_calls.log" in the current folder and answers a recorded metafile of
// 2 x 1 inches at 1000 units per inch (drawn right to left when the file's
// name says "reversed").
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#pragma pack(push, 1)
struct PictureInfo {
  std::uint32_t metafile;
  std::int32_t left, top, right, bottom;
  std::uint16_t unitsPerInch;
};
#pragma pack(pop)

extern "C" {

__declspec(dllexport) int GetFilterInfo(short version, const char* application, HGLOBAL* settings,
                                        DWORD* value) {
  *settings = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 1546);
  if (value) *value = 0;
  if (FILE* log = std::fopen("cgm_calls.log", "ab")) {
    std::fprintf(log, "GetFilterInfo %d %s\n", version, application ? application : "(null)");
    std::fclose(log);
  }
  return 0;
}

__declspec(dllexport) int ImportGR(HDC, const unsigned char* spec, PictureInfo* info, HGLOBAL settings) {
  const char* path = reinterpret_cast<const char*>(spec + 8);
  const auto* block = static_cast<const unsigned char*>(GlobalLock(settings));
  if (FILE* log = std::fopen("cgm_calls.log", "ab")) {
    std::uint32_t value = 0;
    if (block) std::memcpy(&value, block + 1542, 4);
    std::fprintf(log, "ImportGR %s|font=%s|folder=%s|log=%s|value=%u|size=%u\n", path,
                 block ? reinterpret_cast<const char*>(block + 261) : "",
                 block ? reinterpret_cast<const char*>(block + 617) : "",
                 block ? reinterpret_cast<const char*>(block + 1230) : "", value,
                 static_cast<unsigned>(GlobalSize(settings)));
    std::fclose(log);
  }
  if (block) GlobalUnlock(settings);
  HDC meta = CreateMetaFileA(nullptr);
  SetWindowExtEx(meta, 2000, 1000, nullptr);
  SelectObject(meta, GetStockObject(BLACK_BRUSH));
  Rectangle(meta, 0, 0, 1000, 1000);
  HMETAFILE handle = CloseMetaFile(meta);
  const bool reversed = std::strstr(path, "reversed") != nullptr;
  info->metafile = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(handle));
  info->left = reversed ? 2000 : 0;
  info->right = reversed ? 0 : 2000;
  info->top = reversed ? 1000 : 0;
  info->bottom = reversed ? 0 : 1000;
  info->unitsPerInch = 1000;
  return 0;
}

}  // extern "C"
