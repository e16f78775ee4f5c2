#include "render/host/text_layout.h"

#include <gtest/gtest.h>

namespace host {
namespace {

TEST(TextLayout, NumbersAndEscaping) {
  EXPECT_EQ(formatNumber(1.5), "1.5");
  EXPECT_EQ(formatNumber(2.0), "2");
  EXPECT_EQ(formatNumber(-0.00001), "0");
  EXPECT_EQ(formatNumber(1.0 / 12.0), "0.0833");
  EXPECT_EQ(escapeXml("a\"b&c'd<e>f"), "a&quot;b&amp;c&apos;d&lt;e&gt;f");
  // Latin-1 bytes pass; line breaks survive in attributes; other controls
  // cannot be carried by XML.
  EXPECT_EQ(escapeXml("caf\xe9\xff\n\t\x01"), "caf\xe9\xff&#10;&#9;?");
}

TEST(TextLayout, LineBreakEscapesAndWrapping) {
  EXPECT_EQ(displayLines("a\\nb\\lc\\l"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(displayLines("x\\\\n"), (std::vector<std::string>{"x\\n"}));
  EXPECT_EQ(displayLines("one\ntwo"), (std::vector<std::string>{"one", "two"}));

  const FittedText short_ = fitText("i = 0", 1.5, 0.5, 10);
  EXPECT_EQ(short_.lines, (std::vector<std::string>{"i = 0"}));
  EXPECT_DOUBLE_EQ(short_.fontSize, 10);

  const FittedText wrapped = fitText("System.out.println(total) ; return total", 1.2, 2.0, 10);
  ASSERT_GT(wrapped.lines.size(), 1u);
  for (const std::string& line : wrapped.lines) EXPECT_LE(textWidth(line, 10), 1.2) << line;

  // Too much text for the box: the font shrinks, but not below 6 points.
  const FittedText crowded = fitText(std::string(400, 'x'), 1.0, 0.3, 10);
  EXPECT_DOUBLE_EQ(crowded.fontSize, 6);
}

}  // namespace
}  // namespace host
