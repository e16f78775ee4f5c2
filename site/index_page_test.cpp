#include "site/index_page.h"

#include <gtest/gtest.h>

#include "text/json_text.h"

namespace site {
namespace {

// The part's JSON, read back from the string literal of its script, which
// must start with `call` and end as the page's script expects.
text::Json partOf(const std::string& script, const std::string& call, const std::string& end) {
  EXPECT_EQ(script.rfind(call, 0), 0u) << script.substr(0, 60);
  EXPECT_TRUE(script.size() > end.size() && script.compare(script.size() - end.size(), end.size(), end) == 0)
      << script.substr(script.size() - 20);
  std::string literal;
  for (size_t i = call.size(); i + end.size() < script.size(); ++i) {
    if (script[i] == '\\') ++i;
    literal += script[i];
  }
  return text::Json::parse(literal);
}

// Three files of 2, 3 and 1 methods, the first part of about 1 method and
// the others of about 3: a file's methods stay together, every method is
// in one part only, in order, each naming its own file's row in its part,
// which gives the file's counts; the first part tells how many there are.
TEST(MethodData, ComesInPartsOfWholeFiles) {
  std::vector<FileRecord> records(3);
  const std::vector<std::pair<std::string, size_t>> shape = {{"a/One.java", 2}, {"a/Two.java", 3}, {"b/It's.java", 1}};
  std::vector<IndexedFile> files;
  std::vector<std::pair<std::string, std::string>> expected, found;  // file, method
  for (size_t f = 0; f < shape.size(); ++f) {
    records[f].classes.push_back(ClassRecord{"C" + std::to_string(f), "class", 0, 0, std::nullopt});
    records[f].nloc = 10 * static_cast<int64_t>(f);
    for (size_t m = 0; m < shape[f].second; ++m) {
      MethodRecord method;
      method.name = "C" + std::to_string(f) + ".m" + std::to_string(m);
      // The last method of the second file has no drawing: not drawn.
      if (f != 1 || m != 2) method.drawing = method.name + ".html";
      records[f].methods.push_back(method);
      expected.push_back({shape[f].first, "m" + std::to_string(m)});
    }
    files.push_back(IndexedFile{shape[f].first, "files/" + shape[f].first + "/", &records[f], true});
  }
  EXPECT_EQ(methodDataName(0), "methods.js");
  EXPECT_EQ(methodDataName(1), "methods-2.js");
  const std::vector<std::string> parts = methodData(files, 1, 3);
  ASSERT_EQ(parts.size(), 3u);
  const text::Json first = partOf(parts[0], "window.flowchartMethods=JSON.parse('", "');\n");
  const text::Json second = partOf(parts[1], "window.flowchartAddMethods(JSON.parse('", "'));\n");
  const text::Json third = partOf(parts[2], "window.flowchartAddMethods(JSON.parse('", "'));\n");
  EXPECT_EQ(first["parts"], 3);
  EXPECT_EQ(first["total"], 6);
  EXPECT_EQ(first["totalFiles"], 3);
  EXPECT_FALSE(second.contains("parts"));
  for (const text::Json* part : {&first, &second, &third}) {
    EXPECT_EQ((*part)["files"].size(), 1u);
    for (const text::Json& row : (*part)["methods"]) {
      const text::Json& file = (*part)["files"][row[0].get<size_t>()];
      found.push_back({file[0].get<std::string>(), row[3].get<std::string>()});
      if (found.size() != 5) {
        EXPECT_EQ(row[4].get<std::string>(), "C" + std::to_string(found.size() > 5 ? 2 : found.size() > 2 ? 1 : 0) +
                                                 "." + row[3].get<std::string>() + ".html");
      }
    }
  }
  EXPECT_EQ(found, expected);
  // Path, page's folder, classes, methods, NLOC, Halstead volume, not drawn.
  EXPECT_EQ(second["files"][0].dump(), R"(["a/Two.java","files/a/Two.java/",1,3,10,null,1])");
  EXPECT_EQ(third["files"][0][1], "files/b/It%27s.java/");

  // A site without a method still has its first part, which says so.
  const std::vector<std::string> none = methodData({});
  ASSERT_EQ(none.size(), 1u);
  const text::Json empty = partOf(none[0], "window.flowchartMethods=JSON.parse('", "');\n");
  EXPECT_EQ(empty["parts"], 1);
  EXPECT_EQ(empty["total"], 0);
}

}  // namespace
}  // namespace site
