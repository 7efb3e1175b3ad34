#include "sgml/entities.h"

#include "foundation/strings.h"
#include "sgml/external_id.h"

namespace qs {

namespace {
bool SameText(const char* a, const char* b) {
  if (!a || !b) return false;
  return CompareStrings(a, b) == 0;
}

char* Render(std::uint8_t type, const char* text) {
  const char* format = nullptr;
  switch (type) {
    case kEntityPi: format = "<?%s>"; break;
    case kEntityStartTag: format = "<%s>"; break;
    case kEntityEndTag: format = "</%s>"; break;
    case kEntityMs: format = "<![%s]]>"; break;
    case kEntityMd: format = "<!%s>"; break;
    default: return DuplicateString(text ? text : "");
  }
  std::size_t size = GetStringLength(text ? text : "") + 8;
  char* out = static_cast<char*>(MemAlloc(size));
  if (out) FormatString(out, size, format, text);
  return out;
}
}  // namespace

std::size_t EntityDecl::GetKeyLength() const {
  const char* name = GetName();
  return name ? GetStringLength(name) : 0;
}

bool EntityDecl::Equals(const EntityDecl* a, const EntityDecl* b) {
  if (!a || !b) return a == b;
  const ExternalId* ia = a->GetExternalId();
  const ExternalId* ib = b->GetExternalId();
  if (ia || ib) {
    if (!ia || !ib || !ia->Equals(*ib)) return false;
  }
  const NotationDecl* na = a->GetNotation();
  const NotationDecl* nb = b->GetNotation();
  if (na && nb) {
    if (na->PublicId() && nb->PublicId()) return SameText(na->PublicId(), nb->PublicId());
    if (na->SystemId() && nb->SystemId()) return SameText(na->SystemId(), nb->SystemId());
    return SameText(na->Name(), nb->Name());
  }
  return !na && !nb;
}

// ---- TextEntityDecl ----------------------------------------------------------

TextEntityDecl::TextEntityDecl(const char* name, std::uint8_t type)
    : name_(DuplicateString(name ? name : "")), type_(type) {}

TextEntityDecl::TextEntityDecl(const char* name, std::uint8_t type, const char* text)
    : TextEntityDecl(name, type) {
  text_ = Render(type, text);
}

TextEntityDecl* TextEntityDecl::WithStoredText(const char* name, std::uint8_t type,
                                               const char* storedText) {
  auto* entity = new TextEntityDecl(name, type);
  entity->text_ = DuplicateString(storedText);
  return entity;
}

TextEntityDecl::~TextEntityDecl() {
  MemFree(name_);
  MemFree(text_);
}

EntityDecl* TextEntityDecl::CloneAs(const char* name) const {
  return WithStoredText(name, type_, text_);
}

// ---- ExternalEntityDecl --------------------------------------------------------

ExternalEntityDecl::ExternalEntityDecl(const char* name, ExternalId* id, std::uint8_t type,
                                       NotationDecl* notation)
    : name_(DuplicateString(name ? name : "")),
      id_(id),
      type_(type),
      notation_(notation ? notation->AddRef() : nullptr) {}

ExternalEntityDecl::~ExternalEntityDecl() {
  FreeAttributeValues(dataAttributes_);
  if (notation_) notation_->Release();
  if (id_) id_->Release();
  MemFree(name_);
}

EntityDecl* ExternalEntityDecl::CloneAs(const char* name) const {
  auto* copy = new ExternalEntityDecl(name, TakeUse(id_), type_, notation_);
  copy->dataAttributes_ = CopyAttributeValues(dataAttributes_);
  return copy;
}

void ExternalEntityDecl::SetNotation(NotationDecl* notation) {
  if (notation) notation->AddRef();
  if (notation_) notation_->Release();
  notation_ = notation;
}

void ExternalEntityDecl::SetDataAttributes(Attribute** values) {
  if (values == dataAttributes_) return;
  FreeAttributeValues(dataAttributes_);
  dataAttributes_ = values;
}

const char* ExternalEntityDecl::GetDataAttribute(const char* name) const {
  if (!notation_) return nullptr;
  return GetAttributeValue(name, dataAttributes_, &notation_->Attributes());
}

void DtdEntitySetDataAttrs(EntityDecl* entity, Attribute** values) {
  if (entity && entity->IsExternal())
    static_cast<ExternalEntityDecl*>(entity)->SetDataAttributes(values);
  else
    FreeAttributeValues(values);
}

// ---- NotationDecl ----------------------------------------------------------------

const char* const NotationDecl::kNotGiven = "\1<not given>";

NotationDecl::NotationDecl(const char* name) : name_(DuplicateString(name ? name : "")) {}

NotationDecl::~NotationDecl() {
  if (systemId_ != kNotGiven) MemFree(const_cast<char*>(systemId_));
  MemFree(publicId_);
  MemFree(name_);
}

std::size_t NotationDecl::GetKeyLength() const { return GetStringLength(name_); }

void NotationDecl::SetSystemId(const char* text) {
  if (systemId_ != kNotGiven) MemFree(const_cast<char*>(systemId_));
  systemId_ = text == kNotGiven ? kNotGiven : DuplicateString(text);
}

void NotationDecl::SetPublicId(const char* text) {
  MemFree(publicId_);
  publicId_ = DuplicateString(text);
  NormalizePublicId(publicId_);
}

NotationDecl* NotationDecl::Copy() const {
  auto* copy = new NotationDecl(name_);
  copy->SetPublicId(publicId_);
  copy->SetSystemId(systemId_);
  copy->attributes_.ShareFrom(attributes_);
  copy->handler = handler;
  return copy;
}

// ---- Tables ------------------------------------------------------------------------

EntityTable::~EntityTable() {
  while (HashItem* item = table_.First()) {
    table_.RemoveItem(item);
    static_cast<EntityDecl*>(item)->Release();
  }
}

bool EntityTable::Add(EntityDecl* entity) {
  if (!entity) return false;
  if (table_.Insert(entity, false)) return true;
  entity->Release();
  return false;
}

EntityDecl* EntityTable::Find(const char* name) const {
  if (!name) return nullptr;
  return static_cast<EntityDecl*>(table_.Find(name, GetStringLength(name)));
}

EntityDecl* EntityTable::FindOrDefault(const char* name) {
  if (!name) return nullptr;
  if (EntityDecl* found = Find(name)) return found;
  EntityDecl* fallback = Find("#DEFAULT");
  if (!fallback) return nullptr;
  if (!fallback->IsExternal() && !fallback->GetText()) return nullptr;
  EntityDecl* copy = fallback->CloneAs(name);
  if (!copy) return nullptr;
  table_.Insert(copy, false);
  return copy;
}

NotationTable::~NotationTable() {
  while (HashItem* item = table_.First()) {
    table_.RemoveItem(item);
    static_cast<NotationDecl*>(item)->Release();
  }
}

bool NotationTable::Add(NotationDecl* notation) {
  if (!notation) return false;
  if (table_.Insert(notation, false)) return true;
  notation->Release();
  return false;
}

NotationDecl* NotationTable::Find(const char* name) const {
  if (!name) return nullptr;
  return static_cast<NotationDecl*>(table_.Find(name, GetStringLength(name)));
}

}  // namespace qs
