// Parse trees for tests, written compactly, with the source they stand for.
//
//   MtdDecln(TypeSpec(TName(PrimType(VOID))) MtdDeclr(IDEN:f OPR CPR)
//            MtdBody(Blk(OBR / Stmt(ExprStmt(Expr(Qlid(IDEN:a))) SEMI) / CBR)))
//
// Name(...) is a nonterminal with its children; a bare NAME is a token whose
// text is the usual one for that token (OPR is "(", IF is "if", ...);
// NAME:text or NAME:'text with blanks' gives the text.  The source is laid
// out from the tokens: one blank between tokens, "/" starts a new line,
// "//" leaves a blank line, and so on.  Each token gets the line and the
// 1-based column it has in that source.
#pragma once

#include <string>
#include <string_view>

namespace flowchart::testing {

struct NotatedTree {
  std::string xml;     // the tree's text, as the Java grammar writes it
  std::string source;  // the source lines, each ending in a line feed
};

// Throws std::invalid_argument on a malformed notation.
NotatedTree notate(std::string_view notation, int firstLine = 1);

}  // namespace flowchart::testing
