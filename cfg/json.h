// A method's control-flow graph as JSON for tools: every graph unfolded,
// each graph (the method's, then each lambda's) one page.
#pragma once

#include <string>

#include "cfg/graph.h"

namespace cfg {

// textIsLatin1: the graph's texts are ISO-8859-1 bytes (else UTF-8); the
// JSON is UTF-8 either way.
std::string methodFlowJson(const MethodFlow& flow, bool textIsLatin1);

}  // namespace cfg
