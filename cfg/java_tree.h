// Reading the Java syntax tree for the control-flow graph: a construct's
// text rebuilt from its tokens, and the constructs of a flow.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "frontends/java/syntax/syntax_tree.h"

namespace cfg {

using Element = syntax::Node;
using syntax::Kind;

inline bool named(const Element& e, Kind kind) { return e.is(kind); }
inline Element childNamed(const Element& e, Kind kind) { return e.child(kind); }
std::vector<Element> children(const Element& e);

// A token's text as the tree file shows it (line breaks and tabs as
// blanks), in the source's bytes.
inline std::string tokenText(const Element& token) { return syntax::blankedText(token); }
inline int32_t tokenLine(const Element& token) { return token.line(); }

inline Element firstToken(const Element& e) { return e.firstToken(); }
inline Element lastToken(const Element& e) { return e.lastToken(); }
// The line of the first and last token; 0 when there is none.
inline int32_t firstLine(const Element& e) { return e.firstLine(); }
inline int32_t lastLine(const Element& e) { return e.lastLine(); }

// The tokens at or below a range of sibling elements [from, to], in
// source order.
std::vector<Element> tokensBetween(const Element& from, const Element& to);

// The tokens' text, spaced as the source spaces them (a run of blanks or
// a line break becomes one blank).
std::string joinedText(const std::vector<Element>& tokens);
std::string elementText(const Element& e);
// The text without the annotations in it: a method's header as its
// graph names it, "convert(Object value, Class<T> type)".
std::string textWithoutAnnotations(const Element& e);
std::string rangeText(const Element& from, const Element& to);
// The text with the bodies of the given switch expressions shown as "{...}".
std::string textWithAbridged(const Element& from, const Element& to, const std::vector<Element>& abridged);

// Finds the elements of the kind at or below e, outermost first, not
// looking inside lambdas, anonymous classes and local classes (which have
// flows of their own), nor inside a found element.
std::vector<Element> findOutermost(const Element& e, Kind kind);

}  // namespace cfg
