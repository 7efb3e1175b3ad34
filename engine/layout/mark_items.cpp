#include "layout/mark_items.h"

namespace qs {

std::int32_t TabItem::CopyText(std::int32_t, std::int32_t, char* output, std::size_t room) {
  if (room == 0) return 0;
  output[0] = '\t';
  return 1;
}

int RecordEndItem::GetAscent() {
  Font* font = GetFont();
  return font ? font->ascent : 0;
}

int RecordEndItem::GetDescent() {
  Font* font = GetFont();
  return font ? font->descent : 0;
}

}  // namespace qs
