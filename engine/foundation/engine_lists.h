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

// A named colour, keyed by its normalised name (style/colors.h).
class ColorEntry : public HashItem {
 public:
  ColorEntry(const char* name, std::uint8_t red, std::uint8_t green, std::uint8_t blue);
  ~ColorEntry() override;
  const char* GetKey() const override { return name_; }
  std::size_t GetKeyLength() const override { return length_; }
  const char* Name() const { return name_; }
  // Told the new colour before the table overwrites the three bytes; the
  // shared palette's entries follow it here.
  virtual void Redefine(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
  std::uint32_t Rgb() const { return std::uint32_t{red} << 16 | std::uint32_t{green} << 8 | blue; }
  std::uint8_t red, green, blue;

 private:
  char* name_;
  std::size_t length_;
};

// The engine's colours: one entry per distinct normalised name, made once
// and kept as long as the table.
class ColorTable : public HashTable {
 public:
  ColorTable() : HashTable(64, true) {}
  // The factory of entries; null when memory is exhausted.
  virtual ColorEntry* MakeEntry(const char* normalisedName, std::uint8_t red,
                                std::uint8_t green, std::uint8_t blue);
  // The entry of a normalised name, or null.
  ColorEntry* Find(const char* normalisedName) const;
  // The entry of a colour text: "#RGB" and "#RRGGBB" forms, else the host's
  // answer to event 45, else a built-in name, else C0C0C0. Null only for a
  // null text or when memory is exhausted.
  ColorEntry* LookupOrAdd(const char* text);
  // Gives the name the colour: an existing entry is redefined in place.
  ColorEntry* Define(const char* text, std::uint8_t red, std::uint8_t green, std::uint8_t blue);
};

// An entry of a device's font table, keyed by face, a 16-bit number and two
// flags (the meaning of number and flags is the device's), with a use count.
class FontEntry : public HashItem {
 public:
  // The key: the face, its NUL, the number high byte first, the flags byte
  // (bit 0 flag a, bit 1 flag b).
  FontEntry(const char* face, std::uint16_t number, bool flagA, bool flagB);
  ~FontEntry() override;
  const char* GetKey() const override { return key_; }
  std::size_t GetKeyLength() const override { return length_; }
  const char* Face() const { return key_; }
  std::uint16_t Number() const;
  std::uint8_t Flags() const;
  void AddUse() { ++uses_; }
  void DropUse() {
    if (uses_) --uses_;
  }
  std::uint16_t Uses() const { return uses_; }
  // Writes the key of (face, number, flags) into `out` (kFontKeyMax bytes);
  // returns its length. Faces are cut to 251 bytes at a character boundary,
  // so that the key's length fits one byte.
  static constexpr std::size_t kFaceMax = 251;
  static constexpr std::size_t kFontKeyMax = 256 + 3;
  static std::size_t MakeKey(const char* face, std::uint16_t number, bool flagA, bool flagB,
                             char* out);

 private:
  char* key_;
  std::size_t length_;
  std::uint16_t uses_ = 0;
};

class FontTable : public HashTable {
 public:
  explicit FontTable(int buckets = 64) : HashTable(buckets, true) {}
  // The owner's factory; null when it cannot make the font.
  virtual FontEntry* MakeEntry(const char* face, std::uint16_t number, bool flagA, bool flagB) = 0;
  // The entry of the key, made when new; one use added either way. Null
  // when the factory fails.
  FontEntry* LookupOrAdd(const char* face, std::uint16_t number, bool flagA, bool flagB);
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
