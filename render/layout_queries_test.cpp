#include "render/layout_queries.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

using testing_support::fileExists;
using testing_support::fixture;
using testing_support::readFile;
using testing_support::runShell;
using testing_support::TempDir;
using testing_support::writeFile;
using namespace render;

// The two labels of the flowchart fixture that Graphviz continues.
const std::string kLongBlockLabel =
    "int total = 0; for every entry of the very long list of measurements that the caller "
    "handed in, add the value to the running total and remember the largest value seen so far, "
    "then report both the total and the largest value to the log of this run";
const std::string kLongEdgeLabel =
    "when the total is larger than the limit that the configuration file gives for this kind of "
    "measurement, and the caller did not ask for the check to be skipped, the run ends here and "
    "the total goes back to the caller";

// A layout parsed and loaded in its own folder.
struct Layout {
  TempDir dir;
  std::unique_ptr<xml::Document> doc;
  xml::Node root() const { return doc->root(); }
};

void loadFile(Layout& layout, const std::string& layoutPath) {
  layout.doc = loadLayout(layoutPath, layoutTreePath(layout.dir.path().string()),
                          layoutStatusPath(layout.dir.path().string()));
}

void loadText(Layout& layout, std::string_view dotText) {
  writeFile(layout.dir.file("layout.dot"), dotText);
  loadFile(layout, layout.dir.file("layout.dot"));
}

xml::Node nodeNamed(const xml::Node& root, const std::string& name) {
  for (const xml::Node& node : dotNodes(root))
    if (dotNodeId(node) == name) return node;
  ADD_FAILURE() << "no node " << name;
  return {};
}

TEST(LayoutNumber, ConvertsTheLeadingNumberAsAtofDoes) {
  EXPECT_DOUBLE_EQ(layoutNumber("  12.5abc"), 12.5);
  EXPECT_DOUBLE_EQ(layoutNumber("18\""), 18.0);
  EXPECT_DOUBLE_EQ(layoutNumber("-3,4"), -3.0);
  EXPECT_DOUBLE_EQ(layoutNumber(""), 0.0);
  EXPECT_DOUBLE_EQ(layoutNumber("e"), 0.0);
}

TEST(LayoutScale, StartsAtNinetySixAndResets) {
  EXPECT_DOUBLE_EQ(layoutScaleX, 96.0);
  EXPECT_DOUBLE_EQ(layoutScaleY, 96.0);
  layoutScaleX = 72.0;
  layoutScaleY = 10.0;
  resetLayoutScale();
  EXPECT_DOUBLE_EQ(layoutScaleX, 96.0);
  EXPECT_DOUBLE_EQ(layoutScaleY, 96.0);
}

