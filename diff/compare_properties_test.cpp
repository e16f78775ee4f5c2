// What holds of the matcher for every method of the test fixtures: a
// method compared with itself is unchanged; a renamed copy is matched,
// node for node; and the merged graph of a method changed into the next
// one of its file, read on either side, is that side's graph.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "diff/model.h"
#include "frontends/java/language_level.h"
#include "pipeline/method_flow.h"
#include "pipeline/parsed_source.h"
#include "tests/support/test_support.h"

namespace diff {
namespace {

// The methods with a body of each fixture file, with their graphs and no
// fingerprint, so that the graphs alone decide.
std::vector<std::vector<MethodVersion>> fixtureMethods() {
  std::vector<std::vector<MethodVersion>> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(testing_support::fixture(""))) {
    if (entry.path().extension() != ".java") continue;
    errors::Result<pipeline::ParsedSource> parsed =
        pipeline::ParsedSource::parse(entry.path().string(), java::kNewestLanguageLevel);
    if (!parsed) continue;
    std::vector<MethodVersion> methods;
    for (const pipeline::MethodSummary& summary : parsed->summary().methods) {
      errors::Result<cfg::MethodFlow> flow = pipeline::methodFlow(*parsed, summary);
      if (!flow) continue;
      MethodVersion method;
      method.file = entry.path().filename().string();
      method.className = flow->className;
      method.method = flow->method;
      method.signature = summary.signature + ":" + std::to_string(summary.line);
      method.parameterTypes = {method.signature};  // one for each overload
      method.line = summary.line;
      method.flow = std::move(*flow);
      methods.push_back(std::move(method));
    }
    if (!methods.empty()) files.push_back(std::move(methods));
  }
  return files;
}

const std::vector<std::vector<MethodVersion>>& fixtures() {
  static const std::vector<std::vector<MethodVersion>> files = fixtureMethods();
  return files;
}

Side sideOf(std::string name, std::vector<MethodVersion> methods) { return Side{std::move(name), std::move(methods)}; }

TEST(CompareProperties, AMethodComparedWithItselfIsUnchanged) {
  size_t methods = 0;
  for (const std::vector<MethodVersion>& file : fixtures()) {
    const Side base = sideOf("base", file), head = sideOf("head", file);
    const Diff diff = compare(base, head, {});
    for (const MethodDiff& method : diff.methods)
      ADD_FAILURE() << method.shown().file << " " << method.shown().signature << ": " << changeName(method.change)
                    << " against itself";
    methods += file.size();
  }
  EXPECT_GT(methods, 120u);
}

TEST(CompareProperties, ARenamedCopyIsMatchedNodeForNode) {
  size_t renamed = 0;
  for (const std::vector<MethodVersion>& file : fixtures()) {
    const Side base = sideOf("base", file);
    for (size_t m = 0; m < file.size(); ++m) {
      std::vector<MethodVersion> methods = file;
      methods[m].method += "Renamed";
      methods[m].signature = "renamed " + methods[m].signature;
      const Side head = sideOf("head", std::move(methods));
      const Diff diff = compare(base, head, {});
      const std::string what = file[m].file + " " + file[m].signature;
      ASSERT_EQ(diff.methods.size(), 1u) << what;
      const MethodDiff& method = diff.methods.front();
      EXPECT_EQ(method.change, Change::Renamed) << what;
      EXPECT_EQ(method.base, &base.methods[m]) << what;
      EXPECT_EQ(method.count(Change::Same), method.nodes.size()) << what;
      EXPECT_EQ(method.edgesChanged(), 0u) << what;
      ++renamed;
    }
  }
  EXPECT_GT(renamed, 120u);
}

// A graph's nodes and edges by their texts, sorted: what a side shows.
struct Shown {
  std::vector<std::string> nodes, edges;
  bool operator==(const Shown&) const = default;
};

Shown shownOf(const cfg::MethodFlow& flow) {
  Shown shown;
  for (const cfg::Graph& graph : flow.graphs) {
    for (const cfg::Node& node : graph.nodes) shown.nodes.push_back(normalText(node.text));
    for (const cfg::Edge& edge : graph.edges)
      shown.edges.push_back(normalText(graph.nodes[edge.from].text) + " -> " + normalText(graph.nodes[edge.to].text) +
                            " " + std::string(cfg::kindName(edge.kind)));
  }
  std::sort(shown.nodes.begin(), shown.nodes.end());
  std::sort(shown.edges.begin(), shown.edges.end());
  return shown;
}

// The merged flow read on one side: the nodes and edges the other side
// alone has left out, the base's texts for the base.
Shown project(const MergedFlow& merged, bool onBase) {
  const Change other = onBase ? Change::Added : Change::Removed;
  Shown shown;
  for (size_t g = 0; g < merged.flow.graphs.size(); ++g) {
    const cfg::Graph& graph = merged.flow.graphs[g];
    auto text = [&](size_t n) {
      const std::string& base = merged.baseTexts[g][n];
      return normalText(onBase && !base.empty() ? base : graph.nodes[n].text);
    };
    for (size_t n = 0; n < graph.nodes.size(); ++n)
      if (merged.nodeChanges[g][n] != other) shown.nodes.push_back(text(n));
    for (size_t e = 0; e < graph.edges.size(); ++e)
      if (merged.edgeChanges[g][e] != other)
        shown.edges.push_back(text(graph.edges[e].from) + " -> " + text(graph.edges[e].to) + " " +
                              std::string(cfg::kindName(graph.edges[e].kind)));
  }
  std::sort(shown.nodes.begin(), shown.nodes.end());
  std::sort(shown.edges.begin(), shown.edges.end());
  return shown;
}

TEST(CompareProperties, TheMergedGraphReadOnEachSideIsThatSidesGraph) {
  size_t merged = 0;
  for (const std::vector<MethodVersion>& file : fixtures()) {
    for (size_t m = 0; m + 1 < file.size(); ++m) {
      // The method, changed into the next one of its file.
      MethodVersion next = file[m + 1];
      next.className = file[m].className;
      next.method = file[m].method;
      next.signature = file[m].signature;
      const Side base = sideOf("base", {file[m]}), head = sideOf("head", {std::move(next)});
      const Diff diff = compare(base, head, {});
      if (diff.methods.empty()) continue;  // the same graph twice
      const MergedFlow flow = mergedFlow(diff.methods.front(), false);
      const std::string what = file[m].file + " " + file[m].signature + " into " + file[m + 1].signature;
      EXPECT_EQ(project(flow, true), shownOf(*base.methods[0].flow)) << what << " on the base";
      EXPECT_EQ(project(flow, false), shownOf(*head.methods[0].flow)) << what << " on the head";
      ++merged;
    }
  }
  EXPECT_GT(merged, 80u);
}

}  // namespace
}  // namespace diff
