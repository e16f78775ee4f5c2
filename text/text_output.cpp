#include "text/text_output.h"

#include <cctype>
#include <cstdio>

#include "files/latin1.h"

namespace text {

std::string utf8Text(std::string_view text, text::Charset charset) {
  return charset == text::Charset::Utf8 ? std::string(text) : files::latin1ToUtf8(text);
}

std::string htmlEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string numberText(const std::optional<int64_t>& value) {
  return value ? std::to_string(*value) : std::string();
}

std::string fileSafeName(std::string_view utf8) {
  std::string out;
  for (char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '.' || c == '-' || c == '_' || byte >= 0x80;
    out += kept ? c : '_';
  }
  if (out.empty() || out == "." || out == "..") out = "_" + out;
  return out;
}

std::vector<std::string_view> splitText(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    const size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at - start));
    if (at == std::string_view::npos) return parts;
    start = at + 1;
  }
}

std::string counted(size_t count, const std::string& noun) {
  const std::string plural = noun.back() == 's' ? noun + "es" : noun + "s";
  return std::to_string(count) + " " + (count == 1 ? noun : plural);
}

bool endsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

bool hasExtension(std::string_view path, std::string_view extension) {
  if (path.size() < extension.size()) return false;
  const std::string_view end = path.substr(path.size() - extension.size());
  for (size_t i = 0; i < end.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(end[i])) != std::tolower(static_cast<unsigned char>(extension[i])))
      return false;
  return true;
}

std::string located(std::string_view file, int32_t line, std::string_view message) {
  std::string out(file);
  if (line > 0) out += ":" + std::to_string(line);
  out += ": ";
  out += message;
  return out;
}

}  // namespace text
