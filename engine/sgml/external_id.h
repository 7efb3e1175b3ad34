// The part of an external identifier that the document model relies on: its
// three texts, equality and a shared 32-bit use count. Resolution to a
// system path is added by the resolver code.
#pragma once
#include <cstdint>

#include "foundation/memory.h"
#include "sgml/use_count.h"

namespace qs {

// Public identifiers are kept upper-cased, without leading and trailing
// white space, inner runs of white space as one blank. In place.
char* NormalizePublicId(char* text);

class ExternalId : public EngineObject {
 public:
  // Copies the texts (each may be null); the public identifier is normalised.
  ExternalId(const char* name, const char* systemId, const char* publicId);
  virtual ~ExternalId();
  ExternalId(const ExternalId&) = delete;
  ExternalId& operator=(const ExternalId&) = delete;

  ExternalId* AddRef() {
    uses_.Add();
    return this;
  }
  void Release() {
    if (uses_.Drop()) delete this;
  }
  std::uint32_t UseCount() const { return uses_.Get(); }

  const char* Name() const { return name_; }
  const char* SystemId() const { return systemId_; }
  const char* PublicId() const { return publicId_; }

  // Public identifiers when both have one, else system identifiers when both
  // have one, else the names. Two nulls are equal; null and an identifier
  // are not.
  static bool Equals(const ExternalId* a, const ExternalId* b);

 private:
  UseCount32 uses_;
  char* name_;
  char* systemId_;
  char* publicId_;
};

}  // namespace qs
