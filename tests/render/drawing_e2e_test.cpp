// Modes 17 and 18 end to end: the built engine draws real Graphviz
// layouts with the shipped templates, and the saved drawing XML is read
// back and checked.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "xml/document.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::fileExists;
using testing_support::fixture;
using testing_support::readFile;
using testing_support::runEngine;
using testing_support::TempDir;
using testing_support::writeFile;

std::string templatePath(const char* name) {
  return (testing_support::sourceDir() / "templates" / name).string();
}

// The exit code as the shell sees it: -1 arrives as 255.
constexpr int kMinusOne = 255;

class Drawing {
 public:
  explicit Drawing(const std::string& path) : doc_(xml::Document::loadFile(path)) {
    if (!doc_) ADD_FAILURE() << "drawing does not load: " << path;
  }
  bool loaded() const { return doc_ != nullptr; }
  std::string text(const std::string& xpath) const {
    const xml::Node node = doc_->root().selectSingleNode(xpath);
    return node.isNull() ? std::string("<none>") : node.text();
  }
  double number(const std::string& xpath) const { return std::atof(text(xpath).c_str()); }
  size_t count(const std::string& xpath) const { return doc_->root().countNodes(xpath); }

 private:
  std::unique_ptr<xml::Document> doc_;
};

std::string shape(const std::string& page, const std::string& name, const std::string& attr) {
  return "//page[@name=\"" + page + "\"]/shape[@name=\"" + name + "\"]/@" + attr;
}

// The connector glued from one shape to another on a page.
std::string connector(const std::string& page, const std::string& from, const std::string& to) {
  return "//page[@name=\"" + page + "\"]/connector[begin/@shape=\"" + from +
         "\" and end/@shape=\"" + to + "\"]";
}

// The method layout and its folded block's layout, copied into a folder.
struct FlowchartRun {
  TempDir dir;
  fs::path layouts = dir.path() / "layouts";
  fs::path work = dir.path() / "work";
  FlowchartRun() {
    fs::create_directories(layouts);
    fs::create_directories(work);
    fs::copy_file(fixture("render/flowchart/method.tmp"), layouts / "method.tmp");
    fs::copy_file(fixture("render/flowchart/n.6.tmp"), layouts / "n.6.tmp");
  }
  int run(const std::string& folded, const std::string& save,
          const std::string& templ = templatePath("flowchart")) {
    return runEngine({"17", (layouts / "method.tmp").string(), work.string(), templ, folded, save})
        .exitCode;
  }
};

