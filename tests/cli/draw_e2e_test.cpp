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
