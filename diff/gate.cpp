#include "diff/gate.h"

namespace diff {
namespace {

findings::MeasureValues valuesOf(const Measures& measures) {
  return {measures.complexity, measures.cognitive, measures.nloc};
}

}  // namespace

std::vector<findings::Finding> gateFindings(const Diff& diff, const findings::Thresholds& thresholds) {
  std::vector<findings::Finding> found;
  for (const MethodDiff& method : diff.methods) {
    if (!method.head) continue;
    const MethodVersion& head = *method.head;
    findings::Place place;
    place.path = head.file;
    place.method = method.name();  // an overloaded method with its parameter types
    place.signature = head.className + "." + head.signature;
    place.line = head.line;
    for (const java::HiddenCode& code : head.hiddenCode) found.push_back(findings::hiddenCode(place, code));
    if (!head.measures) continue;
    place.measures = valuesOf(*head.measures);
    for (findings::Finding& over : findings::measuresOver(place, thresholds)) found.push_back(std::move(over));
    if (!method.base || !method.base->measures) continue;
    for (findings::Finding& rise : findings::risesOver(place, valuesOf(*method.base->measures), thresholds))
      found.push_back(std::move(rise));
  }
  return found;
}

}  // namespace diff
