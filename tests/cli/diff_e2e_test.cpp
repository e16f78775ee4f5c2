// flowchart diff run on pairs of real Java sources, grouped by the kind of
// change a reviewer meets, and on git repositories made for the test.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>

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

// A.java and B.java: B adds a guard clause to f and changes g's condition.
void writeGuardAndChangedCondition(const TempDir& dir) {
  writeFile(dir.path() / "A.java",
            "class G {\n  int f(int[] a) {\n    int n = a.length;\n    return n;\n  }\n"
            "  int g(int x) {\n    if (x > 0) {\n      x--;\n    }\n    return x;\n  }\n}\n");
  writeFile(dir.path() / "B.java",
            "class G {\n  int f(int[] a) {\n    if (a == null) {\n      return 0;\n    }\n    int n = a.length;\n"
            "    return n;\n  }\n  int g(int x) {\n    if (x >= 0) {\n      x--;\n    }\n    return x;\n  }\n}\n");
}

// An edit that looks like a comment's but adds an escaped line break: the
// method's tokens changed, so it is listed as changed, with its hidden
// code, and the gate fails whatever the thresholds.  One that seems to
// comment a statement out but hides it keeps the flow, and is listed too;
// hidden code head only moves is no change.
TEST(DiffCommand, AnEscapeThatHidesCodeIsNoCommentChange) {
  const std::string before = "class K {\n  int tidy(int x) {\n    // tidy up\n    return x;\n  }\n}\n";
  const std::string after =
      "class K {\n  int tidy(int x) {\n    // tidy up \\u000a if (x > 1) x = g();\n    return x;\n  }\n}\n";
  const json report = diffOf(before, after, 3);
  ASSERT_EQ(report["methods"].size(), 1u);
  const json& tidy = report["methods"][0];
  EXPECT_EQ(tidy["change"], "changed");
  EXPECT_EQ(nodeChanges(tidy), (std::vector<std::string>{"added decision if (x > 1)", "added statement x = g();"}));
  EXPECT_EQ(tidy["unicodeEscapes"].dump(),
            "[{\"column\":16,\"endColumn\":22,\"escape\":\"\\\\u000a\",\"line\":3,\"message\":\"Unicode escape \\\\u000a "
            "is a line break that ends a // comment: the rest of the line is code\"}]");
  TempDir dir;
  writeFile(dir.path() / "Old.java", before);
  writeFile(dir.path() / "New.java", after);
  const auto summary = runFlowchart({"diff", "Old.java", "New.java", "--max-cc", "5"}, dir.path());
  EXPECT_EQ(summary.exitCode, 3);
  EXPECT_EQ(summary.out,
            "New.java:2 K.tidy changed: +2 nodes; CC 1 \u2192 2; Unicode escapes hide code at line 3\n"
            "1 method listed, 0 unchanged\n");
  EXPECT_EQ(summary.err,
            "New.java:3:16: K.tidy: Unicode escape \\u000a is a line break that ends a // comment: the rest of the line "
            "is code\n");
  ASSERT_EQ(runFlowchart({"diff", "Old.java", "New.java", "-o", "out.md"}, dir.path()).exitCode, 3);
  EXPECT_NE(readFile(dir.path() / "out.md")
                .find("**Unicode escapes hide code.** javac reads them before anything else, so what it compiles is not "
                      "what the source seems to say; the flowcharts show what it compiles.\n\n"
                      "- `New.java:3:16` `K.tidy(int)`: `Unicode escape \\u000a is a line break that ends a // comment: "
                      "the rest of the line is code`\n\n"
                      "| file | method | change | CC | COG | nodes +/\u2212/~ |\n|---|---|---|---|---|---|\n"
                      "| `New.java` | `K.tidy(int)` ([chart](#m1)) | changed, hidden code at line 3 | 1 \u2192 2 |"),
            std::string::npos);

  const std::string disabled =
      "class K {\n  int tidy(int x) {\n    /* off \\u002a\\u002f x = g(); /* */\n    return x;\n  }\n}\n";
  writeFile(dir.path() / "Old.java", "class K {\n  int tidy(int x) {\n    x = g();\n    return x;\n  }\n}\n");
  writeFile(dir.path() / "New.java", disabled);
  const auto seemsOff = runFlowchart({"diff", "Old.java", "New.java"}, dir.path());
  EXPECT_EQ(seemsOff.exitCode, 3);
  EXPECT_EQ(seemsOff.out,
            "New.java:2 K.tidy changed: the same flow; CC 1 \u2192 1; Unicode escapes hide code at line 3\n"
            "1 method listed, 0 unchanged\n");
  writeFile(dir.path() / "Old.java", disabled);
  writeFile(dir.path() / "New.java", "// moved\n" + disabled);
  const auto moved = runFlowchart({"diff", "Old.java", "New.java"}, dir.path());
  EXPECT_EQ(moved.exitCode, 0);
  EXPECT_EQ(moved.out, "0 methods listed, 1 unchanged\n");
}

