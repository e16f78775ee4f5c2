#include "render/sequence_drawing.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "render/host/host.h"
#include "render/host/text_layout.h"
#include "render/layout_queries.h"
#include "render/letter_page.h"

namespace render {
namespace {

constexpr double kDropOffset = 0.1875;  // a lifeline is dropped this far left of and below its node
constexpr double kSelfMessageDrop = 0.1;
constexpr double kBoxWidth = 1.25;        // the Object Lifeline master's width
constexpr double kBarWidth = 0.1;         // the Activation master's width
constexpr double kBarAbove = 0.04;        // a bar starts this far above the message that starts it
constexpr double kBarBelow = 0.06;        // and ends this far below its last message
constexpr double kFrameAbove = 0.1;       // a fragment's edge above its row
constexpr double kFrameBelow = 0.04;      // its bottom edge above its closing row
constexpr double kFrameMargin = 0.55;     // beside its outermost lifelines, less for each one round it
constexpr double kFrameInset = 0.08;
constexpr double kFrameFontSize = 8.0;    // the Fragment master's text size
constexpr double kGuardHeight = 0.16;     // an operand's dashed line with its guard below it

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
    // A layout whose tree did not load (a missing or full work folder)
    // leaves nothing drawn: no empty drawing replaces a good one.
    if (result != 0) return result;
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
    // Looked up without a trace of the result: a stencil without them
    // draws the layouts that do not ask for them as before.
    const int32_t found = host::lastHostResult;
    activation_ = masters.item("Activation");
    fragment_ = masters.item("Fragment");
    operand_ = masters.item("Operand");
    host::lastHostResult = found;
    return true;
  }

