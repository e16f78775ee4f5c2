#include "lsp/text_document.h"

#include <algorithm>

namespace lsp {

namespace {

// The bytes of the UTF-8 sequence led by the byte (1 for a stray
// continuation byte or a byte that leads nothing, as a decoder would
// read it as one replacement character).
size_t sequenceBytes(unsigned char lead) {
  if (lead < 0xC0) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  if (lead < 0xF8) return 4;
  return 1;
}

// The UTF-16 units of a sequence of so many bytes.
int64_t utf16Units(size_t bytes) { return bytes == 4 ? 2 : 1; }

}  // namespace

int64_t unitsIn(std::string_view text, PositionEncoding encoding) {
  if (encoding == PositionEncoding::Utf8) return static_cast<int64_t>(text.size());
  int64_t units = 0;
  for (size_t at = 0; at < text.size();) {
    const size_t bytes = std::min(sequenceBytes(static_cast<unsigned char>(text[at])), text.size() - at);
    units += utf16Units(bytes);
    at += bytes;
  }
  return units;
}

TextDocument::TextDocument(std::string text, int64_t version) : text_(std::move(text)), version_(version) {
  indexLines();
}

void TextDocument::indexLines() {
  lineStarts_.assign(1, 0);
  for (size_t at = 0; at < text_.size(); ++at) {
    // "\r\n", "\n" and "\r" each end a line, as the protocol counts them.
    if (text_[at] == '\r' && at + 1 < text_.size() && text_[at + 1] == '\n') ++at;
    if (text_[at] == '\n' || text_[at] == '\r') lineStarts_.push_back(at + 1);
  }
}

std::string_view TextDocument::lineText(int64_t line) const {
  if (line < 0 || static_cast<size_t>(line) >= lineStarts_.size()) return {};
  const size_t start = lineStarts_[static_cast<size_t>(line)];
  size_t end = static_cast<size_t>(line) + 1 < lineStarts_.size() ? lineStarts_[static_cast<size_t>(line) + 1]
                                                                  : text_.size();
  while (end > start && (text_[end - 1] == '\n' || text_[end - 1] == '\r')) --end;
  return std::string_view(text_).substr(start, end - start);
}

size_t TextDocument::offsetOf(Position position, PositionEncoding encoding) const {
  if (position.line < 0) return 0;
  if (static_cast<size_t>(position.line) >= lineStarts_.size()) return text_.size();
  const size_t start = lineStarts_[static_cast<size_t>(position.line)];
  const std::string_view line = lineText(position.line);
  if (encoding == PositionEncoding::Utf8)
    return start + static_cast<size_t>(std::clamp<int64_t>(position.character, 0, static_cast<int64_t>(line.size())));
  int64_t units = 0;
  size_t at = 0;
  while (at < line.size()) {
    const size_t bytes = std::min(sequenceBytes(static_cast<unsigned char>(line[at])), line.size() - at);
    if (units + utf16Units(bytes) > position.character) break;
    units += utf16Units(bytes);
    at += bytes;
  }
  return start + at;
}

Position TextDocument::positionOf(size_t offset, PositionEncoding encoding) const {
  offset = std::min(offset, text_.size());
  const auto after = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
  const size_t line = static_cast<size_t>(after - lineStarts_.begin()) - 1;
  const std::string_view text = lineText(static_cast<int64_t>(line));
  const size_t within = std::min(offset - lineStarts_[line], text.size());
  return {static_cast<int64_t>(line), unitsIn(text.substr(0, within), encoding)};
}

Position TextDocument::lineEnd(int64_t line, PositionEncoding encoding) const {
  return {line, unitsIn(lineText(line), encoding)};
}

void TextDocument::replaceAll(std::string text, int64_t version) {
  text_ = std::move(text);
  version_ = version;
  indexLines();
}

void TextDocument::replace(const Range& range, std::string_view text, PositionEncoding encoding, int64_t version) {
  size_t start = offsetOf(range.start, encoding);
  size_t end = offsetOf(range.end, encoding);
  if (end < start) std::swap(start, end);
  text_.replace(start, end - start, text);
  version_ = version;
  indexLines();
}

}  // namespace lsp
