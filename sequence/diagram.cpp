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
  std::string bindKey;             // the variable that holds it, if any
};

struct Variable {
  std::string type;
  std::optional<ObjectRef> alias;  // a parameter bound to what the caller passed
};

// One method being walked: whose object it runs on and what it declares.
struct Activation {
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

bool isNestedBody(const std::string& name) {
  return name == "AnonyClass" || name == "TypeDecln" || name.rfind("Lambda", 0) == 0;
}

bool startsUpper(const std::string& text) {
  return !text.empty() && std::isupper(static_cast<unsigned char>(text.front()));
}

std::string withoutThis(std::string text) {
  if (text.rfind("this.", 0) == 0) text.erase(0, 5);
  return text;
}

std::vector<xml::Node> expressionChildren(const xml::Node& node) {
  std::vector<xml::Node> found;
  for (const xml::Node& child : childElements(node))
    if (child.name() == "Expr") found.push_back(child);
  return found;
}

// The names of a qualified name, without its dots: "this.a.b" gives
// "this", "a", "b".
std::vector<std::string> qualifiedParts(const xml::Node& qlid) {
  std::vector<std::string> parts;
  for (const xml::Node& token : tokensOf(qlid))
    if (token.name() != "DOT") parts.push_back(tokenText(token));
  return parts;
}

ValueUse valueUse(const xml::Node& expression) {
  const xml::Node parent = expression.parent();
  if (parent.name() != "Expr") return {};
  const xml::NodeList children = childElements(parent);
  size_t at = 0;
  while (at < children.size() && children[at] != expression) ++at;
  if (children.size() == 1) {
    const xml::Node holder = parent.parent();
    const std::string holderName = holder.name();
    if (holderName == "ExprStmt") return {ValueUse::Kind::Unused, {}};
    if (holderName == "VarInit" && holder.parent().name() == "VarDeclr")
      return {ValueUse::Kind::Assigned, tokenText(childNamed(holder.parent(), "IDEN"))};
    return {};
  }
  // "target = value" or "a = target = value": the assigned name stands
  // alone between the assignment before it (or the start) and this one.
  if (at + 1 == children.size() && at >= 2 && children[at - 1].name() == "AsstOp") {
    size_t start = at - 2;
    if (start == 0 || children[start - 1].name() == "AsstOp")
      return {ValueUse::Kind::Assigned, expressionText(children[start])};
  }
  return {};
}

class DiagramBuilder {
 public:
  DiagramBuilder(SourceIndex& index, const DiagramOptions& options) : index_(index), options_(options) {}

