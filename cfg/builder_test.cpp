// Control-flow graphs built from Java parsed in memory: whole graphs
// compared with the graphs checked by hand against the Java language's
// rules (tests/fixtures/cfg, the same files `flowchart draw -o M.json`
// is compared with), and what a declaration without a body gives.
#include "cfg/builder.h"

#include <gtest/gtest.h>

#include <string>

#include "cfg/json.h"
#include "frontends/java/source_parse.h"
#include "frontends/java/syntax/syntax_tree.h"
#include "tests/support/test_support.h"

namespace cfg {
namespace {

using syntax::Kind;

struct Parsed {
  java::SourceParse parse;
  syntax::Tree tree;
};

Parsed parseJava(const std::string& source) {
  java::ParseOptions options;
  options.languageLevel = 25;
  java::SourceParse parse = java::SourceParse::ofText(source, options);
  EXPECT_TRUE(parse.status().parsed()) << source;
  syntax::Tree tree = parse.status().parsed() ? syntax::Tree::fromParse(parse) : syntax::Tree();
  return Parsed{std::move(parse), std::move(tree)};
}

// The first declaration of that name (a method or constructor), or the
// first initialiser for "{}".
syntax::Node declarationNamed(const syntax::Tree& tree, const std::string& name) {
  syntax::Node found;
  tree.root().walk([&](const syntax::Node& node) {
    const bool initializer = node.is(Kind::StaticInit) || node.is(Kind::NonStaticInit);
    const syntax::Node declarator =
        node.is(Kind::MtdDecln) ? node.child(Kind::MtdDeclr) : node.is(Kind::CtorDecln) ? node.child(Kind::CtorDeclr)
                                                                                         : syntax::Node();
    if ((initializer && name == "{}") || (declarator && declarator.child(Kind::IDEN).raw() == name)) {
      found = node;
      return syntax::Step::Stop;
    }
    return syntax::Step::Into;
  });
  return found;
}

// The graph's JSON as `flowchart draw FILE METHOD -o M.json` writes it
// for a file of ASCII text.
std::string graphJson(const std::string& folder, const std::string& file, const std::string& className,
                      const std::string& method) {
  const Parsed parsed = parseJava(testing_support::readFile(testing_support::fixture(folder + "/" + file)));
  const syntax::Node declaration = declarationNamed(parsed.tree, method);
  EXPECT_TRUE(declaration) << method;
  errors::Result<MethodFlow> flow = buildMethodFlow(declaration);
  if (!flow) return "no graph: " + flow.problem().message;
  flow->file = file;
  flow->className = className;
  flow->method = method;
  return methodFlowJson(*flow, false);
}

TEST(MethodFlow, WholeGraphsOfCheckedMethods) {
  struct Case {
    const char* folder;
    const char* file;
    const char* className;
    const char* method;
  };
  // Guards and a switch with a throw; patterns, yield, labelled loops,
  // resources and a lambda's own graph; exceptions through catch and
  // finally; labelled statements as branches and bodies.
  const Case cases[] = {
      {"examples/java", "Checkout.java", "Checkout", "total"},
      {"cfg", "Shapes.java", "Shapes", "describe"},
      {"cfg", "Exceptions.java", "Exceptions", "catchThrows"},
      {"cfg", "Exceptions.java", "Exceptions", "resources"},
      {"cfg", "Exceptions.java", "Exceptions", "finallyLoop"},
      {"cfg", "Exceptions.java", "Exceptions", "switchLambda"},
      {"cfg", "Labels.java", "Labels", "thenBlock"},
      {"cfg", "Labels.java", "Labels", "elseBlock"},
      {"cfg", "Labels.java", "Labels", "loopBodies"},
      {"cfg", "Labels.java", "Labels", "stacked"},
  };
  for (const Case& c : cases) {
    const std::string stem = std::string(c.file).substr(0, std::string(c.file).rfind('.'));
    EXPECT_EQ(graphJson(c.folder, c.file, c.className, c.method),
              testing_support::readFile(testing_support::fixture("cfg/" + stem + "." + c.method + ".json")))
        << c.file << " " << c.method;
  }
}

TEST(MethodFlow, DeclarationsWithAndWithoutBodies) {
  const Parsed parsed = parseJava(
      "abstract class A {\n"
      "  abstract int f();\n"
      "  A(int x) { if (x > 0) return; x++; }\n"
      "  static { System.gc(); }\n"
      "}\n");
  const syntax::Node abstractMethod = declarationNamed(parsed.tree, "f");
  EXPECT_FALSE(hasBody(abstractMethod));
  const errors::Result<MethodFlow> none = buildMethodFlow(abstractMethod);
  ASSERT_FALSE(none.ok());
  EXPECT_EQ(none.problem().kind, errors::Problem::Kind::NoBody);
  EXPECT_EQ(none.problem().message, "no body");

  // A constructor: its header, a decision whose yes branch returns, the
  // statement after it, and one end both ways reach.
  const errors::Result<MethodFlow> constructor = buildMethodFlow(declarationNamed(parsed.tree, "A"));
  ASSERT_TRUE(constructor.ok());
  EXPECT_EQ(constructor->line, 3);
  EXPECT_EQ(constructor->endLine, 3);
  ASSERT_EQ(constructor->graphs.size(), 1u);
  std::string nodes;
  for (const Node& node : constructor->graphs[0].nodes) nodes += std::string(kindName(node.kind)) + ":" + node.text + "|";
  EXPECT_EQ(nodes, "start:A(int x)|decision:if (x > 0)|return:return|statement:x++;|end:end|");

  const errors::Result<MethodFlow> initializer = buildMethodFlow(declarationNamed(parsed.tree, "{}"));
  ASSERT_TRUE(initializer.ok());
  EXPECT_EQ(initializer->graphs[0].title, "static {}");
}

// The start box names the modifiers that change how a method runs, in the
// source's order, and no others; the graph's title stays the declarator.
TEST(MethodFlow, StartShowsStaticAndSynchronized) {
  const Parsed parsed = parseJava(
      "class A {\n"
      "  @Deprecated public synchronized static final int f(int x) { return x; }\n"
      "  private final void g() { }\n"
      "}\n");
  const errors::Result<MethodFlow> f = buildMethodFlow(declarationNamed(parsed.tree, "f"));
  const errors::Result<MethodFlow> g = buildMethodFlow(declarationNamed(parsed.tree, "g"));
  ASSERT_TRUE(f.ok() && g.ok());
  EXPECT_EQ(f->graphs[0].nodes[f->graphs[0].start].text, "synchronized static f(int x)");
  EXPECT_EQ(f->graphs[0].title, "f(int x)");
  EXPECT_EQ(g->graphs[0].nodes[g->graphs[0].start].text, "g()");
}

}  // namespace
}  // namespace cfg
