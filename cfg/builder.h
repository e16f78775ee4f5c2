// Builds the control-flow graph of a method from its parse tree.
#pragma once

#include <optional>
#include <string>

#include "cfg/exception_types.h"
#include "cfg/graph.h"
#include "xml/document.h"

namespace cfg {

// declaration: a MtdDecln, CtorDecln, StaticInit or NonStaticInit element
// of the Java parse tree.  The graph's texts are the source's bytes, as
// the tree holds them.  nullopt with a message when the declaration has no
// body (abstract, interface and native methods) or is not a declaration.
// program: the superclasses of the exception classes the program declares
// itself, which decide the catch clauses their exceptions reach.
std::optional<MethodFlow> buildMethodFlow(const xml::Node& declaration, std::string* error,
                                          const DeclaredSuperclasses& program = {});

// True when the declaration has a body to draw.
bool hasBody(const xml::Node& declaration);

}  // namespace cfg
