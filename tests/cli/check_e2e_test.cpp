// flowchart check on real files: its reports, thresholds and exit codes,
// and --changed-since on a git repository made for the test.
#include <gtest/gtest.h>

#include "tests/cli/cli_run.h"

namespace {

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

constexpr const char* kBusy =
    "class Busy {\n"
    "  int m(int a, boolean b) {\n"
    "    if (a > 0 && b) { for (;;) { if (b) return 1; } }\n"
    "    return a > 1 ? 2 : 3;\n"
    "  }\n"
    "  interface Shape {\n"
    "    double area();\n"
    "    default boolean big() { return area() > 10 || area() < -10; }\n"
    "  }\n"
    "}\n";

TEST(CheckCommand, ThresholdsReportsAndExitCodes) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "src");
  writeFile(dir.path() / "src" / "Busy.java", kBusy);
  const auto all = runFlowchart({"check", "src"}, dir.path());
  EXPECT_EQ(all.exitCode, 0) << all.err;
  EXPECT_EQ(all.out,
            "src/Busy.java:2: Busy.m: cyclomatic complexity 6, cognitive complexity 8, NLOC 4\n"
            "src/Busy.java:8: Busy.Shape.big: cyclomatic complexity 2, cognitive complexity 1, NLOC 1\n");

  const auto over = runFlowchart({"check", "src", "--max-cc", "5", "--max-cognitive", "8", "--max-nloc", "3"},
                                 dir.path());
  EXPECT_EQ(over.exitCode, 3);
  EXPECT_EQ(over.out,
            "src/Busy.java:2: Busy.m: cyclomatic complexity 6 > 5\n"
            "src/Busy.java:2: Busy.m: NLOC 4 > 3\n");
  EXPECT_EQ(runFlowchart({"check", "src", "--max-cc", "6"}, dir.path()).exitCode, 0);

  const auto json = runFlowchart({"check", "src/Busy.java", "--max-cognitive", "7", "-f", "json"}, dir.path());
  EXPECT_EQ(json.exitCode, 3);
  EXPECT_EQ(json.out,
            "{\"thresholds\":{\"cyclomatic-complexity\":null,\"cognitive-complexity\":7,\"nloc\":null},"
            "\"violations\":1,\"files\":[{\"file\":\"src/Busy.java\",\"methods\":["
            "{\"name\":\"Busy.m\",\"line\":2,\"endLine\":5,\"nloc\":4,\"body\":true,\"complexity\":6,\"cognitive\":8,"
            "\"halsteadVolume\":159.91,\"halstead\":{\"length\":37,\"vocabulary\":20,\"volume\":159.91,"
            "\"difficulty\":11.14,\"effort\":1781.87},\"over\":[\"cognitive-complexity\"]},"
            "{\"name\":\"Busy.Shape.area\",\"line\":7,\"endLine\":7,\"nloc\":1,\"body\":false,\"complexity\":null,"
            "\"cognitive\":null,\"halsteadVolume\":null,\"halstead\":null,\"over\":[]},"
            "{\"name\":\"Busy.Shape.big\",\"line\":8,\"endLine\":8,\"nloc\":1,\"body\":true,\"complexity\":2,"
            "\"cognitive\":1,\"halsteadVolume\":62.91,\"halstead\":{\"length\":17,\"vocabulary\":13,"
            "\"volume\":62.91,\"difficulty\":8.33,\"effort\":524.23},\"over\":[]}]}],\"failures\":[]}\n");

  const auto report = runFlowchart({"check", "src", "--max-cc", "1", "-f", "codeclimate", "-o", "cq.json"},
                                   dir.path());
  EXPECT_EQ(report.exitCode, 3);
  EXPECT_EQ(report.out, "");
  const std::string quality = readFile(dir.path() / "cq.json");
  EXPECT_EQ(quality.rfind("[{\"type\":\"issue\",\"check_name\":\"cyclomatic-complexity\",\"description\":"
                          "\"Busy.m: cyclomatic complexity 6 > 1\",\"categories\":[\"Complexity\"],"
                          "\"severity\":\"minor\",\"fingerprint\":\"",
                          0),
            0u)
      << quality;
  EXPECT_NE(quality.find("\"location\":{\"path\":\"src/Busy.java\",\"lines\":{\"begin\":8,\"end\":8}}}]\n"),
            std::string::npos);

  writeFile(dir.path() / "src" / "Broken.java", "class Broken {\n  void m( {\n}\n");
  const auto broken = runFlowchart({"check", "src", "--max-cc", "1"}, dir.path());
  EXPECT_EQ(broken.exitCode, 1);  // a file that does not parse outweighs the methods over the threshold
  EXPECT_EQ(broken.err, "src/Broken.java:2: does not parse as Java\n");

  EXPECT_EQ(runFlowchart({"check", "nowhere"}, dir.path()).exitCode, 2);
  EXPECT_EQ(runFlowchart({"check", "src", "--max-cc", "x"}, dir.path()).exitCode, 2);
  EXPECT_EQ(runFlowchart({"check", "src", "--format", "xml"}, dir.path()).exitCode, 2);
}

