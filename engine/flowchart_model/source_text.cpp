#include "engine/flowchart_model/source_text.h"

#include <algorithm>

#include "engine/flowchart_model/number_text.h"
#include "engine/flowchart_model/tree_queries.h"

namespace flowchart {

std::string sourceTextOf(const xml::Node& node, const SourceLines& lines) {
  const int32_t sl = leadingInt(firstLineOf(node));
  const int32_t sc = leadingInt(firstColumnOf(node));
  xml::Node last = lastLinedElement(node, true);
  const int32_t el = leadingInt(firstLineOf(last));
  const int64_t ec = int64_t{leadingInt(firstColumnOf(last))} +
                     static_cast<int64_t>(last.selectSingleNode("@t").text().size());
  return lines.span(sl, sc, el, static_cast<int32_t>(std::min<int64_t>(ec, INT32_MAX)));
}

}  // namespace flowchart
