#include "sequence/calls.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <unordered_map>

#include "frontends/java/syntax/constructs.h"
#include "sequence/java_tree.h"

namespace sequence {
namespace {

// What an expression stands for as a message's receiver: a lifeline that
// is already known, or the label of the lifeline to find or start.
struct ObjectRef {
  size_t lifeline = kNone;
  std::string label;
  std::string type;                // the declared type, when known
  const ClassInfo* cls = nullptr;  // its class, when known without a lookup
  const ClassInfo* context = nullptr;  // the class whose source wrote the type
  std::string bindKey;             // the variable that holds it, if any
  // The value a call gave whose class is not known: a call made on it
  // goes on along the same chain, on the same lifeline.
  bool chained = false;
};

struct Variable {
  std::string type;
  std::optional<ObjectRef> alias;  // a parameter bound to what the caller passed
};

// One method being walked: whose object it runs on and what it declares.
struct MethodRun {
  const MethodInfo* method = nullptr;
  const ClassInfo* cls = nullptr;
  size_t self = 0;
  size_t id = 0;
  int depth = 1;
  std::unordered_map<std::string, Variable> variables;
};

// How the value of a call or creation is used.
struct ValueUse {
  enum class Kind { Unused, Assigned, Used };
  Kind kind = Kind::Used;
  std::string target;  // Assigned: the variable or field, as written
};

bool isNestedBody(const syntax::Node& node) {
  return node.is(Kind::AnonyClass) || node.is(Kind::TypeDecln) || node.is(Kind::LambdaExpr);
}

bool startsUpper(const std::string& text) {
  return !text.empty() && std::isupper(static_cast<unsigned char>(text.front()));
}

std::string withoutThis(std::string text) {
  if (text.rfind("this.", 0) == 0) text.erase(0, 5);
  return text;
}

std::vector<syntax::Node> expressionChildren(const syntax::Node& node) {
  std::vector<syntax::Node> found;
  for (const syntax::Node child : node.children())
    if (child.is(Kind::Expr)) found.push_back(child);
  return found;
}

// The names of a qualified name, without its dots, and without the type
// arguments and annotations a name may hold: "this.a.b" and
// "this.a.<T>b" give "this", "a", "b".
std::vector<std::string> qualifiedParts(const syntax::Node& qlid) {
  std::vector<std::string> parts;
  int open = 0;  // type argument lists open among the name's own tokens
  qlid.walk([&](const syntax::Node& node) {
    if (node.is(Kind::AnnotType)) return syntax::Step::Over;
    if (!node.isToken()) return open > 0 ? syntax::Step::Over : syntax::Step::Into;
    const bool own = node.parent().is(Kind::Qlid);
    if (own && node.is(Kind::LT)) ++open;
    else if (own && node.is(Kind::GT)) --open;
    else if (own && node.is(Kind::SHRR)) open -= 3;
    else if (open <= 0 && !node.is(Kind::DOT)) parts.push_back(tokenText(node));
    return syntax::Step::Into;
  });
  return parts;
}

// Whether an expression's value is what a throw statement throws.
bool isThrown(const syntax::Node& expression) {
  const syntax::Node parent = expression.parent();
  if (!parent.is(Kind::Expr) || childList(parent).size() != 1) return false;
  const syntax::Node statement = parent.parent();
  return statement.is(Kind::JumpStmt) && tokenText(syntax::JumpStatement(statement).keyword()) == "throw";
}

// An exception's constructor only keeps what it is told: following into
// it shows nothing a reviewer needs.
bool isExceptionType(const std::string& type) {
  const std::string name = simpleTypeName(type);
  for (const std::string_view tail : {"Exception", "Error"})
    if (name.size() >= tail.size() && name.compare(name.size() - tail.size(), tail.size(), tail) == 0) return true;
  return false;
}

ValueUse valueUse(const syntax::Node& expression) {
  const syntax::Node parent = expression.parent();
  if (!parent.is(Kind::Expr)) return {};
  const std::vector<syntax::Node> children = childList(parent);
  size_t at = 0;
  while (at < children.size() && children[at] != expression) ++at;
  if (children.size() == 1) {
    const syntax::Node holder = parent.parent();
    if (holder.is(Kind::ExprStmt)) return {ValueUse::Kind::Unused, {}};
    if (holder.is(Kind::VarInit) && holder.parent().is(Kind::VarDeclr))
      return {ValueUse::Kind::Assigned, tokenText(holder.parent().child(Kind::IDEN))};
    return {};
  }
  // "target = value" or "a = target = value": the assigned name stands
  // alone between the assignment before it (or the start) and this one.
  if (at + 1 == children.size() && at >= 2 && children[at - 1].is(Kind::AsstOp)) {
    size_t start = at - 2;
    if (start == 0 || children[start - 1].is(Kind::AsstOp))
      return {ValueUse::Kind::Assigned, expressionText(children[start])};
  }
  return {};
}

class DiagramBuilder {
 public:
  DiagramBuilder(SourceIndex& index, const DiagramOptions& options) : index_(index), options_(options) {}

  Diagram build(const MethodInfo& method) {
    MethodRun root;
    root.method = &method;
    root.cls = method.owner;
    root.self = addLifeline(":" + method.owner->name, kNone);
    lifelineClasses_[root.self] = method.owner;
    // Static calls of its own class, from wherever, are the object's own.
    byLabel_.emplace(diagram_.lifelines[root.self].label, root.self);
    root.id = nextRun_++;
    if (method.body) ownCalls_ = callsIn(method.body);
    declareParameters(root, syntax::Node(), nullptr);
    stack_.push_back(&method);
    const size_t own = openActivation(root.self, kNone);
    const size_t ambiguitiesBefore = index_.ambiguities().size();
    walk(root);
    stack_.pop_back();
    for (size_t i = ambiguitiesBefore; i < index_.ambiguities().size(); ++i)
      diagram_.notes.push_back(index_.ambiguities()[i] +
                               " (both imported on demand): calls on it are not followed.");
    if (diagram_.messages.empty()) diagram_.activations.clear();
    else closeActivation(own);
    orderFragments();

    if (diagram_.messages.empty() && leftOut_ == 0)
      diagram_.notes.push_back(methodDisplayName(method) + " makes no calls.");
    for (const std::string& holder : nestedHolders_)
      diagram_.notes.push_back("Calls inside lambdas and anonymous classes of " + holder +
                               " are shown as calls from " + holder + ".");
    if (leftOut_ > 0)
      diagram_.notes.push_back("The diagram stops at " + std::to_string(options_.maxMessages) +
                               " messages (--max-messages): " + std::to_string(leftOut_) + " more call" +
                               (leftOut_ == 1 ? " is" : "s are") + " left out.");
    return std::move(diagram_);
  }

