// The review comment: names that hold Markdown stay text, and the whole
// comment keeps to its limit however many files and charts it names.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "diff/reports.h"
#include "tests/support/test_support.h"

namespace diff {
namespace {

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

MethodVersion version(const std::string& file, const std::string& className, const std::string& method) {
  MethodVersion out;
  out.file = file;
  out.className = className;
  out.method = method;
  out.signature = method + "()";
  out.line = 7;
  out.measures = Measures{1, 0, 1};
  return out;
}

// A method of head changed: its graph a start, one statement and an end,
// the statement's text changed.
MethodDiff changedMethod(const MethodVersion& base, const MethodVersion& head) {
  MethodDiff method;
  method.base = &base;
  method.head = &head;
  method.graphs.push_back({head.method, std::nullopt, std::nullopt});
  method.nodes = {{"n0", Change::Same, cfg::NodeKind::Start, head.method + "()", {}, {}, {}, 0},
                  {"n1", Change::Changed, cfg::NodeKind::Statement, "run(2);", "run(1);", {8}, {8}, 0},
                  {"n2", Change::Same, cfg::NodeKind::End, "end", {}, {}, {}, 0}};
  method.edges = {{0, 1, cfg::EdgeKind::Flow, "", false, Change::Same}, {1, 2, cfg::EdgeKind::Flow, "", false, Change::Same}};
  return method;
}

// Paths holding backticks, pipes, brackets, a line break and a space:
// each stays one code span (read back by GitHub's own renderer, when it is
// installed), and a link's destination is the path percent-encoded.
TEST(DiffMarkdown, NamesStayText) {
  const std::string hostile = "src/x` ![i](http://e/i.png) **APPROVED** @admin `y|z [l](http://e).java";
  const MethodVersion gone = version(hostile, "Gate", "run");
  Diff diff;
  diff.base = "main";
  diff.head = "HEAD~1";
  MethodDiff removed;
  removed.change = Change::Removed;
  removed.base = &gone;
  diff.methods.push_back(removed);
  diff.failures.push_back({"HEAD~1", "a\nb ``c``.java", 3, "does not parse as Java: '> >' is not an operator"});
  const std::string markdown = diffMarkdown(diff, "https://example.com/o/r/blob/abc/");
  EXPECT_EQ(markdown,
            "## Control-flow changes: main \u2192 HEAD\\~1\n\n"
            "1 method listed, 0 unchanged.  Marks: `+` added, `\u2212` removed (dashed), `~` changed (numbered as in the "
            "table under its chart).\n\n"
            "- ```\"a\\nb ``c``.java\"``` (HEAD\\~1) was not compared: does not parse as Java: '\\> \\>' is not an "
            "operator\n\n"
            "| file | method | change | CC | COG | nodes +/\u2212/~ |\n|---|---|---|---|---|---|\n"
            "| [``src/x` ![i](http://e/i.png) **APPROVED** @admin `y\\|z [l](http://e).java``]"
            "(https://example.com/o/r/blob/abc/src/x%60%20%21%5Bi%5D%28http%3A//e/i.png%29%20%2A%2AAPPROVED%2A%2A%20%40admin"
            "%20%60y%7Cz%20%5Bl%5D%28http%3A//e%29.java) | [`Gate.run()`](https://example.com/o/r/blob/abc/src/x%60%20"
            "%21%5Bi%5D%28http%3A//e/i.png%29%20%2A%2AAPPROVED%2A%2A%20%40admin%20%60y%7Cz%20%5Bl%5D%28http%3A//e%29.java"
            "#L7) | removed | 1 \u2192 \u2013 | 0 \u2192 \u2013 | 0/0/0 |\n");
  if (testing_support::runShell("cmark-gfm --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "cmark-gfm is not installed";
  TempDir dir;
  writeFile(dir.path() / "review.md", markdown);
  ASSERT_EQ(testing_support::runShell("cmark-gfm -e table -e strikethrough -e autolink " +
                                      testing_support::shellQuote((dir.path() / "review.md").string()) + " >" +
                                      testing_support::shellQuote((dir.path() / "review.html").string())),
            0);
  const std::string html = readFile(dir.path() / "review.html");
  for (const char* live : {"<img", "<strong", "<em", "<del", "href=\"http://e"})
    EXPECT_EQ(html.find(live), std::string::npos) << live << "\n" << html;
  EXPECT_NE(html.find("<code>src/x` ![i](http://e/i.png) **APPROVED** @admin `y|z [l](http://e).java</code>"),
            std::string::npos)
      << html;
  EXPECT_NE(html.find("<code>&quot;a\\nb ``c``.java&quot;</code>"), std::string::npos) << html;
  EXPECT_NE(html.find("'&gt; &gt;' is not an operator"), std::string::npos) << html;
  // One table row: the pipe in the path split no cell.
  size_t cells = 0;
  for (size_t at = html.find("<td>"); at != std::string::npos; at = html.find("<td>", at + 1)) ++cells;
  EXPECT_EQ(cells, 6u);
}

// Every part counts against the comment's limit: 1,500 files not compared
// are listed as far as half the comment and then counted; closing notes
// that name long charts take the place of charts rather than pass it.
TEST(DiffMarkdown, EveryPartCountsAgainstTheLimit) {
  Diff many;
  many.base = "base";
  many.head = "head";
  for (int k = 0; k < 1500; ++k)
    many.failures.push_back({"head", "src/main/java/org/example/generated/Unparsable" + std::to_string(k) + ".java", 1,
                             "does not parse as Java"});
  const MethodVersion gone = version("src/A.java", "A", "gone");
  MethodDiff removed;
  removed.change = Change::Removed;
  removed.base = &gone;
  many.methods.push_back(removed);
  const std::string report = diffMarkdown(many, "");
  EXPECT_LE(report.size(), 65536u);
  EXPECT_NE(report.find("- \u2026 and "), std::string::npos);
  EXPECT_NE(report.find(" more files not compared: `-o OUT.json` lists them all.\n\n| file |"), std::string::npos);
  EXPECT_NE(report.find("| `src/A.java` | `A.gone()` | removed |"), std::string::npos);
  std::smatch counted;
  ASSERT_TRUE(std::regex_search(report, counted, std::regex("and ([0-9]+) more files")));
  const std::string line = "- `src/main/java/org/example/generated/Unparsable";
  size_t shown = 0, last = 0;
  for (size_t at = report.find(line); at != std::string::npos; at = report.find(line, at + 1)) ++shown, last = at;
  EXPECT_EQ(shown + std::stoul(counted[1].str()), 1500u);
  EXPECT_LE(last, 65536u / 2);

  // Forty changed methods with names of 300 characters, in a comment of 20,000.
  std::vector<MethodVersion> bases, heads;
  bases.reserve(40);
  heads.reserve(40);
  Diff charts;
  charts.base = "base";
  charts.head = "head";
  for (int k = 0; k < 40; ++k) {
    const std::string name = std::string(300, 'r') + std::to_string(k);
    bases.push_back(version("src/L.java", "L", name));
    heads.push_back(version("src/L.java", "L", name));
  }
  for (int k = 0; k < 40; ++k) charts.methods.push_back(changedMethod(bases[k], heads[k]));
  MarkdownLimits small;
  small.comment = 20000;
  const std::string cut = diffMarkdown(charts, "", small);
  EXPECT_LE(cut.size(), 20000u);
  EXPECT_NE(cut.find("```mermaid\n"), std::string::npos);
  // The rows of the charts left out say why, and none links to a chart the comment does not hold.
  std::smatch closing;
  ASSERT_TRUE(std::regex_search(cut, closing, std::regex("\n([0-9]+) flowcharts not drawn \\(the table says why\\): "
                                                         "`-o DIR` writes the site, which draws them all.\n$")))
      << cut.substr(cut.size() - 600);
  size_t notDrawn = 0;
  for (size_t at = cut.find("(not drawn: the comment's limit)"); at != std::string::npos;
       at = cut.find("(not drawn: the comment's limit)", at + 1))
    ++notDrawn;
  EXPECT_EQ(notDrawn, std::stoul(closing[1].str()));
  const std::regex link("\\(\\[chart\\]\\(#(m[0-9]+)\\)\\)");
  size_t links = 0;
  for (auto it = std::sregex_iterator(cut.begin(), cut.end(), link); it != std::sregex_iterator(); ++it, ++links)
    EXPECT_NE(cut.find("<a id=\"" + (*it)[1].str() + "\"></a>"), std::string::npos) << (*it)[1].str();
  EXPECT_EQ(links + notDrawn, 40u);
}

// A change of production code and of its tests, in a comment with room for
// a few charts: production's go first, the largest change first.
TEST(DiffMarkdown, ProductionCodeIsDrawnBeforeTests) {
  std::vector<MethodVersion> sides;
  sides.reserve(8);
  for (const char* file : {"src/test/java/p/ShopTest.java", "src/main/java/p/Shop.java", "src/it/java/p/ShopIT.java",
                           "src/main/java/p/Cart.java"})
    for (int side = 0; side < 2; ++side) sides.push_back(version(file, file[4] == 'm' ? "Shop" : "ShopTest", "run"));
  Diff diff;
  for (size_t k = 0; k < sides.size(); k += 2) diff.methods.push_back(changedMethod(sides[k], sides[k + 1]));
  // The test's change is the largest.
  diff.methods[0].nodes[2].change = Change::Added;
  MarkdownLimits room;
  room.comment = 2800;
  const std::string report = diffMarkdown(diff, "", room);
  EXPECT_LE(report.size(), room.comment);
  EXPECT_NE(report.find("| `src/main/java/p/Shop.java` | `Shop.run()` ([chart](#m2)) |"), std::string::npos) << report;
  EXPECT_NE(report.find("| `src/main/java/p/Cart.java` | `Shop.run()` ([chart](#m4)) |"), std::string::npos) << report;
  EXPECT_NE(report.find("| `src/test/java/p/ShopTest.java` | `ShopTest.run()` ([chart](#m1)) |"), std::string::npos)
      << report;
  EXPECT_NE(report.find("| `src/it/java/p/ShopIT.java` | `ShopTest.run()` (not drawn: the comment's limit) |"),
            std::string::npos)
      << report;
  EXPECT_LT(report.find("<a id=\"m4\">"), report.find("<a id=\"m1\">"));
  EXPECT_TRUE(isTestSource("src/it/java/p/ShopIT.java") && isTestSource("m/src/integrationTest/java/A.java") &&
              isTestSource("ShopTests.java") && !isTestSource("src/main/java/p/Testing.java"));
}

// A method of 90 boxes with one changed: the changed box with two boxes
// either side, the runs of the others each folded into one box.
TEST(DiffMarkdown, ALargeMethodShowsItsChangedRegion) {
  const MethodVersion base = version("src/Big.java", "Big", "large"), head = base;
  MethodDiff method;
  method.base = &base;
  method.head = &head;
  method.graphs.push_back({"large", std::nullopt, std::nullopt});
  method.nodes.push_back({"n0", Change::Same, cfg::NodeKind::Start, "large()", {}, {}, {}, 0});
  for (int k = 1; k <= 88; ++k)
    method.nodes.push_back({"n" + std::to_string(k), k == 40 ? Change::Changed : Change::Same,
                            cfg::NodeKind::Statement, "s" + std::to_string(k) + "();",
                            k == 40 ? "t40();" : "s" + std::to_string(k) + "();", {k + 1}, {k + 1}, 0});
  method.nodes.push_back({"n89", Change::Same, cfg::NodeKind::End, "end", {}, {}, {}, 0});
  for (size_t k = 0; k + 1 < method.nodes.size(); ++k)
    method.edges.push_back({k, k + 1, cfg::EdgeKind::Flow, "", false, Change::Same});
  EXPECT_EQ(mergedMermaid(method, {}),
            "flowchart TD\n"
            "  n0([\"large()\"])\n"
            "  n1[\"#8942; 37 unchanged boxes\"]\n"
            "  n2[\"s38();\"]\n"
            "  n3[\"s39();\"]\n"
            "  n4[\"~1 s40();\"]\n"
            "  n5[\"s41();\"]\n"
            "  n6[\"s42();\"]\n"
            "  n7[\"#8942; 46 unchanged boxes\"]\n"
            "  n8([\"end\"])\n"
            "  n0 --> n1\n  n1 --> n2\n  n2 --> n3\n  n3 --> n4\n  n4 --> n5\n  n5 --> n6\n  n6 --> n7\n  n7 --> n8\n"
            "  classDef k_start fill:#d5e8d4,stroke:#4f7f45,color:#222222\n"
            "  classDef k_stmt fill:#dae8fc,stroke:#4a6fa5,color:#222222\n"
            "  classDef m_changed stroke:#9a6700,stroke-width:3px\n"
            "  class n0,n8 k_start\n"
            "  class n1,n2,n3,n4,n5,n6,n7 k_stmt\n"
            "  class n4 m_changed\n");
  Diff diff;
  diff.methods.push_back(method);
  EXPECT_NE(diffMarkdown(diff, "").find("| box | before | after |\n|---|---|---|\n| ~1 | L41 `t40();` | L41 `s40();` |\n"),
            std::string::npos);
}

}  // namespace
}  // namespace diff