  Diagram build(const MethodInfo& method) {
    Activation root;
    root.method = &method;
    root.cls = method.owner;
    root.self = addLifeline(":" + method.owner->name, kNone);
    lifelineClasses_[root.self] = method.owner;
    // Static calls of its own class, from wherever, are the object's own.
    byLabel_.emplace(diagram_.lifelines[root.self].label, root.self);
    root.id = nextActivation_++;
    declareParameters(root, xml::Node(), nullptr);
    stack_.push_back(&method);
    walk(root);
    stack_.pop_back();

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
  std::string convert(std::string text, const Activation& a) const {
    const JavaSource* source = a.cls ? a.cls->source : nullptr;
    return source ? convertText(std::move(text), source->charset, index_.charset()) : text;
  }
  std::string text(const xml::Node& node, const Activation& a) const {
    return convert(expressionText(node), a);
  }
  std::string token(const xml::Node& node, const Activation& a) const { return convert(tokenText(node), a); }
  std::vector<std::string> nameParts(const xml::Node& qlid, const Activation& a) const {
    std::vector<std::string> parts = qualifiedParts(qlid);
    for (std::string& part : parts) part = convert(std::move(part), a);
    return parts;
  }
  std::string argumentsText(const xml::Node& call, const Activation& a) const {
    std::string out;
    for (const xml::Node& argument : expressionChildren(call)) {
      if (!out.empty()) out += ", ";
      out += text(argument, a);
    }
    return out;
  }

  // ---- lifelines and messages

  size_t addLifeline(const std::string& label, size_t createdBy) {
    diagram_.lifelines.push_back(Lifeline{label, createdBy});
    lifelineTypes_.emplace_back();
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
    const std::string& type = ref.type.empty() && lifeline != kNone ? lifelineTypes_[lifeline] : ref.type;
    return type.empty() ? nullptr : index_.classNamed(simpleTypeName(type));
  }

  // ---- names to objects

  ObjectRef selfRef(const Activation& a) const {
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

  bool isOwnClassName(const Activation& a, const std::string& name) const {
    for (const ClassInfo* cls = a.cls; cls; cls = cls->outer)
      if (!cls->anonymous && cls->name == name) return true;
    return false;
  }

  std::string variableKey(const Activation& a, const std::string& name) const {
    return "a" + std::to_string(a.id) + "." + name;
  }
  std::string fieldKey(const Activation& a, const std::string& name) const {
    return "f" + std::to_string(a.self) + "." + name;
  }

  // The key of the variable or field an assignment names, if it is one.
  std::string assignedKey(const Activation& a, const std::string& target) {
    const std::string name = withoutThis(target);
    if (name.find_first_of(".[(") != std::string::npos) return std::string();
    if (target == name && a.variables.count(name)) return variableKey(a, name);
    if (!fieldType(a.cls, name).empty() || target != name) return fieldKey(a, name);
    return std::string();
  }

  // A name such as "order", "this.ledger", "Pricing", "java.util.Arrays"
  // or "config.DEFAULTS".
  ObjectRef resolveName(const std::vector<std::string>& parts, const Activation& a, const std::string& text) {
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
      } else {
        current.label = first + ":" + variable->second.type;
        current.type = variable->second.type;
        current.bindKey = variableKey(a, first);
      }
    } else if (std::string type = fieldType(a.cls, first); !type.empty()) {
      path = first;
      current.label = first + ":" + type;
      current.type = type;
      current.bindKey = fieldKey(a, first);
    } else {
      // A class name, perhaps after its package: the first part that
      // starts with a capital or names a class of the sources.
      size_t typeEnd = 0;
      while (typeEnd < parts.size() && !startsUpper(parts[typeEnd]) && !index_.classNamed(parts[typeEnd]))
        ++typeEnd;
      if (typeEnd == parts.size()) return textRef(text);
      std::string typeText;
      for (size_t i = 0; i <= typeEnd; ++i) typeText += (i ? "." : "") + parts[i];
      if (isOwnClassName(a, parts[typeEnd])) {
        current = selfRef(a);
      } else {
        current.label = ":" + typeText;
        current.type = typeText;
        path = typeText;
      }
      next = typeEnd + 1;
    }
    for (size_t i = next; i < parts.size(); ++i) {
      if (parts[i] == "this") {  // Outer.this
        current = selfRef(a);
        path.clear();
        continue;
      }
      const ClassInfo* cls = classOf(current);
      const std::string type = cls ? index_.fieldType(*cls, parts[i]) : std::string();
      if (type.empty()) return textRef(text);
      const std::string holderKey = current.lifeline != kNone ? "f" + std::to_string(current.lifeline)
                                    : current.bindKey.empty() ? current.label
                                                              : current.bindKey;
      path = path.empty() ? parts[i] : path + "." + parts[i];
      current = ObjectRef();
      current.label = path + ":" + type;
      current.type = type;
      current.bindKey = holderKey + "." + parts[i];
    }
    return current;
  }