TEST(FlowchartDrawing, DrawsTheMethodAndItsFoldedBlockOnLinkedPages) {
  FlowchartRun r;
  const std::string save = (r.dir.path() / "chart.xml").string();
  ASSERT_EQ(r.run("n.6", save), 0);
  Drawing d(save);
  ASSERT_TRUE(d.loaded());
  // Folded pages come first; page 1 is named after the start label.
  EXPECT_EQ(d.text("//page[1]/@name"), "sum");
  EXPECT_EQ(d.text("//page[2]/@name"), "block-0");
  EXPECT_EQ(d.count("//page"), 2u);

  // One shape per node, with its master, text and 3/4-scale size.
  const std::pair<const char*, const char*> masters[] = {
      {"n.1", "Start"},   {"n.2", "Process"},      {"n.3", "While"}, {"n.4", "If"},
      {"n.5", "Process"}, {"n.6", "Folded Block"}, {"n.7", "End While"},
      {"n.8", "Process"}, {"n.9", "Catch"},        {"n.10", "Return"}, {"n.11", "End"}};
  for (const auto& [name, master] : masters)
    EXPECT_EQ(d.text(shape("sum", name, "master")), master) << name;
  EXPECT_EQ(d.text(shape("sum", "n.2", "text")), "int total = 0;");
  EXPECT_EQ(d.text(shape("sum", "n.4", "text")), "a[i] > 0");
  EXPECT_EQ(d.text(shape("sum", "n.6", "text")), "Folded Block");
  // n.2 is 1.5 x 0.5 inches in the layout: drawn 1.125 x 0.375.
  EXPECT_EQ(d.text(shape("sum", "n.2", "width")), "1.125");
  EXPECT_EQ(d.text(shape("sum", "n.2", "height")), "0.375");
  // Positions keep the layout's proportions: n.1 above n.2 by 72 points,
  // 0.75 inch; n.2 and n.1 share an x.
  EXPECT_NEAR(d.number(shape("sum", "n.1", "pinY")) - d.number(shape("sum", "n.2", "pinY")), 0.75,
              1e-3);
  EXPECT_NEAR(d.number(shape("sum", "n.1", "pinX")), d.number(shape("sum", "n.2", "pinX")), 0.01);
  // The drawing is centred on the 8.5 x 11 page.
  EXPECT_EQ(d.text("//page[1]/@width"), "8.5");
  EXPECT_EQ(d.text("//page[1]/@height"), "11");

  // The try cluster's frame: bb 271.5,136,405.5,260 in points.
  EXPECT_EQ(d.text("//page[1]/shape[@master=\"Try Block\"]/@width"), "1.3958");
  EXPECT_EQ(d.text("//page[1]/shape[@master=\"Try Block\"]/@height"), "1.2917");

  // Connectors: masters by colour, Yes/No on decision edges, glue points
  // by the shapes' masters.
  EXPECT_EQ(d.text(connector("sum", "n.1", "n.2") + "/@master"), "Flow");
  EXPECT_EQ(d.text(connector("sum", "n.1", "n.2") + "/begin/@cell"), "Connections.X1");
  EXPECT_EQ(d.text(connector("sum", "n.1", "n.2") + "/end/@cell"), "Connections.X4");
  EXPECT_EQ(d.text(connector("sum", "n.2", "n.3") + "/begin/@cell"), "Connections.X3");
  EXPECT_EQ(d.text(connector("sum", "n.2", "n.3") + "/end/@cell"), "Connections.X3");
  EXPECT_EQ(d.text(connector("sum", "n.4", "n.5") + "/@master"), "True Flow");
  EXPECT_EQ(d.text(connector("sum", "n.4", "n.5") + "/@text"), "Yes");
  EXPECT_EQ(d.text(connector("sum", "n.4", "n.5") + "/begin/@cell"), "Connections.X1");
  EXPECT_EQ(d.text(connector("sum", "n.4", "n.6") + "/@master"), "False Flow");
  EXPECT_EQ(d.text(connector("sum", "n.4", "n.6") + "/@text"), "No");
  EXPECT_EQ(d.text(connector("sum", "n.4", "n.6") + "/begin/@cell"), "Connections.X2");
  // The loop's back edge runs from the loop end up to the loop head.
  EXPECT_EQ(d.text(connector("sum", "n.7", "n.3") + "/begin/@cell"), "Connections.X4");
  EXPECT_EQ(d.text(connector("sum", "n.7", "n.3") + "/end/@cell"), "Connections.X3");
  EXPECT_EQ(d.count(connector("sum", "n.3", "n.7")), 0u);
  EXPECT_EQ(d.count("//page[1]/connector"), 13u);
  // A glued end lies on its shape: n.2's bottom centre.
  EXPECT_NEAR(d.number(connector("sum", "n.2", "n.3") + "/begin/@y"),
              d.number(shape("sum", "n.2", "pinY")) - 0.1875, 1e-3);

  // The links between the pages.
  EXPECT_EQ(d.text("//page[1]/shape[@name=\"n.6\"]/hyperlink/@description"), "Open This Block");
  EXPECT_EQ(d.text("//page[1]/shape[@name=\"n.6\"]/hyperlink/@subAddress"), "block-0");
  EXPECT_EQ(d.text("//page[2]/shape[@master=\"Back\"]/hyperlink/@description"), "Back");
  EXPECT_EQ(d.text("//page[2]/shape[@master=\"Back\"]/hyperlink/@subAddress"), "sum");
  EXPECT_EQ(d.text(shape("block-0", "f.1", "text")), "i++;");
  EXPECT_EQ(d.count("//page[2]/connector"), 1u);
}

