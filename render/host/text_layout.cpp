#include "render/host/text_layout.h"

#include <cmath>
#include <charconv>

namespace host {

std::string formatNumber(double value) {
  if (!std::isfinite(value)) return "0";
  char buffer[400];  // room for the largest double in fixed notation
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 4);
  size_t size = static_cast<size_t>(result.ptr - buffer);
  while (size > 0 && buffer[size - 1] == '0') --size;
  if (size > 0 && buffer[size - 1] == '.') --size;
  std::string text(buffer, size);
  if (text == "-0") return "0";
  return text;
}

void appendEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "&quot;"; break;
      case '&': out += "&amp;"; break;
      case '\'': out += "&apos;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '\t': out += "&#9;"; break;
      case '\n': out += "&#10;"; break;
      case '\r': out += "&#13;"; break;
      default: out += (byte < 0x20 || byte == 0x7F) ? '?' : c; break;
    }
  }
}

std::string escapeXml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  appendEscaped(out, text);
  return out;
}

std::vector<std::string> displayLines(std::string_view text) {
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n') {
      lines.emplace_back();
      continue;
    }
    if (c == '\r') continue;
    if (c == '\\' && i + 1 < text.size()) {
      const char next = text[i + 1];
      if (next == 'n' || next == 'l' || next == 'r') {
        lines.emplace_back();
        ++i;
        continue;
      }
      if (next == '\\') {
        lines.back() += '\\';
        ++i;
        continue;
      }
    }
    lines.back() += c;
  }
  // A break at the very end (the layout's usual "\l" after a last line)
  // adds no empty line.
  if (lines.size() > 1 && lines.back().empty()) lines.pop_back();
  return lines;
}

double textWidth(std::string_view text, double fontSize) {
  // Average advance widths of a sans-serif face, in ems.
  double ems = 0.0;
  for (char c : text) {
    if (c == ' ' || c == 'i' || c == 'l' || c == 'j' || c == '.' || c == ',' || c == ':' ||
        c == ';' || c == '\'' || c == '|' || c == '!' || c == 'I' || c == 'f' || c == 't' ||
        c == '(' || c == ')' || c == '[' || c == ']')
      ems += 0.34;
    else if (c == 'm' || c == 'w' || c == 'M' || c == 'W' || c == '@')
      ems += 0.9;
    else if (c >= 'A' && c <= 'Z')
      ems += 0.68;
    else
      ems += 0.58;
  }
  return ems * fontSize / 72.0;
}

namespace {

std::vector<std::string> wrapLine(const std::string& line, double width, double fontSize) {
  std::vector<std::string> out;
  std::string current;
  auto flush = [&] {
    if (!current.empty()) out.push_back(current), current.clear();
  };
  size_t i = 0;
  while (i < line.size()) {
    size_t j = line.find(' ', i);
    if (j == std::string::npos) j = line.size();
    std::string word = line.substr(i, j - i);
    i = j + 1;
    if (word.empty()) continue;
    std::string joined = current;
    if (!joined.empty()) joined += ' ';
    joined += word;
    if (textWidth(joined, fontSize) <= width) {
      current = joined;
      continue;
    }
    flush();
    // A word wider than the box is broken where it reaches the edge.
    while (textWidth(word, fontSize) > width && word.size() > 1) {
      size_t cut = 1;
      while (cut < word.size() && textWidth(word.substr(0, cut + 1), fontSize) <= width) ++cut;
      out.push_back(word.substr(0, cut));
      word = word.substr(cut);
    }
    current = word;
  }
  flush();
  if (out.empty()) out.emplace_back();
  return out;
}

}  // namespace

FittedText fitText(std::string_view text, double boxWidth, double boxHeight, double fontSize) {
  constexpr double kSmallest = 6.0;
  FittedText fitted;
  const std::vector<std::string> lines = displayLines(text);
  for (double size = fontSize;; size = std::max(kSmallest, size - 0.5)) {
    fitted.fontSize = size;
    fitted.lines.clear();
    for (const std::string& line : lines)
      for (std::string& wrapped : wrapLine(line, boxWidth, size))
        fitted.lines.push_back(std::move(wrapped));
    const double needed = static_cast<double>(fitted.lines.size()) * fitted.lineHeight();
    if (needed <= boxHeight || size <= kSmallest) break;
  }
  return fitted;
}

}  // namespace host
