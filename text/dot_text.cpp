#include "text/dot_text.h"

#include "text/dot_graph.h"

namespace text {

std::string dotQuoted(std::string_view text) { return quotedValue(storedValue(text)); }

std::string dotShownText(std::string_view text) { return quotedValue(shownValue(text)); }

}  // namespace text
