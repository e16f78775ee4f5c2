// Runs mode 7 and then mode 8 of the built engine on Java sources in a
// temporary folder, as the front end does.
#pragma once

#include <string>

#include "tests/support/test_support.h"

namespace flowchart_e2e {

// The files of one working folder.
struct WorkFolder {
  explicit WorkFolder(const testing_support::TempDir& dir);
  std::string folder, source, tree, comments, status, results;
};

// Copies tests/fixtures/flowchart/<javaFile> to the folder's source and
// runs mode 7 on it at the language level given as mode 7's last argument
// ("x" is level 0); returns mode 7's exit code.
int parseFixture(const WorkFolder& work, const std::string& javaFile, const std::string& level = "x");

// Runs mode 8 with the given class and method; the numbers are passed as
// written.  comments defaults to the folder's comments file.
int buildModel(const WorkFolder& work, const std::string& className, const std::string& classLine,
               const std::string& methodName, const std::string& methodLine);
int buildModel(const WorkFolder& work, const std::string& className, const std::string& classLine,
               const std::string& methodName, const std::string& methodLine,
               const std::string& sourcePath, const std::string& commentsPath);

// The model text of the func's "blocks" in the folder's results file.
std::string modelOf(const WorkFolder& work, const std::string& funcName, const std::string& funcLine);

// The expected model text tests/fixtures/flowchart/<name>.
std::string expectedModel(const std::string& name);

}  // namespace flowchart_e2e
