// The drawing templates shipped with the engine, built into the program so
// that it draws wherever it is installed: the flowchart template, and the
// sequence diagram template with the stencil it opens.
#pragma once

#include <string>
#include <string_view>

#include "pipeline/work_folder.h"

namespace pipeline {

extern const std::string_view kFlowchartTemplate;
// The template of the flowcharts the flowchart command draws.
extern const std::string_view kFlowdrawTemplate;
extern const std::string_view kSequenceTemplate;
extern const std::string_view kSequenceStencil;

// Each writes its template into the work folder (once) and gives its path;
// the sequence template's stencil goes beside it, where it is looked for.
std::string writeFlowchartTemplate(const WorkFolder& work);
std::string writeSequenceTemplate(const WorkFolder& work);

}  // namespace pipeline
