// Small control-flow graphs built by hand, for the tests of what draws
// them: a loop with a return in it, a try with ten catch clauses.
#pragma once

#include <cstdint>
#include <string>

#include "cfg/graph.h"

namespace testing_support {

// A node of the graph on the given line and region; its index.
size_t addNode(cfg::Graph& g, cfg::NodeKind kind, std::string text, int32_t line, size_t region);

// start -> for decision -> [body: a; if -> (then: b; return) ; c] -> back
//       -> after; end.  Regions: 0 body, 1 loop body, 2 then.
cfg::MethodFlow loopWithReturn();

// start -> try -> a(); return; ten catch clauses, each returning.
// Regions: 0 body, 1 try block, 2..11 the catch blocks.
cfg::MethodFlow tryWithTenCatches();

}  // namespace testing_support
