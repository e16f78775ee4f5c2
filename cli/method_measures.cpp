#include "cli/method_measures.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <tuple>

namespace cli {

std::optional<int64_t> MeasuredSource::classComplexity(const pipeline::FileSummary& summary,
                                                       size_t classIndex) const {
  std::optional<int64_t> sum;
  for (size_t m = 0; m < summary.methods.size(); ++m) {
    if (summary.methods[m].classIndex != classIndex) continue;
    if (const metrics::MethodMeasures* measures = withBody(m)) sum = sum.value_or(0) + measures->cyclomatic;
  }
  return sum;
}

MeasuredSource measureSource(pipeline::ParsedSource& parsed) {
  MeasuredSource measured;
  measured.file = metrics::measureTree(parsed.tree());
  // The summary and the tree name a method by its first and last lines and
  // its name; methods that share all three are taken in order.
  std::map<std::tuple<int32_t, int32_t, std::string>, std::vector<const metrics::MethodMeasures*>> byPlace;
  for (auto it = measured.file.methods.rbegin(); it != measured.file.methods.rend(); ++it)
    byPlace[{it->line, it->endLine, it->name}].push_back(&*it);
  for (const pipeline::MethodSummary& method : parsed.summary().methods) {
    auto found = byPlace.find({method.line, method.endLine, method.name});
    if (found == byPlace.end() || found->second.empty()) {
      measured.byMethod.push_back(nullptr);
      continue;
    }
    measured.byMethod.push_back(found->second.back());
    found->second.pop_back();
  }
  return measured;
}

std::string decimalText(double value) {
  if (!std::isfinite(value)) return "null";
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

std::string halsteadJson(const metrics::Halstead& halstead) {
  return "{\"length\":" + std::to_string(halstead.length()) + ",\"vocabulary\":" +
         std::to_string(halstead.vocabulary()) + ",\"volume\":" + decimalText(halstead.volume()) +
         ",\"difficulty\":" + decimalText(halstead.difficulty()) + ",\"effort\":" + decimalText(halstead.effort()) +
         "}";
}

std::string measuresJson(const metrics::MethodMeasures* measures) {
  if (!measures || !measures->hasBody)
    return ",\"body\":false,\"complexity\":null,\"cognitive\":null,\"halsteadVolume\":null,\"halstead\":null";
  return ",\"body\":true,\"complexity\":" + std::to_string(measures->cyclomatic) +
         ",\"cognitive\":" + std::to_string(measures->cognitive) +
         ",\"halsteadVolume\":" + decimalText(measures->halstead.volume()) +
         ",\"halstead\":" + halsteadJson(measures->halstead);
}

}  // namespace cli
