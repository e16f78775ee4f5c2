// flowchart index and the runs of batch it merges: a merge takes what the
// outputs' own indexes show and nothing else, never loses the site it
// replaces (a full disk, Ctrl-C, SIGTERM), reports damaged records and
// missing drawings, and refuses shards that do not make one tree; a batch
// run of the changed methods keeps what it does not redraw.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <thread>

#include "tests/cli/cli_run.h"

using testing_support::readFile;
using testing_support::TempDir;

namespace fs = std::filesystem;

namespace {

// Writes a file, making its folders first.
void writeFile(const fs::path& path, std::string_view text) {
  fs::create_directories(path.parent_path());
  testing_support::writeFile(path, text);
}

// Every file below the folder with its bytes; with withRecords false, but
// the records (which say which shard drew them).
std::map<std::string, std::string> contentOf(const fs::path& folder, bool withRecords = true) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const std::string name = entry.path().lexically_relative(folder).generic_string();
    if (entry.is_regular_file() && (withRecords || !name.starts_with("site/records/"))) files[name] = readFile(entry.path());
  }
  return files;
}

std::string classWith(const std::string& name, int methods) {
  std::string source = "class " + name + " {\n";
  for (int m = 0; m < methods; ++m)
    source += "  int m" + std::to_string(m) + "(int x) { if (x > " + std::to_string(m) + ") return x; return 0; }\n";
  return source + "}\n";
}

// The shard of --shard K/n whose output holds the file's record.
int shardHolding(const fs::path& dir, int n, const std::string& relative) {
  for (int k = 1; k <= n; ++k)
    if (fs::exists(dir / ("s" + std::to_string(k)) / "site/records" / relative / "record.json")) return k;
  return 0;
}

