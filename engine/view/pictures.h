// The kinds of pictures and their loaders: bitmaps with masks (BMP, XBM,
// XPM read by the engine), metafiles (placeable WMF read here, CGM through
// the outside import filter) and raster images decoded by the outside
// imaging library. Loaders answer a graphic with one use, or null, and
// report nothing: a picture that cannot be loaded is simply absent.
// Drawing and the outside libraries live in pictures_win32.cpp.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/stream.h"
#include "view/graphic_object.h"

namespace qs {

class ColorTable;

// A DIB picture with an optional transparency mask, a button (upper half
// normal, lower half pressed) or a mask strip (right half the mask).
class MaskImage : public GraphicObject {
 public:
  // Takes over the blocks; `maskInside` when the mask lies in the picture's
  // block. Width and height come from the picture, halved for a strip or a
  // button as the entity's data attributes ISMASK and ISBTN say.
  MaskImage(std::uint8_t* picture, std::uint8_t* mask, bool maskInside, Document* document,
            DocumentNode* element, EntityDecl* entity, EntityDecl* maskEntity, const char* key);
  ~MaskImage() override;
  ImageRenderer* MakeRenderer(OutputDevice* owner) override;

  std::uint8_t* picture;
  std::uint8_t* mask;
  void* palette = nullptr;  // the platform's, from the picture's colours
  bool button = false;
  bool strip = false;
  bool maskInside;
};

class DibImage : public ImageRenderer {
 public:
  DibImage(MaskImage* image, OutputDevice* owner) : ImageRenderer(image, owner) {}
  ~DibImage() override;
  void Draw(OutputDevice* device, int x, int y, int highlight) override;
  void DrawStretched(OutputDevice* device, int x, int y, int w, int h) override;
  void Print(OutputDevice* device, int x, int y) override;
  void UsePalette(void* handle) override;
  void* GetPalette() override { return static_cast<MaskImage*>(graphic)->palette; }

  void* deviceBitmap = nullptr;
};

// A picture held as a platform metafile.
class CgmPicture : public GraphicObject {
 public:
  CgmPicture(void* metafile, EntityDecl* entity, const char* key, int width, int height)
      : GraphicObject(entity, nullptr, nullptr, nullptr, key, width, height), metafile(metafile) {}
  ~CgmPicture() override;
  ImageRenderer* MakeRenderer(OutputDevice* owner) override;
  void* metafile;
};

class MetafileImage : public ImageRenderer {
 public:
  MetafileImage(CgmPicture* picture, OutputDevice* owner) : ImageRenderer(picture, owner) {}
  void Draw(OutputDevice* device, int x, int y, int highlight) override;
  void DrawStretched(OutputDevice* device, int x, int y, int w, int h) override;
  void Print(OutputDevice* device, int x, int y) override;
};

// A stream over one element's content, in pieces of at most 4096 bytes;
// holds a use of the document.
class ElementTextStream : public Stream {
 public:
  ElementTextStream(Document* document, const DocumentNode* element);
  ~ElementTextStream() override;
  bool IsReadable() override { return state_ != kAtEnd; }
  void Refill() override;

 private:
  Document* document_;
  std::uint32_t next_, stop_;
  char buffer_[4097];
};

// ---- Loaders ----------------------------------------------------------------------------

GraphicObject* LoadBmp(EntityDecl* entity, EntityDecl* maskEntity, const char* key);
GraphicObject* LoadXbm(EntityDecl* entity, EntityDecl* maskEntity, const char* key);
GraphicObject* LoadXpm(EntityDecl* entity, EntityDecl* maskEntity, const char* key);
GraphicObject* LoadXImageFromElement(Document* document, DocumentNode* element, const char* key);
GraphicObject* LoadWmf(EntityDecl* entity, const char* key);
// "BMP" and "RGR" through the imaging library; without it "BMP" falls back
// to the engine's reader and anything else gives null.
GraphicObject* LoadBmpGraphic(EntityDecl* entity, EntityDecl* maskEntity, const char* key);

// The built-in notation handler.
class BuiltinNotationHandler : public NotationHandler {
 public:
  GraphicObject* LoadElement(Document* context, DocumentNode* element, const char* key) override;
  GraphicObject* LoadEntity(EntityDecl* entity, const char* key, EntityDecl* maskEntity) override;
};

// The engine's graphic cache, made on first use with the built-in handler.
GraphicCache& GetGraphicCache();
// Deletes the cache (engine teardown): unused graphics go, the rest are
// orphaned.
void DestroyGraphicCache();

// ---- Page animation of multi-page raster images -------------------------------------------

inline constexpr int kDefaultPageTime = 500;
inline constexpr int kAnimationTick = 50;
// A "SPEED" value in milliseconds (saturated; at least 1).
int ReadPageTime(const char* text);
// One 50 ms tick of an image's countdown: true when the page changes now
// (the page time is then added, what is left carrying over).
bool AdvancePageCountdown(int& timeLeft, int pageTime);
// Stops the engine's picture timer (engine teardown).
void StopPictureTimer();
// Starts it (a selected area's outline marches on it); nothing natively.
void StartPictureTimer();

// ---- Platform parts (pictures_win32.cpp; elsewhere none) -----------------------------------

// A logical palette of the DIB's colour table; null when it has none.
void* MakeDibPalette(const std::uint8_t* dib);
void DeletePlatformPalette(void* palette);
// A metafile of the bytes (header and records); null when refused.
void* MakePlatformMetafile(const std::uint8_t* bytes, std::size_t size);
void DeletePlatformMetafile(void* metafile);
// The outside libraries, loaded by name on first use and never retried.
bool LoadImagingLibrary();
void UnloadImagingLibrary();
GraphicObject* LoadRasterImage(EntityDecl* entity, EntityDecl* maskEntity, const char* key);
int LoadCgmFilter();
GraphicObject* ImportCgmPicture(EntityDecl* entity, const char* key);
// The system wait cursor while a picture loads.
std::intptr_t ShowWaitCursor();
void RestoreCursor(std::intptr_t previous);

}  // namespace qs
