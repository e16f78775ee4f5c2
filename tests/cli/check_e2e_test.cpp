// flowchart check on real files: its reports, thresholds and exit codes,
// and --changed-since on git repositories made for the test.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <map>
#include <set>

#include "tests/cli/cli_run.h"

namespace {

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

namespace fs = std::filesystem;

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
  // The closing line on standard error, whether or not anything is over.
  EXPECT_EQ(all.err, "checked 3 methods in 1 file (1 without a body); 0 over a threshold\n");
  EXPECT_EQ(all.out,
            "src/Busy.java:2: Busy.m(int, boolean): cyclomatic complexity 6, cognitive complexity 8, NLOC 4\n"
            "src/Busy.java:8: Busy.Shape.big(): cyclomatic complexity 2, cognitive complexity 1, NLOC 1\n");

  const auto over = runFlowchart({"check", "src", "--max-cc", "5", "--max-cognitive", "8", "--max-nloc", "3"},
                                 dir.path());
  EXPECT_EQ(over.exitCode, 3);
  EXPECT_EQ(over.err, "checked 3 methods in 1 file (1 without a body); 1 over a threshold\n");
  EXPECT_EQ(over.out,
            "src/Busy.java:2: Busy.m(int, boolean): cyclomatic complexity 6 > 5\n"
            "src/Busy.java:2: Busy.m(int, boolean): NLOC 4 > 3\n");
  EXPECT_EQ(runFlowchart({"check", "src", "--max-cc", "6"}, dir.path()).exitCode, 0);

  const auto json = runFlowchart({"check", "src/Busy.java", "--max-cognitive", "7", "-f", "json"}, dir.path());
  EXPECT_EQ(json.exitCode, 3);
  EXPECT_EQ(json.out,
            "{\"thresholds\":{\"cyclomatic-complexity\":null,\"cognitive-complexity\":7,\"nloc\":null},"
            "\"violations\":1,\"files\":[{\"file\":\"src/Busy.java\",\"methods\":["
            "{\"name\":\"Busy.m\",\"signature\":\"Busy.m(int, boolean)\",\"line\":2,\"endLine\":5,\"nloc\":4,\"body\":true,\"complexity\":6,\"cognitive\":8,"
            "\"halsteadVolume\":159.91,\"halstead\":{\"length\":37,\"vocabulary\":20,\"volume\":159.91,"
            "\"difficulty\":11.14,\"effort\":1781.87},\"over\":[\"cognitive-complexity\"]},"
            "{\"name\":\"Busy.Shape.area\",\"signature\":\"Busy.Shape.area()\",\"line\":7,\"endLine\":7,\"nloc\":1,\"body\":false,\"complexity\":null,"
            "\"cognitive\":null,\"halsteadVolume\":null,\"halstead\":null,\"over\":[]},"
            "{\"name\":\"Busy.Shape.big\",\"signature\":\"Busy.Shape.big()\",\"line\":8,\"endLine\":8,\"nloc\":1,\"body\":true,\"complexity\":2,"
            "\"cognitive\":1,\"halsteadVolume\":62.91,\"halstead\":{\"length\":17,\"vocabulary\":13,"
            "\"volume\":62.91,\"difficulty\":8.33,\"effort\":524.23},\"over\":[]}]}],\"failures\":[]}\n");

  const auto report = runFlowchart({"check", "src", "--max-cc", "1", "-f", "codeclimate", "-o", "cq.json"},
                                   dir.path());
  EXPECT_EQ(report.exitCode, 3);
  EXPECT_EQ(report.out, "");
  const std::string quality = readFile(dir.path() / "cq.json");
  EXPECT_EQ(quality.rfind("[{\"type\":\"issue\",\"check_name\":\"cyclomatic-complexity\",\"description\":"
                          "\"Busy.m(int, boolean): cyclomatic complexity 6 > 1\",\"categories\":[\"Complexity\"],"
                          "\"severity\":\"minor\",\"fingerprint\":\"",
                          0),
            0u)
      << quality;
  EXPECT_NE(quality.find("\"location\":{\"path\":\"src/Busy.java\",\"lines\":{\"begin\":8,\"end\":8}}}]\n"),
            std::string::npos);

  writeFile(dir.path() / "src" / "Broken.java", "class Broken {\n  void m( {\n}\n");
  const auto broken = runFlowchart({"check", "src", "--max-cc", "1"}, dir.path());
  EXPECT_EQ(broken.exitCode, 1);  // a file that does not parse outweighs the methods over the threshold
  EXPECT_EQ(broken.err,
            "src/Broken.java:2: does not parse as Java\n"
            "checked 3 methods in 1 file (1 without a body); 2 over a threshold; 1 source could not be checked\n");
  std::string many = "class Many {\n";
  for (int i = 0; i < 1001; ++i) many += "  void m" + std::to_string(i) + "() { }\n";
  writeFile(dir.path() / "Many.java", many + "}\n");
  EXPECT_EQ(runFlowchart({"check", "Many.java"}, dir.path()).err, "checked 1,001 methods in 1 file; 0 over a threshold\n");

