// The results file (metrics per file, class and function) and the comments
// file that mode 7 writes beside the tree.
#include <gtest/gtest.h>

#include "tests/java/java_run.h"

using namespace javatest;
using testing_support::TempDir;

namespace {

ParseRun parsed(std::string_view source) {
  TempDir dir;
  ParseRun run = parseSource(dir, source);
  EXPECT_EQ(run.exitCode, 0) << source;
  EXPECT_EQ(run.status, "<ParseSuccess/>") << source;
  EXPECT_EQ(run.err, "");
  return run;
}

// The text of one element from its opening "<func name=..." or "<rclass
// name=..." up to the next line break, which holds its own metrics.
std::string entryOf(const std::string& results, std::string_view tag, std::string_view name) {
  std::string start = "<";
  start.append(tag).append(" name=\"").append(name).append("\"");
  const size_t at = results.find(start);
  if (at == std::string::npos) return "(no " + start + ")";
  const size_t lineEnd = results.find("\r\r\n", at);
  const size_t nextEnd = results.find("\r\r\n", lineEnd + 3);
  return results.substr(at, nextEnd - at);
}

std::string measure(std::string_view id, std::string_view value) {
  return "<measure id=\"" + std::string(id) + "\" value=\"" + std::string(value) + "\"/>";
}

bool holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string functionEntry(std::string_view source, std::string_view name) {
  ParseRun run = parsed(source);
  return entryOf(run.results.value_or(""), "func", name);
}

}  // namespace

TEST(Results, OneLineMethod) {
  EXPECT_EQ(functionEntry("class A {\n  void f() { }\n}\n", "f"),
            "<func name=\"f\" sl=\"2\" el=\"2\" sign=\"void f ( )\">\r\r\n"
            "<result><metrics>" +
                measure("CL_MTD", "0") + measure("POC_MTD", "0.000000") + measure("NLOC_MTD", "1") +
                measure("CC_MTD", "1") + "</metrics><bpv/><hints><hint id=\"PHYSICAL_LINES\" value=\"1\"/>"
                "</hints></result></func>");
}

TEST(Results, DecisionPointsPerMethod) {
  const std::pair<std::string, std::string> cases[] = {
      {"if (a) x(); else y();", "3"},
      {"if (a) x(); else if (b) y();", "3"},
      {"if (a) x(); else if (b) y(); else z();", "4"},
      {"switch (k) { case 1: x(); break; case 2: y(); break; default: z(); }", "4"},
      {"r = a && b || c;", "3"},
      {"r = a ? b : c;", "2"},
      {"for (int i = 0; i < n; i++) while (p) do q(); while (r);", "4"},
      {"try { x(); } catch (E e) { y(); } catch (F f) { z(); } finally { w(); }", "3"},
  };
  for (const auto& [body, cc] : cases) {
    const std::string entry = functionEntry("class A {\n  void f() {\n    " + body + "\n  }\n}\n", "f");
    EXPECT_TRUE(holds(entry, measure("CC_MTD", cc))) << body << "\n" << entry;
  }
}

TEST(Results, SignaturesKeepTheTreeEscapes) {
  ParseRun run = parsed("class A {\n  java.util.List<String> names(Map<K, V> m, int[] a) throws E { return null; }\n}\n");
  EXPECT_TRUE(holds(run.results.value_or(""),
                    "<func name=\"names\" sl=\"2\" el=\"2\" "
                    "sign=\"java . util . List &lt; String &gt; names ( Map &lt; K , V &gt; m , int [] a ) throws E\">"))
      << run.results.value_or("");
}

TEST(Results, InterfacesHaveNoComplexity) {
  ParseRun run = parsed("interface I {\n  void f();\n  int g(int x);\n}\n");
  const std::string results = run.results.value_or("");
  const std::string interfaceEntry = entryOf(results, "rclass", "I");
  EXPECT_TRUE(holds(interfaceEntry, "type=\"IFC\"")) << interfaceEntry;
  EXPECT_TRUE(holds(interfaceEntry, measure("WMC1_CLS", "2"))) << interfaceEntry;
  EXPECT_FALSE(holds(results, "WMC2_CLS")) << results;
  EXPECT_FALSE(holds(results, "CC_MTD")) << results;
  EXPECT_TRUE(holds(results, "<func name=\"f\"")) << results;
}

