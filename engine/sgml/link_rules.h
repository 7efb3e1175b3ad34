// The rules by which elements become links, given by the link processing
// instructions or a compiled document: by element type name, or by the value
// of an attribute. Each rule carries an optional condition attribute and the
// two texts as given.
#pragma once
#include <cstddef>

#include "foundation/containers.h"

namespace qs {

class InternedName;

class LinkRule : public ListNode {
 public:
  // Takes a use of the condition (may be null); copies the texts.
  LinkRule(InternedName* condition, const char* text1, const char* text2);
  ~LinkRule() override;
  InternedName* Condition() const { return condition_; }
  const char* ConditionText() const;
  const char* Text1() const { return text1_; }
  const char* Text2() const { return text2_; }
  LinkRule* Next() const { return static_cast<LinkRule*>(ListNode::Next()); }

 private:
  InternedName* condition_;
  char* text1_;
  char* text2_;
};

// The rules of one attribute value.
class LinkValueRules : public ListNode {
 public:
  explicit LinkValueRules(InternedName* value);  // takes a use
  ~LinkValueRules() override;
  InternedName* Value() const { return value_; }
  const char* ValueText() const;
  LinkRule* FirstRule() const { return static_cast<LinkRule*>(rules_.First()); }
  ListHead& Rules() { return rules_; }
  LinkValueRules* Next() const { return static_cast<LinkValueRules*>(ListNode::Next()); }

 private:
  InternedName* value_;
  ListHead rules_;
};

// A name (element type or attribute) with its rules or value records.
class LinkRuleRecord : public HashItem {
 public:
  explicit LinkRuleRecord(InternedName* name);  // takes a use
  ~LinkRuleRecord() override;
  const char* GetKey() const override;
  std::size_t GetKeyLength() const override;
  InternedName* Name() const { return name_; }
  // Element rules, in the order given.
  ListHead& Rules() { return rules_; }
  LinkRule* FirstRule() const { return static_cast<LinkRule*>(rules_.First()); }
  // Attribute value records, in the order first given.
  ListHead& Values() { return values_; }
  LinkValueRules* FirstValue() const { return static_cast<LinkValueRules*>(values_.First()); }
  // The record of that interned value, made when absent (and asked).
  LinkValueRules* FindValue(InternedName* value, bool create);

 private:
  InternedName* name_;
  ListHead rules_;
  ListHead values_;
};

class LinkRules {
 public:
  LinkRules() = default;
  ~LinkRules();
  LinkRules(const LinkRules&) = delete;
  LinkRules& operator=(const LinkRules&) = delete;

  // Texts are copied, names interned.
  bool AddElementRule(const char* element, const char* condition, const char* text1,
                      const char* text2);
  bool AddAttributeRule(const char* attribute, const char* value, const char* condition,
                        const char* text1, const char* text2);
  // Rule by rule; a name record already present keeps its rules and gets
  // none added.
  void CopyFrom(const LinkRules& other);

  LinkRuleRecord* FindElement(const char* name) const;
  LinkRuleRecord* FindAttribute(const char* name) const;
  // Iteration over the element and attribute records (null when none).
  LinkRuleRecord* FirstElement() const;
  LinkRuleRecord* NextElement() const;
  LinkRuleRecord* FirstAttribute() const;
  LinkRuleRecord* NextAttribute() const;
  bool IsEmpty() const { return !elements_ && !attributes_; }

 private:
  static LinkRuleRecord* Record(HashTable*& table, const char* name, bool create);
  HashTable* elements_ = nullptr;
  HashTable* attributes_ = nullptr;
};

}  // namespace qs
