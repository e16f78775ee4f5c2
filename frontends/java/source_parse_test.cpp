// The tree document built node by node is the document the tree file of
// the same parse loads as, on every Java source of the fixtures (Java 5
// and modern grammar, ISO-8859-1 and UTF-8, text blocks with line breaks).
#include "frontends/java/source_parse.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/test_support.h"
#include "xml/tree_file.h"

namespace java {
namespace {

class StringSink : public tree::TextSink {
 public:
  explicit StringSink(std::string& out) : out_(out) {}
  bool write(std::string_view bytes) override {
    out_.append(bytes);
    return true;
  }

 private:
  std::string& out_;
};

// Whether the source parses at the level; the two documents compared when it does.
bool parsesToTheSameDocument(const std::string& source, int level, const std::string& what) {
  ParseOptions options;
  options.languageLevel = level;
  options.enumKeyword = level >= 5 || level == 0;
  SourceParse parse = SourceParse::ofText(source, options);
  if (!parse.status().parsed()) return false;
  std::string text(xml::kTreeDeclaration);
  StringSink sink(text);
  EXPECT_TRUE(parse.writeTree(sink));
  const std::unique_ptr<xml::Document> loaded = xml::Document::loadOwnedText(std::move(text));
  const std::unique_ptr<xml::Document> built = parse.treeDocument();
  EXPECT_TRUE(loaded && built) << what;
  if (loaded && built) EXPECT_EQ(built->toText(), loaded->toText()) << what;
  return true;
}

TEST(SourceParse, BuiltTreeIsTheLoadedTree) {
  size_t sources = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(testing_support::fixture(""))) {
    if (entry.path().extension() != ".java") continue;
    const std::string source = testing_support::readFile(entry.path());
    for (int level : {0, 25}) parsesToTheSameDocument(source, level, entry.path().string() + " at level " + std::to_string(level));
    ++sources;
  }
  EXPECT_GT(sources, 20u);
  // What a tree file changes in a value: line breaks and tabs become
  // blanks, bytes above 0x7F are ISO-8859-1 characters, escapes read back.
  EXPECT_TRUE(parsesToTheSameDocument("class T {\n  String s = \"\"\"\r\n  a\tb\n  \xc3\xa9 & <x> \"q\" 'a'\n  \"\"\";\n}\n", 25,
                                      "a text block"));
}

}  // namespace
}  // namespace java
