// What one parse of a DOT layout shares between the scanner, the grammar's
// actions and the parse operation.
#pragma once

#include "frontends/tree/piece_tree.h"

namespace dot {

struct ParseContext {
  void* scanner = nullptr;  // the reentrant scanner's state
  tree::PieceTree tree;
  tree::PieceList root;
  bool accepted = false;

  void accept(tree::PieceList graph) {
    root = graph;
    accepted = true;
  }
};

}  // namespace dot
