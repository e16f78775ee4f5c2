// The control-flow graph of `flowchart draw -o M.json`, compared whole
// with graphs checked by hand against the Java language's rules.
#include <gtest/gtest.h>

#include "tests/cli/cli_run.h"

namespace {

void expectGraph(const std::string& folder, const std::string& source, const std::string& method) {
  testing_support::TempDir dir;
  const std::string out = dir.file(method + ".json");
  const auto run = runFlowchart({"draw", source, method, "-o", out}, testing_support::fixture(folder));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string stem = source.substr(0, source.rfind('.'));
  EXPECT_EQ(testing_support::readFile(out),
            testing_support::readFile(testing_support::fixture("cfg/" + stem + "." + method + ".json")));
}

// Guards, continue to a for's update, a switch with a throw and fall-off,
// and try/catch/finally where the catch's return runs finally first.
TEST(FlowJson, ShippedExample) { expectGraph("examples/java", "Checkout.java", "total"); }

// Patterns with guards, a switch expression with yield, labelled break
// and continue out of nested for-each loops, try-with-resources, a
// lambda's own graph, do ... while (true) left by a break.
TEST(FlowJson, NewerConstructs) { expectGraph("cfg", "Shapes.java", "describe"); }

TEST(FlowJson, MethodWithoutBody) {
  testing_support::TempDir dir;
  const std::string source = dir.file("A.java");
  testing_support::writeFile(source, "abstract class A { abstract int f(); }\n");
  const auto run = runFlowchart({"draw", source, "f", "-o", dir.file("f.json")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find(":1: no body"), std::string::npos) << run.err;
}

}  // namespace
