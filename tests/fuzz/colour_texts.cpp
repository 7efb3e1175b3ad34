// Colour texts of any bytes: an entry for every text, found again by its
// own name, and a definition that changes it in place.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/engine_lists.h"
#include "style/colors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.c_str();  // up to the first NUL, as the engine reads texts
  qs::ColorTable table;
  qs::ColorEntry* entry = table.LookupOrAdd(text.c_str());
  if (!entry) std::abort();
  if (table.LookupOrAdd(entry->Name()) != entry) std::abort();
  if (table.LookupOrAdd(text.c_str()) != entry) std::abort();
  if (table.Define(text.c_str(), 1, 2, 3) != entry || entry->Rgb() != 0x010203u) std::abort();
  char name[qs::kColorNameMax + 1];
  std::uint8_t rgb[3];
  const std::size_t n = qs::NormalizeColorName(text.c_str(), name);
  if (n > qs::kColorNameMax) std::abort();
  qs::ParseHexColor(name, n, rgb);
  return 0;
}
