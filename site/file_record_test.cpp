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
  const errors::Result<FileRecord> back = parseRecord(text);
  ASSERT_TRUE(back) << back.problem().message;
  EXPECT_EQ(recordText(*back), text);
  EXPECT_EQ(back->shard, 2u);
  EXPECT_EQ(back->shards, 3u);

  const auto why = [](std::string_view text) {
    const errors::Result<FileRecord> record = parseRecord(text);
    return record ? std::string() : record.problem().message;
  };
  for (size_t cut = 0; cut < text.size(); ++cut) EXPECT_FALSE(why(text.substr(0, cut)).empty()) << cut;
  // Cut at a member, line end added.
  EXPECT_EQ(why(text.substr(0, text.find(",\"methods\"")) + "\n"), "cut short or damaged (it is not whole JSON)");
  // Whole JSON without its checksum.
  EXPECT_EQ(why(text.substr(0, text.find(",\"checksum\"")) + "}\n"), "cut short (it has no checksum)");
  std::string flipped = text;
  flipped[flipped.find("A.f(int)")] = 'B';
  EXPECT_EQ(why(flipped), "damaged (its checksum does not match)");
  EXPECT_EQ(why("flowchart-record 7\nfile\tparsed\t0\t\t-\t-\t25\t0\t1\t2\n"),
            "written by an older version of flowchart");

  FileRecord ownPage = sampleRecord();
  ownPage.methods[0].drawing = "index.html";
  EXPECT_EQ(why(recordText(ownPage)), "damaged (a member is not what a record holds)");
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
  const errors::Result<SiteInfo> back = parseSiteInfo(text);
  ASSERT_TRUE(back) << back.problem().message;
  EXPECT_EQ(back->title, info.title);
  EXPECT_EQ(back->shards, 4u);
  EXPECT_EQ(back->covered, info.covered);
  EXPECT_EQ(back->files, info.files);
  const errors::Result<SiteInfo> old = parseSiteInfo("title\tFlowcharts of src\n");
  ASSERT_FALSE(old);
  EXPECT_EQ(old.problem().message, "written by an older version of flowchart, or not by flowchart");
  const errors::Result<SiteInfo> cut = parseSiteInfo(text.substr(0, text.size() - 1));
  ASSERT_FALSE(cut);
  EXPECT_EQ(cut.problem().message, "cut short");
}

}  // namespace
}  // namespace site
