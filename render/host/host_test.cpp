#include "render/host/host.h"

#include <gtest/gtest.h>

#include "drawing/drawing_svg.h"
#include "drawing/save.h"
#include "tests/support/test_support.h"

namespace host {
namespace {

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

std::string templatePath(const char* name) {
  return (testing_support::sourceDir() / "templates" / name).string();
}

struct FlowchartDrawing {
  Application app;
  Document doc;
  Page page;
  Masters masters;
  FlowchartDrawing() {
    attachDrawingHost(app);
    doc = app.documents().add(templatePath("flowchart"));
    masters = doc.masters();
    page = doc.pages().item(1);
  }
  Shape node(const char* master, const char* name, double x, double y) {
    Shape shape = page.drop(masters.item(master), x, y);
    shape.setName(name);
    return shape;
  }
};

TEST(HostObjects, CallsThroughObjectsNeverObtainedAreNotMade) {
  Application detached;
  EXPECT_TRUE(detached.documents().add(templatePath("flowchart")).isNull());
  EXPECT_EQ(lastHostResult, kNotObtained);

  Document none;
  EXPECT_EQ(none.saveAs("ignored.xml"), kNotObtained);
  EXPECT_TRUE(none.pages().item(1).isNull());
  EXPECT_EQ(lastHostResult, kNotObtained);
  Page noPage;
  EXPECT_TRUE(noPage.drop(Master(), 1, 1).isNull());
  EXPECT_EQ(noPage.setName("x"), kNotObtained);
  EXPECT_EQ(noPage.centerDrawing(), kNotObtained);
  Shape noShape;
  EXPECT_EQ(noShape.setText("x"), kNotObtained);
  EXPECT_TRUE(noShape.cells("PinX").isNull());
  EXPECT_EQ(Cell().setResult(1.0), kNotObtained);
  EXPECT_EQ(Cell().setFormula("Width*0.5"), kNotObtained);
  EXPECT_EQ(Hyperlink().setDescription("x"), kNotObtained);
  EXPECT_EQ(noShape.setComment("x"), kNotObtained);
  EXPECT_EQ(none.setTextEncoding(text::Charset::Utf8), kNotObtained);
  EXPECT_EQ(none.model(), nullptr);
  EXPECT_EQ(noShape.addRow(kConnectionSection, 0, 0), -1);
  EXPECT_EQ(Master().name(), "");
  EXPECT_EQ(lastHostResult, kNotObtained);

  // A live page refuses a master that was never found.
  FlowchartDrawing drawing;
  EXPECT_TRUE(drawing.page.drop(drawing.masters.item("No Such Master"), 1, 1).isNull());
  EXPECT_EQ(lastHostResult, kNotObtained);
}

TEST(HostObjects, TemplatesThatCannotBeReadLeaveNoDocument) {
  TempDir dir;
  Application app;
  EXPECT_EQ(attachDrawingHost(app), 1);
  Documents documents = app.documents();
  EXPECT_TRUE(documents.add(dir.file("missing")).isNull());
  EXPECT_EQ(lastHostResult, kFileFailed);
  writeFile(dir.file("broken"), "<template><master name=\"A\">");
  EXPECT_TRUE(documents.add(dir.file("broken")).isNull());
  writeFile(dir.file("binary"), std::string("\x00\x01\xff\xfe", 4));
  EXPECT_TRUE(documents.add(dir.file("binary")).isNull());
  writeFile(dir.file("foreign"), "<drawing/>");
  EXPECT_TRUE(documents.add(dir.file("foreign")).isNull());
  EXPECT_TRUE(documents.add(dir.path().string()).isNull());  // a folder
  EXPECT_NE(documents.add(dir.file("missing")).saveAs(dir.file("out.xml")), 0);
  EXPECT_FALSE(testing_support::fileExists(dir.file("out.xml")));
}

TEST(HostObjects, TemplateOpensItsStencilsAndMastersAreFoundByExactName) {
  Application app;
  attachDrawingHost(app);
  Documents documents = app.documents();
  Document drawing = documents.add(templatePath("sequence"));
  ASSERT_FALSE(drawing.isNull());
  Document stencil = documents.item("UML Sequence.vss");
  ASSERT_FALSE(stencil.isNull());
  EXPECT_FALSE(documents.item("uml sequence.VSS").isNull());
  EXPECT_TRUE(documents.item("Other.vss").isNull());
  EXPECT_EQ(lastHostResult, kNotFound);

  Masters masters = stencil.masters();
  EXPECT_EQ(masters.item("Message (call) ").name(), "Message (call) ");
  EXPECT_EQ(masters.item("Message (call)").name(), "Message (call)");
  EXPECT_EQ(masters.item("Object Lifeline").name(), "Object Lifeline");
  EXPECT_EQ(masters.item("Message (return)").name(), "Message (return)");
  EXPECT_TRUE(masters.item("message (return)").isNull());
  EXPECT_EQ(lastHostResult, kNotFound);
  // The drawing itself holds no masters.
  EXPECT_TRUE(drawing.masters().item("Object Lifeline").isNull());

  // A template whose stencil is missing still opens, without it.
  TempDir dir;
  writeFile(dir.file("t"), "<template><stencil file=\"Gone.vss\"/></template>");
  EXPECT_FALSE(documents.add(dir.file("t")).isNull());
  EXPECT_TRUE(documents.item("Gone.vss").isNull());
}

TEST(HostObjects, CellsFormulasAndConnectionRows) {
  FlowchartDrawing d;
  Shape process = d.node("Process", "p", 2.0, 3.0);
  EXPECT_EQ(process.master().name(), "Process");
  EXPECT_EQ(process.cells("Width").setResult(2.0), kOk);
  EXPECT_EQ(process.cells("Height").setResult(-1.0), kInvalidArgument);
  EXPECT_TRUE(process.cells("BeginX").isNull());  // only on connectors
  EXPECT_EQ(lastHostResult, kNotFound);
  EXPECT_TRUE(process.cells("Nonsense").isNull());
  EXPECT_TRUE(process.cells("Connections.X9").isNull());
  EXPECT_FALSE(process.cells("Connections.X1").isNull());
  EXPECT_EQ(process.cells("LockTextEdit").setResult(1), kOk);
  EXPECT_TRUE(process.section(6).row(0).cell(0).isNull());
  EXPECT_EQ(lastHostResult, kNotObtained);  // the section was never obtained

  const int n = process.rowCount(kConnectionSection);
  EXPECT_EQ(n, 4);
  EXPECT_EQ(process.addRow(kConnectionSection, 0, 0), n);
  Row row = process.section(kConnectionSection).row(n);
  EXPECT_EQ(row.cell(0).setResult(0.375), kOk);
  EXPECT_EQ(row.cell(0).setFormula("Width*0.5"), kOk);
  EXPECT_EQ(row.cell(1).setResult(-0.25), kOk);
  EXPECT_EQ(row.cell(2).setFormula("No Formula"), kOk);
  EXPECT_EQ(row.cell(3).setFormula("Pi()"), kInvalidArgument);
  EXPECT_EQ(row.cell(4).setFormula("Width*abc"), kInvalidArgument);
  EXPECT_TRUE(row.cell(5).isNull());
  EXPECT_TRUE(process.section(kConnectionSection).row(n + 1).cell(0).isNull());
  EXPECT_EQ(process.cells("PinX").setFormula("Width*2"), kInvalidArgument);
  // The formula follows the width set afterwards.
  process.cells("Width").setResult(3.0);
  EXPECT_FALSE(process.cells("Connections.Row_" + std::to_string(n + 1)).isNull());
  EXPECT_TRUE(process.cells("Connections.Row_" + std::to_string(n + 2)).isNull());

  d.page.pageSheet().cells("PageWidth").setResult(8.5);
  EXPECT_EQ(d.page.pageSheet().cells("PageHeight").setResult(0.0), kInvalidArgument);
  EXPECT_TRUE(d.page.pageSheet().cells("PageDepth").isNull());

  TempDir dir;
  ASSERT_EQ(d.doc.saveAs(dir.file("d.xml")), kOk);
  const std::string xml = readFile(dir.file("d.xml"));
  EXPECT_NE(xml.find("<connection row=\"5\" name=\"Connections.Row_5\" x=\"1.5\" y=\"-0.25\"/>"),
            std::string::npos)
      << xml;
  EXPECT_NE(xml.find("<cell name=\"LockTextEdit\" value=\"1\"/>"), std::string::npos);
}

TEST(HostObjects, GluedEndsFollowTheirConnectionPoints) {
  FlowchartDrawing d;
  Shape top = d.node("Start", "a", 2.0, 5.0);
  Shape bottom = d.node("Process", "b", 2.0, 3.0);
  Shape flow = d.page.drop(d.masters.item("Flow"), 0.0, 0.0);
  EXPECT_EQ(flow.cells("BeginX").glueTo(top.cells("Connections.X1")), kOk);
  EXPECT_EQ(flow.cells("EndX").glueTo(d.page.shapes().item("b").cells("Connections.X4")), kOk);
  EXPECT_EQ(flow.cells("Width").glueTo(top.cells("Connections.X1")), kNotObtained);
  EXPECT_EQ(top.cells("PinX").glueTo(bottom.cells("Connections.X4")), kInvalidArgument);
  EXPECT_EQ(flow.cells("EndY").glueTo(bottom.cells("PinX")), kInvalidArgument);
  EXPECT_TRUE(d.page.shapes().item("nobody").isNull());

  // Move both shapes after gluing: the connector's ends go with them.
  bottom.cells("PinX").setResult(4.0);
  bottom.cells("Width").setResult(2.0);
  bottom.cells("Height").setResult(1.0);
  d.page.centerDrawing();
  TempDir dir;
  ASSERT_EQ(d.doc.saveAs(dir.file("g.xml")), kOk);
  const std::string xml = readFile(dir.file("g.xml"));
  // Extent: x 1.375..5 (Start 1.25 wide at 2, Process 2 wide at 4), y 2.5..5.25;
  // centred on 8.5 x 11 the shift is (1.0625, 1.625).
  EXPECT_NE(xml.find("name=\"a\" master=\"Start\" text=\"\" pinX=\"3.0625\" pinY=\"6.625\""),
            std::string::npos)
      << xml;
  EXPECT_NE(xml.find("<begin x=\"3.0625\" y=\"6.375\" shape=\"a\" cell=\"Connections.X1\"/>"),
            std::string::npos);
  EXPECT_NE(xml.find("<end x=\"5.0625\" y=\"5.125\" shape=\"b\" cell=\"Connections.X4\"/>"),
            std::string::npos);
}

TEST(HostObjects, FitPageToContentsAndPages) {
  FlowchartDrawing d;
  d.node("Process", "far", 20.0, 30.0);
  d.node("Process", "near", 1.0, 1.0);
  EXPECT_EQ(d.page.resizeToFitContents(), kOk);
  Page added = d.doc.pages().add();
  EXPECT_EQ(added.setName("block-0"), kOk);
  EXPECT_EQ(added.setName(""), kInvalidArgument);
  EXPECT_TRUE(d.doc.pages().item(3).isNull());
  EXPECT_EQ(lastHostResult, kInvalidArgument);
  TempDir dir;
  ASSERT_EQ(d.doc.saveAs(dir.file("f.xml")), kOk);
  const std::string xml = readFile(dir.file("f.xml"));
  // Process is 1.5 x 0.5: extent 0.25..20.75 by 0.75..30.25, plus 0.25 margins.
  EXPECT_NE(xml.find("<page index=\"1\" name=\"Page-1\" width=\"21\" height=\"30\">"),
            std::string::npos)
      << xml;
  EXPECT_NE(xml.find("name=\"near\" master=\"Process\" text=\"\" pinX=\"1\" pinY=\"0.5\""),
            std::string::npos);
  EXPECT_NE(xml.find("<page index=\"2\" name=\"block-0\" width=\"8.5\" height=\"11\">"),
            std::string::npos);
}

// The whole drawing XML of a small two-page drawing, byte for byte.
TEST(HostSave, DrawingXmlListsPagesShapesConnectorsAndLinks) {
  FlowchartDrawing d;
  d.app.setLanguage(1033);
  Page block = d.doc.pages().add();
  block.setName("block-0");
  Shape back = block.drop(d.masters.item("Back"), 0.0, 0.0);
  Hyperlink toMain = back.addHyperlink();
  toMain.setAddress("");
  toMain.setDescription("Back");
  toMain.setSubAddress("main");

  d.page.setName("main");
  Shape start = d.node("Start", "n1", 1.0, 2.0);
  start.setText("main \"<caf\xe9>\"");
  Shape fold = d.node("Folded Block", "n2", 1.0, 1.0);
  fold.setText("Folded Block");
  Hyperlink open = fold.addHyperlink();
  open.setAddress("");
  open.setDescription("Open This Block");
  open.setSubAddress("block-0");
  Shape flow = d.page.drop(d.masters.item("True Flow"), 0.0, 0.0);
  flow.setText("Yes");
  flow.cells("BeginX").glueTo(start.cells("Connections.X1"));
  flow.cells("EndX").glueTo(fold.cells("Connections.X4"));

  TempDir dir;
  ASSERT_EQ(d.doc.saveAs(dir.file("drawing.vsd")), kOk);
  EXPECT_EQ(readFile(dir.file("drawing.vsd")),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
            "<drawing template=\"flowchart\" language=\"1033\">\n"
            "  <page index=\"1\" name=\"main\" width=\"8.5\" height=\"11\">\n"
            "    <shape id=\"1\" name=\"n1\" master=\"Start\" text=\"main &quot;&lt;caf\xe9&gt;&quot;\""
            " pinX=\"1\" pinY=\"2\" width=\"1.25\" height=\"0.5\">\n"
            "    </shape>\n"
            "    <shape id=\"2\" name=\"n2\" master=\"Folded Block\" text=\"Folded Block\""
            " pinX=\"1\" pinY=\"1\" width=\"1.5\" height=\"0.5\">\n"
            "      <hyperlink description=\"Open This Block\" address=\"\" subAddress=\"block-0\"/>\n"
            "    </shape>\n"
            "    <connector id=\"3\" name=\"Sheet.3\" master=\"True Flow\" text=\"Yes\">\n"
            "      <begin x=\"1\" y=\"1.75\" shape=\"n1\" cell=\"Connections.X1\"/>\n"
            "      <end x=\"1\" y=\"1.25\" shape=\"n2\" cell=\"Connections.X4\"/>\n"
            "    </connector>\n"
            "  </page>\n"
            "  <page index=\"2\" name=\"block-0\" width=\"8.5\" height=\"11\">\n"
            "    <shape id=\"1\" name=\"Sheet.1\" master=\"Back\" text=\"\""
            " pinX=\"0\" pinY=\"0\" width=\"0.75\" height=\"0.3\">\n"
            "      <hyperlink description=\"Back\" address=\"\" subAddress=\"main\"/>\n"
            "    </shape>\n"
            "  </page>\n"
            "</drawing>\n");

  // The pictures link the two pages both ways.
  ASSERT_EQ(d.doc.saveAs(dir.file("drawing.svg")), kOk);
  const std::string svg = readFile(dir.file("drawing.svg"));
  EXPECT_NE(svg.find("<view id=\"view-page-2\""), std::string::npos);
  EXPECT_NE(svg.find("<a href=\"#view-page-2\" class=\"hyperlink\">"), std::string::npos);
  EXPECT_NE(svg.find("<a href=\"#view-page-1\" class=\"hyperlink\">"), std::string::npos);
  EXPECT_NE(svg.find("<title>Open This Block</title>"), std::string::npos);
  EXPECT_NE(svg.find("caf\xe9"), std::string::npos);
  ASSERT_EQ(d.doc.saveAs(dir.file("drawing.HTML")), kOk);
  const std::string html = readFile(dir.file("drawing.HTML"));
  EXPECT_EQ(html.rfind("<!DOCTYPE html>\n<html lang=\"en-US\">", 0), 0u);
  EXPECT_NE(html.find("<li><a href=\"#page-2\">block-0</a></li>"), std::string::npos);
  EXPECT_NE(html.find("<section class=\"page\" id=\"page-2\" data-name=\"block-0\" data-drawing=\"0\">"),
            std::string::npos);
  EXPECT_NE(html.find("<a href=\"#page-1\" class=\"hyperlink\">"), std::string::npos);
  EXPECT_EQ(drawing::formatForPath("a.b\\c.Svg"), drawing::DrawingFormat::Svg);
  EXPECT_EQ(drawing::formatForPath("x.svg/drawing"), drawing::DrawingFormat::Xml);
}

TEST(HostSave, UnwritablePathsFailAndLeaveNothing) {
  FlowchartDrawing d;
  TempDir dir;
  EXPECT_EQ(d.doc.saveAs(dir.file("no/such/folder/d.svg")), kFileFailed);
  EXPECT_EQ(d.doc.saveAs(""), kFileFailed);
  EXPECT_EQ(d.doc.saveAs(dir.path().string()), kFileFailed);  // a folder
  writeFile(dir.file("keep.xml"), "old");
  std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_read |
                                               std::filesystem::perms::owner_exec);
  const bool enforced = !testing_support::runShell("test ! -w " + dir.path().string());
  if (enforced) {
    EXPECT_EQ(d.doc.saveAs(dir.file("keep.xml")), kFileFailed);
    EXPECT_EQ(readFile(dir.file("keep.xml")), "old");
  }
  std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all);
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(entry.path().filename(), "keep.xml");
}

