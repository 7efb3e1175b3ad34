#include "sgml/model_names.h"

#include "foundation/names.h"

namespace qs {

namespace {
// The engine's name table; before an engine object has made one, a table
// of the process's own keeps the model's names.
NameTable& Table() {
  if (g_nameTable) return *g_nameTable;
  static NameTable* own = new NameTable;
  return *own;
}
}  // namespace

InternedName* InternName(const char* text) { return text ? Table().Intern(text) : nullptr; }

InternedName* AddNameUse(InternedName* name) { return name ? name->AddRef() : nullptr; }

void ReleaseName(InternedName* name) {
  if (name) name->Release();
}

const char* NameText(const InternedName* name) { return name ? name->Text() : nullptr; }
std::size_t NameLength(const InternedName* name) { return name ? name->Length() : 0; }

}  // namespace qs
