// A Java file in memory through the whole pipeline: its summary, a
// method's control-flow graph, flowchart and sequence diagram, and the
// problems of a method without a body and of a file that does not parse.
#include <string>

#include <gtest/gtest.h>

#include "pipeline/method_flow.h"
#include "pipeline/method_flowchart.h"
#include "pipeline/method_sequence.h"
#include "pipeline/parsed_source.h"

namespace pipeline {
namespace {

constexpr const char* kShop = R"(package shop;

abstract class Shop {
  abstract int size();

  int total(int[] prices, Cart cart) {
    int sum = 0;
    for (int p : prices) {
      if (p < 0) throw new IllegalArgumentException("negative");
      sum += p;
    }
    cart.add(sum);
    return sum;
  }
}

class Cart {
  void add(int amount) { }
}
)";

// Each node as "kind text", one a line.
std::string nodesOf(const cfg::Graph& graph) {
  std::string text;
  for (const cfg::Node& node : graph.nodes) text += std::string(cfg::kindName(node.kind)) + " " + node.text + "\n";
  return text;
}

const MethodSummary& methodNamed(const ParsedSource& source, std::string_view name) {
  for (const MethodSummary& method : source.summary().methods)
    if (method.name == name) return method;
  throw std::invalid_argument("no such method");
}

TEST(Pipeline, AJavaFileInMemoryGivesItsSummaryGraphFlowchartAndSequence) {
  errors::Result<ParsedSource> parsed = ParsedSource::parseText("Shop.java", kShop, 17);
  ASSERT_TRUE(parsed) << parsed.problem().message;
  const FileSummary& summary = parsed->summary();
  ASSERT_EQ(summary.classes.size(), 2u);
  EXPECT_EQ(summary.classes[0].qualifiedName, "Shop");
  ASSERT_EQ(summary.methods.size(), 3u);
  const MethodSummary& total = methodNamed(*parsed, "total");
  EXPECT_EQ(summary.displayName(total), "Shop.total");
  EXPECT_EQ(total.line, 6);
  EXPECT_EQ(total.endLine, 14);

  errors::Result<cfg::MethodFlow> flow = methodFlow(*parsed, total);
  ASSERT_TRUE(flow) << flow.problem().message;
  EXPECT_EQ(flow->className, "Shop");
  EXPECT_EQ(flow->method, "total");
  EXPECT_EQ(nodesOf(flow->graphs.front()),
            "start total(int[] prices, Cart cart)\n"
            "statement int sum = 0;\n"
            "decision for (int p : prices)\n"
            "decision if (p < 0)\n"
            "throw throw new IllegalArgumentException(\"negative\")\n"
            "exit throws\n"
            "statement sum += p;\n"
            "statement cart.add(sum);\n"
            "return return sum\n"
            "end end\n");

  errors::Result<MethodFlowchart> chart = drawMethodFlowchart(*parsed, total);
  ASSERT_TRUE(chart) << chart.problem().message;
  EXPECT_EQ(chart->drawing->pages.size(), 1u);
  EXPECT_GE(chart->boxes, 9u);

  SequenceSources sources(*parsed, "");
  errors::Result<MethodSequence> sequence = drawMethodSequence(sources, total, SequenceOptions{});
  ASSERT_TRUE(sequence) << sequence.problem().message;
  std::string messages;
  for (const sequence::Message& message : sequence->diagram.messages)
    messages += std::to_string(message.line) + " " + message.text + "\n";
  EXPECT_EQ(messages, "9 throw new IllegalArgumentException(\"negative\")\n12 add(sum)\n");
  EXPECT_TRUE(sequence->drawing);
}

TEST(Pipeline, MethodsWithoutBodiesAndSourcesThatDoNotParseAreProblemsWithTheirLines) {
  errors::Result<ParsedSource> parsed = ParsedSource::parseText("Shop.java", kShop, 17);
  ASSERT_TRUE(parsed);
  errors::Result<cfg::MethodFlow> none = methodFlow(*parsed, methodNamed(*parsed, "size"));
  ASSERT_FALSE(none);
  EXPECT_EQ(none.problem().kind, errors::Problem::Kind::NoBody);
  EXPECT_EQ(none.problem().line, 4);

  errors::Result<ParsedSource> broken = ParsedSource::parseText("A.java", "class A {\n  void f() { int x = ; }\n}\n", 17);
  ASSERT_FALSE(broken);
  EXPECT_EQ(broken.problem().kind, errors::Problem::Kind::Syntax);
  EXPECT_EQ(broken.problem().line, 2);
}

}  // namespace
}  // namespace pipeline
