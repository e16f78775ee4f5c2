// Mermaid text of graphs made from Java held in memory: the whole text of
// a small method, the marks a comparison puts on it, and the escaping.
#include "mermaid/flowchart_text.h"

#include <string>

#include <gtest/gtest.h>

#include "pipeline/method_flow.h"
#include "pipeline/parsed_source.h"

namespace mermaid {
namespace {

cfg::MethodFlow flowOf(const std::string& java, const std::string& name) {
  errors::Result<pipeline::ParsedSource> parsed = pipeline::ParsedSource::parseText("A.java", java, 17);
  if (!parsed) throw std::runtime_error(parsed.problem().message);
  for (const pipeline::MethodSummary& method : parsed->summary().methods)
    if (method.name == name) {
      errors::Result<cfg::MethodFlow> flow = pipeline::methodFlow(*parsed, method);
      if (!flow) throw std::runtime_error(flow.problem().message);
      return *flow;
    }
  throw std::runtime_error("no method " + name);
}

constexpr const char* kJava = R"(class A {
  int pick(String s) {
    if (s == null) throw new IllegalArgumentException("no \"s\" <here>");
    return s.length();
  }
  void each(java.util.List<String> list) {
    list.forEach(x -> { if (x.isEmpty()) return; System.out.println("#" + x); });
  }
})";

// Only the classes the diagram uses are defined.
TEST(MermaidFlowchart, AMethodsWholeGraphWithShapesLabelsAndClasses) {
  EXPECT_EQ(flowchartText(flowOf(kJava, "pick")),
            "flowchart TD\n"
            "  n0([\"pick(String s)\"])\n"
            "  n1{\"if (s == null)\"}\n"
            "  n2>\"throw new IllegalArgumentException(#34;no \\#34;s\\#34;<br>  #60;here#62;#34;)\"]\n"
            "  n3(((\"throws\")))\n"
            "  n4(\"return s.length()\")\n"
            "  n5([\"end\"])\n"
            "  n0 --> n1\n"
            "  n1 -->|\"yes\"| n2\n"
            "  n2 -.->|\"IllegalArgumentException\"| n3\n"
            "  n1 -->|\"no\"| n4\n"
            "  n4 --> n5\n"
            "  classDef k_start fill:#d5e8d4,stroke:#4f7f45,color:#222222\n"
            "  classDef k_exit fill:#f8cecc,stroke:#a94442,stroke-width:3px,color:#222222\n"
            "  classDef k_return fill:#ffe6cc,stroke:#b8691e,color:#222222\n"
            "  classDef k_throw fill:#f8cecc,stroke:#a94442,color:#222222\n"
            "  classDef k_decision fill:#fff2cc,stroke:#a88418,color:#222222\n"
            "  class n0,n5 k_start\n"
            "  class n1 k_decision\n"
            "  class n2 k_throw\n"
            "  class n3 k_exit\n"
            "  class n4 k_return\n");
}

TEST(MermaidFlowchart, LambdasAreSubgraphsAndMarksShowInTextClassAndDash) {
  const cfg::MethodFlow flow = flowOf(kJava, "each");
  ASSERT_EQ(flow.graphs.size(), 2u);
  FlowMarks marks;
  marks.nodes = {{}, std::vector<Mark>(flow.graphs[1].nodes.size(), Mark::None)};
  marks.edges = {{}, std::vector<Mark>(flow.graphs[1].edges.size(), Mark::None)};
  marks.nodes[1][1] = Mark::Removed;
  marks.nodes[1][2] = Mark::Added;
  marks.edges[1][0] = Mark::Removed;
  const std::string text = flowchartText(flow, &marks);
  EXPECT_NE(text.find("  subgraph l1[\"" + labelText(flow.graphs[1].title) + "\"]\n    l1_n0(["), std::string::npos) << text;
  EXPECT_NE(text.find("  l1_n1{\"#8722; if (x.isEmpty())\"}\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  l1_n2(\"+#160;return\")\n"), std::string::npos) << text;
  EXPECT_NE(text.find("System.out.println(#34;#35;#34; + x)"), std::string::npos) << text;
  // The first edge of the method's graph is edge 0; the lambda's first follows the method's.
  const size_t methodEdges = flow.graphs[0].edges.size();
  // Dashed, with no label of its own: none.
  EXPECT_NE(text.find("  l1_n0 -.-> l1_n1\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  linkStyle " + std::to_string(methodEdges) + " stroke:#cf222e"), std::string::npos) << text;
  EXPECT_NE(text.find("  class l1_n1 m_removed\n"), std::string::npos) << text;
  EXPECT_NE(text.find("classDef m_removed stroke:#cf222e,stroke-width:3px,stroke-dasharray:6 4"), std::string::npos);
  const DiagramSize size = measure(text);
  size_t edges = 0;
  for (const cfg::Graph& graph : flow.graphs) edges += graph.edges.size();
  EXPECT_EQ(size.edges, edges);
  EXPECT_EQ(size.characters, text.size());
}

TEST(MermaidFlowchart, LabelsEscapeWhatMermaidReadsAndEveryNonAsciiCharacter) {
  EXPECT_EQ(labelText("a|b `c` #d <e> & \"f\"\nnext"), "a#124;b #96;c#96; #35;d #60;e#62; #38; #34;f#34;<br>next");
  EXPECT_EQ(labelText("gr\xC3\xBC\xC3\x9F \xE2\x88\x92 \xF0\x9F\x98\x80"), "gr#252;#223; #8722; #128512;");
  // A directive or comment of Mermaid's, written in the code, is text.
  EXPECT_EQ(labelText("s = \"%%{init: {'theme':'dark'}}%%\"; // %% x"),
            "s = #34;#37;#37;{init: {'theme':'dark'}}#37;#37;#34;; // #37;#37; x");
  // A byte that starts no UTF-8 character stands for itself.
  EXPECT_EQ(labelText("\xFC"), "#252;");
}

}  // namespace
}  // namespace mermaid
