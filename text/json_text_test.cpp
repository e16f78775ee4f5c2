#include "text/json_text.h"

#include <gtest/gtest.h>

namespace {

TEST(JsonText, AnyBytesBecomeOneValidUtf8String) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain/K.java", "\"plain/K.java\""},
      {"a \"b\" c\\d\te\nf\x01\b\f", "\"a \\\"b\\\" c\\\\d\\te\\nf\\u0001\\b\\f\""},
      // Valid UTF-8 is kept as it is: é, €, and a character past U+FFFF.
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\""},
      // A Latin-1 byte is read as ISO-8859-1: Lat\xE9n is Latén.
      {"Lat\xE9n.java", "\"Lat\xC3\xA9n.java\""},
      // Broken, overlong and surrogate sequences: each byte on its own.
      {"\xC3", "\"\xC3\x83\""},
      {"\xC0\xAF", "\"\xC3\x80\xC2\xAF\""},
      {"\xED\xA0\x80", "\"\xC3\xAD\xC2\xA0\xC2\x80\""},
      {"\xF4\x90\x80\x80", "\"\xC3\xB4\xC2\x90\xC2\x80\xC2\x80\""},
      {"\xFF" "\xC3\xA9", "\"\xC3\xBF\xC3\xA9\""},
  };
  for (const auto& [bytes, literal] : cases) EXPECT_EQ(text::jsonLine(text::jsonText(bytes)), literal) << bytes;
  EXPECT_EQ(text::validUtf8("Lat\xC3\xA9n"), "Lat\xC3\xA9n");
}

TEST(JsonText, NumbersAsTheReportsWriteThem) {
  const text::Json numbers = {text::jsonNumber(42), text::jsonNumber(std::nullopt), text::jsonDecimal(12.5),
                              text::jsonDecimal(3), text::jsonDecimal(2.0 / 3), text::jsonDecimal(1e300 * 1e10)};
  EXPECT_EQ(text::jsonLine(numbers), "[42,null,12.5,3.0,0.67,null]");
}

}  // namespace
