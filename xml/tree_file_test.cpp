#include "tree_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/test_support.h"

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

namespace {

const std::string kTree =
    "<Program>\n<TypeDecln>\n<ClsHeader>\n<CLASS l=\"1\" c=\"1\" t=\"class\"/>"
    "<IDEN l=\"1\" c=\"7\" t=\"A\xE9\"/></ClsHeader>\n<OBR l=\"1\" c=\"9\" t=\"{\"/>"
    "<CBR l=\"1\" c=\"10\" t=\"}\"/></TypeDecln>\n</Program>\n";

std::string compressed(std::string_view text) {
  TempDir dir;
  std::FILE* out = std::fopen(dir.file("z").c_str(), "w");
  EXPECT_EQ(xml::compressTextToFile(text, out), 0);
  std::fclose(out);
  return readFile(dir.file("z"));
}

}  // namespace

TEST(TreeFile, StreamedWriterMatchesOneShotCompression) {
  TempDir dir;
  const std::string path = dir.file("st.tmp");
  ASSERT_TRUE(xml::writeTreeFile(path, kTree));
  EXPECT_EQ(readFile(path), compressed(std::string(xml::kTreeDeclaration) + kTree));
  // Many small writes give the same stream as one.
  std::string big;
  for (int i = 0; i < 20000; ++i) big += "<IDEN l=\"" + std::to_string(i) + "\" c=\"3\" t=\"v\"/>";
  ASSERT_TRUE(xml::writeTreeFile(path, [&](xml::CompressedFileWriter& writer) {
    for (size_t at = 0; at < big.size(); at += 777)
      if (!writer.write(std::string_view(big).substr(at, 777))) return false;
    return true;
  }));
  EXPECT_EQ(readFile(path), compressed(std::string(xml::kTreeDeclaration) + big));
}

TEST(TreeFile, RoundTripEqualsLoadingThePlainText) {
  TempDir dir;
  ASSERT_TRUE(xml::writeTreeFile(dir.file("st.tmp"), kTree));
  writeFile(dir.file("plain.xml"), std::string(xml::kTreeDeclaration) + kTree);
  auto fromTree = xml::loadTreeDocument(dir.file("st.tmp"));
  auto fromPlain = xml::loadTreeDocument(dir.file("plain.xml"));
  ASSERT_TRUE(fromTree);
  ASSERT_TRUE(fromPlain);
  EXPECT_EQ(fromTree->toText(), fromPlain->toText());
  EXPECT_EQ(fromTree->root().selectSingleNode("//IDEN/@t").value(), "A\xE9");
}

TEST(TreeFile, StemDecidesWhatIsCompressed) {
  EXPECT_EQ(xml::treeFileStem("C:\\work\\st.tmp"), "st");
  EXPECT_EQ(xml::treeFileStem("/work/st.tmp"), "st");
  EXPECT_EQ(xml::treeFileStem("st"), "st");
  EXPECT_EQ(xml::treeFileStem("/work/my.dir/st"), "st");
  EXPECT_EQ(xml::treeFileStem("C:\\my.dir\\st"), "st");
  EXPECT_EQ(xml::treeFileStem("/work/st2.tmp"), "st2");
  EXPECT_EQ(xml::treeFileStem("/work/tree.st"), "tree");
  EXPECT_EQ(xml::treeFileStem("/work/st.a.tmp"), "st.a");

  TempDir dir;
  std::filesystem::create_directory(dir.path() / "my.dir");
  for (const char* name : {"st.tmp", "st", "my.dir/st"}) {
    ASSERT_TRUE(xml::writeTreeFile(dir.file(name), kTree));
    auto doc = xml::loadTreeDocument(dir.file(name));
    ASSERT_TRUE(doc) << name;
    EXPECT_TRUE(doc->documentElement()) << name;
  }
  // Compressed files under other names are read as plain XML, and fail.
  for (const char* name : {"st2.tmp", "tree.st"}) {
    ASSERT_TRUE(xml::writeTreeFile(dir.file(name), kTree));
    EXPECT_FALSE(xml::loadTreeDocument(dir.file(name))) << name;
  }
}

