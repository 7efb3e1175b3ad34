// The text-bitmap notation in the engine: the viewer registers "TBM" and a
// host object type for it, whose entries reach the handler's, pictures' and
// views' virtual operations.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "api/records.h"
#include "engine.h"
#include "tbm_text.h"
#include "viewer.h"

namespace qs::viewer {

namespace eng = engine;

namespace {

class HostPictureView {
 public:
  virtual ~HostPictureView() = default;
  virtual void Nothing() {}
  virtual int FitWidth(std::int32_t* request) { (void)request; return 0; }
  virtual int FitHeight(std::int32_t* request) { (void)request; return 0; }
  virtual void NaturalSize(std::int32_t* request) { (void)request; }
  virtual void Draw(const QsObjectDevice* device, const QsObjectRect* rect, int highlight) {
    (void)device, (void)rect, (void)highlight;
  }
  virtual void Move(const QsObjectDevice* device, const QsObjectRect* rect) { (void)device, (void)rect; }
  virtual void DrawStretched(const QsObjectDevice* device, const QsObjectRect* rect) {
    Draw(device, rect, 0);
  }
  virtual void Print(const QsObjectDevice* device, const QsObjectRect* rect) { Draw(device, rect, 0); }
  virtual void AfterMove() {}
  virtual HPALETTE Palette() { return nullptr; }
  virtual void UsePalette(HPALETTE palette) { (void)palette; }
  virtual QsWord Call2(QsWord a, QsWord b) { (void)a, (void)b; return 0; }
  virtual void Call1(QsWord a) { (void)a; }
  virtual void Release() { delete this; }
};

class HostPicture {
 public:
  virtual ~HostPicture() = default;
  virtual HostPictureView* MakeView(HWND window, QsObjectSize* size) { (void)window, (void)size; return nullptr; }
  virtual HostPictureView* MakePrintView(HDC dc, QsObjectSize* size) { (void)dc, (void)size; return nullptr; }
  virtual HostPictureView* MakeSecondView(HWND window, QsObjectSize* size) { (void)window, (void)size; return nullptr; }
  virtual void Release() { delete this; }
};

// The base of the viewer's notation handlers: it builds the type record
// and registers it with the engine.
class HostNotationHandler {
 public:
  explicit HostNotationHandler(const char* notation);
  virtual ~HostNotationHandler() = default;
  virtual HostPicture* CreatePicture(QsHandle entity, QsObjectSize* size) {
    (void)entity, (void)size;
    return nullptr;
  }
  virtual HostPicture* LoadEntityData(QsHandle node, QsObjectSize* size) {
    (void)node, (void)size;
    return nullptr;
  }

