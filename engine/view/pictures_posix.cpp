// Without the platform's drawing: pictures load and measure, draw nothing;
// a metafile is kept as its bytes; the outside libraries are never there.
#include <cstring>

#include "foundation/memory.h"
#include "view/pictures.h"

namespace qs {

void* MakeDibPalette(const std::uint8_t*) { return nullptr; }
void DeletePlatformPalette(void*) {}

void* MakePlatformMetafile(const std::uint8_t* bytes, std::size_t size) {
  if (!bytes || !size) return nullptr;
  void* copy = MemAlloc(size);
  if (copy) std::memcpy(copy, bytes, size);
  return copy;
}
void DeletePlatformMetafile(void* metafile) { MemFree(metafile); }

bool LoadImagingLibrary() { return false; }
void UnloadImagingLibrary() {}
GraphicObject* LoadRasterImage(EntityDecl*, EntityDecl*, const char*) { return nullptr; }
int LoadCgmFilter() { return 0; }
GraphicObject* ImportCgmPicture(EntityDecl*, const char*) { return nullptr; }
std::intptr_t ShowWaitCursor() { return 0; }
void RestoreCursor(std::intptr_t) {}
void StopPictureTimer() {}
void StartPictureTimer() {}

DibImage::~DibImage() = default;
void DibImage::Draw(OutputDevice*, int, int, int) {}
void DibImage::DrawStretched(OutputDevice*, int, int, int, int) {}
void DibImage::Print(OutputDevice*, int, int) {}
void DibImage::UsePalette(void*) {}
void MetafileImage::Draw(OutputDevice*, int, int, int) {}
void MetafileImage::DrawStretched(OutputDevice*, int, int, int, int) {}
void MetafileImage::Print(OutputDevice*, int, int) {}

}  // namespace qs
