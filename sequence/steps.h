// A sequence diagram as the ordered steps a text notation writes, top to
// bottom: where each fragment and operand opens and closes, where a
// lifeline is created, where each activation starts and ends.  Writers of
// Mermaid and PlantUML text walk the same steps, so both nest alike.
#pragma once

#include <cstddef>
#include <vector>

#include "sequence/diagram.h"

namespace sequence {

struct Step {
  enum class Kind {
    Open,        // fragment `index` opens with its first operand
    NextOperand, // operand `operand` of fragment `index` begins
    Close,       // fragment `index` closes
    Create,      // lifeline `index` is created by the next message
    Send,        // message `index`
    Activate,    // activation `index` starts
    Deactivate,  // activation `index` ends
  };
  Kind kind = Kind::Send;
  size_t index = 0;
  size_t operand = 0;
};

// Activations that end at the same message end innermost first; fragments
// close innermost first, after the activations ending with them.
std::vector<Step> diagramSteps(const Diagram& diagram);

}  // namespace sequence
