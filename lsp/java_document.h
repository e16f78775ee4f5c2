// What the server knows of one open Java document: its last good parse
// with its measures, kept while the text does not parse, and the problem
// of the text when it does not.  Everything the editor asks for (symbols,
// lenses, findings, drawings) is read from here; drawings are made only
// when asked for.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "errors/problem.h"
#include "findings/finding.h"
#include "pipeline/method_measures.h"
#include "pipeline/parsed_source.h"

namespace lsp {

// What a session gates and reads sources with.  Filled from the
// client's initializationOptions; a project's own settings file may fill
// it before them (settingsFromOptions is the one place that reads them).
struct Settings {
  findings::Thresholds thresholds;
  int languageLevel = 0;  // 0: the newest
};

// One method of the last good parse as the editor shows it.
struct MethodEntry {
  size_t index = 0;                                  // into the summary's methods
  const metrics::MethodMeasures* measures = nullptr;  // with a body; else none
  findings::Place place;                              // its name, lines (1-based) and measures
};

class JavaDocument {
 public:
  // Parses the text; a text that does not parse keeps the last good parse
  // and says where it fails.
  void update(const std::string& path, std::string text, int languageLevel);

  bool parsed() const { return source_ != nullptr; }
  pipeline::ParsedSource& source() { return *source_; }
  const pipeline::ParsedSource& source() const { return *source_; }
  const std::vector<MethodEntry>& methods() const { return methods_; }
  // The problem of the newest text, when it did not parse.
  const std::optional<errors::Problem>& syntaxProblem() const { return syntaxProblem_; }

  // The innermost method whose lines hold the line (1-based), with a body
  // when one holding it has one; nullptr for none.
  const MethodEntry* methodAt(int32_t line) const;
  // The findings of the last good parse under the thresholds: measures
  // over them and code hidden by Unicode escapes.
  std::vector<findings::Finding> findingsUnder(const findings::Thresholds& thresholds) const;

 private:
  std::string path_;
  std::unique_ptr<pipeline::ParsedSource> source_;
  std::unique_ptr<pipeline::MeasuredSource> measured_;
  std::vector<MethodEntry> methods_;
  std::optional<errors::Problem> syntaxProblem_;
};

}  // namespace lsp
