#include "engine/flowchart_model/comment_lines.h"

#include <algorithm>
#include <cmath>

#include "engine/flowchart_model/number_text.h"
#include "engine/flowchart_model/source_text.h"

namespace flowchart {

void CommentLines::index() {
  indexed_ = true;
  if (!comments_) return;
  for (const xml::Node& element : comments_->root().selectNodes("//cmt")) {
    xml::Node line = element.selectSingleNode("@l");
    if (!line) continue;
    const double value = xpathNumber(line.value());
    if (std::isnan(value)) continue;  // compares false with every number
    if (!entries_.empty() && value < entries_.back().line) sorted_ = false;
    entries_.push_back(Entry{value, element});
  }
}

void CommentLines::appendText(std::string& joined, const xml::Node& element) {
  // A "cmt" without "t" fails here as the query's reader would.
  std::string text = element.selectSingleNode("@t").text();
  if (text.empty()) return;
  if (!joined.empty()) joined += kLineSeparator;
  joined += text;
}

std::string CommentLines::between(int32_t a, int32_t b) {
  if (!indexed_) index();
  std::string joined;
  const double low = a, high = b;
  if (sorted_) {
    auto first = std::upper_bound(entries_.begin(), entries_.end(), low,
                                  [](double value, const Entry& e) { return value < e.line; });
    for (auto it = first; it != entries_.end() && it->line < high; ++it) appendText(joined, it->element);
    return joined;
  }
  for (const Entry& entry : entries_)
    if (entry.line > low && entry.line < high) appendText(joined, entry.element);
  return joined;
}

}  // namespace flowchart