 private:
  std::string name_;
  QsWord record_[QS_OBJECT_TYPE_WORDS] = {};
};

template <class T>
T* As(QsWord w) {
  return reinterpret_cast<T*>(w);
}

// The record's entries.
QsWord CreateForEntity(QsWord entity, QsWord handler, QsWord size, QsWord) {
  return reinterpret_cast<QsWord>(
      As<HostNotationHandler>(handler)->CreatePicture(static_cast<QsHandle>(entity), As<QsObjectSize>(size)));
}
QsWord CreateForElement(QsWord node, QsWord handler, QsWord size) {
  return reinterpret_cast<QsWord>(
      As<HostNotationHandler>(handler)->LoadEntityData(static_cast<QsHandle>(node), As<QsObjectSize>(size)));
}
QsWord DestroyPicture(QsWord picture) {
  As<HostPicture>(picture)->Release();
  return 0;
}
QsWord ScreenView(QsWord picture, QsWord window, QsWord size) {
  return reinterpret_cast<QsWord>(
      As<HostPicture>(picture)->MakeView(reinterpret_cast<HWND>(window), As<QsObjectSize>(size)));
}
QsWord PrintView(QsWord picture, QsWord dc, QsWord size) {
  return reinterpret_cast<QsWord>(
      As<HostPicture>(picture)->MakePrintView(reinterpret_cast<HDC>(dc), As<QsObjectSize>(size)));
}
QsWord SecondView(QsWord picture, QsWord window, QsWord size) {
  return reinterpret_cast<QsWord>(
      As<HostPicture>(picture)->MakeSecondView(reinterpret_cast<HWND>(window), As<QsObjectSize>(size)));
}
QsWord DestroyView(QsWord view) {
  As<HostPictureView>(view)->Release();
  return 0;
}
HostPictureView* ViewOf(QsWord device) { return As<HostPictureView>(As<QsObjectDevice>(device)->view); }
QsWord Draw(QsWord device, QsWord rect, QsWord highlight) {
  ViewOf(device)->Draw(As<QsObjectDevice>(device), As<QsObjectRect>(rect), static_cast<int>(highlight));
  return 0;
}
QsWord Move(QsWord device, QsWord rect) {
  ViewOf(device)->Move(As<QsObjectDevice>(device), As<QsObjectRect>(rect));
  return 0;
}
QsWord DrawStretched(QsWord device, QsWord rect) {
  ViewOf(device)->DrawStretched(As<QsObjectDevice>(device), As<QsObjectRect>(rect));
  return 0;
}
QsWord Print(QsWord device, QsWord rect) {
  ViewOf(device)->Print(As<QsObjectDevice>(device), As<QsObjectRect>(rect));
  return 0;
}
QsWord AfterMove(QsWord view) {
  As<HostPictureView>(view)->AfterMove();
  return 0;
}
QsWord SetWidth(QsWord view, QsWord request) {
  return As<HostPictureView>(view)->FitWidth(As<std::int32_t>(request));
}
QsWord SetHeight(QsWord view, QsWord request) {
  return As<HostPictureView>(view)->FitHeight(As<std::int32_t>(request));
}
QsWord ResetSize(QsWord view, QsWord request) {
  As<HostPictureView>(view)->NaturalSize(As<std::int32_t>(request));
  return 0;
}
QsWord UsePalette(QsWord view, QsWord palette) {
  As<HostPictureView>(view)->UsePalette(reinterpret_cast<HPALETTE>(palette));
  return 0;
}
QsWord GetPalette(QsWord view) { return reinterpret_cast<QsWord>(As<HostPictureView>(view)->Palette()); }
QsWord Call2(QsWord view, QsWord a, QsWord b) { return As<HostPictureView>(view)->Call2(a, b); }
QsWord Call1(QsWord view, QsWord a) {
  As<HostPictureView>(view)->Call1(a);
  return 0;
}

HostNotationHandler::HostNotationHandler(const char* notation) : name_(notation ? notation : "") {
  const void* entries[] = {
      reinterpret_cast<const void*>(&CreateForEntity), reinterpret_cast<const void*>(&CreateForElement),
      reinterpret_cast<const void*>(&DestroyPicture),  reinterpret_cast<const void*>(&ScreenView),
      reinterpret_cast<const void*>(&PrintView),       reinterpret_cast<const void*>(&SecondView),
      reinterpret_cast<const void*>(&DestroyView),     reinterpret_cast<const void*>(&Draw),
      reinterpret_cast<const void*>(&Move),            reinterpret_cast<const void*>(&DrawStretched),
      reinterpret_cast<const void*>(&Print),           reinterpret_cast<const void*>(&AfterMove),
      reinterpret_cast<const void*>(&SetWidth),        reinterpret_cast<const void*>(&SetHeight),
      reinterpret_cast<const void*>(&ResetSize),       reinterpret_cast<const void*>(&UsePalette),
      reinterpret_cast<const void*>(&GetPalette),      reinterpret_cast<const void*>(&Call2),
      reinterpret_cast<const void*>(&Call1)};
  static_assert(sizeof entries / sizeof entries[0] == QS_OBJECT_TYPE_WORDS - 2);
  record_[0] = reinterpret_cast<QsWord>(name_.c_str());
  record_[1] = reinterpret_cast<QsWord>(this);
  for (int i = 0; i < QS_OBJECT_TYPE_WORDS - 2; ++i) record_[i + 2] = reinterpret_cast<QsWord>(entries[i]);
  eng::QsRegisterObjectType(static_cast<const QsWord*>(record_));
}

// ---- The TBM objects -----------------------------------------------------------------

class TbmPicture : public HostPicture {
 public:
  explicit TbmPicture(const TextBitmap& bitmap) : bitmap_(bitmap) {
    // A logical palette of the colour table.
    const std::size_t bytes = sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * bitmap_.colours;
    auto* palette = static_cast<LOGPALETTE*>(std::calloc(1, bytes));
    if (palette) {
      palette->palVersion = 0x300;
      palette->palNumEntries = static_cast<WORD>(bitmap_.colours);
      for (int i = 0; i < bitmap_.colours; ++i) {
        const std::uint8_t* c = bitmap_.Colour(i);
        palette->palPalEntry[i] = {c[2], c[1], c[0], 0};
      }
      palette_ = CreatePalette(palette);
      std::free(palette);
    }
  }
  ~TbmPicture() override {
    FreeTextBitmap(&bitmap_);
    if (palette_) DeleteObject(palette_);
  }
  HostPictureView* MakeView(HWND, QsObjectSize*) override;
  HostPictureView* MakePrintView(HDC, QsObjectSize*) override;
  HostPictureView* MakeSecondView(HWND, QsObjectSize*) override;

