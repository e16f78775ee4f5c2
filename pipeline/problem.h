// How the pipeline reports what went wrong: a message and, where it has
// one, the source line it concerns.  Callers print "FILE:LINE: message".
#pragma once

#include <cstdint>
#include <string>

namespace pipeline {

struct Problem {
  enum class Kind {
    None,
    Unreadable,  // the input is missing, a folder, binary or cannot be read
    Syntax,      // the source does not parse
    Failed,      // a later step failed (model, layout, drawing, output)
    NoBody,      // an abstract, interface or native method: nothing to draw
    Resource,    // the machine ran short (disk space, memory, a work folder
                 // that cannot be written): not the input's fault, and a
                 // later run may succeed
  };
  Kind kind = Kind::None;
  int32_t line = 0;  // 0 when no line applies
  std::string message;

  void set(Kind what, std::string text, int32_t at = 0) {
    kind = what;
    message = std::move(text);
    line = at;
  }
};

}  // namespace pipeline
