#include "frontends/java/syntax/refused_constructs.h"

#include <string_view>
#include <unordered_set>
#include <vector>

namespace java {
namespace {

using syntax::Kind;
using syntax::Node;

std::vector<Node> elements(const Node& node) {
  std::vector<Node> children;
  for (Node child : node.children()) children.push_back(child);
  return children;
}

// The line of the token the first children lead down to; 0 when an
// element on the way is empty.
int32_t firstLine(const Node& node) {
  for (Node current = node; current; current = current.firstChild())
    if (current.isToken()) return current.line();
  return 0;
}

// A token's column; 0 when it has none.
int32_t columnOf(const Node& token) { return token.column() < 0 ? 0 : token.column(); }

// The parents under which the grammar puts expression operators.
bool isExpressionParent(const Node& node) {
  return node.is(Kind::Expr) || node.is(Kind::LblStmt) || node.is(Kind::SwLabel) || node.is(Kind::Guard);
}

// What may follow the closing parenthesis of a cast, and so tells a cast
// from a parenthesised operand followed by an operator.
bool startsOperand(const Node& node) {
  static const std::unordered_set<Kind> kOperators = {
      Kind::ADD,   Kind::SUB, Kind::MUL,  Kind::DIV,   Kind::PC,  Kind::LT,  Kind::GT,   Kind::LE,
      Kind::GE,    Kind::EQEQ, Kind::NE,  Kind::AMP,   Kind::PIPE, Kind::CARET, Kind::LAND, Kind::LOR,
      Kind::QUEST, Kind::COL, Kind::SHL,  Kind::SHR,   Kind::SHRR, Kind::CMA, Kind::INSTANCEOF, Kind::CPR,
      Kind::ARROW};
  if (!node) return false;
  if (node.isToken()) return kOperators.count(node.kind()) == 0;
  return !node.is(Kind::AsstOp) && !node.is(Kind::TypePat) && !node.is(Kind::RecPat);
}

// A type as an expression: Name, or Name & Name ... for an intersection.
bool isTypeExpression(const Node& expr) {
  const std::vector<Node> children = elements(expr);
  for (size_t i = 0; i < children.size(); ++i)
    if (!children[i].is(i % 2 == 0 ? Kind::Qlid : Kind::AMP)) return false;
  return children.size() % 2 == 1;
}

// An expression that may stand as a statement: an assignment, ++ or --,
// a method call, or the creation of an object.
bool isStatementExpression(const Node& expr) {
  const std::vector<Node> children = elements(expr);
  if (children.empty()) return false;
  for (const Node& child : children)
    if (child.is(Kind::AsstOp)) return true;
  if (children[0].is(Kind::INC) || children[0].is(Kind::DEC)) return true;
  if (children.size() != 1) return false;
  const Node& only = children[0];
  if (only.is(Kind::RealPostfixExpr) || only.is(Kind::MtdCall) || only.is(Kind::SwExpr)) return true;
  // outer.new Inner() and outer.new Inner() { }: the creation ends the name.
  for (Node name = only; name.is(Kind::Qlid); name = name.child(Kind::Qlid))
    if (name.child(Kind::ClsAllocExpr)) return true;
  return only.is(Kind::NewAllocExpr) && !only.child(Kind::AryAllocExpr) &&
         (only.child(Kind::ClsAllocExpr) || only.child(Kind::AnonyClass));
}

std::optional<RefusedConstruct> refused(const Node& at, std::string message) {
  return RefusedConstruct{firstLine(at), std::move(message)};
}

std::optional<RefusedConstruct> checkElement(const Node& node) {
  if (node.is(Kind::ExprStmt)) {
    const Node parent = node.parent();
    const bool statement = (parent.is(Kind::Stmt) && !parent.parent().is(Kind::SwRule)) ||
                           parent.is(Kind::ForInit) || parent.is(Kind::ForIncr);
    if (statement && !isStatementExpression(node.child(Kind::Expr))) return refused(node, "not a statement");
  }
  if (node.is(Kind::CatchHeader) && !node.child(Kind::IDEN)) return refused(node, "a catch clause needs a parameter name");
  if (node.is(Kind::AryAllocExpr) && !node.child(Kind::DimExpr) && !node.nextSibling().is(Kind::OBR))
    return refused(node, "an array creation needs a size or an initialiser");
  // What is called is the whole access: foo(a)(), "s"(), null(), A.class().
  // A call through one, foo(a).<T>bar(), names its method after a dot.
  if (node.is(Kind::MtdAcc) && node.firstChild() && !node.firstChild().nextSibling()) {
    const Node head = node.firstChild();
    static const std::unordered_set<Kind> kNoMethod = {Kind::MtdCall, Kind::AryAcc,  Kind::NUMLIT, Kind::STRLIT,
                                                       Kind::CHRLIT,  Kind::BOOLLIT, Kind::TXTBLK};
    const bool nullCall = head.is(Kind::SplName) && head.child(Kind::JNULL);
    const bool classCall = head.is(Kind::FldAcc) && head.lastChild().is(Kind::CLASS);
    if ((head && kNoMethod.count(head.kind())) || nullCall || classCall)
      return refused(node, "what is called is not a method");
  }
  // a.@A b as a value: an annotation stands only in a type's name (and
  // before the name of a method called on one, java.lang.@A String.valueOf(1)).
  if (node.is(Kind::Qlid) && node.parent().is(Kind::Expr))
    for (Node name = node; name.is(Kind::Qlid); name = name.child(Kind::Qlid))
      if (name.child(Kind::AnnotType)) return refused(name, "an annotation in a name that is no type");
  const std::vector<Node> children = elements(node);
  for (size_t i = 0; i < children.size(); ++i) {
    const Node& child = children[i];
    const Node next = i + 1 < children.size() ? children[i + 1] : Node();
    if (child.is(Kind::LT) && next.is(Kind::GT) && !node.is(Kind::ClsAllocExpr))
      return refused(child, "empty type arguments '<>' outside a 'new' expression");
    if (node.is(Kind::VarInit) && child.is(Kind::CMA) && next.is(Kind::CMA))
      return refused(next, "two commas in an array initialiser");
    if (!isExpressionParent(node)) continue;
    if (child.is(Kind::GT) && next.is(Kind::GT) &&
        (child.line() != next.line() || columnOf(child) + 1 != columnOf(next)))
      return refused(child, "'> >' is not an operator (a shift is written '>>')");
    if (child.is(Kind::OPR) && i + 3 < children.size() && children[i + 1].is(Kind::Expr) &&
        children[i + 2].is(Kind::CPR) && startsOperand(children[i + 3]) && !isTypeExpression(children[i + 1]))
      return refused(child, "what stands in parentheses before an operand is no type to cast to");
  }
  return std::nullopt;
}

}  // namespace

std::optional<RefusedConstruct> findRefusedConstruct(const syntax::Tree& tree) {
  std::optional<RefusedConstruct> found;
  tree.root().firstChild().walk([&](const Node& node) {
    if (node.isToken()) return syntax::Step::Over;
    found = checkElement(node);
    return found ? syntax::Step::Stop : syntax::Step::Into;
  });
  return found;
}

}  // namespace java
