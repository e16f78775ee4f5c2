// JSON string literals, for every JSON, SARIF and Code Climate writer.
// JSON is UTF-8, but the names it carries arrive as bytes: file names from
// the file system, and texts of sources in UTF-8 or ISO-8859-1.  One rule
// makes any bytes valid UTF-8: a valid UTF-8 sequence is kept, and every
// byte that is not part of one is read as ISO-8859-1 (the byte 0xE9 of a
// Latin-1 file name "Lat\xE9n.java" becomes "é").  Nothing is lost: each such
// byte becomes a character of its own.
#pragma once

#include <string>
#include <string_view>

namespace text {

// The bytes as valid UTF-8, by the rule above.
std::string validUtf8(std::string_view bytes);

// A JSON string literal, quotes included, of the bytes made valid UTF-8:
// quotes, backslashes and control characters escaped.
std::string jsonString(std::string_view bytes);

}  // namespace text