TEST(HostSave, UnsafeAndDeadLinksAreNotWrittenAsLinks) {
  FlowchartDrawing d;
  Shape shape = d.node("Process", "p", 1, 1);
  Hyperlink script = shape.addHyperlink();
  script.setAddress(" JavaScript:alert(1)");
  script.setDescription("script");
  Hyperlink dead = shape.addHyperlink();
  dead.setSubAddress("no such page");
  TempDir dir;
  ASSERT_EQ(d.doc.saveAs(dir.file("l.html")), kOk);
  const std::string html = readFile(dir.file("l.html"));
  EXPECT_EQ(html.find("alert"), std::string::npos);
  EXPECT_EQ(html.find("class=\"hyperlink\""), std::string::npos);
}

// The pictures show a page's content with a quarter inch round it, not the
// page sheet; an empty page shows a small area saying so.
TEST(HostPictures, PicturesShowTheContentWithAMargin) {
  FlowchartDrawing d;
  d.node("Process", "low", 2.0, 3.0).setText("x");
  d.node("Process", "high", 4.0, 6.0).setText("y");
  d.doc.pages().add().setName("nothing");
  TempDir dir;
  ASSERT_EQ(d.doc.saveAs(dir.file("c.html")), kOk);
  ASSERT_EQ(d.doc.saveAs(dir.file("c.svg")), kOk);
  const std::string html = readFile(dir.file("c.html"));
  const std::string svg = readFile(dir.file("c.svg"));
  // The boxes span 1.25..4.75 by 2.75..6.25 inches: 4 x 4 inches with the
  // margin, 384 units.  "low"'s top-left corner (1.25, 3.25) lands a
  // quarter inch from the left and 3.25 inches below the view's top.
  EXPECT_NE(html.find("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"384\" height=\"384\" "
                      "viewBox=\"0 0 384 384\">"),
            std::string::npos)
      << html;
  EXPECT_NE(html.find("<rect x=\"24\" y=\"312\" width=\"144\" height=\"48\""), std::string::npos);
  EXPECT_NE(html.find("viewBox=\"0 0 288 72\">\n<text"), std::string::npos);
  EXPECT_NE(html.find(">empty page</text>"), std::string::npos);
  // The SVG stacks the same pictures, each under a 36 units band.
  EXPECT_NE(svg.find("<view id=\"view-page-1\" viewBox=\"0 0 384 420\"/>"), std::string::npos) << svg;
  EXPECT_NE(svg.find("<rect x=\"24\" y=\"348\" width=\"144\" height=\"48\""), std::string::npos);
  EXPECT_NE(svg.find("<view id=\"view-page-2\" viewBox=\"0 444 288 108\"/>"), std::string::npos);
  // Nothing the size of the 8.5 x 11 inch sheet is drawn.
  EXPECT_EQ(html.find("\"816\""), std::string::npos);
  EXPECT_EQ(svg.find("\"816\""), std::string::npos);
}

