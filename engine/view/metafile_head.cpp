#include "view/metafile_head.h"

#include <cstring>

#include "foundation/strings.h"

namespace qs {

namespace {

std::uint32_t U32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}
std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

std::int16_t Scale(std::int64_t extent, int dpi, std::int64_t units) {
  if (extent < 0) extent = -extent;
  std::int64_t v = extent * dpi / units;
  return static_cast<std::int16_t>(v > 32767 ? 32767 : v);
}

}  // namespace

bool ReadPlaceableHead(const std::uint8_t* data, std::size_t size, int dpiX, int dpiY,
                       MetafileHead* out) {
  if (!data || size < kPlaceableHeadSize + kMetaHeaderSize) return false;
  if (U32(data) != kPlaceableKey) return false;
  MetafileHead h{};
  h.left = static_cast<std::int16_t>(U16(data + 6));
  h.top = static_cast<std::int16_t>(U16(data + 8));
  h.right = static_cast<std::int16_t>(U16(data + 10));
  h.bottom = static_cast<std::int16_t>(U16(data + 12));
  h.unitsPerInch = U16(data + 14);
  if (h.unitsPerInch == 0) return false;
  const std::uint8_t* meta = data + kPlaceableHeadSize;
  const std::uint16_t type = U16(meta), headerWords = U16(meta + 2);
  if ((type != 1 && type != 2) || headerWords != 9) return false;
  const std::uint64_t words = U32(meta + 6);
  if (words < 9 || words * 2 > size - kPlaceableHeadSize) return false;
  h.metafileBytes = static_cast<std::size_t>(words * 2);
  h.metafileOffset = kPlaceableHeadSize;
  h.width = Scale(std::int64_t{h.right} - h.left, dpiX, h.unitsPerInch);
  h.height = Scale(std::int64_t{h.bottom} - h.top, dpiY, h.unitsPerInch);
  if (h.width <= 0 || h.height <= 0) return false;
  *out = h;
  return true;
}

int CgmInterfaceFromVersion(const std::uint8_t* resource, std::size_t size) {
  if (!resource || size < 56) return 0;
  static const char kKey[] = "VS_VERSION_INFO";
  for (int i = 0; i < 15; ++i)
    if (U16(resource + 6 + 2 * i) != static_cast<std::uint8_t>(kKey[i])) return 0;
  if (U32(resource + 40) != 0xFEEF04BDu) return 0;
  switch (U32(resource + 52)) {
    case 0x001D0000u: return 2;
    case 0x001E0000u: return 1;
  }
  return 0;
}

bool FillCgmSettings(std::uint8_t* block, std::size_t blockSize, const char* folder,
                     const char* tempDir) {
  if (!block || blockSize < kCgmSettingsSize || !folder || !tempDir) return false;
  char font[kCgmFolderAt - kCgmFontPathAt], log[kCgmValueAt - kCgmLogPathAt];
  const std::size_t folderRoom = kCgmLogPathAt - kCgmFolderAt;
  // Each text with its terminator must fit before the next field.
  const std::size_t folderLength = std::strlen(folder), tempLength = std::strlen(tempDir);
  if (folderLength + 14 > sizeof font || tempLength + 14 > sizeof log) return false;
  if (folderLength >= folderRoom) return false;
  FormatString(font, sizeof font, "%s\\ntq_font.cfg", folder);
  FormatString(log, sizeof log, "%s\\ntq_logg.txt", tempDir);
  std::memcpy(block + kCgmFontPathAt, font, std::strlen(font) + 1);
  std::memcpy(block + kCgmFolderAt, folder, std::strlen(folder) + 1);
  std::memcpy(block + kCgmLogPathAt, log, std::strlen(log) + 1);
  block[kCgmValueAt] = 2;
  block[kCgmValueAt + 1] = block[kCgmValueAt + 2] = block[kCgmValueAt + 3] = 0;
  return true;
}

bool MakeCgmFileSpec(std::uint8_t* spec, const char* path) {
  if (!path || std::strlen(path) >= kCgmFileSpecSize - kCgmFileSpecPathAt) return false;
  std::memset(spec, 0, kCgmFileSpecSize);
  std::memcpy(spec + kCgmFileSpecPathAt, path, std::strlen(path) + 1);
  return true;
}

bool CgmPictureSize(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                    std::uint16_t units, int iface, int dpiX, int dpiY, std::int16_t* width,
                    std::int16_t* height) {
  const std::int64_t perInch = iface == 1 ? std::int64_t{static_cast<std::int16_t>(units)} : units;
  if (perInch <= 0) return false;
  const std::int16_t w = Scale(std::int64_t{right} - left, dpiX, perInch);
  const std::int16_t h = Scale(std::int64_t{bottom} - top, dpiY, perInch);
  if (w <= 0 || h <= 0) return false;
  *width = w;
  *height = h;
  return true;
}

}  // namespace qs
