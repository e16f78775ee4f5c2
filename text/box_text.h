// Texts in a source's charset: telling UTF-8 from ISO-8859-1, and
// shortening lines and boxes without cutting a character.
#pragma once

#include <string>
#include <string_view>
#include <vector>


namespace text {

enum class Charset { Utf8, Latin1 };

// The first columns of a line; cut lines end in "...".  Columns count
// characters, so a UTF-8 text is never cut inside a character.
std::string shortened(std::string_view line, size_t columns, Charset charset);
// Label lines from full lines: at most maxLines, the last of them saying
// how many more there are.
std::vector<std::string> labelLines(const std::vector<std::string>& lines, size_t maxLines,
                                    size_t columns, Charset charset);

// Valid UTF-8 with at least one byte above 0x7F gives Utf8 only when the
// text holds no byte sequence UTF-8 refuses; anything else is ISO-8859-1.
Charset charsetOf(std::string_view sourceBytes);

}  // namespace text
