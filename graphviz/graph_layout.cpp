#include "graphviz/graph_layout.h"

#include <graphviz/cgraph.h>
#include <graphviz/gvc.h>

#include "graphviz/graphviz_context.h"
#include "text/dot_text.h"
#include <graphviz/types.h>

#include "graphviz/ordered_ids.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <iterator>
#include <memory>

namespace graphviz {
namespace {


const char* shapeName(LayoutShape shape) {
  switch (shape) {
    case LayoutShape::Box: return "box";
    case LayoutShape::Diamond: return "diamond";
    case LayoutShape::Ellipse: return "ellipse";
    case LayoutShape::Hexagon: return "hexagon";
    case LayoutShape::Circle: return "circle";
    case LayoutShape::Point: return "point";
  }
  return "box";
}

// A label as Graphviz reads it: backslashes start escapes (\n, \N, \l),
// so a backslash of the text is doubled; lines are separated by "\n".
std::string labelText(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out;
}

// A size as "%.3f" prints it.
std::string inches(double value) {
  char buffer[32];
  const auto printed = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
  if (printed.ec != std::errc()) return "0.000";
  return std::string(buffer, printed.ptr);
}

struct GraphCloser {
  void operator()(Agraph_t* graph) const { agclose(graph); }
};

// The attributes every graph gets: top to bottom, room for labels.
const std::pair<const char*, const char*> kGraphAttributes[] = {
    {"rankdir", "TB"}, {"nodesep", "0.3"}, {"ranksep", "0.35"}, {"newrank", "true"},
    {"fontname", "Helvetica"}, {"labeljust", "l"}, {"outputorder", "edgesfirst"}};

void set(void* object, const char* name, const std::string& value) {
  agsafeset(object, const_cast<char*>(name), const_cast<char*>(value.c_str()), const_cast<char*>(""));
}

// A node or edge attribute of one graph, declared with an empty default
// when it is first set, as agsafeset declares it, but looked up once
// rather than for every object.
class ObjectAttribute {
 public:
  ObjectAttribute(Agraph_t* root, int kind, const char* name) : root_(root), kind_(kind), name_(name) {}

  void set(void* object, const char* value) {
    if (symbol_ == nullptr) {
      symbol_ = agattr(root_, kind_, const_cast<char*>(name_), nullptr);
      if (symbol_ == nullptr) symbol_ = agattr(root_, kind_, const_cast<char*>(name_), const_cast<char*>(""));
    }
    agxset(object, symbol_, const_cast<char*>(value));
  }
  void set(void* object, const std::string& value) { set(object, value.c_str()); }

