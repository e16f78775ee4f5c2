#include "text/entity_text.h"

#include <cstdint>

namespace text {

namespace {

void addEntity(std::string& out, std::string_view opener, uint32_t code) {
  out += opener;
  out += std::to_string(code);
  out += ';';
}

}  // namespace

std::string entityText(std::string_view utf8, const EntityStyle& style) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c == '\n') {
      out += style.newline;
      ++i;
      continue;
    }
    if (c < 0x80) {
      if (style.reserved.find(static_cast<char>(c)) != std::string_view::npos)
        addEntity(out, style.opener, c);
      else
        out += c < 0x20 ? ' ' : static_cast<char>(c);
      ++i;
      continue;
    }
    size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    uint32_t code = length == 4 ? c & 0x07 : length == 3 ? c & 0x0F : length == 2 ? c & 0x1F : c;
    bool valid = length > 1 && i + length <= utf8.size();
    for (size_t k = 1; valid && k < length; ++k) {
      const unsigned char more = static_cast<unsigned char>(utf8[i + k]);
      if ((more & 0xC0) != 0x80) valid = false;
      code = (code << 6) | (more & 0x3F);
    }
    if (!valid) {
      length = 1;
      code = c;
    }
    addEntity(out, style.opener, code);
    i += length;
  }
  return out;
}

}  // namespace text
