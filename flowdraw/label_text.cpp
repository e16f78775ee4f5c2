#include "flowdraw/label_text.h"

namespace flowdraw {
namespace {

bool isContinuation(char c, bool utf8) { return utf8 && (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The byte offset just past the first `count` characters.
size_t offsetOf(std::string_view text, size_t count, bool utf8) {
  size_t seen = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (isContinuation(text[i], utf8)) continue;
    if (seen == count) return i;
    ++seen;
  }
  return text.size();
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// Wraps one statement: breaks after a blank or a comma where it can, else
// inside a word at a character boundary; continuation lines are indented.
void wrapInto(std::vector<std::string>& lines, std::string_view text, bool utf8, size_t columns) {
  std::string_view rest = text;
  bool first = true;
  while (!rest.empty()) {
    const size_t width = first ? columns : columns - 2;
    const std::string indent = first ? "" : "  ";
    if (characterCount(rest, utf8) <= width) {
      lines.push_back(indent + std::string(rest));
      return;
    }
    const size_t limit = offsetOf(rest, width, utf8);
    size_t cut = std::string_view::npos;
    for (size_t i = limit; i > limit / 3; --i) {
      const char before = rest[i - 1];
      if (rest[i] == ' ' || before == ' ' || before == ',' || before == ';' || before == '(') {
        cut = i;
        break;
      }
    }
    if (cut == std::string_view::npos) cut = limit;
    lines.push_back(indent + std::string(trimmed(rest.substr(0, cut))));
    rest = trimmed(rest.substr(cut));
    first = false;
  }
}

}  // namespace

size_t characterCount(std::string_view text, bool utf8) {
  size_t count = 0;
  for (char c : text)
    if (!isContinuation(c, utf8)) ++count;
  return count;
}

std::string shortenedInMiddle(std::string_view text, size_t limit, bool utf8) {
  const size_t count = characterCount(text, utf8);
  if (count <= limit || limit < 10) return std::string(text);
  const size_t head = limit * 3 / 5;
  const size_t tail = limit - head - 5;
  const size_t headEnd = offsetOf(text, head, utf8);
  const size_t tailStart = offsetOf(text, count - tail, utf8);
  return std::string(trimmed(text.substr(0, headEnd))) + " ... " + std::string(trimmed(text.substr(tailStart)));
}

std::vector<std::string> boxLines(std::string_view text, bool utf8, const TextLimits& limits) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view statement = trimmed(text.substr(start, end - start));
    if (!statement.empty())
      wrapInto(lines, shortenedInMiddle(statement, limits.longStatement, utf8), utf8, limits.wrapColumns);
    start = end + 1;
  }
  if (lines.empty()) lines.emplace_back();
  if (lines.size() > limits.maxLines) {
    const size_t hidden = lines.size() - (limits.maxLines - 1);
    lines.resize(limits.maxLines - 1);
    lines.push_back("... " + std::to_string(hidden) + " more lines");
  }
  return lines;
}

}  // namespace flowdraw
