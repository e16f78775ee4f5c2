// The Java source lines a model's texts are cut from, and the cutting.
#pragma once

#include <string>

#include "files/source_lines.h"
#include "xml/document.h"

namespace flowchart {

using files::kLineSeparator;
using files::SourceLines;

// The source text of a parse-tree node: from its first token's line and
// column to the end of its last token.
std::string sourceTextOf(const xml::Node& node, const SourceLines& lines);

}  // namespace flowchart
