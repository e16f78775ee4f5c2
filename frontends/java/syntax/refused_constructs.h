// Constructs javac refuses as syntax errors that the grammar, which is
// kept close to the Java 5 grammar so that old sources keep their trees,
// accepts: found in the tree after the parse, for the modern language
// levels (level 0 reads exactly what the Java 5 grammar reads).  No valid
// program has any of them, so refusing them changes no valid program's
// tree.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "frontends/java/syntax/syntax_tree.h"

namespace java {

struct RefusedConstruct {
  int32_t line = 0;
  std::string message;  // what is wrong, for "FILE:LINE: does not parse as Java: ..."
};

// The first refused construct of a syntax tree in document order, if any:
// an expression that is no statement (`i;`), empty type arguments outside
// `new` (`class X<> {}`), two commas in an array initialiser
// (`{1, , 2}`), an array creation with neither a size nor an initialiser
// (`new int[]`), a call of what is no method (`foo(a)()`), a catch
// without a parameter name (`catch (e)`), a cast to what is no type
// (`(a / 2) 1`), and `> >` as a shift.
std::optional<RefusedConstruct> findRefusedConstruct(const syntax::Tree& tree);

}  // namespace java
