#include "render/host/page_svg.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "render/host/geometry.h"
#include "render/host/text_layout.h"

namespace host {
namespace {

constexpr double kUnits = 96.0;        // SVG units per inch
constexpr double kArrowLength = 0.11;  // inches
constexpr double kArrowHalfWidth = 0.045;
constexpr const char* kFont = "DejaVu Sans, Arial, Helvetica, sans-serif";

struct Canvas {
  std::string& out;
  double pageHeight;
  double top;
  std::string x(double inches) const { return formatNumber(inches * kUnits); }
  std::string y(double inches) const { return formatNumber(top + (pageHeight - inches) * kUnits); }
  std::string length(double inches) const { return formatNumber(inches * kUnits); }
};

std::string strokeWidth(double points) { return formatNumber(points * kUnits / 72.0); }

void attr(std::string& out, std::string_view name, std::string_view value) {
  out += ' ';
  out += name;
  out += "=\"";
  appendEscaped(out, value);
  out += '"';
}

void strokeAttributes(std::string& out, const StyleDef& style, bool filled, bool dashed) {
  attr(out, "fill", filled ? style.fill : "none");
  attr(out, "stroke", style.stroke);
  attr(out, "stroke-width", strokeWidth(style.lineWidth));
  if (dashed) attr(out, "stroke-dasharray", "6 4");
}

void appendText(const Canvas& c, const FittedText& text, double centreX, double centreY,
                const std::string& color, std::string_view anchor, double anchorX,
                bool halo) {
  if (text.lines.empty() || (text.lines.size() == 1 && text.lines[0].empty())) return;
  const double lineHeight = text.lineHeight();
  const double total = lineHeight * static_cast<double>(text.lines.size());
  // Baseline of the first line: the block is centred, the ascent is about
  // 0.8 of the font size.
  double baseline = centreY + total * 0.5 - lineHeight * 0.5 - text.fontSize * 0.35 / 72.0;
  std::string& out = c.out;
  out += "<text";
  attr(out, "font-family", kFont);
  attr(out, "font-size", formatNumber(text.fontSize * kUnits / 72.0));
  attr(out, "fill", color);
  attr(out, "text-anchor", anchor);
  if (halo) {
    attr(out, "stroke", "#ffffff");
    attr(out, "stroke-width", "3");
    attr(out, "paint-order", "stroke");
  }
  out += '>';
  const double x = anchor == "middle" ? centreX : anchorX;
  for (const std::string& line : text.lines) {
    out += "<tspan";
    attr(out, "x", c.x(x));
    attr(out, "y", c.y(baseline));
    out += '>';
    appendEscaped(out, line);
    out += "</tspan>";
    baseline -= lineHeight;
  }
  out += "</text>\n";
}

void appendOutline(const Canvas& c, const ShapeModel& shape, const OutlinePart& part) {
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
        attr(out, "ry", c.length(radius));
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
  strokeAttributes(out, style, part.filled, part.dashed);
  out += "/>\n";
}

void appendShape(const Canvas& c, const ShapeModel& shape) {
  const MasterDef& master = *shape.master;
  for (const OutlinePart& part : master.outline) appendOutline(c, shape, part);
  const Box box = shapeBox(shape);
  for (const CaptionDef& caption : master.captions) {
    FittedText text;
    text.fontSize = caption.fontSize;
    text.lines = displayLines(caption.text);
    // The caption's point is the bottom-left corner of its text, set a
    // little in from the outline's left edge.
    const double x = box.left + caption.at.x * box.width() + 0.04;
    const double y = box.bottom + caption.at.y * box.height() + 0.01;
    const double blockHeight = text.lineHeight() * static_cast<double>(text.lines.size());
    appendText(c, text, x, y + blockHeight * 0.5, master.style.stroke, "start", x, false);
  }
  const std::string& shown = shape.textSet ? shape.text : master.defaultText;
  if (shown.empty()) return;
  const TextBoxDef& t = master.textBox;
  const double width = (t.right - t.left) * box.width();
  const double height = (t.top - t.bottom) * box.height();
  const FittedText text = fitText(shown, width, height, t.fontSize);
  appendText(c, text, box.left + (t.left + t.right) * 0.5 * box.width(),
             box.bottom + (t.bottom + t.top) * 0.5 * box.height(), master.style.textColor,
             "middle", 0, false);
}

// Where a connector's text goes: beside its first run for a flowchart
// connector, above the middle for a straight message.
void appendConnectorText(const Canvas& c, const ShapeModel& connector,
                         const std::vector<Point>& route) {
  const MasterDef& master = *connector.master;
  const std::string& shown = connector.textSet ? connector.text : master.defaultText;
  if (shown.empty() || route.size() < 2) return;
  FittedText text = fitText(shown, 2.5, 1.0, master.textBox.fontSize);
  const double lineHeight = text.lineHeight();
  const double blockHeight = lineHeight * static_cast<double>(text.lines.size());
  if (master.route == MasterDef::Route::Straight) {
    if (route.size() == 4) {  // a message to its own lifeline
      const double x = route[1].x + 0.06;
      appendText(c, text, x, (route[1].y + route[2].y) * 0.5, master.style.textColor, "start", x,
                 true);
      return;
    }
    const Point a = route.front(), b = route.back();
    appendText(c, text, (a.x + b.x) * 0.5, std::max(a.y, b.y) + 0.04 + blockHeight * 0.5,
               master.style.textColor, "middle", 0, true);
    return;
  }
  // Beside the first run, a little way from the start.
  const Point a = route[0], b = route[1];
  const bool vertical = std::fabs(a.x - b.x) < 1e-9;
  const double run = std::fabs(a.x - b.x) + std::fabs(a.y - b.y);
  const double along = std::min(0.18, run * 0.5);
  if (vertical) {
    const double y = a.y + (b.y > a.y ? along : -along);
    const double x = a.x + 0.05;
    appendText(c, text, x, y, master.style.textColor, "start", x, true);
  } else {
    const double x = a.x + (b.x > a.x ? along : -along);
    appendText(c, text, x, a.y + 0.04 + blockHeight * 0.5, master.style.textColor,
               b.x > a.x ? "start" : "end", x, true);
  }
}

void appendConnector(const Canvas& c, const ShapeModel& connector, std::vector<Point> route) {
  const MasterDef& master = *connector.master;
  std::string& out = c.out;
  if (route.size() < 2) return;
  const Point tip = route.back();
  Point from = route[route.size() - 2];
  double dx = tip.x - from.x, dy = tip.y - from.y;
  const double run = std::hypot(dx, dy);
  const bool arrow = master.arrow != MasterDef::Arrow::None && run > 1e-9;
  if (arrow) {
    dx /= run;
    dy /= run;
    // A filled head covers the line's end; the line stops at its base.
    if (master.arrow == MasterDef::Arrow::Filled) {
      const double cut = std::min(kArrowLength, run);
      route.back() = {tip.x - dx * cut, tip.y - dy * cut};
    }
  }
  std::string d;
  for (size_t i = 0; i < route.size(); ++i) {
    d += i == 0 ? "M" : " L";
    d += c.x(route[i].x) + " " + c.y(route[i].y);
  }
  out += "<path";
  attr(out, "d", d);
  attr(out, "fill", "none");
  attr(out, "stroke", master.style.stroke);
  attr(out, "stroke-width", strokeWidth(master.style.lineWidth));
  if (master.dashed) attr(out, "stroke-dasharray", "6 4");
  out += "/>\n";
  if (arrow) {
    const Point base{tip.x - dx * kArrowLength, tip.y - dy * kArrowLength};
    const Point left{base.x - dy * kArrowHalfWidth, base.y + dx * kArrowHalfWidth};
    const Point right{base.x + dy * kArrowHalfWidth, base.y - dx * kArrowHalfWidth};
    const std::string points = c.x(left.x) + "," + c.y(left.y) + " " + c.x(tip.x) + "," +
                               c.y(tip.y) + " " + c.x(right.x) + "," + c.y(right.y);
    const bool filled = master.arrow == MasterDef::Arrow::Filled;
    out += filled ? "<polygon" : "<polyline";
    attr(out, "points", points);
    attr(out, "fill", filled ? master.style.stroke : "none");
    attr(out, "stroke", master.style.stroke);
    attr(out, "stroke-width", strokeWidth(master.style.lineWidth));
    out += "/>\n";
  }
  route.back() = tip;
  appendConnectorText(c, connector, route);
}

}  // namespace

int targetPage(const DocumentModel& drawing, const std::string& subAddress) {
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

void appendPageSvg(std::string& out, const PageModel& page, double top,
                   const LinkResolver& resolve) {
  const Canvas canvas{out, page.height, top};
  out += "<rect";
  attr(out, "x", "0");
  attr(out, "y", formatNumber(top));
  attr(out, "width", canvas.length(page.width));
  attr(out, "height", canvas.length(page.height));
  attr(out, "fill", "#ffffff");
  attr(out, "stroke", "#b0b0b0");
  attr(out, "stroke-width", "1");
  out += "/>\n";
  const std::vector<std::vector<Point>>& routes = pageRoutes(page);
  for (size_t i = 0; i < page.shapes.size(); ++i) {
    const ShapeModel& shape = *page.shapes[i];
    std::string href;
    const HyperlinkModel* link = nullptr;
    for (const HyperlinkModel& candidate : shape.hyperlinks) {
      href = resolve(candidate);
      if (!href.empty()) {
        link = &candidate;
        break;
      }
    }
    if (link) {
      out += "<a";
      attr(out, "href", href);
      attr(out, "class", "hyperlink");
      out += ">";
    }
    out += "<g";
    attr(out, "class", shape.isConnector() ? "connector" : "shape");
    attr(out, "data-name", shape.name);
    attr(out, "data-master", shape.master->name);
    out += ">\n";
    for (const HyperlinkModel& each : shape.hyperlinks) {
      if (each.description.empty()) continue;
      out += "<title>";
      appendEscaped(out, each.description);
      out += "</title>\n";
    }
    if (shape.isConnector())
      appendConnector(canvas, shape, routes[i]);
    else
      appendShape(canvas, shape);
    out += "</g>";
    if (link) out += "</a>";
    out += '\n';
  }
}

}  // namespace host
