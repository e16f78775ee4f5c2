#include "site/file_record.h"

#include <gtest/gtest.h>

namespace site {
namespace {

FileRecord sampleRecord() {
  FileRecord record;
  record.nloc = 7;
  record.languageLevel = 25;
  record.shard = 2;
  record.shards = 3;
  record.sourceSize = 120;
  record.sourceTime = 99;
  record.classes.push_back(ClassRecord{"A", "class", 1, 9, 7});
  MethodRecord method;
  method.name = "A.f(int)";
  method.line = 2;
  method.endLine = 4;
  method.complexity = 2;
  method.drawing = "A.f-L2.html";
  record.methods.push_back(method);
  return record;
}

// Whole records read back; every cut, a flipped byte, an older version
// and a record naming the file's own page do not, each saying why.
TEST(FileRecord, OnlyAWholeRecordReadsBack) {
  const std::string text = recordText(sampleRecord());
  std::string why = "unset";
  const std::optional<FileRecord> back = parseRecord(text, &why);
  ASSERT_TRUE(back);
  EXPECT_EQ(why, "");
  EXPECT_EQ(recordText(*back), text);
  EXPECT_EQ(back->shard, 2u);
  EXPECT_EQ(back->shards, 3u);

  for (size_t cut = 0; cut < text.size(); ++cut) {
    EXPECT_FALSE(parseRecord(text.substr(0, cut), &why)) << cut;
    EXPECT_FALSE(why.empty()) << cut;
  }
  // Cut at a member, line end added.
  EXPECT_FALSE(parseRecord(text.substr(0, text.find(",\"methods\"")) + "\n", &why));
  EXPECT_EQ(why, "cut short or damaged (it is not whole JSON)");
  // Whole JSON without its checksum.
  EXPECT_FALSE(parseRecord(text.substr(0, text.find(",\"checksum\"")) + "}\n", &why));
  EXPECT_EQ(why, "cut short (it has no checksum)");
  std::string flipped = text;
  flipped[flipped.find("A.f(int)")] = 'B';
  EXPECT_FALSE(parseRecord(flipped, &why));
  EXPECT_EQ(why, "damaged (its checksum does not match)");
  EXPECT_FALSE(parseRecord("flowchart-record 6\nfile\tparsed\t0\t\t-\t-\t25\t0\t1\t2\n", &why));
  EXPECT_EQ(why, "written by an older version of flowchart");

  FileRecord ownPage = sampleRecord();
  ownPage.methods[0].drawing = "index.html";
  EXPECT_FALSE(parseRecord(recordText(ownPage), &why));
  for (const char* name : {"index.html", "../x.html", "a/b.html", "record.json", ".html", "x.htm"})
    EXPECT_FALSE(isDrawingName(name)) << name;
  EXPECT_TRUE(isDrawingName("A.f-L2.html"));
  for (const char* path : {"", ".", "./A.java", "a/../A.java", "/A.java", "a//A.java", "record.json", "a/"})
    EXPECT_FALSE(isSourcePath(path)) << path;
  EXPECT_TRUE(isSourcePath("index.html/Over.java"));
}

TEST(FileRecord, SiteInfoKeepsAnyPath) {
  SiteInfo info;
  info.title = "Flowcharts of src";
  info.shards = 4;
  info.covered = {1, 3};
  info.files = {"a b/T\tab.java", "new\nline.java", "back\\slash.java", "x/Lat\xe9n.java"};
  const std::string text = siteInfoText(info);
  std::string why;
  const std::optional<SiteInfo> back = parseSiteInfo(text, &why);
  ASSERT_TRUE(back) << why;
  EXPECT_EQ(back->title, info.title);
  EXPECT_EQ(back->shards, 4u);
  EXPECT_EQ(back->covered, info.covered);
  EXPECT_EQ(back->files, info.files);
  EXPECT_FALSE(parseSiteInfo("title\tFlowcharts of src\n", &why));
  EXPECT_EQ(why, "written by an older version of flowchart, or not by flowchart");
  EXPECT_FALSE(parseSiteInfo(text.substr(0, text.size() - 1), &why));
  EXPECT_EQ(why, "cut short");
}

}  // namespace
}  // namespace site
