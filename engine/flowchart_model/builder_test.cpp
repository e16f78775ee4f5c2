// The build driver: finding the method, start and end blocks, saving.
#include "engine/flowchart_model/builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "engine/flowchart_model/build_operation.h"
#include "engine/flowchart_model/folder_lock.h"
#include "engine/flowchart_model/large_stack.h"
#include "tests/support/flowchart_model/tree_notation.h"
#include "tests/support/test_support.h"

#include "tests/support/flowchart_model/model_build.h"

namespace flowchart::testing {
namespace {

TEST(BuildDriver, EmptyMethodFlowsFromStartToEnd) {
  BuiltModel built = buildMethod("");
  EXPECT_EQ(built.result, 1);
  EXPECT_EQ(built.model,
            "blocks 0\n"
            "  block 0 start 2 2 \"f\"\n"
            "    -> -1\n"
            "  block -1 end 3 3 \"\"\n"
            "  hint DEPTH \"0\"\n");
}

TEST(BuildDriver, StraightLineCodeIsOneProcessBox) {
  BuiltModel built = buildMethod("/ " + call("a") + " / " + call("b"));
  EXPECT_EQ(built.result, 1);
  EXPECT_EQ(built.model,
            "blocks 0\n"
            "  block 0 start 2 2 \"f\"\n"
            "    -> 1\n"
            "  block -1 end 5 5 \"\"\n"
            "  block 1 \"\" 3 4 \"\"\n"
            "    -> -1\n"
            "  hint DEPTH \"0\"\n");
}

}  // namespace
}  // namespace flowchart::testing

namespace flowchart::testing {
namespace {

TEST(BuildDriver, NothingFoundOrAlreadyBuiltLeavesTheFileAlone) {
  BuiltModel unknownMethod = buildMember("/ FldDecln(MtdDecln(MtdDeclr(IDEN:g OPR CPR) MtdBody(Blk(OBR CBR))))", "f", 2, 2);
  EXPECT_EQ(unknownMethod.result, 0);
  EXPECT_EQ(unknownMethod.resultsAfter, unknownMethod.resultsBefore);
  // The name must stand on the func's start line.
  BuiltModel otherLine = buildMember("/ FldDecln(MtdDecln(MtdDeclr(/ IDEN:f OPR CPR) MtdBody(Blk(OBR CBR))))", "f", 2, 3);
  EXPECT_EQ(otherLine.result, 0);
  EXPECT_EQ(otherLine.resultsAfter, otherLine.resultsBefore);
}

TEST(BuildDriver, AFailedQueryStopsTheBuildBeforeTheSave) {
  for (const char* body : {"/ Stmt()", "/ Stmt(SelStmt(IF OPR))", "/ Stmt(IterStmt(DO))", "/ Stmt(GrdingStmt(TRY))",
                           "/ Stmt(JumpStmt(BREAK SEMI))"}) {
    BuiltModel built = buildMethod(body);
    EXPECT_EQ(built.result, body == std::string("/ Stmt(JumpStmt(BREAK SEMI))") ? 1 : -2) << body;
    if (built.result != 1) {
      EXPECT_EQ(built.resultsAfter, built.resultsBefore) << body;
    }
  }
}

// A break outside any loop or switch goes to the start block.
TEST(BuildDriver, BreakWithoutTargetLeadsToTheStartBlock) {
  BuiltModel built = buildMethod("/ Stmt(JumpStmt(BREAK SEMI))");
  EXPECT_EQ(built.model,
            "blocks 0\n"
            "  block 0 start 2 2 \"f\"\n"
            "    -> 1\n"
            "  block -1 end 4 4 \"\"\n"
            "  block 1 \"\" 3 3 \"\"\n"
            "    -> 0\n"
            "  hint DEPTH \"0\"\n");
}

// Thousands of nested statements: no recursion limit, depth counted.
TEST(BuildDriver, DeeplyNestedMethodsBuild) {
  struct Shape {
    const char* open;   // notation opening one level
    const char* close;  // and closing it
    int levels;
    const char* depth;  // the root container's DEPTH
  };
  const Shape shapes[] = {
      {"Stmt(SelStmt(IF OPR Expr(Qlid(IDEN:a)) CPR Stmt(Blk(OBR / ", " CBR))))", 3000, "3000"},
      {"Stmt(IterStmt(WHILE OPR Expr(Qlid(IDEN:a)) CPR Stmt(Blk(OBR / Stmt(GrdingStmt(TRY Blk(OBR / ",
       " CBR) Finally(FINALLY Blk(OBR CBR)))) CBR)))) ", 500, "501"},  // try adds no level, finally one
  };
  for (const Shape& shape : shapes) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<Program><TypeDecln><ClsHeader>"
                      "<CLASS l=\"1\" c=\"1\" t=\"class\"/><IDEN l=\"1\" c=\"7\" t=\"A\"/></ClsHeader>"
                      "<FldDecln><MtdDecln><MtdDeclr><IDEN l=\"2\" c=\"6\" t=\"f\"/></MtdDeclr><MtdBody><Blk>"
                      "<OBR l=\"2\" c=\"10\" t=\"{\"/>";
    std::string inner, outer;
    for (int i = 0; i < shape.levels; ++i) inner += shape.open;
    inner += call("x");
    for (int i = 0; i < shape.levels; ++i) inner += shape.close;
    NotatedTree body;
    runWithLargeStack([&] { body = notate(inner, 3); });  // the notation reader recurses
    xml += body.xml.substr(body.xml.find('\n') + 1);
    const int last = static_cast<int>(std::count(body.source.begin(), body.source.end(), '\n'));
    xml += "<CBR l=\"" + std::to_string(last + 1) + "\" c=\"1\" t=\"}\"/></Blk></MtdBody></MtdDecln></FldDecln>"
           "</TypeDecln></Program>\n";

    testing_support::TempDir dir;
    testing_support::writeFile(dir.file("A.java"), "class A {\nvoid f() {\n" + body.source.substr(2) + "}\n");
    testing_support::writeFile(dir.file("results.xml"),
                               "<results><rclass name=\"A\" sl=\"1\" el=\"" + std::to_string(last + 2) +
                                   "\" type=\"CLS\"><func name=\"f\" sl=\"2\" el=\"" + std::to_string(last + 1) +
                                   "\" sign=\"\"/></rclass></results>");
    auto tree = xml::Document::loadText(xml);
    ASSERT_TRUE(tree);
    EXPECT_EQ(buildFlowchartModel(dir.path().string(), *tree, "A", 1, "f", 2, dir.file("A.java"), nullptr), 1);
    auto results = xml::Document::loadFile(dir.file("results.xml"));
    ASSERT_TRUE(results);
    EXPECT_EQ(results->root().selectSingleNode("//func/blocks/hint[@id=\"DEPTH\"]/@value").value(), shape.depth);
  }
}

// Class A with the empty methods f (line 2) and g (line 3), parsed, in a folder.
struct TwoMethods {
  TwoMethods() {
    testing_support::writeFile(dir.file("A.java"), "class A {\nvoid f() { }\nvoid g() { }\n}\n");
    testing_support::writeFile(results, kResults);
    tree = xml::Document::loadText(
        "<Program><TypeDecln><ClsHeader><CLASS l=\"1\" c=\"1\" t=\"class\"/><IDEN l=\"1\" c=\"7\" t=\"A\"/>"
        "</ClsHeader>" + method("f", 2) + method("g", 3) + "<CBR l=\"4\" c=\"1\" t=\"}\"/></TypeDecln></Program>");
  }
  static std::string method(const std::string& name, int line) {
    const std::string l = std::to_string(line);
    return "<FldDecln><MtdDecln><MtdDeclr><IDEN l=\"" + l + "\" c=\"6\" t=\"" + name +
           "\"/></MtdDeclr><MtdBody><Blk><OBR l=\"" + l + "\" c=\"10\" t=\"{\"/><CBR l=\"" + l +
           "\" c=\"12\" t=\"}\"/></Blk></MtdBody></MtdDecln></FldDecln>";
  }
  int build(const std::string& name, int line, std::chrono::milliseconds wait = kResultsLockTimeout) {
    return buildFlowchartModelWithLockTimeout(dir.path().string(), *tree, "A", 1, name, line, dir.file("A.java"),
                                                nullptr, wait);
  }
  size_t models() const {
    auto doc = xml::Document::loadFile(results);
    return doc ? doc->root().countNodes("//func/blocks") : 0;
  }

