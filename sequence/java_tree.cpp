#include "sequence/java_tree.h"

#include <cctype>
#include <cstdlib>
#include <unordered_set>

#include "files/latin1.h"

namespace sequence {
namespace {

const xml::ChildPath& anyChild() {
  static const xml::ChildPath kAnyChild("*");
  return kAnyChild;
}

// Tokens that stand between two operands inside an expression or a
// declaration and read best with a blank on either side.
bool isBinaryOperator(const std::string& token, const std::string& parent) {
  static const std::unordered_set<std::string> kOperators = {
      "ADD",    "SUB",    "MUL",     "DIV",    "PC",     "LT",     "GT",        "LE",     "GE",
      "EQEQ",   "NE",     "AMP",     "PIPE",   "CARET",  "LAND",   "LOR",       "QUEST",  "COL",
      "SHL",    "SHR",    "SHRR",    "EQ",     "ASSMUL", "ASSDIV", "ASSMOD",    "ASSADD", "ASSSUB",
      "ASSSHL", "ASSSHR", "ASSSHRR", "ASSAND", "ASSXOR", "ASSOR",  "INSTANCEOF"};
  if (parent != "Expr" && parent != "AsstOp" && parent != "VarDeclr") return false;
  return kOperators.count(token) > 0;
}

bool isWordByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return std::isalnum(byte) || c == '_' || c == '$' || c == '"' || c == '\'' || byte >= 0x80;
}

}  // namespace

xml::NodeList childElements(const xml::Node& node) {
  return node.isNull() ? xml::NodeList() : node.selectNodes(anyChild());
}

xml::Node childNamed(const xml::Node& node, std::string_view name) {
  for (const xml::Node& child : childElements(node))
    if (child.name() == name) return child;
  return xml::Node();
}

bool isToken(const xml::Node& node) { return !node.isNull() && !node.attributeNamed("t").isNull(); }

std::string tokenText(const xml::Node& node) {
  if (node.isNull()) return std::string();
  const xml::Node text = node.attributeNamed("t");
  return text ? text.value() : std::string();
}

std::vector<xml::Node> tokensOf(const xml::Node& node) {
  std::vector<xml::Node> tokens;
  if (node.isNull()) return tokens;
  // Depth-first by an explicit stack: expressions can nest deeply.
  std::vector<xml::Node> pending{node};
  while (!pending.empty()) {
    const xml::Node current = pending.back();
    pending.pop_back();
    if (isToken(current)) {
      tokens.push_back(current);
      continue;
    }
    const xml::NodeList children = childElements(current);
    for (auto it = children.rbegin(); it != children.rend(); ++it) pending.push_back(*it);
  }
  return tokens;
}

int32_t firstLine(const xml::Node& node) {
  if (node.isNull()) return 0;
  const xml::Node lined = node.firstWithAttribute("l");
  return lined ? std::atoi(lined.attributeNamed("l").value().c_str()) : 0;
}

std::string expressionText(const xml::Node& node) {
  std::string out;
  if (node.isNull()) return out;
  std::string previousName, previousParent, previousText;
  auto append = [&](const std::string& name, const std::string& parent, const std::string& text) {
    if (!out.empty() && !text.empty()) {
      const bool shiftPair = name == "GT" && previousName == "GT";  // a >> b is two tokens
      const bool blank =
          !shiftPair &&
          (previousName == "CMA" || isBinaryOperator(previousName, previousParent) ||
           isBinaryOperator(name, parent) || (isWordByte(previousText.back()) && isWordByte(text.front())));
      if (blank) out += ' ';
    }
    out += text;
    previousName = name;
    previousParent = parent;
    if (!text.empty()) previousText = text;
  };
  // The bodies of anonymous classes and lambdas inside the expression
  // show as "...": the members of a class body, and a block.
  std::vector<xml::Node> pending{node};
  while (!pending.empty()) {
    const xml::Node current = pending.back();
    pending.pop_back();
    if (isToken(current)) {
      append(current.name(), current.parent().name(), tokenText(current));
      continue;
    }
    const std::string name = current.name();
    if (current != node && name == "Blk") {
      append("OBR", name, "{...}");
      continue;
    }
    if (current != node && name == "FldDecln") {
      if (previousText != "...") append("ELL", name, "...");
      continue;
    }
    const xml::NodeList children = childElements(current);
    for (auto it = children.rbegin(); it != children.rend(); ++it) pending.push_back(*it);
  }
  return out;
}

std::string convertText(std::string text, text::Charset from, text::Charset to) {
  if (from == to || files::isAscii(text)) return text;
  return to == text::Charset::Utf8 ? files::latin1ToUtf8(text) : files::utf8ToLatin1(text);
}

}  // namespace sequence
