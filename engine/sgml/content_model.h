// What an element type keeps of its declared content: the declared-content
// name (none for a model group) and the two exception lists. One object is
// shared by every element type of one ELEMENT declaration and by their
// copies in document types.
#pragma once
#include <cstdint>

#include "foundation/memory.h"
#include "sgml/use_count.h"

namespace qs {

class InternedName;

// Occurrence indicators of content tokens, as the parser codes them.
enum Occurrence : std::uint8_t {
  kOccurOptional = 0,  // "?"
  kOccurOnce = 1,      // none
  kOccurAny = 2,       // "*"
  kOccurOneOrMore = 3, // "+"
};

// The declared-content name: "#ANY", "#EMPTY", "#CDATA" or "#RCDATA".
class ContentModelName : public EngineObject {
 public:
  explicit ContentModelName(const char* text);
  ~ContentModelName();
  ContentModelName(const ContentModelName&) = delete;
  ContentModelName& operator=(const ContentModelName&) = delete;
  const char* Text() const { return text_; }

 private:
  char* text_;
};

// A list of names holding one use each.
class NameList : public EngineObject {
 public:
  // Takes over the callers' uses; null when out of memory (uses released).
  static NameList* New(InternedName* const* names, std::uint16_t count);
  ~NameList();
  NameList(const NameList&) = delete;
  NameList& operator=(const NameList&) = delete;
  std::uint16_t Count() const { return count_; }
  InternedName* At(std::uint16_t i) const { return i < count_ ? names_[i] : nullptr; }
  bool Contains(const InternedName* name) const;

 private:
  NameList() = default;
  std::uint16_t count_ = 0;
  InternedName** names_ = nullptr;
};

class ContentModel : public EngineObject {
 public:
  // Takes over the name object (null for a model group).
  explicit ContentModel(ContentModelName* name);
  ContentModel(const ContentModel&) = delete;
  ContentModel& operator=(const ContentModel&) = delete;

  ContentModel* AddRef() {
    uses_.Add();
    return this;
  }
  void Release() {
    if (uses_.Drop()) delete this;
  }
  std::uint16_t UseCount() const { return uses_.Get(); }

  const ContentModelName* Name() const { return name_; }
  // The declared-content name, null for a model group.
  const char* NameText() const { return name_ ? name_->Text() : nullptr; }
  bool IsModelGroup() const { return name_ == nullptr; }
  bool IsDeclared(const char* text) const;

  const NameList* FirstList() const { return first_; }
  const NameList* SecondList() const { return second_; }
  // Take over the list, replacing (and deleting) one set before.
  void SetFirstList(NameList* list);
  void SetSecondList(NameList* list);

 private:
  ~ContentModel();
  UseCount16 uses_;
  ContentModelName* name_;
  NameList* first_ = nullptr;
  NameList* second_ = nullptr;
};

}  // namespace qs
