// Statement sequencing: runs, compound boxes, labels, jumps.
#include <gtest/gtest.h>

#include "tests/support/flowchart_model/model_build.h"

namespace flowchart::testing {
namespace {

std::string ifStatement(std::string_view cond, std::string_view then) {
  return "Stmt(SelStmt(IF OPR " + name(cond) + " CPR " + std::string(then) + "))";
}
const std::string kReturn = "Stmt(JumpStmt(RETURN SEMI))";

TEST(Sequencing, IfBetweenTwoRunsGivesRunDecisionRun) {
  BuiltModel built = buildMethod("/ " + call("a") + " / " + ifStatement("x", call("b")) + " / " + call("c"));
  ASSERT_EQ(built.result, 1);
  EXPECT_EQ(built.model,
            "blocks 0\n"
            "  block 0 start 2 2 \"f\"\n"
            "    -> 1\n"
            "  block -1 end 6 6 \"\"\n"
            "  block 1 \"\" 3 3 \"\"\n"
            "    -> 2\n"
            "  block 2 if 4 4 \"if(x)\"\n"
            "    -> 4 true|blocks \"true\"\n"
            "    -> 5 true \"true\"\n"
            "    -> 3 false \"false\"\n"
            "    hint NO_COND \"0\"\n"
            "  block 3 \"\" 5 5 \"\"\n"
            "    -> -1\n"
            "  block 4 block 4 4 \"Folded Block\\n<Double click>\"\n"
            "    -> 3\n"
            "    blocks 1\n"
            "      block 5 \"\" 4 4 \"\"\n"
            "        -> 3\n"
            "      hint DEPTH \"0\"\n"
            "  hint DEPTH \"1\"\n");
}

// case 1: if (a) x(); y(); case 2: z();  -- y() keeps its box, the if's
// handler leads into it, and it falls through to the next case.
TEST(Sequencing, SimpleStatementsAfterAWaitingCompoundBeforeALabelKeepTheirBox) {
  const std::string body = "/ Stmt(SelStmt(SWITCH OPR " + name("k") + " CPR Blk(OBR / Stmt(LblStmt(CASE NUMLIT:1 COL)) " +
                           ifStatement("a", call("x")) + " / " + call("y") + " / Stmt(LblStmt(CASE NUMLIT:2 COL)) " +
                           call("z") + " / CBR)))";
  BuiltModel built = buildMethod(body);
  ASSERT_EQ(built.result, 1);
  EXPECT_EQ(built.model,
            "blocks 0\n"
            "  block 0 start 2 2 \"f\"\n"
            "    -> 1\n"
            "  block -1 end 8 8 \"\"\n"
            "  block 1 switch 3 3 \"switch(k)\"\n"
            "    -> 2 true|blocks \"true\"\n"
            "    -> 3 CASE \"\"\n"
            "    -> 8 CASE \"\"\n"
            "    -> -1 false \"false\"\n"
            "    hint NO_COND \"0\"\n"
            "  block 2 block 4 7 \"Folded Block\"\n"
            "    -> -1\n"
            "    blocks 1\n"
            "      block 3 \"\" 4 4 \"\"\n"
            "        -> 4\n"
            "      block 4 if 4 4 \"if(a)\"\n"
            "        -> 6 true|blocks \"true\"\n"
            "        -> 7 true \"true\"\n"
            "        -> 5 false \"false\"\n"
            "        hint NO_COND \"0\"\n"
            "      block 5 \"\" 5 5 \"\"\n"
            "        -> 8\n"
            "      block 6 block 4 4 \"Folded Block\\n<Double click>\"\n"
            "        -> 5\n"
            "        blocks 2\n"
            "          block 7 \"\" 4 4 \"\"\n"
            "            -> 5\n"
            "          hint DEPTH \"0\"\n"
            "      block 8 \"\" 6 6 \"\"\n"
            "        -> -1\n"
            "      hint DEPTH \"1\"\n"
            "  hint DEPTH \"2\"\n");
}

// while (c) n(); lbl: p();  -- no edge from the start block to the label:
// the loop's exits lead to it.
TEST(Sequencing, LabelDirectlyAfterACompoundGetsNoEdgeFromTheEntry) {
  const std::string body = "/ Stmt(IterStmt(WHILE OPR " + name("c") + " CPR " + call("n") +
                           ")) / Stmt(LblStmt(IDEN:lbl COL)) / " + call("p");
  BuiltModel built = buildMethod(body);
  ASSERT_EQ(built.result, 1);
  EXPECT_EQ(built.model,
            "blocks 0\n"
            "  block 0 start 2 2 \"f\"\n"
            "    -> 1\n"
            "  block -1 end 6 6 \"\"\n"
            "  block 1 while 3 3 \"while(c)\"\n"
            "    -> 3 true|blocks \"true\"\n"
            "    -> 5 true \"true\"\n"
            "    -> 2 false \"false\"\n"
            "    hint NO_COND \"0\"\n"
            "  block 4 end-while 3 3 \"end-while\"\n"
            "    -> 1 loop \"\"\n"
            "    -> 2 false \"false\"\n"
            "  block 3 block 3 3 \"Folded Block\"\n"
            "    -> 4\n"
            "    blocks 1\n"
            "      block 5 \"\" 3 3 \"\"\n"
            "        -> 4\n"
            "      hint DEPTH \"0\"\n"
            "  block 2 \"\" 4 5 \"\"\n"
            "    -> -1\n"
            "  hint DEPTH \"1\"\n");
}

// a(); do { q: b(); } while (c); lbl: d();  -- the do-while is dispatched at
// the label, but its body is still entered from a()'s box.
TEST(Sequencing, WaitingCompoundIsEnteredFromTheBoxBeforeIt) {
  const std::string body = "/ " + call("a") + " / Stmt(IterStmt(DO Stmt(Blk(OBR / Stmt(LblStmt(IDEN:q COL)) " +
                           call("b") + " / CBR)) WHILE OPR " + name("c") + " CPR SEMI)) / Stmt(LblStmt(IDEN:lbl COL)) " +
                           call("d");
  BuiltModel built = buildMethod(body);
  ASSERT_EQ(built.result, 1);
  EXPECT_EQ(built.model,
            "blocks 0\n"
            "  block 0 start 2 2 \"f\"\n"
            "    -> 1\n"
            "  block -1 end 8 8 \"\"\n"
            "  block 1 \"\" 3 3 \"\"\n"
            "    -> 2\n"
            "    -> 6\n"
            "  block 2 do 4 4 \"do\"\n"
            "    -> 5\n"
            "    -> 6\n"
            "  block 4 dowhile 6 6 \"while(c)\"\n"
            "    -> 5 true|blocks \"true\"\n"
            "    -> 6 true|loop \"true\"\n"
            "    -> 3 false \"false\"\n"
            "    hint NO_COND \"0\"\n"
            "  block 5 block 5 6 \"Folded Block\"\n"
            "    -> 4\n"
            "    blocks 1\n"
            "      block 6 \"\" 5 5 \"\"\n"
            "        -> 4\n"
            "      hint DEPTH \"0\"\n"
            "  block 3 \"\" 7 7 \"\"\n"
            "    -> -1\n"
            "  hint DEPTH \"1\"\n");
}

// x(); if (a) y(); return;  -- no edge out of the if box, whose handler has
// not run when the return is reached.
TEST(Sequencing, JumpAfterAWaitingCompoundGetsNoEdgeFromIt) {
  BuiltModel built = buildMethod("/ " + call("x") + " / " + ifStatement("a", call("y")) + " / " + kReturn);
  ASSERT_EQ(built.result, 1);
  EXPECT_EQ(built.model,
            "blocks 0\n"
            "  block 0 start 2 2 \"f\"\n"
            "    -> 1\n"
            "  block -1 end 6 6 \"\"\n"
            "  block 1 \"\" 3 3 \"\"\n"
            "    -> 2\n"
            "  block 2 if 4 4 \"if(a)\"\n"
            "    -> 4 true|blocks \"true\"\n"
            "    -> 5 true \"true\"\n"
            "    -> 3 false \"false\"\n"
            "    hint NO_COND \"0\"\n"
            "  block 3 \"\" 5 5 \"\"\n"
            "    -> -1\n"
            "    hint EXIT \"RETURN\"\n"
            "  block 4 block 4 4 \"Folded Block\\n<Double click>\"\n"
            "    -> 3\n"
            "    blocks 1\n"
            "      block 5 \"\" 4 4 \"\"\n"
            "        -> 3\n"
            "      hint DEPTH \"0\"\n"
            "  hint DEPTH \"1\"\n");
}

// if (a) y(); return; return;  -- the second return is linked from the
// first, a plain box that is the last one made; a return in a labelled box
// is not linked to itself.
TEST(Sequencing, JumpLinkRule) {
  BuiltModel built =
      buildMethod("/ " + ifStatement("a", call("y")) + " / " + kReturn + " / " + kReturn +
                  " / Stmt(LblStmt(IDEN:l COL)) " + kReturn);
  ASSERT_EQ(built.result, 1);
  EXPECT_EQ(built.model,
            "blocks 0\n"
            "  block 0 start 2 2 \"f\"\n"
            "    -> 1\n"
            "  block -1 end 7 7 \"\"\n"
            "  block 1 if 3 3 \"if(a)\"\n"
            "    -> 3 true|blocks \"true\"\n"
            "    -> 4 true \"true\"\n"
            "    -> 2 false \"false\"\n"
            "    hint NO_COND \"0\"\n"
            "  block 2 \"\" 4 4 \"\"\n"
            "    -> -1\n"
            "    -> 5\n"
            "    hint EXIT \"RETURN\"\n"
            "  block 3 block 3 3 \"Folded Block\\n<Double click>\"\n"
            "    -> 2\n"
            "    blocks 1\n"
            "      block 4 \"\" 3 3 \"\"\n"
            "        -> 2\n"
            "      hint DEPTH \"0\"\n"
            "  block 5 \"\" 5 5 \"\"\n"
            "    -> -1\n"
            "    hint EXIT \"RETURN\"\n"
            "  block 6 \"\" 6 6 \"\"\n"
            "    -> -1\n"
            "    hint EXIT \"RETURN\"\n"
            "  hint DEPTH \"1\"\n");
}

}  // namespace
}  // namespace flowchart::testing
