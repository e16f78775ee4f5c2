// Several mode-8 runs on one working folder at once, as a front end that
// builds methods in parallel starts them: every model must survive.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/flowchart/mode8_run.h"

namespace flowchart_e2e {
namespace {

using testing_support::readFile;
using testing_support::shellQuote;
using testing_support::TempDir;

struct Method {
  const char* name;
  const char* line;
  const char* expected;
};

const Method kMethods[] = {{"empty", "2", "Basics.empty.2.model"},
                           {"straight", "5", "Basics.straight.5.model"},
                           {"ifElse", "17", "Basics.ifElse.17.model"},
                           {"nested", "39", "Basics.nested.39.model"}};

std::string buildCommand(const WorkFolder& work, const Method& method) {
  return testing_support::engineCommand({"8", "x", work.folder, "x", "Basics", "1", method.name, method.line,
                                         "x", work.source, work.comments, "x"});
}

// Each run reads results.xml, adds its model and replaces the file; a run
// that did not wait for the others would replace it with a copy missing
// their models.  Repeated, because such a loss needs unlucky timing.
TEST(SharedWorkFolder, RunsStartedTogetherKeepEveryModel) {
  TempDir dir;
  WorkFolder work(dir);
  ASSERT_EQ(parseFixture(work, "Basics.java"), 0);
  const std::string parsed = readFile(work.results);
  for (int round = 0; round < 15; ++round) {
    testing_support::writeFile(work.results, parsed);
    std::string command = "cd " + shellQuote(work.folder) + " && (";
    for (size_t i = 0; i < std::size(kMethods); ++i)
      command += buildCommand(work, kMethods[i]) + " >/dev/null 2>&1; echo $? > " +
                 shellQuote(dir.file("exit" + std::to_string(i))) + ") & (";
    command += "true) ; wait";
    ASSERT_EQ(testing_support::runShell(command), 0);
    for (size_t i = 0; i < std::size(kMethods); ++i) {
      EXPECT_EQ(readFile(dir.file("exit" + std::to_string(i))), "1\n") << round << kMethods[i].name;
      EXPECT_EQ(modelOf(work, kMethods[i].name, kMethods[i].line), expectedModel(kMethods[i].expected))
          << "round " << round << ": " << kMethods[i].name;
    }
    if (HasFailure()) break;
  }
}

// Another program that holds the folder's lock while it rewrites
// results.xml is waited for: the run reads the file it wrote.
TEST(SharedWorkFolder, ARunWaitsForAnotherLockHolder) {
  TempDir dir;
  WorkFolder work(dir);
  ASSERT_EQ(parseFixture(work, "Basics.java"), 0);
  std::string marked = readFile(work.results);
  marked.insert(marked.find("<results>") + 8, " by=\"other\"");
  testing_support::writeFile(dir.file("marked.xml"), marked);
  const std::string held = dir.file("held");
  ASSERT_EQ(testing_support::runShell("(flock " + shellQuote(work.folder) + " sh -c 'touch " + shellQuote(held) +
                                      "; sleep 1; cp " + shellQuote(dir.file("marked.xml")) + " " +
                                      shellQuote(work.results) + "') >/dev/null 2>&1 &"),
            0);
  for (int i = 0; i < 500 && !testing_support::fileExists(held); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(testing_support::fileExists(held));
  EXPECT_EQ(buildModel(work, "Basics", "1", "ifElse", "17"), 1);
  const std::string after = readFile(work.results);
  EXPECT_NE(after.find("<results by=\"other\">"), std::string::npos);
  EXPECT_EQ(modelOf(work, "ifElse", "17"), expectedModel("Basics.ifElse.17.model"));
}

}  // namespace
}  // namespace flowchart_e2e