TEST(FlowchartDrawing, SavesPicturesByExtension) {
  FlowchartRun r;
  const std::string svg = (r.dir.path() / "chart.svg").string();
  const std::string html = (r.dir.path() / "chart.html").string();
  ASSERT_EQ(r.run("n.6", svg), 0);
  ASSERT_EQ(r.run("n.6", html), 0);
  const std::string svgText = readFile(svg);
  EXPECT_NE(svgText.find("<view id=\"view-page-2\""), std::string::npos);
  EXPECT_NE(svgText.find("<a href=\"#view-page-2\" class=\"hyperlink\">"), std::string::npos);
  EXPECT_NE(svgText.find("<a href=\"#view-page-1\" class=\"hyperlink\">"), std::string::npos);
  EXPECT_NE(svgText.find("<title>sum</title>"), std::string::npos);
  // Both pictures are well-formed XML.
  EXPECT_TRUE(xml::Document::loadFile(svg));
  const std::string htmlText = readFile(html);
  EXPECT_NE(htmlText.find("<section class=\"page\" id=\"page-2\" data-name=\"block-0\" "
                          "data-drawing=\"0\">"),
            std::string::npos);
  EXPECT_NE(htmlText.find("<a href=\"#page-2\" class=\"hyperlink\">"), std::string::npos);
  // The HTML is self-contained: nothing is loaded from elsewhere.
  EXPECT_EQ(htmlText.find(" src="), std::string::npos);
  EXPECT_EQ(htmlText.find("<link"), std::string::npos);
  EXPECT_EQ(htmlText.find("@import"), std::string::npos);
}

TEST(FlowchartDrawing, FoldedListEdgeCases) {
  FlowchartRun r;
  const std::string save = (r.dir.path() / "d.xml").string();
  // No folded list: one page, the folded block gets no link.
  ASSERT_EQ(r.run("", save), 0);
  {
    Drawing d(save);
    EXPECT_EQ(d.count("//page"), 1u);
    EXPECT_EQ(d.text(shape("sum", "n.6", "text")), "Folded Block");
    EXPECT_EQ(d.count("//hyperlink"), 0u);
  }
  // Only separators: links that name the node itself, no pages.
  ASSERT_EQ(r.run(";", save), 0);
  {
    Drawing d(save);
    EXPECT_EQ(d.count("//page"), 1u);
    EXPECT_EQ(d.text("//shape[@name=\"n.6\"]/hyperlink/@subAddress"), "n.6");
  }
  // a;;b: two pages from a.tmp and b.tmp; a missing layout leaves its page empty.
  fs::copy_file(r.layouts / "n.6.tmp", r.layouts / "a.tmp");
  ASSERT_EQ(r.run("a;;gone", save), 0);
  {
    Drawing d(save);
    EXPECT_EQ(d.count("//page"), 3u);
    EXPECT_EQ(d.text("//page[2]/@name"), "block-0");
    EXPECT_EQ(d.text("//page[3]/@name"), "block-1");
    EXPECT_EQ(d.count("//page[2]/shape"), 3u);  // two blocks and Back
    EXPECT_EQ(d.count("//page[3]/*"), 0u);
    EXPECT_EQ(d.text("//page[1]/@name"), "sum");
  }
}

TEST(FlowchartDrawing, LargeLayoutsFitTheirPageAndUnknownTypesDrawAsProcess) {
  TempDir dir;
  const std::string save = dir.file("large.xml");
  ASSERT_EQ(runEngine({"17", fixture("render/flowchart/large.dot").string(), dir.path().string(),
                       templatePath("flowchart"), "", save})
                .exitCode,
            0);
  Drawing d(save);
  // 612 x 1100 points is 6.375 x 11.458 inches: taller than the page, so
  // the page takes the drawing's size plus its margins.
  EXPECT_GT(d.number("//page/@height"), 11.0);
  EXPECT_LT(d.number("//page/@width"), 8.5);
  EXPECT_EQ(d.text(shape("big", "b", "master")), "Process");
  EXPECT_EQ(d.text("//connector/begin/@cell"), "Connections.X1");  // Start leaves at X1
  EXPECT_EQ(d.text("//connector/end/@cell"), "Connections.X4");    // Process entered at X4
}

