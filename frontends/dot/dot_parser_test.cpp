#include "frontends/dot/dot_parser.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_support.h"

namespace {

using testing_support::fileExists;
using testing_support::fixture;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";

struct Parsed {
  int result = -1;
  std::string tree;    // out.xml without the declaration line, "" when absent
  std::string status;  // err.xml
  bool treeWritten = false;
};

Parsed parse(const TempDir& dir, const std::string& dot) {
  writeFile(dir.file("in.dot"), dot);
  Parsed parsed;
  parsed.result = dot::parseDotFile(dir.file("in.dot"), dir.file("out.xml"), dir.file("err.xml"));
  parsed.status = readFile(dir.file("err.xml"));
  parsed.treeWritten = fileExists(dir.file("out.xml"));
  if (parsed.treeWritten && parsed.result == 0) {
    std::string text = readFile(dir.file("out.xml"));
    const std::string declaration = kDeclaration;
    EXPECT_EQ(text.substr(0, declaration.size()), declaration);
    parsed.tree = text.substr(std::min(text.size(), declaration.size()));
  }
  return parsed;
}

// Whole trees: a small graph with a node and an edge, and two inputs that
// between them take every scanner rule and every grammar alternative that
// a layout can reach: keywords in any case,
// comments, strings over two lines, continuations and escapes kept as
// pieces, the five escapes of the tree format, a Latin-1 byte, simple and
// broken HTML names, the number forms, skipped bytes, ports, chained
// edges, empty strings, both subgraph forms and "strict".
TEST(DotParser, WritesTheTreesOfTheCaseFixturesByteForByte) {
  for (const char* name : {"small_graph", "grammar_cases", "scanner_cases"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    const std::string out = dir.file("out.xml");
    ASSERT_EQ(dot::parseDotFile(fixture(std::string("dot/") + name + ".dot").string(), out,
                                     dir.file("err.xml")),
              0);
    EXPECT_EQ(readFile(out), readFile(fixture(std::string("dot/") + name + ".out.xml")));
    EXPECT_EQ(readFile(dir.file("err.xml")), "<ParseSuccess/>");
  }
}

TEST(DotParser, WritesAnEmptyGraphAsItsThreeTokens) {
  TempDir dir;
  Parsed parsed = parse(dir, "graph { }");
  ASSERT_EQ(parsed.result, 0);
  EXPECT_EQ(parsed.tree,
            "<graph>\n<grp_digrp>\n<GRAPH l=\"1\" t=\"graph\"/></grp_digrp>\n"
            "<CUO l=\"1\" t=\"{\"/><CUC l=\"1\" t=\"}\"/></graph>\n\n");
}

// Each parse starts again at line 1 with a fresh scanner.
TEST(DotParser, ParsesTheSameFileTwiceAlike) {
  TempDir dir;
  const std::string first = parse(dir, "digraph {\n a;\n}\n").tree;
  const std::string second = parse(dir, "digraph {\n a;\n}\n").tree;
  EXPECT_EQ(first, second);
  EXPECT_NE(first.find("<CHAR_STR l=\"2\" t=\"a\"/>"), std::string::npos);
}

TEST(DotParser, ReportsTheLineWhereASyntaxErrorStops) {
  const struct {
    const char* dot;
    int line;
  } cases[] = {
      {"", 1},
      {"\n\n", 3},
      {"digraph {\n a:p:ne -> b;\n}\n", 2},  // no compass point after a port name
      {"digraph {\n a -> ;\n}\n", 2},
      {"digraph {\n a;\n", 3},                // end of input before the closing brace
      {"digraph {\n a [label=\"open\n", 3},   // unterminated string
      {"digraph {\n a /* open\n }\n", 4},     // unterminated comment
      {"digraph { a }\ndigraph { b }\n", 2},   // a second graph
      {"node { a }", 1},
      {"digraph { a [b=c=d] }", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dot);
    TempDir dir;
    Parsed parsed = parse(dir, c.dot);
    EXPECT_EQ(parsed.result, 1);
    EXPECT_EQ(parsed.status, "<ParseError line=\"" + std::to_string(c.line) + "\"/>");
    EXPECT_FALSE(parsed.treeWritten);
  }
}

// A failed parse leaves the tree of an earlier run as it was: callers that
// must not read it remove it first.
TEST(DotParser, LeavesAnEarlierTreeAloneOnFailure) {
  TempDir dir;
  writeFile(dir.file("out.xml"), "earlier tree");
  Parsed parsed = parse(dir, "digraph {");
  EXPECT_EQ(parsed.result, 1);
  EXPECT_EQ(readFile(dir.file("out.xml")), "earlier tree");
}

TEST(DotParser, FailsWithoutWritingWhenFilesCannotBeOpened) {
  TempDir dir;
  writeFile(dir.file("in.dot"), "digraph { a }");
  const std::string missingFolder = dir.file("missing/out.xml");

  // No layout, or a folder, a pipe or a device in its place (a pipe
  // would block the read for good): nothing written.
  ASSERT_EQ(testing_support::runShell("mkfifo '" + dir.file("pipe.dot") + "'"), 0);
  EXPECT_EQ(dot::parseDotFile(dir.file("none.dot"), dir.file("out.xml"), dir.file("err.xml")), 1);
  EXPECT_EQ(dot::parseDotFile(dir.path().string(), dir.file("out.xml"), dir.file("err.xml")), 1);
  EXPECT_EQ(dot::parseDotFile(dir.file("pipe.dot"), dir.file("out.xml"), dir.file("err.xml")), 1);
  EXPECT_EQ(dot::parseDotFile("/dev/null", dir.file("out.xml"), dir.file("err.xml")), 1);
  EXPECT_FALSE(fileExists(dir.file("err.xml")));
  EXPECT_FALSE(fileExists(dir.file("out.xml")));

  // No status file: nothing written either.
  EXPECT_EQ(dot::parseDotFile(dir.file("in.dot"), dir.file("out.xml"), missingFolder), 1);
  EXPECT_FALSE(fileExists(dir.file("out.xml")));

  // A tree that cannot be written is a failure, and the status says so.
  EXPECT_EQ(dot::parseDotFile(dir.file("in.dot"), missingFolder, dir.file("err.xml")), 1);
  EXPECT_EQ(readFile(dir.file("err.xml")), "<ParseError line=\"1\"/>");
}

TEST(DotParser, RejectsBinaryInputWithoutCrashing) {
  TempDir dir;
  std::string bytes;
  for (int i = 0; i < 65536; ++i) bytes += static_cast<char>((i * 2654435761u) >> 24);
  Parsed parsed = parse(dir, bytes);
  EXPECT_EQ(parsed.result, 1);
  EXPECT_EQ(parsed.status.rfind("<ParseError line=\"", 0), 0u);
}

// A NUL byte inside a quoted value is copied like any other byte; the
// tree is then no XML a reader accepts, so the layout reads as unusable.
TEST(DotParser, CopiesANulByteIntoTheTree) {
  TempDir dir;
  using namespace std::string_literals;
  Parsed parsed = parse(dir, "digraph { a [label=\"x\0y\"] }"s);
  ASSERT_EQ(parsed.result, 0);
  EXPECT_NE(parsed.tree.find("t=\"x\0y\""s), std::string::npos);
}

// The parser's stacks grow past their first 100000 entries and stop at
// 1000000.  Every statement of a list holds two entries until the list
// ends, so with one statement per line the stack is full on line 499999
// (statement 499998): a longer list is a parse error there, not a crash.
TEST(DotParser, GrowsItsStacksUpToTheirLimit) {
  TempDir dir;
  std::string many = "digraph {\n";
  for (int i = 0; i < 60000; ++i) many += "a;";
  many += "\n}\n";
  Parsed parsed = parse(dir, many);
  ASSERT_EQ(parsed.result, 0);
  size_t statements = 0;
  for (size_t at = parsed.tree.find("<stmt>"); at != std::string::npos;
       at = parsed.tree.find("<stmt>", at + 1))
    ++statements;
  EXPECT_EQ(statements, 60000u);

  std::string tooMany = "digraph {\n";
  for (int i = 0; i < 510000; ++i) tooMany += "a;\n";
  tooMany += "}\n";
  Parsed overflow = parse(dir, tooMany);
  EXPECT_EQ(overflow.result, 1);
  EXPECT_EQ(overflow.status, "<ParseError line=\"499999\"/>");
}

}  // namespace
