// The walk for sources over a file system made up in memory: folders that
// cannot be read (whole or part-way), links and entries that are no
// sources, and the output folder left out, as no real disk lets a test
// that is not root make them all.
#include "site/java_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>

namespace site {
namespace {

namespace fs = std::filesystem;
using Type = fs::file_type;

class MadeUpFiles final : public files::FileSystem {
 public:
  std::map<fs::path, errors::Result<files::FolderListing>> folders;

  // Answers the walk never asked for are no results lost.
  ~MadeUpFiles() override {
    for (const auto& [folder, listing] : folders) listing.ignore();
  }

  errors::Result<files::FolderListing> listFolder(const fs::path& folder) override {
    const auto found = folders.find(folder);
    if (found == folders.end()) return errors::Problem::fromSystem(folder.string(), ENOENT);
    return found->second;
  }
  bool sameFile(const fs::path& a, const fs::path& b) override { return a == b; }
  // The walk only lists folders.
  bool exists(const fs::path&) override { return false; }
  bool isFolder(const fs::path&) override { return false; }
  bool canWriteIn(const fs::path&) override { return false; }
  std::optional<files::FileStamp> stamp(const fs::path&) override { return std::nullopt; }
  errors::Result<std::string> readFile(const fs::path& path) override {
    return errors::Problem::fromSystem(path.string(), ENOENT);
  }
  errors::Status makeFolders(const fs::path&) override { return {}; }
  errors::Status writeFile(const fs::path&, std::string_view) override { return {}; }
  errors::Status replaceFile(const fs::path&, std::string_view) override { return {}; }
  errors::Status copyFile(const fs::path&, const fs::path&) override { return {}; }
  errors::Status switchFolders(const fs::path&, const fs::path&, fs::path&) override { return {}; }
  bool remove(const fs::path&) override { return false; }
  void removeAll(const fs::path&) override {}
};

files::FolderEntry entry(const std::string& path, Type type, Type target, uintmax_t size = 0) {
  return files::FolderEntry{path, type, target, size};
}

TEST(JavaFiles, FindsEverySourceAndTellsWhatItCouldNotRead) {
  MadeUpFiles files;
  files.folders.emplace("src", files::FolderListing{{
      entry("src/b", Type::directory, Type::directory),
      entry("src/A.java", Type::regular, Type::regular, 10),
      entry("src/notes.txt", Type::regular, Type::regular),
      entry("src/Pipe.java", Type::fifo, Type::fifo),
      entry("src/Gone.java", Type::symlink, Type::not_found),
      entry("src/Linked.java", Type::symlink, Type::regular, 7),
      entry("src/Folder.java", Type::symlink, Type::directory),
      entry("src/out", Type::directory, Type::directory),
      entry("src/locked", Type::directory, Type::directory),
  }, 0});
  files.folders.emplace("src/b", files::FolderListing{{entry("src/b/C.java", Type::regular, Type::regular, 3)}, EIO});
  files.folders.emplace("src/locked", errors::Problem::fromSystem("src/locked", EACCES));
  files.folders.emplace("src/out", files::FolderListing{{entry("src/out/Drawn.java", Type::regular, Type::regular)}, 0});

  const JavaFiles found = javaFilesBelow(files, "src", "src/out");
  std::vector<std::pair<std::string, uintmax_t>> sources;
  for (const JavaFile& file : found.files) sources.emplace_back(file.path.string(), file.size);
  EXPECT_EQ(sources, (std::vector<std::pair<std::string, uintmax_t>>{
                         {"src/A.java", 10}, {"src/Linked.java", 7}, {"src/b/C.java", 3}}));
  std::vector<std::string> skipped;
  for (const SkippedEntry& entry : found.skipped) skipped.push_back(entry.path.string() + ": " + entry.why);
  EXPECT_EQ(skipped, (std::vector<std::string>{"src/Pipe.java: a FIFO", "src/Gone.java: a dangling symbolic link"}));
  ASSERT_EQ(found.unreadable.size(), 2u);
  EXPECT_EQ(found.unreadable[0].folder, "src/locked");
  EXPECT_EQ(found.unreadable[0].systemError, EACCES);
  EXPECT_FALSE(found.unreadable[0].partly);
  EXPECT_EQ(found.unreadable[1].folder, "src/b");
  EXPECT_EQ(found.unreadable[1].systemError, EIO);
  EXPECT_TRUE(found.unreadable[1].partly);
}

}  // namespace
}  // namespace site
