#include "foundation/engine_lists.h"

#include "foundation/callbacks.h"
#include "foundation/engine.h"
#include "foundation/strings.h"
#include "style/colors.h"
#include "style/navigator.h"
#include "style/style_sheet.h"

namespace qs {

// The web class supplies its list's factory when it exists; until then
// nothing can be made.
Web* WebList::Make(const char*) { return nullptr; }

StyleSheet* StyleSheetList::Make(const char* name) {
  auto* sheet = new StyleSheet(static_cast<ExternalId*>(nullptr));
  if (sheet) sheet->SetName(name);
  return sheet;
}

NavigatorDef* NavigatorList::Make(const char* name) {
  auto* navigator = new NavigatorDef(static_cast<ExternalId*>(nullptr));
  if (navigator) navigator->SetName(name);
  return navigator;
}

ColorEntry::ColorEntry(const char* name, std::uint8_t r, std::uint8_t g, std::uint8_t b)
    : red(r), green(g), blue(b), name_(DuplicateString(name ? name : "")),
      length_(name_ ? GetStringLength(name_) : 0) {}

ColorEntry::~ColorEntry() { MemFree(name_); }

void ColorEntry::Redefine(std::uint8_t, std::uint8_t, std::uint8_t) {}

ColorEntry* ColorTable::MakeEntry(const char* name, std::uint8_t red, std::uint8_t green,
                                  std::uint8_t blue) {
  auto* entry = new ColorEntry(name, red, green, blue);
  if (entry && !entry->GetKey()) {
    delete entry;
    return nullptr;
  }
  return entry;
}

ColorEntry* ColorTable::Find(const char* name) const {
  return static_cast<ColorEntry*>(HashTable::Find(name, GetStringLength(name)));
}

ColorEntry* ColorTable::LookupOrAdd(const char* text) {
  if (!text) return nullptr;
  char name[kColorNameMax + 1];
  const std::size_t length = NormalizeColorName(text, name);
  if (ColorEntry* found = Find(name)) return found;
  std::uint8_t rgb[3] = {kUnknownColor, kUnknownColor, kUnknownColor};
  if (!ParseHexColor(name, length, rgb)) {
    std::uint8_t host[3] = {0, 0, 0};
    if (GetEngineServices().HostEvent(0, kEventColorName, reinterpret_cast<std::intptr_t>(name),
                                      reinterpret_cast<std::intptr_t>(host)) != 0) {
      rgb[0] = host[0], rgb[1] = host[1], rgb[2] = host[2];
    } else if (!FindBuiltinColor(name, rgb)) {
      rgb[0] = rgb[1] = rgb[2] = kUnknownColor;
    }
  }
  ColorEntry* entry = MakeEntry(name, rgb[0], rgb[1], rgb[2]);
  if (entry) Insert(entry, true);
  return entry;
}

ColorEntry* ColorTable::Define(const char* text, std::uint8_t red, std::uint8_t green,
                               std::uint8_t blue) {
  if (!text) return nullptr;
  char name[kColorNameMax + 1];
  NormalizeColorName(text, name);
  if (ColorEntry* found = Find(name)) {
    found->Redefine(red, green, blue);
    found->red = red, found->green = green, found->blue = blue;
    return found;
  }
  ColorEntry* entry = MakeEntry(name, red, green, blue);
  if (entry) Insert(entry, true);
  return entry;
}

std::size_t FontEntry::MakeKey(const char* face, std::uint16_t number, bool flagA, bool flagB,
                               char* out) {
  std::size_t n = 0;
  if (face) {
    while (n < kFaceMax && face[n]) ++n;
    // The key's length is one byte: a longer face is cut, before the
    // character that would not fit whole.
    if (face[n])
      while (n > 0 && (static_cast<std::uint8_t>(face[n]) & 0xC0) == 0x80) --n;
    for (std::size_t i = 0; i < n; ++i) out[i] = face[i];
  }
  out[n++] = 0;
  out[n++] = static_cast<char>(number >> 8);
  out[n++] = static_cast<char>(number & 0xFF);
  out[n++] = static_cast<char>((flagA ? 1 : 0) | (flagB ? 2 : 0));
  return n;
}

FontEntry::FontEntry(const char* face, std::uint16_t number, bool flagA, bool flagB) {
  char key[kFontKeyMax];
  length_ = MakeKey(face, number, flagA, flagB, key);
  key_ = static_cast<char*>(MemAlloc(length_));
  if (key_) {
    for (std::size_t i = 0; i < length_; ++i) key_[i] = key[i];
  } else {
    length_ = 0;
  }
}

FontEntry::~FontEntry() { MemFree(key_); }

std::uint16_t FontEntry::Number() const {
  if (length_ < 4) return 0;
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(key_[length_ - 3]) << 8 |
                                    static_cast<std::uint8_t>(key_[length_ - 2]));
}

std::uint8_t FontEntry::Flags() const {
  return length_ < 4 ? 0 : static_cast<std::uint8_t>(key_[length_ - 1]);
}

FontEntry* FontTable::LookupOrAdd(const char* face, std::uint16_t number, bool flagA,
                                  bool flagB) {
  char key[FontEntry::kFontKeyMax];
  const std::size_t length = FontEntry::MakeKey(face, number, flagA, flagB, key);
  auto* entry = static_cast<FontEntry*>(HashTable::Find(key, length));
  if (!entry) {
    entry = MakeEntry(face, number, flagA, flagB);
    if (!entry) return nullptr;
    if (!entry->GetKey()) {
      delete entry;
      return nullptr;
    }
    Insert(entry, true);
  }
  entry->AddUse();
  return entry;
}

struct RecentList::Entry : SListNode {
  void* object = nullptr;
};

void RecentList::Add(void* object) {
  if (!object) return;
  Entry* previous = nullptr;
  for (auto* e = static_cast<Entry*>(First()); e; e = static_cast<Entry*>(e->Next())) {
    if (e->object == object) {
      if (previous) {
        previous->SetNext(e->Next());
        Prepend(e);
        engine_->RecentListChanged(this);
      }
      return;
    }
    previous = e;
  }
  std::int32_t limit = engine_->recentLimit;
  if (limit <= 0) return;
  while (count >= limit) {
    // Drop the oldest (the last).
    Entry* last = static_cast<Entry*>(First());
    while (last->Next()) last = static_cast<Entry*>(last->Next());
    SList::Remove(last);
    delete last;
    --count;
  }
  auto* entry = new Entry;
  if (!entry) return;
  entry->object = object;
  Prepend(entry);
  ++count;
  engine_->RecentListChanged(this);
}

bool RecentList::Remove(void* object) {
  for (auto* e = static_cast<Entry*>(First()); e; e = static_cast<Entry*>(e->Next())) {
    if (e->object == object) {
      SList::Remove(e);
      delete e;
      --count;
      engine_->RecentListChanged(this);
      return true;
    }
  }
  return false;
}

bool RecentList::Contains(void* object) const {
  for (auto* e = static_cast<Entry*>(First()); e; e = static_cast<Entry*>(e->Next()))
    if (e->object == object) return true;
  return false;
}

void* RecentList::At(std::int32_t index) const {
  for (auto* e = static_cast<Entry*>(First()); e; e = static_cast<Entry*>(e->Next()))
    if (index-- == 0) return e->object;
  return nullptr;
}

}  // namespace qs
