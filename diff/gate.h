// diff's gate: on the methods of head that changed or are new, the code
// hidden behind Unicode escapes (whatever the thresholds), the measures
// over their maxima and how much a measure rose over base's, as findings.
#pragma once

#include <vector>

#include "diff/model.h"
#include "findings/finding.h"

namespace diff {

// Method by method in the diff's order: its hidden code, its measures over
// the thresholds, then its rises (a method new in head rose from nothing:
// the maxima gate it).
std::vector<findings::Finding> gateFindings(const Diff& diff, const findings::Thresholds& thresholds);

}  // namespace diff
