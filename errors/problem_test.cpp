#include "errors/problem.h"

#include <cerrno>
#include <string>

#include <gtest/gtest.h>

namespace errors {
namespace {

Result<std::string> named(bool good) {
  if (!good) return Problem(Problem::Kind::Unreadable, "no such file", 3);
  return std::string("A.java");
}

TEST(Result, HoldsTheValueOrTheProblemAndTheSystemsReason) {
  Result<std::string> good = named(true);
  ASSERT_TRUE(good);
  EXPECT_EQ(*good, "A.java");
  Result<std::string> bad = named(false);
  ASSERT_FALSE(bad);
  EXPECT_EQ(bad.problem().line, 3);
  EXPECT_EQ(bad.problem().kind, Problem::Kind::Unreadable);

  Problem full = Problem::fromSystem("cannot write out/A.html", ENOSPC);
  EXPECT_EQ(full.kind, Problem::Kind::Resource);
  EXPECT_EQ(full.systemError, ENOSPC);
  EXPECT_EQ(full.message, "cannot write out/A.html: No space left on device");
  EXPECT_EQ(Problem::fromSystem("cannot read A.java", EACCES, Problem::Kind::Unreadable).kind,
            Problem::Kind::Unreadable);
  Status done;
  EXPECT_TRUE(done);
  EXPECT_FALSE(Status(full));
}

#ifdef FLOWCHART_CHECK_RESULTS
// A result nobody asked about stops the program, naming its problem; one
// asked about, by whichever copy it was handed to, does not.
TEST(ResultDeathTest, AResultNeverCheckedStopsTheProgram) {
  EXPECT_DEATH({ Result<std::string> lost = named(false); }, "a result was never checked \\(problem: no such file\\)");
  EXPECT_DEATH({ Status lost = Problem(Problem::Kind::Failed, "disk full"); }, "problem: disk full");
  EXPECT_DEATH({ Result<std::string> lost = named(true); }, "it held a value");
  EXPECT_DEATH(
      {
        Status kept = Problem(Problem::Kind::Failed, "first");
        kept = Status();
      },
      "problem: first");
  Result<std::string> handed = named(false);
  const Result<std::string> copy = handed;
  Result<std::string> moved = std::move(handed);
  EXPECT_FALSE(copy);
  EXPECT_FALSE(moved);
  named(false).ignore();
}
#endif

}  // namespace
}  // namespace errors