// Every node and edge of a real Graphviz layout, read back whole: the long
// labels and the long edge splines that Graphviz continues over two lines
// come out as one text, unquoted values through the fallbacks, a Latin-1
// byte unchanged, the escaped quotes decoded.
TEST(LayoutQueries, ReadAFlowchartLayoutOfGraphviz) {
  Layout layout;
  loadFile(layout, fixture("dot/flowchart.layout.dot").string());
  ASSERT_TRUE(layout.doc);
  const xml::Node root = layout.root();

  struct NodeRow {
    std::string id, type, label, x, y, width, height;
  };
  const std::vector<NodeRow> expectedNodes = {
      {"n5", "catch", "try", "1978.5", "164", "0.75", "0.5"},
      {"n6", "exception", "catch (IOException e)", "1935.5", "91", "2.3611", "0.5"},
      {"n0", "start", "start of run", "1595.5", "470", "1.3611", "0.5"},
      {"n1", "block", kLongBlockLabel, "869.5", "397", "24.153", "0.5"},
      {"n8", "unknown-kind", "", "2055.5", "397", "0.75", "0.5"},
      {"n2", "if", "total > limit \"hard\" caf\xe9", "869.5", "324", "2.6111", "0.5"},
      {"n3", "RETURN", "return total;", "1262.5", "91", "1.4444", "0.5"},
      {"n4", "blocks", "folded", "1477.5", "251", "0.84722", "0.5"},
      {"n7", "end", "end", "1694.5", "18", "0.75", "0.5"},
  };
  const xml::NodeList nodes = dotNodes(root);
  ASSERT_EQ(nodes.size(), expectedNodes.size());
  for (size_t i = 0; i < nodes.size(); ++i) {
    const NodeRow& want = expectedNodes[i];
    SCOPED_TRACE(want.id);
    EXPECT_EQ(dotNodeId(nodes[i]), want.id);
    EXPECT_EQ(dotConceptId(nodes[i]), want.type);
    EXPECT_EQ(dotLabel(nodes[i]), want.label);
    EXPECT_EQ(dotPosX(nodes[i]), want.x);
    EXPECT_EQ(dotPosY(nodes[i]), want.y);
    EXPECT_EQ(dotWidth(nodes[i]), want.width);
    EXPECT_EQ(dotHeight(nodes[i]), want.height);
  }

  struct EdgeRow {
    std::string tail, head, color, tip, dir, label, x, yStart, yEnd;
  };
  const std::vector<EdgeRow> expectedEdges = {
      {"n5", "n6", "", "", "", "", "e", "1945.8,109.03 ", " 1951,117.61"},
      {"n0", "n1", "", "", "", "", "e", "1043.4,415.01 ", " 1053.6,416.01"},
      {"n0", "n8", "", "", "", "", "e", "2028.3,402.2 ", " 2018.4,403.73"},
      {"n1", "n2", "", "", "", "", "e", "869.5,342.03 ", " 869.5,352.07"},
      {"n2", "n3", "green", "true", "", kLongEdgeLabel, "e", "1210.4,92.268 ", " 1200.1,92.425"},
      {"n2", "n4", "red", "false", "", "", "e", "1446.9,255.57 ", " 1436.8,256.76"},
      {"n3", "n7", "", "", "", "", "e", "1667.3,23.476 ", " 1657.1,25.154"},
      {"n4", "n5", "", "", "", "", "e", "2005.6,166.73 ", " 2015.8,167.67"},
      {"n6", "n7", "", "", "", "", "e", "1721.7,27.009 ", " 1731.6,29.918"},
      // Both splines are continued by Graphviz, the first inside a number.
      {"n7", "n1", "blue", "", "back", "", "s", "1667.2,19.252 ", " 614.43,368.55 670.4,378.94"},
      {"n8", "n7", "", "", "", "", "e", "1721.6,20.398 ", " 1839.6,27.153 1731.7,20.966"},
  };
  const xml::NodeList edges = dotEdges(root);
  ASSERT_EQ(edges.size(), expectedEdges.size());
  for (size_t i = 0; i < edges.size(); ++i) {
    const EdgeRow& want = expectedEdges[i];
    SCOPED_TRACE(want.tail + " -> " + want.head);
    EXPECT_EQ(dotTail(edges[i]), want.tail);
    EXPECT_EQ(dotHead(edges[i]), want.head);
    EXPECT_EQ(dotColor(edges[i]), want.color);
    EXPECT_EQ(dotTip(edges[i]), want.tip);
    EXPECT_EQ(dotDir(edges[i]), want.dir);
    EXPECT_EQ(dotLabel(edges[i]), want.label);
    EXPECT_EQ(dotPosX(edges[i]), want.x);
    const std::string y = dotPosY(edges[i]);
    EXPECT_EQ(y.substr(0, want.yStart.size()), want.yStart);
    ASSERT_GE(y.size(), want.yEnd.size());
    EXPECT_EQ(y.substr(y.size() - want.yEnd.size()), want.yEnd);
    EXPECT_EQ(y.find('\n'), std::string::npos);
    EXPECT_EQ(y.find('\\'), std::string::npos);
  }

  const xml::NodeList clusters = dotTryClusters(root);
  ASSERT_EQ(clusters.size(), 1u);
  EXPECT_DOUBLE_EQ(dotClusterLeft(clusters[0]), 1842.5);
  EXPECT_DOUBLE_EQ(dotClusterBottom(clusters[0]), 65.0);
  EXPECT_DOUBLE_EQ(dotClusterRight(clusters[0]), 2028.5);
  EXPECT_DOUBLE_EQ(dotClusterTop(clusters[0]), 190.0);

  EXPECT_DOUBLE_EQ(dotGraphRight(root), 2144.5);
  EXPECT_DOUBLE_EQ(dotGraphTop(root), 488.0);
  EXPECT_EQ(dotParent(root), "start of caller");
}

