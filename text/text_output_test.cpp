#include "text/text_output.h"

#include <gtest/gtest.h>

namespace {

// Names a terminal would obey are quoted as git quotes them; every other
// name, however unusual, is left as it is.
TEST(QuotedName, QuotesNamesHoldingControlCharacters) {
  for (const char* plain : {"src/A.java", "sp ace/q\"uote\\.java", "caf\xC3\xA9.java", "Lat\xE9n.java", ""})
    EXPECT_EQ(text::quotedName(plain), plain);
  EXPECT_EQ(text::quotedName("a\nb.java"), "\"a\\nb.java\"");
  EXPECT_EQ(text::quotedName("\x1B[31mred\".java"), "\"\\033[31mred\\\".java\"");
  EXPECT_EQ(text::quotedName("t\tab\x7F\\.java"), "\"t\\tab\\177\\\\.java\"");
  // C1 controls: encoded in UTF-8, or a lone byte ISO-8859-1 reads as one;
  // once quoted, any byte of no UTF-8 is octal, and the rest of UTF-8 kept.
  EXPECT_EQ(text::quotedName("nel\xC2\x85\xC3\xA9.java"), "\"nel\\302\\205\xC3\xA9.java\"");
  EXPECT_EQ(text::quotedName("csi\x9B\xE9.java"), "\"csi\\233\\351.java\"");
  EXPECT_EQ(text::located("a\rb.java", 3, "does not parse"), "\"a\\rb.java\":3: does not parse");
}

TEST(HtmlEscaped, EscapesMarkupAndZeroBytes) {
  EXPECT_EQ(text::htmlEscaped(std::string_view("<a & \"b\" 'c'>\0d\x01", 16)),
            "&lt;a &amp; &quot;b&quot; &#39;c&#39;&gt;\xEF\xBF\xBD" "d\x01");
}

}  // namespace