  // The object an expression before ".method(...)" stands for.
  ObjectRef resolveExpression(const std::vector<xml::Node>& receiver, const Activation& a) {
    std::vector<xml::Node> elements;
    for (const xml::Node& node : receiver)
      if (!isToken(node)) elements.push_back(node);
    std::string whole;
    for (const xml::Node& node : receiver) whole += text(node, a);
    // "(expression)": what the expression inside stands for.
    if (elements.size() == 1 && receiver.size() == 3 && elements[0].name() == "Expr") {
      const xml::NodeList inner = childElements(elements[0]);
      if (inner.size() == 1) return resolveExpression({inner[0]}, a);
      // "((Type) value)": the value as that type.  (The grammar reads the
      // type in parentheses as an expression.)
      if (inner.size() == 4 && inner[0].name() == "OPR" && inner[2].name() == "CPR" &&
          (inner[1].name() == "ClsTypeExpr" || inner[1].name() == "Expr")) {
        ObjectRef ref;
        ref.type = text(inner[1], a);
        ref.label = text(inner[3], a) + ":" + ref.type;
        return ref;
      }
      return textRef(whole);
    }
    if (elements.size() != 1 || receiver.size() != 1) return textRef(whole);
    const xml::Node& node = elements[0];
    const std::string name = node.name();
    if (name == "Qlid") return resolveName(nameParts(node, a), a, whole);
    if (name == "SplName") return selfRef(a);
    if (name == "MtdCall" || name == "NewAllocExpr") {
      xml::Node key = node;
      if (name == "NewAllocExpr") {
        const xml::Node anonymous = childNamed(node, "AnonyClass");
        key = childNamed(anonymous ? anonymous : node, "ClsAllocExpr");
      }
      const auto result = key ? results_.find(elementKey(key)) : results_.end();
      return result != results_.end() ? result->second : textRef(whole);
    }
    if (name == "FldAcc") {
      // A field of an object: known when its class declares it.
      const xml::NodeList parts = childElements(node);
      if (parts.size() >= 3 && parts.back().name() == "IDEN") {
        const ClassInfo* cls = classOf(resolveExpression({parts.begin(), parts.end() - 2}, a));
        const std::string field = token(parts.back(), a);
        const std::string type = cls ? index_.fieldType(*cls, field) : std::string();
        if (!type.empty()) {
          ObjectRef ref;
          ref.label = whole + ":" + type;
          ref.type = type;
          return ref;
        }
      }
    }
    return textRef(whole);
  }

  // ---- the walk

  void declare(Activation& a, const std::string& name, const std::string& type) {
    if (name.empty()) return;
    a.variables[name] = Variable{type, std::nullopt};
    bindings_.erase(variableKey(a, name));
  }

  void declareFrom(Activation& a, const xml::Node& node) {
    const std::string name = node.name();
    if (name == "LocVarDecln") {
      const std::string type = text(childNamed(node, "TypeSpec"), a);
      for (const xml::Node& declarator : childElements(node))
        if (declarator.name() == "VarDeclr") {
          std::string declared = type;
          for (const xml::Node& part : childElements(declarator))
            if (part.name() == "DIM") declared += "[]";
          declare(a, token(childNamed(declarator, "IDEN"), a), declared);
        }
    } else if (name == "for_each_var" || name == "CatchHeader" || name == "Param") {
      declare(a, token(childNamed(node, "IDEN"), a), text(childNamed(node, "TypeSpec"), a));
    }
  }

  // The method's own parameters; those the caller passed a known object
  // for stand for that object.
  void declareParameters(Activation& a, const xml::Node& call, const Activation* caller) {
    const xml::Node declaration = a.method->declaration;
    xml::Node declarator = childNamed(declaration, a.method->isConstructor ? "CtorDeclr" : "MtdDeclr");
    while (declarator && !childNamed(declarator, "IDEN")) declarator = childNamed(declarator, "MtdDeclr");
    if (!declarator) return;
    const std::vector<xml::Node> arguments = call ? expressionChildren(call) : std::vector<xml::Node>();
    size_t position = 0;
    for (const xml::Node& param : childElements(declarator)) {
      if (param.name() != "Param") continue;
      declareFrom(a, param);
      if (caller && position < arguments.size()) {
        const xml::NodeList value = childElements(arguments[position]);
        if (value.size() == 1 && !isToken(value[0])) {
          ObjectRef passed = resolveExpression({value[0]}, *caller);
          if (passed.lifeline == kNone && !passed.bindKey.empty()) {
            const auto bound = bindings_.find(passed.bindKey);
            if (bound != bindings_.end()) passed.lifeline = bound->second;
          }
          a.variables[token(childNamed(param, "IDEN"), a)].alias = passed;
        }
      }
      ++position;
    }
  }

