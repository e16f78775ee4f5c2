#include "pipeline/flowchart_template.h"

#include <filesystem>

#include "flowchart/xml/atomic_file.h"

namespace pipeline {

std::string writeFlowchartTemplate(const WorkFolder& work) {
  const std::string path = work.file("flowchart.template");
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) xml::writeFileAtomically(path, kFlowchartTemplate);
  return path;
}

}  // namespace pipeline