TEST(Results, StaticInitialiserIsABlockFunction) {
  // The conditional in the field initialiser is a decision met at class
  // scope before the initialiser, so the block function carries it too.
  ParseRun run = parsed("class A {\n  static int x = a ? 1 : 2;\n  static {\n    if (a) x();\n  }\n}\n");
  const std::string entry = entryOf(run.results.value_or(""), "func", "#Block#");
  EXPECT_TRUE(holds(entry, measure("CC_MTD", "3"))) << entry;
  ParseRun plain = parsed("class A {\n  static {\n    if (a) x();\n  }\n}\n");
  const std::string plainEntry = entryOf(plain.results.value_or(""), "func", "#Block#");
  EXPECT_TRUE(holds(plainEntry, measure("CC_MTD", "2"))) << plainEntry;
}

TEST(Results, AnonymousClassSitsInsideItsMethod) {
  ParseRun run = parsed(
      "class A {\n"
      "  void f() {\n"
      "    Runnable r = new Runnable() {\n"
      "      public void run() { if (a) go(); }\n"
      "    };\n"
      "  }\n"
      "}\n");
  const std::string results = run.results.value_or("");
  const size_t method = results.find("<func name=\"f\"");
  const size_t anonymous = results.find("<rclass name=\"Runnable\"");
  const size_t inner = results.find("<func name=\"run\"");
  const size_t methodEnd = results.find("</func>", inner);
  ASSERT_NE(anonymous, std::string::npos) << results;
  EXPECT_TRUE(holds(results.substr(anonymous, 80), "type=\"AIC\"")) << results;
  EXPECT_LT(method, anonymous);
  EXPECT_LT(anonymous, inner);
  // run's own end tag comes first, then the anonymous class closes, then f.
  const std::string closing = "</func>\r\r\n</rclass>\r\r\n</func>";
  EXPECT_EQ(results.compare(methodEnd, closing.size(), closing), 0) << results;
}

TEST(Results, NestedClassesAndEnums) {
  ParseRun run = parsed(
      "class Outer {\n"
      "  class Inner {\n"
      "    int g() { return 1; }\n"
      "  }\n"
      "  enum Colour { RED, GREEN; int h() { return 2; } }\n"
      "}\n");
  const std::string results = run.results.value_or("");
  EXPECT_TRUE(holds(results, "<rclass name=\"Outer\" sl=\"1\" el=\"6\"")) << results;
  EXPECT_TRUE(holds(results, "<rclass name=\"Inner\" sl=\"2\" el=\"4\"")) << results;
  EXPECT_TRUE(holds(results, "<func name=\"g\" sl=\"3\" el=\"3\"")) << results;
  EXPECT_TRUE(holds(results, "<rclass name=\"Colour\"")) << results;
  EXPECT_TRUE(holds(results, "<func name=\"h\"")) << results;
}

TEST(Results, FileMeasuresAndHalstead) {
  // Operators: class, MTD, return; operands: A, INT, f, 1.
  ParseRun run = parsed("class A {\n  int f() { return 1; }\n}\n");
  const std::string results = run.results.value_or("");
  EXPECT_TRUE(holds(results, "<hint id=\"TOTAL_OPERANDS\" value=\"4\"/><hint id=\"TOTAL_OPERATORS\" value=\"3\"/>"
                             "<hint id=\"DIST_OPERANDS\" value=\"4\"/><hint id=\"DIST_OPERATORS\" value=\"3\"/>"))
      << results;
  // V = 7 ln 7 = 13.62 rounds to 14; D = (4/4)(3/2) = 1.5; E = 20.43 rounds to 20.
  EXPECT_TRUE(holds(results, measure("HV_FIL", "14") + measure("HE_FIL", "20"))) << results;
}

