// The small lists and tables in which the engine object keeps what it has
// loaded: webs, style sheets and navigators (each made by its list's
// factory), named colours, the recent list and the further plain lists.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/containers.h"

namespace qs {

class EngineBase;
class NavigatorDef;
class StyleSheet;
class Web;

// Loaded webs; the factory reads a web from a source.
class WebList : public ObjectList {
 public:
  WebList() = default;
  // A web read from `source`, or null when it cannot be made.
  virtual Web* Make(const char* source);
  // Every web in the order they were opened (not owning).
  SList all;
  ~WebList() override { all.TakeAll(); }
};

// A list that keeps at most its limit of loaded objects, with a use count.
class LimitedObjectList : public ObjectList {
 public:
  explicit LimitedObjectList(std::uint16_t limit) : ObjectList(limit) {}
  std::uint16_t useCount = 0;
};

class StyleSheetList : public LimitedObjectList {
 public:
  StyleSheetList() : LimitedObjectList(5) {}
  // An empty style sheet named `name`, or null.
  virtual StyleSheet* Make(const char* name);
};

class NavigatorList : public LimitedObjectList {
 public:
  NavigatorList() : LimitedObjectList(5) {}
  // An empty navigator definition named `name`, or null.
  virtual NavigatorDef* Make(const char* name);
};

// A named colour: the name is its key.
class ColorItem : public HashItem {
 public:
  ColorItem(const char* name, std::uint8_t red, std::uint8_t green, std::uint8_t blue);
  ~ColorItem() override;
  const char* GetKey() const override { return name_; }
  std::size_t GetKeyLength() const override { return length_; }
  std::uint8_t red, green, blue;

 private:
  char* name_;
  std::size_t length_;
};

class ColorTable : public HashTable {
 public:
  ColorTable() : HashTable(64, true) {}
  // Makes the colour record of a name (the engine's layer may make more of
  // it); null when memory is exhausted.
  virtual ColorItem* Make(const char* name, std::uint8_t red, std::uint8_t green,
                          std::uint8_t blue);
  ColorItem* Find(const char* name) const;
  // The colour of `name`, made with the given bytes when it is new.
  ColorItem* LookupOrAdd(const char* name, std::uint8_t red, std::uint8_t green,
                         std::uint8_t blue);
};

// Most recent first, at most the engine's recentLimit entries; every change
// is told to the engine (RecentListChanged).
class RecentList : public SList {
 public:
  explicit RecentList(EngineBase* engine) : engine_(engine) {}
  // Moves `object` to the front, or puts it there after dropping the
  // oldest when the list is full. Nothing is kept while the limit is 0.
  void Add(void* object);
  // Takes `object` out; false when it is not there.
  bool Remove(void* object);
  bool Contains(void* object) const;
  void* At(std::int32_t index) const;
  std::int32_t count = 0;

 private:
  struct Entry;
  EngineBase* engine_;
};

}  // namespace qs
