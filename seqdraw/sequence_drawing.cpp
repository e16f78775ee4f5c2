#include "seqdraw/sequence_drawing.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numeric>
#include <optional>
#include <vector>

#include "drawing/geometry.h"
#include "drawing/sequence_stencil.h"
#include "drawing/template_file.h"
#include "drawing/text_layout.h"

namespace seqdraw {
namespace {

using namespace drawing::sequence_stencil;

using drawing::Shape;
using Kind = sequence::Message::Kind;

constexpr double kPointsPerInch = 96.0;   // layout points per drawn inch
constexpr double kPageWidth = 8.5;        // US letter, where a drawing starts
constexpr double kPageHeight = 11.0;
constexpr double kFitMargin = 0.25;       // kept round a drawing fitted to its page
constexpr double kNoteWidth = 4.0;        // inches
constexpr double kNoteFontSize = 8.0;     // points, as the template's Note master has it
constexpr double kNoteGap = 0.25;         // between the drawing and the note

// A position in whole points, cut toward zero.
int wholePoints(double points) {
  if (!(points == points)) return 0;
  if (points >= 2147483647.0) return INT_MAX;
  if (points <= -2147483648.0) return INT_MIN;
  return static_cast<int>(points);
}

// A shape of a master with its pin at (x, y), named after its id until
// named otherwise, as the engine's drawing host drops one.
Shape& drop(drawing::Page& page, const std::shared_ptr<const drawing::Master>& master, double x, double y) {
  const drawing::Master& def = *master;
  auto shape = std::make_unique<Shape>();
  shape->id = page.nextId++;
  shape->master = master;
  shape->width = def.width;
  shape->height = def.height;
  shape->pinX = x;
  shape->pinY = y;
  shape->begin.at = {x - def.width * 0.5, y};
  shape->end.at = {x + def.width * 0.5, y};
  for (const drawing::ControlDef& control : def.controls)
    for (const drawing::OutlinePart& part : def.outline)
      if (part.kind == drawing::OutlinePart::Kind::Lifeline && part.control == control.name && !shape->lifelineBottom)
        shape->lifelineBottom = control.y;
  Shape& added = *shape;
  page.shapes.push_back(std::move(shape));
  page.changed();
  page.rename(added, "Sheet." + std::to_string(added.id));
  return added;
}

// A point on a shape a message starts or ends at: x a share of its width,
// y in inches from its bottom edge, or one of the master's own connection
// points (whose end moves to the side facing the message's other end).
struct End {
  const Shape* shape = nullptr;
  double widthShare = 0.0;
  double y = 0.0;
  const drawing::ConnectionPointDef* point = nullptr;

  drawing::Point at() const {
    const drawing::Point base = shape->origin();
    if (point) return {base.x + shape->width * point->at.x, base.y + shape->height * point->at.y};
    return {base.x + shape->width * widthShare, base.y + y};
  }
};

void attach(Shape& connector, bool begin, const End& to) {
  if (!to.shape) return;
  drawing::ConnectorEnd& end = begin ? connector.begin : connector.end;
  end.at = to.at();
  end.shape = to.shape;
  if (to.point) {
    end.direction = to.point->direction;
    end.point = to.point->name;
  }
}

// An end at a master's connection point that moves to the side of its
// shape facing the connector's other end (where it was put), as the
// host puts it.
void snapToSide(Shape& connector, bool begin, const End& to, drawing::Point other) {
  if (!to.shape || !to.point || !to.point->snapToSide) return;
  const drawing::Box box = drawing::shapeBox(*to.shape);
  (begin ? connector.begin : connector.end).at.x = other.x < box.centre().x ? box.left : box.right;
}

void fitPageToContents(drawing::Page& page) {
  if (const std::optional<drawing::Box> extent = drawing::drawingExtent(page, drawing::pageRoutes(page))) {
    page.width = extent->width() + 2 * kFitMargin;
    page.height = extent->height() + 2 * kFitMargin;
    drawing::moveDrawing(page, kFitMargin - extent->left, kFitMargin - extent->bottom);
  }
}

class SequenceDrawer {
 public:
  SequenceDrawer(const SequencePlan& plan, const graphviz::WrittenPositions& at, const SequenceMasters& masters,
                 drawing::Page& page)
      : plan_(plan), at_(at), masters_(masters), page_(page), lifelines_(plan.lifelines.size()),
        bars_(plan.lifelines.size()) {}

