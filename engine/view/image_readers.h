// Picture files read into one in-memory device-independent bitmap (the
// platform's BITMAPINFOHEADER layout, bottom row first): Windows bitmaps,
// X bitmaps and X pixmaps. Every reader works on an engine stream, so the
// bytes may come from a file or from an element's content, and answers the
// bitmap or null; none reports an error of its own. The input comes from
// outside: a reader never reads or writes past its block, and whatever a
// short file leaves unfilled is cleared.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qs {

class ColorTable;
class Stream;

inline constexpr std::size_t kDibHeaderSize = 40;
// Sides of a Windows bitmap; X pictures allow 1..kXImageMaxSide.
inline constexpr std::int32_t kBmpMaxSide = 16384;
inline constexpr std::int32_t kXImageMaxSide = 1024;

// Bytes of one row of `width` pixels at `bitCount`, padded to 4 bytes.
std::uint64_t DibRowBytes(std::int64_t width, int bitCount);

// What a DIB block holds, read back from its headers. All pointers point
// into the block.
struct DibView {
  std::int32_t width = 0, height = 0;
  int bitCount = 0;
  std::uint32_t compression = 0;
  std::uint32_t imageSize = 0;
  std::uint32_t colorsUsed = 0;
  std::uint8_t* colors = nullptr;  // colorsUsed entries of blue, green, red, 0
  std::uint8_t* bits = nullptr;
  std::uint8_t* maskHeader = nullptr;  // null without a mask
  std::uint8_t* maskBits = nullptr;
  std::uint64_t maskRowBytes = 0;
};
// Null `block` gives an empty view; `withMask` when the block was made with
// a mask (the reader says so).
DibView ViewDib(std::uint8_t* block, bool withMask = false);
// The palette index (or, for a 1-bit picture, the bit) of pixel (x, y)
// counted from the top; -1 outside the picture or for a compressed one.
int DibPixelIndex(const DibView& dib, int x, int y);
// The mask bit of (x, y) from the top: 1 opaque, 0 transparent, -1 no mask.
int DibMaskBit(const DibView& dib, int x, int y);

// A block for a width x height picture of `bitCount` bits with `colors`
// table entries, and a 1-bit mask when `withMask`; null when the sizes are
// out of range or memory runs out. Table, pixels and mask are cleared.
// Freed with FreeGlobalBlock.
std::uint8_t* CreateDib(std::int32_t width, std::int32_t height, int bitCount, int colors,
                        bool withMask);
// The block's whole size (for copies), 0 for null.
std::size_t DibBlockSize(const std::uint8_t* block, bool withMask = false);

// A "BM" file with a 40-byte header at 1, 4 or 8 bits, uncompressed, or
// RLE8 at 8 bits and RLE4 at 4 bits.
std::uint8_t* ReadBmp(Stream& stream);
// An X bitmap ("#define" width and height, then a "char" array).
std::uint8_t* ReadXbm(Stream& stream);
// An X pixmap of one character per pixel. Colour names are looked up in
// `colors`. With `maskWanted`, a "None" colour becomes transparent and the
// block gets a mask; `maskAdded` (may be null) says whether it did.
std::uint8_t* ReadXpm(Stream& stream, ColorTable& colors, bool maskWanted, bool* maskAdded);

// The 256-entry character class table of the X readers (made once).
enum : std::uint8_t { kXWhite = 0x10, kXName = 0x20, kXNumber = 0x40, kXHex = 0x80 };
const std::uint8_t* XCharClasses();

}  // namespace qs
