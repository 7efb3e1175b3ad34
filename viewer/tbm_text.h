// The viewer's text-bitmap notation "TBM": a small palette picture written
// as text (width, height, colour count, the colour table as a key character
// and RRGGBB each, then the rows of key characters, top row first), read
// into a device-independent bitmap of 8 bits a pixel.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qs::viewer {

inline constexpr int kTbmMaxSide = 16384;
inline constexpr int kTbmMaxColours = 256;
inline constexpr int kTbmHeaderSize = 40;

// A bitmap read from text: the 40-byte header, the colour table (blue,
// green, red, 0 each) and the rows bottom-up, each padded with zeros to a
// multiple of 4 bytes. The block is the bitmap's own (malloc).
struct TextBitmap {
  std::uint8_t* dib = nullptr;
  std::size_t size = 0;
  int width = 0, height = 0, colours = 0;
  // Red, green and blue of each colour, for the platform's palette.
  const std::uint8_t* Colour(int i) const { return dib + kTbmHeaderSize + 4 * i; }
  const std::uint8_t* Pixels() const { return dib + kTbmHeaderSize + 4 * colours; }
  std::size_t RowLength() const { return (static_cast<std::size_t>(width) + 3) / 4 * 4; }
};

// False (and nothing kept) for invalid text: a number missing, of 16 or
// more digits or 0, a side above 16384, more than 256 colours, or no
// memory. Pixel text that ends early leaves the rest of the rows at index 0.
bool ParseTextBitmap(const char* text, std::size_t length, TextBitmap* out);
void FreeTextBitmap(TextBitmap* bitmap);

// Fitting a picture of natural size (w, h) to a target width t: the height
// that keeps the shape, (h * t + w) / w; below 8 only answered, else the
// size becomes (t, that height) and t is answered. FitToHeight likewise
// with the sides exchanged.
int FitToWidth(int naturalWidth, int naturalHeight, int target, std::int32_t* width,
               std::int32_t* height);
int FitToHeight(int naturalWidth, int naturalHeight, int target, std::int32_t* width,
                std::int32_t* height);

// A size attribute's value: a decimal number from 1 to 32767, else 0.
int ReadSizeAttribute(const char* text);

}  // namespace qs::viewer
