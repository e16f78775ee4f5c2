// DOT string literals for the graphs written in the DOT language, and
// texts as Graphviz holds them once read.
#pragma once

#include <string>
#include <string_view>

namespace text {

// A DOT string literal: the text in double quotes, its quotes escaped.
std::string dotQuoted(std::string_view text);

// Values as Graphviz holds them: a text it shows as it is (a label, its
// backslashes escaped), and a text it only stores.  A value ending in a
// backslash gets a space, so that written in quotes it never escapes the
// closing one.
std::string shownValue(std::string_view text);
std::string storedValue(std::string_view text);
// A held value in double quotes, its quotes escaped.
std::string quotedValue(std::string_view value);

}  // namespace text
