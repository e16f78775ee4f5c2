#include "lsp/message_stream.h"

#include <cctype>
#include <algorithm>
#include <charconv>

namespace lsp {

namespace {

// The largest content read: past it a message is refused unread (a
// header saying so is rather a fault than a document).
constexpr size_t kLargestContent = size_t{256} << 20;

bool startsWithCaseless(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  return true;
}

}  // namespace

std::optional<Frame> MessageReader::next() {
  Frame frame;
  std::optional<size_t> length;
  bool anyHeader = false;
  std::string line;
  for (;;) {
    const int c = std::fgetc(in_);
    if (c == EOF) return std::nullopt;
    if (c != '\n') {
      line += static_cast<char>(c);
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) {
      if (!anyHeader) continue;  // blank lines between messages
      break;
    }
    anyHeader = true;
    if (startsWithCaseless(line, "content-length:")) {
      std::string_view value = std::string_view(line).substr(15);
      while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
      while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
      size_t parsed = 0;
      const auto [end, failed] = std::from_chars(value.data(), value.data() + value.size(), parsed);
      if (failed != std::errc() || end != value.data() + value.size())
        frame.headerProblem = "Content-Length is not a number: " + std::string(value);
      else
        length = parsed;
    }
    line.clear();
  }
  if (!length) {
    if (frame.headerProblem.empty()) frame.headerProblem = "a message without Content-Length";
    return frame;
  }
  if (*length > kLargestContent) {
    frame.headerProblem = "a message of " + std::to_string(*length) + " bytes, more than the server reads";
    char skipped[65536];
    for (size_t left = *length; left > 0;) {
      const size_t read = std::fread(skipped, 1, std::min(left, sizeof skipped), in_);
      if (read == 0) return std::nullopt;
      left -= read;
    }
    return frame;
  }
  frame.content.resize(*length);
  if (std::fread(frame.content.data(), 1, *length, in_) != *length) return std::nullopt;
  return frame;
}

std::string framed(std::string_view content) {
  return "Content-Length: " + std::to_string(content.size()) + "\r\n\r\n" + std::string(content);
}

}  // namespace lsp
