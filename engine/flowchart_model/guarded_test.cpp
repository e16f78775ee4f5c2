// Try and synchronized statements, with the try-edge linking.
#include <gtest/gtest.h>

#include "tests/support/flowchart_model/model_build.h"

namespace flowchart::testing {
namespace {

const std::string kCatchHeader = "CatchHeader(CATCH OPR TypeSpec(TName(Qlid(IDEN:E))) IDEN:e CPR)";

// try { a(); } catch (E e) { b(); } finally { c(); }
TEST(Guarded, TryWithCatchAndFinally) {
  const std::string body = "/ Stmt(GrdingStmt(TRY Blk(OBR / " + call("a") + " / CBR) Catch(" + kCatchHeader +
                           " Blk(OBR / " + call("b") + " / CBR)) Finally(FINALLY Blk(OBR / " + call("c") + " / CBR))))";
  BuiltModel built = buildMethod(body);
  ASSERT_EQ(built.result, 1);
  EXPECT_EQ(built.model,
            "blocks 0\n"
            "  block 0 start 2 2 \"f\"\n"
            "    -> 5\n"
            "  block -1 end 10 10 \"\"\n"
            "  block 1 try 3 5 \"\"\n"
            "    -> 5 try \"\"\n"
            "    blocks 2\n"
            "      block 5 \"\" 4 4 \"\"\n"
            "        -> 3\n"
            "      block 6 catch 3 \"\" \"Try\"\n"
            "        -> 8\n"
            "      hint DEPTH \"0\"\n"
            "  block 2 \"\" \"\" \"\" \"\"\n"
            "    blocks 1\n"
            "      block 3 finally 7 7 \"finally\"\n"
            "        -> 4\n"
            "      hint DEPTH \"0\"\n"
            "  block 4 \"\" 8 8 \"\"\n"
            "    -> -1\n"
            "  block 7 catchblock \"\" \"\" \"\"\n"
            "    blocks 3\n"
            "      block 8 exception 5 5 \"catch ( E e )\"\n"
            "        -> 9 catch \"\"\n"
            "      block 9 \"\" 6 6 \"\"\n"
            "        -> 3\n"
            "      hint DEPTH \"0\"\n"
            "  hint DEPTH \"1\"\n");
}

// try { try { a(); } finally { } } catch (E e) { }
TEST(Guarded, EdgesIntoATryWhoseBodyStartsWithATryReachTheInnerBody) {
  const std::string body = "/ Stmt(GrdingStmt(TRY Blk(OBR / Stmt(GrdingStmt(TRY Blk(OBR / " + call("a") +
                           " / CBR) Finally(FINALLY Blk(OBR / CBR)))) / CBR) Catch(" + kCatchHeader +
                           " Blk(OBR / CBR))))";
  BuiltModel built = buildMethod(body);
  ASSERT_EQ(built.result, 1);
  EXPECT_EQ(built.model,
            "blocks 0\n"
            "  block 0 start 2 2 \"f\"\n"
            "    -> 5\n"
            "  block -1 end 10 10 \"\"\n"
            "  block 1 try 3 8 \"\"\n"
            "    -> 5 try \"\"\n"
            "    blocks 1\n"
            "      block 2 try 4 6 \"\"\n"
            "        -> 5 try \"\"\n"
            "        blocks 3\n"
            "          block 5 \"\" 5 5 \"\"\n"
            "            -> 4\n"
            "          hint DEPTH \"0\"\n"
            "      block 3 \"\" \"\" \"\" \"\"\n"
            "        blocks 2\n"
            "          block 4 finally 6 6 \"finally\"\n"
            "            -> -1\n"
            "          hint DEPTH \"0\"\n"
            "      block 6 catch 3 \"\" \"Try\"\n"
            "        -> 8\n"
            "      hint DEPTH \"1\"\n"
            "  block 7 catchblock \"\" \"\" \"\"\n"
            "    blocks 4\n"
            "      block 8 exception 8 8 \"catch ( E e )\"\n"
            "        -> -1\n"
            "      hint DEPTH \"0\"\n"
            "  hint DEPTH \"1\"\n");
}

// synchronized (lock) { a(); }
TEST(Guarded, SynchronizedBlockIsATryWithoutClauses) {
  BuiltModel built = buildMethod("/ Stmt(GrdingStmt(SYNCHRONIZED OPR " + name("lock") + " CPR Stmt(Blk(OBR / " +
                                 call("a") + " / CBR))))");
  ASSERT_EQ(built.result, 1);
  EXPECT_EQ(built.model,
            "blocks 0\n"
            "  block 0 start 2 2 \"f\"\n"
            "    -> 2\n"
            "  block -1 end 6 6 \"\"\n"
            "  block 1 try 3 \"\" \"\"\n"
            "    -> 2 try \"\"\n"
            "    blocks 1\n"
            "      block 2 \"\" 4 4 \"\"\n"
            "        -> -1\n"
            "      hint DEPTH \"0\"\n"
            "  hint DEPTH \"0\"\n");
}

}  // namespace
}  // namespace flowchart::testing
