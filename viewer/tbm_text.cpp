#include "tbm_text.h"

#include <cstdlib>
#include <cstring>

namespace qs::viewer {

namespace {

bool Separator(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

struct Reader {
  const char* p;
  const char* end;
  void Skip() {
    while (p < end && Separator(*p)) ++p;
  }
  // 1 to 15 digits with a value above 0, else -1.
  long long Number() {
    Skip();
    long long value = 0;
    int digits = 0;
    while (p < end && *p >= '0' && *p <= '9') {
      if (++digits > 15) return -1;
      value = value * 10 + (*p++ - '0');
    }
    return digits && value > 0 ? value : -1;
  }
  // The next character, 0 past the end.
  char Take() { return p < end ? *p++ : 0; }
};

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

void Put32(std::uint8_t* at, std::uint32_t v) {
  at[0] = static_cast<std::uint8_t>(v), at[1] = static_cast<std::uint8_t>(v >> 8);
  at[2] = static_cast<std::uint8_t>(v >> 16), at[3] = static_cast<std::uint8_t>(v >> 24);
}

}  // namespace

bool ParseTextBitmap(const char* text, std::size_t length, TextBitmap* out) {
  if (!text || !out) return false;
  Reader in{text, text + length};
  const long long width = in.Number(), height = in.Number(), colours = in.Number();
  if (width <= 0 || height <= 0 || colours <= 0 || width > kTbmMaxSide || height > kTbmMaxSide ||
      colours > kTbmMaxColours)
    return false;
  TextBitmap b;
  b.width = static_cast<int>(width), b.height = static_cast<int>(height);
  b.colours = static_cast<int>(colours);
  const std::size_t row = b.RowLength();
  const std::uint64_t size = kTbmHeaderSize + 4ull * b.colours + std::uint64_t{row} * b.height;
  b.dib = static_cast<std::uint8_t*>(std::calloc(1, static_cast<std::size_t>(size)));
  if (!b.dib) return false;
  b.size = static_cast<std::size_t>(size);
  std::uint8_t* h = b.dib;
  Put32(h, kTbmHeaderSize);
  Put32(h + 4, static_cast<std::uint32_t>(b.width));
  Put32(h + 8, static_cast<std::uint32_t>(b.height));
  h[12] = 1;   // planes
  h[14] = 8;   // bits a pixel
  Put32(h + 32, static_cast<std::uint32_t>(b.colours));
  std::uint8_t map[256] = {};
  for (int i = 0; i < b.colours; ++i) {
    in.Skip();
    map[static_cast<unsigned char>(in.Take())] = static_cast<std::uint8_t>(i);
    in.Skip();
    int rgb[3];
    for (int& c : rgb) {
      const int high = Hex(in.Take());
      c = high * 16 + Hex(in.Take());
    }
    std::uint8_t* entry = b.dib + kTbmHeaderSize + 4 * i;
    entry[0] = static_cast<std::uint8_t>(rgb[2]);
    entry[1] = static_cast<std::uint8_t>(rgb[1]);
    entry[2] = static_cast<std::uint8_t>(rgb[0]);
  }
  std::uint8_t* pixels = b.dib + kTbmHeaderSize + 4 * b.colours;
  // The first text row is the picture's top: the last row of the block.
  for (int y = b.height - 1; y >= 0 && in.p < in.end; --y) {
    in.Skip();
    std::uint8_t* line = pixels + row * static_cast<std::size_t>(y);
    for (int x = 0; x < b.width && in.p < in.end; ++x) line[x] = map[static_cast<unsigned char>(in.Take())];
  }
  *out = b;
  return true;
}

void FreeTextBitmap(TextBitmap* bitmap) {
  if (!bitmap) return;
  std::free(bitmap->dib);
  *bitmap = TextBitmap{};
}

namespace {
int Fit(int along, int across, int target, std::int32_t* alongOut, std::int32_t* acrossOut) {
  if (along <= 0) return 0;
  const long long result = (static_cast<long long>(across) * target + along) / along;
  const int value = static_cast<int>(result > 0x7FFFFFFF ? 0x7FFFFFFF : result < -0x7FFFFFFF ? -0x7FFFFFFF : result);
  if (value < 8) return value;
  *acrossOut = value;
  *alongOut = target;
  return target;
}
}  // namespace

int FitToWidth(int naturalWidth, int naturalHeight, int target, std::int32_t* width,
               std::int32_t* height) {
  return Fit(naturalWidth, naturalHeight, target, width, height);
}

int FitToHeight(int naturalWidth, int naturalHeight, int target, std::int32_t* width,
                std::int32_t* height) {
  return Fit(naturalHeight, naturalWidth, target, height, width);
}

int ReadSizeAttribute(const char* text) {
  if (!text || !*text) return 0;
  long long value = 0;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9') return 0;
    value = value * 10 + (*p - '0');
    if (value > 32767) return 0;
  }
  return static_cast<int>(value);
}

}  // namespace qs::viewer
