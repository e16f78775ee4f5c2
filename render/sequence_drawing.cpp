#include "render/sequence_drawing.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "render/host/host.h"
#include "drawing/sequence_stencil.h"
#include "drawing/text_layout.h"
#include "render/dot_file_layout.h"
#include "render/layout_queries.h"
#include "render/letter_page.h"

namespace render {
namespace {

using namespace drawing::sequence_stencil;

// A position in whole points, cut toward zero; one past what an int holds
// (a hostile layout) is held at the nearest end, and one that is no number
// is 0.
int wholePoints(double points) {
  if (!(points == points)) return 0;
  if (points >= 2147483647.0) return INT_MAX;
  if (points <= -2147483648.0) return INT_MIN;
  return static_cast<int>(points);
}

class SequenceDrawing {
 public:
  // Attaches the host, opens a drawing with openTemplate and finds the
  // stencil's masters; false when the host or the stencil is not there.
  bool open(const std::function<host::Document(host::Documents&)>& openTemplate) {
    if (host::attachDrawingHost(app_) != 1) return false;
    host::Documents documents = app_.documents();
    drawing_ = openTemplate(documents);
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

  void drawPage(const layout::GraphLayout& graph) {
    layout_ = &graph;
    const bool large = setUpLetterPage(graph.right(), graph.top(), page_);
    const size_t nodes = graph.nodeCount();
    const size_t edges = graph.edgeCount();
    for (size_t node = 0; node < nodes; ++node) drawLifeline(node);
    // Activations, fragments and operands come only with the layouts that
    // ask for them: the bars behind the messages, the frames in front, so
    // that their texts stay readable.
    for (size_t node = 0; node < nodes; ++node)
      if (graph.nodeHas(node, "zarncls") && graph.nodeHas(node, "zarnbar")) drawLifelineBar(node);
    for (size_t edge = 0; edge < edges; ++edge)
      if (graph.edgeHas(edge, "zarnedge") && graph.edgeHas(edge, "zarnbar")) drawMessageBar(edge);
    for (size_t edge = 0; edge < edges; ++edge) drawMessage(edge);
    for (size_t node = 0; node < nodes; ++node)
      if (graph.nodeHas(node, "zarnfrag")) drawFragment(node);
    for (size_t node = 0; node < nodes; ++node)
      if (graph.nodeHas(node, "zarnguard")) drawOperand(node);

    if (large) page_.resizeToFitContents();
    page_.setName("Sequence diagram");
  }

  bool save(const std::string& savePath) { return drawing_.saveAs(savePath) == host::kOk; }

 private:
  // A message's height as the drawing places it: in whole points.
  int messagePoint(size_t edge) const { return wholePoints(layout_->edgeStartY(edge)); }

  void drawLifeline(size_t node) {
    const layout::GraphLayout& graph = *layout_;
    if (!graph.nodeHas(node, "zarncls")) return;
    const std::string label = graph.nodeAttribute(node, "label");
    const std::string name = graph.nodeName(node);
    const double x = graph.nodeX(node) / layoutScaleX;
    const double y = graph.nodeY(node) / layoutScaleY;
    host::Shape lifeline = page_.drop(lifeline_, x - kDropOffset, y - kDropOffset);
    lifeline.setName(name);
    lifeline.setText(label);
    // A box its name needs larger grows about the same centre and upwards
    // from the same bottom edge.
    if (graph.nodeHas(node, "zarnwidth")) {
      const double width = layoutNumber(graph.nodeAttribute(node, "zarnwidth"));
      lifeline.cells("Width").setResult(width);
      lifeline.cells("PinX").setResult(x - kDropOffset * width / kBoxWidth);
    }
    if (graph.nodeHas(node, "zarnheight"))
      lifeline.cells("Height").setResult(layoutNumber(graph.nodeAttribute(node, "zarnheight")));
    // The dashed line ends at the height of the node named by zarnlast; a
    // name that matches no node leaves the master's length.
    const std::optional<size_t> last = graph.nodeNamed(graph.nodeAttribute(node, "zarnlast"));
    if (!last) return;
    const double lastY = graph.nodeY(*last) / layoutScaleY;
    lifeline.cells("Controls.Row_1.y").setResult(lastY - (y - kDropOffset));
  }

  void drawMessage(size_t edge) {
    const layout::GraphLayout& graph = *layout_;
    if (!graph.edgeHas(edge, "zarnedge")) return;
    const std::string kind = graph.edgeAttribute(edge, "zarnedge");
    const std::string from = graph.edgeAttribute(edge, "zarnfrom");
    const std::string to = graph.edgeAttribute(edge, "zarnto");
    const int m = messagePoint(edge);

    std::string label = graph.edgeAttribute(edge, "taillabel");
    const bool self = graph.edgeHas(edge, "zarnself");
    host::Master master;
    if (self) {
      master = selfCall_;
    } else if (kind == "1") {
      master = call_;
    } else {
      label = graph.edgeAttribute(edge, "headlabel");
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
    if (graph.edgeHas(edge, "zarnsuper"))
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
    const std::optional<size_t> row = layout_->nodeNamed(name);
    if (!row) return std::nullopt;
    return layout_->nodeY(*row) / layoutScaleY;
  }
  std::optional<double> lifelineX(const std::string& name) const {
    const std::optional<size_t> node = layout_->nodeNamed(name);
    if (!node) return std::nullopt;
    return layout_->nodeX(*node) / layoutScaleX;
  }

  // A frame from the row above its first message down to its closing row,
  // across the lifelines it spans, at least as wide as its text.
  void drawFragment(size_t row) {
    const layout::GraphLayout& graph = *layout_;
    const std::string text = graph.nodeAttribute(row, "zarnfrag");
    const double top = graph.nodeY(row) / layoutScaleY + kFrameAbove;
    const std::optional<double> end = rowHeight(graph.nodeAttribute(row, "zarnend"));
    const std::optional<double> left = lifelineX(graph.nodeAttribute(row, "zarnleft"));
    const std::optional<double> right = lifelineX(graph.nodeAttribute(row, "zarnright"));
    if (!end || !left || !right) return;
    const double level = layoutNumber(graph.nodeAttribute(row, "zarnlevel"));
    const double margin = std::max(kFrameInset, kFrameMargin - kFrameInset * level);
    const double x = *left - margin;
    const double width = std::max(*right + margin - x, drawing::textWidth(text, kFrameFontSize) + 0.2);
    const double height = std::max(kGuardHeight, top - (*end + kFrameBelow));
    host::Shape frame = page_.drop(fragment_, x, top);
    const std::string rowName = graph.nodeName(row);
    frame.setName(rowName + "/fragment");
    frame.cells("Width").setResult(width);
    frame.cells("Height").setResult(height);
    frame.setText(text);
    frames_[rowName] = {x, width};
  }

  // The dashed line that starts a further operand, its guard below it.
  void drawOperand(size_t row) {
    const layout::GraphLayout& graph = *layout_;
    const auto frame = frames_.find(graph.nodeAttribute(row, "zarnof"));
    if (frame == frames_.end()) return;
    const double top = graph.nodeY(row) / layoutScaleY + kFrameAbove;
    host::Shape operand = page_.drop(operand_, frame->second.first, top);
    operand.setName(graph.nodeName(row) + "/operand");
    operand.cells("Width").setResult(frame->second.second);
    operand.cells("Height").setResult(kGuardHeight);
    operand.setText(graph.nodeAttribute(row, "zarnguard"));
  }

  struct Bar {
    host::Shape shape;
    double top = 0.0, bottom = 0.0;
    int level = 0;
    std::optional<size_t> startedBy;  // the message edge, or none for the method's own
  };

  // An activation bar on a lifeline: the method's own from its node's
  // "zarnbarfrom" row, else from the message that starts it, down to its
  // "zarnbar" row.
  void drawLifelineBar(size_t node) {
    const std::optional<double> from = rowHeight(layout_->nodeAttribute(node, "zarnbarfrom"));
    if (!from) return;
    drawBar(layout_->nodeName(node), *from, layout_->nodeAttribute(node, "zarnbar"), 0, std::nullopt);
  }

  void drawMessageBar(size_t edge) {
    const layout::GraphLayout& graph = *layout_;
    double top = messagePoint(edge) / layoutScaleY;
    if (graph.edgeHas(edge, "zarnself")) top -= kSelfMessageDrop;
    // A new object is busy from the bottom of its box, which stands
    // centred on its creation.
    if (graph.edgeHas(edge, "zarnsuper")) top -= kDropOffset + kBarAbove;
    drawBar(graph.edgeAttribute(edge, "zarnto"), top, graph.edgeAttribute(edge, "zarnbar"),
            std::atoi(graph.edgeAttribute(edge, "zarnlevel").c_str()), edge);
  }

  void drawBar(const std::string& lifeline, double top, const std::string& endRow, int level,
               std::optional<size_t> edge) {
    const std::optional<double> end = rowHeight(endRow);
    const std::optional<double> x = lifelineX(lifeline);
    if (!end || !x) return;
    top += kBarAbove;
    const double bottom = std::min(*end, top - kBarAbove) - kBarBelow;
    std::vector<Bar>& bars = bars_[lifeline];
    host::Shape shape = page_.drop(activation_, *x + level * kBarWidth * 0.5, top);
    shape.setName(lifeline + "/bar." + std::to_string(bars.size() + 1));
    shape.cells("Height").setResult(top - bottom);
    bars.push_back(Bar{shape, top, bottom, level, edge});
  }

  // The innermost bar of a lifeline at a height, leaving out the one the
  // message itself starts; nullptr when none.
  Bar* barAt(const std::string& lifeline, double height, std::optional<size_t> except) {
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
  Bar* barStartedBy(const std::string& lifeline, size_t edge) {
    const auto found = bars_.find(lifeline);
    if (found == bars_.end()) return nullptr;
    for (Bar& bar : found->second)
      if (bar.startedBy == edge) return &bar;
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
  bool glueToBars(host::Shape& message, size_t edge, const std::string& from, const std::string& to,
                  double height, bool self) {
    Bar* sender = barAt(from, height, edge);
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
    if (layout_->edgeHas(edge, "zarnsuper")) {
      message.cells("EndX").glueTo(lifelinePointAt(to, 0.0));
      return true;
    }
    Bar* receiver = barStartedBy(to, edge);
    if (!receiver) receiver = barAt(to, height, std::nullopt);
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
    const std::optional<size_t> node = layout_->nodeNamed(name);
    if (!node) return host::Cell();
    // In whole points, as messages are placed.
    const double nodeY = wholePoints(layout_->nodeY(*node)) / layoutScaleY;
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

  const layout::GraphLayout* layout_ = nullptr;
  host::Application app_;
  host::Document drawing_;
  host::Page page_;
  host::Master lifeline_, call_, selfCall_, return_, activation_, fragment_, operand_;
  std::unordered_map<std::string, std::vector<Bar>> bars_;  // by lifeline
  std::unordered_map<std::string, std::pair<double, double>> frames_;  // by row: left, width
};

}  // namespace

int drawSequenceDiagram(const std::string& layoutPath, const std::string& workFolder,
                        const std::string& savePath, const std::string& templatePath) {
  SequenceDrawing drawing;
  if (!drawing.open([&](host::Documents& documents) { return documents.add(templatePath); })) return -1;
  // A layout whose tree did not load (a missing or full work folder)
  // leaves nothing drawn: no empty drawing replaces a good one.
  const std::unique_ptr<DotFileLayout> layout = DotFileLayout::load(layoutPath, workFolder);
  if (!layout) return -1;
  drawing.drawPage(*layout);
  // A drawing that could not be saved is not drawn for the caller.
  return drawing.save(savePath) ? 0 : -1;
}

}  // namespace render