TEST(FlowchartDrawing, BadInputGetsDefinedAnswers) {
  FlowchartRun r;
  const std::string save = (r.dir.path() / "d.xml").string();
  // A template that cannot be read: no document, the save fails.
  EXPECT_EQ(r.run("", save, (r.dir.path() / "no-template").string()), 100);
  writeFile(r.dir.path() / "bad-template", "<template><master/>");
  EXPECT_EQ(r.run("", save, (r.dir.path() / "bad-template").string()), 100);
  EXPECT_FALSE(fileExists(save));
  // A save that cannot be written.
  EXPECT_EQ(r.run("", (r.dir.path() / "missing" / "d.xml").string()), 100);

  // Broken, empty and binary layouts draw nothing on their page, and the
  // tree the folded block's layout left in the work folder just before is
  // not drawn in their place.
  for (const std::string& content :
       {std::string("digraph { a -> }"), std::string(), std::string("\x01\xff\x00\x7f", 4)}) {
    writeFile(r.layouts / "method.tmp", content);
    ASSERT_EQ(r.run("n.6", save), 0);
    Drawing d(save);
    EXPECT_EQ(d.count("//page[1]/*"), 0u);
    EXPECT_EQ(d.count("//page[2]/shape[@name=\"f.1\"]"), 1u);
  }
  // A layout without bb, positions, sizes or engine attributes still
  // draws: the nodes as Process boxes, the edge glued between them.
  writeFile(r.layouts / "method.tmp", "digraph G { a; b; a -> b; }");
  ASSERT_EQ(r.run("", save), 0);
  Drawing d(save);
  EXPECT_EQ(d.count("//page[1]/shape[@master=\"Process\"]"), 2u);
  EXPECT_EQ(d.text("//page[1]/connector/begin/@cell"), "Connections.X3");
  EXPECT_EQ(d.text("//page[1]/connector/end/@shape"), "b");
}

// Each layout is read through out.xml in the work folder: where that
// cannot be written nothing can be drawn, and the run answers -1 as for a
// missing drawing host, without saving an empty drawing.
TEST(FlowchartDrawing, AWorkFolderThatCannotBeWrittenDrawsNothing) {
  FlowchartRun r;
  const std::string save = (r.dir.path() / "d.xml").string();
  writeFile(r.dir.path() / "plain-file", "");
  fs::create_directories(r.dir.path() / "blocked" / "out.xml");
  for (const fs::path& work : {r.dir.path() / "missing", r.dir.path() / "plain-file", r.dir.path() / "blocked"}) {
    EXPECT_EQ(runEngine({"17", (r.layouts / "method.tmp").string(), work.string(), templatePath("flowchart"), "n.6",
                         save})
                  .exitCode,
              kMinusOne)
        << work;
    EXPECT_FALSE(fileExists(save)) << work;
  }
}

// A work folder on a full disk takes the probe but not the layouts' trees:
// mode 17 answers -1 rather than saving pages left empty, and mode 18,
// here also with a missing work folder, answers -1 without saving; the
// good drawings saved before stay as they were.
TEST(FlowchartDrawing, AFullWorkFolderKeepsTheGoodDrawing) {
  FlowchartRun r;
  const std::string chart = (r.dir.path() / "chart.xml").string();
  const std::string sequence = (r.dir.path() / "seq.xml").string();
  const std::string calls = fixture("render/sequence/calls.tmp").string();
  ASSERT_EQ(r.run("n.6", chart), 0);
  ASSERT_EQ(runEngine({"18", calls, r.work.string(), sequence, templatePath("sequence"), "x"}).exitCode, 0);
  const std::string goodChart = readFile(chart), goodSequence = readFile(sequence);
  EXPECT_EQ(runEngine({"18", calls, (r.dir.path() / "missing").string(), sequence, templatePath("sequence"), "x"})
                .exitCode,
            kMinusOne);
  EXPECT_EQ(readFile(sequence), goodSequence);

  testing_support::SmallDisk disk(64 << 10);
  if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a small file system";
  disk.fill(0);
  const std::string full = disk.path().string();
  EXPECT_EQ(runEngine({"17", (r.layouts / "method.tmp").string(), full, templatePath("flowchart"), "n.6", chart})
                .exitCode,
            kMinusOne);
  EXPECT_EQ(readFile(chart), goodChart);
  EXPECT_EQ(runEngine({"18", calls, full, sequence, templatePath("sequence"), "x"}).exitCode, kMinusOne);
  EXPECT_EQ(readFile(sequence), goodSequence);
  disk.unfill();
  EXPECT_EQ(runEngine({"17", (r.layouts / "method.tmp").string(), full, templatePath("flowchart"), "n.6", chart})
                .exitCode,
            0);
  EXPECT_EQ(readFile(chart), goodChart);
}

