#include "pipeline/method_measures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <utility>


namespace pipeline {

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
  measured.file = metrics::measureTree(parsed.syntax());
  // The summary and the tree are joined by the place of each declaration,
  // its first and last lines.  Methods sharing a place (several on one
  // line) are told apart by name, then taken in the order they are
  // declared, which is the tree's and not the summary's: the summary
  // lists a class's methods before those of an anonymous class written
  // ahead of them.
  std::map<std::pair<int32_t, int32_t>, std::vector<const metrics::MethodMeasures*>> byPlace;
  for (const metrics::MethodMeasures& method : measured.file.methods)
    byPlace[{method.line, method.endLine}].push_back(&method);
  const std::vector<pipeline::MethodSummary>& methods = parsed.summary().methods;
  std::vector<size_t> declared(methods.size());
  for (size_t m = 0; m < methods.size(); ++m) declared[m] = m;
  std::sort(declared.begin(), declared.end(),
            [&](size_t a, size_t b) { return methods[a].documentOrder < methods[b].documentOrder; });
  measured.byMethod.assign(methods.size(), nullptr);
  for (const size_t m : declared) {
    const pipeline::MethodSummary& method = methods[m];
    auto found = byPlace.find({method.line, method.endLine});
    if (found == byPlace.end() || found->second.empty()) continue;
    std::vector<const metrics::MethodMeasures*>& here = found->second;
    auto chosen = here.begin();
    if (here.size() > 1) {
      const auto sameName = std::find_if(here.begin(), here.end(),
                                         [&](const metrics::MethodMeasures* each) { return each->name == method.name; });
      if (sameName != here.end()) chosen = sameName;
    }
    measured.byMethod[m] = *chosen;
    here.erase(chosen);
  }
  return measured;
}

text::Json halsteadJson(const metrics::Halstead& halstead) {
  return {{"length", halstead.length()},
          {"vocabulary", halstead.vocabulary()},
          {"volume", text::jsonDecimal(halstead.volume())},
          {"difficulty", text::jsonDecimal(halstead.difficulty())},
          {"effort", text::jsonDecimal(halstead.effort())}};
}

void addMeasures(text::Json& method, const metrics::MethodMeasures* measures) {
  const bool body = measures && measures->hasBody;
  method["body"] = body;
  method["complexity"] = body ? text::Json(measures->cyclomatic) : text::Json(nullptr);
  method["cognitive"] = body ? text::Json(measures->cognitive) : text::Json(nullptr);
  method["halsteadVolume"] = body ? text::jsonDecimal(measures->halstead.volume()) : text::Json(nullptr);
  method["halstead"] = body ? halsteadJson(measures->halstead) : text::Json(nullptr);
}

}  // namespace pipeline
