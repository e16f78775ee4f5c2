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

bool isLower(char c) { return c >= 'a' && c <= 'z'; }
bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool isOperator(char c) { return std::string_view("+-*/%=<>!&|^?:").find(c) != std::string_view::npos; }

// A break after a blank, a comma, a semicolon or an opening parenthesis.
bool isPause(std::string_view text, size_t i) {
  const char before = text[i - 1];
  return text[i] == ' ' || before == ' ' || before == ',' || before == ';' || before == '(';
}

// A break between the parts of an expression: before a dot, after an
// underscore, or around a run of operator signs.
bool isSeam(std::string_view text, size_t i) {
  const char before = text[i - 1], at = text[i];
  if (at == '.' || (before == '_' && at != '_')) return true;
  return isOperator(before) != isOperator(at);
}

// A camel-case hump inside a name ("format|Duration"): a break only where
// nothing better is near, as it splits a word a reader takes whole.
bool isHump(std::string_view text, size_t i) { return isLower(text[i - 1]) && isUpper(text[i]); }

bool isJoint(std::string_view text, size_t i) { return isSeam(text, i) || isHump(text, i); }

bool isPauseOrSeam(std::string_view text, size_t i) { return isPause(text, i) || isSeam(text, i); }

// Where to end a line of `text` at most `limit` bytes long (a character
// boundary): the last pause past a third of it, else the last seam of an
// expression there, else a pause or seam a little past the limit, else
// the last hump of a name, else any joint before it, else the first pause
// or joint after it (a long word overflows rather than being cut); npos
// when nothing of the text may be cut.
size_t breakAt(std::string_view text, size_t limit, bool utf8) {
  auto allowed = [&](size_t i, bool (*rule)(std::string_view, size_t)) {
    return !isContinuation(text[i], utf8) && rule(text, i);
  };
  for (size_t i = limit; i > limit / 3; --i)
    if (allowed(i, isPause)) return i;
  for (size_t i = limit; i > limit / 3; --i)
    if (allowed(i, isSeam)) return i;
  for (size_t i = limit + 1; i < text.size() && i <= limit + limit / 8; ++i)
    if (allowed(i, isPauseOrSeam)) return i;
  for (size_t i = limit; i > limit / 3; --i)
    if (allowed(i, isHump)) return i;
  for (size_t i = limit; i > 0; --i)
    if (allowed(i, isJoint)) return i;
  for (size_t i = limit + 1; i < text.size(); ++i)
    if (allowed(i, isPause) || allowed(i, isJoint)) return i;
  return std::string_view::npos;
}

// Wraps one statement at pauses where it can, else at the joints of names;
// never inside a word.  Continuation lines are indented.
void wrapInto(std::vector<std::string>& lines, std::string_view text, bool utf8, size_t columns) {
  std::string_view rest = text;
  bool first = true;
  while (!rest.empty()) {
    const size_t width = first ? columns : columns - 2;
    const std::string indent = first ? "" : "  ";
    const size_t cut = characterCount(rest, utf8) <= width ? std::string_view::npos
                                                           : breakAt(rest, offsetOf(rest, width, utf8), utf8);
    if (cut == std::string_view::npos) {
      lines.push_back(indent + std::string(rest));
      return;
    }
    lines.push_back(indent + std::string(trimmed(rest.substr(0, cut))));
    rest = trimmed(rest.substr(cut));
    first = false;
  }
}

// Moves a cut to the nearest pause or joint within `reach` bytes, forward
// or back, so that shortening keeps whole words where it can.
size_t atJoint(std::string_view text, size_t at, size_t reach, bool forward, bool utf8) {
  for (size_t step = 0; step <= reach; ++step) {
    const size_t i = forward ? at + step : at - step;
    if (i == 0 || i >= text.size()) break;
    if (!isContinuation(text[i], utf8) && (isPause(text, i) || isJoint(text, i))) return i;
  }
  return at;
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
  const size_t headEnd = atJoint(text, offsetOf(text, head, utf8), head / 2, false, utf8);
  const size_t tailStart = atJoint(text, offsetOf(text, count - tail, utf8), tail / 2, true, utf8);
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

// The en dash is UTF-8; ISO-8859-1 texts get a hyphen.
std::string lineSpan(int32_t first, int32_t last, bool utf8) {
  if (first <= 0) return "";
  if (last <= first) return "L" + std::to_string(first);
  return "L" + std::to_string(first) + (utf8 ? "\xE2\x80\x93L" : "-L") + std::to_string(last);
}

}  // namespace flowdraw
