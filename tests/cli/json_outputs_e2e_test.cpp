// The outputs other tools read, of a tree whose file names hold what
// breaks naive writers: bytes that are not UTF-8 (an ISO-8859-1 name),
// spaces, quotes, colons, backslashes, tabs and control characters.
// Every JSON output must be valid UTF-8 that a strict parser reads.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/cli/cli_run.h"

namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::shellQuote;
using testing_support::TempDir;
using testing_support::writeFile;

TEST(JsonOutputs, HostileFileNamesGiveValidUtf8Json) {
  if (testing_support::runShell("python3 -c 'import json' 2>/dev/null") != 0) GTEST_SKIP() << "needs python3";
  TempDir dir;
  const std::string folder = "src \"q\" : x";
  const fs::path src = dir.path() / folder;
  fs::create_directories(src);
  const std::string busy = " {\n  int f(int a) { return a > 0 ? 1 : 2; }\n}\n";
  const std::vector<std::string> names = {"Lat\xE9n.java", "sp ace.java", "q\"uote.java", "co:lon.java",
                                          "back\\slash.java", "tab\tname.java", "bell\x07.java"};
  for (const std::string& name : names) writeFile(src / name, "class X" + busy);
  // An ISO-8859-1 source under an ISO-8859-1 name: its texts are converted
  // once, its name by the rule for file names.
  writeFile(src / names[0], "class Lat\xE9n {\n  int caf\xE9(int a) { return a > 0 ? 1 : 2; }\n}\n");

  fs::create_directories(dir.path() / "reports");
  std::vector<std::string> reports;
  for (const auto& [format, file] : std::vector<std::pair<std::string, std::string>>{
           {"json", "check.json"}, {"codeclimate", "codeclimate.json"}, {"sarif", "check.sarif"}}) {
    const auto run = runFlowchart({"check", folder, "--max-cc", "1", "-f", format, "-o", "reports/" + file},
                                  dir.path());
    EXPECT_EQ(run.exitCode, 3) << format << run.err;
    reports.push_back("reports/" + file);
  }
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string source = folder + "/" + names[i];
    const auto list = runFlowchart({"list", source, "--json"}, dir.path());
    EXPECT_EQ(list.exitCode, 0) << list.err;
    writeFile(dir.path() / ("reports/list-" + std::to_string(i) + ".json"), list.out);
    const std::string graph = "reports/draw-" + std::to_string(i) + ".json";
    const auto draw = runFlowchart({"draw", source, i == 0 ? "caf\xC3\xA9" : "f", "-o", graph}, dir.path());
    EXPECT_EQ(draw.exitCode, 0) << draw.err;
    reports.push_back("reports/list-" + std::to_string(i) + ".json");
    reports.push_back(graph);
  }

  // Python's json module on text decoded strictly as UTF-8.
  writeFile(dir.path() / "strict.py",
            "import json, sys\n"
            "for name in sys.argv[1:]:\n"
            "    with open(name, 'rb') as f:\n"
            "        json.loads(f.read().decode('utf-8', 'strict'))\n");
  std::string command = "cd " + shellQuote(dir.path().string()) + " && python3 strict.py";
  for (const std::string& report : reports) command += " " + shellQuote(report);
  EXPECT_EQ(testing_support::runShell(command), 0);

  // The Latin-1 name is read as ISO-8859-1 once, in every output.
  const std::string latin = "src \\\"q\\\" : x/Lat\xC3\xA9n.java";
  EXPECT_NE(readFile(dir.path() / "reports/check.json").find("{\"file\":\"" + latin + "\",\"methods\":[{\"name\":\"Lat\xC3\xA9n.caf\xC3\xA9\""),
            std::string::npos);
  EXPECT_NE(readFile(dir.path() / "reports/codeclimate.json").find("\"location\":{\"path\":\"" + latin + "\""),
            std::string::npos);
  EXPECT_NE(readFile(dir.path() / "reports/list-0.json").find("{\"file\":\"" + latin + "\""), std::string::npos);
  EXPECT_EQ(readFile(dir.path() / "reports/draw-0.json")
                .rfind("{\"file\": \"" + latin + "\", \"class\": \"Lat\xC3\xA9n\", \"method\": \"caf\xC3\xA9\"", 0),
            0u);
  EXPECT_NE(readFile(dir.path() / "reports/check.sarif").find("\"uri\":\"src%20%22q%22%20%3A%20x/Lat%E9n.java\""),
            std::string::npos);
  EXPECT_NE(readFile(dir.path() / "reports/check.json").find("\"file\":\"src \\\"q\\\" : x/bell\\u0007.java\""),
            std::string::npos);
}

}  // namespace
