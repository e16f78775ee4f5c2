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

pipeline::Problem saveFailure(const std::string& path) {
  pipeline::Problem problem;
  const std::string trouble = saveTrouble(path);
  if (trouble.empty()) problem.set(pipeline::Problem::Kind::Failed, "cannot write " + path);
  else problem.set(pipeline::Problem::Kind::Resource, "cannot write " + path + ": " + trouble);
  return problem;
}

}  // namespace cli
