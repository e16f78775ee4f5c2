#include "findings/finding.h"

#include "text/text_output.h"

namespace findings {

const RuleText& ruleText(Rule rule) {
  static const RuleText kRules[] = {
      {"cyclomatic-complexity", "cyclomatic complexity",
       "Cyclomatic complexity as checkstyle's CyclomaticComplexity counts it: 1 + if, while, do, for, case, "
       "catch, ?:, &&, || and when."},
      {"cognitive-complexity", "cognitive complexity",
       "Cognitive complexity as SonarSource's whitepaper defines it: breaks in the linear flow, weighted by "
       "their nesting."},
      {"nloc", "NLOC", "Lines of the method that hold code (not blank, not only comments)."},
      {"unicode-escape", "Unicode escape that hides code",
       "javac translates Unicode escapes (\\uXXXX) before anything else, in comments and literals too, so an escape "
       "can end a comment or a string literal, break a line or spell a keyword where the file as written shows none: "
       "code a reader takes for a comment or a string is compiled, or the other way round."},
      {"cyclomatic-complexity-rise", "cyclomatic complexity rose by",
       "How much a changed method's cyclomatic complexity rose."},
      {"cognitive-complexity-rise", "cognitive complexity rose by",
       "How much a changed method's cognitive complexity rose."},
  };
  return kRules[static_cast<int>(rule)];
}

std::optional<int64_t> Thresholds::of(Rule rule) const {
  switch (rule) {
    case Rule::Cyclomatic: return cyclomatic;
    case Rule::Cognitive: return cognitive;
    case Rule::Nloc: return nloc;
    case Rule::CyclomaticRise: return cyclomaticRise;
    case Rule::CognitiveRise: return cognitiveRise;
    case Rule::UnicodeEscape: break;
  }
  return std::nullopt;
}

std::optional<int64_t> MeasureValues::of(Rule rule) const {
  switch (rule) {
    case Rule::Cyclomatic:
    case Rule::CyclomaticRise: return cyclomatic;
    case Rule::Cognitive:
    case Rule::CognitiveRise: return cognitive;
    case Rule::Nloc: return nloc;
    case Rule::UnicodeEscape: break;
  }
  return std::nullopt;
}

std::string Finding::what() const {
  if (hidden) return hidden->message();
  return std::string(ruleText(rule).text) + " " + std::to_string(value) + " > " + std::to_string(threshold);
}

std::string Finding::reportLine(bool signedName) const {
  const std::string said = signedName ? signedMessage() : message();
  if (hidden) return text::located(place.path, hidden->line, hidden->column, said);
  return text::located(place.path, place.line, said);
}

namespace {

Finding over(const Place& method, Rule rule, int64_t value, int64_t threshold) {
  Finding finding;
  finding.rule = rule;
  finding.place = method;
  finding.value = value;
  finding.threshold = threshold;
  return finding;
}

}  // namespace

std::vector<Finding> measuresOver(const Place& method, const Thresholds& thresholds) {
  std::vector<Finding> found;
  for (Rule rule : kMeasureRules) {
    const std::optional<int64_t> maximum = thresholds.of(rule);
    const std::optional<int64_t> value = method.measures.of(rule);
    if (maximum && value && *value > *maximum) found.push_back(over(method, rule, *value, *maximum));
  }
  return found;
}

std::vector<Finding> risesOver(const Place& method, const MeasureValues& base, const Thresholds& thresholds) {
  std::vector<Finding> found;
  for (Rule rule : {Rule::CyclomaticRise, Rule::CognitiveRise}) {
    const std::optional<int64_t> maximum = thresholds.of(rule);
    const std::optional<int64_t> now = method.measures.of(rule), before = base.of(rule);
    if (maximum && now && before && *now - *before > *maximum)
      found.push_back(over(method, rule, *now - *before, *maximum));
  }
  return found;
}

Finding hiddenCode(const Place& holder, java::HiddenCode code) {
  Finding finding;
  finding.rule = Rule::UnicodeEscape;
  finding.place = holder;
  finding.hidden = std::move(code);
  return finding;
}

}  // namespace findings