 private:
  // ---- texts

  // Texts of the activation's file, in the diagram's encoding.
  std::string convert(std::string text, const MethodRun& a) const {
    const JavaSource* source = a.cls ? a.cls->source : nullptr;
    return source ? convertText(std::move(text), source->charset, index_.charset()) : text;
  }
  std::string text(const syntax::Node& node, const MethodRun& a) const {
    return convert(expressionText(node), a);
  }
  std::string token(const syntax::Node& node, const MethodRun& a) const { return convert(tokenText(node), a); }
  std::string typeName(const syntax::Node& node, const MethodRun& a) const { return convert(typeText(node), a); }
  std::vector<std::string> nameParts(const syntax::Node& qlid, const MethodRun& a) const {
    std::vector<std::string> parts = qualifiedParts(qlid);
    for (std::string& part : parts) part = convert(std::move(part), a);
    return parts;
  }
  std::string argumentsText(const syntax::Node& call, const MethodRun& a) const {
    std::string out;
    for (const syntax::Node& argument : expressionChildren(call)) {
      if (!out.empty()) out += ", ";
      out += text(argument, a);
    }
    return out;
  }

  // ---- lifelines and messages

  size_t addLifeline(const std::string& label, size_t createdBy) {
    diagram_.lifelines.push_back(Lifeline{label, createdBy});
    lifelineTypes_.emplace_back();
    lifelineContexts_.push_back(nullptr);
    return diagram_.lifelines.size() - 1;
  }

  bool full() const { return diagram_.messages.size() >= options_.maxMessages; }

  void addMessage(Message::Kind kind, size_t from, size_t to, std::string text, int32_t line) {
    diagram_.messages.push_back(Message{kind, from, to, std::move(text), line});
  }

  size_t lifelineFor(const ObjectRef& ref) {
    if (ref.lifeline != kNone) return ref.lifeline;
    if (!ref.bindKey.empty()) {
      const auto bound = bindings_.find(ref.bindKey);
      if (bound != bindings_.end()) return bound->second;
    }
    const auto known = byLabel_.find(ref.label);
    if (known != byLabel_.end()) return known->second;
    const size_t added = addLifeline(ref.label, kNone);
    byLabel_.emplace(ref.label, added);
    lifelineTypes_[added] = ref.type;
    lifelineContexts_[added] = ref.context;
    if (ref.cls) lifelineClasses_[added] = ref.cls;
    return added;
  }

  // The class of the object a reference stands for (on the lifeline given,
  // or its own if it has one), when the index has it.
  const ClassInfo* classOf(const ObjectRef& ref, size_t lifeline = kNone) {
    if (ref.cls) return ref.cls;
    if (lifeline == kNone) lifeline = ref.lifeline;
    if (lifeline != kNone) {
      const auto known = lifelineClasses_.find(lifeline);
      if (known != lifelineClasses_.end()) return known->second;
    }
    const bool ownType = !ref.type.empty() || lifeline == kNone;
    const std::string& type = ownType ? ref.type : lifelineTypes_[lifeline];
    return type.empty() ? nullptr : index_.resolveType(type, ownType ? ref.context : lifelineContexts_[lifeline]);
  }

  // ---- names to objects

  ObjectRef selfRef(const MethodRun& a) const {
    ObjectRef ref;
    ref.lifeline = a.self;
    ref.cls = a.cls;
    ref.type = a.cls ? a.cls->name : std::string();
    return ref;
  }

  static ObjectRef textRef(const std::string& text) {
    ObjectRef ref;
    ref.label = text;
    return ref;
  }

  // A field of the object's class, or of a class round it.
  std::string fieldType(const ClassInfo* cls, const std::string& name) {
    for (; cls; cls = cls->outer) {
      std::string type = index_.fieldType(*cls, name);
      if (!type.empty()) return type;
    }
    return std::string();
  }

  bool isOwnClassName(const MethodRun& a, const std::string& name) const {
    for (const ClassInfo* cls = a.cls; cls; cls = cls->outer)
      if (!cls->anonymous && cls->name == name) return true;
    return false;
  }

  std::string variableKey(const MethodRun& a, const std::string& name) const {
    return "a" + std::to_string(a.id) + "." + name;
  }
  std::string fieldKey(const MethodRun& a, const std::string& name) const {
    return "f" + std::to_string(a.self) + "." + name;
  }

  // The key of the variable or field an assignment names, if it is one.
  std::string assignedKey(const MethodRun& a, const std::string& target) {
    const std::string name = withoutThis(target);
    if (name.find_first_of(".[(") != std::string::npos) return std::string();
    if (target == name && a.variables.count(name)) return variableKey(a, name);
    if (!fieldType(a.cls, name).empty() || target != name) return fieldKey(a, name);
    return std::string();
  }

