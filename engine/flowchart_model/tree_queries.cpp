#include "engine/flowchart_model/tree_queries.h"

#include <string_view>

namespace flowchart {
namespace {

xml::Node firstWith(const xml::Node& node, const char* attribute) { return node.firstWithAttribute(attribute); }

xml::Node lastWith(const xml::Node& node, const char* attribute, bool includeSelf) {
  return node.lastWithAttribute(attribute, includeSelf);
}

std::string attributeText(const xml::Node& element, const char* attribute) {
  if (!element) return std::string();
  return element.attributeNamed(attribute).text();
}

}  // namespace

std::string firstLineOf(const xml::Node& node) { return attributeText(firstWith(node, "l"), "l"); }

std::string lastLineOf(const xml::Node& node) {
  return attributeText(lastWith(node, "l", true), "l");
}

std::string firstColumnOf(const xml::Node& node) {
  return attributeText(firstWith(node, "c"), "c");
}

xml::Node lastLinedElement(const xml::Node& node, bool includeSelf) {
  return lastWith(node, "l", includeSelf);
}

std::string lastSourceLine(xml::Document& tree) {
  return attributeText(lastWith(tree.root(), "l", false), "l");
}

}  // namespace flowchart
