// Texts the host hands over for the span of one call (a document, DTD,
// style sheet, navigator or web given as memory or read through a text
// procedure), found by the resolved path of the name they were given.
#pragma once
#include <cstddef>

namespace qs {

// Enters the text under `path` (copied); the bytes are borrowed and must
// stay valid until UnregisterHostText. False when the path is taken (the
// first text stays) or memory ran out.
bool RegisterHostText(const char* path, const char* data, std::size_t length);
void UnregisterHostText(const char* path);
// The text entered under the path: true with its bytes and length.
bool FindHostText(const char* path, const char** data, std::size_t* length);

}  // namespace qs
