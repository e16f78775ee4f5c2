#include "text/dot_text.h"

namespace text {
namespace {

std::string withClosingRoom(std::string value) {
  if (!value.empty() && value.back() == '\\') value += ' ';
  return value;
}

}  // namespace

std::string shownValue(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\\') out += '\\';
    out += c;
  }
  return withClosingRoom(std::move(out));
}

std::string storedValue(std::string_view text) { return withClosingRoom(std::string(text)); }

std::string quotedValue(std::string_view value) {
  std::string out;
  out.reserve(value.size() + 2);
  out += '"';
  for (char c : value) {
    if (c == '"') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

std::string dotQuoted(std::string_view text) { return quotedValue(storedValue(text)); }

}  // namespace text
