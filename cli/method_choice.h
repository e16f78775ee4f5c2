// Picking methods of a file by what a person types: "name",
// "Class.name", "Outer.Inner.name", each optionally with its parameter
// types "(int, String[])" and with ":LINE".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "errors/problem.h"
#include "pipeline/method_signature.h"
#include "pipeline/parsed_source.h"
#include "pipeline/source_summary.h"

namespace cli {

struct MethodChoice {
  std::string name;                 // "static {}" or "{}" picks initialisers ("{init}" either)
  std::vector<std::string> owners;  // the class names written before it, outermost first, without "new "
  std::optional<int32_t> line;      // a line the method starts on or spans
  std::optional<std::vector<std::string>> parameterTypes;  // "(TYPES)" as typed
};

using pipeline::methodLabel;

// The stem of the file a drawing of the method is written to without -o:
// "Class.method", or, when another method of the file has the same name
// (an overload), the stem the batch site gives its page, "Class.method-L12".
std::string defaultOutputStem(const pipeline::ParsedSource& parsed, size_t method);

// "add(String, int) · Inventory · Inventory.java": what a drawing of the
// method is, where, as its page's title and heading say it (UTF-8).
std::string methodPlace(const pipeline::ParsedSource& parsed, size_t method);

// nullopt when the text is not of that form.
std::optional<MethodChoice> parseMethodChoice(const std::string& text);

// The indexes of the summary's methods that fit the choice.  A line picks
// the method starting on it, else the innermost ones spanning it; types
// pick the methods whose parameters have them (a type may be written
// without its package or type arguments, "..." as "[]").
std::vector<size_t> matchingMethods(const pipeline::FileSummary& summary, const MethodChoice& choice);

// The one method of a parsed file that a person's text names; a usage
// problem when the text is not a method name or names none or several,
// which is said on standard error with the candidates: the closest names to a misspelt
// one, the methods of the name when only the line or types are wrong (the
// command name leads the message about a malformed name).
errors::Result<size_t> pickMethod(const pipeline::ParsedSource& parsed, const std::string& text,
                                  std::string_view command);

}  // namespace cli
