#include "pipeline/method_flow.h"

#include "cfg/builder.h"
#include "cfg/java_tree.h"

namespace pipeline {
namespace {

// The declared name's token: the IDEN of the method's or constructor's
// declarator; an initialiser's first token.
pugi::xml_node nameToken(const pugi::xml_node& declaration) {
  const std::string_view kind = declaration.name();
  if (kind == "MtdDecln" || kind == "CtorDecln") {
    const pugi::xml_node declarator = cfg::childNamed(declaration, kind == "MtdDecln" ? "MtdDeclr" : "CtorDeclr");
    return declarator ? cfg::childNamed(declarator, "IDEN") : pugi::xml_node();
  }
  return cfg::firstToken(declaration);
}

}  // namespace

xml::Node findDeclaration(ParsedSource& source, const MethodSummary& method) {
  const xml::Node root = source.tree().root();
  if (method.isInitializer()) {
    return root.firstElementNamed("StaticInit", "NonStaticInit", [&](const xml::Node& e) {
      return cfg::firstLine(e.raw()) == method.line;
    });
  }
  const int32_t line = source.nameLine(method);
  return root.firstElementNamed("MtdDecln", "CtorDecln", [&](const xml::Node& e) {
    const pugi::xml_node token = nameToken(e.raw());
    return token && cfg::tokenLine(token) == line && cfg::tokenText(token) == method.name;
  });
}

std::optional<cfg::MethodFlow> methodFlow(ParsedSource& source, const MethodSummary& method, Problem& problem) {
  const xml::Node declaration = findDeclaration(source, method);
  if (!declaration) {
    problem.set(Problem::Kind::Failed, "cannot find " + method.name + " in the parse tree", method.line);
    return std::nullopt;
  }
  if (!cfg::hasBody(declaration)) {
    problem.set(Problem::Kind::NoBody, "no body", method.line);
    return std::nullopt;
  }
  std::string error;
  std::optional<cfg::MethodFlow> flow = cfg::buildMethodFlow(declaration, &error);
  if (!flow) {
    problem.set(Problem::Kind::Failed, error, method.line);
    return std::nullopt;
  }
  const ClassSummary& cls = source.summary().classes[method.classIndex];
  flow->file = source.sourcePath();
  flow->className = cls.name;
  flow->method = method.isInitializer() ? flow->graphs.front().title : method.name;
  return flow;
}

}  // namespace pipeline
