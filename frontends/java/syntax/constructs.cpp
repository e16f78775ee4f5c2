#include "frontends/java/syntax/constructs.h"

namespace syntax {
namespace {

// The first child of the kind after the first child of kind `after`.
Node childAfter(const Node& node, Kind after, Kind kind) {
  bool passed = false;
  for (Node child : node.children()) {
    if (passed && child.is(kind)) return child;
    passed = passed || child.is(after);
  }
  return Node();
}

// The children of the kind, each as a View.
template <class View>
std::vector<View> childrenOfKind(const Node& node, Kind kind) {
  std::vector<View> found;
  for (Node child : node.children())
    if (child.is(kind)) found.emplace_back(child);
  return found;
}

}  // namespace

Node soleChild(const Node& node) {
  const Node first = node.firstChild();
  return first && !first.nextSibling() ? first : Node();
}

Node parenthesized(const Node& expression) {
  const Node open = expression.firstChild();
  const Node inner = open.nextSibling();
  const Node close = inner.nextSibling();
  if (!open.is(Kind::OPR) || !inner.is(Kind::Expr) || !close.is(Kind::CPR) || close.nextSibling()) return Node();
  return inner;
}

Node Statement::labelName() const {
  const Node label = node_.is(Kind::Stmt) ? node_.child(Kind::LblStmt) : Node();
  const Node name = label.firstChild();
  // `name :`, not `case ... :` nor `default :`.
  return name.is(Kind::IDEN) && name.nextSibling().is(Kind::COL) && !name.nextSibling().nextSibling() ? name : Node();
}

Node Statement::caseLabel() const {
  const Node label = node_.is(Kind::Stmt) ? node_.child(Kind::LblStmt) : Node();
  const Node first = label.firstToken();
  return first.is(Kind::CASE) || first.is(Kind::DEFAULT) ? label : Node();
}

IfStatement IfStatement::of(const Node& node) {
  return IfStatement(node.is(Kind::SelStmt) && node.firstChild().is(Kind::IF) ? node : Node());
}

Node IfStatement::then() const { return node_.child(Kind::Stmt); }
Node IfStatement::otherwise() const { return childAfter(node_, Kind::ELSE, Kind::Stmt); }

LoopStatement LoopStatement::of(const Node& node) { return LoopStatement(node.is(Kind::IterStmt) ? node : Node()); }

LoopStatement::Form LoopStatement::form() const {
  if (keyword().is(Kind::DO)) return Form::Do;
  if (keyword().is(Kind::WHILE)) return Form::While;
  return eachVariable() ? Form::ForEach : Form::For;
}

Span LoopStatement::initialisation() const {
  const Node init = node_.child(Kind::ForInit);
  const Node declaration = init.child(Kind::LocVarDecln);
  const Node holder = declaration ? declaration : init;
  Span span{holder.firstChild(), holder.lastChild()};
  if (span.last.is(Kind::SEMI)) span.last = span.first == span.last ? Node() : span.last.previousSibling();
  return span.last ? span : Span{};
}

Node LoopStatement::forCondition() const { return node_.child(Kind::ForExpr).child(Kind::Expr); }

Span LoopStatement::update() const {
  const Node update = node_.child(Kind::ForIncr);
  return Span{update.firstChild(), update.lastChild()};
}

std::vector<Node> CatchClause::types() const { return childrenOfKind<Node>(header(), Kind::TypeSpec); }

Node CatchClause::parameterName() const {
  Node name;
  for (Node part : header().children())
    if (part.is(Kind::IDEN)) name = part;
  return name;
}

std::vector<Node> MethodCall::arguments() const { return childrenOfKind<Node>(node_, Kind::Expr); }

CastExpression CastExpression::of(const Node& expression) {
  if (!expression.is(Kind::Expr)) return CastExpression(Node());
  const Node first = expression.firstChild();
  const Node second = first.nextSibling();
  if (first.is(Kind::CASTEXPR) && second && !second.nextSibling()) return CastExpression(expression);
  const Node close = second.nextSibling();
  const Node value = close.nextSibling();
  const bool written = first.is(Kind::OPR) && close.is(Kind::CPR) && value && !value.nextSibling() &&
                       (second.is(Kind::ClsTypeExpr) || second.is(Kind::Expr) || second.is(Kind::TypeSpec));
  return CastExpression(written ? expression : Node());
}

Node CastExpression::typeToken() const {
  const Node first = node_.firstChild();
  return first.is(Kind::CASTEXPR) ? first : Node();
}

Node CastExpression::type() const {
  const Node first = node_.firstChild();
  return first.is(Kind::OPR) ? first.nextSibling() : Node();
}

Node Resource::variable() const {
  Node before;
  for (Node part : node_.children()) {
    if (part.is(Kind::EQ)) return before;
    before = part;
  }
  return Node();
}

std::vector<Resource> TryStatement::resources() const {
  return childrenOfKind<Resource>(resourceList(), Kind::Rsrc);
}

Span TryStatement::resourcesInside() const {
  const Node open = resourceList().firstChild();
  const Node close = resourceList().lastChild();
  if (!open || open == close) return Span{};
  return Span{open.nextSibling(), close.previousSibling()};
}

std::vector<CatchClause> TryStatement::catches() const { return childrenOfKind<CatchClause>(node_, Kind::Catch); }

Node SwitchConstruct::body() const {
  const Node rules = node_.child(Kind::SwBlk);
  return rules ? rules : node_.child(Kind::Blk);
}

bool CaseLabel::isDefault() const {
  const Node first = node_.firstChild();
  return first.is(Kind::DEFAULT) || !first.nextSibling();
}

Span CaseLabel::values() const {
  if (isDefault()) return Span{};
  return Span{node_.firstChild().nextSibling(), node_.lastChild().previousSibling()};
}

}  // namespace syntax
