#include "git/changed_lines.h"

#include <gtest/gtest.h>

namespace {

// git's patch format names a file after "+++ ": plain, with a tab after a
// name that holds a space, or quoted with C escapes; an added line that
// starts with "++ " is no name.
TEST(ChangedLines, ReadsEveryNameGitWritesInAPatch) {
  git::ChangedLines changed;
  changed.addPatch("/repo",
                   "diff --git a/sp ace/A B.java b/sp ace/A B.java\n"
                   "--- a/sp ace/A B.java\t\n"
                   "+++ b/sp ace/A B.java\t\n"
                   "@@ -2,0 +3,2 @@ class A {\n"
                   "+++ b/Fake.java\n"
                   "+x();\n"
                   "diff --git \"a/t\\tab\\\"q\\351.java\" \"b/t\\tab\\\"q\\351.java\"\n"
                   "--- \"a/t\\tab\\\"q\\351.java\"\n"
                   "+++ \"b/t\\tab\\\"q\\351.java\"\n"
                   "@@ -7 +6,0 @@\n"
                   "-gone();\n"
                   "diff --git a/Gone.java b/Gone.java\n"
                   "--- a/Gone.java\n"
                   "+++ /dev/null\n"
                   "@@ -1 +0,0 @@\n"
                   "-class Gone { }\n");
  EXPECT_TRUE(changed.touches("/repo/sp ace/A B.java", 3, 3));
  EXPECT_TRUE(changed.touches("/repo/sp ace/A B.java", 4, 9));
  EXPECT_FALSE(changed.touches("/repo/sp ace/A B.java", 1, 2));
  EXPECT_FALSE(changed.touchesFile("/repo/sp ace/A B.java\t"));
  EXPECT_FALSE(changed.touchesFile("/repo/Fake.java"));
  // Lines deleted after line 6: a method spanning 6 and 7 changed.
  EXPECT_TRUE(changed.touches("/repo/t\tab\"q\xE9.java", 6, 7));
  EXPECT_FALSE(changed.touches("/repo/t\tab\"q\xE9.java", 7, 9));
  EXPECT_FALSE(changed.touchesFile("/repo/Gone.java"));
}

}  // namespace
