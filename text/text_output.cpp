#include "text/text_output.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "files/latin1.h"
#include "text/json_text.h"

namespace text {

std::string utf8Text(std::string_view text, text::Charset charset) {
  return charset == text::Charset::Utf8 ? std::string(text) : files::latin1ToUtf8(text);
}

std::string htmlEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    // Plain text is copied a run at a time.
    const size_t plain = text.find_first_of(std::string_view("&<>\"'\0", 6));
    out.append(text.substr(0, plain));
    if (plain == std::string_view::npos) break;
    const char c = text[plain];
    text.remove_prefix(plain + 1);
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      // HTML holds no zero byte: the character a browser shows for one.
      case '\0': out += "\xEF\xBF\xBD"; break;
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

namespace {

// The length of the character at bytes[at]: 1 in ASCII, else its UTF-8
// sequence's, or 0 for a byte that starts none.
size_t characterLength(std::string_view bytes, size_t at) {
  return static_cast<unsigned char>(bytes[at]) < 0x80 ? 1 : utf8SequenceLength(bytes, at);
}

// Whether the character at bytes[at], `length` long, drives a terminal:
// C0, DEL, C1, or a lone byte that ISO-8859-1 would read as C1.
bool isControl(std::string_view bytes, size_t at, size_t length) {
  const auto byte = static_cast<unsigned char>(bytes[at]);
  if (byte < 0x20 || byte == 0x7F) return true;
  if (length == 0) return byte < 0xA0;
  return length == 2 && byte == 0xC2 && static_cast<unsigned char>(bytes[at + 1]) < 0xA0;
}

}  // namespace

std::string quotedName(std::string_view bytes) {
  bool needed = false;
  for (size_t i = 0, length = 0; i < bytes.size() && !needed; i += std::max<size_t>(length, 1)) {
    length = characterLength(bytes, i);
    needed = isControl(bytes, i, length);
  }
  if (!needed) return std::string(bytes);
  std::string out = "\"";
  for (size_t i = 0, length = 0; i < bytes.size(); i += std::max<size_t>(length, 1)) {
    length = characterLength(bytes, i);
    if (length > 1 && !isControl(bytes, i, length)) {
      out.append(bytes.substr(i, length));
      continue;
    }
    const auto byte = static_cast<unsigned char>(bytes[i]);
    const char* escape = byte == '\a'   ? "\\a"
                         : byte == '\b' ? "\\b"
                         : byte == '\t' ? "\\t"
                         : byte == '\n' ? "\\n"
                         : byte == '\v' ? "\\v"
                         : byte == '\f' ? "\\f"
                         : byte == '\r' ? "\\r"
                         : byte == '"'  ? "\\\""
                         : byte == '\\' ? "\\\\"
                                        : nullptr;
    if (escape) {
      out += escape;
    } else if (length == 1 && !isControl(bytes, i, 1)) {
      out += bytes[i];
    } else {
      // A control character, or a byte of no UTF-8, in octal, byte by byte.
      for (size_t k = 0; k < std::max<size_t>(length, 1); ++k) {
        const auto each = static_cast<unsigned char>(bytes[i + k]);
        out += '\\';
        out += static_cast<char>('0' + (each >> 6));
        out += static_cast<char>('0' + ((each >> 3) & 7));
        out += static_cast<char>('0' + (each & 7));
      }
    }
  }
  return out + "\"";
}

std::string located(std::string_view file, int32_t line, std::string_view message) {
  std::string out = quotedName(file);
  if (line > 0) out.append(1, ':').append(std::to_string(line));
  out += ": ";
  out += message;
  return out;
}

std::string located(std::string_view file, int32_t line, int32_t column, std::string_view message) {
  return quotedName(file) + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + std::string(message);
}

}  // namespace text
