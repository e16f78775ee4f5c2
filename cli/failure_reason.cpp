#include "cli/failure_reason.h"

#include <filesystem>

#include "pipeline/write_trouble.h"

namespace cli {

namespace fs = std::filesystem;

std::string saveTrouble(const std::string& path) {
  fs::path folder = fs::path(path).parent_path();
  if (folder.empty()) folder = ".";
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return {};
  return pipeline::writeTrouble(folder, folder.string()).value_or(std::string());
}

std::string whyNotWritten(const std::string& path) {
  const fs::path target(path);
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  std::error_code ec;
  const fs::file_status folderStatus = fs::status(folder, ec);
  if (ec == std::errc::filename_too_long) return "the path is longer than this system allows";
  if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory)
    return "cannot reach the folder " + folder.string() + ": " + ec.message();
  if (!fs::exists(folderStatus)) return "no such folder " + folder.string() + " (make it first)";
  if (!fs::is_directory(folderStatus)) return folder.string() + " is not a folder";
  if (fs::is_directory(target, ec)) return "it is a folder";
  if (ec == std::errc::filename_too_long) return "the file name is longer than this system allows";
  return saveTrouble(path);
}

pipeline::Problem saveFailure(const std::string& path) {
  pipeline::Problem problem;
  const std::string trouble = saveTrouble(path);
  if (trouble.empty()) problem.set(pipeline::Problem::Kind::Failed, "cannot write " + path);
  else problem.set(pipeline::Problem::Kind::Resource, "cannot write " + path + ": " + trouble);
  return problem;
}

}  // namespace cli