TEST(LayoutQueries, ReadTheEngineAttributesOfASequenceLayout) {
  Layout layout;
  loadFile(layout, fixture("dot/sequence.layout.dot").string());
  ASSERT_TRUE(layout.doc);
  const xml::Node root = layout.root();

  const xml::Node driver = nodeNamed(root, "main:Driver");
  EXPECT_EQ(dotLabel(driver), "main:Driver");
  EXPECT_EQ(dotLast(driver), "end main");
  EXPECT_EQ(dotLast(nodeNamed(root, "calc:Calculator")), "end calc");
  EXPECT_EQ(dotLast(nodeNamed(root, "end main")), "");

  const xml::NodeList edges = dotEdges(root);
  ASSERT_EQ(edges.size(), 6u);
  // creation call, long call, return, self call, in the layout's order
  EXPECT_EQ(dotAttribute(edges[0], "zarnedge"), "1");
  EXPECT_EQ(dotFrom(edges[0]), "main:Driver");
  EXPECT_EQ(dotTo(edges[0]), "calc:Calculator");
  EXPECT_EQ(dotTailLabel(edges[0]), "new");

  EXPECT_EQ(dotTailLabel(edges[1]),
            "computeTotals(List<Measurement> measurements, Configuration configuration, "
            "boolean skipLimitCheck, ReportSink sink, Locale locale, TimeZone zone, "
            "int retries, long timeoutMillis, String runName, Map<String, String> options)");
  EXPECT_EQ(dotPosX(edges[1]), "e");
  EXPECT_EQ(dotPosY(edges[1]).substr(0, 14), "79.293,75.704 ");

  EXPECT_EQ(dotAttribute(edges[2], "zarnedge"), "");  // the invisible edge to "end main"
  EXPECT_EQ(dotAttribute(edges[3], "zarnedge"), "0");
  EXPECT_EQ(dotAttribute(edges[3], "headlabel"), "total");
  EXPECT_EQ(dotTailLabel(edges[3]), "");
  EXPECT_EQ(dotFrom(edges[4]), "calc:Calculator");
  EXPECT_EQ(dotTo(edges[4]), "calc:Calculator");
  EXPECT_EQ(dotTailLabel(edges[4]), "check()");
}

