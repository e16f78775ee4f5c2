// If and switch statements.
#include <gtest/gtest.h>

#include "tests/support/flowchart_model/model_build.h"

namespace flowchart::testing {
namespace {

// if (x) {  <blank, comment>  a(); } else { b(); }
TEST(Branches, IfElseWithACommentBeforeTheFirstStatement) {
  const std::string body = "/ Stmt(SelStmt(IF OPR " + name("x") + " CPR Stmt(Blk(OBR / / " + call("a") +
                           " / CBR)) ELSE Stmt(Blk(OBR / " + call("b") + " / CBR))))";
  BuiltModel built = buildMethod(body, "<cmt l=\"4\" t=\"// note\"/><cmt l=\"7\" t=\"// not between\"/>");
  ASSERT_EQ(built.result, 1);
  EXPECT_EQ(built.model,
            "blocks 0\n"
            "  block 0 start 2 2 \"f\"\n"
            "    -> 1\n"
            "  block -1 end 9 9 \"\"\n"
            "  block 1 if 3 3 \"if(x)\"\n"
            "    -> 2 true|blocks \"true\"\n"
            "    -> 3 true \"true\"\n"
            "    -> 4 false|blocks \"false\"\n"
            "    -> 5 false \"false\"\n"
            "    hint NO_COND \"0\"\n"
            "  block 2 block 5 6 \"Folded Block\\n<Double click>\"\n"
            "    -> -1\n"
            "    blocks 1\n"
            "      block 3 \"\" 5 5 \"\"\n"
            "        -> -1\n"
            "        hint COMMENT \"// note\"\n"
            "      hint DEPTH \"0\"\n"
            "  block 4 block 7 8 \"Folded Block\"\n"
            "    -> -1\n"
            "    blocks 2\n"
            "      block 5 \"\" 7 7 \"\"\n"
            "        -> -1\n"
            "      hint DEPTH \"0\"\n"
            "  hint DEPTH \"1\"\n");
}

// switch (k) { case 1: a(); case 2: b(); break; default: c(); } d();
TEST(Branches, SwitchWithFallThroughBreakAndDefault) {
  const std::string body = "/ Stmt(SelStmt(SWITCH OPR " + name("k") + " CPR Blk(OBR / Stmt(LblStmt(CASE NUMLIT:1 COL)) " +
                           call("a") + " / Stmt(LblStmt(CASE NUMLIT:2 COL)) " + call("b") +
                           " Stmt(JumpStmt(BREAK SEMI)) / Stmt(LblStmt(DEFAULT COL)) " + call("c") + " / CBR))) / " +
                           call("d");
  BuiltModel built = buildMethod(body);
  ASSERT_EQ(built.result, 1);
  EXPECT_EQ(built.model,
            "blocks 0\n"
            "  block 0 start 2 2 \"f\"\n"
            "    -> 1\n"
            "  block -1 end 9 9 \"\"\n"
            "  block 1 switch 3 3 \"switch(k)\"\n"
            "    -> 3 true|blocks \"true\"\n"
            "    -> 4 CASE \"\"\n"
            "    -> 5 CASE \"\"\n"
            "    -> 6 DEFAULT \"\"\n"
            "    hint NO_COND \"0\"\n"
            "  block 2 \"\" 8 8 \"\"\n"
            "    -> -1\n"
            "  block 3 block 4 7 \"Folded Block\"\n"
            "    -> 2\n"
            "    blocks 1\n"
            "      block 4 \"\" 4 4 \"\"\n"
            "        -> 5\n"
            "      block 5 \"\" 5 5 \"\"\n"
            "        -> 2\n"
            "      block 6 \"\" 6 6 \"\"\n"
            "        -> 2\n"
            "      hint DEPTH \"0\"\n"
            "  hint DEPTH \"1\"\n");
}

}  // namespace
}  // namespace flowchart::testing
