// Attribute declarations and the lists that carry them. Equal definitions are
// one shared object; an element type or a notation keeps its declarations in
// three counted groups; a value is read as the specified value, else the
// declared default.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/containers.h"
#include "foundation/memory.h"
#include "sgml/use_count.h"

namespace qs {

class InternedName;

// Declared values and default kinds are the parser's reserved-name codes.
enum DeclaredValue : std::uint8_t {
  kDeclaredTokenGroup = 0,
  kDeclaredEntity = 7,
  kDeclaredEntities = 8,
  kDeclaredId = 9,
  kDeclaredIdref = 10,
  kDeclaredIdrefs = 11,
  kDeclaredName = 12,
  kDeclaredNames = 13,
  kDeclaredNmtoken = 14,
  kDeclaredNmtokens = 15,
  kDeclaredNumber = 16,
  kDeclaredNumbers = 17,
  kDeclaredNutoken = 18,
  kDeclaredNutokens = 19,
  kDeclaredNotation = 20,
  kDeclaredCdata = 29,
};

enum DefaultKind : std::uint8_t {
  kDefaultValue = 0,  // a declared default value, also one given after FIXED
  kDefaultRequired = 22,
  kDefaultCurrent = 23,
  kDefaultConref = 24,
  kDefaultImplied = 25,
};

enum AttributeDeclFlag : std::uint8_t {
  kAttrIdKind = 0x01,
  kAttrIdRefKind = 0x02,
  kAttrTokenList = 0x04,  // the value is a blank-separated list of tokens
  kAttrLinkRule = 0x20,   // named by an attribute link rule
  kAttrNoIdRef = 0x40,    // exempt from ID-reference handling
};

// The allowed tokens of a name-token group, in declaration order; owns one
// use of each token.
class TokenGroup : public EngineObject {
 public:
  // Takes over the callers' uses of the tokens; null when out of memory (the
  // uses are then released).
  static TokenGroup* New(InternedName* const* tokens, std::uint16_t count);
  ~TokenGroup();
  TokenGroup(const TokenGroup&) = delete;
  TokenGroup& operator=(const TokenGroup&) = delete;

  std::uint16_t Count() const { return count_; }
  InternedName* At(std::uint16_t i) const { return i < count_ ? items_[i] : nullptr; }
  // A copy holding its own uses.
  TokenGroup* Copy() const;
  bool Contains(const char* token) const;  // ignoring case
  static bool Equal(const TokenGroup* a, const TokenGroup* b);

 private:
  TokenGroup() = default;
  std::uint16_t count_ = 0;
  InternedName** items_ = nullptr;
};

class AttributeDecl : public EngineObject {
 public:
  // Takes over the uses of name and default value and the token group.
  AttributeDecl(InternedName* name, std::uint8_t declaredValue, std::uint8_t defaultKind,
                std::uint8_t flags, TokenGroup* tokens, InternedName* defaultValue);
  AttributeDecl(const AttributeDecl&) = delete;
  AttributeDecl& operator=(const AttributeDecl&) = delete;

  AttributeDecl* AddRef() {
    uses_.Add();
    return this;
  }
  void Release() {
    if (uses_.Drop()) delete this;
  }
  std::uint16_t UseCount() const { return uses_.Get(); }

  InternedName* Name() const { return name_; }
  const char* NameText() const;
  std::uint8_t DeclaredValue() const { return declaredValue_; }
  std::uint8_t DefaultKind() const { return defaultKind_; }
  std::uint8_t Flags() const { return flags_; }
  void SetFlags(std::uint8_t flags) { flags_ = flags; }
  const TokenGroup* Tokens() const { return tokens_; }
  InternedName* DefaultValue() const { return defaultValue_; }
  const char* DefaultText() const;
  bool IsIdRefKind() const {
    return declaredValue_ == kDeclaredIdref || declaredValue_ == kDeclaredIdrefs;
  }

 private:
  ~AttributeDecl();
  UseCount16 uses_;
  InternedName* name_;
  std::uint8_t declaredValue_;
  std::uint8_t defaultKind_;
  std::uint8_t flags_;
  TokenGroup* tokens_;
  InternedName* defaultValue_;
};

// A counted array of attribute declarations, each held with a use.
class NameGroup : public EngineObject {
 public:
  // Takes a use of every item; null when out of memory or count is 0.
  static NameGroup* New(AttributeDecl* const* items, std::uint16_t count);
  NameGroup(const NameGroup&) = delete;
  NameGroup& operator=(const NameGroup&) = delete;

  NameGroup* AddRef() {
    uses_.Add();
    return this;
  }
  void Release() {
    if (uses_.Drop()) delete this;
  }
  std::uint16_t UseCount() const { return uses_.Get(); }
  std::uint16_t Count() const { return count_; }
  AttributeDecl* At(std::uint16_t i) const { return i < count_ ? items_[i] : nullptr; }
  // By identity of the interned name.
  bool HasName(const InternedName* name) const;

