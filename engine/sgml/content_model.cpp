#include "sgml/content_model.h"

#include "foundation/strings.h"
#include "sgml/model_names.h"

namespace qs {

ContentModelName::ContentModelName(const char* text) : text_(DuplicateString(text)) {}
ContentModelName::~ContentModelName() { MemFree(text_); }

NameList* NameList::New(InternedName* const* names, std::uint16_t count) {
  NameList* list = new NameList;
  if (count) {
    list->names_ = static_cast<InternedName**>(MemAlloc(count * sizeof(InternedName*)));
    if (!list->names_) {
      for (std::uint16_t i = 0; i < count; ++i) ReleaseName(names[i]);
      delete list;
      return nullptr;
    }
    for (std::uint16_t i = 0; i < count; ++i) list->names_[i] = names[i];
    list->count_ = count;
  }
  return list;
}

NameList::~NameList() {
  for (std::uint16_t i = 0; i < count_; ++i) ReleaseName(names_[i]);
  MemFree(names_);
}

bool NameList::Contains(const InternedName* name) const {
  for (std::uint16_t i = 0; i < count_; ++i)
    if (names_[i] == name) return true;
  return false;
}

ContentModel::ContentModel(ContentModelName* name) : name_(name) {}

ContentModel::~ContentModel() {
  delete name_;
  delete first_;
  delete second_;
}

bool ContentModel::IsDeclared(const char* text) const {
  return name_ && text && CompareStringNoCase(name_->Text(), text) == 0;
}

void ContentModel::SetFirstList(NameList* list) {
  if (list == first_) return;
  delete first_;
  first_ = list;
}

void ContentModel::SetSecondList(NameList* list) {
  if (list == second_) return;
  delete second_;
  second_ = list;
}

}  // namespace qs
