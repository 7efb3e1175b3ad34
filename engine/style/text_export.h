// The plain-text export: a document, or one element's subtree, written to
// a text file under a style sheet. The walk resolves styles as the
// formatter does, but writes characters: the document's text, line ends for
// record ends, tabs, the generated text before and after elements with
// their automatic numbers, and a blank line wherever the style asks for a
// break. Lines are wrapped at the first blank or tab after column 50; every
// line end is CR LF. The file is written whole or not at all.
#pragma once
#include <cstdint>

namespace qs {

class Document;
class DocumentNode;
class StyleSheet;

inline constexpr int kExportWrapColumn = 50;

// Writes the document (from `start`, else from its root element) to
// `path`: 1 when the whole file was written, 0 when it could not be (the
// file is then left as it was) or there is no document or no sheet.
int ExportPlainText(Document* document, DocumentNode* start, StyleSheet* sheet, const char* path);

}  // namespace qs
