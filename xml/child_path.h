// Child paths: the XPath texts made only of child steps with a name or "*",
// perhaps ending in an attribute step, and unions of them ("controlflow",
// "@id", "SelStmt/IF", "Blk/Stmt|Blk/LocVarDecln").  They are most of the
// queries the model builder asks, and walking the children answers them
// with the same nodes in the same order as evaluating the XPath does, at a
// fraction of the cost.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

namespace xml {

class ChildPath {
 public:
  // The path an XPath text spells, or nothing when the text is anything
  // else (predicates, other axes, functions, blanks, non-ASCII names, ...).
  static std::optional<ChildPath> parse(std::string_view xpath);
  // The same for a text known to be a child path, such as a constant the
  // caller keeps compiled; throws std::invalid_argument for any other.
  explicit ChildPath(std::string_view xpath);

  const std::string& text() const { return text_; }

  // Calls found(element, attribute) for each match below an element, in
  // document order and each once; attribute is empty for an element
  // match.  Stops when found returns false.
  template <typename Found>
  void forEachMatch(pugi::xml_node context, Found&& found) const {
    visit(context, 0, allBranches(), found);
  }

 private:
  ChildPath() = default;

  struct Step {
    std::string name;
    bool any = false;  // "*"
    bool matches(pugi::xml_node element) const { return any || std::strcmp(element.name(), name.c_str()) == 0; }
  };
  struct Branch {
    std::vector<Step> steps;
    std::string attribute;  // empty: the branch selects elements
  };
  using Mask = uint64_t;
  static constexpr size_t kMaxBranches = 64;

  Mask allBranches() const {
    return branches_.size() == kMaxBranches ? ~Mask(0) : (Mask(1) << branches_.size()) - 1;
  }

  template <typename Found>
  bool visit(pugi::xml_node node, size_t depth, Mask mask, Found& found) const;
  template <typename Found>
  bool visitBranch(pugi::xml_node node, size_t depth, Found& found) const;

  std::string text_;
  std::vector<Branch> branches_;
};

// The common case of one branch: no masks to keep.
template <typename Found>
bool ChildPath::visitBranch(pugi::xml_node node, size_t depth, Found& found) const {
  const Branch& branch = branches_.front();
  if (depth == branch.steps.size()) {
    if (branch.attribute.empty()) return found(node, pugi::xml_attribute());
    pugi::xml_attribute attribute = node.attribute(branch.attribute.c_str());
    return !attribute || found(node, attribute);
  }
  const Step& step = branch.steps[depth];
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element || !step.matches(child)) continue;
    if (!visitBranch(child, depth + 1, found)) return false;
  }
  return true;
}

template <typename Found>
bool ChildPath::visit(pugi::xml_node node, size_t depth, Mask mask, Found& found) const {
  if (branches_.size() == 1) return visitBranch(node, depth, found);
  // The node itself, then its attributes, then what lies below it.
  bool selectsNode = false, selectsAttribute = false;
  Mask deeper = 0;
  for (size_t b = 0; b < branches_.size(); ++b) {
    if (!(mask >> b & 1)) continue;
    if (branches_[b].steps.size() > depth) {
      deeper |= Mask(1) << b;
      continue;
    }
    (branches_[b].attribute.empty() ? selectsNode : selectsAttribute) = true;
  }
  if (selectsNode && !found(node, pugi::xml_attribute())) return false;
  if (selectsAttribute) {
    for (pugi::xml_attribute attribute = node.first_attribute(); attribute; attribute = attribute.next_attribute()) {
      for (size_t b = 0; b < branches_.size(); ++b) {
        const Branch& branch = branches_[b];
        if (!(mask >> b & 1) || branch.steps.size() != depth || branch.attribute.empty()) continue;
        if (branch.attribute != attribute.name()) continue;
        if (!found(node, attribute)) return false;
        break;
      }
    }
  }
  if (!deeper) return true;
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) continue;
    Mask childMask = 0;
    for (size_t b = 0; b < branches_.size(); ++b)
      if ((deeper >> b & 1) && branches_[b].steps[depth].matches(child)) childMask |= Mask(1) << b;
    if (childMask && !visit(child, depth + 1, childMask, found)) return false;
  }
  return true;
}

}  // namespace xml
