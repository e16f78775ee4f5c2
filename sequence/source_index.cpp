#include "sequence/source_index.h"

#include "sequence/java_tree.h"

namespace sequence {
namespace {

bool isClassBody(const syntax::Node& node) { return node.is(Kind::TypeDecln) || node.is(Kind::AnonyClass); }

// A declared type with the array pairs written after the name: "int x[]".
std::string withDims(std::string type, const syntax::Node& declarator) {
  for (const syntax::Node child : declarator.children())
    if (child.is(Kind::DIM)) type += "[]";
  return type;
}

// The first IDEN child: the name a declarator or header declares.
std::string declaredName(const syntax::Node& node) { return tokenText(node.child(Kind::IDEN)); }

struct Parameters {
  size_t count = 0;
  bool varargs = false;
};

Parameters parametersOf(const syntax::Node& declarator) {
  Parameters parameters;
  for (const syntax::Node param : declarator.children()) {
    if (!param.is(Kind::Param)) continue;
    ++parameters.count;
    if (param.child(Kind::ELL)) parameters.varargs = true;
  }
  return parameters;
}

// The declarator that names a method: "int f()[]" nests one MtdDeclr per
// trailing array pair round the one holding the name.
syntax::Node namingDeclarator(syntax::Node declarator, std::string& dims) {
  while (declarator && !declarator.child(Kind::IDEN)) {
    dims += "[]";
    declarator = declarator.child(Kind::MtdDeclr);
  }
  return declarator;
}

// A type as written without type arguments, array pairs or "...":
// "java.util.Map.Entry<K, V>[]" gives "java.util.Map.Entry".
std::string erasure(std::string_view type) {
  std::string out;
  int depth = 0;
  for (char c : type) {
    if (c == '<') ++depth;
    if (depth == 0 && c != ' ' && c != '[' && c != ']') out += c;
    if (c == '>' && depth > 0) --depth;
  }
  while (!out.empty() && out.back() == '.') out.pop_back();
  return out;
}

// The types an extends or implements clause names, as written without type
// arguments: those at the clause's own level (not its type arguments:
// "extends Base<Helper>" names Base alone), the parts of a member type of
// a parameterized type joined at their dots ("Outer<T>.Inner" names
// Outer.Inner).
std::vector<std::string> typesNamedBy(const syntax::Node& clause) {
  std::vector<std::string> named;
  int depth = 0;
  bool joins = false;
  for (const syntax::Node part : clause.children()) {
    if (part.is(Kind::LT)) ++depth;
    else if (part.is(Kind::GT)) --depth;
    else if (part.is(Kind::SHRR)) depth -= 3;
    if (depth != 0) continue;
    if (part.is(Kind::DOT)) {
      joins = !named.empty();
    } else if (part.is(Kind::CMA)) {
      joins = false;
    } else if (part.is(Kind::TName) || part.is(Kind::Qlid)) {
      const std::string type = erasure(typeText(part));
      if (joins) named.back() += "." + type;
      else named.push_back(type);
      joins = false;
    }
  }
  return named;
}

std::string lastSegment(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(dot + 1);
}

std::vector<std::string> segments(const std::string& name) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t dot = name.find('.'); dot != std::string::npos; dot = name.find('.', start)) {
    parts.push_back(name.substr(start, dot - start));
    start = dot + 1;
  }
  parts.push_back(name.substr(start));
  return parts;
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
  auto inCharset = [&](std::string text) { return convertText(std::move(text), source.charset, charset_); };
  FileScope& scope = scopes_[&source];
  for (const syntax::Node program : source.tree->root().children())
    for (const syntax::Node statement : program.children()) {
      if (statement.is(Kind::PkgStmt)) scope.package = inCharset(expressionText(statement.child(Kind::Qlid)));
      if (!statement.is(Kind::ImpStmt) || statement.child(Kind::MODULE)) continue;
      Import import;
      import.name = inCharset(expressionText(statement.child(Kind::Qlid)));
      import.onDemand = static_cast<bool>(statement.child(Kind::DOTSTAR));
      import.isStatic = static_cast<bool>(statement.child(Kind::STATIC));
      scope.imports.push_back(std::move(import));
    }
  // Outer classes come before the classes in their bodies, so each finds
  // its outer class indexed.
  source.tree->root().walk([&](const syntax::Node& node) {
    if (isClassBody(node)) indexClass(node, source);
    return syntax::Step::Into;
  });
}

