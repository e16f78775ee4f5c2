// What the Java grammar's actions work on: the tree of pieces being
// built, the scanner feeding it and the metrics collector it drives.
#pragma once

#include <deque>
#include <initializer_list>
#include <string>
#include <string_view>

#include "frontends/java/metrics.h"
#include "frontends/java/scanner.h"
#include "frontends/tree/piece_tree.h"

namespace java {

// The value of a grammar symbol: its run of pieces and the first and last
// token inside it (the first and last l attributes of its text).
struct Symbol {
  tree::PieceList list;
  tree::PieceId first = tree::kNoPiece;
  tree::PieceId last = tree::kNoPiece;
};

// The reductions the metrics collector follows the file's structure by.
enum class Hook {
  EnumHeader,
  EnumDecln,
  ClsHeader,
  TypeDecln,
  MethodHeader,     // _mtddeclr
  MtdDecln,
  CtorHeader,       // _ctordeclr
  CtorDecln,
  AnonymousHeader,  // _anonyclass
  AnonyClass,
  StaticInit,
  NonStaticInit,
  Program,
  RecHeader,    // opens a record (modern levels)
  EnumCstBody,  // closes the class body of an enum constant
};

// The grammar's name of a token kind ("ABSTRACT" ... "CARET").
std::string_view tokenName(int kind);

class ParseContext {
 public:
  ParseContext(Scanner& scanner, LexerState& lexer, Metrics& metrics)
      : scanner_(scanner), lexer_(lexer), metrics_(metrics) {}

  // Reads the next token and makes its leaf; 0 at the end of the input.
  // At modern levels the token filter first decides what the contextual
  // words are (contextual_words.cpp).
  int nextToken(Symbol& value);
  // The line a failed parse reports: that of the token the parser failed
  // at, even when the filter has read beyond it.
  int errorLine() const { return ahead_.empty() ? lexer_.line : handedLine_; }

  // A nonterminal that is an element of the tree.
  Symbol element(std::string_view name, std::initializer_list<Symbol> children) {
    Symbol inner = join(children);
    inner.list = tree_.element(name, inner.list);
    return inner;
  }
  // A transparent nonterminal: its children, one after the other.
  Symbol join(std::initializer_list<Symbol> children) {
    Symbol result;
    for (const Symbol& child : children) {
      result.list = tree_.join(result.list, child.list);
      if (result.first == tree::kNoPiece) result.first = child.first;
      if (child.last != tree::kNoPiece) result.last = child.last;
    }
    return result;
  }

  void structure(Hook hook, const Symbol& symbol);
  void op(std::string_view name) { metrics_.countOperator(name); }
  void decision() { metrics_.countDecision(); }

  // For the rules of the modern grammar (modern.y).
  // Whether the language level has what Java release brought.
  bool since(int release) const { return lexer_.level >= release; }
  // TypeSpec(TName(name) typeArguments): a type read as a name first.
  Symbol typeOfName(const Symbol& name, const Symbol& typeArguments) {
    return element("TypeSpec", {element("TName", {name}), typeArguments});
  }
  // Lambda parameters read as expressions: each Expr must be a plain name;
  // names gets the IDEN tokens with the CMA tokens between them.
  bool lambdaNames(const Symbol& expressions, Symbol& names);
  // Each piece of the list wrapped in an element of its own.
  Symbol wrapEach(std::string_view name, const Symbol& pieces);
  // Whether a TypeSpec is a primitive type without brackets.
  bool isPrimitive(const Symbol& typeSpec) const;
  // Whether a cast to these types (a TypeSpec, or several joined by AMP)
  // may not take an operand that starts with a sign, (T) -x: any but a
  // primitive type (int, int[]), whatever its annotations.
  bool castsToReference(const Symbol& types) const;
  // Whether the symbol's first token is + - ++ or --.
  bool startsWithSign(const Symbol& symbol) const;
  // Whether the symbol is the single token "_".
  bool isUnderscore(const Symbol& symbol) const;
  // The class body of an enum constant opens (constant: its Expr).
  void openEnumConstantBody(const Symbol& constant);

  const tree::PieceTree& tree() const { return tree_; }
  // The value of Program, once it has been reduced.
  const Symbol& program() const { return program_; }
  bool reducedProgram() const { return reducedProgram_; }
  // Frees the tree once it has been written; program() is empty after it.
  void releaseTree() {
    tree_.clear();
    program_ = Symbol{};
  }
  const LexerState& lexer() const { return lexer_; }

 private:
  // A token the filter has read ahead of the parser.
  struct Scanned {
    int kind = 0;
    std::string text;
    int line = 0;
    int column = 0;
  };
  int nextModernToken(Symbol& value);
  const Scanned& peek(size_t n);
  int classifyWord(const Scanned& word);
  bool opensTypedLambdaParameters();
  bool opensMarkedTypeArguments();
  void followStructure(int kind);
  // type_marks.cpp
  size_t afterAnnotation(size_t n);
  size_t afterAnnotations(size_t n, bool& found);
  size_t afterTypeArguments(size_t n, int depth, bool& annotated);
  bool opensMarkedCast();
  bool opensConstructorTypeArguments();
  int classifyAnnotation();
  bool startsTypeAnnotation() const;
  bool referencesMethodOfType(size_t n);
  void followTypeLists(int kind);

  Scanner& scanner_;
  LexerState& lexer_;
  Metrics& metrics_;
  tree::PieceTree tree_;
  Symbol program_;
  bool reducedProgram_ = false;

  // Token filter state (modern levels).
  std::deque<Scanned> ahead_;
  int handedLine_ = 0;    // line of the token handed to the parser last
  int lastKind_ = 0;      // its kind
  int beforeName_ = 0;    // the kind before the name (IDEN DOT IDEN ...) handed out last
  int braceDepth_ = 0;
  bool inCaseLabel_ = false;
  int caseParens_ = 0;
  int moduleDepth_ = -1;  // brace depth of a module declaration's body, -1 outside
  int directive_ = 0;     // the directive word of the module directive being read
  bool headerOpen_ = false;  // between class (interface, enum, record) and its body
  int headerDepth_ = 0;      // type argument lists open since then
  bool typeList_ = false;    // in the types of extends, implements or throws
  int typeListDepth_ = 0;    // type argument lists open since the list began
};

// Runs the grammar on the scanner's tokens: 0 accepted, 1 syntax error,
// 2 parser stack exhausted.  parseTokens is the Java 5 grammar,
// parseModernTokens the modern one; parseAtLevel picks by the lexer's level.
int parseTokens(ParseContext& context);
int parseModernTokens(ParseContext& context);
// The most entries either parser's stack grows to.
int parseTokensStackLimit();
int parseModernTokensStackLimit();
int parseAtLevel(ParseContext& context);

}  // namespace java
