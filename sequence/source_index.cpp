#include "sequence/source_index.h"

#include "sequence/java_tree.h"

namespace sequence {
namespace {

bool isClassBody(const std::string& name) { return name == "TypeDecln" || name == "AnonyClass"; }

// A declared type with the array pairs written after the name: "int x[]".
std::string withDims(std::string type, const xml::Node& declarator) {
  for (const xml::Node& child : childElements(declarator))
    if (child.name() == "DIM") type += "[]";
  return type;
}

// The first IDEN child: the name a declarator or header declares.
std::string declaredName(const xml::Node& node) { return tokenText(childNamed(node, "IDEN")); }

struct Parameters {
  size_t count = 0;
  bool varargs = false;
};

Parameters parametersOf(const xml::Node& declarator) {
  Parameters parameters;
  for (const xml::Node& param : childElements(declarator)) {
    if (param.name() != "Param") continue;
    ++parameters.count;
    if (childNamed(param, "ELL")) parameters.varargs = true;
  }
  return parameters;
}

// The declarator that names a method: "int f()[]" nests one MtdDeclr per
// trailing array pair round the one holding the name.
xml::Node namingDeclarator(xml::Node declarator, std::string& dims) {
  while (declarator && !childNamed(declarator, "IDEN")) {
    dims += "[]";
    declarator = childNamed(declarator, "MtdDeclr");
  }
  return declarator;
}

}  // namespace

std::string simpleTypeName(std::string_view type) {
  // A generic method's type parameters come first: "<T> T".
  if (!type.empty() && type.front() == '<') {
    int depth = 0;
    size_t i = 0;
    for (; i < type.size(); ++i) {
      if (type[i] == '<') ++depth;
      if (type[i] == '>' && --depth == 0) break;
    }
    type.remove_prefix(std::min(type.size(), i + 1));
  }
  while (!type.empty() && type.front() == ' ') type.remove_prefix(1);
  type = type.substr(0, type.find_first_of("<[ "));
  while (!type.empty() && type.back() == '.') type.remove_suffix(1);  // "String..."
  const size_t dot = type.rfind('.');
  if (dot != std::string_view::npos) type.remove_prefix(dot + 1);
  return std::string(type);
}

void SourceIndex::add(const JavaSource& source) {
  // Outer classes come before the classes in their bodies, so each finds
  // its outer class indexed.
  std::vector<xml::Node> pending{source.tree->root()};
  while (!pending.empty()) {
    const xml::Node current = pending.back();
    pending.pop_back();
    if (isToken(current)) continue;
    if (isClassBody(current.name())) indexClass(current, source);
    const xml::NodeList children = childElements(current);
    for (auto it = children.rbegin(); it != children.rend(); ++it) pending.push_back(*it);
  }
}

void SourceIndex::indexClass(const xml::Node& element, const JavaSource& source) {
  auto inCharset = [&](std::string text) { return convertText(std::move(text), source.charset, charset_); };
  ClassInfo& cls = classes_.emplace_back();
  cls.element = element;
  cls.source = &source;
  cls.outer = classHolding(element.parent());
  xml::Node bodyHolder = element;
  if (element.name() == "AnonyClass") {
    cls.anonymous = true;
    const xml::Node type = childNamed(childNamed(element, "ClsAllocExpr"), "TName");
    cls.name = inCharset(simpleTypeName(expressionText(type)));
    cls.supertypes.push_back(cls.name);
  } else if (const xml::Node header = childNamed(element, "ClsHeader")) {
    cls.name = inCharset(declaredName(header));
    for (const xml::Node& part : childElements(header)) {
      if (part.name() != "Extends" && part.name() != "Infaces") continue;
      for (const xml::Node& type : childElements(part))
        if (type.name() == "TName" || type.name() == "Qlid")
          cls.supertypes.push_back(inCharset(simpleTypeName(expressionText(type))));
    }
  } else if (const xml::Node enumeration = childNamed(element, "EnumDecln")) {
    cls.name = inCharset(declaredName(childNamed(enumeration, "EnumHeader")));
    bodyHolder = enumeration;
    // The constants are fields of the enum's own type.
    for (const xml::Node& constant : childElements(enumeration))
      if (constant.name() == "Expr") {
        const xml::NodeList tokens = tokensOf(constant);
        if (!tokens.empty() && tokens.front().name() == "IDEN")
          cls.fields.emplace(inCharset(tokenText(tokens.front())), cls.name);
      }
  }

  for (const xml::Node& member : childElements(bodyHolder)) {
    if (member.name() != "FldDecln") continue;
    const xml::NodeList parts = childElements(member);
    if (parts.empty()) continue;
    const xml::Node declaration = parts.front();
    const std::string kind = declaration.name();
    if (kind == "FldVarDecln") {
      const std::string type = inCharset(expressionText(childNamed(declaration, "TypeSpec")));
      for (const xml::Node& declarator : childElements(declaration))
        if (declarator.name() == "VarDeclr")
          cls.fields.emplace(inCharset(declaredName(declarator)), withDims(type, declarator));
      continue;
    }
    MethodInfo method;
    method.declaration = declaration;
    method.firstLine = firstLine(declaration);
    if (kind == "MtdDecln") {
      std::string dims;
      const xml::Node declarator = namingDeclarator(childNamed(declaration, "MtdDeclr"), dims);
      if (!declarator) continue;
      const xml::Node name = childNamed(declarator, "IDEN");
      method.name = inCharset(tokenText(name));
      method.line = firstLine(name);
      method.returnType = inCharset(expressionText(childNamed(declaration, "TypeSpec"))) + dims;
      const Parameters parameters = parametersOf(declarator);
      method.parameterCount = parameters.count;
      method.varargs = parameters.varargs;
      method.body = childNamed(childNamed(declaration, "MtdBody"), "Blk");
    } else if (kind == "CtorDecln") {
      const xml::Node declarator = childNamed(declaration, "CtorDeclr");
      const xml::Node name = childNamed(declarator, "IDEN");
      method.name = inCharset(tokenText(name));
      method.line = firstLine(name);
      method.isConstructor = true;
      const Parameters parameters = parametersOf(declarator);
      method.parameterCount = parameters.count;
      method.varargs = parameters.varargs;
      method.body = childNamed(declaration, "Blk");
    } else if (kind == "StaticInit" || kind == "NonStaticInit") {
      method.name = "#Block#";
      method.body = childNamed(declaration, "Blk");
      method.line = firstLine(kind == "StaticInit" ? childNamed(declaration, "STATIC") : method.body);
    } else {
      continue;
    }
    cls.methods.push_back(std::move(method));
  }
  for (MethodInfo& method : cls.methods) method.owner = &cls;
  byElement_[elementKey(element)] = &cls;
  if (!cls.anonymous) byName_[cls.name].push_back(&cls);
}

const ClassInfo* SourceIndex::classNamed(const std::string& simpleName) {
  if (simpleName.empty()) return nullptr;
  auto found = byName_.find(simpleName);
  if (found == byName_.end() && loader_ && asked_.insert(simpleName).second) {
    for (const JavaSource* source : loader_(simpleName)) add(*source);
    found = byName_.find(simpleName);
  }
  return found == byName_.end() ? nullptr : found->second.front();
}

const ClassInfo* SourceIndex::classHolding(const xml::Node& element) const {
  for (xml::Node node = element; node && !node.parent().isNull(); node = node.parent()) {
    const auto found = byElement_.find(elementKey(node));
    if (found != byElement_.end()) return found->second;
  }
  return nullptr;
}

const MethodInfo* SourceIndex::methodAt(const JavaSource& source, const std::string& name,
                                        int32_t line) const {
  for (const ClassInfo& cls : classes_) {
    if (cls.source != &source) continue;
    for (const MethodInfo& method : cls.methods)
      if (method.name == name && method.firstLine <= line && line <= method.line) return &method;
  }
  return nullptr;
}

const MethodInfo* SourceIndex::findMethod(const ClassInfo& start, const std::string& name, size_t arguments) {
  // Breadth first through the supertypes, each class once.
  std::vector<const ClassInfo*> pending{&start};
  std::set<const ClassInfo*> seen;
  for (size_t i = 0; i < pending.size(); ++i) {
    const ClassInfo* cls = pending[i];
    if (!seen.insert(cls).second) continue;
    const MethodInfo* varargsFit = nullptr;
    for (const MethodInfo& method : cls->methods) {
      if (method.name != name || method.name == "#Block#") continue;
      if (method.parameterCount == arguments) return &method;
      if (method.varargs && arguments + 1 >= method.parameterCount && !varargsFit) varargsFit = &method;
    }
    if (varargsFit) return varargsFit;
    for (const std::string& super : cls->supertypes)
      if (const ClassInfo* next = classNamed(super)) pending.push_back(next);
  }
  return nullptr;
}

std::string SourceIndex::fieldType(const ClassInfo& start, const std::string& name) {
  std::vector<const ClassInfo*> pending{&start};
  std::set<const ClassInfo*> seen;
  for (size_t i = 0; i < pending.size(); ++i) {
    const ClassInfo* cls = pending[i];
    if (!seen.insert(cls).second) continue;
    const auto found = cls->fields.find(name);
    if (found != cls->fields.end()) return found->second;
    for (const std::string& super : cls->supertypes)
      if (const ClassInfo* next = classNamed(super)) pending.push_back(next);
  }
  return std::string();
}

}  // namespace sequence