// A new guard clause is its decision and its statement added; a changed
// condition is one changed decision.  The whole report is compared.
TEST(DiffCommand, GuardClauseAndChangedConditionWholeReport) {
  TempDir dir;
  writeGuardAndChangedCondition(dir);
  const auto run = runFlowchart({"diff", "A.java", "B.java", "-o", "out.json"}, dir.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string expected =
      R"x({"base":"A.java","head":"B.java","methods":[{"change":"changed","file":"B.java","baseFile":"A.java","class":"G","baseClass":"G","method":"f","signature":"f(int[])","baseMethod":"f(int[])","baseLine":2,"headLine":2,"measures":{"base":{"complexity":1,"cognitive":0,"nloc":4},"head":{"complexity":2,"cognitive":1,"nloc":7}},"nodes":[{"id":"n0","change":"same","kind":"start","text":"f(int[] a)","baseText":"f(int[] a)","baseLines":[],"headLines":[]},{"id":"n1","change":"added","kind":"decision","text":"if (a == null)","baseText":null,"baseLines":[],"headLines":[3]},{"id":"n2","change":"added","kind":"return","text":"return 0","baseText":null,"baseLines":[],"headLines":[4]},{"id":"n3","change":"same","kind":"statement","text":"int n = a.length;","baseText":"int n = a.length;","baseLines":[3],"headLines":[6]},{"id":"n4","change":"same","kind":"return","text":"return n","baseText":"return n","baseLines":[4],"headLines":[7]},{"id":"n5","change":"same","kind":"end","text":"end","baseText":"end","baseLines":[],"headLines":[]}],"edges":[{"from":"n0","to":"n1","kind":"flow","label":"","change":"added"},{"from":"n1","to":"n2","kind":"true","label":"yes","change":"added"},{"from":"n1","to":"n3","kind":"false","label":"no","change":"added"},{"from":"n3","to":"n4","kind":"flow","label":"","change":"same"},{"from":"n2","to":"n5","kind":"flow","label":"","change":"added"},{"from":"n4","to":"n5","kind":"flow","label":"","change":"same"},{"from":"n0","to":"n3","kind":"flow","label":"","change":"removed"}]},{"change":"changed","file":"B.java","baseFile":"A.java","class":"G","baseClass":"G","method":"g","signature":"g(int)","baseMethod":"g(int)","baseLine":6,"headLine":9,"measures":{"base":{"complexity":2,"cognitive":1,"nloc":6},"head":{"complexity":2,"cognitive":1,"nloc":6}},"nodes":[{"id":"n0","change":"same","kind":"start","text":"g(int x)","baseText":"g(int x)","baseLines":[],"headLines":[]},{"id":"n1","change":"changed","kind":"decision","text":"if (x >= 0)","baseText":"if (x > 0)","baseLines":[7],"headLines":[10]},{"id":"n2","change":"same","kind":"statement","text":"x--;","baseText":"x--;","baseLines":[8],"headLines":[11]},{"id":"n3","change":"same","kind":"return","text":"return x","baseText":"return x","baseLines":[10],"headLines":[13]},{"id":"n4","change":"same","kind":"end","text":"end","baseText":"end","baseLines":[],"headLines":[]}],"edges":[{"from":"n0","to":"n1","kind":"flow","label":"","change":"same"},{"from":"n1","to":"n2","kind":"true","label":"yes","change":"same"},{"from":"n2","to":"n3","kind":"flow","label":"","change":"same"},{"from":"n1","to":"n3","kind":"false","label":"no","change":"same"},{"from":"n3","to":"n4","kind":"flow","label":"","change":"same"}]}],"unchanged":0,"failures":[]})x"
      "\n";
  EXPECT_EQ(readFile(dir.path() / "out.json"), expected);
  // The summary says the same in a line a method.
  const auto summary = runFlowchart({"diff", "A.java", "B.java"}, dir.path());
  EXPECT_EQ(summary.out,
            "B.java:2 G.f changed: +2 nodes; CC 1 \u2192 2\n"
            "B.java:9 G.g changed: ~1; CC 2 \u2192 2\n"
            "2 methods listed, 0 unchanged\n");
}

// The site: one drawing page a method, whose base and head views tell a
// screen reader their own side alone: no name shown in the base view
// speaks of the guard clause only the head has, a changed condition is
// told by each side's text, and the base's boxes by the base's lines.
TEST(DiffCommand, SiteViewsTellTheirOwnSide) {
  TempDir dir;
  writeGuardAndChangedCondition(dir);
  const auto run = runFlowchart({"diff", "A.java", "B.java", "-o", "site"}, dir.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::set<std::string> pages;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path() / "site" / "methods"))
    pages.insert(entry.path().filename().string());
  EXPECT_EQ(pages, (std::set<std::string>{"m1.html", "m1-drawing.html", "m2.html", "m2-drawing.html"}));
  // The names each view shows (as the page holds them, escaped): a box whose
  // classes the view hides is not told.
  const auto told = [&](const std::string& page, const std::vector<std::string>& hidden) {
    const std::string html = readFile(dir.path() / "site" / "methods" / page);
    const std::regex box("<g class=\"([^\"]*)\"[^>]*aria-label=\"([^\"]*)\"");
    std::string out;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), box); it != std::sregex_iterator(); ++it) {
      const std::string classes = std::string(1, ' ').append((*it)[1].str()).append(1, ' ');
      if (std::none_of(hidden.begin(), hidden.end(), [&](const std::string& c) { return classes.find(" " + c + " ") != std::string::npos; }))
        out += (*it)[2].str() + "\n";
    }
    return out;
  };
  const std::vector<std::string> inBase = {"head-only", "in-head", "not-in-base"};
  const std::vector<std::string> inHead = {"base-only", "in-base", "not-in-head"};
  const std::string fBase = told("m1-drawing.html", inBase), fHead = told("m1-drawing.html", inHead);
  EXPECT_EQ(fBase.find("a == null"), std::string::npos) << fBase;
  EXPECT_NE(fHead.find("then: decision + if (a == null), line 3"), std::string::npos) << fHead;
  EXPECT_NE(fBase.find("statement: int n = a.length;, line 3; then: return n, line 4"), std::string::npos) << fBase;
  const std::string gBase = told("m2-drawing.html", inBase), gHead = told("m2-drawing.html", inHead);
  EXPECT_NE(gBase.find("decision: ~ if (x &gt; 0), line 7"), std::string::npos) << gBase;
  EXPECT_EQ(gBase.find("x &gt;= 0"), std::string::npos) << gBase;
  EXPECT_NE(gHead.find("decision: ~ if (x &gt;= 0), line 10"), std::string::npos) << gHead;
  EXPECT_EQ(gHead.find("x &gt; 0"), std::string::npos) << gHead;
  // What changed is classed for its paint, and the table of changed boxes leads to each box.
  const std::string f = readFile(dir.path() / "site" / "methods" / "m1-drawing.html");
  EXPECT_NE(f.find("<g class=\"shape head-only mark-added\" data-name=\"b2\" data-master=\"Decision\" data-node=\"n1\""),
            std::string::npos);
  const std::string g = readFile(dir.path() / "site" / "methods" / "m2.html");
  EXPECT_NE(g.find("<tr id=\"node-n1\" class=\"changed\"><td><a href=\"m2-drawing.html?node=n1\" target=\"merged\""),
            std::string::npos);
  EXPECT_NE(g.find("<iframe src=\"m2-drawing.html\" title=\"both versions merged\" name=\"merged\">"), std::string::npos);
  // A page is described as each view shows it: base's f has no decision yet.
  EXPECT_NE(readFile(dir.path() / "site" / "methods" / "m1-drawing.html")
                .find("<desc data-told-base=\"f: no decisions; 2 ways out; 4 boxes.\">f: 1 decision; 3 ways out; 6 boxes."),
            std::string::npos);
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

  // Local classes of one name in two overloads: their methods share a
  // signature, and the one that gained a guard clause shows just that.
  const std::string sink = "{ class Sink implements Runnable { public void run() { GUARDa(); } } return new Sink(); }\n";
  const auto overloads = [&](const std::string& guard) {
    return "class L {\n  Runnable f(int a) " + std::regex_replace(sink, std::regex("GUARD"), "") +
           "  Runnable f(long a) " + std::regex_replace(sink, std::regex("GUARD"), guard) + "  static void a() {}\n}\n";
  };
  const json locals = diffOf(overloads(""), overloads("if (Thread.interrupted()) { return; } "));
  ASSERT_EQ(locals["methods"].size(), 1u);
  EXPECT_EQ(nodeChanges(locals["methods"][0]),
            (std::vector<std::string>{"added decision if (Thread.interrupted())", "added return return"}));

  // A rename and a removal, reformatted on the way: the whole report.
  TempDir dir;
  writeFile(dir.path() / "Old.java", "class R {\n  int twice(int x) { return x * 2; }\n  void gone() { }\n}\n");
  writeFile(dir.path() / "New.java", "class R {\n  int doubled(int x) {\n    return x * 2;\n  }\n}\n");
  ASSERT_EQ(runFlowchart({"diff", "Old.java", "New.java", "-o", "o.json"}, dir.path()).exitCode, 0);
  EXPECT_EQ(
      readFile(dir.path() / "o.json"),
      R"x({"base":"Old.java","head":"New.java","methods":[{"change":"renamed","file":"New.java","baseFile":"Old.java","class":"R","baseClass":"R","method":"doubled","signature":"doubled(int)","baseMethod":"twice(int)","baseLine":2,"headLine":2,"measures":{"base":{"complexity":1,"cognitive":0,"nloc":1},"head":{"complexity":1,"cognitive":0,"nloc":3}},"nodes":[{"id":"n0","change":"changed","kind":"start","text":"doubled(int x)","baseText":"twice(int x)","baseLines":[],"headLines":[]},{"id":"n1","change":"same","kind":"return","text":"return x * 2","baseText":"return x * 2","baseLines":[2],"headLines":[3]},{"id":"n2","change":"same","kind":"end","text":"end","baseText":"end","baseLines":[],"headLines":[]}],"edges":[{"from":"n0","to":"n1","kind":"flow","label":"","change":"same"},{"from":"n1","to":"n2","kind":"flow","label":"","change":"same"}]},{"change":"removed","file":"Old.java","baseFile":"Old.java","class":"R","baseClass":"R","method":"gone","signature":"gone()","baseMethod":"gone()","baseLine":3,"headLine":null,"measures":{"base":{"complexity":1,"cognitive":0,"nloc":1},"head":null},"nodes":[{"id":"bn0","change":"removed","kind":"start","text":"gone()","baseText":null,"baseLines":[],"headLines":[]},{"id":"bn1","change":"removed","kind":"end","text":"end","baseText":null,"baseLines":[],"headLines":[]}],"edges":[{"from":"bn0","to":"bn1","kind":"flow","label":"","change":"removed"}]}],"unchanged":0,"failures":[]})x"
      "\n");
}