// Shards with no file, a source deleted since its shard was drawn, and a
// stray record at the top of an output's records: the merge shows what
// the outputs' indexes show, as one run over the tree does.
TEST(IndexCommand, MergesWhatTheOutputsIndexesShow) {
  TempDir dir;
  writeFile(dir.path() / "src/A.java", classWith("A", 2));
  writeFile(dir.path() / "src/p/B.java", classWith("B", 1));
  std::vector<std::string> shards;
  for (int k = 1; k <= 4; ++k) {
    const std::string out = "s" + std::to_string(k);
    const auto run = runFlowchart({"batch", "src", "-o", out, "--shard", std::to_string(k) + "/4", "--quiet"}, dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    shards.push_back(out);
  }
  std::vector<std::string> merge = {"index"};
  merge.insert(merge.end(), shards.begin(), shards.end());
  merge.insert(merge.end(), {"-o", "site"});
  const auto merged = runFlowchart(merge, dir.path());
  ASSERT_EQ(merged.exitCode, 0) << merged.err;
  EXPECT_EQ(merged.out, "site/index.html: 2 files, 3 methods from 4 output folders\n");
  ASSERT_EQ(runFlowchart({"batch", "src", "-o", "whole", "--quiet"}, dir.path()).exitCode, 0);
  EXPECT_EQ(contentOf(dir.path() / "site", false), contentOf(dir.path() / "whole", false));

  // B deleted and its shard drawn again: its record stays in that output,
  // and the merge leaves it out as that output's index does.
  fs::remove(dir.path() / "src/p/B.java");
  const int holder = shardHolding(dir.path(), 4, "p/B.java");
  ASSERT_GT(holder, 0);
  ASSERT_EQ(runFlowchart({"batch", "src", "-o", "s" + std::to_string(holder), "--shard",
                          std::to_string(holder) + "/4", "--quiet"},
                         dir.path())
                .exitCode,
            0);
  EXPECT_TRUE(fs::exists(dir.path() / ("s" + std::to_string(holder)) / "site/records/p/B.java/record.json"));
  // A record.json right under records/ names no source.
  const int holderOfA = shardHolding(dir.path(), 4, "A.java");
  fs::copy_file(dir.path() / ("s" + std::to_string(holderOfA)) / "site/records/A.java/record.json",
                dir.path() / ("s" + std::to_string(holderOfA)) / "site/records/record.json");
  const auto again = runFlowchart(merge, dir.path());
  ASSERT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(again.out, "site/index.html: 1 file, 2 methods from 4 output folders\n");
  fs::remove_all(dir.path() / "whole");
  ASSERT_EQ(runFlowchart({"batch", "src", "-o", "whole", "--quiet"}, dir.path()).exitCode, 0);
  EXPECT_EQ(contentOf(dir.path() / "site", false), contentOf(dir.path() / "whole", false));

  // Outputs of an earlier version, and a folder that is not a site.
  writeFile(dir.path() / "old/site/site.json", "title\tFlowcharts of src\n");
  fs::create_directories(dir.path() / "old/site/records");
  const auto old = runFlowchart({"index", "old", "-o", "site"}, dir.path());
  EXPECT_EQ(old.exitCode, 2);
  EXPECT_EQ(old.err, "old/site/site.json: written by an older version of flowchart, or not by flowchart; run flowchart "
                     "batch into old again\n");
  writeFile(dir.path() / "home/notes.txt", "mine");
  const auto notSite = runFlowchart({"index", "s1", "s2", "s3", "s4", "-o", "home"}, dir.path());
  EXPECT_EQ(notSite.exitCode, 2);
  EXPECT_EQ(notSite.err, "home: holds files that are not a flowchart site, which merging would replace; give a new "
                         "or empty folder\n");
  EXPECT_EQ(readFile(dir.path() / "home/notes.txt"), "mine");
}

// Records say which shard of how many drew them; shards of different
// splits, or a set that misses a share, are refused.
TEST(IndexCommand, RefusesShardsThatDoNotMakeOneTree) {
  TempDir dir;
  for (int i = 0; i < 8; ++i) writeFile(dir.path() / "src" / ("C" + std::to_string(i) + ".java"), classWith("C" + std::to_string(i), 1));
  for (const std::string shard : {"1/2", "1/3", "2/3", "3/3"}) {
    const std::string out = "s" + std::string(1, shard[0]) + "of" + shard[2];
    ASSERT_EQ(runFlowchart({"batch", "src", "-o", out, "--shard", shard, "--quiet"}, dir.path()).exitCode, 0);
  }
  for (const auto& entry : fs::recursive_directory_iterator(dir.path() / "s2of3/site/records"))
    if (entry.path().filename() == "record.json") EXPECT_NE(readFile(entry.path()).find("\"shard\":2,\"shards\":3,"), std::string::npos);
  const auto mixed = runFlowchart({"index", "s1of2", "s2of3", "-o", "site"}, dir.path());
  EXPECT_EQ(mixed.exitCode, 2);
  EXPECT_EQ(mixed.err, "flowchart index: s1of2 holds share 1/2 and s2of3 share 2/3: shards of different splits do not "
                       "make one tree; merge the shards of one --shard K/N\n");
  const auto missing = runFlowchart({"index", "s1of3", "s2of3", "-o", "site"}, dir.path());
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_EQ(missing.err, "flowchart index: the outputs hold shares 1/3, 2/3 of the tree, not 3/3: merge every shard "
                         "(or the site merged before with them)\n");
  EXPECT_FALSE(fs::exists(dir.path() / "site"));
  const auto all = runFlowchart({"index", "s1of3", "s2of3", "s3of3", "-o", "site"}, dir.path());
  EXPECT_EQ(all.exitCode, 0) << all.err;
  EXPECT_EQ(all.out, "site/index.html: 8 files, 8 methods from 3 output folders\n");
  // The merged site covers the tree: merged again with a newer shard, it
  // needs no other.
  const auto onto = runFlowchart({"index", "site", "s2of3", "-o", "site"}, dir.path());
  EXPECT_EQ(onto.exitCode, 0) << onto.err;
}

// Symbolic links out of an output are never followed, and nothing but a
// file's page and the drawings its record names is copied.
TEST(IndexCommand, NeverFollowsLinksNorCopiesWhatNoRecordNames) {
  TempDir dir;
  writeFile(dir.path() / "src/A.java", classWith("A", 1));
  writeFile(dir.path() / "src/B.java", classWith("B", 1));
  ASSERT_EQ(runFlowchart({"batch", "src", "-o", "out", "--quiet"}, dir.path()).exitCode, 0);
  writeFile(dir.path() / "secret/id_rsa", "PRIVATE KEY");
  writeFile(dir.path() / "secret/B.m0-L2.html", "PRIVATE KEY");
  writeFile(dir.path() / "secret/index.html", "PRIVATE KEY");
  // A's drawing a link to the key, a link and a stray file beside it; B's
  // folder a link to the secret folder.
  const fs::path a = dir.path() / "out/files/A.java";
  fs::remove(a / "A.m0-L2.html");
  fs::create_symlink(dir.path() / "secret/id_rsa", a / "A.m0-L2.html");
  fs::create_symlink(dir.path() / "secret/id_rsa", a / "key.html");
  writeFile(a / "notes.txt", "stray");
  fs::remove_all(dir.path() / "out/files/B.java");
  fs::create_directory_symlink(dir.path() / "secret", dir.path() / "out/files/B.java");
  const auto run = runFlowchart({"index", "out", "-o", "site"}, dir.path());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err,
            "out/files/A.java/A.m0-L2.html: missing, though its record names it; run flowchart batch on A.java again\n"
            "out/files/B.java/B.m0-L2.html: missing, though its record names it; run flowchart batch on B.java again\n");
  std::vector<std::string> names;
  for (const auto& [name, text] : contentOf(dir.path() / "site")) {
    EXPECT_EQ(text.find("PRIVATE"), std::string::npos) << name;
    if (name.starts_with("files/")) names.push_back(name);
  }
  EXPECT_EQ(names, std::vector<std::string>{"files/A.java/index.html"});
  const std::string index = readFile(dir.path() / "site/site/methods.js");
  EXPECT_EQ(index.find("m0-L2.html"), std::string::npos);
  EXPECT_NE(index.find("\"m0(int)\",\"\",\"its drawing is missing from out\""), std::string::npos) << index;
}