void SourceIndex::indexClass(const syntax::Node& element, const JavaSource& source) {
  auto inCharset = [&](std::string text) { return convertText(std::move(text), source.charset, charset_); };
  ClassInfo& cls = classes_.emplace_back();
  cls.element = element;
  cls.source = &source;
  cls.outer = classHolding(element.parent());
  // The method, constructor or initialiser that declares a local or
  // anonymous class: the innermost one between it and its outer class.
  for (syntax::Node node = element.parent(); node && node.parent(); node = node.parent()) {
    if (byElement_.find(node)) break;
    if (node.is(Kind::MtdDecln)) cls.enclosingMethod = inCharset(declaredName(node.child(Kind::MtdDeclr)));
    else if (node.is(Kind::CtorDecln)) cls.enclosingMethod = inCharset(declaredName(node.child(Kind::CtorDeclr)));
    else if (node.is(Kind::StaticInit)) cls.enclosingMethod = "static {}";
    else if (node.is(Kind::NonStaticInit)) cls.enclosingMethod = "{}";
    if (!cls.enclosingMethod.empty()) break;
  }
  syntax::Node bodyHolder = element;
  if (element.is(Kind::AnonyClass)) {
    cls.anonymous = true;
    const syntax::Node type = element.child(Kind::ClsAllocExpr).child(Kind::TName);
    cls.name = inCharset(simpleTypeName(typeText(type)));
    cls.supertypes.push_back(inCharset(erasure(typeText(type))));
  } else if (const syntax::Node header = element.child(Kind::ClsHeader)) {
    cls.name = inCharset(declaredName(header));
    cls.isInterface = static_cast<bool>(header.child(Kind::INTERFACE));
    for (const syntax::Node part : header.children()) {
      if (part.is(Kind::Modifier) && part.child(Kind::ABSTRACT)) cls.isAbstract = true;
      if (!part.is(Kind::Extends) && !part.is(Kind::Infaces)) continue;
      for (std::string& type : typesNamedBy(part)) cls.supertypes.push_back(inCharset(std::move(type)));
    }
  } else if (const syntax::Node enumeration = element.child(Kind::EnumDecln)) {
    cls.name = inCharset(declaredName(enumeration.child(Kind::EnumHeader)));
    bodyHolder = enumeration;
    // The constants are fields of the enum's own type.
    for (const syntax::Node constant : enumeration.children())
      if (constant.is(Kind::Expr)) {
        const syntax::Node first = constant.firstToken();
        if (first.is(Kind::IDEN)) cls.fields.emplace(inCharset(tokenText(first)), cls.name);
      }
  }

  for (const syntax::Node member : bodyHolder.children()) {
    if (!member.is(Kind::FldDecln)) continue;
    const syntax::Node declaration = member.firstChild();
    if (!declaration) continue;
    if (declaration.is(Kind::FldVarDecln)) {
      const std::string type = inCharset(typeText(declaration.child(Kind::TypeSpec)));
      for (const syntax::Node declarator : declaration.children())
        if (declarator.is(Kind::VarDeclr))
          cls.fields.emplace(inCharset(declaredName(declarator)), withDims(type, declarator));
      continue;
    }
    MethodInfo method;
    method.declaration = declaration;
    method.firstLine = declaration.firstLine();
    if (declaration.is(Kind::MtdDecln)) {
      std::string dims;
      const syntax::Node declarator = namingDeclarator(declaration.child(Kind::MtdDeclr), dims);
      if (!declarator) continue;
      const syntax::Node name = declarator.child(Kind::IDEN);
      method.name = inCharset(tokenText(name));
      method.line = name.firstLine();
      method.returnType = inCharset(typeText(declaration.child(Kind::TypeSpec))) + dims;
      const Parameters parameters = parametersOf(declarator);
      method.parameterCount = parameters.count;
      method.varargs = parameters.varargs;
      method.body = declaration.child(Kind::MtdBody).child(Kind::Blk);
    } else if (declaration.is(Kind::CtorDecln)) {
      const syntax::Node declarator = declaration.child(Kind::CtorDeclr);
      const syntax::Node name = declarator.child(Kind::IDEN);
      method.name = inCharset(tokenText(name));
      method.line = name.firstLine();
      method.isConstructor = true;
      const Parameters parameters = parametersOf(declarator);
      method.parameterCount = parameters.count;
      method.varargs = parameters.varargs;
      method.body = declaration.child(Kind::Blk);
    } else if (declaration.is(Kind::StaticInit) || declaration.is(Kind::NonStaticInit)) {
      method.name = "#Block#";
      method.body = declaration.child(Kind::Blk);
      method.line = (declaration.is(Kind::StaticInit) ? declaration.child(Kind::STATIC) : method.body).firstLine();
    } else {
      continue;
    }
    cls.methods.push_back(std::move(method));
  }
  for (MethodInfo& method : cls.methods) method.owner = &cls;
  byElement_.set(element, &cls);
  if (cls.anonymous) return;
  // A class declared among the members of another, or at the top of its
  // file, has a qualified name; a local class has none.
  if (!cls.outer) {
    const std::string& package = scopes_[&source].package;
    cls.qualifiedName = package.empty() ? cls.name : package + "." + cls.name;
  } else if (element.parent().is(Kind::FldDecln) && !cls.outer->qualifiedName.empty()) {
    cls.qualifiedName = cls.outer->qualifiedName + "." + cls.name;
  }
  if (!cls.qualifiedName.empty()) byQualifiedName_.emplace(cls.qualifiedName, &cls);
  byName_[cls.name].push_back(&cls);
}

