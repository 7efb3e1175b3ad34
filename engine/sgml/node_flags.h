// The one flag byte of every document node, and who reads which bit. The
// parser, the compiled-document reader, link following, formatting and the
// tree view share this byte, so every bit is listed here once.
#pragma once
#include <cstdint>

namespace qs {

enum NodeFlag : std::uint8_t {
  // The element is referenced: the target of a link or of an ID reference.
  // The parser's "referenced" and the formatter's "link target" are this
  // one bit.
  kNodeLinkTarget = 0x01,
  // The element is the source of a link; 0x10 marks the second kind of link
  // source the formatter distinguishes.
  kNodeLinkSource = 0x02,
  kNodeLinkSourceAlt = 0x10,
  // Together with kNodeData: the formatter writes the link-source end marker.
  kNodeEndMarker = 0x04,
  // Set on every new node. The content parser clears it when the element
  // gets element content and keeps it while the content is only character
  // data; a node that keeps it is a data node: its content is read from the
  // text and marks and its children are not walked by the formatter.
  kNodeData = 0x08,
  // The element carries a notation attribute (declared value NOTATION).
  kNodeNotation = 0x40,
  // The tree view shows the node collapsed.
  kNodeCollapsed = 0x80,
};

// The byte a node starts with.
constexpr std::uint8_t kNodeInitialFlags = kNodeData;

}  // namespace qs