 private:
  NameGroup() = default;
  ~NameGroup();
  UseCount16 uses_;
  std::uint16_t count_ = 0;
  AttributeDecl** items_ = nullptr;
};

// No more declarations than this are gathered over an element type's lists.
constexpr std::size_t kMaxAttributeDecls = 100;

// The attribute declarations of an element type or the data attributes of a
// notation. List 1: the declared attributes, merged over all attribute-list
// declarations; list 2: set once from a later group, only names not in list
// 1; list 3: attributes met in start tags without a declaration.
class AttributeDeclSet {
 public:
  AttributeDeclSet() = default;
  ~AttributeDeclSet();
  AttributeDeclSet(const AttributeDeclSet&) = delete;
  AttributeDeclSet& operator=(const AttributeDeclSet&) = delete;

  NameGroup* List(int i) const { return i >= 0 && i < 3 ? lists_[i] : nullptr; }
  // Replaces list i, taking over the caller's use of the group.
  void SetList(int i, NameGroup* group);
  // Shares the other set's lists: a use of each is taken where this set's
  // list is still empty.
  void ShareFrom(const AttributeDeclSet& other);

  std::size_t Count() const;
  // Over list 1, then 2, then 3; null past the end.
  AttributeDecl* At(std::size_t index) const;
  // The lookups search the lists in order, each from its last item to its
  // first. Find ignores case; FindByAtom compares interned names by identity.
  AttributeDecl* Find(const char* name) const;
  AttributeDecl* FindByAtom(const InternedName* name) const;
  // The declaration whose token group holds the token (ignoring case).
  AttributeDecl* FindByToken(const char* token) const;
  AttributeDecl* FindByKind(std::uint8_t declaredValue) const;

 private:
  NameGroup* lists_[3] = {nullptr, nullptr, nullptr};
};

// A specified attribute value: on a node (allocated from the document's
// pool) or among an external entity's data attributes (on the heap). Holds a
// use of its declaration and of its value. Arrays of them end with null.
struct Attribute {
  AttributeDecl* decl;
  InternedName* value;
  const char* GetName() const { return decl ? decl->NameText() : nullptr; }
  const char* Value() const;
};
using AttributeValue = Attribute;

// The specified value of `name` in the array (names compared ignoring
// case), else the default of its declaration in `decls`, else null.
const char* GetAttributeValue(const char* name, Attribute* const* values,
                              const AttributeDeclSet* decls);

// A heap-allocated data attribute value (for external entities); takes a use
// of the declaration and of the value.
Attribute* NewAttributeValue(AttributeDecl* decl, InternedName* value);
void FreeAttributeValue(Attribute* value);
// Frees a null-terminated heap array of heap values and the array.
void FreeAttributeValues(Attribute** values);
// A heap copy of a null-terminated array, each value copied with its uses.
Attribute** CopyAttributeValues(Attribute* const* values);

// All distinct declarations of one attribute name, in a definition table.
class AttributeNameRecord : public HashItem {
 public:
  explicit AttributeNameRecord(InternedName* name);  // takes the use
  ~AttributeNameRecord() override;
  const char* GetKey() const override;
  std::size_t GetKeyLength() const override;

  InternedName* Name() const { return name_; }
  std::size_t Count() const { return count_; }
  AttributeDecl* At(std::size_t i) const { return i < count_ ? decls_[i] : nullptr; }
  // Takes over the caller's use; false when out of memory.
  bool Append(AttributeDecl* decl);

 private:
  InternedName* name_;
  AttributeDecl** decls_ = nullptr;
  std::size_t count_ = 0;
  std::size_t capacity_ = 0;
};

// The attribute definition table of a DTD or a document type: every
// distinct declaration, grouped by attribute name.
class AttributeDefinitions {
 public:
  AttributeDefinitions() : table_(128, true) {}
  AttributeNameRecord* FindRecord(const char* name) const;
  AttributeNameRecord* FindOrAddRecord(InternedName* name);
  AttributeNameRecord* First() { return static_cast<AttributeNameRecord*>(table_.First()); }
  AttributeNameRecord* Next() { return static_cast<AttributeNameRecord*>(table_.Next()); }

  // The shared declaration for this definition. The caller hands over its
  // uses of name and default value and the token group; they are released
  // when an equal declaration already exists. The result holds no use for
  // the caller (groups that list it take their own); null when out of memory.
  AttributeDecl* Intern(InternedName* name, std::uint8_t declaredValue, std::uint8_t defaultKind,
                        std::uint8_t flags, TokenGroup* tokens, InternedName* defaultValue);

 private:
  HashTable table_;
};

// Merges a group into list 1: it becomes list 1 when that is empty (a use
// taken); else the group's names not yet in list 1 are appended, as many as
// keep list 1 at kMaxAttributeDecls. The caller keeps its use of the group.
void DtdNameGroupMerge(AttributeDeclSet& set, NameGroup* group);
// Sets list 2 once: the group itself when list 1 is empty or shares no name
// with it, else a group of its names not in list 1.
void DtdNameGroupSetSecond(AttributeDeclSet& set, NameGroup* group);
// An attribute met in a start tag without a declaration: a CDATA / IMPLIED
// declaration interned in `defs` and appended to list 3. Null, with nothing
// added, when the set already holds kMaxAttributeDecls declarations.
AttributeDecl* DtdAddUndeclaredAttribute(AttributeDefinitions& defs, AttributeDeclSet& set,
                                         const char* name);

}  // namespace qs
