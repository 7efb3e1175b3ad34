// Records the parser keeps while it reads a document instance.
#pragma once
#include "foundation/memory.h"

namespace qs {

class DocumentNode;
class InternedName;

// A NIDREF instruction: attributes of ID-reference kind it exempts (null
// names stand for any).
struct Nidref : public EngineObject {
  Nidref* next = nullptr;
  InternedName* element = nullptr;
  InternedName* attribute = nullptr;
};

// An ID reference met in a start tag, resolved after the instance.
struct IdRefRecord : public EngineObject {
  IdRefRecord* next = nullptr;
  DocumentNode* node = nullptr;
  InternedName* value = nullptr;  // one use
  bool list = false;
};

}  // namespace qs
