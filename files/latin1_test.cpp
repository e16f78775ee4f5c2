#include "files/latin1.h"

#include <gtest/gtest.h>

TEST(Latin1, EveryByteRoundTrips) {
  std::string all;
  for (int c = 1; c < 256; ++c) all.push_back(static_cast<char>(c));
  EXPECT_EQ(files::utf8ToLatin1(files::latin1ToUtf8(all)), all);
}

TEST(Latin1, Utf8BeyondLatin1AndBrokenSequences) {
  EXPECT_EQ(files::utf8ToLatin1("\xE2\x82\xAC"), "?");          // euro sign
  EXPECT_EQ(files::utf8ToLatin1("\xF0\x9F\x98\x80!"), "?!");    // outside the BMP
  EXPECT_EQ(files::utf8ToLatin1("a\xE9z"), "a\xE9z");            // not UTF-8: kept
  EXPECT_EQ(files::utf8ToLatin1("\xC3"), "\xC3");                // cut off: kept
  EXPECT_TRUE(files::isAscii("plain"));
  EXPECT_FALSE(files::isAscii("caf\xE9"));
}
