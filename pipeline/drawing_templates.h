// The drawing templates shipped with the program, built into it so that it
// draws wherever it is installed: the flowchart template, and the sequence
// diagram template with the stencil it opens.
#pragma once

#include <string_view>

namespace pipeline {

// The template of the flowcharts the flowchart command draws.
extern const std::string_view kFlowdrawTemplate;
extern const std::string_view kSequenceTemplate;
extern const std::string_view kSequenceStencil;

}  // namespace pipeline
