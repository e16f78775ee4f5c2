#include "cli/git_run.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace cli {

GitRun runGit(const std::vector<std::string>& arguments) {
  GitRun run;
  std::vector<char*> argv;
  std::string program = "git";
  argv.push_back(program.data());
  std::vector<std::string> owned(arguments);
  for (std::string& argument : owned) argv.push_back(argument.data());
  argv.push_back(nullptr);
  int outPipe[2], errPipe[2];
  if (::pipe(outPipe) != 0) return run;
  if (::pipe(errPipe) != 0) {
    ::close(outPipe[0]);
    ::close(outPipe[1]);
    return run;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1]}) posix_spawn_file_actions_addclose(&actions, fd);
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, "git", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  // Both outputs are read as they come, so that neither pipe fills up
  // while git writes to the other.
  pollfd readers[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* targets[2] = {&run.out, &run.err};
  int open = spawned == 0 ? 2 : 0;
  char chunk[1 << 16];
  while (open > 0) {
    if (::poll(readers, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int k = 0; k < 2; ++k) {
      if (readers[k].fd < 0 || readers[k].revents == 0) continue;
      const ssize_t got = ::read(readers[k].fd, chunk, sizeof chunk);
      if (got < 0 && errno == EINTR) continue;
      if (got > 0) {
        targets[k]->append(chunk, static_cast<size_t>(got));
        continue;
      }
      readers[k].fd = -1;
      --open;
    }
  }
  ::close(outPipe[0]);
  ::close(errPipe[0]);
  if (spawned != 0) return run;
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  // posix_spawnp reports a git it cannot find either as its own failure
  // or as the child's exit status 127.
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127 && run.out.empty() && run.err.empty()) return run;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

std::string gitSays(const GitRun& run) {
  std::string_view said = run.err;
  const size_t end = said.find('\n');
  if (end != std::string_view::npos) said = said.substr(0, end);
  if (said.rfind("fatal: ", 0) == 0) said.remove_prefix(7);
  return said.empty() ? std::string() : " (git: " + std::string(said) + ")";
}

}  // namespace cli
