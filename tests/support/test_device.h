// A device with fixed metrics that draws into a text log, its font, a
// document view on it, and items whose boxes are given by a table row:
// enough to lay out, break, draw and hit-test without a window.
//
// Metrics: at 10 pt and 72 dpi a character is 6 units wide, the ascent 8
// and the descent 2; all three scale with the size and the resolution.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "layout/display_box.h"
#include "layout/layout_item.h"
#include "view/current_view.h"
#include "view/document_view.h"
#include "view/output_device.h"

namespace qs::test {

class TestFont : public Font {
 public:
  TestFont(const char* face, std::uint16_t size, bool italic, bool bold, int dpiX, int dpiY)
      : Font(face, size, italic, bold), dpiX_(dpiX) {
    ascent = static_cast<std::int16_t>(8L * size * dpiY / (1000L * 72));
    descent = static_cast<std::int16_t>(2L * size * dpiY / (1000L * 72));
  }
  int CharWidth() const { return static_cast<int>(6L * Size() * dpiX_ / (1000L * 72)); }

 protected:
  int Extent8(const char*, std::size_t length) override { return static_cast<int>(length) * CharWidth(); }
  int Extent16(const std::uint16_t*, std::size_t count) override {
    return static_cast<int>(count) * CharWidth();
  }

 private:
  int dpiX_;
};

class TestDevice : public OutputDevice {
 public:
  explicit TestDevice(int dpi = 72, int w = 600, int h = 400) : fonts_(this) {
    dpiX = dpiY = static_cast<std::int16_t>(dpi);
    width = pendingWidth = static_cast<std::int16_t>(w);
    height = pendingHeight = static_cast<std::int16_t>(h);
  }
  void SelectFont(Font*) override { ++fontSelects; }
  void SelectColor(DeviceColor*) override { ++colorSelects; }
  Font* GetFont(const char* face, std::uint16_t size, bool italic, bool bold) override {
    return static_cast<Font*>(fonts_.LookupOrAdd(face, size, italic, bold));
  }
  // Colours from a table of the device's own, so no engine is needed.
  DeviceColor* GetColor(const char* name) override { return colours.LookupOrAdd(name); }
  void DrawLine(int x1, int y1, int x2, int y2) override { Log("LINE %d %d %d %d", x1, y1, x2, y2); }
  void InvertRect(int l, int t, int r, int b) override { Log("INVERT %d %d %d %d", l, t, r, b); }
  void DrawText(int x, int y, const char* text, std::size_t length) override {
    log += "TEXT " + std::to_string(x) + " " + std::to_string(y) + " " +
           std::string(text, length) + "\n";
  }
  void DrawIcon(int index, int x, int y, int look) override {
    Log("ICON %d %d %d %d", index, x, y, look);
  }

  ColorTable colours;
  std::string log;
  int fontSelects = 0;
  int colorSelects = 0;

 private:
  template <class... Args>
  void Log(const char* format, Args... args) {
    char line[128];
    std::snprintf(line, sizeof line, format, args...);
    log += line;
    log += "\n";
  }
  class Fonts : public FontTable {
   public:
    explicit Fonts(TestDevice* device) : device_(device) {}
    FontEntry* MakeEntry(const char* face, std::uint16_t size, bool italic, bool bold) override {
      return new TestFont(face, size, italic, bold, device_->dpiX, device_->dpiY);
    }

   private:
    TestDevice* device_;
  };
  Fonts fonts_;
};

class TestView : public DocumentView {
 public:
  explicit TestView(OutputDevice* device) : DocumentView(nullptr, device, 0) {}
};

// A view showing a frame: its items lay out, draw and copy their text.
class ShownFrameView : public DocumentView {
 public:
  ShownFrameView(FrameTreeNode* frame, OutputDevice* device) : DocumentView(frame, device, 0) {}
};

// One box as a table row gives it.
struct BoxSpec {
  int width = 10;
  bool breakAfter = true;
  bool forced = false;
  int left = 0, right = 0;
  int leading = 0;
  int spaceAbove = 0;
  int ascent = 8, descent = 2;
  int justify = 0;
  int offset = 0;
  int length = 1;
  int lineStyle = 0;
  bool changeBar = false;
};

class SpecItem : public LayoutItem {
 public:
  SpecItem(std::int32_t position, const BoxSpec& spec) : LayoutItem(position, nullptr), spec(spec) {}
  std::int32_t GetLength() override { return spec.length; }
  int BreaksBefore() override { return spec.forced; }
  int GetAscent() override { return spec.ascent; }
  int GetDescent() override { return spec.descent; }
  int GetSpaceAbove() override { return spec.spaceAbove; }
  int GetWidth() override { return spec.width; }
  int LeftIndent() override { return spec.left; }
  int RightIndent() override { return spec.right; }
  int Leading() override { return spec.leading; }
  int Justify() override { return spec.justify; }
  int BaselineOffset() override { return spec.offset; }
  int LineStyle() override { return spec.lineStyle; }
  int ChangeBar() override { return spec.changeBar; }
  void MakeBoxes(ListHead& boxes) override;
  BoxSpec spec;
};

// Narrows itself when split; a position inside it lies in proportion.
class SpecBox : public DisplayBox {
 public:
  explicit SpecBox(SpecItem* item) : DisplayBox(item), width(item->spec.width) {}
  SpecItem* Spec() const { return static_cast<SpecItem*>(Item()); }
  int CanBreakAfter() override { return Spec()->spec.breakAfter; }
  int GetWidth() override { return width; }
  void SplitAt(int w) override {
    if (w < width) width = w < 0 ? 0 : w;
  }
  void SetTabGap(int gap) override { tabGap = gap; }
  std::int32_t PositionAt(int x, int) override {
    const int length = GetLength();
    if (width <= 0 || length <= 0) return GetStart();
    int offset = x * length / width;
    if (offset < 0) offset = 0;
    if (offset > length) offset = length;
    return GetStart() + offset;
  }
  void PointOf(std::int32_t position, int* x, int* y) override {
    const int length = GetLength();
    *x = length > 0 ? (position - GetStart()) * width / length : 0;
    *y = 0;
  }
  void Draw(int x, int y) override {
    if (auto* device = static_cast<TestDevice*>(CurrentDevice()))
      device->log += "BOX " + std::to_string(GetStart()) + " " + std::to_string(x) + " " +
                     std::to_string(y) + "\n";
  }
  void HighlightRanges(MarkRecord& r) override {
    if (auto* device = CurrentDevice()) device->InvertRect(r.x, r.top, r.x + width, r.top + r.height);
  }
  int width;
  int tabGap = -1;
};

inline void SpecItem::MakeBoxes(ListHead& boxes) { boxes.Append(new SpecBox(this)); }

// Items made from rows, at positions 0, 1, ... (each row's length apart).
class SpecItems {
 public:
  explicit SpecItems(const std::vector<BoxSpec>& rows) {
    std::int32_t position = 0;
    for (const BoxSpec& row : rows) {
      list.Append(new (pool) SpecItem(position, row));
      position += row.length;
    }
  }
  ~SpecItems() { list.DeleteAll(); }
  SpecItem* First() const { return static_cast<SpecItem*>(list.First()); }
  Pool pool;
  ListHead list;
};

}  // namespace qs::test
