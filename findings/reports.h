// check's reports of what it found: text for people, JSON for tools,
// SARIF 2.1.0 for code scanning, Code Climate JSON for GitLab and a
// Markdown summary for a CI job's page, and the closing line every format
// ends with on standard error.  Every report names a method with its
// parameter types.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "findings/finding.h"
#include "metrics/measures.h"

namespace findings {

// A measured method of a checked file and what was found in it.
struct CheckedMethod {
  Place place;
  std::optional<metrics::MethodMeasures> measures;  // none without a body
  std::vector<Finding> found;  // its measures over the thresholds, then its hidden code
};

struct CheckedFile {
  std::string path;  // as given or found, for messages
  std::vector<CheckedMethod> methods;
  std::vector<Finding> outside;  // code hidden outside every method, in line order

  size_t findings() const;
};

// A source that could not be checked.
struct Failure {
  std::string path;
  int32_t line = 0;
  std::string message;
};

// A line a finding; without thresholds, every method's measures besides.
std::string textReport(const std::vector<CheckedFile>& files, bool anyThreshold);
std::string jsonReport(const Thresholds& thresholds, const std::vector<CheckedFile>& files,
                       const std::vector<Failure>& failures);

// The uploaded reports (SARIF, Code Climate) give paths relative to the
// top folder of the sources (%SRCROOT%: the repository's top), and each
// finding a fingerprint from that path, the method's name with its
// parameter types, the rule and (for an escape) what is written, never
// the line: lines added or removed above a finding leave it as it was.
// sourceRoot is absolute.
std::string sarifReport(const std::vector<CheckedFile>& files, const std::vector<Failure>& failures,
                        const std::filesystem::path& sourceRoot);
std::string codeClimateReport(const std::vector<CheckedFile>& files, const std::filesystem::path& sourceRoot);

// The methods over a threshold as a Markdown table with their measures
// and the thresholds (every method's measures without thresholds), the
// hidden code and the sources not checked, cut short with a note to stay
// within a GitHub job summary's 1 MiB.
std::string markdownReport(const Thresholds& thresholds, const std::vector<CheckedFile>& files,
                           const std::vector<Failure>& failures);

// The most bytes a Markdown summary takes: a job summary is refused past 1 MiB.
inline constexpr size_t kMostSummaryBytes = 1000 * 1000;

// "checked 12 methods in 3 files; 1 over a threshold ...".
std::string summaryLine(const std::vector<CheckedFile>& files, size_t failed);

}  // namespace findings
