// Generated-text templates: the A- and Z-TEXT lines of a style sheet are
// plain text with backslash commands that pull in attribute values,
// environment variables, tabs, character codes and conditional parts, and
// that mark places (icons, host text, page number, page count) the layout
// fills in later. ExpandTemplate turns one template, for one element, into
// a text of at most 255 bytes.
//
// Fields in the result: ESC, a code letter, the field text, ESC:
//   "I" icon name, "G" name of a host-supplied text, "N" page number and
//   "M" page count, both with a number style: "A", "a", "I", "i" (letters
//   and roman numerals) or "N" and a width character '0' + w, w 0 to 25.
// Tabs are the byte 9.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qs {

class AttributeDeclSet;
class DocumentNode;
class KeywordTable;
struct Attribute;

inline constexpr int kTemplateBuffer = 256;
inline constexpr char kFieldMark = 27;
// Conditions nest this deep; deeper ones are counted and their text left out.
inline constexpr int kTemplateNesting = 11;

// Expands `text` for `element` (its parent, its attribute values and its
// type's declarations; any may be null) into `buffer` (kTemplateBuffer
// bytes), NUL-terminated. `named` (or null) maps further command words to
// texts (values are `const char*`). Returns the length, 0 to 255.
int ExpandTemplate(const char* text, DocumentNode* element, DocumentNode* parent,
                   Attribute* const* values, const AttributeDeclSet* decls, char* buffer,
                   const KeywordTable* named);

// The value of an attribute named in a template, after optional steps
// "par/", "prev/", "next/" and "child/"; null when there is none.
const char* FindTemplateAttribute(DocumentNode* element, DocumentNode* parent, const char* name,
                                  Attribute* const* values, const AttributeDeclSet* decls);

// Reads "(name)" or "(name=value)" at `p` (separators allowed around the
// parts). Names and values are cut to 127 bytes. Returns the position after
// ")", or null when the text there is not of that form.
const char* ParseTemplateArgs(const char* p, char* name, char* value, bool* hasValue);

// Writes the number style code of a style text ("A", "a", "I", "i", or
// "N" and a width character) into `buffer`; returns its length.
int NumberStyleCode(char* buffer, const char* style);

// Appends `text` at `position`; when it would reach the 255th byte, copies
// what fits before it, sets *truncated and returns 255.
int AppendLimited(char* buffer, const char* text, int position, bool* truncated);

}  // namespace qs