  EXPECT_EQ(runFlowchart({"check", "nowhere"}, dir.path()).exitCode, 2);
  EXPECT_EQ(runFlowchart({"check", "src", "--max-cc", "x"}, dir.path()).exitCode, 2);
  EXPECT_EQ(runFlowchart({"check", "src", "--format", "xml"}, dir.path()).exitCode, 2);
}

// Unicode escapes read as javac reads them (a method's lines those of the
// file as written), and the ones that hide code as findings of their own,
// whatever the thresholds; a malformed one refused as javac refuses it.
TEST(CheckCommand, UnicodeEscapesThatHideCode) {
  TempDir dir;
  writeFile(dir.path() / "Hidden.java",
            "class Hidden {\n"
            "  int seen = 1; // \\u000a int unseen = 2;\n"
            "  int tidy(int x) {\n"
            "    // tidy up \\u000a if (x > 1) x = g();\n"
            "    return x;\n"
            "  }\n"
            "  int close(int x) {\n"
            "    /* \\u002a\\u002f if (x > 2) x = g(); /* */\n"
            "    return x;\n"
            "  }\n"
            "  String quote(int x) {\n"
            "    return \"\\u0022 + (x > 1 ? g() : 0) + \\u0022\";\n"
            "  }\n"
            "  int \\u0061bc() { return \"\\\\u0041\".length() + '\\uuuu0041' + '\\u00e9'; }\n"
            "  int g() { return 2; }\n"
            "}\n");
  const std::string seen =
      "Hidden.java:2:20: Hidden: Unicode escape \\u000a is a line break that ends a // comment: the rest of the line is "
      "code\n";
  const std::string tidy =
      "Hidden.java:4:16: Hidden.tidy(int): Unicode escape \\u000a is a line break that ends a // comment: the rest of the "
      "line is code\n";
  const std::string close =
      "Hidden.java:8:8: Hidden.close(int): Unicode escapes \\u002a\\u002f are '*/', which ends a comment: what follows is "
      "code\n";
  const std::string quote =
      "Hidden.java:12:13: Hidden.quote(int): Unicode escape \\u0022 is '\"', which ends a string literal: what follows is "
      "code\n"
      "Hidden.java:12:42: Hidden.quote(int): Unicode escape \\u0022 is '\"', which begins a string literal: what follows is "
      "not code\n";
  // Every report of the file fails the gate, whatever the thresholds.
  const auto checked = [&](std::vector<std::string> options) {
    options.insert(options.begin(), {"check", "Hidden.java"});
    const auto report = runFlowchart(options, dir.path());
    EXPECT_EQ(report.exitCode, 3);
    return report;
  };
  const auto measured = checked({});
  EXPECT_EQ(measured.out, seen +
                              "Hidden.java:3: Hidden.tidy(int): cyclomatic complexity 2, cognitive complexity 1, NLOC 4\n" +
                              tidy +
                              "Hidden.java:7: Hidden.close(int): cyclomatic complexity 2, cognitive complexity 1, NLOC 4\n" +
                              close +
                              "Hidden.java:11: Hidden.quote(int): cyclomatic complexity 2, cognitive complexity 1, NLOC 3\n" +
                              quote +
                              "Hidden.java:14: Hidden.abc(): cyclomatic complexity 1, cognitive complexity 0, NLOC 1\n"
                              "Hidden.java:15: Hidden.g(): cyclomatic complexity 1, cognitive complexity 0, NLOC 1\n");
  EXPECT_EQ(measured.err, "checked 5 methods in 1 file; 0 over a threshold; 5 places where Unicode escapes hide code\n");
  EXPECT_EQ(checked({"--max-cc", "1"}).out, seen + "Hidden.java:3: Hidden.tidy(int): cyclomatic complexity 2 > 1\n" + tidy +
                          "Hidden.java:7: Hidden.close(int): cyclomatic complexity 2 > 1\n" + close +
                          "Hidden.java:11: Hidden.quote(int): cyclomatic complexity 2 > 1\n" + quote);

  EXPECT_EQ(checked({"--max-cc", "9", "-f", "json"}).out,
            "{\"thresholds\":{\"cyclomatic-complexity\":9,\"cognitive-complexity\":null,\"nloc\":null},\"violations\":5,"
            "\"files\":[{\"file\":\"Hidden.java\",\"methods\":["
            "{\"name\":\"Hidden.tidy\",\"signature\":\"Hidden.tidy(int)\",\"line\":3,\"endLine\":6,\"nloc\":4,\"body\":true,\"complexity\":2,\"cognitive\":1,"
            "\"halsteadVolume\":68.11,\"halstead\":{\"length\":19,\"vocabulary\":12,\"volume\":68.11,\"difficulty\":7.0,"
            "\"effort\":476.8},\"over\":[\"unicode-escape\"],\"unicodeEscapes\":[{\"line\":4,\"column\":16,"
            "\"endColumn\":22,\"escape\":\"\\\\u000a\",\"message\":\"Unicode escape \\\\u000a is a line break that ends "
            "a // comment: the rest of the line is code\"}]},"
            "{\"name\":\"Hidden.close\",\"signature\":\"Hidden.close(int)\",\"line\":7,\"endLine\":10,\"nloc\":4,\"body\":true,\"complexity\":2,"
            "\"cognitive\":1,\"halsteadVolume\":68.11,\"halstead\":{\"length\":19,\"vocabulary\":12,\"volume\":68.11,"
            "\"difficulty\":7.0,\"effort\":476.8},\"over\":[\"unicode-escape\"],\"unicodeEscapes\":[{\"line\":8,"
            "\"column\":8,\"endColumn\":20,\"escape\":\"\\\\u002a\\\\u002f\",\"message\":\"Unicode escapes "
            "\\\\u002a\\\\u002f are '*/', which ends a comment: what follows is code\"}]},"
            "{\"name\":\"Hidden.quote\",\"signature\":\"Hidden.quote(int)\",\"line\":11,\"endLine\":13,\"nloc\":3,\"body\":true,\"complexity\":2,"
            "\"cognitive\":1,\"halsteadVolume\":84.0,\"halstead\":{\"length\":21,\"vocabulary\":16,\"volume\":84.0,"
            "\"difficulty\":5.79,\"effort\":486.0},\"over\":[\"unicode-escape\"],\"unicodeEscapes\":[{\"line\":12,"
            "\"column\":13,\"endColumn\":19,\"escape\":\"\\\\u0022\",\"message\":\"Unicode escape \\\\u0022 is "
            "'\\\"', which ends a string literal: what follows is code\"},{\"line\":12,\"column\":42,\"endColumn\":48,"
            "\"escape\":\"\\\\u0022\",\"message\":\"Unicode escape \\\\u0022 is '\\\"', which begins a string literal: "
            "what follows is not code\"}]},"
            "{\"name\":\"Hidden.abc\",\"signature\":\"Hidden.abc()\",\"line\":14,\"endLine\":14,\"nloc\":1,\"body\":true,\"complexity\":1,"
            "\"cognitive\":0,\"halsteadVolume\":50.19,\"halstead\":{\"length\":14,\"vocabulary\":12,\"volume\":50.19,"
            "\"difficulty\":3.5,\"effort\":175.66},\"over\":[]},"
            "{\"name\":\"Hidden.g\",\"signature\":\"Hidden.g()\",\"line\":15,\"endLine\":15,\"nloc\":1,\"body\":true,\"complexity\":1,\"cognitive\":0,"
            "\"halsteadVolume\":19.65,\"halstead\":{\"length\":7,\"vocabulary\":7,\"volume\":19.65,\"difficulty\":2.5,"
            "\"effort\":49.13},\"over\":[]}],"
            "\"unicodeEscapes\":[{\"line\":2,\"column\":20,\"endColumn\":26,\"escape\":\"\\\\u000a\",\"message\":"
            "\"Unicode escape \\\\u000a is a line break that ends a // comment: the rest of the line is code\","
            "\"name\":\"Hidden\"}]}],\"failures\":[]}\n");

  // The hidden code is a category of its own: the SARIF report's second run.
  const nlohmann::ordered_json sarif = nlohmann::ordered_json::parse(checked({"-f", "sarif"}).out);
  ASSERT_EQ(sarif["runs"].size(), 2u);
  EXPECT_EQ(sarif["runs"][0]["results"].size(), 0u);
  nlohmann::ordered_json run = sarif["runs"][1];
  EXPECT_EQ(run["automationDetails"].dump(), "{\"id\":\"flowchart/unicode-escapes/\"}");
  EXPECT_EQ(run["tool"]["driver"]["rules"].size(), 1u);
  EXPECT_EQ(run["tool"]["driver"]["rules"][0]["id"], "unicode-escape");
  EXPECT_EQ(run["tool"]["driver"]["rules"][0]["defaultConfiguration"]["level"], "error");
  EXPECT_TRUE(run["tool"]["driver"]["rules"][0]["help"]["text"].is_string());
  ASSERT_EQ(run["results"].size(), 5u);
  EXPECT_EQ(run["results"][1]["partialFingerprints"]["primaryLocationLineHash"].get<std::string>().size(), 16u);
  run["results"][1].erase("partialFingerprints");
  EXPECT_EQ(run["results"][1].dump(),
            "{\"ruleId\":\"unicode-escape\",\"ruleIndex\":0,\"level\":\"error\",\"message\":{\"text\":\"Hidden.close(int): "
            "Unicode escapes \\\\u002a\\\\u002f are '*/', which ends a comment: what follows is code\"},\"locations\":["
            "{\"physicalLocation\":{\"artifactLocation\":{\"uri\":\"Hidden.java\",\"uriBaseId\":\"%SRCROOT%\"},"
            "\"region\":{\"startLine\":8,\"startColumn\":8,\"endLine\":8,\"endColumn\":20}},\"logicalLocations\":["
            "{\"fullyQualifiedName\":\"Hidden.close(int)\",\"kind\":\"function\"}]}],"
            "\"properties\":{\"escape\":\"\\\\u002a\\\\u002f\"}}");
  const nlohmann::ordered_json issues = nlohmann::ordered_json::parse(checked({"-f", "codeclimate"}).out);
  ASSERT_EQ(issues.size(), 5u);
  EXPECT_EQ(issues[4]["check_name"], "unicode-escape");
  EXPECT_EQ(issues[4]["categories"].dump(), "[\"Security\"]");
  EXPECT_EQ(issues[4]["location"].dump(), "{\"path\":\"Hidden.java\",\"lines\":{\"begin\":2,\"end\":2}}");
  // The two escapes of quote, written alike, are told apart.
  EXPECT_NE(issues[2]["fingerprint"], issues[3]["fingerprint"]);

  // The flowchart shows the if javac compiles, and says the code is hidden.
  ASSERT_EQ(runFlowchart({"draw", "Hidden.java", "tidy", "-o", "tidy.json"}, dir.path()).exitCode, 0);
  EXPECT_EQ(readFile(dir.path() / "tidy.json"),
            "{\"file\": \"Hidden.java\", \"class\": \"Hidden\", \"method\": \"tidy\", \"line\": 3, \"endLine\": 6,\n"
            " \"pages\": [\n  {\"id\": 0, \"title\": \"tidy(int x)\", \"parent\": null}],\n"
            " \"nodes\": [\n"
            "  {\"id\": \"n0\", \"kind\": \"start\", \"text\": \"tidy(int x)\", \"firstLine\": 3, \"lastLine\": 3, "
            "\"page\": 0, \"lines\": [], \"region\": 0},\n"
            "  {\"id\": \"n1\", \"kind\": \"decision\", \"text\": \"if (x > 1)\", \"firstLine\": 4, \"lastLine\": 4, "
            "\"page\": 0, \"lines\": [4], \"region\": 0},\n"
            "  {\"id\": \"n2\", \"kind\": \"statement\", \"text\": \"x = g();\", \"firstLine\": 4, \"lastLine\": 4, "
            "\"page\": 0, \"lines\": [4], \"region\": 1},\n"
            "  {\"id\": \"n3\", \"kind\": \"return\", \"text\": \"return x\", \"firstLine\": 5, \"lastLine\": 5, "
            "\"page\": 0, \"lines\": [5], \"region\": 0},\n"
            "  {\"id\": \"n4\", \"kind\": \"end\", \"text\": \"end\", \"firstLine\": 6, \"lastLine\": 6, \"page\": 0, "
            "\"lines\": [], \"region\": 0}],\n"
            " \"edges\": [\n"
            "  {\"from\": \"n0\", \"to\": \"n1\", \"kind\": \"flow\", \"label\": \"\"},\n"
            "  {\"from\": \"n1\", \"to\": \"n2\", \"kind\": \"true\", \"label\": \"yes\"},\n"
            "  {\"from\": \"n2\", \"to\": \"n3\", \"kind\": \"flow\", \"label\": \"\"},\n"
            "  {\"from\": \"n1\", \"to\": \"n3\", \"kind\": \"false\", \"label\": \"no\"},\n"
            "  {\"from\": \"n3\", \"to\": \"n4\", \"kind\": \"flow\", \"label\": \"\"}]}\n");
  ASSERT_EQ(runFlowchart({"draw", "Hidden.java", "tidy", "-o", "tidy.html"}, dir.path()).exitCode, 0);
  const std::string page = readFile(dir.path() / "tidy.html");
  const std::string note =
      "Warning: Unicode escapes hide code here. javac reads them first, and this chart shows the code it compiles, "
      "not what the source seems to say. Line 4: Unicode escape \\u000a is a line break that ends a // comment: the "
      "rest of the line is code.";
  EXPECT_NE(page.find("<p class=\"note\" role=\"note\">" + note + "</p>"), std::string::npos);
  EXPECT_NE(page.find("<desc>" + note + " tidy: 1 decision; 2 ways out; 5 boxes.</desc>"), std::string::npos);
  ASSERT_EQ(runFlowchart({"draw", "Hidden.java", "tidy", "-o", "tidy.md"}, dir.path()).exitCode, 0);
  std::string quoted = "> " + note + "\n\n```mermaid\n";
  quoted.replace(quoted.find("\\u000a"), 1, "\\\\");  // Markdown's escaped backslash
  EXPECT_NE(readFile(dir.path() / "tidy.md").find(quoted), std::string::npos);
  ASSERT_EQ(runFlowchart({"draw", "Hidden.java", "abc", "-o", "abc.json"}, dir.path()).exitCode, 0);
  EXPECT_NE(readFile(dir.path() / "abc.json").find("\"text\": \"return \\\"\\\\\\\\u0041\\\".length() + 'A' + '\xC3\xA9'\""),
            std::string::npos);

  writeFile(dir.path() / "Bad.java", "class Bad {\n  // see c:\\users\n}\n");
  const auto bad = runFlowchart({"check", "Bad.java"}, dir.path());
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_EQ(bad.err,
            "Bad.java:2: does not parse as Java: illegal unicode escape\n"
            "checked 0 methods in 0 files; 0 over a threshold; 1 source could not be checked\n");
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
            "./A.java:6: A.two(): cyclomatic complexity 2, cognitive complexity 1, NLOC 4\n"
            "./A.java:10: A.three(): cyclomatic complexity 1, cognitive complexity 0, NLOC 3\n"
            "./B.java:1: B.b(): cyclomatic complexity 1, cognitive complexity 0, NLOC 1\n");
  const auto unknown = runFlowchart({"check", ".", "--changed-since", "no-such-rev"}, dir.path());
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_EQ(unknown.err, "flowchart: unknown git revision 'no-such-rev'\n");
}

