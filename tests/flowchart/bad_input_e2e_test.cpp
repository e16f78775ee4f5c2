// Mode 8 on missing, malformed and hostile input: a defined exit code, no
// crash, and a results file left byte for byte as it was.
#include <gtest/gtest.h>

#include <filesystem>

#include "xml/tree_file.h"
#include "tests/flowchart/mode8_run.h"

namespace flowchart_e2e {
namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

// A parsed Misc.java in a fresh folder.
class BadInput : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(parseFixture(work, "Misc.java"), 0);
    before = readFile(work.results);
  }
  bool resultsUnchanged() const { return readFile(work.results) == before; }

  TempDir dir;
  WorkFolder work{dir};
  std::string before;
};

TEST_F(BadInput, MissingOrMalformedResultsFile) {
  fs::remove(work.results);
  EXPECT_EQ(buildModel(work, "Misc", "1", "find", "17"), 0);
  EXPECT_FALSE(fs::exists(work.results));

  const std::string cut = before.substr(0, before.size() / 2);
  writeFile(work.results, cut);
  EXPECT_EQ(buildModel(work, "Misc", "1", "find", "17"), 0);
  EXPECT_EQ(readFile(work.results), cut);
}

TEST_F(BadInput, MissingEmptyOrDamagedTreeFile) {
  fs::remove(work.tree);
  EXPECT_EQ(buildModel(work, "Misc", "1", "find", "17"), 0);
  EXPECT_TRUE(resultsUnchanged());

  writeFile(work.tree, "");
  EXPECT_EQ(buildModel(work, "Misc", "1", "find", "17"), 0);
  EXPECT_TRUE(resultsUnchanged());

  writeFile(work.tree, "this is not a compressed tree");
  EXPECT_EQ(buildModel(work, "Misc", "1", "find", "17"), 0);
  EXPECT_TRUE(resultsUnchanged());

  ASSERT_TRUE(xml::writeTreeFile(work.tree, "<Program><MtdDecln>"));  // not well-formed
  EXPECT_EQ(buildModel(work, "Misc", "1", "find", "17"), 0);
  EXPECT_TRUE(resultsUnchanged());
}

// A tree that parses but is not what the grammar writes: the build stops
// on the first query that cannot be answered and saves nothing.
TEST_F(BadInput, TreeThatBreaksTheBuildLeavesTheResultsFileAsItWas) {
  const std::string method =
      "<MtdDecln><MtdDeclr><IDEN l=\"17\" c=\"7\" t=\"find\"/></MtdDeclr><MtdBody><Blk>"
      "<OBR l=\"17\" c=\"40\" t=\"{\"/>";
  const std::string badStatements[] = {
      "<Stmt></Stmt>",                                                    // no statement inside
      "<Stmt><SelStmt><IF l=\"18\" c=\"5\" t=\"if\"/></SelStmt></Stmt>",  // an if without its parts
      "<Stmt><IterStmt><WHILE l=\"18\" c=\"5\" t=\"while\"/></IterStmt></Stmt>",
      "<Stmt><GrdingStmt><TRY l=\"18\" c=\"5\" t=\"try\"/></GrdingStmt></Stmt>",
  };
  for (const std::string& statement : badStatements) {
    ASSERT_TRUE(xml::writeTreeFile(work.tree, "<Program>" + method + statement +
                                                     "<CBR l=\"27\" c=\"3\" t=\"}\"/></Blk></MtdBody></MtdDecln></Program>"));
    EXPECT_EQ(buildModel(work, "Misc", "1", "find", "17"), 0) << statement;
    EXPECT_TRUE(resultsUnchanged()) << statement;
  }
}

TEST_F(BadInput, CommentsFileMissingMalformedOrWithoutTexts) {
  const std::string expected = expectedModel("Misc.find.17.model");
  std::string withoutComments;
  for (size_t start = 0; start < expected.size();) {
    size_t end = expected.find('\n', start) + 1;
    std::string line = expected.substr(start, end - start);
    if (line.find("hint COMMENT") == std::string::npos) withoutComments += line;
    start = end;
  }

  EXPECT_EQ(buildModel(work, "Misc", "1", "find", "17", work.source, work.folder + "/missing.xml"), 1);
  EXPECT_EQ(modelOf(work, "find", "17"), withoutComments);

  writeFile(work.results, before);
  writeFile(work.comments, "<preprocessor><cmt l=\"19\" t=\"x\"/>");  // cut off
  EXPECT_EQ(buildModel(work, "Misc", "1", "find", "17"), 1);
  EXPECT_EQ(modelOf(work, "find", "17"), withoutComments);

  // A comment line without its text where one is looked up stops the build.
  writeFile(work.results, before);
  writeFile(work.comments, "<preprocessor><cmt l=\"19\"/></preprocessor>");
  EXPECT_EQ(buildModel(work, "Misc", "1", "find", "17"), 0);
  EXPECT_TRUE(resultsUnchanged());
}

TEST_F(BadInput, ClassOrMethodThatIsNotThere) {
  EXPECT_EQ(buildModel(work, "Nope", "1", "find", "17"), 0);
  EXPECT_EQ(buildModel(work, "Misc", "2", "find", "17"), 0);
  EXPECT_EQ(buildModel(work, "Misc", "1", "lost", "17"), 0);
  EXPECT_EQ(buildModel(work, "Misc", "1", "find", "18"), 0);
  EXPECT_EQ(buildModel(work, "Misc", "1", "#Block#", "5"), 0);
  EXPECT_TRUE(resultsUnchanged());
}