  int drawPage(const std::string& layoutPath) {
    tree_ = loadLayout(layoutPath, treePath_, statusPath_);
    if (!tree_) return -1;
    const xml::Node root = tree_->root();
    const bool large = setUpLetterPage(root, page_);

    nodes_ = std::make_unique<NodesByName>(*tree_);
    const xml::NodeList nodes = dotNodes(root);
    const xml::NodeList edges = dotEdges(root);
    for (const xml::Node& node : nodes) drawLifeline(node);
    // Activations, fragments and operands come only with the layouts that
    // ask for them: the bars behind the messages, the frames in front, so
    // that their texts stay readable.
    for (const xml::Node& node : nodes)
      if (marked(node, "zarncls") && marked(node, "zarnbar")) drawBar(node, node, nullptr);
    for (const xml::Node& edge : edges)
      if (marked(edge, "zarnedge") && marked(edge, "zarnbar")) drawBar(edge, xml::Node(), &edge);
    for (const xml::Node& edge : edges) drawMessage(edge);
    for (const xml::Node& node : nodes)
      if (marked(node, "zarnfrag")) drawFragment(node);
    for (const xml::Node& node : nodes)
      if (marked(node, "zarnguard")) drawOperand(node);

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
    // A box its name needs larger grows about the same centre and upwards
    // from the same bottom edge.
    if (marked(node, "zarnwidth")) {
      const double width = layoutNumber(dotAttribute(node, "zarnwidth"));
      lifeline.cells("Width").setResult(width);
      lifeline.cells("PinX").setResult(x - kDropOffset * width / kBoxWidth);
    }
    if (marked(node, "zarnheight")) lifeline.cells("Height").setResult(layoutNumber(dotAttribute(node, "zarnheight")));
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
    if (!bars_.empty() && glueToBars(message, edge, from, to, height, self)) {
      message.cells("LockTextEdit").setResult(0);
      message.setText(label);
      message.cells("LockTextEdit").setResult(1);
      return;
    }
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

  // ---- fragments and activations

  // The height of a row node, in inches; nullopt when no node has the name.
  std::optional<double> rowHeight(const std::string& name) const {
    const xml::Node row = nodes_->find(name);
    if (row.isNull()) return std::nullopt;
    return layoutNumber(dotPosY(row)) / layoutScaleY;
  }
  std::optional<double> lifelineX(const std::string& name) const {
    const xml::Node node = nodes_->find(name);
    if (node.isNull()) return std::nullopt;
    return layoutNumber(dotPosX(node)) / layoutScaleX;
  }

  // A frame from the row above its first message down to its closing row,
  // across the lifelines it spans, at least as wide as its text.
  void drawFragment(const xml::Node& row) {
    const std::string text = dotAttribute(row, "zarnfrag");
    const double top = layoutNumber(dotPosY(row)) / layoutScaleY + kFrameAbove;
    const std::optional<double> end = rowHeight(dotAttribute(row, "zarnend"));
    const std::optional<double> left = lifelineX(dotAttribute(row, "zarnleft"));
    const std::optional<double> right = lifelineX(dotAttribute(row, "zarnright"));
    if (!end || !left || !right) return;
    const double level = layoutNumber(dotAttribute(row, "zarnlevel"));
    const double margin = std::max(kFrameInset, kFrameMargin - kFrameInset * level);
    const double x = *left - margin;
    const double width = std::max(*right + margin - x, host::textWidth(text, kFrameFontSize) + 0.2);
    const double height = std::max(kGuardHeight, top - (*end + kFrameBelow));
    host::Shape frame = page_.drop(fragment_, x, top);
    const std::string name = dotNodeId(row) + "/fragment";
    frame.setName(name);
    frame.cells("Width").setResult(width);
    frame.cells("Height").setResult(height);
    frame.setText(text);
    frames_[dotNodeId(row)] = {x, width};
  }

  // The dashed line that starts a further operand, its guard below it.
  void drawOperand(const xml::Node& row) {
    const auto frame = frames_.find(dotAttribute(row, "zarnof"));
    if (frame == frames_.end()) return;
    const double top = layoutNumber(dotPosY(row)) / layoutScaleY + kFrameAbove;
    host::Shape operand = page_.drop(operand_, frame->second.first, top);
    operand.setName(dotNodeId(row) + "/operand");
    operand.cells("Width").setResult(frame->second.second);
    operand.cells("Height").setResult(kGuardHeight);
    operand.setText(dotAttribute(row, "zarnguard"));
  }

  struct Bar {
    host::Shape shape;
    double top = 0.0, bottom = 0.0;
    int level = 0;
    const xml::Node* startedBy = nullptr;  // the message edge, or nullptr for the method's own
  };

  // An activation bar on a lifeline: the method's own from its node's
  // "zarnbarfrom" row, else from the message that starts it, down to its
  // "zarnbar" row.
  void drawBar(const xml::Node& holder, const xml::Node& lifelineNode, const xml::Node* edge) {
    std::string lifeline;
    double top = 0.0;
    if (edge) {
      lifeline = dotTo(*edge);
      std::string py = dotPosY(*edge);
      if (dotPosX(*edge) == "e" || dotPosX(*edge) == "s") py = py.substr(std::min(py.size(), py.find(',') + 1));
      top = std::atoi(py.c_str()) / layoutScaleY;
      if (marked(*edge, "zarnself")) top -= kSelfMessageDrop;
      // A new object is busy from the bottom of its box, which stands
      // centred on its creation.
      if (marked(*edge, "zarnsuper")) top -= kDropOffset + kBarAbove;
    } else {
      lifeline = dotNodeId(lifelineNode);
      const std::optional<double> from = rowHeight(dotAttribute(holder, "zarnbarfrom"));
      if (!from) return;
      top = *from;
    }
    const std::optional<double> end = rowHeight(dotAttribute(holder, "zarnbar"));
    const std::optional<double> x = lifelineX(lifeline);
    if (!end || !x) return;
    top += kBarAbove;
    const double bottom = std::min(*end, top - kBarAbove) - kBarBelow;
    const int level = edge ? std::atoi(dotAttribute(*edge, "zarnlevel").c_str()) : 0;
    std::vector<Bar>& bars = bars_[lifeline];
    host::Shape shape = page_.drop(activation_, *x + level * kBarWidth * 0.5, top);
    shape.setName(lifeline + "/bar." + std::to_string(bars.size() + 1));
    shape.cells("Height").setResult(top - bottom);
    bars.push_back(Bar{shape, top, bottom, level, edge});
  }

  // The innermost bar of a lifeline at a height, leaving out the one the
  // message itself starts; nullptr when none.
  Bar* barAt(const std::string& lifeline, double height, const xml::Node* except) {
    const auto found = bars_.find(lifeline);
    if (found == bars_.end()) return nullptr;
    Bar* best = nullptr;
    for (Bar& bar : found->second) {
      if (except && bar.startedBy == except) continue;
      if (height > bar.top + 1e-9 || height < bar.bottom - 1e-9) continue;
      if (!best || bar.level >= best->level) best = &bar;
    }
    return best;
  }
  Bar* barStartedBy(const std::string& lifeline, const xml::Node& edge) {
    const auto found = bars_.find(lifeline);
    if (found == bars_.end()) return nullptr;
    for (Bar& bar : found->second)
      if (bar.startedBy == &edge) return &bar;
    return nullptr;
  }

  // A new connection point on a bar: on the side given as a share of its
  // width (0 left, 1 right, 1.5 the right side of a bar one level deeper)
  // at height v.
  host::Cell barPointAt(Bar& bar, const char* side, double v) {
    const int n = bar.shape.rowCount(host::kConnectionSection);
    bar.shape.addRow(host::kConnectionSection, 0, 0);
    host::Row row = bar.shape.section(host::kConnectionSection).row(n);
    row.cell(0).setFormula(side);
    row.cell(1).setResult(v - bar.bottom);
    row.cell(2).setFormula("No Formula");
    row.cell(3).setFormula("No Formula");
    row.cell(4).setFormula("No Formula");
    return bar.shape.cells("Connections.Row_" + std::to_string(n + 1));
  }

  // Glues a message to the bars at its ends, on the sides that face each
  // other; false when the sender has no bar there, and the message is
  // glued to the lifelines as without bars.
  bool glueToBars(host::Shape& message, const xml::Node& edge, const std::string& from, const std::string& to,
                  double height, bool self) {
    Bar* sender = barAt(from, height, &edge);
    if (!sender) return false;
    const std::optional<double> fromX = lifelineX(from);
    const std::optional<double> toX = lifelineX(to);
    if (!fromX || !toX) return false;
    if (self) {
      // Out of the sender's bar and back into the right side of the one it starts.
      message.cells("BeginX").glueTo(barPointAt(*sender, "Width*1", height));
      message.cells("EndX").glueTo(barPointAt(*sender, "Width*1.5", height - kSelfMessageDrop));
      return true;
    }
    const bool rightwards = *toX >= *fromX;
    message.cells("BeginX").glueTo(barPointAt(*sender, rightwards ? "Width*1" : "Width*0", height));
    if (marked(edge, "zarnsuper")) {
      message.cells("EndX").glueTo(lifelinePointAt(to, 0.0));
      return true;
    }
    Bar* receiver = barStartedBy(to, edge);
    if (!receiver) receiver = barAt(to, height, nullptr);
    if (receiver)
      message.cells("EndX").glueTo(barPointAt(*receiver, rightwards ? "Width*0" : "Width*1", height));
    else
      message.cells("EndX").glueTo(lifelinePointAt(to, height));
    return true;
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
  host::Master lifeline_, call_, selfCall_, return_, activation_, fragment_, operand_;
  std::unordered_map<std::string, std::vector<Bar>> bars_;  // by lifeline
  std::unordered_map<std::string, std::pair<double, double>> frames_;  // by row: left, width
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