void SourceIndex::load(const std::string& simpleName) {
  if (simpleName.empty() || !loader_ || !asked_.insert(simpleName).second) return;
  for (const JavaSource* source : loader_(simpleName)) add(*source);
}

const ClassInfo* SourceIndex::qualified(const std::string& name) {
  auto found = byQualifiedName_.find(name);
  if (found != byQualifiedName_.end()) return found->second;
  // The file is named after the outermost class: try each name in turn,
  // from the last.
  const std::vector<std::string> parts = segments(name);
  for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
    load(*part);
    found = byQualifiedName_.find(name);
    if (found != byQualifiedName_.end()) return found->second;
  }
  return nullptr;
}

const ClassInfo* SourceIndex::member(const ClassInfo& outer, const std::string& name) {
  const auto found = byName_.find(name);
  if (found == byName_.end()) return nullptr;
  for (const ClassInfo* cls : found->second)
    if (cls->outer == &outer) return cls;
  return nullptr;
}

const ClassInfo* SourceIndex::resolveType(std::string_view written, const ClassInfo* context) {
  const std::string name = erasure(written);
  if (name.empty()) return nullptr;
  const std::vector<std::string> parts = segments(name);
  if (parts.size() > 1) {
    // Outer.Inner from where the outer class is known, else a qualified name.
    if (const ClassInfo* outer = resolveType(parts.front(), context)) {
      const ClassInfo* cls = outer;
      for (size_t i = 1; cls && i < parts.size(); ++i) cls = member(*cls, parts[i]);
      if (cls) return cls;
    }
    return qualified(name);
  }
  load(name);
  const auto named = byName_.find(name);
  if (!context) return named != byName_.end() && named->second.size() == 1 ? named->second.front() : nullptr;
  // The class itself, the classes nested in it and those round it.
  for (const ClassInfo* cls = context; cls; cls = cls->outer) {
    if (!cls->anonymous && cls->name == name) return cls;
    if (const ClassInfo* inner = member(*cls, name)) return inner;
  }
  const auto scope = scopes_.find(context->source);
  if (scope == scopes_.end()) return nullptr;
  // A single-type import decides, even for a class the files lack.
  for (const Import& import : scope->second.imports)
    if (!import.onDemand && !import.isStatic && lastSegment(import.name) == name) return qualified(import.name);
  const std::string& package = scope->second.package;
  if (const ClassInfo* own = qualified(package.empty() ? name : package + "." + name)) return own;
  const ClassInfo* found = nullptr;
  std::vector<std::string> places{"java.lang"};
  for (const Import& import : scope->second.imports)
    if (import.onDemand) places.push_back(import.name);
  for (const std::string& place : places) {
    const ClassInfo* candidate = qualified(place + "." + name);
    if (!candidate || candidate == found) continue;
    if (found) {  // two on-demand imports give one each
      if (ambiguousNames_.insert(name).second)
        ambiguities_.push_back(name + " is " + found->qualifiedName + " or " + candidate->qualifiedName);
      return nullptr;
    }
    found = candidate;
  }
  return found;
}

