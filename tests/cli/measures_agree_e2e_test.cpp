// Every output that shows a method's cyclomatic and cognitive complexity
// shows the same two numbers for it: draw's page of a whole file, list's
// and check's JSON, and the batch site's index and file pages.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "tests/cli/cli_run.h"
#include "text/json_text.h"

namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::TempDir;

// For each method, "FILE:LINE" (the file's name, the method's first line)
// to "CC/COG" ("/" for a method without a body); methods that start on
// one line keep theirs sorted.
using Measures = std::map<std::string, std::vector<std::string>>;

void add(Measures& measures, const std::string& file, const std::string& line, const std::string& cyclomatic,
         const std::string& cognitive) {
  std::vector<std::string>& here = measures[fs::path(file).filename().string() + ":" + line];
  here.push_back(cyclomatic + "/" + cognitive);
  std::sort(here.begin(), here.end());
}

// The methods of a JSON text: each "line" key opens one, of the file the
// last "file" key named (else of `file`), and the "complexity" and
// "cognitive" keys after it fill it.  A key's pattern cannot match inside
// a string, where every quote is escaped.
Measures jsonMeasures(const std::string& json, std::string file) {
  struct Method {
    std::string file, line, cyclomatic, cognitive;
  };
  std::vector<Method> methods;
  static const std::regex kKey(R"re("(file|line|complexity|cognitive)":("(?:[^"\\]|\\.)*"|[^,}\]]*))re");
  for (auto at = std::sregex_iterator(json.begin(), json.end(), kKey); at != std::sregex_iterator(); ++at) {
    const std::string key = (*at)[1];
    std::string value = (*at)[2];
    if (value == "null") value.clear();
    if (key == "file") file = value.substr(1, value.size() - 2);
    else if (key == "line") methods.push_back(Method{file, value, "", ""});
    else if (methods.empty()) ADD_FAILURE() << key << " before any line in " << json;
    else (key == "complexity" ? methods.back().cyclomatic : methods.back().cognitive) = value;
  }
  Measures measures;
  for (const Method& method : methods) add(measures, method.file, method.line, method.cyclomatic, method.cognitive);
  return measures;
}

// The methods of the site's method data (site/methods.js): a file's path,
// then each method's line, CC and cognitive complexity at their places.
Measures siteMeasures(const std::string& script) {
  Measures measures;
  // JSON.parse('...'): the JSON with its backslashes and quotes escaped.
  const size_t start = script.find("('") + 2;
  std::string json;
  for (size_t i = start; i < script.rfind("')"); ++i) json += script[i] == '\\' ? script[++i] : script[i];
  const text::Json data = text::Json::parse(json);
  const auto shown = [](const text::Json& value) { return value.is_null() ? std::string() : value.dump(); };
  for (const text::Json& method : data["methods"])
    add(measures, data["files"][method[0].get<size_t>()][0].get<std::string>(), shown(method[6]), shown(method[8]),
        shown(method[9]));
  return measures;
}

// The texts of the cells of each row of the first table that starts with
// `opening`, tags left out; the header's row first.
std::vector<std::vector<std::string>> tableRows(const std::string& html, const std::string& opening) {
  std::vector<std::vector<std::string>> rows;
  const size_t start = html.find(opening);
  if (start == std::string::npos) return rows;
  const size_t end = html.find("</table>", start);
  for (size_t row = html.find("<tr", start); row < end; row = html.find("<tr", row + 1)) {
    const size_t rowEnd = html.find("</tr>", row);
    std::vector<std::string>& cells = rows.emplace_back();
    for (size_t cell = html.find("<t", row + 3); cell < rowEnd; cell = html.find("<t", cell + 1)) {
      if (html.compare(cell, 3, "<td") != 0 && html.compare(cell, 3, "<th") != 0) continue;
      const size_t from = html.find('>', cell) + 1;
      const size_t to = html.find(html.compare(cell, 3, "<td") == 0 ? "</td>" : "</th>", from);
      std::string text;
      bool inTag = false;
      for (size_t i = from; i < to; ++i) {
        if (html[i] == '<' || html[i] == '>') inTag = html[i] == '<';
        else if (!inTag) text += html[i];
      }
      cells.push_back(text);
      cell = to;
    }
  }
  return rows;
}

