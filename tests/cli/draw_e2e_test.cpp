// flowchart draw on shipped sources: the saved drawings have one shape of
// the right master for every block of the model the engine builds, one
// glued connector for every successor, and a linked page for every
// folded block.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "flowchart/xml/document.h"
#include "tests/cli/cli_run.h"

using testing_support::fixture;
using testing_support::readFile;
using testing_support::runEngine;
using testing_support::TempDir;

namespace {

// The master a block is drawn with, by the block's type and hints.
std::string expectedMaster(const xml::Node& block) {
  const std::string type = attr(block, "type");
  const bool complex = !block.selectSingleNode("hint[@id='NO_COND' and @value!='0']").isNull();
  static const std::map<std::string, std::string> kMasters = {
      {"start", "Start"}, {"end", "End"}, {"block", "Folded Block"}, {"switch", "Switch"},
      {"do", "Do"}, {"end-for", "End For"}, {"end-while", "End While"}, {"catch", "Try"},
      {"exception", "Catch"}, {"finally", "Finally"}, {"try", "Process"}, {"for", "For"}};
  if (type.empty()) return block.selectSingleNode("hint[@id='EXIT' and @value='RETURN']") ? "Return" : "Process";
  if (type == "if") return complex ? "Complex If" : "If";
  if (type == "while") return complex ? "Complex While" : "While";
  if (type == "dowhile") return complex ? "Complex Dowhile" : "Do While";
  return kMasters.at(type);
}

// Blocks that only hold a catch or finally clause are drawn as the group
// of what they hold.
bool isGroupOnly(const xml::Node& block) {
  const std::string type = attr(block, "type");
  return !block.selectSingleNode("blocks").isNull() && (type == "catchblock" || type.empty());
}

// The model the engine's own modes build for a method.
std::unique_ptr<xml::Document> engineModel(const std::string& source, const std::string& method, int line) {
  TempDir work;
  const std::string copy = work.file("Source.java");
  testing_support::writeFile(copy, readFile(source));
  EXPECT_EQ(runEngine({"7", copy, work.file("st.tmp"), work.file("cmt.xml"), work.file("status.xml"),
                       work.file("results.xml"), "1", "x"}).exitCode, 0);
  auto results = xml::Document::loadFile(work.file("results.xml"));
  const xml::Node func =
      results->root().selectSingleNode("//func[@name='" + method + "' and @sl='" + std::to_string(line) + "']");
  const xml::Node cls = func.parent();
  EXPECT_EQ(runEngine({"8", "x", work.path().string(), "x", attr(cls, "name"), attr(cls, "sl"), method,
                       std::to_string(line), "x", copy, work.file("cmt.xml"), "x"}).exitCode, 1);
  return xml::Document::loadFile(work.file("results.xml"));
}

void checkDrawingMatchesModel(const std::string& source, const std::string& method, int line) {
  SCOPED_TRACE(source + " " + method + ":" + std::to_string(line));
  TempDir out;
  const auto run = runFlowchart({"draw", source, method + ":" + std::to_string(line), "-o", out.file("d.xml")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  auto drawing = xml::Document::loadFile(out.file("d.xml"));
  ASSERT_TRUE(drawing);
  auto results = engineModel(source, method, line);
  const xml::Node model = results->root().selectSingleNode("//func/blocks");
  ASSERT_TRUE(model);

  std::map<std::string, std::string> masters;  // shape name to master, over all pages
  std::map<std::string, std::string> linkOf;   // folded block shape to its page
  std::set<std::string> pageNames;
  size_t connectors = 0, tryFrames = 0;
  for (const xml::Node& page : drawing->root().selectNodes("/drawing/page")) {
    pageNames.insert(attr(page, "name"));
    for (const xml::Node& shape : page.selectNodes("shape")) {
      const std::string master = attr(shape, "master");
      if (master == "Try Block") ++tryFrames;
      if (master == "Back" || master == "Try Block") continue;
      EXPECT_TRUE(masters.emplace(attr(shape, "name"), master).second) << "twice: " << attr(shape, "name");
      if (const xml::Node link = shape.selectSingleNode("hyperlink[@description='Open This Block']"))
        linkOf[attr(shape, "name")] = attr(link, "subAddress");
    }
    for (const xml::Node& connector : page.selectNodes("connector")) {
      ++connectors;
      EXPECT_FALSE(attr(connector.selectSingleNode("begin"), "shape").empty());
      EXPECT_FALSE(attr(connector.selectSingleNode("end"), "shape").empty());
    }
  }
  size_t blocks = 0, tries = 0;
  for (const xml::Node& block : model.selectNodes("descendant-or-self::block")) {
    if (attr(block, "type") == "try") ++tries;
    if (isGroupOnly(block)) continue;
    ++blocks;
    const std::string name = "b." + attr(block, "id");
    ASSERT_TRUE(masters.count(name)) << "no shape for block " << name;
    EXPECT_EQ(masters[name], expectedMaster(block)) << name;
    if (attr(block, "type") == "block") {
      ASSERT_TRUE(linkOf.count(name)) << name << " has no link";
      EXPECT_TRUE(pageNames.count(linkOf[name])) << name << " links to a missing page";
    }
  }
  EXPECT_EQ(masters.size(), blocks);
  EXPECT_EQ(connectors, model.countNodes("descendant::successor"));
  EXPECT_EQ(tryFrames, tries);
  EXPECT_EQ(pageNames.size(), 1 + model.countNodes("descendant::block[@type='block']"));
}

TEST(DrawCommand, DrawingsMatchTheModels) {
  const std::string inventory = fixture("examples/java/Inventory.java").string();
  for (const auto& [method, line] : std::vector<std::pair<std::string, int>>{
           {"Inventory", 16}, {"add", 24}, {"take", 34}, {"itemsToReorder", 44}, {"total", 55},
           {"describe", 63}, {"parseAmount", 78}, {"drain", 91}, {"render", 110}})
    checkDrawingMatchesModel(inventory, method, line);
  const std::string loops = fixture("flowchart/Loops.java").string();
  for (const auto& [method, line] : std::vector<std::pair<std::string, int>>{
           {"forLoop", 2}, {"whileLoop", 12}, {"forEach", 18}, {"doWhile", 34}})
    checkDrawingMatchesModel(loops, method, line);
  const std::string guarded = fixture("flowchart/Guarded.java").string();
  for (const auto& [method, line] : std::vector<std::pair<std::string, int>>{
           {"oneCatch", 2}, {"twoCatches", 10}, {"finallyOnly", 20}, {"tryInTry", 35}, {"locked", 47}})
    checkDrawingMatchesModel(guarded, method, line);
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
  EXPECT_NE(page.find("id=\"m1-page-2\""), std::string::npos);  // the if's folded block
  EXPECT_NE(page.find("data-name=\"b.0\""), std::string::npos);

  const auto one = runFlowchart({"draw", "Split.java", "main"}, dir.path());
  EXPECT_EQ(one.exitCode, 0);
  EXPECT_EQ(one.out, "Split.main.html: Split.main, 2 pages\n");
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

}  // namespace
