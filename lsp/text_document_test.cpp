#include "lsp/text_document.h"

#include <gtest/gtest.h>

namespace lsp {
namespace {

// "é" is one UTF-16 unit and two bytes, "😀" two units and four bytes.
TEST(TextDocument, EditsCountUtf16UnitsOrUtf8Bytes) {
  TextDocument document("a\xC3\xA9\xF0\x9F\x98\x80x = 1;\r\nint y;\nz", 1);
  EXPECT_EQ(document.lineCount(), 3u);
  EXPECT_EQ(document.lineText(0), "a\xC3\xA9\xF0\x9F\x98\x80x = 1;");
  // After a, é and the two units of the emoji: the x.
  EXPECT_EQ(document.offsetOf({0, 4}, PositionEncoding::Utf16), 7u);
  EXPECT_EQ(document.positionOf(7, PositionEncoding::Utf16), (Position{0, 4}));
  // Inside the pair: at its start.
  EXPECT_EQ(document.offsetOf({0, 3}, PositionEncoding::Utf16), 3u);
  EXPECT_EQ(document.offsetOf({0, 7}, PositionEncoding::Utf8), 7u);
  // Past a line's end: its end, before the line break; past the last line: the end.
  EXPECT_EQ(document.offsetOf({1, 99}, PositionEncoding::Utf16), document.text().find("\nz"));
  EXPECT_EQ(document.offsetOf({9, 0}, PositionEncoding::Utf16), document.text().size());

  document.replace({{0, 4}, {1, 4}}, "y", PositionEncoding::Utf16, 2);
  EXPECT_EQ(document.text(), "a\xC3\xA9\xF0\x9F\x98\x80yy;\nz");
  document.replace({{1, 1}, {1, 1}}, "\xF0\x9F\x98\x80\n", PositionEncoding::Utf16, 3);
  EXPECT_EQ(document.text(), "a\xC3\xA9\xF0\x9F\x98\x80yy;\nz\xF0\x9F\x98\x80\n");
  EXPECT_EQ(document.lineEnd(1, PositionEncoding::Utf16), (Position{1, 3}));
  EXPECT_EQ(document.lineEnd(1, PositionEncoding::Utf8), (Position{1, 5}));
  EXPECT_EQ(document.version(), 3);
  document.replaceAll("", 4);
  EXPECT_EQ(document.lineCount(), 1u);
  EXPECT_EQ(unitsIn("\xF0\x9F\x98\x80\xC3\xA9", PositionEncoding::Utf16), 3);
}

}  // namespace
}  // namespace lsp
