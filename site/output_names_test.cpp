#include "site/output_names.h"

#include <gtest/gtest.h>

#include <set>

namespace site {
namespace {

TEST(OutputNames, EveryMethodItsOwnPage) {
  const std::string longName =
      "Outer.new Comparator<Map.Entry<String, List<Integer>>>() {...}." + std::string(300, 'x');
  const std::vector<NamedMethod> methods = {
      {"A.run", "", 3},       {"A.f", "(int)", 5},  {"A.f", "(long)", 5}, {"A.a$b", "()", 9},
      {"A.a_b", "()", 9},     {"A.Run", "", 3},     {longName, "()", 12}, {"A.g", "()", 20},
      {"A.g", "()", 20},
  };
  const std::vector<std::string> stems = methodPageStems(methods);
  ASSERT_EQ(stems.size(), methods.size());
  std::set<std::string> folded;
  for (const std::string& stem : stems) {
    std::string lower = stem;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(folded.insert(lower).second) << stem;
    EXPECT_LE(stem.size() + std::string("-sequence.html").size(), 200u) << stem;
  }
  // A name that meets no other keeps its plain form.
  EXPECT_EQ(stems[7].substr(0, 6), "A.g-L2");
  EXPECT_EQ(methodPageStems({{"A.twice", "(int)", 2}}), std::vector<std::string>{"A.twice-L2"});
  EXPECT_EQ(stems[1].rfind("A.f-L5-", 0), 0u);
  EXPECT_NE(stems[1], stems[2]);
  EXPECT_EQ(stems[6].rfind("Outer.new_Comparator", 0), 0u);
  // The same names give the same stems, run after run.
  EXPECT_EQ(methodPageStems(methods), stems);
}

TEST(OutputNames, ShardsShareTheFilesOut) {
  size_t counts[3] = {0, 0, 0};
  for (int i = 0; i < 300; ++i) {
    const std::string path = "p" + std::to_string(i % 7) + "/F" + std::to_string(i) + ".java";
    int owners = 0;
    for (unsigned shard = 1; shard <= 3; ++shard)
      if (inShard(path, shard, 3)) {
        ++owners;
        ++counts[shard - 1];
      }
    EXPECT_EQ(owners, 1) << path;
  }
  for (size_t count : counts) EXPECT_GT(count, 60u);
  EXPECT_EQ(stableHash("a/B.java"), stableHash("a/B.java"));
  EXPECT_TRUE(inShard("a/B.java", 1, 1));
}

}  // namespace
}  // namespace site