// The layout tool installed on this machine, run live on the flowchart
// graph: the pipeline holds for what it writes today.
TEST(LayoutQueries, ReadWhatTheInstalledGraphvizWrites) {
  Layout layout;
  const std::string laidOut = layout.dir.file("live.dot");
  ASSERT_EQ(runShell("dot -Tdot '" + fixture("dot/flowchart.graph.dot").string() + "' > '" +
                     laidOut + "'"),
            0);
  loadFile(layout, laidOut);
  ASSERT_TRUE(layout.doc);
  const xml::Node root = layout.root();
  EXPECT_EQ(dotNodes(root).size(), 9u);
  EXPECT_EQ(dotEdges(root).size(), 11u);
  EXPECT_EQ(dotLabel(nodeNamed(root, "n1")), kLongBlockLabel);
  EXPECT_EQ(dotLabel(nodeNamed(root, "n2")), "total > limit \"hard\" caf\xe9");
  EXPECT_EQ(dotConceptId(nodeNamed(root, "n4")), "blocks");
  for (const xml::Node& node : dotNodes(root)) {
    SCOPED_TRACE(dotNodeId(node));
    EXPECT_GT(layoutNumber(dotPosX(node)), 0.0);
    EXPECT_GT(layoutNumber(dotPosY(node)), 0.0);
    EXPECT_GT(layoutNumber(dotWidth(node)), 0.0);
  }
  bool sawLongLabel = false;
  for (const xml::Node& edge : dotEdges(root)) {
    if (dotLabel(edge) == kLongEdgeLabel) sawLongLabel = true;
    EXPECT_EQ(dotPosY(edge).find('\\'), std::string::npos);
  }
  EXPECT_TRUE(sawLongLabel);
  EXPECT_GT(dotGraphRight(root), 0.0);
  EXPECT_GT(dotGraphTop(root), 0.0);
  ASSERT_EQ(dotTryClusters(root).size(), 1u);
  EXPECT_GT(dotClusterRight(dotTryClusters(root)[0]), dotClusterLeft(dotTryClusters(root)[0]));
  EXPECT_EQ(dotParent(root), "start of caller");
}

TEST(LayoutQueries, ReadValuesAsTheirReadingRulesSay) {
  Layout layout;
  loadText(layout, 
      "digraph G {\n"
      "  graph [bb=\"0,0,540,720\"];\n"
      "  subgraph cluster_a { graph [type=try, bb=\"8,8,120,96\"]; }\n"
      "  subgraph cluster_b { graph [type=block, bb=\"1,2,3,4\"]; }\n"
      "  quoted [label=\"a\\\"b\", pos=\"27,18\", width=\"1.5\", CONCEPTID=\"if\"];\n"
      "  plain [label=Foo, pos=27, width=2, CONCEPTID=while];\n"
      "  bare;\n"
      "  split [zarnlast=\"p\\\"q\"];\n"
      "  quoted -> plain [pos=\"e,100,20 150,60 170,80\", dir=back, tip=\"true\", color=green];\n"
      "}\n");
  ASSERT_TRUE(layout.doc);
  const xml::Node root = layout.root();
  const xml::Node quoted = nodeNamed(root, "quoted");
  const xml::Node plain = nodeNamed(root, "plain");
  const xml::Node bare = nodeNamed(root, "bare");

  EXPECT_EQ(dotLabel(quoted), "a\"b");  // the pieces a, backslash-quote, b
  EXPECT_EQ(dotLabel(plain), "Foo");    // unquoted, through the fallback
  EXPECT_EQ(dotLabel(bare), "");
  EXPECT_EQ(dotPosX(quoted), "27");
  EXPECT_EQ(dotPosY(quoted), "18");
  EXPECT_EQ(dotPosX(plain), "27");
  EXPECT_EQ(dotPosY(plain), "");  // no comma, no y
  EXPECT_EQ(dotWidth(quoted), "1.5");
  EXPECT_EQ(dotWidth(plain), "2");
  EXPECT_EQ(dotConceptId(quoted), "if");
  EXPECT_EQ(dotConceptId(plain), "while");
  EXPECT_EQ(dotConceptId(bare), "");
  // Rule A keeps the first piece only, as written.
  EXPECT_EQ(dotLast(nodeNamed(root, "split")), "p");

  const xml::NodeList edges = dotEdges(root);
  ASSERT_EQ(edges.size(), 1u);
  EXPECT_EQ(dotPosX(edges[0]), "e");
  EXPECT_EQ(dotPosY(edges[0]), "100,20 150,60 170,80");
  EXPECT_EQ(dotDir(edges[0]), "back");
  EXPECT_EQ(dotTip(edges[0]), "true");
  EXPECT_EQ(dotColor(edges[0]), "green");

  EXPECT_DOUBLE_EQ(dotGraphRight(root), 540.0);
  EXPECT_DOUBLE_EQ(dotGraphTop(root), 720.0);
  const xml::NodeList clusters = dotTryClusters(root);
  ASSERT_EQ(clusters.size(), 1u);  // only the subgraph whose type is try
  EXPECT_DOUBLE_EQ(dotClusterLeft(clusters[0]), 8.0);
  EXPECT_DOUBLE_EQ(dotClusterBottom(clusters[0]), 8.0);
  EXPECT_DOUBLE_EQ(dotClusterRight(clusters[0]), 120.0);
  EXPECT_DOUBLE_EQ(dotClusterTop(clusters[0]), 96.0);
  EXPECT_EQ(dotParent(root), "");
}

