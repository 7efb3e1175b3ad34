// The resolved character and paragraph format that every layout item
// carries, the percentage scale that FONT-SCALE styles push, and the cache
// that shares one format per (style, enclosing format) pair during a
// formatting run.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/memory.h"
#include "style/frame.h"

namespace qs {

class ColorEntry;
class ColorTable;
class Font;
class InternedName;
class StyleProps;

class TextFormat : public RefObject {
 public:
  enum : std::uint16_t {
    kItalic = 0x01, kBold = 0x02,
    kLineMask = 0x0C, kLineOver = 0x04, kLineThrough = 0x08, kLineBelow = 0x0C,
    kJustifyMask = 0x30, kJustifyCenter = 0x10, kJustifyRight = 0x20,
    kLinkSourceHidden = 0x40, kLinkTargetHidden = 0x80, kChangeBar = 0x100,
  };

  // A copy of `base` (or the default: 10 pt, black, nothing else) with
  // `style` merged into it; one reference, held by the caller, who lets go
  // with Release.
  TextFormat(const StyleProps* style, const TextFormat* base);

  void ApplyStyle(const StyleProps& style);

  // Made through the current output device on first use and kept.
  Font* GetFont();
  ColorEntry* ResolveColor();
  ColorEntry* ResolveShadowColor();

  const char* FamilyText() const;       // "*" when unset
  const char* ColorText() const;        // "black" when unset
  const char* ShadowColorText() const;  // "silver" when unset
  bool LinkSourceHidden() const { return flags & kLinkSourceHidden; }
  bool LinkTargetHidden() const { return flags & kLinkTargetHidden; }
  std::uint16_t JustifyBits() const { return flags & kJustifyMask; }
  std::uint16_t LineBits() const { return flags & kLineMask; }
  bool ChangeBar() const { return flags & kChangeBar; }

  InternedName* family = nullptr;
  InternedName* color = nullptr;
  InternedName* shadowColor = nullptr;
  std::uint16_t flags = 0;
  std::uint16_t requestedSize = 1000;
  std::uint16_t displayedSize = 1000;
  std::uint8_t shadow = 0;
  std::int8_t leading = 0;
  std::int8_t baselineOffset = 0;
  std::int16_t leftIndent = 0;
  std::int16_t firstIndent = 0;
  std::int16_t rightIndent = 0;

 private:
  ~TextFormat() override;
  Font* font_ = nullptr;
  ColorEntry* textColor_ = nullptr;
  ColorEntry* shadowColorValue_ = nullptr;
};

// ---- The font scale ----------------------------------------------------------------

inline constexpr int kScaleStackDepth = 64;
// 0 does nothing; else saves the scale and multiplies it by percent / 100.
// Past 64 saved scales the push is counted and changes nothing, and its
// pop is ignored.
void PushScale(int percent);
void PopScale(int percent);
std::int32_t CurrentScale();
int ScaleDepth();
// Pushes beyond the stack's depth that still wait for their pop.
int DroppedScalePushes();

// The size scaled by the current scale and kept within the limits.
std::uint16_t ScaleFontSize(std::uint32_t size);
// The displayed size limits, 600 and 19200 unless a run sets others.
void SetFontSizeLimits(std::uint16_t minimum, std::uint16_t maximum);
std::uint16_t MinFontSize();
std::uint16_t MaxFontSize();
// Back to 100 %, an empty stack and the default limits.
void ResetFontScale();

// ---- The format cache -----------------------------------------------------------------

class FormatCache : public EngineObject {
 public:
  static constexpr int kBuckets = 511;
  FormatCache() = default;
  FormatCache(const FormatCache&) = delete;
  FormatCache& operator=(const FormatCache&) = delete;
  virtual ~FormatCache();

  // The format of the pair, with one reference added for the caller; made
  // on a miss. Null only when memory is exhausted.
  TextFormat* Get(const StyleProps* style, TextFormat* base);
  // Formats made that carry a colour or a shadow colour.
  int ColourCount() const { return colourCount_; }
  int Count() const { return count_; }
  // Calls `visit` with every made format, bucket by bucket.
  template <class Visit>
  void ForEach(Visit visit) const {
    for (const Entry* head : buckets_)
      for (const Entry* e = head; e; e = e->next) visit(e->format);
  }
  static int Bucket(const void* style, const void* base);

 private:
  struct Entry : EngineObject {
    const StyleProps* style;
    TextFormat* base;
    TextFormat* format;
    Entry* next;
  };
  Entry* buckets_[kBuckets] = {};
  int colourCount_ = 0;
  int count_ = 0;
};

// The cache of the running formatting run, or null between runs.
FormatCache* CurrentFormatCache();
// Installs `cache` (may be null); returns the one it replaces.
FormatCache* SetFormatCache(FormatCache* cache);

// ---- Palettes -------------------------------------------------------------------------

class FrameTreeNode;

// Distinct RGB triples in the order first added.
class PaletteSet {
 public:
  // Colour texts are looked up in `colours`, or the engine's when null.
  explicit PaletteSet(ColorTable* colours = nullptr) : colours_(colours) {}
  PaletteSet(const PaletteSet&) = delete;
  PaletteSet& operator=(const PaletteSet&) = delete;
  ~PaletteSet();
  // Looks the text up in the engine's colour table; the triple is added
  // when it is new. Nothing without a text or a table.
  void AddColour(const char* text);
  void AddRgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
  // The colours of every format of the cache that has any.
  void AddCache(const FormatCache& cache);
  // The page colour of the frame, then of its child frames in order.
  void AddFrame(const FrameTreeNode* frame);
  // The colours as a palette block (MemFree), or null when there are none.
  Palette* MakePalette() const;
  std::uint32_t Count() const { return count_; }
  const std::uint8_t* Rgb(std::uint32_t index) const { return rgb_ + 3 * index; }

 private:
  ColorTable* colours_;
  std::uint8_t* rgb_ = nullptr;
  std::uint32_t count_ = 0, capacity_ = 0;
};

// The distinct colours of the formats of the running format cache and of
// the frame's page colours, or null when none is used.
Palette* BuildPalette(const FrameTreeNode* frame);

}  // namespace qs
