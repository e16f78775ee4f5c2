// Sources nested far deeper than any real one: the parser's stacks start
// with room for 100000 entries and double up to 1000000, so such a source
// is either accepted with its whole tree or, past the limit, fails with a
// ParseError; the process never crashes on its own call stack.
#include <gtest/gtest.h>

#include <string>

#include "tests/java/java_run.h"

using namespace javatest;
using testing_support::TempDir;

namespace {

size_t occurrences(const std::string& text, std::string_view what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
    ++count;
  return count;
}

// A method returning x inside depth pairs of parentheses, all on line 3.
std::string nestedParentheses(size_t depth) {
  return "class A {\n  int f(int x) {\n    return " + std::string(depth, '(') + "x" +
         std::string(depth, ')') + ";\n  }\n}\n";
}

}  // namespace

TEST(DeepInput, HundredThousandNestedParenthesesAreAccepted) {
  // The parser's stack outgrows its first 100000 entries once and stays
  // far below its limit.
  constexpr size_t kDepth = 100000;
  TempDir dir;
  ParseRun run = parseSource(dir, nestedParentheses(kDepth));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.status, "<ParseSuccess/>");
  EXPECT_EQ(run.err, "");
  ASSERT_TRUE(run.tree.has_value());
  const std::string& tree = *run.tree;
  // One more pair for the parameter list; each level is an inner Expr.
  EXPECT_EQ(occurrences(tree, "<OPR "), kDepth + 1);
  EXPECT_EQ(occurrences(tree, "<CPR "), kDepth + 1);
  EXPECT_EQ(occurrences(tree, "<Expr>\n"), kDepth + 1);
  EXPECT_EQ(occurrences(tree, "</Expr>\n"), kDepth + 1);
  EXPECT_NE(tree.find("<OPR l=\"3\" c=\"12\" t=\"(\"/><Expr>\n<OPR l=\"3\" c=\"13\" t=\"(\"/>"),
            std::string::npos);
  EXPECT_NE(tree.find("<IDEN l=\"3\" c=\"100012\" t=\"x\"/>"), std::string::npos);
  EXPECT_EQ(tree.substr(tree.size() - 11), "</Program>\n");
  ASSERT_TRUE(run.results.has_value());
  EXPECT_NE(run.results->find("<func name=\"f\" sl=\"2\" el=\"4\" sign=\"int f ( int x )\">"),
            std::string::npos);
}

TEST(DeepInput, NestingPastTheStackLimitIsAParseError) {
  // 1100000 open parentheses need more than the 1000000 entries the
  // parser's stack may grow to.
  TempDir dir;
  ParseRun run = parseSource(dir, nestedParentheses(1100000));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.status, "<ParseError line=\"3\"/>");
  EXPECT_EQ(run.err, "");
  EXPECT_FALSE(run.tree.has_value());
  EXPECT_FALSE(run.results.has_value());
  EXPECT_FALSE(run.comments.has_value());
}

TEST(DeepInput, HundredThousandNestedBlocksAndIfsAreAccepted) {
  constexpr size_t kDepth = 100000;
  std::string source = "class A {\n  void f(int x) {\n" + std::string(kDepth, '{') + "\n";
  for (size_t i = 0; i < kDepth; ++i) source += "if (x > 0) ";
  source += "x++;\n" + std::string(kDepth, '}') + "\n  }\n}\n";
  TempDir dir;
  ParseRun run = parseSource(dir, source);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.status, "<ParseSuccess/>");
  ASSERT_TRUE(run.tree.has_value());
  // The method body's block and the nested ones.
  EXPECT_EQ(occurrences(*run.tree, "<Blk>\n"), kDepth + 1);
  EXPECT_EQ(occurrences(*run.tree, "<SelStmt>\n"), kDepth);
  ASSERT_TRUE(run.results.has_value());
  // Every if is a decision point of f.
  EXPECT_NE(run.results->find("<measure id=\"CC_MTD\" value=\"100001\"/>"), std::string::npos);
}

// At the newest level too: lambdas and switch expressions nested far deeper
// than any real source parse with their whole tree, without recursion.
TEST(DeepInput, DeeplyNestedLambdasAndSwitchExpressionsAreAccepted) {
  constexpr size_t kLambdas = 100000;
  std::string lambdas = "class A {\n  Object f = ";
  for (size_t i = 0; i < kLambdas; ++i) lambdas += "x -> ";
  lambdas += "x;\n}\n";
  TempDir dir;
  ParseRun run = parseSource(dir, lambdas, 1, 25);
  EXPECT_EQ(run.status, "<ParseSuccess/>");
  ASSERT_TRUE(run.tree.has_value());
  EXPECT_EQ(occurrences(*run.tree, "<LambdaExpr>\n"), kLambdas);

  constexpr size_t kSwitches = 20000;
  std::string switches = "class A {\n  int f(int x) {\n    return ";
  for (size_t i = 0; i < kSwitches; ++i) switches += "switch (x) { case 1 -> 1; default -> ";
  switches += "0";
  for (size_t i = 0; i < kSwitches; ++i) switches += "; }";
  switches += ";\n  }\n}\n";
  TempDir other;
  run = parseSource(other, switches, 1, 25);
  EXPECT_EQ(run.status, "<ParseSuccess/>");
  ASSERT_TRUE(run.tree.has_value());
  EXPECT_EQ(occurrences(*run.tree, "<SwExpr>\n"), kSwitches);
  ASSERT_TRUE(run.results.has_value());
  // One decision for each switch and each case.
  EXPECT_NE(run.results->find("<measure id=\"CC_MTD\" value=\"40001\"/>"), std::string::npos);
}
