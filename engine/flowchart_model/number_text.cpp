#include "engine/flowchart_model/number_text.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace flowchart {
namespace {

bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

int32_t leadingInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit) value = kLimit;  // saturate; more digits change nothing
  }
  if (negative) return static_cast<int32_t>(-value);
  return value >= kLimit ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(value);
}

double xpathNumber(std::string_view text) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  size_t begin = 0, end = text.size();
  while (begin < end && isXmlSpace(text[begin])) ++begin;
  while (end > begin && isXmlSpace(text[end - 1])) --end;
  std::string_view core = text.substr(begin, end - begin);
  size_t i = 0;
  if (i < core.size() && core[i] == '-') ++i;
  size_t digits = 0;
  while (i < core.size() && core[i] >= '0' && core[i] <= '9') ++i, ++digits;
  if (i < core.size() && core[i] == '.') {
    ++i;
    while (i < core.size() && core[i] >= '0' && core[i] <= '9') ++i, ++digits;
  }
  if (digits == 0 || i != core.size()) return nan;
  return std::strtod(std::string(core).c_str(), nullptr);
}

bool xpathEqualsInt(std::string_view text, int32_t value) {
  return xpathNumber(text) == static_cast<double>(value);
}

std::string xpathLiteral(std::string_view text) {
  if (text.find('"') == std::string_view::npos) return "\"" + std::string(text) + "\"";
  if (text.find('\'') == std::string_view::npos) return "'" + std::string(text) + "'";
  // Both kinds: double-quoted pieces joined with '"' pieces.
  std::string out = "concat(";
  size_t start = 0;
  bool first = true;
  while (start <= text.size()) {
    size_t quote = text.find('"', start);
    std::string_view piece = text.substr(start, quote == std::string_view::npos ? std::string_view::npos
                                                                                : quote - start);
    if (!first) out += ",";
    out += "\"" + std::string(piece) + "\"";
    first = false;
    if (quote == std::string_view::npos) break;
    out += ",'\"'";
    start = quote + 1;
  }
  out += ")";
  return out;
}

}  // namespace flowchart
