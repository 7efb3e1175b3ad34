// Which loader handles a picture: rules from a notation's name, system and
// public identifier to a key ("BMP", "XPM", "XBM", "WMF", "CGM", "RGR" or a
// host object type's own), most specific first.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qs {

class EngineBase;
class EntityDecl;

class NotationNameSet {
 public:
  // An identifier that matches anything; null stands for an absent one.
  static const char* const kAny;

  // Filled with the built-in table.
  NotationNameSet();
  ~NotationNameSet();
  NotationNameSet(const NotationNameSet&) = delete;
  NotationNameSet& operator=(const NotationNameSet&) = delete;

  // The set's own copy of a key name, made when new: keys compare by
  // pointer. Null for null.
  const char* Intern(const char* key);
  // A rule with the same three identifiers gets the new key, or is removed
  // for a null key; else a non-null key makes a new rule, placed after the
  // rules at least as specific (a fully specific one goes first).
  void AddRule(const char* key, const char* name, const char* systemId, const char* publicId);
  // The key of the first rule whose three identifiers match, or null.
  const char* FindKey(const char* name, const char* systemId, const char* publicId) const;
  // The same for an entity's notation; null without one.
  const char* FindKey(const EntityDecl* entity) const;
  // The key only when it is one that loads from element content ("XPM",
  // "XBM", any case).
  const char* FindElementKey(const EntityDecl* entity) const;
  std::size_t RuleCount() const;

 private:
  struct Key;
  struct Rule;
  Key* keys_[16] = {};
  Rule* rules_ = nullptr;
};

// Whether a key is one the built-in handler loads from element content.
bool LoadsFromElement(const char* key);

// The engine's set, made with the built-in table on first use.
NotationNameSet& GetNotationNames(EngineBase& engine);

}  // namespace qs
