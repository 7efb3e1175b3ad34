#include "sgml/dtd.h"

#include "foundation/strings.h"
#include "sgml/content_model.h"
#include "sgml/document.h"
#include "sgml/external_id.h"
#include "sgml/model_names.h"

namespace qs {

// ---- ElementTypeDecl -----------------------------------------------------------

ElementTypeDecl::ElementTypeDecl(InternedName* name) : name_(name) {}

ElementTypeDecl::~ElementTypeDecl() {
  if (model_) model_->Release();
  ReleaseName(name_);
}

const char* ElementTypeDecl::GetKey() const { return qs::NameText(name_); }
std::size_t ElementTypeDecl::GetKeyLength() const { return NameLength(name_); }
const char* ElementTypeDecl::NameText() const { return qs::NameText(name_); }

void ElementTypeDecl::SetModel(ContentModel* model) {
  if (model) model->AddRef();
  if (model_) model_->Release();
  model_ = model;
}

ElementTypeDecl* ElementTypeDecl::Copy() const {
  auto* copy = new ElementTypeDecl(AddNameUse(name_));
  copy->flags = flags;
  copy->attributes_.ShareFrom(attributes_);
  copy->SetModel(model_);
  copy->styleEntry = styleEntry;
  return copy;
}

ElementTable::~ElementTable() {
  while (HashItem* item = table_.First()) {
    table_.RemoveItem(item);
    static_cast<ElementTypeDecl*>(item)->Release();
  }
}

bool ElementTable::Add(ElementTypeDecl* decl) {
  if (!decl) return false;
  if (table_.Insert(decl, false)) return true;
  decl->Release();
  return false;
}

ElementTypeDecl* ElementTable::Find(const char* name) const {
  if (!name) return nullptr;
  return static_cast<ElementTypeDecl*>(table_.Find(name, GetStringLength(name)));
}

// ---- Dtd -------------------------------------------------------------------------

Dtd::Dtd() = default;

Dtd::~Dtd() {
  if (doctypeId_) doctypeId_->Release();
}

ElementTypeDecl* Dtd::FindOrDeclareElementType(const char* name) {
  if (!name) return nullptr;
  InternedName* interned = InternName(name);
  if (ElementTypeDecl* found = elements_.Find(NameText(interned))) {
    ReleaseName(interned);
    return found;
  }
  auto* decl = new ElementTypeDecl(interned);
  elements_.Add(decl);
  return decl;
}

void Dtd::SetDoctypeId(ExternalId* id) {
  if (id) id->AddRef();
  if (doctypeId_) doctypeId_->Release();
  doctypeId_ = id;
}

// ---- ResourceRef -------------------------------------------------------------------

ResourceRef::ResourceRef(ExternalId* id, const char* title, std::uint8_t kind)
    : id_(TakeUse(id)), title_(DuplicateString(title)), kind_(kind) {}

ResourceRef::~ResourceRef() {
  if (id_) id_->Release();
  MemFree(title_);
}

// ---- DocumentType --------------------------------------------------------------------

DocumentType::DocumentType(ExternalId* source, Dtd& dtd, Document* document)
    : source_(TakeUse(source)),
      doctypeId_(TakeUse(dtd.DoctypeId())) {
  for (ElementTypeDecl* e = dtd.FirstElement(); e; e = dtd.NextElement())
    elements_.Add(e->Copy());

  for (AttributeNameRecord* r = dtd.FirstAttributeName(); r; r = dtd.NextAttributeName()) {
    AttributeNameRecord* mine = attributes_.FindOrAddRecord(r->Name());
    if (!mine) continue;
    for (std::size_t i = 0; i < r->Count(); ++i) {
      const AttributeDecl* d = r->At(i);
      auto* copy = new AttributeDecl(AddNameUse(d->Name()), d->DeclaredValue(), d->DefaultKind(),
                                     d->Flags(), d->Tokens() ? d->Tokens()->Copy() : nullptr,
                                     AddNameUse(d->DefaultValue()));
      if (!mine->Append(copy)) copy->Release();
    }
  }

  for (NotationDecl* n = dtd.FirstNotation(); n; n = dtd.NextNotation())
    notations_.Add(n->Copy());

  for (EntityDecl* e = dtd.FirstEntity(); e; e = dtd.NextEntity()) entities1_.Add(e->Clone());

  if (document) {
    for (EntityDecl* e = document->FirstEntity(); e; e = document->NextEntity())
      entities2_.Add(e->Clone());
    for (ListNode* n = document->Resources().First(); n; n = n->Next())
      resources_.Append(static_cast<ResourceRef*>(n)->Copy());
    links_.CopyFrom(document->Links());
  }
}

DocumentType::~DocumentType() {
  if (source_) source_->Release();
  if (doctypeId_) doctypeId_->Release();
}

void DocumentType::ClearUsedFlags() {
  for (ElementTypeDecl* e = elements_.First(); e; e = elements_.Next()) e->used = false;
}

// ---- LayeredDtd ------------------------------------------------------------------------

LayeredDtd::LayeredDtd(DocumentType& parent) : parent_(parent.AddRef()) {}

LayeredDtd::~LayeredDtd() { parent_->Release(); }

ElementTypeDecl* LayeredDtd::FirstElement() {
  inParent_ &= std::uint8_t(~kInElements);
  if (ElementTypeDecl* e = Dtd::FirstElement()) return e;
  inParent_ |= kInElements;
  return parent_->Elements().First();
}

ElementTypeDecl* LayeredDtd::NextElement() {
  if (inParent_ & kInElements) return parent_->Elements().Next();
  if (ElementTypeDecl* e = Dtd::NextElement()) return e;
  inParent_ |= kInElements;
  return parent_->Elements().First();
}

ElementTypeDecl* LayeredDtd::FindElement(const char* name) {
  if (ElementTypeDecl* e = Dtd::FindElement(name)) return e;
  return parent_->Elements().Find(name);
}

AttributeNameRecord* LayeredDtd::FirstAttributeName() {
  inParent_ &= std::uint8_t(~kInAttributes);
  if (AttributeNameRecord* r = Dtd::FirstAttributeName()) return r;
  inParent_ |= kInAttributes;
  return parent_->AttributeDefs().First();
}

AttributeNameRecord* LayeredDtd::NextAttributeName() {
  if (inParent_ & kInAttributes) return parent_->AttributeDefs().Next();
  if (AttributeNameRecord* r = Dtd::NextAttributeName()) return r;
  inParent_ |= kInAttributes;
  return parent_->AttributeDefs().First();
}

NotationDecl* LayeredDtd::FirstNotation() {
  inParent_ &= std::uint8_t(~kInNotations);
  if (NotationDecl* n = Dtd::FirstNotation()) return n;
  inParent_ |= kInNotations;
  return parent_->Notations().First();
}

NotationDecl* LayeredDtd::NextNotation() {
  if (inParent_ & kInNotations) return parent_->Notations().Next();
  if (NotationDecl* n = Dtd::NextNotation()) return n;
  inParent_ |= kInNotations;
  return parent_->Notations().First();
}

NotationDecl* LayeredDtd::FindNotation(const char* name) {
  if (NotationDecl* n = Dtd::FindNotation(name)) return n;
  return parent_->Notations().Find(name);
}

EntityDecl* LayeredDtd::FirstEntity() {
  inParent_ &= std::uint8_t(~kInEntities);
  if (EntityDecl* e = Dtd::FirstEntity()) return e;
  inParent_ |= kInEntities;
  return parent_->Entities().First();
}

EntityDecl* LayeredDtd::NextEntity() {
  if (inParent_ & kInEntities) return parent_->Entities().Next();
  if (EntityDecl* e = Dtd::NextEntity()) return e;
  inParent_ |= kInEntities;
  return parent_->Entities().First();
}

EntityDecl* LayeredDtd::FindEntityOrDefault(const char* name) {
  if (EntityDecl* e = FindEntity(name)) return e;
  if (EntityDecl* e = parent_->FindEntity(name)) return e;
  return Dtd::FindEntityOrDefault(name);
}

}  // namespace qs
