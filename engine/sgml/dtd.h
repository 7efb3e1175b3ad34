// The declarations a parse works with (Dtd), the reusable copy of a parsed
// DTD that is registered as a document type (DocumentType), the Dtd of a
// document parsed against such a type (LayeredDtd), and element types.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/containers.h"
#include "sgml/attributes.h"
#include "sgml/entities.h"
#include "sgml/link_rules.h"
#include "sgml/use_count.h"

namespace qs {

class ContentModel;
class Document;
class DocumentType;
class ExternalId;
class InternedName;

enum ElementTypeFlag : std::uint8_t {
  kElementNoEndTag = 0x01,     // the end tag is left out in markup
  kElementLinkRule = 0x80,     // named by an element link rule
};

class ElementTypeDecl : public HashItem {
 public:
  // Takes over the caller's use of the name.
  explicit ElementTypeDecl(InternedName* name);
  const char* GetKey() const override;
  std::size_t GetKeyLength() const override;

  ElementTypeDecl* AddRef() {
    uses_.Add();
    return this;
  }
  void Release() {
    if (uses_.Drop()) delete this;
  }
  std::uint32_t UseCount() const { return uses_.Get(); }

  InternedName* Name() const { return name_; }
  const char* NameText() const;
  ContentModel* Model() const { return model_; }
  // Takes a use of the model (the old one is released).
  void SetModel(ContentModel* model);
  AttributeDeclSet& Attributes() { return attributes_; }
  const AttributeDeclSet& Attributes() const { return attributes_; }

  // A copy for another declaration set: same name and flags, the attribute
  // lists and the content model shared.
  ElementTypeDecl* Copy() const;

  std::uint8_t flags = 0;
  // Set when the first node of the type is made in the document being built.
  bool used = false;
  // The declaration of another Dtd that stands for this one during a part
  // merge or copy.
  ElementTypeDecl* forward = nullptr;
  // The current style sheet's tag entry for the type (the formatter's).
  std::intptr_t styleEntry = 0;

 private:
  ~ElementTypeDecl() override;
  UseCount32 uses_;
  InternedName* name_;
  ContentModel* model_ = nullptr;
  AttributeDeclSet attributes_;
};

// Element types by name; the table holds one use of each.
class ElementTable {
 public:
  ElementTable() : table_(128, false) {}
  ~ElementTable();
  ElementTable(const ElementTable&) = delete;
  ElementTable& operator=(const ElementTable&) = delete;
  // Takes over the caller's use; a taken name releases the newcomer.
  bool Add(ElementTypeDecl* decl);
  ElementTypeDecl* Find(const char* name) const;
  ElementTypeDecl* First() { return static_cast<ElementTypeDecl*>(table_.First()); }
  ElementTypeDecl* Next() { return static_cast<ElementTypeDecl*>(table_.Next()); }

 private:
  HashTable table_;
};

class Dtd : public EngineObject {
 public:
  Dtd();
  Dtd(const Dtd&) = delete;
  Dtd& operator=(const Dtd&) = delete;

  Dtd* AddRef() {
    uses_.Add();
    return this;
  }
  void Release() {
    if (uses_.Drop()) delete this;
  }
  std::uint16_t UseCount() const { return uses_.Get(); }

  virtual ElementTypeDecl* FirstElement() { return elements_.First(); }
  virtual ElementTypeDecl* NextElement() { return elements_.Next(); }
  virtual ElementTypeDecl* FindElement(const char* name) { return elements_.Find(name); }
  virtual AttributeNameRecord* FirstAttributeName() { return attributes_.First(); }
  virtual AttributeNameRecord* NextAttributeName() { return attributes_.Next(); }
  virtual NotationDecl* FirstNotation() { return notations_.First(); }
  virtual NotationDecl* NextNotation() { return notations_.Next(); }
  virtual NotationDecl* FindNotation(const char* name) { return notations_.Find(name); }
  virtual EntityDecl* FirstEntity() { return entities_.First(); }
  virtual EntityDecl* NextEntity() { return entities_.Next(); }
  virtual EntityDecl* FindEntityOrDefault(const char* name) {
    return entities_.FindOrDefault(name);
  }
  EntityDecl* FindEntity(const char* name) const { return entities_.Find(name); }

  // Take over the caller's use; a name already there keeps its declaration.
  bool AddNotation(NotationDecl* notation) { return notations_.Add(notation); }
  bool AddEntity(EntityDecl* entity) { return entities_.Add(entity); }
  // The element type of that name, declared (and entered) when absent; null
  // only when out of memory. The Dtd holds it; no use for the caller.
  ElementTypeDecl* FindOrDeclareElementType(const char* name);

