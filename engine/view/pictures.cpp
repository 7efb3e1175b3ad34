#include "view/pictures.h"

#include <cstring>
#include <vector>

#include "foundation/engine.h"
#include "foundation/strings.h"
#include "foundation/win_utils.h"
#include "sgml/document.h"
#include "sgml/entities.h"
#include "view/host_objects.h"
#include "sgml/external_id.h"
#include "view/image_readers.h"
#include "view/metafile_head.h"

namespace qs {

namespace {

bool DataAttributeIs(EntityDecl* entity, const char* name) {
  if (!entity || !entity->IsExternal()) return false;
  const char* value = static_cast<ExternalEntityDecl*>(entity)->GetDataAttribute(name);
  return value && CompareStringNoCase(value, name) == 0;
}

Stream* OpenPicture(EntityDecl* entity) {
  EngineBase* engine = GetEngine();
  ExternalId* id = entity ? entity->GetExternalId() : nullptr;
  if (!engine || !id) return nullptr;
  return engine->OpenEntity(id, nullptr, nullptr);
}

ColorTable* EngineColors(ColorTable& fallback) {
  EngineBase* engine = GetEngine();
  return engine && engine->colours ? engine->colours.get() : &fallback;
}

}  // namespace

// ---- MaskImage ------------------------------------------------------------------------

MaskImage::MaskImage(std::uint8_t* pictureBlock, std::uint8_t* maskBlock, bool inside,
                     Document* document, DocumentNode* element, EntityDecl* entity,
                     EntityDecl* maskEntity, const char* key)
    : GraphicObject(entity, maskEntity, element, document, key, ViewDib(pictureBlock).width,
                    ViewDib(pictureBlock).height),
      picture(pictureBlock),
      mask(maskBlock),
      maskInside(inside) {
  palette = MakeDibPalette(picture);
  if (DataAttributeIs(entity, "ISMASK")) {
    strip = true;
    width = static_cast<std::int16_t>(width / 2);
  }
  if (DataAttributeIs(entity, "ISBTN")) {
    button = true;
    height = static_cast<std::int16_t>(height / 2);
  }
}

MaskImage::~MaskImage() {
  FreeGlobalBlock(picture);
  if (!maskInside) FreeGlobalBlock(mask);
  DeletePlatformPalette(palette);
}

ImageRenderer* MaskImage::MakeRenderer(OutputDevice* owner) { return new DibImage(this, owner); }

CgmPicture::~CgmPicture() { DeletePlatformMetafile(metafile); }

ImageRenderer* CgmPicture::MakeRenderer(OutputDevice* owner) {
  return new MetafileImage(this, owner);
}

// ---- Element text -------------------------------------------------------------------------

ElementTextStream::ElementTextStream(Document* document, const DocumentNode* element)
    : document_(document ? document->AddRef() : nullptr),
      next_(element ? element->start : 0),
      stop_(element ? element->end : 0) {}

ElementTextStream::~ElementTextStream() {
  if (document_) document_->Release();
}

void ElementTextStream::Refill() {
  start_ = cur_ = end_ = reinterpret_cast<std::uint8_t*>(buffer_);
  if (!document_ || next_ >= stop_) {
    state_ = kLastBuffer;
    return;
  }
  std::uint32_t to = stop_ - next_ > 4096 ? next_ + 4096 : stop_;
  std::size_t n = document_->ExtractText(buffer_, next_, to);
  next_ = to;
  end_ = start_ + n;
  if (next_ >= stop_) state_ = kLastBuffer;
}

// ---- Loaders ----------------------------------------------------------------------------------

namespace {

using Reader = std::uint8_t* (*)(Stream&);

GraphicObject* LoadWith(Reader read, EntityDecl* entity, EntityDecl* maskEntity, const char* key) {
  Stream* in = OpenPicture(entity);
  if (!in) return nullptr;
  std::uint8_t* picture = read(*in);
  in->Release();
  if (!picture) return nullptr;
  std::uint8_t* mask = nullptr;
  if (maskEntity) {
    if (Stream* m = OpenPicture(maskEntity)) {
      mask = read(*m);
      m->Release();
    }
  }
  return new MaskImage(picture, mask, false, nullptr, nullptr, entity, maskEntity, key);
}

std::uint8_t* ReadXpmPlain(Stream& s) {
  ColorTable own;
  return ReadXpm(s, *EngineColors(own), false, nullptr);
}

}  // namespace

GraphicObject* LoadBmp(EntityDecl* entity, EntityDecl* maskEntity, const char* key) {
  return LoadWith(ReadBmp, entity, maskEntity, key);
}

GraphicObject* LoadXbm(EntityDecl* entity, EntityDecl* maskEntity, const char* key) {
  return LoadWith(ReadXbm, entity, maskEntity, key);
}

GraphicObject* LoadXpm(EntityDecl* entity, EntityDecl* maskEntity, const char* key) {
  Stream* in = OpenPicture(entity);
  if (!in) return nullptr;
  ColorTable own;
  bool ownMask = false;
  std::uint8_t* picture = ReadXpm(*in, *EngineColors(own), true, &ownMask);
  in->Release();
  if (!picture) return nullptr;
  if (ownMask)
    return new MaskImage(picture, ViewDib(picture, true).maskHeader, true, nullptr, nullptr,
                         entity, maskEntity, key);
  std::uint8_t* mask = nullptr;
  if (maskEntity) {
    if (Stream* m = OpenPicture(maskEntity)) {
      mask = ReadXpmPlain(*m);
      m->Release();
    }
  }
  return new MaskImage(picture, mask, false, nullptr, nullptr, entity, maskEntity, key);
}

GraphicObject* LoadXImageFromElement(Document* document, DocumentNode* element, const char* key) {
  if (!document || !element || !key) return nullptr;
  ElementTextStream in(document, element);
  std::uint8_t* picture = nullptr;
  bool ownMask = false;
  if (CompareStringNoCase(key, "XPM") == 0) {
    ColorTable own;
    picture = ReadXpm(in, *EngineColors(own), true, &ownMask);
  } else if (CompareStringNoCase(key, "XBM") == 0) {
    picture = ReadXbm(in);
  }
  if (!picture) return nullptr;
  return new MaskImage(picture, ownMask ? ViewDib(picture, true).maskHeader : nullptr, ownMask,
                       document, element, nullptr, nullptr, key);
}

GraphicObject* LoadWmf(EntityDecl* entity, const char* key) {
  Stream* in = OpenPicture(entity);
  if (!in) return nullptr;
  // The head first: a bad one costs no allocation of the size it claims.
  std::uint8_t head[kPlaceableHeadSize + kMetaHeaderSize];
  std::size_t got = in->Read(head, sizeof head);
  MetafileHead parsed;
  std::vector<std::uint8_t> bytes;
  if (got == sizeof head) {
    // Read the rest in pieces; the head's size is checked against what
    // actually came.
    bytes.assign(head, head + got);
    std::uint8_t piece[8192];
    std::size_t n;
    while ((n = in->Read(piece, sizeof piece)) > 0) {
      bytes.insert(bytes.end(), piece, piece + n);
      if (bytes.size() > (std::size_t{1} << 31)) break;
    }
  }
  in->Release();
  if (bytes.empty() ||
      !ReadPlaceableHead(bytes.data(), bytes.size(), GetScreenDpiX(), GetScreenDpiY(), &parsed))
    return nullptr;
  void* metafile = MakePlatformMetafile(bytes.data() + parsed.metafileOffset, parsed.metafileBytes);
  if (!metafile) return nullptr;
  return new CgmPicture(metafile, entity, key, parsed.width, parsed.height);
}

GraphicObject* LoadBmpGraphic(EntityDecl* entity, EntityDecl* maskEntity, const char* key) {
  if (!LoadImagingLibrary()) {
    if (key && CompareStringNoCase(key, "BMP") == 0) return LoadBmp(entity, maskEntity, key);
    return nullptr;
  }
  return LoadRasterImage(entity, maskEntity, key);
}

GraphicObject* BuiltinNotationHandler::LoadElement(Document* context, DocumentNode* element,
                                                   const char* key) {
  if (!CanLoadElement(key)) return nullptr;
  return LoadXImageFromElement(context, element, key);
}

GraphicObject* BuiltinNotationHandler::LoadEntity(EntityDecl* entity, const char* key,
                                                  EntityDecl* maskEntity) {
  if (!key) return nullptr;
  std::intptr_t cursor = ShowWaitCursor();
  GraphicObject* g = nullptr;
  if (CompareStringNoCase(key, "WMF") == 0)
    g = LoadWmf(entity, key);
  else if (CompareStringNoCase(key, "BMP") == 0 || CompareStringNoCase(key, "RGR") == 0)
    g = LoadBmpGraphic(entity, maskEntity, key);
  else if (CompareStringNoCase(key, "CGM") == 0)
    g = ImportCgmPicture(entity, key);
  else if (CompareStringNoCase(key, "XPM") == 0)
    g = LoadXpm(entity, maskEntity, key);
  else if (CompareStringNoCase(key, "XBM") == 0)
    g = LoadXbm(entity, maskEntity, key);
  RestoreCursor(cursor);
  return g;
}

int ReadPageTime(const char* text) {
  std::int64_t v = 0;
  while (text && *text == ' ') ++text;
  for (; text && *text >= '0' && *text <= '9'; ++text)
    if ((v = v * 10 + (*text - '0')) > 3600000) v = 3600000;
  return v < 1 ? 1 : static_cast<int>(v);
}

bool AdvancePageCountdown(int& timeLeft, int pageTime) {
  timeLeft -= kAnimationTick;
  if (timeLeft > 0) return false;
  timeLeft += pageTime;
  if (timeLeft < 0) timeLeft = kAnimationTick;
  return true;
}

namespace {
GraphicCache* g_cache = nullptr;
}  // namespace

GraphicCache& GetGraphicCache() {
  if (!g_cache) g_cache = new GraphicCache(&EngineNotationHandler());
  return *g_cache;
}

void DestroyGraphicCache() {
  delete g_cache;
  g_cache = nullptr;
}

}  // namespace qs
