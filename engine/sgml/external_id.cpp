#include "sgml/external_id.h"

#include "foundation/strings.h"

namespace qs {

namespace {
bool IsSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 1; }

bool SameText(const char* a, const char* b) {
  if (!a || !b) return a == b;
  return CompareStrings(a, b) == 0;
}
}  // namespace

char* NormalizePublicId(char* text) {
  if (!text) return text;
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
  return text;
}

ExternalId::ExternalId(const char* name, const char* systemId, const char* publicId)
    : name_(DuplicateString(name)),
      systemId_(DuplicateString(systemId)),
      publicId_(NormalizePublicId(DuplicateString(publicId))) {}

ExternalId::~ExternalId() {
  MemFree(name_);
  MemFree(systemId_);
  MemFree(publicId_);
}

bool ExternalId::Equals(const ExternalId* a, const ExternalId* b) {
  if (a == b) return true;
  if (!a || !b) return false;
  if (a->publicId_ && b->publicId_) return SameText(a->publicId_, b->publicId_);
  if (a->systemId_ && b->systemId_) return SameText(a->systemId_, b->systemId_);
  return SameText(a->name_, b->name_);
}

}  // namespace qs
