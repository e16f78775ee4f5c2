// A layout file read through the DOT front end, seen as a GraphLayout:
// the form the engine's drawing modes take their layouts in.  Values are
// read with the layout queries, as written in the file.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>

#include "layout/laid_out_graph.h"
#include "xml/document.h"

namespace render {

class DotFileLayout final : public layout::GraphLayout {
 public:
  // Parses the layout with the tree and status files of a work folder;
  // nullptr when loadLayout gives no tree.
  static std::unique_ptr<DotFileLayout> load(const std::string& layoutPath, const std::string& workFolder);

  explicit DotFileLayout(std::unique_ptr<xml::Document> tree);

  double right() const override;
  double top() const override;
  size_t nodeCount() const override { return nodes_.size(); }
  size_t edgeCount() const override { return edges_.size(); }
  std::string nodeName(size_t node) const override;
  double nodeX(size_t node) const override;
  double nodeY(size_t node) const override;
  std::optional<size_t> nodeNamed(const std::string& name) const override;
  double edgeStartY(size_t edge) const override;
  bool nodeHas(size_t node, std::string_view attribute) const override;
  std::string nodeAttribute(size_t node, std::string_view attribute) const override;
  bool edgeHas(size_t edge, std::string_view attribute) const override;
  std::string edgeAttribute(size_t edge, std::string_view attribute) const override;

 private:
  std::unique_ptr<xml::Document> tree_;
  xml::Node root_;
  xml::NodeList nodes_;
  xml::NodeList edges_;
  // The first node statement with a quoted name piece equal to a name.
  std::unordered_map<std::string, size_t> firstByName_;
};

}  // namespace render
