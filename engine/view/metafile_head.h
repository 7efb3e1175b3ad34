// The byte-level parts of metafile pictures, apart from the platform: the
// head of a placeable Windows metafile, and what the CGM import filter is
// handed and answers (its version resource, the settings block, the file
// specification and the picture's size).
#pragma once
#include <cstddef>
#include <cstdint>

namespace qs {

inline constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7u;
inline constexpr std::size_t kPlaceableHeadSize = 22;
inline constexpr std::size_t kMetaHeaderSize = 18;

struct MetafileHead {
  std::int16_t left, top, right, bottom;
  std::uint16_t unitsPerInch;
  // The metafile after the 22-byte head: its size in bytes (header
  // included) and where it starts in the file.
  std::size_t metafileBytes;
  std::size_t metafileOffset;
  std::int16_t width, height;  // pixels at the given resolution
};

// Reads the head of a placeable metafile of `size` bytes. False (nothing
// to allocate) for another key, a metafile header other than type 1 or 2
// of 9 words, a size under 9 words or past the file's end, 0 units per
// inch, or a picture that comes out 0 pixels wide or high. A box given
// right to left or bottom to top has the same size.
bool ReadPlaceableHead(const std::uint8_t* data, std::size_t size, int dpiX, int dpiY,
                       MetafileHead* out);

// ---- The CGM import filter ---------------------------------------------------------------

// The interface a filter's version resource (the block of resource 1 of
// type 16) selects: 2 for file version ending 29.0, 1 for 30.0, else 0 (also
// for a block too short or without the version key and signature).
int CgmInterfaceFromVersion(const std::uint8_t* resource, std::size_t size);

inline constexpr std::size_t kCgmSettingsSize = 1546;
inline constexpr std::size_t kCgmFontPathAt = 261;
inline constexpr std::size_t kCgmFolderAt = 617;
inline constexpr std::size_t kCgmLogPathAt = 1230;
inline constexpr std::size_t kCgmValueAt = 1542;
// Fills the settings block the filter handed out: the font configuration
// path in `folder`, the folder, the log path in `tempDir` and the value 2.
// False, with the block untouched, when it is smaller than 1546 bytes or a
// text does not fit its slot.
bool FillCgmSettings(std::uint8_t* block, std::size_t blockSize, const char* folder,
                     const char* tempDir);

inline constexpr std::size_t kCgmFileSpecSize = 276;
inline constexpr std::size_t kCgmFileSpecPathAt = 8;
// The 276-byte file specification with the path at byte 8; false when the
// path does not fit.
bool MakeCgmFileSpec(std::uint8_t* spec, const char* path);

// The picture's size from its box and units per inch, measured in 64
// bits; interface 1 reads the units as signed, 2 as unsigned. False for 0
// (or negative) units or a size of 0; sizes are cut to 32767.
bool CgmPictureSize(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                    std::uint16_t units, int iface, int dpiX, int dpiY, std::int16_t* width,
                    std::int16_t* height);

}  // namespace qs
