// Extended pointers: a ladder of location terms in the TEI style (ROOT
// CHILD (2) (4), ID(intro) DESCENDANT (1 PARA), ...) evaluated by moving a
// tree walker to the place they name.
#pragma once

namespace qs {

class DocumentNode;
class TreeWalker;

// Tokens of a pointer and of a location string hold at most this many
// bytes; a longer one is refused.
inline constexpr unsigned kLocationTokenSize = 511;

// Evaluates `text` from the walker's place, moving the walker. 1 when the
// whole text was evaluated; 0 otherwise, the walker then standing wherever
// evaluation stopped. Syntax errors are reported (engine errors 7 "Syntax
// error", 8 "Bad attribute specification", 9 "Bad step specification");
// failed moves and unknown IDs end evaluation silently. `here` is the
// element HERE names, `ditto` the place DITTO names; either may be null.
int ResolveExtendedPointer(TreeWalker* walker, const char* text, DocumentNode* here,
                           const TreeWalker* ditto);

}  // namespace qs
