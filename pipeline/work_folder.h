// A private folder for one job's intermediate files (parse tree, results,
// layouts), made under TMPDIR, /dev/shm or the system's temporary folder
// and removed with everything in it when the object goes away.  Nothing
// is ever written beside the user's sources.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace pipeline {

class WorkFolder {
 public:
  // A new empty folder readable by this user only; nullopt with a message
  // when none can be made.
  static std::optional<WorkFolder> create(std::string* error);

  // Removes the work folders that processes of this user left behind when
  // they were killed: those named for a process that no longer runs and
  // untouched for a minute.  Returns how many were removed.
  static size_t removeStale();

  WorkFolder(WorkFolder&& other) noexcept;
  WorkFolder& operator=(WorkFolder&& other) noexcept;
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;
  ~WorkFolder();

  const std::filesystem::path& path() const { return path_; }
  std::string file(std::string_view name) const { return (path_ / name).string(); }
  // Where the folder was made, as the user names it: "TMPDIR (/x)",
  // "/dev/shm" or "the temporary folder /tmp".
  const std::string& place() const { return place_; }
  // After a failed write in the folder: why, when its disk is full or it
  // cannot be written; nullopt when it can.
  std::optional<std::string> writeTrouble() const;

 private:
  WorkFolder(std::filesystem::path path, std::string place) : path_(std::move(path)), place_(std::move(place)) {}
  std::filesystem::path path_;
  std::string place_;
};

}  // namespace pipeline