// A record cut short or damaged is reported by index and drawn again by
// batch; a missing drawing is reported; and a record made to name the
// file's own page never gets that page deleted.
TEST(IndexCommand, DamagedRecordsAndMissingDrawingsAreReported) {
  TempDir dir;
  writeFile(dir.path() / "src/A.java", classWith("A", 2));
  writeFile(dir.path() / "src/B.java", classWith("B", 1));
  ASSERT_EQ(runFlowchart({"batch", "src", "-o", "out", "--quiet"}, dir.path()).exitCode, 0);
  const fs::path recordA = dir.path() / "out/site/records/A.java/record.json";
  const std::string whole = readFile(recordA);
  // Cut short, though it ends in a line end.
  writeFile(recordA, whole.substr(0, whole.size() / 2) + "\n");
  fs::remove(dir.path() / "out/files/B.java/B.m0-L2.html");
  const auto merged = runFlowchart({"index", "out", "-o", "site"}, dir.path());
  EXPECT_EQ(merged.exitCode, 1);
  EXPECT_EQ(merged.err,
            "out/site/records/A.java/record.json: cut short or damaged (it is not whole JSON); run flowchart batch on its source "
            "again\n"
            "out/files/B.java/B.m0-L2.html: missing, though its record names it; run flowchart batch on B.java again\n");
  const std::string index = readFile(dir.path() / "site/index.html");
  EXPECT_NE(index.find("not merged: its record in out is cut short or damaged (it is not whole JSON); run flowchart batch again"),
            std::string::npos);
  EXPECT_EQ(index.find("B.m0-L2.html"), std::string::npos);

  // batch draws both again, A because its record is cut short, B because
  // a drawing is missing.
  const auto redraw = runFlowchart({"batch", "src", "-o", "out"}, dir.path());
  EXPECT_EQ(redraw.exitCode, 0);
  EXPECT_EQ(redraw.err.substr(0, redraw.err.find("drew ")),
            "out/site/records/A.java/record.json: cut short or damaged (it is not whole JSON); A.java is drawn again\n");
  EXPECT_EQ(readFile(recordA), whole);
  EXPECT_TRUE(fs::exists(dir.path() / "out/files/B.java/B.m0-L2.html"));

  // A record edited to name the file's page as a drawing does not read
  // back: the file is drawn again, and its page stays.
  const fs::path recordB = dir.path() / "out/site/records/B.java/record.json";
  std::string forged = readFile(recordB);
  forged.replace(forged.find("B.m0-L2.html"), 12, "index.html");
  writeFile(recordB, forged);
  const auto again = runFlowchart({"batch", "src", "-o", "out"}, dir.path());
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_EQ(again.err.substr(0, again.err.find("drew ")),
            "out/site/records/B.java/record.json: damaged (its checksum does not match); B.java is drawn again\n");
  EXPECT_TRUE(fs::exists(dir.path() / "out/files/B.java/index.html"));
  EXPECT_TRUE(fs::exists(dir.path() / "out/files/B.java/B.m0-L2.html"));
}

