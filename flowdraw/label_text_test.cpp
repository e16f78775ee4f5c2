#include "flowdraw/label_text.h"

#include <gtest/gtest.h>

namespace flowdraw {
namespace {

TEST(LabelText, WrapsLongStatementsAndKeepsTheEndOfShortenedOnes) {
  // A for header wraps at blanks; nothing of it is lost.
  const std::vector<std::string> header =
      boxLines("for (int index = 0; index < elements.length; index += stride)", false);
  ASSERT_EQ(header.size(), 2u);
  EXPECT_EQ(header[0], "for (int index = 0; index < elements.length;");
  EXPECT_EQ(header[1], "  index += stride)");

  // Past the long-statement size the middle goes, the condition's end stays.
  std::string condition = "if (";
  for (int i = 0; i < 30; ++i) condition += "a" + std::to_string(i) + " + ";
  condition += "z < MIN_TRANSFER_STRIDE)";
  const std::string shortened = shortenedInMiddle(condition, 80, false);
  EXPECT_LE(characterCount(shortened, false), 80u);
  EXPECT_EQ(shortened.substr(0, 8), "if (a0 +");
  EXPECT_NE(shortened.find(" ... "), std::string::npos);
  EXPECT_EQ(shortened.substr(shortened.size() - 24), "z < MIN_TRANSFER_STRIDE)");

  // Statements keep their own lines; a box past its line limit says how
  // many lines it leaves out.
  std::string many;
  for (int i = 0; i < 20; ++i) many += "call" + std::to_string(i) + "();\n";
  const std::vector<std::string> box = boxLines(many, false, TextLimits{44, 180, 5});
  ASSERT_EQ(box.size(), 5u);
  EXPECT_EQ(box[0], "call0();");
  EXPECT_EQ(box[4], "... 16 more lines");
}

// Names break only at their joints: a dot, an underscore, a camel-case
// hump or an operator; a word with none overflows the line whole.
TEST(LabelText, BreaksNamesOnlyAtTheirJoints) {
  EXPECT_EQ(boxLines("throw StandardException.newException(SQLState.RAWSTORE_CANNOT_BACKUP_TO_NONDIRECTORY);",
                     false),
            (std::vector<std::string>{"throw StandardException.newException(", "  SQLState.RAWSTORE_CANNOT_BACKUP_TO_",
                                      "  NONDIRECTORY);"}));
  EXPECT_EQ(boxLines("int valueOfTheFirstColumnBeforeTheLogRecordIsWritten=readIt();", false,
                     TextLimits{30, 180, 12}),
            (std::vector<std::string>{"int valueOfTheFirstColumn", "  BeforeTheLogRecordIsWritten=", "  readIt();"}));
  // A dot before a hump: a name is split inside only where nothing else is near.
  EXPECT_EQ(boxLines("return DurationFormatUtils.formatDurationHMS(DurationUtils.toMillisLong(getSplitDuration()))", false),
            (std::vector<std::string>{"return DurationFormatUtils", "  .formatDurationHMS(", "  DurationUtils.toMillisLong(",
                                      "  getSplitDuration()))"}));
  EXPECT_EQ(boxLines("x = abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz;", false, TextLimits{20, 180, 12}),
            (std::vector<std::string>{"x =", "  abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz;"}));
}

TEST(LabelText, CountsAndCutsUtf8ByCharacter) {
  const std::string text = "receipt.add(\"Größe des Belegs für den Kunden: \" + größe + \" €\");";
  for (const std::string& line : boxLines(text, true, TextLimits{20, 180, 12})) {
    EXPECT_LE(characterCount(line, true), 20u);
    // No line starts inside a character.
    EXPECT_NE(static_cast<unsigned char>(line[0]) & 0xC0, 0x80);
  }
  const std::string cut = shortenedInMiddle(text, 30, true);
  EXPECT_LE(characterCount(cut, true), 30u);
  EXPECT_NE(static_cast<unsigned char>(cut.back()) & 0xC0, 0xC0);
}

}  // namespace
}  // namespace flowdraw
