// The sequence graph: its text for a small diagram; laid out by Graphviz,
// the same positions as its text read by Graphviz's reader, lifelines
// left to right in order, messages top to bottom in order, and created
// objects at their creation's height; and its drawing, the picture the
// engine draws from the layout file of its text (mode 18).
#include "seqdraw/sequence_graph.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "drawing/drawing_svg.h"
#include "drawing/drawing_xml.h"
#include "render/sequence_drawing.h"
#include "seqdraw/sequence_drawing.h"
#include "tests/support/dot_text/dot_text_layout.h"
#include "tests/support/test_support.h"

namespace seqdraw {
namespace {

using sequence::Diagram;
using sequence::kNone;
using sequence::Message;


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
      sequenceDotText(planSequence(smallDiagram(), text::Charset::Latin1)),
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
  const std::string dot = sequenceDotText(planSequence(d, text::Charset::Utf8, perCharacter));
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
  const SequencePlan plan = planSequence(d, text::Charset::Utf8);
  const errors::Result<graphviz::Layout> laidOut = graphviz::layOutGraph(sequenceLayoutGraph(plan));
  ASSERT_TRUE(laidOut) << laidOut.problem().message;
  const graphviz::WrittenPositions& at = laidOut->written;
  // Built with Graphviz's calls, the graph lays out as its text does.
  std::string error;
  const std::optional<testing_support::MemoryLayout> read = testing_support::layOutDotText(sequenceDotText(plan), &error);
  ASSERT_TRUE(read) << error;
  ASSERT_EQ(at.centres.size(), read->nodeCount());
  EXPECT_TRUE(at.right == read->right() && at.top == read->top());
  for (size_t i = 0; i < read->nodeCount(); ++i)
    EXPECT_TRUE(at.centres[i].x == read->nodeX(i) && at.centres[i].y == read->nodeY(i)) << read->nodeName(i);
  std::vector<double> readMessages;
  for (size_t edge = 0; edge < read->edgeCount(); ++edge)
    if (read->edgeHas(edge, "zarnedge")) readMessages.push_back(read->edgeStartY(edge));
  ASSERT_EQ(readMessages.size(), d.messages.size());
  for (size_t k = 0; k < readMessages.size(); ++k)
    EXPECT_EQ(at.edgeStartY[messageEdge(plan, k)], readMessages[k]) << "message " << k;

  // Message heights as the drawing reads them: the y of the first point.
  std::vector<int> heights;
  for (size_t k = 0; k < d.messages.size(); ++k) heights.push_back(static_cast<int>(at.edgeStartY[messageEdge(plan, k)]));
  for (size_t k = 1; k < heights.size(); ++k)
    EXPECT_LT(heights[k], heights[k - 1] - 20) << "message " << k << " is not below message " << k - 1;

  for (size_t i = 0; i < d.lifelines.size(); ++i) {
    const auto [x, y] = at.centres[lifelineNode(i)];
    if (i > 0) {
      EXPECT_GT(x, at.centres[lifelineNode(i - 1)].x + 120) << d.lifelines[i].label;
    }
    const size_t createdBy = d.lifelines[i].createdBy;
    const double expected = createdBy == kNone ? at.centres[rowNode(plan, 0)].y : heights[createdBy];
    EXPECT_NEAR(y, expected, 1.5) << d.lifelines[i].label;
  }
  // Every lifeline ends well below the last message.
  EXPECT_LT(at.centres[rowNode(plan, plan.lastRow)].y, heights.back() - 30);
}

// A diagram with every kind of message, activations (one inside another
// on the same object) and an alt fragment of two operands, drawn in
// memory, draws the picture the engine draws from the layout file the dot
// program writes for its DOT text.  The dot program does not move an
// object to its creation's row (ypinto is the command's own step), so the
// created object is given here as there from the start.
TEST(SequenceDrawing, DrawsAsTheEngineDrawsTheLayoutFile) {
  Diagram d;
  d.lifelines = {{":Shop", kNone}, {"order:Order", kNone}, {"ledger:Ledger", kNone}};
  d.messages = {{Message::Kind::Create, 0, 1, "new Order()", 3},
                {Message::Kind::Call, 0, 2, "book(order)", 4},
                {Message::Kind::SelfCall, 2, 2, "check()", 5},
                {Message::Kind::Return, 2, 0, "entry", 5},
                {Message::Kind::Call, 0, 1, "cancel()", 7},
                {Message::Kind::Call, 0, 2, "undo(order)", 9}};
  d.activations = {{0, kNone, 5, 0}, {1, 0, 0, 0}, {2, 1, 3, 0}, {2, 2, 2, 1}, {1, 4, 4, 0}, {2, 5, 5, 0}};
  d.fragments = {{"alt", {{"total > 100", 4}, {"else", 5}}, 5, 0, 0}};
  const SequencePlan plan = planSequence(d, text::Charset::Latin1);

  const errors::Result<SequenceMasters> masters =
      sequenceMasters("sequence", testing_support::readFile(testing_support::sourceDir() / "templates/sequence"),
                      testing_support::readFile(testing_support::sourceDir() / "templates/UML Sequence.vss"));
  ASSERT_TRUE(masters) << masters.problem().message;
  const errors::Result<graphviz::Layout> layout = graphviz::layOutGraph(sequenceLayoutGraph(plan));
  ASSERT_TRUE(layout) << layout.problem().message;
  const std::unique_ptr<drawing::Document> drawn = drawSequence(plan, *layout, *masters);

  testing_support::TempDir dir;
  testing_support::writeFile(dir.file("graph.dot"), sequenceDotText(plan));
  ASSERT_EQ(testing_support::runShell("dot -Tdot " + testing_support::shellQuote(dir.file("graph.dot")) + " > " +
                                      testing_support::shellQuote(dir.file("layout.dot"))),
            0);
  ASSERT_EQ(render::drawSequenceDiagram(dir.file("layout.dot"), dir.path().string(), dir.file("engine.svg"),
                                        (testing_support::sourceDir() / "templates/sequence").string()),
            0);
  EXPECT_EQ(drawing::drawingSvg(*drawn), testing_support::readFile(dir.file("engine.svg")));
  const std::string xml = drawing::drawingXml(*drawn);
  // What the drawing holds: three lifelines, six messages, five bars, a
  // frame and its second operand.
  for (const char* shape : {"name=\"o.3\"", "name=\"o.3/bar.2\"", "/fragment\"", "/operand\"", "check()"})
    EXPECT_NE(xml.find(shape), std::string::npos) << shape;
}

}  // namespace
}  // namespace seqdraw
