#include "drawing/page_svg.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>

#include "drawing/drawing_xml.h"
#include "drawing/geometry.h"
#include "drawing/text_layout.h"

namespace drawing {
namespace {

constexpr double kUnits = kSvgUnits;
constexpr double kArrowLength = 0.11;  // inches
constexpr double kArrowHalfWidth = 0.045;
constexpr double kViewMargin = 0.25;   // inches round a page's content
constexpr double kEmptyWidth = 3.0;    // inches: the view of an empty page
constexpr double kEmptyHeight = 0.75;
constexpr const char* kFont = kSvgFont;

// Maps page inches (y up) to SVG units (y down) with the view's top-left
// corner at (0, offset).
struct Canvas {
  std::string& out;
  double left;    // inches
  double top;     // inches
  double offset;  // SVG units
  bool compact = false;
  int decimals() const { return compact ? 1 : 4; }
  std::string x(double inches) const { return formatNumber((inches - left) * kUnits, decimals()); }
  std::string y(double inches) const { return formatNumber(offset + (top - inches) * kUnits, decimals()); }
  std::string length(double inches) const { return formatNumber(inches * kUnits, decimals()); }
};

std::string strokeWidth(double points, int decimals = 4) { return formatNumber(points * kUnits / 72.0, decimals); }

// An attribute as XML writes it, escaped.
void attr(std::string& out, std::string_view name, std::string_view value) { xmlAttribute(out, name, value); }

void strokeAttributes(std::string& out, const StyleDef& style, bool filled, bool dashed, int decimals) {
  attr(out, "fill", filled ? style.fill : "none");
  attr(out, "stroke", style.stroke);
  attr(out, "stroke-width", strokeWidth(style.lineWidth, decimals));
  if (dashed) attr(out, "stroke-dasharray", "6 4");
}

bool shows(const FittedText& text) {
  return !text.lines.empty() && !(text.lines.size() == 1 && text.lines[0].empty());
}

// spaced: a space between the lines, so that a reader of the text
// (a link's visible name) hears words where the lines break.
void appendText(const Canvas& c, const PlacedText& placed, bool spaced = false) {
  const FittedText& text = placed.text;
  const double lineHeight = text.lineHeight();
  const double total = lineHeight * static_cast<double>(text.lines.size());
  // Baseline of the first line: the block is centred, the ascent is about
  // 0.8 of the font size.
  double baseline = placed.centreY + total * 0.5 - lineHeight * 0.5 - text.fontSize * 0.35 / 72.0;
  std::string& out = c.out;
  out += "<text";
  if (!placed.className.empty()) attr(out, "class", placed.className);
  // A compact picture names its font once, on its svg element.
  if (!c.compact) attr(out, "font-family", kFont);
  attr(out, "font-size", formatNumber(text.fontSize * kUnits / 72.0, c.decimals()));
  if (!c.compact || *placed.color != "#000000") attr(out, "fill", *placed.color);
  // A compact picture centres its texts unless they say otherwise.
  if (!c.compact || placed.anchor != "middle") attr(out, "text-anchor", placed.anchor);
  if (placed.halo) {
    attr(out, "stroke", "#ffffff");
    attr(out, "stroke-width", "3");
    attr(out, "paint-order", "stroke");
  }
  out += '>';
  for (const std::string& line : text.lines) {
    if (spaced && &line != &text.lines.front()) out += ' ';
    out += "<tspan";
    attr(out, "x", c.x(placed.x));
    attr(out, "y", c.y(baseline));
    out += '>';
    appendEscaped(out, line);
    out += "</tspan>";
    baseline -= lineHeight;
  }
  out += "</text>\n";
}

PlacedText placed(FittedText text, double x, double centreY, std::string_view anchor,
                  const std::string& color, bool halo) {
  return {std::move(text), x, centreY, anchor, &color, halo, {}};
}

// A 2-D shape's captions and its own text.
std::vector<PlacedText> shapeTexts(const Shape& shape, text::Charset encoding) {
  std::vector<PlacedText> texts;
  const Master& master = *shape.master;
  const Box box = shapeBox(shape);
  for (const CaptionDef& caption : master.captions) {
    FittedText text;
    text.fontSize = caption.fontSize;
    text.lines = displayLines(caption.text);
    if (!shows(text)) continue;
    // The caption's point is the bottom-left corner of its text, set a
    // little in from the outline's left edge.
    const double x = box.left + caption.at.x * box.width() + 0.04;
    const double y = box.bottom + caption.at.y * box.height() + 0.01;
    const double blockHeight = text.lineHeight() * static_cast<double>(text.lines.size());
    texts.push_back(placed(std::move(text), x, y + blockHeight * 0.5, "start", master.style.stroke,
                           false));
  }
  const std::string& own = shape.textSet ? shape.text : master.defaultText;
  const TextBoxDef& t = master.textBox;
  const double width = (t.right - t.left) * box.width();
  const double height = (t.top - t.bottom) * box.height();
  for (const std::string* shown : {&own, &shape.otherText}) {
    if (shown->empty()) continue;
    FittedText text = fitText(*shown, width, height, t.fontSize, encoding);
    if (!shows(text)) continue;
    if (t.topLeft) {
      const double blockHeight = text.lineHeight() * static_cast<double>(text.lines.size());
      texts.push_back(placed(std::move(text), box.left + t.left * box.width(),
                             box.bottom + t.top * box.height() - blockHeight * 0.5, "start",
                             master.style.textColor, true));
    } else {
      texts.push_back(placed(std::move(text), box.left + (t.left + t.right) * 0.5 * box.width(),
                             box.bottom + (t.bottom + t.top) * 0.5 * box.height(), "middle",
                             master.style.textColor, false));
    }
    if (!shape.otherText.empty()) texts.back().className = shown == &own ? "own-text" : "other-text";
  }
  return texts;
}

// Where a connector's text goes: beside its first run for a flowchart
// connector, above the middle for a straight message.
std::vector<PlacedText> connectorTexts(const Shape& connector, const std::vector<Point>& route,
                                       text::Charset encoding) {
  const Master& master = *connector.master;
  const std::string& shown = connector.textSet ? connector.text : master.defaultText;
  if (shown.empty() || route.size() < 2) return {};
  FittedText text = fitText(shown, 2.5, 1.0, master.textBox.fontSize, encoding);
  if (!shows(text)) return {};
  const std::string& color = master.style.textColor;
  const double blockHeight = text.lineHeight() * static_cast<double>(text.lines.size());
  std::vector<PlacedText> texts;
  if (connector.textPlaced) {
    texts.push_back(placed(std::move(text), connector.textCentre.x, connector.textCentre.y, "middle", color, true));
    return texts;
  }
  if (master.route == Master::Route::Straight) {
    if (route.size() == 4) {  // a message to its own lifeline
      const double x = route[1].x + 0.06;
      texts.push_back(placed(std::move(text), x, (route[1].y + route[2].y) * 0.5, "start", color, true));
      return texts;
    }
    const Point a = route.front(), b = route.back();
    texts.push_back(placed(std::move(text), (a.x + b.x) * 0.5,
                           std::max(a.y, b.y) + 0.04 + blockHeight * 0.5, "middle", color, true));
    return texts;
  }
  // Beside the first run, a little way from the start.
  const Point a = route[0], b = route[1];
  const bool vertical = std::fabs(a.x - b.x) < 1e-9;
  const double run = std::fabs(a.x - b.x) + std::fabs(a.y - b.y);
  const double along = std::min(0.18, run * 0.5);
  if (vertical)
    texts.push_back(placed(std::move(text), a.x + 0.05, a.y + (b.y > a.y ? along : -along), "start",
                           color, true));
  else
    texts.push_back(placed(std::move(text), a.x + (b.x > a.x ? along : -along),
                           a.y + 0.04 + blockHeight * 0.5, b.x > a.x ? "start" : "end", color,
                           true));
  return texts;
}

void appendOutline(const Canvas& c, const Shape& shape, const OutlinePart& part) {
  const Box box = shapeBox(shape);
  const StyleDef& style = shape.master->style;
  std::string& out = c.out;
  auto px = [&](double fx) { return box.left + fx * box.width(); };
  auto py = [&](double fy) { return box.bottom + fy * box.height(); };
  switch (part.kind) {
    case OutlinePart::Kind::Rect: {
      const double radius = part.rounding * std::min(box.width(), box.height());
      out += "<rect";
      attr(out, "x", c.x(box.left));
      attr(out, "y", c.y(box.top));
      attr(out, "width", c.length(box.width()));
      attr(out, "height", c.length(box.height()));
      if (radius > 0) {
        attr(out, "rx", c.length(radius));
        if (!c.compact) attr(out, "ry", c.length(radius));  // ry is rx unless given
      }
      break;
    }
    case OutlinePart::Kind::Ellipse:
      out += "<ellipse";
      attr(out, "cx", c.x(box.centre().x));
      attr(out, "cy", c.y(box.centre().y));
      attr(out, "rx", c.length(box.width() * 0.5));
      attr(out, "ry", c.length(box.height() * 0.5));
      break;
    case OutlinePart::Kind::Path: {
      std::string d;
      for (size_t r = 0; r < part.runs.size(); ++r) {
        const auto& run = part.runs[r];
        for (size_t i = 0; i < run.size(); ++i) {
          if (part.closed[r] && i + 1 == run.size()) break;
          d += i == 0 ? "M" : " L";
          d += c.x(px(run[i].x)) + " " + c.y(py(run[i].y));
        }
        if (part.closed[r]) d += " Z";
        d += ' ';
      }
      out += "<path";
      attr(out, "d", d);
      break;
    }
    case OutlinePart::Kind::Lifeline: {
      const auto end = lifelineEnd(shape);
      if (!end || *end >= box.bottom) return;
      out += "<line";
      attr(out, "x1", c.x(box.centre().x));
      attr(out, "y1", c.y(box.bottom));
      attr(out, "x2", c.x(box.centre().x));
      attr(out, "y2", c.y(*end));
      break;
    }
  }
  strokeAttributes(out, style, part.filled, part.dashed || shape.dashed, c.decimals());
  out += "/>\n";
}

void appendConnector(const Canvas& c, const Shape& connector, std::vector<Point> route) {
  const Master& master = *connector.master;
  std::string& out = c.out;
  if (route.size() < 2) return;
  const Point tip = route.back();
  Point from = route[route.size() - 2];
  double dx = tip.x - from.x, dy = tip.y - from.y;
  const double run = std::hypot(dx, dy);
  const bool arrow = master.arrow != Master::Arrow::None && run > 1e-9;
  if (arrow) {
    dx /= run;
    dy /= run;
    // A filled head covers the line's end; the line stops at its base.
    if (master.arrow == Master::Arrow::Filled) {
      const double cut = std::min(kArrowLength, run);
      route.back() = {tip.x - dx * cut, tip.y - dy * cut};
    }
  }
  std::string d;
  const bool curve = connector.curve && route.size() >= 4 && (route.size() - 1) % 3 == 0;
  if (curve && arrow && master.arrow == Master::Arrow::Filled) {
    // The last control point moves back with the end, so that the curve
    // still meets the arrow's base head on.
    Point& control = route[route.size() - 2];
    const double cut = std::min(kArrowLength, run);
    control = {control.x - dx * cut, control.y - dy * cut};
  }
  for (size_t i = 0; i < route.size(); ++i) {
    d += i == 0 ? "M" : curve ? ((i - 1) % 3 == 0 ? " C" : " ") : " L";
    d += c.x(route[i].x) + " " + c.y(route[i].y);
  }
  out += "<path";
  attr(out, "d", d);
  attr(out, "fill", "none");
  attr(out, "stroke", master.style.stroke);
  attr(out, "stroke-width", strokeWidth(master.style.lineWidth, c.decimals()));
  if (master.dashed || connector.dashed) attr(out, "stroke-dasharray", "6 4");
  out += "/>\n";
  if (arrow) {
    const Point base{tip.x - dx * kArrowLength, tip.y - dy * kArrowLength};
    const Point left{base.x - dy * kArrowHalfWidth, base.y + dx * kArrowHalfWidth};
    const Point right{base.x + dy * kArrowHalfWidth, base.y - dx * kArrowHalfWidth};
    const std::string points = c.x(left.x) + "," + c.y(left.y) + " " + c.x(tip.x) + "," +
                               c.y(tip.y) + " " + c.x(right.x) + "," + c.y(right.y);
    const bool filled = master.arrow == Master::Arrow::Filled;
    out += filled ? "<polygon" : "<polyline";
    attr(out, "points", points);
    attr(out, "fill", filled ? master.style.stroke : "none");
    attr(out, "stroke", master.style.stroke);
    attr(out, "stroke-width", strokeWidth(master.style.lineWidth, c.decimals()));
    out += "/>\n";
  }
}

// The hover text: the shape's comment followed by its links'
// descriptions; without a comment, each description in a title of its own.
void appendTitles(std::string& out, const Shape& shape, const std::string& comment) {
  if (comment.empty()) {
    for (const Hyperlink& each : shape.hyperlinks) {
      if (each.description.empty()) continue;
      out += "<title>";
      appendEscaped(out, each.description);
      out += "</title>\n";
    }
    return;
  }
  out += "<title>";
  appendEscaped(out, comment);
  for (const Hyperlink& each : shape.hyperlinks) {
    if (each.description.empty()) continue;
    out += "&#10;";
    appendEscaped(out, each.description);
  }
  out += "</title>\n";
}

}  // namespace

int targetPage(const Document& drawing, const std::string& subAddress) {
  for (size_t i = 0; i < drawing.pages.size(); ++i)
    if (drawing.pages[i]->name == subAddress) return static_cast<int>(i);
  const size_t slash = subAddress.find('/');
  if (slash == std::string::npos) return -1;
  const std::string page = subAddress.substr(0, slash);
  for (size_t i = 0; i < drawing.pages.size(); ++i)
    if (drawing.pages[i]->name == page) return static_cast<int>(i);
  return -1;
}

bool safeAddress(std::string_view address) {
  std::string scheme;
  for (char ch : address) {
    if (ch == ':') break;
    if (ch == '/' || ch == '#' || ch == '?') return true;  // relative
    if (ch == ' ' || ch == '\t') continue;
    scheme += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  }
  if (scheme.size() == address.size()) return true;  // no scheme at all
  return scheme == "http" || scheme == "https" || scheme == "file" || scheme == "mailto";
}

Box PlacedText::box() const {
  double width = 0.0;
  for (const std::string& line : text.lines)
    width = std::max(width, textWidth(line, text.fontSize, text.encoding));
  const double half = text.lineHeight() * static_cast<double>(text.lines.size()) * 0.5;
  const double left = anchor == "middle" ? x - width * 0.5 : anchor == "end" ? x - width : x;
  return {left, centreY - half, left + width, centreY + half};
}

PagePicture pagePicture(const Page& page, text::Charset encoding, bool compact) {
  PagePicture picture;
  picture.page = &page;
  picture.compact = compact;
  picture.routes = &pageRoutes(page);
  std::optional<Box> extent = drawingExtent(page, *picture.routes);
  picture.texts.reserve(page.shapes.size());
  for (size_t i = 0; i < page.shapes.size(); ++i) {
    const Shape& shape = *page.shapes[i];
    picture.texts.push_back(shape.isConnector() ? connectorTexts(shape, (*picture.routes)[i], encoding)
                                                : shapeTexts(shape, encoding));
    for (const PlacedText& text : picture.texts.back()) {
      if (extent)
        extent->include(text.box());
      else
        extent = text.box();
    }
  }
  picture.empty = !extent;
  if (!extent) {
    picture.view = {0.0, 0.0, kEmptyWidth, kEmptyHeight};
    return picture;
  }
  picture.view = {extent->left - kViewMargin, extent->bottom - kViewMargin,
                  extent->right + kViewMargin, extent->top + kViewMargin};
  return picture;
}

void appendPageSvg(std::string& out, const PagePicture& picture, double top,
                   const LinkResolver& resolve) {
  const Page& page = *picture.page;
  const Canvas canvas{out, picture.view.left, picture.view.top, top, picture.compact};
  if (picture.empty) {
    out += "<text";
    attr(out, "x", canvas.x(picture.view.centre().x));
    attr(out, "y", canvas.y(picture.view.centre().y - 0.05));
    attr(out, "font-family", kFont);
    attr(out, "font-size", "13");
    attr(out, "font-style", "italic");
    attr(out, "fill", "#8a94a3");
    attr(out, "text-anchor", "middle");
    out += ">empty page</text>\n";
  }
  for (size_t i = 0; i < page.shapes.size(); ++i) {
    const Shape& shape = *page.shapes[i];
    std::string href;
    const Hyperlink* link = nullptr;
    for (const Hyperlink& candidate : shape.hyperlinks) {
      href = resolve(candidate);
      if (!href.empty()) {
        link = &candidate;
        break;
      }
    }
    // A shape a reader is told of takes the focus (its link does, when
    // it has one) and says where it goes; once for each view that tells it
    // otherwise, with the classes that show it in its view alone.
    const auto appendShape = [&](const ShapeAccess* access, const std::string& comment, const std::string& classes) {
      auto accessAttributes = [&] {
        attr(out, "aria-label", access->label);
        if (!access->next.empty()) {
          std::string next;
          for (const std::string& name : access->next) next += (next.empty() ? "" : " ") + name;
          attr(out, "data-next", next);
        }
        if (access->firstLine > 0)
          attr(out, "data-lines", std::to_string(access->firstLine) + "-" +
                                      std::to_string(std::max(access->firstLine, access->lastLine)));
      };
      if (link) {
        out += "<a";
        attr(out, "href", href);
        attr(out, "class", "hyperlink" + (shape.classes.empty() ? "" : " " + shape.classes) + classes);
        if (access) accessAttributes();
        out += ">";
      }
      out += "<g";
      attr(out, "class", std::string(shape.isConnector() ? "connector" : "shape") +
                             (shape.classes.empty() ? "" : " " + shape.classes) + classes);
      attr(out, "data-name", shape.name);
      attr(out, "data-master", shape.master->name);
      if (access && !access->node.empty()) attr(out, "data-node", access->node);
      if (access && !link) {
        attr(out, "tabindex", "0");
        attr(out, "role", "graphics-symbol");
        accessAttributes();
      }
      out += ">\n";
      appendTitles(out, shape, comment);
      // The box of a shape with a lifeline is a header that a viewer may
      // keep in sight: its parts and texts stand in a group of their own,
      // with its top in SVG units.
      const auto& outline = shape.master->outline;
      const bool headed = std::any_of(outline.begin(), outline.end(), [](const OutlinePart& part) {
        return part.kind == OutlinePart::Kind::Lifeline;
      });
      if (shape.isConnector()) {
        appendConnector(canvas, shape, (*picture.routes)[i]);
      } else if (headed) {
        for (const OutlinePart& part : outline)
          if (part.kind == OutlinePart::Kind::Lifeline) appendOutline(canvas, shape, part);
        out += "<g";
        attr(out, "class", "header");
        attr(out, "data-top", canvas.y(shapeBox(shape).top));
        out += ">\n";
        for (const OutlinePart& part : outline)
          if (part.kind != OutlinePart::Kind::Lifeline) appendOutline(canvas, shape, part);
      } else {
        for (const OutlinePart& part : outline) appendOutline(canvas, shape, part);
      }
      for (const PlacedText& text : picture.texts[i]) appendText(canvas, text, access && link);
      if (headed) out += "</g>\n";
      out += "</g>";
      if (link) out += "</a>";
      out += '\n';
    };
    std::string others;
    for (const Shape::ViewTold& told : shape.viewsTold) others += " not-in-" + told.view;
    appendShape(shape.access ? &*shape.access : nullptr, shape.comment, others);
    for (const Shape::ViewTold& told : shape.viewsTold) appendShape(&told.access, told.comment, " in-" + told.view);
  }
}

}  // namespace drawing
