// The sequence graph: its text for a small diagram, and, laid out by
// Graphviz (built by its calls as its text reads) and read back as the
// drawing reads it, lifelines
// left to right in order, messages top to bottom in order, and created
// objects at their creation's height.
#include "sequence/sequence_dot.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "graphviz/dot_layout.h"
#include "tests/support/dot_text/dot_text_layout.h"
#include "tests/support/test_support.h"
#include "text/dot_graph.h"

namespace sequence {
namespace {


Diagram smallDiagram() {
  Diagram d;
  d.lifelines = {{":Shop", kNone}, {"order:Order", 0}, {"ledger:Ledger", kNone}};
  d.messages = {{Message::Kind::Create, 0, 1, "new Order(\"a\\b\")", 3},
                {Message::Kind::SelfCall, 0, 0, "check()", 4},
                {Message::Kind::Call, 0, 2, "book(order)", 5},
                {Message::Kind::Return, 2, 0, "entry", 5}};
  return d;
}

TEST(SequenceDot, CarriesWhatTheDrawingReads) {
  EXPECT_EQ(
      text::dotText(sequenceGraph(smallDiagram(), text::Charset::Latin1)),
      "digraph \"sequence\" {\n"
      "  graph [rankdir=LR, ranksep=0.55, nodesep=0.22, charset=latin1];\n"
      "  node [shape=box, fixedsize=true, width=1.667, height=0.5, fontsize=9];\n"
      "  \"o.1\" [zarncls=1, label=\":Shop\", zarnlast=\"t.7\"];\n"
      // The creation's text and half the new box need more than one gap.
      "  \"o.2\" [zarncls=1, label=\"order:Order\", zarnlast=\"t.7\", width=2.411, ypinto=\"t.2\"];\n"
      "  \"o.3\" [zarncls=1, label=\"ledger:Ledger\", zarnlast=\"t.7\"];\n"
      "  node [shape=point, width=0.05, height=0.05, label=\"\"];\n"
      "  { rank=same; \"t.0\"; \"t.1\"; \"t.2\"; \"t.3\"; \"t.4\"; \"t.5\"; \"t.6\"; \"t.7\"; }\n"
      "  \"t.0\" -> \"t.1\" [style=invis];\n"
      "  \"t.1\" -> \"t.2\" [style=invis];\n"
      "  \"t.2\" -> \"t.3\" [style=invis];\n"
      "  \"t.3\" -> \"t.4\" [style=invis];\n"
      "  \"t.4\" -> \"t.5\" [style=invis];\n"
      "  \"t.5\" -> \"t.6\" [style=invis];\n"
      "  \"t.6\" -> \"t.7\" [style=invis];\n"
      "  \"o.1\" -> \"o.2\" [style=invis, weight=0];\n"
      "  \"o.2\" -> \"o.3\" [style=invis, weight=0];\n"
      "  \"t.0\" -> \"o.1\" [style=invis, weight=1000];\n"
      "  \"o.1\" -> \"o.2\" [style=invis, weight=1000];\n"
      "  \"o.2\" -> \"o.3\" [style=invis, weight=1000];\n"
      "  \"t.2\" -> \"t.2\" [zarnedge=1, zarnfrom=\"o.1\", zarnto=\"o.2\", zarnsuper=1, "
      "taillabel=\"new Order(\\\"a\\\\b\\\")\"];\n"
      "  \"t.3\" -> \"t.3\" [zarnedge=1, zarnfrom=\"o.1\", zarnto=\"o.1\", zarnself=1, "
      "taillabel=\"check()\"];\n"
      "  \"t.4\" -> \"t.4\" [zarnedge=1, zarnfrom=\"o.1\", zarnto=\"o.3\", taillabel=\"book(order)\"];\n"
      "  \"t.5\" -> \"t.5\" [zarnedge=2, zarnfrom=\"o.3\", zarnto=\"o.1\", headlabel=\"entry\"];\n"
      "}\n");
}

// Lifeline names break between a name and its type, then before type
// arguments and dots and after commas, never inside a word; a word wider
// than the box widens it, and more than two lines make it taller.
TEST(SequenceDot, LifelineNamesWrapAtTheirBoundaries) {
  const TextMeasure perCharacter = [](std::string_view text, double) { return 0.075 * text.size(); };
  using Lines = std::vector<std::string>;
  EXPECT_EQ(lifelineLines("workQueue:BlockingQueue<Runnable>", 1.15, perCharacter),
            (Lines{"workQueue:", "BlockingQueue", "<Runnable>"}));
  EXPECT_EQ(lifelineLines("ch:TreeNode<K, V>", 1.15, perCharacter), (Lines{"ch:", "TreeNode<K, V>"}));
  EXPECT_EQ(lifelineLines("layer.modules().stream()", 1.15, perCharacter),
            (Lines{"layer.modules()", ".stream()"}));
  EXPECT_EQ(lifelineLines("m:Map<String, List<Item>>", 1.15, perCharacter),
            (Lines{"m:", "Map", "<String, List", "<Item>>"}));
  EXPECT_EQ(lifelineLines(":UnknownFormatConversionException", 1.15, perCharacter),
            (Lines{":UnknownFormatConversionException"}));
  EXPECT_EQ(lifelineLines(":Shop", 1.15, perCharacter), (Lines{":Shop"}));

  Diagram d;
  d.lifelines = {{":UnknownFormatConversionException", kNone}, {"workQueue:BlockingQueue<Runnable>", kNone}};
  d.messages = {{Message::Kind::Call, 0, 1, "offer(task)", 3}};
  const std::string dot = text::dotText(sequenceGraph(d, text::Charset::Utf8, perCharacter));
  EXPECT_NE(dot.find("\"o.1\" [zarncls=1, label=\":UnknownFormatConversionException\", zarnlast=\"t.3\", "
                     "width=3.627, zarnwidth=2.72"),
            std::string::npos)
      << dot;
  EXPECT_NE(dot.find("label=\"workQueue:\\nBlockingQueue\\n<Runnable>\", zarnlast=\"t.3\", zarnheight=0.52"),
            std::string::npos)
      << dot;
}

// A diagram of 300 messages among 12 lifelines, some created on the way.
TEST(SequenceDot, LaidOutLifelinesAndMessagesKeepTheirOrder) {
  Diagram d;
  d.lifelines.push_back({":Main", kNone});
  for (size_t k = 0; k < 300; ++k) {
    const size_t lifelines = d.lifelines.size();
    if (k % 25 == 7 && lifelines < 12) {
      d.lifelines.push_back({"made" + std::to_string(k) + ":Made", k});
      d.messages.push_back({Message::Kind::Create, 0, lifelines, "new Made()", 1});
    } else if (k % 9 == 0 && lifelines < 12) {
      d.lifelines.push_back({"p" + std::to_string(k) + ":Part", kNone});
      d.messages.push_back({Message::Kind::Call, 0, lifelines, "use()", 1});
    } else {
      const size_t to = (k * 7) % lifelines;
      d.messages.push_back({to == 0 ? Message::Kind::SelfCall : Message::Kind::Return, to, 0, "m()", 1});
    }
  }
  std::string error;
  const std::optional<layout::MemoryLayout> layout = graphviz::layOut(sequenceGraph(d, text::Charset::Utf8), &error);
  ASSERT_TRUE(layout) << error;
  // Built with Graphviz's calls, the graph lays out as its text does.
  const std::optional<layout::MemoryLayout> read = testing_support::layOutDotText(text::dotText(sequenceGraph(d, text::Charset::Utf8)), &error);
  ASSERT_TRUE(read) << error;
  ASSERT_EQ(layout->nodeCount(), read->nodeCount());
  ASSERT_EQ(layout->edgeCount(), read->edgeCount());
  for (size_t i = 0; i < layout->nodeCount(); ++i)
    EXPECT_TRUE(layout->nodes()[i].name == read->nodes()[i].name && layout->nodes()[i].x == read->nodes()[i].x &&
                layout->nodes()[i].y == read->nodes()[i].y && layout->nodes()[i].attributes == read->nodes()[i].attributes)
        << layout->nodes()[i].name;
  for (size_t i = 0; i < layout->edgeCount(); ++i)
    EXPECT_TRUE(layout->edges()[i].startY == read->edges()[i].startY &&
                layout->edges()[i].attributes == read->edges()[i].attributes)
        << "edge " << i;

  std::map<std::string, std::pair<double, double>> nodes;  // by name: x, y
  for (const layout::LaidOutNode& node : layout->nodes()) nodes[node.name] = {node.x, node.y};
  // Message heights as the drawing reads them: the y of the first point.
  std::vector<int> heights;
  for (size_t edge = 0; edge < layout->edgeCount(); ++edge)
    if (layout->edgeHas(edge, "zarnedge")) heights.push_back(static_cast<int>(layout->edgeStartY(edge)));
  ASSERT_EQ(heights.size(), d.messages.size());
  for (size_t k = 1; k < heights.size(); ++k)
    EXPECT_LT(heights[k], heights[k - 1] - 20) << "message " << k << " is not below message " << k - 1;

  for (size_t i = 0; i < d.lifelines.size(); ++i) {
    const auto [x, y] = nodes[lifelineNodeName(i)];
    if (i > 0) {
      EXPECT_GT(x, nodes[lifelineNodeName(i - 1)].first + 120) << d.lifelines[i].label;
    }
    const size_t createdBy = d.lifelines[i].createdBy;
    const double expected = createdBy == kNone ? nodes["t.0"].second : heights[createdBy];
    EXPECT_NEAR(y, expected, 1.5) << d.lifelines[i].label;
  }
  // Every lifeline ends well below the last message.
  for (size_t node = 0; node < layout->nodeCount(); ++node) {
    const std::string last = layout->nodeAttribute(node, "zarnlast");
    if (!last.empty()) {
      EXPECT_LT(nodes[last].second, heights.back() - 30) << layout->nodeName(node);
    }
  }
}

}  // namespace
}  // namespace sequence
