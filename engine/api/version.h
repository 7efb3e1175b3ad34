#pragma once
// The compatibility text and the version banner are declared with the
// other exports.
#include "api/exports.h"

// The compatibility text: what QsGetCmptlNo answers and what a host built
// against this interface expects.
inline constexpr char kQsCompatibilityText[] = "980701";
