#include "view/image_readers.h"

#include <cstring>
#include <initializer_list>

#include "foundation/engine_lists.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "foundation/win_utils.h"

namespace qs {

namespace {

std::uint32_t U32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}
std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
void Put32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v), p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16), p[3] = static_cast<std::uint8_t>(v >> 24);
}
void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v), p[1] = static_cast<std::uint8_t>(v >> 8);
}

void WriteHeader(std::uint8_t* h, std::int32_t width, std::int32_t height, int bitCount,
                 std::uint32_t imageSize, std::uint32_t colors) {
  std::memset(h, 0, kDibHeaderSize);
  Put32(h, kDibHeaderSize);
  Put32(h + 4, static_cast<std::uint32_t>(width));
  Put32(h + 8, static_cast<std::uint32_t>(height));
  Put16(h + 12, 1);
  Put16(h + 14, static_cast<std::uint16_t>(bitCount));
  Put32(h + 20, imageSize);
  Put32(h + 32, colors);
}

struct DibLayout {
  std::uint64_t rowBytes, imageBytes, maskRowBytes, maskBytes, total;
};

bool Layout(std::int32_t width, std::int32_t height, int bitCount, int colors, bool withMask,
            DibLayout* out) {
  if (width < 1 || height < 1 || width > kBmpMaxSide || height > kBmpMaxSide) return false;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8) return false;
  if (colors < 0 || colors > 256) return false;
  out->rowBytes = DibRowBytes(width, bitCount);
  out->imageBytes = out->rowBytes * static_cast<std::uint64_t>(height);
  out->maskRowBytes = withMask ? DibRowBytes(width, 1) : 0;
  out->maskBytes = withMask ? kDibHeaderSize + 8 + out->maskRowBytes * height : 0;
  out->total = kDibHeaderSize + 4u * colors + out->imageBytes + out->maskBytes;
  return true;
}

// The block with its headers and colour table written and cleared; the
// pixel area is cleared only with `clearBits` (ReadBmp clears what it does
// not fill itself).
std::uint8_t* MakeDib(std::int32_t width, std::int32_t height, int bitCount, int colors,
                      bool withMask, bool clearBits) {
  DibLayout l;
  if (!Layout(width, height, bitCount, colors, withMask, &l)) return nullptr;
  if (l.total > SIZE_MAX / 2) return nullptr;
  auto* block = static_cast<std::uint8_t*>(AllocGlobalBlock(static_cast<std::size_t>(l.total)));
  if (!block) return nullptr;
  WriteHeader(block, width, height, bitCount, static_cast<std::uint32_t>(l.imageBytes),
              static_cast<std::uint32_t>(colors));
  std::uint8_t* colorTable = block + kDibHeaderSize;
  std::memset(colorTable, 0, 4u * colors);
  std::uint8_t* bits = colorTable + 4u * colors;
  if (clearBits) std::memset(bits, 0, static_cast<std::size_t>(l.imageBytes));
  if (withMask) {
    std::uint8_t* mask = bits + l.imageBytes;
    WriteHeader(mask, width, height, 1, static_cast<std::uint32_t>(l.maskRowBytes * height), 2);
    std::uint8_t* table = mask + kDibHeaderSize;
    std::memset(table, 0, 8);
    table[4] = table[5] = table[6] = 255;
    std::memset(table + 8, 0, static_cast<std::size_t>(l.maskRowBytes * height));
  }
  return block;
}

}  // namespace

std::uint64_t DibRowBytes(std::int64_t width, int bitCount) {
  if (width <= 0 || bitCount <= 0) return 0;
  return (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bitCount) + 31) / 32 * 4;
}

std::uint8_t* CreateDib(std::int32_t width, std::int32_t height, int bitCount, int colors,
                        bool withMask) {
  return MakeDib(width, height, bitCount, colors, withMask, true);
}

