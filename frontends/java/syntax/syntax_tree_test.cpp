// The syntax tree holds what the parser built: written out in the tree
// file's form it is the parser's own tree text, on every Java source of
// the fixtures; and its queries answer on a small method.
#include "frontends/java/syntax/syntax_tree.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "frontends/java/source_parse.h"
#include "tests/support/test_support.h"

namespace syntax {
namespace {

class StringSink : public tree::TextSink {
 public:
  explicit StringSink(std::string& out) : out_(out) {}
  bool write(std::string_view bytes) override {
    out_.append(bytes);
    return true;
  }

 private:
  std::string& out_;
};

// The tree text of the nodes below the document, as the parser writes it.
std::string treeText(const Tree& tree) {
  std::string out;
  std::vector<Node> open;
  tree.root().walk([&](Node node) {
    if (node == tree.root()) return Step::Into;
    while (!open.empty() && !open.back().contains(node)) {
      out.append("</").append(open.back().name()).append(">\n");
      open.pop_back();
    }
    if (!node.isToken()) {
      out.append("<").append(node.name()).append(">\n");
      open.push_back(node);
      return Step::Into;
    }
    out.append("<").append(node.name()).append(" l=\"").append(std::to_string(node.line()));
    if (node.column() >= 0) out.append("\" c=\"").append(std::to_string(node.column()));
    out.append("\" t=\"");
    tree::appendEscaped(node.raw(), out);
    out.append("\"/>");
    return Step::Into;
  });
  for (auto it = open.rbegin(); it != open.rend(); ++it) out.append("</").append(it->name()).append(">\n");
  return out;
}

java::SourceParse parse(std::string_view source, int level) {
  java::ParseOptions options;
  options.languageLevel = level;
  return java::SourceParse::ofText(source, options);
}

TEST(SyntaxTree, HoldsTheParsersTree) {
  size_t sources = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(testing_support::fixture(""))) {
    if (entry.path().extension() != ".java") continue;
    const std::string source = testing_support::readFile(entry.path());
    for (int level : {0, 25}) {
      const java::SourceParse parsed = parse(source, level);
      if (!parsed.status().parsed()) continue;
      std::string expected;
      StringSink sink(expected);
      ASSERT_TRUE(parsed.writeTree(sink));
      EXPECT_EQ(treeText(Tree::fromParse(parsed)), expected) << entry.path() << " at level " << level;
    }
    ++sources;
  }
  EXPECT_GT(sources, 20u);
}

TEST(SyntaxTree, AnswersQueries) {
  const java::SourceParse parsed = parse(
      "class A {\n  int f(int x) {\n    String s = \"\"\"\r\n\ta\n  \"\"\";\n    return x + 1;\n  }\n}\n", 25);
  ASSERT_TRUE(parsed.status().parsed());
  // Nodes stay valid when the tree moves.
  Tree built = Tree::fromParse(parsed);
  const Tree tree = std::move(built);
  const Node program = tree.root().firstChild();
  ASSERT_TRUE(program.is(Kind::Program));
  EXPECT_EQ(program.parent(), tree.root());

  Node method;
  tree.root().walk([&](Node node) {
    if (!node.is(Kind::MtdDecln)) return Step::Into;
    method = node;
    return Step::Stop;
  });
  ASSERT_TRUE(method);
  const Node declarator = method.child(Kind::MtdDeclr);
  const Node name = declarator.child(Kind::IDEN);
  EXPECT_EQ(name.raw(), "f");
  EXPECT_EQ(name.line(), 2);
  EXPECT_EQ(name.column(), 7);
  EXPECT_EQ(method.firstLine(), 2);
  EXPECT_EQ(method.lastLine(), 7);
  EXPECT_EQ(method.lastToken().raw(), "}");
  EXPECT_TRUE(method.contains(name));
  EXPECT_FALSE(name.contains(method));
  EXPECT_EQ(tree.node(name.key()), name);
  EXPECT_FALSE(tree.node(static_cast<uint32_t>(tree.nodeCount())));

  // Children in order, each the next sibling of the one before.
  std::string kinds;
  Node previous;
  for (Node child : method.children()) {
    kinds += std::string(child.name()) + " ";
    EXPECT_EQ(child.previousSibling(), previous);
    previous = child;
  }
  EXPECT_EQ(previous, method.lastChild());
  EXPECT_EQ(kinds, "TypeSpec MtdDeclr MtdBody ");

  // The tokens of the declarator through the body: all but the type.
  std::string text;
  for (Node token : declarator.tokensThrough(method.lastChild())) text += blankedText(token) + "|";
  EXPECT_EQ(text, "f|(|int|x|)|{|String|s|=|\"\"\"  a   \"\"\"|;|return|x|+|1|;|}|");

  // An empty node answers every query with nothing.
  const Node none;
  EXPECT_FALSE(none.child(Kind::IDEN) || none.parent() || none.firstToken() || none.nextSibling());
  EXPECT_TRUE(none.tokens().empty());
  EXPECT_EQ(none.firstLine(), 0);
  EXPECT_EQ(none.kind(), Kind::Other);
  EXPECT_EQ(kindOf("MtdDecln"), Kind::MtdDecln);
  EXPECT_EQ(kindName(Kind::MtdDecln), "MtdDecln");
  EXPECT_EQ(kindOf("NoSuchSymbol"), Kind::Other);
}

}  // namespace
}  // namespace syntax