  AttributeDefinitions& AttributeDefs() { return attributes_; }
  EntityTable& Entities() { return entities_; }

  ExternalId* DoctypeId() const { return doctypeId_; }
  // Takes a use of the identifier.
  void SetDoctypeId(ExternalId* id);

 protected:
  virtual ~Dtd();

 private:
  UseCount16 uses_;
  ElementTable elements_;
  AttributeDefinitions attributes_;
  NotationTable notations_;
  EntityTable entities_;
  ExternalId* doctypeId_ = nullptr;
};

// A resource (style sheet or navigator) associated with a document.
class ResourceRef : public ListNode {
 public:
  enum Kind : std::uint8_t { kStyleSheet = 0, kNavigator = 1 };
  // Takes a use of the identifier; copies the title.
  ResourceRef(ExternalId* id, const char* title, std::uint8_t kind);
  ~ResourceRef() override;
  ExternalId* Id() const { return id_; }
  const char* Title() const { return title_; }
  std::uint8_t Kind() const { return kind_; }
  ResourceRef* Copy() const { return new ResourceRef(id_, title_, kind_); }

 private:
  ExternalId* id_;
  char* title_;
  std::uint8_t kind_;
};

// A copy of every declaration of a parsed Dtd plus the declaring document's
// own entities, resources and link rules, registered as a document type.
class DocumentType : public EngineObject {
 public:
  // Takes uses of the source identifier and of the Dtd's document type
  // identifier; the document may be null.
  DocumentType(ExternalId* source, Dtd& dtd, Document* document);
  DocumentType(const DocumentType&) = delete;
  DocumentType& operator=(const DocumentType&) = delete;

  DocumentType* AddRef() {
    uses_.Add();
    return this;
  }
  void Release() {
    if (uses_.Drop()) delete this;
  }
  std::uint16_t UseCount() const { return uses_.Get(); }

  ExternalId* Source() const { return source_; }
  ExternalId* DoctypeId() const { return doctypeId_; }
  ElementTable& Elements() { return elements_; }
  AttributeDefinitions& AttributeDefs() { return attributes_; }
  NotationTable& Notations() { return notations_; }
  EntityTable& Entities() { return entities1_; }
  EntityTable& DocumentEntities() { return entities2_; }
  EntityDecl* FindEntity(const char* name) const { return entities1_.Find(name); }
  EntityDecl* FindEntity2(const char* name) const { return entities2_.Find(name); }
  const LinkRules& Links() const { return links_; }
  const ListHead& Resources() const { return resources_; }
  // Before a document is parsed against the type.
  void ClearUsedFlags();

 private:
  ~DocumentType();
  UseCount16 uses_;
  ExternalId* source_;
  ExternalId* doctypeId_;
  ElementTable elements_;
  AttributeDefinitions attributes_;
  NotationTable notations_;
  EntityTable entities1_;
  EntityTable entities2_;
  LinkRules links_;
  ListHead resources_;
};

// The Dtd of a document parsed against a document type: its own tables
// first, the type's behind them. Iterations pass from the own table into
// the type's; a name in both is visited twice.
class LayeredDtd : public Dtd {
 public:
  // Takes a use of the parent.
  explicit LayeredDtd(DocumentType& parent);

  DocumentType& Parent() const { return *parent_; }

  ElementTypeDecl* FirstElement() override;
  ElementTypeDecl* NextElement() override;
  ElementTypeDecl* FindElement(const char* name) override;
  AttributeNameRecord* FirstAttributeName() override;
  AttributeNameRecord* NextAttributeName() override;
  NotationDecl* FirstNotation() override;
  NotationDecl* NextNotation() override;
  NotationDecl* FindNotation(const char* name) override;
  EntityDecl* FirstEntity() override;
  EntityDecl* NextEntity() override;
  // Own table, else the type's first entity table, else the #DEFAULT rule on
  // the own table (a copy made then stays in the own table).
  EntityDecl* FindEntityOrDefault(const char* name) override;

 protected:
  ~LayeredDtd() override;

 private:
  enum : std::uint8_t { kInEntities = 1, kInElements = 2, kInNotations = 4, kInAttributes = 8 };
  DocumentType* parent_;
  std::uint8_t inParent_ = 0;
};

}  // namespace qs
