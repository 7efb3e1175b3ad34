// Hot-area attribute values, polygon text and hit tests of any bytes, and
// placeable metafile heads: values stay in their ranges, tests end, and
// nothing is read outside the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "view/hot_areas.h"
#include "view/metafile_head.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  std::string text(bytes, size);
  text = text.c_str();
  (void)qs::ReadAreaNumber(text.c_str());
  std::int16_t zoom = qs::ReadAreaZoom(text.c_str());
  if (zoom < 0) std::abort();

  qs::PolygonReader reader;
  reader.Feed(bytes, size / 2);
  reader.Feed(bytes + size / 2, size - size / 2);
  int count = reader.Finish();
  if (count < 0 || count > qs::kAreaMaxPoints) std::abort();
  for (int i = 0; i < count; ++i)
    if (reader.Points()[i].x < 0 || reader.Points()[i].x > 2047 || reader.Points()[i].y < 0 ||
        reader.Points()[i].y > 2047)
      std::abort();
  qs::Region area;
  if (size >= 8) {
    std::int16_t v[4];
    std::memcpy(v, data, sizeof v);
    area.x = v[0], area.y = v[1], area.width = v[2], area.height = v[3];
  }
  area.SetPoints(reader.Points(), count);
  qs::Placement placed{0, 0, size > 9 ? data[8] : 0, size > 9 ? data[9] : 1};
  for (int y = -2; y < 260; y += 7)
    for (int x = -2; x < 260; x += 7) (void)qs::HitTestAreas(&area, placed, nullptr, x, y);

  qs::MetafileHead head;
  if (qs::ReadPlaceableHead(data, size, 96, 96, &head)) {
    if (head.width <= 0 || head.height <= 0) std::abort();
    if (head.metafileOffset + head.metafileBytes > size) std::abort();
  }
  return 0;
}
