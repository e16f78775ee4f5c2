// Every node of a method's graph is drawn exactly once across the pages of
// its drawing, whichever way it is folded: for every method of the test
// fixtures, the boxes of `draw -o M.svg` against the nodes of `-o M.json`.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "tests/cli/cli_run.h"

namespace {

std::vector<std::string> matches(const std::string& text, const std::regex& pattern) {
  std::vector<std::string> found;
  for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it) found.push_back((*it)[1]);
  std::sort(found.begin(), found.end());
  return found;
}

TEST(DrawnPages, EveryNodeIsDrawnExactlyOnceAcrossThePages) {
  const std::regex method(R"re("name":"([^"]*)","signature":"[^"]*","line":(\d+),"endLine":\d+,[^{}]*"body":true)re");
  const std::regex node(R"re("id": ?"([^"]+)")re");
  const std::regex box(R"re(data-node="([^"]+)")re");
  testing_support::TempDir dir;
  size_t drawn = 0, folded = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(testing_support::fixture(""))) {
    if (entry.path().extension() != ".java") continue;
    const auto listed = runFlowchart({"list", entry.path().string(), "--json"});
    if (listed.exitCode != 0) continue;
    for (std::sregex_iterator it(listed.out.begin(), listed.out.end(), method), end; it != end; ++it) {
      const std::string name = (*it)[1].str() + ":" + (*it)[2].str();
      const std::string json = dir.file("m.json"), svg = dir.file("m.svg");
      if (runFlowchart({"draw", entry.path().string(), name, "-o", json}).exitCode != 0) continue;
      const std::vector<std::string> nodes = matches(testing_support::readFile(json), node);
      for (const char* fold : {"auto", "all"}) {
        const auto run = runFlowchart({"draw", entry.path().string(), name, "-o", svg, "--fold", fold});
        ASSERT_EQ(run.exitCode, 0) << name << " " << run.err;
        const std::string picture = testing_support::readFile(svg);
        EXPECT_EQ(matches(picture, box), nodes) << entry.path() << " " << name << " --fold " << fold;
        folded += picture.find("id=\"page-2\"") != std::string::npos;
      }
      ++drawn;
    }
  }
  EXPECT_GT(drawn, 120u);
  EXPECT_GT(folded, 20u);
}

}  // namespace
