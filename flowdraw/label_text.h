// The text a flowchart box shows: wrapped over several lines, shortened
// only when it is long, and then in the middle, so that the end of a
// condition and a for header's update stay in sight.  The box's hover
// text keeps it whole.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace flowdraw {

struct TextLimits {
  size_t wrapColumns = 44;     // characters on a line before it wraps
  size_t longStatement = 180;  // a statement longer than this is shortened
  size_t maxLines = 12;        // lines in one box; the rest is counted
};

// The lines of a box for a text whose statements are separated by '\n'.
// utf8: the text is UTF-8 and a character of several bytes counts once
// (and is never cut); else each byte is a character.
std::vector<std::string> boxLines(std::string_view text, bool utf8, const TextLimits& limits = {});

// The text with its middle replaced by " ... " so that it has at most
// about `limit` characters: the first three fifths and the last two.
std::string shortenedInMiddle(std::string_view text, size_t limit, bool utf8);

// Characters of the text (UTF-8 characters when utf8).
size_t characterCount(std::string_view text, bool utf8);

// Where a box's source lies, as its hover text begins: "L12", "L12–L14";
// empty for no line.
std::string lineSpan(int32_t first, int32_t last, bool utf8);

}  // namespace flowdraw
