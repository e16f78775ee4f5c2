// STAND-IN, to be replaced by the Mermaid flowchart writer of mermaid/
// once that is merged: the same interface, in a namespace of its own so
// that both can be linked while the switch is made (diff/markdown.cpp
// names it in one place).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cfg/graph.h"

namespace diff::mermaid_stand_in {

enum class Mark : uint8_t { None, Added, Removed, Changed };
struct FlowMarks {
  std::vector<std::vector<Mark>> nodes;  // [graph][node]
  std::vector<std::vector<Mark>> edges;  // [graph][edge]
};

// A Mermaid flowchart of the method's graphs: a lambda's graph as a
// subgraph; with marks, each marked node and edge says so in its text
// ("+", "−", "~") and its style, removed ones dashed.
std::string flowchartText(const cfg::MethodFlow& flow, const FlowMarks* marks = nullptr);

}  // namespace diff::mermaid_stand_in
