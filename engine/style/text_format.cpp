#include "style/text_format.h"

#include "foundation/engine.h"
#include "foundation/names.h"
#include "style/style_rules.h"
#include "view/current_view.h"
#include "view/output_device.h"

namespace qs {

namespace {

void Share(InternedName** field, InternedName* value) {
  if (value) value->AddRef();
  if (*field) (*field)->Release();
  *field = value;
}

std::int8_t SaturateByte(std::int32_t v) {
  return static_cast<std::int8_t>(v < -128 ? -128 : v > 127 ? 127 : v);
}

// The indent codes of a style: 0x4000 sets, 0x8000 adds, anything else
// leaves the indent alone.
void ApplyLength(std::int16_t* indent, std::uint16_t code) {
  const std::int32_t value = StyleProps::LengthValue(code);
  std::int32_t result = *indent;
  switch (code & StyleProps::kLengthKindMask) {
    case StyleProps::kAbsolute: result = value; break;
    case StyleProps::kRelative: result += value; break;
    default: return;
  }
  *indent = static_cast<std::int16_t>(result < -32768 ? -32768 : result > 32767 ? 32767 : result);
}

struct ScaleState {
  std::int32_t scale = 100;
  std::int32_t saved[kScaleStackDepth] = {};
  int depth = 0;
  int dropped = 0;
  std::uint16_t minimum = 600;
  std::uint16_t maximum = 19200;
};

ScaleState& Scale() {
  static ScaleState state;
  return state;
}

FormatCache*& CacheSlot() {
  static FormatCache* cache = nullptr;
  return cache;
}

}  // namespace

// ---- TextFormat -------------------------------------------------------------------------

TextFormat::TextFormat(const StyleProps* style, const TextFormat* base) {
  if (base) {
    Share(&family, base->family);
    Share(&color, base->color);
    Share(&shadowColor, base->shadowColor);
    flags = base->flags;
    requestedSize = base->requestedSize;
    displayedSize = base->displayedSize;
    shadow = base->shadow;
    leading = base->leading;
    baselineOffset = base->baselineOffset;
    leftIndent = base->leftIndent;
    firstIndent = base->firstIndent;
    rightIndent = base->rightIndent;
  }
  if (style) ApplyStyle(*style);
}

TextFormat::~TextFormat() {
  Share(&family, nullptr);
  Share(&color, nullptr);
  Share(&shadowColor, nullptr);
  if (font_) font_->DropUse();
}

void TextFormat::ApplyStyle(const StyleProps& s) {
  if (s.fontFamily) Share(&family, s.fontFamily);
  if (s.fontColor) Share(&color, s.fontColor);
  if (s.shadowColor) Share(&shadowColor, s.shadowColor);

  if (CurrentScale() != 100) {
    if (s.fontSize) {
      requestedSize = static_cast<std::uint16_t>(s.fontSize * 100);
      displayedSize = ScaleFontSize(requestedSize);
    } else if (s.fontScale) {
      // The style's scale was pushed before the format was made.
      displayedSize = ScaleFontSize(requestedSize);
    }
  } else if (s.fontSize) {
    requestedSize = static_cast<std::uint16_t>(s.fontSize * 100);
    std::uint16_t size = requestedSize;
    if (size < MinFontSize()) size = MinFontSize();
    if (size > MaxFontSize()) size = MaxFontSize();
    displayedSize = size;
  }

  if (s.fontShadow) shadow = s.fontShadow;
  if (s.leading) leading = static_cast<std::int8_t>(s.leading);

  switch (s.fontByte & StyleProps::kSlantMask) {
    case StyleProps::kSlantRoman: flags &= ~kItalic; break;
    case StyleProps::kSlantItalic: flags |= kItalic; break;
    case StyleProps::kSlantEmphas: flags ^= kItalic; break;
    default: break;
  }
  switch (s.fontByte & StyleProps::kWeightMask) {
    case StyleProps::kWeightMedium: flags &= ~kBold; break;
    case StyleProps::kWeightBold: flags |= kBold; break;
    default: break;
  }

  ApplyLength(&leftIndent, s.spaceLeft);
  ApplyLength(&firstIndent, s.spaceIndent);
  ApplyLength(&rightIndent, s.spaceRight);

  if (const int justify = s.layout & StyleProps::kJustifyMask)
    flags = static_cast<std::uint16_t>((flags & ~kJustifyMask) | (justify - 0x10));

  // A raise of more than 127 points (or a drop of more than 128) stays at
  // the end of the byte rather than turning round.
  const int nibble = s.layout & StyleProps::kOffsetMask;
  const std::int32_t raise = (nibble - StyleProps::kOffsetUnset) * displayedSize / 1000;
  baselineOffset = SaturateByte(baselineOffset + raise);

  switch (s.linkByte & StyleProps::kLinkSrcMask) {
    case 1: flags &= ~kLinkSourceHidden; break;
    case 2: flags |= kLinkSourceHidden; break;
    default: break;
  }
  switch ((s.linkByte & StyleProps::kLinkDstMask) >> 2) {
    case 1: flags &= ~kLinkTargetHidden; break;
    case 2: flags |= kLinkTargetHidden; break;
    default: break;
  }
  if (const int line = (s.linkByte & StyleProps::kLineMask) >> 4)
    flags = static_cast<std::uint16_t>((flags & ~kLineMask) | (line << 2));
  if (s.fontByte & StyleProps::kChangeBar) flags |= kChangeBar;
}

const char* TextFormat::FamilyText() const { return family ? family->Text() : "*"; }
const char* TextFormat::ColorText() const { return color ? color->Text() : "black"; }
const char* TextFormat::ShadowColorText() const {
  return shadowColor ? shadowColor->Text() : "silver";
}

Font* TextFormat::GetFont() {
  if (!font_) {
    if (OutputDevice* device = CurrentDevice())
      font_ = device->GetFont(FamilyText(), displayedSize, flags & kItalic, flags & kBold);
  }
  return font_;
}

ColorEntry* TextFormat::ResolveColor() {
  if (!textColor_) {
    if (OutputDevice* device = CurrentDevice()) textColor_ = device->GetColor(ColorText());
  }
  return textColor_;
}

ColorEntry* TextFormat::ResolveShadowColor() {
  if (!shadowColorValue_) {
    if (OutputDevice* device = CurrentDevice())
      shadowColorValue_ = device->GetColor(ShadowColorText());
  }
  return shadowColorValue_;
}

// ---- Scale --------------------------------------------------------------------------------

void PushScale(int percent) {
  if (percent == 0) return;
  ScaleState& s = Scale();
  if (s.depth >= kScaleStackDepth) {
    ++s.dropped;
    return;
  }
  s.saved[s.depth++] = s.scale;
  s.scale = static_cast<std::int32_t>(std::int64_t{s.scale} * percent / 100);
}

void PopScale(int percent) {
  if (percent == 0) return;
  ScaleState& s = Scale();
  if (s.dropped > 0) {
    --s.dropped;
    return;
  }
  if (s.depth > 0) s.scale = s.saved[--s.depth];
}

std::int32_t CurrentScale() { return Scale().scale; }
int ScaleDepth() { return Scale().depth; }
int DroppedScalePushes() { return Scale().dropped; }

std::uint16_t ScaleFontSize(std::uint32_t size) {
  const ScaleState& s = Scale();
  std::int64_t scaled = size;
  if (s.scale != 100) scaled = scaled * s.scale / 100;
  if (scaled < s.minimum) scaled = s.minimum;
  if (scaled > s.maximum) scaled = s.maximum;
  return static_cast<std::uint16_t>(scaled);
}

void SetFontSizeLimits(std::uint16_t minimum, std::uint16_t maximum) {
  Scale().minimum = minimum;
  Scale().maximum = maximum;
}
std::uint16_t MinFontSize() { return Scale().minimum; }
std::uint16_t MaxFontSize() { return Scale().maximum; }

void ResetFontScale() { Scale() = ScaleState(); }

// ---- FormatCache ----------------------------------------------------------------------------

int FormatCache::Bucket(const void* style, const void* base) {
  const auto s = static_cast<std::uintptr_t>(reinterpret_cast<std::uintptr_t>(style));
  const auto b = static_cast<std::uintptr_t>(reinterpret_cast<std::uintptr_t>(base));
  return static_cast<int>(((s % 19937) + (b % 13717)) % kBuckets);
}

TextFormat* FormatCache::Get(const StyleProps* style, TextFormat* base) {
  Entry*& head = buckets_[Bucket(style, base)];
  for (Entry* e = head; e; e = e->next) {
    if (e->style == style && e->base == base) {
      e->format->AddRef();
      return e->format;
    }
  }
  auto* format = new TextFormat(style, base);
  if (!format) return nullptr;
  auto* entry = new Entry;
  if (!entry) {
    format->Release();
    return nullptr;
  }
  entry->style = style;
  entry->base = base;
  if (base) base->AddRef();
  entry->format = format;
  entry->next = head;
  head = entry;
  ++count_;
  if (format->color || format->shadowColor) ++colourCount_;
  format->AddRef();
  return format;
}

FormatCache::~FormatCache() {
  for (Entry*& head : buckets_) {
    while (Entry* e = head) {
      head = e->next;
      e->format->Release();
      if (e->base) e->base->Release();
      delete e;
    }
  }
}

FormatCache* CurrentFormatCache() { return CacheSlot(); }

FormatCache* SetFormatCache(FormatCache* cache) {
  FormatCache* previous = CacheSlot();
  CacheSlot() = cache;
  return previous;
}

// ---- PaletteSet ---------------------------------------------------------------------------

PaletteSet::~PaletteSet() { MemFree(rgb_); }

void PaletteSet::AddRgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  for (std::uint32_t i = 0; i < count_; ++i) {
    const std::uint8_t* p = rgb_ + 3 * i;
    if (p[0] == red && p[1] == green && p[2] == blue) return;
  }
  if (count_ == capacity_) {
    const std::uint32_t capacity = capacity_ ? capacity_ * 2 : 16;
    auto* grown = static_cast<std::uint8_t*>(MemAlloc(std::size_t{3} * capacity));
    if (!grown) return;
    for (std::uint32_t i = 0; i < 3 * count_; ++i) grown[i] = rgb_[i];
    MemFree(rgb_);
    rgb_ = grown;
    capacity_ = capacity;
  }
  std::uint8_t* p = rgb_ + 3 * count_++;
  p[0] = red, p[1] = green, p[2] = blue;
}

