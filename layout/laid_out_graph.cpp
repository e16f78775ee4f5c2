#include "layout/laid_out_graph.h"

namespace layout {
namespace {

const std::string* find(const Attributes& attributes, std::string_view name) {
  for (const auto& [key, value] : attributes)
    if (key == name) return &value;
  return nullptr;
}

}  // namespace

MemoryLayout::MemoryLayout(double right, double top, std::vector<LaidOutNode> nodes,
                           std::vector<LaidOutEdge> edges)
    : right_(right), top_(top), nodes_(std::move(nodes)), edges_(std::move(edges)) {
  firstByName_.reserve(nodes_.size());
  for (size_t i = 0; i < nodes_.size(); ++i) firstByName_.emplace(nodes_[i].name, i);
}

std::optional<size_t> MemoryLayout::nodeNamed(const std::string& name) const {
  const auto it = firstByName_.find(name);
  if (it == firstByName_.end()) return std::nullopt;
  return it->second;
}

bool MemoryLayout::nodeHas(size_t node, std::string_view attribute) const {
  return find(nodes_[node].attributes, attribute) != nullptr;
}

std::string MemoryLayout::nodeAttribute(size_t node, std::string_view attribute) const {
  const std::string* value = find(nodes_[node].attributes, attribute);
  return value ? *value : std::string();
}

bool MemoryLayout::edgeHas(size_t edge, std::string_view attribute) const {
  return find(edges_[edge].attributes, attribute) != nullptr;
}

std::string MemoryLayout::edgeAttribute(size_t edge, std::string_view attribute) const {
  const std::string* value = find(edges_[edge].attributes, attribute);
  return value ? *value : std::string();
}

}  // namespace layout
