// The measures users compare with their other tools, computed from a Java
// parse tree: cyclomatic complexity as checkstyle counts it, cognitive
// complexity as SonarSource defines it, NLOC and Halstead's measures.
//
// Every token and every decision belongs to the innermost method,
// constructor or initialiser block whose declaration holds it.  Lambdas
// and the field initialisers of anonymous and local classes are no
// methods of their own: they count for the method around them (as
// checkstyle counts them).  What stands outside every method (a field
// initialiser of a class, an annotation's argument) belongs to no method
// and counts only for the file's Halstead measures.
//
// Cyclomatic complexity (checkstyle's CyclomaticComplexity, default
// settings): 1 + each `if`, `while`, `do` (its `while` is not counted
// again), `for`, `case` keyword (one for `case A, B ->`), `catch`, `?:`,
// `&&`, `||` and `when`; no `else`, `switch`, `default`, `throw`,
// `finally` or `return`.
//
// Cognitive complexity (G. Ann Campbell, "Cognitive Complexity",
// SonarSource, version 1.5): +1 plus the nesting level for each `if`
// (not an `else if`), `switch`, `for`, `while`, `do`, `catch` and `?:`;
// +1 for each `else if` and `else`; +1 for each run of like operators in
// a sequence of `&&` and `||` (a parenthesised part is a sequence of its
// own); +1 for each `break` or `continue` to a label; +1 for each call of
// the method itself (by its own name, unqualified or on `this`, with as
// many arguments).  The nesting level grows inside the bodies of those
// structures (not inside `try` or `finally`), of `else if` and `else`,
// of lambdas and of classes declared inside a method.
//
// Halstead (M. H. Halstead, "Elements of Software Science", 1977), over
// the tokens of the method's declaration, its signature included:
// - operands: identifiers and literals (numbers, characters, strings,
//   text blocks, `true`, `false`, `null`), and `this` and `super`;
// - operators: every other token, keywords and primitive type names
//   included, each named by its text; a pair of brackets ( ), [ ], { } and
//   the < > of type arguments is one operator, counted at its opening
//   bracket; a cast to a generic type, which the scanner reads as one
//   token, is the operator "(" with the names inside it as operands.
// Length N = all operators + all operands, vocabulary n = distinct
// operators + distinct operands, volume V = N log2 n, difficulty
// D = (distinct operators / 2) (operands / distinct operands), effort
// E = D V.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "frontends/java/syntax/syntax_tree.h"

namespace metrics {

struct Halstead {
  int64_t distinctOperators = 0;
  int64_t distinctOperands = 0;
  int64_t operators = 0;
  int64_t operands = 0;

  int64_t length() const { return operators + operands; }
  int64_t vocabulary() const { return distinctOperators + distinctOperands; }
  double volume() const;
  double difficulty() const;
  double effort() const { return difficulty() * volume(); }
};

// A place where cognitive complexity grows, as SonarSource's tools show
// them: the token that adds, and how much of it is for nesting.
struct CognitiveIncrement {
  int32_t line = 0;
  int32_t column = 0;  // the token's, as the tree gives it (-1 when none)
  std::string token;   // "if", "else", "&&", "?", "break", the method's name
  int64_t value = 0;   // 1 plus the nesting
  int nesting = 0;

  // "+2 (incl 1 for nesting)", or "+1".
  std::string text() const;
};

struct MethodMeasures {
  enum class Kind { Method, Constructor, Initializer };
  Kind kind = Kind::Method;
  std::string name;       // the method's or constructor's name; "#Block#" for an initialiser
  int32_t line = 0;       // the declaration's first line (its modifiers, not annotations before them)
  int32_t nameLine = 0;   // the line of its name (an initialiser: its first line)
  int32_t endLine = 0;
  bool hasBody = false;   // abstract and native methods have none, and no measures
  int64_t nloc = 0;       // lines holding a token, from line to endLine
  int64_t cyclomatic = 0;
  int64_t cognitive = 0;
  // What makes up cognitive, in the order of the source.
  std::vector<CognitiveIncrement> cognitiveIncrements;
  Halstead halstead;
};

struct FileMeasures {
  std::vector<MethodMeasures> methods;  // in the order their declarations start
  Halstead halstead;                    // of every token of the file
};

// Measures every method of a file's syntax tree.  Walks the tree without recursion, so any nesting depth the
// parser accepts is measured.
FileMeasures measureTree(const syntax::Tree& tree);

// The measures of one method, constructor or initialiser declaration of a
// tree, as measureTree gives them, without walking the rest of the file;
// nullopt for a node that is no such declaration.
std::optional<MethodMeasures> measureDeclaration(const syntax::Node& declaration);

}  // namespace metrics
