// The measures users compare with their other tools (metrics/), joined
// to the methods of a parsed file's summary, and written as JSON fields.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "metrics/measures.h"
#include "pipeline/parsed_source.h"
#include "text/json_text.h"

namespace pipeline {

struct MeasuredSource {
  metrics::FileMeasures file;
  // For each method of the summary, in its order, its measures; nullptr
  // for one the tree does not hold.
  std::vector<const metrics::MethodMeasures*> byMethod;

  // A method's measures when it has a body, else nullptr.
  const metrics::MethodMeasures* withBody(size_t method) const {
    const metrics::MethodMeasures* found = byMethod[method];
    return found && found->hasBody ? found : nullptr;
  }
  // A class's weighted method count: the sum of its methods' cyclomatic
  // complexities (nullopt when none has a body).
  std::optional<int64_t> classComplexity(const pipeline::FileSummary& summary, size_t classIndex) const;
};

MeasuredSource measureSource(pipeline::ParsedSource& parsed);

// Adds "body", "complexity", "cognitive", "halsteadVolume" and "halstead"
// to a method's object, with nulls for a method without a body.
void addMeasures(text::Json& method, const metrics::MethodMeasures* measures);
// {"length":..,"vocabulary":..,"volume":..,"difficulty":..,"effort":..}
text::Json halsteadJson(const metrics::Halstead& halstead);

}  // namespace pipeline