// Names are compared as whole strings, whatever quotes or XPath they hold.
TEST_F(BadInput, NamesHoldingQuotesOrXPath) {
  const char* classNames[] = {"x\" or \"a\"=\"a", "x' or 'a'='a", "Misc\"", "a\"b'c", "]", "Misc\"]|//rclass[\""};
  for (const char* name : classNames) {
    EXPECT_EQ(buildModel(work, name, "1", "find", "17"), 0) << name;
  }
  const char* methodNames[] = {"x\" or \"a\"=\"a", "find\"", "f'\"", "*"};
  for (const char* name : methodNames) {
    EXPECT_EQ(buildModel(work, "Misc", "1", name, "17"), 0) << name;
  }
  EXPECT_TRUE(resultsUnchanged());
}

TEST_F(BadInput, NumbersThatAreNotNumbers) {
  EXPECT_EQ(buildModel(work, "Misc", "one", "find", "17"), 0);
  EXPECT_EQ(buildModel(work, "Misc", "1", "find", "seventeen"), 0);
  EXPECT_EQ(buildModel(work, "Misc", "99999999999999999999", "find", "17"), 0);
  EXPECT_EQ(buildModel(work, "Misc", "1", "find", "-99999999999999999999"), 0);
  EXPECT_TRUE(resultsUnchanged());
  // A number is read up to its first non-digit.
  EXPECT_EQ(buildModel(work, "Misc", " 1", "find", "17th"), 1);
  EXPECT_EQ(modelOf(work, "find", "17"), expectedModel("Misc.find.17.model"));
}

// A source that cannot be read builds nothing: a model with empty texts
// would stay for good, since a later run finds it already there.  With a
// shorter source the texts are cut from what is there.
TEST_F(BadInput, SourceMissingOrShorterThanTheTree) {
  for (const std::string& source : {work.folder + "/gone.java", work.folder}) {
    EXPECT_EQ(buildModel(work, "Misc", "1", "check", "29", source, work.comments), 0) << source;
    EXPECT_TRUE(resultsUnchanged()) << source;
  }
  EXPECT_EQ(buildModel(work, "Misc", "1", "check", "29"), 1);
  EXPECT_EQ(modelOf(work, "check", "29"), expectedModel("Misc.check.29.model"));

  writeFile(work.results, before);
  const std::string source = readFile(work.source);
  size_t cut = 0;
  for (int line = 0; line < 32; ++line) cut = source.find('\n', cut) + 1;  // lines 1 to 32
  writeFile(work.source, source.substr(0, cut) + "    while (a <");
  EXPECT_EQ(buildModel(work, "Misc", "1", "check", "29"), 1);
  const std::string model = modelOf(work, "check", "29");
  EXPECT_NE(model.find("block 1 if 30 30 \"if(a > 0 && b > 0 || a < -10)\""), std::string::npos) << model;
  EXPECT_NE(model.find("block 2 while 33 33 \"while(a <\""), std::string::npos) << model;
}

// Lines may end in carriage return and line feed: the texts are the same.
TEST_F(BadInput, CarriageReturnLineFeedSourceGivesTheSameModel) {
  std::string crlf;
  for (char c : readFile(work.source)) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  writeFile(work.source, crlf);
  ASSERT_EQ(testing_support::runEngine({"7", work.source, work.tree, work.comments, work.status, work.results, "1", "x"},
                                       work.folder)
                .exitCode,
            0);
  EXPECT_EQ(buildModel(work, "Misc", "1", "check", "29"), 1);
  EXPECT_EQ(modelOf(work, "check", "29"), expectedModel("Misc.check.29.model"));
}

// A results file that cannot be written is not a model built: exit 0 and
// the old file stays.  The folder is made immutable (possible for root on
// file systems with that attribute); elsewhere the test is skipped.
TEST_F(BadInput, ResultsFileThatCannotBeSavedIsNotABuild) {
  struct Immutable {
    std::string folder;
    bool set = false;
    ~Immutable() {
      if (set) testing_support::runShell("chattr -i '" + folder + "' 2>/dev/null");
    }
  } guard{work.folder};
  guard.set = testing_support::runShell("chattr +i '" + work.folder + "' 2>/dev/null") == 0;
  if (!guard.set || fs::exists(work.folder + "/probe") ||
      testing_support::runShell("touch '" + work.folder + "/probe' 2>/dev/null") == 0) {
    GTEST_SKIP() << "cannot make a folder unwritable here";
  }
  EXPECT_EQ(buildModel(work, "Misc", "1", "find", "17"), 0);
  EXPECT_TRUE(resultsUnchanged());
}

// Bytes above 0x7F in the source reach the model's texts unchanged.
TEST(Latin1, ConditionTextsKeepTheirBytes) {
  TempDir dir;
  WorkFolder work(dir);
  writeFile(work.source, "class L {\n  void f(String s) {\n    if (s == \"caf\xe9\") s = \"\xfc\";\n  }\n}\n");
  ASSERT_EQ(testing_support::runEngine({"7", work.source, work.tree, work.comments, work.status, work.results, "1", "x"},
                                       work.folder)
                .exitCode,
            0);
  ASSERT_EQ(buildModel(work, "L", "1", "f", "2"), 1);
  EXPECT_NE(modelOf(work, "f", "2").find("block 1 if 3 3 \"if(s == \"caf\xe9\")\""), std::string::npos)
      << modelOf(work, "f", "2");
  EXPECT_NE(readFile(work.results).find("if(s == &quot;caf\xe9&quot;)"), std::string::npos);
}

}  // namespace
}  // namespace flowchart_e2e