// A folded-list entry names a block whose layout lies beside the method's;
// one that is a path draws nothing from elsewhere: its page stays, empty,
// and the page numbering with it.
TEST(FlowchartDrawing, FoldedEntriesThatArePathsReadNothingElsewhere) {
  FlowchartRun r;
  fs::create_directories(r.dir.path() / "elsewhere");
  fs::create_directories(r.layouts / "sub");
  writeFile(r.dir.path() / "elsewhere" / "private.tmp",
            "digraph private { \"secret\" [CONCEPTID=block, label=\"private text\", pos=\"50,50\"]; }\n");
  fs::copy_file(r.dir.path() / "elsewhere" / "private.tmp", r.layouts / "sub" / "inner.tmp");
  fs::copy_file(r.dir.path() / "elsewhere" / "private.tmp", r.dir.path() / "..tmp");
  const std::string save = (r.dir.path() / "d.xml").string();
  ASSERT_EQ(r.run("n.6;../elsewhere/private;sub/inner;..\\elsewhere\\private;..;n.6", save), 0);
  Drawing d(save);
  EXPECT_EQ(d.count("//page"), 7u);
  EXPECT_EQ(d.count("//page[2]/shape[@name=\"f.1\"]"), 1u);
  for (int page = 3; page <= 6; ++page) {
    EXPECT_EQ(d.text("//page[" + std::to_string(page) + "]/@name"), "block-" + std::to_string(page - 2));
    EXPECT_EQ(d.count("//page[" + std::to_string(page) + "]/*"), 0u) << page;
  }
  EXPECT_EQ(d.count("//page[7]/shape[@name=\"f.1\"]"), 1u);
  EXPECT_EQ(d.count("//shape[@name=\"secret\"]"), 0u);
  EXPECT_EQ(readFile(save).find("private text"), std::string::npos);
}

// Layouts made to make the drawing work hard draw in bounded time and
// memory: a node 10,000 inches on a side (connector routing), a label
// that is one 300,000-character word (text wrapping), and coordinates of
// 1e308 (no integer can hold them).  bench/hostile_layouts times them.
TEST(FlowchartDrawing, HostileLayoutsDrawInBoundedWork) {
  TempDir dir;
  const std::string side = "960000";  // points: the node is 13,333 layout inches, drawn 10,000
  const std::string word(300000, 'w');
  const std::pair<const char*, std::string> layouts[] = {
      {"huge", "digraph huge { graph [bb=\"0,0,960200,960200\"];\n"
               "\"s\" [CONCEPTID=start, label=s, pos=\"480000,960180\", width=0.75, height=0.5];\n"
               "\"b\" [CONCEPTID=block, label=big, pos=\"480000,480100\", width=13333.34, height=13333.34];\n"
               "\"e\" [CONCEPTID=end, label=e, pos=\"480000,20\", width=0.75, height=0.5];\n"
               "\"s\" -> \"b\"; \"b\" -> \"e\"; \"s\" -> \"e\"; }\n"},
      {"word", "digraph word { graph [bb=\"0,0,300,300\"];\n"
               "\"s\" [CONCEPTID=start, label=s, pos=\"150,280\", width=0.75, height=0.5];\n"
               "\"b\" [CONCEPTID=block, label=\"" + word + "\", pos=\"150,150\", width=1.5, height=0.5];\n"
               "\"s\" -> \"b\"; }\n"},
      {"far", "digraph far { graph [bb=\"0,0,1e308,1e308\"];\n"
              "\"s\" [CONCEPTID=start, label=s, pos=\"1e308,1e308\", width=1e308, height=0.5];\n"
              "\"b\" [CONCEPTID=block, label=b, pos=\"-1e308,5\", width=nan, height=1e308];\n"
              "\"s\" -> \"b\"; \"b\" -> \"s\"; }\n"},
  };
  for (const auto& [name, layout] : layouts) {
    writeFile(dir.path() / (std::string(name) + ".tmp"), layout);
    for (const char* extension : {".svg", ".xml"}) {
      const std::string save = dir.file(std::string(name) + extension);
      const auto run = runEngine({"17", dir.file(std::string(name) + ".tmp"), dir.path().string(),
                                  templatePath("flowchart"), "", save},
                                 {}, 120);
      EXPECT_EQ(run.exitCode, 0) << name << extension << run.err;
      EXPECT_TRUE(fileExists(save)) << name << extension;
    }
  }
}

