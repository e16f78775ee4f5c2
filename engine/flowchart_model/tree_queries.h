// Line, column and last-token lookups on parse-tree nodes.
//
// Each function gives what its XPath form (named beside it) gives, but walks
// only as far as it must: the first match in document order is found by a
// forward walk from the node, the last by a backward walk from its last
// child, so a lookup costs the length of one edge of the subtree rather
// than the whole subtree.
#pragma once

#include <string>

#include "xml/document.h"

namespace flowchart {

// "descendant-or-self::*[@l]/@l", first match: its text, or "" when none.
std::string firstLineOf(const xml::Node& node);
// "descendant-or-self::*[@l]/@l", last match: its text, or "" when none.
std::string lastLineOf(const xml::Node& node);
// "descendant-or-self::*[@c]/@c", first match: its text, or "" when none.
std::string firstColumnOf(const xml::Node& node);
// "descendant-or-self::*[@l][last()]" (includeSelf) or
// "descendant::*[@l][last()]": the last element with a line, or empty.
xml::Node lastLinedElement(const xml::Node& node, bool includeSelf);
// "//*[@l]", last match, its "@l"; "" when the tree has no line at all.
std::string lastSourceLine(xml::Document& tree);

}  // namespace flowchart