TEST(Results, LargeEffortDoesNotWrap) {
  // Many uses of few operands make a large difficulty: 20,000 statements
  // give an effort of about 8.2e9, past 2^32.
  std::string body;
  for (int i = 0; i < 20000; ++i) body += "    x = x + y;\n";
  ParseRun run = parsed("class A {\n  void f() {\n" + body + "  }\n}\n");
  const std::string results = run.results.value_or("");
  const size_t at = results.find("<measure id=\"HE_FIL\" value=\"");
  ASSERT_NE(at, std::string::npos);
  const std::string value = results.substr(at + 28, results.find('"', at + 28) - at - 28);
  ASSERT_FALSE(value.empty());
  EXPECT_NE(value[0], '-') << value;
  EXPECT_GT(std::stoll(value), (1ll << 32)) << value;
}

TEST(Results, UnwritableResultsPathLeavesTheParseSuccessful) {
  TempDir dir;
  ParsePaths paths(dir.path());
  paths.results = (dir.path() / "missing" / "results.xml").string();
  testing_support::writeFile(paths.source, "class A { }\n");
  ParseRun run = parsePaths(paths);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.status, "<ParseSuccess/>");
  EXPECT_FALSE(run.results);
  EXPECT_TRUE(run.tree);
  EXPECT_TRUE(run.comments);
}

TEST(Comments, RecordsPerLine) {
  const std::string head = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><preprocessor>\r\n";
  const std::string tail = "</preprocessor>\r\n";
  const std::pair<std::string, std::string> cases[] = {
      {"class A { }\n", ""},
      {"class A { } // note <1>\n", "<cmt l=\"1\" t=\"// note &lt;1&gt;\"/>\r\r\n"},
      {"/* a\n b\n */ class A { }\n",
       "<cmt l=\"1\" t=\"/* a\"/>\r\r\n<cmt l=\"2\" t=\" b\"/>\r\r\n<cmt l=\"3\" t=\" */\"/>\r\r\n"},
      {"/**/class A { }\n", "<cmt l=\"1\" t=\"/**/\"/>\r\r\n"},
      {"class A { /* x */ } // y\n", "<cmt l=\"1\" t=\"/* x */\"/>\r\r\n<cmt l=\"1\" t=\"// y\"/>\r\r\n"},
      {"// a\r\n/* b\r\n c */ class A { }\r\n",
       "<cmt l=\"1\" t=\"// a\r\"/>\r\r\n<cmt l=\"2\" t=\"/* b\r\"/>\r\r\n<cmt l=\"3\" t=\" c */\"/>\r\r\n"},
      {"class A { } // \"quoted\" & 'single'\n",
       "<cmt l=\"1\" t=\"// &quot;quoted&quot; &amp; &apos;single&apos;\"/>\r\r\n"},
  };
  for (const auto& [source, records] : cases) {
    ParseRun run = parsed(source);
    EXPECT_EQ(run.comments, head + records + tail) << source;
  }
}

TEST(Comments, CommentLinesCountInTheMetrics) {
  ParseRun run = parsed("// one\nclass A {\n  /* two\n     three */\n  void f() { } // four\n}\n");
  const std::string results = run.results.value_or("");
  EXPECT_TRUE(holds(results, measure("CL_MTD_FIL", "4"))) << results;
}

