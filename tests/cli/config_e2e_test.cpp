// The settings file, .flowchart.toml, as the commands find and read it:
// flowchart config showing where each setting comes from, check gating on
// the file's thresholds and leaving out its excluded paths, batch taking
// its title, and a refused file stopping every command.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/cli/cli_run.h"

namespace {

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

namespace fs = std::filesystem;

TEST(ConfigFile, FoundAboveAndOverriddenByFlags) {
  TempDir dir;
  const fs::path top = fs::canonical(dir.path());
  fs::create_directories(top / "src/gen");
  writeFile(top / ".flowchart.toml",
            "java = 17\nexclude = [\"src/gen/**\"]\n\n[thresholds]\nmax-cc = 2\nmax-cognitive = 3\n"
            "[site]\ntitle = \"Shop's flowcharts\"\n");
  const std::string busy =
      "class Shop {\n  int total(int[] prices, boolean member) {\n    int sum = 0;\n"
      "    for (int p : prices) { if (p > 0 && member) sum += p; }\n    return sum;\n  }\n}\n";
  writeFile(top / "src/Shop.java", busy);
  writeFile(top / "src/gen/Gen.java", "class Gen { int g(int a) { return a > 0 && a < 9 ? 1 : 2; } }\n");

  const auto shown = runFlowchart({"config", "--max-nloc", "30"}, top / "src");
  EXPECT_EQ(shown.exitCode, 0) << shown.err;
  EXPECT_EQ(shown.out, "# the settings in force in " + (top / "src").generic_string() + "\n# read from " +
                           (top / ".flowchart.toml").generic_string() +
                           "\n"
                           "java = 17                           # ../.flowchart.toml:1\n"
                           "exclude = [\"src/gen/**\"]            # ../.flowchart.toml:2\n"
                           "\n[thresholds]\n"
                           "max-cc = 2                          # ../.flowchart.toml:5\n"
                           "max-cognitive = 3                   # ../.flowchart.toml:6\n"
                           "max-nloc = 30                       # --max-nloc\n"
                           "# max-increase-cc: none             # default\n"
                           "# max-increase-cognitive: none      # default\n"
                           "\n[site]\n"
                           "title = \"Shop's flowcharts\"         # ../.flowchart.toml:8\n"
                           "\n[editor]\n"
                           "# url: none                         # default\n");

  // The file's thresholds gate; Gen.java is excluded, named or found.
  const auto gated = runFlowchart({"check", ".", "gen/Gen.java"}, top / "src");
  EXPECT_EQ(gated.exitCode, 3) << gated.err;
  EXPECT_EQ(gated.out,
            "./Shop.java:2: Shop.total(int[], boolean): cyclomatic complexity 4 > 2\n"
            "./Shop.java:2: Shop.total(int[], boolean): cognitive complexity 4 > 3\n");
  EXPECT_EQ(gated.err, "checked 1 method in 1 file; 1 over a threshold\n");
  const auto flagged = runFlowchart({"check", ".", "--max-cc", "9"}, top / "src");
  EXPECT_EQ(flagged.out, "./Shop.java:2: Shop.total(int[], boolean): cognitive complexity 4 > 3\n");
  // --exclude's globs, relative to the folder check runs in, replace the file's.
  const auto excluded = runFlowchart({"check", ".", "--exclude", "Shop.java"}, top / "src");
  EXPECT_EQ(excluded.out, "./gen/Gen.java:1: Gen.g(int): cyclomatic complexity 3 > 2\n") << excluded.err;

  ASSERT_EQ(runFlowchart({"batch", "src", "-o", "site", "-j", "1", "--quiet"}, top).exitCode, 0);
  const std::string index = readFile(top / "site/index.html");
  EXPECT_NE(index.find("<title>Shop&#39;s flowcharts</title>"), std::string::npos) << index.substr(0, 400);
  EXPECT_FALSE(fs::exists(top / "site/files/gen"));

  // A key the file cannot have stops every command that reads settings.
  writeFile(top / ".flowchart.toml", "[thresholds]\nmax-cc = 2\nmax-ccc = 3\n");
  for (const std::vector<std::string>& args : {std::vector<std::string>{"check", "."},
                                               std::vector<std::string>{"draw", "Shop.java", "-o", "x.svg"}}) {
    const auto refused = runFlowchart(args, top / "src");
    EXPECT_EQ(refused.exitCode, 2) << args[0];
    EXPECT_EQ(refused.err,
              "flowchart: ../.flowchart.toml:3: unknown key 'max-ccc' in [thresholds]; the keys are max-cc, "
              "max-cognitive, max-nloc, max-increase-cc and max-increase-cognitive\n");
  }
  writeFile(top / ".flowchart.toml", "[thresholds]\nmax-cc = = 2\n");
  const auto broken = runFlowchart({"check", "."}, top / "src");
  EXPECT_EQ(broken.exitCode, 2);
  EXPECT_EQ(broken.err.rfind("flowchart: ../.flowchart.toml:2: not TOML: ", 0), 0u) << broken.err;
}

// diff leaves the excluded paths out of both sides, run from anywhere in
// the repository; its thresholds come from the file too.
TEST(ConfigFile, DiffLeavesOutExcludedPaths) {
  TempDir dir;
  const fs::path top = fs::canonical(dir.path());
  fs::create_directories(top / "src/gen");
  const std::string git = "git -C '" + top.string() + "' -c user.email=t@t -c user.name=t ";
  writeFile(top / "src/A.java", "class A { int f(int a) { return a; } }\n");
  writeFile(top / "src/gen/G.java", "class G { int g(int a) { return a; } }\n");
  ASSERT_EQ(testing_support::runShell(git + "init -q && " + git + "add . && " + git + "commit -qm one"), 0);
  writeFile(top / "src/A.java", "class A { int f(int a) { return a > 0 ? 1 : a; } }\n");
  writeFile(top / "src/gen/G.java", "class G { int g(int a) { return a > 0 ? 1 : a; } }\n");
  writeFile(top / ".flowchart.toml", "exclude = [\"gen\"]\n[thresholds]\nmax-cc = 1\n");
  const auto changed = runFlowchart({"diff", "HEAD"}, top / "src");
  EXPECT_EQ(changed.exitCode, 3) << changed.err;
  EXPECT_EQ(changed.out, "src/A.java:1 A.f changed: ~1; CC 1 \u2192 2\n1 method listed, 0 unchanged\n");
}

}  // namespace
