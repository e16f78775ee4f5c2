#include "piece_tree.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class StringSink : public tree::TextSink {
 public:
  bool write(std::string_view bytes) override {
    text.append(bytes);
    return true;
  }
  std::string text;
};

std::string render(const tree::PieceTree& tree, tree::PieceList list) {
  StringSink sink;
  EXPECT_TRUE(tree.write(list, sink));
  EXPECT_EQ(tree.textLength(list), sink.text.size());
  return sink.text;
}

}  // namespace

TEST(PieceTree, WritesElementsTokensAndTransparentRuns) {
  tree::PieceTree tree;
  auto ret = tree.token("RETURN", 3, 18, "return");
  auto x = tree.element("Qlid", tree.token("IDEN", 3, 25, "x"));
  auto expr = tree.element("Expr", x);
  auto semi = tree.token("SEMI", 3, 26, ";");
  // A transparent symbol contributes its children directly.
  auto body = tree.join(tree.join(ret, expr), semi);
  auto stmt = tree.element("JumpStmt", body);
  EXPECT_EQ(render(tree, stmt),
            "<JumpStmt>\n<RETURN l=\"3\" c=\"18\" t=\"return\"/><Expr>\n<Qlid>\n"
            "<IDEN l=\"3\" c=\"25\" t=\"x\"/></Qlid>\n</Expr>\n"
            "<SEMI l=\"3\" c=\"26\" t=\";\"/></JumpStmt>\n");
}

TEST(PieceTree, EscapesTokenTextAndOmitsMissingColumn) {
  tree::PieceTree tree;
  auto token = tree.token("STR_CON", 2, -1, "a\"&'<>\xE9");
  EXPECT_EQ(render(tree, token), "<STR_CON l=\"2\" t=\"a&quot;&amp;&apos;&lt;&gt;\xE9\"/>");
  EXPECT_EQ(tree.tokenValue(token.head), "a&quot;&amp;&apos;&lt;&gt;\xE9");
}

TEST(PieceTree, EmptyElementAndEmptyRun) {
  tree::PieceTree tree;
  EXPECT_EQ(render(tree, tree.element("opt_port", {})), "<opt_port>\n</opt_port>\n");
  EXPECT_EQ(render(tree, tree::PieceList{}), "");
  auto a = tree.token("A", 1, 1, "a");
  EXPECT_EQ(tree.join(a, {}).head, a.head);
  EXPECT_EQ(tree.join({}, a).tail, a.tail);
}

TEST(PieceTree, DeepNestingNeedsNoDeepRecursion) {
  tree::PieceTree tree;
  constexpr int kDepth = 2000000;
  auto list = tree.token("IDEN", 1, 1, "x");
  for (int i = 0; i < kDepth; ++i) list = tree.element("Expr", list);
  StringSink sink;
  ASSERT_TRUE(tree.write(list, sink));
  EXPECT_EQ(sink.text.size(), static_cast<size_t>(kDepth) * 15 + 25);
  EXPECT_EQ(sink.text.substr(0, 14), "<Expr>\n<Expr>\n");
}

namespace {

// Records the walk as the text write() would produce, one event at a time.
struct Recorder {
  const tree::PieceTree& tree;
  std::string text;
  int stopAfter = -1;
  bool step() { return stopAfter < 0 || --stopAfter > 0; }
  bool open(tree::PieceId id) {
    text.append("<").append(tree.name(id)).append(">");
    return step();
  }
  bool close(tree::PieceId id) {
    text.append("</").append(tree.name(id)).append(">");
    return step();
  }
  bool token(tree::PieceId id) {
    text += tree.tokenValue(id);
    return step();
  }
};

}  // namespace

TEST(PieceTree, WalkFollowsDocumentOrderAndStopsOnRequest) {
  tree::PieceTree tree;
  auto inner = tree.join(tree.token("A", 1, 1, "a"), tree.element("E", tree.token("B", 1, 2, "b")));
  auto list = tree.join(tree.element("S", inner), tree.token("C", 1, 3, "c"));
  Recorder all{tree, {}};
  EXPECT_TRUE(tree.walk(list, all));
  EXPECT_EQ(all.text, "<S>a<E>b</E></S>c");
  Recorder some{tree, {}, 3};
  EXPECT_FALSE(tree.walk(list, some));
  EXPECT_EQ(some.text, "<S>a<E>");
  // A run inside a longer chain stops at its own tail.
  Recorder part{tree, {}};
  EXPECT_TRUE(tree.walk(inner, part));
  EXPECT_EQ(part.text, "a<E>b</E>");
}

TEST(PieceTree, PrefixIsTheStartOfTheWrittenText) {
  tree::PieceTree tree;
  auto list = tree.element("TypeDecln", tree.element("EnumDecln", tree.token("ENUM", 1, 1, "enum")));
  const std::string whole = render(tree, list);
  for (size_t n : {0u, 5u, 12u, 13u, 40u, 1000u})
    EXPECT_EQ(tree.prefix(list, n), whole.substr(0, n)) << n;
}

TEST(PieceTree, TokensLongerThanTheWriteBufferAndTheirAccessors) {
  tree::PieceTree tree;
  // Escaped, the value grows fourfold past any one buffer of the writer.
  const std::string raw = std::string(200000, '<') + "x";
  auto big = tree.token("STRLIT", 7, 3, raw);
  auto small = tree.token("SEMI", 7, 200004, ";");
  auto list = tree.element("Expr", tree.join(big, small));
  std::string escaped;
  for (size_t i = 0; i < 200000; ++i) escaped += "&lt;";
  EXPECT_EQ(render(tree, list), "<Expr>\n<STRLIT l=\"7\" c=\"3\" t=\"" + escaped + "x\"/><SEMI l=\"7\" c=\"200004\" t=\";\"/></Expr>\n");
  EXPECT_TRUE(tree.isToken(big.head));
  EXPECT_FALSE(tree.isToken(list.head));
  EXPECT_EQ(tree.name(list.head), "Expr");
  EXPECT_EQ(tree.firstChild(list.head), big.head);
  EXPECT_EQ(tree.next(big.head), small.head);
  EXPECT_EQ(tree.rawText(big.head), raw);
  EXPECT_EQ(tree.rawText(small.head), ";");
  EXPECT_EQ(tree.line(small.head), 7);
  EXPECT_EQ(tree.column(small.head), 200004);
  EXPECT_EQ(tree.pieceCount(), 3u);
}

TEST(PieceTree, ClearedTreeStartsAfresh) {
  tree::PieceTree tree;
  tree.element("A", tree.token("B", 1, 1, "b"));
  tree.clear();
  EXPECT_EQ(tree.pieceCount(), 0u);
  auto list = tree.element("A", tree.token("C", 2, 5, "c&"));
  EXPECT_EQ(render(tree, list), "<A>\n<C l=\"2\" c=\"5\" t=\"c&amp;\"/></A>\n");
}

TEST(PieceTree, WriteStopsWhenTheSinkRefuses) {
  class Refusing : public tree::TextSink {
   public:
    bool write(std::string_view) override { return ++calls, false; }
    int calls = 0;
  };
  tree::PieceTree tree;
  tree::PieceList list;
  for (int i = 0; i < 100000; ++i) list = tree.join(list, tree.token("IDEN", i + 1, 1, "name"));
  Refusing sink;
  EXPECT_FALSE(tree.write(list, sink));
  EXPECT_EQ(sink.calls, 1);
}
