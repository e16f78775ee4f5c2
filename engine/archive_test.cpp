#include "archive.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include <zip.h>

#include "tests/support/test_support.h"

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::runShell;
using testing_support::TempDir;
using testing_support::writeFile;

namespace {

// Whole seconds, even: zip keeps times to two seconds.
const fs::file_time_type kStamp = std::chrono::file_clock::from_sys(
    std::chrono::sys_seconds(std::chrono::seconds(1180000000)));

void makeFile(const fs::path& path, std::string_view bytes) {
  fs::create_directories(path.parent_path());
  writeFile(path, bytes);
  fs::last_write_time(path, kStamp);
}

std::string listing(const fs::path& archive) {
  TempDir out;
  runShell("unzip -Z1 '" + archive.string() + "' > '" + out.file("list") + "' 2>/dev/null");
  return readFile(out.file("list"));
}

// Every path below root, relative, sorted.
std::vector<std::string> tree(const fs::path& root) {
  std::vector<std::string> paths;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    paths.push_back(entry.path().lexically_relative(root).string() +
                    (fs::is_directory(fs::symlink_status(entry.path())) ? "/" : ""));
  std::sort(paths.begin(), paths.end());
  return paths;
}

void makeZip(const fs::path& archive, const std::vector<std::pair<std::string, std::string>>& entries) {
  zipFile zip = zipOpen64(archive.string().c_str(), APPEND_STATUS_CREATE);
  ASSERT_TRUE(zip);
  for (const auto& [name, bytes] : entries) {
    zip_fileinfo info{};
    ASSERT_EQ(zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                  Z_DEFLATED, Z_DEFAULT_COMPRESSION), ZIP_OK);
    zipWriteInFileInZip(zip, bytes.data(), static_cast<unsigned>(bytes.size()));
    zipCloseFileInZip(zip);
  }
  zipClose(zip, nullptr);
}

}  // namespace

TEST(Archive, PackStoresRelativeNamesInOrderAndUnzipReadsThem) {
  TempDir dir;
  const fs::path proj = dir.path() / "proj";
  std::string binary;
  for (int i = 0; i < 70000; ++i) binary.push_back(static_cast<char>(i * 7));
  makeFile(proj / "b.txt", "bee\n");
  makeFile(proj / "a.txt", "ay\n");
  makeFile(proj / "sub" / "deep" / "c.bin", binary);
  // The folder's own name recurs deeper: only the leading prefix goes.
  makeFile(proj / "projgen" / "proj" / "x.txt", "x");
  fs::create_directories(proj / "empty");

  EXPECT_EQ(engine::packFolder(proj.string()), 1);
  ASSERT_TRUE(fs::exists(dir.path() / "proj.zip"));
  EXPECT_EQ(listing(dir.path() / "proj.zip"), "a.txt\nb.txt\nprojgen/proj/x.txt\nsub/deep/c.bin\n");

  ASSERT_EQ(runShell("cd '" + dir.path().string() + "' && unzip -q -d unzipped proj.zip"), 0);
  EXPECT_EQ(readFile(dir.path() / "unzipped" / "sub" / "deep" / "c.bin"), binary);
  EXPECT_EQ(fs::last_write_time(dir.path() / "unzipped" / "a.txt"), kStamp);

  // Packing again gives the same archive, and a trailing slash changes nothing.
  const std::string first = readFile(dir.path() / "proj.zip");
  EXPECT_EQ(engine::packFolder(proj.string() + "/"), 1);
  EXPECT_EQ(readFile(dir.path() / "proj.zip"), first);
  EXPECT_FALSE(fs::exists(proj / ".zip"));
  // So does a folder given with backslashes.
  std::string backslashed = proj.string();
  std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
  fs::remove(dir.path() / "proj.zip");
  if (backslashed.find('\\') != std::string::npos && !fs::exists(backslashed)) {
    EXPECT_EQ(engine::packFolder(backslashed), 1);
    EXPECT_EQ(readFile(dir.path() / "proj.zip"), first);
  }
}

TEST(Archive, EmptyAndMissingFolders) {
  TempDir dir;
  fs::create_directories(dir.path() / "empty");
  EXPECT_EQ(engine::packFolder((dir.path() / "empty").string()), 1);
  EXPECT_EQ(fs::file_size(dir.path() / "empty.zip"), 22u);  // just the end record
  EXPECT_EQ(engine::unpackArchive((dir.path() / "empty.zip").string()), 1);
  EXPECT_TRUE(fs::is_empty(dir.path() / "empty"));
  EXPECT_EQ(engine::packFolder((dir.path() / "missing").string()), 1);
  EXPECT_FALSE(fs::exists(dir.path() / "missing.zip"));
}