DibView ViewDib(std::uint8_t* block, bool withMask) {
  DibView v;
  if (!block) return v;
  v.width = static_cast<std::int32_t>(U32(block + 4));
  v.height = static_cast<std::int32_t>(U32(block + 8));
  v.bitCount = U16(block + 14);
  v.compression = U32(block + 16);
  v.imageSize = U32(block + 20);
  v.colorsUsed = U32(block + 32);
  v.colors = block + kDibHeaderSize;
  v.bits = v.colors + 4u * v.colorsUsed;
  if (withMask && v.compression == 0) {
    v.maskHeader = v.bits + DibRowBytes(v.width, v.bitCount) * v.height;
    v.maskBits = v.maskHeader + kDibHeaderSize + 8;
    v.maskRowBytes = DibRowBytes(v.width, 1);
  }
  return v;
}

std::size_t DibBlockSize(const std::uint8_t* block, bool withMask) {
  if (!block) return 0;
  DibView v = ViewDib(const_cast<std::uint8_t*>(block), withMask);
  std::size_t size = kDibHeaderSize + 4u * v.colorsUsed;
  size += v.compression ? v.imageSize : DibRowBytes(v.width, v.bitCount) * v.height;
  if (v.maskHeader) size += kDibHeaderSize + 8 + v.maskRowBytes * v.height;
  return size;
}

int DibPixelIndex(const DibView& dib, int x, int y) {
  if (!dib.bits || dib.compression || x < 0 || y < 0 || x >= dib.width || y >= dib.height)
    return -1;
  const std::uint8_t* row = dib.bits + DibRowBytes(dib.width, dib.bitCount) * (dib.height - 1 - y);
  switch (dib.bitCount) {
    case 1: return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4: return x % 2 ? row[x / 2] & 15 : row[x / 2] >> 4;
    case 8: return row[x];
  }
  return -1;
}

int DibMaskBit(const DibView& dib, int x, int y) {
  if (!dib.maskBits || x < 0 || y < 0 || x >= dib.width || y >= dib.height) return -1;
  const std::uint8_t* row = dib.maskBits + dib.maskRowBytes * (dib.height - 1 - y);
  return (row[x / 8] >> (7 - x % 8)) & 1;
}

// ---- BMP ---------------------------------------------------------------------------

std::uint8_t* ReadBmp(Stream& stream) {
  std::uint8_t fileHeader[14];
  if (stream.Read(fileHeader, sizeof fileHeader) != sizeof fileHeader) return nullptr;
  if (fileHeader[0] != 'B' || fileHeader[1] != 'M') return nullptr;
  std::uint8_t info[kDibHeaderSize];
  if (stream.Read(info, sizeof info) != sizeof info || U32(info) != kDibHeaderSize) return nullptr;
  const auto width = static_cast<std::int32_t>(U32(info + 4));
  // A negative height is a top-down picture, which the drawing code does
  // not expect: refused like any other side out of range.
  const auto height = static_cast<std::int32_t>(U32(info + 8));
  if (width < 1 || height < 1 || width > kBmpMaxSide || height > kBmpMaxSide) return nullptr;
  const int bitCount = U16(info + 14);
  if (bitCount != 1 && bitCount != 4 && bitCount != 8) return nullptr;
  const std::uint32_t compression = U32(info + 16);
  // Run-length data only in the depth it is defined for.
  if (compression != 0 && !(compression == 1 && bitCount == 8) &&
      !(compression == 2 && bitCount == 4))
    return nullptr;
  const int maxColors = 1 << bitCount;
  const std::uint32_t used = U32(info + 32);
  if (used > static_cast<std::uint32_t>(maxColors)) return nullptr;
  const int colors = used ? static_cast<int>(used) : maxColors;
  std::int64_t imageBytes = U32(info + 20);
  if (imageBytes == 0) {
    if (compression) return nullptr;
    imageBytes = static_cast<std::int64_t>(U32(fileHeader + 2)) - U32(fileHeader + 10);
    if (imageBytes < 0) imageBytes = 0;
  }
  std::uint8_t* block = MakeDib(width, height, bitCount, colors, false, false);
  if (!block) return nullptr;
  Put32(block + 16, compression);
  std::memcpy(block + 24, info + 24, 8);  // resolutions
  std::memcpy(block + 36, info + 36, 4);  // colours important
  std::uint8_t* table = block + kDibHeaderSize;
  if (stream.Read(table, 4u * colors) != 4u * colors) {
    FreeGlobalBlock(block);
    return nullptr;
  }
  // Bytes between the colour table and the bits (a larger header's rest,
  // or padding) are skipped.
  const std::uint64_t offset = U32(fileHeader + 10);
  std::uint64_t consumed = 14 + kDibHeaderSize + 4u * colors;
  std::uint8_t scratch[512];
  while (consumed < offset) {
    std::uint64_t want = offset - consumed;
    if (want > sizeof scratch) want = sizeof scratch;
    std::size_t got = stream.Read(scratch, static_cast<std::size_t>(want));
    if (got == 0) break;
    consumed += got;
  }
  std::uint8_t* bits = table + 4u * colors;
  const std::uint64_t area = DibRowBytes(width, bitCount) * static_cast<std::uint64_t>(height);
  std::uint64_t want = static_cast<std::uint64_t>(imageBytes) < area
                           ? static_cast<std::uint64_t>(imageBytes)
                           : area;
  std::size_t got = stream.Read(bits, static_cast<std::size_t>(want));
  // What a short file leaves is cleared, never shown as old heap bytes.
  std::memset(bits + got, 0, static_cast<std::size_t>(area - got));
  // A compressed picture's size is the run-length bytes actually there, so
  // that its decoder never reads past them.
  Put32(block + 20, compression ? static_cast<std::uint32_t>(got) : static_cast<std::uint32_t>(area));
  return block;
}

