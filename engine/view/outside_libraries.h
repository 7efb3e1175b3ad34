// The calls of the two outside libraries the engine loads by name: the
// imaging library "SNBD6W9S.DLL" and the CGM import filter "cgmimp32.dll".
// Shared by the engine's bindings and the test stand-ins.
#pragma once
#include <cstdint>

namespace qs {

inline constexpr const char kImagingLibraryName[] = "SNBD6W9S.DLL";
inline constexpr const char kCgmFilterName[] = "cgmimp32.dll";

// The imaging library's names, in binding order; the first ten are called.
inline constexpr const char* kImagingNames[15] = {
    "IMG_decompress_bitmap", "IMG_decompress_bitmap_fd", "IMG_bitmap_info",
    "IMG_dib_to_ddb",        "IMG_get_bitmap_palette",   "IMGLOW_get_pages",
    "IMG_delete_bitmap",     "IMG_resize_bitmap",        "IMG_set_croprect",
    "IMG_display_bitmap",    "IMG_print_bitmap",         "IMGLOW_autocolor",
    "IMGLOW_set_rop",        "IMG_diffusion_color",      "IMG_octree_color"};

// A bitmap number: 0 or more a bitmap, -1 none. Handles are the platform's
// (an open file handle from _lopen, a device context, a palette, a global
// memory block holding a packed DIB that the caller frees).
using ImgDecompress = int (*)(const char* path);
using ImgDecompressFd = int (*)(int file, int zero, int page);
using ImgBitmapInfo = void* (*)(int bitmap, int* width, int* height, int* bits);
using ImgGetPalette = void* (*)(int bitmap);
using ImgGetPages = int (*)(const char* path);
using ImgDelete = int (*)(int bitmap);
using ImgSetCrop = int (*)(int bitmap, int x, int y, int width, int height);
using ImgDisplay = int (*)(int bitmap, void* dc, int x, int y, int width, int height);
using ImgSetRop = int (*)(int bitmap, std::uint32_t rop);

// The CGM filter.
#pragma pack(push, 1)
struct CgmPictureInfo {
  std::uint32_t metafile;  // the metafile handle's 32 significant bits
  std::int32_t left, top, right, bottom;
  std::uint16_t unitsPerInch;
};
#pragma pack(pop)
using CgmGetFilterInfo = int (*)(short version, const char* application, void** settings,
                                 std::uint32_t* value);
using CgmImportGr = int (*)(void* dc, const std::uint8_t* fileSpec, CgmPictureInfo* info,
                            void* settings);

}  // namespace qs