TEST(Archive, UnpackRestoresZipMadeArchivesWithTimes) {
  TempDir dir;
  const fs::path src = dir.path() / "src";
  makeFile(src / "Main.java", "class Main {}\n");
  makeFile(src / "pkg" / "Util.java", "class Util {}\n");
  ASSERT_EQ(runShell("cd '" + src.string() + "' && zip -q -r -X ../proj.zip ."), 0);
  // Existing files are replaced.
  makeFile(dir.path() / "proj" / "Main.java", "stale");
  EXPECT_EQ(engine::unpackArchive((dir.path() / "proj.zip").string()), 1);
  EXPECT_EQ(readFile(dir.path() / "proj" / "Main.java"), "class Main {}\n");
  EXPECT_EQ(readFile(dir.path() / "proj" / "pkg" / "Util.java"), "class Util {}\n");
  EXPECT_EQ(fs::last_write_time(dir.path() / "proj" / "pkg" / "Util.java"), kStamp);
}

TEST(Archive, TargetFolderIsTheTextBeforeTheLastDot) {
  EXPECT_EQ(engine::unpackTargetFolder("C:/work/proj.zip"), "C:/work/proj/");
  EXPECT_EQ(engine::unpackTargetFolder("C:/work/rel.2/proj"), "C:/work/rel/");
  EXPECT_EQ(engine::unpackTargetFolder("proj"), "proj/");
}

TEST(Archive, StoredNamesAreCleaned) {
  EXPECT_EQ(engine::cleanStoredName("a/b.txt"), "a/b.txt");
  EXPECT_EQ(engine::cleanStoredName("/abs"), "abs");
  EXPECT_EQ(engine::cleanStoredName("C:\\x"), "x");
  EXPECT_EQ(engine::cleanStoredName("C:/c:/y"), "y");
  EXPECT_EQ(engine::cleanStoredName("a\\..\\b"), "b");
  EXPECT_EQ(engine::cleanStoredName("a/../b/c"), "b/c");
  EXPECT_EQ(engine::cleanStoredName("./d/./e"), "d/e");
  EXPECT_EQ(engine::cleanStoredName("dir/"), "dir/");
  EXPECT_EQ(engine::cleanStoredName("../evil"), std::nullopt);
  EXPECT_EQ(engine::cleanStoredName("a/../../b"), std::nullopt);
  EXPECT_EQ(engine::cleanStoredName("a/.."), std::nullopt);
  EXPECT_EQ(engine::cleanStoredName(".."), std::nullopt);
  EXPECT_EQ(engine::cleanStoredName("./"), std::nullopt);
  EXPECT_EQ(engine::cleanStoredName(""), std::nullopt);
}

TEST(Archive, HostileArchivesPutNothingOutsideTheTarget) {
  TempDir dir;
  const fs::path outside = dir.path() / "outside";
  fs::create_directories(outside);
  fs::create_directories(dir.path() / "evil");
  fs::create_directories(dir.path() / "evil" / "proj");
  fs::create_directory_symlink(outside, dir.path() / "evil" / "proj" / "link");
  makeZip(dir.path() / "evil" / "proj.zip",
          {{"../evil", "1"}, {"/abs", "2"}, {"C:\\x", "3"}, {"a/../../b", "4"}, {"a\\..\\b", "5"},
           {"..", "6"}, {"./dot/./f", "7"}, {"../../../../../../tmp/escape", "8"},
           {"link/through", "9"}, {"ok/fine.txt", "10"}, {"sub/..", "11"}});
  EXPECT_EQ(engine::unpackArchive((dir.path() / "evil" / "proj.zip").string()), 1);
  EXPECT_EQ(tree(dir.path() / "evil" / "proj"),
            (std::vector<std::string>{"abs", "b", "dot/", "dot/f", "link", "ok/", "ok/fine.txt",
                                      "tmp/", "tmp/escape", "x"}));
  EXPECT_EQ(readFile(dir.path() / "evil" / "proj" / "b"), "5");
  EXPECT_TRUE(fs::is_empty(outside));
  EXPECT_EQ(tree(dir.path() / "evil"),
            (std::vector<std::string>{"proj.zip", "proj/", "proj/abs", "proj/b", "proj/dot/",
                                      "proj/dot/f", "proj/link", "proj/ok/", "proj/ok/fine.txt",
                                      "proj/tmp/", "proj/tmp/escape", "proj/x"}));
}

TEST(Archive, BrokenArchivesAreSkipped) {
  TempDir dir;
  writeFile(dir.file("notzip.zip"), "this is not a zip archive");
  EXPECT_EQ(engine::unpackArchive(dir.file("notzip.zip")), 1);
  EXPECT_FALSE(fs::exists(dir.path() / "notzip"));
  makeZip(dir.path() / "good.zip", {{"a.txt", std::string(100000, 'a')}});
  const std::string whole = readFile(dir.path() / "good.zip");
  writeFile(dir.file("cut.zip"), whole.substr(0, whole.size() / 2));
  EXPECT_EQ(engine::unpackArchive(dir.file("cut.zip")), 1);
  EXPECT_FALSE(fs::exists(dir.path() / "cut" / "a.txt"));
  EXPECT_EQ(engine::unpackArchive(dir.file("missing.zip")), 1);
  EXPECT_EQ(engine::unpackArchive(dir.path().string()), 1);
}
