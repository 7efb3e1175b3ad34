// Entity and notation declarations, the tables that hold them by name, the
// #DEFAULT rule that answers undeclared names, and entity equality.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/containers.h"
#include "sgml/attributes.h"
#include "sgml/use_count.h"

namespace qs {

class ExternalId;
class NotationDecl;

// Entity type codes are the parser's reserved-name codes; these change how
// an internal entity's text is stored. Others are kept as declared.
enum EntityType : std::uint8_t {
  kEntityText = 0,
  kEntitySubdoc = 4,
  kEntityCdata = 29,
  kEntitySdata = 30,
  kEntityNdata = 32,
  kEntityPi = 34,
  kEntityStartTag = 35,
  kEntityEndTag = 36,
  kEntityMs = 37,
  kEntityMd = 38,
};

// An entity declaration. A table, a node or a mark that holds one holds a
// use; the last release deletes it.
class EntityDecl : public HashItem {
 public:
  const char* GetKey() const override { return GetName(); }
  std::size_t GetKeyLength() const override;

  virtual const char* GetName() const = 0;
  virtual std::uint8_t GetType() const = 0;
  // Replacement text of an internal entity (null for external ones).
  virtual const char* GetText() const { return nullptr; }
  virtual ExternalId* GetExternalId() const { return nullptr; }
  virtual NotationDecl* GetNotation() const { return nullptr; }
  virtual Attribute* const* GetDataAttributes() const { return nullptr; }
  // A new declaration equal to this one, with one use; null when out of
  // memory.
  virtual EntityDecl* Clone() const = 0;
  // The same under another name (the #DEFAULT rule).
  virtual EntityDecl* CloneAs(const char* name) const = 0;

  bool IsExternal() const { return GetExternalId() != nullptr; }

  EntityDecl* AddRef() {
    uses_.Add();
    return this;
  }
  void Release() {
    if (uses_.Drop()) delete this;
  }
  std::uint16_t UseCount() const { return uses_.Get(); }

  // Different external identifiers: not equal. Then by their notations: the
  // public identifiers when both have one, else the system identifiers when
  // both have one, else the names; one notation without the other: not
  // equal; neither: equal.
  static bool Equals(const EntityDecl* a, const EntityDecl* b);

 protected:
  EntityDecl() = default;

 private:
  UseCount16 uses_;
};

class TextEntityDecl : public EntityDecl {
 public:
  // Stores the text rendered by type: PI "<?%s>", STARTTAG "<%s>", ENDTAG
  // "</%s>", MS "<![%s]]>", MD "<!%s>", any other type the text as given.
  TextEntityDecl(const char* name, std::uint8_t type, const char* text);
  ~TextEntityDecl() override;

  // One whose stored text is taken as it is (already rendered): copies must
  // not wrap the markup a second time.
  static TextEntityDecl* WithStoredText(const char* name, std::uint8_t type,
                                        const char* storedText);

  const char* GetName() const override { return name_; }
  std::uint8_t GetType() const override { return type_; }
  const char* GetText() const override { return text_; }
  EntityDecl* Clone() const override { return CloneAs(name_); }
  EntityDecl* CloneAs(const char* name) const override;

 private:
  TextEntityDecl(const char* name, std::uint8_t type);
  char* name_;
  std::uint8_t type_;
  char* text_ = nullptr;
};

class ExternalEntityDecl : public EntityDecl {
 public:
  // Takes over the caller's use of the identifier; takes a use of the
  // notation (may be null).
  ExternalEntityDecl(const char* name, ExternalId* id, std::uint8_t type,
                     NotationDecl* notation);
  ~ExternalEntityDecl() override;

  const char* GetName() const override { return name_; }
  std::uint8_t GetType() const override { return type_; }
  ExternalId* GetExternalId() const override { return id_; }
  NotationDecl* GetNotation() const override { return notation_; }
  Attribute* const* GetDataAttributes() const override { return dataAttributes_; }
  EntityDecl* Clone() const override { return CloneAs(name_); }
  EntityDecl* CloneAs(const char* name) const override;

