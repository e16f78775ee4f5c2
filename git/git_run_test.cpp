#include "git/git_run.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/support/test_support.h"

namespace git {
namespace {

// A request larger than a pipe holds, whose answers are larger still:
// git blocks writing answers until they are read, so the requests must be
// written as git takes them, between reads.  Run in a child process, so
// that a run that blocks fails the test after a minute instead of hanging it.
TEST(GitRun, LongInputWithLongAnswersFinishes) {
  if (testing_support::runShell("git --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "git is not installed";
  testing_support::TempDir dir;
  const std::string repo = dir.path().string();
  ASSERT_TRUE(succeeded(runGit({"init", "-q", repo})));
  const std::string blob(2000, 'x');
  const GitOutcome stored = runGit({"-C", repo, "hash-object", "-w", "--stdin"}, blob);
  ASSERT_TRUE(succeeded(stored)) << gitSays(stored);
  const std::string id = stored->out.substr(0, stored->out.find('\n'));
  std::string requests;
  for (int k = 0; k < 4000; ++k) requests += id + "\n";  // 164 kB asked, 8 MB answered
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    size_t answered = 0;
    const GitOutcome run = streamGit({"-C", repo, "cat-file", "--batch"}, requests,
                                 [&](std::string_view piece) { answered += piece.size(); });
    const size_t expected = 4000 * (id.size() + std::string(" blob 2000\n").size() + blob.size() + 1);
    ::_exit(succeeded(run) && answered == expected ? 0 : 1);
  }
  int status = 0;
  pid_t ended = 0;
  for (int tenths = 0; tenths < 600 && (ended = ::waitpid(child, &status, WNOHANG)) == 0; ++tenths)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  if (ended == 0) {
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    FAIL() << "git cat-file --batch did not finish in a minute";
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace git
