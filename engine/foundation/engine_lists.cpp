#include "foundation/engine_lists.h"

#include "foundation/engine.h"
#include "foundation/strings.h"
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

ColorItem::ColorItem(const char* name, std::uint8_t r, std::uint8_t g, std::uint8_t b)
    : red(r), green(g), blue(b), name_(DuplicateString(name ? name : "")),
      length_(name_ ? GetStringLength(name_) : 0) {}

ColorItem::~ColorItem() { MemFree(name_); }

ColorItem* ColorTable::Make(const char* name, std::uint8_t red, std::uint8_t green,
                            std::uint8_t blue) {
  auto* item = new ColorItem(name, red, green, blue);
  if (item && !item->GetKey()) {
    delete item;
    return nullptr;
  }
  return item;
}

ColorItem* ColorTable::Find(const char* name) const {
  return static_cast<ColorItem*>(HashTable::Find(name, GetStringLength(name)));
}

ColorItem* ColorTable::LookupOrAdd(const char* name, std::uint8_t red, std::uint8_t green,
                                   std::uint8_t blue) {
  if (!name) return nullptr;
  if (ColorItem* found = Find(name)) return found;
  ColorItem* item = Make(name, red, green, blue);
  if (!item) return nullptr;
  Insert(item, true);
  return item;
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
