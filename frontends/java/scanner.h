// The Java scanner: hands out one token at a time and, on the side, keeps
// the line and column, records comment lines and reports operators,
// operands and decision points to the metrics collector.
#pragma once

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "frontends/java/language_level.h"

namespace java {

class CommentRecorder;
class Metrics;

// What the scanner rules read and change besides the token text.
struct LexerState {
  int line = 1;                   // raised for every line feed in a match, before its action
  int column = 1;                 // position after the last token; see the column rules
  bool enumKeyword = false;       // enum is a keyword (Java 5 source) or an identifier
  int level = 0;                  // 0: the Java 5 grammar; else a modern level (language_level.h)
  int previousToken = 0;          // kind of the token the grammar received last
  int strayZeroByteLine = 0;      // line of the first zero byte outside a literal or comment
  CommentRecorder* comments = nullptr;
  Metrics* metrics = nullptr;
  // Scanning text whose Unicode escapes were translated: the offsets of
  // the line feeds escapes stand for (unicode_escapes.h).  They end line
  // comments, but not lines: the line stays that of the file as written,
  // and the column runs on.  Null for text as it was written.
  const std::vector<uint32_t>* escapedLineBreaks = nullptr;
  bool matchedEscapedLineBreak = false;  // the last match held one
};

// A fatal scanner error (the generator's own messages, such as a failed
// read).  The parse operation prints the message and ends with exit code 2.
class ScannerFatal : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Scanner {
 public:
  // Reads the open file as raw bytes; the caller keeps it open and closes it.
  Scanner(std::FILE* input, LexerState& state);
  // Scans a copy of the bytes (for tests and fuzzing).
  Scanner(std::string_view bytes, LexerState& state);
  ~Scanner();
  Scanner(const Scanner&) = delete;
  Scanner& operator=(const Scanner&) = delete;

  // The next token kind, 0 at the end of the input.
  int next();
  // The bytes of the token next() returned last.
  std::string_view text() const;

 private:
  void* scanner_ = nullptr;
};

}  // namespace java