 private:
  Agraph_t* root_;
  int kind_;
  const char* name_;
  Agsym_t* symbol_ = nullptr;
};

LayoutBox inchBox(const boxf& box, const pointf& origin) {
  return {(box.LL.x - origin.x) / 72.0, (box.LL.y - origin.y) / 72.0, (box.UR.x - origin.x) / 72.0,
          (box.UR.y - origin.y) / 72.0};
}

LayoutPoint inchPoint(const pointf& point, const pointf& origin) {
  return {(point.x - origin.x) / 72.0, (point.y - origin.y) / 72.0};
}

// Object IDs in the order they are made: clusters keep their order.
Agdisc_t discipline = {&AgMemDisc, &orderedIdDiscipline, &AgIoDisc};


// The flowchart's graph: top to bottom, frames as clusters, every object
// named in the order it is made.  Nullptr when an edge names a node the
// graph does not have.
Agraph_t* buildFlowchart(const Graph& graph, std::vector<Agnode_t*>& nodes, std::vector<Agedge_t*>& edges,
                         std::vector<Agraph_t*>& clusters) {
  Agraph_t* root = agopen(const_cast<char*>("flow"), Agdirected, &discipline);
  for (const auto& [name, value] : kGraphAttributes) set(root, name, value);
  agattr(root, AGNODE, const_cast<char*>("fixedsize"), const_cast<char*>("true"));
  agattr(root, AGNODE, const_cast<char*>("label"), const_cast<char*>(""));
  agattr(root, AGEDGE, const_cast<char*>("fontsize"), const_cast<char*>(inches(kEdgeLabelPoints).c_str()));
  agattr(root, AGEDGE, const_cast<char*>("fontname"), const_cast<char*>("Helvetica"));
  agattr(root, AGEDGE, const_cast<char*>("arrowhead"), const_cast<char*>("none"));
  agattr(root, AGEDGE, const_cast<char*>("arrowtail"), const_cast<char*>("none"));

  for (size_t c = 0; c < graph.clusters.size(); ++c) {
    const GraphCluster& cluster = graph.clusters[c];
    Agraph_t* parent = cluster.parent && *cluster.parent < c ? clusters[*cluster.parent] : root;
    const std::string name = "cluster_" + std::to_string(c);
    Agraph_t* sub = agsubg(parent, const_cast<char*>(name.c_str()), 1);
    set(sub, "label", labelText(cluster.label));
    set(sub, "fontsize", inches(kClusterLabelPoints));
    clusters.push_back(sub);
  }
  ObjectAttribute shape(root, AGNODE, "shape"), width(root, AGNODE, "width"), height(root, AGNODE, "height"),
      ordering(root, AGNODE, "ordering");
  for (size_t n = 0; n < graph.nodes.size(); ++n) {
    const GraphNode& node = graph.nodes[n];
    const std::string name = "n" + std::to_string(n);
    Agnode_t* made = agnode(root, const_cast<char*>(name.c_str()), 1);
    shape.set(made, shapeName(node.shape));
    width.set(made, inches(node.width));
    height.set(made, inches(node.height));
    if (node.orderedOut) ordering.set(made, "out");
    if (node.cluster && *node.cluster < clusters.size()) agsubnode(clusters[*node.cluster], made, 1);
    nodes.push_back(made);
  }
  ObjectAttribute label(root, AGEDGE, "label"), minlen(root, AGEDGE, "minlen"), weight(root, AGEDGE, "weight"),
      constraint(root, AGEDGE, "constraint");
  for (size_t e = 0; e < graph.edges.size(); ++e) {
    const GraphEdge& edge = graph.edges[e];
    const std::string name = "e" + std::to_string(e);
    Agnode_t* tail = nodes[edge.back ? edge.head : edge.tail];
    Agnode_t* head = nodes[edge.back ? edge.tail : edge.head];
    Agedge_t* made = agedge(root, tail, head, const_cast<char*>(name.c_str()), 1);
    if (!edge.label.empty()) label.set(made, labelText(edge.label));
    if (edge.minLength > 1) minlen.set(made, std::to_string(edge.minLength));
    if (edge.weight != 1) weight.set(made, std::to_string(edge.weight));
    if (edge.sideBySide) constraint.set(made, "false");
    edges.push_back(made);
  }
  for (size_t r = 0; r < graph.sameRank.size(); ++r) {
    const std::string name = "rank_" + std::to_string(r);
    Agraph_t* rank = agsubg(root, const_cast<char*>(name.c_str()), 1);
    set(rank, "rank", "same");
    for (size_t n : graph.sameRank[r])
      if (n < nodes.size()) agsubnode(rank, nodes[n], 1);
  }
  return root;
}

// A diagram of rows: left to right, its nodes named by the caller, its
// edges and rank sets anonymous.  Nodes are made before the rank sets and
// edges, in index order, as the DOT text written for the same diagram
// makes them: the text and the graph lay out alike.
Agraph_t* buildRows(const Graph& graph, std::vector<Agnode_t*>& nodes, std::vector<Agedge_t*>& edges) {
  Agraph_t* root = agopen(const_cast<char*>("sequence"), Agdirected, &discipline);
  auto declare = [root](const char* name, const std::string& value) {
    agattr(root, AGRAPH, const_cast<char*>(name), const_cast<char*>(value.c_str()));
  };
  declare("rankdir", "LR");
  declare("ranksep", inches(graph.rankSeparation));
  declare("nodesep", inches(graph.nodeSeparation));
  if (graph.latin1) declare("charset", "latin1");
  ObjectAttribute shape(root, AGNODE, "shape"), fixedsize(root, AGNODE, "fixedsize"), width(root, AGNODE, "width"),
      height(root, AGNODE, "height"), fontsize(root, AGNODE, "fontsize"), label(root, AGNODE, "label");
  const std::string fontPoints = inches(graph.nodeFontPoints);
  for (const GraphNode& node : graph.nodes) {
    Agnode_t* made = agnode(root, const_cast<char*>(node.name.c_str()), 1);
    shape.set(made, shapeName(node.shape));
    fixedsize.set(made, "true");
    width.set(made, inches(node.width));
    height.set(made, inches(node.height));
    fontsize.set(made, fontPoints);
    label.set(made, node.label);
    nodes.push_back(made);
  }
  for (const std::vector<size_t>& same : graph.sameRank) {
    Agraph_t* rank = agsubg(root, nullptr, 1);
    set(rank, "rank", "same");
    for (size_t n : same) agsubnode(rank, nodes[n], 1);
  }
  ObjectAttribute style(root, AGEDGE, "style"), weight(root, AGEDGE, "weight"), tailLabel(root, AGEDGE, "taillabel"),
      headLabel(root, AGEDGE, "headlabel");
  for (const GraphEdge& edge : graph.edges) {
    Agedge_t* made = agedge(root, nodes[edge.tail], nodes[edge.head], nullptr, 1);
    if (edge.invisible) style.set(made, "invis");
    if (edge.weight != 1) weight.set(made, std::to_string(edge.weight));
    if (!edge.tailLabel.empty()) tailLabel.set(made, edge.tailLabel);
    if (!edge.headLabel.empty()) headLabel.set(made, edge.headLabel);
    edges.push_back(made);
  }
  return root;
}



bool namesItsNodes(const Graph& graph) {
  for (const GraphEdge& edge : graph.edges)
    if (edge.tail >= graph.nodes.size() || edge.head >= graph.nodes.size()) return false;
  for (const GraphNode& node : graph.nodes)
    if (node.heightOf && *node.heightOf >= graph.nodes.size()) return false;
  for (const std::vector<size_t>& same : graph.sameRank)
    for (size_t n : same)
      if (n >= graph.nodes.size()) return false;
  return true;
}

errors::Problem refused(std::string message) { return errors::Problem(errors::Problem::Kind::Failed, std::move(message)); }

// A graph built in Graphviz, with its nodes, edges and clusters by index.
struct BuiltGraph {
  std::unique_ptr<Agraph_t, GraphCloser> owner;
  std::vector<Agnode_t*> nodes;
  std::vector<Agedge_t*> edges;
  std::vector<Agraph_t*> clusters;
};

errors::Result<BuiltGraph> built(const Graph& graph) {
  if (context() == nullptr) return refused("Graphviz could not be started");
  if (!namesItsNodes(graph)) return refused("an edge names a node the graph does not have");
  pendingMessages().clear();
  agreseterrors();
  BuiltGraph result;
  result.owner.reset(graph.kind == GraphKind::Rows ? buildRows(graph, result.nodes, result.edges)
                                                    : buildFlowchart(graph, result.nodes, result.edges, result.clusters));
  if (result.owner == nullptr || agerrors() > 0) return refused(oneLine(pendingMessages()));
  return result;
}

}  // namespace

errors::Result<std::vector<int>> rankGraph(const Graph& graph) {
  errors::Result<BuiltGraph> made = built(graph);
  if (!made) return std::move(made).problem();
  Agraph_t* root = made->owner.get();
  // The dot engine stops after its first phase, ranking, when asked to;
  // the ranks are those a whole layout of the same graph gives.
  agsafeset(root, const_cast<char*>("phase"), const_cast<char*>("1"), const_cast<char*>(""));
  if (gvLayout(context(), root, "dot") != 0) return refused(oneLine(pendingMessages()));
  std::vector<int> ranks;
  ranks.reserve(made->nodes.size());
  for (Agnode_t* node : made->nodes) ranks.push_back(ND_rank(node));
  gvFreeLayout(context(), root);
  return ranks;
}

errors::Result<Layout> layOutGraph(const Graph& graph) {
  errors::Result<BuiltGraph> made = built(graph);
  if (!made) return std::move(made).problem();
  Agraph_t* root = made->owner.get();
  GVC_t* gvc = context();
  if (gvLayout(gvc, root, "dot") != 0) return refused(oneLine(pendingMessages()));
  const std::vector<Agnode_t*>& nodes = made->nodes;
  const std::vector<Agedge_t*>& edges = made->edges;
  const std::vector<Agraph_t*>& clusters = made->clusters;
  for (size_t n = 0; n < nodes.size(); ++n)
    if (const std::optional<size_t> other = graph.nodes[n].heightOf) ND_coord(nodes[n]).y = ND_coord(nodes[*other]).y;

  Layout layout;
  const boxf bounds = GD_bb(root);
  const pointf origin = bounds.LL;
  layout.bounds = inchBox(bounds, origin);
  // Only a diagram of rows is drawn as the engine draws its layout file.
  const bool asFile = graph.kind == GraphKind::Rows;
  if (asFile) {
    layout.written.right = asWritten(bounds.UR.x);
    layout.written.top = asWritten(bounds.UR.y);
  }
  for (Agnode_t* node : nodes) {
    const pointf centre = ND_coord(node);
    const double halfWidth = ND_width(node) * 36.0, halfHeight = ND_height(node) * 36.0;
    layout.nodes.push_back(inchBox({{centre.x - halfWidth, centre.y - halfHeight},
                                    {centre.x + halfWidth, centre.y + halfHeight}},
                                   origin));
    if (asFile) layout.written.centres.push_back({asWritten(centre.x), asWritten(centre.y)});
  }
  for (size_t e = 0; e < edges.size(); ++e) {
    PlacedEdge placed;
    if (const splines* spline = ED_spl(edges[e])) {
      for (size_t b = 0; b < static_cast<size_t>(spline->size); ++b) {
        const bezier& piece = spline->list[b];
        for (size_t p = 0; p < static_cast<size_t>(piece.size); ++p) {
          if (b > 0 && p == 0 && !placed.curve.empty()) continue;  // pieces meet
          placed.curve.push_back(inchPoint(piece.list[p], origin));
        }
      }
    }
    if (graph.edges[e].back) std::reverse(placed.curve.begin(), placed.curve.end());
    if (const textlabel_t* label = ED_label(edges[e]); label != nullptr && label->set)
      placed.labelCentre = inchPoint(label->pos, origin);
    layout.edges.push_back(std::move(placed));
    if (asFile) layout.written.edgeStartY.push_back(writtenStartY(edges[e]));
  }
  for (Agraph_t* cluster : clusters) layout.clusters.push_back(inchBox(GD_bb(cluster), origin));
  gvFreeLayout(gvc, root);
  return layout;
}

namespace {

// Appends a value's bytes, a text with its length first.
template <typename T>
void appendRaw(std::string& out, const T& value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}
void appendText(std::string& out, const std::string& text) {
  appendRaw(out, text.size());
  out += text;
}

}  // namespace

std::string layoutKey(const Graph& graph) {
  std::string key;
  key.reserve(32 + graph.nodes.size() * 40 + graph.edges.size() * 40);
  appendRaw(key, graph.kind);
  appendRaw(key, graph.rankSeparation);
  appendRaw(key, graph.nodeSeparation);
  appendRaw(key, graph.nodeFontPoints);
  appendRaw(key, graph.latin1);
  appendRaw(key, graph.nodes.size());
  for (const GraphNode& node : graph.nodes) {
    appendRaw(key, node.width);
    appendRaw(key, node.height);
    appendRaw(key, node.shape);
    appendRaw(key, node.cluster ? *node.cluster + 1 : size_t{0});
    appendRaw(key, node.orderedOut);
    appendRaw(key, node.heightOf ? *node.heightOf + 1 : size_t{0});
    if (graph.kind == GraphKind::Rows) {
      appendText(key, node.name);
      appendText(key, node.label);
    }
  }
  appendRaw(key, graph.edges.size());
  for (const GraphEdge& edge : graph.edges) {
    appendRaw(key, edge.tail);
    appendRaw(key, edge.head);
    appendText(key, edge.label);
    appendRaw(key, edge.back);
    appendRaw(key, edge.sideBySide);
    appendRaw(key, edge.minLength);
    appendRaw(key, edge.weight);
    appendRaw(key, edge.invisible);
    appendText(key, edge.tailLabel);
    appendText(key, edge.headLabel);
  }
  appendRaw(key, graph.clusters.size());
  for (const GraphCluster& cluster : graph.clusters) {
    appendRaw(key, cluster.parent ? *cluster.parent + 1 : size_t{0});
    appendText(key, cluster.label);
  }
  appendRaw(key, graph.sameRank.size());
  for (const std::vector<size_t>& rank : graph.sameRank) {
    appendRaw(key, rank.size());
    for (size_t n : rank) appendRaw(key, n);
  }
  return key;
}

std::string graphDot(const Graph& graph, const std::vector<std::string>& nodeLabels) {
  const auto quoted = [](std::string_view text) { return text::dotQuoted(text); };
  std::string out = "digraph \"flow\" {\n  graph [";
  for (size_t i = 0; i < std::size(kGraphAttributes); ++i)
    out += std::string(i == 0 ? "" : ", ") + kGraphAttributes[i].first + "=" + quoted(kGraphAttributes[i].second);
  out += "];\n  node [fixedsize=true, fontname=\"Helvetica\", fontsize=10];\n";
  out += "  edge [fontname=\"Helvetica\", fontsize=" + inches(kEdgeLabelPoints) + "];\n";
  // Made in the order layOutGraph makes them, which the layout follows:
  // the clusters, then the nodes (each put in its cluster), the edges and
  // the sets of nodes on one rank.
  std::vector<std::vector<size_t>> childClusters(graph.clusters.size() + 1), clusterNodes(graph.clusters.size() + 1);
  for (size_t c = 0; c < graph.clusters.size(); ++c)
    childClusters[graph.clusters[c].parent ? *graph.clusters[c].parent + 1 : 0].push_back(c);
  for (size_t n = 0; n < graph.nodes.size(); ++n)
    if (graph.nodes[n].cluster) clusterNodes[*graph.nodes[n].cluster + 1].push_back(n);
  // Each cluster with its caption (at the size the layout gives it) and,
  // once the nodes are made, its own nodes: clusters nest, so each is
  // written inside its parent.
  auto writeClusters = [&](auto& self, size_t slot, const std::string& indent, bool members) -> void {
    for (size_t c : childClusters[slot]) {
      out += indent + "subgraph cluster_" + std::to_string(c) + " {";
      if (!members)
        out += " label=" + quoted(labelText(graph.clusters[c].label)) + "; fontsize=" + inches(kClusterLabelPoints) + ";";
      for (size_t n : members ? clusterNodes[c + 1] : std::vector<size_t>{}) out += " n" + std::to_string(n) + ";";
      if (childClusters[c + 1].empty()) {
        out += " }\n";
        continue;
      }
      out += "\n";
      self(self, c + 1, indent + "  ", members);
      out += indent + "}\n";
    }
  };
  writeClusters(writeClusters, 0, "  ", false);
  for (size_t n = 0; n < graph.nodes.size(); ++n) {
    const GraphNode& node = graph.nodes[n];
    out += "  n" + std::to_string(n) + " [shape=" + shapeName(node.shape) + ", width=" + inches(node.width) +
           ", height=" + inches(node.height) + (node.orderedOut ? ", ordering=out" : "") + ", label=" +
           quoted(labelText(n < nodeLabels.size() ? nodeLabels[n] : std::string())) + "];\n";
  }
  writeClusters(writeClusters, 0, "  ", true);
  for (const GraphEdge& edge : graph.edges) {
    out += "  n" + std::to_string(edge.back ? edge.head : edge.tail) + " -> n" +
           std::to_string(edge.back ? edge.tail : edge.head);
    std::string attributes;
    if (!edge.label.empty()) attributes += "label=" + quoted(labelText(edge.label));
    if (edge.back) attributes += std::string(attributes.empty() ? "" : ", ") + "dir=back";
    if (edge.minLength > 1) attributes += std::string(attributes.empty() ? "" : ", ") + "minlen=" + std::to_string(edge.minLength);
    if (edge.weight != 1) attributes += std::string(attributes.empty() ? "" : ", ") + "weight=" + std::to_string(edge.weight);
    if (edge.sideBySide) attributes += std::string(attributes.empty() ? "" : ", ") + "constraint=false, style=dashed";
    out += attributes.empty() ? ";\n" : " [" + attributes + "];\n";
  }
  for (size_t r = 0; r < graph.sameRank.size(); ++r) {
    out += "  subgraph rank_" + std::to_string(r) + " { rank=same;";
    for (size_t n : graph.sameRank[r]) out += " n" + std::to_string(n) + ";";
    out += " }\n";
  }
  return out + "}\n";
}

}  // namespace graphviz