// A value text that itself starts with a double quote: the x loses its
// first and last characters, the y keeps the closing quote, which the
// number conversion ignores.  The DOT scanner never makes such a token,
// so the tree is written by hand.
TEST(LayoutQueries, SplitAPositionWhoseTextIsQuoted) {
  auto doc = xml::Document::loadText(
      "<graph><stmt><node_stmt><node_id><id><CHAR_STR l=\"1\" t=\"n\"/></id><opt_port/></node_id>"
      "<attr_list><SQO l=\"1\" t=\"[\"/><a_list><id><CHAR_STR l=\"1\" t=\"pos\"/></id>"
      "<EQ l=\"1\" t=\"=\"/><id><CHAR_STR l=\"1\" t=\"&quot;27,18&quot;\"/></id></a_list>"
      "<SQC l=\"1\" t=\"]\"/></attr_list></node_stmt></stmt></graph>");
  ASSERT_TRUE(doc);
  const xml::NodeList nodes = dotNodes(doc->root());
  ASSERT_EQ(nodes.size(), 1u);
  EXPECT_EQ(dotPosX(nodes[0]), "27");
  EXPECT_EQ(dotPosY(nodes[0]), "18\"");
  EXPECT_DOUBLE_EQ(layoutNumber(dotPosY(nodes[0])), 18.0);
}

// A backslash-newline inside a quoted value stands for nothing: every
// rule reads the value as if the line had not been broken.
TEST(LayoutQueries, ReadContinuedValuesAsIfUnbroken) {
  Layout layout;
  loadText(layout, 
      "digraph G {\n"
      "  graph [bb=\"0,0,54\\\n0,720\", parent=\"start of\\\n caller\"];\n"
      "  subgraph cluster_1 { graph [type=try, bb=\"8,8,12\\\n0,96\"]; }\n"
      "  \"long\\\nname\" [CONCEPTID=\"blo\\\nck\", label=\"one \\\ntwo\", pos=\"27,\\\n18\",\n"
      "     width=\"1.\\\n5\", zarnlast=\"end \\\nmain\"];\n"
      "  a -> b [color=\"gre\\\nen\", tip=\"tr\\\nue\", dir=\"ba\\\nck\", taillabel=\"x\\\ny\",\n"
      "     zarnfrom=\"p\\\n\\\"q\", zarnto=\"\\\nr\", headlabel=\"h\\\n\\\"i\", pos=\"e,1,2\\\n 3,4\"];\n"
      "}\n");
  ASSERT_TRUE(layout.doc);
  const xml::Node root = layout.root();
  EXPECT_DOUBLE_EQ(dotGraphRight(root), 540.0);
  EXPECT_DOUBLE_EQ(dotGraphTop(root), 720.0);
  EXPECT_EQ(dotParent(root), "start of caller");
  ASSERT_EQ(dotTryClusters(root).size(), 1u);
  EXPECT_DOUBLE_EQ(dotClusterRight(dotTryClusters(root)[0]), 120.0);

  const xml::Node node = nodeNamed(root, "longname");
  EXPECT_EQ(dotConceptId(node), "block");
  EXPECT_EQ(dotLabel(node), "one two");
  EXPECT_EQ(dotPosX(node), "27");
  EXPECT_EQ(dotPosY(node), "18");
  EXPECT_EQ(dotWidth(node), "1.5");
  EXPECT_EQ(dotLast(node), "end main");

  const xml::NodeList edges = dotEdges(root);
  ASSERT_EQ(edges.size(), 1u);
  EXPECT_EQ(dotColor(edges[0]), "green");
  EXPECT_EQ(dotTip(edges[0]), "true");
  EXPECT_EQ(dotDir(edges[0]), "back");
  EXPECT_EQ(dotTailLabel(edges[0]), "xy");
  EXPECT_EQ(dotFrom(edges[0]), "p");  // up to the escape, as unbroken "p\"q" reads
  EXPECT_EQ(dotTo(edges[0]), "r");
  EXPECT_EQ(dotAttribute(edges[0], "headlabel"), "h\"i");
  EXPECT_EQ(dotPosY(edges[0]), "1,2 3,4");
}