void PaletteSet::AddColour(const char* text) {
  ColorTable* table = colours_;
  if (!table) {
    EngineBase* engine = GetEngine();
    table = engine ? engine->colours.get() : nullptr;
  }
  if (!text || !table) return;
  if (ColorEntry* entry = table->LookupOrAdd(text))
    AddRgb(entry->red, entry->green, entry->blue);
}

void PaletteSet::AddFrame(const FrameTreeNode* frame) {
  if (!frame) return;
  if (frame->pageColor) AddColour(frame->pageColor->Text());
  for (const FrameTreeNode* child = frame->FirstChildFrame(); child; child = child->NextFrame())
    AddFrame(child);
}

Palette* PaletteSet::MakePalette() const {
  if (count_ == 0) return nullptr;
  auto* palette = static_cast<Palette*>(MemAlloc(sizeof(Palette) - 1 + std::size_t{3} * count_));
  if (!palette) return nullptr;
  palette->count = count_;
  auto* out = &palette->rgb[0][0];
  for (std::uint32_t i = 0; i < 3 * count_; ++i) out[i] = rgb_[i];
  return palette;
}

Palette* BuildPalette(const FrameTreeNode* frame) {
  PaletteSet set;
  if (FormatCache* cache = CurrentFormatCache()) set.AddCache(*cache);
  set.AddFrame(frame);
  return set.MakePalette();
}

void PaletteSet::AddCache(const FormatCache& cache) {
  if (cache.ColourCount() == 0) return;
  cache.ForEach([this](const TextFormat* format) {
    if (format->color) AddColour(format->color->Text());
    if (format->shadowColor) AddColour(format->shadowColor->Text());
  });
}

}  // namespace qs
