// flowchart batch on a small source tree: drawings mirroring the tree, an
// index with the right counts and links, failures reported and listed,
// and a second run that redraws only what changed.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>

#include "tests/cli/cli_run.h"

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

namespace fs = std::filesystem;

namespace {

const char* kGood =
    "class Good {\n"
    "  int twice(int x) {\n"
    "    if (x > 0) {\n"
    "      return 2 * x;\n"
    "    }\n"
    "    return 0;\n"
    "  }\n"
    "  void loop(int n) { for (int i = 0; i < n; i++) { n--; } }\n"
    "}\n";

const char* kBroken =
    "class Broken {\n"
    "  void f() {\n"
    "    int = 3;\n"
    "  }\n"
    "}\n";

void makeTree(const fs::path& src) {
  fs::create_directories(src / "a");
  fs::create_directories(src / "b");
  writeFile(src / "a/Good.java", kGood);
  writeFile(src / "b/Broken.java", kBroken);
  writeFile(src / "Empty.java", "interface Empty { }\n");
  writeFile(src / "b/notes.txt", "not Java");
}

std::vector<std::string> filesBelow(const fs::path& folder) {
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) files.push_back(entry.path().lexically_relative(folder).generic_string());
  std::sort(files.begin(), files.end());
  return files;
}

// Standard error without the line every run ends with.
std::string withoutSummary(const std::string& err) {
  const size_t last = err.rfind("drew ");
  return last != std::string::npos && (last == 0 || err[last - 1] == '\n') ? err.substr(0, last) : err;
}

TEST(BatchCommand, DrawsTheTreeAndIndexesIt) {
  TempDir dir;
  makeTree(dir.path() / "src");
  const auto run = runFlowchart({"batch", "src", "-o", "out", "-j", "2"}, dir.path());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "");
  // Errors as they come, then one line saying what was done, also when
  // standard error is no terminal.
  EXPECT_NE(run.err.find("src/b/Broken.java:3: does not parse as Java\n"), std::string::npos) << run.err;
  const std::string summary = run.err.substr(run.err.find('\n') + 1);
  EXPECT_EQ(summary.rfind("drew 2 methods of 3 files in ", 0), 0u) << run.err;
  EXPECT_TRUE(summary.ends_with(" s; 1 failed; index: out/index.html\n")) << run.err;
  EXPECT_EQ(filesBelow(dir.path() / "out"),
            (std::vector<std::string>{"files/Empty.java/index.html", "files/a/Good.java/Good.loop-L8.html",
                                      "files/a/Good.java/Good.twice-L2.html", "files/a/Good.java/index.html",
                                      "files/b/Broken.java/index.html", "index.html", "site/access.js",
                                      "site/drawing.css", "site/drawing.js", "site/legend.svg", "site/methods.js",
                                      "site/records/Empty.java/record.json",
                                      "site/records/a/Good.java/record.json", "site/records/b/Broken.java/record.json",
                                      "site/site.css", "site/site.js", "site/site.json", "site/theme.css"}));
  const std::string index = readFile(dir.path() / "out/index.html");
  EXPECT_NE(index.find("3 files, 2 classes, 2 methods, 2 flowcharts; 1 file did not parse"), std::string::npos);
  // The methods come first, their rows made from the site's method data:
  // each with its parameter types, its drawing, its file's page and its
  // class there.
  EXPECT_LT(index.find("id=\"methods\""), index.find("id=\"file-table\""));
  EXPECT_NE(index.find("<script src=\"site/methods.js\"></script>"), std::string::npos);
  const std::string methods = readFile(dir.path() / "out/site/methods.js");
  // Each file with its classes, methods, NLOC, Halstead volume and
  // methods not drawn, for the files' table.
  EXPECT_NE(methods.find("[\"a/Good.java\",\"files/a/Good.java/\",1,2,9,208,0]"), std::string::npos) << methods;
  EXPECT_NE(methods.find("[\"b/Broken.java\",\"files/b/Broken.java/\",0,0,null,null,0]"), std::string::npos);
  EXPECT_NE(methods.find(",1,\"Good\",\"twice(int)\",\"Good.twice-L2.html\",\"\",2,"), std::string::npos);
  EXPECT_NE(methods.find(",1,\"Good\",\"loop(int)\",\"Good.loop-L8.html\",\"\",8,"), std::string::npos);
  // Each folder with its counts, leading to its methods.
  EXPECT_NE(index.find("<tr><td class=\"name\"><a href=\"#q=file%3Aa/\">a/</a></td><td class=\"n\">1</td>"
                       "<td class=\"n\">2</td><td class=\"n\">0</td></tr>"),
            std::string::npos);
  EXPECT_NE(index.find("<tr><td class=\"name\"><a href=\"files/b/Broken.java/index.html\">b/Broken.java</a></td>"
                       "<td class=\"n\"><a href=\"files/b/Broken.java/index.html#L3\">3</a></td>"
                       "<td class=\"problem\">does not parse as Java</td></tr>"),
            std::string::npos);
  // The filter's fields are the columns its headers name.
  for (const char* key : {"file", "class", "method", "line", "nloc", "cc", "cog", "hv"})
    EXPECT_NE(index.find(std::string("data-key=\"") + key + "\""), std::string::npos) << key;
  // One shared style sheet and script per tree; no page holds its own.
  EXPECT_NE(index.find("<link rel=\"stylesheet\" href=\"site/site.css\">"), std::string::npos);
  EXPECT_NE(index.find("<script src=\"site/site.js\"></script>"), std::string::npos);
  EXPECT_NE(readFile(dir.path() / "out/site/site.js").find("cog"), std::string::npos);
  EXPECT_NE(readFile(dir.path() / "out/site/drawing.js").find("hashchange"), std::string::npos);
  for (const std::string& file : filesBelow(dir.path() / "out"))
    if (file.ends_with(".html")) {
      const std::string page = readFile(dir.path() / "out" / file);
      EXPECT_EQ(page.find("<style>"), std::string::npos) << file;
      EXPECT_EQ(page.find("<script>"), std::string::npos) << file;
    }
  // A drawing: a whole HTML page with its class and file in the title and
  // a breadcrumb back to the file's page and the index.
  const std::string drawing = readFile(dir.path() / "out/files/a/Good.java/Good.twice-L2.html");
  EXPECT_EQ(drawing.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_NE(drawing.find("</html>"), std::string::npos);
  EXPECT_NE(drawing.find("<title>twice(int) &#183; Good &#183; a/Good.java</title>"), std::string::npos);
  EXPECT_NE(drawing.find("<ol class=\"crumbs\"><li><a href=\"../../../index.html\">index</a></li>"
                         "<li><a href=\"../../../index.html#q=file%3Aa/\">a</a></li>"
                         "<li><a href=\"index.html\">Good.java</a></li><li><a href=\"index.html#class-1\">Good</a></li>"
                         "<li aria-current=\"page\">twice(int)</li></ol>"),
            std::string::npos);
  EXPECT_NE(drawing.find("<link rel=\"stylesheet\" href=\"../../../site/drawing.css\">"), std::string::npos);
  EXPECT_NE(drawing.find("<script src=\"../../../site/drawing.js\"></script>"), std::string::npos);
  // A file's page: its classes, its methods linked to their drawings, and
  // its source with numbered lines.
  const std::string filePage = readFile(dir.path() / "out/files/a/Good.java/index.html");
  EXPECT_NE(filePage.find("<ol class=\"crumbs\"><li><a href=\"../../../index.html\">index</a></li>"
                          "<li><a href=\"../../../index.html#q=file%3Aa/\">a</a></li>"
                          "<li aria-current=\"page\">Good.java</li></ol>"),
            std::string::npos);
  EXPECT_NE(filePage.find("<tr id=\"class-1\"><td class=\"name\">Good</td><td>class</td>"), std::string::npos);
  EXPECT_NE(filePage.find("<td class=\"name\"><a href=\"Good.twice-L2.html\">twice(int)</a></td>"
                          "<td class=\"n\"><a href=\"#L2\">2</a></td>"),
            std::string::npos);
  EXPECT_NE(filePage.find("<li id=\"L4\">      return 2 * x;</li>\n"), std::string::npos);
  EXPECT_NE(filePage.find("<li id=\"L2\">  int twice(int x) {<a class=\"drawing\" href=\"Good.twice-L2.html\" "
                          "data-name=\"twice(int)\" aria-label=\"flowchart of twice(int)\"></a></li>\n"),
            std::string::npos);
  EXPECT_NE(filePage.find("<li id=\"L9\">}</li>\n</ol>"), std::string::npos);
  EXPECT_NE(readFile(dir.path() / "out/files/b/Broken.java/index.html").find("<li id=\"L3\" class=\"problem\">"),
            std::string::npos);

  // One worker gives the same files.
  const auto single = runFlowchart({"batch", "src", "-o", "out1", "-j", "1", "--quiet"}, dir.path());
  EXPECT_EQ(single.exitCode, 1);
  for (const std::string& file : filesBelow(dir.path() / "out"))
    EXPECT_EQ(readFile(dir.path() / "out1" / file), readFile(dir.path() / "out" / file)) << file;
}

