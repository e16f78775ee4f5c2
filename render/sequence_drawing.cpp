#include "render/sequence_drawing.h"

#include <cstdlib>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "render/host/host.h"
#include "render/layout_queries.h"
#include "render/letter_page.h"

namespace render {
namespace {

constexpr double kDropOffset = 0.1875;  // a lifeline is dropped this far left of and below its node
constexpr double kSelfMessageDrop = 0.1;

bool marked(const xml::Node& nodeOrEdge, std::string_view attribute) {
  return !nodeOrEdge
              .selectSingleNode("attr_list/a_list/id/CHAR_STR[@t=\"" + std::string(attribute) +
                                "\"]")
              .isNull();
}

// The first node statement, in document order, with a quoted name piece
// equal to a name: what //node_stmt[node_id/id/STR_CON[@t="name"]] selects.
// Built once per layout, because every message looks up two nodes.
class NodesByName {
 public:
  explicit NodesByName(xml::Document& tree) : root_(tree.root()) {
    for (const xml::Node& node : dotNodes(root_))
      for (const xml::Node& piece : node.selectNodes("node_id/id/STR_CON/@t"))
        first_.emplace(piece.value(), node);
  }

  xml::Node find(const std::string& name) const {
    // A name with a double quote cannot stand in the expression; the
    // selection reports that as the document service does.
    if (name.find('"') != std::string::npos)
      return root_.selectSingleNode("//node_stmt[node_id/id/STR_CON[@t=\"" + name + "\"]]");
    auto it = first_.find(name);
    return it == first_.end() ? xml::Node() : it->second;
  }

 private:
  xml::Node root_;
  std::unordered_map<std::string, xml::Node> first_;
};

class SequenceDrawing {
 public:
  SequenceDrawing(const std::string& workFolder)
      : treePath_(layoutTreePath(workFolder)), statusPath_(layoutStatusPath(workFolder)) {}

  int run(const std::string& layoutPath, const std::string& savePath,
          const std::string& templatePath) {
    if (!open(templatePath)) return -1;
    const int result = drawPage(layoutPath);
    // A drawing that could not be saved is not drawn for the caller.
    if (drawing_.saveAs(savePath) != host::kOk) return -1;
    return result;
  }

  // The drawing as run() would save it; nullptr where run() gives -1.
  std::unique_ptr<host::DocumentModel> draw(const std::string& layoutPath,
                                            const std::string& templatePath) {
    if (!open(templatePath) || drawPage(layoutPath) != 0) return nullptr;
    return app_.release(drawing_);
  }

 private:
  // Attaches the host, opens a drawing from the template and finds the
  // stencil's masters; false when the host or the stencil is not there.
  bool open(const std::string& templatePath) {
    if (host::attachDrawingHost(app_) != 1) return false;
    host::Documents documents = app_.documents();
    drawing_ = documents.add(templatePath);
    host::Document stencil = documents.item("UML Sequence.vss");
    if (host::lastHostResult != host::kOk) return false;
    host::Pages pages = drawing_.pages();
    host::Masters masters = stencil.masters();
    lifeline_ = masters.item("Object Lifeline");
    call_ = masters.item("Message (call)");
    selfCall_ = masters.item("Message (call) ");
    return_ = masters.item("Message (return)");
    page_ = pages.item(1);
    return true;
  }

  int drawPage(const std::string& layoutPath) {
    tree_ = loadLayout(layoutPath, treePath_, statusPath_);
    if (!tree_) return -1;
    const xml::Node root = tree_->root();
    const bool large = setUpLetterPage(root, page_);

    nodes_ = std::make_unique<NodesByName>(*tree_);
    for (const xml::Node& node : dotNodes(root)) drawLifeline(node);
    for (const xml::Node& edge : dotEdges(root)) drawMessage(edge);

    if (large) page_.resizeToFitContents();
    page_.setName("Sequence diagram");
    return 0;
  }

