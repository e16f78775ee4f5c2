#include "tests/support/flowchart_model/model_text.h"

#include <initializer_list>
#include <string_view>
#include <vector>

namespace flowchart::testing {
namespace {

struct Attribute {
  std::string name;
  std::string value;
};

std::vector<Attribute> attributesOf(const xml::Node& element) {
  std::vector<Attribute> out;
  for (const xml::Node& a : element.selectNodes("@*")) out.push_back({a.name(), a.value()});
  return out;
}

bool hasExactly(const std::vector<Attribute>& attributes, std::initializer_list<std::string_view> names) {
  if (attributes.size() != names.size()) return false;
  size_t i = 0;
  for (std::string_view n : names)
    if (attributes[i++].name != n) return false;
  return true;
}

std::string field(const std::string& value) {
  if (value.empty() || value.find_first_of(" \"") != std::string::npos) return "\"" + value + "\"";
  return value;
}

std::string quoted(const std::string& value) { return "\"" + value + "\""; }

void render(const xml::Node& element, int depth, std::string& out);

void renderGeneric(const xml::Node& element, const std::vector<Attribute>& attributes, int depth,
                   std::string& out) {
  out += std::string(depth * 2, ' ') + "<" + element.name();
  for (const Attribute& a : attributes) out += " " + a.name + "=" + quoted(a.value);
  out += ">\n";
  for (const xml::Node& child : element.selectNodes("*")) render(child, depth + 1, out);
}

void renderSuccessor(const xml::Node& successor, int depth, std::string& out) {
  std::vector<Attribute> a = attributesOf(successor);
  if (successor.name() != "successor" || !hasExactly(a, {"id", "type", "text"}) ||
      !successor.selectNodes("*").empty()) {
    renderGeneric(successor, a, depth, out);
    return;
  }
  out += std::string(depth * 2, ' ') + "-> " + field(a[0].value);
  if (!a[1].value.empty() || !a[2].value.empty()) out += " " + field(a[1].value) + " " + quoted(a[2].value);
  out += "\n";
}

void render(const xml::Node& element, int depth, std::string& out) {
  const std::string name = element.name();
  std::vector<Attribute> a = attributesOf(element);
  xml::NodeList children = element.selectNodes("*");
  const std::string indent(depth * 2, ' ');
  if (name == "blocks" && hasExactly(a, {"id"})) {
    out += indent + "blocks " + field(a[0].value) + "\n";
    for (const xml::Node& child : children) render(child, depth + 1, out);
    return;
  }
  if (name == "hint" && hasExactly(a, {"id", "value"}) && children.empty()) {
    out += indent + "hint " + field(a[0].value) + " " + quoted(a[1].value) + "\n";
    return;
  }
  const bool flowFirst = !children.empty() && children[0].name() == "controlflow" &&
                         children[0].selectNodes("@*").empty();
  if (name == "block" && hasExactly(a, {"id", "type", "sln", "eln", "text"}) && flowFirst) {
    out += indent + "block " + field(a[0].value) + " " + field(a[1].value) + " " + field(a[2].value) + " " +
           field(a[3].value) + " " + quoted(a[4].value) + "\n";
    for (const xml::Node& successor : children[0].selectNodes("*")) renderSuccessor(successor, depth + 1, out);
    for (size_t i = 1; i < children.size(); ++i) render(children[i], depth + 1, out);
    return;
  }
  renderGeneric(element, a, depth, out);
}

std::string literal(const std::string& text) {
  if (text.find('"') == std::string::npos) return "\"" + text + "\"";
  return "'" + text + "'";
}

}  // namespace

std::string modelText(const xml::Node& element) {
  std::string out;
  render(element, 0, out);
  return out;
}

namespace {

std::string modelTextIn(std::unique_ptr<xml::Document> results, const std::string& funcName,
                        const std::string& funcLine) {
  if (!results) return std::string();
  xml::NodeList models = results->root().selectNodes("//func[@name=" + literal(funcName) + " and @sl=" +
                                                     literal(funcLine) + "]/blocks");
  if (models.empty()) return std::string();
  std::string out;
  for (const xml::Node& model : models) out += modelText(model);
  return out;
}

}  // namespace

std::string modelTextInResults(const std::string& resultsPath, const std::string& funcName,
                               const std::string& funcLine) {
  return modelTextIn(xml::Document::loadFile(resultsPath), funcName, funcLine);
}

std::string modelTextInResultsText(const std::string& resultsText, const std::string& funcName,
                                   const std::string& funcLine) {
  return modelTextIn(xml::Document::loadText(resultsText), funcName, funcLine);
}

}  // namespace flowchart::testing
