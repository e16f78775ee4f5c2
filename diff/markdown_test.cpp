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
            "1 method listed, 0 unchanged.  Marks: `+` added, `\u2212` removed (dashed), `~` changed.\n\n"
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
  const size_t note = cut.find("flowcharts left out to stay within GitHub's comment size: `L.");
  ASSERT_NE(note, std::string::npos) << cut.substr(cut.size() - 600);
  EXPECT_TRUE(cut.size() > 7 && cut.compare(cut.size() - 7, 7, " more.\n") == 0) << cut.substr(cut.size() - 300);
}

}  // namespace
}  // namespace diff
