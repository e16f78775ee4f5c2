#include "git/git_run.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cerrno>

extern char** environ;

namespace git {

namespace {

errors::Problem cannotStart(int error) { return errors::Problem::fromSystem("cannot run git", error); }

// Standard output goes to onOutput when there is one, else into run.out.
GitOutcome runGitWith(const std::vector<std::string>& arguments, std::string_view input,
                      const std::function<void(std::string_view)>* onOutput) {
  GitRun run;
  std::vector<char*> argv;
  std::string program = "git";
  argv.push_back(program.data());
  std::vector<std::string> owned(arguments);
  for (std::string& argument : owned) argv.push_back(argument.data());
  argv.push_back(nullptr);
  // The pipes are closed on exec, so that a git started at the same time
  // by another thread does not hold this one's ends open (only the ends
  // dup'd onto a child's 0, 1 and 2 stay open in it).
  int outPipe[2], errPipe[2] = {-1, -1}, inPipe[2] = {-1, -1};
  if (::pipe2(outPipe, O_CLOEXEC) != 0) return cannotStart(errno);
  if (::pipe2(errPipe, O_CLOEXEC) != 0 || (!input.empty() && ::pipe2(inPipe, O_CLOEXEC) != 0)) {
    const int error = errno;
    for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1]})
      if (fd >= 0) ::close(fd);
    return cannotStart(error);
  }
  // The input is written only as far as the pipe takes it at once: a
  // write that waited for the rest would wait for git, which may itself
  // be waiting for its answers to be read.
  if (inPipe[1] >= 0) ::fcntl(inPipe[1], F_SETFL, ::fcntl(inPipe[1], F_GETFL) | O_NONBLOCK);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (input.empty()) posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  else posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1], inPipe[0], inPipe[1]})
    if (fd >= 0) posix_spawn_file_actions_addclose(&actions, fd);
  // A git that ends before it read all its input must not end us.
  struct sigaction ignore {}, previous {};
  ignore.sa_handler = SIG_IGN;
  if (!input.empty()) ::sigaction(SIGPIPE, &ignore, &previous);
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, "git", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  if (inPipe[0] >= 0) ::close(inPipe[0]);
  // Both outputs are read as they come, and the input written as git takes
  // it, so that no pipe fills up while git waits on another.
  pollfd readers[3] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}, {inPipe[1], POLLOUT, 0}};
  std::string* targets[2] = {&run.out, &run.err};
  int open = spawned == 0 ? 2 : 0;
  if (spawned != 0 && inPipe[1] >= 0) {
    ::close(inPipe[1]);
    readers[2].fd = -1;
  }
  size_t written = 0;
  bool gaveOutput = false;
  char chunk[1 << 16];
  while (open > 0) {
    if (::poll(readers, 3, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (readers[2].fd >= 0 && readers[2].revents != 0) {
      const ssize_t put = (readers[2].revents & POLLOUT) ? ::write(readers[2].fd, input.data() + written, input.size() - written) : -1;
      if (put > 0) written += static_cast<size_t>(put);
      if ((put < 0 && errno != EINTR && errno != EAGAIN) || written == input.size()) {
        ::close(readers[2].fd);
        readers[2].fd = -1;
      }
    }
    for (int k = 0; k < 2; ++k) {
      if (readers[k].fd < 0 || readers[k].revents == 0) continue;
      const ssize_t got = ::read(readers[k].fd, chunk, sizeof chunk);
      if (got < 0 && errno == EINTR) continue;
      if (got > 0) {
        gaveOutput = true;
        if (k == 0 && onOutput) (*onOutput)(std::string_view(chunk, static_cast<size_t>(got)));
        else targets[k]->append(chunk, static_cast<size_t>(got));
        continue;
      }
      readers[k].fd = -1;
      --open;
    }
  }
  ::close(outPipe[0]);
  ::close(errPipe[0]);
  if (readers[2].fd >= 0) ::close(readers[2].fd);
  if (!input.empty()) ::sigaction(SIGPIPE, &previous, nullptr);
  if (spawned != 0) return cannotStart(spawned);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  // posix_spawnp reports a git it cannot find either as its own failure
  // or as the child's exit status 127.
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127 && !gaveOutput) return cannotStart(ENOENT);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

}  // namespace

GitOutcome runGit(const std::vector<std::string>& arguments, std::string_view input) {
  return runGitWith(arguments, input, nullptr);
}

GitOutcome streamGit(const std::vector<std::string>& arguments, std::string_view input,
                     const std::function<void(std::string_view piece)>& onOutput) {
  return runGitWith(arguments, input, &onOutput);
}

std::string gitSays(const GitOutcome& run) {
  if (!run) return {};
  std::string_view said = run->err;
  const size_t end = said.find('\n');
  if (end != std::string_view::npos) said = said.substr(0, end);
  if (said.rfind("fatal: ", 0) == 0) said.remove_prefix(7);
  return said.empty() ? std::string() : " (git: " + std::string(said) + ")";
}

std::optional<std::string> topFolder(const std::string& folder) {
  const GitOutcome top = runGit({"-C", folder, "rev-parse", "--show-toplevel"});
  if (!succeeded(top)) return std::nullopt;
  // The folder exactly as git wrote it, but for the line break after it:
  // a folder's name may end in a line break of its own.
  std::string root = top->out;
  if (!root.empty() && root.back() == '\n') root.pop_back();
  return root;
}

}  // namespace git
