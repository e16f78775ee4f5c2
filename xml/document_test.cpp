#include "document.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/test_support.h"

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

namespace {

std::unique_ptr<xml::Document> parse(std::string_view text) {
  auto doc = xml::Document::loadText(text);
  if (!doc) ADD_FAILURE() << "did not parse: " << text;
  return doc;
}

std::vector<std::string> names(const xml::NodeList& nodes) {
  std::vector<std::string> out;
  for (const xml::Node& node : nodes) out.push_back(node.name());
  return out;
}

int32_t errorCodeOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const xml::Error& e) {
    return e.code();
  }
  return 0;
}

}  // namespace

TEST(DocumentEncoding, Latin1ByteSurvivesLoadAndSave) {
  TempDir dir;
  const std::string path = dir.file("latin.xml");
  writeFile(path, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<r n=\"caf\xE9\">\xE9t\xE9</r>");
  auto doc = xml::Document::loadFile(path);
  ASSERT_TRUE(doc);
  xml::Node root = doc->documentElement();
  EXPECT_EQ(root.selectSingleNode("@n").value(), "caf\xE9");
  EXPECT_EQ(root.text(), "\xE9t\xE9");
  // A query may name the byte too.
  EXPECT_TRUE(doc->root().selectSingleNode("//r[@n=\"caf\xE9\"]"));
  ASSERT_TRUE(doc->save(path));
  EXPECT_EQ(readFile(path),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<r n=\"caf\xE9\">\xE9t\xE9</r>\n");
}

TEST(DocumentEncoding, Utf8FileIsReadAsLatin1Text) {
  auto doc = parse("<?xml version=\"1.0\" encoding=\"UTF-8\"?><r n=\"caf\xC3\xA9 \xE2\x82\xAC\"/>");
  EXPECT_EQ(doc->documentElement().selectSingleNode("@n").value(), "caf\xE9 ?");
  auto plain = parse("<r n=\"\xC3\xA9\"/>");  // no declaration: UTF-8
  EXPECT_EQ(plain->documentElement().selectSingleNode("@n").value(), "\xE9");
}

TEST(DocumentEncoding, AttributeWhitespaceNormalisedUnlessKept) {
  const std::string text = "<r a=\"x\r\ny\tz\r\"/>";
  EXPECT_EQ(parse(text)->documentElement().selectSingleNode("@a").value(), "x y z ");
  auto kept = xml::Document::loadText(text, xml::LoadOptions{.keepAttributeWhitespace = true});
  EXPECT_EQ(kept->documentElement().selectSingleNode("@a").value(), "x\ny\tz\n");
}

TEST(DocumentLoad, RejectsWhatDoesNotParse) {
  EXPECT_FALSE(xml::Document::loadText(""));
  EXPECT_FALSE(xml::Document::loadText("<a>"));
  EXPECT_FALSE(xml::Document::loadText("<a/><b/>"));
  EXPECT_FALSE(xml::Document::loadText("<a/>junk"));
  EXPECT_FALSE(xml::Document::loadText("junk"));
  EXPECT_FALSE(xml::Document::loadFile("/nonexistent/file.xml"));
  TempDir dir;
  EXPECT_FALSE(xml::Document::loadFile(dir.path().string()));  // a folder
  EXPECT_TRUE(xml::Document::loadText("<?xml version=\"1.0\"?>\n<a/>\n"));
}