  // A name such as "order", "this.ledger", "Pricing", "java.util.Arrays"
  // or "config.DEFAULTS".
  ObjectRef resolveName(const std::vector<std::string>& parts, const MethodRun& a, const std::string& text) {
    ObjectRef current;
    std::string path;  // the text the parts resolved so far stand for in labels
    size_t next = 1;
    const std::string& first = parts.front();
    const auto variable = a.variables.find(first);
    if (first == "this" || first == "super") {
      current = selfRef(a);
    } else if (variable != a.variables.end()) {
      path = first;
      if (variable->second.alias) {
        current = *variable->second.alias;
      } else if (variable->second.type == "var") {
        // A var whose initialiser the sources do not type: its name alone.
        current.label = first;
        current.bindKey = variableKey(a, first);
      } else {
        current.label = first + ":" + variable->second.type;
        current.type = variable->second.type;
        current.context = a.cls;
        current.bindKey = variableKey(a, first);
      }
    } else if (std::string type = fieldType(a.cls, first); !type.empty()) {
      path = first;
      current.label = first + ":" + type;
      current.type = type;
      current.context = a.cls;
      current.bindKey = fieldKey(a, first);
    } else {
      // A class name, perhaps after its package: the first part that
      // starts with a capital or names a class of the sources.
      size_t typeEnd = 0;
      while (typeEnd < parts.size() && !startsUpper(parts[typeEnd]) && !index_.resolveType(parts[typeEnd], a.cls))
        ++typeEnd;
      if (typeEnd == parts.size()) return textRef(withoutThis(text));
      std::string typeText;
      for (size_t i = 0; i <= typeEnd; ++i) typeText += (i ? "." : "") + parts[i];
      if (isOwnClassName(a, parts[typeEnd])) {
        current = selfRef(a);
      } else {
        current.label = ":" + typeText;
        current.type = typeText;
        current.context = a.cls;
        path = typeText;
      }
      next = typeEnd + 1;
    }
    for (size_t i = next; i < parts.size(); ++i) {
      if (parts[i] == "this" || parts[i] == "super") {  // Outer.this, Interface.super
        current = selfRef(a);
        path.clear();
        continue;
      }
      const ClassInfo* cls = classOf(current);
      const std::string type = cls ? index_.fieldType(*cls, parts[i]) : std::string();
      // "this.cache" and "cache" are one object, known or not.
      if (type.empty()) return textRef(withoutThis(text));
      const std::string holderKey = current.lifeline != kNone ? "f" + std::to_string(current.lifeline)
                                    : current.bindKey.empty() ? current.label
                                                              : current.bindKey;
      path = path.empty() ? parts[i] : path + "." + parts[i];
      current = ObjectRef();
      current.label = path + ":" + type;
      current.type = type;
      current.context = cls;
      current.bindKey = holderKey + "." + parts[i];
    }
    return current;
  }

  // The type a cast names, as written.
  std::string castType(const syntax::CastExpression& cast, const MethodRun& a) {
    if (const syntax::Node written = cast.typeToken()) {
      // The scanner's one token "(Type)", perhaps with blanks inside.
      std::string type = token(written, a);
      if (type.size() >= 2 && type.front() == '(' && type.back() == ')') type = type.substr(1, type.size() - 2);
      while (!type.empty() && type.front() == ' ') type.erase(0, 1);
      while (!type.empty() && type.back() == ' ') type.pop_back();
      return type;
    }
    const syntax::Node type = cast.type();
    return type.is(Kind::TypeSpec) ? typeName(type, a) : text(type, a);
  }

  // The object an expression before ".method(...)" stands for.
  ObjectRef resolveExpression(const std::vector<syntax::Node>& receiver, const MethodRun& a) {
    std::vector<syntax::Node> elements;
    for (const syntax::Node& node : receiver)
      if (!node.isToken()) elements.push_back(node);
    std::string whole;
    for (const syntax::Node& node : receiver) whole += text(node, a);
    // "(expression)": what the expression inside stands for.
    if (elements.size() == 1 && receiver.size() == 3 && elements[0].is(Kind::Expr)) {
      if (const syntax::Node inside = syntax::soleChild(elements[0])) return resolveExpression({inside}, a);
      // "((Type) value)": the value as that type.
      if (const syntax::CastExpression cast = syntax::CastExpression::of(elements[0])) {
        ObjectRef ref;
        ref.type = castType(cast, a);
        ref.context = a.cls;
        ref.label = withoutThis(text(cast.value(), a)) + ":" + ref.type;
        return ref;
      }
      return textRef(whole);
    }
    if (elements.size() != 1 || receiver.size() != 1) return textRef(whole);
    const syntax::Node& node = elements[0];
    if (node.is(Kind::Qlid)) return resolveName(nameParts(node, a), a, whole);
    if (node.is(Kind::SplName)) return selfRef(a);
    if (node.is(Kind::MtdCall) || node.is(Kind::NewAllocExpr)) {
      syntax::Node key = node;
      if (node.is(Kind::NewAllocExpr)) {
        const syntax::Node anonymous = node.child(Kind::AnonyClass);
        key = (anonymous ? anonymous : node).child(Kind::ClsAllocExpr);
      }
      const ObjectRef* result = key ? results_.find(key) : nullptr;
      return result ? *result : textRef(whole);
    }
    if (node.is(Kind::FldAcc)) {
      // A field of an object: known when its class declares it.
      const std::vector<syntax::Node> parts = childList(node);
      if (parts.size() >= 3 && parts.back().is(Kind::IDEN)) {
        const ClassInfo* cls = classOf(resolveExpression({parts.begin(), parts.end() - 2}, a));
        const std::string field = token(parts.back(), a);
        const std::string type = cls ? index_.fieldType(*cls, field) : std::string();
        if (!type.empty()) {
          ObjectRef ref;
          ref.label = withoutThis(whole) + ":" + type;
          ref.type = type;
          ref.context = cls;
          return ref;
        }
      }
    }
    return textRef(whole);
  }

  // ---- the walk

  void declare(MethodRun& a, const std::string& name, const std::string& type) {
    if (name.empty()) return;
    a.variables[name] = Variable{type, std::nullopt};
    bindings_.erase(variableKey(a, name));
  }

  void declareFrom(MethodRun& a, const syntax::Node& node) {
    if (node.is(Kind::LocVarDecln)) {
      const std::string type = typeName(node.child(Kind::TypeSpec), a);
      for (const syntax::Node declarator : node.children())
        if (declarator.is(Kind::VarDeclr)) {
          std::string declared = type;
          for (const syntax::Node part : declarator.children())
            if (part.is(Kind::DIM)) declared += "[]";
          declare(a, token(declarator.child(Kind::IDEN), a), declared);
        }
    } else if (node.is(Kind::for_each_var) || node.is(Kind::CatchHeader) || node.is(Kind::Param)) {
      declare(a, token(node.child(Kind::IDEN), a), typeName(node.child(Kind::TypeSpec), a));
    }
  }

