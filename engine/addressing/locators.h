// The locator elements of web anchors, read from a parsed web document:
// the name locator that names an entity (or an element ID in it), and the
// number lists of tree and data locators.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qs {

class Document;
class DocumentNode;
class EntityDecl;

inline constexpr std::size_t kMaxLocatorNumbers = 50;
inline constexpr std::size_t kLocatorIdSize = 256;

// The entity a NAMELOC element names: from its NMLIST children, the first
// name of a list with NAMETYPE "ENTITY" that is an external entity of the
// document; or, for a list with NAMETYPE "ELEMENT" (or with DOCORSUB and no
// NAMETYPE), the external entity DOCORSUB names, the list's first name then
// copied into `id` (kLocatorIdSize bytes). Null, with `id` empty, when
// there is none.
EntityDecl* ReadNameLocator(Document* document, DocumentNode* nameloc, char* id);

// Up to kMaxLocatorNumbers runs of digits of the element's data, read as
// decimal (each kept within 16 bits); the count read.
std::size_t ReadNumberList(Document* document, DocumentNode* element, std::uint16_t* numbers);

// The first two numbers of the element's data: the length 0 when there is
// one, both 0 when there is none.
void ReadDimList(Document* document, DocumentNode* element, std::uint16_t* start,
                 std::uint16_t* length);

// The element's character data (records read as line feeds), at most
// `capacity` - 1 bytes, terminated; the bytes written.
std::size_t ElementData(Document* document, const DocumentNode* element, char* out,
                        std::size_t capacity);

}  // namespace qs
