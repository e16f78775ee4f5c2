// An open document's text as the editor holds it, and the positions the
// Language Server Protocol names places in: a line and a character
// offset counted in UTF-16 code units (the protocol's default) or in
// bytes of UTF-8, when client and server agree on it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lsp {

enum class PositionEncoding { Utf16, Utf8 };

struct Position {
  int64_t line = 0;       // 0-based
  int64_t character = 0;  // 0-based, in the encoding's units
  bool operator==(const Position&) const = default;
};

struct Range {
  Position start, end;
  bool operator==(const Range&) const = default;
};

class TextDocument {
 public:
  TextDocument(std::string text, int64_t version);

  const std::string& text() const { return text_; }
  int64_t version() const { return version_; }
  size_t lineCount() const { return lineStarts_.size(); }

  // The byte offset of a position.  A character past its line's end
  // means the line's end and a line past the last the text's end, as the
  // protocol asks; a position inside a UTF-16 surrogate pair goes to the
  // pair's start.
  size_t offsetOf(Position position, PositionEncoding encoding) const;
  // The position of a byte offset (clamped to the text).
  Position positionOf(size_t offset, PositionEncoding encoding) const;
  // A line's text, without its line break ("" past the last).
  std::string_view lineText(int64_t line) const;
  // The position at the end of a line.
  Position lineEnd(int64_t line, PositionEncoding encoding) const;

  // Replaces the text: the whole of it, or the range given.
  void replaceAll(std::string text, int64_t version);
  void replace(const Range& range, std::string_view text, PositionEncoding encoding, int64_t version);

 private:
  void indexLines();

  std::string text_;
  int64_t version_ = 0;
  std::vector<size_t> lineStarts_;  // byte offset of each line's start
};

// The length of a text in the encoding's units.
int64_t unitsIn(std::string_view text, PositionEncoding encoding);

}  // namespace lsp
