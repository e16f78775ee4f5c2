// JSON for every report and file the command writes, through one library
// (nlohmann::json).  JSON is UTF-8, but the names it carries arrive as
// bytes: file names from the file system, and texts of sources in UTF-8 or
// ISO-8859-1.  One rule makes any bytes valid UTF-8: a valid UTF-8 sequence
// is kept, and every byte that is not part of one is read as ISO-8859-1
// (the byte 0xE9 of a Latin-1 file name "Lat\xE9n.java" becomes "é").
// Nothing is lost: each such byte becomes a character of its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace text {

// Members keep the order they were added in, as the reports document it.
using Json = nlohmann::ordered_json;

// The bytes as valid UTF-8, by the rule above.
std::string validUtf8(std::string_view bytes);
// The length of the valid UTF-8 sequence starting at bytes[at] (its lead
// byte above 0x7F), or 0 when there is none: overlong forms, surrogates
// and code points past U+10FFFF are refused, as strict decoders refuse them.
size_t utf8SequenceLength(std::string_view bytes, size_t at);

// A JSON string of the bytes made valid UTF-8.
Json jsonText(std::string_view bytes);
// A number, or null for none.
Json jsonNumber(const std::optional<int64_t>& value);
// A number rounded to two decimals (null when it is not finite), written
// as the shortest decimal that reads back as it: 12.5, not 12.50.
Json jsonDecimal(double value);

// The JSON on one line, without spaces.  Quotes, backslashes and control
// characters are escaped (\b, \f, \n, \r, \t and \u00XX for the others);
// other characters are written as they are.
std::string jsonLine(const Json& json);

}  // namespace text
