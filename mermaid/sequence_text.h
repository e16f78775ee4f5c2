// A method's sequence diagram as a Mermaid `sequenceDiagram`: its
// participants, messages, creations, activations, fragments with their
// guards, and the note of what the diagram leaves out.
#pragma once

#include <string>

#include "sequence/diagram.h"

namespace mermaid {

// latin1: the diagram's texts are ISO-8859-1, else UTF-8.
std::string sequenceText(const sequence::Diagram& diagram, bool latin1 = false);

}  // namespace mermaid
