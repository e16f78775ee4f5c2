#include "engine/flowchart_model/number_text.h"

#include <gtest/gtest.h>

#include <cmath>

#include "xml/document.h"

namespace flowchart {
namespace {

TEST(NumberText, LeadingIntReadsLikeAtoiWithoutOverflow) {
  EXPECT_EQ(leadingInt("17"), 17);
  EXPECT_EQ(leadingInt("  -3x"), -3);
  EXPECT_EQ(leadingInt("+8"), 8);
  EXPECT_EQ(leadingInt("17th"), 17);
  EXPECT_EQ(leadingInt(""), 0);
  EXPECT_EQ(leadingInt("abc"), 0);
  EXPECT_EQ(leadingInt("- 5"), 0);
  EXPECT_EQ(leadingInt("99999999999999999999"), 2147483647);
  EXPECT_EQ(leadingInt("-99999999999999999999"), -2147483647 - 1);
  EXPECT_EQ(leadingInt("-2147483648"), -2147483647 - 1);
}

TEST(NumberText, XPathNumberFollowsTheStringToNumberRule) {
  EXPECT_EQ(xpathNumber("5"), 5);
  EXPECT_EQ(xpathNumber(" \t5\n"), 5);
  EXPECT_EQ(xpathNumber("-1"), -1);
  EXPECT_EQ(xpathNumber("5.0"), 5);
  EXPECT_EQ(xpathNumber(".5"), 0.5);
  for (const char* text : {"", " ", "+1", "1e3", "5x", "0x10", "-", "."}) EXPECT_TRUE(std::isnan(xpathNumber(text))) << text;
  EXPECT_TRUE(xpathEqualsInt("007", 7));
  EXPECT_FALSE(xpathEqualsInt("", 0));
}

// The literal selects exactly the attribute holding the text, whatever
// quotes it holds, and nothing else.
TEST(NumberText, XPathLiteralMatchesExactlyItsText) {
  const char* names[] = {"plain", "with \"double\"", "with 'single'", "both \" and '", "\"", "'\"'", "]|//*"};
  std::string xml = "<r>";
  for (const char* n : names) {
    std::string escaped;
    for (const char* c = n; *c; ++c) escaped += *c == '"' ? "&quot;" : *c == '\'' ? "&apos;" : std::string(1, *c);
    xml += "<e n=\"" + escaped + "\"/>";
  }
  xml += "</r>";
  auto doc = xml::Document::loadText(xml);
  ASSERT_TRUE(doc);
  for (const char* n : names) {
    xml::NodeList found = doc->root().selectNodes("//e[@n=" + xpathLiteral(n) + "]");
    ASSERT_EQ(found.size(), 1u) << n;
    EXPECT_EQ(found[0].selectSingleNode("@n").value(), n);
  }
}

}  // namespace
}  // namespace flowchart
