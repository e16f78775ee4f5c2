// Readings of an element's text that the metrics collector needs, taken
// from the tree of pieces: each gives exactly what reading the rendered
// text would give, but looks only at the pieces it needs.
#pragma once

#include <string>
#include <string_view>

#include "frontends/tree/piece_tree.h"

namespace java {

// The l value of a token piece.
int tokenLine(const tree::PieceTree& tree, tree::PieceId token);

// The t value of the first IDEN token, trimmed of blanks.
std::string firstName(const tree::PieceTree& tree, tree::PieceList list);

// The t value of the first IDEN token among the element's own children,
// trimmed; the list holds the element.
std::string headerName(const tree::PieceTree& tree, tree::PieceList list);

// The first t value after the first opening tag of the element named
// declarator (MtdDeclr or CtorDeclr), trimmed; empty when there is none.
std::string declaratorName(const tree::PieceTree& tree, tree::PieceList list,
                           std::string_view declarator);

// Every t value followed by one blank, with the outer blanks removed.
std::string signature(const tree::PieceTree& tree, tree::PieceList list);

// From the first TName opening tag on, the t values of the tokens before
// the next OPR or LT token, concatenated; empty without a TName.
std::string allocatedType(const tree::PieceTree& tree, tree::PieceList list);

// Whether "<EnumDecln" starts at a 0-based position of 50 or less.
bool holdsEnumAtStart(const tree::PieceTree& tree, tree::PieceList list);

// The text without leading and trailing blanks.
std::string_view trimBlanks(std::string_view text);

}  // namespace java
