#include "view/shared_palette.h"

#include <cstring>

namespace qs {

const PaletteRgb* StaticColors() {
  static const PaletteRgb colors[kStaticColors] = {
      {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
      {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
      {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
      {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
  return colors;
}

ImagePalette::ImagePalette(void* paletteHandle, const PaletteRgb* colors, int n)
    : handle(paletteHandle) {
  std::memset(heads, 255, sizeof heads);
  if (n < 0 || !colors) n = 0;
  if (n > 256) n = 256;
  count = static_cast<std::uint16_t>(n);
  for (int i = 0; i < n; ++i) {
    Entry& e = entries[i];
    e.r = colors[i].r, e.g = colors[i].g, e.b = colors[i].b;
    int b = PaletteBucket(e.r, e.g, e.b);
    e.link = heads[b];
    heads[b] = static_cast<std::uint8_t>(i);
  }
  if (n == 256) {
    // 255 is a real index now: empty buckets point at the fill index
    // instead, which marks an exhausted chain of this palette.
    for (int i = 0; i < n; ++i)
      if (entries[i].link != 255) {
        fill = entries[i].link;
        break;
      }
    const int last = PaletteBucket(entries[255].r, entries[255].g, entries[255].b);
    for (int b = 0; b < 64; ++b)
      if (heads[b] == 255 && b != last) heads[b] = fill;
  }
}

namespace {

// The merged colours with their own bucket chains (indexes need more than
// a byte: 256 entries and an end).
class MergedSet {
 public:
  explicit MergedSet(PaletteRgb* out) : out_(out) {
    for (auto& h : heads_) h = -1;
  }
  bool Full() const { return count_ >= 256; }
  int Count() const { return count_; }
  void Add(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    if (Full()) return;
    int bucket = PaletteBucket(r, g, b);
    for (int i = heads_[bucket]; i >= 0; i = links_[i])
      if (out_[i].r == r && out_[i].g == g && out_[i].b == b) return;
    out_[count_] = {r, g, b};
    links_[count_] = heads_[bucket];
    heads_[bucket] = static_cast<std::int16_t>(count_);
    ++count_;
  }

 private:
  PaletteRgb* out_;
  std::int16_t heads_[64];
  std::int16_t links_[256];
  int count_ = 0;
};

// The start of a palette's chain in a bucket, -1 when it is empty. In a
// full table an empty bucket holds the fill index, which is also a real
// entry: the entry's own bucket tells them apart.
int ChainStart(const ImagePalette& p, int bucket) {
  int head = p.heads[bucket];
  if (p.count == 0 || head >= p.count) return -1;
  const auto& e = p.entries[head];
  if (PaletteBucket(e.r, e.g, e.b) != bucket) return -1;
  return head;
}

int ChainNext(const ImagePalette& p, int index) {
  int link = p.entries[index].link;
  return link == 255 || link >= p.count ? -1 : link;
}

}  // namespace

int MergePalettes(const ImagePalette* principal, const ImagePalette* const* others, int otherCount,
                  PaletteRgb* out) {
  MergedSet set(out);
  const PaletteRgb* statics = StaticColors();
  for (int i = 0; i < kStaticColors; ++i) set.Add(statics[i].r, statics[i].g, statics[i].b);
  if (principal)
    for (int i = 0; i < principal->count && !set.Full(); ++i)
      set.Add(principal->entries[i].r, principal->entries[i].g, principal->entries[i].b);
  if (otherCount > kMergeLimit) otherCount = kMergeLimit;
  // A cursor per image and bucket; -1 once the chain is used up.
  std::int16_t cursors[kMergeLimit][64];
  for (int k = 0; k < otherCount; ++k)
    for (int b = 0; b < 64; ++b) cursors[k][b] = static_cast<std::int16_t>(ChainStart(*others[k], b));
  bool moved = true;
  while (moved && !set.Full()) {
    moved = false;
    for (int k = 0; k < otherCount && !set.Full(); ++k) {
      const ImagePalette& p = *others[k];
      for (int b = 0; b < 64; ++b) {
        int at = cursors[k][b];
        if (at < 0) continue;
        cursors[k][b] = static_cast<std::int16_t>(ChainNext(p, at));
        moved = true;
        set.Add(p.entries[at].r, p.entries[at].g, p.entries[at].b);
        if (set.Full()) break;
      }
    }
  }
  return set.Count();
}

// ---- ViewPalette --------------------------------------------------------------------------

RegisteredPalette& GetRegisteredPalette() {
  static RegisteredPalette registered;
  return registered;
}

namespace {
ViewPalette* g_palettes = nullptr;
}  // namespace

ViewPalette* FirstViewPalette() { return g_palettes; }

ViewPalette::ViewPalette(PalettePlatform& platform, bool applyRegistered) : platform_(platform) {
  nextPalette = g_palettes;
  g_palettes = this;
  RegisteredPalette& r = GetRegisteredPalette();
  if (applyRegistered && r.handle) SetPrincipal(r.handle, r.alone);
}

ViewPalette::~ViewPalette() {
  for (ViewPalette** link = &g_palettes; *link; link = &(*link)->nextPalette)
    if (*link == this) {
      *link = nextPalette;
      break;
    }
  while (ImagePalette* e = first) {
    first = e->next;
    delete e;
  }
  if ((flags & kOwned) && current) platform_.Delete(current);
}

ImagePalette* ViewPalette::Make(void* handle, PaletteUser* owner) {
  PaletteRgb colors[256];
  int n = platform_.ReadEntries(handle, colors, 256);
  if (n < 0) n = 0;
  if (owner) return new GraphicPalette(owner, handle, colors, n);
  return new ImagePalette(handle, colors, n);
}

void ViewPalette::Add(ImagePalette* entry, bool atFront) {
  flags |= kRebuild;
  ++count;
  if (atFront || !first) {
    entry->next = first;
    first = entry;
    return;
  }
  ImagePalette* last = first;
  while (last->next) last = last->next;
  entry->next = nullptr;
  last->next = entry;
}

void ViewPalette::Remove(ImagePalette* entry) {
  for (ImagePalette** link = &first; *link; link = &(*link)->next) {
    if (*link != entry) continue;
    *link = entry->next;
    delete entry;
    --count;
    flags |= kRebuild;
    return;
  }
}

void ViewPalette::AddHandle(void* handle) {
  if (handle) Add(Make(handle, nullptr), false);
}

void ViewPalette::RemoveHandle(void* handle) {
  for (ImagePalette* e = first; e; e = e->next)
    if (e->handle == handle && !e->Owner()) return Remove(e);
}

void ViewPalette::AddRenderer(PaletteUser* renderer, void* handle) {
  if (renderer && handle) Add(Make(handle, renderer), false);
}

void ViewPalette::RemoveRenderer(PaletteUser* renderer) {
  for (ImagePalette* e = first; e; e = e->next)
    if (e->Owner() == renderer) return Remove(e);
}

void ViewPalette::SetPrincipal(void* handle, bool alone) {
  if ((flags & kPrincipal) && first) Remove(first);
  flags &= static_cast<std::uint16_t>(~(kPrincipal | kAlone));
  if (!handle) return;
  flags |= kPrincipal;
  if (alone) flags |= kAlone;
  Add(Make(handle, nullptr), true);
}

void* ViewPalette::Realize() {
  if (!(flags & kRebuild)) return current;
  flags &= static_cast<std::uint16_t>(~kRebuild);
  if ((flags & kOwned) && current) platform_.Delete(current);
  flags &= static_cast<std::uint16_t>(~kOwned);
  current = nullptr;
  if (!first) {
    current = nullptr;
  } else if (count == 1 || (flags & kAlone)) {
    current = first->handle;
  } else {
    const ImagePalette* principal = (flags & kPrincipal) ? first : nullptr;
    const ImagePalette* others[kMergeLimit];
    int n = 0, taken = 0;
    for (ImagePalette* e = first; e && taken < kMergeLimit; e = e->next, ++taken)
      if (e != principal) others[n++] = e;
    PaletteRgb colors[256];
    int merged = MergePalettes(principal, others, n, colors);
    current = platform_.Create(colors, merged);
    if (current) flags |= kOwned;
  }
  for (ImagePalette* e = first; e; e = e->next)
    if (PaletteUser* user = e->Owner()) user->UsePalette(current);
  return current;
}

}  // namespace qs