// ---- The X readers' lexer -------------------------------------------------------------

const std::uint8_t* XCharClasses() {
  static const struct Table {
    std::uint8_t c[256];
    Table() : c{} {
      for (int ch : {' ', '\t', '\n', '\r'}) c[ch] |= kXWhite;
      for (int ch = 0; ch < 256; ++ch) {
        bool letter = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
        bool digit = ch >= '0' && ch <= '9';
        if (letter || digit || ch == '#' || ch == '%' || ch == '_' || ch == '-' || ch == '.')
          c[ch] |= kXName;
        bool hexLetter = (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
        if (digit || hexLetter) c[ch] |= kXNumber | kXHex;
        if (digit) c[ch] |= static_cast<std::uint8_t>(ch - '0');
        if (hexLetter) c[ch] |= static_cast<std::uint8_t>((ch | 0x20) - 'a' + 10);
      }
    }
  } table;
  return table.c;
}

namespace {

constexpr int kEnd = -1;

class XLexer {
 public:
  explicit XLexer(Stream& stream) : stream_(stream), cls_(XCharClasses()) {}

  int Get() {
    if (back_ != kNone) {
      int c = back_;
      back_ = kNone;
      return c;
    }
    int c = stream_.GetChar();
    if (c == 0 && stream_.State() == Stream::kAtEnd) return kEnd;
    return c;
  }
  void Unget(int c) { back_ = c; }
  bool Is(int c, std::uint8_t cls) const { return c >= 0 && (cls_[c] & cls); }
  void SkipWhite() {
    int c;
    while (Is(c = Get(), kXWhite)) {
    }
    Unget(c);
  }
  // Name (or number) characters after white space, at most `max` of them;
  // -1 when more follow. The character after the token stays unread.
  int Token(char* out, int max, std::uint8_t cls) {
    SkipWhite();
    int n = 0;
    int c = Get();
    while (Is(c, cls)) {
      if (n == max) return -1;
      out[n++] = static_cast<char>(c);
      c = Get();
    }
    out[n] = 0;
    Unget(c);
    return n;
  }
  // A number token (at most four number characters) read as decimal; -1
  // when there is none or it is not decimal.
  int Number() {
    char text[5];
    int n = Token(text, 4, kXNumber);
    if (n <= 0) return -1;
    int value = 0;
    for (int i = 0; i < n; ++i) {
      if (text[i] < '0' || text[i] > '9') return -1;
      value = value * 10 + (text[i] - '0');
    }
    return value;
  }
  // The next character after white space and comments; kEnd at the end,
  // kBad for a "/" that opens no comment.
  static constexpr int kBad = -2;
  int Significant() {
    for (;;) {
      int c = Get();
      if (Is(c, kXWhite)) continue;
      if (c != '/') return c;
      if (Get() != '*') return kBad;
      int previous = 0;
      for (;;) {
        c = Get();
        if (c == kEnd) return kEnd;
        if (previous == '*' && c == '/') break;
        previous = c;
      }
    }
  }
  bool Expect(int wanted) { return Significant() == wanted; }
  // The bytes buffered in the stream (none while a character is pushed
  // back): a run of pixels is taken in place and consumed with Skip.
  const std::uint8_t* Buffered(std::size_t* n) const {
    if (back_ != kNone) {
      *n = 0;
      return nullptr;
    }
    return stream_.Buffered(n);
  }
  void Skip(std::size_t n) { stream_.Skip(n); }
  const std::uint8_t* Classes() const { return cls_; }

 private:
  static constexpr int kNone = -3;
  Stream& stream_;
  const std::uint8_t* cls_;
  int back_ = kNone;
};

std::uint8_t Reverse(std::uint8_t b) {
  b = static_cast<std::uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = static_cast<std::uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return static_cast<std::uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

}  // namespace

// ---- XBM ---------------------------------------------------------------------------------

std::uint8_t* ReadXbm(Stream& stream) {
  XLexer lex(stream);
  char word[128];
  int sides[2];
  for (int& side : sides) {
    if (lex.Token(word, 10, kXName) <= 0 || std::strcmp(word, "#define") != 0) return nullptr;
    if (lex.Token(word, 127, kXName) < 0) return nullptr;
    side = lex.Number();
    if (side < 1 || side > kXImageMaxSide) return nullptr;
  }
  // Further definitions (the hot spot's) come before the array.
  int n;
  while ((n = lex.Token(word, 10, kXName)) > 0 && std::strcmp(word, "#define") == 0) {
    if (lex.Token(word, 127, kXName) < 0 || lex.Number() < 0) return nullptr;
  }
  if (n > 0 && std::strcmp(word, "static") == 0) n = lex.Token(word, 10, kXName);
  if (n <= 0 || std::strcmp(word, "char") != 0) return nullptr;
  if (lex.Token(word, 127, kXName) < 0) return nullptr;
  for (int c : {'[', ']', '=', '{'}) {
    lex.SkipWhite();
    if (lex.Get() != c) return nullptr;
  }
  const int width = sides[0], height = sides[1];
  std::uint8_t* block = CreateDib(width, height, 1, 2, false);
  if (!block) return nullptr;
  DibView dib = ViewDib(block);
  dib.colors[0] = dib.colors[1] = dib.colors[2] = 255;  // 0 white, 1 black
  const std::uint64_t rowBytes = DibRowBytes(width, 1);
  const int perRow = (width + 7) / 8;
  const std::uint8_t* cls = lex.Classes();
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = dib.bits + rowBytes * (height - 1 - y);
    for (int i = 0; i < perRow; ++i) {
      lex.SkipWhite();
      if (lex.Get() != '0' || lex.Get() != 'x') return block;
      int high = lex.Get(), low = lex.Get();
      if (high < 0 || low < 0) return block;
      row[i] = Reverse(static_cast<std::uint8_t>((cls[high] & 15) << 4 | (cls[low] & 15)));
      lex.SkipWhite();
      if (lex.Get() == kEnd) return block;
    }
  }
  return block;
}

// ---- XPM ---------------------------------------------------------------------------------

namespace {

constexpr int kValueMax = 120;

int KeyRank(const char* word) {
  if (!std::strcmp(word, "c")) return 53;
  if (!std::strcmp(word, "g")) return 4;
  if (!std::strcmp(word, "g4")) return 3;
  if (!std::strcmp(word, "m")) return 2;
  if (!std::strcmp(word, "s")) return 1;
  return 0;
}

// One colour line after its pixel character: the value of the best key
// into `value`. False on a malformed line.
bool ReadColorWords(XLexer& lex, char* value) {
  char word[kValueMax + 1];
  if (lex.Token(word, 10, kXName) <= 0) return false;
  int best = KeyRank(word);
  if (!best) return false;
  if (lex.Token(value, kValueMax, kXName) < 0) return false;
  bool currentIsBest = true;
  for (;;) {
    lex.SkipWhite();
    int c = lex.Get();
    if (c == '"') return true;
    if (!lex.Is(c, kXName)) return false;
    lex.Unget(c);
    if (lex.Token(word, kValueMax, kXName) < 0) return false;
    int rank = KeyRank(word);
    int after = lex.Get();
    lex.Unget(after);
    if (rank && lex.Is(after, kXWhite)) {
      char next[kValueMax + 1];
      if (lex.Token(next, kValueMax, kXName) < 0) return false;
      currentIsBest = rank > best;
      if (currentIsBest) {
        best = rank;
        std::strcpy(value, next);
      }
    } else if (currentIsBest) {
      // Names of several words ("light grey") join without the blank; a
      // value that outgrows its room fails the picture.
      std::size_t have = std::strlen(value), add = std::strlen(word);
      if (have + add > kValueMax) return false;
      std::memcpy(value + have, word, add + 1);
    }
  }
}

}  // namespace

std::uint8_t* ReadXpm(Stream& stream, ColorTable& colors, bool maskWanted, bool* maskAdded) {
  if (maskAdded) *maskAdded = false;
  XLexer lex(stream);
  char word[128];
  lex.SkipWhite();
  if (lex.Get() != '/' || lex.Get() != '*') return nullptr;
  if (lex.Token(word, 10, kXName) <= 0 || std::strcmp(word, "XPM") != 0) return nullptr;
  lex.SkipWhite();
  if (lex.Get() != '*' || lex.Get() != '/') return nullptr;

  int c = lex.Significant();
  if (!lex.Is(c, kXName)) return nullptr;
  lex.Unget(c);
  if (lex.Token(word, 10, kXName) <= 0) return nullptr;
  if (!std::strcmp(word, "static")) {
    c = lex.Significant();
    if (!lex.Is(c, kXName)) return nullptr;
    lex.Unget(c);
    if (lex.Token(word, 10, kXName) <= 0) return nullptr;
  }
  if (std::strcmp(word, "char") != 0 || !lex.Expect('*')) return nullptr;
  c = lex.Significant();
  if (!lex.Is(c, kXName)) return nullptr;
  lex.Unget(c);
  if (lex.Token(word, 127, kXName) <= 0) return nullptr;
  for (int wanted : {'[', ']', '=', '{', '"'})
    if (!lex.Expect(wanted)) return nullptr;

  const int width = lex.Number(), height = lex.Number(), count = lex.Number(),
            perPixel = lex.Number();
  if (width < 1 || width > kXImageMaxSide || height < 1 || height > kXImageMaxSide) return nullptr;
  if (count < 1 || count > 256 || perPixel != 1) return nullptr;
  lex.SkipWhite();
  c = lex.Get();
  if (c != '"') {
    lex.Unget(c);
    if (lex.Number() < 0 || lex.Number() < 0) return nullptr;  // the hot spot
    if (!lex.Expect('"')) return nullptr;
  }
  if (!lex.Expect(',')) return nullptr;

  // Pixel character to palette index; kUndefined draws with entry 0.
  constexpr int kUndefined = -1, kClear = -2;
  int map[256];
  for (int& m : map) m = kUndefined;
  std::uint8_t palette[258][3];
  int entries = 0, whiteIndex = -1;
  bool black = false, needMask = false;
  for (int line = 0; line < count; ++line) {
    if (!lex.Expect('"')) return nullptr;
    int pixel = lex.Get();
    if (pixel < 0) return nullptr;
    char value[kValueMax + 1];
    if (!ReadColorWords(lex, value) || !lex.Expect(',')) return nullptr;
    if (maskWanted && CompareStringNoCase(value, "none") == 0) {
      map[pixel] = kClear;
      needMask = true;
      continue;
    }
    ColorEntry* entry = colors.LookupOrAdd(value);
    std::uint8_t rgb[3] = {0, 0, 0};
    if (entry) rgb[0] = entry->red, rgb[1] = entry->green, rgb[2] = entry->blue;
    if (maskWanted) {
      if (rgb[0] == 255 && rgb[1] == 255 && rgb[2] == 255) whiteIndex = entries;
      if (!rgb[0] && !rgb[1] && !rgb[2]) black = true;
    }
    map[pixel] = entries;
    std::memcpy(palette[entries++], rgb, 3);
  }
  if (needMask) {
    // Transparent pixels are white under a 0 mask bit; black is added only
    // while the table has room (it never passes 256 entries).
    if (whiteIndex < 0) {
      whiteIndex = entries;
      palette[entries][0] = palette[entries][1] = palette[entries][2] = 255;
      ++entries;
    }
    if (!black && entries < 256) {
      palette[entries][0] = palette[entries][1] = palette[entries][2] = 0;
      ++entries;
    }
  }
  const int bitCount = entries <= 16 ? 4 : 8;
  std::uint8_t* block = CreateDib(width, height, bitCount, entries, needMask);
  if (!block) return nullptr;
  if (maskAdded) *maskAdded = needMask;
  DibView dib = ViewDib(block, needMask);
  for (int i = 0; i < entries; ++i) {
    dib.colors[4 * i] = palette[i][2];
    dib.colors[4 * i + 1] = palette[i][1];
    dib.colors[4 * i + 2] = palette[i][0];
  }
  if (lex.Significant() != '"') return block;
  // Each pixel character's palette index and whether it is opaque.
  std::uint8_t pixel[256];
  bool opaque[256];
  for (int c = 0; c < 256; ++c) {
    opaque[c] = map[c] != kClear;
    const int index = map[c] == kClear ? whiteIndex : map[c] < 0 ? 0 : map[c];
    pixel[c] = static_cast<std::uint8_t>(index);
  }
  const std::uint64_t rowBytes = DibRowBytes(width, bitCount);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = dib.bits + rowBytes * (height - 1 - y);
    std::uint8_t* maskRow = needMask ? dib.maskBits + dib.maskRowBytes * (height - 1 - y) : nullptr;
    // Pixels in runs straight from the stream's buffer, each depth in a
    // loop of its own.
    auto put = [&](int x, const std::uint8_t* chars, int count) {
      if (bitCount == 8) {
        for (int i = 0; i < count; ++i) row[x + i] = pixel[chars[i]];
      } else {
        for (int i = 0; i < count; ++i) {
          const int at = x + i;
          if (at % 2 == 0)
            row[at / 2] = static_cast<std::uint8_t>(pixel[chars[i]] << 4);
          else
            row[at / 2] = static_cast<std::uint8_t>(row[at / 2] | pixel[chars[i]]);
        }
      }
      if (maskRow)
        for (int i = 0; i < count; ++i)
          if (opaque[chars[i]]) maskRow[(x + i) / 8] |= static_cast<std::uint8_t>(0x80 >> ((x + i) % 8));
    };
    for (int x = 0; x < width;) {
      std::size_t n = 0;
      const std::uint8_t* run = lex.Buffered(&n);
      if (n == 0) {
        int ch = lex.Get();
        if (ch < 0) return block;
        const std::uint8_t one = static_cast<std::uint8_t>(ch);
        put(x++, &one, 1);
        continue;
      }
      const int take = n < static_cast<std::size_t>(width - x) ? static_cast<int>(n) : width - x;
      put(x, run, take);
      x += take;
      lex.Skip(static_cast<std::size_t>(take));
    }
    int next = lex.Get();
    if (next == kEnd) return block;
    if (next == '"') {
      if (!lex.Expect(',') || !lex.Expect('"')) return block;
    }
  }
  return block;
}

}  // namespace qs
