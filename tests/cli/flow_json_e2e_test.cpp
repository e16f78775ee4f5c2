// The control-flow graph of `flowchart draw -o M.json`, compared whole
// with graphs checked by hand against the Java language's rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/cli/cli_run.h"

namespace {

void expectGraph(const std::string& folder, const std::string& source, const std::string& method,
                 const std::vector<std::string>& options = {}) {
  testing_support::TempDir dir;
  const std::string out = dir.file(method + ".json");
  std::vector<std::string> args{"draw", source, method, "-o", out};
  args.insert(args.end(), options.begin(), options.end());
  const auto run = runFlowchart(args, testing_support::fixture(folder));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string stem = source.substr(0, source.rfind('.'));
  EXPECT_EQ(testing_support::readFile(out),
            testing_support::readFile(testing_support::fixture("cfg/" + stem + "." + method + ".json")))
      << source << " " << method;
}

// Guards, continue to a for's update, a switch with a throw and fall-off,
// and try/catch/finally where the catch's return runs finally first.
TEST(FlowJson, ShippedExample) { expectGraph("examples/java", "Checkout.java", "total"); }

// Patterns with guards, a switch expression with yield, labelled break
// and continue out of nested for-each loops, try-with-resources, a
// lambda's own graph, do ... while (true) left by a break.
TEST(FlowJson, NewerConstructs) { expectGraph("cfg", "Shapes.java", "describe"); }

// Exceptions: one thrown in a catch block runs finally and leaves; the
// resources are closed in reverse order on every way out, a close()
// exception going to the try's catches or out; the program's own
// exception classes (of the file, and of the --src tree) reach only the
// catches that take them, also through `throw e` and multi-catch; a
// finally clause ending in a loop left by break rethrows after the break;
// a lambda in a switch expression's case is drawn once.
TEST(FlowJson, ExceptionPaths) {
  for (const char* method : {"catchThrows", "resources", "ownTypes", "finallyLoop", "switchLambda"})
    expectGraph("cfg", "Exceptions.java", method);
  expectGraph("cfg/tree", "Thrower.java", "fail", {"--src", "."});
}

// A labelled statement standing as an if's branch or a loop's body (the
// parser leaves the statement it labels as the next sibling): it runs
// only on that branch or as that body, a break to its label leaves it;
// labels stacked on a block, on an if's branch and on a loop.
TEST(FlowJson, LabelledBranches) {
  for (const char* method : {"thenBlock", "elseBlock", "loopBodies", "stacked"})
    expectGraph("cfg", "Labels.java", method);
}

// Annotations of types in every place Java allows them, explicit type
// arguments after any primary, member types of parameterized types, casts
// to generic types before a lambda, casts of casts, method references with
// type arguments, parenthesised and comparing case constants, patterns of
// member types and annotated patterns: the graphs, and each file's names
// and measures (`list --json`), checked by hand.  Titles and names leave
// the annotations out, and parameter types the receiver parameter.
TEST(FlowJson, AnnotatedAndParameterizedTypes) {
  for (const char* method : {"convert", "count"}) expectGraph("java/modern", "TypeAnnotations.java", method);
  expectGraph("java/modern", "TypeArguments.java", "chain");
  for (const char* method : {"same", "casts"}) expectGraph("java/modern", "MemberTypes.java", method);
  for (const char* method : {"casts", "labels"}) expectGraph("java/modern", "References.java", method);
  expectGraph("cfg", "PatternTypes.java", "kind");
  for (const std::string stem : {"TypeAnnotations", "TypeArguments", "MemberTypes", "References"}) {
    const auto run = runFlowchart({"list", stem + ".java", "--json"}, testing_support::fixture("java/modern"));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, testing_support::readFile(testing_support::fixture("cfg/" + stem + ".list.json"))) << stem;
  }
}

TEST(FlowJson, MethodWithoutBody) {
  testing_support::TempDir dir;
  const std::string source = dir.file("A.java");
  testing_support::writeFile(source, "abstract class A { abstract int f(); }\n");
  const auto run = runFlowchart({"draw", source, "f", "-o", dir.file("f.json")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find(":1: no body"), std::string::npos) << run.err;
}

}  // namespace
