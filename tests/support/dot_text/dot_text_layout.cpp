#include "tests/support/dot_text/dot_text_layout.h"

#include <graphviz/cgraph.h>
#include <graphviz/gvc.h>
#include <graphviz/types.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "graphviz/graphviz_context.h"
#include "graphviz/ordered_ids.h"

namespace testing_support {
namespace {

// Reads the graph text from memory a line at a time, as Graphviz's own
// reader from memory does.
struct TextReader {
  const char* text;
  size_t size;
  size_t at = 0;
};

int readText(void* channel, char* buffer, int bufferSize) {
  TextReader& reader = *static_cast<TextReader*>(channel);
  if (bufferSize <= 1 || reader.at >= reader.size) return 0;
  size_t n = 0;
  while (n + 1 < static_cast<size_t>(bufferSize) && reader.at < reader.size) {
    const char c = reader.text[reader.at++];
    buffer[n++] = c;
    if (c == '\n') break;
  }
  buffer[n] = '\0';
  return static_cast<int>(n);
}

Agraph_t* readGraph(const std::string& source) {
  static Agiodisc_t io = {readText, AgIoDisc.putstr, AgIoDisc.flush};
  static Agdisc_t discipline = {&AgMemDisc, &graphviz::orderedIdDiscipline, &io};
  TextReader reader{source.data(), source.size()};
  return agread(&reader, &discipline);
}

struct GraphCloser {
  void operator()(Agraph_t* graph) const { agclose(graph); }
};

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

// The attributes an object sets to other than their defaults, in the order
// the graph declares them: what a layout file would show for it.
Attributes setAttributes(Agraph_t* graph, int kind, void* object) {
  Attributes attributes;
  for (Agsym_t* sym = agnxtattr(graph, kind, nullptr); sym != nullptr; sym = agnxtattr(graph, kind, sym)) {
    const char* value = agxget(object, sym);
    if (value == nullptr || std::strcmp(value, sym->defval) == 0) continue;
    attributes.emplace_back(sym->name, value);
  }
  return attributes;
}



bool inSubgraphOf(Agraph_t* graph, Agedge_t* edge) {
  for (Agraph_t* sub = agfstsubg(graph); sub != nullptr; sub = agnxtsubg(sub))
    if (agsubedge(sub, edge, 0) != nullptr) return true;
  return false;
}

// Edges in the order a layout file lists them: a subgraph's before its
// parent's, each graph's by tail, as the nodes were created, then as the
// edges were.
void collectEdges(Agraph_t* root, Agraph_t* graph, std::vector<LaidOutEdge>& edges) {
  for (Agraph_t* sub = agfstsubg(graph); sub != nullptr; sub = agnxtsubg(sub)) collectEdges(root, sub, edges);
  for (Agnode_t* node = agfstnode(graph); node != nullptr; node = agnxtnode(graph, node))
    for (Agedge_t* edge = agfstout(graph, node); edge != nullptr; edge = agnxtout(graph, edge))
      if (!inSubgraphOf(graph, edge)) edges.push_back({graphviz::writtenStartY(edge), setAttributes(root, AGEDGE, edge)});
}

MemoryLayout laidOut(Agraph_t* graph) {
  std::vector<LaidOutNode> nodes;
  for (Agnode_t* node = agfstnode(graph); node != nullptr; node = agnxtnode(graph, node))
    nodes.push_back({agnameof(node), graphviz::asWritten(ND_coord(node).x), graphviz::asWritten(ND_coord(node).y),
                     setAttributes(graph, AGNODE, node)});
  std::vector<LaidOutEdge> edges;
  collectEdges(graph, graph, edges);
  return MemoryLayout(graphviz::asWritten(GD_bb(graph).UR.x), graphviz::asWritten(GD_bb(graph).UR.y), std::move(nodes), std::move(edges));
}

const std::string* find(const Attributes& attributes, std::string_view name) {
  for (const auto& [key, value] : attributes)
    if (key == name) return &value;
  return nullptr;
}

}  // namespace

MemoryLayout::MemoryLayout(double right, double top, std::vector<LaidOutNode> nodes, std::vector<LaidOutEdge> edges)
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

std::optional<MemoryLayout> layOutDotText(std::string_view dotText, std::string* error) {
  GVC_t* gvc = graphviz::context();
  if (gvc == nullptr) {
    *error = "Graphviz could not be started";
    return std::nullopt;
  }
  graphviz::pendingMessages().clear();
  agreseterrors();
  // The reader needs a terminated string.
  const std::string source(dotText);
  std::unique_ptr<Agraph_t, GraphCloser> graph(readGraph(source));
  if (!graph || agerrors() > 0 || gvLayout(gvc, graph.get(), "dot") != 0) {
    *error = graphviz::oneLine(graphviz::pendingMessages());
    return std::nullopt;
  }
  pinHeights(graph.get());
  MemoryLayout result = laidOut(graph.get());
  gvFreeLayout(gvc, graph.get());
  return result;
}

}  // namespace testing_support