  void draw() {
    const bool large = at_.top / kPointsPerInch > kPageHeight || at_.right / kPointsPerInch > kPageWidth;
    page_.width = kPageWidth;
    page_.height = kPageHeight;
    for (size_t i = 0; i < plan_.lifelines.size(); ++i) drawLifeline(i);
    // The bars behind the messages, the frames in front, so that their
    // texts stay readable.
    if (plan_.ownBar) drawBar(plan_.ownBar->lifeline, rowY(plan_.ownBar->fromRow), plan_.ownBar->toRow, 0, std::nullopt);
    for (size_t k = 0; k < plan_.messages.size(); ++k)
      if (plan_.messages[k].barEnd) drawMessageBar(k);
    for (size_t k = 0; k < plan_.messages.size(); ++k) drawMessage(k);
    frames_.assign(plan_.fragments.size(), std::nullopt);
    std::vector<size_t> byRow(plan_.fragments.size());
    std::iota(byRow.begin(), byRow.end(), size_t{0});
    std::stable_sort(byRow.begin(), byRow.end(),
                     [&](size_t a, size_t b) { return plan_.fragments[a].row < plan_.fragments[b].row; });
    for (size_t f : byRow) drawFragment(f);
    for (const PlannedOperand& operand : plan_.operands) drawOperand(operand);
    page_.changed();
    if (large) fitPageToContents(page_);
    page_.name = "Sequence diagram";
  }

 private:
  struct Bar {
    Shape* shape = nullptr;
    double top = 0.0, bottom = 0.0;
    int level = 0;
    std::optional<size_t> startedBy;  // the message, or none for the method's own
  };

  // Whether a message or fragment names a lifeline of the plan: one that
  // does not is drawn without glue, as the engine draws a layout naming
  // no such node.
  bool known(size_t lifeline) const { return lifeline < lifelines_.size(); }
  const graphviz::LayoutPoint& centre(size_t node) const { return at_.centres[node]; }
  double rowY(size_t row) const { return centre(rowNode(plan_, row)).y / kPointsPerInch; }
  double lifelineX(size_t lifeline) const { return centre(lifelineNode(lifeline)).x / kPointsPerInch; }
  // A message's height as the drawing places it: in whole points.
  int messagePoint(size_t message) const {
    return wholePoints(at_.edgeStartY[messageEdge(plan_, message)]);
  }

  void drawLifeline(size_t i) {
    const PlannedLifeline& planned = plan_.lifelines[i];
    const double x = centre(lifelineNode(i)).x / kPointsPerInch;
    const double y = centre(lifelineNode(i)).y / kPointsPerInch;
    Shape& lifeline = drop(page_, masters_.lifeline, x - kDropOffset, y - kDropOffset);
    page_.rename(lifeline, lifelineNodeName(i));
    lifeline.text = planned.label;
    lifeline.textSet = true;
    // A box its name needs larger grows about the same centre and upwards
    // from the same bottom edge.
    if (planned.boxWidth > kBoxWidth) {
      const double width = writtenInches(planned.boxWidth);
      lifeline.width = width;
      lifeline.pinX = x - kDropOffset * width / kBoxWidth;
    }
    if (planned.boxHeight > kBoxHeight) lifeline.height = writtenInches(planned.boxHeight);
    // The dashed line ends at the height of the last row.
    lifeline.lifelineBottom = rowY(plan_.lastRow) - (y - kDropOffset);
    lifelines_[i] = &lifeline;
  }