// The pipeline against the installed Graphviz: lay the graph out now and
// draw the fresh layout.
TEST(FlowchartDrawing, DrawsALayoutMadeByTheInstalledGraphviz) {
  TempDir dir;
  const std::string layout = dir.file("live.tmp");
  ASSERT_EQ(testing_support::runShell("dot -Tdot '" + fixture("render/flowchart/method.dot").string() +
                                      "' > '" + layout + "'"),
            0);
  const std::string save = dir.file("live.xml");
  ASSERT_EQ(runEngine({"17", layout, dir.path().string(), templatePath("flowchart"), "", save})
                .exitCode,
            0);
  Drawing d(save);
  EXPECT_EQ(d.count("//page[1]/shape"), 12u);  // eleven blocks and the try frame
  EXPECT_EQ(d.count("//page[1]/connector"), 13u);
  EXPECT_EQ(d.count("//page[1]/connector[begin/@shape and end/@shape]"), 13u);
  EXPECT_EQ(d.text(shape("sum", "n.3", "master")), "While");
  EXPECT_EQ(d.text(connector("sum", "n.3", "n.4") + "/@text"), "Yes");
  EXPECT_GT(d.number(shape("sum", "n.1", "pinY")), d.number(shape("sum", "n.11", "pinY")));
}

// ---- mode 18 ------------------------------------------------------------

struct SequenceRun {
  TempDir dir;
  int run(const std::string& layout, const std::string& save,
          const std::string& templ = templatePath("sequence")) {
    return runEngine({"18", layout, dir.path().string(), save, templ, "x"}).exitCode;
  }
};

std::string message(const std::string& label) {
  return "//connector[@text=\"" + label + "\"]";
}

TEST(SequenceDrawing, DrawsLifelinesAndMessagesAtTheLayoutsHeights) {
  SequenceRun r;
  const std::string save = r.dir.file("seq.xml");
  ASSERT_EQ(r.run(fixture("render/sequence/calls.tmp").string(), save), 0);
  Drawing d(save);
  EXPECT_EQ(d.text("//page/@name"), "Sequence diagram");
  // Only the objects get lifelines.
  EXPECT_EQ(d.count("//shape"), 3u);
  EXPECT_EQ(d.text("//shape[@name=\"o.main\"]/@master"), "Object Lifeline");
  EXPECT_EQ(d.text("//shape[@name=\"o.main\"]/@text"), "main:App");

  // Calls show their tail label, returns their head label; the masters by kind.
  EXPECT_EQ(d.text(message("add(item)") + "/@master"), "Message (call)");
  EXPECT_EQ(d.text(message("grow()") + "/@master"), "Message (call) ");
  EXPECT_EQ(d.text(message("true") + "/@master"), "Message (return)");
  EXPECT_EQ(d.count("//connector"), 5u);

  // A message is horizontal at the height the layout gives it, between
  // the two lifelines.
  const std::string add = message("add(item)");
  EXPECT_DOUBLE_EQ(d.number(add + "/begin/@y"), d.number(add + "/end/@y"));
  EXPECT_EQ(d.text(add + "/begin/@shape"), "o.main");
  EXPECT_EQ(d.text(add + "/end/@shape"), "o.list");
  EXPECT_NEAR(d.number(add + "/begin/@x"), d.number("//shape[@name=\"o.main\"]/@pinX") + 0.1875,
              1e-3);
  // A self message ends 0.1 inch below its start on the same lifeline.
  const std::string grow = message("grow()");
  EXPECT_EQ(d.text(grow + "/begin/@shape"), "o.list");
  EXPECT_EQ(d.text(grow + "/end/@shape"), "o.list");
  EXPECT_NEAR(d.number(grow + "/begin/@y") - d.number(grow + "/end/@y"), 0.1, 1e-3);
  // A creation message ends at the object's box and adds no point there.
  const std::string create = message("new Logger()");
  EXPECT_EQ(d.text(create + "/end/@cell"), "Connections.CreationPt");
  EXPECT_EQ(d.count("//shape[@name=\"o.log\"]/connection"), 1u);  // only write("grew")
  // Each other end is a new connection row: o.list receives add, sends
  // grow (two ends) and write, and returns true.
  EXPECT_EQ(d.count("//shape[@name=\"o.list\"]/connection"), 5u);
  EXPECT_EQ(d.text("//shape[@name=\"o.list\"]/connection[1]/@name"), "Connections.Row_2");
  EXPECT_EQ(d.text(add + "/end/@cell"), "Connections.Row_2");
  // The lifeline's dashed line ends at its zarnlast node's height.
  EXPECT_NEAR(d.number("//shape[@name=\"o.main\"]/@pinY") +
                  d.number("//shape[@name=\"o.main\"]/cell[@name=\"Controls.Row_1.Y\"]/@value"),
              d.number(message("true") + "/end/@y"), 0.02);
  EXPECT_EQ(d.text(message("true") + "/cell[@name=\"LockTextEdit\"]/@value"), "1");
}

