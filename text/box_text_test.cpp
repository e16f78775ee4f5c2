#include "text/box_text.h"

#include <gtest/gtest.h>

namespace {

using text::Charset;

TEST(BoxText, ShortensLongLinesAndBoxes) {
  EXPECT_EQ(text::shortened("abcdefghij", 10, Charset::Latin1), "abcdefghij");
  EXPECT_EQ(text::shortened("abcdefghijk", 10, Charset::Latin1), "abcdefg...");
  // Ten characters of two bytes each fit ten columns; the eleventh cuts
  // after the seventh character, never inside one.
  const std::string e = "\xC3\xA9";
  std::string ten, eleven;
  for (int i = 0; i < 10; ++i) ten += e;
  eleven = ten + e;
  EXPECT_EQ(text::shortened(ten, 10, Charset::Utf8), ten);
  EXPECT_EQ(text::shortened(eleven, 10, Charset::Utf8), ten.substr(0, 14) + "...");
  EXPECT_EQ(text::shortened(eleven, 10, Charset::Latin1), eleven.substr(0, 7) + "...");

  const std::vector<std::string> lines{"1", "2", "3", "4", "5"};
  EXPECT_EQ(text::labelLines(lines, 5, 10, Charset::Utf8), lines);
  EXPECT_EQ(text::labelLines(lines, 4, 10, Charset::Utf8),
            (std::vector<std::string>{"1", "2", "3", "... (2 more lines)"}));
}

TEST(BoxText, TellsUtf8FromLatin1) {
  EXPECT_EQ(text::charsetOf("plain"), Charset::Utf8);
  EXPECT_EQ(text::charsetOf("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"), Charset::Utf8);
  EXPECT_EQ(text::charsetOf("caf\xE9"), Charset::Latin1);
  EXPECT_EQ(text::charsetOf("\xC0\xAF"), Charset::Latin1);          // overlong
  EXPECT_EQ(text::charsetOf("\xED\xA0\x80"), Charset::Latin1);      // surrogate
  EXPECT_EQ(text::charsetOf("\xE2\x82"), Charset::Latin1);          // cut short
}

}  // namespace
