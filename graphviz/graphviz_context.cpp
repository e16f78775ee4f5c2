#include "graphviz/graphviz_context.h"

#include <graphviz/cgraph.h>

namespace graphviz {
namespace {

int collectMessage(char* message) {
  std::string& messages = pendingMessages();
  if (messages.size() < 4096) messages += message;
  return 0;
}

}  // namespace

std::string& pendingMessages() {
  static std::string messages;
  return messages;
}

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

}  // namespace graphviz
