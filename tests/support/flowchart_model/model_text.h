// A strict, lossless text form of a blocks model, for comparing whole
// models with expected files written by hand:
//
//   blocks 0
//     block 0 start 3 3 "f"
//       -> 1
//     block 1 "" 4 4 ""
//       -> -1
//       hint EXIT "RETURN"
//     hint DEPTH "0"
//
// A block line is "block id type sln eln "text"", its first child
// "controlflow" shows as one "-> id" line per successor ("-> id type
// "text"" when the successor has a type or text), a hint as "hint id
// "value"", a container as "blocks id".  Short fields are written bare
// unless empty or holding a blank or quote, then quoted.  Anything that does
// not have exactly the expected attributes in the expected order is written
// in full as <name a="v" ...>, so no difference can hide.  Each level is
// indented by two blanks.
#pragma once

#include <string>

#include "xml/document.h"

namespace flowchart::testing {

std::string modelText(const xml::Node& element);

// The model text of the "blocks" child of the func with that name and start
// line in a results file; "" when there is none.
std::string modelTextInResults(const std::string& resultsPath, const std::string& funcName,
                               const std::string& funcLine);
// The same from the results text.
std::string modelTextInResultsText(const std::string& resultsText, const std::string& funcName,
                                   const std::string& funcLine);

}  // namespace flowchart::testing
