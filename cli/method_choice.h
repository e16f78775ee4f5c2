// Picking methods of a file by what a person types: "name",
// "Class.name", "Outer.Inner.name", each optionally with ":LINE".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pipeline/parsed_source.h"
#include "pipeline/source_summary.h"

namespace cli {

struct MethodChoice {
  std::string name;                 // "{init}" picks initialisers
  std::vector<std::string> owners;  // the class names written before it, outermost first
  std::optional<int32_t> line;      // a line the method starts on or spans
};

// nullopt when the text is not of that form.
std::optional<MethodChoice> parseMethodChoice(const std::string& text);

// The indexes of the summary's methods that fit the choice.  A line picks
// the method starting on it, else the innermost ones spanning it.
std::vector<size_t> matchingMethods(const pipeline::FileSummary& summary, const MethodChoice& choice);

// The one method of a parsed file that a person's text names; nullopt when
// the text is not a method name or names none or several, which is said
// on standard error with the candidates (the command name leads the
// message about a malformed name).
std::optional<size_t> pickMethod(const pipeline::ParsedSource& parsed, const std::string& text,
                                 std::string_view command);

}  // namespace cli