std::string SourceIndex::staticImportOwner(const std::string& member, const ClassInfo* context) const {
  if (!context) return std::string();
  const auto scope = scopes_.find(context->source);
  if (scope == scopes_.end()) return std::string();
  for (const Import& import : scope->second.imports) {
    if (!import.isStatic) continue;
    if (!import.onDemand && lastSegment(import.name) == member)
      return import.name.substr(0, import.name.size() - member.size() - 1);
  }
  // "import static p.Q.*": Q when the files have it and it declares the
  // member, so that nothing is guessed.
  for (const Import& import : scope->second.imports) {
    if (!import.isStatic || !import.onDemand) continue;
    const auto found = byQualifiedName_.find(import.name);
    if (found == byQualifiedName_.end()) continue;
    for (const MethodInfo& method : found->second->methods)
      if (method.name == member) return import.name;
  }
  return std::string();
}

const ClassInfo* SourceIndex::supertype(const ClassInfo& cls, const std::string& written) {
  const ClassInfo* super = resolveType(written, &cls);
  // "class Entry extends Map.Entry": the name means the class outside.
  if (super == &cls) super = cls.outer ? resolveType(written, cls.outer) : nullptr;
  return super == &cls ? nullptr : super;
}

const ClassInfo* SourceIndex::superclass(const ClassInfo& cls) {
  return cls.supertypes.empty() ? nullptr : supertype(cls, cls.supertypes.front());
}

const ClassInfo* SourceIndex::onlyImplementation(const ClassInfo& type) {
  if (!type.isInterface && !type.isAbstract) return nullptr;
  if (subtypeLoader_ && subtypesAsked_.insert(type.qualifiedName + "|" + type.name).second)
    for (const JavaSource* source : subtypeLoader_(type.name)) add(*source);
  // Each class's supertypes, followed up to the type.
  const ClassInfo* only = nullptr;
  // By index: looking up a supertype may add classes.
  for (size_t at = 0; at < classes_.size(); ++at) {
    const ClassInfo& cls = classes_[at];
    if (cls.isInterface || cls.isAbstract || &cls == &type) continue;
    std::vector<const ClassInfo*> pending{&cls};
    std::set<const ClassInfo*> seen;
    bool implements = false;
    for (size_t i = 0; i < pending.size() && !implements && i < 64; ++i) {
      if (!seen.insert(pending[i]).second) continue;
      for (const std::string& written : pending[i]->supertypes) {
        // Only names that can mean the type are looked up.
        if (lastSegment(written) != type.name && !byName_.count(lastSegment(written))) continue;
        const ClassInfo* super = supertype(*pending[i], written);
        if (super == &type) implements = true;
        else if (super) pending.push_back(super);
      }
    }
    if (!implements) continue;
    if (only) return nullptr;
    only = &cls;
  }
  return only;
}

const ClassInfo* SourceIndex::classHolding(const syntax::Node& element) const {
  for (syntax::Node node = element; node && node.parent(); node = node.parent())
    if (const ClassInfo* const* found = byElement_.find(node)) return *found;
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

const MethodInfo* SourceIndex::methodDeclaredBy(const syntax::Node& declaration) const {
  for (const ClassInfo& cls : classes_)
    for (const MethodInfo& method : cls.methods)
      if (method.declaration == declaration) return &method;
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
      if (const ClassInfo* next = supertype(*cls, super)) pending.push_back(next);
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
      if (const ClassInfo* next = supertype(*cls, super)) pending.push_back(next);
  }
  return std::string();
}

}  // namespace sequence