// A git repository made for the test, run by the shell with its path quoted.
class Repository {
 public:
  Repository() : git_("git -C " + testing_support::shellQuote(dir_.path().string()) + " -c user.name=t -c user.email=t@t ") {
    EXPECT_EQ(run("init -q"), 0);
  }
  int run(const std::string& arguments) const { return testing_support::runShell(git_ + arguments + " >/dev/null 2>&1"); }
  void commit(const std::string& message) const {
    ASSERT_EQ(run("add -A"), 0);
    ASSERT_EQ(run("commit -qm " + message), 0);
    ASSERT_EQ(run("tag " + message), 0);
  }
  void write(const std::string& name, const std::string& text) const {
    std::filesystem::create_directories((dir_.path() / name).parent_path());
    writeFile(dir_.path() / name, text);
  }
  const std::filesystem::path& path() const { return dir_.path(); }
  // What git status says of the working tree and the index.
  std::string status() const {
    const std::filesystem::path file = dir_.path() / ".git" / "test-status";
    testing_support::runShell(git_ + "status --porcelain -uall >" + testing_support::shellQuote(file.string()) +
                              " 2>/dev/null");
    return readFile(file);
  }

 private:
  TempDir dir_;
  std::string git_;
};

std::string listed(const json& report) {
  std::string out;
  for (const json& method : report["methods"])
    out += method["change"].get<std::string>() + " " + method["file"].get<std::string>() + " " +
           (method["baseFile"].is_null() ? "-" : method["baseFile"].get<std::string>()) + " " +
           method["class"].get<std::string>() + "." + method["signature"].get<std::string>() + "\n";
  return out;
}