// A run of the methods changed since a revision, into a site drawn
// before, keeps every other drawing and file: the site is the one a whole
// run makes.
TEST(BatchCommand, ChangedSinceIntoASiteKeepsWhatItDoesNotRedraw) {
  if (testing_support::runShell("git --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "git is not installed";
  TempDir dir;
  const fs::path src = dir.path() / "src";
  const std::string git = "git -C " + testing_support::shellQuote(src.string()) + " -c user.name=t -c user.email=t@t ";
  writeFile(src / "A.java", "class A {\n  int one(int x) { return x; }\n  int two(int x) {\n    return x;\n  }\n}\n");
  writeFile(src / "B.java", "class B {\n  void b() { }\n}\n");
  writeFile(src / "C.java", "class C {\n  void c() { }\n}\n");
  ASSERT_EQ(testing_support::runShell(git + "init -q && " + git + "add . && " + git + "commit -qm one"), 0);
  ASSERT_EQ(runFlowchart({"batch", "src", "-o", "out", "--quiet"}, dir.path()).exitCode, 0);
  const fs::path one = dir.path() / "out/files/A.java/A.one-L2.html";
  const auto oneDrawn = fs::last_write_time(one);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  // two changes and A gets a method; B's method moves down a line; C is
  // left alone.
  writeFile(src / "A.java",
            "class A {\n  int one(int x) { return x; }\n  int two(int x) {\n    if (x > 0) x--;\n    return x;\n  }\n"
            "  void three() { }\n}\n");
  writeFile(src / "B.java", "class B {\n\n  void b() { }\n}\n");
  const auto partial = runFlowchart({"batch", "src", "-o", "out", "--changed-since", "HEAD"}, dir.path());
  EXPECT_EQ(partial.exitCode, 0) << partial.err;
  EXPECT_EQ(fs::last_write_time(one), oneDrawn);
  EXPECT_FALSE(fs::exists(dir.path() / "out/files/B.java/B.b-L2.html"));
  ASSERT_EQ(runFlowchart({"batch", "src", "-o", "whole", "--quiet"}, dir.path()).exitCode, 0);
  EXPECT_EQ(contentOf(dir.path() / "out"), contentOf(dir.path() / "whole"));
  // The records are whole: a plain run keeps all.
  const auto plain = runFlowchart({"batch", "src", "-o", "out"}, dir.path());
  EXPECT_NE(plain.err.find("(3 files up to date, kept)"), std::string::npos) << plain.err;
}

// A process started in a folder with its output thrown away.
pid_t startIndex(const fs::path& folder, const std::vector<std::string>& args) {
  const pid_t child = ::fork();
  if (child == 0) {
    ::chdir(folder.c_str());
    std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    std::vector<char*> argv = {const_cast<char*>(FLOWCHART_CLI)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(FLOWCHART_CLI, argv.data());
    ::_exit(127);
  }
  return child;
}

// Merges onto a small disk that fills up, and merges stopped by Ctrl-C or
// SIGTERM at random points: the previous site is whole every time, and
// nothing is left beside it.
TEST(IndexCommand, AFullDiskOrAStopNeverLosesTheSite) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to mount a small file system (a tmpfs)";
  TempDir dir;
  fs::copy(testing_support::fixture("examples/java"), dir.path() / "src");
  for (int i = 0; i < 12; ++i)
    writeFile(dir.path() / "src/more" / ("M" + std::to_string(i) + ".java"), classWith("M" + std::to_string(i), 3));
  for (const char* k : {"1", "2"})
    ASSERT_EQ(runFlowchart({"batch", "src", "-o", std::string("s") + k, "--shard", std::string(k) + "/2", "--quiet"},
                           dir.path())
                  .exitCode,
              0);
  // The second shard again, from a changed tree.
  writeFile(dir.path() / "src/more/M0.java", classWith("M0", 5));
  writeFile(dir.path() / "src/more/M1.java", classWith("M1", 5));
  fs::copy(dir.path() / "s1", dir.path() / "t1", fs::copy_options::recursive);
  fs::copy(dir.path() / "s2", dir.path() / "t2", fs::copy_options::recursive);
  for (const char* k : {"1", "2"})
    ASSERT_EQ(runFlowchart({"batch", "src", "-o", std::string("t") + k, "--shard", std::string(k) + "/2", "--quiet"},
                           dir.path())
                  .exitCode,
              0);
  ASSERT_EQ(runFlowchart({"index", "t1", "t2", "-o", "measure"}, dir.path()).exitCode, 0);
  uintmax_t siteBytes = 0;
  for (const auto& [name, text] : contentOf(dir.path() / "measure")) siteBytes += text.size() + 4096;
  // Room for the two sites and a little more.
  testing_support::SmallDisk disk(2 * siteBytes + (1 << 20));
  if (!disk.mounted()) GTEST_SKIP() << "cannot mount a small file system (a tmpfs)";
  const std::string site = (disk.path() / "site").string();
  const std::vector<std::vector<std::string>> merges = {{"index", "s1", "s2", "-o", site},
                                                        {"index", "t1", "t2", "-o", site}};
  ASSERT_EQ(runFlowchart(merges[1], dir.path()).exitCode, 0);
  const std::map<std::string, std::string> second = contentOf(site);
  ASSERT_EQ(runFlowchart(merges[0], dir.path()).exitCode, 0);
  const std::map<std::string, std::string> first = contentOf(site);
  ASSERT_NE(first, second);
  const std::vector<const std::map<std::string, std::string>*> sites = {&first, &second};
  const auto onlySite = [&] {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(disk.path())) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  };

  // Full: each merge finds less room, down to none.
  int now = 0;  // which of the two sites is in place
  size_t refused = 0;
  const intmax_t step = static_cast<intmax_t>(siteBytes / 12);
  for (intmax_t left = static_cast<intmax_t>(siteBytes) + step;; left -= step) {
    const uintmax_t room = static_cast<uintmax_t>(std::max<intmax_t>(left, 0));
    disk.fill(room);
    const auto run = runFlowchart(merges[1 - now], dir.path());
    disk.unfill();
    if (run.exitCode == 0) {
      now = 1 - now;
    } else {
      ++refused;
      EXPECT_EQ(run.exitCode, 1) << run.err;
      EXPECT_EQ(run.err, site + ": cannot build the merged site beside it in " + disk.path().string() +
                             ": no space left on the device; the site is left as it was\n");
    }
    EXPECT_EQ(contentOf(site), *sites[now]) << room;
    EXPECT_EQ(onlySite(), std::vector<std::string>{"site"}) << room;
    if (room == 0) break;
  }
  EXPECT_GT(refused, 2u);

  // Stopped at random points.
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(runFlowchart(merges[1 - now], dir.path()).exitCode, 0);
  now = 1 - now;
  const auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
  // The stop lands at a random moment between the earliest that finds the
  // handler in place and the latest before the merge ends: the window
  // narrows as rounds land too early (killed outright) or too late (done),
  // so that a loaded machine, on which starting takes most of a run, still
  // stops merges midway.
  std::mt19937 random(28);
  size_t stopped = 0;
  int64_t early = 0, late = took.count() + 1;
  for (int round = 0; round < 24 || (stopped < 3 && round < 200); ++round) {
    const pid_t child = startIndex(dir.path(), merges[1 - now]);
    ASSERT_GT(child, 0);
    if (early >= late) early = 0, late = 2 * took.count() + 1;
    const int64_t delay = early + static_cast<int64_t>(random() % static_cast<uint64_t>(late - early));
    std::this_thread::sleep_for(std::chrono::microseconds(delay));
    ::kill(child, round % 2 ? SIGTERM : SIGINT);
    int status = 0;
    ::waitpid(child, &status, 0);
    const std::map<std::string, std::string> after = contentOf(site);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
      now = 1 - now;
      late = delay;
    } else if (WIFEXITED(status)) {
      EXPECT_EQ(WEXITSTATUS(status), round % 2 ? 143 : 130);
      ++stopped;
    } else if (after == *sites[1 - now]) {
      // Killed after it let the signal go: the merge was done.
      now = 1 - now;
      late = delay;
    } else {
      // Killed before it took the signal.
      early = delay + 1;
    }
    EXPECT_EQ(after, *sites[now]) << round;
    EXPECT_EQ(onlySite(), std::vector<std::string>{"site"}) << round;
  }
  EXPECT_GT(stopped, 0u);
}

}  // namespace
