// DOT string literals for the graphs written in the DOT language.
#pragma once

#include <string>
#include <string_view>

namespace text {

// A DOT string literal: the text in double quotes, its quotes escaped.
std::string dotQuoted(std::string_view text);
// A DOT string literal for a text Graphviz shows (a label): its quotes and
// backslashes escaped, so that the text shows as it is.
std::string dotShownText(std::string_view text);

}  // namespace text
