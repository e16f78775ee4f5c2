// Mode 7 then mode 8 on small Java files: the whole model of each method is
// compared with an expected file written by hand.
#include <gtest/gtest.h>

#include "tests/flowchart/mode8_run.h"

namespace flowchart_e2e {
namespace {

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

struct Case {
  const char* java;
  const char* className;
  const char* method;
  const char* line;
  const char* expected;
  const char* classLine = "1";
};

const Case kCases[] = {
    {"Basics.java", "Basics", "empty", "2", "Basics.empty.2.model"},
    {"Basics.java", "Basics", "straight", "5", "Basics.straight.5.model"},
    {"Basics.java", "Basics", "runBrokenByIf", "11", "Basics.runBrokenByIf.11.model"},
    {"Basics.java", "Basics", "ifElse", "17", "Basics.ifElse.17.model"},
    {"Basics.java", "Basics", "elseIfChain", "29", "Basics.elseIfChain.29.model"},
    {"Basics.java", "Basics", "nested", "39", "Basics.nested.39.model"},
    {"Switches.java", "Switches", "withDefault", "2", "Switches.withDefault.2.model"},
    {"Switches.java", "Switches", "withoutDefault", "16", "Switches.withoutDefault.16.model"},
    {"Loops.java", "Loops", "forLoop", "2", "Loops.forLoop.2.model"},
    {"Loops.java", "Loops", "whileLoop", "12", "Loops.whileLoop.12.model"},
    {"Loops.java", "Loops", "forEach", "18", "Loops.forEach.18.model"},
    {"Loops.java", "Loops", "doWhile", "34", "Loops.doWhile.34.model"},
    {"Guarded.java", "Guarded", "oneCatch", "2", "Guarded.oneCatch.2.model"},
    {"Guarded.java", "Guarded", "twoCatches", "10", "Guarded.twoCatches.10.model"},
    {"Guarded.java", "Guarded", "finallyOnly", "20", "Guarded.finallyOnly.20.model"},
    {"Guarded.java", "Guarded", "emptyTry", "28", "Guarded.emptyTry.28.model"},
    {"Guarded.java", "Guarded", "tryInTry", "35", "Guarded.tryInTry.35.model"},
    {"Guarded.java", "Guarded", "locked", "47", "Guarded.locked.47.model"},
    {"Misc.java", "Misc", "#Block#", "4", "Misc.staticBlock.4.model"},
    {"Misc.java", "Misc", "#Block#", "9", "Misc.instanceBlock.9.model"},
    {"Misc.java", "Misc", "Misc", "13", "Misc.constructor.13.model"},
    {"Misc.java", "Misc", "find", "17", "Misc.find.17.model"},
    {"Misc.java", "Misc", "check", "29", "Misc.check.29.model"},
    {"Misc.java", "Misc", "twice", "39", "Misc.twice.39.model"},
    {"Misc.java", "Misc", "twice", "43", "Misc.twice.43.model"},
    {"Mends.java", "Mends", "caseAfterIf", "2", "Mends.caseAfterIf.2.model"},
    {"Mends.java", "Mends", "labelAfterLoop", "12", "Mends.labelAfterLoop.12.model"},
};

// Methods of the later Java languages, parsed at the newest level.
const Case kModernCases[] = {
    {"Modern.java", "Modern", "rules", "5", "Modern.rules.5.model", "4"},
    {"Modern.java", "Modern", "patterns", "20", "Modern.patterns.20.model", "4"},
    {"Modern.java", "Modern", "resources", "31", "Modern.resources.31.model", "4"},
    {"Modern.java", "Modern", "expressions", "41", "Modern.expressions.41.model", "4"},
    {"Modern.java", "Point", "Point", "59", "Modern.Point.59.model", "58"},
    {"Modern.java", "PLUS", "apply", "67", "Modern.apply.67.model", "66"},
    {"Modern.java", "Shape", "corners", "73", "Modern.corners.73.model", "72"},
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.expected; }

void expectModel(const Case& c, const std::string& level) {
  TempDir dir;
  WorkFolder work(dir);
  ASSERT_EQ(parseFixture(work, c.java, level), 0);
  ASSERT_EQ(buildModel(work, c.className, c.classLine, c.method, c.line), 1);
  EXPECT_EQ(modelOf(work, c.method, c.line), expectedModel(c.expected));
}

class MethodModel : public ::testing::TestWithParam<Case> {};

// A method without constructs of later Java has the same model whichever
// level parsed its file.
TEST_P(MethodModel, MatchesTheExpectedModel) {
  expectModel(GetParam(), "x");
  expectModel(GetParam(), "25");
}

class ModernMethodModel : public ::testing::TestWithParam<Case> {};

TEST_P(ModernMethodModel, MatchesTheExpectedModel) { expectModel(GetParam(), "25"); }

std::string caseName(const ::testing::TestParamInfo<Case>& info) {
  std::string name = info.param.expected;
  name = name.substr(0, name.size() - std::string(".model").size());
  for (char& ch : name)
    if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Java, MethodModel, ::testing::ValuesIn(kCases), caseName);
INSTANTIATE_TEST_SUITE_P(Java, ModernMethodModel, ::testing::ValuesIn(kModernCases), caseName);

// A second build of the same method answers 1 and leaves the file alone;
// an overload beside it gets its own model, found by its line.
TEST(Mode8, BuildingTwiceAndOverloadsShareOneResultsFile) {
  TempDir dir;
  WorkFolder work(dir);
  ASSERT_EQ(parseFixture(work, "Misc.java"), 0);
  ASSERT_EQ(buildModel(work, "Misc", "1", "twice", "43"), 1);
  const std::string once = readFile(work.results);
  EXPECT_EQ(buildModel(work, "Misc", "1", "twice", "43"), 1);
  EXPECT_EQ(readFile(work.results), once);

  ASSERT_EQ(buildModel(work, "Misc", "1", "twice", "39"), 1);
  EXPECT_EQ(modelOf(work, "twice", "39"), expectedModel("Misc.twice.39.model"));
  EXPECT_EQ(modelOf(work, "twice", "43"), expectedModel("Misc.twice.43.model"));
  EXPECT_EQ(buildModel(work, "Misc", "1", "find", "17"), 1);
  EXPECT_EQ(modelOf(work, "find", "17"), expectedModel("Misc.find.17.model"));
  EXPECT_EQ(modelOf(work, "twice", "39"), expectedModel("Misc.twice.39.model"));
}

// A results file whose CDATA section holds the text the model is written
// in place of still gets the model, where it would have gone without it.
TEST(Mode8, TextLikeTheModelsPlaceholderChangesNothing) {
  TempDir dir;
  WorkFolder work(dir);
  ASSERT_EQ(parseFixture(work, "Misc.java"), 0);
  const std::string pristine = readFile(work.results);
  ASSERT_EQ(buildModel(work, "Misc", "1", "find", "17"), 1);
  const std::string plain = readFile(work.results);

  const std::string comment = "<![CDATA[<flowchart-model-in-progress/>]]>";
  const size_t end = pristine.rfind("</results>");
  ASSERT_NE(end, std::string::npos);
  writeFile(work.results, pristine.substr(0, end) + comment + pristine.substr(end));
  ASSERT_EQ(buildModel(work, "Misc", "1", "find", "17"), 1);
  const size_t plainEnd = plain.rfind("</results>");
  EXPECT_EQ(readFile(work.results), plain.substr(0, plainEnd) + comment + plain.substr(plainEnd));
  EXPECT_EQ(modelOf(work, "find", "17"), expectedModel("Misc.find.17.model"));
}

// The shipped example builds without a failure for every method in it.
TEST(Mode8, EveryMethodOfTheShippedExampleBuilds) {
  TempDir dir;
  WorkFolder work(dir);
  std::filesystem::copy_file(testing_support::fixture("examples/java/Inventory.java"), work.source);
  ASSERT_EQ(testing_support::runEngine({"7", work.source, work.tree, work.comments, work.status, work.results, "1", "x"},
                                       work.folder)
                .exitCode,
            0);
  const std::pair<const char*, const char*> inventory[] = {
      {"Inventory", "16"},      {"add", "24"},     {"take", "34"},  {"itemsToReorder", "44"}, {"total", "55"},
      {"describe", "63"},       {"parseAmount", "78"}, {"drain", "91"}};
  for (auto [method, line] : inventory) {
    EXPECT_EQ(buildModel(work, "Inventory", "11", method, line), 1) << method;
    EXPECT_NE(modelOf(work, method, line), "") << method;
  }
  EXPECT_EQ(buildModel(work, "Report", "103", "Report", "106"), 1);
  EXPECT_EQ(buildModel(work, "Report", "103", "render", "110"), 1);
}

}  // namespace
}  // namespace flowchart_e2e
