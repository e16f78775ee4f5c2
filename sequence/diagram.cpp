#include "sequence/diagram.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <unordered_map>

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
  return statement.is(Kind::JumpStmt) && tokenText(statement.firstChild()) == "throw";
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

  // The object an expression before ".method(...)" stands for.
  ObjectRef resolveExpression(const std::vector<syntax::Node>& receiver, const MethodRun& a) {
    std::vector<syntax::Node> elements;
    for (const syntax::Node& node : receiver)
      if (!node.isToken()) elements.push_back(node);
    std::string whole;
    for (const syntax::Node& node : receiver) whole += text(node, a);
    // "(expression)": what the expression inside stands for.
    if (elements.size() == 1 && receiver.size() == 3 && elements[0].is(Kind::Expr)) {
      const std::vector<syntax::Node> inner = childList(elements[0]);
      if (inner.size() == 1) return resolveExpression({inner[0]}, a);
      // "((Type) value)" as the scanner reads a cast: the value as that type.
      if (inner.size() == 2 && inner[0].is(Kind::CASTEXPR)) {
        std::string type = token(inner[0], a);
        if (type.size() >= 2 && type.front() == '(' && type.back() == ')') type = type.substr(1, type.size() - 2);
        while (!type.empty() && type.front() == ' ') type.erase(0, 1);
        while (!type.empty() && type.back() == ' ') type.pop_back();
        ObjectRef ref;
        ref.type = type;
        ref.context = a.cls;
        ref.label = withoutThis(text(inner[1], a)) + ":" + type;
        return ref;
      }
      // "((Type) value)": the value as that type.  (The grammar reads the
      // type in parentheses as an expression, or as a type where it holds
      // what no expression does: annotations, type arguments.)
      if (inner.size() == 4 && inner[0].is(Kind::OPR) && inner[2].is(Kind::CPR) &&
          (inner[1].is(Kind::ClsTypeExpr) || inner[1].is(Kind::Expr) || inner[1].is(Kind::TypeSpec))) {
        ObjectRef ref;
        ref.type = inner[1].is(Kind::TypeSpec) ? typeName(inner[1], a) : text(inner[1], a);
        ref.context = a.cls;
        ref.label = withoutThis(text(inner[3], a)) + ":" + ref.type;
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

  static bool isIf(const syntax::Node& node) { return node.is(Kind::SelStmt) && node.child(Kind::IF); }

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
  static bool isElseIf(const syntax::Node& parent, const std::vector<syntax::Node>& siblings, size_t at) {
    if (!isIf(parent) || at == 0 || !siblings[at].is(Kind::Stmt)) return false;
    if (!siblings[at - 1].is(Kind::ELSE)) return false;
    const syntax::Node inner = siblings[at].firstChild();
    return inner && !inner.nextSibling() && isIf(inner);
  }

  // The guard of the operand that a child of a fragment's statement
  // starts, if it starts one.
  std::optional<std::string> operandGuard(const syntax::Node& parent, const std::vector<syntax::Node>& siblings,
                                          size_t at, const MethodRun& a) const {
    const syntax::Node& child = siblings[at];
    if (parent.is(Kind::SelStmt) && parent.child(Kind::IF)) {
      if (!child.is(Kind::Stmt)) return std::nullopt;
      if (at > 0 && siblings[at - 1].is(Kind::ELSE)) return std::string("else");
      return text(parent.child(Kind::Expr), a);
    }
    if (parent.is(Kind::IterStmt)) {
      const Kind keyword = siblings.empty() ? Kind::Other : siblings[0].kind();
      if (keyword == Kind::WHILE)
        return child.is(Kind::Expr) ? std::optional<std::string>(text(child, a)) : std::nullopt;
      if (keyword == Kind::DO) {
        if (!child.is(Kind::Stmt)) return std::nullopt;
        return text(parent.child(Kind::Expr), a);
      }
      if (const syntax::Node each = parent.child(Kind::for_each_var)) {
        if (!child.is(Kind::Stmt)) return std::nullopt;
        return "for each " + token(each.child(Kind::IDEN), a) + " in " + text(each.child(Kind::Expr), a);
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
          } else if (isElseIf(top.node, top.children, at)) {
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
              open.condition = text(child.child(Kind::Expr), a);
              const std::vector<syntax::Node>& parts = frame.children;
              open.leaves = parts.size() == 5 && endsWithJump(parts[4]);
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

  void onCall(const syntax::Node& call, MethodRun& a) {
    if (a.depth == 1) ++ownCallsMade_;
    if (full()) {
      ++leftOut_;
      return;
    }
    const syntax::Node access = call.firstChild();
    // <T>this(t): what is called after its type arguments.
    const syntax::Node head = access.firstChild().is(Kind::LT) ? access.lastChild() : access.firstChild();
    if (!head) return;
    const Kind headKind = head.kind();
    const size_t arguments = expressionChildren(call).size();
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
    // A call by its name alone: a method of the class or of one round it,
    // else one a static import brings in.
    const MethodInfo* ownMethod = nullptr;
    if (!constructorCall && headKind == Kind::Qlid && receiver.lifeline == a.self && prefix.empty() &&
        head.firstChild() && !head.firstChild().nextSibling()) {
      for (const ClassInfo* cls = a.cls; cls && !ownMethod; cls = cls->outer)
        ownMethod = index_.findMethod(*cls, name, arguments);
      if (!ownMethod) {
        const std::string owner = index_.staticImportOwner(name, a.cls);
        if (!owner.empty()) {
          receiver = ObjectRef();
          receiver.type = owner;
          receiver.context = a.cls;
          receiver.label = ":" + owner.substr(owner.rfind('.') + 1);
          if (const ClassInfo* cls = index_.resolveType(owner, a.cls); cls && isOwnClassName(a, cls->name))
            receiver = selfRef(a);
        }
      }
    }
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

    // The method called, when its source is known.
    const MethodInfo* callee = nullptr;
    if (constructorCall) {
      const ClassInfo* calleeClass = a.cls;
      if (name == "super" && a.cls) calleeClass = index_.superclass(*a.cls);
      if (calleeClass) callee = index_.findMethod(*calleeClass, calleeClass->name, arguments);
    } else if (ownMethod) {
      callee = ownMethod;
    } else if (target == a.self && receiver.lifeline == a.self) {
      const bool viaSuper = prefix == "super." && a.cls;
      for (const ClassInfo* cls = viaSuper ? index_.superclass(*a.cls) : a.cls; cls && !callee;
           cls = viaSuper ? nullptr : cls->outer)
        callee = index_.findMethod(*cls, name, arguments);
    } else if (const ClassInfo* cls = classOf(receiver, target)) {
      callee = index_.findMethod(*cls, name, arguments);
      if (options_.followImplementations && (!callee || !callee->body) && (cls->isInterface || cls->isAbstract))
        callee = implementationOf(*cls, name, arguments, callee);
    }
    const size_t framesBefore = finished_.size();
    follow(callee, target, call, callText, a);
    // An interaction use stands for the whole call, its answer included.
    const bool referred = finished_.size() == framesBefore + 1 && finished_.back().second.reference;

    // What the call gives, for a call made on it.  A stream or a builder
    // and the values an unknown call gives along a chain are one object.
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
    if (a.depth == 1) ++ownCallsMade_;
    if (full()) {
      ++leftOut_;
      return;
    }
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

std::string Fragment::text() const {
  if (operands.empty()) return op;
  return op == "ref" ? op + " " + operands.front().guard : op + " [" + operands.front().guard + "]";
}

std::string methodDisplayName(const MethodInfo& method) {
  std::string owner;
  // As the flowchart command names it: an anonymous class by its type as
  // written, a class declared in a method after that method.
  for (const ClassInfo* cls = method.owner; cls; cls = cls->outer) {
    std::string part = cls->anonymous && !cls->supertypes.empty() ? "new " + cls->supertypes.front()
                       : cls->anonymous                           ? "new " + cls->name
                                                                  : cls->name;
    if (!cls->enclosingMethod.empty()) part = cls->enclosingMethod + "." + part;
    owner = part + (owner.empty() ? "" : "." + owner);
  }
  // An initialiser as the flowchart command shows it everywhere.
  const std::string name = method.name != "#Block#"                  ? method.name
                           : method.declaration.is(Kind::StaticInit) ? "static {}"
                                                                     : "{}";
  return owner.empty() ? name : owner + "." + name;
}

Diagram buildDiagram(SourceIndex& index, const MethodInfo& method, const DiagramOptions& options) {
  DiagramBuilder builder(index, options);
  return builder.build(method);
}

}  // namespace sequence

namespace sequence {
namespace {

bool overBudget(const Diagram& diagram, const PageBudget& budget) {
  if (budget.fits) return !budget.fits(diagram);
  return (budget.messages > 0 && diagram.messages.size() > budget.messages) ||
         (budget.lifelines > 0 && diagram.lifelines.size() > budget.lifelines);
}

size_t messagesIn(const Fragment& fragment) { return fragment.lastMessage - fragment.firstMessage() + 1; }

// The fragment to fold next: the one holding the most messages, the
// outermost of those that hold the same; never a ref frame, nor one that
// holds the whole page (its page would be this one again), nor one of a
// single message (its ref frame would take as much room).
size_t foldCandidate(const Diagram& diagram) {
  size_t best = kNone;
  const size_t count = diagram.messages.size();
  for (size_t f = 0; f < diagram.fragments.size(); ++f) {
    const Fragment& fragment = diagram.fragments[f];
    if (fragment.op == "ref" || fragment.operands.empty() || fragment.lastMessage >= count) continue;
    if (messagesIn(fragment) < 2 || (fragment.firstMessage() == 0 && fragment.lastMessage + 1 == count)) continue;
    if (best == kNone || messagesIn(fragment) > messagesIn(diagram.fragments[best])) best = f;
  }
  return best;
}

// Moves messages a to b (a fragment's, or a run of statements'), the
// fragments inside them and the lifelines they use to a diagram of their
// own, and leaves a ref frame of one Ref message in their place, opening
// page `page`.  No fragment or activation may start on one side of the
// range and end inside it.  `folded` says whose statements they are.
Diagram cutOut(Diagram& diagram, size_t a, size_t b, const Fragment& folded, const std::string& title, size_t page) {
  const size_t span = b - a;
  const size_t lifelines = diagram.lifelines.size();
  auto inside = [&](size_t message) { return message != kNone && message >= a && message <= b; };

  std::vector<bool> used(lifelines, false);
  used[folded.owner] = true;
  for (size_t k = a; k <= b; ++k) used[diagram.messages[k].from] = used[diagram.messages[k].to] = true;
  std::vector<size_t> partIndex(lifelines, kNone);
  Diagram part;
  for (size_t l = 0; l < lifelines; ++l) {
    if (!used[l]) continue;
    partIndex[l] = part.lifelines.size();
    const size_t created = diagram.lifelines[l].createdBy;
    part.lifelines.push_back({diagram.lifelines[l].label, inside(created) ? created - a : kNone});
  }
  for (size_t k = a; k <= b; ++k) {
    Message message = diagram.messages[k];
    message.from = partIndex[message.from];
    message.to = partIndex[message.to];
    part.messages.push_back(std::move(message));
  }
  // The part runs in an activation of its owner; the bars round it on
  // the page it leaves stay there, and those inside keep their nesting.
  std::vector<int> enclosing(lifelines, 0);
  for (const Activation& activation : diagram.activations)
    if ((activation.firstMessage == kNone || activation.firstMessage < a) && activation.lastMessage >= b)
      ++enclosing[activation.lifeline];
  part.activations.push_back({partIndex[folded.owner], kNone, span, 0});
  for (const Activation& activation : diagram.activations) {
    if (!inside(activation.firstMessage) || activation.lastMessage > b) continue;
    const int level = activation.level - enclosing[activation.lifeline] + (activation.lifeline == folded.owner ? 1 : 0);
    part.activations.push_back(
        {partIndex[activation.lifeline], activation.firstMessage - a, activation.lastMessage - a, std::max(0, level)});
  }
  for (const Fragment& fragment : diagram.fragments) {
    if (!inside(fragment.firstMessage()) || fragment.lastMessage > b) continue;
    Fragment moved = fragment;
    for (Operand& operand : moved.operands) operand.firstMessage -= a;
    moved.lastMessage -= a;
    moved.owner = partIndex[moved.owner];
    moved.depth = std::max(0, moved.depth - folded.depth);
    part.fragments.push_back(std::move(moved));
  }

  // What stays: the ref in the part's place, later indices moved up.
  auto moved = [&](size_t message) {
    return message == kNone || message < a ? message : message <= b ? a : message - span;
  };
  std::vector<Message> messages(diagram.messages.begin(), diagram.messages.begin() + a);
  messages.push_back(Message{Message::Kind::Ref, folded.owner, folded.owner, title, folded.line});
  messages.insert(messages.end(), diagram.messages.begin() + b + 1, diagram.messages.end());
  std::vector<Activation> activations;
  for (Activation activation : diagram.activations) {
    if (inside(activation.firstMessage) && activation.lastMessage <= b) continue;
    activation.firstMessage = moved(activation.firstMessage);
    activation.lastMessage = moved(activation.lastMessage);
    activations.push_back(activation);
  }
  std::vector<Fragment> fragments;
  bool placed = false;
  for (size_t g = 0; g <= diagram.fragments.size(); ++g) {
    // The ref comes after the fragments round it, before those after it.
    const bool after = g == diagram.fragments.size() || diagram.fragments[g].firstMessage() > a ||
                       (diagram.fragments[g].firstMessage() == a && diagram.fragments[g].lastMessage <= b);
    if (!placed && after) {
      placed = true;
      Fragment ref;
      ref.op = "ref";
      ref.operands.push_back(Operand{title, a});
      ref.lastMessage = a;
      ref.owner = folded.owner;
      ref.depth = folded.depth;
      ref.page = page;
      ref.construct = folded.construct;
      ref.line = folded.line;
      ref.method = folded.method;
      fragments.push_back(std::move(ref));
    }
    if (g == diagram.fragments.size()) break;
    Fragment fragment = diagram.fragments[g];
    if (inside(fragment.firstMessage()) && fragment.lastMessage <= b) continue;
    for (Operand& operand : fragment.operands) operand.firstMessage = moved(operand.firstMessage);
    fragment.lastMessage = moved(fragment.lastMessage);
    fragments.push_back(std::move(fragment));
  }

  // Lifelines only the part used leave the page with it.
  std::vector<bool> kept(lifelines, false);
  kept[0] = true;
  // Ref frames span what stays of their lifelines (see spanParts).
  for (size_t k = 0; k < messages.size(); ++k)
    if (messages[k].kind != Message::Kind::Ref) kept[messages[k].from] = kept[messages[k].to] = true;
  for (const Activation& activation : activations) kept[activation.lifeline] = true;
  for (const Fragment& fragment : fragments) kept[fragment.owner] = true;
  std::vector<size_t> keptIndex(lifelines, kNone);
  std::vector<Lifeline> keptLifelines;
  for (size_t l = 0; l < lifelines; ++l) {
    if (!kept[l]) continue;
    keptIndex[l] = keptLifelines.size();
    Lifeline lifeline = diagram.lifelines[l];
    // One made within the part is there from the top.
    lifeline.createdBy = inside(lifeline.createdBy) ? kNone : moved(lifeline.createdBy);
    keptLifelines.push_back(std::move(lifeline));
  }
  size_t left = kNone, right = 0;
  for (size_t l = 0; l < lifelines; ++l)
    if (used[l] && kept[l]) {
      left = std::min(left, keptIndex[l]);
      right = std::max(right, keptIndex[l]);
    }
  for (size_t k = 0; k < messages.size(); ++k) {
    if (k == a) {
      messages[k].from = left == kNone ? 0 : left;
      messages[k].to = left == kNone ? 0 : right;
      continue;
    }
    const bool ref = messages[k].kind == Message::Kind::Ref;
    messages[k].from = ref && keptIndex[messages[k].from] == kNone ? 0 : keptIndex[messages[k].from];
    messages[k].to = ref && keptIndex[messages[k].to] == kNone ? 0 : keptIndex[messages[k].to];
  }
  for (Activation& activation : activations) activation.lifeline = keptIndex[activation.lifeline];
  for (Fragment& fragment : fragments) fragment.owner = keptIndex[fragment.owner];
  diagram.lifelines = std::move(keptLifelines);
  diagram.messages = std::move(messages);
  diagram.activations = std::move(activations);
  diagram.fragments = std::move(fragments);
  return part;
}

// Where a message may start or end a run cut out of a page: not inside a
// fragment or a call that the page does not lie in as a whole, nor across
// an operand's start.
std::vector<bool> runBoundaries(const Diagram& diagram) {
  const size_t count = diagram.messages.size();
  // boundary[k]: a run may start at message k (and one end at k - 1).
  std::vector<bool> boundary(count + 1, true);
  auto whole = [&](size_t first, size_t last) { return first == 0 && last + 1 >= count; };
  for (const Fragment& fragment : diagram.fragments) {
    if (fragment.operands.empty() || fragment.lastMessage >= count) continue;
    if (!whole(fragment.firstMessage(), fragment.lastMessage))
      for (size_t k = fragment.firstMessage() + 1; k <= fragment.lastMessage; ++k) boundary[k] = false;
  }
  for (const Activation& activation : diagram.activations) {
    if (activation.firstMessage == kNone || activation.lastMessage >= count) continue;
    if (!whole(activation.firstMessage, activation.lastMessage))
      for (size_t k = activation.firstMessage + 1; k <= activation.lastMessage; ++k) boundary[k] = false;
  }
  return boundary;
}

// The messages a run of statements folded away holds at most, when the
// budget does not count them.
constexpr size_t kRunMessages = 30;

// The longest run of messages between boundaries, with no operand of a
// fragment round the page starting inside it, of at most half the
// page's budget (else the shortest longer one); {kNone, kNone} when no
// run of two messages or more is there.
std::pair<size_t, size_t> longestRun(const Diagram& diagram, const PageBudget& budget) {
  const size_t count = diagram.messages.size();
  const std::vector<bool> boundary = runBoundaries(diagram);
  // A further operand of a fragment round the whole page starts here: no
  // run crosses it (the page's other fragments lie inside runs or round them).
  std::vector<bool> split(count + 1, false);
  for (const Fragment& fragment : diagram.fragments)
    if (fragment.firstMessage() == 0 && fragment.lastMessage + 1 >= count)
      for (size_t o = 1; o < fragment.operands.size(); ++o)
        if (fragment.operands[o].firstMessage < count) split[fragment.operands[o].firstMessage] = true;
  // A part already folded away is not folded again into another.
  for (size_t k = 0; k < count; ++k)
    if (diagram.messages[k].kind == Message::Kind::Ref) split[k] = true;
  const size_t most = std::max<size_t>(2, budget.messages > 0 ? budget.messages / 2 : kRunMessages);
  std::pair<size_t, size_t> best{kNone, kNone};
  auto better = [&](size_t a, size_t b) {
    if (b <= a) return;
    if (best.first == kNone) {
      best = {a, b};
      return;
    }
    const size_t length = b - a + 1, bestLength = best.second - best.first + 1;
    const bool fits = length <= most, bestFits = bestLength <= most;
    if ((fits && (!bestFits || length > bestLength)) || (!fits && !bestFits && length < bestLength)) best = {a, b};
  };
  for (size_t a = 0; a < count; ++a) {
    if (!boundary[a] || diagram.messages[a].kind == Message::Kind::Ref) continue;
    for (size_t end = a + 1; end <= count; ++end) {
      if (end < count && split[end] && end > a) {
        if (boundary[end]) better(a, end - 1);
        break;
      }
      if (!boundary[end]) continue;
      // The whole page is no run of its own.
      if (!(a == 0 && end == count)) better(a, end - 1);
      if (end - a > most) break;
    }
  }
  return best;
}

// What a run of statements is called: the lines of the calls its owner
// makes in it.
Fragment runOf(const Diagram& diagram, size_t a, size_t b, text::Charset charset) {
  Fragment run;
  run.owner = 0;
  if (!diagram.activations.empty() && diagram.activations.front().firstMessage == kNone)
    run.owner = diagram.activations.front().lifeline;
  int depth = 0;
  for (const Fragment& fragment : diagram.fragments)
    if (fragment.firstMessage() <= a && fragment.lastMessage >= b && !(fragment.firstMessage() == a && fragment.lastMessage == b)) {
      run.owner = fragment.owner;
      depth = fragment.depth + 1;
    }
  run.depth = depth;
  int32_t first = 0, last = 0;
  for (size_t k = a; k <= b; ++k) {
    const Message& message = diagram.messages[k];
    if (message.from != run.owner || message.line <= 0) continue;
    if (first == 0 || message.line < first) first = message.line;
    last = std::max(last, message.line);
  }
  const std::string dot = charset == text::Charset::Latin1 ? "\xB7" : "\xC2\xB7";
  run.line = first;
  run.construct = "lines " + dot + " L" + std::to_string(first) + (last > first ? "-L" + std::to_string(last) : "");
  return run;
}

std::string partTitle(const Fragment& fragment, const MethodInfo* root, text::Charset charset) {
  const std::string dot = charset == text::Charset::Latin1 ? "\xB7" : "\xC2\xB7";
  std::string title = (fragment.construct.empty() ? fragment.op : fragment.construct) + " " + dot + " L" +
                      std::to_string(fragment.line);
  if (fragment.method && fragment.method != root) title += " in " + methodDisplayName(*fragment.method);
  return title;
}

std::string uniqueTitle(std::string title, const std::vector<DiagramPage>& pages) {
  auto taken = [&](const std::string& name) {
    for (const DiagramPage& page : pages)
      if (page.title == name) return true;
    return false;
  };
  if (!taken(title)) return title;
  for (int n = 2;; ++n)
    if (const std::string numbered = title + " (" + std::to_string(n) + ")"; !taken(numbered)) return numbered;
}

// Pages in the order their ref frames come, depth first from the first:
// the order a reader meets them in the source.
void orderPages(std::vector<DiagramPage>& pages) {
  std::vector<size_t> order, stack{0};
  std::vector<bool> seen(pages.size(), false);
  while (!stack.empty()) {
    const size_t p = stack.back();
    stack.pop_back();
    if (seen[p]) continue;
    seen[p] = true;
    order.push_back(p);
    const std::vector<Fragment>& fragments = pages[p].diagram.fragments;
    for (size_t f = fragments.size(); f-- > 0;)
      if (fragments[f].op == "ref" && !fragments[f].reference && fragments[f].page < pages.size())
        stack.push_back(fragments[f].page);
  }
  for (size_t p = 0; p < pages.size(); ++p)
    if (!seen[p]) order.push_back(p);
  std::vector<size_t> position(pages.size());
  for (size_t i = 0; i < order.size(); ++i) position[order[i]] = i;
  std::vector<DiagramPage> ordered;
  for (const size_t p : order) ordered.push_back(std::move(pages[p]));
  for (DiagramPage& page : ordered)
    for (Fragment& fragment : page.diagram.fragments)
      if (fragment.op == "ref" && !fragment.reference && fragment.page < position.size())
        fragment.page = position[fragment.page];
  pages = std::move(ordered);
}

// Each part's ref frame spans the lifelines of its page that its own
// page still has, its owner's at least.
void spanParts(std::vector<DiagramPage>& pages) {
  for (DiagramPage& page : pages) {
    Diagram& diagram = page.diagram;
    for (const Fragment& fragment : diagram.fragments) {
      if (fragment.op != "ref" || fragment.reference || fragment.page >= pages.size()) continue;
      Message& ref = diagram.messages[fragment.firstMessage()];
      if (ref.kind != Message::Kind::Ref) continue;
      size_t left = fragment.owner, right = fragment.owner;
      for (const Lifeline& used : pages[fragment.page].diagram.lifelines)
        for (size_t l = 0; l < diagram.lifelines.size(); ++l)
          if (diagram.lifelines[l].label == used.label) {
            left = std::min(left, l);
            right = std::max(right, l);
          }
      ref.from = left;
      ref.to = right;
    }
  }
}

std::vector<DiagramPage> fold(Diagram diagram, const PageBudget& budget, text::Charset charset,
                              const MethodInfo* root) {
  std::vector<DiagramPage> pages;
  pages.push_back({std::string(), std::move(diagram)});
  for (size_t p = 0; p < pages.size(); ++p) {
    while (overBudget(pages[p].diagram, budget)) {
      Diagram& diagram = pages[p].diagram;
      const size_t f = foldCandidate(diagram);
      Fragment folded;
      size_t a = 0, b = 0;
      if (f != kNone) {
        folded = diagram.fragments[f];
        a = folded.firstMessage();
        b = folded.lastMessage;
      } else {
        // Statements in a row with no fragment to fold: the longest run
        // of them that holds together goes.
        const auto [from, to] = longestRun(diagram, budget);
        if (from == kNone) break;
        a = from;
        b = to;
        folded = runOf(diagram, a, b, charset);
      }
      const std::string title = uniqueTitle(f != kNone ? partTitle(folded, root, charset) : folded.construct, pages);
      const size_t at = pages.size();
      Diagram part = cutOut(diagram, a, b, folded, title, at);
      pages.push_back({title, std::move(part)});
    }
  }
  orderPages(pages);
  spanParts(pages);
  return pages;
}

}  // namespace

std::vector<DiagramPage> foldDiagram(Diagram diagram, const PageBudget& budget, text::Charset charset) {
  return fold(std::move(diagram), budget, charset, nullptr);
}

std::vector<DiagramPage> buildDiagramPages(SourceIndex& index, const MethodInfo& method, const DiagramOptions& options,
                                           const PageBudget& budget, size_t maxPages) {
  std::vector<DiagramPage> pages = fold(buildDiagram(index, method, options), budget, index.charset(), &method);
  std::unordered_map<const MethodInfo*, size_t> calleePage{{&method, 0}};
  for (size_t p = 0; p < pages.size(); ++p) {
    for (size_t f = 0; f < pages[p].diagram.fragments.size(); ++f) {
      const Fragment& ref = pages[p].diagram.fragments[f];
      if (ref.op != "ref" || !ref.reference) continue;
      const MethodInfo* callee = ref.reference;
      if (const auto known = calleePage.find(callee); known != calleePage.end()) {
        pages[p].diagram.fragments[f].page = known->second;
        continue;
      }
      if (pages.size() >= maxPages) continue;
      DiagramOptions deeper = options;
      deeper.depth = std::max(1, ref.referenceDepth);
      std::vector<DiagramPage> own = fold(buildDiagram(index, *callee, deeper), budget, index.charset(), &method);
      const size_t base = pages.size();
      calleePage[callee] = base;
      pages[p].diagram.fragments[f].page = base;
      own.front().title = methodDisplayName(*callee);
      for (DiagramPage& page : own) {
        for (Fragment& fragment : page.diagram.fragments)
          if (fragment.op == "ref" && !fragment.reference && fragment.page != kNone) fragment.page += base;
        page.title = uniqueTitle(std::move(page.title), pages);
        pages.push_back(std::move(page));
      }
    }
  }
  // A part's frame names its page as the page came to be called.
  for (DiagramPage& page : pages)
    for (Fragment& fragment : page.diagram.fragments)
      if (fragment.op == "ref" && !fragment.reference && fragment.page < pages.size()) {
        fragment.operands.front().guard = pages[fragment.page].title;
        page.diagram.messages[fragment.firstMessage()].text = pages[fragment.page].title;
      }
  return pages;
}

}  // namespace sequence
