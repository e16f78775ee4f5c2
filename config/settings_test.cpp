#include "config/settings.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace config {
namespace {

namespace fs = std::filesystem;

TEST(Settings, FoundUpwardsNearestFirstWithEachValuesLine) {
  testing_support::TempDir dir;
  fs::create_directories(dir.path() / "repo/src/main");
  testing_support::writeFile(dir.path() / ".flowchart.toml", "[thresholds]\nmax-cc = 4\n");
  testing_support::writeFile(dir.path() / "repo/.flowchart.toml",
                  "# the shop\njava = \"1.8\"\nexclude = [\"**/generated/**\", \"Legacy*.java\", \"tools\"]\n\n"
                  "[thresholds]\nmax-cc = 10\nmax-increase-cognitive = 2\n[site]\ntitle = \"Shop\"\n"
                  "[editor]\nurl = \"vscode://file/{path}:{line}\"\n");

  const errors::Result<Settings> settings = loadSettings(files::realFileSystem(), dir.path() / "repo/src/main");
  ASSERT_TRUE(settings) << settings.problem().message;
  EXPECT_EQ(settings->file, dir.path() / "repo/.flowchart.toml");
  EXPECT_EQ(settings->maxCc.value, 10);
  EXPECT_EQ(settings->maxCc.origin.text(), "../../.flowchart.toml:6");
  EXPECT_EQ(settings->maxIncreaseCognitive.value, 2);
  EXPECT_EQ(settings->maxCognitive.value, std::nullopt);
  EXPECT_EQ(settings->maxCognitive.origin.text(), "default");
  EXPECT_EQ(settings->java.value, 8);
  EXPECT_EQ(settings->siteTitle.value, "Shop");
  EXPECT_EQ(settings->editor.origin.text(), "../../.flowchart.toml:11");
  EXPECT_EQ(settings->thresholds().cyclomatic, 10);
  EXPECT_EQ(settings->thresholds().cognitiveRise, 2);

  // Globs are relative to the file's folder; a glob without '/' names a
  // file or folder at any depth.
  const fs::path repo = dir.path() / "repo";
  EXPECT_TRUE(settings->excludes(repo / "src/generated/x/A.java"));
  EXPECT_TRUE(settings->excludes(repo / "src/LegacyShop.java"));
  EXPECT_TRUE(settings->excludes(repo / "tools/Gen.java"));
  EXPECT_FALSE(settings->excludes(repo / "src/main/Shop.java"));
  EXPECT_FALSE(settings->excludes(repo / "src/main/ShopLegacy.java"));
  EXPECT_FALSE(settings->excludes(dir.path() / "tools/Gen.java"));  // outside the file's folder

  // The flags' values go over the file's.
  Settings flagged = *settings;
  flagged.maxCc.overrideBy(3, "--max-cc");
  EXPECT_EQ(flagged.thresholds().cyclomatic, 3);
  EXPECT_EQ(flagged.maxCc.origin.text(), "--max-cc");

  // No file up to the root: the defaults.
  const errors::Result<Settings> none = loadSettings(files::realFileSystem(), "/");
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->file.empty());
  EXPECT_FALSE(none->thresholds().any());
}

TEST(Settings, UnknownKeysAndBadValuesNameTheFileAndLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"[thresholds]\nmax-cc = 3\nmax-ccc = 4\n",
       "f.toml:3: unknown key 'max-ccc' in [thresholds]; the keys are max-cc, max-cognitive, max-nloc, "
       "max-increase-cc and max-increase-cognitive"},
      {"titel = \"x\"\n", "f.toml:1: unknown key 'titel'; the keys are java, exclude, [thresholds], [site] and [editor]"},
      {"[thresholds]\n\nmax-nloc = -1\n", "f.toml:3: max-nloc takes a whole number from 0 to 1000000"},
      {"[thresholds]\nmax-cc = \"10\"\n", "f.toml:2: max-cc takes a whole number from 0 to 1000000"},
      {"java = 99\n", "f.toml:1: java takes a Java release from 1 to 25"},
      {"exclude = \"gen\"\n", "f.toml:1: exclude takes a list of globs, such as [\"**/generated/**\"]"},
      {"thresholds = 3\n", "f.toml:1: 'thresholds' is a table: write [thresholds] and its keys below it"},
      {"[editor]\nurl = \"javascript:alert({line})\"\n",
       "f.toml:2: [editor] url takes a URL with its scheme and {line} (and usually {path}), such as "
       "vscode://file/{path}:{line}, not 'javascript:alert({line})'"},
  };
  for (const auto& [text, message] : cases) {
    const errors::Result<Settings> settings = parseSettings(text, "f.toml");
    ASSERT_FALSE(settings) << text;
    EXPECT_EQ(settings.problem().kind, errors::Problem::Kind::Usage);
    EXPECT_EQ(settings.problem().message, message);
  }
  const errors::Result<Settings> broken = parseSettings("[thresholds]\nmax-cc = 3\nmax-cc 4\n", "f.toml");
  ASSERT_FALSE(broken);
  EXPECT_EQ(broken.problem().message.rfind("f.toml:3: not TOML: ", 0), 0u) << broken.problem().message;
}

TEST(Settings, Globs) {
  EXPECT_TRUE(globMatches("src/**/*.java", "src/A.java"));
  EXPECT_TRUE(globMatches("src/**/*.java", "src/a/b/A.java"));
  EXPECT_FALSE(globMatches("src/*.java", "src/a/A.java"));
  EXPECT_TRUE(globMatches("?est*", "test_x"));
  EXPECT_FALSE(globMatches("*.java", "A.javax"));
}

}  // namespace
}  // namespace config
