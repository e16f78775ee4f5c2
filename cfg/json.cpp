#include "cfg/json.h"

#include "files/latin1.h"
#include "text/json_text.h"

namespace cfg {
namespace {

// A text of the graph: ISO-8859-1 or UTF-8 as its source is.
void appendString(std::string& out, std::string_view text, bool latin1) {
  out += text::jsonLine(text::jsonText(latin1 ? files::latin1ToUtf8(text) : std::string(text)));
}

}  // namespace

std::string methodFlowJson(const MethodFlow& flow, bool latin1) {
  // The file's path is a name of the file system, in no source's charset.
  std::string out = "{\"file\": " + text::jsonLine(text::jsonText(flow.file));
  out += ", \"class\": ";
  appendString(out, flow.className, latin1);
  out += ", \"method\": ";
  appendString(out, flow.method, latin1);
  out += ", \"line\": " + std::to_string(flow.line) + ", \"endLine\": " + std::to_string(flow.endLine);
  out += ",\n \"pages\": [";
  for (size_t g = 0; g < flow.graphs.size(); ++g) {
    const Graph& graph = flow.graphs[g];
    out += g ? ",\n  " : "\n  ";
    out += "{\"id\": " + std::to_string(g) + ", \"title\": ";
    appendString(out, graph.title, latin1);
    out += ", \"parent\": " + (graph.parentGraph ? std::to_string(*graph.parentGraph) : std::string("null"));
    if (graph.parentNode) out += ", \"parentNode\": \"" + nodeId(*graph.parentGraph, *graph.parentNode) + "\"";
    out += "}";
  }
  out += "],\n \"nodes\": [";
  bool first = true;
  for (size_t g = 0; g < flow.graphs.size(); ++g) {
    const Graph& graph = flow.graphs[g];
    for (size_t n = 0; n < graph.nodes.size(); ++n) {
      const Node& node = graph.nodes[n];
      out += first ? "\n  " : ",\n  ";
      first = false;
      out += "{\"id\": \"" + nodeId(g, n) + "\", \"kind\": \"" + std::string(kindName(node.kind)) + "\", \"text\": ";
      appendString(out, node.text, latin1);
      out += ", \"firstLine\": " + std::to_string(node.firstLine) + ", \"lastLine\": " +
             std::to_string(node.lastLine) + ", \"page\": " + std::to_string(g) + ", \"lines\": [";
      for (size_t k = 0; k < node.lines.size(); ++k) out += (k ? ", " : "") + std::to_string(node.lines[k]);
      out += "], \"region\": " + std::to_string(node.region) + "}";
    }
  }
  out += "],\n \"edges\": [";
  first = true;
  for (size_t g = 0; g < flow.graphs.size(); ++g) {
    const Graph& graph = flow.graphs[g];
    for (const Edge& edge : graph.edges) {
      out += first ? "\n  " : ",\n  ";
      first = false;
      out += "{\"from\": \"" + nodeId(g, edge.from) + "\", \"to\": \"" + nodeId(g, edge.to) + "\", \"kind\": \"" +
             std::string(kindName(edge.kind)) + "\", \"label\": ";
      appendString(out, edge.label, latin1);
      if (edge.back) out += ", \"back\": true";
      out += "}";
    }
  }
  out += "]}\n";
  return out;
}

}  // namespace cfg
