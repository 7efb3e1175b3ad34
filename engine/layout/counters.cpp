#include "layout/counters.h"

#include <cstring>

#include "foundation/memory.h"
#include "style/style_rules.h"
#include "style/text_format.h"
#include "view/current_view.h"

namespace qs {

namespace {
int FontAscent(LayoutItem* item) {
  Font* font = item->GetFont();
  return font ? font->ascent : 0;
}
int FontDescent(LayoutItem* item) {
  Font* font = item->GetFont();
  return font ? font->descent : 0;
}
}  // namespace

int CounterItem::GetAscent() { return FontAscent(this); }
int CounterItem::GetDescent() { return FontDescent(this); }

void CounterItem::MakeBoxes(ListHead& boxes) {
  char label[256 + 2];
  char* end = FormatNumber(value_, label);
  std::memcpy(end, ". ", 3);
  boxes.Append(new NumberBox(this, label));
}

ListNumberItem::ListNumberItem(GlobalArena& pool, std::int32_t position,
                               const std::uint16_t* levels, std::uint8_t count, TextFormat* format)
    : LayoutItem(position, format), levels_(nullptr), count_(0) {
  if (!count || !levels) return;
  levels_ = static_cast<std::uint16_t*>(pool.Allocate(sizeof(std::uint16_t) * count));
  if (!levels_) return;
  std::memcpy(levels_, levels, sizeof(std::uint16_t) * count);
  count_ = count;
}

int ListNumberItem::GetAscent() { return FontAscent(this); }
int ListNumberItem::GetDescent() { return FontDescent(this); }

int ListNumberItem::Label(char* buffer) const {
  int length = 0;
  for (int i = 0; i < count_; ++i) {
    char number[256];
    const auto n = static_cast<int>(FormatNumber(levels_[i], number) - number);
    // The number, its full stop, the closing blank and the NUL must fit.
    if (length + n + 3 > 256) break;
    std::memcpy(buffer + length, number, static_cast<std::size_t>(n));
    length += n;
    buffer[length++] = '.';
  }
  buffer[length++] = ' ';
  buffer[length] = 0;
  return length;
}

void ListNumberItem::MakeBoxes(ListHead& boxes) {
  char label[256];
  Label(label);
  boxes.Append(new NumberBox(this, label));
}

NumberBox::NumberBox(LayoutItem* item, const char* label)
    : DisplayBox(item), label_(static_cast<char*>(MemAlloc(std::strlen(label) + 1))) {
  if (!label_) return;
  std::strcpy(label_, label);
  if (Font* font = GetFont())
    width_ = static_cast<std::int16_t>(font->MeasureA(label_, std::strlen(label_)));
}

NumberBox::~NumberBox() { MemFree(label_); }

void NumberBox::Draw(int x, int y) {
  OutputDevice* device = CurrentDevice();
  if (!device || !label_) return;
  device->UseTextStyle(Item()->Format());
  device->SetColor(TextColor());
  device->DrawText(x, y, label_, std::strlen(label_));
}

}  // namespace qs
