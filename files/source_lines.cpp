#include "files/source_lines.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "files/file_text.h"

namespace files {
namespace {

// Characters [from, to) of a line, 0-based, cut to what the line holds.
std::string_view cut(std::string_view line, int64_t from, int64_t to) {
  from = std::clamp<int64_t>(from, 0, static_cast<int64_t>(line.size()));
  to = std::clamp<int64_t>(to, from, static_cast<int64_t>(line.size()));
  return line.substr(static_cast<size_t>(from), static_cast<size_t>(to - from));
}

}  // namespace

SourceLines SourceLines::fromText(std::string text, int32_t count) {
  SourceLines lines;
  size_t start = 0;
  while (static_cast<int64_t>(lines.lines_.size()) < count && start < text.size()) {
    size_t end = text.find('\n', start);
    size_t length = (end == std::string::npos ? text.size() : end) - start;
    if (length > 0 && text[start + length - 1] == '\r') --length;
    lines.lines_.push_back(Line{start, length});
    if (end == std::string::npos) break;
    start = end + 1;
  }
  // Only what the lines hold is kept.
  text.resize(lines.lines_.empty() ? 0 : lines.lines_.back().start + lines.lines_.back().length);
  lines.text_ = std::move(text);
  return lines;
}

std::optional<SourceLines> SourceLines::read(const std::string& path, int32_t count) {
  // A pipe or a device could block or never end.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  std::optional<std::string> text = readFileText(path);
  if (!text) return std::nullopt;
  if (count < 1) text->clear();
  return fromText(std::move(*text), count);
}

std::string_view SourceLines::line(int64_t n) const {
  if (n < 1 || n > static_cast<int64_t>(lines_.size())) return std::string_view();
  const Line& line = lines_[static_cast<size_t>(n - 1)];
  return std::string_view(text_).substr(line.start, line.length);
}

std::string SourceLines::span(int32_t startLine, int32_t startColumn, int32_t endLine,
                              int32_t endColumn) const {
  const int64_t sl = startLine, sc = startColumn, el = endLine, ec = endColumn;
  if (sl == el) return std::string(cut(line(sl), sc - 1, sc - 1 + (ec - sc)));
  std::string text(cut(line(sl), sc - 1, INT64_MAX));
  // Lines past the end of the source add nothing, not even a separator, so
  // a tree that claims far more lines than the file has cannot blow up.
  const int64_t last = static_cast<int64_t>(lines_.size());
  for (int64_t n = sl + 1; n < el; ++n) {
    if (n > last) return text;
    text += kLineSeparator;
    text += line(n);
  }
  if (el > last) return text;
  text += kLineSeparator;
  text += cut(line(el), 0, ec - 1);
  return text;
}

}  // namespace files
