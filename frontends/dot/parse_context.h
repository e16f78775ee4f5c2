// What one parse of a DOT layout shares between the scanner, the grammar's
// actions and the parse operation.
#pragma once

#include "frontends/tree/piece_tree.h"

namespace dotfront {

struct ParseContext {
  void* scanner = nullptr;  // the reentrant scanner's state
  parsetree::PieceTree tree;
  parsetree::PieceList root;
  bool accepted = false;

  void accept(parsetree::PieceList graph) {
    root = graph;
    accepted = true;
  }
};

}  // namespace dotfront