TEST(HostPictures, CommentsBecomeHoverTexts) {
  FlowchartDrawing d;
  Shape box = d.node("Process", "p", 2.0, 3.0);
  box.setText("int a = 1; int b = 2;");
  EXPECT_EQ(box.setComment("lines 3-4\nint a = 1;\nint b = <2>;"), kOk);
  Shape fold = d.node("Folded Block", "f", 2.0, 2.0);
  fold.setComment("lines 5-9");
  Hyperlink open = fold.addHyperlink();
  open.setDescription("Open This Block");
  open.setSubAddress("Page-1");
  d.node("Process", "plain", 4.0, 3.0);
  TempDir dir;
  for (const char* name : {"t.svg", "t.html"}) {
    ASSERT_EQ(d.doc.saveAs(dir.file(name)), kOk);
    const std::string text = readFile(dir.file(name));
    EXPECT_NE(text.find("data-name=\"p\" data-master=\"Process\">\n"
                        "<title>lines 3-4&#10;int a = 1;&#10;int b = &lt;2&gt;;</title>"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<title>lines 5-9&#10;Open This Block</title>"), std::string::npos);
    EXPECT_NE(text.find("data-name=\"plain\" data-master=\"Process\">\n<rect"), std::string::npos);
  }
}

TEST(HostPictures, Utf8DrawingsDeclareTheirEncodingAndKeepTheirBytes) {
  FlowchartDrawing d;
  EXPECT_EQ(d.doc.setTextEncoding(text::Charset::Utf8), kOk);
  const std::string text = "caf\xc3\xa9 \xe2\x86\x92 x";
  d.node("Process", "p", 2.0, 3.0).setText(text);
  TempDir dir;
  const std::pair<const char*, const char*> files[] = {
      {"u.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<drawing"},
      {"u.svg", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg"},
      {"u.html", "<meta charset=\"UTF-8\">"}};
  for (const auto& [name, declaration] : files) {
    ASSERT_EQ(d.doc.saveAs(dir.file(name)), kOk);
    const std::string saved = readFile(dir.file(name));
    EXPECT_NE(saved.find(declaration), std::string::npos) << saved;
    EXPECT_NE(saved.find(text), std::string::npos) << name;
  }
}

// Two drawings of two linked pages each in one HTML page: every id and
// link carries its drawing's prefix, and the index comes first.
TEST(HostPictures, SeveralDrawingsInOnePageKeepTheirLinksApart) {
  FlowchartDrawing drawings[2];
  for (FlowchartDrawing& d : drawings) {
    d.page.setName("main");
    Hyperlink open = d.node("Folded Block", "n1", 2.0, 2.0).addHyperlink();
    open.setDescription("Open This Block");
    open.setSubAddress("block-0");
    Page block = d.doc.pages().add();
    block.setName("block-0");
    Hyperlink back = block.drop(d.masters.item("Back"), 1.0, 1.0).addHyperlink();
    back.setDescription("Back");
    back.setSubAddress("main");
  }
  const std::string html = drawing::drawingsHtml(
      "Calc.java", "<table><tr><td><a href=\"#b-page-1\">run</a></td></tr></table>",
      {{"a-", "Calc.add", drawings[0].doc.model()}, {"b-", "Calc.run", drawings[1].doc.model()}},
      text::Charset::Utf8);
  EXPECT_NE(html.find("<meta charset=\"UTF-8\">"), std::string::npos);
  const size_t index = html.find("<section class=\"page contents\" id=\"index\">\n<table>");
  EXPECT_LT(index, html.find("<section class=\"page\" id=\"a-page-1\" data-name=\"main\" data-drawing=\"0\">"));
  EXPECT_NE(html.find("<section class=\"page\" id=\"b-page-2\" data-name=\"block-0\" data-drawing=\"1\">\n"
                      "<h2>Calc.run &#8250; block-0</h2>"),
            std::string::npos);
  EXPECT_NE(html.find("<ol class=\"index\" data-drawing=\"1\">\n<li><a href=\"#b-page-1\">main</a></li>\n"
                      "<li><a href=\"#b-page-2\">block-0</a></li>\n</ol>"),
            std::string::npos);
  // The page links in document order.
  std::vector<std::string> links;
  const std::string opening = "<a href=\"";
  for (size_t at = html.find(opening); at != std::string::npos; at = html.find(opening, at + 1)) {
    const size_t end = html.find('"', at + opening.size());
    if (html.compare(end, 20, "\" class=\"hyperlink\">") == 0)
      links.push_back(html.substr(at + opening.size(), end - at - opening.size()));
  }
  EXPECT_EQ(links, (std::vector<std::string>{"#a-page-2", "#a-page-1", "#b-page-2", "#b-page-1"}));
}

}  // namespace
}  // namespace host
