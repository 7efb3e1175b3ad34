#include "api/version.h"

extern "C" const char* QsGetCmptlNo() { return "980701"; }

extern "C" const char* QsGetTextVersion() {
  return "Corvina Document Engine QSENGINE for Win64 version 3.0 (built " __DATE__ ")";
}
