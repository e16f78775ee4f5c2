#include "engine/flowchart_model/model_files.h"

#include "files/atomic_file.h"

namespace flowchart {

std::unique_ptr<xml::Document> ModelFolder::loadResults() { return xml::Document::loadFile(resultsPath_); }

std::optional<SourceLines> ModelFolder::readSource(int32_t count) { return SourceLines::read(sourcePath_, count); }

bool ModelFolder::saveResults(const Pieces& pieces) {
  files::AtomicFile file(resultsPath_);
  if (!file.open()) return false;
  return pieces([&file](std::string_view piece) { return file.write(piece); }) && file.commit();
}

}  // namespace flowchart
