// check's reports of what it found: text for people, JSON for tools,
// SARIF 2.1.0 for code scanning and Code Climate JSON for GitLab, and the
// closing line every format ends with on standard error.
#pragma once

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
std::string sarifReport(const std::vector<CheckedFile>& files, const std::vector<Failure>& failures);
std::string codeClimateReport(const std::vector<CheckedFile>& files);

// "checked 12 methods in 3 files; 1 over a threshold ...".
std::string summaryLine(const std::vector<CheckedFile>& files, size_t failed);

}  // namespace findings
