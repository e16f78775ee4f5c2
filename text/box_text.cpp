#include "text/box_text.h"

#include <algorithm>
#include <charconv>

namespace text {
namespace {

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

std::string shortened(std::string_view line, size_t columns, Charset charset) {
  constexpr std::string_view kEllipsis = "...";
  size_t characters = 0;
  size_t cut = std::string_view::npos;  // byte offset where columns - 3 characters end
  for (size_t i = 0; i < line.size(); ++i) {
    if (charset == Charset::Utf8 && isContinuation(static_cast<unsigned char>(line[i]))) continue;
    if (characters == columns - kEllipsis.size()) cut = i;
    if (++characters > columns) return std::string(line.substr(0, cut)) + std::string(kEllipsis);
  }
  return std::string(line);
}

std::vector<std::string> labelLines(const std::vector<std::string>& lines, size_t maxLines,
                                    size_t columns, Charset charset) {
  std::vector<std::string> out;
  const bool cut = lines.size() > maxLines;
  const size_t kept = cut ? maxLines - 1 : lines.size();
  for (size_t i = 0; i < kept; ++i) out.push_back(shortened(lines[i], columns, charset));
  if (cut) out.push_back("... (" + std::to_string(lines.size() - kept) + " more lines)");
  return out;
}

Charset charsetOf(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    size_t length = 0;
    uint32_t minimum = 0;
    uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2, minimum = 0x80, code = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3, minimum = 0x800, code = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4, minimum = 0x10000, code = lead & 0x07;
    else return Charset::Latin1;
    if (i + length > bytes.size()) return Charset::Latin1;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if (!isContinuation(next)) return Charset::Latin1;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
      return Charset::Latin1;
    i += length;
  }
  return Charset::Utf8;
}

}  // namespace text
