// What the Java grammar's actions work on: the tree of pieces being
// built, the scanner feeding it and the metrics collector it drives.
#pragma once

#include <initializer_list>
#include <string_view>

#include "frontends/java/metrics.h"
#include "frontends/java/scanner.h"
#include "frontends/tree/piece_tree.h"

namespace java {

// The value of a grammar symbol: its run of pieces and the first and last
// token inside it (the first and last l attributes of its text).
struct Symbol {
  parsetree::PieceList list;
  parsetree::PieceId first = parsetree::kNoPiece;
  parsetree::PieceId last = parsetree::kNoPiece;
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
};

// The grammar's name of a token kind ("ABSTRACT" ... "CARET").
std::string_view tokenName(int kind);

class ParseContext {
 public:
  ParseContext(Scanner& scanner, LexerState& lexer, Metrics& metrics)
      : scanner_(scanner), lexer_(lexer), metrics_(metrics) {}

  // Reads the next token and makes its leaf; 0 at the end of the input.
  int nextToken(Symbol& value);

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
      if (result.first == parsetree::kNoPiece) result.first = child.first;
      if (child.last != parsetree::kNoPiece) result.last = child.last;
    }
    return result;
  }

  void structure(Hook hook, const Symbol& symbol);
  void op(std::string_view name) { metrics_.countOperator(name); }
  void decision() { metrics_.countDecision(); }

  const parsetree::PieceTree& tree() const { return tree_; }
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
  Scanner& scanner_;
  LexerState& lexer_;
  Metrics& metrics_;
  parsetree::PieceTree tree_;
  Symbol program_;
  bool reducedProgram_ = false;
};

// Runs the grammar on the scanner's tokens: 0 accepted, 1 syntax error,
// 2 parser stack exhausted.
int parseTokens(ParseContext& context);

}  // namespace java