// --changed-since reads every path git writes exactly: spaces (which git
// ends with a tab in a patch), tabs, quotes, backslashes, colons, bytes
// that are not UTF-8 and pattern characters, in check and batch alike; and
// sources in two repositories, an empty revision and a missing git.
TEST(ChangedSince, ReadsEveryPathExactly) {
  if (testing_support::runShell("git --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "git is not installed";
  TempDir dir;
  const auto commitAll = [&](const fs::path& repo) {
    const std::string git = "git -C " + testing_support::shellQuote(repo.string()) + " -c user.name=t -c user.email=t@t ";
    return testing_support::runShell(git + "init -q 2>/dev/null; " + git + "add -A && " + git + "commit -qm one");
  };
  const std::string before = "class X {\n  int f(int a) {\n    return a;\n  }\n}\n";
  const std::string after = "class X {\n  int f(int a) {\n    if (a > 0) a--;\n    return a;\n  }\n}\n";
  const std::vector<std::string> names = {"Lat\xE9n.java", "[glob]/G.java", "back\\slash.java", "co:lon.java",
                                          "q\"uote.java", "sp ace/A B.java", "t\tab.java"};
  const fs::path repo = dir.path() / "repo";
  for (const std::string& name : names) {
    fs::create_directories((repo / name).parent_path());
    writeFile(repo / name, before);
  }
  writeFile(repo / "Same.java", after);
  ASSERT_EQ(commitAll(repo), 0);
  for (const std::string& name : names) writeFile(repo / name, after);
  fs::create_directories(repo / "new dir");
  writeFile(repo / "new dir/N N.java", after);  // not tracked yet: new throughout

  // A name holding a control character is quoted, as git quotes it.
  std::string expected;
  for (const std::string& name : {"repo/Lat\xE9n.java", "repo/[glob]/G.java", "repo/back\\slash.java", "repo/co:lon.java",
                                  "repo/new dir/N N.java", "repo/q\"uote.java", "repo/sp ace/A B.java", "\"repo/t\\tab.java\""})
    expected += name + ":2: X.f(int): cyclomatic complexity 2 > 1\n";
  const auto check = runFlowchart({"check", "repo", "--changed-since", "HEAD", "--max-cc", "1"}, dir.path());
  EXPECT_EQ(check.exitCode, 3) << check.err;
  EXPECT_EQ(check.out, expected);

  const auto batch = runFlowchart({"batch", "repo", "-o", "out", "--changed-since", "HEAD", "-j", "1"}, dir.path());
  EXPECT_EQ(batch.exitCode, 0) << batch.err;
  for (const std::string& name : names) EXPECT_TRUE(fs::exists(dir.path() / "out/files" / name / "X.f-L2.html")) << name;
  EXPECT_FALSE(fs::exists(dir.path() / "out/files/Same.java"));

  // Sources of two repositories: each is asked about its own.
  fs::create_directories(dir.path() / "other");
  writeFile(dir.path() / "other/O.java", before);
  ASSERT_EQ(commitAll(dir.path() / "other"), 0);
  writeFile(dir.path() / "other/O.java", after);
  const auto both = runFlowchart({"check", "repo/sp ace", "other", "--changed-since", "HEAD", "--max-cc", "1"},
                                 dir.path());
  EXPECT_EQ(both.exitCode, 3) << both.err;
  EXPECT_EQ(both.out,
            "repo/sp ace/A B.java:2: X.f(int): cyclomatic complexity 2 > 1\nother/O.java:2: X.f(int): cyclomatic complexity 2 > 1\n");

  // A repository whose folder's name ends in a line break is read there,
  // not in the sibling folder of the name without it.
  for (const std::string& name : {std::string("nl"), std::string("nl\n")}) {
    fs::create_directories(dir.path() / name);
    writeFile(dir.path() / name / "X.java", before);
    ASSERT_EQ(commitAll(dir.path() / name), 0);
  }
  writeFile(dir.path() / "nl\n" / "X.java", after);
  const auto broken = runFlowchart({"check", "nl\n", "--changed-since", "HEAD", "--max-cc", "1"}, dir.path());
  EXPECT_EQ(broken.exitCode, 3) << broken.err;
  EXPECT_EQ(broken.out, "\"nl\\n/X.java\":2: X.f(int): cyclomatic complexity 2 > 1\n");

  // An unset CI variable is no revision; without git nothing can be said.
  for (const std::vector<std::string>& args : {std::vector<std::string>{"check", "repo", "--changed-since", ""},
                                               std::vector<std::string>{"batch", "repo", "-o", "out", "--changed-since="}}) {
    const auto empty = runFlowchart(args, dir.path());
    EXPECT_EQ(empty.exitCode, 2);
    EXPECT_EQ(empty.err, "flowchart: " + args[0] +
                             ": --changed-since needs a git revision, and it was given an empty one (is a variable "
                             "unset?)\nRun 'flowchart help " + args[0] + "' for usage.\n");
  }
  const auto noGit = testing_support::runProgram(
      "/usr/bin/env", {"PATH=/nowhere", FLOWCHART_CLI, "check", "repo", "--changed-since", "HEAD"}, dir.path());
  EXPECT_EQ(noGit.exitCode, 2);
  EXPECT_EQ(noGit.err,
            "flowchart: cannot run git, which --changed-since reads the changes with: it is not installed or not on "
            "the PATH\n");
  const auto notRepo = runFlowchart({"check", "..", "--changed-since", "HEAD"}, dir.path());
  EXPECT_EQ(notRepo.exitCode, 2);
  EXPECT_EQ(notRepo.err.rfind("flowchart: ..: not in a git repository (git: not a git repository", 0), 0u) << notRepo.err;
}

// Methods and constructors whose names hold letters outside ASCII are
// measured like any other, in UTF-8 and ISO-8859-1 sources alike: the
// gate fails over them.
TEST(CheckCommand, NamesOutsideAsciiAreMeasured) {
  TempDir dir;
  const std::string utf8 =
      "class \xC3\x9C" "ber {\n  \xC3\x9C" "ber(int a) {\n    if (a > 0) a--;\n  }\n"
      "  int gr\xC3\xB6\xC3\x9F" "e(int a) {\n    return a > 0 ? 1 : 2;\n  }\n"
      "  void caf\xC3\xA9() { if (true) { } } void plain() { }\n}\n";
  const std::string latin1 =
      "class \xDC" "ber {\n  \xDC" "ber(int a) {\n    if (a > 0) a--;\n  }\n"
      "  int gr\xF6\xDF" "e(int a) {\n    return a > 0 ? 1 : 2;\n  }\n"
      "  void caf\xE9() { if (true) { } } void plain() { }\n}\n";
  writeFile(dir.path() / "U.java", utf8);
  writeFile(dir.path() / "L.java", latin1);
  const auto check = runFlowchart({"check", "U.java", "L.java", "--max-cc", "1"}, dir.path());
  EXPECT_EQ(check.exitCode, 3) << check.err;
  std::string expected;
  for (const char* file : {"U.java", "L.java"})
    expected += std::string(file) + ":2: \xC3\x9C" "ber.\xC3\x9C" "ber(int): cyclomatic complexity 2 > 1\n" + file +
                ":5: \xC3\x9C" "ber.gr\xC3\xB6\xC3\x9F" "e(int): cyclomatic complexity 2 > 1\n" + file +
                ":8: \xC3\x9C" "ber.caf\xC3\xA9(): cyclomatic complexity 2 > 1\n";
  EXPECT_EQ(check.out, expected);
  for (const char* file : {"U.java", "L.java"}) {
    const auto list = runFlowchart({"list", file}, dir.path());
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_EQ(list.out.find("(no body)"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("8-8              1    2    1     "), std::string::npos) << list.out;
  }
}

// A folder of the tree that cannot be read fails the gate: its sources
// would pass unchecked.
TEST(CheckCommand, AnUnreadableFolderFailsTheGate) {
  TempDir dir;
  fs::create_directories(dir.path() / "src/locked");
  writeFile(dir.path() / "src/Ok.java", "class Ok { void f() { } }\n");
  writeFile(dir.path() / "src/locked/Busy.java", kBusy);
  fs::permissions(dir.path() / "src/locked", fs::perms::none);
  fs::permissions(dir.path(), fs::perms::all);
  // Root reads every folder: the run is made as nobody then.
  std::vector<std::string> args = {FLOWCHART_CLI, "check", "src", "--max-cc", "1"};
  std::string program = "/usr/bin/env";
  if (::geteuid() == 0) {
    if (!fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "needs setpriv to run as another user";
    args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", "/usr/bin/env"});
    program = "/usr/bin/setpriv";
  }
  const auto run = testing_support::runProgram(program, args, dir.path());
  fs::permissions(dir.path() / "src/locked", fs::perms::owner_all);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err,
            "src/locked: cannot be read: Permission denied; its sources are not checked (make it readable)\n"
            "checked 1 method in 1 file; 0 over a threshold; 1 source could not be checked\n");
  EXPECT_EQ(run.out, "");
}

// What tools read: overloads and initialisers over a threshold each get a
// fingerprint of their own; a relative path with a colon is a relative
// SARIF URI; a report never replaces a source, and a report that cannot be
// written says why.
TEST(CheckCommand, ReportsForTools) {
  TempDir dir;
  fs::create_directories(dir.path() / "x:y");
  writeFile(dir.path() / "x:y/K.java",
            "class K {\n  int f(int a) { return a > 0 ? 1 : 2; }\n  int f(long a) { return a > 0 ? 1 : 2; }\n"
            "  { if (K.class != null) { } }\n  { if (K.class != null) { } }\n}\n");
  const auto quality = runFlowchart({"check", "x:y", "--max-cc", "1", "-f", "codeclimate"}, dir.path());
  EXPECT_EQ(quality.exitCode, 3) << quality.err;
  std::set<std::string> prints;
  size_t issues = 0;
  for (size_t at = quality.out.find("\"fingerprint\":\""); at != std::string::npos;
       at = quality.out.find("\"fingerprint\":\"", at + 1), ++issues)
    prints.insert(quality.out.substr(at + 15, 16));
  EXPECT_EQ(issues, 4u) << quality.out;
  EXPECT_EQ(prints.size(), 4u) << quality.out;

  const auto sarif = runFlowchart({"check", "x:y/K.java", "--max-cc", "1", "-f", "sarif"}, dir.path());
  EXPECT_EQ(sarif.exitCode, 3);
  EXPECT_NE(sarif.out.find("\"artifactLocation\":{\"uri\":\"x%3Ay/K.java\",\"uriBaseId\":\"%SRCROOT%\"}"), std::string::npos) << sarif.out;

  const std::string source = readFile(dir.path() / "x:y/K.java");
  for (const std::vector<std::string>& args : {std::vector<std::string>{"check", "x:y", "-o", "x:y/K.java"},
                                               std::vector<std::string>{"check", "x:y/K.java", "-o", "./x:y/K.java"}}) {
    const auto over = runFlowchart(args, dir.path());
    EXPECT_EQ(over.exitCode, 2);
    EXPECT_EQ(over.err, args[3] + ": is one of the sources checked; the report would replace it (name another "
                                  "file with -o)\n");
  }
  EXPECT_EQ(readFile(dir.path() / "x:y/K.java"), source);
  const auto nowhere = runFlowchart({"check", "x:y", "-f", "json", "-o", "nowhere/r.json"}, dir.path());
  EXPECT_EQ(nowhere.exitCode, 1);
  EXPECT_EQ(nowhere.err, "nowhere/r.json: cannot write the report: no such folder nowhere (make it first)\n");
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

namespace {

// Each finding's SARIF and Code Climate fingerprints, by message.
std::map<std::string, std::pair<std::string, std::string>> fingerprintsOf(const fs::path& folder) {
  std::map<std::string, std::pair<std::string, std::string>> prints;
  const auto sarif = runFlowchart({"check", ".", "--max-cc", "1", "-f", "sarif"}, folder);
  const nlohmann::json report = nlohmann::json::parse(sarif.out);
  for (const auto& run : report["runs"])
    for (const auto& result : run["results"])
      prints[result["message"]["text"].get<std::string>()].first =
          result["partialFingerprints"]["primaryLocationLineHash"].get<std::string>();
  const auto quality = runFlowchart({"check", ".", "--max-cc", "1", "-f", "codeclimate"}, folder);
  for (const auto& issue : nlohmann::json::parse(quality.out))
    prints[issue["description"].get<std::string>()].second = issue["fingerprint"].get<std::string>();
  return prints;
}

}  // namespace

// Code scanning and GitLab follow a finding by its fingerprint: lines added
// above it leave it as it was, a new parameter type makes it another one.
// Paths are relative to the repository's top, from wherever check runs.
TEST(CheckCommand, FingerprintsFollowTheMethodNotTheLine) {
  TempDir dir;
  fs::create_directories(dir.path() / "src/shop");
  ASSERT_EQ(testing_support::runShell("git init -q " + dir.path().string()), 0);
  const std::string method = "  int total(int a, String s) { return a > 0 ? 1 : 2; }\n";
  const std::string escape = "  int hidden() { /* \\u002a\\u002f return 1; /* */ return 2; }\n";
  writeFile(dir.path() / "src/shop/Shop.java", "class Shop {\n" + method + escape + "}\n");
  const auto before = fingerprintsOf(dir.path() / "src");
  ASSERT_EQ(before.size(), 2u);  // total over, and the escape
  for (const auto& [message, prints] : before) {
    EXPECT_EQ(prints.first.size(), 16u) << message;
    EXPECT_EQ(prints.second.size(), 16u) << message;
  }

  writeFile(dir.path() / "src/shop/Shop.java",
            "// ten lines\n\n\n\n\n\n\n\n\n\nclass Shop {\n" + method + escape + "}\n");
  EXPECT_EQ(fingerprintsOf(dir.path() / "src"), before);
  // The same from the repository's top: its paths are the same.
  EXPECT_EQ(fingerprintsOf(dir.path()), before);

  const auto sarif = runFlowchart({"check", "shop", "--max-cc", "1", "-f", "sarif"}, dir.path() / "src");
  const auto report = nlohmann::json::parse(sarif.out);
  EXPECT_EQ(report["runs"][0]["originalUriBaseIds"]["%SRCROOT%"]["uri"],
            "file://" + fs::canonical(dir.path()).generic_string() + "/");
  EXPECT_EQ(report["runs"][0]["results"][0]["locations"][0]["physicalLocation"]["artifactLocation"].dump(),
            "{\"uri\":\"src/shop/Shop.java\",\"uriBaseId\":\"%SRCROOT%\"}");
  EXPECT_EQ(report["runs"][0]["results"][0]["locations"][0]["physicalLocation"]["region"]["startLine"], 12);

  writeFile(dir.path() / "src/shop/Shop.java",
            "class Shop {\n" + std::string("  int total(long a, String s) { return a > 0 ? 1 : 2; }\n") + escape + "}\n");
  const auto changed = fingerprintsOf(dir.path() / "src");
  const std::string signedName = "Shop.total(long, String): cyclomatic complexity 2 > 1";
  ASSERT_EQ(changed.count(signedName), 1u);
  const auto& old = before.at("Shop.total(int, String): cyclomatic complexity 2 > 1");
  EXPECT_NE(changed.at(signedName).first, old.first);
  EXPECT_NE(changed.at(signedName).second, old.second);
}

// The Markdown summary a CI job shows: the methods over a threshold with
// their measures, the hidden code, and what could not be checked.
TEST(CheckCommand, MarkdownSummary) {
  TempDir dir;
  writeFile(dir.path() / "Busy.java", std::string(kBusy, std::strlen(kBusy) - 2) +
                                          "  int pipe(String a) { /* \\u002a\\u002f return 1; /* */ return 0; }\n}\n");
  writeFile(dir.path() / "Broken.java", "class Broken {\n  void m( {\n}\n");
  const auto summary = runFlowchart({"check", "Busy.java", "Broken.java", "--max-cc", "5", "--max-nloc", "3",
                                     "--format", "markdown"},
                                    dir.path());
  EXPECT_EQ(summary.exitCode, 1) << summary.err;
  EXPECT_EQ(summary.out,
            "### flowchart check\n\n"
            "Checked 4 methods in 1 file (1 without a body); 1 over a threshold; 1 place where Unicode escapes hide "
            "code; 1 source could not be checked.\n\n"
            "| method | file | CC (max 5) | cognitive | NLOC (max 3) |\n"
            "|---|---|--:|--:|--:|\n"
            "| `Busy.m(int, boolean)` | `Busy.java:2` | **6** | 8 | **4** |\n\n"
            "A measure over its maximum is in bold.\n\n"
            "#### Unicode escapes that hide code\n\n"
            "| where | in | what javac reads |\n|---|---|---|\n"
            "| `Busy.java:10:27` | `Busy.pipe(String)` | `Unicode escapes \\u002a\\u002f are '*/', which ends a comment: "
            "what follows is code` |\n\n"
            "#### Not checked\n\n"
            "- `Broken.java:2`: `does not parse as Java`\n");
}
