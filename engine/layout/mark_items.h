// Items that only the formatter makes, for the document's record-end and
// tab marks.
#pragma once
#include <cstdint>

#include "layout/layout_item.h"

namespace qs {

// A tab: as wide as the gap line breaking gives it (10 until then); it
// stands for one position and copies as one TAB.
class TabItem : public LayoutItem {
 public:
  TabItem(std::int32_t position, TextFormat* format) : LayoutItem(position, format) {}
  int GetWidth() override { return width_; }
  int SkipForPosition() override { return 1; }
  std::int32_t GetTextLength(std::int32_t, std::int32_t) override { return 1; }
  std::int32_t CopyText(std::int32_t, std::int32_t, char* output, std::size_t room) override;
  void SetTabGap(int gap) override { width_ = static_cast<std::int16_t>(gap); }

 private:
  std::int16_t width_ = 10;
};

// An empty line of the document, or an empty line of generated text: as
// high as its format's font and as wide as the first-line indent.
class RecordEndItem : public LayoutItem {
 public:
  RecordEndItem(std::int32_t position, TextFormat* format) : LayoutItem(position, format) {}
  int GetAscent() override;
  int GetDescent() override;
  int GetWidth() override { return FirstIndent(); }
};

}  // namespace qs
