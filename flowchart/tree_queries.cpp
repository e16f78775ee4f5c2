#include "flowchart/tree_queries.h"

#include <string_view>
#include <vector>

namespace flowchart {
namespace {

// The first element in document order, from node down, that has the
// attribute.  Throws through the document service on an absent node.
xml::Node firstWith(const xml::Node& node, const char* attribute) {
  std::vector<xml::Node> pending{node};
  while (!pending.empty()) {
    xml::Node current = pending.back();
    pending.pop_back();
    if (current.attributeNamed(attribute)) return current;
    xml::NodeList children = current.childElements();
    for (auto child = children.rbegin(); child != children.rend(); ++child) pending.push_back(*child);
  }
  return xml::Node();
}

// The last element in document order below node (and node itself when
// includeSelf) that has the attribute: the subtrees of the children are
// searched from the last child backwards, each node after its subtree.
xml::Node lastWith(const xml::Node& node, const char* attribute, bool includeSelf) {
  struct Frame {
    xml::Node node;
    xml::NodeList children;
    size_t remaining;
  };
  std::vector<Frame> stack;
  auto enter = [&](const xml::Node& n) {
    xml::NodeList children = n.childElements();
    const size_t count = children.size();
    stack.push_back(Frame{n, std::move(children), count});
  };
  enter(node);
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.remaining > 0) {
      xml::Node child = top.children[--top.remaining];
      enter(child);
      continue;
    }
    const bool isRoot = stack.size() == 1;
    if ((!isRoot || includeSelf) && top.node.attributeNamed(attribute)) return top.node;
    stack.pop_back();
  }
  return xml::Node();
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
