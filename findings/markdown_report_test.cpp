#include "findings/reports.h"

#include <gtest/gtest.h>

namespace findings {
namespace {

// A tree with more methods over a threshold than a job summary holds: the
// table stops within 1 MiB and says how many rows it left out.
TEST(MarkdownReport, StaysWithinAJobSummary) {
  Thresholds thresholds;
  thresholds.cyclomatic = 1;
  CheckedFile file;
  file.path = "src/main/java/org/example/generated/VeryLongGeneratedParserName.java";
  constexpr int kMethods = 20000;
  for (int m = 0; m < kMethods; ++m) {
    CheckedMethod method;
    method.place.path = file.path;
    method.place.signature = "VeryLongGeneratedParserName.rule" + std::to_string(m) + "(ParserContext, int, String)";
    method.place.line = m + 1;
    method.place.measures = {7, 3, 12};
    method.found = measuresOver(method.place, thresholds);
    file.methods.push_back(std::move(method));
  }
  const std::string report = markdownReport(thresholds, {file}, {});
  EXPECT_LE(report.size(), kMostSummaryBytes);
  EXPECT_GT(report.size(), kMostSummaryBytes - 8000);
  const size_t rows = std::count(report.begin(), report.end(), '\n');
  const std::string left = std::to_string(kMethods - (rows - 10)) + " more methods over a threshold left out";
  EXPECT_NE(report.find(left), std::string::npos) << report.substr(report.size() - 300);
}

}  // namespace
}  // namespace findings
