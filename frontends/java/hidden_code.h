// The Unicode escapes that hide code: where javac reads a comment's or a
// literal's end, a line break, a token, a blank or a keyword that the file
// as written shows as an escape, so that what a reader takes for a comment
// or a string is compiled, or the other way round ("// \u000a x = g();",
// "/* \u002a\u002f x = g(); /* */", "\u0022 + g() + \u0022").
//
// An escape inside a literal that stays that literal ("caf\u00e9",
// '\u0041', 1\u0030), inside a comment that stays that comment, or inside
// a name (int \u0061bc()) hides nothing.  A keyword written with an escape
// (\u0069f) does: it reads as a name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frontends/java/unicode_escapes.h"

namespace java {

// A run of escapes, side by side, that does one such thing.
struct HiddenCode {
  int32_t line = 0;       // of its first character, in the file as written
  int32_t column = 0;     // 1-based, in characters
  int32_t endColumn = 0;  // just after its last one
  int32_t escapes = 0;    // how many escapes it holds
  std::string written;    // as the file has it: "\u002a\u002f"; for a keyword, the whole word
  std::string reading;    // what javac reads there: "'*/'", "a line break", "the keyword 'if'"
  std::string effect;     // ", which ends a comment: what follows is code"

  // "Unicode escapes \u002a\u002f are '*/', which ends a comment: what
  // follows is code"
  std::string message() const;
};

// The hiding escapes of a translated source (from the file as written,
// source), in order.
std::vector<HiddenCode> findHiddenCode(std::string_view source, const TranslatedSource& translated);

}  // namespace java
