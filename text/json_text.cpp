#include "text/json_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace text {
namespace {

void appendLatin1(std::string& out, unsigned char byte) {
  out += static_cast<char>(0xC0 | (byte >> 6));
  out += static_cast<char>(0x80 | (byte & 0x3F));
}

}  // namespace

size_t utf8SequenceLength(std::string_view bytes, size_t at) {
  const auto lead = static_cast<unsigned char>(bytes[at]);
  size_t length = 0;
  uint32_t minimum = 0, code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2, minimum = 0x80, code = lead & 0x1F;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3, minimum = 0x800, code = lead & 0x0F;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4, minimum = 0x10000, code = lead & 0x07;
  else return 0;
  if (at + length > bytes.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(bytes[at + k]);
    if ((next & 0xC0) != 0x80) return 0;
    code = (code << 6) | (next & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

std::string validUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte < 0x80) {
      out += bytes[i++];
      continue;
    }
    const size_t length = utf8SequenceLength(bytes, i);
    if (length == 0) {
      appendLatin1(out, byte);
      ++i;
      continue;
    }
    out.append(bytes.substr(i, length));
    i += length;
  }
  return out;
}

Json jsonText(std::string_view bytes) { return Json(validUtf8(bytes)); }

Json jsonNumber(const std::optional<int64_t>& value) { return value ? Json(*value) : Json(nullptr); }

Json jsonDecimal(double value) {
  if (!std::isfinite(value)) return Json(nullptr);
  // Rounded as printf rounds (the exact binary value, ties to even), so
  // that the number is the one "%.2f" has always written.
  char text[400];
  std::snprintf(text, sizeof text, "%.2f", value);
  return Json(std::strtod(text, nullptr));
}

std::string jsonLine(const Json& json) {
  // Every text went through validUtf8; replacing is only a guard, so that
  // writing JSON never throws.
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace text
