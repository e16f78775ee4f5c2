// The file system as the commands that write many files see it (batch's
// site, its merge, the walk of a source tree): the folders walked, the
// files read, stamped and written, behind an interface so that a test can
// make a folder unreadable or a write fail as a full disk does, without
// being root and without filling a disk.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "errors/problem.h"

namespace files {

// One entry of a folder.  type is the entry's own (a symbolic link is
// one); target is what it leads to (not_found for a dangling link).
struct FolderEntry {
  std::filesystem::path path;
  std::filesystem::file_type type = std::filesystem::file_type::none;
  std::filesystem::file_type target = std::filesystem::file_type::none;
  uintmax_t size = 0;  // of a regular file, or of the file a link leads to
};

// A folder's entries, in no order.  stoppedBy is the system's error
// number when the listing broke off part-way (the entries before it are
// kept), else 0.
struct FolderListing {
  std::vector<FolderEntry> entries;
  int stoppedBy = 0;
};

// A regular file's size and modification time, as a record keeps them
// to tell whether the file changed since.
struct FileStamp {
  uintmax_t size = 0;
  int64_t modified = 0;  // the file clock's ticks since its epoch
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // A problem with the system's error number when the folder cannot be
  // opened.
  virtual errors::Result<FolderListing> listFolder(const std::filesystem::path& folder) = 0;
  // Whether the two paths name the same file or folder.
  virtual bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) = 0;
  // Whether anything (a dangling link too) is at the path.
  virtual bool exists(const std::filesystem::path& path) = 0;
  virtual bool isFolder(const std::filesystem::path& path) = 0;
  // Whether files can be made in the folder.
  virtual bool canWriteIn(const std::filesystem::path& folder) = 0;
  // The stamp of the file the path leads to; nullopt when there is none.
  virtual std::optional<FileStamp> stamp(const std::filesystem::path& path) = 0;
  // The whole file, or the system's reason it cannot be read.
  virtual errors::Result<std::string> readFile(const std::filesystem::path& path) = 0;
  virtual errors::Status makeFolders(const std::filesystem::path& folder) = 0;
  // Writes the file in place, never through a symbolic link.
  virtual errors::Status writeFile(const std::filesystem::path& path, std::string_view bytes) = 0;
  // Writes the file through a temporary file renamed over it once whole,
  // so that a failed write leaves what was there.
  virtual errors::Status replaceFile(const std::filesystem::path& path, std::string_view bytes) = 0;
  // A copy of a regular file.  Never a hard link: an output's files may
  // be written over in place (an artifact unpacked over them), which
  // would change the published site.
  virtual errors::Status copyFile(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
  // Puts the folder fresh in target's place in one step; the previous
  // target, if there was one, is then at old (for the caller to remove).
  virtual errors::Status switchFolders(const std::filesystem::path& fresh, const std::filesystem::path& target,
                                       std::filesystem::path& old) = 0;
  // Whether a file was there to remove.
  virtual bool remove(const std::filesystem::path& path) = 0;
  virtual void removeAll(const std::filesystem::path& path) = 0;
};

// The machine's own file system.
FileSystem& realFileSystem();

}  // namespace files
