// Conversions between the engine's single-byte ISO-8859-1 text and the
// UTF-8 that pugixml keeps internally.
#pragma once

#include <string>
#include <string_view>

namespace files {

// Every byte becomes the code point of the same value.
std::string latin1ToUtf8(std::string_view latin1);

// Code points above 0xFF become '?'; bytes that do not form valid UTF-8
// are copied unchanged, so no input byte is ever lost silently.
std::string utf8ToLatin1(std::string_view utf8);

// True when every byte is below 0x80 (both encodings agree).
bool isAscii(std::string_view text);

}  // namespace files
