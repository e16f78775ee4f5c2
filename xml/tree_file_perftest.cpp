// Times writing a tree text as a compressed tree file and loading one back
// as a document.  Driven by bench/tree_files, which also measures memory.
//   tree_file_perftest write <text file> <tree file>
//   tree_file_perftest load <tree file>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "xml/tree_file.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "write") == 0) {
    std::ifstream in(argv[2], std::ios::binary | std::ios::ate);
    std::string text(static_cast<size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    // The text file holds the declaration line already; the writer adds it.
    const std::string_view tree = std::string_view(text).substr(xml::kTreeDeclaration.size());
    auto start = std::chrono::steady_clock::now();
    if (!xml::writeTreeFile(argv[3], tree)) return 1;
    std::printf("%.3f\n", secondsSince(start));
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "load") == 0) {
    auto start = std::chrono::steady_clock::now();
    auto doc = xml::loadTreeDocument(argv[2]);
    if (!doc || !doc->documentElement()) return 1;
    std::printf("%.3f\n", secondsSince(start));
    return 0;
  }
  std::fprintf(stderr, "usage: tree_file_perftest write <text> <tree> | load <tree>\n");
  return 2;
}
