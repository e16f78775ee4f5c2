// The measures of real Java methods: the constructs on which the
// conventions of checkstyle, PMD, McCabe and SonarSource differ, each with
// the value its convention gives, and the worked examples of SonarSource's
// cognitive complexity paper.
#include "metrics/measures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "frontends/java/language_level.h"
#include "frontends/java/source_parse.h"
#include "tests/support/test_support.h"

namespace metrics {
namespace {


void expectCounts(const Halstead& halstead, int64_t operators, int64_t distinctOperators, int64_t operands,
                  int64_t distinctOperands) {
  EXPECT_EQ(halstead.operators, operators);
  EXPECT_EQ(halstead.distinctOperators, distinctOperators);
  EXPECT_EQ(halstead.operands, operands);
  EXPECT_EQ(halstead.distinctOperands, distinctOperands);
}

FileMeasures measureSource(const std::string& source, int level = java::kNewestLanguageLevel) {
  java::ParseOptions options;
  options.languageLevel = level;
  const java::SourceParse parse = java::SourceParse::ofText(source, options);
  EXPECT_TRUE(parse.status().parsed()) << source;
  if (!parse.status().parsed()) return FileMeasures();
  return measureTree(syntax::Tree::fromParse(parse));
}

const MethodMeasures* methodNamed(const FileMeasures& measures, const std::string& name) {
  for (const MethodMeasures& method : measures.methods)
    if (method.name == name) return &method;
  return nullptr;
}

struct Construct {
  const char* what;
  const char* members;  // class members; the method measured is m
  int64_t cyclomatic;
  int64_t cognitive;
};

TEST(Measures, ConstructsWhereConventionsDiffer) {
  const Construct constructs[] = {
      {"a plain else", "int m(int a) { if (a > 0) return 1; else return 2; }", 2, 2},
      {"else if chain", "int m(int a) { if (a > 0) return 1; else if (a < 0) return 2; else return 0; }", 3, 3},
      {"switch: each case, not the switch nor default",
       "int m(int a) { switch (a) { case 1: return 1; case 2: case 3: return 2; default: return 0; } }", 4, 1},
      {"case list is one case keyword",
       "int m(int a) { return switch (a) { case 1, 2 -> 1; case 3 -> 2; default -> 0; }; }", 3, 1},
      {"catch counts, try and finally do not",
       "void m() { try { f(); } catch (RuntimeException e) { g(); } finally { h(); } }", 2, 1},
      {"throw counts for no convention but PMD's", "void m(int a) { if (a < 0) throw new IllegalArgumentException(); }",
       2, 1},
      {"&& and || outside conditions", "boolean m(boolean a, boolean b, boolean c) { return a && b || c; }", 3, 2},
      {"one run of like operators", "boolean m(boolean a, boolean b, boolean c) { return a && b && c; }", 3, 1},
      {"parenthesised run is its own", "boolean m(boolean a, boolean b, boolean c) { return a && !(b && c); }", 3, 2},
      {"conditional operator nests its operands",
       "int m(boolean a, boolean b) { return a ? 1 : b ? 2 : 3; }", 3, 3},
      {"lambda body counts for the method, one level deeper",
       "Runnable m(boolean a) { return () -> { if (a) f(); }; }", 2, 2},
      {"anonymous class: its methods are their own",
       "Object m(boolean a) { return new Object() { public int hashCode() { return a ? 1 : 0; } }; }", 1, 0},
      {"anonymous class: its field initialisers count for the method",
       "Object m(boolean a) { return new Object() { int x = a ? 1 : 0; }; }", 2, 2},
      {"do while counts once", "void m() { do { f(); } while (g()); }", 2, 1},
      {"for each and labelled continue",
       "void m(int[] xs) { outer: for (int x : xs) { for (int y : xs) { if (x == y) continue outer; } } }", 4, 7},
      {"recursion", "int m(int n) { return n <= 1 ? 1 : n * m(n - 1); }", 2, 2},
      {"recursion with type arguments", "<T> int m(int n) { return n <= 1 ? 1 : n * this.<T>m(n - 1); }", 2, 2},
      {"guard of a case pattern",
       "int m(Object o) { return switch (o) { case Integer i when i > 0 -> 1; default -> 0; }; }", 3, 1},
      {"a field initialiser belongs to no method", "int f = g() ? 1 : 2; void m() { }", 1, 0},
  };
  for (const Construct& construct : constructs) {
    const FileMeasures measures = measureSource(std::string("class T {\n") + construct.members + "\n}\n");
    const MethodMeasures* m = methodNamed(measures, "m");
    ASSERT_NE(m, nullptr) << construct.what;
    EXPECT_EQ(m->cyclomatic, construct.cyclomatic) << construct.what;
    EXPECT_EQ(m->cognitive, construct.cognitive) << construct.what;
  }
}

TEST(Measures, InterfaceMethodsWithBodiesAndWithout) {
  const FileMeasures measures = measureSource(
      "interface I {\n"
      "  default int d(int a) { return a > 0 ? 1 : 2; }\n"
      "  static int s(int a) { if (a > 0 && a < 9) return 1; return 0; }\n"
      "  private void p() { }\n"
      "  int abstractOne();\n"
      "}\n");
  ASSERT_EQ(measures.methods.size(), 4u);
  EXPECT_EQ(measures.methods[0].cyclomatic, 2);
  EXPECT_EQ(measures.methods[1].cyclomatic, 3);
  EXPECT_EQ(measures.methods[2].cyclomatic, 1);
  EXPECT_TRUE(measures.methods[2].hasBody);
  EXPECT_FALSE(measures.methods[3].hasBody);
}

TEST(Measures, InitialisersAndConstructorsAreMeasuredApart) {
  const FileMeasures measures = measureSource(
      "class T {\n"
      "  static final int K = Boolean.getBoolean(\"k\") ? 1 : 2;\n"
      "  static { if (K > 1) System.gc(); }\n"
      "  T(int a) { while (a > 0) a--; }\n"
      "}\n");
  ASSERT_EQ(measures.methods.size(), 2u);
  EXPECT_EQ(measures.methods[0].kind, MethodMeasures::Kind::Initializer);
  EXPECT_EQ(measures.methods[0].cyclomatic, 2);  // the if only: the field's ?: is no part of it
  EXPECT_EQ(measures.methods[0].line, 3);
  EXPECT_EQ(measures.methods[1].kind, MethodMeasures::Kind::Constructor);
  EXPECT_EQ(measures.methods[1].name, "T");
  EXPECT_EQ(measures.methods[1].cyclomatic, 2);
  EXPECT_EQ(measures.methods[1].cognitive, 1);
}

// One declaration measured alone gives what the whole file's walk gives
// it: methods of classes inside it, lambdas, two methods on a line and an
// initialiser included; a node that declares no method gives nothing.
TEST(Measures, OneDeclarationAloneAsInTheFile) {
  java::ParseOptions options;
  options.languageLevel = java::kNewestLanguageLevel;
  const java::SourceParse parse = java::SourceParse::ofText(
      "class T {\n"
      "  int a(int x) { return x > 0 && x < 9 ? 1 : 2; } int b() { return 0; }\n"
      "  @Deprecated\n"
      "  void c(java.util.List<Integer> xs) {\n"
      "    class Local { int d(int y) { if (y > 1) { for (;;) { if (y-- < 0) break; } } return y; } }\n"
      "    xs.forEach(x -> { if (x > 0) c(xs); });\n"
      "    new Thread() { public void run() { while (true) {} } };\n"
      "  }\n"
      "  static { if (Boolean.getBoolean(\"k\")) System.gc(); }\n"
      "  T() { this(1); }\n  T(int k) {}\n"
      "}\n",
      options);
  ASSERT_TRUE(parse.status().parsed());
  const syntax::Tree tree = syntax::Tree::fromParse(parse);
  const FileMeasures whole = measureTree(tree);
  std::vector<MethodMeasures> alone;
  tree.root().walk([&](const syntax::Node& node) {
    if (std::optional<MethodMeasures> measured = measureDeclaration(node)) alone.push_back(std::move(*measured));
    return syntax::Step::Into;
  });
  ASSERT_EQ(alone.size(), whole.methods.size());
  ASSERT_EQ(whole.methods.size(), 8u);
  for (size_t k = 0; k < alone.size(); ++k) {
    const MethodMeasures& one = alone[k];
    const MethodMeasures& all = whole.methods[k];
    EXPECT_EQ(std::tie(one.name, one.line, one.nameLine, one.endLine, one.hasBody, one.nloc, one.cyclomatic,
                       one.cognitive, one.halstead.operators, one.halstead.operands),
              std::tie(all.name, all.line, all.nameLine, all.endLine, all.hasBody, all.nloc, all.cyclomatic,
                       all.cognitive, all.halstead.operators, all.halstead.operands))
        << all.name;
  }
  EXPECT_FALSE(measureDeclaration(tree.root()));
}

// The worked examples of the cognitive complexity paper, as it prints them.
TEST(Measures, CognitiveComplexityPaperExamples) {
  const FileMeasures measures = measureSource(
      "class Paper {\n"
      "  int sumOfPrimes(int max) {\n"
      "    int total = 0;\n"
      "    OUT: for (int i = 1; i <= max; ++i) {\n"
      "      for (int j = 2; j < i; ++j) {\n"
      "        if (i % j == 0) {\n"
      "          continue OUT;\n"
      "        }\n"
      "      }\n"
      "      total += i;\n"
      "    }\n"
      "    return total;\n"
      "  }\n"
      "  String getWords(int number) {\n"
      "    switch (number) {\n"
      "      case 1:\n"
      "        return \"one\";\n"
      "      case 2:\n"
      "        return \"a couple\";\n"
      "      case 3:\n"
      "        return \"a few\";\n"
      "      default:\n"
      "        return \"lots\";\n"
      "    }\n"
      "  }\n"
      "  void myMethod() {\n"
      "    try {\n"
      "      if (condition1) {\n"
      "        for (int i = 0; i < 10; i++) {\n"
      "          while (condition2) { }\n"
      "        }\n"
      "      }\n"
      "    } catch (ExcepType1 | ExcepType2 e) {\n"
      "      if (condition2) { }\n"
      "    }\n"
      "  }\n"
      "}\n");
  ASSERT_NE(methodNamed(measures, "sumOfPrimes"), nullptr);
  EXPECT_EQ(methodNamed(measures, "sumOfPrimes")->cognitive, 7);
  EXPECT_EQ(methodNamed(measures, "sumOfPrimes")->cyclomatic, 4);
  EXPECT_EQ(methodNamed(measures, "getWords")->cognitive, 1);
  EXPECT_EQ(methodNamed(measures, "getWords")->cyclomatic, 4);
  EXPECT_EQ(methodNamed(measures, "myMethod")->cognitive, 9);
  // Each increment where the paper prints it, with its nesting.
  for (const auto& [name, expected] : std::vector<std::pair<std::string, std::string>>{
           {"sumOfPrimes", "4:for +1 5:for +2 (incl 1 for nesting) 6:if +3 (incl 2 for nesting) 7:continue +1 "},
           {"myMethod", "28:if +1 29:for +2 (incl 1 for nesting) 30:while +3 (incl 2 for nesting) 33:catch +1 "
                        "34:if +2 (incl 1 for nesting) "}}) {
    std::string shown;
    for (const CognitiveIncrement& step : methodNamed(measures, name)->cognitiveIncrements)
      shown += std::to_string(step.line) + ":" + step.token + " " + step.text() + " ";
    EXPECT_EQ(shown, expected) << name;
  }
}

TEST(Measures, HalsteadCountsTokensByTheWrittenRules) {
  const FileMeasures measures = measureSource("class T { int f(int a, int b) { return a + b; } }\n");
  const MethodMeasures* f = methodNamed(measures, "f");
  ASSERT_NE(f, nullptr);
  // int f ( int a , int b ) { return a + b ; }
  // operators: int (three times) ( , { return + ; -> 9 in all, 7 distinct
  // (a bracket pair once); operands: f a b a b -> 5 in all, 3 distinct
  expectCounts(f->halstead, 9, 7, 5, 3);
  EXPECT_NEAR(f->halstead.volume(), 14 * std::log2(10.0), 1e-9);
  EXPECT_NEAR(f->halstead.difficulty(), 3.5 * 5.0 / 3.0, 1e-9);
  EXPECT_EQ(f->nloc, 1);

  // true, false and null are operands; type arguments' brackets one operator.
  const FileMeasures literals =
      measureSource("class T {\n  java.util.List<String> g(boolean x) {\n    return x == true ? null : null;\n  }\n}\n");
  const MethodMeasures* g = methodNamed(literals, "g");
  ASSERT_NE(g, nullptr);
  // operators: . . <> ( boolean { return == ? : ; -> 11, 10 distinct;
  // operands: java util List String g x x true null null -> 10, 8 distinct
  expectCounts(g->halstead, 11, 10, 10, 8);
  EXPECT_EQ(g->nloc, 3);
}

}  // namespace
}  // namespace metrics
