#include "api/version.h"

extern "C" const char* QsGetCmptlNo() { return kQsCompatibilityText; }

extern "C" const char* QsGetTextVersion() {
  return "Corvina Document Engine QSENGINE for Win64 version 3.0 (built " __DATE__ ")";
}

// Major version 2 in the high 16 bits, minor version 10 in the low ones.
extern "C" std::int32_t QsGetVersion() { return (2 << 16) | 10; }

// A host checks that a word survives the trip through the interface.
extern "C" QsWord QsIdentity(QsWord word) { return word; }
