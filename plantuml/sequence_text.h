// A method's sequence diagram as PlantUML text: participants, messages,
// creations, activations, fragments with their guards, returns, and a
// note of what the diagram leaves out.
#pragma once

#include <string>
#include <string_view>

#include "sequence/diagram.h"

namespace plantuml {

// latin1: the diagram's texts are ISO-8859-1, else UTF-8.
std::string sequenceText(const sequence::Diagram& diagram, bool latin1 = false);

// A text on one line of PlantUML: every character PlantUML or its Creole
// markup reads ('"', '<', '>', '&', '~', '*', '_', '/', '-', '=', '#',
// '|', '[', ']' and non-ASCII) as an HTML entity, '\\' as "<U+005C>";
// newlines as "\n".
std::string lineText(std::string_view utf8);

}  // namespace plantuml
