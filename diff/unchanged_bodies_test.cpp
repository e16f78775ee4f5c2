#include "diff/unchanged_bodies.h"

#include <gtest/gtest.h>

#include "diff/diff_sources.h"
#include "tests/support/test_support.h"

namespace diff {
namespace {

pipeline::ParsedSource parsed(const std::string& text) {
  errors::Result<pipeline::ParsedSource> source = pipeline::ParsedSource::parseText("A.java", text, 17);
  EXPECT_TRUE(source);
  return std::move(*source);
}

// Only the inner lines of a body head repeats word for word are blanked:
// not a changed one, one holding a class of its own, one on too few lines.
// A line break an escape stands for is no line of the file, so a body
// holding one is blanked as any other.
TEST(UnchangedBodies, BlanksTheInnerLinesOfTheBodiesHeadRepeats) {
  const std::string head =
      "class A {\n"                                            // 1
      "  int same(int x) {\n"                                  // 2
      "    // tidy \\u000a x++;\n"                             // 3
      "    return x + 1;\n"                                    // 4
      "  }\n"                                                  // 5
      "  int changed(int x) {\n"                               // 6
      "    return x + 2;\n"                                    // 7
      "  }\n"                                                  // 8
      "  Runnable holder() {\n"                                // 9
      "    return new Runnable() { public void run() {} };\n"  // 10
      "  }\n"                                                  // 11
      "  void short1() { same(1); }\n"                         // 12
      "}\n";
  const std::string base =
      "class A {\n"
      "  // moved down by a comment\n"
      "  int same(int x) {\n"
      "    // tidy \\u000a x++;\n"
      "    return x + 1;\n"
      "  }\n"
      "  int changed(int x) {\n"
      "    return x - 2;\n"
      "  }\n"
      "  Runnable holder() {\n"
      "    return new Runnable() { public void run() {} };\n"
      "  }\n"
      "  void short1() { same(1); }\n"
      "}\n";
  pipeline::ParsedSource headSource = parsed(head);
  const std::optional<Skeleton> skeleton = skeletonOf(base, headSource);
  ASSERT_TRUE(skeleton);
  ASSERT_EQ(skeleton->bodies.size(), 1u);
  EXPECT_EQ(skeleton->bodies[0].openLine, 3);
  EXPECT_EQ(skeleton->text, base.substr(0, base.find("    // tidy")) + std::string(23, ' ') + "\n" +
                                std::string(17, ' ') + base.substr(base.find("\n  }\n  int changed")));
  pipeline::ParsedSource baseSource = parsed(skeleton->text);
  const std::optional<std::map<size_t, size_t>> blanked = blankedMethods(*skeleton, baseSource, headSource);
  ASSERT_TRUE(blanked);
  ASSERT_EQ(blanked->size(), 1u);
  EXPECT_EQ(baseSource.summary().methods[blanked->begin()->first].name, "same");
  EXPECT_EQ(headSource.summary().methods[blanked->begin()->second].name, "same");
}

// A method whose text stayed while its class was renamed is no twin: its
// base body is read after all, and the removed method has its statements.
TEST(UnchangedBodies, AMethodOfARenamedClassIsReadWhole) {
  testing_support::TempDir folder;
  testing_support::writeFile(folder.path() / "old.java", "class Old {\n  int f(int x) {\n    x++;\n    return x;\n  }\n}\n");
  testing_support::writeFile(folder.path() / "new.java", "class New {\n  int f(int x) {\n    x++;\n    return x;\n  }\n}\n");
  const errors::Result<DiffSides> sides = readPaths(folder.file("old.java"), folder.file("new.java"), DiffReading{17});
  ASSERT_TRUE(sides);
  ASSERT_EQ(sides->base.methods.size(), 1u);
  ASSERT_TRUE(sides->base.methods[0].flow);
  std::string texts;
  for (const cfg::Node& node : sides->base.methods[0].flow->graphs[0].nodes) texts += node.text + ";";
  EXPECT_NE(texts.find("x++"), std::string::npos) << texts;
}

}  // namespace
}  // namespace diff