  // The method's own parameters; those the caller passed a known object
  // for stand for that object.
  void declareParameters(MethodRun& a, const syntax::Node& call, const MethodRun* caller) {
    const syntax::Node declaration = a.method->declaration;
    syntax::Node declarator = declaration.child(a.method->isConstructor ? Kind::CtorDeclr : Kind::MtdDeclr);
    while (declarator && !declarator.child(Kind::IDEN)) declarator = declarator.child(Kind::MtdDeclr);
    if (!declarator) return;
    const std::vector<syntax::Node> arguments = call ? expressionChildren(call) : std::vector<syntax::Node>();
    size_t position = 0;
    for (const syntax::Node param : declarator.children()) {
      if (!param.is(Kind::Param)) continue;
      declareFrom(a, param);
      if (caller && position < arguments.size()) {
        const std::vector<syntax::Node> value = childList(arguments[position]);
        if (value.size() == 1 && !value[0].isToken()) {
          ObjectRef passed = resolveExpression({value[0]}, *caller);
          if (passed.lifeline == kNone && !passed.bindKey.empty()) {
            const auto bound = bindings_.find(passed.bindKey);
            if (bound != bindings_.end()) passed.lifeline = bound->second;
          }
          a.variables[token(param.child(Kind::IDEN), a)].alias = passed;
        }
      }
      ++position;
    }
  }

  // "var x = new T(...)" or "var x = call()" of a method the sources
  // declare: x has the type the initialiser gives.
  void typeFromInitialiser(const syntax::Node& declarator, MethodRun& a) {
    const auto variable = a.variables.find(token(declarator.child(Kind::IDEN), a));
    if (variable == a.variables.end() || variable->second.type != "var" || variable->second.alias) return;
    const syntax::Node value = declarator.child(Kind::VarInit).child(Kind::Expr);
    const std::vector<syntax::Node> parts = childList(value);
    if (parts.size() != 1) return;
    syntax::Node key = parts[0];
    if (key.is(Kind::NewAllocExpr)) key = key.child(Kind::ClsAllocExpr);
    else if (!key.is(Kind::MtdCall)) return;
    const ObjectRef* result = key ? results_.find(key) : nullptr;
    if (result && !result->type.empty() && !result->chained) variable->second.type = result->type;
  }

  // ---- combined fragments

  // A fragment being gathered while its statement is walked.
  struct OpenFragment {
    Fragment fragment;
    size_t endAt = kNone;      // where a finally block starts: its calls come after the fragment
    bool leaves = false;       // an if whose branch ends in break, continue, return or throw
    std::string condition;     // an if's condition, for its else alone
    bool isTry = false;        // a try with catches: no fragment when only its block makes calls
    size_t order = 0;          // in the order the statements start
  };

  // The keyword a statement starts with: "try", "for", "while"...
  std::string firstKeyword(const syntax::Node& statement, const MethodRun& a) const {
    for (const syntax::Node child : statement.children())
      if (child.isToken()) return token(child, a);
    return std::string();
  }

  // The statement a Stmt holds, looking through a block of one statement.
  static bool endsWithJump(const syntax::Node& stmt) {
    syntax::Node last = stmt;
    for (int guard = 0; guard < 64 && last; ++guard) {
      if (!last.firstChild()) return false;
      syntax::Node next;
      for (syntax::Node child = last.lastChild(); child; child = child.previousSibling())
        if (!child.isToken()) {
          next = child;
          break;
        }
      if (!next) return false;
      if (next.is(Kind::JumpStmt)) {
        const syntax::Node jump = next.firstChild();
        return jump && !jump.is(Kind::CONTINUE);
      }
      if (!next.is(Kind::Stmt) && !next.is(Kind::Blk)) return false;
      last = next;
    }
    return false;
  }

  // The operator of the fragment a statement opens; empty for none.
  static std::string fragmentOperator(const syntax::Node& node) {
    if (node.is(Kind::IterStmt)) return "loop";
    if (node.is(Kind::SelStmt)) {
      if (node.child(Kind::IF)) return "opt";
      return node.child(Kind::Blk) || node.child(Kind::SwBlk) ? "alt" : "";
    }
    if (node.is(Kind::GrdingStmt)) {
      if (node.child(Kind::SYNCHRONIZED)) return "critical";
      return node.child(Kind::Catch) ? "alt" : "";
    }
    return "";
  }

  // The statement after "else" of an if, when it is itself an if: its
  // branches are further operands of the same fragment.
  static bool isElseIf(const syntax::Node& parent, const syntax::Node& child) {
    const syntax::IfStatement statement = syntax::IfStatement::of(parent);
    return statement && child == statement.otherwise() && syntax::IfStatement::of(syntax::soleChild(child));
  }

  // The guard of the operand that a child of a fragment's statement
  // starts, if it starts one.
  std::optional<std::string> operandGuard(const syntax::Node& parent, const std::vector<syntax::Node>& siblings,
                                          size_t at, const MethodRun& a) const {
    const syntax::Node& child = siblings[at];
    if (const syntax::IfStatement statement = syntax::IfStatement::of(parent)) {
      if (!child.is(Kind::Stmt)) return std::nullopt;
      if (child == statement.otherwise()) return std::string("else");
      return text(statement.condition(), a);
    }
    if (const syntax::LoopStatement loop = syntax::LoopStatement::of(parent)) {
      switch (loop.form()) {
        case syntax::LoopStatement::Form::While:
          return child.is(Kind::Expr) ? std::optional<std::string>(text(child, a)) : std::nullopt;
        case syntax::LoopStatement::Form::Do:
          if (!child.is(Kind::Stmt)) return std::nullopt;
          return text(loop.condition(), a);
        case syntax::LoopStatement::Form::ForEach:
          if (!child.is(Kind::Stmt)) return std::nullopt;
          return "for each " + token(loop.eachVariable().child(Kind::IDEN), a) + " in " + text(loop.eachValues(), a);
        case syntax::LoopStatement::Form::For: break;
      }
      if (!child.is(Kind::ForExpr)) return std::nullopt;
      const syntax::Node condition = child.child(Kind::Expr);
      return condition ? text(condition, a) : std::string("forever");
    }
    if (parent.is(Kind::GrdingStmt)) {
      if (parent.child(Kind::SYNCHRONIZED))
        return child.is(Kind::Stmt)
                   ? std::optional<std::string>("synchronized (" + text(parent.child(Kind::Expr), a) + ")")
                   : std::nullopt;
      if (child.is(Kind::Blk)) return std::string("try");
      if (child.is(Kind::Catch)) {
        std::string types;
        for (const syntax::Node part : child.child(Kind::CatchHeader).children()) {
          if (part.is(Kind::TypeSpec)) types += (types.empty() ? "" : " | ") + typeName(part, a);
        }
        return "catch " + types;
      }
      return std::nullopt;
    }
    // The cases of a switch: a run of labels starts one operand.
    if (parent.is(Kind::SwBlk) && child.is(Kind::SwRule)) {
      std::string label = text(child.child(Kind::SwLabel), a);
      if (label.size() >= 2 && label.compare(label.size() - 2, 2, "->") == 0) label.erase(label.size() - 2);
      while (!label.empty() && label.back() == ' ') label.pop_back();
      return label;
    }
    if (parent.is(Kind::Blk) && child.is(Kind::Stmt)) {
      const syntax::Node label = child.child(Kind::LblStmt);
      if (!label || label.child(Kind::IDEN)) return std::nullopt;
      std::string written = text(label, a);
      if (!written.empty() && written.back() == ':') written.pop_back();
      while (!written.empty() && written.back() == ' ') written.pop_back();
      return written;
    }
    return std::nullopt;
  }

