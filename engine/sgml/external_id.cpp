#include "sgml/external_id.h"

#include "foundation/strings.h"

namespace qs {

namespace {
bool IsSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 1; }
}  // namespace

void NormalizePublicId(char* text) {
  if (!text) return;
  char* out = text;
  const unsigned char* in = reinterpret_cast<unsigned char*>(text);
  bool pendingBlank = false;
  for (; *in; ++in) {
    if (IsSpace(*in)) {
      pendingBlank = out != text;
      continue;
    }
    if (pendingBlank) *out++ = ' ';
    pendingBlank = false;
    *out++ = char(FoldCase(*in));
  }
  *out = '\0';
}

ExternalId::ExternalId(EntityResolver*, const InternedName*, const char* name,
                       const char* systemId, const char* publicId, int)
    : name_(DuplicateString(name)),
      systemId_(DuplicateString(systemId)),
      publicId_(DuplicateString(publicId)) {
  NormalizePublicId(publicId_);
}

ExternalId::~ExternalId() {
  MemFree(name_);
  MemFree(systemId_);
  MemFree(publicId_);
}

bool ExternalId::Equals(const ExternalId& other) const {
  if (publicId_ || other.publicId_) {
    if (!publicId_ || !other.publicId_) return false;
    return CompareStrings(publicId_, other.publicId_) == 0;
  }
  if (systemId_ || other.systemId_) {
    if (!systemId_ || !other.systemId_) return false;
    return CompareStrings(systemId_, other.systemId_) == 0;
  }
  if (!name_ || !other.name_) return !name_ && !other.name_;
  return CompareStrings(name_, other.name_) == 0;
}

}  // namespace qs
