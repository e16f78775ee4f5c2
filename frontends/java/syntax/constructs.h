// Typed views of the Java constructs the readers of a method's body ask
// about: an if's condition and branches, a loop's parts, a try's clauses,
// a switch's body and labels, a jump's word and value.  Each is a small
// value over a syntax::Node, valid while its tree lives, whose accessors
// find a part by its role (the parenthesis that closes a condition, the
// statement after `else`), so that no reader counts a rule's children.
// An accessor gives an empty node where the construct has no such part.
#pragma once

#include <vector>

#include "frontends/java/syntax/syntax_tree.h"

namespace syntax {

// A run of sibling nodes, first to last, both included; empty when first is.
struct Span {
  Node first;
  Node last;
  explicit operator bool() const { return static_cast<bool>(first); }
};

// The node's only child, or an empty node when it has none or several.
Node soleChild(const Node& node);
// The expression inside `( e )`, when the node is just that.
Node parenthesized(const Node& expression);

// What every view holds: the node it views, empty for no such construct.
class View {
 public:
  explicit View(Node node) : node_(node) {}
  Node node() const { return node_; }
  explicit operator bool() const { return static_cast<bool>(node_); }

 protected:
  Node node_;
};

// A statement (Stmt): what it holds.
class Statement : public View {
 public:
  using View::View;
  // The construct the statement is (a block, an if, a loop...); the first
  // annotation for a local class declared with some.
  Node construct() const { return node_.firstChild(); }
  bool isEmpty() const { return soleChild(node_).is(Kind::EmptyStmt); }
  // `name:` standing alone (the parser makes a label a statement of its
  // own, the labelled statement its next sibling), or an empty node.
  Node labelName() const;
  // `case ...:` or `default:` in a switch block, or an empty node.
  Node caseLabel() const;
};

// if (condition) then [else otherwise]
class IfStatement : public View {
 public:
  // The if a node is (a SelStmt beginning with `if`), or an empty view.
  static IfStatement of(const Node& node);
  Node condition() const { return node_.child(Kind::Expr); }
  Node closeParen() const { return node_.child(Kind::CPR); }
  Node then() const;
  Node elseWord() const { return node_.child(Kind::ELSE); }
  Node otherwise() const;  // the statement after else

 private:
  explicit IfStatement(Node node) : View(node) {}
};

// while (condition) body; do body while (condition); for (...) body
class LoopStatement : public View {
 public:
  enum class Form { While, Do, For, ForEach };
  // The loop a node is (an IterStmt), or an empty view.
  static LoopStatement of(const Node& node);
  Form form() const;
  Node keyword() const { return node_.firstChild(); }
  Node body() const { return node_.child(Kind::Stmt); }
  // while and do: the condition, and the parenthesis closing it; for: the
  // parenthesis closing its header.
  Node condition() const { return node_.child(Kind::Expr); }
  Node closeParen() const { return node_.child(Kind::CPR); }
  // do: the `while` after the body.
  Node whileWord() const { return node_.child(Kind::WHILE); }
  // for: the initialisation without its `;`, empty when there is none;
  // the condition, empty when there is none; the update.
  Span initialisation() const;
  Node forCondition() const;
  Span update() const;
  // for each: `T x : values` and the values.
  Node eachVariable() const { return node_.child(Kind::for_each_var); }
  Node eachValues() const { return eachVariable().child(Kind::Expr); }

 private:
  explicit LoopStatement(Node node) : View(node) {}
};

// break [label]; continue [label]; return [value]; throw value;
class JumpStatement : public View {
 public:
  using View::View;
  Node keyword() const { return node_.firstChild(); }
  Node label() const { return node_.child(Kind::IDEN); }
  Node value() const { return node_.child(Kind::Expr); }
};

// synchronized (lock) body
class SynchronizedStatement : public View {
 public:
  using View::View;
  Node keyword() const { return node_.firstChild(); }
  Node closeParen() const { return node_.child(Kind::CPR); }
  Node body() const { return node_.child(Kind::Stmt); }
};

// catch (Types name) block
class CatchClause : public View {
 public:
  using View::View;
  Node header() const { return node_.child(Kind::CatchHeader); }
  Node block() const { return node_.child(Kind::Blk); }
  // The types it catches (several for a multi-catch).
  std::vector<Node> types() const;
  Node parameterName() const;
};

// One resource of a try-with-resources.
class Resource : public View {
 public:
  using View::View;
  // The variable it declares, or an empty node for an expression.
  Node variable() const;
};

// try [(resources)] block catch... [finally block]
class TryStatement : public View {
 public:
  using View::View;
  Node resourceList() const { return node_.child(Kind::RsrcSpec); }
  std::vector<Resource> resources() const;
  // What the resources' parentheses hold.
  Span resourcesInside() const;
  Node block() const { return node_.child(Kind::Blk); }
  std::vector<CatchClause> catches() const;
  Node finallyBlock() const { return node_.child(Kind::Finally).child(Kind::Blk); }
};

// switch (selector) body, a statement or an expression.
class SwitchConstruct : public View {
 public:
  using View::View;
  Node keyword() const { return node_.firstChild(); }
  Node closeParen() const { return node_.child(Kind::CPR); }
  // A block of labels and statements, or (SwBlk) of rules `case ... ->`.
  Node body() const;
};

// case values [when guard]: or ->; default: or ->
class CaseLabel : public View {
 public:
  using View::View;
  bool isDefault() const;
  // What it matches: after `case`, to before its colon or arrow.
  Span values() const;
};

// callee(arguments)
class MethodCall : public View {
 public:
  using View::View;
  // What is called: the name, with its receiver and type arguments.
  Node callee() const { return node_.child(Kind::MtdAcc); }
  // The arguments, first to last.
  std::vector<Node> arguments() const;
};

// (Type) value, read one of two ways: the scanner's one token `(Type)`
// before the value, or `(` a type or expression `)` and then the value
// (a type holding what no expression holds, annotations or type
// arguments, is read as a type).
class CastExpression : public View {
 public:
  // The cast an expression (Expr) is, or an empty view.
  static CastExpression of(const Node& expression);
  // The scanner's `(Type)` token, or an empty node.
  Node typeToken() const;
  // The type or expression between `(` and `)`, or an empty node.
  Node type() const;
  Node value() const { return node_.lastChild(); }

 private:
  explicit CastExpression(Node node) : View(node) {}
};

// parameters -> body
class LambdaExpression : public View {
 public:
  using View::View;
  // The parameters with the arrow.
  Span head() const { return Span{node_.firstChild(), node_.child(Kind::ARROW)}; }
  // The body when it is a block, else an empty node.
  Node blockBody() const { return node_.child(Kind::Blk); }
};

}  // namespace syntax