TEST(BatchCommand, RedrawsOnlyWhatChanged) {
  TempDir dir;
  makeTree(dir.path() / "src");
  ASSERT_EQ(runFlowchart({"batch", "src", "-o", "out"}, dir.path()).exitCode, 1);
  const fs::path twice = dir.path() / "out/files/a/Good.java/Good.twice-L2.html";
  const auto drawn = fs::last_write_time(twice);

  // Nothing changed: nothing is redrawn, and the failure is reported again.
  const auto again = runFlowchart({"batch", "src", "-o", "out"}, dir.path());
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_EQ(again.err.rfind("src/b/Broken.java:3: does not parse as Java\ndrew 2 methods of 3 files in ", 0), 0u)
      << again.err;
  EXPECT_NE(again.err.find(" s (3 files up to date, kept); 1 failed; index: out/index.html\n"), std::string::npos)
      << again.err;
  EXPECT_EQ(fs::last_write_time(twice), drawn);

  // A changed file is redrawn; the drawing of a method it lost goes.
  writeFile(dir.path() / "src/b/Broken.java", "class Broken {\n  void g() { }\n}\n");
  writeFile(dir.path() / "src/a/Good.java", std::string(kGood).replace(std::string(kGood).find("  void loop"), 0, "\n"));
  fs::last_write_time(dir.path() / "src/a/Good.java", drawn + std::chrono::seconds(5));
  fs::last_write_time(dir.path() / "src/b/Broken.java", drawn + std::chrono::seconds(5));
  const auto fixed = runFlowchart({"batch", "src", "-o", "out"}, dir.path());
  EXPECT_EQ(fixed.exitCode, 0) << fixed.err;
  EXPECT_TRUE(fs::exists(dir.path() / "out/files/a/Good.java/Good.loop-L9.html"));
  EXPECT_FALSE(fs::exists(dir.path() / "out/files/a/Good.java/Good.loop-L8.html"));
  EXPECT_TRUE(fs::exists(dir.path() / "out/files/b/Broken.java/Broken.g-L2.html"));

  // --force redraws everything.
  const auto before = fs::last_write_time(dir.path() / "out/files/b/Broken.java/Broken.g-L2.html");
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_EQ(runFlowchart({"batch", "src", "-o", "out", "--force"}, dir.path()).exitCode, 0);
  EXPECT_NE(fs::last_write_time(dir.path() / "out/files/b/Broken.java/Broken.g-L2.html"), before);
}