  void drawMessageBar(size_t k) {
    const PlannedMessage& message = plan_.messages[k];
    if (!known(message.to)) return;
    double top = messagePoint(k) / kPointsPerInch;
    if (message.kind == Kind::SelfCall) top -= kSelfMessageDrop;
    // A new object is busy from the bottom of its box, which stands
    // centred on its creation.
    if (message.kind == Kind::Create) top -= kDropOffset + kBarAbove;
    drawBar(message.to, top, *message.barEnd, message.barLevel, k);
  }

  void drawBar(size_t lifeline, double top, size_t endRow, int level, std::optional<size_t> message) {
    const double end = rowY(endRow);
    const double x = lifelineX(lifeline);
    top += kBarAbove;
    const double bottom = std::min(end, top - kBarAbove) - kBarBelow;
    std::vector<Bar>& bars = bars_[lifeline];
    Shape& shape = drop(page_, masters_.activation, x + level * kBarWidth * 0.5, top);
    page_.rename(shape, lifelineNodeName(lifeline) + "/bar." + std::to_string(bars.size() + 1));
    shape.height = top - bottom;
    bars.push_back(Bar{&shape, top, bottom, level, message});
    anyBar_ = true;
  }

  void drawMessage(size_t k) {
    const PlannedMessage& planned = plan_.messages[k];
    if (planned.kind == Kind::Ref) return;  // its ref frame stands for it
    const bool self = planned.kind == Kind::SelfCall;
    const auto& master = self ? masters_.selfCall : planned.kind == Kind::Return ? masters_.reply : masters_.call;
    Shape& message = drop(page_, master, 1.0, 1.0);
    const double height = messagePoint(k) / kPointsPerInch;
    ends_[0] = ends_[1] = End{};
    if (!anyBar_ || !glueToBars(message, k, height)) {
      glue(message, true, lifelinePointAt(planned.from, height));
      if (planned.kind == Kind::Create)
        glue(message, false, lifelinePointAt(planned.to, 0.0));
      else if (self)
        glue(message, false, lifelinePointAt(planned.to, height - kSelfMessageDrop));
      else
        glue(message, false, lifelinePointAt(planned.to, height));
    }
    // An end at a connection point that snaps to a side snaps once both
    // ends are known, to the side facing the other.
    const drawing::Point begin = message.begin.at, end = message.end.at;
    snapToSide(message, true, ends_[0], end);
    snapToSide(message, false, ends_[1], begin);
    message.text = planned.label;
    message.textSet = true;
  }

  // A frame from the row above its first message down to its closing row,
  // across the lifelines it spans, at least as wide as its text.
  void drawFragment(size_t f) {
    const PlannedFragment& fragment = plan_.fragments[f];
    if (!known(fragment.left) || !known(fragment.right)) return;
    const double top = rowY(fragment.row) + kFrameAbove;
    const double end = rowY(fragment.endRow);
    const double left = lifelineX(fragment.left);
    const double right = lifelineX(fragment.right);
    const double margin = std::max(kFrameInset, kFrameMargin - kFrameInset * static_cast<double>(fragment.level));
    const double x = left - margin;
    const double width = std::max(right + margin - x, drawing::textWidth(fragment.text, kFrameFontSize) + 0.2);
    const double height = std::max(kGuardHeight, top - (end + kFrameBelow));
    Shape& frame = drop(page_, masters_.fragment, x, top);
    page_.rename(frame, "t." + std::to_string(fragment.row) + "/fragment");
    frame.width = width;
    frame.height = height;
    frame.text = fragment.text;
    frame.textSet = true;
    if (!fragment.link.empty()) frame.hyperlinks.push_back(drawing::Hyperlink{"Open " + fragment.link, "", fragment.link});
    frames_[f] = std::make_pair(x, width);
  }

