#include "pipeline/method_flow.h"

#include "cfg/builder.h"
#include "cfg/java_tree.h"

namespace pipeline {
std::optional<cfg::MethodFlow> methodFlow(ParsedSource& source, const MethodSummary& method, Problem& problem) {
  const xml::Node declaration = source.declarationOf(method);
  if (!declaration) {
    problem.set(Problem::Kind::Failed, "cannot find " + shownName(method) + " in the parse tree", method.line);
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
  // As the other commands name it: the class with those round it, and
  // "static {}" or "{}" for an initialiser.
  flow->className = cls.qualifiedName;
  flow->method = shownName(method);
  return flow;
}

}  // namespace pipeline
