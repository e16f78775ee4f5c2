// What check and diff find in methods: a measure over its threshold, or
// code hidden behind Unicode escapes.  One Finding each, with its rule, and
// the thresholds both commands gate on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "frontends/java/hidden_code.h"

namespace findings {

// In the order of check's rules (a SARIF rule's index is its place here);
// the rises are diff's alone.
enum class Rule { Cyclomatic, Cognitive, Nloc, UnicodeEscape, CyclomaticRise, CognitiveRise };

// The measure rules a threshold can be set for, in order.
inline constexpr Rule kMeasureRules[] = {Rule::Cyclomatic, Rule::Cognitive, Rule::Nloc};

struct RuleText {
  const char* id;           // "cyclomatic-complexity"
  const char* text;         // "cyclomatic complexity", as a finding says it
  const char* description;  // what the rule counts or finds
};
const RuleText& ruleText(Rule rule);

// The maxima given; none for a measure not gated.
struct Thresholds {
  std::optional<int64_t> cyclomatic, cognitive, nloc;
  std::optional<int64_t> cyclomaticRise, cognitiveRise;  // of diff: by how much a measure may rise

  std::optional<int64_t> of(Rule rule) const;
  // Whether any of check's maxima is given.
  bool any() const { return cyclomatic || cognitive || nloc; }
};

// A method's measures, as far as it has them (none without a body).
struct MeasureValues {
  std::optional<int64_t> cyclomatic, cognitive, nloc;
  std::optional<int64_t> of(Rule rule) const;
};

// Where a finding is: a method (or what holds code outside every method)
// of a file, with its measures.
struct Place {
  std::string path;       // of the file, as given or found
  std::string method;     // "Class.method"; outside every method, its class (else the file)
  std::string signature;  // "Class.method(int, String)", or method again outside every method
  bool inMethod = true;
  int32_t line = 0, endLine = 0;
  MeasureValues measures;
};

struct Finding {
  Rule rule = Rule::Cyclomatic;
  Place place;
  int64_t value = 0, threshold = 0;        // of a measure rule
  std::optional<java::HiddenCode> hidden;  // of the escape rule: where, and what javac reads

  bool isEscape() const { return rule == Rule::UnicodeEscape; }
  int32_t line() const { return hidden ? hidden->line : place.line; }
  // "cyclomatic complexity 6 > 5", or what javac reads at the escape.
  std::string what() const;
  // "Class.method: cyclomatic complexity 6 > 5".
  std::string message() const { return place.method + ": " + what(); }
  // "Class.method(int, String): cyclomatic complexity 6 > 5": the method
  // by its parameter types too, as check's reports name it.
  std::string signedMessage() const { return place.signature + ": " + what(); }
  // "Shop.java:4: Class.method: ..." (with the column for an escape), as
  // diff's gate says it; check's text report says the signed message.
  std::string reportLine(bool signedName = false) const;
};

// The method's measures over the thresholds, in the order of the rules.
std::vector<Finding> measuresOver(const Place& method, const Thresholds& thresholds);

// How much the method's measures rose over base's, where more than
// diff's thresholds allow.
std::vector<Finding> risesOver(const Place& method, const MeasureValues& base, const Thresholds& thresholds);

// The code hidden at one place, in the method (or the holder) given.
Finding hiddenCode(const Place& holder, java::HiddenCode code);

}  // namespace findings