  // The dashed line that starts a further operand, its guard below it.
  void drawOperand(const PlannedOperand& operand) {
    if (operand.fragment >= frames_.size() || !frames_[operand.fragment]) return;
    const auto [x, width] = *frames_[operand.fragment];
    Shape& line = drop(page_, masters_.operand, x, rowY(operand.row) + kFrameAbove);
    page_.rename(line, "t." + std::to_string(operand.row) + "/operand");
    line.width = width;
    line.height = kGuardHeight;
    line.text = operand.guard;
    line.textSet = true;
  }

  // The innermost bar of a lifeline at a height, leaving out the one the
  // message itself starts; nullptr when none.
  Bar* barAt(size_t lifeline, double height, std::optional<size_t> except) {
    Bar* best = nullptr;
    if (!known(lifeline)) return nullptr;
    for (Bar& bar : bars_[lifeline]) {
      if (except && bar.startedBy == except) continue;
      if (height > bar.top + 1e-9 || height < bar.bottom - 1e-9) continue;
      if (!best || bar.level >= best->level) best = &bar;
    }
    return best;
  }
  Bar* barStartedBy(size_t lifeline, size_t message) {
    if (!known(lifeline)) return nullptr;
    for (Bar& bar : bars_[lifeline])
      if (bar.startedBy == message) return &bar;
    return nullptr;
  }

  // A new connection point on a bar, on the side given as a share of its
  // width (0 left, 1 right, 1.5 the right side of a bar one level deeper)
  // at height v.
  End barPointAt(Bar& bar, double side, double v) { return {bar.shape, side, v - bar.bottom}; }

  // Puts a message's end at a point, kept for snapping once both are known.
  void glue(Shape& message, bool begin, const End& to) {
    ends_[begin ? 0 : 1] = to;
    attach(message, begin, to);
  }

  // Glues a message to the bars at its ends, on the sides that face each
  // other; false when the sender has no bar there, and the message is
  // glued to the lifelines as without bars.
  bool glueToBars(Shape& message, size_t k, double height) {
    const PlannedMessage& planned = plan_.messages[k];
    Bar* sender = barAt(planned.from, height, k);
    if (!sender || !known(planned.to)) return false;
    if (planned.kind == Kind::SelfCall) {
      // Out of the sender's bar and back into the right side of the one it starts.
      glue(message, true, barPointAt(*sender, 1.0, height));
      glue(message, false, barPointAt(*sender, 1.5, height - kSelfMessageDrop));
      return true;
    }
    const bool rightwards = lifelineX(planned.to) >= lifelineX(planned.from);
    glue(message, true, barPointAt(*sender, rightwards ? 1.0 : 0.0, height));
    if (planned.kind == Kind::Create) {
      glue(message, false, lifelinePointAt(planned.to, 0.0));
      return true;
    }
    Bar* receiver = barStartedBy(planned.to, k);
    if (!receiver) receiver = barAt(planned.to, height, std::nullopt);
    if (receiver)
      glue(message, false, barPointAt(*receiver, rightwards ? 0.0 : 1.0, height));
    else
      glue(message, false, lifelinePointAt(planned.to, height));
    return true;
  }

  // A new connection point on a lifeline at height v (inches), or its
  // creation point when v is 0.
  End lifelinePointAt(size_t lifeline, double v) {
    if (!known(lifeline)) return {};
    const Shape* shape = lifelines_[lifeline];
    // CreationPt, the master's one connection point.
    if (v == 0.0) return {shape, 0.0, 0.0, shape->master->connections.empty() ? nullptr : &shape->master->connections.front()};
    // In whole points, as messages are placed.
    const double nodeY = wholePoints(centre(lifelineNode(lifeline)).y) / kPointsPerInch;
    return {shape, 0.5, v - (nodeY - kDropOffset)};
  }

