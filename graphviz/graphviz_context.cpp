#include "graphviz/graphviz_context.h"

#include "graphviz/remembered_text_sizes.h"

#include <graphviz/cgraph.h>
#include <graphviz/types.h>

#include <cstdio>
#include <cstdlib>

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
    if (const lt_symlist_t* plugins = rememberedTextSizePlugins()) return gvContextPlugins(plugins, 1);
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

double asWritten(double value) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%.5g", value);
  return std::strtod(digits, nullptr);
}

double writtenStartY(Agedge_t* edge) {
  const splines* curves = ED_spl(edge);
  if (curves == nullptr || curves->size == 0) return 0.0;
  const bezier& first = curves->list[0];
  if (first.sflag) return asWritten(first.sp.y);
  if (first.eflag) return asWritten(first.ep.y);
  return first.size > 0 ? asWritten(first.list[0].y) : 0.0;
}

}  // namespace graphviz
