#include "api/value_codes.h"

#include "sgml/attributes.h"

namespace qs {

namespace {

struct CodeEntry {
  std::uint8_t declared;
  std::uint8_t flags;
};

// Indexed by code - 1.
constexpr CodeEntry kCodes[16] = {
    {kDeclaredTokenGroup, 0},
    {kDeclaredCdata, 0},
    {kDeclaredEntity, 0},
    {kDeclaredEntities, kAttrTokenList},
    {kDeclaredId, kAttrIdKind},
    {kDeclaredIdref, kAttrIdRefKind},
    {kDeclaredIdrefs, kAttrIdRefKind | kAttrTokenList},
    {kDeclaredName, 0},
    {kDeclaredNames, kAttrTokenList},
    {kDeclaredNmtoken, 0},
    {kDeclaredNmtokens, kAttrTokenList},
    {kDeclaredNotation, 0},
    {kDeclaredNumber, 0},
    {kDeclaredNumbers, kAttrTokenList},
    {kDeclaredNutoken, 0},
    {kDeclaredNutokens, kAttrTokenList},
};

constexpr std::uint8_t kDefaultFixed = 21;

}  // namespace

std::int32_t DeclaredValueCode(const AttributeDecl* decl) {
  if (!decl) return 0;
  for (int i = 0; i < 16; ++i)
    if (kCodes[i].declared == decl->DeclaredValue()) return i + 1;
  return 0;
}

bool DeclaredValueOfCode(std::int32_t code, std::uint8_t* declared, std::uint8_t* flags) {
  if (code < 1 || code > 16) return false;
  *declared = kCodes[code - 1].declared;
  *flags = kCodes[code - 1].flags;
  return true;
}

const char* DefaultText(const AttributeDecl* decl) {
  switch (decl->DefaultKind()) {
    case kDefaultImplied: return "IMPLIED";
    case kDefaultRequired: return "REQUIRED";
    case kDefaultCurrent: return "CURRENT";
    case kDefaultConref: return "CONREF";
    case kDefaultFixed: return "FIXED";
    default: break;
  }
  const char* text = decl->DefaultValue() ? decl->DefaultText() : nullptr;
  return text ? text : "#ERROR";
}

}  // namespace qs