  const TextBitmap& Bitmap() const { return bitmap_; }
  HPALETTE PaletteHandle() const { return palette_; }

 private:
  TextBitmap bitmap_;
  HPALETTE palette_ = nullptr;
};

class TbmPictureView : public HostPictureView {
 public:
  explicit TbmPictureView(TbmPicture* picture) : picture_(picture) {}
  int FitWidth(std::int32_t* r) override {
    const TextBitmap& b = picture_->Bitmap();
    return viewer::FitToWidth(b.width, b.height, r[0], &r[1], &r[2]);
  }
  int FitHeight(std::int32_t* r) override {
    const TextBitmap& b = picture_->Bitmap();
    return viewer::FitToHeight(b.width, b.height, r[0], &r[1], &r[2]);
  }
  void NaturalSize(std::int32_t* r) override {
    r[2] = picture_->Bitmap().width;
    r[3] = picture_->Bitmap().height;
  }
  void Draw(const QsObjectDevice* device, const QsObjectRect* rect, int) override {
    HDC dc = reinterpret_cast<HDC>(device->dc);
    if (!dc) return;
    const TextBitmap& b = picture_->Bitmap();
    const int previous = SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, rect->x, rect->y, rect->width, rect->height, 0, 0, b.width, b.height,
                  b.Pixels(), reinterpret_cast<const BITMAPINFO*>(b.dib), DIB_RGB_COLORS, SRCCOPY);
    if (previous) SetStretchBltMode(dc, previous);
  }
  HPALETTE Palette() override { return picture_->PaletteHandle(); }

 private:
  TbmPicture* picture_;
};

HostPictureView* TbmPicture::MakeView(HWND, QsObjectSize*) { return new TbmPictureView(this); }
HostPictureView* TbmPicture::MakePrintView(HDC, QsObjectSize*) { return new TbmPictureView(this); }
HostPictureView* TbmPicture::MakeSecondView(HWND, QsObjectSize*) { return new TbmPictureView(this); }

// A parsed picture, its size overridden by WIDTH and HEIGHT values above 0.
TbmPicture* MakePicture(const char* text, std::size_t length, QsObjectSize* size,
                        const char* width, const char* height) {
  TextBitmap bitmap;
  if (!ParseTextBitmap(text, length, &bitmap)) return nullptr;
  if (size) {
    size->width = bitmap.width;
    size->height = bitmap.height;
    if (int w = ReadSizeAttribute(width)) size->width = w;
    if (int h = ReadSizeAttribute(height)) size->height = h;
  }
  return new TbmPicture(bitmap);
}

class TbmNotationHandler : public HostNotationHandler {
 public:
  TbmNotationHandler() : HostNotationHandler("TBM") {}
  HostPicture* CreatePicture(QsHandle entity, QsObjectSize* size) override {
    char name[256] = "";
    if (!eng::QsGetFileName(entity, name, std::int32_t{sizeof name}) || !*name) return nullptr;
    EngineText path = FromEngine(name);
    FILE* file = std::fopen(path.get(), "rb");
    if (!file) return nullptr;
    std::string text;
    char block[4096];
    for (std::size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;) text.append(block, n);
    std::fclose(file);
    return MakePicture(text.c_str(), text.size(), size, eng::QsGetEntityAttrValue(entity, "WIDTH"),
                       eng::QsGetEntityAttrValue(entity, "HEIGHT"));
  }
  HostPicture* LoadEntityData(QsHandle node, QsObjectSize* size) override {
    std::int32_t start = 0, length = 0;
    if (!eng::QsGetNodeRange(node, &start, &length) || length <= 0) return nullptr;
    QsHandle document = eng::QsGetNodeDocument(node);
    if (!document) return nullptr;
    std::unique_ptr<char[]> bytes(new (std::nothrow) char[static_cast<std::size_t>(length) + 1]);
    const char* text = bytes ? eng::QsGetDocumentBytes(document, start, length, bytes.get()) : nullptr;
    eng::QsReleaseHandle(document);
    if (!text) return nullptr;
    return MakePicture(text, std::strlen(text), size, eng::QsGetAttribute(node, "WIDTH"),
                       eng::QsGetAttribute(node, "HEIGHT"));
  }
};

TbmNotationHandler* g_tbm = nullptr;

}  // namespace

void RegisterTbmNotation() {
  if (g_tbm) return;
  eng::QsRegisterNotation("TBM", "TBM", reinterpret_cast<const char*>(1), nullptr);
  g_tbm = new TbmNotationHandler;
}

void DeleteTbmNotation() {
  delete g_tbm;
  g_tbm = nullptr;
}

}  // namespace qs::viewer
