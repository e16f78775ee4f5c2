// Bad input to the flowchart command: a one-line message naming the file,
// the documented exit code, and no output left behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "tests/cli/cli_run.h"

using testing_support::TempDir;
using testing_support::writeFile;

namespace fs = std::filesystem;

namespace {

struct Case {
  std::vector<std::string> args;
  int exitCode;
  std::string err;  // the whole of standard error
};

TEST(BadInput, ClearMessagesAndExitCodes) {
  TempDir dir;
  writeFile(dir.file("Good.java"), "class Good {\n  void f() { }\n  void f(int x) { }\n  void g() { }\n}\n");
  writeFile(dir.file("Broken.java"), "class Broken {\n  void f( {\n}\n");
  writeFile(dir.file("Old.java"), "class Old extends Thread {\n  public void run() {\n    yield();\n  }\n}\n");
  writeFile(dir.file("binary.java"), std::string("class \0 x", 9));
  writeFile(dir.file("plain"), "not a folder");
  // Valid Java nested deeper than the parser's stack: a limit, not a syntax error.
  writeFile(dir.file("Deep.java"), "class Deep {\n  int f() {\n    return " + std::string(1000000, '(') + "1" +
                                       std::string(1000000, ')') + ";\n  }\n}\n");
  fs::create_directory(dir.path() / "folder.java");
  const std::vector<Case> cases = {
      {{"draw", "missing.java"}, 2, "missing.java: no such file\n"},
      {{"draw", "folder.java"}, 2, "folder.java: is a folder, not a Java source file\n"},
      {{"list", "binary.java"}, 2, "binary.java: is a binary file, not Java source\n"},
      {{"draw", "Broken.java"}, 1, "Broken.java:2: does not parse as Java\n"},
      {{"list", "Broken.java", "--json"}, 1, "Broken.java:2: does not parse as Java\n"},
      {{"list", "Deep.java"}, 1,
       "Deep.java:3: reaches the parser's stack limit (1000000 entries): nesting too deep, or a list too long, to "
       "parse\n"},
      {{"list", "Old.java"}, 1, "Old.java:3: does not parse as Java 25 but does as Java 8 (try --java 8)\n"},
      {{"list", "Old.java", "--java", "14"}, 1, "Old.java:3: does not parse as Java 14 but does as Java 8 (try --java 8)\n"},
      {{"draw", "Good.java", "h"}, 2,
       "Good.java: no method 'h'; the methods are:\n  Good.f():2\n  Good.f(int):3\n  Good.g():4\n"},
      {{"draw", "Good.java", "G"}, 2,
       "Good.java: no method 'G'; did you mean g?\n  Good.g():4\n(flowchart list Good.java shows all 3 methods)\n"},
      {{"draw", "Good.java", "F:9"}, 2,
       "Good.java: no method 'F:9'; did you mean f?\n  Good.f():2\n  Good.f(int):3\n"
       "(flowchart list Good.java shows all 3 methods)\n"},
      {{"draw", "Good.java", "f:9"}, 2,
       "Good.java: no method 'f' at line 9; the methods named f are:\n  Good.f():2\n  Good.f(int):3\n"},
      {{"draw", "Good.java", "f(long)"}, 2,
       "Good.java: no method 'f' with parameters (long); the methods named f are:\n  Good.f():2\n  Good.f(int):3\n"},
      {{"draw", "Good.java", "g", "-o", "g.gif"}, 2,
       "flowchart: draw: cannot write 'g.gif': no format has the extension .gif; name the output .html, .htm, "
       ".svg, .xml, .dot, .json, .md, .mmd, .puml, .png or .pdf\nRun 'flowchart help draw' for usage.\n"},
      {{"sequence", "Good.java", "g", "-o", "g"}, 2,
       "flowchart: sequence: cannot write 'g': the name has no extension; name the output .html, .htm, .svg, "
       ".xml, .dot, .md, .mmd, .puml, .png or .pdf\nRun 'flowchart help sequence' for usage.\n"},
      {{"batch", "src", "-o", "out", "--format", "html,svg"}, 2,
       "flowchart: batch: --format takes a list of html, md, mmd, puml, png and pdf, not 'svg'\n"
       "Run 'flowchart help batch' for usage.\n"},
      {{"help", "frob"}, 2, "flowchart: help: no command 'frob'\nRun 'flowchart --help' for usage.\n"},
      {{"draw", "Good.java", "f"}, 2, "Good.java: 'f' names 2 methods; pick one with METHOD:LINE or METHOD(TYPES):\n  Good.f():2\n  Good.f(int):3\n"},
      {{"draw", "Good.java", "f:"}, 2,
       "draw: 'f:' is not a method name; write METHOD, Class.METHOD, METHOD:LINE or METHOD(TYPES)\n"},
      {{"draw", "Good.java", "g", "-o", "plain/g.html"}, 1,
       "plain/g.html: cannot write the drawing: plain is not a folder\n"},
      {{"draw", "Good.java", "g", "-o", "nowhere/g.json"}, 1,
       "nowhere/g.json: cannot write the graph: no such folder nowhere (make it first)\n"},
      {{"draw", "Good.java", "g", "-o", "nowhere/g.dot"}, 1,
       "nowhere/g.dot: cannot write the graphs: no such folder nowhere (make it first)\n"},
      {{"draw", "Good.java", "g", "-o", "folder.java/" + std::string(300, 'g') + ".svg"}, 1,
       "folder.java/" + std::string(300, 'g') + ".svg: cannot write the drawing: the file name is longer than this "
       "system allows\n"},
      {{"list", std::string(300, 'x') + ".java"}, 2,
       std::string(300, 'x') + ".java: the path is longer than this system allows (File name too long); shorten it\n"},
      {{"check", std::string(300, 'x')}, 2,
       std::string(300, 'x') + ": the path is longer than this system allows (File name too long); shorten it\n"},
      {{"check", "Good.java", "--max-nloc", "2000000"}, 2,
       "flowchart: check: --max-nloc takes a whole number from 0 to 1000000, not '2000000'\n"
       "Run 'flowchart help check' for usage.\n"},
      {{"batch", ".", "-o", "out", "--shard", "1/10001"}, 2,
       "flowchart: batch: --shard takes K/N, the K-th of N shares (1 <= K <= N <= 10000), not '1/10001'\n"
       "Run 'flowchart help batch' for usage.\n"},
      {{"index", "Good.java", "-o", "site"}, 2,
       "Good.java: is not a folder; give the output folders of flowchart batch runs\n"},
      {{"check", "Good.java", "-o", "nowhere/r.sarif", "-f", "sarif"}, 1,
       "nowhere/r.sarif: cannot write the report: no such folder nowhere (make it first)\n"},
      {{"draw", "Good.java", "g", "-o"}, 2, "flowchart: draw: option -o needs a value\nRun 'flowchart help draw' for usage.\n"},
      {{"sequence", "Good.java"}, 2,
       "flowchart: sequence: give FILE.java and one METHOD\nRun 'flowchart help sequence' for usage.\n"},
      {{"sequence", "Good.java", "f"}, 2,
       "Good.java: 'f' names 2 methods; pick one with METHOD:LINE or METHOD(TYPES):\n  Good.f():2\n  Good.f(int):3\n"},
      {{"sequence", "Good.java", "g", "--depth", "0"}, 2,
       "flowchart: sequence: --depth takes a number of levels from 1 to 50, not '0'\n"
       "Run 'flowchart help sequence' for usage.\n"},
      {{"sequence", "Good.java", "g", "--max-messages", "x"}, 2,
       "flowchart: sequence: --max-messages takes a number from 1 to 20000 (the most a diagram can be laid out "
       "with), not 'x'\n"
       "Run 'flowchart help sequence' for usage.\n"},
      {{"sequence", "Good.java", "g", "--max-messages", "20001"}, 2,
       "flowchart: sequence: --max-messages takes a number from 1 to 20000 (the most a diagram can be laid out "
       "with), not '20001'\n"
       "Run 'flowchart help sequence' for usage.\n"},
      {{"sequence", "Good.java", "g", "--src", "nowhere"}, 2, "nowhere: no such folder\n"},
      {{"sequence", "Broken.java", "f"}, 1, "Broken.java:2: does not parse as Java\n"},
      {{"sequence", "Good.java", "g", "-o", "plain/g.html"}, 1,
       "plain/g.html: cannot write the drawing: plain is not a folder\n"},
      {{"frobnicate"}, 2, "flowchart: unknown command 'frobnicate'\nRun 'flowchart --help' for usage.\n"},
      {{}, 2, "flowchart: no command given\nRun 'flowchart --help' for usage.\n"},
      {{"batch", "."}, 2, "flowchart: batch: give the output folder with -o OUT_DIR\nRun 'flowchart help batch' for usage.\n"},
      {{"batch", ".", "-o", "out", "-j", "0"}, 2,
       "flowchart: batch: -j takes a number of workers from 1 to 256, not '0'\nRun 'flowchart help batch' for usage.\n"},
      {{"list", "Good.java", "--java", "26"}, 2,
       "flowchart: list: --java takes a Java release from 1 to 25, not '26'\nRun 'flowchart help list' for usage.\n"},
      {{"batch", "nowhere", "-o", "out"}, 2, "nowhere: no such folder\n"},
      {{"batch", "Good.java", "-o", "out"}, 2, "Good.java: is not a folder\n"},
      {{"batch", ".", "-o", "plain/out"}, 2, "plain/out: cannot make the output folder: Not a directory\n"},
  };
  for (const Case& c : cases) {
    std::string command;
    for (const std::string& arg : c.args) command += " " + arg;
    SCOPED_TRACE(command);
    const auto run = runFlowchart(c.args, dir.path());
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, "");
  }
  // Nothing was written beside the sources.
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir.path())) left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"Broken.java", "Deep.java", "Good.java", "Old.java", "binary.java", "folder.java", "plain"}));
}