TEST(DocumentQueries, ResultsComeInDocumentOrder) {
  auto doc = parse("<r><a i=\"1\"/><b i=\"2\"><a i=\"3\"/></b><c i=\"4\"/></r>");
  xml::Node r = doc->documentElement();
  EXPECT_EQ(names(r.selectNodes("c|b|a")), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(r.selectSingleNode("c|b/a").selectSingleNode("@i").value(), "3");
  EXPECT_EQ(r.selectSingleNode("c|a").selectSingleNode("@i").value(), "1");
  auto ids = r.selectNodes("descendant-or-self::*[@i]/@i");
  ASSERT_EQ(ids.size(), 4u);
  EXPECT_EQ(ids.back().text(), "4");
  EXPECT_EQ(r.selectSingleNode("descendant::a[last()]").selectSingleNode("@i").value(), "3");
  EXPECT_EQ(r.countNodes("descendant::*[@i>1 and @i<4]"), 2u);
  EXPECT_EQ(r.selectSingleNode("descendant::*[@i!=1][2]").name(), "a");
  EXPECT_FALSE(r.selectSingleNode("d"));
  EXPECT_TRUE(r.selectNodes("d").empty());
}

TEST(DocumentQueries, FailuresRaiseErrorsWithResultCodes) {
  auto doc = parse("<r/>");
  xml::Node r = doc->documentElement();
  EXPECT_EQ(errorCodeOf([&] { xml::Node().name(); }), xml::kPointer);
  EXPECT_EQ(errorCodeOf([&] { r.selectSingleNode("@missing").value(); }), xml::kPointer);
  EXPECT_EQ(errorCodeOf([&] { xml::Node().selectNodes("a"); }), xml::kPointer);
  EXPECT_EQ(errorCodeOf([&] { r.selectNodes("a[["); }), xml::kFail);
  EXPECT_EQ(errorCodeOf([&] { r.selectNodes("count(a)"); }), xml::kFail);
  auto other = parse("<o/>");
  EXPECT_EQ(errorCodeOf([&] { r.removeChild(other->documentElement()); }), xml::kInvalidArg);
  EXPECT_EQ(errorCodeOf([&] { r.removeChild(r); }), xml::kInvalidArg);
}

TEST(DocumentEditing, SetsValuesAndDetachesRemovedNodes) {
  auto doc = parse("<c><b i=\"1\"/><b i=\"2\"/><b i=\"3\"/></c>");
  xml::Node c = doc->documentElement();
  xml::Node first = c.selectSingleNode("b[@i=1]");
  c.selectSingleNode("b[@i=3]/@i").setValue("caf\xE9");
  c.removeChild(first);
  EXPECT_EQ(c.countNodes("b"), 2u);
  EXPECT_FALSE(doc->root().selectSingleNode("//b[@i=1]"));  // detached nodes are not found
  EXPECT_EQ(doc->root().countNodes("//b"), 2u);
  // The handle stays valid; the node just has no parent.
  EXPECT_EQ(first.selectSingleNode("@i").value(), "1");
  EXPECT_FALSE(first.parent());
  EXPECT_EQ(errorCodeOf([&] { c.removeChild(first); }), xml::kInvalidArg);
  EXPECT_FALSE(c.selectSingleNode("@x").isAttribute());
  EXPECT_FALSE(c.attributeNamed("x"));
  EXPECT_EQ(c.selectSingleNode("b").attributeNamed("i").value(), "2");
  EXPECT_EQ(doc->toText(),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
            "<c><b i=\"2\"/><b i=\"caf\xE9\"/></c>\n");
}

TEST(DocumentEditing, AppendsElementsAndParsedText) {
  auto doc = parse("<results><func name=\"f\"><old/></func></results>");
  xml::Node func = doc->root().selectSingleNode("//func");
  func.appendElement("marker");
  xml::Node first = func.appendParsed("<blocks id=\"0\"><block text=\"a&amp;&lt;&quot;&#09;&#10;\xE9\"/></blocks><x/>");
  EXPECT_EQ(first.name(), "blocks");
  EXPECT_EQ(func.selectSingleNode("blocks/block/@text").value(), "a&<\"\t\n\xE9");
  EXPECT_EQ(names(func.selectNodes("*")), (std::vector<std::string>{"old", "marker", "blocks", "x"}));
  EXPECT_EQ(errorCodeOf([&] { func.appendParsed("<open>"); }), xml::kInvalidArg);
  EXPECT_EQ(errorCodeOf([&] { doc->root().appendElement("second"); }), xml::kFail);
}

TEST(DocumentSave, FailedSaveKeepsTheOldFile) {
  TempDir dir;
  const std::string path = dir.file("results.xml");
  writeFile(path, "<old/>");
  auto doc = parse("<new/>");
  EXPECT_FALSE(doc->save(dir.file("missing-folder/results.xml")));
  EXPECT_FALSE(doc->save(dir.path().string()));  // a folder
  std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_read |
                                               std::filesystem::perms::owner_exec);
  if (!doc->save(path)) {  // root may write anyway
    EXPECT_EQ(readFile(path), "<old/>");
  }
  std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all);
  ASSERT_TRUE(doc->save(path));
  EXPECT_EQ(readFile(path), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<new/>\n");
  // No temporary files are left beside the target.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}