TEST(Comments, MatchesLongerThanTheInputBufferReadWhole) {
  // A comment, a string and a line comment each far longer than the
  // scanner's buffer, so the scanner refills and grows it mid-match.
  const std::string block(3'000'000, 'b');
  const std::string text(2'000'000, 's');
  const std::string line(1'000'000, 'l');
  ParseRun run = parsed("/*" + block + "*/class A {\n  String s = \"" + text + "\"; //" + line + "\n}\n");
  EXPECT_EQ(run.comments, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><preprocessor>\r\n"
                          "<cmt l=\"1\" t=\"/*" + block + "*/\"/>\r\r\n"
                          "<cmt l=\"2\" t=\"//" + line + "\"/>\r\r\n"
                          "</preprocessor>\r\n");
  ASSERT_TRUE(run.tree);
  EXPECT_NE(run.tree->find("<STRLIT l=\"2\" c=\"14\" t=\"&quot;" + text + "&quot;\"/>"), std::string::npos);
  EXPECT_NE(run.tree->find("<SEMI l=\"2\" c=\"" + std::to_string(16 + text.size()) + "\" t=\";\"/>"),
            std::string::npos);
}

// Later Java's constructs in the results file, at the newest level:
// records are classes of type REC, an enum constant's body an anonymous
// class named after the constant, a compact constructor a function; each
// switch rule's "case" and each "when" guard is a decision point, the
// alternatives of a multi-catch are not, and the decisions inside a lambda
// belong to the method around it.
TEST(ModernResults, ClassesFunctionsAndDecisionPoints) {
  TempDir dir;
  const std::string source = testing_support::readFile(testing_support::fixture("flowchart/Modern.java"));
  ParseRun run = parseSource(dir, source, 1, 25);
  ASSERT_EQ(run.status, "<ParseSuccess/>");
  ASSERT_TRUE(run.results);
  const std::string& results = *run.results;
  auto has = [&](const std::string& text) { return results.find(text) != std::string::npos; };
  auto cc = [](int value) { return "<measure id=\"CC_MTD\" value=\"" + std::to_string(value) + "\"/>"; };
  EXPECT_TRUE(has("<func name=\"rules\" sl=\"5\" el=\"18\" sign=\"int rules ( Object o , int k )\">\r\r\n"
                  "<result><metrics><measure id=\"CL_MTD\" value=\"0\"/><measure id=\"POC_MTD\" value=\"0.000000\"/>"
                  "<measure id=\"NLOC_MTD\" value=\"14\"/>" + cc(5)));
  EXPECT_TRUE(has("<func name=\"patterns\" sl=\"20\" el=\"29\""));
  EXPECT_TRUE(has("<measure id=\"NLOC_MTD\" value=\"10\"/>" + cc(8)));  // patterns
  EXPECT_TRUE(has("<measure id=\"NLOC_MTD\" value=\"9\"/>" + cc(2)));   // resources
  EXPECT_TRUE(has("<measure id=\"NLOC_MTD\" value=\"15\"/>" + cc(4)));  // expressions
  EXPECT_TRUE(has("<rclass name=\"Pair\" sl=\"46\" el=\"46\" type=\"REC\">"));
  EXPECT_TRUE(has("<rclass name=\"Point\" sl=\"58\" el=\"63\" type=\"REC\">\r\r\n<result><metrics>"
                  "<measure id=\"WMC2_CLS\" value=\"3\"/><measure id=\"WMC1_CLS\" value=\"2\"/>"));
  EXPECT_TRUE(has("<func name=\"Point\" sl=\"59\" el=\"61\" sign=\"Point\">"));
  EXPECT_TRUE(has("<rclass name=\"PLUS\" sl=\"66\" el=\"68\" type=\"AIC\">"));
  // An interface's methods have no CC, default methods included.
  EXPECT_TRUE(has("<rclass name=\"Shape\" sl=\"72\" el=\"74\" type=\"IFC\">\r\r\n<result><metrics>"
                  "<measure id=\"WMC1_CLS\" value=\"1\"/>"));
  EXPECT_TRUE(has("<func name=\"corners\" sl=\"73\" el=\"73\" sign=\"default int corners ( )\">\r\r\n<result><metrics>"
                  "<measure id=\"CL_MTD\" value=\"0\"/><measure id=\"POC_MTD\" value=\"0.000000\"/>"
                  "<measure id=\"NLOC_MTD\" value=\"1\"/></metrics>"));
}