  void drawLifeline(const xml::Node& node) {
    if (!marked(node, "zarncls")) return;
    const std::string label = dotLabel(node);
    const std::string name = dotNodeId(node);
    const double x = layoutNumber(dotPosX(node)) / layoutScaleX;
    const double y = layoutNumber(dotPosY(node)) / layoutScaleY;
    host::Shape lifeline = page_.drop(lifeline_, x - kDropOffset, y - kDropOffset);
    lifeline.setName(name);
    lifeline.setText(label);
    // The dashed line ends at the height of the node named by zarnlast; a
    // name that matches no node leaves the master's length.
    const xml::Node last = nodes_->find(dotLast(node));
    if (last.isNull()) return;
    const double lastY = layoutNumber(dotPosY(last)) / layoutScaleY;
    lifeline.cells("Controls.Row_1.y").setResult(lastY - (y - kDropOffset));
  }

  void drawMessage(const xml::Node& edge) {
    if (!marked(edge, "zarnedge")) return;
    const std::string kind = dotAttribute(edge, "zarnedge");
    const std::string from = dotFrom(edge);
    const std::string to = dotTo(edge);

    const std::string px = dotPosX(edge);
    std::string py = dotPosY(edge);
    if (px == "e" || px == "s") {
      const size_t comma = py.find(',');
      py = comma == std::string::npos ? std::string() : py.substr(comma + 1);
    }
    const int m = std::atoi(py.c_str());

    std::string label = dotTailLabel(edge);
    const bool self = marked(edge, "zarnself");
    host::Master master;
    if (self) {
      master = selfCall_;
    } else if (kind == "1") {
      master = call_;
    } else {
      label = dotAttribute(edge, "headlabel");
      master = return_;
    }
    host::Shape message = page_.drop(master, 1.0, 1.0);
    const double height = m / layoutScaleY;
    message.cells("BeginX").glueTo(lifelinePointAt(from, height));
    if (marked(edge, "zarnsuper"))
      message.cells("EndX").glueTo(lifelinePointAt(to, 0.0));
    else if (self)
      message.cells("EndX").glueTo(lifelinePointAt(to, height - kSelfMessageDrop));
    else
      message.cells("EndX").glueTo(lifelinePointAt(to, height));

    message.cells("LockTextEdit").setResult(0);
    message.setText(label);
    message.cells("LockTextEdit").setResult(1);
  }

  // A new connection point on the named lifeline at height v (inches), or
  // its creation point when v is 0.
  host::Cell lifelinePointAt(const std::string& name, double v) {
    host::Shape shape = page_.shapes().item(name);
    if (v == 0.0) return shape.cells("Connections.CreationPt");
    const xml::Node node = nodes_->find(name);
    if (node.isNull()) return host::Cell();
    const double nodeY = std::atoi(dotPosY(node).c_str()) / layoutScaleY;
    const double r = v - (nodeY - kDropOffset);

    const int n = shape.rowCount(host::kConnectionSection);
    shape.addRow(host::kConnectionSection, 0, 0);
    host::Row row = shape.section(host::kConnectionSection).row(n);
    row.cell(0).setResult(0.375);
    row.cell(0).setFormula("Width*0.5");
    row.cell(1).setResult(r);
    row.cell(2).setFormula("No Formula");
    row.cell(3).setFormula("No Formula");
    row.cell(4).setFormula("No Formula");
    return shape.cells("Connections.Row_" + std::to_string(n + 1));
  }

  std::string treePath_;
  std::string statusPath_;
  host::Application app_;
  host::Document drawing_;
  host::Page page_;
  host::Master lifeline_, call_, selfCall_, return_;
  std::unique_ptr<xml::Document> tree_;
  std::unique_ptr<NodesByName> nodes_;
};

}  // namespace

int drawSequenceDiagram(const std::string& layoutPath, const std::string& workFolder,
                        const std::string& savePath, const std::string& templatePath) {
  SequenceDrawing drawing(workFolder);
  return drawing.run(layoutPath, savePath, templatePath);
}

std::unique_ptr<host::DocumentModel> drawSequenceDocument(const std::string& layoutPath,
                                                          const std::string& workFolder,
                                                          const std::string& templatePath) {
  SequenceDrawing drawing(workFolder);
  return drawing.draw(layoutPath, templatePath);
}

}  // namespace render
