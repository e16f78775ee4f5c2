// Every view names the parts of its construct by role: each construct of
// one method, told part by part.
#include "frontends/java/syntax/constructs.h"

#include <gtest/gtest.h>

#include "frontends/java/source_parse.h"

namespace syntax {
namespace {

std::string text(const Node& first, const Node& last) {
  if (!first) return "-";
  std::string out;
  for (Node token : first.tokensThrough(last ? last : first)) {
    if (!out.empty()) out += ' ';
    out += token.raw();
  }
  return out;
}
std::string text(const Node& node) { return text(node, node); }
std::string text(const Span& span) { return text(span.first, span.last); }

// One line per construct, its parts by role.
std::string told(const Node& node) {
  if (const IfStatement s = IfStatement::of(node))
    return "if cond=" + text(s.condition()) + " close=" + text(s.closeParen()) + " then=" + text(s.then()) +
           " else=" + text(s.otherwise());
  if (const LoopStatement s = LoopStatement::of(node)) {
    switch (s.form()) {
      case LoopStatement::Form::While: return "while cond=" + text(s.condition()) + " body=" + text(s.body());
      case LoopStatement::Form::Do:
        return "do body=" + text(s.body()) + " while=" + text(s.whileWord()) + " cond=" + text(s.condition());
      case LoopStatement::Form::For:
        return "for init=" + text(s.initialisation()) + " cond=" + text(s.forCondition()) +
               " update=" + text(s.update()) + " head=" + text(s.keyword(), s.closeParen());
      case LoopStatement::Form::ForEach: return "for each values=" + text(s.eachValues()) + " body=" + text(s.body());
    }
  }
  if (node.is(Kind::JumpStmt) || node.is(Kind::YieldStmt)) {
    const JumpStatement s(node);
    return "jump " + text(s.keyword()) + " label=" + text(s.label()) + " value=" + text(s.value());
  }
  if (node.is(Kind::GrdingStmt) && node.firstChild().is(Kind::SYNCHRONIZED)) {
    const SynchronizedStatement s(node);
    return "synchronized head=" + text(s.keyword(), s.closeParen()) + " body=" + text(s.body());
  }
  if (node.is(Kind::GrdingStmt)) {
    const TryStatement s(node);
    std::string out = "try resources=" + text(s.resourcesInside());
    for (const Resource& r : s.resources()) out += " [" + text(r.variable()) + "]";
    for (const CatchClause& c : s.catches()) {
      out += " catch";
      for (const Node& type : c.types()) out += " " + text(type);
      out += " as " + text(c.parameterName());
    }
    return out + " finally=" + text(s.finallyBlock());
  }
  if ((node.is(Kind::SelStmt) || node.is(Kind::SwExpr))) {
    const SwitchConstruct s(node);
    return "switch head=" + text(s.keyword(), s.closeParen()) + " body=" + std::string(s.body().name());
  }
  if (node.is(Kind::SwLabel) || (node.is(Kind::LblStmt) && Statement(node.parent()).caseLabel())) {
    const CaseLabel label(node);
    return "label default=" + std::to_string(label.isDefault()) + " values=" + text(label.values());
  }
  if (node.is(Kind::Stmt)) {
    const Statement s(node);
    if (s.labelName()) return "labelled " + text(s.labelName());
    if (s.isEmpty()) return "empty statement";
    return "";
  }
  if (node.is(Kind::LambdaExpr))
    return "lambda head=" + text(LambdaExpression(node).head()) + " block=" + text(LambdaExpression(node).blockBody());
  if (node.is(Kind::Expr) && parenthesized(node)) return "parenthesized " + text(parenthesized(node));
  if (const CastExpression cast = CastExpression::of(node))
    return "cast token=" + text(cast.typeToken()) + " type=" + text(cast.type()) + " value=" + text(cast.value());
  if (node.is(Kind::MtdCall)) {
    const MethodCall call(node);
    std::string out = "call " + text(call.callee().firstChild(), call.callee().lastChild()) + " with";
    for (const Node& argument : call.arguments()) out += " [" + text(argument.firstChild(), argument.lastChild()) + "]";
    return out;
  }
  return "";
}

TEST(Constructs, NameEachPartByItsRole) {
  const java::ParseOptions options{};
  java::ParseOptions modern = options;
  modern.languageLevel = 25;
  const java::SourceParse parsed = java::SourceParse::ofText(R"(class A {
  int f(int x, Object o) throws Exception {
    if ((x > 0)) x--; else if (x < 0) x++;
    while (x < 9) x += 2;
    do { x--; } while (x > 3);
    for (int i = 0, j = 1; i < j; i++, j--) ;
    for (;;) break;
    for (String s : names) continue;
    outer: for (int k : ks) { continue outer; }
    synchronized (this) { x = 1; }
    try (var in = open(); out) { return x; } catch (IOException | RuntimeException e) { throw e; } finally { x = 0; }
    switch (x) { case 1, 2: x = 3; default: x = 4; }
    int y = switch (o) { case String s when s.isEmpty() -> 1; default -> { yield 2; } };
    Runnable r = (a, b) -> { run(); };
    f(((String) o).trim(), (java.util.List<@A String>) o, 2);
    return y;
  }
})",
                                                             modern);
  ASSERT_TRUE(parsed.status().parsed());
  const Tree tree = Tree::fromParse(parsed);
  std::string out;
  tree.root().walk([&](Node node) {
    if (const std::string line = told(node); !line.empty()) out += line + "\n";
    return Step::Into;
  });
  EXPECT_EQ(out,
            "if cond=( x > 0 ) close=) then=x -- ; else=if ( x < 0 ) x ++ ;\n"
            "parenthesized x > 0\n"
            "if cond=x < 0 close=) then=x ++ ; else=-\n"
            "while cond=x < 9 body=x += 2 ;\n"
            "do body={ x -- ; } while=while cond=x > 3\n"
            "for init=int i = 0 , j = 1 cond=i < j update=i ++ , j -- head=for ( int i = 0 , j = 1 ; i < j ; i ++ , j -- )\n"
            "empty statement\n"
            "for init=- cond=- update=- head=for ( ; ; )\n"
            "jump break label=- value=-\n"
            "for each values=names body=continue ;\n"
            "jump continue label=- value=-\n"
            "labelled outer\n"
            "for each values=ks body={ continue outer ; }\n"
            "jump continue label=outer value=-\n"
            "synchronized head=synchronized ( this ) body={ x = 1 ; }\n"
            "try resources=var in = open ( ) ; out [in] [-] catch IOException RuntimeException as e finally={ x = 0 ; }\n"
            "call open with\n"
            "jump return label=- value=x\n"
            "jump throw label=- value=e\n"
            "switch head=switch ( x ) body=Blk\n"
            "label default=0 values=1 , 2\n"
            "label default=1 values=-\n"
            "switch head=switch ( o ) body=SwBlk\n"
            "label default=0 values=String s when s . isEmpty ( )\n"
            "call s . isEmpty with\n"
            "label default=1 values=-\n"
            "jump yield label=- value=2\n"
            "lambda head=( a , b ) -> block={ run ( ) ; }\n"
            "call run with\n"
            "call f with [( ( String ) o ) . trim ( )] [( java . util . List < @ A String > ) o] [2]\n"
            "call ( ( String ) o ) . trim with\n"
            "cast token=- type=String value=o\n"
            "cast token=- type=java . util . List < @ A String > value=o\n"
            "jump return label=- value=y\n");
  // Java 5's scanner reads a cast to a generic type as one token.
  java::ParseOptions java5 = options;
  java5.languageLevel = 5;
  const java::SourceParse old = java::SourceParse::ofText("class B { void g(Object o) { f((List<String>) o); } }", java5);
  ASSERT_TRUE(old.status().parsed());
  std::string oldOut;
  Tree::fromParse(old).root().walk([&](Node node) {
    if (const std::string line = told(node); !line.empty()) oldOut += line + "\n";
    return Step::Into;
  });
  EXPECT_EQ(oldOut, "call f with [(List<String>) o]\ncast token=(List<String>) type=- value=o\n");
}

}  // namespace
}  // namespace syntax
