// Mark kinds: the high 8 bits of a mark's packed word. The parser, the
// compiled-document reader and the formatter name some kinds after what
// makes them and some after what they mean; both names are given.
#pragma once
#include <cstdint>

namespace qs {

enum MarkKind : std::uint8_t {
  // A record end (a line feed of the input, in the modes that keep line
  // ends); read back as a line feed. Covers one byte.
  kMarkRecordEnd = 1,
  // A tab of the input; read back as a tab. Covers one byte.
  kMarkTab = 2,
  // Made only by the compiled-document reader: a counted object (the
  // notation-side object) and an end offset. The formatter reads it as
  // "resume at a position" from the object field.
  kMarkResume = 3,
  kMarkNotation = kMarkResume,
  // A reference to an entity that is not replaced by text (a data or
  // graphic entity): the entity and its notation. Covers one byte.
  kMarkEntityRef = 4,
  // Made only by the compiled-document reader: an end offset and a record;
  // the formatter reads the record as the style of the text up to the end.
  kMarkStyledText = 5,
  kMarkRecord = kMarkStyledText,
  // A processing instruction whose text runs from the mark to its end.
  kMarkProcessingInstruction = 6,
  // Markup kept ahead of the instance (6 is used there as well), passed
  // over by readers of the text.
  kMarkKeptMarkupFirst = 7,
  kMarkKeptMarkupLast = 9,
  // An anchor of a web over [start, end): only in a document's anchor
  // index, never in its mark list.
  kMarkAnchor = 10,
};

// A packed mark word: kind in the high 8 bits, text offset in the low 24.
constexpr std::uint32_t kMarkOffsetMask = 0x00FFFFFFu;
constexpr std::uint32_t kMaxDocumentText = kMarkOffsetMask;  // bytes

constexpr std::uint32_t PackMark(std::uint8_t kind, std::uint32_t offset) {
  return (std::uint32_t(kind) << 24) | (offset & kMarkOffsetMask);
}
constexpr std::uint8_t MarkKindOf(std::uint32_t packed) { return std::uint8_t(packed >> 24); }
constexpr std::uint32_t MarkOffsetOf(std::uint32_t packed) { return packed & kMarkOffsetMask; }

}  // namespace qs
