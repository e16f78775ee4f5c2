// For, while and do-while loops.
#include <gtest/gtest.h>

#include "tests/support/flowchart_model/model_build.h"

namespace flowchart::testing {
namespace {

// while (x > 0) { a(); if (y) break; continue; } return;
TEST(Loops, WhileWithBreakInAnIfAndContinue) {
  const std::string body = "/ Stmt(IterStmt(WHILE OPR Expr(Qlid(IDEN:x) GT NUMLIT:0) CPR Stmt(Blk(OBR / " + call("a") +
                           " / Stmt(SelStmt(IF OPR " + name("y") +
                           " CPR Stmt(JumpStmt(BREAK SEMI)))) / Stmt(JumpStmt(CONTINUE SEMI)) / CBR)))) / "
                           "Stmt(JumpStmt(RETURN SEMI))";
  BuiltModel built = buildMethod(body);
  ASSERT_EQ(built.result, 1);
  EXPECT_EQ(built.model,
            "blocks 0\n"
            "  block 0 start 2 2 \"f\"\n"
            "    -> 1\n"
            "  block -1 end 9 9 \"\"\n"
            "  block 1 while 3 3 \"while(x > 0)\"\n"
            "    -> 3 true|blocks \"true\"\n"
            "    -> 5 true \"true\"\n"
            "    -> 2 false \"false\"\n"
            "    hint NO_COND \"0\"\n"
            "  block 2 \"\" 8 8 \"\"\n"
            "    -> -1\n"
            "    hint EXIT \"RETURN\"\n"
            "  block 4 end-while 7 7 \"end-while\"\n"
            "    -> 1 loop \"\"\n"
            "    -> 2 false \"false\"\n"
            "  block 3 block 4 7 \"Folded Block\"\n"
            "    -> 4\n"
            "    blocks 1\n"
            "      block 5 \"\" 4 4 \"\"\n"
            "        -> 6\n"
            "      block 6 if 5 5 \"if(y)\"\n"
            "        -> 8 true|blocks \"true\"\n"
            "        -> 9 true \"true\"\n"
            "        -> 7 false \"false\"\n"
            "        hint NO_COND \"0\"\n"
            "      block 7 \"\" 6 6 \"\"\n"
            "        -> 1 loop \"\"\n"
            "      block 8 block 5 5 \"Folded Block\\n<Double click>\"\n"
            "        -> 7\n"
            "        blocks 2\n"
            "          block 9 \"\" 5 5 \"\"\n"
            "            -> 2\n"
            "          hint DEPTH \"0\"\n"
            "      hint DEPTH \"1\"\n"
            "  hint DEPTH \"2\"\n");
}

// do { a(); break; } while (x && y);
TEST(Loops, DoWhileWithBreak) {
  const std::string body = "/ Stmt(IterStmt(DO Stmt(Blk(OBR / " + call("a") +
                           " / Stmt(JumpStmt(BREAK SEMI)) / CBR)) WHILE OPR Expr(Qlid(IDEN:x) LAND Qlid(IDEN:y)) CPR SEMI))";
  BuiltModel built = buildMethod(body);
  ASSERT_EQ(built.result, 1);
  EXPECT_EQ(built.model,
            "blocks 0\n"
            "  block 0 start 2 2 \"f\"\n"
            "    -> 1\n"
            "  block -1 end 7 7 \"\"\n"
            "  block 1 do 3 3 \"do\"\n"
            "    -> 3\n"
            "    -> 4\n"
            "  block 2 dowhile 6 6 \"while(x && y)\"\n"
            "    -> 3 true|blocks \"true\"\n"
            "    -> 4 true|loop \"true\"\n"
            "    -> -1 false \"false\"\n"
            "    hint NO_COND \"1\"\n"
            "  block 3 block 4 6 \"Folded Block\"\n"
            "    -> 2\n"
            "    blocks 1\n"
            "      block 4 \"\" 4 5 \"\"\n"
            "        -> -1\n"
            "      hint DEPTH \"0\"\n"
            "  hint DEPTH \"1\"\n");
}

// for (int i = 0; i < n && ok; i++) a();
TEST(Loops, ForHeaderTextAndUnbracedBody) {
  const std::string body =
      "/ Stmt(IterStmt(FOR OPR ForInit(LocVarDecln(TypeSpec(TName(PrimType(INT))) VarDeclr(IDEN:i EQ "
      "VarInit(Expr(NUMLIT:0))) SEMI)) ForExpr(Expr(Qlid(IDEN:i) LT Qlid(IDEN:n) LAND Qlid(IDEN:ok)) SEMI) "
      "ForIncr(ExprStmt(Expr(RealPostfixExpr(Qlid(IDEN:i) INC)))) CPR " +
      call("a") + "))";
  BuiltModel built = buildMethod(body);
  ASSERT_EQ(built.result, 1);
  EXPECT_EQ(built.model,
            "blocks 0\n"
            "  block 0 start 2 2 \"f\"\n"
            "    -> 1\n"
            "  block -1 end 4 4 \"\"\n"
            "  block 1 for 3 3 \"for(int i = 0 ;i < n && ok ;i ++)\"\n"
            "    -> 2 true|blocks \"true\"\n"
            "    -> 4 true \"true\"\n"
            "    -> -1 false \"false\"\n"
            "    hint NO_COND \"0\"\n"
            "  block 3 end-for 3 3 \"end-for\"\n"
            "    -> 1 loop \"\"\n"
            "    -> -1 false \"false\"\n"
            "  block 2 block 3 3 \"Folded Block\"\n"
            "    -> 3\n"
            "    blocks 1\n"
            "      block 4 \"\" 3 3 \"\"\n"
            "        -> 3\n"
            "      hint DEPTH \"0\"\n"
            "  hint DEPTH \"1\"\n");
}

}  // namespace
}  // namespace flowchart::testing
