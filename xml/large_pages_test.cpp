#include "large_pages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document.h"

// Documents live in the large-page arena: large ones span several chunks
// and a text buffer of its own; freeing them must leave the arena usable.
TEST(LargePages, ManyLargeDocumentsComeAndGo) {
  std::string text = "<r>";
  for (int i = 0; i < 200000; ++i) text += "<e l=\"" + std::to_string(i) + "\" c=\"1\" t=\"x\"/>";
  text += "</r>";
  const std::string latin1 = "<r a=\"\xE9" + std::string(3 << 20, 'x') + "\"/>";  // converted copy
  for (int round = 0; round < 3; ++round) {
    auto big = xml::Document::loadText(text);
    ASSERT_TRUE(big);
    auto converted = xml::Document::loadText(latin1);
    ASSERT_TRUE(converted);
    EXPECT_EQ(big->documentElement().countNodes("e"), 200000u);
    EXPECT_EQ(big->root().selectSingleNode("//e[last()]/@l").value(), "199999");
    EXPECT_EQ(converted->documentElement().selectSingleNode("@a").value().size(), (3u << 20) + 1);
  }
  std::vector<char> buffer(8 << 20);
  xml::adviseLargePages(buffer.data(), buffer.size());  // a hint on any memory is harmless
  buffer[0] = 1;
  EXPECT_EQ(buffer[0], 1);
}
