// Node matching on the graphs of small methods built from source, each
// case with its whole outcome; and calls compared by what they call.
#include <gtest/gtest.h>

#include "diff/diff_sources.h"
#include "diff/model.h"
#include "pipeline/method_flow.h"
#include "pipeline/parsed_source.h"
#include "tests/support/test_support.h"

namespace diff {
namespace {

// The first method of a class's source, with its graph (no fingerprint:
// the graphs alone decide).
MethodVersion methodOf(const std::string& body) {
  const std::string text = "class T {\n" + body + "\n}\n";
  errors::Result<pipeline::ParsedSource> parsed = pipeline::ParsedSource::parseText("T.java", text, 0);
  EXPECT_TRUE(parsed) << parsed.problem().message;
  const pipeline::MethodSummary& summary = parsed->summary().methods.at(0);
  errors::Result<cfg::MethodFlow> flow = pipeline::methodFlow(*parsed, summary);
  EXPECT_TRUE(flow) << flow.problem().message;
  MethodVersion method;
  method.file = "T.java";
  method.className = "T";
  method.method = flow->method;
  method.signature = method.method + "()";
  method.flow = std::move(*flow);
  return method;
}

// What compare made of one method changed from before to after: "unchanged",
// or its nodes not the same and its edges added or removed, one a line.
std::string outcome(const std::string& before, const std::string& after) {
  Side base, head;
  base.methods.push_back(methodOf(before));
  head.methods.push_back(methodOf(after));
  const Diff diff = compare(base, head, {});
  if (diff.methods.empty()) return diff.unchanged == 1 ? "unchanged" : "lost";
  std::string out;
  const MethodDiff& method = diff.methods.at(0);
  out += std::string(changeName(method.change)) + "\n";
  for (const NodeDiff& node : method.nodes)
    if (node.change != Change::Same)
      out += std::string(changeName(node.change)) + " " + std::string(cfg::kindName(node.kind)) + " " + node.text +
             (node.change == Change::Changed ? " (was " + *node.baseText + ")" : "") + "\n";
  for (const EdgeDiff& edge : method.edges)
    if (edge.change != Change::Same)
      out += std::string(changeName(edge.change)) + " edge " + method.nodes[edge.from].text + " -> " +
             method.nodes[edge.to].text + (edge.label.empty() ? "" : " [" + edge.label + "]") + "\n";
  return out;
}

TEST(CompareNodes, KindsOfChange) {
  const std::string pay = "int pay(int a) {\n  if (a > 0) {\n    a = a * 2;\n  }\n  return a;\n}";
  // Reformatted and commented: the same graph up to blanks.
  EXPECT_EQ(outcome(pay, "int pay(int a) { // doubles\n  if (a>0) { a = a*2; }\n  return a;\n}"), "unchanged");
  // A changed condition is one changed decision, nothing else.
  EXPECT_EQ(outcome(pay, "int pay(int a) {\n  if (a >= 0) {\n    a = a * 2;\n  }\n  return a;\n}"),
            "changed\nchanged decision if (a >= 0) (was if (a > 0))\n");
  // A guard clause: its decision and throw added, and the ways round them.
  EXPECT_EQ(outcome(pay,
                    "int pay(int a) {\n  if (a < -9) {\n    throw new IllegalStateException();\n  }\n"
                    "  if (a > 0) {\n    a = a * 2;\n  }\n  return a;\n}"),
            "changed\n"
            "added decision if (a < -9)\n"
            "added throw throw new IllegalStateException()\n"
            "added exit throws\n"
            "added edge pay(int a) -> if (a < -9)\n"
            "added edge if (a < -9) -> throw new IllegalStateException() [yes]\n"
            "added edge throw new IllegalStateException() -> throws [IllegalStateException]\n"
            "added edge if (a < -9) -> if (a > 0) [no]\n"
            "removed edge pay(int a) -> if (a > 0)\n");
}

TEST(CompareNodes, AlikeNodesKeepTheirPlace) {
  // Of two equal decisions, each is matched to the one in the same place:
  // a decision put between them is all that is added.
  EXPECT_EQ(outcome("void run() {\n  if (ready()) {\n    a();\n  }\n  if (ready()) {\n    b();\n  }\n}",
                    "void run() {\n  if (ready()) {\n    a();\n  }\n  if (late()) {\n    c();\n  }\n"
                    "  if (ready()) {\n    b();\n  }\n}"),
            "changed\n"
            "added decision if (late())\n"
            "added statement c();\n"
            "added edge a(); -> if (late())\n"
            "added edge if (ready()) -> if (late()) [no]\n"
            "added edge if (late()) -> c(); [yes]\n"
            "added edge c(); -> if (ready())\n"
            "added edge if (late()) -> if (ready()) [no]\n"
            "removed edge a(); -> if (ready())\n"
            "removed edge if (ready()) -> if (ready()) [no]\n");
  // A statement rewritten in its place is changed, however far its text went.
  EXPECT_EQ(outcome("void run() {\n  open();\n  if (ok()) {\n    count = 1;\n  }\n  close();\n}",
                    "void run() {\n  open();\n  if (ok()) {\n    register(listener, queue);\n  }\n  close();\n}"),
            "changed\nchanged statement register(listener, queue); (was count = 1;)\n");
}

TEST(CompareNodes, AReshapedLoopBodyPairsByContent) {
  // "end--;" became a guard and "end -= ...;" on the same lines: the step
  // is the statement that still steps end, not the new first one.
  EXPECT_EQ(outcome("int strip(String s, String cs) {\n  int end = s.length();\n"
                    "  while (end != 0 && cs.indexOf(s.charAt(end - 1)) != -1) {\n    end--;\n  }\n  return end;\n}",
                    "int strip(String s, String cs) {\n  int end = s.length();\n  while (end != 0) {\n"
                    "    final int cp = s.codePointBefore(end);\n    if (cs.indexOf(cp) == -1) {\n      break;\n    }\n"
                    "    end -= Character.charCount(cp);\n  }\n  return end;\n}"),
            "changed\n"
            "changed decision while (end != 0) (was while (end != 0 && cs.indexOf(s.charAt(end - 1)) != -1))\n"
            "added statement final int cp = s.codePointBefore(end);\n"
            "added decision if (cs.indexOf(cp) == -1)\n"
            "added break break\n"
            "changed statement end -= Character.charCount(cp); (was end--;)\n"
            "added edge while (end != 0) -> final int cp = s.codePointBefore(end); [yes]\n"
            "added edge final int cp = s.codePointBefore(end); -> if (cs.indexOf(cp) == -1)\n"
            "added edge if (cs.indexOf(cp) == -1) -> break [yes]\n"
            "added edge if (cs.indexOf(cp) == -1) -> end -= Character.charCount(cp); [no]\n"
            "added edge break -> return end\n"
            "removed edge while (end != 0) -> end -= Character.charCount(cp); [yes]\n");
}

TEST(CompareMethods, AnInnerClassRenamedTakesItsMethods) {
  const std::string body = " {\n    abstract int check(int x);\n    int twice(int x) { return check(x) * 2; }\n"
                           "    int twice(long x) { return (int) x; }\n  }\n";
  testing_support::TempDir dir;
  testing_support::writeFile(dir.path() / "Old.java", "class T {\n  abstract static class Strategy" + body + "}\n");
  testing_support::writeFile(dir.path() / "New.java", "class T {\n  abstract static class AbstractStrategy" + body + "}\n");
  const errors::Result<DiffSides> sides =
      readPaths((dir.path() / "Old.java").string(), (dir.path() / "New.java").string(), {});
  ASSERT_TRUE(sides) << sides.problem().message;
  const Diff diff = compare(sides->base, sides->head, sides->renamedFiles);
  std::string out;
  for (const MethodDiff& method : diff.methods)
    out += method.name() + " " + std::string(changeName(method.change)) +
           (method.withClass ? " with its class from " + method.base->className : "") + "\n";
  // Abstract ones too; overloads named with their parameter types.
  EXPECT_EQ(out,
            "T.AbstractStrategy.check renamed with its class from T.Strategy\n"
            "T.AbstractStrategy.twice(int) renamed with its class from T.Strategy\n"
            "T.AbstractStrategy.twice(long) renamed with its class from T.Strategy\n");
}

TEST(CompareCalls, ByReceiverCalleeAndArgumentCountInOrder) {
  const auto names = [](const std::vector<const Call*>& calls) {
    std::string out;
    for (const Call* call : calls)
      out += call->receiver + "." + call->callee + "/" + std::to_string(call->arguments) + " ";
    return out;
  };
  const Call add = callOf("basket:Cart", "add(item, prices.get(item, \"a,b\"))", "");
  EXPECT_EQ(names({&add}), "Cart.add/2 ");
  const std::vector<Call> base = {callOf("items:List<String>", "size()", ""), callOf("basket:Cart", "add(item, 1)", ""),
                                  callOf(":T", "super.check(a)", ""), callOf("basket:Cart", "total()", "")};
  // Locals renamed, arguments reformatted: the same calls.
  const std::vector<Call> renamed = {callOf("goods:List<String>", "size()", ""), callOf("c:Cart", "add(g,\n 1)", ""),
                                     callOf(":T", "check(b)", ""), callOf("c:Cart", "total()", "")};
  const CallChanges same = callChanges(base, renamed);
  EXPECT_EQ(names(same.added) + "| " + names(same.removed), "| ");
  // One more argument, a new creation, and a call moved before another.
  const std::vector<Call> head = {callOf("c:Cart", "total()", ""), callOf("goods:List<String>", "size()", ""),
                                  callOf("c:Cart", "add(g, 1, true)", ""), callOf("x:Cart", "new Cart(n)", ""),
                                  callOf(":T", "check(b)", "")};
  const CallChanges changes = callChanges(base, head);
  EXPECT_EQ(names(changes.added) + "| " + names(changes.removed),
            "Cart.total/0 Cart.add/3 Cart.new Cart/1 | Cart.add/2 Cart.total/0 ");
}

}  // namespace
}  // namespace diff
