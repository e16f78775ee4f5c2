// flowchart draw on shipped sources: unfolded, a drawing has one shape of
// the right master for every node of the method's control-flow graph (the
// graph -o OUT.json writes) and one connector for every edge; folded, every
// link leads to a page of the drawing; and whole drawings stay as they are.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

#include "xml/document.h"
#include "tests/cli/cli_run.h"

using testing_support::fixture;
using testing_support::readFile;
using testing_support::TempDir;

namespace {

// The master each node kind of the JSON graph is drawn with.
std::string masterForKind(const std::string& kind) {
  static const std::map<std::string, std::string> kMasters = {
      {"start", "Start"},         {"end", "End"},         {"exit", "Exit"},         {"statement", "Statement"},
      {"decision", "Decision"},   {"switch", "Switch"},   {"return", "Return"},     {"throw", "Throw"},
      {"break", "Jump"},          {"continue", "Jump"},   {"yield", "Jump"},        {"try", "Try"},
      {"catch", "Catch"},         {"finally", "Finally"}, {"resources", "Resources"},
      {"synchronized", "Synchronized"}, {"join", "Join"}};
  return kMasters.at(kind);
}

// Counts of each "kind" value in a part of the JSON text.
std::map<std::string, size_t> kindCounts(std::string_view json) {
  std::map<std::string, size_t> counts;
  const std::string key = "\"kind\": \"";
  for (size_t at = json.find(key); at != std::string_view::npos; at = json.find(key, at + 1)) {
    const size_t begin = at + key.size();
    ++counts[std::string(json.substr(begin, json.find('"', begin) - begin))];
  }
  return counts;
}

void checkDrawingShowsTheGraph(const std::string& source, const std::string& method) {
  SCOPED_TRACE(source + " " + method);
  TempDir out;
  const auto graph = runFlowchart({"draw", source, method, "-o", out.file("g.json")});
  ASSERT_EQ(graph.exitCode, 0) << graph.err;
  const auto drawn = runFlowchart({"draw", source, method, "--fold", "none", "-o", out.file("d.svg")});
  ASSERT_EQ(drawn.exitCode, 0) << drawn.err;
  const std::string json = readFile(out.file("g.json"));
  const size_t edgesAt = json.find("\"edges\":");
  ASSERT_NE(edgesAt, std::string::npos);
  std::map<std::string, size_t> expected;
  for (const auto& [kind, count] : kindCounts(std::string_view(json).substr(0, edgesAt)))
    expected[masterForKind(kind)] += count;
  const std::map<std::string, size_t> edgeKinds = kindCounts(std::string_view(json).substr(edgesAt));
  size_t edges = 0;
  for (const auto& [kind, count] : edgeKinds) edges += count;

  auto svg = xml::Document::loadFile(out.file("d.svg"));
  ASSERT_TRUE(svg);
  std::map<std::string, size_t> masters;
  std::map<std::string, size_t> connectors;
  for (const xml::Node& shape : svg->root().selectNodes("//*[@class='shape']")) {
    const std::string master = attr(shape, "data-master");
    if (master != "Frame" && master != "Comment") ++masters[master];
  }
  for (const xml::Node& connector : svg->root().selectNodes("//*[@class='connector']"))
    if (attr(connector, "data-master") != "Comment Link") ++connectors[attr(connector, "data-master")];
  EXPECT_EQ(masters, expected);
  size_t drawnEdges = 0;
  for (const auto& [master, count] : connectors) drawnEdges += count;
  EXPECT_EQ(drawnEdges, edges);
  EXPECT_EQ(connectors["Exception Flow"], edgeKinds.count("exception") ? edgeKinds.at("exception") : 0);
  EXPECT_EQ(connectors["True Flow"], edgeKinds.count("true") ? edgeKinds.at("true") : 0);
}

TEST(DrawCommand, DrawingsShowEveryNodeAndEdgeOfTheGraph) {
  const std::string inventory = fixture("examples/java/Inventory.java").string();
  for (const char* method : {"Inventory", "add", "take", "itemsToReorder", "total", "describe", "parseAmount",
                             "drain", "render"})
    checkDrawingShowsTheGraph(inventory, method);
  const std::string loops = fixture("flowchart/Loops.java").string();
  for (const char* method : {"forLoop", "whileLoop", "forEach", "doWhile"}) checkDrawingShowsTheGraph(loops, method);
  const std::string guarded = fixture("flowchart/Guarded.java").string();
  for (const char* method : {"oneCatch", "twoCatches", "finallyOnly", "tryInTry", "locked"})
    checkDrawingShowsTheGraph(guarded, method);
  checkDrawingShowsTheGraph(fixture("examples/java/Checkout.java").string(), "total");
}

// Draws with the arguments given as the drawing's XML, read back; null,
// with the failure said, when the draw fails.
std::unique_ptr<xml::Document> drawnXml(const TempDir& out, std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "draw");
  arguments.insert(arguments.end(), {"-o", out.file("d.xml")});
  const auto run = runFlowchart(arguments);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  return run.exitCode == 0 ? xml::Document::loadFile(out.file("d.xml")) : nullptr;
}