TEST(SequenceDrawing, UnavailableHostStencilOrLayoutGiveMinusOne) {
  SequenceRun r;
  const std::string save = r.dir.file("seq.xml");
  const std::string layout = fixture("render/sequence/calls.tmp").string();
  EXPECT_EQ(r.run(layout, save, r.dir.file("no-template")), kMinusOne);
  EXPECT_FALSE(fileExists(save));
  writeFile(r.dir.file("plain"), "<template/>");  // opens no stencil
  EXPECT_EQ(r.run(layout, save, r.dir.file("plain")), kMinusOne);
  EXPECT_EQ(r.run(r.dir.file("no-layout.tmp"), save), kMinusOne);
  writeFile(r.dir.file("broken.tmp"), "digraph { \"a\" [zarncls=1 ");
  EXPECT_EQ(r.run(r.dir.file("broken.tmp"), save), kMinusOne);
  // A save that fails is a failure the caller hears of.
  EXPECT_EQ(r.run(layout, r.dir.file("missing/seq.xml")), kMinusOne);
}

// Mode 18 reports a save that fails (a missing folder, a folder in the
// way, a full disk) with -1, as it reports a missing stencil.
TEST(SequenceDrawing, ASaveThatFailsGivesMinusOne) {
  SequenceRun r;
  const std::string layout = fixture("render/sequence/calls.tmp").string();
  EXPECT_EQ(r.run(layout, r.dir.file("missing/seq.svg")), kMinusOne);
  fs::create_directory(r.dir.path() / "folder.xml");
  EXPECT_EQ(r.run(layout, r.dir.file("folder.xml")), kMinusOne);
  testing_support::SmallDisk disk(64 << 10);
  if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a small file system";
  const std::string save = (disk.path() / "seq.html").string();
  disk.fill(0);
  EXPECT_EQ(r.run(layout, save), kMinusOne);
  EXPECT_FALSE(fileExists(save));
  disk.unfill();
  EXPECT_EQ(r.run(layout, save), 0);
  EXPECT_TRUE(fileExists(save));
}

