// One palette per window device that serves every image it shows: the 20
// static system colours, then the images' colours spread over 64 colour
// buckets and over the images, at most 256 in all. A host may register a
// principal palette, used alone or merged first. The platform's palette
// objects are reached through a small interface.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qs {

struct PaletteRgb {
  std::uint8_t r, g, b;
};

inline constexpr int kStaticColors = 20;
inline constexpr int kMergeLimit = 32;  // images that take part in a merge
const PaletteRgb* StaticColors();

// Bucket of a colour: the top two bits of red, green and blue.
inline int PaletteBucket(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return (r >> 6) << 4 | (g >> 6) << 2 | (b >> 6);
}

// What a palette serves: told the palette in use after each rebuild.
class PaletteUser {
 public:
  virtual ~PaletteUser() = default;
  virtual void UsePalette(void* handle) = 0;
};

// The platform's palettes.
class PalettePlatform {
 public:
  virtual ~PalettePlatform() = default;
  // Up to `room` entries of the palette; the count read (0 when none).
  virtual int ReadEntries(void* handle, PaletteRgb* out, int room) = 0;
  virtual void* Create(const PaletteRgb* colors, int count) = 0;
  virtual void Delete(void* handle) = 0;
};

// One image's colour table with its bucket chains.
class ImagePalette {
 public:
  ImagePalette(void* handle, const PaletteRgb* colors, int count);
  virtual ~ImagePalette() = default;
  // The renderer that owns it, or null.
  virtual PaletteUser* Owner() const { return nullptr; }

  void* handle;
  std::uint8_t fill = 255;
  std::uint8_t heads[64];
  std::uint16_t count = 0;
  struct Entry {
    std::uint8_t r, g, b, link;
  } entries[256];
  ImagePalette* next = nullptr;
};

class GraphicPalette : public ImagePalette {
 public:
  GraphicPalette(PaletteUser* owner, void* handle, const PaletteRgb* colors, int count)
      : ImagePalette(handle, colors, count), owner_(owner) {}
  PaletteUser* Owner() const override { return owner_; }

 private:
  PaletteUser* owner_;
};

// The merged colours: the static 20, then the principal's (when given),
// then the others' bucket by bucket in turns; at most 256. Returns the
// count written into `out`.
int MergePalettes(const ImagePalette* principal, const ImagePalette* const* others, int otherCount,
                  PaletteRgb* out);

class ViewPalette {
 public:
  enum : std::uint16_t { kPrincipal = 1, kAlone = 2, kRebuild = 4, kOwned = 8 };
  // With `applyRegistered`, the palette registered for all windows becomes
  // the principal.
  ViewPalette(PalettePlatform& platform, bool applyRegistered);
  ~ViewPalette();
  ViewPalette(const ViewPalette&) = delete;
  ViewPalette& operator=(const ViewPalette&) = delete;

  void Add(ImagePalette* entry, bool atFront);
  void Remove(ImagePalette* entry);
  void AddHandle(void* handle);
  void RemoveHandle(void* handle);
  // A renderer's palette (none: nothing added).
  void AddRenderer(PaletteUser* renderer, void* handle);
  void RemoveRenderer(PaletteUser* renderer);
  void SetPrincipal(void* handle, bool alone);
  // The palette to select, rebuilt when something changed.
  void* Realize();

  std::uint16_t flags = 0;
  std::uint16_t count = 0;
  void* current = nullptr;
  ImagePalette* first = nullptr;
  // Every live ViewPalette, newest first.
  ViewPalette* nextPalette = nullptr;

 private:
  ImagePalette* Make(void* handle, PaletteUser* owner);
  PalettePlatform& platform_;
};

// The principal palette for all windows (QsRegisterPaletteImages without a
// window), applied to window devices made later.
struct RegisteredPalette {
  void* handle = nullptr;
  bool alone = false;
};
RegisteredPalette& GetRegisteredPalette();
ViewPalette* FirstViewPalette();

// The platform's palettes (GDI on Windows, none elsewhere).
PalettePlatform& GetPalettePlatform();
// QsRegisterPaletteImages: a principal palette for one window's device
// (made when the window has none) or, without a window, for every window
// now and later; merge 0 uses it alone. 1 when it was registered.
std::int32_t RegisterPaletteImages(std::intptr_t window, std::intptr_t palette, std::intptr_t merge);

}  // namespace qs
