// Builds the control-flow graph of a method from its syntax tree.
#pragma once

#include "cfg/exception_types.h"
#include "cfg/graph.h"
#include "errors/problem.h"
#include "frontends/java/syntax/syntax_tree.h"

namespace cfg {

// declaration: a MtdDecln, CtorDecln, StaticInit or NonStaticInit node of
// the Java syntax tree.  The graph's texts are the source's bytes, as the
// tree holds them.  A NoBody problem when the declaration has no body
// (abstract, interface and native methods) or is not a declaration.
// program: the superclasses of the exception classes the program declares
// itself, which decide the catch clauses their exceptions reach.
errors::Result<MethodFlow> buildMethodFlow(const syntax::Node& declaration, const DeclaredSuperclasses& program = {});

// True when the declaration has a body to draw.
bool hasBody(const syntax::Node& declaration);

}  // namespace cfg
