#include "graphviz/dot_layout.h"

#include <graphviz/cgraph.h>
#include <graphviz/gvc.h>

#include <memory>

namespace graphviz {
namespace {

// Graphviz reports problems through a process-wide callback; keep the
// messages of the current call here.
std::string& pendingMessages() {
  static std::string messages;
  return messages;
}

int collectMessage(char* message) {
  std::string& messages = pendingMessages();
  if (messages.size() < 4096) messages += message;
  return 0;
}

// One context for the process: creating it loads Graphviz's plugins,
// which costs far more than laying out a small graph.
GVC_t* context() {
  static GVC_t* gvc = [] {
    agseterrf(collectMessage);
    agseterr(AGERR);
    return gvContext();
  }();
  return gvc;
}

std::string oneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text.empty() ? "Graphviz could not lay out the graph" : text;
}

struct GraphCloser {
  void operator()(Agraph_t* graph) const { agclose(graph); }
};

}  // namespace

LayoutResult layOut(std::string_view dotText) {
  LayoutResult result;
  GVC_t* gvc = context();
  if (gvc == nullptr) {
    result.error = "Graphviz could not be started";
    return result;
  }
  pendingMessages().clear();
  agreseterrors();
  // agmemread needs a terminated string.
  const std::string source(dotText);
  std::unique_ptr<Agraph_t, GraphCloser> graph(agmemread(source.c_str()));
  if (!graph || agerrors() > 0) {
    result.error = oneLine(pendingMessages());
    return result;
  }
  if (gvLayout(gvc, graph.get(), "dot") != 0) {
    result.error = oneLine(pendingMessages());
    return result;
  }
  char* data = nullptr;
  unsigned int length = 0;
  const int rendered = gvRenderData(gvc, graph.get(), "dot", &data, &length);
  if (rendered == 0 && data != nullptr) {
    result.text.assign(data, length);
    result.ok = true;
  } else {
    result.error = oneLine(pendingMessages());
  }
  if (data != nullptr) gvFreeRenderData(data);
  gvFreeLayout(gvc, graph.get());
  return result;
}

}  // namespace graphviz
