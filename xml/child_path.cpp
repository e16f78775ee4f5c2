#include "child_path.h"

#include <stdexcept>

namespace xml {
namespace {

bool isNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }

bool isNameChar(char c) { return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

// An ASCII name without a prefix, so that it means the same to every XPath
// reader; "-" and "." stay out of the first place, where they would start
// an operator or a number.
bool isPlainName(std::string_view text) {
  if (text.empty() || !isNameStart(text.front())) return false;
  for (char c : text)
    if (!isNameChar(c)) return false;
  return true;
}

}  // namespace

std::optional<ChildPath> ChildPath::parse(std::string_view xpath) {
  ChildPath path;
  path.text_ = std::string(xpath);
  while (true) {
    const size_t bar = xpath.find('|');
    std::string_view text = xpath.substr(0, bar);
    Branch branch;
    while (true) {
      const size_t slash = text.find('/');
      std::string_view step = text.substr(0, slash);
      const bool last = slash == std::string_view::npos;
      if (last && !step.empty() && step.front() == '@') {
        step.remove_prefix(1);
        // Namespace declarations are no attributes to XPath.
        if (!isPlainName(step) || step.substr(0, 5) == "xmlns") return std::nullopt;
        branch.attribute = std::string(step);
      } else if (step == "*" || isPlainName(step)) {
        branch.steps.push_back(Step{std::string(step), step == "*"});
      } else {
        return std::nullopt;
      }
      if (last) break;
      text.remove_prefix(slash + 1);
    }
    if (path.branches_.size() == kMaxBranches) return std::nullopt;
    path.branches_.push_back(std::move(branch));
    if (bar == std::string_view::npos) break;
    xpath.remove_prefix(bar + 1);
  }
  return path;
}

ChildPath::ChildPath(std::string_view xpath) {
  std::optional<ChildPath> parsed = parse(xpath);
  if (!parsed) throw std::invalid_argument("not a child path: " + std::string(xpath));
  *this = std::move(*parsed);
}

}  // namespace xml
