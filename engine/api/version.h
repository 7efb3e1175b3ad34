#pragma once
// The compatibility text and the version banner are declared with the
// other exports.
#include "api/exports.h"
