#include "flowgraph/dot_text.h"

namespace flowgraph {
namespace {

// Escapes one label line: quotes and backslashes, so that Graphviz shows
// the text as it is (it reads \n, \l, \N and others in labels).
void appendLabelLine(std::string& out, std::string_view line) {
  for (char c : line) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
}

std::string label(const std::vector<std::string>& lines) {
  std::string out = "\"";
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) out += "\\n";
    appendLabelLine(out, lines[i]);
  }
  // An escaped backslash just before the closing quote would escape it.
  if (out.back() == '\\') out += ' ';
  return out + "\"";
}

// The layout's shape, so that the laid-out size leaves room for the text
// inside the master's outline.
const char* layoutShape(const std::string& conceptId) {
  if (conceptId == "start" || conceptId == "end" || conceptId == "RETURN") return "ellipse";
  if (conceptId == "if" || conceptId == "Spl-if" || conceptId == "switch" ||
      conceptId == "while" || conceptId == "Spl-while" || conceptId == "dowhile" ||
      conceptId == "Spl-dowhile" || conceptId == "do")
    return "diamond";
  if (conceptId == "for" || conceptId == "Spl-for") return "hexagon";
  return "box";
}

class PageWriter {
 public:
  PageWriter(const MethodModel& model, const flowchart::SourceLines& source, Charset charset,
             FlowchartDot& result)
      : model_(model), source_(source), charset_(charset), result_(result) {}

  std::string write(const MethodGraphs& graphs, size_t pageIndex) {
    const PageGraph& page = graphs.pages[pageIndex];
    std::vector<std::string> attributes;
    if (charset_ == Charset::Latin1) attributes.push_back("charset=latin1");
    if (page.parentPage) attributes.push_back("parent=" + dotQuoted(parentName(graphs, *page.parentPage)));
    out_ = "digraph \"flowchart\" {\n";
    for (size_t i = 0; i < attributes.size(); ++i)
      out_ += (i == 0 ? "  graph [" : ", ") + attributes[i] + (i + 1 == attributes.size() ? "];\n" : "");
    out_ += "  node [fontname=\"Helvetica\", fontsize=14];\n";
    writeNodes(page);
    for (const GraphEdge& edge : page.edges) writeEdge(page, edge);
    out_ += "}\n";
    return std::move(out_);
  }

 private:
  // A folded page opens from the method's page, which the drawing names
  // after the start block's label, or from the page of another folded block.
  std::string parentName(const MethodGraphs& graphs, size_t parentPage) const {
    if (const auto folded = graphs.pages[parentPage].foldedBlock)
      return nodeName(model_.blocks[*folded]);
    const Block& start = model_.blocks[model_.containers[0].blocks.empty()
                                           ? 0
                                           : model_.containers[0].blocks.front()];
    return blockText(start, source_, charset_).lines.front();
  }

  // Nodes in flow order; a cluster's nodes are contiguous, so subgraphs
  // open and close as the cluster of consecutive nodes changes.
  void writeNodes(const PageGraph& page) {
    std::vector<size_t> open;  // clusters, outermost first
    std::unordered_map<size_t, const GraphNode*> lastInCluster;  // by cluster + 1, 0 for none
    for (const GraphNode& node : page.nodes) {
      std::vector<size_t> chain;
      for (std::optional<size_t> c = node.cluster; c; c = page.clusters[*c].parent)
        chain.insert(chain.begin(), *c);
      size_t common = 0;
      while (common < open.size() && common < chain.size() && open[common] == chain[common]) ++common;
      while (open.size() > common) {
        open.pop_back();
        out_ += indent(open.size()) + "}\n";
      }
      for (size_t i = common; i < chain.size(); ++i) {
        const GraphCluster& cluster = page.clusters[chain[i]];
        out_ += indent(open.size()) + "subgraph \"cluster_" + nodeName(model_.blocks[cluster.block]) +
                "\" {\n";
        open.push_back(chain[i]);
        if (cluster.isTry) out_ += indent(open.size()) + "graph [type=try];\n";
      }
      writeNode(node, indent(open.size()));
      // A try's catch header has no edge in; it sits beside the last block
      // of the try body rather than above it.
      const size_t clusterKey = node.cluster ? *node.cluster + 1 : 0;
      const GraphNode* previous = lastInCluster[clusterKey];
      if (previous && !node.isComment && model_.blocks[node.block].type == "catch")
        out_ += indent(open.size()) + "{ rank=same; " + dotQuoted(previous->name) + "; " +
                dotQuoted(node.name) + "; }\n";
      if (!node.isComment) lastInCluster[clusterKey] = &node;
    }
    while (!open.empty()) {
      open.pop_back();
      out_ += indent(open.size()) + "}\n";
    }
  }