  // Whether the label statement before this one belongs to the same run.
  static bool followsLabel(const syntax::Node& parent, const std::vector<syntax::Node>& siblings, size_t at) {
    if (!parent.is(Kind::Blk) || at == 0) return false;
    for (size_t i = at; i-- > 0;) {
      if (siblings[i].isToken()) continue;
      return siblings[i].is(Kind::Stmt) && siblings[i].child(Kind::LblStmt);
    }
    return false;
  }

  void addOperand(size_t open, std::string guard, bool sameRun) {
    Fragment& fragment = open_[open].fragment;
    const size_t here = diagram_.messages.size();
    if (sameRun && !fragment.operands.empty() && fragment.operands.back().firstMessage == here) {
      fragment.operands.back().guard += ", " + guard;
      return;
    }
    fragment.operands.push_back(Operand{std::move(guard), here});
  }

  // Ends a fragment: only the operands that hold a message are kept, and
  // only a fragment that keeps one is drawn.
  void closeFragment(size_t open) {
    // Statements nest, so the fragment ending is the innermost one open.
    OpenFragment done = std::move(open_[open]);
    open_.pop_back();
    const size_t end = done.endAt != kNone ? done.endAt : diagram_.messages.size();
    Fragment& fragment = done.fragment;
    const size_t written = fragment.operands.size();
    std::vector<Operand> kept;
    for (size_t i = 0; i < fragment.operands.size(); ++i) {
      const size_t next = i + 1 < fragment.operands.size() ? fragment.operands[i + 1].firstMessage : end;
      if (fragment.operands[i].firstMessage < std::min(next, end)) kept.push_back(fragment.operands[i]);
    }
    if (kept.empty()) return;
    // The try block runs whatever happens: it needs no frame of its own.
    if (done.isTry && kept.size() == 1 && kept[0].firstMessage == fragment.operands.front().firstMessage) return;
    const bool onlyElse = kept.size() == 1 && kept[0].guard == "else";
    if (fragment.op == "opt" || fragment.op == "alt") {
      if (kept.size() > 1) {
        fragment.op = "alt";
      } else {
        fragment.op = "opt";
        // The else branch of an if alone: the condition it runs on.
        if (onlyElse && written == 2) kept[0].guard = "!(" + done.condition + ")";
        if (done.leaves && kept[0].firstMessage == fragment.operands.front().firstMessage && written == 1)
          fragment.op = "break";
      }
    }
    fragment.operands = std::move(kept);
    fragment.lastMessage = end - 1;
    finished_.push_back({done.order, std::move(fragment)});
  }

  // ---- the walk

  void walk(MethodRun& a) {
    if (!a.method->body) return;
    struct Frame {
      syntax::Node node;
      std::vector<syntax::Node> children;
      size_t next = 0;
      size_t feeds = kNone;  // the open fragment whose operands this node's children start
      bool opens = false;    // this node opened that fragment
      bool elseIf = false;   // the statement after "else" that is an if of the same fragment
      bool continued = false;  // that if, whose operands start at its condition
    };
    // Open fragments are known by their place in open_; those of this
    // method lie above the ones open when it started.
    std::vector<Frame> frames;
    frames.push_back(Frame{a.method->body, childList(a.method->body), 0});
    while (!frames.empty()) {
      Frame& top = frames.back();
      if (top.next < top.children.size()) {
        const size_t at = top.next++;
        const syntax::Node child = top.children[at];
        if (child.isToken()) continue;
        declareFrom(a, child);
        if (isNestedBody(child)) ++nested_;
        Frame frame{child, childList(child), 0};
        if (top.feeds != kNone) {
          if (child.is(Kind::Finally)) {
            open_[top.feeds].endAt = diagram_.messages.size();
          } else if (top.elseIf) {
            frame.feeds = top.feeds;  // the if after "else" adds its branches to the fragment
            frame.continued = true;
          } else if (top.continued && (child.is(Kind::Expr) || at == 4)) {
            // Its operand starts at its condition, asked only once the ones
            // before it failed, not at its branch.
            if (child.is(Kind::Expr)) addOperand(top.feeds, text(child, a), false);
          } else if (isElseIf(top.node, top.children[at])) {
            frame.feeds = top.feeds;
            frame.elseIf = true;
          } else if (std::optional<std::string> guard = operandGuard(top.node, top.children, at, a)) {
            addOperand(top.feeds, std::move(*guard), followsLabel(top.node, top.children, at));
          }
          // A switch's cases stand in its body.
          if ((child.is(Kind::Blk) || child.is(Kind::SwBlk)) && top.node.is(Kind::SelStmt) &&
              !top.node.child(Kind::IF))
            frame.feeds = top.feeds;
        }
        if (frame.feeds == kNone && nested_ == 0) {
          const std::string op = fragmentOperator(child);
          if (!op.empty()) {
            OpenFragment open;
            open.fragment.op = op;
            open.fragment.owner = a.self;
            open.fragment.construct = firstKeyword(child, a);
            open.fragment.line = child.firstLine();
            open.fragment.method = a.method;
            open.order = nextFragment_++;
            open.isTry = child.is(Kind::GrdingStmt) && !child.child(Kind::SYNCHRONIZED);
            if (op == "opt") {
              const syntax::IfStatement statement = syntax::IfStatement::of(child);
              open.condition = text(statement.condition(), a);
              open.leaves = !statement.otherwise() && endsWithJump(statement.then());
            }
            open_.push_back(std::move(open));
            frame.feeds = open_.size() - 1;
            frame.opens = true;
          }
        }
        frames.push_back(std::move(frame));
        continue;
      }
      const syntax::Node done = top.node;
      const bool closes = top.opens;
      const size_t fragment = top.feeds;
      frames.pop_back();
      if (closes) closeFragment(fragment);
      if (done.is(Kind::VarDeclr)) typeFromInitialiser(done, a);
      if (done.is(Kind::MtdCall)) onCall(done, a);
      else if (done.is(Kind::ClsAllocExpr)) onCreation(done, a);
      else if (isNestedBody(done)) --nested_;
    }
  }