TEST(CheckCommand, ChangedSinceTakesOnlyTheMethodsTouched) {
  if (testing_support::runShell("git --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "git is not installed";
  TempDir dir;
  const std::string git = "git -C " + testing_support::shellQuote(dir.path().string()) +
                          " -c user.name=t -c user.email=t@t ";
  writeFile(dir.path() / "A.java",
            "class A {\n  void one() {\n    if (x) y();\n  }\n\n  void two() {\n    z();\n  }\n"
            "  void three() {\n    w();\n    v();\n  }\n}\n");
  ASSERT_EQ(testing_support::runShell(git + "init -q && " + git + "add A.java && " + git + "commit -qm one"), 0);
  // two gets a line, three loses one; one is left alone.  B is new.
  writeFile(dir.path() / "A.java",
            "class A {\n  void one() {\n    if (x) y();\n  }\n\n  void two() {\n    z();\n    if (q) z();\n  }\n"
            "  void three() {\n    w();\n  }\n}\n");
  writeFile(dir.path() / "B.java", "class B { void b() { } }\n");
  const auto changed = runFlowchart({"check", ".", "--changed-since", "HEAD"}, dir.path());
  EXPECT_EQ(changed.exitCode, 0) << changed.err;
  EXPECT_EQ(changed.out,
            "./A.java:6: A.two: cyclomatic complexity 2, cognitive complexity 1, NLOC 4\n"
            "./A.java:10: A.three: cyclomatic complexity 1, cognitive complexity 0, NLOC 3\n"
            "./B.java:1: B.b: cyclomatic complexity 1, cognitive complexity 0, NLOC 1\n");
  const auto unknown = runFlowchart({"check", ".", "--changed-since", "no-such-rev"}, dir.path());
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_EQ(unknown.err, "flowchart: unknown git revision 'no-such-rev'\n");
}

// Java that the grammar accepted wrongly, or refused wrongly, read as
// Java 25; the Java 5 grammar (below --java 6) reads as before.
TEST(ParsingGaps, RefusedConstructsEmptyMembersAndCompactFiles) {
  TempDir dir;
  const std::pair<const char*, const char*> refused[] = {
      {"void f() {\n  i;\n}", "2: does not parse as Java: not a statement"},
      {"class X<> { }", "1: does not parse as Java: empty type arguments '<>' outside a 'new' expression"},
      {"int[] a = {1,\n , 2};", "2: does not parse as Java: two commas in an array initialiser"},
      {"Object f() { return new int[]; }", "1: does not parse as Java: an array creation needs a size or an initialiser"},
      {"void f() { foo(a)(); }", "1: does not parse as Java: what is called is not a method"},
      {"void f() { try { } catch (e) { } }", "1: does not parse as Java: a catch clause needs a parameter name"},
      {"int f() { return (a / 2) 1; }",
       "1: does not parse as Java: what stands in parentheses before an operand is no type to cast to"},
      {"int f() { return a > > 1; }", "1: does not parse as Java: '> >' is not an operator (a shift is written '>>')"},
  };
  for (const auto& [members, message] : refused) {
    writeFile(dir.path() / "R.java", std::string("class R {\n") + members + "\n}\n");
    const auto run = runFlowchart({"list", "R.java"}, dir.path());
    EXPECT_EQ(run.exitCode, 1) << members;
    // The message's line counts from the members, below the class's line.
    const std::string text = message;
    const int line = std::stoi(text) + 1;
    EXPECT_EQ(run.err, "R.java:" + std::to_string(line) + text.substr(text.find(':')) + "\n") << members;
    // The Java 5 grammar still reads them as it always did.
    EXPECT_EQ(runFlowchart({"list", "R.java", "--java", "5"}, dir.path()).exitCode, 0) << members;
  }

  // A ";" is an empty member, before the first member and type too.
  writeFile(dir.path() / "Empty.java",
            ";\nclass Empty { ; int x; ;\n  enum E { A; ; }\n  Object o = new Object() { ; };\n}\ninterface I { ; }\n");
  const auto empty = runFlowchart({"list", "Empty.java"}, dir.path());
  EXPECT_EQ(empty.exitCode, 0) << empty.err;
  EXPECT_EQ(runFlowchart({"list", "Empty.java", "--java", "5"}, dir.path()).exitCode, 1);

  // A compact source file: its methods belong to the class named after the file.
  writeFile(dir.path() / "Hello.java",
            "int count = 0;\n\nvoid main() {\n  if (count > 0) IO.println(\"many\");\n}\n\nint twice(int x) { return 2 * x; }\n");
  const auto list = runFlowchart({"list", "Hello.java"}, dir.path());
  EXPECT_EQ(list.exitCode, 0) << list.err;
  EXPECT_NE(list.out.find("3-7              4                   class Hello\n"
                          "3-5              3    2    1     "),
            std::string::npos)
      << list.out;
  EXPECT_NE(list.out.find("    Hello.twice(int)\n"), std::string::npos) << list.out;
  const auto draw = runFlowchart({"draw", "Hello.java", "main"}, dir.path());
  EXPECT_EQ(draw.exitCode, 0) << draw.err;
  EXPECT_EQ(draw.out, "Hello.main.html: Hello.main, 1 page\n");
}

}  // namespace
