// The lines of a source file, read once and cut into spans: the texts of
// boxes and models are cut from them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace files {

// Separator put between source lines inside one text: a backslash and the
// letter n, never a line feed.
inline constexpr std::string_view kLineSeparator = "\\n";

class SourceLines {
 public:
  SourceLines() = default;
  // Reads at most count lines of the file, each without its line feed and
  // without a carriage return before it.  A file with fewer lines gives
  // empty lines where there are none; nothing is reserved for lines the
  // file does not have, so a huge count costs nothing.  nullopt when the
  // file is not a regular file or cannot be read.
  static std::optional<SourceLines> read(const std::string& path, int32_t count);
  static SourceLines fromText(std::string text, int32_t count);

  // Line n (1-based); empty outside the lines read.
  std::string_view line(int64_t n) const;
  // The lines read, as the file holds them.
  std::string_view text() const { return text_; }
  size_t size() const { return lines_.size(); }

  // The text from column startColumn of line startLine to just before
  // column endColumn of line endLine (columns 1-based), lines joined by the
  // separator.  Columns and lines beyond the source give what is there,
  // possibly nothing; lines past the end of the source add nothing.
  std::string span(int32_t startLine, int32_t startColumn, int32_t endLine,
                   int32_t endColumn) const;

 private:
  struct Line {
    size_t start;
    size_t length;
  };
  std::string text_;  // the lines read, as the file holds them
  std::vector<Line> lines_;
};

}  // namespace files