// An empty quoted value reads as empty text, not as its opening quote.
TEST(LayoutQueries, ReadEmptyQuotedValuesAsEmpty) {
  Layout layout;
  loadText(layout, 
      "digraph G { graph [parent=\"\", bb=\"\"];\n"
      "  n [label=\"\", CONCEPTID=\"\", pos=\"\", width=\"\", zarnlast=\"\"];\n"
      "  n -> m [color=\"\", tip=\"\", taillabel=\"\"];\n}\n");
  ASSERT_TRUE(layout.doc);
  const xml::Node root = layout.root();
  const xml::Node node = nodeNamed(root, "n");
  EXPECT_EQ(dotLabel(node), "");
  EXPECT_EQ(dotConceptId(node), "");
  EXPECT_EQ(dotPosX(node), "");
  EXPECT_EQ(dotPosY(node), "");
  EXPECT_EQ(dotWidth(node), "");
  EXPECT_EQ(dotLast(node), "");
  const xml::Node edge = dotEdges(root).at(0);
  EXPECT_EQ(dotColor(edge), "");
  EXPECT_EQ(dotTip(edge), "");
  EXPECT_EQ(dotTailLabel(edge), "");
  EXPECT_EQ(dotParent(root), "");
  EXPECT_DOUBLE_EQ(dotGraphRight(root), 0.0);
}

TEST(LayoutQueries, GiveZeroAndEmptyTextWithoutBoundingBoxOrPosition) {
  Layout layout;
  loadText(layout, "digraph G { a; b [label=x]; a -> b; }");
  ASSERT_TRUE(layout.doc);
  const xml::Node root = layout.root();
  EXPECT_DOUBLE_EQ(dotGraphRight(root), 0.0);
  EXPECT_DOUBLE_EQ(dotGraphTop(root), 0.0);
  EXPECT_TRUE(dotTryClusters(root).empty());
  EXPECT_EQ(dotParent(root), "");
  for (const xml::Node& node : dotNodes(root)) {
    EXPECT_EQ(dotPosX(node), "");
    EXPECT_DOUBLE_EQ(layoutNumber(dotPosY(node)), 0.0);
    EXPECT_EQ(dotWidth(node), "");
  }
  EXPECT_EQ(dotPosX(dotEdges(root).at(0)), "");
}

TEST(LayoutQueries, ThrowWithoutADocument) {
  EXPECT_THROW(dotNodes(xml::Node()), xml::Error);
  EXPECT_THROW(dotLabel(xml::Node()), xml::Error);
  EXPECT_THROW(dotGraphTop(xml::Node()), xml::Error);
}