  const SequencePlan& plan_;
  const graphviz::WrittenPositions& at_;
  const SequenceMasters& masters_;
  drawing::Page& page_;
  std::vector<Shape*> lifelines_;
  std::vector<std::vector<Bar>> bars_;  // by lifeline
  bool anyBar_ = false;
  End ends_[2];  // the message being drawn: where it begins and ends
  std::vector<std::optional<std::pair<double, double>>> frames_;  // by fragment: left, width
};

}  // namespace

errors::Result<SequenceMasters> sequenceMasters(std::string_view templateName, std::string_view templateText,
                                                std::string_view stencilText) {
  const errors::Problem broken(errors::Problem::Kind::Failed, "the sequence template built into the program is broken");
  errors::Result<drawing::TemplateContent> drawing = drawing::parseTemplateText(templateText);
  if (!drawing) return errors::Problem(errors::Problem::Kind::Failed, broken.message + ": " + drawing.problem().message);
  errors::Result<drawing::TemplateContent> stencil = drawing::parseTemplateText(stencilText);
  if (!stencil)
    return errors::Problem(errors::Problem::Kind::Failed, "the sequence stencil built into the program is broken: " +
                                                              stencil.problem().message);
  SequenceMasters masters;
  masters.templateName = std::string(templateName);
  for (auto& master : drawing->masters) masters.templateMasters.push_back(std::move(master));
  std::vector<std::shared_ptr<const drawing::Master>> stencilMasters;
  for (auto& master : stencil->masters) stencilMasters.push_back(std::move(master));
  auto find = [](const std::vector<std::shared_ptr<const drawing::Master>>& in, std::string_view name) {
    for (const auto& master : in)
      if (master->name == name) return master;
    return std::shared_ptr<const drawing::Master>();
  };
  masters.lifeline = find(stencilMasters, "Object Lifeline");
  masters.call = find(stencilMasters, "Message (call)");
  masters.selfCall = find(stencilMasters, "Message (call) ");
  masters.reply = find(stencilMasters, "Message (return)");
  masters.activation = find(stencilMasters, "Activation");
  masters.fragment = find(stencilMasters, "Fragment");
  masters.operand = find(stencilMasters, "Operand");
  masters.note = find(masters.templateMasters, "Note");
  for (const auto* master : {&masters.lifeline, &masters.call, &masters.selfCall, &masters.reply, &masters.activation,
                             &masters.fragment, &masters.operand, &masters.note})
    if (!*master) return broken;
  return masters;
}

std::unique_ptr<drawing::Document> drawSequence(const SequencePlan& plan, const graphviz::Layout& layout,
                                                  const SequenceMasters& masters) {
  auto drawing = std::make_unique<drawing::Document>();
  drawing->templateName = masters.templateName;
  drawing->language = "en-US";  // its own words: the page's name, a note
  drawing->masters = masters.templateMasters;
  drawing->pages.push_back(std::make_unique<drawing::Page>());
  SequenceDrawer(plan, layout.written, masters, *drawing->pages.front()).draw();
  return drawing;
}

void addNote(drawing::Page& page, const SequenceMasters& masters, const std::string& text) {
  const std::optional<drawing::Box> extent = drawing::drawingExtent(page, drawing::pageRoutes(page));
  const double left = extent ? extent->left : 0.5;
  const double top = (extent ? extent->bottom : 10.5) - kNoteGap;
  const drawing::FittedText fitted = drawing::fitText(text, kNoteWidth * 0.92, 1e6, kNoteFontSize);
  const double height = static_cast<double>(fitted.lines.size()) * fitted.lineHeight() + 0.16;
  // The Note master's pin is its top left corner.
  Shape& note = drop(page, masters.note, left, top);
  note.width = kNoteWidth;
  note.height = height;
  note.text = text;
  note.textSet = true;
  page.changed();
  if (top - height < 0.0) fitPageToContents(page);
}

}  // namespace seqdraw
