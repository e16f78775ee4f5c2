// flowchart diff run on pairs of real Java sources, grouped by the kind of
// change a reviewer meets, and on git repositories made for the test.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>

#include "tests/cli/cli_run.h"

namespace {

using nlohmann::json;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

// Runs diff OLD.java NEW.java -o OUT.json on the two sources; the report.
json diffOf(const std::string& before, const std::string& after, int expectedExit = 0) {
  TempDir dir;
  writeFile(dir.path() / "Old.java", before);
  writeFile(dir.path() / "New.java", after);
  const auto run = runFlowchart({"diff", "Old.java", "New.java", "-o", "out.json"}, dir.path());
  EXPECT_EQ(run.exitCode, expectedExit) << run.err;
  return json::parse(readFile(dir.path() / "out.json"));
}

// "change kind text" for each node that is not the same, in order.
std::vector<std::string> nodeChanges(const json& method) {
  std::vector<std::string> out;
  for (const json& node : method["nodes"])
    if (node["change"] != "same")
      out.push_back(node["change"].get<std::string>() + " " + node["kind"].get<std::string>() + " " +
                    node["text"].get<std::string>());
  return out;
}

const json* methodNamed(const json& report, const std::string& signature) {
  for (const json& method : report["methods"])
    if (method["signature"] == signature) return &method;
  return nullptr;
}

// Reformatting, comments and moving a method: nothing is listed.
TEST(DiffCommand, LayoutOnlyChangesListNoMethod) {
  const std::string before =
      "class K {\n"
      "  int a(int x) { if (x > 0) { return x + 1; } return 0; }\n"
      "  String b(String s) { return s == null ? \"a  b\" : s.trim(); }\n"
      "  void c() { for (int i = 0; i < 3; i++) System.out.println(i); }\n"
      "}\n";
  const std::string after =
      "class K {\n"
      "  // moved up, reformatted and commented\n"
      "  void c()\n  {\n    for (int i=0; i<3; i++)   /* loop */\n      System.out.println( i );\n  }\n"
      "  int a(int x) {\n    if (x>0) {\n      return x+1; // one more\n    }\n    return 0;\n  }\n"
      "  /** Trimmed. */\n  String b(String s) {\n    return s == null\n        ? \"a  b\"\n        : s.trim();\n  }\n"
      "}\n";
  const json report = diffOf(before, after);
  EXPECT_EQ(report["methods"].size(), 0u) << report.dump();
  EXPECT_EQ(report["unchanged"], 3);
  // A space inside a literal is no layout.
  std::string literal = before;
  literal.replace(literal.find("\"a  b\""), 6, "\"a b\"");
  const json changed = diffOf(before, literal);
  ASSERT_EQ(changed["methods"].size(), 1u);
  EXPECT_EQ(nodeChanges(changed["methods"][0]),
            std::vector<std::string>{"changed return return s == null ? \"a b\" : s.trim()"});
}

// A new guard clause is its decision and its statement added; a changed
// condition is one changed decision.  The whole report is compared.
TEST(DiffCommand, GuardClauseAndChangedConditionWholeReport) {
  TempDir dir;
  writeFile(dir.path() / "A.java",
            "class G {\n  int f(int[] a) {\n    int n = a.length;\n    return n;\n  }\n"
            "  int g(int x) {\n    if (x > 0) {\n      x--;\n    }\n    return x;\n  }\n}\n");
  writeFile(dir.path() / "B.java",
            "class G {\n  int f(int[] a) {\n    if (a == null) {\n      return 0;\n    }\n    int n = a.length;\n"
            "    return n;\n  }\n  int g(int x) {\n    if (x >= 0) {\n      x--;\n    }\n    return x;\n  }\n}\n");
  const auto run = runFlowchart({"diff", "A.java", "B.java", "-o", "out.json"}, dir.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string expected =
      R"x({"base":"A.java","head":"B.java","methods":[{"change":"changed","file":"B.java","baseFile":"A.java","class":"G","method":"f","signature":"f(int[])","baseMethod":"f(int[])","baseLine":2,"headLine":2,"measures":{"base":{"complexity":1,"cognitive":0,"nloc":4},"head":{"complexity":2,"cognitive":1,"nloc":7}},"nodes":[{"id":"n0","change":"same","kind":"start","text":"f(int[] a)","baseText":"f(int[] a)","baseLines":[],"headLines":[]},{"id":"n1","change":"added","kind":"decision","text":"if (a == null)","baseText":null,"baseLines":[],"headLines":[3]},{"id":"n2","change":"added","kind":"return","text":"return 0","baseText":null,"baseLines":[],"headLines":[4]},{"id":"n3","change":"same","kind":"statement","text":"int n = a.length;","baseText":"int n = a.length;","baseLines":[3],"headLines":[6]},{"id":"n4","change":"same","kind":"return","text":"return n","baseText":"return n","baseLines":[4],"headLines":[7]},{"id":"n5","change":"same","kind":"end","text":"end","baseText":"end","baseLines":[],"headLines":[]}],"edges":[{"from":"n0","to":"n1","kind":"flow","label":"","change":"added"},{"from":"n1","to":"n2","kind":"true","label":"yes","change":"added"},{"from":"n1","to":"n3","kind":"false","label":"no","change":"added"},{"from":"n3","to":"n4","kind":"flow","label":"","change":"same"},{"from":"n2","to":"n5","kind":"flow","label":"","change":"added"},{"from":"n4","to":"n5","kind":"flow","label":"","change":"same"},{"from":"n0","to":"n3","kind":"flow","label":"","change":"removed"}]},{"change":"changed","file":"B.java","baseFile":"A.java","class":"G","method":"g","signature":"g(int)","baseMethod":"g(int)","baseLine":6,"headLine":9,"measures":{"base":{"complexity":2,"cognitive":1,"nloc":6},"head":{"complexity":2,"cognitive":1,"nloc":6}},"nodes":[{"id":"n0","change":"same","kind":"start","text":"g(int x)","baseText":"g(int x)","baseLines":[],"headLines":[]},{"id":"n1","change":"changed","kind":"decision","text":"if (x >= 0)","baseText":"if (x > 0)","baseLines":[7],"headLines":[10]},{"id":"n2","change":"same","kind":"statement","text":"x--;","baseText":"x--;","baseLines":[8],"headLines":[11]},{"id":"n3","change":"same","kind":"return","text":"return x","baseText":"return x","baseLines":[10],"headLines":[13]},{"id":"n4","change":"same","kind":"end","text":"end","baseText":"end","baseLines":[],"headLines":[]}],"edges":[{"from":"n0","to":"n1","kind":"flow","label":"","change":"same"},{"from":"n1","to":"n2","kind":"true","label":"yes","change":"same"},{"from":"n2","to":"n3","kind":"flow","label":"","change":"same"},{"from":"n1","to":"n3","kind":"false","label":"no","change":"same"},{"from":"n3","to":"n4","kind":"flow","label":"","change":"same"}]}],"unchanged":0,"failures":[]})x"
      "\n";
  EXPECT_EQ(readFile(dir.path() / "out.json"), expected);
  // The summary says the same in a line a method.
  const auto summary = runFlowchart({"diff", "A.java", "B.java"}, dir.path());
  EXPECT_EQ(summary.out,
            "B.java:2 G.f changed: +2 nodes; CC 1 \u2192 2\n"
            "B.java:9 G.g changed: ~1; CC 2 \u2192 2\n"
            "2 methods listed, 0 unchanged\n");
}

// Statements reshaped inside the same flow: an extracted variable changes
// the one statement box; a try/finally wrapped round statements adds the
// try and the finally clause's copies, the statements stay.
TEST(DiffCommand, ExtractedVariableAndWrappedTryFinally) {
  const json extracted = diffOf("class E { void f(int a) { use(a * 2 + 1); done(); } void use(int v) {} void done() {} }\n",
                                "class E { void f(int a) { int v = a * 2 + 1; use(v); done(); } void use(int v) {} "
                                "void done() {} }\n");
  ASSERT_EQ(extracted["methods"].size(), 1u);
  EXPECT_EQ(nodeChanges(extracted["methods"][0]),
            std::vector<std::string>{"changed statement int v = a * 2 + 1;\nuse(v);\ndone();"});

  const json wrapped = diffOf(
      "class T { int f(java.io.Reader r) throws Exception { int c = r.read(); if (c < 0) { return -1; } return c; } }\n",
      "class T { int f(java.io.Reader r) throws Exception { try { int c = r.read(); if (c < 0) { return -1; } return c; "
      "} finally { r.close(); } } }\n");
  ASSERT_EQ(wrapped["methods"].size(), 1u);
  const json& method = wrapped["methods"][0];
  // Every node the base had stays the same; what is new is the try, the
  // finally clause's copies and what they run, and the way out they open.
  for (const json& node : method["nodes"]) {
    const std::string kind = node["kind"], text = node["text"];
    if (node["change"] == "added")
      EXPECT_TRUE(kind == "try" || kind == "finally" || kind == "exit" || text == "r.close();") << node.dump();
    else
      EXPECT_EQ(node["change"], "same") << node.dump();
  }
  EXPECT_EQ(nodeChanges(method).front(), "added try try");
}

// Methods that come and go, overloads whose parameters changed, and a
// method renamed with a similar body.
TEST(DiffCommand, DeletedNewOverloadedAndRenamedMethods) {
  const json report = diffOf(
      "class M {\n"
      "  int gone(int x) { return x * 2; }\n"
      "  int put(int k) { if (k > 0) { return k; } return 0; }\n"
      "  int put(String k) { return k.length(); }\n"
      "  int total(int[] xs) { int t = 0; for (int x : xs) { t += x; } if (t > 10) { t = 10; } return t; }\n"
      "  long only(int v) { return v; }\n"
      "}\n",
      "class M {\n"
      "  int sum(int[] xs) { int t = 0; for (int x : xs) { t += x; } if (t > 10) { t = 10; } return t; }\n"
      "  int put(String k) { return k.length(); }\n"
      "  int put(long k) { if (k > 0) { return (int) k; } return 0; }\n"
      "  long only(long v) { return v; }\n"
      "  void fresh() { System.out.println(); }\n"
      "}\n");
  std::vector<std::string> listed;
  for (const json& method : report["methods"])
    listed.push_back(method["change"].get<std::string>() + " " + method["signature"].get<std::string>() + " was " +
                     (method["baseMethod"].is_null() ? "-" : method["baseMethod"].get<std::string>()));
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, (std::vector<std::string>{"added fresh() was -", "changed only(long) was only(int)",
                                              "changed put(long) was put(int)", "removed gone(int) was gone(int)",
                                              "renamed sum(int[]) was total(int[])"}));
  EXPECT_EQ(report["unchanged"], 1);  // put(String)
  const json* renamed = methodNamed(report, "sum(int[])");
  ASSERT_TRUE(renamed);
  EXPECT_EQ(nodeChanges(*renamed), std::vector<std::string>{"changed start sum(int[] xs)"});
  const json* removed = methodNamed(report, "gone(int)");
  ASSERT_TRUE(removed);
  EXPECT_TRUE((*removed)["measures"]["head"].is_null());
  EXPECT_EQ((*removed)["measures"]["base"]["complexity"], 1);
  for (const json& node : (*removed)["nodes"]) EXPECT_EQ(node["change"], "removed");
}

}  // namespace
