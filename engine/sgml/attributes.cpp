#include "sgml/attributes.h"

#include <cstring>
#include <new>

#include "foundation/strings.h"
#include "sgml/model_names.h"

namespace qs {

// ---- TokenGroup ------------------------------------------------------------

TokenGroup* TokenGroup::New(InternedName* const* tokens, std::uint16_t count) {
  TokenGroup* group = new TokenGroup;
  if (group && count) {
    group->items_ = static_cast<InternedName**>(MemAlloc(count * sizeof(InternedName*)));
    if (!group->items_) {
      delete group;
      group = nullptr;
    }
  }
  if (!group) {
    for (std::uint16_t i = 0; i < count; ++i) ReleaseName(tokens[i]);
    return nullptr;
  }
  for (std::uint16_t i = 0; i < count; ++i) group->items_[i] = tokens[i];
  group->count_ = count;
  return group;
}

TokenGroup::~TokenGroup() {
  for (std::uint16_t i = 0; i < count_; ++i) ReleaseName(items_[i]);
  MemFree(items_);
}

TokenGroup* TokenGroup::Copy() const {
  TokenGroup* copy = new TokenGroup;
  if (!copy) return nullptr;
  if (count_) {
    copy->items_ = static_cast<InternedName**>(MemAlloc(count_ * sizeof(InternedName*)));
    if (!copy->items_) {
      delete copy;
      return nullptr;
    }
    for (std::uint16_t i = 0; i < count_; ++i) copy->items_[i] = AddNameUse(items_[i]);
    copy->count_ = count_;
  }
  return copy;
}

bool TokenGroup::Contains(const char* token) const {
  if (!token) return false;
  for (std::uint16_t i = 0; i < count_; ++i)
    if (CompareStringNoCase(NameText(items_[i]), token) == 0) return true;
  return false;
}

bool TokenGroup::Equal(const TokenGroup* a, const TokenGroup* b) {
  if (!a || !b) return a == b;
  if (a->count_ != b->count_) return false;
  for (std::uint16_t i = 0; i < a->count_; ++i)
    if (a->items_[i] != b->items_[i]) return false;
  return true;
}

// ---- AttributeDecl -----------------------------------------------------------

AttributeDecl::AttributeDecl(InternedName* name, std::uint8_t declaredValue,
                             std::uint8_t defaultKind, std::uint8_t flags, TokenGroup* tokens,
                             InternedName* defaultValue)
    : name_(name),
      declaredValue_(declaredValue),
      defaultKind_(defaultKind),
      flags_(flags),
      tokens_(tokens),
      defaultValue_(defaultValue) {}

AttributeDecl::~AttributeDecl() {
  ReleaseName(name_);
  delete tokens_;
  ReleaseName(defaultValue_);
}

const char* AttributeDecl::NameText() const { return qs::NameText(name_); }
const char* AttributeDecl::DefaultText() const { return qs::NameText(defaultValue_); }

const char* Attribute::Value() const { return NameText(value); }

// ---- NameGroup ---------------------------------------------------------------

NameGroup* NameGroup::New(AttributeDecl* const* items, std::uint16_t count) {
  if (count == 0) return nullptr;
  NameGroup* group = new NameGroup;
  if (!group) return nullptr;
  group->items_ = static_cast<AttributeDecl**>(MemAlloc(count * sizeof(AttributeDecl*)));
  if (!group->items_) {
    delete group;
    return nullptr;
  }
  for (std::uint16_t i = 0; i < count; ++i) group->items_[i] = items[i]->AddRef();
  group->count_ = count;
  return group;
}

NameGroup::~NameGroup() {
  for (std::uint16_t i = 0; i < count_; ++i) items_[i]->Release();
  MemFree(items_);
}

bool NameGroup::HasName(const InternedName* name) const {
  for (std::uint16_t i = 0; i < count_; ++i)
    if (items_[i]->Name() == name) return true;
  return false;
}

// ---- AttributeDeclSet --------------------------------------------------------

AttributeDeclSet::~AttributeDeclSet() {
  for (NameGroup*& list : lists_) {
    if (list) list->Release();
    list = nullptr;
  }
}

void AttributeDeclSet::SetList(int i, NameGroup* group) {
  if (i < 0 || i >= 3) {
    if (group) group->Release();
    return;
  }
  if (lists_[i]) lists_[i]->Release();
  lists_[i] = group;
}

void AttributeDeclSet::ShareFrom(const AttributeDeclSet& other) {
  for (int i = 0; i < 3; ++i)
    if (!lists_[i] && other.lists_[i]) lists_[i] = other.lists_[i]->AddRef();
}

std::size_t AttributeDeclSet::Count() const {
  std::size_t n = 0;
  for (const NameGroup* list : lists_)
    if (list) n += list->Count();
  return n;
}

AttributeDecl* AttributeDeclSet::At(std::size_t index) const {
  for (const NameGroup* list : lists_) {
    if (!list) continue;
    if (index < list->Count()) return list->At(std::uint16_t(index));
    index -= list->Count();
  }
  return nullptr;
}

namespace {
template <typename Match>
AttributeDecl* SearchLists(NameGroup* const* lists, Match match) {
  for (int l = 0; l < 3; ++l) {
    const NameGroup* list = lists[l];
    if (!list) continue;
    for (std::uint16_t i = list->Count(); i-- > 0;) {
      AttributeDecl* decl = list->At(i);
      if (match(decl)) return decl;
    }
  }
  return nullptr;
}
}  // namespace

AttributeDecl* AttributeDeclSet::Find(const char* name) const {
  if (!name) return nullptr;
  // Every start tag asks for each of its attributes: the comparison is
  // CompareStringNoCase's equality, inline, and most names already differ
  // at their first byte.
  return SearchLists(lists_, [name](const AttributeDecl* d) {
    const char* text = d->NameText();
    if (!text) return false;
    for (std::size_t i = 0;; ++i) {
      std::uint8_t a = FoldCase(static_cast<unsigned char>(text[i]));
      if (a != FoldCase(static_cast<unsigned char>(name[i]))) return false;
      if (a == 0) return true;
    }
  });
}

AttributeDecl* AttributeDeclSet::FindByAtom(const InternedName* name) const {
  return SearchLists(lists_, [name](const AttributeDecl* d) { return d->Name() == name; });
}

AttributeDecl* AttributeDeclSet::FindByToken(const char* token) const {
  return SearchLists(lists_, [token](const AttributeDecl* d) {
    return d->Tokens() && d->Tokens()->Contains(token);
  });
}

AttributeDecl* AttributeDeclSet::FindByKind(std::uint8_t declaredValue) const {
  return SearchLists(lists_, [declaredValue](const AttributeDecl* d) {
    return d->DeclaredValue() == declaredValue;
  });
}

// ---- Values --------------------------------------------------------------------

const char* GetAttributeValue(const char* name, Attribute* const* values,
                              const AttributeDeclSet* decls) {
  if (!name) return nullptr;
  if (values) {
    for (; *values; ++values) {
      const char* valueName = (*values)->GetName();
      if (valueName && CompareStringNoCase(valueName, name) == 0) return (*values)->Value();
    }
  }
  if (decls) {
    if (const AttributeDecl* decl = decls->Find(name)) return decl->DefaultText();
  }
  return nullptr;
}

Attribute* NewAttributeValue(AttributeDecl* decl, InternedName* value) {
  auto* v = static_cast<Attribute*>(MemAlloc(sizeof(Attribute)));
  if (!v) return nullptr;
  v->decl = decl ? decl->AddRef() : nullptr;
  v->value = AddNameUse(value);
  return v;
}

void FreeAttributeValue(Attribute* value) {
  if (!value) return;
  if (value->decl) value->decl->Release();
  ReleaseName(value->value);
  MemFree(value);
}

void FreeAttributeValues(Attribute** values) {
  if (!values) return;
  for (Attribute** v = values; *v; ++v) FreeAttributeValue(*v);
  MemFree(values);
}

Attribute** CopyAttributeValues(Attribute* const* values) {
  if (!values) return nullptr;
  std::size_t n = 0;
  while (values[n]) ++n;
  auto** copy = static_cast<Attribute**>(MemAlloc((n + 1) * sizeof(Attribute*)));
  if (!copy) return nullptr;
  std::size_t out = 0;
  for (std::size_t i = 0; i < n; ++i)
    if (Attribute* v = NewAttributeValue(values[i]->decl, values[i]->value)) copy[out++] = v;
  copy[out] = nullptr;
  return copy;
}

// ---- Attribute definition tables --------------------------------------------

AttributeNameRecord::AttributeNameRecord(InternedName* name) : name_(name) {}

AttributeNameRecord::~AttributeNameRecord() {
  for (std::size_t i = 0; i < count_; ++i) decls_[i]->Release();
  MemFree(decls_);
  ReleaseName(name_);
}

const char* AttributeNameRecord::GetKey() const { return NameText(name_); }
std::size_t AttributeNameRecord::GetKeyLength() const { return NameLength(name_); }

bool AttributeNameRecord::Append(AttributeDecl* decl) {
  if (count_ == capacity_) {
    std::size_t grown = capacity_ ? capacity_ * 2 : 4;
    auto** bigger = static_cast<AttributeDecl**>(MemAlloc(grown * sizeof(AttributeDecl*)));
    if (!bigger) return false;
    if (count_) std::memcpy(bigger, decls_, count_ * sizeof(AttributeDecl*));
    MemFree(decls_);
    decls_ = bigger;
    capacity_ = grown;
  }
  decls_[count_++] = decl;
  return true;
}

AttributeNameRecord* AttributeDefinitions::FindRecord(const char* name) const {
  if (!name) return nullptr;
  return static_cast<AttributeNameRecord*>(table_.Find(name, GetStringLength(name)));
}

AttributeNameRecord* AttributeDefinitions::FindOrAddRecord(InternedName* name) {
  if (!name) return nullptr;
  if (AttributeNameRecord* record = FindRecord(NameText(name))) return record;
  auto* record = new AttributeNameRecord(AddNameUse(name));
  if (!record) return nullptr;
  table_.Insert(record, true);
  return record;
}

AttributeDecl* AttributeDefinitions::Intern(InternedName* name, std::uint8_t declaredValue,
                                            std::uint8_t defaultKind, std::uint8_t flags,
                                            TokenGroup* tokens, InternedName* defaultValue) {
  AttributeNameRecord* record = FindOrAddRecord(name);
  AttributeDecl* found = nullptr;
  if (record) {
    for (std::size_t i = 0; i < record->Count() && !found; ++i) {
      AttributeDecl* d = record->At(i);
      if (d->DeclaredValue() == declaredValue && d->DefaultKind() == defaultKind &&
          d->Flags() == flags && d->DefaultValue() == defaultValue &&
          TokenGroup::Equal(d->Tokens(), tokens))
        found = d;
    }
  }
  if (found || !record) {
    ReleaseName(name);
    delete tokens;
    ReleaseName(defaultValue);
    return found;
  }
  auto* decl = new AttributeDecl(name, declaredValue, defaultKind, flags, tokens, defaultValue);
  if (!decl) {
    ReleaseName(name);
    delete tokens;
    ReleaseName(defaultValue);
    return nullptr;
  }
  if (!record->Append(decl)) {
    decl->Release();
    return nullptr;
  }
  return decl;
}

// ---- List operations -----------------------------------------------------------

namespace {
// A new group of `base`'s items followed by `extra` (n of them).
NameGroup* Concatenate(const NameGroup* base, AttributeDecl* const* extra, std::size_t n) {
  std::size_t baseCount = base ? base->Count() : 0;
  std::size_t total = baseCount + n;
  if (total == 0 || total > 0xFFFF) return nullptr;
  auto** items = static_cast<AttributeDecl**>(MemAlloc(total * sizeof(AttributeDecl*)));
  if (!items) return nullptr;
  for (std::size_t i = 0; i < baseCount; ++i) items[i] = base->At(std::uint16_t(i));
  for (std::size_t i = 0; i < n; ++i) items[baseCount + i] = extra[i];
  NameGroup* group = NameGroup::New(items, std::uint16_t(total));
  MemFree(items);
  return group;
}

// The items of `group` whose names are not in `list`, at most `limit`.
std::size_t CollectNew(const NameGroup* group, const NameGroup* list, std::size_t limit,
                       AttributeDecl** out) {
  std::size_t n = 0;
  for (std::uint16_t i = 0; i < group->Count() && n < limit; ++i) {
    AttributeDecl* d = group->At(i);
    if (!list->HasName(d->Name())) out[n++] = d;
  }
  return n;
}
}  // namespace

void DtdNameGroupMerge(AttributeDeclSet& set, NameGroup* group) {
  if (!group) return;
  NameGroup* first = set.List(0);
  if (!first) {
    set.SetList(0, group->AddRef());
    return;
  }
  if (first->Count() >= kMaxAttributeDecls) return;
  std::size_t room = kMaxAttributeDecls - first->Count();
  auto** fresh = static_cast<AttributeDecl**>(MemAlloc(group->Count() * sizeof(AttributeDecl*)));
  if (!fresh) return;
  std::size_t n = CollectNew(group, first, room, fresh);
  if (n) {
    if (NameGroup* merged = Concatenate(first, fresh, n)) set.SetList(0, merged);
  }
  MemFree(fresh);
}

void DtdNameGroupSetSecond(AttributeDeclSet& set, NameGroup* group) {
  if (!group || set.List(1)) return;
  NameGroup* first = set.List(0);
  if (!first) {
    set.SetList(1, group->AddRef());
    return;
  }
  auto** fresh = static_cast<AttributeDecl**>(MemAlloc(group->Count() * sizeof(AttributeDecl*)));
  if (!fresh) return;
  std::size_t n = CollectNew(group, first, group->Count(), fresh);
  if (n == group->Count())
    set.SetList(1, group->AddRef());
  else if (n)
    set.SetList(1, Concatenate(nullptr, fresh, n));
  MemFree(fresh);
}

AttributeDecl* DtdAddUndeclaredAttribute(AttributeDefinitions& defs, AttributeDeclSet& set,
                                         const char* name) {
  if (!name || set.Count() >= kMaxAttributeDecls) return nullptr;
  AttributeDecl* decl =
      defs.Intern(InternName(name), kDeclaredCdata, kDefaultImplied, 0, nullptr, nullptr);
  if (!decl) return nullptr;
  NameGroup* grown = Concatenate(set.List(2), &decl, 1);
  if (!grown) return nullptr;
  set.SetList(2, grown);
  return decl;
}

}  // namespace qs
