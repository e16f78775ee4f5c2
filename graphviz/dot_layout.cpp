#include "graphviz/dot_layout.h"

#include <graphviz/cgraph.h>
#include <graphviz/gvc.h>

#include <graphviz/types.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "graphviz/graphviz_context.h"
#include "graphviz/made_graph_layout.h"
#include "graphviz/ordered_ids.h"
#include "text/dot_graph.h"

namespace graphviz {
namespace {

// Moves each node that names another in ypinto to that node's height.
void pinHeights(Agraph_t* graph) {
  Agsym_t* pin = agattr(graph, AGNODE, const_cast<char*>("ypinto"), nullptr);
  if (pin == nullptr) return;
  for (Agnode_t* node = agfstnode(graph); node != nullptr; node = agnxtnode(graph, node)) {
    const char* target = agxget(node, pin);
    if (target == nullptr || *target == '\0') continue;
    if (Agnode_t* reference = agnode(graph, const_cast<char*>(target), 0)) ND_coord(node).y = ND_coord(reference).y;
  }
}

struct GraphCloser {
  void operator()(Agraph_t* graph) const { agclose(graph); }
};

// The attributes an object sets to other than their defaults, in the order
// the graph declares them: what a layout file would show for it.
layout::Attributes setAttributes(Agraph_t* graph, int kind, void* object) {
  layout::Attributes attributes;
  for (Agsym_t* sym = agnxtattr(graph, kind, nullptr); sym != nullptr; sym = agnxtattr(graph, kind, sym)) {
    const char* value = agxget(object, sym);
    if (value == nullptr || std::strcmp(value, sym->defval) == 0) continue;
    attributes.emplace_back(sym->name, value);
  }
  return attributes;
}

// A position to the five significant digits Graphviz writes layout files
// with.  The drawings were made from such files; reading positions at the
// same precision keeps a drawing from memory the same, byte for byte, as
// the one drawn from the layout file of the same graph.
double asWritten(double value) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%.5g", value);
  return std::strtod(digits, nullptr);
}

// Where an edge's curve starts as a layout file lists it: the start
// arrow's point, else the end arrow's, else the first control point.
double startY(Agedge_t* edge) {
  const splines* curves = ED_spl(edge);
  if (curves == nullptr || curves->size == 0) return 0.0;
  const bezier& first = curves->list[0];
  if (first.sflag) return asWritten(first.sp.y);
  if (first.eflag) return asWritten(first.ep.y);
  return first.size > 0 ? asWritten(first.list[0].y) : 0.0;
}

bool inSubgraphOf(Agraph_t* graph, Agedge_t* edge) {
  for (Agraph_t* sub = agfstsubg(graph); sub != nullptr; sub = agnxtsubg(sub))
    if (agsubedge(sub, edge, 0) != nullptr) return true;
  return false;
}

// Edges in the order a layout file lists them: a subgraph's before its
// parent's, each graph's by tail, as the nodes were created, then as the
// edges were.
void collectEdges(Agraph_t* root, Agraph_t* graph, std::vector<layout::LaidOutEdge>& edges) {
  for (Agraph_t* sub = agfstsubg(graph); sub != nullptr; sub = agnxtsubg(sub)) collectEdges(root, sub, edges);
  for (Agnode_t* node = agfstnode(graph); node != nullptr; node = agnxtnode(graph, node))
    for (Agedge_t* edge = agfstout(graph, node); edge != nullptr; edge = agnxtout(graph, edge))
      if (!inSubgraphOf(graph, edge)) edges.push_back({startY(edge), setAttributes(root, AGEDGE, edge)});
}

layout::MemoryLayout laidOut(Agraph_t* graph) {
  std::vector<layout::LaidOutNode> nodes;
  for (Agnode_t* node = agfstnode(graph); node != nullptr; node = agnxtnode(graph, node))
    nodes.push_back({agnameof(node), asWritten(ND_coord(node).x), asWritten(ND_coord(node).y),
                     setAttributes(graph, AGNODE, node)});
  std::vector<layout::LaidOutEdge> edges;
  collectEdges(graph, graph, edges);
  return layout::MemoryLayout(asWritten(GD_bb(graph).UR.x), asWritten(GD_bb(graph).UR.y), std::move(nodes),
                              std::move(edges));
}

// Builds the graph with the calls Graphviz's reader makes for its text:
// defaults declared where they stand, objects made in the order named,
// an attribute first set on an object declared with an empty default.
Agraph_t* buildGraph(const text::DotGraph& dot) {
  static Agdisc_t discipline = {&AgMemDisc, &orderedIdDiscipline, &AgIoDisc};
  Agraph_t* graph = agopen(const_cast<char*>(dot.name.c_str()), Agdirected, &discipline);
  if (graph == nullptr) return nullptr;
  auto set = [](void* object, const text::DotAttribute& attribute) {
    agsafeset(object, const_cast<char*>(attribute.name.c_str()), const_cast<char*>(attribute.value.c_str()),
              const_cast<char*>(""));
  };
  auto nodeNamed = [](Agraph_t* in, const std::string& name) {
    return agnode(in, const_cast<char*>(name.c_str()), 1);
  };
  for (const text::DotStatement& statement : dot.statements) {
    switch (statement.kind) {
      case text::DotStatement::Kind::Graph:
        for (const text::DotAttribute& attribute : statement.attributes)
          agattr(graph, AGRAPH, const_cast<char*>(attribute.name.c_str()), const_cast<char*>(attribute.value.c_str()));
        break;
      case text::DotStatement::Kind::NodeDefaults:
        for (const text::DotAttribute& attribute : statement.attributes)
          agattr(graph, AGNODE, const_cast<char*>(attribute.name.c_str()), const_cast<char*>(attribute.value.c_str()));
        break;
      case text::DotStatement::Kind::Node: {
        Agnode_t* node = nodeNamed(graph, statement.names.at(0));
        for (const text::DotAttribute& attribute : statement.attributes) set(node, attribute);
        break;
      }
      case text::DotStatement::Kind::Edge: {
        Agnode_t* tail = nodeNamed(graph, statement.names.at(0));
        Agnode_t* head = nodeNamed(graph, statement.names.at(1));
        Agedge_t* edge = agedge(graph, tail, head, nullptr, 1);
        for (const text::DotAttribute& attribute : statement.attributes) set(edge, attribute);
        break;
      }
      case text::DotStatement::Kind::SameRank: {
        Agraph_t* rank = agsubg(graph, nullptr, 1);
        agsafeset(rank, const_cast<char*>("rank"), const_cast<char*>("same"), const_cast<char*>(""));
        for (const std::string& name : statement.names) nodeNamed(rank, name);
        break;
      }
    }
  }
  return graph;
}

// Lays out a graph made by buildGraph or by a caller of layOutMadeGraph.
std::optional<layout::MemoryLayout> layOutGraph(std::unique_ptr<Agraph_t, GraphCloser> graph, std::string* error) {
  GVC_t* gvc = context();
  if (!graph || agerrors() > 0 || gvc == nullptr) {
    *error = gvc == nullptr ? "Graphviz could not be started" : oneLine(pendingMessages());
    return std::nullopt;
  }
  if (gvLayout(gvc, graph.get(), "dot") != 0) {
    *error = oneLine(pendingMessages());
    return std::nullopt;
  }
  pinHeights(graph.get());
  layout::MemoryLayout result = laidOut(graph.get());
  gvFreeLayout(gvc, graph.get());
  return result;
}

}  // namespace

std::optional<layout::MemoryLayout> layOutMadeGraph(const std::function<Agraph_t*()>& make, std::string* error) {
  if (context() == nullptr) {
    *error = "Graphviz could not be started";
    return std::nullopt;
  }
  pendingMessages().clear();
  agreseterrors();
  return layOutGraph(std::unique_ptr<Agraph_t, GraphCloser>(make()), error);
}

std::optional<layout::MemoryLayout> layOut(const text::DotGraph& graph, std::string* error) {
  return layOutMadeGraph([&graph] { return buildGraph(graph); }, error);
}

}  // namespace graphviz
