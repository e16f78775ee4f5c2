// The grammar's conflicts are part of its meaning (bison's default
// resolution decides the trees), so their number is checked here: bison
// must report no shift/reduce conflict and exactly one reduce/reduce
// conflict, on "{" after "subgraph name", resolved for _opt_id.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

using testing_support::readFile;
using testing_support::runShell;
using testing_support::TempDir;

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// The words of a line, blanks collapsed.
std::string words(const std::string& line) {
  std::istringstream in(line);
  std::string out;
  for (std::string word; in >> word;) out += (out.empty() ? "" : " ") + word;
  return out;
}

TEST(DotGrammar, HasExactlyTheOneKnownConflict) {
  TempDir dir;
  const std::string command = std::string("'") + DOT_BISON_EXECUTABLE + "' -o '" +
                              dir.file("g.cpp") + "' --report=state --report-file='" +
                              dir.file("g.output") + "' '" + DOT_GRAMMAR_FILE + "' 2>/dev/null";
  ASSERT_EQ(runShell(command), 0);
  const std::vector<std::string> report = lines(readFile(dir.file("g.output")));

  std::vector<std::string> conflicts;
  for (const std::string& line : report)
    if (line.rfind("State ", 0) == 0 && line.find(" conflicts: ") != std::string::npos)
      conflicts.push_back(line);
  ASSERT_EQ(conflicts.size(), 1u);
  const std::string state = conflicts[0].substr(0, conflicts[0].find(" conflicts: "));
  EXPECT_EQ(conflicts[0], state + " conflicts: 1 reduce/reduce");

  // In that state "{" is reduced to _opt_id; the short subgraph form loses.
  std::vector<std::string> actions;
  bool inState = false;
  for (const std::string& line : report) {
    if (line.rfind("State ", 0) == 0) inState = line == state;
    if (inState && line.find("CUO") != std::string::npos) actions.push_back(words(line));
  }
  ASSERT_EQ(actions.size(), 2u);
  EXPECT_EQ(actions[0].substr(0, actions[0].find(" rule ")), "CUO reduce using");
  EXPECT_NE(actions[0].find("(_opt_id)"), std::string::npos);
  EXPECT_EQ(actions[1].substr(0, actions[1].find(" rule ")), "CUO [reduce using");
  EXPECT_NE(actions[1].find("(subgraph)]"), std::string::npos);
}

}  // namespace
