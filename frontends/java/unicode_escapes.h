// Unicode escapes (\u0041) read as javac reads them: translated before
// anything else, everywhere in the file, comments included.  A backslash
// begins an escape only after an even run of backslashes ("\\u0041" is
// not one), any number of u's may follow it ("\uuu0041" is one), then
// exactly four hexadecimal digits; anything else after "\u" is an error.
//
// Lines stay those of the file as written: javac numbers its lines by the
// line breaks it reads, not by the ones escapes stand for, and so does the
// scanner, which is handed where those stand (escapedLineBreaks).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace java {

// One escape, or a pair of them that makes one character above U+FFFF.
struct UnicodeEscape {
  uint32_t rawOffset = 0;  // its backslash, in the file as written
  uint32_t rawLength = 0;  // the backslash, the u's and the digits
  uint32_t offset = 0;     // where it stands in the translated text
  uint32_t length = 0;     // its bytes there
  char32_t character = 0;  // what it stands for
  // Left as written (its bytes in the text are its own): a character no
  // text shows (a control character, a lone surrogate) or, in an
  // ISO-8859-1 file, one that charset does not have (see EscapeEncoding).  String and
  // character literals read such an escape as one character all the same.
  bool keptAsWritten() const { return length == rawLength; }
};

struct TranslatedSource {
  std::string text;  // what javac compiles; the file's own bytes where it has no escape
  std::vector<UnicodeEscape> escapes;  // in order
  // The offsets in text of the line feeds that escapes stand for: \u000a,
  // and \u000d, which ends a line as javac reads it (the scanner ends
  // line comments at line feeds only).
  std::vector<uint32_t> escapedLineBreaks;
  bool utf8 = true;  // the file is UTF-8 (else ISO-8859-1), and so is the text
  // A malformed escape ("\u00g1", "\u" at the end): where it begins; 0 for none.
  int32_t malformedLine = 0;
  int32_t malformedColumn = 0;
};

// The lines and columns of offsets in the file as written, asked for in
// order: lines counted by line feeds, as the scanner counts them, columns
// 1-based in characters (UTF-16 units, as javac and SARIF count them).
class SourcePositions {
 public:
  SourcePositions(std::string_view source, bool utf8) : source_(source), utf8_(utf8) {}
  // To an offset at or after the last one.
  void moveTo(size_t offset);
  int32_t line() const { return line_; }
  int32_t column() const { return static_cast<int32_t>(units_) + 1; }

 private:
  std::string_view source_;
  bool utf8_;
  size_t scanned_ = 0;  // line feeds are counted up to here
  size_t counted_ = 0;  // the line's characters are counted up to here
  size_t units_ = 0;
  int32_t line_ = 1;
};

// The characters of a text, as SourcePositions counts them.
int32_t characterCount(std::string_view text, bool utf8);

// What javac says of a malformed escape.
inline constexpr std::string_view kIllegalEscape = "illegal unicode escape";

// Whether the text may hold an escape at all: the fast way past the
// files that hold no "\u".
inline bool mayHoldUnicodeEscapes(std::string_view source) { return source.find("\\u") != std::string_view::npos; }

// How the characters escapes stand for are written into the text.
enum class EscapeEncoding {
  Utf8,    // the file is UTF-8 (or ASCII)
  Latin1,  // the file is ISO-8859-1: its bytes
  // The file is UTF-8 and read by the Java 5 grammar, whose names and
  // character literals are single bytes: escapes of non-ASCII characters
  // stay as written (literals read them as one character all the same).
  Ascii,
};

// The text with its escapes translated.  On a malformed escape, the text
// and escapes up to it.
TranslatedSource translateUnicodeEscapes(std::string_view source, EscapeEncoding encoding);

}  // namespace java
