// The flowchart template shipped with the engine, built into the program
// so that it draws wherever it is installed.
#pragma once

#include <string>
#include <string_view>

#include "pipeline/work_folder.h"

namespace pipeline {

extern const std::string_view kFlowchartTemplate;

// Writes the template into the work folder (once) and gives its path.
std::string writeFlowchartTemplate(const WorkFolder& work);

}  // namespace pipeline