// A source saved while it is drawn gets a record of what was read (its
// size and time before reading), not of the file as saved: here the edit
// keeps the size and gets a time before the record's, and is drawn all
// the same on the next run.
TEST(BatchCommand, AnEditDuringTheRunIsDrawnNextTime) {
  TempDir dir;
  makeTree(dir.path() / "src");
  ASSERT_EQ(runFlowchart({"batch", "src", "-o", "out"}, dir.path()).exitCode, 1);
  const fs::path good = dir.path() / "src/a/Good.java";
  const auto read = fs::last_write_time(good);
  ASSERT_LT(read, fs::last_write_time(dir.path() / "out/site/records/a/Good.java/record.json"));
  std::string edited = kGood;
  edited.replace(edited.find("loop"), 4, "pool");
  writeFile(good, edited);
  fs::last_write_time(good, read + std::chrono::milliseconds(1));
  const auto run = runFlowchart({"batch", "src", "-o", "out"}, dir.path());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(fs::exists(dir.path() / "out/files/a/Good.java/Good.pool-L8.html"));
  EXPECT_FALSE(fs::exists(dir.path() / "out/files/a/Good.java/Good.loop-L8.html"));
}

// A full disk is the machine's trouble, not the source's.  Flowcharts and
// sequence diagrams are drawn in memory and need no room in TMPDIR; a full
// OUT_DIR is reported as such, nothing is recorded of the files it cut
// short, and a good drawing of an earlier run is never replaced.
TEST(BatchCommand, AFullDiskIsReportedAndTriedAgain) {
  testing_support::SmallDisk disk(1 << 20);
  if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a small file system";
  TempDir dir;
  makeTree(dir.path() / "src");
  const std::string full = disk.path().string();
  // The test's own captures stay in the usual temporary folder.
  const auto batchIn = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"TMPDIR=" + full, FLOWCHART_CLI, "batch", "src", "-o", "out"});
    return testing_support::runProgram("/usr/bin/env", args, dir.path());
  };
  disk.fill(0);
  {
    const auto run = batchIn({"-j", "1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(withoutSummary(run.err), "src/b/Broken.java:3: does not parse as Java\n");
    EXPECT_TRUE(fs::exists(dir.path() / "out/site/records/a/Good.java/record.json"));
  }
  {
    const auto run = batchIn({"--force", "--sequence", "-j", "1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(withoutSummary(run.err), "src/b/Broken.java:3: does not parse as Java\n");
    EXPECT_TRUE(fs::exists(dir.path() / "out/files/a/Good.java/Good.twice-L2-sequence.html"));
  }

  // An OUT_DIR without room for the drawings.
  disk.unfill();
  const fs::path out = disk.path() / "out";
  fs::create_directories(out / "files/a/Good.java");
  disk.fill(0);
  const auto cramped = runFlowchart({"batch", "src", "-o", out.string(), "-j", "1"}, dir.path());
  EXPECT_EQ(cramped.exitCode, 1);
  EXPECT_NE(cramped.err.find("src/a/Good.java:2: cannot write " + (out / "files/a/Good.java/Good.twice-L2.html").string() +
                             ": no space left in " + (out / "files/a/Good.java").string() + "\n"),
            std::string::npos)
      << cramped.err;
  EXPECT_FALSE(fs::exists(out / "site/records/a/Good.java/record.json"));
  disk.unfill();
  const auto roomy = runFlowchart({"batch", "src", "-o", out.string()}, dir.path());
  EXPECT_EQ(withoutSummary(roomy.err), "src/b/Broken.java:3: does not parse as Java\n");
  EXPECT_TRUE(fs::exists(out / "files/a/Good.java/Good.twice-L2.html"));
}

// --sequence puts each method's sequence diagram beside its flowchart,
// records it and links it from the index; a later run without the option
// keeps them, and one with it redraws files recorded without them.
TEST(BatchCommand, SequenceDiagramsBesideTheFlowcharts) {
  TempDir dir;
  makeTree(dir.path() / "src");
  ASSERT_EQ(runFlowchart({"batch", "src", "-o", "out"}, dir.path()).exitCode, 1);
  const auto run = runFlowchart({"batch", "src", "-o", "out", "--sequence", "--quiet"}, dir.path());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "src/b/Broken.java:3: does not parse as Java\n");
  EXPECT_EQ(filesBelow(dir.path() / "out/files/a/Good.java"),
            (std::vector<std::string>{"Good.loop-L8-sequence.html", "Good.loop-L8.html", "Good.twice-L2-sequence.html",
                                      "Good.twice-L2.html", "index.html"}));
  const std::string record = readFile(dir.path() / "out/site/records/a/Good.java/record.json");
  EXPECT_NE(record.find("\"cognitive\":1,\"halsteadVolume\":72,\"drawing\":\"Good.twice-L2.html\",\"problem\":\"\","
                        "\"sequence\":\"Good.twice-L2-sequence.html\"}"),
            std::string::npos)
      << record;
  const std::string index = readFile(dir.path() / "out/index.html");
  EXPECT_NE(index.find("2 flowcharts, 2 sequence diagrams; 1 file did not parse"), std::string::npos);
  EXPECT_NE(index.find("<th data-key=\"sequence\">Sequence</th>"), std::string::npos);
  EXPECT_NE(readFile(dir.path() / "out/site/methods.js").find("\"Good.twice-L2-sequence.html\"]"), std::string::npos);
  EXPECT_NE(readFile(dir.path() / "out/files/a/Good.java/Good.twice-L2-sequence.html")
                .find("<li aria-current=\"page\">twice(int) (sequence diagram)</li>"),
            std::string::npos);
  // Good.twice makes no calls: one lifeline and the note saying so.
  const std::string twice = readFile(dir.path() / "out/files/a/Good.java/Good.twice-L2-sequence.html");
  EXPECT_NE(twice.find("Good.twice makes no calls."), std::string::npos);

  const auto kept = fs::last_write_time(dir.path() / "out/files/a/Good.java/Good.twice-L2-sequence.html");
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_EQ(runFlowchart({"batch", "src", "-o", "out"}, dir.path()).exitCode, 1);
  EXPECT_EQ(fs::last_write_time(dir.path() / "out/files/a/Good.java/Good.twice-L2-sequence.html"), kept);
  EXPECT_NE(readFile(dir.path() / "out/site/methods.js").find("Good.twice-L2-sequence.html"), std::string::npos);
}

// A tree's folders that cannot be read are failures of the run, each
// reported; FIFOs, devices and dangling symbolic links are skipped with a word,
// and do not fail it.
// --format writes each method's other forms beside its page, each the same
// text `draw -o` writes, records them and links them from the page; a run
// asking for fewer forms redraws and removes the ones no longer asked for.
TEST(BatchCommand, OtherFormsBesideEachPage) {
  TempDir dir;
  makeTree(dir.path() / "src");
  const auto run = runFlowchart({"batch", "src", "-o", "out", "--format", "html,md,puml,png", "--quiet"}, dir.path());
  EXPECT_EQ(run.exitCode, 1) << run.err;
  const fs::path files = dir.path() / "out/files/a/Good.java";
  EXPECT_EQ(filesBelow(files),
            (std::vector<std::string>{"Good.loop-L8.html", "Good.loop-L8.md", "Good.loop-L8.png", "Good.loop-L8.puml",
                                      "Good.twice-L2.html", "Good.twice-L2.md", "Good.twice-L2.png",
                                      "Good.twice-L2.puml", "index.html"}));
  ASSERT_EQ(runFlowchart({"draw", "src/a/Good.java", "twice", "-o", "twice.puml"}, dir.path()).exitCode, 0);
  ASSERT_EQ(runFlowchart({"draw", "src/a/Good.java", "twice", "-o", "twice.png"}, dir.path()).exitCode, 0);
  ASSERT_EQ(runFlowchart({"draw", "src/a/Good.java", "twice", "-o", "twice.md"}, dir.path()).exitCode, 0);
  EXPECT_EQ(readFile(files / "Good.twice-L2.puml"), readFile(dir.path() / "twice.puml"));
  EXPECT_EQ(readFile(files / "Good.twice-L2.png"), readFile(dir.path() / "twice.png"));
  // With its line of measures, as draw writes it.
  EXPECT_EQ(readFile(files / "Good.twice-L2.md"), readFile(dir.path() / "twice.md"));
  EXPECT_NE(readFile(files / "Good.twice-L2.md").find("## Good.twice(int)\n\nLines 2-7 \xC2\xB7 NLOC 6 \xC2\xB7 CC 2"),
            std::string::npos);
  EXPECT_NE(readFile(files / "Good.twice-L2.html")
                .find("<p class=\"exports\">Also as: <a href=\"Good.twice-L2.md\">Markdown (Mermaid)</a> &#183; "
                      "<a href=\"Good.twice-L2.puml\">PlantUML</a> &#183; <a href=\"Good.twice-L2.png\">PNG</a></p>"),
            std::string::npos);
  EXPECT_NE(readFile(dir.path() / "out/site/records/a/Good.java/record.json")
                .find("\"exports\":[\"Good.twice-L2.md\",\"Good.twice-L2.puml\",\"Good.twice-L2.png\"]"),
            std::string::npos);

  ASSERT_EQ(runFlowchart({"batch", "src", "-o", "out", "--format", "md", "--quiet"}, dir.path()).exitCode, 1);
  EXPECT_EQ(filesBelow(files), (std::vector<std::string>{"Good.loop-L8.html", "Good.loop-L8.md", "Good.twice-L2.html",
                                                         "Good.twice-L2.md", "index.html"}));
}

// An exception of a class the file declares goes to the catch of its
// superclass in the site's flowchart as in draw's.
TEST(BatchCommand, ExceptionsOfTheFilesClassesCaughtAsDrawCatchesThem) {
  TempDir dir;
  fs::create_directory(dir.path() / "src");
  writeFile(dir.path() / "src/Shop.java",
            "class Shop {\n"
            "  static class OutOfStock extends StockError {}\n"
            "  static class StockError extends Exception {}\n"
            "  int take(int n) {\n"
            "    try {\n"
            "      if (n > 3) throw new OutOfStock();\n"
            "      return n;\n"
            "    } catch (StockError e) {\n"
            "      return -1;\n"
            "    } catch (Exception e) {\n"
            "      return -2;\n"
            "    }\n"
            "  }\n"
            "}\n");
  ASSERT_EQ(runFlowchart({"batch", "src", "-o", "out", "--format", "mmd", "--quiet"}, dir.path()).exitCode, 0);
  ASSERT_EQ(runFlowchart({"draw", "src/Shop.java", "take", "-o", "take.mmd"}, dir.path()).exitCode, 0);
  const std::string drawn = readFile(dir.path() / "take.mmd");
  EXPECT_NE(drawn.find("n5 -.->|\"OutOfStock\"| n2\n"), std::string::npos) << drawn;
  EXPECT_EQ(readFile(dir.path() / "out/files/Shop.java/Shop.take-L4.mmd"), drawn);
}

// A form that cannot be made (a PNG taller than 32,767 pixels) fails its
// method: said, counted and exit 1; recorded, so that the next run keeps
// the file and says it again rather than drawing it again.
TEST(BatchCommand, AFormThatCannotBeMadeFailsItsMethod) {
  TempDir dir;
  std::string loops;
  for (int k = 0; k < 80; ++k) {
    const std::string i = "i" + std::to_string(k);
    loops += "    for (int " + i + " = 0; " + i + " < a.length; " + i + "++) { a[" + i + "] += " + std::to_string(k) +
             "; a[0]--; }\n";
  }
  fs::create_directories(dir.path() / "src");
  writeFile(dir.file("src/Loops.java"), "class Loops {\n  void run(int[] a) {\n" + loops + "  }\n  void small() { }\n}\n");
  const std::string refused =
      "src/Loops.java:2: Loops.run-L2.png: the picture is too large for a PNG (24836 x 92176 pixels; a side holds at "
      "most 32767): write a PDF or SVG\n";
  const auto first = runFlowchart({"batch", "src", "-o", "out", "--format", "png", "--fold", "all"}, dir.path());
  EXPECT_EQ(first.exitCode, 1);
  EXPECT_EQ(first.err.substr(0, first.err.find(" in ")), refused + "drew 2 methods of 1 file");
  EXPECT_NE(first.err.find("; 1 failed; index: out/index.html\n"), std::string::npos) << first.err;
  const fs::path page = dir.path() / "out/files/Loops.java/Loops.run-L2.html";
  EXPECT_TRUE(fs::exists(page));
  EXPECT_FALSE(fs::exists(dir.path() / "out/files/Loops.java/Loops.run-L2.png"));
  EXPECT_TRUE(fs::exists(dir.path() / "out/files/Loops.java/Loops.small-L84.png"));
  const auto drawn = fs::last_write_time(page);
  const auto again = runFlowchart({"batch", "src", "-o", "out", "--format", "png", "--fold", "all"}, dir.path());
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_EQ(again.err.substr(0, again.err.find(" in ")), refused + "drew 2 methods of 1 file");
  EXPECT_NE(again.err.find(" (1 file up to date, kept); 1 failed; index: out/index.html\n"), std::string::npos)
      << again.err;
  EXPECT_EQ(fs::last_write_time(page), drawn);
}

// A symbolic link where the site is written (a site restored from a
// cache) is refused before anything is written, as index refuses what it
// would replace: nothing is written through it.
TEST(BatchCommand, WritesThroughNoLinkBelowTheOutputFolder) {
  TempDir dir;
  makeTree(dir.path() / "src");
  ASSERT_EQ(runFlowchart({"batch", "src", "-o", "out", "--quiet"}, dir.path()).exitCode, 1);
  fs::create_directories(dir.path() / "elsewhere");
  writeFile(dir.file("elsewhere/index.html"), "kept");
  fs::create_directories(dir.path() / "other");
  fs::remove_all(dir.path() / "out/files/a/Good.java");
  fs::create_symlink(dir.path() / "elsewhere", dir.path() / "out/files/a/Good.java");
  fs::rename(dir.path() / "out/site", dir.path() / "site-aside");
  fs::create_symlink("../other", dir.path() / "out/site");
  const auto run = runFlowchart({"batch", "src", "-o", "out", "--force"}, dir.path());
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err,
            "out/files/a/Good.java: is a symbolic link, which batch would write through; remove it or give another "
            "output folder\n"
            "out/site: is a symbolic link, which batch would write through; remove it or give another output folder\n");
  EXPECT_EQ(readFile(dir.path() / "elsewhere/index.html"), "kept");
  EXPECT_EQ(filesBelow(dir.path() / "elsewhere"), std::vector<std::string>{"index.html"});
  EXPECT_TRUE(fs::is_empty(dir.path() / "other"));
}

TEST(BatchCommand, ReportsWhatTheTreeHoldsBesidesSources) {
  TempDir dir;
  makeTree(dir.path() / "src");
  fs::create_directories(dir.path() / "src/locked/deep");
  writeFile(dir.path() / "src/locked/deep/Hidden.java", kGood);
  ASSERT_EQ(::mkfifo((dir.path() / "src/Pipe.java").c_str(), 0644), 0);
  fs::create_symlink("nowhere/Gone.java", dir.path() / "src/a/Gone.java");
  fs::create_symlink("/dev/null", dir.path() / "src/b/Null.java");
  fs::permissions(dir.path() / "src/locked", fs::perms::none);
  fs::permissions(dir.path(), fs::perms::all);
  fs::create_directories(dir.path() / "out");
  // Root reads every folder: the run is made as nobody then.
  std::vector<std::string> args = {FLOWCHART_CLI, "batch", "src", "-o", "out", "-j", "1"};
  std::string program = "/usr/bin/env";
  if (::geteuid() == 0) {
    if (!fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "needs setpriv to run as another user";
    args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", "/usr/bin/env"});
    program = "/usr/bin/setpriv";
    ASSERT_EQ(testing_support::runShell("chown -R 65534:65534 " + testing_support::shellQuote(dir.file("out"))), 0);
  }
  const auto run = testing_support::runProgram(program, args, dir.path());
  fs::permissions(dir.path() / "src/locked", fs::perms::owner_all);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(withoutSummary(run.err),
            "src/locked: cannot be read: Permission denied\n"
            "src/Pipe.java: skipped: a FIFO\n"
            "src/a/Gone.java: skipped: a dangling symbolic link\n"
            "src/b/Null.java: skipped: a device\n"
            "src/b/Broken.java:3: does not parse as Java\n");
  EXPECT_TRUE(fs::exists(dir.path() / "out/files/a/Good.java/Good.twice-L2.html"));
}

// The processes of a process group that still run (zombies aside).
size_t runningInGroup(pid_t group) {
  size_t running = 0;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream in(entry.path() / "stat");
    const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    char state = 0;
    int parent = 0, pgrp = 0;
    if (std::sscanf(stat.c_str() + close + 1, " %c %d %d", &state, &parent, &pgrp) == 3 && pgrp == group &&
        state != 'Z')
      ++running;
  }
  return running;
}

pid_t startBatch(const fs::path& dir) {
  const pid_t child = ::fork();
  if (child == 0) {
    ::setpgid(0, 0);
    ::chdir(dir.c_str());
    ::execl(FLOWCHART_CLI, FLOWCHART_CLI, "batch", "src", "-o", "out", "-j", "2", "--quiet", (char*)nullptr);
    ::_exit(127);
  }
  return child;
}

// SIGTERM (kill, timeout) stops a run within seconds although a worker is
// inside a file of thousands of methods, which is left unrecorded; and a
// run killed outright takes its workers with it.
TEST(BatchCommand, StopsPromptlyAndLeavesNoWorkerBehind) {
  TempDir dir;
  fs::create_directory(dir.path() / "src");
  std::string big = "class Big {\n";
  for (int m = 0; m < 3000; ++m)
    big += "  int m" + std::to_string(m) + "(int x) { while (x > 1) { if (x % 2 == 0) x /= 2; else x = 3 * x + 1; } return x; }\n";
  writeFile(dir.path() / "src/Big.java", big + "}\n");
  writeFile(dir.path() / "src/Big2.java", std::string(big).replace(6, 3, "Big2") + "}\n");

  const pid_t child = startBatch(dir.path());
  ASSERT_GT(child, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  const auto asked = std::chrono::steady_clock::now();
  ::kill(child, SIGTERM);  // the parent only, as kill and timeout do
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(3));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 143);
  EXPECT_EQ(runningInGroup(child), 0u);
  EXPECT_FALSE(fs::exists(dir.path() / "out/site/records/Big.java/record.json"));
  EXPECT_FALSE(fs::exists(dir.path() / "out/index.html"));

  const pid_t killed = startBatch(dir.path());
  ASSERT_GT(killed, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  ASSERT_EQ(runningInGroup(killed), 3u);  // the parent and its two workers
  ::kill(killed, SIGKILL);
  ::waitpid(killed, &status, 0);
  for (int wait = 0; wait < 20 && runningInGroup(killed) > 0; ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(runningInGroup(killed), 0u);
}

// Identical inputs give identical bytes, whichever worker draws a file and
// whatever it drew before: one worker for the tree, two, and draw alone.
TEST(BatchCommand, SameSourcesSameBytes) {
  TempDir dir;
  fs::copy(testing_support::fixture("examples/java"), dir.path() / "src");
  ASSERT_EQ(runFlowchart({"batch", "src", "-o", "one", "-j", "1"}, dir.path()).exitCode, 0);
  ASSERT_EQ(runFlowchart({"batch", "src", "-o", "two", "-j", "2"}, dir.path()).exitCode, 0);
  const std::vector<std::string> files = filesBelow(dir.path() / "one");
  EXPECT_EQ(files, filesBelow(dir.path() / "two"));
  for (const std::string& file : files)
    EXPECT_EQ(readFile(dir.path() / "two" / file), readFile(dir.path() / "one" / file)) << file;
  ASSERT_EQ(runFlowchart({"draw", "src/Inventory.java", "parseAmount", "-o", "alone.html"}, dir.path()).exitCode, 0);
  // The site's page frames the same picture.
  const auto picture = [](const std::string& page) {
    const size_t from = page.find("<svg", page.find("<section class=\"page\""));
    return page.substr(from, page.find("</svg>", from) - from);
  };
  EXPECT_EQ(picture(readFile(dir.path() / "alone.html")),
            picture(readFile(dir.path() / "one/files/Inventory.java/Inventory.parseAmount-L78.html")));
}

// Ctrl-C stops a run between files and methods: every file left behind is
// whole, and the next run finishes the job.
TEST(BatchCommand, InterruptedRunLeavesWholeFiles) {
  // Enough work that the interrupt comes while it is under way.
  constexpr int kFiles = 120;
  TempDir dir;
  fs::create_directory(dir.path() / "src");
  for (int i = 0; i < kFiles; ++i) {
    std::string source = "class C" + std::to_string(i) + " {\n";
    for (int m = 0; m < 10; ++m)
      source += "  int m" + std::to_string(m) + "(int x) { while (x > 1) { if (x % 2 == 0) x /= 2; else x = 3 * x + 1; } return x; }\n";
    writeFile(dir.path() / "src" / ("C" + std::to_string(i) + ".java"), source + "}\n");
  }
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::setpgid(0, 0);
    ::chdir(dir.path().c_str());
    ::execl(FLOWCHART_CLI, FLOWCHART_CLI, "batch", "src", "-o", "out", "-j", "2", "--quiet", (char*)nullptr);
    ::_exit(127);
  }
  // Interrupted once drawing is under way (its first record's folder is
  // made), however slowly the program starts on a loaded machine.
  const fs::path records = dir.path() / "out/site/records";
  for (int waited = 0; waited < 3000 && !fs::exists(records); ++waited)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ::kill(-child, SIGINT);  // as a terminal does: the whole process group
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 130) EXPECT_FALSE(fs::exists(dir.path() / "out/index.html"));
  else EXPECT_EQ(WEXITSTATUS(status), 0);
  for (const std::string& file : filesBelow(dir.path() / "out")) {
    const bool known =
        file.ends_with(".html") || (file.starts_with("site/records/") && file.ends_with("/record.json")) ||
        (file.starts_with("site/") && (file.ends_with(".css") || file.ends_with(".js") || file.ends_with(".svg")));
    EXPECT_TRUE(known) << "left behind: " << file;
    if (file.ends_with(".html")) EXPECT_NE(readFile(dir.path() / "out" / file).find("</html>"), std::string::npos);
  }
  const auto finish = runFlowchart({"batch", "src", "-o", "out", "--quiet"}, dir.path());
  EXPECT_EQ(finish.exitCode, 0) << finish.err;
  // Per file: 10 drawings, its page and its record; the index, its
  // method data (in two parts: the first page of rows, then the rest) and
  // the site's shared files.
  EXPECT_EQ(filesBelow(dir.path() / "out").size(), kFiles * 12u + 11);
}

}  // namespace

