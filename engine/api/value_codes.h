// The numbers and texts the host sees for attribute declarations: the
// declared-value codes 1-16 and the default keyword texts.
#pragma once
#include <cstdint>

namespace qs {

class AttributeDecl;

// 1 name-token group, 2 CDATA, 3 ENTITY ... 16 NUTOKENS; 0 for any other.
std::int32_t DeclaredValueCode(const AttributeDecl* decl);
// The declared value, with its ID, IDREF and token-list marks, of a code
// 1-16; false for any other code.
bool DeclaredValueOfCode(std::int32_t code, std::uint8_t* declared, std::uint8_t* flags);
// "IMPLIED", "REQUIRED", "CURRENT", "CONREF" or "FIXED"; else the literal
// default value; else "#ERROR".
const char* DefaultText(const AttributeDecl* decl);

}  // namespace qs
