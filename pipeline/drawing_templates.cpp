#include "pipeline/drawing_templates.h"

#include <filesystem>

#include "xml/atomic_file.h"

namespace pipeline {
namespace {

std::string writeOnce(const WorkFolder& work, std::string_view name, std::string_view content) {
  const std::string path = work.file(name);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) xml::writeFileAtomically(path, content);
  return path;
}

}  // namespace

std::string writeFlowchartTemplate(const WorkFolder& work) {
  return writeOnce(work, "flowchart.template", kFlowchartTemplate);
}

std::string writeSequenceTemplate(const WorkFolder& work) {
  writeOnce(work, "UML Sequence.vss", kSequenceStencil);
  return writeOnce(work, "sequence.template", kSequenceTemplate);
}

}  // namespace pipeline
