#include "sgml/link_rules.h"

#include "foundation/strings.h"
#include "sgml/model_names.h"

namespace qs {

LinkRule::LinkRule(InternedName* condition, const char* text1, const char* text2)
    : condition_(AddNameUse(condition)),
      text1_(DuplicateString(text1)),
      text2_(DuplicateString(text2)) {}

LinkRule::~LinkRule() {
  ReleaseName(condition_);
  MemFree(text1_);
  MemFree(text2_);
}

const char* LinkRule::ConditionText() const { return NameText(condition_); }

LinkValueRules::LinkValueRules(InternedName* value) : value_(value) {}
LinkValueRules::~LinkValueRules() {
  rules_.DeleteAll();
  ReleaseName(value_);
}
const char* LinkValueRules::ValueText() const { return NameText(value_); }

LinkRuleRecord::LinkRuleRecord(InternedName* name) : name_(name) {}
LinkRuleRecord::~LinkRuleRecord() {
  rules_.DeleteAll();
  values_.DeleteAll();
  ReleaseName(name_);
}
const char* LinkRuleRecord::GetKey() const { return NameText(name_); }
std::size_t LinkRuleRecord::GetKeyLength() const { return NameLength(name_); }

LinkValueRules* LinkRuleRecord::FindValue(InternedName* value, bool create) {
  for (auto* v = FirstValue(); v; v = v->Next())
    if (v->Value() == value) return v;
  if (!create) return nullptr;
  auto* record = new LinkValueRules(AddNameUse(value));
  values_.Append(record);
  return record;
}

LinkRules::~LinkRules() {
  delete elements_;
  delete attributes_;
}

LinkRuleRecord* LinkRules::Record(HashTable*& table, const char* name, bool create) {
  if (!name) return nullptr;
  if (table) {
    if (HashItem* item = table->Find(name, GetStringLength(name)))
      return static_cast<LinkRuleRecord*>(item);
  }
  if (!create) return nullptr;
  if (!table) table = new HashTable(8, true);
  auto* record = new LinkRuleRecord(InternName(name));
  table->Insert(record, true);
  return record;
}

bool LinkRules::AddElementRule(const char* element, const char* condition, const char* text1,
                               const char* text2) {
  LinkRuleRecord* record = Record(elements_, element, true);
  if (!record) return false;
  InternedName* cond = InternName(condition);
  record->Rules().Append(new LinkRule(cond, text1, text2));
  ReleaseName(cond);
  return true;
}

bool LinkRules::AddAttributeRule(const char* attribute, const char* value,
                                 const char* condition, const char* text1, const char* text2) {
  LinkRuleRecord* record = Record(attributes_, attribute, true);
  if (!record || !value) return false;
  InternedName* v = InternName(value);
  LinkValueRules* values = record->FindValue(v, true);
  ReleaseName(v);
  InternedName* cond = InternName(condition);
  values->Rules().Append(new LinkRule(cond, text1, text2));
  ReleaseName(cond);
  return true;
}

void LinkRules::CopyFrom(const LinkRules& other) {
  for (LinkRuleRecord* r = other.FirstElement(); r; r = other.NextElement()) {
    if (FindElement(NameText(r->Name()))) continue;
    LinkRuleRecord* mine = Record(elements_, NameText(r->Name()), true);
    for (LinkRule* rule = r->FirstRule(); rule; rule = rule->Next())
      mine->Rules().Append(new LinkRule(rule->Condition(), rule->Text1(), rule->Text2()));
  }
  for (LinkRuleRecord* r = other.FirstAttribute(); r; r = other.NextAttribute()) {
    if (FindAttribute(NameText(r->Name()))) continue;
    LinkRuleRecord* mine = Record(attributes_, NameText(r->Name()), true);
    for (LinkValueRules* v = r->FirstValue(); v; v = v->Next()) {
      LinkValueRules* values = mine->FindValue(v->Value(), true);
      for (LinkRule* rule = v->FirstRule(); rule; rule = rule->Next())
        values->Rules().Append(new LinkRule(rule->Condition(), rule->Text1(), rule->Text2()));
    }
  }
}

LinkRuleRecord* LinkRules::FindElement(const char* name) const {
  HashTable* table = elements_;
  return Record(table, name, false);
}
LinkRuleRecord* LinkRules::FindAttribute(const char* name) const {
  HashTable* table = attributes_;
  return Record(table, name, false);
}
LinkRuleRecord* LinkRules::FirstElement() const {
  return elements_ ? static_cast<LinkRuleRecord*>(elements_->First()) : nullptr;
}
LinkRuleRecord* LinkRules::NextElement() const {
  return elements_ ? static_cast<LinkRuleRecord*>(elements_->Next()) : nullptr;
}
LinkRuleRecord* LinkRules::FirstAttribute() const {
  return attributes_ ? static_cast<LinkRuleRecord*>(attributes_->First()) : nullptr;
}
LinkRuleRecord* LinkRules::NextAttribute() const {
  return attributes_ ? static_cast<LinkRuleRecord*>(attributes_->Next()) : nullptr;
}

}  // namespace qs
