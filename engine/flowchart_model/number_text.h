// Number and literal conversions with the rules the model's files use.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace flowchart {

// The leading-number reading of decimal text: blanks skipped, an optional
// sign, digits up to the first non-digit; 0 when there are none.  Values
// beyond the 32-bit range saturate instead of overflowing.
int32_t leadingInt(std::string_view text);

// The value XPath gives a string in a numeric comparison: optional white
// space, an optional minus, digits with an optional fraction, optional
// white space; anything else is NaN.
double xpathNumber(std::string_view text);

// True when the string compares equal to the integer in an XPath test such
// as [@id=5].
bool xpathEqualsInt(std::string_view text, int32_t value);

// A string literal for an XPath expression that stands for exactly the
// given text, whatever quotes it holds: "text", 'text', or a concat() of
// both kinds when it holds both.
std::string xpathLiteral(std::string_view text);

}  // namespace flowchart
