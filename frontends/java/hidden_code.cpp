#include "frontends/java/hidden_code.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace java {
namespace {

// The lexical pieces of the translated text, as javac tells them apart;
// operators are taken one character at a time, which is all that is asked
// of them here.
enum class Piece { LineBreak, Blank, LineComment, BlockComment, String, Char, TextBlock, Word, Number, Symbol };

struct Span {
  Piece piece = Piece::Symbol;
  size_t begin = 0, end = 0;
  bool closed = true;  // a comment or literal that ends before the text does
};

bool isWordStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' || c >= 0x80;
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isWordPart(unsigned char c) { return isWordStart(c) || isDigit(static_cast<char>(c)); }
bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

// The end of a string, character literal or text block from its first
// character after the opening delimiter; closed when the delimiter is found.
size_t literalEnd(std::string_view text, size_t at, std::string_view delimiter, bool oneLine, bool& closed) {
  while (at < text.size()) {
    if (text.compare(at, delimiter.size(), delimiter) == 0) return at + delimiter.size();
    if (oneLine && isLineEnd(text[at])) break;
    at += text[at] == '\\' && at + 1 < text.size() && !(oneLine && isLineEnd(text[at + 1])) ? 2 : 1;
  }
  closed = false;
  return std::min(at, text.size());
}

Span pieceAt(std::string_view text, size_t at) {
  const char c = text[at];
  const auto next = [&](size_t k) { return at + k < text.size() ? text[at + k] : '\0'; };
  Span span{Piece::Symbol, at, at + 1};
  if (isLineEnd(c)) {
    span.piece = Piece::LineBreak;
  } else if (c == ' ' || c == '\t' || c == '\f') {
    span.piece = Piece::Blank;
  } else if (c == '/' && next(1) == '/') {
    span.piece = Piece::LineComment;
    span.end = at + 2;
    while (span.end < text.size() && !isLineEnd(text[span.end])) ++span.end;
  } else if (c == '/' && next(1) == '*') {
    span.piece = Piece::BlockComment;
    const size_t close = text.find("*/", at + 2);
    span.closed = close != std::string_view::npos;
    span.end = span.closed ? close + 2 : text.size();
  } else if (text.compare(at, 3, "\"\"\"") == 0) {
    size_t after = at + 3;
    while (after < text.size() && (text[after] == ' ' || text[after] == '\t' || text[after] == '\f')) ++after;
    if (after < text.size() && isLineEnd(text[after])) {
      span.piece = Piece::TextBlock;
      span.end = literalEnd(text, after, "\"\"\"", false, span.closed);
    } else {
      span.piece = Piece::String;  // "" then what follows
      span.end = at + 2;
    }
  } else if (c == '"' || c == '\'') {
    span.piece = c == '"' ? Piece::String : Piece::Char;
    span.end = literalEnd(text, at + 1, c == '"' ? "\"" : "'", true, span.closed);
  } else if (isWordStart(static_cast<unsigned char>(c))) {
    span.piece = Piece::Word;
    while (span.end < text.size() && isWordPart(static_cast<unsigned char>(text[span.end]))) ++span.end;
  } else if (isDigit(c) || (c == '.' && isDigit(next(1)))) {
    span.piece = Piece::Number;
    const bool hex = c == '0' && (next(1) == 'x' || next(1) == 'X');
    while (span.end < text.size()) {
      const char d = text[span.end];
      const char before = text[span.end - 1];
      const bool sign = (d == '+' || d == '-') &&
                        (((before == 'e' || before == 'E') && !hex) || before == 'p' || before == 'P');
      if (!isWordPart(static_cast<unsigned char>(d)) && d != '.' && !sign) break;
      ++span.end;
    }
  }
  return span;
}

bool isKeyword(std::string_view word) {
  // The reserved words, the literals that look like names, and the
  // contextual words that begin declarations and statements.
  static constexpr std::array<std::string_view, 61> kWords = {
      "_",          "abstract",  "assert",   "boolean",  "break",    "byte",        "case",    "catch",
      "char",       "class",     "const",    "continue", "default",  "do",          "double",  "else",
      "enum",       "extends",   "false",    "final",    "finally",  "float",       "for",     "goto",
      "if",         "implements", "import",  "instanceof", "int",    "interface",   "long",    "native",
      "new",        "null",      "package",  "permits",  "private",  "protected",   "public",  "record",
      "return",     "sealed",    "short",    "static",   "strictfp", "super",       "switch",  "synchronized",
      "this",       "throw",     "throws",   "transient", "true",    "try",         "var",     "void",
      "volatile",   "when",      "while",    "yield",    "non"};
  // "non" only as the first word of non-sealed, which Word never takes whole.
  return word != "non" && std::find(kWords.begin(), kWords.end(), word) != kWords.end();
}

std::string_view literalName(Piece piece) {
  switch (piece) {
    case Piece::Char: return "character literal";
    case Piece::TextBlock: return "text block";
    default: return "string literal";
  }
}

// Whether an escape can hide code at all: a non-ASCII character is no
// delimiter, blank or part of a keyword, nor is a digit; one left as
// written stands in a literal (elsewhere the file does not parse).
bool mayHide(const UnicodeEscape& escape) {
  return !escape.keptAsWritten() && escape.character < 0x80 && !(escape.character >= '0' && escape.character <= '9');
}

// What one escape does, if it hides code.
struct Finding {
  std::string effect;  // empty: it hides nothing
  bool keyword = false;
};

Finding findingOf(std::string_view text, const Span& span, const Span* before, const UnicodeEscape& escape,
                  const UnicodeEscape* next) {
  const size_t at = escape.offset;
  const std::string outside = " outside any literal or comment";
  switch (span.piece) {
    case Piece::Number: return {};
    case Piece::Word:
      if (!isKeyword(text.substr(span.begin, span.end - span.begin))) return {};
      return {", written so that it reads as a name", true};
    case Piece::String:
    case Piece::Char:
    case Piece::TextBlock: {
      const size_t delimiter = span.piece == Piece::TextBlock ? 3 : 1;
      const std::string name(literalName(span.piece));
      if (at < span.begin + delimiter) return {", which begins a " + name + ": what follows is not code"};
      if (span.closed && at >= span.end - delimiter) return {", which ends a " + name + ": what follows is code"};
      // A backslash escapes the character after it: a quote a reader
      // takes for the literal's end, or a backslash that would escape one.
      const size_t after = at + escape.length;
      const bool escapesWritten = after < span.end &&
                                  (text[after] == '"' || text[after] == '\'' || text[after] == '\\') &&
                                  !(next && next->offset == after);
      if (escape.character == '\\' && escapesWritten)
        return {", which changes where the " + name + " ends"};
      return {};
    }
    case Piece::LineComment:
      if (at < span.begin + 2) return {", which begins a comment: the rest of the line is not code"};
      return {};
    case Piece::BlockComment:
      if (at < span.begin + 2) return {", which begins a comment: what follows is not code"};
      if (span.closed && at >= span.end - 2) return {", which ends a comment: what follows is code"};
      return {};
    case Piece::LineBreak:
      if (before && before->piece == Piece::LineComment && before->end == span.begin)
        return {" that ends a // comment: the rest of the line is code"};
      return {outside};
    case Piece::Blank:
    case Piece::Symbol: return {outside};
  }
  return {};
}

// The name of a character that is not shown as itself; empty for one that is.
std::string namedReading(const UnicodeEscape& escape) {
  switch (escape.character) {
    case '\n':
    case '\r': return "a line break";
    case ' ': return "a blank";
    case '\t': return "a tab";
    case '\f': return "a form feed";
    default: return {};
  }
}

// Offsets in the translated text back to those in the file as written.
class RawOffsets {
 public:
  explicit RawOffsets(const std::vector<UnicodeEscape>& escapes) : escapes_(escapes) {
    longer_.reserve(escapes.size() + 1);
    longer_.push_back(0);
    for (const UnicodeEscape& e : escapes) longer_.push_back(longer_.back() + e.rawLength - e.length);
  }
  // Of a character's first byte.
  size_t of(size_t offset) const {
    const auto before = std::lower_bound(escapes_.begin(), escapes_.end(), offset,
                                         [](const UnicodeEscape& e, size_t at) { return e.offset < at; });
    return offset + longer_[before - escapes_.begin()];
  }

