#include "drawing/text_layout.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <iterator>
#include <optional>
#include <string_view>

namespace drawing {

namespace {

// The digits of a value rounded to whole units of its last decimal, with
// trailing zeros after the point dropped.
std::string unitsText(long long units, int decimals) {
  if (units == 0) return "0";
  char buffer[32];
  char* end = buffer + sizeof buffer;
  char* at = end;
  const bool negative = units < 0;
  unsigned long long left = negative ? 0ULL - static_cast<unsigned long long>(units) : units;
  bool significant = false;  // a digit after the point that stays
  for (int place = 0; place < decimals; ++place) {
    const char digit = static_cast<char>('0' + left % 10);
    left /= 10;
    if (digit != '0') significant = true;
    if (significant) *--at = digit;
  }
  if (significant) *--at = '.';
  do {
    *--at = static_cast<char>('0' + left % 10);
    left /= 10;
  } while (left > 0);
  if (negative) *--at = '-';
  return std::string(at, end);
}

// Whole units of the last decimal, when rounding the scaled value in
// floating point surely rounds the exact value the same way: small enough
// that the scaling's error is far below a unit's millionth, and not near
// a half, where the exact value's side could differ.
std::optional<long long> roundedUnits(double value, int decimals) {
  static constexpr double kScales[] = {1.0, 10.0, 100.0, 1e3, 1e4, 1e5, 1e6};
  if (decimals < 0 || decimals >= static_cast<int>(std::size(kScales))) return std::nullopt;
  const double scaled = value * kScales[decimals];
  if (!(std::fabs(scaled) < 2147483648.0)) return std::nullopt;
  const double whole = std::floor(scaled);
  const double fraction = scaled - whole;
  if (std::fabs(fraction - 0.5) < 1e-6) return std::nullopt;
  return static_cast<long long>(whole) + (fraction > 0.5 ? 1 : 0);
}

}  // namespace

std::string formatNumber(double value, int decimals) {
  if (!std::isfinite(value)) return "0";
  if (const std::optional<long long> units = roundedUnits(value, decimals)) return unitsText(*units, decimals);
  char buffer[400];  // room for the largest double in fixed notation
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  size_t size = static_cast<size_t>(result.ptr - buffer);
  if (decimals > 0) {  // only zeros after the point go
    while (size > 0 && buffer[size - 1] == '0') --size;
    if (size > 0 && buffer[size - 1] == '.') --size;
  }
  std::string text(buffer, size);
  if (text == "-0") return "0";
  return text;
}

namespace {

bool needsEscape(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F || c == '"' || c == '&' || c == '\'' || c == '<' || c == '>';
}

}  // namespace

void appendEscaped(std::string& out, std::string_view text) {
  while (!text.empty()) {
    // Plain text is copied a run at a time.
    const size_t plain = static_cast<size_t>(std::find_if(text.begin(), text.end(), needsEscape) - text.begin());
    out.append(text.data(), plain);
    text.remove_prefix(plain);
    if (text.empty()) return;
    const char c = text.front();
    text.remove_prefix(1);
    switch (c) {
      case '"': out += "&quot;"; break;
      case '&': out += "&amp;"; break;
      case '\'': out += "&apos;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '\t': out += "&#9;"; break;
      case '\n': out += "&#10;"; break;
      case '\r': out += "&#13;"; break;
      default: out += '?'; break;  // another control character
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

namespace {

// The advance width of a character in ems: averages of a sans-serif face,
// looked up by byte, since every box's text is measured many times over.
constexpr std::array<double, 256> kEms = [] {
  std::array<double, 256> ems{};
  for (int byte = 0; byte < 256; ++byte) {
    const char c = static_cast<char>(byte);
    if (std::string_view(" iljI.,:;'|!ft()[]").find(c) != std::string_view::npos && c != '\0')
      ems[byte] = 0.34;
    else if (std::string_view("mwMW@").find(c) != std::string_view::npos && c != '\0')
      ems[byte] = 0.9;
    else if (c >= 'A' && c <= 'Z')
      ems[byte] = 0.68;
    else
      ems[byte] = 0.58;
  }
  return ems;
}();

double emsOf(char c) { return kEms[static_cast<unsigned char>(c)]; }

bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// A byte's share of a text's width: in UTF-8 a character's first byte
// carries the whole width (three- and four-byte characters, mostly of
// East Asian scripts, are a full em) and the bytes after it none.
double emsOf(char c, text::Charset encoding) {
  const auto byte = static_cast<unsigned char>(c);
  if (encoding != text::Charset::Utf8 || byte < 0x80) return emsOf(c);
  if (isContinuation(c)) return 0.0;
  return byte >= 0xE0 ? 1.0 : 0.6;
}

double emsOf(std::string_view text, text::Charset encoding, double start = 0.0) {
  for (char c : text) start += emsOf(c, encoding);
  return start;
}

double inches(double ems, double fontSize) { return ems * fontSize / 72.0; }

// Wraps one line in time linear in its length.  Widths are summed
// character by character in the same order as textWidth sums them, so
// every comparison gives the answer textWidth would.
std::vector<std::string> wrapLine(std::string_view line, double width, double fontSize, text::Charset encoding,
                                  bool& brokeWord) {
  auto fits = [&](double ems) { return inches(ems, fontSize) <= width; };
  // With a font size of zero or more a longer text is never narrower, so
  // the scan for a break also tells whether the rest is too wide.
  const bool widthsGrow = fontSize >= 0.0 && !std::isnan(width);
  std::vector<std::string> out;
  std::string current;
  double currentEms = 0.0;
  size_t i = 0;
  while (i < line.size()) {
    size_t j = line.find(' ', i);
    if (j == std::string_view::npos) j = line.size();
    std::string_view word = line.substr(i, j - i);
    i = j + 1;
    if (word.empty()) continue;
    const double joined = emsOf(word, encoding, current.empty() ? currentEms : currentEms + emsOf(' '));
    if (fits(joined)) {
      if (!current.empty()) current += ' ';
      current += word;
      currentEms = joined;
      continue;
    }
    if (!current.empty()) out.push_back(std::move(current));
    // A word wider than the box is broken where it reaches the edge: the
    // longest piece that fits, one character at least.
    while (word.size() > 1) {
      double ems = emsOf(word[0], encoding);
      size_t cut = 1;
      while (cut < word.size() && fits(ems + emsOf(word[cut], encoding))) ems += emsOf(word[cut++], encoding);
      // A piece ends after a whole character.
      if (encoding == text::Charset::Utf8)
        while (cut < word.size() && isContinuation(word[cut])) ++cut;
      const bool tooWide = widthsGrow ? cut < word.size() : inches(emsOf(word, encoding), fontSize) > width;
      if (!tooWide) break;
      brokeWord = true;
      out.emplace_back(word.substr(0, cut));
      word.remove_prefix(cut);
    }
    current = std::string(word);
    currentEms = emsOf(word, encoding);
  }
  if (!current.empty()) out.push_back(std::move(current));
  if (out.empty()) out.emplace_back();
  return out;
}

}  // namespace

double textWidth(std::string_view text, double fontSize, text::Charset encoding) {
  return inches(emsOf(text, encoding), fontSize);
}

FittedText fitText(std::string_view text, double boxWidth, double boxHeight, double fontSize,
                   text::Charset encoding) {
  constexpr double kSmallest = 6.0;
  // A word that does not fit its line is broken only when a font down to
  // three quarters of the size asked for would not keep it whole: a name
  // like "inventory:Inventory" reads better a little smaller than cut in two.
  const double smallestForWholeWords = std::max(kSmallest, fontSize * 0.75);
  const std::vector<std::string> lines = displayLines(text);
  std::optional<FittedText> brokenButFitting;
  for (double size = fontSize;; size = std::max(kSmallest, size - 0.5)) {
    FittedText fitted;
    fitted.encoding = encoding;
    fitted.fontSize = size;
    bool brokeWord = false;
    for (const std::string& line : lines)
      for (std::string& wrapped : wrapLine(line, boxWidth, size, encoding, brokeWord))
        fitted.lines.push_back(std::move(wrapped));
    const double needed = static_cast<double>(fitted.lines.size()) * fitted.lineHeight();
    const bool fitsHeight = needed <= boxHeight;
    if (fitsHeight && !brokeWord && size >= smallestForWholeWords) return fitted;
    // Otherwise the answer is the first size whose lines fit the box's
    // height, or the smallest size.
    if (!brokenButFitting && (fitsHeight || size <= kSmallest)) brokenButFitting = std::move(fitted);
    if (brokenButFitting && size <= smallestForWholeWords) return std::move(*brokenButFitting);
    // A size so large that a step down leaves it as it is would never end.
    if (size - 0.5 == size || size <= kSmallest) return brokenButFitting ? std::move(*brokenButFitting) : fitted;
  }
}

}  // namespace drawing
