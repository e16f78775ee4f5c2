#include "graphviz/dot_layout.h"

#include <graphviz/cgraph.h>
#include <graphviz/gvc.h>

#include "graphviz/graphviz_context.h"

#include "graphviz/ordered_ids.h"

#include <cstring>
#include <vector>
#include <memory>
#include <string>
#include <unordered_map>

namespace graphviz {
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
  static Agdisc_t discipline = {&AgMemDisc, &orderedIdDiscipline, &io};
  TextReader reader{source.data(), source.size()};
  return agread(&reader, &discipline);
}

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
  std::unique_ptr<Agraph_t, GraphCloser> graph(readGraph(source));
  if (!graph || agerrors() > 0) {
    result.error = oneLine(pendingMessages());
    return result;
  }
  if (gvLayout(gvc, graph.get(), "dot") != 0) {
    result.error = oneLine(pendingMessages());
    return result;
  }
  pinHeights(graph.get());
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
