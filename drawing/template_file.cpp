#include "drawing/template_file.h"

#include <cstdlib>
#include <stdexcept>

#include "xml/document.h"

namespace drawing {
namespace {

// Raised for a malformed template; caught at the top of the loader.
struct TemplateError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::optional<std::string> attribute(const xml::Node& node, std::string_view name) {
  xml::Node found = node.selectSingleNode("@" + std::string(name));
  if (found.isNull()) return std::nullopt;
  return found.value();
}

double parseNumber(std::string_view text) {
  std::string copy(text);
  char* end = nullptr;
  const double value = std::strtod(copy.c_str(), &end);
  if (copy.empty() || end == copy.c_str() || *end != '\0')
    throw TemplateError("not a number: " + copy);
  return value;
}

double number(const xml::Node& node, std::string_view name, double fallback) {
  auto text = attribute(node, name);
  return text ? parseNumber(*text) : fallback;
}

std::string text(const xml::Node& node, std::string_view name, std::string fallback = {}) {
  auto value = attribute(node, name);
  return value ? *value : fallback;
}

bool flag(const xml::Node& node, std::string_view name) {
  auto value = attribute(node, name);
  return value && (*value == "yes" || *value == "true" || *value == "1");
}

Point direction(std::string_view name) {
  if (name == "up") return {0, 1};
  if (name == "down") return {0, -1};
  if (name == "left") return {-1, 0};
  if (name == "right") return {1, 0};
  if (name.empty()) return {0, 0};
  throw TemplateError("unknown direction: " + std::string(name));
}

// "M x y L x y ... Z": moves start a run, Z closes it.
void parsePath(std::string_view d, OutlinePart& part) {
  std::vector<std::string> tokens;
  std::string current;
  for (char c : d) {
    if (c == ' ' || c == ',' || c == '\t' || c == '\n' || c == '\r') {
      if (!current.empty()) tokens.push_back(current), current.clear();
    } else if (c == 'M' || c == 'L' || c == 'Z') {
      if (!current.empty()) tokens.push_back(current), current.clear();
      tokens.emplace_back(1, c);
    } else {
      current += c;
    }
  }
  if (!current.empty()) tokens.push_back(current);
  char command = 0;
  for (size_t i = 0; i < tokens.size();) {
    const std::string& token = tokens[i];
    if (token == "M" || token == "L" || token == "Z") {
      command = token[0];
      ++i;
      if (command == 'Z') {
        if (part.runs.empty() || part.runs.back().empty()) throw TemplateError("Z without a run");
        part.closed.back() = true;
        part.runs.back().push_back(part.runs.back().front());
      }
      continue;
    }
    if (command != 'M' && command != 'L') throw TemplateError("path needs M or L before numbers");
    if (i + 1 >= tokens.size()) throw TemplateError("path point without y");
    Point point{parseNumber(token), parseNumber(tokens[i + 1])};
    i += 2;
    if (command == 'M' || part.runs.empty()) {
      part.runs.emplace_back();
      part.closed.push_back(false);
      command = 'L';  // further pairs after M continue the run
    }
    part.runs.back().push_back(point);
  }
  if (part.runs.empty()) throw TemplateError("empty path");
}

OutlinePart outlinePart(const xml::Node& node) {
  OutlinePart part;
  const std::string name = node.name();
  if (name == "rect") {
    part.kind = OutlinePart::Kind::Rect;
    part.rounding = number(node, "rounding", 0.0);
  } else if (name == "ellipse") {
    part.kind = OutlinePart::Kind::Ellipse;
  } else if (name == "path") {
    part.kind = OutlinePart::Kind::Path;
    parsePath(text(node, "d"), part);
  } else {
    part.kind = OutlinePart::Kind::Lifeline;
    part.control = text(node, "control");
    part.dashed = true;
    part.filled = false;
  }
  if (attribute(node, "fill")) part.filled = text(node, "fill") != "none";
  if (attribute(node, "dash")) part.dashed = flag(node, "dash");
  return part;
}

void readStyle(const xml::Node& node, StyleDef& style) {
  style.fill = text(node, "fill", style.fill);
  style.stroke = text(node, "stroke", style.stroke);
  style.textColor = text(node, "text-color", style.textColor);
  style.lineWidth = number(node, "line-width", style.lineWidth);
}

std::unique_ptr<Master> master(const xml::Node& node) {
  auto def = std::make_unique<Master>();
  def->name = text(node, "name");
  if (def->name.empty()) throw TemplateError("master without a name");
  def->width = number(node, "width", def->width);
  def->height = number(node, "height", def->height);
  def->pin = {number(node, "pin-x", 0.5), number(node, "pin-y", 0.5)};
  def->defaultText = text(node, "text");
  for (const xml::Node& child : node.selectNodes("*")) {
    const std::string name = child.name();
    if (name == "style") {
      readStyle(child, def->style);
    } else if (name == "rect" || name == "ellipse" || name == "path" || name == "lifeline") {
      def->outline.push_back(outlinePart(child));
    } else if (name == "text") {
      def->textBox = {number(child, "left", 0.0), number(child, "bottom", 0.0),
                      number(child, "right", 1.0), number(child, "top", 1.0),
                      number(child, "size", 10.0), text(child, "align") == "top-left"};
    } else if (name == "caption") {
      def->captions.push_back({text(child, "text"),
                               {number(child, "x", 0.0), number(child, "y", 1.0)},
                               number(child, "size", 9.0)});
    } else if (name == "connection") {
      ConnectionPointDef point;
      point.name = text(child, "name");
      if (point.name.empty()) throw TemplateError("connection point without a name");
      point.at = {number(child, "x", 0.5), number(child, "y", 0.5)};
      point.direction = direction(text(child, "dir"));
      point.snapToSide = text(child, "snap") == "side";
      def->connections.push_back(point);
    } else if (name == "control") {
      def->controls.push_back(
          {text(child, "name"), number(child, "x", 0.5), number(child, "y", 0.0)});
    } else {
      throw TemplateError("unknown master part: " + name);
    }
  }
  return def;
}

std::unique_ptr<Master> connector(const xml::Node& node) {
  auto def = std::make_unique<Master>();
  def->connector = true;
  def->name = text(node, "name");
  if (def->name.empty()) throw TemplateError("connector without a name");
  def->style.fill = "none";
  readStyle(node, def->style);
  def->style.textColor = text(node, "text-color", def->style.stroke);
  def->textBox.fontSize = number(node, "size", 9.0);
  def->route = text(node, "route") == "straight" ? Master::Route::Straight
                                                  : Master::Route::Orthogonal;
  const std::string arrow = text(node, "arrow", "filled");
  if (arrow == "open")
    def->arrow = Master::Arrow::Open;
  else if (arrow == "none")
    def->arrow = Master::Arrow::None;
  else if (arrow == "filled")
    def->arrow = Master::Arrow::Filled;
  else
    throw TemplateError("unknown arrow: " + arrow);
  def->dashed = flag(node, "dash");
  def->defaultText = text(node, "text");
  return def;
}

errors::Problem malformed(std::string why) {
  return errors::Problem(errors::Problem::Kind::Failed, std::move(why));
}

errors::Result<TemplateContent> fromDocument(std::unique_ptr<xml::Document> document) {
  if (!document) return malformed("not well-formed XML");
  try {
    xml::Node root = document->documentElement();
    const std::string rootName = root.name();
    if (rootName != "template" && rootName != "stencil")
      return malformed("its root is <" + rootName + ">, not <template> or <stencil>");
    TemplateContent content;
    content.isStencil = rootName == "stencil";
    for (const xml::Node& child : root.selectNodes("*")) {
      const std::string name = child.name();
      if (name == "master") {
        content.masters.push_back(master(child));
      } else if (name == "connector") {
        content.masters.push_back(connector(child));
      } else if (name == "stencil") {
        const std::string file = text(child, "file");
        if (file.empty()) return malformed("a stencil without a file");
        content.stencils.push_back(file);
      } else {
        return malformed("unknown element <" + name + ">");
      }
    }
    return content;
  } catch (const TemplateError& error) {
    return malformed(error.what());
  } catch (const xml::Error& error) {
    return malformed(error.what());
  }
}

}  // namespace

errors::Result<TemplateContent> loadTemplateFile(const std::string& path) {
  return fromDocument(xml::Document::loadFile(path));
}

errors::Result<TemplateContent> parseTemplateText(std::string_view text) {
  return fromDocument(xml::Document::loadText(text));
}

}  // namespace drawing