  static std::string indent(size_t depth) { return std::string(2 * (depth + 1), ' '); }

  void writeNode(const GraphNode& node, const std::string& at) {
    const Block& block = model_.blocks[node.block];
    const std::string conceptId = node.isComment ? "comment" : conceptIdOf(block);
    const BoxText text = node.isComment ? commentText(block, charset_) : blockText(block, source_, charset_);
    out_ += at + dotQuoted(node.name) + " [CONCEPTID=" + dotQuoted(conceptId) +
            ", label=" + label(text.lines) + ", shape=" + layoutShape(conceptId) + "];\n";
    // A comment sits beside the box it belongs to.
    if (node.isComment)
      out_ += at + "{ rank=same; " + dotQuoted(nodeName(block)) + "; " + dotQuoted(node.name) + "; }\n";
    result_.tooltips[node.name] = text.tooltip;
  }

  void writeEdge(const PageGraph& page, const GraphEdge& edge) {
    const std::string& type = edge.successor->type;
    const bool isTrue = type.rfind("true", 0) == 0;
    const bool isFalse = type.rfind("false", 0) == 0;
    const std::string& tail = page.nodes[edge.tail].name;
    const std::string& head = page.nodes[edge.head].name;
    // A back edge is written from its head so that the layout ranks it
    // like the others; "back" tells the drawing which way control goes.
    out_ += "  " + dotQuoted(edge.back ? head : tail) + " -> " + dotQuoted(edge.back ? tail : head) +
            " [color=" + (isTrue ? "\"green\"" : isFalse ? "\"red\"" : "\"black\"") +
            ", tip=" + (isTrue ? "\"true\"" : isFalse ? "\"false\"" : "\"none\"") +
            ", dir=" + (edge.back ? "\"back\"" : "\"forward\"") + "];\n";
  }

  const MethodModel& model_;
  const flowchart::SourceLines& source_;
  Charset charset_;
  FlowchartDot& result_;
  std::string out_;
};

}  // namespace

std::string FlowchartDot::foldedList() const {
  std::string list;
  for (const std::string& name : foldedNames) {
    if (!list.empty()) list += ';';
    list += name;
  }
  return list;
}

std::string dotQuoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '\\';
    out += c;
  }
  // A backslash just before the closing quote would escape it.
  if (!text.empty() && text.back() == '\\') out += ' ';
  return out + "\"";
}

std::string dotShownText(std::string_view text) { return label({std::string(text)}); }

FlowchartDot flowchartDot(const MethodModel& model, const MethodGraphs& graphs,
                          const flowchart::SourceLines& source, Charset charset) {
  FlowchartDot result;
  PageWriter writer(model, source, charset, result);
  for (size_t page = 0; page < graphs.pages.size(); ++page) {
    result.graphs.push_back(writer.write(graphs, page));
    if (const auto folded = graphs.pages[page].foldedBlock)
      result.foldedNames.push_back(nodeName(model.blocks[*folded]));
  }
  return result;
}

}  // namespace flowgraph
