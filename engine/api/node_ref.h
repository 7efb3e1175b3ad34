// A node handle (HTAG): a tree walker that belongs to its handle record and
// holds a use of its document. Moving the handle moves this place, so every
// holder of the handle sees the move.
#pragma once
#include "addressing/tree_walker.h"

namespace qs {

class NodeRef : public TreeWalker {
 public:
  using TreeWalker::TreeWalker;
};

}  // namespace qs
