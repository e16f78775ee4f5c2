// The DOT front end: parses a layout written in the DOT language into the
// same kind of parse-tree XML as the Java front end writes, so that the
// drawing operations can read it with XPath.
#pragma once

#include <string>

namespace dot {

inline constexpr const char* kParseSuccess = "<ParseSuccess/>";

// Parses the DOT file at dotPath.  On success writes the tree to outPath
// (declaration line, the graph element, one more line feed), writes
// "<ParseSuccess/>" to statusPath and returns 0.  On a syntax error or a
// stack overflow writes "<ParseError line="N"/>" with the line of the token
// where the parse stopped and returns 1, leaving outPath as it was.  A DOT
// file that cannot be read (or is not a regular file) or a status file that
// cannot be written gives 1 with nothing written.  Both files are replaced only when complete.
int parseDotFile(const std::string& dotPath, const std::string& outPath,
                 const std::string& statusPath);

// The same parse, saying why it gave no tree: the layout does not parse,
// cannot be read, or the tree or status file cannot be written (a full
// or read-only work folder).
enum class DotParse { Parsed, NotParsed, CannotRead, CannotWrite };
DotParse parseDotFileOutcome(const std::string& dotPath, const std::string& outPath,
                             const std::string& statusPath);

}  // namespace dot