  // Outer fragments before the ones they hold, each with its depth.
  void orderFragments() {
    std::sort(finished_.begin(), finished_.end(), [](const auto& x, const auto& y) {
      if (x.second.firstMessage() != y.second.firstMessage())
        return x.second.firstMessage() < y.second.firstMessage();
      if (x.second.lastMessage != y.second.lastMessage) return x.second.lastMessage > y.second.lastMessage;
      return x.first < y.first;
    });
    std::vector<size_t> enclosing;  // ends of the fragments round the current one
    for (auto& [order, fragment] : finished_) {
      while (!enclosing.empty() && enclosing.back() < fragment.firstMessage()) enclosing.pop_back();
      fragment.depth = static_cast<int>(enclosing.size());
      enclosing.push_back(fragment.lastMessage);
      diagram_.fragments.push_back(std::move(fragment));
    }
  }

  // ---- activations

  size_t openActivation(size_t lifeline, size_t message) {
    int level = 0;
    for (size_t open : openActivations_)
      if (diagram_.activations[open].lifeline == lifeline) ++level;
    diagram_.activations.push_back(Activation{lifeline, message, message, level});
    openActivations_.push_back(diagram_.activations.size() - 1);
    return diagram_.activations.size() - 1;
  }

  void closeActivation(size_t activation) {
    openActivations_.pop_back();
    diagram_.activations[activation].lastMessage = diagram_.messages.size() - 1;
  }

  void noteNested(const MethodRun& a, size_t nestedAbove) {
    if (nested_ <= nestedAbove) return;
    const std::string holder = methodDisplayName(*a.method);
    if (std::find(nestedHolders_.begin(), nestedHolders_.end(), holder) == nestedHolders_.end())
      nestedHolders_.push_back(holder);
  }

  // Walks the callee's body under the receiver's lifeline when the depth
  // allows and it is not already being walked.
  void follow(const MethodInfo* callee, size_t self, const syntax::Node& call, const std::string& callText,
              MethodRun& caller) {
    if (!callee || !callee->body) return;
    if (std::find(stack_.begin(), stack_.end(), callee) != stack_.end()) {
      const std::string target = methodDisplayName(*callee);
      if (std::find(recursive_.begin(), recursive_.end(), target) == recursive_.end()) {
        recursive_.push_back(target);
        diagram_.notes.push_back("Recursion: " + callText + " calls " + target +
                                 " again; the call is shown once and not followed.");
      }
      return;
    }
    if (caller.depth >= options_.depth || full()) return;
    if (!fitsOnPage(*callee)) {
      // A callee that calls nothing leaves nothing out.
      if (callsIn(callee->body) > 0) refer(callee, self, options_.depth - caller.depth);
      return;
    }
    MethodRun next;
    next.method = callee;
    next.cls = callee->owner;
    next.self = self;
    next.id = nextRun_++;
    next.depth = caller.depth + 1;
    declareParameters(next, call, &caller);
    // Calls in the callee's lambdas count as its own; the caller's
    // nesting does not carry over.
    const size_t outerNesting = nested_;
    nested_ = 0;
    stack_.push_back(callee);
    walk(next);
    stack_.pop_back();
    nested_ = outerNesting;
  }

  // The calls and creations a body makes, as written.
  static size_t callsIn(const syntax::Node& body) {
    size_t calls = 0;
    body.walk([&](const syntax::Node& node) {
      if (node.is(Kind::MtdCall) || node.is(Kind::ClsAllocExpr)) ++calls;
      return syntax::Step::Into;
    });
    return calls;
  }

  // Whether a callee's calls fit on the page beside the ones the method
  // has yet to make itself.
  bool fitsOnPage(const MethodInfo& callee) {
    if (options_.pageMessages == 0) return true;
    const size_t ownLeft = ownCalls_ > ownCallsMade_ ? ownCalls_ - ownCallsMade_ : 0;
    return diagram_.messages.size() + callsIn(callee.body) + ownLeft <= options_.pageMessages;
  }

  // The call just made, framed as an interaction use of its callee.
  void refer(const MethodInfo* callee, size_t self, int depthLeft) {
    Fragment ref;
    ref.op = "ref";
    ref.operands.push_back(Operand{methodDisplayName(*callee), diagram_.messages.size() - 1});
    ref.lastMessage = diagram_.messages.size() - 1;
    ref.owner = self;
    ref.reference = callee;
    ref.referenceDepth = depthLeft;
    finished_.push_back({nextFragment_++, std::move(ref)});
  }

  // A call by its name alone: a method of the class or of one round it,
  // else one a static import brings in (its class then the receiver).
  const MethodInfo* calledByNameAlone(const std::string& name, size_t arguments, MethodRun& a, ObjectRef& receiver) {
    const MethodInfo* ownMethod = nullptr;
    for (const ClassInfo* cls = a.cls; cls && !ownMethod; cls = cls->outer)
      ownMethod = index_.findMethod(*cls, name, arguments);
    if (ownMethod) return ownMethod;
    const std::string owner = index_.staticImportOwner(name, a.cls);
    if (owner.empty()) return nullptr;
    receiver = ObjectRef();
    receiver.type = owner;
    receiver.context = a.cls;
    receiver.label = ":" + owner.substr(owner.rfind('.') + 1);
    if (const ClassInfo* cls = index_.resolveType(owner, a.cls); cls && isOwnClassName(a, cls->name))
      receiver = selfRef(a);
    return nullptr;
  }

