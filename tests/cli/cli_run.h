// Running the built flowchart command in the end-to-end tests, and reading
// the drawings it saves.
#pragma once

#include <string>
#include <vector>

#include "xml/document.h"
#include "tests/support/test_support.h"

inline testing_support::RunResult runFlowchart(const std::vector<std::string>& args,
                                               const std::filesystem::path& workingDir = {}) {
  return testing_support::runProgram(FLOWCHART_CLI, args, workingDir);
}

// An attribute of a saved drawing's element, or "" when it has none.
inline std::string attr(const xml::Node& node, const char* name) {
  const xml::Node a = node.attributeNamed(name);
  return a ? a.value() : std::string();
}