// Revisions, the working tree with its new files, a renamed file, a file
// removed whole, paths below a folder and after "--", and the gate.
TEST(DiffCommand, GitRevisionsWorkingTreeAndGate) {
  if (testing_support::runShell("git --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "git is not installed";
  Repository repo;
  repo.write("src/Shop.java", "class Shop {\n  int pay(int a) {\n    return a;\n  }\n}\n");
  repo.write("src/Old.java", "class Old {\n  int f(int a) {\n    if (a > 1) { return 1; }\n    return a;\n  }\n}\n");
  repo.write("src/Gone.java", "class Gone { void g() {} }\n");
  repo.write("-lib/Dash.java", "class Dash { int d() { return 1; } }\n");
  repo.write("notes.txt", "not java\n");
  repo.commit("base");
  // Shop.pay gains a guard; Old.java moves to Moved.java with a changed
  // condition; Gone.java goes; notes.txt is no Java.
  repo.write("src/Shop.java",
             "class Shop {\n  int pay(int a) {\n    if (a < 0) {\n      throw new IllegalArgumentException();\n    }\n"
             "    return a;\n  }\n}\n");
  ASSERT_EQ(repo.run("mv src/Old.java src/Moved.java"), 0);
  repo.write("src/Moved.java",
             "class Old {\n  int f(int a) {\n    if (a > 2) { return 1; }\n    return a;\n  }\n}\n");
  ASSERT_EQ(repo.run("rm -q src/Gone.java"), 0);
  repo.write("notes.txt", "still not java\n");
  repo.commit("head");
  const auto revisions = runFlowchart({"diff", "base", "head", "-o", "out.json"}, repo.path());
  ASSERT_EQ(revisions.exitCode, 0) << revisions.err;
  const json report = json::parse(readFile(repo.path() / "out.json"));
  EXPECT_EQ(report["base"], "base");
  EXPECT_EQ(report["head"], "head");
  EXPECT_EQ(listed(report),
            "removed src/Gone.java src/Gone.java Gone.g()\n"
            "changed src/Moved.java src/Old.java Old.f(int)\n"
            "changed src/Shop.java src/Shop.java Shop.pay(int)\n");
  EXPECT_EQ(report["unchanged"], 0);

  // The working tree: an edit not committed and a new file; from a
  // folder below the top, with a path.
  repo.write("src/Shop.java", readFile(repo.path() / "src/Shop.java") + "// a comment only\n");
  repo.write("src/New.java", "class New { int n(int x) { return x > 0 ? x : -x; } }\n");
  repo.write("-lib/Dash.java", "class Dash { int d() { return 2; } }\n");
  const auto tree = runFlowchart({"diff", "head", "."}, repo.path() / "src");
  EXPECT_EQ(tree.exitCode, 0) << tree.err;
  EXPECT_EQ(tree.out, "src/New.java:1 New.n added: 3 nodes; CC - \u2192 2\n1 method listed, 1 unchanged\n");
  // A path that starts with a dash, after "--".
  const auto dashed = runFlowchart({"diff", "head", "--", "-lib"}, repo.path());
  EXPECT_EQ(dashed.exitCode, 0) << dashed.err;
  EXPECT_EQ(dashed.out, "-lib/Dash.java:1 Dash.d changed: ~1; CC 1 \u2192 1\n1 method listed, 0 unchanged\n");

  // A file moved in the working tree to a name git does not track yet is
  // followed as git follows a tracked one (read-only: the index is left as
  // it was); when the moved file does not parse, its methods are not
  // listed as removed.
  std::filesystem::rename(repo.path() / "src/Moved.java", repo.path() / "src/Again.java");
  repo.write("src/Again.java",
             "class Old {\n  int f(int a) {\n    if (a >= 2) { return 1; }\n    return a;\n  }\n}\n");
  const std::string status = repo.status();
  TempDir out;
  const auto moved = runFlowchart({"diff", "head", "-o", (out.path() / "moved.json").string()}, repo.path());
  EXPECT_EQ(moved.exitCode, 0) << moved.err;
  EXPECT_EQ(listed(json::parse(readFile(out.path() / "moved.json"))),
            "changed -lib/Dash.java -lib/Dash.java Dash.d()\n"
            "changed src/Again.java src/Moved.java Old.f(int)\n"
            "added src/New.java - New.n(int)\n");
  EXPECT_EQ(repo.status(), status);
  repo.write("src/Again.java", "class Old {\n  int f(int a) {\n    if (a >= 2) { return 1; }\n    return a;\n  }\n");
  const auto broken = runFlowchart({"diff", "head", "-o", (out.path() / "broken.json").string(), "--", "src"}, repo.path());
  EXPECT_EQ(broken.exitCode, 1) << broken.err;
  EXPECT_EQ(listed(json::parse(readFile(out.path() / "broken.json"))), "added src/New.java - New.n(int)\n");

  // The gate: on changed and new methods of the head, and on a rise.
  const auto over = runFlowchart({"diff", "base", "head", "--max-cc", "1", "-o", "gate.json"}, repo.path());
  EXPECT_EQ(over.exitCode, 3) << over.err;
  EXPECT_NE(over.err.find("src/Shop.java:2: Shop.pay: cyclomatic complexity 2 > 1"), std::string::npos) << over.err;
  EXPECT_EQ(runFlowchart({"diff", "base", "head", "--max-cc", "2"}, repo.path()).exitCode, 0);
  const auto rose = runFlowchart({"diff", "base", "head", "--max-increase-cc", "0"}, repo.path());
  EXPECT_EQ(rose.exitCode, 3);
  EXPECT_NE(rose.err.find("Shop.pay: cyclomatic complexity rose by 1 > 0"), std::string::npos) << rose.err;
  EXPECT_EQ(runFlowchart({"diff", "base", "head", "--max-increase-cognitive", "1"}, repo.path()).exitCode, 0);
}

// Bad input: a file that does not parse on one side is listed with its
// error and the rest compared (exit 1); a binary .java file; an unknown
// revision and a folder outside any repository (exit 2).
TEST(DiffCommand, BadInput) {
  if (testing_support::runShell("git --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "git is not installed";
  Repository repo;
  repo.write("A.java", "class A { int a() { return 1; } }\n");
  repo.write("B.java", "class B { int b() { return 1; } }\n");
  repo.write("C.java", "class C { int c() { return 1; } }\n");
  repo.commit("base");
  repo.write("A.java", "class A { int a() { return 1 }\n");
  repo.write("B.java", "class B { int b() { return 2; } }\n");
  repo.write("C.java", std::string("\0\1binary", 8));
  const auto run = runFlowchart({"diff", "base", "-o", "out.json"}, repo.path());
  EXPECT_EQ(run.exitCode, 1) << run.err;
  const json report = json::parse(readFile(repo.path() / "out.json"));
  EXPECT_EQ(listed(report), "changed B.java B.java B.b()\n");
  ASSERT_EQ(report["failures"].size(), 2u);
  EXPECT_EQ(report["failures"][0]["file"], "A.java");
  EXPECT_EQ(report["failures"][0]["side"], "working tree");
  EXPECT_EQ(report["failures"][1]["message"], "a binary file, not compared");
  EXPECT_NE(run.err.find("A.java:1: "), std::string::npos) << run.err;

  const auto unknown = runFlowchart({"diff", "no-such-rev", "--", "."}, repo.path());
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_EQ(unknown.err, "flowchart: unknown git revision 'no-such-rev'\n");
  // Before "--", a name that is neither a revision nor a path here is
  // refused as git refuses it; after it, a path is a path.  A range is no
  // revision.
  const std::string ambiguous = ": unknown revision or path not in the working tree; put paths after '--' "
                                "(flowchart diff BASE [HEAD] -- PATH...)\n";
  for (const std::vector<std::string>& args : {std::vector<std::string>{"diff", "base", "HAED", "--max-cc", "2"},
                                               std::vector<std::string>{"diff", "base", "base", "HAED"}}) {
    const auto typo = runFlowchart(args, repo.path());
    EXPECT_EQ(typo.exitCode, 2);
    EXPECT_EQ(typo.err, "flowchart: ambiguous argument 'HAED'" + ambiguous);
  }
  const auto later = runFlowchart({"diff", "base", "--", "HAED"}, repo.path());
  EXPECT_EQ(later.exitCode, 0) << later.err;
  EXPECT_EQ(later.out, "0 methods listed, 0 unchanged\n");
  for (const std::string& range : {"^base", "base..base", "base^!"}) {
    const auto refused = runFlowchart({"diff", range}, repo.path());
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(refused.err, "flowchart: '" + range + "' is git's syntax for a range of commits; diff compares two "
                           "revisions: give them as BASE HEAD (flowchart diff main HEAD)\n");
  }
  // -o names what is written: a form diff writes, or a folder.
  const auto html = runFlowchart({"diff", "base", "-o", "review.html"}, repo.path());
  EXPECT_EQ(html.exitCode, 2);
  EXPECT_EQ(html.err, "flowchart: diff: cannot write 'review.html': no report has the extension .html; name the "
                      "output .json (for tools), .md (a pull-request comment), or a folder for the HTML site: a name "
                      "without an extension, or ending in /\nRun 'flowchart help diff' for usage.\n");
  EXPECT_FALSE(std::filesystem::exists(repo.path() / "review.html"));
  EXPECT_EQ(runFlowchart({"diff", "base", "-o", "site.d/"}, repo.path()).exitCode, 1);
  EXPECT_TRUE(std::filesystem::exists(repo.path() / "site.d" / "index.html"));
  TempDir outside;
  const auto notRepo = runFlowchart({"diff", "HEAD"}, outside.path());
  EXPECT_EQ(notRepo.exitCode, 2);
  EXPECT_EQ(notRepo.err.rfind("flowchart: the current folder is not in a git repository", 0), 0u) << notRepo.err;
  const auto mixed = runFlowchart({"diff", "A.java", "nothing.java", "x"}, outside.path());
  EXPECT_EQ(mixed.exitCode, 2);
  writeFile(outside.path() / "A.java", "class A {}\n");
  const auto typo = runFlowchart({"diff", "A.java", "b/Typo.java"}, outside.path());
  EXPECT_EQ(typo.exitCode, 2);
  EXPECT_EQ(typo.err,
            "flowchart: diff: b/Typo.java: no such file or folder (diff OLD NEW compares two files or two folders)\n");
  EXPECT_EQ(runFlowchart({"diff", "base", "--max-cc", "many"}, repo.path()).exitCode, 2);
  const auto wrong = runFlowchart({"diff", "base", "--max-cc", "many"}, repo.path());
  EXPECT_EQ(wrong.err, "flowchart: diff: --max-cc takes a whole number from 0 to 1000000, not 'many'\n"
                       "Run 'flowchart help diff' for usage.\n");
  const auto help = runFlowchart({"diff", "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.out.rfind("Usage:\n  flowchart diff BASE [HEAD] [--] [PATH...]", 0), 0u) << help.out;
}

// The Markdown report within GitHub's limits: a method too large for one
// Mermaid block shows its changed region; past the comment's size the
// table stays and the report says what it left out.
TEST(DiffCommand, MarkdownWithinGitHubLimits) {
  TempDir dir;
  const auto big = [](int changedAt, int methods) {
    std::string text = "class Big {\n  int large(int x) {\n";
    for (int k = 0; k < 400; ++k)
      text += "    if (x == " + std::to_string(k == changedAt ? 10000 + k : k) + ") { x += " + std::to_string(k) + "; }\n";
    text += "    return x;\n  }\n";
    for (int m = 0; m < methods; ++m)
      text += "  int m" + std::to_string(m) + "(int y) { if (y > " + std::to_string(changedAt < 0 ? m : m + 1) +
              ") { return y + y + y + y + y + y + y + y + y + y + y + y + y; } return 0; }\n";
    return text + "}\n";
  };
  writeFile(dir.path() / "Old.java", big(-1, 300));
  writeFile(dir.path() / "New.java", big(200, 300));
  const auto run = runFlowchart({"diff", "Old.java", "New.java", "-o", "out.md"}, dir.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string report = readFile(dir.path() / "out.md");
  EXPECT_LE(report.size(), 65536u);
  // Every Mermaid block under GitHub's limits, counted here by its arrows.
  size_t blocks = 0, at = 0;
  bool largeShown = false;
  while ((at = report.find("```mermaid\n", at)) != std::string::npos) {
    const size_t end = report.find("```\n", at + 11);
    ASSERT_NE(end, std::string::npos);
    const std::string block = report.substr(at + 11, end - at - 11);
    const std::regex arrow("(-->|==>|-\\.->|-\\.-|~~~)");
    const auto edges = std::distance(std::sregex_iterator(block.begin(), block.end(), arrow), std::sregex_iterator());
    EXPECT_LE(block.size(), 50000u);
    EXPECT_LE(edges, 500);
    if (block.find("x == 10200") != std::string::npos) {
      largeShown = true;
      EXPECT_NE(block.find(" unchanged boxes\""), std::string::npos);
      EXPECT_EQ(block.find("x == 100)"), std::string::npos);  // far from the change
    }
    ++blocks;
    at = end;
  }
  EXPECT_TRUE(largeShown);
  EXPECT_GT(blocks, 1u);
  EXPECT_LT(blocks, 301u);
  EXPECT_NE(report.find("flowcharts not drawn (the table says why)"), std::string::npos);
  EXPECT_NE(report.find("(not drawn: the comment's limit)"), std::string::npos);
  // The table lists every method all the same.
  EXPECT_NE(report.find("`Big.m299(int)`"), std::string::npos);
  EXPECT_NE(report.find("`Big.large(int)`"), std::string::npos);
}

// A ref that moves while diff runs (a fetch in the background) does not
// mix two commits: each name is resolved once, and only the ids are used
// after.  A git in front of the real one moves "topic" on to a commit
// that also changes B.java just before the changes are listed.
TEST(DiffCommand, RevisionsAreReadAtTheCommitsFirstResolved) {
  if (testing_support::runShell("git --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "git is not installed";
  Repository repo;
  repo.write("A.java", "class A { int a() { return 1; } }\n");
  repo.write("B.java", "class B { int b() { return 1; } }\n");
  repo.commit("base");
  repo.write("A.java", "class A { int a() { if (a > 0) { return 2; } return 1; } int a; }\n");
  repo.commit("first");
  repo.write("B.java", "class B { int b() { if (b > 0) { return 2; } return 1; } int b; }\n");
  repo.commit("moved");
  ASSERT_EQ(repo.run("branch topic first"), 0);
  TempDir bin;
  const std::string repoPath = testing_support::shellQuote(repo.path().string());
  writeFile(bin.path() / "git",
            "#!/bin/sh\n"
            "case \" $* \" in *\" diff \"*) " + std::string("PATH=\"$REAL_PATH\" git -C ") + repoPath +
                " update-ref refs/heads/topic moved ;; esac\n"
                "PATH=\"$REAL_PATH\" exec git \"$@\"\n");
  std::filesystem::permissions(bin.path() / "git", std::filesystem::perms::owner_all);
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
  const auto run = testing_support::runProgram(
      "/usr/bin/env", {"REAL_PATH=" + path, "PATH=" + bin.path().string() + ":" + path, FLOWCHART_CLI, "diff", "base", "topic"},
      repo.path());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "A.java:1 A.a changed: +2 nodes; CC 1 \u2192 2\n1 method listed, 0 unchanged\n");
  ASSERT_EQ(repo.run("rev-parse --verify --quiet topic^{commit}"), 0);
  EXPECT_EQ(runFlowchart({"diff", "base", "topic"}, repo.path()).out,
            "A.java:1 A.a changed: +2 nodes; CC 1 \u2192 2\nB.java:1 B.b changed: +2 nodes; CC 1 \u2192 2\n"
            "2 methods listed, 0 unchanged\n");
}

// Links, a submodule, names with control characters, and a repository
// whose folder's name ends in a line break: git's view of each.  A
// symbolic link, committed or new, is a link whose target is never read;
// a gitlink named like a Java file is a submodule; a name holding a line
// break is quoted in the summary and messages, and kept in JSON; the top
// folder is the one git names, not the sibling without the line break.
TEST(DiffCommand, LinksSubmodulesAndOddNamesAreReadAsGitKeepsThem) {
  if (testing_support::runShell("git --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "git is not installed";
  TempDir dir;
  const std::filesystem::path outside = dir.path() / "outside", top = dir.path() / "repo\n";
  for (const std::filesystem::path& folder : {outside, top, dir.path() / "repo"}) std::filesystem::create_directories(folder);
  writeFile(outside / "Keys.java", "class Keys { String k() { if (k == null) { return \"SECRET\"; } return k; } String k; }\n");
  const std::string git = "git -C " + testing_support::shellQuote(top.string()) + " -c user.name=t -c user.email=t@t ";
  const auto sh = [&](const std::string& arguments) { return testing_support::runShell(git + arguments + " >/dev/null 2>&1"); };
  ASSERT_EQ(sh("init -q"), 0);
  ASSERT_EQ(testing_support::runShell("git -C " + testing_support::shellQuote((dir.path() / "repo").string()) + " init -q"), 0);
  writeFile(top / "A.java", "class A { int a() { return 1; } }\n");
  writeFile(top / "a\nb.java", "class N { int n() { return 1; } }\n");
  std::filesystem::create_symlink("../outside/Old.java", top / "Committed.java");
  ASSERT_EQ(sh("add -A"), 0);
  ASSERT_EQ(sh("update-index --add --cacheinfo 160000,1111111111111111111111111111111111111111,lib.java"), 0);
  ASSERT_EQ(sh("commit -qm base"), 0);
  ASSERT_EQ(sh("tag base"), 0);
  writeFile(top / "A.java", "class A { int a() { return 2; } }\n");
  writeFile(top / "a\nb.java", "class N { int n() { return 2; } }\n");
  std::filesystem::create_symlink("../outside/Keys.java", top / "Leak.java");
  std::filesystem::remove(top / "Committed.java");
  std::filesystem::create_symlink("../outside/Keys.java", top / "Committed.java");
  writeFile(outside / "Keys.java", "class Keys { String k() { return \"SECRET\"; } }\n");
  const auto tree = runFlowchart({"diff", "base"}, top);
  EXPECT_EQ(tree.exitCode, 1);
  const std::string link = "a symbolic link, which git keeps as a link (it is not followed): not compared";
  EXPECT_EQ(tree.out, "A.java:1 A.a changed: ~1; CC 1 \u2192 1\n\"a\\nb.java\":1 N.n changed: ~1; CC 1 \u2192 1\n"
                      "Committed.java not compared (base): " + link + "\n"
                      "Committed.java not compared (working tree): " + link + "\n"
                      "lib.java not compared (base): a submodule, not a file: not compared\n"
                      "Leak.java not compared (working tree): " + link + "\n"
                      "2 methods listed, 0 unchanged\n");
  EXPECT_EQ(tree.err, "Committed.java: " + link + " (in base)\nCommitted.java: " + link + " (in working tree)\n"
                      "lib.java: a submodule, not a file: not compared (in base)\nLeak.java: " + link + " (in working tree)\n");
  ASSERT_EQ(sh("add -A"), 0);
  ASSERT_EQ(sh("commit -qm head"), 0);
  const auto revisions = runFlowchart({"diff", "base", "HEAD", "-o", "../out.json"}, top);
  EXPECT_EQ(revisions.exitCode, 1);
  const json report = json::parse(readFile(dir.path() / "out.json"));
  EXPECT_EQ(listed(report), "changed A.java A.java A.a()\nchanged a\nb.java a\nb.java N.n()\n");
  std::string failures;
  for (const json& failure : report["failures"])
    failures += failure["file"].get<std::string>() + " (" + failure["side"].get<std::string>() + "): " +
                failure["message"].get<std::string>() + "\n";
  EXPECT_EQ(failures, "Committed.java (base): " + link + "\nCommitted.java (HEAD): " + link + "\nLeak.java (HEAD): " + link +
                          "\nlib.java (base): a submodule, not a file: not compared\n");

  // Two folders compared without git: a link is followed, and named by its own path.
  std::filesystem::create_directories(dir.path() / "old");
  std::filesystem::create_directories(dir.path() / "new");
  writeFile(dir.path() / "old/A.java", "class A { int a() { return 1; } }\n");
  writeFile(outside / "A2.java", "class A { int a() { return 2; } }\n");
  std::filesystem::create_symlink("../outside/A2.java", dir.path() / "new/A.java");
  const auto folders = runFlowchart({"diff", "old", "new"}, dir.path());
  EXPECT_EQ(folders.exitCode, 0) << folders.err;
  EXPECT_EQ(folders.out, "A.java:1 A.a changed: ~1; CC 1 \u2192 1\n1 method listed, 0 unchanged\n");
}

// A range of 700 changed files with long paths finishes: git's answers
// are read while the requests are written.
TEST(DiffCommand, HundredsOfChangedFilesFinish) {
  if (testing_support::runShell("git --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "git is not installed";
  Repository repo;
  const std::string folder = "src/main/java/" + std::string(120, 'p') + "/";
  const auto files = [&](int value) {
    for (int k = 0; k < 700; ++k)
      repo.write(folder + "Class" + std::to_string(k) + std::string(60, 'x') + ".java",
                 "class C" + std::to_string(k) + " { int f() { return " + std::to_string(value) + "; } }\n");
  };
  files(1);
  repo.commit("base");
  files(2);
  repo.commit("head");
  const auto run = testing_support::runProgram(FLOWCHART_CLI, {"diff", "base", "head", "-o", "out.json"}, repo.path(), 120);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "out.json: 700 methods listed, 0 unchanged\n");
}

// A method whose tokens stayed but whose throw another catch clause now
// takes, its exception class having a new superclass in the file: its
// graphs are compared, and the way out of the method it lost is listed.
TEST(DiffCommand, ExceptionPathsFollowTheFilesClasses) {
  const std::string before =
      "class Gate {\n"
      "  static class Failure extends RuntimeException {}\n"
      "  static class Refused extends RuntimeException {}\n"
      "  int check(int a) {\n"
      "    try {\n"
      "      if (a < 0) {\n"
      "        throw new Refused();\n"
      "      }\n"
      "      return a;\n"
      "    } catch (Failure e) {\n"
      "      return -1;\n"
      "    }\n"
      "  }\n"
      "  int plain(int a) {\n"
      "    return a + 1;\n"
      "  }\n"
      "}\n";
  std::string after = before;
  after.replace(after.find("Refused extends RuntimeException"), 32, "Refused extends Failure");
  TempDir dir;
  writeFile(dir.path() / "Old.java", before);
  writeFile(dir.path() / "New.java", after);
  const auto run = runFlowchart({"diff", "Old.java", "New.java"}, dir.path());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "New.java:4 Gate.check changed: \u22121 node; CC 3 \u2192 3\n1 method listed, 1 unchanged\n");
  const json report = diffOf(before, after);
  ASSERT_EQ(report["methods"].size(), 1u);
  std::string edges;
  for (const json& edge : report["methods"][0]["edges"])
    if (edge["change"] != "same") edges += edge["change"].get<std::string>() + " " + edge["from"].get<std::string>() + "->" +
                                          edge["to"].get<std::string>() + " " + edge["kind"].get<std::string>() + "\n";
  EXPECT_EQ(nodeChanges(report["methods"][0]), std::vector<std::string>{"removed exit throws"});
  EXPECT_EQ(edges, "added n4->n2 exception\nremoved n4->bn5 exception\n");
}

}  // namespace