TEST(SequenceDrawing, NamesThatMatchNoNodeFailQuietly) {
  SequenceRun r;
  writeFile(r.dir.file("odd.tmp"),
            "digraph { graph [bb=\"0,0,300,300\"];\n"
            "\"o.a\" [zarncls=1, label=\"a:A\", zarnlast=\"nowhere\", pos=\"50,250\"];\n"
            "\"o.b\" [zarncls=1, label=\"b:B\", pos=\"200,250\"];\n"
            "\"x\" [pos=\"120,100\"];\n"
            "\"o.a\" -> \"o.b\" [zarnedge=1, zarnfrom=\"o.a\", zarnto=\"ghost\", taillabel=\"lost\", pos=\"e,200,150 50,150\"];\n"
            "\"o.a\" -> \"o.b\" [zarnedge=1, zarnfrom=\"o.a\", zarnto=\"x\", taillabel=\"to x\", pos=\"50,120 120,120\"];\n"
            "\"o.a\" -> \"o.b\" [taillabel=\"not a message\"];\n"
            "\"o.a\" -> \"o.b\" [zarnedge=1, zarnfrom=\"o.a\", zarnto=\"o.b\", taillabel=\"ok\", pos=\"e,200,90 50,90\"];\n"
            "}\n");
  const std::string save = r.dir.file("odd.xml");
  ASSERT_EQ(r.run(r.dir.file("odd.tmp"), save), 0);
  Drawing d(save);
  EXPECT_EQ(d.count("//shape"), 2u);
  EXPECT_EQ(d.count("//connector"), 3u);
  EXPECT_EQ(d.count(message("lost") + "/end/@shape"), 0u);
  EXPECT_EQ(d.count(message("to x") + "/end/@shape"), 0u);  // x has no lifeline
  EXPECT_EQ(d.text(message("ok") + "/end/@shape"), "o.b");
  EXPECT_NEAR(d.number(message("ok") + "/end/@y"), 90.0 / 96.0, 1e-3);
  // "nowhere" names no node: the lifeline keeps the stencil's length.
  EXPECT_EQ(d.text("//shape[@name=\"o.a\"]/cell[@name=\"Controls.Row_1.Y\"]/@value"), "-2");
}

// Graphviz writes positions of 100,000 points and more (a diagram over
// 1,389 inches tall) in exponent form: a message there stands at its
// height, not at the digits before the exponent.
TEST(SequenceDrawing, TallLayoutsKeepTheirHeights) {
  SequenceRun r;
  writeFile(r.dir.file("tall.tmp"),
            "digraph { graph [bb=\"0,0,300,1.2e+05\"];\n"
            "\"o.a\" [zarncls=1, label=\"a:A\", pos=\"50,1.1999e+05\"];\n"
            "\"o.b\" [zarncls=1, label=\"b:B\", pos=\"200,1.1999e+05\"];\n"
            "\"o.a\" -> \"o.b\" [zarnedge=1, zarnfrom=\"o.a\", zarnto=\"o.b\", taillabel=\"far\", "
            "pos=\"e,200,1.1e+05 50,1.1e+05\"];\n"
            "}\n");
  const std::string save = r.dir.file("tall.xml");
  ASSERT_EQ(r.run(r.dir.file("tall.tmp"), save), 0);
  Drawing d(save);
  // The page is fitted to the drawing, which may move it: measured from
  // the lifeline's box, dropped 0.1875 inch below its node.
  const double box = d.number("//shape[@name=\"o.a\"]/@pinY");
  EXPECT_NEAR(box - d.number(message("far") + "/begin/@y"), (119990.0 - 110000.0) / 96.0 - 0.1875, 1e-3);
  EXPECT_NEAR(box - d.number(message("far") + "/end/@y"), (119990.0 - 110000.0) / 96.0 - 0.1875, 1e-3);

  // Heights past what the drawing counts in are held at its ends.
  writeFile(r.dir.file("huge.tmp"),
            "digraph { graph [bb=\"0,0,300,300\"];\n"
            "\"o.a\" [zarncls=1, label=\"a:A\", pos=\"50,1e300\"];\n"
            "\"o.b\" [zarncls=1, label=\"b:B\", pos=\"200,-1e300\"];\n"
            "\"o.a\" -> \"o.b\" [zarnedge=1, zarnfrom=\"o.a\", zarnto=\"o.b\", taillabel=\"huge\", "
            "pos=\"e,200,1e300 50,1e300\"];\n"
            "}\n");
  EXPECT_EQ(r.run(r.dir.file("huge.tmp"), r.dir.file("huge.xml")), 0);
}

}  // namespace
