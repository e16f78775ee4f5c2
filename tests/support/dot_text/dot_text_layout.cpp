#include "tests/support/dot_text/dot_text_layout.h"

#include <graphviz/cgraph.h>

#include <string>

#include "graphviz/made_graph_layout.h"
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

}  // namespace

std::optional<layout::MemoryLayout> layOutDotText(std::string_view dotText, std::string* error) {
  // The reader needs a terminated string.
  const std::string source(dotText);
  return graphviz::layOutMadeGraph([&source] { return readGraph(source); }, error);
}

}  // namespace testing_support
