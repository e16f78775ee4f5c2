// check's Markdown summary, for a CI job's page (GitHub's job summary,
// a merge request's note): a table of the methods over a threshold.
#include <cctype>
#include <string_view>

#include "findings/reports.h"

namespace findings {
namespace {

// Text as a Markdown code span inside a table cell: '|' escaped (GitHub's
// tables split cells at it even in code), line breaks made spaces, and a
// fence longer than any run of backticks in it.
std::string code(std::string_view text) {
  std::string inner;
  size_t run = 0, longest = 0;
  for (char c : text) {
    run = c == '`' ? run + 1 : 0;
    longest = std::max(longest, run);
    if (c == '|') inner += "\\|";
    else if (c == '\n' || c == '\r') inner += ' ';
    else inner += c;
  }
  const std::string fence(longest + 1, '`');
  const bool padded = longest > 0 || inner.empty() || inner.front() == ' ' || inner.back() == ' ';
  return padded ? fence + " " + inner + " " + fence : fence + inner + fence;
}

// "CC (max 10)": a measure's column, with its maximum when one is given.
std::string header(std::string_view name, const std::optional<int64_t>& maximum) {
  return maximum ? std::string(name) + " (max " + std::to_string(*maximum) + ")" : std::string(name);
}

// A measure's cell, in bold when it is over its maximum.
std::string cell(const std::optional<int64_t>& value, const std::optional<int64_t>& maximum) {
  if (!value) return "";
  const std::string number = std::to_string(*value);
  return maximum && *value > *maximum ? "**" + number + "**" : number;
}

bool overAThreshold(const CheckedMethod& method) {
  for (const Finding& finding : method.found)
    if (!finding.isEscape()) return true;
  return false;
}

// Adds rows while they fit in the summary's bytes (with those written
// before them), keeping room for what follows; says how many were left out.
class Rows {
 public:
  explicit Rows(size_t before) : before_(before) {}
  void add(const std::string& row) {
    constexpr size_t kRoomAfter = 4096;
    if (left_ == 0 && before_ + text_.size() + row.size() + kRoomAfter <= kMostSummaryBytes) text_ += row;
    else ++left_;
  }
  bool empty() const { return text_.empty(); }
  // The rows, and a note of those left out.
  std::string close(std::string_view what) const {
    if (left_ == 0) return text_;
    return text_ + "\n_" + std::to_string(left_) + " more " + std::string(what) +
           " left out to keep this summary within 1 MiB: check's other reports (--format sarif, json) hold "
           "them all._\n";
  }

 private:
  size_t before_;
  std::string text_;
  size_t left_ = 0;
};

}  // namespace

std::string markdownReport(const Thresholds& thresholds, const std::vector<CheckedFile>& files,
                           const std::vector<Failure>& failures) {
  std::string out = "### flowchart check\n\n";
  // The closing line as a sentence.
  std::string summary = summaryLine(files, failures.size());
  summary.back() = '.';
  summary.front() = static_cast<char>(std::toupper(static_cast<unsigned char>(summary.front())));
  out += summary + "\n";
  const bool gated = thresholds.any();
  if (!gated) out += "No thresholds given: every method's measures.\n";

  // The table's head comes before its rows: room for it is kept.
  Rows rows(out.size() + 200);
  for (const CheckedFile& file : files)
    for (const CheckedMethod& method : file.methods) {
      const Place& place = method.place;
      if (gated ? !overAThreshold(method) : !method.measures) continue;
      rows.add("| " + code(place.signature) + " | " + code(place.path + ":" + std::to_string(place.line)) + " | " +
               cell(place.measures.cyclomatic, thresholds.cyclomatic) + " | " +
               cell(place.measures.cognitive, thresholds.cognitive) + " | " +
               cell(place.measures.nloc, thresholds.nloc) + " |\n");
    }
  if (!rows.empty()) {
    out += "\n| method | file | " + header("CC", thresholds.cyclomatic) + " | " +
           header("cognitive", thresholds.cognitive) + " | " + header("NLOC", thresholds.nloc) +
           " |\n|---|---|--:|--:|--:|\n" + rows.close(gated ? "methods over a threshold" : "methods");
    if (gated) out += "\nA measure over its maximum is in bold.\n";
  }

  Rows hidden(out.size() + 200);
  for (const CheckedFile& file : files) {
    const auto addEscape = [&](const Finding& finding) {
      hidden.add("| " + code(finding.place.path + ":" + std::to_string(finding.hidden->line) + ":" +
                             std::to_string(finding.hidden->column)) +
                 " | " + code(finding.place.signature) + " | " + code(finding.what()) + " |\n");
    };
    for (const CheckedMethod& method : file.methods)
      for (const Finding& finding : method.found)
        if (finding.isEscape()) addEscape(finding);
    for (const Finding& finding : file.outside) addEscape(finding);
  }
  if (!hidden.empty())
    out += "\n#### Unicode escapes that hide code\n\n| where | in | what javac reads |\n|---|---|---|\n" +
           hidden.close("places");

  if (!failures.empty()) {
    Rows failed(out.size() + 100);
    for (const Failure& failure : failures)
      failed.add("- " + code(failure.line > 0 ? failure.path + ":" + std::to_string(failure.line) : failure.path) +
                 ": " + code(failure.message) + "\n");
    out += "\n#### Not checked\n\n" + failed.close("sources");
  }
  return out;
}

}  // namespace findings