  // The constructor `this(...)` or `super(...)` calls, when its source is known.
  const MethodInfo* constructorCalled(const std::string& name, size_t arguments, const MethodRun& a) {
    const ClassInfo* calleeClass = a.cls;
    if (name == "super" && a.cls) calleeClass = index_.superclass(*a.cls);
    return calleeClass ? index_.findMethod(*calleeClass, calleeClass->name, arguments) : nullptr;
  }

  // The method a call on `receiver` (drawn to lifeline `target`) runs,
  // when its source is known.
  const MethodInfo* methodCalled(const ObjectRef& receiver, size_t target, bool viaSuper, const std::string& name,
                                 size_t arguments, const MethodRun& a) {
    const MethodInfo* callee = nullptr;
    if (target == a.self && receiver.lifeline == a.self) {
      viaSuper = viaSuper && a.cls;
      for (const ClassInfo* cls = viaSuper ? index_.superclass(*a.cls) : a.cls; cls && !callee;
           cls = viaSuper ? nullptr : cls->outer)
        callee = index_.findMethod(*cls, name, arguments);
    } else if (const ClassInfo* cls = classOf(receiver, target)) {
      callee = index_.findMethod(*cls, name, arguments);
      if (options_.followImplementations && (!callee || !callee->body) && (cls->isInterface || cls->isAbstract))
        callee = implementationOf(*cls, name, arguments, callee);
    }
    return callee;
  }

  // What a call gives, for a call made on it.  A stream or a builder and
  // the values an unknown call gives along a chain are one object.
  ObjectRef callResult(const syntax::Node& call, const MethodInfo* callee, const ObjectRef& receiver, size_t target,
                       const std::string& name, MethodRun& a) {
    ObjectRef result;
    if (callee && !callee->returnType.empty() && callee->returnType != "void") {
      result.type = callee->returnType;
      result.label = ":" + result.type;
      result.context = callee->owner;
    } else if (const std::string stream = streamOf(receiver.type.empty() ? lifelineTypes_[target] : receiver.type, name);
               !stream.empty()) {
      result.type = stream;
      result.label = ":" + stream;
      result.chained = true;
    } else if (receiver.chained || fluentType(lifelineTypes_[target])) {
      result.lifeline = target;
      result.type = lifelineTypes_[target];
      result.chained = true;
    } else {
      result = textRef(withoutThis(text(call, a)));
      result.chained = true;
    }
    return result;
  }

  // Counts a call the method makes itself; whether the diagram is full,
  // so that the call is left out (and counted so).
  bool leftOutWhenFull(const MethodRun& a) {
    if (a.depth == 1) ++ownCallsMade_;
    if (!full()) return false;
    ++leftOut_;
    return true;
  }

  void onCall(const syntax::Node& call, MethodRun& a) {
    if (leftOutWhenFull(a)) return;
    const syntax::MethodCall called(call);
    const syntax::Node access = called.callee();
    // <T>this(t): what is called after its type arguments.
    const syntax::Node head = access.firstChild().is(Kind::LT) ? access.lastChild() : access.firstChild();
    if (!head) return;
    const Kind headKind = head.kind();
    const size_t arguments = called.arguments().size();
    const int32_t line = call.firstLine();

    std::string name, prefix;
    ObjectRef receiver = selfRef(a);
    bool constructorCall = false;
    const std::vector<syntax::Node> accessParts = childList(access);
    if (accessParts.size() > 2 && accessParts[1].is(Kind::DOT) && accessParts.back().is(Kind::IDEN)) {
      // receiver.<T>name(...): a method of what is before the dot.
      name = token(accessParts.back(), a);
      if (headKind == Kind::SUPER) prefix = "super.";
      if (headKind != Kind::THIS && headKind != Kind::SUPER) receiver = resolveExpression({head}, a);
    } else if (headKind == Kind::SplName) {
      // super(...) or this(...): a constructor of this object.
      name = text(head, a);
      constructorCall = true;
    } else if (headKind == Kind::Qlid) {
      std::vector<std::string> names = nameParts(head, a);
      name = names.back();
      names.pop_back();
      if (!names.empty()) {
        std::string receiverText;
        for (size_t i = 0; i < names.size(); ++i) receiverText += (i ? "." : "") + names[i];
        receiver = resolveName(names, a, receiverText);
        if (names.back() == "super") prefix = "super.";
      }
    } else if (headKind == Kind::FldAcc) {
      const std::vector<syntax::Node> chain = childList(head);
      if (chain.size() < 3) return;
      name = token(chain.back(), a);
      receiver = resolveExpression({chain.begin(), chain.end() - 2}, a);
    } else {
      name = text(head, a);
    }
    const MethodInfo* ownMethod =
        !constructorCall && headKind == Kind::Qlid && receiver.lifeline == a.self && prefix.empty() &&
                head.firstChild() && !head.firstChild().nextSibling()
            ? calledByNameAlone(name, arguments, a, receiver)
            : nullptr;
    const std::string callText = prefix + name + "(" + argumentsText(call, a) + ")";
    // "throw Errors.make(...)": the call only makes the exception to throw,
    // so it is the throw, at its line, as "throw new E(...)" is.
    if (isThrown(call) && !constructorCall) {
      addMessage(Message::Kind::Throw, a.self, a.self, "throw " + withoutThis(text(call, a)), line);
      ObjectRef thrown = textRef(withoutThis(text(call, a)));
      results_.set(call, thrown);
      return;
    }
    const size_t target = constructorCall ? a.self : lifelineFor(receiver);
    addMessage(target == a.self ? Message::Kind::SelfCall : Message::Kind::Call, a.self, target, callText,
               line);
    const size_t bar = openActivation(target, diagram_.messages.size() - 1);
    noteNested(a, 0);

    const MethodInfo* callee =
        constructorCall ? constructorCalled(name, arguments, a)
                        : ownMethod ? ownMethod : methodCalled(receiver, target, prefix == "super.", name, arguments, a);
    const size_t framesBefore = finished_.size();
    follow(callee, target, call, callText, a);
    // An interaction use stands for the whole call, its answer included.
    const bool referred = finished_.size() == framesBefore + 1 && finished_.back().second.reference;

    const ObjectRef result = callResult(call, callee, receiver, target, name, a);
    results_.set(call, result);

    const ValueUse use = valueUse(call);
    if (use.kind == ValueUse::Kind::Assigned) {
      const std::string key = assignedKey(a, convert(use.target, a));
      if (!key.empty()) bindings_.erase(key);
    }
    // A value that only carries the chain on to the same object comes back
    // at the end of the chain.
    const bool carriesChain = call.parent().is(Kind::FldAcc) && result.lifeline == target;
    if (use.kind != ValueUse::Kind::Unused && target != a.self && !full() && !carriesChain) {
      addMessage(Message::Kind::Return, target, a.self,
                 use.kind == ValueUse::Kind::Assigned ? convert(withoutThis(use.target), a) : callText, line);
      if (referred) finished_[framesBefore].second.lastMessage = diagram_.messages.size() - 1;
    }
    closeActivation(bar);
  }