// Folded, every folded box and off-page connector links to a page of the
// drawing, and every page but the first is linked from somewhere.
TEST(DrawCommand, FoldedPagesAreLinkedBothWays) {
  TempDir out;
  const std::string source = fixture("examples/java/Checkout.java").string();
  const std::unique_ptr<xml::Document> drawing = drawnXml(out, {source, "total", "--fold", "all"});
  ASSERT_TRUE(drawing);
  std::set<std::string> pages, linked;
  for (const xml::Node& page : drawing->root().selectNodes("/drawing/page")) pages.insert(attr(page, "name"));
  for (const xml::Node& link : drawing->root().selectNodes("//shape/hyperlink")) {
    EXPECT_TRUE(pages.count(attr(link, "subAddress"))) << attr(link, "subAddress");
    linked.insert(attr(link, "subAddress"));
  }
  EXPECT_GE(pages.size(), 4u);
  for (const std::string& page : pages)
    if (page != "total") EXPECT_TRUE(linked.count(page)) << page << " is linked from nowhere";
  // Folded boxes say what they hold.
  EXPECT_NE(readFile(out.file("d.xml")).find("for body \xC2\xB7 10 statements \xC2\xB7 L21\xE2\x80\x93L35"),
            std::string::npos);
}

// A construct inside a finally clause is drawn once for each way the clause
// goes on; each copy's page says which it is.
TEST(DrawCommand, CopiedConstructsSayWhichCopyTheyAre) {
  TempDir out;
  testing_support::writeFile(out.file("Copies.java"),
                             "class Copies {\n  int run(int x) {\n    try {\n      if (x > 0) return 1;\n"
                             "      x++;\n    } finally {\n      try {\n        log(x);\n        flush(x);\n"
                             "      } catch (RuntimeException e) {\n        x--;\n      }\n    }\n"
                             "    return x;\n  }\n}\n");
  const auto run = runFlowchart({"draw", out.file("Copies.java"), "run", "--fold", "all", "-o", out.file("d.dot")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::vector<std::string> tries;
  const std::string dot = readFile(out.file("d.dot"));
  const std::string mark = "// page: try \xC2\xB7 L7";
  for (size_t at = dot.find(mark); at != std::string::npos; at = dot.find(mark, at + 1))
    tries.push_back(dot.substr(at + 9, dot.find('\n', at) - at - 9));
  EXPECT_EQ(tries, (std::vector<std::string>{"try \xC2\xB7 L7 \xC2\xB7 in finally (then return)",
                                             "try \xC2\xB7 L7 \xC2\xB7 in finally (then rethrow)",
                                             "try \xC2\xB7 L7 \xC2\xB7 in finally"}));
}

// A comment is drawn beside the statement whose line it ends, else the one
// it precedes in its block, else (closing the block) the block's last one.
TEST(DrawCommand, CommentsSitBesideTheirStatements) {
  TempDir out;
  testing_support::writeFile(out.file("Notes.java"),
                             "class Notes {\n  int run(int x) {\n    int y = 0; // starts empty\n"
                             "    for (int i = 0; i < x; i++) {\n      // doubled first\n      y += 2 * i;\n"
                             "      if (y > 100) break;\n      // then the loop goes on\n    }\n"
                             "    return y;\n  }\n}\n");
  const auto run = runFlowchart({"draw", out.file("Notes.java"), "run", "-o", out.file("d.dot")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string dot = readFile(out.file("d.dot"));
  auto labelOf = [&](const std::string& node) {
    const size_t at = dot.find("  " + node + " [");
    const size_t begin = dot.find("label=\"", at) + 7;
    return dot.substr(begin, dot.find('"', begin) - begin);
  };
  std::map<std::string, std::string> beside;  // comment -> statement
  const std::string mark = "{ rank=same; ";
  for (size_t at = dot.find(mark); at != std::string::npos; at = dot.find(mark, at + 1)) {
    const size_t first = at + mark.size(), semi = dot.find(';', first);
    const std::string box = dot.substr(first, semi - first);
    const std::string comment = dot.substr(semi + 2, dot.find(';', semi + 2) - semi - 2);
    beside[labelOf(comment)] = labelOf(box);
  }
  EXPECT_EQ(beside, (std::map<std::string, std::string>{{"// starts empty", "int y = 0;"},
                                                        {"// doubled first", "y += 2 * i;"},
                                                        {"// then the loop goes on", "if (y > 100)"}}));
}

// A switch of 70 case groups, too wide for one page side by side, folds
// into runs (and runs of runs) of case groups in source order: no page is wider than the
// limit (24 inches and the page's margins), and every case group is drawn
// once, on a page reached by links from the method's first page.
TEST(DrawCommand, WideSwitchesFoldByRunsOfCaseGroups) {
  TempDir out;
  std::string java = "class Wide {\n  static String name(int c) {\n    switch (c) {\n";
  for (int k = 0; k < 70; ++k)
    java += "      case " + std::to_string(k) + ": return \"value number " + std::to_string(k) + "\";\n";
  java += "      default: return null;\n    }\n  }\n}\n";
  testing_support::writeFile(out.file("Wide.java"), java);
  const std::unique_ptr<xml::Document> drawing = drawnXml(out, {out.file("Wide.java"), "name"});
  ASSERT_TRUE(drawing);
  std::vector<std::string> order;
  std::map<std::string, std::set<std::string>> links;  // page -> pages it links to
  std::map<std::string, std::string> pageOf;           // return statement -> its page
  std::map<std::string, int> drawn;
  for (const xml::Node& page : drawing->root().selectNodes("/drawing/page")) {
    const std::string name = attr(page, "name");
    order.push_back(name);
    EXPECT_LE(std::stod(attr(page, "width")), 24.5) << name;
    for (const xml::Node& link : page.selectNodes(".//hyperlink")) links[name].insert(attr(link, "subAddress"));
    for (const xml::Node& shape : page.selectNodes("shape[@master='Return']")) {
      ++drawn[attr(shape, "text")];
      pageOf[attr(shape, "text")] = name;
    }
  }
  ASSERT_GT(order.size(), 1u);
  std::set<std::string> reached{order.front()};
  for (std::vector<std::string> todo{order.front()}; !todo.empty();) {
    const std::string page = todo.back();
    todo.pop_back();
    for (const std::string& to : links[page])
      if (reached.insert(to).second) todo.push_back(to);
  }
  ptrdiff_t previousPage = 0;
  for (int k = 0; k < 70; ++k) {
    const std::string text = "return \"value number " + std::to_string(k) + "\"";
    EXPECT_EQ(drawn[text], 1) << text;
    EXPECT_TRUE(reached.count(pageOf[text])) << text;
    // Runs hold case groups in the source's order.
    const ptrdiff_t page = std::find(order.begin(), order.end(), pageOf[text]) - order.begin();
    EXPECT_GE(page, previousPage) << text;
    previousPage = page;
  }
  EXPECT_GT(previousPage, 1) << "the case groups were not folded";
}

// A long run of loops, each with a comment, stays on one page within the
// width: drawn side by side, the main line would step aside at each loop's
// exit, 31 inches across for fourteen of them.
TEST(DrawCommand, ARunOfLoopsStaysWithinThePageWidth) {
  TempDir out;
  std::string java = "class Steps {\n  static int run(int[] a, int[] b, String s) {\n    int total = 0;\n";
  for (int k = 0; k < 14; ++k) {
    const std::string i = "i" + std::to_string(k);
    java += "    // step " + std::to_string(k) + ": adds the values of the array and checks each of them on the way\n";
    java += "    for (int " + i + " = 0; " + i + " < a.length; " + i + "++) total += a[" + i + "] * " +
            std::to_string(k + 1) + " + b[" + i + " % b.length] + s.length();\n";
  }
  java += "    return total;\n  }\n}\n";
  testing_support::writeFile(out.file("Steps.java"), java);
  const std::unique_ptr<xml::Document> drawing = drawnXml(out, {out.file("Steps.java"), "run"});
  ASSERT_TRUE(drawing);
  const std::vector<xml::Node> pages = drawing->root().selectNodes("/drawing/page");
  ASSERT_FALSE(pages.empty());
  for (const xml::Node& page : pages) EXPECT_LE(std::stod(attr(page, "width")), 24.0) << attr(page, "name");
  EXPECT_EQ(pages.front().selectNodes("shape[@master='Decision']").size(), 14u);
  EXPECT_EQ(pages.front().selectNodes("shape[@master='Comment']").size(), 14u);
}

// 6,000 statements in a row have nothing to fold: their Markdown cuts the
// one page into parts in order, each block under GitHub's limits, each
// statement's box in one, each part's connectors naming the next and the
// one before.
TEST(DrawCommand, MarkdownCutsARunTooLongForOneDiagramIntoParts) {
  TempDir dir;
  std::string body;
  for (int i = 0; i < 6000; ++i) body += "    total += " + std::to_string(i) + ";\n";
  testing_support::writeFile(dir.file("Plain.java"),
                             "class Plain {\n  int run() {\n    int total = 0;\n" + body + "    return total;\n  }\n}\n");
  const auto draw = runFlowchart({"draw", "Plain.java", "run", "-o", "plain.md"}, dir.path());
  ASSERT_EQ(draw.exitCode, 0) << draw.err;
  EXPECT_EQ(draw.out, "plain.md: Plain.run, 3 diagrams\n");
  const std::string md = readFile(dir.path() / "plain.md");
  EXPECT_NE(md.find("Too large for one diagram: 3 diagrams, a run too long for one cut into parts.\n\n```mermaid\n"),
            std::string::npos);
  std::vector<std::string> blocks;
  for (size_t at = md.find("```mermaid\n"); at != std::string::npos; at = md.find("```mermaid\n", at + 1))
    blocks.push_back(md.substr(at, md.find("```\n", at + 11) - at));
  ASSERT_EQ(blocks.size(), 3u);
  for (size_t b = 0; b < blocks.size(); ++b) {
    size_t edges = 0;
    for (size_t at = blocks[b].find(" --> "); at != std::string::npos; at = blocks[b].find(" --> ", at + 1)) ++edges;
    EXPECT_LT(blocks[b].size(), 50000u) << b;
    EXPECT_LT(edges, 500u) << b;
    const std::string next = "([\"to run (part " + std::to_string(b + 2) + " of 3)<br>L";
    EXPECT_EQ(blocks[b].find(next) != std::string::npos, b < 2) << b;
    const std::string previous = "([\"from run (part " + std::to_string(b) + " of 3)<br>L";
    EXPECT_EQ(blocks[b].find(previous) != std::string::npos, b > 0) << b;
  }
  EXPECT_NE(md.find("### run (part 3 of 3)\n"), std::string::npos);
  EXPECT_NE(md.find("Opens: [run (part 2 of 3)](#m1-2)\n"), std::string::npos);
  for (int i = 0; i < 6000; ++i) {
    const std::string statement = "total += " + std::to_string(i) + ";";
    const size_t in = static_cast<size_t>(std::count_if(blocks.begin(), blocks.end(), [&](const std::string& block) {
      return block.find(statement + "<br>") != std::string::npos || block.find(statement + "\"]\n") != std::string::npos;
    }));
    EXPECT_EQ(in, 1u) << statement;
  }
}

// Whole drawings of the shipped examples, as SVG.  FLOWCHART_UPDATE_DRAWINGS=1
// writes them anew from what the command draws now.
TEST(DrawCommand, WholeDrawingsOfTheShippedExamples) {
  struct Case {
    const char* source;
    const char* method;
    const char* fold;
    const char* expected;
  };
  const Case cases[] = {
      {"examples/java/Checkout.java", "total", "auto", "Checkout.total.svg"},
      {"examples/java/Checkout.java", "total", "all", "Checkout.total.folded.svg"},
      {"examples/java/Inventory.java", "describe", "auto", "Inventory.describe.svg"},
      {"flowchart/Guarded.java", "tryInTry", "auto", "Guarded.tryInTry.svg"},
      {"flowchart/Loops.java", "doWhile", "auto", "Loops.doWhile.svg"},
  };
  const bool update = std::getenv("FLOWCHART_UPDATE_DRAWINGS") != nullptr;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    TempDir out;
    const auto run = runFlowchart({"draw", fixture(c.source).string(), c.method, "--fold", c.fold, "-o",
                                   out.file("d.svg")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string drawn = readFile(out.file("d.svg"));
    const std::filesystem::path expected = fixture("examples/drawings") / c.expected;
    if (update) testing_support::writeFile(expected.string(), drawn);
    EXPECT_EQ(drawn, readFile(expected.string()));
  }
}

}  // namespace

namespace {

TEST(ListCommand, TableAndJson) {
  const std::string source = fixture("examples/java/Checkout.java").string();
  const auto table = runFlowchart({"list", source});
  EXPECT_EQ(table.exitCode, 0);
  EXPECT_EQ(table.out, source + ": 1 class, 3 methods; NLOC 54, Halstead volume 1977\n"
                                "LINES         NLOC   CC  COG     HV  NAME\n"
                                "9-65            52                   class Checkout\n"
                                "13-16            4    1    0     90    Checkout.Checkout(List<String>, int)\n"
                                "19-57           38   10   10   1351    Checkout.total(String[], int[], int[], String)\n"
                                "59-64            6    3    2    160    Checkout.charge(String, int)\n");
  const auto json = runFlowchart({"list", source, "--json"});
  EXPECT_EQ(json.exitCode, 0);
  EXPECT_NE(json.out.find("\"halsteadVolume\":1976."), std::string::npos);
  // The cyclomatic complexity as checkstyle counts it (no else, no
  // switch, no default), the cognitive complexity, and Halstead with log2.
  EXPECT_NE(json.out.find("{\"class\":\"Checkout\",\"classLine\":9,\"name\":\"total\",\"signature\":"
                          "\"public int total ( String [] items , int [] prices , int [] quantities , "
                          "String payment )\",\"line\":19,\"endLine\":57,\"nloc\":38,\"body\":true,"
                          "\"complexity\":10,\"cognitive\":10,\"halsteadVolume\":1351.21,\"halstead\":{"
                          "\"length\":219,\"vocabulary\":72,\"volume\":1351.21,\"difficulty\":46.51,"
                          "\"effort\":62850.73},\"commentLines\":1}"),
            std::string::npos)
      << json.out;
}

TEST(DrawCommand, EveryMethodOfAFileInOnePage) {
  TempDir dir;
  testing_support::writeFile(dir.file("Split.java"),
                             "class Split {\n  public static\n  void main(String[] args) {\n"
                             "    if (args.length > 0) run(args[0]);\n  }\n"
                             "  static void run(String s) { System.out.println(s); }\n}\n");
  const auto run = runFlowchart({"draw", "Split.java"}, dir.path());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "Split.html: 2 of 2 methods drawn\n");
  const std::string page = readFile(dir.path() / "Split.html");
  // The index links to each method's first page; a method whose modifiers
  // stand on a line of their own is drawn too.
  EXPECT_NE(page.find("<a href=\"#m1-page-1\">Split.main(String[])</a>"), std::string::npos);
  EXPECT_NE(page.find("<a href=\"#m2-page-1\">Split.run(String)</a>"), std::string::npos);
  // A method is one page; the legend is there once.
  EXPECT_EQ(page.find("id=\"m1-page-2\""), std::string::npos);
  EXPECT_NE(page.find("data-name=\"b1\""), std::string::npos);
  EXPECT_EQ(page.find("<details class=\"legend\">"), page.rfind("<details class=\"legend\">"));

  const auto one = runFlowchart({"draw", "Split.java", "main"}, dir.path());
  EXPECT_EQ(one.exitCode, 0);
  EXPECT_EQ(one.out, "Split.main.html: Split.main, 1 page\n");
}

}  // namespace

namespace {

// The pictures keep a source's text as written, in UTF-8 or ISO-8859-1.
TEST(DrawCommand, KeepsTheSourcesEncoding) {
  TempDir dir;
  const std::string utf8 = "class T {\n  void f() {\n    say(\"Gr\xC3\xB6\xC3\x9F" "e\");\n  }\n}\n";
  const std::string latin1 = "class T {\n  void f() {\n    say(\"Gr\xF6\xDF" "e\");\n  }\n}\n";
  for (const auto& [source, charset, text] :
       std::vector<std::tuple<std::string, std::string, std::string>>{
           {utf8, "UTF-8", "Gr\xC3\xB6\xC3\x9F" "e"}, {latin1, "ISO-8859-1", "Gr\xF6\xDF" "e"}}) {
    testing_support::writeFile(dir.file("T.java"), source);
    ASSERT_EQ(runFlowchart({"draw", "T.java", "f", "-o", "f.html"}, dir.path()).exitCode, 0);
    const std::string page = readFile(dir.path() / "f.html");
    EXPECT_NE(page.find("<meta charset=\"" + charset + "\">"), std::string::npos) << charset;
    EXPECT_NE(page.find("say(&quot;" + text + "&quot;);</tspan>"), std::string::npos) << charset;
  }
}

// A method of an ISO-8859-1 source is named as typed in a UTF-8 terminal;
// a default file name too long for the file system is cut and given a
// hash, as batch names its pages.
TEST(DrawCommand, NamesAsTypedAndDefaultNamesThatFit) {
  TempDir dir;
  testing_support::writeFile(dir.file("L.java"), "class L {\n  int caf\xE9(int a) { return a; }\n}\n");
  const auto cafe = runFlowchart({"draw", "L.java", "caf\xC3\xA9"}, dir.path());
  EXPECT_EQ(cafe.exitCode, 0) << cafe.err;
  EXPECT_EQ(cafe.out, "L.caf\xC3\xA9.html: L.caf\xC3\xA9, 1 page\n");
  const auto typed = runFlowchart({"draw", "L.java", "L.caf\xC3\xA9(int):2", "-o", "c.svg"}, dir.path());
  EXPECT_EQ(typed.exitCode, 0) << typed.err;
  const auto wrong = runFlowchart({"draw", "L.java", "caf\xC3\xA9:9"}, dir.path());
  EXPECT_EQ(wrong.exitCode, 2);
  EXPECT_EQ(wrong.err, "L.java: no method 'caf\xC3\xA9' at line 9; the methods named caf\xC3\xA9 are:\n  L.caf\xC3\xA9(int):2\n");

  const std::string longName(300, 'n');
  testing_support::writeFile(dir.file("Long.java"), "class Long {\n  void " + longName + "() { }\n}\n");
  const auto drawn = runFlowchart({"draw", "Long.java", longName}, dir.path());
  EXPECT_EQ(drawn.exitCode, 0) << drawn.err;
  const std::string file = drawn.out.substr(0, drawn.out.find(':'));
  EXPECT_EQ(file.rfind("Long." + std::string(115, 'n') + "~", 0), 0u) << file;
  EXPECT_EQ(file.size(), 120 + 1 + 8 + 5);
  EXPECT_EQ(drawn.out, file + ": Long." + longName + ", 1 page\n");
  EXPECT_TRUE(std::filesystem::exists(dir.path() / file));
}

// Without -o, overloads are written to files of their own, named as batch
// names their pages, and drawing one again says it replaces its file; a
// page's title and heading name the method with its parameter types, its
// class and its file.
TEST(DrawCommand, OverloadsGetFilesOfTheirOwnAndPagesSayWhereTheyAre) {
  TempDir dir;
  testing_support::writeFile(dir.file("O.java"),
                             "class O {\n  int f(int a) { return g(a); }\n  int f(String s) { return g(1); }\n"
                             "  static class In { int g(int b) { return b; } }\n  int g(int c) { return c; }\n}\n");
  const std::string dot = " &#183; ";
  struct Case {
    std::vector<std::string> args;
    std::string out, file, title;
  };
  for (const Case& c : std::vector<Case>{
           {{"draw", "O.java", "f(int)"}, "O.f-L2.html: O.f, 1 page\n", "O.f-L2.html", "f(int)" + dot + "O" + dot + "O.java"},
           {{"draw", "O.java", "f(String)"}, "O.f-L3.html: O.f, 1 page\n", "O.f-L3.html",
            "f(String)" + dot + "O" + dot + "O.java"},
           {{"draw", "O.java", "O.g"}, "O.g.html: O.g, 1 page\n", "O.g.html", "g(int)" + dot + "O" + dot + "O.java"},
           {{"draw", "O.java", "In.g"}, "O.In.g.html: O.In.g, 1 page\n", "O.In.g.html",
            "g(int)" + dot + "O.In" + dot + "O.java"},
           {{"draw", "O.java", "f:2"}, "O.f-L2.html: O.f, 1 page (replacing the earlier drawing)\n", "O.f-L2.html",
            "f(int)" + dot + "O" + dot + "O.java"},
           {{"sequence", "O.java", "f(String)"}, "O.f-L3-sequence.html: O.f, 1 lifeline, 1 message\n",
            "O.f-L3-sequence.html", "f(String)" + dot + "O" + dot + "O.java" + dot + "sequence diagram"}}) {
    SCOPED_TRACE(c.out);
    const auto run = runFlowchart(c.args, dir.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, c.out);
    const std::string page = readFile(dir.path() / c.file);
    EXPECT_NE(page.find("<title>" + c.title + "</title>"), std::string::npos);
    EXPECT_NE(page.find("<h1>" + c.title + "</h1>"), std::string::npos);
  }
}

}  // namespace

namespace {

// Every name a command shows for a method (list's table and JSON, check's
// report, the candidates of an error, draw's JSON) is the same and is
// accepted back by draw and sequence: initialisers, methods of anonymous
// and local classes, two methods on one line.
TEST(MethodNames, EveryNameShownIsAcceptedBack) {
  TempDir dir;
  testing_support::writeFile(dir.file("Names.java"),
                             "import java.security.PrivilegedAction;\n"
                             "class Names {\n"
                             "  static int cache;\n"
                             "  static {\n    cache = 3;\n  }\n"
                             "  {\n    cache++;\n  }\n"
                             "  int run(int a) {\n"
                             "    PrivilegedAction<Integer> p = new PrivilegedAction<Integer>() {\n"
                             "      public Integer run() { return a; }\n"
                             "    };\n"
                             "    Comparable<String> c = new java.lang.Comparable<String>() {\n"
                             "      public int compareTo(String s) { return 0; }\n"
                             "    };\n"
                             "    class Local {\n      int twice(int y) { return y * 2; }\n    }\n"
                             "    return p.run() + new Local().twice(a);\n"
                             "  }\n"
                             "  static class Inner {\n"
                             "    static { cache = 4; }\n"
                             "    void run() { Runnable r = new Runnable() { public void run() { cache++; } }; r.run(); }\n"
                             "  }\n"
                             "}\n");
  const std::vector<std::string> expected = {
      "Names.static {}:4",     "Names.{}:7",
      "Names.run:10",          "Names.run.new PrivilegedAction.run:12",
      "Names.run.new java.lang.Comparable.compareTo:15",
      "Names.run.Local.twice:18",
      "Names.Inner.static {}:23",
      "Names.Inner.run:24",    "Names.Inner.run.new Runnable.run:24"};

  // list --json: "class" "." "name" ":" "line".
  const auto json = runFlowchart({"list", "--json", "Names.java"}, dir.path());
  ASSERT_EQ(json.exitCode, 0) << json.err;
  std::vector<std::string> listed;
  const std::string classKey = "{\"class\":\"", nameKey = "\"name\":\"", lineKey = "\"line\":";
  for (size_t at = json.out.find(classKey, json.out.find("\"methods\"")); at != std::string::npos;
       at = json.out.find(classKey, at + 1)) {
    const size_t cls = at + classKey.size();
    const size_t name = json.out.find(nameKey, cls) + nameKey.size();
    const size_t line = json.out.find(lineKey, name) + lineKey.size();
    listed.push_back(json.out.substr(cls, json.out.find('"', cls) - cls) + "." +
                     json.out.substr(name, json.out.find('"', name) - name) + ":" +
                     std::to_string(std::atoi(json.out.c_str() + line)));
  }
  EXPECT_EQ(listed, expected);

  // check's report: "FILE:LINE: NAME(TYPES): ...", the line its name's,
  // the method named as list's table names it.
  const auto check = runFlowchart({"check", "Names.java"}, dir.path());
  ASSERT_EQ(check.exitCode, 0) << check.err;
  std::vector<std::string> checked;
  for (size_t at = 0; at < check.out.size(); at = check.out.find('\n', at) + 1) {
    const size_t line = at + std::string("Names.java:").size();
    const size_t name = check.out.find(": ", line) + 2;
    checked.push_back(check.out.substr(name, check.out.find(": ", name) - name) + ":" +
                      check.out.substr(line, name - 2 - line));
  }
  EXPECT_EQ(checked, (std::vector<std::string>{
                         "Names.static {}:4", "Names.{}:7", "Names.run(int):10",
                         "Names.run.new PrivilegedAction.run():12",
                         "Names.run.new java.lang.Comparable.compareTo(String):15", "Names.run.Local.twice(int):18",
                         "Names.Inner.static {}:23", "Names.Inner.run():24", "Names.Inner.run.new Runnable.run():24"}));

  // The candidates of a name that names none: list's table's labels.
  const auto wrong = runFlowchart({"draw", "Names.java", "zzz"}, dir.path());
  EXPECT_EQ(wrong.exitCode, 2);
  EXPECT_EQ(wrong.err,
            "Names.java: no method 'zzz'; the methods are:\n  Names.static {}:4\n  Names.{}:7\n  Names.run(int):10\n"
            "  Names.run.new PrivilegedAction.run():12\n  Names.run.new java.lang.Comparable.compareTo(String):15\n"
            "  Names.run.Local.twice(int):18\n  Names.Inner.static {}:23\n  Names.Inner.run():24\n"
            "  Names.Inner.run.new Runnable.run():24\n");
  std::vector<std::string> candidates;
  for (size_t at = wrong.err.find("\n  "); at != std::string::npos; at = wrong.err.find("\n  ", at + 1))
    candidates.push_back(wrong.err.substr(at + 3, wrong.err.find('\n', at + 1) - at - 3));

  // Each name, and each candidate, draws its method, whose JSON names it so.
  std::vector<std::string> names = expected;
  names.insert(names.end(), candidates.begin(), candidates.end());
  for (size_t k = 0; k < names.size(); ++k) {
    SCOPED_TRACE(names[k]);
    const auto drawn = runFlowchart({"draw", "Names.java", names[k], "-o", "m.json"}, dir.path());
    ASSERT_EQ(drawn.exitCode, 0) << drawn.err;
    const std::string& shown = expected[k % expected.size()];
    const std::string name = shown.substr(0, shown.rfind(':'));
    const size_t dot = name.rfind('.');
    const std::string graph = readFile(dir.path() / "m.json");
    EXPECT_NE(graph.find("\"class\": \"" + name.substr(0, dot) + "\", \"method\": \"" + name.substr(dot + 1) + "\""),
              std::string::npos)
        << graph.substr(0, 200);
    EXPECT_EQ(drawn.out.rfind("m.json: " + name + ", ", 0), 0u) << drawn.out;
    // Of two methods named run on one line, each is drawn, not the first twice.
    if (name == "Names.Inner.run.new Runnable.run") EXPECT_NE(graph.find("\"text\": \"cache++;\""), std::string::npos);
    if (name == "Names.Inner.run") EXPECT_EQ(graph.find("\"text\": \"cache++;\""), std::string::npos);
  }
  // sequence takes the names too, and its notes name the methods so.
  for (const std::string& name : {"Names.static {}", "Names.Inner.run.new Runnable.run:24", "run.Local.twice"}) {
    const auto sequence = runFlowchart({"sequence", "Names.java", name, "-o", "s.svg"}, dir.path());
    EXPECT_EQ(sequence.exitCode, 0) << name << ": " << sequence.err;
    const std::string shown = name == "run.Local.twice" ? "Names.run.Local.twice" : name.substr(0, name.find(':'));
    EXPECT_NE(sequence.out.find("note: " + shown + " makes no calls."), std::string::npos) << sequence.out;
  }
  for (const std::string& output : {json.out, check.out, wrong.err}) EXPECT_EQ(output.find("#Block#"), std::string::npos);
}

// A single page carries the method's lines for its boxes and, with
// --editor, the editor's URL and the file's absolute path; an editor URL
// that could run script or names no line is refused as wrong usage.
TEST(DrawCommand, BoxesLeadToTheirSourceAndTheEditor) {
  TempDir out;
  const std::string source = fixture("examples/java/Checkout.java").string();
  const auto drawn = runFlowchart({"draw", source, "total", "--editor", "vscode://file/{path}:{line}", "-o",
                                   out.file("t.html")});
  ASSERT_EQ(drawn.exitCode, 0) << drawn.err;
  const std::string page = readFile(out.file("t.html"));
  EXPECT_NE(page.find("data-editor=\"vscode://file/{path}:{line}\" data-path=\"" + source + "\""),
            std::string::npos);
  // The panel's list starts at the method's first line and holds its lines.
  const size_t list = page.find("<aside class=\"source\"");
  ASSERT_NE(list, std::string::npos);
  const std::string text = readFile(source);
  size_t at = 0;
  for (int line = 1; line < 19; ++line) at = text.find('\n', at) + 1;
  EXPECT_NE(page.find("<ol start=\"19\">\n<li>" + text.substr(at, text.find('\n', at) - at) + "</li>", list),
            std::string::npos);
  for (const char* bad : {"javascript:alert(1)//{line}", "vscode://file/{path}", "no scheme {line}"}) {
    const auto refused = runFlowchart({"draw", source, "total", "--editor", bad, "-o", out.file("r.html")});
    EXPECT_EQ(refused.exitCode, 2) << bad;
    EXPECT_NE(refused.err.find("--editor takes a URL"), std::string::npos) << refused.err;
    EXPECT_FALSE(testing_support::fileExists(out.file("r.html")));
  }
}

}  // namespace