TEST(BadInput, HelpAndVersion) {
  const auto help = runFlowchart({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("flowchart batch SRC_DIR -o OUT_DIR [-j N] [--force] [--quiet]"), std::string::npos);
  EXPECT_NE(help.out.find("flowchart sequence FILE.java METHOD[(TYPES)][:LINE] [-o OUT] [--depth N]"),
            std::string::npos);
  EXPECT_NE(help.out.find("flowchart index OUT_DIR... -o SITE"), std::string::npos);
  // A command's help is its part only, with the options every command takes.
  for (const std::vector<std::string> args : {std::vector<std::string>{"draw", "--help"}, {"help", "draw"},
                                              {"draw", "X.java", "-h"}}) {
    const auto draw = runFlowchart(args);
    EXPECT_EQ(draw.exitCode, 0);
    EXPECT_EQ(draw.out.rfind("Usage:\n  flowchart draw FILE.java [METHOD[(TYPES)][:LINE]] [-o OUT] [--fold auto|none|all]\n", 0), 0u) << draw.out;
    EXPECT_EQ(draw.out.find("flowchart batch"), std::string::npos);
    EXPECT_NE(draw.out.find("Exit codes:"), std::string::npos);
  }
  EXPECT_EQ(runFlowchart({"--version"}).out, "flowchart 1.0\n");
}

// "--" ends the options, so that a file whose name starts with a dash can
// be named.
TEST(BadInput, DoubleDashBeforeANameThatStartsWithADash) {
  TempDir dir;
  writeFile(dir.file("-Dash.java"), "class Dash {\n  void f() { }\n}\n");
  EXPECT_EQ(runFlowchart({"draw", "-Dash.java", "f"}, dir.path()).exitCode, 2);
  const auto draw = runFlowchart({"draw", "-o", "f.html", "--", "-Dash.java", "f"}, dir.path());
  EXPECT_EQ(draw.exitCode, 0) << draw.err;
  EXPECT_TRUE(fs::exists(dir.path() / "f.html"));
  EXPECT_EQ(runFlowchart({"list", "--", "-Dash.java"}, dir.path()).exitCode, 0);
  EXPECT_EQ(runFlowchart({"check", "--", "-Dash.java"}, dir.path()).exitCode, 0);
}

// Lambdas nested 2,000 deep: each a graph of its own, and each statement
// holding one shows its body as "{...}" rather than the text of every
// lambda inside it, so that the graph grows as the source does (its JSON
// was 80 MB).
TEST(BadInput, NestedLambdasKeepTheirTextsToThemselves) {
  TempDir dir;
  std::string body;
  for (int i = 0; i < 2000; ++i) body += "    Runnable r" + std::to_string(i) + " = () -> { box[0]++;\n";
  for (int i = 0; i < 2000; ++i) body += "    };\n";
  writeFile(dir.file("Lambdas.java"),
            "class Lambdas {\n  int run() {\n    int[] box = {0};\n" + body + "    return box[0];\n  }\n}\n");
  const auto draw = runFlowchart({"draw", "Lambdas.java", "run", "-o", "lambdas.json"}, dir.path());
  EXPECT_EQ(draw.exitCode, 0) << draw.err;
  EXPECT_EQ(draw.out, "lambdas.json: Lambdas.run, 6004 nodes\n");
  const std::string json = testing_support::readFile(dir.file("lambdas.json"));
  EXPECT_NE(json.find("\"text\": \"int[] box = {0};\\nRunnable r0 = () -> {...};\""), std::string::npos);
  EXPECT_NE(json.find("\"text\": \"box[0]++;\\nRunnable r1999 = () -> {...};\""), std::string::npos);
  EXPECT_LT(json.size(), 2000000u);
}

// The same of anonymous classes, whose methods are methods of their own:
// a statement creating one shows its members as "{...}", so that each of
// the nested classes' methods does not hold the text of all inside it.
TEST(BadInput, NestedAnonymousClassesKeepTheirTextsToThemselves) {
  TempDir dir;
  std::string body;
  for (int i = 0; i < 300; ++i) body += "    Runnable r = new Runnable() { public void run() { step();\n";
  for (int i = 0; i < 300; ++i) body += "    } };\n";
  writeFile(dir.file("Anonymous.java"),
            "class Anonymous {\n  static void step() {}\n  void run() {\n" + body + "  }\n}\n");
  const auto draw = runFlowchart({"draw", "Anonymous.java", "run:4", "-o", "second.json"}, dir.path());
  EXPECT_EQ(draw.exitCode, 0) << draw.err;
  const std::string json = testing_support::readFile(dir.file("second.json"));
  EXPECT_NE(json.find("\"text\": \"step();\\nRunnable r = new Runnable() {...};\""), std::string::npos) << json;
  EXPECT_LT(json.size(), 3000u);
}

}  // namespace