// A layout that does not parse gives no document, and the tree of an
// earlier layout in the same folder is gone rather than read in its place.
TEST(LoadLayout, GivesNoDocumentForLayoutsThatDoNotParse) {
  TempDir dir;
  const std::string tree = layoutTreePath(dir.path().string());
  const std::string status = layoutStatusPath(dir.path().string());
  EXPECT_EQ(tree, dir.path().string() + "/out.xml");
  EXPECT_EQ(status, dir.path().string() + "/err.xml");

  writeFile(dir.file("good.dot"), "digraph G { a [label=A]; }");
  ASSERT_TRUE(loadLayout(dir.file("good.dot"), tree, status));
  ASSERT_TRUE(fileExists(tree));

  std::string binary;
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 7919 + 13) % 256);
  writeFile(dir.file("binary.dot"), binary);
  writeFile(dir.file("empty.dot"), "");
  writeFile(dir.file("broken.dot"), "digraph G {\n a -> ;\n}\n");
  writeFile(dir.file("unclosed.dot"), "digraph G {\n a [label=\"open\n");
  const struct {
    std::string path, status;
  } cases[] = {
      {dir.file("missing.dot"), ""},
      {dir.file("empty.dot"), "<ParseError line=\"1\"/>"},
      {dir.file("broken.dot"), "<ParseError line=\"2\"/>"},
      {dir.file("unclosed.dot"), "<ParseError line=\"3\"/>"},
      {dir.file("binary.dot"), ""},
      {dir.path().string(), ""},  // a folder
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    ASSERT_TRUE(loadLayout(dir.file("good.dot"), tree, status));
    EXPECT_FALSE(loadLayout(c.path, tree, status));
    EXPECT_FALSE(fileExists(tree));
    if (!c.status.empty()) {
      EXPECT_EQ(readFile(status), c.status);
    }
  }
}

// Nesting far deeper than a recursive reader could follow.
TEST(LoadLayout, ReadsDeeplyNestedSubgraphs) {
  const int depth = 50000;
  std::string text = "digraph G {";
  for (int i = 0; i < depth; ++i) text += "{";
  text += "deep [label=\"bottom\"]";
  for (int i = 0; i < depth; ++i) text += "}";
  text += "}";
  Layout layout;
  loadText(layout, text);
  ASSERT_TRUE(layout.doc);
  const xml::NodeList nodes = dotNodes(layout.root());
  ASSERT_EQ(nodes.size(), 1u);
  EXPECT_EQ(dotLabel(nodes[0]), "bottom");
}

// The attribute queries walk the tree instead of evaluating their paths;
// on every statement of real layouts they must read what the paths read.
namespace reference {

std::string valueOf(const std::string& name) {
  return "attr_list/a_list[id/child::*[@t=\"" + name + "\"]]/id[2]";
}

std::string fallbackText(const xml::Node& found) {
  if (!found) return {};
  const std::string owner = found.parent().name();
  if (owner == "STR_ST" || owner == "STR_END") return {};
  return found.value();
}

std::string joinPieces(const xml::NodeList& pieces) {
  std::string out;
  for (const xml::Node& piece : pieces) {
    const std::string text = piece.value();
    if (text == "\\\n") continue;
    out += text == "\\\"" ? std::string("\"") : text;
  }
  return out;
}

std::string firstPiece(const xml::Node& found) {
  const xml::Node value = found.parent().parent();
  const std::string first = found.value();
  if (first.find('\\') == std::string::npos && value.countNodes("STR_CON[2]") == 0) return first;
  std::string out;
  for (const xml::Node& piece : value.selectNodes("STR_CON/@t")) {
    const std::string text = piece.value();
    if (text == "\\\n") continue;
    if (!text.empty() && text[0] == '\\') {
      if (out.empty()) out = text;
      break;
    }
    out += text;
  }
  return out;
}

std::string singleAt(const xml::Node& context, const std::string& value) {
  const xml::Node found = context.selectSingleNode(value + "/STR_CON/@t");
  if (found) return firstPiece(found);
  return fallbackText(context.selectSingleNode(value + "/child::*/@t"));
}

std::string single(const xml::Node& context, const std::string& name) { return singleAt(context, valueOf(name)); }

std::string joined(const xml::Node& context, const std::string& name) {
  std::string text = joinPieces(context.selectNodes(valueOf(name) + "/STR_CON/@t"));
  if (!text.empty()) return text;
  return fallbackText(context.selectSingleNode(valueOf(name) + "/child::*/@t"));
}

std::string presentPieces(const xml::Node& context, const std::string& name) {
  const xml::Node quoted = context.selectSingleNode(valueOf(name) + "[STR_CON]");
  if (quoted) return joinPieces(quoted.selectNodes("STR_CON/@t"));
  return fallbackText(context.selectSingleNode(valueOf(name) + "/child::*/@t"));
}

std::string unquoted(std::string text) {
  if (text.empty() || text[0] != '"') return text;
  return text.size() < 2 ? std::string() : text.substr(1, text.size() - 2);
}

}  // namespace reference

