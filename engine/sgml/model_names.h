// Interned names (the engine's name table) as the document model holds
// them: each holder owns one use.
// Every name of an element type, attribute, attribute value, token and
// default value goes through these.
#pragma once
#include <cstddef>

namespace qs {

class InternedName;

// The name for that exact text, with a use for the caller; null for null.
InternedName* InternName(const char* text);
// Another use of the same name; null stays null.
InternedName* AddNameUse(InternedName* name);
// Drops one use; null is ignored.
void ReleaseName(InternedName* name);
// The text (NUL-terminated); null for null.
const char* NameText(const InternedName* name);
std::size_t NameLength(const InternedName* name);

}  // namespace qs
