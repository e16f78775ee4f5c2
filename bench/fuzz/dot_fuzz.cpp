// libFuzzer target for the DOT front end and the layout queries: any bytes
// as a layout file, parsed, loaded, and every query run on what it holds.
// No input may crash, hang or leak.  Build and run: see the command at the
// end of this file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "render/layout_queries.h"

namespace {

const std::string& workFolder() {
  static const std::string folder = [] {
    auto path = std::filesystem::temp_directory_path() /
                ("dot_fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
    return path.string();
  }();
  return folder;
}

void readAll(const xml::Node& root) {
  using namespace render;
  for (const xml::Node& node : dotNodes(root)) {
    dotLabel(node), dotNodeId(node), dotConceptId(node), dotLast(node);
    layoutNumber(dotPosX(node)), layoutNumber(dotPosY(node));
    layoutNumber(dotWidth(node)), layoutNumber(dotHeight(node));
  }
  for (const xml::Node& edge : dotEdges(root)) {
    dotTail(edge), dotHead(edge), dotDir(edge), dotTip(edge), dotColor(edge);
    dotTailLabel(edge), dotFrom(edge), dotTo(edge), dotPosX(edge), dotPosY(edge);
    dotAttribute(edge, "zarnedge"), dotAttribute(edge, "headlabel");
  }
  for (const xml::Node& cluster : dotTryClusters(root)) {
    dotClusterLeft(cluster), dotClusterBottom(cluster);
    dotClusterRight(cluster), dotClusterTop(cluster);
  }
  dotParent(root), dotGraphRight(root), dotGraphTop(root);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string layout = workFolder() + "/layout.dot";
  if (std::FILE* out = std::fopen(layout.c_str(), "wb")) {
    std::fwrite(data, 1, size, out);
    std::fclose(out);
  }
  auto doc = render::loadLayout(layout, render::layoutTreePath(workFolder()),
                                render::layoutStatusPath(workFolder()));
  if (doc) readAll(doc->root());
  return 0;
}

// Build (after a build of the engine in build/, which generates the
// scanner and grammar sources) and run for a minute:
//
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined \
//     -I. -Ibuild/frontends/dot bench/fuzz/dot_fuzz.cpp render/layout_queries.cpp \
//     frontends/dot/dot_parser.cpp build/frontends/dot/dot_grammar.cpp \
//     build/frontends/dot/dot_scanner.cpp frontends/tree/piece_tree.cpp \
//     xml/document.cpp xml/child_path.cpp xml/large_pages.cpp \
//     xml/atomic_file.cpp xml/latin1.cpp \
//     -lpugixml -o build/dot_fuzz
//   mkdir -p build/dot_fuzz_corpus && cp tests/fixtures/dot/*.dot build/dot_fuzz_corpus/
//   build/dot_fuzz -max_total_time=60 -max_len=4096 build/dot_fuzz_corpus
