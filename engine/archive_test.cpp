#include "archive.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include <unistd.h>
#include <zip.h>
#include <zlib.h>

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
  EXPECT_EQ(engine::unpackTargetFolder("proj"), "proj/");
  // Only a dot in the file name counts, not one in a folder name.
  EXPECT_EQ(engine::unpackTargetFolder("C:/work/rel.2/proj"), "C:/work/rel.2/proj/");
  EXPECT_EQ(engine::unpackTargetFolder("my.folder/archive"), "my.folder/archive/");
  EXPECT_EQ(engine::unpackTargetFolder("C:\\my.folder\\a.b.zip"), "C:\\my.folder\\a.b/");
  // A name without a stem would unpack into the folder that holds it.
  for (const char* archive : {".zip", "work/.zip", "work\\.zip", "work/..zip", "work/...zip", "work/", ""})
    EXPECT_EQ(engine::unpackTargetFolder(archive), std::nullopt) << archive;
}

TEST(Archive, AnArchiveWithoutAStemUnpacksNothing) {
  TempDir dir;
  makeFile(dir.path() / "keep.txt", "mine");
  makeZip(dir.path() / ".zip", {{"keep.txt", "theirs"}, {"new.txt", "new"}});
  EXPECT_EQ(engine::unpackArchive((dir.path() / ".zip").string()), 1);
  EXPECT_EQ(readFile(dir.path() / "keep.txt"), "mine");
  EXPECT_FALSE(fs::exists(dir.path() / "new.txt"));
  // A dot in a folder name does not decide where an archive goes: one
  // named without an extension would unpack into a folder of its own name
  // (the archive stands there, so nothing comes out), not into "my/".
  fs::create_directories(dir.path() / "my.folder");
  makeZip(dir.path() / "my.folder" / "archive", {{"a.txt", "a"}});
  EXPECT_EQ(engine::unpackArchive((dir.path() / "my.folder" / "archive").string()), 1);
  EXPECT_FALSE(fs::exists(dir.path() / "my"));
  EXPECT_TRUE(fs::is_regular_file(dir.path() / "my.folder" / "archive"));
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

namespace {

// An archive holding entries whose data is written raw, with the size and
// CRC the central directory states: the data can be cut short of them.
struct RawEntry {
  std::string name;
  std::string data;       // compressed (or stored) bytes as written
  int method;             // Z_DEFLATED or 0
  uLong crc;              // stated
  uint64_t uncompressed;  // stated
};

std::string rawDeflate(std::string_view text) {
  z_stream stream{};
  EXPECT_EQ(deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&stream, static_cast<uLong>(text.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  out.resize(out.size() - stream.avail_out);
  deflateEnd(&stream);
  return out;
}

uLong crcOf(std::string_view text) {
  return crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size()));
}

void makeRawZip(const fs::path& archive, const std::vector<RawEntry>& entries) {
  zipFile zip = zipOpen64(archive.string().c_str(), APPEND_STATUS_CREATE);
  ASSERT_TRUE(zip);
  for (const RawEntry& entry : entries) {
    zip_fileinfo info{};
    ASSERT_EQ(zipOpenNewFileInZip2(zip, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, entry.method,
                                   Z_DEFAULT_COMPRESSION, 1),
              ZIP_OK);
    zipWriteInFileInZip(zip, entry.data.data(), static_cast<unsigned>(entry.data.size()));
    zipCloseFileInZipRaw64(zip, entry.uncompressed, entry.crc);
  }
  zipClose(zip, nullptr);
}

}  // namespace

TEST(Archive, DamagedEntriesReplaceNothing) {
  // Entries whose data ends before their stated size, or whose bytes do
  // not give their CRC, are skipped, and the files already there kept.
  TempDir dir;
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i) + "\n";
  const std::string deflated = rawDeflate(text);
  makeFile(dir.path() / "proj" / "cut.txt", "good");
  makeFile(dir.path() / "proj" / "short.txt", "good");
  makeFile(dir.path() / "proj" / "wrong.txt", "good");
  makeRawZip(dir.path() / "proj.zip",
             {{"cut.txt", deflated.substr(0, deflated.size() / 2), Z_DEFLATED, crcOf(text), text.size()},
              {"short.txt", text.substr(0, 100), 0, crcOf(text.substr(0, 200)), 200},
              {"wrong.txt", deflated, Z_DEFLATED, crcOf(text) ^ 1, text.size()},
              {"whole.txt", deflated, Z_DEFLATED, crcOf(text), text.size()}});
  EXPECT_EQ(engine::unpackArchive((dir.path() / "proj.zip").string()), 1);
  for (const char* name : {"cut.txt", "short.txt", "wrong.txt"})
    EXPECT_EQ(readFile(dir.path() / "proj" / name), "good") << name;
  EXPECT_EQ(readFile(dir.path() / "proj" / "whole.txt"), text);
  EXPECT_EQ(tree(dir.path() / "proj").size(), 4u);  // no temporary file left
}

