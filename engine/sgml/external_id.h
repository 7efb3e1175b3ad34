// The part of an external identifier that the document model relies on: its
// three texts, equality and a shared 32-bit use count. The resolver code
// gives it its resolved location.
#pragma once
#include <cstdint>

#include "foundation/memory.h"

namespace qs {

class EntityResolver;
class InternedName;

// Public identifiers are kept upper-cased, without leading and trailing
// white space, inner runs of white space as one blank. In place.
void NormalizePublicId(char* text);

class ExternalId : public EngineObject {
 public:
  enum Kind { kGeneralEntity = 0, kParameterEntity = 1, kDoctype = 2 };

  // Copies the texts (each may be null); the public identifier is normalised.
  ExternalId(EntityResolver* resolver, const InternedName* baseDir, const char* name,
             const char* systemId, const char* publicId, int kind);
  virtual ~ExternalId();
  ExternalId(const ExternalId&) = delete;
  ExternalId& operator=(const ExternalId&) = delete;

  void AddRef() {
    if (useCount_ != 0xFFFFFFFFu) ++useCount_;
  }
  void Release() {
    if (useCount_ != 0xFFFFFFFFu && --useCount_ == 0) delete this;
  }
  std::uint32_t UseCount() const { return useCount_; }

  const char* Name() const { return name_; }
  const char* SystemId() const { return systemId_; }
  const char* PublicId() const { return publicId_; }

  // By public identifier when both have one, else by system identifier when
  // both have one (an identifier with only one of them never equals one
  // without it), else by name.
  bool Equals(const ExternalId& other) const;

 private:
  std::uint32_t useCount_ = 1;
  char* name_;
  char* systemId_;
  char* publicId_;
};

}  // namespace qs
