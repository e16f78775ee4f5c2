#include "sequence/diagram.h"

namespace sequence {

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
                           : method.declaration.is(syntax::Kind::StaticInit) ? "static {}"
                                                                     : "{}";
  return owner.empty() ? name : owner + "." + name;
}

}  // namespace sequence