  void walk(Activation& a) {
    if (!a.method->body) return;
    struct Frame {
      xml::Node node;
      xml::NodeList children;
      size_t next = 0;
    };
    std::vector<Frame> frames;
    frames.push_back(Frame{a.method->body, childElements(a.method->body), 0});
    while (!frames.empty()) {
      Frame& top = frames.back();
      if (top.next < top.children.size()) {
        const xml::Node child = top.children[top.next++];
        if (isToken(child)) continue;
        const std::string name = child.name();
        declareFrom(a, child);
        if (isNestedBody(name)) ++nested_;
        frames.push_back(Frame{child, childElements(child), 0});
        continue;
      }
      const xml::Node done = top.node;
      frames.pop_back();
      const std::string name = done.name();
      if (name == "MtdCall") onCall(done, a);
      else if (name == "ClsAllocExpr") onCreation(done, a);
      else if (isNestedBody(name)) --nested_;
    }
  }

  void noteNested(const Activation& a, size_t nestedAbove) {
    if (nested_ <= nestedAbove) return;
    const std::string holder = methodDisplayName(*a.method);
    if (std::find(nestedHolders_.begin(), nestedHolders_.end(), holder) == nestedHolders_.end())
      nestedHolders_.push_back(holder);
  }

  // Walks the callee's body under the receiver's lifeline when the depth
  // allows and it is not already being walked.
  void follow(const MethodInfo* callee, size_t self, const xml::Node& call, const std::string& callText,
              Activation& caller) {
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
    Activation next;
    next.method = callee;
    next.cls = callee->owner;
    next.self = self;
    next.id = nextActivation_++;
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

  void onCall(const xml::Node& call, Activation& a) {
    if (full()) {
      ++leftOut_;
      return;
    }
    const xml::NodeList parts = childElements(call);
    const xml::NodeList access = parts.empty() ? xml::NodeList() : childElements(parts.front());
    if (access.empty()) return;
    const xml::Node& head = access.front();
    const std::string headName = head.name();
    const size_t arguments = expressionChildren(call).size();
    const int32_t line = firstLine(call);

    std::string name, prefix;
    ObjectRef receiver = selfRef(a);
    bool constructorCall = false;
    if (headName == "SplName") {
      // super(...) or this(...): a constructor of this object.
      name = text(head, a);
      constructorCall = true;
    } else if (headName == "Qlid") {
      std::vector<std::string> names = nameParts(head, a);
      name = names.back();
      names.pop_back();
      if (!names.empty()) {
        std::string receiverText;
        for (size_t i = 0; i < names.size(); ++i) receiverText += (i ? "." : "") + names[i];
        receiver = resolveName(names, a, receiverText);
        if (names.size() == 1 && names[0] == "super") prefix = "super.";
      }
    } else if (headName == "FldAcc") {
      const xml::NodeList chain = childElements(head);
      if (chain.size() < 3) return;
      name = token(chain.back(), a);
      receiver = resolveExpression({chain.begin(), chain.end() - 2}, a);
    } else {
      name = text(head, a);
    }
    const std::string callText = prefix + name + "(" + argumentsText(call, a) + ")";
    const size_t target = constructorCall ? a.self : lifelineFor(receiver);
    addMessage(target == a.self ? Message::Kind::SelfCall : Message::Kind::Call, a.self, target, callText,
               line);
    noteNested(a, 0);

    // The method called, when its source is known.
    const MethodInfo* callee = nullptr;
    if (constructorCall) {
      const ClassInfo* calleeClass = a.cls;
      if (name == "super" && a.cls && !a.cls->supertypes.empty())
        calleeClass = index_.classNamed(a.cls->supertypes[0]);
      if (calleeClass) callee = index_.findMethod(*calleeClass, calleeClass->name, arguments);
    } else if (target == a.self && receiver.lifeline == a.self) {
      const bool viaSuper = prefix == "super." && a.cls && !a.cls->supertypes.empty();
      for (const ClassInfo* cls = viaSuper ? index_.classNamed(a.cls->supertypes[0]) : a.cls; cls && !callee;
           cls = viaSuper ? nullptr : cls->outer)
        callee = index_.findMethod(*cls, name, arguments);
    } else if (const ClassInfo* cls = classOf(receiver, target)) {
      callee = index_.findMethod(*cls, name, arguments);
    }
    follow(callee, target, call, callText, a);

    const ValueUse use = valueUse(call);
    if (use.kind == ValueUse::Kind::Assigned) {
      const std::string key = assignedKey(a, convert(use.target, a));
      if (!key.empty()) bindings_.erase(key);
    }
    if (use.kind != ValueUse::Kind::Unused && target != a.self && !full())
      addMessage(Message::Kind::Return, target, a.self,
                 use.kind == ValueUse::Kind::Assigned ? convert(withoutThis(use.target), a) : callText, line);

    // What the call gives, for a call made on it.
    ObjectRef result;
    if (callee && !callee->returnType.empty()) {
      result.type = callee->returnType;
      result.label = ":" + result.type;
    } else {
      result = textRef(text(call, a));
    }
    results_[elementKey(call)] = result;
  }

  void onCreation(const xml::Node& allocation, Activation& a) {
    if (full()) {
      ++leftOut_;
      return;
    }
    // "new Type<Args>(...)": the type is what stands between "new" and "(".
    const std::string written = text(allocation, a);
    const size_t open = written.find('(');
    std::string type = written.substr(0, open);
    if (type.rfind("new ", 0) == 0) type.erase(0, 4);
    const xml::Node holder =
        allocation.parent().name() == "AnonyClass" ? allocation.parent().parent() : allocation.parent();
    const ValueUse use = holder.name() == "NewAllocExpr" ? valueUse(holder) : ValueUse{};
    const std::string name =
        use.kind == ValueUse::Kind::Assigned ? convert(withoutThis(use.target), a) : std::string();
    const size_t created = addLifeline(name + ":" + type, diagram_.messages.size());
    lifelineTypes_[created] = type;
    const ClassInfo* cls = index_.classNamed(simpleTypeName(type));
    if (allocation.parent().name() == "AnonyClass") {
      if (const ClassInfo* anonymous = index_.classHolding(childNamed(allocation.parent(), "OBR")))
        cls = anonymous;
    }
    if (cls) lifelineClasses_[created] = cls;
    if (use.kind == ValueUse::Kind::Assigned) {
      const std::string key = assignedKey(a, convert(use.target, a));
      if (!key.empty()) bindings_[key] = created;
    }
    const int32_t line = firstLine(allocation);
    const std::string callText = "new " + type + "(" + argumentsText(allocation, a) + ")";
    addMessage(Message::Kind::Create, a.self, created, callText, line);
    // The creation of an anonymous object belongs to the method; the
    // calls in its body do not.
    noteNested(a, allocation.parent().name() == "AnonyClass" ? 1 : 0);

    ObjectRef result;
    result.lifeline = created;
    result.type = type;
    result.cls = cls;
    results_[elementKey(allocation)] = result;

    // The constructor's calls, made on the new object.
    const ClassInfo* constructed = index_.classNamed(simpleTypeName(type));
    if (constructed)
      follow(index_.findMethod(*constructed, constructed->name, expressionChildren(allocation).size()),
             created, allocation, callText, a);
  }

  SourceIndex& index_;
  const DiagramOptions& options_;
  Diagram diagram_;
  std::vector<std::string> lifelineTypes_;
  std::unordered_map<size_t, const ClassInfo*> lifelineClasses_;
  std::unordered_map<std::string, size_t> byLabel_;
  std::unordered_map<std::string, size_t> bindings_;
  std::unordered_map<const void*, ObjectRef> results_;
  std::vector<const MethodInfo*> stack_;
  std::vector<std::string> nestedHolders_;
  std::vector<std::string> recursive_;
  size_t nested_ = 0;
  size_t nextActivation_ = 0;
  size_t leftOut_ = 0;
};

}  // namespace

std::string methodDisplayName(const MethodInfo& method) {
  std::string owner;
  for (const ClassInfo* cls = method.owner; cls; cls = cls->outer)
    owner = (cls->anonymous ? "new " + cls->name : cls->name) + (owner.empty() ? "" : "." + owner);
  const std::string name = method.name == "#Block#" ? "{init}" : method.name;
  return owner.empty() ? name : owner + "." + name;
}

Diagram buildDiagram(SourceIndex& index, const MethodInfo& method, const DiagramOptions& options) {
  DiagramBuilder builder(index, options);
  return builder.build(method);
}

}  // namespace sequence
