#include "frontends/java/unicode_escapes.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace java {
namespace {

// The value of each hexadecimal digit, -1 for any other byte.
constexpr std::array<int8_t, 256> kHexValues = [] {
  std::array<int8_t, 256> values{};
  values.fill(-1);
  for (int d = 0; d < 10; ++d) values['0' + d] = static_cast<int8_t>(d);
  for (int d = 0; d < 6; ++d) values['a' + d] = values['A' + d] = static_cast<int8_t>(10 + d);
  return values;
}();

int hexValue(char c) { return kHexValues[static_cast<unsigned char>(c)]; }

bool isHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// One escape read at a backslash that may begin one: its end and value,
// or no end when it is malformed.
struct ReadEscape {
  size_t end = 0;  // 0: malformed
  char32_t value = 0;
};

ReadEscape readEscape(std::string_view source, size_t backslash) {
  size_t at = backslash + 1;
  while (at < source.size() && source[at] == 'u') ++at;
  if (source.size() - at < 4) return {};
  char32_t value = 0;
  for (size_t k = 0; k < 4; ++k) {
    const int digit = hexValue(source[at + k]);
    if (digit < 0) return {};
    value = value * 16 + static_cast<char32_t>(digit);
  }
  return {at + 4, value};
}

void appendUtf8(std::string& out, char32_t c) {
  char bytes[4];
  size_t length = 0;
  if (c < 0x80) {
    bytes[length++] = static_cast<char>(c);
  } else if (c < 0x800) {
    bytes[length++] = static_cast<char>(0xC0 | (c >> 6));
    bytes[length++] = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    bytes[length++] = static_cast<char>(0xE0 | (c >> 12));
    bytes[length++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    bytes[length++] = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    bytes[length++] = static_cast<char>(0xF0 | (c >> 18));
    bytes[length++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    bytes[length++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    bytes[length++] = static_cast<char>(0x80 | (c & 0x3F));
  }
  out.append(bytes, length);
}

// Characters no box or page should hold as they are: controls (but the
// blanks and line ends Java reads as such) and lone surrogates.
bool keptAsWritten(char32_t c, EscapeEncoding encoding) {
  if (c == '\t' || c == '\f') return false;
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;
  if (c >= 0xD800 && c <= 0xDFFF) return true;
  if (encoding == EscapeEncoding::Ascii) return c > 0x7F;
  return encoding == EscapeEncoding::Latin1 && c > 0xFF;
}

}  // namespace

int32_t characterCount(std::string_view text, bool utf8) {
  if (!utf8) return static_cast<int32_t>(text.size());
  int32_t units = 0;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80) units += byte >= 0xF0 ? 2 : 1;
  }
  return units;
}

void SourcePositions::moveTo(size_t offset) {
  while (scanned_ < offset) {
    const void* feed = std::memchr(source_.data() + scanned_, '\n', offset - scanned_);
    if (!feed) break;
    ++line_;
    scanned_ = counted_ = static_cast<const char*>(feed) - source_.data() + 1;
    units_ = 0;
  }
  scanned_ = offset;
  units_ += characterCount(source_.substr(counted_, offset - counted_), utf8_);
  counted_ = offset;
}

TranslatedSource translateUnicodeEscapes(std::string_view source, EscapeEncoding encoding) {
  const bool utf8 = encoding != EscapeEncoding::Latin1;
  TranslatedSource out;
  out.utf8 = utf8;
  out.text.reserve(source.size());
  size_t copied = 0;  // the source is in the text up to here
  for (size_t at = source.find('\\'); at != std::string_view::npos; at = source.find('\\', at)) {
    size_t run = at;
    while (run < source.size() && source[run] == '\\') ++run;
    // Only the last backslash of a run can be followed by a u, and it
    // begins an escape only when an even number stand before it.
    const size_t backslash = run - 1;
    const bool escape = (backslash - at) % 2 == 0 && run < source.size() && source[run] == 'u';
    at = run;
    if (!escape) continue;
    ReadEscape read = readEscape(source, backslash);
    if (read.end == 0) {
      out.text.append(source.substr(copied, backslash - copied));
      SourcePositions positions(source, utf8);
      positions.moveTo(backslash);
      out.malformedLine = positions.line();
      out.malformedColumn = positions.column();
      return out;
    }
    // A high surrogate and a low one escaped right after it are one character.
    if (isHighSurrogate(read.value) && read.end + 1 < source.size() && source[read.end] == '\\' &&
        source[read.end + 1] == 'u') {
      const ReadEscape low = readEscape(source, read.end);
      if (low.end != 0 && isLowSurrogate(low.value))
        read = {low.end, 0x10000 + ((read.value - 0xD800) << 10) + (low.value - 0xDC00)};
    }
    out.text.append(source.substr(copied, backslash - copied));
    UnicodeEscape entry;
    entry.rawOffset = static_cast<uint32_t>(backslash);
    entry.rawLength = static_cast<uint32_t>(read.end - backslash);
    entry.offset = static_cast<uint32_t>(out.text.size());
    entry.character = read.value;
    if (read.value == '\n' || read.value == '\r') {
      out.escapedLineBreaks.push_back(entry.offset);
      out.text += '\n';
    } else if (keptAsWritten(read.value, encoding)) {
      out.text.append(source.substr(backslash, entry.rawLength));
    } else if (utf8) {
      appendUtf8(out.text, read.value);
    } else {
      out.text += static_cast<char>(read.value);
    }
    entry.length = static_cast<uint32_t>(out.text.size() - entry.offset);
    out.escapes.push_back(entry);
    copied = at = read.end;
  }
  out.text.append(source.substr(copied));
  return out;
}

}  // namespace java
