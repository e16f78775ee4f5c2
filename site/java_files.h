// The Java sources below a folder, found the one way flowchart check and
// flowchart batch both look for them.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "files/file_system.h"

namespace site {

struct JavaFile {
  std::filesystem::path path;
  uintmax_t size = 0;
};

// A folder the walk could not read (whole or part of it).
struct UnreadableFolder {
  std::filesystem::path folder;
  int systemError = 0;
  bool partly = false;  // some of its entries were read
};

// An entry named like a source that is no file to read: a FIFO, a device,
// a socket, or a dangling symbolic link (of any name).
struct SkippedEntry {
  std::filesystem::path path;
  std::string why;  // "a FIFO", "a dangling symbolic link"...
};

struct JavaFiles {
  std::vector<JavaFile> files;               // by path
  std::vector<UnreadableFolder> unreadable;  // in the order the walk met them
  std::vector<SkippedEntry> skipped;         // in the order the walk met them
};

// Every regular .java file (or link to one) below root.  Folders are
// walked one by one, so that each one that cannot be read is told rather
// than skipped in silence; links to folders are not followed, and the
// folder leaveOut (an output folder inside the tree) is not entered.
JavaFiles javaFilesBelow(files::FileSystem& files, const std::filesystem::path& root,
                         const std::filesystem::path& leaveOut = {});

}  // namespace site