// Constructs nested thousands deep (an else-if chain, ifs, trys, labelled
// loops) are drawn and compared, not a stack overflow: `draw` writes each
// whole graph and `diff` its report.
TEST(BadInput, DeepConstructsAreDrawnAndCompared) {
  TempDir dir;
  const auto method = [](const std::string& name, const std::string& body) {
    return "class " + name + " {\n  int run(int x) {\n    int total = 0;\n" + body + "    return total;\n  }\n}\n";
  };
  const auto lines = [](int count, const std::function<std::string(int)>& line) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "    " + line(i) + "\n";
    return text;
  };
  const auto n = [](int i) { return std::to_string(i); };
  const std::string chain = "    if (x == 0) total = 0;\n" +
                            lines(7999, [&](int i) { return "else if (x == " + n(i + 1) + ") total = " + n(i + 1) + ";"; });
  writeFile(dir.file("Chain.java"), method("Chain", chain + "    else total = -1;\n"));
  writeFile(dir.file("Ifs.java"), method("Ifs", lines(4000, [&](int i) { return "if (x > " + n(i) + ") {"; }) +
                                                    "    total++;\n" + lines(4000, [](int) { return "}"; })));
  writeFile(dir.file("Trys.java"),
            method("Trys", lines(8000, [](int) { return "try {"; }) + "    total++;\n" +
                               lines(8000, [&](int i) { return "} catch (RuntimeException e" + n(i) + ") { total--; }"; })));
  writeFile(dir.file("Loops.java"),
            method("Loops", lines(8000, [&](int i) { return "l" + n(i) + ": while (x > " + n(i) + ") {"; }) +
                                "    total++; break l0;\n" + lines(8000, [](int) { return "}"; })));
  const std::vector<std::pair<std::string, std::string>> drawn = {
      {"Chain", "16005 nodes"}, {"Ifs", "4005 nodes"}, {"Trys", "24005 nodes"}, {"Loops", "8006 nodes"}};
  for (const auto& [name, nodes] : drawn) {
    const auto draw = runFlowchart({"draw", name + ".java", "run", "-o", name + ".json"}, dir.path());
    EXPECT_EQ(draw.exitCode, 0) << name << ": " << draw.err;
    EXPECT_EQ(draw.out, name + ".json: " + name + ".run, " + nodes + "\n");
  }
  fs::create_directories(dir.path() / "old");
  fs::create_directories(dir.path() / "new");
  writeFile(dir.file("old/Chain.java"), method("Chain", chain + "    else total = -1;\n"));
  writeFile(dir.file("new/Chain.java"), method("Chain", chain + "    else total = -2;\n"));
  const auto diff = runFlowchart({"diff", "old", "new", "-o", "review.json"}, dir.path());
  EXPECT_EQ(diff.exitCode, 0) << diff.err;
  EXPECT_EQ(diff.err, "review.json: 1 method listed, 0 unchanged\n");
  EXPECT_NE(testing_support::readFile(dir.file("review.json")).find("\"baseText\":\"total = -1;\""), std::string::npos);
}
