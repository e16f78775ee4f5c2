#include "tests/flowchart/mode8_run.h"

#include <filesystem>

#include "tests/support/flowchart_model/model_text.h"

namespace flowchart_e2e {

using testing_support::fixture;
using testing_support::readFile;
using testing_support::runEngine;

WorkFolder::WorkFolder(const testing_support::TempDir& dir)
    : folder(dir.path().string()),
      source(dir.file("Source.java")),
      tree(dir.file("st.tmp")),
      comments(dir.file("cmt.xml")),
      status(dir.file("status.xml")),
      results(dir.file("results.xml")) {}

int parseFixture(const WorkFolder& work, const std::string& javaFile, const std::string& level) {
  std::filesystem::copy_file(fixture("flowchart/" + javaFile), work.source,
                             std::filesystem::copy_options::overwrite_existing);
  return runEngine({"7", work.source, work.tree, work.comments, work.status, work.results, "1", level},
                   work.folder)
      .exitCode;
}

int buildModel(const WorkFolder& work, const std::string& className, const std::string& classLine,
               const std::string& methodName, const std::string& methodLine) {
  return buildModel(work, className, classLine, methodName, methodLine, work.source, work.comments);
}

int buildModel(const WorkFolder& work, const std::string& className, const std::string& classLine,
               const std::string& methodName, const std::string& methodLine,
               const std::string& sourcePath, const std::string& commentsPath) {
  return runEngine({"8", "x", work.folder, "x", className, classLine, methodName, methodLine, "x", sourcePath,
                    commentsPath, "x"},
                   work.folder)
      .exitCode;
}

std::string modelOf(const WorkFolder& work, const std::string& funcName, const std::string& funcLine) {
  return flowchart::testing::modelTextInResults(work.results, funcName, funcLine);
}

std::string expectedModel(const std::string& name) { return readFile(fixture("flowchart/" + name)); }

}  // namespace flowchart_e2e
