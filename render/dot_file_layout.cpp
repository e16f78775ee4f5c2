#include "render/dot_file_layout.h"

#include "render/layout_queries.h"

namespace render {
namespace {

bool marked(const xml::Node& nodeOrEdge, std::string_view attribute) {
  return !nodeOrEdge.selectSingleNode("attr_list/a_list/id/CHAR_STR[@t=\"" + std::string(attribute) + "\"]")
              .isNull();
}

// The names of other nodes are read as their first piece, as node names are.
std::string attributeOf(const xml::Node& nodeOrEdge, std::string_view attribute) {
  if (attribute == "zarnlast") return dotLast(nodeOrEdge);
  if (attribute == "zarnfrom") return dotFrom(nodeOrEdge);
  if (attribute == "zarnto") return dotTo(nodeOrEdge);
  return dotAttribute(nodeOrEdge, attribute);
}

}  // namespace

std::unique_ptr<DotFileLayout> DotFileLayout::load(const std::string& layoutPath, const std::string& workFolder) {
  std::unique_ptr<xml::Document> tree = loadLayout(layoutPath, layoutTreePath(workFolder), layoutStatusPath(workFolder));
  if (!tree) return nullptr;
  return std::make_unique<DotFileLayout>(std::move(tree));
}

DotFileLayout::DotFileLayout(std::unique_ptr<xml::Document> tree)
    : tree_(std::move(tree)), root_(tree_->root()), nodes_(dotNodes(root_)), edges_(dotEdges(root_)) {
  for (size_t i = 0; i < nodes_.size(); ++i)
    for (const xml::Node& piece : nodes_[i].selectNodes("node_id/id/STR_CON/@t")) firstByName_.emplace(piece.value(), i);
}

double DotFileLayout::right() const { return dotGraphRight(root_); }
double DotFileLayout::top() const { return dotGraphTop(root_); }
std::string DotFileLayout::nodeName(size_t node) const { return dotNodeId(nodes_[node]); }
double DotFileLayout::nodeX(size_t node) const { return layoutNumber(dotPosX(nodes_[node])); }
double DotFileLayout::nodeY(size_t node) const { return layoutNumber(dotPosY(nodes_[node])); }

std::optional<size_t> DotFileLayout::nodeNamed(const std::string& name) const {
  // A name with a double quote cannot stand in the expression; the
  // selection reports that as the document service does.
  if (name.find('"') != std::string::npos) {
    const xml::Node found = root_.selectSingleNode("//node_stmt[node_id/id/STR_CON[@t=\"" + name + "\"]]");
    for (size_t i = 0; i < nodes_.size() && !found.isNull(); ++i)
      if (nodes_[i] == found) return i;
    return std::nullopt;
  }
  const auto it = firstByName_.find(name);
  if (it == firstByName_.end()) return std::nullopt;
  return it->second;
}

// "pos" is "s,x,y e,x,y x,y ..." with the arrow points first when the
// edge has them: after the first comma, past a marker's own comma.
double DotFileLayout::edgeStartY(size_t edge) const {
  const std::string x = dotPosX(edges_[edge]);
  std::string y = dotPosY(edges_[edge]);
  if (x == "e" || x == "s") {
    const size_t comma = y.find(',');
    y = comma == std::string::npos ? std::string() : y.substr(comma + 1);
  }
  return layoutNumber(y);
}

bool DotFileLayout::nodeHas(size_t node, std::string_view attribute) const { return marked(nodes_[node], attribute); }
bool DotFileLayout::edgeHas(size_t edge, std::string_view attribute) const { return marked(edges_[edge], attribute); }

std::string DotFileLayout::nodeAttribute(size_t node, std::string_view attribute) const {
  return attributeOf(nodes_[node], attribute);
}

std::string DotFileLayout::edgeAttribute(size_t edge, std::string_view attribute) const {
  return attributeOf(edges_[edge], attribute);
}

}  // namespace render
