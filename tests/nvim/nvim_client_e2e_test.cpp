// Neovim's own LSP client, headless, through the plugin: the lenses and
// diagnostics of a shipped example, and the page a lens opens.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace {

using testing_support::shellQuote;

TEST(NeovimClient, ShowsTheLensesAndWarningsOfAShippedExampleAndOpensItsPage) {
  testing_support::TempDir dir;
  const std::filesystem::path source = testing_support::sourceDir();
  const std::string report = dir.file("report.txt");
  // Neovim keeps its state and logs in the temporary folder.
  const std::string command =
      "cd " + shellQuote(dir.path().string()) + " && HOME=" + shellQuote(dir.path().string()) +
      " XDG_STATE_HOME=" + shellQuote(dir.file("state")) + " XDG_CACHE_HOME=" + shellQuote(dir.file("cache")) +
      " FLOWCHART=" + shellQuote(FLOWCHART_CLI) + " FLOWCHART_PLUGIN=" + shellQuote((source / "editors/nvim").string()) +
      " FLOWCHART_SOURCE=" + shellQuote((source / "tests/fixtures/examples/java/Checkout.java").string()) +
      " FLOWCHART_REPORT=" + shellQuote(report) + " timeout 90 " + shellQuote(NVIM_PROGRAM) +
      " --headless --clean -n -u " + shellQuote((source / "tests/nvim/lens_check.lua").string()) + " > " +
      shellQuote(dir.file("nvim.out")) + " 2>&1";
  EXPECT_EQ(testing_support::runShell(command), 0) << testing_support::readFile(dir.path() / "nvim.out");
  EXPECT_EQ(testing_support::readFile(report),
            "lens 13: CC 1 \xC2\xB7 cognitive 0 \xC2\xB7 NLOC 4\n"
            "lens 13: sequence diagram\n"
            "lens 19: CC 10 \xC2\xB7 cognitive 10 \xC2\xB7 NLOC 38\n"
            "lens 19: sequence diagram\n"
            "lens 59: CC 3 \xC2\xB7 cognitive 2 \xC2\xB7 NLOC 6\n"
            "lens 59: sequence diagram\n"
            "diagnostic 19: Checkout.total: cyclomatic complexity 10 > 5\n"
            "opened flowchart.html: <!DOCTYPE html>\n");
}

}  // namespace
