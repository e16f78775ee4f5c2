#include "pipeline/method_flow.h"

#include <set>

#include "cfg/builder.h"

namespace pipeline {
namespace {

// The superclasses of a class the sources declare, as the catch clauses
// of the method see its name: nearest first, up to the first class the
// sources lack (a class of the platform, or of a library).
std::optional<std::vector<std::string>> declaredSuperclasses(SequenceSources& classes, const syntax::Node& declaration,
                                                             const std::string& name) {
  sequence::SourceIndex& index = classes.index();
  const sequence::ClassInfo* cls = index.resolveType(name, index.classHolding(declaration));
  if (!cls || cls->isInterface) return std::nullopt;
  std::vector<std::string> chain;
  std::set<const sequence::ClassInfo*> seen{cls};
  while (true) {
    if (cls->supertypes.empty()) {
      chain.emplace_back("Object");
      break;
    }
    const sequence::ClassInfo* up = index.superclass(*cls);
    if (!up || !seen.insert(up).second) {
      chain.push_back(sequence::simpleTypeName(cls->supertypes.front()));
      break;
    }
    chain.push_back(up->name);
    cls = up;
  }
  return chain;
}

}  // namespace

errors::Result<cfg::MethodFlow> methodFlow(ParsedSource& source, const MethodSummary& method,
                                           SequenceSources* classes) {
  const syntax::Node declaration = source.declarationOf(method);
  if (!declaration)
    return errors::Problem(errors::Problem::Kind::Failed, "cannot find " + shownName(method) + " in the parse tree", method.line);
  // The file's classes are indexed only when a thrown type is no class of
  // the platform's that the graph knows.
  std::optional<SequenceSources> fileAlone;
  const cfg::DeclaredSuperclasses program = [&](const std::string& name) {
    if (!classes) classes = &fileAlone.emplace(source, std::string());
    return declaredSuperclasses(*classes, declaration, name);
  };
  errors::Result<cfg::MethodFlow> flow = cfg::buildMethodFlow(declaration, program);
  if (!flow) {
    errors::Problem problem = std::move(flow).problem();
    problem.line = method.line;
    return problem;
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
