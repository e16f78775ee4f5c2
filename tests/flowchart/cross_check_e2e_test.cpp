// The engine's fast lookups against the plain queries on real trees: every
// method of every Java fixture is built by the engine and, in process, by a
// builder that also runs each lookup as its XPath query and fails on any
// difference; both results files must be the same bytes.
#include <gtest/gtest.h>

#include <filesystem>

#include "xml/tree_file.h"
#include "engine/flowchart_model/builder.h"
#include "engine/flowchart_model/large_stack.h"
#include "tests/support/flowchart_model/lookup_queries.h"
#include "tests/flowchart/mode8_run.h"

namespace flowchart_e2e {
namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

TEST(CrossCheck, FastLookupsGiveTheSameFilesAsTheQueries) {
  const char* sources[] = {"flowchart/Basics.java", "flowchart/Switches.java", "flowchart/Loops.java",
                           "flowchart/Guarded.java", "flowchart/Misc.java",     "flowchart/Mends.java",
                           "examples/java/Inventory.java",
                           // 713 statements in the benchmark's mix, nested up to ten deep.
                           "flowchart/Generated.java"};
  int built = 0;
  for (const char* source : sources) {
    SCOPED_TRACE(source);
    TempDir dir;
    WorkFolder work(dir);
    fs::copy_file(testing_support::fixture(source), work.source);
    ASSERT_EQ(testing_support::runEngine({"7", work.source, work.tree, work.comments, work.status, work.results, "1",
                                          "x"},
                                         work.folder)
                  .exitCode,
              0);
    const std::string pristine = readFile(work.results);
    auto results = xml::Document::loadFile(work.results);
    ASSERT_TRUE(results);
    for (const xml::Node& cls : results->root().selectNodes("//rclass")) {
      for (const xml::Node& func : cls.selectNodes("func")) {
        const std::string className = cls.selectSingleNode("@name").value();
        const std::string classLine = cls.selectSingleNode("@sl").value();
        const std::string method = func.selectSingleNode("@name").value();
        const std::string line = func.selectSingleNode("@sl").value();
        SCOPED_TRACE(className + "." + method + "@" + line);

        writeFile(work.results, pristine);
        const int engineResult = buildModel(work, className, classLine, method, line);
        const std::string engineFile = readFile(work.results);

        writeFile(work.results, pristine);
        auto tree = xml::loadTreeDocument(work.tree);
        auto comments = xml::loadTreeDocument(work.comments);
        ASSERT_TRUE(tree && comments);
        flowchart::ModelFolder files(work.folder, work.source);
        flowchart::FlowchartBuilder builder(files);
        flowchart::testing::QueryLookupCheck check;
        builder.setLookupCheck(&check);
        flowchart::BuildRequest request{tree.get(), className, std::stoi(classLine), method, std::stoi(line),
                                        comments.get()};
        int checkedResult = -1;
        flowchart::runWithLargeStack([&] { checkedResult = builder.build(request); });
        EXPECT_EQ(checkedResult, engineResult);
        EXPECT_EQ(readFile(work.results), engineFile);
        built += engineResult;
      }
    }
  }
  EXPECT_GE(built, 35);
}

}  // namespace
}  // namespace flowchart_e2e
