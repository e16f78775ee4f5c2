#include "site/write_failure.h"

#include <climits>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace site {
namespace {

// The folder a file is written in, as the user named it.
std::string folderOf(const std::string& path) {
  const std::string folder = std::filesystem::path(path).parent_path().string();
  return folder.empty() ? "." : folder;
}

bool isFolderTrouble(int error) {
  return errors::isMachineTrouble(error) || error == EACCES || error == EPERM;
}

// Whether a part of the path is longer than a file name may be.
bool hasLongName(const std::string& path) {
  for (const std::filesystem::path& part : std::filesystem::path(path))
    if (part.string().size() > NAME_MAX) return true;
  return false;
}

}  // namespace

std::string whyNotWritten(const std::string& path, int error) {
  switch (error) {
    case 0: return {};
    case ENOENT: return "no such folder " + folderOf(path) + " (make it first)";
    case ENOTDIR: return folderOf(path) + " is not a folder";
    case EISDIR: return "it is a folder";
    case ENAMETOOLONG:
      return hasLongName(path) ? "the file name is longer than this system allows"
                               : "the path is longer than this system allows";
    case ENOSPC:
    case EDQUOT: return "no space left in " + folderOf(path);
    case EACCES:
    case EPERM:
    case EROFS: return "cannot write in " + folderOf(path) + ": " + std::strerror(error);
    default: return std::strerror(error);
  }
}

errors::Problem saveFailure(const std::string& path, const errors::Problem& refused) {
  const std::string why = whyNotWritten(path, refused.systemError);
  errors::Problem problem(isFolderTrouble(refused.systemError) ? errors::Problem::Kind::Resource
                                                               : errors::Problem::Kind::Failed,
                          "cannot write " + path + (why.empty() ? "" : ": " + why));
  problem.systemError = refused.systemError;
  return problem;
}

}  // namespace site