 private:
  const std::vector<UnicodeEscape>& escapes_;
  std::vector<size_t> longer_;  // how much longer the file is than the text before each escape
};

}  // namespace

std::string HiddenCode::message() const {
  const bool several = escapes > 1 && reading.rfind("the keyword", 0) != 0;
  return std::string(several ? "Unicode escapes " : "Unicode escape ") + written + (several ? " are " : " is ") +
         reading + effect;
}

std::vector<HiddenCode> findHiddenCode(std::string_view source, const TranslatedSource& translated) {
  std::vector<HiddenCode> found;
  const std::string_view text = translated.text;
  const std::vector<UnicodeEscape>& escapes = translated.escapes;
  // Most files' escapes are letters of other scripts in literals: nothing to read.
  if (std::none_of(escapes.begin(), escapes.end(), mayHide)) return found;
  const RawOffsets raw(escapes);
  SourcePositions positions(source, translated.utf8);
  Span span, before;
  bool haveBefore = false;
  size_t at = 0;
  // The finding being made: its span, its last escape and the characters it reads as.
  size_t spanOfLast = SIZE_MAX;
  const UnicodeEscape* last = nullptr;
  std::string characters;
  const auto close = [&] {
    if (!last) return;
    HiddenCode& code = found.back();
    if (code.reading.empty()) code.reading = "'" + characters + "'";
    last = nullptr;
  };
  for (size_t e = 0; e < escapes.size(); ++e) {
    const UnicodeEscape& escape = escapes[e];
    if (!mayHide(escape)) {
      close();
      continue;
    }
    while (at <= escape.offset && at < text.size()) {
      before = span;
      haveBefore = at > 0;
      span = pieceAt(text, at);
      at = span.end;
    }
    const UnicodeEscape* next = e + 1 < escapes.size() ? &escapes[e + 1] : nullptr;
    const Finding finding = findingOf(text, span, haveBefore ? &before : nullptr, escape, next);
    if (finding.effect.empty()) {
      close();
      continue;
    }
    const std::string named = namedReading(escape);
    // Plain characters side by side doing one thing are one finding, and
    // so are the escapes of one keyword.
    if (last && found.back().effect == finding.effect &&
        (finding.keyword ? spanOfLast == span.begin
                         : named.empty() && found.back().reading.empty() &&
                               last->rawOffset + last->rawLength == escape.rawOffset)) {
      HiddenCode& code = found.back();
      ++code.escapes;
      if (!finding.keyword) {
        code.written += source.substr(escape.rawOffset, escape.rawLength);
        code.endColumn += static_cast<int32_t>(escape.rawLength);
        characters += text.substr(escape.offset, escape.length);
      }
      last = &escape;
      continue;
    }
    close();
    HiddenCode code;
    positions.moveTo(escape.rawOffset);
    code.line = positions.line();
    code.column = positions.column();
    code.endColumn = code.column + static_cast<int32_t>(escape.rawLength);
    code.escapes = 1;
    code.effect = finding.effect;
    code.written = source.substr(escape.rawOffset, escape.rawLength);
    code.reading = named;
    characters = text.substr(escape.offset, escape.length);
    if (finding.keyword) {
      // The whole word as written.
      const size_t first = raw.of(span.begin), end = raw.of(span.end);
      code.column -= characterCount(source.substr(first, escape.rawOffset - first), translated.utf8);
      code.endColumn = code.column + characterCount(source.substr(first, end - first), translated.utf8);
      code.written = source.substr(first, end - first);
      code.reading = "the keyword '" + std::string(text.substr(span.begin, span.end - span.begin)) + "'";
    }
    found.push_back(std::move(code));
    spanOfLast = span.begin;
    last = &escape;
  }
  close();
  return found;
}

}  // namespace java
