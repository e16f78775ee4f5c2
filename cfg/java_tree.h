// Reading the Java parse tree for the control-flow graph: element
// children, tokens, and a construct's text rebuilt from its tokens.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

namespace cfg {

using Element = pugi::xml_node;

// A token is an element with a text attribute "t".
inline bool isToken(Element e) { return static_cast<bool>(e.attribute("t")); }
inline bool named(Element e, std::string_view name) { return e && name == e.name(); }
// The first child element of that name, or an empty element.
Element childNamed(Element e, std::string_view name);
std::vector<Element> children(Element e);

// A token's text as the source has it (its bytes, not pugixml's UTF-8).
std::string tokenText(Element token);
inline int32_t tokenLine(Element token) { return token.attribute("l").as_int(); }

// The first and last token at or below an element; empty when none.
Element firstToken(Element e);
Element lastToken(Element e);
// The line of the first token; 0 when there is none.
int32_t firstLine(Element e);
int32_t lastLine(Element e);

// The tokens at or below a range of sibling elements [from, to], in
// source order.
std::vector<Element> tokensBetween(Element from, Element to);

// The tokens' text, spaced as the source spaces them (a run of blanks or
// a line break becomes one blank).  The block of each element listed in
// `abridged` shows as "{...}".
std::string joinedText(const std::vector<Element>& tokens);
std::string elementText(Element e);
std::string rangeText(Element from, Element to);
// The text with the bodies of the given switch expressions shown as "{...}".
std::string textWithAbridged(Element from, Element to, const std::vector<Element>& abridged);

// Finds the elements of the given name at or below e, outermost first,
// not looking inside lambdas, anonymous classes and local classes (which
// have flows of their own), nor inside a found element.
std::vector<Element> findOutermost(Element e, std::string_view name);

}  // namespace cfg
