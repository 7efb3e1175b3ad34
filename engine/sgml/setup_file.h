// The setup file: which program to launch for data of a notation (by its
// public identifier or its name), and a table of replacement font faces.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/containers.h"
#include "foundation/memory.h"

namespace qs {

class InternedName;
class Stream;

class SetupEntry : public HashItem {
 public:
  enum Action : std::int32_t { kNone = 0, kLaunch = 2 };
  explicit SetupEntry(InternedName* key);
  ~SetupEntry() override;
  const char* GetKey() const override;
  std::size_t GetKeyLength() const override;

  // The first action given wins.
  void SetAction(Action kind, const char* text);
  Action ActionKind() const { return action_; }
  const char* ActionText() const { return text_; }

 private:
  InternedName* key_;
  Action action_ = kNone;
  char* text_ = nullptr;
};

class SetupFile : public EngineObject {
 public:
  // Reads the file at `path` (UTF-8); null or an unreadable file gives
  // empty tables.
  explicit SetupFile(const char* path);
  ~SetupFile();
  SetupFile(const SetupFile&) = delete;
  SetupFile& operator=(const SetupFile&) = delete;

  SetupEntry* FindPublic(const char* text) const;
  SetupEntry* FindEntity(const char* text) const;
  // The replacement face for `face`, or null.
  const char* FindFontMap(const char* face) const;
  // A new entry, or null when one with that key is there already.
  SetupEntry* AddPublic(InternedName* key);
  SetupEntry* AddEntity(InternedName* key);
  void AddFontMap(const char* face, const char* replacement);

  void ReadSetupFile(Stream* stream);
  const char* FileName() const { return fileName_; }

 private:
  static SetupEntry* Add(HashTable& table, InternedName* key);
  char* fileName_ = nullptr;
  HashTable publicTable_{16, true};
  HashTable entityTable_{16, true};
  HashTable fontMap_{16, true};
};

}  // namespace qs