namespace {

const std::string kLongName(300, 'n');

// Methods whose plain page names would meet, in folders named as the
// site's own files are.
void makeAwkwardTree(const fs::path& src) {
  fs::create_directories(src / "index.html");
  fs::create_directories(src / "site/records");
  fs::create_directories(src / "files");
  writeFile(src / "index.html/Over.java",
            "class Over {\n"
            "  int f(int x) { return x; } long f(long x) { return x; }\n"
            "  void a$b() { }\n"
            "  void a_b() { }\n"
            "  void run() { } void Run() { }\n"
            "  void " + kLongName + "() { }\n"
            "}\n");
  writeFile(src / "site/records/Plain.java", "class Plain {\n  void g() { }\n}\n");
  writeFile(src / "files/More.java", "class More {\n  void h(int x) { if (x > 0) h(x - 1); }\n}\n");
  writeFile(src / "Top.java", "class Top {\n  void t() { }\n}\n");
  // ISO-8859-1: "class Größe { int mü ... }".
  writeFile(src / "Latin.java", "class Gr\xf6\xdf" "e {\n  int m\xfc(int x) { return x; }\n}\n");
}

std::vector<std::string> drawingsOf(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename() != "index.html") names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST(BatchCommand, EveryMethodItsOwnPageWhateverTheNames) {
  TempDir dir;
  makeAwkwardTree(dir.path() / "src");
  const auto run = runFlowchart({"batch", "src", "-o", "out", "--quiet"}, dir.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(fs::is_regular_file(dir.path() / "out/index.html"));
  EXPECT_TRUE(fs::is_regular_file(dir.path() / "out/files/index.html/Over.java/index.html"));
  EXPECT_TRUE(fs::is_regular_file(dir.path() / "out/files/site/records/Plain.java/Plain.g-L2.html"));
  EXPECT_TRUE(fs::is_regular_file(dir.path() / "out/files/files/More.java/More.h-L2.html"));
  const std::vector<std::string> pages = drawingsOf(dir.path() / "out/files/index.html/Over.java");
  ASSERT_EQ(pages.size(), 7u);
  std::set<std::string> folded;
  for (const std::string& page : pages) {
    std::string lower = page;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(folded.insert(lower).second) << page;
    EXPECT_LT(page.size(), 200u) << page;
  }
  // The index links every one of them, by the names its parameter types tell apart.
  const std::string index = readFile(dir.path() / "out/site/methods.js");
  EXPECT_NE(index.find("\"files/index.html/Over.java/\""), std::string::npos);
  for (const std::string& page : pages) EXPECT_NE(index.find("\"" + page + "\""), std::string::npos) << page;
  EXPECT_NE(index.find("\"f(int)\""), std::string::npos);
  EXPECT_NE(index.find("\"f(long)\""), std::string::npos);
  // A page in the source's encoding names its method and class as written.
  const std::string latin = readFile(dir.path() / "out/files/Latin.java/Gr\xc3\xb6\xc3\x9f" "e.m\xc3\xbc-L2.html");
  EXPECT_NE(latin.find("<meta charset=\"ISO-8859-1\">"), std::string::npos);
  EXPECT_NE(latin.find("<title>m&#252;(int) &#183; Gr&#246;&#223;e &#183; Latin.java</title>"), std::string::npos);
  EXPECT_NE(readFile(dir.path() / "out/files/Latin.java/index.html")
                .find("<li id=\"L1\">class Gr\xc3\xb6\xc3\x9f" "e {</li>"),
            std::string::npos);

  // draw picks one of two overloads on one line by its types.
  const auto draw = runFlowchart({"draw", "src/index.html/Over.java", "f(long):2", "-o", "f.json"}, dir.path());
  EXPECT_EQ(draw.exitCode, 0) << draw.err;
  EXPECT_NE(readFile(dir.path() / "f.json").find("\"method\": \"f\""), std::string::npos);
  const auto both = runFlowchart({"draw", "src/index.html/Over.java", "f:2"}, dir.path());
  EXPECT_EQ(both.exitCode, 2);
  EXPECT_EQ(both.err, "src/index.html/Over.java: 'f:2' names 2 methods; pick one with METHOD:LINE or METHOD(TYPES):\n"
                      "  Over.f(int):2\n  Over.f(long):2\n");
}

// Three shards of a tree, drawn apart and merged by flowchart index, make
// the same site as one run over the whole tree.
TEST(BatchCommand, ShardsMergeIntoTheSameSite) {
  TempDir dir;
  makeTree(dir.path() / "src");
  makeAwkwardTree(dir.path() / "src");
  fs::create_directories(dir.path() / "src/p");
  for (int i = 0; i < 6; ++i)
    writeFile(dir.path() / "src/p" / ("C" + std::to_string(i) + ".java"),
              "class C" + std::to_string(i) + " {\n  int m(int x) { return x > 1 ? m(x - 1) : 1; }\n}\n");
  ASSERT_EQ(runFlowchart({"batch", "src", "-o", "whole", "--quiet"}, dir.path()).exitCode, 1);
  std::vector<std::string> shardFiles;
  for (int k = 1; k <= 3; ++k) {
    const std::string shard = std::to_string(k) + "/3";
    const auto run = runFlowchart({"batch", "src", "-o", "shard-" + std::to_string(k), "--shard", shard, "--quiet"},
                                  dir.path());
    EXPECT_LE(run.exitCode, 1) << run.err;
    for (const std::string& file : filesBelow(dir.path() / ("shard-" + std::to_string(k)) / "site/records"))
      shardFiles.push_back(file);
  }
  // Every file is in exactly one shard.
  std::sort(shardFiles.begin(), shardFiles.end());
  EXPECT_EQ(shardFiles, filesBelow(dir.path() / "whole/site/records"));
  const auto merged = runFlowchart({"index", "shard-1", "shard-2", "shard-3", "-o", "site"}, dir.path());
  ASSERT_EQ(merged.exitCode, 0) << merged.err;
  EXPECT_EQ(merged.out, "site/index.html: 14 files, 19 methods from 3 output folders\n");
  EXPECT_EQ(readFile(dir.path() / "site/index.html"), readFile(dir.path() / "whole/index.html"));
  EXPECT_EQ(filesBelow(dir.path() / "site"), filesBelow(dir.path() / "whole"));
  for (const std::string& file : filesBelow(dir.path() / "whole"))
    if (!file.starts_with("site/records/"))
      EXPECT_EQ(readFile(dir.path() / "site" / file), readFile(dir.path() / "whole" / file)) << file;

  EXPECT_EQ(runFlowchart({"batch", "src", "-o", "x", "--shard", "4/3"}, dir.path()).exitCode, 2);
  const auto notOutput = runFlowchart({"index", "src/a", "-o", "site2"}, dir.path());
  EXPECT_EQ(notOutput.exitCode, 2);
  EXPECT_EQ(notOutput.err, "src/a: holds no output of flowchart batch (no site/site.json)\n");
}

// A site of more methods than one part of the index's data holds: the
// rows in several files, whole source files in each, which a merge makes
// alike and a later run of fewer methods takes back.
TEST(BatchCommand, TheIndexDataOfABigSiteComesInParts) {
  TempDir dir;
  makeTree(dir.path() / "src");
  fs::create_directories(dir.path() / "src/big");
  // Methods without a body: rows of the index, with nothing to draw.
  for (const auto& [name, count] : {std::pair{"A", 2100}, std::pair{"B", 3}}) {
    std::string text = std::string("interface ") + name + " {\n";
    for (int i = 0; i < count; ++i) text += "  void m" + std::to_string(i) + "();\n";
    writeFile(dir.path() / "src/big" / (std::string(name) + ".java"), text + "}\n");
  }
  ASSERT_EQ(runFlowchart({"batch", "src", "-o", "out", "--quiet"}, dir.path()).exitCode, 1);
  const std::string first = readFile(dir.path() / "out/site/methods.js");
  const std::string second = readFile(dir.path() / "out/site/methods-2.js");
  EXPECT_FALSE(fs::exists(dir.path() / "out/site/methods-3.js"));
  // Files in the tree's order, A filling the first part, B in the second.
  EXPECT_NE(first.find("\"big/A.java\""), std::string::npos);
  EXPECT_EQ(first.find("\"big/B.java\""), std::string::npos);
  EXPECT_NE(first.find("\"parts\":2,\"total\":2105,\"totalFiles\":5}"), std::string::npos)
      << first.substr(first.size() - 80);
  EXPECT_EQ(second.rfind("window.flowchartAddMethods(JSON.parse('{\"files\":[[\"big/B.java\"", 0), 0u) << second;

  const auto merged = runFlowchart({"index", "out", "-o", "site"}, dir.path());
  ASSERT_EQ(merged.exitCode, 0) << merged.err;
  EXPECT_EQ(readFile(dir.path() / "site/site/methods.js"), first);
  EXPECT_EQ(readFile(dir.path() / "site/site/methods-2.js"), second);

  fs::remove(dir.path() / "src/big/A.java");
  ASSERT_EQ(runFlowchart({"batch", "src", "-o", "out", "--quiet"}, dir.path()).exitCode, 1);
  EXPECT_NE(readFile(dir.path() / "out/site/methods.js").find("\"parts\":1,\"total\":5,\"totalFiles\":4}"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(dir.path() / "out/site/methods-2.js"));
}