  void SetType(std::uint8_t type) { type_ = type; }
  // Replaces the notation, taking a use of the new one.
  void SetNotation(NotationDecl* notation);
  // Takes over a null-terminated heap array of heap values (or null).
  void SetDataAttributes(Attribute** values);
  // The data attribute's specified value, else its notation's declared
  // default; null without a notation.
  const char* GetDataAttribute(const char* name) const;

 private:
  char* name_;
  ExternalId* id_;
  std::uint8_t type_;
  NotationDecl* notation_ = nullptr;
  Attribute** dataAttributes_ = nullptr;
};

// Stores parsed data attribute values on an external entity (a text entity
// ignores them, and the array is freed).
void DtdEntitySetDataAttrs(EntityDecl* entity, Attribute** values);

class NotationDecl : public HashItem {
 public:
  // A system identifier that was never given (distinct from every string).
  static const char* const kNotGiven;

  explicit NotationDecl(const char* name);
  const char* GetKey() const override { return name_; }
  std::size_t GetKeyLength() const override;

  NotationDecl* AddRef() {
    uses_.Add();
    return this;
  }
  void Release() {
    if (uses_.Drop()) delete this;
  }
  std::uint16_t UseCount() const { return uses_.Get(); }

  const char* Name() const { return name_; }
  // The system identifier text, null when none (also when never given).
  const char* SystemId() const { return systemId_ == kNotGiven ? nullptr : systemId_; }
  bool SystemIdGiven() const { return systemId_ != kNotGiven; }
  const char* PublicId() const { return publicId_; }
  // Copies the text (kNotGiven and null are kept as markers).
  void SetSystemId(const char* text);
  // Copies the text in normalised form.
  void SetPublicId(const char* text);

  AttributeDeclSet& Attributes() { return attributes_; }
  const AttributeDeclSet& Attributes() const { return attributes_; }
  AttributeDecl* FindAttributeDecl(const char* name) const { return attributes_.Find(name); }

  // The frame's handler of this notation (filled by the viewer side).
  std::intptr_t handler = 0;

  // A copy: name, identifiers (a not-given system identifier stays not
  // given), attribute lists shared.
  NotationDecl* Copy() const;

 private:
  ~NotationDecl() override;
  UseCount16 uses_;
  char* name_;
  const char* systemId_ = kNotGiven;
  char* publicId_ = nullptr;
  AttributeDeclSet attributes_;
};

// Entities by name. The table holds one use of each entity in it.
class EntityTable {
 public:
  explicit EntityTable(int buckets = 128) : table_(buckets, false) {}
  ~EntityTable();
  EntityTable(const EntityTable&) = delete;
  EntityTable& operator=(const EntityTable&) = delete;

  // Takes over the caller's use. When the name is taken the newcomer is
  // released and false returned; the entity already there wins.
  bool Add(EntityDecl* entity);
  EntityDecl* Find(const char* name) const;
  // The #DEFAULT rule: the entity of that name, else a copy of the
  // "#DEFAULT" entity under that name, entered in the table so that later
  // lookups find it; null without a #DEFAULT entity (or when it is an
  // internal one without text).
  EntityDecl* FindOrDefault(const char* name);
  EntityDecl* First() { return static_cast<EntityDecl*>(table_.First()); }
  EntityDecl* Next() { return static_cast<EntityDecl*>(table_.Next()); }

 private:
  HashTable table_;
};

// A table of notations by name, holding one use of each.
class NotationTable {
 public:
  NotationTable() : table_(16, false) {}
  ~NotationTable();
  NotationTable(const NotationTable&) = delete;
  NotationTable& operator=(const NotationTable&) = delete;
  // Takes over the caller's use; a name already there keeps its notation
  // and the newcomer is released (false).
  bool Add(NotationDecl* notation);
  NotationDecl* Find(const char* name) const;
  NotationDecl* First() { return static_cast<NotationDecl*>(table_.First()); }
  NotationDecl* Next() { return static_cast<NotationDecl*>(table_.Next()); }

 private:
  HashTable table_;
};

}  // namespace qs