// The methods of an HTML table with the columns CC, Cognitive and Line
// (or Lines, "FIRST-LAST"), and File when it spans files.
Measures htmlMeasures(const std::string& html, const std::string& opening, const std::string& file) {
  Measures measures;
  const std::vector<std::vector<std::string>> rows = tableRows(html, opening);
  if (rows.empty()) {
    ADD_FAILURE() << "no " << opening << " in " << html;
    return measures;
  }
  const auto column = [&](std::initializer_list<const char*> names) {
    for (const char* name : names) {
      const auto found = std::find(rows[0].begin(), rows[0].end(), name);
      if (found != rows[0].end()) return static_cast<size_t>(found - rows[0].begin());
    }
    return rows[0].size();
  };
  const size_t fileColumn = column({"File"}), lineColumn = column({"Line", "Lines"});
  const size_t cyclomaticColumn = column({"CC"}), cognitiveColumn = column({"Cognitive"});
  if (lineColumn == rows[0].size() || cyclomaticColumn == rows[0].size() || cognitiveColumn == rows[0].size()) {
    ADD_FAILURE() << "a column is missing from " << opening << " in " << html;
    return measures;
  }
  for (size_t r = 1; r < rows.size(); ++r) {
    const std::vector<std::string>& row = rows[r];
    if (row.size() != rows[0].size()) {
      ADD_FAILURE() << "a row of " << row.size() << " cells in " << opening;
      continue;
    }
    add(measures, fileColumn < row.size() ? row[fileColumn] : file,
        row[lineColumn].substr(0, row[lineColumn].find('-')), row[cyclomaticColumn], row[cognitiveColumn]);
  }
  return measures;
}

void merge(Measures& into, const Measures& more) {
  for (const auto& [key, values] : more) {
    std::vector<std::string>& here = into[key];
    here.insert(here.end(), values.begin(), values.end());
    std::sort(here.begin(), here.end());
  }
}

TEST(MeasuresAgree, DrawListCheckAndTheSiteShowTheSameComplexities) {
  TempDir dir;
  const fs::path examples = testing_support::fixture("examples/java");
  std::vector<fs::path> sources;
  for (const fs::directory_entry& entry : fs::directory_iterator(examples))
    if (entry.path().extension() == ".java") sources.push_back(entry.path());
  std::sort(sources.begin(), sources.end());
  ASSERT_FALSE(sources.empty());

  Measures listed, drawn, filePages;
  const fs::path site = dir.path() / "site";
  const auto batch = runFlowchart({"batch", examples.string(), "-o", site.string(), "--quiet"});
  ASSERT_EQ(batch.exitCode, 0) << batch.err;
  for (const fs::path& source : sources) {
    const std::string name = source.filename().string();
    const auto list = runFlowchart({"list", source.string(), "--json"});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    // Past the classes, whose lines and summed complexities are no method's.
    merge(listed, jsonMeasures(list.out.substr(list.out.find("\"methods\":[")), name));
    const fs::path page = dir.path() / (source.stem().string() + ".html");
    const auto draw = runFlowchart({"draw", source.string(), "-o", page.string()});
    ASSERT_EQ(draw.exitCode, 0) << draw.err;
    merge(drawn, htmlMeasures(readFile(page), "<table class=\"methods\">", name));
    merge(filePages, htmlMeasures(readFile(site / "files" / name / "index.html"),
                                  "<table class=\"sortable\" id=\"file-methods\">", name));
  }
  const auto check = runFlowchart({"check", examples.string(), "--format", "json"});
  ASSERT_EQ(check.exitCode, 0) << check.err;

  EXPECT_GT(listed.size(), 10u);
  EXPECT_EQ(drawn, listed);
  EXPECT_EQ(jsonMeasures(check.out, ""), listed);
  EXPECT_EQ(siteMeasures(readFile(site / "site/methods.js")), listed);
  EXPECT_EQ(filePages, listed);
}

