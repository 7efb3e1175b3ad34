// Automatic numbering in front of an element's text: a CounterItem shows
// one number, a ListNumberItem the numbers of every level of the current
// list. Numbering values hold the count in their low 13 bits and the
// number style in the top 3. Both make one NumberBox with the finished
// label.
#pragma once
#include <cstdint>

#include "layout/display_box.h"

namespace qs {

class CounterItem : public LayoutItem {
 public:
  CounterItem(std::int32_t position, std::uint16_t value, TextFormat* format)
      : LayoutItem(position, format), value_(value) {}
  int GetAscent() override;
  int GetDescent() override;
  // The number, a full stop and a blank.
  void MakeBoxes(ListHead& boxes) override;
  std::uint16_t Value() const { return value_; }

 private:
  std::uint16_t value_;
};

class ListNumberItem : public LayoutItem {
 public:
  // Copies the levels (outermost first) into the pool.
  ListNumberItem(GlobalArena& pool, std::int32_t position, const std::uint16_t* levels,
                 std::uint8_t count, TextFormat* format);
  int GetAscent() override;
  int GetDescent() override;
  // Each level's number and a full stop, then a blank; levels that would
  // not fit the label's 256 bytes are left out.
  void MakeBoxes(ListHead& boxes) override;
  // The label into `buffer` (256 bytes); returns its length.
  int Label(char* buffer) const;

 private:
  std::uint16_t* levels_;
  std::uint8_t count_;
};

class NumberBox : public DisplayBox {
 public:
  NumberBox(LayoutItem* item, const char* label);
  ~NumberBox() override;
  int GetWidth() override { return width_; }
  void Draw(int x, int y) override;
  const char* Label() const { return label_ ? label_ : ""; }

 private:
  char* label_;
  std::int16_t width_ = 0;
};

}  // namespace qs
