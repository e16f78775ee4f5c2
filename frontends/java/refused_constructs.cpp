#include "frontends/java/refused_constructs.h"

#include <cstring>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace java {
namespace {

using pugi::xml_node;

bool named(const xml_node& node, const char* name) { return node && std::strcmp(node.name(), name) == 0; }
bool isToken(const xml_node& node) { return static_cast<bool>(node.attribute("t")); }

std::vector<xml_node> elements(const xml_node& node) {
  std::vector<xml_node> children;
  for (xml_node child = node.first_child(); child; child = child.next_sibling())
    if (child.type() == pugi::node_element) children.push_back(child);
  return children;
}

xml_node nextElement(const xml_node& node) {
  for (xml_node sibling = node.next_sibling(); sibling; sibling = sibling.next_sibling())
    if (sibling.type() == pugi::node_element) return sibling;
  return xml_node();
}

int32_t firstLine(const xml_node& node) {
  for (xml_node current = node; current; current = elements(current).empty() ? xml_node() : elements(current)[0])
    if (isToken(current)) return current.attribute("l").as_int();
  return 0;
}

// The parents under which the grammar puts expression operators.
bool isExpressionParent(const xml_node& node) {
  return named(node, "Expr") || named(node, "LblStmt") || named(node, "SwLabel") || named(node, "Guard");
}

// What may follow the closing parenthesis of a cast, and so tells a cast
// from a parenthesised operand followed by an operator.
bool startsOperand(const xml_node& node) {
  static const std::unordered_set<std::string_view> kOperators = {
      "ADD", "SUB", "MUL", "DIV", "PC",  "LT",  "GT",  "LE",   "GE",   "EQEQ", "NE",        "AMP",
      "PIPE", "CARET", "LAND", "LOR", "QUEST", "COL", "SHL", "SHR", "SHRR", "CMA", "INSTANCEOF", "CPR"};
  if (!node) return false;
  if (isToken(node)) return kOperators.count(node.name()) == 0;
  return !named(node, "AsstOp") && !named(node, "TypePat") && !named(node, "RecPat");
}

// A type as an expression: Name, or Name & Name ... for an intersection.
bool isTypeExpression(const xml_node& expr) {
  const std::vector<xml_node> children = elements(expr);
  for (size_t i = 0; i < children.size(); ++i)
    if (!named(children[i], i % 2 == 0 ? "Qlid" : "AMP")) return false;
  return children.size() % 2 == 1;
}

// An expression that may stand as a statement: an assignment, ++ or --,
// a method call, or the creation of an object.
bool isStatementExpression(const xml_node& expr) {
  const std::vector<xml_node> children = elements(expr);
  if (children.empty()) return false;
  for (const xml_node& child : children)
    if (named(child, "AsstOp")) return true;
  if (named(children[0], "INC") || named(children[0], "DEC")) return true;
  if (children.size() != 1) return false;
  const xml_node& only = children[0];
  if (named(only, "RealPostfixExpr") || named(only, "MtdCall") || named(only, "SwExpr")) return true;
  // outer.new Inner() and outer.new Inner() { }: the creation ends the name.
  for (xml_node name = only; named(name, "Qlid"); name = name.child("Qlid"))
    if (name.child("ClsAllocExpr")) return true;
  return named(only, "NewAllocExpr") && !only.child("AryAllocExpr") &&
         (only.child("ClsAllocExpr") || only.child("AnonyClass"));
}

std::optional<RefusedConstruct> refused(const xml_node& at, std::string message) {
  return RefusedConstruct{firstLine(at), std::move(message)};
}

std::optional<RefusedConstruct> checkElement(const xml_node& node) {
  if (named(node, "ExprStmt")) {
    const xml_node parent = node.parent();
    const bool statement = (named(parent, "Stmt") && !named(parent.parent(), "SwRule")) ||
                           named(parent, "ForInit") || named(parent, "ForIncr");
    if (statement && !isStatementExpression(node.child("Expr"))) return refused(node, "not a statement");
  }
  if (named(node, "CatchHeader") && !node.child("IDEN")) return refused(node, "a catch clause needs a parameter name");
  if (named(node, "AryAllocExpr") && !node.child("DimExpr") && !named(nextElement(node), "OBR"))
    return refused(node, "an array creation needs a size or an initialiser");
  if (named(node, "MtdAcc")) {
    const std::vector<xml_node> children = elements(node);
    const xml_node head = children.empty() ? xml_node() : children[0];
    static const std::unordered_set<std::string_view> kNoMethod = {"MtdCall", "AryAcc",  "NUMLIT", "STRLIT",
                                                                   "CHRLIT",  "BOOLLIT", "TXTBLK"};
    const bool nullCall = named(head, "SplName") && head.child("JNULL");
    const bool classCall = named(head, "FldAcc") && named(head.last_child(), "CLASS");
    if ((head && kNoMethod.count(head.name())) || nullCall || classCall)
      return refused(node, "what is called is not a method");
  }
  const std::vector<xml_node> children = elements(node);
  for (size_t i = 0; i < children.size(); ++i) {
    const xml_node& child = children[i];
    const xml_node next = i + 1 < children.size() ? children[i + 1] : xml_node();
    if (named(child, "LT") && named(next, "GT") && !named(node, "ClsAllocExpr"))
      return refused(child, "empty type arguments '<>' outside a 'new' expression");
    if (named(node, "VarInit") && named(child, "CMA") && named(next, "CMA"))
      return refused(next, "two commas in an array initialiser");
    if (!isExpressionParent(node)) continue;
    if (named(child, "GT") && named(next, "GT") &&
        (child.attribute("l").as_int() != next.attribute("l").as_int() ||
         child.attribute("c").as_int() + 1 != next.attribute("c").as_int()))
      return refused(child, "'> >' is not an operator (a shift is written '>>')");
    if (named(child, "OPR") && i + 3 < children.size() && named(children[i + 1], "Expr") &&
        named(children[i + 2], "CPR") && startsOperand(children[i + 3]) && !isTypeExpression(children[i + 1]))
      return refused(child, "what stands in parentheses before an operand is no type to cast to");
  }
  return std::nullopt;
}

}  // namespace

std::optional<RefusedConstruct> findRefusedConstruct(xml::Document& tree) {
  const xml::Node root = tree.documentElement();
  if (!root) return std::nullopt;
  // Document order without recursion: down, else along, else up and along.
  const xml_node top = root.raw();
  for (xml_node node = top; node;) {
    if (node.type() == pugi::node_element && !isToken(node))
      if (std::optional<RefusedConstruct> found = checkElement(node)) return found;
    if (node.first_child() && !isToken(node)) {
      node = node.first_child();
      continue;
    }
    while (node && node != top && !node.next_sibling()) node = node.parent();
    if (!node || node == top) break;
    node = node.next_sibling();
  }
  return std::nullopt;
}

}  // namespace java