TEST(TreeFile, DamagedAndMissingFiles) {
  TempDir dir;
  // Missing: an empty document, not the empty reference.
  auto missing = xml::loadTreeDocument(dir.file("st.tmp"));
  ASSERT_TRUE(missing);
  EXPECT_TRUE(missing->empty());
  // Plain XML under the name st.tmp: inflate produces nothing.
  writeFile(dir.file("st.tmp"), std::string(xml::kTreeDeclaration) + kTree);
  auto plain = xml::loadTreeDocument(dir.file("st.tmp"));
  ASSERT_TRUE(plain);
  EXPECT_TRUE(plain->empty());
  // Cut off in the middle: the prefix is not well-formed.
  std::string big = "<Program>\n";
  for (int i = 0; i < 5000; ++i) big += "<Stmt>\n<SEMI l=\"" + std::to_string(i) + "\" c=\"1\" t=\";\"/></Stmt>\n";
  big += "</Program>\n";
  ASSERT_TRUE(xml::writeTreeFile(dir.file("st.tmp"), big));
  const std::string whole = readFile(dir.file("st.tmp"));
  writeFile(dir.file("st.tmp"), whole.substr(0, whole.size() / 2));
  const std::optional<std::string> prefix = xml::decompressFile(dir.file("st.tmp"), 1 << 30);
  ASSERT_TRUE(prefix);
  EXPECT_GT(prefix->size(), 1000u);
  EXPECT_EQ(*prefix, (std::string(xml::kTreeDeclaration) + big).substr(0, prefix->size()));
  EXPECT_FALSE(xml::loadTreeDocument(dir.file("st.tmp")));
  // Cut after the root's end tag (only the checksum lost): still loads.
  writeFile(dir.file("st.tmp"), whole.substr(0, whole.size() - 4));
  EXPECT_TRUE(xml::loadTreeDocument(dir.file("st.tmp")));
  // An empty file and a folder named st.tmp give empty documents.
  writeFile(dir.file("st.tmp"), "");
  EXPECT_TRUE(xml::loadTreeDocument(dir.file("st.tmp"))->empty());
  std::filesystem::remove(dir.file("st.tmp"));
  std::filesystem::create_directory(dir.file("st.tmp"));
  ASSERT_TRUE(xml::loadTreeDocument(dir.file("st.tmp")));
}

TEST(TreeFile, ZeroByteEndsWhatAWindowAppends) {
  TempDir dir;
  ASSERT_TRUE(xml::writeTreeFile(dir.file("st.tmp"), std::string("<a/>\0junk", 9)));
  auto text = xml::decompressFile(dir.file("st.tmp"), 1 << 20);
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, std::string(xml::kTreeDeclaration) + "<a/>");
  EXPECT_TRUE(xml::loadTreeDocument(dir.file("st.tmp")));
}

TEST(TreeFile, ExpansionBeyondTheLimitGivesTheEmptyReference) {
  TempDir dir;
  // Highly compressible: a few kilobytes on disk, megabytes inflated.
  std::string bomb = "<a>" + std::string(8 << 20, ' ') + "</a>";
  ASSERT_TRUE(xml::writeTreeFile(dir.file("st.tmp"), bomb));
  EXPECT_LT(std::filesystem::file_size(dir.file("st.tmp")), 64u << 10);
  EXPECT_FALSE(xml::decompressFile(dir.file("st.tmp"), 1 << 20));
  EXPECT_FALSE(xml::loadTreeDocument(dir.file("st.tmp"), 1 << 20));
  EXPECT_TRUE(xml::loadTreeDocument(dir.file("st.tmp"), 64 << 20));
}

namespace {

// The process's peak resident memory in KiB (VmHWM), after resetting it to
// the current size when the system lets it be reset; -1 where unknown.
long peakKib(bool reset) {
  if (reset) {
    std::FILE* refs = std::fopen("/proc/self/clear_refs", "w");
    if (!refs) return -1;
    const bool cleared = std::fputs("5", refs) >= 0;
    if (std::fclose(refs) != 0 || !cleared) return -1;
  }
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (!status) return -1;
  long kib = -1;
  char line[256];
  while (std::fgets(line, sizeof line, status))
    if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
  std::fclose(status);
  return kib;
}

}  // namespace

TEST(TreeFile, ATreeInflatingPastTheLimitIsRefusedWithoutBeingHeld) {
  // 256 MiB inflated from about 256 KiB, against a limit of 32 MiB: the
  // refusal must not first gather the 32 MiB.
  TempDir dir;
  const std::string chunk(1 << 20, 'a');
  ASSERT_TRUE(xml::writeTreeFile(dir.file("st.tmp"), [&](xml::CompressedFileWriter& writer) {
    for (int i = 0; i < 256; ++i)
      if (!writer.write(chunk)) return false;
    return true;
  }));
  const long before = peakKib(true);
  if (before < 0) GTEST_SKIP() << "the peak memory of a process cannot be read and reset here";
  EXPECT_FALSE(xml::decompressFile(dir.file("st.tmp"), 32 << 20));
  EXPECT_LT(peakKib(false) - before, 8 << 10);
  // Within the limit the same file is read whole.
  auto text = xml::decompressFile(dir.file("st.tmp"), 512 << 20);
  ASSERT_TRUE(text);
  EXPECT_EQ(text->size(), xml::kTreeDeclaration.size() + (256u << 20));
}

TEST(TreeFile, FailedWriteKeepsTheOldFile) {
  TempDir dir;
  writeFile(dir.file("st.tmp"), "old");
  EXPECT_FALSE(xml::writeTreeFile(dir.file("st.tmp"), [](xml::CompressedFileWriter&) { return false; }));
  EXPECT_EQ(readFile(dir.file("st.tmp")), "old");
  EXPECT_FALSE(xml::writeTreeFile(dir.file("no/such/folder/st.tmp"), kTree));
}