  // "list.stream()": a stream of the collection's elements.
  static std::string streamOf(const std::string& type, const std::string& method) {
    if (method != "stream" && method != "parallelStream") return std::string();
    const size_t open = type.find('<');
    const size_t close = type.rfind('>');
    if (open == std::string::npos || close == std::string::npos || close < open) return "Stream";
    const std::string argument = type.substr(open + 1, close - open - 1);
    if (argument.find(',') != std::string::npos) return "Stream";
    return "Stream<" + argument + ">";
  }

  // Types whose methods give the object itself or one of its kind.
  static bool fluentType(const std::string& type) {
    const std::string name = simpleTypeName(type);
    auto endsWith = [&](std::string_view tail) {
      return name.size() >= tail.size() && name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
    };
    return endsWith("Builder") || endsWith("Buffer") || endsWith("Stream") || name == "Optional";
  }

  // The method of the only implementation of an interface or abstract
  // class, noted once for the type.
  const MethodInfo* implementationOf(const ClassInfo& type, const std::string& name, size_t arguments,
                                     const MethodInfo* declared) {
    const ClassInfo* only = index_.onlyImplementation(type);
    const MethodInfo* method = only ? index_.findMethod(*only, name, arguments) : nullptr;
    if (!method || !method->body) return declared;
    if (std::find(implemented_.begin(), implemented_.end(), &type) == implemented_.end()) {
      implemented_.push_back(&type);
      diagram_.notes.push_back("Calls on " + type.name + " are followed into " + only->name +
                               ", its only implementation in the sources (--follow-implementations).");
    }
    return method;
  }

  void onCreation(const syntax::Node& allocation, MethodRun& a) {
    if (leftOutWhenFull(a)) return;
    // "new Type<Args>(...)": the type is what stands between "new" and "(".
    const std::string written = text(allocation, a);
    const size_t open = written.find('(');
    std::string type = written.substr(0, open);
    if (type.rfind("new ", 0) == 0) type.erase(0, 4);
    const bool anonymous = allocation.parent().is(Kind::AnonyClass);
    const syntax::Node holder = anonymous ? allocation.parent().parent() : allocation.parent();
    const ValueUse use = holder.is(Kind::NewAllocExpr) ? valueUse(holder) : ValueUse{};
    const int32_t line = allocation.firstLine();
    const std::string callText = "new " + type + "(" + argumentsText(allocation, a) + ")";
    // An exception made to be thrown lives no longer than the throw: it is
    // the throw, at its line, not an object of the diagram.
    if (!anonymous && holder.is(Kind::NewAllocExpr) && isThrown(holder)) {
      addMessage(Message::Kind::Throw, a.self, a.self, "throw " + callText, line);
      return;
    }
    const std::string name =
        use.kind == ValueUse::Kind::Assigned ? convert(withoutThis(use.target), a) : std::string();
    const size_t created = addLifeline(name + ":" + type, diagram_.messages.size());
    lifelineTypes_[created] = type;
    lifelineContexts_[created] = a.cls;
    const ClassInfo* constructed = index_.resolveType(type, a.cls);
    const ClassInfo* cls = constructed;
    if (anonymous) {
      if (const ClassInfo* body = index_.classHolding(allocation.parent().child(Kind::OBR))) cls = body;
    }
    if (cls) lifelineClasses_[created] = cls;
    if (use.kind == ValueUse::Kind::Assigned) {
      const std::string key = assignedKey(a, convert(use.target, a));
      if (!key.empty()) bindings_[key] = created;
    }
    addMessage(Message::Kind::Create, a.self, created, callText, line);
    const size_t creation = diagram_.messages.size() - 1;
    // The creation of an anonymous object belongs to the method; the
    // calls in its body do not.
    noteNested(a, anonymous ? 1 : 0);

    ObjectRef result;
    result.lifeline = created;
    result.type = type;
    result.cls = cls;
    results_.set(allocation, result);

    // The constructor's calls, made on the new object, while it is busy.
    if (constructed && !isExceptionType(type)) {
      const size_t bar = openActivation(created, creation);
      follow(index_.findMethod(*constructed, constructed->name, expressionChildren(allocation).size()),
             created, allocation, callText, a);
      closeActivation(bar);
      if (diagram_.activations[bar].lastMessage == creation) diagram_.activations.pop_back();
    }
  }

  SourceIndex& index_;
  const DiagramOptions& options_;
  Diagram diagram_;
  std::vector<std::string> lifelineTypes_;
  std::vector<const ClassInfo*> lifelineContexts_;  // where each type was written
  std::unordered_map<size_t, const ClassInfo*> lifelineClasses_;
  std::unordered_map<std::string, size_t> byLabel_;
  std::unordered_map<std::string, size_t> bindings_;
  NodeMap<ObjectRef> results_;  // what each call and creation walked gave
  std::vector<const MethodInfo*> stack_;
  std::vector<std::string> nestedHolders_;
  std::vector<std::string> recursive_;
  size_t nested_ = 0;
  size_t nextRun_ = 0;
  std::vector<OpenFragment> open_;
  std::vector<std::pair<size_t, Fragment>> finished_;  // with the order their statements start in
  size_t nextFragment_ = 0;
  std::vector<size_t> openActivations_;
  std::vector<const ClassInfo*> implemented_;
  size_t leftOut_ = 0;
  size_t ownCalls_ = 0;      // the calls and creations the method's body makes
  size_t ownCallsMade_ = 0;  // those walked so far
};

}  // namespace

Diagram buildDiagram(SourceIndex& index, const MethodInfo& method, const DiagramOptions& options) {
  DiagramBuilder builder(index, options);
  return builder.build(method);
}

}  // namespace sequence
