// Reading the Java parse tree: child elements, tokens, and an
// expression's text rebuilt from its tokens.  An empty node has no
// children, no tokens and no text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "xml/document.h"
#include "text/box_text.h"

namespace sequence {

// The element children of a node, in order.
xml::NodeList childElements(const xml::Node& node);
// The first child element of that name, or an empty node.
xml::Node childNamed(const xml::Node& node, std::string_view name);

// A token is an element with a text attribute "t".
bool isToken(const xml::Node& node);
// A token's text as the source has it; "" for anything else.
std::string tokenText(const xml::Node& node);
// The line of the first token at or below the node; 0 when none.
int32_t firstLine(const xml::Node& node);

// The tokens at or below a node, in source order.
std::vector<xml::Node> tokensOf(const xml::Node& node);

// The text of a node's tokens, joined as a person writes Java: a blank
// between words, after commas and round binary and assignment operators,
// none inside names, calls, generics and around dots.  The bodies of
// anonymous classes and lambdas inside it show as "..." and "{...}".
std::string expressionText(const xml::Node& node);

// A text of a file in one encoding, in another: the parse tree keeps a
// file's bytes, and a diagram's texts from several files share one.
std::string convertText(std::string text, text::Charset from, text::Charset to);

// A key that tells elements apart within their document.
inline const void* elementKey(const xml::Node& node) { return node.raw().internal_object(); }

}  // namespace sequence