TEST(LayoutQueries, AttributeReadsAgreeWithTheirPaths) {
  const std::string layouts[] = {"dot/flowchart.layout.dot", "dot/sequence.layout.dot",
                                 "dot/grammar_cases.dot",    "dot/scanner_cases.dot",
                                 "dot/small_graph.dot",      "render/flowchart/method.tmp",
                                 "render/flowchart/n.6.tmp", "render/sequence/calls.tmp"};
  size_t compared = 0;
  for (const std::string& name : layouts) {
    SCOPED_TRACE(name);
    Layout layout;
    loadFile(layout, fixture(name).string());
    ASSERT_TRUE(layout.doc);
    // Every attribute name the layout uses, and one it does not.
    std::set<std::string> names = {"no-such-attribute"};
    for (const xml::Node& id : layout.root().selectNodes("//a_list/id[1]/child::*/@t")) names.insert(id.value());
    xml::NodeList statements = dotNodes(layout.root());
    for (const xml::Node& edge : dotEdges(layout.root())) statements.push_back(edge);
    for (const xml::Node& statement : statements) {
      for (const std::string& attribute : names) {
        ASSERT_EQ(dotAttribute(statement, attribute), reference::joined(statement, attribute)) << attribute;
        ++compared;
      }
      EXPECT_EQ(dotLabel(statement), reference::joined(statement, "label"));
      EXPECT_EQ(dotTailLabel(statement), reference::joined(statement, "taillabel"));
      EXPECT_EQ(dotTip(statement), reference::single(statement, "tip"));
      EXPECT_EQ(dotLast(statement), reference::single(statement, "zarnlast"));
      EXPECT_EQ(dotFrom(statement), reference::single(statement, "zarnfrom"));
      EXPECT_EQ(dotTo(statement), reference::single(statement, "zarnto"));
      EXPECT_EQ(dotWidth(statement), reference::unquoted(reference::single(statement, "width")));
      EXPECT_EQ(dotHeight(statement), reference::unquoted(reference::single(statement, "height")));
      EXPECT_EQ(dotDir(statement), reference::unquoted(reference::single(statement, "dir")));
      const std::string pos = reference::single(statement, "pos");
      EXPECT_EQ(dotPosY(statement), pos.find(',') == std::string::npos ? "" : pos.substr(pos.find(',') + 1));
      EXPECT_EQ(dotConceptId(statement), reference::presentPieces(statement, "CONCEPTID"));
      EXPECT_EQ(dotNodeId(statement), reference::singleAt(statement, "node_id/id"));
      EXPECT_EQ(dotTail(statement), reference::singleAt(statement, "nod_subgrp/node_id/id"));
      EXPECT_EQ(dotHead(statement), reference::singleAt(statement, "edgerhs/nod_subgrp/node_id/id"));
      EXPECT_EQ(dotColor(statement), reference::presentPieces(statement, "color"));
    }
  }
  EXPECT_GT(compared, 500u);
}

}  // namespace
