#include "flowchart/tree_queries.h"

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

std::string textOrEmpty(const xml::Node& attribute) {
  return attribute ? attribute.text() : std::string();
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

std::string firstLineOfQuery(const xml::Node& node) {
  return textOrEmpty(node.selectSingleNode("descendant-or-self::*[@l]/@l"));
}

std::string lastLineOfQuery(const xml::Node& node) {
  xml::NodeList lines = node.selectNodes("descendant-or-self::*[@l]/@l");
  return lines.empty() ? std::string() : lines.back().text();
}

std::string firstColumnOfQuery(const xml::Node& node) {
  return textOrEmpty(node.selectSingleNode("descendant-or-self::*[@c]/@c"));
}

xml::Node lastLinedElementQuery(const xml::Node& node, bool includeSelf) {
  return node.selectSingleNode(includeSelf ? "descendant-or-self::*[@l][last()]"
                                           : "descendant::*[@l][last()]");
}

std::string lastSourceLineQuery(xml::Document& tree) {
  xml::NodeList lined = tree.root().selectNodes("//*[@l]");
  if (lined.empty()) return std::string();
  return lined.back().selectSingleNode("@l").text();
}

}  // namespace flowchart
