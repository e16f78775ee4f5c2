// Builds the model of one method written in tree notation, in a temporary
// working folder, for the builder's unit tests.
#pragma once

#include <string>
#include <string_view>

namespace flowchart::testing {

// Statement notations for the common cases.
std::string call(std::string_view name);                 // name ( ) ;
std::string condition(std::string_view notation);        // Expr(...)
std::string name(std::string_view identifier);           // Expr(Qlid(IDEN:identifier))
std::string block(std::string_view statements);          // Stmt(Blk(OBR ... CBR))

struct BuiltModel {
  int result = -1;
  std::string model;          // model text of f's "blocks" ("" when none)
  std::string resultsBefore;  // results.xml bytes before and after
  std::string resultsAfter;
};

// The method is "void f ( ) {" on line 2 of class A (line 1); body is the
// notation of its statements, starting on line 2 unless it begins with "/".
// Cross-checking is on.  commentLines is the content of "preprocessor".
BuiltModel buildMethod(std::string_view body, std::string_view commentLines = "");

// The same for a whole tree: the notation of the class body members after
// "class A {" on line 1, the func entry's name, start and end lines.
BuiltModel buildMember(std::string_view members, std::string_view funcName, int funcLine, int funcEnd,
                       std::string_view commentLines = "");

}  // namespace flowchart::testing
