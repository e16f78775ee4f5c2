// A method's control-flow graph as JSON for tools: every graph unfolded,
// each graph (the method's, then each lambda's) one page.  One page, node
// or edge a line, which nlohmann::json's own layouts (all on one line, or
// one member a line) cannot write: the lines are put together here, each
// text and its escapes written by the library.
#pragma once

#include <string>

#include "cfg/graph.h"

namespace cfg {

// textIsLatin1: the graph's texts are ISO-8859-1 bytes (else UTF-8); the
// file's path is the file system's bytes, in no source's charset.  The
// JSON is UTF-8 either way (text/json_text.h says how).
std::string methodFlowJson(const MethodFlow& flow, bool textIsLatin1);

}  // namespace cfg