// An entry that would fill the disk stops the extraction before it is
// written; the files extracted before it are whole.  On a small tmpfs, so
// only as root.
TEST(Archive, ExtractionStopsBeforeItWouldFillTheDisk) {
  testing_support::SmallDisk disk(8 << 20);
  if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a small file system";
  std::string first;
  for (int i = 0; i < 30000; ++i) first += std::to_string(i * 7919) + " ";
  const fs::path archive = disk.path() / "bomb.zip";
  makeZip(archive, {{"first.txt", first}, {"bomb.bin", std::string(64 << 20, '\0')}, {"last.txt", "last"}});
  ASSERT_LT(fs::file_size(archive), 1u << 20);
  makeFile(disk.path() / "bomb" / "bomb.bin", "old");
  EXPECT_EQ(engine::unpackArchive(archive.string()), 1);
  EXPECT_EQ(readFile(disk.path() / "bomb" / "first.txt"), first);
  EXPECT_EQ(readFile(disk.path() / "bomb" / "bomb.bin"), "old");
  EXPECT_FALSE(fs::exists(disk.path() / "bomb" / "last.txt"));
  EXPECT_EQ(tree(disk.path() / "bomb").size(), 2u);
}

// A file whose reads fail (here one that stands for a process's memory,
// where reading from the start fails) is left out of the archive rather
// than stored as a valid empty entry.  Needs root for the mount.
TEST(Archive, PackingLeavesOutFilesWhoseReadsFail) {
  TempDir dir;
  const fs::path proj = dir.path() / "proj";
  makeFile(proj / "a.txt", "a");
  makeFile(proj / "broken.bin", "");
  makeFile(proj / "z.txt", "z");
  struct Mount {
    std::string target, pid;
    bool mounted = false;
    ~Mount() {
      if (mounted) runShell("umount '" + target + "'");
      if (!pid.empty()) runShell("kill " + pid);
    }
  } mount{(proj / "broken.bin").string(), ""};
  if (geteuid() != 0) GTEST_SKIP() << "needs root to mount";
  ASSERT_EQ(runShell("sleep 120 >/dev/null 2>&1 & echo $! > '" + dir.file("pid") + "'"), 0);
  mount.pid = readFile(dir.file("pid"));
  mount.pid.erase(mount.pid.find_last_not_of("\n") + 1);
  mount.mounted = runShell("mount --bind /proc/" + mount.pid + "/mem '" + mount.target + "' 2>/dev/null") == 0;
  if (!mount.mounted) GTEST_SKIP() << "cannot bind-mount here";
  ASSERT_EQ(runShell("cat '" + mount.target + "' >/dev/null 2>&1"), 1) << "reads do not fail";

  EXPECT_EQ(engine::packFolder(proj.string()), 1);
  EXPECT_EQ(listing(dir.path() / "proj.zip"), "a.txt\nz.txt\n");
  EXPECT_EQ(runShell("unzip -tq '" + (dir.path() / "proj.zip").string() + "' >/dev/null"), 0);
}
