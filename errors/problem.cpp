#include "errors/problem.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace errors {

bool isMachineTrouble(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EROFS:
    case EMFILE:
    case ENFILE:
    case ENOMEM:
    case EIO:
      return true;
    default:
      return false;
  }
}

Problem Problem::fromSystem(std::string what, int error, Kind otherwise) {
  Problem problem(isMachineTrouble(error) ? Kind::Resource : otherwise, std::move(what));
  if (error != 0) {
    problem.message += ": ";
    problem.message += std::strerror(error);
  }
  problem.systemError = error;
  return problem;
}

void uncheckedResult(const Problem* problem) {
  std::fprintf(stderr, "flowchart: internal error: a result was never checked (%s)\n",
               problem ? ("problem: " + problem->message).c_str() : "it held a value");
  std::abort();
}

}  // namespace errors