// A method beside an anonymous class's method of the same name on one
// line (the anonymous one written first, in a field or an enum constant's
// body) keeps its own measures and its own graph in list, check (its
// text, SARIF and Code Climate), draw and diff, though the parser lists a
// class's methods before its inner ones.
TEST(MeasuresAgree, SameNamedMethodsOnOneLineKeepTheirOwn) {
  TempDir dir;
  const std::string a =
      "class A { Object o = new Object() { int v(int a) { if (a > 0) { return 1; } if (a < 0) { return 2; } return 3; } }; "
      "int v(int a) { return a; } }\n";
  testing_support::writeFile(dir.file("A.java"), a);
  testing_support::writeFile(
      dir.file("E.java"), "enum E { X { int v(int a) { if (a > 0 && a < 9) { return 1; } return 2; } }; int v(int a) { return a; } }\n");
  const auto list = runFlowchart({"list", "A.java"}, dir.path());
  EXPECT_EQ(list.out,
            "A.java: 2 classes, 2 methods; NLOC 1, Halstead volume 203\n"
            "LINES         NLOC   CC  COG     HV  NAME\n"
            "1-1              1                   class A\n"
            "1-1              1    1    0     25    A.v(int)\n"
            "1-1              1                   anonymous class A.new Object\n"
            "1-1              1    3    2    103    A.new Object.v(int)\n");
  const auto check = runFlowchart({"check", "A.java", "E.java", "--max-cc", "2"}, dir.path());
  EXPECT_EQ(check.exitCode, 3);
  EXPECT_EQ(check.out,
            "A.java:1: A.new Object.v(int): cyclomatic complexity 3 > 2\n"
            "E.java:1: E.new X.v(int): cyclomatic complexity 3 > 2\n");
  // The reports CI reads name the same methods, with both measures.
  const auto report = [&](const std::string& format) {
    const auto checked = runFlowchart({"check", "A.java", "E.java", "--max-cc", "2", "--format", format}, dir.path());
    return text::Json::parse(checked.out);
  };
  std::vector<std::string> sarif;
  const text::Json sarifLog = report("sarif");
  for (const text::Json& result : sarifLog["runs"][0]["results"])
    sarif.push_back(result["locations"][0]["logicalLocations"][0]["fullyQualifiedName"].get<std::string>() + " " +
                    result["properties"]["cyclomaticComplexity"].dump() + "/" +
                    result["properties"]["cognitiveComplexity"].dump());
  EXPECT_EQ(sarif, (std::vector<std::string>{"A.new Object.v(int) 3/2", "E.new X.v(int) 3/2"}));
  std::vector<std::string> codeClimate;
  for (const text::Json& issue : report("codeclimate")) codeClimate.push_back(issue["description"].get<std::string>());
  EXPECT_EQ(codeClimate, (std::vector<std::string>{"A.new Object.v(int): cyclomatic complexity 3 > 2",
                                                   "E.new X.v(int): cyclomatic complexity 3 > 2"}));
  const auto draw = runFlowchart({"draw", "A.java", "A.v", "-o", "v.json"}, dir.path());
  EXPECT_EQ(draw.out, "v.json: A.v, 3 nodes\n");
  fs::create_directories(dir.path() / "old");
  fs::create_directories(dir.path() / "new");
  testing_support::writeFile(dir.file("old/A.java"), a);
  testing_support::writeFile(dir.file("new/A.java"), std::regex_replace(a, std::regex("return a;"), "return a + 1;"));
  const auto diff = runFlowchart({"diff", "old", "new"}, dir.path());
  EXPECT_EQ(diff.out, "A.java:1 A.v changed: ~1; CC 1 \u2192 1\n1 method listed, 1 unchanged\n");
}

}  // namespace