  static constexpr const char* kResults =
      "<results><rclass name=\"A\" sl=\"1\" el=\"4\" type=\"CLS\">"
      "<func name=\"f\" sl=\"2\" el=\"2\" sign=\"\"/><func name=\"g\" sl=\"3\" el=\"3\" sign=\"\"/>"
      "</rclass></results>";
  testing_support::TempDir dir;
  std::string results = dir.file("results.xml");
  std::unique_ptr<xml::Document> tree;
};

TEST(BuildDriver, BuildsIntoOneFolderTakeTurns) {
  using namespace std::chrono_literals;
  TwoMethods folder;
  ASSERT_TRUE(folder.tree);
  {
    // While another build holds the folder, a build that cannot wait any
    // longer gives up and leaves the file alone.
    FolderLock other(folder.dir.path().string(), 0ms);
    ASSERT_EQ(other.state(), FolderLock::State::Held);
    EXPECT_EQ(folder.build("f", 2, 20ms), 0);
    EXPECT_EQ(testing_support::readFile(folder.results), TwoMethods::kResults);
  }
  // Builds on two threads of one process keep both models.
  for (int round = 0; round < 20; ++round) {
    testing_support::writeFile(folder.results, TwoMethods::kResults);
    int f = -1, g = -1;
    std::thread first([&] { f = folder.build("f", 2); });
    std::thread second([&] { g = folder.build("g", 3); });
    first.join();
    second.join();
    EXPECT_EQ(f, 1);
    EXPECT_EQ(g, 1);
    ASSERT_EQ(folder.models(), 2u) << round;
  }
}

TEST(BuildDriver, ASourceThatCannotBeReadBuildsNothing) {
  TwoMethods folder;
  ASSERT_TRUE(folder.tree);
  for (const std::string& source : {folder.dir.file("missing.java"), folder.dir.path().string()}) {
    EXPECT_EQ(buildFlowchartModel(folder.dir.path().string(), *folder.tree, "A", 1, "f", 2, source, nullptr), 0);
    EXPECT_EQ(testing_support::readFile(folder.results), TwoMethods::kResults);
  }
}

}  // namespace
}  // namespace flowchart::testing
