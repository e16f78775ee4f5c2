// Text for people and tools: names turned into UTF-8 for terminals and
// HTML, escaped for HTML, and made safe for file names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/box_text.h"

namespace text {

// Source text in the source's encoding, as UTF-8.
std::string utf8Text(std::string_view text, text::Charset charset);

// Text escaped for HTML content and attribute values: the command's one
// HTML escape, for its pages, reports and the flowcharts' legend.  (The
// drawing host keeps its own XML escape, which the engine's drawing files
// are written with byte for byte.)
std::string htmlEscaped(std::string_view text);
// A number, or the empty text for none.
std::string numberText(const std::optional<int64_t>& value);

// A file name made from a UTF-8 name: letters, digits, '.', '-' and '_'
// kept (and non-ASCII letters), anything else '_'.
std::string fileSafeName(std::string_view utf8);

// The pieces of a text between separators, empty pieces kept.
std::vector<std::string_view> splitText(std::string_view text, char separator);

// "1 class", "2 classes", "3 methods".
std::string counted(size_t count, const std::string& noun);

bool endsWith(std::string_view text, std::string_view end);
// Whether a file name ends in the extension (".dot"), in any case.
bool hasExtension(std::string_view path, std::string_view extension);

// A file name as a terminal or a log is shown it: as it is, or, when it
// holds a control character (a line break, ESC, DEL, a C1 control, or a
// byte that is no UTF-8 and would be one read as ISO-8859-1), in double
// quotes with C escapes, as git quotes names: "a\nb.java", "\033[31m.java".
// Within the quotes '"' and '\' are escaped too, and every byte that is
// not part of valid UTF-8 is written in octal.
std::string quotedName(std::string_view bytes);

// "FILE:LINE: message" or "FILE: message", the file quoted as quotedName does.
std::string located(std::string_view file, int32_t line, std::string_view message);
// "FILE:LINE:COLUMN: message", as compilers point at a place, the file quoted alike.
std::string located(std::string_view file, int32_t line, int32_t column, std::string_view message);

}  // namespace text
