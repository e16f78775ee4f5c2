// The build driver: finding the method, start and end blocks, saving.
#include "flowchart/builder.h"

#include <gtest/gtest.h>

#include "flowchart/testing/model_build.h"

namespace flowchart::testing {
namespace {

TEST(BuildDriver, EmptyMethodFlowsFromStartToEnd) {
  BuiltModel built = buildMethod("");
  EXPECT_EQ(built.result, 1);
  EXPECT_EQ(built.model,
            "blocks 0\n"
            "  block 0 start 2 2 \"f\"\n"
            "    -> -1\n"
            "  block -1 end 3 3 \"\"\n"
            "  hint DEPTH \"0\"\n");
}

TEST(BuildDriver, StraightLineCodeIsOneProcessBox) {
  BuiltModel built = buildMethod("/ " + call("a") + " / " + call("b"));
  EXPECT_EQ(built.result, 1);
  EXPECT_EQ(built.model,
            "blocks 0\n"
            "  block 0 start 2 2 \"f\"\n"
            "    -> 1\n"
            "  block -1 end 5 5 \"\"\n"
            "  block 1 \"\" 3 4 \"\"\n"
            "    -> -1\n"
            "  hint DEPTH \"0\"\n");
}

}  // namespace
}  // namespace flowchart::testing
