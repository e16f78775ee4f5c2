// The real disk behind the file-system seam, whose write number failAt
// fails as a full disk does (ENOSPC), or at whose write number stopAt a
// stop is asked for: a full disk or a stop at every write in turn,
// without root and without filling a disk.
#pragma once

#include <atomic>
#include <cerrno>
#include <cstddef>

#include "files/file_system.h"
#include "tests/support/test_support.h"

namespace testing_support {

class FaultyDisk final : public files::FileSystem {
 public:
  size_t writes = 0;
  size_t failAt = 0;
  size_t stopAt = 0;
  bool failAll = false;  // the disk stays full from write failAt on
  std::atomic<bool> stop{false};

  errors::Result<files::FolderListing> listFolder(const std::filesystem::path& folder) override {
    return real().listFolder(folder);
  }
  bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) override {
    return real().sameFile(a, b);
  }
  bool exists(const std::filesystem::path& path) override { return real().exists(path); }
  bool isFolder(const std::filesystem::path& path) override { return real().isFolder(path); }
  bool canWriteIn(const std::filesystem::path& folder) override { return real().canWriteIn(folder); }
  std::optional<files::FileStamp> stamp(const std::filesystem::path& path) override { return real().stamp(path); }
  errors::Result<std::string> readFile(const std::filesystem::path& path) override { return real().readFile(path); }
  errors::Status makeFolders(const std::filesystem::path& folder) override {
    if (!next()) return full(folder);
    return real().makeFolders(folder);
  }
  errors::Status writeFile(const std::filesystem::path& path, std::string_view bytes) override {
    if (!next()) {
      // As a full disk does: part of the file is written.
      testing_support::writeFile(path, bytes.substr(0, bytes.size() / 2));
      return full(path);
    }
    return real().writeFile(path, bytes);
  }
  errors::Status replaceFile(const std::filesystem::path& path, std::string_view bytes) override {
    if (!next()) return full(path);
    return real().replaceFile(path, bytes);
  }
  errors::Status copyFile(const std::filesystem::path& from, const std::filesystem::path& to) override {
    if (!next()) return full(to);
    return real().copyFile(from, to);
  }
  errors::Status switchFolders(const std::filesystem::path& fresh, const std::filesystem::path& target,
                               std::filesystem::path& old) override {
    if (!next()) return full(target);
    return real().switchFolders(fresh, target, old);
  }
  bool remove(const std::filesystem::path& path) override { return real().remove(path); }
  void removeAll(const std::filesystem::path& path) override { real().removeAll(path); }

 private:
  static files::FileSystem& real() { return files::realFileSystem(); }
  // Whether this write may go on.
  bool next() {
    ++writes;
    if (writes == stopAt) stop = true;
    if (failAll && failAt != 0) return writes < failAt;
    return writes != failAt;
  }
  static errors::Problem full(const std::filesystem::path& path) {
    return errors::Problem::fromSystem(path.string(), ENOSPC);
  }
};

}  // namespace testing_support
