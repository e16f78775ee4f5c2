// The input and output that mode 8 does around a build, alone: load the
// tree file and the comments file, load the results file and save it (to
// a copy, so the folder is left as it was).  Prints the seconds taken.
// Used by bench/flowchart_build as the floor a build is measured against.
#include <chrono>
#include <cstdio>
#include <string>

#include "xml/tree_file.h"
#include "xml/document.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: flowchart-io-floor <working folder>\n");
    return 2;
  }
  const std::string folder = argv[1];
  const auto start = std::chrono::steady_clock::now();
  auto tree = xml::loadTreeDocument(folder + "/st.tmp");
  auto comments = xml::loadTreeDocument(folder + "/cmt.xml");
  auto results = xml::Document::loadFile(folder + "/results.xml");
  if (!tree || !results || !results->save(folder + "/results.floor.xml")) {
    std::fprintf(stderr, "flowchart-io-floor: cannot load or save in %s\n", folder.c_str());
    return 1;
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  std::printf("%.6f\n", elapsed.count());
  return 0;
}
