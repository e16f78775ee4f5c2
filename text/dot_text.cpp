#include "text/dot_text.h"

#include <vector>

namespace text {
namespace {

// Escapes one label line: quotes and backslashes, so that Graphviz shows
// the text as it is (it reads \n, \l, \N and others in labels).
void appendLabelLine(std::string& out, std::string_view line) {
  for (char c : line) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
}

std::string label(const std::vector<std::string>& lines) {
  std::string out = "\"";
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) out += "\\n";
    appendLabelLine(out, lines[i]);
  }
  // An escaped backslash just before the closing quote would escape it.
  if (out.back() == '\\') out += ' ';
  return out + "\"";
}

}  // namespace

std::string dotQuoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '\\';
    out += c;
  }
  // A backslash just before the closing quote would escape it.
  if (!text.empty() && text.back() == '\\') out += ' ';
  return out + "\"";
}

std::string dotShownText(std::string_view text) { return label({std::string(text)}); }

}  // namespace text
