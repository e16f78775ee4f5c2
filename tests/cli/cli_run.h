// Running the built flowchart command in the end-to-end tests.
#pragma once

#include <string>
#include <vector>

#include "tests/support/test_support.h"

inline testing_support::RunResult runFlowchart(const std::vector<std::string>& args,
                                               const std::filesystem::path& workingDir = {}) {
  return testing_support::runProgram(FLOWCHART_CLI, args, workingDir);
}
